// A line graph of 100,000 points in the display window's graph view: the
// time to lay it out and draw it again after the canvas changed size (the
// graph view's resize, through the graph model and the X11 driver, to the
// server's reply), beside the floor: the same points, already in window
// pixels, drawn with one XDrawLines into the same window.  Both clear the
// canvas first and wait for the server.  Median of several runs.  Then the
// same graph carrying its titles, notes and axis titles and ten user texts:
// its redraw beside the bare graph's, in the same sitting.
//
// Usage: bench_graph [--points N] [--runs N] [--out FILE]   (DISPLAY must name a server)

#include "dsmgr.h"
#include "dygrph.h"
#include "dymain.h"
#include "giinit.h"
#include "gomain.h"
#include "goobj.h"
#include "goprop.h"
#include "gpinit.h"
#include "grkind.h"
#include "gx11.h"
#include "qymgr.h"
#include "vxbench.h"
#include "vxbench_points.h"

#include <Xm/MainW.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

// The graph's points in window pixels.
std::vector<XPoint> window_points(GoGraph *g, long n)
{
    std::vector<double> xy;
    xy.reserve(2 * static_cast<size_t>(n));
    GoTuple t{};
    t.dataset = g->first;
    for (long i = 0; i < n; i++, goprop_go_next_point(&t)) {
        goprop_triple_reader(&t);
        xy.push_back(t.x ? *t.x : 0);
        xy.push_back(t.y ? *t.y : 0);
    }
    GVector in{GV_DOUBLE, 0, 2, n, {xy.data(), nullptr, nullptr}}, out{};
    std::vector<XPoint> points;
    if (GTransformPoints(g->canvas, GCS_WC, GCS_DC, &in, &out) == 0 && out.type == GV_SHORT && out.data[0]) {
        const short *o = static_cast<const short *>(out.data[0]);
        for (long i = 0; i < out.count; i++)
            points.push_back(XPoint{o[2 * i], o[2 * i + 1]});
    }
    gvector_GFreeVectorData(&out);
    return points;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Titles 0-4, notes 5-9, the x and y titles, and ten user texts spread over
// the graph area, each a line or two.
void annotate(GoGraph *g)
{
    for (int id = 0; id < 10; id++) {
        const std::string t = (id < 5 ? "Title " : "Note ") + std::to_string(id) + (id % 2 ? "\nsecond line" : "");
        goprop_go_set_property(g, GP_TITLE, id, t.c_str());
    }
    goprop_go_set_property(g, GP_XTITLE, 0, "x values");
    goprop_go_set_property(g, GP_YTITLE, 0, "y values");
    for (int k = 0; k < 10; k++) {
        const int id = gobj_go_set_text_object(g, -1, ("user text " + std::to_string(k)).c_str(), nullptr);
        const double h = 10 + 8 * k, v = 20 + 6 * k;
        goprop_go_set_property(g, GP_HOFFSET, id, &h);
        goprop_go_set_property(g, GP_VOFFSET, id, &v);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out = std::string(VX_RESULTS_DIR) + "/display-graph.txt";
    long points = 100000;
    int runs = 9;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!strcmp(argv[i], "--points") && i + 1 < argc)
            points = atol(argv[++i]);
        else if (!strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = atoi(argv[++i]);
        else {
            fprintf(stderr, "usage: %s [--points N] [--runs N] [--out FILE]\n", argv[0]);
            return 2;
        }
    }
    if (points < 2 || points > 30000000 || runs < 1) {
        fprintf(stderr, "usage: %s [--points N] [--runs N] [--out FILE]\n", argv[0]);
        return 2;
    }

    XtAppContext app;
    int xargc = 1;
    char name[] = "bench_graph";
    char *xargv[] = {name, nullptr};
    Widget top = XtOpenApplication(&app, "Vostrelane", nullptr, 0, &xargc, xargv, nullptr,
                                   applicationShellWidgetClass, nullptr, 0);
    if (!top) {
        fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    const std::string etc = std::string(VX_BENCH_BUILD) + "/etc";
    const std::string cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    gpinit_GInstallDriver();
    giinit_GInstallDriver();
    x11_GInstallDriver();
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_graph: cannot read the graphics configuration in %s\n", etc.c_str());
        return 1;
    }
    AppData ad{};
    ad.catd = NL_NO_CATALOGUE;
    ad.runMode = 0;
    ad.buffer_size = ad.queryBufferSize = 4000000;
    XtVaSetValues(top, XmNwidth, 800, XmNheight, 600, nullptr);
    Widget mw = XmCreateMainWindow(top, const_cast<char *>("displayWindow"), nullptr, 0);
    XtManageChild(mw);
    XmMainWindowSetAreas(mw, nullptr, nullptr, nullptr, nullptr, dymain_display_init(top, mw, &ad, nullptr));
    Widget canvas = dymain_dy_canvas();
    dsmgr_ds_init(canvas, &ad);
    gomain_go_initialise_objects(&ad);
    dy_hooks.set_graph_background = [](unsigned long pixel) { gomain_go_set_background(static_cast<long>(pixel)); };
    XtRealizeWidget(top);
    while (XtAppPending(app))
        XtAppProcessEvent(app, XtIMAll);
    Display *d = XtDisplay(canvas);
    const Window w = XtWindow(canvas);

    // The points as the archive's current dataset (data order xyz).
    const int dataset = vxbench::points_dataset(points);
    if (dataset < 0) {
        fprintf(stderr, "bench_graph: cannot make the dataset\n");
        return 1;
    }
    // The graph view takes the canvas: one graph over the whole of it, with
    // the dataset set but not drawn yet.
    dygrph_dy_enable_graph_mode(1);
    while (XtAppPending(app))
        XtAppProcessEvent(app, XtIMAll);
    GoGraph *g = dygrph_dy_focussed_graph();
    if (!g || g->first != dataset) {
        fprintf(stderr, "bench_graph: the graph did not take the data\n");
        return 1;
    }
    int cw = 0, ch = 0;
    dymain_dy_get_canvas_size(&cw, &ch);

    // The canvas as it was and somewhat smaller, in turn: each resize lays
    // the graph out and draws all its points again.
    std::vector<double> view, floor, annotated;
    const int sizes[2][2] = {{cw - 40, ch - 30}, {cw, ch}};
    for (int r = 0; r < runs; r++) {
        const int *s = sizes[r % 2];
        auto t0 = Clock::now();
        XClearArea(d, w, 0, 0, 0, 0, False);
        dygrph_dy_resize(s[0], s[1]);
        XSync(d, False);
        view.push_back(std::chrono::duration<double>(Clock::now() - t0).count());

        std::vector<XPoint> px = window_points(g, points);
        GC gc = dymain_dy_graph_gc();
        t0 = Clock::now();
        XClearArea(d, w, 0, 0, 0, 0, False);
        XDrawLines(d, w, gc, px.data(), static_cast<int>(px.size()), CoordModeOrigin);
        XSync(d, False);
        floor.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    annotate(g);
    for (int r = 0; r < runs; r++) {
        const int *s = sizes[r % 2];
        const auto t0 = Clock::now();
        XClearArea(d, w, 0, 0, 0, 0, False);
        dygrph_dy_resize(s[0], s[1]);
        XSync(d, False);
        annotated.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    const double v = median(view), f = median(floor), a = median(annotated);
    char line[768];
    snprintf(line, sizeof line,
             "A line graph of %ld points in the graph view (%d x %d canvas, X server %s), median of %d runs\n\n"
             "    redraw after a resize %.1f ms; one XDrawLines of the same points %.1f ms (floor); %.2f x floor\n"
             "    with its titles, notes, axis titles and ten user texts %.1f ms; %.2f x the bare graph\n",
             points, cw, ch, ServerVendor(d), runs, v * 1000, f * 1000, v / f, a * 1000, a / v);
    fputs(line, stdout);
    vxbench::write_report(out, line);
    return 0;
}
