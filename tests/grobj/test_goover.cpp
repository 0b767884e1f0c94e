// Overlays on the recording driver: the lines each overlay asks for (caught
// through installed drawing procedures, in data values), the named values
// they publish, the default procedure's lines on the device, and the
// refusals that switch overlays off.

#include "gographkit.h"

#include "goover.h"
#include "gotvar.h"

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using gokit::CanvasGraph;
using gokit::col;
using gokit::num;

struct Line {
    char kind;  // 'c' constant, 's' segment of a curve, 'n' the straight line
    double x1, y1, x2, y2;
};
std::vector<Line> &lines()
{
    static std::vector<Line> l;
    return l;
}
void catch_segment(GoGraph *, double x1, double y1, double x2, double y2) { lines().push_back({'s', x1, y1, x2, y2}); }
void catch_constant(GoGraph *, double x0, double x1, double y) { lines().push_back({'c', x0, y, x1, y}); }
void catch_straight(GoGraph *, double x1, double y1, double x2, double y2) { lines().push_back({'n', x1, y1, x2, y2}); }

int resets = 0;

class Overlays : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        GoDisplayHooks h{};
        h.show_error = gokit::record_box;
        h.reset_format_dialogs = [] { resets++; };
        go_set_display_hooks(&h);
        resets = 0;
        ASSERT_TRUE(gokit::start_graphics());
        gomain_graph_class[0] = &gokit::fake_class();
        gokit::fake_class().multi_dataset = 1;
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        goover_go_set_overlay_drawing_procs(catch_segment, catch_constant, catch_straight);
        lines().clear();
        dlmess_reset_error_suppression();
    }
    void TearDown() override
    {
        goover_go_set_overlay_drawing_procs(nullptr, nullptr, nullptr);
        gokit::fake_class().multi_dataset = 1;
        gomain_graph_class[0] = nullptr;
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
};

int xy(const std::vector<std::pair<double, double>> &points)
{
    std::vector<std::vector<gokit::Cell>> rows;
    for (auto [x, y] : points)
        rows.push_back({num(x), num(y)});
    return gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, rows, 1);
}

int from_function(int n, double x0, const std::function<double(double)> &f)
{
    std::vector<std::pair<double, double>> p;
    for (int i = 0; i < n; i++)
        p.emplace_back(x0 + i, f(x0 + i));
    return xy(p);
}

// A scaled graph over datasets first..last with its coordinates set.
struct Scaled : CanvasGraph {
    Scaled(int first, int last) : CanvasGraph(first, last)
    {
        gostd_std_setdata_scalar_graph(&g, first);
        for (int d = first + 1; d <= last; d++)
            gostd_std_setdata_scalar_graph(&g, d);
        gomain_go_set_2d_coordinates(&g);
    }
    explicit Scaled(int d) : Scaled(d, d) {}
    void on(std::initializer_list<int> overlays)
    {
        const int one = 1;
        for (int k : overlays)
            goprop_go_set_property(&g, GP_OVERLAYON, k, &one);
    }
    int is_on(int k) { return *static_cast<int *>(goprop_go_property(&g, GP_OVERLAYON, k, 0)); }
    void set(int property, int qualifier, int value) { goprop_go_set_property(&g, property, qualifier, &value); }
    std::string named(const char *name)
    {
        skip_text_eval_errors = 1;
        std::string v = goprop_eval_text(&g, (std::string("[") + name + "]").c_str());
        skip_text_eval_errors = 0;
        return v;
    }
    double number(const char *name) { return std::stod(named(name)); }
};

std::vector<Line> of_kind(char kind)
{
    std::vector<Line> out;
    for (const Line &l : lines())
        if (l.kind == kind)
            out.push_back(l);
    return out;
}

TEST_F(Overlays, LevelsAndTheirNamedValues)
{
    struct Case {
        const char *what;
        std::vector<std::pair<double, double>> points;
        double min, max, mean, sd;
    } cases[] = {
        {"five rising", {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}, 1, 5, 3, std::sqrt(2.0)},
        {"all y equal: the lines coincide, s = 0", {{1, 7}, {2, 7}, {3, 7}}, 7, 7, 7, 0},
        {"large values keep their spread", {{1, 1e9 + 1}, {2, 1e9 + 3}}, 1e9 + 1, 1e9 + 3, 1e9 + 2, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        lines().clear();
        const int d = xy(c.points);
        Scaled g(d);
        g.on({0, 1, 2, 3, 4});
        goover_go_draw_all_overlays(&g.g, d, 0);
        const std::vector<Line> k = of_kind('c');
        ASSERT_EQ(k.size(), 7u);  // min, max, mean, two for each band
        const double want[7] = {c.min, c.max, c.mean, c.mean + 2 * c.sd, c.mean - 2 * c.sd, c.mean + 3 * c.sd,
                                c.mean - 3 * c.sd};
        for (int i = 0; i < 7; i++) {
            EXPECT_NEAR(k[i].y1, want[i], 1e-6) << i;
            EXPECT_EQ(k[i].x1, g.g.xblock.min);
            EXPECT_EQ(k[i].x2, g.g.xblock.max);
        }
        EXPECT_NEAR(g.number("%MINIMUM"), c.min, 0.1);
        EXPECT_NEAR(g.number("%MAXIMUM"), c.max, 0.1);
        EXPECT_NEAR(g.number("%MEAN"), c.mean, 0.01);
        EXPECT_NEAR(g.number("%SD"), c.sd, 0.01);
    }
}

TEST_F(Overlays, NamedValuesAtTheColumnsWidthAndDecimals)
{
    // A REAL column of width 10 and 2 decimals: extra 1 for the extremes,
    // 2 for the rest.
    const int d = xy({{1, 2}, {2, 4}, {3, 6}});
    Scaled g(d);
    g.on({0, 5});
    goover_go_draw_all_overlays(&g.g, d, 0);
    EXPECT_EQ(g.named("%MINIMUM"), "      2.000");
    EXPECT_EQ(g.named("%GRADIENT"), "      2.0000");
    EXPECT_EQ(g.named("%INTERCEPT"), "      0.0000");
    const std::vector<Line> n = of_kind('n');
    ASSERT_EQ(n.size(), 1u);
    EXPECT_NEAR(n[0].y1, 2 * n[0].x1, 1e-9);
    EXPECT_NEAR(n[0].y2, 2 * n[0].x2, 1e-9);

    struct Case {
        const char *what;
        int width, precision, extra;
        double value;
        std::string want;
    } cases[] = {
        {"precision -1: exponent form at the width", 12, -1, 2, 1234.5, "1.234500e+03"},
        {"fixed at width + extra and precision + extra", 6, 1, 2, 3.14159, "   3.142"},
        {"a huge width stays bounded", 100000, 2, 2, 1, std::string(64 - 6, ' ') + "1.0000"},
        {"a huge value at many decimals stays bounded", 4, 1000, 0, 1e300, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        goover_go_set_overlay_var(&g.g, "%T", c.value, c.width, c.precision, c.extra);
        const std::string v = g.named("%T");
        if (!c.want.empty())
            EXPECT_EQ(v, c.want);
        else
            EXPECT_LT(v.size(), 512u);
    }
}

TEST_F(Overlays, OverlayVarsPublishWithoutDrawing)
{
    const int d = xy({{1, 1}, {2, 3}, {3, 5}, {4, 7}});
    Scaled g(d);
    g.set(GP_OVERLAY_VARS, 0, 1);
    grec::clear();
    goover_go_draw_all_overlays(&g.g, d, 0);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(grec::count(GEP_DRAW_LINE), 0);
    EXPECT_NEAR(g.number("%MINIMUM"), 1, 1e-9);
    EXPECT_NEAR(g.number("%MAXIMUM"), 7, 1e-9);
    EXPECT_NEAR(g.number("%MEAN"), 4, 1e-9);
    EXPECT_NEAR(g.number("%SD"), std::sqrt(5.0), 1e-3);
    EXPECT_NEAR(g.number("%GRADIENT"), 2, 1e-9);
    EXPECT_NEAR(g.number("%INTERCEPT"), -1, 1e-9);
    // The polynomial of the format's order 2 fits the line.
    EXPECT_NEAR(g.number("%POLYCOEF_0"), -1, 1e-3);
    EXPECT_NEAR(g.number("%POLYCOEF_1"), 2, 1e-3);
    EXPECT_NEAR(g.number("%POLYCOEF_2"), 0, 1e-3);
    EXPECT_NEAR(g.number("%POLYCOEF_9"), 0, 1e-9);
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(Overlays, DegenerateDataDrawsWhatItCan)
{
    struct Case {
        const char *what;
        std::vector<gokit::Cell> ys;
        std::vector<double> xs;
        size_t constants;  // overlays 0-4 on: 7 lines when there is data
        bool gradient;
    } cases[] = {
        {"one point", {num(5)}, {3}, 7, false},
        {"constant x", {num(1), num(5), num(3)}, {2, 2, 2}, 7, false},
        {"all null", {gokit::none(), gokit::none()}, {1, 2}, 0, false},
        {"two points", {num(1), num(3)}, {1, 2}, 7, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        lines().clear();
        std::vector<std::vector<gokit::Cell>> rows;
        for (size_t i = 0; i < c.ys.size(); i++)
            rows.push_back({num(c.xs[i]), c.ys[i]});
        const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, rows, 1);
        Scaled g(d);
        g.on({0, 1, 2, 3, 4, 5, 7});
        for (const char *name : {"%MEAN", "%GRADIENT", "%INTERCEPT"})
            gotvar_go_set_name_value(&g.g, name, "unset");
        goover_go_draw_all_overlays(&g.g, d, 0);
        EXPECT_EQ(of_kind('c').size(), c.constants);
        EXPECT_EQ(of_kind('n').size(), c.gradient ? 1u : 0u);
        EXPECT_EQ(g.named("%GRADIENT") != "unset", c.gradient);
        EXPECT_EQ(g.named("%MEAN") != "unset", c.constants > 0);
        for (const Line &l : lines())
            EXPECT_TRUE(std::isfinite(l.y1) && std::isfinite(l.y2));
    }
}

TEST_F(Overlays, TheSecondDatasetTakesItsOwnCountAndExtremes)
{
    std::vector<std::pair<double, double>> small, big;
    for (int i = 0; i < 10; i++)
        small.emplace_back(i, i);
    for (int i = 0; i < 731; i++)
        big.emplace_back(i, 100 + i);
    const int a = xy(small), b = xy(big);
    ASSERT_EQ(b, a + 1);
    Scaled g(a, b);
    g.on({0, 1, 2, 6, 7, 8});
    goover_go_draw_all_overlays(&g.g, b, 0);
    const std::vector<Line> k = of_kind('c');
    ASSERT_EQ(k.size(), 3u);
    EXPECT_EQ(k[0].y1, 100);
    EXPECT_EQ(k[1].y1, 830);
    EXPECT_NEAR(k[2].y1, 465, 1e-9);
    // Spline and polynomial: 511 segments each; the cumulative line 730.
    EXPECT_EQ(of_kind('s').size(), 511u + 730u + 511u);
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(Overlays, TheSplineAndThePolynomialThroughKnownCurves)
{
    auto cubic = [](double x) { return 1 - 2 * x + 0.5 * x * x + 0.25 * x * x * x; };
    {
        SCOPED_TRACE("the polynomial of order 3 recovers the cubic");
        const int d = from_function(10, -3, cubic);
        Scaled g(d);
        g.on({8});
        g.set(GP_OVLVAL, 8, 3);
        goover_go_draw_all_overlays(&g.g, d, 0);
        const double want[10] = {1, -2, 0.5, 0.25, 0, 0, 0, 0, 0, 0};
        for (int k = 0; k < 10; k++)
            EXPECT_NEAR(g.number(("%POLYCOEF_" + std::to_string(k)).c_str()), want[k], 1e-4) << k;
        const std::vector<Line> s = of_kind('s');
        ASSERT_EQ(s.size(), 511u);
        EXPECT_EQ(s.front().x1, g.g.xblock.min);
        EXPECT_EQ(s.back().x2, g.g.xblock.max);
        for (const Line &l : s)
            EXPECT_NEAR(l.y2, cubic(l.x2), 1e-6);
    }
    {
        SCOPED_TRACE("the natural spline through a cubic's points");
        lines().clear();
        const int d = from_function(21, 0, [](double x) { return x * x * x; });
        Scaled g(d);
        g.on({6});
        goover_go_draw_all_overlays(&g.g, d, 0);
        const std::vector<Line> s = of_kind('s');
        ASSERT_EQ(s.size(), 511u);
        EXPECT_NEAR(s.front().y1, 0, 1e-9);
        EXPECT_NEAR(s.back().y2, 8000, 1e-6);
        // Away from the free ends it follows the cubic closely.
        for (const Line &l : s) {
            if (l.x2 >= 6 && l.x2 <= 14) {
                EXPECT_NEAR(l.y2, l.x2 * l.x2 * l.x2, 0.01 * l.x2 * l.x2 * l.x2) << l.x2;
            }
        }
    }
    {
        SCOPED_TRACE("the spline through a line is the line");
        lines().clear();
        const int d = from_function(6, 1, [](double x) { return 3 * x - 1; });
        Scaled g(d);
        g.on({6});
        goover_go_draw_all_overlays(&g.g, d, 0);
        for (const Line &l : of_kind('s'))
            EXPECT_NEAR(l.y2, 3 * l.x2 - 1, 1e-9);
    }
}

TEST_F(Overlays, TheCumulativeLine)
{
    const int d = xy({{10, 1}, {20, 2}, {30, 3}, {40, 4}});
    Scaled g(d);
    g.on({7});
    goover_go_draw_all_overlays(&g.g, d, 0);
    const std::vector<Line> s = of_kind('s');
    ASSERT_EQ(s.size(), 3u);
    const double dx = (g.g.xblock.max - g.g.xblock.min) / 3;
    const double sums[4] = {1, 3, 6, 10};
    for (int k = 0; k < 3; k++) {
        EXPECT_NEAR(s[k].x1, g.g.xblock.min + k * dx, 1e-9);
        EXPECT_NEAR(s[k].x2, g.g.xblock.min + (k + 1) * dx, 1e-9);
        EXPECT_EQ(s[k].y1, sums[k]);
        EXPECT_EQ(s[k].y2, sums[k + 1]);
    }
}

TEST_F(Overlays, RefusalsSwitchTheOverlayOff)
{
    struct Case {
        const char *what;
        std::vector<std::pair<double, double>> points;
        int overlay;
        int order;  // ovlval 8
        const char *box;
    } cases[] = {
        {"spline on two equal x", {{1, 1}, {2, 2}, {2, 3}, {3, 4}}, 6, 2, "67/6: "},
        {"spline on x going back", {{1, 1}, {3, 2}, {1, 3}}, 6, 2, "67/6: "},
        {"spline on two points", {{1, 1}, {3, 2}}, 6, 2, "67/6: "},
        {"spline on constant x", {{2, 1}, {2, 2}, {2, 3}}, 6, 2, "67/6: "},
        {"order 3 on two points", {{1, 1}, {2, 2}}, 8, 3, "67/29: "},
        {"order -3", {{1, 1}, {2, 2}, {3, 5}}, 8, -3, "67/29: "},
        {"order 40", {{1, 1}, {2, 2}, {3, 5}}, 8, 40, "67/29: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        lines().clear();
        gokit::boxes().clear();
        resets = 0;
        const int d = xy(c.points);
        Scaled g(d);
        g.on({2, c.overlay});
        g.g.format->overlay[8].ovlval = c.order;  // past the property's check
        goover_go_draw_all_overlays(&g.g, d, 0);
        ASSERT_EQ(gokit::boxes().size(), 1u);
        EXPECT_EQ(gokit::boxes()[0].rfind(c.box, 0), 0u) << gokit::boxes()[0];
        EXPECT_EQ(g.is_on(c.overlay), 0);
        EXPECT_EQ(g.is_on(2), 1) << "the others stay";
        EXPECT_EQ(resets, 1);
        EXPECT_TRUE(of_kind('s').empty());
        EXPECT_EQ(of_kind('c').size(), 1u);
    }
}

TEST_F(Overlays, AKindOfOneDatasetSwitchesAllOff)
{
    gokit::fake_class().multi_dataset = 0;
    const int d = xy({{1, 1}, {2, 2}, {3, 3}});
    for (bool vars : {false, true}) {
        SCOPED_TRACE(vars ? "overlay_vars alone" : "overlays 1 and 5");
        gokit::boxes().clear();
        dlmess_reset_error_suppression();
        resets = 0;
        Scaled g(d);
        if (vars)
            g.set(GP_OVERLAY_VARS, 0, 1);
        else
            g.on({1, 5});
        gotvar_go_set_name_value(&g.g, "%MAXIMUM", "unset");
        goover_go_draw_all_overlays(&g.g, d, 0);
        ASSERT_EQ(gokit::boxes().size(), 1u);
        EXPECT_EQ(gokit::boxes()[0].rfind("67/5: ", 0), 0u);
        for (int k = 0; k < GO_OVERLAYS; k++)
            EXPECT_EQ(g.is_on(k), 0) << k;
        EXPECT_EQ(resets, 1);
        EXPECT_TRUE(lines().empty());
        EXPECT_EQ(g.named("%MAXIMUM"), "unset");
    }
}

// The device point of a world point.
std::array<double, 2> device_of(GCanvasRecord *c, double x, double y)
{
    double p[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}};
    GVector out{};
    EXPECT_EQ(GTransformPoints(c, GCS_WC, GCS_DC, &in, &out), 0);
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

TEST_F(Overlays, TheDefaultProceduresDrawOnTheDeviceInTheOverlaysStyle)
{
    goover_go_set_overlay_drawing_procs(nullptr, nullptr, nullptr);
    const int d = xy({{1, 2}, {2, 4}, {3, 6}, {4, 8}});
    for (int mode : {GO_AXES_SCALAR, GO_AXES_CATEGORY_X}) {
        SCOPED_TRACE(mode);
        Scaled g(d);
        g.on({2, 5});
        g.g.format->overlay[2].ovlcolour = 3;
        g.g.format->overlay[2].ovlstyle = 2;
        double shift = 0;
        gomain_go_get_non_scalar_shift(&g.g, &g.g.xblock, &g.g.yblock, mode, &shift, nullptr, nullptr, nullptr);
        EXPECT_EQ(shift != 0, mode == GO_AXES_CATEGORY_X);
        GLineModes before{};
        GGetLineModes(g.g.canvas, &before);
        grec::clear();
        goover_go_draw_all_overlays(&g.g, d, mode);
        const std::vector<grec::Call> drawn = grec::of(GEP_DRAW_LINE);
        ASSERT_EQ(drawn.size(), 2u);
        const double x0 = g.g.xblock.min + shift, x1 = g.g.xblock.max + shift;
        const auto a = device_of(g.g.canvas, x0, 5), b = device_of(g.g.canvas, x1, 5);
        EXPECT_NEAR(drawn[0].points[0].at(0, 0), a[0], 1);
        EXPECT_NEAR(drawn[0].points[0].at(0, 1), a[1], 1);
        EXPECT_NEAR(drawn[0].points[1].at(0, 0), b[0], 1);
        EXPECT_EQ(drawn[0].line.colour, 3);
        EXPECT_EQ(drawn[0].line.style, 1) << "style 2: the driver's entry 1";
        const auto c = device_of(g.g.canvas, x1, 2 * (x1 - shift));
        EXPECT_NEAR(drawn[1].points[1].at(0, 1), c[1], 1);
        GLineModes after{};
        GGetLineModes(g.g.canvas, &after);
        EXPECT_EQ(after.colour, before.colour);
        EXPECT_EQ(after.style, before.style);
    }
}

}  // namespace
