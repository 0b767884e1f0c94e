// The new-data notice: a real window on the X server receives one
// format-32 "VX_NEW_DATA" client message for each query that ends well,
// and none for a stopped or failed one.

// GoogleTest before the X headers, whose macros (None, Bool) it would trip on.
#include "dsmgr.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <Xm/DrawingA.h>
#include <Xm/Xm.h>

#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct Seen {
    Atom type;
    int format;
    long first;
    Window window;
    Bool send_event;
};
std::vector<Seen> seen;

void on_client_message(Widget, XtPointer, XEvent *ev, Boolean *)
{
    if (ev->type == ClientMessage)
        seen.push_back({ev->xclient.message_type, ev->xclient.format, ev->xclient.data.l[0], ev->xclient.window,
                        ev->xclient.send_event});
}

class Notice : public ::testing::Test {
protected:
    XtAppContext app = nullptr;
    Widget shell = nullptr, canvas = nullptr;
    Display *dpy = nullptr;
    Atom newdata = None, sentinel = None;

    void SetUp() override
    {
        seen.clear();
        int argc = 1;
        char name[] = "test_dsnotice";
        char *argv[] = {name, nullptr};
        shell = XtOpenApplication(&app, "Vostrelane", nullptr, 0, &argc, argv, nullptr,
                                  applicationShellWidgetClass, nullptr, 0);
        ASSERT_NE(shell, nullptr);
        dpy = XtDisplay(shell);
        XtVaSetValues(shell, XmNwidth, 200, XmNheight, 150, nullptr);
        canvas = XtVaCreateManagedWidget("displayCanvasA", xmDrawingAreaWidgetClass, shell, nullptr);
        XtAddEventHandler(canvas, NoEventMask, True, on_client_message, nullptr);
        newdata = XInternAtom(dpy, "VX_NEW_DATA", False);
        sentinel = XInternAtom(dpy, "VX_TEST_SENTINEL", False);
    }
    void TearDown() override
    {
        dstest::stop();
        dsmgr_ds_init(nullptr, nullptr);
        qymgr_qy_use_widget(nullptr);
        if (shell)
            XtDestroyWidget(shell);
        if (app) {
            XtDestroyApplicationContext(app);
        }
    }

    void pump_until(const std::function<bool()> &cond)
    {
        ASSERT_TRUE(vxtest::wait_for(
            [&] {
                while (XtAppPending(app))
                    XtAppProcessEvent(app, XtIMAll);
                return cond();
            },
            10s));
    }

    // Sends a marker message after whatever was sent before and handles
    // events until it is back: every earlier message has then arrived.
    void drain()
    {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = XtWindow(canvas);
        ev.xclient.message_type = sentinel;
        ev.xclient.format = 32;
        XSendEvent(dpy, XtWindow(canvas), False, NoEventMask, &ev);
        XFlush(dpy);
        size_t before = seen.size();
        pump_until([&] {
            for (size_t i = before; i < seen.size(); i++)
                if (seen[i].type == sentinel)
                    return true;
            return false;
        });
    }

    int notices() const
    {
        int n = 0;
        for (const Seen &s : seen)
            n += s.type == newdata;
        return n;
    }
};

TEST_F(Notice, ArrivesForEachQueryThatEndsWell)
{
    // Before the canvas has a window nothing can be sent, and nothing fails.
    qymgr_qy_use_widget(canvas);
    dsmgr_ds_init(canvas, nullptr);
    ASSERT_TRUE(dstest::start(200000, 100));
    ASSERT_EQ(dstest::run("TEST ROWS 5 long"), DS_EV_OK);
    EXPECT_EQ(dsmgr_ds_rows(0), 5);

    XtRealizeWidget(shell);
    ASSERT_EQ(dstest::run("TEST ROWS 3000 long, real"), DS_EV_OK);
    pump_until([&] { return notices() == 1; });
    drain();
    ASSERT_EQ(notices(), 1);
    const Seen &s = seen.front();
    EXPECT_EQ(s.format, 32);
    EXPECT_EQ(s.first, 0);
    EXPECT_EQ(s.window, XtWindow(canvas));
    EXPECT_TRUE(s.send_event);
    EXPECT_EQ(dsmgr_ds_rows(0), 3000);

    // Stopped, failed, and refused at once: no notice.
    dstest::Driver &d = dstest::driver();
    d.own_handler = true;
    d.abort_after = 2;
    ASSERT_EQ(dstest::run("TEST ROWS 1000000 long"), DS_EV_STOPPED);
    d.abort_after = -1;
    d.fail = true;
    ASSERT_EQ(dstest::run("TEST ROWS 500 long"), DS_EV_FAILED);
    d.fail = false;
    ASSERT_EQ(dstest::run("TEST ROWS 1 nosuchtype"), 0);
    d.own_handler = false;
    drain();
    EXPECT_EQ(notices(), 1);

    // A kept dataset and a new one: one notice each.
    dsmgr_ds_retain();
    ASSERT_EQ(dstest::run("TEST ROWS 7 short"), DS_EV_OK);
    pump_until([&] { return notices() == 2; });
    EXPECT_EQ(dsmgr_ds_rows(0), 3000);
    EXPECT_EQ(dsmgr_ds_rows(1), 7);
}

}  // namespace
