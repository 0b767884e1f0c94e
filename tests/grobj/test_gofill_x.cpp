// Colour-map files read through the X11 driver on the test X server: the
// screen device is opened on the canvas window's own connection, and the
// colours read come back as colour cells of that connection.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "gomain.h"
#include "pelx.h"
#include "vxtest.h"
#include "vxtest_x.h"

// After gtest: Xlib defines names gtest uses.
#include "gx11.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

GList *map0() { return gcolmap_GGetColourMap(nullptr, 0)->colours; }
std::string build_dir() { return getenv("VX_BUILD_DIR") ? getenv("VX_BUILD_DIR") : "."; }

class ColourMapOnScreen : public ::testing::Test, protected vxtest::AppShell {
protected:
    std::string dir;

    void SetUp() override
    {
        ASSERT_TRUE(open_shell(300, 200));
        x11_GInstallDriver();
        GColourMapParams(1, 0, 1);
        const std::string etc = build_dir() + "/etc";
        const std::string cat = build_dir() + "/messages/SUN4SOLARIS/C/pelx.cat";
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()), 0);
        dir = vxtest::temp_dir("gofill-x");
    }
    void TearDown() override
    {
        GTerminate();
        gep_GSetDriver(GDRV_X11, nullptr);
        gcolmap_GSetColourCells(nullptr);
        if (dpy)
            x11_GForgetDisplay(dpy);
        close_shell();
        std::filesystem::remove_all(dir);
    }
};

// A map written, changed in memory, then read back with the canvas window:
// colour map 0 holds the written colours again, each with a cell of the
// window's connection showing it.  The device never opens a connection
// of its own: with DISPLAY unset it could not.
TEST_F(ColourMapOnScreen, AWrittenMapReadsBackThroughTheCanvasWindow)
{
    const std::string path = dir + "/saved.map";
    ASSERT_GT(GGetNumColoursIn(map0()), 4);
    const GColour written = *gcolour_GGetColour(map0(), 3);
    ASSERT_EQ(gomain_go_write_colourmap(nullptr, path.c_str()), 0);
    gcolour_GGetColour(map0(), 3)->red = static_cast<uint16_t>(written.red ^ 0x8000);
    gcolour_GGetColour(map0(), 3)->blue = static_cast<uint16_t>(written.blue ^ 0x8000);

    std::optional<std::string> display;
    if (const char *d = getenv("DISPLAY"))
        display = d;
    unsetenv("DISPLAY");
    const int read = gomain_go_read_colourmap(shell, path.c_str());
    if (display)
        setenv("DISPLAY", display->c_str(), 1);
    ASSERT_EQ(read, 1);

    const GColour *back = gcolour_GGetColour(map0(), 3);
    EXPECT_EQ(back->red >> 8, written.red >> 8);
    EXPECT_EQ(back->green >> 8, written.green >> 8);
    EXPECT_EQ(back->blue >> 8, written.blue >> 8);

    const long n = GGetNumColoursIn(map0());
    std::vector<XColor> cells(static_cast<size_t>(n));
    for (long i = 0; i < n; i++) {
        const long pixel = gcolour_GGetColour(map0(), i)->pixel;
        ASSERT_GE(pixel, 0) << "colour " << i << " has no cell";
        cells[static_cast<size_t>(i)].pixel = static_cast<unsigned long>(pixel);
    }
    XQueryColors(dpy, DefaultColormap(dpy, DefaultScreen(dpy)), cells.data(), static_cast<int>(n));
    for (long i = 0; i < n; i++) {
        const GColour *c = gcolour_GGetColour(map0(), i);
        EXPECT_EQ(cells[size_t(i)].red >> 8, c->red >> 8) << i;
        EXPECT_EQ(cells[size_t(i)].green >> 8, c->green >> 8) << i;
        EXPECT_EQ(cells[size_t(i)].blue >> 8, c->blue >> 8) << i;
    }

    // A file that is not there reads nothing and leaves the map as it was.
    EXPECT_EQ(gomain_go_read_colourmap(shell, (dir + "/missing.map").c_str()), 0);
    EXPECT_EQ(gcolour_GGetColour(map0(), 3)->red >> 8, written.red >> 8);
}

}  // namespace
