// Shaded rendering of grids and surfaces: the patches, in depth-list order,
// clipped to the world volume and rasterised with their vertex shades
// interpolated across them (Gouraud shading) into a raster image of the
// plot area, which the device then draws.

#include "ggridhook.h"
#include "vxutil.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

// A vertex: world x, y, z and its shade (a colour index, or a value).
using V4 = std::array<double, 4>;

constexpr int ROOM = 100;      // points a clipped patch may grow to
constexpr int MAX_VERTICES = 16;  // a longer clipped outline is skipped
constexpr int MAX_ACTIVE = 20;    // crossings of one scanline

bool takes_images(const GDeviceRecord *d)
{
    unsigned char p = d->modes.protocol;
    return p != GP_HPGL && p != GP_HPGL2 && p <= GP_IMAGE;
}

bool tenth(const GDeviceRecord *d) { return d->modes.protocol == GP_POSTSCRIPT || d->modes.protocol == GP_EPS; }

bool volume_clipping(const GCanvasRecord *c) { return c->modes.clip == 3 && c->modes.flag3d == 1; }

// The six planes of the world box, in the order the volume clipper takes
// them, each cutting the outline with the shades carried along its edges.
// 0 whole or cut, -1 outside (or too many points).
int clip(const GCanvasRecord *c, std::vector<V4> &pts)
{
    if (!volume_clipping(c))
        return 0;
    const double *w = c->modes.world;
    static const struct {
        int axis;
        bool upper;
    } planes[6] = {{1, true}, {1, false}, {0, true}, {0, false}, {2, true}, {2, false}};
    std::vector<V4> out;
    for (const auto &pl : planes) {
        double bound = pl.upper ? w[pl.axis + 3] : w[pl.axis];
        auto side = [&](const V4 &p) {
            double v = p[static_cast<size_t>(pl.axis)];
            return v == bound ? 0 : (pl.upper ? v < bound : v > bound) ? 1 : -1;
        };
        size_t n = pts.size();
        bool any_out = false, all_out = n > 0;
        for (const V4 &p : pts) {
            any_out |= side(p) < 0;
            all_out &= side(p) < 0;
        }
        if (all_out)
            return -1;
        if (!any_out)
            continue;
        out.clear();
        for (size_t k = 0; k < n; k++) {
            const V4 &s = pts[(k + n - 1) % n], &e = pts[k];
            int cs = side(s), ce = side(e);
            if (cs >= 0)
                out.push_back(s);
            double d = e[static_cast<size_t>(pl.axis)] - s[static_cast<size_t>(pl.axis)];
            if (cs * ce == -1 && std::fabs(d) > 1e-6) {
                double t = (bound - s[static_cast<size_t>(pl.axis)]) / d;
                V4 x;
                for (size_t i = 0; i < 4; i++)
                    x[i] = s[i] + t * (e[i] - s[i]);
                out.push_back(x);
            }
        }
        pts.swap(out);
        if (pts.size() < 3 || pts.size() > static_cast<size_t>(ROOM))
            return -1;
    }
    return 0;
}

// The image of the plot area and the way from device coordinates into its
// pixels.
class Raster {
public:
    explicit Raster(GCanvasRecord *canvas) : c_(canvas) {}
    ~Raster() { GDestroyImage(image_); }
    Raster(const Raster &) = delete;
    Raster &operator=(const Raster &) = delete;

    // The image of the plot area, cleared: false when it cannot be made.
    bool begin(bool indices);
    // One patch, clipped and rasterised; false when it was skipped.
    bool patch(std::vector<V4> &pts);
    int finish()
    {
        int r = painted_ ? GDrawImage(c_, image_) : 0;
        return r < 0 ? -1 : 0;
    }

private:
    void fill(const double *px, const double *py, const double *sh, int n);

    GCanvasRecord *c_;
    GRasterImage *image_ = nullptr;
    double x0_ = 0, y0_ = 0, sx_ = 1, sy_ = 1;  // pixel = (device - origin) * scale
    bool painted_ = false;
};

bool Raster::begin(bool indices)
{
    GDeviceRecord *d = c_->device;
    const GCanvasModes &m = c_->modes;
    // The plot area's corners on the device.
    double lo[3] = {static_cast<double>(m.psorigin[0]), static_cast<double>(m.psorigin[1]), 0}, dc[3];
    double hi[3] = {lo[0] + m.pssize[0], lo[1] + m.pssize[1], 0}, dc_hi[3];
    gcoords_GApplyPart(&c_->xf[GX_CC].forward, lo, dc);
    gcoords_GApplyPart(&c_->xf[GX_CC].forward, hi, dc_hi);
    double sw = std::fabs(dc_hi[0] - dc[0]), sh = std::fabs(dc_hi[1] - dc[1]);
    double div = tenth(d) ? 10.0 : 1.0;
    long w = std::lround(sw / div), h = std::lround(sh / div);
    if (w < 1 || h < 1)
        return false;
    const GColourMapModes &cm = c_->colourmap;
    double range[2] = {cm.range == 1 ? cm.lower : cm.datamin, cm.range == 1 ? cm.upper : cm.datamax};
    double zero[2] = {0, 0};
    GVector at{GV_DOUBLE, 0, 2, 1, {zero, nullptr, nullptr}};
    image_ = GCreateImage(c_, w, h, &at, range, indices ? GIMG_INDEX : GIMG_DOUBLE);
    if (!image_)
        return false;
    image_->x = static_cast<int16_t>(std::clamp(std::lround(dc[0]), -32768L, 32767L));
    image_->y = static_cast<int16_t>(std::clamp(std::lround(dc[1]), -32768L, 32767L));
    x0_ = image_->x;
    y0_ = image_->y;
    sx_ = static_cast<double>(w) / sw;
    // Rows count upwards from the lower edge, on a device whose y runs
    // down as well.
    sy_ = (image_->invert_y ? -1.0 : 1.0) * static_cast<double>(h) / sh;
    return GClearImageData(c_, image_) == 0;
}

bool Raster::patch(std::vector<V4> &pts)
{
    if (clip(c_, pts) != 0 || pts.size() > static_cast<size_t>(MAX_VERTICES))
        return false;
    double px[MAX_VERTICES] = {}, py[MAX_VERTICES] = {}, sh[MAX_VERTICES] = {};
    int n = static_cast<int>(pts.size());
    if (n < 3)
        return false;
    const GXformPart &f = c_->current->forward;
    for (int i = 0; i < n; i++) {
        const V4 &p = pts[static_cast<size_t>(i)];
        double dx = f.m[0] * p[0] + f.m[1] * p[1] + f.m[2] * p[2] + f.offset[0];
        double dy = f.m[3] * p[0] + f.m[4] * p[1] + f.m[5] * p[2] + f.offset[1];
        px[i] = (dx - x0_) * sx_;
        py[i] = (dy - y0_) * sy_;
        sh[i] = p[3];
        if (!std::isfinite(px[i]) || !std::isfinite(py[i]) || !std::isfinite(sh[i]))
            return false;
    }
    fill(px, py, sh, n);
    return true;
}

// The scanline fill: a pixel is painted when its centre lies inside the
// outline (crossings counted in pairs along each row), its shade
// interpolated along the edges and then across the span.  Every edge is
// computed from its lower end, so that two patches sharing it split the
// pixels along it exactly.
void Raster::fill(const double *px, const double *py, const double *sh, int n)
{
    struct Edge {
        long first, last;  // rows whose centres it spans
        double y, x, dx, s, ds;  // its lower end, and x and shade per unit of y
    };
    Edge edges[MAX_VERTICES];
    int ne = 0;
    long top = image_->height - 1, rows_first = top + 1, rows_last = -1;
    for (int i = 0; i < n; i++) {
        int a = i, b = (i + 1) % n;
        if (py[b] < py[a] || (py[b] == py[a] && px[b] < px[a]))
            std::swap(a, b);
        if (py[b] == py[a])
            continue;
        double h = py[b] - py[a];
        Edge e{static_cast<long>(std::ceil(py[a] - 0.5)), static_cast<long>(std::ceil(py[b] - 0.5)) - 1, py[a], px[a],
               (px[b] - px[a]) / h, sh[a], (sh[b] - sh[a]) / h};
        e.first = std::max(e.first, 0L);
        e.last = std::min(e.last, top);
        if (e.first > e.last)
            continue;
        rows_first = std::min(rows_first, e.first);
        rows_last = std::max(rows_last, e.last);
        edges[ne++] = e;
    }
    struct Crossing {
        double x, shade;
    };
    Crossing row[MAX_ACTIVE];
    const long width = image_->width;
    const bool direct = image_->indices && image_->bits == 32 && image_->data;
    const long colours = image_->colours;
    for (long r = rows_first; r <= rows_last; r++) {
        double yc = static_cast<double>(r) + 0.5;
        int count = 0;
        for (int i = 0; i < ne; i++) {
            const Edge &e = edges[i];
            if (r < e.first || r > e.last)
                continue;
            if (count == MAX_ACTIVE)
                return;  // more crossings than an outline of patches has
            double t = yc - e.y;
            Crossing c{e.x + t * e.dx, e.s + t * e.ds};
            int at = count++;
            while (at > 0 && row[at - 1].x > c.x) {
                row[at] = row[at - 1];
                at--;
            }
            row[at] = c;
        }
        for (int k = 0; k + 1 < count; k += 2) {
            const Crossing &l = row[k], &rt = row[k + 1];
            long c0 = std::max(0L, static_cast<long>(std::ceil(l.x - 0.5)));
            long c1 = std::min(width, static_cast<long>(std::ceil(rt.x - 0.5)));
            if (c1 <= c0)
                continue;
            painted_ = true;
            double step = rt.x > l.x ? (rt.shade - l.shade) / (rt.x - l.x) : 0.0;
            double s = l.shade + (static_cast<double>(c0) + 0.5 - l.x) * step;
            if (direct) {
                // Colour indices into 32-bit pixels, the common case, inline.
                uint32_t *out = static_cast<uint32_t *>(image_->data) + r * width;
                const long *pixels = image_->pixels;
                for (long col = c0; col < c1; col++, s += step)
                    out[col] = static_cast<uint32_t>(pixels[gimage_GClampIndex(s, colours)]);
            } else {
                for (long col = c0; col < c1; col++, s += step)
                    GDoubleToPixel(c_, image_, col, r, s);
            }
        }
    }
}

// The device takes raster images: -1 (and error (4, 21)) when it cannot.
bool device_ok(GCanvasRecord *canvas)
{
    if (takes_images(canvas->device))
        return true;
    gerror_GRegisterError(4, 21, 0, nullptr);
    return false;
}

}  // namespace

int grender_GRenderGridData(GCanvasRecord *canvas, GGrid *grid, const unsigned char *colours, const GDepthEntry *list,
                            long count)
{
    if (!canvas || !device_ok(canvas))
        return -1;
    if (!grid || !grid->values || !list || count <= 0)
        return 0;
    Raster raster(canvas);
    if (!raster.begin(colours != nullptr))
        return -1;
    long nx = grid->nx;
    std::vector<V4> pts;
    pts.reserve(ROOM);
    const long di[4] = {0, 0, 1, 1}, dk[4] = {0, 1, 1, 0};
    for (long e = 0; e < count; e++) {
        long i = list[e].column, k = list[e].row;
        if (i < 0 || k < 0 || i > grid->nx - 2 || k > grid->nz - 2)
            continue;
        pts.clear();
        for (int c = 0; c < 4; c++) {
            long a = i + di[c], b = k + dk[c];
            double v = grid->values[a][b].value;
            pts.push_back({grid->x0 + static_cast<double>(a) * grid->dx, v, grid->z0 + static_cast<double>(b) * grid->dz,
                           colours ? static_cast<double>(colours[b * nx + a]) : v});
        }
        raster.patch(pts);
    }
    return raster.finish();
}

int grender_GRenderSurfaceData(GCanvasRecord *canvas, GSurface *surface, const unsigned char *colours,
                               const GDepthEntry *list, long count)
{
    if (!canvas || !device_ok(canvas))
        return -1;
    if (!surface || !list || count <= 0)
        return 0;
    std::vector<const GSurface *> arrays;
    for (const GSurface *a = surface; a; a = a->next)
        arrays.push_back(a);
    long per_array = static_cast<long>(surface->points.count);
    Raster raster(canvas);
    if (!raster.begin(colours != nullptr))
        return -1;
    std::vector<V4> pts;
    pts.reserve(ROOM);
    for (long e = 0; e < count; e++) {
        long g = list[e].column, n = list[e].row;
        if (g < 0 || n < 0 || n + 1 >= static_cast<long>(arrays.size()))
            continue;
        const GVector *a = &arrays[static_cast<size_t>(n)]->points, *b = &arrays[static_cast<size_t>(n + 1)]->points;
        if (g + 1 >= a->count || g + 1 >= b->count || g + 1 >= per_array)
            continue;
        const GVector *rows[4] = {a, b, b, a};
        const long at[4] = {g, g, g + 1, g + 1}, array[4] = {n, n + 1, n + 1, n};
        pts.clear();
        for (int c = 0; c < 4; c++) {
            double y = gvector_GGetValue(rows[c], at[c], 1);
            pts.push_back({gvector_GGetValue(rows[c], at[c], 0), y, gvector_GGetValue(rows[c], at[c], 2),
                           colours ? static_cast<double>(colours[array[c] * per_array + at[c]]) : y});
        }
        raster.patch(pts);
    }
    return raster.finish();
}
