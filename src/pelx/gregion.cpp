// Clipping regions: plane polygons kept as linked point lists with a
// fast-access index, intersected with further polygons, turned into
// surfaces and back, and used to clip polylines; and the two splitters
// that find where a segment crosses a level.

#include "gdriver.h"
#include "pelx.h"
#include "vxutil.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using P2 = std::array<double, 2>;

// Entries of a new region's fast-access array; grows for every region
// whose points outgrow it.
long fast_access_size = 512;
const long FAST_STEP = 512;
const size_t WALK_LIMIT = 100;

double side_value(const P2 &a, const P2 &b, const P2 &p)
{
    return (b[0] - a[0]) * p[1] + (a[1] - b[1]) * p[0] + (-a[0] * (a[1] - b[1]) - a[1] * (b[0] - a[0]));
}

int side_of(double d)
{
    if (std::fabs(d) < 1e-6)
        return 0;
    return d > 0 ? 1 : -1;
}

bool rebuild_fast(GRegion *r)
{
    if (r->count + 1 > r->fast_size) {
        while (fast_access_size < r->count + 1)
            fast_access_size += FAST_STEP;
        auto **fresh = static_cast<GRegionPoint **>(vx_malloc(fast_access_size * static_cast<long>(sizeof(void *)), 0));
        if (!fresh) {
            gerror_GRegisterError(4, 3, 0, nullptr);
            return false;
        }
        vx_free(r->fast);
        r->fast = fresh;
        r->fast_size = fast_access_size;
    }
    long i = 0;
    for (GRegionPoint *p = r->first; p && i < r->count; p = p->next)
        r->fast[i++] = p;
    r->fast[i] = nullptr;
    return true;
}

std::vector<P2> points_of(const GRegion *r)
{
    std::vector<P2> v;
    for (GRegionPoint *p = r->first; p; p = p->next)
        v.push_back({p->x, p->y});
    return v;
}

void clear_points(GRegion *r)
{
    for (GRegionPoint *p = r->last; p;) {
        GRegionPoint *prev = p->prev;
        vx_free(p);
        p = prev;
    }
    r->first = r->last = r->current = nullptr;
    r->count = 0;
}

void set_points(GRegion *r, const std::vector<P2> &pts)
{
    clear_points(r);
    std::vector<double> flat;
    for (const P2 &p : pts)
        flat.insert(flat.end(), {p[0], p[1], 0.0});
    gclip_GAddToRegion(r, 0, static_cast<long>(pts.size()), flat.data(), 1);
    if (pts.empty())
        rebuild_fast(r);
}

// A polygon without a closing repetition of its first point.
std::vector<P2> open_polygon(std::vector<P2> v)
{
    while (v.size() > 1 && v.back() == v.front())
        v.pop_back();
    return v;
}

// 1 anticlockwise, -1 clockwise, 0 collinear or too short, by the first
// three points.
int orientation(const std::vector<P2> &v)
{
    if (v.size() < 3)
        return 0;
    double a[2] = {v[0][0], v[0][1]}, b[2] = {v[1][0], v[1][1]}, c[2] = {v[2][0], v[2][1]};
    return orient2d(a, b, c);
}

// Keeps the part of `subject` inside the convex polygon `clip` (both
// anticlockwise): the inner side or on an edge is kept; a crossing point is
// added where an edge passes strictly from one side to the other.  Fewer
// than three points after any edge: empty.
std::vector<P2> clip_polygon(std::vector<P2> subject, const std::vector<P2> &clip)
{
    size_t m = clip.size();
    for (size_t e = 0; e < m && !subject.empty(); e++) {
        const P2 &a = clip[e], &b = clip[(e + 1) % m];
        std::vector<P2> out;
        out.reserve(subject.size() + 4);
        size_t n = subject.size();
        for (size_t k = 0; k < n; k++) {
            const P2 &p = subject[k], &q = subject[(k + 1) % n];
            double dp = side_value(a, b, p), dq = side_value(a, b, q);
            int sp = side_of(dp), sq = side_of(dq);
            if (sp >= 0)
                out.push_back(p);
            if (sp * sq == -1) {
                double w = std::fabs(dp) + std::fabs(dq);
                out.push_back({(std::fabs(dq) * p[0] + std::fabs(dp) * q[0]) / w,
                               (std::fabs(dq) * p[1] + std::fabs(dp) * q[1]) / w});
            }
        }
        subject.swap(out);
        if (subject.size() < 3)
            subject.clear();
    }
    return subject;
}

// The outline common to two convex anticlockwise polygons, at most 100
// points.
std::vector<P2> common_outline(const std::vector<P2> &a, const std::vector<P2> &b)
{
    std::vector<P2> r = clip_polygon(a, b);
    if (r.size() > WALK_LIMIT)
        r.resize(WALK_LIMIT);
    return r;
}

}  // namespace

int orient2d(const double *a, const double *b, const double *c)
{
    double s = (b[0] - a[0]) * (c[1] - b[1]) - (b[1] - a[1]) * (c[0] - b[0]);
    return s > 0 ? 1 : s < 0 ? -1 : 0;
}

int gclip_GSide(double x1, double y1, double x2, double y2, double x, double y)
{
    return side_of(side_value({x1, y1}, {x2, y2}, {x, y}));
}

GRegion *gclip_GCreateRegion(int flag)
{
    GRegion *r = static_cast<GRegion *>(vx_malloc(sizeof(GRegion), 0));
    auto **fast = static_cast<GRegionPoint **>(vx_malloc(fast_access_size * static_cast<long>(sizeof(void *)), 0));
    if (!r || !fast) {
        vx_free(r);
        vx_free(fast);
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    *r = GRegion{0, flag, nullptr, nullptr, nullptr, fast, fast_access_size};
    fast[0] = nullptr;
    return r;
}

void gclip_GDestroyRegion(GRegion *region)
{
    if (!region)
        return;
    clear_points(region);
    vx_free(region->fast);
    vx_free(region);
}

void gclip_GAddToRegion(GRegion *region, long index, long n, const double *points, int rebuild)
{
    if (!region || n <= 0 || !points)
        return;
    // Inserted before the point at index (appended past the end).
    GRegionPoint *before = nullptr;
    if (index >= 0 && index < region->count) {
        before = region->first;
        for (long i = 0; i < index; i++)
            before = before->next;
    }
    bool grew = false;
    for (long i = 0; i < n; i++) {
        GRegionPoint *p = static_cast<GRegionPoint *>(vx_malloc(sizeof(GRegionPoint), 0));
        if (!p) {
            gerror_GRegisterError(4, 3, 0, nullptr);
            break;
        }
        *p = GRegionPoint{points[3 * i], points[3 * i + 1], points[3 * i + 2], before, nullptr};
        p->prev = before ? before->prev : region->last;
        if (p->prev)
            p->prev->next = p;
        else
            region->first = p;
        if (before)
            before->prev = p;
        else
            region->last = p;
        region->count++;
        grew = true;
    }
    if (grew && (rebuild || region->count + 1 > region->fast_size))
        rebuild_fast(region);
}

int GDeleteFromRegion(GRegion *region, long index, long n, int rebuild)
{
    if (!region || index < 0 || n < 0 || index + n > region->count)
        return -1;
    GRegionPoint *p = region->first;
    for (long i = 0; i < index; i++)
        p = p->next;
    for (long i = 0; i < n; i++) {
        GRegionPoint *next = p->next;
        if (p->prev)
            p->prev->next = next;
        else
            region->first = next;
        if (next)
            next->prev = p->prev;
        else
            region->last = p->prev;
        if (region->current == p)
            region->current = nullptr;
        vx_free(p);
        p = next;
        region->count--;
    }
    if (rebuild)
        rebuild_fast(region);
    return 0;
}

GRegion *gclip_GIntersectWithRegion(GRegion *region, long n, const double *points, int mode)
{
    if (!region || !points || n < 0)
        return nullptr;
    std::vector<P2> a = open_polygon(points_of(region)), b;
    for (long i = 0; i < n; i++)
        b.push_back({points[3 * i], points[3 * i + 1]});
    b = open_polygon(b);
    int oa = orientation(a), ob = orientation(b);
    if (oa == 0 || ob == 0)
        return nullptr;
    if (oa < 0)
        std::reverse(a.begin(), a.end());
    if (ob < 0)
        std::reverse(b.begin(), b.end());
    set_points(region, mode == 1 ? clip_polygon(a, b) : common_outline(b, a));
    return region;
}

GRegion *gclip_GIntersectRegions(GRegion *a, GRegion *b)
{
    if (!a || !b)
        return nullptr;
    std::vector<P2> pa = open_polygon(points_of(a)), pb = open_polygon(points_of(b));
    std::vector<P2> r;
    int oa = orientation(pa), ob = orientation(pb);
    if (oa != 0 && ob != 0) {
        if (oa < 0)
            std::reverse(pa.begin(), pa.end());
        if (ob < 0)
            std::reverse(pb.begin(), pb.end());
        r = common_outline(pa, pb);
    }
    set_points(a, r);
    gclip_GDestroyRegion(b);
    return a;
}

GCanvasRecord *gclip_GAddSurfaceToRegion(GCanvasRecord *canvas, GRegion *region, GSurface *surface, long max_arrays,
                                         int mode)
{
    if (!canvas || !region || !surface)
        return canvas;
    long done = 0;
    for (GSurface *a = surface; a && (max_arrays < 0 || done < max_arrays); a = a->next, done++) {
        if (a->points.count <= 1)
            continue;
        GVector dc{};
        if (gcoords_GTransformVector(&dc, &a->points, canvas->current, 0, GV_DOUBLE, 3) != 0)
            continue;
        const double *d = static_cast<const double *>(dc.data[0]);
        long n = static_cast<long>(dc.count);
        std::vector<double> pts(static_cast<size_t>(3 * n));
        for (long i = 0; i < n; i++) {
            pts[static_cast<size_t>(3 * i)] = d[dc.dims * i];
            pts[static_cast<size_t>(3 * i + 1)] = d[dc.dims * i + 1];
            pts[static_cast<size_t>(3 * i + 2)] = 0;
        }
        gvector_GFreeVectorData(&dc);
        if (region->count == 0)
            gclip_GAddToRegion(region, 0, n, pts.data(), 1);
        else
            gclip_GIntersectWithRegion(region, n, pts.data(), mode);
    }
    return canvas;
}

GSurface *gclip_GGetSurfaceFromRegion(GCanvasRecord *canvas, GRegion *region)
{
    if (!canvas || !region)
        return nullptr;
    GSurface *s = gsurf_GCreateSurface(region->count + 1, GV_DOUBLE);
    if (!s)
        return nullptr;
    std::vector<double> pts;
    for (GRegionPoint *p = region->first; p; p = p->next)
        pts.insert(pts.end(), {p->x, p->y, p->z});
    if (region->first)
        pts.insert(pts.end(), {region->first->x, region->first->y, region->first->z});
    long n = static_cast<long>(pts.size() / 3);
    if (n == 0)
        return s;
    GVector in{GV_DOUBLE, 0, 3, n, {pts.data(), nullptr, nullptr}}, out{};
    if (gcoords_GTransformVector(&out, &in, canvas->current, 1, GV_DOUBLE, 3) != 0) {
        gsurf_GDestroySurface(s);
        return nullptr;
    }
    const double *o = static_cast<const double *>(out.data[0]);
    for (long i = 0; i < n; i++)
        if (gsurf_GAddSurfacePoint(s, o + 3 * i, i, i + 1 == n ? GSURF_ROW : GSURF_POINT) != 0) {
            gvector_GFreeVectorData(&out);
            gsurf_GDestroySurface(s);
            return nullptr;
        }
    gvector_GFreeVectorData(&out);
    return s;
}

int GClipToSurface(GCanvasRecord *canvas, GSurface *surface)
{
    if (!canvas || !surface)
        return -1;
    // Every array's points, one after another (they lie so in the block).
    GVector all = surface->points;
    all.count = surface->total;
    GVector dc{};
    if (all.count > 0 && gcoords_GTransformVector(&dc, &all, canvas->current, 0, GV_SHORT, 2) != 0)
        return -1;
    int r = gep_GCanvasEntryPoints(canvas)->SetPolylineClip(canvas, &dc);
    gvector_GFreeVectorData(&dc);
    return r;
}

long GClipLine(GCanvasRecord *canvas, const GVector *polyline, double **points, long *count, long **pieces)
{
    *points = nullptr;
    *count = 0;
    *pieces = nullptr;
    GRegion *region = canvas->modes.extra > 0 ? reinterpret_cast<GRegion *>(canvas->modes.extra) : nullptr;
    if (!region || !polyline || polyline->dims < 2)
        return -1;
    std::vector<P2> clip = open_polygon(points_of(region));
    int o = orientation(clip);
    if (o != 1)
        fputs("Polygons not anticlockwise\n", stderr);
    if (o == 0)
        return 0;  // a region without area keeps nothing
    if (o < 0)
        std::reverse(clip.begin(), clip.end());
    // The region is held in device coordinates: the line is clipped there.
    GVector dc{};
    if (polyline->count > 0 && gcoords_GTransformVector(&dc, polyline, canvas->current, 0, GV_DOUBLE, 2) != 0)
        return -1;
    const double *d = static_cast<const double *>(dc.data[0]);
    std::vector<double> out;
    std::vector<long> lengths;
    size_t m = clip.size();
    for (long i = 0; i + 1 < polyline->count; i++) {
        P2 p = {d[2 * i], d[2 * i + 1]};
        P2 q = {d[2 * i + 2], d[2 * i + 3]};
        // The segment's part inside every edge's half-plane: t in [t0, t1].
        double t0 = 0, t1 = 1;
        bool visible = true;
        for (size_t e = 0; e < m && visible; e++) {
            const P2 &a = clip[e], &b = clip[(e + 1) % m];
            double dp = side_value(a, b, p), dq = side_value(a, b, q);
            int sp = side_of(dp), sq = side_of(dq);
            if (sp >= 0 && sq >= 0)
                continue;
            if (sp < 0 && sq < 0) {
                visible = false;
                continue;
            }
            if (sp * sq != -1) {
                // One end on the line, the other outside: only that end.
                double t = sp == 0 ? 0.0 : 1.0;
                t0 = std::max(t0, t);
                t1 = std::min(t1, t);
            } else {
                double t = dp / (dp - dq);
                if (sp < 0)
                    t0 = std::max(t0, t);
                else
                    t1 = std::min(t1, t);
            }
            visible = t0 <= t1;
        }
        if (!visible || t0 >= t1)
            continue;
        P2 s = {p[0] + t0 * (q[0] - p[0]), p[1] + t0 * (q[1] - p[1])};
        P2 e = {p[0] + t1 * (q[0] - p[0]), p[1] + t1 * (q[1] - p[1])};
        // A segment that starts where the last piece ended continues it.
        bool continues = !lengths.empty() && t0 == 0 && out.size() >= 3 && out[out.size() - 3] == s[0] &&
                         out[out.size() - 2] == s[1];
        if (!continues) {
            out.insert(out.end(), {s[0], s[1], 0.0});
            lengths.push_back(1);
        }
        out.insert(out.end(), {e[0], e[1], 0.0});
        lengths.back()++;
    }
    gvector_GFreeVectorData(&dc);
    if (lengths.empty())
        return 0;
    // Back to the coordinates of drawing.
    long n = static_cast<long>(out.size() / 3);
    GVector kept{GV_DOUBLE, 0, 3, n, {out.data(), nullptr, nullptr}}, back{};
    if (gcoords_GTransformVector(&back, &kept, canvas->current, 1, GV_DOUBLE, 2) != 0)
        return -1;
    for (long i = 0; i < n; i++) {
        out[static_cast<size_t>(3 * i)] = static_cast<double *>(back.data[0])[2 * i];
        out[static_cast<size_t>(3 * i + 1)] = static_cast<double *>(back.data[0])[2 * i + 1];
    }
    gvector_GFreeVectorData(&back);
    *points = static_cast<double *>(vx_malloc(static_cast<long>(out.size() * sizeof(double)), 0));
    *pieces = static_cast<long *>(vx_malloc(static_cast<long>(lengths.size() * sizeof(long)), 0));
    if (!*points || !*pieces) {
        vx_free(*points);
        vx_free(*pieces);
        *points = nullptr;
        *pieces = nullptr;
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    std::copy(out.begin(), out.end(), *points);
    std::copy(lengths.begin(), lengths.end(), *pieces);
    *count = static_cast<long>(out.size() / 3);
    return static_cast<long>(lengths.size());
}

namespace {

const double *split(const GVector *first, const GVector *second, double level, int axis, double buffer[3])
{
    if (!first || !second || first->type != GV_DOUBLE || second->type != GV_DOUBLE || first->count < 1 ||
        second->count < 1)
        return second ? static_cast<const double *>(second->data[0]) : nullptr;
    int dims = std::min<int>(first->dims, second->dims);
    double p[3] = {0, 0, 0}, q[3] = {0, 0, 0};
    for (int c = 0; c < dims && c < 3; c++) {
        p[c] = gvector_GGetValue(first, 0, c);
        q[c] = gvector_GGetValue(second, 0, c);
    }
    double d = q[axis] - p[axis];
    // A segment level with the crossing has no single crossing point.
    if (std::fabs(d) <= 1e-6 || axis >= dims) {
        buffer[0] = buffer[1] = buffer[2] = 0;
        return buffer;
    }
    double t = (level - p[axis]) / d;
    for (int c = 0; c < 3; c++)
        buffer[c] = c < dims ? p[c] + t * (q[c] - p[c]) : 0.0;
    buffer[axis] = level;  // exactly on the level, whatever the rounding
    return buffer;
}

}  // namespace

const double *gclip_GSplitLine(const GVector *first, const GVector *second, double level)
{
    static double buffer[3];
    return split(first, second, level, 1, buffer);
}

const double *gclip_GSplitZLine(const GVector *first, const GVector *second, double level)
{
    static double buffer[3];
    return split(first, second, level, 2, buffer);
}

GRegion *gclip_GAddPointToRegion(GRegion *region) { return region; }
GRegion *gclip_GClipSurfaceToRegion(GRegion *region) { return region; }
GRegion *gclip_GUnionRegions(GRegion *region) { return region; }
