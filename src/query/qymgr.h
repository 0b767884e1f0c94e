// The query manager: the one road by which DOZ text reaches the query
// interpreter.  It owns the program's own interpreter connection and its
// result buffer, chooses the execution, buffer and error modes of each
// query, runs the nested event loop of waiting queries, and hands result
// buffers to a query handler: the one set for the next query, else the
// default one (the dataset manager's).
//
// The parts of the program the manager serves but does not own are reached
// through small hooks: the event pump and the message boxes (QyUi; the X
// version is installed by qymgr_qy_use_x), the workspace's interaction mode
// and Stop procedure (QyWorkspaceHooks) and the data dictionary fields it
// fills (QyDictionaryHooks).  Without hooks it works headless.
#pragma once

#include "dozrow.h"
#include "vxadata.h"

#include <X11/Intrinsic.h>

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// Execution modes.
enum QyExecMode : int { QY_NOWAIT = 0, QY_WAIT = 1, QY_BGROUND = 2, QY_NOEVAL = 3 };
// Buffer modes.
enum QyBufferMode : int { QY_SIMPLE = 0, QY_FULL = 1, QY_ASIS = 2, QY_WRITE = 3 };
// Error modes.
enum QyErrorMode : int { QY_IGNORE = 0, QY_PANIC = 1, QY_WARN = 2, QY_REPORT = 3 };

// Events of a query handler.
enum QyEvent : int {
    QY_EVENT_OK = 1,       // the query ended successfully (rows, bytes 0)
    QY_EVENT_EOB = 2,      // a filled buffer: its rows and data bytes
    QY_EVENT_STOPPED = 3,  // stopped by the user
    QY_EVENT_FAILED = 4,   // failed
};

// A query handler: (event, rows, data bytes, buffer).  The buffer comes as
// the query manager's reader over it (dozrow.h): its start, the bytes that
// may be read (the segment for the own buffer, the data bytes for a buffer
// given to qymgr_qy_fake_query), the cursor at the start and the descriptor
// table of the result's first buffer kept.  The end events 1, 3 and 4 reach
// a handler only for a Full query that delivered at least one buffer.
using QyHandler = void (*)(int event, int rows, int data_bytes, DozReader &buffer);
// Returns 0 to accept the error (the query then counts as ok, unreported).
using QyErrorFilter = int (*)(int query_code, int database_code, int filer_code);
using QyStopProc = void (*)();

// ---- queries -------------------------------------------------------------

// Runs one DOZ text; returns the result buffer.
void *qymgr_qy_query(const char *text, int exec_mode, int buffer_mode, int error_mode);
// Delivers a buffer that a display-server client filled itself, as the
// result of a Full query; returns the buffer.
void *qymgr_qy_fake_query(void *buffer, int rows, int data_bytes);
// Aborts the running query.
void qymgr_qy_query_abort();

// Results of the last query.
int qymgr_qy_ok();
int qymgr_qy_stopped();
int qymgr_qy_rows();
int qymgr_qy_status2();
// A Full query that delivered data and succeeded.
int qymgr_qy_returned_data();

// The default handler (the dataset manager sets its own at start-up).
void qymgr_qy_set_handler(QyHandler proc);
// A handler for the next query only; returns the previous one (with a
// warning when it was still set).
QyHandler qymgr_qy_set_override_handler(QyHandler proc);
void qymgr_qy_set_error_filter(QyErrorFilter proc);

// ---- the connection --------------------------------------------------------

// Starts the own interpreter, or attaches to one another program started
// (pid, message queue and segment given), or, in the display-server run
// modes with pid 0, only attaches the client's segment.  `record` receives
// the first `length` bytes of the shared buffer when attaching.  With
// `startup` the revision is checked and the start-up statements are sent.
void qymgr_qy_init(AppData *resources, pid_t pid, int msqid, int shmid, void *record, size_t length,
                   int startup);
void qymgr_qy_term();
// Takes the own connection back after another program used it.
void qymgr_qy_reattach();
void qymgr_qy_authorise();

void *qymgr_qy_buffer();
int qymgr_qy_buffer_size();
int qymgr_qy_buffsize(int cid);
// 0 means 1000.
void qymgr_qy_set_buffer_rows(int rows);
int qymgr_qy_connection();
// Takes the client library's end-of-buffer notice back after a caller
// hooked its own (query_on_eob) for a query it ran directly.
void qymgr_qy_take_eob();
// INTERACTIVE for later queries: -1 as the mode word says, 0 clear, else set.
void qymgr_qy_interactive(int value);

// ---- X and waiting ---------------------------------------------------------

// The widget on whose display the new-data atom is interned.
void qymgr_qy_use_widget(Widget w);
// The "VX_NEW_DATA" atom, interned once; 0 when it cannot be.
Atom qymgr_qy_newdata_atom();

// Installs the handler for `signal` ahead of the event that raises it (for
// SIGCHLD: before the child is forked, so that an early exit is not lost).
void qymgr_qy_expect_signal(int signal);
// Processes events until `signal` arrives and restores the previous
// handler.  With SIGCHLD and a pid, until that child has ended; the child is
// reaped and its exit status returned (-1 when it was not ours to reap).
int qymgr_qy_process_events_till_signal(int signal, pid_t pid = 0);
// Processes events until *handled is set (by the receiver of the new-data
// notice), but not at all when the last query delivered no data or no
// notice can be sent: then nothing would ever set it.
void qymgr_qy_wait_for_data_handled(const volatile int *handled);

// Prints the catalogue message `message` of the query errors (0 none) and
// the interpreter's error texts on standard error; with `panic` ends the
// program.  Returns the message number.
int qymgr_qerror(int message, int panic);
// Confirm box with a query-error message on the query window's shell.
int qymgr_qconfirm(int message);

// Set: every query is logged on standard error.
extern int qymgr_qy_debugging;

// ---- hooks -----------------------------------------------------------------

// The event pump and the message boxes.
struct QyUi {
    // Waits for and handles at least one input: an X event, a byte on the
    // end-of-query pipe or the client library's signal pipe.
    void (*process_event)();
    // An error box of the query errors: message 4 (query text), 5 (database
    // and filer texts) or 6 (database text).
    void (*show_error)(int message, const char *text1, const char *text2);
    int (*confirm)(int message);
    // Brings the query window up to date before a wait (may be null).
    void (*update_display)();
};
// Null: the headless pump (poll on the pipes); errors on standard error.
void qymgr_qy_set_ui(const QyUi *ui);
// Uses the X event loop of `app` and the message boxes; `query_shell` is
// the query window's top-level shell, or null when there is none.
void qymgr_qy_use_x(XtAppContext app, Widget query_shell);

// The workspace: its interaction mode (2 busy) and its Stop procedure.
struct QyWorkspaceHooks {
    int (*get_mode)();
    void (*set_mode)(int mode);
    // Installs the procedure Stop calls; returns the previous one.
    QyStopProc (*set_stop_proc)(QyStopProc proc);
};
// Null: the manager keeps its own Stop slot (see qymgr_qy_press_stop).
void qymgr_qy_set_workspace_hooks(const QyWorkspaceHooks *hooks);
// Stop pressed, for the manager's own slot: calls the installed procedure,
// or delivers the stop when the next one is installed.
void qymgr_qy_press_stop();

// The system variables the program sends with SET at connection time.
struct QySysvars {
    int32_t unique;       // %UNIQUE
    int32_t lockwait;     // %LOCKWAIT
    char dpriv[12];       // %DPRIV
    int32_t reserved;     // 1 at start; no SET carries it
    char dateinput[21];   // %DATEINPUT
    char timezone[23];    // TZ, else "GMT0BST"
    int32_t overwrite;    // %OVERWRITE
    int32_t writecheck;   // %WRITECHECK
    int32_t nlsradix;     // %NLSRADIX
};

// The data dictionary's fields that the manager fills.  Any pointer may be
// null; the manager then keeps the value itself.
struct QyDictionaryHooks {
    char *user_name;      // the current user (room for user_size bytes)
    size_t user_size;
    float *server_revision;
    QySysvars *sysvars;
};
void qymgr_qy_set_dictionary(const QyDictionaryHooks *hooks);
// The interpreter revision read at connection time (0 before).
float qymgr_qy_server_revision();

// The client library's query call, replaceable so that a caller can watch
// what is sent; returns the previous one.
using QyQuerymProc = int (*)(const char *text, uint32_t modes);
QyQuerymProc qymgr_qy_set_querym(QyQuerymProc proc);
