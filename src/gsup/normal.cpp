// Probability paper: the normal-probability and Weibull scales.  Their
// divisions are fixed percentages; the transforms straighten the axis.

#include "gsscalint.h"

#include <cfloat>
#include <cmath>

static const double normal_divs[] = {0.01, 0.1, 1, 5, 20, 50, 80, 95, 99, 99.9, 99.99};
static const double weibull_divs[] = {0.01, 0.04, 0.1, 0.4, 1, 4, 10, 40, 80, 99.9};

static int normal_div_index = 0;
static int weibull_div_index = 0;

// ---- quantile tables -------------------------------------------------------------

// The standard normal quantile of q (0.5 <= q < 1), by bisection on the
// distribution function.
static double normal_quantile(double q)
{
    double lo = 0, hi = 40;
    for (int i = 0; i < 200; i++) {
        double mid = (lo + hi) / 2;
        if (0.5 * std::erfc(-mid / M_SQRT2) < q)
            lo = mid;
        else
            hi = mid;
    }
    return (lo + hi) / 2;
}

// z of p / 100 rounded to three decimals: A for p = 50 .. 99, B for
// p = 99.1 .. 99.9, C for p = 99.91 .. 99.99.
struct QuantileTables {
    float a[50], b[9], c[9];
    QuantileTables()
    {
        auto z3 = [](double p) { return static_cast<float>(std::round(normal_quantile(p / 100) * 1000) / 1000); };
        for (int i = 0; i < 50; i++)
            a[i] = z3(50 + i);
        for (int i = 0; i < 9; i++)
            b[i] = z3(99.1 + i * 0.1);
        for (int i = 0; i < 9; i++)
            c[i] = z3(99.91 + i * 0.01);
    }
};

static const QuantileTables &tables()
{
    static const QuantileTables t;
    return t;
}

// Linear interpolation at position pos of a table.  A position before the
// start (between the previous table's last point and this one's first)
// interpolates from that last point rather than reading before the table.
static float interpolate(const float *table, int n, double pos, float before)
{
    if (pos < 0) {
        float f = static_cast<float>(pos + 1);
        return before + (table[0] - before) * f;
    }
    int i = static_cast<int>(pos);
    if (i >= n - 1)
        return table[n - 1];
    float f = static_cast<float>(pos - i);
    if (f == 0)
        return table[i];
    return table[i] + (table[i + 1] - table[i]) * f;
}

static double normal_forward(double x)
{
    if (std::isnan(x))
        return x;
    const QuantileTables &t = tables();
    double a = x < 50 ? 100 - x : x;
    float z;
    if (a <= 99) {
        float i = static_cast<float>(a) - 50.0f;
        z = interpolate(t.a, 50, i, t.a[0]);
    } else if (a <= 99.9) {
        z = interpolate(t.b, 9, (a - 99.1) * 10, t.a[49]);
    } else if (a <= 99.99) {
        z = interpolate(t.c, 9, (a - 99.91) * 100, t.b[8]);
    } else {
        z = t.c[8];
    }
    return x < 50 ? -z : z;
}

static double normal_reverse(double z)
{
    const double sqrt2 = 1.4142135623730951;
    if (z < 0)
        return (0.5 - std::erf(z / -sqrt2) * 0.5) * 100;
    return (std::erf(z / sqrt2) * 0.5 + 0.5) * 100;
}

// ln(ln(1 / (1 - x/100))).  The ends of the paper map to the largest
// doubles instead of infinities or a NaN.
static double weibull_forward(double x)
{
    double q = 1 - x / 100;
    if (q <= 0)
        return DBL_MAX;
    if (q >= 1)
        return -DBL_MAX;
    return std::log(std::log(1 / q));
}

static double weibull_reverse(double y) { return (1 - std::exp(-std::exp(y))) * 100; }

// ---- routine sets -----------------------------------------------------------------

static int HandleAllCasesNormal(ScaleRec *r)
{
    r->ndivs = 10;
    r->max = 99.99;
    r->min = 0.01;
    r->origin = 0.01;
    r->nsdivs = 0;
    return 0;
}

static int HandleAllCasesWeibull(ScaleRec *r)
{
    r->ndivs = 9;
    r->max = 99.9;
    r->min = 0.01;
    r->origin = 0.01;
    r->nsdivs = 0;
    return 0;
}

static int ComputeSDiv(ScaleRec *) { return 0; }

static double GetDivSizeNormal(ScaleRec *)
{
    gsup_diagnostic(GSUP_NORMAL_DIVSIZE);
    return 0;
}

static double GetDivSizeWeibull(ScaleRec *)
{
    gsup_diagnostic(GSUP_WEIBULL_DIVSIZE);
    return 0;
}


static int GetFirstDivNormal(ScaleRec *r, double *v) { return scalsup_WalkFromMin(&normal_div_index, r, v); }

static int GetLastDivNormal(ScaleRec *r, double *v) { return scalsup_WalkFromMax(&normal_div_index, r, v); }

static int GetNextDivNormal(ScaleRec *r, double *v)
{
    int last = static_cast<int>(sizeof normal_divs / sizeof normal_divs[0]) - 1;
    if (normal_div_index >= r->ndivs || normal_div_index >= last)
        return -1;
    *v = normal_divs[++normal_div_index];
    return 0;
}

static int GetFirstDivWeibull(ScaleRec *r, double *v) { return scalsup_WalkFromMin(&weibull_div_index, r, v); }

static int GetLastDivWeibull(ScaleRec *r, double *v) { return scalsup_WalkFromMax(&weibull_div_index, r, v); }

static int GetNextDivWeibull(ScaleRec *r, double *v)
{
    int last = static_cast<int>(sizeof weibull_divs / sizeof weibull_divs[0]) - 1;
    if (weibull_div_index >= r->ndivs || weibull_div_index >= last)
        return -1;
    *v = weibull_divs[++weibull_div_index];
    return 0;
}

static int GetFirstSDiv(ScaleRec *r, double *v)
{
    *v = r->min;
    return 0;
}

static int GetNextSDiv(ScaleRec *, double *) { return -1; }

static ScaleProc normal_fwd() { return normal_forward; }
static ScaleProc normal_rev() { return normal_reverse; }
static ScaleProc weibull_fwd() { return weibull_forward; }
static ScaleProc weibull_rev() { return weibull_reverse; }

#define ALL14(f) {f, f, f, f, f, f, f, f, f, f, f, f, f, f}

static const ScaleRoutines normal_routines = {
    ALL14(HandleAllCasesNormal),
    ComputeSDiv,
    GetDivSizeNormal,
    scalsup_NumDivs,
    scalsup_NumSDivs,
    GetFirstDivNormal,
    GetLastDivNormal,
    GetNextDivNormal,
    GetFirstSDiv,
    GetNextSDiv,
    normal_fwd,
    normal_rev,
};

static const ScaleRoutines weibull_routines = {
    ALL14(HandleAllCasesWeibull),
    ComputeSDiv,
    GetDivSizeWeibull,
    scalsup_NumDivs,
    scalsup_NumSDivs,
    GetFirstDivWeibull,
    GetLastDivWeibull,
    GetNextDivWeibull,
    GetFirstSDiv,
    GetNextSDiv,
    weibull_fwd,
    weibull_rev,
};

void normal_InstallNormalRoutines() { scalsup_current = &normal_routines; }
void normal_InstallWeibullRoutines() { scalsup_current = &weibull_routines; }
