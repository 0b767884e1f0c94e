// The installed program's command line, application defaults and
// catalogue handling, run for real on the test X server.

#include "vxtest.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/msg.h>
#include <sys/shm.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string launcher() { return vxtest::install_dir() + "/bin/vostrelane"; }
std::string binary() { return vxtest::install_dir() + "/bin/vostrelane.bin"; }

const char usage_head[] = "Vostrelane understands all standard X arguments.\n";
const char usage_error[] = "Vostrelane: usage error\n\n";

TEST(CommandLine, VersionExitsZero)
{
    auto r = vxtest::run({launcher(), "-version"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind("Vostrelane for Orvanta 5.3\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nCompiled on: "), std::string::npos);
    EXPECT_NE(r.err.find("VX Version 5.3 Patch 6 (Checkpoint: 0.1, State: Released product)\n"), std::string::npos);
}

TEST(CommandLine, HelpAndBadLines)
{
    struct {
        std::vector<std::string> args;
        int status;
        bool error_line;
    } cases[] = {
        {{"-help"}, 1, false},
        {{"stray"}, 1, true},
        {{"-procedure", "p1"}, 1, true},
        {{"-nosuchoption"}, 1, true},
    };
    for (auto &c : cases) {
        std::vector<std::string> argv{launcher()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        auto r = vxtest::run(argv);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        std::string expect = std::string(c.error_line ? usage_error : "") + usage_head;
        EXPECT_EQ(r.err.rfind(expect, 0), 0u) << c.args[0] << ":\n" << r.err;
        EXPECT_NE(r.err.find("    -timeout    Set the Vostrelane idle timeout in minutes.\n"), std::string::npos);
        EXPECT_EQ(r.err.find("-displayid"), std::string::npos);
    }
}

// -version and -help are answered before a display is opened: with one
// and without, the same words and the same status; the display's error
// never shows.  A program whose interpreter cannot start ends with 1.
TEST(CommandLine, ExitStatuses)
{
    const std::string empty_server = vxtest::temp_dir("noserver");
    struct Case {
        std::vector<std::string> args;
        bool display;
        int status;
        const char *starts;
        std::map<std::string, std::string> env;
    } cases[] = {
        {{"-version"}, true, 0, "Vostrelane for Orvanta 5.3\n", {}},
        {{"-version"}, false, 0, "Vostrelane for Orvanta 5.3\n", {}},
        {{"-help"}, true, 1, usage_head, {}},
        {{"-help"}, false, 1, usage_head, {}},
        {{"-display", "nosuchhost:77", "-version"}, false, 0, "Vostrelane for Orvanta 5.3\n", {}},
        {{"-tslnowin"}, false, 1, "Error: Can't open display", {}},
        // An interpreter that cannot be started: the message, then 1.
        {{"-displayname", "no-interpreter"}, true, 1, "", {{"DOZ_SERVER_DIR", empty_server}}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> argv{launcher()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        vxtest::Options o;
        o.set_env = c.env;
        if (!c.display)
            o.unset_env = {"DISPLAY"};
        auto r = vxtest::run(argv, o);
        const std::string what = c.args.back() + (c.display ? " with a display" : " without a display");
        EXPECT_EQ(r.status, c.status) << what << ": " << r.err;
        EXPECT_EQ(r.err.rfind(c.starts, 0), 0u) << what << ": " << r.err;
        if (c.status == 0 || c.starts == usage_head) {
            EXPECT_EQ(r.err.find("Can't open display"), std::string::npos) << what << ": " << r.err;
        }
        if (!c.env.empty()) {
            EXPECT_NE(r.err.find("Cannot start or attach to the DOZ server."), std::string::npos) << r.err;
        }
    }
    fs::remove_all(empty_server);
}

// The directories every user makes settings in: all may add, none removes
// or replaces what another made.
TEST(Installation, SharedSettingsDirectoriesAreSticky)
{
    for (const char *dir : {"/etc/procedures", "/etc/tables"}) {
        struct stat st {};
        ASSERT_EQ(stat((vxtest::install_dir() + dir).c_str(), &st), 0) << dir;
        EXPECT_EQ(st.st_mode & 07777, 01777u) << dir;
    }
}

TEST(CommandLine, MissingApplicationDefaults)
{
    vxtest::Options o;
    o.set_env["XFILESEARCHPATH"] = "/nonexistent/%N";
    o.set_env["DOZ_CLIENT_DIR"] = vxtest::install_dir();
    o.unset_env = {"XAPPLRESDIR", "XUSERFILESEARCHPATH"};
    auto r = vxtest::run({binary()}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Vostrelane. Application defaults file was not loaded.\n");
    // -version and -help come before that check.
    EXPECT_EQ(vxtest::run({binary(), "-version"}, o).status, 0);
    EXPECT_EQ(vxtest::run({binary(), "-help"}, o).status, 1);
}

TEST(CommandLine, NoCatalogueAtAll)
{
    std::string empty = vxtest::temp_dir("nocat");
    vxtest::Options o;
    o.set_env["DOZ_CLIENT_DIR"] = empty;
    o.set_env["LANG"] = "C";
    auto r = vxtest::run({launcher(), "-tslnowin"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Vostrelane. Failed to open message catalogue for $LANG and C\n");
    fs::remove_all(empty);
}

TEST(CommandLine, FontSetThatCannotBeMade)
{
    auto r = vxtest::run({launcher(), "-tslnowin", "-xrm", "*labelFontset: fixed", "-xrm",
                          "*dataFontset: -nosuchfoundry-nosuchfamily-*"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error: cannot resolve data fontset fonts\n"), std::string::npos) << r.err;
}

TEST(CommandLine, GraphicsConfigurationThatCannotBeRead)
{
    auto r = vxtest::run({launcher(), "-tslnowin", "-xrm", "*pelxConfigFile: /nonexistent/pelx.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Vostrelane. Failed to initialise PELX\n"), std::string::npos) << r.err;
}

// Finds a top-level window by its WM_CLASS instance and class names.
Window find_window(Display *dpy, Window w, const char *res_class, const char *wm_name)
{
    XClassHint hint;
    if (XGetClassHint(dpy, w, &hint)) {
        bool match = std::string(hint.res_class) == res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
        char *name = nullptr;
        if (match && XFetchName(dpy, w, &name) && name) {
            match = std::string(name) == wm_name;
            XFree(name);
            if (match)
                return w;
        }
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; i++)
            found = find_window(dpy, children[i], res_class, wm_name);
        if (children)
            XFree(children);
    }
    return found;
}

// Windows of other programs on the test server come and go while the tree
// is searched: a window that vanished is no error for the search.
int ignore_x_errors(Display *, XErrorEvent *) { return 0; }

class Running : public ::testing::Test {
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

    bool window_appears(const char *title)
    {
        return vxtest::wait_for(
            [&] { return find_window(dpy, DefaultRootWindow(dpy), "Vostrelane", title) != 0; }, 20s);
    }
};

TEST_F(Running, UnknownLanguageFallsBackToCAndSigintEndsCleanly)
{
    vxtest::Options o;
    o.set_env["LANG"] = "xx_YY";
    auto child = vxtest::start({launcher(), "-tsl", "-displayname", "fallback-test"}, o);
    ASSERT_TRUE(window_appears("fallback-test")) << child.err();
    kill(child.pid, SIGINT);
    vxtest::Result r;
    ASSERT_TRUE(child.wait(20s, r));
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Running, WindowCloseEndsWithStatusZero)
{
    auto child = vxtest::start({launcher(), "-tsl", "-displayname", "close-test"});
    ASSERT_TRUE(window_appears("close-test")) << child.err();
    Window w = find_window(dpy, DefaultRootWindow(dpy), "Vostrelane", "close-test");
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, w, False, NoEventMask, &ev);
    XFlush(dpy);
    vxtest::Result r;
    ASSERT_TRUE(child.wait(20s, r));
    EXPECT_EQ(r.status, 0) << r.err;
}

// Every numeric resource set beyond what it may be: a warning for each on
// standard error, the defaults taken, and the program comes up and runs
// (under the sanitizers too) until it is told to end.
TEST_F(Running, NumericResourcesOutOfRangeAreWarnedOfAndTakeTheirDefaults)
{
    const char *names[] = {"singleClickInterval", "doubleClickInterval", "tableXGap", "tableYGap", "tableXExtra",
                           "displayBufferSize", "displayCheckStopLines", "printerPageLength", "printerPageWidth",
                           "useEditorThreshold", "percentagePan", "julianStartDay", "timeout", "queryBufferSize",
                           "databaseMode", "noResize", "nomap", "maxTickPixel"};
    std::vector<std::string> argv{launcher(), "-displayname", "range-test"};
    for (const char *name : names) {
        argv.push_back("-xrm");
        argv.push_back(std::string("vostrelane.") + name + ": 2147483647");
    }
    argv.insert(argv.end(), {"-xrm", "vostrelane.runMode: 99", "-xrm", "vostrelane.xferCheckStopInterval: -5"});
    auto child = vxtest::start(argv);
    ASSERT_TRUE(window_appears("range-test")) << child.err();
    kill(child.pid, SIGTERM);
    vxtest::Result r;
    ASSERT_TRUE(child.wait(20s, r));
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char *name : names)
        EXPECT_NE(r.err.find(std::string("Vostrelane. The resource ") + name + " is 2147483647, outside "),
                  std::string::npos)
            << name << "\n" << r.err;
    EXPECT_NE(r.err.find("The resource runMode is 99, outside 0 to 6: its default 0 is taken.\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("The resource xferCheckStopInterval is -5, outside 0.01 to 3600: its default 1 is taken.\n"),
              std::string::npos)
        << r.err;
    // Nothing but the warnings.
    size_t lines = 0;
    for (char ch : r.err)
        lines += ch == '\n';
    EXPECT_EQ(lines, std::size(names) + 2) << r.err;
}

// The pids of the interpreters that `parent` started.
std::vector<int> interpreters_of(int parent)
{
    std::vector<int> found;
    DIR *d = opendir("/proc");
    while (dirent *e = d ? readdir(d) : nullptr) {
        int pid = atoi(e->d_name);
        if (pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        // pid (comm) state ppid ...
        size_t close = line.rfind(')');
        if (close == std::string::npos || line.find("(tqlserver)") == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state != "Z")
            found.push_back(pid);
    }
    if (d)
        closedir(d);
    return found;
}

TEST_F(Running, InteractiveModeStartsItsInterpreterAndEndsIt)
{
    auto child = vxtest::start({launcher(), "-displayname", "interactive-test"});
    ASSERT_TRUE(window_appears("interactive-test")) << child.err();
    std::vector<int> servers;
    ASSERT_TRUE(vxtest::wait_for([&] { return (servers = interpreters_of(child.pid)).size() == 1; }, 20s))
        << child.err();
    kill(child.pid, SIGINT);
    vxtest::Result r;
    ASSERT_TRUE(child.wait(20s, r));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // the start-up statements were all accepted
    EXPECT_TRUE(vxtest::wait_for([&] { return kill(servers[0], 0) != 0; }, 10s)) << "interpreter left running";
}

// An interpreter that dies while the program runs on is said once on
// standard error; the program still ends as asked.
TEST_F(Running, AnInterpreterThatDiesLaterIsSaidOnce)
{
    auto child = vxtest::start({launcher(), "-displayname", "death-test"});
    ASSERT_TRUE(window_appears("death-test")) << child.err();
    std::vector<int> servers;
    ASSERT_TRUE(vxtest::wait_for([&] { return (servers = interpreters_of(child.pid)).size() == 1; }, 20s))
        << child.err();
    const std::string line = "Vostrelane. The DOZ server has ended: queries cannot run any more.\n";
    EXPECT_EQ(child.err().find(line), std::string::npos);
    kill(servers[0], SIGKILL);
    EXPECT_TRUE(vxtest::wait_for([&] { return child.err().find(line) != std::string::npos; }, 20s)) << child.err();
    kill(child.pid, SIGINT);
    vxtest::Result r;
    ASSERT_TRUE(child.wait(20s, r));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, line);
}

// The message queue the interpreter `server` serves (its first argument)
// and the shared segments `program` created.
int queue_of(int server)
{
    std::ifstream cmd("/proc/" + std::to_string(server) + "/cmdline");
    std::string arg0, arg1;
    std::getline(cmd, arg0, '\0');
    std::getline(cmd, arg1, '\0');
    return arg1.empty() ? -1 : std::stoi(arg1);
}
std::vector<int> segments_of(int program)
{
    std::vector<int> found;
    std::ifstream list("/proc/sysvipc/shm");
    std::string line;
    std::getline(list, line);  // the heading
    while (std::getline(list, line)) {
        std::istringstream f(line);
        long key = 0;
        int shmid = -1, perms = 0, cpid = 0;
        unsigned long size = 0;
        f >> key >> shmid >> perms >> size >> cpid;
        if (f && cpid == program)
            found.push_back(shmid);
    }
    return found;
}
bool queue_exists(int msqid)
{
    struct msqid_ds ds;
    return msgctl(msqid, IPC_STAT, &ds) == 0;
}

// SIGTERM ends the program as SIGINT does; SIGKILL gives it no chance, and
// its interpreter, left alone, removes what the program was given.  Either
// way no message queue or shared segment of the program stays.
TEST_F(Running, SigtermAndSigkillLeaveNoQueueNorSegment)
{
    for (int sig : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(sig);
        std::string title = "ipc-test-" + std::to_string(sig);
        auto child = vxtest::start({launcher(), "-displayname", title});
        ASSERT_TRUE(window_appears(title.c_str())) << child.err();
        std::vector<int> servers;
        ASSERT_TRUE(vxtest::wait_for([&] { return (servers = interpreters_of(child.pid)).size() == 1; }, 20s))
            << child.err();
        int msqid = queue_of(servers[0]);
        std::vector<int> segments = segments_of(child.pid);
        ASSERT_GE(msqid, 0);
        ASSERT_TRUE(queue_exists(msqid));
        ASSERT_FALSE(segments.empty());
        kill(child.pid, sig);
        vxtest::Result r;
        ASSERT_TRUE(child.wait(20s, r));
        if (sig == SIGTERM) {
            EXPECT_EQ(r.signal, 0);
            EXPECT_EQ(r.status, 0) << r.err;
        }
        EXPECT_TRUE(vxtest::wait_for([&] { return !queue_exists(msqid); }, 20s)) << "queue " << msqid;
        for (int shmid : segments) {
            struct shmid_ds ds;
            EXPECT_TRUE(vxtest::wait_for([&] { return shmctl(shmid, IPC_STAT, &ds) != 0; }, 20s))
                << "segment " << shmid;
        }
    }
}

}  // namespace
