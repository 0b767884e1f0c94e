// Linear, logarithmic, discrete and probability scales, the front end's
// case choice, origin rule and registers, and the floating-point guard.

#include "gsscale.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <csignal>
#include <string>
#include <vector>

namespace {

// Mode of one requested quantity: '-' none, 'A' approximate, 'F' exact.
int mode(char m) { return m == 'A' ? 1 : m == 'F' ? 2 : 0; }

struct Request {
    int type = SCALE_LINEAR;
    double min = 0, max = 0;
    char minm = 'A', maxm = 'A';
    int ndivs = 0;
    char ndm = '-';
    double div = 0;
    char divm = '-';
    double org = 0;
    char orgm = '-';
    int rule = 1;
    int sdivs = 0;
    char sdm = '-';
};

ScaleRec make(const Request &q)
{
    ScaleRec r{};
    scale_ClearScaleStuff(&r);
    scale_SetScaleType(&r, q.type);
    scale_SetScaleMin(&r, q.min, mode(q.minm));
    scale_SetScaleMax(&r, q.max, mode(q.maxm));
    scale_SetScaleNdivs(&r, q.ndivs, mode(q.ndm));
    scale_SetScaleDiv(&r, q.div, mode(q.divm));
    scale_SetScaleNumSmallDivs(&r, q.sdivs, mode(q.sdm));
    scale_SetScaleOrg(&r, q.org, mode(q.orgm), q.rule);
    return r;
}

std::vector<double> divisions(ScaleRec &r)
{
    std::vector<double> v;
    double d;
    scale_GetFirstDiv(&r, &d);
    v.push_back(d);
    while (scale_GetNextDiv(&r, &d) == 0 && v.size() < 2000)
        v.push_back(d);
    return v;
}

std::vector<double> small_divisions(ScaleRec &r)
{
    std::vector<double> v;
    double d;
    scale_GetFirstSDiv(&r, &d);
    v.push_back(d);
    while (scale_GetNextSDiv(&r, &d) == 0 && v.size() < 20000)
        v.push_back(d);
    return v;
}

struct Expect {
    int result, code;
    double min, max;
    int ndivs;
    double div;
};

void check(const char *name, const Request &q, const Expect &e)
{
    SCOPED_TRACE(name);
    ScaleRec r = make(q);
    int code = -1;
    int result = scale_ScaleAxis(&r, &code);
    EXPECT_EQ(result, e.result);
    EXPECT_EQ(code, e.code);
    if (e.result == 2)
        return;
    EXPECT_DOUBLE_EQ(r.min, e.min);
    EXPECT_DOUBLE_EQ(r.max, e.max);
    EXPECT_EQ(r.ndivs, e.ndivs);
    EXPECT_DOUBLE_EQ(scale_GetDivSize(&r), e.div);
    // The walk starts at min and its last division is max, exactly.
    std::vector<double> d = divisions(r);
    ASSERT_EQ(static_cast<int>(d.size()), r.ndivs + 1);
    EXPECT_EQ(d.front(), r.min);
    EXPECT_EQ(d.back(), r.max);
}

TEST(LinearScale, CasesByRequestedModes)
{
    struct {
        const char *name;
        Request q;
        Expect e;
    } cases[] = {
        // Automatic axes (both ends approximate).
        {"0..97 picks 10 over 20 on equal spans", {.min = 0, .max = 97}, {0, 0, 0, 100, 10, 10}},
        {"3..3 widens to 3..4", {.min = 3, .max = 3}, {0, 0, 3, 4, 5, 0.2}},
        {"0..0 becomes 0..1", {.min = 0, .max = 0}, {0, 0, 0, 1, 5, 0.2}},
        {"negative data floors to the division", {.min = -17, .max = 61}, {0, 0, -20, 70, 9, 10}},
        {"large values floor without overflow", {.min = 1e12, .max = 1e12 + 97}, {0, 0, 1e12, 1e12 + 100, 10, 10}},
        {"approximate count is a target", {.min = 0, .max = 97, .ndivs = 4, .ndm = 'A'}, {0, 0, 0, 100, 5, 20}},
        {"count -4 is taken as 4", {.min = 0, .max = 97, .ndivs = -4, .ndm = 'A'}, {0, 0, 0, 100, 5, 20}},
        {"count 0 is ignored", {.min = 0, .max = 97, .ndivs = 0, .ndm = 'F'}, {1, 16, 0, 100, 10, 10}},
        {"count 1001 is ignored", {.min = 0, .max = 97, .ndivs = 1001, .ndm = 'F'}, {1, 15, 0, 100, 10, 10}},
        {"5 and 2 are swapped", {.min = 5, .max = 2}, {1, 14, 2, 5, 6, 0.5}},
        // Both ends fixed.
        {"all fixed and agreeing",
         {.min = 0, .max = 10, .minm = 'F', .maxm = 'F', .ndivs = 5, .ndm = 'F', .div = 2, .divm = 'F'},
         {0, 0, 0, 10, 5, 2}},
        {"all fixed, disagreeing",
         {.min = 0, .max = 10, .minm = 'F', .maxm = 'F', .ndivs = 5, .ndm = 'F', .div = 3, .divm = 'F'},
         {2, 9, 0, 0, 0, 0}},
        {"all fixed, zero division",
         {.min = 0, .max = 10, .minm = 'F', .maxm = 'F', .ndivs = 5, .ndm = 'F', .div = 0, .divm = 'F'},
         {2, 12, 0, 0, 0, 0}},
        {"fixed division 3 cannot end on 10",
         {.min = 0, .max = 10, .minm = 'F', .maxm = 'F', .div = 3, .divm = 'F'},
         {2, 9, 0, 0, 0, 0}},
        {"approximate division 3 becomes 2.5",
         {.min = 0, .max = 10, .minm = 'F', .maxm = 'F', .div = 3, .divm = 'A'},
         {0, 0, 0, 10, 4, 2.5}},
        {"fixed ends, five divisions", {.min = 0, .max = 10, .minm = 'F', .maxm = 'F'}, {0, 0, 0, 10, 5, 2}},
        // One end fixed.
        {"fixed min, max grows (keeps the smaller division)",
         {.min = 0, .max = 97, .minm = 'F'},
         {0, 0, 0, 100, 10, 10}},
        {"fixed min, shorter span wins", {.min = 0, .max = 130, .minm = 'F'}, {0, 0, 0, 140, 7, 20}},
        {"fixed max, min grows", {.min = 3, .max = 100, .maxm = 'F'}, {0, 0, 0, 100, 10, 10}},
        {"fixed min, count and division",
         {.min = 0, .max = 7, .minm = 'F', .ndivs = 5, .ndm = 'F', .div = 2, .divm = 'F'},
         {0, 0, 0, 10, 5, 2}},
        {"fixed max, count and division",
         {.min = 3, .max = 10, .maxm = 'F', .ndivs = 2, .ndm = 'F', .div = 4, .divm = 'F'},
         {0, 0, 2, 10, 2, 4}},
        {"fixed min and division", {.min = 0, .max = 7, .minm = 'F', .div = 2, .divm = 'F'}, {0, 0, 0, 8, 4, 2}},
        {"fixed max and division", {.min = 3, .max = 10, .maxm = 'F', .div = 2, .divm = 'F'}, {0, 0, 2, 10, 4, 2}},
        // Free ends with fixed count or division.
        {"count and division cover the data",
         {.min = 3, .max = 37, .ndivs = 4, .ndm = 'F', .div = 10, .divm = 'F'},
         {0, 0, 0, 40, 4, 10}},
        {"count and division too short",
         {.min = 3, .max = 45, .ndivs = 4, .ndm = 'F', .div = 10, .divm = 'F'},
         {2, 8, 0, 0, 0, 0}},
        {"fixed division floors min", {.min = 3, .max = 37, .div = 10, .divm = 'F'}, {0, 0, 0, 40, 4, 10}},
        {"negative division is taken by its size", {.min = 3, .max = 37, .div = -10, .divm = 'F'}, {0, 0, 0, 40, 4, 10}},
        {"fixed count grows the division", {.min = 0, .max = 97, .ndivs = 4, .ndm = 'F'}, {0, 0, 0, 200, 4, 50}},
        // Computed counts: 1000 passes, 1001 fails.
        {"1000 divisions", {.min = 0, .max = 1000, .div = 1, .divm = 'F'}, {0, 0, 0, 1000, 1000, 1}},
        {"1001 divisions (free ends)", {.min = 0, .max = 1001, .div = 1, .divm = 'F'}, {2, 17, 0, 0, 0, 0}},
        {"1001 divisions (fixed ends)",
         {.min = 0, .max = 1001, .minm = 'F', .maxm = 'F', .div = 1, .divm = 'F'},
         {2, 17, 0, 0, 0, 0}},
        {"1001 divisions (fixed min)", {.min = 0, .max = 1001, .minm = 'F', .div = 1, .divm = 'F'}, {2, 17, 0, 0, 0, 0}},
        {"1001 divisions (fixed max)", {.min = 0, .max = 1001, .maxm = 'F', .div = 1, .divm = 'F'}, {2, 17, 0, 0, 0, 0}},
        {"1e7 divisions from an approximate division",
         {.min = 0, .max = 10, .minm = 'F', .maxm = 'F', .div = 1e-6, .divm = 'A'},
         {2, 17, 0, 0, 0, 0}},
    };
    for (auto &c : cases)
        check(c.name, c.q, c.e);
}

TEST(LinearScale, DecimalPositionsCarryNoRounding)
{
    pfloat tenth = scalsup_SplitDouble(0.1);
    EXPECT_EQ(scalsup_PfloatToDouble(scalsup_MultPfloat(tenth, 7)), 0.7);

    ScaleRec r = make({.min = 0, .max = 0.7, .div = 0.1, .divm = 'F'});
    int code;
    ASSERT_EQ(scale_ScaleAxis(&r, &code), 0);
    std::vector<double> d = divisions(r);
    ASSERT_EQ(d.size(), 8u);
    EXPECT_EQ(d[3], 0.3);
    EXPECT_EQ(d[7], 0.7);
    EXPECT_EQ(r.max, 0.7);
}

TEST(LinearScale, SmallDivisions)
{
    struct {
        double max;
        int sdivs;
        char sdm;
        int code, steps;
        double step;
    } cases[] = {
        {100, 0, '-', 0, 4, 5},   // a picked division of 20: four steps
        {250, 0, '-', 0, 5, 10},  // a picked division of 50: five
        {100, 10, 'F', 0, 10, 2},
        {100, 101, 'F', 11, 4, 5},  // a count above 100 is ignored
        {100, 0, 'F', 11, 4, 5},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.max + c.sdivs);
        ScaleRec r = make({.min = 0, .max = c.max, .sdivs = c.sdivs, .sdm = c.sdm});
        int code;
        scale_ScaleAxis(&r, &code);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(r.ndivs, 5);
        EXPECT_EQ(scale_GetNumSDivs(&r), c.steps);
        std::vector<double> s = small_divisions(r);
        ASSERT_EQ(static_cast<int>(s.size()), r.ndivs * c.steps + 1);
        EXPECT_DOUBLE_EQ(s[1] - s[0], c.step);
        EXPECT_DOUBLE_EQ(s.back(), c.max);
    }

    // A fixed division is not a picked one: five steps.
    ScaleRec r = make({.min = 0, .max = 100, .div = 20, .divm = 'F'});
    int code;
    scale_ScaleAxis(&r, &code);
    EXPECT_EQ(scale_GetNumSDivs(&r), 5);
}

TEST(ScaleFrontEnd, OriginRules)
{
    struct {
        const char *name;
        Request q;
        double origin;
        int code;
    } cases[] = {
        {"rule 1 takes 0 inside the axis", {.min = -20, .max = 80, .rule = 1}, 0, 0},
        {"rule 1 takes the first division", {.min = 10, .max = 50, .rule = 1}, 10, 0},
        {"rule 5 never picks 0", {.min = -20, .max = 80, .rule = 5}, -20, 0},
        {"rule 2 takes the last division", {.min = 10, .max = 50, .rule = 2}, 50, 0},
        {"rule 4 takes max", {.min = 10, .max = 50, .rule = 4}, 50, 0},
        {"approximate origin 25 goes to 20", {.min = 0, .max = 40, .div = 20, .divm = 'F', .org = 25, .orgm = 'A'}, 20, 0},
        {"approximate origin 30: the tie goes up", {.min = 0, .max = 40, .div = 20, .divm = 'F', .org = 30, .orgm = 'A'}, 40, 0},
        {"exact min moves to an approximate origin", {.min = 10, .max = 20, .minm = 'F', .org = 0, .orgm = 'A'}, 0, 7},
        {"exact max moves to an approximate origin", {.min = 0, .max = 10, .maxm = 'F', .org = 20, .orgm = 'A'}, 20, 13},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScaleRec r = make(c.q);
        int code;
        EXPECT_EQ(scale_ScaleAxis(&r, &code), c.code ? 1 : 0);
        EXPECT_EQ(code, c.code);
        double o;
        scale_GetOrg(&r, &o);
        EXPECT_DOUBLE_EQ(o, c.origin);
    }

    // An exact min moved to the origin is approximate afterwards.
    ScaleRec r = make({.min = 10, .max = 20, .minm = 'F', .org = 0, .orgm = 'A'});
    int code;
    scale_ScaleAxis(&r, &code);
    EXPECT_EQ(r.min, 0);
    EXPECT_TRUE(r.flags & SC_MIN_A);
    EXPECT_FALSE(r.flags & SC_MIN_F);

    // An exact origin cannot be met.
    r = make({.min = 0, .max = 10, .org = 5, .orgm = 'F'});
    EXPECT_EQ(scale_ScaleAxis(&r, &code), 2);
    EXPECT_EQ(code, 6);
}

TEST(ScaleFrontEnd, InvalidTypeAndRegisters)
{
    for (int type : {3, 7, -1}) {
        ScaleRec r = make({.type = type, .min = 0, .max = 10});
        ScaleRec before = r;
        int code;
        EXPECT_EQ(scale_ScaleAxis(&r, &code), 2);
        EXPECT_EQ(code, 3);
        EXPECT_EQ(scale_GetNumDivs(&r), -1);
        EXPECT_EQ(scale_GetDivSize(&r), -1);
        double v;
        EXPECT_EQ(scale_GetFirstDiv(&r, &v), -1);
        EXPECT_EQ(scale_GGetForwardScaleProc(&r), nullptr);
        EXPECT_EQ(r.min, before.min);
        EXPECT_EQ(r.max, before.max);
    }

    // The first code since the last clear is kept.
    scalsup_ClearScaleErrno();
    EXPECT_EQ(scalsup_GetScaleErrno(), 0);
    scalsup_SetScaleErrno(9);
    scalsup_SetScaleErrno(12);
    scalsup_SetScaleWarning(14);
    scalsup_SetScaleWarning(7);
    EXPECT_EQ(scalsup_GetScaleErrno(), 9);
    EXPECT_EQ(scalsup_GetScaleWarning(), 14);
    scalsup_ClearScaleErrno();
    EXPECT_EQ(scalsup_GetScaleErrno(), 0);
    EXPECT_EQ(scalsup_GetScaleWarning(), 0);
}

TEST(ScaleFrontEnd, SettersAndFailedRunsKeepTheRecord)
{
    ScaleRec r{};
    scale_SetScaleMax(&r, 5, 1);
    scale_SetScaleMax(&r, 7, 2);
    EXPECT_EQ(r.flags, SC_MAX_F);
    EXPECT_EQ(r.max, 7);
    scale_SetScaleMax(&r, 9, 3);  // not a mode: nothing
    EXPECT_EQ(r.max, 7);
    scale_SetScaleMax(&r, 9, 0);
    EXPECT_EQ(r.flags, 0);
    scale_SetScaleOrg(&r, 3, 0, 4);
    EXPECT_EQ(r.orgrule, 4);
    scale_SetScaleOrg(&r, 3, 1, 4);
    EXPECT_EQ(r.orgrule, 0);
    EXPECT_EQ(r.flags, SC_ORG_A);
    scale_ClearScaleStuff(&r);
    EXPECT_EQ(r.flags, 0);
    EXPECT_EQ(r.origin, 3);

    // Ends that were not requested at all are taken as hints.
    ScaleRec h{};
    h.min = 0;
    h.max = 97;
    int hcode;
    EXPECT_EQ(scale_ScaleAxis(&h, &hcode), 0);
    EXPECT_EQ(h.max, 100);
    EXPECT_EQ(h.ndivs, 10);

    ScaleRec f = make({.min = 0, .max = 10, .minm = 'F', .maxm = 'F', .div = 3, .divm = 'F'});
    ScaleRec before = f;
    int code;
    ASSERT_EQ(scale_ScaleAxis(&f, &code), 2);
    EXPECT_EQ(f.min, before.min);
    EXPECT_EQ(f.max, before.max);
    EXPECT_EQ(f.ndivs, before.ndivs);
    EXPECT_EQ(f.div.mant, before.div.mant);
}

TEST(DecimalNumbers, SplitAndConvert)
{
    struct {
        double v;
        int64_t mant;
        int exp;
    } cases[] = {
        {0, 0, 0},
        {1, 1000000000, -9},
        {-2.5, -250000000, -8},
        {1e300, 100000000, 292},
        {INFINITY, 179769313, 300},
        {-INFINITY, -179769313, 300},
    };
    for (auto &c : cases) {
        pfloat p = scalsup_SplitDouble(c.v);
        EXPECT_EQ(p.mant, c.mant) << c.v;
        EXPECT_EQ(p.exp, c.exp) << c.v;
    }
    EXPECT_EQ(scalsup_PfloatToDouble(pfloat{5, 309}), DBL_MAX);
    EXPECT_EQ(scalsup_PfloatToDouble(pfloat{5, -308}), 0);
    EXPECT_EQ(scalsup_PfloatToDouble(pfloat{-25, -1}), -2.5);
    EXPECT_EQ(scalsup_MyExp10(3), 1000);
    EXPECT_EQ(scalsup_MyExp10(309), DBL_MAX);
    EXPECT_EQ(scalsup_MyExp10(-308), 0);

    // Products keep the sign and never overflow the mantissa.
    pfloat big = scalsup_MultPfloat(pfloat{INT64_MAX / 3, 0}, -1000);
    EXPECT_LT(big.mant, 0);
    EXPECT_NEAR(scalsup_PfloatToDouble(big), -static_cast<double>(INT64_MAX / 3) * 1000, 1e9 * 1e3);
    pfloat z = scalsup_MultPfloat(pfloat{7, 3}, 0);
    EXPECT_EQ(z.mant, 0);
    EXPECT_EQ(z.exp, 0);
}

TEST(LogScale, CasesAndTransforms)
{
    struct {
        const char *name;
        Request q;
        Expect e;
    } cases[] = {
        {"1..1000 automatic", {.type = 1, .min = 1, .max = 1000}, {0, 0, 1, 1024, 10, 2}},
        {"1..1e5 by tens", {.type = 1, .min = 1, .max = 1e5}, {0, 0, 1, 1e5, 5, 10}},
        {"5..5 widens to 2.5..10", {.type = 1, .min = 5, .max = 5, .minm = 'F', .maxm = 'F'}, {0, 0, 2.5, 10, 5, 0}},
        {"max 0", {.type = 1, .min = -1, .max = 0}, {2, 4, 0, 0, 0, 0}},
        {"min 0", {.type = 1, .min = 0, .max = 10}, {2, 5, 0, 0, 0, 0}},
        {"fixed min, count and factor",
         {.type = 1, .min = 1, .max = 50, .minm = 'F', .ndivs = 3, .ndm = 'F', .div = 10, .divm = 'F'},
         {0, 0, 1, 1000, 3, 10}},
        {"fixed factor, free ends", {.type = 1, .min = 3, .max = 500, .div = 10, .divm = 'F'}, {0, 0, 1, 1000, 3, 10}},
        {"fixed ends disagreeing with factor",
         {.type = 1, .min = 1, .max = 500, .minm = 'F', .maxm = 'F', .div = 10, .divm = 'F'},
         {2, 9, 0, 0, 0, 0}},
        {"count and factor too short",
         {.type = 1, .min = 1, .max = 5000, .ndivs = 2, .ndm = 'F', .div = 10, .divm = 'F'},
         {2, 8, 0, 0, 0, 0}},
        // Fixed ends with a free factor just above 1 would give 2,315
        // divisions: refused as too many, like every fixed-ends case.
        {"fixed ends, free factor near 1",
         {.type = 1, .min = 1, .max = 1e10, .minm = 'F', .maxm = 'F', .div = 1.01, .divm = 'A'},
         {2, 17, 0, 0, 0, 0}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScaleRec r = make(c.q);
        int code = -1;
        int result = scale_ScaleAxis(&r, &code);
        EXPECT_EQ(result, c.e.result);
        EXPECT_EQ(code, c.e.code);
        if (result == 2)
            continue;
        EXPECT_DOUBLE_EQ(r.min, c.e.min);
        EXPECT_DOUBLE_EQ(r.max, c.e.max);
        EXPECT_EQ(r.ndivs, c.e.ndivs);
        if (c.e.div) {
            EXPECT_DOUBLE_EQ(scale_GetDivSize(&r), c.e.div);
        }
        std::vector<double> d = divisions(r);
        ASSERT_EQ(static_cast<int>(d.size()), r.ndivs + 1);
        // A picked factor is exact; a computed one is split to ten digits.
        EXPECT_NEAR(d.back() / r.max, 1, 1e-7);
    }

    // A fixed factor of 1 is refused wherever it is used.
    Request ones[] = {
        {.type = 1, .min = 1, .max = 100, .minm = 'F', .maxm = 'F', .div = 1, .divm = 'F'},
        {.type = 1, .min = 1, .max = 100, .minm = 'F', .maxm = 'F', .div = 1, .divm = 'A'},
        {.type = 1, .min = 1, .max = 100, .minm = 'F', .div = 1, .divm = 'F'},
        {.type = 1, .min = 1, .max = 100, .maxm = 'F', .div = 1, .divm = 'F'},
        {.type = 1, .min = 1, .max = 100, .ndivs = 5, .ndm = 'F', .div = 1, .divm = 'F'},
        {.type = 1, .min = 1, .max = 100, .div = 1, .divm = 'F'},
        {.type = 1, .min = 1, .max = 100, .minm = 'F', .ndivs = 5, .ndm = 'F', .div = 1, .divm = 'F'},
    };
    for (auto &q : ones) {
        ScaleRec r = make(q);
        int code;
        EXPECT_EQ(scale_ScaleAxis(&r, &code), 2);
        EXPECT_EQ(code, 1) << "flags " << std::hex << r.flags;
    }

    ScaleRec r = make({.type = 1, .min = 1, .max = 1000});
    ScaleProc fwd = scale_GGetForwardScaleProc(&r), rev = scale_GGetReverseScaleProc(&r);
    ASSERT_TRUE(fwd && rev);
    EXPECT_EQ(fwd(0), -DBL_MAX);
    EXPECT_EQ(fwd(-3), -DBL_MAX);
    EXPECT_DOUBLE_EQ(fwd(100), 2);
    for (double x : {0.001, 1.0, 42.0, 1e200})
        EXPECT_NEAR(rev(fwd(x)) / x, 1, 1e-12) << x;
    ScaleRec lin = make({.min = 0, .max = 1});
    EXPECT_EQ(scale_GGetForwardScaleProc(&lin), nullptr);
    EXPECT_EQ(scale_GGetReverseScaleProc(&lin), nullptr);
}

TEST(LogScale, SmallDivisionsStepLinearlyInsideEachInterval)
{
    ScaleRec r = make({.type = 1, .min = 1, .max = 100});
    int code;
    ASSERT_EQ(scale_ScaleAxis(&r, &code), 0);
    ASSERT_DOUBLE_EQ(scale_GetDivSize(&r), 2);
    ASSERT_EQ(r.ndivs, 7);  // 1 .. 128
    EXPECT_EQ(scale_GetNumSDivs(&r), 4);
    std::vector<double> s = small_divisions(r);
    ASSERT_EQ(s.size(), 29u);
    std::vector<double> head(s.begin(), s.begin() + 9);
    std::vector<double> want = {1, 1.25, 1.5, 1.75, 2, 2.5, 3, 3.5, 4};
    for (size_t i = 0; i < want.size(); i++)
        EXPECT_DOUBLE_EQ(head[i], want[i]) << i;
    EXPECT_DOUBLE_EQ(s.back(), 128);

    ScaleRec t = make({.type = 1, .min = 1, .max = 1e5});
    ASSERT_EQ(scale_ScaleAxis(&t, &code), 0);
    EXPECT_EQ(scale_GetNumSDivs(&t), 5);
    s = small_divisions(t);
    EXPECT_DOUBLE_EQ(s[1], 2.8);
    EXPECT_DOUBLE_EQ(s[5], 10);
    EXPECT_DOUBLE_EQ(s[6], 28);
}

TEST(DiscreteScale, CategoriesFromZero)
{
    struct {
        double min, max;
        double emin, emax;
        int ndivs;
    } cases[] = {
        {-2.5, 7.9, 0, 7, 7},
        {0, 0, 0, 1, 1},
        {2.2, 5.7, 2, 5, 3},
    };
    for (auto &c : cases) {
        ScaleRec r = make({.type = SCALE_DISCRETE, .min = c.min, .max = c.max});
        int code;
        EXPECT_EQ(scale_ScaleAxis(&r, &code), 0);
        EXPECT_EQ(r.min, c.emin);
        EXPECT_EQ(r.max, c.emax);
        EXPECT_EQ(r.ndivs, c.ndivs);
        EXPECT_EQ(r.origin, c.emin);
        EXPECT_EQ(scale_GetDivSize(&r), 1);
        std::vector<double> d = divisions(r);
        ASSERT_EQ(static_cast<int>(d.size()), c.ndivs + 1);
        EXPECT_EQ(d[1], c.emin + 1);
        EXPECT_EQ(small_divisions(r).size(), d.size());
    }

    // A negative maximum fails without a code and leaves the record.
    ScaleRec r = make({.type = SCALE_DISCRETE, .min = -5, .max = -1});
    ScaleRec before = r;
    testing::internal::CaptureStderr();
    int code = -1;
    EXPECT_EQ(scale_ScaleAxis(&r, &code), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Discrt: Negative max on discrete axis\n");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(r.max, before.max);
    EXPECT_EQ(r.flags, before.flags);
}

TEST(ProbabilityScales, FixedAxesAndTables)
{
    ScaleRec n = make({.type = SCALE_NORMAL, .min = 37, .max = 38});
    int code;
    ASSERT_EQ(scale_ScaleAxis(&n, &code), 0);
    EXPECT_EQ(n.min, 0.01);
    EXPECT_EQ(n.max, 99.99);
    EXPECT_EQ(n.ndivs, 10);
    EXPECT_EQ(divisions(n), (std::vector<double>{0.01, 0.1, 1, 5, 20, 50, 80, 95, 99, 99.9, 99.99}));
    EXPECT_EQ(small_divisions(n).size(), 1u);

    ScaleRec w = make({.type = SCALE_WEIBULL, .min = -3, .max = 1e9});
    ASSERT_EQ(scale_ScaleAxis(&w, &code), 0);
    EXPECT_EQ(w.min, 0.01);
    EXPECT_EQ(w.max, 99.9);
    EXPECT_EQ(divisions(w), (std::vector<double>{0.01, 0.04, 0.1, 0.4, 1, 4, 10, 40, 80, 99.9}));

    testing::internal::CaptureStderr();
    EXPECT_EQ(scale_GetDivSize(&n), 0);
    EXPECT_EQ(scale_GetDivSize(&w), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Gsup. Can't return division size for Normal axis\n"
              "Gsup. Can't return division size for Weibull axis\n");
}

TEST(ProbabilityScales, NormalTransform)
{
    ScaleRec n = make({.type = SCALE_NORMAL, .min = 1, .max = 2});
    ScaleProc fwd = scale_GGetForwardScaleProc(&n), rev = scale_GGetReverseScaleProc(&n);
    ASSERT_TRUE(fwd && rev);
    struct {
        double x;
        float z;
    } cases[] = {
        {50, 0.0f},     {84, 0.994f},   {16, -0.994f},  {99, 2.326f},     {99.1, 2.366f},   {99.9, 3.090f},
        {99.91, 3.121f}, {99.95, 3.291f}, {99.99, 3.719f}, {99.999, 3.719f}, {0.001, -3.719f}, {84.5, 1.015f},
    };
    for (auto &c : cases)
        EXPECT_NEAR(fwd(c.x), c.z, 2e-6) << c.x;

    // Between the tables the curve joins them: no reading before a table.
    EXPECT_NEAR(fwd(99.05), (2.326 + 2.366) / 2, 1e-4);
    EXPECT_NEAR(fwd(99.905), (3.090 + 3.121) / 2, 1e-4);
    double prev = fwd(50);
    for (double x = 50.001; x < 100; x += 0.001) {
        double z = fwd(x);
        ASSERT_GE(z, prev - 1e-6) << x;
        ASSERT_NEAR(fwd(100 - x), -z, 1e-6) << x;
        prev = z;
    }

    for (double x : {0.01, 2.5, 16.0, 50.0, 84.0, 97.5, 99.9})
        EXPECT_NEAR(rev(fwd(x)), x, 0.05) << x;
    EXPECT_NEAR(rev(0), 50, 1e-12);
    EXPECT_NEAR(rev(-1.959964), 2.5, 1e-4);
}

TEST(ProbabilityScales, WeibullTransform)
{
    ScaleRec w = make({.type = SCALE_WEIBULL, .min = 1, .max = 2});
    ScaleProc fwd = scale_GGetForwardScaleProc(&w), rev = scale_GGetReverseScaleProc(&w);
    ASSERT_TRUE(fwd && rev);
    EXPECT_NEAR(fwd(63.212), 0, 1e-4);
    EXPECT_EQ(fwd(100), DBL_MAX);
    EXPECT_EQ(fwd(120), DBL_MAX);
    EXPECT_EQ(fwd(0), -DBL_MAX);
    for (double x : {0.01, 1.0, 40.0, 63.212, 99.9})
        EXPECT_NEAR(rev(fwd(x)), x, 1e-9 * 100) << x;
}

// ---- the floating-point guard ---------------------------------------------------

volatile sig_atomic_t outside_traps = 0;
void outside_handler(int) { outside_traps = outside_traps + 1; }

TEST(FloatingPointGuard, TrapAbandonsTheRunAndLeavesTheProcessHealthy)
{
    struct sigaction mine {}, old {};
    mine.sa_handler = outside_handler;
    sigemptyset(&mine.sa_mask);
    sigaction(SIGFPE, &mine, &old);

    for (int round = 0; round < 2; round++) {
        // DBL_MAX - (-DBL_MAX) overflows while the division is picked.
        ScaleRec r = make({.min = -DBL_MAX, .max = DBL_MAX});
        ScaleRec before = r;
        int code = -1;
        EXPECT_EQ(scale_ScaleAxis(&r, &code), 2);
        EXPECT_EQ(code, 18);
        EXPECT_EQ(r.min, before.min);
        EXPECT_EQ(r.max, before.max);
        EXPECT_EQ(r.ndivs, before.ndivs);

        // Our handler is back, traps are off again, SIGFPE is not blocked.
        struct sigaction now {};
        sigaction(SIGFPE, nullptr, &now);
        EXPECT_EQ(now.sa_handler, outside_handler);
        EXPECT_EQ(fegetexcept(), 0);
        sigset_t mask;
        sigprocmask(SIG_BLOCK, nullptr, &mask);
        EXPECT_FALSE(sigismember(&mask, SIGFPE));
        volatile double zero = 0;
        EXPECT_TRUE(std::isinf(1.0 / zero));
        EXPECT_EQ(outside_traps, 0);

        // And the next scaling works.
        ScaleRec ok = make({.min = 0, .max = 97});
        EXPECT_EQ(scale_ScaleAxis(&ok, &code), 0);
        EXPECT_EQ(ok.max, 100);
    }

    // Traps the caller had enabled stay enabled afterwards.
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_DIVBYZERO);
    ScaleRec r = make({.min = 0, .max = 97});
    int code;
    EXPECT_EQ(scale_ScaleAxis(&r, &code), 0);
    EXPECT_EQ(fegetexcept(), FE_DIVBYZERO);
    fedisableexcept(FE_ALL_EXCEPT);

    sigaction(SIGFPE, &old, nullptr);
}

TEST(FloatingPointGuard, NonFiniteLimitsFail)
{
    for (double bad : {NAN, INFINITY, -INFINITY}) {
        for (int type : {SCALE_LINEAR, SCALE_LOG, SCALE_TIMEDATE, SCALE_DISCRETE}) {
            ScaleRec r = make({.type = type, .min = 1, .max = bad});
            int code = -1;
            EXPECT_EQ(scale_ScaleAxis(&r, &code), 2) << bad << " type " << type;
            EXPECT_EQ(code, 18);
        }
    }
    // Probability axes ignore the data range.
    ScaleRec n = make({.type = SCALE_NORMAL, .min = NAN, .max = NAN});
    int code;
    EXPECT_EQ(scale_ScaleAxis(&n, &code), 0);
}

TEST(FloatingPointGuard, OverflowInsideTheLogarithmicScale)
{
    // 1e300 / 1e-300 overflows while the factor is picked.
    ScaleRec r = make({.type = SCALE_LOG, .min = 1e-300, .max = 1e300});
    int code = -1;
    EXPECT_EQ(scale_ScaleAxis(&r, &code), 2);
    EXPECT_EQ(code, 18);
    EXPECT_EQ(fegetexcept(), 0);
}

}  // namespace
