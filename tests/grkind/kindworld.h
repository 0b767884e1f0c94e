// The recorded drawing of a kind read back in world coordinates: lines,
// markers and rectangles in a colour, device points turned back.
#pragma once

#include "kindkit.h"

#include <cmath>
#include <string>
#include <vector>

namespace kindworld {

struct W {
    double x, y;
};

// A device point back in world coordinates.
inline W world(GoGraph *g, double dx, double dy)
{
    double p[2] = {dx, dy};
    GVector in{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}}, out{};
    EXPECT_EQ(GTransformPoints(g->canvas, GCS_DC, GCS_WC, &in, &out), 0);
    W w{NAN, NAN};
    if (out.type == GV_DOUBLE && out.data[0]) {
        const double *o = static_cast<const double *>(out.data[0]);
        w = {o[0], o[1]};
    }
    gvector_GFreeVectorData(&out);
    return w;
}

// The world size of one device unit along x and y.
inline W unit(GoGraph *g)
{
    const W a = world(g, 100, 100), b = world(g, 101, 101);
    return {std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
}

struct Seg {
    W a, b;
    int64_t style;
};

// The single lines drawn in `colour`.
inline std::vector<Seg> lines(GoGraph *g, int colour)
{
    std::vector<Seg> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_LINE))
        if (c.line.colour == colour)
            out.push_back({world(g, c.points[0].at(0, 0), c.points[0].at(0, 1)),
                           world(g, c.points[1].at(0, 0), c.points[1].at(0, 1)), c.line.style});
    return out;
}

// Markers are stroked as segments, one call a marker.
inline std::vector<grec::Call> markers(int colour)
{
    std::vector<grec::Call> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_LINES))
        if (c.line.colour == colour)
            out.push_back(c);
    return out;
}

// Filled rectangles in `colour`: lower left and upper right in world.
struct Box {
    W lo, hi;
};
inline std::vector<Box> boxes(GoGraph *g, int colour)
{
    std::vector<Box> out;
    for (const grec::Call &k : grec::of(GEP_DRAW_RECTANGLE)) {
        if (k.fill.colour != colour)
            continue;
        const grec::Points &corner = k.points[0], &size = k.points[1];
        const W a = world(g, corner.at(0, 0), corner.at(0, 1)),
                b = world(g, corner.at(0, 0) + size.at(0, 0), corner.at(0, 1) + size.at(0, 1));
        out.push_back({{std::min(a.x, b.x), std::min(a.y, b.y)}, {std::max(a.x, b.x), std::max(a.y, b.y)}});
    }
    return out;
}

// The points of the polylines drawn in `colour`, in world coordinates.
inline std::vector<W> polyline_points(GoGraph *g, int colour)
{
    std::vector<W> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_POLYLINE))
        if (c.line.colour == colour)
            for (long i = 0; i < c.points[0].count(); i++)
                out.push_back(world(g, c.points[0].at(i, 0), c.points[0].at(i, 1)));
    return out;
}

// A world point in device units, rounded.
inline std::array<int, 2> device(GoGraph *g, double x, double y)
{
    double w[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {w, nullptr, nullptr}}, out{};
    EXPECT_EQ(GTransformPoints(g->canvas, GCS_WC, GCS_DC, &in, &out), 0);
    std::array<int, 2> p{-1, -1};
    if (out.type == GV_SHORT && out.data[0]) {
        const short *o = static_cast<const short *>(out.data[0]);
        p = {o[0], o[1]};
    } else if (out.type == GV_DOUBLE && out.data[0]) {
        const double *o = static_cast<const double *>(out.data[0]);
        p = {static_cast<int>(std::lround(o[0])), static_cast<int>(std::lround(o[1]))};
    }
    gvector_GFreeVectorData(&out);
    return p;
}

}  // namespace kindworld
