// Overlays and the marker's closest point over 1,000,000 points held in
// memory (REAL x rising, REAL y, one null in 97), each beside a plain loop
// of dscol_ds_get over the same cells (the floor):
//   - overlays 0-5 (the levels and the straight line, one pass) beside a
//     loop adding y and y squared;
//   - every overlay's named values (`overlay_vars`: 0-5 and the polynomial
//     of order 2), the spline and the polynomial of order 9 apart, beside
//     the same loop;
//   - the closest point to a world position beside a loop measuring the
//     distance of every point.
// Graphs draw on the recording driver (a few lines each).  Medians of
// several runs.
//
// Usage: bench_goover [--rows N] [--repeat R] [--out FILE]

#include "dozrow.h"
#include "dsmgr.h"
#include "gomain.h"
#include "gomarker.h"
#include "goover.h"
#include "goprop.h"
#include "grecord.h"
#include "qymgr.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

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

DozColDesc column(int type)
{
    DozColDesc d{};
    d.type = static_cast<int16_t>(type);
    d.width = 12;
    d.precision = 2;
    strcpy(d.name, "C");
    return d;
}

int load(long rows)
{
    const std::vector<DozColDesc> cols{column(DOZ_T_REAL), column(DOZ_T_REAL)};
    DozLayout l;
    doz_layout(cols, true, l);
    const int head = doz_header_bytes(2, true);
    std::vector<unsigned char> buffer(head + static_cast<size_t>(rows) * l.row_size, 0);
    doz_put_table(buffer.data(), cols, l.row_align);
    for (long r = 0; r < rows; r++) {
        unsigned char *row = buffer.data() + head + r * l.row_size;
        double x = static_cast<double>(r), y = std::sin(r * 0.001) * 100 + static_cast<double>(r % 1000) * 0.01;
        doz_put(row, l.fields[0], &x, 1, true);
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
    std::string out = std::string(VX_RESULTS_DIR) + "/goover.txt";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--rows"))
            rows = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--repeat"))
            repeat = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (rows < 2 || repeat < 1) {
        fprintf(stderr, "usage: bench_goover [--rows N>1] [--repeat R>0] [--out FILE]\n");
        return 2;
    }
    const std::string etc = std::string(VX_BUILD_DIR) + "/etc";
    const std::string cat = std::string(VX_BUILD_DIR) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_goover: the graphics library did not start\n");
        return 1;
    }
    grec::install();
    dsmgr_ds_init(nullptr, nullptr);
    const int d = load(rows);

    GoFormat format = *goprop_go_default_graph_format();
    GoGraph graph{};
    graph.format = &format;
    graph.first = graph.last = d;
    graph.kept = -1;
    graph.width = 600;
    graph.height = 450;
    const int placement[4] = {0, 0, 600, 450};
    graph.canvas = go_open_canvas(nullptr, placement);
    gostd_std_setdata_scalar_graph(&graph, d);
    gomain_go_set_2d_coordinates(&graph);

    auto overlays = [&](std::initializer_list<int> on, int vars, int order) {
        for (int k = 0; k < GO_OVERLAYS; k++)
            format.overlay[k].overlayon = 0;
        for (int k : on)
            format.overlay[k].overlayon = 1;
        format.overlay_vars = vars;
        format.overlay[8].ovlval = order;
        return median_of(repeat, [&] {
            grec::clear();
            goover_go_draw_all_overlays(&graph, d, 0);
        });
    };
    const double t_levels = overlays({0, 1, 2, 3, 4, 5}, 0, 2);
    const double t_vars = overlays({}, 1, 2);
    const double t_spline = overlays({6}, 0, 2);
    const double t_poly = overlays({8}, 0, 9);

    const double t_floor = median_of(repeat, [&] {
        double s = 0, ss = 0;
        for (long r = 0; r < rows; r++) {
            int n = 0;
            const void *y = dscol_ds_get(d, static_cast<int>(r), 1, &n);
            if (!y)
                continue;
            double v;
            memcpy(&v, y, 8);
            s += v;
            ss += v * v;
        }
        kept = s + ss;
    });

    gomarker_go_create_markers(&graph);
    const double wx = static_cast<double>(rows) * 0.7, wy = 50;
    const double t_closest = median_of(repeat, [&] { gomarker_go_find_closest_point(wx, wy, 0, 0, 0); });
    const double found = *gomarker_go_marker(0, 0)->x;
    GCanvasModes cm{};
    GGetCanvasModes(graph.canvas, &cm);
    const double ux = 1 / (cm.world[3] - cm.world[0]), uy = 1 / (cm.world[4] - cm.world[1]);
    const double t_closest_floor = median_of(repeat, [&] {
        double best = 1e300;
        long at = -1;
        for (long r = 0; r < rows; r++) {
            int n = 0;
            const void *x = dscol_ds_get(d, static_cast<int>(r), 0, &n);
            const void *y = dscol_ds_get(d, static_cast<int>(r), 1, &n);
            if (!x || !y)
                continue;
            double vx, vy;
            memcpy(&vx, x, 8);
            memcpy(&vy, y, 8);
            const double ex = (vx - wx) * ux, ey = (vy - wy) * uy, e = ex * ex + ey * ey;
            if (e < best) {
                best = e;
                at = r;
            }
        }
        kept = static_cast<double>(at);
    });
    gomarker_go_destroy_markers();

    char report[2048];
    snprintf(report, sizeof report,
             "Overlays over %ld rows (REAL x and y, one null in 97), median of %d\n"
             "  overlays 0-5:              %8.3f s  %5.2fx the floor\n"
             "  overlay_vars (0-5, 8):     %8.3f s  %5.2fx\n"
             "  spline:                    %8.3f s  %5.2fx\n"
             "  polynomial of order 9:     %8.3f s  %5.2fx\n"
             "  floor: dscol_ds_get adding y and y squared: %8.3f s\n"
             "Closest point to (%g, %g): x %g\n"
             "  gomarker_go_find_closest_point: %8.3f s  %5.2fx the floor\n"
             "  floor: dscol_ds_get loop measuring every point: %8.3f s\n",
             rows, repeat, t_levels, t_levels / t_floor, t_vars, t_vars / t_floor, t_spline, t_spline / t_floor,
             t_poly, t_poly / t_floor, t_floor, wx, wy, found, t_closest, t_closest / t_closest_floor,
             t_closest_floor);
    fputs(report, stdout);
    if (FILE *f = fopen(out.c_str(), "w")) {
        fputs(report, f);
        fclose(f);
    }
    gomain_go_close_device();
    grec::remove();
    GTerminate();
    return 0;
}
