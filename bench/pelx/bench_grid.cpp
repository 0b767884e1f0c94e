// Grids from scattered data.
//
// 1. 1,000,000 scattered points added to a 200 x 200 grid (mean of the
//    points on each node), beside a plain loop snapping the same points
//    into an array of sums and counts: both in memory, medians.
// 2. 1,000 scattered points gridded onto 100 x 100 nodes and completed by
//    inverse-distance propagation and by splines, written as a table of
//    nodes, beside gnuplot's `set dgrid3d 100,100 qnorm 4` and `splines`
//    writing the same points' grid with `set table`: both sides whole
//    processes (start, read the points file, grid, write the table, exit),
//    run in turn with the first of each pair alternating, medians.
//
// Usage: bench_pelx_grid [--points N] [--runs R] [--out FILE]
//        bench_pelx_grid --table POINTS METHOD OUTPUT   (one gridding run)

#include "benchkit.h"
#include "ggrid.h"
#include "vxutil.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using benchkit::Clock;
using benchkit::median;
using benchkit::seconds_since;

namespace {

struct Point {
    double x, y, z;
};

// Deterministic scattered points over [0, 10] x [0, 10], y a smooth hill.
std::vector<Point> scatter(long n)
{
    std::vector<Point> p;
    uint64_t s = 88172645463325252ull;
    auto next = [&] {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<double>(s >> 11) / 9007199254740992.0;
    };
    for (long i = 0; i < n; i++) {
        double x = 10 * next(), z = 10 * next();
        p.push_back({x, std::sin(x) * std::cos(0.5 * z) + 0.1 * x, z});
    }
    return p;
}

// A canvas to hold the grid modes: a PostScript device on the stand-in
// driver, nothing drawn.
GCanvasRecord *grid_canvas(int method, int aggregation)
{
    GDeviceModes m{};
    m.protocol = GP_POSTSCRIPT;
    m.dcxdim = m.dcydim = 4096;
    GList *tables[GT_COUNT] = {};
    GDeviceRecord *d = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM, &m, tables);
    GCanvasRecord *c = d ? GOpenCanvas(d, 0, nullptr) : nullptr;
    if (!c)
        return nullptr;
    GGridModes g{};
    g.method = static_cast<unsigned char>(method);
    g.aggregation = static_cast<unsigned char>(aggregation);
    ggrid_GSetGridModes(c, GGM_METHOD | GGM_AGGREGATION, &g);
    return c;
}

// One gridding run as a process: points file in, table of nodes out.
int table_run(const char *points, int method, const char *output)
{
    FILE *in = fopen(points, "r");
    if (!in)
        return 1;
    std::vector<Point> p;
    Point q;
    while (fscanf(in, "%lf %lf %lf", &q.x, &q.z, &q.y) == 3)
        p.push_back(q);
    fclose(in);
    if (p.size() < 2)
        return 1;
    double x0 = p[0].x, x1 = x0, z0 = p[0].z, z1 = z0;
    for (auto &e : p) {
        x0 = std::min(x0, e.x), x1 = std::max(x1, e.x);
        z0 = std::min(z0, e.z), z1 = std::max(z1, e.z);
    }
    const long n = 100;
    GCanvasRecord *c = grid_canvas(method, GAGG_SPREAD);
    GGrid *g = c ? ggrid_GCreateGrid(x0, (x1 - x0) / (n - 1), n, z0, (z1 - z0) / (n - 1), n) : nullptr;
    if (!g)
        return 1;
    for (auto &e : p)
        ggrid_GAddGridPoint(c, g, e.x, e.y, e.z);
    unsigned char changed = 0;
    if (ggrid_GCompleteGrid(c, g, &changed) != 0)
        return 1;
    FILE *out = fopen(output, "w");
    if (!out)
        return 1;
    for (long i = 0; i < n; i++) {
        for (long k = 0; k < n; k++)
            fprintf(out, "%g %g %g\n", g->x0 + i * g->dx, g->z0 + k * g->dz, g->values[i][k].value);
        fputc('\n', out);
    }
    fclose(out);
    ggrid_GDestroyGrid(g);
    return 0;
}

// Part 1: adding points beside the plain snapping loop.
void adding(FILE *out, long count, int runs)
{
    std::vector<Point> p = scatter(count);
    const long n = 200;
    const double step = 10.0 / (n - 1);
    GCanvasRecord *c = grid_canvas(GGRID_PROPAGATE, GAGG_MEAN);
    std::vector<double> ours, plain;
    double check = 0;
    for (int r = 0; r < runs; r++) {
        GGrid *g = ggrid_GCreateGrid(0, step, n, 0, step, n);
        auto t = Clock::now();
        for (auto &e : p)
            ggrid_GAddGridPoint(c, g, e.x, e.y, e.z);
        ours.push_back(seconds_since(t));
        check += g->values[n / 2][n / 2].weight;
        ggrid_GDestroyGrid(g);

        std::vector<double> sums(n * n, 0.0), counts(n * n, 0.0);
        t = Clock::now();
        for (auto &e : p) {
            long i = static_cast<long>(std::floor(e.x / step + 0.5)), k = static_cast<long>(std::floor(e.z / step + 0.5));
            sums[i * n + k] += e.y;
            counts[i * n + k] += 1;
        }
        plain.push_back(seconds_since(t));
        check -= counts[(n / 2) * n + n / 2];
    }
    double a = median(ours), b = median(plain);
    fprintf(out, "%ld points added to a %ld x %ld grid (mean), median of %d runs (check %g)\n\n", count, n, n, runs,
            check);
    fprintf(out, "kernel      %10.4f s  %8.1f Mpoints/s\n", a, count / a / 1e6);
    fprintf(out, "plain loop  %10.4f s  %8.1f Mpoints/s\n", b, count / b / 1e6);
    fprintf(out, "ratio       %10.2f x\n\n", a / b);
}

// Part 2: gridding and completing as processes, beside gnuplot.
void gridding(FILE *out, const std::string &self, int runs)
{
    char dir[] = "/tmp/vx-bench-grid-XXXXXX";
    if (!mkdtemp(dir)) {
        perror("mkdtemp");
        exit(1);
    }
    std::string points = std::string(dir) + "/points.dat", table = std::string(dir) + "/table.dat";
    FILE *f = fopen(points.c_str(), "w");
    for (auto &e : scatter(1000))
        fprintf(f, "%.17g %.17g %.17g\n", e.x, e.z, e.y);
    fclose(f);
    struct Pair {
        const char *name;
        int method;
        const char *gnuplot;
    } pairs[] = {{"propagation / qnorm 4", GGRID_PROPAGATE, "qnorm 4"}, {"bicubic / splines", GGRID_BICUBIC, "splines"}};
    fprintf(out, "1000 points gridded onto 100 x 100 and written as a table, whole processes, median of %d runs\n\n",
            runs);
    fprintf(out, "%-24s %10s %10s %8s\n", "method", "kernel s", "gnuplot s", "time x");
    for (auto &p : pairs) {
        std::vector<std::string> ours = {self, "--table", points, std::to_string(p.method), table};
        std::string script = "set dgrid3d 100,100 " + std::string(p.gnuplot) + "; set table '" + table + "'; splot '" +
                             points + "' using 1:2:3 with lines; unset table";
        std::vector<std::string> theirs = {"gnuplot", "-e", script};
        std::vector<double> a, b;
        for (int r = 0; r < runs; r++) {
            if (r % 2 == 0) {
                a.push_back(benchkit::run_process("bench_pelx_grid", ours));
                b.push_back(benchkit::run_process("bench_pelx_grid", theirs));
            } else {
                b.push_back(benchkit::run_process("bench_pelx_grid", theirs));
                a.push_back(benchkit::run_process("bench_pelx_grid", ours));
            }
        }
        fprintf(out, "%-24s %10.4f %10.4f %8.3f\n", p.name, median(a), median(b), median(a) / median(b));
    }
    unlink(points.c_str());
    unlink(table.c_str());
    rmdir(dir);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && !strcmp(argv[1], "--table"))
        return table_run(argv[2], atoi(argv[3]), argv[4]);
    long count = 1000000;
    int runs = 5;
    std::string out = VX_PELX_GRID_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--points"))
            count = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--runs"))
            runs = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (count < 1 || runs < 1) {
        fprintf(stderr, "usage: bench_pelx_grid [--points N>0] [--runs R>0] [--out FILE]\n");
        return 2;
    }
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0)
        return 1;
    self[len] = 0;
    FILE *f = fopen(out.c_str(), "w");
    if (!f) {
        perror(out.c_str());
        return 1;
    }
    adding(f, count, runs);
    gridding(f, self, runs);
    fclose(f);
    f = fopen(out.c_str(), "r");
    for (int ch; (ch = fgetc(f)) != EOF;)
        putchar(ch);
    fclose(f);
    return 0;
}
