// The probability kind on the recording driver: plotting positions on
// normal and Weibull paper, either axis carrying the probability, the
// per-cent labels, the reference lines and the fit, and values that are
// not numbers.

#include "kindworld.h"

#include "gotvar.h"

#include <cmath>
#include <set>

namespace {

using gokit::col;
using gokit::none;
using gokit::num;
using kindkit::Kinds;
using kindkit::Made;
using kindworld::W;

constexpr int SERIES = 5;

int values(const std::vector<gokit::Cell> &v)
{
    std::vector<std::vector<gokit::Cell>> rows;
    for (const gokit::Cell &c : v)
        rows.push_back({c});
    return gokit::load({col(DOZ_T_REAL)}, rows, 3);
}

// The forward procedure of normal (type 5) or Weibull (6) paper.
ScaleProc paper(int type)
{
    static ScaleRec s;
    scale_ClearScaleStuff(&s);
    scale_SetScaleType(&s, type);
    scale_SetScaleMax(&s, 1, 1);
    scale_SetScaleMin(&s, 0, 1);
    int code = 0;
    scale_ScaleAxis(&s, &code);
    return scale_GGetForwardScaleProc(&s);
}

struct Paper : Made {
    Paper(int first, int last) : Made(13, first, last)
    {
        set(GP_COLOUR, SERIES, 0);
        set(GP_MARKERSTYLE, 1);
    }
    void redraw()
    {
        grec::clear();
        draw(GO_PROPERTIES);
    }
    std::string named(const char *name)
    {
        skip_text_eval_errors = 1;
        std::string v = goprop_eval_text(g, (std::string("[") + name + "]").c_str());
        skip_text_eval_errors = 0;
        return v;
    }
};

TEST_F(Kinds, PlottingPositions)
{
    const int d = values({num(5), num(1), num(4), num(2), num(3)});
    struct Case {
        int dist, axis;
        double at[5];
    } cases[] = {
        {0, 0, {16.67, 33.33, 50, 66.67, 83.33}},
        {1, 0, {12.96, 31.48, 50, 68.52, 87.04}},
        {0, 1, {16.67, 33.33, 50, 66.67, 83.33}},
        {1, 1, {12.96, 31.48, 50, 68.52, 87.04}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.dist ? "Weibull" : "normal") + " paper, probability on " + (c.axis ? "y" : "x"));
        Paper m(d, d);
        m.set(GP_PROBDIST, c.dist);
        m.set(GP_PROBAXIS, c.axis);
        m.redraw();
        EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();
        const ScaleRec &p = c.axis ? m.g->yblock.scale : m.g->xblock.scale;
        const ScaleRec &values_scale = c.axis ? m.g->xblock.scale : m.g->yblock.scale;
        ASSERT_EQ(p.type, c.dist ? SCALE_WEIBULL : SCALE_NORMAL) << "the probability on its axis";
        EXPECT_EQ(values_scale.type, c.dist ? SCALE_LOG : SCALE_LINEAR) << "Weibull paper's values logarithmic";
        const ScaleProc fp = paper(p.type);
        const ScaleProc fd = scale_GGetForwardScaleProc(const_cast<ScaleRec *>(&values_scale));
        const std::vector<W> points = kindworld::polyline_points(m.g, SERIES);
        ASSERT_EQ(points.size(), 5u);
        const W u = kindworld::unit(m.g);
        for (size_t i = 0; i < 5; i++) {
            const double a = fp(c.at[i]), b = fd ? fd(static_cast<double>(i + 1)) : static_cast<double>(i + 1);
            const W want = c.axis ? W{b, a} : W{a, b};
            EXPECT_NEAR(points[i].x, want.x, 2 * u.x) << "value " << i + 1;
            EXPECT_NEAR(points[i].y, want.y, 2 * u.y) << "value " << i + 1;
        }
    }
}

TEST_F(Kinds, PercentLabelsWhileDrawing)
{
    const int d = values({num(5), num(1), num(4), num(2), num(3)});
    for (int axis : {0, 1}) {
        SCOPED_TRACE(axis ? "probability on y" : "probability on x");
        Paper m(d, d);
        m.set(GP_PROBAXIS, axis);
        m.set(GP_LABELFONT, 0);  // a device font: the recorder sees the texts
        const int format = axis ? GP_YLABELFORMAT : GP_XLABELFORMAT;
        goprop_go_set_property(m.g, format, 0, "%4.1v");
        m.redraw();
        std::set<std::string> texts;
        for (const grec::Call &c : grec::of(GEP_PUT_TEXT))
            texts.insert(c.text);
        for (const char *t : {"0.01", "1.00", "50.00", "99.99"})
            EXPECT_EQ(texts.count(t), 1u) << t;
        EXPECT_STREQ(static_cast<const char *>(goprop_go_property(m.g, format, 0, 0)), "%4.1v")
            << "the user's format after the draw";
    }
}

TEST_F(Kinds, ReferenceLinesAndTheFit)
{
    // Values on a straight line of the normal paper: 3 z + 10.
    const ScaleProc z = paper(SCALE_NORMAL);
    std::vector<gokit::Cell> straight;
    for (long i = 0; i < 7; i++)
        straight.push_back(num(3 * z(ranked_cdf(i, 7, 0)) + 10));
    const int d = values(straight);
    const int colour[6] = {0, 0, 7, 8, 9, 10};
    for (int dist : {0, 1}) {
        SCOPED_TRACE(dist ? "Weibull" : "normal");
        Paper m(d, d);
        m.set(GP_PROBDIST, dist);
        // Room for the whole fit across the paper.
        goprop_go_set_property(m.g, GP_YMINIMUM, 0, "-5");
        goprop_go_set_property(m.g, GP_YMAXIMUM, 0, "25");
        for (int k = 2; k <= 5; k++) {
            m.set(GP_OVERLAYON, 1, k);
            m.set(GP_OVLCOLOUR, colour[k], k);
        }
        m.redraw();
        const std::vector<kindworld::Seg> median = kindworld::lines(m.g, 7), sd = kindworld::lines(m.g, 8),
                                          three = kindworld::lines(m.g, 9), fit = kindworld::lines(m.g, 10);
        ASSERT_EQ(fit.size(), 1u);
        if (dist) {
            EXPECT_TRUE(median.empty() && sd.empty() && three.empty()) << "Weibull paper: the fit only";
            continue;
        }
        ASSERT_EQ(median.size(), 1u);
        EXPECT_EQ(sd.size(), 4u);
        EXPECT_EQ(three.size(), 2u);
        const W u = kindworld::unit(m.g);
        EXPECT_NEAR(median[0].a.x, 0, 2 * u.x) << "at 50 per cent";
        EXPECT_NEAR(median[0].b.x, 0, 2 * u.x);
        EXPECT_NEAR(std::stod(m.named("%GRADIENT")), 3, 1e-5);
        EXPECT_NEAR(std::stod(m.named("%INTERCEPT")), 10, 1e-5);
        EXPECT_EQ(m.named("%GRADIENT").size(), 12u) << "12 wide";
        // The line follows the fit across the paper.
        EXPECT_NEAR(fit[0].a.y, 3 * fit[0].a.x + 10, 2 * u.y);
        EXPECT_NEAR(fit[0].b.y, 3 * fit[0].b.x + 10, 2 * u.y);
    }
}

// Values that are not numbers are left out like missing ones; a single
// value is a point without a fit.
TEST_F(Kinds, ValuesThatAreNotNumbersAndOneValue)
{
    {
        SCOPED_TRACE("not a number among the values");
        const int d = values({num(3), num(NAN), num(1), none(), num(2), num(NAN)});
        Paper m(d, d);
        m.redraw();
        const std::vector<W> points = kindworld::polyline_points(m.g, SERIES);
        ASSERT_EQ(points.size(), 3u);
        const ScaleProc fp = paper(SCALE_NORMAL);
        const W u = kindworld::unit(m.g);
        for (size_t i = 0; i < 3; i++) {
            EXPECT_NEAR(points[i].x, fp(25.0 * static_cast<double>(i + 1)), 2 * u.x);
            EXPECT_NEAR(points[i].y, static_cast<double>(i + 1), 2 * u.y);
        }
    }
    {
        SCOPED_TRACE("one value");
        const int d = values({num(4)});
        Paper m(d, d);
        m.set(GP_LINESCAT_OPT, 2);  // markers alone
        m.set(GP_OVERLAYON, 1, 5);
        m.set(GP_OVLCOLOUR, 10, 5);
        gotvar_go_set_name_value(m.g, "%GRADIENT", "unset");
        m.redraw();
        EXPECT_EQ(kindworld::markers(SERIES).size(), 1u);
        EXPECT_TRUE(kindworld::lines(m.g, 10).empty()) << "no fit through one value";
        EXPECT_EQ(m.named("%GRADIENT"), "unset");
    }
}

TEST_F(Kinds, ProbabilityRefusesWhatItCannotDraw)
{
    const int d = values({num(5), num(1), num(4)});
    for (int axis : {0, 1}) {
        SCOPED_TRACE(axis ? "logarithmic y carrying the probability" : "logarithmic x carrying the probability");
        gokit::boxes().clear();
        dlmess_reset_error_suppression();
        Made m(13, -1, -1);
        m.set(GP_PROBAXIS, axis);
        m.set(axis ? GP_YLOGARITHMIC : GP_XLOGARITHMIC, 1);
        m.set(GP_COLOUR, SERIES, 0);
        m.g->first = m.g->last = d;
        gomain_graph_class[13]->setdata(m.g, d);
        grec::clear();
        m.draw(GO_PROPERTIES);
        ASSERT_FALSE(gokit::boxes().empty());
        EXPECT_EQ(gokit::boxes().back().substr(0, 6), "67/16:");
        EXPECT_TRUE(kindworld::polyline_points(m.g, SERIES).empty()) << "a new graph draws nothing";
    }
    {
        SCOPED_TRACE("every value missing");
        gokit::boxes().clear();
        dlmess_reset_error_suppression();
        const int nulls = values({none(), none()});
        Paper m(nulls, nulls);
        m.redraw();
        ASSERT_FALSE(gokit::boxes().empty());
        EXPECT_EQ(gokit::boxes().front().substr(0, 5), "67/1:");
        EXPECT_TRUE(kindworld::polyline_points(m.g, SERIES).empty());
    }
}

}  // namespace
