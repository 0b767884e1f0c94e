// Interpolation: the abscissa check and the bracket, Neville's algorithm,
// the completers, the natural splines against known functions, and the
// resamplers of curves and grids.

#include "ggridhook.h"
#include "pelxtest.h"
#include "vxutil.h"

#include <cmath>
#include <vector>

using namespace pelxtest;

namespace {

// Points (x, y, 0) as an interleaved double vector over the caller's array.
struct Curve {
    std::vector<double> data;
    GVector v{};
    Curve(const std::vector<double> &x, const std::vector<double> &y)
    {
        for (size_t i = 0; i < x.size(); i++)
            data.insert(data.end(), {x[i], y[i], 0.0});
        v = GVector{GV_DOUBLE, 0, 3, static_cast<int64_t>(x.size()), {data.data(), nullptr, nullptr}};
    }
};

struct Owned {
    GVector v{};
    ~Owned() { gvector_GFreeVectorData(&v); }
    double at(long i, int c) const { return static_cast<const double *>(v.data[0])[3 * i + c]; }
};

std::vector<double> even(double from, double to, long n)
{
    std::vector<double> x;
    for (long i = 0; i < n; i++)
        x.push_back(from + (to - from) * static_cast<double>(i) / static_cast<double>(n - 1));
    return x;
}

std::vector<double> of(const std::vector<double> &x, double (*f)(double))
{
    std::vector<double> y;
    for (double v : x)
        y.push_back(f(v));
    return y;
}

// Largest distance between the natural spline through sin at n nodes on
// [0, pi] and sin, at 1001 positions.
double sine_error(long n)
{
    std::vector<double> x = even(0, M_PI, n);
    Curve c(x, of(x, std::sin));
    Owned out;
    EXPECT_EQ(ginterp_GSplineComplete(&c.v, 0.0, M_PI, M_PI / 1000, 1001, &out.v), 0);
    double worst = 0;
    for (long i = 0; i < 1001; i++)
        worst = std::fmax(worst, std::fabs(out.at(i, 1) - std::sin(out.at(i, 0))));
    return worst;
}

GGrid *grid_of(long nx, long nz, double x0, double dx, double z0, double dz, double (*f)(double, double))
{
    GGrid *g = ggrid_GCreateGrid(x0, dx, nx, z0, dz, nz);
    for (long i = 0; i < nx; i++)
        for (long k = 0; k < nz; k++)
            g->values[i][k] = GGridCell{f(x0 + i * dx, z0 + k * dz), 1.0};
    return g;
}

double sinsin(double x, double z) { return std::sin(x) * std::sin(z); }
double quadric(double x, double z) { return 1 + 2 * x - z + 0.5 * x * x - x * z + 0.25 * z * z; }
double plane(double x, double z) { return 2 + 0.5 * x - 0.25 * z; }

}  // namespace

TEST(Interpolation, AbscissasMustRise)
{
    const double nan = NAN, inf = INFINITY;
    struct Case {
        std::vector<double> x;
        int result;
    } cases[] = {
        {{0, 1, 2}, 0},
        {{0, 1}, -1},            // two points: the check wants three
        {{0, 1, 1, 2}, -1},      // equal consecutive abscissas
        {{0, 2, 1}, -1},         // falls back after rising
        {{0, 2, 0}, -1},         // the spline set-up would divide by x[2] - x[0] = 0
        {{0, nan, 2}, -1}, {{0, 1, inf}, -1},
    };
    for (auto &c : cases) {
        long n = static_cast<long>(c.x.size());
        EXPECT_EQ(ginterp_GCheckAbscissas(c.x.data(), n), c.result) << n << " " << c.x[1];
        // Both completers refuse what the check refuses.
        Curve curve(c.x, std::vector<double>(c.x.size(), 1.0));
        for (auto complete : {ginterp_GLinearComplete, ginterp_GSplineComplete}) {
            Owned out;
            EXPECT_EQ(complete(&curve.v, 0, 0, 0.5, 5, &out.v), c.result);
        }
    }
}

TEST(Interpolation, BracketResetsAndOnlyMovesForward)
{
    std::vector<double> x = {0, 1, 2, 3, 4};
    struct Step {
        bool reset;
        double v;
        long lo, hi;
    } steps[] = {
        {true, 2.5, 2, 3},
        {false, 2.9, 2, 3},   // kept
        {false, 1.5, 3, 4},   // behind: the search still moves forward
        {true, 1.5, 1, 2},
        {true, -1, 1, 2},     // below the first abscissa: the second interval
        {true, 9, 0, 1},      // above the last: the first interval stays
        {false, 9, 0, 1},
    };
    for (auto &s : steps) {
        if (s.reset) {
            ASSERT_EQ(ginterp_GCheckAbscissas(x.data(), 5), 0);
        }
        long lo = -1, hi = -1;
        ginterp_GBracket(x.data(), 5, s.v, &lo, &hi);
        EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(s.lo, s.hi)) << s.v;
    }
}

TEST(Interpolation, NevillePolynomials)
{
    // A cubic through four points is reproduced anywhere.
    auto cubic = [](double x) { return 2 - x + 0.5 * x * x * x; };
    std::vector<double> x = {-1, 0.5, 2, 3}, y;
    for (double v : x)
        y.push_back(cubic(v));
    for (double v : {-1.0, 0.0, 1.2, 2.5, 4.0}) {
        double r = 0, e = 0;
        ASSERT_EQ(ginterp_GPolyint(x.data(), y.data(), 4, v, &r, &e), 0);
        EXPECT_NEAR(r, cubic(v), 1e-12) << v;
    }
    // The error estimate is the last correction: 0 on a data point.
    double r = 0, e = 1;
    ginterp_GPolyint(x.data(), y.data(), 4, 2.0, &r, &e);
    EXPECT_EQ(r, cubic(2.0));
    EXPECT_EQ(e, 0.0);

    std::vector<double> same = {0, 1, 1}, values = {1, 2, 3};
    EXPECT_EQ(ginterp_GPolyint(same.data(), values.data(), 3, 0.5, &r, &e), -1);
    std::vector<double> many = even(0, 1, 21), ones(21, 1.0);
    EXPECT_EQ(ginterp_GPolyint(many.data(), ones.data(), 21, 0.5, &r, &e), -1);
    EXPECT_EQ(ginterp_GPolyint(many.data(), ones.data(), 20, 0.5, &r, &e), 0);
}

TEST(Interpolation, CompletersClampOutsideTheData)
{
    Curve line({0, 1, 2}, {0, 10, 20});
    Owned out;
    ASSERT_EQ(ginterp_GLinearComplete(&line.v, -1, 0, 0.75, 5, &out.v), 0);
    EXPECT_EQ(out.v.count, 5);
    const double want[5] = {0, 0, 5, 12.5, 20};
    for (long i = 0; i < 5; i++) {
        EXPECT_DOUBLE_EQ(out.at(i, 0), -1 + 0.75 * i);
        EXPECT_DOUBLE_EQ(out.at(i, 1), want[i]) << i;
        EXPECT_EQ(out.at(i, 2), 0.0);
    }
    // The natural spline through collinear points is the line; outside it
    // holds the end values.
    Owned spline;
    ASSERT_EQ(ginterp_GSplineComplete(&line.v, -1, 0, 0.25, 17, &spline.v), 0);
    for (long i = 0; i < 17; i++) {
        double p = spline.at(i, 0);
        EXPECT_NEAR(spline.at(i, 1), std::clamp(10 * p, 0.0, 20.0), 1e-12) << p;
    }
    // The caller's own array is used; fewer positions than points, a vector
    // not of doubles and split layout.
    double room[15] = {};
    GVector mine{GV_DOUBLE, 0, 3, 0, {room, nullptr, nullptr}};
    ASSERT_EQ(ginterp_GLinearComplete(&line.v, 0.5, 0, 1, 2, &mine), -1);
    ASSERT_EQ(ginterp_GLinearComplete(&line.v, 0.5, 0, 0.5, 5, &mine), 0);
    EXPECT_EQ(mine.data[0], room);
    EXPECT_DOUBLE_EQ(room[3 * 2 + 1], 15);
    float f[9] = {};
    GVector floats{GV_FLOAT, 0, 3, 3, {f, nullptr, nullptr}};
    EXPECT_EQ(ginterp_GLinearComplete(&floats, 0, 0, 1, 3, &mine), -1);
    double xs[3] = {0, 1, 2}, ys[3] = {4, 5, 6};
    GVector split{GV_DOUBLE, 1, 2, 3, {xs, ys, nullptr}};
    ASSERT_EQ(ginterp_GLinearComplete(&split, 0.5, 0, 1, 3, &mine), 0);
    EXPECT_DOUBLE_EQ(room[1], 4.5);
    EXPECT_DOUBLE_EQ(room[4], 5.5);
}

TEST(Interpolation, NaturalSplineOfTheSine)
{
    // sin has zero second derivatives at 0 and pi, so the natural ends are
    // exact and the error is bounded by (5/384) h^4 max|f''''|.
    double coarse = sine_error(11), fine = sine_error(21);
    EXPECT_LT(coarse, 1.3e-4);
    EXPECT_GT(coarse, 1e-6);
    EXPECT_LT(fine * 10, coarse);  // fourth order
}

TEST(Interpolation, TwoDimensionalSplineOfAGrid)
{
    GGrid *g = grid_of(11, 11, 0, M_PI / 10, 0, M_PI / 10, sinsin);
    double worst = 0;
    for (int a = 0; a <= 40; a++)
        for (int b = 0; b <= 40; b++) {
            double p[3] = {M_PI * a / 40, -99, M_PI * b / 40};
            GVector v{GV_DOUBLE, 0, 3, 1, {p, nullptr, nullptr}};
            ASSERT_EQ(ginterp_GEvaluateWithSpline(g, &v), 0);
            worst = std::fmax(worst, std::fabs(p[1] - sinsin(p[0], p[2])));
        }
    EXPECT_LT(worst, 2.6e-4);
    // Only interleaved 3-D doubles.
    double s[3] = {1, 0, 1};
    GVector split{GV_DOUBLE, 1, 3, 1, {s, s, s}};
    EXPECT_EQ(ginterp_GEvaluateWithSpline(g, &split), -1);
    ggrid_GDestroyGrid(g);
}

TEST(Interpolation, ResamplingCurves)
{
    std::vector<double> x = even(0, M_PI, 11);
    Curve c(x, of(x, std::sin));
    Owned out;
    ASSERT_EQ(ginterp_GSpline1D(nullptr, &c.v, 33, &out.v), 0);
    // Three steps per interval, and the curve ends on the last point.
    ASSERT_EQ(out.v.count, 31);
    for (long i = 0; i < 31; i++) {
        EXPECT_NEAR(out.at(i, 0), M_PI * i / 30, 1e-12);
        EXPECT_NEAR(out.at(i, 1), std::sin(out.at(i, 0)), 1.3e-4);
    }
    EXPECT_EQ(out.at(30, 0), x.back());
    // Falling abscissas are read backwards; a turning curve is refused.
    Curve falling({3, 2, 1, 0}, {9, 4, 1, 0});
    Owned back;
    ASSERT_EQ(ginterp_GSpline1D(nullptr, &falling.v, 8, &back.v), 0);
    EXPECT_EQ(back.v.count, 7);
    EXPECT_DOUBLE_EQ(back.at(1, 0), 2.5);
    EXPECT_NEAR(back.at(2, 1), 4, 1e-12);
    Curve turning({0, 2, 0}, {1, 2, 3});
    Owned none;
    EXPECT_EQ(ginterp_GSpline1D(nullptr, &turning.v, 6, &none.v), -1);
    EXPECT_EQ(ginterp_GSpline1D(nullptr, &c.v, 10, &none.v), -1);

    // A quadratic by second-order polynomials, in 2-D and 3-D vectors.
    std::vector<double> q = {0, 1, 2, 4, 5};
    std::vector<double> d2, d3;
    for (double v : q) {
        d2.insert(d2.end(), {v, v * v - 3 * v});
        d3.insert(d3.end(), {v, 7, v * v - 3 * v});
    }
    GVector two{GV_DOUBLE, 0, 2, 5, {d2.data(), nullptr, nullptr}}, three{GV_DOUBLE, 0, 3, 5, {d3.data(), nullptr, nullptr}};
    Owned p2, p3;
    ASSERT_EQ(ginterp_GPolynomial1D(&two, 11, 2, &p2.v), 0);
    ASSERT_EQ(ginterp_GPolynomial1D(&three, 11, 2, &p3.v), 0);
    ASSERT_EQ(p2.v.count, 11);
    for (long i = 0; i < 11; i++) {
        double p = 0.5 * i;
        EXPECT_DOUBLE_EQ(p2.at(i, 0), p);
        EXPECT_NEAR(p2.at(i, 1), p * p - 3 * p, 1e-12) << p;
        EXPECT_EQ(p3.at(i, 1), 7);
        EXPECT_NEAR(p3.at(i, 2), p * p - 3 * p, 1e-12);
    }
    // An order needing more points than the data hold, fewer output points
    // than input points, and 1-D vectors are refused.
    Owned refused;
    EXPECT_EQ(ginterp_GPolynomial1D(&two, 11, 5, &refused.v), -1);
    EXPECT_EQ(ginterp_GPolynomial1D(&two, 4, 1, &refused.v), -1);
    GVector one{GV_DOUBLE, 0, 1, 5, {d2.data(), nullptr, nullptr}};
    EXPECT_EQ(ginterp_GPolynomial1D(&one, 11, 1, &refused.v), -1);
    EXPECT_EQ(refused.v.data[0], nullptr);
}

TEST(Interpolation, ResamplingGrids)
{
    // A quadric by second-order polynomials and a plane by the spline: both
    // exact on the finer grid, whose nodes all carry weight 1.
    struct Case {
        double (*f)(double, double);
        int order;  // -1 the spline
    } cases[] = {{quadric, 2}, {plane, -1}, {plane, 1}};
    for (auto &c : cases) {
        GGrid *g = grid_of(5, 4, -1, 0.5, 2, 1, c.f);
        int r = c.order < 0 ? GSpline2D(nullptr, g, 9, 7) : ginterp_GPolynomial2D(nullptr, g, 9, 7, c.order);
        ASSERT_EQ(r, 0);
        ASSERT_EQ(g->nx, 9);
        ASSERT_EQ(g->nz, 7);
        EXPECT_DOUBLE_EQ(g->dx, 0.25);
        EXPECT_DOUBLE_EQ(g->dz, 0.5);
        EXPECT_EQ(g->aux, nullptr);
        for (long i = 0; i < 9; i++)
            for (long k = 0; k < 7; k++) {
                EXPECT_NEAR(g->values[i][k].value, c.f(-1 + 0.25 * i, 2 + 0.5 * k), 1e-12) << c.order << " " << i << " " << k;
                EXPECT_EQ(g->values[i][k].weight, 1.0);
            }
        ggrid_GDestroyGrid(g);
    }
    // An order beyond the grid's nodes and a target of one node are
    // refused, the grid kept.
    GGrid *g = grid_of(3, 4, 0, 1, 0, 1, plane);
    EXPECT_EQ(ginterp_GPolynomial2D(nullptr, g, 6, 6, 3), -1);
    EXPECT_EQ(last_error(), std::make_pair(3, 22));
    EXPECT_EQ(GSpline2D(nullptr, g, 1, 6), -1);
    EXPECT_EQ(g->nx, 3);
    EXPECT_EQ(g->values[2][3].value, plane(2, 3));
    ggrid_GDestroyGrid(g);
}
