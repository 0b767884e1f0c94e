// The installed interpreter against hostile or unlucky clients: what each
// kind of user may create or change, result tables that go with their
// connection and no further, clients that die without a word, repeated
// and oversize messages, and files planted in the server directory.
//
// These tests run with a server directory of their own (the interpreter
// takes it from DOZ_SERVER_DIR), so that the result-table prefixes they
// fill or free are not claimed by tests running beside them.

#include "qytest.h"
#include "vxcat.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr uint32_t SIMPLE = DOZ_M_WAIT;

std::string codes(int cid)
{
    int st[6] = {};
    doz_get_qstatus(cid, st);
    return std::to_string(st[1]) + "/" + std::to_string(st[2]) + "/" + std::to_string(st[3]);
}

std::string run(int cid, const std::string &text)
{
    if (doz_querym(cid, text.c_str(), SIMPLE) != 0)
        return "not sent";
    return doz_error(cid) ? codes(cid) : "ok";
}

std::string text_at(int cid, size_t at = 0)
{
    return reinterpret_cast<const char *>(doz_get_qbuffer(cid)) + at;
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

// The server directory of these tests: the installed one's ownership
// record, nothing else.
const std::string &own_server_dir()
{
    static std::string dir = qytest::own_server_dir("tqlguard");
    return dir;
}

class Guard : public qytest::Interpreter {
protected:
    std::string name, where;
    int dba = -1;

    void SetUp() override
    {
        Interpreter::SetUp();
        setenv("DOZ_SERVER_DIR", own_server_dir().c_str(), 1);
        setenv("QYINT", (qytest::server_dir() + "/tqlserver").c_str(), 1);
        char n[16];
        snprintf(n, sizeof n, "G%05X", static_cast<unsigned>(getpid()) & 0xfffffu);
        name = n;
        where = vxtest::temp_dir("tqlguard-db");
        dba = qytest::start();
        ASSERT_GE(dba, 0) << qytest::errors();
        ASSERT_EQ(run(dba, "CREATE DATABASE " + name + " ON '" + where + "'"), "ok");
        ASSERT_EQ(run(dba, "OPEN " + name), "ok");
        ASSERT_EQ(run(dba, "CREATE ITEM N AS LONG(9)"), "ok");
        ASSERT_EQ(run(dba, "CREATE T[100] AS N PRIMARY"), "ok");
        ASSERT_EQ(run(dba, "SELECT 1 AS N FROMVAR TO T"), "ok");
    }
    void TearDown() override
    {
        qytest::close_all();
        // The database goes with a connection of its own, after every
        // other has ended.
        int last = qytest::start();
        if (last >= 0)
            run(last, "DROP DATABASE " + name);
        Interpreter::TearDown();
        fs::remove_all(where);
    }

    // A connection of `user`, the database open.
    int connect(const std::string &user, const std::string &password = "")
    {
        int cid = -1;
        if (doz_init(&cid, "", user.c_str(), DOZ_START_WORD) != 0 || !doz_create_buffer(cid, 200000))
            return -1;
        if (!password.empty() && run(cid, "SET %PASS '" + password + "'") != "ok")
            return -1;
        return run(cid, "OPEN " + name) == "ok" ? cid : -1;
    }
    std::string prefix(int cid)
    {
        EXPECT_EQ(run(cid, "PRINT RESULT()"), "ok");
        return text_at(cid);
    }
    bool table_exists(const std::string &table)
    {
        EXPECT_EQ(run(dba, "DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='" + table + "'"), "ok");
        int st[6] = {};
        doz_get_qstatus(dba, st);
        return st[DOZ_ST_ROWS] > 0;
    }
};

// Each statement that creates or changes something, run by a DBA, a user
// with CREATE access, a SELECT-only user and a SELECT-only user whose
// reads of T are restricted.  {U} stands for the user's name.
TEST_F(Guard, EveryWritingStatementNeedsItsAccess)
{
    ASSERT_EQ(run(dba, "CREATE USER RES, 'R' WITH 'CREATE'"), "ok");
    ASSERT_EQ(run(dba, "CREATE USER SEL, 'S' WITH 'SELECT'"), "ok");
    ASSERT_EQ(run(dba, "CREATE USER LIM, 'L' WITH 'SELECT'"), "ok");
    ASSERT_EQ(run(dba, "GRANT 'READ' TO LIM ON T WHERE N<0"), "ok");
    const char *const users[] = {"TESTER", "RES", "SEL", "LIM"};
    std::map<std::string, int> cid = {{"TESTER", dba}};
    cid["RES"] = connect("RES", "R");
    cid["SEL"] = connect("SEL", "S");
    cid["LIM"] = connect("LIM", "L");
    for (const auto &[user, c] : cid)
        ASSERT_GE(c, 0) << user << ": " << qytest::errors();

    const std::string no = "0/151/0";
    struct Case {
        std::string statement;
        std::string expected[4];  // TESTER, RES, SEL, LIM
    } cases[] = {
        // a new table and a new item on the way
        {"SELECT 1 AS Z{U} FROMVAR TO N{U}", {"ok", "ok", no, no}},
        // the connection's own result table is anyone's
        {"SELECT N FROM T", {"ok", "ok", "ok", "ok"}},
        // ... but kept under a name outside the results it is a new table
        {"RENAME RSLT AS K{U}", {"ok", "ok", no, no}},
        // the order every reader follows
        {"SEQUENCE T BY N", {"ok", no, no, no}},
        {"SEQUENCE T", {"ok", no, no, no}},
        // how a table and the dictionary are stored
        {"CONFIGURE T[200] AS EXTENSIBLE", {"ok", no, no, no}},
        {"INDEX %PRIVS", {"ok", no, no, no}},
        {"DROP INDEX FROM %PRIVS", {"ok", no, no, no}},
    };
    for (const Case &k : cases)
        for (int u = 0; u < 4; u++) {
            std::string text = k.statement;
            for (size_t at; (at = text.find("{U}")) != std::string::npos;)
                text.replace(at, 3, users[u]);
            EXPECT_EQ(run(cid[users[u]], text), k.expected[u]) << users[u] << ": " << text;
        }
    for (const char *user : {"SEL", "LIM"}) {
        EXPECT_FALSE(table_exists(std::string("N") + user)) << user;
        EXPECT_FALSE(table_exists(std::string("K") + user)) << user;
        EXPECT_EQ(run(dba, std::string("DISPLAY %INAME FROM %ITEMS WHERE %INAME='Z") + user + "'"), "ok");
        int st[6] = {};
        doz_get_qstatus(dba, st);
        EXPECT_EQ(st[DOZ_ST_ROWS], 0) << "item made for " << user;
    }

    // The database as a whole is its DBAs': with nobody else in it, a
    // SELECT-only user can neither reconfigure nor drop it.
    for (const char *user : {"TESTER", "RES", "LIM"})
        ASSERT_EQ(run(cid[user], "CLOSE"), "ok") << user;
    int sel = cid["SEL"];
    ASSERT_EQ(run(sel, "CLOSE"), "ok");
    EXPECT_EQ(run(sel, "CONFIGURE DATABASE " + name + " SET %MAXFILES 900"), no);
    EXPECT_EQ(run(sel, "DROP DATABASE " + name), no);
    EXPECT_EQ(run(dba, "OPEN " + name), "ok") << "the database is still there";
}

// Only a connection's own result tables go when it closes: a table
// another connection made under a name like theirs stays.
TEST_F(Guard, AUserTableNamedLikeAResultPrefixOutlivesThatConnection)
{
    int other = connect("TESTER");
    ASSERT_GE(other, 0) << qytest::errors();
    std::string p = prefix(other);
    ASSERT_EQ(p.size(), 4u);
    ASSERT_EQ(run(dba, "SELECT 1 AS N FROMVAR TO " + p + "KEEP"), "ok");
    ASSERT_EQ(run(other, "SELECT N FROM T"), "ok");
    ASSERT_EQ(run(other, "RENAME RSLT AS RSLTMINE"), "ok");
    ASSERT_EQ(run(other, "SELECT N FROM T"), "ok");
    EXPECT_TRUE(table_exists(p + "MINE"));
    ASSERT_EQ(run(other, "CLOSE"), "ok");
    EXPECT_TRUE(table_exists(p + "KEEP"));
    EXPECT_FALSE(table_exists(p));
    EXPECT_FALSE(table_exists(p + "MINE"));
}

// Result tables of an interpreter killed in the middle of its session go
// when the database is next opened; user tables of like names stay.
TEST_F(Guard, ResultTablesOfAKilledInterpreterGoAtTheNextOpen)
{
    std::vector<std::string> left;
    for (int k = 0; k < 3; k++) {
        int victim = connect("TESTER");
        ASSERT_GE(victim, 0) << qytest::errors();
        std::string p = prefix(victim);
        ASSERT_EQ(run(victim, "SELECT N FROM T"), "ok");
        ASSERT_EQ(run(victim, "RENAME RSLT AS RSLTX"), "ok");
        ASSERT_EQ(run(victim, "SELECT N FROM T"), "ok");
        ASSERT_EQ(run(dba, "SELECT 1 AS N FROMVAR TO " + p + "USER"), "ok");
        pid_t server = -1;
        ASSERT_EQ(doz_get_server_details(victim, &server, nullptr, nullptr), 0);
        ASSERT_EQ(kill(server, SIGKILL), 0);
        ASSERT_TRUE(vxtest::wait_for([&] { return ended(server); }, 20s));
        // listed until the database is next opened (the next victim's
        // OPEN takes them)
        EXPECT_TRUE(table_exists(p));
        EXPECT_TRUE(table_exists(p + "X"));
        left.push_back(p);
    }
    ASSERT_EQ(run(dba, "OPEN " + name), "ok");
    for (const std::string &p : left) {
        EXPECT_FALSE(table_exists(p));
        EXPECT_FALSE(table_exists(p + "X"));
        EXPECT_TRUE(table_exists(p + "USER"));
    }
}

// The lock files of the result-table prefixes the interpreter `server`
// has open.
int prefix_locks_of(pid_t server)
{
    int n = 0;
    std::string dir = "/proc/" + std::to_string(server) + "/fd";
    for (const auto &e : fs::directory_iterator(dir)) {
        std::error_code ec;
        fs::path target = fs::read_symlink(e.path(), ec);
        n += !ec && target.filename().string().rfind(".result.", 0) == 0;
    }
    return n;
}

// INIT again and again on one connection: each starts the session afresh
// and the old session's prefix goes with it.
TEST_F(Guard, RepeatedInitKeepsOnePrefix)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    pid_t server = -1;
    int msqid = -1;
    ASSERT_EQ(doz_get_server_details(cid, &server, &msqid, nullptr), 0);
    for (int i = 0; i < 40; i++) {
        DozInitMsg init{};
        init.h = {DOZ_TO_SERVER, 0, DOZ_INIT};
        snprintf(init.user, sizeof init.user, "TESTER");
        init.start_word = static_cast<int32_t>(DOZ_START_WORD);
        init.magic = DOZ_MAGIC_3000;
        ASSERT_EQ(msgsnd(msqid, &init, doz_msg_size(44), 0), 0);
        DozAckMsg ack{};
        ASSERT_GE(msgrcv(msqid, &ack, doz_msg_size(sizeof ack - 16), DOZ_TO_CLIENT, MSG_NOERROR), 0);
        ASSERT_EQ(ack.h.code, DOZ_ACK);
        ASSERT_EQ(ack.status[0], 0) << i;
    }
    EXPECT_EQ(prefix_locks_of(server), 1);
    EXPECT_EQ(run(cid, "PRINT RESULT()"), "ok");
}

// With every prefix held or unusable the connection is refused, never
// given a prefix another may hold.  Lock files that cannot be opened
// (here directories in their place) are passed over, and so are links
// planted under their names.
TEST_F(Guard, NoFreePrefixRefusesTheConnection)
{
    qytest::close_all();
    const std::string &dir = own_server_dir();
    std::string target = where + "/elsewhere";
    {
        std::ofstream(target) << "";
    }
    std::vector<std::string> planted;
    for (unsigned k = 1; k < 256; k++) {
        char p[8];
        snprintf(p, sizeof p, "RS%02X", k);
        std::string path = dir + "/.result." + p + ".lock";
        fs::remove(path);
        if (k % 2)
            fs::create_symlink(target, path);
        else
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
        planted.push_back(path);
    }
    int first = qytest::start();
    EXPECT_GE(first, 0);
    if (first >= 0) {
        EXPECT_EQ(run(first, "PRINT RESULT()"), "ok");
        EXPECT_EQ(text_at(first), "RS00");
    }
    int second = -1;
    EXPECT_NE(doz_init(&second, "", "TESTER", DOZ_START_WORD), 0);
    int st[6] = {};
    doz_get_qstatus(second, st);
    EXPECT_EQ(st[1], 29) << "too many connections";
    qytest::close_all();
    for (const std::string &path : planted)
        fs::remove(path);
    EXPECT_EQ(fs::file_size(target), 0u);
}

// The database list is rewritten through a file of our own: a link
// planted under the name of that file writes nothing elsewhere.
TEST_F(Guard, APlantedLinkBesideTheDatabaseListWritesNothingElsewhere)
{
    std::string target = where + "/elsewhere";
    {
        std::ofstream(target) << "untouched\n";
    }
    std::string beside = own_server_dir() + "/databases.list.new";
    fs::remove(beside);
    fs::create_symlink(target, beside);
    std::string second = "H" + name.substr(1);
    EXPECT_EQ(run(dba, "CREATE DATABASE " + second + " ON '" + where + "'"), "ok");
    std::ifstream in(target);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "untouched");
    EXPECT_FALSE(fs::exists(fs::symlink_status(beside)));
    EXPECT_EQ(run(dba, "DROP DATABASE " + second), "ok");
}

// A message longer than any request is refused, and the interpreter goes
// on serving.
TEST_F(Guard, AnOversizeMessageIsRefused)
{
    int msqid = -1;
    ASSERT_EQ(doz_get_server_details(dba, nullptr, &msqid, nullptr), 0);
    struct {
        DozHeader h;
        unsigned char data[DOZ_RECV_ROOM + 200];
    } big{};
    big.h = {DOZ_TO_SERVER, 0, DOZ_QUERY};
    memset(big.data, 'A', sizeof big.data);
    ASSERT_EQ(msgsnd(msqid, &big, doz_msg_size(sizeof big.data), 0), 0);
    DozAckMsg ack{};
    bool answered = vxtest::wait_for(
        [&] { return msgrcv(msqid, &ack, doz_msg_size(sizeof ack - 16), DOZ_TO_CLIENT, IPC_NOWAIT | MSG_NOERROR) >= 0; }, 20s);
    ASSERT_TRUE(answered);
    EXPECT_EQ(ack.h.code, DOZ_ACK);
    EXPECT_EQ(ack.status[0], 1);
    EXPECT_EQ(ack.status[1], -1) << "statement is too long";
    EXPECT_EQ(run(dba, "PRINT 2"), "ok");
}

struct Victim {
    pid_t pid = -1;     // the client
    int ids[3] = {-1, -1, -1};  // its interpreter, queue and segment
};

// A client in a process of its own that starts `statement` (or nothing)
// and waits to be killed.
Victim start_victim(const char *statement)
{
    Victim v;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return v;
    v.pid = fork();
    if (v.pid == 0) {
        close(fds[0]);
        int ids[3] = {-1, -1, -1};
        int cid = qytest::start();
        if (cid >= 0) {
            pid_t server = -1;
            doz_get_server_details(cid, &server, &ids[1], &ids[2]);
            ids[0] = server;
            if (statement)
                doz_querym(cid, statement, 0);
        }
        ssize_t w = write(fds[1], ids, sizeof ids);
        (void)w;
        close(fds[1]);
        for (;;)
            pause();
    }
    close(fds[1]);
    ssize_t n = read(fds[0], v.ids, sizeof v.ids);
    (void)n;
    close(fds[0]);
    return v;
}

// A client killed outright, idle or while its statement runs: the
// interpreter ends and takes the client's queue and segment with it.
TEST_F(Guard, AKilledClientLeavesNoQueueNorSegment)
{
    for (const char *statement : {static_cast<const char *>(nullptr), "TEST HOLD"}) {
        const char *what = statement ? statement : "idle";
        Victim v = start_victim(statement);
        ASSERT_GT(v.pid, 0);
        ASSERT_GT(v.ids[0], 0) << what;
        ASSERT_TRUE(qytest::queue_exists(v.ids[1]));
        ASSERT_TRUE(qytest::segment_exists(v.ids[2]));
        if (statement) {
            // The interpreter has taken the statement from its queue.
            ASSERT_TRUE(vxtest::wait_for(
                [&] {
                    struct msqid_ds ds;
                    return msgctl(v.ids[1], IPC_STAT, &ds) == 0 && ds.msg_qnum == 0 && ds.msg_lrpid == v.ids[0];
                },
                20s));
        }
        kill(v.pid, SIGKILL);
        int st;
        waitpid(v.pid, &st, 0);
        EXPECT_TRUE(vxtest::wait_for([&] { return ended(v.ids[0]); }, 30s)) << what;
        EXPECT_TRUE(vxtest::wait_for(
            [&] { return !qytest::queue_exists(v.ids[1]) && !qytest::segment_exists(v.ids[2]); }, 30s))
            << what;
        if (!ended(v.ids[0]))
            kill(v.ids[0], SIGKILL);
    }
}

// Dump files: a link planted under the name is never followed, and the
// file goes when the connection ends.
TEST_F(Guard, DumpFilesAreOursAndGoWithTheConnection)
{
    std::string dump = own_server_dir() + "/.dump" + std::to_string(getpid());
    std::string target = where + "/elsewhere";
    {
        std::ofstream(target) << "untouched\n";
    }
    fs::remove(dump);
    fs::create_symlink(target, dump);
    char path[PATH_MAX] = "";
    ASSERT_EQ(doz_dumpinfo(dba, 4, path, sizeof path), 0);
    EXPECT_EQ(doz_error(dba), 0);
    EXPECT_EQ(std::string(path), dump);
    std::ifstream in(target);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "untouched");
    EXPECT_FALSE(fs::is_symlink(dump));
    EXPECT_TRUE(fs::is_regular_file(dump));
    doz_term(dba);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dump)));
}

// The interpreter runs with its owner's rights only where no sanitizer
// runtime is in it: a sanitizer build installs it without set-id bits.
TEST(Installation, OnlyAnUninstrumentedInterpreterIsSetId)
{
#if defined(__SANITIZE_ADDRESS__)
    constexpr bool instrumented = true;
#else
    constexpr bool instrumented = false;
#endif
    for (const std::string &path : {qytest::server_dir() + "/tqlserver", vxtest::install_dir() + "/shipped/tqlserver"}) {
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
        EXPECT_EQ((st.st_mode & (S_ISUID | S_ISGID)) != 0, !instrumented) << path;
        EXPECT_NE(st.st_mode & S_IXOTH, 0u) << path;
    }
}

}  // namespace
