// Shaded rendering into a real X window (a 24-bit TrueColor server), read
// back with XGetImage: the lit paraboloid seen from above shows, at the
// window positions of chosen nodes, the colour map's colour of the node's
// index, and the background beside the grid.

#include "ggridhook.h"
#include "pelxtest.h"
#include "vxutil.h"

// After gtest: Xlib defines names gtest uses.
#include "gx11.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

using namespace pelxtest;

namespace {

using RGB = std::array<int, 3>;

RGB rgb_of(const GColour *c) { return {c->red >> 8, c->green >> 8, c->blue >> 8}; }

RGB colour_of(const Visual *v, unsigned long p)
{
    auto channel = [p](unsigned long mask) {
        int shift = __builtin_ctzl(mask);
        unsigned long top = mask >> shift;
        return static_cast<int>(((p & mask) >> shift) * 255 / top);
    };
    return {channel(v->red_mask), channel(v->green_mask), channel(v->blue_mask)};
}

std::string text(RGB c) { return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]); }

constexpr long N = 40;
constexpr int SIZE = 240;

class XShading : public testing::Test {
protected:
    GDeviceRecord *dev = nullptr;
    GCanvasRecord *cv = nullptr;
    GGrid *grid = nullptr;

    void SetUp() override
    {
        x11_GInstallDriver();
        GColourMapParams(1, 0, 1);
        std::string etc = etc_dir();
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", catalogue().c_str(), (etc + "/pelx.rgb").c_str()), 0);
    }
    void TearDown() override
    {
        ggrid_GDestroyGrid(grid);
        if (dev)
            GCloseDevice(dev);
        GTerminate();
        gep_GSetDriver(GDRV_X11, nullptr);
        gcolmap_GSetColourCells(nullptr);
    }
    void window()
    {
        GDeviceEntry e{};
        ASSERT_EQ(GGetDevice(0, &e), 0);
        e.modes.dcxdim = SIZE;
        e.modes.dcydim = SIZE;
        e.modes.dcxpos = 600;
        e.modes.dcypos = 500;
        dev = GOpenDevice(e.mask | GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM | GDM_DCXPOS | GDM_DCYPOS, &e.modes, e.tables);
        if (!dev)
            gdev_GFreeDeviceEntry(&e);
        ASSERT_NE(dev, nullptr);
        GCanvasModes cm{};
        cm.clip = 0;
        cm.coords = GCS_WC;
        cm.size[0] = dev->modes.vdcxdim, cm.size[1] = dev->modes.vdcydim, cm.size[2] = dev->modes.vdcxdim;
        cm.pssize[0] = cm.size[0], cm.pssize[1] = cm.size[1], cm.pssize[2] = cm.size[0];
        const double world[6] = {-1.5, 0, -1.5, 1.5, 2, 1.5};
        for (int i = 0; i < 6; i++)
            cm.world[i] = world[i];
        cm.angle1 = -90 * 64;
        cv = GOpenCanvas(dev,
                         GCM_CLIP | GCM_COORDS | GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_WORLD |
                             GCM_ANGLE1,
                         &cm);
        ASSERT_NE(cv, nullptr);
        XRaiseWindow(display(), drawable());
        XSync(display(), False);
    }
    Display *display() { return static_cast<Display *>(dev->modes.displayconn); }
    Drawable drawable() { return static_cast<Drawable>(dev->modes.window); }
    Visual *visual() { return DefaultVisual(display(), DefaultScreen(display())); }
};

TEST_F(XShading, TheLitParaboloidInAWindow)
{
    window();
    if (visual()->c_class != TrueColor)
        GTEST_SKIP() << "needs a TrueColor server";
    long n = GUseColourMap(dev, 0);
    ASSERT_GT(n, 100);
    grid = ggrid_GCreateGrid(-1, 2.0 / (N - 1), N, -1, 2.0 / (N - 1), N);
    ASSERT_NE(grid, nullptr);
    for (long i = 0; i < N; i++)
        for (long k = 0; k < N; k++) {
            double x = grid->x0 + i * grid->dx, z = grid->z0 + k * grid->dz;
            grid->values[i][k] = GGridCell{x * x + z * z, 1.0};
        }
    GLightModes lm = cv->light;
    lm.x_angle = 150;
    lm.y_angle = 30;
    glight_GSetLightModes(cv, GLTM_XANGLE | GLTM_YANGLE, &lm);
    GLightSource *light = glight_GCreateLightSource(cv);
    GDepthEntry *list = nullptr;
    long count = 0;
    unsigned char *colours = gnormal_GGridSetVertexNormalColours(cv, grid, light, &list, &count);
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(grender_GRenderGridData(cv, grid, colours, list, count), 0);
    XSync(display(), False);
    XImage *got = XGetImage(display(), drawable(), 0, 0, SIZE, SIZE, AllPlanes, ZPixmap);
    ASSERT_NE(got, nullptr);
    GList *map = gcolmap_GGetColourMap(dev->tables[GT_COLOURMAPS], 0)->colours;
    auto window_xy = [&](double x, double y, double z, int &wx, int &wy) {
        double w[3] = {x, y, z};
        GVector in{GV_DOUBLE, 0, 3, 1, {w, nullptr, nullptr}}, out{};
        ASSERT_EQ(GTransformPoints(cv, GCS_WC, GCS_DC, &in, &out), 0);
        wx = static_cast<int>(std::lround(gvector_GGetValue(&out, 0, 0)));
        wy = static_cast<int>(std::lround(gvector_GGetValue(&out, 0, 1)));
        gvector_GFreeVectorData(&out);
    };
    for (long i = 3; i < N - 1; i += 6)
        for (long k = 3; k < N - 1; k += 6) {
            int wx = 0, wy = 0;
            window_xy(grid->x0 + i * grid->dx, grid->values[i][k].value, grid->z0 + k * grid->dz, wx, wy);
            long index = colours[k * N + i];
            bool found = false;
            RGB seen{};
            for (int dy = -1; dy <= 1 && !found; dy++)
                for (int dx = -1; dx <= 1 && !found; dx++) {
                    seen = colour_of(visual(), XGetPixel(got, wx + dx, wy + dy));
                    for (long d = -1; d <= 1 && !found; d++) {
                        RGB want = rgb_of(gcolour_GGetColour(map, std::clamp(index + d, 0L, n - 1)));
                        found = std::abs(seen[0] - want[0]) <= 2 && std::abs(seen[1] - want[1]) <= 2 &&
                                std::abs(seen[2] - want[2]) <= 2;
                    }
                }
            EXPECT_TRUE(found) << "node " << i << "," << k << " index " << index << " has " << text(seen);
        }
    // Beside the grid: the window's background.
    long bg = 0;
    GGetCanvasColour(cv, &bg, 0);
    int wx = 0, wy = 0;
    window_xy(-1.3, 0, -1.3, wx, wy);
    EXPECT_EQ(XGetPixel(got, wx, wy), static_cast<unsigned long>(std::labs(bg)));
    XDestroyImage(got);
    vx_free(colours);
    vx_free(list);
    glight_GFreeLightSource(light);
    GForgetColourMap(cv);
}

}  // namespace
