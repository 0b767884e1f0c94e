// Style tables (markers, line styles, hatches, fonts), colour tables, the
// colour-name database, nearest colour and the colour spaces.

#include "pelxtest.h"

#include "vxtest.h"

#include <cstring>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

GMarker marker_of(int16_t *segment)
{
    return GMarker{GV_SHORT, 0, 2, 2, {segment, nullptr, nullptr}};
}

class Tables : public testing::Test {
protected:
    void TearDown() override
    {
        gmarker_GDestroyMarkerTable(nullptr);
        glines_GDestroyLineTable(nullptr);
        ghatch_GDestroyHatchTable(nullptr);
        gfont_GDestroyFontTable(nullptr);
        gcolour_GDestroyColourTable(nullptr);
        gcolour_GCloseColourDatabase();
    }
};

TEST_F(Tables, MarkersDefaultAndDeviceCopies)
{
    ASSERT_EQ(gmarker_GCreateDefMarkerTable(), 0);
    EXPECT_EQ(gmarker_GCreateDefMarkerTable(), -1);  // once only
    int16_t seg[5][4];
    for (int i = 0; i < 5; i++) {
        int16_t s[4] = {int16_t(i), 0, 0, int16_t(i)};
        memcpy(seg[i], s, sizeof s);
        GMarker m = marker_of(seg[i]);
        ASSERT_EQ(gmarker_GAddMarker(&m), 0);
    }
    gmarker_GIndexMarkerTable();
    // The table holds copies: index 7 of 5 is marker 2.
    GMarker *m7 = gmarker_GGetMarker(nullptr, 7);
    ASSERT_NE(m7, nullptr);
    EXPECT_NE(m7->data[0], static_cast<void *>(seg[2]));
    EXPECT_EQ(static_cast<int16_t *>(m7->data[0])[0], 2);

    GList *dev = gmarker_GCreateDevMarkerTable();
    ASSERT_EQ(glist_GGetListLen(dev), 5);
    EXPECT_EQ(gmarker_GGetMarker(dev, 1), gmarker_GGetMarker(nullptr, 1));  // shared items
    int16_t other[4] = {9, 9, 9, 9};
    GMarker o = marker_of(other);
    ASSERT_EQ(gmarker_GReplaceMarker(dev, &o, 1), 0);
    EXPECT_EQ(static_cast<int16_t *>(gmarker_GGetMarker(dev, 1)->data[0])[0], 9);
    EXPECT_EQ(static_cast<int16_t *>(gmarker_GGetMarker(nullptr, 1)->data[0])[0], 1);
    // Replacing a replaced entry frees the earlier copy (the sanitizer
    // would report the leak); resetting takes the defaults back.
    ASSERT_EQ(gmarker_GReplaceMarker(dev, &o, 1), 0);
    gmarker_GCopyDefaultMarkerTable(dev);
    EXPECT_EQ(gmarker_GGetMarker(dev, 1), gmarker_GGetMarker(nullptr, 1));
    gmarker_GDestroyMarkerTable(dev);
}

TEST_F(Tables, LineStylesCountTheSolidLine)
{
    glines_GCreateDefLineTable();
    unsigned char dashes[2] = {8, 4};
    for (int i = 0; i < 4; i++) {
        GLineStyle s{};
        snprintf(s.name, sizeof s.name, "style%d", i);
        s.width = i;
        s.dashes = GVector{GV_BYTE, 0, 1, i % 2 ? 2 : 0, {i % 2 ? dashes : nullptr, nullptr, nullptr}};
        ASSERT_EQ(glines_GAddLine(&s), 0);
    }
    GDeviceRecord dev{};
    dev.tables[GT_LINES] = glines_GCreateDevLineTable();
    EXPECT_EQ(GGetNumLines(&dev), 5);
    GLineStyle *s1 = glines_GGetLine(dev.tables[GT_LINES], 1);
    ASSERT_EQ(s1->dashes.count, 2);
    EXPECT_NE(s1->dashes.data[0], static_cast<void *>(dashes));
    EXPECT_EQ(static_cast<unsigned char *>(s1->dashes.data[0])[1], 4);
    EXPECT_STREQ(glines_GGetLine(nullptr, 2)->name, "style2");
    glines_GDestroyLineTable(dev.tables[GT_LINES]);
}

TEST_F(Tables, DeviceFontReplacedLeavesTheDefault)
{
    gfont_GCreateDefFontTable();
    GFont f{};
    f.flags = GF_NAME | GF_HEIGHT;
    f.name = const_cast<char *>("fixed");
    f.height = 12;
    f.width = 99;  // not flagged: not copied
    ASSERT_EQ(gfont_GAddFont(&f), 0);
    GFont *def = gfont_GGetFont(nullptr, 0);
    EXPECT_STREQ(def->name, "fixed");
    EXPECT_NE(def->name, f.name);
    EXPECT_EQ(def->height, 12);
    EXPECT_EQ(def->width, 0);
    GList *dev = gfont_GCreateDevFontTable();
    GFont g{};
    g.flags = GF_NAME;
    g.name = const_cast<char *>("courier");
    ASSERT_EQ(gfont_GReplaceFont(dev, &g, 0), 0);
    EXPECT_STREQ(gfont_GGetFont(dev, 0)->name, "courier");
    EXPECT_STREQ(gfont_GGetFont(nullptr, 0)->name, "fixed");
    gfont_GDestroyFontTable(dev);
}

TEST_F(Tables, HatchIncrements)
{
    struct Case {
        int16_t angle, spacing;
        int16_t used_angle;
        long dx, dy, count;
    } cases[] = {
        {0, 16, 0, 0, 16, 8},
        {90, 16, 90, 16, 0, 8},
        {-30, 16, 150, 32, -18, 4},   // 16/sin 150 = 32, 16/cos 150 = -18.47
        {210, 16, 30, 32, 18, 4},
        // Above 45: 128 / |y step|; 10 / cos 60 lands just below 20 and
        // truncates to 19.
        {60, 10, 60, 11, 19, 6},
        {-360, 8, 0, 0, 8, 16},
    };
    for (auto &c : cases) {
        int16_t family[2] = {c.angle, c.spacing};
        GHatch h{GV_SHORT, 0, 2, 1, {family, nullptr, nullptr}};
        long dx, dy, n;
        ASSERT_EQ(ghatch_GComputeHatchIncrements(&h, &dx, &dy, &n), 0) << c.angle;
        EXPECT_EQ(family[0], c.used_angle) << c.angle;
        EXPECT_EQ(dx, c.dx) << c.angle;
        EXPECT_EQ(dy, c.dy) << c.angle;
        EXPECT_EQ(n, c.count) << c.angle;
    }
    // A spacing of 0 derives no step, and does not divide by zero.
    int16_t zero[2] = {45, 0};
    GHatch h{GV_SHORT, 0, 2, 1, {zero, nullptr, nullptr}};
    long dx, dy, n;
    EXPECT_EQ(ghatch_GComputeHatchIncrements(&h, &dx, &dy, &n), -1);
    EXPECT_EQ(n, 0);
}

TEST_F(Tables, HatchAndMarkerTablesAreSeparate)
{
    gmarker_GCreateDefMarkerTable();
    ghatch_GCreateDefHatchTable();
    int16_t seg[4] = {1, 2, 3, 4}, fam[2] = {45, 8};
    GMarker m = marker_of(seg);
    GHatch h{GV_SHORT, 0, 2, 1, {fam, nullptr, nullptr}};
    gmarker_GAddMarker(&m);
    ghatch_GAddHatch(&h);
    ghatch_GAddHatch(&h);
    EXPECT_EQ(glist_GGetListLen(gmarker_GGetDefaultMarkerTable()), 1);
    EXPECT_EQ(glist_GGetListLen(ghatch_GGetDefaultHatchTable()), 2);
    GList *dh = ghatch_GCreateDevHatchTable();
    EXPECT_EQ(glist_GGetListLen(dh), 2);
    EXPECT_EQ(static_cast<int16_t *>(ghatch_GGetHatch(dh, 1)->data[0])[0], 45);
    ghatch_GDestroyHatchTable(dh);
}

TEST_F(Tables, ColourNamesFromTheDatabase)
{
    std::string dir = vxtest::temp_dir("pelx-rgb");
    write_file(dir + "/pelx.rgb", "255 0 0\tred\n  0 0 128   navy blue  \n255 255 255 white\nnot a colour\n");
    ASSERT_EQ(gcolour_GReadColourDatabase((dir + "/pelx.rgb").c_str()), 0);
    struct Case {
        const char *name;
        uint16_t r, g, b;
        bool known;
    } cases[] = {{"red", 65535, 0, 0, true},
                 {"  navy blue ", 0, 0, 128 * 257, true},
                 {"white", 65535, 65535, 65535, true},
                 {"Red", 1, 2, 3, false},  // names are exact
                 {"mauve", 1, 2, 3, false}};
    for (auto &c : cases) {
        GColour col{};
        col.red = 1, col.green = 2, col.blue = 3;
        strcpy(col.name, "keep");
        char name[64];
        strcpy(name, c.name);
        EXPECT_EQ(gcolour_GLookupColour(&col, name), -1);
        EXPECT_EQ(col.red, c.r) << c.name;
        EXPECT_EQ(col.green, c.g) << c.name;
        EXPECT_EQ(col.blue, c.b) << c.name;
        EXPECT_STREQ(col.name, c.known ? "" : "keep") << c.name;
    }
    CaptureStderr();
    EXPECT_EQ(gcolour_GReadColourDatabase("/nonexistent/pelx.rgb"), -1);
    GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(4, 5));
}

TEST_F(Tables, NearestColourTiesGoToTheLowestIndex)
{
    GColour t[6] = {};
    auto set = [&](int i, uint16_t r, uint16_t g, uint16_t b) { t[i].red = r, t[i].green = g, t[i].blue = b; };
    set(0, 65535, 65535, 65535);
    set(1, 65535, 0, 0);
    set(2, 0, 0, 0);
    set(3, 0, 0, 65535);
    set(4, 1000, 1000, 1000);
    set(5, 0, 0, 0);
    GColour black{}, darkred{};
    darkred.red = 40000;
    EXPECT_EQ(gcolour_GGetClosestMatch(&black, t, 6), 2);
    EXPECT_EQ(gcolour_GGetClosestMatch(&darkred, t, 6), 1);
    EXPECT_EQ(gcolour_GGetClosestMatch(&black, t, 0), 0);
}

TEST_F(Tables, ColourSpaces)
{
    // HSV and HLS from 16-bit components, 65356 as full scale.
    struct Case {
        uint16_t rgb[3];
        uint16_t hsv[3], hls[3];
        uint16_t back_hsv[3];
    } cases[] = {
        {{65535, 65535, 65535}, {0, 0, 100}, {0, 100, 0}, {65356, 65356, 65356}},
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {{65356, 0, 0}, {0, 100, 100}, {0, 50, 100}, {65356, 0, 0}},
        {{0, 65356, 0}, {120, 100, 100}, {120, 50, 100}, {0, 65356, 0}},
        {{0, 0, 32678}, {240, 100, 50}, {240, 25, 100}, {0, 0, 32678}},
        {{32678, 0, 65356}, {270, 100, 100}, {270, 50, 100}, {32678, 0, 65356}},
        {{65356, 0, 32678}, {330, 100, 100}, {330, 50, 100}, {65356, 0, 32678}},
    };
    for (auto &c : cases) {
        uint16_t out[3];
        GRGBtoHSV(c.rgb, out);
        EXPECT_EQ(out[0], c.hsv[0]) << c.rgb[0] << "," << c.rgb[1] << "," << c.rgb[2];
        EXPECT_EQ(out[1], c.hsv[1]);
        EXPECT_EQ(out[2], c.hsv[2]);
        GRGBtoHLS(c.rgb, out);
        EXPECT_EQ(out[0], c.hls[0]) << c.rgb[0] << "," << c.rgb[1] << "," << c.rgb[2];
        EXPECT_EQ(out[1], c.hls[1]);
        EXPECT_EQ(out[2], c.hls[2]);
        GHSVtoRGB(c.hsv, out);
        EXPECT_EQ(out[0], c.back_hsv[0]) << "hsv " << c.hsv[0];
        EXPECT_EQ(out[1], c.back_hsv[1]);
        EXPECT_EQ(out[2], c.back_hsv[2]);
        GHLStoRGB(c.hls, out);
        EXPECT_EQ(out[0], c.back_hsv[0]) << "hls " << c.hls[0];
        EXPECT_EQ(out[1], c.back_hsv[1]);
        EXPECT_EQ(out[2], c.back_hsv[2]);
    }
    GColour c{};
    c.red = 65535;
    EXPECT_EQ(gcolour_GColourConvert(&c, 0), 0);
    EXPECT_EQ(c.conv[0], 0);
    EXPECT_EQ(c.conv[1], 100);
    EXPECT_EQ(gcolour_GColourConvert(&c, 4), -1);
    EXPECT_EQ(c.red, 65535);  // unchanged
    // A hue of 360 or more goes round the circle.
    uint16_t h[3] = {480, 100, 100}, out[3];
    GHSVtoRGB(h, out);
    EXPECT_EQ(out[1], 65356);
}

}  // namespace
