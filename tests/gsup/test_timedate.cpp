// The date and time scale, in two time zones.

#include "gsscalint.h"
#include "gstest.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct Date {
    int year, month, day, hour;
    bool operator==(const Date &) const = default;
};

std::ostream &operator<<(std::ostream &o, const Date &d)
{
    return o << d.year << "-" << d.month << "-" << d.day << " " << d.hour << "h";
}

Date date_of(double t)
{
    time_t tt = static_cast<time_t>(t);
    struct tm tm;
    localtime_r(&tt, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour};
}

void set_zone(const char *tz)
{
    setenv("TZ", tz, 1);
    tzset();
}

ScaleRec time_axis(double min, double max, int requested = TD_AUTO)
{
    ScaleRec r{};
    scale_ClearScaleStuff(&r);
    scale_SetScaleType(&r, SCALE_TIMEDATE);
    scale_SetScaleMin(&r, min, 1);
    scale_SetScaleMax(&r, max, 1);
    scale_SetScaleOrg(&r, 0, 0, 5);
    r.reqtdunits = static_cast<int16_t>(requested);
    return r;
}

// The walk hands the last division over with -1.
std::vector<Date> divisions(ScaleRec &r)
{
    std::vector<Date> v;
    double d;
    scale_GetFirstDiv(&r, &d);
    v.push_back(date_of(d));
    int rc = 0;
    while (rc == 0 && v.size() < 100) {
        rc = scale_GetNextDiv(&r, &d);
        v.push_back(date_of(d));
    }
    return v;
}

class TimeScale : public testing::TestWithParam<const char *> {
  protected:
    void SetUp() override { set_zone(GetParam()); }
    void TearDown() override { set_zone("UTC0"); }
};

TEST_P(TimeScale, YearOfDataGoesByQuarters)
{
    ScaleRec r = time_axis(local(1996, 1, 1), local(1996, 12, 31));
    int code = -1;
    ASSERT_EQ(scale_ScaleAxis(&r, &code), 0);
    EXPECT_EQ(scale_GetTDUnits(&r), TD_MONTH);
    EXPECT_EQ(scale_GetDivSize(&r), 3);
    EXPECT_EQ(r.ndivs, 4);
    EXPECT_EQ(divisions(r), (std::vector<Date>{{1996, 1, 1, 0}, {1996, 4, 1, 0}, {1996, 7, 1, 0}, {1996, 10, 1, 0},
                                               {1997, 1, 1, 0}}));
    EXPECT_EQ(r.max, local(1997, 1, 1));
    // Origin rule 5: the first division.
    EXPECT_EQ(r.origin, local(1996, 1, 1));
    // One small step per month.
    EXPECT_EQ(scale_GetNumSDivs(&r), 3);
    double s;
    scale_GetFirstSDiv(&r, &s);
    ASSERT_EQ(scale_GetNextSDiv(&r, &s), 0);
    EXPECT_EQ(date_of(s), (Date{1996, 2, 1, 0}));

    // An approximate origin goes to the nearest division, the last one
    // included.
    struct {
        Date origin, expect;
    } origins[] = {
        {{1996, 12, 20, 0}, {1997, 1, 1, 0}},
        {{1996, 5, 1, 0}, {1996, 4, 1, 0}},
        {{1996, 1, 1, 0}, {1996, 1, 1, 0}},
    };
    for (auto &o : origins) {
        ScaleRec q = time_axis(local(1996, 1, 1), local(1996, 12, 31));
        scale_SetScaleOrg(&q, local(o.origin.year, o.origin.month, o.origin.day), 1, 0);
        ASSERT_EQ(scale_ScaleAxis(&q, &code), 0);
        EXPECT_EQ(date_of(q.origin), o.expect) << o.origin;
    }
}

TEST_P(TimeScale, UnitFromTheRange)
{
    struct {
        double min, max;
        int unit;
        double div;
    } cases[] = {
        {local(1996, 3, 7, 6), local(1996, 3, 8, 18), TD_HOUR, 6},  // 36 hours
        {local(1996, 3, 7), local(1996, 3, 10), TD_DAY, 1},         // 3 days
        {local(1996, 3, 7), local(1996, 3, 27), TD_DAY, 7},
        {local(1996, 3, 7, 12), local(1996, 3, 7, 12, 40), TD_MINUTE, 10},
        {local(1996, 3, 7, 12), local(1996, 3, 7, 12, 2, 30), TD_SECOND, 30},
        {local(1990, 1, 1), local(2010, 1, 1), TD_YEAR, 4},
        {local(1990, 1, 1), local(1992, 6, 1), TD_MONTH, 6},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(date_of(c.min));
        ScaleRec r = time_axis(c.min, c.max);
        int code = -1;
        ASSERT_EQ(scale_ScaleAxis(&r, &code), 0) << code;
        EXPECT_EQ(r.tdunits, c.unit);
        EXPECT_EQ(scale_GetDivSize(&r), c.div);
        EXPECT_LE(r.min, c.min);
        EXPECT_GE(r.max, c.max);
    }
}

TEST_P(TimeScale, FixedLimitsAndDivisions)
{
    int code = -1;
    // Exact ends 1 Jan to 1 Jul in two divisions of a forced month unit.
    ScaleRec r = time_axis(local(1996, 1, 1), local(1996, 7, 1), TD_MONTH);
    scale_SetScaleMin(&r, r.min, 2);
    scale_SetScaleMax(&r, r.max, 2);
    scale_SetScaleNdivs(&r, 2, 2);
    scale_SetScaleDiv(&r, 3, 2);
    EXPECT_EQ(scale_ScaleAxis(&r, &code), 0);
    EXPECT_EQ(divisions(r), (std::vector<Date>{{1996, 1, 1, 0}, {1996, 4, 1, 0}, {1996, 7, 1, 0}}));

    // Four months do not end on 1 July.
    scale_SetScaleDiv(&r, 4, 2);
    EXPECT_EQ(scale_ScaleAxis(&r, &code), 2);
    EXPECT_EQ(code, 9);

    // A zero division is refused where it is used.
    scale_SetScaleDiv(&r, 0, 2);
    EXPECT_EQ(scale_ScaleAxis(&r, &code), 2);
    EXPECT_EQ(code, 12);

    // An exact count of hours over ten days: 48-hour divisions.
    ScaleRec h = time_axis(local(1996, 3, 1), local(1996, 3, 11), TD_HOUR);
    scale_SetScaleMin(&h, h.min, 2);
    scale_SetScaleMax(&h, h.max, 2);
    scale_SetScaleNdivs(&h, 5, 2);
    EXPECT_EQ(scale_ScaleAxis(&h, &code), 0) << code;
    EXPECT_EQ(scale_GetDivSize(&h), 48);

    // Fixed min and division, free max: max is reached on the calendar.
    ScaleRec m = time_axis(local(1996, 1, 31), local(1996, 5, 2), TD_MONTH);
    scale_SetScaleMin(&m, m.min, 2);
    scale_SetScaleDiv(&m, 1, 2);
    EXPECT_EQ(scale_ScaleAxis(&m, &code), 0) << code;
    std::vector<Date> d = divisions(m);
    EXPECT_EQ(d.front(), (Date{1996, 1, 31, 0}));
    EXPECT_EQ(d[1], (Date{1996, 3, 2, 0}));
    EXPECT_GE(m.max, local(1996, 5, 2));

    // A fixed division that needs more than 1000 steps.
    ScaleRec s = time_axis(local(1996, 1, 1), local(1996, 1, 1, 1), TD_SECOND);
    scale_SetScaleDiv(&s, 1, 2);
    EXPECT_EQ(scale_ScaleAxis(&s, &code), 2);
    EXPECT_EQ(code, 17);
}

INSTANTIATE_TEST_SUITE_P(Zones, TimeScale, testing::Values("UTC0", "EST5EDT,M3.2.0,M11.1.0"),
                         [](const testing::TestParamInfo<const char *> &i) {
                             return std::string(i.index == 0 ? "Utc" : "UsEastern");
                         });

TEST(CalendarSteps, AddingUnits)
{
    set_zone("EST5EDT,M3.2.0,M11.1.0");
    struct {
        Date from;
        long n;
        int unit;
        Date to;
    } cases[] = {
        {{1997, 1, 31, 0}, 1, TD_MONTH, {1997, 3, 3, 0}},
        {{1996, 1, 31, 0}, 1, TD_MONTH, {1996, 3, 2, 0}},
        {{1997, 2, 28, 0}, 1, TD_MONTH, {1997, 3, 28, 0}},
        {{1996, 2, 28, 0}, 1, TD_DAY, {1996, 2, 29, 0}},
        {{2000, 2, 28, 0}, 1, TD_DAY, {2000, 2, 29, 0}},
        {{1900, 2, 28, 0}, 1, TD_DAY, {1900, 3, 1, 0}},
        {{2000, 1, 31, 0}, 1, TD_MONTH, {2000, 3, 2, 0}},
        {{1900, 1, 31, 0}, 1, TD_MONTH, {1900, 3, 3, 0}},
        {{1996, 12, 31, 22}, 3, TD_HOUR, {1997, 1, 1, 1}},
        {{1996, 11, 15, 0}, 14, TD_MONTH, {1998, 1, 15, 0}},
        {{1996, 3, 9, 12}, 24, TD_HOUR, {1996, 3, 10, 12}},  // across the change to summer time
        {{1996, 1, 1, 0}, 1000, TD_DAY, {1998, 9, 27, 0}},
        {{1996, 1, 1, 0}, 1000000, TD_DAY, {4733, 11, 28, 0}},
    };
    for (auto &c : cases) {
        double out = 0;
        ASSERT_TRUE(lintd_AddTimedate(local(c.from.year, c.from.month, c.from.day, c.from.hour), c.n, c.unit, &out))
            << c.from;
        EXPECT_EQ(date_of(out), c.to) << c.from << " + " << c.n;
    }
    set_zone("UTC0");
}

TEST(CalendarSteps, UnconvertibleStepLeavesTheValue)
{
    set_zone("UTC0");
    // The last year a broken-down time can hold.
    struct tm tm {};
    tm.tm_year = INT_MAX;
    tm.tm_mday = 1;
    time_t last = timegm(&tm);
    ASSERT_NE(last, static_cast<time_t>(-1));
    double out;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(lintd_AddTimedate(static_cast<double>(last), 1, TD_YEAR, &out));

    ScaleRec r{};
    r.type = SCALE_TIMEDATE;
    r.min = static_cast<double>(last);
    r.max = r.min + 3 * 366 * 86400.0;
    r.ndivs = 3;
    r.tdunits = TD_YEAR;
    r.div = scalsup_SplitDouble(1);
    double v;
    scale_GetFirstDiv(&r, &v);
    EXPECT_EQ(scale_GetNextDiv(&r, &v), 0);
    EXPECT_EQ(v, r.min);
    EXPECT_EQ(scale_GetNextDiv(&r, &v), 0);
    EXPECT_EQ(v, r.min);
    EXPECT_EQ(scale_GetNextDiv(&r, &v), -1);

    // A time zone that works is left alone.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_STREQ(getenv("TZ"), "UTC0");
}

}  // namespace
