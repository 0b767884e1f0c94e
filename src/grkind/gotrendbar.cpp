// The trend-bar kind: bars over a date-and-time x axis, several datasets
// side by side or stacked (per stack of y axes), or drawn as lines, each
// bar optionally labelled with its value.  It runs on the skeleton
// (goskel); its x axis and read-out are the trend kind's (gotrend).
//
// A bar's slot is [t, t + one small division] of its time t, as a bar
// kind's category k has [k, k + 1]: the bars take `barwidth` of it, from
// its left edge (plus the side gap when `barcentred`), unstacked datasets
// side by side.  The maximum of the axis is one small division further
// out, so that the last slot lies inside it.  Stacked bars find their
// slot's running top and bottom through a hash from (stack, time) to the
// slot, so that many bars cost no more than a few.

#include "grkind.h"

#include "goskel.h"
#include "gotime.h"
#include "seams.h"

#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "grkind_msgs.def"
#undef VXMSG

namespace {

bool as_line(GoGraph *g, int d) { return gk_iprop(g, GP_ASLINE, d - g->first) != 0; }

// The stack of y axes dataset d is drawn on (0 outside multi-y mode).
int stack_of(GoGraph *g, int d) { return g->multiy ? gomy_stack_position(g, gomy_go_multiy_for_dataset(g, d)) : 0; }

// The datasets drawn as bars, and whether they are stacked: `bartype` 1
// with more than one bar dataset on one stack.
bool stacking(GoGraph *g, int *bars)
{
    std::unordered_map<int, int> per_stack;
    int n = 0, most = 0;
    for (int d = g->first; d >= 0 && d <= g->last; d++) {
        if (as_line(g, d))
            continue;
        n++;
        most = std::max(most, ++per_stack[stack_of(g, d)]);
    }
    if (bars)
        *bars = n;
    return gk_iprop(g, GP_BARTYPE) == 1 && most > 1;
}

// A slot of stacked bars: a stack and a time.
struct SlotKey {
    int stack;
    double x;
    bool operator==(const SlotKey &o) const { return stack == o.stack && x == o.x; }
};
struct SlotHash {
    size_t operator()(const SlotKey &k) const
    {
        return std::hash<double>()(k.x) * 31u + static_cast<size_t>(k.stack);
    }
};

// The running tops and bottoms of the slots: three vectors (the time, the
// top of the positive bars, the bottom of the negative ones) grown by 1024
// entries, found through the hash.
struct Slots {
    double *times = nullptr, *tops = nullptr, *bottoms = nullptr;
    int capacity = 0, count = 0;
    std::unordered_map<SlotKey, int, SlotHash> where;
    Slots() = default;
    Slots(const Slots &) = delete;
    Slots &operator=(const Slots &) = delete;
    ~Slots() { clear(); }
    int find(int stack, double x)
    {
        const auto [it, added] = where.try_emplace(SlotKey{stack, x}, count);
        if (!added)
            return it->second;
        if (count >= capacity) {
            const int grown = capacity + 1024;
            const long bytes = static_cast<long>(sizeof(double)) * grown;
            for (double **t : {&times, &tops, &bottoms})
                *t = static_cast<double *>(vx_realloc(*t, bytes, 1));
            std::fill(tops + capacity, tops + grown, 0.0);
            std::fill(bottoms + capacity, bottoms + grown, 0.0);
            capacity = grown;
        }
        times[count] = x;
        return count++;
    }
    void clear()
    {
        for (double **t : {&times, &tops, &bottoms}) {
            vx_free(*t);
            *t = nullptr;
        }
        capacity = count = 0;
        where.clear();
    }
};

// Stacked bars reach as far as their running totals: the y axes' data
// ranges widened to them while the axes are scaled.
struct StackedRanges {
    struct Saved {
        GoAxisBlock *block;
        double min, max;
    };
    std::vector<Saved> saved;
    explicit StackedRanges(GoGraph *g)
    {
        const GoClass *cls = gomain_go_class(g);
        auto reader = reinterpret_cast<GoTupleReader>(
            goprop_go_property(g, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 0));
        if (!reader)
            reader = goprop_triple_reader;
        Slots slots;
        std::unordered_map<GoAxisBlock *, std::pair<double, double>> reach;
        const int was = goprop_go_tuple_autoinc_get();
        goprop_go_tuple_autoinc(0);
        for (int d = g->first; d >= 0 && d <= g->last; d++) {
            if (as_line(g, d))
                continue;
            GoAxisBlock *b = &g->yblock;
            if (g->multiy)
                if (GoAxisBlock *a = gomy_go_multiy_axis(g, gomy_go_multiy_for_dataset(g, d)))
                    b = a;
            auto &[lo, hi] = reach.try_emplace(b, HUGE_VAL, -HUGE_VAL).first->second;
            const int stack = stack_of(g, d);
            GoTuple t{};
            t.dataset = d;
            for (;; goprop_go_next_point(&t)) {
                reader(&t);
                if (t.status & GT_S_END)
                    break;
                if (goprop_null_tuple(&t) || !t.x || !t.y || !std::isfinite(*t.y))
                    continue;
                const int i = slots.find(stack, *t.x);
                double &run = *t.y > 0 ? slots.tops[i] : slots.bottoms[i];
                run += *t.y;
                lo = std::min(lo, run);
                hi = std::max(hi, run);
            }
        }
        goprop_go_tuple_autoinc(was);
        for (auto &[b, r] : reach) {
            if (!(r.first <= r.second) || b->count == 0)
                continue;
            saved.push_back({b, b->min, b->max});
            b->min = std::min(b->min, r.first);
            b->max = std::max(b->max, r.second);
        }
    }
    ~StackedRanges()
    {
        for (const Saved &s : saved) {
            s.block->min = s.min;
            s.block->max = s.max;
        }
    }
    StackedRanges(const StackedRanges &) = delete;
    StackedRanges &operator=(const StackedRanges &) = delete;
};

int trendbar_auto_scale(GoGraph *graph, int)
{
    if (!graph)
        return 0;
    if (gk_iprop(graph, GP_XLOGARITHMIC)) {
        go_show_error(GK_LOG_REFUSED);
        return 0;
    }
    {
        std::unique_ptr<StackedRanges> widened;
        if (stacking(graph, nullptr))
            widened = std::make_unique<StackedRanges>(graph);
        if (!gk_scale_y_axes(graph))
            return 0;
    }
    return gk_scale_time_axis(graph, true);
}

// ---- the draw ------------------------------------------------------------------------------

struct TrendBars {
    bool stacked = false;
    int n = 0;                  // the datasets drawn as bars
    double slot = 0;            // one small division of the x axis
    bool centred = false;
    double group = 0, gap = 0;  // the bars' share of a slot and the side gap
    bool labels = false;
    double label_gap = 0;
    bool mgaps = false, agaps = false;
    int k = 0;                  // the bar dataset being drawn (from 0)
    bool walked = false;        // the frame stood: the colour bar is due
    bool any_map = false;
    // The dataset being drawn.
    bool asline = false, first = true;
    double px = 0, py = 0;
    double base = 0;
    int stack = 0;
    const DozColDesc *type_of_value = nullptr;
    Slots slots;
};

TrendBars &own(GkDraw &s) { return *static_cast<TrendBars *>(s.own); }

void tb_prepare(GkDraw &s)
{
    TrendBars &b = own(s);
    b.stacked = stacking(s.graph, &b.n);
}

void tb_prepared(GkDraw &s)
{
    GoGraph *g = s.graph;
    const ScaleRec &x = g->xblock.scale;
    if (x.type != SCALE_TIMEDATE || x.ndivs <= 0)
        s.has_data = false;
    if (!s.has_data || !g->canvas || s.partial || (s.reason == GO_REOPEN && (*s.flags & GO_PREAMBLE_ONLY)))
        return;
    gomain_go_correct_y_origin(g);
    gomain_go_set_2d_coordinates(g);
}

// The text modes of the values written at the bars.
void label_modes(GkDraw &s, int alignment, uint64_t mask)
{
    GTextModes t{};
    t.font = gk_iprop(s.graph, GP_LABELFONT);
    long colour = 0;
    gomain_go_get_colour(s.graph, &colour, GP_LABELCOLOUR, GP_AXISCOLOUR);
    t.colour = colour;
    t.scale = gk_dprop(s.graph, GP_LABELSIZE);
    t.angle = 0;
    t.alignment = alignment;
    GSetTextModes(s.canvas, mask, &t);
}

void tb_begin(GkDraw &s)
{
    TrendBars &b = own(s);
    GoGraph *g = s.graph;
    double shift = 0, used = 0;
    gomain_go_get_non_scalar_shift(g, &g->xblock, &g->yblock, GO_AXES_CATEGORY_X, &shift, nullptr, &used, nullptr);
    b.slot = 2.0 * shift;
    b.centred = used != 0.0;
    b.group = b.slot * gk_dprop(g, GP_BARWIDTH);
    b.gap = (b.slot - b.group) * 0.5;
    b.labels = gk_iprop(g, GP_LABELBARS) != 0;
    if (b.labels) {
        label_modes(s, 7, 0x1F);
        const double gap = GTransformLength(s.canvas, 6, 1, 2);
        b.label_gap = gap > 0 ? gap : 0;
    }
    b.mgaps = gk_iprop(g, GP_MDATA_GAPS) != 0;
    b.agaps = gk_iprop(g, GP_AEND_GAPS) != 0;
    // The bar datasets before a partial draw's dataset.
    b.k = 0;
    for (int d = g->first; s.partial && d >= 0 && d < g->last; d++)
        b.k += !as_line(g, d);
    b.walked = true;
}

bool tb_start(GkDraw &s)
{
    TrendBars &b = own(s);
    GoGraph *g = s.graph;
    b.asline = as_line(g, s.d);
    b.first = true;
    const int colour = gk_iprop(g, GP_COLOUR, s.q);
    gk_line_modes(s, 0x13, gk_iprop(g, GP_LINESTYLE, s.q), colour);
    if (!b.asline)
        gomain_go_setup_fill_modes(s.canvas, gk_iprop(g, GP_HATCHSTYLE, s.q), colour);
    b.base = gk_origin(s.yb);
    b.stack = stack_of(g, s.d);
    const DozColDesc *xt = nullptr, *zt = nullptr;
    b.type_of_value = nullptr;
    gomain_go_get_tinfos(g, s.d, &xt, &b.type_of_value, &zt);
    b.any_map = gomain_go_get_colourmap(g, s.yb, s.d, 1) || b.any_map;
    return true;
}

// The value written beyond the bar's end: above a bar that rises, below
// one that falls.
void label(GkDraw &s, double value, double x, double end, bool rises)
{
    TrendBars &b = own(s);
    label_modes(s, rises ? 7 : 1, 0x10);
    const char *format = static_cast<const char *>(goprop_go_property(s.graph, GP_YLABELFORMAT, 0, 0));
    char text[GO_LABEL_TEXT] = {}, trimmed[GO_LABEL_TEXT] = {};
    gostd_std_get_label(s.graph, format, b.type_of_value, value, 0, text);
    strbtrim(trimmed, text);
    gk_text(s.canvas, x, rises ? end + b.label_gap : end - b.label_gap, trimmed);
}

bool tb_line_point(GkDraw &s, const GkPoint &p)
{
    TrendBars &b = own(s);
    if (!b.first)
        gk_line(s.canvas, b.px, b.py, p.x, p.y);
    b.px = p.x;
    b.py = p.y;
    b.first = (p.status & GT_S_ROW_END) && b.agaps;
    return true;
}

bool tb_point(GkDraw &s, const GkPoint &p)
{
    TrendBars &b = own(s);
    if (b.asline)
        return tb_line_point(s, p);
    const bool side_by_side = !b.stacked && b.n > 0;
    const double width = side_by_side ? b.group / b.n : b.group;
    const double left_raw = p.rawx + (b.centred ? b.gap : 0) + (side_by_side ? b.k * width : 0);
    const double left = gk_through(s.fx, left_raw), right = gk_through(s.fx, left_raw + width);
    double base = b.base, top = p.y;
    if (b.stacked) {
        const int i = b.slots.find(b.stack, p.rawx);
        const double value = p.tuple->y ? *p.tuple->y : 0;
        double &run = value > 0 ? b.slots.tops[i] : b.slots.bottoms[i];
        // The first bar of its sign at the slot rises from the origin.
        base = run != 0 ? run : b.base;
        top = run + p.y;
        run = top;
    }
    if (top == base)
        return true;
    gk_rectangle(s.canvas, left, base, right, top);
    if (b.labels)
        label(s, p.tuple->y ? *p.tuple->y : 0, 0.5 * (left + right), top, top > base);
    return true;
}

void tb_missing(GkDraw &s)
{
    TrendBars &b = own(s);
    if (b.asline && b.mgaps)
        b.first = true;
}

void tb_end_dataset(GkDraw &s)
{
    TrendBars &b = own(s);
    gomain_go_forget_colourmap(s.graph);
    if (!b.asline)
        b.k++;
}

void tb_after(GkDraw &s) { gomain_go_setup_fill_modes(s.canvas, 0, 0); }

void tb_end(GkDraw &s)
{
    TrendBars &b = own(s);
    b.slots.clear();
    if (b.walked && b.any_map)
        gocolbar_go_draw_colourbar(s.graph, s.graph->first, nullptr);
}

const GkKind trendbar_kind = {
    .axis_mode = GO_AXES_CATEGORY_X,
    .auto_scale = trendbar_auto_scale,
    .coordinates = gomain_go_set_2d_coordinates,
    .walks_extra_axes = true,
    .legend_kind = 0,
    .overlay_flag = GO_AXES_CATEGORY_X,
    .prepare = tb_prepare,
    .prepared = tb_prepared,
    .begin = tb_begin,
    .dataset_start = tb_start,
    .point = tb_point,
    .missing = tb_missing,
    .dataset_end = tb_end_dataset,
    .after_walk = tb_after,
    .end = tb_end,
};

}  // namespace

int gotrendbar_draw_graph(GoGraph *graph, int reason, uint64_t *flags)
{
    TrendBars b;
    return goskel_draw(graph, reason, flags, trendbar_kind, &b);
}

int gotrendbar_setdata(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_scalar_graph(graph, dataset, trendbar_auto_scale);
}
