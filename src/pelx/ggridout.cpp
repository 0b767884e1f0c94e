// What is derived from a completed grid: its patches as values and
// polygons, the colour indices of its nodes, overlays, the depth order of
// its patches, the round mask, and its lines on the floor of the world box.

#include "ggridhook.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>

namespace {

bool patch_exists(const GGrid *g, long i, long k) { return g && i >= 0 && k >= 0 && i <= g->nx - 2 && k <= g->nz - 2; }

double node_x(const GGrid *g, long i) { return g->x0 + static_cast<double>(i) * g->dx; }
double node_z(const GGrid *g, long k) { return g->z0 + static_cast<double>(k) * g->dz; }

bool polygon_room(const GVector *v, long points)
{
    return v && v->type == GV_DOUBLE && !v->separate && v->dims == 3 && v->data[0] && v->count >= points;
}

// The corners (i, k), (i, k+1), (i+1, k+1), (i+1, k) of a patch from the
// rows given, as (x, value, z); with close, the first again.
void corners(const GGrid *g, GGridCell **rows, long i, long k, double *p, bool close)
{
    const long di[4] = {0, 0, 1, 1}, dk[4] = {0, 1, 1, 0};
    for (int c = 0; c < (close ? 5 : 4); c++) {
        long a = i + di[c % 4], b = k + dk[c % 4];
        p[3 * c] = node_x(g, a);
        p[3 * c + 1] = rows[a][b].value;
        p[3 * c + 2] = node_z(g, b);
    }
}

void line3(GCanvasRecord *c, double x1, double y1, double z1, double x2, double y2, double z2)
{
    double a[3] = {x1, y1, z1}, b[3] = {x2, y2, z2};
    GVector va{GV_DOUBLE, 0, 3, 1, {a, nullptr, nullptr}}, vb{GV_DOUBLE, 0, 3, 1, {b, nullptr, nullptr}};
    gdraw_GDrawLine(c, &va, &vb);
}

}  // namespace

int ggrid_GGetPatchValues(double *out[5], GGrid *grid, long i, long k)
{
    if (!out || !patch_exists(grid, i, k) || !grid->values)
        return -1;
    GGridCell **v = grid->values;
    out[0] = grid->aux ? &grid->aux[i][k].value : nullptr;
    out[1] = &v[i][k].value;
    out[2] = &v[i][k + 1].value;
    out[3] = &v[i + 1][k + 1].value;
    out[4] = &v[i + 1][k].value;
    return 0;
}

int ggrid_GGetPatchAsPolygon(GVector *vector, const GGrid *grid, long i, long k)
{
    if (!patch_exists(grid, i, k) || !grid->values || !polygon_room(vector, 4) || grid->values[i][k].weight == 0.0)
        return -1;
    corners(grid, grid->values, i, k, static_cast<double *>(vector->data[0]), false);
    return 0;
}

int ggrid_GGetOverlayAsPolygon(GVector *vector, const GGrid *grid, long i, long k)
{
    if (!patch_exists(grid, i, k) || !grid->overlay || !polygon_room(vector, 5))
        return -1;
    corners(grid, grid->overlay, i, k, static_cast<double *>(vector->data[0]), true);
    return 0;
}

unsigned char *ggrid_GGridGetOverlayValues(GCanvasRecord *canvas, const GGrid *grid)
{
    if (!canvas || !grid || !grid->values)
        return nullptr;
    GGridCell **rows = grid->overlay_flag && grid->overlay ? grid->overlay : grid->values;
    long nx = grid->nx, nz = grid->nz;
    GBlock<unsigned char> bytes(nx * nz);
    if (!bytes)
        return nullptr;
    const GColourMapModes &m = canvas->colourmap;
    double lo = m.range == 1 ? m.lower : m.datamin, hi = m.range == 1 ? m.upper : m.datamax;
    long levels = 0, pixels[256];
    gcolmap_GColourMapInfo(canvas, &levels, pixels, nullptr, nullptr);
    double step = (hi - lo) / static_cast<double>(levels - 1);
    bool flat = levels < 2 || !(hi != lo) || !std::isfinite(step);
    for (long k = 0; k < nz; k++)
        for (long i = 0; i < nx; i++) {
            double f = flat ? 0.0 : std::floor((rows[i][k].value - lo) / step);
            // Clamped to the colour map: below the range is colour 0, not 255.
            f = std::isnan(f) ? 0.0 : std::clamp(f, 0.0, static_cast<double>(std::max(levels - 1, 0L)));
            bytes[k * nx + i] = static_cast<unsigned char>(std::min(f, 255.0));
        }
    return bytes.release();
}

GGrid *ggrid_GGridMergeOverlay(GGrid *grid, GGrid *other)
{
    if (!grid || !other || grid == other || !other->values || grid->nx != other->nx || grid->nz != other->nz)
        return nullptr;
    if (grid->overlay_flag)
        ggrid_GFreeRows(grid->overlay);
    grid->overlay = other->values;
    grid->overlay_flag = 1;
    other->values = nullptr;
    return grid;
}

GDepthEntry *ggrid_GGridCreateDepthList(GCanvasRecord *canvas, const GGrid *grid, long *count)
{
    if (count)
        *count = -1;
    if (!canvas || !grid || !count)
        return nullptr;
    long n = (grid->nx - 1L) * (grid->nz - 1L);
    GBlock<GDepthEntry> list(n);
    if (!list)
        return nullptr;
    const GXformPart &f = canvas->xf[GX_WC].forward;
    long e = 0;
    for (long i = 0; i + 1 < grid->nx; i++)
        for (long k = 0; k + 1 < grid->nz; k++) {
            double xc = node_x(grid, i) + (node_x(grid, i + 1) - node_x(grid, i)) * 0.5;
            double zc = node_z(grid, k) + (node_z(grid, k + 1) - node_z(grid, k)) * 0.5;
            list[e++] = GDepthEntry{static_cast<int16_t>(i), static_cast<int16_t>(k),
                                    f.m[6] * xc + f.m[7] * 0.0 + f.m[8] * zc + f.offset[2]};
        }
    std::sort(list.get(), list.get() + n, [](const GDepthEntry &a, const GDepthEntry &b) { return a.depth < b.depth; });
    *count = n;
    return list.release();
}

int ggrid_GGridMaskValues(GCanvasRecord *canvas, GGrid *grid, double cx, double cz, double radius)
{
    if (!canvas || !grid || !std::isfinite(cx) || !std::isfinite(cz) || !std::isfinite(radius))
        return -1;
    ggrid_GFreeRows(grid->aux);
    grid->aux = ggrid_GAllocRows(grid->nx, grid->nz);
    grid->mask_flag = grid->aux ? 1 : 0;
    if (!grid->aux)
        return -1;
    auto inside = [&](long i, long k) {
        double a = node_x(grid, i) - cx, b = node_z(grid, k) - cz;
        return a * a + b * b <= radius * radius;
    };
    // The cells of the last row and column reach one step past the last
    // node, as the mesh map draws them.
    for (long i = 0; i < grid->nx; i++)
        for (long k = 0; k < grid->nz; k++)
            if (inside(i, k) && inside(i, k + 1) && inside(i + 1, k + 1) && inside(i + 1, k))
                grid->aux[i][k].weight = 1.0;
    return 0;
}

int ggrid_GShowGrid(GCanvasRecord *canvas, const GGrid *grid, int mark)
{
    if (!canvas || !grid || !grid->values)
        return -1;
    double y = canvas->modes.world[1];
    double x_last = node_x(grid, grid->nx - 1), z_last = node_z(grid, grid->nz - 1);
    for (long i = 0; i < grid->nx; i++)
        line3(canvas, node_x(grid, i), y, grid->z0, node_x(grid, i), y, z_last);
    for (long k = 0; k < grid->nz; k++)
        line3(canvas, grid->x0, y, node_z(grid, k), x_last, y, node_z(grid, k));
    if (!mark)
        return 0;
    GLineModes saved = canvas->line, tick = canvas->line;
    tick.colour = 2;
    GSetLineModes(canvas, GLM_COLOUR, &tick);
    double hx = 0.25 * grid->dx, hz = 0.25 * grid->dz;
    for (long i = 0; i < grid->nx; i++)
        for (long k = 0; k < grid->nz; k++)
            if (grid->values[i][k].weight != 0.0) {
                double x = node_x(grid, i), z = node_z(grid, k);
                line3(canvas, x - hx, y, z + hz, x + hx, y, z - hz);
            }
    GSetLineModes(canvas, GLM_COLOUR, &saved);
    return 0;
}
