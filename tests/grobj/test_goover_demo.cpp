// Overlays and data-point markers on the demo database's revenue, drawn by
// the line kind on the recording driver against the installed
// interpreter: the mean and standard deviation equal the interpreter's
// AVERAGE and VARIANCE, and markers follow by x and by position over a
// dataset of every day and one of weekdays only.

#include "godemo.h"
#include "gographkit.h"

#include "gomarker.h"
#include "goover.h"
#include "grkind.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<double> &levels()
{
    static std::vector<double> l;
    return l;
}

struct ReadoutLine {
    int slot, marker;
    std::string x, y;
};
std::vector<ReadoutLine> readouts;
int selstate = 0;

class DemoOverlays : public ::testing::Test {
protected:
    void SetUp() override
    {
        godemo::ensure_demo();
        godemo::use_installed_interpreter();
        dsmgr_ds_init(nullptr, nullptr);
        GoDisplayHooks h{};
        h.show_error = gokit::record_box;
        h.get_selstate = [] { return selstate; };
        h.value_readout = [](int slot, int marker, const char *x, const char *y, const char *) {
            readouts.push_back({slot, marker, x, y});
        };
        go_set_display_hooks(&h);
        gokit::boxes().clear();
        readouts.clear();
        selstate = 0;
        ASSERT_TRUE(gokit::start_graphics());
        static const bool kinds = [] {
            gomain_go_initialise_objects(nullptr);
            return true;
        }();
        (void)kinds;
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        ASSERT_NO_FATAL_FAILURE(godemo::open_demo());
    }
    void TearDown() override
    {
        gomarker_go_destroy_markers();
        goover_go_set_overlay_drawing_procs(nullptr, nullptr, nullptr);
        qymgr_qy_term();
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
    static int fetch(const char *statement)
    {
        qymgr_qy_query(statement, QY_NOWAIT, QY_FULL, QY_REPORT);
        EXPECT_TRUE(qymgr_qy_returned_data()) << statement;
        const int d = dsmgr_ds_current();
        dscol_ds_characterise(3);
        dsmgr_ds_retain();
        return d;
    }
    static double number(const char *statement)
    {
        qymgr_qy_query(statement, QY_NOWAIT, QY_SIMPLE, QY_REPORT);
        EXPECT_TRUE(qymgr_qy_ok()) << statement;
        double v = 0;
        memcpy(&v, qymgr_qy_buffer(), sizeof v);
        return v;
    }
};

// A line graph of the kind table's line class over datasets first..last.
struct LineGraph {
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = nullptr;
    GoClass *line = gomain_graph_class[0];
    LineGraph(int first, int last)
    {
        const int placement[4] = {0, 0, 600, 450};
        EXPECT_EQ(line->create(&g, nullptr, placement), 1);
        g->format = &format;
        line->mutate(g, 0);
        g->first = first;
        g->last = last;
        for (int d = first; d <= last; d++)
            line->setdata(g, d);
    }
    ~LineGraph() { gostd_std_destroy_graph(g); }
    void draw()
    {
        uint64_t flags = 0;
        line->draw(g, GO_NEW_DATA, &flags);
    }
};

const char *const DEPT10 = "DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE";
const char *const DEPT20_WEEKDAYS = "DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=20 AND WEEKDAY<5 SEQUENCE BY SDATE";

TEST_F(DemoOverlays, MeanAndDeviationAreTheInterpretersAverageAndVariance)
{
    const int d = fetch(DEPT10);
    const double average = number("DISPLAY AVERAGE REVENUE FROM SALES WHERE DEPTNO=10");
    // The interpreter's variance is the sample's; the overlay's the
    // population's.
    const double variance = number("DISPLAY VARIANCE REVENUE FROM SALES WHERE DEPTNO=10");
    const double n = dsmgr_ds_rows(d);
    ASSERT_EQ(n, 731);
    const double sd = std::sqrt(variance * (n - 1) / n);

    LineGraph lg(d, d);
    const int on = 1;
    for (int k : {2, 3})
        goprop_go_set_property(lg.g, GP_OVERLAYON, k, &on);
    goover_go_set_overlay_drawing_procs(nullptr, [](GoGraph *, double, double, double y) { levels().push_back(y); },
                                        nullptr);
    levels().clear();
    lg.draw();
    ASSERT_EQ(levels().size(), 3u);
    EXPECT_NEAR(levels()[0], average, 1e-9 * average);
    EXPECT_NEAR(levels()[1] - levels()[0], 2 * sd, 1e-6 * sd);
    EXPECT_NEAR(levels()[0] - levels()[2], 2 * sd, 1e-6 * sd);
    skip_text_eval_errors = 1;
    EXPECT_NEAR(std::stod(goprop_eval_text(lg.g, "[%MEAN]")), average, 1e-4);
    EXPECT_NEAR(std::stod(goprop_eval_text(lg.g, "[%SD]")), sd, 1e-4);
    skip_text_eval_errors = 0;
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(DemoOverlays, MarkersFollowEveryDayAndWeekdays)
{
    const int all = fetch(DEPT10), weekdays = fetch(DEPT20_WEEKDAYS);
    ASSERT_EQ(weekdays, all + 1);
    LineGraph lg(all, weekdays);
    lg.draw();
    const double day = [&] {
        // The x of one day: the first two points of every day.
        EXPECT_EQ(gomarker_go_create_markers(lg.g), 1);
        const double x0 = *gomarker_go_marker(0, 0)->x;
        gomarker_go_marker_move_next();
        return *gomarker_go_marker(0, 0)->x - x0;
    }();
    ASSERT_GT(day, 0);
    // Day 5 of 2024 (a weekday number 5) is not among the weekdays.
    struct Case {
        const char *what;
        int mode;
        int moves;
        bool shown;
        double weekday_minus_all;  // in days
    } cases[] = {
        {"by x, day 4", 0, 4, true, 0},
        {"by x, day 5: the weekdays hide theirs", 0, 5, false, 0},
        {"by x, day 7", 0, 7, true, 0},
        {"by position, point 5 of the weekdays is day 7", GO_FOLLOW_POSITION, 5, true, 2},
        {"by position, point 100", GO_FOLLOW_POSITION, 100, true, 100 / 5 * 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        selstate = c.mode;
        ASSERT_EQ(gomarker_go_create_markers(lg.g), 1);
        for (int i = 0; i < c.moves; i++)
            ASSERT_EQ(gomarker_go_marker_move_next(), 1);
        const GoMarker *a = gomarker_go_marker(0, 0), *b = gomarker_go_marker(0, 1);
        EXPECT_EQ(b->shown != 0, c.shown);
        if (c.shown) {
            EXPECT_NEAR(*b->x - *a->x, c.weekday_minus_all * day, 1e-6 * day);
        }
        readouts.clear();
        ASSERT_EQ(gomarker_go_display_markers(), 1);
        // The focussed marker reads out on both; where hidden, empty.
        ASSERT_EQ(readouts.size(), 2u);
        EXPECT_NEAR(std::stod(readouts[0].y), *a->y, 0.01);
        EXPECT_EQ(readouts[1].y.empty(), !c.shown);
        if (c.shown) {
            EXPECT_NEAR(std::stod(readouts[1].y), *b->y, 0.01);
        }
        gomarker_go_undraw_markers();
    }
    EXPECT_TRUE(gokit::boxes().empty());
}

}  // namespace
