// Objects placed on the axes of real graphs: the demo database's revenue
// by date drawn by the line kind in 2-D and with a second y axis, and its
// sensor grid on 3-D coordinates, all on the recording driver.  An offset
// of 5000 along an axis frame lands half-way along the axis line the
// driver was given.

#include "godemo.h"
#include "gographkit.h"

#include "goaxes.h"
#include "goobjdrw.h"
#include "grkind.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using gokit::CanvasGraph;

// An object with no size: its anchor is all it has.
class Point : public Drawn {
public:
    using Drawn::Drawn;
    std::unique_ptr<gobj::Object> clone() const override { return std::make_unique<Point>(*this); }
};
gobj::Object *make_point(int id, const ObjClassRec *c, void *o) { return new Point(c, id, o); }
const ObjClassRec pointRec{"point", &drawnClassRec, make_point, 0, 0};

// The anchor of an object at `along` ten-thousandths of an axis frame, on
// the line (across 0), in device pixels; (-1, -1) when it cannot be placed.
std::array<double, 2> anchor_on(GoGraph *g, int frame, double along)
{
    Point p(&pointRec, 228, g);
    gobjdrw_set_properties(&p, GP_POSITION, &frame);
    gobjdrw_set_properties(&p, GP_HOFFSET, &along);
    if (!gobjdrw_position_object(&p, g, nullptr))
        return {-1, -1};
    const double zero[2] = {0, 0};
    double at[2];
    gobjdrw_transform_object_points(&p, 0, zero, at, 1);
    return {at[0], at[1]};
}

// The n-th line drawn after the comment `after` (0 the first), as its two
// device points; empty when there is none.
std::vector<double> axis_line(const std::string &after, int n = 0)
{
    int seen = -1;
    bool in = false;
    for (const grec::Call &c : grec::calls()) {
        if (c.slot == GEP_COMMENT_OUTPUT) {
            in = c.text == after && ++seen == n;
            continue;
        }
        if (in && c.slot == GEP_DRAW_LINE)
            return {c.points[0].at(0, 0), c.points[0].at(0, 1), c.points[1].at(0, 0), c.points[1].at(0, 1)};
    }
    return {};
}

class AxisFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        godemo::ensure_demo();
        godemo::use_installed_interpreter();
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
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
        qymgr_qy_term();
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
    static int fetch(const char *statement, int order)
    {
        qymgr_qy_query(statement, QY_NOWAIT, QY_FULL, QY_REPORT);
        EXPECT_TRUE(qymgr_qy_returned_data()) << statement;
        const int d = dsmgr_ds_current();
        dscol_ds_characterise(order);
        dsmgr_ds_retain();
        return d;
    }
};

struct Expect {
    const char *what;
    int frame;
    const char *comment;  // the axis line follows it
    int nth;
};

void expect_half_way(GoGraph *g, const std::vector<Expect> &cases)
{
    for (const Expect &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<double> line = axis_line(c.comment, c.nth);
        ASSERT_EQ(line.size(), 4u) << "the axis was drawn";
        EXPECT_GT(std::hypot(line[2] - line[0], line[3] - line[1]), 100) << "a real axis";
        const auto at = anchor_on(g, c.frame, 5000);
        EXPECT_NEAR(at[0], (line[0] + line[2]) / 2, 1);
        EXPECT_NEAR(at[1], (line[1] + line[3]) / 2, 1);
        const auto start = anchor_on(g, c.frame, 0);
        EXPECT_NEAR(start[0], line[0], 1);
        EXPECT_NEAR(start[1], line[1], 1);
    }
}

const char *const REVENUE = "DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE";

TEST_F(AxisFrames, OnTheLineKindIn2DAndWithASecondYAxis)
{
    const int first = fetch(REVENUE, 3), second = fetch(REVENUE, 3);
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = nullptr;
    const int placement[4] = {0, 0, 600, 450};
    GoClass *line = gomain_graph_class[0];
    ASSERT_EQ(line->create(&g, nullptr, placement), 1);
    g->format = &format;
    line->mutate(g, 0);
    g->first = g->last = first;
    line->setdata(g, first);
    uint64_t flags = 0;
    grec::clear();
    line->draw(g, GO_NEW_DATA, &flags);
    {
        SCOPED_TRACE("2-D");
        expect_half_way(g, {{"x axis", OBJ_FRAME_XAXIS, "Drawing X Axis", 0},
                            {"y axis", OBJ_FRAME_YAXIS, "Drawing Y Axis", 0}});
        EXPECT_EQ(anchor_on(g, OBJ_FRAME_ZAXIS, 5000)[0], -1) << "no z axis";
        EXPECT_EQ(anchor_on(g, OBJ_FRAME_SECY, 5000)[0], -1) << "no extra y axis";
    }

    // The second dataset against extra y axis 0.
    g->last = second;
    line->setdata(g, second);
    const int on = 1;
    goprop_go_set_property(g, GP_SECYAXIS, 0, &on);
    grec::clear();
    line->draw(g, GO_PROPERTIES, &flags);
    ASSERT_EQ(g->multiy, 1);
    {
        SCOPED_TRACE("multi-y");
        expect_half_way(g, {{"x axis", OBJ_FRAME_XAXIS, "Drawing X Axis", 0},
                            {"y axis", OBJ_FRAME_YAXIS, "Drawing Y Axis", 0},
                            {"extra y axis 0", OBJ_FRAME_SECY, "Drawing Y Axis", 1}});
        EXPECT_EQ(anchor_on(g, OBJ_FRAME_SECY + 1, 5000)[0], -1) << "axis 1 is not on";
        // Placing leaves the canvas's coordinates as the draw left them.
        GCanvasModes before{}, after{};
        GGetCanvasModes(g->canvas, &before);
        anchor_on(g, OBJ_FRAME_SECY, 5000);
        GGetCanvasModes(g->canvas, &after);
        EXPECT_EQ(memcmp(before.world, after.world, sizeof before.world), 0);
        EXPECT_EQ(before.psorigin[1], after.psorigin[1]);
    }
    gostd_std_destroy_graph(g);
    gomain_go_close_device();
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(AxisFrames, OnThreeDCoordinates)
{
    const int sensor = fetch("DISPLAY TEMP, GX, GY FROM SENSOR", 1);
    GoClass *line = gomain_graph_class[0];
    gomain_graph_class[0] = &gokit::fake_class();
    {
        CanvasGraph g(sensor, sensor);
        ASSERT_EQ(std_dataset_stats(&g.g, sensor, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1), 1);
        ASSERT_EQ(gostd_std_3d_auto_scale(&g.g, 0), 1);
        gomain_go_set_3d_coordinates(&g.g);
        grec::clear();
        gomain_go_draw_3d_axes(&g.g, 0);
        expect_half_way(&g.g, {{"x axis", OBJ_FRAME_XAXIS, "Drawing X Axis", 0},
                               {"y axis", OBJ_FRAME_YAXIS, "Drawing Y Axis", 0},
                               {"z axis", OBJ_FRAME_ZAXIS, "Drawing Z Axis", 0}});
        EXPECT_EQ(anchor_on(&g.g, OBJ_FRAME_SECY, 5000)[0], -1) << "no extra y axes in 3-D";
    }
    gomain_graph_class[0] = line;
    EXPECT_TRUE(gokit::boxes().empty());
}

}  // namespace
