// The table editor (16): creates a table (its columns defined in the
// column editor, borrowed) or shows an existing one and starts its
// commands: drop it, clear its rows, or delete the rows that meet a
// condition written in the condition editor (borrowed too).
#pragma once

#include "dlmain.h"

void dltab_initialise_table_dialog(DialogRecord *rec);
