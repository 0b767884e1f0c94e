// The skeleton of the kinds that draw their datasets point by point: the
// walk the line kind began with, its drawing moved into hooks.

#include "goskel.h"

#include "goaxes.h"
#include "seams.h"

#include "dsmgr.h"

namespace {

// The y axis of dataset d: in multi-y mode its extra axis, and the
// coordinates of the first enabled axis met so far.
void choose_axis(GkDraw &s, bool &found_axis)
{
    GoGraph *g = s.graph;
    s.axis = -1;
    s.yb = &g->yblock;
    s.enabled = true;
    if (!g->multiy || !s.kind->walks_extra_axes)
        return;
    s.axis = gomy_go_multiy_for_dataset(g, s.d);
    s.enabled = gomy_go_multiy_axis_enabled(g, s.axis) != 0;
    if (GoAxisBlock *b = gomy_go_multiy_axis(g, s.axis))
        s.yb = b;
    for (int e = g->first; !found_axis && e <= s.d; e++)
        if (gomy_go_multiy_axis_enabled(g, gomy_go_multiy_for_dataset(g, e))) {
            gomy_go_set_multiy_coord(g, e);
            found_axis = true;
        }
    gomy_go_set_multiy_coord(g, s.d);
}

// Reads the dataset's points through the hooks.
void walk_points(GkDraw &s)
{
    GoGraph *g = s.graph;
    const GkKind &k = *s.kind;
    double spread_start = 0, spread = 0;
    if (s.spread)
        goover_go_calculate_overlay_spread(g, s.d, &spread_start, &spread);
    GoTuple t{};
    t.dataset = s.d;
    for (;;) {
        s.reader(&t);
        if (t.status & GT_S_END)
            break;
        // The step forward tells whether this point ended an array row.
        goprop_go_next_point(&t);
        if (goprop_null_tuple(&t)) {
            if (k.missing)
                k.missing(s);
            continue;
        }
        GkPoint p{};
        p.tuple = &t;
        p.status = t.status;
        p.index = s.points;
        p.rawx = s.spread ? spread_start + static_cast<double>(s.points) * spread : (t.x ? *t.x : 0);
        p.x = gk_through(s.fx, p.rawx);
        p.y = gk_through(s.fy, t.y ? *t.y : 0);
        p.z = gk_through(s.fz, t.z ? *t.z : 0);
        s.points++;
        if (k.point && !k.point(s, p))
            break;
    }
}

// Axes before a dataset, overlays and titles after it (full draws only).
void frame_before(GkDraw &s)
{
    GoGraph *g = s.graph;
    gk_clip_selector(s.canvas, 1);
    if (s.d == g->first) {
        gomain_go_draw_2d_axes(g, s.kind->axis_mode);
        gomain_go_draw_division_labels(g, s.kind->axis_mode);
    } else if (g->multiy && s.axis >= 0 && s.enabled) {
        gomain_go_draw_2d_multiy_axes(g, s.d, s.kind->axis_mode);
        gomain_go_draw_multiy_division_labels(g, s.d, s.kind->axis_mode);
    }
}

void frame_after(GkDraw &s)
{
    GoGraph *g = s.graph;
    const bool extra = g->multiy && s.axis >= 0 && s.enabled && s.d != g->first;
    if (s.d == g->first)
        goover_go_draw_all_overlays(g, g->first, s.kind->overlay_flag);
    else if (extra)
        goover_go_draw_all_overlays(g, s.d, s.kind->overlay_flag);
    gk_clip_selector(s.canvas, 0);
    if (s.d == g->first)
        gomain_go_draw_all_titles(g);
    else if (extra)
        gomain_go_draw_y_axis_title(g, s.axis);
}

}  // namespace

int goskel_draw(GoGraph *graph, int reason, uint64_t *flags, const GkKind &kind, void *own)
{
    if (!graph)
        return 0;
    uint64_t none = 0;
    GkDraw s;
    s.graph = graph;
    s.kind = &kind;
    s.own = own;
    s.reason = reason;
    s.flags = flags ? flags : &none;
    if (kind.prepare)
        kind.prepare(s);
    int has_data = 0, character = 0;
    gostd_std_draw_preamble(graph, reason, s.flags, &has_data, &character, kind.axis_mode, kind.auto_scale,
                            kind.coordinates);
    s.canvas = graph->canvas;
    s.partial = reason == GO_NEW_DATA && *s.flags != 0;
    s.has_data = has_data != 0;
    if (kind.prepared)
        kind.prepared(s);
    const bool stop = (reason == GO_REOPEN && (*s.flags & GO_PREAMBLE_ONLY)) || !s.has_data || !s.canvas ||
                      graph->first < 0;
    if (stop) {
        if (kind.end)
            kind.end(s);
        return 0;
    }
    GCanvasRecord *c = s.canvas;
    const GoClass *cls = gomain_go_class(graph);
    s.reader = reinterpret_cast<GoTupleReader>(
        goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
    if (!s.reader)
        s.reader = goprop_triple_reader;
    const int from = s.partial ? graph->last : graph->first, to = graph->last;

    gomain_go_use_world_coordinates(c);
    const int was_autoinc = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    GoTuple probe{};
    probe.dataset = from;
    s.reader(&probe);
    s.has_z = probe.zcol != -1;

    if (!s.partial) {
        gk_clip_selector(c, 1);
        if (graph->multiy)
            gomain_go_set_2d_coordinates(graph);
        gomain_go_draw_borders(graph);
    }
    if (kind.begin)
        kind.begin(s);
    const int first_character = dsmgr_ds_character(graph->first);
    bool found_axis = !graph->multiy;
    for (int d = from; d <= to; d++) {
        s.d = d;
        s.q = d - graph->first;
        choose_axis(s, found_axis);
        if (!s.partial)
            frame_before(s);
        gk_clip_selector(c, 2);
        // A dataset outside the archive has character 0: the walk ends.
        const int ch = dsmgr_ds_character(d);
        if (ch <= 0)
            break;
        s.spread = ch != first_character;
        s.fx = scale_GGetForwardScaleProc(&graph->xblock.scale);
        s.fy = scale_GGetForwardScaleProc(&s.yb->scale);
        s.fz = scale_GGetForwardScaleProc(&graph->zblock.scale);
        s.points = 0;
        if (kind.dataset_start && !kind.dataset_start(s))
            break;
        walk_points(s);
        if (kind.dataset_end)
            kind.dataset_end(s);
        if (!s.partial)
            frame_after(s);
    }
    if (kind.after_walk)
        kind.after_walk(s);
    goleg_go_draw_legend(graph, kind.legend_kind);
    goprop_go_tuple_autoinc(was_autoinc);
    if (s.any_map) {
        GThresholdModes th{};
        gthresh_GGetThresholdModes(c, &th);
        gocolbar_go_draw_colourbar(graph, graph->first, th.selector == 4 ? &graph->zblock : nullptr);
    }
    if (graph->multiy)
        gomy_go_set_multiy_coord(graph, graph->first);
    gk_clip_selector(c, 0);
    if (kind.end)
        kind.end(s);
    return 0;
}

// ---- helpers ---------------------------------------------------------------------------

int gk_iprop(GoGraph *g, int p, int q)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, q, 0));
    return v ? *v : 0;
}

double gk_dprop(GoGraph *g, int p, int q)
{
    const double *v = static_cast<const double *>(goprop_go_property(g, p, q, 0));
    return v ? *v : 0;
}

void gk_clip_selector(GCanvasRecord *c, int selector)
{
    GCanvasModes m{};
    m.clip = static_cast<unsigned char>(selector);
    GSetCanvasModes(c, GCM_CLIP, &m);
}

double gk_origin(GoAxisBlock *b)
{
    double o = 0;
    if (!b || scale_GetOrg(&b->scale, &o) < 0)
        return 0;
    return gk_through(scale_GGetForwardScaleProc(&b->scale), o);
}

void gk_line_modes(GkDraw &s, uint64_t mask, int64_t style, int64_t colour, unsigned char close)
{
    GLineModes lm{};
    lm.style = style;
    lm.colour = colour;
    lm.flag = close;
    lm.width = 0;
    GSetLineModes(s.canvas, mask, &lm);
}

namespace {

struct One {
    double p[2];
    GVector v;
    One(double x, double y) : p{x, y}, v{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}} {}
    One(const One &) = delete;
};

}  // namespace

void gk_line(GCanvasRecord *c, double x0, double y0, double x1, double y1)
{
    One a(x0, y0), b(x1, y1);
    gdraw_GDrawLine(c, &a.v, &b.v);
}

void gk_rectangle(GCanvasRecord *c, double x0, double y0, double x1, double y1)
{
    One a(x0, y0), b(x1, y1);
    gdraw_GDrawRectangle(c, &a.v, &b.v);
}

void gk_marker(GCanvasRecord *c, double x, double y)
{
    One a(x, y);
    gdraw_GDrawMarkers(c, &a.v);
}

void gk_text(GCanvasRecord *c, double x, double y, const char *text)
{
    One a(x, y);
    GPutText(c, &a.v, text);
}
