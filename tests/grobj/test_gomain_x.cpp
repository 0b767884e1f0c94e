// The screen device on a real window under the test X server, a colour map
// read with the canvas window, and clearing in the run mode that draws into
// a client's window.

#include "gographkit.h"

#include "vxtest.h"
#include "vxtest_x.h"

#include <filesystem>

namespace {

class ScreenDevice : public ::testing::Test, protected vxtest::AppShell {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(open_shell(300, 200));
        ASSERT_TRUE(gokit::start_graphics());
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
    }
    void TearDown() override
    {
        gokit::stop_graphics();
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        close_shell();
    }

    // Side by side, so that each is visible.
    Window window(bool map)
    {
        static int x = 0;
        x += 60;
        Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), x, 300, 50, 50, 0, 0, 0);
        XSelectInput(dpy, w, ExposureMask);
        if (map)
            XMapWindow(dpy, w);
        return w;
    }
    // Expose events of the window queued once the server has done all we
    // asked (XSync), removed.
    int exposes(Window w)
    {
        XSync(dpy, False);
        int n = 0;
        XEvent ev;
        while (XCheckTypedWindowEvent(dpy, w, Expose, &ev))
            n++;
        return n;
    }
};

TEST_F(ScreenDevice, TheDriverGetsTheWindowAndDisplay)
{
    GDeviceRecord *d = gomain_go_device_id(shell);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->modes.window, XtWindow(shell));
    EXPECT_EQ(d->modes.displayconn, XtDisplay(shell));
    EXPECT_EQ(d->modes.basedevice, 1) << "the X flag";
    const std::vector<grec::Call> open = grec::of(GEP_OPEN_DEVICE);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].ints[0] & (GDM_WINDOW | GDM_DISPLAYCONN | GDM_BASEDEVICE),
              long(GDM_WINDOW | GDM_DISPLAYCONN | GDM_BASEDEVICE));
    long bx = 0, by = 0;
    gdev_GGetBaseDevLimits(&bx, &by);
    EXPECT_EQ(bx, d->modes.dcxdim) << "the screen is the base device";
    EXPECT_EQ(gomain_go_device_id(nullptr), d) << "opened once";

    // Drawing into a client's window: the device takes the client's.
    gomain_go_close_device();
    const Window client = window(false);
    gomain_go_set_run_mode(6);
    gomain_go_set_wid(client);
    d = gomain_go_device_id(shell);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->modes.window, client);
    XDestroyWindow(dpy, client);
}

// A colour map is read on the screen device opened with the canvas
// window and its connection.
TEST_F(ScreenDevice, AColourMapIsReadThroughTheCanvasWindow)
{
    const std::string dir = vxtest::temp_dir("gomain-x-cmap");
    const std::string path = dir + "/saved.map";
    ASSERT_EQ(gomain_go_write_colourmap(nullptr, path.c_str()), 0);
    grec::clear();
    EXPECT_EQ(gomain_go_read_colourmap(shell, path.c_str()), 1);
    const std::vector<grec::Call> open = grec::of(GEP_OPEN_DEVICE);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].ints[0] & long(GDM_WINDOW | GDM_DISPLAYCONN | GDM_BASEDEVICE),
              long(GDM_WINDOW | GDM_DISPLAYCONN | GDM_BASEDEVICE));
    EXPECT_EQ(grec::count(GEP_CLOSE_DEVICE), 1) << "the device goes once the map is read";
    std::filesystem::remove_all(dir);
}

TEST_F(ScreenDevice, ClearingExposesTheClientsWindowInItsRunMode)
{
    const Window named = window(true), client = window(true);
    exposes(named);
    exposes(client);
    gomain_go_clear_area(dpy, named, 0, 0, 10, 10, 1);
    EXPECT_EQ(exposes(named), 1);
    gomain_go_set_run_mode(6);
    gomain_go_set_wid(client);
    gomain_go_clear_area(dpy, named, 0, 0, 10, 10, 1);
    EXPECT_EQ(exposes(named), 0) << "not the named window";
    EXPECT_EQ(exposes(client), 1);
    gomain_go_set_wid(0);
    gomain_go_clear_area(dpy, named, 0, 0, 10, 10, 1);
    EXPECT_EQ(exposes(named), 0) << "no client window: nothing";
    XDestroyWindow(dpy, named);
    XDestroyWindow(dpy, client);
}

}  // namespace
