// Colouring by value: thresholds, colour maps on devices, pixel values and
// the coloured primitives, by what they ask of the driver.

#include "gdriver.h"
#include "pelxfixture.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>
#include <set>

using namespace pelxtest;

namespace {

// The X driver's colour cells as a display of `cells` cells would give
// them: a map larger than the display is pruned to it; fewer than 32 cells
// give none at all.
struct FakeCells {
    static long cells;
    static int frees;
    static int allocate(GDeviceRecord *d, GList *colours)
    {
        if (cells < 32)
            return -1;
        if (glist_GGetListLen(colours) > cells)
            gcolmap_GPruneColourMap(d, 0, cells);
        for (long i = 0; i < glist_GGetListLen(colours); i++)
            gcolour_GGetColour(colours, i)->pixel = 1000 + i;
        return 0;
    }
    static int free(GDeviceRecord *, GList *)
    {
        frees++;
        return cells < 32 ? -1 : 1;
    }
    static int set(GDeviceRecord *, GList *, long, long) { return 0; }
    static int info(void *, unsigned char *, unsigned long *) { return 0; }
};
long FakeCells::cells = 256;
int FakeCells::frees = 0;
const GXColourCells fake_cells = {FakeCells::allocate, FakeCells::free, FakeCells::set, FakeCells::info};

class ByValue : public OnDevice {
protected:
    void TearDown() override
    {
        OnDevice::TearDown();
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolour_GDestroyColourTable(nullptr);
        gcolmap_GSetColourCells(nullptr);
    }

    // Colour map 0 of n colours, colour i of red i * 257; the third named
    // `third`.  Three device colours.
    void maps(long n, const char *third = "")
    {
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolmap_GCreateDefColourMapTable();
        GColourMap m{};
        strcpy(m.name, "ramp");
        m.colours = glist_GCreateList();
        for (long i = 0; i < n; i++) {
            GColour c{};
            c.red = static_cast<uint16_t>((i % 256) * 257);
            c.pixel = -1;
            if (i == 2)
                strcpy(c.name, third);
            gcolour_GAddMoreColour(m.colours, &c);
        }
        gcolmap_GAddColourMap(&m);
        gcolour_GDestroyColourTable(m.colours);
        gcolmap_GIndexColourMapTable();
        if (!gcolour_GGetDefaultColourTable()) {
            gcolour_GCreateDefColourTable();
            for (int i = 0; i < 3; i++) {
                GColour c{};
                c.blue = static_cast<uint16_t>(i * 100 * 257);
                c.pixel = 500 + i;
                gcolour_GAddColour(&c);
            }
        }
    }
    void device(unsigned char protocol)
    {
        if (dev)
            GCloseDevice(dev);
        GDeviceModes m{};
        m.protocol = protocol;
        m.dcxdim = m.dcydim = 4096;
        m.colourmap = -1;
        GList *tables[GT_COUNT] = {gcolour_GCreateDevColourTable(), nullptr, nullptr, nullptr, nullptr,
                                   gcolmap_GCreateDevColourMapTable()};
        dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM | GDM_COLOURMAP, &m, tables);
        ASSERT_NE(dev, nullptr);
        canvas();
    }
    // Colour by value over the bounds lower .. upper with `levels` colours.
    void by_value(double lower, double upper, long levels, unsigned char range = 1)
    {
        GColourMapModes m{};
        m.mode = 1;
        m.range = range;
        m.levels = static_cast<int16_t>(levels);
        m.lower = m.datamin = lower;
        m.upper = m.datamax = upper;
        gcolmap_GSetColourMapModes(cv, GCMM_MODE | GCMM_RANGE | GCMM_LEVELS | GCMM_LOWER | GCMM_UPPER | GCMM_DATAMIN |
                                           GCMM_DATAMAX, &m);
    }
    long colour_of(double value, int full = 0)
    {
        double p[2] = {0, value};
        GVector v{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}};
        EXPECT_EQ(GColourValue(cv, &v, 1, 1, full), 0);
        return cv->line.colour;
    }
    void thresholds(std::vector<double> values, std::vector<int16_t> colours, std::vector<int16_t> fills = {})
    {
        GThresholdModes t{};
        t.count = static_cast<int16_t>(values.size());
        for (size_t i = 0; i < values.size(); i++) {
            t.values[i] = values[i];
            t.colours[i] = colours[i];
            t.fills[i] = i < fills.size() ? fills[i] : 0;
            t.lines[i] = static_cast<int16_t>(i + 1);
            t.markers[i] = static_cast<int16_t>(10 + i);
        }
        gthresh_GSetThresholdModes(cv, GTHM_COUNT | GTHM_VALUES | GTHM_COLOURS | GTHM_FILLS | GTHM_LINES | GTHM_MARKERS,
                                   &t);
    }
    std::vector<long> line_colours(int slot)
    {
        std::vector<long> out;
        for (auto &c : grec::of(slot))
            out.push_back(c.line.colour);
        return out;
    }
};

TEST_F(ByValue, ValuesToColourIndices)
{
    maps(10);
    device(GP_POSTSCRIPT);
    struct Case {
        double lower, upper;
        long levels;
        unsigned char range;
        double value;
        long index;
    } cases[] = {
        {0, 9, 10, 1, 9, 9},    {0, 9, 10, 1, 12, 9},  // clamped to the range
        {0, 9, 10, 1, 4.5, 4},  {0, 9, 10, 1, -3, 0},  {0, 9, 10, 0, 4.5, 4},  // the data range
        {5, 5, 10, 1, 7, 0},    // minimum equal to maximum
        {0, 9, 1, 1, 7, 0},     {0, 9, 0, 1, 7, 0},    // one level or none: no division by zero
        {9, 0, 10, 1, 2, 7},    // bounds given downwards
    };
    for (auto &c : cases) {
        by_value(c.lower, c.upper, c.levels, c.range);
        dev->modes.colourmap = -1;
        EXPECT_EQ(colour_of(c.value), c.index) << c.lower << ".." << c.upper << " " << c.value;
        EXPECT_EQ(cv->fill.colour, c.index);
        EXPECT_EQ(cv->fill.style, 1);
        EXPECT_EQ(cv->text.colour, c.index);
        EXPECT_EQ(dev->modes.colourmap, 0);
    }
    // A vector not of doubles leaves the colours; mode 0 does nothing.
    int16_t s[2] = {0, 1};
    GVector sv{GV_SHORT, 0, 2, 1, {s, nullptr, nullptr}};
    EXPECT_EQ(GColourValue(cv, &sv, 1, 0, 0), -1);
    cv->grid.line_colour_lock = 1;  // line colours stay, fills follow
    EXPECT_EQ(colour_of(0), 7);
    EXPECT_EQ(cv->fill.colour, 9);
    cv->grid.line_colour_lock = 0;
    GColourMapModes off{};
    gcolmap_GSetColourMapModes(cv, GCMM_MODE, &off);
    EXPECT_EQ(colour_of(5), 7);
}

TEST_F(ByValue, ThresholdBands)
{
    maps(4);
    device(GP_POSTSCRIPT);
    by_value(0, 30, 4, 2);
    thresholds({0, 10, 20}, {5, -1, 7}, {0, 3, 1});
    struct Case {
        double value;
        long colour;
        int in_use;
    } cases[] = {
        {-5, 5, -1}, {9.99, 5, -1},  // band 0 takes everything below threshold 1
        {10, 0, 0},                  // a value equal to a threshold is in the band starting there
        {12.5, 1, 0}, {15, 2, 0}, {19.9, 3, 0},
        {20, 7, -1}, {1e9, 7, -1},
    };
    for (auto &c : cases) {
        EXPECT_EQ(colour_of(c.value), c.colour) << c.value;
        EXPECT_EQ(dev->modes.colourmap, c.in_use) << c.value;
    }
    // The middle band runs through every colour of the map.
    std::set<long> seen;
    for (double v = 10; v < 20; v += 0.1)
        seen.insert(colour_of(v));
    EXPECT_EQ(seen, (std::set<long>{0, 1, 2, 3}));
    // The hatch of a band of fill code 3; the full style takes the band's
    // marker, line style and fill style too.
    colour_of(12.5);
    EXPECT_EQ(cv->fill.hatch, 1);
    colour_of(12.5, 1);
    EXPECT_EQ(cv->fill.style, 2);
    EXPECT_EQ(cv->fill.colour, 1);
    EXPECT_EQ(cv->marker.index, 11);
    EXPECT_EQ(cv->line.style, 1);  // style 2, stored less one
    EXPECT_EQ(cv->line.width, 0);
    colour_of(25, 1);
    EXPECT_EQ(cv->fill.style, 1);
    EXPECT_EQ(cv->line.colour, 7);

    // No thresholds: every value in band 0.
    thresholds({}, {});
    cv->threshold.colours[0] = 6;
    EXPECT_EQ(colour_of(-100), 6);
    EXPECT_EQ(colour_of(100), 6);

    // Compared in the space of the to-linear operation: log10.
    thresholds({0, 1, 2}, {5, 6, 7});
    GThresholdModes lin{};
    lin.to_linear = gthresh_GThreshToLinear;
    lin.y_forward = [](double v) { return std::log10(v); };
    gthresh_GSetThresholdModes(cv, GTHM_TOLINEAR | GTHM_YFORWARD, &lin);
    EXPECT_EQ(colour_of(100), 7);
    EXPECT_EQ(colour_of(50), 6);
}

TEST_F(ByValue, ThresholdSpacesAndBoundaryValues)
{
    maps(3);
    device(GP_POSTSCRIPT);
    // Polar: (0, 1) is angle pi/2, radius 1, and comes back; both layouts.
    double il[4] = {0, 1, 3, 4};
    double xs[2] = {0, 3}, ys[2] = {1, 4};
    GVector inter{GV_DOUBLE, 0, 2, 2, {il, nullptr, nullptr}}, sep{GV_DOUBLE, 1, 2, 2, {xs, ys, nullptr}};
    for (GVector *v : {&inter, &sep}) {
        ASSERT_EQ(gthresh_GThreshToPolar(cv, v), 0);
        EXPECT_DOUBLE_EQ(gvector_GGetValue(v, 0, 0), M_PI / 2);
        EXPECT_DOUBLE_EQ(gvector_GGetValue(v, 0, 1), 1);
        EXPECT_DOUBLE_EQ(gvector_GGetValue(v, 1, 1), 5);
        ASSERT_EQ(gthresh_GThreshFromPolar(cv, v), 0);
        EXPECT_NEAR(gvector_GGetValue(v, 0, 0), 0, 1e-12);
        EXPECT_NEAR(gvector_GGetValue(v, 0, 1), 1, 1e-12);
        EXPECT_NEAR(gvector_GGetValue(v, 1, 0), 3, 1e-12);
    }
    // A 2-D vector keeps its z alone even with a z operation set.
    GThresholdModes ops{};
    ops.x_forward = [](double v) { return v * 2; };
    ops.z_forward = [](double v) { return v * 3; };
    gthresh_GSetThresholdModes(cv, GTHM_XFORWARD | GTHM_ZFORWARD, &ops);
    double x2[1] = {1}, y2[1] = {1}, z2[1] = {1};
    GVector two{GV_DOUBLE, 1, 2, 1, {x2, y2, z2}};
    EXPECT_EQ(gthresh_GThreshToLinear(cv, &two), 0);
    EXPECT_EQ(x2[0], 2);
    EXPECT_EQ(y2[0], 1);
    EXPECT_EQ(z2[0], 1);
    double p3[3] = {1, 1, 1};
    GVector three{GV_DOUBLE, 0, 3, 1, {p3, nullptr, nullptr}};
    gthresh_GThreshToLinear(cv, &three);
    EXPECT_EQ(p3[2], 3);
    int16_t s[2] = {1, 1};
    GVector shorts{GV_SHORT, 0, 2, 1, {s, nullptr, nullptr}};
    EXPECT_EQ(gthresh_GThreshToLinear(cv, &shorts), -1);
    EXPECT_EQ(gthresh_GThreshToPolar(cv, &shorts), -1);

    // Boundary values: none while thresholds are off.
    long n = 0;
    double *values = nullptr;
    by_value(-10, 50, 3, 1);
    EXPECT_EQ(gthresh_GGetThresholdValues(cv, &n, &values), -1);
    EXPECT_EQ(values, nullptr);
    by_value(-10, 50, 3, 2);
    thresholds({0, 10}, {-1, 4});
    ASSERT_EQ(gthresh_GGetThresholdValues(cv, &n, &values), 0);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(std::vector<double>(values, values + 5), (std::vector<double>{-10, 0, 10, 10, 50}));
    vx_free(values);
    // Eight map bands of 100 levels hold at most 256 values, then the bound.
    by_value(0, 80, 100, 2);
    thresholds({0, 10, 20, 30, 40, 50, 60, 70}, {-1, -1, -1, -1, -1, -1, -1, -1});
    ASSERT_EQ(gthresh_GGetThresholdValues(cv, &n, &values), 0);
    EXPECT_EQ(n, 256);
    EXPECT_EQ(values[256], 80);
    vx_free(values);
}

TEST_F(ByValue, LoadingByProtocol)
{
    maps(100);
    struct Case {
        unsigned char protocol;
        long cells;  // -1: the stand-in cells
        long index;
        long result;
        int in_use;
        int switched_on;  // by gcolmap_GCheckForColourMap, which loads map 0
    } cases[] = {
        {GP_POSTSCRIPT, -1, 0, 100, 0, 1}, {GP_EPS, -1, 0, 100, 0, 1}, {GP_IMAGE, -1, 0, 100, 0, 1},
        {GP_POSTSCRIPT, -1, 1, 0, -1, 1},   // no such map
        {GP_HPGL, -1, 0, 3, -1, 1},         // the colour table's size, indices stay on it
        {GP_X, -1, 0, 0, -1, 0},            // no X driver: too few cells
        {GP_X, 256, 0, 100, 0, 1},
        {GP_PCL, 64, 0, 64, 0, 1},          // pruned to the display's cells
        {GP_X, 20, 0, 0, -1, 0},            // below 32 cells: not loaded
    };
    for (auto &c : cases) {
        maps(100);
        gcolmap_GSetColourCells(c.cells < 0 ? nullptr : &fake_cells);
        FakeCells::cells = c.cells;
        device(c.protocol);
        EXPECT_EQ(GUseColourMap(dev, c.index), c.result) << int(c.protocol) << " " << c.cells;
        EXPECT_EQ(dev->modes.colourmap, c.in_use) << int(c.protocol) << " " << c.cells;
        // Colour by value is switched on only for a map that loaded.
        cv->line.colour = -1;
        gcolmap_GCheckForColourMap(cv, 42, 10, 1, 8, 2);
        EXPECT_EQ(cv->colourmap.mode, c.switched_on) << int(c.protocol) << " " << c.cells;
        EXPECT_EQ(cv->colourmap.datamax, 10);
        EXPECT_EQ(cv->colourmap.lower, 2);
        if (cv->colourmap.mode) {
            EXPECT_EQ(cv->colourmap.datum, 42);
        }
    }
}

TEST_F(ByValue, SwitchingOnAndForgetting)
{
    maps(300);
    device(GP_POSTSCRIPT);
    // More than 255 colours: never switched on.
    cv->line.colour = -1;
    gcolmap_GCheckForColourMap(cv, 1, 10, 0, 10, 0);
    EXPECT_EQ(cv->colourmap.mode, 0);
    // A fixed line colour keeps colour by value off.
    maps(10);
    device(GP_POSTSCRIPT);
    cv->line.colour = 3;
    gcolmap_GCheckForColourMap(cv, 1, 10, 0, 10, 0);
    EXPECT_EQ(cv->colourmap.mode, 0);
    cv->line.colour = -1;
    gcolmap_GCheckForColourMap(cv, 1, 10, 0, 10, 0);
    EXPECT_EQ(cv->colourmap.mode, 1);
    EXPECT_EQ(cv->colourmap.levels, 10);
    GForgetColourMap(cv);
    EXPECT_EQ(cv->colourmap.mode, 0);
    EXPECT_EQ(dev->modes.colourmap, -1);
    // A PCL drawing leaves the map it used for the X driver to read once.
    gcolmap_GSetColourCells(&fake_cells);
    FakeCells::cells = 256;
    device(GP_PCL);
    GUseColourMap(dev, 0);
    GForgetColourMap(cv);
    EXPECT_EQ(gcolmap_GColourMapWasUsed(), 0);
    EXPECT_EQ(gcolmap_GColourMapWasUsed(), -1);
    // Releasing reaches the cells on X and PCL devices only.
    FakeCells::frees = 0;
    EXPECT_EQ(GFreeColours(dev), 1);
    device(GP_POSTSCRIPT);
    EXPECT_EQ(GFreeColours(dev), 0);
    EXPECT_EQ(FakeCells::frees, 1);
    // The special colour.
    by_value(0, 1, 10);
    cv->colourmap.special = 12;
    dev->modes.colourmap = 0;
    GSetSpecialColour(cv, 1, 1);
    EXPECT_EQ(cv->line.colour, 12);
    EXPECT_EQ(cv->fill.colour, 12);
    EXPECT_EQ(cv->fill.style, 1);
    EXPECT_EQ(dev->modes.colourmap, -1);
}

TEST_F(ByValue, PixelValues)
{
    struct Case {
        const char *third;
        unsigned char protocol;
        std::vector<long> first;
    } cases[] = {
        {"", GP_POSTSCRIPT, {0, 255L * 65536, 254L * 65536 + 0}},  // 24-bit, 65356 full scale
        {"black", GP_POSTSCRIPT, {0, 1, 2}},                       // by index
        {"black", GP_X, {1000, 1001, 1002}},                       // the cells, whatever the names
    };
    for (auto &c : cases) {
        maps(3, c.third);
        GList *colours = gcolmap_GGetColourMap(nullptr, 0)->colours;
        gcolour_GGetColour(colours, 1)->red = 65535;
        gcolour_GGetColour(colours, 2)->red = 65100;
        gcolmap_GSetColourCells(&fake_cells);
        FakeCells::cells = 256;
        device(c.protocol);
        GUseColourMap(dev, 0);
        long px[256];
        px[200] = 77;
        ASSERT_EQ(gcolmap_GGetPixelValues(dev, px, nullptr), 0);
        EXPECT_EQ(std::vector<long>(px, px + 3), c.first) << c.third << " " << int(c.protocol);
        EXPECT_EQ(px[200], 0);
    }
    GList *empty = glist_GCreateList();
    long px[256];
    EXPECT_EQ(gcolmap_GGetPixelValues(dev, px, empty), -1);
    glist_GDestroyList(empty);

    // With thresholds, each band's pixels: the map's, or the fixed colour's.
    maps(3, "black");
    device(GP_POSTSCRIPT);
    by_value(0, 10, 3, 2);
    thresholds({0, 5}, {-1, 2});
    long count = 0, pixels[256], per[GTH_MAX], bands[256];
    gcolmap_GColourMapInfo(cv, &count, pixels, per, bands);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::vector<long>(per, per + 2), (std::vector<long>{0, (200L * 257 * 255 / 65356)}));
    EXPECT_EQ(std::vector<long>(bands, bands + 5), (std::vector<long>{0, 1, 2, per[1], 0}));
}

// ---- the primitives --------------------------------------------------------

TEST_F(ByValue, ColouredRectangleAndBar)
{
    maps(101);
    device(GP_POSTSCRIPT);
    GVector a = point(100, 100), b = point(300, 200);
    EXPECT_EQ(gdraw_GDrawColouredRectangle(cv, &a, &b, 1), 0);
    auto lines = grec::of(7);
    ASSERT_EQ(lines.size(), 100u);
    for (long i = 0; i < 100; i++) {
        EXPECT_EQ(lines[static_cast<size_t>(i)].line.colour, i);
        EXPECT_EQ(flat(lines[static_cast<size_t>(i)].points[0]), (std::vector<double>{100, double(100 + i)}));
        EXPECT_EQ(flat(lines[static_cast<size_t>(i)].points[1]), (std::vector<double>{300, double(100 + i)}));
    }
    EXPECT_EQ(cv->colourmap.mode, 0);  // the caller's modes are back
    EXPECT_EQ(cv->colourmap.levels, 0);
    EXPECT_EQ(dev->modes.colourmap, -1);
    // Bands along x, stepping towards the second corner.
    grec::clear();
    GVector c = point(300, 100), d = point(250, 120);
    gdraw_GDrawColouredRectangle(cv, &c, &d, 0);
    ASSERT_EQ(grec::count(7), 50);
    EXPECT_EQ(grec::of(7)[49].points[0].at(0, 0), 251);
    grec::clear();
    GVector e = point(300, 100);
    gdraw_GDrawColouredRectangle(cv, &c, &e, 1);
    EXPECT_EQ(grec::count(7), 0);

    // The bar: 11 rows from the lower to the upper bound.
    maps(11);
    device(GP_POSTSCRIPT);
    by_value(0, 100, 11);
    cv->grid.line_colour_lock = 1;
    GVector f = point(10, 20), g = point(60, 9);
    EXPECT_EQ(gdraw_GDrawColouredBar(cv, &f, &g), 0);
    EXPECT_EQ(line_colours(7), (std::vector<long>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(grec::of(7)[10].points[0].at(0, 1), 10);  // rows step downwards
    EXPECT_EQ(cv->colourmap.mode, 0);
    EXPECT_EQ(cv->grid.line_colour_lock, 0);
}

TEST_F(ByValue, GradedPolylines)
{
    maps(11);
    device(GP_POSTSCRIPT);
    by_value(0, 100, 11);
    double p[6] = {0, 5, 10, 35, 20, 2};
    GVector v{GV_DOUBLE, 0, 2, 3, {p, nullptr, nullptr}};
    EXPECT_EQ(gdraw_GDrawPolyLine(cv, &v), 0);
    EXPECT_EQ(line_colours(7), (std::vector<long>{0, 1, 2, 3, 3, 2, 1, 0}));
    auto pieces = grec::of(7);
    // Each piece starts exactly where the one before it ended.
    for (size_t i = 1; i < pieces.size(); i++)
        EXPECT_EQ(flat(pieces[i].points[0]), flat(pieces[i - 1].points[1])) << i;
    EXPECT_EQ(pieces[0].points[1].at(0, 1), 10);
    EXPECT_EQ(pieces[1].points[1].at(0, 1), 20);
    EXPECT_EQ(pieces[7].points[1].at(0, 1), 2);
    EXPECT_EQ(grec::count(9), 0);

    // A single line is graded too; with the fixed-value flag it is one
    // colour, from its first point.
    grec::clear();
    GVector a = point(0, 0), b = point(0, 25);
    gdraw_GDrawLine(cv, &a, &b);
    EXPECT_EQ(line_colours(7), (std::vector<long>{0, 1, 2}));
    cv->colourmap.fixed = 1;
    cv->colourmap.fixed_value = 95;
    grec::clear();
    GVector c = point(0, 55);
    gdraw_GDrawLine(cv, &c, &b);
    EXPECT_EQ(line_colours(7), (std::vector<long>{5}));
    grec::clear();
    gdraw_GDrawPolyLine(cv, &v);  // a polyline takes the fixed value
    EXPECT_EQ(line_colours(9), (std::vector<long>{9}));
    cv->colourmap.fixed = 0;

    // Clipped to the world volume first: the caller's vector is its own.
    GCanvasModes m{};
    double w[6] = {0, 0, 0, 100, 100, 100};
    memcpy(m.world, w, sizeof w);
    m.clip = 3;
    m.flag3d = 1;
    m.coords = GCS_WC;
    GSetCanvasModes(cv, GCM_WORLD | GCM_CLIP | GCM_FLAG3D | GCM_COORDS, &m);
    double line[9] = {10, 10, 10, 150, 90, 10, 150, 95, 10};
    GVector lv{GV_DOUBLE, 0, 3, 3, {line, nullptr, nullptr}};
    grec::clear();
    gdraw_GDrawPolyLine(cv, &lv);
    EXPECT_EQ(line_colours(7).front(), 1);
    EXPECT_EQ(line_colours(7).back(), 6);  // cut at x 100, y 60
    EXPECT_EQ(lv.count, 3);
    EXPECT_EQ(lv.data[0], static_cast<void *>(line));
    EXPECT_EQ(line[3], 150);
}

TEST_F(ByValue, PolarLinesByRadius)
{
    maps(11);
    device(GP_POSTSCRIPT);
    by_value(0, 100, 11);
    // A chord passing the origin at distance 5 from (-25, 5) to (25, 5):
    // the radius falls below 10 and rises again.
    double p[4] = {-25, 5, 25, 5};
    GVector v{GV_DOUBLE, 0, 2, 2, {p, nullptr, nullptr}};
    EXPECT_EQ(gcolmap_GColourPolarLine(cv, &v), 0);
    EXPECT_EQ(line_colours(7), (std::vector<long>{2, 1, 0, 1, 2}));
    auto pieces = grec::of(7);
    EXPECT_NEAR(pieces[0].points[1].at(0, 0), -std::sqrt(400.0 - 25), 1);
    EXPECT_NEAR(pieces[2].points[1].at(0, 0), std::sqrt(100.0 - 25), 1);
}

TEST_F(ByValue, PrimitivesTakeTheirColourFromTheValue)
{
    gmarker_GCreateDefMarkerTable();
    int16_t tick[4] = {0, 0, 1, 0};
    GMarker mk{GV_SHORT, 0, 2, 2, {tick, nullptr, nullptr}};
    gmarker_GAddMarker(&mk);
    maps(11);
    GDeviceModes dm{};
    dm.protocol = GP_POSTSCRIPT;
    dm.dcxdim = dm.dcydim = 4096;
    GList *tables[GT_COUNT] = {gcolour_GCreateDevColourTable(), nullptr, nullptr, nullptr,
                               gmarker_GCreateDevMarkerTable(), gcolmap_GCreateDevColourMapTable()};
    dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM, &dm, tables);
    canvas();
    by_value(0, 100, 11);
    // Rectangle: the second corner's y, the fill style put back after.
    GVector a = point(0, 0), b = point(10, 55);
    gdraw_GDrawRectangle(cv, &a, &b);
    auto r = grec::of(11).at(0);
    EXPECT_EQ(r.fill.colour, 5);
    EXPECT_EQ(r.fill.style, 1);
    EXPECT_EQ(cv->fill.style, 0);
    cv->colourmap.fixed = 1;
    cv->colourmap.fixed_value = 95;
    grec::clear();
    gdraw_GDrawRectangle(cv, &a, &b);
    EXPECT_EQ(grec::of(11).at(0).fill.colour, 9);
    cv->colourmap.fixed = 0;
    // Markers: the first point, in the full threshold style.
    by_value(0, 100, 11, 2);
    thresholds({0, 50}, {3, -1}, {1, 4});
    grec::clear();
    double pts[4] = {5, 75, 5, 10};
    GVector pv{GV_DOUBLE, 0, 2, 2, {pts, nullptr, nullptr}};
    gdraw_GDrawMarkers(cv, &pv);
    auto m = grec::of(8).at(0);
    EXPECT_EQ(m.line.colour, 5);  // half way through the band 50 .. 100
    EXPECT_EQ(m.fill.style, 2);
    EXPECT_EQ(cv->marker.index, 11);
    EXPECT_EQ(cv->fill.style, 0);
    // Filled polygons: the mean y of all points but the closing one, or
    // the colour given.
    by_value(0, 100, 11);
    double poly[12] = {0, 10, 0, 10, 30, 0, 20, 50, 0, 0, 10, 0};
    GVector pg{GV_DOUBLE, 0, 3, 4, {poly, nullptr, nullptr}};
    grec::clear();
    gdraw_GDrawFilledPolygon(cv, &pg, nullptr);
    EXPECT_EQ(grec::of(10).at(0).fill.colour, 3);
    EXPECT_EQ(grec::of(10).at(0).fill.style, 1);
    long given = 8;
    grec::clear();
    gdraw_GDrawFilledPolygon(cv, &pg, &given);
    EXPECT_EQ(grec::of(10).at(0).fill.colour, 8);
    EXPECT_EQ(grec::of(10).at(0).line.colour, 8);
    // The 2-D polygon only when asked to colour by value.
    double value = 72;
    grec::clear();
    gdraw_GDraw2DFilledPolygon(cv, &pg, 1, &value);
    EXPECT_EQ(grec::of(9).at(0).fill.colour, 7);
    gdraw_GDraw2DFilledPolygon(cv, &pg, 0, &value);
    EXPECT_EQ(grec::of(9).at(1).fill.style, 0);
}

TEST_F(ByValue, PolylinesClippedToTheRegion)
{
    maps(3);
    device(GP_POSTSCRIPT);
    GRegion *square = gclip_GCreateRegion(0);
    double corners[12] = {10, 10, 0, 20, 10, 0, 20, 20, 0, 10, 20, 0};
    gclip_GAddToRegion(square, 0, 4, corners, 1);
    GCanvasModes m{};
    m.clip = 4;
    m.extra = reinterpret_cast<int64_t>(square);
    GSetCanvasModes(cv, GCM_CLIP | GCM_EXTRA, &m);
    grec::clear();
    // Out of the square at x 20 and back in again.
    double p[12] = {5, 15, 15, 15, 25, 15, 25, 12, 15, 12, 5, 12};
    GVector v{GV_DOUBLE, 0, 2, 6, {p, nullptr, nullptr}};
    gdraw_GDrawPolyLine(cv, &v);
    auto pieces = grec::of(9);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(flat(pieces[0].points[0]), (std::vector<double>{10, 15, 15, 15, 20, 15}));
    EXPECT_EQ(flat(pieces[1].points[0]), (std::vector<double>{20, 12, 15, 12, 10, 12}));
    // Wholly outside: nothing; a line is not clipped to the region.
    grec::clear();
    double out[4] = {30, 30, 40, 40};
    GVector ov{GV_DOUBLE, 0, 2, 2, {out, nullptr, nullptr}};
    gdraw_GDrawPolyLine(cv, &ov);
    EXPECT_EQ(grec::count(9), 0);
    GVector a = point(30, 30), b = point(40, 40);
    gdraw_GDrawLine(cv, &a, &b);
    EXPECT_EQ(grec::count(7), 1);
    m.extra = -1;
    GSetCanvasModes(cv, GCM_EXTRA, &m);
    gclip_GDestroyRegion(square);
}

}  // namespace
