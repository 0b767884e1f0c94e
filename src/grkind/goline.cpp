// The line kind: each dataset as a line through its points, broken at
// missing values or array row ends when asked, coloured by the colour map
// when the series colour asks for it.  Its draw is the skeleton the
// scatter, impulse, vector and high-low kinds follow.

#include "grkind.h"

#include "goaxes.h"
#include "seams.h"

#include "dsmgr.h"

namespace {

int iprop(GoGraph *g, int p, int q = 0)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, q, 0));
    return v ? *v : 0;
}

double through(ScaleProc p, double v) { return p ? p(v) : v; }

void clip_selector(GCanvasRecord *c, int selector)
{
    GCanvasModes m{};
    m.clip = static_cast<unsigned char>(selector);
    GSetCanvasModes(c, GCM_CLIP, &m);
}

}  // namespace

int goline_draw_graph(GoGraph *graph, int reason, uint64_t *flags)
{
    if (!graph)
        return 0;
    uint64_t none = 0;
    if (!flags)
        flags = &none;
    int has_data = 0, character = 0;
    gostd_std_draw_preamble(graph, reason, flags, &has_data, &character, GO_AXES_SCALAR, std_auto_scale,
                            gomain_go_set_2d_coordinates);
    if (reason == GO_REOPEN && (*flags & GO_PREAMBLE_ONLY))
        return 0;
    const bool partial = reason == GO_NEW_DATA && *flags != 0;
    GCanvasRecord *c = graph->canvas;
    if (!has_data || !c || graph->first < 0)
        return 0;
    const GoClass *cls = gomain_go_class(graph);
    auto reader = reinterpret_cast<GoTupleReader>(
        goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
    if (!reader)
        reader = goprop_triple_reader;
    const int from = partial ? graph->last : graph->first, to = graph->last;

    gomain_go_use_world_coordinates(c);
    const int was_autoinc = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    GoTuple probe{};
    probe.dataset = from;
    reader(&probe);
    const bool has_z = probe.zcol != -1;

    if (!partial) {
        clip_selector(c, 1);
        if (graph->multiy)
            gomain_go_set_2d_coordinates(graph);
        gomain_go_draw_borders(graph);
    }
    const int first_character = dsmgr_ds_character(graph->first);
    bool any_map = false, found_axis = !graph->multiy;
    for (int d = from; d <= to; d++) {
        const int q = d - graph->first;
        int axis = -1;
        GoAxisBlock *yb = &graph->yblock;
        bool enabled = true;
        if (graph->multiy) {
            axis = gomy_go_multiy_for_dataset(graph, d);
            enabled = gomy_go_multiy_axis_enabled(graph, axis) != 0;
            if (GoAxisBlock *b = gomy_go_multiy_axis(graph, axis))
                yb = b;
            for (int e = graph->first; !found_axis && e <= d; e++)
                if (gomy_go_multiy_axis_enabled(graph, gomy_go_multiy_for_dataset(graph, e))) {
                    gomy_go_set_multiy_coord(graph, e);
                    found_axis = true;
                }
            gomy_go_set_multiy_coord(graph, d);
        }
        if (!partial) {
            clip_selector(c, 1);
            if (d == graph->first) {
                gomain_go_draw_2d_axes(graph, GO_AXES_SCALAR);
                gomain_go_draw_division_labels(graph, GO_AXES_SCALAR);
            } else if (graph->multiy && enabled) {
                gomain_go_draw_2d_multiy_axes(graph, d, GO_AXES_SCALAR);
                gomain_go_draw_multiy_division_labels(graph, d, GO_AXES_SCALAR);
            }
        }
        clip_selector(c, 2);
        // A dataset outside the archive has character 0: the walk ends.
        const int ch = dsmgr_ds_character(d);
        if (ch <= 0)
            break;
        double spread_start = 0, spread = 0;
        const bool spread_x = ch != first_character;
        if (spread_x)
            goover_go_calculate_overlay_spread(graph, d, &spread_start, &spread);

        GLineModes lm{};
        lm.style = iprop(graph, GP_LINESTYLE, q);
        lm.colour = iprop(graph, GP_COLOUR, q);
        lm.width = 0;
        GSetLineModes(c, 0x13, &lm);
        const ScaleProc fx = scale_GGetForwardScaleProc(&graph->xblock.scale);
        const ScaleProc fy = scale_GGetForwardScaleProc(&yb->scale);
        const ScaleProc fz = scale_GGetForwardScaleProc(&graph->zblock.scale);

        GSurfaceModes sm{};
        sm.style = 0;
        gsurf_GSetSurfaceModes(c, 0x1, &sm);
        const double size = d == graph->first ? graph->xblock.count : -1;
        GSurface *surface = gsurf_GCreateSurface(size > 0 && size < 1e9 ? static_cast<long>(size) : -1, GV_DOUBLE);
        if (!surface)
            break;
        const bool mgaps = iprop(graph, GP_MDATA_GAPS) != 0, agaps = iprop(graph, GP_AEND_GAPS) != 0;
        GoTuple t{};
        t.dataset = d;
        double last[3] = {0, 0, 0};
        long count = 0, added = 0, nonnull = 0;
        bool open = false;  // a point since the last break
        for (;;) {
            reader(&t);
            if (t.status & GT_S_END)
                break;
            // The step forward tells whether this point ended an array row.
            goprop_go_next_point(&t);
            if (goprop_null_tuple(&t)) {
                if (mgaps && open) {
                    gsurf_GAddSurfacePoint(surface, last, count, GSURF_ROW);
                    count = 0;
                    open = false;
                }
                continue;
            }
            nonnull++;
            const double x = spread_x ? spread_start + static_cast<double>(nonnull - 1) * spread : (t.x ? *t.x : 0);
            last[0] = through(fx, x);
            last[1] = through(fy, t.y ? *t.y : 0);
            last[2] = through(fz, t.z ? *t.z : 0);
            if ((t.status & GT_S_ROW_END) && agaps) {
                gsurf_GAddSurfacePoint(surface, last, count, GSURF_ROW);
                count = 0;
                open = false;
            } else {
                gsurf_GAddSurfacePoint(surface, last, count, GSURF_POINT);
                count++;
                open = true;
            }
            added++;
        }
        if (added == 1 && d != graph->first) {
            double end[3] = {through(fx, graph->xblock.max), last[1], last[2]};
            gsurf_GAddSurfacePoint(surface, end, count, GSURF_POINT);
        }
        const int map = has_z ? gomain_go_get_colourmap_for_axis(graph, nullptr, d, 1, 2)
                              : gomain_go_get_colourmap(graph, yb, d, 1);
        any_map = any_map || map;
        gsurf_GDrawSurface(c, surface);
        gsurf_GDestroySurface(surface);
        gomain_go_forget_colourmap(graph);

        if (!partial) {
            if (d == graph->first)
                goover_go_draw_all_overlays(graph, graph->first, 0);
            else if (graph->multiy && enabled)
                goover_go_draw_all_overlays(graph, d, 0);
            clip_selector(c, 0);
            if (d == graph->first)
                gomain_go_draw_all_titles(graph);
            else if (graph->multiy && enabled)
                gomain_go_draw_y_axis_title(graph, axis);
        }
    }
    goleg_go_draw_legend(graph, 0);
    goprop_go_tuple_autoinc(was_autoinc);
    if (any_map) {
        GThresholdModes th{};
        gthresh_GGetThresholdModes(c, &th);
        gocolbar_go_draw_colourbar(graph, graph->first, th.selector == 4 ? &graph->zblock : nullptr);
    }
    if (graph->multiy)
        gomy_go_set_multiy_coord(graph, graph->first);
    clip_selector(c, 0);
    return 0;
}
