// The kind table and the line kind on the recording driver.

#include "gographkit.h"

#include "grkind.h"
#include "seams.h"

#include "dlmess.h"

#include <cmath>

namespace {

using gokit::col;
using gokit::num;

class Kinds : public ::testing::Test {
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
    }
    void TearDown() override
    {
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
};

// A graph as the display window makes one: kind 0's create, the default
// format, the kind set and mutated, then its data set.
struct Made {
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = nullptr;
    Made(int kind, int first, int last)
    {
        const int placement[4] = {0, 0, 600, 450};
        EXPECT_EQ(gomain_graph_class[0]->create(&g, nullptr, placement), 1);
        g->format = &format;
        g->kind = kind;
        gomain_graph_class[kind]->mutate(g, 0);
        g->first = first;
        g->last = last;
        for (int d = first; d >= 0 && d <= last; d++)
            gomain_graph_class[kind]->setdata(g, d);
    }
    ~Made() { gostd_std_destroy_graph(g); }
    void draw(int reason, uint64_t flags = 0) { gomain_graph_class[g->kind]->draw(g, reason, &flags); }
    void set(int p, int v, int q = 0) { goprop_go_set_property(g, p, q, &v); }
};

TEST_F(Kinds, TheTable)
{
    struct Row {
        const char *file;
        int chars, multi, modes, zoom, multiy, options, qualifier;
    } rows[GK_KINDS] = {
        {"line.graph", 0x7FF, 1, 7, 1, 1, 0x1000000, 0},   {"scat.graph", 0x7FF, 1, 7, 1, 1, 0x1, 0},
        {"imp.graph", 0x7FF, 1, 7, 1, 0, 0x2, 0},          {"hilo.graph", 0x7E2, 1, 3, 1, 0, 0, 1},
        {"vector.graph", 0x7FF, 1, 7, 1, 0, 0, 0},         {"bar.graph", 0x7FF, 1, 0, 1, 1, 0x200004, 0},
        {"hbar.graph", 0x7FF, 0, 0, 0, 0, 0x4, 0},         {"polar.graph", 0x7F3, 1, 5, 1, 0, 0x1060040, 0},
        {"surf.graph", 0x730, 1, 4, 0, 0, 0x1000008, 0},   {"imp3.graph", 0x730, 1, 4, 0, 0, 0x1000000, 0},
        {"worm.graph", 0x440, 1, 4, 0, 0, 0x1000000, 0},   {"trend.graph", 0x7E2, 1, 5, 1, 1, 0x1400003, 0},
        {"cont.graph", 0x572, 1, 5, 1, 0, 0x1090490, 0},   {"prob.graph", 0x11, 1, 3, 0, 1, 0x40020, 0},
        {"hist.graph", 0x11, 1, 0, 0, 0, 0x800, 0},        {"surf3d.graph", 0x770, 1, 0, 0, 0, 0x1012710, 0},
        {"map.graph", 0x772, 1, 5, 1, 0, 0x1010490, 0},    {"image.graph", 0x10, 1, 1, 0, 0, 0x80, 0},
        {"box.graph", 0x6, 1, 0, 0, 1, 0x101000, 0},       {"wafer.graph", 0x440, 1, 5, 1, 0, 0x1018000, 0},
        {"trendbar.graph", 0x7E2, 1, 5, 1, 1, 0x1600004, 0}, {"pie.graph", 0x727, 0, 0, 0, 0, 0x800000, 0},
    };
    // Methods: 'S' standard, 'O' own, '3' the 3-D output, 'Z' the 2-D+z
    // create/output/mutate; setdata 's' scalar, 'x', 'y' categories.
    const char *slots[GK_KINDS] = {"SsSSS", "SsSSS", "SsSSS", "SsSSS", "SsSSS", "SxSSS", "SySSS", "SOOOS",
                                   "SOS3S", "SOS3S", "SOS3S", "SOOOS", "ZOOZZ", "SOSSS", "SOSSS", "SOSSS",
                                   "ZOOZZ", "SOOZS", "SOSSS", "ZOOZZ", "SOOOS", "SOOOS"};
    for (int k = 0; k < GO_CLASSES; k++) {
        SCOPED_TRACE(k);
        const GoClass *c = gomain_graph_class[k];
        if (k >= GK_KINDS) {
            EXPECT_EQ(c, nullptr);
            continue;
        }
        ASSERT_NE(c, nullptr);
        const Row &r = rows[k];
        EXPECT_EQ(c->kind, k);
        EXPECT_STREQ(c->format_file, r.file);
        EXPECT_EQ(c->character_mask, r.chars);
        EXPECT_EQ(c->multi_dataset, r.multi);
        EXPECT_EQ(c->modes, r.modes);
        EXPECT_EQ(c->zoom_allowed, r.zoom);
        EXPECT_EQ(c->multiy_capable, r.multiy);
        EXPECT_EQ(c->options_mask, r.options);
        EXPECT_EQ(c->datafunc_qualifier, r.qualifier);
        const std::string s = slots[k];
        EXPECT_EQ(c->create, s[0] == 'Z' ? gostd_std_create_2dz_graph : gostd_std_create_graph);
        EXPECT_EQ(c->destroy, gostd_std_destroy_graph);
        EXPECT_EQ(c->zoom, gostd_std_zoom_graph);
        EXPECT_NE(c->draw, nullptr);
        switch (s[1]) {
        case 's': EXPECT_EQ(c->setdata, gostd_std_setdata_scalar_graph); break;
        case 'x': EXPECT_EQ(c->setdata, gostd_std_setdata_x_nonscalar_graph); break;
        case 'y': EXPECT_EQ(c->setdata, gostd_std_setdata_y_nonscalar_graph); break;
        default: EXPECT_NE(c->setdata, nullptr); break;
        }
        if (s[2] == 'S')
            EXPECT_EQ(c->input, gostd_std_input_graph);
        else
            EXPECT_NE(c->input, nullptr);
        switch (s[3]) {
        case 'S': EXPECT_EQ(c->output, gostd_std_output_graph); break;
        case '3': EXPECT_EQ(c->output, gostd_std_3d_output_graph); break;
        case 'Z': EXPECT_EQ(c->output, gostd_std_2dz_output_graph); break;
        default: EXPECT_NE(c->output, nullptr); break;
        }
        EXPECT_EQ(c->mutate, s[4] == 'Z' ? gostd_std_mutate_2dz_graph : gostd_std_mutate_graph);
        EXPECT_EQ(c->coordinates, nullptr);
    }
}

int xy(std::vector<std::vector<gokit::Cell>> rows) { return gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, rows, 1); }

TEST_F(Kinds, KindsNotBuiltSaySo)
{
    const int d = xy({{num(1), num(2)}, {num(2), num(3)}, {num(3), num(1)}});
    for (int k = 1; k < GK_KINDS; k++) {
        SCOPED_TRACE(k);
        Made m(k, d, d);
        for (int reason = 1; reason <= 6; reason++) {
            dlmess_reset_error_suppression();
            gokit::boxes().clear();
            grec::clear();
            m.draw(reason);
            ASSERT_EQ(gokit::boxes().size(), 1u) << "reason " << reason;
            EXPECT_EQ(gokit::boxes()[0], "67/31: " + gokind_name(k) + " is not available yet.");
            EXPECT_GT(grec::count(GEP_DRAW_TEXT_LINES) + grec::count(GEP_DRAW_POLYLINE) + grec::count(GEP_DRAW_LINES), 0)
                << "the text in the stroke font";
            ASSERT_NE(m.g->canvas, nullptr);
        }
        // Still a live canvas after the reopen: drawing on it again is sound.
        grec::clear();
        m.draw(1);
        EXPECT_GT(grec::calls().size(), 0u);
    }
}

std::vector<grec::Points> data_lines()
{
    std::vector<grec::Points> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_POLYLINE))
        out.push_back(c.points[0]);
    return out;
}

TEST_F(Kinds, TheLineKind)
{
    const int a = xy({{num(0), num(0)}, {num(1), num(5)}, {num(2), gokit::none()}, {num(3), num(2)}, {num(4), num(4)}});
    {
        SCOPED_TRACE("missing values join or break");
        Made m(0, a, a);
        m.set(GP_DRAWAXES, 0, 0);
        m.set(GP_DRAWAXES, 0, 1);
        for (int gaps : {0, 1}) {
            m.set(GP_MDATA_GAPS, gaps);
            grec::clear();
            m.draw(4);
            const std::vector<grec::Points> lines = data_lines();
            ASSERT_EQ(lines.size(), gaps ? 2u : 1u);
            if (gaps) {
                EXPECT_EQ(lines[0].count(), 3) << "two points and the break";
                EXPECT_EQ(lines[1].count(), 2);
            } else {
                EXPECT_EQ(lines[0].count(), 4);
            }
        }
    }
    const int one = xy({{num(2), num(3)}});
    {
        SCOPED_TRACE("a later one-row dataset runs to the x maximum");
        Made m(0, a, one);
        m.set(GP_DRAWAXES, 0, 0);
        m.set(GP_DRAWAXES, 0, 1);
        grec::clear();
        m.draw(4);
        const std::vector<grec::Points> lines = data_lines();
        ASSERT_EQ(lines.size(), 2u);
        ASSERT_EQ(lines[1].count(), 2);
        EXPECT_NEAR(lines[1].at(0, 1), lines[1].at(1, 1), 0.5) << "horizontal";
        EXPECT_GT(lines[1].at(1, 0), lines[1].at(0, 0));

        // New data without re-scaling: only the last dataset, no frame.
        grec::clear();
        m.draw(2, 5);
        EXPECT_EQ(data_lines().size(), 1u);
        EXPECT_EQ(grec::count(GEP_COMMENT_OUTPUT), 0);
    }
    {
        SCOPED_TRACE("a first one-row dataset is a point");
        Made m(0, one, one);
        grec::clear();
        m.draw(4);
        const std::vector<grec::Points> lines = data_lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].count(), 1);
    }
    {
        SCOPED_TRACE("array rows join or break at their ends");
        const int arrays = gokit::load({col(DOZ_T_REAL, 3)}, {{gokit::nums({1, 2, 3})}, {gokit::nums({6, 5, 4})}});
        ASSERT_EQ(dsmgr_ds_character(arrays), DS_CH_YARRAY);
        Made m(0, arrays, arrays);
        m.set(GP_DRAWAXES, 0, 0);
        m.set(GP_DRAWAXES, 0, 1);
        for (int gaps : {0, 1}) {
            m.set(GP_AEND_GAPS, gaps);
            grec::clear();
            m.draw(4);
            const std::vector<grec::Points> lines = data_lines();
            if (gaps) {
                ASSERT_EQ(lines.size(), 2u) << "one line per array row";
                EXPECT_EQ(lines[0].count(), 3);
                EXPECT_EQ(lines[1].count(), 3);
                // Device y runs downwards.
                EXPECT_GT(lines[0].at(0, 1), lines[0].at(2, 1)) << "the first row rises";
                EXPECT_LT(lines[1].at(0, 1), lines[1].at(2, 1)) << "the second falls";
            } else {
                ASSERT_EQ(lines.size(), 1u);
                EXPECT_EQ(lines[0].count(), 6);
            }
        }
    }
    {
        SCOPED_TRACE("a dataset of another character is spread over the x range");
        const int base = xy({{num(0), num(0)}, {num(1), num(5)}, {num(3), num(2)}, {num(4), num(4)}});
        const int texts = gokit::load({col(DOZ_T_REAL)}, {{num(7)}, {num(8)}, {num(9)}}, 3);
        ASSERT_EQ(texts, base + 1);
        Made m(0, base, texts);
        m.set(GP_DRAWAXES, 0, 0);
        m.set(GP_DRAWAXES, 0, 1);
        ASSERT_NE(dsmgr_ds_character(texts), dsmgr_ds_character(base));
        grec::clear();
        m.draw(4);
        const std::vector<grec::Points> lines = data_lines();
        ASSERT_EQ(lines.size(), 2u);
        const grec::Points &spread = lines.back();
        ASSERT_EQ(spread.count(), 3);
        EXPECT_NEAR(spread.at(0, 0), lines[0].at(0, 0), 0.5) << "from X0";
        EXPECT_NEAR(spread.at(2, 0), lines[0].at(3, 0), 0.5) << "to X1";
        EXPECT_NEAR(spread.at(1, 0), (spread.at(0, 0) + spread.at(2, 0)) / 2, 0.5) << "evenly";
    }
}

}  // namespace
