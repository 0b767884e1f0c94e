// Axis scales: the scale record of one axis, the request modes, the public
// scale operations and the routine sets of the six scale types.
//
// A caller fills a record (scale_ClearScaleStuff, scale_SetScaleType, the
// setters), runs scale_ScaleAxis, and then walks the major and small
// divisions.  The current routine set, the division walks and the error
// and warning registers are module state: one scaling and one walk per
// scale type at a time, single-threaded.
#pragma once

#include <nl_types.h>

#include <cstdint>

// A decimal number: mantissa x 10^exponent.  Division positions are
// computed in it so that min + k x div carries no accumulated rounding.
struct pfloat {
    int64_t mant;
    int16_t exp;
};

// Scale types.
enum {
    SCALE_LINEAR = 0,
    SCALE_LOG = 1,
    SCALE_TIMEDATE = 2,
    SCALE_DISCRETE = 4,
    SCALE_NORMAL = 5,
    SCALE_WEIBULL = 6,
};

// Request bits: mode 1 (approximate) and mode 2 (exact) of each quantity.
enum : uint16_t {
    SC_MAX_A = 0x0001,
    SC_MIN_A = 0x0002,
    SC_ORG_A = 0x0004,
    SC_NDIVS_A = 0x0008,
    SC_DIV_A = 0x0010,
    SC_SDIVS_A = 0x0020,
    SC_MAX_F = 0x0100,
    SC_MIN_F = 0x0200,
    SC_ORG_F = 0x0400,
    SC_NDIVS_F = 0x0800,
    SC_DIV_F = 0x1000,
    SC_SDIVS_F = 0x2000,
};

// Time units of a time/date scale; 6 and 7 ask for a unit chosen from the
// range (7 also for date-and-time labels).
enum { TD_YEAR = 0, TD_MONTH, TD_DAY, TD_HOUR, TD_MINUTE, TD_SECOND, TD_AUTO, TD_AUTO_DATETIME };

// The scale of one axis.
struct ScaleRec {
    int32_t type;
    int32_t ndivs;
    uint16_t flags;
    uint8_t orgrule;  // 1 to 5: how to pick an origin that was not requested
    double max;
    double min;
    double origin;
    pfloat div;          // division size; for a logarithmic scale a factor
    int16_t tdunits;     // calendar unit of a time/date scale
    int16_t reqtdunits;  // unit asked for
    int32_t nsdivs;      // small-division steps per division
    pfloat sdiv;         // small-division size
};

using ScaleProc = double (*)(double);

// Scale errors (the run fails) and warnings (the run succeeds with 1).
enum {
    SCERR_LOG_FACTOR = 1,
    SCERR_COUNT_NOT_POSITIVE = 2,
    SCERR_BAD_TYPE = 3,
    SCERR_LOG_MAX = 4,
    SCERR_LOG_MIN = 5,
    SCERR_EXACT_ORIGIN = 6,
    SCERR_CANNOT_COVER = 8,
    SCERR_DISAGREE = 9,
    SCERR_CANNOT_REACH = 10,
    SCERR_ZERO_DIV = 12,
    SCERR_TOO_MANY = 17,
    SCERR_FPE = 18,

    SCWARN_MIN_TO_ORIGIN = 7,
    SCWARN_SDIVS_IGNORED = 11,
    SCWARN_MAX_TO_ORIGIN = 13,
    SCWARN_SWAPPED = 14,
    SCWARN_COUNT_TOO_BIG = 15,
    SCWARN_COUNT_ZERO = 16,
};

// ---- front end -------------------------------------------------------------

void scale_ClearScaleStuff(ScaleRec *rec);
int scale_SetScaleType(ScaleRec *rec, int type);
void scale_SetScaleMax(ScaleRec *rec, double value, int mode);
void scale_SetScaleMin(ScaleRec *rec, double value, int mode);
void scale_SetScaleNdivs(ScaleRec *rec, int count, int mode);
void scale_SetScaleDiv(ScaleRec *rec, double size, int mode);
void scale_SetScaleNumSmallDivs(ScaleRec *rec, int count, int mode);
void scale_SetScaleOrg(ScaleRec *rec, double value, int mode, int rule);

// Runs the scaling: 0 done, 1 done with a warning, 2 failed with an error;
// *code is the warning or error number (0 when there is none).  A
// floating-point trap inside the run abandons it with error 18.
int scale_ScaleAxis(ScaleRec *rec, int *code);

int scale_GetNumDivs(ScaleRec *rec);
int scale_GetNumSDivs(ScaleRec *rec);
double scale_GetDivSize(ScaleRec *rec);
int scale_GetFirstDiv(ScaleRec *rec, double *value);
int scale_GetLastDiv(ScaleRec *rec, double *value);
// -1 past the last division.  A time/date scale hands its last division
// over together with the -1.
int scale_GetNextDiv(ScaleRec *rec, double *value);
int scale_GetFirstSDiv(ScaleRec *rec, double *value);
int scale_GetNextSDiv(ScaleRec *rec, double *value);
int scale_GetOrg(ScaleRec *rec, double *value);
ScaleProc scale_GGetForwardScaleProc(ScaleRec *rec);
ScaleProc scale_GGetReverseScaleProc(ScaleRec *rec);
int scale_GetTDUnits(ScaleRec *rec);

// ---- registers and decimal numbers -----------------------------------------

int scalsup_SetScaleErrno(int code);
int scalsup_SetScaleWarning(int code);
void scalsup_ClearScaleErrno();
int scalsup_GetScaleErrno();
int scalsup_GetScaleWarning();

pfloat scalsup_SplitDouble(double value);
double scalsup_PfloatToDouble(pfloat p);
pfloat scalsup_MultPfloat(pfloat p, long n);
double scalsup_MyExp10(int power);

// The catalogue of the module's diagnostics (none: their built-in texts).
void gsup_set_catalogue(nl_catd cd);

// ---- routine sets ------------------------------------------------------------

using ScaleCaseProc = int (*)(ScaleRec *);
using ScaleWalkProc = int (*)(ScaleRec *, double *);

// The 25 routines of one scale type.
struct ScaleRoutines {
    ScaleCaseProc HandleCase[14];
    ScaleCaseProc ComputeSDiv;
    double (*GetDivSize)(ScaleRec *);
    int (*GetNumDivs)(ScaleRec *);
    int (*GetNumSDivs)(ScaleRec *);
    ScaleWalkProc GetFirstDiv;
    ScaleWalkProc GetLastDiv;
    ScaleWalkProc GetNextDiv;
    ScaleWalkProc GetFirstSDiv;
    ScaleWalkProc GetNextSDiv;
    ScaleProc (*GetForwardScale)();
    ScaleProc (*GetReverseScale)();
};

// Makes the record's type current; an invalid type sets error 3 and gives -1.
int InstallScaleRoutines(ScaleRec *rec);
void linreal_InstallLinRealRoutines();
void logreal_InstallLogRealRoutines();
void linreal_InstallLinTdRoutines();
void discrt_InstallDiscreetRoutines();
void normal_InstallNormalRoutines();
void normal_InstallWeibullRoutines();
