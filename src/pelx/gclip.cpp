// Clipping to the canvas's world volume: polygons, polylines and single
// segments of 3-D drawing are cut by the six planes of the world box.

#include "pelx.h"
#include "vxutil.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

using P3 = std::array<double, 3>;

bool volume_clipping(const GCanvasRecord *c) { return c->modes.clip == 3 && c->modes.flag3d == 1; }

struct Plane {
    int axis;
    bool upper;
};
// In the order they are applied.
const Plane planes[6] = {{1, true}, {1, false}, {0, true}, {0, false}, {2, true}, {2, false}};

int classify(const P3 &p, const Plane &pl, double bound)
{
    double v = p[static_cast<size_t>(pl.axis)];
    if (v == bound)
        return 0;
    return (pl.upper ? v < bound : v > bound) ? 1 : -1;
}

bool crossing(const P3 &p, const P3 &q, const Plane &pl, double bound, P3 &out)
{
    size_t a = static_cast<size_t>(pl.axis);
    double d = q[a] - p[a];
    if (std::fabs(d) <= 1e-6)
        return false;
    double t = (bound - p[a]) / d;
    for (size_t i = 0; i < 3; i++)
        out[i] = p[i] + t * (q[i] - p[i]);
    return true;
}

std::vector<P3> read_points(const GVector *v)
{
    std::vector<P3> pts(static_cast<size_t>(v->count > 0 ? v->count : 0));
    for (long i = 0; i < v->count; i++)
        pts[static_cast<size_t>(i)] = {gvector_GGetValue(v, i, 0), gvector_GGetValue(v, i, 1),
                                       v->dims > 2 ? gvector_GGetValue(v, i, 2) : 0.0};
    return pts;
}

// Clips a closed (polygon) or open path by the six planes: 1 cut, 0 whole,
// -1 outside or too few points left.
int clip_path(const GCanvasRecord *c, std::vector<P3> &pts, bool closed)
{
    const double *w = c->modes.world;
    size_t need = closed ? 3 : 2;
    bool cut = false;
    for (const Plane &pl : planes) {
        double bound = pl.upper ? w[pl.axis + 3] : w[pl.axis];
        size_t n = pts.size();
        std::vector<int> cls(n);
        bool any_out = false, all_out = n > 0;
        for (size_t i = 0; i < n; i++) {
            cls[i] = classify(pts[i], pl, bound);
            any_out |= cls[i] < 0;
            all_out &= cls[i] < 0;
        }
        if (all_out)
            return -1;
        if (!any_out)
            continue;
        cut = true;
        std::vector<P3> out;
        out.reserve(2 * n);
        if (closed) {
            // Edges from the last point to the first and onward.
            for (size_t k = 0; k < n; k++) {
                size_t s = (k + n - 1) % n, e = k;
                if (cls[s] >= 0)
                    out.push_back(pts[s]);
                P3 x;
                if (cls[s] * cls[e] == -1 && crossing(pts[s], pts[e], pl, bound, x))
                    out.push_back(x);
            }
        } else {
            for (size_t k = 0; k < n; k++) {
                if (cls[k] >= 0)
                    out.push_back(pts[k]);
                P3 x;
                if (k + 1 < n && cls[k] * cls[k + 1] == -1 && crossing(pts[k], pts[k + 1], pl, bound, x))
                    out.push_back(x);
            }
        }
        pts.swap(out);
        if (pts.size() < need)
            return -1;
    }
    return cut ? 1 : 0;
}

double *to_array(const std::vector<P3> &pts)
{
    double *a = static_cast<double *>(vx_malloc(static_cast<long>(pts.size() * 3 * sizeof(double)), 0));
    if (!a) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    for (size_t i = 0; i < pts.size(); i++)
        for (size_t j = 0; j < 3; j++)
            a[3 * i + j] = pts[i][j];
    return a;
}

}  // namespace

int gclip_GPointInWorld(GCanvasRecord *canvas, const double *point)
{
    if (!volume_clipping(canvas))
        return 1;
    const double *w = canvas->modes.world;
    for (int i = 0; i < 3; i++)
        if (point[i] < w[i] || point[i] > w[i + 3])
            return 0;
    return 1;
}

int gclip_GClipToVolume(GCanvasRecord *canvas, GVector *polygon)
{
    if (!volume_clipping(canvas))
        return 0;
    if (polygon->type != GV_DOUBLE || polygon->separate || polygon->dims != 3)
        return -1;
    std::vector<P3> pts = read_points(polygon);
    int r = clip_path(canvas, pts, true);
    if (r == 0)
        return 0;
    // The caller's array holds 100 points (or its own count, if more); a
    // result that would not fit is refused rather than written past it.
    size_t room = static_cast<size_t>(std::max<int64_t>(polygon->count, 100));
    if (r < 0 || pts.size() > room) {
        polygon->count = 0;
        return -1;
    }
    double *d = static_cast<double *>(polygon->data[0]);
    for (size_t i = 0; i < room; i++)
        for (size_t j = 0; j < 3; j++)
            d[3 * i + j] = i < pts.size() ? pts[i][j] : 0.0;
    polygon->count = static_cast<int64_t>(pts.size());
    return 1;
}

int gclip_GClipLineToVolume(GCanvasRecord *canvas, const GVector *polyline, double **points, long *count)
{
    *points = nullptr;
    *count = 0;
    if (!volume_clipping(canvas))
        return 0;
    if (polyline->type != GV_DOUBLE)
        return -1;
    std::vector<P3> pts = read_points(polyline);
    int r = clip_path(canvas, pts, false);
    if (r <= 0)
        return r;
    *points = to_array(pts);
    if (!*points)
        return -1;
    *count = static_cast<long>(pts.size());
    return 1;
}

int gclip_GClipOneLineToVolume(GCanvasRecord *canvas, GVector *first, GVector *second)
{
    if (!volume_clipping(canvas))
        return 0;
    if (first->type != GV_DOUBLE || second->type != GV_DOUBLE || first->count < 1 || second->count < 1)
        return -1;
    std::vector<P3> pts = {read_points(first)[0], read_points(second)[0]};
    int r = clip_path(canvas, pts, false);
    if (r <= 0)
        return r;
    if (pts.size() != 2)
        return -1;
    GVector *v[2] = {first, second};
    for (int k = 0; k < 2; k++) {
        double *d = static_cast<double *>(v[k]->data[0]);
        for (int j = 0; j < v[k]->dims && j < 3; j++) {
            if (v[k]->separate)
                static_cast<double *>(v[k]->data[j])[0] = pts[static_cast<size_t>(k)][static_cast<size_t>(j)];
            else
                d[j] = pts[static_cast<size_t>(k)][static_cast<size_t>(j)];
        }
    }
    return 1;
}
