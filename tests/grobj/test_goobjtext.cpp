// Texts and arrows drawn on the recording driver over a graph whose canvas
// is the whole 600 x 450 device: titles and user texts where their frames
// and origin codes put them, the nine attachment points, lines and their
// limits, the text size against the side margins, arrows with and without
// a head, tips on a logarithmic axis, and bad values from a file.

#include "gographkit.h"

#include "goobjtext.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using gokit::CanvasGraph;

class TextObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gopix_go_count_styles();
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

void sset(GoGraph *g, int p, int q, const char *v) { goprop_go_set_property(g, p, q, v); }

void iset(GoGraph *g, int p, int q, int v) { goprop_go_set_property(g, p, q, &v); }
void dset(GoGraph *g, int p, int q, double v) { goprop_go_set_property(g, p, q, &v); }

// The texts the driver was asked to put, with their device points.
struct Put {
    std::string text;
    double x, y;
};
std::vector<Put> puts_of()
{
    std::vector<Put> out;
    for (const grec::Call &c : grec::of(GEP_PUT_TEXT))
        out.push_back({c.text, c.points[0].at(0, 0), c.points[0].at(0, 1)});
    return out;
}

// Canvas units of the graph to device pixels (y downwards), and lengths.
struct Device {
    GoGraph *g;
    std::array<double, 2> at(const double cc[2]) const
    {
        const double p[3] = {cc[0], cc[1], 0};
        double d[3];
        gcoords_GApplyPart(&g->canvas->xf[GX_CC].forward, p, d);
        return {d[0], d[1]};
    }
};

// The recorder measures every text 40 x 10 device pixels.  A user text in
// the middle of the graph area: for each origin code the line's foot lies
// where the box's corner must be, and the nine attachment points stand
// around the box widened by its margin.
TEST_F(TextObjects, OriginCodesAndAttachmentPoints)
{
    CanvasGraph g;
    const int id = gobj_go_create_text(&g.g);
    ASSERT_EQ(id, OBJ_PREDEFINED);
    iset(&g.g, GP_ORIGIN, id, 0);
    dset(&g.g, GP_HOFFSET, id, 50);
    dset(&g.g, GP_VOFFSET, id, 50);
    sset(&g.g, GP_ANNOTBODY, id, "Note");
    auto *t = static_cast<Text *>(gobj_go_get_an_object(&g.g, id));
    ASSERT_NE(t, nullptr);
    struct Row {
        int origin;
        double foot_x, foot_y;  // pixels from the anchor, y downwards
    } rows[] = {{0, 0, 10}, {1, -20, 10}, {2, -40, 10}, {3, 0, 5}, {4, -20, 5},
                {5, -40, 5}, {6, 0, 0},   {7, -20, 0},  {8, -40, 0}};
    const Device dev{&g.g};
    for (const Row &r : rows) {
        SCOPED_TRACE("origin " + std::to_string(r.origin));
        iset(&g.g, GP_ORIGIN, id, r.origin);
        grec::clear();
        gobj_go_draw_title_objects(&g.g, 1, 0);
        const std::vector<Put> p = puts_of();
        ASSERT_EQ(p.size(), 1u);
        EXPECT_EQ(p[0].text, "Note");
        const auto anchor = dev.at(t->anchor);
        EXPECT_NEAR(anchor[0], 300, 1);
        EXPECT_NEAR(anchor[1], 225, 1);
        EXPECT_NEAR(p[0].x - anchor[0], r.foot_x, 1);
        EXPECT_NEAR(p[0].y - anchor[1], r.foot_y, 1);
        // Attachment points 0-2 along the bottom, 3-5 the middle, 6-8 the
        // top, each row left to right; the margin is 5% of the smaller side.
        const double m = 0.5, left = r.foot_x, bottom = r.foot_y;
        const double xs[3] = {left - m, left + (40 + m) / 2, left + 40 + m};
        const double ys[3] = {bottom + m, bottom - (10 + m) / 2, bottom - 10 - m};
        for (int k = 0; k < 9; k++) {
            double cc[2];
            ASSERT_TRUE(t->attachment(k, cc));
            const auto a = dev.at(cc);
            EXPECT_NEAR(a[0] - anchor[0], xs[k % 3], 0.6) << "point " << k;
            EXPECT_NEAR(a[1] - anchor[1], ys[k / 3], 0.6) << "point " << k;
        }
    }
}

}  // namespace
