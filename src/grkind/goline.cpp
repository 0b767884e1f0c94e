// The line kind: each dataset as a line through its points, broken at
// missing values or array row ends when asked, coloured by the colour map
// when the series colour asks for it.  It runs on the skeleton (goskel)
// with a point surface per dataset.

#include "grkind.h"

#include "goskel.h"

namespace {

struct Line {
    GSurface *surface = nullptr;
    bool mgaps = false, agaps = false;
    double last[3] = {0, 0, 0};
    long count = 0, added = 0;
    bool open = false;  // a point since the last break
};

bool start(GkDraw &s)
{
    auto &l = *static_cast<Line *>(s.own);
    GoGraph *g = s.graph;
    gk_line_modes(s, 0x13, gk_iprop(g, GP_LINESTYLE, s.q), gk_iprop(g, GP_COLOUR, s.q));
    GSurfaceModes sm{};
    sm.style = 0;
    gsurf_GSetSurfaceModes(s.canvas, 0x1, &sm);
    const double size = s.d == g->first ? g->xblock.count : -1;
    l.surface = gsurf_GCreateSurface(size > 0 && size < 1e9 ? static_cast<long>(size) : -1, GV_DOUBLE);
    if (!l.surface)
        return false;
    l.mgaps = gk_iprop(g, GP_MDATA_GAPS) != 0;
    l.agaps = gk_iprop(g, GP_AEND_GAPS) != 0;
    l.count = l.added = 0;
    l.open = false;
    return true;
}

void missing(GkDraw &s)
{
    auto &l = *static_cast<Line *>(s.own);
    if (l.mgaps && l.open) {
        gsurf_GAddSurfacePoint(l.surface, l.last, l.count, GSURF_ROW);
        l.count = 0;
        l.open = false;
    }
}

bool point(GkDraw &s, const GkPoint &p)
{
    auto &l = *static_cast<Line *>(s.own);
    l.last[0] = p.x;
    l.last[1] = p.y;
    l.last[2] = p.z;
    if ((p.status & GT_S_ROW_END) && l.agaps) {
        gsurf_GAddSurfacePoint(l.surface, l.last, l.count, GSURF_ROW);
        l.count = 0;
        l.open = false;
    } else {
        gsurf_GAddSurfacePoint(l.surface, l.last, l.count, GSURF_POINT);
        l.count++;
        l.open = true;
    }
    l.added++;
    return true;
}

void finish(GkDraw &s)
{
    auto &l = *static_cast<Line *>(s.own);
    GoGraph *g = s.graph;
    // A later dataset of one point: a line to the x maximum.
    if (l.added == 1 && s.d != g->first) {
        double end[3] = {gk_through(s.fx, g->xblock.max), l.last[1], l.last[2]};
        gsurf_GAddSurfacePoint(l.surface, end, l.count, GSURF_POINT);
    }
    const int map = s.has_z ? gomain_go_get_colourmap_for_axis(g, nullptr, s.d, 1, 2)
                            : gomain_go_get_colourmap(g, s.yb, s.d, 1);
    s.any_map = s.any_map || map;
    gsurf_GDrawSurface(s.canvas, l.surface);
    gsurf_GDestroySurface(l.surface);
    l.surface = nullptr;
    gomain_go_forget_colourmap(g);
}

const GkKind line_kind = {
    .axis_mode = GO_AXES_SCALAR,
    .auto_scale = std_auto_scale,
    .coordinates = gomain_go_set_2d_coordinates,
    .walks_extra_axes = true,
    .legend_kind = 0,
    .overlay_flag = 0,
    .prepare = nullptr,
    .prepared = nullptr,
    .begin = nullptr,
    .dataset_start = start,
    .point = point,
    .missing = missing,
    .dataset_end = finish,
    .after_walk = nullptr,
    .end = nullptr,
};

}  // namespace

int goline_draw_graph(GoGraph *graph, int reason, uint64_t *flags)
{
    Line l;
    return goskel_draw(graph, reason, flags, line_kind, &l);
}
