// The graph view without a window: placement both ways, resizing, picking,
// dataset compatibility, kind changes, the new-data draw flag and the draw
// guard, over the kind table's classes and test classes of their own.

#include "gographkit.h"

#include "dygrph.h"
#include "dymain.h"
#include "grkind.h"

#include "dlmess.h"
#include "vxutil.h"

#include <climits>
#include <map>

namespace {

using gokit::col;
using gokit::num;

// Test kinds registered after the kind table.
constexpr int K_SINGLE = 25, K_TRAP = 26, K_COUNT = 27;

int draws = 0;
uint64_t last_flag = ~uint64_t(0);
std::map<GoGraph *, uint64_t> flag_of;  // the last flag each graph was drawn with
int counting_draw(GoGraph *g, int, uint64_t *flags)
{
    draws++;
    last_flag = flags ? *flags : ~uint64_t(0);
    flag_of[g] = last_flag;
    return 0;
}
// Stands for an arithmetic trap in the middle of a draw.
int dividing_draw(GoGraph *, int, uint64_t *)
{
    raise(SIGFPE);
    return 0;
}

GoClass single, trap, counting;

class GraphView : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        dlmess_reset_error_suppression();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_go_initialise_objects(nullptr);
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        single = *gomain_graph_class[0];
        single.kind = K_SINGLE;
        single.multi_dataset = 0;
        trap = *gomain_graph_class[0];
        trap.kind = K_TRAP;
        trap.draw = dividing_draw;
        counting = *gomain_graph_class[0];
        counting.kind = K_COUNT;
        counting.draw = counting_draw;
        gomain_graph_class[K_SINGLE] = &single;
        gomain_graph_class[K_TRAP] = &trap;
        gomain_graph_class[K_COUNT] = &counting;
        dygrph_dy_resize(600, 450);
        draws = 0;
    }
    void TearDown() override
    {
        dygrph_dy_clear_graph(0, 0);
        gomain_graph_class[K_SINGLE] = gomain_graph_class[K_TRAP] = gomain_graph_class[K_COUNT] = nullptr;
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
    GoGraph *graph(int x, int y, int w, int h, int kind = K_COUNT)
    {
        const int r[4] = {x, y, w, h};
        GoGraph *g = dygrph_dy_new_graph(0, 0, 0, r);
        EXPECT_NE(g, nullptr);
        if (g)
            g->kind = kind;
        return g;
    }
};

int xy() { return gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, {{num(1), num(2)}, {num(2), num(5)}}, 1); }

// A dataset just arrived: the current one, not yet retained.
int arrived()
{
    const int d = xy();
    dsmgr_archive.current = d;
    return d;
}

TEST_F(GraphView, PercentAndPixels)
{
    for (auto [w, h] : {std::pair{600, 450}, std::pair{111, 37}, std::pair{4000, 3000}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        dygrph_dy_resize(w, h);
        for (const auto &pct : {std::array<int, 4>{0, 0, 100, 100}, {10, 20, 30, 40}, {33, 67, 50, 25}}) {
            int r[4] = {pct[0], pct[1], pct[2], pct[3]};
            dygrph_dy_get_display_values(r);
            EXPECT_EQ(r[0], static_cast<int>(pct[0] * (w - 10.0) / 100 + 5));
            EXPECT_GE(r[0], 5);
            EXPECT_LE(r[0] + r[2], w - 5);
            GoGraph g{};
            g.x = r[0], g.y = r[1], g.width = r[2], g.height = r[3];
            int back[4];
            dygraph_dy_get_percent_values(&g, back);
            // Pixels to percent and back lie within a percent of the inner
            // area (a pixel where a percent is less than one).
            int again[4] = {back[0], back[1], back[2], back[3]};
            dygrph_dy_get_display_values(again);
            for (int i = 0; i < 4; i++) {
                const double percent = ((i % 2 ? h : w) - 10) / 100.0;
                EXPECT_LE(std::abs(again[i] - r[i]), std::max(1.0, percent + 1)) << "field " << i;
                if (percent >= 1) {
                    EXPECT_NEAR(back[i], pct[i], 1) << "percent round trip, field " << i;
                }
            }
        }
    }
    // A canvas of 10 pixels or less has no inner area: nothing changes.
    for (int tiny : {10, 3, 0}) {
        dygrph_dy_resize(tiny, tiny);
        int r[4] = {50, 50, 50, 50};
        dygrph_dy_get_display_values(r);
        EXPECT_EQ(r[0], 50);
        GoGraph g{};
        g.width = 7;
        int p[4] = {-1, -1, -1, -1};
        dygraph_dy_get_percent_values(&g, p);
        EXPECT_EQ(p[2], -1);
    }
}

TEST_F(GraphView, ResizeKeepsProportionsAndStaysInside)
{
    GoGraph *a = graph(5, 5, 290, 200), *b = graph(300, 210, 295, 235);
    const int absolute = 0;
    goprop_go_set_property(a, GP_MARGIN_UNITS, 0, &absolute);
    int m[4] = {0, 0, 0, 0};
    const int margins[4] = {GP_LEFTMARGIN, GP_RIGHTMARGIN, GP_TOPMARGIN, GP_BOTTOMMARGIN};
    for (int i = 0; i < 4; i++)
        m[i] = *static_cast<int *>(goprop_go_property(a, margins[i], 0, 0));
    const int lgx = *static_cast<int *>(goprop_go_property(a, GP_LGXOFFSET, 0, 0));
    draws = 0;
    dygrph_dy_resize(1200, 450);
    EXPECT_EQ(draws, 2) << "every graph drawn again";
    EXPECT_EQ(a->x, 10);
    EXPECT_EQ(a->width, 580);
    EXPECT_EQ(a->y, 5);
    EXPECT_EQ(a->height, 200);
    EXPECT_EQ(b->x, (599 / 2 + 300 * 1199) / 599);
    EXPECT_LE(b->x + b->width, 1200);
    EXPECT_EQ(*static_cast<int *>(goprop_go_property(a, GP_LEFTMARGIN, 0, 0)), 2 * m[0]) << "absolute margins";
    EXPECT_EQ(*static_cast<int *>(goprop_go_property(a, GP_RIGHTMARGIN, 0, 0)), 2 * m[1]);
    EXPECT_EQ(*static_cast<int *>(goprop_go_property(a, GP_TOPMARGIN, 0, 0)), m[2]);
    EXPECT_EQ(*static_cast<int *>(goprop_go_property(a, GP_LGXOFFSET, 0, 0)), 2 * lgx) << "legend offset";
    // Shrinking far keeps both inside the canvas.
    dygrph_dy_resize(50, 40);
    for (GoGraph *g : {a, b}) {
        EXPECT_GE(g->x, 0);
        EXPECT_LE(g->x + g->width, 50);
        EXPECT_LE(g->y + g->height, 40);
    }
    // A canvas of no size gives no ratio: nothing divides by zero.
    dygrph_dy_resize(0, 0);
    dygrph_dy_resize(1, 1);
    dygrph_dy_resize(600, 450);
    EXPECT_GE(a->x, 0);
}

TEST_F(GraphView, Picking)
{
    GoGraph *big = graph(10, 10, 400, 300), *small = graph(100, 100, 100, 100);
    EXPECT_EQ(dygrph_dy_pick_graph(150, 150), small) << "nearer the small one's inner edges";
    EXPECT_EQ(dygrph_dy_pick_graph(105, 150), small);
    EXPECT_EQ(dygrph_dy_pick_graph(20, 20), big);
    EXPECT_EQ(dygrph_dy_pick_graph(500, 20), nullptr);
    EXPECT_EQ(dygrph_dy_pick_graph(410, 20), nullptr) << "the right edge is outside";
    // Equal distances: the earlier graph.
    GoGraph *twin = graph(100, 100, 100, 100);
    EXPECT_EQ(dygrph_dy_pick_graph(150, 150), small);
    (void)twin;
    // A maximised selected graph wins where it lies.
    ASSERT_EQ(dygraph_dy_select_graph(big, 1), 1);
    ASSERT_EQ(dygrph_dy_maximise_graph(), 1);
    EXPECT_EQ(dygrph_dy_pick_graph(150, 150), big);
    dygrph_dy_restore_graph(0);
    EXPECT_EQ(big->width, 400) << "restored";
    EXPECT_EQ(dygrph_dy_pick_graph(150, 150), small);
}

TEST_F(GraphView, Compatibility)
{
    const int d3 = xy(), d4 = xy();
    const int texts = gokit::load({col(DOZ_T_STRING)}, {{gokit::txt("a")}}, 1);
    GoGraph *g = graph(5, 5, 100, 100, 0);
    EXPECT_EQ(dygrph_dy_graph_dataset_compatible(nullptr, d3, 1), 0);
    EXPECT_EQ(dygrph_dy_graph_dataset_compatible(g, -1, 1), 0);
    EXPECT_TRUE(gokit::boxes().empty()) << "no message for an unset graph or dataset";
    EXPECT_EQ(dygrph_dy_graph_dataset_compatible(g, d3, 1), 1);
    ASSERT_EQ(dsmgr_ds_character(texts), 0) << "a text alone has no character";
    EXPECT_EQ(dygrph_dy_graph_dataset_compatible(g, texts, 1), 0);
    ASSERT_FALSE(gokit::boxes().empty());
    EXPECT_EQ(gokit::boxes().back().rfind("69/1:", 0), 0u);
    gokit::boxes().clear();
    g->kind = 14;  // histograms take one-column data only
    EXPECT_EQ(dygrph_dy_graph_dataset_compatible(g, d3, 1), 0);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].rfind("69/2:", 0), 0u);
    // A graph keeping dataset 3 given 4: only with several datasets.
    gokit::boxes().clear();
    g->kind = 0;
    g->first = g->last = g->kept = d3;
    EXPECT_EQ(dygrph_dy_graph_dataset_compatible(g, d4, 1), 1);
    g->kind = K_SINGLE;
    EXPECT_EQ(dygrph_dy_graph_dataset_compatible(g, d4, 1), 0);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].rfind("69/3:", 0), 0u);
    EXPECT_EQ(dygrph_dy_graph_dataset_compatible(g, d3, 1), 1) << "its own first dataset";
}

TEST_F(GraphView, KindChangeOfAZoomedGraph)
{
    GoGraph *g = graph(5, 5, 300, 200, 0);
    g->zoomed = 1;
    g->format->graphtype = 6;  // horizontal bars: no zoom
    int changed = -1;
    EXPECT_EQ(dygrph_dy_notify_property_change(0, 0, &changed), 0);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(g->kind, 0);
    EXPECT_EQ(g->format->graphtype, 0) << "put back";
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].rfind("69/9:", 0), 0u);
    g->format->graphtype = 1;  // scatter allows zoom
    EXPECT_EQ(dygrph_dy_notify_property_change(0, 0, &changed), 1);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(g->kind, 1);
}

TEST_F(GraphView, NewDataDrawFlag)
{
    GoGraph *g = graph(5, 5, 300, 200, K_COUNT);
    const int d = arrived();
    dygrph_dy_new_data(1);
    EXPECT_EQ(g->first, d);
    EXPECT_EQ(g->last, d);
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(last_flag, 0u) << "a graph that kept nothing re-scales";
    ASSERT_EQ(dygrph_dy_keep_graph(), 1);
    dygrph_dy_new_data(1);
    EXPECT_EQ(last_flag, 1u) << "it keeps exactly the dataset it shows";
    dygrph_dy_new_data(0);
    EXPECT_EQ(draws, 2) << "no draw asked";
    // A second graph takes the focus; the first keeps its data.
    GoGraph *h = graph(310, 5, 280, 200, K_COUNT);
    EXPECT_EQ(dygrph_dy_focussed_graph(), h);
    EXPECT_EQ(dygrph_dy_selected_graph(), h);
    EXPECT_EQ(g->kept, d);

    // The new graph keeps what it shows; a further dataset is drawn over
    // it, unless its properties changed since it was drawn.
    const int e = arrived();
    dygrph_dy_new_data(1);
    ASSERT_EQ(dygrph_dy_keep_graph(), 1);
    dsmgr_ds_retain();  // as Keep does
    const int f = arrived();
    ASSERT_NE(f, e);
    h->pending = 1;
    dygrph_dy_new_data(1);
    EXPECT_EQ(flag_of[h], 0u) << "properties changed: drawn whole";
    EXPECT_EQ(h->first, e);
    EXPECT_EQ(h->last, f);
    h->last = e;
    h->pending = 0;
    dygrph_dy_new_data(1);
    EXPECT_EQ(flag_of[h], 1u) << "a further dataset over the kept one";
    EXPECT_EQ(h->last, f);
    dygrph_dy_new_data(1);
    EXPECT_EQ(flag_of[h], 0u) << "it shows more than it keeps";
}

TEST_F(GraphView, TheDrawGuard)
{
    init_fpe_handling();
    struct sigaction before {};
    sigaction(SIGFPE, nullptr, &before);
    GoGraph *g = graph(5, 5, 300, 200, K_TRAP);
    EXPECT_EQ(dygrph_dy_draw_graph(g, GO_REDRAW, 0), 0);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].rfind("69/27:", 0), 0u);
    struct sigaction after {};
    sigaction(SIGFPE, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << "the handling is back";
    EXPECT_EQ(fpe_set_guard(nullptr), nullptr) << "no guard left behind";
    // The program goes on: another graph draws.
    GoGraph *h = graph(310, 5, 280, 200, K_COUNT);
    EXPECT_EQ(dygrph_dy_draw_graph(h, GO_REDRAW, 0), 1);

    // Unusable ranges: 69/32 once until new data.
    gokit::boxes().clear();
    h->first = h->last = xy();
    h->xblock.min = DBL_MAX;
    h->xblock.max = -DBL_MAX;
    draws = 0;
    EXPECT_EQ(dygrph_dy_draw_graph(h, GO_REDRAW, 0), 0);
    EXPECT_EQ(draws, 0);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].rfind("69/32:", 0), 0u);
}

TEST_F(GraphView, TheActions)
{
    GoGraph *a = graph(5, 5, 290, 200), *b = graph(300, 5, 290, 200);
    EXPECT_EQ(dygrph_dy_selected_graph(), b);
    DyRectData at{50, 50, 0, 0};
    dygrph_dy_action(nullptr, DY_SINGLE_CLICK, &at);
    EXPECT_EQ(dygrph_dy_selected_graph(), a) << "a click selects the graph under it";
    EXPECT_EQ(dygrph_dy_focussed_graph(), b) << "the focus stays";
    DyRectData nowhere{599, 449, 0, 0};
    dygrph_dy_action(nullptr, DY_SINGLE_CLICK, &nowhere);
    EXPECT_EQ(dygrph_dy_selected_graph(), a);

    const int d = arrived();
    draws = 0;
    dygrph_dy_action(nullptr, DY_NEW_DATA, nullptr);
    EXPECT_EQ(b->last, d) << "the focussed graph takes the new data";
    EXPECT_EQ(draws, 2) << "drawn, and the other graph again";
    const int no_draw = 0;
    draws = 0;
    dygrph_dy_action(nullptr, DY_NEW_DATA, const_cast<int *>(&no_draw));
    EXPECT_EQ(draws, 0);

    const int flag = dygrph_dy_select_box_flag();
    dygrph_dy_action(nullptr, DY_TOGGLE_BOX, nullptr);
    EXPECT_NE(dygrph_dy_select_box_flag(), flag);
    dygrph_dy_action(nullptr, DY_TOGGLE_BOX, nullptr);
    EXPECT_EQ(dygrph_dy_select_box_flag(), flag);

    EXPECT_EQ(gokit::stderr_of([] { dygrph_dy_action(nullptr, DY_SCROLL, nullptr); }),
              "Error! DyMgr. Unexpected action in graph mode\n");
    // A format given to the selected graph is its own copy.
    GoFormat given = *a->format;
    given.leftmargin = 123;
    dy_set_selected_graph_format(&given);
    given.leftmargin = 7;
    ASSERT_EQ(dygrph_dy_selected_graph_format(), a->format);
    EXPECT_EQ(a->format->leftmargin, 123);

    dygrph_dy_clear_graph(0, 0);
    EXPECT_EQ(gokit::stderr_of([] { dygrph_dy_action(nullptr, DY_NEW_DATA, nullptr); }),
              "Error! DyGrph. No graph has data focus!\n");
    EXPECT_EQ(gokit::stderr_of([] { EXPECT_EQ(dygrph_dy_selected_graph_format(), nullptr); }),
              "Error! DyMgr. No selected graph!\n");
}

}  // namespace
