// Shared inside the scale library: the current routine set, the checks all
// scale types apply, and the module's diagnostics.
#pragma once

#include "gsscale.h"
#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "gsup_msgs.def"
#undef VXMSG

// The routine set made current by the last install.
extern const ScaleRoutines *scalsup_current;

// Writes one of the module's diagnostics to standard error.
void gsup_diagnostic(const VxMsg<> &m);

inline bool sc_requested(const ScaleRec *r, uint16_t a, uint16_t f) { return (r->flags & (a | f)) != 0; }

// Pieces every routine set shares.  Each scale type keeps its own walk
// counters and hands them in.
inline int scalsup_NumDivs(ScaleRec *r) { return r->ndivs; }
inline int scalsup_NumSDivs(ScaleRec *r) { return r->nsdivs; }
inline ScaleProc scalsup_NoTransform() { return nullptr; }
// Starts a walk at min, or at max with the counter at the end.
inline int scalsup_WalkFromMin(int *index, const ScaleRec *r, double *v)
{
    *index = 0;
    *v = r->min;
    return 0;
}
inline int scalsup_WalkFromMax(int *index, const ScaleRec *r, double *v)
{
    *index = r->ndivs;
    *v = r->max;
    return 0;
}
// Moves the counter one step on; false once it has reached `end`.
inline bool scalsup_WalkStep(int *index, long end)
{
    if (*index >= end)
        return false;
    ++*index;
    return true;
}

// When min equals max: max = min + 1 (0 to 1 when both are 0).
void scalsup_LinearRangeCheck(ScaleRec *r);
// Logarithmic range: errors 4 and 5; equal ends become max/2 .. max*2.
int scalsup_LogRangeCheck(ScaleRec *r);
// A requested small count of 0 or above 100 is dropped with warning 11.
void scalsup_SmallDivCheck(ScaleRec *r);
// A computed count above 1000 is error 17.
int scalsup_CountCheck(const ScaleRec *r);
// A computed count as an int: error 17 (and -1) when it is beyond any
// count the axis could draw, or not a number.
int scalsup_CountFromDouble(double q, int32_t *count);

// t plus n calendar units (0 year .. 5 second) in local time; false when
// the result cannot be represented.
bool lintd_AddTimedate(double t, long n, int unit, double *out);
