// Row layout shared by the client and the interpreter, and the reading
// cursor over a buffer.

#include "dozrow.h"

#include "vxtest_doz.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using vxtest::col;

struct Expect {
    int presence, count_at, value;
};

TEST(RowLayout, GoldenLayouts)
{
    struct Case {
        const char *name;
        std::vector<DozColDesc> cols;
        bool flags;
        std::vector<Expect> fields;
        int row_size, row_align;
    } cases[] = {
        {"long and real", {col(DOZ_T_LONG), col(DOZ_T_REAL)}, true, {{0, -1, 4}, {8, -1, 16}}, 24, 8},
        {"variable reals first", {col(DOZ_T_REAL, -3), col(DOZ_T_BOOL)}, true, {{0, 4, 8}, {32, -1, 33}}, 40, 8},
        {"bool then variable reals", {col(DOZ_T_BOOL), col(DOZ_T_REAL, -3)}, true, {{0, -1, 1}, {2, 4, 8}}, 32, 8},
        {"string(10)", {col(DOZ_T_STRING, 0, 10)}, true, {{0, -1, 1}}, 12, 1},
        {"date", {col(DOZ_T_DATE)}, true, {{0, -1, 2}}, 8, 2},
        {"strings and bools only", {col(DOZ_T_STRING, 0, 3), col(DOZ_T_BOOL)}, true, {{0, -1, 1}, {5, -1, 6}}, 7, 1},
        {"blob", {col(DOZ_T_BLOB)}, true, {{0, -1, 4}}, 40, 4},
        {"fixed complex pair", {col(DOZ_T_COMPLEX, 2)}, true, {{0, -1, 8}}, 40, 8},
        {"variable tiny", {col(DOZ_T_TINY, -5)}, true, {{0, 4, 8}}, 16, 4},
        {"time after char", {col(DOZ_T_CHAR), col(DOZ_T_TIME)}, true, {{0, -1, 1}, {2, -1, 4}}, 10, 2},
        {"short real and short", {col(DOZ_T_SREAL), col(DOZ_T_SHORT, 3)}, true, {{0, -1, 4}, {8, -1, 10}}, 16, 4},
        {"bare long", {col(DOZ_T_LONG)}, false, {{-1, -1, 0}}, 4, 4},
        {"bare strings", {col(DOZ_T_STRING, 0, 30), col(DOZ_T_STRING, 0, 30)}, false, {{-1, -1, 0}, {-1, -1, 31}}, 62, 1},
        {"bare int int bool", {col(DOZ_T_LONG), col(DOZ_T_LONG), col(DOZ_T_BOOL)}, false,
         {{-1, -1, 0}, {-1, -1, 4}, {-1, -1, 8}}, 12, 4},
        {"bare bool then real", {col(DOZ_T_BOOL), col(DOZ_T_REAL)}, false, {{-1, -1, 0}, {-1, -1, 8}}, 16, 8},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        DozLayout l;
        ASSERT_TRUE(doz_layout(c.cols, c.flags, l));
        ASSERT_EQ(l.fields.size(), c.fields.size());
        for (size_t i = 0; i < c.fields.size(); i++) {
            EXPECT_EQ(l.fields[i].presence, c.fields[i].presence) << i;
            EXPECT_EQ(l.fields[i].count_at, c.fields[i].count_at) << i;
            EXPECT_EQ(l.fields[i].value, c.fields[i].value) << i;
        }
        EXPECT_EQ(l.row_size, c.row_size);
        EXPECT_EQ(l.row_align, c.row_align);
    }
}

TEST(RowLayout, RefusesWhatNoRowCanHold)
{
    const std::vector<std::vector<DozColDesc>> bad = {
        {col(12)},
        {col(-1)},
        {col(DOZ_T_BOOL, 2)},
        {col(DOZ_T_STRING, 3, 5)},
        {col(DOZ_T_BLOB, -2)},
        {col(DOZ_T_STRING, 0, -1)},
        {col(DOZ_T_LONG, 40000)},
        {col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767),
         col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767), col(DOZ_T_COMPLEX, 32767)},
    };
    for (size_t i = 0; i < bad.size(); i++) {
        DozLayout l;
        EXPECT_FALSE(doz_layout(bad[i], true, l)) << i;
    }
}

TEST(RowLayout, ArraysAlwaysTakeTheirRoom)
{
    DozLayout l;
    std::vector<DozColDesc> cols = {col(DOZ_T_REAL, -3), col(DOZ_T_LONG)};
    ASSERT_TRUE(doz_layout(cols, true, l));
    unsigned char row[64];
    memset(row, 0xee, sizeof row);
    const double two[] = {1.5, 2.5};
    doz_put(row, l.fields[0], two, 2, true);
    int32_t x = 9;
    doz_put(row, l.fields[1], &x, 1, true);
    int n;
    bool present;
    auto *v = doz_get(row, l.fields[0], &n, &present);
    EXPECT_TRUE(present);
    EXPECT_EQ(n, 2);
    double got[3];
    memcpy(got, v, sizeof got);
    EXPECT_EQ(got[0], 1.5);
    EXPECT_EQ(got[1], 2.5);
    EXPECT_EQ(got[2], 0.0) << "unused room is cleared";
    EXPECT_EQ(l.fields[1].presence, 32);

    // Null or empty: same room, the long behind stays where it was.
    doz_put(row, l.fields[0], nullptr, 0, false);
    doz_get(row, l.fields[0], &n, &present);
    EXPECT_FALSE(present);
    EXPECT_EQ(n, 0);
    doz_put(row, l.fields[0], two, 0, true);
    doz_get(row, l.fields[0], &n, &present);
    EXPECT_TRUE(present);
    EXPECT_EQ(n, 0);
    memcpy(&x, doz_get(row, l.fields[1], &n, &present), 4);
    EXPECT_EQ(x, 9);

    // A count from the other side beyond the room is cut to the room.
    int32_t huge = 1000;
    memcpy(row + l.fields[0].count_at, &huge, 4);
    doz_get(row, l.fields[0], &n, &present);
    EXPECT_EQ(n, 3);

    // Strings are cut to their declared length and always terminated.
    std::vector<DozColDesc> s = {col(DOZ_T_STRING, 0, 4)};
    ASSERT_TRUE(doz_layout(s, true, l));
    doz_put(row, l.fields[0], "abcdefgh", 1, true);
    EXPECT_STREQ(reinterpret_cast<const char *>(row + 1), "abcd");
}

TEST(ReadingCursor, TablesTerminatorsAndEmptyBuffers)
{
    alignas(8) unsigned char buf[1024] = {};
    std::vector<DozColDesc> cols = {col(DOZ_T_LONG), col(DOZ_T_REAL)};
    snprintf(cols[0].name, sizeof cols[0].name, "A");
    DozLayout l;
    ASSERT_TRUE(doz_layout(cols, true, l));

    DozReader r(buf, sizeof buf);
    clear_buffer(r);
    EXPECT_EQ(empty_buffer(r), 1);

    doz_put_table(buf, cols, l.row_align);
    EXPECT_EQ(empty_buffer(r), 0);
    int had = -1;
    ASSERT_EQ(prepare_buffer(r, &had), 0);
    EXPECT_EQ(had, 1);
    EXPECT_EQ(buffer_cursor(r), buf + 192);
    ASSERT_EQ(tinfo_table(r).size(), 2u);
    EXPECT_STREQ(tinfo_table(r)[0].name, "A");
    EXPECT_EQ(row_alignment(r), 8);
    set_buffer_cursor(r, buf + 193);
    align_row(r);
    EXPECT_EQ(buffer_cursor(r), buf + 200);
    align(r, 3);
    EXPECT_EQ(buffer_cursor(r), buf + 201);

    // A second reader keeps its own table and cursor.
    alignas(8) unsigned char other[256] = {};
    std::vector<DozColDesc> one = {col(DOZ_T_SHORT)};
    doz_put_table(other, one, 2);
    DozReader r2(other, sizeof other);
    ASSERT_EQ(prepare_buffer(r2, &had), 0);
    EXPECT_EQ(tinfo_table(r2).size(), 1u);
    EXPECT_EQ(row_alignment(r2), 2);
    EXPECT_EQ(buffer_cursor(r), buf + 201);
    EXPECT_EQ(tinfo_table(r).size(), 2u);
    EXPECT_EQ(row_alignment(r), 8);

    // A later buffer: a lone terminator keeps the table.
    doz_put_terminator(buf, 8);
    ASSERT_EQ(prepare_buffer(r, &had), 0);
    EXPECT_EQ(had, 0);
    EXPECT_EQ(tinfo_table(r).size(), 2u);
    EXPECT_EQ(buffer_cursor(r), buf + 64);

    // Malformed heads: no terminator inside the buffer, bad alignment.
    memset(buf, 0, sizeof buf);
    EXPECT_EQ(prepare_buffer(r, &had), -1);
    doz_put_table(buf, cols, 3);
    EXPECT_EQ(prepare_buffer(r, &had), -1);
    init_buffer(r, buf, 100);  // the terminator at 128 lies outside
    doz_put_table(buf, cols, 8);
    EXPECT_EQ(prepare_buffer(r, &had), -1);
}

}  // namespace
