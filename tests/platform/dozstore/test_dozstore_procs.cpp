// The storage across processes: open modes and USE locks held by another
// process, writers side by side, and a process killed with SIGKILL in the
// middle of its transactions.

#include "dozst_testkit.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <random>

using namespace dozst_test;

namespace {

// Another process running a piece of this test, with a pipe each way.
// It reports with single bytes and waits for the parent's bytes.
class Kid {
  public:
    explicit Kid(const std::function<void(Kid &)> &body)
    {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(up[0]);
            close(down[1]);
            out_ = up[1];
            in_ = down[0];
            body(*this);
            _exit(0);
        }
        close(up[1]);
        close(down[0]);
        in_ = up[0];
        out_ = down[1];
    }
    ~Kid()
    {
        if (pid_ > 0) {
            kill_now();
        }
        close(in_);
        close(out_);
    }
    void say(char c)
    {
        if (write(out_, &c, 1) != 1)
            _exit(3);
    }
    // The next byte from the other side, or 0 at its end or after the bound.
    char hear(int bound_ms = 20000)
    {
        pollfd p{in_, POLLIN, 0};
        if (poll(&p, 1, bound_ms) != 1)
            return 0;
        char c = 0;
        return read(in_, &c, 1) == 1 ? c : 0;
    }
    void kill_now()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Waits for a child that was told to finish; its exit status.
    int join()
    {
        int status = -1;
        bool ended = vxtest::wait_for([&] { return waitpid(pid_, &status, WNOHANG) == pid_; },
                                      std::chrono::seconds(20));
        if (!ended)
            kill_now();
        pid_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
};

class ProcessTest : public StoreTest {
  protected:
    // In a child: opens DEMO with the mode, says 'y' or 'n', then holds
    // it until told to go.
    std::unique_ptr<Kid> hold(OpenMode mode)
    {
        auto kid = std::make_unique<Kid>([this, mode](Kid &k) {
            Fault f;
            auto db = Database::open(server, "DEMO", "", mode, "BRASK", pass, f);
            k.say(db ? 'y' : 'n');
            k.hear();
        });
        EXPECT_EQ(kid->hear(), 'y');
        return kid;
    }
};

const char *mode_name(OpenMode m)
{
    return m == OpenMode::SHARED ? "shared" : m == OpenMode::EXCLUSIVE ? "exclusive" : "forced";
}

TEST_F(ProcessTest, OpenModesAgainstAnotherProcess)
{
    using M = OpenMode;
    struct Case {
        M held, asked;
        int database;  // 0: opens
    } cases[] = {
        {M::SHARED, M::SHARED, 0},           {M::SHARED, M::EXCLUSIVE, DB_IN_USE},
        {M::SHARED, M::FORCED, 0},           {M::EXCLUSIVE, M::SHARED, DB_EXCLUSIVE},
        {M::EXCLUSIVE, M::EXCLUSIVE, DB_IN_USE}, {M::EXCLUSIVE, M::FORCED, 0},
        {M::FORCED, M::SHARED, DB_EXCLUSIVE}, {M::FORCED, M::EXCLUSIVE, DB_EXCLUSIVE},
        {M::FORCED, M::FORCED, DB_EXCLUSIVE},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(mode_name(c.held)) + " held, " + mode_name(c.asked) + " asked");
        auto kid = hold(c.held);
        Fault f;
        auto db = Database::open(server, "DEMO", "", c.asked, "BRASK", pass, f);
        EXPECT_EQ(f.database, c.database) << codes(f);
        EXPECT_EQ(db != nullptr, c.database == 0);
        db.reset();
        // Killing the holder frees the database at once.
        kid->kill_now();
        db = Database::open(server, "DEMO", "", M::EXCLUSIVE, "BRASK", pass, f);
        EXPECT_TRUE(db) << codes(f);
    }
    // Dropping and configuring need nobody in the database.
    auto kid = hold(M::SHARED);
    EXPECT_EQ(drop_database(server, "DEMO").database, DB_IN_USE);
    EXPECT_EQ(configure_database(server, "DEMO", {{"%MAXFILES", 5}}).database, DB_IN_USE);
    kid->say('x');
    EXPECT_EQ(kid->join(), 0);
    EXPECT_FAULT_OK(drop_database(server, "DEMO"));
}

TEST_F(ProcessTest, UseExclusiveHoldsAgainstOtherProcesses)
{
    {
        auto db = open();
        make_numbers(*db, "T");
        make_numbers(*db, "FREE");
    }
    // The child takes USE T EXCLUSIVE, then lets go when told.
    Kid kid([this](Kid &k) {
        Fault f;
        auto db = Database::open(server, "DEMO", "", OpenMode::SHARED, "BRASK", pass, f);
        k.say(db && db->use_exclusive("T").ok() && db->use_exclusive("T").ok() ? 'y' : 'n');
        k.hear();
        k.say(db->unuse("T").ok() ? 'y' : 'n');
        k.hear();
    });
    ASSERT_EQ(kid.hear(), 'y');
    auto db = open();
    EXPECT_EQ(db->use_exclusive("T").database, TABLE_IN_USE);
    std::vector<RowId> none;
    struct Case {
        const char *what;
        Fault fault;
    } refused[] = {
        {"insert", add(*db, "T", 1)},
        {"clear", db->clear_table("T")},
        {"drop", db->drop_table("T")},
        {"rename", db->rename_table("T", "U")},
        {"sequence", db->sequence("T", none)},
        {"configure", db->configure_table("T", 5, false, std::nullopt)},
    };
    for (auto &c : refused)
        EXPECT_EQ(c.fault.database, TABLE_IN_USE) << c.what;
    EXPECT_TRUE(numbers(*db, "T").empty()) << "reading is not refused";
    // An UNUSE of a table not held does nothing.
    EXPECT_FAULT_OK(db->unuse("T"));
    EXPECT_FAULT_OK(db->unuse("NOSUCH"));
    EXPECT_FAULT_OK(db->use_exclusive("FREE"));
    EXPECT_FAULT_OK(add(*db, "FREE", 1));

    kid.say('u');
    ASSERT_EQ(kid.hear(), 'y');
    EXPECT_FAULT_OK(db->use_exclusive("T"));
    EXPECT_FAULT_OK(add(*db, "T", 7));
    kid.say('x');
    EXPECT_EQ(kid.join(), 0);

    // The lock follows a renamed table; closing the database lets it go.
    ASSERT_FAULT_OK(db->rename_table("T", "U"));
    {
        Kid other([this](Kid &k) {
            Fault f;
            auto d = Database::open(server, "DEMO", "", OpenMode::SHARED, "BRASK", pass, f);
            k.say(d && d->use_exclusive("U").database == TABLE_IN_USE ? 'y' : 'n');
        });
        EXPECT_EQ(other.hear(), 'y');
        EXPECT_EQ(other.join(), 0);
    }
    db.reset();
    Kid last([this](Kid &k) {
        Fault f;
        auto d = Database::open(server, "DEMO", "", OpenMode::SHARED, "BRASK", pass, f);
        k.say(d && d->use_exclusive("U").ok() ? 'y' : 'n');
    });
    EXPECT_EQ(last.hear(), 'y');
    EXPECT_EQ(last.join(), 0);
}

// A connection keeps table definitions between calls; a table another
// process has dropped and made anew with other columns is seen as it is
// now, also by a transaction begun after the change.
TEST_F(ProcessTest, DefinitionsChangedByAnotherProcessAreSeen)
{
    auto db = open();
    make_numbers(*db, "T");
    ASSERT_FAULT_OK(add(*db, "T", 1));
    for (bool in_transaction : {false, true}) {
        SCOPED_TRACE(in_transaction ? "in a transaction" : "call by call");
        Kid kid([this, in_transaction](Kid &k) {
            Fault f;
            auto d = Database::open(server, "DEMO", "", OpenMode::SHARED, "BRASK", pass, f);
            // Dropping T drops its item N too.
            bool ok = d && d->drop_table("T").ok() && d->create_item(item("S", doz::STRING, 3)).ok() &&
                      d->create_item(item("N", doz::LONG, 11)).ok() &&
                      d->create_table({"T", 10, false, 0, 0, "", {{"S"}, {"N"}}}, -1).ok();
            (void)in_transaction;
            k.say(ok ? 'y' : 'n');
        });
        ASSERT_EQ(kid.hear(), 'y');
        EXPECT_EQ(kid.join(), 0);
        if (in_transaction)
            ASSERT_FAULT_OK(db->begin());
        Inserted what;
        EXPECT_EQ(add(*db, "T", 2).database, BAD_COLUMNS);
        EXPECT_FAULT_OK(db->insert("T", {doz::make_string("ab", 3), doz::make_long(3)}, OnDuplicate::REJECT, what));
        if (in_transaction)
            ASSERT_FAULT_OK(db->commit());
        auto rows = read_all(*db, "T");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0].s, "ab");
        // The next round starts from a one-column table again.
        ASSERT_FAULT_OK(db->drop_table("T"));
        make_numbers(*db, "T");
    }
}

TEST_F(ProcessTest, WritersInSeveralProcessesShareADatabase)
{
    {
        auto db = open();
        make_numbers(*db, "T");
    }
    constexpr int per_writer = 150;
    std::vector<std::unique_ptr<Kid>> kids;
    for (int w = 0; w < 3; ++w)
        kids.push_back(std::make_unique<Kid>([this, w](Kid &k) {
            Fault f;
            auto db = Database::open(server, "DEMO", "", OpenMode::SHARED, "BRASK", pass, f);
            if (!db)
                _exit(1);
            k.hear();  // start together
            for (int i = 0; i < per_writer; ++i) {
                // Some rows one by one, some in transactions of five.
                bool grouped = i % 10 >= 5;
                if (grouped && i % 5 == 0 && !db->begin().ok())
                    _exit(2);
                if (!add(*db, "T", w * 1000 + i).ok())
                    _exit(3);
                if (grouped && i % 5 == 4 && !db->commit().ok())
                    _exit(4);
            }
        }));
    for (auto &k : kids)
        k->say('g');
    for (auto &k : kids)
        EXPECT_EQ(k->join(), 0);
    auto db = open();
    auto got = numbers(*db, "T");
    ASSERT_EQ(got.size(), 3u * per_writer);
    // Each writer's rows keep the order it wrote them in.
    std::map<int64_t, int64_t> last;
    for (int64_t n : got) {
        auto it = last.find(n / 1000);
        if (it != last.end()) {
            EXPECT_LT(it->second, n);
        }
        last[n / 1000] = n;
    }
    int64_t size = 0;
    ASSERT_FAULT_OK(db->count("T", size));
    EXPECT_EQ(size, 3 * per_writer);
}

// A writer commits batches of rows (all tagged with the batch number) and
// is killed at random moments, sometimes half-way through a batch.  After
// each kill every batch it had reported committed is there whole, and no
// other batch is there at all.
TEST_F(ProcessTest, KilledMidTransactionLeavesAllOrNothing)
{
    constexpr int batch = 40;
    {
        auto db = open();
        make_numbers(*db, "T");
        ASSERT_FAULT_OK(db->create_item(item("PAD", doz::REAL, 15, 8)));
        ASSERT_FAULT_OK(db->create_table(
            {"W", 100000, false, NOCACHED, SLOTTED, "", {{"N"}, {"PAD"}}}, PRIV_READ));
    }
    std::mt19937 rng(20261210);
    int committed = 0;  // batches reported committed so far
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int first = committed;
        Kid kid([&, first](Kid &k) {
            Fault f;
            auto db = Database::open(server, "DEMO", "", OpenMode::SHARED, "BRASK", pass, f);
            if (!db)
                _exit(1);
            for (int b = first;; ++b) {
                if (!db->begin().ok())
                    _exit(2);
                for (int i = 0; i < batch; ++i) {
                    Inserted what;
                    std::vector<doz::Value> row = {doz::make_long(b), array(doz::REAL, 8, std::vector<doz::Elem>(8, er(b)))};
                    // The rows go to two tables in the same transaction.
                    if (!db->insert("W", row, OnDuplicate::REJECT, what).ok() || !add(*db, "T", b).ok())
                        _exit(3);
                    if (i == batch / 2)
                        k.say('m');  // half-way through batch b
                }
                if (!db->commit().ok())
                    _exit(4);
                k.say('c');
            }
        });
        // Let it commit a few batches, then kill it half-way through one
        // (odd rounds) or just after a commit, at once or a moment later.
        int commits_wanted = 1 + static_cast<int>(rng() % 4);
        int seen = 0;
        for (;;) {
            char c = kid.hear();
            ASSERT_NE(c, 0) << "the writer stopped by itself";
            if (c == 'c' && ++seen == commits_wanted) {
                if (round % 2 == 1) {
                    ASSERT_EQ(kid.hear(), 'm');
                }
                break;
            }
        }
        if (round % 3 == 2)
            vxtest::wait_for([] { return false; }, std::chrono::milliseconds(rng() % 5));
        kid.kill_now();
        // The writer may have committed (and said so) several more batches
        // between the last byte read and the kill: count every report.
        for (char c; (c = kid.hear()) != 0;)
            if (c == 'c')
                ++seen;
        committed = first + seen;

        auto db = open();
        std::map<int64_t, int> t_rows, w_rows;
        for (int64_t n : numbers(*db, "T"))
            ++t_rows[n];
        for (auto &r : read_all(*db, "W")) {
            ++w_rows[r[0].e[0].i];
            for (auto &e : r[1].e)
                EXPECT_EQ(e.r, static_cast<double>(r[0].e[0].i));
        }
        // A batch that committed just before the kill, too late to report,
        // may be there too, whole; anything else is a fault.
        int extra = 0;
        for (auto &[b, n] : t_rows) {
            EXPECT_EQ(n, batch) << "batch " << b << " in T";
            EXPECT_EQ(w_rows[b], batch) << "batch " << b << " in W";
            if (b >= committed)
                ++extra;
        }
        EXPECT_LE(extra, 1);
        for (int b = 0; b < committed; ++b)
            EXPECT_EQ(t_rows[b], batch) << "committed batch " << b << " lost";
        committed += extra;
        int64_t size = 0;
        ASSERT_FAULT_OK(db->count("T", size));
        EXPECT_EQ(size, static_cast<int64_t>(committed) * batch) << "the row count follows the rows";
    }
}

}  // namespace
