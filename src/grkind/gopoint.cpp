// The kinds that draw each point by itself with the drawing primitives:
// scatter (markers, joined as asked), impulse (a line from each point to
// the y origin), vector (a shaft from the origin with a head at the point)
// and high-low (a bar from the high to the low value with ticks at both
// ends).  All four run on the skeleton (goskel); with `asline` set a
// dataset is drawn as straight lines between its points instead.

#include "grkind.h"

#include "goskel.h"

#include "gdriver.h"

#include <algorithm>
#include <cmath>

namespace {

// The state of one draw, shared by the four kinds.
struct Points {
    int join = 0;               // scatter: `markerjoin`
    bool asline = false;
    bool markers = false;       // impulse: `usemarkers`
    bool first = true;          // the next point is not joined to the last
    double px = 0, py = 0;      // the previous point
    double base = 0;            // the y origin in world coordinates
    double ox = 0, oy = 0;      // vector: the origin
    double odev[2] = {0, 0};    // vector: the origin on the device
    long length = 0;            // vector: the barbs' length (base-device units)
    double tangent = 0;         // vector: tan of the head's half-angle
    bool up = true;             // vector: device y grows upwards
    double width = 0;           // high-low: the ticks' width in world units
};

Points &own(GkDraw &s) { return *static_cast<Points *>(s.own); }

// The dataset's colour map, loaded before its points.
void load_map(GkDraw &s, bool by_z)
{
    const int map = by_z && s.has_z ? gomain_go_get_colourmap_for_axis(s.graph, nullptr, s.d, 1, 2)
                                    : gomain_go_get_colourmap(s.graph, s.yb, s.d, 1);
    s.any_map = s.any_map || map;
}

void set_fixed_flag(GkDraw &s)
{
    GColourMapModes cm{};
    cm.fixed = 1;
    gcolmap_GSetColourMapModes(s.canvas, GCMM_FIXED, &cm);
}

void marker_modes(GkDraw &s)
{
    GMarkerModes mm{};
    mm.index = gk_iprop(s.graph, GP_MARKERSTYLE);
    mm.scale = gk_dprop(s.graph, GP_MARKERSIZE);
    GSetMarkerModes(s.canvas, 0x3, &mm);
}

// With `asline`: a line from the previous point.  The end of an array row
// breaks the joins; in a spread dataset it ends the dataset.
bool as_line(GkDraw &s, double x, double y, int status)
{
    Points &p = own(s);
    if (!p.first)
        gk_line(s.canvas, p.px, p.py, x, y);
    p.px = x;
    p.py = y;
    p.first = (status & GT_S_ROW_END) != 0;
    return !(s.spread && (status & GT_S_ROW_END));
}

// Moves on to the next point in the own figure's drawing.
bool next(GkDraw &s, double x, double y, int status)
{
    Points &p = own(s);
    p.px = x;
    p.py = y;
    p.first = (status & GT_S_ROW_END) != 0;
    return !(s.spread && (status & GT_S_ROW_END));
}

// A later dataset of one point drawn as a line: on to the x maximum.
void as_line_end(GkDraw &s)
{
    Points &p = own(s);
    if (p.asline && s.points == 1 && s.d != s.graph->first)
        gk_line(s.canvas, p.px, p.py, gk_through(s.fx, s.graph->xblock.max), p.py);
}

void forget_map(GkDraw &s) { gomain_go_forget_colourmap(s.graph); }

// ---- scatter -------------------------------------------------------------------------

void scatter_begin(GkDraw &s) { own(s).join = gk_iprop(s.graph, GP_MARKERJOIN); }

bool scatter_start(GkDraw &s)
{
    Points &p = own(s);
    GoGraph *g = s.graph;
    p.asline = gk_iprop(g, GP_ASLINE, s.q) != 0;
    // A dataset on an enabled axis of a multi-y graph is drawn as points.
    if (g->multiy && s.enabled)
        p.asline = false;
    const int colour = gk_iprop(g, GP_COLOUR, s.q);
    gk_line_modes(s, 0x13, p.asline ? gk_iprop(g, GP_LINESTYLE, s.q) : 0, colour);
    if (p.join == 4)
        gomain_go_setup_fill_modes(s.canvas, gk_iprop(g, GP_HATCHSTYLE, s.q), colour);
    if (!p.asline)
        marker_modes(s);
    if (p.join == 4)
        p.base = gk_origin(s.yb);
    p.first = true;
    load_map(s, true);
    return true;
}

bool scatter_point(GkDraw &s, const GkPoint &c)
{
    Points &p = own(s);
    if (p.asline)
        return as_line(s, c.x, c.y, c.status);
    gk_marker(s.canvas, c.x, c.y);
    if (p.join && !p.first) {
        gk_line_modes(s, 0x11, gk_iprop(s.graph, GP_LINESTYLE, s.q), 0);
        switch (p.join) {
        case 1: gk_line(s.canvas, p.px, p.py, c.x, c.y); break;
        case 2:
            gk_line(s.canvas, p.px, p.py, c.x, p.py);
            gk_line(s.canvas, c.x, p.py, c.x, c.y);
            break;
        case 3: gk_line(s.canvas, p.px, p.py, c.x, p.py); break;
        case 4: gk_rectangle(s.canvas, p.px, p.base, c.x, c.y); break;
        default: break;
        }
        gk_line_modes(s, 0x1, 0, 0);
    }
    return next(s, c.x, c.y, c.status);
}

void scatter_end(GkDraw &s)
{
    as_line_end(s);
    forget_map(s);
    gomain_go_setup_fill_modes(s.canvas, 0, 0);
}

// ---- impulse ---------------------------------------------------------------------------

bool impulse_start(GkDraw &s)
{
    Points &p = own(s);
    GoGraph *g = s.graph;
    p.asline = gk_iprop(g, GP_ASLINE, s.q) != 0;
    gk_line_modes(s, 0x13, gk_iprop(g, GP_LINESTYLE, s.q), gk_iprop(g, GP_COLOUR, s.q));
    if (!p.asline)
        marker_modes(s);
    p.markers = gk_iprop(g, GP_USEMARKERS) != 0;
    p.base = gk_origin(s.yb);
    p.first = true;
    load_map(s, false);
    return true;
}

bool impulse_point(GkDraw &s, const GkPoint &c)
{
    Points &p = own(s);
    set_fixed_flag(s);
    if (p.asline)
        return as_line(s, c.x, c.y, c.status);
    gk_line(s.canvas, c.x, c.y, c.x, p.base);
    if (p.markers)
        gk_marker(s.canvas, c.x, c.y);
    return next(s, c.x, c.y, c.status);
}

void points_end(GkDraw &s)
{
    as_line_end(s);
    forget_map(s);
}

// ---- vector ----------------------------------------------------------------------------

void vector_begin(GkDraw &s)
{
    Points &p = own(s);
    p.length = gk_iprop(s.graph, GP_ARROWSIZE);
    const double a = gk_iprop(s.graph, GP_ARROWANGLE) / 180.0 * 3.141592653589793;
    p.tangent = std::tan(a);
    GDeviceRecord *dev = s.canvas->device;
    p.up = !(dev && gep_GDeviceEntryPoints(dev)->InvertYDim(dev) == 1);
}

// A world point on the device (0, 0 when it cannot be transformed).
void to_device(GCanvasRecord *c, double x, double y, double out[2])
{
    double w[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {w, nullptr, nullptr}}, dev{};
    out[0] = out[1] = 0;
    if (GTransformPoints(c, GCS_WC, GCS_DC, &in, &dev) != 0 || !dev.data[0])
        return;
    if (dev.type == GV_SHORT) {
        const short *o = static_cast<const short *>(dev.data[0]);
        out[0] = o[0];
        out[1] = o[1];
    } else if (dev.type == GV_DOUBLE) {
        const double *o = static_cast<const double *>(dev.data[0]);
        out[0] = o[0];
        out[1] = o[1];
    }
    gvector_GFreeVectorData(&dev);
}

bool vector_start(GkDraw &s)
{
    Points &p = own(s);
    GoGraph *g = s.graph;
    p.asline = gk_iprop(g, GP_ASLINE, s.q) != 0;
    const int colour = gk_iprop(g, GP_COLOUR, s.q);
    gk_line_modes(s, 0x1B, gk_iprop(g, GP_LINESTYLE, s.q), colour, 1);
    set_fixed_flag(s);
    if (!p.asline)
        gomain_go_setup_fill_modes(s.canvas, 1, colour);
    p.ox = gk_origin(&g->xblock);
    p.oy = gk_origin(s.yb);
    to_device(s.canvas, p.ox, p.oy, p.odev);
    p.first = true;
    load_map(s, false);
    return true;
}

// The head's direction: the angle of the shaft from the origin, with y
// growing upwards whatever the device does; straight up or down when the
// point stands above or below the origin.
double head_angle(GkDraw &s, double x, double y)
{
    const Points &p = own(s);
    if (x == p.ox)
        return y >= p.oy ? 1.5707963267948966 : -1.5707963267948966;
    double dev[2];
    to_device(s.canvas, x, y, dev);
    const double dy = dev[1] - p.odev[1];
    return std::atan2(p.up ? dy : -dy, dev[0] - p.odev[0]);
}

bool vector_point(GkDraw &s, const GkPoint &c)
{
    Points &p = own(s);
    if (p.asline)
        return as_line(s, c.x, c.y, c.status);
    gk_line(s.canvas, c.x, c.y, p.ox, p.oy);
    const double a = head_angle(s, c.x, c.y), co = std::cos(a), si = std::sin(a), t = p.tangent;
    const double len = static_cast<double>(p.length);
    const double dx[2] = {std::trunc(len * (co - si * t)), std::trunc(len * (co + si * t))};
    const double dy[2] = {std::trunc(len * (si + co * t)), std::trunc(len * (si - co * t))};
    double head[6] = {c.x, c.y};
    for (int k = 0; k < 2; k++) {
        // World lengths keep their sign: unit 6 answers -1 only on failure.
        const double wx = dx[k] == 0 ? 0 : std::copysign(GTransformLength(s.canvas, 6, 0, std::fabs(dx[k])), dx[k]);
        const double wy = dy[k] == 0 ? 0 : std::copysign(GTransformLength(s.canvas, 6, 1, std::fabs(dy[k])), dy[k]);
        head[2 + 2 * k] = c.x - wx;
        head[3 + 2 * k] = c.y - wy;
    }
    GVector v{GV_DOUBLE, 0, 2, 3, {head, nullptr, nullptr}};
    gdraw_GDrawPolyLine(s.canvas, &v);
    return next(s, c.x, c.y, c.status);
}

void vector_end(GkDraw &s)
{
    points_end(s);
    gomain_go_setup_fill_modes(s.canvas, 0, 0);
}

// ---- high-low -------------------------------------------------------------------------

bool highlow_start(GkDraw &s)
{
    Points &p = own(s);
    GoGraph *g = s.graph;
    p.asline = gk_iprop(g, GP_ASLINE, s.q) != 0;
    gk_line_modes(s, 0x13, gk_iprop(g, GP_LINESTYLE, s.q), gk_iprop(g, GP_COLOUR, s.q));
    const double w = GTransformLength(s.canvas, 6, 0, gk_iprop(g, GP_HILOWIDTH));
    p.width = w > 0 ? w : 0;
    p.first = true;
    load_map(s, false);
    return true;
}

// The row's high value is its y, the low value its z.
bool highlow_point(GkDraw &s, const GkPoint &c)
{
    Points &p = own(s);
    if (p.asline)
        return as_line(s, c.x, c.y, c.status);
    const double *z = c.tuple->z;
    const double low = z ? gk_through(s.fy, *z) : c.y;
    gk_line(s.canvas, c.x, c.y, c.x, low);
    gk_line(s.canvas, c.x - 0.5 * p.width, c.y, c.x + 0.5 * p.width, c.y);
    gk_line(s.canvas, c.x - 0.5 * p.width, low, c.x + 0.5 * p.width, low);
    return next(s, c.x, c.y, c.status);
}

// The high-low kind's y axis spans the lows (the rows' z) as well as the
// highs.
int highlow_auto_scale(GoGraph *graph, int axis_mode)
{
    if (!graph)
        return 0;
    GoAxisBlock &y = graph->yblock, &z = graph->zblock;
    if (z.count > 0 && std::isfinite(z.min) && std::isfinite(z.max)) {
        y.min = std::min(y.min, z.min);
        y.max = std::max(y.max, z.max);
    }
    return std_auto_scale(graph, axis_mode);
}

constexpr GkKind point_kind(bool extra, int legend, void (*begin)(GkDraw &), bool (*start)(GkDraw &),
                            bool (*point)(GkDraw &, const GkPoint &), void (*end)(GkDraw &),
                            GoAutoScaleProc scale = std_auto_scale)
{
    return GkKind{
        .axis_mode = GO_AXES_SCALAR,
        .auto_scale = scale,
        .coordinates = gomain_go_set_2d_coordinates,
        .walks_extra_axes = extra,
        .legend_kind = legend,
        .overlay_flag = 0,
        .prepare = nullptr,
        .prepared = nullptr,
        .begin = begin,
        .dataset_start = start,
        .point = point,
        .missing = nullptr,
        .dataset_end = end,
        .after_walk = nullptr,
        .end = nullptr,
    };
}

const GkKind scatter_kind = point_kind(true, 1, scatter_begin, scatter_start, scatter_point, scatter_end);
const GkKind impulse_kind = point_kind(false, 0, nullptr, impulse_start, impulse_point, points_end);
const GkKind vector_kind = point_kind(false, 0, vector_begin, vector_start, vector_point, vector_end);
const GkKind highlow_kind =
    point_kind(false, 0, nullptr, highlow_start, highlow_point, points_end, highlow_auto_scale);

}  // namespace

int gopoint_scatter_draw(GoGraph *graph, int reason, uint64_t *flags)
{
    Points p;
    return goskel_draw(graph, reason, flags, scatter_kind, &p);
}

int gopoint_impulse_draw(GoGraph *graph, int reason, uint64_t *flags)
{
    Points p;
    return goskel_draw(graph, reason, flags, impulse_kind, &p);
}

int gopoint_vector_draw(GoGraph *graph, int reason, uint64_t *flags)
{
    Points p;
    return goskel_draw(graph, reason, flags, vector_kind, &p);
}

int gopoint_highlow_draw(GoGraph *graph, int reason, uint64_t *flags)
{
    Points p;
    return goskel_draw(graph, reason, flags, highlow_kind, &p);
}
