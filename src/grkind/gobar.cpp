// The bar kinds: vertical bars over categorical x positions, several
// datasets side by side, stacked or overlaid, and horizontal bars of one
// dataset over categorical y positions; each bar's value can be written
// beside it.  Both run on the skeleton (goskel).

#include "grkind.h"

#include "goskel.h"

#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

struct Bars {
    int type = 0;                   // `bartype`
    bool stacked = false;
    int n = 0;                      // the datasets drawn as bars
    double shift = 0;               // S, half a category slot
    bool centred = false;           // C: the group centred in its slot
    double group = 0, gap = 0;      // G and the side gap
    bool labels = false;
    double label_gap = 0;
    int k = 0;                      // the bar dataset being drawn (from 0)
    bool asline = false, first = true;
    double px = 0, py = 0;          // as a line: the previous point
    double base = 0;
    ScaleProc ry = nullptr;         // the y axis's reverse procedure
    const DozColDesc *type_of_value = nullptr;
    // Stacking: slot centres and their positive and negative totals.
    double *slots = nullptr, *above = nullptr, *below = nullptr;
    int capacity = 0, count = 0;
};

Bars &own(GkDraw &s) { return *static_cast<Bars *>(s.own); }

bool as_line(GoGraph *g, int d) { return gk_iprop(g, GP_ASLINE, d - g->first) != 0; }

// The text modes of the values written beside the bars.
void label_modes(GkDraw &s, int alignment)
{
    GTextModes t{};
    t.font = gk_iprop(s.graph, GP_LABELFONT);
    long colour = 0;
    gomain_go_get_colour(s.graph, &colour, GP_LABELCOLOUR, GP_AXISCOLOUR);
    t.colour = colour;
    t.scale = gk_dprop(s.graph, GP_LABELSIZE);
    t.angle = 0;
    t.alignment = alignment;
    GSetTextModes(s.canvas, 0x1F, &t);
}

// A value written at (x, y) in the label format of `property`.
void label(GkDraw &s, int property, double value, double x, double y)
{
    const char *format = static_cast<const char *>(goprop_go_property(s.graph, property, 0, 0));
    char text[GO_LABEL_TEXT] = {}, trimmed[GO_LABEL_TEXT] = {};
    gostd_std_get_label(s.graph, format, own(s).type_of_value, value, 0, text);
    strbtrim(trimmed, text);
    gk_text(s.canvas, x, y, trimmed);
}

// A dataset drawn as a line through its values.
bool line_point(GkDraw &s, double x, double y)
{
    Bars &b = own(s);
    if (!b.first)
        gk_line(s.canvas, b.px, b.py, x, y);
    b.px = x;
    b.py = y;
    b.first = false;
    return true;
}

void line_end(GkDraw &s)
{
    Bars &b = own(s);
    if (b.asline && s.points == 1 && s.d != s.graph->first)
        gk_line(s.canvas, b.px, b.py, gk_through(s.fx, s.graph->xblock.max), b.py);
}

// ---- bars ------------------------------------------------------------------------------

// The stacks the bars of dataset d share in multi-y mode.
int stack_of(GoGraph *g, int d) { return gomy_stack_position(g, gomy_go_multiy_for_dataset(g, d)); }

void bar_prepare(GkDraw &s)
{
    Bars &b = own(s);
    GoGraph *g = s.graph;
    b.type = gk_iprop(g, GP_BARTYPE);
    int bars = 0, sharing = 0;
    for (int d = g->first; d >= 0 && d <= g->last; d++) {
        if (as_line(g, d))
            continue;
        bars++;
        if (g->multiy && sharing <= 1)
            for (int e = g->first; e <= g->last && sharing <= 1; e++)
                if (!as_line(g, e) && stack_of(g, e) == stack_of(g, d))
                    sharing++;
    }
    b.n = bars;
    b.stacked = b.type == 1 && (g->multiy ? sharing : bars) > 1;
    if (b.stacked)
        g->statopts |= GO_STAT_STACKED;
}

void bar_prepared(GkDraw &s)
{
    GoGraph *g = s.graph;
    g->statopts &= ~GO_STAT_STACKED;
    // A graph whose categories were never scaled, or are more than the
    // scales take, has no coordinates to draw in.
    if (g->xblock.scale.ndivs <= 0 || g->xblock.changes > 1000)
        s.has_data = false;
    if (!s.has_data || !g->canvas || s.partial || (s.reason == GO_REOPEN && (*s.flags & GO_PREAMBLE_ONLY)))
        return;
    if (g->yblock.count == 1)
        vbar_auto_scale(g, GO_AXES_CATEGORY_X);
    gomain_go_correct_y_origin(g);
    gomain_go_set_2d_coordinates(g);
}

void bar_begin(GkDraw &s)
{
    Bars &b = own(s);
    GoGraph *g = s.graph;
    double used = 0;
    gomain_go_get_non_scalar_shift(g, &g->xblock, &g->yblock, GO_AXES_CATEGORY_X, &b.shift, nullptr, &used, nullptr);
    b.centred = used != 0.0;
    const double slot = 2.0 * b.shift;
    b.group = slot * gk_dprop(g, GP_BARWIDTH);
    b.gap = (slot - b.group) * 0.5;
    b.labels = gk_iprop(g, GP_LABELBARS) != 0;
    if (b.labels) {
        label_modes(s, 7);
        const double gap = GTransformLength(s.canvas, 6, 1, 2);
        b.label_gap = gap > 0 ? gap : 0;
    }
    if (b.stacked) {
        b.capacity = 1024;
        for (double **t : {&b.slots, &b.above, &b.below})
            *t = static_cast<double *>(vx_malloc(static_cast<long>(sizeof(double)) * b.capacity, 1));
        std::fill(b.above, b.above + b.capacity, 0.0);
        std::fill(b.below, b.below + b.capacity, 0.0);
    }
    // The bar datasets before a partial draw's dataset.
    b.k = 0;
    for (int d = g->first; s.partial && d >= 0 && d < g->last; d++)
        b.k += !as_line(g, d);
}

bool bar_start(GkDraw &s)
{
    Bars &b = own(s);
    GoGraph *g = s.graph;
    b.asline = as_line(g, s.d);
    b.first = true;
    const int colour = gk_iprop(g, GP_COLOUR, s.q);
    gk_line_modes(s, 0x13, gk_iprop(g, GP_LINESTYLE, s.q), colour);
    gomain_go_setup_fill_modes(s.canvas, gk_iprop(g, GP_HATCHSTYLE, s.q), colour);
    b.ry = scale_GGetReverseScaleProc(&s.yb->scale);
    b.base = gk_origin(s.yb);
    const DozColDesc *xt = nullptr, *zt = nullptr;
    b.type_of_value = nullptr;
    gomain_go_get_tinfos(g, s.d, &xt, &b.type_of_value, &zt);
    const int map = gomain_go_get_colourmap(g, s.yb, s.d, 1);
    s.any_map = s.any_map || map;
    return true;
}

bool bar_point(GkDraw &s, const GkPoint &p)
{
    Bars &b = own(s);
    const double centre = gk_through(s.fx, p.rawx + b.shift);
    if (b.asline)
        return line_point(s, centre, p.y);
    const bool side_by_side = b.type == 0 && b.n > 0;
    const double width = side_by_side ? b.group / b.n : b.group;
    const double left_raw = p.rawx + (b.centred ? b.gap : 0) + (side_by_side ? b.k * width : 0);
    const double left = gk_through(s.fx, left_raw), right = gk_through(s.fx, left_raw + width);
    double base = b.base, top = p.y;
    if (b.stacked) {
        const int i = where_is_xval(0.5 * (left + right), &b.slots, &b.capacity, &b.count, &b.above, &b.below);
        // Values pile up from 0, whatever the origin the axis shows.
        if (s.d != s.graph->first) {
            base = p.y > 0 ? b.above[i] : b.below[i];
            top = base + p.y;
        }
        if (top > 0)
            b.above[i] = top;
        else
            b.below[i] = top;
    }
    if (top == base)
        return true;
    gk_rectangle(s.canvas, left, base, right, top);
    if (b.labels && !b.stacked)
        label(s, GP_YLABELFORMAT, p.tuple->y ? *p.tuple->y : 0, 0.5 * (left + right), top + b.label_gap);
    return true;
}

void bar_end_dataset(GkDraw &s)
{
    Bars &b = own(s);
    line_end(s);
    gomain_go_forget_colourmap(s.graph);
    if (!b.asline)
        b.k++;
}

// Each slot's totals above and below it.
void bar_after(GkDraw &s)
{
    Bars &b = own(s);
    if (b.stacked && b.labels) {
        for (int i = 0; i < b.count; i++) {
            if (b.above[i] != 0) {
                label_modes(s, 7);
                label(s, GP_YLABELFORMAT, gk_through(b.ry, b.above[i]), b.slots[i], b.above[i] + b.label_gap);
            }
            if (b.below[i] != 0) {
                label_modes(s, 1);
                label(s, GP_YLABELFORMAT, gk_through(b.ry, b.below[i]), b.slots[i], b.below[i] - b.label_gap);
            }
        }
    }
    gomain_go_setup_fill_modes(s.canvas, 0, 0);
}

void bar_end(GkDraw &s)
{
    Bars &b = own(s);
    s.graph->statopts &= ~GO_STAT_STACKED;
    for (double **t : {&b.slots, &b.above, &b.below}) {
        vx_free(*t);
        *t = nullptr;
    }
}

// ---- horizontal bars --------------------------------------------------------------------

void hbar_begin(GkDraw &s)
{
    Bars &b = own(s);
    GoGraph *g = s.graph;
    double used = 0;
    gomain_go_get_non_scalar_shift(g, &g->xblock, &g->yblock, GO_AXES_CATEGORY_Y, nullptr, &b.shift, nullptr, &used);
    b.centred = used != 0.0;
    b.group = 2.0 * b.shift * gk_dprop(g, GP_BARWIDTH);
    b.gap = (2.0 * b.shift - b.group) * 0.5;
    b.labels = gk_iprop(g, GP_LABELBARS) != 0;
    if (b.labels) {
        label_modes(s, 3);
        const double gap = GTransformLength(s.canvas, 6, 0, 5);
        b.label_gap = gap > 0 ? gap : 0;
    }
}

bool hbar_start(GkDraw &s)
{
    Bars &b = own(s);
    GoGraph *g = s.graph;
    const int colour = gk_iprop(g, GP_COLOUR);
    gk_line_modes(s, 0x13, gk_iprop(g, GP_LINESTYLE), colour);
    gomain_go_setup_fill_modes(s.canvas, gk_iprop(g, GP_HATCHSTYLE), colour);
    b.base = gk_origin(&g->xblock);
    const DozColDesc *yt = nullptr, *zt = nullptr;
    b.type_of_value = nullptr;
    gomain_go_get_tinfos(g, s.d, &b.type_of_value, &yt, &zt);
    const int map = gomain_go_get_colourmap_x(g, &g->xblock, s.d, 1);
    s.any_map = s.any_map || map;
    return true;
}

bool hbar_point(GkDraw &s, const GkPoint &p)
{
    Bars &b = own(s);
    const double raw = p.tuple->x ? *p.tuple->x : 0, end = p.x;
    const double centre = gk_through(s.fy, (p.tuple->y ? *p.tuple->y : 0) + b.shift);
    const double bottom = centre - b.shift + (b.centred ? b.gap : 0), top = bottom + b.group;
    // The bar takes the colour of its value.
    GColourMapModes cm{};
    cm.fixed = 1;
    cm.fixed_value = raw;
    gcolmap_GSetColourMapModes(s.canvas, GCMM_FIXED | GCMM_FIXEDVALUE, &cm);
    if (end == b.base)
        return true;
    gk_rectangle(s.canvas, b.base, bottom, end, top);
    if (b.labels) {
        // Beyond the end: right of a bar to the right, left of one to the left.
        const bool right = end > b.base;
        label_modes(s, right ? 3 : 5);
        label(s, GP_XLABELFORMAT, raw, right ? end + b.label_gap : end - b.label_gap, 0.5 * (bottom + top));
    }
    return true;
}

void hbar_end_dataset(GkDraw &s) { gomain_go_forget_colourmap(s.graph); }

void hbar_after(GkDraw &s) { gomain_go_setup_fill_modes(s.canvas, 0, 0); }

const GkKind bar_kind = {
    .axis_mode = GO_AXES_CATEGORY_X,
    .auto_scale = vbar_auto_scale,
    .coordinates = gomain_go_set_2d_coordinates,
    .walks_extra_axes = true,
    .legend_kind = 0,
    .overlay_flag = 1,
    .prepare = bar_prepare,
    .prepared = bar_prepared,
    .begin = bar_begin,
    .dataset_start = bar_start,
    .point = bar_point,
    .missing = nullptr,
    .dataset_end = bar_end_dataset,
    .after_walk = bar_after,
    .end = bar_end,
};

const GkKind hbar_kind = {
    .axis_mode = GO_AXES_CATEGORY_Y,
    .auto_scale = std_auto_scale,
    .coordinates = gomain_go_set_2d_coordinates,
    .walks_extra_axes = false,
    .legend_kind = 2,
    .overlay_flag = 1,
    .prepare = nullptr,
    .prepared = nullptr,
    .begin = hbar_begin,
    .dataset_start = hbar_start,
    .point = hbar_point,
    .missing = nullptr,
    .dataset_end = hbar_end_dataset,
    .after_walk = hbar_after,
    .end = nullptr,
};

// The settings of an axis: `properties` lists the logarithmic, origin,
// maximum, minimum, division, divisions and ticks properties.
struct Settings {
    int log = 0, ndivs = 0, nticks = 0;
    double origin = 0, max = 0, min = 0, div = 0;
    const int *plog = nullptr, *pndivs = nullptr, *pnticks = nullptr;
    const double *porigin = nullptr, *pmax = nullptr, *pmin = nullptr, *pdiv = nullptr;
    Settings(GoGraph *g, const int properties[7], int q)
    {
        auto i = [&](int p, int &v, const int *&ptr) {
            if (const int *r = static_cast<const int *>(goprop_go_property(g, p, q, 1))) {
                v = *r;
                ptr = &v;
            }
        };
        auto d = [&](int p, double &v, const double *&ptr) {
            if (const double *r = static_cast<const double *>(goprop_go_property(g, p, q, 1))) {
                v = *r;
                ptr = &v;
            }
        };
        i(properties[0], log, plog);
        d(properties[1], origin, porigin);
        d(properties[2], max, pmax);
        d(properties[3], min, pmin);
        d(properties[4], div, pdiv);
        i(properties[5], ndivs, pndivs);
        i(properties[6], nticks, pnticks);
    }
    int scale(const DozColDesc *type, GoAxisBlock *b) const
    {
        return gomain_go_auto_scale(plog, porigin, pmax, pmin, pdiv, pndivs, pnticks, type, b);
    }
};

// The statistics leave out the rows whose value is missing; their
// categories still take a slot, left empty.  The x range and extreme
// changes of the first dataset counted the same way over every row with
// an x, when they reach further.
void categories_with_missing_values(GoGraph *graph, double &lo, double &hi, double &changes)
{
    const GoClass *cls = gomain_go_class(graph);
    auto reader = reinterpret_cast<GoTupleReader>(
        goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 0));
    if (!reader)
        reader = goprop_triple_reader;
    double a = HUGE_VAL, b = -HUGE_VAL, n = 0;
    bool missing = false;
    GoTuple t{};
    t.dataset = graph->first;
    const int was = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    for (;; goprop_go_next_point(&t)) {
        reader(&t);
        if (t.status & GT_S_END)
            break;
        if (!t.x)
            continue;
        missing = missing || goprop_null_tuple(&t);
        if (*t.x < a) {
            a = *t.x;
            n++;
        }
        if (*t.x > b) {
            b = *t.x;
            n++;
        }
    }
    goprop_go_tuple_autoinc(was);
    if (missing && a <= b && (a < lo || b > hi)) {
        lo = a;
        hi = b;
        changes = n - 1;
    }
}

}  // namespace

int vbar_auto_scale(GoGraph *graph, int)
{
    if (!graph)
        return 0;
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    gomain_go_get_tinfos(graph, graph->first, &xt, &yt, &zt);
    GoAxisBlock &x = graph->xblock;
    double lo = x.min, hi = x.max, changes = std::isfinite(x.changes) ? x.changes : 0;
    categories_with_missing_values(graph, lo, hi, changes);
    const int n = static_cast<int>(std::clamp(changes, 0.0, 2147483647.0));
    const double xmin = lo, xmax = n == 1 ? 2 * hi : hi + (hi - lo) / (n - 1);
    static const int xprops[7] = {GP_XLOGARITHMIC, GP_XORIGIN, GP_XMAXIMUM, GP_XMINIMUM, GP_XDIVISION, GP_XNUMDIVS,
                                  GP_XNUMTICKS};
    static const int yprops[7] = {GP_YLOGARITHMIC, GP_YORIGIN, GP_YMAXIMUM, GP_YMINIMUM, GP_YDIVISION, GP_YNUMDIVS,
                                  GP_YNUMTICKS};
    static const int sprops[7] = {GP_SYLOGARITHMIC, GP_SYORIGIN, GP_SYMAXIMUM, GP_SYMINIMUM, GP_SYDIVISION,
                                  GP_SYNUMDIVS, GP_SYNUMTICKS};
    // The scales take at most 1000 divisions, one a category.
    if (n > 1000) {
        gomain_go_show_autoscale_error(SCERR_TOO_MANY);
        return 0;
    }
    const Settings xs(graph, xprops, 0);
    const int no_ticks = 0;
    // The scaling takes limits within the block's data range (and one past
    // it): the range with the empty slots for the while.
    const double kept_min = x.min, kept_max = x.max;
    x.min = lo;
    x.max = hi;
    const int scaled = gomain_go_auto_scale(xs.plog, xs.porigin, &xmax, &xmin, xs.pdiv, &n, &no_ticks, xt, &x);
    x.min = kept_min;
    x.max = kept_max;
    if (!scaled)
        return 0;
    if (!Settings(graph, yprops, 0).scale(yt, &graph->yblock))
        return 0;
    if (graph->multiy) {
        for (int d = graph->first + 1; d <= graph->last && d >= 0; d++) {
            const int axis = gomy_go_multiy_for_dataset(graph, d);
            if (axis < 0 || axis >= GO_SECY || !gomy_go_multiy_axis_enabled(graph, axis))
                continue;
            gomain_go_get_tinfos(graph, d, &xt, &yt, &zt);
            if (!Settings(graph, sprops, axis).scale(yt, gomy_go_multiy_axis(graph, axis)))
                return 0;
        }
    }
    return 1;
}

int gobar_bar_draw(GoGraph *graph, int reason, uint64_t *flags)
{
    Bars b;
    return goskel_draw(graph, reason, flags, bar_kind, &b);
}

int gobar_hbar_draw(GoGraph *graph, int reason, uint64_t *flags)
{
    Bars b;
    return goskel_draw(graph, reason, flags, hbar_kind, &b);
}
