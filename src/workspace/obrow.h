// The row editor: browses one table row by row, finds rows by a condition,
// and updates, deletes and inserts single rows, driven by the request code
// of a row edit request (wsobj.h) that the row edit form sets before each
// call.
//
// The held row lives in a copy of the editor's own, laid out as the
// interpreter lays out a row of the table (dozrow.h): the request's value
// and presence pointers point into that copy, which is read again after
// every FETCH and copied into the result buffer just before the row is sent
// back.  So a query that runs while the form is open (a text variable's
// PRINT, a display-server request) can overwrite the shared buffer without
// changing what Update or Insert write.
#pragma once

#include "wsobj.h"

enum ObRowRequest : int {
    ROW_REQ_NONE = 0,
    ROW_REQ_FIRST = 1,
    ROW_REQ_LAST = 2,
    ROW_REQ_NEXT = 3,
    ROW_REQ_PREVIOUS = 4,
    ROW_REQ_FIND = 5,
    ROW_REQ_FIND_AGAIN = 6,
    ROW_REQ_UPDATE = 7,
    ROW_REQ_DELETE = 8,
    ROW_REQ_INSERT = 9,
    ROW_REQ_CURRENT = 10,
    ROW_REQ_OPEN = 11,
    ROW_REQ_CLOSE = 12,
};

enum ObRowStatus : int {
    ROW_HELD = 0,     // a row is held
    ROW_NO_ROW = 1,   // no row: every value null
    ROW_TOO_BIG = 2,  // a row of the table does not fit the result buffer
};

// Performs the request's request code and sets it back to 0.  With
// `interactive` the interpreter's errors are shown and a failed move
// reads a row again; without, it stays silent.  The workspace is busy (2)
// during the call and back in its earlier mode afterwards.
void obrow_ob_row_editor(ObRowEditData *request, int interactive);

// The bytes of one row of the open table, 0 before an open or after one
// that failed (for tests).
int obrow_row_size();
