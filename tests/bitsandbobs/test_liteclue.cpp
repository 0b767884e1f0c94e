// The tool-tip widget driven through the X server's pointer: when a tip
// shows, where, when it goes, and the quick follow-on tip.

#include <gtest/gtest.h>

#include "LiteClue.h"
#include "vxtest.h"
#include "vxtest_x.h"

#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Xm.h>
#include <X11/Shell.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

XtAppContext app;
Display *dpy;
Widget top;
int screen_w, screen_h;

void pump()
{
    while (XtAppPending(app))
        XtAppProcessEvent(app, XtIMAll);
}

// Like pump, but hands enter and leave events to the tip first, as the
// program's own loop does for insensitive widgets.
void pump_with(Widget tip)
{
    while (XtAppPending(app)) {
        if (!(XtAppPending(app) & XtIMXEvent)) {
            XtAppProcessEvent(app, XtIMAll);
            continue;
        }
        XEvent ev;
        XtAppNextEvent(app, &ev);
        if (!XcgLiteClueDispatchEvent(tip, &ev))
            XtDispatchEvent(&ev);
    }
}

void move_to(int x, int y)
{
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, 0);
    XFlush(dpy);
}

// The pointer to a point of a widget.
void move_into(Widget w, int dx = 10, int dy = 10)
{
    Position rx, ry;
    XtTranslateCoords(w, static_cast<Position>(dx), static_cast<Position>(dy), &rx, &ry);
    move_to(rx, ry);
}

bool viewable(Widget w)
{
    if (!XtIsRealized(w))
        return false;
    XWindowAttributes a;
    return XGetWindowAttributes(dpy, XtWindow(w), &a) && a.map_state == IsViewable;
}

bool wait_shown(Widget tip, bool shown, Widget through = nullptr)
{
    return vxtest::wait_for(
        [&] {
            through ? pump_with(through) : pump();
            return viewable(tip) == shown;
        },
        10s);
}

struct Geometry {
    int x, y, w, h;
};

Geometry outer(Widget w)
{
    Window root, child;
    int x, y;
    unsigned width, height, border, depth;
    XGetGeometry(dpy, XtWindow(w), &root, &x, &y, &width, &height, &border, &depth);
    int rx, ry;
    XTranslateCoordinates(dpy, XtWindow(w), root, 0, 0, &rx, &ry, &child);
    return {rx - static_cast<int>(border), ry - static_cast<int>(border), static_cast<int>(width),
            static_cast<int>(height)};
}

// Where the tip of `text` over `w` must stand, and its size.
Geometry expected(Widget tip, Widget w, const char *text)
{
    XFontSet fs = nullptr;
    XtVaGetValues(tip, XtNfontSet, &fs, nullptr);
    XRectangle ink, logical, one_ink, one;
    XmbTextExtents(fs, text, static_cast<int>(strlen(text)), &ink, &logical);
    XmbTextExtents(fs, "1", 1, &one_ink, &one);
    int tw = logical.width, th = one.height + 4;
    Position rx, ry;
    XtTranslateCoords(w, 0, 0, &rx, &ry);
    Dimension wh = 0;
    XtVaGetValues(w, XmNheight, &wh, nullptr);
    int x = rx + 4, y = ry + wh + 4;
    if (y + th > screen_h)
        y = ry - th - 4;
    if (x < 0)
        x = 0;
    else if (x + tw + 4 > screen_w)
        x = screen_w - tw - 5;
    return {x, y, tw + 4, th};
}

// A row of buttons in an undecorated window at (x, y).
struct Row {
    Widget shell, a, b, c;
    Row(int x, int y, const char *name)
    {
        shell = XtVaCreatePopupShell(name, overrideShellWidgetClass, top, XmNx, x, XmNy, y, nullptr);
        Widget rc = XtVaCreateManagedWidget("rc", xmRowColumnWidgetClass, shell, XmNorientation, XmHORIZONTAL,
                                            XmNspacing, 0, XmNmarginWidth, 0, XmNmarginHeight, 0, nullptr);
        a = XtVaCreateManagedWidget("a", xmPushButtonWidgetClass, rc, XmNwidth, 60, XmNheight, 30,
                                    XmNrecomputeSize, False, nullptr);
        b = XtVaCreateManagedWidget("b", xmPushButtonWidgetClass, rc, XmNwidth, 60, XmNheight, 30,
                                    XmNrecomputeSize, False, nullptr);
        c = XtVaCreateManagedWidget("c", xmPushButtonWidgetClass, rc, XmNwidth, 60, XmNheight, 30,
                                    XmNrecomputeSize, False, nullptr);
        XtPopup(shell, XtGrabNone);
        vxtest::wait_for(
            [&] {
                pump();
                return viewable(c);
            },
            10s);
    }
    ~Row()
    {
        XtDestroyWidget(shell);
        pump();
    }
};

// The X server's current time, from a property change's time stamp.
Time server_time()
{
    Window w = XtWindow(top);
    XSelectInput(dpy, w, PropertyChangeMask);
    Atom a = XInternAtom(dpy, "VX_TEST_CLOCK", False);
    XChangeProperty(dpy, w, a, XA_STRING, 8, PropModeReplace, reinterpret_cast<const unsigned char *>(""), 0);
    XEvent ev;
    XWindowEvent(dpy, w, PropertyChangeMask, &ev);
    return ev.xproperty.time;
}

// The number of the tip's pixels in its foreground colour.
int ink_pixels(Widget tip)
{
    Pixel fg = 0;
    XtVaGetValues(tip, XtNforeground, &fg, nullptr);
    Dimension w = 0, h = 0;
    XtVaGetValues(tip, XtNwidth, &w, XtNheight, &h, nullptr);
    XImage *img = XGetImage(dpy, XtWindow(tip), 0, 0, w, h, AllPlanes, ZPixmap);
    if (!img)
        return 0;
    int n = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            n += XGetPixel(img, x, y) == fg;
    XDestroyImage(img);
    return n;
}

bool same(const Geometry &a, const Geometry &b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

// Waits until the tip shows `text` over `w`.
bool wait_tip(Widget tip, Widget w, const char *text, Widget through = nullptr)
{
    return vxtest::wait_for(
        [&] {
            through ? pump_with(through) : pump();
            return viewable(tip) && same(outer(tip), expected(tip, w, text));
        },
        10s);
}

class Tips : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dpy = vxtest::open_app_display(&app);
        ASSERT_TRUE(dpy);
        int ev, err, maj, min;
        ASSERT_TRUE(XTestQueryExtension(dpy, &ev, &err, &maj, &min));
        top = XtVaAppCreateShell("vostrelane", "Vostrelane", applicationShellWidgetClass, dpy, XmNwidth, 10,
                                 XmNheight, 10, XmNmappedWhenManaged, False, nullptr);
        XtRealizeWidget(top);
        screen_w = DisplayWidth(dpy, DefaultScreen(dpy));
        screen_h = DisplayHeight(dpy, DefaultScreen(dpy));
    }

    Widget tip = nullptr;

    void SetUp() override
    {
        move_to(screen_w / 2, 5);  // away from every row
        tip = XtVaCreatePopupShell("tooltip_shell", xcgLiteClueWidgetClass, top, nullptr);
    }
    void TearDown() override
    {
        XtDestroyWidget(tip);
        pump();
    }
};

TEST_F(Tips, ShowsAfterTheWaitAtThePlacementRules)
{
    XtVaSetValues(tip, XtNwaitPeriod, 300, XtNcancelWaitPeriod, 0, nullptr);
    const char *long_text = "a tip long enough to run past the right edge of the screen";
    struct {
        const char *name;
        int x, y;  // of the row's window; the screen is 1280x1024
        const char *text;
    } cases[] = {
        {"middle", 400, 300, "Expression"},
        {"rightEdge", -1, 300, long_text},     // right-aligned to the screen
        {"bottomEdge", 400, -1, "Sort"},       // at the bottom: tip above
        {"leftOff", -50, 300, "Condition"},    // partly off the left edge
    };
    for (auto &c : cases) {
        int x = c.x == -1 ? screen_w - 200 : c.x;
        int y = c.y == -1 ? screen_h - 40 : c.y;
        Row row(x, y, c.name);
        XcgLiteClueAddWidget(tip, row.a, c.text, 0, 0);
        Widget target = row.a;
        auto entered = Clock::now();
        move_into(target, c.x == -50 ? 55 : 10);
        ASSERT_TRUE(wait_shown(tip, true)) << c.name;
        EXPECT_GE(Clock::now() - entered, 290ms) << c.name;  // not before the wait
        Geometry g = outer(tip), want = expected(tip, target, c.text);
        EXPECT_EQ(g.x, want.x) << c.name;
        EXPECT_EQ(g.y, want.y) << c.name;
        EXPECT_EQ(g.w, want.w) << c.name;
        EXPECT_EQ(g.h, want.h) << c.name;
        EXPECT_GE(g.x, 0) << c.name;
        EXPECT_LE(g.x + g.w, screen_w) << c.name;
        EXPECT_LE(g.y + g.h, screen_h) << c.name;
        EXPECT_GT(ink_pixels(tip), 0) << c.name;  // the text is drawn
        move_to(screen_w / 2, 5);
        ASSERT_TRUE(wait_shown(tip, false)) << c.name;  // leave takes it down
        XcgLiteClueDeleteWidget(tip, row.a);
        // The next tip comes after the wait only once the server's clock
        // has moved on from this take-down.
        Time t = server_time();
        ASSERT_TRUE(vxtest::wait_for([&] { return server_time() > t; }, 10s));
    }
}

TEST_F(Tips, FollowOnTipComesAtOnceAndPressTakesItDown)
{
    Row row(300, 400, "row");
    XcgLiteClueAddWidget(tip, row.a, "first", 0, 0);
    XcgLiteClueAddWidget(tip, row.b, "second tip", 0, 0);
    XcgLiteClueAddWidget(tip, row.c, "third xx", 5, 0);  // only "third"
    XtVaSetValues(tip, XtNwaitPeriod, 100, XtNcancelWaitPeriod, 5000, nullptr);
    move_into(row.a);
    ASSERT_TRUE(wait_shown(tip, true));

    // With a wait far longer than the test's bound, a tip can only come
    // from the follow-on rule.
    XtVaSetValues(tip, XtNwaitPeriod, 600000, nullptr);
    move_into(row.b);
    ASSERT_TRUE(wait_tip(tip, row.b, "second tip"));

    // A press takes the tip down; the next widget again follows at once.
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XTestFakeButtonEvent(dpy, 1, False, 0);
    XFlush(dpy);
    ASSERT_TRUE(wait_shown(tip, false));
    move_into(row.c);
    ASSERT_TRUE(wait_tip(tip, row.c, "third"));

    // A new text for a watched widget replaces the old.
    XcgLiteClueAddWidget(tip, row.c, "third, longer now", 0, 0);
    move_into(row.b);
    ASSERT_TRUE(wait_tip(tip, row.b, "second tip"));
    move_into(row.c);
    ASSERT_TRUE(wait_tip(tip, row.c, "third, longer now"));
}

TEST_F(Tips, UnwatchingTheWidgetTakesItsTipDown)
{
    Row row(300, 700, "row");
    XtVaSetValues(tip, XtNwaitPeriod, 50, nullptr);
    XcgLiteClueAddWidget(tip, row.a, "going", 0, 0);
    move_into(row.a);
    ASSERT_TRUE(wait_tip(tip, row.a, "going"));
    XcgLiteClueDeleteWidget(tip, row.a);
    EXPECT_TRUE(wait_shown(tip, false));
}

TEST_F(Tips, FirstTipWaitsEvenOnAFreshServerClock)
{
    // The follow-on rule needs a tip taken down before: the first tip waits.
    XtVaSetValues(tip, XtNwaitPeriod, 300, XtNcancelWaitPeriod, 600000, nullptr);
    Row row(300, 500, "row");
    XcgLiteClueAddWidget(tip, row.a, "first", 0, 0);
    auto entered = Clock::now();
    move_into(row.a);
    ASSERT_TRUE(wait_shown(tip, true));
    EXPECT_GE(Clock::now() - entered, 290ms);
}

TEST_F(Tips, SensitivityAndInsensitiveWidgets)
{
    Row row(300, 600, "row");
    XtVaSetValues(tip, XtNwaitPeriod, 50, nullptr);
    EXPECT_FALSE(XcgLiteClueGetSensitive(tip, nullptr));  // nothing watched
    XcgLiteClueAddWidget(tip, row.a, "a", 0, 0);
    XcgLiteClueAddWidget(tip, row.b, "b", 0, 0);
    struct {
        Widget set;
        Boolean flag;
        Boolean a, b, first;
    } steps[] = {
        {nullptr, True, True, True, True},
        {row.b, False, True, False, True},
        {nullptr, False, False, False, False},
        {row.a, True, True, False, True},
        {row.c, True, True, False, True},  // not watched: no change
    };
    for (auto &s : steps) {
        XcgLiteClueSetSensitive(tip, s.set, s.flag);
        EXPECT_EQ(XcgLiteClueGetSensitive(tip, row.a), s.a);
        EXPECT_EQ(XcgLiteClueGetSensitive(tip, row.b), s.b);
        EXPECT_EQ(XcgLiteClueGetSensitive(tip, nullptr), s.first);
        EXPECT_FALSE(XcgLiteClueGetSensitive(tip, row.c));
    }
    XcgLiteClueDeleteWidget(tip, row.a);
    XcgLiteClueDeleteWidget(tip, row.a);  // ignored
    EXPECT_FALSE(XcgLiteClueGetSensitive(tip, row.a));
    EXPECT_FALSE(XcgLiteClueGetSensitive(tip, nullptr));  // b, now first, is off

    // The toolkit does not deliver crossings to an insensitive widget; the
    // program's loop hands them to the tip.
    XcgLiteClueAddWidget(tip, row.c, "insensitive", 0, 0);
    XtSetSensitive(row.c, False);
    move_into(row.c);
    ASSERT_TRUE(wait_tip(tip, row.c, "insensitive", tip));
    move_to(screen_w / 2, 5);
    ASSERT_TRUE(wait_shown(tip, false, tip));

    // A watched widget that is destroyed stops being watched.
    XtDestroyWidget(row.c);
    pump();
    EXPECT_FALSE(XcgLiteClueGetSensitive(tip, row.c));
}

TEST_F(Tips, WrongWidgetClassAborts)
{
    struct {
        const char *name;
        void (*call)(Widget);
    } calls[] = {
        {"XcgLiteClueAddWidget", [](Widget w) { XcgLiteClueAddWidget(w, w, "x", 0, 0); }},
        {"XcgLiteClueDeleteWidget", [](Widget w) { XcgLiteClueDeleteWidget(w, w); }},
        {"XcgLiteClueSetSensitive", [](Widget w) { XcgLiteClueSetSensitive(w, nullptr, True); }},
        {"XcgLiteClueGetSensitive", [](Widget w) { XcgLiteClueGetSensitive(w, nullptr); }},
        {"XcgLiteClueDispatchEvent",
         [](Widget w) {
             XEvent ev{};
             XcgLiteClueDispatchEvent(w, &ev);
         }},
    };
    for (auto &c : calls)
        EXPECT_EXIT(c.call(top), testing::KilledBySignal(SIGABRT),
                    std::string("Wrong class of widget passed to ") + c.name + "\n")
            << c.name;
}

}  // namespace
