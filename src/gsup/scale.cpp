// The scale front end: setters, the scaling run with its floating-point
// trap guard, the case choice, the origin rule, the registers and the
// decimal numbers shared by every scale type.

#include "gsscalint.h"
#include "vxcat.h"

#include <cerrno>
#include <cfenv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <csignal>
#include <cstdio>

const ScaleRoutines *scalsup_current = nullptr;

static nl_catd gsup_cat = NL_NO_CATALOGUE;

void gsup_set_catalogue(nl_catd cd) { gsup_cat = cd; }

void gsup_diagnostic(const VxMsg<> &m)
{
    // Argument-less: no formatting, so nothing here needs destruction and
    // it is safe inside the scaling run.
    fputs(vx_msg(gsup_cat, m), stderr);
}

// ---- registers -------------------------------------------------------------

// Written by the trap handler as well.
static volatile sig_atomic_t scale_errno_set = 0, scale_errno = 0;
static volatile sig_atomic_t scale_warning_set = 0, scale_warning = 0;

int scalsup_SetScaleErrno(int code)
{
    if (!scale_errno_set) {
        scale_errno = code;
        scale_errno_set = 1;
    }
    return code;
}

int scalsup_SetScaleWarning(int code)
{
    if (!scale_warning_set) {
        scale_warning = code;
        scale_warning_set = 1;
    }
    return code;
}

void scalsup_ClearScaleErrno()
{
    scale_errno_set = 0;
    scale_warning_set = 0;
}

int scalsup_GetScaleErrno() { return scale_errno_set ? scale_errno : 0; }
int scalsup_GetScaleWarning() { return scale_warning_set ? scale_warning : 0; }

// ---- decimal numbers ---------------------------------------------------------

static const double LONG_MAX_DIV10 = 214748364.0;

pfloat scalsup_SplitDouble(double value)
{
    pfloat p{0, 0};
    if (std::isnan(value))
        return p;
    if (std::isinf(value))
        value = value > 0 ? DBL_MAX : -DBL_MAX;
    double mag = std::fabs(value);
    int exp = 0;
    if (mag != 0 && mag < LONG_MAX_DIV10) {
        while (mag < LONG_MAX_DIV10) {
            mag *= 10;
            exp--;
        }
    } else {
        while (mag > LONG_MAX_DIV10) {
            mag /= 10;
            exp++;
        }
    }
    p.mant = static_cast<int64_t>(mag);
    if (value < 0)
        p.mant = -p.mant;
    p.exp = static_cast<int16_t>(exp);
    return p;
}

double scalsup_PfloatToDouble(pfloat p)
{
    if (p.mant == 0 || p.exp < -307)
        return 0;
    if (p.exp > 308)
        return p.mant > 0 ? DBL_MAX : -DBL_MAX;
    double v = static_cast<double>(p.mant);
    for (int e = p.exp; e > 0; e--)
        v *= 10;
    for (int e = p.exp; e < 0; e++)
        v /= 10;
    return v;
}

pfloat scalsup_MultPfloat(pfloat p, long n)
{
    if (n == 0 || p.mant == 0)
        return pfloat{0, 0};
    bool negative = (p.mant < 0) != (n < 0);
    uint64_t mag = p.mant < 0 ? 0 - static_cast<uint64_t>(p.mant) : static_cast<uint64_t>(p.mant);
    uint64_t nmag = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    int exp = p.exp;
    uint64_t limit = static_cast<uint64_t>(INT64_MAX) / nmag;
    while (mag > limit) {
        mag /= 10;
        exp++;
    }
    uint64_t prod = mag * nmag;
    while (prod != 0 && prod < static_cast<uint64_t>(LONG_MAX_DIV10)) {
        prod *= 10;
        exp--;
    }
    if (exp > INT16_MAX)
        exp = INT16_MAX;
    if (exp < INT16_MIN)
        exp = INT16_MIN;
    int64_t m = static_cast<int64_t>(prod);
    return pfloat{negative ? -m : m, static_cast<int16_t>(exp)};
}

double scalsup_MyExp10(int power)
{
    if (power > 308)
        return DBL_MAX;
    if (power < -307)
        return 0;
    double v = 1;
    for (int i = power; i > 0; i--)
        v *= 10;
    for (int i = power; i < 0; i++)
        v /= 10;
    return v;
}

// ---- checks shared by the scale types ------------------------------------------

void scalsup_LinearRangeCheck(ScaleRec *r)
{
    if (r->min != r->max)
        return;
    if (r->min == 0) {
        r->min = 0;
        r->max = 1;
    } else {
        r->max = r->min + 1;
    }
}

int scalsup_LogRangeCheck(ScaleRec *r)
{
    if (r->max <= 0)
        return scalsup_SetScaleErrno(SCERR_LOG_MAX), -1;
    if (r->min <= 0)
        return scalsup_SetScaleErrno(SCERR_LOG_MIN), -1;
    if (r->min == r->max) {
        r->min = r->max * 0.5;
        r->max = r->max * 2;
    }
    return 0;
}

void scalsup_SmallDivCheck(ScaleRec *r)
{
    if (sc_requested(r, SC_SDIVS_A, SC_SDIVS_F) && (r->nsdivs == 0 || r->nsdivs > 100)) {
        scalsup_SetScaleWarning(SCWARN_SDIVS_IGNORED);
        r->flags &= static_cast<uint16_t>(~(SC_SDIVS_A | SC_SDIVS_F));
    }
}

int scalsup_CountCheck(const ScaleRec *r)
{
    if (r->ndivs > 1000)
        return scalsup_SetScaleErrno(SCERR_TOO_MANY), -1;
    return 0;
}

int scalsup_CountFromDouble(double q, int32_t *count)
{
    // Far beyond the 1000 divisions any axis draws; the count checks that
    // follow report such counts as error 17.
    if (!(q >= -1e6 && q <= 1e6))
        return scalsup_SetScaleErrno(SCERR_TOO_MANY), -1;
    *count = static_cast<int32_t>(q);
    return 0;
}

// ---- routine sets ------------------------------------------------------------------

int InstallScaleRoutines(ScaleRec *rec)
{
    switch (rec->type) {
    case SCALE_LINEAR: linreal_InstallLinRealRoutines(); return 0;
    case SCALE_LOG: logreal_InstallLogRealRoutines(); return 0;
    case SCALE_TIMEDATE: linreal_InstallLinTdRoutines(); return 0;
    case SCALE_DISCRETE: discrt_InstallDiscreetRoutines(); return 0;
    case SCALE_NORMAL: normal_InstallNormalRoutines(); return 0;
    case SCALE_WEIBULL: normal_InstallWeibullRoutines(); return 0;
    default: scalsup_SetScaleErrno(SCERR_BAD_TYPE); return -1;
    }
}

// ---- setters -------------------------------------------------------------------

void scale_ClearScaleStuff(ScaleRec *rec)
{
    rec->flags = 0;
    rec->orgrule = 0;
}

int scale_SetScaleType(ScaleRec *rec, int type)
{
    rec->type = type;
    return 0;
}

// Mode 1 or 2 sets that mode's bit and clears the other; 0 clears both.
static bool set_mode(ScaleRec *rec, int mode, uint16_t a, uint16_t f)
{
    switch (mode) {
    case 0: rec->flags &= static_cast<uint16_t>(~(a | f)); return false;
    case 1: rec->flags = static_cast<uint16_t>((rec->flags & ~f) | a); return true;
    case 2: rec->flags = static_cast<uint16_t>((rec->flags & ~a) | f); return true;
    default: return false;
    }
}

void scale_SetScaleMax(ScaleRec *rec, double value, int mode)
{
    if (set_mode(rec, mode, SC_MAX_A, SC_MAX_F))
        rec->max = value;
}

void scale_SetScaleMin(ScaleRec *rec, double value, int mode)
{
    if (set_mode(rec, mode, SC_MIN_A, SC_MIN_F))
        rec->min = value;
}

void scale_SetScaleNdivs(ScaleRec *rec, int count, int mode)
{
    if (set_mode(rec, mode, SC_NDIVS_A, SC_NDIVS_F))
        rec->ndivs = count;
}

void scale_SetScaleDiv(ScaleRec *rec, double size, int mode)
{
    if (set_mode(rec, mode, SC_DIV_A, SC_DIV_F))
        rec->div = scalsup_SplitDouble(size);
}

void scale_SetScaleNumSmallDivs(ScaleRec *rec, int count, int mode)
{
    if (set_mode(rec, mode, SC_SDIVS_A, SC_SDIVS_F))
        rec->nsdivs = count;
}

void scale_SetScaleOrg(ScaleRec *rec, double value, int mode, int rule)
{
    if (mode == 1 || mode == 2) {
        set_mode(rec, mode, SC_ORG_A, SC_ORG_F);
        rec->origin = value;
        rec->orgrule = 0;
    } else if (mode == 0) {
        set_mode(rec, 0, SC_ORG_A, SC_ORG_F);
        rec->orgrule = static_cast<uint8_t>(rule);
    }
}

// ---- the scaling run ------------------------------------------------------------------

// Case number by key (flags & 0xdbdb).
static const struct {
    uint16_t key;
    uint8_t ncase;
} case_keys[] = {
    {0x1b00, 1},  {0x1300, 2},  {0x1308, 2},  {0x0310, 3},  {0x0300, 4},  {0x0308, 4},  {0x0318, 4},
    {0x0b00, 4},  {0x0b10, 4},  {0x0201, 5},  {0x0209, 5},  {0x0219, 5},  {0x0a01, 5},  {0x0a11, 5},
    {0x0102, 6},  {0x010a, 6},  {0x011a, 6},  {0x0902, 6},  {0x0912, 6},  {0x1a01, 7},  {0x1902, 8},
    {0x1201, 9},  {0x1209, 9},  {0x0211, 9},  {0x1102, 10}, {0x110a, 10}, {0x0112, 10}, {0x1803, 11},
    {0x1003, 12}, {0x100b, 12}, {0x0803, 13}, {0x0813, 13}, {0x0003, 14}, {0x000b, 14}, {0x0013, 14},
    {0x001b, 14},
};

static int select_case(uint16_t flags)
{
    uint16_t key = flags & 0xdbdb;
    // An end that was not requested at all is taken as a hint, like a data
    // value: the scaler may move it.
    if (!(key & (SC_MAX_A | SC_MAX_F)))
        key |= SC_MAX_A;
    if (!(key & (SC_MIN_A | SC_MIN_F)))
        key |= SC_MIN_A;
    for (auto &k : case_keys)
        if (k.key == key)
            return k.ncase;
    return 0;
}

static void swap_modes(ScaleRec *r)
{
    double t = r->min;
    r->min = r->max;
    r->max = t;
    uint16_t maxbits = r->flags & (SC_MAX_A | SC_MAX_F);
    uint16_t minbits = r->flags & (SC_MIN_A | SC_MIN_F);
    r->flags = static_cast<uint16_t>((r->flags & ~(SC_MAX_A | SC_MAX_F | SC_MIN_A | SC_MIN_F)) | (maxbits << 1) |
                                     (minbits >> 1));
}

// Min, max, division and count, worked out on a copy.
static int compute_divisions(ScaleRec *rec)
{
    ScaleRec c = *rec;
    // Comparing with a NaN would trap; limits that are not finite cannot
    // be scaled, except on probability paper, which ignores them.
    if (!std::isfinite(c.min) || !std::isfinite(c.max)) {
        if (c.type != SCALE_NORMAL && c.type != SCALE_WEIBULL)
            return scalsup_SetScaleErrno(SCERR_FPE), -1;
        c.min = 0;
        c.max = 0;
    }

    if (c.min > c.max) {
        swap_modes(&c);
        scalsup_SetScaleWarning(SCWARN_SWAPPED);
    }
    if (sc_requested(&c, SC_ORG_A, SC_ORG_F)) {
        if (sc_requested(&c, SC_MIN_A, SC_MIN_F) && c.origin < c.min) {
            c.min = c.origin;
            if (c.flags & SC_MIN_F) {
                c.flags = static_cast<uint16_t>((c.flags & ~SC_MIN_F) | SC_MIN_A);
                scalsup_SetScaleWarning(SCWARN_MIN_TO_ORIGIN);
            }
        }
        if (sc_requested(&c, SC_MAX_A, SC_MAX_F) && c.origin > c.max) {
            c.max = c.origin;
            if (c.flags & SC_MAX_F) {
                c.flags = static_cast<uint16_t>((c.flags & ~SC_MAX_F) | SC_MAX_A);
                scalsup_SetScaleWarning(SCWARN_MAX_TO_ORIGIN);
            }
        }
    }
    if (sc_requested(&c, SC_NDIVS_A, SC_NDIVS_F)) {
        if (c.ndivs < 0)
            c.ndivs = c.ndivs == INT32_MIN ? INT32_MAX : -c.ndivs;
        if (c.ndivs == 0) {
            scalsup_SetScaleWarning(SCWARN_COUNT_ZERO);
            c.flags &= static_cast<uint16_t>(~(SC_NDIVS_A | SC_NDIVS_F));
        } else if (c.ndivs > 1000) {
            scalsup_SetScaleWarning(SCWARN_COUNT_TOO_BIG);
            c.flags &= static_cast<uint16_t>(~(SC_NDIVS_A | SC_NDIVS_F));
        }
    }
    // A negative division size is taken by its size, as a negative count
    // is; the walks only step upwards.
    if (sc_requested(&c, SC_DIV_A, SC_DIV_F) && c.div.mant < 0)
        c.div.mant = -c.div.mant;
    int n = select_case(c.flags);
    if (n == 0 || scalsup_current->HandleCase[n - 1](&c) != 0)
        return -1;
    *rec = c;
    return 0;
}

// The walks of the time/date scale hand the last division over with -1.
static int next_div_in_walk(ScaleRec *rec, double *v)
{
    int rc = scalsup_current->GetNextDiv(rec, v);
    if (rc != 0 && rec->type == SCALE_TIMEDATE)
        return 1;
    return rc == 0 ? 0 : -1;
}

static int pick_origin(ScaleRec *rec)
{
    if (rec->flags & SC_ORG_F)
        return scalsup_SetScaleErrno(SCERR_EXACT_ORIGIN), -1;
    if (rec->flags & SC_ORG_A) {
        double prev, cur;
        scalsup_current->GetFirstDiv(rec, &cur);
        prev = cur;
        bool first = true;
        for (int guard = 0; cur < rec->origin && guard <= 100000; guard++) {
            double next;
            int rc = next_div_in_walk(rec, &next);
            if (rc < 0)
                break;
            prev = cur;
            cur = next;
            first = false;
            if (rc > 0)
                break;
        }
        if (cur < rec->origin || first)
            rec->origin = cur;
        else
            rec->origin = (rec->origin - prev < cur - rec->origin) ? prev : cur;
        return 0;
    }
    double first, last;
    scalsup_current->GetFirstDiv(rec, &first);
    scalsup_current->GetLastDiv(rec, &last);
    if (rec->orgrule != 5 && first <= 0 && last >= 0) {
        rec->origin = 0;
        return 0;
    }
    switch (rec->orgrule) {
    case 1:
    case 5: rec->origin = first; break;
    case 2: rec->origin = last; break;
    case 3: rec->origin = rec->min; break;
    case 4: rec->origin = rec->max; break;
    default: break;
    }
    return 0;
}

// The run proper.  Only plain data lives here: a trap leaves it by a jump.
static int scale_run(ScaleRec *rec)
{
    if (InstallScaleRoutines(rec) < 0)
        return -1;
    if (compute_divisions(rec) < 0)
        return -1;
    if (scalsup_current->ComputeSDiv(rec) < 0)
        return -1;
    return pick_origin(rec);
}

static sigjmp_buf scale_jump;
static volatile sig_atomic_t scale_guard_armed = 0;

static void scale_fpe_handler(int sig)
{
    if (!scale_guard_armed) {
        // Not ours any more: the default action ends the process.
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    scale_guard_armed = 0;
    scalsup_SetScaleErrno(SCERR_FPE);
    siglongjmp(scale_jump, 1);
}

// Division by zero, invalid operations and overflow trap inside the run;
// the jump lands here, in a frame that holds nothing to destroy.
static int guarded_run(ScaleRec *rec)
{
    if (sigsetjmp(scale_jump, 1) != 0)
        return -1;
    feclearexcept(FE_ALL_EXCEPT);
    scale_guard_armed = 1;
    feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    int rc = scale_run(rec);
    fedisableexcept(FE_ALL_EXCEPT);
    scale_guard_armed = 0;
    return rc;
}

int scale_ScaleAxis(ScaleRec *rec, int *code)
{
    scalsup_ClearScaleErrno();

    struct sigaction sa {}, old {};
    sa.sa_handler = scale_fpe_handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    sigaction(SIGFPE, &sa, &old);
    int traps = fegetexcept();
    fexcept_t raised;
    fegetexceptflag(&raised, FE_ALL_EXCEPT);
    fedisableexcept(FE_ALL_EXCEPT);

    int rc = guarded_run(rec);

    scale_guard_armed = 0;
    fedisableexcept(FE_ALL_EXCEPT);
    feclearexcept(FE_ALL_EXCEPT);
    fesetexceptflag(&raised, FE_ALL_EXCEPT);
    if (traps > 0)
        feenableexcept(traps);
    sigaction(SIGFPE, &old, nullptr);

    int result;
    if (rc == 0) {
        *code = scalsup_GetScaleWarning();
        result = *code ? 1 : 0;
    } else {
        *code = scalsup_GetScaleErrno();
        result = *code ? 2 : 0;
    }
    return result;
}

// ---- queries -----------------------------------------------------------------------

int scale_GetNumDivs(ScaleRec *rec) { return InstallScaleRoutines(rec) < 0 ? -1 : scalsup_current->GetNumDivs(rec); }

int scale_GetNumSDivs(ScaleRec *rec)
{
    return InstallScaleRoutines(rec) < 0 ? -1 : scalsup_current->GetNumSDivs(rec);
}

double scale_GetDivSize(ScaleRec *rec) { return InstallScaleRoutines(rec) < 0 ? -1 : scalsup_current->GetDivSize(rec); }

int scale_GetFirstDiv(ScaleRec *rec, double *v)
{
    return InstallScaleRoutines(rec) < 0 ? -1 : scalsup_current->GetFirstDiv(rec, v);
}

int scale_GetLastDiv(ScaleRec *rec, double *v)
{
    return InstallScaleRoutines(rec) < 0 ? -1 : scalsup_current->GetLastDiv(rec, v);
}

int scale_GetNextDiv(ScaleRec *rec, double *v)
{
    return InstallScaleRoutines(rec) < 0 ? -1 : scalsup_current->GetNextDiv(rec, v);
}

int scale_GetFirstSDiv(ScaleRec *rec, double *v)
{
    return InstallScaleRoutines(rec) < 0 ? -1 : scalsup_current->GetFirstSDiv(rec, v);
}

int scale_GetNextSDiv(ScaleRec *rec, double *v)
{
    return InstallScaleRoutines(rec) < 0 ? -1 : scalsup_current->GetNextSDiv(rec, v);
}

int scale_GetOrg(ScaleRec *rec, double *v)
{
    *v = rec->origin;
    return 0;
}

ScaleProc scale_GGetForwardScaleProc(ScaleRec *rec)
{
    return InstallScaleRoutines(rec) < 0 ? nullptr : scalsup_current->GetForwardScale();
}

ScaleProc scale_GGetReverseScaleProc(ScaleRec *rec)
{
    return InstallScaleRoutines(rec) < 0 ? nullptr : scalsup_current->GetReverseScale();
}

int scale_GetTDUnits(ScaleRec *rec) { return rec->reqtdunits == TD_AUTO_DATETIME ? static_cast<int>(TD_AUTO_DATETIME) : rec->tdunits; }
