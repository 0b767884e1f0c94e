// Points per second of a polyline of world points drawn onto a canvas: the
// kernel takes them through the world-to-device transform into 16-bit
// device points and hands them to the driver.  Three figures:
//   - to the recording driver (which also copies every point it gets);
//   - to the stand-in driver (which returns at once): the kernel alone;
//   - a plain loop applying the same affine transform to the same points
//     into 16-bit values, the floor for this work.
//
// Usage: bench_pelx [--points N] [--repeat R] [--out FILE]

#include "grecord.h"
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

}  // namespace

int main(int argc, char **argv)
{
    long n = 1000000;
    int repeat = 5;
    std::string out = VX_PELX_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--points"))
            n = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--repeat"))
            repeat = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (n < 2 || repeat < 1) {
        fprintf(stderr, "usage: bench_pelx [--points N>1] [--repeat R>0] [--out FILE]\n");
        return 2;
    }

    // A 1000 by 800 screen-like device (y downwards) and a canvas in world
    // coordinates over a sine wave.
    GDeviceModes dm{};
    dm.protocol = GP_X;
    dm.dcxdim = 1000;
    dm.dcydim = 800;
    GDeviceRecord *dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM, &dm, nullptr);
    GCanvasModes cm{};
    cm.coords = GCS_WC;
    double world[6] = {0, -1.5, 0, double(n), 1.5, 1};
    memcpy(cm.world, world, sizeof world);
    GCanvasRecord *cv = GOpenCanvas(dev, GCM_COORDS | GCM_WORLD, &cm);
    if (!dev || !cv) {
        fprintf(stderr, "bench_pelx: cannot open the device or canvas\n");
        return 1;
    }
    std::vector<double> pts(static_cast<size_t>(2 * n));
    for (long i = 0; i < n; i++) {
        pts[static_cast<size_t>(2 * i)] = double(i);
        pts[static_cast<size_t>(2 * i + 1)] = std::sin(i * 0.001);
    }
    GVector v{GV_DOUBLE, 0, 2, n, {pts.data(), nullptr, nullptr}};

    double t_stub = best_of(repeat, [&] { gdraw_GDrawPolyLine(cv, &v); });

    grec::install();
    double t_rec = best_of(repeat, [&] {
        grec::clear();
        gdraw_GDrawPolyLine(cv, &v);
    });
    long recorded = grec::of(9).empty() ? 0 : grec::of(9).back().points.at(0).count();
    grec::remove();

    // The same affine map, written out.
    const GXformPart &f = cv->xf[GX_WC].forward;
    std::vector<short> dc(static_cast<size_t>(2 * n));
    double t_plain = best_of(repeat, [&] {
        const double m0 = f.m[0], m1 = f.m[1], m3 = f.m[3], m4 = f.m[4], tx = f.offset[0], ty = f.offset[1];
        for (long i = 0; i < n; i++) {
            double x = pts[static_cast<size_t>(2 * i)], y = pts[static_cast<size_t>(2 * i + 1)];
            double a = m0 * x + m1 * y + tx, b = m3 * x + m4 * y + ty;
            dc[static_cast<size_t>(2 * i)] = static_cast<short>(std::clamp(a, -32768.0, 32767.0));
            dc[static_cast<size_t>(2 * i + 1)] = static_cast<short>(std::clamp(b, -32768.0, 32767.0));
        }
    });
    long check = 0;
    for (long i = 0; i < n; i += 997)
        check += dc[static_cast<size_t>(2 * i + 1)];

    char text[1024];
    snprintf(text, sizeof text,
             "Polyline of %ld world points to 16-bit device points (best of %d)\n"
             "  to the recording driver:  %12.0f points/s  (%.4f s, %ld points recorded)\n"
             "  to the stand-in driver:   %12.0f points/s  (%.4f s)\n"
             "  plain affine loop:        %12.0f points/s  (%.4f s, check %ld)\n"
             "  kernel / plain loop: %.2f\n",
             n, repeat, n / t_rec, t_rec, recorded, n / t_stub, t_stub, n / t_plain, t_plain, check,
             t_stub / t_plain);
    fputs(text, stdout);
    if (FILE *o = fopen(out.c_str(), "w")) {
        fputs(text, o);
        fclose(o);
    }
    GCloseDevice(dev);
    return 0;
}
