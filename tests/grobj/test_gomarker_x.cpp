// Data-point markers through the X11 driver on the test X server: drawing
// them changes the window's pixels at their points, and drawing them again
// (exclusive-or) gives the window back exactly.

#include "gographkit.h"

#include "gomarker.h"
#include "vxtest.h"
#include "vxtest_x.h"

// After gtest: Xlib defines names gtest uses.
#include "gx11.h"

#include <X11/Xutil.h>

#include <cmath>
#include <vector>

namespace {

class MarkersOnScreen : public ::testing::Test, protected vxtest::AppShell {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(open_shell(400, 300));
        XtMapWidget(shell);
        for (int i = 0; i < 500; i++) {
            XWindowAttributes a{};
            XSync(dpy, False);
            XGetWindowAttributes(dpy, XtWindow(shell), &a);
            if (a.map_state == IsViewable)
                break;
        }
        x11_GInstallDriver();
        const std::string etc = gokit::build_dir() + "/etc";
        const std::string cat = gokit::build_dir() + "/messages/SUN4SOLARIS/C/pelx.cat";
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()), 0);
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        gomain_graph_class[0] = &gokit::fake_class();
        gokit::fake_class().output = gostd_std_output_graph;
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
    }
    void TearDown() override
    {
        gomarker_go_destroy_markers();
        gokit::fake_class().output = nullptr;
        gomain_graph_class[0] = nullptr;
        gomain_go_close_device();
        GTerminate();
        gep_GSetDriver(GDRV_X11, nullptr);
        gcolmap_GSetColourCells(nullptr);
        if (dpy)
            x11_GForgetDisplay(dpy);
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
        close_shell();
    }

    // The window's pixels, once the server has drawn everything asked.
    std::vector<unsigned long> pixels()
    {
        XSync(dpy, False);
        XImage *im = XGetImage(dpy, XtWindow(shell), 0, 0, 400, 300, AllPlanes, ZPixmap);
        std::vector<unsigned long> out;
        if (!im)
            return out;
        for (int y = 0; y < 300; y++)
            for (int x = 0; x < 400; x++)
                out.push_back(XGetPixel(im, x, y));
        XDestroyImage(im);
        return out;
    }
};

TEST_F(MarkersOnScreen, DrawingTwiceGivesTheWindowBack)
{
    std::vector<std::vector<gokit::Cell>> rows;
    for (int i = 0; i < 20; i++)
        rows.push_back({gokit::num(i), gokit::num(std::sin(i * 0.3) * 10)});
    const int d = gokit::load({gokit::col(DOZ_T_REAL), gokit::col(DOZ_T_REAL)}, rows, 1);
    GDeviceRecord *dev = gomain_go_device_id(shell);
    ASSERT_NE(dev, nullptr);
    // The graph background: colour 0, which the marker's colour 1 is not.
    GDeviceModes bg{};
    bg.bg_colour = 0;
    GSetDeviceModes(dev, GDM_BGCOLOUR, &bg);
    gokit::Graph graph(d, d);
    GoGraph &g = graph.g;
    g.width = 400;
    g.height = 300;
    const int placement[4] = {0, 0, 400, 300};
    g.canvas = go_open_canvas(shell, placement);
    ASSERT_NE(g.canvas, nullptr);
    gostd_std_setdata_scalar_graph(&g, d);
    gomain_go_set_2d_coordinates(&g);

    ASSERT_EQ(gomarker_go_create_markers(&g), 1);
    for (int i = 0; i < 5; i++)
        gomarker_go_marker_move_next();
    const std::vector<unsigned long> before = pixels();
    ASSERT_EQ(before.size(), 400u * 300u);
    ASSERT_EQ(gomarker_go_display_markers(), 1);
    const std::vector<unsigned long> shown = pixels();
    // The marker stands at its point: pixels change around it, and only
    // near it.
    double v[3] = {*gomarker_go_marker(0, 0)->x, *gomarker_go_marker(0, 0)->y, 0};
    int64_t at[2] = {0, 0};
    {
        GVector in{GV_DOUBLE, 0, 2, 1, {v, nullptr, nullptr}}, out{};
        ASSERT_EQ(GTransformPoints(g.canvas, GCS_WC, GCS_DC, &in, &out), 0);
        for (int i = 0; i < 2; i++)
            at[i] = out.type == GV_SHORT ? static_cast<const int16_t *>(out.data[0])[i]
                                         : static_cast<const int64_t *>(out.data[0])[i];
        gvector_GFreeVectorData(&out);
    }
    int changed = 0, far = 0;
    for (int y = 0; y < 300; y++)
        for (int x = 0; x < 400; x++)
            if (shown[static_cast<size_t>(y * 400 + x)] != before[static_cast<size_t>(y * 400 + x)]) {
                changed++;
                if (std::abs(x - at[0]) > 30 || std::abs(y - at[1]) > 30)
                    far++;
            }
    EXPECT_GT(changed, 4);
    EXPECT_EQ(far, 0);
    ASSERT_EQ(gomarker_go_undraw_markers(), 1);
    EXPECT_TRUE(pixels() == before) << "the second drawing takes the marker away";
    gomarker_go_destroy_markers();
    GCloseCanvas(g.canvas);
    g.canvas = nullptr;
}

}  // namespace
