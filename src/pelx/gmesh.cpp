// The mesh modes of a canvas (the switches of mesh, skirt and image
// drawing that the shaded-surface kind sets), and the drawings without
// light: meshes of grids and surfaces in depth order, their skirts down to
// the floor of the world box, and the flat mesh map of a grid.

#include "ggridhook.h"
#include "vxutil.h"

#include <algorithm>
#include <vector>

int gmesh_GSetMeshModes(GCanvasRecord *canvas, uint64_t mask, const GMeshModes *modes)
{
    if (!canvas || !modes)
        return -1;
    GMeshModes &m = canvas->mesh;
    if (mask & GMSM_SKIRT)
        m.skirt = modes->skirt;
    if (mask & GMSM_BORDER)
        m.border = modes->border;
    if (mask & GMSM_COLOURING)
        m.colouring = modes->colouring;
    if (mask & GMSM_SHADING)
        m.shading = modes->shading;
    if (mask & GMSM_COLOUR)
        m.colour = modes->colour;
    return 0;
}

int gmesh_GGetMeshModes(GCanvasRecord *canvas, GMeshModes *modes)
{
    if (!canvas || !modes)
        return -1;
    *modes = canvas->mesh;
    return 0;
}

int gmesh_GSetDefaultMeshModes(GCanvasRecord *canvas)
{
    const GMeshModes defaults{0, 0, 0, 0, 1};
    return gmesh_GSetMeshModes(canvas, GMASK_ALL, &defaults);
}

// ---- meshes ------------------------------------------------------------------

namespace {

double node_x(const GGrid *g, long i) { return g->x0 + static_cast<double>(i) * g->dx; }
double node_z(const GGrid *g, long k) { return g->z0 + static_cast<double>(k) * g->dz; }

// The corners of patch (i, k) in the order (i, k), (i, k+1), (i+1, k+1),
// (i+1, k) and the first again; the value of every corner is `value` when
// one is given (cells past the last node have no values of their own).
void patch_corners(const GGrid *g, long i, long k, const double *value, double p[15])
{
    const long di[5] = {0, 0, 1, 1, 0}, dk[5] = {0, 1, 1, 0, 0};
    for (int c = 0; c < 5; c++) {
        long a = i + di[c], b = k + dk[c];
        p[3 * c] = node_x(g, a);
        p[3 * c + 1] = value ? *value : g->values[a][b].value;
        p[3 * c + 2] = node_z(g, b);
    }
}

void reset_fill_style(GCanvasRecord *canvas)
{
    GFillModes f = canvas->fill;
    f.style = 0;
    GSetFillModes(canvas, GFM_STYLE, &f);
}

// The arrays of a surface that hold points, in order.
std::vector<const GSurface *> arrays_of(const GSurface *surface)
{
    std::vector<const GSurface *> out;
    for (const GSurface *a = surface; a; a = a->next)
        out.push_back(a);
    return out;
}

}  // namespace

int gmesh_GDrawGridMesh(GCanvasRecord *canvas, const GGrid *grid, const unsigned char *overlay,
                        const GDepthEntry *list, long count)
{
    if (!canvas || !grid || !grid->values || !list || count <= 0)
        return 0;
    long nx = grid->nx;
    for (long e = 0; e < count; e++) {
        long i = list[e].column, k = list[e].row;
        if (i < 0 || k < 0 || i > grid->nx - 2 || k > grid->nz - 2)
            continue;
        double p[15];
        patch_corners(grid, i, k, nullptr, p);
        GVector polygon{GV_DOUBLE, 0, 3, 5, {p, nullptr, nullptr}};
        if (overlay) {
            long sum = overlay[k * nx + i] + overlay[(k + 1) * nx + i] + overlay[(k + 1) * nx + i + 1] +
                       overlay[k * nx + i + 1];
            long colour = static_cast<long>(0.25 * static_cast<double>(sum)) & 0xFF;
            gdraw_GDrawFilledPolygon(canvas, &polygon, &colour);
        } else {
            gdraw_GDrawFilledPolygon(canvas, &polygon, nullptr);
        }
    }
    reset_fill_style(canvas);
    return 0;
}

int gmesh_GDrawSurfaceMesh(GCanvasRecord *canvas, GSurface *surface, const unsigned char *overlay,
                           const GDepthEntry *list, long count)
{
    if (!canvas || !surface || !list || count <= 0)
        return 0;
    std::vector<const GSurface *> arrays = arrays_of(surface);
    long per_array = static_cast<long>(surface->points.count);
    for (long e = 0; e < count; e++) {
        long g = list[e].column, n = list[e].row;
        if (g < 0 || n < 0 || n + 1 >= static_cast<long>(arrays.size()))
            continue;
        const GVector *a = &arrays[static_cast<size_t>(n)]->points, *b = &arrays[static_cast<size_t>(n + 1)]->points;
        if (g + 1 >= a->count || g + 1 >= b->count)
            continue;
        const GVector *rows[5] = {a, b, b, a, a};
        const long at[5] = {g, g, g + 1, g + 1, g};
        double p[15];
        for (int c = 0; c < 5; c++)
            for (int d = 0; d < 3; d++)
                p[3 * c + d] = gvector_GGetValue(rows[c], at[c], d);
        GVector polygon{GV_DOUBLE, 0, 3, 5, {p, nullptr, nullptr}};
        if (overlay) {
            long sum = overlay[n * per_array + g] + overlay[(n + 1) * per_array + g] +
                       overlay[(n + 1) * per_array + g + 1] + overlay[n * per_array + g + 1];
            long colour = static_cast<long>(0.25 * static_cast<double>(sum)) & 0xFF;
            gdraw_GDrawFilledPolygon(canvas, &polygon, &colour);
        } else {
            gdraw_GDrawFilledPolygon(canvas, &polygon, nullptr);
        }
    }
    reset_fill_style(canvas);
    return 0;
}

// ---- skirts ------------------------------------------------------------------

int ggrid_GGetGridEdge(GVector *vector, const GGrid *grid, int edge, double floor)
{
    if (!vector || !grid || !grid->values || vector->type != GV_DOUBLE || vector->separate || vector->dims != 3 ||
        !vector->data[0] || edge < 1 || edge > 5) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return -1;
    }
    long nx = grid->nx, nz = grid->nz;
    long along = edge == 1 || edge == 3 ? nx : nz;
    long need = edge == 5 ? 4 : along + 3;
    if (vector->count < need) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return -1;
    }
    double *p = static_cast<double *>(vector->data[0]);
    double x0 = grid->x0, z0 = grid->z0, xl = node_x(grid, nx - 1), zl = node_z(grid, nz - 1);
    long n = 0;
    auto put = [&](double x, double y, double z) {
        p[3 * n] = x;
        p[3 * n + 1] = y;
        p[3 * n + 2] = z;
        n++;
    };
    switch (edge) {
    case 1:
    case 3: {
        long k = edge == 1 ? nz - 1 : 0;
        double z = edge == 1 ? zl : z0;
        for (long i = 0; i < nx; i++)
            put(node_x(grid, i), grid->values[i][k].value, z);
        put(xl, floor, z);
        put(x0, floor, z);
        break;
    }
    case 2:
    case 4: {
        long i = edge == 2 ? nx - 1 : 0;
        double x = edge == 2 ? xl : x0;
        for (long k = 0; k < nz; k++)
            put(x, grid->values[i][k].value, node_z(grid, k));
        put(x, floor, zl);
        put(x, floor, z0);
        break;
    }
    default:
        put(xl, floor, zl);
        put(xl, floor, z0);
        put(x0, floor, z0);
        put(x0, floor, zl);
        break;
    }
    if (edge != 5)
        put(p[0], p[1], p[2]);
    vector->count = n;
    return 0;
}

namespace {

// The edges that face a viewer turned by a degrees, in drawing order.
int facing_edges(long a, int out[2])
{
    if (a > 90) {
        out[0] = 3, out[1] = 4;
        return 2;
    }
    if (a == 90) {
        out[0] = 4;
        return 1;
    }
    if (a > 0) {
        out[0] = 4, out[1] = 1;
        return 2;
    }
    if (a == 0) {
        out[0] = 1;
        return 1;
    }
    if (a > -90) {
        out[0] = 1, out[1] = 2;
        return 2;
    }
    if (a == -90) {
        out[0] = 2;
        return 1;
    }
    out[0] = 2, out[1] = 3;
    return 2;
}

// The skirt's colours for its time: the special colour solid, line colour
// 0 with the close flag, no colouring by value.  The line modes and the
// colour-map mode come back afterwards; the fill style becomes 0.
class SkirtColours {
public:
    explicit SkirtColours(GCanvasRecord *canvas) : c_(canvas), line_(canvas->line), mode_(canvas->colourmap)
    {
        GSetSpecialColour(c_, 0, 1);
        GFillModes f = c_->fill;
        f.style = 1;
        f.colour = c_->colourmap.special;
        GSetFillModes(c_, GFM_STYLE | GFM_COLOUR, &f);
        GLineModes l = c_->line;
        l.colour = 0;
        l.flag = 1;
        GSetLineModes(c_, GLM_COLOUR | GLM_CLOSE, &l);
        GColourMapModes m = c_->colourmap;
        m.mode = 0;
        gcolmap_GSetColourMapModes(c_, GCMM_MODE, &m);
    }
    ~SkirtColours()
    {
        reset_fill_style(c_);
        GSetLineModes(c_, GLM_COLOUR | GLM_CLOSE, &line_);
        gcolmap_GSetColourMapModes(c_, GCMM_MODE, &mode_);
    }
    SkirtColours(const SkirtColours &) = delete;
    SkirtColours &operator=(const SkirtColours &) = delete;

private:
    GCanvasRecord *c_;
    GLineModes line_;
    GColourMapModes mode_;
};

// The edges of the skirt for the canvas's view, the floor last when it is
// seen from below.
int skirt_edges(const GCanvasRecord *canvas, int edges[3])
{
    long a = -(static_cast<long>(canvas->modes.angle2) / 64);
    long e = static_cast<long>(canvas->modes.angle1) / 64;
    int n = facing_edges(a, edges);
    if (e < 0)
        edges[n++] = 5;
    return n;
}

}  // namespace

int gmesh_GDrawGridSkirt(GCanvasRecord *canvas, const GGrid *grid)
{
    if (!canvas || !grid || !grid->values)
        return 0;
    long room = grid->nx + grid->nz + 5;
    GBlock<double> buffer(3 * room);
    if (!buffer)
        return -1;
    double floor = canvas->modes.world[1];
    int edges[3];
    int n = skirt_edges(canvas, edges);
    SkirtColours colours(canvas);
    for (int e = 0; e < n; e++) {
        GVector polygon{GV_DOUBLE, 0, 3, room, {buffer.get(), nullptr, nullptr}};
        if (ggrid_GGetGridEdge(&polygon, grid, edges[e], floor) == 0)
            gdraw_GDrawFilledPolygon(canvas, &polygon, nullptr);
    }
    return 0;
}

int gmesh_GDrawSurfaceSkirt(GCanvasRecord *canvas, GSurface *surface)
{
    if (!canvas || !surface)
        return 0;
    double floor = canvas->modes.world[1];
    int edges[3];
    int n = skirt_edges(canvas, edges);
    SkirtColours colours(canvas);
    for (int e = 0; e < n; e++) {
        GVector edge{};
        if (gsurf_GGetSurfaceEdge(&edge, surface, edges[e], floor) != 0)
            return -1;
        // In doubles, whatever the surface keeps.
        GBlock<double> points(3 * std::max<long>(edge.count, 1));
        if (!points) {
            gvector_GFreeVectorData(&edge);
            return -1;
        }
        for (long i = 0; i < edge.count; i++)
            for (int d = 0; d < 3; d++)
                points[3 * i + d] = gvector_GGetValue(&edge, i, d);
        GVector polygon{GV_DOUBLE, 0, 3, edge.count, {points.get(), nullptr, nullptr}};
        gvector_GFreeVectorData(&edge);
        if (polygon.count > 0)
            gdraw_GDrawFilledPolygon(canvas, &polygon, nullptr);
    }
    return 0;
}

// ---- mesh maps -----------------------------------------------------------------

int gmesh_GDrawMeshMap(GCanvasRecord *canvas, const GGrid *grid)
{
    if (!canvas || !grid || !grid->values)
        return 0;
    // Every node's cell, those of the last row and column reaching one step
    // past them, as the auto-scaling and the read-out of the map kinds
    // count them.
    for (long k = 0; k < grid->nz; k++)
        for (long i = 0; i < grid->nx; i++) {
            const GGridCell &node = grid->values[i][k];
            double p[15];
            patch_corners(grid, i, k, &node.value, p);
            GVector polygon{GV_DOUBLE, 0, 3, 5, {p, nullptr, nullptr}};
            if (node.weight != 0.0) {
                gdraw_GDraw2DFilledPolygon(canvas, &polygon, 1, &node.value);
                continue;
            }
            if (!grid->mask_flag || !grid->aux || grid->aux[i][k].weight == 0.0 || canvas->colourmap.special == 0)
                continue;
            GSetSpecialColour(canvas, 1, 1);
            gdraw_GDraw2DFilledPolygon(canvas, &polygon, 0, nullptr);
            // The colour map in use again for the next cell's value.
            canvas->device->modes.colourmap = 0;
        }
    return 0;
}
