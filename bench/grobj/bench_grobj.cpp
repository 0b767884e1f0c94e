// The graph model's data paths on datasets held in memory (delivered to the
// dataset manager as a query result, no interpreter needed):
//   - reader: the triple point reader over 1,000,000 rows of a DATE x and a
//     REAL y (dates become seconds through the calendar), beside a plain
//     loop of dscol_ds_get over the same cells that only adds them up, and
//     beside the floor: a stride loop over plain arrays of the same doubles;
//   - statistics: std_dataset_stats over ten datasets of 100,000 rows (x
//     and y all-scaled), beside a plain min/max loop over the same cells
//     and the same stride loop over a plain array.
// Medians of several runs.
//
// Usage: bench_grobj [--rows N] [--repeat R] [--out FILE]

#include "dozrow.h"
#include "dsmgr.h"
#include "gomain.h"
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

// Where the floors' loops leave their results, so that they are done.
volatile double kept = 0;

template <class F>
double median_of(int repeat, F f)
{
    std::vector<double> t;
    for (int i = 0; i < repeat; i++) {
        auto t0 = Clock::now();
        f();
        t.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// The present points of a dataset as plain arrays (x, y, present), read
// untimed, for the stride loop.
struct Plain {
    std::vector<double> xy;  // x and y of each row, side by side
    std::vector<unsigned char> present;
};
Plain plain_points(int dataset, long rows, bool with_x)
{
    Plain p;
    GoTuple t{};
    t.dataset = dataset;
    goprop_go_tuple_autoinc(1);
    for (long r = 0; r < rows; r++) {
        goprop_triple_reader(&t);
        p.xy.push_back(with_x && t.x ? *t.x : 0);
        p.xy.push_back(t.y ? *t.y : 0);
        p.present.push_back(t.null ? 0 : 1);
    }
    goprop_go_tuple_autoinc(0);
    return p;
}

DozColDesc column(int type)
{
    DozColDesc d{};
    d.type = static_cast<int16_t>(type);
    d.width = 12;
    strcpy(d.name, "C");
    return d;
}

// Packs `rows` rows of (DATE, REAL), or of a REAL alone, and delivers them;
// returns the dataset.
int load(long rows, bool with_date = true)
{
    const std::vector<DozColDesc> cols = with_date ? std::vector<DozColDesc>{column(DOZ_T_DATE), column(DOZ_T_REAL)}
                                                   : std::vector<DozColDesc>{column(DOZ_T_REAL)};
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
        if (with_date) {
            doz_put(row, l.fields[0], date, 1, true);
            doz_put(row, l.fields[1], &y, 1, r % 97 != 0);
        } else {
            doz_put(row, l.fields[0], &y, 1, r % 97 != 0);
        }
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
    const double t_reader = median_of(repeat, [&] {
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
    const double t_plain = median_of(repeat, [&] {
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

    const Plain plain = plain_points(d, rows, true);
    double sum_stride = 0;
    const double t_stride = median_of(repeat, [&] {
        sum_stride = 0;
        for (size_t r = 0; r < plain.present.size(); r++)
            if (plain.present[r])
                sum_stride += plain.xy[2 * r + 1] + plain.xy[2 * r] * 1e-9;
        kept = sum_stride;
    });

    // Statistics of ten datasets.
    const long per = std::max(1L, rows / 10);
    const int first = load(per, false);
    for (int i = 1; i < 10; i++)
        load(per, false);
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph graph{};
    graph.format = &format;
    graph.first = first;
    graph.last = first + 9;
    const int on = 1;
    goprop_go_set_property(&graph, GP_XALLSCALE, 0, &on);
    goprop_go_set_property(&graph, GP_YALLSCALE, 0, &on);
    const double t_stats = median_of(repeat, [&] {
        std_dataset_stats(&graph, first, &graph.xblock, &graph.yblock, &graph.zblock, 1);
    });
    double lo = 0, hi = 0;
    const double t_minmax = median_of(repeat, [&] {
        lo = 1e300;
        hi = -1e300;
        for (int d = first; d < first + 10; d++)
            for (long r = 0; r < per; r++) {
                int n = 0;
                const void *y = dscol_ds_get(d, static_cast<int>(r), 0, &n);
                if (!y)
                    continue;
                double v;
                memcpy(&v, y, 8);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    });
    std::vector<Plain> columns;
    for (int d = first; d < first + 10; d++)
        columns.push_back(plain_points(d, per, false));
    double slo = 0, shi = 0;
    const double t_sminmax = median_of(repeat, [&] {
        slo = 1e300;
        shi = -1e300;
        for (const Plain &c : columns)
            for (size_t r = 0; r < c.present.size(); r++)
                if (c.present[r]) {
                    slo = std::min(slo, c.xy[2 * r + 1]);
                    shi = std::max(shi, c.xy[2 * r + 1]);
                }
        kept = slo + shi;
    });
    const long cells = per * 10;

    char report[2048];
    snprintf(report, sizeof report,
             "Triple reader over %ld rows (DATE x, REAL y; %ld present points), median of %d\n"
             "  reader:               %8.3f s  %12.0f points/s\n"
             "  plain dscol_ds_get:   %8.3f s  %12.0f rows/s\n"
             "  stride loop (floor):  %8.3f s  %12.0f rows/s\n"
             "  ratio reader / plain: %8.2f\n"
             "  ratio reader / floor: %8.2f\n"
             "Statistics of 10 datasets of %ld rows (REAL y, x generated), median of %d\n"
             "  std_dataset_stats:    %8.3f s  %12.0f points/s  (y %g..%g)\n"
             "  plain min/max loop:   %8.3f s  %12.0f rows/s    (y %g..%g)\n"
             "  stride min/max loop:  %8.3f s  %12.0f rows/s    (y %g..%g)\n"
             "  ratio stats / plain:  %8.2f\n"
             "  ratio stats / floor:  %8.2f\n",
             rows, points, repeat, t_reader, rows / t_reader, t_plain, rows / t_plain, t_stride, rows / t_stride,
             t_reader / t_plain, t_reader / t_stride, per, repeat, t_stats, cells / t_stats, graph.yblock.min,
             graph.yblock.max, t_minmax, cells / t_minmax, lo, hi, t_sminmax, cells / t_sminmax, slo, shi,
             t_stats / t_minmax, t_stats / t_sminmax);
    fputs(report, stdout);
    if (FILE *f = fopen(out.c_str(), "w")) {
        fputs(report, f);
        fclose(f);
    }
    return sum_reader == sum_plain && sum_stride == sum_reader ? 0 : 0;
}
