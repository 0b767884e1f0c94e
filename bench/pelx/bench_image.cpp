// A raster image of values: 1000 x 1000 doubles turned into pixels through
// GDoubleToPixel, without and with three thresholds (fixed colour, colour
// map spread, fixed colour), beside a plain loop that computes the same
// index and stores the same table entry.  Both in memory; medians of
// several runs, in the thread's processor time (the machine is shared).
//
// Usage: bench_pelx_image [--size N] [--repeat R] [--out FILE]

#include "pelx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

double cpu_now()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <class F>
double median_of(int repeat, F f)
{
    std::vector<double> t;
    for (int i = 0; i < repeat; i++) {
        double start = cpu_now();
        f();
        t.push_back(cpu_now() - start);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// The floor: the same arithmetic written straight.
void plain(const std::vector<double> &values, uint32_t *out, const long *table, double offset, double scale, long n)
{
    for (size_t i = 0; i < values.size(); i++) {
        double k = (values[i] - offset) * scale;
        long index = !(k > 0) ? 0 : k >= double(n - 1) ? n - 1 : long(k);
        out[i] = static_cast<uint32_t>(table[index]);
    }
}

void plain_bands(const std::vector<double> &values, uint32_t *out, const long *table, const long *fixed,
                 const double *thresholds, int count, double datamax, long levels)
{
    for (size_t i = 0; i < values.size(); i++) {
        double v = values[i];
        int band = 0;
        for (int b = 1; b < count; b++)
            if (thresholds[b] <= v)
                band = b;
        if (band != 1) {
            out[i] = static_cast<uint32_t>(fixed[band]);
            continue;
        }
        double lower = thresholds[1], upper = band == count - 1 ? datamax : thresholds[2];
        double k = (v - lower) * double(levels - 1) / (upper - lower);
        long index = !(k > 0) ? 0 : k >= double(levels - 1) ? levels - 1 : long(k);
        out[i] = static_cast<uint32_t>(table[index]);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    long size = 1000;
    int repeat = 7;
    std::string out = VX_PELX_IMAGE_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--size"))
            size = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--repeat"))
            repeat = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (size < 1 || size > 32767 || repeat < 1) {
        fprintf(stderr, "usage: bench_pelx_image [--size 1..32767] [--repeat R>0] [--out FILE]\n");
        return 2;
    }

    // Colour map 0 of 64 colours and eight device colours on a PostScript
    // device of the stand-in driver: 24-bit pixels.
    const long levels = 64;
    gcolmap_GCreateDefColourMapTable();
    GColourMap map{};
    map.colours = glist_GCreateList();
    for (long i = 0; i < levels; i++) {
        GColour c{};
        c.red = static_cast<uint16_t>(i * 1000);
        c.blue = static_cast<uint16_t>(65000 - i * 1000);
        gcolour_GAddMoreColour(map.colours, &c);
    }
    gcolmap_GAddColourMap(&map);
    gcolour_GDestroyColourTable(map.colours);
    gcolour_GCreateDefColourTable();
    for (int i = 0; i < 8; i++) {
        GColour c{};
        c.green = static_cast<uint16_t>(i * 8000);
        gcolour_GAddColour(&c);
    }
    GDeviceModes dm{};
    dm.protocol = GP_POSTSCRIPT;
    dm.colourmap = -1;
    GList *tables[GT_COUNT] = {gcolour_GCreateDevColourTable(), nullptr, nullptr, nullptr, nullptr,
                               gcolmap_GCreateDevColourMapTable()};
    GDeviceRecord *dev = GOpenDevice(GDM_PROTOCOL | GDM_COLOURMAP, &dm, tables);
    GCanvasModes cm{};
    cm.coords = GCS_DC;
    GCanvasRecord *cv = dev ? GOpenCanvas(dev, GCM_COORDS, &cm) : nullptr;
    if (!cv) {
        fprintf(stderr, "bench_pelx_image: no device\n");
        return 1;
    }

    // A ramp over the range with a ripple, so the bands are all visited.
    const double lo = 0, hi = 100;
    std::vector<double> values(static_cast<size_t>(size * size));
    for (long r = 0; r < size; r++)
        for (long k = 0; k < size; k++)
            values[size_t(r * size + k)] = hi * double(k) / double(size) + 3 * std::sin(double(r) * 0.01);
    double origin[2] = {0, 0}, range[2] = {lo, hi};
    GVector at{GV_DOUBLE, 0, 2, 1, {origin, nullptr, nullptr}};
    std::vector<uint32_t> floor_out(values.size());

    auto run = [&](bool bands, double &kernel, double &floor) {
        GRasterImage *im = GCreateImage(cv, size, size, &at, range, GIMG_DOUBLE);
        if (!im) {
            fprintf(stderr, "bench_pelx_image: no image\n");
            exit(1);
        }
        kernel = median_of(repeat, [&] {
            for (long r = 0; r < size; r++)
                for (long k = 0; k < size; k++)
                    GDoubleToPixel(cv, im, k, r, values[size_t(r * size + k)]);
        });
        const double thresholds[3] = {0, 30, 70};
        floor = median_of(repeat, [&] {
            if (bands)
                plain_bands(values, floor_out.data(), im->pixels, im->threshold_pixels, thresholds, 3, hi, levels);
            else
                plain(values, floor_out.data(), im->pixels, im->offset, im->scale, levels);
        });
        // Both sides store the same pixels.
        if (memcmp(im->data, floor_out.data(), floor_out.size() * 4) != 0) {
            fprintf(stderr, "bench_pelx_image: the loops disagree\n");
            exit(1);
        }
        GDestroyImage(im);
    };

    double plain_kernel = 0, plain_floor = 0, band_kernel = 0, band_floor = 0;
    run(false, plain_kernel, plain_floor);
    GColourMapModes cmm{};
    cmm.range = 2;
    cmm.levels = static_cast<int16_t>(levels);
    cmm.datamin = cmm.lower = lo;
    cmm.datamax = cmm.upper = hi;
    gcolmap_GSetColourMapModes(cv, GCMM_RANGE | GCMM_LEVELS | GCMM_DATAMIN | GCMM_DATAMAX | GCMM_LOWER | GCMM_UPPER,
                               &cmm);
    GThresholdModes tm{};
    tm.count = 3;
    tm.values[0] = 0, tm.values[1] = 30, tm.values[2] = 70;
    tm.colours[0] = 3, tm.colours[1] = -1, tm.colours[2] = 5;
    gthresh_GSetThresholdModes(cv, GTHM_COUNT | GTHM_VALUES | GTHM_COLOURS, &tm);
    run(true, band_kernel, band_floor);

    double cells = double(values.size());
    char text[512];
    snprintf(text, sizeof text,
             "image of %ld x %ld doubles, median of %d runs, ns of processor time per pixel\n"
             "GDoubleToPixel              %6.2f   plain loop %6.2f   ratio %.2f\n"
             "GDoubleToPixel, thresholds  %6.2f   plain loop %6.2f   ratio %.2f\n",
             size, size, repeat, plain_kernel / cells * 1e9, plain_floor / cells * 1e9, plain_kernel / plain_floor,
             band_kernel / cells * 1e9, band_floor / cells * 1e9, band_kernel / band_floor);
    fputs(text, stdout);
    if (FILE *f = fopen(out.c_str(), "w")) {
        fputs(text, f);
        fclose(f);
    }
    GCloseDevice(dev);
    gcolmap_GDestroyColourMapTable(nullptr);
    gcolour_GDestroyColourTable(nullptr);
    return 0;
}
