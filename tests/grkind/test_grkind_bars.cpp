// The bar and horizontal bar kinds on the recording driver: the bars'
// rectangles and labels read back in world coordinates.

#include "kindkit.h"

#include <algorithm>
#include <cmath>

namespace {

using gokit::col;
using gokit::none;
using gokit::num;
using kindkit::Kinds;
using kindkit::Made;
using kindkit::xy;

// A device point back in world coordinates.
std::pair<double, double> world(GoGraph *g, double dx, double dy)
{
    double p[2] = {dx, dy};
    GVector in{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}}, out{};
    EXPECT_EQ(GTransformPoints(g->canvas, GCS_DC, GCS_WC, &in, &out), 0);
    std::pair<double, double> w{NAN, NAN};
    if (out.type == GV_DOUBLE && out.data[0]) {
        const double *o = static_cast<const double *>(out.data[0]);
        w = {o[0], o[1]};
    }
    gvector_GFreeVectorData(&out);
    return w;
}

// A rectangle in world coordinates, its fill colour and fixed colour value.
struct Box {
    double x0, y0, x1, y1;
    long colour;
};

std::vector<Box> boxes(GoGraph *g, long colour)
{
    std::vector<Box> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_RECTANGLE)) {
        if (c.fill.colour != colour)
            continue;
        const grec::Points &corner = c.points[0], &size = c.points[1];
        const auto a = world(g, corner.at(0, 0), corner.at(0, 1));
        const auto b = world(g, corner.at(0, 0) + size.at(0, 0), corner.at(0, 1) + size.at(0, 1));
        out.push_back({std::min(a.first, b.first), std::min(a.second, b.second), std::max(a.first, b.first),
                       std::max(a.second, b.second), c.fill.colour});
    }
    return out;
}

struct Text {
    std::string text;
    double x, y;
    long alignment;
};

std::vector<Text> texts(GoGraph *g)
{
    std::vector<Text> out;
    for (const grec::Call &c : grec::of(GEP_PUT_TEXT)) {
        const auto w = world(g, c.points[0].at(0, 0), c.points[0].at(0, 1));
        out.push_back({c.text, w.first, w.second, c.text_modes.alignment});
    }
    return out;
}

// The world size of one device unit along x and y.
std::pair<double, double> unit(GoGraph *g)
{
    const auto a = world(g, 100, 100), b = world(g, 101, 101);
    return {std::fabs(b.first - a.first), std::fabs(b.second - a.second)};
}

// A graph without axes, its datasets in colours 5, 6, 7..., labels in a
// device font so the recorder sees their texts.
struct Plain : Made {
    Plain(int kind, int first, int last) : Made(kind, first, last)
    {
        set(GP_DRAWAXES, 0, 0);
        set(GP_DRAWAXES, 0, 1);
        for (int q = 0; q <= last - first; q++) {
            set(GP_ASLINE, 0, q);
            set(GP_COLOUR, 5 + q, q);
            set(GP_HATCHSTYLE, 1, q);
        }
        set(GP_LABELFONT, 0);
        goprop_go_set_property(g, GP_YORIGIN, 0, "0");
    }
    void redraw()
    {
        grec::clear();
        draw(GO_PROPERTIES);
    }
    void width(double w) { goprop_go_set_property(g, GP_BARWIDTH, 0, &w); }
};

double slot_half(GoGraph *g, int mode)
{
    double xs = 0, ys = 0;
    gomain_go_get_non_scalar_shift(g, &g->xblock, &g->yblock, mode, &xs, &ys, nullptr, nullptr);
    return mode == GO_AXES_CATEGORY_X ? xs : ys;
}

TEST_F(Kinds, OneCategoryDoublesTheXRange)
{
    const int d = xy({{num(3), num(5)}});
    Plain m(5, d, d);
    m.redraw();
    EXPECT_LE(m.g->xblock.scale.min, 3);
    EXPECT_GE(m.g->xblock.scale.max, 6) << "to twice the maximum";
    EXPECT_LT(m.g->xblock.scale.max, 7);
    const std::vector<Box> b = boxes(m.g, 5);
    ASSERT_EQ(b.size(), 1u) << "one bar";
    EXPECT_GE(b[0].x0, m.g->xblock.scale.min);
    EXPECT_LE(b[0].x1, m.g->xblock.scale.max) << "inside the plot";
    EXPECT_NEAR(b[0].y1, 5, 0.1);
}

TEST_F(Kinds, BarsSideBySide)
{
    const int a = xy({{num(1), num(3)}, {num(2), num(4)}, {num(3), num(2)}});
    ASSERT_EQ(xy({{num(1), num(1)}, {num(2), num(2)}, {num(3), num(3)}}), a + 1);
    const int c = xy({{num(1), num(5)}, {num(2), num(1)}, {num(3), num(4)}});
    Plain m(5, a, c);
    m.width(0.8);
    for (int centred : {1, 0}) {
        SCOPED_TRACE("barcentred " + std::to_string(centred));
        m.set(GP_BARCENTRED, centred);
        m.redraw();
        const double s = slot_half(m.g, GO_AXES_CATEGORY_X), slot = 2 * s, width = 0.8 * slot / 3,
                     gap = (slot - 0.8 * slot) / 2;
        ASSERT_GT(s, 0);
        const double u = unit(m.g).first;
        for (int k = 0; k < 3; k++) {
            SCOPED_TRACE("dataset " + std::to_string(k));
            const std::vector<Box> bars = boxes(m.g, 5 + k);
            ASSERT_EQ(bars.size(), 3u);
            for (int i = 0; i < 3; i++) {
                const double left = (i + 1) + (centred ? gap : 0) + k * width;
                EXPECT_NEAR(bars[i].x0, left, 2 * u) << "bar " << i;
                EXPECT_NEAR(bars[i].x1 - bars[i].x0, width, 2 * u) << "bar " << i;
                EXPECT_NEAR(bars[i].y0, 0, 0.05) << "from the origin";
            }
        }
    }
}

TEST_F(Kinds, StackedBarsWithMixedSignsAndTheirTotals)
{
    const int a = xy({{num(1), num(3)}, {num(2), num(-2)}, {num(3), num(0)}});
    ASSERT_EQ(xy({{num(1), num(2)}, {num(2), num(-1)}, {num(3), num(4)}}), a + 1);
    const int c = xy({{num(1), num(-1)}, {num(2), num(3)}, {num(3), num(0)}});
    Plain m(5, a, c);
    m.set(GP_BARTYPE, 1);
    m.set(GP_LABELBARS, 1);
    m.redraw();
    EXPECT_EQ(m.g->statopts & GO_STAT_STACKED, 0) << "cleared after the preamble";
    EXPECT_LE(m.g->yblock.scale.min, -3) << "scaled on the stacks";
    EXPECT_GE(m.g->yblock.scale.max, 5);
    const double v = unit(m.g).second;
    // Per slot: the parts as (base, top), in the datasets' order.
    struct Part {
        double base, top;
    };
    const std::vector<std::vector<Part>> parts = {
        {{0, 3}, {0, -2}},            // dataset 0: slot 3 at the origin draws nothing
        {{3, 5}, {-2, -3}, {0, 4}},   // dataset 1 stacks on the totals of its sign
        {{0, -1}, {0, 3}},            // dataset 2: slot 3 at the origin draws nothing
    };
    for (int k = 0; k < 3; k++) {
        SCOPED_TRACE("dataset " + std::to_string(k));
        const std::vector<Box> bars = boxes(m.g, 5 + k);
        ASSERT_EQ(bars.size(), parts[k].size());
        for (size_t i = 0; i < bars.size(); i++) {
            EXPECT_NEAR(bars[i].y0, std::min(parts[k][i].base, parts[k][i].top), 2 * v) << "part " << i;
            EXPECT_NEAR(bars[i].y1, std::max(parts[k][i].base, parts[k][i].top), 2 * v) << "part " << i;
        }
    }
    // The totals: above 5, 3, 4; below -1, -3.
    std::vector<Text> t = texts(m.g);
    std::vector<std::string> above, below;
    for (const Text &x : t) {
        if (x.alignment == 7)
            above.push_back(x.text);
        else if (x.alignment == 1)
            below.push_back(x.text);
    }
    EXPECT_EQ(above, (std::vector<std::string>{"5.00", "3.00", "4.00"}));
    EXPECT_EQ(below, (std::vector<std::string>{"-1.00", "-3.00"}));
}

TEST_F(Kinds, UnstackedLabelsAndValuesAtTheOrigin)
{
    const int a = xy({{num(1), num(3)}, {num(2), num(0)}, {num(3), num(2)}});
    Plain m(5, a, a);
    m.set(GP_LABELBARS, 1);
    m.redraw();
    const std::vector<Box> bars = boxes(m.g, 5);
    ASSERT_EQ(bars.size(), 2u) << "nothing at the origin";
    const std::vector<Text> t = texts(m.g);
    ASSERT_EQ(t.size(), 2u) << "no label at the origin";
    const double gap = GTransformLength(m.g->canvas, 6, 1, 2), v = unit(m.g).second;
    EXPECT_EQ(t[0].text, "3.00");
    EXPECT_EQ(t[1].text, "2.00");
    for (size_t i = 0; i < 2; i++) {
        // The recorder gets the text's corner: the label stands centred
        // above the top, a label gap higher.
        EXPECT_EQ(t[i].alignment, 7);
        EXPECT_GT(t[i].x, bars[i].x0);
        EXPECT_LT(t[i].x, (bars[i].x0 + bars[i].x1) / 2);
        EXPECT_NEAR(t[i].y, bars[i].y1 + gap, 2 * v) << "a label gap above the top";
    }
}

TEST_F(Kinds, HorizontalBars)
{
    // Values against categories 1 to 3 on the y axis.
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, {{num(4), num(1)}, {num(-2), num(2)}, {num(6), num(3)}}, 1);
    Plain m(6, d, d);
    m.width(0.6);
    m.set(GP_BARCENTRED, 1);
    m.set(GP_LABELBARS, 1);
    goprop_go_set_property(m.g, GP_XORIGIN, 0, "0");
    m.redraw();
    const double s = slot_half(m.g, GO_AXES_CATEGORY_Y), t = 2 * s * 0.6, gap = (2 * s - t) / 2;
    ASSERT_GT(s, 0);
    const auto u = unit(m.g);
    const std::vector<Box> bars = boxes(m.g, 5);
    ASSERT_EQ(bars.size(), 3u);
    const double values[3] = {4, -2, 6};
    const std::vector<grec::Call> calls = grec::of(GEP_DRAW_RECTANGLE);
    const std::vector<Text> labels = texts(m.g);
    ASSERT_EQ(labels.size(), 3u);
    const double label_gap = GTransformLength(m.g->canvas, 6, 0, 5);
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE("bar " + std::to_string(i));
        EXPECT_NEAR(bars[i].x0, std::min(0.0, values[i]), 2 * u.first);
        EXPECT_NEAR(bars[i].x1, std::max(0.0, values[i]), 2 * u.first);
        EXPECT_NEAR(bars[i].y0, (i + 1) + gap, 2 * u.second) << "the side gap";
        EXPECT_NEAR(bars[i].y1 - bars[i].y0, t, 2 * u.second) << "the thickness";
        EXPECT_EQ(labels[i].text, values[i] > 0 ? std::to_string(static_cast<int>(values[i])) + ".00" : "-2.00");
        // Beyond the end: left-aligned right of it, right-aligned left of it.
        EXPECT_EQ(labels[i].alignment, values[i] > 0 ? 3 : 5);
        if (values[i] > 0)
            EXPECT_NEAR(labels[i].x, values[i] + label_gap, 2 * u.first) << "beyond the end";
        else
            EXPECT_LT(labels[i].x, values[i] - label_gap) << "beyond the end";
        EXPECT_GT(labels[i].y, bars[i].y0);
        EXPECT_LT(labels[i].y, (bars[i].y0 + bars[i].y1) / 2);
    }
    // Each bar coloured by its own value through the colour map.
    m.set(GP_COLOUR, -1);
    m.redraw();
    std::vector<long> fills;
    for (const grec::Call &c : grec::of(GEP_DRAW_RECTANGLE))
        fills.push_back(c.fill.colour);
    ASSERT_EQ(fills.size(), 3u);
}

TEST_F(Kinds, BarKindsOnBadData)
{
    struct Case {
        const char *what;
        int kind;
        std::vector<std::vector<gokit::Cell>> rows;
        std::string box;
    } cases[] = {
        {"bars of nulls", 5, {{num(1), none()}, {num(2), none()}}, "67/1: There is no y data to draw."},
        {"horizontal bars of nulls", 6, {{none(), num(1)}, {none(), num(2)}}, "67/1: There is no y data to draw."},
        {"one horizontal bar", 6, {{num(3), num(1)}}, "67/30: Too few values to draw this kind of graph."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int d = xy(c.rows);
        gokit::boxes().clear();
        dlmess_reset_error_suppression();
        Plain m(c.kind, d, d);
        m.redraw();
        EXPECT_EQ(gokit::boxes(), std::vector<std::string>{c.box});
        EXPECT_TRUE(boxes(m.g, 5).empty());
    }
    for (int kind : {5, 6}) {
        SCOPED_TRACE("values that are not numbers, kind " + std::to_string(kind));
        std::vector<std::vector<gokit::Cell>> rows = {{num(1), num(NAN)}, {num(2), num(INFINITY)}, {num(3), num(2)}};
        if (kind == 6)
            for (auto &r : rows)
                std::swap(r[0], r[1]);
        const int d = xy(rows);
        gokit::boxes().clear();
        dlmess_reset_error_suppression();
        Plain m(kind, d, d);
        gokit::stderr_of([&] { m.redraw(); });
        ASSERT_FALSE(gokit::boxes().empty());
        for (const grec::Call &c : grec::calls())
            for (const grec::Points &p : c.points)
                for (double v : p.values)
                    ASSERT_TRUE(std::isfinite(v)) << grec::slot_names[c.slot];
    }
    {
        SCOPED_TRACE("1001 categories");
        std::vector<std::vector<gokit::Cell>> rows;
        for (int i = 0; i < 1001; i++)
            rows.push_back({num(i), num(1 + i % 7)});
        const int d = xy(rows);
        Plain m(5, d, d);
        gokit::boxes().clear();
        dlmess_reset_error_suppression();
        m.redraw();
        EXPECT_EQ(gokit::boxes(), std::vector<std::string>{"67/20: The axis would need too many divisions."});
        EXPECT_TRUE(boxes(m.g, 5).empty()) << "never scaled: no bars";
    }
}

}  // namespace
