// The trend, trend-bar and probability kinds over the demo database,
// fetched through the query manager from the installed interpreter and
// drawn on the recording driver: the trend's time axis against the
// interpreter's own extremes and its read-out at a marker, stacked trend
// bars against the interpreter's grouping, and the probability plot's
// points and fit against the interpreter's count and a fit made here.

#include "godemo.h"
#include "kindworld.h"

#include "gotvar.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

using kindworld::W;

class TimeKindsDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        godemo::ensure_demo();
        godemo::use_installed_interpreter();
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_go_initialise_objects(nullptr);
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        ASSERT_NO_FATAL_FAILURE(godemo::open_demo());
    }
    void TearDown() override
    {
        qymgr_qy_term();
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
    // A query's result as a kept dataset, y first and x last (order 3),
    // or x first (order 1).
    static int query(const char *text, int order = 3)
    {
        qymgr_qy_query(text, QY_NOWAIT, QY_FULL, QY_REPORT);
        EXPECT_TRUE(qymgr_qy_returned_data()) << text;
        const int d = dsmgr_ds_current();
        dscol_ds_characterise(order);
        dsmgr_ds_retain();
        return d;
    }
    static void statement(const char *text)
    {
        qymgr_qy_query(text, QY_NOWAIT, QY_ASIS, QY_REPORT);
        EXPECT_TRUE(qymgr_qy_ok()) << text;
    }
};

struct Point {
    double x, y;
};

// The rows of a dataset as the triple reader gives them (missing ones out).
std::vector<Point> points_of(int dataset)
{
    std::vector<Point> out;
    GoTuple t{};
    t.dataset = dataset;
    const int was = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    for (;; goprop_go_next_point(&t)) {
        goprop_triple_reader(&t);
        if (t.status & GT_S_END)
            break;
        if (!goprop_null_tuple(&t) && t.y)
            out.push_back({t.x ? *t.x : 0, *t.y});
    }
    goprop_go_tuple_autoinc(was);
    return out;
}

TEST_F(TimeKindsDemo, TrendCoversTheDatesAndReadsOutItsRows)
{
    statement("GROUP SALES BY DEPTNO MINIMUM SDATE AS LO, MAXIMUM SDATE AS HI "
              "WHERE DEPTNO=30 AND SDATE<STRTODATE('01/01/24')+91");
    const std::vector<Point> extremes = points_of(query("DISPLAY LO, HI FROM RSLT", 1));
    ASSERT_EQ(extremes.size(), 1u);
    const int d =
        query("DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=30 AND SDATE<STRTODATE('01/01/24')+91 SEQUENCE BY SDATE");
    const std::vector<Point> rows = points_of(d);
    ASSERT_GE(rows.size(), 10u);
    kindkit::Made m(11, d, d);
    m.set(GP_USEMARKERS, 1);
    m.set(GP_MARKERJOIN, 1);
    m.draw(GO_PROPERTIES);
    EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();
    const ScaleRec &x = m.g->xblock.scale;
    EXPECT_EQ(x.type, SCALE_TIMEDATE);
    EXPECT_LE(x.min, extremes[0].x) << "from the first date";
    EXPECT_GE(x.max, extremes[0].y) << "to the last";

    // The read-out at the 10th marker: the marker's pixel whose time falls
    // on the row's day (markers are several pixels wide).
    const Point row = rows[9];
    std::array<int, 2> at = kindworld::device(m.g, row.x, row.y);
    double *values = nullptr;
    char text[GO_LABEL_TEXT] = {};
    ASSERT_EQ(gomain_graph_class[11]->input(m.g, at.data(), 0, &values, nullptr, nullptr, text), 1);
    if (values[0] < row.x) {
        at[0]++;
        ASSERT_EQ(gomain_graph_class[11]->input(m.g, at.data(), 0, &values, nullptr, nullptr, text), 1);
    }
    const W u = kindworld::unit(m.g);
    EXPECT_NEAR(values[0], row.x, 2 * u.x);
    const time_t t = static_cast<time_t>(row.x);
    struct tm parts {};
    localtime_r(&t, &parts);
    char date[32];
    strftime(date, sizeof date, "%d %b %y", &parts);  // a quarter year: the month unit's format
    const std::string s = text;
    const size_t sep = s.find(" at ");
    ASSERT_NE(sep, std::string::npos) << s;
    EXPECT_EQ(s.substr(sep + 4), date) << "the row's date";
    EXPECT_NEAR(std::stod(s.substr(0, sep)), row.y, 2 * u.y) << "the row's revenue";
}

TEST_F(TimeKindsDemo, StackedTrendBarTopsAreTheInterpretersTotals)
{
    statement("GROUP SALES BY SDATE TOTAL UNITS WHERE DEPTNO<=20 AND SDATE<STRTODATE('01/01/24')+14");
    std::vector<double> totals;
    for (const Point &p : points_of(query("DISPLAY * FROM RSLT", 1)))
        totals.push_back(p.y);
    ASSERT_EQ(totals.size(), 14u);
    const int a = query("DISPLAY UNITS, SDATE FROM SALES WHERE DEPTNO=10 AND SDATE<STRTODATE('01/01/24')+14");
    const int b = query("DISPLAY UNITS, SDATE FROM SALES WHERE DEPTNO=20 AND SDATE<STRTODATE('01/01/24')+14");
    ASSERT_EQ(b, a + 1);
    kindkit::Made m(20, a, b);
    for (int q : {0, 1}) {
        m.set(GP_ASLINE, 0, q);
        m.set(GP_COLOUR, 5 + q, q);
    }
    m.set(GP_BARTYPE, 1);
    goprop_go_set_property(m.g, GP_YORIGIN, 0, "0");
    grec::clear();
    m.draw(GO_PROPERTIES);
    EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();
    const std::vector<kindworld::Box> second = kindworld::boxes(m.g, 6);
    ASSERT_EQ(second.size(), 14u) << "a bar a day on top of the first";
    std::vector<double> tops;
    for (const kindworld::Box &k : second)
        tops.push_back(k.hi.y);
    std::sort(tops.begin(), tops.end());
    std::sort(totals.begin(), totals.end());
    const W u = kindworld::unit(m.g);
    for (size_t i = 0; i < totals.size(); i++)
        EXPECT_NEAR(tops[i], totals[i], 2 * u.y) << i;
    EXPECT_GE(m.g->yblock.scale.max, totals.back()) << "the axis reaches the highest total";
}

TEST_F(TimeKindsDemo, ProbabilityPointsAndFit)
{
    statement("GROUP WAFERS BY WAFER COUNT THICK AS N WHERE WAFER=1");
    const std::vector<Point> count = points_of(query("DISPLAY N, WAFER FROM RSLT"));
    ASSERT_EQ(count.size(), 1u);
    const int d = query("DISPLAY THICK FROM WAFERS WHERE WAFER=1");
    kindkit::Made m(13, d, d);
    m.set(GP_COLOUR, 5, 0);
    m.set(GP_OVERLAYON, 1, 5);
    grec::clear();
    m.draw(GO_PROPERTIES);
    EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();
    const std::vector<W> drawn = kindworld::polyline_points(m.g, 5);
    EXPECT_EQ(static_cast<double>(drawn.size()), count[0].y) << "a point a value";

    // The least-squares line through the values at their positions.
    std::vector<double> v;
    for (const Point &p : points_of(d))
        v.push_back(p.y);
    std::sort(v.begin(), v.end());
    const ScaleProc fp = scale_GGetForwardScaleProc(&m.g->xblock.scale);
    ASSERT_NE(fp, nullptr);
    const double n = static_cast<double>(v.size());
    double sa = 0, sb = 0, sab = 0, saa = 0;
    for (size_t i = 0; i < v.size(); i++) {
        const double a = fp((static_cast<double>(i) + 1) * 100 / (n + 1)), b = v[i];
        sa += a;
        sb += b;
        sab += a * b;
        saa += a * a;
    }
    const double gradient = (n * sab - sa * sb) / (n * saa - sa * sa), intercept = (sb - gradient * sa) / n;
    skip_text_eval_errors = 1;
    const std::string g = goprop_eval_text(m.g, "[%GRADIENT]"), i = goprop_eval_text(m.g, "[%INTERCEPT]");
    skip_text_eval_errors = 0;
    EXPECT_NEAR(std::stod(g), gradient, 1e-5 * std::fabs(gradient)) << g;
    EXPECT_NEAR(std::stod(i), intercept, 1e-5 * std::fabs(intercept)) << i;
}

}  // namespace
