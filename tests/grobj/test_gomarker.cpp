// Data-point markers on the recording driver: where the markers stand on
// each dataset after creating, moving and finding, following by x and by
// position, the selection markers they draw (exclusive-or, the focussed
// marker's own symbol, one of two coinciding), and the value read-out.

#include "gographkit.h"

#include "gomarker.h"

#include <cmath>
#include <span>
#include <string>
#include <vector>

namespace {

using gokit::CanvasGraph;
using gokit::col;
using gokit::num;

struct Readout {
    int slot, marker;
    std::string x, y, z;
};
std::vector<Readout> readouts;
int flushes = 0;
int selstate = 0;

class Markers : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        GoDisplayHooks h{};
        h.show_error = gokit::record_box;
        h.get_selstate = [] { return selstate; };
        h.value_readout = [](int slot, int marker, const char *x, const char *y, const char *z) {
            readouts.push_back({slot, marker, x, y, z});
        };
        h.flush_value_readout = [] { flushes++; };
        go_set_display_hooks(&h);
        readouts.clear();
        flushes = 0;
        selstate = 0;
        ASSERT_TRUE(gokit::start_graphics());
        gomain_graph_class[0] = &gokit::fake_class();
        gokit::fake_class().output = gostd_std_output_graph;
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
    }
    void TearDown() override
    {
        gomarker_go_destroy_markers();
        gokit::fake_class().output = nullptr;
        gomain_graph_class[0] = nullptr;
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
};

// x, y rows; NAN y is a missing value.
int xy(const std::vector<std::pair<double, double>> &points)
{
    std::vector<std::vector<gokit::Cell>> rows;
    for (auto [x, y] : points)
        rows.push_back({num(x), std::isnan(y) ? gokit::none() : num(y)});
    return gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, rows, 1);
}

struct Scaled : CanvasGraph {
    Scaled(int first, int last) : CanvasGraph(first, last)
    {
        for (int d = first; d <= last; d++)
            gostd_std_setdata_scalar_graph(&g, d);
        gomain_go_set_2d_coordinates(&g);
    }
};

double mx(int marker, int slot) { return *gomarker_go_marker(marker, slot)->x; }
double my(int marker, int slot) { return *gomarker_go_marker(marker, slot)->y; }
bool shown(int marker, int slot) { return gomarker_go_marker(marker, slot)->shown != 0; }

TEST_F(Markers, CreatedOnTheFirstPointsWithMarkerOneFocussed)
{
    const int a = xy({{1, NAN}, {2, 20}, {3, 30}}), b = xy({{1, 5}, {2, 6}, {3, 7}});
    Scaled g(a, b);
    ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
    EXPECT_EQ(gomarker_go_marker_graph(), &g.g);
    struct Case {
        int marker, slot;
        bool shown;
        int dataset;
        double x;
    } cases[] = {
        {0, 0, true, a, 2},  // past the null point
        {0, 1, true, b, 2},  // the lead's x
        {1, 0, false, a, 2},
        {1, 1, false, b, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.marker) + "/" + std::to_string(c.slot));
        const GoMarker *m = gomarker_go_marker(c.marker, c.slot);
        EXPECT_EQ(m->shown != 0, c.shown);
        EXPECT_EQ(m->dataset, c.dataset);
        EXPECT_EQ(m->number, c.marker);
        EXPECT_EQ(m->focus, c.marker == 0 ? 1 : 0);
        if (c.shown) {
            EXPECT_EQ(*m->x, c.x);
        }
    }
    EXPECT_EQ(gomarker_go_marker(0, 2)->dataset, -1);
    EXPECT_EQ(gomarker_go_marker(0, 0)->partner, gomarker_go_marker(1, 0));
    EXPECT_EQ(gomarker_go_marker(0, 0)->next, gomarker_go_marker(0, 1));
    EXPECT_EQ(gomarker_go_marker(1, 0)->partner, nullptr);

    // Focus: -1 twice comes back to the first marker; an unknown number
    // leaves none focussed.
    EXPECT_EQ(gomarker_go_set_focussed_marker(-1), 1);
    EXPECT_EQ(gomarker_go_marker(1, 0)->focus, 1);
    EXPECT_EQ(gomarker_go_set_focussed_marker(-1), 1);
    EXPECT_EQ(gomarker_go_marker(0, 0)->focus, 1);
    EXPECT_EQ(gomarker_go_set_focussed_marker(3), 0);
    EXPECT_EQ(gomarker_go_marker(0, 0)->focus + gomarker_go_marker(1, 0)->focus, 0);
    EXPECT_EQ(gomarker_go_marker_move_next(), 0) << "nothing focussed";
}

TEST_F(Markers, MovesFollowByXOrByPosition)
{
    // The second dataset lacks x = 3; the third has a null at x = 2.
    const int a = xy({{1, 10}, {2, 20}, {3, 30}, {4, 40}});
    const int b = xy({{1, 1}, {2, 2}, {4, 4}});
    ASSERT_EQ(b, a + 1);
    const int c = xy({{1, 100}, {2, NAN}, {3, 300}, {4, 400}});
    Scaled g(a, c);
    struct Step {
        const char *what;
        int (*move)();
        int result;
        double x[3];  // the markers' x on each dataset
        bool shown[3];
    };
    const Step by_x[] = {
        {"prev at the start", gomarker_go_marker_move_prev, 0, {1, 1, 1}, {true, true, true}},
        {"next", gomarker_go_marker_move_next, 1, {2, 2, 1}, {true, true, false}},
        {"next: b has no 3", gomarker_go_marker_move_next, 1, {3, 2, 3}, {true, false, true}},
        {"next", gomarker_go_marker_move_next, 1, {4, 4, 4}, {true, true, true}},
        {"next at the end", gomarker_go_marker_move_next, 0, {4, 4, 4}, {true, true, true}},
        {"to start", gomarker_go_marker_to_start, 1, {1, 1, 1}, {true, true, true}},
        {"to end", gomarker_go_marker_to_end, 1, {4, 4, 4}, {true, true, true}},
        {"prev", gomarker_go_marker_move_prev, 1, {3, 4, 3}, {true, false, true}},
    };
    const Step by_position[] = {
        {"next", gomarker_go_marker_move_next, 1, {2, 2, 3}, {true, true, true}},
        {"next: b reaches its end", gomarker_go_marker_move_next, 1, {3, 4, 4}, {true, true, true}},
        {"next: b stays at its end", gomarker_go_marker_move_next, 1, {4, 4, 4}, {true, true, true}},
        {"next at the end", gomarker_go_marker_move_next, 0, {4, 4, 4}, {true, true, true}},
        {"prev", gomarker_go_marker_move_prev, 1, {3, 2, 3}, {true, true, true}},
    };
    for (int mode : {0, GO_FOLLOW_POSITION}) {
        selstate = mode;
        ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
        for (const Step &s : mode ? std::span<const Step>(by_position) : std::span<const Step>(by_x)) {
            SCOPED_TRACE(std::string(mode ? "by position: " : "by x: ") + s.what);
            EXPECT_EQ(s.move(), s.result);
            for (int slot = 0; slot < 3; slot++) {
                EXPECT_EQ(shown(0, slot), s.shown[slot]) << slot;
                EXPECT_EQ(mx(0, slot), s.x[slot]) << slot;
            }
        }
    }
}

TEST_F(Markers, AMoveAtEitherEndPutsThePositionBack)
{
    // Null points at both ends: the markers stop at the last value.
    const int a = xy({{1, NAN}, {2, 20}, {3, 30}, {4, NAN}});
    Scaled g(a, a);
    ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
    EXPECT_EQ(mx(0, 0), 2);
    EXPECT_EQ(gomarker_go_marker_move_prev(), 0);
    EXPECT_EQ(mx(0, 0), 2);
    EXPECT_EQ(gomarker_go_marker_move_next(), 1);
    EXPECT_EQ(gomarker_go_marker_move_next(), 0);
    EXPECT_EQ(mx(0, 0), 3);
    EXPECT_EQ(gomarker_go_marker_move_prev(), 1);
    EXPECT_EQ(mx(0, 0), 2);
    EXPECT_EQ(gomarker_go_marker_to_end(), 1);
    EXPECT_EQ(mx(0, 0), 3);
    EXPECT_EQ(my(0, 0), 30);
    EXPECT_EQ(gomarker_go_marker_next_page(), 0);
    EXPECT_EQ(gomarker_go_marker_to_start(), 1);
    EXPECT_EQ(mx(0, 0), 2);
}

// The selection-marker drawings since the last clear: their centres.
std::vector<std::array<double, 2>> drawn_markers()
{
    std::vector<std::array<double, 2>> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_LINES)) {
        EXPECT_EQ(c.line.function, GFN_XOR);
        EXPECT_EQ(c.line.colour, 1);
        double sx = 0, sy = 0;
        const long n = c.points[0].count();
        for (long i = 0; i < n; i++) {
            sx += c.points[0].at(i, 0);
            sy += c.points[0].at(i, 1);
        }
        out.push_back({sx / n, sy / n});
    }
    return out;
}

TEST_F(Markers, DrawnInExclusiveOrWithTheReadOut)
{
    // Two datasets with equal points, and a third with other y.
    const int a = xy({{1, 10}, {2, 20}}), b = xy({{1, 10}, {2, 20}}), c = xy({{1, 15}, {2, 25}});
    ASSERT_EQ(c, b + 1);
    Scaled g(a, c);
    ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
    grec::clear();
    ASSERT_EQ(gomarker_go_display_markers(), 1);
    // One marker for a and b (not none), one for c.
    const auto first = drawn_markers();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(flushes, 1);
    ASSERT_EQ(readouts.size(), 3u);
    for (int s = 0; s < 3; s++) {
        EXPECT_EQ(readouts[s].slot, s);
        EXPECT_EQ(readouts[s].marker, 0);
    }
    EXPECT_NE(readouts[0].y.find("10"), std::string::npos) << readouts[0].y;
    EXPECT_NE(readouts[2].y.find("15"), std::string::npos) << readouts[2].y;
    // Erasing draws the same again (exclusive-or) and reads nothing out.
    grec::clear();
    readouts.clear();
    ASSERT_EQ(gomarker_go_undraw_markers(), 1);
    const auto second = drawn_markers();
    ASSERT_EQ(second.size(), first.size());
    for (size_t i = 0; i < first.size(); i++)
        EXPECT_EQ(second[i], first[i]);
    EXPECT_TRUE(readouts.empty());
    EXPECT_EQ(flushes, 1);

    // The second marker, shown and focussed, draws its own symbol; its
    // position is marker 1's.
    ASSERT_EQ(gomarker_go_activate_marker(2), 1);
    ASSERT_EQ(gomarker_go_set_focussed_marker(2), 1);
    EXPECT_EQ(gomarker_go_marker_move_next(), 1);
    EXPECT_EQ(mx(1, 0), 2);
    EXPECT_EQ(mx(0, 0), 1);
    grec::clear();
    readouts.clear();
    gomarker_go_display_markers();
    EXPECT_EQ(drawn_markers().size(), 4u);
    EXPECT_EQ(readouts.size(), 6u);
    // A focussed marker that is not shown reads out empty texts.
    gomarker_go_deactivate_marker(2);
    readouts.clear();
    grec::clear();
    gomarker_go_display_markers();
    EXPECT_EQ(drawn_markers().size(), 2u);
    ASSERT_EQ(readouts.size(), 6u);
    EXPECT_EQ(readouts[1].marker, 1);
    EXPECT_EQ(readouts[1].x, "");
}

TEST_F(Markers, ReadOutsOfTextColumnsStopAtSixtyCharacters)
{
    const std::string long_text(90, 'q');
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_STRING, 0, 100), col(DOZ_T_REAL)},
                              {{num(1), gokit::txt(long_text), num(3)}}, 1);
    Scaled g(d, d);
    ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
    gomarker_go_display_markers();
    ASSERT_FALSE(readouts.empty());
    for (const Readout &r : readouts)
        for (const std::string *t : {&r.x, &r.y, &r.z})
            EXPECT_LE(t->size(), 60u);
}

TEST_F(Markers, FindTheClosestPoint)
{
    const int a = xy({{0, 0}, {1, 10}, {2, 10}, {3, 0}}), b = xy({{0, 5}, {2, 6}, {3, 7}});
    Scaled g(a, b);
    ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
    struct Case {
        const char *what;
        double x, y, z;
        int dimensions;
        double want_x;
        bool b_shown;
    } cases[] = {
        {"near the second point", 1.1, 9, 0, 0, 1, false},
        {"equally near: the first wins", 1.5, 10, 0, 0, 1, false},
        {"in x and z: y does not count", 2.9, 100, 3, 1, 3, true},
        {"in x, y and z", 2.1, 9, 2, 2, 2, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(gomarker_go_find_closest_point(c.x, c.y, 0, c.dimensions, c.z), 1);
        EXPECT_EQ(mx(0, 0), c.want_x);
        EXPECT_EQ(shown(0, 1), c.b_shown);
        if (c.b_shown) {
            EXPECT_EQ(mx(0, 1), c.want_x);
        }
    }
    // By position the other dataset takes the same point number.
    selstate = GO_FOLLOW_POSITION;
    ASSERT_EQ(gomarker_go_find_closest_point(1, 10, 0, 0, 0), 1);
    EXPECT_TRUE(shown(0, 1));
    EXPECT_EQ(mx(0, 1), 2);
}

TEST_F(Markers, NoDataNoMarkersAndOtherGraphs)
{
    // No markers: every operation does nothing.
    EXPECT_EQ(gomarker_go_display_markers(), 0);
    EXPECT_EQ(gomarker_go_marker_move_next(), 0);
    EXPECT_EQ(gomarker_go_set_focussed_marker(1), 0);
    EXPECT_EQ(gomarker_go_find_closest_point(0, 0, 0, 0, 0), 0);
    EXPECT_EQ(gomarker_go_add_dataset_markers(0), 0);
    EXPECT_EQ(gomarker_go_destroy_markers(), 0);

    // A null graph: the chains, no datasets.
    ASSERT_EQ(gomarker_go_create_markers(nullptr), 1);
    EXPECT_EQ(gomarker_go_marker(0, 0)->dataset, -1);
    EXPECT_EQ(gomarker_go_marker(0, 0)->shown, 1);
    EXPECT_EQ(gomarker_go_marker_move_next(), 0);
    EXPECT_EQ(gomarker_go_display_markers(), 0);

    // A multi-y graph draws from its second dataset; with one dataset it
    // has no data.
    const int a = xy({{1, 1}, {2, 2}}), b = xy({{1, 5}, {2, 6}});
    {
        Scaled g(a, b);
        g.g.multiy = 1;
        ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
        EXPECT_EQ(gomarker_go_marker(0, 0)->dataset, b);
        EXPECT_EQ(gomarker_go_marker(0, 1)->dataset, -1);
        g.g.last = a;
        ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
        EXPECT_EQ(gomarker_go_marker(0, 0)->dataset, -1);
        EXPECT_EQ(gomarker_go_marker_move_next(), 0);
        g.g.multiy = 0;
    }

    // Moving to another graph keeps the markers' x where it can.
    const int c = xy({{0, 1}, {1, 2}, {2, 3}, {3, 4}});
    Scaled one(a, b), other(c, c);
    ASSERT_EQ(gomarker_go_create_markers(&one.g), 1);
    ASSERT_EQ(gomarker_go_marker_move_next(), 1);
    EXPECT_EQ(mx(0, 0), 2);
    ASSERT_EQ(go_change_marker_graph(&other.g), 1);
    EXPECT_EQ(gomarker_go_marker_graph(), &other.g);
    EXPECT_EQ(gomarker_go_marker(0, 0)->dataset, c);
    EXPECT_EQ(mx(0, 0), 2);
    EXPECT_EQ(my(0, 0), 3);
    EXPECT_EQ(gomarker_go_marker(0, 1)->dataset, -1);

    // Deleting a dataset frees its slot.
    EXPECT_EQ(gomarker_go_delete_dataset_markers(c), 1);
    EXPECT_EQ(gomarker_go_marker(0, 0)->dataset, -1);
    EXPECT_EQ(gomarker_go_delete_dataset_markers(c), 0);
}

TEST_F(Markers, DatasetsBeyondTheSlotsGetNone)
{
    std::vector<int> ids;
    for (int i = 0; i < GO_MARKER_SLOTS + 2; i++)
        ids.push_back(xy({{1, double(i)}, {2, double(i + 1)}}));
    ASSERT_EQ(ids.back(), ids.front() + GO_MARKER_SLOTS + 1) << "the archive keeps them all";
    CanvasGraph g(ids.front(), ids.back());
    ASSERT_EQ(gomarker_go_create_markers(&g.g), 1);
    EXPECT_EQ(gomarker_go_marker(0, GO_MARKER_SLOTS - 1)->dataset, ids[GO_MARKER_SLOTS - 1]);
    EXPECT_EQ(gomarker_go_add_dataset_markers(ids.back()), 0);
    EXPECT_EQ(gomarker_go_marker_move_next(), 1);
    EXPECT_EQ(mx(0, GO_MARKER_SLOTS - 1), 2);
}

}  // namespace
