// The variable editor (14): a named value, given here or through the
// borrowed expression editor (8), or prompted for when the query runs.
#pragma once

#include "dlmain.h"

void dlvar_initialise_variable_dialog(DialogRecord *rec);
