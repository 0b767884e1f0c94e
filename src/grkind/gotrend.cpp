// The trend kind: values over a date-and-time x axis, dataset by dataset,
// as markers joined in one of the scatter kind's ways, or as lines.  It
// runs on the skeleton (goskel).  The time read-out and output, the time
// x axis and the scaling of the y axes live here too: the trend-bar kind
// shares them, the probability kind the axis scaling.
//
// With VX_12_COMPATIBILITY set in the environment (looked up at every
// draw) the older style holds: every point has its marker, joined by
// straight lines when no other join is chosen, lines or not.

#include "grkind.h"

#include "goskel.h"
#include "gotime.h"

#include "dsput.h"
#include "gsformat.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "grkind_msgs.def"
#undef VXMSG

// ---- scaling shared by the trend, trend-bar and probability kinds ---------------------

int gk_scale_axis(GoGraph *graph, const GkAxisProps &p, int q, const DozColDesc *type, GoAxisBlock *block,
                  bool force_log)
{
    int log = 0, ndivs = 0, nticks = 0;
    double origin = 0, max = 0, min = 0, div = 0;
    const int *plog = nullptr, *pndivs = nullptr, *pnticks = nullptr;
    const double *porigin = nullptr, *pmax = nullptr, *pmin = nullptr, *pdiv = nullptr;
    auto i = [&](int prop, int &v, const int *&ptr) {
        if (const int *r = static_cast<const int *>(goprop_go_property(graph, prop, q, 1))) {
            v = *r;
            ptr = &v;
        }
    };
    auto d = [&](int prop, double &v, const double *&ptr) {
        if (const double *r = static_cast<const double *>(goprop_go_property(graph, prop, q, 1))) {
            v = *r;
            ptr = &v;
        }
    };
    i(p.log, log, plog);
    d(p.origin, origin, porigin);
    d(p.max, max, pmax);
    d(p.min, min, pmin);
    d(p.div, div, pdiv);
    i(p.ndivs, ndivs, pndivs);
    i(p.nticks, nticks, pnticks);
    if (force_log) {
        log = 1;
        plog = &log;
    }
    return gomain_go_auto_scale(plog, porigin, pmax, pmin, pdiv, pndivs, pnticks, type, block);
}

int gk_scale_y_axes(GoGraph *graph, const GkAxisProps &props, bool force_log)
{
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    const int columns = gomain_go_get_tinfos(graph, graph->first, &xt, &yt, &zt);
    if (!gk_scale_axis(graph, props, 0, yt, &graph->yblock, force_log))
        return 0;
    if (columns == 3 && !gk_scale_axis(graph, GK_Z_PROPS, 0, zt, &graph->zblock))
        return 0;
    if (!graph->multiy)
        return 1;
    for (int d = graph->first + 1; d <= graph->last && d >= 0; d++) {
        const int axis = gomy_go_multiy_for_dataset(graph, d);
        if (axis < 0 || axis >= GO_SECY || !gomy_go_multiy_axis_enabled(graph, axis))
            continue;
        gomain_go_get_tinfos(graph, d, &xt, &yt, &zt);
        if (!gk_scale_axis(graph, GK_SY_PROPS, axis, yt, gomy_go_multiy_axis(graph, axis), force_log))
            return 0;
    }
    return 1;
}

namespace {

const int *int_setting(GoGraph *g, int p) { return static_cast<const int *>(goprop_go_property(g, p, 0, 1)); }
const double *real_setting(GoGraph *g, int p) { return static_cast<const double *>(goprop_go_property(g, p, 0, 1)); }

// The x scale's request from the settings: a time axis in `timeunits`.
void time_request(GoGraph *g)
{
    GoAxisBlock &x = g->xblock;
    ScaleRec *s = &x.scale;
    scale_ClearScaleStuff(s);
    scale_SetScaleType(s, SCALE_TIMEDATE);
    const int *unit = int_setting(g, GP_TIMEUNITS);
    s->reqtdunits = static_cast<int16_t>(unit ? std::clamp(*unit, 0, static_cast<int>(TD_AUTO_DATETIME)) : TD_AUTO);
    if (const double *v = real_setting(g, GP_XMAXIMUM))
        scale_SetScaleMax(s, *v, 2);
    else
        scale_SetScaleMax(s, x.max, 1);
    if (const double *v = real_setting(g, GP_XMINIMUM))
        scale_SetScaleMin(s, *v, 2);
    else
        scale_SetScaleMin(s, x.min, 1);
    if (const double *v = real_setting(g, GP_XORIGIN))
        scale_SetScaleOrg(s, *v, 1, 0);
    else
        scale_SetScaleOrg(s, 0, 0, 5);
    if (const double *v = real_setting(g, GP_XDIVISION))
        scale_SetScaleDiv(s, std::fabs(*v), 2);
    if (const int *v = int_setting(g, GP_XNUMDIVS))
        scale_SetScaleNdivs(s, std::abs(std::max(*v, -2147483647)), 2);
    if (const int *v = int_setting(g, GP_XNUMTICKS))
        scale_SetScaleNumSmallDivs(s, std::min(std::abs(std::max(*v, -2147483647)), 2147483646) + 1, 2);
}

// The maximum one small division further out, so that the last bar fits.
void one_small_division_more(ScaleRec *s)
{
    double first = 0, next = 0;
    if (scale_GetFirstSDiv(s, &first) < 0 || scale_GetNextSDiv(s, &next) < 0 || !(next > first))
        return;
    scale_SetScaleMax(s, s->max + (next - first), 2);
}

}  // namespace

int gk_scale_time_axis(GoGraph *graph, bool one_more)
{
    time_request(graph);
    ScaleRec *s = &graph->xblock.scale;
    int code = 0;
    const int r = scale_ScaleAxis(s, &code);
    if (r != 0)
        gomain_go_show_autoscale_error(code);
    if (r == 2) {
        switch (code) {
        case 1:
        case 2:
        case 9:
        case 12:
            scale_SetScaleDiv(s, 0, 0);
            scale_SetScaleMax(s, graph->xblock.max, 1);
            break;
        case 7: scale_SetScaleOrg(s, 0, 0, 1); break;
        case 8:
        case 10:
        case 15:
        case 16: scale_SetScaleNdivs(s, 0, 0); break;
        default: return 0;
        }
        int again = 0;
        if (scale_ScaleAxis(s, &again) == 2)
            return 0;
    }
    if (one_more)
        one_small_division_more(s);
    return 1;
}

namespace {

int trend_auto_scale(GoGraph *graph, int)
{
    if (!graph)
        return 0;
    if (gk_iprop(graph, GP_XLOGARITHMIC)) {
        go_show_error(GK_LOG_REFUSED);
        return 0;
    }
    if (!gk_scale_y_axes(graph))
        return 0;
    return gk_scale_time_axis(graph, false);
}

int trend_setdata(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_scalar_graph(graph, dataset, trend_auto_scale);
}

}  // namespace

// ---- the read-out ----------------------------------------------------------------------

const char *gk_time_format(int unit)
{
    switch (unit) {
    case TD_YEAR:
    case TD_MONTH: return "%d %b %y";
    case TD_DAY: return "%H:%M %d/%m";
    case TD_HOUR: return "%H:%M:%S";
    case TD_MINUTE:
    case TD_SECOND: return "%M:%S";
    default: return nullptr;
    }
}

void gk_time_text(GoGraph *graph, double x, char *out)
{
    const int unit = scale_GetTDUnits(&graph->xblock.scale);
    const char *format = gk_time_format(unit);
    format_GSetupLabelFormat(format ? format : "", VT_DATETIME, 80, 80, -1, unit);
    format_GSetupZoomLabelAdjustment(0);
    char text[96] = {};
    format_GFormatLabel(text, &x, VT_DATETIME);
    strbtrim(out, text);
}

int gotrend_input_graph(GoGraph *graph, const int point[2], int clamp, double **values, const DozColDesc **xtype,
                        const DozColDesc **ytype, char *text)
{
    const DozColDesc *xt = nullptr, *yt = nullptr;
    double *found = nullptr;
    const int r = gostd_std_input_graph(graph, point, clamp, &found, &xt, &yt, text);
    if (values)
        *values = found;
    if (xtype)
        *xtype = xt;
    if (ytype)
        *ytype = yt;
    if (!r || !found || !text)
        return r;
    // y at one place more than its column shows.
    const int width = (yt ? yt->width : 10) + 1;
    int precision = 1;
    if (yt && format_GIsReal(yt->type))
        precision = yt->precision == -1 ? -1 : yt->precision + 1;
    const double y = found[1];
    const char *printed = dsprint_ds_sprint(&y, std::clamp(width, 1, 60), precision, DOZ_T_REAL);
    char ytext[96] = {}, xtext[96] = {};
    snprintf(ytext, sizeof ytext, "%s", printed ? printed : "");
    strbtrim(ytext, ytext);
    gk_time_text(graph, found[0], xtext);
    const std::string line = vx_msgf(go_dy_nlsfd(), GK_TIME_READOUT, ytext, xtext);
    snprintf(text, GO_LABEL_TEXT, "%s", line.c_str());
    return r;
}

int gotrend_output_graph(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext, char *ztext)
{
    const double x = request && request->values ? request->values[0] : 0;
    const int r = gostd_std_output_graph(graph, request, dataset, xtext, ytext, ztext);
    if (r && xtext)
        gk_time_text(graph, x, xtext);
    return r;
}

// ---- the draw ------------------------------------------------------------------------------

namespace {

struct Trend {
    bool compatible = false;  // VX_12_COMPATIBILITY
    int join = 0;             // `markerjoin`, as the draw takes it
    bool use_markers = false, mgaps = false, agaps = false;
    // The dataset being drawn.
    int dataset_join = 0;
    bool lines_only = false, markers = false;
    bool first = true;      // the next point is not joined to the last
    double px = 0, py = 0;  // the previous point
    double base = 0;        // the y origin, for join 4
    int64_t style = 0;      // the dataset's `linestyle`
};

Trend &own(GkDraw &s) { return *static_cast<Trend *>(s.own); }

void trend_prepare(GkDraw &s) { own(s).compatible = getenv("VX_12_COMPATIBILITY") != nullptr; }

// A graph whose time axis was never scaled has no coordinates to draw in;
// one scaled before keeps its old ones.
void trend_prepared(GkDraw &s)
{
    const ScaleRec &x = s.graph->xblock.scale;
    if (x.type != SCALE_TIMEDATE || x.ndivs <= 0)
        s.has_data = false;
}

void trend_begin(GkDraw &s)
{
    Trend &t = own(s);
    t.join = gk_iprop(s.graph, GP_MARKERJOIN);
    if (t.compatible && t.join == 0)
        t.join = 1;
    t.use_markers = gk_iprop(s.graph, GP_USEMARKERS) != 0;
    t.mgaps = gk_iprop(s.graph, GP_MDATA_GAPS) != 0;
    t.agaps = gk_iprop(s.graph, GP_AEND_GAPS) != 0;
}

bool trend_start(GkDraw &s)
{
    Trend &t = own(s);
    GoGraph *g = s.graph;
    bool asline = gk_iprop(g, GP_ASLINE, s.q) != 0;
    // A dataset on an enabled axis of a multi-y graph is drawn as points.
    if (g->multiy && s.enabled)
        asline = false;
    t.lines_only = !t.compatible && (asline || s.spread);
    t.markers = !t.lines_only && (t.compatible || t.use_markers);
    t.dataset_join = t.join == 0 && !t.use_markers ? 1 : t.join;
    const int colour = gk_iprop(g, GP_COLOUR, s.q);
    t.style = gk_iprop(g, GP_LINESTYLE, s.q);
    gk_line_modes(s, 0x13, t.style, colour);
    if (t.markers) {
        GMarkerModes mm{};
        mm.index = gk_iprop(g, GP_MARKERSTYLE);
        mm.scale = gk_dprop(g, GP_MARKERSIZE);
        GSetMarkerModes(s.canvas, 0x3, &mm);
    }
    if (!t.lines_only && t.dataset_join == 4)
        gomain_go_setup_fill_modes(s.canvas, gk_iprop(g, GP_HATCHSTYLE, s.q), colour);
    t.base = gk_origin(s.yb);
    t.first = true;
    const int map = s.has_z ? gomain_go_get_colourmap_for_axis(g, nullptr, s.d, 1, 2)
                            : gomain_go_get_colourmap(g, s.yb, s.d, 1);
    s.any_map = s.any_map || map;
    return true;
}

void join(GkDraw &s, double x, double y)
{
    Trend &t = own(s);
    GCanvasRecord *c = s.canvas;
    switch (t.dataset_join) {
    case 1: gk_line(c, t.px, t.py, x, y); break;
    case 2:
        gk_line(c, t.px, t.py, x, t.py);
        gk_line(c, x, t.py, x, y);
        break;
    case 3: gk_line(c, t.px, t.py, x, t.py); break;
    case 4: gk_rectangle(c, t.px, t.base, x, y); break;
    default: break;
    }
}

bool trend_point(GkDraw &s, const GkPoint &p)
{
    Trend &t = own(s);
    if (t.lines_only) {
        if (!t.first)
            gk_line(s.canvas, t.px, t.py, p.x, p.y);
    } else {
        if (t.markers) {
            gk_line_modes(s, 0x11, 0, 0);
            gk_marker(s.canvas, p.x, p.y);
            gk_line_modes(s, 0x11, t.style, 0);
        }
        if (!t.first)
            join(s, p.x, p.y);
    }
    t.px = p.x;
    t.py = p.y;
    const bool row_end = (p.status & GT_S_ROW_END) != 0;
    t.first = row_end && t.agaps;
    // In a spread dataset the end of an array row ends the dataset.
    return !(s.spread && row_end);
}

void trend_missing(GkDraw &s)
{
    Trend &t = own(s);
    if (t.mgaps)
        t.first = true;
}

void trend_end_dataset(GkDraw &s)
{
    Trend &t = own(s);
    GoGraph *g = s.graph;
    // A later dataset of one point: a line on to the x data maximum.
    if (s.points == 1 && s.d != g->first)
        gk_line(s.canvas, t.px, t.py, gk_through(s.fx, g->xblock.max), t.py);
    gomain_go_forget_colourmap(g);
}

void trend_after(GkDraw &s) { gomain_go_setup_fill_modes(s.canvas, 0, 0); }

const GkKind trend_kind = {
    .axis_mode = GO_AXES_TIME,
    .auto_scale = trend_auto_scale,
    .coordinates = gomain_go_set_2d_coordinates,
    .walks_extra_axes = true,
    .legend_kind = 0,
    .overlay_flag = GO_AXES_TIME,
    .prepare = trend_prepare,
    .prepared = trend_prepared,
    .begin = trend_begin,
    .dataset_start = trend_start,
    .point = trend_point,
    .missing = trend_missing,
    .dataset_end = trend_end_dataset,
    .after_walk = trend_after,
    .end = nullptr,
};

}  // namespace

int gotrend_draw_graph(GoGraph *graph, int reason, uint64_t *flags)
{
    Trend t;
    return goskel_draw(graph, reason, flags, trend_kind, &t);
}

int gotrend_setdata(GoGraph *graph, int dataset) { return trend_setdata(graph, dataset); }
