// The installed program killed again and again while its query runs: with
// SIGKILL it has no say, with SIGTERM it ends by its own exit steps.  Either
// way its message queue and shared segments go, its interpreter ends, and
// the next open of the database leaves none of its result tables.
//
// The program runs a procedure whose second query holds the interpreter
// until it is stopped; each program is killed once that query is seen
// running.  The tests have a server directory and a database of their own,
// so that no other test claims or fills the result-table prefixes watched.

#include "qytest.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/syscall.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string run(int cid, const std::string &text)
{
    if (doz_querym(cid, text.c_str(), DOZ_M_WAIT) != 0)
        return "not sent";
    if (!doz_error(cid))
        return "ok";
    int st[6] = {};
    doz_get_qstatus(cid, st);
    return std::to_string(st[1]) + "/" + std::to_string(st[2]) + "/" + std::to_string(st[3]);
}

// A process that has ended (a zombie nobody reaped counts).
bool ended(int pid)
{
    if (kill(pid, 0) != 0)
        return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    size_t close = line.rfind(')');
    return close == std::string::npos || line.compare(close + 2, 1, "Z") == 0;
}

// The interpreter `parent` started, or -1.
int interpreter_of(int parent)
{
    int found = -1;
    DIR *d = opendir("/proc");
    while (dirent *e = d ? readdir(d) : nullptr) {
        int pid = atoi(e->d_name);
        if (pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        size_t close = line.rfind(')');
        if (close == std::string::npos || line.find("(tqlserver)") == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state != "Z")
            found = pid;
    }
    if (d)
        closedir(d);
    return found;
}

// The message queue the interpreter serves (its first argument).
int queue_of(int server)
{
    std::ifstream cmd("/proc/" + std::to_string(server) + "/cmdline");
    std::string arg0, arg1;
    std::getline(cmd, arg0, '\0');
    std::getline(cmd, arg1, '\0');
    return arg1.empty() ? -1 : std::stoi(arg1);
}

// The shared segments `program` created.
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

// The result-table prefix the interpreter holds (from the lock file it has
// open), or "".
std::string prefix_of(int server)
{
    std::error_code ec;
    for (const auto &e : fs::directory_iterator("/proc/" + std::to_string(server) + "/fd", ec)) {
        std::error_code lec;
        std::string name = fs::read_symlink(e.path(), lec).filename().string();
        const std::string head = ".result.", tail = ".lock";
        if (!lec && name.rfind(head, 0) == 0 && name.size() > head.size() + tail.size())
            return name.substr(head.size(), name.size() - head.size() - tail.size());
    }
    return "";
}

// True while the interpreter's main thread sleeps inside a statement (the
// holding query): waiting for a message it would sit in msgrcv instead.
bool holding(int server)
{
    std::ifstream f("/proc/" + std::to_string(server) + "/syscall");
    long call = -1;
    f >> call;
    return f && (call == SYS_clock_nanosleep || call == SYS_nanosleep);
}

// One program under test and what it was given.
struct Victim {
    std::unique_ptr<vxtest::Child> child;
    int server = -1, msqid = -1;
    std::vector<int> segments;
    std::string prefix;
};

class Kills : public qytest::Interpreter {
protected:
    std::string name, where, server_dir, procedures;
    int dba = -1;

    void SetUp() override
    {
        Interpreter::SetUp();
        server_dir = qytest::own_server_dir("kills-server");
        setenv("DOZ_SERVER_DIR", server_dir.c_str(), 1);
        setenv("QYINT", (qytest::server_dir() + "/tqlserver").c_str(), 1);
        char n[16];
        snprintf(n, sizeof n, "K%05X", static_cast<unsigned>(getpid()) & 0xfffffu);
        name = n;
        where = vxtest::temp_dir("kills-db");
        dba = qytest::start();
        ASSERT_GE(dba, 0) << qytest::errors();
        ASSERT_EQ(run(dba, "CREATE DATABASE " + name + " ON '" + where + "'"), "ok");
        ASSERT_EQ(run(dba, "OPEN " + name), "ok");
        ASSERT_EQ(run(dba, "CREATE ITEM N AS LONG(9)"), "ok");
        ASSERT_EQ(run(dba, "CREATE T[100] AS N PRIMARY"), "ok");
        ASSERT_EQ(run(dba, "SELECT 1 AS N FROMVAR TO T"), "ok");
        // The program's own user.
        ASSERT_EQ(run(dba, "CREATE USER BRASK, 'BRASK' WITH 'CREATE'"), "ok");

        // The first query leaves a result table, the second holds.
        procedures = vxtest::install_dir() + "/etc/procedures/" + name + ".BRASK";
        fs::create_directories(procedures);
        std::ofstream(procedures + "/HOLDING") << "table\nstartgraph\nendgraph\n"
                                                  "startquery\n\tnodata\n\tquery SELECT N FROM T\nendquery\n"
                                                  "startquery\n\tnodata\n\tquery TEST HOLD\nendquery\n";
    }
    void TearDown() override
    {
        qytest::close_all();
        int last = qytest::start();
        if (last >= 0)
            run(last, "DROP DATABASE " + name);
        Interpreter::TearDown();
        fs::remove_all(procedures);
        fs::remove_all(where);
        fs::remove_all(server_dir);
    }

    bool table_exists(const std::string &table)
    {
        EXPECT_EQ(run(dba, "DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='" + table + "'"), "ok");
        int st[6] = {};
        doz_get_qstatus(dba, st);
        return st[DOZ_ST_ROWS] > 0;
    }

    // Starts the program and waits until its holding query runs.
    void start_victim(Victim &v, const std::string &title)
    {
        vxtest::Options o;
        o.unset_env = {"QYUSER"};
        o.set_env["DOZ_SERVER_DIR"] = server_dir;
        o.set_env["QYINT"] = qytest::server_dir() + "/tqlserver";
        v.child.reset(new vxtest::Child(vxtest::start(
            {vxtest::install_dir() + "/bin/vostrelane", "-database", name, "-procedure", "HOLDING", "-displayname",
             title},
            o)));
        const int pid = v.child->pid;
        ASSERT_TRUE(vxtest::wait_for([&] { return (v.server = interpreter_of(pid)) > 0; }, 60s))
            << v.child->err();
        ASSERT_TRUE(vxtest::wait_for([&] { return holding(v.server) || ended(v.server); }, 60s))
            << v.child->err();
        ASSERT_FALSE(ended(v.server)) << v.child->err();
        v.msqid = queue_of(v.server);
        v.segments = segments_of(pid);
        v.prefix = prefix_of(v.server);
        ASSERT_TRUE(qytest::queue_exists(v.msqid));
        ASSERT_FALSE(v.segments.empty());
        ASSERT_FALSE(v.prefix.empty());
    }

    // Kills the program and waits until it, its interpreter, its queue and
    // its segments are gone.
    void end_victim(Victim &v, int sig)
    {
        kill(v.child->pid, sig);
        vxtest::Result r;
        ASSERT_TRUE(v.child->wait(60s, r));
        if (sig == SIGTERM) {
            EXPECT_EQ(r.signal, 0) << "SIGTERM ends the program by its own exit steps";
        }
        EXPECT_TRUE(vxtest::wait_for([&] { return ended(v.server); }, 60s)) << "interpreter " << v.server;
        EXPECT_TRUE(vxtest::wait_for([&] { return !qytest::queue_exists(v.msqid); }, 60s)) << "queue " << v.msqid;
        for (int shmid : v.segments) {
            EXPECT_TRUE(vxtest::wait_for([&] { return !qytest::segment_exists(shmid); }, 60s))
                << "segment " << shmid;
        }
        if (!ended(v.server))
            kill(v.server, SIGKILL);
    }
};

// Twenty kills of each kind, a few programs at a time.
TEST_F(Kills, EveryKilledProgramLeavesNoQueueSegmentNorResultTable)
{
    constexpr int per_signal = 20, at_once = 4;
    std::vector<std::string> prefixes;
    for (int sig : {SIGKILL, SIGTERM}) {
        for (int done = 0; done < per_signal; done += at_once) {
            SCOPED_TRACE("signal " + std::to_string(sig) + ", kills from " + std::to_string(done));
            std::vector<Victim> batch(at_once);
            for (int k = 0; k < at_once; k++)
                start_victim(batch[k], "kill-" + std::to_string(sig) + "-" + std::to_string(done + k));
            if (HasFatalFailure())
                return;
            for (Victim &v : batch) {
                EXPECT_TRUE(table_exists(v.prefix)) << "the first query's result table " << v.prefix;
                prefixes.push_back(v.prefix);
            }
            for (Victim &v : batch)
                end_victim(v, sig);
        }
    }
    // The next open takes whatever a killed interpreter left.
    ASSERT_EQ(run(dba, "OPEN " + name), "ok");
    for (const std::string &p : prefixes)
        EXPECT_FALSE(table_exists(p)) << p;
}

}  // namespace
