// The legend measured with an X font on the screen device, under the test
// X server.

#include "gographkit.h"

#include "grkind.h"
#include "seams.h"

#include "vxtest_x.h"

#include <string>

namespace {

class XLegend : public ::testing::Test, protected vxtest::AppShell {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(open_shell(600, 450));
        dsmgr_ds_init(nullptr, nullptr);
        ASSERT_TRUE(gokit::start_graphics());
        gomain_go_initialise_objects(nullptr);
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        ASSERT_NE(gomain_go_device_id(shell), nullptr);
    }
    void TearDown() override
    {
        gokit::stop_graphics();
        dsmgr_ds_init(nullptr, nullptr);
        close_shell();
    }
};

// The device-unit distance between the first two entries' texts, with the
// legend font renamed to `name`; the standard error output in `err`.
double entry_step(GoGraph *g, const char *name, std::string *err)
{
    GFont *font = gfont_GGetCanvasFont(g->canvas, 0);
    EXPECT_NE(font, nullptr);
    if (!font)
        return 0;
    char *was = font->name;
    std::string copy = name;
    font->name = copy.data();
    grec::clear();
    *err = gokit::stderr_of([&] { goleg_go_draw_legend(g, 0); });
    font->name = was;
    const std::vector<grec::Call> texts = grec::of(GEP_PUT_TEXT);
    EXPECT_EQ(texts.size(), 2u);
    return texts.size() < 2 ? 0 : texts[1].points[0].at(0, 1) - texts[0].points[0].at(0, 1);
}

TEST_F(XLegend, AnXFontIsMeasuredAndAMissingOneFallsBackToFixed)
{
    XFontStruct *fixed = XLoadQueryFont(dpy, "fixed");
    ASSERT_NE(fixed, nullptr);
    const int h = fixed->max_bounds.ascent + fixed->max_bounds.descent;
    XFreeFont(dpy, fixed);

    const int d = gokit::load({gokit::col(DOZ_T_REAL), gokit::col(DOZ_T_REAL)},
                              {{gokit::num(0), gokit::num(1)}, {gokit::num(1), gokit::num(2)}}, 1);
    gokit::load({gokit::col(DOZ_T_REAL), gokit::col(DOZ_T_REAL)},
                {{gokit::num(0), gokit::num(2)}, {gokit::num(1), gokit::num(1)}}, 1);
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = nullptr;
    const int placement[4] = {0, 0, 600, 450};
    ASSERT_EQ(gomain_graph_class[0]->create(&g, shell, placement), 1);
    g->format = &format;
    g->first = d;
    g->last = d + 1;
    int one = 1, zero = 0;
    goprop_go_set_property(g, GP_LGENABLE, 0, &one);
    goprop_go_set_property(g, GP_LGTEXTFONT, 0, &zero);
    goprop_go_set_property(g, GP_LGSTYLE, 0, &zero);
    goprop_go_set_property(g, GP_LGDSTEXT, 0, "first");
    goprop_go_set_property(g, GP_LGDSTEXT, 1, "second");

    std::string err;
    const double step = entry_step(g, "fixed", &err);
    EXPECT_EQ(err, "");
    // A line is the font's height, and the gap 0.4 of it (device y runs down).
    EXPECT_NEAR(std::abs(step), h + static_cast<int>(0.4 * h), 2);
    EXPECT_EQ(entry_step(g, "-vx-no-such-font-medium-r-normal--12-*-*-*-p-*-iso8859-1", &err), step)
        << "measured with fixed";
    EXPECT_EQ(err, "") << "fixed served: nothing to report";
    gostd_std_destroy_graph(g);
}

}  // namespace
