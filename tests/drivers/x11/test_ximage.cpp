// Raster images of values and the colour-map palette on a real X window
// (a 24-bit and a 16-bit TrueColor server), read back with XGetImage: the
// image shows the colour map's colours, and a palette cell set to red
// shows red once the palette is drawn again.

#include "pelxtest.h"
#include "vxutil.h"

// After gtest: Xlib defines names gtest uses.
#include "gx11.h"

#include <array>
#include <cstdlib>
#include <string>

using namespace pelxtest;

namespace {

using RGB = std::array<int, 3>;

RGB rgb_of(const GColour *c) { return {c->red >> 8, c->green >> 8, c->blue >> 8}; }

// The colour of a TrueColor pixel, 0..255 per channel.
RGB colour_of(const Visual *v, unsigned long p)
{
    auto channel = [p](unsigned long mask) {
        int shift = __builtin_ctzl(mask);
        unsigned long top = mask >> shift;
        return static_cast<int>(((p & mask) >> shift) * 255 / top);
    };
    return {channel(v->red_mask), channel(v->green_mask), channel(v->blue_mask)};
}

class XPictures : public testing::Test {
protected:
    GDeviceRecord *dev = nullptr;
    GCanvasRecord *cv = nullptr;
    int slack = 2;  // per channel: the server's precision

    void SetUp() override
    {
        x11_GInstallDriver();
        GColourMapParams(1, 0, 1);
        std::string etc = etc_dir();
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", catalogue().c_str(), (etc + "/pelx.rgb").c_str()), 0);
    }
    void TearDown() override
    {
        if (dev)
            GCloseDevice(dev);
        GTerminate();
        gep_GSetDriver(GDRV_X11, nullptr);
        gcolmap_GSetColourCells(nullptr);
    }
    // The screen device in a window of its own, 384 x 192, raised; a canvas
    // whose plot space covers it, drawing in plot space.
    void window()
    {
        GDeviceEntry e{};
        ASSERT_EQ(GGetDevice(0, &e), 0);
        e.modes.dcxdim = 384;
        e.modes.dcydim = 192;
        e.modes.dcxpos = 620;
        e.modes.dcypos = 540;
        dev = GOpenDevice(e.mask | GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM | GDM_DCXPOS | GDM_DCYPOS, &e.modes, e.tables);
        if (!dev)
            gdev_GFreeDeviceEntry(&e);
        ASSERT_NE(dev, nullptr);
        GCanvasModes cm{};
        cm.clip = 0;
        cm.coords = GCS_PS;
        cm.size[0] = dev->modes.vdcxdim, cm.size[1] = dev->modes.vdcydim, cm.size[2] = dev->modes.vdcxdim;
        cm.pssize[0] = cm.size[0], cm.pssize[1] = cm.size[1], cm.pssize[2] = cm.size[0];
        cv = GOpenCanvas(dev, GCM_CLIP | GCM_COORDS | GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE, &cm);
        ASSERT_NE(cv, nullptr);
        XRaiseWindow(display(), drawable());
        XSync(display(), False);
        int depth = DefaultDepth(display(), DefaultScreen(display()));
        slack = depth <= 16 ? 9 : 2;
    }
    Display *display() { return static_cast<Display *>(dev->modes.displayconn); }
    Drawable drawable() { return static_cast<Drawable>(dev->modes.window); }
    Visual *visual() { return DefaultVisual(display(), DefaultScreen(display())); }
    GList *map0() { return gcolmap_GGetColourMap(nullptr, 0)->colours; }

    bool close_to(RGB a, RGB b) const
    {
        for (int i = 0; i < 3; i++)
            if (std::abs(a[size_t(i)] - b[size_t(i)]) > slack)
                return false;
        return true;
    }
    std::string text(RGB c) { return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]); }
};

TEST_F(XPictures, ImageShowsTheColourMapsColours)
{
    window();
    if (visual()->c_class != TrueColor)
        GTEST_SKIP() << "needs a TrueColor server";
    long n = GUseColourMap(dev, 0);
    ASSERT_GE(n, 8);
    const int W = 64, H = 48;
    double origin[2] = {0, 0}, range[2] = {0, 7};
    GVector at{GV_DOUBLE, 0, 2, 1, {origin, nullptr, nullptr}};
    GRasterImage *im = GCreateImage(cv, W, H, &at, range, GIMG_DOUBLE);
    ASSERT_NE(im, nullptr);
    int depth = DefaultDepth(display(), DefaultScreen(display()));
    EXPECT_EQ(im->depth, depth);
    EXPECT_EQ(im->bits, depth > 16 ? 32 : 16);
    GClearImageData(cv, im);
    for (int r = 0; r < H; r++)
        for (int k = 0; k < W; k++)
            GDoubleToPixel(cv, im, k, r, k / 8);
    int x0 = im->x, top = im->y - H;
    ASSERT_EQ(GDrawImage(cv, im), 0);
    EXPECT_EQ(im->data, nullptr);  // the driver took the pixels
    EXPECT_EQ(GDestroyImage(im), 0);
    XSync(display(), False);

    XImage *got = XGetImage(display(), drawable(), 0, 0, 384, 192, AllPlanes, ZPixmap);
    ASSERT_NE(got, nullptr);
    for (int r = 4; r < H; r += 8)
        for (int k = 4; k < W; k += 8) {
            RGB want = rgb_of(gcolour_GGetColour(map0(), (k / 8) * (n - 1) / 7));
            RGB seen = colour_of(visual(), XGetPixel(got, x0 + k, top + (H - 1 - r)));
            EXPECT_TRUE(close_to(seen, want)) << k << "," << r << " wants " << text(want) << " has " << text(seen);
        }
    XDestroyImage(got);
}

TEST_F(XPictures, PaletteCellSetToRedShowsRed)
{
    window();
    if (visual()->c_class != TrueColor)
        GTEST_SKIP() << "needs a TrueColor server";
    ASSERT_GE(glist_GGetListLen(map0()), 8);
    ASSERT_EQ(gcolmap_GDrawColourMapPalette(cv, 8, 16), 0);
    long x1, y1, x2, y2;
    ASSERT_EQ(gcolmap_GColourMapCellBox(cv, 5, &x1, &y1, &x2, &y2), 0);
    EXPECT_EQ(x2 - x1, 23);
    EXPECT_EQ(y2 - y1, 23);
    RGB six = rgb_of(gcolour_GGetColour(map0(), 6));

    long red[3] = {255, 0, 0}, out[3];
    ASSERT_EQ(gcolmap_GColourMapSetPaletteEntry(cv, 5, 0, red, out), 0);
    ASSERT_EQ(gcolmap_GDrawColourMapPalette(cv, 8, 16), 0);
    XSync(display(), False);
    XImage *got = XGetImage(display(), drawable(), 0, 0, 384, 192, AllPlanes, ZPixmap);
    ASSERT_NE(got, nullptr);
    int wrong = 0;
    for (long y = y1 + 1; y < y2; y++)
        for (long x = x1 + 1; x < x2; x++)
            wrong += !close_to(colour_of(visual(), XGetPixel(got, int(x), int(y))), RGB{255, 0, 0});
    EXPECT_EQ(wrong, 0);
    // The next cell keeps its colour.
    RGB next = colour_of(visual(), XGetPixel(got, int(x2 + 12), int(y1 + 12)));
    EXPECT_TRUE(close_to(next, six)) << text(next) << " against " << text(six);
    XDestroyImage(got);
}

}  // namespace
