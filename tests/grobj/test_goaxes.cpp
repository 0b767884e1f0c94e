// The frame of a graph on the recording driver: axes, ticks, grid lines,
// division labels, arcs, text origins and zoom extents.

#include "gographkit.h"

#include "goaxes.h"
#include "gpinit.h"
#include "gsformat.h"
#include "vxdate.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <unistd.h>

namespace {

using gokit::CanvasGraph;
using gokit::col;
using gokit::num;
using gokit::txt;

class Axes : public ::testing::Test {
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

// A linear scale first..last by `div`, `steps` small steps per division.
void linear(GoAxisBlock &b, double first, double last, double div, int steps, double origin)
{
    ScaleRec &r = b.scale;
    scale_ClearScaleStuff(&r);
    scale_SetScaleType(&r, SCALE_LINEAR);
    scale_SetScaleMin(&r, first, 2);
    scale_SetScaleMax(&r, last, 2);
    scale_SetScaleDiv(&r, div, 2);
    scale_SetScaleNumSmallDivs(&r, steps, 2);
    (void)origin;  // the first division serves
    int code = 0;
    ASSERT_LT(scale_ScaleAxis(&r, &code), 2) << code;
}

// The graph of the frame tests: x and y both 0..10 by 2, one small tick
// between divisions, world window 0..10 square.
struct Frame : CanvasGraph {
    explicit Frame(int first = -1) : CanvasGraph(first, first)
    {
        linear(g.xblock, 0, 10, 2, 2, 0);
        linear(g.yblock, 0, 10, 2, 2, 0);
        linear(g.zblock, 0, 10, 2, 2, 0);
        gomain_go_set_2d_coordinates(&g);
        set(GP_LABELFONT, 0);  // the device font: labels reach the driver as texts
    }
    void set(int p, int v, int q = 0) { goprop_go_set_property(&g, p, q, &v); }
};

// A world point in device coordinates.
void device(GCanvasRecord *c, double x, double y, double out[2])
{
    double p[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}}, o{};
    ASSERT_EQ(GTransformPoints(c, GCS_WC, GCS_DC, &in, &o), 0);
    out[0] = gvector_GGetValue(&o, 0, 0);
    out[1] = gvector_GGetValue(&o, 0, 1);
    gvector_GFreeVectorData(&o);
}

std::vector<std::string> comments()
{
    std::vector<std::string> out;
    for (const grec::Call &c : grec::of(GEP_COMMENT_OUTPUT))
        out.push_back(c.text);
    return out;
}

// The lines drawn after the comment `from` and before the next comment.
std::vector<grec::Call> lines_after(const std::string &from)
{
    std::vector<grec::Call> out;
    bool in = from.empty();
    for (const grec::Call &c : grec::calls()) {
        if (c.slot == GEP_COMMENT_OUTPUT) {
            in = c.text == from;
            continue;
        }
        if (in && c.slot == GEP_DRAW_LINE)
            out.push_back(c);
    }
    return out;
}

TEST_F(Axes, TheFrameOfA2DGraph)
{
    Frame f;
    ASSERT_NE(f.g.canvas, nullptr);
    double origin[2], top[2];
    device(f.g.canvas, 0, 0, origin);
    device(f.g.canvas, 0, 10, top);

    struct Case {
        const char *what;
        int axis_mode, drawx, xgrid, zoomed;
        std::vector<std::string> comments;
        int xticks;        // lines after "Drawing X Axis Ticks" (ticks and grid lines)
        int long_ticks;    // of them with the long tick length
        int down;          // x ticks pointing below the axis (outward)
        int grid;          // vertical lines spanning the plot
    } cases[] = {
        {"scalar axes", 0, 1, 0, 0,
         {"Drawing Y Axis", "Drawing Y Axis Ticks", "Drawing X Axis", "Drawing X Axis Ticks"}, 10, 5, 0, 0},
        {"bars: outward, crossing tick kept", 1, 1, 0, 0,
         {"Drawing Y Axis", "Drawing Y Axis Ticks", "Drawing X Axis", "Drawing X Axis Ticks"}, 10, 5, 10, 0},
        {"grid lines", 0, 1, 1, 0,
         {"Drawing Y Axis", "Drawing Y Axis Ticks", "Drawing X Axis", "Drawing X Axis Ticks"}, 15, 5, 0, 5},
        {"x axis off: grid lines only", 0, 0, 1, 0, {"Drawing Y Axis", "Drawing Y Axis Ticks"}, -1, 0, 0, 5},
        {"zoomed: a tick at the first x", 0, 1, 0, 1,
         {"Drawing Y Axis", "Drawing Y Axis Ticks", "Drawing X Axis", "Drawing X Axis Ticks"}, 11, 6, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        f.set(GP_DRAWAXES, c.drawx, 0);
        f.set(GP_XLONGTICKS, c.xgrid);
        f.set(GP_LONGTICKLEN, 20);
        f.set(GP_SMALLTICKLEN, 10);
        GoZoomWindow z{10, 1, 9, 1, 0, 0};
        f.g.zoomed = c.zoomed;
        f.g.zoom = c.zoomed ? &z : nullptr;
        if (c.zoomed) {
            f.g.zoom->xmin = 1;  // not on a division
            f.g.zoom->xmax = 10;
            f.g.zoom->ymin = 0;
            f.g.zoom->ymax = 10;
        }
        grec::clear();
        gomain_go_draw_2d_axes(&f.g, c.axis_mode);
        f.g.zoom = nullptr;
        f.g.zoomed = 0;
        EXPECT_EQ(comments(), c.comments);
        if (c.xticks >= 0) {
            const std::vector<grec::Call> ticks = lines_after("Drawing X Axis Ticks");
            EXPECT_EQ(static_cast<int>(ticks.size()), c.xticks);
            int longs = 0, down = 0;
            const double longlen = std::fabs(GTransformLength(f.g.canvas, 6, 1, 20));
            for (const grec::Call &t : ticks) {
                const double y0 = t.points[0].at(0, 1), y1 = t.points[1].at(0, 1);
                const double x0 = t.points[0].at(0, 0), x1 = t.points[1].at(0, 0);
                if (std::fabs(y1 - y0) >= std::fabs(top[1] - origin[1]) - 1)
                    continue;  // a grid line
                EXPECT_NEAR(x0, x1, 0.5) << "ticks of the x axis are vertical";
                EXPECT_NEAR(y0, origin[1], 1) << "ticks start on the axis";
                // World length of the long tick in device units, roughly.
                double tip[2];
                device(f.g.canvas, 0, longlen, tip);
                if (std::fabs(std::fabs(y1 - y0) - std::fabs(tip[1] - origin[1])) <= 1)
                    longs++;
                const bool towards_top = (y1 - y0) * (top[1] - origin[1]) > 0;
                down += towards_top ? 0 : 1;
                EXPECT_TRUE(c.axis_mode != 0 || std::fabs(x0 - origin[0]) > 0.5 || c.zoomed)
                    << "no inward tick at the crossing";
            }
            EXPECT_EQ(longs, c.long_ticks);
            EXPECT_EQ(down, c.down);
        }
        int grid = 0;
        const std::vector<grec::Call> yaxis = lines_after("Drawing Y Axis");
        for (const grec::Call &l : grec::of(GEP_DRAW_LINE))
            if (yaxis.empty() || l.points[0].values != yaxis[0].points[0].values)
            if (std::fabs(l.points[0].at(0, 0) - l.points[1].at(0, 0)) < 0.5 &&
                std::fabs(l.points[0].at(0, 0) - origin[0]) > 0.5 &&
                std::fabs(l.points[1].at(0, 1) - l.points[0].at(0, 1)) >= std::fabs(top[1] - origin[1]) - 1)
                grid++;
        EXPECT_EQ(grid, c.grid);
    }
}

TEST_F(Axes, BordersAndTheAxisLine)
{
    Frame f;
    f.set(GP_CANVASBORDER, 1);
    f.set(GP_PLOTBORDER, 0);
    f.set(GP_AXISCOLOUR, 4);
    const int style = *static_cast<const int *>(goprop_go_property(&f.g, GP_AXISSTYLE, 0, 0)) == 0 ? 1 : 0;
    f.set(GP_AXISSTYLE, style);
    const int selector = f.g.canvas->modes.coords;
    grec::clear();
    gomain_go_draw_borders(&f.g);
    gomain_go_draw_2d_axes(&f.g, 0);
    const std::vector<grec::Call> axis = lines_after("Drawing X Axis");
    ASSERT_EQ(axis.size(), 1u);
    EXPECT_EQ(axis[0].line.colour, 4);
    EXPECT_EQ(axis[0].line.style, style - 1) << "the kernel keeps styles from 0";
    double a[2], b[2];
    device(f.g.canvas, 0, 0, a);
    device(f.g.canvas, 10, 0, b);
    EXPECT_NEAR(axis[0].points[0].at(0, 0), a[0], 1);
    EXPECT_NEAR(axis[0].points[1].at(0, 0), b[0], 1);
    EXPECT_EQ(f.g.canvas->modes.coords, selector) << "the selector is put back";
}

TEST_F(Axes, TextOriginsAndLabelAngles)
{
    // q = 0..3; not reversed and reversed; exact and otherwise.
    const int want[4][2][2] = {{{1, 2}, {7, 6}}, {{5, 8}, {3, 0}}, {{7, 6}, {1, 2}}, {{3, 0}, {5, 8}}};
    for (int q = 0; q < 4; q++)
        for (int rev = 0; rev < 2; rev++)
            for (int exact = 0; exact < 2; exact++) {
                SCOPED_TRACE(testing::Message() << "q " << q << " reversed " << rev << " exact " << exact);
                const int angle = q * 90 + (exact ? 0 : 30);
                // An x axis pointing left (180) is reversed; a y axis by its
                // side: the labels of a left-hand axis (right side 0) stand
                // left of it, the reversed side of an upward axis.  (Taking
                // the right side as reversed ran the main axis's labels over
                // the axis.)
                EXPECT_EQ(go_pick_text_org(rev ? 180 : 0, angle + (rev ? 180 : 0), 0, 0), want[q][rev][exact ? 0 : 1]);
                EXPECT_EQ(go_pick_text_org(90, angle + 90, 1, rev ? 0 : 1), want[q][rev][exact ? 0 : 1]);
            }
    EXPECT_EQ(go_pick_text_org(270, 270 + 360, 0, 0), 7) << "270 lies in the reversed half; angles reduce";

    Frame f;
    struct Case {
        int style, degrees, axis_type, direction;
        long angle, origin;
    } cases[] = {
        {0, 0, 0, 0, 270, 3},   // vertical x labels
        {0, 0, 1, 90, 90, 7},   // vertical y labels, their foot towards the axis
        {1, 0, 0, 0, 0, 1},     // horizontal
        {1, 0, 1, 90, 0, 5},    // ending left of the axis
        {2, 45, 0, 0, 45, 2},   // by the degrees property
        {2, 400, 0, 0, 40, 2},  // reduced into 0..359
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style << " axis " << c.axis_type);
        f.set(c.axis_type == 0 ? GP_XLABELANGLE : GP_YLABELANGLE, c.style);
        f.set(c.axis_type == 0 ? GP_XANGLEDEGS : GP_YANGLEDEGS, c.degrees);
        go_set_label_angle_and_org(&f.g, c.direction, c.axis_type, -1);
        GTextModes t{};
        GGetTextModes(f.g.canvas, &t);
        EXPECT_EQ(t.angle, c.angle * 64);
        EXPECT_EQ(t.alignment, c.origin);
    }
}

TEST_F(Axes, ZoomExtents)
{
    GoAxisBlock b{};
    linear(b, 0, 1, 0.2, 1, 0);
    EXPECT_EQ(determine_zoom_extent(&b.scale, 1), 0);
    EXPECT_EQ(determine_zoom_extent(&b.scale, 1e-3), 3);
    EXPECT_EQ(determine_zoom_extent(&b.scale, 1e-8), 6);
    EXPECT_EQ(determine_zoom_extent(&b.scale, 0.05), 2);
    EXPECT_EQ(determine_zoom_extent(&b.scale, 0), 6) << "a zero range is as fine as it gets";
}

TEST_F(Axes, Arcs)
{
    Frame f;
    const double pi = std::numbers::pi;
    struct Case {
        const char *what;
        double radius, start, end;
        long a, b;  // -1: nothing drawn
    } cases[] = {
        {"radius 0", 0, 0, pi, -1, -1},
        {"negative radius", -1, 0, pi, -1, -1},
        {"a quarter", 2, 0, pi / 2, 0, 5760},
        {"start past a turn", 2, 2 * pi + pi / 2, 2 * pi + pi, 5760, 5760},
        {"start past a turn backwards", 2, -2 * pi - pi / 2, -2 * pi, -5760, 5760},
        {"more than a turn", 2, 0, 3 * pi, 0, 23040},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        grec::clear();
        gomain_go_draw_circular_arc(f.g.canvas, 5, 5, c.radius, c.start, c.end);
        const std::vector<grec::Call> arcs = grec::of(GEP_DRAW_ARC);
        if (c.a == -1) {
            EXPECT_TRUE(arcs.empty());
            continue;
        }
        ASSERT_EQ(arcs.size(), 1u);
        EXPECT_EQ(arcs[0].ints, (std::vector<long>{c.a, c.b}));
    }
}

int categories()
{
    std::vector<std::vector<gokit::Cell>> rows = {
        {txt("A"), num(1)}, {gokit::none(), num(2)}, {txt("B"), num(3)}, {txt("C"), num(4)}, {txt("D"), num(5)}};
    return gokit::load({col(DOZ_T_STRING), col(DOZ_T_REAL)}, rows, 1);
}

std::vector<std::string> texts_after(const std::string &from)
{
    std::vector<std::string> out;
    bool in = false;
    for (const grec::Call &c : grec::calls()) {
        if (c.slot == GEP_COMMENT_OUTPUT)
            in = c.text == from;
        else if (in && c.slot == GEP_PUT_TEXT)
            out.push_back(c.text);
    }
    return out;
}

TEST_F(Axes, DivisionLabels)
{
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, {{num(0), num(0)}, {num(10), num(10)}}, 1);
    Frame f(d);
    goprop_go_set_property(&f.g, GP_XLABELFORMAT, 0, "%.1v");
    f.set(GP_LONGTICKLEN, 20);
    grec::clear();
    gomain_go_draw_division_labels(&f.g, 0);
    EXPECT_EQ(comments(), (std::vector<std::string>{"Drawing X Axis Division Labels", "Drawing Y Axis Division Labels"}));
    const std::vector<std::string> x = texts_after("Drawing X Axis Division Labels");
    EXPECT_EQ(x, (std::vector<std::string>{"0.0", "2.0", "4.0", "6.0", "8.0", "10.0"}));
    EXPECT_EQ(texts_after("Drawing Y Axis Division Labels").size(), 6u);

    // The gap below the axis: the tick space, and the long ticks too when
    // they point outward.
    auto label_y = [&](int mode) {
        grec::clear();
        gomain_go_draw_division_labels(&f.g, mode);
        for (const grec::Call &c : grec::calls())
            if (c.slot == GEP_PUT_TEXT)
                return c.points[0].at(0, 1);
        return std::nan("");
    };
    double origin[2];
    device(f.g.canvas, 0, 0, origin);
    double tick[2];
    device(f.g.canvas, 0, GTransformLength(f.g.canvas, 6, 1, 20), tick);
    const double inward = label_y(0), outward = label_y(3);
    EXPECT_GT(std::fabs(inward - origin[1]), 0.5) << "the tick space";
    EXPECT_NEAR(std::fabs(outward - inward), std::fabs(tick[1] - origin[1]), 1) << "and the long tick";
    EXPECT_GT((outward - inward) * (origin[1] - tick[1]), 0) << "further below";

    f.set(GP_DRAWAXES, 0, 0);
    grec::clear();
    gomain_go_draw_division_labels(&f.g, 0);
    EXPECT_TRUE(texts_after("Drawing X Axis Division Labels").empty()) << "no x axis, no x labels";
}

// The points of the stroke text each label drew after the comment `from`.
std::vector<grec::Points> strokes_after(const std::string &from)
{
    std::vector<grec::Points> out;
    bool in = false;
    for (const grec::Call &c : grec::calls()) {
        if (c.slot == GEP_COMMENT_OUTPUT)
            in = c.text == from;
        else if (in && c.slot == GEP_DRAW_TEXT_LINES)
            out.push_back(c.points.at(0));
    }
    return out;
}

// Division labels in the stroke font at the default label size: digits
// stand 2.5 to 3.5% of the canvas height (they stood 0.7% and could not be
// read), x labels below the x axis and y labels left of the y axis, upright
// or turned (the y labels used to start at the axis and run over it).
TEST_F(Axes, StrokeLabelsAreReadableAndStandClearOfTheirAxes)
{
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, {{num(0), num(0)}, {num(10), num(10)}}, 1);
    Frame f(d);
    f.set(GP_LABELFONT, 1);
    GCanvasRecord *c = f.g.canvas;
    double origin[2], top[2];
    device(c, 0, 0, origin);
    device(c, 0, 10, top);
    const double up = top[1] > origin[1] ? 1 : -1;  // device y may grow downwards
    const double canvas_height = GTransformLength(c, 4, 1, c->modes.ccextent[1] + 1);
    ASSERT_GT(canvas_height, 100);
    struct Case {
        const char *what;
        int style;  // label angle style: 1 horizontal, 0 along the axis
    } cases[] = {{"horizontal", 1}, {"turned", 0}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        f.set(GP_XLABELANGLE, k.style);
        f.set(GP_YLABELANGLE, k.style);
        grec::clear();
        gomain_go_draw_division_labels(&f.g, 0);
        const std::vector<grec::Points> xs = strokes_after("Drawing X Axis Division Labels"),
                                        ys = strokes_after("Drawing Y Axis Division Labels");
        ASSERT_EQ(xs.size(), 6u);
        ASSERT_EQ(ys.size(), 6u);
        for (const grec::Points &p : xs)
            for (long i = 0; i < p.count(); i++)
                ASSERT_LT((p.at(i, 1) - origin[1]) * up, -1) << "an x label reaches the x axis";
        for (const grec::Points &p : ys) {
            double lo = 1e9, hi = -1e9, lx = 1e9, hx = -1e9;
            for (long i = 0; i < p.count(); i++) {
                ASSERT_LT(p.at(i, 0), origin[0] - 1) << "a y label reaches the y axis";
                lo = std::min(lo, p.at(i, 1));
                hi = std::max(hi, p.at(i, 1));
                lx = std::min(lx, p.at(i, 0));
                hx = std::max(hx, p.at(i, 0));
            }
            // The digits' height: upright along y, turned along x.
            const double h = k.style == 1 ? hi - lo : hx - lx;
            EXPECT_GE(h / canvas_height, 0.025);
            EXPECT_LE(h / canvas_height, 0.035);
        }
    }
}

// Secondary y axes stacked without a gap: the lower axis's top label would
// sit on the bottom label of the axis continuing it, so it is left out.
// An axis whose next stack keeps a gap keeps all its labels.
TEST_F(Axes, AStackedAxisLeavesItsTopLabelToTheAxisAbove)
{
    auto series = [](std::vector<double> ys) {
        std::vector<std::vector<gokit::Cell>> rows;
        for (double y : ys)
            rows.push_back({num(y)});
        return gokit::load({col(DOZ_T_REAL)}, rows, 3);
    };
    const int a = series({1, 2}), b = series({0, 10}), c = series({20, 40});
    struct Case {
        const char *what;
        int spacing;  // of the axis stacked above
        bool top_left_out;
    } cases[] = {{"no gap: continued", 0, true}, {"a gap: not continued", 12, false}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        CanvasGraph g(a, c);
        const int zero = 0;
        goprop_go_set_property(&g.g, GP_LABELFONT, 0, &zero);
        const struct {
            int type, spacing;
        } axes[] = {{1, 5}, {3, k.spacing}};
        for (int i = 0; i < 2; i++) {
            const int on = 1;
            goprop_go_set_property(&g.g, GP_SECYAXIS, i, &on);
            goprop_go_set_property(&g.g, GP_SYTYPE, i, &axes[i].type);
            goprop_go_set_property(&g.g, GP_SYSPACING, i, &axes[i].spacing);
        }
        ASSERT_EQ(std_dataset_stats(&g.g, a, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1), 1);
        g.g.multiy = 1;
        gomy_init_multiy(&g.g);
        multiy_dataset_stats(&g.g);
        ASSERT_EQ(std_auto_scale(&g.g, GO_AXES_SCALAR), 1);
        ASSERT_EQ(gomy_go_multiy_for_dataset(&g.g, b), 0);
        ASSERT_EQ(gomy_go_multiy_axis_above(&g.g, 0), k.top_left_out ? 1 : 0);

        auto labels = [&](int dataset) {
            grec::clear();
            gomain_go_draw_multiy_division_labels(&g.g, dataset, 0);
            return texts_after("Drawing Y Axis Division Labels");
        };
        const std::vector<std::string> lower = labels(b), upper = labels(c);
        const size_t divs = size_t(scale_GetNumDivs(&g.g.secy[0].scale)) + 1;
        ASSERT_GE(divs, 3u);
        EXPECT_EQ(lower.size(), k.top_left_out ? divs - 1 : divs);
        ASSERT_FALSE(lower.empty());
        double top = 0;
        scale_GetLastDiv(&g.g.secy[0].scale, &top);
        char text[96];
        format_GFormatLabel(text, &top, DOZ_T_REAL);
        EXPECT_EQ(lower.back() == text, !k.top_left_out) << lower.back();
        EXPECT_EQ(upper.size(), size_t(scale_GetNumDivs(&g.g.secy[1].scale)) + 1) << "the top axis keeps all";
    }
}

// Date divisions go through the label formats as dates.
TEST_F(Axes, DateLabels)
{
    const int d = gokit::load({col(DOZ_T_DATE), col(DOZ_T_REAL)},
                              {{gokit::ymd(2024, 2, 27), num(0)}, {gokit::ymd(2024, 3, 2), num(10)}}, 1);
    Frame f(d);
    const double day = 86400, first = double(un_ctime(2024, 2, 27, 0, 0, 0, 2));
    linear(f.g.xblock, first, first + 4 * day, day, 1, first);
    gomain_go_set_2d_coordinates(&f.g);
    goprop_go_set_property(&f.g, GP_XLABELFORMAT, 0, "%d/%m/%Y");
    grec::clear();
    gomain_go_draw_division_labels(&f.g, 0);
    EXPECT_EQ(texts_after("Drawing X Axis Division Labels"),
              (std::vector<std::string>{"27/02/2024", "28/02/2024", "29/02/2024", "01/03/2024", "02/03/2024"}));
}

TEST_F(Axes, CategoryLabelsEveryNth)
{
    const int d = categories();
    Frame f(d);
    linear(f.g.xblock, 0, 4, 1, 1, 0);
    gomain_go_set_2d_coordinates(&f.g);
    goprop_go_set_property(&f.g, GP_XDIVISION, 0, "2");
    grec::clear();
    gomain_go_draw_division_labels(&f.g, GO_AXES_CATEGORY_X);
    EXPECT_EQ(texts_after("Drawing X Axis Division Labels"), (std::vector<std::string>{"A", "C"}));
    goprop_go_set_property(&f.g, GP_XDIVISION, 0, "0");
    grec::clear();
    gomain_go_draw_division_labels(&f.g, GO_AXES_CATEGORY_X);
    EXPECT_EQ(texts_after("Drawing X Axis Division Labels"), (std::vector<std::string>{"A", "B", "C", "D"}))
        << "below 1 labels every category";
}

TEST_F(Axes, ThreeDAxes)
{
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL), col(DOZ_T_REAL)},
                              {{num(0), num(0), num(0)}, {num(10), num(10), num(10)}}, 1);
    Frame f(d);
    gomain_go_set_3d_coordinates(&f.g);
    f.set(GP_XLONGTICKS, 1);
    grec::clear();
    gomain_go_draw_3d_axes(&f.g, 0);
    EXPECT_EQ(comments(), (std::vector<std::string>{"Drawing X Axis", "Drawing X Axis Ticks", "Drawing Y Axis",
                                                    "Drawing Y Axis Ticks", "Drawing Z Axis", "Drawing Z Axis Ticks"}));
    // Each axis: its edge, 6 long and 5 small ticks; x also has grid lines
    // on two back planes (6 divisions each), drawn before its edge.
    EXPECT_EQ(lines_after("").size(), 12u);
    EXPECT_EQ(lines_after("Drawing X Axis").size(), 1u);
    EXPECT_EQ(lines_after("Drawing Y Axis Ticks").size(), 11u);
    grec::clear();
    gomain_go_draw_3d_axes_long_ticks(&f.g, 0);
    EXPECT_TRUE(comments().empty());
    EXPECT_EQ(grec::count(GEP_DRAW_LINE), 12);
    grec::clear();
    gomain_go_draw_3d_division_labels(&f.g);
    EXPECT_EQ(comments(), (std::vector<std::string>{"Drawing X Axis Division Labels", "Drawing Y Axis Division Labels",
                                                    "Drawing Z Axis Division Labels"}));
    EXPECT_EQ(grec::count(GEP_PUT_TEXT), 18);
}

TEST_F(Axes, TheFrameInAnEpsFile)
{
    const std::string dir = testing::TempDir() + "/vx-axes-eps-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    GoPrintSettings s{};
    s.kind = 2;
    s.destination = 1;
    snprintf(s.filename, sizeof s.filename, "%s/frame.eps", dir.c_str());
    s.page_width = 8.5;
    s.page_height = 11;
    s.left = -1;
    static std::string prolog;
    prolog = gokit::build_dir() + "/etc/prolog.ps";
    GoDisplayHooks h{};
    h.show_error = gokit::record_box;
    h.ps_prolog = [] { return prolog.c_str(); };
    go_set_display_hooks(&h);
    grec::remove();
    gpinit_GInstallDriver();
    ASSERT_EQ(gomain_go_set_device_type(2, &s, 0), 1);
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, {{num(0), num(0)}, {num(10), num(10)}}, 1);
    {
        Frame f(d);
        ASSERT_NE(f.g.canvas, nullptr);
        gomain_go_draw_borders(&f.g);
        gomain_go_draw_2d_axes(&f.g, 0);
        gomain_go_draw_division_labels(&f.g, 0);
        GCloseCanvas(f.g.canvas);
        f.g.canvas = nullptr;
    }
    gomain_go_close_device();
    gomain_go_set_device_type(0, nullptr, 0);
    std::ifstream in(s.filename);
    ASSERT_TRUE(in.good());
    std::vector<std::string> seen;
    for (std::string line; std::getline(in, line);)
        if (line.find("Drawing") != std::string::npos)
            seen.push_back(line);
    // Each a PostScript comment line of its own, in the order drawn.
    EXPECT_EQ(seen, (std::vector<std::string>{"% Drawing Y Axis", "% Drawing Y Axis Ticks", "% Drawing X Axis",
                                              "% Drawing X Axis Ticks", "% Drawing X Axis Division Labels",
                                              "% Drawing Y Axis Division Labels"}));
    std::filesystem::remove_all(dir);
}

}  // namespace
