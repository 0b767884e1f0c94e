// The query manager's X side: the nested event loop of waiting queries
// runs the application's Xt loop, with the end-of-query pipe and the
// client library's signal pipe as input sources; errors and confirmations
// go to the message boxes on the query window's shell.

#include "qymgr_int.h"
#include "qymsgs.h"

#include "dlmess.h"
#include "qysched.h"

#include <Xm/Xm.h>

namespace {

XtAppContext app = nullptr;
Widget query_shell = nullptr;
int pipe_source_fd = -1, signal_source_fd = -1;
XtInputId pipe_source = 0, signal_source = 0;

void pipe_input(XtPointer, int *, XtInputId *) { qymgr_drain_pipe(); }
void signal_input(XtPointer, int *, XtInputId *)
{
    doz_handle_signals();
    qymgr_note_death();
}

// A tick that bounds each turn of the loop, so that a wake-up that never
// comes (a lost signal, no pipe) cannot hold a wait for ever.
XtIntervalId tick = 0;
void tick_done(XtPointer, XtIntervalId *) { tick = 0; }

void x_process_event()
{
    qymgr_register_inputs();
    if (!tick)
        tick = XtAppAddTimeOut(app, 100, tick_done, nullptr);
    XtAppProcessEvent(app, XtIMAll);
}

void x_show_error(int message, const char *text1, const char *text2)
{
    nl_catd cd = qymgr_catd();
    if (message == 4)
        dlmess_dialog_show_error(query_shell, cd, QY_QUERY_ERROR, text1);
    else if (message == 5)
        dlmess_dialog_show_error(query_shell, cd, QY_DATABASE_FILER_ERROR, text1, text2);
    else
        dlmess_dialog_show_error(query_shell, cd, QY_DATABASE_ERROR, text1);
}

int x_confirm(int message)
{
    const VxMsg<> m{64, message, nullptr};
    return dlmess_dialog_confirm(query_shell, qymgr_catd(), m, -1, -1, 0);
}

void x_update_display()
{
    if (query_shell)
        XmUpdateDisplay(query_shell);
}

const QyUi x_ui{x_process_event, x_show_error, x_confirm, x_update_display};

}  // namespace

void qymgr_register_inputs()
{
    if (!app)
        return;
    if (qypipe_init && pipe_source_fd != qypipe[0]) {
        if (pipe_source)
            XtRemoveInput(pipe_source);
        pipe_source = XtAppAddInput(app, qypipe[0], reinterpret_cast<XtPointer>(XtInputReadMask), pipe_input,
                                    nullptr);
        pipe_source_fd = qypipe[0];
    }
    int fd = doz_signal_fd();
    if (fd >= 0 && signal_source_fd != fd) {
        if (signal_source)
            XtRemoveInput(signal_source);
        signal_source = XtAppAddInput(app, fd, reinterpret_cast<XtPointer>(XtInputReadMask), signal_input,
                                      nullptr);
        signal_source_fd = fd;
    }
}

Atom qymgr_intern_newdata(Widget w)
{
    if (!w || !XtDisplay(w))
        return 0;
    return XInternAtom(XtDisplay(w), "VX_NEW_DATA", False);
}

void qymgr_qy_use_x(XtAppContext context, Widget shell)
{
    app = context;
    query_shell = shell;
    qymgr_qy_set_ui(app ? &x_ui : nullptr);
    qymgr_register_inputs();
}
