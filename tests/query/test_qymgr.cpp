// The query manager against the installed interpreter, without X: the mode
// word and the result of every mode combination, the error modes, Stop,
// the query handlers, attaching, and the waits.

#include "qykit.h"

#include "dozrow.h"

#include <csignal>
#include <cstring>
#include <sys/wait.h>

using namespace std::chrono_literals;
using qykit::Event;
using qykit::Manager;

namespace {

int32_t int_at(const void *b, size_t at)
{
    int32_t v;
    memcpy(&v, static_cast<const char *>(b) + at, 4);
    return v;
}
int16_t short_at(const void *b, size_t at)
{
    int16_t v;
    memcpy(&v, static_cast<const char *>(b) + at, 2);
    return v;
}
unsigned char byte_at(const void *b, size_t at) { return static_cast<const unsigned char *>(b)[at]; }

// ---- modes ------------------------------------------------------------------

struct ModeCase {
    int exec, buffer;
    uint32_t wire;  // what the interpreter receives (the server's bits)
};
const ModeCase mode_cases[] = {
    {QY_NOWAIT, QY_SIMPLE, 0x010},  {QY_NOWAIT, QY_ASIS, 0x010},  {QY_NOWAIT, QY_FULL, 0x01B},
    {QY_NOWAIT, QY_WRITE, 0x011},   {QY_WAIT, QY_SIMPLE, 0x000},  {QY_WAIT, QY_ASIS, 0x000},
    {QY_WAIT, QY_FULL, 0x00B},      {QY_WAIT, QY_WRITE, 0x001},   {QY_BGROUND, QY_SIMPLE, 0x000},
    {QY_BGROUND, QY_ASIS, 0x000},   {QY_BGROUND, QY_FULL, 0x00B}, {QY_BGROUND, QY_WRITE, 0x001},
    {QY_NOEVAL, QY_SIMPLE, 0x110},  {QY_NOEVAL, QY_ASIS, 0x110},  {QY_NOEVAL, QY_FULL, 0x11B},
    {QY_NOEVAL, QY_WRITE, 0x111},
};

TEST_F(Manager, EveryModeCombinationSendsItsWordAndGetsItsResult)
{
    start_own();
    for (const ModeCase &c : mode_cases) {
        SCOPED_TRACE("exec " + std::to_string(c.exec) + " buffer " + std::to_string(c.buffer));
        qykit::reset_records();
        qymgr_qy_set_handler(qykit::default_handler);
        qymgr_qy_set_querym(qykit::watching_querym);
        qymgr_qy_set_ui(&qykit::recording_ui);
        void *qb = qymgr_qy_buffer();
        memset(qb, 0x5a, 64);  // what a query that writes nothing leaves

        // Row: long (0..3), short (4..5), row size 8 bare; with presence
        // bytes long at 4, short at 10, row size 12.
        void *r = qymgr_qy_query("TEST ROWS 2 long, short", c.exec, c.buffer, QY_REPORT);
        EXPECT_EQ(r, qb);
        ASSERT_EQ(qykit::sent().size(), 1u);
        EXPECT_EQ(qykit::sent()[0].modes & DOZ_SERVER_MASK, c.wire);
        EXPECT_EQ(qykit::sent()[0].modes & ~DOZ_SERVER_MASK, DOZ_M_SIGNAL_DONE);
        EXPECT_TRUE(qykit::boxes().empty());
        EXPECT_EQ(qymgr_qy_ok(), 1);

        const bool waits = c.exec == QY_WAIT || c.exec == QY_BGROUND;
        EXPECT_EQ(qykit::pumps() > 0, waits) << "only Wait and BGround run the event loop";

        const bool noeval = c.exec == QY_NOEVAL;
        if (c.buffer == QY_FULL) {
            // The table at the head of the only buffer, then the end.
            // Rows of 12 bytes with presence bytes, after a table of 3 entries.
            const auto &ev = qykit::default_events();
            ASSERT_EQ(ev.size(), 2u);
            EXPECT_EQ(ev[0], (Event{QY_EVENT_EOB, noeval ? 0 : 2, noeval ? 192 : 192 + 2 * 12, DOZ_T_LONG}));
            EXPECT_EQ(ev[1].event, QY_EVENT_OK);
            EXPECT_EQ(ev[1].rows, noeval ? 0 : 2);
            EXPECT_EQ(ev[1].bytes, 0);
            EXPECT_EQ(qymgr_qy_returned_data(), 1);
        } else {
            EXPECT_TRUE(qykit::default_events().empty()) << "no handler for Simple, AsIs and Write";
            EXPECT_EQ(qymgr_qy_returned_data(), 0);
            if (noeval && c.buffer == QY_WRITE) {
                EXPECT_EQ(byte_at(qb, 0), 0x5a) << "a Write buffer is left as the caller filled it";
            } else if (noeval) {
                EXPECT_EQ(short_at(qb, 0), DOZ_EMPTY_MARK);
            } else if (c.buffer == QY_WRITE) {
                EXPECT_EQ(byte_at(qb, 12), 1);
                EXPECT_EQ(int_at(qb, 16), 100);
                EXPECT_EQ(short_at(qb, 22), 110);
            } else {
                EXPECT_EQ(int_at(qb, 8), 100);
                EXPECT_EQ(short_at(qb, 12), 110);
            }
        }
        EXPECT_EQ(qymgr_qy_rows(), noeval ? 0 : 2);
    }
}

TEST_F(Manager, InteractiveOverrideAddsOrClearsItsBit)
{
    start_own();
    const struct {
        int value;
        uint32_t wire;
    } cases[] = {{1, 0x090}, {0, 0x010}, {-1, 0x010}};
    for (auto c : cases) {
        qykit::sent().clear();
        qymgr_qy_interactive(c.value);
        qymgr_qy_query("PRINT 1", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
        ASSERT_EQ(qykit::sent().size(), 1u);
        EXPECT_EQ(qykit::sent()[0].modes & DOZ_SERVER_MASK, c.wire) << "override " << c.value;
        EXPECT_EQ(int_at(qymgr_qy_buffer(), 0), 1);
    }
}

TEST_F(Manager, DebugLogNamesTheModesAndText)
{
    start_own();
    qymgr_qy_debugging = 1;
    qykit::StderrCapture cap;
    qymgr_qy_query("PRINT 5", QY_BGROUND, QY_FULL, QY_WARN);
    qymgr_qy_debugging = 0;
    std::string err = cap.stop();
    EXPECT_NE(err.find(") (BGround,Full,Warn) PRINT 5\n"), std::string::npos) << err;
    EXPECT_EQ(err[0], '(');
}

// ---- errors -------------------------------------------------------------------

// A failure: a text the interpreter refuses, or codes the test puts into
// the status block after a query (the texts still come from the
// interpreter).
struct ErrorCase {
    const char *what;
    const char *text;
    int codes[3];  // forced; all 0: the interpreter's own
    int box;
    const char *stderr_lines[3];  // prefixes printed by Warn, in order
};
const ErrorCase error_cases[] = {
    {"query error", "NOT A STATEMENT", {0, 0, 0}, 4, {"Query: ", nullptr, nullptr}},
    {"database error", "PRINT 1", {0, 5, 0}, 6, {"Dbase: ", nullptr, nullptr}},
    {"database and filer", "PRINT 1", {0, 5, 9}, 5, {"Dbase: ", "Filer: ", nullptr}},
    {"all three", "PRINT 1", {3, 5, 9}, 4, {"Query: ", "Dbase: ", "Filer: "}},
};

void force_codes(const ErrorCase &c)
{
    if (c.codes[0] || c.codes[1] || c.codes[2]) {
        qykit::after_querym() = [&c](const char *) {
            int st[6] = {1, c.codes[0], c.codes[1], c.codes[2], 0, 0};
            set_qstatus(st);
        };
    } else {
        qykit::after_querym() = nullptr;
    }
}

TEST_F(Manager, ReportShowsTheBoxThatFitsTheCodes)
{
    start_own();
    for (const ErrorCase &c : error_cases) {
        SCOPED_TRACE(c.what);
        qykit::boxes().clear();
        force_codes(c);
        qymgr_qy_query(c.text, QY_NOWAIT, QY_SIMPLE, QY_REPORT);
        EXPECT_EQ(qymgr_qy_ok(), 0);
        ASSERT_EQ(qykit::boxes().size(), 1u);
        const qykit::Box &b = qykit::boxes()[0];
        EXPECT_EQ(b.message, c.box);
        char q[82], d[82], f[82];
        query_mess(q, d, f);
        // The interpreter's own failure has its text; forced codes may have none.
        const bool own = !c.codes[0] && !c.codes[1] && !c.codes[2];
        if (c.box == 4) {
            EXPECT_EQ(b.text1, q);
            EXPECT_TRUE(!own || !b.text1.empty());
        } else {
            EXPECT_EQ(b.text1, d);
            EXPECT_EQ(b.text2, c.box == 5 ? std::string(f) : "");
        }
    }
}

TEST_F(Manager, ATextTooLongToSendIsReportedWithoutWaiting)
{
    start_own();
    std::string text = "PRINT " + std::string(6000, '1');
    qymgr_qy_query(text.c_str(), QY_WAIT, QY_FULL, QY_REPORT);
    EXPECT_EQ(qymgr_qy_ok(), 0);
    ASSERT_EQ(qykit::boxes().size(), 1u);
    EXPECT_EQ(qykit::boxes()[0].message, 4);
    EXPECT_EQ(qykit::pumps(), 0);
    EXPECT_TRUE(qykit::default_events().empty());
    qymgr_qy_query("PRINT 2", QY_WAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(qymgr_qy_ok(), 1);
}

TEST_F(Manager, WarnPrintsOneLinePerNonZeroCode)
{
    start_own();
    for (const ErrorCase &c : error_cases) {
        SCOPED_TRACE(c.what);
        force_codes(c);
        qykit::StderrCapture cap;
        qymgr_qy_query(c.text, QY_NOWAIT, QY_SIMPLE, QY_WARN);
        std::string err = cap.stop();
        EXPECT_EQ(qymgr_qy_ok(), 0);
        EXPECT_TRUE(qykit::boxes().empty());
        size_t at = 0;
        for (const char *prefix : c.stderr_lines) {
            if (!prefix)
                break;
            size_t p = err.find(prefix, at);
            ASSERT_NE(p, std::string::npos) << prefix << " missing or out of order in:\n" << err;
            at = err.find('\n', p);
            ASSERT_NE(at, std::string::npos);
            if (!c.codes[0] && !c.codes[1] && !c.codes[2]) {
                EXPECT_GT(at, p + strlen(prefix)) << "the interpreter's text follows";
            }
        }
        for (const char *prefix : {"Query: ", "Dbase: ", "Filer: "}) {
            size_t n = 0;
            for (size_t p = err.find(prefix); p != std::string::npos; p = err.find(prefix, p + 1))
                n++;
            bool expected = false;
            for (const char *e : c.stderr_lines)
                expected = expected || (e && strcmp(e, prefix) == 0);
            EXPECT_EQ(n, expected ? 1u : 0u) << prefix;
        }
    }
}

int filter_calls = 0;
int filter_codes[3];
int accept_all(int a, int b, int c)
{
    filter_calls++;
    filter_codes[0] = a;
    filter_codes[1] = b;
    filter_codes[2] = c;
    return 0;
}
int accept_none(int, int, int) { return 1; }

TEST_F(Manager, IgnoreAndTheErrorFilterSilenceAFailure)
{
    start_own();
    qymgr_qy_query("NOT A STATEMENT", QY_NOWAIT, QY_SIMPLE, QY_IGNORE);
    EXPECT_EQ(qymgr_qy_ok(), 0);
    EXPECT_TRUE(qykit::boxes().empty());

    qymgr_qy_set_error_filter(accept_all);
    qymgr_qy_query("NOT A STATEMENT", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(qymgr_qy_ok(), 1) << "accepted by the filter";
    EXPECT_TRUE(qykit::boxes().empty());
    EXPECT_EQ(filter_calls, 1);
    EXPECT_NE(filter_codes[0], 0);
    EXPECT_EQ(filter_codes[1], 0);

    qymgr_qy_set_error_filter(accept_none);
    qymgr_qy_query("NOT A STATEMENT", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(qymgr_qy_ok(), 0);
    EXPECT_EQ(qykit::boxes().size(), 1u);

    // A successful query never asks the filter.
    filter_calls = 0;
    qymgr_qy_set_error_filter(accept_all);
    qymgr_qy_query("PRINT 1", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(filter_calls, 0);
}

// ---- Stop ------------------------------------------------------------------------

TEST_F(Manager, StopEndsALongQueryAndTheManagerGoesOn)
{
    start_own();
    // Pressed from inside the wait, after some turns of the loop.
    qykit::on_pump() = [] {
        if (qykit::pumps() == 3)
            qymgr_qy_press_stop();
    };
    qymgr_qy_query("TEST HOLD", QY_BGROUND, QY_FULL, QY_REPORT);
    EXPECT_EQ(qymgr_qy_stopped(), 1);
    EXPECT_EQ(qymgr_qy_ok(), 0);
    EXPECT_TRUE(qykit::boxes().empty()) << "a stop is not reported";
    EXPECT_TRUE(qykit::default_events().empty()) << "no buffer came, so no end event";

    qykit::on_pump() = nullptr;
    qymgr_qy_query("TEST ROWS 3 long", QY_WAIT, QY_FULL, QY_REPORT);
    EXPECT_EQ(qymgr_qy_stopped(), 0);
    EXPECT_EQ(qymgr_qy_ok(), 1);
    ASSERT_EQ(qykit::default_events().size(), 2u);
    EXPECT_EQ(qykit::default_events()[1].event, QY_EVENT_OK);
}

TEST_F(Manager, StopPressedBeforeTheQueryWaitsIsDeliveredWhenItDoes)
{
    start_own();
    qymgr_qy_press_stop();  // nothing installed yet
    qymgr_qy_query("TEST HOLD", QY_WAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(qymgr_qy_stopped(), 1);

    // The stop was used up: the next query runs to its end.
    qymgr_qy_query("TEST ROWS 1 long", QY_BGROUND, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(qymgr_qy_stopped(), 0);
    EXPECT_EQ(qymgr_qy_ok(), 1);
}

TEST_F(Manager, StopInsideTheBufferHandlerTakesEffectAfterIt)
{
    start_own();
    qymgr_qy_set_buffer_rows(100);
    int aborted_inside = -1;
    qykit::in_default_handler() = [&](int event) {
        if (event == QY_EVENT_EOB && qykit::default_events().size() == 1) {
            qymgr_qy_press_stop();
            // Still delivering: the interpreter has not been told.
            aborted_inside = qymgr_qy_stopped();
        }
    };
    qymgr_qy_query("TEST ROWS 5000 long", QY_BGROUND, QY_FULL, QY_REPORT);
    qymgr_qy_set_buffer_rows(0);
    EXPECT_EQ(aborted_inside, 0);
    EXPECT_EQ(qymgr_qy_stopped(), 1);
    const auto &ev = qykit::default_events();
    ASSERT_GE(ev.size(), 2u);
    EXPECT_LT(ev.size(), 50u) << "stopped long before the 50 buffers";
    EXPECT_EQ(ev.back().event, QY_EVENT_STOPPED);
}

// ---- handlers ------------------------------------------------------------------

TEST_F(Manager, OverrideHandlerServesTheNextQueryOnly)
{
    start_own();
    struct Case {
        const char *what;
        const char *text;
        int exec;
        int end_event;  // the override's end event, 0 none
    };
    const Case cases[] = {
        {"success", "TEST ROWS 2 long", QY_BGROUND, QY_EVENT_OK},
        {"failure", "NOT A STATEMENT", QY_NOWAIT, 0},
        {"stopped", "TEST HOLD", QY_BGROUND, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        qykit::default_events().clear();
        qykit::override_events().clear();
        qykit::on_pump() = [&] {
            if (strcmp(c.what, "stopped") == 0 && qykit::pumps() == 2)
                qymgr_qy_press_stop();
        };
        qykit::pumps() = 0;
        EXPECT_EQ(qymgr_qy_set_override_handler(qykit::override_handler), nullptr) << "cleared after the last";
        qymgr_qy_query(c.text, c.exec, QY_FULL, QY_IGNORE);
        EXPECT_TRUE(qykit::default_events().empty());
        if (c.end_event) {
            ASSERT_EQ(qykit::override_events().size(), 2u);
            EXPECT_EQ(qykit::override_events()[0].event, QY_EVENT_EOB);
            EXPECT_EQ(qykit::override_events()[1].event, c.end_event);
        }
        qykit::on_pump() = nullptr;
        qykit::override_events().clear();
        qymgr_qy_query("TEST ROWS 1 long", QY_NOWAIT, QY_FULL, QY_REPORT);
        EXPECT_TRUE(qykit::override_events().empty()) << "the next query goes to the default handler";
        EXPECT_EQ(qykit::default_events().size(), 2u);
    }
}

TEST_F(Manager, SettingAnOverrideOverAnotherWarns)
{
    start_own();
    qykit::StderrCapture cap;
    qymgr_qy_set_override_handler(qykit::override_handler);
    QyHandler prev = qymgr_qy_set_override_handler(qykit::override_handler);
    std::string err = cap.stop();
    EXPECT_EQ(prev, qykit::override_handler);
    EXPECT_EQ(err, "Warning! QyMgr. Override handler already set\n");
}

TEST_F(Manager, FakeQueryDeliversTheCallersBufferAsAFullResult)
{
    start_own();
    std::vector<unsigned char> buffer(512, 0);
    int16_t t = DOZ_T_SHORT;
    memcpy(buffer.data(), &t, 2);
    qymgr_qy_set_override_handler(qykit::override_handler);
    EXPECT_EQ(qymgr_qy_fake_query(buffer.data(), 7, 300), buffer.data());
    std::vector<Event> want{{QY_EVENT_EOB, 7, 300, DOZ_T_SHORT}, {QY_EVENT_OK, 0, 0, DOZ_T_SHORT}};
    EXPECT_EQ(qykit::override_events(), want);
    EXPECT_EQ(qykit::readable(), 300u) << "a handler reads no further than the bytes given";
    EXPECT_TRUE(qykit::default_events().empty());
    EXPECT_EQ(qymgr_qy_rows(), 7);
    EXPECT_EQ(qymgr_qy_returned_data(), 1);
    qymgr_qy_fake_query(buffer.data(), 1, 100);
    EXPECT_EQ(qykit::default_events().size(), 2u) << "the override served one delivery";
}

// ---- connection ------------------------------------------------------------------

TEST_F(Manager, WithoutAConnectionAQueryReportsAndClearsTheOverride)
{
    start_own();
    qymgr_qy_term();
    qymgr_qy_set_override_handler(qykit::override_handler);
    qymgr_qy_query("PRINT 1", QY_WAIT, QY_FULL, QY_REPORT);
    EXPECT_EQ(qymgr_qy_ok(), 0);
    ASSERT_EQ(qykit::boxes().size(), 1u);
    EXPECT_EQ(qykit::boxes()[0].message, 4);
    EXPECT_FALSE(qykit::boxes()[0].text1.empty());
    EXPECT_EQ(qykit::pumps(), 0);
    EXPECT_TRUE(qykit::sent().empty());
    EXPECT_EQ(qymgr_qy_set_override_handler(nullptr), nullptr);
}

TEST_F(Manager, BusyModeAndStopProcedureOfTheWorkspaceAroundAWait)
{
    static int mode = 0;
    static std::vector<int> modes_seen;
    static QyStopProc stop = nullptr;
    static int installs = 0;
    QyWorkspaceHooks hooks{[] { return mode; }, [](int m) { mode = m; },
                           [](QyStopProc p) {
                               installs++;
                               QyStopProc prev = stop;
                               stop = p;
                               return prev;
                           }};
    qymgr_qy_set_workspace_hooks(&hooks);
    start_own();
    mode = 1;
    qykit::on_pump() = [] {
        modes_seen.push_back(mode);
        if (stop)
            stop();  // the workspace's Stop button
    };
    qymgr_qy_query("TEST HOLD", QY_BGROUND, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(qymgr_qy_stopped(), 1);
    ASSERT_FALSE(modes_seen.empty());
    EXPECT_EQ(modes_seen[0], 2) << "busy while it waits";
    EXPECT_EQ(mode, 1) << "restored";
    EXPECT_EQ(stop, nullptr) << "the previous Stop procedure is back";
    EXPECT_EQ(installs, 2);

    modes_seen.clear();
    qymgr_qy_query("PRINT 1", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(installs, 2) << "a NoWait query installs nothing";
    EXPECT_EQ(mode, 1);
    qymgr_qy_set_workspace_hooks(nullptr);
}

TEST_F(Manager, AttachCopiesTheRequestAndDetachLeavesNoConnection)
{
    // Another program's interpreter, with a request at the head of its buffer.
    int other = qytest::start();
    ASSERT_GE(other, 0);
    pid_t pid;
    int msqid, shmid;
    doz_get_server_details(other, &pid, &msqid, &shmid);
    auto *seg = static_cast<unsigned char *>(doz_get_qbuffer(other));
    for (int i = 0; i < 2056; i++)
        seg[i] = static_cast<unsigned char>(i * 7);

    struct Case {
        const char *what;
        pid_t pid;
        bool queries;
    };
    const Case cases[] = {{"attach", pid, true}, {"segment only", 0, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        qykit::boxes().clear();
        AppData tsl = qykit::resources(2);
        std::vector<unsigned char> record(2056, 0);
        qymgr_qy_init(&tsl, c.pid, msqid, shmid, record.data(), record.size(), 0);
        EXPECT_EQ(memcmp(record.data(), seg, 2056), 0);
        EXPECT_EQ(qymgr_qy_buffer_size(), 200000);
        qykit::StderrCapture cap;
        void *qb = qymgr_qy_query("PRINT 77", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
        std::string err = cap.stop();
        if (c.queries) {
            EXPECT_EQ(int_at(qb, 0), 77);
            EXPECT_EQ(int_at(seg, 0), 77) << "the same segment";
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(err, "Warning! QyMgr. Query attempted with no server connection!\n");
        }
        qymgr_qy_term();
        qymgr_qy_query("PRINT 1", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
        EXPECT_EQ(qykit::boxes().size(), 1u) << "no connection after the end";
        if (tsl.catd != NL_NO_CATALOGUE)
            nl_catclose(tsl.catd);
    }
    EXPECT_FALSE(doz_dead(other));
}

TEST_F(Manager, ARequestThatBorrowedTheConnectionGivesTheOwnOneBack)
{
    // The other program's interpreter, told apart by its user.
    int other = qytest::start();
    ASSERT_GE(other, 0);
    ad.user_name = const_cast<char *>("OWNER");
    start_own();
    pid_t opid, pid;
    int omsqid, oshmid, msqid, shmid;
    doz_get_server_details(other, &opid, &omsqid, &oshmid);
    query_get_server_details(&pid, &msqid, &shmid);

    auto user = [] {
        void *qb = qymgr_qy_query("PRINT SYSUSER()", QY_BGROUND, QY_SIMPLE, QY_REPORT);
        return std::string(static_cast<const char *>(qb), strnlen(static_cast<const char *>(qb), 31));
    };
    EXPECT_EQ(user(), "OWNER");

    struct Case {
        const char *what;
        pid_t pid;
        int msqid, shmid;
        const char *user;
    };
    const Case cases[] = {{"another interpreter", opid, omsqid, oshmid, "TESTER"},
                          {"the own interpreter", pid, msqid, shmid, "OWNER"}};
    // With and without the query window.
    for (int run_mode : {0, 1})
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.what) + " in run mode " + std::to_string(run_mode));
            ad.runMode = run_mode;
            std::vector<unsigned char> record(2056);
            qymgr_qy_init(&ad, c.pid, c.msqid, c.shmid, record.data(), record.size(), 0);
            EXPECT_EQ(user(), c.user);
            qymgr_qy_term();
            EXPECT_EQ(user(), "OWNER") << "the own connection is ready again";
            EXPECT_TRUE(qykit::boxes().empty());
        }
}

// ---- waits -----------------------------------------------------------------------

TEST_F(Manager, WaitingForAChildEndsOnItsExitAndReapsIt)
{
    start_own();
    struct Case {
        const char *what;
        bool expect_first;  // handler installed before the fork
        bool exits_at_once;
        int status;
    };
    const Case cases[] = {
        {"installed first, quick child", true, true, 3},
        {"installed first, child that waits", true, false, 4},
        {"installed late, quick child", false, true, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A bystander child that ends first must not end the wait.
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        pid_t bystander = fork();
        if (bystander == 0)
            _exit(0);
        if (c.expect_first)
            qymgr_qy_expect_signal(SIGCHLD);
        pid_t child = fork();
        if (child == 0) {
            close(go[1]);
            char b;
            if (!c.exits_at_once)
                while (read(go[0], &b, 1) < 0) {
                }
            _exit(c.status);
        }
        close(go[0]);
        qykit::pumps() = 0;
        qykit::on_pump() = [&] {
            if (qykit::pumps() == 5 && go[1] >= 0) {
                close(go[1]);  // let the waiting child go
                go[1] = -1;
            }
        };
        if (c.exits_at_once) {
            close(go[1]);
            go[1] = -1;
        }
        EXPECT_EQ(qymgr_qy_process_events_till_signal(SIGCHLD, child), c.status);
        qykit::on_pump() = nullptr;
        if (go[1] >= 0)
            close(go[1]);
        errno = 0;
        EXPECT_EQ(waitpid(child, nullptr, WNOHANG), -1) << "reaped: no zombie";
        EXPECT_EQ(errno, ECHILD);
        waitpid(bystander, nullptr, 0);
        if (!c.exits_at_once) {
            EXPECT_GE(qykit::pumps(), 5) << "events were processed while it ran";
        }
    }
    // The library still notices its interpreter afterwards.
    qymgr_qy_query("PRINT 1", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_EQ(qymgr_qy_ok(), 1);
}

TEST_F(Manager, WaitingForAnotherSignal)
{
    start_own();
    qykit::on_pump() = [] {
        if (qykit::pumps() == 2)
            raise(SIGUSR2);
    };
    struct sigaction before;
    sigaction(SIGUSR2, nullptr, &before);
    EXPECT_EQ(qymgr_qy_process_events_till_signal(SIGUSR2), 0);
    EXPECT_GE(qykit::pumps(), 2);
    struct sigaction after;
    sigaction(SIGUSR2, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << "the previous handler is back";
}

TEST_F(Manager, WaitForTheDataNoticeReturnsWhenNoDataCame)
{
    start_own();
    volatile int handled = 0;
    struct Case {
        const char *what;
        const char *text;
        int buffer;
    };
    const Case cases[] = {{"a Simple query", "PRINT 1", QY_SIMPLE},
                          {"a failed query", "NOT A STATEMENT", QY_FULL},
                          {"a Full query with data but no display", "TEST ROWS 1 long", QY_FULL}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        qymgr_qy_query(c.text, QY_NOWAIT, c.buffer, QY_IGNORE);
        qykit::pumps() = 0;
        qykit::StderrCapture cap;
        qymgr_qy_wait_for_data_handled(&handled);
        cap.stop();
        EXPECT_EQ(qykit::pumps(), 0);
    }
}

}  // namespace
