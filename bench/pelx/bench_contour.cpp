// Contours and mesh maps beside gnuplot, both sides whole processes
// (process start, reading the same grid file, the work, the output, exit),
// run in turn with the first of each pair alternating, medians.
//
// 1. A 500 x 500 grid of a smooth function contoured at 20 levels: the
//    kernel's GDrawContour on the stand-in driver, beside gnuplot tracing
//    the same levels (`set contour base`, `unset surface`, `set table`).
// 2. A 200 x 200 grid drawn as a mesh map into an 800 x 800 PNG through the
//    image-file device, beside gnuplot's `set view map` `splot ... with
//    pm3d` into a PNG of the same size.
//
// Usage: bench_pelx_contour [--runs R] [--out FILE]
//        bench_pelx_contour --contour GRID        (one contour run)
//        bench_pelx_contour --map GRID PNG        (one mesh map run)

#include "benchkit.h"
#include "giinit.h"
#include "ggridhook.h"

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

constexpr int LEVELS = 20;
constexpr double EXTENT = 10.0;

double smooth(double x, double z) { return std::sin(x) * std::cos(0.7 * z) + 0.05 * x; }

double level(int j) { return -0.9 + 1.8 * (j + 0.5) / LEVELS; }

// The grid file: "x z y" lines, a blank line after each x, as gnuplot reads
// a grid.
void write_grid(const std::string &path, long n)
{
    FILE *f = fopen(path.c_str(), "w");
    double step = EXTENT / static_cast<double>(n - 1);
    for (long i = 0; i < n; i++) {
        for (long k = 0; k < n; k++) {
            double x = i * step, z = k * step;
            fprintf(f, "%.9g %.9g %.9g\n", x, z, smooth(x, z));
        }
        fputc('\n', f);
    }
    fclose(f);
}

// Reads the grid file back into a grid (nodes in file order).
GGrid *read_grid(const char *path)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return nullptr;
    std::vector<double> v;
    char line[256];
    long rows = 0;
    bool in_row = false;
    while (fgets(line, sizeof line, f)) {
        char *p = line, *end;
        double x = strtod(p, &end);
        if (end == p) {
            in_row = false;
            continue;
        }
        if (!in_row)
            rows++;
        in_row = true;
        double z = strtod(end, &p), y = strtod(p, &end);
        (void)x;
        (void)z;
        v.push_back(y);
    }
    fclose(f);
    long n = rows;
    if (n < 3 || static_cast<long>(v.size()) != n * n)
        return nullptr;
    double step = EXTENT / static_cast<double>(n - 1);
    GGrid *g = ggrid_GCreateGrid(0, step, n, 0, step, n);
    if (!g)
        return nullptr;
    for (long i = 0; i < n; i++)
        for (long k = 0; k < n; k++)
            g->values[i][k] = GGridCell{v[static_cast<size_t>(i * n + k)], 1.0};
    // Complete as it stands: no working counts, and no patch centres (a
    // cell's centre is the mean of its nodes).
    g->finished = 1;
    ggrid_GFreeRows(g->aux);
    g->aux = nullptr;
    return g;
}

GCanvasRecord *world_canvas(GDeviceRecord *d)
{
    GCanvasModes cm{};
    cm.origin[0] = cm.origin[1] = 0;
    cm.size[0] = d->modes.vdcxdim;
    cm.size[1] = d->modes.vdcydim;
    cm.size[2] = cm.size[0];
    cm.pssize[0] = cm.size[0], cm.pssize[1] = cm.size[1], cm.pssize[2] = cm.size[0];
    cm.coords = GCS_WC;
    cm.clip = 0;
    const double world[6] = {0, 0, 0, EXTENT, EXTENT, 1};
    for (int i = 0; i < 6; i++)
        cm.world[i] = world[i];
    return GOpenCanvas(d, GCM_ORIGIN | GCM_SIZE | GCM_PSSIZE | GCM_COORDS | GCM_CLIP | GCM_WORLD, &cm);
}

int contour_run(const char *path)
{
    GGrid *g = read_grid(path);
    if (!g)
        return 1;
    GDeviceModes m{};
    m.protocol = GP_POSTSCRIPT;
    m.dcxdim = m.dcydim = 4096;
    GList *tables[GT_COUNT] = {};
    GDeviceRecord *d = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM, &m, tables);
    GCanvasRecord *c = d ? world_canvas(d) : nullptr;
    if (!c)
        return 1;
    for (int j = 0; j < LEVELS; j++)
        GDrawContour(c, g, level(j), nullptr);
    GCloseDevice(d);
    ggrid_GDestroyGrid(g);
    return 0;
}

int map_run(const char *path, const char *png, const char *build)
{
    GGrid *g = read_grid(path);
    std::string etc = std::string(build) + "/etc", cat = std::string(build) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (!g || GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0)
        return 1;
    giinit_GInstallDriver();
    GDeviceEntry e{};
    if (GGetDevice(5, &e) != 0)
        return 1;
    e.modes.dcxdim = e.modes.dcydim = 800;
    e.modes.scale = 1;
    e.modes.output = 0;
    snprintf(e.modes.filename, sizeof e.modes.filename, "%s", png);
    GDeviceRecord *d = GOpenDevice(e.mask | GDM_DCXDIM | GDM_DCYDIM | GDM_FILENAME | GDM_OUTPUT, &e.modes, e.tables);
    if (!d) {
        gdev_GFreeDeviceEntry(&e);
        return 1;
    }
    GCanvasRecord *c = world_canvas(d);
    long colours = c ? GUseColourMap(d, 0) : 0;
    if (colours < 2)
        return 1;
    double lo = g->values[0][0].value, hi = lo;
    for (long i = 0; i < g->nx; i++)
        for (long k = 0; k < g->nz; k++) {
            lo = std::min(lo, g->values[i][k].value);
            hi = std::max(hi, g->values[i][k].value);
        }
    GColourMapModes cm{};
    cm.mode = 1;
    cm.levels = static_cast<int16_t>(colours);
    cm.datamin = lo;
    cm.datamax = hi;
    gcolmap_GSetColourMapModes(c, GCMM_MODE | GCMM_LEVELS | GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX, &cm);
    gmesh_GDrawMeshMap(c, g);
    int r = GCloseDevice(d);
    ggrid_GDestroyGrid(g);
    GTerminate();
    return r == 0 ? 0 : 1;
}

void pair(FILE *out, const char *name, const std::vector<std::string> &ours, const std::vector<std::string> &theirs,
          int runs)
{
    std::vector<double> a, b;
    for (int r = 0; r < runs; r++) {
        if (r % 2 == 0) {
            a.push_back(benchkit::run_process("bench_pelx_contour", ours));
            b.push_back(benchkit::run_process("bench_pelx_contour", theirs));
        } else {
            b.push_back(benchkit::run_process("bench_pelx_contour", theirs));
            a.push_back(benchkit::run_process("bench_pelx_contour", ours));
        }
    }
    fprintf(out, "%-34s %10.4f %10.4f %8.3f\n", name, median(a), median(b), median(a) / median(b));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && !strcmp(argv[1], "--contour"))
        return contour_run(argv[2]);
    if (argc == 4 && !strcmp(argv[1], "--map"))
        return map_run(argv[2], argv[3], VX_BENCH_BUILD);
    int runs = 5;
    std::string out = VX_PELX_CONTOUR_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--runs"))
            runs = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (runs < 1) {
        fprintf(stderr, "usage: bench_pelx_contour [--runs R>0] [--out FILE]\n");
        return 2;
    }
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0)
        return 1;
    self[len] = 0;
    char dir[] = "/tmp/vx-bench-contour-XXXXXX";
    if (!mkdtemp(dir)) {
        perror("mkdtemp");
        return 1;
    }
    std::string d(dir), g500 = d + "/grid500.dat", g200 = d + "/grid200.dat", table = d + "/table.dat";
    write_grid(g500, 500);
    write_grid(g200, 200);
    std::string levels;
    for (int j = 0; j < LEVELS; j++)
        levels += (j ? "," : "") + std::to_string(level(j));
    FILE *f = fopen(out.c_str(), "w");
    if (!f) {
        perror(out.c_str());
        return 1;
    }
    fprintf(f, "whole processes reading the same grid file, median of %d runs\n\n", runs);
    fprintf(f, "%-34s %10s %10s %8s\n", "", "kernel s", "gnuplot s", "time x");
    pair(f, "500 x 500 grid, 20 contour levels", {self, "--contour", g500},
         {"gnuplot", "-e",
          "set contour base; unset surface; set cntrparam linear; set cntrparam levels discrete " + levels +
              "; set table '" + table + "'; splot '" + g500 + "' using 1:2:3 with lines; unset table"},
         runs);
    pair(f, "200 x 200 mesh map, 800 x 800 PNG", {self, "--map", g200, d + "/pelx.png"},
         {"gnuplot", "-e",
          "set terminal png size 800,800; set output '" + d + "/gnuplot.png'; set view map; splot '" + g200 +
              "' using 1:2:3 with pm3d; set output"},
         runs);
    fclose(f);
    for (const char *leaf : {"/grid500.dat", "/grid200.dat", "/table.dat", "/pelx.png", "/gnuplot.png"})
        unlink((d + leaf).c_str());
    rmdir(dir);
    f = fopen(out.c_str(), "r");
    char line[256];
    while (f && fgets(line, sizeof line, f))
        fputs(line, stdout);
    if (f)
        fclose(f);
    return 0;
}
