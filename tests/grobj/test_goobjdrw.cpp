#include "gographkit.h"
#include "goobjdrw.h"
namespace {
class Drw : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
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
TEST_F(Drw, Probe)
{
    gokit::CanvasGraph g;
    GCanvasModes m{};
    GGetCanvasModes(g.g.canvas, &m);
    GDeviceModes d{};
    GGetDeviceModes(g.g.canvas->device, &d);
    long bx, by;
    gdev_GGetBaseDevLimits(&bx, &by);
    printf("dev %ld %ld vdc %d %d base %ld %ld origin %d %d size %d %d cc %d %d ps %d %d %d %d pse %d %d\n", (long)d.dcxdim, (long)d.dcydim, d.vdcxdim, d.vdcydim, bx, by,
           m.origin[0], m.origin[1], m.size[0], m.size[1], m.ccextent[0], m.ccextent[1], m.psorigin[0], m.psorigin[1], m.pssize[0], m.pssize[1], m.psextent[0], m.psextent[1]);
    for (double p : {0.0, 1.0})
        printf("len %f %f\n", GTransformLength(g.g.canvas, 2, 0, GTransformLength(g.g.canvas, 5, 0, 1)), p);
}
}
