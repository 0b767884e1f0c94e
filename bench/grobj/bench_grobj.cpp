// The graph model's data paths on datasets held in memory (delivered to the
// dataset manager as a query result, no interpreter needed):
//   - reader: the triple point reader over 1,000,000 rows of a DATE x and a
//     REAL y (dates become seconds through the calendar), beside a plain
//     loop of dscol_ds_get over the same cells that only adds them up.
//
// Usage: bench_grobj [--rows N] [--repeat R] [--out FILE]

#include "dozrow.h"
#include "dsmgr.h"
#include "goprop.h"
#include "qymgr.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

template <class F>
double best_of(int repeat, F f)
{
    double best = 1e30;
    for (int i = 0; i < repeat; i++) {
        auto t = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t).count());
    }
    return best;
}

DozColDesc column(int type)
{
    DozColDesc d{};
    d.type = static_cast<int16_t>(type);
    d.width = 12;
    strcpy(d.name, "C");
    return d;
}

// Packs `rows` rows of (DATE, REAL) and delivers them; returns the dataset.
int load(long rows)
{
    const std::vector<DozColDesc> cols{column(DOZ_T_DATE), column(DOZ_T_REAL)};
    DozLayout l;
    doz_layout(cols, true, l);
    const int head = doz_header_bytes(2, true);
    std::vector<unsigned char> buffer(head + static_cast<size_t>(rows) * l.row_size, 0);
    doz_put_table(buffer.data(), cols, l.row_align);
    for (long r = 0; r < rows; r++) {
        unsigned char *row = buffer.data() + head + r * l.row_size;
        int16_t date[3] = {static_cast<int16_t>(1990 + r % 30), static_cast<int16_t>(1 + r % 12),
                           static_cast<int16_t>(1 + r % 28)};
        double y = static_cast<double>(r % 1000) * 0.5;
        doz_put(row, l.fields[0], date, 1, true);
        doz_put(row, l.fields[1], &y, 1, r % 97 != 0);
    }
    qymgr_qy_fake_query(buffer.data(), static_cast<int>(rows), static_cast<int>(buffer.size()));
    const int d = dsmgr_ds_current();
    dscol_ds_characterise(1);
    dsmgr_ds_retain();
    return d;
}

}  // namespace

int main(int argc, char **argv)
{
    long rows = 1000000;
    int repeat = 5;
    std::string out = std::string(VX_RESULTS_DIR) + "/grobj.txt";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--rows"))
            rows = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--repeat"))
            repeat = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (rows < 1 || repeat < 1) {
        fprintf(stderr, "usage: bench_grobj [--rows N>0] [--repeat R>0] [--out FILE]\n");
        return 2;
    }
    dsmgr_ds_init(nullptr, nullptr);
    const int d = load(rows);

    double sum_reader = 0;
    long points = 0;
    const double t_reader = best_of(repeat, [&] {
        GoTuple t{};
        t.dataset = d;
        sum_reader = 0;
        points = 0;
        goprop_go_tuple_autoinc(1);
        for (;;) {
            goprop_triple_reader(&t);
            if (t.status & GT_S_END)
                break;
            if (!t.null) {
                sum_reader += *t.y + *t.x * 1e-9;
                points++;
            }
        }
        goprop_go_tuple_autoinc(0);
    });
    double sum_plain = 0;
    const double t_plain = best_of(repeat, [&] {
        sum_plain = 0;
        for (long r = 0; r < rows; r++) {
            int n = 0;
            const void *x = dscol_ds_get(d, static_cast<int>(r), 0, &n);
            const void *y = dscol_ds_get(d, static_cast<int>(r), 1, &n);
            if (!x || !y)
                continue;
            int16_t date[3];
            double v;
            memcpy(date, x, 6);
            memcpy(&v, y, 8);
            sum_plain += v + date[2] * 1e-9;
        }
    });

    char report[1024];
    snprintf(report, sizeof report,
             "Triple reader over %ld rows (DATE x, REAL y; %ld present points), best of %d\n"
             "  reader:               %8.3f s  %12.0f points/s\n"
             "  plain dscol_ds_get:   %8.3f s  %12.0f rows/s\n"
             "  ratio reader / plain: %8.2f\n",
             rows, points, repeat, t_reader, rows / t_reader, t_plain, rows / t_plain, t_reader / t_plain);
    fputs(report, stdout);
    if (FILE *f = fopen(out.c_str(), "w")) {
        fputs(report, f);
        fclose(f);
    }
    return sum_reader == sum_plain ? 0 : 0;
}
