// The trend and trend-bar kinds on the recording driver: markers and
// joins, gaps, the time axis with its extra small division, stacked and
// side-by-side bars in their slots, and the time read-out in two zones.

#include "kindworld.h"

#include "gsformat.h"

#include <array>
#include <cstdlib>
#include <ctime>

namespace {

using gokit::col;
using gokit::none;
using gokit::num;
using kindkit::Kinds;
using kindkit::Made;
using kindworld::Box;
using kindworld::Seg;
using kindworld::W;

constexpr int SERIES = 5, OTHER = 6;
constexpr double DAY = 86400;
// 2024-01-01 00:00 UTC: the data's times, in seconds.
constexpr double T0 = 1704067200;

int times(const std::vector<std::pair<double, gokit::Cell>> &rows)
{
    std::vector<std::vector<gokit::Cell>> r;
    for (const auto &[t, v] : rows)
        r.push_back({num(t), v});
    return gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, r, 1);
}

// A graph of `kind` without axes, its datasets in SERIES, OTHER, ...
struct Plain : Made {
    Plain(int kind, int first, int last) : Made(kind, first, last)
    {
        set(GP_DRAWAXES, 0, 0);
        set(GP_DRAWAXES, 0, 1);
        for (int q = 0; q <= last - first; q++)
            set(GP_COLOUR, SERIES + q, q);
        set(GP_MARKERSTYLE, 1);
        const double size = 1;
        goprop_go_set_property(g, GP_MARKERSIZE, 0, &size);
        if (kind == 20) {
            // Bars from 0, every dataset a bar.
            goprop_go_set_property(g, GP_YORIGIN, 0, "0");
            for (int q = 0; q <= last - first; q++)
                set(GP_ASLINE, 0, q);
        }
    }
    void redraw()
    {
        grec::clear();
        draw(GO_PROPERTIES);
    }
};

class Env {
    std::string name_, was_;
    bool had_;

public:
    Env(const char *name, const char *value) : name_(name)
    {
        const char *w = getenv(name);
        had_ = w != nullptr;
        was_ = w ? w : "";
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
        tzset();
    }
    ~Env()
    {
        if (had_)
            setenv(name_.c_str(), was_.c_str(), 1);
        else
            unsetenv(name_.c_str());
        tzset();
    }
};

TEST_F(Kinds, TrendMarkersAndJoins)
{
    const int d = times({{T0, num(1)}, {T0 + DAY, num(3)}, {T0 + 2 * DAY, num(2)}, {T0 + 3 * DAY, num(4)}});
    Plain m(11, d, d);
    m.set(GP_LINESTYLE, 2);
    struct Case {
        bool compatible;
        int join, use;
        int markers, joins;
    } cases[] = {
        {false, 0, 0, 0, 3},  // nothing asked: joined by lines
        {false, 0, 1, 4, 0},  {false, 1, 0, 0, 3}, {false, 1, 1, 4, 3},
        // The older style: markers always, join 0 taken as 1.
        {true, 0, 0, 4, 3},   {true, 0, 1, 4, 3},  {true, 1, 0, 4, 3},  {true, 1, 1, 4, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.compatible ? "compatible" : "current") + " markerjoin " + std::to_string(c.join) +
                     " usemarkers " + std::to_string(c.use));
        Env env("VX_12_COMPATIBILITY", c.compatible ? "1" : nullptr);
        m.set(GP_MARKERJOIN, c.join);
        m.set(GP_USEMARKERS, c.use);
        m.redraw();
        const std::vector<grec::Call> marks = kindworld::markers(SERIES);
        EXPECT_EQ(static_cast<int>(marks.size()), c.markers);
        const std::vector<Seg> l = kindworld::lines(m.g, SERIES);
        ASSERT_EQ(static_cast<int>(l.size()), c.joins);
        for (const grec::Call &k : marks)
            for (const Seg &j : l)
                EXPECT_NE(k.line.style, j.style) << "markers in the solid line, joins in the dataset's";
        const W u = kindworld::unit(m.g);
        for (size_t i = 0; i < l.size(); i++) {
            EXPECT_NEAR(l[i].a.x, T0 + static_cast<double>(i) * DAY, 2 * u.x);
            EXPECT_NEAR(l[i].b.x, T0 + static_cast<double>(i + 1) * DAY, 2 * u.x);
        }
    }
}

TEST_F(Kinds, TrendLinesOnly)
{
    const int d = times({{T0, num(1)}, {T0 + DAY, num(3)}, {T0 + 2 * DAY, num(2)}});
    const int arrays = gokit::load({col(DOZ_T_REAL, 3)}, {{gokit::nums({1, 2, 3})}, {gokit::nums({3, 2, 1})}});
    ASSERT_EQ(arrays, d + 1);
    ASSERT_NE(dsmgr_ds_character(arrays), dsmgr_ds_character(d));
    Plain m(11, d, arrays);
    m.set(GP_USEMARKERS, 1);
    m.set(GP_MARKERJOIN, 2);  // steps, unless drawn as lines
    m.set(GP_ASLINE, 1, 0);
    for (bool compatible : {false, true}) {
        SCOPED_TRACE(compatible ? "compatible" : "current");
        Env env("VX_12_COMPATIBILITY", compatible ? "1" : nullptr);
        m.redraw();
        const W u = kindworld::unit(m.g);
        const std::vector<Seg> l = kindworld::lines(m.g, SERIES), spread = kindworld::lines(m.g, OTHER);
        if (!compatible) {
            EXPECT_TRUE(kindworld::markers(SERIES).empty()) << "as a line: no markers";
            ASSERT_EQ(l.size(), 2u) << "straight lines, no steps";
            EXPECT_NEAR(l[0].b.x, T0 + DAY, 2 * u.x);
            EXPECT_NEAR(l[0].b.y, 3, 2 * u.y);
            EXPECT_TRUE(kindworld::markers(OTHER).empty()) << "a spread dataset: no markers";
            EXPECT_EQ(spread.size(), 2u) << "its first row, as straight lines";
        } else {
            EXPECT_EQ(kindworld::markers(SERIES).size(), 3u);
            EXPECT_EQ(l.size(), 4u) << "two steps of two lines";
            EXPECT_EQ(kindworld::markers(OTHER).size(), 3u);
        }
    }
}

TEST_F(Kinds, TrendGapsAndALoneLaterPoint)
{
    {
        SCOPED_TRACE("a missing value breaks the joins when mdata_gaps is set");
        const int d = times({{T0, num(1)}, {T0 + DAY, num(3)}, {T0 + 2 * DAY, none()}, {T0 + 3 * DAY, num(2)},
                             {T0 + 4 * DAY, num(4)}});
        Plain m(11, d, d);
        m.set(GP_MARKERJOIN, 1);
        for (int gaps : {0, 1}) {
            m.set(GP_MDATA_GAPS, gaps);
            m.redraw();
            const std::vector<Seg> l = kindworld::lines(m.g, SERIES);
            ASSERT_EQ(l.size(), gaps ? 2u : 3u);
            const W u = kindworld::unit(m.g);
            if (!gaps) {
                EXPECT_NEAR(l[1].b.x, T0 + 3 * DAY, 2 * u.x) << "bridged";
            }
        }
    }
    {
        SCOPED_TRACE("the end of an array row breaks them when aend_gaps is set");
        // Rows of three times and three values.
        const int arrays = gokit::load({col(DOZ_T_REAL, 3), col(DOZ_T_REAL, 3)},
                                       {{gokit::nums({T0, T0 + DAY, T0 + 2 * DAY}), gokit::nums({1, 2, 3})},
                                        {gokit::nums({T0 + 3 * DAY, T0 + 4 * DAY, T0 + 5 * DAY}), gokit::nums({6, 5, 4})}},
                                       1);
        Plain m(11, arrays, arrays);
        m.set(GP_MARKERJOIN, 1);
        for (int gaps : {0, 1}) {
            m.set(GP_AEND_GAPS, gaps);
            m.redraw();

            EXPECT_EQ(kindworld::lines(m.g, SERIES).size(), gaps ? 4u : 5u);
        }
    }
    {
        SCOPED_TRACE("a later dataset of one point runs on to the x maximum");
        const int a = times({{T0, num(1)}, {T0 + 4 * DAY, num(3)}});
        const int one = times({{T0 + DAY, num(2)}});
        Plain m(11, a, one);
        m.set(GP_MARKERJOIN, 1);
        m.redraw();
        const std::vector<Seg> l = kindworld::lines(m.g, OTHER);
        ASSERT_EQ(l.size(), 1u);
        const W u = kindworld::unit(m.g);
        EXPECT_NEAR(l[0].a.x, T0 + DAY, 2 * u.x);
        EXPECT_NEAR(l[0].b.x, T0 + 4 * DAY, 2 * u.x);
        EXPECT_NEAR(l[0].b.y, 2, 2 * u.y);
    }
}

// The read-out of a point and the output of a value, by the axis's time
// unit, in two time zones.
TEST_F(Kinds, TimeReadoutAndOutputByUnit)
{
    struct Case {
        int unit;
        double span;         // of the data, from T0
        const char *format;  // null: the label routine's default
    } cases[] = {
        {0, 3 * 365 * DAY, "%d %b %y"}, {1, 200 * DAY, "%d %b %y"}, {2, 5 * DAY, "%H:%M %d/%m"},
        {3, 10 * 3600, "%H:%M:%S"},     {4, 20 * 60, "%M:%S"},      {5, 40, "%M:%S"},
        {7, 5 * DAY, nullptr},
    };
    for (const char *zone : {"UTC0", "JST-9"}) {
        Env tz("TZ", zone);
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(zone) + " unit " + std::to_string(c.unit));
            const int d = times({{T0, num(1)}, {T0 + c.span / 2, num(2.5)}, {T0 + c.span, num(4)}});
            for (int kind : {11, 20}) {
                SCOPED_TRACE("kind " + std::to_string(kind));
                Made m(kind, d, d);
                m.set(GP_TIMEUNITS, c.unit);
                m.draw(GO_PROPERTIES);
                gokit::boxes().clear();
                ASSERT_EQ(scale_GetTDUnits(&m.g->xblock.scale), c.unit);
                const std::array<int, 2> at = kindworld::device(m.g, T0 + c.span / 2, 2.5);
                double *values = nullptr;
                char text[GO_LABEL_TEXT] = "?";
                ASSERT_EQ(m.g->kind, kind);
                ASSERT_EQ(gomain_graph_class[kind]->input(m.g, at.data(), 0, &values, nullptr, nullptr, text), 1);
                ASSERT_NE(values, nullptr);
                // x as the expected format prints it.
                auto expected_x = [&](double x) {
                    if (!c.format) {
                        format_GSetupLabelFormat("", VT_DATETIME, 80, 80, -1, c.unit);
                        char b[96];
                        format_GFormatLabel(b, &x, VT_DATETIME);
                        return std::string(b);
                    }
                    const time_t t = static_cast<time_t>(std::trunc(x));
                    struct tm parts {};
                    localtime_r(&t, &parts);
                    char b[96];
                    strftime(b, sizeof b, c.format, &parts);
                    return std::string(b);
                };
                char y[32];
                snprintf(y, sizeof y, "%.3f", values[1]);  // REAL 10.2: at width 11, 3 decimals
                EXPECT_EQ(std::string(text), std::string(y) + " at " + expected_x(values[0]));
                EXPECT_NEAR(values[1], 2.5, 0.05);
                // The output of a point of the data: x in the same format.
                double v[3] = {T0 + c.span, 4, 0};
                GoReadout r{0, 0, 0, v};
                char xt[GO_LABEL_TEXT] = {}, yt[GO_LABEL_TEXT] = {}, zt[GO_LABEL_TEXT] = {};
                ASSERT_EQ(gomain_graph_class[kind]->output(m.g, &r, d, xt, yt, zt), 1);
                EXPECT_EQ(std::string(xt), expected_x(T0 + c.span));
                EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();
            }
        }
    }
}

// ---- trend bars --------------------------------------------------------------------------

double small_division(GoGraph *g)
{
    double a = 0, b = 0;
    EXPECT_EQ(scale_GetFirstSDiv(&g->xblock.scale, &a), 0);
    scale_GetNextSDiv(&g->xblock.scale, &b);
    return b - a;
}

TEST_F(Kinds, TrendBarsLastSlotInsideTheAxis)
{
    const int d = times({{T0, num(2)}, {T0 + DAY, num(3)}, {T0 + 2 * DAY, num(1)}, {T0 + 3 * DAY, num(4)},
                         {T0 + 4 * DAY, num(2)}});
    Plain m(20, d, d);
    m.redraw();
    const double sd = small_division(m.g);
    EXPECT_DOUBLE_EQ(sd, DAY) << "one day a small division over five days";
    EXPECT_DOUBLE_EQ(m.g->xblock.scale.max, T0 + 5 * DAY) << "the data maximum and one small division";
    const std::vector<Box> b = kindworld::boxes(m.g, SERIES);
    ASSERT_EQ(b.size(), 5u);
    const W u = kindworld::unit(m.g);
    EXPECT_LE(b.back().hi.x, m.g->xblock.scale.max + u.x) << "the last bar inside the axis";
    EXPECT_GT(b.back().lo.x, T0 + 4 * DAY - u.x);
}

TEST_F(Kinds, TrendBarSlots)
{
    const int a = times({{T0, num(2)}, {T0 + DAY, num(3)}, {T0 + 2 * DAY, num(1)}});
    const int b = times({{T0, num(1)}, {T0 + DAY, num(2)}, {T0 + 2 * DAY, num(2)}});
    struct Case {
        int centred, datasets;
    } cases[] = {{0, 1}, {1, 1}, {0, 2}, {1, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE("barcentred " + std::to_string(c.centred) + ", datasets " + std::to_string(c.datasets));
        Plain m(20, a, a + c.datasets - 1);
        const double width = 0.6;
        goprop_go_set_property(m.g, GP_BARWIDTH, 0, &width);
        m.set(GP_BARCENTRED, c.centred);
        m.redraw();
        const double slot = small_division(m.g), group = slot * width, gap = (slot - group) / 2;
        const W u = kindworld::unit(m.g);
        for (int k = 0; k < c.datasets; k++) {
            const std::vector<Box> bars = kindworld::boxes(m.g, SERIES + k);
            ASSERT_EQ(bars.size(), 3u);
            const double w = group / c.datasets;
            for (int i = 0; i < 3; i++) {
                const double left = T0 + i * DAY + (c.centred ? gap : 0) + k * w;
                EXPECT_NEAR(bars[static_cast<size_t>(i)].lo.x, left, 2 * u.x) << "bar " << i << " of " << k;
                EXPECT_NEAR(bars[static_cast<size_t>(i)].hi.x, left + w, 2 * u.x) << "bar " << i << " of " << k;
            }
        }
    }
    EXPECT_EQ(b, a + 1);
}

TEST_F(Kinds, StackedTrendBars)
{
    // At T0 both rise; at T0 + 1 day the second falls; at T0 + 2 days the
    // first is 0 (nothing drawn) and the second rises from the origin.
    const int a = times({{T0, num(3)}, {T0 + DAY, num(2)}, {T0 + 2 * DAY, num(0)}});
    const int b = times({{T0, num(4)}, {T0 + DAY, num(-1)}, {T0 + 2 * DAY, num(5)}});
    Plain m(20, a, b);
    m.set(GP_BARTYPE, 1);
    m.set(GP_LABELBARS, 1);
    m.set(GP_LABELFONT, 0);  // a device font: the recorder sees the texts
    m.redraw();
    const W u = kindworld::unit(m.g);
    double origin = 0;
    scale_GetOrg(&m.g->yblock.scale, &origin);
    ASSERT_EQ(origin, 0);
    EXPECT_GE(m.g->yblock.scale.max, 7) << "the axis reaches the stacked top";
    const std::vector<Box> first = kindworld::boxes(m.g, SERIES), second = kindworld::boxes(m.g, OTHER);
    ASSERT_EQ(first.size(), 2u) << "equal ends draw nothing";
    ASSERT_EQ(second.size(), 3u);
    struct Want {
        double lo, hi;
    } want1[] = {{0, 3}, {0, 2}}, want2[] = {{3, 7}, {-1, 0}, {0, 5}};
    for (size_t i = 0; i < 2; i++) {
        EXPECT_NEAR(first[i].lo.y, want1[i].lo, 2 * u.y) << i;
        EXPECT_NEAR(first[i].hi.y, want1[i].hi, 2 * u.y) << i;
    }
    for (size_t i = 0; i < 3; i++) {
        EXPECT_NEAR(second[i].lo.y, want2[i].lo, 2 * u.y) << i;
        EXPECT_NEAR(second[i].hi.y, want2[i].hi, 2 * u.y) << i;
        EXPECT_NEAR(second[i].lo.x, first[std::min<size_t>(i, 1)].lo.x + (i == 2 ? DAY : 0), 2 * u.x)
            << "stacked bars share their slot";
    }
    // Each bar's own value beside its end: above a rise, below a fall.
    std::vector<std::pair<std::string, int>> labels;
    for (const grec::Call &c : grec::of(GEP_PUT_TEXT))
        labels.push_back({c.text, static_cast<int>(c.text_modes.alignment)});
    ASSERT_EQ(labels.size(), 5u);
    EXPECT_EQ(labels[3].first.find("-1"), 0u);
    EXPECT_EQ(labels[3].second, 1) << "below a falling bar";
    EXPECT_EQ(labels[0].second, 7);
}

// Bad input: a message and no drawing, never a crash.
TEST_F(Kinds, TimeKindsRefuseWhatTheyCannotDraw)
{
    {
        SCOPED_TRACE("one row: the trend needs two, one trend bar stands alone");
        const int one = times({{T0, num(2)}});
        for (int kind : {11, 20}) {
            gokit::boxes().clear();
            dlmess_reset_error_suppression();
            Plain m(kind, one, one);
            m.set(GP_MARKERJOIN, 1);
            m.set(GP_USEMARKERS, 1);
            m.redraw();
            if (kind == 11) {
                ASSERT_FALSE(gokit::boxes().empty());
                EXPECT_EQ(gokit::boxes().back().substr(0, 6), "67/30:");
                EXPECT_TRUE(kindworld::markers(SERIES).empty());
            } else {
                EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();
                EXPECT_EQ(kindworld::boxes(m.g, SERIES).size(), 1u);
            }
        }
    }
    {
        SCOPED_TRACE("every value missing");
        const int nulls = times({{T0, none()}, {T0 + DAY, none()}});
        for (int kind : {11, 20}) {
            gokit::boxes().clear();
            dlmess_reset_error_suppression();
            Plain m(kind, nulls, nulls);
            m.redraw();
            ASSERT_FALSE(gokit::boxes().empty());
            EXPECT_EQ(gokit::boxes().front().substr(0, 5), "67/1:");
            EXPECT_TRUE(grec::of(GEP_DRAW_RECTANGLE).empty());
        }
    }
    {
        SCOPED_TRACE("a logarithmic x axis");
        const int d = times({{T0, num(1)}, {T0 + DAY, num(3)}, {T0 + 2 * DAY, num(2)}});
        for (int kind : {11, 20}) {
            gokit::boxes().clear();
            dlmess_reset_error_suppression();
            // A new graph: the setting comes before its data.
            Made m(kind, -1, -1);
            m.set(GP_XLOGARITHMIC, 1);
            m.set(GP_MARKERJOIN, 1);
            m.set(GP_COLOUR, SERIES, 0);
            m.g->first = m.g->last = d;
            gomain_graph_class[kind]->setdata(m.g, d);
            grec::clear();
            m.draw(GO_PROPERTIES);
            ASSERT_FALSE(gokit::boxes().empty());
            EXPECT_EQ(gokit::boxes().back().substr(0, 6), "67/16:");
            EXPECT_TRUE(kindworld::lines(m.g, SERIES).empty()) << "a new graph draws nothing";
            EXPECT_TRUE(kindworld::boxes(m.g, SERIES).empty());
        }
    }
}

}  // namespace
