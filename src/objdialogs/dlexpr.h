// The expression editor (8) and the condition editor (9): one line of
// query-language text built from the button pads, the function picker
// (borrowed as a sub-dialog), canvas picks and, for expressions, a name
// from the name prompt (borrowed too).
#pragma once

#include "dlmain.h"

#include <string>

void dlexpr_initialise_expression_dialog(DialogRecord *rec);  // 8
void dlexpr_initialise_condition_dialog(DialogRecord *rec);   // 9

// The text a pad button of `code` (1-21) inserts: the native form of codes
// 1-9 when `native` is set, a word with a blank on each side.  Empty for
// another code.
std::string dlexpr_pad_text(int code, bool native);
// Whether a pick handed to the reference procedure with the record of
// dialog `id` goes into the condition editor's text (9, and the dialogs
// that lend it their picks: 16, 20, 22) rather than the expression's.
bool dlexpr_condition_target(int id);
