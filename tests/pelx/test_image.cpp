// Raster images of values on the recording driver: depth and storage by
// device, values to pixels with and without thresholds, clearing, masks,
// the mesh modes' border switch and the refusals.

#include "gdriver.h"
#include "pelxfixture.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>
#include <limits>

using namespace pelxtest;

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

// Pixels of the colours on an X device: colour-map colour k has pixel
// 16 + k, device colour i pixel 200 + i.
struct Cells {
    static int allocate(GDeviceRecord *, GList *colours)
    {
        for (long i = 0; i < glist_GGetListLen(colours); i++)
            gcolour_GGetColour(colours, i)->pixel = 16 + i;
        return 0;
    }
    static int free(GDeviceRecord *, GList *) { return 1; }
    static int set(GDeviceRecord *, GList *, long, long) { return 0; }
    static int info(void *, unsigned char *, unsigned long *) { return 0; }
};
const GXColourCells cells = {Cells::allocate, Cells::free, Cells::set, Cells::info};

class Images : public OnDevice {
protected:
    std::vector<GRasterImage *> made;

    void TearDown() override
    {
        for (GRasterImage *im : made)
            GDestroyImage(im);
        OnDevice::TearDown();
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolour_GDestroyColourTable(nullptr);
        gcolmap_GSetColourCells(nullptr);
    }

    // Colour map 0 of n colours, colour k of red k (8-bit) and pixel 16 + k;
    // eight device colours, colour i of green 10 i and pixel 200 + i; the
    // third colour of both named `third`.
    void tables(long n, const char *third = "")
    {
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolour_GDestroyColourTable(nullptr);
        gcolmap_GCreateDefColourMapTable();
        GColourMap m{};
        strcpy(m.name, "ramp");
        m.colours = glist_GCreateList();
        for (long k = 0; k < n; k++) {
            GColour c{};
            c.red = static_cast<uint16_t>(k * 257);
            c.pixel = 16 + k;
            if (k == 2)
                strcpy(c.name, third);
            gcolour_GAddMoreColour(m.colours, &c);
        }
        gcolmap_GAddColourMap(&m);
        gcolour_GDestroyColourTable(m.colours);
        gcolmap_GIndexColourMapTable();
        gcolour_GCreateDefColourTable();
        for (int i = 0; i < 8; i++) {
            GColour c{};
            c.green = static_cast<uint16_t>(i * 10 * 257);
            c.pixel = 200 + i;
            if (i == 2)
                strcpy(c.name, third);
            gcolour_GAddColour(&c);
        }
        gcolour_GIndexColourTable();
    }
    void device(unsigned char protocol, long bitdepth = 8)
    {
        if (dev)
            GCloseDevice(dev);
        GDeviceModes m{};
        m.protocol = protocol;
        m.dcxdim = m.dcydim = 4096;
        m.colourmap = -1;
        m.bitdepth = bitdepth;
        GList *t[GT_COUNT] = {gcolour_GCreateDevColourTable(), nullptr, nullptr, nullptr, nullptr,
                              gcolmap_GCreateDevColourMapTable()};
        dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM | GDM_COLOURMAP | GDM_BITDEPTH, &m, t);
        ASSERT_NE(dev, nullptr);
        canvas(4095, GCS_DC);
    }
    GRasterImage *image(long w, long h, double lo, double hi, int type = GIMG_DOUBLE, double x = 10, double y = 20)
    {
        GVector at = point(x, y);
        double range[2] = {lo, hi};
        GRasterImage *im = GCreateImage(cv, w, h, &at, range, type);
        if (im)
            made.push_back(im);
        return im;
    }
    // The pixel stored at (column, row) by the image's storage bits.
    static long at(const GRasterImage *im, long column, long row)
    {
        long i = column + row * im->width;
        switch (im->bits) {
        case 8: return static_cast<const uint8_t *>(im->data)[i];
        case 16: return static_cast<const uint16_t *>(im->data)[i];
        default: return static_cast<const uint32_t *>(im->data)[i];
        }
    }
    void thresholds(std::vector<double> values, std::vector<int16_t> colours, double lo, double hi, long levels)
    {
        GColourMapModes m{};
        m.range = 2;
        m.levels = static_cast<int16_t>(levels);
        m.datamin = m.lower = lo;
        m.datamax = m.upper = hi;
        gcolmap_GSetColourMapModes(cv, GCMM_RANGE | GCMM_LEVELS | GCMM_DATAMIN | GCMM_DATAMAX | GCMM_LOWER | GCMM_UPPER,
                                   &m);
        GThresholdModes t{};
        t.count = static_cast<int16_t>(values.size());
        for (size_t i = 0; i < values.size(); i++)
            t.values[i] = values[i], t.colours[i] = colours[i];
        gthresh_GSetThresholdModes(cv, GTHM_COUNT | GTHM_VALUES | GTHM_COLOURS, &t);
    }
};

// 24-bit PostScript pixel of red byte r, or of device colour i.
long map_rgb(long k) { return k << 16; }
long table_rgb(long i) { return (i * 10) << 8; }

TEST_F(Images, DepthAndStorageByDevice)
{
    tables(16);
    struct Case {
        unsigned char protocol;
        long bitdepth;
        const char *third;
        int depth, bits;
    } cases[] = {
        {GP_X, 8, "", 8, 8},        {GP_X, 15, "", 15, 16},  {GP_X, 16, "", 16, 16}, {GP_X, 12, "", 12, 16},
        {GP_X, 24, "", 24, 32},     {GP_X, 32, "", 32, 32},  {GP_PCL, 24, "", 24, 32}, {GP_PCL, 8, "", 8, 8},
        {GP_POSTSCRIPT, 8, "", 24, 32}, {GP_POSTSCRIPT, 8, "black", 8, 8}, {GP_EPS, 8, "", 24, 32},
        {GP_EPS, 8, "black", 8, 8}, {GP_IMAGE, 8, "", 24, 32}, {GP_IMAGE, 8, "black", 24, 32},
    };
    for (auto &c : cases) {
        tables(16, c.third);
        device(c.protocol, c.bitdepth);
        GRasterImage *im = image(5, 3, 0, 1);
        ASSERT_NE(im, nullptr) << int(c.protocol);
        EXPECT_EQ(im->depth, c.depth) << int(c.protocol) << " " << c.bitdepth << c.third;
        EXPECT_EQ(im->bits, c.bits) << int(c.protocol) << " " << c.bitdepth << c.third;
        EXPECT_EQ(im->spare, -1);
        EXPECT_EQ(im->colours, 16);
        EXPECT_EQ(im->invert_y, c.protocol == GP_X || c.protocol == GP_PCL || c.protocol == GP_IMAGE);
        // Pixel data starts zeroed.
        for (long r = 0; r < 3; r++)
            for (long k = 0; k < 5; k++)
                EXPECT_EQ(at(im, k, r), 0);
    }
}

TEST_F(Images, HpglRefusesImages)
{
    tables(16);
    device(GP_POSTSCRIPT);
    GRasterImage *elsewhere = image(4, 4, 0, 1);
    ASSERT_NE(elsewhere, nullptr);
    for (unsigned char protocol : {GP_HPGL, GP_HPGL2}) {
        device(protocol);
        EXPECT_EQ(image(4, 4, 0, 1), nullptr);
        EXPECT_EQ(last_error(), std::make_pair(4, 21));
        gerror_GRegisterError(0, 0, 0, nullptr);
        EXPECT_EQ(GDrawImage(cv, elsewhere), -1);
        EXPECT_EQ(last_error(), std::make_pair(4, 21));
        EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 0);
    }
}

TEST_F(Images, BadArgumentsAreRefused)
{
    tables(16);
    device(GP_POSTSCRIPT);
    GVector at = point(0, 0);
    double range[2] = {0, 1};
    struct Case {
        long w, h;
        const GVector *position;
        const void *range;
        int type;
    } cases[] = {
        {0, 4, &at, range, 0}, {4, -1, &at, range, 0}, {40000, 4, &at, range, 0}, {4, 4, nullptr, range, 0},
        {4, 4, &at, nullptr, 0}, {4, 4, &at, range, 1}, {4, 4, &at, range, 9},
    };
    for (auto &c : cases) {
        EXPECT_EQ(GCreateImage(cv, c.w, c.h, c.position, c.range, c.type), nullptr) << c.w << "x" << c.h;
        EXPECT_EQ(last_error(), std::make_pair(3, 22));
    }
    EXPECT_EQ(GDestroyImage(nullptr), -1);
    EXPECT_EQ(GDrawImage(cv, nullptr), -1);
    EXPECT_EQ(GImageMethod(42), 42);
}

TEST_F(Images, ValuesToPixels)
{
    tables(64);
    device(GP_POSTSCRIPT);
    struct Case {
        double lo, hi, value;
        long index;
    } cases[] = {
        {0, 10, 10, 63}, {0, 10, 0, 0}, {0, 10, 5, 31},   // the range over 64 colours
        {0, 10, 12, 63}, {0, 10, -3, 0}, {0, 10, 1e300, 63}, {0, 10, NaN, 0},  // clamped, NaN to 0
        {5, 5, 5, 0},    {5, 5, 9, 0},                     // a flat range: colour 0, no division
        {0, INF, 3, 0},  {NaN, 1, 0.5, 0}, {-INF, INF, 0, 0},  // a range that is not finite
        {10, 0, 2.5, 47},                                  // given downwards: reversed
    };
    for (auto &c : cases) {
        GRasterImage *im = image(3, 2, c.lo, c.hi);
        ASSERT_NE(im, nullptr);
        EXPECT_TRUE(std::isfinite(im->scale));
        GDoubleToPixel(cv, im, 2, 1, c.value);
        EXPECT_EQ(at(im, 2, 1), map_rgb(c.index)) << c.lo << ".." << c.hi << " " << c.value;
        EXPECT_EQ(at(im, 0, 0), 0);
    }
    // 16-bit integer ranges and colour indices.
    int16_t shorts[2] = {0, 630};
    GVector p = point(0, 0);
    GRasterImage *s = GCreateImage(cv, 2, 1, &p, shorts, GIMG_SHORT);
    ASSERT_NE(s, nullptr);
    made.push_back(s);
    GDoubleToPixel(cv, s, 0, 0, 105);
    EXPECT_EQ(at(s, 0, 0), map_rgb(10));
    GRasterImage *ix = GCreateImage(cv, 2, 1, &p, nullptr, GIMG_INDEX);
    ASSERT_NE(ix, nullptr);
    made.push_back(ix);
    EXPECT_EQ(ix->indices, 1);
    GDoubleToPixel(cv, ix, 0, 0, 17);
    GDoubleToPixel(cv, ix, 1, 0, 400);
    EXPECT_EQ(at(ix, 0, 0), map_rgb(17));
    EXPECT_EQ(at(ix, 1, 0), map_rgb(63));
}

TEST_F(Images, CellsOutsideTheImageAreLeftAlone)
{
    tables(16);
    device(GP_POSTSCRIPT);
    GRasterImage *im = image(3, 2, 0, 1);
    ASSERT_NE(im, nullptr);
    const std::pair<long, long> outside[] = {{-1, 0}, {3, 0}, {0, 2}, {0, -1}, {100000, 100000}};
    for (auto [k, r] : outside)
        GDoubleToPixel(cv, im, k, r, 1.0);
    for (long r = 0; r < 2; r++)
        for (long k = 0; k < 3; k++)
            EXPECT_EQ(at(im, k, r), 0) << k << "," << r;
}

TEST_F(Images, ThresholdBandsAtDepths8And24)
{
    // Fixed colour 3 below 10, the map spread over 10 .. 20, fixed colour 5
    // from 20.
    struct Case {
        double value;
        long index;  // colour-map index, or -1 - device colour
    } cases[] = {{5, -1 - 3}, {-100, -1 - 3}, {10, 0}, {15, 7}, {19.99, 14}, {20, -1 - 5}, {25, -1 - 5}};
    for (const char *third : {"", "black"}) {
        tables(16, third);
        device(GP_POSTSCRIPT);
        thresholds({0, 10, 20}, {3, -1, 5}, 0, 30, 16);
        GRasterImage *im = image(8, 1, 0, 30);
        ASSERT_NE(im, nullptr);
        ASSERT_EQ(im->thresholds, 1);
        bool by_index = im->depth == 8;
        EXPECT_EQ(by_index, strcmp(third, "black") == 0);
        for (size_t i = 0; i < std::size(cases); i++) {
            GDoubleToPixel(cv, im, static_cast<long>(i), 0, cases[i].value);
            long k = cases[i].index;
            long want = k >= 0 ? (by_index ? k : map_rgb(k)) : (by_index ? -1 - k : table_rgb(-1 - k));
            EXPECT_EQ(at(im, static_cast<long>(i), 0), want) << cases[i].value << " " << third;
        }
    }
    // On X the same at depth 8 and 24: the colour cells' pixels.
    gcolmap_GSetColourCells(&cells);
    for (long depth : {8L, 24L}) {
        tables(16);
        device(GP_X, depth);
        ASSERT_EQ(GUseColourMap(dev, 0), 16);
        thresholds({0, 10, 20}, {3, -1, 5}, 0, 30, 16);
        GRasterImage *im = image(3, 1, 0, 30);
        ASSERT_NE(im, nullptr);
        GDoubleToPixel(cv, im, 0, 0, 5);
        GDoubleToPixel(cv, im, 1, 0, 15);
        GDoubleToPixel(cv, im, 2, 0, 25);
        EXPECT_EQ(at(im, 0, 0), 200 + 3) << depth;
        EXPECT_EQ(at(im, 1, 0), 16 + 7) << depth;
        EXPECT_EQ(at(im, 2, 0), 200 + 5) << depth;
    }
}

TEST_F(Images, ClearingFillsPixelsWithTheBackground)
{
    gcolmap_GSetColourCells(&cells);
    struct Case {
        unsigned char protocol;
        long bitdepth;
        const char *third;
        long pixel;
    } cases[] = {
        {GP_X, 24, "", 0x123456},      // the canvas colour is a pixel already
        {GP_X, 16, "", 0x3456},        // kept to the image's 16 bits
        {GP_POSTSCRIPT, 8, "", table_rgb(7)},  // device colour 7 from the driver
        {GP_POSTSCRIPT, 8, "black", 7},
        {GP_IMAGE, 8, "", table_rgb(7)},
    };
    GSetCanvasColour(0x123456);
    for (auto &c : cases) {
        tables(16, c.third);
        device(c.protocol, c.bitdepth);
        grec::answers().canvas_colour = -7;  // its absolute value
        GRasterImage *im = image(5, 3, 0, 1);
        ASSERT_NE(im, nullptr);
        ASSERT_EQ(GClearImageData(cv, im), 0);
        for (long r = 0; r < 3; r++)
            for (long k = 0; k < 5; k++)
                EXPECT_EQ(at(im, k, r), c.pixel) << int(c.protocol) << " " << k << "," << r;
        EXPECT_EQ(im->mask_flag, 0);
    }
    GSetCanvasColour(0);
}

TEST_F(Images, BorderSwitchMasksTheUndrawnCells)
{
    tables(16);
    device(GP_POSTSCRIPT);
    GMeshModes mm{};
    gmesh_GGetMeshModes(cv, &mm);
    EXPECT_EQ(mm.skirt, 0);
    EXPECT_EQ(mm.border, 0);
    EXPECT_EQ(mm.colouring, 0);
    EXPECT_EQ(mm.shading, 0);
    EXPECT_EQ(mm.colour, 1);
    mm.border = 1;
    mm.colour = 99;  // not in the mask: kept
    ASSERT_EQ(gmesh_GSetMeshModes(cv, GMSM_BORDER, &mm), 0);
    EXPECT_EQ(cv->mesh.colour, 1);

    // Width 9: mask rows of two bytes, a mask row width of 16.
    GRasterImage *im = image(9, 2, 0, 15);
    ASSERT_NE(im, nullptr);
    GClearImageData(cv, im);
    EXPECT_EQ(im->mask_flag, 1);
    GDoubleToPixel(cv, im, 0, 0, 15);
    GDoubleToPixel(cv, im, 8, 0, 3);
    GDoubleToPixel(cv, im, 4, 1, 7);
    ASSERT_EQ(GDrawImage(cv, im), 0);
    auto calls = grec::of(GEP_DRAW_IMAGE);
    ASSERT_EQ(calls.size(), 1u);
    const grec::Image &got = calls[0].image;
    EXPECT_EQ(got.mask_width, 16);
    EXPECT_EQ(got.mask_height, 2);
    ASSERT_EQ(got.mask.size(), 4u);
    EXPECT_EQ(got.mask, (std::vector<unsigned char>{0x01, 0x01, 0x10, 0x00}));
    EXPECT_EQ(got.pixel(0, 0), static_cast<unsigned long>(map_rgb(15)));
    EXPECT_EQ(got.x, 10);
    EXPECT_EQ(got.y, 20);
    EXPECT_EQ(got.depth, 24);
    EXPECT_EQ(got.bits, 32);

    // A masked image whose cells are all 0 keeps nothing.
    grec::clear();
    GRasterImage *blank = image(3, 3, 0, 1);
    GClearImageData(cv, blank);
    ASSERT_EQ(GDrawImage(cv, blank), 0);
    const grec::Image none = grec::of(GEP_DRAW_IMAGE).at(0).image;
    EXPECT_EQ(none.mask, std::vector<unsigned char>(3, 0));
    for (long r = 0; r < 3; r++)
        for (long k = 0; k < 3; k++)
            EXPECT_EQ(none.kept(k, r), 0);
}

TEST_F(Images, PositionThroughTheCurrentTransform)
{
    tables(16);
    device(GP_POSTSCRIPT);
    GRasterImage *dc = image(2, 2, 0, 1, GIMG_DOUBLE, 123, 456);
    EXPECT_EQ(dc->x, 123);
    EXPECT_EQ(dc->y, 456);
    GCanvasModes cm{};
    cm.coords = GCS_PS;
    GSetCanvasModes(cv, GCM_COORDS, &cm);
    GRasterImage *ps = image(2, 2, 0, 1, GIMG_DOUBLE, 2000, 1000);
    double o[3] = {2000, 1000, 0}, d[3];
    gcoords_GApplyPart(&cv->xf[GX_PS].forward, o, d);
    EXPECT_EQ(ps->x, std::lround(d[0]));
    EXPECT_EQ(ps->y, std::lround(d[1]));
    EXPECT_NE(ps->x, 2000);
}

TEST_F(Images, EachImageKeepsItsOwnTables)
{
    tables(16);
    device(GP_POSTSCRIPT);
    GRasterImage *first = image(1, 1, 0, 15);
    gcolmap_GPruneColourMap(nullptr, 0, 4);  // the map changes under it
    GRasterImage *second = image(1, 1, 0, 15);
    EXPECT_EQ(first->colours, 16);
    EXPECT_EQ(second->colours, 4);
    GDoubleToPixel(cv, first, 0, 0, 5);
    GDoubleToPixel(cv, second, 0, 0, 5);
    EXPECT_EQ(at(first, 0, 0), map_rgb(5));
    EXPECT_EQ(at(second, 0, 0), map_rgb(8));  // colour 1 of the pruned map
    EXPECT_NE(first->pixels, second->pixels);
}

TEST_F(Images, ConsumedPixelsAreNotFreedTwice)
{
    tables(16);
    device(GP_POSTSCRIPT);
    GVector p = point(0, 0);
    GRasterImage *im = GCreateImage(cv, 4, 4, &p, nullptr, GIMG_INDEX);
    ASSERT_NE(im, nullptr);
    // What a driver that takes the pixel buffer leaves behind.
    vx_free(im->data);
    im->data = nullptr;
    GDoubleToPixel(cv, im, 0, 0, 1);
    EXPECT_EQ(GClearImageData(cv, im), -1);
    EXPECT_EQ(GDestroyImage(im), 0);
}

}  // namespace
