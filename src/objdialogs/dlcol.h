// The column editor (15): one column of a table, its name, alias, type,
// length, fraction, array dimensions and the variable-length, primary and
// null properties.  A name of an existing data item takes the item's
// definition.  Opened for a new column it lists the new columns waiting
// (the table editor borrows it to define a new table's columns).
#pragma once

#include "dlmain.h"

#include <span>

void dlcol_initialise_column_dialog(DialogRecord *rec);

// An option menu "name" on a pulldown "pulldown" whose push-button gadgets,
// named from `button_format` and their position from 1 ("type%dB"), show
// the literal texts; each keeps its position (from 0) in its user data and
// calls `cb` with it as client data.  The menu's label is message (id, n).
Widget dlcol_literal_option_menu(Widget parent, const char *name, int id, int label_number,
                                 std::span<const char *const> labels, const char *button_format,
                                 XtCallbackProc cb = nullptr);
