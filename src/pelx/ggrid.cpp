// Grids from scattered data: the grid modes of a canvas and its cached
// grid, creating a grid and gathering points on its nodes, completing it
// by one of five methods, and reading values back.

#include "ggridhook.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void *default_alloc(long size) { return vx_malloc(size, 0); }

GGridCell **working(const GGrid *g) { return g->overlay_flag && g->overlay ? g->overlay : g->values; }

bool filled(const GGridCell &c) { return c.weight != 0.0; }

// Node index of a position under method 0: the position must lie on a
// node to within a hundred-thousandth of a step.
bool on_node(double a, long *node)
{
    double t = std::trunc(a);
    double f = std::trunc((a - t) * 100000.0);
    if (f == 0.0)
        *node = static_cast<long>(t);
    else if (f == 99999.0)
        *node = static_cast<long>(t) + 1;
    else
        return false;
    return true;
}

// floor(v + 0.5) for a position already known to lie within a grid's band.
long nearest(double v)
{
    double h = v + 0.5;
    long t = static_cast<long>(h);
    return static_cast<double>(t) > h ? t - 1 : t;
}

// A bilinear share's fraction, snapped to the patch's corners.
double snap(double f) { return f > 0.99999 ? 1.0 : f < 0.00001 ? 0.0 : f; }

void spread(const GGrid *g, GGridCell **w, long i, long k, double x, double z, double v)
{
    if (i == g->nx - 1)
        i--;
    if (k == g->nz - 1)
        k--;
    double fx = snap((x - (g->x0 + static_cast<double>(i) * g->dx)) / g->dx);
    double fz = snap((z - (g->z0 + static_cast<double>(k) * g->dz)) / g->dz);
    const struct {
        long di, dk;
        double share;
    } corners[4] = {{0, 0, (1 - fx) * (1 - fz)}, {1, 0, fx * (1 - fz)}, {1, 1, fx * fz}, {0, 1, (1 - fx) * fz}};
    for (const auto &c : corners) {
        GGridCell &cell = w[i + c.di][k + c.dk];
        cell.value += c.share * v;
        cell.weight += c.share;
    }
}

// The working counts of aggregations 4 and 5, made when the grid has none.
bool counts(GGrid *g)
{
    if (g->mask_flag) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return false;
    }
    if (!g->aux)
        g->aux = ggrid_GAllocRows(g->nx, g->nz);
    return g->aux != nullptr;
}

void gather(GGrid *g, GGridCell **w, long i, long k, double v, int aggregation)
{
    GGridCell &c = w[i][k];
    switch (aggregation) {
    case GAGG_MIN:
    case GAGG_MAX:
        if (c.weight != 1.0)
            c = GGridCell{v, 1.0};
        else
            c.value = aggregation == GAGG_MIN ? std::min(c.value, v) : std::max(c.value, v);
        break;
    case GAGG_MEAN:
        c.value += v;
        c.weight += 1.0;
        break;
    case GAGG_RANGE: {
        GGridCell &n = g->aux[i][k];
        if (n.value != 1.0) {
            c = GGridCell{v, v};
            n.value = 1.0;
        } else {
            c.value = std::max(c.value, v);
            c.weight = std::min(c.weight, v);
        }
        break;
    }
    case GAGG_VARIANCE:
        c.value += v * v;
        c.weight += v;
        g->aux[i][k].value += 1.0;
        break;
    case GAGG_COUNT:
        c.value += 1.0;
        c.weight = 1.0;
        break;
    case GAGG_SUM:
        c.value += v;
        c.weight = 1.0;
        break;
    default: break;
    }
}

// Gathered sums into values.  Ranges and variances read their counts from
// aux, which a grid completed before no longer has for them.
void finalise(const GGrid *g, GGridCell **w, int aggregation)
{
    for (long i = 0; i < g->nx; i++)
        for (long k = 0; k < g->nz; k++) {
            GGridCell &c = w[i][k];
            switch (aggregation) {
            case GAGG_SPREAD:
            case GAGG_MEAN:
                if (c.weight != 0.0)
                    c.value /= c.weight;
                break;
            case GAGG_RANGE:
                if (g->aux && g->aux[i][k].value != 0.0)
                    c = GGridCell{c.value - c.weight, 1.0};
                break;
            case GAGG_VARIANCE:
                if (g->aux && g->aux[i][k].value != 0.0) {
                    double n = g->aux[i][k].value, mean = c.weight / n;
                    c = GGridCell{c.value / n - mean * mean, 1.0};
                }
                break;
            default: break;
            }
        }
}

short empty_left(const GGrid *g)
{
    GGridCell **w = working(g);
    for (long i = 0; i < g->nx; i++)
        for (long k = 0; k < g->nz; k++)
            if (!filled(w[i][k]))
                return -2;
    return 0;
}

bool any_filled(const GGrid *g)
{
    GGridCell **w = working(g);
    for (long i = 0; i < g->nx; i++)
        for (long k = 0; k < g->nz; k++)
            if (filled(w[i][k]))
                return true;
    return false;
}

// The square ring of index distance e around (i, k), walked from
// (i-e, k+e) along rising x, falling z, falling x and rising z back to the
// start, which is visited twice.  Positions outside the grid are skipped.
template <class Visit> void ring(const GGrid *g, long i, long k, long e, Visit visit)
{
    auto at = [&](long a, long b) {
        if (a >= 0 && a < g->nx && b >= 0 && b < g->nz)
            visit(a, b);
    };
    for (long a = i - e; a <= i + e; a++)
        at(a, k + e);
    for (long b = k + e - 1; b >= k - e; b--)
        at(i + e, b);
    for (long a = i + e - 1; a >= i - e; a--)
        at(a, k - e);
    for (long b = k - e + 1; b <= k + e; b++)
        at(i - e, b);
}

// The last ring a search looks at: the first distance beyond both sizes.
bool last_ring(const GGrid *g, long e) { return e > g->nx && e > g->nz; }

int complete_check(GGrid *g) { return empty_left(g); }

int complete_nearest(GGrid *g)
{
    if (!any_filled(g))
        return -2;
    GGridCell **w = working(g);
    for (long i = 0; i < g->nx; i++)
        for (long k = 0; k < g->nz; k++) {
            if (filled(w[i][k]))
                continue;
            for (long e = 1;; e++) {
                double sum = 0.0;
                long n = 0;
                ring(g, i, k, e, [&](long a, long b) {
                    if (filled(w[a][b])) {
                        sum += w[a][b].value;
                        n++;
                    }
                });
                if (n > 0) {
                    w[i][k] = GGridCell{sum / static_cast<double>(n), 1.0};
                    break;
                }
                if (last_ring(g, e))
                    break;
            }
        }
    return empty_left(g);
}

int complete_propagate(GGrid *g)
{
    if (!any_filled(g))
        return -2;
    GGridCell **w = working(g);
    for (long i = 0; i < g->nx; i++)
        for (long k = 0; k < g->nz; k++) {
            if (filled(w[i][k]))
                continue;
            double W = 0.0, T = 0.0;
            for (long e = 1;; e++) {
                bool small = false;
                ring(g, i, k, e, [&](long a, long b) {
                    if (!filled(w[a][b]))
                        return;
                    double di = static_cast<double>(a - i), dk = static_cast<double>(b - k);
                    double share = 1.0 / (1e-30 + di * di * di * di + dk * dk * dk * dk);
                    W += share;
                    T += share * w[a][b].value;
                    if (share / W < 0.01)
                        small = true;
                });
                if (small || last_ring(g, e))
                    break;
            }
            if (W > 0.0)
                w[i][k] = GGridCell{T / W, 1.0};
        }
    return empty_left(g);
}

// Completes one line of nodes (a column when along_x is false) through
// its filled nodes when it has three or more; 1 when it had fewer, -1 when
// memory ran out.
int complete_line(GGrid *g, long line, bool along_x, bool spline, double *in, GVector *out)
{
    GGridCell **w = working(g);
    long n = along_x ? g->nx : g->nz;
    double origin = along_x ? g->x0 : g->z0, step = along_x ? g->dx : g->dz;
    long m = 0;
    for (long j = 0; j < n; j++) {
        const GGridCell &c = along_x ? w[j][line] : w[line][j];
        if (!filled(c))
            continue;
        in[3 * m] = origin + static_cast<double>(j) * step;
        in[3 * m + 1] = c.value;
        in[3 * m + 2] = 0.0;
        m++;
    }
    if (m < 3)
        return 1;
    GVector input{GV_DOUBLE, 0, 3, m, {in, nullptr, nullptr}};
    int r = spline ? ginterp_GSplineComplete(&input, origin, 0.0, step, n, out)
                   : ginterp_GLinearComplete(&input, origin, 0.0, step, n, out);
    if (r != 0)
        return -1;
    const double *p = static_cast<const double *>(out->data[0]);
    for (long j = 0; j < n; j++)
        (along_x ? w[j][line] : w[line][j]) = GGridCell{p[3 * j + 1], 1.0};
    return 0;
}

// Columns first; rows only when a column had too few filled nodes.
int complete_lines(GGrid *g, bool spline)
{
    long n = std::max(g->nx, g->nz);
    GBlock<double> in(3 * n), result(3 * n);
    if (!in || !result)
        return -1;
    GVector out{GV_DOUBLE, 0, 3, 0, {result.get(), nullptr, nullptr}};
    bool rows = false;
    for (long i = 0; i < g->nx; i++) {
        int r = complete_line(g, i, false, spline, in.get(), &out);
        if (r < 0)
            return -1;
        rows = rows || r == 1;
    }
    for (long k = 0; rows && k < g->nz; k++)
        if (complete_line(g, k, true, spline, in.get(), &out) < 0)
            return -1;
    return empty_left(g);
}

int complete_bilinear(GGrid *g) { return complete_lines(g, false); }
int complete_bicubic(GGrid *g) { return complete_lines(g, true); }

int bicubic_reader(const GGrid *g, double x, double z, double *y, int) { return ggrid_GBicubicValue(g, x, z, y); }

// Cell of a position along one axis: within the nodes (the last node
// taking the last patch with fraction 1), or, for a discrete read, up to
// the far edge of the last node's cell.
bool locate(double origin, double step, long n, double v, bool discrete, long *index, double *fraction)
{
    if (!std::isfinite(v))
        return false;
    double last = origin + static_cast<double>(discrete ? n : n - 1) * step;
    if (v < origin || v > last)
        return false;
    double a = (v - origin) / step;
    if (discrete) {
        *index = std::min(static_cast<long>(std::floor(a)), n - 1);
        *fraction = 0.0;
    } else {
        a = std::min(a, static_cast<double>(n - 1));
        *index = std::min(static_cast<long>(std::floor(a)), n - 2);
        *fraction = a - static_cast<double>(*index);
    }
    return true;
}

// The colour-map range of a grid's own values, when it has any.
void own_range(GCanvasRecord *canvas, const GGrid *g)
{
    GGridCell **w = working(g);
    double lo = INFINITY, hi = -INFINITY;
    for (long i = 0; i < g->nx; i++)
        for (long k = 0; k < g->nz; k++)
            if (filled(w[i][k])) {
                lo = std::fmin(lo, w[i][k].value);
                hi = std::fmax(hi, w[i][k].value);
            }
    if (lo > hi)
        return;
    GColourMapModes m = canvas->colourmap;
    m.datamin = lo;
    m.datamax = hi;
    gcolmap_GSetColourMapModes(canvas, GCMM_DATAMIN | GCMM_DATAMAX, &m);
}

// Patch centres into aux where it has no weight, or aux released.
int patch_centres(GCanvasRecord *canvas, GGrid *g)
{
    if (!canvas->grid.patch_centres || g->overlay_flag) {
        ggrid_GFreeRows(g->aux);
        g->aux = nullptr;
        g->mask_flag = 0;
        return 0;
    }
    if (!g->aux && !(g->aux = ggrid_GAllocRows(g->nx, g->nz)))
        return -1;
    GGridCell **v = g->values;
    for (long i = 0; i + 1 < g->nx; i++)
        for (long k = 0; k + 1 < g->nz; k++)
            if (g->aux[i][k].weight == 0.0)
                g->aux[i][k].value = 0.25 * (v[i][k].value + v[i + 1][k].value + v[i][k + 1].value + v[i + 1][k + 1].value);
    return 0;
}

}  // namespace

void *(*ggrid_block_alloc)(long size) = default_alloc;

const GGridMethod GridMethods[GGRID_METHODS] = {
    {ggrid_GBilinearValue, complete_check},    {ggrid_GBilinearValue, complete_nearest},
    {ggrid_GBilinearValue, complete_propagate}, {ggrid_GBilinearValue, complete_bilinear},
    {bicubic_reader, complete_bicubic},
};

GGridCell **ggrid_GAllocRows(long nx, long nz)
{
    auto **rows = static_cast<GGridCell **>(ggrid_block_alloc(nx * static_cast<long>(sizeof(GGridCell *))));
    auto *block = rows ? static_cast<GGridCell *>(ggrid_block_alloc(nx * nz * static_cast<long>(sizeof(GGridCell))))
                       : nullptr;
    if (!rows || !block) {
        vx_free(rows);
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    memset(static_cast<void *>(block), 0, static_cast<size_t>(nx * nz) * sizeof(GGridCell));
    for (long i = 0; i < nx; i++)
        rows[i] = block + i * nz;
    return rows;
}

void ggrid_GFreeRows(GGridCell **rows)
{
    if (!rows)
        return;
    vx_free(rows[0]);
    vx_free(rows);
}

// ---- grid modes and the cached grid --------------------------------------

int ggrid_GSetGridModes(GCanvasRecord *canvas, uint64_t mask, const GGridModes *modes)
{
    if (!canvas || !modes)
        return -1;
    GGridModes &g = canvas->grid;
    if (mask & GGM_METHOD) g.method = modes->method;
    if (mask & GGM_LOCK) g.line_colour_lock = modes->line_colour_lock;
    if (mask & GGM_CACHED) g.cached = modes->cached;
    if (mask & GGM_CENTRES) g.patch_centres = modes->patch_centres;
    if (mask & GGM_AGGREGATION) g.aggregation = modes->aggregation;
    return 0;
}

int ggrid_GGetGridModes(GCanvasRecord *canvas, GGridModes *modes)
{
    if (!canvas || !modes)
        return -1;
    *modes = canvas->grid;
    return 0;
}

int ggrid_GSetDefaultGridModes(GCanvasRecord *canvas)
{
    if (!canvas)
        return -1;
    ggrid_GDestroyCanvasGrid(canvas);
    canvas->grid = GGridModes{0, 0, GGRID_PROPAGATE, GAGG_SPREAD, nullptr};
    return 0;
}

int ggrid_GCacheGrid(GCanvasRecord *canvas, GGrid *grid)
{
    if (!canvas)
        return -1;
    canvas->grid.cached = grid;
    return 0;
}

GGrid *ggrid_GGetCachedGrid(GCanvasRecord *canvas) { return canvas ? canvas->grid.cached : nullptr; }

int ggrid_GDestroyCanvasGrid(GCanvasRecord *canvas)
{
    if (!canvas)
        return -1;
    ggrid_GDestroyGrid(canvas->grid.cached);
    canvas->grid.cached = nullptr;
    return 0;
}

// ---- life of a grid --------------------------------------------------------

GGrid *ggrid_GCreateGrid(double x0, double dx, long nx, double z0, double dz, long nz)
{
    bool finite = std::isfinite(x0 + static_cast<double>(nx) * dx) && std::isfinite(z0 + static_cast<double>(nz) * dz) &&
                  std::isfinite(x0) && std::isfinite(z0);
    if (nx < 2 || nz < 2 || nx > INT16_MAX || nz > INT16_MAX || !(dx > 0.0) || !(dz > 0.0) || !finite) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return nullptr;
    }
    auto *g = static_cast<GGrid *>(ggrid_block_alloc(static_cast<long>(sizeof(GGrid))));
    if (!g) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    *g = GGrid{static_cast<int16_t>(nx), static_cast<int16_t>(nz), x0, dx, z0, dz, nullptr, nullptr, nullptr, 0, 0, 0};
    g->values = ggrid_GAllocRows(nx, nz);
    g->aux = g->values ? ggrid_GAllocRows(nx, nz) : nullptr;
    if (!g->aux) {
        ggrid_GFreeRows(g->values);
        vx_free(g);
        return nullptr;
    }
    return g;
}

int ggrid_GDestroyGrid(GGrid *grid)
{
    if (!grid)
        return -1;
    ggrid_GFreeRows(grid->aux);
    ggrid_GFreeRows(grid->values);
    if (grid->overlay_flag)
        ggrid_GFreeRows(grid->overlay);
    vx_free(grid);
    return 0;
}

int ggrid_GAddGridPoint(GCanvasRecord *canvas, GGrid *grid, double x, double y, double z)
{
    if (!canvas || !grid || !grid->values || !std::isfinite(y))
        return -1;
    // A band one step wide around the nodes; written so that NaN and
    // infinite positions fail it too.
    const GGrid &g = *grid;
    if (!(x >= g.x0 - g.dx && x <= g.x0 + (g.nx - 1) * g.dx + g.dx && z >= g.z0 - g.dz &&
          z <= g.z0 + (g.nz - 1) * g.dz + g.dz))
        return -1;
    double a = (x - g.x0) / g.dx, b = (z - g.z0) / g.dz;
    long i, k;
    if (canvas->grid.method == GGRID_CHECK) {
        if (!on_node(a, &i) || !on_node(b, &k))
            return -2;
    } else {
        i = nearest(a);
        k = nearest(b);
    }
    if (i < 0 || i >= g.nx || k < 0 || k >= g.nz)
        return -1;
    int aggregation = canvas->grid.aggregation;
    if ((aggregation == GAGG_RANGE || aggregation == GAGG_VARIANCE) && !counts(grid))
        return -1;
    GGridCell **w = working(grid);
    if (aggregation == GAGG_SPREAD)
        spread(grid, w, i, k, x, z, y);
    else
        gather(grid, w, i, k, y, aggregation);
    grid->finished = 0;
    return 0;
}

short ggrid_GCompleteGrid(GCanvasRecord *canvas, GGrid *grid, unsigned char *range_changed)
{
    unsigned char ignored;
    unsigned char &changed = range_changed ? *range_changed : ignored;
    changed = 1;
    if (!canvas || !grid || !grid->values)
        return -1;
    const GGridModes m = canvas->grid;
    if (m.method >= GGRID_METHODS) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return -1;
    }
    // A grid completed before keeps its values: completing it again (after
    // a change of colour map) only fills and measures it.
    if (!grid->finished)
        finalise(grid, working(grid), m.aggregation);
    grid->finished = 1;
    changed = m.aggregation >= GAGG_RANGE && m.aggregation <= GAGG_SUM ? 1 : 0;
    int r = GridMethods[m.method].complete(grid);
    if (r == -1 || patch_centres(canvas, grid) != 0)
        return -1;
    if (changed)
        own_range(canvas, grid);
    return static_cast<short>(r);
}

int ggrid_GGetGridSize(const GGrid *grid, long *nx, long *nz)
{
    if (!grid)
        return -1;
    *nx = grid->nx;
    *nz = grid->nz;
    return 0;
}

// ---- reading ---------------------------------------------------------------

int ggrid_GBilinearValue(const GGrid *g, double x, double z, double *y, int discrete)
{
    long i, k;
    double fx, fz;
    if (!g || !g->values || !locate(g->x0, g->dx, g->nx, x, discrete, &i, &fx) ||
        !locate(g->z0, g->dz, g->nz, z, discrete, &k, &fz))
        return -1;
    GGridCell **v = g->values;
    if (discrete) {
        *y = v[i][k].value;
        return 0;
    }
    *y = (1 - fx) * (1 - fz) * v[i][k].value + fx * (1 - fz) * v[i + 1][k].value + fx * fz * v[i + 1][k + 1].value +
         (1 - fx) * fz * v[i][k + 1].value;
    return 0;
}

int ggrid_GBicubicValue(const GGrid *g, double x, double z, double *y)
{
    long i, k;
    double fx, fz;
    if (!g || !locate(g->x0, g->dx, g->nx, x, false, &i, &fx) || !locate(g->z0, g->dz, g->nz, z, false, &k, &fz))
        return -1;
    double point[3] = {x, 0.0, z};
    GVector v{GV_DOUBLE, 0, 3, 1, {point, nullptr, nullptr}};
    if (ginterp_GEvaluateWithSpline(g, &v) != 0)
        return -1;
    *y = point[1];
    return 0;
}

int GGridGetYValue(GCanvasRecord *canvas, const GGrid *grid, double *x, double *z, double *y, int discrete)
{
    if (!canvas || !grid || !x || !z || !y)
        return 1;
    if (!discrete) {
        int method = canvas->grid.method;
        if (method >= GGRID_METHODS)
            return 1;
        return GridMethods[method].reader(grid, *x, *z, y, 0) == 0 ? 0 : 1;
    }
    if (ggrid_GBilinearValue(grid, *x, *z, y, 1) != 0)
        return 1;
    long i = std::min(static_cast<long>(std::floor((*x - grid->x0) / grid->dx)), grid->nx - 1L);
    long k = std::min(static_cast<long>(std::floor((*z - grid->z0) / grid->dz)), grid->nz - 1L);
    *x = grid->x0 + static_cast<double>(i) * grid->dx;
    *z = grid->z0 + static_cast<double>(k) * grid->dz;
    return 0;
}
