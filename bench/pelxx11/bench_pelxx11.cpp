// Seconds per redraw of a polyline of N points into an X window: the
// kernel transforms the canvas points to 16-bit device points and the X11
// driver sends them in requests of the server's maximum size.  Beside it,
// the floor: XDrawLines of the same device points in the same requests.
// Both end with XSync, so the server's drawing is included.
//
// Runs on $DISPLAY (for example under xvfb-run).
// Usage: bench_pelxx11 [--points N] [--repeat R] [--out FILE]

#include "gx11.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

}  // namespace

int main(int argc, char **argv)
{
    long n = 100000;
    int repeat = 7;
    std::string out = VX_PELXX11_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--points"))
            n = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--repeat"))
            repeat = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (n < 2 || repeat < 1) {
        fprintf(stderr, "usage: bench_pelxx11 [--points N>1] [--repeat R>0] [--out FILE]\n");
        return 2;
    }
    x11_GInstallDriver();
    GDeviceModes m{};
    m.protocol = GP_X;
    m.dcxdim = 1000;
    m.dcydim = 800;
    m.backingstore = 0;
    GDeviceRecord *dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM | GDM_BACKINGSTORE, &m, nullptr);
    if (!dev) {
        fprintf(stderr, "bench_pelxx11: cannot open the X display\n");
        return 1;
    }
    GCanvasModes cm{};
    cm.coords = GCS_VDC;
    cm.clip = 0;
    GCanvasRecord *cv = GOpenCanvas(dev, GCM_COORDS | GCM_CLIP, &cm);
    // A dense wave across the whole window, in VDC.
    std::vector<double> vdc(static_cast<size_t>(2 * n));
    for (long i = 0; i < n; i++) {
        vdc[static_cast<size_t>(2 * i)] = 4095.0 * i / (n - 1);
        vdc[static_cast<size_t>(2 * i + 1)] = 1600 + 1400 * std::sin(i * 0.05) * std::cos(i * 0.0007);
    }
    GVector points{GV_DOUBLE, 0, 2, n, {vdc.data(), nullptr, nullptr}};
    GVector dc{};
    gcoords_GTransformVector(&dc, &points, cv->current, 0, GV_SHORT, 2);
    std::vector<XPoint> xp(static_cast<size_t>(n));
    const short *s = static_cast<const short *>(dc.data[0]);
    for (long i = 0; i < n; i++)
        xp[static_cast<size_t>(i)] = XPoint{s[2 * i], s[2 * i + 1]};
    gvector_GFreeVectorData(&dc);

    Display *d = static_cast<Display *>(dev->modes.displayconn);
    Window w = static_cast<Window>(dev->modes.window);
    GC gc = XCreateGC(d, w, 0, nullptr);
    long cap = static_cast<GXDevicePart *>(dev->driver)->max_points;
    auto kernel = [&] {
        gdraw_GDrawPolyLine(cv, &points);
        XSync(d, False);
    };
    auto floor = [&] {
        for (long start = 0; start < n - 1; start += cap - 1)
            XDrawLines(d, w, gc, xp.data() + start, static_cast<int>(std::min(cap, n - start)), CoordModeOrigin);
        XSync(d, False);
    };
    kernel();
    floor();
    double tk = 1e30, tf = 1e30;
    for (int r = 0; r < repeat; r++) {  // interleaved, so both see the same load
        tf = std::min(tf, best_of(1, floor));
        tk = std::min(tk, best_of(1, kernel));
    }
    XFreeGC(d, gc);
    GCloseDevice(dev);

    char report[1024];
    snprintf(report, sizeof report,
             "polyline of %ld points into a 1000 x 800 window (best of %d, XSync included)\n"
             "  kernel + X11 driver : %9.3f ms  %7.2f Mpoints/s\n"
             "  XDrawLines floor    : %9.3f ms  %7.2f Mpoints/s\n"
             "  ratio               : %9.2f x\n",
             n, repeat, tk * 1e3, n / tk / 1e6, tf * 1e3, n / tf / 1e6, tk / tf);
    fputs(report, stdout);
    std::ofstream(out) << report;
    printf("written to %s\n", out.c_str());
    return 0;
}
