// Raster images of values as real pictures: the same 64 x 48 image on the
// plot space of a PNG device and of an EPS device (rendered by Ghostscript
// at the PNG's size), probed at computed pixels: the colour map's colours
// in both, and a masked image leaving a filled rectangle visible under its
// empty cells.

#include "giinit.h"
#include "gpinit.h"
#include "imagelib.h"
#include "pelx.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

std::string build_dir()
{
    const char *b = getenv("VX_BUILD_DIR");
    return b ? b : ".";
}

class Library : public testing::Environment {
public:
    void SetUp() override
    {
        std::string etc = build_dir() + "/etc";
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", (build_dir() + "/messages/SUN4SOLARIS/C/pelx.cat").c_str(),
                              (etc + "/pelx.rgb").c_str()),
                  0);
        giinit_GInstallDriver();
        gpinit_GInstallDriver();
    }
    void TearDown() override
    {
        gep_GSetDriver(GDRV_IMAGE, nullptr);
        gep_GSetDriver(GDRV_POSTSCRIPT, nullptr);
        GTerminate();
    }
};

struct ImageFree {
    void operator()(IImage *i) const { IFreeImage(i); }
};
using Image = std::unique_ptr<IImage, ImageFree>;
using RGB = std::array<int, 3>;

constexpr int W = 64, H = 48, BLOCK = 8;
constexpr long RECT_COLOUR = 13;  // a device colour no map colour is near

RGB rgb_of(const GColour *c)
{
    auto byte = [](uint16_t v) { return static_cast<int>(static_cast<unsigned char>(static_cast<int>(v / 65356.0 * 255))); };
    return {byte(c->red), byte(c->green), byte(c->blue)};
}

Image read_png(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return nullptr;
    IImage *im = nullptr;
    int rc = IReadImageFile(f, IFORMAT_PNG, 0, &im);
    fclose(f);
    return rc == 0 ? Image(im) : nullptr;
}

// Whether the colour is found within 2 pixels of (x, y), each channel
// within 3 levels.
bool near(const IImage *im, int x, int y, RGB want, std::string *seen)
{
    for (int dy = -2; dy <= 2; dy++)
        for (int dx = -2; dx <= 2; dx++) {
            int px = x + dx, py = y + dy;
            if (px < 0 || py < 0 || px >= im->width || py >= im->height)
                continue;
            const unsigned char *p = im->pixels + (static_cast<size_t>(py) * im->width + px) * 3;
            if (std::abs(p[0] - want[0]) <= 3 && std::abs(p[1] - want[1]) <= 3 && std::abs(p[2] - want[2]) <= 3)
                return true;
            if (dx == 0 && dy == 0)
                *seen = std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
        }
    return false;
}

// The ramp: blocks of 8 columns take the values 0 .. 7 (the range of the
// image); with `masked` only the blocks of an odd checker square are drawn.
bool drawn(int column, int row, bool masked) { return !masked || (column / BLOCK + row / BLOCK) % 2 == 1; }
double value(int column) { return column / BLOCK; }

class Rasters : public testing::Test {
protected:
    std::string dir = vxtest::temp_dir("rasters");

    // Draws the picture on device entry `index` (2 EPS, 5 PNG) of the given
    // size, into `path`: a filled rectangle over the plot space, then the
    // image over it.  The map's colours of the ramp's values come back in
    // `colours`, the rectangle's colour in `rect`.
    void draw(long index, long dcx, long dcy, const std::string &path, bool masked, std::array<RGB, 8> &colours,
              RGB &rect)
    {
        GDeviceEntry e{};
        ASSERT_EQ(GGetDevice(index, &e), 0);
        e.modes.dcxdim = dcx;
        e.modes.dcydim = dcy;
        e.modes.dcxpos = e.modes.dcypos = 0;
        e.modes.scale = 1;
        e.modes.output = 0;
        e.modes.fillpage = 0;
        e.modes.centre = 0;
        snprintf(e.modes.filename, sizeof e.modes.filename, "%s", path.c_str());
        GDeviceRecord *dev = GOpenDevice(e.mask | GDM_DCXDIM | GDM_DCYDIM | GDM_DCXPOS | GDM_DCYPOS | GDM_OUTPUT |
                                              GDM_FILENAME | GDM_FILLPAGE | GDM_CENTRE,
                                          &e.modes, e.tables);
        if (!dev)
            gdev_GFreeDeviceEntry(&e);
        ASSERT_NE(dev, nullptr);
        // The canvas and its plot space cover the device; drawing in plot
        // space.
        GCanvasModes cm{};
        cm.clip = 0;
        cm.coords = GCS_PS;
        cm.size[0] = dev->modes.vdcxdim, cm.size[1] = dev->modes.vdcydim, cm.size[2] = dev->modes.vdcxdim;
        cm.pssize[0] = cm.size[0], cm.pssize[1] = cm.size[1], cm.pssize[2] = cm.size[0];
        GCanvasRecord *cv = GOpenCanvas(dev, GCM_CLIP | GCM_COORDS | GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE, &cm);
        ASSERT_NE(cv, nullptr);

        GFillModes fm = cv->fill;
        fm.style = 1;
        fm.colour = RECT_COLOUR;
        GSetFillModes(cv, GFM_STYLE | GFM_COLOUR, &fm);
        double x1 = cv->modes.psextent[0], y1 = cv->modes.psextent[1];
        double corners[8] = {0, 0, x1, 0, x1, y1, 0, y1};
        GVector poly{GV_DOUBLE, 0, 2, 4, {corners, nullptr, nullptr}};
        gdraw_GDrawFilledPolygon(cv, &poly, nullptr);
        rect = rgb_of(gcolour_GGetColour(dev->tables[GT_COLOURS], RECT_COLOUR));

        GMeshModes mm{};
        mm.border = masked;
        gmesh_GSetMeshModes(cv, GMSM_BORDER, &mm);
        double origin[2] = {0, 0}, range[2] = {0, 7};
        GVector at{GV_DOUBLE, 0, 2, 1, {origin, nullptr, nullptr}};
        GRasterImage *im = GCreateImage(cv, W, H, &at, range, GIMG_DOUBLE);
        ASSERT_NE(im, nullptr);
        ASSERT_EQ(im->bits, 32);
        ASSERT_EQ(GClearImageData(cv, im), 0);
        for (int r = 0; r < H; r++)
            for (int k = 0; k < W; k++)
                if (drawn(k, r, masked))
                    GDoubleToPixel(cv, im, k, r, value(k));
        ASSERT_EQ(GDrawImage(cv, im), 0);
        GDestroyImage(im);
        GList *map = gcolmap_GGetColourMap(nullptr, 0)->colours;
        long n = glist_GGetListLen(map);
        for (int v = 0; v < 8; v++)
            colours[size_t(v)] = rgb_of(gcolour_GGetColour(map, v * (n - 1) / 7));
        ASSERT_EQ(GCloseDevice(dev), 0);
    }

    // The PNG and the EPS rendered at the PNG's size.
    std::array<Image, 2> pictures(bool masked, std::array<RGB, 8> &colours, RGB &rect)
    {
        std::string png = dir + "/ramp.png", eps = dir + "/ramp.eps", rendered = dir + "/eps.png";
        std::array<Image, 2> out;
        draw(5, W, H, png, masked, colours, rect);
        draw(2, W * 10, H * 10, eps, masked, colours, rect);
        vxtest::Result r = vxtest::run({"/usr/bin/gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                                        "-g" + std::to_string(W) + "x" + std::to_string(H), "-dEPSFitPage",
                                        "-sOutputFile=" + rendered, eps});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ((r.out + r.err).find("Error"), std::string::npos) << r.out << r.err;
        out[0] = read_png(png);
        out[1] = read_png(rendered);
        return out;
    }

    // Probes the centre of every 8 x 8 block; row 0 of the image is the
    // picture's bottom row.
    static void probe(const IImage *im, const char *what, bool masked, const std::array<RGB, 8> &colours, RGB rect)
    {
        ASSERT_EQ(im->width, W) << what;
        ASSERT_EQ(im->height, H) << what;
        for (int r = BLOCK / 2; r < H; r += BLOCK)
            for (int k = BLOCK / 2; k < W; k += BLOCK) {
                RGB want = drawn(k, r, masked) ? colours[size_t(value(k))] : rect;
                std::string seen;
                EXPECT_TRUE(near(im, k, H - 1 - r, want, &seen))
                    << what << " cell " << k << "," << r << " wants " << want[0] << "," << want[1] << "," << want[2]
                    << " has " << seen;
            }
    }
};

TEST_F(Rasters, RampShowsTheColourMapOnPngAndEps)
{
    std::array<RGB, 8> colours{};
    RGB rect{};
    auto pics = pictures(false, colours, rect);
    ASSERT_TRUE(pics[0] && pics[1]);
    // Every value has a colour of its own.
    for (int v = 1; v < 8; v++)
        EXPECT_NE(colours[size_t(v)], colours[size_t(v - 1)]);
    probe(pics[0].get(), "PNG", false, colours, rect);
    probe(pics[1].get(), "EPS", false, colours, rect);
}

TEST_F(Rasters, MaskedImageLeavesTheRectangleUnderItsEmptyCells)
{
    std::array<RGB, 8> colours{};
    RGB rect{};
    auto pics = pictures(true, colours, rect);
    ASSERT_TRUE(pics[0] && pics[1]);
    for (auto &c : colours)
        ASSERT_NE(c, rect);
    probe(pics[0].get(), "PNG", true, colours, rect);
    probe(pics[1].get(), "EPS", true, colours, rect);
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new Library);
    return RUN_ALL_TESTS();
}
