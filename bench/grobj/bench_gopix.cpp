// The style pixmaps made at start-up: go_initialise_pixmaps (every
// colour, line style, marker, hatch and font picture drawn by the
// graphics kernel through the X11 driver on devices opened on the
// pixmaps), beside the floor: as many pixmaps of the same sizes made and
// filled with plain Xlib calls (XCreatePixmap, a GC, XFillRectangle).
// Both end with XSync and free their pixmaps; medians of several runs.
// The requests sent and the replies waited for (round trips) per picture
// are counted for both.
//
// Runs on $DISPLAY (for example under xvfb-run) with the build's
// graphics configuration.
// Usage: bench_gopix [--repeat R] [--out FILE]

#include "gopix.h"
#include "gx11.h"
#include "pelx.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

// Every reply Xlib waits for passes here (Xlib's own entry, whose reply
// record is left opaque): counted, then handed on.
namespace {
long replies = 0;
}
extern "C" Status _XReply(Display *dpy, void *rep, int extra, Bool discard)
{
    using Real = Status (*)(Display *, void *, int, Bool);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_XReply"));
    replies++;
    return real(dpy, rep, extra, discard);
}

namespace {

struct Run {
    double seconds;
    long requests, round_trips;
};

template <class F>
Run measure(Display *dpy, F f)
{
    XSync(dpy, False);
    const unsigned long first = XNextRequest(dpy);
    const long first_replies = replies;
    const auto t = Clock::now();
    f();
    XSync(dpy, False);
    const double s = std::chrono::duration<double>(Clock::now() - t).count();
    return Run{s, static_cast<long>(XNextRequest(dpy) - first), replies - first_replies - 1};  // less the XSync
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    int repeat = 7;
    std::string out = VX_GOPIX_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--repeat"))
            repeat = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--out"))
            out = argv[i + 1];
    }
    if (repeat < 1) {
        fprintf(stderr, "usage: bench_gopix [--repeat R>0] [--out FILE]\n");
        return 2;
    }
    XtToolkitInitialize();
    XtAppContext app = XtCreateApplicationContext();
    int xargc = 1;
    char name[] = "bench_gopix";
    char *xargv[] = {name, nullptr};
    Display *dpy = XtOpenDisplay(app, nullptr, "bench_gopix", "Vostrelane", nullptr, 0, &xargc, xargv);
    if (!dpy) {
        fprintf(stderr, "bench_gopix: no X display\n");
        return 1;
    }
    Widget shell = XtVaAppCreateShell("bench_gopix", "Vostrelane", applicationShellWidgetClass, dpy, XtNwidth, 100,
                                      XtNheight, 100, nullptr);
    x11_GInstallDriver();
    GColourMapParams(1, 0, 1);
    const std::string etc = VX_BENCH_ETC;
    if (GInitialise(etc.c_str(), "pelx.cfg", VX_BENCH_PELX_CAT, (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_gopix: the graphics library does not start on %s\n", etc.c_str());
        return 1;
    }
    go_initialise_pixmaps(shell, nullptr);  // once before timing: fonts and colour cells settle
    // The pictures: one counting picture, the colours (the last one wide),
    // and every other style at 38 x 16.
    std::vector<std::pair<unsigned, unsigned>> sizes(1, {38, 16});
    for (int i = 0; i < gopix_num_colour_entries; i++)
        sizes.push_back({i == gopix_num_colour_entries - 1 ? 177u : 38u, 16u});
    for (int n : {gopix_num_linestyle_entries, gopix_num_marker_entries, gopix_num_hatch_entries,
                  gopix_num_font_entries})
        for (int i = 0; i < n; i++)
            sizes.push_back({38, 16});
    const long pictures = static_cast<long>(sizes.size()) - 1;

    std::vector<double> ours, floor;
    Run last_ours{}, last_floor{};
    Screen *screen = DefaultScreenOfDisplay(dpy);
    for (int r = 0; r < repeat; r++) {
        last_ours = measure(dpy, [&] { go_initialise_pixmaps(shell, nullptr); });
        ours.push_back(last_ours.seconds);
        gopix_go_free_pixmaps();
        std::vector<Pixmap> made;
        last_floor = measure(dpy, [&] {
            for (auto [w, h] : sizes) {
                Pixmap p = XCreatePixmap(dpy, RootWindowOfScreen(screen), w, h,
                                         static_cast<unsigned>(DefaultDepthOfScreen(screen)));
                GC gc = XCreateGC(dpy, p, 0, nullptr);
                XSetForeground(dpy, gc, WhitePixelOfScreen(screen));
                XFillRectangle(dpy, p, gc, 0, 0, w, h);
                XSetForeground(dpy, gc, BlackPixelOfScreen(screen));
                XFillRectangle(dpy, p, gc, 2, 2, w - 4, h - 4);
                XFreeGC(dpy, gc);
                made.push_back(p);
            }
        });
        floor.push_back(last_floor.seconds);
        for (Pixmap p : made)
            XFreePixmap(dpy, p);
    }
    FILE *f = out.empty() ? stdout : fopen(out.c_str(), "w");
    if (!f)
        f = stdout;
    const double a = median(ours), b = median(floor);
    fprintf(f, "Style pixmaps: %ld pictures (%d colours, %d line styles, %d markers, %d hatches, %d fonts), median of %d\n",
            pictures, gopix_num_colour_entries, gopix_num_linestyle_entries, gopix_num_marker_entries,
            gopix_num_hatch_entries, gopix_num_font_entries, repeat);
    fprintf(f, "  go_initialise_pixmaps:   %8.4f s  %6.1f requests and %5.2f round trips per picture\n", a,
            double(last_ours.requests) / pictures, double(last_ours.round_trips) / pictures);
    fprintf(f, "  plain Xlib (floor):      %8.4f s  %6.1f requests and %5.2f round trips per picture\n", b,
            double(last_floor.requests) / pictures, double(last_floor.round_trips) / pictures);
    fprintf(f, "  ratio pixmaps / floor:   %8.2f\n", a / b);
    if (f != stdout) {
        fclose(f);
        printf("bench_gopix: figures in %s\n", out.c_str());
    }
    gopix_go_free_pixmaps();
    GTerminate();
    XtDestroyWidget(shell);
    XtCloseDisplay(dpy);
    XtDestroyApplicationContext(app);
    return 0;
}
