// The help client in a real Motif program: the registry, requests to a
// server window, the stale-window and start-up paths with the real server,
// and item help picking widgets and gadgets under the pointer.

#include <gtest/gtest.h>

#include "helpprops.h"
#include "vxhelp.h"
#include "vxtest.h"
#include "vxtest_x.h"

#include <Xm/Form.h>
#include <Xm/PushB.h>
#include <Xm/PushBG.h>
#include <Xm/Xm.h>
#include <X11/Shell.h>
#include <X11/extensions/XTest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

XtAppContext app;
Display *dpy;      // the application's connection
Display *srv;      // a second client standing in for a server
Widget top, form, gadget, button, plain, caller;
std::string work_dir;

void pump()
{
    while (XtAppPending(app))
        XtAppProcessEvent(app, XtIMAll);
}

// Points the client at a server program and a start-up bound.
void init_help(const std::string &server, int retries = 20, const std::string &display = "local")
{
    XrmDatabase db = XtDatabase(dpy);
    XrmPutStringResource(&db, "Vostrelane.helpServerDisplay", display.c_str());
    XrmPutStringResource(&db, "Vostrelane.helpServer", server.c_str());
    XrmPutStringResource(&db, "Vostrelane.helpClientConnectRetries", std::to_string(retries).c_str());
    InitializeHelp(top, nullptr);
}

class Help : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dpy = vxtest::open_app_display(&app);
        ASSERT_TRUE(dpy);
        srv = XOpenDisplay(DisplayString(dpy));
        ASSERT_TRUE(srv);
        top = XtVaAppCreateShell("vostrelane", "Vostrelane", applicationShellWidgetClass, dpy, XmNx, 100, XmNy, 100,
                                 XmNwidth, 400, XmNheight, 200, nullptr);
        form = XtVaCreateManagedWidget("form", xmFormWidgetClass, top, XmNwidth, 400, XmNheight, 200, nullptr);
        gadget = XtVaCreateManagedWidget("gadget", xmPushButtonGadgetClass, form, XmNx, 20, XmNy, 20, XmNwidth, 100,
                                         XmNheight, 40, XmNrecomputeSize, False, nullptr);
        button = XtVaCreateManagedWidget("button", xmPushButtonWidgetClass, form, XmNx, 150, XmNy, 20, XmNwidth,
                                         100, XmNheight, 40, XmNrecomputeSize, False, nullptr);
        plain = XtVaCreateManagedWidget("plain", xmPushButtonWidgetClass, form, XmNx, 280, XmNy, 20, XmNwidth, 100,
                                        XmNheight, 40, XmNrecomputeSize, False, nullptr);
        caller = XtVaCreateManagedWidget("caller", xmPushButtonWidgetClass, form, XmNx, 20, XmNy, 140, nullptr);
        XtRealizeWidget(top);
        ASSERT_TRUE(vxtest::wait_for(
            [] {
                pump();
                return helpprops::window_viewable(dpy, XtWindow(form));
            },
            10s));
        work_dir = vxtest::temp_dir("help");
        fs::create_directories(work_dir + "/help/C");
        std::ofstream(work_dir + "/help/C/vostrelane.help") << "@803 Error message\nSomething went wrong.\n"
                                                               "@804 Warning\nTake care.\n";
        setenv("DOZ_CLIENT_DIR", work_dir.c_str(), 1);
        init_help(QELHELP_PATH);
    }

    static void TearDownTestSuite() { fs::remove_all(work_dir); }

    Window fake = 0;

    void SetUp() override { helpprops::clear(srv); }

    void TearDown() override
    {
        // End a real server that a test started.
        Window w = helpprops::target(srv);
        if (w && w != fake && helpprops::window_alive(srv, w)) {
            long pid = helpprops::window_pid(srv, w);
            if (pid > 0)
                kill(static_cast<pid_t>(pid), SIGKILL);
            vxtest::wait_for([&] { return !helpprops::window_alive(srv, w); }, 10s);
        }
        if (fake)
            XDestroyWindow(srv, fake);
        helpprops::clear(srv);
        XSync(srv, False);
        init_help(QELHELP_PATH);
    }

    // A window of the second client made public as a running server's.
    void fake_server()
    {
        fake = XCreateSimpleWindow(srv, DefaultRootWindow(srv), 0, 0, 10, 10, 0, 0, 0);
        helpprops::set_target(srv, fake);
        helpprops::set_started(srv, 1);
    }

    // The ids of the next n requests the fake server receives.
    std::vector<int> received(size_t n)
    {
        std::vector<int> ids;
        Atom req = XInternAtom(srv, "Client Request Help", False);
        vxtest::wait_for(
            [&] {
                pump();
                while (XPending(srv)) {
                    XEvent ev;
                    XNextEvent(srv, &ev);
                    if (ev.type == ClientMessage && ev.xclient.window == fake && ev.xclient.message_type == req &&
                        ev.xclient.format == 16)
                        ids.push_back(ev.xclient.data.s[0]);
                }
                return ids.size() >= n;
            },
            10s);
        return ids;
    }

    // The first id received after whatever `act` sends: the sentinel when
    // `act` sent nothing.
    int first_after(const std::function<void()> &act)
    {
        act();
        DisplayHelp(7777);
        auto ids = received(1);
        return ids.empty() ? -1 : ids.front();
    }
};

TEST_F(Help, RegistryPairsWidgetsAndIds)
{
    fake_server();
    Widget a = XtCreateWidget("a", xmPushButtonWidgetClass, form, nullptr, 0);
    Widget b = XtCreateWidget("b", xmPushButtonWidgetClass, form, nullptr, 0);
    Widget c = XtCreateWidget("c", xmPushButtonGadgetClass, form, nullptr, 0);

    EXPECT_EQ(RegisterHelp(a, b, c, nullptr, 1, 2, 0), 0);  // unequal counts
    EXPECT_EQ(first_after([&] { ApplHelp(a); }), 7777);
    EXPECT_EQ(RegisterHelp(b, nullptr, 20, 0), 1);
    EXPECT_EQ(RegisterHelp(a, b, c, nullptr, 11, 12, 13, 0), 1);  // b already known
    struct {
        Widget w;
        int id;
    } cases[] = {{a, 11}, {b, 12}, {c, 13}};
    for (auto &k : cases) {
        ApplHelp(k.w);
        auto ids = received(1);
        ASSERT_EQ(ids.size(), 1u);
        EXPECT_EQ(ids[0], k.id);
    }
    DisplayHelp(321);
    EXPECT_EQ(received(1), std::vector<int>{321});

    // A destroyed widget leaves the registry.
    XtDestroyWidget(b);
    pump();
    EXPECT_EQ(first_after([&] { ApplHelp(b); }), 7777);
    XtDestroyWidget(a);
    XtDestroyWidget(c);
    pump();
}

TEST_F(Help, RegistryHoldsFiveHundredWidgets)
{
    fake_server();
    std::vector<Widget> made;
    int refused_at = -1;
    for (int i = 0; i < 600 && refused_at < 0; i++) {
        Widget w = XtCreateWidget("many", xmPushButtonGadgetClass, form, nullptr, 0);
        made.push_back(w);
        if (RegisterHelp(w, nullptr, 1000 + i, 0) == 0)
            refused_at = i;
    }
    EXPECT_GT(refused_at, 400);  // the suite's other widgets hold a few entries
    EXPECT_LE(refused_at, HLP_MAX_WIDGETS);
    ApplHelp(made.front());
    EXPECT_EQ(received(1), std::vector<int>{1000});
    EXPECT_EQ(first_after([&] { ApplHelp(made.back()); }), 7777);  // refused: not registered

    // Destroyed widgets free their entries.
    for (Widget w : made)
        XtDestroyWidget(w);
    pump();
    Widget again = XtCreateWidget("again", xmPushButtonGadgetClass, form, nullptr, 0);
    EXPECT_EQ(RegisterHelp(again, nullptr, 55, 0), 1);
    ApplHelp(again);
    EXPECT_EQ(received(1), std::vector<int>{55});
    XtDestroyWidget(again);
    pump();
}

TEST_F(Help, HelpDisplayByName)
{
    fake_server();
    // The same display by name: requests go through a connection of its own.
    init_help(QELHELP_PATH, 20, DisplayString(dpy));
    DisplayHelp(31);
    EXPECT_EQ(received(1), std::vector<int>{31});

    // A display that cannot be opened: the application's serves.
    testing::internal::CaptureStderr();
    init_help(QELHELP_PATH, 20, ":987");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed to open X display :987 to start help\n");
    DisplayHelp(32);
    EXPECT_EQ(received(1), std::vector<int>{32});
}

TEST_F(Help, ApplicationHelpRunsTheWidgetsHelpCallbacks)
{
    static int calls, reason;
    calls = 0;
    Widget w = XtCreateWidget("withHelp", xmPushButtonWidgetClass, form, nullptr, 0);
    XtAddCallback(
        w, XmNhelpCallback,
        [](Widget, XtPointer, XtPointer cd) {
            calls++;
            reason = static_cast<XmAnyCallbackStruct *>(cd)->reason;
        },
        nullptr);
    ApplicationHelp(w);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(reason, XmCR_HELP);
    ApplicationHelp(plain);  // no help callbacks: nothing happens
    EXPECT_EQ(calls, 1);
    XtDestroyWidget(w);
    pump();
}

TEST_F(Help, StaleOrMissingServerWindow)
{
    // "Help Server Started" with no "Target Window".
    helpprops::set_started(srv, 1);
    testing::internal::CaptureStderr();
    DisplayHelp(5);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Help server has failed to make window ID public.\n");

    // A public window that no longer exists is reported and unpublished.
    Window dead = XCreateSimpleWindow(srv, DefaultRootWindow(srv), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(srv, dead);
    helpprops::set_target(srv, dead);
    helpprops::set_started(srv, 1);
    testing::internal::CaptureStderr();
    DisplayHelp(5);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Help server window ID is invalid.\n");
    EXPECT_EQ(helpprops::started(srv), 0);

    // A server that replaced a dead one serves, though the client had
    // cached the dead one's window.
    fake_server();
    EXPECT_EQ(first_after([] {}), 7777);
    Window first = fake;
    fake = XCreateSimpleWindow(srv, DefaultRootWindow(srv), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(srv, first);
    helpprops::set_target(srv, fake);
    testing::internal::CaptureStderr();
    DisplayHelp(6);
    EXPECT_EQ(received(1), std::vector<int>{6});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(helpprops::started(srv), 1);
}

struct SignalState {
    struct sigaction usr2, chld;
    sigset_t mask;
    static SignalState now()
    {
        SignalState s;
        sigaction(SIGUSR2, nullptr, &s.usr2);
        sigaction(SIGCHLD, nullptr, &s.chld);
        sigprocmask(SIG_BLOCK, nullptr, &s.mask);
        return s;
    }
    bool operator==(const SignalState &o) const
    {
        for (int sig : {SIGUSR1, SIGUSR2, SIGCHLD, SIGINT})
            if (sigismember(&mask, sig) != sigismember(&o.mask, sig))
                return false;
        return usr2.sa_handler == o.usr2.sa_handler && chld.sa_handler == o.chld.sa_handler;
    }
};

volatile sig_atomic_t chld_seen = 0;

TEST_F(Help, StartsTheServerAndReusesIt)
{
    // The interpreter client's child-death handler stays in charge.
    struct sigaction sa {}, old {};
    sa.sa_handler = [](int) { chld_seen = chld_seen + 1; };
    sigemptyset(&sa.sa_mask);
    sigaction(SIGCHLD, &sa, &old);
    chld_seen = 0;
    SignalState before = SignalState::now();

    DisplayHelp(803);
    EXPECT_TRUE(SignalState::now() == before);
    EXPECT_GT(chld_seen, 0);
    EXPECT_EQ(helpprops::started(srv), 1);
    Window w = helpprops::target(srv);
    ASSERT_TRUE(helpprops::window_alive(srv, w));
    EXPECT_TRUE(vxtest::wait_for(
        [&] { return helpprops::window_string(srv, w, "Help Text") == "Error message\nSomething went wrong."; }, 10s));

    // The running server is reused: a server program that cannot start
    // would otherwise be tried.
    init_help("/bin/false");
    testing::internal::CaptureStderr();
    DisplayHelp(804);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(vxtest::wait_for(
        [&] { return helpprops::window_string(srv, w, "Help Text") == "Warning\nTake care."; }, 10s));
    EXPECT_EQ(helpprops::target(srv), w);
    sigaction(SIGCHLD, &old, nullptr);
}

TEST_F(Help, StaleServerIsReplacedOnTheNextRequest)
{
    DisplayHelp(803);
    Window w = helpprops::target(srv);
    long pid = helpprops::window_pid(srv, w);
    ASSERT_GT(pid, 0);
    // Killed outright, the server leaves its public state behind.
    kill(static_cast<pid_t>(pid), SIGKILL);
    ASSERT_TRUE(vxtest::wait_for([&] { return !helpprops::window_alive(srv, w); }, 10s));
    EXPECT_EQ(helpprops::started(srv), 1);

    testing::internal::CaptureStderr();
    DisplayHelp(804);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Help server window ID is invalid.\n");
    EXPECT_EQ(helpprops::started(srv), 0);

    DisplayHelp(804);
    Window w2 = helpprops::target(srv);
    EXPECT_NE(helpprops::window_pid(srv, w2), pid);  // (the X server may reuse the window id)
    EXPECT_EQ(helpprops::started(srv), 1);
    EXPECT_TRUE(vxtest::wait_for(
        [&] { return helpprops::window_string(srv, w2, "Help Text") == "Warning\nTake care."; }, 10s));
}

TEST_F(Help, ServerThatFailsToStart)
{
    std::string silent = work_dir + "/silent-server";
    std::ofstream(silent) << "#!/bin/sh\nexec sleep 600\n";
    chmod(silent.c_str(), 0755);
    struct {
        std::string program;
        int retries;
    } cases[] = {
        {"/bin/false", 20},                 // ends at once with a failure
        {work_dir + "/no-such-server", 20}, // cannot be run
        {"/bin/true", 20},                  // ends without making a window public
        {silent, 1},                        // never answers: the wait is bounded
    };
    for (auto &c : cases) {
        init_help(c.program, c.retries);
        SignalState before = SignalState::now();
        testing::internal::CaptureStderr();
        DisplayHelp(803);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed to connect to help server.\n") << c.program;
        EXPECT_TRUE(SignalState::now() == before) << c.program;
        EXPECT_NE(helpprops::started(srv), 1) << c.program;
    }
}

// Clicks at a point of a widget through the X server, ahead of item help.
void click_at(Widget w, int x, int y)
{
    Position rx = 0, ry = 0;
    XtTranslateCoords(w, static_cast<Position>(x), static_cast<Position>(y), &rx, &ry);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, 0);
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XTestFakeButtonEvent(dpy, 1, False, 0);
    XFlush(dpy);
}

TEST_F(Help, ItemHelpPicksTheWidgetOrGadgetUnderThePointer)
{
    fake_server();
    int has_xtest = 0, ev = 0, err = 0, maj = 0, min = 0;
    has_xtest = XTestQueryExtension(dpy, &ev, &err, &maj, &min);
    ASSERT_TRUE(has_xtest);
    ASSERT_EQ(RegisterHelp(form, gadget, button, nullptr, 600, 601, 602, 0), 1);
    struct {
        Widget w;
        int x, y;
        int id;  // 0: nothing asked
    } cases[] = {
        {gadget, 50, 20, 601},   // a gadget is found by the release point, not its form
        {form, 200, 150, 600},   // the form's own area
        {button, 50, 20, 602},   // a widget with its own window
        {plain, 50, 20, 0},      // not registered
    };
    for (auto &c : cases) {
        click_at(c.w, c.x, c.y);
        int asked = ItemHelp(caller);
        EXPECT_EQ(asked, c.id ? 1 : 0) << XtName(c.w);
        EXPECT_TRUE(XtIsSensitive(caller));
        EXPECT_EQ(hlp_in_item_loop, 0);
        DisplayHelp(7777);
        std::vector<int> want = c.id ? std::vector<int>{c.id, 7777} : std::vector<int>{7777};
        EXPECT_EQ(received(want.size()), want) << XtName(c.w);
    }
}

}  // namespace
