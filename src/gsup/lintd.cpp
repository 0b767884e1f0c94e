// The date and time scale: time values in seconds since the epoch, with
// divisions of whole calendar units stepped on the calendar (a month from
// the 31st of January goes on to March).

#include "gsscalint.h"
#include "vxcal.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

// A broken-down time: full year, month 0-11, day of month 0-based, hour,
// minute, second.
struct TimeFields {
    long f[6];
};
enum { F_YEAR, F_MONTH, F_DAY, F_HOUR, F_MINUTE, F_SECOND };

bool first_failure = true;

int td_div_index = 0, td_sdiv_index = 0;
double td_cur = 0, td_scur = 0;
bool td_div_failed = false, td_sdiv_failed = false;

// Month 0-11.
long month_length(long year, long month) { return cal_month_length(year, static_cast<int>(month) + 1); }

// A time value broken down in local time, or as a duration in universal
// time (years counted from 1970).
bool TdToTv(double t, TimeFields *out, bool duration)
{
    if (!(t > -9.0e18 && t < 9.0e18))
        return false;
    time_t tt = static_cast<time_t>(std::trunc(t));
    struct tm tm;
    if (!(duration ? gmtime_r(&tt, &tm) : localtime_r(&tt, &tm)))
        return false;
    out->f[F_YEAR] = tm.tm_year + 1900L - (duration ? 1970 : 0);
    out->f[F_MONTH] = tm.tm_mon;
    out->f[F_DAY] = tm.tm_mday - 1;
    out->f[F_HOUR] = tm.tm_hour;
    out->f[F_MINUTE] = tm.tm_min;
    out->f[F_SECOND] = tm.tm_sec;
    return true;
}

// The time value of a local time (month 1-12, day 1-based); daylight rule
// 2 leaves daylight saving to the system, 1 forces it, 0 forbids it.
// Out-of-range fields are normalised.  False (errno ERANGE) when the time
// cannot be represented.
bool un_ctime(long year, long month, long day, long hour, long minute, long second, int rule, double *out)
{
    long limits[] = {year - 1900, month - 1, day, hour, minute, second};
    for (long v : limits)
        if (v < INT_MIN || v > INT_MAX) {
            errno = ERANGE;
            return false;
        }
    struct tm tm {};
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = static_cast<int>(month - 1);
    tm.tm_mday = static_cast<int>(day);
    tm.tm_hour = static_cast<int>(hour);
    tm.tm_min = static_cast<int>(minute);
    tm.tm_sec = static_cast<int>(second);
    tm.tm_isdst = rule == 2 ? -1 : rule;
    errno = 0;
    time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1) && errno != 0) {
        errno = ERANGE;
        return false;
    }
    *out = static_cast<double>(t);
    return true;
}

bool convert(const TimeFields &t, double *out)
{
    return un_ctime(t.f[F_YEAR], t.f[F_MONTH] + 1, t.f[F_DAY] + 1, t.f[F_HOUR], t.f[F_MINUTE], t.f[F_SECOND], 2, out);
}

// Back to a time value.  The first failure checks whether conversions work
// at all; when even plain 1990 dates fail the time zone is broken, and it
// is cleared (once per process).
bool TvToTd(const TimeFields &t, double *out)
{
    if (convert(t, out))
        return true;
    if (errno != ERANGE || !first_failure)
        return false;
    static const long probes[3][3] = {{1990, 2, 4}, {1990, 9, 30}, {1990, 12, 6}};
    for (auto &p : probes) {
        double v;
        if (un_ctime(p[0], p[1], p[2], 12, 0, 0, 2, &v)) {
            first_failure = false;
            return false;
        }
    }
    gsup_diagnostic(GSUP_TZ_CLEARING);
    setenv("TZ", "", 1);
    tzset();
    first_failure = false;
    return convert(t, out);
}

// t plus n units on the calendar.
bool AddTimedate(double t, long n, int unit, double *out)
{
    TimeFields f;
    if (unit < F_YEAR || unit > F_SECOND || !TdToTv(t, &f, false))
        return false;
    long *v = f.f;
    if (n > 0 && v[unit] > LONG_MAX - n)
        return false;
    v[unit] += n;
    v[F_MINUTE] += v[F_SECOND] / 60;
    v[F_SECOND] %= 60;
    v[F_HOUR] += v[F_MINUTE] / 60;
    v[F_MINUTE] %= 60;
    v[F_DAY] += v[F_HOUR] / 24;
    v[F_HOUR] %= 24;
    v[F_YEAR] += v[F_MONTH] / 12;
    v[F_MONTH] %= 12;
    // Whole 400-year cycles first: the calendar repeats after 146097 days.
    if (v[F_DAY] > 146097) {
        v[F_YEAR] += 400 * (v[F_DAY] / 146097);
        v[F_DAY] %= 146097;
    }
    while (v[F_MONTH] >= 0 && v[F_DAY] > month_length(v[F_YEAR], v[F_MONTH])) {
        v[F_DAY] -= month_length(v[F_YEAR], v[F_MONTH]);
        if (++v[F_MONTH] > 11) {
            v[F_MONTH] = 0;
            v[F_YEAR]++;
        }
    }
    return TvToTd(f, out);
}

int leading_field(const TimeFields &f)
{
    for (int i = F_YEAR; i < F_SECOND; i++)
        if (f.f[i] != 0)
            return i;
    return F_SECOND;
}

// The time unit: forced, or chosen from the range.
void GetUnits(ScaleRec *r)
{
    if (r->reqtdunits >= TD_YEAR && r->reqtdunits <= TD_SECOND) {
        r->tdunits = r->reqtdunits;
        return;
    }
    TimeFields f;
    if (!TdToTv(r->max - r->min, &f, true)) {
        r->tdunits = TD_YEAR;
        return;
    }
    int lead = leading_field(f);
    long mag = std::labs(f.f[lead]);
    int unit = lead;
    if (mag <= 2) {
        if (lead == F_DAY)
            unit = mag <= 1 ? F_HOUR : F_DAY;
        else if (lead != F_SECOND)
            unit = lead + 1;
    }
    r->tdunits = static_cast<int16_t>(unit);
}

long div_units(const ScaleRec *r)
{
    double d = scalsup_PfloatToDouble(r->div);
    if (!(d >= 1))
        return 1;
    if (d > 1e12)
        return 1000000000000L;
    return static_cast<long>(d);
}

void GetBestDivSize(ScaleRec *r)
{
    int n = r->ndivs > 0 ? r->ndivs : 1;
    double x = (r->max - r->min) / n;
    TimeFields f;
    if (!(x <= 9.2e18) || !TdToTv(x, &f, true))
        return;
    int unit = r->tdunits, lead = leading_field(f);
    long h = lead > unit ? 1 : f.f[unit];
    bool coarser = lead < unit;
    long d;
    switch (unit) {
    case TD_YEAR: d = h; break;
    case TD_MONTH: d = coarser ? 12 : h == 1 ? 1 : h <= 4 ? 3 : 6; break;
    case TD_DAY: d = coarser ? 7 : h >= 3 ? 7 : 1; break;
    case TD_HOUR:
        if ((r->flags & SC_NDIVS_F) && x >= 3600) {
            // An exact count: the division must cover the range in whole
            // hours, days included.
            d = static_cast<long>(std::ceil(x / 3600));
        } else {
            d = coarser ? 24 : h == 1 ? 1 : h <= 4 ? 3 : h <= 8 ? 6 : 12;
        }
        break;
    default: d = coarser ? 60 : h < 3 ? 1 : h < 8 ? 5 : h < 13 ? 10 : h < 20 ? 15 : 30; break;
    }
    r->div = scalsup_SplitDouble(static_cast<double>(d < 1 ? 1 : d));
}

// One step of a walk: a step that cannot be converted leaves the value
// where it was and makes the next step twice as long.
void walk_step(double *v, long d, int unit, bool *failed)
{
    double nv;
    if (AddTimedate(*v, *failed ? 2 * d : d, unit, &nv)) {
        *v = nv;
        *failed = false;
    } else {
        *failed = true;
    }
}

int ComputeNdivs(ScaleRec *r)
{
    long d = div_units(r);
    double v = r->min;
    bool failed = false;
    int n = 0;
    while (v < r->max && n <= 1000) {
        walk_step(&v, d, r->tdunits, &failed);
        n++;
    }
    r->ndivs = n == 1 ? 2 : n;
    return v == r->max ? 0 : -1;
}

double walk_from_min(const ScaleRec *r)
{
    long d = div_units(r);
    double v = r->min;
    bool failed = false;
    for (int i = 0; i < r->ndivs; i++)
        walk_step(&v, d, r->tdunits, &failed);
    return v;
}

int ComputeMax(ScaleRec *r)
{
    double end = walk_from_min(r);
    if (end < r->max)
        return -1;
    r->max = end;
    return 0;
}

int CheckRange(ScaleRec *r) { return walk_from_min(r) == r->max ? 0 : -1; }

int ComputeMin(ScaleRec *r)
{
    long d = div_units(r);
    double v = r->min;
    TimeFields f;
    if (TdToTv(r->min, &f, false)) {
        for (int i = r->tdunits + 1; i <= F_SECOND; i++)
            f.f[i] = 0;
        double t0;
        if (TvToTd(f, &t0) && t0 <= r->min)
            v = t0;
    }
    for (int guard = 0; guard < 100000; guard++) {
        double nv;
        if (!AddTimedate(v, d, r->tdunits, &nv) && !AddTimedate(v, 2 * d, r->tdunits, &nv))
            break;
        if (nv > r->min || nv <= v)
            break;
        v = nv;
    }
    r->min = v;
    return CheckRange(r);
}

bool zero_div(const ScaleRec *r)
{
    if (r->div.mant != 0)
        return false;
    scalsup_SetScaleErrno(SCERR_ZERO_DIV);
    return true;
}

int fail(int code) { return scalsup_SetScaleErrno(code), -1; }

void prepare(ScaleRec *r)
{
    scalsup_LinearRangeCheck(r);
    GetUnits(r);
}

bool count_requested(const ScaleRec *r) { return sc_requested(r, SC_NDIVS_A, SC_NDIVS_F); }

int case1(ScaleRec *r)
{
    prepare(r);
    if (zero_div(r))
        return -1;
    return CheckRange(r) < 0 ? fail(SCERR_DISAGREE) : 0;
}

int case2(ScaleRec *r)
{
    prepare(r);
    if (zero_div(r))
        return -1;
    if (ComputeNdivs(r) < 0)
        return fail(SCERR_DISAGREE);
    return scalsup_CountCheck(r);
}

int case3(ScaleRec *r)
{
    prepare(r);
    if (zero_div(r))
        return -1;
    r->ndivs = 5;
    GetBestDivSize(r);
    return ComputeNdivs(r) < 0 ? fail(SCERR_DISAGREE) : 0;
}

int case4(ScaleRec *r)
{
    prepare(r);
    bool exact = r->flags & SC_NDIVS_F;
    if (!exact)
        r->ndivs = 5;
    GetBestDivSize(r);
    int rc = exact ? CheckRange(r) : ComputeNdivs(r);
    return rc < 0 ? fail(SCERR_CANNOT_REACH) : 0;
}

int case5(ScaleRec *r)
{
    prepare(r);
    if (!count_requested(r))
        r->ndivs = 5;
    GetBestDivSize(r);
    if (!(r->flags & SC_NDIVS_F))
        ComputeNdivs(r);
    return ComputeMax(r) < 0 ? fail(SCERR_CANNOT_REACH) : 0;
}

int case6(ScaleRec *r)
{
    prepare(r);
    if (!count_requested(r))
        r->ndivs = 5;
    GetBestDivSize(r);
    ComputeMin(r);
    if (r->flags & SC_NDIVS_F)
        return CheckRange(r) < 0 ? fail(SCERR_CANNOT_REACH) : 0;
    return ComputeNdivs(r) < 0 ? fail(SCERR_DISAGREE) : 0;
}

int case7(ScaleRec *r)
{
    prepare(r);
    if (zero_div(r))
        return -1;
    return ComputeMax(r) < 0 ? fail(SCERR_CANNOT_REACH) : 0;
}

int case8(ScaleRec *r)
{
    prepare(r);
    if (zero_div(r))
        return -1;
    return ComputeMin(r) < 0 ? fail(SCERR_DISAGREE) : 0;
}

int case9(ScaleRec *r)
{
    prepare(r);
    if (!(r->flags & SC_NDIVS_A))
        r->ndivs = 5;
    if (r->flags & SC_DIV_A)
        GetBestDivSize(r);
    ComputeNdivs(r);
    if (ComputeMax(r) < 0)
        return fail(SCERR_CANNOT_COVER);
    return scalsup_CountCheck(r);
}

int case10(ScaleRec *r)
{
    prepare(r);
    if (!(r->flags & SC_NDIVS_A))
        r->ndivs = 5;
    if (r->flags & SC_DIV_A)
        GetBestDivSize(r);
    ComputeMin(r);
    if (ComputeNdivs(r) < 0)
        return fail(SCERR_DISAGREE);
    return scalsup_CountCheck(r);
}

int case11(ScaleRec *r)
{
    prepare(r);
    if (zero_div(r))
        return -1;
    ComputeMin(r);
    return ComputeMax(r) < 0 ? fail(SCERR_CANNOT_COVER) : 0;
}

int case12(ScaleRec *r)
{
    prepare(r);
    if (zero_div(r))
        return -1;
    ComputeMin(r);
    ComputeNdivs(r);
    ComputeMax(r);
    return scalsup_CountCheck(r);
}

int case13(ScaleRec *r)
{
    prepare(r);
    GetBestDivSize(r);
    ComputeMin(r);
    return ComputeMax(r) < 0 ? fail(SCERR_CANNOT_REACH) : 0;
}

int case14(ScaleRec *r)
{
    prepare(r);
    if (!(r->flags & SC_NDIVS_A))
        r->ndivs = 5;
    GetBestDivSize(r);
    ComputeMin(r);
    ComputeNdivs(r);
    ComputeMax(r);
    return 0;
}

int ComputeSDiv(ScaleRec *r)
{
    scalsup_SmallDivCheck(r);
    long d = div_units(r);
    if (!sc_requested(r, SC_SDIVS_A, SC_SDIVS_F))
        r->nsdivs = static_cast<int32_t>(d > INT32_MAX ? INT32_MAX : d);
    else if (r->nsdivs > d)
        r->nsdivs = static_cast<int32_t>(d);
    r->sdiv = scalsup_SplitDouble(static_cast<double>(d) / r->nsdivs);
    return 0;
}

double GetDivSize(ScaleRec *r) { return static_cast<double>(div_units(r)); }

int GetFirstDiv(ScaleRec *r, double *v)
{
    td_div_index = 0;
    td_div_failed = false;
    *v = td_cur = r->min;
    return 0;
}

int GetLastDiv(ScaleRec *r, double *v)
{
    td_div_index = r->ndivs;
    *v = td_cur = r->max;
    return 0;
}

// The last division comes with -1.
int GetNextDiv(ScaleRec *r, double *v)
{
    td_div_index++;
    walk_step(&td_cur, div_units(r), r->tdunits, &td_div_failed);
    *v = td_cur;
    return td_div_index >= r->ndivs ? -1 : 0;
}

int GetFirstSDiv(ScaleRec *r, double *v)
{
    td_sdiv_index = 0;
    td_sdiv_failed = false;
    *v = td_scur = r->min;
    return 0;
}

int GetNextSDiv(ScaleRec *r, double *v)
{
    if (static_cast<long>(td_sdiv_index) >= static_cast<long>(r->ndivs) * r->nsdivs - 1)
        return -1;
    td_sdiv_index++;
    double s = scalsup_PfloatToDouble(r->sdiv);
    long step = s >= 1 ? static_cast<long>(s) : 1;
    walk_step(&td_scur, step, r->tdunits, &td_sdiv_failed);
    *v = td_scur;
    return 0;
}

const ScaleRoutines lintd_routines = {
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

}  // namespace

void linreal_InstallLinTdRoutines() { scalsup_current = &lintd_routines; }

// For the tests of the calendar arithmetic.
bool lintd_AddTimedate(double t, long n, int unit, double *out) { return AddTimedate(t, n, unit, out); }
