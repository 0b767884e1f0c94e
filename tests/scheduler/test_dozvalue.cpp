// Extraction of fields at the reading cursor and fixed-width value text.

#include "dozrow.h"
#include "dozvalue.h"

#include "vxtest_doz.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

template <class T>
std::string fmt(T v, int w, int p, int type)
{
    return sprint_data(&v, w, p, type);
}

struct Date {
    int16_t y, m, d;
};

TEST(ValueText, NumbersStringsAndFlags)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    struct {
        std::string got, want;
    } cases[] = {
        {sprint_data(nullptr, 6, 0, DOZ_T_LONG), "      "},
        {fmt<int32_t>(42, 5, -1, DOZ_T_LONG), "   42"},
        {fmt<int32_t>(-2147483647 - 1, 3, -1, DOZ_T_LONG), "-2147483648"},
        {fmt<int16_t>(-3, 4, -1, DOZ_T_SHORT), "  -3"},
        {fmt<uint8_t>(200, 4, -1, DOZ_T_TINY), " 200"},
        {fmt(1234.5678, 8, 4, DOZ_T_REAL), " 1234.57"},
        {fmt(123456789.0, 6, 2, DOZ_T_REAL), " 1e+08"},
        {fmt(3.14159, 6, 0, DOZ_T_REAL), "     3"},
        {fmt(-2.5, 8, 2, DOZ_T_REAL), "   -2.50"},
        {fmt(0.000123, 12, -1, DOZ_T_REAL), " 1.23000e-04"},
        {fmt(1e300, 10, 2, DOZ_T_REAL), "1.000e+300"},
        {fmt(99.5, 4, 3, DOZ_T_REAL), "1e+02"},
        {fmt(nan, 5, 2, DOZ_T_REAL), "  Nan"},
        {fmt(inf, 5, 2, DOZ_T_REAL), " +Inf"},
        {fmt(-inf, 5, 2, DOZ_T_REAL), " -Inf"},
        {fmt(1.5f, 6, 1, DOZ_T_SREAL), "   1.5"},
        {sprint_data("ab", 6, -1, DOZ_T_STRING), "ab    "},
        {sprint_data("abcdefgh", 4, -1, DOZ_T_STRING), "abcdefgh"},
        {fmt<char>('x', 5, -1, DOZ_T_CHAR), "  x  "},
        {fmt<char>('\0', 3, -1, DOZ_T_CHAR), "   "},
        {fmt<char>('x', 0, -1, DOZ_T_CHAR), "x"},
        {fmt<uint8_t>(1, 7, -1, DOZ_T_BOOL), "  YES  "},
        {fmt<uint8_t>(0, 5, -1, DOZ_T_BOOL), " NO  "},
        {fmt<uint8_t>(0, 1, -1, DOZ_T_BOOL), "NO"},
    };
    for (auto &c : cases)
        EXPECT_EQ(c.got, c.want);
}

TEST(ValueText, Quoting)
{
    set_quoting(1);
    EXPECT_EQ(std::string(sprint_data("ab", 6, -1, DOZ_T_STRING)), "\"ab\"  ");
    EXPECT_EQ(std::string(sprint_data("abcdef", 4, -1, DOZ_T_STRING)), "\"abc");
    EXPECT_EQ(fmt<char>('x', 5, -1, DOZ_T_CHAR), " 'x' ");
    EXPECT_EQ(fmt<char>('\0', 3, -1, DOZ_T_CHAR), "' '");
    set_quoting(0);
    EXPECT_EQ(std::string(sprint_data("ab", 3, -1, DOZ_T_STRING)), "ab ");
}

TEST(ValueText, Complex)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Z {
        double re, im;
    };
    struct {
        const char *format;
        Z z;
        int w, p;
        std::string want;
    } cases[] = {
        {"", {1.5, -2.25}, 11, 2, " 1.50,-2.25"},
        {"", {1.5, -2.25}, 21, -1, " 1.500e+00,-2.250e+00"},
        {"", {123456.0, 1.0}, 11, 2, "1e+05,1e+00"},
        {"", {inf, 1.0}, 5, 2, "  Inf"},
        {"", {1.0, std::nan("")}, 5, 2, "  Nan"},
        {"(%X; %y)", {1.5, -2.25}, 20, 2, "(    1.50; -2.25   )"},
        {"%x|%Y %% %q%", {1.5, 2.0}, 16, 1, "1.5 | 2.0 % "},
    };
    for (auto &c : cases) {
        set_complex_format(c.format);
        EXPECT_EQ(fmt(c.z, c.w, c.p, DOZ_T_COMPLEX), c.want) << c.format;
    }
    char back[25];
    get_complex_format(back);
    EXPECT_STREQ(back, "%x|%Y %% %q%");
    set_complex_format("");
}

TEST(ValueText, DatesAndTimesWithFullAndTwoDigitYears)
{
    struct {
        const char *format;
        Date d;
        int w;
        std::string want;
    } cases[] = {
        {"%d/%m/%Y", {99, 12, 31}, 0, "31/12/1999"},
        {"%d/%m/%Y", {5, 1, 2}, 0, "02/01/2005"},
        {"%d/%m/%y", {5, 1, 2}, 0, "02/01/05"},
        {"", {2024, 2, 29}, 12, "  29/02/24  "},
        {"%Y-%m-%d", {2024, 2, 29}, 0, "2024-02-29"},
        {"%Y", {1899, 1, 1}, 0, "1899"},
        {"%B %d, %Y", {2024, 2, 29}, 0, "February 29, 2024"},
        {"%h/%b %q 100%% %", {2024, 12, 1}, 0, "Dec/Dec  100% "},
        {"%B", {2024, 13, 1}, 0, ""},
    };
    for (auto &c : cases) {
        set_date_time_format(c.format, nullptr);
        EXPECT_EQ(fmt(c.d, c.w, -1, DOZ_T_DATE), c.want) << c.format;
    }
    char date[25], time[25];
    get_date_time_format(date, time);
    EXPECT_STREQ(date, "%B");

    Date t{9, 5, 7};
    set_date_time_format(nullptr, "");
    EXPECT_EQ(fmt(t, 10, -1, DOZ_T_TIME), " 09:05:07 ");
    set_date_time_format(nullptr, "%H%%%M h%");
    EXPECT_EQ(fmt(t, 0, -1, DOZ_T_TIME), "09%05 h");
    get_date_time_format(nullptr, time);
    EXPECT_STREQ(time, "%H%%%M h%");
    // A format longer than 24 characters is cut.
    set_date_time_format("%d%m%y......................end", "");
    get_date_time_format(date, nullptr);
    EXPECT_EQ(strlen(date), 24u);
    set_date_time_format("", "");
}

TEST(ValueText, BlobNamesAndHugeWidths)
{
    DozBlobDesc b{};
    b.id2 = 7;
    char name[DOZ_BLOB_NAME_SIZE];
    EXPECT_STREQ(doz_blob_name(&b, name), "$7");
    strcpy(b.prefix, "T");
    b.id1 = 33;
    b.id2 = 1;
    EXPECT_STREQ(doz_blob_name(&b, name), "T_11_1");
    EXPECT_EQ(fmt(b, 8, -1, DOZ_T_BLOB), "T_11_1  ");
    // The longest name: 15-character prefix and two 7-digit ids, 31 in all.
    memset(b.prefix, 'P', sizeof b.prefix);  // not even terminated
    b.id1 = -1;
    b.id2 = -1;
    char *made = doz_blob_name(&b, nullptr);
    EXPECT_EQ(std::string(made), std::string(15, 'P') + "_3vvvvvv_3vvvvvv");
    free(made);
    doz_set_blob_flags(&b, 3);
    doz_set_blob_subclass(&b, 4);
    EXPECT_EQ(doz_blob_flags(&b), 3);
    EXPECT_EQ(doz_blob_subclass(&b), 4);

    // Whatever width a descriptor claims, the text is exactly that wide.
    EXPECT_EQ(fmt<int32_t>(1, 32767, -1, DOZ_T_LONG).size(), 32767u);
    EXPECT_EQ(fmt<int32_t>(1, 40000, -1, DOZ_T_LONG).size(), 32767u);
    EXPECT_EQ(fmt(2.0, 32767, 32000, DOZ_T_REAL).size(), 32767u);
    EXPECT_EQ(std::string(fmt<int32_t>(12, -5, -1, DOZ_T_LONG)), "12");
}

using vxtest::col;

TEST(Extraction, EveryShapeAtTheCursor)
{
    std::vector<DozColDesc> cols = {col(DOZ_T_BOOL),       col(DOZ_T_REAL, -3), col(DOZ_T_STRING, 0, 4),
                                    col(DOZ_T_DATE, 2),    col(DOZ_T_LONG, -2), col(DOZ_T_BLOB),
                                    col(DOZ_T_COMPLEX),    col(DOZ_T_TIME, -1)};
    DozLayout l;
    ASSERT_TRUE(doz_layout(cols, true, l));
    alignas(8) unsigned char buf[512] = {};
    unsigned char *row = buf + 64;  // a row after a one-column table
    uint8_t t = 1;
    double reals[2] = {1.5, 2.5};
    int16_t dates[6] = {2024, 1, 2, 2025, 3, 4};
    DozBlobDesc blob{};
    blob.id2 = 9;
    doz_put(row, l.fields[0], &t, 1, true);
    doz_put(row, l.fields[1], reals, 2, true);
    doz_put(row, l.fields[2], "word", 1, true);
    doz_put(row, l.fields[3], dates, 2, true);
    doz_put(row, l.fields[4], reals, 0, true);  // present but empty
    doz_put(row, l.fields[5], &blob, 1, true);
    doz_put(row, l.fields[6], nullptr, 0, false);
    doz_put(row, l.fields[7], dates, 1, true);

    DozReader rd(buf, sizeof buf);
    set_buffer_cursor(rd, row);
    int n = -1;
    auto *b = static_cast<const uint8_t *>(extract(rd, cols[0], &n));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(*b, 1);
    EXPECT_EQ(n, 1);
    auto *r = static_cast<const double *>(extract(rd, cols[1], &n));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(r[1], 2.5);
    EXPECT_STREQ(static_cast<const char *>(extract(rd, cols[2], &n)), "word");
    auto *d = static_cast<const int16_t *>(extract(rd, cols[3], &n));
    EXPECT_EQ(n, 2);
    EXPECT_EQ(d[3], 2025);
    EXPECT_EQ(extract(rd, cols[4], &n), nullptr) << "an empty variable array";
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(extract_overrun(rd));
    auto *bl = static_cast<const DozBlobDesc *>(extract(rd, cols[5], &n));
    ASSERT_NE(bl, nullptr);
    EXPECT_EQ(bl->id2, 9);
    EXPECT_EQ(extract(rd, cols[6], &n), nullptr) << "null";
    EXPECT_EQ(n, 1);
    auto *tm = static_cast<const int16_t *>(extract(rd, cols[7], &n));
    ASSERT_NE(tm, nullptr);
    EXPECT_EQ(tm[0], 2024);
    align(rd, l.row_align);
    EXPECT_EQ(buffer_cursor(rd), row + l.row_size) << "the walk covers the row exactly";

    // A field that would run past the buffer gives nothing and says so.
    init_buffer(rd, buf, static_cast<size_t>(row - buf) + 20);
    set_buffer_cursor(rd, row);
    extract(rd, cols[0], &n);
    EXPECT_EQ(extract(rd, cols[1], &n), nullptr);
    EXPECT_TRUE(extract_overrun(rd));
    EXPECT_EQ(buffer_left(rd), 0u);
}

}  // namespace
