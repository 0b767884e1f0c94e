// The statistic editor (10): an aggregate of a base expression, one of six
// statistics or a collect expression, and a name.  It borrows the
// expression editor (8) for either expression and the name prompt (7).
#pragma once

#include "dlmain.h"

void initialise_statistic_dialog(DialogRecord *rec);

// The toggle (1-7) that shows a statistic code; a code outside 1-7 shows
// toggle 5, the average of a new statistic.
int dlstat_toggle_of_code(int code);
// The code (1-7) a set toggle (1-7) stores; 1 for none.
int dlstat_code_of_toggle(int toggle);
