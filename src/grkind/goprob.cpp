// The probability kind: each dataset's values, sorted, against their
// plotting positions on normal-probability or Weibull paper, with
// reference lines at the normal distribution's standard percentiles and a
// least-squares line whose gradient and intercept become named values of
// the graph.  `probaxis` chooses the axis that carries the probability:
// 0 x (the values on y), otherwise y.
//
// A value that is not a number is left out like a missing one: it would
// compare equal to every value and break the order the sort relies on.

#include "grkind.h"

#include "goaxes.h"
#include "goskel.h"
#include "gotime.h"
#include "seams.h"

#include "dsmgr.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "grkind_msgs.def"
#undef VXMSG

// Plotting position in per cent of the value of rank i (from 0) among n:
// the median rank on Weibull paper, else the mean rank.
double ranked_cdf(long i, long n, int weibull)
{
    if (weibull)
        return (static_cast<double>(i) + 1 - 0.3) * 100 / (static_cast<double>(n) + 0.4);
    return (static_cast<double>(i) + 1) * 100 / (static_cast<double>(n) + 1);
}

// Ascending order of two doubles.
int creal(const void *a, const void *b)
{
    const double x = *static_cast<const double *>(a), y = *static_cast<const double *>(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

namespace {

bool probability_type(int type) { return type == SCALE_NORMAL || type == SCALE_WEIBULL; }

int prob_auto_scale(GoGraph *graph, int)
{
    if (!graph)
        return 0;
    const bool p_is_y = gk_iprop(graph, GP_PROBAXIS) != 0;
    if (gk_iprop(graph, p_is_y ? GP_YLOGARITHMIC : GP_XLOGARITHMIC)) {
        go_show_error(GK_LOG_REFUSED);
        return 0;
    }
    const int type = gk_iprop(graph, GP_PROBDIST) ? SCALE_WEIBULL : SCALE_NORMAL;
    // The values are the y data whichever axis shows them: D's scale is
    // made in the y block from D's settings.
    const bool weibull = type == SCALE_WEIBULL;
    if (p_is_y) {
        const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
        gomain_go_get_tinfos(graph, graph->first, &xt, &yt, &zt);
        if (!gk_scale_axis(graph, GK_X_PROPS, 0, yt, &graph->yblock, weibull))
            return 0;
    } else if (!gk_scale_y_axes(graph, GK_Y_PROPS, weibull)) {
        return 0;
    }
    ScaleRec *p = &graph->xblock.scale;
    scale_ClearScaleStuff(p);
    scale_SetScaleType(p, type);
    scale_SetScaleMax(p, 1, 1);
    scale_SetScaleMin(p, 0, 1);
    int code = 0;
    if (scale_ScaleAxis(p, &code) != 0)
        gomain_go_show_autoscale_error(code);
    if (p_is_y)
        std::swap(graph->xblock.scale, graph->yblock.scale);
    return 1;
}

// One draw's view of the two axes: P carries the probability, D the values.
struct Axes {
    bool p_is_y = false;
    int dist = 0;             // `probdist`
    ScaleRec *p = nullptr, *dscale = nullptr;
    ScaleProc fp = nullptr, fd = nullptr;
    // A point of the paper in world coordinates.
    std::pair<double, double> at(double prob, double value) const
    {
        const double a = gk_through(fp, prob), b = gk_through(fd, value);
        return p_is_y ? std::pair{b, a} : std::pair{a, b};
    }
};

// The first and last divisions of a scale through its forward procedure.
std::pair<double, double> span(ScaleRec *s)
{
    double a = 0, b = 0;
    scale_GetFirstDiv(s, &a);
    scale_GetLastDiv(s, &b);
    const ScaleProc f = scale_GGetForwardScaleProc(s);
    return {gk_through(f, a), gk_through(f, b)};
}

// A world line from (a1, b1) to (a2, b2) in the overlay's colour and
// style; (b, a) when swap is set.
void draw_line(GoGraph *graph, double a1, double b1, double a2, double b2, int overlay, bool swap)
{
    GLineModes lm{};
    lm.style = gk_iprop(graph, GP_OVLSTYLE, overlay);
    lm.colour = gk_iprop(graph, GP_OVLCOLOUR, overlay);
    lm.width = 0;
    GSetLineModes(graph->canvas, 0x13, &lm);
    if (swap)
        gomain_go_draw_line(graph->canvas, b1, a1, b2, a2, GCS_WC);
    else
        gomain_go_draw_line(graph->canvas, a1, b1, a2, b2, GCS_WC);
}

// The fit of the straightened paper (overlay 5) and, on normal paper, the
// lines at the median (2), one and two standard deviations (3) and three
// (4).
void draw_prob_overlays(GoGraph *graph, const Axes &ax, ScaleRec *dscale, const std::vector<double> &sorted)
{
    auto on = [&](int k) { return gk_iprop(graph, GP_OVERLAYON, k) != 0; };
    const auto [pfirst, plast] = span(ax.p);
    const auto [dfirst, dlast] = span(dscale);
    const ScaleProc fd = scale_GGetForwardScaleProc(dscale);
    const long n = static_cast<long>(sorted.size());
    if (on(5) && n > 0) {
        double sa = 0, sb = 0, sab = 0, saa = 0;
        for (long i = 0; i < n; i++) {
            const double a = gk_through(ax.fp, ranked_cdf(i, n, ax.dist)), b = gk_through(fd, sorted[i]);
            sa += a;
            sb += b;
            sab += a * b;
            saa += a * a;
        }
        const double nn = static_cast<double>(n), den = nn * saa - sa * sa;
        // One value (or all at one rank) has no line through it.
        if (den != 0 && std::isfinite(den)) {
            const double gradient = (nn * sab - sa * sb) / den, intercept = (sb - gradient * sa) / nn;
            draw_line(graph, pfirst, gradient * pfirst + intercept, plast, gradient * plast + intercept, 5,
                      ax.p_is_y);
            goover_go_set_overlay_var(graph, "%GRADIENT", gradient, 12, -1, 0);
            goover_go_set_overlay_var(graph, "%INTERCEPT", intercept, 12, -1, 0);
        }
    }
    if (ax.dist)
        return;
    auto across = [&](int overlay, double prob) {
        const double a = gk_through(ax.fp, prob);
        draw_line(graph, a, dfirst, a, dlast, overlay, ax.p_is_y);
    };
    if (on(2))
        across(2, 50.0);
    if (on(3))
        for (double prob : {84.13, 97.73, 100 - 84.13, 100 - 97.73})
            across(3, prob);
    if (on(4))
        for (double prob : {99.865, 100 - 99.865})
            across(4, prob);
}

// The dataset's values that are numbers, sorted.
std::vector<double> sorted_values(GoTupleReader reader, int dataset)
{
    std::vector<double> v;
    v.reserve(1000);
    GoTuple t{};
    t.dataset = dataset;
    for (;; goprop_go_next_point(&t)) {
        reader(&t);
        if (t.status & GT_S_END)
            break;
        if (goprop_null_tuple(&t) || !t.y || std::isnan(*t.y))
            continue;
        v.push_back(*t.y);
    }
    std::sort(v.begin(), v.end(), [](double a, double b) { return creal(&a, &b) < 0; });
    return v;
}

// The frame: borders, the axes with P's labels in per cent whatever the
// user's format (which is put back), and the extra y axes' frames.
void draw_frame(GoGraph *g, bool p_is_y)
{
    GCanvasRecord *c = g->canvas;
    gk_clip_selector(c, 1);
    if (g->multiy)
        gomain_go_set_2d_coordinates(g);
    gomain_go_draw_borders(g);
    const int format = p_is_y ? GP_YLABELFORMAT : GP_XLABELFORMAT;
    const char *was = static_cast<const char *>(goprop_go_property(g, format, 0, 0));
    const std::string kept = was ? was : "";
    goprop_go_set_property(g, format, 0, "%6.2v");
    gomain_go_draw_2d_axes(g, GO_AXES_SCALAR);
    gomain_go_draw_division_labels(g, GO_AXES_SCALAR);
    for (int d = g->first + 1; g->multiy && d <= g->last; d++) {
        if (!gomy_go_multiy_axis_enabled(g, gomy_go_multiy_for_dataset(g, d)))
            continue;
        gomy_go_set_multiy_coord(g, d);
        gomain_go_draw_2d_multiy_axes(g, d, GO_AXES_SCALAR);
        gomain_go_draw_multiy_division_labels(g, d, GO_AXES_SCALAR);
    }
    goprop_go_set_property(g, format, 0, kept.c_str());
}

// The surface style of the points: 0 a line through them, 1 markers
// joined by lines, 2 markers alone.
unsigned char surface_style(GoGraph *g)
{
    switch (gk_iprop(g, GP_LINESCAT_OPT)) {
    case 1: return 1;
    case 2: return 0;
    default: return 4;
    }
}

// One dataset: its sorted values at their plotting positions.  False when
// the surface cannot be made.
bool draw_dataset(GoGraph *g, int d, const Axes &base, GoTupleReader reader, bool full, bool &any_map)
{
    GCanvasRecord *c = g->canvas;
    const int q = d - g->first;
    Axes ax = base;
    GoAxisBlock *db = &g->yblock;
    bool extra = false;
    if (g->multiy && !ax.p_is_y) {
        const int axis = gomy_go_multiy_for_dataset(g, d);
        if (GoAxisBlock *b = gomy_go_multiy_axis(g, axis))
            db = b;
        extra = d != g->first && gomy_go_multiy_axis_enabled(g, axis);
        gomy_go_set_multiy_coord(g, d);
    }
    ScaleRec *dscale = ax.p_is_y ? &g->xblock.scale : &db->scale;
    ax.fd = scale_GGetForwardScaleProc(dscale);
    gk_clip_selector(c, 2);
    GLineModes lm{};
    lm.colour = gk_iprop(g, GP_COLOUR, q);
    lm.style = 0;
    GSetLineModes(c, 0x13, &lm);
    GMarkerModes mm{};
    mm.index = gk_iprop(g, GP_MARKERSTYLE);
    mm.scale = gk_dprop(g, GP_MARKERSIZE);
    GSetMarkerModes(c, 0x3, &mm);
    GSurfaceModes sm{};
    sm.style = surface_style(g);
    gsurf_GSetSurfaceModes(c, 0x1, &sm);
    any_map = gomain_go_get_colourmap(g, db, d, 1) || any_map;
    GThresholdModes th{};
    th.x_forward = scale_GGetForwardScaleProc(&g->xblock.scale);
    th.x_back = scale_GGetReverseScaleProc(&g->xblock.scale);
    th.y_forward = scale_GGetForwardScaleProc(&g->yblock.scale);
    th.y_back = scale_GGetReverseScaleProc(&g->yblock.scale);
    gthresh_GSetThresholdModes(c, 0xF00, &th);

    const std::vector<double> values = sorted_values(reader, d);
    const long n = static_cast<long>(values.size());
    GSurface *surface = gsurf_GCreateSurface(-1, GV_DOUBLE);
    if (!surface) {
        gomain_go_forget_colourmap(g);
        return false;
    }
    for (long i = 0; i < n; i++) {
        const auto [x, y] = ax.at(ranked_cdf(i, n, ax.dist), values[static_cast<size_t>(i)]);
        const double point[3] = {x, y, 0};
        gsurf_GAddSurfacePoint(surface, point, i, GSURF_POINT);
    }
    gsurf_GDraw2DMarkerSurface(c, surface);
    gsurf_GDestroySurface(surface);
    // The lines stay inside the plot: the fit can leave the values' axis
    // well before the paper ends.
    if (full && (d == g->first || extra))
        draw_prob_overlays(g, ax, dscale, values);
    gomain_go_forget_colourmap(g);
    return true;
}

}  // namespace

int goprob_setdata(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_scalar_graph(graph, dataset, prob_auto_scale);
}

int goprob_draw_graph(GoGraph *graph, int reason, uint64_t *flags)
{
    if (!graph)
        return 0;
    uint64_t none = 0;
    if (!flags)
        flags = &none;
    Axes ax;
    ax.p_is_y = gk_iprop(graph, GP_PROBAXIS) != 0;
    int has_data = 0, character = 0;
    gostd_std_draw_preamble(graph, reason, flags, &has_data, &character, GO_AXES_SCALAR, prob_auto_scale,
                            gomain_go_set_2d_coordinates);
    if (reason == GO_REOPEN && (*flags & GO_PREAMBLE_ONLY))
        return 0;
    const bool partial = reason == GO_NEW_DATA && *flags != 0;
    GCanvasRecord *c = graph->canvas;
    ax.p = ax.p_is_y ? &graph->yblock.scale : &graph->xblock.scale;
    // A graph whose paper was never scaled has no coordinates to draw in.
    if (!has_data || !c || graph->first < 0 || !probability_type(ax.p->type))
        return 0;
    ax.dist = ax.p->type == SCALE_WEIBULL;
    ax.fp = scale_GGetForwardScaleProc(ax.p);
    const GoClass *cls = gomain_go_class(graph);
    auto reader = reinterpret_cast<GoTupleReader>(
        goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
    if (!reader)
        reader = goprop_triple_reader;
    gomain_go_use_world_coordinates(c);
    const int was_autoinc = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    if (!partial)
        draw_frame(graph, ax.p_is_y);
    bool any_map = false;
    for (int d = partial ? graph->last : graph->first; d <= graph->last; d++) {
        if (dsmgr_ds_character(d) <= 0 || !draw_dataset(graph, d, ax, reader, !partial, any_map))
            break;
    }
    gk_clip_selector(c, 0);
    if (!partial)
        gomain_go_draw_all_titles(graph);
    goleg_go_draw_legend(graph, 1);
    goprop_go_tuple_autoinc(was_autoinc);
    if (any_map)
        gocolbar_go_draw_colourbar(graph, graph->first, nullptr);
    if (graph->multiy)
        gomy_go_set_multiy_coord(graph, graph->first);
    gk_clip_selector(c, 0);
    return 0;
}
