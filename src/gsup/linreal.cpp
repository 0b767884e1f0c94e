// The linear scale: divisions min, min + div, ... max, with a division of
// 1, 2 or 5 times a power of ten unless the user fixed it.

#include "gsscalint.h"

#include <cmath>

static int lin_div_index = 0;
static int lin_sdiv_index = 0;

static double div_of(const ScaleRec *r) { return scalsup_PfloatToDouble(r->div); }

// div x ndivs, exactly in decimal.
static double ComputeAxisRange(const ScaleRec *r) { return scalsup_PfloatToDouble(scalsup_MultPfloat(r->div, r->ndivs)); }

static bool zero_div(const ScaleRec *r)
{
    if (r->div.mant != 0)
        return false;
    scalsup_SetScaleErrno(SCERR_ZERO_DIV);
    return true;
}

// The leading digit of (max - min) / ndivs with its power of ten.
static void best_div(ScaleRec *r)
{
    pfloat p = scalsup_SplitDouble(r->max - r->min);
    p.mant /= r->ndivs > 0 ? r->ndivs : 1;
    while (p.mant > 9) {
        p.mant /= 10;
        p.exp++;
    }
    r->div = p;
}

static void PickOneTwoFive(pfloat *p)
{
    if (p->mant <= 1)
        p->mant = 1;
    else if (p->mant <= 3)
        p->mant = 2;
    else if (p->mant <= 7)
        p->mant = 5;
    else {
        p->mant = 1;
        p->exp++;
    }
}

static void IncreaseDivSize(pfloat *p)
{
    if (p->mant == 1)
        p->mant = 2;
    else if (p->mant == 2)
        p->mant = 5;
    else if (p->mant == 5) {
        p->mant = 1;
        p->exp++;
    } else {
        // A size the pickers did not make: on to the next 1, 2 or 5 above it.
        double v = scalsup_PfloatToDouble(*p);
        pfloat q = scalsup_SplitDouble(v);
        while (q.mant > 9) {
            q.mant /= 10;
            q.exp++;
        }
        PickOneTwoFive(&q);
        while (scalsup_PfloatToDouble(q) <= v)
            IncreaseDivSize(&q);
        *p = q;
    }
}

// min = floor(min / div) x div.  The floor is taken in floating point: a
// 32-bit integer would overflow for large values such as times in seconds
// with small divisions.
static void floor_min(ScaleRec *r)
{
    double d = div_of(r);
    r->min = std::floor(r->min / d) * d;
}

static void AdjustMaxUsingDivSize(ScaleRec *r, double x)
{
    while (x < r->max) {
        IncreaseDivSize(&r->div);
        x = r->min + ComputeAxisRange(r);
    }
    r->max = x;
}

static void AdjustMinUsingDivSize(ScaleRec *r, double x)
{
    while (x > r->min) {
        IncreaseDivSize(&r->div);
        x = r->max - ComputeAxisRange(r);
    }
    r->min = x;
}

static void AdjustMinMaxUsingDivSize(ScaleRec *r, double x)
{
    while (x < r->max) {
        IncreaseDivSize(&r->div);
        floor_min(r);
        x = r->min + ComputeAxisRange(r);
    }
    r->max = x;
}

// ndivs = ceiling of (max - min) / div.
static int count_ceil(ScaleRec *r) { return scalsup_CountFromDouble(std::ceil((r->max - r->min) / div_of(r)), &r->ndivs); }

// Max on the last division: where the divisions already reach it, the
// fewest that do; otherwise the division grown by `grow` or the count
// raised, the shorter axis winning.  With `keep_origin`, an origin the
// user asked for must stay on the axis.  (Without a request the origin
// field holds whatever an earlier run left.)
static int cover_max(ScaleRec *r, void (*grow)(ScaleRec *, double), bool keep_origin)
{
    if (r->max <= r->min + ComputeAxisRange(r)) {
        if (count_ceil(r) < 0)
            return -1;
        r->max = r->min + ComputeAxisRange(r);
        return 0;
    }
    ScaleRec a = *r, b = *r;
    grow(&a, a.min + ComputeAxisRange(&a));
    if (count_ceil(&b) < 0)
        return -1;
    b.max = b.min + ComputeAxisRange(&b);
    bool origin_off_b =
        keep_origin && sc_requested(r, SC_ORG_A, SC_ORG_F) && (r->origin < b.min || r->origin > b.max);
    *r = (a.max - a.min < b.max - b.min || origin_off_b) ? a : b;
    return 0;
}

static bool count_requested(const ScaleRec *r) { return sc_requested(r, SC_NDIVS_A, SC_NDIVS_F); }

static int case1(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r))
        return -1;
    if (r->max != r->min + ComputeAxisRange(r))
        return scalsup_SetScaleErrno(SCERR_DISAGREE), -1;
    return 0;
}

static int case2(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r))
        return -1;
    if (scalsup_CountFromDouble(std::trunc((r->max - r->min) / div_of(r)), &r->ndivs) < 0)
        return -1;
    if (r->max != r->min + ComputeAxisRange(r))
        return scalsup_SetScaleErrno(SCERR_DISAGREE), -1;
    return scalsup_CountCheck(r);
}

static int case3(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r))
        return -1;
    if (count_ceil(r) < 0)
        return -1;
    if (r->ndivs <= 0)
        return scalsup_SetScaleErrno(SCERR_COUNT_NOT_POSITIVE), -1;
    // A hint of a division that would need more than 1000 divisions
    // cannot be drawn either.
    if (scalsup_CountCheck(r) < 0)
        return -1;
    r->div = scalsup_SplitDouble((r->max - r->min) / r->ndivs);
    return 0;
}

static int case4(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (!count_requested(r))
        r->ndivs = 5;
    r->div = scalsup_SplitDouble((r->max - r->min) / r->ndivs);
    return 0;
}

// Max free, min fixed.
static int case5(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (count_requested(r)) {
        best_div(r);
        PickOneTwoFive(&r->div);
        AdjustMaxUsingDivSize(r, r->min + ComputeAxisRange(r));
        return 0;
    }
    r->ndivs = 5;
    best_div(r);
    PickOneTwoFive(&r->div);
    return cover_max(r, AdjustMaxUsingDivSize, false);
}

// Max fixed, min free: case 5 mirrored.
static int case6(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (count_requested(r)) {
        best_div(r);
        PickOneTwoFive(&r->div);
        AdjustMinUsingDivSize(r, r->max - ComputeAxisRange(r));
        return 0;
    }
    r->ndivs = 5;
    best_div(r);
    PickOneTwoFive(&r->div);
    if (r->min >= r->max - ComputeAxisRange(r)) {
        if (count_ceil(r) < 0)
            return -1;
        r->min = r->max - ComputeAxisRange(r);
        return 0;
    }
    ScaleRec a = *r, b = *r;
    AdjustMinUsingDivSize(&a, a.max - ComputeAxisRange(&a));
    if (count_ceil(&b) < 0)
        return -1;
    b.min = b.max - ComputeAxisRange(&b);
    *r = (b.max - b.min > a.max - a.min) ? a : b;
    return 0;
}

static int case7(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r))
        return -1;
    r->max = r->min + ComputeAxisRange(r);
    return 0;
}

static int case8(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r))
        return -1;
    r->min = r->max - ComputeAxisRange(r);
    return 0;
}

static int case9(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r) || count_ceil(r) < 0)
        return -1;
    r->max = r->min + ComputeAxisRange(r);
    return scalsup_CountCheck(r);
}

static int case10(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r) || count_ceil(r) < 0)
        return -1;
    r->min = r->max - ComputeAxisRange(r);
    return scalsup_CountCheck(r);
}

static int case11(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r))
        return -1;
    double range = ComputeAxisRange(r);
    if (range < r->max - r->min)
        return scalsup_SetScaleErrno(SCERR_CANNOT_COVER), -1;
    double d = div_of(r);
    double k = std::trunc(r->min / d);
    if (r->max < (k + r->ndivs) * d)
        r->min = k * d;
    r->max = r->min + range;
    return 0;
}

static int case12(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (zero_div(r))
        return -1;
    floor_min(r);
    if (count_ceil(r) < 0)
        return -1;
    r->max = r->min + ComputeAxisRange(r);
    return scalsup_CountCheck(r);
}

static int case13(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    best_div(r);
    PickOneTwoFive(&r->div);
    floor_min(r);
    double x = r->min + ComputeAxisRange(r);
    if (r->max > x)
        AdjustMinMaxUsingDivSize(r, x);
    else
        r->max = x;
    return 0;
}

// Both ends free: the usual automatic axis.
static int case14(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    if (!count_requested(r))
        r->ndivs = 5;
    best_div(r);
    PickOneTwoFive(&r->div);
    floor_min(r);
    return cover_max(r, AdjustMinMaxUsingDivSize, true);
}

static int ComputeSDiv(ScaleRec *r)
{
    scalsup_SmallDivCheck(r);
    if (!sc_requested(r, SC_SDIVS_A, SC_SDIVS_F))
        r->nsdivs = r->div.mant == 2 ? 4 : 5;
    r->sdiv = scalsup_SplitDouble(div_of(r) / r->nsdivs);
    return 0;
}

static double GetDivSize(ScaleRec *r) { return div_of(r); }

static int GetFirstDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMin(&lin_div_index, r, v); }

static int GetLastDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMax(&lin_div_index, r, v); }

static int GetNextDiv(ScaleRec *r, double *v)
{
    if (!scalsup_WalkStep(&lin_div_index, r->ndivs))
        return -1;
    *v = r->min + scalsup_PfloatToDouble(scalsup_MultPfloat(r->div, lin_div_index));
    return 0;
}

static int GetFirstSDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMin(&lin_sdiv_index, r, v); }

static int GetNextSDiv(ScaleRec *r, double *v)
{
    if (!scalsup_WalkStep(&lin_sdiv_index, static_cast<long>(r->ndivs) * r->nsdivs))
        return -1;
    *v = r->min + scalsup_PfloatToDouble(scalsup_MultPfloat(r->sdiv, lin_sdiv_index));
    return 0;
}

static const ScaleRoutines linreal_routines = {
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
    scalsup_NoTransform,
    scalsup_NoTransform,
};

void linreal_InstallLinRealRoutines() { scalsup_current = &linreal_routines; }
