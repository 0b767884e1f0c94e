// The 3-D surface, 3-D impulse and worm kinds on the recording driver:
// the lines each draws in the series colour.

#include "kindkit.h"

#include <cmath>
#include <unistd.h>

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

namespace {

using gokit::nums;
using kindkit::Kinds;
using kindkit::Made;

std::vector<grec::Image> images()
{
    std::vector<grec::Image> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_IMAGE))
        out.push_back(c.image);
    return out;
}

// A raster of rows of values: x the element, z the row.
int raster(const std::vector<std::vector<double>> &rows)
{
    std::vector<std::vector<gokit::Cell>> cells;
    for (const auto &r : rows)
        cells.push_back({nums(r)});
    return gokit::load({gokit::col(DOZ_T_REAL, static_cast<int>(rows.at(0).size()))}, cells, 1);
}

TEST_F(Kinds, ImageSizes)
{
    struct Case {
        const char *name;
        std::vector<std::vector<double>> rows;
        int width, height;
    } cases[] = {
        {"one column", {{4}, {7}}, 1, 2},
        {"one row", {{1, 2, 3}}, 3, 1},
        {"three by two", {{1, 2, 3}, {4, 5, 6}}, 3, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int d = raster(c.rows);
        Made m(17, d, d);
        grec::clear();
        m.draw(GO_PROPERTIES);
        const std::vector<grec::Image> got = images();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].width, c.width);
        EXPECT_EQ(got[0].height, c.height);
    }
    EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();
}

TEST_F(Kinds, ImageLargerThanThePlotAreaIsCut)
{
    // 700 cells across a graph 600 pixels wide.
    std::vector<double> row(700);
    for (size_t i = 0; i < row.size(); i++)
        row[i] = static_cast<double>(i % 17);
    const int d = raster({row, row});
    Made m(17, d, d);
    grec::clear();
    m.draw(GO_PROPERTIES);
    const std::vector<grec::Image> got = images();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_LT(got[0].width, 600);
    EXPECT_GT(got[0].width, 300);
    EXPECT_EQ(got[0].height, 2);
    // The x axis ends where the shown cells end.
    EXPECT_EQ(m.g->xblock.scale.max, static_cast<double>(got[0].width));
    EXPECT_EQ(m.g->zblock.scale.max, 2.0);
}

TEST_F(Kinds, ImageColourRange)
{
    // On the image device, whose pixels are the colour map's colours.
    GoPrintSettings s{};
    s.kind = 5;
    s.destination = 1;
    snprintf(s.filename, sizeof s.filename, "/tmp/vx-image-kind-%d.png", static_cast<int>(getpid()));
    s.page_width = 8.5;
    s.page_height = 11;
    s.left = s.right = s.top = s.bottom = -1;
    s.image_option = 1;
    ASSERT_EQ(gomain_go_set_device_type(5, &s, 1), 1);
    {
        const int d = raster({{20, 21, 22}});
        Made m(17, d, d);
        goprop_go_set_property(m.g, GP_YMINIMUM, 0, "-1000");
        goprop_go_set_property(m.g, GP_YMAXIMUM, 0, "1000");
        for (int range : {0, 1}) {
            SCOPED_TRACE("cmaprange " + std::to_string(range));
            m.set(GP_CMAPRANGE, range);
            grec::clear();
            m.draw(GO_PROPERTIES);
            const std::vector<grec::Image> got = images();
            ASSERT_EQ(got.size(), 1u);
            ASSERT_EQ(got[0].width, 3);
            const unsigned long a = got[0].pixel(0, 0), b = got[0].pixel(1, 0), c = got[0].pixel(2, 0);
            if (range == 0) {
                // The data's range: three different colours.
                EXPECT_NE(a, b);
                EXPECT_NE(b, c);
            } else {
                // The axis's range, -1000 to 1000: the three fall in one colour.
                EXPECT_EQ(a, c);
            }
        }
    }
    gomain_go_close_device();
    gomain_go_set_device_type(0, nullptr, 0);
    unlink(s.filename);
}

TEST_F(Kinds, ImageRefusesALogarithmicAxis)
{
    const int d = raster({{1, 2}, {3, 4}});
    for (int p : {GP_XLOGARITHMIC, GP_ZLOGARITHMIC}) {
        SCOPED_TRACE(p);
        Made m(17, d, d);
        dlmess_reset_error_suppression();
        gokit::boxes().clear();
        m.set(p, 1);
        grec::clear();
        m.draw(GO_PROPERTIES);
        ASSERT_FALSE(gokit::boxes().empty());
        EXPECT_EQ(gokit::boxes()[0].substr(0, 6), "67/16:");
    }
}

TEST_F(Kinds, ImageReadOut)
{
    const std::vector<std::vector<double>> rows = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}};
    const int d = raster(rows);
    Made m(17, d, d);
    m.draw(GO_PROPERTIES);
    // A device point inside a cell of the second row, away from the edges.
    gomain_go_set_world_clip(0);
    int at[2] = {-1, -1};
    double cell[2] = {0, 0};
    for (int x = 0; x < 600 && at[0] < 0; x++)
        for (int y = 0; y < 450 && at[0] < 0; y++) {
            const int p[2] = {x, y};
            double w[2];
            gomain_go_map_to_world(m.g->canvas, p, w);
            if (std::floor(w[0]) >= 1 && std::floor(w[0]) <= 3 && std::floor(w[1]) == 1) {
                at[0] = x;
                at[1] = y;
                cell[0] = std::floor(w[0]);
                cell[1] = std::floor(w[1]);
            }
        }
    gomain_go_set_world_clip(1);
    ASSERT_GE(at[0], 0);
    double *values = nullptr;
    char text[GO_LABEL_TEXT] = "";
    ASSERT_EQ(gomain_graph_class[17]->input(m.g, at, 0, &values, nullptr, nullptr, text), 1);
    ASSERT_NE(values, nullptr);
    const double want = rows[1][static_cast<size_t>(cell[0])];
    EXPECT_EQ(values[0], cell[0]);
    EXPECT_EQ(values[1], want);
    EXPECT_EQ(values[2], 1);
    char expected[80];
    snprintf(expected, sizeof expected, "%.3f at x = %d.0, z = 1.0", want, static_cast<int>(cell[0]));
    EXPECT_STREQ(text, expected);
    // The event -1 is ignored.
    EXPECT_EQ(gomain_graph_class[17]->input(m.g, at, -1, &values, nullptr, nullptr, text), 0);
}

}  // namespace

namespace {

using gokit::num;
using kindkit::Kinds;
using kindkit::Made;

// Scattered (x, y, z) points over a 5 x 5 square.
int scattered(double lift = 0)
{
    std::vector<std::vector<gokit::Cell>> rows;
    for (int i = 0; i < 5; i++)
        for (int k = 0; k < 5; k++)
            rows.push_back({num(i), num(lift + i * k), num(k)});
    const int d = gokit::load({gokit::col(DOZ_T_REAL), gokit::col(DOZ_T_REAL), gokit::col(DOZ_T_REAL)}, rows, 1);
    EXPECT_EQ(dsmgr_ds_character(d), DS_CH_XYZ);
    return d;
}

struct Shaded : Made {
    Shaded(int first, int last) : Made(15, first, last)
    {
        set(GP_GRIDX, 5);
        set(GP_GRIDZ, 5);
        set(GP_BINMETHOD, 2);
    }
    void redraw()
    {
        grec::clear();
        dlmess_reset_error_suppression();
        gokit::boxes().clear();
        draw(GO_PROPERTIES);
    }
};

TEST_F(Kinds, ShadedSurfaceModes)
{
    const int d = scattered();
    Shaded m(d, d);
    m.set(GP_DRAWSKIRT, 1);
    struct Case {
        int binning;
        int skirt;
        const char *box;  // the message shown, or ""
    } cases[] = {
        {2, 1, ""},
        {0, 0, "67/27"},  // scattered points are gridded all the same
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("binmethod " + std::to_string(c.binning));
        m.set(GP_BINMETHOD, c.binning);
        m.redraw();
        EXPECT_EQ(m.g->canvas->mesh.skirt, c.skirt);
        if (*c.box) {
            ASSERT_EQ(gokit::boxes().size(), 1u);
            EXPECT_EQ(gokit::boxes()[0].substr(0, 5), c.box);
        } else {
            EXPECT_TRUE(gokit::boxes().empty());
        }
        // Gridded either way: the mesh's patches are drawn.
        EXPECT_GT(grec::count(GEP_DRAW_FILLED_POLYGON) + grec::count(GEP_DRAW_IMAGE), 0);
    }
}

TEST_F(Kinds, ShadedSurfaceGridLinesInTheAxisColour)
{
    const int d = scattered();
    Shaded m(d, d);
    m.set(GP_COLOUR, -1);
    m.set(GP_SHADEMETHOD, 0);
    m.set(GP_AXISCOLOUR, 9);
    auto axis_coloured = [] {
        long n = 0;
        for (int slot : {GEP_DRAW_LINE, GEP_DRAW_POLYLINE, GEP_DRAW_FILLED_POLYGON})
            for (const grec::Call &c : grec::of(slot))
                n += c.line.colour == 9;
        return n;
    };
    m.set(GP_DRAWGRID, 0);
    m.redraw();
    const long without = axis_coloured();
    m.set(GP_DRAWGRID, 1);
    m.redraw();
    EXPECT_EQ(m.g->canvas->mesh.colour, 2);
    EXPECT_GT(axis_coloured(), without);
    // The grid modes' lock is put back after the draw.
    EXPECT_EQ(m.g->canvas->grid.line_colour_lock, 0);
}

TEST_F(Kinds, ShadedSurfaceRendersOneImage)
{
    const int d = scattered();
    Shaded m(d, d);
    m.set(GP_COLOUR, -1);
    m.set(GP_COLOURSURF, 2);
    m.set(GP_SHADEMETHOD, 1);
    m.redraw();
    EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 1);
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(Kinds, ShadedSurfaceBadSettings)
{
    const int d = scattered();
    struct Case {
        int property, value;
    } cases[] = {{GP_GRIDX, 0}, {GP_GRIDZ, -4}, {GP_BINMETHOD, 9}, {GP_SHADEMETHOD, 7}, {GP_AGGREGATION, 99}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.property) + " = " + std::to_string(c.value));
        Shaded m(d, d);
        m.set(GP_COLOUR, -1);
        m.set(c.property, c.value);
        m.redraw();  // draws with clamped values, or stops: never a crash
    }
}

TEST_F(Kinds, ShadedSurfaceTakesTheFirst49Datasets)
{
    // On the image device, whose pixels are the colour map's colours: the
    // overlays colour the surface; an inverted one at place 48 changes the
    // picture, at place 49 it takes no part.
    GoPrintSettings s{};
    s.kind = 5;
    s.destination = 1;
    snprintf(s.filename, sizeof s.filename, "/tmp/vx-shade-kind-%d.png", static_cast<int>(getpid()));
    s.page_width = 4;
    s.page_height = 3;
    s.left = s.right = s.top = s.bottom = -1;
    s.image_option = 1;
    ASSERT_EQ(gomain_go_set_device_type(5, &s, 1), 1);
    auto picture = [](int inverted_at) {
        std::vector<int> d;
        for (int i = 0; i < 51; i++) {
            std::vector<std::vector<gokit::Cell>> rows;
            for (int x = 0; x < 5; x++)
                for (int z = 0; z < 5; z++)
                    rows.push_back({num(x), num(i == inverted_at ? 16 - x * z : x * z), num(z)});
            d.push_back(gokit::load({gokit::col(DOZ_T_REAL), gokit::col(DOZ_T_REAL), gokit::col(DOZ_T_REAL)}, rows, 1));
        }
        Shaded m(d.front(), d.back());
        m.set(GP_COLOUR, -1);
        m.set(GP_SHADEMETHOD, 1);
        m.set(GP_COLOURSURF, 1);
        m.redraw();
        const std::vector<grec::Call> images = grec::of(GEP_DRAW_IMAGE);
        EXPECT_EQ(images.size(), 1u);
        return images.empty() ? std::vector<unsigned char>{} : images[0].image.data;
    };
    const std::vector<unsigned char> plain = picture(-1), at48 = picture(48), at49 = picture(49);
    EXPECT_FALSE(plain.empty());
    EXPECT_NE(plain, at48);
    EXPECT_EQ(plain, at49);
    gomain_go_close_device();
    gomain_go_set_device_type(0, nullptr, 0);
    unlink(s.filename);
}

TEST_F(Kinds, ShadedSurfaceOverlayKeepsTheYAxis)
{
    const int a = scattered(), b = scattered(1000);
    Shaded m(a, b);
    m.set(GP_COLOUR, -1);
    m.set(GP_SHADEMETHOD, 1);
    m.set(GP_COLOURSURF, 2);
    m.redraw();
    EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 1);
    // The y axis is the first dataset's (0 .. 16), not the overlay's.
    EXPECT_LT(m.g->yblock.scale.max, 100);
}

}  // namespace
