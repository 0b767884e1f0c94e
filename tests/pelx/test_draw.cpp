// Drawing primitives and text, by what they ask of the driver.

#include "pelxfixture.h"

#include <cmath>
#include <cstring>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

class Draw : public OnDevice {
protected:
    std::vector<GVector *> glyphs;

    // Marker 0: one segment from (-5, -5) to (5, 5); then markers 1 to 4
    // (the selection markers counted from the end) of one segment each.
    void make_markers()
    {
        gmarker_GCreateDefMarkerTable();
        for (int i = 0; i < 5; i++) {
            int16_t s[4] = {int16_t(-5 - i), int16_t(-5), int16_t(5 + i), int16_t(5)};
            GMarker m{GV_SHORT, 0, 2, 2, {s, nullptr, nullptr}};
            gmarker_GAddMarker(&m);
        }
    }

    static GVector *glyph(std::vector<int16_t> lines, std::vector<int16_t> metrics)
    {
        GVector *g = new GVector{GV_SHORT, 0, 2, static_cast<int64_t>(lines.size() / 2), {nullptr, nullptr, nullptr}};
        if (!lines.empty()) {
            g->data[0] = malloc(lines.size() * 2);
            memcpy(g->data[0], lines.data(), lines.size() * 2);
        }
        if (!metrics.empty()) {
            g->data[1] = malloc(8);
            memcpy(g->data[1], metrics.data(), 8);
        }
        return g;
    }

    // Font 0 a device font; font 1 a stroke font: "A" a stroke (0,0)-(4,8)
    // advancing 6; "g" (0,-2)-(4,6) with left bearing 1 and a descender;
    // a space of metrics only; "B" a stroke without metrics.
    void make_fonts()
    {
        gfont_GCreateDefFontTable();
        GFont dev{};
        dev.flags = GF_NAME;
        dev.name = const_cast<char *>("fixed");
        gfont_GAddFont(&dev);
        static GVector *table[128];
        memset(table, 0, sizeof table);
        table['A'] = glyph({0, 0, 4, 8}, {6, 0, 8, 0});
        table['g'] = glyph({0, -2, 4, 6}, {6, 1, 6, -2});
        table[' '] = glyph({}, {6, 0, 0, 0});
        table['B'] = glyph({0, 0, 0, 8}, {});
        GFont s{};
        s.flags = GF_NAME | GF_NUMCHARS | GF_WIDTH | GF_HEIGHT | GF_GLYPHS;
        s.name = const_cast<char *>("stroke");
        s.numchars = 128;
        s.width = 4;
        s.height = 10;
        s.glyphs = table;
        gfont_GAddFont(&s);
        for (GVector *g : table)
            if (g)
                glyphs.push_back(g);
    }

    void TearDown() override
    {
        OnDevice::TearDown();
        for (GVector *g : glyphs) {
            gvector_GFreeVectorData(g);
            delete g;
        }
    }

    void text_modes(long font, long alignment, long angle = 0, double scale = 1)
    {
        GTextModes t{font, 1, scale, angle, alignment};
        GSetTextModes(cv, 0x1F, &t);
        grec::clear();
    }

    // The segment points that stroke text gave the driver.
    std::vector<double> text_points()
    {
        auto calls = grec::of(12);
        std::vector<double> all;
        for (auto &c : calls)
            for (double v : c.points.at(0).values)
                all.push_back(v);
        return all;
    }
};

TEST_F(Draw, LinesPolylinesArcsAndComments)
{
    open(GP_POSTSCRIPT);
    canvas();
    GVector a = point(100, 200), b = point(300, 400);
    gdraw_GDrawLine(cv, &a, &b);
    double poly[6] = {0, 0, 4095, 4095, 10.9, -10.9};
    GVector pv{GV_DOUBLE, 0, 2, 3, {poly, nullptr, nullptr}};
    gdraw_GDrawPolyLine(cv, &pv);
    gdraw_GDrawArc(cv, &a, &b, 64 * 30, 64 * 90);
    GCommentOutput(cv, "axes");
    auto &calls = grec::calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].slot, 7);
    EXPECT_EQ(calls[0].points[0].type, GV_SHORT);
    EXPECT_EQ(flat(calls[0].points[0]), (std::vector<double>{100, 200}));
    EXPECT_EQ(flat(calls[0].points[1]), (std::vector<double>{300, 400}));
    EXPECT_EQ(calls[1].slot, 9);
    EXPECT_EQ(flat(calls[1].points[0]), (std::vector<double>{0, 0, 4095, 4095, 10, -10}));
    EXPECT_EQ(calls[2].slot, 5);
    EXPECT_EQ(calls[2].ints, (std::vector<long>{64 * 30, 64 * 90}));
    EXPECT_EQ(calls[3].slot, 29);
    EXPECT_EQ(calls[3].text, "axes");
}

TEST_F(Draw, CurrentSystemChoosesTheTransform)
{
    open(GP_POSTSCRIPT);
    canvas(4095, GCS_WC);
    GCanvasModes m{};
    double w[6] = {0, 0, 0, 10, 10, 10};
    memcpy(m.world, w, sizeof w);
    GSetCanvasModes(cv, GCM_WORLD, &m);
    grec::clear();
    GVector a = point(5, 5), b = point(10, 0);
    gdraw_GDrawLine(cv, &a, &b);
    // World (5, 5) is the middle of the plot space, whose size is 80% of
    // the default canvas size (3276): 2620 from the origin.
    auto line = grec::of(7).at(0);
    EXPECT_EQ(line.points[0].at(0, 0), 1310);
    EXPECT_EQ(line.points[0].at(0, 1), 1310);
    EXPECT_EQ(line.points[1].at(0, 0), 2620);
    // Stroke text segments go through the canvas transform whatever the
    // system of drawing calls.
    int16_t seg[4] = {100, 100, 200, 200};
    GVector sv{GV_SHORT, 0, 2, 2, {seg, nullptr, nullptr}};
    gdraw_GDrawTextLines(cv, &sv);
    EXPECT_EQ(flat(grec::of(12).at(0).points[0]), (std::vector<double>{100, 100, 200, 200}));
}

TEST_F(Draw, Rectangles)
{
    open(GP_POSTSCRIPT);
    canvas();
    struct Case {
        double x1, y1, x2, y2;
        std::vector<double> corner, size;
    } cases[] = {
        {100, 200, 300, 500, {100, 200}, {200, 300}},
        {300, 500, 100, 200, {100, 200}, {200, 300}},  // corners swapped per axis
        {100, 200, 300, 40000, {100, 200}, {200, 19800}},  // overflow pulled in to 20000
        {100, 200, 300, -40000, {100, -20000}, {200, 20200}},
    };
    for (auto &c : cases) {
        grec::clear();
        GVector a = point(c.x1, c.y1), b = point(c.x2, c.y2);
        gdraw_GDrawRectangle(cv, &a, &b);
        auto r = grec::of(11).at(0);
        EXPECT_EQ(flat(r.points[0]), c.corner) << c.y2;
        EXPECT_EQ(flat(r.points[1]), c.size) << c.y2;
    }
    // Clearing an area does not pull an overflow in.
    grec::clear();
    GVector a = point(0, 0), b = point(10, 40000);
    GClearArea(cv, &a, &b);
    EXPECT_EQ(flat(grec::of(0).at(0).points[1]), (std::vector<double>{10, 32767}));
}

TEST_F(Draw, PolygonWithoutFillTakesTheBackground)
{
    open(GP_POSTSCRIPT);
    canvas();
    double p[9] = {0, 0, 0, 100, 0, 0, 0, 100, 0};
    GVector pv{GV_DOUBLE, 0, 3, 3, {p, nullptr, nullptr}};
    gdraw_GDrawFilledPolygon(cv, &pv, nullptr);
    auto poly = grec::of(10).at(0);
    EXPECT_EQ(poly.fill.style, 1);
    EXPECT_EQ(poly.fill.colour, 7);  // the driver's canvas colour
    EXPECT_EQ(cv->fill.style, 0);    // put back
    EXPECT_EQ(cv->fill.colour, 0);
    // With a fill style the polygon is drawn as it is.
    GFillModes f{2, 3, 1, 0, 1, 3};
    GSetFillModes(cv, 0x7, &f);
    grec::clear();
    gdraw_GDrawFilledPolygon(cv, &pv, nullptr);
    EXPECT_EQ(grec::of(10).at(0).fill.style, 2);
    EXPECT_EQ(grec::of(32).size(), 0u);
}

TEST_F(Draw, TwoDimensionalPolygonIsAClosedOutline)
{
    open(GP_POSTSCRIPT);
    canvas();
    GFillModes f{1, 4, 0, 0, 1, 3};
    GSetFillModes(cv, 0x3, &f);
    std::vector<double> p;
    for (int i = 0; i < 7; i++)  // more than five points: the heap arrays
        p.insert(p.end(), {double(i * 10), 999.0, double(i * 20)});
    GVector pv{GV_DOUBLE, 0, 3, 7, {p.data(), nullptr, nullptr}};
    grec::clear();
    gdraw_GDraw2DFilledPolygon(cv, &pv, 0, nullptr);
    auto line = grec::of(9).at(0);
    EXPECT_EQ(line.line.flag, 1);
    EXPECT_EQ(line.fill.style, 0);
    EXPECT_EQ(line.fill.colour, 0);
    EXPECT_EQ(line.points[0].count(), 7);
    EXPECT_EQ(line.points[0].at(6, 0), 60);
    EXPECT_EQ(line.points[0].at(6, 1), 120);  // z became y
    EXPECT_EQ(cv->line.flag, 0);
}

TEST_F(Draw, MarkersAreExpandedAroundEachPoint)
{
    make_markers();
    struct Case {
        unsigned char protocol;
        int ysign;
    } cases[] = {{GP_POSTSCRIPT, 1}, {GP_X, -1}};
    for (auto &c : cases) {
        open(c.protocol, 4096, 4096, gmarker_GCreateDevMarkerTable());
        canvas(4096);  // one canvas unit is one device unit
        double p[4] = {1000, 1000, 32000, -32000};
        GVector pv{GV_DOUBLE, 0, 2, 2, {p, nullptr, nullptr}};
        gdraw_GDrawMarkers(cv, &pv);
        auto lines = grec::of(8).at(0).points[0];
        ASSERT_EQ(lines.count(), 4);  // two vertices at each of two points
        // With y downwards, canvas y 1000 (1000.24 device units) is
        // device row 4095 - 1000.24, truncated.
        double py = c.protocol == GP_X ? 3094 : 1000;
        // (-5, -5) and (5, 5) at scale 1 are 50 canvas units each way.
        EXPECT_EQ(lines.at(0, 0), 1000 - 50);
        EXPECT_EQ(lines.at(0, 1), py - 50 * c.ysign);
        EXPECT_EQ(lines.at(1, 0), 1000 + 50);
        EXPECT_EQ(lines.at(1, 1), py + 50 * c.ysign);
        // Near the edge of the 16-bit range the sums are clamped.
        EXPECT_EQ(lines.at(3, 0), 32000);
        EXPECT_GE(lines.at(2, 1), -32000);
        EXPECT_LE(lines.at(3, 1), 32000);
        // Twice the scale, twice the offset.
        GMarkerModes mm{0, 2.0};
        GSetMarkerModes(cv, 0x2, &mm);
        grec::clear();
        gdraw_GDrawMarkers(cv, &pv);
        EXPECT_EQ(grec::of(8).at(0).points[0].at(0, 0), 1000 - 100);
        GCloseDevice(dev);
        dev = nullptr;
    }
}

TEST_F(Draw, SelectionMarkerInExclusiveOr)
{
    make_markers();
    open(GP_POSTSCRIPT, 4096, 4096, gmarker_GCreateDevMarkerTable());
    canvas(4096);
    GVector p = point(1000, 1000);
    gdraw_GDrawSelectMarker(cv, &p, 1);
    auto lines = grec::of(8).at(0);
    EXPECT_EQ(lines.line.function, 6);
    EXPECT_EQ(lines.fill.function, 6);
    // Selection marker 1 is the last of the five: its half-width is 9.
    EXPECT_EQ(lines.points[0].at(0, 0), 1000 - 90);
    EXPECT_EQ(cv->line.function, 3);
    EXPECT_EQ(cv->fill.function, 3);
    EXPECT_EQ(cv->marker.index, 4);  // the index stays at the selection marker
}

TEST_F(Draw, StrokeTextAlignmentsAndLines)
{
    make_fonts();
    open(GP_POSTSCRIPT, 4096, 4096, nullptr, gfont_GCreateDevFontTable());
    canvas();
    EXPECT_EQ(gtext_GIsStrokeFont(cv, 1), 1);
    EXPECT_EQ(gtext_GIsStrokeFont(cv, 0), 0);
    GVector pos = point(1000, 1000);
    struct Case {
        const char *text;
        long alignment;
        std::vector<double> points;
    } cases[] = {
        // Size 5: "A" is 30 wide and 40 high; its bottom left on the position.
        {"A", 6, {1000, 1000, 1020, 1040}},
        // Centred: the offset (15, 20).
        {"A", 4, {985, 980, 1005, 1020}},
        // Top right: (30, 40).
        {"A", 2, {970, 960, 990, 1000}},
        // A descender lifts the line so its lowest stroke sits on the box's
        // bottom edge.
        {"Ag", 6, {1000, 1010, 1020, 1050, 1030, 1000, 1050, 1040}},
        // The first character's left bearing moves it onto the left edge.
        {"gA", 6, {995, 1000, 1015, 1040, 1025, 1010, 1045, 1050}},
        // A space advances by its metrics; a stroke without metrics by the
        // font's default advance (4 x 5).
        {"A A", 6, {1000, 1000, 1020, 1040, 1060, 1000, 1080, 1040}},
        {"BA", 6, {1000, 1000, 1000, 1040, 1020, 1000, 1040, 1040}},
        // Two lines: the second its own height lower; leading spaces of
        // the second line are dropped.
        {"A\n  A", 6, {1000, 1000, 1020, 1040, 1000, 960, 1020, 1000}},
        // A third line stays on the second line's row.
        {"A\nA\nA", 6, {1000, 1000, 1020, 1040, 1000, 960, 1020, 1000, 1030, 960, 1050, 1000}},
    };
    for (auto &c : cases) {
        text_modes(1, c.alignment);
        EXPECT_EQ(GPutText(cv, &pos, c.text), 0) << c.text;
        EXPECT_EQ(text_points(), c.points) << c.text << " alignment " << c.alignment;
    }
    // Only spaces, or nothing: no driver call.
    text_modes(1, 6);
    EXPECT_EQ(GPutText(cv, &pos, "   "), 0);
    EXPECT_EQ(GPutText(cv, &pos, ""), 0);
    EXPECT_EQ(grec::count(12), 0);
}

TEST_F(Draw, StrokeTextTurnsAndScales)
{
    make_fonts();
    open(GP_POSTSCRIPT, 4096, 4096, nullptr, gfont_GCreateDevFontTable());
    canvas();
    GVector pos = point(1000, 1000);
    // 90 degrees: reads upwards; the stroke (0,0)-(20,40) becomes
    // (0,0)-(-40,20) and the next character starts 30 higher.
    text_modes(1, 6, 90 * 64);
    GPutText(cv, &pos, "AA");
    std::vector<double> want = {1000, 1000, 960, 1020, 1000, 1030, 960, 1050};
    auto got = text_points();
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++)
        EXPECT_NEAR(got[i], want[i], 1) << i;
    // Scale 2: size 10.
    text_modes(1, 6, 0, 2);
    GPutText(cv, &pos, "A");
    EXPECT_EQ(text_points(), (std::vector<double>{1000, 1000, 1040, 1080}));
    // The limits of a text and the area clearing it.
    text_modes(1, 6);
    short corners[8];
    ASSERT_EQ(GGetTextLimits(cv, "Ag", &pos, corners), 0);
    // The box from (0, -depth) to (width, height), 60 wide and 60 high with
    // the depth of 10, its corner 0 on the position at alignment 6: it
    // covers the drawn strokes (1000 to 1050 high).
    std::vector<short> c(corners, corners + 8), cw = {1000, 1000, 1000, 1060, 1060, 1060, 1060, 1000};
    for (int i = 0; i < 8; i++)
        EXPECT_NEAR(c[i], cw[i], 1) << i;
    GClearText(cv, &pos, "Ag");
    auto clear = grec::of(0).at(0);
    EXPECT_NEAR(clear.points[0].at(0, 0), 1000, 1);
    EXPECT_NEAR(clear.points[0].at(0, 1), 1000, 1);
    EXPECT_NEAR(clear.points[1].at(0, 0), 60, 1);
    EXPECT_NEAR(clear.points[1].at(0, 1), 60, 1);
}

TEST_F(Draw, CharactersWithoutGlyphs)
{
    make_fonts();
    open(GP_POSTSCRIPT, 4096, 4096, nullptr, gfont_GCreateDevFontTable());
    canvas();
    GVector pos = point(1000, 1000);
    text_modes(1, 6);
    CaptureStderr();
    EXPECT_EQ(GPutText(cv, &pos, "A\xC8\xC9" "A"), 0);
    std::string err = GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(4, 10));
    // Reported once for the line; the rest is drawn, the unknown ones
    // without moving the pen.
    EXPECT_EQ(err.find("(4,10)"), err.rfind("(4,10)"));
    EXPECT_EQ(text_points(), (std::vector<double>{1000, 1000, 1020, 1040, 1030, 1000, 1050, 1040}));
}

TEST_F(Draw, DeviceFontsAreAlignedForTheDriver)
{
    make_fonts();
    struct Case {
        unsigned char protocol;
        long alignment;
        std::vector<double> at;
    } cases[] = {
        // The driver's box: 40 wide, 10 high.
        {GP_POSTSCRIPT, 6, {1000, 1000}},
        {GP_POSTSCRIPT, 0, {1000, 990}},
        {GP_POSTSCRIPT, 4, {980, 995}},
        // With y growing downwards a top-aligned text moves down.
        {GP_X, 0, {1000, 3095 + 10}},
    };
    for (auto &c : cases) {
        open(c.protocol, 4096, 4096, nullptr, gfont_GCreateDevFontTable());
        canvas();
        text_modes(0, c.alignment);
        GVector pos = point(1000, 1000);
        EXPECT_EQ(GPutText(cv, &pos, "label"), 0);
        auto put = grec::of(20).at(0);
        EXPECT_EQ(put.text, "label");
        EXPECT_EQ(flat(put.points[0]), c.at) << int(c.protocol) << " " << c.alignment;
        GCloseDevice(dev);
        dev = nullptr;
    }
    // A driver that cannot measure the text: nothing is drawn.
    open(GP_POSTSCRIPT, 4096, 4096, nullptr, gfont_GCreateDevFontTable());
    canvas();
    grec::answers().text_limits_result = -1;
    GVector pos = point(1000, 1000);
    EXPECT_EQ(GPutText(cv, &pos, "label"), -1);
    EXPECT_EQ(grec::count(20), 0);
}

class Clip : public Draw {
protected:
    void SetUp() override
    {
        Draw::SetUp();
        open(GP_POSTSCRIPT);
        canvas(4095, GCS_WC);
        GCanvasModes m{};
        double w[6] = {0, 0, 0, 100, 100, 100};
        memcpy(m.world, w, sizeof w);
        m.clip = 3;
        m.flag3d = 1;
        GSetCanvasModes(cv, GCM_WORLD | GCM_CLIP | GCM_FLAG3D, &m);
        grec::clear();
    }
    GVector p3(double x, double y, double z)
    {
        dbl.push_back({x, y, z});
        return GVector{GV_DOUBLE, 0, 3, 1, {dbl.back().data(), nullptr, nullptr}};
    }
    // World x (or y) to its device value on this canvas: the plot space is
    // 2620 units (80% of the default canvas size) for the world's 100.
    static double dc(double v) { return std::trunc(v / 100 * 2620); }
};

TEST_F(Clip, LinesAgainstTheWorldVolume)
{
    struct Case {
        std::vector<double> a, b;
        bool drawn;
        double end_x;  // world x of the drawn second end
    } cases[] = {
        {{110, 10, 10}, {150, 90, 10}, false, 0},  // wholly outside x max
        {{10, 10, 10}, {50, 50, 150}, true, 10 + 40 * 90 / 140.0},  // cut at z max
        {{10, 10, 10}, {100, 50, 50}, true, 100},  // ends on the boundary: not cut
        {{-50, 50, 50}, {50, 50, 50}, true, 50},
    };
    for (auto &c : cases) {
        grec::clear();
        GVector a = p3(c.a[0], c.a[1], c.a[2]), b = p3(c.b[0], c.b[1], c.b[2]);
        gdraw_GDrawLine(cv, &a, &b);
        ASSERT_EQ(grec::count(7), c.drawn ? 1 : 0) << c.a[0];
        if (c.drawn) {
            EXPECT_NEAR(grec::of(7)[0].points[1].at(0, 0), dc(c.end_x), 1) << c.a[0];
        }
        // The caller's points are its own.
        EXPECT_EQ(gvector_GGetValue(&b, 0, 2), c.b[2]);
    }
    // The line from outside x min was cut to start at x 0.
    EXPECT_NEAR(grec::of(7)[0].points[0].at(0, 0), 0, 1);
}

TEST_F(Clip, PolylinesAndPolygons)
{
    double line[9] = {10, 10, 10, 150, 10, 10, 150, 90, 10};
    GVector lv{GV_DOUBLE, 0, 3, 3, {line, nullptr, nullptr}};
    gdraw_GDrawPolyLine(cv, &lv);
    auto pl = grec::of(9).at(0).points[0];
    ASSERT_EQ(pl.count(), 2);  // the kept start and the cut at x max
    EXPECT_NEAR(pl.at(1, 0), dc(100), 1);
    EXPECT_EQ(lv.count, 3);
    EXPECT_EQ(lv.data[0], static_cast<void *>(line));

    // A triangle with one corner beyond x max comes back with four corners.
    std::vector<double> tri(300, 0.0);
    double t[9] = {10, 10, 10, 150, 50, 10, 10, 90, 10};
    std::copy(t, t + 9, tri.begin());
    GVector tv{GV_DOUBLE, 0, 3, 3, {tri.data(), nullptr, nullptr}};
    EXPECT_EQ(gclip_GClipToVolume(cv, &tv), 1);
    EXPECT_EQ(tv.count, 4);
    EXPECT_EQ(tri[12], 0);  // the rest of the room cleared
    // Lying exactly on the y max plane: inside, neither cut nor refused.
    double flat[9] = {10, 100, 10, 20, 100, 10, 10, 100, 20};
    std::vector<double> room(300, 0.0);
    std::copy(flat, flat + 9, room.begin());
    GVector fv{GV_DOUBLE, 0, 3, 3, {room.data(), nullptr, nullptr}};
    EXPECT_EQ(gclip_GClipToVolume(cv, &fv), 0);
    EXPECT_EQ(fv.count, 3);
    // Wholly outside: nothing drawn.
    double out[9] = {200, 10, 10, 300, 50, 10, 200, 90, 10};
    GVector ov{GV_DOUBLE, 0, 3, 3, {out, nullptr, nullptr}};
    grec::clear();
    gdraw_GDrawFilledPolygon(cv, &ov, nullptr);
    EXPECT_EQ(grec::count(10), 0);
    // Cut while drawing: the driver gets the clipped outline (the polyline
    // above, closed, loses its corners beyond x max).
    gdraw_GDrawFilledPolygon(cv, &lv, nullptr);
    auto cut = grec::of(10).at(0).points[0];
    ASSERT_EQ(cut.count(), 3);
    EXPECT_NEAR(cut.at(2, 0), dc(100), 1);
    EXPECT_EQ(lv.count, 3);

    double on_face[3] = {100, 0, 50}, outside[3] = {100.5, 0, 50};
    EXPECT_EQ(gclip_GPointInWorld(cv, on_face), 1);
    EXPECT_EQ(gclip_GPointInWorld(cv, outside), 0);
}

TEST_F(Clip, OnlyWhenTheCanvasAsks)
{
    GCanvasModes m{};
    m.flag3d = 0;
    GSetCanvasModes(cv, GCM_FLAG3D, &m);
    grec::clear();
    GVector a = p3(110, 10, 10), b = p3(150, 90, 10);
    gdraw_GDrawLine(cv, &a, &b);
    EXPECT_EQ(grec::count(7), 1);
    double outside[3] = {500, 0, 0};
    EXPECT_EQ(gclip_GPointInWorld(cv, outside), 1);
}

TEST(TextOffsets, AlignmentPoints)
{
    // Corners 0 bottom left, 1 top left, 2 top right, 3 bottom right.
    short c[8] = {0, 0, 0, 11, 21, 11, 21, 0};
    short want[10][2] = {{0, 11}, {10, 11}, {21, 11}, {0, 5}, {10, 5}, {21, 5}, {0, 0}, {10, 0}, {21, 0}, {0, 0}};
    for (long a = 0; a <= 9; a++) {
        short x = -1, y = -1;
        GGetTextOrgOffset(&x, &y, a, c);
        EXPECT_EQ(x, want[a][0]) << a;
        EXPECT_EQ(y, want[a][1]) << a;
    }
    // Midpoints truncate toward zero for negative differences too.
    short n[8] = {0, 0, 0, -11, -21, -11, -21, 0};
    short x, y;
    GGetTextOrgOffset(&x, &y, 4, n);
    EXPECT_EQ(x, -10);
    EXPECT_EQ(y, -5);
    double m[9];
    GSetupRotationMatrix(m, 0);
    EXPECT_EQ(m[0], 1);
    EXPECT_EQ(m[1], 0);
}

}  // namespace
