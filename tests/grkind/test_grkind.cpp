// The kind table and the line kind on the recording driver.

#include "kindkit.h"

#include "seams.h"

#include "dlmess.h"

#include <cmath>
#include <set>
#include <unistd.h>

namespace {

using gokit::col;
using gokit::num;
using kindkit::Kinds;
using kindkit::Made;
using kindkit::xy;

TEST_F(Kinds, TheTable)
{
    struct Row {
        const char *file;
        int chars, multi, modes, zoom, multiy, options, qualifier;
    } rows[GK_KINDS] = {
        {"line.graph", 0x7FF, 1, 7, 1, 1, 0x1000000, 0},   {"scat.graph", 0x7FF, 1, 7, 1, 1, 0x1, 0},
        {"imp.graph", 0x7FF, 1, 7, 1, 0, 0x2, 0},          {"hilo.graph", 0x7E2, 1, 3, 1, 0, 0, 1},
        {"vector.graph", 0x7FF, 1, 7, 1, 0, 0, 0},         {"bar.graph", 0x7FF, 1, 0, 1, 1, 0x200004, 0},
        {"hbar.graph", 0x7FF, 0, 0, 0, 0, 0x4, 0},         {"polar.graph", 0x7F3, 1, 5, 1, 0, 0x1060040, 0},
        {"surf.graph", 0x730, 1, 4, 0, 0, 0x1000008, 0},   {"imp3.graph", 0x730, 1, 4, 0, 0, 0x1000000, 0},
        {"worm.graph", 0x440, 1, 4, 0, 0, 0x1000000, 0},   {"trend.graph", 0x7E2, 1, 5, 1, 1, 0x1400003, 0},
        {"cont.graph", 0x572, 1, 5, 1, 0, 0x1090490, 0},   {"prob.graph", 0x11, 1, 3, 0, 1, 0x40020, 0},
        {"hist.graph", 0x11, 1, 0, 0, 0, 0x800, 0},        {"surf3d.graph", 0x770, 1, 0, 0, 0, 0x1012710, 0},
        {"map.graph", 0x772, 1, 5, 1, 0, 0x1010490, 0},    {"image.graph", 0x10, 1, 1, 0, 0, 0x80, 0},
        {"box.graph", 0x6, 1, 0, 0, 1, 0x101000, 0},       {"wafer.graph", 0x440, 1, 5, 1, 0, 0x1018000, 0},
        {"trendbar.graph", 0x7E2, 1, 5, 1, 1, 0x1600004, 0}, {"pie.graph", 0x727, 0, 0, 0, 0, 0x800000, 0},
    };
    // Methods: 'S' standard, 'O' own, '3' the 3-D output, 'Z' the 2-D+z
    // create/output/mutate; setdata 's' scalar, 'x', 'y' categories.
    const char *slots[GK_KINDS] = {"SsSSS", "SsSSS", "SsSSS", "SsSSS", "SsSSS", "SxSSS", "SySSS", "SOOOS",
                                   "SOS3S", "SOS3S", "SOS3S", "SOOOS", "ZOOZZ", "SOSSS", "SOSSS", "SOSSS",
                                   "ZOOZZ", "SOOZS", "SOSSS", "ZOOZZ", "SOOOS", "SOOOS"};
    for (int k = 0; k < GO_CLASSES; k++) {
        SCOPED_TRACE(k);
        const GoClass *c = gomain_graph_class[k];
        if (k >= GK_KINDS) {
            EXPECT_EQ(c, nullptr);
            continue;
        }
        ASSERT_NE(c, nullptr);
        const Row &r = rows[k];
        EXPECT_EQ(c->kind, k);
        EXPECT_STREQ(c->format_file, r.file);
        EXPECT_EQ(c->character_mask, r.chars);
        EXPECT_EQ(c->multi_dataset, r.multi);
        EXPECT_EQ(c->modes, r.modes);
        EXPECT_EQ(c->zoom_allowed, r.zoom);
        EXPECT_EQ(c->multiy_capable, r.multiy);
        EXPECT_EQ(c->options_mask, r.options);
        EXPECT_EQ(c->datafunc_qualifier, r.qualifier);
        const std::string s = slots[k];
        EXPECT_EQ(c->create, s[0] == 'Z' ? gostd_std_create_2dz_graph : gostd_std_create_graph);
        EXPECT_EQ(c->destroy, gostd_std_destroy_graph);
        EXPECT_EQ(c->zoom, gostd_std_zoom_graph);
        EXPECT_NE(c->draw, nullptr);
        switch (s[1]) {
        case 's': EXPECT_EQ(c->setdata, gostd_std_setdata_scalar_graph); break;
        case 'x': EXPECT_EQ(c->setdata, gostd_std_setdata_x_nonscalar_graph); break;
        case 'y': EXPECT_EQ(c->setdata, gostd_std_setdata_y_nonscalar_graph); break;
        default: EXPECT_NE(c->setdata, nullptr); break;
        }
        if (s[2] == 'S')
            EXPECT_EQ(c->input, gostd_std_input_graph);
        else
            EXPECT_NE(c->input, nullptr);
        switch (s[3]) {
        case 'S': EXPECT_EQ(c->output, gostd_std_output_graph); break;
        case '3': EXPECT_EQ(c->output, gostd_std_3d_output_graph); break;
        case 'Z': EXPECT_EQ(c->output, gostd_std_2dz_output_graph); break;
        default: EXPECT_NE(c->output, nullptr); break;
        }
        EXPECT_EQ(c->mutate, s[4] == 'Z' ? gostd_std_mutate_2dz_graph : gostd_std_mutate_graph);
        EXPECT_EQ(c->coordinates, nullptr);
    }
}

TEST_F(Kinds, KindsNotBuiltSaySo)
{
    const int d = xy({{num(1), num(2)}, {num(2), num(3)}, {num(3), num(1)}});
    for (int k = GK_BUILT; k < GK_KINDS; k++) {
        if (gokind_built(k))
            continue;
        SCOPED_TRACE(k);
        Made m(k, d, d);
        for (int reason = 1; reason <= 6; reason++) {
            dlmess_reset_error_suppression();
            gokit::boxes().clear();
            grec::clear();
            m.draw(reason);
            ASSERT_EQ(gokit::boxes().size(), 1u) << "reason " << reason;
            EXPECT_EQ(gokit::boxes()[0], "67/31: " + gokind_name(k) + " is not available yet.");
            EXPECT_GT(grec::count(GEP_DRAW_TEXT_LINES) + grec::count(GEP_DRAW_POLYLINE) + grec::count(GEP_DRAW_LINES), 0)
                << "the text in the stroke font";
            ASSERT_NE(m.g->canvas, nullptr);
        }
        // Still a live canvas after the reopen: drawing on it again is sound.
        grec::clear();
        m.draw(1);
        EXPECT_GT(grec::calls().size(), 0u);
    }
}

std::vector<grec::Points> data_lines()
{
    std::vector<grec::Points> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_POLYLINE))
        out.push_back(c.points[0]);
    return out;
}

TEST_F(Kinds, TheLineKind)
{
    const int a = xy({{num(0), num(0)}, {num(1), num(5)}, {num(2), gokit::none()}, {num(3), num(2)}, {num(4), num(4)}});
    {
        SCOPED_TRACE("missing values join or break");
        Made m(0, a, a);
        m.set(GP_DRAWAXES, 0, 0);
        m.set(GP_DRAWAXES, 0, 1);
        for (int gaps : {0, 1}) {
            m.set(GP_MDATA_GAPS, gaps);
            grec::clear();
            m.draw(4);
            const std::vector<grec::Points> lines = data_lines();
            ASSERT_EQ(lines.size(), gaps ? 2u : 1u);
            if (gaps) {
                EXPECT_EQ(lines[0].count(), 3) << "two points and the break";
                EXPECT_EQ(lines[1].count(), 2);
            } else {
                EXPECT_EQ(lines[0].count(), 4);
            }
        }
    }
    const int one = xy({{num(2), num(3)}});
    {
        SCOPED_TRACE("a later one-row dataset runs to the x maximum");
        Made m(0, a, one);
        m.set(GP_DRAWAXES, 0, 0);
        m.set(GP_DRAWAXES, 0, 1);
        grec::clear();
        m.draw(4);
        const std::vector<grec::Points> lines = data_lines();
        ASSERT_EQ(lines.size(), 2u);
        ASSERT_EQ(lines[1].count(), 2);
        EXPECT_NEAR(lines[1].at(0, 1), lines[1].at(1, 1), 0.5) << "horizontal";
        EXPECT_GT(lines[1].at(1, 0), lines[1].at(0, 0));

        // New data without re-scaling: only the last dataset, no frame.
        grec::clear();
        m.draw(2, 5);
        EXPECT_EQ(data_lines().size(), 1u);
        EXPECT_EQ(grec::count(GEP_COMMENT_OUTPUT), 0);
    }
    {
        SCOPED_TRACE("a first one-row dataset is a point");
        Made m(0, one, one);
        grec::clear();
        m.draw(4);
        const std::vector<grec::Points> lines = data_lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].count(), 1);
    }
    {
        SCOPED_TRACE("array rows join or break at their ends");
        const int arrays = gokit::load({col(DOZ_T_REAL, 3)}, {{gokit::nums({1, 2, 3})}, {gokit::nums({6, 5, 4})}});
        ASSERT_EQ(dsmgr_ds_character(arrays), DS_CH_YARRAY);
        Made m(0, arrays, arrays);
        m.set(GP_DRAWAXES, 0, 0);
        m.set(GP_DRAWAXES, 0, 1);
        for (int gaps : {0, 1}) {
            m.set(GP_AEND_GAPS, gaps);
            grec::clear();
            m.draw(4);
            const std::vector<grec::Points> lines = data_lines();
            if (gaps) {
                ASSERT_EQ(lines.size(), 2u) << "one line per array row";
                EXPECT_EQ(lines[0].count(), 3);
                EXPECT_EQ(lines[1].count(), 3);
                // Device y runs downwards.
                EXPECT_GT(lines[0].at(0, 1), lines[0].at(2, 1)) << "the first row rises";
                EXPECT_LT(lines[1].at(0, 1), lines[1].at(2, 1)) << "the second falls";
            } else {
                ASSERT_EQ(lines.size(), 1u);
                EXPECT_EQ(lines[0].count(), 6);
            }
        }
    }
    {
        SCOPED_TRACE("a dataset of another character is spread over the x range");
        const int base = xy({{num(0), num(0)}, {num(1), num(5)}, {num(3), num(2)}, {num(4), num(4)}});
        const int texts = gokit::load({col(DOZ_T_REAL)}, {{num(7)}, {num(8)}, {num(9)}}, 3);
        ASSERT_EQ(texts, base + 1);
        Made m(0, base, texts);
        m.set(GP_DRAWAXES, 0, 0);
        m.set(GP_DRAWAXES, 0, 1);
        ASSERT_NE(dsmgr_ds_character(texts), dsmgr_ds_character(base));
        grec::clear();
        m.draw(4);
        const std::vector<grec::Points> lines = data_lines();
        ASSERT_EQ(lines.size(), 2u);
        const grec::Points &spread = lines.back();
        ASSERT_EQ(spread.count(), 3);
        EXPECT_NEAR(spread.at(0, 0), lines[0].at(0, 0), 0.5) << "from X0";
        EXPECT_NEAR(spread.at(2, 0), lines[0].at(3, 0), 0.5) << "to X1";
        EXPECT_NEAR(spread.at(1, 0), (spread.at(0, 0) + spread.at(2, 0)) / 2, 0.5) << "evenly";
    }
}

// ---- legends ---------------------------------------------------------------

struct LegendDraw {
    std::vector<grec::Call> texts, boxes, lines, clears;
};

// The legend of the graph alone, drawn with legend kind `kind`.
LegendDraw legend(Made &m, int kind = 0)
{
    grec::clear();
    goleg_go_draw_legend(m.g, kind);
    return {grec::of(GEP_PUT_TEXT), grec::of(GEP_DRAW_RECTANGLE), grec::of(GEP_DRAW_LINE), grec::of(GEP_CLEAR_AREA)};
}

// Datasets d0..d0+n-1, each named by its legend text "S<n>".
struct Named : Made {
    Named(int first, int n) : Made(0, first, first + n - 1)
    {
        set(GP_LGENABLE, 1);
        set(GP_LGTEXTFONT, 0);  // a device font: the recorder gets the texts
        const double size = 1;
        goprop_go_set_property(g, GP_LGTEXTSIZE, 0, &size);
        for (int i = 0; i < n; i++) {
            const std::string t = "S" + std::to_string(i);
            goprop_go_set_property(g, GP_LGDSTEXT, i, t.c_str());
        }
        draw(4);
    }
};

std::vector<int> datasets(int n)
{
    std::vector<int> out;
    for (int i = 0; i < n; i++)
        out.push_back(xy({{num(0), num(i)}, {num(1), num(i + 1)}}));
    return out;
}

TEST_F(Kinds, LegendLayout)
{
    const std::vector<int> d = datasets(7);
    Named m(d[0], 7);
    m.set(GP_LGSTYLE, 0);
    m.set(GP_LGBORDER, 1);
    {
        SCOPED_TRACE("seven entries in three columns make three lines, across first");
        m.set(GP_LGCOLUMNS, 3);
        const LegendDraw l = legend(m);
        ASSERT_EQ(l.texts.size(), 7u);
        std::vector<double> x, y;
        for (const grec::Call &c : l.texts) {
            x.push_back(c.points[0].at(0, 0));
            y.push_back(c.points[0].at(0, 1));
        }
        EXPECT_EQ(l.texts[0].text, "S0");
        EXPECT_EQ(y[0], y[1]);
        EXPECT_EQ(y[1], y[2]);
        EXPECT_LT(x[0], x[1]);
        EXPECT_LT(x[1], x[2]);
        EXPECT_NE(y[2], y[3]) << "entry 3 starts the second line";
        EXPECT_EQ(x[3], x[0]);
        EXPECT_NEAR(y[6], y[3] + (y[3] - y[0]), 1) << "the third line, as far below";
        EXPECT_EQ(x[6], x[0]);
        std::set<double> distinct(y.begin(), y.end());
        EXPECT_EQ(distinct.size(), 3u);
        ASSERT_EQ(l.boxes.size(), 1u) << "the border only: style 0 draws no symbols";
        ASSERT_EQ(l.clears.size(), 1u) << "the box is cleared first";
        EXPECT_EQ(l.lines.size(), 0u);
        // The texts start inside the box.
        const grec::Points &corner = l.boxes[0].points[0], &size = l.boxes[0].points[1];
        for (size_t i = 0; i < x.size(); i++) {
            EXPECT_GT(x[i], corner.at(0, 0));
            EXPECT_LT(x[i], corner.at(0, 0) + size.at(0, 0));
        }
    }
    {
        SCOPED_TRACE("more columns than entries shrink the box to the entries");
        auto box = [&](int columns) {
            m.set(GP_LGCOLUMNS, columns);
            const LegendDraw l = legend(m);
            EXPECT_EQ(l.boxes.size(), 1u);
            return l.boxes.empty() ? std::pair<double, double>{0, 0}
                                   : std::pair<double, double>{l.boxes[0].points[1].at(0, 0), l.boxes[0].points[1].at(0, 1)};
        };
        EXPECT_EQ(box(20), box(7));
        EXPECT_GT(box(7).first, box(3).first);
        EXPECT_LT(box(7).second, box(3).second);
        EXPECT_EQ(box(0), box(1)) << "fewer than one column counts as one";
        EXPECT_EQ(box(-4), box(1));
    }
    {
        SCOPED_TRACE("style 0 takes the entries' colours; the other styles the title colour");
        m.set(GP_LGCOLUMNS, 1);
        m.set(GP_TITLECOLOUR, 5);
        for (int i = 0; i < 7; i++)
            m.set(GP_COLOUR, 2 + i % 3, i);
        LegendDraw l = legend(m);
        ASSERT_EQ(l.texts.size(), 7u);
        for (int i = 0; i < 7; i++)
            EXPECT_EQ(l.texts[i].text_modes.colour, 2 + i % 3);
        m.set(GP_LGSTYLE, 2);
        l = legend(m);
        ASSERT_EQ(l.texts.size(), 7u);
        ASSERT_EQ(l.lines.size(), 7u) << "a line sample for each entry";
        for (int i = 0; i < 7; i++) {
            EXPECT_EQ(l.texts[i].text_modes.colour, 5);
            EXPECT_EQ(l.lines[i].line.colour, 2 + i % 3);
            EXPECT_LT(l.lines[i].points[0].at(0, 0), l.texts[i].points[0].at(0, 0)) << "the sample before the text";
        }
    }
    {
        SCOPED_TRACE("no legend without lgenable, nor without entries");
        m.set(GP_LGENABLE, 0);
        EXPECT_TRUE(legend(m).boxes.empty());
        m.set(GP_LGENABLE, 1);
        for (int i = 0; i < 7; i++)
            goprop_go_set_property(m.g, GP_LGDSTEXT, i, "");
        const LegendDraw l = legend(m);
        EXPECT_TRUE(l.boxes.empty());
        EXPECT_TRUE(l.texts.empty());
    }
}

TEST_F(Kinds, LegendSymbols)
{
    const std::vector<int> d = datasets(2);
    Named m(d[0], 2);
    m.set(GP_LGBORDER, 0);
    m.set(GP_COLOUR, 3, 0);
    m.set(GP_HATCHSTYLE, 4, 0);
    m.set(GP_HATCHSTYLE, 4, 1);
    m.set(GP_MARKERSTYLE, 1, 0);
    m.set(GP_MARKERSTYLE, 1, 1);
    {
        SCOPED_TRACE("colour boxes: solid in the colour, or the colour map's ramp for -1");
        m.set(GP_LGSTYLE, 1);
        m.set(GP_COLOUR, -1, 1);
        const LegendDraw l = legend(m);
        ASSERT_EQ(l.boxes.size(), 1u) << "entry 0's box";
        EXPECT_EQ(l.boxes[0].fill.style, 1);
        EXPECT_EQ(l.boxes[0].fill.colour, 3);
        ASSERT_GT(l.lines.size(), 2u) << "entry 1's ramp, one band a device unit";
        for (const grec::Call &c : l.lines)
            EXPECT_EQ(c.points[0].at(0, 0), c.points[1].at(0, 0)) << "upright bands, side by side";
    }
    m.set(GP_COLOUR, 2, 1);
    m.set(GP_LGSTYLE, 2);
    struct Case {
        int kind, asline;
        int lines, boxes, marker_segments;
    } cases[] = {
        // Kinds 4 and 5 show their first dataset as a line.
        {0, 0, 2, 0, 0}, {0, 1, 2, 0, 0}, {1, 0, 0, 0, 1}, {1, 1, 2, 0, 0}, {2, 0, 0, 2, 0},
        {2, 1, 2, 0, 0}, {4, 0, 1, 0, 1}, {5, 0, 0, 1, 1}, {5, 1, 0, 2, 0}, {6, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("legend kind " + std::to_string(c.kind) + " as-line " + std::to_string(c.asline));
        m.set(GP_ASLINE, c.asline, 0);
        m.set(GP_ASLINE, c.asline, 1);
        const LegendDraw l = legend(m, c.kind);
        EXPECT_EQ(l.texts.size(), 2u);
        EXPECT_EQ(static_cast<int>(l.lines.size()), c.lines);
        EXPECT_EQ(static_cast<int>(l.boxes.size()), c.boxes);
        for (const grec::Call &b : l.boxes)
            EXPECT_EQ(b.fill.style, 2) << "hatched";
        EXPECT_EQ(grec::count(GEP_DRAW_LINES) > 0, c.marker_segments > 0);
    }
}

// The legend's border is solid (it came out dashed: the solid style went
// to the kernel as -1, which it keeps as the first dashed style), the line
// modes it saved are put back as they were, and its stroke text stands in
// proportion to the labels' (0.15 to their 0.2).
TEST_F(Kinds, TheLegendBoxIsSolidAndItsTextReadable)
{
    const std::vector<int> d = datasets(2);
    Named m(d[0], 2);
    m.set(GP_LGTEXTFONT, 1);  // the stroke font
    const double size = 0.15;
    goprop_go_set_property(m.g, GP_LGTEXTSIZE, 0, &size);
    m.set(GP_LGBORDER, 1);
    m.set(GP_LGSTYLE, 0);
    GCanvasRecord *c = m.g->canvas;
    for (long before : {0L, 1L, 4L}) {
        SCOPED_TRACE(before);
        GLineModes lm{before, 3, GFN_COPY, 0, 0};
        GSetLineModes(c, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &lm);
        const GLineModes stored = c->line;
        const LegendDraw l = legend(m);
        ASSERT_EQ(l.boxes.size(), 1u);
        EXPECT_EQ(l.boxes[0].line.style, -1) << "the border in the solid line";
        EXPECT_EQ(c->line.style, stored.style) << "the saved style is put back";
        EXPECT_EQ(c->line.colour, stored.colour);
    }
    const double canvas_height = GTransformLength(c, 4, 1, c->modes.ccextent[1] + 1);
    const std::vector<grec::Call> strokes = grec::of(GEP_DRAW_TEXT_LINES);
    ASSERT_EQ(strokes.size(), 2u);
    for (const grec::Call &t : strokes) {
        const grec::Points &p = t.points.at(0);
        double lo = 1e9, hi = -1e9;
        for (long i = 0; i < p.count(); i++) {
            lo = std::min(lo, p.at(i, 1));
            hi = std::max(hi, p.at(i, 1));
        }
        // "S0", "S1": capitals and digits.
        EXPECT_GE((hi - lo) / canvas_height, 0.75 * 0.025);
        EXPECT_LE((hi - lo) / canvas_height, 0.75 * 0.035);
    }
}

TEST_F(Kinds, ThresholdLegend)
{
    const std::vector<int> d = datasets(1);
    Named m(d[0], 1);
    m.set(GP_USETHRESH, 1);
    m.set(GP_LGSTYLE, 0);
    for (int i = 0; i < 8; i++) {
        goprop_go_set_property(m.g, GP_LGDSTEXT, i, ("T" + std::to_string(i)).c_str());
        m.set(GP_THRESH_COLOUR, 10 + i, i);
    }
    auto listed = [&] {
        std::vector<std::string> out;
        for (const grec::Call &c : legend(m).texts)
            out.push_back(c.text + "/" + std::to_string(c.text_modes.colour));
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(listed(), V{"T0/10"}) << "threshold 0 is listed without a value";
    goprop_go_set_property(m.g, GP_THRESH_VAL, 1, "5");
    goprop_go_set_property(m.g, GP_THRESH_VAL, 2, "10");
    goprop_go_set_property(m.g, GP_THRESH_VAL, 4, "20");
    EXPECT_EQ(listed(), (V{"T0/10", "T1/11", "T2/12"})) << "counting stops at threshold 3 without a value";
    goprop_go_set_property(m.g, GP_THRESH_VAL, 3, "15");
    goprop_go_set_property(m.g, GP_LGDSTEXT, 2, "");
    EXPECT_EQ(listed(), (V{"T0/10", "T1/11"})) << "and at the first without a text";
}

TEST_F(Kinds, LegendOnTheImageDevice)
{
    // The image device measures by the text limits of "Q" (height) and of
    // " " (a sixth of the unit), whatever the text.
    GoPrintSettings s{};
    s.kind = 5;
    s.destination = 1;
    snprintf(s.filename, sizeof s.filename, "/tmp/vx-legend-%d.png", static_cast<int>(getpid()));
    s.page_width = 8.5;
    s.page_height = 11;
    s.left = s.right = s.top = s.bottom = -1;
    s.image_option = 1;
    ASSERT_EQ(gomain_go_set_device_type(5, &s, 1), 1);
    ASSERT_EQ(gomain_go_open_device_id()->modes.protocol, GP_IMAGE);
    const std::vector<int> d = datasets(2);
    {
        Named m(d[0], 2);
        m.set(GP_LGSTYLE, 0);
        m.set(GP_LGBORDER, 1);
        auto box = [&](short w, short h) {
            const short limits[8] = {0, 0, 0, h, w, h, w, 0};
            std::copy_n(limits, 8, grec::answers().text_limits);
            const LegendDraw l = legend(m);
            EXPECT_EQ(l.boxes.size(), 1u);
            return l.boxes.empty() ? std::pair<double, double>{0, 0}
                                   : std::pair<double, double>{l.boxes[0].points[1].at(0, 0), l.boxes[0].points[1].at(0, 1)};
        };
        const auto small = box(40, 30), wide = box(80, 30), tall = box(40, 60);
        EXPECT_NEAR(wide.first, 2 * small.first, 3) << "every width scales with the limits";
        EXPECT_EQ(wide.second, small.second);
        EXPECT_NEAR(tall.second, 2 * small.second, 3) << "every height scales with the height of Q";
        EXPECT_EQ(tall.first, small.first);
    }
    gomain_go_close_device();
    gomain_go_set_device_type(0, nullptr, 0);
    unlink(s.filename);
}

}  // namespace
