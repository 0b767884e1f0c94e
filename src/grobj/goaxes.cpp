// The frame of a graph: canvas and plot borders, the 2-D axes (also with z
// as the vertical axis, and the stacks of secondary y axes), the 3-D box
// axes, long and small ticks, grid lines, division labels and titles.

#include "goaxes.h"
#include "gomain.h"
#include "gsformat.h"
#include "seams.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

int iprop(GoGraph *g, int p, int q = 0, int fallback = 0)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, q, 0));
    return v ? *v : fallback;
}

double dprop(GoGraph *g, int p, int q = 0, double fallback = 0)
{
    const double *v = static_cast<const double *>(goprop_go_property(g, p, q, 0));
    return v ? *v : fallback;
}

// A limit text's value (division counts come as integers).
double limit(GoGraph *g, int p, double fallback)
{
    const double *v = static_cast<const double *>(goprop_go_property(g, p, 0, 1));
    return v ? *v : fallback;
}

double forward(GoAxisBlock *b, double v)
{
    const ScaleProc p = b ? scale_GGetForwardScaleProc(&b->scale) : nullptr;
    return p ? p(v) : v;
}

bool same(double a, double b, double span) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(span)); }

bool within(double v, double lo, double hi, double span)
{
    if (lo > hi)
        std::swap(lo, hi);
    const double e = 1e-9 * std::max(1.0, std::fabs(span));
    return v >= lo - e && v <= hi + e;
}

// The division positions of a scale (data units): at most count + 1 of them.
std::vector<double> divisions(ScaleRec *s, int count)
{
    std::vector<double> out;
    double v = 0;
    if (scale_GetFirstDiv(s, &v) < 0)
        return out;
    out.push_back(v);
    while (static_cast<int>(out.size()) <= count && out.size() < 100000) {
        if (scale_GetNextDiv(s, &v) < 0)
            break;
        out.push_back(v);
    }
    return out;
}

// The small divisions of a scale that are not divisions.
std::vector<double> small_divisions(ScaleRec *s, const std::vector<double> &divs)
{
    std::vector<double> out;
    double v = 0;
    if (scale_GetNumSDivs(s) <= 0 || divs.empty() || scale_GetFirstSDiv(s, &v) < 0)
        return out;
    const double span = divs.back() - divs.front();
    do {
        bool on_division = false;
        for (double d : divs)
            on_division = on_division || same(d, v, span);
        if (!on_division)
            out.push_back(v);
    } while (out.size() < 1000000 && scale_GetNextSDiv(s, &v) >= 0);
    return out;
}

GVector point2(double *p) { return GVector{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}}; }
GVector point3(double *p) { return GVector{GV_DOUBLE, 0, 3, 1, {p, nullptr, nullptr}}; }

void set_selector(GCanvasRecord *c, int selector, int *was)
{
    GCanvasModes m{};
    GGetCanvasModes(c, &m);
    if (was)
        *was = m.coords;
    m.coords = static_cast<unsigned char>(selector);
    GSetCanvasModes(c, GCM_COORDS, &m);
}

void line_style(GCanvasRecord *c, long style)
{
    GLineModes l{};
    l.style = style;
    l.width = 0;
    GSetLineModes(c, 0x11, &l);
}

void grid_line(GoGraph *g, double x1, double y1, double x2, double y2)
{
    line_style(g->canvas, iprop(g, GP_LONGTICKSTYLE));
    gomain_go_draw_line(g->canvas, x1, y1, x2, y2, GCS_WC);
    line_style(g->canvas, iprop(g, GP_AXISSTYLE));
}

void draw_3d_line(GCanvasRecord *c, const double a[3], const double b[3])
{
    int was = 0;
    set_selector(c, GCS_WC, &was);
    double p[3] = {a[0], a[1], a[2]}, q[3] = {b[0], b[1], b[2]};
    GVector v1 = point3(p), v2 = point3(q);
    gdraw_GDrawLine(c, &v1, &v2);
    set_selector(c, was, nullptr);
}

void grid_line_3d(GoGraph *g, const double a[3], const double b[3])
{
    line_style(g->canvas, iprop(g, GP_LONGTICKSTYLE));
    draw_3d_line(g->canvas, a, b);
    line_style(g->canvas, iprop(g, GP_AXISSTYLE));
}

// A tick from p along axis `along` (0 x, 1 y, 2 z), towards `sign`.
void draw_3d_tick(GCanvasRecord *c, const double p[3], double length, int along, double sign)
{
    double q[3] = {p[0], p[1], p[2]};
    q[along] += sign * GTransformLength(c, 6, along, std::trunc(length));
    draw_3d_line(c, p, q);
}

void put_text(GCanvasRecord *c, double x, double y, const char *text)
{
    double p[2] = {x, y};
    GVector v = point2(p);
    GPutText(c, &v, text);
}

void put_text3(GCanvasRecord *c, const double at[3], const char *text)
{
    double p[3] = {at[0], at[1], at[2]};
    GVector v = point3(p);
    GPutText(c, &v, text);
}

void label_text_modes(GoGraph *g)
{
    GTextModes t{};
    t.font = iprop(g, GP_LABELFONT);
    gomain_go_get_colour(g, &t.colour, GP_LABELCOLOUR, GP_AXISCOLOUR);
    t.scale = dprop(g, GP_LABELSIZE, 0, 1);
    GSetTextModes(g->canvas, 7, &t);
}

int reduce360(long a)
{
    long r = a % 360;
    return static_cast<int>(r < 0 ? r + 360 : r);
}

// Limits and scale facts of one 2-D axis pair.
struct Frame {
    GoAxisBlock *h, *v;  // horizontal (x) and vertical blocks
    double hf, hl, vf, vl, horg, vorg;
    bool zoomed;
};

Frame frame_of(GoGraph *g, GoAxisBlock *v)
{
    Frame f{};
    f.h = &g->xblock;
    f.v = v;
    f.zoomed = g->zoomed && !g->multiy && g->zoom;
    if (f.zoomed) {
        f.hf = f.horg = g->zoom->xmin;
        f.hl = g->zoom->xmax;
        f.vf = f.vorg = g->zoom->ymin;
        f.vl = g->zoom->ymax;
    } else {
        scale_GetFirstDiv(&f.h->scale, &f.hf);
        scale_GetLastDiv(&f.h->scale, &f.hl);
        scale_GetOrg(&f.h->scale, &f.horg);
        scale_GetFirstDiv(&v->scale, &f.vf);
        scale_GetLastDiv(&v->scale, &f.vl);
        scale_GetOrg(&v->scale, &f.vorg);
    }
    f.hf = forward(f.h, f.hf);
    f.hl = forward(f.h, f.hl);
    f.horg = forward(f.h, f.horg);
    f.vf = forward(v, f.vf);
    f.vl = forward(v, f.vl);
    f.vorg = forward(v, f.vorg);
    return f;
}

// One axis of a 2-D frame.  `vertical` draws the y (or z) axis.
struct AxisJob {
    GoGraph *g;
    Frame f;
    int axis_mode;
    int axis;        // -1 the main axis, else the secondary axis index
    bool twodz;
    bool vertical;
};

void draw_axis(const AxisJob &j)
{
    GoGraph *g = j.g;
    GCanvasRecord *c = g->canvas;
    const Frame &f = j.f;
    GoAxisBlock *own = j.vertical ? f.v : f.h;
    const bool draw_x = iprop(g, GP_DRAWAXES, 0, 1) != 0, draw_y = iprop(g, GP_DRAWAXES, 1, 1) != 0;
    const bool drawn = j.vertical ? draw_y : draw_x;

    int ndivs = scale_GetNumDivs(&own->scale);
    if (!j.vertical && j.axis_mode == GO_AXES_CATEGORY_X && g->kind != 20)
        ndivs--;
    if (j.vertical && j.axis_mode == GO_AXES_CATEGORY_Y)
        ndivs--;
    double xs = 0, ys = 0;
    gomain_go_get_non_scalar_shift(g, f.h, f.v, j.axis_mode, &xs, &ys, nullptr, nullptr);
    const double shift = j.vertical ? ys : xs;

    int long_prop, log_prop, q = 0;
    if (!j.vertical) {
        long_prop = GP_XLONGTICKS;
        log_prop = GP_XLOGARITHMIC;
    } else if (j.twodz) {
        long_prop = GP_ZLONGTICKS;
        log_prop = GP_ZLOGARITHMIC;
    } else if (j.axis >= 0) {
        long_prop = GP_SYLONGTICKS;
        log_prop = GP_SYLOGARITHMIC;
        q = j.axis;
    } else {
        long_prop = GP_YLONGTICKS;
        log_prop = GP_YLOGARITHMIC;
    }
    const bool grid = iprop(g, long_prop, q) != 0, logarithmic = iprop(g, log_prop, q) != 0;

    bool outward;
    double at;        // where the axis line stands across its own direction
    double crossing;  // the division whose tick is left out (NaN none)
    const double nan = std::nan("");
    if (!j.vertical) {
        outward = j.axis_mode == 1 || j.axis_mode == 3 || j.axis_mode == 4 || j.axis_mode == 5;
        at = f.vorg;
        if (!draw_y) {
            crossing = f.hl;
        } else if (g->multiy) {
            int left = 0, right = 0;
            gomy_go_multiy_is_first(g, j.axis, &left, &right);
            crossing = left ? f.hf : f.hl;
        } else {
            crossing = f.horg;
        }
    } else {
        if (g->multiy) {
            const bool left = gomy_go_multiy_axis_on_left(g, j.axis) != 0;
            const double offset = gomy_go_multiy_axis_spacing(g, j.axis, 1, 0);
            at = left ? f.hf - offset : f.hl + offset;
            outward = !left;
        } else {
            at = f.horg;
            outward = j.axis_mode == 2 || j.axis_mode == 4 || j.axis_mode == 5;
        }
        const bool has_x = (!g->multiy || gomy_go_multiy_has_x(g, j.axis)) && draw_x;
        crossing = has_x ? f.vorg : nan;
    }
    const double lo = j.vertical ? f.vf : f.hf, hi = j.vertical ? f.vl : f.hl;
    const double span = hi - lo;
    const int direction = j.vertical ? 1 : 0;
    const double longlen = iprop(g, GP_LONGTICKLEN), smalllen = iprop(g, GP_SMALLTICKLEN);
    auto across = [&](double pos, double a, double b) {
        if (j.vertical)
            grid_line(g, a, pos, b, pos);
        else
            grid_line(g, pos, a, pos, b);
    };
    auto tick = [&](double pos, double len) {
        if (j.vertical)
            gomain_go_draw_tick(c, at, pos, len, direction, outward);
        else
            gomain_go_draw_tick(c, pos, at, len, direction, outward);
    };

    const char *name = j.vertical ? (j.twodz ? "Z" : "Y") : "X";
    char text[64];
    if (drawn) {
        snprintf(text, sizeof text, "Drawing %s Axis", name);
        GCommentOutput(c, text);
        if (j.vertical)
            gomain_go_draw_line(c, at, lo, at, hi, GCS_WC);
        else
            gomain_go_draw_line(c, lo, at, hi, at, GCS_WC);
        snprintf(text, sizeof text, "Drawing %s Axis Ticks", name);
        GCommentOutput(c, text);
    }
    const std::vector<double> divs = divisions(&own->scale, ndivs);
    const double glo = j.vertical ? f.hf : f.vf, ghi = j.vertical ? f.hl : f.vl;
    for (double d : divs) {
        const double pos = forward(own, d + shift);
        if (!within(pos, lo, hi, span))
            continue;
        const bool at_crossing = !std::isnan(crossing) && same(pos, crossing, span);
        if (grid && !at_crossing)
            across(pos, glo, ghi);
        if (drawn && (!at_crossing || outward))
            tick(pos, longlen);
    }
    if (drawn && f.zoomed)
        tick(lo, longlen);
    const std::vector<double> smalls = small_divisions(&own->scale, divs);
    for (double d : smalls) {
        const double pos = forward(own, d + shift);
        if (!within(pos, lo, hi, span))
            continue;
        if (drawn)
            tick(pos, smalllen);
        if (grid && logarithmic)
            across(pos, glo, ghi);
    }
}

GoAxisBlock *dataset_axis(GoGraph *g, int dataset, int *axis)
{
    *axis = g->multiy ? gomy_go_multiy_for_dataset(g, dataset) : -1;
    if (!gomy_go_multiy_axis_enabled(g, *axis))
        return nullptr;
    return gomy_go_multiy_axis(g, *axis);
}

void draw_pair(GoGraph *g, int dataset, int axis_mode, bool twodz)
{
    if (!g || !g->canvas)
        return;
    gomain_go_draw_borders_modes(g);
    int axis = -1;
    GoAxisBlock *v = twodz ? &g->zblock : dataset_axis(g, dataset, &axis);
    if (!v)
        return;
    if (g->multiy)
        gomy_go_set_myaxis_coord(g, axis);
    const Frame f = frame_of(g, v);
    draw_axis(AxisJob{g, f, axis_mode, axis, twodz, true});
    if (twodz || !g->multiy || gomy_go_multiy_is_first(g, axis, nullptr, nullptr))
        draw_axis(AxisJob{g, f, axis_mode, axis, twodz, false});
}

// ---- division labels -------------------------------------------------------------------

struct LabelJob {
    GoGraph *g;
    int dataset, axis_mode, axis;
    bool twodz, vertical;
};

void draw_labels(const LabelJob &j)
{
    GoGraph *g = j.g;
    GCanvasRecord *c = g->canvas;
    if (!iprop(g, GP_DRAWAXES, j.vertical ? 1 : 0, 1))
        return;
    GoAxisBlock *v = j.twodz ? &g->zblock : gomy_go_multiy_axis(g, j.axis);
    if (!v)
        return;
    const Frame f = frame_of(g, v);
    GoAxisBlock *own = j.vertical ? v : &g->xblock;

    label_text_modes(g);
    int16_t dirs[3] = {0, 0, 0};
    GGetAxisOrientations(c, &dirs[0], &dirs[1], &dirs[2]);
    int was = 0;
    set_selector(c, GCS_WC, &was);

    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    gomain_go_get_tinfos(g, j.dataset, &xt, &yt, &zt);
    const char *name = j.vertical ? (j.twodz ? "Z" : "Y") : "X";
    char text[96];
    snprintf(text, sizeof text, "Drawing %s Axis Division Labels", name);
    GCommentOutput(c, text);

    // The format and the column the labels print as.
    int fprop = GP_XLABELFORMAT, q = 0;
    if (j.vertical)
        fprop = j.twodz ? GP_ZLABELFORMAT : j.axis >= 0 ? GP_SYLABELFORMAT : GP_YLABELFORMAT;
    if (j.vertical && j.axis >= 0)
        q = j.axis;
    const char *fmt = static_cast<const char *>(goprop_go_property(g, fprop, q, 0));
    const DozColDesc *type = j.vertical ? (j.twodz ? zt : yt) : (j.axis_mode == GO_AXES_BINS ? yt : xt);
    DozColDesc fallback{};
    fallback.type = DOZ_T_REAL;
    fallback.width = 10;
    if (!type)
        type = &fallback;
    int time_unit = -1;
    if (!j.vertical && (j.axis_mode == GO_AXES_TIME || g->kind == 20))
        time_unit = scale_GetTDUnits(&own->scale);
    const bool trendbar = !j.vertical && g->kind == 20;
    format_GSetupLabelFormat(trendbar ? "%v" : fmt ? fmt : "", type->type, 80, type->width, type->precision,
                             time_unit);
    if (f.zoomed) {
        const double lo = j.vertical ? g->zoom->ymin : g->zoom->xmin, hi = j.vertical ? g->zoom->ymax : g->zoom->xmax;
        const int extent = determine_zoom_extent(&own->scale, hi - lo);
        (j.vertical ? g->zoom->yextent : g->zoom->xextent) = extent;
        format_GSetupZoomLabelAdjustment(extent);
    } else {
        format_GSetupZoomLabelAdjustment(0);
    }

    const bool right = j.vertical && j.axis >= 0 && !gomy_go_multiy_axis_on_left(g, j.axis);
    const int axis_type = j.vertical ? (j.twodz ? 2 : 1) : 0;
    go_set_label_angle_and_org(g, dirs[j.vertical ? (j.twodz ? 2 : 1) : 0] / 64, axis_type, j.vertical ? j.axis : -1);
    bool outward;
    if (!j.vertical)
        outward = j.axis_mode == 1 || j.axis_mode == 3 || j.axis_mode == 4 || j.axis_mode == 5;
    else if (g->multiy)
        outward = false;  // a stack's ticks point towards the plot
    else
        outward = j.axis_mode == 2 || j.axis_mode == 4 || j.axis_mode == 5;
    double gap = iprop(g, GP_TICKSPACE) + (outward ? iprop(g, GP_LONGTICKLEN) : 0);
    gap = GTransformLength(c, 6, j.vertical ? 0 : 1, std::trunc(gap));
    double at;
    if (!j.vertical) {
        at = f.vorg - gap;
    } else if (g->multiy) {
        const double offset = gomy_go_multiy_axis_spacing(g, j.axis, 1, 0);
        at = right ? f.hl + offset + gap : f.hf - offset - gap;
    } else {
        at = f.horg - gap;
    }
    if (f.zoomed && !j.vertical)
        at = forward(v, g->zoom->ymin) - gap;
    if (f.zoomed && j.vertical && !g->multiy)
        at = forward(&g->xblock, g->zoom->xmin) - gap;

    const double lo = j.vertical ? f.vf : f.hf, hi = j.vertical ? f.vl : f.hl, span = hi - lo;
    double xs = 0, ys = 0;
    gomain_go_get_non_scalar_shift(g, &g->xblock, v, j.axis_mode, &xs, &ys, nullptr, nullptr);
    const double shift = j.vertical ? ys : xs;
    auto put = [&](double pos, const char *label) {
        if (j.vertical)
            put_text(c, at, pos, label);
        else
            put_text(c, pos, at, label);
    };
    // The trend bar's x axis is one of time: labelled by its divisions.
    const bool category = (!j.vertical && j.axis_mode == GO_AXES_CATEGORY_X && g->kind != 20) ||
                          (j.vertical && j.axis_mode == GO_AXES_CATEGORY_Y);
    const bool skip_top = j.vertical && g->multiy && j.axis >= 0 && gomy_go_multiy_axis_above(g, j.axis);
    char label[96];
    if (category) {
        const double n = limit(g, j.vertical ? GP_YDIVISION : GP_XDIVISION, 1);
        int every = std::isfinite(n) ? static_cast<int>(std::clamp(n, 1.0, 1e9)) : 1;
        every = std::max(every, 1);
        double first = 0;
        scale_GetFirstDiv(&own->scale, &first);
        const double size = scale_GetDivSize(&own->scale);
        const GoTupleReader reader = reinterpret_cast<GoTupleReader>(goprop_go_property(g, GP_DATAFUNC, 0, 0));
        GoTuple t{};
        t.dataset = j.dataset;
        int index = 0;
        const int was_autoinc = goprop_go_tuple_autoinc_get();
        goprop_go_tuple_autoinc(0);
        for (; reader; goprop_go_next_point(&t)) {
            reader(&t);
            if (t.status & GT_S_END)
                break;
            if (goprop_null_tuple(&t))
                continue;
            const double *val = j.vertical ? t.y : t.x;
            const char *txt = j.vertical ? t.ytext : t.xtext;
            if (index % every == 0) {
                const double pos = forward(own, first + index * size + shift);
                if (within(pos, lo, hi, span)) {
                    if (txt)
                        format_GFormatLabel(label, txt, DOZ_T_STRING);
                    else if (val)
                        format_GFormatLabel(label, val, type->type);
                    else
                        label[0] = '\0';
                    put(pos, label);
                }
            }
            index++;
        }
        goprop_go_tuple_autoinc(was_autoinc);
    } else {
        const std::vector<double> divs = divisions(&own->scale, scale_GetNumDivs(&own->scale));
        for (size_t i = 0; i < divs.size(); i++) {
            const double pos = forward(own, divs[i] + shift);
            if (!within(pos, lo, hi, span))
                continue;
            if (skip_top && i + 1 == divs.size())
                continue;
            double value = divs[i];
            format_GFormatLabel(label, &value, type->type);
            put(pos, label);
        }
    }
    set_selector(c, was, nullptr);
    format_GSetupZoomLabelAdjustment(0);
}

void label_pair(GoGraph *g, int dataset, int axis_mode, bool twodz)
{
    if (!g || !g->canvas || dataset < 0)
        return;
    int axis = -1;
    if (!twodz && !dataset_axis(g, dataset, &axis))
        return;
    if (!twodz && g->multiy)
        gomy_go_set_myaxis_coord(g, axis);
    if (twodz || axis == -1)
        draw_labels(LabelJob{g, dataset, axis_mode, axis, twodz, false});
    draw_labels(LabelJob{g, dataset, axis_mode, axis, twodz, true});
}

}  // namespace

// ---- primitives -------------------------------------------------------------------------

void gomain_go_draw_line(GCanvasRecord *canvas, double x1, double y1, double x2, double y2, int selector)
{
    if (!canvas)
        return;
    int was = 0;
    set_selector(canvas, selector, &was);
    double a[2] = {x1, y1}, b[2] = {x2, y2};
    GVector v1 = point2(a), v2 = point2(b);
    gdraw_GDrawLine(canvas, &v1, &v2);
    set_selector(canvas, was, nullptr);
}

void gomain_go_draw_tick(GCanvasRecord *canvas, double x, double y, double length, int direction, int outward)
{
    if (!canvas)
        return;
    double l = GTransformLength(canvas, 6, direction == 1 ? 0 : 1, std::trunc(length));
    if (outward)
        l = -l;
    if (direction == 1)
        gomain_go_draw_line(canvas, x, y, x + l, y, GCS_WC);
    else
        gomain_go_draw_line(canvas, x, y, x, y + l, GCS_WC);
}

void gomain_go_draw_circular_arc(GCanvasRecord *canvas, double cx, double cy, double radius, double start,
                                 double end)
{
    if (!canvas || !(radius > 0) || !std::isfinite(start) || !std::isfinite(end))
        return;
    const double turn = 2 * std::numbers::pi;
    if (std::fabs(start) > turn) {
        // The end turns with the start, so the arc keeps its extent.
        const double turns = std::trunc(start / turn) * turn;
        start -= turns;
        end -= turns;
    }
    if (end > start + turn)
        end = start + turn;
    const double k = 11520 / std::numbers::pi;
    const long a = static_cast<long>(std::trunc(start * k));
    const long b = static_cast<long>(std::trunc((end - start) * k));
    double p[2] = {cx - radius, cy - radius}, q[2] = {cx + radius, cy + radius};
    GVector v1 = point2(p), v2 = point2(q);
    gdraw_GDrawArc(canvas, &v1, &v2, a, b);
}

namespace {

// The origin table: labels on the clockwise side of the axis direction
// (below a rightward x axis, right of an upward y axis) are not reversed.
int text_org(int axis_direction, int angle, bool reversed)
{
    const int r = reduce360(static_cast<long>(angle) - axis_direction);
    const int q = r / 90;
    const bool exact = r % 90 == 0;
    static const int table[4][2][2] = {
        // not reversed (exact, otherwise), reversed (exact, otherwise)
        {{1, 2}, {7, 6}},
        {{5, 8}, {3, 0}},
        {{7, 6}, {1, 2}},
        {{3, 0}, {5, 8}},
    };
    return table[q][reversed ? 1 : 0][exact ? 0 : 1];
}

// Sets the label angle of an axis (from the properties of axis type
// `axis_type`, secondary y axis `y_axis`) and the origin for labels on the
// reversed side or not.
void set_label_modes(GoGraph *graph, int axis_direction, int axis_type, int y_axis, bool reversed)
{
    int style, degrees;
    if (axis_type == 0) {
        style = iprop(graph, GP_XLABELANGLE);
        degrees = iprop(graph, GP_XANGLEDEGS);
    } else if (axis_type == 1) {
        style = y_axis >= 0 ? iprop(graph, GP_SYLABELANGLE, y_axis) : iprop(graph, GP_YLABELANGLE);
        degrees = iprop(graph, GP_YANGLEDEGS);
    } else {
        style = iprop(graph, GP_ZLABELANGLE);
        degrees = iprop(graph, GP_ZANGLEDEGS);
    }
    int angle = style == 0 ? (axis_type == 0 ? 270 : 90) : style == 1 ? 0 : degrees;
    angle = reduce360(angle);
    GTextModes t{};
    t.angle = static_cast<int64_t>(angle) * 64;
    t.alignment = text_org(axis_direction, angle, reversed);
    GSetTextModes(graph->canvas, 0x18, &t);
}

// A y axis's labels stand on its left unless it is a right-hand axis: the
// left is the reversed side of an upward axis.  Other axes carry their
// labels below, which is the reversed side when they point left.
bool labels_reversed(int axis_direction, int axis_type, int right_side)
{
    const int d = reduce360(axis_direction);
    return axis_type == 1 ? right_side == 0 : d >= 90 && d <= 270;
}

}  // namespace

int go_pick_text_org(int axis_direction, int angle, int axis_type, int right_side)
{
    return text_org(axis_direction, angle, labels_reversed(axis_direction, axis_type, right_side));
}

void go_set_label_angle_and_org(GoGraph *graph, int axis_direction, int axis_type, int y_axis)
{
    if (!graph || !graph->canvas)
        return;
    const int right = axis_type == 1 && y_axis >= 0 && !gomy_go_multiy_axis_on_left(graph, y_axis);
    set_label_modes(graph, axis_direction, axis_type, y_axis, labels_reversed(axis_direction, axis_type, right));
}

int determine_zoom_extent(ScaleRec *scale, double zoomed_range)
{
    double first = 0, last = 0;
    if (!scale || scale_GetFirstDiv(scale, &first) < 0 || scale_GetLastDiv(scale, &last) < 0)
        return 0;
    if (!(std::fabs(zoomed_range) > 0))
        return 6;
    double g = std::fabs((last - first) / zoomed_range);
    int n = 0;
    while (g > 1 && n < 6) {
        g /= 10;
        n++;
    }
    return n;
}

// ---- borders, axes and labels ---------------------------------------------------------------

void gomain_go_draw_borders_modes(GoGraph *graph)
{
    GLineModes l{};
    l.style = iprop(graph, GP_AXISSTYLE);
    l.colour = iprop(graph, GP_AXISCOLOUR);
    l.width = 0;
    GSetLineModes(graph->canvas, 0x13, &l);
}

void gomain_go_draw_borders(GoGraph *graph)
{
    if (!graph || !graph->canvas)
        return;
    gomain_go_draw_borders_modes(graph);
    if (iprop(graph, GP_CANVASBORDER))
        GDrawCanvasBorder(graph->canvas);
    if (iprop(graph, GP_PLOTBORDER))
        GDrawPlotSpaceBorder(graph->canvas);
}

void gomain_go_draw_2d_axes(GoGraph *graph, int axis_mode)
{
    if (graph)
        draw_pair(graph, graph->first, axis_mode, false);
}

void go_draw_2dz_axes(GoGraph *graph, int axis_mode)
{
    if (graph)
        draw_pair(graph, graph->first, axis_mode, true);
}

void gomain_go_draw_2d_multiy_axes(GoGraph *graph, int dataset, int axis_mode)
{
    draw_pair(graph, dataset, axis_mode, false);
}

void gomain_go_draw_division_labels(GoGraph *graph, int axis_mode)
{
    if (graph)
        label_pair(graph, graph->first, axis_mode, false);
}

void go_draw_2dz_division_labels(GoGraph *graph, int axis_mode)
{
    if (graph)
        label_pair(graph, graph->first, axis_mode, true);
}

void gomain_go_draw_multiy_division_labels(GoGraph *graph, int dataset, int axis_mode)
{
    label_pair(graph, dataset, axis_mode, false);
}

// ---- 3-D axes ----------------------------------------------------------------------------------

namespace {

struct Box3 {
    GoAxisBlock *b[3];
    double first[3], last[3];
    int back[3];  // 1: the back plane is at the first division
};

Box3 box_of(GoGraph *g)
{
    Box3 k{};
    k.b[0] = &g->xblock;
    k.b[1] = &g->yblock;
    k.b[2] = &g->zblock;
    for (int a = 0; a < 3; a++) {
        scale_GetFirstDiv(&k.b[a]->scale, &k.first[a]);
        scale_GetLastDiv(&k.b[a]->scale, &k.last[a]);
    }
    if (g->zoomed && !g->multiy && g->zoom) {
        k.first[0] = g->zoom->xmin;
        k.last[0] = g->zoom->xmax;
        k.first[1] = g->zoom->ymin;
        k.last[1] = g->zoom->ymax;
    }
    for (int a = 0; a < 3; a++) {
        k.first[a] = forward(k.b[a], k.first[a]);
        k.last[a] = forward(k.b[a], k.last[a]);
    }
    GGet3dBackPlanes(g->canvas, &k.back[0], &k.back[1], &k.back[2]);
    return k;
}

// The other two coordinates of each axis's edge; `along` names the axis
// each tick of it moves along.
void edge_of(const Box3 &k, int axis, double p[3], int *along)
{
    auto pick = [&](int a, bool first) { return first ? k.first[a] : k.last[a]; };
    switch (axis) {
    case 0:
        p[1] = k.first[1];
        p[2] = pick(2, k.back[1] != k.back[2]);
        *along = 1;
        break;
    case 1:
        p[0] = pick(0, k.back[2] != 0);
        p[2] = pick(2, k.back[0] == 0);
        *along = 0;
        break;
    default:
        p[1] = k.first[1];
        p[0] = go_pick_zlabel_xypos(k.back[2], k.first[0], k.last[0]);
        *along = 0;
        break;
    }
}

// +1 when the edge stands at the first value of `along` (ticks point into
// the box), -1 otherwise.
double inward_sign(const Box3 &k, const double p[3], int along)
{
    return same(p[along], k.first[along], k.last[along] - k.first[along]) ? 1 : -1;
}

// Whether the labels, moved from the edge point `edge` to `label`, stand on
// the anticlockwise side of the axis as the canvas shows it (left of an
// upward axis): the reversed side of the origin table.
bool offset_anticlockwise(GCanvasRecord *c, int axis_direction, const double edge[3], const double label[3])
{
    double e[3] = {edge[0], edge[1], edge[2]}, l[3] = {label[0], label[1], label[2]};
    GVector ve = point3(e), vl = point3(l), ce{}, cl{};
    const bool ok = GTransformPoints(c, GCS_WC, GCS_CC, &ve, &ce) == 0 && GTransformPoints(c, GCS_WC, GCS_CC, &vl, &cl) == 0;
    double ox = 0, oy = 0;
    if (ok) {
        ox = gvector_GGetValue(&cl, 0, 0) - gvector_GGetValue(&ce, 0, 0);
        oy = gvector_GGetValue(&cl, 0, 1) - gvector_GGetValue(&ce, 0, 1);
    }
    gvector_GFreeVectorData(&ce);
    gvector_GFreeVectorData(&cl);
    const double d = axis_direction * std::numbers::pi / 180;
    return std::cos(d) * oy - std::sin(d) * ox > 0;
}

}  // namespace

// ---- the line of an axis ------------------------------------------------------------------

namespace {

bool world_to_canvas(GCanvasRecord *c, const double *w, int dims, double out[2])
{
    double p[3] = {w[0], w[1], dims == 3 ? w[2] : 0};
    GVector in{GV_DOUBLE, 0, static_cast<unsigned char>(dims), 1, {p, nullptr, nullptr}}, o{};
    if (GTransformPoints(c, GCS_WC, GCS_CC, &in, &o) != 0)
        return false;
    out[0] = gvector_GGetValue(&o, 0, 0);
    out[1] = gvector_GGetValue(&o, 0, 1);
    gvector_GFreeVectorData(&o);
    return std::isfinite(out[0]) && std::isfinite(out[1]);
}

bool line_3d(GoGraph *g, int axis, double from[2], double to[2], double away[2])
{
    const Box3 k = box_of(g);
    double p[3] = {0, 0, 0}, q[3], centre[3];
    int along = 0;
    edge_of(k, axis, p, &along);
    p[axis] = k.first[axis];
    std::copy(p, p + 3, q);
    q[axis] = k.last[axis];
    for (int a = 0; a < 3; a++)
        centre[a] = (k.first[a] + k.last[a]) / 2;
    double mid[2];
    if (!world_to_canvas(g->canvas, p, 3, from) || !world_to_canvas(g->canvas, q, 3, to) ||
        !world_to_canvas(g->canvas, centre, 3, mid))
        return false;
    // Across the line, on the side away from the middle of the box.
    double n[2] = {from[1] - to[1], to[0] - from[0]};
    const double len = std::hypot(n[0], n[1]);
    if (len == 0)
        return false;
    const double side = n[0] * ((from[0] + to[0]) / 2 - mid[0]) + n[1] * ((from[1] + to[1]) / 2 - mid[1]);
    away[0] = (side < 0 ? -n[0] : n[0]) / len;
    away[1] = (side < 0 ? -n[1] : n[1]) / len;
    return true;
}

bool line_2d(GoGraph *g, int axis, double from[2], double to[2], double away[2])
{
    const bool twodz = g->coords2dz != 0;
    int secondary = -1;
    GoAxisBlock *v = nullptr;
    if (axis == 0 || (axis == 1 && !twodz) || (axis == 2 && twodz)) {
        v = twodz ? &g->zblock : &g->yblock;
    } else if (axis >= 3 && !twodz && g->multiy && gomy_go_multiy_axis_enabled(g, axis - 3)) {
        secondary = axis - 3;
        v = gomy_go_multiy_axis(g, secondary);
    }
    if (!v)
        return false;
    const bool stacked = g->multiy && !twodz;
    if (stacked)
        gomy_go_set_myaxis_coord(g, secondary);
    const Frame f = frame_of(g, v);
    double p[2], q[2];
    if (axis == 0) {
        p[0] = f.hf;
        q[0] = f.hl;
        p[1] = q[1] = f.vorg;
        away[0] = 0;
        away[1] = -1;
    } else {
        double at = f.horg;
        bool left = true;
        if (stacked) {
            left = gomy_go_multiy_axis_on_left(g, secondary) != 0;
            const double offset = gomy_go_multiy_axis_spacing(g, secondary, 1, 0);
            at = left ? f.hf - offset : f.hl + offset;
        }
        p[0] = q[0] = at;
        p[1] = f.vf;
        q[1] = f.vl;
        away[0] = left ? -1 : 1;
        away[1] = 0;
    }
    return world_to_canvas(g->canvas, p, 2, from) && world_to_canvas(g->canvas, q, 2, to);
}

}  // namespace

int go_axis_line(GoGraph *graph, int axis, double from[2], double to[2], double away[2])
{
    if (!graph || !graph->canvas || axis < 0 || axis >= 3 + GO_SECY)
        return 0;
    GCanvasModes saved{};
    GGetCanvasModes(graph->canvas, &saved);
    bool ok;
    if (saved.dimension == 3)
        ok = axis < 3 && line_3d(graph, axis, from, to, away);
    else
        ok = line_2d(graph, axis, from, to, away);
    GCanvasModes now{};
    GGetCanvasModes(graph->canvas, &now);
    if (memcmp(now.world, saved.world, sizeof now.world) != 0 || now.psorigin[1] != saved.psorigin[1] ||
        now.pssize[1] != saved.pssize[1] || now.coords != saved.coords)
        GSetCanvasModes(graph->canvas, GCM_COORDS | GCM_PSORIGIN | GCM_PSSIZE | GCM_WORLD, &saved);
    return ok ? 1 : 0;
}

double go_pick_zlabel_xypos(int z_back_first, double xfirst, double xlast)
{
    return z_back_first ? xfirst : xlast;
}

void go_draw_3d_axes_supp(GoGraph *graph, int axis_mode, int draw_axes, int draw_long_ticks)
{
    if (!graph || !graph->canvas)
        return;
    GCanvasRecord *c = graph->canvas;
    int on[3] = {0, 0, 0};
    if (draw_axes)
        for (int a = 0; a < 3; a++)
            on[a] = iprop(graph, GP_DRAWAXES, a, 1);
    gomain_go_draw_borders_modes(graph);
    const Box3 k = box_of(graph);
    double xs = 0, ys = 0;
    gomain_go_get_non_scalar_shift(graph, k.b[0], k.b[1], axis_mode, &xs, &ys, nullptr, nullptr);
    const double shift[3] = {xs, ys, 0};
    static const int long_props[3] = {GP_XLONGTICKS, GP_YLONGTICKS, GP_ZLONGTICKS};
    static const char *const names[3] = {"X", "Y", "Z"};
    const double longlen = iprop(graph, GP_LONGTICKLEN), smalllen = iprop(graph, GP_SMALLTICKLEN);
    for (int a = 0; a < 3; a++) {
        const double span = k.last[a] - k.first[a];
        const std::vector<double> divs = divisions(&k.b[a]->scale, scale_GetNumDivs(&k.b[a]->scale));
        // Grid lines on the two back planes that contain this axis.
        if (draw_long_ticks && iprop(graph, long_props[a])) {
            for (double d : divs) {
                const double pos = forward(k.b[a], d + shift[a]);
                if (!within(pos, k.first[a], k.last[a], span))
                    continue;
                for (int plane = 0; plane < 3; plane++) {
                    if (plane == a)
                        continue;
                    const int other = 3 - a - plane;
                    double p[3], q[3];
                    p[a] = q[a] = pos;
                    p[plane] = q[plane] = k.back[plane] ? k.first[plane] : k.last[plane];
                    p[other] = k.first[other];
                    q[other] = k.last[other];
                    grid_line_3d(graph, p, q);
                }
            }
        }
        if (!on[a])
            continue;
        double p[3] = {0, 0, 0}, q[3];
        int along = 0;
        edge_of(k, a, p, &along);
        p[a] = k.first[a];
        std::copy(p, p + 3, q);
        q[a] = k.last[a];
        char text[64];
        snprintf(text, sizeof text, "Drawing %s Axis", names[a]);
        GCommentOutput(c, text);
        draw_3d_line(c, p, q);
        snprintf(text, sizeof text, "Drawing %s Axis Ticks", names[a]);
        GCommentOutput(c, text);
        const bool outward = a == 0 && (axis_mode == 1 || axis_mode == 3 || axis_mode == 4 || axis_mode == 5);
        const double sign = inward_sign(k, p, along) * (outward ? -1 : 1);
        for (double d : divs) {
            p[a] = forward(k.b[a], d + shift[a]);
            if (within(p[a], k.first[a], k.last[a], span))
                draw_3d_tick(c, p, longlen, along, sign);
        }
        for (double d : small_divisions(&k.b[a]->scale, divs)) {
            p[a] = forward(k.b[a], d + shift[a]);
            if (within(p[a], k.first[a], k.last[a], span))
                draw_3d_tick(c, p, smalllen, along, sign);
        }
    }
}

void gomain_go_draw_3d_axes(GoGraph *graph, int axis_mode) { go_draw_3d_axes_supp(graph, axis_mode, 1, 1); }
void gomain_go_draw_3d_axes_only(GoGraph *graph, int axis_mode) { go_draw_3d_axes_supp(graph, axis_mode, 1, 0); }
void gomain_go_draw_3d_axes_long_ticks(GoGraph *graph, int axis_mode)
{
    go_draw_3d_axes_supp(graph, axis_mode, 0, 1);
}

void gomain_go_draw_3d_division_labels(GoGraph *graph)
{
    if (!graph || !graph->canvas || graph->first < 0)
        return;
    GCanvasRecord *c = graph->canvas;
    const Box3 k = box_of(graph);
    label_text_modes(graph);
    int16_t dirs[3] = {0, 0, 0};
    GGetAxisOrientations(c, &dirs[0], &dirs[1], &dirs[2]);
    const DozColDesc *types[3] = {nullptr, nullptr, nullptr};
    gomain_go_get_tinfos(graph, graph->first, &types[0], &types[1], &types[2]);
    static const int formats[3] = {GP_XLABELFORMAT, GP_YLABELFORMAT, GP_ZLABELFORMAT};
    static const char *const names[3] = {"X", "Y", "Z"};
    const double gap = iprop(graph, GP_TICKSPACE) + iprop(graph, GP_LONGTICKLEN);
    for (int a = 0; a < 3; a++) {
        char text[96];
        snprintf(text, sizeof text, "Drawing %s Axis Division Labels", names[a]);
        GCommentOutput(c, text);
        if (!iprop(graph, GP_DRAWAXES, a, 1))
            continue;
        DozColDesc fallback{};
        fallback.type = DOZ_T_REAL;
        fallback.width = 10;
        const DozColDesc *t = types[a] ? types[a] : &fallback;
        const char *fmt = static_cast<const char *>(goprop_go_property(graph, formats[a], 0, 0));
        format_GSetupLabelFormat(fmt ? fmt : "", t->type, 80, t->width, t->precision, -1);
        double p[3] = {0, 0, 0};
        int along = 0;
        edge_of(k, a, p, &along);
        p[a] = k.first[a];
        const std::array<double, 3> edge{p[0], p[1], p[2]};
        // Beyond the edge, away from the centre of the box.
        p[along] -= inward_sign(k, p, along) * GTransformLength(c, 6, along, std::trunc(gap));
        set_label_modes(graph, dirs[a] / 64, a, -1, offset_anticlockwise(c, dirs[a] / 64, edge.data(), p));
        const double span = k.last[a] - k.first[a];
        for (double d : divisions(&k.b[a]->scale, scale_GetNumDivs(&k.b[a]->scale))) {
            p[a] = forward(k.b[a], d);
            if (!within(p[a], k.first[a], k.last[a], span))
                continue;
            char label[96];
            format_GFormatLabel(label, &d, t->type);
            int was = 0;
            set_selector(c, GCS_WC, &was);
            put_text3(c, p, label);
            set_selector(c, was, nullptr);
        }
    }
}

// ---- titles ---------------------------------------------------------------------------------------

void gomain_go_draw_all_titles(GoGraph *graph)
{
    gobj_go_draw_title_objects(graph, 1, 0);
    gobj_go_draw_arrows(graph, 0);
}

void gomain_go_draw_2dz_titles(GoGraph *graph)
{
    gobj_go_draw_title_objects(graph, 1, 1);
    gobj_go_draw_arrows(graph, 1);
}

void gomain_go_draw_y_axis_title(GoGraph *graph, int axis)
{
    if (graph && gomy_go_multiy_axis_enabled(graph, axis))
        gobj_go_draw_my_objects(graph, axis);
}
