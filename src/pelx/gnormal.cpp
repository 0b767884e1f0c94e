// Vertex colours of lit surfaces and grids: each patch's normal in the
// world box scaled to a unit cube, averaged at the vertices, and turned into
// a colour index by the light (ambient plus diffuse term).  The patches'
// depth list comes with the colours.

#include "ggridhook.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct Accumulator {
    double n[3];
    int32_t count;
};

struct Vec {
    double x, y, z;
};
Vec operator-(const Vec &a, const Vec &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec cross(const Vec &a, const Vec &b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(const Vec &a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

// The world box's ranges; a range of 0 counts as 1.
struct Scale {
    double x, y, z;
    explicit Scale(const GCanvasRecord *c)
    {
        const double *w = c->modes.world;
        auto range = [](double r) { return r == 0.0 || !std::isfinite(r) ? 1.0 : r; };
        x = range(w[3] - w[0]);
        y = range(w[4] - w[1]);
        z = range(w[5] - w[2]);
    }
    Vec of(double px, double py, double pz) const { return {px / x, py / y, pz / z}; }
};

// The colours of the colour map in use, at most 256 (indices are bytes).
long map_colours(GCanvasRecord *canvas)
{
    long n = 0, pixels[256];
    gcolmap_GColourMapInfo(canvas, &n, pixels, nullptr, nullptr);
    return std::min(n, 256L);
}

// The colour index of a vertex whose normal meets the light at d; a shade
// that is not a number (a vertex no patch touched) gives 255.
unsigned char shade(long colours, const GLightSource *l, double d)
{
    double v = static_cast<double>(colours - 1) *
               (l->source * l->intensity * (1 - l->ambient) * d + l->source * l->ambient);
    if (std::isnan(v) || !(std::fabs(v) < 1e15))
        return 255;
    return static_cast<unsigned char>(static_cast<long>(v) & 0xFF);
}

double facing(const Accumulator &a, const GLightSource *l, bool at_most_one)
{
    Vec n{a.n[0] / a.count, a.n[1] / a.count, a.n[2] / a.count};
    double len = length(n);
    double d = (n.x * l->direction[0] + n.y * l->direction[1] + n.z * l->direction[2]) / len;
    if (d < 0)
        d = 0;
    if (at_most_one && d > 1)
        d = 1;
    return d;
}

void add(Accumulator &a, const Vec &n)
{
    a.n[0] += n.x;
    a.n[1] += n.y;
    a.n[2] += n.z;
    a.count++;
}

bool usable(GCanvasRecord *canvas, const GLightSource *light, long *colours)
{
    if (!canvas || !light)
        return false;
    *colours = map_colours(canvas);
    // Fewer than two colours leave nothing to shade with.
    if (*colours < 2) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return false;
    }
    return true;
}

}  // namespace

unsigned char *gnormal_GGridSetVertexNormalColours(GCanvasRecord *canvas, const GGrid *grid, const GLightSource *light,
                                                   GDepthEntry **list, long *count)
{
    if (list)
        *list = nullptr;
    if (count)
        *count = 0;
    long colours = 0;
    if (!grid || !grid->values || !list || !count || !usable(canvas, light, &colours))
        return nullptr;
    long nx = grid->nx, nz = grid->nz;
    GBlock<Accumulator> acc(nx * nz);
    if (!acc)
        return nullptr;
    memset(acc.get(), 0, static_cast<size_t>(nx * nz) * sizeof(Accumulator));
    GBlock<unsigned char> bytes(nx * nz);
    if (!bytes)
        return nullptr;
    Scale s(canvas);
    GGridCell **v = grid->values;
    auto at = [&](long i, long k) {
        return s.of(grid->x0 + static_cast<double>(i) * grid->dx, v[i][k].value,
                    grid->z0 + static_cast<double>(k) * grid->dz);
    };
    for (long i = 0; i + 1 < nx; i++)
        for (long k = 0; k + 1 < nz; k++) {
            Vec p0 = at(i, k), p1 = at(i, k + 1), p2 = at(i + 1, k + 1);
            Vec n = cross(p1 - p0, p2 - p1);
            double len = length(n);
            n = {n.x / len, n.y / len, n.z / len};
            add(acc[k * nx + i], n);
            add(acc[(k + 1) * nx + i], n);
            add(acc[(k + 1) * nx + i + 1], n);
            add(acc[k * nx + i + 1], n);
        }
    for (long e = 0; e < nx * nz; e++)
        bytes[e] = shade(colours, light, facing(acc[e], light, false));
    GDepthEntry *made = ggrid_GGridCreateDepthList(canvas, grid, count);
    if (!made) {
        *count = 0;
        return nullptr;
    }
    *list = made;
    return bytes.release();
}

namespace {

// The arrays of a surface, the empty one a surface ends with included.
std::vector<const GSurface *> arrays_of(const GSurface *surface)
{
    std::vector<const GSurface *> out;
    for (const GSurface *a = surface; a; a = a->next)
        out.push_back(a);
    return out;
}

}  // namespace

unsigned char *gnormal_GSurfaceSetVertexNormalColours(GCanvasRecord *canvas, GSurface *surface,
                                                      const GLightSource *light, GDepthEntry **list, long *count)
{
    if (list)
        *list = nullptr;
    if (count)
        *count = 0;
    long colours = 0;
    if (!surface || !list || !count || !usable(canvas, light, &colours))
        return nullptr;
    std::vector<const GSurface *> arrays = arrays_of(surface);
    long per_array = static_cast<long>(surface->points.count), rows = static_cast<long>(arrays.size());
    if (per_array < 1) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return nullptr;
    }
    long vertices = per_array * rows;
    GBlock<Accumulator> acc(vertices);
    if (!acc)
        return nullptr;
    memset(acc.get(), 0, static_cast<size_t>(vertices) * sizeof(Accumulator));
    GBlock<unsigned char> bytes(vertices);
    if (!bytes)
        return nullptr;
    Scale s(canvas);
    auto at = [&](long n, long g) {
        const GVector *p = &arrays[static_cast<size_t>(n)]->points;
        return s.of(gvector_GGetValue(p, g, 0), gvector_GGetValue(p, g, 1), gvector_GGetValue(p, g, 2));
    };
    for (long n = 0; n + 1 < rows; n++) {
        long points = std::min({static_cast<long>(arrays[static_cast<size_t>(n)]->points.count),
                                static_cast<long>(arrays[static_cast<size_t>(n + 1)]->points.count), per_array});
        for (long g = 0; g + 1 < points; g++) {
            // Not made unit length: a larger patch weighs more.
            Vec normal = cross(at(n + 1, g) - at(n, g), at(n + 1, g + 1) - at(n + 1, g));
            add(acc[n * per_array + g], normal);
            add(acc[(n + 1) * per_array + g], normal);
            add(acc[(n + 1) * per_array + g + 1], normal);
            add(acc[n * per_array + g + 1], normal);
        }
    }
    for (long e = 0; e < vertices; e++)
        bytes[e] = shade(colours, light, facing(acc[e], light, true));
    GDepthEntry *made = gsurf_GSurfaceCreateDepthList(canvas, surface, count);
    if (!made) {
        *count = 0;
        return nullptr;
    }
    *list = made;
    return bytes.release();
}

GCanvasRecord *gnormal_GSetVertexNormalColours(GCanvasRecord *canvas, const GVector *polygon,
                                               const GLightSource *light, unsigned char *colours)
{
    long n = 0;
    if (!polygon || polygon->count < 3 || !colours || !usable(canvas, light, &n))
        return canvas;
    Scale s(canvas);
    auto at = [&](long i) {
        return s.of(gvector_GGetValue(polygon, i, 0), gvector_GGetValue(polygon, i, 1),
                    polygon->dims > 2 ? gvector_GGetValue(polygon, i, 2) : 0.0);
    };
    Accumulator a{};
    add(a, cross(at(1) - at(0), at(2) - at(1)));
    unsigned char index = shade(n, light, facing(a, light, true));
    for (long i = 0; i < polygon->count; i++)
        colours[i] = index;
    return canvas;
}
