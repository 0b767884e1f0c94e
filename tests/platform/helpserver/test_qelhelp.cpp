// The help server run for real: it detaches, makes its window public,
// signals its starter, shows the text of each requested id in one window,
// and clears the public state when it ends.

#include <gtest/gtest.h>

#include "helpprops.h"
#include "vxtest.h"

#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class HelpServer : public ::testing::Test {
protected:
    Display *d = nullptr;
    std::string client_dir;
    vxtest::Options opts;

    void SetUp() override
    {
        d = XOpenDisplay(nullptr);
        ASSERT_TRUE(d);
        helpprops::clear(d);
        client_dir = vxtest::temp_dir("qelhelp");
        fs::create_directories(client_dir + "/help/C");
        std::ofstream(client_dir + "/help/C/vostrelane.help") << "@803 Error message\nSomething went wrong.\n"
                                                                 "@42 Answer\nForty-two.\n";
        opts.set_env["DOZ_CLIENT_DIR"] = client_dir;
        opts.set_env["LANG"] = "C";
        sigset_t s;
        sigemptyset(&s);
        sigaddset(&s, SIGUSR2);
        sigprocmask(SIG_BLOCK, &s, nullptr);
    }

    void TearDown() override
    {
        Window w = helpprops::target(d);
        if (w && helpprops::window_alive(d, w)) {
            long pid = helpprops::window_pid(d, w);
            if (pid > 0)
                kill(static_cast<pid_t>(pid), SIGKILL);
        }
        helpprops::clear(d);
        XCloseDisplay(d);
        fs::remove_all(client_dir);
    }

    // Starts the server as the help client does and waits for the started
    // process to end; true when the server signalled ready.
    bool start(vxtest::Result &r)
    {
        auto c = vxtest::start({QELHELP_PATH, "-server", "-display", DisplayString(d)}, opts);
        if (!c.wait(20s, r))
            return false;
        sigset_t s;
        sigemptyset(&s);
        sigaddset(&s, SIGUSR2);
        timespec ts{5, 0};
        return sigtimedwait(&s, nullptr, &ts) == SIGUSR2;
    }

    std::string shown(Window w) { return helpprops::window_string(d, w, "Help Text"); }
};

TEST_F(HelpServer, StartsShowsAndReusesItsWindow)
{
    vxtest::Result r;
    ASSERT_TRUE(start(r)) << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(helpprops::started(d), 1);
    Window w = helpprops::target(d);
    ASSERT_TRUE(helpprops::window_alive(d, w));
    EXPECT_GT(helpprops::window_pid(d, w), 0);
    EXPECT_FALSE(helpprops::window_viewable(d, w));  // shown on the first request

    struct {
        int id;
        std::string text;
    } cases[] = {
        {803, "Error message\nSomething went wrong."},
        {42, "Answer\nForty-two."},
        {9999, "Help topic 9999\nNo help written for this item (help id 9999)."},
        {-5, "Help topic -5\nNo help written for this item (help id -5)."},
    };
    for (auto &c : cases) {
        helpprops::request(d, w, c.id);
        EXPECT_TRUE(vxtest::wait_for([&] { return shown(w) == c.text; }, 10s)) << c.id << ": " << shown(w);
        EXPECT_TRUE(helpprops::window_viewable(d, w)) << c.id;
    }
    EXPECT_EQ(helpprops::target(d), w);

    // A second start while this one runs reports ready and leaves the
    // running server public.
    vxtest::Result again;
    ASSERT_TRUE(start(again)) << again.err;
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(helpprops::target(d), w);
    helpprops::request(d, w, 803);
    EXPECT_TRUE(vxtest::wait_for([&] { return shown(w) == cases[0].text; }, 10s));
}

TEST_F(HelpServer, RunByHandLeavesItsShellAlone)
{
    // A shell ends on SIGUSR2: only a starter that takes the signal gets it.
    auto r = vxtest::run({"/bin/sh", "-c", std::string(QELHELP_PATH) + " -server -display " + DisplayString(d) +
                                               "; echo status $?"},
                         opts);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, "status 0\n") << r.err;
    EXPECT_TRUE(vxtest::wait_for([&] { return helpprops::started(d) == 1; }, 10s));
}

TEST_F(HelpServer, EndingClearsThePublicState)
{
    vxtest::Result r;
    ASSERT_TRUE(start(r)) << r.err;
    Window w = helpprops::target(d);
    long pid = helpprops::window_pid(d, w);
    ASSERT_GT(pid, 0);
    kill(static_cast<pid_t>(pid), SIGTERM);
    EXPECT_TRUE(vxtest::wait_for([&] { return helpprops::started(d) == 0; }, 10s));
    EXPECT_EQ(helpprops::target(d), 0u);
    EXPECT_TRUE(vxtest::wait_for([&] { return !helpprops::window_alive(d, w); }, 10s));
}

TEST_F(HelpServer, ProblemsAreReported)
{
    // A broken help file still gives a server, with a report per bad line.
    std::ofstream(client_dir + "/help/C/vostrelane.help") << "@803 Error\ntext\n@x bad\n@803 again\n";
    vxtest::Result r;
    ASSERT_TRUE(start(r)) << r.err;
    Window w = helpprops::target(d);
    helpprops::request(d, w, 803);
    EXPECT_TRUE(vxtest::wait_for([&] { return shown(w) == "Error\ntext"; }, 10s)) << shown(w);
    // The daemon reports into the started process's error file, which the
    // wait above has read; these lines come before the ready signal.
    std::string file = client_dir + "/help/C/vostrelane.help";
    EXPECT_NE(r.err.find("qelhelp: " + file + ", line 3: an entry line must be"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("qelhelp: " + file + ", line 4: help id 803 has a second entry; the first is kept\n"),
              std::string::npos)
        << r.err;

    // Bad command lines and displays end the started process with status 1.
    struct {
        std::vector<std::string> args;
        std::string err;
    } bad[] = {
        {{QELHELP_PATH}, "usage: qelhelp -server [-display name] [-file helpfile]\n"},
        {{QELHELP_PATH, "-server", "-bogus"}, "usage: qelhelp -server [-display name] [-file helpfile]\n"},
        {{QELHELP_PATH, "-server", "-display", ":987"}, "qelhelp: cannot open display :987\n"},
    };
    for (auto &b : bad) {
        auto res = vxtest::run(b.args, opts);
        EXPECT_EQ(res.status, 1) << b.args.back();
        EXPECT_NE(res.err.find(b.err), std::string::npos) << res.err;
    }
}

}  // namespace
