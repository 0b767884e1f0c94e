// Drawing primitives and fill modes.

#include "gdriver.h"
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

namespace {

bool by_value(const GCanvasRecord *c) { return c->colourmap.mode == 1; }

GRegion *clip_region(const GCanvasRecord *c)
{
    return c->modes.clip == 4 && c->modes.extra > 0 ? reinterpret_cast<GRegion *>(c->modes.extra) : nullptr;
}

// A polyline after clipping: graded, or in one colour.
short draw_polyline(GCanvasRecord *c, GVector *points)
{
    if (by_value(c)) {
        if (!c->colourmap.fixed)
            return result(c->colourmap.polyline(c, points));
        gcolmap_GColourByValue(c, c->colourmap.fixed_value, 0, 0, 0);
    }
    DcPoints p;
    if (to_dc(points, &p.v, c->current) != 0)
        return -1;
    return result(gep_GCanvasEntryPoints(c)->DrawPolyLine(c, &p.v));
}

double mean_y(const GVector *points)
{
    long n = points->count - 1;
    if (n < 1)
        return points->count == 1 ? gvector_GGetValue(points, 0, 1) : 0.0;
    double sum = 0;
    for (long i = 0; i < n; i++)
        sum += gvector_GGetValue(points, i, 1);
    return sum / static_cast<double>(n);
}

}  // namespace

void gdraw_GDrawLine(GCanvasRecord *canvas, const GVector *first, const GVector *second)
{
    // Clipped on copies: the caller's points stay as they were.
    double a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
    GVector va{GV_DOUBLE, 0, 3, 1, {a, nullptr, nullptr}}, vb{GV_DOUBLE, 0, 3, 1, {b, nullptr, nullptr}};
    const GVector *p = first, *q = second;
    if (clips_to_volume(canvas)) {
        for (int c = 0; c < 3 && c < first->dims; c++)
            a[c] = gvector_GGetValue(first, 0, c);
        for (int c = 0; c < 3 && c < second->dims; c++)
            b[c] = gvector_GGetValue(second, 0, c);
        if (first->type != GV_DOUBLE || second->type != GV_DOUBLE || first->count < 1 || second->count < 1 ||
            gclip_GClipOneLineToVolume(canvas, &va, &vb) == -1)
            return;
        p = &va;
        q = &vb;
    }
    if (by_value(canvas) && p->count >= 1 && q->count >= 1) {
        if (!canvas->colourmap.fixed) {
            // Graded along its length by the colour-polyline operation.
            double two[6] = {0, 0, 0, 0, 0, 0};
            for (int c = 0; c < 3; c++) {
                two[c] = c < p->dims ? gvector_GGetValue(p, 0, c) : 0.0;
                two[3 + c] = c < q->dims ? gvector_GGetValue(q, 0, c) : 0.0;
            }
            GVector line{GV_DOUBLE, 0, 3, 2, {two, nullptr, nullptr}};
            canvas->colourmap.polyline(canvas, &line);
            return;
        }
        GColourValue(canvas, p, 0, 0, 0);
    }
    gdraw_GDrawLineSupp(canvas, p, q);
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
            short s = draw_polyline(canvas, &cv);
            vx_free(clipped);
            return s;
        }
    } else if (clip_region(canvas)) {
        double *kept = nullptr;
        long n = 0, *pieces = nullptr;
        long count = GClipLine(canvas, points, &kept, &n, &pieces);
        if (count < 0)
            return -1;
        short s = 0;
        double *at = kept;
        for (long k = 0; k < count; k++) {
            GVector piece{GV_DOUBLE, 0, 3, pieces[k], {at, nullptr, nullptr}};
            s = draw_polyline(canvas, &piece);
            at += 3 * pieces[k];
        }
        vx_free(kept);
        vx_free(pieces);
        return s;
    }
    return draw_polyline(canvas, points);
}

short gdraw_GDrawFilledPolygon(GCanvasRecord *canvas, GVector *points, const long *colour_index)
{
    DcPoints p;
    std::vector<double> copy;
    GVector cv = *points;
    if (clips_to_volume(canvas)) {
        // Clipped in a copy with room for what the cut adds.
        long room = std::max<long>(2 * points->count + 6, 100);
        copy.assign(static_cast<size_t>(3 * room), 0.0);
        for (long i = 0; i < points->count; i++)
            for (int c = 0; c < 3 && c < points->dims; c++)
                copy[static_cast<size_t>(3 * i + c)] = gvector_GGetValue(points, i, c);
        cv = GVector{GV_DOUBLE, 0, 3, points->count, {copy.data(), nullptr, nullptr}};
        if (points->type != GV_DOUBLE || gclip_GClipToVolume(canvas, &cv) == -1)
            return 0;
    }
    if (to_dc(&cv, &p.v, canvas->current) != 0)
        return -1;
    const GEntryPoints *ep = gep_GCanvasEntryPoints(canvas);
    if (by_value(canvas) && points->type == GV_DOUBLE) {
        GFillModes solid = canvas->fill;
        solid.style = 1;
        GSetFillModes(canvas, GFM_STYLE, &solid);
        if (colour_index)
            gcolmap_GSetColour(canvas, *colour_index, 1, 0);
        else
            gcolmap_GColourByValue(canvas, mean_y(&cv), 1, 0, 0);
        return result(ep->DrawFilledPolygon(canvas, &p.v, 0));
    }
    if (canvas->fill.style != 0 || by_value(canvas))
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

short gdraw_GDraw2DFilledPolygon(GCanvasRecord *canvas, const GVector *points, int colour_by_value, const double *value)
{
    if (!points || points->count < 1)
        return 0;
    if (colour_by_value && by_value(canvas) && points->type == GV_DOUBLE) {
        gcolmap_GColourByValue(canvas, value ? *value : mean_y(points), 1, 0, canvas->colourmap.range == 2);
    } else {
        // Outline only: no fill style and colour.
        GFillModes none = canvas->fill;
        none.style = 0;
        none.colour = 0;
        GSetFillModes(canvas, GFM_STYLE | GFM_COLOUR, &none);
    }
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
    if (!by_value(canvas) || first->type != GV_DOUBLE || second->type != GV_DOUBLE || second->count < 1)
        return rectangle_op(canvas, first, second, true, GEP_DRAW_RECTANGLE);
    const GColourMapModes &m = canvas->colourmap;
    GFillModes saved = canvas->fill;
    gcolmap_GColourByValue(canvas, m.fixed ? m.fixed_value : gvector_GGetValue(second, 0, 1), 1, 0, 0);
    short r = rectangle_op(canvas, first, second, true, GEP_DRAW_RECTANGLE);
    GSetFillModes(canvas, GFM_STYLE, &saved);
    return r;
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

short gdraw_GDrawMarkers(GCanvasRecord *canvas, const GVector *points)
{
    if (!by_value(canvas))
        return expand_markers(canvas, points);
    GFillModes saved = canvas->fill;
    GColourValue(canvas, points, 0, 0, 1);
    short r = expand_markers(canvas, points);
    GSetFillModes(canvas, GFM_STYLE, &saved);
    return r;
}

namespace {

// One horizontal (or vertical) band of device units, straight to the driver.
void band_line(GCanvasRecord *c, long x1, long y1, long x2, long y2)
{
    short a[2] = {static_cast<short>(x1), static_cast<short>(y1)}, b[2] = {static_cast<short>(x2), static_cast<short>(y2)};
    GVector va{GV_SHORT, 0, 2, 1, {a, nullptr, nullptr}}, vb{GV_SHORT, 0, 2, 1, {b, nullptr, nullptr}};
    gep_GCanvasEntryPoints(c)->DrawLine(c, &va, &vb);
}

bool device_corners(GCanvasRecord *c, const GVector *first, const GVector *second, long out[4])
{
    DcPoints a, b;
    if (to_dc(first, &a.v, c->current) != 0 || to_dc(second, &b.v, c->current) != 0 || a.v.count < 1 ||
        b.v.count < 1)
        return false;
    const short *p = static_cast<const short *>(a.v.data[0]), *q = static_cast<const short *>(b.v.data[0]);
    out[0] = p[0];
    out[1] = p[1];
    out[2] = q[0];
    out[3] = q[1];
    return true;
}

}  // namespace

short gdraw_GDrawColouredRectangle(GCanvasRecord *canvas, const GVector *first, const GVector *second, int direction)
{
    long d[4];
    if (!device_corners(canvas, first, second, d))
        return -1;
    long count = direction ? std::labs(d[3] - d[1]) : std::labs(d[2] - d[0]);
    if (count == 0)
        return 0;
    GDeviceRecord *dev = canvas->device;
    GColourMapModes saved = canvas->colourmap, m = canvas->colourmap;
    GFreeColours(dev);
    long n = GUseColourMap(dev, 0);
    m.mode = 1;
    m.levels = static_cast<int16_t>(std::clamp(n, 0L, 32767L));
    m.range = 0;
    m.datamin = 0;
    m.datamax = static_cast<double>(count);
    gcolmap_GSetColourMapModes(canvas, GCMM_MODE | GCMM_LEVELS | GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX, &m);
    long step = direction ? (d[3] >= d[1] ? 1 : -1) : (d[2] >= d[0] ? 1 : -1);
    for (long i = 0; i < count; i++) {
        gcolmap_GColourByValue(canvas, static_cast<double>(i), 0, 0, 0);
        if (direction)
            band_line(canvas, d[0], d[1] + i * step, d[2], d[1] + i * step);
        else
            band_line(canvas, d[0] + i * step, d[1], d[0] + i * step, d[3]);
    }
    GForgetColourMap(canvas);
    gcolmap_GSetColourMapModes(canvas, GCMM_MODE | GCMM_LEVELS | GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX, &saved);
    return 0;
}

short gdraw_GDrawColouredBar(GCanvasRecord *canvas, const GVector *first, const GVector *second)
{
    long d[4];
    if (!device_corners(canvas, first, second, d))
        return -1;
    long count = std::labs(d[3] - d[1]);
    if (count == 0)
        return 0;
    canvas->grid.line_colour_lock = 0;
    GFillModes hollow = canvas->fill;
    hollow.style = 0;
    GSetFillModes(canvas, GFM_STYLE, &hollow);
    GDeviceRecord *dev = canvas->device;
    GFreeColours(dev);
    long n = GUseColourMap(dev, 0);
    GColourMapModes m = canvas->colourmap;
    m.mode = 1;
    m.levels = static_cast<int16_t>(std::clamp(n, 0L, 32767L));
    gcolmap_GSetColourMapModes(canvas, GCMM_MODE | GCMM_LEVELS, &m);
    double value = m.lower, inc = count > 1 ? (m.upper - m.lower) / static_cast<double>(count - 1) : 0.0;
    long step = d[3] >= d[1] ? 1 : -1;
    for (long i = 0; i < count; i++, value += inc) {
        gcolmap_GColourByValue(canvas, value, 0, 0, 0);
        band_line(canvas, d[0], d[1] + i * step, d[2], d[1] + i * step);
    }
    GForgetColourMap(canvas);
    return 0;
}

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
