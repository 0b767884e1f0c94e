// One installation, two local accounts: the tree as installed (server
// directory and interpreter owned by the database account, never root),
// and a client running as the system's "nobody" account.  That client
// works with the databases through the interpreter, and reaches nothing
// through it that it could not reach itself.  Run by root only (the
// client becomes nobody in a process of its own), and only against an
// interpreter with its set-id bits (a sanitizer build has none).

#include "qytest.h"
#include "vxtest_demo.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

std::string run(int cid, const std::string &text)
{
    if (doz_querym(cid, text.c_str(), DOZ_M_WAIT) != 0)
        return "not sent";
    int st[6] = {};
    doz_get_qstatus(cid, st);
    return doz_error(cid) ? std::to_string(st[1]) + "/" + std::to_string(st[2]) + "/" + std::to_string(st[3]) : "ok";
}

int rows_of(int cid)
{
    int st[6] = {};
    doz_get_qstatus(cid, st);
    return st[DOZ_ST_ROWS];
}

// A process that has ended (a zombie nobody reaped counts).
bool ended(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    size_t close = line.rfind(')');
    return close == std::string::npos || line.compare(close + 2, 1, "Z") == 0;
}

// Why the test cannot run here, or "" when it can.
std::string unsupported()
{
    if (geteuid() != 0)
        return "not run by root: no second account to become";
    if (!getpwnam("nobody"))
        return "no account nobody";
    struct stat st;
    if (stat((qytest::server_dir() + "/tqlserver").c_str(), &st) != 0 || !(st.st_mode & S_ISUID))
        return "the installed interpreter has no set-id bits (a sanitizer build)";
    if (st.st_uid == 0)
        return "the installed interpreter belongs to root";
    return "";
}

// `body` run as nobody in a process of its own; what it returned.
std::string as_nobody(const std::function<std::string()> &body)
{
    return qytest::in_child([&]() -> std::string {
        const passwd *pw = getpwnam("nobody");
        if (setgroups(0, nullptr) != 0 || setresgid(pw->pw_gid, pw->pw_gid, pw->pw_gid) != 0 ||
            setresuid(pw->pw_uid, pw->pw_uid, pw->pw_uid) != 0)
            return "cannot become nobody";
        return body();
    });
}

// A connection of nobody's as BRASK, the demo database's DBA.
int connect()
{
    int cid = -1;
    if (doz_init(&cid, "", "BRASK", DOZ_START_WORD) != 0 || !doz_create_buffer(cid, 200000))
        return -1;
    return cid;
}

// errno of opening `path` for reading, 0 when it opened.
int open_error(const std::string &path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return 0;
    }
    return errno;
}

class Accounts : public qytest::Interpreter {
  protected:
    void SetUp() override
    {
        if (std::string why = unsupported(); !why.empty())
            GTEST_SKIP() << why;
        Interpreter::SetUp();
        vxtest::ensure_demo();
        // nobody's own folder for what it plants
        mine = vxtest::temp_dir("accounts");
        const passwd *pw = getpwnam("nobody");
        ASSERT_EQ(chown(mine.c_str(), pw->pw_uid, pw->pw_gid), 0);
    }
    void TearDown() override
    {
        if (!mine.empty())
            fs::remove_all(mine);
        Interpreter::TearDown();
    }
    std::string mine;
};

// nobody opens the demo database, reads, writes a table and takes it away
// again, all through the interpreter; the database's files stay out of
// its reach, and so do the interpreter's lock files.
TEST_F(Accounts, ASecondAccountWorksThroughTheInterpreterOnly)
{
    std::string server = qytest::server_dir();
    std::string r = as_nobody([&] {
        int cid = connect();
        if (cid < 0)
            return std::string("no connection: ") + qytest::errors();
        std::string out;
        auto step = [&](const std::string &what, const std::string &got) { out += what + "=" + got + "\n"; };
        step("open", run(cid, "OPEN DEMO"));
        step("query", run(cid, "DISPLAY %RNAME FROM %RELATNS"));
        step("rows", rows_of(cid) > 7 ? "some" : "none");
        step("write", run(cid, "SELECT 1 AS NBZ FROMVAR TO NOBODYT"));
        step("read back", run(cid, "DISPLAY NBZ FROM NOBODYT"));
        step("drop", run(cid, "DROP NOBODYT"));
        step("database file", strerror(open_error(server + "/DEMO/doz.sqlite")));
        step("database folder", strerror(open_error(server + "/DEMO/.")));
        std::string lock;
        for (const auto &e : fs::directory_iterator(server))
            if (e.path().filename().string().rfind(".result.", 0) == 0) {
                lock = e.path();
                break;
            }
        step("lock file", lock.empty() ? "none" : strerror(open_error(lock)));
        doz_term(cid);
        return out;
    });
    std::string denied = strerror(EACCES);
    EXPECT_EQ(r, "open=ok\nquery=ok\nrows=some\nwrite=ok\nread back=ok\ndrop=ok\n"
                 "database file=" + denied + "\ndatabase folder=" + denied + "\nlock file=" + denied + "\n");
}

// What nobody names is opened with nobody's rights: no database in a
// folder it cannot write, and no file of the database account's reached
// through a link planted in its own folder.
TEST_F(Accounts, PathsASecondAccountNamesAreOpenedWithItsRights)
{
    std::string server = qytest::server_dir();
    std::string closed = vxtest::temp_dir("accounts-root");  // root's, 0700
    fs::create_symlink(server, mine + "/server");
    fs::create_symlink(server + "/DEMO", mine + "/DEMO");
    std::string r = as_nobody([&] {
        int cid = connect();
        if (cid < 0)
            return std::string("no connection: ") + qytest::errors();
        std::string out;
        auto refused = [&](const std::string &what, const std::string &text) {
            out += what + (run(cid, text) == "ok" ? " done\n" : " refused\n");
        };
        refused("create in root's folder", "CREATE DATABASE NB1 ON '" + closed + "'");
        refused("create through a link to the server directory", "CREATE DATABASE NB2 ON '" + mine + "/server'");
        refused("open through a link to DEMO", "OPEN DEMO ON '" + mine + "'");
        refused("create in its own folder", "CREATE DATABASE NB3 ON '" + mine + "'");
        refused("drop its own", "DROP DATABASE NB3");
        doz_term(cid);
        return out;
    });
    EXPECT_EQ(r, "create in root's folder refused\n"
                 "create through a link to the server directory refused\n"
                 "open through a link to DEMO refused\n"
                 "create in its own folder done\n"
                 "drop its own done\n");
    EXPECT_FALSE(fs::exists(closed + "/NB1"));
    EXPECT_FALSE(fs::exists(server + "/NB2"));
    fs::remove_all(closed);
}

// A server directory of the database account's that it cannot write:
// every session is refused, and told so apart from too many connections.
TEST_F(Accounts, AServerDirectoryNotWritableRefusesWithItsOwnCode)
{
    std::string dir = qytest::own_server_dir("accounts-server");
    ASSERT_EQ(chmod(dir.c_str(), 0500), 0);
    // In a copy of this process: the client library keeps the server
    // directory of its first start.
    std::string r = qytest::in_child([&] {
        setenv("DOZ_SERVER_DIR", dir.c_str(), 1);
        setenv("QYINT", (qytest::server_dir() + "/tqlserver").c_str(), 1);
        int cid = -1;
        if (doz_init(&cid, "", "BRASK", DOZ_START_WORD) == 0)
            return std::string("started");
        int st[6] = {};
        doz_get_qstatus(cid, st);
        return std::to_string(st[1]);
    });
    EXPECT_EQ(r, "30");
    chmod(dir.c_str(), 0700);
    fs::remove_all(dir);
}

// nobody's program killed again and again: each time its interpreter ends
// and takes the queue and segment nobody gave to the database account.
TEST_F(Accounts, AKilledProgramOfASecondAccountLeavesNothing)
{
    using namespace std::chrono_literals;
    for (int round = 0; round < 20; round++) {
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const passwd *pw = getpwnam("nobody");
            int ids[3] = {-1, -1, -1};
            if (setgroups(0, nullptr) == 0 && setresgid(pw->pw_gid, pw->pw_gid, pw->pw_gid) == 0 &&
                setresuid(pw->pw_uid, pw->pw_uid, pw->pw_uid) == 0) {
                int cid = connect();
                pid_t server = -1;
                if (cid >= 0 && doz_get_server_details(cid, &server, &ids[1], &ids[2]) == 0)
                    ids[0] = server;
                if (cid >= 0 && round % 2)
                    doz_querym(cid, "OPEN DEMO", DOZ_M_WAIT);
            }
            ssize_t w = write(fds[1], ids, sizeof ids);
            (void)w;
            for (;;)
                pause();
        }
        close(fds[1]);
        int ids[3] = {-1, -1, -1};
        ssize_t n = read(fds[0], ids, sizeof ids);
        close(fds[0]);
        kill(pid, SIGKILL);
        int st;
        waitpid(pid, &st, 0);
        ASSERT_EQ(n, static_cast<ssize_t>(sizeof ids));
        ASSERT_GT(ids[0], 0) << "round " << round;
        EXPECT_TRUE(vxtest::wait_for([&] { return ended(ids[0]); }, 30s)) << "interpreter, round " << round;
        EXPECT_TRUE(vxtest::wait_for(
            [&] { return !qytest::queue_exists(ids[1]) && !qytest::segment_exists(ids[2]); }, 30s))
            << "queue or segment, round " << round;
        if (!ended(ids[0]))
            kill(ids[0], SIGKILL);
    }
}

}  // namespace
