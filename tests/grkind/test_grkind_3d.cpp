// The 3-D surface, 3-D impulse and worm kinds on the recording driver:
// the lines each draws in the series colour.

#include "kindkit.h"

#include <cmath>

namespace {

using gokit::col;
using gokit::none;
using gokit::num;
using gokit::nums;
using kindkit::Kinds;
using kindkit::Made;

constexpr int SERIES = 5;

long polylines(int colour = SERIES)
{
    long n = 0;
    for (const grec::Call &c : grec::of(GEP_DRAW_POLYLINE))
        n += c.line.colour == colour;
    return n;
}

std::vector<grec::Call> lines(int colour = SERIES)
{
    std::vector<grec::Call> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_LINE))
        if (c.line.colour == colour)
            out.push_back(c);
    return out;
}

// Rows of an array column: y the element values, x their index, z the row.
int arrays(const std::vector<std::vector<double>> &rows)
{
    std::vector<std::vector<gokit::Cell>> cells;
    for (const auto &r : rows)
        cells.push_back({nums(r)});
    const int d = gokit::load({col(DOZ_T_REAL, static_cast<int>(rows.at(0).size()))}, cells, 1);
    EXPECT_EQ(dsmgr_ds_character(d), DS_CH_YARRAY);
    return d;
}

// (x, y, z) rows of three numeric columns.
int triples(const std::vector<std::vector<gokit::Cell>> &rows)
{
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL), col(DOZ_T_REAL)}, rows, 1);
    EXPECT_EQ(dsmgr_ds_character(d), DS_CH_XYZ);
    return d;
}

struct Plain : Made {
    Plain(int kind, int first, int last) : Made(kind, first, last)
    {
        for (int q = 0; q <= last - first; q++)
            set(GP_COLOUR, SERIES, q);
    }
    void redraw()
    {
        grec::clear();
        draw(GO_PROPERTIES);
    }
};

TEST_F(Kinds, SurfaceTypes)
{
    // Three rows of four: rows are polylines, columns single segments.
    const int d = arrays({{1, 2, 3, 4}, {2, 3, 4, 5}, {3, 4, 5, 6}});
    Plain m(8, d, d);
    struct Case {
        int type;
        long rows, column_segments;
    } cases[] = {
        {0, 3, 4 * 2}, {1, 3, 0}, {2, 0, 4 * 2},
        {7, 3, 4 * 2},   // outside the checks: as 0
        {-1, 3, 4 * 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("surfacetype " + std::to_string(c.type));
        m.set(GP_SURFACETYPE, c.type);
        m.redraw();
        EXPECT_EQ(polylines(), c.rows);
        EXPECT_EQ(static_cast<long>(lines().size()), c.column_segments);
    }
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(Kinds, MissingValuesJoinOrBreak)
{
    // Five points with a missing value in the middle: a worm of (x, y, z)
    // rows, and a surface of one array row whose element is missing
    // (-9999).  A break ends the row with its last point once more.
    const int worm = triples({{num(0), num(1), num(0)}, {num(1), num(2), num(1)}, {num(2), none(), num(2)},
                              {num(3), num(3), num(3)}, {num(4), num(1), num(4)}});
    const int surface = arrays({{1, 2, -9999, 3, 1}});
    struct Case {
        int kind, d, gaps;
        std::vector<long> points;  // of each polyline
    } cases[] = {
        {10, worm, 0, {4}}, {10, worm, 1, {3, 2}},
        {8, surface, 0, {4}}, {8, surface, 1, {3, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind) + " mdata_gaps " + std::to_string(c.gaps));
        Plain m(c.kind, c.d, c.d);
        m.set(GP_SURFACETYPE, 1);  // rows only
        m.set(GP_MDATA_GAPS, c.gaps);
        m.redraw();
        std::vector<long> got;
        for (const grec::Call &p : grec::of(GEP_DRAW_POLYLINE))
            if (p.line.colour == SERIES)
                got.push_back(p.points[0].count());
        EXPECT_EQ(got, c.points);
    }
}

TEST_F(Kinds, ImpulsesStandOnTheOrigin)
{
    // y from -3 to 7: the axis runs below -3 and its origin is 0, so the
    // impulse of the point at y = 0 has no length; from the minimum it
    // would have one.
    const int d = arrays({{-3, 0, 7, 4}});
    Plain m(9, d, d);
    m.redraw();
    double o = 1;
    ASSERT_EQ(scale_GetOrg(&m.g->yblock.scale, &o), 0);
    EXPECT_EQ(o, 0);
    const std::vector<grec::Call> got = lines();
    ASSERT_EQ(got.size(), 4u);
    auto length = [](const grec::Call &c) {
        return std::hypot(c.points[1].at(0, 0) - c.points[0].at(0, 0), c.points[1].at(0, 1) - c.points[0].at(0, 1));
    };
    EXPECT_LT(length(got[1]), 1.0);
    EXPECT_GT(length(got[0]), 10.0);
    EXPECT_GT(length(got[2]), 10.0);
}

TEST_F(Kinds, ThreeDeeWalkStopsAtAnEmptyDataset)
{
    // The second dataset of the range is not in the archive (character 0):
    // the walk ends after the first, without a message.
    for (int kind : {8, 9, 10}) {
        SCOPED_TRACE(kind);
        // The newest dataset: the one after it is not there.
        const int d = kind == 10 ? triples({{num(0), num(1), num(0)}, {num(1), num(2), num(1)}}) : arrays({{1, 2}, {2, 3}});
        Plain m(kind, d, d + 1);
        m.set(GP_COLOUR, SERIES + 6, 1);
        m.redraw();
        EXPECT_EQ(polylines(SERIES + 6), 0);
        EXPECT_TRUE(lines(SERIES + 6).empty());
        EXPECT_GT(polylines() + static_cast<long>(lines().size()), 0);
    }
    EXPECT_TRUE(gokit::boxes().empty());
}

}  // namespace
