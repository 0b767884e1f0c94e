// Contour lines of grids: the crossing rule, the traces (open, closed,
// along a level that a node holds), the edge cases of the scan, the runs
// drawn, the colour of the level, the labels and the gap cut for them, the
// mends (no patch centres, NaN nodes, the label's length on the image
// device), on the recording driver and through the contour's own drawing
// hook, which sees the points before they are rounded to the device.

#include "contourfixture.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace pelxtest;

namespace {

using Line = std::vector<std::pair<double, double>>;

// Runs as the drawing hook received them, joined into lines where a run
// starts at the last point of the one before.
std::vector<Line> runs;
short capture(GCanvasRecord *, GVector *v)
{
    Line run;
    for (long i = 0; i < v->count; i++)
        run.emplace_back(gvector_GGetValue(v, i, 0), gvector_GGetValue(v, i, 1));
    runs.push_back(run);
    return 0;
}

std::vector<Line> joined()
{
    std::vector<Line> lines;
    for (const Line &r : runs) {
        if (!lines.empty() && lines.back().back() == r.front())
            lines.back().insert(lines.back().end(), r.begin() + 1, r.end());
        else
            lines.push_back(r);
    }
    return lines;
}

class Contours : public OnGrid {
protected:
    void SetUp() override
    {
        OnGrid::SetUp();
        runs.clear();
    }
    void TearDown() override
    {
        gcontour_polyline = gdraw_GDrawPolyLine;
        OnGrid::TearDown();
    }
    void hook() { gcontour_polyline = capture; }
};

// An allocator that fails every call.
void *no_memory(long) { return nullptr; }

TEST_F(Contours, ModesAllowLabelsByDefault)
{
    GContourModes m{9};
    ASSERT_EQ(GGetContourModes(cv, &m), 0);
    EXPECT_EQ(m.labels, 1);
    GContourModes off{0};
    EXPECT_EQ(GSetContourModes(cv, 0, &off), 0);
    GGetContourModes(cv, &m);
    EXPECT_EQ(m.labels, 1);
    GSetContourModes(cv, GCTM_LABELS, &off);
    GGetContourModes(cv, &m);
    EXPECT_EQ(m.labels, 0);
    EXPECT_EQ(GSetDefaultContourModes(cv), 0);
    GGetContourModes(cv, &m);
    EXPECT_EQ(m.labels, 1);
}

TEST_F(Contours, ATriangleHoldsTheLevelByTheCrossingRule)
{
    // A corner equal to the level counts with those at or below it.
    const struct {
        double c[3], level;
        int holds;
    } cases[] = {
        {{0, 1, 2}, 1, 1},       {{1, 1, 2}, 1, 1},           {{0, 0, 1}, 1, 0},
        {{1, 1, 1}, 1, 0},       {{3, 2, 1}, 0.5, 0},         {{3, 2, 1}, 2.5, 1},
        {{NAN, 0, 1}, 0.5, 1},   {{NAN, NAN, 1}, 0.5, 0},     {{-1, -1, -1}, -1.5, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(GContourInCell(c.c, c.level), c.holds) << c.c[0] << " " << c.c[1] << " " << c.c[2] << " " << c.level;
}

TEST_F(Contours, LinesOfASlopeLieOnTheirLevel)
{
    hook();
    // y = x: the line of level c is x = c, from the first row of nodes to
    // the last, with and without patch centres, between nodes and on them.
    for (bool centres : {true, false}) {
        make(11, 6, 0, 1, 0, 1, [](double x, double) { return x; }, centres);
        for (double level : {2.5, 3.0, 7.25, 0.125}) {
            runs.clear();
            EXPECT_EQ(GDrawContour(cv, g, level, nullptr), 0);
            std::vector<Line> lines = joined();
            ASSERT_EQ(lines.size(), 1u) << level << " " << centres;
            double zmin = 1e9, zmax = -1e9;
            for (auto [x, z] : lines[0]) {
                EXPECT_NEAR(x, level, 1e-12) << z;
                zmin = std::min(zmin, z);
                zmax = std::max(zmax, z);
            }
            EXPECT_EQ(zmin, 0);
            EXPECT_EQ(zmax, 5);
        }
    }
}

TEST_F(Contours, AClosedLineIsTracedOnceRoundTheCircle)
{
    hook();
    // y = x^2 + z^2 on 21 x 21 nodes over [-1, 1]: the level 0.25 is the
    // circle of radius 0.5, found once, closed, every point within 0.01.
    auto paraboloid = [](double x, double z) { return x * x + z * z; };
    for (bool centres : {true, false}) {
        make(21, 21, -1, 0.1, -1, 0.1, paraboloid, centres);
        runs.clear();
        EXPECT_EQ(GDrawContour(cv, g, 0.25, nullptr), 0);
        std::vector<Line> lines = joined();
        ASSERT_EQ(lines.size(), 1u);
        const Line &l = lines[0];
        EXPECT_EQ(l.front(), l.back());
        int quadrants = 0;
        for (auto [x, z] : l) {
            EXPECT_NEAR(std::hypot(x, z), 0.5, 0.01) << x << " " << z;
            quadrants |= 1 << ((x > 0) * 2 + (z > 0));
        }
        EXPECT_EQ(quadrants, 15);
        // Once round: no point but the closing one comes twice (a line
        // through a node meets it twice in a row).
        Line sorted(l.begin(), l.end() - 1);
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
        // 32 triangles cross a circle of radius 5 steps at the least.
        EXPECT_GT(l.size(), 32u);
    }
}

TEST_F(Contours, TheScanStartsOnlyInsideTheLastRowAndColumnOfCells)
{
    hook();
    // A grid of 2 x 2 (or 2 x n) nodes has no start cell; a bump at the far
    // corner node touches only the last cell and is not found, the same
    // bump at the near corner is.
    const struct {
        long nx, nz;
        long bi, bk;
        bool found;
    } cases[] = {
        {2, 2, 0, 0, false}, {2, 5, 0, 0, false}, {5, 2, 0, 0, false},
        {4, 4, 3, 3, false}, {4, 4, 3, 0, false}, {4, 4, 0, 3, false},
        {4, 4, 0, 0, true},  {4, 4, 1, 1, true},
    };
    for (const auto &c : cases) {
        make(c.nx, c.nz, 0, 1, 0, 1, [&](double x, double z) { return x == c.bi && z == c.bk ? 1.0 : 0.0; });
        runs.clear();
        EXPECT_EQ(GDrawContour(cv, g, 0.1, nullptr), 0);
        EXPECT_EQ(!runs.empty(), c.found) << c.nx << "x" << c.nz << " bump " << c.bi << "," << c.bk;
    }
}

TEST_F(Contours, BadLevelsAndSmallGridsDrawNothing)
{
    make(5, 5, 0, 1, 0, 1, [](double x, double) { return x; });
    for (double level : {NAN, INFINITY, -INFINITY}) {
        EXPECT_EQ(GDrawContour(cv, g, level, "x"), 0);
        EXPECT_EQ(grec::count(GEP_DRAW_POLYLINE), 0);
    }
    EXPECT_EQ(GDrawContour(cv, nullptr, 1, nullptr), 0);
    EXPECT_EQ(grec::count(GEP_DRAW_POLYLINE), 0);
    // A level outside the values draws nothing either.
    EXPECT_EQ(GDrawContour(cv, g, 99, nullptr), 0);
    EXPECT_EQ(grec::count(GEP_DRAW_POLYLINE), 0);
}

TEST_F(Contours, RunsOfAtMostTenPointsJoinEndToEnd)
{
    make(21, 21, -1, 0.1, -1, 0.1, [](double x, double z) { return x * x + z * z; });
    world(-1, -1, 1, 1);
    EXPECT_EQ(GDrawContour(cv, g, 0.5, nullptr), 0);
    std::vector<grec::Call> calls = grec::of(GEP_DRAW_POLYLINE);
    ASSERT_GT(calls.size(), 3u);
    for (size_t j = 0; j < calls.size(); j++) {
        const grec::Points &p = calls[j].points[0];
        EXPECT_GE(p.count(), 2);
        EXPECT_LE(p.count(), 10);
        if (j + 1 < calls.size()) {
            EXPECT_EQ(p.count(), 10) << j;  // only the last run is short
        }
        if (j > 0) {
            const grec::Points &q = calls[j - 1].points[0];
            EXPECT_EQ(q.at(q.count() - 1, 0), p.at(0, 0)) << j;
            EXPECT_EQ(q.at(q.count() - 1, 1), p.at(0, 1)) << j;
        }
    }
    // The closed line ends where it began.
    const grec::Points &first = calls.front().points[0], &last = calls.back().points[0];
    EXPECT_EQ(first.at(0, 0), last.at(last.count() - 1, 0));
    EXPECT_EQ(first.at(0, 1), last.at(last.count() - 1, 1));
}

int graded_lines = 0;
int graded(GCanvasRecord *, GVector *)
{
    graded_lines++;
    return 0;
}

TEST_F(Contours, LinesTakeTheLevelsColourWhileColouringByValue)
{
    make(11, 6, 0, 1, 0, 1, [](double x, double) { return x; });
    GColourMapModes m{};
    m.mode = 1;
    m.levels = 10;
    m.datamin = 0;
    m.datamax = 9;
    m.polyline = graded;
    gcolmap_GSetColourMapModes(cv, GCMM_MODE | GCMM_LEVELS | GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX | GCMM_POLYLINE,
                               &m);
    GGridModes lock{};
    lock.line_colour_lock = 1;
    ggrid_GSetGridModes(cv, GGM_LOCK, &lock);
    graded_lines = 0;
    const struct {
        double level;
        long index;
    } cases[] = {{2.5, 2}, {7.5, 7}, {0.5, 0}};
    for (const auto &c : cases) {
        grec::clear();
        EXPECT_EQ(GDrawContour(cv, g, c.level, nullptr), 0);
        std::vector<grec::Call> calls = grec::of(GEP_DRAW_POLYLINE);
        ASSERT_FALSE(calls.empty());
        for (const grec::Call &call : calls)
            EXPECT_EQ(call.line.colour, c.index) << c.level;
        // The fixed value is the level during the draw, and the flag is off after.
        EXPECT_EQ(cv->colourmap.fixed, 0);
        EXPECT_EQ(cv->colourmap.fixed_value, c.level);
    }
    EXPECT_EQ(graded_lines, 0);
    EXPECT_EQ(cv->grid.line_colour_lock, 0);
    // Outside the contour the flag lets lines grade again.
    double two[4] = {1, 1, 2, 2};
    GVector line{GV_DOUBLE, 0, 2, 2, {two, nullptr, nullptr}};
    gdraw_GDrawPolyLine(cv, &line);
    EXPECT_EQ(graded_lines, 1);
}

// ---- labels ---------------------------------------------------------------------

class Labels : public Contours {
protected:
    // The label box the recorder answers: `width` device units wide, 10 high.
    void label_box(short width)
    {
        short box[8] = {0, 0, 0, 10, width, 10, width, 0};
        std::copy(box, box + 8, grec::answers().text_limits);
    }
    // The world length of a canvas length along x (or z).
    double world_length(double cc) const
    {
        double a[3] = {0, 0, 0}, b[3] = {cc, 0, 0}, da[3], db[3], wa[3], wb[3];
        gcoords_GApplyPart(&cv->xf[GX_CC].forward, a, da);
        gcoords_GApplyPart(&cv->xf[GX_CC].forward, b, db);
        gcoords_GApplyPart(&cv->current->inverse, da, wa);
        gcoords_GApplyPart(&cv->current->inverse, db, wb);
        return std::fabs(wb[0] - wa[0]);
    }
};

TEST_F(Labels, OneLabelPerLineOnAStraightStretch)
{
    label_box(40);
    // y = x: straight lines x = c running the length of the grid.
    make(5, 91, 0, 1, 0, 1, [](double x, double) { return x; });
    for (double level : {1.25, 2.75}) {
        grec::clear();
        EXPECT_EQ(GDrawContour(cv, g, level, "1.25"), 0);
        std::vector<grec::Call> texts = grec::of(GEP_PUT_TEXT);
        ASSERT_EQ(texts.size(), 1u) << level;
        EXPECT_EQ(texts[0].text, "1.25");
        // Upright: along the chord, never upside down, aligned below its middle.
        EXPECT_EQ(texts[0].text_modes.angle, 90 * 64);
        EXPECT_EQ(texts[0].text_modes.alignment, 7);
    }
    // The text modes are back as they were.
    EXPECT_EQ(cv->text.angle, 0);
    EXPECT_EQ(cv->text.alignment, 6);
}

TEST_F(Labels, SlantedLinesReadLeftToRight)
{
    label_box(40);
    // y = x + z: lines x + z = c, at -45 degrees whichever way the trace
    // runs; the alignment is the end of the label the line reaches first.
    make(61, 61, 0, 1, 0, 1, [](double x, double z) { return x + z; });
    EXPECT_EQ(GDrawContour(cv, g, 40.5, "40.5"), 0);
    std::vector<grec::Call> texts = grec::of(GEP_PUT_TEXT);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text_modes.angle, -45 * 64);
    long a = texts[0].text_modes.alignment;
    EXPECT_TRUE(a == 3 || a == 5) << a;
}

TEST_F(Labels, TheLineIsCutWhereTheLabelSits)
{
    hook();
    label_box(60);
    make(5, 91, 0, 1, 0, 1, [](double x, double) { return x; });
    EXPECT_EQ(GDrawContour(cv, g, 2.25, "2.25"), 0);
    ASSERT_EQ(grec::count(GEP_PUT_TEXT), 1);
    // The drawn pieces along z leave one gap a little longer than the label.
    std::vector<std::pair<double, double>> spans;
    for (const Line &r : runs)
        for (size_t j = 1; j < r.size(); j++) {
            EXPECT_NEAR(r[j].first, 2.25, 1e-12);
            spans.emplace_back(std::min(r[j - 1].second, r[j].second), std::max(r[j - 1].second, r[j].second));
        }
    std::sort(spans.begin(), spans.end());
    double reach = spans[0].second, widest = 0;
    for (auto [lo, hi] : spans) {
        widest = std::max(widest, lo - reach);
        reach = std::max(reach, hi);
    }
    double label = world_length(GGetLabelLength(cv, "2.25"));
    EXPECT_GT(label, 1.0);
    EXPECT_GE(widest, label);
    EXPECT_LT(widest, 2 * label);
    EXPECT_EQ(spans.front().first, 0);
    EXPECT_EQ(reach, 90);
}

TEST_F(Labels, NoLabelWhereEveryStretchIsTooShortOrLabelsAreOff)
{
    // A label wider than the grid, and one on a circle whose windows bend.
    label_box(30000);
    make(5, 91, 0, 1, 0, 1, [](double x, double) { return x; });
    EXPECT_EQ(GDrawContour(cv, g, 2.5, "2.5"), 0);
    EXPECT_EQ(grec::count(GEP_PUT_TEXT), 0);
    EXPECT_GT(grec::count(GEP_DRAW_POLYLINE), 0);

    label_box(100);
    make(7, 7, -3, 1, -3, 1, [](double x, double z) { return x * x + z * z; });
    world(-3, -3, 3, 3);
    EXPECT_EQ(GDrawContour(cv, g, 2.5, "2.5"), 0);
    EXPECT_EQ(grec::count(GEP_PUT_TEXT), 0);

    make(5, 91, 0, 1, 0, 1, [](double x, double) { return x; });
    world(0, 0, 100, 100);
    GContourModes off{0};
    GSetContourModes(cv, GCTM_LABELS, &off);
    EXPECT_EQ(GDrawContour(cv, g, 2.5, "2.5"), 0);
    EXPECT_EQ(grec::count(GEP_PUT_TEXT), 0);
    // An empty text is no label either.
    GSetDefaultContourModes(cv);
    EXPECT_EQ(GDrawContour(cv, g, 2.5, ""), 0);
    EXPECT_EQ(grec::count(GEP_PUT_TEXT), 0);
}

TEST_F(Labels, TheLabelTakesTheLevelsColourAndGivesItBack)
{
    label_box(40);
    make(5, 91, 0, 1, 0, 1, [](double x, double) { return x; });
    GColourMapModes m{};
    m.mode = 1;
    m.levels = 5;
    m.datamin = 0;
    m.datamax = 4;
    gcolmap_GSetColourMapModes(cv, GCMM_MODE | GCMM_LEVELS | GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX, &m);
    GTextModes t = cv->text;
    t.colour = 9;
    GSetTextModes(cv, GTM_COLOUR, &t);
    grec::clear();
    EXPECT_EQ(GDrawContour(cv, g, 2.25, "2.25"), 0);
    std::vector<grec::Call> texts = grec::of(GEP_PUT_TEXT);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text_modes.colour, 2);
    EXPECT_EQ(cv->text.colour, 9);
}

TEST_F(Labels, TheImageDevicesWidthIsConvertedThroughTheTransforms)
{
    // The driver's 40 device units are 40 * 4096 / 640 canvas units on a
    // device 640 wide, and 40 on one 4096 wide (not 6.4 times as many).
    const struct {
        long width;
        double want;
    } cases[] = {{640, 256}, {4096, 40}, {1280, 128}};
    for (const auto &c : cases) {
        GCloseDevice(dev);
        dev = nullptr;
        open(GP_IMAGE, c.width, c.width);
        canvas();
        label_box(40);
        EXPECT_NEAR(GGetLabelLength(cv, "label"), c.want, 0.5) << c.width;
    }
    EXPECT_EQ(GGetLabelLength(cv, ""), 0);
}

// ---- failures and mends ------------------------------------------------------------

TEST_F(Contours, ANaNNodeEndsTheTraceWithTheDiagnostic)
{
    hook();
    // Without patch centres a cell's centre is the mean of its nodes: the
    // cells round node (5, 5) have NaN centres, and the line x = 4.25 that
    // runs into them finds one crossed side only.
    make(11, 11, 0, 1, 0, 1, [](double x, double) { return x; }, false);
    g->values[5][5].value = NAN;
    testing::internal::CaptureStderr();
    int r = GDrawContour(cv, g, 4.25, nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, -1);
    EXPECT_NE(err.find("Pelx. Contour got lost at i 4, j 4, k 2, in 3\n"), std::string::npos) << err;
    // What was walked before is drawn: from both grid edges up to the hole.
    std::vector<Line> lines = joined();
    ASSERT_EQ(lines.size(), 2u);
    for (const Line &l : lines)
        for (auto [x, z] : l)
            EXPECT_NEAR(x, 4.25, 1e-12);
    // The lines away from the NaN nodes are drawn whole.
    runs.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(GDrawContour(cv, g, 8.5, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(joined().size(), 1u);

    // A node that is NaN everywhere: nothing holds a level, nothing drawn.
    for (long i = 0; i < 11; i++)
        for (long k = 0; k < 11; k++)
            g->values[i][k].value = NAN;
    runs.clear();
    EXPECT_EQ(GDrawContour(cv, g, 6.5, nullptr), 0);
    EXPECT_TRUE(runs.empty());
}

TEST_F(Contours, NoVisitedMapNoDrawing)
{
    make(5, 5, 0, 1, 0, 1, [](double x, double) { return x; });
    void *(*saved)(long) = ggrid_block_alloc;
    ggrid_block_alloc = no_memory;
    EXPECT_EQ(GDrawContour(cv, g, 2.5, nullptr), -1);
    ggrid_block_alloc = saved;
    EXPECT_EQ(last_error(), std::make_pair(4, 3));
    EXPECT_EQ(grec::count(GEP_DRAW_POLYLINE), 0);
    EXPECT_EQ(cv->colourmap.fixed, 0);
}

}  // namespace
