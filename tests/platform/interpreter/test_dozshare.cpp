// Several clients on one database at once, each in a process of its own
// with its own interpreter: a statement that reads what it changes sees
// no other client's change between its read and its write.  The outcomes
// are counted, never timed: every statement acknowledged as done must be
// found in the end.

#include "qytest.h"

#include <filesystem>
#include <functional>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string codes(int cid)
{
    int st[6] = {};
    doz_get_qstatus(cid, st);
    return std::to_string(st[1]) + "/" + std::to_string(st[2]) + "/" + std::to_string(st[3]);
}

std::string run(int cid, const std::string &text)
{
    if (doz_querym(cid, text.c_str(), DOZ_M_WAIT) != 0)
        return "not sent";
    return doz_error(cid) ? codes(cid) : "ok";
}

int rows_of(int cid)
{
    int st[6] = {};
    doz_get_qstatus(cid, st);
    return st[DOZ_ST_ROWS];
}

// The server directory of these tests, as the guard tests keep theirs:
// the installed one's ownership record and nothing else.
const std::string &own_server_dir()
{
    static std::string dir = qytest::own_server_dir("dozshare");
    return dir;
}

// Clients in processes of their own, started together: each waits for
// the go of the parent, runs its body on a connection of its own with the
// database open, and reports a line of text.
class Clients {
  public:
    explicit Clients(std::string db) : db_(std::move(db)) {}
    ~Clients() { wait(); }

    void add(const std::function<std::string(int cid)> &body)
    {
        int go[2], out[2];
        if (pipe2(go, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            close(out[0]);
            std::string r;
            int cid = -1;
            if (doz_init(&cid, "", "TESTER", DOZ_START_WORD) != 0 || !doz_create_buffer(cid, 200000))
                r = "no connection";
            else if (std::string o = run(cid, "OPEN " + db_); o != "ok")
                r = "open " + o;
            char c;
            while (read(go[0], &c, 1) < 0 && errno == EINTR) {
            }
            if (r.empty())
                r = body(cid);
            if (cid >= 0)
                doz_term(cid);
            ssize_t w = write(out[1], r.data(), r.size());
            (void)w;
            _exit(0);
        }
        close(go[0]);
        close(out[1]);
        kids_.push_back({pid, go[1], out[0]});
    }

    // Lets every client go, then waits for their reports.
    std::vector<std::string> results()
    {
        for (Kid &k : kids_) {
            ssize_t w = write(k.go, "g", 1);
            (void)w;
            close(k.go);
            k.go = -1;
        }
        std::vector<std::string> r;
        for (Kid &k : kids_) {
            std::string text;
            char buf[512];
            ssize_t n;
            while ((n = read(k.out, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
                if (n > 0)
                    text.append(buf, static_cast<size_t>(n));
            r.push_back(text);
        }
        wait();
        return r;
    }

  private:
    struct Kid {
        pid_t pid;
        int go, out;
    };
    void wait()
    {
        for (Kid &k : kids_) {
            if (k.go >= 0)
                close(k.go);
            close(k.out);
            int st;
            while (waitpid(k.pid, &st, 0) < 0 && errno == EINTR) {
            }
        }
        kids_.clear();
    }
    std::string db_;
    std::vector<Kid> kids_;
};

class Share : public qytest::Interpreter {
  protected:
    std::string name, where;
    int dba = -1;

    void SetUp() override
    {
        Interpreter::SetUp();
        setenv("DOZ_SERVER_DIR", own_server_dir().c_str(), 1);
        setenv("QYINT", (qytest::server_dir() + "/tqlserver").c_str(), 1);
        char n[16];
        snprintf(n, sizeof n, "S%05X", static_cast<unsigned>(getpid()) & 0xfffffu);
        name = n;
        where = vxtest::temp_dir("dozshare-db");
        dba = qytest::start();
        ASSERT_GE(dba, 0) << qytest::errors();
        ASSERT_EQ(run(dba, "CREATE DATABASE " + name + " ON '" + where + "'"), "ok");
        ASSERT_EQ(run(dba, "OPEN " + name), "ok");
    }
    void TearDown() override
    {
        qytest::close_all();
        int last = qytest::start();
        if (last >= 0)
            run(last, "DROP DATABASE " + name);
        Interpreter::TearDown();
        fs::remove_all(where);
    }
    // The rows 1..n of a new table `t` keyed by K, each with V = 0 (and
    // the items K and V, which go with the last table that has them).
    void fill(const std::string &t, int n)
    {
        run(dba, "DROP " + t);  // gone, whether it was there or not, and its items with it
        run(dba, "CREATE ITEM K AS LONG(9)");
        run(dba, "CREATE ITEM V AS LONG(9)");
        ASSERT_EQ(run(dba, "CREATE " + t + "[100000] AS K PRIMARY, V"), "ok");
        for (int k = 1; k <= n; k++)
            ASSERT_EQ(run(dba, "SELECT " + std::to_string(k) + " AS K, 0 AS V FROMVAR TO " + t), "ok");
    }
    // V of the row keyed `k` of `t`, or -1 when there is none.
    long value_of(const std::string &t, int k)
    {
        if (run(dba, "DISPLAY V FROM " + t + " WHERE K=" + std::to_string(k)) != "ok" || rows_of(dba) == 0)
            return -1;
        int32_t v = 0;  // a LONG is four bytes in the buffer
        memcpy(&v, doz_get_qbuffer(dba), sizeof v);
        return static_cast<long>(v);
    }
};

// Eight clients each add one to a counter 25 times by a SELECT into the
// table it reads: every acknowledged increment is in the counter.
TEST_F(Share, IncrementsOfOneRowAreNeverLost)
{
    fill("T", 0);
    ASSERT_EQ(run(dba, "SELECT 0 AS K, 0 AS V FROMVAR TO T"), "ok");
    constexpr int CLIENTS = 8, EACH = 25;
    Clients clients(name);
    for (int c = 0; c < CLIENTS; c++)
        clients.add([](int cid) {
            if (run(cid, "SET %OVERWRITE TRUE") != "ok")
                return std::string("set failed");
            int done = 0;
            std::string failures;
            for (int i = 0; i < EACH; i++) {
                std::string r = run(cid, "SELECT K, V+1 AS V FROM T WHERE K=0 TO T");
                if (r == "ok" && rows_of(cid) == 1)
                    done++;
                else
                    failures += " " + r;
            }
            return std::to_string(done) + failures;
        });
    int acknowledged = 0;
    for (const std::string &r : clients.results()) {
        EXPECT_EQ(r, std::to_string(EACH)) << "every increment is acknowledged";
        acknowledged += atoi(r.c_str());
    }
    EXPECT_EQ(value_of("T", 0), acknowledged);
    EXPECT_EQ(acknowledged, CLIENTS * EACH);
}

// One client deletes the rows still at 0 while another sets rows to 1 one
// by one: a row the second was told it had set stays, in each trial.
TEST_F(Share, ADeleteSparesRowsOverwrittenMeanwhile)
{
    constexpr int ROWS = 120;
    for (int trial = 0; trial < 5; trial++) {
        fill("DT", ROWS);
        Clients clients(name);
        clients.add([](int cid) {
            std::string r = run(cid, "DELETE FROM DT WHERE V=0");
            return r == "ok" ? "deleted " + std::to_string(rows_of(cid)) : r;
        });
        clients.add([](int cid) {
            if (run(cid, "SET %OVERWRITE TRUE") != "ok")
                return std::string("set failed");
            std::string set;  // the keys of the rows acknowledged as set
            for (int k = ROWS; k >= 1; k--) {
                std::string r = run(cid, "SELECT K, 1 AS V FROM DT WHERE K=" + std::to_string(k) + " TO DT");
                if (r != "ok")
                    return "failed " + r;
                if (rows_of(cid) == 1)
                    set += " " + std::to_string(k);
            }
            return set;
        });
        std::vector<std::string> r = clients.results();
        ASSERT_EQ(r.size(), 2u);
        ASSERT_EQ(r[0].rfind("deleted ", 0), 0u) << r[0];
        ASSERT_EQ(r[1].rfind("failed", 0), std::string::npos) << r[1];
        std::istringstream keys(r[1]);
        int kept = 0;
        for (int k; keys >> k; kept++)
            EXPECT_EQ(value_of("DT", k), 1) << "trial " << trial << ": row " << k << " was set, then deleted";
        EXPECT_EQ(atoi(r[0].c_str() + 8) + kept, ROWS) << "trial " << trial;
    }
}

// SEQUENCE BY orders the rows it read: against a client deleting and
// adding rows of the same table it never names a row that is gone.
TEST_F(Share, AnOrderAgainstDeletesAndAdds)
{
    constexpr int ROWS = 200, ROUNDS = 30;
    fill("R", ROWS);
    Clients clients(name);
    clients.add([](int cid) {
        std::string failures;
        for (int i = 0; i < ROUNDS; i++)
            if (std::string r = run(cid, "SEQUENCE R BY V, K DESC"); r != "ok")
                failures += " " + r;
        return failures;
    });
    clients.add([](int cid) {
        std::string failures;
        for (int i = 0; i < ROUNDS; i++) {
            int gone = ROWS - i, added = ROWS + 1 + i;
            for (const std::string &s : {"DELETE FROM R WHERE K=" + std::to_string(gone),
                                         "SELECT " + std::to_string(added) + " AS K, 0 AS V FROMVAR TO R"})
                if (std::string r = run(cid, s); r != "ok")
                    failures += " " + r;
        }
        return failures;
    });
    std::vector<std::string> r = clients.results();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], "") << "the orders";
    EXPECT_EQ(r[1], "") << "the deletes and adds";
    ASSERT_EQ(run(dba, "DISPLAY K FROM R"), "ok");
    EXPECT_EQ(rows_of(dba), ROWS);
}

// UPDATE CURRENT and DELETE CURRENT read the current row inside their
// write: a row deleted by another client since the FETCH is refused as
// gone, never written again nor counted as deleted.
TEST_F(Share, CurrentRowStatementsSeeAnotherClientsDelete)
{
    fill("C", 3);
    int other = qytest::start();
    ASSERT_GE(other, 0);
    ASSERT_EQ(run(other, "OPEN " + name), "ok");
    ASSERT_EQ(run(dba, "FETCH FROM C WHERE K=2"), "ok");
    ASSERT_EQ(run(other, "DELETE FROM C WHERE K=2"), "ok");
    EXPECT_EQ(run(dba, "DELETE CURRENT FROM C"), "0/21/0");
    ASSERT_EQ(run(dba, "DISPLAY K FROM C"), "ok");
    EXPECT_EQ(rows_of(dba), 2);
}

}  // namespace
