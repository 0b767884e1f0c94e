// Drawing primitives and fill modes.

#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <vector>

int GSetFillModes(GCanvasRecord *canvas, uint64_t mask, const GFillModes *modes)
{
    int64_t *d = &canvas->fill.style;
    const int64_t *s = &modes->style;
    for (int i = 0; i < 6; i++)
        if (mask & (uint64_t(1) << i))
            d[i] = s[i];
    return gep_GCanvasEntryPoints(canvas)->SetFillModes(canvas, mask);
}

int gfill_GSetDefaultFillModes(GCanvasRecord *canvas)
{
    canvas->fill = GFillModes{0, 0, 0, 0, 1, GFN_COPY};
    gep_GCanvasEntryPoints(canvas)->SetFillModes(canvas, GMASK_ALL);
    return 0;
}

int GGetFillModes(GCanvasRecord *canvas, GFillModes *modes)
{
    *modes = canvas->fill;
    return 0;
}

// ---- primitives ----------------------------------------------------------

namespace {

// Points to device coordinates through a transform: 16-bit, 2-D.  The
// caller frees the output's data.
int to_dc(const GVector *in, GVector *out, const GXform *xf)
{
    *out = GVector{};
    if (!in)
        return -1;
    return gcoords_GTransformVector(out, in, xf, 0, GV_SHORT, 2);
}

struct DcPoints {
    GVector v{};
    ~DcPoints() { gvector_GFreeVectorData(&v); }
};

short result(int r) { return static_cast<short>(r); }

bool clips_to_volume(const GCanvasRecord *c) { return c->modes.clip == 3 && c->modes.flag3d == 1; }

// Corner and size of a rectangle of two device points, smaller corner
// first; with `saturate`, an overflowed second y is pulled in to +-20000.
void normalise(const GVector &a, const GVector &b, short corner[2], short size[2], bool saturate)
{
    const short *p = static_cast<const short *>(a.data[0]);
    const short *q = static_cast<const short *>(b.data[0]);
    long x1 = p[0], y1 = p[1], x2 = q[0], y2 = q[1];
    if (saturate) {
        if (y2 == 32767)
            y2 = 20000;
        else if (y2 == -32768)
            y2 = -20000;
    }
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    corner[0] = static_cast<short>(x1);
    corner[1] = static_cast<short>(y1);
    size[0] = static_cast<short>(std::min(x2 - x1, 32767L));
    size[1] = static_cast<short>(std::min(y2 - y1, 32767L));
}

short rectangle_op(GCanvasRecord *c, const GVector *first, const GVector *second, bool saturate, int slot)
{
    DcPoints a, b;
    if (to_dc(first, &a.v, c->current) != 0 || to_dc(second, &b.v, c->current) != 0)
        return -1;
    if (a.v.count < 1 || b.v.count < 1)
        return -1;
    short corner[2], size[2];
    normalise(a.v, b.v, corner, size, saturate);
    GVector cv{GV_SHORT, 0, 2, 1, {corner, nullptr, nullptr}}, sv{GV_SHORT, 0, 2, 1, {size, nullptr, nullptr}};
    const GEntryPoints *ep = gep_GCanvasEntryPoints(c);
    return result(slot == GEP_DRAW_RECTANGLE ? ep->DrawRectangle(c, &cv, &sv) : ep->ClearArea(c, &cv, &sv));
}

// Expands the canvas's current marker at each point into stroke segments.
short expand_markers(GCanvasRecord *c, const GVector *points)
{
    GDeviceRecord *dev = c->device;
    GMarker *m = gmarker_GGetMarker(dev->tables[GT_MARKERS] ? dev->tables[GT_MARKERS] : gmarker_GGetDefaultMarkerTable(),
                                    c->marker.index);
    if (!m || m->count < 1 || !m->data[0])
        return 0;
    DcPoints p;
    if (to_dc(points, &p.v, c->current) != 0)
        return -1;
    long nv = m->count, np = p.v.count;
    if (np < 1)
        return 0;
    bool invert = gep_GDeviceEntryPoints(dev)->InvertYDim(dev) == 1;
    const int16_t *mv = static_cast<const int16_t *>(m->data[0]);
    std::vector<long> off(static_cast<size_t>(2 * nv));
    for (long v = 0; v < nv; v++)
        for (int axis = 0; axis < 2; axis++) {
            double coord = mv[2 * v + axis];
            double len = std::trunc(c->marker.scale * 10 * std::fabs(coord));
            double dc = GTransformLength(c, 4, axis, len);
            long o = static_cast<long>(std::trunc(dc < 0 ? 0 : dc));
            if (coord < 0)
                o = -o;
            if (axis == 1 && invert)
                o = -o;
            off[static_cast<size_t>(2 * v + axis)] = o;
        }
    long n = nv * np;
    short *out = static_cast<short *>(vx_malloc(2 * n * static_cast<long>(sizeof(short)), 0));
    if (!out) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    const short *pp = static_cast<const short *>(p.v.data[0]);
    for (long i = 0; i < np; i++)
        for (long v = 0; v < nv; v++)
            for (int axis = 0; axis < 2; axis++) {
                long s = pp[2 * i + axis] + off[static_cast<size_t>(2 * v + axis)];
                out[2 * (i * nv + v) + axis] = static_cast<short>(std::clamp(s, -32000L, 32000L));
            }
    GVector lines{GV_SHORT, 0, 2, n, {out, nullptr, nullptr}};
    short r = result(gep_GCanvasEntryPoints(c)->DrawLines(c, &lines));
    vx_free(out);
    return r;
}

}  // namespace

short gdraw_GDrawLineSupp(GCanvasRecord *canvas, const GVector *first, const GVector *second)
{
    DcPoints a, b;
    if (to_dc(first, &a.v, canvas->current) != 0 || to_dc(second, &b.v, canvas->current) != 0)
        return -1;
    return result(gep_GCanvasEntryPoints(canvas)->DrawLine(canvas, &a.v, &b.v));
}

void gdraw_GDrawLine(GCanvasRecord *canvas, const GVector *first, const GVector *second)
{
    if (clips_to_volume(canvas)) {
        // Clipped on copies: the caller's points stay as they were.
        double a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
        for (int c = 0; c < 3 && c < first->dims; c++)
            a[c] = gvector_GGetValue(first, 0, c);
        for (int c = 0; c < 3 && c < second->dims; c++)
            b[c] = gvector_GGetValue(second, 0, c);
        GVector va{GV_DOUBLE, 0, 3, 1, {a, nullptr, nullptr}}, vb{GV_DOUBLE, 0, 3, 1, {b, nullptr, nullptr}};
        if (first->type != GV_DOUBLE || second->type != GV_DOUBLE || first->count < 1 || second->count < 1 ||
            gclip_GClipOneLineToVolume(canvas, &va, &vb) == -1)
            return;
        gdraw_GDrawLineSupp(canvas, &va, &vb);
        return;
    }
    gdraw_GDrawLineSupp(canvas, first, second);
}

short gdraw_GDrawLines(GCanvasRecord *canvas, const GVector *points)
{
    DcPoints p;
    if (to_dc(points, &p.v, canvas->current) != 0)
        return -1;
    return result(gep_GCanvasEntryPoints(canvas)->DrawLines(canvas, &p.v));
}

short gdraw_GDrawPolyLine(GCanvasRecord *canvas, GVector *points)
{
    if (clips_to_volume(canvas)) {
        double *clipped = nullptr;
        long n = 0;
        int r = gclip_GClipLineToVolume(canvas, points, &clipped, &n);
        if (r == -1)
            return 0;
        if (r == 1) {
            // The clipped copy is drawn; the caller's vector keeps its data.
            GVector cv{GV_DOUBLE, 0, 3, n, {clipped, nullptr, nullptr}};
            DcPoints p;
            short s = to_dc(&cv, &p.v, canvas->current) != 0
                          ? -1
                          : result(gep_GCanvasEntryPoints(canvas)->DrawPolyLine(canvas, &p.v));
            vx_free(clipped);
            return s;
        }
    }
    DcPoints p;
    if (to_dc(points, &p.v, canvas->current) != 0)
        return -1;
    return result(gep_GCanvasEntryPoints(canvas)->DrawPolyLine(canvas, &p.v));
}

short gdraw_GDrawFilledPolygon(GCanvasRecord *canvas, GVector *points, const long *)
{
    DcPoints p;
    if (clips_to_volume(canvas)) {
        // Clipped in a copy with room for what the cut adds.
        long room = std::max<long>(2 * points->count + 6, 100);
        std::vector<double> copy(static_cast<size_t>(3 * room), 0.0);
        for (long i = 0; i < points->count; i++)
            for (int c = 0; c < 3 && c < points->dims; c++)
                copy[static_cast<size_t>(3 * i + c)] = gvector_GGetValue(points, i, c);
        GVector cv{GV_DOUBLE, 0, 3, points->count, {copy.data(), nullptr, nullptr}};
        if (points->type != GV_DOUBLE || gclip_GClipToVolume(canvas, &cv) == -1)
            return 0;
        if (to_dc(&cv, &p.v, canvas->current) != 0)
            return -1;
    } else if (to_dc(points, &p.v, canvas->current) != 0) {
        return -1;
    }
    const GEntryPoints *ep = gep_GCanvasEntryPoints(canvas);
    if (canvas->fill.style != 0)
        return result(ep->DrawFilledPolygon(canvas, &p.v, 0));
    // A polygon without fill is filled in the canvas's background colour,
    // hiding what lies behind it; the fill modes are put back afterwards.
    GFillModes saved = canvas->fill, bg = canvas->fill;
    long colour = 0;
    GGetCanvasColour(canvas, &colour, 0);
    bg.style = 1;
    bg.colour = colour;
    GSetFillModes(canvas, GFM_STYLE | GFM_COLOUR, &bg);
    short r = result(ep->DrawFilledPolygon(canvas, &p.v, 0));
    GSetFillModes(canvas, GFM_STYLE | GFM_COLOUR, &saved);
    return r;
}

short gdraw_GDraw2DFilledPolygon(GCanvasRecord *canvas, const GVector *points, int, const double *)
{
    if (!points || points->count < 1)
        return 0;
    // Outline only: no fill style and colour.
    GFillModes none = canvas->fill;
    none.style = 0;
    none.colour = 0;
    GSetFillModes(canvas, GFM_STYLE | GFM_COLOUR, &none);
    // Projected onto x and z (x and y for 2-D points).
    long n = points->count;
    int zc = points->dims >= 3 ? 2 : 1;
    double stack[2][5];
    double *xs = stack[0], *zs = stack[1];
    std::vector<double> heap;
    if (n > 5) {
        heap.resize(static_cast<size_t>(2 * n));
        xs = heap.data();
        zs = heap.data() + n;
    }
    for (long i = 0; i < n; i++) {
        xs[i] = gvector_GGetValue(points, i, 0);
        zs[i] = gvector_GGetValue(points, i, zc);
    }
    GVector proj{GV_DOUBLE, 1, 2, n, {xs, zs, nullptr}};
    DcPoints p;
    if (to_dc(&proj, &p.v, canvas->current) != 0)
        return -1;
    GLineModes close = canvas->line;
    close.flag = 1;
    GSetLineModes(canvas, GLM_CLOSE, &close);
    short r = result(gep_GCanvasEntryPoints(canvas)->DrawPolyLine(canvas, &p.v));
    close.flag = 0;
    GSetLineModes(canvas, GLM_CLOSE, &close);
    return r;
}

short gdraw_GDrawRectangle(GCanvasRecord *canvas, const GVector *first, const GVector *second)
{
    return rectangle_op(canvas, first, second, true, GEP_DRAW_RECTANGLE);
}

short GClearArea(GCanvasRecord *canvas, const GVector *first, const GVector *second)
{
    return rectangle_op(canvas, first, second, false, GEP_CLEAR_AREA);
}

short gdraw_GDrawArc(GCanvasRecord *canvas, const GVector *first, const GVector *second, long a, long b)
{
    DcPoints p, q;
    if (to_dc(first, &p.v, canvas->current) != 0 || to_dc(second, &q.v, canvas->current) != 0)
        return -1;
    return result(gep_GCanvasEntryPoints(canvas)->DrawArc(canvas, &p.v, &q.v, a, b));
}

short gdraw_GDrawMarkers(GCanvasRecord *canvas, const GVector *points) { return expand_markers(canvas, points); }

short gdraw_GDrawSelectMarker(GCanvasRecord *canvas, const GVector *points, long n)
{
    GLineModes line = canvas->line;
    GFillModes fill = canvas->fill;
    GLineModes lx = line;
    GFillModes fx = fill;
    lx.function = GFN_XOR;
    fx.function = GFN_XOR;
    GSetLineModes(canvas, GLM_FUNCTION, &lx);
    GSetFillModes(canvas, GFM_FUNCTION, &fx);
    canvas->marker.index = GGetNumMarkers(canvas->device) - n;
    short r = expand_markers(canvas, points);
    GSetLineModes(canvas, GLM_FUNCTION, &line);
    GSetFillModes(canvas, GFM_FUNCTION, &fill);
    return r;
}

short gdraw_GDrawTextLines(GCanvasRecord *canvas, const GVector *points)
{
    DcPoints p;
    if (to_dc(points, &p.v, &canvas->xf[GX_CC]) != 0)
        return -1;
    return result(gep_GCanvasEntryPoints(canvas)->DrawTextLines(canvas, &p.v));
}

short gdraw_GDrawGrid(GCanvasRecord *canvas, const GVector *p1, const GVector *p2, long n, const GVector *p3)
{
    DcPoints a, b, c;
    if (to_dc(p1, &a.v, canvas->current) != 0 || to_dc(p2, &b.v, canvas->current) != 0 ||
        to_dc(p3, &c.v, canvas->current) != 0)
        return -1;
    return result(gep_GCanvasEntryPoints(canvas)->DrawGrid(canvas, &a.v, &b.v, n, &c.v));
}

short GCommentOutput(GCanvasRecord *canvas, const char *text)
{
    return result(gep_GCanvasEntryPoints(canvas)->CommentOutput(canvas, text ? text : ""));
}
