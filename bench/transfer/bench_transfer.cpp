// Bulk transfer of one CSV file of 1,000,000 rows (a long key, a real, a
// string of 12 and a date): loaded by perform_load into a DOZ table and by
// the sqlite3 shell's ".import --csv" into an equal SQLite table, then
// unloaded by perform_unload and by "sqlite3 -csv -header", in one run.
// Row counts are compared; the report gives the medians of several samples
// (the side that runs first alternating) and the ratios.
//
// Usage: bench_transfer [--out FILE] [--rows N] [--samples N]
// The interpreter is the one just built, in a private server directory;
// the sqlite3 shell is the one on the PATH.

#include "dsput.h"
#include "qymgr.h"
#include "vxcat.h"
#include "vxbench.h"
#include "wsdict.h"
#include "wsxfer.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

int last_written = 0;
void status(int written, int, int) { last_written = written; }
void error(int, const char *text) { fprintf(stderr, "%s\n", text); }
int yes(int, const char *) { return 1; }
const WsXferUser user{error, error, yes, status};

// CPU seconds of this process (the client side of a transfer).
double own_cpu()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

bool ok(const std::string &text)
{
    qymgr_qy_query(text.c_str(), QY_NOWAIT, QY_ASIS, QY_REPORT);
    if (!qymgr_qy_ok())
        fprintf(stderr, "failed: %s\n", text.c_str());
    return qymgr_qy_ok();
}

long lines_of(const fs::path &file)
{
    std::ifstream f(file, std::ios::binary);
    long n = 0;
    std::string line;
    while (std::getline(f, line))
        n++;
    return n;
}

std::string shell_out(const std::string &command)
{
    std::string s;
    if (FILE *p = popen(command.c_str(), "r")) {
        char b[256];
        while (fgets(b, sizeof b, p))
            s += b;
        pclose(p);
    }
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

ObTransferData request(int direction, const fs::path &path, const std::string &table)
{
    ObTransferData r;
    xfer_default_request(&r);
    snprintf(r.table, sizeof r.table, "%s", table.c_str());
    r.direction = direction;
    snprintf(r.path, sizeof r.path, "%s", path.c_str());
    snprintf(r.delimiter, sizeof r.delimiter, ",");
    r.terminator = XFER_LF;
    return r;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out = std::string(VX_RESULTS_DIR) + "/transfer.txt";
    long rows = 1000000;
    int samples = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
        else if (!strcmp(argv[i], "--rows"))
            rows = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--samples"))
            samples = std::max(1, atoi(argv[i + 1]));
    }
    fs::path server = vxbench::private_server(VX_TQLSERVER);
    fs::path work = fs::temp_directory_path() / ("vx-bench-transfer-" + std::to_string(getpid()));
    fs::create_directories(work);

    // The input: key, real, string of 12, date.
    const fs::path csv = work / "in.csv";
    {
        std::ofstream f(csv);
        char line[128];
        for (long i = 1; i <= rows; i++) {
            snprintf(line, sizeof line, "%ld,%.3f,name%08ld,%02ld/%02ld/%04ld\n", i, static_cast<double>(i % 100000) / 8.0,
                     i % 100000000, 1 + i % 28, 1 + i % 12, 1970 + i % 60);
            f << line;
        }
    }

    static AppData ad{};
    ad.catd = NL_NO_CATALOGUE;
    ad.user_name = const_cast<char *>("BENCH");
    ad.server_name = const_cast<char *>("");
    ad.buffer_size = ad.queryBufferSize = 200000;
    qymgr_qy_set_ui(nullptr);
    wsdict_ws_init_dictionary();
    qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, 0);
    if (qymgr_qy_connection() < 0) {
        fprintf(stderr, "cannot start the interpreter\n");
        return 1;
    }
    const std::string db = "BXFER";
    if (!ok("CREATE DATABASE " + db) || !ok("OPEN " + db + " EXCLUSIVE") ||
        !ok("CREATE ITEM BK AS LONG(9)") || !ok("CREATE ITEM BR AS REAL(12,3)") || !ok("CREATE ITEM BS AS STRING(12)") ||
        !ok("CREATE ITEM BD AS DATE(10)"))
        return 1;
    wsdict_db_exclusive = 1;
    wsxfer_set_user(&user);
    dsprint_ds_set_date_time_format("%d/%m/%Y", "%H:%M:%S");

    // Samples: each loads the file into an empty table on both sides and
    // unloads it again; the side that runs first alternates.
    const fs::path sdb = work / "s.db", doz_out = work / "doz.csv", sql_out = work / "sql.csv";
    std::vector<double> dl, sl, du, su, lratio, uratio;
    double load_client = 0, unload_client = 0;
    long doz_loaded = 0, sql_loaded = 0, doz_lines = 0, sql_lines = 0;
    int rc = 0, src = 0, urc = 0, drc = 0;
    for (int k = 0; k < samples; k++) {
        // A table of its own for each sample.
        const std::string table = "BT" + std::to_string(k);
        auto doz_load = [&] {
            if (!ok("CREATE " + table + "[" + std::to_string(rows + 10) + "] AS BK PRIMARY,BR NULL,BS NULL,BD NULL") ||
                wsdict_ws_read_dictionary(db.c_str()) != 1) {
                rc = -1;
                return;
            }
            ObTransferData load = request(XFER_LOAD, csv, table);
            double cpu0 = own_cpu();
            auto t0 = Clock::now();
            rc = perform_load(&load);
            dl.push_back(seconds_since(t0));
            load_client = own_cpu() - cpu0;
            doz_loaded = last_written;
        };
        auto sql_load = [&] {
            fs::remove(sdb);
            std::string create = "sqlite3 '" + sdb.string() +
                                 "' 'CREATE TABLE t(k INTEGER PRIMARY KEY, r REAL, s TEXT, d TEXT)'";
            if (system(create.c_str()) != 0) {
                src = -1;
                return;
            }
            auto t0 = Clock::now();
            std::string import = "sqlite3 '" + sdb.string() + "' '.import --csv " + csv.string() + " t'";
            src = system(import.c_str());
            sl.push_back(seconds_since(t0));
            sql_loaded = atol(shell_out("sqlite3 '" + sdb.string() + "' 'SELECT COUNT(*) FROM t'").c_str());
        };
        auto doz_unload = [&] {
            ObTransferData un = request(XFER_UNLOAD, doz_out, table);
            un.name_row = 1;
            double cpu0 = own_cpu();
            auto t0 = Clock::now();
            urc = perform_unload(&un);
            du.push_back(seconds_since(t0));
            unload_client = own_cpu() - cpu0;
            doz_lines = lines_of(doz_out) - 1;
            fs::remove(doz_out);
        };
        auto sql_unload = [&] {
            auto t0 = Clock::now();
            std::string dump =
                "sqlite3 -csv -header '" + sdb.string() + "' 'SELECT * FROM t' > '" + sql_out.string() + "'";
            drc = system(dump.c_str());
            su.push_back(seconds_since(t0));
            sql_lines = lines_of(sql_out) - 1;
            fs::remove(sql_out);
        };
        if (k % 2 == 0) {
            doz_load();
            sql_load();
            doz_unload();
            sql_unload();
        } else {
            sql_load();
            doz_load();
            sql_unload();
            doz_unload();
        }
        if (rc != 0 || src != 0 || dl.size() != sl.size() || du.size() != su.size())
            break;
        lratio.push_back(dl.back() / sl.back());
        uratio.push_back(du.back() / su.back());
    }
    if (lratio.empty()) {
        fprintf(stderr, "a load failed (%d, %d)\n", rc, src);
        return 1;
    }

    char report[2048];
    snprintf(report, sizeof report,
             "Bulk transfer of one CSV file (long key, real, string(12), date), %ld rows\n"
             "medians of %zu samples a side, the side that runs first alternating\n"
             "load:   perform_load %.2f s (%ld rows, result %d)   sqlite3 .import --csv %.2f s (%ld rows, status %d)"
             "   ratio %.2f (median of the pairs %.2f)\n"
             "unload: perform_unload %.2f s (%ld rows, result %d)   sqlite3 -csv -header %.2f s (%ld rows, status %d)"
             "   ratio %.2f (median of the pairs %.2f)\n"
             "row counts %s\n"
             "client CPU of the last sample (reading, packing, writing the file): load %.2f s, unload %.2f s;\n"
             "the rest of the load's time is the interpreter's WRITE (storage inserts with the key check)\n",
             rows, lratio.size(), median(dl), doz_loaded, rc, median(sl), sql_loaded, src, median(dl) / median(sl),
             median(lratio), median(du), doz_lines, urc, median(su), sql_lines, drc, median(du) / median(su),
             median(uratio),
             doz_loaded == rows && sql_loaded == rows && doz_lines == rows && sql_lines == rows ? "equal" : "DIFFER",
             load_client, unload_client);
    std::string text = report;
    std::ifstream avg("/proc/loadavg");
    std::string load_average;
    if (std::getline(avg, load_average))
        text += "load average at the end (other work on the machine changes the figures): " + load_average + "\n";
    fputs(text.c_str(), stdout);
    wsxfer_set_user(nullptr);
    qymgr_qy_query("CLOSE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
    qymgr_qy_query(("DROP DATABASE " + db).c_str(), QY_NOWAIT, QY_ASIS, QY_IGNORE);
    qymgr_qy_term();
    fs::remove_all(work);
    vxbench::finish(server, out, text);
    return 0;
}
