// Queries and their rows through the real interpreter: every value type
// and array shape in Full, Simple and Write modes, results over several
// buffers, stopping, the asynchronous path, callbacks and error texts.

#include "dozrow.h"
#include "qytest.h"
#include "vxcat.h"

#include <atomic>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <thread>

using namespace std::chrono_literals;
using qytest::Interpreter;

namespace {

// Every type and array shape; the interpreter generates the values of
// "TEST ROWS" by the rule written in docs/interpreter-protocol.md.
const char all_types[] =
    "long, short, tiny, real, sreal, complex, date, time, bool, char, blob, string(7), "
    "long[3], real[<=3], date[2], tiny[<=5], complex[<=2], sreal[2], short[<=4], time[<=2], string(0)";

struct Shape {
    int type;
    int count;
    int width;
};
const Shape all_shapes[] = {
    {DOZ_T_LONG, 0, 0},    {DOZ_T_SHORT, 0, 0},   {DOZ_T_TINY, 0, 0},    {DOZ_T_REAL, 0, 0},
    {DOZ_T_SREAL, 0, 0},   {DOZ_T_COMPLEX, 0, 0}, {DOZ_T_DATE, 0, 0},    {DOZ_T_TIME, 0, 0},
    {DOZ_T_BOOL, 0, 0},    {DOZ_T_CHAR, 0, 0},    {DOZ_T_BLOB, 0, 0},    {DOZ_T_STRING, 0, 7},
    {DOZ_T_LONG, 3, 0},    {DOZ_T_REAL, -3, 0},   {DOZ_T_DATE, 2, 0},    {DOZ_T_TINY, -5, 0},
    {DOZ_T_COMPLEX, -2, 0}, {DOZ_T_SREAL, 2, 0},  {DOZ_T_SHORT, -4, 0},  {DOZ_T_TIME, -2, 0},
    {DOZ_T_STRING, 0, 0},
};

std::vector<DozColDesc> columns_of(std::span<const Shape> shapes)
{
    std::vector<DozColDesc> cols;
    for (const Shape &s : shapes) {
        DozColDesc d{};
        d.type = static_cast<int16_t>(s.type);
        d.count = s.count;
        d.width = static_cast<int16_t>(s.width);
        cols.push_back(d);
    }
    return cols;
}

// The bytes of element e of column c in row r, by the documented rule.
std::vector<unsigned char> expected_element(int type, int r, int c, int e)
{
    long v = r * 100L + c * 10 + e;
    std::vector<unsigned char> b;
    auto put = [&b](const auto &x) {
        const auto *p = reinterpret_cast<const unsigned char *>(&x);
        b.assign(p, p + sizeof x);
    };
    switch (type) {
    case DOZ_T_LONG: put(static_cast<int32_t>(v)); break;
    case DOZ_T_SHORT: put(static_cast<int16_t>(v % 30000)); break;
    case DOZ_T_TINY: put(static_cast<uint8_t>(v % 256)); break;
    case DOZ_T_REAL: put(static_cast<double>(v) + 0.25); break;
    case DOZ_T_SREAL: put(static_cast<float>(v) + 0.5f); break;
    case DOZ_T_COMPLEX: {
        double x[2] = {v + 0.25, -v - 0.5};
        put(x);
        break;
    }
    case DOZ_T_DATE: {
        int16_t x[3] = {static_cast<int16_t>(1900 + v % 200), static_cast<int16_t>(1 + v % 12),
                        static_cast<int16_t>(1 + v % 28)};
        put(x);
        break;
    }
    case DOZ_T_TIME: {
        int16_t x[3] = {static_cast<int16_t>(v % 24), static_cast<int16_t>(v % 60), static_cast<int16_t>(v / 7 % 60)};
        put(x);
        break;
    }
    case DOZ_T_BOOL: put(static_cast<uint8_t>(v % 2)); break;
    case DOZ_T_CHAR: put(static_cast<uint8_t>('A' + v % 26)); break;
    case DOZ_T_BLOB: {
        DozBlobDesc x{};
        x.prefix[0] = 'B';
        x.id1 = r + 1;
        x.id2 = c;
        x.size = static_cast<int32_t>(v);
        put(x);
        break;
    }
    }
    return b;
}

// Checks one received row field by field against the rule.
void check_row(const unsigned char *row, const DozLayout &l, std::span<const Shape> shapes, int r)
{
    for (size_t ci = 0; ci < shapes.size(); ci++) {
        const int c = static_cast<int>(ci);
        const DozField &f = l.fields[ci];
        int count;
        bool present;
        const unsigned char *v = doz_get(row, f, &count, &present);
        bool null = (r + c) % 5 == 4;
        if (l.flags) {
            ASSERT_EQ(present, !null) << "row " << r << " column " << c;
        }
        if (null) {
            for (int i = 0; i < f.elem_size * f.room; i++)
                ASSERT_EQ(v[i], 0) << "a null's room is cleared: row " << r << " column " << c;
            continue;
        }
        if (shapes[ci].type == DOZ_T_STRING) {
            std::string s = "r" + std::to_string(r) + "c" + std::to_string(c);
            s.resize(std::min<size_t>(s.size(), static_cast<size_t>(shapes[ci].width)));
            ASSERT_STREQ(reinterpret_cast<const char *>(v), s.c_str()) << "row " << r << " column " << c;
            continue;
        }
        int want = f.var ? (r + c) % (f.room + 1) : f.room;
        ASSERT_EQ(count, want) << "row " << r << " column " << c;
        for (int e = 0; e < f.room; e++) {
            auto x = expected_element(shapes[ci].type, r, c, e);
            std::vector<unsigned char> got(v + e * f.elem_size, v + (e + 1) * f.elem_size);
            if (e < want) {
                ASSERT_EQ(got, x) << "row " << r << " column " << c << " element " << e;
            } else {
                ASSERT_EQ(got, std::vector<unsigned char>(x.size(), 0)) << "unused room, row " << r;
            }
        }
    }
}

// Full-mode rows as the end-of-buffer procedure received them.
struct Received {
    std::vector<std::vector<unsigned char>> rows;
    std::vector<int> per_buffer;
    std::vector<int> had_table;
    std::vector<DozColDesc> table;
    DozLayout layout;
    int bad = 0;
    int abort_after = -1;  // buffers; then doz_abort
} got;

// The reader of the connection's result buffer.
DozReader reader;

void collect(int cid, int rows)
{
    got.per_buffer.push_back(rows);
    init_buffer(reader, doz_get_qbuffer(cid), static_cast<size_t>(doz_get_qbuffersize(cid)));
    int had = 0;
    if (empty_buffer(reader) || prepare_buffer(reader, &had) != 0) {
        got.bad++;
        return;
    }
    got.had_table.push_back(had);
    if (had) {
        got.table = tinfo_table(reader);
        doz_layout(got.table, true, got.layout);
    }
    size_t header = static_cast<size_t>(buffer_cursor(reader) - static_cast<unsigned char *>(doz_get_qbuffer(cid)));
    if (doz_get_data_bytes(cid) != header + static_cast<size_t>(rows) * got.layout.row_size)
        got.bad++;
    for (int k = 0; k < rows; k++) {
        const unsigned char *at = buffer_cursor(reader);
        got.rows.emplace_back(at, at + got.layout.row_size);
        set_buffer_cursor(reader, buffer_cursor(reader) + got.layout.row_size);
        align_row(reader);
    }
    if (got.abort_after >= 0 && static_cast<int>(got.per_buffer.size()) == got.abort_after)
        doz_abort(cid);
}

void reset_received() { got = Received{}; }

int status_at(int cid, int i)
{
    int st[6];
    doz_get_qstatus(cid, st);
    return st[i];
}

const uint32_t FULL_WAIT = DOZ_M_FULL | DOZ_M_WAIT;

TEST_F(Interpreter, FullModeCarriesEveryTypeExactly)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    reset_received();
    doz_set_eob_proc(cid, collect);
    const int n = 12;
    std::string q = "TEST ROWS " + std::to_string(n) + " " + all_types;
    ASSERT_EQ(doz_querym(cid, q.c_str(), FULL_WAIT), 0);
    EXPECT_EQ(doz_error(cid), 0) << status_at(cid, 1);
    EXPECT_EQ(status_at(cid, DOZ_ST_ROWS), n);
    EXPECT_EQ(got.bad, 0);
    ASSERT_EQ(got.per_buffer, std::vector<int>{n});
    ASSERT_EQ(got.table.size(), std::size(all_shapes));
    for (size_t i = 0; i < got.table.size(); i++) {
        EXPECT_EQ(got.table[i].type, all_shapes[i].type) << i;
        EXPECT_EQ(got.table[i].count, all_shapes[i].count) << i;
        EXPECT_EQ(got.table[i].name, "C" + std::to_string(i + 1));
    }
    EXPECT_EQ(got.table[3].width, 14);
    EXPECT_EQ(got.table[3].precision, 4);
    EXPECT_EQ(got.table[11].width, 7) << "a string's declared length";
    ASSERT_EQ(got.rows.size(), static_cast<size_t>(n));
    for (int r = 0; r < n; r++)
        check_row(got.rows[r].data(), got.layout, all_shapes, r);
    // One spot check by raw offsets: row 1's long (present, 100) at 4.
    int32_t v;
    memcpy(&v, got.rows[1].data() + 4, 4);
    EXPECT_EQ(got.rows[1][0], 1);
    EXPECT_EQ(v, 100);
}

TEST_F(Interpreter, SimpleModeHasBareValues)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    const int n = 3;
    std::string q = "TEST ROWS " + std::to_string(n) + " " + all_types;
    ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT), 0);
    ASSERT_EQ(doz_error(cid), 0);
    DozLayout l;
    auto cols = columns_of(all_shapes);
    ASSERT_TRUE(doz_layout(cols, false, l));
    EXPECT_EQ(status_at(cid, DOZ_ST_ROWS), n);
    EXPECT_EQ(doz_get_data_bytes(cid), static_cast<uint32_t>(n * l.row_size));
    auto *b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    for (int r = 0; r < n; r++)
        check_row(b + r * l.row_size, l, all_shapes, r);

    // PRINT of literals: each value where the bare layout puts it.
    ASSERT_EQ(doz_querym(cid, "TEST PRINT REVISION(), 'it''s', 7, TRUE, 2.5, SYSUSER()", DOZ_M_WAIT), 0);
    ASSERT_EQ(doz_error(cid), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(b), "3.10");
    EXPECT_STREQ(reinterpret_cast<char *>(b + 31), "it's");
    int32_t seven;
    memcpy(&seven, b + 36, 4);
    EXPECT_EQ(seven, 7);
    EXPECT_EQ(b[40], 1);
    double d;
    memcpy(&d, b + 48, 8);
    EXPECT_EQ(d, 2.5);
    EXPECT_STREQ(reinterpret_cast<char *>(b + 56), "TESTER");
    float rev = 0;
    EXPECT_EQ(sscanf(reinterpret_cast<char *>(b), "%f", &rev), 1);
    EXPECT_GE(rev, 3.0f);

    // The revision as the client's start-up asks for it, of whatever
    // engine the interpreter runs: a text reading 3.0 or above.
    memset(b, 0, 64);
    ASSERT_EQ(doz_querym(cid, "PRINT REVISION()", DOZ_M_WAIT), 0);
    ASSERT_EQ(doz_error(cid), 0);
    rev = 0;
    EXPECT_EQ(sscanf(reinterpret_cast<char *>(b), "%f", &rev), 1) << reinterpret_cast<char *>(b);
    EXPECT_GE(rev, 3.0f);
}

TEST_F(Interpreter, WriteModeRowsComeBackBitExact)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    auto cols = columns_of(all_shapes);
    DozLayout l;
    ASSERT_TRUE(doz_layout(cols, true, l));
    // Pack rows the way a load does: presence bytes, no table, from 0.
    const int n = 7;
    auto *b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    memset(b, 0, static_cast<size_t>(n) * l.row_size);
    for (int r = 0; r < n; r++)
        for (size_t c = 0; c < cols.size(); c++) {
            const DozField &f = l.fields[c];
            std::vector<unsigned char> elems;
            for (int e = 0; e < f.room; e++) {
                auto x = all_shapes[c].type == DOZ_T_STRING ? std::vector<unsigned char>{'w', 'x', 0}
                                                             : expected_element(all_shapes[c].type, r + 50,
                                                                                static_cast<int>(c), e);
                elems.insert(elems.end(), x.begin(), x.end());
            }
            bool present = (r * 3 + static_cast<int>(c)) % 4 != 0;
            doz_put(b + r * l.row_size, f, elems.data(), f.var ? (r + 1) % (f.room + 1) : f.room, present);
        }
    std::vector<unsigned char> sent(b, b + n * l.row_size);

    ASSERT_EQ(doz_set_buffer_rows(cid, n), 0);
    std::string q = std::string("TEST STORE ") + all_types;
    ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT | DOZ_M_FLAGS), 0);
    EXPECT_EQ(doz_error(cid), 0) << status_at(cid, 1);
    EXPECT_EQ(status_at(cid, DOZ_ST_ROWS), n);
    ASSERT_EQ(doz_set_buffer_rows(cid, 0), 0);

    reset_received();
    doz_set_eob_proc(cid, collect);
    ASSERT_EQ(doz_querym(cid, "TEST FETCH", FULL_WAIT), 0);
    ASSERT_EQ(got.rows.size(), static_cast<size_t>(n));
    std::vector<unsigned char> back;
    for (auto &row : got.rows)
        back.insert(back.end(), row.begin(), row.end());
    EXPECT_EQ(back, sent);

    // More rows announced than the buffer holds: refused, not read past.
    ASSERT_EQ(doz_set_buffer_rows(cid, 200000 / l.row_size + 1), 0);
    ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT | DOZ_M_FLAGS), 0);
    EXPECT_EQ(status_at(cid, 1), -6);
}

TEST_F(Interpreter, LongResultsArriveOverSeveralBuffers)
{
    struct Case {
        int size, rows_per_buffer, n;
        std::vector<int> expect;
    } cases[] = {
        {200000, 1000, 2500, {1000, 1000, 500}},
        // The buffer size limits a fill: 128 header bytes first, 64 later.
        {4096, 1000, 1200, {(4096 - 128) / 8, (4096 - 64) / 8, 1200 - 496 - 504}},
    };
    for (auto &c : cases) {
        int cid = qytest::start(c.size);
        ASSERT_GE(cid, 0);
        ASSERT_EQ(doz_set_buffer_rows(cid, c.rows_per_buffer), 0);
        reset_received();
        doz_set_eob_proc(cid, collect);
        std::string q = "TEST ROWS " + std::to_string(c.n) + " long";
        ASSERT_EQ(doz_querym(cid, q.c_str(), FULL_WAIT), 0);
        EXPECT_EQ(doz_error(cid), 0);
        EXPECT_EQ(got.per_buffer, c.expect);
        EXPECT_EQ(got.bad, 0);
        std::vector<int> tables(c.expect.size(), 0);
        tables[0] = 1;
        EXPECT_EQ(got.had_table, tables);
        EXPECT_EQ(status_at(cid, DOZ_ST_ROWS), c.n);
        EXPECT_EQ(doz_get_data_bytes(cid), 0u);
        ASSERT_EQ(got.rows.size(), static_cast<size_t>(c.n));
        const Shape one[] = {{DOZ_T_LONG, 0, 0}};
        for (int r = 0; r < c.n; r++)
            check_row(got.rows[r].data(), got.layout, one, r);
        doz_term(cid);
    }
}

TEST_F(Interpreter, NoRowsAndNoEvaluation)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    reset_received();
    doz_set_eob_proc(cid, collect);
    // No rows: no end of buffer at all.
    ASSERT_EQ(doz_querym(cid, "TEST ROWS 0 long, real", FULL_WAIT), 0);
    EXPECT_EQ(doz_error(cid), 0);
    EXPECT_TRUE(got.per_buffer.empty());
    // Checked only: one buffer with the descriptor table and no rows.
    ASSERT_EQ(doz_querym(cid, "TEST ROWS 50 long, real", FULL_WAIT | DOZ_M_NOEVAL), 0);
    EXPECT_EQ(doz_error(cid), 0);
    EXPECT_EQ(got.per_buffer, std::vector<int>{0});
    EXPECT_EQ(got.table.size(), 2u);
    EXPECT_EQ(status_at(cid, DOZ_ST_ROWS), 0);
    // Without evaluation a statement that would hold still returns.
    ASSERT_EQ(doz_querym(cid, "TEST HOLD", DOZ_M_WAIT | DOZ_M_NOEVAL), 0);
    EXPECT_EQ(doz_error(cid), 0);
}

TEST_F(Interpreter, StopEndsAQueryWithCodeSeven)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    ASSERT_EQ(doz_set_buffer_rows(cid, 100), 0);
    reset_received();
    got.abort_after = 3;
    doz_set_eob_proc(cid, collect);
    ASSERT_EQ(doz_querym(cid, "TEST ROWS 1000000 long", FULL_WAIT), 0);
    EXPECT_EQ(doz_error(cid), 1);
    EXPECT_EQ(status_at(cid, 1), DOZ_CODE_STOPPED);
    EXPECT_GE(got.per_buffer.size(), 3u);
    EXPECT_LT(got.per_buffer.size(), 10000u);
    EXPECT_EQ(status_at(cid, DOZ_ST_ROWS), static_cast<int>(got.rows.size()));

    // Stopped from elsewhere while nothing comes back.  An abort that
    // reaches the interpreter before it has taken the statement from its
    // queue is not kept for the statement, so the stopper repeats it while
    // the request is pending, as the query manager does.
    std::thread stopper([&] {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        if (!vxtest::wait_for([&] { return doz_busy(cid) == 1; }, 10s))
            return;
        vxtest::wait_for(
            [&] {
                if (doz_busy(cid) != 1)
                    return true;
                doz_abort(cid);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return false;
            },
            30s);
    });
    ASSERT_EQ(doz_querym(cid, "TEST HOLD", DOZ_M_WAIT), 0);
    stopper.join();
    EXPECT_EQ(status_at(cid, 1), DOZ_CODE_STOPPED);

    // The connection goes on as before.
    doz_set_eob_proc(cid, nullptr);
    ASSERT_EQ(doz_querym(cid, "TEST PRINT 11", DOZ_M_WAIT), 0);
    EXPECT_EQ(doz_error(cid), 0);
    int32_t v;
    memcpy(&v, doz_get_qbuffer(cid), 4);
    EXPECT_EQ(v, 11);
}

int done_calls = 0;
void count_done(int) { done_calls++; }

TEST_F(Interpreter, AsynchronousQueriesDeliverEveryMessage)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    ASSERT_EQ(doz_mode(cid, "WAIT", 0), 0);
    reset_received();
    doz_set_eob_proc(cid, collect);
    done_calls = 0;
    ASSERT_EQ(doz_set_done_proc(cid, count_done), 0);

    // Waited for with doz_qwait.
    ASSERT_EQ(doz_querym(cid, "TEST ROWS 2500 long, string(12)", DOZ_M_FULL | DOZ_M_SIGNAL_DONE), 0);
    ASSERT_EQ(doz_qwait(cid), 0);
    EXPECT_EQ(doz_busy(cid), 0);
    EXPECT_EQ(doz_error(cid), 0);
    EXPECT_EQ(got.per_buffer, (std::vector<int>{1000, 1000, 500}));
    EXPECT_EQ(done_calls, 1);
    const Shape two[] = {{DOZ_T_LONG, 0, 0}, {DOZ_T_STRING, 0, 12}};
    ASSERT_EQ(got.rows.size(), 2500u);
    for (int r = 0; r < 2500; r++)
        check_row(got.rows[r].data(), got.layout, two, r);

    // Served from the signal pipe, as a main loop does.
    reset_received();
    ASSERT_EQ(doz_querym(cid, "TEST ROWS 1500 long", DOZ_M_FULL | DOZ_M_SIGNAL_DONE), 0);
    EXPECT_EQ(doz_busy(cid), 1);
    int fd = doz_signal_fd();
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(vxtest::wait_for(
        [&] {
            struct pollfd p {fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0)
                doz_handle_signals();
            return doz_busy(cid) == 0;
        },
        20s));
    EXPECT_EQ(got.per_buffer, (std::vector<int>{1000, 500}));
    EXPECT_EQ(done_calls, 2);
    EXPECT_EQ(doz_current_modes(cid) & DOZ_M_WAIT, 0u);
}

TEST_F(Interpreter, StraySignalsNeverTakeAWaitingRequestsAnswer)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    // The SIGUSR1 handler is in place once WAIT was cleared.
    ASSERT_EQ(doz_mode(cid, "WAIT", 0), 0);
    ASSERT_EQ(doz_mode(cid, "WAIT", 1), 0);
    std::atomic<bool> stop{false};
    std::thread storm([&] {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);  // the signals go to the waiting thread
        while (!stop) {
            kill(getpid(), SIGUSR1);
            std::this_thread::yield();
        }
    });
    reset_received();
    doz_set_eob_proc(cid, collect);
    for (int i = 0; i < 5; i++) {
        ASSERT_EQ(doz_querym(cid, "TEST ROWS 3000 long", FULL_WAIT), 0) << i;
        EXPECT_EQ(doz_busy(cid), 0);
        EXPECT_EQ(doz_error(cid), 0);
    }
    stop = true;
    storm.join();
    doz_handle_signals();
    EXPECT_EQ(got.rows.size(), 5u * 3000u);
}

std::string asked;
int answer_with = 0;
bool abort_in_callback = false;
int callback_cid = -1;
void confirm(const char *q, int *answer)
{
    asked = q;
    if (abort_in_callback) {
        doz_abort(callback_cid);
        EXPECT_TRUE(doz_callback_abandoned());
    }
    *answer = answer_with;
}
std::string echoed;
void echo(int a, const char *text, int b) { echoed = std::to_string(a) + " " + text + " " + std::to_string(b); }
void getresp(const char *prompt, char *response, int flag)
{
    asked = prompt + std::string(" ") + std::to_string(flag);
    strcpy(response, "Fred");
}

TEST_F(Interpreter, CallbacksAndTheirReplies)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    callback_cid = cid;
    doz_set_callback_proc(DOZ_CB_CONFIRM, reinterpret_cast<DozCallback>(confirm));
    doz_set_callback_proc(DOZ_CB_ECHO, reinterpret_cast<DozCallback>(echo));
    doz_set_callback_proc(DOZ_CB_GETRESP, reinterpret_cast<DozCallback>(getresp));
    auto *b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    int32_t v;

    answer_with = 1;
    ASSERT_EQ(doz_querym(cid, "TEST CONFIRM 'Drop it?'", DOZ_M_WAIT), 0);
    EXPECT_EQ(asked, "Drop it?");
    memcpy(&v, b, 4);
    EXPECT_EQ(v, 1);

    // Abandoned by an abort: the answer sent is 0 whatever the procedure said.
    abort_in_callback = true;
    ASSERT_EQ(doz_querym(cid, "TEST CONFIRM 'Again?'", DOZ_M_WAIT), 0);
    abort_in_callback = false;
    EXPECT_EQ(status_at(cid, DOZ_ST_FIFTH), 0);
    EXPECT_EQ(status_at(cid, 1), DOZ_CODE_STOPPED);

    ASSERT_EQ(doz_querym(cid, "TEST ECHO 3 4 'hello'", DOZ_M_WAIT), 0);
    EXPECT_EQ(echoed, "3 hello 4");
    ASSERT_EQ(doz_querym(cid, "TEST GETRESP 'Name?' -1", DOZ_M_WAIT), 0);
    EXPECT_EQ(asked, "Name? -1");
    EXPECT_STREQ(reinterpret_cast<char *>(b), "Fred");

    // Without procedures: answer 0, empty response.
    for (int k : {DOZ_CB_CONFIRM, DOZ_CB_ECHO, DOZ_CB_GETRESP})
        doz_set_callback_proc(k, nullptr);
    ASSERT_EQ(doz_querym(cid, "TEST CONFIRM 'Sure?'", DOZ_M_WAIT), 0);
    memcpy(&v, b, 4);
    EXPECT_EQ(v, 0);
    ASSERT_EQ(doz_querym(cid, "TEST GETRESP 'Who?' 0", DOZ_M_WAIT), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(b), "");
}

TEST_F(Interpreter, ErrorAndStatusTexts)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    EXPECT_EQ(doz_query(cid, "TEST NO SUCH STATEMENT"), 0);
    EXPECT_EQ(doz_error(cid), 1);
    int code, code2, code3, rows, fifth;
    doz_status(cid, &code, &code2, &code3, &rows, &fifth);
    EXPECT_EQ(code, -2);
    char t1[81], t2[81], t3[81];
    ASSERT_EQ(doz_mess(cid, t1, t2, t3), 0);
    EXPECT_STREQ(t1, "Error -2") << "a code the catalogue has no text for";
    EXPECT_STREQ(t2, "");
    EXPECT_STREQ(t3, "");
    // The codes of a test statement are looked up in the interpreter's
    // catalogue by number, each text in its place: query, database, filer.
    int status_block[6] = {1, 7, 16, 9, 0, 0};
    ASSERT_EQ(doz_set_qstatus(cid, status_block), 0);
    ASSERT_EQ(doz_mess(cid, t1, t2, t3), 0);
    int opened = 0;
    nl_catd kernel = open_msg_catalogue(vxtest::install_dir().c_str(), "kernel", &opened);
    ASSERT_NE(kernel, NL_NO_CATALOGUE);
    EXPECT_STREQ(t1, nl_catgets(kernel, 21, 7));
    EXPECT_STREQ(t2, nl_catgets(kernel, 21, 16));
    EXPECT_STREQ(t3, nl_catgets(kernel, 21, 9));
    EXPECT_STRNE(t1, "");
    nl_catclose(kernel);
    char status[82];
    ASSERT_EQ(doz_status_mess(cid, status), 0);
    EXPECT_STREQ(status, "idle, user TESTER");
    EXPECT_EQ(doz_clear_error(cid), 0);
    EXPECT_EQ(doz_error(cid), 0);

    // A list of statements stops at the first that fails.
    EXPECT_EQ(doz_Query(cid, "TEST PRINT 1", "TEST BAD ONE", "TEST PRINT 2", nullptr), 0);
    EXPECT_EQ(status_at(cid, 1), -2);
    EXPECT_EQ(doz_Query(cid, nullptr), 0);

    EXPECT_EQ(doz_authorise(cid, 0x4000), 1);
    EXPECT_EQ(doz_set_format_option(cid, 1), 0);
    EXPECT_EQ(doz_error(cid), 0);
}

}  // namespace
