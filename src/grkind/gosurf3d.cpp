// The 3-D surface, 3-D impulse and worm kinds: each dataset's (x, y, z)
// rows as a point surface in the 3-D view, drawn as a net of row and
// column lines, as impulses standing on the y origin, or as one 3-D line.
// The three share one draw; they differ in the surface's drawing style and
// in the drawing call.

#include "grkind.h"

#include "goaxes.h"
#include "goskel.h"
#include "seams.h"

#include "dsmgr.h"

namespace {

enum Figure { SURFACE, IMPULSES, WORM };

// The surface modes' drawing style of a 3-D surface from `surfacetype`:
// 0 rows and columns, 1 rows, 2 columns.  A value a format file set
// outside those draws rows and columns, as 0 does.
unsigned char surface_style(GoGraph *g)
{
    switch (gk_iprop(g, GP_SURFACETYPE)) {
    case 1: return 0;
    case 2: return 1;
    default: return 2;
    }
}

struct Walk {
    GSurface *surface = nullptr;
    bool mgaps = false, agaps = false;
    long count = 0;
};

// Reads one dataset's points into the surface: a missing value breaks the
// row under `mdata_gaps`, the end of an array row under `aend_gaps`.
void read_points(GoTupleReader reader, int d, ScaleProc fx, ScaleProc fy, ScaleProc fz, Walk &w)
{
    GoTuple t{};
    t.dataset = d;
    double last[3] = {0, 0, 0};
    bool open = false;
    for (;;) {
        reader(&t);
        if (t.status & GT_S_END)
            break;
        goprop_go_next_point(&t);
        if (goprop_null_tuple(&t)) {
            if (w.mgaps && open) {
                gsurf_GAddSurfacePoint(w.surface, last, w.count, GSURF_ROW);
                w.count = 0;
                open = false;
            }
            continue;
        }
        last[0] = gk_through(fx, t.x ? *t.x : 0);
        last[1] = gk_through(fy, t.y ? *t.y : 0);
        last[2] = gk_through(fz, t.z ? *t.z : 0);
        if ((t.status & GT_S_ROW_END) && w.agaps) {
            gsurf_GAddSurfacePoint(w.surface, last, w.count, GSURF_ROW);
            w.count = 0;
            open = false;
        } else {
            gsurf_GAddSurfacePoint(w.surface, last, w.count, GSURF_POINT);
            w.count++;
            open = true;
        }
    }
}

// Draws one dataset; false when its surface could not be made.
bool draw_dataset(GoGraph *g, GoTupleReader reader, int d, Figure figure)
{
    GCanvasRecord *c = g->canvas;
    const int q = d - g->first;
    GLineModes lm{};
    lm.style = gk_iprop(g, GP_LINESTYLE, q);
    lm.colour = gk_iprop(g, GP_COLOUR, q);
    lm.flag = 0;
    GSetLineModes(c, 0x13, &lm);
    const ScaleProc fx = scale_GGetForwardScaleProc(&g->xblock.scale);
    const ScaleProc fy = scale_GGetForwardScaleProc(&g->yblock.scale);
    const ScaleProc fz = scale_GGetForwardScaleProc(&g->zblock.scale);
    GSurfaceModes sm{};
    sm.style = figure == SURFACE ? surface_style(g) : 0;
    gsurf_GSetSurfaceModes(c, 0x1, &sm);
    const double size = d == g->first ? g->xblock.count : -1;
    Walk w;
    w.surface = gsurf_GCreateSurface(size > 0 && size < 1e9 ? static_cast<long>(size) : -1, GV_DOUBLE);
    if (!w.surface)
        return false;
    w.mgaps = gk_iprop(g, GP_MDATA_GAPS) != 0;
    w.agaps = gk_iprop(g, GP_AEND_GAPS) != 0;
    read_points(reader, d, fx, fy, fz, w);
    gomain_go_set_world_clipping(c);
    gomain_go_get_colourmap(g, &g->yblock, d, 1);
    if (figure == IMPULSES) {
        GColourMapModes cm{};
        cm.fixed = 1;
        gcolmap_GSetColourMapModes(c, GCMM_FIXED, &cm);
        gsurf_GDrawThreeDeeImpulses(c, w.surface, 1, gk_origin(&g->yblock));
    } else {
        gsurf_GDrawSurface(c, w.surface);
    }
    gsurf_GDestroySurface(w.surface);
    gomain_go_forget_colourmap(g);
    return true;
}

int draw(GoGraph *g, int reason, uint64_t *flags, Figure figure)
{
    if (!g)
        return 0;
    uint64_t none = 0;
    if (!flags)
        flags = &none;
    int has_data = 0, character = 0;
    gostd_std_draw_preamble(g, reason, flags, &has_data, &character, GO_AXES_SCALAR, gostd_std_3d_auto_scale,
                            gomain_go_set_3d_coordinates);
    if (reason == GO_REOPEN && (*flags & GO_PREAMBLE_ONLY))
        return 0;
    GCanvasRecord *c = g->canvas;
    if (!has_data || !c || g->first < 0)
        return 0;
    const bool partial = reason == GO_NEW_DATA && *flags != 0;
    const GoClass *cls = gomain_go_class(g);
    auto reader = reinterpret_cast<GoTupleReader>(goprop_go_property(g, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
    if (!reader)
        reader = goprop_triple_reader;
    gomain_go_use_world_coordinates(c);
    const int was_autoinc = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    if (!partial) {
        gk_clip_selector(c, 1);
        gomain_go_draw_borders(g);
        gomain_go_draw_3d_axes(g, GO_AXES_SCALAR);
        gomain_go_draw_3d_division_labels(g);
    }
    gk_clip_selector(c, 2);
    // A dataset outside the archive answers character 0: the walk ends.
    for (int d = partial ? g->last : g->first; d <= g->last; d++)
        if (dsmgr_ds_character(d) <= 0 || !draw_dataset(g, reader, d, figure))
            break;
    goprop_go_tuple_autoinc(was_autoinc);
    gk_clip_selector(c, 0);
    if (!partial)
        gomain_go_draw_all_titles(g);
    goleg_go_draw_legend(g, 0);
    return 0;
}

}  // namespace

int gosurf3d_surface_draw(GoGraph *graph, int reason, uint64_t *flags) { return draw(graph, reason, flags, SURFACE); }
int gosurf3d_impulse_draw(GoGraph *graph, int reason, uint64_t *flags) { return draw(graph, reason, flags, IMPULSES); }
int gosurf3d_worm_draw(GoGraph *graph, int reason, uint64_t *flags) { return draw(graph, reason, flags, WORM); }

int gosurf3d_setdata_graph(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_scalar_graph(graph, dataset, gostd_std_3d_auto_scale);
}
