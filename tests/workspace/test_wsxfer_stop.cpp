// Stop during a long load and a long unload, pressed on a real button
// through XTest: the load keeps the batches it wrote, the unload's file
// ends with a whole row, and the status line shows the stop.  The polling
// itself runs on a clock of the test's: real polls against calls and
// against batches and buffers.

#include "wstest.h"

#include "vxtest_x.h"
#include "vxutil.h"
#include "wsxfer.h"

#include <Xm/PushB.h>
#include <Xm/Xm.h>
#include <X11/extensions/XTest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

struct Line {
    int written, rejected, stopped;
};
std::vector<Line> &statuses()
{
    static std::vector<Line> v;
    return v;
}

XtAppContext app;
Display *dpy = nullptr;
Widget shell = nullptr, button = nullptr;
QyStopProc slot = nullptr;  // the workspace's Stop procedure
int presses_due = 0;        // status lines to wait for before the press
int presses = 0;

QyStopProc set_slot(QyStopProc proc)
{
    QyStopProc previous = slot;
    slot = proc;
    return previous;
}

void activated(Widget, XtPointer, XtPointer)
{
    presses++;
    if (slot)
        slot();
}

// Presses the button through the server: the events wait in its window's
// queue until the transfer polls.
void press()
{
    Position x = 0, y = 0;
    XtTranslateCoords(button, 5, 5, &x, &y);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, 0);
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XTestFakeButtonEvent(dpy, 1, False, 0);
    XFlush(dpy);
}

void on_status(int w, int r, int s)
{
    statuses().push_back({w, r, s});
    if (presses_due > 0 && --presses_due == 0)
        press();
}
void on_error(int, const char *) {}
const WsXferUser user{on_error, on_error, nullptr, on_status};

Widget stop_widget() { return button; }
const WsXferWorkspace workspace{nullptr, nullptr, set_slot, nullptr, stop_widget, nullptr, nullptr, nullptr};
const QyWorkspaceHooks manager_hooks{nullptr, nullptr, set_slot};

// The Stop button on the screen, in a shell of its own.
void make_button()
{
    dpy = vxtest::open_app_display(&app);
    ASSERT_NE(dpy, nullptr);
    shell = XtVaAppCreateShell("vostrelane", "Vostrelane", applicationShellWidgetClass, dpy, XmNx, 10, XmNy, 10,
                               XmNwidth, 120, XmNheight, 60, nullptr);
    button = XtVaCreateManagedWidget("stopB", xmPushButtonWidgetClass, shell, XmNwidth, 120, XmNheight, 60, nullptr);
    XtAddCallback(button, XmNactivateCallback, activated, nullptr);
    XtRealizeWidget(shell);
    // Wait until the button is on the screen.
    for (int i = 0; i < 200; i++) {
        XSync(dpy, False);
        while (XtAppPending(app))
            XtAppProcessEvent(app, XtIMAll);
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, XtWindow(button), &a) && a.map_state == IsViewable)
            break;
    }
}

void drop_button()
{
    if (shell)
        XtDestroyWidget(shell);
    shell = button = nullptr;
    slot = nullptr;
}

// The polling's clock: the test moves it.
double fake_now = 0;
double fake_clock() { return fake_now; }

class Stop : public wstest::Dictionary {
protected:
    std::string dir;
    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        make_button();
        if (HasFatalFailure())
            return;
        start("TESTER");
        make_scratch("S");
        wsdict_db_exclusive = 1;
        dir = vxtest::temp_dir("wsxferstop");
        scratch_dirs.push_back(dir);
        qymgr_qy_set_workspace_hooks(&manager_hooks);
        wsxfer_set_workspace(&workspace);
        wsxfer_set_user(&user);
        wsxfer_set_check_stop_interval(0.05f);
        statuses().clear();
        presses = presses_due = 0;
        ok("CREATE ITEM K AS LONG(8)");
        ok("CREATE ITEM S AS STRING(8)");
        ok("CREATE T[300000] AS K PRIMARY,S NULL");
        ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1);
        std::ofstream f(dir + "/rows.csv");
        for (int i = 1; i <= 200000; i++)
            f << i << ",r" << i % 1000 << "\n";
    }
    void TearDown() override
    {
        wsxfer_set_user(nullptr);
        wsxfer_set_workspace(nullptr);
        qymgr_qy_set_workspace_hooks(nullptr);
        wsdict_db_exclusive = 0;
        wsxfer_set_clock(nullptr);
        wstest::Dictionary::TearDown();
        drop_button();
    }
    ObTransferData request(int direction, const std::string &path)
    {
        ObTransferData r;
        xfer_default_request(&r);
        safe_strcpy(r.table, "T", sizeof r.table - 1);
        r.direction = direction;
        safe_strcpy(r.path, path.c_str(), sizeof r.path - 1);
        snprintf(r.delimiter, sizeof r.delimiter, ",");
        r.terminator = XFER_LF;
        return r;
    }
    int table_rows() { return static_cast<int>(wstest::read_full("DISPLAY K FROM T").size()); }
};

TEST_F(Stop, StopDuringALoadKeepsTheWrittenBatches)
{
    presses_due = 2;  // after the second batch
    ObTransferData load = request(XFER_LOAD, dir + "/rows.csv");
    EXPECT_EQ(perform_load(&load), XFER_DONE);
    EXPECT_EQ(presses, 1);
    ASSERT_FALSE(statuses().empty());
    const Line last = statuses().back();
    EXPECT_EQ(last.stopped, 1);
    EXPECT_GT(last.written, 0);
    EXPECT_LT(last.written, 200000);
    EXPECT_EQ(table_rows(), last.written);
    // The Stop procedure is the workspace's again.
    EXPECT_EQ(slot, nullptr);
}

TEST_F(Stop, StopDuringAnUnloadEndsTheFileWithAWholeRow)
{
    ObTransferData load = request(XFER_LOAD, dir + "/rows.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    ASSERT_EQ(table_rows(), 200000);
    statuses().clear();
    qymgr_qy_set_buffer_rows(1000);
    presses_due = 3;  // after the third buffer
    ObTransferData un = request(XFER_UNLOAD, dir + "/out.csv");
    EXPECT_EQ(perform_unload(&un), XFER_DONE);
    EXPECT_EQ(presses, 1);
    ASSERT_FALSE(statuses().empty());
    const Line last = statuses().back();
    EXPECT_EQ(last.stopped, 1);
    std::string out = vxtest::read_file(dir + "/out.csv");
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(static_cast<int>(std::count(out.begin(), out.end(), '\n')), last.written);
    EXPECT_GE(last.written, 3000);
    EXPECT_LT(last.written, 200000);
    // Every line is a whole row.
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        ASSERT_EQ(line.find(",r"), line.find(',')) << line;
}

// With its clock frozen the polling reads the button only where it is
// forced: once at the start of a load and after each of its batches, and
// at the start of each buffer of an unload.
TEST_F(Stop, ForcedPollsComeOncePerBatchAndPerBuffer)
{
    constexpr int rows = 30000;
    std::ofstream f(dir + "/some.csv");
    for (int i = 1; i <= rows; i++)
        f << i << ",r" << i << "\n";
    f.close();
    fake_now = 100;
    wsxfer_set_clock(fake_clock);
    qykit::sent().clear();
    long before = wsxfer_stop_polls();
    ObTransferData load = request(XFER_LOAD, dir + "/some.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    int writes = 0;
    for (const qykit::Sent &s : qykit::sent())
        writes += s.text.rfind("WRITE ", 0) == 0;
    ASSERT_GT(writes, 1);
    EXPECT_EQ(wsxfer_stop_polls() - before, 1 + writes);
    ASSERT_EQ(statuses().back().written, rows);

    qymgr_qy_set_buffer_rows(1000);
    before = wsxfer_stop_polls();
    ObTransferData un = request(XFER_UNLOAD, dir + "/out.csv");
    ASSERT_EQ(perform_unload(&un), XFER_DONE);
    EXPECT_EQ(wsxfer_stop_polls() - before, rows / 1000);
    EXPECT_EQ(statuses().back().written, rows);
    EXPECT_EQ(presses, 0);
}

// The Stop polling driven call by call, one call per row, on the test's
// clock: whatever the pace of the rows, real polls settle at about one per
// configured interval (never sooner than 0.8 of it, never later than one
// row after it), and a press waits for the next real poll.
class Polling : public ::testing::Test {
protected:
    void SetUp() override
    {
        make_button();
        wsxfer_set_workspace(&workspace);
        wsxfer_set_check_stop_interval(1.0f);
        presses = presses_due = 0;
    }
    void TearDown() override
    {
        wsxfer_set_clock(nullptr);
        wsxfer_set_workspace(nullptr);
        wsxfer_set_check_stop_interval(1.0f);
        drop_button();
        if (dpy)
            XtCloseDisplay(dpy);
        if (app)
            XtDestroyApplicationContext(app);
        dpy = nullptr;
        app = nullptr;
    }
    // Times of the real polls over `seconds` of rows at `pace`.
    std::vector<double> run(double pace, double seconds)
    {
        std::vector<double> at;
        fake_now = 0;
        wsxfer_set_clock(fake_clock);
        const long calls = std::lround(seconds / pace);
        for (long i = 0; i < calls; i++) {
            fake_now += pace;
            const long before = wsxfer_stop_polls();
            check_stop_button(0);
            if (wsxfer_stop_polls() != before)
                at.push_back(fake_now);
        }
        return at;
    }
};

TEST_F(Polling, RealPollsComeAboutOncePerInterval)
{
    for (const double pace : {1e-5, 1e-3, 0.05, 0.3, 0.7}) {
        SCOPED_TRACE("seconds per row " + std::to_string(pace));
        const std::vector<double> at = run(pace, 20);
        ASSERT_GE(at.size(), 8u);
        // The first poll comes once the starting count of calls is done.
        for (size_t k = 1; k < at.size(); k++) {
            const double gap = at[k] - at[k - 1];
            EXPECT_GT(gap, 0.8) << "poll " << k;
            EXPECT_LE(gap, 1.0 + pace + 1e-9) << "poll " << k;
        }
    }
}

TEST_F(Polling, APressIsSeenAtTheNextRealPoll)
{
    run(1e-3, 2.5);  // the last real poll half a second ago
    press();
    const long before = wsxfer_stop_polls();
    long calls = 0;
    while (wsxfer_stop_polls() == before && calls < 10000000) {
        EXPECT_EQ(presses, 0) << "seen before a real poll";
        fake_now += 1e-3;
        check_stop_button(0);
        calls++;
    }
    EXPECT_EQ(wsxfer_stop_polls(), before + 1);
    EXPECT_EQ(presses, 1);
    EXPECT_GT(calls, 400) << "the press is not read at once";
}

}  // namespace
