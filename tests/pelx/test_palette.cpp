// The colour-map editor's palette on the recording driver: the grid and its
// lookups, setting cells, the range functions, cut, copy and paste, and
// what reaches the X colour cells.

#include "gdriver.h"
#include "pelxfixture.h"
#include "vxutil.h"

#include <cstring>
#include <tuple>
#include <utility>

using namespace pelxtest;

namespace {

// The colour-cell hook's SetColours calls: (first, count).
std::vector<std::pair<long, long>> pushed;
struct Cells {
    static int allocate(GDeviceRecord *, GList *) { return 0; }
    static int free(GDeviceRecord *, GList *) { return 1; }
    static int set(GDeviceRecord *, GList *colours, long first, long count)
    {
        EXPECT_EQ(colours, gcolmap_GGetColourMap(nullptr, 0)->colours);
        pushed.emplace_back(first, count);
        return 0;
    }
    static int info(void *, unsigned char *, unsigned long *) { return 0; }
};
const GXColourCells cells = {Cells::allocate, Cells::free, Cells::set, Cells::info};

struct Rgb {
    uint16_t r, g, b;
    bool operator==(const Rgb &) const = default;
};

class Palette : public OnDevice {
protected:
    void SetUp() override
    {
        OnDevice::SetUp();
        gcolmap_GSetColourCells(&cells);
        pushed.clear();
    }
    void TearDown() override
    {
        OnDevice::TearDown();
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolmap_GSetColourCells(nullptr);
    }
    // Colour map 0 of n colours: colour k of red 1000 k, green 100 k, blue 7.
    void map(long n)
    {
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolmap_GCreateDefColourMapTable();
        GColourMap m{};
        strcpy(m.name, "test");
        m.colours = glist_GCreateList();
        for (long k = 0; k < n; k++) {
            GColour c{};
            c.red = static_cast<uint16_t>(1000 * k);
            c.green = static_cast<uint16_t>(100 * k);
            c.blue = 7;
            c.pixel = -1;
            gcolour_GAddMoreColour(m.colours, &c);
        }
        gcolmap_GAddColourMap(&m);
        gcolour_GDestroyColourTable(m.colours);
        gcolmap_GIndexColourMapTable();
    }
    void on(unsigned char protocol, long n, long w = 1000, long h = 403)
    {
        map(n);
        open(protocol, w, h);
        canvas();
    }
    GColour *cell(long k) { return gcolour_GGetColour(gcolmap_GGetColourMap(nullptr, 0)->colours, k); }
    Rgb rgb(long k) { return {cell(k)->red, cell(k)->green, cell(k)->blue}; }
    std::vector<Rgb> all()
    {
        std::vector<Rgb> v;
        for (long k = 0; k < glist_GGetListLen(gcolmap_GGetColourMap(nullptr, 0)->colours); k++)
            v.push_back(rgb(k));
        return v;
    }
    static std::vector<Rgb> of(GList *clip)
    {
        std::vector<Rgb> v;
        for (long i = 0; i < glist_GGetListLen(clip); i++) {
            auto *c = static_cast<GColour *>(glist_GGetListItem(clip, i));
            v.push_back({c->red, c->green, c->blue});
        }
        return v;
    }
    static Rgb old(long k) { return {uint16_t(1000 * k), uint16_t(100 * k), 7}; }
};

// Runs first: the palette's geometry is kept for the process.
TEST_F(Palette, LookupsBeforeAnyPaletteAnswerMinusOne)
{
    on(GP_X, 10);
    long c = 77, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    EXPECT_EQ(gcolmap_GColourMapGetCell(cv, 5, 5, &c), -1);
    EXPECT_EQ(c, 77);
    EXPECT_EQ(gcolmap_GColourMapCellBox(cv, 0, &x1, &y1, &x2, &y2), -1);
    // A grid whose cells would be under one pixel draws nothing.
    const std::pair<long, long> grids[] = {{1, 1001}, {404, 1}, {0, 4}, {4, -1}};
    for (auto [rows, columns] : grids) {
        EXPECT_EQ(gcolmap_GDrawColourMapPalette(cv, rows, columns), -1) << rows << "x" << columns;
        EXPECT_EQ(last_error(), std::make_pair(3, 22));
    }
    EXPECT_EQ(grec::count(GEP_DRAW_FILLED_POLYGON), 0);
    EXPECT_EQ(gcolmap_GColourMapGetCell(cv, 5, 5, &c), -1);
}

TEST_F(Palette, GridIsCentredByTheLeftoverPixels)
{
    // 1000 x 403 in 4 rows of 16: cells of 62 x 100, offsets 4 and 1.
    on(GP_X, 64);
    ASSERT_EQ(gcolmap_GDrawColourMapPalette(cv, 4, 16), 0);
    EXPECT_EQ(dev->modes.colourmap, 0);
    EXPECT_EQ(cv->modes.coords, GCS_DC);
    EXPECT_EQ(cv->modes.clip, 0);
    EXPECT_EQ(cv->colourmap.mode, 0);
    auto fills = grec::of(GEP_DRAW_FILLED_POLYGON);
    auto outlines = grec::of(GEP_DRAW_POLYLINE);
    ASSERT_EQ(fills.size(), 64u);
    ASSERT_EQ(outlines.size(), 64u);
    struct Case {
        long cell, x, y;
    } cases[] = {{0, 4, 1}, {1, 66, 1}, {15, 4 + 15 * 62, 1}, {16, 4, 101}, {63, 4 + 15 * 62, 301}};
    for (auto &c : cases) {
        const grec::Call &f = fills[size_t(c.cell)];
        EXPECT_EQ(f.fill.colour, c.cell);
        EXPECT_EQ(f.fill.style, 1);
        EXPECT_EQ(flat(f.points[0]), (std::vector<double>{double(c.x), double(c.y), double(c.x + 62), double(c.y),
                                                          double(c.x + 62), double(c.y + 100), double(c.x),
                                                          double(c.y + 100)}));
        EXPECT_EQ(outlines[size_t(c.cell)].line.colour, c.cell);
        EXPECT_EQ(outlines[size_t(c.cell)].line.flag, 1);
        EXPECT_EQ(outlines[size_t(c.cell)].points[0].count(), 5);
        long x1, y1, x2, y2;
        ASSERT_EQ(gcolmap_GColourMapCellBox(cv, c.cell, &x1, &y1, &x2, &y2), 0);
        EXPECT_EQ(std::vector<long>({x1, y1, x2, y2}), std::vector<long>({c.x, c.y, c.x + 61, c.y + 99}));
    }
    long x1, y1, x2, y2;
    EXPECT_EQ(gcolmap_GColourMapCellBox(cv, 64, &x1, &y1, &x2, &y2), -1);
    EXPECT_EQ(gcolmap_GColourMapCellBox(cv, -1, &x1, &y1, &x2, &y2), -1);

    // Points off the grid map to its nearest column and row.
    struct Look {
        long x, y, cell;
    } looks[] = {{0, 0, 0}, {-50, 201, 32}, {65, 100, 0}, {66, 100, 1}, {66, 101, 17}, {999, 402, 63}, {5000, 5000, 63},
                 {500, -9, 8}};
    for (auto &l : looks) {
        long c = -5;
        ASSERT_EQ(gcolmap_GColourMapGetCell(cv, l.x, l.y, &c), 0);
        EXPECT_EQ(c, l.cell) << l.x << "," << l.y;
    }
}

TEST_F(Palette, ShortLastRowAndLookupsHeldToTheLastColour)
{
    on(GP_X, 20);
    ASSERT_EQ(gcolmap_GDrawColourMapPalette(cv, 4, 16), 0);
    EXPECT_EQ(grec::count(GEP_DRAW_FILLED_POLYGON), 20);
    long c = -1;
    gcolmap_GColourMapGetCell(cv, 999, 150, &c);  // row 1, last column: cell 31
    EXPECT_EQ(c, 19);
    gcolmap_GColourMapGetCell(cv, 999, 402, &c);
    EXPECT_EQ(c, 19);
}

TEST_F(Palette, SettingAndReadingEntries)
{
    on(GP_X, 10);
    long in[3] = {255, 0, 0}, out[3] = {-1, -1, -1}, px[3], hsv[3];
    ASSERT_EQ(gcolmap_GColourMapSetPaletteEntry(cv, 3, 0, in, out), 0);
    EXPECT_EQ(rgb(3), (Rgb{65356, 0, 0}));
    EXPECT_EQ(std::vector<long>(out, out + 3), (std::vector<long>{0, 100, 100}));
    ASSERT_EQ(gcolmap_GColourMapGetPaletteEntry(cv, 3, px, hsv), 0);
    EXPECT_EQ(std::vector<long>(px, px + 3), (std::vector<long>{255, 0, 0}));
    EXPECT_EQ(std::vector<long>(hsv, hsv + 3), (std::vector<long>{0, 100, 100}));

    // Hue, saturation and value in: red, green and blue back.
    long cyan[3] = {180, 100, 100};
    ASSERT_EQ(gcolmap_GColourMapSetPaletteEntry(cv, 4, 1, cyan, out), 0);
    EXPECT_EQ(std::vector<long>(out, out + 3), (std::vector<long>{0, 255, 255}));
    gcolmap_GColourMapGetPaletteEntry(cv, 4, px, hsv);
    EXPECT_EQ(std::vector<long>(hsv, hsv + 3), (std::vector<long>{180, 100, 100}));
    EXPECT_EQ(pushed, (std::vector<std::pair<long, long>>{{3, 1}, {4, 1}}));

    // Cells outside the map and unknown spaces change nothing.
    std::vector<Rgb> before = all();
    pushed.clear();
    for (long bad : {-1L, 10L, 1000L}) {
        EXPECT_EQ(gcolmap_GColourMapSetPaletteEntry(cv, bad, 0, in, out), -1);
        EXPECT_EQ(gcolmap_GColourMapGetPaletteEntry(cv, bad, px, hsv), -1);
    }
    EXPECT_EQ(gcolmap_GColourMapSetPaletteEntry(cv, 2, 2, in, out), -1);
    EXPECT_EQ(all(), before);
    EXPECT_TRUE(pushed.empty());
}

TEST_F(Palette, FillCopiesTheEndCellWhole)
{
    on(GP_X, 10);
    long hsv_in[3] = {120, 50, 80}, out[3], px[3], hsv[3];
    gcolmap_GColourMapSetPaletteEntry(cv, 6, 1, hsv_in, out);
    gcolmap_GColourMapSetPaletteEntry(cv, 2, 1, hsv_in, out);
    const std::tuple<long, long, int, long> fills[] = {{2, 6, 0, 6}, {6, 2, 0, 6}, {2, 6, 1, 2}, {5, 5, 0, 5}};
    for (auto [first, last, flag, from] : fills) {
        map(10);
        gcolmap_GColourMapSetPaletteEntry(cv, from, 1, hsv_in, out);
        pushed.clear();
        ASSERT_EQ(gcolmap_GApplyColourMapFunction(cv, 0, first, last, flag), 0);
        long a = std::min(first, last), b = std::max(first, last);
        for (long k = 0; k < 10; k++) {
            gcolmap_GColourMapGetPaletteEntry(cv, k, px, hsv);
            if (k >= a && k <= b) {
                EXPECT_EQ(rgb(k), rgb(from)) << k;
                EXPECT_EQ(std::vector<long>(hsv, hsv + 3), (std::vector<long>{120, 50, 80})) << k;
            } else {
                EXPECT_EQ(rgb(k), old(k)) << k;
            }
        }
        EXPECT_EQ(pushed, (std::vector<std::pair<long, long>>{{a, b - a + 1}}));
    }
}

TEST_F(Palette, InterpolationReachesTheEndCellExactly)
{
    on(GP_X, 12);
    long lo[3] = {0, 0, 10}, hi[3] = {359, 97, 100}, out[3], px[3], hsv[3];
    for (int function : {1, 2}) {
        map(12);
        gcolmap_GColourMapSetPaletteEntry(cv, 0, 1, lo, out);
        gcolmap_GColourMapSetPaletteEntry(cv, 10, 1, hi, out);
        Rgb end = rgb(10), start = rgb(0);
        ASSERT_EQ(gcolmap_GApplyColourMapFunction(cv, function, 10, 0, 0), 0);
        gcolmap_GColourMapGetPaletteEntry(cv, 0, px, hsv);
        EXPECT_EQ(std::vector<long>(hsv, hsv + 3), std::vector<long>(lo, lo + 3));
        gcolmap_GColourMapGetPaletteEntry(cv, 10, px, hsv);
        EXPECT_EQ(std::vector<long>(hsv, hsv + 3), std::vector<long>(hi, hi + 3)) << function;
        EXPECT_EQ(rgb(10), end);
        EXPECT_EQ(rgb(0), start);
        EXPECT_EQ(rgb(11), old(11));
        // The steps rise steadily between the ends.
        long previous = -1;
        for (long k = 0; k <= 10; k++) {
            gcolmap_GColourMapGetPaletteEntry(cv, k, px, hsv);
            EXPECT_GE(hsv[0], previous) << function << " " << k;
            previous = hsv[0];
        }
        if (function == 1) {
            gcolmap_GColourMapGetPaletteEntry(cv, 3, px, hsv);
            EXPECT_EQ(std::vector<long>(hsv, hsv + 3), (std::vector<long>{3 * 359 / 10, 3 * 97 / 10, 10 + 3 * 90 / 10}));
        }
    }
    // a = b leaves the cell; an unknown function or a range outside the
    // map changes nothing.
    std::vector<Rgb> before = all();
    EXPECT_EQ(gcolmap_GApplyColourMapFunction(cv, 1, 4, 4, 0), 0);
    EXPECT_EQ(gcolmap_GApplyColourMapFunction(cv, 7, 1, 4, 0), -1);
    EXPECT_EQ(gcolmap_GApplyColourMapFunction(cv, 0, 1, 12, 0), -1);
    EXPECT_EQ(gcolmap_GApplyColourMapFunction(cv, 1, -1, 4, 0), -1);
    EXPECT_EQ(all(), before);
}

TEST_F(Palette, CutCopyPasteAndFree)
{
    on(GP_X, 10);
    // Cutting 2 .. 4 (either way round): 2 .. 6 hold the old 5 .. 9, 7 .. 9
    // the old 9.
    const std::pair<long, long> ends[] = {{2, 4}, {4, 2}};
    for (auto [first, last] : ends) {
        map(10);
        pushed.clear();
        GList *clip = gcolmap_GColourMapCut(cv, first, last);
        ASSERT_NE(clip, nullptr);
        EXPECT_EQ(of(clip), (std::vector<Rgb>{old(2), old(3), old(4)}));
        EXPECT_EQ(all(), (std::vector<Rgb>{old(0), old(1), old(5), old(6), old(7), old(8), old(9), old(9), old(9),
                                           old(9)}));
        EXPECT_EQ(pushed, (std::vector<std::pair<long, long>>{{2, 8}}));
        EXPECT_EQ(gcolmap_GColourMapFreeClip(cv, clip), 0);
    }
    // Copy, then paste 5 colours at cell 8: only 8 and 9 are written.
    map(10);
    GList *copy = gcolmap_GColourMapCopy(cv, 4, 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(of(copy), (std::vector<Rgb>{old(0), old(1), old(2), old(3), old(4)}));
    pushed.clear();
    ASSERT_EQ(gcolmap_GColourMapPaste(cv, 8, copy), 0);
    std::vector<Rgb> after = all();
    EXPECT_EQ(after[7], old(7));
    EXPECT_EQ(after[8], old(0));
    EXPECT_EQ(after[9], old(1));
    EXPECT_EQ(pushed, (std::vector<std::pair<long, long>>{{8, 2}}));
    // One cell.
    GList *one = gcolmap_GColourMapCopy(cv, 3, 3);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(glist_GGetListLen(one), 1);
    gcolmap_GColourMapFreeClip(cv, one);
    gcolmap_GColourMapFreeClip(cv, copy);

    // Ranges outside the map give no clip; a missing clip is refused.
    std::vector<Rgb> before = all();
    pushed.clear();
    EXPECT_EQ(gcolmap_GColourMapCut(cv, 8, 10), nullptr);
    EXPECT_EQ(gcolmap_GColourMapCopy(cv, -1, 3), nullptr);
    EXPECT_EQ(gcolmap_GColourMapPaste(cv, 0, nullptr), -1);
    EXPECT_EQ(gcolmap_GColourMapFreeClip(cv, nullptr), -1);
    GList *c2 = gcolmap_GColourMapCopy(cv, 0, 1);
    EXPECT_EQ(gcolmap_GColourMapPaste(cv, 10, c2), -1);
    EXPECT_EQ(gcolmap_GColourMapPaste(cv, -1, c2), -1);
    gcolmap_GColourMapFreeClip(cv, c2);
    EXPECT_EQ(all(), before);
    EXPECT_TRUE(pushed.empty());
}

TEST_F(Palette, OnlyXDevicesReachTheColourCells)
{
    for (unsigned char protocol : {GP_POSTSCRIPT, GP_PCL, GP_IMAGE}) {
        on(protocol, 10);
        pushed.clear();
        long in[3] = {1, 2, 3}, out[3];
        ASSERT_EQ(gcolmap_GColourMapSetPaletteEntry(cv, 1, 0, in, out), 0);
        GList *clip = gcolmap_GColourMapCut(cv, 0, 1);
        gcolmap_GColourMapPaste(cv, 5, clip);
        gcolmap_GColourMapFreeClip(cv, clip);
        gcolmap_GApplyColourMapFunction(cv, 1, 0, 9, 0);
        EXPECT_TRUE(pushed.empty()) << int(protocol);
        GCloseDevice(dev);
        dev = nullptr;
    }
    EXPECT_EQ(GSetColourMapColours(nullptr, 0, 1), 0);
}

}  // namespace
