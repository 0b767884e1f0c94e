// Free-form date and time input, date input formats, local time.

#include "vxdate.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

const int DMY[3] = {DIF_DAY, DIF_MONTH, DIF_YEAR};
const int MDY[3] = {DIF_MONTH, DIF_DAY, DIF_YEAR};
const int YMD[3] = {DIF_YEAR, DIF_MONTH, DIF_DAY};

int this_year()
{
    time_t now = time(nullptr);
    struct tm tm;
    localtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

TEST(DateInput, Times)
{
    struct {
        const char *text;
        int h, m, s;  // -1: invalid
    } cases[] = {
        {"1430", 14, 30, 0},   {"143015", 14, 30, 15}, {"2:05 pm", 14, 5, 0},   {"12:00 am", 0, 0, 0},
        {"12", 0, 12, 0},      {"24:01", -1, 0, 0},    {"24:00", 0, 0, 0},      {"", -1, 0, 0},
        {"1:2:3:4", -1, 0, 0}, {"at 10.30", 10, 30, 0}, {"23:59:60", -1, 0, 0}, {"9:07:08 PM", 21, 7, 8},
        {"1234567", -1, 0, 0}, {"12:30 pm", 12, 30, 0},
    };
    for (auto &c : cases) {
        int h = -9, m = -9, s = -9;
        int r = rdtime(c.text, &h, &m, &s);
        if (c.h < 0) {
            EXPECT_EQ(r, -1) << c.text;
            continue;
        }
        ASSERT_EQ(r, 0) << c.text;
        EXPECT_EQ(h, c.h) << c.text;
        EXPECT_EQ(m, c.m) << c.text;
        EXPECT_EQ(s, c.s) << c.text;
    }
}

TEST(DateInput, Dates)
{
    const int cy = this_year();
    struct {
        const char *text;
        const int *order;
        int d, m, y;  // d -1: invalid
    } cases[] = {
        {"3rd March 99", DMY, 3, 3, 1999},
        {"31/12/05", DMY, 31, 12, 2005},
        {"12/31/05", DMY, 31, 12, 2005},
        {"12/31/05", MDY, 31, 12, 2005},
        {"20051231", YMD, 31, 12, 2005},
        {"31122005", DMY, 31, 12, 2005},
        {"311205", DMY, 31, 12, 2005},
        {"29/2/1900", DMY, -1, 0, 0},
        {"29/2/2000", DMY, 29, 2, 2000},
        {"2/29/2004", DMY, 29, 2, 2004},
        {"3 MA 2000", DMY, -1, 0, 0},
        {"5 Sept 1999", DMY, 5, 9, 1999},
        {"1999 Sept 5", DMY, 5, 9, 1999},
        {"Sept 5", DMY, 5, 9, cy},
        {"May 2001", DMY, 1, 5, 2001},
        {"1205", DMY, 12, 5, cy},
        {"2001 12", DMY, 1, 12, 2001},
        {"5th 6 2001", DMY, 5, 6, 2001},
        {"6 5th 2001", DMY, 5, 6, 2001},
        {"6th", DMY, -1, 0, 0},
        {"31 4 2001", DMY, -1, 0, 0},
        {"1/1/1700", DMY, -1, 0, 0},
        {"1/1/2100", DMY, -1, 0, 0},
        {"1/1/34", DMY, 1, 1, 2034},
        {"1/1/35", DMY, 1, 1, 1935},
        {"", DMY, -1, 0, 0},
        {"   ", DMY, -1, 0, 0},
        {"1/2/3/4", DMY, 1, 2, 2003},
        {"tomorrow", DMY, -1, 0, 0},
        {"st 5", DMY, -1, 0, 0},
        {"7 January", MDY, 7, 1, cy},
    };
    for (auto &c : cases) {
        int d = -9, m = -9, y = -9;
        int r = rddate(c.text, c.order, &d, &m, &y);
        if (c.d < 0) {
            EXPECT_EQ(r, -1) << c.text;
            continue;
        }
        ASSERT_EQ(r, 0) << c.text;
        EXPECT_EQ(d, c.d) << c.text;
        EXPECT_EQ(m, c.m) << c.text;
        EXPECT_EQ(y, c.y) << c.text;
    }
}

TEST(DateInput, Formats)
{
    struct {
        const char *format;
        int valid;
        int order[3];
        const char *output;
    } cases[] = {
        {"%d/%m/%y", 1, {DIF_DAY, DIF_MONTH, DIF_YEAR}, "%d/%m/%y"},
        {"%Y-%m-%d", 1, {DIF_YEAR, DIF_MONTH, DIF_DAY}, "%y/%m/%d"},
        {"%B %d, %Y", 1, {DIF_MONTH, DIF_DAY, DIF_YEAR}, "%m/%d/%y"},
        {"%-2d.%02m.%4.2Y", 1, {DIF_DAY, DIF_MONTH, DIF_YEAR}, "%d/%m/%y"},
        {"%d/%d/%y", 0, {}, "%d/%m/%y"},
        {"%d/%m", 0, {}, "%d/%m/%y"},
        {"%H %d %m %y", 1, {DIF_DAY, DIF_MONTH, DIF_YEAR}, "%d/%m/%y"},
        {"%d%m%y%", 1, {DIF_DAY, DIF_MONTH, DIF_YEAR}, "%d/%m/%y"},
    };
    for (auto &c : cases) {
        int order[3] = {-1, -1, -1};
        EXPECT_EQ(str_to_date_input_format(c.format, order), c.valid) << c.format;
        EXPECT_EQ(check_date_input_str(c.format), c.valid) << c.format;
        if (c.valid) {
            EXPECT_EQ(order[0], c.order[0]) << c.format;
            EXPECT_EQ(order[1], c.order[1]) << c.format;
            EXPECT_EQ(order[2], c.order[2]) << c.format;
        }
        char out[12];
        make_date_output_str(c.format, out);
        EXPECT_STREQ(out, c.output) << c.format;
    }
    char out[12];
    get_date_input_from_locale(out);
    EXPECT_STREQ(out, "%d/%m/%y");
    EXPECT_EQ(dif_before(YMD, DIF_YEAR, DIF_DAY), 1);
    EXPECT_EQ(dif_before(YMD, DIF_DAY, DIF_MONTH), 0);
    VxDate d;
    const int nums[3] = {2024, 2, 29};
    dif_map(&d, nums, YMD);
    EXPECT_EQ(d.year, 2024);
    EXPECT_EQ(d.month, 2);
    EXPECT_EQ(d.day, 29);
}

TEST(DateInput, LanguageInformation)
{
    EXPECT_STREQ(deflanginfo(0), "%d %h,%y %H");
    EXPECT_STREQ(deflanginfo(3), "Sunday");
    EXPECT_STREQ(deflanginfo(16), "Sat");
    EXPECT_STREQ(deflanginfo(28), "December");
    EXPECT_STREQ(deflanginfo(29), "Jan");
    EXPECT_STREQ(deflanginfo(41), ".");
    EXPECT_STREQ(deflanginfo(43), "Yes");
    EXPECT_STREQ(deflanginfo(45), "+;");
    EXPECT_STREQ(deflanginfo(1), "");
    EXPECT_STREQ(deflanginfo(46), "");
    EXPECT_STREQ(deflanginfo(-1), "");
}

TEST(DateInput, LocalTime)
{
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(un_ctime(1970, 1, 1, 0, 0, 0, 2), 0);
    EXPECT_EQ(un_ctime(2000, 3, 1, 12, 0, 0, 1), 951912000);
    errno = 0;
    EXPECT_EQ(un_ctime(1969, 12, 31, 23, 59, 59, 2), -1);
    EXPECT_NE(errno, ERANGE) << "the second before 1970 is a real time";
    struct timeval a {10, 500000}, b {8, 750000};
    EXPECT_DOUBLE_EQ(subtract_time(&a, &b), 1.75);
    struct timeval now;
    get_current_time(&now);
    EXPECT_GT(now.tv_sec, 1700000000);
}

}  // namespace
