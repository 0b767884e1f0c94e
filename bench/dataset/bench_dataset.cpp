// Throughput of query results into datasets: rows per second from the
// interpreter writing a 1,000,000-row result into the shared buffer to the
// dataset manager holding it as one dataset with its column information,
// beside the floor: the raw read of the same buffers on a connection of
// its own, each buffer's rows copied onto the end of one block made for
// the whole result at its first buffer (the rows kept, the same memory
// touched, nothing grown), for a narrow and a wide row, with the default
// buffer and a large one.  Medians of five runs of each, in turn.
//
// Usage: bench_dataset [--out FILE] [--rows N]
// The interpreter is the one just built, copied with the modes the client
// checks into a private server directory.

#include "dsmgr.h"

#include "dozrow.h"
#include "qymgr.h"
#include "qysched.h"
#include "vxbench.h"
#include "vxadata.h"
#include "vxcat.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The floor's block: the whole result's rows, kept.
unsigned char *kept = nullptr;
size_t kept_size = 0, kept_used = 0, rows_wanted = 0;
size_t rows_read = 0;

// The reader of the connection's result buffer.
DozReader reader;

void raw_read(int cid, int rows)
{
    auto *b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    init_buffer(reader, b, static_cast<size_t>(doz_get_qbuffersize(cid)));
    int had;
    if (empty_buffer(reader) || prepare_buffer(reader, &had) != 0)
        return;
    if (!kept) {
        std::vector<DozColDesc> cols = tinfo_table(reader);
        if (!cols.empty() && cols.back().type == DOZ_T_END)
            cols.pop_back();
        DozLayout l;
        if (cols.empty() || !doz_layout(cols, true, l))
            return;
        kept_size = rows_wanted * static_cast<size_t>(l.row_size);
        kept = static_cast<unsigned char *>(malloc(kept_size));
        if (!kept)
            return;
    }
    size_t header = static_cast<size_t>(buffer_cursor(reader) - b);
    size_t bytes = std::min<size_t>(doz_get_data_bytes(cid) - header, kept_size - kept_used);
    memcpy(kept + kept_used, buffer_cursor(reader), bytes);
    kept_used += bytes;
    rows_read += static_cast<size_t>(rows);
    clear_buffer(reader);
}

// The raw read on a connection of its own.
double raw_query(int cid, const std::string &q, size_t want)
{
    rows_read = 0;
    rows_wanted = want;
    kept_used = 0;
    init_buffer(reader, doz_get_qbuffer(cid), static_cast<size_t>(doz_get_qbuffersize(cid)));
    clear_buffer(reader);
    auto t0 = Clock::now();
    doz_querym(cid, q.c_str(), DOZ_M_FULL | DOZ_M_WAIT);
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    free(kept);
    kept = nullptr;
    if (doz_error(cid) || rows_read != want) {
        fprintf(stderr, "query failed or short: %zu of %zu rows\n", rows_read, want);
        exit(1);
    }
    return s;
}

// The program's road: the query manager hands each buffer to the dataset
// manager, its default handler.
double dataset_query(const std::string &q, size_t want)
{
    dsmgr_ds_clear();  // the last run's rows go untimed
    auto t0 = Clock::now();
    qymgr_qy_query(q.c_str(), QY_NOWAIT, QY_FULL, QY_IGNORE);
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (!qymgr_qy_returned_data() || static_cast<size_t>(dsmgr_ds_rows(0)) != want) {
        fprintf(stderr, "query failed or short: %d of %zu rows\n", dsmgr_ds_rows(0), want);
        exit(1);
    }
    return s;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out = std::string(VX_RESULTS_DIR) + "/dataset.txt";
    size_t nrows = 1000000;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!strcmp(argv[i], "--rows") && i + 1 < argc)
            nrows = static_cast<size_t>(atol(argv[++i]));
        else {
            fprintf(stderr, "usage: %s [--out FILE] [--rows N]\n", argv[0]);
            return 2;
        }
    }

    fs::path dir = vxbench::private_server(VX_TQLSERVER);

    struct Shape {
        const char *name, *types;
    } shapes[] = {
        {"narrow (one long)", "long"},
        {"wide (long, 2 reals, string(40), real[8], date, time, complex)",
         "long, real, real, string(40), real[8], date, time, complex"},
    };
    struct Buffer {
        int size, rows;
    } buffers[] = {{200000, 1000}, {4000000, 100000}};

    AppData ad{};
    ad.catd = NL_NO_CATALOGUE;
    ad.user_name = const_cast<char *>("BENCH");
    ad.server_name = const_cast<char *>("");
    dsmgr_ds_init(nullptr, &ad);
    std::string report;
    char line[768];
    snprintf(line, sizeof line,
             "Result rows into a dataset, beside the floor: the raw read of the same buffers keeping the rows\n"
             "in one block made for them (Full mode, WAIT); medians of five\n\n");
    report += line;
    for (const Buffer &b : buffers) {
        int cid = -1;
        if (doz_init(&cid, "", "BENCH", DOZ_START_WORD) != 0 || !doz_create_buffer(cid, b.size) ||
            doz_set_buffer_rows(cid, b.rows) != 0) {
            fprintf(stderr, "cannot start the interpreter\n");
            return 1;
        }
        doz_set_eob_proc(cid, raw_read);
        ad.buffer_size = ad.queryBufferSize = b.size;
        qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, 0);
        qymgr_qy_set_buffer_rows(b.rows);
        for (const Shape &s : shapes) {
            std::string q = "TEST ROWS " + std::to_string(nrows) + " " + s.types;
            // Medians of five for each, in turn, the first alternating.
            std::vector<double> raws, dss;
            for (int pass = 0; pass < 5; pass++) {
                if (pass % 2 == 0) {
                    raws.push_back(raw_query(cid, q, nrows));
                    dss.push_back(dataset_query(q, nrows));
                } else {
                    dss.push_back(dataset_query(q, nrows));
                    raws.push_back(raw_query(cid, q, nrows));
                }
            }
            const double raw = vxbench::median(raws), ds = vxbench::median(dss);
            int row_size = 0;
            if (const DozColDesc *t = dscol_ds_get_tinfo_list(0)) {
                DozLayout l;
                std::span<const DozColDesc> cols(t, static_cast<size_t>(dsmgr_ds_columns(0)));
                if (doz_layout(cols, true, l))
                    row_size = l.row_size;
            }
            snprintf(line, sizeof line,
                     "buffer %7d bytes / %6d rows, %s: %zu rows of %d bytes\n"
                     "    into a dataset %.3f s, %.0f rows/s; floor %.3f s, %.0f rows/s; dataset / floor %.2f\n",
                     b.size, b.rows, s.name, nrows, row_size, ds, nrows / ds, raw, nrows / raw, ds / raw);
            report += line;
            fputs(line, stdout);
            dsmgr_ds_clear();
        }
        qymgr_qy_term();
        doz_term(cid);
    }
    vxbench::finish(dir, out, report);
    return 0;
}
