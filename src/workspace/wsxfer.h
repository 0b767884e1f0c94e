// Bulk load and unload of a table, comma-separated output of a query, and
// the Stop polling that keeps a long transfer stoppable.  The file formats
// are the transfer codec's (xfer.h); this module talks to the interpreter,
// the workspace and the user.
#pragma once

#include "qymgr.h"
#include "xfer.h"

#include <X11/Intrinsic.h>

#include <cstdio>

// Result codes of perform_load and perform_unload.
enum WsXferResult : int {
    XFER_DONE = 0,
    XFER_NO_COLUMNS = 30,
    XFER_CANNOT_OPEN = 31,
    XFER_ROW_TOO_BIG = 32,
    XFER_PIPE_FAILED = 33,
    XFER_NULL_WRITE_FAILED = 34,
};

// The whole load (direction 0) or unload (direction 1) of the request.
int perform_load(const ObTransferData *request);
int perform_unload(const ObTransferData *request);
// Writes the result of `text` to the open `file` as comma-separated text;
// the caller closes the file.  With `api` the query runs through the
// interpreter client directly (program-interface mode).  1 when the query
// ran (with `api`: without error), 0 when no file was given or it failed.
int perform_output_csv(const char *text, FILE *file, int api);
// Zeroes the counters of the last load or unload and clears the transfer
// dialog's status line (the status hook with -1, -1, 0).
void wsxfer_reset_counters();
// The status of the last query of program-interface mode that failed.
void wsxfer_last_status(int *query, int *database, int *filer);

// Polls the Stop button's window for events; unforced calls poll only about
// once per xferCheckStopInterval.
void check_stop_button(int force);
// The Stop procedure of a transfer.
void stop_transfer();
// The query manager's handlers of an unload.
void unload_handler_gui(int event, int rows, int data_bytes, DozReader &buffer);
void unload_handler_api(int rows);

// ---- what the transfer needs of the rest of the program ----------------------------

// The workspace: interaction mode, the Run/Stop button, the table objects
// and the redraw.  Any entry may be null.
struct WsXferWorkspace {
    int (*get_mode)();
    void (*set_mode)(int mode);
    // wsmain_ws_set_stop_proc: installs the procedure Stop runs; returns
    // the previous one.
    QyStopProc (*set_stop_proc)(QyStopProc proc);
    // wsmain_ws_enable_stop: 1 turns Run into Stop, 0 back.
    void (*enable_stop)(int on);
    // ob_stop_widget: the widget whose window is polled for the Stop press.
    Widget (*stop_widget)();
    // obtab_reset_table_object_rows: refreshes a table object's row count.
    void (*reset_table_rows)(const char *table);
    // The first workspace option: show table information.
    int (*show_table_info)();
    // wsmain_ws_refresh_from(0).
    void (*refresh)();
};
void wsxfer_set_workspace(const WsXferWorkspace *hooks);

// The user: errors (set 62) and the warning of rejected rows, already
// formatted; the question before an existing file is replaced, by its
// number in the confirmations (set 63) with the file for its "%s", 1 yes;
// the transfer dialog's status line (dlxfer_set_transfer_status).  Without
// hooks errors and warnings are the object layer's boxes (obbox.h: standard
// error without a window), questions are declined and the status is not
// shown.
inline constexpr int XFER_ASK_REPLACE = 5;
struct WsXferUser {
    void (*error)(int number, const char *text);
    void (*warning)(int number, const char *text);
    int (*confirm)(int number, const char *name);
    void (*status)(int written, int rejected, int stopped);
};
void wsxfer_set_user(const WsXferUser *hooks);

// The resource xferCheckStopInterval, in seconds.
void wsxfer_set_check_stop_interval(float seconds);
// The clock of the Stop polling, in seconds (null: the system's monotonic
// clock); setting it starts the polling afresh.  The number of real polls
// (the Stop widget's events read) since the program started.
void wsxfer_set_clock(double (*clock)());
long wsxfer_stop_polls();
