// Interpolation: natural cubic splines and Neville polynomials in one and
// two dimensions, the completers that resample scattered 1-D data onto
// even positions, and the resamplers of curves and grids.
//
// The bracket of the last evaluation is kept between calls, one pair for x
// and one for z: evaluations are expected in rising order after a reset,
// and the kernel is single-threaded.

#include "ggridhook.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>

namespace {

struct Bracket {
    long lo = 0, hi = 1;
};
Bracket xb, zb;

void reset(Bracket &b) { b = Bracket{}; }

using Doubles = GBlock<double>;

// Abscissas that rise strictly over at least three points, all finite.
// Resets the x bracket.
int valid(const double *x, long n)
{
    if (n <= 2 || !std::isfinite(x[0]))
        return -1;
    for (long i = 1; i < n; i++)
        if (!(x[i] > x[i - 1]) || !std::isfinite(x[i]))
            return -1;
    reset(xb);
    return 0;
}

// Keeps (lo, hi) while x[lo] <= v <= x[hi]; otherwise moves forward to the
// first abscissa at or above v (or stays on the last interval found).
void bracket(const double *x, long n, double v, Bracket &b)
{
    if (b.hi >= n || b.lo < 0 || b.lo >= b.hi)
        reset(b);
    if (x[b.lo] <= v && v <= x[b.hi])
        return;
    for (long i = b.hi + 1; i < n; i++)
        if (v <= x[i]) {
            b.hi = i;
            b.lo = i - 1;
            return;
        }
    b.lo = b.hi - 1;
}

// Second derivatives of the natural cubic spline through (x[i], y[i]).
int spline_setup(const double *x, const double *y, long n, double *y2)
{
    Doubles u(n);
    if (!u)
        return -1;
    y2[0] = u[0] = 0.0;
    for (long i = 1; i < n - 1; i++) {
        double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        double p = sig * y2[i - 1] + 2.0;
        y2[i] = (sig - 1.0) / p;
        double slope = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
        u[i] = (6.0 * slope / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
    }
    y2[n - 1] = 0.0;
    for (long k = n - 2; k >= 0; k--)
        y2[k] = y2[k] * y2[k + 1] + u[k];
    reset(xb);
    return 0;
}

double spline_at(const double *x, const double *y, const double *y2, long lo, long hi, double v)
{
    double h = x[hi] - x[lo];
    double a = (x[hi] - v) / h, b = (v - x[lo]) / h;
    return a * y[lo] + b * y[hi] + ((a * a * a - a) * y2[lo] + (b * b * b - b) * y2[hi]) * h * h / 6.0;
}

double spline_eval(const double *x, const double *y, const double *y2, long n, double v, bool search)
{
    if (search)
        bracket(x, n, v, xb);
    return spline_at(x, y, y2, xb.lo, xb.hi, v);
}

// The abscissas and one coordinate of a double vector, as two arrays.
struct Series {
    Doubles x, y;
    long n;
    explicit Series(long count) : x(count), y(count), n(count) {}
    bool ok() const { return static_cast<bool>(x) && static_cast<bool>(y); }
};

bool readable(const GVector *v, int coord)
{
    if (!v || v->type != GV_DOUBLE || v->count < 1 || coord >= v->dims || v->dims < 2 || v->dims > 3)
        return false;
    return v->separate ? v->data[0] && v->data[coord] : v->data[0] != nullptr;
}

void read_series(const GVector *v, int coord, Series &s)
{
    for (long i = 0; i < s.n; i++)
        if (v->separate) {
            s.x[i] = static_cast<const double *>(v->data[0])[i];
            s.y[i] = static_cast<const double *>(v->data[coord])[i];
        } else {
            const double *p = static_cast<const double *>(v->data[0]) + i * v->dims;
            s.x[i] = p[0];
            s.y[i] = p[coord];
        }
}

// The output of a completer: its own array, or a new one of n points.
double *completer_output(GVector *out, long n)
{
    if (out->data[0]) {
        if (out->type != GV_DOUBLE || out->separate || out->dims != 3)
            return nullptr;
        out->count = n;
        return static_cast<double *>(out->data[0]);
    }
    Doubles block(3 * n);
    if (!block)
        return nullptr;
    *out = GVector{GV_DOUBLE, 0, 3, n, {block.release(), nullptr, nullptr}};
    return static_cast<double *>(out->data[0]);
}

int complete(const GVector *input, double start, double step, long n, GVector *output, bool spline)
{
    if (!readable(input, 1) || !output || n < input->count || !std::isfinite(start) || !std::isfinite(step))
        return -1;
    Series s(input->count);
    if (!s.ok())
        return -1;
    read_series(input, 1, s);
    if (valid(s.x.get(), s.n) != 0)
        return -1;
    Doubles y2(s.n);
    if (!y2 || (spline && spline_setup(s.x.get(), s.y.get(), s.n, y2.get()) != 0))
        return -1;
    double *out = completer_output(output, n);
    if (!out)
        return -1;
    double p = start;
    const double *x = s.x.get(), *y = s.y.get();
    for (long i = 0; i < n; i++, p += step) {
        double value = 0.0;
        if (p < x[0]) {
            value = y[0];
        } else if (p > x[s.n - 1]) {
            value = y[s.n - 1];
        } else if (spline) {
            value = spline_eval(x, y, y2.get(), s.n, p, true);
        } else {
            bracket(x, s.n, p, xb);
            double error;
            ginterp_GPolyint(x + xb.lo, y + xb.lo, 2, p, &value, &error);
        }
        out[3 * i] = p;
        out[3 * i + 1] = value;
        out[3 * i + 2] = 0.0;
    }
    return 0;
}

// The spline of a table Y of nz rows (one per z) of nx entries along x.
int spline2_setup(const double *xs, double **Y, long nx, long nz, double **Y2)
{
    for (long k = 0; k < nz; k++)
        if (spline_setup(xs, Y[k], nx, Y2[k]) != 0)
            return -1;
    return 0;
}

// Every row at x, then the spline through the row results along z.
int spline2_eval(const double *xs, const double *zs, double **Y, double **Y2, long nx, long nz, double x,
                 double z, double *result)
{
    Doubles rows(nz), rows2(nz);
    if (!rows || !rows2)
        return -1;
    reset(xb);
    for (long k = 0; k < nz; k++)
        rows[k] = spline_eval(xs, Y[k], Y2[k], nx, x, true);
    if (spline_setup(zs, rows.get(), nz, rows2.get()) != 0)
        return -1;
    reset(xb);
    *result = spline_eval(zs, rows.get(), rows2.get(), nz, z, true);
    return 0;
}

// Neville along z within each of the m window rows, then along x.
int polin2(const double *xw, const double *zw, double **sub, long m, long n, double x, double z, double *result,
           double *error)
{
    double along[20];
    for (long j = 0; j < m; j++)
        if (ginterp_GPolyint(zw, sub[j], n, z, &along[j], error) != 0)
            return -1;
    return ginterp_GPolyint(xw, along, m, x, result, error);
}

// First index of an (order + 1)-point window around interval lo, kept
// within the data.
long window_start(long lo, long order, long count)
{
    long first = order <= 1 ? lo : lo - (order + 1) / 2;
    if (first > count - order - 1)
        first = count - order - 1;
    return first < 0 ? 0 : first;
}

bool rising(const double *x, long n)
{
    if (n < 2 || !std::isfinite(x[0]))
        return false;
    for (long i = 1; i < n; i++)
        if (!(x[i] > x[i - 1]) || !std::isfinite(x[i]))
            return false;
    return true;
}

// Abscissas that move strictly one way (rising or falling), all finite.
bool monotone(const double *x, long n)
{
    if (n < 2)
        return false;
    double sign = x[1] > x[0] ? 1.0 : -1.0;
    for (long i = 1; i < n; i++)
        if (!(sign * (x[i] - x[i - 1]) > 0.0) || !std::isfinite(x[i]) || !std::isfinite(x[i - 1]))
            return false;
    return true;
}

// The node positions of a grid along one axis.
void positions(double origin, double step, long n, double *out)
{
    for (long i = 0; i < n; i++)
        out[i] = origin + static_cast<double>(i) * step;
}

// A grid's value rows (rows by x) copied into a double matrix.
double **value_matrix(const GGrid *g)
{
    double **m = gmatrix_GGetMatrix(g->nx, g->nz);
    if (!m)
        return nullptr;
    for (long i = 0; i < g->nx; i++)
        for (long k = 0; k < g->nz; k++)
            m[i][k] = g->values[i][k].value;
    return m;
}

struct Matrix {
    double **m;
    ~Matrix() { gmatrix_GFreeMatrix(m); }
};

// Sizes a resampling of the grid may take, and the grid it may work on.
bool resample_ok(const GGrid *g, long nx_out, long nz_out)
{
    if (!g || !g->values || g->overlay_flag || nx_out < 2 || nz_out < 2 || nx_out > INT16_MAX ||
        nz_out > INT16_MAX) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return false;
    }
    return true;
}

// The grid takes the new rows (weights 1) and steps; the old rows and the
// working array go.
void replace_rows(GGrid *g, GGridCell **rows, long nx_out, long nz_out)
{
    double x_last = g->x0 + (g->nx - 1) * g->dx, z_last = g->z0 + (g->nz - 1) * g->dz;
    ggrid_GFreeRows(g->values);
    ggrid_GFreeRows(g->aux);
    g->values = rows;
    g->aux = nullptr;
    g->mask_flag = 0;
    g->nx = static_cast<int16_t>(nx_out);
    g->nz = static_cast<int16_t>(nz_out);
    g->dx = (x_last - g->x0) / static_cast<double>(nx_out - 1);
    g->dz = (z_last - g->z0) / static_cast<double>(nz_out - 1);
}

}  // namespace

int ginterp_GPolyint(const double *x, const double *y, long n, double v, double *result, double *error)
{
    if (n < 1 || n > 20)
        return -1;
    double c[20], d[20];
    long ns = 0;
    double dif = std::fabs(v - x[0]);
    for (long i = 0; i < n; i++) {
        double dift = std::fabs(v - x[i]);
        if (dift < dif) {
            ns = i;
            dif = dift;
        }
        c[i] = d[i] = y[i];
    }
    double value = y[ns--];
    double dy = 0.0;
    for (long m = 1; m < n; m++) {
        for (long i = 0; i < n - m; i++) {
            double ho = x[i] - v, hp = x[i + m] - v;
            double w = c[i + 1] - d[i];
            double den = ho - hp;
            if (den == 0.0)
                return -1;
            den = w / den;
            d[i] = hp * den;
            c[i] = ho * den;
        }
        dy = 2 * (ns + 1) < n - m ? c[ns + 1] : d[ns--];
        value += dy;
    }
    *result = value;
    *error = dy;
    return 0;
}

int ginterp_GLinearComplete(const GVector *input, double start, double, double step, long n, GVector *output)
{
    return complete(input, start, step, n, output, false);
}

int ginterp_GSplineComplete(const GVector *input, double start, double, double step, long n, GVector *output)
{
    return complete(input, start, step, n, output, true);
}

int ginterp_GEvaluateWithSpline(const GGrid *grid, GVector *vector)
{
    if (!grid || !grid->values || !vector || vector->type != GV_DOUBLE || vector->separate || vector->dims != 3 ||
        !vector->data[0] || vector->count < 1)
        return -1;
    double *point = static_cast<double *>(vector->data[0]);
    long nx = grid->nx, nz = grid->nz;
    Doubles xs(nx), zs(nz);
    if (!xs || !zs)
        return -1;
    positions(grid->x0, grid->dx, nx, xs.get());
    positions(grid->z0, grid->dz, nz, zs.get());
    Matrix Y{gmatrix_GGetMatrix(nz, nx)}, Y2{gmatrix_GGetMatrix(nz, nx)};
    if (!Y.m || !Y2.m)
        return -1;
    for (long k = 0; k < nz; k++)
        for (long i = 0; i < nx; i++)
            Y.m[k][i] = grid->values[i][k].value;
    reset(xb);
    reset(zb);
    if (spline2_setup(xs.get(), Y.m, nx, nz, Y2.m) != 0)
        return -1;
    return spline2_eval(xs.get(), zs.get(), Y.m, Y2.m, nx, nz, point[0], point[2], &point[1]);
}

int ginterp_GSpline1D(void *, const GVector *input, long n_out, GVector *output)
{
    if (!readable(input, 1) || !output || n_out < input->count || input->count < 2)
        return -1;
    Series s(input->count);
    if (!s.ok())
        return -1;
    read_series(input, 1, s);
    const double *x = s.x.get(), *y = s.y.get();
    if (!monotone(x, s.n))
        return -1;
    Doubles y2(s.n);
    if (!y2 || spline_setup(x, y, s.n, y2.get()) != 0)
        return -1;
    long k = n_out / s.n;
    long written = (s.n - 1) * k + 1;
    Doubles out(3 * written);
    if (!out)
        return -1;
    long w = 0;
    for (long j = 0; j + 1 < s.n; j++) {
        double step = (x[j + 1] - x[j]) / static_cast<double>(k);
        long lo = step < 0 ? j + 1 : j, hi = step < 0 ? j : j + 1;
        for (long q = 0; q < k; q++, w++) {
            double p = x[j] + static_cast<double>(q) * step;
            out[3 * w] = p;
            out[3 * w + 1] = spline_at(x, y, y2.get(), lo, hi, p);
            out[3 * w + 2] = 0.0;
        }
    }
    out[3 * w] = x[s.n - 1];
    out[3 * w + 1] = y[s.n - 1];
    out[3 * w + 2] = 0.0;
    *output = GVector{GV_DOUBLE, 0, 3, written, {out.release(), nullptr, nullptr}};
    return 0;
}

int ginterp_GPolynomial1D(const GVector *input, long n_out, long order, GVector *output)
{
    if (!input || !output || input->dims < 2 || input->dims > 3)
        return -1;
    int coord = input->dims == 2 ? 1 : 2;
    long count = input->count;
    if (!readable(input, coord) || n_out < count || n_out < 2 || order < 0 || order > 19 || order + 1 > count)
        return -1;
    Series s(count);
    if (!s.ok())
        return -1;
    read_series(input, coord, s);
    const double *x = s.x.get(), *v = s.y.get();
    if (!rising(x, count))
        return -1;
    double carried = gvector_GGetValue(input, 0, 1);
    Doubles out(3 * n_out);
    if (!out)
        return -1;
    double step = (x[count - 1] - x[0]) / static_cast<double>(n_out - 1);
    reset(xb);
    for (long i = 0; i < n_out; i++) {
        double p = i + 1 == n_out ? x[count - 1] : x[0] + static_cast<double>(i) * step;
        bracket(x, count, p, xb);
        long first = window_start(xb.lo, order, count);
        double value = 0.0, error;
        ginterp_GPolyint(x + first, v + first, order + 1, p, &value, &error);
        out[3 * i] = p;
        out[3 * i + 1] = coord == 1 ? value : carried;
        out[3 * i + 2] = coord == 1 ? 0.0 : value;
    }
    *output = GVector{GV_DOUBLE, 0, 3, n_out, {out.release(), nullptr, nullptr}};
    return 0;
}

int ginterp_GPolynomial2D(void *, GGrid *grid, long nx_out, long nz_out, long order)
{
    if (!resample_ok(grid, nx_out, nz_out))
        return -1;
    long nx = grid->nx, nz = grid->nz;
    if (order < 0 || order > 19 || order + 1 > nx || order + 1 > nz) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return -1;
    }
    Doubles xs(nx), zs(nz);
    Matrix values{value_matrix(grid)};
    if (!xs || !zs || !values.m)
        return -1;
    positions(grid->x0, grid->dx, nx, xs.get());
    positions(grid->z0, grid->dz, nz, zs.get());
    GGridCell **rows = ggrid_GAllocRows(nx_out, nz_out);
    if (!rows)
        return -1;
    double ndx = (xs[nx - 1] - grid->x0) / static_cast<double>(nx_out - 1);
    double ndz = (zs[nz - 1] - grid->z0) / static_cast<double>(nz_out - 1);
    reset(xb);
    for (long i = 0; i < nx_out; i++) {
        double x = i + 1 == nx_out ? xs[nx - 1] : grid->x0 + static_cast<double>(i) * ndx;
        bracket(xs.get(), nx, x, xb);
        long fx = window_start(xb.lo, order, nx);
        reset(zb);
        for (long k = 0; k < nz_out; k++) {
            double z = k + 1 == nz_out ? zs[nz - 1] : grid->z0 + static_cast<double>(k) * ndz;
            bracket(zs.get(), nz, z, zb);
            long fz = window_start(zb.lo, order, nz);
            double *window[20];
            for (long j = 0; j <= order; j++)
                window[j] = values.m[fx + j] + fz;
            double value = 0.0, error;
            polin2(xs.get() + fx, zs.get() + fz, window, order + 1, order + 1, x, z, &value, &error);
            rows[i][k] = GGridCell{value, 1.0};
        }
    }
    replace_rows(grid, rows, nx_out, nz_out);
    return 0;
}

int GSpline2D(void *, GGrid *grid, long nx_out, long nz_out)
{
    if (!resample_ok(grid, nx_out, nz_out))
        return -1;
    long nx = grid->nx, nz = grid->nz;
    Doubles xs(nx), zs(nz), along(nz), along2(nz);
    Matrix Y{gmatrix_GGetMatrix(nz, nx)}, Y2{gmatrix_GGetMatrix(nz, nx)};
    if (!xs || !zs || !along || !along2 || !Y.m || !Y2.m)
        return -1;
    positions(grid->x0, grid->dx, nx, xs.get());
    positions(grid->z0, grid->dz, nz, zs.get());
    for (long k = 0; k < nz; k++)
        for (long i = 0; i < nx; i++)
            Y.m[k][i] = grid->values[i][k].value;
    reset(xb);
    reset(zb);
    if (spline2_setup(xs.get(), Y.m, nx, nz, Y2.m) != 0)
        return -1;
    GGridCell **rows = ggrid_GAllocRows(nx_out, nz_out);
    if (!rows)
        return -1;
    double ndx = (xs[nx - 1] - grid->x0) / static_cast<double>(nx_out - 1);
    double ndz = (zs[nz - 1] - grid->z0) / static_cast<double>(nz_out - 1);
    for (long i = 0; i < nx_out; i++) {
        // The two-dimensional spline at (x, z) for every z of this column:
        // the rows at x once, then one spline along z.
        double x = i + 1 == nx_out ? xs[nx - 1] : grid->x0 + static_cast<double>(i) * ndx;
        reset(xb);
        for (long k = 0; k < nz; k++)
            along[k] = spline_eval(xs.get(), Y.m[k], Y2.m[k], nx, x, true);
        if (spline_setup(zs.get(), along.get(), nz, along2.get()) != 0) {
            ggrid_GFreeRows(rows);
            return -1;
        }
        for (long k = 0; k < nz_out; k++) {
            double z = k + 1 == nz_out ? zs[nz - 1] : grid->z0 + static_cast<double>(k) * ndz;
            rows[i][k] = GGridCell{spline_eval(zs.get(), along.get(), along2.get(), nz, z, true), 1.0};
        }
    }
    replace_rows(grid, rows, nx_out, nz_out);
    return 0;
}

// The check and the bracket are reached by the tests through these.
int ginterp_GCheckAbscissas(const double *x, long n) { return valid(x, n); }
void ginterp_GBracket(const double *x, long n, double v, long *lo, long *hi)
{
    bracket(x, n, v, xb);
    *lo = xb.lo;
    *hi = xb.hi;
}
