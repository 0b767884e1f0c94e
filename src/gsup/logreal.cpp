// The logarithmic scale: divisions min, min x div, min x div^2, ... max,
// where div is a factor above 1 (2, 4, 10, 100, ... unless fixed).

#include "gsscalint.h"

#include <cfloat>
#include <cmath>

static int log_div_index = 0;
static int log_sdiv_index = 0;
static double log_sdiv_low = 0;   // lower end of the interval being walked
static double log_sdiv_step = 0;  // its small step

static double factor_of(const ScaleRec *r) { return scalsup_PfloatToDouble(r->div); }

static pfloat RaisePfloatToPower(pfloat p, int power)
{
    double f = scalsup_PfloatToDouble(p), v = 1;
    for (int i = power; i > 0; i--)
        v *= f;
    for (int i = power; i < 0; i++)
        v /= f;
    return scalsup_SplitDouble(v);
}

static double power_of(const ScaleRec *r, int power) { return scalsup_PfloatToDouble(RaisePfloatToPower(r->div, power)); }
static double range_of(const ScaleRec *r) { return power_of(r, r->ndivs); }

static int factor_check(const ScaleRec *r)
{
    if (factor_of(r) <= 1)
        return scalsup_SetScaleErrno(SCERR_LOG_FACTOR), -1;
    return 0;
}

static void best_factor(ScaleRec *r)
{
    int n = r->ndivs > 0 ? r->ndivs : 1;
    pfloat p = scalsup_SplitDouble(std::pow(10.0, std::log10(r->max / r->min) / n));
    while (p.mant > 9) {
        p.mant /= 10;
        p.exp++;
    }
    if (p.mant == 1 && p.exp == 0)
        p.mant = 2;
    r->div = p;
}

static void PickNiceDiv(pfloat *p)
{
    int64_t d = p->mant;
    int e = p->exp;
    if (d <= 3)
        *p = e == 0 ? pfloat{2, 0} : pfloat{1, static_cast<int16_t>(e)};
    else if (d <= 6)
        *p = e == 0 ? pfloat{4, 0} : pfloat{1, static_cast<int16_t>(e + 1)};
    else
        *p = pfloat{1, static_cast<int16_t>(e + 1)};
}

// 2, 4, 10, 100, 1000 ...
static void IncreaseDivSize(pfloat *p)
{
    if (p->exp == 0 && p->mant <= 2) {
        *p = pfloat{4, 0};
    } else if (p->exp == 0 && p->mant < 10) {
        *p = pfloat{1, 1};
    } else {
        // The next power of ten above the factor.
        double v = scalsup_PfloatToDouble(*p);
        int e = static_cast<int>(std::floor(std::log10(v))) + 1;
        if (scalsup_MyExp10(e) <= v)
            e++;
        *p = pfloat{1, static_cast<int16_t>(e)};
    }
}

// min = div^p with p = floor(log10(min) / log10(div)).
static void floor_min(ScaleRec *r)
{
    int p = static_cast<int>(std::floor(std::log10(r->min) / std::log10(factor_of(r))));
    r->min = power_of(r, p);
}

static int count_for_factor(ScaleRec *r)
{
    return scalsup_CountFromDouble(std::ceil(std::log10(r->max / r->min) / std::log10(factor_of(r))), &r->ndivs);
}

static void grow_max(ScaleRec *r, double x)
{
    while (x < r->max) {
        IncreaseDivSize(&r->div);
        x = r->min * range_of(r);
    }
    r->max = x;
}

static void grow_min(ScaleRec *r, double x)
{
    while (x > r->min) {
        IncreaseDivSize(&r->div);
        x = r->max / range_of(r);
    }
    r->min = x;
}

static void grow_both(ScaleRec *r, double x)
{
    while (x < r->max) {
        IncreaseDivSize(&r->div);
        floor_min(r);
        x = r->min * range_of(r);
    }
    r->max = x;
}

// Max on the last division: where the divisions already reach it, the
// fewest that do; otherwise the factor grown by `grow` or the count
// raised, the narrower range winning.
static int cover_max(ScaleRec *r, void (*grow)(ScaleRec *, double))
{
    if (r->max <= r->min * range_of(r)) {
        if (count_for_factor(r) < 0)
            return -1;
        r->max = r->min * range_of(r);
        return 0;
    }
    ScaleRec a = *r, b = *r;
    grow(&a, a.min * range_of(&a));
    if (count_for_factor(&b) < 0)
        return -1;
    b.max = b.min * range_of(&b);
    *r = (a.max / a.min < b.max / b.min) ? a : b;
    return 0;
}

static bool count_requested(const ScaleRec *r) { return sc_requested(r, SC_NDIVS_A, SC_NDIVS_F); }

static int case1(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0)
        return -1;
    if (r->max != r->min * range_of(r))
        return scalsup_SetScaleErrno(SCERR_DISAGREE), -1;
    return 0;
}

static int case2(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0 || factor_check(r) < 0 || count_for_factor(r) < 0)
        return -1;
    if (r->max != r->min * range_of(r))
        return scalsup_SetScaleErrno(SCERR_DISAGREE), -1;
    return scalsup_CountCheck(r);
}

static int case3(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0 || factor_check(r) < 0 || count_for_factor(r) < 0)
        return -1;
    if (r->ndivs <= 0)
        return scalsup_SetScaleErrno(SCERR_COUNT_NOT_POSITIVE), -1;
    if (scalsup_CountCheck(r) < 0)
        return -1;
    r->div = scalsup_SplitDouble(std::pow(10.0, std::log10(r->max / r->min) / r->ndivs));
    return 0;
}

static int case4(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0)
        return -1;
    if (!count_requested(r))
        r->ndivs = 5;
    r->div = scalsup_SplitDouble(std::pow(10.0, std::log10(r->max / r->min) / r->ndivs));
    return 0;
}

static int case5(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0)
        return -1;
    if (count_requested(r)) {
        best_factor(r);
        PickNiceDiv(&r->div);
        grow_max(r, r->min * range_of(r));
        return 0;
    }
    r->ndivs = 5;
    best_factor(r);
    PickNiceDiv(&r->div);
    return cover_max(r, grow_max);
}

static int case6(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0)
        return -1;
    if (count_requested(r)) {
        best_factor(r);
        PickNiceDiv(&r->div);
        grow_min(r, r->max / range_of(r));
        return 0;
    }
    r->ndivs = 5;
    best_factor(r);
    PickNiceDiv(&r->div);
    if (r->min >= r->max / range_of(r)) {
        if (count_for_factor(r) < 0)
            return -1;
        r->min = r->max / range_of(r);
        return 0;
    }
    ScaleRec a = *r, b = *r;
    grow_min(&a, a.max / range_of(&a));
    if (count_for_factor(&b) < 0)
        return -1;
    b.min = b.max / range_of(&b);
    *r = (a.max / a.min < b.max / b.min) ? a : b;
    return 0;
}

// A fixed factor of 1 or less would put max below min: refused as in the
// other cases with a fixed factor.
static int case7(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0 || factor_check(r) < 0)
        return -1;
    r->max = r->min * range_of(r);
    return 0;
}

static int case8(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0 || factor_check(r) < 0)
        return -1;
    r->min = r->max / range_of(r);
    return 0;
}

static int case9(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0 || factor_check(r) < 0 || count_for_factor(r) < 0)
        return -1;
    if (r->ndivs <= 0)
        return scalsup_SetScaleErrno(SCERR_COUNT_NOT_POSITIVE), -1;
    r->max = r->min * range_of(r);
    return scalsup_CountCheck(r);
}

static int case10(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0 || factor_check(r) < 0 || count_for_factor(r) < 0)
        return -1;
    if (r->ndivs <= 0)
        return scalsup_SetScaleErrno(SCERR_COUNT_NOT_POSITIVE), -1;
    r->min = r->max / range_of(r);
    return scalsup_CountCheck(r);
}

static int case11(ScaleRec *r)
{
    // The factor first: with a factor of 1 nothing can be covered.
    if (scalsup_LogRangeCheck(r) < 0 || factor_check(r) < 0)
        return -1;
    if (range_of(r) < r->max / r->min)
        return scalsup_SetScaleErrno(SCERR_CANNOT_COVER), -1;
    int p = static_cast<int>(std::floor(std::log10(r->min) / std::log10(factor_of(r))));
    if (power_of(r, p + r->ndivs) > r->max)
        r->min = power_of(r, p);
    r->max = r->min * range_of(r);
    return 0;
}

static int case12(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0 || factor_check(r) < 0)
        return -1;
    floor_min(r);
    if (count_for_factor(r) < 0)
        return -1;
    if (r->ndivs <= 0)
        return scalsup_SetScaleErrno(SCERR_COUNT_NOT_POSITIVE), -1;
    r->max = r->min * range_of(r);
    return scalsup_CountCheck(r);
}

static int case13(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0)
        return -1;
    best_factor(r);
    PickNiceDiv(&r->div);
    floor_min(r);
    grow_both(r, r->min * range_of(r));
    return 0;
}

static int case14(ScaleRec *r)
{
    if (scalsup_LogRangeCheck(r) < 0)
        return -1;
    if (!count_requested(r))
        r->ndivs = 5;
    best_factor(r);
    PickNiceDiv(&r->div);
    floor_min(r);
    return cover_max(r, grow_both);
}

static int ComputeSDiv(ScaleRec *r)
{
    scalsup_SmallDivCheck(r);
    if (!sc_requested(r, SC_SDIVS_A, SC_SDIVS_F))
        r->nsdivs = r->div.mant == 2 ? 4 : 5;
    r->sdiv = scalsup_SplitDouble(std::pow(10.0, std::log10(factor_of(r)) / r->nsdivs));
    return 0;
}

static double GetDivSize(ScaleRec *r) { return factor_of(r); }

static int GetFirstDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMin(&log_div_index, r, v); }

static int GetLastDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMax(&log_div_index, r, v); }

static int GetNextDiv(ScaleRec *r, double *v)
{
    if (!scalsup_WalkStep(&log_div_index, r->ndivs))
        return -1;
    *v = r->min * power_of(r, log_div_index);
    return 0;
}

static int GetFirstSDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMin(&log_sdiv_index, r, v); }

// Linear steps inside each major interval; the last step of an interval
// lands on the next major division.
static int GetNextSDiv(ScaleRec *r, double *v)
{
    int count = r->nsdivs;
    if (count <= 0 || static_cast<long>(log_sdiv_index) >= static_cast<long>(r->ndivs) * count)
        return -1;
    int k = log_sdiv_index / count;
    if (log_sdiv_index % count == 0) {
        double lo = power_of(r, k), hi = power_of(r, k + 1);
        log_sdiv_low = r->min * lo;
        log_sdiv_step = (hi - lo) / count * r->min;
    }
    log_sdiv_index++;
    int j = log_sdiv_index - k * count;
    *v = log_sdiv_low + log_sdiv_step * j;
    return 0;
}

static double log_forward(double x) { return x > 0 ? std::log10(x) : -DBL_MAX; }
static double log_reverse(double x) { return std::pow(10.0, x); }
static ScaleProc forward() { return log_forward; }
static ScaleProc reverse() { return log_reverse; }

static const ScaleRoutines logreal_routines = {
    {case1, case2, case3, case4, case5, case6, case7, case8, case9, case10, case11, case12, case13, case14},
    ComputeSDiv,
    GetDivSize,
    scalsup_NumDivs,
    scalsup_NumSDivs,
    GetFirstDiv,
    GetLastDiv,
    GetNextDiv,
    GetFirstSDiv,
    GetNextSDiv,
    forward,
    reverse,
};

void logreal_InstallLogRealRoutines() { scalsup_current = &logreal_routines; }
