// The query manager in a real Xt application under Xvfb, against the
// installed interpreter: the wait loop keeps handling X events and ends
// with the query, results arrive through the loop's input sources, error
// and confirm boxes, and the new-data notice.

#include "dltestkit.h"  // first: gtest before the X headers

#include "qykit.h"

#include "dlmess.h"

#include <Xm/DrawingA.h>

using namespace std::chrono_literals;

namespace {

struct XManager : qykit::Manager {
    static inline Widget shell = nullptr, area = nullptr;
    static inline bool boxes_ready = false;

    void SetUp() override
    {
        qykit::Manager::SetUp();
        vxdl::App &a = vxdl::app();
        if (!shell) {
            shell = XtVaAppCreateShell("qyShell", "Vostrelane", topLevelShellWidgetClass, a.display, XmNwidth,
                                       120, XmNheight, 80, nullptr);
            area = XmCreateDrawingArea(shell, const_cast<char *>("display"), nullptr, 0);
            XtManageChild(area);
            XtRealizeWidget(shell);
            ASSERT_TRUE(vxdl::pump_until([] {
                XWindowAttributes wa;
                return XGetWindowAttributes(XtDisplay(area), XtWindow(area), &wa) && wa.map_state == IsViewable;
            }));
        }
        if (!boxes_ready) {
            dlmain_clear_dialogs();
            dlerr_initialise_error_dialog(&dlmain_dialogs[0]);
            dlconf_initialise_confirm_dialog(&dlmain_dialogs[2]);
            dlmess_dialog_manage_error(&dlmain_dialogs[0]);
            dlmess_dialog_manage_confirm(&dlmain_dialogs[2]);
            dlmess_dialog_register_alternate_shell(a.other);
            dlmess_dialog_set_error_mode(1);
            relaxed_confirm = 0;
            boxes_ready = true;
        }
        qymgr_qy_use_x(a.context, a.top);
        start_own();
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        qykit::Manager::TearDown();
    }
};

int exposes = 0;
bool exposed_while_running = false;
void on_expose(Widget, XtPointer, XEvent *ev, Boolean *)
{
    if (ev->type != Expose)
        return;
    exposes++;
    if (query_busy() > 0) {
        exposed_while_running = true;
        qymgr_qy_press_stop();  // the user, having seen the window redrawn
    }
}

// Ends the query should the exposure never be handled while it runs.
void stop_late(XtPointer, XtIntervalId *) { qymgr_qy_press_stop(); }

// Exposes the area once the query is under way. On a loaded machine the
// first firing can come before the query is sent (the manager updates the
// display first): it then tries again rather than expose too early.
bool clear_wanted = false;
void clear_area(XtPointer, XtIntervalId *)
{
    if (!clear_wanted)
        return;
    if (query_busy() <= 0) {
        XtAppAddTimeOut(vxdl::app().context, 20, clear_area, nullptr);
        return;
    }
    XClearArea(XtDisplay(XManager::area), XtWindow(XManager::area), 0, 0, 0, 0, True);
}

TEST_F(XManager, EventsAreHandledWhileABackgroundQueryRunsAndTheLoopEndsWithIt)
{
    XtAddEventHandler(area, ExposureMask, False, on_expose, nullptr);
    exposes = 0;
    // Once the query waits: an exposure, whose handler presses Stop.
    clear_wanted = true;
    XtAppAddTimeOut(vxdl::app().context, 50, clear_area, nullptr);
    // A guard against a hang only: a loaded machine can take seconds to
    // deliver the exposure, so it is far beyond any normal wait.
    XtIntervalId late = XtAppAddTimeOut(vxdl::app().context, 120000, stop_late, nullptr);
    qymgr_qy_query("TEST HOLD", QY_BGROUND, QY_FULL, QY_REPORT);
    clear_wanted = false;
    XtRemoveTimeOut(late);
    XtRemoveEventHandler(area, ExposureMask, False, on_expose, nullptr);
    EXPECT_GE(exposes, 1);
    EXPECT_TRUE(exposed_while_running);
    EXPECT_EQ(qymgr_qy_stopped(), 1);
    EXPECT_EQ(query_busy(), 0);
}

TEST_F(XManager, BuffersOfAWaitingQueryArriveThroughTheEventLoop)
{
    qymgr_qy_set_buffer_rows(1000);
    qymgr_qy_query("TEST ROWS 2500 long", QY_WAIT, QY_FULL, QY_REPORT);
    const auto &ev = qykit::default_events();
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].rows + ev[1].rows + ev[2].rows, 2500);
    EXPECT_EQ(ev[3].event, QY_EVENT_OK);
    EXPECT_EQ(qymgr_qy_returned_data(), 1);
    EXPECT_EQ(query_busy(), 0);
}

TEST_F(XManager, ReportShowsAnErrorBoxAndConfirmAsks)
{
    std::string seen;
    auto p = vxdl::when_shown("error", [&](Widget box) {
        seen = vxdl::message(box);
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
    });
    qymgr_qy_query("NOT A STATEMENT", QY_WAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_TRUE(p->ran);
    char q[82], d[82], f[82];
    query_mess(q, d, f);
    ASSERT_NE(q[0], '\0');
    EXPECT_EQ(seen.rfind("The query failed:", 0), 0u) << seen;
    EXPECT_NE(seen.find(q), std::string::npos) << "with the interpreter's text: " << seen;

    for (unsigned char button : {XmDIALOG_OK_BUTTON, XmDIALOG_CANCEL_BUTTON}) {
        auto c = vxdl::when_shown("confirm", [button](Widget box) { vxdl::press_box(box, button); });
        EXPECT_EQ(qymgr_qconfirm(1), button == XmDIALOG_OK_BUTTON ? 1 : 0);
        EXPECT_TRUE(c->ran);
    }
}

// The dataset manager's part, as a test stands in for it: on a successful
// end, the notice to the display canvas.
volatile int handled = 0;
void notify_on_end(int event, int rows, int bytes, DozReader &buffer)
{
    qykit::default_handler(event, rows, bytes, buffer);
    if (event != QY_EVENT_OK)
        return;
    XClientMessageEvent m{};
    m.type = ClientMessage;
    m.send_event = True;
    m.display = XtDisplay(XManager::area);
    m.window = XtWindow(XManager::area);
    m.message_type = qymgr_qy_newdata_atom();
    m.format = 32;
    XSendEvent(m.display, m.window, False, NoEventMask, reinterpret_cast<XEvent *>(&m));
    XFlush(m.display);
}
void on_client_message(Widget, XtPointer, XEvent *ev, Boolean *)
{
    if (ev->type == ClientMessage && ev->xclient.message_type == qymgr_qy_newdata_atom())
        handled = 1;
}

TEST_F(XManager, WaitForTheNoticeEndsWhenItIsHandledOrWhenNoDataCame)
{
    qymgr_qy_use_widget(area);
    Atom atom = qymgr_qy_newdata_atom();
    EXPECT_EQ(atom, XInternAtom(XtDisplay(area), "VX_NEW_DATA", True));
    XtAddEventHandler(area, NoEventMask, True, on_client_message, nullptr);
    qymgr_qy_set_handler(notify_on_end);

    handled = 0;
    qymgr_qy_query("TEST ROWS 3 long", QY_BGROUND, QY_FULL, QY_REPORT);
    qymgr_qy_wait_for_data_handled(&handled);
    EXPECT_EQ(handled, 1);

    // No dataset, so no notice: the wait must not hang.
    const struct {
        const char *text;
        int buffer;
    } no_data[] = {{"PRINT 1", QY_SIMPLE}, {"NOT A STATEMENT", QY_FULL}};
    for (auto c : no_data) {
        handled = 0;
        qymgr_qy_query(c.text, QY_BGROUND, c.buffer, QY_IGNORE);
        qymgr_qy_wait_for_data_handled(&handled);
        EXPECT_EQ(handled, 0) << c.text;
    }
    XtRemoveEventHandler(area, NoEventMask, True, on_client_message, nullptr);
    qymgr_qy_use_widget(nullptr);
}

}  // namespace
