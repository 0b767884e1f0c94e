// The installed program's start-up on the test X server: which shells each
// run mode shows, the restart command on WM_SAVE_YOURSELF, the exits, the
// database and procedure of the command line, and menu accelerators typed
// as keys.

#include "vxtest.h"
#include "vxtest_demo.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <filesystem>
#include <fstream>

using namespace std::chrono_literals;

namespace {

std::string launcher() { return vxtest::install_dir() + "/bin/vostrelane"; }

const std::string xdotool = "/usr/bin/xdotool";

int ignore_x_errors(Display *, XErrorEvent *) { return 0; }

// A top-level window of the program: by WM_CLASS and, when given, title.
// `with_command`: the application shell, the one window with WM_COMMAND.
Window find_window(Display *dpy, Window w, const char *title, bool with_command = false, bool shown = false)
{
    XClassHint hint;
    if (XGetClassHint(dpy, w, &hint)) {
        bool match = std::string(hint.res_class) == "Vostrelane";
        XFree(hint.res_name);
        XFree(hint.res_class);
        if (match && with_command) {
            char **argv = nullptr;
            int argc = 0;
            match = XGetCommand(dpy, w, &argv, &argc) != 0;
            if (argv)
                XFreeStringList(argv);
        }
        char *name = nullptr;
        if (match && title) {
            match = XFetchName(dpy, w, &name) && name && std::string(name).rfind(title, 0) == 0;
            if (name)
                XFree(name);
        }
        XWindowAttributes a{};
        if (match && shown)
            match = XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable;
        if (match)
            return w;
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; i++)
            found = find_window(dpy, children[i], title, with_command, shown);
        if (children)
            XFree(children);
    }
    return found;
}

class Program : public ::testing::Test {
protected:
    Display *dpy = nullptr;
    void SetUp() override
    {
        XSetErrorHandler(ignore_x_errors);
        dpy = XOpenDisplay(nullptr);
        ASSERT_NE(dpy, nullptr);
    }
    void TearDown() override
    {
        if (dpy)
            XCloseDisplay(dpy);
    }
    Window wait_window(const char *title, bool with_command = false)
    {
        Window w = 0;
        vxtest::wait_for([&] { return (w = find_window(dpy, DefaultRootWindow(dpy), title, with_command)) != 0; },
                         30s);
        return w;
    }
    bool viewable(Window w)
    {
        XWindowAttributes a{};
        return XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable;
    }
    void send_protocol(Window w, const char *protocol)
    {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, protocol, False));
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, w, False, NoEventMask, &ev);
        XFlush(dpy);
    }
    static int end(vxtest::Child &child, int sig = SIGINT)
    {
        if (sig)
            kill(child.pid, sig);
        vxtest::Result r;
        if (!child.wait(30s, r))
            return -100;
        return r.status;
    }
};

TEST_F(Program, ShellsShownPerRunMode)
{
    struct Case {
        std::vector<std::string> args;
        bool display_shown;
    } cases[] = {
        {{"-tsl"}, true},
        {{"-tsledit"}, true},
        {{"-tslnomenu"}, true},
        {{"-tslnowin"}, false},
        {{"-tsl", "-nomap"}, false},
        {{"-tslnomenu", "-nomap"}, false},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string title = "shells-" + std::to_string(n++);
        std::vector<std::string> argv{launcher(), "-displayname", title};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        auto child = vxtest::start(argv);
        Window w = wait_window(title.c_str());
        ASSERT_NE(w, 0u) << c.args[0] << child.err();
        if (c.display_shown)
            EXPECT_TRUE(vxtest::wait_for([&] { return viewable(w); }, 20s)) << c.args[0];
        else  // a window that is never shown stays unmapped however long we look
            EXPECT_FALSE(vxtest::wait_for([&] { return viewable(w); }, 1s)) << c.args[0];
        EXPECT_EQ(end(child), 0) << c.args[0] << child.err();
    }
}

// The display window opens at the size of the application defaults
// (displayShell 800 x 600) in the run modes that show it with its menus;
// its form once asked the shell for its own small size, and the window
// shrank to its menu bar.
TEST_F(Program, DisplayWindowKeepsItsDefaultSize)
{
    int n = 0;
    for (const char *mode : {"-tsl", "-tsledit"}) {
        std::string title = "size-" + std::to_string(n++);
        auto child = vxtest::start({launcher(), mode, "-displayname", title});
        Window w = wait_window(title.c_str());
        ASSERT_NE(w, 0u) << mode << child.err();
        ASSERT_TRUE(vxtest::wait_for([&] { return viewable(w); }, 20s)) << mode;
        XWindowAttributes a{};
        EXPECT_TRUE(vxtest::wait_for(
            [&] { return XGetWindowAttributes(dpy, w, &a) && a.width == 800 && a.height == 600; }, 10s))
            << mode << ": " << a.width << "x" << a.height;
        EXPECT_EQ(end(child), 0) << mode << child.err();
    }
}

TEST_F(Program, NoResizeFixesTheDisplaySize)
{
    auto child = vxtest::start({launcher(), "-tsl", "-noresize", "-displayname", "noresize-test"});
    Window w = wait_window("noresize-test");
    ASSERT_NE(w, 0u) << child.err();
    ASSERT_TRUE(vxtest::wait_for([&] { return viewable(w); }, 20s));
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(vxtest::wait_for(
        [&] {
            return XGetWMNormalHints(dpy, w, &hints, &supplied) && (hints.flags & PMinSize) &&
                   (hints.flags & PMaxSize);
        },
        20s));
    XWindowAttributes a{};
    XGetWindowAttributes(dpy, w, &a);
    EXPECT_EQ(hints.min_width, a.width);
    EXPECT_EQ(hints.max_width, a.width);
    EXPECT_EQ(hints.min_height, a.height);
    EXPECT_EQ(hints.max_height, a.height);
    EXPECT_EQ(end(child), 0);
}

// Run mode 0: both windows, also with -nomap; the database of the command
// line opened (or, refused, answered with an error box and left closed);
// the restart command; the query window's close.
TEST_F(Program, InteractiveWindowsRestartCommandAndClose)
{
    vxtest::ensure_demo();
    std::string dir = vxtest::temp_dir("startup-open");
    std::ofstream(dir + "/wrong") << "WRONG\n";
    std::ofstream(dir + "/right") << "GUEST\n";
    std::ofstream(dir + "/dba") << "BRASK\n";
    struct Case {
        const char *user;
        std::vector<std::string> args;
        bool refused;
        std::vector<std::string> tail;  // of the restart command
    } cases[] = {
        {"BRASK", {"-database", "demo"}, false, {"-database", "DEMO", "-shared"}},
        {"GUEST", {"-database", "demo", "-passwordfile", dir + "/wrong"}, true,
         {"-database", "%NODB%", "-passwordfile", dir + "/wrong", "-shared"}},
        // keeping everyone else out is for the database's DBAs
        {"BRASK", {"-database", "demo", "-forced", "-passwordfile", dir + "/dba"}, false,
         {"-database", "DEMO", "-exclusive", "-passwordfile", dir + "/dba"}},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string title = "restart-" + std::to_string(n++);
        SCOPED_TRACE(title);
        std::vector<std::string> argv{launcher(), "-nomap", "-displayname", title};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        vxtest::Options o;
        o.set_env["QYUSER"] = c.user;
        auto child = vxtest::start(argv, o);
        Window display = wait_window(title.c_str());
        ASSERT_NE(display, 0u) << child.err();
        if (c.refused) {
            // The interpreter's refusal waits in a box before the windows
            // take any other event.
            Window box = 0;
            ASSERT_TRUE(vxtest::wait_for(
                [&] { return (box = find_window(dpy, DefaultRootWindow(dpy), "Error", false, true)) != 0; }, 20s))
                << child.err();
            for (int attempt = 0; attempt < 3 && viewable(box); attempt++) {
                vxtest::run({xdotool, "windowfocus", "--sync", std::to_string(box)});
                vxtest::run({xdotool, "key", "Return"});
                vxtest::wait_for([&] { return !viewable(box); }, 10s);
            }
            EXPECT_FALSE(viewable(box));
        }
        EXPECT_TRUE(vxtest::wait_for([&] { return viewable(display); }, 20s));
        Window query = wait_window(nullptr, true);
        ASSERT_NE(query, 0u);
        EXPECT_TRUE(vxtest::wait_for([&] { return viewable(query); }, 20s));

        // The open's wait takes events too: a request answered before the
        // open ended is asked again.
        std::vector<std::string> words, tail;
        EXPECT_TRUE(vxtest::wait_for(
            [&] {
                send_protocol(query, "WM_SAVE_YOURSELF");
                XSync(dpy, False);
                char **wm = nullptr;
                int argc = 0;
                words.clear();
                if (XGetCommand(dpy, query, &wm, &argc)) {
                    for (int i = 0; i < argc; i++)
                        words.push_back(wm[i]);
                    XFreeStringList(wm);
                }
                tail.clear();
                if (words.size() >= 4)
                    tail.assign(words.begin() + 4, words.end());
                return tail == c.tail;
            },
            20s));
        EXPECT_EQ(tail, c.tail) << child.err();
        send_protocol(query, "WM_DELETE_WINDOW");
        EXPECT_EQ(end(child, 0), 0) << child.err();
    }
}

TEST_F(Program, DatabaseAndProcedureOfTheCommandLine)
{
    vxtest::ensure_demo();
    std::string dir = vxtest::temp_dir("startup-pw");
    std::ofstream(dir + "/empty").close();
    struct Case {
        std::vector<std::string> args;
        const char *line;
    } cases[] = {
        {{"-database", "nosuch", "-passwordfile", dir + "/missing"}, "Vostrelane. Failed to open password file\n"},
        {{"-database", "nosuch", "-passwordfile", dir + "/empty"}, "Vostrelane. Failed to get password from file\n"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> argv{launcher(), "-procedure", "p1"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        // A user named in the environment has no built-in password.
        vxtest::Options o;
        o.set_env["QYUSER"] = "BRASK";
        auto r = vxtest::run(argv, o);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.line), std::string::npos) << c.args[1] << ": " << r.err;
    }

    // The database opens; a procedure that is nowhere is said so in a
    // box, and the program ends with status 1 once it is answered.
    vxtest::Options o;
    o.set_env["QYUSER"] = "BRASK";
    auto child = vxtest::start({launcher(), "-procedure", "nosuchproc", "-database", "demo"}, o);
    Window box = 0;
    ASSERT_TRUE(vxtest::wait_for(
        [&] { return (box = find_window(dpy, DefaultRootWindow(dpy), "Error", false, true)) != 0; }, 30s))
        << child.err();
    vxtest::Result r;
    bool ended = false;
    for (int attempt = 0; attempt < 3 && !ended; attempt++) {
        vxtest::run({xdotool, "windowfocus", "--sync", std::to_string(box)});
        vxtest::run({xdotool, "key", "Return"});
        ended = child.wait(10s, r);
    }
    ASSERT_TRUE(ended) << child.err();
    EXPECT_EQ(r.status, 1) << r.err;
}

// PRIMARY as text, asked for from a window of the test's own.
bool read_primary(Display *dpy, std::string &text, const char *target_name = "STRING")
{
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    Atom prop = XInternAtom(dpy, "VX_TEST_SELECTION", False);
    const Atom target = XInternAtom(dpy, target_name, False);
    XConvertSelection(dpy, XA_PRIMARY, target, prop, w, CurrentTime);
    XFlush(dpy);
    XEvent ev{};
    bool got = vxtest::wait_for([&] { return XCheckTypedWindowEvent(dpy, w, SelectionNotify, &ev) == True; }, 10s);
    bool ok = false;
    if (got && ev.xselection.property != None) {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char *data = nullptr;
        XGetWindowProperty(dpy, w, prop, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after, &data);
        if (data) {
            text.assign(reinterpret_cast<char *>(data), n);
            XFree(data);
            ok = type == target;
        }
    }
    XDestroyWindow(dpy, w);
    return ok;
}

// A procedure of the command line runs in run mode 1 once the database is
// open: the display window shows its rows (read back through PRIMARY after
// a drag over the table) and the program keeps running.
TEST_F(Program, ProcedureOfTheCommandLineShowsItsRows)
{
    vxtest::ensure_demo();
    const std::string dir = vxtest::install_dir() + "/etc/procedures/DEMO.BRASK";
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/CLDEPTS";
    std::ofstream(file) << "table\nstartgraph\nendgraph\nstartquery\n\tdata\n"
                           "\tquery DISPLAY DEPTNO, DNAME FROM DEPT\nendquery\n";
    vxtest::Options o;
    o.set_env["QYUSER"] = "BRASK";
    // The locale nearly every system runs: text is selected by characters.
    o.set_env["LANG"] = "C.UTF-8";
    o.unset_env = {"LC_ALL", "LC_CTYPE"};
    auto child = vxtest::start({launcher(), "-procedure", "CLDEPTS", "-database", "DEMO", "-displayname", "proc-run"}, o);
    Window display = wait_window("proc-run");
    ASSERT_NE(display, 0u) << child.err();
    ASSERT_TRUE(vxtest::wait_for([&] { return viewable(display); }, 30s)) << child.err();
    const std::string win = std::to_string(display);
    XWindowAttributes a{};
    // The rows may arrive after the window shows: drag again until the
    // selection holds them (over a shell of a known size first, so the
    // drag starts on the rows).
    std::string text;
    bool shown = vxtest::wait_for(
        [&] {
            if (!XGetWindowAttributes(dpy, display, &a) || a.width != 560 || a.height != 360) {
                vxtest::run({xdotool, "windowsize", "--sync", win, "560", "360"});
                return false;
            }
            vxtest::run({xdotool, "mousemove", "--sync", "--window", win, "8", std::to_string(a.height / 5)});
            vxtest::run({xdotool, "mousedown", "1"});
            vxtest::run({xdotool, "mousemove", "--sync", "--window", win, std::to_string(a.width - 8),
                         std::to_string(a.height - 8)});
            vxtest::run({xdotool, "mouseup", "1"});
            return read_primary(dpy, text) && text.find("Administration") != std::string::npos;
        },
        60s);
    EXPECT_TRUE(shown) << text << child.err();
    EXPECT_NE(text.find("Research"), std::string::npos) << text;
    std::string utf8;
    EXPECT_TRUE(read_primary(dpy, utf8, "UTF8_STRING"));
    EXPECT_EQ(utf8, text);
    vxtest::Result r;
    EXPECT_FALSE(child.wait(0ms, r)) << "ended with " << r.status << ": " << child.err();
    std::filesystem::remove(file);
    EXPECT_NE(end(child, SIGTERM), -100);
}

// Keys typed into the windows reach the menu items' accelerators: Quit
// asks first (Return takes the box's default, Cancel), the display
// window's items say they are not available, in an error box.
TEST_F(Program, AcceleratorsFire)
{
    auto child = vxtest::start({launcher(), "-displayname", "accel-test"});
    Window display = wait_window("accel-test");
    ASSERT_NE(display, 0u) << child.err();
    Window query = wait_window(nullptr, true);
    ASSERT_NE(query, 0u);
    ASSERT_TRUE(vxtest::wait_for([&] { return viewable(query) && viewable(display); }, 20s));
    struct Case {
        Window w;
        const char *keys;
        const char *title;
    } cases[] = {
        {query, "ctrl+e", "Confirm"},
        {display, "ctrl+shift+m", "Error"},
    };
    for (const Case &c : cases) {
        std::string id = std::to_string(c.w);
        Window box = 0;
        // A key typed before the server has given the window the focus is
        // lost to the window before: type it again, a few times at most.
        for (int attempt = 0; attempt < 3 && !box; attempt++) {
            vxtest::run({xdotool, "mousemove", "--window", id, "5", "5"});
            vxtest::run({xdotool, "windowfocus", "--sync", id});
            vxtest::run({xdotool, "key", "--clearmodifiers", c.keys});
            vxtest::wait_for(
                [&] { return (box = find_window(dpy, DefaultRootWindow(dpy), c.title, false, true)) != 0; }, 10s);
        }
        EXPECT_NE(box, 0u) << c.keys << child.err();
        if (!box)
            continue;
        // Return presses the box's default button.
        vxtest::run({xdotool, "windowfocus", "--sync", std::to_string(box)});
        vxtest::run({xdotool, "key", "Return"});
        EXPECT_TRUE(vxtest::wait_for([&] { return !viewable(box); }, 20s)) << c.keys;
    }
    EXPECT_EQ(end(child), 0) << child.err();
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool holds(const Rect &o) const { return o.x >= x && o.y >= y && o.x + o.w <= x + w && o.y + o.h <= y + h; }
};

Rect root_rect(Display *dpy, Window w)
{
    Window root, child;
    int x = 0, y = 0, rx = 0, ry = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    XGetGeometry(dpy, w, &root, &x, &y, &width, &height, &border, &depth);
    XTranslateCoordinates(dpy, w, root, 0, 0, &rx, &ry, &child);
    return {rx, ry, static_cast<int>(width), static_cast<int>(height)};
}

// Stacking order among the root's children, bottom first.
int stacking(Display *dpy, Window w)
{
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    int at = -1;
    if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n; i++)
            if (children[i] == w)
                at = static_cast<int>(i);
        XFree(children);
    }
    return at;
}

// A box goes over the window whose command asked for it, on top of both
// windows: the query window moved off the display window (which lies over
// it), a query-window command's confirm box lies within the query window,
// a display-window command's box within the display window, and a box a
// dialog's button asks for within that dialog (the dialog, opened by its
// accelerator, within its window).
TEST_F(Program, BoxesGoOverTheWindowThatAskedOnTop)
{
    vxtest::ensure_demo();
    auto child = vxtest::start({launcher(), "-displayname", "boxes-test", "-database", "demo"});
    Window display = wait_window("boxes-test");
    ASSERT_NE(display, 0u) << child.err();
    Window query = wait_window(nullptr, true);
    ASSERT_NE(query, 0u);
    ASSERT_TRUE(vxtest::wait_for([&] { return viewable(query) && viewable(display); }, 20s));
    vxtest::run({xdotool, "windowmove", "--sync", std::to_string(query), "480", "420"});
    ASSERT_TRUE(vxtest::wait_for([&] { return root_rect(dpy, query).x == 480; }, 20s));
    const Window procedures = find_window(dpy, DefaultRootWindow(dpy), "Procedures");
    struct Case {
        Window typed_in;  // the window the keys go to
        const char *keys;
        const char *title;
        Window over;      // 0: the dialog the keys opened, by its title
        const char *dialog;
    } cases[] = {
        {query, "ctrl+e", "Confirm", query, nullptr},
        {display, "ctrl+shift+m", "Error", display, nullptr},
        // Load and run's OK with no name: the box over the dialog.
        {query, "ctrl+l", "Error", 0, "Procedures"},
    };
    for (const Case &c : cases) {
        Window typed = c.typed_in;
        if (c.dialog) {
            // The dialog first, then its OK (Return) asks for the box.
            for (int attempt = 0; attempt < 3 && !viewable(procedures); attempt++) {
                vxtest::run({xdotool, "mousemove", "--window", std::to_string(typed), "5", "5"});
                vxtest::run({xdotool, "windowfocus", "--sync", std::to_string(typed)});
                vxtest::run({xdotool, "key", "--clearmodifiers", c.keys});
                vxtest::wait_for([&] { return viewable(procedures); }, 10s);
            }
            ASSERT_TRUE(viewable(procedures)) << child.err();
            // Opened by its accelerator, the dialog lies over its window too.
            EXPECT_TRUE(root_rect(dpy, query).holds(root_rect(dpy, procedures)));
            typed = procedures;
        }
        const Window over = c.over ? c.over : procedures;
        Window box = 0;
        for (int attempt = 0; attempt < 3 && !box; attempt++) {
            vxtest::run({xdotool, "mousemove", "--window", std::to_string(typed), "5", "5"});
            vxtest::run({xdotool, "windowfocus", "--sync", std::to_string(typed)});
            vxtest::run({xdotool, "key", "--clearmodifiers", c.dialog ? "Return" : c.keys});
            vxtest::wait_for(
                [&] { return (box = find_window(dpy, DefaultRootWindow(dpy), c.title, false, true)) != 0; }, 10s);
        }
        ASSERT_NE(box, 0u) << c.keys << child.err();
        const Rect b = root_rect(dpy, box), o = root_rect(dpy, over);
        EXPECT_TRUE(o.holds(b)) << c.keys << ": box " << b.w << "x" << b.h << "+" << b.x << "+" << b.y << " over "
                                << o.w << "x" << o.h << "+" << o.x << "+" << o.y;
        EXPECT_GT(stacking(dpy, box), stacking(dpy, display)) << c.keys;
        EXPECT_GT(stacking(dpy, box), stacking(dpy, query)) << c.keys;
        vxtest::run({xdotool, "windowfocus", "--sync", std::to_string(box)});
        vxtest::run({xdotool, "key", "Return"});
        EXPECT_TRUE(vxtest::wait_for([&] { return !viewable(box); }, 20s)) << c.keys;
    }
    EXPECT_EQ(end(child), 0) << child.err();
}

// Quit (Ctrl-E in the query window) asks first; the answer OK ends the
// program with status 0.
TEST_F(Program, QuitAsksThenEnds)
{
    auto child = vxtest::start({launcher(), "-displayname", "quit-test"});
    Window query = wait_window(nullptr, true);
    ASSERT_NE(query, 0u) << child.err();
    ASSERT_TRUE(vxtest::wait_for([&] { return viewable(query); }, 20s));
    std::string id = std::to_string(query);
    Window box = 0;
    for (int attempt = 0; attempt < 3 && !box; attempt++) {
        vxtest::run({xdotool, "mousemove", "--window", id, "5", "5"});
        vxtest::run({xdotool, "windowfocus", "--sync", id});
        vxtest::run({xdotool, "key", "--clearmodifiers", "ctrl+e"});
        vxtest::wait_for(
            [&] { return (box = find_window(dpy, DefaultRootWindow(dpy), "Confirm", false, true)) != 0; }, 10s);
    }
    ASSERT_NE(box, 0u) << child.err();
    vxtest::Result r;
    bool ended = false;
    // Cancel is the box's default: the arrow key takes the focus to OK,
    // the space bar presses it.
    vxtest::run({xdotool, "windowfocus", "--sync", std::to_string(box)});
    vxtest::run({xdotool, "key", "Left"});
    vxtest::run({xdotool, "key", "space"});
    ended = child.wait(20s, r);
    ASSERT_TRUE(ended) << child.err();
    EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
