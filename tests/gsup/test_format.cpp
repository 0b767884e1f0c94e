// Axis label formats.

#include "gsformat.h"
#include "gstest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

std::string label(double v, int type = VT_REAL)
{
    char out[81];
    memset(out, 'X', sizeof out);
    format_GFormatLabel(out, &v, type);
    return out;
}

class LabelFormat : public testing::Test {
  protected:
    void SetUp() override
    {
        setenv("TZ", "UTC0", 1);
        tzset();
        format_set_julian_offset(0);
    }
};

TEST_F(LabelFormat, Values)
{
    struct {
        const char *format;
        int type, field, fraction;
        double value;
        const char *text;
    } cases[] = {
        {"x=%v units", VT_REAL, 8, 2, 3.14159, "x=    3.14 units"},
        {"%v and %v", VT_REAL, 6, 2, 3.14159, "3.14 and %v"},
        {"%8.3v", VT_LONG, 4, 0, 2, "2.000"},
        {"%8.3v", VT_REAL, 4, 0, 2, "2.000"},
        {"%v", VT_LONG, 6, 0, 0, "0"},
        {"%v", VT_LONG, 6, 0, 0.5, ""},  // no label between integers
        {"%v", VT_LONG, 6, 0, -3, "-3"},
        {"%v", VT_SHORT, 6, 0, 7, "7"},
        {"%v", VT_LONG, 12, 0, 3e10, "30000000000"},
        {"%v", VT_REAL, 10, -1, 1234.6, "1.235e+03"},
        {"%v", VT_REAL, 6, 2, 123456789.0, "1e+08"},
        {"%v", VT_REAL, 8, 4, 1234.5678, "1234.57"},
        {"%v", VT_REAL, 8, 0, 2.5, "2"},
        {"%v", VT_SHORTREAL, 8, 1, 2.25, "2.2"},
        {"%.1v", VT_REAL, 8, 4, 2.25, "2.2"},
        {"[%v]", VT_REAL, 8, 2, NAN, "[     Nan]"},
        {"no value", VT_REAL, 8, 2, 1, "no value"},
        {"", VT_REAL, 8, 2, 1, ""},
        // Directives the user typed are shown, never interpreted.
        {"%s%n%d %x %v %%", VT_REAL, 6, 2, 1.5, "%s%n%d %x   1.50 %"},
        {"%5d: %v", VT_LONG, 3, 0, 4, "%5d:   4"},
        {"%%v", VT_LONG, 3, 0, 4, "%  4"},
    };
    for (auto &c : cases) {
        format_GSetupLabelFormat(c.format, c.type, 80, c.field, c.fraction, -1);
        EXPECT_EQ(label(c.value), c.text) << "\"" << c.format << "\" type " << c.type << " value " << c.value;
    }
}

TEST_F(LabelFormat, ZoomAdjustment)
{
    format_GSetupLabelFormat("%v", VT_LONG, 80, 6, 0, -1);
    format_GSetupZoomLabelAdjustment(2);
    EXPECT_EQ(label(1), "1.00");
    EXPECT_EQ(label(0.5), "0.50");  // a real axis now
}

TEST_F(LabelFormat, StringsAreCutToTheRoom)
{
    const char *s = "abcdefghijkl";
    char out[81];
    format_GSetupLabelFormat("<%v>", VT_STRING, 10, 8, 0, -1);
    format_GFormatLabel(out, s, VT_STRING);
    EXPECT_STREQ(out, "<abcdef>");
    format_GSetupLabelFormat("%v", VT_CHAR, 80, 8, 0, -1);
    format_GFormatLabel(out, "%s%n", VT_CHAR);
    EXPECT_STREQ(out, "%s%n");
}

TEST_F(LabelFormat, DatesAndTimes)
{
    double march7 = local(1996, 3, 7, 12, 30, 5);
    struct {
        const char *format;
        int type, unit;
        const char *text;
    } cases[] = {
        {"", VT_DATE, -1, "07 Mar 96"},
        {"", VT_TIME, -1, "12:30:05"},
        {"%v", VT_DATETIME, 0, "1996"},
        {"%v", VT_DATETIME, 1, "07 Mar 96"},
        {"%v", VT_DATETIME, 2, "07 Mar"},
        {"%v", VT_DATETIME, 3, "12:30"},
        {"%v", VT_DATETIME, 4, "30:05"},
        {"%v", VT_DATETIME, 5, "05"},
        {"%v", VT_DATETIME, 7, "07 Mar 96 \n 12:30:05"},
        {"on %v!", VT_DATETIME, 2, "on 07 Mar!"},
        {"%B %m %Y %y %% %q", VT_DATE, -1, "March 03 1996 96 %"},
        {"day %j", VT_REAL, -1, "day 066"},
        {"%", VT_DATE, -1, ""},
    };
    for (auto &c : cases) {
        format_GSetupLabelFormat(c.format, c.type, 80, 8, 0, c.unit);
        EXPECT_EQ(label(march7 + 0.9), c.text) << "\"" << c.format << "\" unit " << c.unit;
    }

    // The day of the year counts from 0, plus the julian offset.
    format_GSetupLabelFormat("%j", VT_DATE, 80, 8, 0, -1);
    EXPECT_EQ(label(local(1997, 1, 1)), "000");
    format_set_julian_offset(1);
    EXPECT_EQ(label(local(1997, 1, 1)), "001");
    format_set_julian_offset(-5);
    EXPECT_EQ(label(local(1997, 1, 1)), "000");
}

TEST_F(LabelFormat, TimeZoneOfTheLabels)
{
    double t = 852076800;  // 1 Jan 1997 00:00 universal time
    format_GSetupLabelFormat("%v", VT_DATETIME, 80, 8, 0, 3);
    EXPECT_EQ(label(t), "00:00");
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    EXPECT_EQ(label(t), "19:00");
    setenv("TZ", "UTC0", 1);
    tzset();
}

TEST_F(LabelFormat, LengthLimits)
{
    // A user format is cut to 79 characters.
    std::string longer(100, 'a');
    format_GSetupLabelFormat(longer.c_str(), VT_REAL, 80, 8, 2, -1);
    EXPECT_EQ(label(1), std::string(79, 'a'));

    // Names grow the text: the label still fits its length.
    std::string names;
    for (int i = 0; i < 39; i++)
        names += "%B";
    format_GSetupLabelFormat(names.c_str(), VT_DATE, 80, 8, 0, -1);
    EXPECT_EQ(label(local(1996, 9, 1)).size(), 80u);
    format_GSetupLabelFormat(names.c_str(), VT_DATE, 20, 8, 0, -1);
    EXPECT_EQ(label(local(1996, 9, 1)), "SeptemberSeptemberSe");

    // A wide field keeps its digits: blanks go first.
    format_GSetupLabelFormat("%200v", VT_LONG, 80, 8, 0, -1);
    EXPECT_EQ(label(12345), "12345");
    format_GSetupLabelFormat("value %v", VT_STRING, 9, 8, 0, -1);
    char out[10];
    format_GFormatLabel(out, "abcdef", VT_STRING);
    EXPECT_STREQ(out, "value a");
}

TEST_F(LabelFormat, TypeClasses)
{
    for (int t = 0; t <= 17; t++) {
        EXPECT_EQ(format_GIsScalar(t), !(t == 0 || t == 7 || t == 8 || t == 11)) << t;
        EXPECT_EQ(format_GIsNumeric(t), t == 1 || t == 2 || t == 3 || t == 6 || t == 9 || t == 10) << t;
        EXPECT_EQ(format_GIsReal(t), t == 3 || t == 6 || t == 9) << t;
    }
}

TEST(FavourDate, HourAndMinuteLabelsCarryTheDay)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The flag is read once per process: check it in a fresh one.
    EXPECT_EXIT(
        {
            setenv("VX_FAVOUR_DATE", "", 1);
            setenv("TZ", "UTC0", 1);
            tzset();
            double t = local(1996, 3, 7, 12, 30, 5);
            format_GSetupLabelFormat("%v", VT_DATETIME, 80, 8, 0, 3);
            std::string hour = label(t);
            format_GSetupLabelFormat("%v", VT_DATETIME, 80, 8, 0, 4);
            std::string minute = label(t);
            format_GSetupLabelFormat("%v", VT_DATETIME, 80, 8, 0, 1);
            fprintf(stderr, "[%s][%s][%s]", hour.c_str(), minute.c_str(), label(t).c_str());
            exit(0);
        },
        testing::ExitedWithCode(0), "^\\[12:30 07 Mar\\]\\[12:30:05 07 Mar\\]\\[07 Mar 96\\]$");
}

}  // namespace
