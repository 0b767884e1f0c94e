// Starting, checking, attaching to and losing the real interpreter.

#include "qytest.h"
#include "vxcat.h"
#include "vxproc.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using qytest::Interpreter;

namespace {

std::string probe_path() { return std::string(getenv("VX_BUILD_DIR")) + "/tests/scheduler/qystart_probe"; }
std::string installed_program() { return qytest::server_dir() + "/tqlserver"; }

std::string own_user() { return getpwuid(getuid())->pw_name; }
std::string own_group() { return getgrgid(getgid())->gr_name; }
// A user and a group of this system other than ours.
std::string other_user() { return getuid() == 0 ? "daemon" : "root"; }
std::string other_group() { return getgid() == 0 ? "daemon" : "root"; }

int status1(int cid)
{
    int st[6] = {};
    doz_get_qstatus(cid, st);
    return st[1];
}

TEST_F(Interpreter, StartAndTerminateRemoveEverything)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0) << qytest::errors();
    pid_t pid;
    int msqid, shmid;
    doz_get_server_details(cid, &pid, &msqid, &shmid);
    EXPECT_TRUE(check_proc(pid));
    EXPECT_TRUE(qytest::queue_exists(msqid));
    EXPECT_TRUE(qytest::segment_exists(shmid));
    EXPECT_EQ(check_qy_init(cid), 1);
    EXPECT_EQ(doz_get_qbuffersize(cid), 200000);
    EXPECT_EQ(doz_current_modes(cid), DOZ_M_WAIT);

    ASSERT_EQ(doz_term(cid), 0);
    EXPECT_FALSE(qytest::queue_exists(msqid));
    EXPECT_FALSE(qytest::segment_exists(shmid));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "the interpreter was not reaped";
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(check_qy_init(cid), 0);
    EXPECT_EQ(doz_term(cid), -1);
    EXPECT_EQ(qytest::errors(), "");
}

TEST_F(Interpreter, SecondBufferReplacesTheFirst)
{
    int cid = qytest::start(4096);
    ASSERT_GE(cid, 0);
    int old_shmid;
    doz_get_server_details(cid, nullptr, nullptr, &old_shmid);
    ASSERT_NE(doz_create_buffer(cid, 8192), nullptr);
    int shmid;
    doz_get_server_details(cid, nullptr, nullptr, &shmid);
    EXPECT_NE(shmid, old_shmid);
    EXPECT_FALSE(qytest::segment_exists(old_shmid));
    EXPECT_EQ(doz_get_qbuffersize(cid), 8192);
    // The interpreter writes into the new one.
    ASSERT_EQ(doz_querym(cid, "TEST PRINT 42", DOZ_M_WAIT), 0);
    int32_t v;
    memcpy(&v, doz_get_qbuffer(cid), 4);
    EXPECT_EQ(v, 42);
}

// Each case starts the interpreter in a fresh process with its own server
// directory, holding a copy of the program made wrong in one way.
TEST(ProgramChecks, EachFaultHasItsCode)
{
    struct Case {
        const char *name;
        std::string orvanta_user;   // "" = no file
        const char *program;        // "copy", "none", "dir", "garbage"
        mode_t mode;
        bool via_qyint;
        int result, code;
        std::string text;           // expected error text, %P = the program path
    };
    const std::string me = own_user() + "\n" + own_group() + "\n";
    // A sanitizer build's library asks for no set-id bits (its interpreter
    // is installed without them).
#ifdef VX_PLAIN_INTERPRETER
    const int no_setid_result = 0, no_setid_code = 0;
    const std::string no_setid_text;
#else
    const int no_setid_result = -1, no_setid_code = 11;
    const std::string no_setid_text = "Error: DOZ server %P must have permissions \"r-sr-sr-x\"";
#endif
    const Case cases[] = {
        {"good", me, "copy", 06755, false, 0, 0, ""},
        {"good through QYINT", me, "copy", 06755, true, 0, 0, ""},
        {"missing", me, "none", 0, false, -1, 12, "Error: Cannot stat DOZ server %P, errno = 2\n"},
        {"directory", me, "dir", 0755, false, -1, 10, "Error: DOZ server %P must be a regular file\n"},
        {"no set-id bits", me, "copy", 0755, false, no_setid_result, no_setid_code, no_setid_text},
        {"no execute for others", me, "copy", 06754, false, -1, 11,
         "Error: DOZ server %P must have permissions \"r-sr-sr-x\""},
        {"no set-id bits through QYINT", me, "copy", 0755, true, no_setid_result, no_setid_code, no_setid_text},
        {"other owner", other_user() + "\n" + own_group() + "\n", "copy", 06755, false, -1, 11,
         "Error: DOZ server %P must belong to user " + other_user() + "\n"},
        {"other group", own_user() + "\n" + other_group() + "\n", "copy", 06755, false, -1, 11,
         "Error: DOZ server %P must belong to group " + other_group()},
        {"unknown user", "nosuchuser_vx\n", "copy", 06755, false, -1, 9,
         "Error: Cannot find user nosuchuser_vx or qelbase\n"},
        {"unknown group", "  " + own_user() + "  \nnosuchgroup_vx\n", "copy", 06755, false, -1, 9,
         "Error: Cannot find group nosuchgroup_vx or qelbase\n"},
        // Without the file the user is "orvanta": the system account of a
        // root-made installation, where one was made on this machine.
        getpwnam("orvanta") ? Case{"no user file", "", "copy", 06755, false, -1, 11,
                                   "Error: DOZ server %P must belong to user orvanta\n"}
                            : Case{"no user file", "", "copy", 06755, false, -1, 9,
                                   "Error: Cannot find user orvanta or qelbase\n"},
        {"not a program", me, "garbage", 06755, false, -1, DOZ_E_DEAD, "EXEC of DOZ server failed, errno = 8\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = vxtest::temp_dir("server");
        std::string prog = dir + (c.via_qyint ? "/elsewhere/tqlsrv" : "/tqlserver");
        fs::create_directories(fs::path(prog).parent_path());
        if (!c.orvanta_user.empty())
            std::ofstream(dir + "/.orvanta_user") << c.orvanta_user;
        if (std::string(c.program) == "copy")
            fs::copy_file(installed_program(), prog);
        else if (std::string(c.program) == "dir")
            fs::create_directory(prog);
        else if (std::string(c.program) == "garbage")
            std::ofstream(prog) << "not a program\n";
        if (std::string(c.program) != "none") {
            ASSERT_EQ(chmod(prog.c_str(), c.mode), 0);
        }
        vxtest::Options o;
        o.set_env["DOZ_SERVER_DIR"] = dir;
        o.set_env["DOZ_CLIENT_DIR"] = vxtest::install_dir();
        if (c.via_qyint)
            o.set_env["QYINT"] = prog;
        else
            o.unset_env.push_back("QYINT");
        auto r = vxtest::run({probe_path()}, o);
        EXPECT_EQ(r.out, std::to_string(c.result) + " " + std::to_string(c.code) + "\n");
        std::string text = c.text;
        if (auto at = text.find("%P"); at != std::string::npos)
            text.replace(at, 2, prog);
        EXPECT_EQ(r.err, text);
        fs::remove_all(dir);
    }
}

TEST_F(Interpreter, AttachFromAnotherProcessAndReattach)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    pid_t pid;
    int msqid, shmid;
    doz_get_server_details(cid, &pid, &msqid, &shmid);
    memcpy(doz_get_qbuffer(cid), "request area", 13);

    std::string seen = qytest::in_child([&] {
        char area[16] = "";
        int c2 = -1;
        if (doz_attach(&c2, pid, shmid, msqid, DOZ_START_WORD, area, 13) != 0)
            return std::string("attach failed");
        if (doz_querym(c2, "TEST PRINT 1234", DOZ_M_WAIT) != 0 || doz_error(c2))
            return std::string("query failed");
        int32_t v;
        memcpy(&v, doz_get_qbuffer(c2), 4);
        doz_detach(c2, 1);
        return std::string(area) + " " + std::to_string(v);
    });
    EXPECT_EQ(seen, "request area 1234");

    // The interpreter served another program: attach to it again.
    ASSERT_EQ(doz_reattach(cid), 0);
    ASSERT_EQ(doz_querym(cid, "TEST PRINT 77", DOZ_M_WAIT), 0);
    int32_t v;
    memcpy(&v, doz_get_qbuffer(cid), 4);
    EXPECT_EQ(v, 77);

    // Attaching to what is not there.
    int bad = -1;
    EXPECT_EQ(doz_attach(&bad, pid, -1, msqid, DOZ_START_WORD, nullptr, 0), -1);
    EXPECT_EQ(status1(bad), DOZ_E_SHM);
    doz_detach(bad, 1);
    int q = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    msgctl(q, IPC_RMID, nullptr);
    EXPECT_EQ(doz_attach(&bad, pid, shmid, q, DOZ_START_WORD, nullptr, 0), -1);
    EXPECT_EQ(status1(bad), DOZ_E_QUEUE);
    doz_detach(bad, 1);
}

TEST_F(Interpreter, DeathIsNoticed)
{
    // Killed while idle, killed while a request waits, ending in the middle
    // of a request, and answering with a code no client knows.
    enum How { KILL_IDLE, KILL_WAITING, EXIT_IN_REQUEST, BAD_CODE };
    for (How how : {KILL_IDLE, KILL_WAITING, EXIT_IN_REQUEST, BAD_CODE}) {
        SCOPED_TRACE(how);
        qytest::errors().clear();
        int cid = qytest::start(4096);
        ASSERT_GE(cid, 0);
        pid_t pid;
        doz_get_server_details(cid, &pid, nullptr, nullptr);
        if (how == KILL_IDLE) {
            kill(pid, SIGKILL);
            ASSERT_TRUE(vxtest::wait_for([&] { return doz_dead(cid) == 1; }, 10s));
            EXPECT_EQ(doz_query(cid, "TEST PRINT 1"), -1);
        } else if (how == KILL_WAITING) {
            std::thread killer([&] {
                sigset_t all;
                sigfillset(&all);
                pthread_sigmask(SIG_BLOCK, &all, nullptr);  // the death must reach the waiting thread
                if (vxtest::wait_for([&] { return doz_busy(cid) == 1; }, 10s))
                    kill(pid, SIGKILL);
            });
            EXPECT_EQ(doz_querym(cid, "TEST HOLD", DOZ_M_WAIT), -1);
            killer.join();
        } else if (how == EXIT_IN_REQUEST) {
            EXPECT_EQ(doz_querym(cid, "TEST EXIT", DOZ_M_WAIT), -1);
        } else {
            EXPECT_EQ(doz_querym(cid, "TEST BADCODE", DOZ_M_WAIT), -1);
            EXPECT_EQ(qytest::errors(), "PANIC : Unexpected 101 message in scheduler\n");
        }
        EXPECT_EQ(doz_dead(cid), 1);
        EXPECT_EQ(doz_busy(cid), 0);
        for (int unknown : {-1, DOZ_MAX_CONNECTIONS, DOZ_MAX_CONNECTIONS - 1})
            EXPECT_EQ(doz_busy(unknown), -1) << unknown;
        EXPECT_EQ(status1(cid), DOZ_E_DEAD);
        EXPECT_EQ(check_qy_init(cid), 0);
        EXPECT_EQ(doz_query(cid, "TEST PRINT 1"), -1);
        EXPECT_EQ(status1(cid), DOZ_E_DEAD);
        char t1[81], t2[81], t3[81];
        EXPECT_EQ(doz_mess(cid, t1, t2, t3), -1);
        if (!qerror_catalogue_open()) {
            EXPECT_STREQ(t1, "Error -109");
        }
        EXPECT_STREQ(t2, "");
        EXPECT_STREQ(t3, "");
        int msqid, shmid;
        doz_get_server_details(cid, nullptr, &msqid, &shmid);
        doz_term(cid);
        EXPECT_FALSE(qytest::queue_exists(msqid));
        EXPECT_FALSE(qytest::segment_exists(shmid));
    }
}

TEST_F(Interpreter, InterpreterEndsWithoutItsClientOrQueue)
{
    // A client that vanishes without terminating its interpreter: the
    // interpreter notices and ends; with NO_SUICIDE it stays until its
    // queue is removed.
    for (bool no_suicide : {false, true}) {
        SCOPED_TRACE(no_suicide);
        std::string ids = qytest::in_child([&] {
            int cid = qytest::start(4096);
            if (cid < 0)
                return std::string("start failed");
            if (no_suicide && doz_mode(cid, "NO_SUICIDE", 1) != 0)
                return std::string("mode failed");
            pid_t pid;
            int msqid, shmid;
            doz_get_server_details(cid, &pid, &msqid, &shmid);
            return std::to_string(pid) + " " + std::to_string(msqid) + " " + std::to_string(shmid);
        });
        pid_t pid = 0;
        int msqid = -1, shmid = -1;
        ASSERT_EQ(sscanf(ids.c_str(), "%d %d %d", &pid, &msqid, &shmid), 3) << ids;
        // Ended: gone, or a zombie that whoever inherited it has not reaped.
        auto gone = [&] {
            if (kill(pid, 0) != 0 && errno == ESRCH)
                return true;
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            size_t close = text.rfind(')');
            return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
        };
        if (no_suicide) {
            EXPECT_FALSE(vxtest::wait_for(gone, 2500ms)) << "left without its client despite NO_SUICIDE";
            msgctl(msqid, IPC_RMID, nullptr);
        }
        EXPECT_TRUE(vxtest::wait_for(gone, 20s));
        msgctl(msqid, IPC_RMID, nullptr);
        shmctl(shmid, IPC_RMID, nullptr);
    }
}

TEST_F(Interpreter, ThirtyTwoConnectionsAtMost)
{
    std::vector<int> cids;
    for (int i = 0; i < DOZ_MAX_CONNECTIONS; i++) {
        int cid = -1;
        ASSERT_EQ(doz_init(&cid, "", "TESTER", DOZ_START_WORD), 0) << i << qytest::errors();
        cids.push_back(cid);
    }
    int cid = 5;
    EXPECT_EQ(doz_init(&cid, "", "TESTER", DOZ_START_WORD), -1);
    EXPECT_EQ(cid, -1);
    EXPECT_EQ(doz_unassigned_error(), DOZ_E_NO_SLOT);
    // A freed slot is used again.
    ASSERT_EQ(doz_term(cids[7]), 0);
    EXPECT_EQ(doz_init(&cid, "", "TESTER", DOZ_START_WORD), 0);
    EXPECT_EQ(cid, cids[7]);
}

TEST_F(Interpreter, DumpWritesTheDumpFile)
{
    int cid = qytest::start(0);
    ASSERT_GE(cid, 0);
    char path[512];
    std::string expect = qytest::server_dir() + "/.dump" + std::to_string(getpid());
    fs::remove(expect);
    ASSERT_EQ(doz_dumpinfo(cid, 1, path, sizeof path), 0);
    EXPECT_EQ(path, expect);
    EXPECT_EQ(doz_error(cid), 0);
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "tqlserver dump 1 user TESTER client " + std::to_string(getpid()));
    // The database list: "NAME LOCATION" lines (other tests sharing the
    // installed server directory may have made databases).
    ASSERT_EQ(doz_dumpinfo(cid, 4, path, sizeof path), 0);
    std::ifstream list(path);
    ASSERT_TRUE(list.good());
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string name, location, extra;
        EXPECT_TRUE(fields >> name >> location && !(fields >> extra)) << line;
    }
    fs::remove(path);
}

TEST_F(Interpreter, ModesByName)
{
    int cid = qytest::start(4096);
    ASSERT_GE(cid, 0);
    struct sigaction before;
    sigaction(SIGUSR1, nullptr, &before);
    ASSERT_EQ(doz_mode(cid, "  wait ", 0), 0);
    EXPECT_EQ(doz_current_modes(cid) & DOZ_M_WAIT, 0u);
    struct sigaction installed;
    sigaction(SIGUSR1, nullptr, &installed);
    EXPECT_NE(installed.sa_handler, SIG_DFL);
    EXPECT_NE(installed.sa_handler, SIG_IGN);
    ASSERT_EQ(doz_mode(cid, "Wait", 1), 0);
    ASSERT_EQ(doz_mode(cid, "WAIT", 0), 0);
    struct sigaction again;
    sigaction(SIGUSR1, nullptr, &again);
    EXPECT_EQ(again.sa_handler, installed.sa_handler);
    ASSERT_EQ(doz_mode(cid, "wait", 1), 0);

    EXPECT_EQ(doz_mode(cid, "bogus", 1), -1);
    EXPECT_EQ(status1(cid), DOZ_E_BAD_MODE);
    EXPECT_EQ(doz_mode(cid, "", 1), -1);

    // A query's own modes last for that query only.
    ASSERT_EQ(doz_querym(cid, "TEST PRINT 5", DOZ_M_WAIT | DOZ_M_FLAGS | DOZ_M_TRAP), 0);
    EXPECT_EQ(doz_current_modes(cid), DOZ_M_WAIT);

    // The interpreter keeps the modes it was sent: FLAGS puts a presence
    // byte before the value.
    ASSERT_EQ(doz_mode(cid, "flags", 1), 0);
    ASSERT_EQ(doz_query(cid, "TEST PRINT 6"), 0);
    auto *b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    int32_t v;
    memcpy(&v, b + 4, 4);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(v, 6);
}

TEST_F(Interpreter, QueryTextLimit)
{
    int cid = qytest::start(4096);
    ASSERT_GE(cid, 0);
    // 5999 characters go (the interpreter refuses the statement itself);
    // 6000 are refused here with -1.
    std::string text(5999, ' ');
    text.replace(0, 12, "TEST PRINT 3");
    text.back() = 'x';
    EXPECT_EQ(doz_query(cid, text.c_str()), 0);
    EXPECT_EQ(status1(cid), -2);
    text += 'y';
    EXPECT_EQ(doz_query(cid, text.c_str()), -1);
    EXPECT_EQ(status1(cid), DOZ_E_TOO_LONG);
    // Nothing was sent: the next request is answered in turn.
    ASSERT_EQ(doz_query(cid, "TEST PRINT 9"), 0);
    EXPECT_EQ(doz_error(cid), 0);
    int32_t v;
    memcpy(&v, doz_get_qbuffer(cid), 4);
    EXPECT_EQ(v, 9);
}

}  // namespace
