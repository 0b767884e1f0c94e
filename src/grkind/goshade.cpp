// The shaded surface kind: the first dataset as a data class (a grid made
// from its scattered points, or a point surface under binning method 0),
// lit by the graph's light and rendered shaded or as a mesh; later
// datasets colour it as overlays.  An overlay's range becomes the colour
// range and the colour bar's scale, while the y axis and the world box
// stay the first dataset's.

#include "grkind.h"

#include "ggrid.h"
#include "goaxes.h"
#include "goskel.h"
#include "seams.h"

#include "dsmgr.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "grkind_msgs.def"
#undef VXMSG

namespace {

// Datasets from this place in the graph on are not drawn.
constexpr int SHADE_DATASETS = 49;

// The mesh, grid and light modes from the graph's properties.
void set_modes(GoGraph *g, GCanvasRecord *c)
{
    GMeshModes mm{};
    mm.skirt = gk_iprop(g, GP_DRAWSKIRT) != 0;
    mm.border = 0;
    for (int p : {GP_PLOTBORDER, GP_XLONGTICKS, GP_YLONGTICKS, GP_ZLONGTICKS})
        if (gk_iprop(g, p)) {
            mm.border = 1;
            break;
        }
    mm.colouring = gk_iprop(g, GP_COLOURSURF);
    mm.shading = gk_iprop(g, GP_SHADEMETHOD);
    GGridModes gm{};
    gm.line_colour_lock = gk_iprop(g, GP_DRAWGRID) != 0;
    gm.patch_centres = 0;
    gm.method = static_cast<unsigned char>(std::clamp(gk_iprop(g, GP_BINMETHOD), 0, 255));
    gm.aggregation = static_cast<unsigned char>(std::clamp(gk_iprop(g, GP_AGGREGATION), 0, 255));
    GLightModes lm{};
    lm.x_angle = gk_iprop(g, GP_XLIGHTANGLE);
    lm.y_angle = gk_iprop(g, GP_YLIGHTANGLE);
    lm.ambient = gk_dprop(g, GP_AMBINT);
    lm.intensity = gk_dprop(g, GP_LIGHTINT);
    if (gm.method == 0)
        mm.skirt = 0;
    ggrid_GSetGridModes(c, GGM_METHOD | GGM_LOCK | GGM_CENTRES | GGM_AGGREGATION, &gm);
    gmesh_GSetMeshModes(c, GMSM_SKIRT | GMSM_BORDER | GMSM_COLOURING | GMSM_SHADING, &mm);
    glight_GSetLightModes(c, GLTM_XANGLE | GLTM_YANGLE | GLTM_AMBIENT | GLTM_INTENSITY, &lm);
}

// The series line modes: an automatic colour on a gridded, unshaded
// surface draws the grid lines in the axis colour.
void set_line_modes(GoGraph *g, GCanvasRecord *c)
{
    int64_t colour = gk_iprop(g, GP_COLOUR, 0);
    GMeshModes mm{};
    mm.colour = 1;
    if (colour == -1 && gk_iprop(g, GP_DRAWGRID) && gk_iprop(g, GP_SHADEMETHOD) == 0) {
        colour = gk_iprop(g, GP_AXISCOLOUR);
        mm.colour = 2;
    }
    gmesh_GSetMeshModes(c, GMSM_COLOUR, &mm);
    GLineModes lm{};
    lm.colour = colour;
    lm.style = gk_iprop(g, GP_LINESTYLE, 0);
    GSetLineModes(c, 0x13, &lm);
}

struct Shade {
    GoGraph *g;
    GCanvasRecord *c;
    GoTupleReader reader;
    GDataClass *main = nullptr;
    GoAxisBlock overlay_y{};  // the scale of the last overlay merged
    bool overlaid = false;
};

// A grid of gridx x gridz nodes over the ranges (clamped to sizes a grid
// can have).
GGrid *make_grid(double x0, double x1, double z0, double z1, long nx, long nz)
{
    nx = std::clamp(nx, 2L, 32767L);
    nz = std::clamp(nz, 2L, 32767L);
    double dx = (x1 - x0) / static_cast<double>(nx - 1), dz = (z1 - z0) / static_cast<double>(nz - 1);
    if (!(dx > 0))
        dx = 1;
    if (!(dz > 0))
        dz = 1;
    return ggrid_GCreateGrid(x0, dx, nx, z0, dz, nz);
}

// Feeds the dataset's points to the class: a surface takes the line kind's
// end codes, a grid the points alone.
void add_points(Shade &s, GDataClass *cls, int d, ScaleProc fx, ScaleProc fy, ScaleProc fz)
{
    const bool surface = cls->kind == GDC_SURFACE;
    const bool mgaps = gk_iprop(s.g, GP_MDATA_GAPS) != 0, agaps = gk_iprop(s.g, GP_AEND_GAPS) != 0;
    GoTuple t{};
    t.dataset = d;
    double last[3] = {0, 0, 0};
    long count = 0;
    bool open = false;
    for (;;) {
        s.reader(&t);
        if (t.status & GT_S_END)
            break;
        goprop_go_next_point(&t);
        if (goprop_null_tuple(&t)) {
            if (surface && mgaps && open) {
                gdclass_GAddDataPoint(s.c, cls, last, count, GSURF_ROW);
                count = 0;
                open = false;
            }
            continue;
        }
        last[0] = gk_through(fx, t.x ? *t.x : 0);
        last[1] = gk_through(fy, t.y ? *t.y : 0);
        last[2] = gk_through(fz, t.z ? *t.z : 0);
        if (!surface) {
            gdclass_GAddDataPoint(s.c, cls, last, 0, 0);
        } else if ((t.status & GT_S_ROW_END) && agaps) {
            gdclass_GAddDataPoint(s.c, cls, last, count, GSURF_ROW);
            count = 0;
            open = false;
        } else {
            gdclass_GAddDataPoint(s.c, cls, last, count, GSURF_POINT);
            count++;
            open = true;
        }
    }
}

// The first dataset's data class; null when it cannot be made.
GDataClass *first_class(Shade &s, int d, ScaleProc fx, ScaleProc fz)
{
    GoGraph *g = s.g;
    const int method = gk_iprop(g, GP_BINMETHOD);
    const int character = dsmgr_ds_character(d);
    if (method == 0 && character != DS_CH_XYZ) {
        GSurface *surface = gsurf_GCreateSurface(-1, GV_DOUBLE);
        if (!surface)
            return nullptr;
        GDataClass *cls = gdclass_GWrapDataClass(surface, GDC_SURFACE);
        if (!cls)
            gsurf_GDestroySurface(surface);
        return cls;
    }
    if (method == 0)
        go_show_error_once(GK_SHADE_BINNING);
    GGrid *grid = make_grid(gk_through(fx, g->xblock.min), gk_through(fx, g->xblock.max), gk_through(fz, g->zblock.min),
                            gk_through(fz, g->zblock.max), gk_iprop(g, GP_GRIDX), gk_iprop(g, GP_GRIDZ));
    if (!grid)
        return nullptr;
    GDataClass *cls = gdclass_GWrapDataClass(grid, GDC_GRID);
    if (!cls)
        ggrid_GDestroyGrid(grid);
    return cls;
}

// An overlay dataset: a grid of the first data's size over its own ranges,
// merged into the first data class as its colours.
bool overlay(Shade &s, int d, ScaleProc fx, ScaleProc fz)
{
    GoGraph *g = s.g;
    GoAxisBlock xb{}, yb{}, zb{};
    gostat_get_dataset_stats(s.reader, d, &xb, &yb, &zb);
    yb.scale = g->yblock.scale;
    if (!goshade_scale_overlay_axis(g, d, &yb))
        return true;
    long nx = 0, nz = 0;
    if (gdclass_GGetOverlaySize(s.c, s.main, &nx, &nz) != 0)
        return false;
    GGrid *grid = make_grid(gk_through(fx, xb.min), gk_through(fx, xb.max), gk_through(fz, zb.min),
                            gk_through(fz, zb.max), nx, nz);
    if (!grid)
        return false;
    GDataClass *cls = gdclass_GWrapDataClass(grid, GDC_GRID);
    if (!cls) {
        ggrid_GDestroyGrid(grid);
        return false;
    }
    const ScaleProc fy = scale_GGetForwardScaleProc(&yb.scale);
    add_points(s, cls, d, fx, fy, fz);
    gdclass_GCompleteData(s.c, cls);
    // The overlay's range is the colour range; the y axis stays the first
    // dataset's.
    const GoAxisBlock kept = g->yblock;
    g->yblock = yb;
    gomain_go_get_colourmap(g, &g->yblock, d, 1);
    GColourMapModes cm{};
    cm.datamin = cm.lower = gk_through(fy, yb.scale.min);
    cm.datamax = cm.upper = gk_through(fy, yb.scale.max);
    gcolmap_GSetColourMapModes(s.c, GCMM_DATAMIN | GCMM_DATAMAX | GCMM_LOWER | GCMM_UPPER, &cm);
    gdclass_GMergeOverlayData(s.c, s.main, cls);
    gomain_go_forget_colourmap(g);
    g->yblock = kept;
    s.overlay_y = yb;
    s.overlaid = true;
    return true;
}

// Builds the data class of the datasets; false ends the draw.
bool build(Shade &s)
{
    GoGraph *g = s.g;
    for (int d = g->first; d <= g->last && d - g->first < SHADE_DATASETS; d++) {
        if (dsmgr_ds_character(d) <= 0)
            continue;
        set_line_modes(g, s.c);
        const ScaleProc fx = scale_GGetForwardScaleProc(&g->xblock.scale);
        const ScaleProc fy = scale_GGetForwardScaleProc(&g->yblock.scale);
        const ScaleProc fz = scale_GGetForwardScaleProc(&g->zblock.scale);
        if (!s.main) {
            s.main = first_class(s, d, fx, fz);
            if (!s.main)
                return false;
            add_points(s, s.main, d, fx, fy, fz);
            gdclass_GCompleteData(s.c, s.main);
        } else if (!overlay(s, d, fx, fz)) {
            return false;
        }
    }
    return s.main != nullptr;
}

}  // namespace

int goshade_scale_overlay_axis(GoGraph *graph, int dataset, GoAxisBlock *block)
{
    if (!graph || !block)
        return 0;
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    gomain_go_get_tinfos(graph, dataset, &xt, &yt, &zt);
    const int *log = static_cast<const int *>(goprop_go_property(graph, GP_YLOGARITHMIC, 0, 1));
    int log_v = log ? *log : 0;
    return gomain_go_auto_scale(log ? &log_v : nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, yt, block);
}

int goshade_draw_graph(GoGraph *graph, int reason, uint64_t *flags)
{
    if (!graph)
        return 0;
    uint64_t none = 0;
    if (!flags)
        flags = &none;
    int has_data = 0, character = 0;
    gostd_std_draw_preamble(graph, reason, flags, &has_data, &character, GO_AXES_SCALAR, gostd_std_3d_auto_scale,
                            gomain_go_set_3d_coordinates);
    if (reason == GO_REOPEN && (*flags & GO_PREAMBLE_ONLY))
        return 0;
    GCanvasRecord *c = graph->canvas;
    if (!has_data || !c || graph->first < 0)
        return 0;
    const bool full = !(reason == GO_NEW_DATA && *flags != 0);
    const GoClass *cls = gomain_go_class(graph);
    auto reader =
        reinterpret_cast<GoTupleReader>(goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
    Shade s{graph, c, reader ? reader : goprop_triple_reader};
    gomain_go_use_world_coordinates(c);
    gk_clip_selector(c, 1);
    GGridModes kept{};
    ggrid_GGetGridModes(c, &kept);
    set_modes(graph, c);
    const int was_autoinc = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    const bool built = build(s);
    goprop_go_tuple_autoinc(was_autoinc);
    if (built) {
        if (full) {
            gomain_go_draw_borders(graph);
            gomain_go_draw_3d_axes_long_ticks(graph, GO_AXES_SCALAR);
        }
        set_line_modes(graph, c);
        gk_clip_selector(c, 2);
        gomain_go_get_colourmap(graph, &graph->yblock, graph->first, 1);
        gdclass_GRenderData(c, s.main);
        gomain_go_forget_colourmap(graph);
    }
    if (s.main)
        gdclass_GFreeDataClass(s.main);
    if (built) {
        gk_clip_selector(c, 0);
        gomain_go_setup_fill_modes(c, 0, 0);
        GLineModes lm{};
        GSetLineModes(c, 0x8, &lm);
        if (full) {
            gomain_go_draw_3d_axes_only(graph, GO_AXES_SCALAR);
            gomain_go_draw_3d_division_labels(graph);
        }
        const bool by_map = gk_iprop(graph, GP_COLOUR, 0) == -1;
        if (by_map)
            gocolbar_go_draw_colourbar(graph, graph->first, s.overlaid ? &s.overlay_y : nullptr);
        gk_clip_selector(c, 0);
        if (full)
            gomain_go_draw_all_titles(graph);
        goleg_go_draw_legend(graph, 0);
    }
    gk_clip_selector(c, 0);
    ggrid_GSetGridModes(c, GGM_LOCK, &kept);
    return 0;
}

int goshade_setdata_graph(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_scalar_graph(graph, dataset, gostd_std_3d_auto_scale);
}
