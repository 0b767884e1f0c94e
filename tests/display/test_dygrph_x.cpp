// The graph view in the program's display window, on the test X server,
// with the installed interpreter and the demo database: a query's result
// is switched to the graph view by the View menu's accelerator and drawn as
// a line graph; the window's pixels are read back and probed where the
// graph's rectangle, its margins and its data put them.  Then the display
// shell is resized, a second graph is made and kept, the graphs are picked
// by clicks, dragged by a hold, maximised and restored, the select box
// toggled, and draws that trap or meet unusable ranges are reported.  All
// input goes through XTest; a rubber band holds the server, so its gesture
// is sent on the program's own connection once the band has started.  The
// first picture is saved as a PNG (into $VX_IMAGE_DIR when set).

#include "dygraphkit.h"  // first: gtest before the X headers

#include "dlmain.h"
#include "dlmess.h"
#include "dsmgr.h"
#include "dygrph.h"
#include "dymain.h"
#include "dypicture.h"
#include "gomain.h"
#include "goobj.h"
#include "goobjdrw.h"
#include "goobjtext.h"
#include "goprop.h"
#include "mnmisc.h"
#include "pelx.h"
#include "qymgr.h"
#include "startup.h"
#include "vxmain.h"
#include "vxtest_x.h"
#include "vxutil.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace dygk;

// ---- input ------------------------------------------------------------------------------

void click_at(int x, int y)
{
    pointer_to(x, y);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XSync(dpy(), False);
}

// The gesture a rubber band gets once it holds the server: the pointer
// through the points (canvas coordinates), then button 1 released.
std::vector<std::pair<int, int>> band_path;
void send_band_path()
{
    for (auto [x, y] : band_path)
        pointer_to(x, y);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XFlush(dpy());
    band_path.clear();
}

// The graph's rectangle on the canvas (pixels), at a step of the test.
void expect_rect(const char *step, const GoGraph *g, int x, int y, int width, int height)
{
    SCOPED_TRACE(step);
    EXPECT_EQ(g->x, x);
    EXPECT_EQ(g->y, y);
    EXPECT_EQ(g->width, width);
    EXPECT_EQ(g->height, height);
}

bool box_drawn(const Picture &p, GoGraph *g, long colour)
{
    const int x0 = g->x - 2, y0 = g->y - 2, x1 = x0 + g->width + 3, y1 = y0 + g->height + 3;
    for (auto [x, y] : {std::pair{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}, {(x0 + x1) / 2, y0}, {x0, (y0 + y1) / 2},
                        {x1, (y0 + y1) / 2}, {(x0 + x1) / 2, y1}})
        if (!near(p.at(x, y), colour))
            return false;
    return true;
}

// The y axis's division labels: left of the axis, with none reaching over
// it (they started at it and ran across), and readable: their digits stand
// 2.5 to 3.5% of the height of a 4:3 canvas as wide as the graph (15 to 20
// pixels of an 800 x 600 graph; they stood 4 or 5).  For a graph that fills
// the canvas, so that nothing else stands left of its axis.
void expect_y_labels(const char *step, const Picture &p, GoGraph *g)
{
    SCOPED_TRACE(step);
    const Frame f = frame_of(g);
    const Colours c = graph_colours();
    // Rows that hold label pixels between the graph's left edge and the axis
    // (the ticks point into the plot), as runs of rows: one run a label.
    // The lowest label, which meets the x axis's first label, is left out.
    std::vector<std::pair<int, int>> runs;
    const int last = f.bottom - 30;
    for (int y = f.top - 30; y <= last; y++) {
        bool ink = false;
        for (int x = g->x; x < f.left - 1 && !ink; x++)
            ink = near(p.at(x, y), c.foreground);
        if (ink && !runs.empty() && runs.back().second == y - 1)
            runs.back().second = y;
        else if (ink)
            runs.push_back({y, y});
    }
    if (!runs.empty() && runs.back().second == last)
        runs.pop_back();
    ASSERT_GE(runs.size(), 3u) << "labels left of the y axis";
    // The canvas units follow its longer side; a drawn stroke adds a row.
    const double canvas = 0.75 * std::max(g->width, g->height);
    for (const auto &[top, bottom] : runs) {
        const double h = bottom - top;
        EXPECT_GE(h / canvas, 0.025) << "the label in rows " << top << " to " << bottom;
        EXPECT_LE(h / canvas, 0.035) << "the label in rows " << top << " to " << bottom;
    }
    // Right of the axis, beyond its ticks, the rows of the upper labels show
    // the background (the curve rises at the right).
    for (size_t i = 0; i < 2; i++)
        for (int y = runs[i].first; y <= runs[i].second; y++)
            for (int x = f.left + 14; x < f.left + 60; x++)
                ASSERT_TRUE(near(p.at(x, y), c.background)) << "a label over the y axis at " << x << "," << y;
}

// The line graph of N*N over N as it must look in `g`'s rectangle, at
// a step of the test.
void expect_line_graph(const char *step, const Picture &p, GoGraph *g)
{
    SCOPED_TRACE(step);
    const Colours c = graph_colours();
    const Frame f = frame_of(g);
    // The world window's corners are the plot area's.
    GCanvasModes m{};
    GGetCanvasModes(g->canvas, &m);
    const auto lo = pixel(g, m.world[0], m.world[1]), hi = pixel(g, m.world[3], m.world[4]);
    EXPECT_NEAR(lo[0], f.left, 2);
    EXPECT_NEAR(lo[1], f.bottom, 2);
    EXPECT_NEAR(hi[0], f.right, 2);
    EXPECT_NEAR(hi[1], f.top, 2);
    // The filled background, above the curve and beside it.
    EXPECT_TRUE(near(p.at(f.left + (f.right - f.left) / 10, f.top + (f.bottom - f.top) / 10), c.background));
    EXPECT_TRUE(near(p.at(f.left + (f.right - f.left) * 9 / 10, f.top + (f.bottom - f.top) * 9 / 10), c.background));
    // The axes along the bottom and the left of the plot area.
    for (int k = 1; k < 4; k++) {
        const int x = f.left + (f.right - f.left) * k / 4, y = f.top + (f.bottom - f.top) * k / 4;
        EXPECT_TRUE(found(p, x, f.bottom, c.foreground)) << "the x axis at " << x;
        EXPECT_TRUE(found(p, f.left, y, c.foreground)) << "the y axis at " << y;
    }
    // The data line (the first dataset's colour, 3) through ten of the
    // points, inside the plot area.
    GoTuple t{};
    t.dataset = g->first;
    int probed = 0;
    for (int i = 0; i < 50; i++, goprop_go_next_point(&t)) {
        goprop_triple_reader(&t);
        ASSERT_TRUE(t.x && t.y);
        if (i % 5 != 2)
            continue;
        const auto q = pixel(g, *t.x, *t.y);
        EXPECT_GE(q[0], f.left);
        EXPECT_LE(q[0], f.right);
        EXPECT_GE(q[1], f.top);
        EXPECT_LE(q[1], f.bottom);
        EXPECT_TRUE(found(p, q[0], q[1], 0x00ff00)) << "the line at " << q[0] << "," << q[1];
        probed++;
    }
    EXPECT_EQ(probed, 10);
}

// ---- the program -------------------------------------------------------------------------

class GraphWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        wstest::ensure_demo();
        qytest::use_installed_tree();
        start_program();
        dy_hooks.band_started = send_band_path;
    }
    static void TearDownTestSuite() { qymgr_qy_term(); }
};

int nums = -1;  // the dataset of N*N and N

TEST_F(GraphWindow, AQueryResultIsDrawnAsALineGraphAndRedrawnAtANewSize)
{
    ASSERT_FALSE(dygrph_dy_graph_mode()) << "the program starts with the table view";
    qymgr_qy_query("DISPLAY N*N, N FROM NUMS WHERE N<50", QY_WAIT, QY_FULL, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_returned_data());
    nums = dsmgr_ds_current();
    ASSERT_EQ(dsmgr_ds_rows(nums), 50);
    ASSERT_TRUE(vxdl::pump_until([] { return dsmgr_ds_printed(nums) != 0; }));

    // View, As graph by its accelerator.
    ctrl_key(XK_g);
    ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_graph_mode() != 0; }));
    GoGraph *g = dygrph_dy_selected_graph();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(dygrph_dy_focussed_graph(), g);
    EXPECT_EQ(g->kind, 0) << "a line graph";
    EXPECT_EQ(g->first, nums);
    int cw = 0, ch = 0;
    dymain_dy_get_canvas_size(&cw, &ch);
    expect_rect("as switched on", g, 5, 5, cw - 10, ch - 10);

    Picture p = shot();
    const Colours c = graph_colours();
    EXPECT_TRUE(near(p.at(1, 1), c.background)) << "the canvas in the graph background";
    EXPECT_TRUE(near(p.at(cw - 2, ch - 2), c.background));
    expect_line_graph("as switched on", p, g);
    expect_y_labels("as switched on", p, g);
    EXPECT_TRUE(box_drawn(p, g, c.foreground)) << "the select box at (x - 2, y - 2, w + 3, h + 3)";
    EXPECT_TRUE(near(p.at(g->x - 3, g->y + g->height / 2), c.background)) << "just outside the box";

    // The picture of the documentation: the whole display window.
    const char *dir = getenv("VX_IMAGE_DIR");
    const std::string path = dir ? std::string(dir) + "/graph.png" : vxtest::temp_dir("dygrph") + "/graph.png";
    Picture window = dypic::grab(dpy(), XtWindow(displevel));
    ASSERT_TRUE(dypic::save_png(window, path)) << path;
    Picture back;
    ASSERT_TRUE(dypic::load_png(path, back));
    EXPECT_TRUE(back.rgb == window.rgb);
    if (!dir)
        std::filesystem::remove_all(std::filesystem::path(path).parent_path());

    // A larger shell: the graph follows the canvas, its absolute margins
    // scaled with it, and it is drawn again at the new size.
    const int x = g->x, y = g->y, w = g->width, h = g->height, left = iprop(g, GP_LEFTMARGIN),
              bottom = iprop(g, GP_BOTTOMMARGIN);
    ASSERT_EQ(iprop(g, GP_MARGIN_UNITS), 0);
    Dimension sw = 0, sh = 0;
    XtVaGetValues(displevel, XmNwidth, &sw, XmNheight, &sh, nullptr);
    XtVaSetValues(displevel, XmNwidth, sw + 200, XmNheight, sh + 120, nullptr);
    int nw = 0, nh = 0;
    ASSERT_TRUE(vxdl::pump_until([&] {
        int lw = 0, lh = 0;
        dymain_dy_get_canvas_size(&nw, &nh);
        dygrph_dy_canvas_size(&lw, &lh);
        return nw == cw + 200 && nh == ch + 120 && lw == nw && lh == nh;
    }));
    expect_rect("after the resize", g, ((cw - 1) / 2 + x * (nw - 1)) / (cw - 1),
                ((ch - 1) / 2 + y * (nh - 1)) / (ch - 1), (cw / 2 + w * nw) / cw, (ch / 2 + h * nh) / ch);
    EXPECT_EQ(iprop(g, GP_LEFTMARGIN), static_cast<int>(std::lround(left * double(g->width) / w)));
    EXPECT_EQ(iprop(g, GP_BOTTOMMARGIN), static_cast<int>(std::lround(bottom * double(g->height) / h)));
    p = shot();
    expect_line_graph("after the resize", p, g);
    expect_y_labels("after the resize", p, g);
    EXPECT_TRUE(box_drawn(p, g, c.foreground));
}

TEST_F(GraphWindow, TwoGraphsArePickedDraggedMaximisedAndRestored)
{
    ASSERT_TRUE(dygrph_dy_graph_mode());
    GoGraph *first = dygrph_dy_selected_graph();
    ASSERT_NE(first, nullptr);
    ASSERT_GE(nums, 0);
    int cw = 0, ch = 0;
    dymain_dy_get_canvas_size(&cw, &ch);
    const Colours c = graph_colours();

    // New graph (Ctrl-N): its rectangle drawn with button 1 in the right
    // half.  The first graph keeps the data it shows; the new one, empty,
    // takes the focus and the next result.
    const int x0 = cw / 2 + 10, y0 = 30, x1 = cw - 20, y1 = ch - 30;
    ctrl_key(XK_n);
    pointer_to(x0, y0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XSync(dpy(), False);
    band_path = {{(x0 + x1) / 2, (y0 + y1) / 2}, {x1, y1}};
    int count = 0;
    ASSERT_TRUE(vxdl::pump_until([&] {
        dygraph_dy_get_graph_state(&count, nullptr, nullptr, nullptr);
        return count == 2;
    }));
    GoGraph *second = dygrph_dy_selected_graph();
    ASSERT_NE(second, first);
    EXPECT_EQ(dygrph_dy_focussed_graph(), second);
    expect_rect("the band drawn", second, x0, y0, x1 - x0, y1 - y0);
    EXPECT_EQ(second->first, -1);
    EXPECT_EQ(first->kept, nums) << "the first graph keeps its data";
    EXPECT_EQ(first->last, nums);
    Picture p = shot();
    EXPECT_TRUE(box_drawn(p, second, c.foreground));
    EXPECT_TRUE(near(p.at(first->x - 2, first->y + first->height / 2), c.background)) << "the first box erased";

    qymgr_qy_query("DISPLAY N*N, N FROM NUMS WHERE N<50", QY_WAIT, QY_FULL, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_returned_data());
    const int more = dsmgr_ds_current();
    ASSERT_NE(more, nums);
    ASSERT_TRUE(vxdl::pump_until([&] { return second->last == more; }));
    EXPECT_EQ(first->last, nums);
    p = shot();
    for (GoGraph *g : {first, second})
        expect_line_graph(g == first ? "the first graph" : "the new graph", p, g);

    // Keep (Ctrl-K): the new graph keeps its data too.
    ctrl_key(XK_k);
    ASSERT_TRUE(vxdl::pump_until([&] { return second->kept == more; }));

    // A click in the first graph's free part selects it; one in the second
    // moves the box back.
    click_at(first->x + 20, first->y + first->height / 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return dygrph_dy_selected_graph() == first; }));
    p = shot();
    EXPECT_TRUE(box_drawn(p, first, c.foreground));
    click_at(second->x + second->width / 2, second->y + second->height / 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return dygrph_dy_selected_graph() == second; }));
    p = shot();
    EXPECT_TRUE(box_drawn(p, second, c.foreground));
    EXPECT_TRUE(near(p.at(first->x - 2, first->y + first->height / 2), c.background));
    EXPECT_EQ(dygrph_dy_focussed_graph(), second) << "clicks leave the focus";

    // A hold drags the second graph 100 pixels to the left.
    const int sx = second->x, sy = second->y, sw = second->width, sh = second->height;
    const int px = sx + sw / 2, py = sy + sh / 2;
    pointer_to(px, py);
    band_path = {{px - 50, py}, {px - 100, py}};
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XSync(dpy(), False);
    ASSERT_TRUE(vxdl::pump_until([&] { return second->x == sx - 100; }));
    EXPECT_EQ(second->y, sy);
    EXPECT_EQ(second->width, sw);
    EXPECT_EQ(second->height, sh);
    p = shot();
    expect_line_graph("moved", p, second);
    EXPECT_TRUE(box_drawn(p, second, c.foreground));

    // Maximise (Ctrl-X) fills the canvas; Restore (Ctrl-R) puts it back.
    ctrl_key(XK_x);
    ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_is_maximised() != 0; }));
    expect_rect("maximised", second, 5, 5, cw - 10, ch - 10);
    p = shot();
    expect_line_graph("maximised", p, second);
    ctrl_key(XK_r);
    ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_is_maximised() == 0; }));
    expect_rect("restored", second, sx - 100, sy, sw, sh);
    p = shot();
    expect_line_graph("restored", p, second);
    EXPECT_TRUE(box_drawn(p, second, c.foreground));

    // Ctrl-B on the canvas takes the select box away and brings it back.
    ctrl_key(XK_b);
    ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_select_box_flag() == 0; }));
    p = shot();
    EXPECT_FALSE(box_drawn(p, second, c.foreground));
    ctrl_key(XK_b);
    ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_select_box_flag() == 1; }));
    p = shot();
    EXPECT_TRUE(box_drawn(p, second, c.foreground));
}

// Objects placed in pixels, percent and data, and in pixels on the plot
// space: after a maximise and a restore only the pixel offsets have scaled,
// each by its own ratio, the plot space's not; after a resize of the window
// the plot space's too.
TEST_F(GraphWindow, AnnotationOffsetsInPixelsFollowTheGraphsSize)
{
    ASSERT_TRUE(dygrph_dy_graph_mode());
    GoGraph *g = dygrph_dy_selected_graph();
    ASSERT_NE(g, nullptr);
    struct Placed {
        const char *what;
        int frame, unit;
        bool on_maximise, on_resize;
        int id = -1;
    } placed[] = {
        {"area in pixels", OBJ_FRAME_AREA, OBJ_UNIT_PIXELS, true, true},
        {"area in percent", OBJ_FRAME_AREA, OBJ_UNIT_PERCENT, false, false},
        {"data", OBJ_FRAME_DATA, OBJ_UNIT_PIXELS, false, false},
        {"plot space in pixels", OBJ_FRAME_PLOT, OBJ_UNIT_PIXELS, false, true},
    };
    for (Placed &p : placed) {
        p.id = gobj_go_set_text_object(g, -1, p.what, nullptr);
        ASSERT_GE(p.id, 228);
        const double h = 100, v = 50;
        goprop_go_set_property(g, GP_POSITION, p.id, &p.frame);
        goprop_go_set_property(g, GP_HUNIT, p.id, &p.unit);
        goprop_go_set_property(g, GP_VUNIT, p.id, &p.unit);
        goprop_go_set_property(g, GP_HOFFSET, p.id, &h);
        goprop_go_set_property(g, GP_VOFFSET, p.id, &v);
    }
    auto offset = [&](int property, int id) {
        return *static_cast<const double *>(goprop_go_property(g, property, id, 0));
    };
    auto expect_offsets = [&](const char *step, double wr, double hr, bool resize) {
        SCOPED_TRACE(step);
        for (const Placed &p : placed) {
            SCOPED_TRACE(p.what);
            const bool scales = resize ? p.on_resize : p.on_maximise;
            EXPECT_NEAR(offset(GP_HOFFSET, p.id), scales ? 100 * wr : 100, 1e-9);
            EXPECT_NEAR(offset(GP_VOFFSET, p.id), scales ? 50 * hr : 50, 1e-9);
        }
    };

    const int w = g->width, h = g->height;
    ctrl_key(XK_x);
    ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_is_maximised() != 0; }));
    ASSERT_NE(g->width, w);
    expect_offsets("maximised", double(g->width) / w, double(g->height) / h, false);
    ctrl_key(XK_r);
    ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_is_maximised() == 0; }));
    expect_offsets("restored", 1, 1, false);

    Dimension sw = 0, sh = 0;
    XtVaGetValues(displevel, XmNwidth, &sw, XmNheight, &sh, nullptr);
    int cw = 0, ch = 0;
    dymain_dy_get_canvas_size(&cw, &ch);
    XtVaSetValues(displevel, XmNwidth, sw - 100, XmNheight, sh + 60, nullptr);
    ASSERT_TRUE(vxdl::pump_until([&] {
        int nw = 0, nh = 0, lw = 0, lh = 0;
        dymain_dy_get_canvas_size(&nw, &nh);
        dygrph_dy_canvas_size(&lw, &lh);
        return nw == cw - 100 && nh == ch + 60 && lw == nw && lh == nh;
    }));
    ASSERT_NE(g->width, w);
    expect_offsets("the window resized", double(g->width) / w, double(g->height) / h, true);
    for (const Placed &p : placed)
        gobj_go_set_text_object(g, p.id, "", nullptr);
}

// A text object's anchor in canvas pixels.
std::array<int, 2> anchor_pixel(GoGraph *g, int id)
{
    auto *t = static_cast<Text *>(gobj_go_get_an_object(g, id));
    if (!t)
        return {-1, -1};
    const double in[3] = {t->anchor[0], t->anchor[1], 0};
    double out[3];
    gcoords_GApplyPart(&g->canvas->xf[GX_CC].forward, in, out);
    return {static_cast<int>(std::lround(out[0])), static_cast<int>(std::lround(out[1]))};
}

// The annotation texts as the display window edits them: the title found
// at its pixels with its body and an outline around its ink; a new text
// set at a point holds it; a user text emptied goes with its arrows; a
// text placed in percent keeps its share of the graph when the window is
// resized.
TEST_F(GraphWindow, AnnotationTextsAreFoundSetAndRemoved)
{
    GoGraph *g = dygrph_dy_selected_graph();
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(dygrph_dy_set_text(0, "Revenue by day", nullptr, 1), 1);
    Picture p = shot();
    const Colours c = graph_colours();
    // The title's ink: above its anchor, 90% up the graph (the foot of the
    // title's box), across the graph's middle.
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
    const auto anchor = anchor_pixel(g, 0);
    EXPECT_NEAR(anchor[1], g->y + 0.1 * g->height, 2);
    for (int y = g->y + 2; y <= anchor[1]; y++)
        for (int x = g->x + g->width / 4; x < g->x + 3 * g->width / 4; x++)
            if (near(p.at(x, y), c.foreground)) {
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
    ASSERT_GE(x1, 0) << "the title is drawn";
    EXPECT_GT(x1 - x0, 30) << "a title of some width";
    EXPECT_NEAR((x0 + x1) / 2.0, anchor[0], 4) << "centred on its anchor";

    int id = -1, outline[8] = {};
    const char *body = nullptr;
    GoTextAdjust adjust = nullptr;
    ASSERT_EQ(dygrph_dy_get_text((x0 + x1) / 2, (y0 + y1) / 2, &id, &body, outline, &adjust), 1);
    EXPECT_EQ(id, 0);
    EXPECT_STREQ(body, "Revenue by day");
    EXPECT_NE(adjust, nullptr);
    int ox0 = 1 << 20, oy0 = 1 << 20, ox1 = -(1 << 20), oy1 = -(1 << 20);
    for (int k = 0; k < 4; k++) {
        ox0 = std::min(ox0, anchor[0] + outline[2 * k]), ox1 = std::max(ox1, anchor[0] + outline[2 * k]);
        oy0 = std::min(oy0, anchor[1] + outline[2 * k + 1]), oy1 = std::max(oy1, anchor[1] + outline[2 * k + 1]);
    }
    EXPECT_LE(ox0, x0 + 1);
    EXPECT_GE(ox1, x1 - 1);
    EXPECT_LE(oy0, y0 + 1);
    EXPECT_GE(oy1, y1 - 1);
    EXPECT_LT(ox1 - ox0, 2 * (x1 - x0) + 10) << "around the ink, not far beyond it";
    EXPECT_LT(oy1 - oy0, 3 * (y1 - y0) + 10);
    EXPECT_EQ(dygrph_dy_get_text(g->x + 3, g->y + g->height - 3, &id, &body, outline, nullptr), 0) << "no text";

    // A new text set at a point holds it; it is found there.
    const int user = dygrph_dy_new_text();
    ASSERT_GE(user, 228);
    const int at[2] = {g->x + g->width / 3, g->y + g->height / 2};
    ASSERT_EQ(dygrph_dy_set_text(user, "Here", at, 1), 1);
    const auto held = anchor_pixel(g, user);
    EXPECT_NEAR(held[0], at[0], 1);
    EXPECT_NEAR(held[1], at[1], 1);
    ASSERT_EQ(dygrph_dy_get_text(at[0], at[1] + 4, &id, &body, outline, nullptr), 1);
    EXPECT_EQ(id, user);
    EXPECT_STREQ(body, "Here");

    // Emptied, it goes, and its arrows with it.
    const int arrow = gobj_go_create_arrow(g, user);
    ASSERT_GE(arrow, 228);
    ASSERT_EQ(dygrph_dy_set_text(user, "", nullptr, 1), 1);
    EXPECT_EQ(gobj_go_get_an_object(g, user), nullptr);
    EXPECT_EQ(gobj_go_get_an_object(g, arrow), nullptr);
    EXPECT_EQ(dygrph_dy_get_text(at[0], at[1] + 4, &id, &body, outline, nullptr), 0);

    // Placed at 25%, 50% of the graph area: after a resize of the window
    // the text stands at the same share of the new size.
    const int placed = dygrph_dy_new_text();
    const double h = 25, v = 50;
    goprop_go_set_property(g, GP_HOFFSET, placed, &h);
    goprop_go_set_property(g, GP_VOFFSET, placed, &v);
    ASSERT_EQ(dygrph_dy_set_text(placed, "Kept", nullptr, 1), 1);
    auto share = [&] {
        const auto a = anchor_pixel(g, placed);
        return std::array<double, 2>{double(a[0] - g->x) / g->width, double(a[1] - g->y) / g->height};
    };
    const auto before = share();
    EXPECT_NEAR(before[0], 0.25, 0.01);
    EXPECT_NEAR(before[1], 0.5, 0.01);
    const int w = g->width;
    Dimension sw = 0, sh = 0;
    XtVaGetValues(displevel, XmNwidth, &sw, XmNheight, &sh, nullptr);
    XtVaSetValues(displevel, XmNwidth, sw + 80, XmNheight, sh - 40, nullptr);
    ASSERT_TRUE(vxdl::pump_until([&] { return g->width != w; }));
    shot();
    EXPECT_EQ(*static_cast<const double *>(goprop_go_property(g, GP_HOFFSET, placed, 0)), 25);
    const auto after = share();
    EXPECT_NEAR(after[0], 0.25, 0.01);
    EXPECT_NEAR(after[1], 0.5, 0.01);
    gobj_go_set_text_object(g, placed, "", nullptr);
    gobj_go_set_text_object(g, 0, "", nullptr);
    XtVaSetValues(displevel, XmNwidth, sw, XmNheight, sh, nullptr);
    ASSERT_TRUE(vxdl::pump_until([&] { return g->width == w; }));
}

// A kind whose draw divides by zero.
constexpr int K_DIVIDING = 25;
GoClass dividing;
volatile int zero = 0;
__attribute__((no_sanitize("undefined"))) int dividing_draw(GoGraph *, int, uint64_t *)
{
    volatile int n = 1;
    n = n / zero;
    return n;
}

TEST_F(GraphWindow, ATrappedDrawAndUnusableRangesAreReportedAndTheProgramGoesOn)
{
    ASSERT_TRUE(dygrph_dy_graph_mode());
    GoGraph *g = dygrph_dy_selected_graph();
    ASSERT_NE(g, nullptr);
    int count = 0;
    dygraph_dy_get_graph_state(&count, nullptr, nullptr, nullptr);
    ASSERT_EQ(count, 2);
    GoGraph *ids[2];
    dygraph_dy_get_graph_ids(ids);
    GoGraph *other = ids[0] == g ? ids[1] : ids[0];

    dividing = *gomain_graph_class[0];
    dividing.kind = K_DIVIDING;
    dividing.draw = dividing_draw;
    gomain_graph_class[K_DIVIDING] = &dividing;
    struct sigaction before {};
    sigaction(SIGFPE, nullptr, &before);
    const int kind = g->kind;
    g->kind = K_DIVIDING;
    {
        ErrorBoxes boxes;
        dymain_dy_refresh_display();
        ASSERT_TRUE(vxdl::pump_until([&] { return !boxes.texts.empty(); }));
        vxdl::pump_idle();
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0], "An arithmetic error stopped the drawing of the graph.");
    }
    struct sigaction now {};
    sigaction(SIGFPE, nullptr, &now);
    EXPECT_EQ(now.sa_handler, before.sa_handler) << "the handling is back";
    EXPECT_EQ(fpe_set_guard(nullptr), nullptr) << "no guard left behind";
    g->kind = kind;
    gomain_graph_class[K_DIVIDING] = nullptr;
    // The program goes on: both graphs are drawn again.
    dymain_dy_refresh_display();
    Picture p = shot();
    for (GoGraph *each : {g, other})
        expect_line_graph(each == g ? "the trapped graph" : "the other graph", p, each);

    // Unusable ranges: the other graph's x range emptied.  The error is
    // shown once however often it is drawn, until new data arrive.
    other->xblock.min = DBL_MAX;
    other->xblock.max = -DBL_MAX;
    {
        ErrorBoxes boxes;
        for (int i = 0; i < 3; i++) {
            dymain_dy_refresh_display();
            vxdl::pump_idle();
        }
        ASSERT_TRUE(vxdl::pump_until([&] { return !boxes.texts.empty(); }));
        vxdl::pump_idle();
        EXPECT_EQ(boxes.texts, std::vector<std::string>{"The data ranges of the graph cannot be drawn."});
    }
    {
        ErrorBoxes boxes;
        qymgr_qy_query("DISPLAY N, N*N FROM NUMS WHERE N<20", QY_WAIT, QY_FULL, QY_REPORT);
        ASSERT_TRUE(qymgr_qy_returned_data());
        ASSERT_TRUE(vxdl::pump_until([&] { return !boxes.texts.empty(); })) << "shown again after new data";
        vxdl::pump_idle();
        EXPECT_EQ(boxes.texts, std::vector<std::string>{"The data ranges of the graph cannot be drawn."});
    }
}

}  // namespace
