// The kinds on the recording driver: the graphics library started for
// each test, and graphs made as the display window makes them.
#pragma once

#include "gographkit.h"

#include "grkind.h"

#include "dlmess.h"

#include <vector>

namespace kindkit {

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

inline int xy(std::vector<std::vector<gokit::Cell>> rows) { return gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, rows, 1); }

// The points of every polyline drawn, in device coordinates.
inline std::vector<grec::Points> polylines()
{
    std::vector<grec::Points> out;
    for (const grec::Call &c : grec::of(GEP_DRAW_POLYLINE))
        out.push_back(c.points[0]);
    return out;
}

}  // namespace kindkit
