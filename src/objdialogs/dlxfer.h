// The transfer dialog (22): a load of a table from a file or a command's
// output, or an unload into one, set up and started.  The workspace fills
// it from the transfer request of the table the tool was dropped on; Start
// runs the workspace's apply, which performs the transfer and reports its
// counts on the dialog's status line.  The condition editor (9) is
// borrowed for the WHERE text of an unload.
#pragma once

#include "dlmain.h"

void initialise_transfer_dialog(DialogRecord *rec);  // 22

// The status line: -1 empties it; otherwise the rows transferred and
// rejected ("stopped" chooses the text of a transfer the user stopped).
// The line shows at once, in the middle of a long transfer.
void dlxfer_set_transfer_status(int count, int rejected, int stopped);

// Which inputs take part for a request of (direction 0 load / 1 unload,
// medium 0 file / 1 pipe, format 0 fixed / 1 delimited / 2 binary, use
// where): the rules the dialog's callbacks follow.
struct DlXferSensitivity {
    bool overwrite;    // a load's "replace the rows"
    bool use_where;    // an unload's "only the rows of a condition"
    bool where_group;  // the condition's label, text and editor button
    bool search;       // the file search button
    bool delimiter;    // the delimiter label and text
    bool terminator;   // the row end
    bool colnames;     // the name row
};
DlXferSensitivity dlxfer_sensitivity(int direction, int medium, int format, int use_where);
