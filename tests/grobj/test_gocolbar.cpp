// The colour bar on the recording driver: the bar beside the plot area on
// either side, filled from the map's first colour at the bottom to its last
// at the top, ticks and labels at the divisions, the title turned or level
// and aligned by side, the border's box cleared first, and every mode as
// it was afterwards (untouched when the bar is off).

#include "gographkit.h"

#include "gocolbar.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using gokit::CanvasGraph;
using gokit::col;
using gokit::num;

class ColourBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_graph_class[0] = &gokit::fake_class();
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
    }
    void TearDown() override
    {
        gomain_graph_class[0] = nullptr;
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
};

int values(int n, double step)
{
    std::vector<std::vector<gokit::Cell>> rows;
    for (int i = 0; i < n; i++)
        rows.push_back({num(i), num(i * step)});
    return gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, rows, 1);
}

struct Bar : CanvasGraph {
    explicit Bar(int d) : CanvasGraph(d, d)
    {
        gostd_std_setdata_scalar_graph(&g, d);
        gomain_go_set_2d_coordinates(&g);
        set(GP_CBENABLE, 1);
        set(GP_CBWIDTH, 20);
        set(GP_CBGRAVITY, 1);
    }
    void set(int property, int value) { goprop_go_set_property(&g, property, 0, &value); }
    void title(const char *t) { goprop_go_set_property(&g, GP_YTITLE, 0, t); }
};

// A canvas point on the device.
std::array<double, 2> device_of(GCanvasRecord *c, double x, double y)
{
    double p[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}};
    GVector out{};
    EXPECT_EQ(GTransformPoints(c, GCS_CC, GCS_DC, &in, &out), 0);
    std::array<double, 2> r{0, 0};
    if (out.data[0]) {
        for (int i = 0; i < 2; i++) {
            switch (out.type) {
            case GV_DOUBLE: r[i] = static_cast<const double *>(out.data[0])[i]; break;
            case GV_LONG: r[i] = static_cast<double>(static_cast<const int64_t *>(out.data[0])[i]); break;
            default: r[i] = static_cast<const int16_t *>(out.data[0])[i]; break;
            }
        }
        gvector_GFreeVectorData(&out);
    }
    return r;
}

struct Rect {
    double x0, y0, x1, y1;  // device, ordered
};
// A rectangle or cleared area as the driver gets it: a corner and a size.
Rect rect_of(const grec::Call &c)
{
    const double x = c.points[0].at(0, 0), y = c.points[0].at(0, 1), w = c.points[1].at(0, 0),
                 h = c.points[1].at(0, 1);
    return {std::min(x, x + w), std::min(y, y + h), std::max(x, x + w), std::max(y, y + h)};
}

// The plot area on the device.
Rect plot_of(GCanvasRecord *c)
{
    const GCanvasModes &m = c->modes;
    const auto a = device_of(c, m.psorigin[0], m.psorigin[1]);
    const auto b = device_of(c, m.psorigin[0] + m.pssize[0], m.psorigin[1] + m.pssize[1]);
    return {std::min(a[0], b[0]), std::min(a[1], b[1]), std::max(a[0], b[0]), std::max(a[1], b[1])};
}

// The texts written: stroke fonts come to the driver as lines.
std::vector<grec::Call> texts()
{
    std::vector<grec::Call> out;
    for (const grec::Call &c : grec::calls())
        if (c.slot == GEP_PUT_TEXT || c.slot == GEP_DRAW_TEXT_LINES)
            out.push_back(c);
    return out;
}

// The middle of a text's strokes (or its point) on the device.
std::array<double, 2> centre_of(const grec::Call &c)
{
    const grec::Points &p = c.points[0];
    double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
    for (long i = 0; i < p.count(); i++) {
        x0 = std::min(x0, p.at(i, 0));
        x1 = std::max(x1, p.at(i, 0));
        y0 = std::min(y0, p.at(i, 1));
        y1 = std::max(y1, p.at(i, 1));
    }
    return {(x0 + x1) / 2, (y0 + y1) / 2};
}

TEST_F(ColourBar, BesideThePlotAreaWithTheMapFromBottomToTop)
{
    const int d = values(11, 10);
    for (int gravity : {1, 2}) {
        SCOPED_TRACE(gravity);
        Bar b(d);
        b.set(GP_CBGRAVITY, gravity);
        grec::clear();
        gocolbar_go_draw_colourbar(&b.g, d, nullptr);
        const std::vector<grec::Call> rects = grec::of(GEP_DRAW_RECTANGLE);
        ASSERT_EQ(rects.size(), 1u) << "the bar's outline, no border";
        const Rect bar = rect_of(rects[0]), plot = plot_of(b.g.canvas);
        if (gravity == 1)
            EXPECT_GE(bar.x0, plot.x1 - 1);
        else
            EXPECT_LE(bar.x1, plot.x0 + 1);
        EXPECT_NEAR(bar.y0, plot.y0, 1);
        EXPECT_NEAR(bar.y1, plot.y1, 1);
        // The bands: horizontal lines across the bar, one a device row
        // (their colours show in the pictures: the recorder allocates no
        // colour cells).
        std::vector<std::pair<double, long>> bands;  // device y, colour
        for (const grec::Call &c : grec::of(GEP_DRAW_LINE)) {
            const double y0 = c.points[0].at(0, 1), y1 = c.points[1].at(0, 1);
            const double x0 = std::min(c.points[0].at(0, 0), c.points[1].at(0, 0));
            const double x1 = std::max(c.points[0].at(0, 0), c.points[1].at(0, 0));
            if (y0 == y1 && std::fabs(x0 - bar.x0) <= 1 && std::fabs(x1 - bar.x1) <= 1)
                bands.emplace_back(y0, c.line.colour);
        }
        ASSERT_GT(bands.size(), (bar.y1 - bar.y0) / 2);
        std::sort(bands.begin(), bands.end());
        EXPECT_NEAR(bands.front().first, bar.y0, 1);
        EXPECT_NEAR(bands.back().first, bar.y1, 1);
        EXPECT_TRUE(gokit::boxes().empty());
    }
}

TEST_F(ColourBar, LabelsAtTheDivisions)
{
    const int d = values(11, 10);
    Bar b(d);
    grec::clear();
    gocolbar_go_draw_colourbar(&b.g, d, nullptr);
    ScaleRec *s = &b.g.yblock.scale;
    std::vector<double> divs;
    double v = 0;
    ASSERT_GE(scale_GetFirstDiv(s, &v), 0);
    do
        divs.push_back(v);
    while (static_cast<int>(divs.size()) <= scale_GetNumDivs(s) && scale_GetNextDiv(s, &v) >= 0);
    const std::vector<grec::Call> t = texts();
    ASSERT_EQ(t.size(), divs.size()) << "one label a division, no title";
    const Rect bar = rect_of(grec::of(GEP_DRAW_RECTANGLE).at(0)), plot = plot_of(b.g.canvas);
    const GCanvasModes &m = b.g.canvas->modes;
    for (size_t i = 0; i < divs.size(); i++) {
        SCOPED_TRACE(divs[i]);
        const double cc_y = m.psorigin[1] + (divs[i] - s->min) / (s->max - s->min) * m.pssize[1];
        EXPECT_NEAR(centre_of(t[i])[1], device_of(b.g.canvas, 0, cc_y)[1], 2.5);
        EXPECT_GT(centre_of(t[i])[0], bar.x1) << "right of the bar";
        EXPECT_EQ(t[i].text_modes.alignment, 3);
    }
    (void)plot;
    // A dataset outside the graph's range labels with the first's type.
    grec::clear();
    gocolbar_go_draw_colourbar(&b.g, -5, nullptr);
    const std::vector<grec::Call> again = texts();
    ASSERT_EQ(again.size(), divs.size());
    for (size_t i = 0; i < divs.size(); i++)
        EXPECT_EQ(again[i].points[0].values, t[i].points[0].values);
}

TEST_F(ColourBar, TheTitleBySideAndAngle)
{
    const int d = values(5, 1);
    struct Case {
        int gravity, yangle;
        long angle, alignment;
    } cases[] = {{1, 1, 0, 3}, {2, 1, 0, 5}, {1, 0, 17280, 4}, {2, 0, 5760, 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.gravity) + " " + std::to_string(c.yangle));
        Bar b(d);
        b.title("Revenue");
        b.set(GP_CBGRAVITY, c.gravity);
        b.set(GP_YANGLE, c.yangle);
        b.set(GP_TITLECOLOUR, 5);
        grec::clear();
        gocolbar_go_draw_colourbar(&b.g, d, nullptr);
        const std::vector<grec::Call> t = texts();
        ASSERT_FALSE(t.empty());
        const grec::Call &title = t.back();
        EXPECT_EQ(title.text_modes.angle, c.angle);
        EXPECT_EQ(title.text_modes.alignment, c.alignment);
        EXPECT_EQ(title.text_modes.colour, 5);
        const Rect bar = rect_of(grec::of(GEP_DRAW_RECTANGLE).at(0));
        if (c.gravity == 1)
            EXPECT_GT(centre_of(title)[0], bar.x1);
        else
            EXPECT_LT(centre_of(title)[0], bar.x0);
    }
}

TEST_F(ColourBar, TheBorderClearsItsBoxFirstAndAnEmptyTitleTakesNoHeight)
{
    const int d = values(5, 1);
    double heights[2] = {0, 0};
    size_t counts[2] = {0, 0};
    for (int with_title : {0, 1}) {
        SCOPED_TRACE(with_title);
        Bar b(d);
        b.set(GP_CBBORDER, 1);
        b.title(with_title ? "Revenue" : "");
        grec::clear();
        gocolbar_go_draw_colourbar(&b.g, d, nullptr);
        const std::vector<grec::Call> &all = grec::calls();
        const auto clear = std::find_if(all.begin(), all.end(), [](const grec::Call &c) { return c.slot == GEP_CLEAR_AREA; });
        ASSERT_NE(clear, all.end());
        const auto drawn = std::find_if(all.begin(), all.end(), [](const grec::Call &c) {
            return c.slot == GEP_DRAW_LINE || c.slot == GEP_DRAW_RECTANGLE || c.slot == GEP_PUT_TEXT;
        });
        EXPECT_LT(clear - all.begin(), drawn - all.begin()) << "cleared before anything is drawn";
        const std::vector<grec::Call> rects = grec::of(GEP_DRAW_RECTANGLE);
        ASSERT_EQ(rects.size(), 2u) << "the box and the bar";
        const Rect box = rect_of(rects[0]), area = rect_of(*clear), bar = rect_of(rects[1]);
        EXPECT_NEAR(box.x0, area.x0, 1);
        EXPECT_NEAR(box.y1, area.y1, 1);
        EXPECT_LE(box.x0, bar.x0);
        EXPECT_GE(box.x1, bar.x1);
        heights[with_title] = box.y1 - box.y0;
        counts[with_title] = texts().size();
    }
    EXPECT_GT(heights[1], heights[0]) << "the title's height joins the box";
    EXPECT_EQ(counts[1], counts[0] + 1) << "the title written only when there is one";
}

struct AllModes {
    GCanvasModes canvas;
    GLineModes line;
    GTextModes text;
    GFillModes fill;
    GThresholdModes threshold;
    GColourMapModes colourmap;
};
AllModes modes_of(GCanvasRecord *c)
{
    AllModes m{};
    GGetCanvasModes(c, &m.canvas);
    GGetLineModes(c, &m.line);
    GGetTextModes(c, &m.text);
    GGetFillModes(c, &m.fill);
    gthresh_GGetThresholdModes(c, &m.threshold);
    gcolmap_GGetColourMapModes(c, &m.colourmap);
    return m;
}

TEST_F(ColourBar, OffTouchesNothingAndOnPutsEveryModeBack)
{
    const int d = values(5, 1);
    Bar b(d);
    GCanvasRecord *c = b.g.canvas;
    // Modes the kind left: world coordinates, a dashed line, z selector.
    gomain_go_use_world_coordinates(c);
    GLineModes lm{};
    lm.style = 2;
    lm.colour = 6;
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR, &lm);
    GThresholdModes th{};
    th.selector = 4;
    gthresh_GSetThresholdModes(c, GTHM_SELECTOR, &th);
    const AllModes before = modes_of(c);

    b.set(GP_CBENABLE, 0);
    grec::clear();
    gocolbar_go_draw_colourbar(&b.g, d, nullptr);
    EXPECT_TRUE(grec::calls().empty());
    b.set(GP_CBENABLE, 1);
    b.set(GP_CBBORDER, 1);
    b.title("T");
    gocolbar_go_draw_colourbar(&b.g, d, nullptr);
    EXPECT_FALSE(grec::calls().empty());
    const AllModes after = modes_of(c);
    EXPECT_EQ(after.canvas.coords, before.canvas.coords);
    EXPECT_EQ(after.line.style, before.line.style);
    EXPECT_EQ(after.line.colour, before.line.colour);
    EXPECT_EQ(after.line.width, before.line.width);
    EXPECT_EQ(after.text.font, before.text.font);
    EXPECT_EQ(after.text.angle, before.text.angle);
    EXPECT_EQ(after.text.alignment, before.text.alignment);
    EXPECT_EQ(after.text.colour, before.text.colour);
    EXPECT_EQ(after.fill.style, before.fill.style);
    EXPECT_EQ(after.threshold.selector, 4);
    EXPECT_EQ(after.colourmap.mode, before.colourmap.mode);
    EXPECT_EQ(after.colourmap.range, before.colourmap.range);
    EXPECT_EQ(after.colourmap.lower, before.colourmap.lower);
    EXPECT_EQ(after.colourmap.upper, before.colourmap.upper);
}

TEST_F(ColourBar, BadInputDrawsWhatItCan)
{
    const int d = values(5, 1);
    {
        SCOPED_TRACE("a plot area of no height");
        Bar b(d);
        GCanvasModes m{};
        GGetCanvasModes(b.g.canvas, &m);
        m.pssize[1] = 0;
        GSetCanvasModes(b.g.canvas, GCM_PSSIZE, &m);
        gocolbar_go_draw_colourbar(&b.g, d, nullptr);
    }
    {
        SCOPED_TRACE("a z block of no range and a graph without data");
        Bar b(d);
        GoAxisBlock z = b.g.yblock;
        z.scale.min = z.scale.max = 3;
        gocolbar_go_draw_colourbar(&b.g, d, &z);
        b.g.first = b.g.last = -1;
        grec::clear();
        gocolbar_go_draw_colourbar(&b.g, d, nullptr);
        EXPECT_TRUE(grec::calls().empty());
    }
    gocolbar_go_draw_colourbar(nullptr, 0, nullptr);
}

}  // namespace
