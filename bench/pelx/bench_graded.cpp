// A polyline coloured along its length: 100,000 world points over a colour
// map of 128 levels, each segment cut where it crosses a colour boundary
// (the boundary found by binary search) and every piece drawn in its own
// colour; beside the same polyline drawn plainly.  Both go to the stand-in
// driver, so the figures are the kernel's own work.  The comparison is per
// drawn piece: the plain polyline's segments, the graded one's pieces.
//
// Usage: bench_pelx_graded [--points N] [--levels L] [--repeat R] [--out FILE]

#include "gdriver.h"
#include "pelx.h"

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

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

template <class F>
double best_of(int repeat, F f)
{
    double best = 1e30;
    for (int i = 0; i < repeat; i++) {
        auto t = Clock::now();
        f();
        best = std::min(best, seconds_since(t));
    }
    return best;
}

// A driver that counts the lines it is given and does nothing else.
long lines_drawn = 0;
int count_line(GCanvasRecord *, const GVector *, const GVector *)
{
    lines_drawn++;
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    long n = 100000, levels = 128;
    int repeat = 5;
    std::string out = VX_PELX_GRADED_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--points"))
            n = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--levels"))
            levels = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--repeat"))
            repeat = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (n < 2 || levels < 2 || levels > 255 || repeat < 1) {
        fprintf(stderr, "usage: bench_pelx_graded [--points N>1] [--levels 2..255] [--repeat R>0] [--out FILE]\n");
        return 2;
    }

    // Colour map 0 of `levels` colours on a PostScript device.
    gcolmap_GCreateDefColourMapTable();
    GColourMap map{};
    map.colours = glist_GCreateList();
    for (long i = 0; i < levels; i++) {
        GColour c{};
        c.red = static_cast<uint16_t>(i * 65535 / levels);
        gcolour_GAddMoreColour(map.colours, &c);
    }
    gcolmap_GAddColourMap(&map);
    gcolour_GDestroyColourTable(map.colours);
    gcolmap_GIndexColourMapTable();
    GDeviceModes dm{};
    dm.protocol = GP_POSTSCRIPT;
    dm.dcxdim = 8000;
    dm.dcydim = 6000;
    GList *tables[GT_COUNT] = {nullptr, nullptr, nullptr, nullptr, nullptr, gcolmap_GCreateDevColourMapTable()};
    GDeviceRecord *dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM, &dm, tables);
    GCanvasModes cm{};
    cm.coords = GCS_WC;
    double world[6] = {0, -1.5, 0, double(n), 1.5, 1};
    memcpy(cm.world, world, sizeof world);
    GCanvasRecord *cv = dev ? GOpenCanvas(dev, GCM_COORDS | GCM_WORLD, &cm) : nullptr;
    if (!dev || !cv || GUseColourMap(dev, 0) != levels) {
        fprintf(stderr, "bench_pelx_graded: cannot open the device, canvas or colour map\n");
        return 1;
    }
    // A wave that sweeps the whole range every 2,000 points.
    std::vector<double> pts(static_cast<size_t>(2 * n));
    for (long i = 0; i < n; i++) {
        pts[static_cast<size_t>(2 * i)] = double(i);
        pts[static_cast<size_t>(2 * i + 1)] = std::sin(i * M_PI / 1000);
    }
    GVector v{GV_DOUBLE, 0, 2, n, {pts.data(), nullptr, nullptr}};

    double t_plain = best_of(repeat, [&] { gdraw_GDrawPolyLine(cv, &v); });

    GColourMapModes m{};
    m.mode = 1;
    m.range = 1;
    m.levels = static_cast<int16_t>(levels);
    m.lower = -1;
    m.upper = 1;
    gcolmap_GSetColourMapModes(cv, GCMM_MODE | GCMM_RANGE | GCMM_LEVELS | GCMM_LOWER | GCMM_UPPER, &m);
    double t_graded = best_of(repeat, [&] { gdraw_GDrawPolyLine(cv, &v); });

    // The pieces the graded polyline draws, counted once.
    GEntryPoints counting = *gep_GStubEntryPoints(GDRV_POSTSCRIPT);
    counting.DrawLine = count_line;
    gep_GSetDriver(GDRV_POSTSCRIPT, &counting);
    gdraw_GDrawPolyLine(cv, &v);
    gep_GSetDriver(GDRV_POSTSCRIPT, nullptr);
    long pieces = lines_drawn, segments = n - 1;

    double per_segment = t_plain / double(segments), per_piece = t_graded / double(pieces);
    char text[1024];
    snprintf(text, sizeof text,
             "Polyline of %ld world points, colour map of %ld levels (best of %d)\n"
             "  plain polyline:   %.4f s, %ld segments, %8.1f ns per segment\n"
             "  graded polyline:  %.4f s, %ld pieces,   %8.1f ns per piece\n"
             "  graded / plain per drawn piece: %.2f\n",
             n, levels, repeat, t_plain, segments, per_segment * 1e9, t_graded, pieces, per_piece * 1e9,
             per_piece / per_segment);
    fputs(text, stdout);
    if (FILE *o = fopen(out.c_str(), "w")) {
        fputs(text, o);
        fclose(o);
    }
    GCloseDevice(dev);
    gcolmap_GDestroyColourMapTable(nullptr);
    return 0;
}
