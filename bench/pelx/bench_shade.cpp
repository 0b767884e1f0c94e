// Lit, shaded rendering.
//
// 1. A 200 x 200 grid of a smooth surface rendered lit into a 1000 x 800
//    image and written as PNG through the image-file device, beside
//    gnuplot's `set pm3d lighting` `splot ... with pm3d` PNG of the same
//    grid: both sides whole processes (process start, reading the same grid
//    file, the picture, exit), in turn with the first of each pair
//    alternating, medians.
// 2. The rasteriser inside one process: the same grid seen from above
//    rendered over the plot area of a 2000 x 2000 device on the image
//    device's stand-in driver (image made, cleared, filled; nothing
//    written), pixels per second, beside a plain loop writing as many
//    pixels of a colour table by an interpolated index into a buffer it
//    allocates, as the renderer does; medians.
//
// Usage: bench_pelx_shade [--runs R] [--out FILE] [--memory-only]
//        bench_pelx_shade --render GRID PNG        (one rendering run)

#include "benchkit.h"
#include "ggridhook.h"
#include "giinit.h"
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

constexpr long N = 200;
constexpr double EXTENT = 10.0;

double smooth(double x, double z) { return std::sin(x) * std::cos(0.7 * z) + 0.05 * x; }

void write_grid(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "w");
    double step = EXTENT / (N - 1);
    for (long i = 0; i < N; i++) {
        for (long k = 0; k < N; k++)
            fprintf(f, "%.9g %.9g %.9g\n", i * step, k * step, smooth(i * step, k * step));
        fputc('\n', f);
    }
    fclose(f);
}

GGrid *grid_of(const std::vector<double> &v)
{
    double step = EXTENT / (N - 1);
    GGrid *g = ggrid_GCreateGrid(0, step, N, 0, step, N);
    if (!g)
        return nullptr;
    for (long i = 0; i < N; i++)
        for (long k = 0; k < N; k++)
            g->values[i][k] = GGridCell{v[static_cast<size_t>(i * N + k)], 1.0};
    g->finished = 1;
    ggrid_GFreeRows(g->aux);
    g->aux = nullptr;
    return g;
}

GGrid *read_grid(const char *path)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return nullptr;
    std::vector<double> v;
    char line[256];
    while (fgets(line, sizeof line, f)) {
        char *p = line, *end;
        strtod(p, &end);
        if (end == p)
            continue;
        strtod(end, &p);
        v.push_back(strtod(p, &end));
    }
    fclose(f);
    return static_cast<long>(v.size()) == N * N ? grid_of(v) : nullptr;
}

// A canvas over the device, its plot space the whole canvas, the world
// box round the grid, seen from 60 degrees up and turned by 30.
GCanvasRecord *view_canvas(GDeviceRecord *d)
{
    GCanvasModes cm{};
    cm.size[0] = d->modes.vdcxdim;
    cm.size[1] = d->modes.vdcydim;
    cm.size[2] = cm.size[0];
    for (int i = 0; i < 3; i++)
        cm.pssize[i] = static_cast<int16_t>(0.7 * cm.size[i]);
    cm.psorigin[0] = static_cast<int16_t>(0.15 * cm.size[0]);
    cm.psorigin[1] = static_cast<int16_t>(0.15 * cm.size[1]);
    cm.coords = GCS_WC;
    cm.clip = 0;
    cm.angle1 = 30 * 64;
    cm.angle2 = -30 * 64;
    const double world[6] = {0, -1.5, 0, EXTENT, 1.5, EXTENT};
    for (int i = 0; i < 6; i++)
        cm.world[i] = world[i];
    return GOpenCanvas(d, GCM_ORIGIN | GCM_SIZE | GCM_PSSIZE | GCM_PSORIGIN | GCM_COORDS | GCM_CLIP | GCM_WORLD |
                              GCM_ANGLE1 | GCM_ANGLE2,
                       &cm);
}

// Lights and renders the grid on the canvas: 0, or 1 on failure.
int lit_render(GCanvasRecord *c, GGrid *g)
{
    if (GUseColourMap(c->device, 0) < 2)
        return 1;
    GLightSource *light = glight_GCreateLightSource(c);
    GDepthEntry *list = nullptr;
    long count = 0;
    unsigned char *colours = light ? gnormal_GGridSetVertexNormalColours(c, g, light, &list, &count) : nullptr;
    int r = colours ? grender_GRenderGridData(c, g, colours, list, count) : -1;
    vx_free(colours);
    vx_free(list);
    glight_GFreeLightSource(light);
    return r == 0 ? 0 : 1;
}

GDeviceRecord *png_device(long w, long h, const char *png)
{
    GDeviceEntry e{};
    if (GGetDevice(5, &e) != 0)
        return nullptr;
    e.modes.dcxdim = w;
    e.modes.dcydim = h;
    e.modes.scale = 1;
    e.modes.output = 0;
    snprintf(e.modes.filename, sizeof e.modes.filename, "%s", png);
    GDeviceRecord *d = GOpenDevice(e.mask | GDM_DCXDIM | GDM_DCYDIM | GDM_FILENAME | GDM_OUTPUT, &e.modes, e.tables);
    if (!d)
        gdev_GFreeDeviceEntry(&e);
    return d;
}

bool initialise()
{
    std::string etc = std::string(VX_BENCH_BUILD) + "/etc", cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    return GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) == 0;
}

int render_run(const char *path, const char *png)
{
    GGrid *g = read_grid(path);
    if (!g || !initialise())
        return 1;
    giinit_GInstallDriver();
    GDeviceRecord *d = png_device(1000, 800, png);
    GCanvasRecord *c = d ? view_canvas(d) : nullptr;
    if (!c || lit_render(c, g) != 0)
        return 1;
    int r = GCloseDevice(d);
    ggrid_GDestroyGrid(g);
    GTerminate();
    return r == 0 ? 0 : 1;
}

void processes(FILE *out, const std::string &self, const std::string &dir, int runs)
{
    std::string grid = dir + "/grid.dat";
    write_grid(grid);
    std::vector<std::string> ours = {self, "--render", grid, dir + "/pelx.png"};
    std::vector<std::string> theirs = {
        "gnuplot", "-e",
        "set terminal png size 1000,800; set output '" + dir + "/gnuplot.png'; set view 60,30; set pm3d lighting;"
        " unset surface; splot '" + grid + "' using 1:2:3 with pm3d; set output"};
    std::vector<double> a, b;
    for (int r = 0; r < runs; r++) {
        if (r % 2 == 0) {
            a.push_back(benchkit::run_process("bench_pelx_shade", ours));
            b.push_back(benchkit::run_process("bench_pelx_shade", theirs));
        } else {
            b.push_back(benchkit::run_process("bench_pelx_shade", theirs));
            a.push_back(benchkit::run_process("bench_pelx_shade", ours));
        }
    }
    fprintf(out, "200 x 200 grid lit into a 1000 x 800 PNG, whole processes, median of %d runs\n\n", runs);
    fprintf(out, "kernel    %10.4f s\ngnuplot   %10.4f s\nratio     %10.3f x\n\n", median(a), median(b),
            median(a) / median(b));
    for (const char *leaf : {"/grid.dat", "/pelx.png", "/gnuplot.png"})
        unlink((dir + leaf).c_str());
}

// The rasteriser in memory beside a plain loop of as many pixels.
void in_memory(FILE *out, int runs)
{
    std::vector<double> v(N * N);
    double step = EXTENT / (N - 1);
    for (long i = 0; i < N; i++)
        for (long k = 0; k < N; k++)
            v[static_cast<size_t>(i * N + k)] = smooth(i * step, k * step);
    GGrid *g = grid_of(v);
    GDeviceModes m{};
    m.protocol = GP_IMAGE;
    m.dcxdim = m.dcydim = 2000;
    GList *tables[GT_COUNT] = {gcolour_GCreateDevColourTable(), nullptr, nullptr, nullptr, nullptr,
                               gcolmap_GCreateDevColourMapTable()};
    GDeviceRecord *d = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM, &m, tables);
    GCanvasRecord *c = d ? view_canvas(d) : nullptr;
    if (c) {
        // Seen from straight above, the world box the grid's extent: the
        // patches cover the plot area, each pixel painted once.
        GCanvasModes top = c->modes;
        top.angle1 = -90 * 64;
        top.angle2 = 0;
        const double world[6] = {0, -1.5, 0, EXTENT, 1.5, EXTENT};
        for (int i = 0; i < 6; i++)
            top.world[i] = world[i];
        GSetCanvasModes(c, GCM_ANGLE1 | GCM_ANGLE2 | GCM_WORLD, &top);
    }
    if (!g || !c) {
        fprintf(out, "in memory: no device\n");
        return;
    }
    GUseColourMap(d, 0);
    GLightSource *light = glight_GCreateLightSource(c);
    GDepthEntry *list = nullptr;
    long count = 0;
    unsigned char *colours = gnormal_GGridSetVertexNormalColours(c, g, light, &list, &count);
    double area = std::fabs(GTransformLength(c, 4, 0, c->modes.pssize[0]) * GTransformLength(c, 4, 1, c->modes.pssize[1]));
    std::vector<double> ours, plain;
    long pixels[256];
    for (int i = 0; i < 256; i++)
        pixels[i] = i * 65793;
    size_t n = static_cast<size_t>(area) + 1;
    uint64_t check = 0;
    for (int r = 0; r < runs; r++) {
        auto t = Clock::now();
        grender_GRenderGridData(c, g, colours, list, count);
        ours.push_back(seconds_since(t));
        // As the renderer makes its image, the loop writes into a buffer of
        // its own each time.
        t = Clock::now();
        uint32_t *buffer = static_cast<uint32_t *>(malloc(n * sizeof(uint32_t)));
        double shade = 0, inc = 255.0 / static_cast<double>(n);
        for (size_t p = 0; p < n; p++, shade += inc)
            buffer[p] = static_cast<uint32_t>(pixels[static_cast<long>(shade) & 0xFF]);
        check += buffer[n / 2];
        free(buffer);
        plain.push_back(seconds_since(t));
    }
    fprintf(out, "rasteriser in memory: a %.0f-pixel plot area (%ld patches), median of %d runs (check %llu)\n\n",
            area, count, runs, static_cast<unsigned long long>(check % 1000));
    fprintf(out, "kernel      %10.4f s  %8.1f Mpixels/s\n", median(ours), area / median(ours) / 1e6);
    fprintf(out, "plain loop  %10.4f s  %8.1f Mpixels/s\n", median(plain), area / median(plain) / 1e6);
    fprintf(out, "ratio       %10.2f x\n", median(ours) / median(plain));
    vx_free(colours);
    vx_free(list);
    glight_GFreeLightSource(light);
    GCloseDevice(d);
    ggrid_GDestroyGrid(g);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && !strcmp(argv[1], "--render"))
        return render_run(argv[2], argv[3]);
    int runs = 5;
    bool memory_only = false;
    std::string out = VX_PELX_SHADE_RESULTS;
    for (int i = 1; i < argc; i++)
        if (!strcmp(argv[i], "--memory-only"))
            memory_only = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--runs"))
            runs = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (runs < 1) {
        fprintf(stderr, "usage: bench_pelx_shade [--runs R>0] [--out FILE]\n");
        return 2;
    }
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0)
        return 1;
    self[len] = 0;
    char dir[] = "/tmp/vx-bench-shade-XXXXXX";
    if (!mkdtemp(dir) || !initialise()) {
        fprintf(stderr, "bench_pelx_shade: no temporary directory or configuration\n");
        return 1;
    }
    FILE *f = fopen(out.c_str(), "w");
    if (!f) {
        perror(out.c_str());
        return 1;
    }
    if (!memory_only)
        processes(f, self, dir, runs);
    in_memory(f, runs);
    fclose(f);
    rmdir(dir);
    GTerminate();
    f = fopen(out.c_str(), "r");
    char line[256];
    while (f && fgets(line, sizeof line, f))
        fputs(line, stdout);
    if (f)
        fclose(f);
    return 0;
}
