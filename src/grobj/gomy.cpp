// Multiple y axes: each dataset after the first may have a y axis of its
// own.  Axes are grouped into stacks (horizontal bands of the plot area);
// within a stack axes stand off from the plot edge on the left or right.

#include "gomain.h"

#include <algorithm>
#include <cmath>

namespace {

int prop(GoGraph *graph, int p, int q)
{
    const int *v = static_cast<const int *>(goprop_go_property(graph, p, q, 0));
    return v ? *v : 0;
}

int type_of(GoGraph *graph, int axis) { return prop(graph, GP_SYTYPE, axis); }
bool starts_stack(GoGraph *graph, int axis)
{
    const int t = type_of(graph, axis);
    return t == 2 || t == 3;
}

// The spacing before stack s (0 for the first).
int stack_spacing(GoGraph *graph, int s)
{
    if (s <= 0)
        return 0;
    int seen = 0;
    for (int a = 0; a < GO_SECY; a++)
        if (gomy_go_multiy_axis_enabled(graph, a) && starts_stack(graph, a) && ++seen == s)
            return prop(graph, GP_SYSPACING, a);
    return 0;
}

double along_y(GoGraph *graph, double length)
{
    if (!graph->canvas || length == 0)
        return 0;
    return GTransformLength(graph->canvas, 2, 1, GTransformLength(graph->canvas, 5, 1, length));
}

double forward(GoAxisBlock &b, double v)
{
    ScaleProc f = scale_GGetForwardScaleProc(&b.scale);
    return f ? f(v) : v;
}

int16_t clamp16(double v) { return std::isnan(v) ? 0 : static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0)); }

}  // namespace

int gomy_go_multiy_for_dataset(GoGraph *graph, int dataset) { return graph ? dataset - graph->first - 1 : -1; }

GoAxisBlock *gomy_go_multiy_axis(GoGraph *graph, int axis)
{
    if (!graph)
        return nullptr;
    if (axis == -1)
        return &graph->yblock;
    if (!graph->multiy || !graph->secy || axis < 0 || axis >= GO_SECY)
        return nullptr;
    return &graph->secy[axis];
}

int gomy_go_multiy_axis_enabled(GoGraph *graph, int axis)
{
    if (axis == -1)
        return 1;
    if (axis < 0 || axis >= GO_SECY)
        return 0;
    return prop(graph, GP_SECYAXIS, axis) != 0;
}

int gomy_go_multiy_axis_on_left(GoGraph *graph, int axis)
{
    if (axis == -1)
        return 1;
    const int t = type_of(graph, axis);
    return t == 0 || t == 2;
}

int gomy_go_multiy_needed(GoGraph *graph)
{
    for (int a = 0; a < GO_SECY; a++)
        if (gomy_go_multiy_axis_enabled(graph, a))
            return 1;
    return 0;
}

void gomy_init_multiy(GoGraph *graph)
{
    if (!graph || graph->secy)
        return;
    graph->secy = new GoAxisBlock[GO_SECY]{};
}

void gomy_term_multiy(GoGraph *graph)
{
    if (!graph || !graph->multiy)
        return;
    delete[] graph->secy;
    graph->secy = nullptr;
}

int gomy_stack_count(GoGraph *graph)
{
    int n = 1;
    for (int a = 0; a < GO_SECY; a++)
        if (gomy_go_multiy_axis_enabled(graph, a) && starts_stack(graph, a))
            n++;
    return n;
}

int gomy_stack_position(GoGraph *graph, int axis)
{
    int p = 0;
    for (int a = 0; a <= axis && a < GO_SECY; a++)
        if (gomy_go_multiy_axis_enabled(graph, a) && starts_stack(graph, a))
            p++;
    return p;
}

int gomy_go_multiy_has_x(GoGraph *graph, int axis) { return gomy_stack_position(graph, axis) == 0; }

int gomy_go_multiy_is_first(GoGraph *graph, int axis, int *left, int *right)
{
    int l = 0, r = 0;
    int from = 0;
    if (axis == -1) {
        l = 1;
    } else {
        // The axis that starts the stack of the given one.
        int start = -1;
        const int p = gomy_stack_position(graph, axis);
        for (int a = 0, seen = 0; a < GO_SECY && p > 0; a++)
            if (gomy_go_multiy_axis_enabled(graph, a) && starts_stack(graph, a) && ++seen == p) {
                start = a;
                break;
            }
        if (start != axis) {
            if (left)
                *left = 0;
            if (right)
                *right = 0;
            return 0;
        }
        (type_of(graph, axis) == 2 ? l : r) = 1;
        from = axis + 1;
    }
    for (int a = from; a < GO_SECY; a++) {
        if (!gomy_go_multiy_axis_enabled(graph, a))
            continue;
        const int t = type_of(graph, a);
        if (t == 2 || t == 3)
            break;
        (t == 0 ? l : r) = 1;
    }
    if (left)
        *left = l;
    if (right)
        *right = r;
    return 1;
}

double gomy_go_multiy_axis_spacing(GoGraph *graph, int axis, int convert, double fallback)
{
    if (axis == -1)
        return 0;
    double left = 0, right = 0, result = fallback;
    bool left_skip = false, right_skip = true, reached = false;
    for (int a = 0; a < GO_SECY && !reached; a++) {
        if (!gomy_go_multiy_axis_enabled(graph, a))
            continue;
        const int t = type_of(graph, a);
        const int spacing = prop(graph, GP_SYSPACING, a);
        switch (t) {
        case 0:
            if (left_skip)
                left_skip = false;
            else
                left += spacing;
            break;
        case 1:
            if (right_skip)
                right_skip = false;
            else
                right += spacing;
            break;
        case 2:
            right_skip = true;
            left_skip = false;
            left = right = 0;
            break;
        case 3:
            right_skip = false;
            left_skip = true;
            left = right = 0;
            break;
        default: break;
        }
        if (a == axis) {
            result = t == 1 || t == 3 ? right : left;
            reached = true;
        }
    }
    if (reached && convert && result != 0 && graph->canvas)
        result = GTransformLength(graph->canvas, 6, 0, result);
    return result;
}

int gomy_go_multiy_axis_above(GoGraph *graph, int axis)
{
    const int n = gomy_stack_count(graph);
    const int p = gomy_stack_position(graph, axis);
    if (p >= n - 1 || stack_spacing(graph, p + 1) != 0)
        return 0;
    const int left = gomy_go_multiy_axis_on_left(graph, axis);
    const int offset = static_cast<int>(gomy_go_multiy_axis_spacing(graph, axis, 0, 0));
    for (int a = 0; a < GO_SECY; a++) {
        if (!gomy_go_multiy_axis_enabled(graph, a) || gomy_stack_position(graph, a) != p + 1)
            continue;
        if (static_cast<int>(gomy_go_multiy_axis_spacing(graph, a, 0, 0)) == offset)
            return gomy_go_multiy_axis_on_left(graph, a) == left ? 1 : 0;
    }
    return 0;
}

void gomy_go_set_multiy_coord(GoGraph *graph, int dataset)
{
    gomy_go_set_myaxis_coord(graph, gomy_go_multiy_for_dataset(graph, dataset));
}

void gomy_go_set_myaxis_coord(GoGraph *graph, int axis)
{
    if (!graph || !graph->canvas || !gomy_go_multiy_axis_enabled(graph, axis))
        return;
    GoAxisBlock *block = gomy_go_multiy_axis(graph, axis);
    if (!block)
        return;
    const int n = gomy_stack_count(graph);
    const int p = gomy_stack_position(graph, axis);
    GCanvasModes m{};
    GGetCanvasModes(graph->canvas, &m);
    int64_t margin[4];
    gomain_go_process_margins(graph, &m, margin);
    const int64_t width = m.ccextent[0] - margin[0] - margin[1];
    const int64_t height = m.ccextent[1] - margin[2] - margin[3];
    double total = 0;
    for (int s = 0; s < n; s++)
        total += stack_spacing(graph, s);
    // Spacings taller than the plot leave stacks of no height, never less.
    const int64_t stack_height = std::max<int64_t>(0, (height - static_cast<int64_t>(along_y(graph, total))) / n);
    double offset = double(margin[2]) + double(p) * double(stack_height);
    for (int s = 1; s <= p; s++)
        offset += static_cast<int64_t>(along_y(graph, stack_spacing(graph, s)));
    m.coords = GCS_WC;
    m.psorigin[0] = clamp16(double(margin[0]));
    m.psorigin[1] = clamp16(offset);
    m.pssize[0] = clamp16(double(width));
    m.pssize[1] = clamp16(double(stack_height));
    m.pssize[2] = m.pssize[0];
    double xf = 0, xl = 1, yf = 0, yl = 1;
    scale_GetFirstDiv(&graph->xblock.scale, &xf);
    scale_GetLastDiv(&graph->xblock.scale, &xl);
    scale_GetFirstDiv(&block->scale, &yf);
    scale_GetLastDiv(&block->scale, &yl);
    m.world[0] = forward(graph->xblock, xf);
    m.world[3] = forward(graph->xblock, xl);
    m.world[1] = forward(*block, yf);
    m.world[4] = forward(*block, yl);
    GSetCanvasModes(graph->canvas, GCM_COORDS | GCM_PSORIGIN | GCM_PSSIZE | GCM_WORLD, &m);
}

void multiy_dataset_stats(GoGraph *graph)
{
    if (!graph || graph->first < 0)
        return;
    const GoClass *cls = gomain_go_class(graph);
    void *r = goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 0);
    GoTupleReader reader = r ? reinterpret_cast<GoTupleReader>(r) : goprop_triple_reader;
    const bool together = prop(graph, GP_YALLSCALE, 0) || (graph->statopts & GO_STAT_STACKED);
    for (int d = graph->first; d <= graph->last; d++) {
        const int axis = gomy_go_multiy_for_dataset(graph, d);
        if (!gomy_go_multiy_axis_enabled(graph, axis))
            continue;
        GoAxisBlock *block = gomy_go_multiy_axis(graph, axis);
        if (!block)
            continue;
        if (together) {
            int e = d;
            while (e < graph->last && !gomy_go_multiy_axis_enabled(graph, gomy_go_multiy_for_dataset(graph, e + 1)))
                e++;
            gostat_get_multi_dataset_stats(graph, reader, d, e, nullptr, 0, block, 1, nullptr, 0);
        } else {
            gostat_get_dataset_stats(reader, d, nullptr, block, nullptr);
        }
    }
}
