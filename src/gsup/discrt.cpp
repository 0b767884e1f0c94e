// The discrete scale: the categories of a non-numeric axis numbered 0, 1,
// 2, ...  Every case is the same.

#include "gsscalint.h"

#include <cmath>
#include <cstdint>

static int discrt_div_index = 0;
static int discrt_sdiv_index = 0;

static int HandleAllCases(ScaleRec *r)
{
    if (r->max < 0) {
        gsup_diagnostic(GSUP_DISCRETE_NEGMAX);
        r->flags &= static_cast<uint16_t>(~(SC_MAX_A | SC_MAX_F));
        return -1;
    }
    double max = std::trunc(r->max), min = std::trunc(r->min);
    if (max == 0)
        max = 1;
    if (min < 0)
        min = 0;
    if (max - min > INT32_MAX)
        return scalsup_SetScaleErrno(SCERR_TOO_MANY), -1;
    r->ndivs = static_cast<int32_t>(max - min);
    r->max = max;
    r->min = min;
    r->div = scalsup_SplitDouble(1);
    r->origin = min;
    return 0;
}

static int ComputeSDiv(ScaleRec *r)
{
    r->nsdivs = 1;
    r->sdiv = scalsup_SplitDouble(1);
    return 0;
}

static double GetDivSize(ScaleRec *) { return 1; }

static int GetFirstDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMin(&discrt_div_index, r, v); }

static int GetLastDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMax(&discrt_div_index, r, v); }

static int GetNextDiv(ScaleRec *r, double *v)
{
    if (!scalsup_WalkStep(&discrt_div_index, r->ndivs))
        return -1;
    *v = r->min + discrt_div_index;
    return 0;
}

static int GetFirstSDiv(ScaleRec *r, double *v) { return scalsup_WalkFromMin(&discrt_sdiv_index, r, v); }

static int GetNextSDiv(ScaleRec *r, double *v)
{
    if (!scalsup_WalkStep(&discrt_sdiv_index, r->ndivs))
        return -1;
    *v = r->min + discrt_sdiv_index;
    return 0;
}

static const ScaleRoutines discrt_routines = {
    {HandleAllCases, HandleAllCases, HandleAllCases, HandleAllCases, HandleAllCases, HandleAllCases, HandleAllCases,
     HandleAllCases, HandleAllCases, HandleAllCases, HandleAllCases, HandleAllCases, HandleAllCases, HandleAllCases},
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

void discrt_InstallDiscreetRoutines() { scalsup_current = &discrt_routines; }
