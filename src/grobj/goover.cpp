// Overlays of a graph: statistical lines drawn over one dataset and their
// statistics published as named values.  One pass over the dataset's
// non-null points gives the count, extremes and sums (and keeps the values
// when a curve needs them); the lines run across the x data range.

#include "goover.h"

#include "gomain.h"
#include "gotvar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

GoOverlaySegmentProc segment_proc = nullptr, non_constant_proc = nullptr;
GoOverlayConstantProc constant_proc = nullptr;

// What the default procedures need of the dataset being drawn.
struct Drawing {
    GoGraph *graph = nullptr;
    GoAxisBlock *yblock = nullptr;
    double xshift = 0;
};
Drawing drawing;

int iprop(GoGraph *g, int p, int q = 0)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, q, 0));
    return v ? *v : 0;
}

double through(ScaleProc p, double v) { return p ? p(v) : v; }

GoTupleReader reader_of(GoGraph *graph)
{
    const GoClass *cls = gomain_go_class(graph);
    auto reader = reinterpret_cast<GoTupleReader>(
        goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
    return reader ? reader : goprop_triple_reader;
}

void default_line(GoGraph *graph, double x1, double y1, double x2, double y2)
{
    if (!graph || !graph->canvas)
        return;
    const bool current = drawing.graph == graph;
    GoAxisBlock *yb = current && drawing.yblock ? drawing.yblock : &graph->yblock;
    const double shift = current ? drawing.xshift : 0;
    const ScaleProc fx = scale_GGetForwardScaleProc(&graph->xblock.scale);
    const ScaleProc fy = scale_GGetForwardScaleProc(&yb->scale);
    double a[2] = {through(fx, x1 + shift), through(fy, y1)};
    double b[2] = {through(fx, x2 + shift), through(fy, y2)};
    if (!std::isfinite(a[0]) || !std::isfinite(a[1]) || !std::isfinite(b[0]) || !std::isfinite(b[1]))
        return;
    GVector va{GV_DOUBLE, 0, 2, 1, {a, nullptr, nullptr}}, vb{GV_DOUBLE, 0, 2, 1, {b, nullptr, nullptr}};
    gdraw_GDrawLine(graph->canvas, &va, &vb);
}

void default_constant(GoGraph *graph, double x0, double x1, double y) { default_line(graph, x0, y, x1, y); }

void segment(GoGraph *g, double x1, double y1, double x2, double y2)
{
    (segment_proc ? segment_proc : default_line)(g, x1, y1, x2, y2);
}
void constant(GoGraph *g, double x0, double x1, double y) { (constant_proc ? constant_proc : default_constant)(g, x0, x1, y); }
void straight(GoGraph *g, double x1, double y1, double x2, double y2)
{
    (non_constant_proc ? non_constant_proc : default_line)(g, x1, y1, x2, y2);
}

// The dataset's non-null points: count, extremes, and sums of the values
// less the first point's (which keeps the sums of squares exact enough for
// large values such as dates); the values themselves when asked for.
struct Pass {
    long n = 0;
    double min = 0, max = 0;
    double kx = 0, ky = 0;
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    std::vector<double> xs, ys;

    double mean_x() const { return kx + sx / static_cast<double>(n); }
    double mean_y() const { return ky + sy / static_cast<double>(n); }
};

void read_dataset(GoGraph *graph, int dataset, bool keep, Pass &p)
{
    const GoTupleReader reader = reader_of(graph);
    const int was = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    GoTuple t{};
    t.dataset = dataset;
    for (;;) {
        reader(&t);
        if (t.status & GT_S_END)
            break;
        goprop_go_next_point(&t);
        if (goprop_null_tuple(&t) || !t.y)
            continue;
        const double y = *t.y, x = t.x ? *t.x : 0;
        if (!std::isfinite(x) || !std::isfinite(y))
            continue;
        if (p.n == 0) {
            p.kx = x;
            p.ky = y;
            p.min = p.max = y;
        }
        p.n++;
        p.min = std::min(p.min, y);
        p.max = std::max(p.max, y);
        const double dx = x - p.kx, dy = y - p.ky;
        p.sx += dx;
        p.sy += dy;
        p.sxx += dx * dx;
        p.syy += dy * dy;
        p.sxy += dx * dy;
        if (keep) {
            p.xs.push_back(x);
            p.ys.push_back(y);
        }
    }
    goprop_go_tuple_autoinc(was);
}

void switch_off(GoGraph *graph, int from, int to)
{
    const int zero = 0;
    for (int k = from; k <= to; k++)
        goprop_go_set_property(graph, GP_OVERLAYON, k, &zero);
    go_mn_reset_format_dialogs();
}

void line_modes(GoGraph *graph, int k)
{
    if (!graph->canvas)
        return;
    GLineModes lm{};
    lm.style = iprop(graph, GP_OVLSTYLE, k);
    lm.colour = iprop(graph, GP_OVLCOLOUR, k);
    lm.width = 0;
    GSetLineModes(graph->canvas, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &lm);
}

// ---- the natural cubic spline ------------------------------------------------------------

// Second derivatives by the tridiagonal method, 0 at both ends.  The x
// values rise strictly.
std::vector<double> spline_second_derivatives(const std::vector<double> &x, const std::vector<double> &y)
{
    const size_t n = x.size();
    std::vector<double> y2(n, 0.0), u(n, 0.0);
    for (size_t i = 1; i + 1 < n; i++) {
        const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * y2[i - 1] + 2.0;
        y2[i] = (sig - 1.0) / p;
        const double d = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
        u[i] = (6.0 * d / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
    }
    y2[n - 1] = 0;
    for (size_t k = n - 1; k-- > 0;)
        y2[k] = y2[k] * y2[k + 1] + u[k];
    return y2;
}

struct SplineEval {
    const std::vector<double> &x, &y, &y2;
    size_t lo = 0, hi = 1;

    double at(double v)
    {
        if (v < x[lo] || v > x[hi]) {
            // Forwards from the interval kept, or from the start for an x
            // before it.
            size_t i = v > x[hi] ? hi : 1;
            while (i + 1 < x.size() && !(x[i] > v))
                i++;
            lo = i - 1;
            hi = i;
        }
        const double h = x[hi] - x[lo];
        const double a = (x[hi] - v) / h, b = (v - x[lo]) / h;
        return a * y[lo] + b * y[hi] + ((a * a * a - a) * y2[lo] + (b * b * b - b) * y2[hi]) * h * h / 6.0;
    }
};

bool strictly_rising(const std::vector<double> &x)
{
    for (size_t i = 1; i < x.size(); i++)
        if (!(x[i] > x[i - 1]))
            return false;
    return true;
}

template <class F>
void draw_curve(GoGraph *graph, double x0, double x1, F &&f)
{
    const double step = (x1 - x0) / (GO_OVERLAY_POINTS - 1);
    double px = x0, py = f(x0);
    for (int i = 1; i < GO_OVERLAY_POINTS; i++) {
        const double x = i == GO_OVERLAY_POINTS - 1 ? x1 : x0 + i * step;
        const double y = f(x);
        segment(graph, px, py, x, y);
        px = x;
        py = y;
    }
}

// ---- the least-squares polynomial -----------------------------------------------------------

// The polynomial of order p, computed in u = (x - centre) / spread and
// given back in both forms.
struct Polynomial {
    int order = 0;
    double centre = 0, spread = 1;
    std::array<double, GO_POLY_MAX_ORDER + 1> d{};  // in u
    std::array<double, GO_POLY_MAX_ORDER + 1> c{};  // in x

    double at(double x) const
    {
        const double u = (x - centre) / spread;
        double v = 0;
        for (int i = order; i >= 0; i--)
            v = v * u + d[static_cast<size_t>(i)];
        return v;
    }
};

using Matrix = std::array<std::array<double, GO_POLY_MAX_ORDER + 1>, GO_POLY_MAX_ORDER + 1>;

// Column k of the inverse of the p x p matrix a (1-based) by Gaussian
// elimination without pivoting; false when a pivot is zero.
bool inverse_column(const Matrix &a, int p, int k, std::array<double, GO_POLY_MAX_ORDER + 1> &z)
{
    Matrix m = a;
    std::array<double, GO_POLY_MAX_ORDER + 1> e{};
    e[static_cast<size_t>(k)] = 1;
    double scale = 0;
    for (int i = 1; i <= p; i++)
        for (int j = 1; j <= p; j++)
            scale = std::max(scale, std::fabs(a[i][j]));
    for (int col = 1; col <= p; col++) {
        const double pivot = m[col][col];
        if (!(std::fabs(pivot) > 1e-12 * scale))
            return false;
        for (int r = col + 1; r <= p; r++) {
            const double f = m[r][col] / pivot;
            for (int j = col; j <= p; j++)
                m[r][j] -= f * m[col][j];
            e[r] -= f * e[col];
        }
    }
    for (int r = p; r >= 1; r--) {
        double s = e[r];
        for (int j = r + 1; j <= p; j++)
            s -= m[r][j] * z[j];
        z[r] = s / m[r][r];
    }
    return true;
}

Polynomial fit_polynomial(const Pass &pass, int p)
{
    Polynomial poly;
    poly.order = p;
    const double n = static_cast<double>(pass.n);
    poly.centre = pass.mean_x();
    double far = 0;
    for (double x : pass.xs)
        far = std::max(far, std::fabs(x - poly.centre));
    poly.spread = far > 0 ? far : 1;
    // Power sums of u and of u times y, up to u^(2p).
    std::array<double, 2 * GO_POLY_MAX_ORDER + 1> s{};
    std::array<double, GO_POLY_MAX_ORDER + 1> t{};
    for (size_t i = 0; i < pass.xs.size(); i++) {
        const double u = (pass.xs[i] - poly.centre) / poly.spread, y = pass.ys[i];
        double w = 1;
        for (int k = 0; k <= 2 * p; k++) {
            s[static_cast<size_t>(k)] += w;
            if (k <= p)
                t[static_cast<size_t>(k)] += w * y;
            w *= u;
        }
    }
    Matrix a{};
    std::array<double, GO_POLY_MAX_ORDER + 1> r{};
    for (int i = 1; i <= p; i++) {
        for (int j = 1; j <= p; j++)
            a[i][j] = s[static_cast<size_t>(i + j)] - s[static_cast<size_t>(i)] * s[static_cast<size_t>(j)] / n;
        r[i] = t[static_cast<size_t>(i)] - s[static_cast<size_t>(i)] * t[0] / n;
    }
    Matrix inv{};
    for (int k = 1; k <= p; k++) {
        std::array<double, GO_POLY_MAX_ORDER + 1> z{};
        if (inverse_column(a, p, k, z))
            for (int i = 1; i <= p; i++)
                inv[i][k] = z[i];
    }
    double d0 = t[0] / n;
    for (int i = 1; i <= p; i++) {
        double v = 0;
        for (int j = 1; j <= p; j++)
            v += inv[i][j] * r[j];
        poly.d[static_cast<size_t>(i)] = v;
        d0 -= v * s[static_cast<size_t>(i)] / n;
    }
    poly.d[0] = d0;
    // The coefficients in x: expand d_i ((x - centre) / spread)^i.
    for (int i = 0; i <= p; i++) {
        const double di = poly.d[static_cast<size_t>(i)] / std::pow(poly.spread, i);
        double binom = 1;  // C(i, j)
        for (int j = 0; j <= i; j++) {
            poly.c[static_cast<size_t>(j)] += di * binom * std::pow(-poly.centre, i - j);
            binom = binom * (i - j) / (j + 1);
        }
    }
    return poly;
}

// ---- one dataset's overlays ------------------------------------------------------------------

struct Job {
    GoGraph *graph;
    bool on[GO_OVERLAYS];
    bool vars;
    double x0, x1;
    int width, precision;
};

void publish(const Job &j, const char *name, double value, int extra)
{
    goover_go_set_overlay_var(j.graph, name, value, j.width, j.precision, extra);
}

void draw_levels(const Job &j, const Pass &p)
{
    GoGraph *g = j.graph;
    if (j.on[0]) {
        line_modes(g, 0);
        constant(g, j.x0, j.x1, p.min);
    }
    if (j.on[0] || j.vars)
        publish(j, "%MINIMUM", p.min, 1);
    if (j.on[1]) {
        line_modes(g, 1);
        constant(g, j.x0, j.x1, p.max);
    }
    if (j.on[1] || j.vars)
        publish(j, "%MAXIMUM", p.max, 1);
    const double n = static_cast<double>(p.n), m = p.mean_y();
    if (j.on[2]) {
        line_modes(g, 2);
        constant(g, j.x0, j.x1, m);
    }
    if (j.on[2] || j.vars)
        publish(j, "%MEAN", m, 2);
    const double dm = p.sy / n, v = p.syy / n - dm * dm;
    const double s = v > 0 ? std::sqrt(v) : 0;
    for (int k = 3; k <= 4; k++) {
        if (!j.on[k])
            continue;
        const double f = k == 3 ? 2 : 3;
        line_modes(g, k);
        constant(g, j.x0, j.x1, m + f * s);
        constant(g, j.x0, j.x1, m - f * s);
    }
    if (j.on[3] || j.on[4] || j.vars)
        publish(j, "%SD", s, 2);
    if (j.on[5] || j.vars) {
        // Centred sums: n Sxx = n sum x^2 - (sum x)^2, and so on.
        const double sxx = p.sxx - p.sx * p.sx / n, sxy = p.sxy - p.sx * p.sy / n;
        if (sxx > 1e-12 * p.sxx) {
            const double a = sxy / sxx, b = m - a * p.mean_x();
            if (j.on[5]) {
                line_modes(g, 5);
                straight(g, j.x0, a * j.x0 + b, j.x1, a * j.x1 + b);
            }
            publish(j, "%GRADIENT", a, 2);
            publish(j, "%INTERCEPT", b, 2);
        }
    }
}

void draw_spline(const Job &j, const Pass &p)
{
    if (p.n <= 2 || !strictly_rising(p.xs)) {
        go_show_error(GO_OVERLAY_SPLINE);
        switch_off(j.graph, 6, 6);
        return;
    }
    const std::vector<double> y2 = spline_second_derivatives(p.xs, p.ys);
    SplineEval e{p.xs, p.ys, y2};
    line_modes(j.graph, 6);
    draw_curve(j.graph, j.x0, j.x1, [&e](double x) { return e.at(x); });
}

void draw_cumulative(const Job &j, const Pass &p)
{
    if (p.n <= 1)
        return;
    line_modes(j.graph, 7);
    const double dx = (j.x1 - j.x0) / static_cast<double>(p.n - 1);
    double y = p.ys[0];
    for (long k = 1; k < p.n; k++) {
        const double next = y + p.ys[static_cast<size_t>(k)];
        segment(j.graph, j.x0 + static_cast<double>(k - 1) * dx, y, j.x0 + static_cast<double>(k) * dx, next);
        y = next;
    }
}

void draw_polynomial(const Job &j, const Pass &p)
{
    const int order = iprop(j.graph, GP_OVLVAL, 8);
    if (order < 0 || order > GO_POLY_MAX_ORDER || p.n < order) {
        if (j.on[8]) {
            go_show_error(GO_OVERLAY_POLYNOMIAL);
            switch_off(j.graph, 8, 8);
        }
        return;
    }
    const Polynomial poly = fit_polynomial(p, order);
    if (j.on[8]) {
        line_modes(j.graph, 8);
        draw_curve(j.graph, j.x0, j.x1, [&poly](double x) { return poly.at(x); });
    }
    for (int k = 0; k <= GO_POLY_MAX_ORDER; k++) {
        char name[32];
        snprintf(name, sizeof name, "%s%d", "%POLYCOEF_", k);
        publish(j, name, poly.c[static_cast<size_t>(k)], 2);
    }
}

}  // namespace

void goover_go_set_overlay_drawing_procs(GoOverlaySegmentProc segment, GoOverlayConstantProc constant,
                                         GoOverlaySegmentProc non_constant)
{
    segment_proc = segment;
    constant_proc = constant;
    non_constant_proc = non_constant;
}

void goover_go_set_overlay_var(GoGraph *graph, const char *name, double value, int width, int precision,
                               int extra)
{
    if (!name)
        return;
    // Column widths and decimals come from outside: the text stays bounded.
    char text[512];
    if (precision == -1) {
        snprintf(text, sizeof text, "%*e", std::clamp(width, 0, 64), value);
    } else {
        snprintf(text, sizeof text, "%*.*f", std::clamp(width + extra, 0, 64), std::clamp(precision + extra, 0, 30),
                 value);
    }
    gotvar_go_set_name_value(graph, name, text);
}

void goover_go_draw_all_overlays(GoGraph *graph, int dataset, int axis_mode)
{
    if (!graph || !graph->format)
        return;
    Job j{};
    j.graph = graph;
    bool any = false;
    for (int k = 0; k < GO_OVERLAYS; k++)
        any = (j.on[k] = iprop(graph, GP_OVERLAYON, k) != 0) || any;
    j.vars = iprop(graph, GP_OVERLAY_VARS) != 0;
    if (!any && !j.vars)
        return;
    const GoClass *cls = gomain_go_class(graph);
    if (cls && !cls->multi_dataset) {
        go_show_error_once(GO_OVERLAYS_ONE_DATASET);
        switch_off(graph, 0, GO_OVERLAYS - 1);
        return;
    }
    Pass p;
    read_dataset(graph, dataset, j.on[6] || j.on[7] || j.on[8] || j.vars, p);
    if (p.n == 0)
        return;

    GoAxisBlock *yb = &graph->yblock;
    if (graph->multiy)
        if (GoAxisBlock *b = gomy_go_multiy_axis(graph, gomy_go_multiy_for_dataset(graph, dataset)))
            yb = b;
    j.x0 = graph->xblock.min;
    j.x1 = graph->xblock.max;
    double xshift = 0;
    gomain_go_get_non_scalar_shift(graph, &graph->xblock, yb, axis_mode, &xshift, nullptr, nullptr, nullptr);
    const DozColDesc *yt = nullptr;
    gomain_go_get_tinfos(graph, dataset, nullptr, &yt, nullptr);
    j.width = yt ? yt->width : 0;
    j.precision = yt ? yt->precision : 0;

    GCanvasRecord *c = graph->canvas;
    GCanvasModes saved_canvas{};
    GLineModes saved_line{};
    if (c) {
        GGetCanvasModes(c, &saved_canvas);
        GGetLineModes(c, &saved_line);
        gomain_go_use_world_coordinates(c);
    }
    drawing = Drawing{graph, yb, xshift};
    draw_levels(j, p);
    if (j.on[6])
        draw_spline(j, p);
    if (j.on[7])
        draw_cumulative(j, p);
    if (j.on[8] || j.vars)
        draw_polynomial(j, p);
    drawing = Drawing{};
    if (c) {
        GSetLineModes(c, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &saved_line);
        GSetCanvasModes(c, GCM_COORDS, &saved_canvas);
    }
}

void goover_go_calculate_overlay_spread(GoGraph *graph, int dataset, double *start, double *spread)
{
    double x0 = 0, x1 = 0, m = 0;
    if (graph) {
        x0 = graph->xblock.min;
        x1 = graph->xblock.max;
        GoTuple t{};
        t.dataset = dataset;
        const GoTupleReader reader = reader_of(graph);
        const int was = goprop_go_tuple_autoinc_get();
        goprop_go_tuple_autoinc(0);
        for (;; goprop_go_next_point(&t)) {
            reader(&t);
            if (t.status & GT_S_END)
                break;
            if (!goprop_null_tuple(&t))
                m++;
        }
        goprop_go_tuple_autoinc(was);
    }
    if (m < 2)
        m = 2;
    if (start)
        *start = x0;
    if (spread)
        *spread = std::fabs(x1 - x0) / (m - 1);
}
