// The point readers on kit datasets: column roles by order and character,
// generated coordinates, conversions, missing points, stepping, paging,
// finding and copying.

#include "gokit.h"

#include "vxdate.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace {

using gokit::Cell;
using gokit::col;
using gokit::num;

class Readers : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        set_scale_offset(1, 0, 1, 0);
        goprop_go_tuple_autoinc(0);
    }
    void TearDown() override
    {
        goprop_go_tuple_autoinc(0);
        dsmgr_ds_init(nullptr, nullptr);
    }
};

// One point as read (the reader's pointers live only until its next read).
struct Point {
    std::optional<double> x, y, z;
    std::optional<std::string> xtext, ytext;
    int null = 0;
    int zcol = -1;
};

// Every point of a dataset, read with auto-increment.
std::vector<Point> all_points(int dataset, GoTupleReader reader = goprop_triple_reader)
{
    std::vector<Point> out;
    GoTuple t{};
    t.dataset = dataset;
    goprop_go_tuple_autoinc(1);
    for (int guard = 0; guard < 1000; guard++) {
        reader(&t);
        if (t.status & GT_S_END)
            break;
        Point p;
        if (t.x)
            p.x = *t.x;
        if (t.y)
            p.y = *t.y;
        if (t.z)
            p.z = *t.z;
        if (t.xtext)
            p.xtext = t.xtext;
        if (t.ytext)
            p.ytext = t.ytext;
        p.null = t.null;
        p.zcol = t.zcol;
        out.push_back(p);
    }
    goprop_go_tuple_autoinc(0);
    return out;
}

// Column c of row r holds (c + 1) * 10 + r.
int fill(int columns, int order, int rows = 3)
{
    const int types[3] = {DOZ_T_LONG, DOZ_T_REAL, DOZ_T_SHORT};
    std::vector<DozColDesc> cols;
    for (int c = 0; c < columns; c++)
        cols.push_back(col(types[c]));
    std::vector<std::vector<Cell>> data;
    for (int r = 0; r < rows; r++) {
        std::vector<Cell> row;
        for (int c = 0; c < columns; c++)
            row.push_back(num((c + 1) * 10 + r));
        data.push_back(row);
    }
    return gokit::load(cols, data, order);
}

TEST_F(Readers, ColumnRolesByOrderAndCharacter)
{
    set_scale_offset(1, 0, 100, 1000);
    struct Case {
        int columns, order;
        int character;
        int x, y, z;  // column, or -1 generated
    } cases[] = {
        {3, 1, 64, 0, 1, 2}, {3, 2, 64, 0, 2, 1}, {3, 3, 64, 1, 0, 2},
        {3, 4, 64, 2, 0, 1}, {3, 5, 64, 1, 2, 0}, {3, 6, 64, 2, 1, 0},
        // Two columns: orders that name column 2 fall back.
        {2, 1, 2, 0, 1, -1}, {2, 2, 2, 0, 1, -1}, {2, 3, 2, 1, 0, -1},
        {2, 4, 2, 1, 0, -1}, {2, 5, 2, 0, 1, -1}, {2, 6, 2, 1, 0, -1},
        // One column is y; x and z are generated.
        {1, 1, 1, -1, 0, -1}, {1, 4, 1, -1, 0, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.columns) + " columns, order " + std::to_string(c.order));
        const int d = fill(c.columns, c.order);
        ASSERT_EQ(dsmgr_ds_character(d), c.character);
        const std::vector<Point> points = all_points(d);
        ASSERT_EQ(points.size(), 3u);
        for (int r = 0; r < 3; r++) {
            const Point &t = points[static_cast<size_t>(r)];
            ASSERT_TRUE(t.x && t.y && t.z);
            EXPECT_EQ(t.null, 0);
            auto want = [&](int column) { return column < 0 ? r * 100.0 + 1000 : (column + 1) * 10.0 + r; };
            EXPECT_EQ(*t.x, want(c.x)) << "row " << r;
            EXPECT_EQ(*t.y, want(c.y)) << "row " << r;
            EXPECT_EQ(*t.z, want(c.z)) << "row " << r;
            EXPECT_EQ(t.zcol, c.z);
        }
    }
}

TEST_F(Readers, TheMultipleYReaderExchangesXAndZ)
{
    const int d = fill(3, 1);
    GoTuple t{};
    t.dataset = d;
    goprop_multiy_reader(&t);
    EXPECT_EQ(*t.x, 30.0);
    EXPECT_EQ(*t.y, 20.0);
    EXPECT_EQ(*t.z, 10.0);
    EXPECT_EQ(t.xtype->type, DOZ_T_SHORT);
    EXPECT_EQ(t.ztype->type, DOZ_T_LONG);
}

TEST_F(Readers, GeneratedXNumbersThePresentPointsWithTheZPair)
{
    // y only, with a gap: x is k * z scale + z offset for the k-th present
    // point, so the gap skips no number.
    GoFormat f = *goprop_go_default_graph_format();
    f.xscale = 7;
    f.zscale = 2;
    f.zoffset = 5;
    GoGraph g{};
    g.format = &f;
    auto reader = reinterpret_cast<GoTupleReader>(goprop_go_property(&g, GP_DATAFUNC, 0, 0));
    const int d = gokit::load({col(DOZ_T_REAL)}, {{num(1)}, {num(-9999.5)}, {gokit::none()}, {num(-10000)},
                                                  {num(4)}});
    const std::vector<Point> p = all_points(d, reader);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0].null, 0);
    EXPECT_EQ(p[1].null, 1) << "-9999.5 truncates to the missing mark";
    EXPECT_EQ(p[2].null, 1);
    EXPECT_FALSE(p[2].y);
    EXPECT_EQ(p[3].null, 0) << "-10000 is a value";
    EXPECT_EQ(*p[0].x, 5.0);
    EXPECT_EQ(*p[3].x, 7.0);
    EXPECT_EQ(*p[4].x, 9.0);
}

TEST_F(Readers, ArrayCellsStepElementByElement)
{
    set_scale_offset(3, 1, 10, 0);
    const int d = gokit::load({col(DOZ_T_REAL, 3)}, {{gokit::nums({1, 2, 3})}, {gokit::nums({4, 5, 6})}});
    ASSERT_EQ(dsmgr_ds_character(d), DS_CH_YARRAY);
    GoTuple t{};
    t.dataset = d;
    std::vector<double> x, y, z;
    std::vector<int> status;
    for (int i = 0; i < 6; i++) {
        goprop_triple_reader(&t);
        x.push_back(*t.x);
        y.push_back(*t.y);
        z.push_back(*t.z);
        goprop_go_next_point(&t);
        status.push_back(t.status);
    }
    EXPECT_EQ(y, (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(x, (std::vector<double>{1, 4, 7, 1, 4, 7})) << "element * x scale + x offset";
    EXPECT_EQ(z, (std::vector<double>{0, 0, 0, 10, 10, 10})) << "row counter * z scale";
    EXPECT_EQ(status, (std::vector<int>{0x9, 0x1, 0x3, 0x9, 0x1, 0x3}));
    goprop_triple_reader(&t);
    EXPECT_TRUE(t.status & GT_S_END);
    // Back again over the row boundary.
    t.status = GT_S_READ;
    goprop_go_previous_point(&t);
    EXPECT_EQ(t.row, 1);
    EXPECT_EQ(t.element, 2);
    EXPECT_TRUE(t.status & GT_S_CELL_START);
    goprop_go_previous_point(&t);
    goprop_go_previous_point(&t);
    EXPECT_EQ(t.element, 0);
    EXPECT_TRUE(t.status & GT_S_ELEMENT0);
}

TEST_F(Readers, DatesTimesAndTexts)
{
    // x by type, y a real.
    const int d = gokit::load({col(DOZ_T_DATE), col(DOZ_T_REAL)},
                              {{gokit::ymd(29, 3, 1), num(1)}, {gokit::ymd(30, 3, 1), num(2)},
                               {gokit::ymd(2024, 2, 29), num(3)}, {gokit::none(), num(4)}},
                              1);
    const std::vector<Point> p = all_points(d);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(*p[0].x, double(un_ctime(2029, 3, 1, 0, 0, 0, 2)));
    EXPECT_EQ(*p[1].x, double(un_ctime(1930, 3, 1, 0, 0, 0, 2)));
    struct tm leap {};
    leap.tm_year = 124;
    leap.tm_mon = 1;
    leap.tm_mday = 29;
    leap.tm_isdst = -1;
    EXPECT_EQ(*p[2].x, double(mktime(&leap))) << "local midnight of the day";
    EXPECT_FALSE(p[3].x);
    EXPECT_EQ(p[3].null, 1);

    Cell noon{true, {12, 30, 15}, ""};
    const int t = gokit::load({col(DOZ_T_TIME), col(DOZ_T_REAL)}, {{noon, num(1)}}, 1);
    EXPECT_EQ(*all_points(t)[0].x, double(un_ctime(1980, 2, 29, 12, 30, 15, 2)));

    // A text x plots the point's position and carries its text; a bool y
    // is printed; a missing text is a missing point.
    const int s = gokit::load({col(DOZ_T_STRING, 0, 6), col(DOZ_T_REAL)},
                              {{gokit::txt("north"), num(5)}, {gokit::none(), num(6)}, {gokit::txt("south"), num(7)}},
                              1);
    const std::vector<Point> q = all_points(s);
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[0].xtext, "north");
    EXPECT_EQ(*q[0].x, 0.0);
    EXPECT_EQ(q[1].null, 1);
    EXPECT_EQ(q[2].xtext, "south");
    EXPECT_EQ(*q[2].x, 1.0) << "the missing point took no number";

    const int b = gokit::load({col(DOZ_T_BOOL)}, {{num(1)}, {num(0)}}, 3);
    const std::vector<Point> r = all_points(b);
    ASSERT_EQ(r.size(), 2u);
    ASSERT_TRUE(r[0].ytext && r[1].ytext);
    EXPECT_NE(*r[0].ytext, *r[1].ytext);
    EXPECT_EQ(r[0].null, 0);
}

TEST_F(Readers, EndsPagesAndPeeks)
{
    const int d = fill(2, 1, 9);
    GoTuple t{};
    t.dataset = d;
    goprop_triple_reader(&t);
    go_set_page_size(&t);
    goprop_go_page_forward(&t);
    EXPECT_EQ(t.row, 0) << "a page of 9 rows is 0";
    EXPECT_EQ(goprop_go_peek_data_event(&t, 1), GT_S_START);
    EXPECT_EQ(goprop_go_peek_data_event(&t, 0), 0);

    goprop_go_to_end(&t);
    EXPECT_EQ(t.row, 8);
    EXPECT_EQ(goprop_go_peek_data_event(&t, 0), GT_S_END);
    goprop_go_next_point(&t);
    goprop_triple_reader(&t);
    EXPECT_TRUE(t.status & GT_S_END);
    EXPECT_EQ(t.y, nullptr);
    const int row = t.row, step = t.step;
    goprop_go_next_point(&t);
    goprop_go_next_point(&t);
    EXPECT_EQ(t.row, row) << "past the end, steps change nothing";
    EXPECT_EQ(t.step, step);

    goprop_go_to_start(&t);
    goprop_triple_reader(&t);
    EXPECT_EQ(t.row, 0);
    EXPECT_EQ(*t.y, 20.0);
    goprop_go_previous_point(&t);
    goprop_triple_reader(&t);
    EXPECT_TRUE(t.status & GT_S_START);
    goprop_go_previous_point(&t);
    EXPECT_EQ(t.row, -1) << "before the start, steps back change nothing";

    const int e = fill(2, 1, 25);
    GoTuple u{};
    u.dataset = e;
    goprop_triple_reader(&u);
    go_set_page_size(&u);
    goprop_go_page_forward(&u);
    EXPECT_EQ(u.row, 2);
    goprop_go_page_back(&u);
    goprop_go_page_back(&u);
    EXPECT_EQ(u.row, 0) << "stops at the start";
}

TEST_F(Readers, FindSkipsMissingPoints)
{
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)},
                              {{num(1), num(10)}, {num(2), gokit::none()}, {num(3), num(30)}, {num(4), num(-9999)},
                               {num(5), num(50)}},
                              1);
    GoTuple target{};
    double three = 3, two = 2, nine = 9;
    target.x = &three;
    GoTuple t{};
    t.dataset = d;
    goprop_triple_reader(&t);
    EXPECT_EQ(goprop_go_find_tuple(&t, &target, 0, goprop_triple_reader), 1);
    EXPECT_EQ(*t.y, 30.0);
    target.x = &two;
    EXPECT_EQ(goprop_go_find_tuple(&t, &target, 1, goprop_triple_reader), 0) << "x 2 has no y";
    EXPECT_EQ(*t.x, 1.0);
    target.x = &nine;
    EXPECT_EQ(goprop_go_find_tuple(&t, &target, 0, goprop_triple_reader), 0);
    EXPECT_EQ(*t.x, 5.0) << "went to the last present point";
    double five = 5;
    target.x = &five;
    EXPECT_EQ(goprop_go_find_tuple(&t, &target, 0, goprop_triple_reader), 1) << "the last point is found too";
    EXPECT_EQ(goprop_go_tuples_match(&t, &target), 1);
}

TEST_F(Readers, CopiesKeepTheirOwnValues)
{
    const int d = gokit::load({col(DOZ_T_LONG), col(DOZ_T_REAL)}, {{num(1), num(10)}, {num(2), gokit::none()}}, 1);
    GoTuple t{};
    t.dataset = d;
    goprop_triple_reader(&t);
    double keep[3] = {0, 0, 0};
    GoTuple saved{};
    saved.x = &keep[0];
    saved.y = &keep[1];
    saved.z = &keep[2];
    goprop_go_copy_tuple(&saved, &t);
    EXPECT_EQ(saved.y, &keep[1]);
    EXPECT_EQ(keep[1], 10.0);
    EXPECT_EQ(saved.row, 0);
    goprop_go_next_point(&t);
    goprop_triple_reader(&t);
    EXPECT_EQ(keep[1], 10.0) << "the copy does not follow the reader";
    goprop_go_copy_tuple(&saved, &t);
    EXPECT_EQ(saved.y, nullptr) << "missing stays missing";
    EXPECT_EQ(saved.row, 1);
    goprop_go_to_start(&t);
    goprop_triple_reader(&t);
    goprop_go_restore_tuple(&saved, &t);
    EXPECT_EQ(saved.y, &keep[1]) << "its own storage again";
    EXPECT_EQ(keep[1], 10.0);
}

}  // namespace

namespace {

// The y of every point of a dataset of one column (order 3: y is column 0);
// a missing y as NaN.
std::vector<double> ys(int dataset)
{
    std::vector<double> out;
    for (const Point &p : all_points(dataset))
        out.push_back(p.y ? *p.y : NAN);
    return out;
}

}  // namespace

TEST_F(Readers, EveryNumberTypeReadsAsItsValue)
{
    struct Case {
        int type;
        double stored, read;
        bool null;
    } cases[] = {
        {DOZ_T_LONG, -70000, -70000, false},   {DOZ_T_SHORT, -300, -300, false},
        {DOZ_T_SREAL, 0.25, 0.25, false},      {DOZ_T_TINY, 200, 200, false},
        {DOZ_T_REAL, 1e300, 1e300, false},     {DOZ_T_COMPLEX, -2.5, -2.5, false},
        {DOZ_T_REAL, -9999.5, -9999.5, true},  {DOZ_T_LONG, -9999, -9999, true},
        {DOZ_T_REAL, -10000, -10000, false},   {DOZ_T_SHORT, -9999, -9999, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " value " + std::to_string(c.stored));
        const int d = gokit::load({col(c.type)}, {{num(c.stored)}, {gokit::none()}, {num(c.stored)}}, 3);
        const std::vector<Point> p = all_points(d);
        ASSERT_EQ(p.size(), 3u);
        for (int r : {0, 2}) {
            ASSERT_TRUE(p[r].y);
            EXPECT_EQ(*p[r].y, c.read);
            EXPECT_EQ(p[r].null, c.null ? 1 : 0);
        }
        EXPECT_FALSE(p[1].y) << "a missing cell";
        EXPECT_EQ(p[1].null, 1);
    }
    // A stored NaN is a value, not a missing point.
    const int n = gokit::load({col(DOZ_T_REAL)}, {{num(NAN)}}, 3);
    const std::vector<Point> p = all_points(n);
    ASSERT_EQ(p.size(), 1u);
    ASSERT_TRUE(p[0].y);
    EXPECT_TRUE(std::isnan(*p[0].y));
    EXPECT_EQ(p[0].null, 0);
}

TEST_F(Readers, ValuesFollowTheDatasetsOfTheArchive)
{
    // Two datasets read point by point in turn give each its own values.
    const int a = gokit::load({col(DOZ_T_REAL)}, {{num(1)}, {num(2)}, {num(3)}}, 3);
    const int b = gokit::load({col(DOZ_T_LONG)}, {{num(7)}, {gokit::none()}, {num(9)}}, 3);
    GoTuple ta{}, tb{};
    ta.dataset = a;
    tb.dataset = b;
    std::vector<double> got;
    for (int i = 0; i < 3; i++) {
        for (GoTuple *t : {&ta, &tb}) {
            goprop_triple_reader(t);
            got.push_back(t->y ? *t->y : -1);
            goprop_go_next_point(t);
        }
    }
    EXPECT_EQ(got, (std::vector<double>{1, 7, 2, -1, 3, 9}));

    // The archive emptied and filled again: the same index holds new rows,
    // and a reader reads them, not what it read of the old ones.
    EXPECT_EQ(ys(a), (std::vector<double>{1, 2, 3}));
    dsmgr_ds_clear();
    const int again = gokit::load({col(DOZ_T_REAL)}, {{num(40)}, {num(50)}}, 3);
    ASSERT_EQ(again, a);
    EXPECT_EQ(ys(again), (std::vector<double>{40, 50}));
    dsmgr_ds_clear();
    const int shorter = gokit::load({col(DOZ_T_SHORT)}, {{gokit::none()}}, 3);
    ASSERT_EQ(shorter, a);
    const std::vector<double> y = ys(shorter);
    ASSERT_EQ(y.size(), 1u);
    EXPECT_TRUE(std::isnan(y[0]));
}

TEST_F(Readers, DatesFollowTheTimeZone)
{
    const char *was = getenv("TZ");
    const std::string saved = was ? was : "";
    const int d = gokit::load({col(DOZ_T_DATE), col(DOZ_T_REAL)},
                              {{gokit::ymd(2001, 1, 15), num(1)}, {gokit::ymd(2001, 1, 16), num(2)}}, 1);
    std::vector<double> seen;
    for (const char *zone : {"UTC0", "EST5", "UTC0"}) {
        setenv("TZ", zone, 1);
        tzset();
        const std::vector<Point> p = all_points(d);
        ASSERT_EQ(p.size(), 2u);
        ASSERT_TRUE(p[0].x && p[1].x);
        EXPECT_EQ(*p[1].x - *p[0].x, 86400.0);
        seen.push_back(*p[0].x);
    }
    EXPECT_EQ(seen[1] - seen[0], 5 * 3600.0) << "midnight in New York is five hours later";
    EXPECT_EQ(seen[2], seen[0]);
    if (was)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
