// The DOZ interpreter on a table of 1,000,000 rows: a full DISPLAY to the
// client, a filtered DISPLAY, a GROUP with two aggregates, a SELECT into
// a new table, a SEQUENCE BY and a full DISPLAY in that order; beside each, the same work done directly through
// SQLite's C API on a table of the same rows, in the same run.  The ratio
// shows what the interpreter (statement engine, row layout, message
// queue and shared buffer) adds over its storage.  Each statement runs
// several times on each side, the side that goes first alternating; the
// report gives the medians, and the peak memory of an interpreter started
// just before the full DISPLAYs (its resident high-water mark).
//
// Usage: bench_doz [--out FILE] [--rows N] [--samples N]
// The interpreter is the one just built, copied with the modes the client
// checks into a private server directory.

#include "dozrow.h"
#include "qysched.h"
#include "vxbench.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

size_t rows_read = 0;
double checksum = 0;
double last_value = 0;  // the last value SQLite gave

// The reader of the connection's result buffer.
DozReader reader;

// The client's side of a Full result: every value read out of the buffer.
void read_rows(int cid, int rows)
{
    auto *b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    init_buffer(reader, b, static_cast<size_t>(doz_get_qbuffersize(cid)));
    int had;
    if (empty_buffer(reader) || prepare_buffer(reader, &had) != 0)
        return;
    static DozLayout layout;
    if (had)
        doz_layout(tinfo_table(reader), true, layout);
    for (int k = 0; k < rows; k++) {
        const unsigned char *row = buffer_cursor(reader);
        for (const DozField &f : layout.fields) {
            int n;
            bool present;
            const unsigned char *v = doz_get(row, f, &n, &present);
            if (present && f.type == DOZ_T_REAL) {
                double d;
                memcpy(&d, v, 8);
                checksum += d;
            } else if (present && f.type == DOZ_T_LONG) {
                int32_t x;
                memcpy(&x, v, 4);
                checksum += x;
            }
        }
        set_buffer_cursor(reader, buffer_cursor(reader) + layout.row_size);
        align_row(reader);
    }
    rows_read += static_cast<size_t>(rows);
}

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void must(int cid, const std::string &q, uint32_t modes = DOZ_M_WAIT)
{
    doz_querym(cid, q.c_str(), modes);
    if (doz_error(cid)) {
        int st[6];
        doz_get_qstatus(cid, st);
        fprintf(stderr, "%s: codes %d %d %d\n", q.c_str(), st[1], st[2], st[3]);
        exit(1);
    }
}

double doz_timed(int cid, const std::string &q, uint32_t modes, size_t *rows)
{
    rows_read = 0;
    auto t0 = Clock::now();
    must(cid, q, modes);
    double s = seconds_since(t0);
    int st[6];
    doz_get_qstatus(cid, st);
    *rows = (modes & DOZ_M_EOB) ? rows_read : static_cast<size_t>(st[4]);
    return s;
}

void sql(sqlite3 *db, const char *text)
{
    char *err = nullptr;
    if (sqlite3_exec(db, text, nullptr, nullptr, &err) != SQLITE_OK) {
        fprintf(stderr, "%s: %s\n", text, err ? err : "?");
        exit(1);
    }
}

// Steps a query, reading every column as the client would.
double sqlite_read(sqlite3 *db, const char *text, size_t *rows)
{
    auto t0 = Clock::now();
    sqlite3_stmt *st;
    sqlite3_prepare_v2(db, text, -1, &st, nullptr);
    size_t n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); c++) {
            last_value = sqlite3_column_double(st, c);
            checksum += last_value;
        }
        n++;
    }
    sqlite3_finalize(st);
    *rows = n;
    return seconds_since(t0);
}

double sqlite_change(sqlite3 *db, const char *text)
{
    auto t0 = Clock::now();
    sql(db, "BEGIN IMMEDIATE");
    sql(db, text);
    sql(db, "COMMIT");
    return seconds_since(t0);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The interpreter: the child process of ours that runs it.
long server_pid()
{
    std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
    long pid = 0, found = 0;
    while (children >> pid) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        comm >> name;
        if (name == "tqlserver")
            found = pid;
    }
    return found;
}

// A process's resident high-water mark in KB, or -1.
long peak_kb(long pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return atol(line.c_str() + 6);
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out = std::string(VX_RESULTS_DIR) + "/doz.txt";
    long nrows = 1000000;
    int samples = 5;
    const char *only = nullptr;  // the statements whose description holds this text
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!strcmp(argv[i], "--rows") && i + 1 < argc)
            nrows = atol(argv[++i]);
        else if (!strcmp(argv[i], "--samples") && i + 1 < argc)
            samples = std::max(1, atoi(argv[++i]));
        else if (!strcmp(argv[i], "--only") && i + 1 < argc)
            only = argv[++i];
        else {
            fprintf(stderr, "usage: %s [--out FILE] [--rows N] [--samples N] [--only TEXT]\n", argv[0]);
            return 2;
        }
    }
    if (nrows < 2)
        nrows = 2;

    fs::path dir = vxbench::private_server(VX_TQLSERVER);

    int cid = -1;
    if (doz_init(&cid, "", "BENCH", DOZ_START_WORD) != 0 || !doz_create_buffer(cid, 200000) ||
        doz_set_buffer_rows(cid, 1000) != 0) {
        fprintf(stderr, "cannot start the interpreter\n");
        return 1;
    }
    doz_set_eob_proc(cid, read_rows);

    // The table BIG: ID 0..n-1, GRP = ID mod 100, VAL a spread of reals.
    auto t0 = Clock::now();
    must(cid, "CREATE DATABASE BENCH");
    must(cid, "OPEN BENCH EXCLUSIVE");
    must(cid, "CREATE ITEM ID AS LONG(8)");
    must(cid, "CREATE ITEM GRP AS SHORT(3)");
    must(cid, "CREATE ITEM VAL AS REAL(12,3)");
    must(cid, "CREATE BIG[" + std::to_string(nrows) + "] AS ID PRIMARY,GRP ,VAL");
    must(cid, "SELECT 0 AS ID,0 AS GRP,0.0 AS VAL FROMVAR TO BIG");
    const std::string expr_val = "FLOAT((ID+%K)*13-((ID+%K)*13/10007)*10007)/10.0";
    for (long k = 1; k < nrows; k *= 2) {
        std::string ks = std::to_string(k), v = expr_val;
        for (size_t at; (at = v.find("%K")) != std::string::npos;)
            v.replace(at, 2, ks);
        must(cid, "SELECT ID+" + ks + " AS ID,(ID+" + ks + ")-((ID+" + ks + ")/100)*100 AS GRP," + v +
                      " AS VAL FROM BIG WHERE ID+" + ks + "<" + std::to_string(nrows) + " TO BIG");
    }
    double build = seconds_since(t0);

    // A fresh interpreter for the measured statements, so that its memory
    // figures are theirs and not the building's.
    must(cid, "CLOSE");
    doz_term(cid);
    if (doz_init(&cid, "", "BENCH", DOZ_START_WORD) != 0 || !doz_create_buffer(cid, 200000) ||
        doz_set_buffer_rows(cid, 1000) != 0) {
        fprintf(stderr, "cannot restart the interpreter\n");
        return 1;
    }
    doz_set_eob_proc(cid, read_rows);
    must(cid, "OPEN BENCH EXCLUSIVE");

    // The same rows in a plain SQLite table, with the storage's settings
    // (opened as it opens its databases: a connection used by one thread
    // at a time, so SQLite takes no lock of its own on every call).
    sqlite3 *db;
    sqlite3_open_v2((dir / "plain.sqlite").c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                    nullptr);
    sql(db, "PRAGMA page_size=32768");
    sql(db, "PRAGMA journal_mode=WAL");
    sql(db, "PRAGMA synchronous=FULL");
    sql(db, "CREATE TABLE big(id INTEGER PRIMARY KEY, grp INTEGER, val REAL)");
    sql(db, "BEGIN");
    {
        sqlite3_stmt *ins;
        sqlite3_prepare_v2(db, "INSERT INTO big VALUES(?,?,?)", -1, &ins, nullptr);
        for (long id = 0; id < nrows; id++) {
            sqlite3_bind_int64(ins, 1, id);
            sqlite3_bind_int(ins, 2, static_cast<int>(id % 100));
            sqlite3_bind_double(ins, 3, static_cast<double>(id * 13 % 10007) / 10.0);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
    }
    sql(db, "COMMIT");

    struct Work {
        const char *what;
        std::string doz;
        uint32_t modes;
        const char *sqlite;
        const char *counted;  // the new table of a change, whose rows are counted after it
        const char *doz_drop;  // what the DOZ side drops before each sample
        const char *sqlite_undo = nullptr;  // a change the SQLite side takes back before each sample
    } work[] = {
        {"full DISPLAY to the client", "DISPLAY ID,GRP,VAL FROM BIG", DOZ_M_FULL | DOZ_M_WAIT,
         "SELECT id,grp,val FROM big", nullptr, nullptr},
        {"filtered DISPLAY (VAL < 100, about 10%)", "DISPLAY ID,VAL FROM BIG WHERE VAL<100.0",
         DOZ_M_FULL | DOZ_M_WAIT, "SELECT id,val FROM big WHERE val<100.0", nullptr, nullptr},
        {"GROUP by GRP with AVERAGE and COUNT into the result table",
         "GROUP BIG BY GRP AVERAGE VAL AS A,COUNT ID AS N", DOZ_M_WAIT,
         "CREATE TABLE r AS SELECT grp, avg(val) AS a, count(id) AS n FROM big GROUP BY grp", "r", nullptr},
        {"SELECT ... TO a new table (GRP < 50, half the rows)", "SELECT ID,VAL FROM BIG WHERE GRP<50 TO HALF",
         DOZ_M_WAIT, "CREATE TABLE half AS SELECT id,val FROM big WHERE grp<50", "half", "HALF"},
        // Last, as the table stays in its new order: the order kept for
        // later reads (an index on SQLite's side), then a read in it.
        {"SEQUENCE BY VAL (SQLite: CREATE INDEX on val)", "SEQUENCE BIG BY VAL", DOZ_M_WAIT,
         "CREATE INDEX big_val ON big(val)", nullptr, nullptr, "DROP INDEX IF EXISTS big_val"},
        {"full DISPLAY of the table sequenced by VAL (SQLite: ORDER BY val through its index)",
         "DISPLAY ID,GRP,VAL FROM BIG", DOZ_M_FULL | DOZ_M_WAIT, "SELECT id,grp,val FROM big ORDER BY val", nullptr,
         nullptr},
    };
    std::string report;
    char line[512];
    snprintf(line, sizeof line,
             "DOZ interpreter beside SQLite's C API, table of %ld rows (built through the interpreter in %.2f s)\n"
             "medians of %d samples a side, the side that runs first alternating\n\n",
             nrows, build, samples);
    report += line;
    fputs(line, stdout);
    long server = server_pid();
    long display_peak = -1;
    for (const Work &w : work) {
        if (only && !strstr(w.what, only))
            continue;
        std::vector<double> dt, st, ratios;
        size_t dr = 0, sr = 0;
        for (int k = 0; k < samples; k++) {
            double ds = 0, ss = 0;
            auto doz_side = [&] {
                if (w.doz_drop && k > 0)
                    must(cid, std::string("DROP ") + w.doz_drop);
                ds = doz_timed(cid, w.doz, w.modes, &dr);
                if (&w == &work[0])
                    display_peak = std::max(display_peak, peak_kb(server));
            };
            auto sqlite_side = [&] {
                if (w.counted)
                    sql(db, (std::string("DROP TABLE IF EXISTS ") + w.counted).c_str());
                if (w.sqlite_undo)
                    sql(db, w.sqlite_undo);
                ss = w.counted || w.sqlite_undo ? sqlite_change(db, w.sqlite) : sqlite_read(db, w.sqlite, &sr);
                if (w.counted) {
                    std::string count = std::string("SELECT count(*) FROM ") + w.counted;
                    size_t one;
                    sqlite_read(db, count.c_str(), &one);
                    sr = static_cast<size_t>(last_value);
                }
            };
            if (k % 2 == 0) {
                doz_side();
                sqlite_side();
            } else {
                sqlite_side();
                doz_side();
            }
            dt.push_back(ds);
            st.push_back(ss);
            ratios.push_back(ds / ss);
        }
        snprintf(line, sizeof line,
                 "%s\n    DOZ: %zu rows in %.3f s; SQLite: %zu rows in %.3f s; ratio %.2f (median of the pairs %.2f)\n",
                 w.what, dr, median(dt), sr, median(st), median(dt) / median(st), median(ratios));
        report += line;
        fputs(line, stdout);
    }
    if (display_peak > 0)
        snprintf(line, sizeof line,
                 "\ninterpreter's peak resident memory (VmHWM, the figure /usr/bin/time -v gives as its maximum\n"
                 "resident set size) over the full DISPLAYs, started fresh before them: %.1f MB\n",
                 display_peak / 1024.0);
    else
        snprintf(line, sizeof line, "\ninterpreter's peak resident memory: not measured (no /proc access)\n");
    report += line;
    fputs(line, stdout);
    sqlite3_close(db);
    must(cid, "CLOSE");
    must(cid, "DROP DATABASE BENCH");
    doz_term(cid);
    fprintf(stderr, "(checksum %g)\n", checksum);
    vxbench::finish(dir, out, report);
    return 0;
}
