// The display window and the table view under Xvfb, in process: datasets
// made in memory arrive through the real new-data notice; the window is
// read back pixel by pixel; selections are made with XTest through the
// bindings of the application defaults and read by a second client;
// printing and the pipe target write real files and commands.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dltestkit.h"
#include "dlmess.h"
#include "dyfixture.h"
#include "dymain.h"
#include "dyprt.h"
#include "dytab.h"
#include "qymgr.h"
#include "vxtest.h"
#include "vxtest_x.h"

#include <Xm/MainW.h>
#include <Xm/ScrollBar.h>
#include <Xm/Xm.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <clocale>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace dyfix;

namespace {

Widget shell = nullptr;
AppData adata{};

Display *dpy() { return vxdl::app().display; }
Widget canvas() { return dymain_dy_canvas(); }

// The canvas bindings as the application defaults give them.
void install_translations()
{
    ASSERT_TRUE(vxtest::override_translations(canvas(), VX_SOURCE_DIR "/data/app-defaults/Vostrelane",
                                              "vostrelane.displayShell.displayWindow.display.translations",
                                              "Vostrelane.TopLevelShell.XmMainWindow.XmDrawingArea.Translations"));
}

void build_window()
{
    // The C locale unless a test asks for another (LC_CTYPE).
    setenv("LC_ALL", "C", 1);
    vxdl::App &app = vxdl::app();
    adata = app.adata;
    adata.textFont = app.adata.dataFont;
    adata.displayBufferSize = 100;
    adata.displayCheckStopLines = 0;
    adata.printerPageLength = 60;
    adata.printerPageWidth = 78;
    adata.singleClickInterval = 200;
    adata.doubleClickInterval = 300;
    adata.plainPrintCommand = const_cast<char *>("cat > /dev/null");
    adata.psPrintCommand = const_cast<char *>("cat > /dev/null");
    shell = XtVaAppCreateShell("displayShell", "Vostrelane", topLevelShellWidgetClass, app.display, XmNwidth, 400,
                               XmNheight, 300, nullptr);
    Widget mw = XmCreateMainWindow(shell, const_cast<char *>("displayWindow"), nullptr, 0);
    XtManageChild(mw);
    Widget work = dymain_display_init(shell, mw, &adata, nullptr);
    XmMainWindowSetAreas(mw, nullptr, nullptr, nullptr, nullptr, work);
    install_translations();
    dlerr_initialise_error_dialog(&dlmain_dialogs[0]);
    dlmess_dialog_manage_error(&dlmain_dialogs[0]);
    dy_hooks.query_shell = app.top;
    qymgr_qy_use_widget(canvas());
    dsmgr_ds_init(canvas(), nullptr);
    XtRealizeWidget(shell);
    ASSERT_TRUE(vxdl::wait_viewable(canvas()));
    dytab_dy_enable_table_mode(1);
    vxdl::pump_idle();
}

class DisplayX : public ::testing::Test {
protected:
    static void SetUpTestSuite() { build_window(); }
    void SetUp() override
    {
        ASSERT_NE(shell, nullptr);
        mngraph_mn_new_view(0, 1);
        vxdl::pump_idle();
    }
};

std::vector<std::vector<Cell>> numbered(int n, int from = 0)
{
    std::vector<std::vector<Cell>> rows;
    for (int i = from; i < from + n; i++)
        rows.push_back({L(i), STR("row " + std::to_string(i))});
    return rows;
}
const std::vector<DozColDesc> &two_columns()
{
    static std::vector<DozColDesc> c = {column("N", DOZ_T_LONG, 6, 0), column("TEXT", DOZ_T_STRING, 12, -1)};
    return c;
}

// A dataset arrives and is shown; then it is kept and the next one goes
// into a fresh slot, as Keep does.
int arrive(const std::vector<DozColDesc> &cols, const std::vector<std::vector<Cell>> &rows)
{
    int ds = make(cols, rows);
    EXPECT_TRUE(vxdl::pump_until([&] { return dsmgr_ds_printed(ds) != 0; }));
    dsmgr_ds_retain();
    return ds;
}

// The lines the formatter gives for one dataset on the screen.
std::vector<std::string> screen_lines(int ds)
{
    static std::vector<std::string> got;
    got.clear();
    int cols = dytab_store()->columns();
    dyprt_dy_set_output([](const char *t, int n) { return got.push_back(std::string(t, static_cast<size_t>(n))), 1; },
                        -1, cols, 3, 30, 0);
    dyprt_dy_print_dataset(ds);
    dyprt_dy_set_output(dytab_dy_output_line, -1, cols, 3, 30, 0);
    return got;
}

std::vector<std::string> held()
{
    std::vector<std::string> out;
    const DyLineStore *s = dytab_store();
    for (int i = 0; i < s->count(); i++)
        out.push_back(s->text(i));
    return out;
}

bool wait_lines(int count)
{
    return vxdl::pump_until([&] { return dytab_store()->count() == count; });
}

// The canvas's pixels.
std::vector<unsigned long> pixels()
{
    int w = 0, h = 0;
    dymain_dy_get_canvas_size(&w, &h);
    XSync(dpy(), False);
    XImage *img = XGetImage(dpy(), XtWindow(canvas()), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
    std::vector<unsigned long> out;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            out.push_back(XGetPixel(img, x, y));
    XDestroyImage(img);
    return out;
}

// What a full redraw gives.
std::vector<unsigned long> redrawn()
{
    dymain_dy_refresh_display();
    vxdl::pump_idle();
    return pixels();
}

// Rows (of the line height) that hold any foreground pixel.
std::vector<int> inked_rows()
{
    int w = 0, h = 0, lh = 1;
    dymain_dy_get_canvas_size(&w, &h);
    dytab_metrics(&lh, nullptr);
    Pixel bg = 0;
    XtVaGetValues(canvas(), XmNbackground, &bg, nullptr);
    std::vector<unsigned long> p = pixels();
    std::vector<int> rows;
    for (int r = 0; r * lh < h; r++) {
        bool ink = false;
        for (int y = r * lh; y < std::min(h, (r + 1) * lh) && !ink; y++)
            for (int x = 0; x < w && !ink; x++)
                ink = p[static_cast<size_t>(y * w + x)] != bg;
        if (ink)
            rows.push_back(r);
    }
    return rows;
}

void set_bar(const char *name, int value)
{
    Widget bar = vxdl::find(shell, name);
    ASSERT_NE(bar, nullptr);
    int v = 0, slider = 0, inc = 0, page = 0;
    XmScrollBarGetValues(bar, &v, &slider, &inc, &page);
    XmScrollBarSetValues(bar, value, slider, inc, page, True);
    vxdl::pump_idle();
}

TEST_F(DisplayX, NewDataIsShownAndScrollingMatchesAFullRedraw)
{
    int ds = arrive(two_columns(), numbered(12));
    ASSERT_TRUE(wait_lines(3 + 12 + 1));
    EXPECT_EQ(held(), screen_lines(ds));
    // Text in the rows that hold lines with text: the title (row 1) and
    // the twelve rows (3 to 14); rows 0, 2 and 15 are empty lines.
    std::vector<int> expected = {1};
    for (int r = 3; r < 15; r++)
        expected.push_back(r);
    std::vector<int> inked = inked_rows();
    inked.resize(std::min(inked.size(), expected.size() + 2));
    EXPECT_EQ(std::vector<int>(inked.begin(), inked.begin() + std::min(inked.size(), expected.size())), expected);

    // Lines arriving past the window and past the store's capacity scroll
    // it; the result is what a full redraw gives.
    arrive(two_columns(), numbered(150, 100));
    ASSERT_TRUE(wait_lines(100));
    const DyLineStore *s = dytab_store();
    EXPECT_EQ(s->text(s->count() - 2), "        249  row 249        ");
    EXPECT_EQ(s->top(), s->tail_top());
    std::vector<unsigned long> now = pixels();
    EXPECT_TRUE(now == redrawn());

    // Scrolling by the bar: back a little (copy and strip), back by more
    // than the window (whole redraw), and sideways.
    for (int value : {s->top() - 3, 0, 20, s->top()}) {
        set_bar("displayVB", value);
        std::vector<unsigned long> after = pixels();
        EXPECT_TRUE(after == redrawn()) << "vertical " << value;
    }
    arrive({column("WIDE", DOZ_T_STRING, 120, -1)}, {{STR(std::string(100, 'w') + "END")}});
    ASSERT_TRUE(vxdl::pump_until([&] { return s->widest() > s->columns(); }));
    for (int value : {5, 1, 40}) {
        set_bar("displayHB", value);
        std::vector<unsigned long> after = pixels();
        EXPECT_TRUE(after == redrawn()) << "horizontal " << value;
        EXPECT_EQ(s->column_offset(), std::min(value, s->widest() - s->columns()));
    }
    set_bar("displayHB", 0);

    // Scrolled back by the bar, then new lines: the view and the bar both
    // return to the newest line.
    set_bar("displayVB", 0);
    arrive(two_columns(), numbered(5, 700));
    int v = -1, slider = 0, inc = 0, page = 0;
    XmScrollBarGetValues(vxdl::find(shell, "displayVB"), &v, &slider, &inc, &page);
    EXPECT_EQ(s->top(), s->tail_top());
    EXPECT_EQ(v, s->top());
    EXPECT_TRUE(pixels() == redrawn());
}

TEST_F(DisplayX, ShrinkingAndGrowingFollowTheWindow)
{
    arrive(two_columns(), numbered(40));
    ASSERT_TRUE(wait_lines(3 * 2 + 40 + 1));
    const DyLineStore *s = dytab_store();
    int rows = s->rows(), cols = s->columns();
    XtVaSetValues(shell, XmNwidth, 300, XmNheight, 200, nullptr);
    int top = s->top();
    ASSERT_TRUE(vxdl::pump_until([&] { return s->rows() < rows && s->columns() < cols; }));
    EXPECT_EQ(s->top(), top);  // the last line is still reachable
    EXPECT_TRUE(pixels() == redrawn());
    XtVaSetValues(shell, XmNwidth, 500, XmNheight, 400, nullptr);
    ASSERT_TRUE(vxdl::pump_until([&] { return s->rows() > rows && s->columns() > cols; }));
    EXPECT_EQ(s->top(), s->count() - s->rows());  // pulled back
    EXPECT_TRUE(pixels() == redrawn());
    XtVaSetValues(shell, XmNwidth, 400, XmNheight, 300, nullptr);
    ASSERT_TRUE(vxdl::pump_until([&] { return s->rows() == rows && s->columns() == cols; }));
}

constexpr size_t FIXED_LINES = 11003;
constexpr uint64_t FIXED_HASH = 11775298320683661910ull;

Cell day(int i)
{
    return D(static_cast<int16_t>(1990 + i % 40), static_cast<int16_t>(1 + i % 12), static_cast<int16_t>(1 + i % 28));
}

// A result of 10,000 rows: texts plain, accented and with control bytes,
// numbers, dates and missing cells.  Every line the formatter gives for
// it is fixed (their number and a hash of their bytes, taken from the
// formatter before its plain-text shortcut); the view holds the last of
// them and shows what a full redraw shows, its bar at the end.
TEST_F(DisplayX, TenThousandRowsShowTheSameLines)
{
    const std::vector<DozColDesc> cols = {column("N", DOZ_T_LONG, 6, 0), column("TEXT", DOZ_T_STRING, 14, -1),
                                          column("VALUE", DOZ_T_REAL, 10, 3), column("DAY", DOZ_T_DATE, 10, 0)};
    std::vector<std::vector<Cell>> rows;
    const char *texts[] = {"row", "caf\xc3\xa9", "tab\there", "\x7f\x01" "end", "  padded  "};
    for (int i = 0; i < 10000; i++)
        rows.push_back({L(i), i % 13 == 0 ? NUL() : STR(std::string(texts[i % 5]) + " " + std::to_string(i % 97)),
                        i % 17 == 0 ? NUL() : R(i * 0.125 - 300), day(i)});
    // The lines are fixed for the C locale, where the accented letter's
    // bytes are shown as octal escapes; whatever locale the test runs in.
    const std::string was = setlocale(LC_CTYPE, nullptr);
    setlocale(LC_CTYPE, "C");
    int ds = arrive(cols, rows);
    const std::vector<std::string> all = screen_lines(ds);
    uint64_t hash = 1469598103934665603ull;
    for (const std::string &l : all) {
        for (unsigned char c : l)
            hash = (hash ^ c) * 1099511628211ull;
        hash = (hash ^ 0xffu) * 1099511628211ull;
    }
    EXPECT_EQ(all.size(), FIXED_LINES);
    EXPECT_EQ(hash, FIXED_HASH);
    // In a UTF-8 locale the letter is printable and shown as itself: the
    // lines differ exactly where it stands.
    if (setlocale(LC_CTYPE, "C.UTF-8")) {
        const std::vector<std::string> utf8 = screen_lines(ds);
        ASSERT_EQ(utf8.size(), all.size());
        size_t differing = 0;
        for (size_t i = 0; i < all.size(); i++) {
            if (all[i] == utf8[i])
                continue;
            differing++;
            EXPECT_NE(all[i].find("caf\\303\\251"), std::string::npos) << all[i];
            EXPECT_NE(utf8[i].find("caf\xc3\xa9"), std::string::npos) << utf8[i];
        }
        EXPECT_GT(differing, 0u);
    }
    setlocale(LC_CTYPE, "C");
    ASSERT_GE(all.size(), 100u);
    EXPECT_EQ(held(), std::vector<std::string>(all.end() - 100, all.end()));
    const DyLineStore *s = dytab_store();
    EXPECT_EQ(s->top(), s->tail_top());
    int v = -1, slider = 0, inc = 0, page = 0;
    XmScrollBarGetValues(vxdl::find(shell, "displayVB"), &v, &slider, &inc, &page);
    EXPECT_EQ(v, s->top());
    EXPECT_TRUE(pixels() == redrawn());
    setlocale(LC_CTYPE, was.c_str());
}

// ---- selection ---------------------------------------------------------------------------

struct Reader {
    Display *d = XOpenDisplay(nullptr);
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    ~Reader()
    {
        XDestroyWindow(d, w);
        XCloseDisplay(d);
    }
    // Asks for PRIMARY as `target` (STRING unless named) while the
    // program's events are pumped; true when the answer is of that type.
    bool read(std::string &text, const char *target_name = nullptr)
    {
        Atom prop = XInternAtom(d, "VX_TEST_SELECTION", False);
        const Atom target = target_name ? XInternAtom(d, target_name, False) : XA_STRING;
        XConvertSelection(d, XA_PRIMARY, target, prop, w, CurrentTime);
        XFlush(d);
        XEvent ev{};
        bool got = vxdl::pump_until([&] { return XCheckTypedWindowEvent(d, w, SelectionNotify, &ev) == True; });
        if (!got || ev.xselection.property == None)
            return false;
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char *data = nullptr;
        XGetWindowProperty(d, w, prop, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after, &data);
        text.assign(reinterpret_cast<char *>(data), n);
        XFree(data);
        return type == target && format == 8;
    }
    void take()
    {
        XSetSelectionOwner(d, XA_PRIMARY, w, CurrentTime);
        XSync(d, False);
    }
};

void root_of(int x, int y, int &rx, int &ry)
{
    Window child;
    XTranslateCoordinates(dpy(), XtWindow(canvas()), DefaultRootWindow(dpy()), x, y, &rx, &ry, &child);
}

void drag(int x0, int y0, int x1, int y1, unsigned modifier_key = 0)
{
    int rx, ry;
    root_of(x0, y0, rx, ry);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    if (modifier_key)
        XTestFakeKeyEvent(dpy(), modifier_key, True, 0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XSync(dpy(), False);
    vxdl::pump_idle();
    for (int step = 1; step <= 4; step++) {
        root_of(x0 + (x1 - x0) * step / 4, y0 + (y1 - y0) * step / 4, rx, ry);
        XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
        XSync(dpy(), False);
        vxdl::pump_idle();
    }
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    if (modifier_key)
        XTestFakeKeyEvent(dpy(), modifier_key, False, 0);
    XSync(dpy(), False);
    vxdl::pump_idle();
}

TEST_F(DisplayX, DraggedSelectionIsPrimaryUntilAnotherOwnerTakesIt)
{
    int ds = arrive(two_columns(), numbered(8));
    ASSERT_TRUE(wait_lines(3 + 8 + 1));
    std::vector<unsigned long> plain = pixels();
    int lh = 1, cw = 1;
    dytab_metrics(&lh, &cw);
    // From the start of the title line to the middle of the row of 5.
    drag(1, lh * 1 + lh / 2, cw * 14 + cw / 2, lh * 8 + lh / 2);
    const DyLineStore *s = dytab_store();
    ASSERT_TRUE(s->selection().exists);
    ASSERT_TRUE(s->selection().owns_primary);
    std::vector<std::string> lines = screen_lines(ds);
    std::string expected;
    for (int i = 1; i < 8; i++)
        expected += lines[static_cast<size_t>(i)] + "\n";
    expected += lines[8].substr(0, 14);
    Reader other;
    std::string text;
    ASSERT_TRUE(other.read(text));
    EXPECT_EQ(text, expected);
    std::vector<unsigned long> highlighted = pixels();
    EXPECT_FALSE(highlighted == plain);

    // Another owner: the highlight goes, the selection stays recorded.
    other.take();
    ASSERT_TRUE(vxdl::pump_until([&] { return !s->selection().owns_primary; }));
    EXPECT_TRUE(s->selection().exists);
    EXPECT_TRUE(pixels() == plain);

    // Reselect (Ctrl and button 1) takes it back.
    int rx, ry;
    root_of(10, 10, rx, ry);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    unsigned ctrl = XKeysymToKeycode(dpy(), XK_Control_L);
    XTestFakeKeyEvent(dpy(), ctrl, True, 0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XTestFakeKeyEvent(dpy(), ctrl, False, 0);
    XSync(dpy(), False);
    ASSERT_TRUE(vxdl::pump_until([&] { return s->selection().owns_primary; }));
    EXPECT_EQ(XGetSelectionOwner(dpy(), XA_PRIMARY), XtWindow(canvas()));
    EXPECT_TRUE(other.read(text));
    EXPECT_EQ(text, expected);
    vxdl::pump_idle();
    EXPECT_TRUE(pixels() == highlighted);

    // A press and release without movement leaves the selection alone.
    drag(30, 30, 30, 30);
    EXPECT_TRUE(s->selection().exists);
    EXPECT_TRUE(other.read(text));
    EXPECT_EQ(text, expected);
}

// Under a UTF-8 locale a drag selects by characters: an end in the middle
// of a character takes the whole character, and PRIMARY is offered as
// UTF8_STRING, as STRING in Latin-1, and as compound text.
TEST_F(DisplayX, DragUnderUtf8SelectsWholeCharacters)
{
    const std::string was = setlocale(LC_CTYPE, nullptr);
    if (!setlocale(LC_CTYPE, "C.UTF-8"))
        GTEST_SKIP() << "no UTF-8 locale";
    std::vector<std::vector<Cell>> rows;
    for (int i = 0; i < 3; i++)
        rows.push_back({L(i), STR("caf\xc3\xa9 " + std::to_string(i))});
    int ds = arrive(two_columns(), rows);
    ASSERT_TRUE(wait_lines(3 + 3 + 1));
    std::vector<std::string> lines = screen_lines(ds);
    ASSERT_GE(lines.size(), 6u);
    const size_t accent = lines[3].find("\xc3\xa9");
    ASSERT_NE(accent, std::string::npos) << lines[3];
    int lh = 1, cw = 1;
    dytab_metrics(&lh, &cw);
    // From the start of the first row to the middle of the last row's
    // accented letter: between its two bytes.
    drag(1, lh * 3 + lh / 2, cw * static_cast<int>(accent + 1) + cw / 2, lh * 5 + lh / 2);
    ASSERT_TRUE(dytab_store()->selection().owns_primary);
    const std::string expected = lines[3] + "\n" + lines[4] + "\n" + lines[5].substr(0, accent + 2);
    Reader other;
    std::string utf8, latin1, compound;
    EXPECT_TRUE(other.read(utf8, "UTF8_STRING"));
    EXPECT_EQ(utf8, expected);
    EXPECT_TRUE(other.read(latin1));
    std::string expected_latin1 = expected;
    for (size_t at; (at = expected_latin1.find("\xc3\xa9")) != std::string::npos;)
        expected_latin1.replace(at, 2, "\xe9");
    EXPECT_EQ(latin1, expected_latin1);
    EXPECT_TRUE(other.read(compound, "COMPOUND_TEXT"));
    EXPECT_NE(compound.find("caf"), std::string::npos);
    setlocale(LC_CTYPE, was.c_str());
}

// ---- the rubber band ---------------------------------------------------------------------

// XTest input sent on the program's own connection from inside the wait:
// with the server grabbed no other client is served.
struct Gesture {
    int x0, y0, x1, y1;
};
Gesture gesture;

void send_gesture(XtPointer, XtIntervalId *)
{
    int rx, ry;
    root_of(gesture.x0, gesture.y0, rx, ry);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    for (int step = 1; step <= 3; step++) {
        root_of(gesture.x0 + (gesture.x1 - gesture.x0) * step / 3, gesture.y0 + (gesture.y1 - gesture.y0) * step / 3,
                rx, ry);
        XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    }
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XFlush(dpy());
}

// A second client gets an answer within the bound only when the server
// is not grabbed.
bool server_free()
{
    auto done = std::async(std::launch::async, [] {
        Display *d = XOpenDisplay(nullptr);
        if (!d)
            return false;
        XSync(d, False);
        XCloseDisplay(d);
        return true;
    });
    return done.wait_for(std::chrono::seconds(10)) == std::future_status::ready && done.get();
}

TEST_F(DisplayX, RubberBandRectangleAndLine)
{
    gesture = {120, 90, 20, 30};  // dragged up and left
    XtAppAddTimeOut(vxdl::app().context, 50, send_gesture, nullptr);
    XRectangle r{};
    ASSERT_EQ(dymain_dy_get_rectangle(&r, 0), 1);
    EXPECT_EQ(r.x, 20);
    EXPECT_EQ(r.y, 30);
    EXPECT_EQ(r.width, 100);
    EXPECT_EQ(r.height, 60);
    EXPECT_TRUE(server_free());

    // An empty rectangle fails (and the grab is gone as well).
    gesture = {50, 50, 50, 80};
    XtAppAddTimeOut(vxdl::app().context, 50, send_gesture, nullptr);
    int bells = vxdl::bells();
    EXPECT_EQ(dymain_dy_get_rectangle(&r, 1), 0);
    EXPECT_TRUE(server_free());
    EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() > bells; }));

    // A horizontal line holds y.
    gesture = {10, 40, 90, 70};
    XtAppAddTimeOut(vxdl::app().context, 50, send_gesture, nullptr);
    XPoint a{}, b{};
    ASSERT_EQ(dymain_dy_get_line(&a, &b, 2), 1);
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, 40);
    EXPECT_EQ(b.x, 90);
    EXPECT_EQ(b.y, 40);

    // A moved rectangle keeps its size.
    XRectangle m{10, 10, 50, 40};
    gesture = {20, 20, 70, 50};
    XtAppAddTimeOut(vxdl::app().context, 50, send_gesture, nullptr);
    ASSERT_EQ(dymain_dy_move_rectangle(&m), 1);
    EXPECT_EQ(m.x, 60);
    EXPECT_EQ(m.y, 40);
    EXPECT_EQ(m.width, 50);
    EXPECT_TRUE(server_free());
}

// ---- printing -----------------------------------------------------------------------------

std::string slurp(const std::string &path)
{
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

DyPrintSettings settings;
DyPrintSettings current_settings() { return settings; }

struct TempDir {
    std::string path;
    TempDir()
    {
        char t[] = "/tmp/vxdisp.XXXXXX";
        path = mkdtemp(t);
    }
    ~TempDir() { std::system(("rm -rf " + path).c_str()); }
};

// What printing the datasets should write: the formatter's lines with
// printer pages, a newline after each, a form feed for a page break.
std::string printed(const std::vector<int> &datasets)
{
    static std::string out;
    out.clear();
    dyprt_dy_set_output(
        [](const char *t, int n) {
            if (!t)
                out += '\f';
            else
                out += std::string(t, static_cast<size_t>(n)) + "\n";
            return 1;
        },
        60, 78, 0, -1, 0);
    for (int ds : datasets)
        dyprt_dy_print_dataset(ds);
    dyprt_dy_set_output(dytab_dy_output_line, -1, dytab_store()->columns(), 3, 30, 0);
    return out;
}

TEST_F(DisplayX, PrintingToFileCommandAndMail)
{
    TempDir dir;
    dy_hooks.print_settings = current_settings;
    int a = arrive(two_columns(), numbered(70));
    int b = make(two_columns(), numbered(3, 500));  // the current one, not kept
    ASSERT_TRUE(vxdl::pump_until([&] { return dsmgr_ds_printed(b) != 0; }));
    std::string expected = printed({a, b});
    EXPECT_NE(expected.find('\f'), std::string::npos);

    std::string file = dir.path + "/table.txt";
    settings = {0, 1, file.c_str(), ""};
    EXPECT_EQ(dytab_dy_print_table(1), 1);
    EXPECT_EQ(slurp(file), expected);

    // The plain print command.
    std::string piped = dir.path + "/piped.txt";
    std::string command = "cat > " + piped;
    snprintf(dymain_dy_printer_commands[0], 256, "%s", command.c_str());
    settings = {0, 0, "", ""};
    EXPECT_EQ(dytab_dy_print_table(1), 1);
    EXPECT_EQ(slurp(piped), expected);

    // To a file, then mailed: the mail command sees INFILE.
    std::string mailed = dir.path + "/mailed.txt", log = dir.path + "/mail.log";
    std::string mail = "echo \"$INFILE\" > " + log;
    settings = {0, 2, mailed.c_str(), mail.c_str()};
    EXPECT_EQ(dytab_dy_print_table(1), 1);
    EXPECT_EQ(slurp(mailed), expected);
    EXPECT_EQ(slurp(log), mailed + "\n");

    // Failures: an output that will not open (69/21), a command that
    // fails (69/22); nothing is mailed.
    std::string box;
    auto answer = [&](Widget w) {
        box = vxdl::message(w);
        vxdl::press_box(w, XmDIALOG_OK_BUTTON);
    };
    std::string nowhere = dir.path + "/no/such/dir/t.txt";
    settings = {0, 2, nowhere.c_str(), mail.c_str()};
    unlink(log.c_str());
    auto pending = vxdl::when_shown("error", answer);
    EXPECT_EQ(dytab_dy_print_table(1), 0);
    EXPECT_TRUE(pending->ran);
    EXPECT_NE(box.find(nowhere), std::string::npos) << box;
    EXPECT_NE(access(log.c_str(), F_OK), 0);

    snprintf(dymain_dy_printer_commands[1], 256, "cat > /dev/null; exit 3");
    settings = {1, 0, "", ""};
    box.clear();
    pending = vxdl::when_shown("error", answer);
    EXPECT_EQ(dytab_dy_print_table(1), 0);
    EXPECT_TRUE(pending->ran);
    EXPECT_NE(box.find("exit 3"), std::string::npos) << box;
    dymain_dy_printer_commands[0][0] = dymain_dy_printer_commands[1][0] = '\0';
    vxdl::cancel_pending();

    // Later data still reaches the screen.
    dsmgr_ds_retain();
    arrive(two_columns(), numbered(2, 900));
    const DyLineStore *s = dytab_store();
    EXPECT_NE(s->text(s->count() - 2).find("row 901"), std::string::npos);
    dy_hooks.print_settings = nullptr;
}

TEST_F(DisplayX, PipeTargetWritesEveryRow)
{
    TempDir dir;
    std::string out = dir.path + "/pipe.txt";
    std::vector<DozColDesc> cols = {column("N", DOZ_T_LONG, 4, 0), column("V", DOZ_T_SHORT, 3, 0, -3),
                                    column("S", DOZ_T_STRING, 5, -1)};
    int bytes1 = 0, bytes2 = 0;
    auto first = buffer(cols, {{L(1), values<int16_t>({7, 8}), STR("ab")}, {L(2), NUL(), STR("xyz")}}, &bytes1);
    auto second = buffer(cols, {{L(3), values<int16_t>({9}), STR("q")}}, &bytes2);

    ASSERT_EQ(dytab_dy_prepare_pipe_target(("cat > " + out).c_str()), 1);
    QyHandler writer = qymgr_qy_set_override_handler(nullptr);
    ASSERT_NE(writer, nullptr);
    DozReader reader(first.data(), static_cast<size_t>(bytes1));
    writer(QY_EVENT_EOB, 2, bytes1, reader);
    writer(QY_EVENT_OK, 0, 0, reader);
    // An empty command keeps the pipe for the next query.
    ASSERT_EQ(dytab_dy_prepare_pipe_target(""), 1);
    EXPECT_EQ(qymgr_qy_set_override_handler(nullptr), writer);
    init_buffer(reader, second.data(), static_cast<size_t>(bytes2));
    writer(QY_EVENT_EOB, 1, bytes2, reader);
    writer(QY_EVENT_OK, 0, 0, reader);
    ASSERT_EQ(dytab_dy_prepare_pipe_target(nullptr), 1);
    EXPECT_EQ(slurp(out), "   1   7   8 ab    \n"
                          "   2 xyz   \n"
                          "   3   9 q     \n");
}

}  // namespace
