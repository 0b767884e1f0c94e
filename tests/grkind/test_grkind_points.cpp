// The scatter, impulse, vector and high-low kinds on the recording driver:
// what each draws, read back in world coordinates.

#include "kindkit.h"

#include <cmath>

namespace {

using gokit::col;
using gokit::none;
using gokit::num;
using kindkit::Kinds;
using kindkit::Made;
using kindkit::xy;

constexpr int SERIES = 5;  // the data's colour, apart from the frame's

struct W {
    double x, y;
};

// A device point back in world coordinates.
W world(GoGraph *g, double dx, double dy)
{
    double p[2] = {dx, dy};
    GVector in{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}}, out{};
    EXPECT_EQ(GTransformPoints(g->canvas, GCS_DC, GCS_WC, &in, &out), 0);
    W w{NAN, NAN};
    if (out.type == GV_DOUBLE && out.data[0]) {
        const double *o = static_cast<const double *>(out.data[0]);
        w = {o[0], o[1]};
    }
    gvector_GFreeVectorData(&out);
    return w;
}

// The world size of one device unit along x and y.
W unit(GoGraph *g)
{
    const W a = world(g, 100, 100), b = world(g, 101, 101);
    return {std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
}

struct Seg {
    W a, b;
};

// The lines drawn in the series colour, in world coordinates.
std::vector<Seg> lines(GoGraph *g, int colour = SERIES)
{
    std::vector<Seg> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_LINE))
        if (c.line.colour == colour)
            out.push_back({world(g, c.points[0].at(0, 0), c.points[0].at(0, 1)),
                           world(g, c.points[1].at(0, 0), c.points[1].at(0, 1))});
    return out;
}

// Markers are stroked as segments, one call per marker.
long markers(int colour = SERIES)
{
    long n = 0;
    for (const grec::Call &c : grec::of(GEP_DRAW_LINES))
        n += c.line.colour == colour;
    return n;
}

bool near(W a, W b, W tolerance) { return std::fabs(a.x - b.x) <= tolerance.x && std::fabs(a.y - b.y) <= tolerance.y; }

std::string str(const std::vector<Seg> &s, GoGraph *g)
{
    std::string out;
    const W u = unit(g);
    for (const Seg &e : s) {
        char b[128];
        snprintf(b, sizeof b, "(%.1f,%.1f)-(%.1f,%.1f) ", std::round(e.a.x / u.x) * u.x, e.a.y, e.b.x, e.b.y);
        out += b;
    }
    return out;
}

// Expects the segments, each within two device units.
void expect_segments(GoGraph *g, const std::vector<Seg> &got, const std::vector<Seg> &want)
{
    ASSERT_EQ(got.size(), want.size()) << str(got, g);
    const W u = unit(g), t{2 * u.x, 2 * u.y};
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_TRUE(near(got[i].a, want[i].a, t) && near(got[i].b, want[i].b, t))
            << "segment " << i << ": " << str({got[i]}, g) << "wanted " << str({want[i]}, g);
    }
}

double y_origin(GoGraph *g)
{
    double o = 0;
    scale_GetOrg(&g->yblock.scale, &o);
    return o;
}

// A graph of `kind` without axes, its first dataset in the series colour.
struct Plain : Made {
    Plain(int kind, int first, int last) : Made(kind, first, last)
    {
        set(GP_DRAWAXES, 0, 0);
        set(GP_DRAWAXES, 0, 1);
        for (int q = 0; q <= last - first; q++)
            set(GP_COLOUR, SERIES, q);
        set(GP_MARKERSTYLE, 1);
        const double size = 1;
        goprop_go_set_property(g, GP_MARKERSIZE, 0, &size);
    }
    void redraw()
    {
        grec::clear();
        draw(GO_PROPERTIES);
    }
};

TEST_F(Kinds, ScatterJoins)
{
    const int d = xy({{num(0), num(1)}, {num(1), num(3)}, {num(2), none()}, {num(3), num(2)}});
    Plain m(1, d, d);
    m.set(GP_LINESTYLE, 2);
    m.redraw();
    const double o = y_origin(m.g);
    const W p0{0, 1}, p1{1, 3}, p2{3, 2};
    struct Case {
        int join;
        std::vector<Seg> lines;
        int rectangles;
    } cases[] = {
        {0, {}, 0},
        {1, {{p0, p1}, {p1, p2}}, 0},
        {2, {{p0, {1, 1}}, {{1, 1}, p1}, {p1, {3, 3}}, {{3, 3}, p2}}, 0},
        {3, {{p0, {1, 1}}, {p1, {3, 3}}}, 0},
        {4, {}, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("markerjoin " + std::to_string(c.join));
        m.set(GP_MARKERJOIN, c.join);
        m.redraw();
        EXPECT_EQ(markers(), 3) << "a marker per value, the missing one bridged";
        const std::vector<grec::Call> joins = grec::of(GEP_DRAW_LINE);
        for (const grec::Call &k : grec::of(GEP_DRAW_LINES)) {
            if (k.line.colour == SERIES && !joins.empty()) {
                EXPECT_NE(k.line.style, joins[0].line.style) << "markers in the solid line, joins in the dataset's";
            }
        }
        expect_segments(m.g, lines(m.g), c.lines);
        std::vector<grec::Call> boxes;
        for (const grec::Call &k : grec::of(GEP_DRAW_RECTANGLE))
            if (k.fill.colour == SERIES)
                boxes.push_back(k);
        ASSERT_EQ(static_cast<int>(boxes.size()), c.rectangles);
        if (c.join == 4) {
            // From the y origin, left edge at the previous x.
            const W u = unit(m.g);
            const W from[2] = {{0, o}, {1, o}}, to[2] = {p1, p2};
            for (int i = 0; i < 2; i++) {
                const grec::Points &corner = boxes[i].points[0], &size = boxes[i].points[1];
                const W a = world(m.g, corner.at(0, 0), corner.at(0, 1)),
                        b = world(m.g, corner.at(0, 0) + size.at(0, 0), corner.at(0, 1) + size.at(0, 1));
                EXPECT_NEAR(std::min(a.x, b.x), from[i].x, 2 * u.x);
                EXPECT_NEAR(std::max(a.x, b.x), to[i].x, 2 * u.x);
                EXPECT_NEAR(std::min(a.y, b.y), std::min(from[i].y, to[i].y), 2 * u.y);
                EXPECT_NEAR(std::max(a.y, b.y), std::max(from[i].y, to[i].y), 2 * u.y);
            }
        }
    }
    {
        SCOPED_TRACE("as a line: straight lines between the values");
        m.set(GP_MARKERJOIN, 2);
        m.set(GP_ASLINE, 1);
        m.redraw();
        EXPECT_EQ(markers(), 0);
        expect_segments(m.g, lines(m.g), {{p0, p1}, {p1, p2}});
    }
}

TEST_F(Kinds, ScatterRowEndsAndOneRowDatasets)
{
    {
        SCOPED_TRACE("the end of an array row restarts the joins");
        const int arrays = gokit::load({col(DOZ_T_REAL, 3)}, {{gokit::nums({1, 2, 3})}, {gokit::nums({6, 5, 4})}});
        Plain m(1, arrays, arrays);
        m.set(GP_MARKERJOIN, 1);
        m.redraw();
        EXPECT_EQ(markers(), 6);
        const std::vector<Seg> l = lines(m.g);
        ASSERT_EQ(l.size(), 4u) << "two joins in each row, none between them";
        EXPECT_LT(l[0].a.y, l[1].b.y) << "the first row rises";
        EXPECT_GT(l[2].a.y, l[3].b.y) << "the second falls";
    }
    {
        SCOPED_TRACE("a later one-row dataset as a line runs to the x maximum");
        const int a = xy({{num(0), num(1)}, {num(4), num(3)}});
        const int one = xy({{num(1), num(2)}});
        Plain m(1, a, one);
        m.set(GP_ASLINE, 1, 0);
        m.set(GP_ASLINE, 1, 1);
        m.redraw();
        expect_segments(m.g, lines(m.g), {{{0, 1}, {4, 3}}, {{1, 2}, {4, 2}}});
    }
}

// A dataset of another character is spread over the x range, and the end
// of its first array row ends it (for the line kind it only breaks).
TEST_F(Kinds, ASpreadDatasetEndsAtItsFirstRowEnd)
{
    const int base = xy({{num(0), num(1)}, {num(1), num(3)}, {num(4), num(2)}, {num(6), num(5)}});
    const int arrays = gokit::load({col(DOZ_T_REAL, 3)}, {{gokit::nums({1, 2, 3})}, {gokit::nums({6, 5, 4})}});
    ASSERT_EQ(arrays, base + 1);
    ASSERT_NE(dsmgr_ds_character(arrays), dsmgr_ds_character(base));
    for (int kind : {1, 2}) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        Plain m(kind, base, arrays);
        m.set(GP_ASLINE, 0, 1);
        m.set(GP_COLOUR, 6, 1);
        m.set(GP_USEMARKERS, 1);
        m.redraw();
        EXPECT_EQ(markers(SERIES), 4);
        EXPECT_EQ(markers(6), 3) << "the first row only";
        if (kind == 2) {
            // Spread evenly from the x minimum to the maximum.
            const std::vector<Seg> l = lines(m.g, 6);
            ASSERT_EQ(l.size(), 3u);
            const W u = unit(m.g);
            EXPECT_NEAR(l[0].a.x, 0, 2 * u.x);
            EXPECT_NEAR(l[1].a.x, 1.2, 2 * u.x) << "six values over 0 to 6";
            EXPECT_NEAR(l[2].a.x, 2.4, 2 * u.x);
        }
    }
}

TEST_F(Kinds, Impulses)
{
    const int d = xy({{num(0), num(1)}, {num(1), num(3)}, {num(2), none()}, {num(3), num(-2)}});
    Plain m(2, d, d);
    const double o = y_origin(m.g);
    for (int use : {0, 1}) {
        SCOPED_TRACE("usemarkers " + std::to_string(use));
        m.set(GP_USEMARKERS, use);
        m.redraw();
        expect_segments(m.g, lines(m.g), {{{0, 1}, {0, o}}, {{1, 3}, {1, o}}, {{3, -2}, {3, o}}});
        EXPECT_EQ(markers(), use ? 3 : 0);
    }
}

// The vector heads about the origin (0, 0) as the recorder's devices draw
// them with y growing up and down: the barbs stand behind the point, at
// the head's half-angle either side of the shaft, and the same in world
// terms on both.
TEST_F(Kinds, VectorHeads)
{
    const W points[] = {{2, 1}, {-2, 1}, {0, 2}, {0, -2}, {0, 0}};
    std::vector<std::vector<W>> heads[2];
    for (int invert : {0, 1}) {
        SCOPED_TRACE("invert_y " + std::to_string(invert));
        grec::answers().invert_y = invert;
        // A frame wider than the data: x and y from -4 to 4.
        std::vector<std::vector<gokit::Cell>> rows;
        for (const W &p : points)
            rows.push_back({num(p.x), num(p.y)});
        rows.push_back({num(-4), num(-4)});
        rows.push_back({num(4), num(4)});
        const int d = xy(rows);
        Plain m(4, d, d);
        m.redraw();
        const W u = unit(m.g);
        std::vector<grec::Call> polys;
        for (const grec::Call &c : grec::of(GEP_DRAW_POLYLINE))
            if (c.line.colour == SERIES)
                polys.push_back(c);
        ASSERT_EQ(polys.size(), 7u) << "a head per point";
        const std::vector<Seg> shafts = lines(m.g);
        ASSERT_EQ(shafts.size(), 7u) << "a shaft per point";
        EXPECT_EQ(polys[0].line.flag, 1) << "the head closed";
        for (size_t i = 0; i < 5; i++) {
            SCOPED_TRACE("point " + std::to_string(i));
            const W c = points[i];
            EXPECT_TRUE(near(shafts[i].a, c, {2 * u.x, 2 * u.y}));
            EXPECT_TRUE(near(shafts[i].b, {0, 0}, {2 * u.x, 2 * u.y})) << "to the origin";
            const grec::Points &p = polys[i].points[0];
            ASSERT_EQ(p.count(), 3);
            std::vector<W> head;
            for (int k = 0; k < 3; k++)
                head.push_back(world(m.g, p.at(k, 0), p.at(k, 1)));
            EXPECT_TRUE(near(head[0], c, {2 * u.x, 2 * u.y})) << "the head at the point";
            // In device units with y up: the shaft's direction and the barbs.
            const double sx = c.x / u.x, sy = c.y / u.y;
            const double dir = (c.x == 0 && c.y == 0) ? M_PI / 2 : std::atan2(sy, sx);
            double side[2];
            for (int k = 1; k <= 2; k++) {
                const double bx = (head[k].x - head[0].x) / u.x, by = (head[k].y - head[0].y) / u.y;
                const double along = bx * std::cos(dir) + by * std::sin(dir);
                side[k - 1] = -bx * std::sin(dir) + by * std::cos(dir);
                EXPECT_LT(along, -4) << "barb " << k << " behind the point";
                EXPECT_NEAR(std::atan2(std::fabs(side[k - 1]), -along), M_PI / 6, 0.2) << "at 30 degrees";
            }
            EXPECT_LT(side[0] * side[1], 0) << "one barb either side";
            heads[invert].push_back(head);
        }
    }
    ASSERT_EQ(heads[0].size(), heads[1].size());
    for (size_t i = 0; i < heads[0].size(); i++)
        for (int k = 0; k < 3; k++) {
            EXPECT_NEAR(heads[0][i][k].x, heads[1][i][k].x, 0.05) << "point " << i << " barb " << k;
            EXPECT_NEAR(heads[0][i][k].y, heads[1][i][k].y, 0.05) << "point " << i << " barb " << k;
        }
}

TEST_F(Kinds, HighLowBarsAndTicks)
{
    // High, low, x as a query of two values by date gives them.
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL), col(DOZ_T_REAL)},
                              {{num(5), num(2), num(1)}, {num(6), num(3), num(2)}, {num(4), num(1), num(3)}}, 3);
    Plain m(3, d, d);
    m.redraw();
    const std::vector<Seg> l = lines(m.g);
    ASSERT_EQ(l.size(), 9u) << "a bar and two ticks per row";
    // The ticks: 8 base-device units wide, centred on x.
    const double w = GTransformLength(m.g->canvas, 6, 0, 8);
    const double rows[3][3] = {{1, 5, 2}, {2, 6, 3}, {3, 4, 1}};
    const W u = unit(m.g);
    for (int r = 0; r < 3; r++) {
        SCOPED_TRACE("row " + std::to_string(r));
        const double x = rows[r][0], hi = rows[r][1], lo = rows[r][2];
        expect_segments(m.g, {l[3 * r], l[3 * r + 1], l[3 * r + 2]},
                        {{{x, hi}, {x, lo}}, {{x - w / 2, hi}, {x + w / 2, hi}}, {{x - w / 2, lo}, {x + w / 2, lo}}});
        EXPECT_NEAR(l[3 * r + 1].b.x - l[3 * r + 1].a.x, w, 2 * u.x);
    }
    m.set(GP_ASLINE, 1);
    m.redraw();
    expect_segments(m.g, lines(m.g), {{{1, 5}, {2, 6}}, {{2, 6}, {3, 4}}});
}

// Bad data: a message where there is nothing to draw, and no crash.
TEST_F(Kinds, PointKindsOnBadData)
{
    const int nulls = xy({{num(0), none()}, {num(1), none()}});
    const int one = xy({{num(2), num(3)}});
    for (int kind : {1, 2, 3, 4}) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        {
            gokit::boxes().clear();
            dlmess_reset_error_suppression();
            Plain m(kind, nulls, nulls);
            m.redraw();
            EXPECT_EQ(gokit::boxes(), std::vector<std::string>{"67/1: There is no y data to draw."});
        }
        {
            Plain m(kind, one, one);
            gokit::boxes().clear();
            m.redraw();
            EXPECT_TRUE(gokit::boxes().empty());
            if (kind == 1) {
                EXPECT_EQ(markers(), 1) << "one marker";
            }
        }
        {
            // The scaling stops at the values that are not numbers.
            const int odd =
                xy({{num(0), num(NAN)}, {num(1), num(INFINITY)}, {num(2), num(2)}, {num(3), num(-INFINITY)}});
            gokit::boxes().clear();
            dlmess_reset_error_suppression();
            Plain m(kind, odd, odd);
            gokit::stderr_of([&] { m.redraw(); });
            ASSERT_FALSE(gokit::boxes().empty());
            EXPECT_EQ(gokit::boxes()[0], "67/23: An arithmetic error stopped the scaling of the axis.");
            for (const grec::Call &c : grec::calls())
                for (const grec::Points &p : c.points)
                    for (double v : p.values)
                        ASSERT_TRUE(std::isfinite(v)) << grec::slot_names[c.slot];
        }
    }
}

}  // namespace
