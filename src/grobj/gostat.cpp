// Dataset statistics, auto-scaling of the axes, and the coordinate set-up
// that makes a graph's world coordinates its scaled axis values.

#include "gomain.h"

#include "dsmgr.h"
#include "gsformat.h"
#include "vxutil.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

namespace {

int clamp_int(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, -2147483648.0, 2147483647.0));
}

int16_t clamp16(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

void start_block(GoAxisBlock *b)
{
    if (!b)
        return;
    b->min = DBL_MAX;
    b->max = -DBL_MAX;
    b->count = 0;
    b->changes = 0;
}

void empty_if_unused(GoAxisBlock *b)
{
    if (b && b->count == 0) {
        b->min = 0;
        b->max = 1;
    }
}

// Walks the points of a dataset (without auto-increment).
template <class F>
void each_point(GoTupleReader reader, int dataset, F f)
{
    GoTuple t{};
    t.dataset = dataset;
    const int was = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    for (;;) {
        reader(&t);
        if (t.status & GT_S_END)
            break;
        if (!goprop_null_tuple(&t))
            f(t);
        goprop_go_next_point(&t);
    }
    goprop_go_tuple_autoinc(was);
}

GoTupleReader reader_of(GoGraph *graph)
{
    const GoClass *cls = gomain_go_class(graph);
    void *r = goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 0);
    return r ? reinterpret_cast<GoTupleReader>(r) : goprop_triple_reader;
}

int int_property(GoGraph *graph, int p, int q = 0)
{
    const int *v = static_cast<const int *>(goprop_go_property(graph, p, q, 0));
    return v ? *v : 0;
}

double forward(GoAxisBlock &b, double v)
{
    ScaleProc f = scale_GGetForwardScaleProc(&b.scale);
    return f ? f(v) : v;
}

void divisions(GoAxisBlock &b, double *first, double *last)
{
    *first = 0;
    *last = 1;
    scale_GetFirstDiv(&b.scale, first);
    scale_GetLastDiv(&b.scale, last);
}

}  // namespace

// ---- statistics ------------------------------------------------------------------------

void gostat_get_dataset_stats(GoTupleReader reader, int dataset, GoAxisBlock *x, GoAxisBlock *y, GoAxisBlock *z)
{
    GoAxisBlock *blocks[3] = {x, y, z};
    for (GoAxisBlock *b : blocks)
        start_block(b);
    each_point(reader, dataset, [&](const GoTuple &t) {
        const double *v[3] = {t.x, t.y, t.z};
        for (int c = 0; c < 3; c++) {
            GoAxisBlock *b = blocks[c];
            if (!b || !v[c])
                continue;
            b->count += 1;
            if (*v[c] < b->min) {
                b->min = *v[c];
                b->changes += 1;
            }
            if (*v[c] > b->max) {
                b->max = *v[c];
                b->changes += 1;
            }
        }
    });
    for (GoAxisBlock *b : blocks) {
        empty_if_unused(b);
        if (b)
            b->changes -= 1;
    }
}

void gostat_get_multi_dataset_stats(GoGraph *graph, GoTupleReader reader, int first, int last, GoAxisBlock *x,
                                    int xall, GoAxisBlock *y, int yall, GoAxisBlock *z, int zall)
{
    GoAxisBlock *blocks[3] = {x, y, z};
    const int all[3] = {xall, yall, zall};
    for (GoAxisBlock *b : blocks)
        start_block(b);
    const bool stacked = graph && (graph->statopts & GO_STAT_STACKED);
    std::vector<double> pos, neg;
    std::vector<char> pos_set, neg_set;
    bool any_pos = false, any_neg = false;
    int most_points = 0;
    for (int d = first; d <= last && d >= 0; d++) {
        double begin_min[3], begin_max[3];
        for (int c = 0; c < 3; c++)
            if (blocks[c]) {
                begin_min[c] = blocks[c]->min;
                begin_max[c] = blocks[c]->max;
            }
        int k = 0;
        each_point(reader, d, [&](const GoTuple &t) {
            const double *v[3] = {t.x, t.y, t.z};
            for (int c = 0; c < 3; c++) {
                GoAxisBlock *b = blocks[c];
                if (!b || !v[c])
                    continue;
                const bool stack = c == 1 && stacked;
                if (!(all[c] || d == first || stack))
                    continue;
                if (d == first)
                    b->count += 1;
                if (stack) {
                    if (static_cast<size_t>(k) >= pos.size()) {
                        const size_t n = (static_cast<size_t>(k) / 1024 + 1) * 1024;
                        pos.resize(n, 0);
                        neg.resize(n, 0);
                        pos_set.resize(n, 0);
                        neg_set.resize(n, 0);
                    }
                    const size_t i = static_cast<size_t>(k);
                    if (*v[c] > 0) {
                        pos[i] = pos_set[i] ? pos[i] + *v[c] : *v[c];
                        pos_set[i] = 1;
                        any_pos = true;
                    } else {
                        neg[i] = neg_set[i] ? neg[i] + *v[c] : *v[c];
                        neg_set[i] = 1;
                        any_neg = true;
                    }
                    b->changes += 1;
                    continue;
                }
                if (*v[c] < begin_min[c] || *v[c] > begin_max[c])
                    b->changes += 1;
                b->min = std::min(b->min, *v[c]);
                b->max = std::max(b->max, *v[c]);
            }
            k++;
        });
        most_points = std::max(most_points, k);
    }
    if (stacked && y && y->count != 0) {
        double pmin = DBL_MAX, pmax = -DBL_MAX, nmin = DBL_MAX, nmax = -DBL_MAX;
        for (size_t i = 0; i < static_cast<size_t>(most_points) && i < pos.size(); i++) {
            if (pos_set[i]) {
                pmin = std::min(pmin, pos[i]);
                pmax = std::max(pmax, pos[i]);
            }
            if (neg_set[i]) {
                nmin = std::min(nmin, neg[i]);
                nmax = std::max(nmax, neg[i]);
            }
        }
        if (any_pos && any_neg) {
            y->max = pmax;
            y->min = nmin;
        } else if (any_pos) {
            y->max = pmax;
            y->min = pmin;
        } else if (any_neg) {
            y->max = nmax;
            y->min = nmin;
        }
    }
    for (GoAxisBlock *b : blocks)
        empty_if_unused(b);
}

int std_dataset_stats(GoGraph *graph, int first, GoAxisBlock *x, GoAxisBlock *y, GoAxisBlock *z, int force)
{
    if (!graph)
        return 0;
    GoTupleReader reader = reader_of(graph);
    const int xall = int_property(graph, GP_XALLSCALE);
    const int yall = int_property(graph, GP_YALLSCALE) || (graph->statopts & GO_STAT_STACKED) ? 1 : 0;
    const int zall = int_property(graph, GP_ZALLSCALE);
    if (!force && !xall && !yall && !zall)
        return 0;
    gostat_get_multi_dataset_stats(graph, reader, first, graph->last, x, xall, y, yall, z, zall);
    if (graph->multiy)
        multiy_dataset_stats(graph);
    return 1;
}

// ---- auto-scaling ----------------------------------------------------------------------

void gomain_go_show_autoscale_error(int code)
{
    switch (code) {
    case 1:
    case 2:
    case 9:
    case 12: go_show_error(GO_SCALE_DIVISION); break;
    case 4: go_show_error(GO_SCALE_LOG_MAX); break;
    case 5: go_show_error(GO_SCALE_LOG_MIN); break;
    case 7: go_show_error(GO_SCALE_MIN_TO_ORIGIN); break;
    case 8:
    case 10: go_show_error(GO_SCALE_NDIVS); break;
    case 11: go_show_error(GO_SCALE_TICKS); break;
    case 13: go_show_error(GO_SCALE_MAX_TO_ORIGIN); break;
    case 14: go_show_error(GO_SCALE_SWAPPED); break;
    case 15:
    case 16: go_show_error(GO_SCALE_NDIVS_RANGE); break;
    case 17: go_show_error(GO_SCALE_TOO_MANY); break;
    case 18: go_show_error(GO_SCALE_ARITHMETIC); break;
    default: go_show_error(GO_SCALE_FAILED); break;
    }
}

int gomain_go_auto_scale(const int *logarithmic, const double *origin, const double *maximum, const double *minimum,
                         const double *division, const int *ndivs, const int *nticks, const DozColDesc *type,
                         GoAxisBlock *block)
{
    if (!block)
        return 0;
    ScaleRec *s = &block->scale;
    scale_ClearScaleStuff(s);
    const bool scalar = !type || format_GIsScalar(type->type);
    int kind = SCALE_LINEAR;
    if (!scalar) {
        kind = SCALE_DISCRETE;
    } else if (logarithmic && *logarithmic) {
        if (block->min > 0)
            kind = SCALE_LOG;
        else
            go_show_error(GO_LOG_DATA);
    }
    scale_SetScaleType(s, kind);
    if (scalar) {
        if (kind == SCALE_LOG) {
            bool dropped = false;
            for (const double **p : {&maximum, &minimum, &origin})
                if (*p && !(**p > 0)) {
                    *p = nullptr;
                    dropped = true;
                }
            if (dropped)
                go_show_error(GO_LOG_LIMITS);
        }
        if (maximum)
            scale_SetScaleMax(s, *maximum, 2);
        else
            scale_SetScaleMax(s, block->max, 1);
        if (minimum)
            scale_SetScaleMin(s, *minimum, 2);
        else
            scale_SetScaleMin(s, block->min, 1);
        if (origin)
            scale_SetScaleOrg(s, *origin, 1, 0);
        else
            scale_SetScaleOrg(s, 0, 0, 1);
        if (division)
            scale_SetScaleDiv(s, std::fabs(*division), 2);
        if (ndivs)
            scale_SetScaleNdivs(s, std::abs(std::max(*ndivs, -2147483647)), 2);
        if (nticks)
            scale_SetScaleNumSmallDivs(s, clamp_int(std::fabs(double(*nticks)) + 1), 2);
    } else {
        const bool max_ok = maximum && *maximum >= block->min && *maximum <= block->max + 1;
        const bool min_ok = minimum && *minimum >= block->min && *minimum <= block->max + 1;
        scale_SetScaleMax(s, max_ok ? *maximum : block->max, max_ok ? 2 : 1);
        scale_SetScaleMin(s, min_ok ? *minimum : block->min, min_ok ? 2 : 1);
    }
    int code = 0;
    const int r = scale_ScaleAxis(s, &code);
    if (r == 0)
        return 1;
    gomain_go_show_autoscale_error(code);
    if (r != 2)
        return 1;
    switch (code) {
    case 1:
    case 2:
    case 9:
    case 12:
    case 17: scale_SetScaleDiv(s, 0, 0); break;
    case 7: scale_SetScaleOrg(s, 0, 0, 1); break;
    case 8:
    case 10:
    case 15:
    case 16: scale_SetScaleNdivs(s, 0, 0); break;
    default: go_say(GO_FATAL_SCALING, code); return 1;
    }
    int again = 0;
    return scale_ScaleAxis(s, &again) == 2 ? 0 : 1;
}

namespace {

// The axis settings of x (0), y (1), z (2) or secondary y axis n (3 + n).
struct AxisSettings {
    const int *log = nullptr;
    const double *origin = nullptr, *max = nullptr, *min = nullptr, *div = nullptr;
    const int *ndivs = nullptr, *nticks = nullptr;
    // Copies: the getter's statics are shared with other graphs.
    int log_v = 0, ndivs_v = 0, nticks_v = 0;
    double origin_v = 0, max_v = 0, min_v = 0, div_v = 0;
};

AxisSettings settings_of(GoGraph *graph, int axis)
{
    static const int props[3][7] = {{12, 8, 9, 10, 11, 13, 14}, {22, 18, 19, 20, 21, 23, 24}, {32, 28, 29, 30, 31, 33, 34}};
    static const int secy[7] = {GP_SYLOGARITHMIC, GP_SYORIGIN, GP_SYMAXIMUM, GP_SYMINIMUM, GP_SYDIVISION,
                                GP_SYNUMDIVS, GP_SYNUMTICKS};
    const int *p = axis < 3 ? props[axis] : secy;
    const int q = axis < 3 ? 0 : axis - 3;
    AxisSettings a;
    auto i = [&](int prop, int *store) -> const int * {
        const int *v = static_cast<const int *>(goprop_go_property(graph, prop, q, 1));
        if (!v)
            return nullptr;
        *store = *v;
        return store;
    };
    auto d = [&](int prop, double *store) -> const double * {
        const double *v = static_cast<const double *>(goprop_go_property(graph, prop, q, 1));
        if (!v)
            return nullptr;
        *store = *v;
        return store;
    };
    a.log = i(p[0], &a.log_v);
    a.origin = d(p[1], &a.origin_v);
    a.max = d(p[2], &a.max_v);
    a.min = d(p[3], &a.min_v);
    a.div = d(p[4], &a.div_v);
    a.ndivs = i(p[5], &a.ndivs_v);
    a.nticks = i(p[6], &a.nticks_v);
    return a;
}

int scale_from_settings(GoGraph *graph, int axis, const DozColDesc *type, GoAxisBlock *block)
{
    const AxisSettings a = settings_of(graph, axis);
    return gomain_go_auto_scale(a.log, a.origin, a.max, a.min, a.div, a.ndivs, a.nticks, type, block);
}

// A category axis: the data minimum to one category past the maximum, in
// as many divisions as there are categories.
int scale_categories(GoGraph *graph, int axis, const DozColDesc *type, GoAxisBlock *block)
{
    const AxisSettings a = settings_of(graph, axis);
    const int n = std::max(1, clamp_int(block->changes));
    const double max = n == 1 ? 2 * block->max : block->max + (block->max - block->min) / (n - 1);
    const double min = block->min;
    return gomain_go_auto_scale(a.log, a.origin, &max, &min, a.div, &n, nullptr, type, block);
}

int auto_scale_2d(GoGraph *graph, int mode, bool z_when_three)
{
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    const int coords = gomain_go_get_tinfos(graph, graph->first, &xt, &yt, &zt);
    int ok = 1;
    if (mode == GO_AXES_CATEGORY_X) {
        ok &= scale_categories(graph, 0, xt, &graph->xblock);
        ok &= scale_from_settings(graph, 1, yt, &graph->yblock);
    } else if (mode == GO_AXES_CATEGORY_Y) {
        ok &= scale_categories(graph, 1, yt, &graph->yblock);
        ok &= scale_from_settings(graph, 0, xt, &graph->xblock);
    } else {
        ok &= scale_from_settings(graph, 0, xt, &graph->xblock);
        ok &= scale_from_settings(graph, 1, yt, &graph->yblock);
        if (z_when_three && coords == 3)
            ok &= scale_from_settings(graph, 2, zt, &graph->zblock);
    }
    if (!ok)
        return 0;
    if (graph->multiy) {
        for (int d = graph->first + 1; d <= graph->last && d >= 0; d++) {
            const int axis = gomy_go_multiy_for_dataset(graph, d);
            if (axis < 0 || axis >= GO_SECY || !gomy_go_multiy_axis_enabled(graph, axis))
                continue;
            gomain_go_get_tinfos(graph, d, &xt, &yt, &zt);
            if (!scale_from_settings(graph, 3 + axis, yt, gomy_go_multiy_axis(graph, axis)))
                return 0;
        }
    }
    return 1;
}

}  // namespace

int std_auto_scale(GoGraph *graph, int axis_mode)
{
    if (!graph)
        return 0;
    return auto_scale_2d(graph, axis_mode, true);
}

int gostd_std_3d_auto_scale(GoGraph *graph, int axis_mode)
{
    if (!graph)
        return 0;
    if (axis_mode != GO_AXES_BLOCK) {
        if (!auto_scale_2d(graph, axis_mode, false))
            return 0;
        const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
        gomain_go_get_tinfos(graph, graph->first, &xt, &yt, &zt);
        return scale_from_settings(graph, 2, zt, &graph->zblock);
    }
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    gomain_go_get_tinfos(graph, graph->first, &xt, &yt, &zt);
    if (!scale_from_settings(graph, 1, yt, &graph->yblock))
        return 0;
    // One grid cell more at the top of x and z, for the last cell's width.
    auto raised = [&](int axis, int prop, const DozColDesc *type, GoAxisBlock &b) {
        const int n = int_property(graph, prop);
        const double kept = b.max;
        if (n > 1)
            b.max += (b.max - b.min) / (n - 1);
        const int ok = scale_from_settings(graph, axis, type, &b);
        b.max = kept;
        return ok;
    };
    if (!raised(0, GP_GRIDX, xt, graph->xblock))
        return 0;
    return raised(2, GP_GRIDZ, zt, graph->zblock);
}

// ---- coordinates -----------------------------------------------------------------------

// The canvas's modes with the plot frame inside the graph's margins: its
// origin and size (the depth as wide as the frame) and the dimension.
static void plot_frame(GoGraph *graph, GCanvasModes &m, int dimension, double &width, double &height)
{
    GGetCanvasModes(graph->canvas, &m);
    int64_t margin[4];
    gomain_go_process_margins(graph, &m, margin);
    width = double(m.ccextent[0] - margin[0] - margin[1]);
    height = double(m.ccextent[1] - margin[2] - margin[3]);
    m.dimension = dimension;
    m.psorigin[0] = clamp16(double(margin[0]));
    m.psorigin[1] = clamp16(double(margin[2]));
    m.pssize[0] = clamp16(width);
    m.pssize[1] = clamp16(height);
    m.pssize[2] = clamp16(width);
}

void go_set_2d_graph_coordinates(GoGraph *graph, int twodz)
{
    if (!graph || !graph->canvas)
        return;
    GCanvasModes m{};
    double width, height;
    plot_frame(graph, m, 2, width, height);
    m.angle1 = m.angle2 = 0;
    m.fit[0] = m.fit[1] = -1;
    GoAxisBlock &h = graph->xblock;
    GoAxisBlock &v = twodz ? graph->zblock : graph->yblock;
    double hf, hl, vf, vl;
    divisions(h, &hf, &hl);
    divisions(v, &vf, &vl);
    double world[4] = {hf, vf, hl, vl};
    // A zoomed flag without a zoom window counts as not zoomed.
    if (graph->zoomed && !graph->multiy && graph->zoom) {
        world[0] = graph->zoom->xmin;
        world[2] = graph->zoom->xmax;
        world[1] = graph->zoom->ymin;
        world[3] = graph->zoom->ymax;
    }
    m.world[0] = forward(h, world[0]);
    m.world[3] = forward(h, world[2]);
    m.world[1] = forward(v, world[1]);
    m.world[4] = forward(v, world[3]);
    m.axisbox[0] = forward(h, hf);
    m.axisbox[3] = forward(h, hl);
    m.axisbox[1] = forward(v, vf);
    m.axisbox[4] = forward(v, vl);
    GSetCanvasModes(graph->canvas, 0x11BC1, &m);
}

void gomain_go_set_2d_coordinates(GoGraph *graph)
{
    go_set_2d_graph_coordinates(graph, 0);
    if (graph)
        graph->coords2dz = 0;
}

void gomain_go_set_2dz_coordinates(GoGraph *graph)
{
    go_set_2d_graph_coordinates(graph, 1);
    if (graph)
        graph->coords2dz = 1;
}

void gomain_go_set_3d_coordinates(GoGraph *graph)
{
    if (!graph || !graph->canvas)
        return;
    GCanvasModes m{};
    double width, height;
    plot_frame(graph, m, 3, width, height);
    m.fit[0] = clamp16(width);
    m.fit[1] = clamp16(height);
    GoAxisBlock *b[3] = {&graph->xblock, &graph->yblock, &graph->zblock};
    double first[3], last[3];
    for (int i = 0; i < 3; i++)
        divisions(*b[i], &first[i], &last[i]);
    if (graph->zoomed && !graph->multiy && graph->zoom) {
        first[0] = graph->zoom->xmin;
        last[0] = graph->zoom->xmax;
        first[1] = graph->zoom->ymin;
        last[1] = graph->zoom->ymax;
    }
    for (int i = 0; i < 3; i++) {
        m.world[i] = forward(*b[i], first[i]);
        m.world[i + 3] = forward(*b[i], last[i]);
    }
    m.angle1 = int64_t(int_property(graph, GP_XROTATION)) * 64;
    m.angle2 = int64_t(int_property(graph, GP_YROTATION)) * 64;
    GSetCanvasModes(graph->canvas, 0x1BC1, &m);
}

int gomain_go_get_tinfos(GoGraph *graph, int dataset, const DozColDesc **x, const DozColDesc **y,
                         const DozColDesc **z)
{
    GoTuple t{};
    t.dataset = dataset;
    const int was = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    reader_of(graph)(&t);
    goprop_go_tuple_autoinc(was);
    if (x)
        *x = t.xtype;
    if (y)
        *y = t.ytype;
    if (z)
        *z = t.ztype;
    return (t.xcol >= 0) + (t.ycol >= 0) + (t.zcol >= 0);
}

void gomain_go_correct_y_origin(GoGraph *graph)
{
    if (!graph)
        return;
    GoAxisBlock &b = graph->yblock;
    ScaleRec &s = b.scale;
    if (s.origin != b.min || !goprop_go_property(graph, GP_YORIGIN, 0, 0) || !(b.max > b.min))
        return;
    const double m = b.min;
    const double moved = m < 0 ? s.origin - 0.5 * m : 0.0;
    s.origin = moved;
    s.min = moved;
    s.ndivs = clamp_int(s.ndivs / (b.max - b.min) * (s.max - s.min));
}

void gomain_go_get_non_scalar_shift(GoGraph *graph, GoAxisBlock *x, GoAxisBlock *y, int axis_mode, double *xshift,
                                    double *yshift, double *xused, double *yused)
{
    double xs = 0, ys = 0;
    // Half a division, so that ticks, labels and bars sit in the middle of
    // each category's slot.
    auto half = [](GoAxisBlock *b, bool small) {
        double first = 0, next = 0;
        if (!b)
            return 0.0;
        if (small) {
            if (scale_GetFirstSDiv(&b->scale, &first) < 0 || scale_GetNextSDiv(&b->scale, &next) < 0)
                return 0.0;
        } else if (scale_GetFirstDiv(&b->scale, &first) < 0 || scale_GetNextDiv(&b->scale, &next) < 0) {
            return 0.0;
        }
        return (next - first) * 0.5;
    };
    if (axis_mode == GO_AXES_CATEGORY_Y)
        ys = half(y, false);
    else if (axis_mode == GO_AXES_CATEGORY_X)
        xs = half(x, graph && graph->kind == 20);
    const bool centred = int_property(graph, GP_BARCENTRED) != 0;
    if (xshift)
        *xshift = xs;
    if (yshift)
        *yshift = ys;
    if (xused)
        *xused = centred ? xs : 0;
    if (yused)
        *yused = centred ? ys : 0;
}

int where_is_xval(double x, double **table, int *capacity, int *count, double **table2, double **table3)
{
    for (int i = 0; i < *count; i++)
        if ((*table)[i] == x)
            return i;
    if (*count >= *capacity) {
        const int grown = *capacity + 1024;
        const size_t bytes = sizeof(double) * static_cast<size_t>(grown);
        *table = static_cast<double *>(vx_realloc(*table, bytes, 1));
        for (double **t : {table2, table3}) {
            if (!t)
                continue;
            *t = static_cast<double *>(vx_realloc(*t, bytes, 1));
            std::fill(*t + *capacity, *t + grown, 0.0);
        }
        *capacity = grown;
    }
    (*table)[*count] = x;
    return (*count)++;
}
