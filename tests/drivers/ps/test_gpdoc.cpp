// PostScript documents as text: the header and page set-up of each
// placement, the lazily written state, the drawing primitives' lines, and
// the failures of opening and closing.

#include "psfixture.h"

#include <fstream>

using namespace pstest;

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new Library);
    return RUN_ALL_TESTS();
}

namespace {

class Doc : public PsDoc {};

// The whole document around one line, with a prolog of our own.
TEST_F(Doc, DocumentStructure)
{
    std::string prolog = dir + "/mini.ps";
    std::ofstream(prolog) << "% PelxRevisionNumber: 2\n/ST { stroke } def\n";
    open(1, [&](GDeviceModes &m) { snprintf(m.prolog, sizeof m.prolog, "%s", prolog.c_str()); }, GDM_PROLOG);
    line_modes(-1, 1);
    GVector a = pts.v({0, 0}), b = pts.v({10, 20});
    ep()->DrawLine(cv, &a, &b);
    EXPECT_EQ(masked(finish()), "%!PS-Adobe-3.0\n"
                                "%%Title: Vostrelane Graph\n"
                                "%%Creator: Vostrelane\n"
                                "%%CreationDate: DATE\n"
                                "%%For: USER\n"
                                "%%LanguageLevel: 1\n"
                                "%%Pages: 1\n"
                                "%%Orientation: Portrait\n"
                                "%%BoundingBox: -2 -2 102 102\n"
                                "%%DocumentNeededResources: font Helvetica\n"
                                "%%DocumentSuppliedResources: procset QuorvathPelx 2 0\n"
                                "%%EndComments\n"
                                "\n"
                                "\n"
                                "%%BeginProlog\n"
                                "\n"
                                "%%BeginResource: procset QuorvathPelx 2 0\n"
                                "% PelxRevisionNumber: 2\n/ST { stroke } def\n"
                                "%%EndResource\n"
                                "\n"
                                "%%EndProlog\n"
                                "\n"
                                "%%BeginSetup\n"
                                "%%IncludeResource: font Helvetica\n"
                                "%%EndSetup\n"
                                "\n"
                                "\n"
                                "%%Page: one 1\n"
                                "\n"
                                "% Set up default graphics state\n"
                                "\tgsave\n"
                                "\t0.0 0.0 0.0 setrgbcolor\n"
                                "\tnewpath\n"
                                "\t5.00 setlinewidth\n"
                                "\t0 setlinecap\n"
                                "\t0 setlinejoin\n"
                                "\t10 setmiterlimit\n"
                                "\t[] 0 setdash\n"
                                "\n"
                                "\n"
                                "% Set up device size stuff\n"
                                "\t0.1 0.1 scale\n"
                                "\t6120 7920 1000 1000 0 0 setdims\n"
                                "\n"
                                "\t0 0 translate\n"
                                "\t0 0 0 1000 1000 1000 1000 0 4 setclippath\n"
                                "\n"
                                "\t10 20 0 0 RSL\n"
                                "\tunsetclippath\n"
                                "\tgrestore\n"
                                "\tshowpage\n"
                                "%%Trailer\n"
                                "%%EOF\n");
}

TEST_F(Doc, EpsHasItsFirstLineAndNoShowpage)
{
    open(2, [](GDeviceModes &m) { m.landscape = 1; }, 0, false);
    std::string doc = finish();
    EXPECT_EQ(doc.substr(0, doc.find('\n')), "%!PS-Adobe-3.0 EPSF-3.0");
    EXPECT_EQ(doc.find("showpage"), std::string::npos);
    EXPECT_NE(doc.find("\tgrestore\n%%Trailer\n%%EOF\n"), std::string::npos);
}

// Placement of the picture: rotation, fillpage (0.9 for PostScript, 1.0
// for EPS), centring, and the bounding box of the final placement.
TEST_F(Doc, Placement)
{
    struct Case {
        const char *what;
        long index, ucx, ucy, dcx, dcy, xpos, ypos;
        bool landscape, fillpage, centre;
        const char *setup;  // setdims and translate lines
        const char *box;
    } cases[] = {
        {"as given", 1, 6120, 7920, 5000, 4000, 100, 200, false, false, false,
         "\t6120 7920 5000 4000 100 200 setdims\n\n\t100 200 translate\n", "8 18 512 422"},
        {"centred vertically", 1, 6120, 7920, 5000, 4000, 100, 200, false, false, true,
         "\t6120 7920 5000 4000 100 1960 setdims\n\n\t100 1960 translate\n", "8 194 512 598"},
        {"centred horizontally", 1, 6120, 7920, 2000, 7000, 100, 200, false, false, true,
         "\t6120 7920 2000 7000 2060 200 setdims\n\n\t2060 200 translate\n", "204 18 408 722"},
        {"rotated", 1, 6120, 7920, 5000, 4000, 100, 200, true, false, false,
         "\t6120 7920 4000 5000 3720 100 setdims\n\n\t90 rotate\n\t3720 -6020 translate\n", "100 370 604 774"},
        {"filled, width limits", 1, 6120, 7920, 6000, 4000, 0, 0, false, true, false,
         "\t6120 7920 5508 3672 306 3942 setdims\n\n\t306 3942 translate\n", "28 392 584 764"},
        {"filled, height limits", 1, 6120, 7920, 4000, 6000, 0, 0, false, true, false,
         "\t6120 7920 4752 7128 972 396 setdims\n\n\t972 396 translate\n", "95 37 575 755"},
        {"rotated, filled, x limits", 1, 6120, 7920, 7000, 3000, 0, 0, true, true, false,
         "\t6120 7920 7128 3054 396 2670 setdims\n\n\t90 rotate\n\t396 -3450 translate\n", "37 37 347 755"},
        {"rotated, filled, y limits", 1, 6120, 7920, 4000, 6000, 0, 0, true, true, false,
         "\t6120 7920 3672 5508 3942 306 setdims\n\n\t90 rotate\n\t3942 -5814 translate\n", "28 392 584 764"},
        {"rotated, filled, centred", 1, 6120, 7920, 4000, 6000, 0, 0, true, true, true,
         "\t6120 7920 3672 5508 2124 306 setdims\n\n\t90 rotate\n\t2124 -5814 translate\n", "28 210 584 582"},
        {"EPS filled", 2, 5950, 8420, 5400, 4050, 0, 0, false, true, false,
         "\t5950 8420 5950 4462 0 3958 setdims\n\n\t0 3958 translate\n", "-2 393 597 844"},
        {"EPS as shipped (centred)", 2, 5950, 8420, 5400, 4050, 0, 0, false, false, true,
         "\t5950 8420 5400 4050 0 2185 setdims\n\n\t0 2185 translate\n", "-2 216 542 626"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dev = open_device(c.index, [&](GDeviceModes &m) {
            m.ucxdim = c.ucx, m.ucydim = c.ucy, m.dcxdim = c.dcx, m.dcydim = c.dcy;
            m.dcxpos = c.xpos, m.dcypos = c.ypos;
            m.landscape = c.landscape, m.fillpage = c.fillpage, m.centre = c.centre;
        });
        ASSERT_NE(dev, nullptr);
        std::string doc = finish();
        size_t a = doc.find("\t0.1 0.1 scale\n"), b = doc.find("translate\n", a);
        ASSERT_NE(a, std::string::npos);
        ASSERT_NE(b, std::string::npos);
        EXPECT_EQ(doc.substr(a + 15, b + 10 - a - 15), c.setup);
        EXPECT_NE(doc.find(std::string("%%BoundingBox: ") + c.box + "\n"), std::string::npos) << doc.substr(0, 400);
    }
}

// After the set-up the device has the placed size, and canvases map onto it.
TEST_F(Doc, DeviceTakesThePlacedSize)
{
    dev = open_device(1, [](GDeviceModes &m) {
        m.dcxdim = 6000, m.dcydim = 4000, m.fillpage = 1;
    });
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(dev->modes.dcxdim, 5508);
    EXPECT_EQ(dev->modes.dcydim, 3672);
    EXPECT_EQ(dev->modes.vdcxdim, 4095);
    EXPECT_EQ(dev->modes.vdcydim, 3672 * 4096 / 5508 - 1);
    finish();
}

TEST_F(Doc, DeviceBorderOnlyWhenAskedAndSet)
{
    for (int ask = 0; ask < 2; ask++)
        for (int flag = 0; flag < 2; flag++) {
            dev = open_device(1, [&](GDeviceModes &m) { m.driverflag = static_cast<unsigned char>(flag); },
                              ask ? uint64_t(GDM_DRIVERFLAG) : uint64_t(0));
            ASSERT_NE(dev, nullptr);
            std::string doc = finish();
            EXPECT_EQ(doc.find("\tdevborder\n") != std::string::npos, ask && flag) << ask << flag;
        }
}

// State is written only when it changes and only before drawing.
TEST_F(Doc, StateIsWrittenOnceAndOnlyWhenItChanges)
{
    open();
    GVector a = pts.v({0, 0}), b = pts.v({10, 20});
    line_modes(-1, 2);
    ep()->DrawLine(cv, &a, &b);
    ep()->DrawLine(cv, &a, &b);
    line_modes(0, 2, false, 3);  // "dashed": 8, 4
    ep()->DrawLine(cv, &a, &b);
    line_modes(-1, 4, false, 3);
    ep()->DrawLine(cv, &a, &b);
    EXPECT_EQ(body(finish()), "\t1.00 0.00 0.00 setrgbcolor\n"
                              "\t0 0 0 1000 1000 1000 1000 0 4 setclippath\n\n"
                              "\t10 20 0 0 RSL\n"
                              "\t10 20 0 0 RSL\n"
                              "\t[ 80 40 ] 0 setdash\n"
                              "\t35.00 setlinewidth\n"
                              "\t10 20 0 0 RSL\n"
                              "\t[] 0 setdash\n"
                              "\t0.00 0.00 1.00 setrgbcolor\n"
                              "\t10 20 0 0 RSL\n"
                              "\tunsetclippath\n");
}

// A colour map in use gives the colours; its index counts round the map.
TEST_F(Doc, ColourMapInUseGivesTheColours)
{
    open(1, [](GDeviceModes &m) { m.colourmap = 1; }, GDM_COLOURMAP);  // "grey": 64 steps
    GVector a = pts.v({0, 0}), b = pts.v({10, 20});
    line_modes(-1, 63);
    ep()->DrawLine(cv, &a, &b);
    line_modes(-1, 64);
    ep()->DrawLine(cv, &a, &b);
    std::string s = body(finish());
    EXPECT_NE(s.find("\t1.00 1.00 1.00 setrgbcolor\n"), std::string::npos) << s;
    EXPECT_NE(s.find("\t0.00 0.00 0.00 setrgbcolor\n"), std::string::npos) << s;
}

// A polyline of 1001 points is stroked in three parts of at most 500
// points, each later one starting where the last ended; steps to the same
// point are not written.
TEST_F(Doc, LongPolylineIsStrokedInParts)
{
    open();
    line_modes(-1, 1);
    std::vector<short> xy;
    for (int i = 0; i <= 1000; i++) {
        xy.push_back(static_cast<short>(i));
        xy.push_back(static_cast<short>(i % 2));
        if (i == 10) {  // a repeated point
            xy.push_back(10);
            xy.push_back(0);
        }
    }
    GVector v = pts.v(xy);
    ep()->DrawPolyLine(cv, &v);
    std::string s = body(finish());
    EXPECT_EQ(count(s, "\tST\n\n"), 3u);
    EXPECT_EQ(count(s, "RLT\n"), 1000u);
    EXPECT_EQ(count(s, " moveto\n"), 3u);
    EXPECT_NE(s.find("\t1 1 RLT\n\tST\n\n\t499 1 moveto\n\t1 -1 RLT\n"), std::string::npos);
    EXPECT_NE(s.find("\t1 -1 RLT\n\tST\n\n\t998 0 moveto\n\t1 1 RLT\n\t1 -1 RLT\n\tST\n\n\n"), std::string::npos);
    EXPECT_EQ(count(s, "0 0 RLT"), 0u);
}

// Closed shapes: filled by style when short; over 500 points an outline
// closed by hand, with 4,18 and the close flag cleared when a fill was
// asked for.
TEST_F(Doc, ClosedShapes)
{
    open();
    line_modes(-1, 1, true);
    fill_modes(1, 1);
    GVector tri = pts.v({0, 0, 100, 0, 0, 50});
    ep()->DrawPolyLine(cv, &tri);
    std::vector<short> xy;
    for (int i = 0; i < 600; i++) {
        xy.push_back(static_cast<short>(i));
        xy.push_back(static_cast<short>(i % 7));
    }
    GVector big = pts.v(xy);
    ep()->DrawPolyLine(cv, &big);
    EXPECT_EQ(last_error(), std::make_pair(4, 18));
    EXPECT_EQ(cv->line.flag, 0);
    std::string s = body(finish());
    size_t first = s.find("\t0 0 moveto\n"), second = s.find("\t0 0 moveto\n", first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(s.substr(first, second - first),
              "\t0 0 moveto\n\t100 0 RLT\n\t-100 50 RLT\n\tclosepath\n\tgsave fill grestore\n\tST\n\n\n");
    EXPECT_EQ(count(s, "closepath"), 1u);
    // The outline's last step goes back to the first point.
    EXPECT_NE(s.find("\t-599 -4 RLT\n\tST\n\n\n"), std::string::npos);
}

TEST_F(Doc, FilledPolygons)
{
    open();
    GVector tri = pts.v({0, 0, 100, 0, 0, 50});
    line_modes(-1, 1);
    fill_modes(1, 1);
    ep()->DrawFilledPolygon(cv, &tri, 0);
    fill_modes(1, 2);
    ep()->DrawFilledPolygon(cv, &tri, 0);
    GVector line = pts.v({0, 0, 5, 5});
    ep()->DrawLine(cv, &line, &line);  // the line colour is current: no colour written
    EXPECT_EQ(body(finish()), "\t0 0 0 1000 1000 1000 1000 0 4 setclippath\n\n"
                              "\t0.00 0.00 0.00 -100 50 100 0 0 0 3 DFP\n"
                              "\t0.00 0.00 0.00 1.00 0.00 0.00 -100 50 100 0 0 0 3 DFOP\n"
                              "\t0 0 0 0 RSL\n"
                              "\tunsetclippath\n");
}

TEST_F(Doc, FilledPolygonOver500PointsIsAnOutline)
{
    open();
    line_modes(-1, 1, true);
    fill_modes(1, 2);
    std::vector<short> xy;
    for (int i = 0; i < 501; i++) {
        xy.push_back(static_cast<short>(i));
        xy.push_back(static_cast<short>(i % 3));
    }
    GVector v = pts.v(xy);
    ep()->DrawFilledPolygon(cv, &v, 0);
    EXPECT_EQ(last_error(), std::make_pair(4, 18));
    std::string s = body(finish());
    EXPECT_EQ(s.find("DFP"), std::string::npos);
    EXPECT_EQ(s.find("fill"), std::string::npos);
    EXPECT_GT(count(s, "RLT"), 499u);
}

// Segment runs: RLT where a segment continues the last, RDL elsewhere, a
// stroke every 500 segments; text strokes in the text colour, solid.
TEST_F(Doc, SegmentRuns)
{
    open();
    line_modes(0, 1);
    GVector segs = pts.v({0, 0, 10, 0, 10, 0, 10, 10, 50, 50, 60, 60});
    ep()->DrawLines(cv, &segs);
    EXPECT_EQ(body(finish()), "\t[ 80 40 ] 0 setdash\n"
                              "\t0 0 0 1000 1000 1000 1000 0 4 setclippath\n\n"
                              "\t10 0 0 0 RDL\n"
                              "\t0 10 RLT\n"
                              "\t10 10 50 50 RDL\n"
                              "\tST\n\n"
                              "\tunsetclippath\n");

    open();
    std::vector<short> xy;
    for (int i = 0; i < 1001; i++)
        for (short v : {short(i), short(0), short(i + 1), short(0)})
            xy.push_back(v);
    GVector many = pts.v(xy);
    ep()->DrawLines(cv, &many);
    GTextModes tm = cv->text;
    tm.colour = 2;
    GSetTextModes(cv, GTM_COLOUR, &tm);
    ep()->DrawTextLines(cv, &many);
    std::string s = body(finish());
    size_t text = s.find("setrgbcolor");
    ASSERT_NE(text, std::string::npos);
    EXPECT_EQ(count(s.substr(0, text), "\tST\n"), 3u);
    EXPECT_NE(s.find("\tST\n\n\t500 0 moveto\n\t1 0 RLT\n"), std::string::npos);
    EXPECT_EQ(count(s.substr(text), "\tST\n"), 1u);
}

TEST_F(Doc, RectanglesAndFills)
{
    open();
    line_modes(-1, 1);
    GVector corner = pts.v({10, 20}), size = pts.v({30, 40});
    struct Case {
        long style, colour, hatch;
        const char *fill;
    } cases[] = {
        {0, 1, 0, ""},
        {1, 1, 0, "\tgsave fill grestore\n"},
        {1, 2, 0, "\tgsave 1.00 0.00 0.00 setrgbcolor fill grestore\n"},
        {2, 1, 2, "\t0 160 hatch\n"},   // hatch 2: 0 degrees, 16 apart
        {2, 1, 3, "\t160 0 hatch\n"},   // hatch 3: 90 degrees
        {2, 4, 0, "\tgsave 0.00 0.00 1.00 setrgbcolor 220 220 hatch grestore\n"},  // 45 degrees: 16 / sin 45
    };
    std::string expect = "\t0 0 0 1000 1000 1000 1000 0 4 setclippath\n\n";
    for (const Case &c : cases) {
        fill_modes(c.style, c.colour, c.hatch);
        ep()->DrawRectangle(cv, &corner, &size);
        expect += std::string("\t40 20 10 20 DL\n\t40 60 LT\n\t10 60 LT\n\tclosepath\n") + c.fill + "\tST\n\n";
    }
    // Clearing an area is a rectangle in colour 0, solid; the modes stay.
    fill_modes(2, 4, 0);
    ep()->ClearArea(cv, &corner, &size);
    expect += "\t1.00 1.00 1.00 setrgbcolor\n\t40 20 10 20 DL\n\t40 60 LT\n\t10 60 LT\n\tclosepath\n"
              "\tgsave fill grestore\n\tST\n\n";
    EXPECT_EQ(cv->line.colour, 1);
    EXPECT_EQ(cv->fill.style, 2);
    EXPECT_EQ(body(finish()), expect + "\tunsetclippath\n");
}

// Arcs: centre and radii from the corners in any order; an outline has no
// line from the centre, a filled arc is a pie slice.
TEST_F(Doc, Arcs)
{
    open();
    line_modes(-1, 1);
    GVector p1 = pts.v({100, 300}), p2 = pts.v({300, 200});
    ep()->DrawArc(cv, &p2, &p1, 0, 90 * 64);
    fill_modes(1, 1);
    ep()->DrawArc(cv, &p1, &p2, 45 * 64, -90 * 64);
    ep()->DrawArc(cv, &p1, &p2, 10 * 64, 400 * 64);
    GVector flat = pts.v({100, 300});
    ep()->DrawArc(cv, &p1, &flat, 0, 360 * 64);
    EXPECT_EQ(body(finish()), "\t0 0 0 1000 1000 1000 1000 0 4 setclippath\n\n"
                              "\tgsave\n\tnewpath\n\t200 250 translate\n\t1.00 0.50 scale\n"
                              "\t0 0 100 0 90 arc\n\tST\n\tgrestore\n\n"
                              "\tgsave\n\tnewpath\n\t200 250 translate\n\t1.00 0.50 scale\n"
                              "0 0 moveto\t0 0 100 -45 45 arc\n\tclosepath\n\tgsave fill grestore\n\tST\n\tgrestore\n\n"
                              "\tgsave\n\tnewpath\n\t200 250 translate\n\t1.00 0.50 scale\n"
                              "0 0 moveto\t0 0 100 0 360 arc\n\tclosepath\n\tgsave fill grestore\n\tST\n\tgrestore\n\n"
                              "\tunsetclippath\n");
}

// Text: escapes, the aligned show by alignment code, a second line one
// font height lower, the font set lazily (ISO-encoded on request).
TEST_F(Doc, Text)
{
    open();
    GVector at = pts.v({100, 200});
    GTextModes tm = cv->text;
    tm.colour = 1;
    tm.alignment = 6;
    GSetTextModes(cv, GMASK_ALL, &tm);
    ep()->PutText(cv, "f(x)", &at);
    ep()->PutText(cv, "a\\b \351\n  second", &at);
    tm.alignment = 4;
    GSetTextModes(cv, GTM_ALIGNMENT, &tm);
    ep()->PutText(cv, "c", &at);
    EXPECT_EQ(body(finish()), "\t/Helvetica findfont 120 scalefont setfont\n"
                              "\t0 0 0 1000 1000 1000 1000 0 4 setclippath\n\n"
                              "\t(f\\(x\\)) 100 200 blshow\n"
                              "\t(a\\\\b \\351) 100 200 blshow\n"
                              "\t(second) 100 80 blshow\n"
                              "\t(c) 100 200 ccshow\n"
                              "\tunsetclippath\n");

    setenv("VX_PS_ISO_ENCODE", "1", 1);
    open();
    ep()->PutText(cv, "x", &at);
    unsetenv("VX_PS_ISO_ENCODE");
    EXPECT_NE(finish().find("\t/Helvetica findfont /Helvetica-ISO isoencode 120 scalefont setfont\n"),
              std::string::npos);
}

TEST_F(Doc, CommentsAreOneLine)
{
    open();
    GCommentOutput(cv, "made by\nthe test");
    std::string doc = finish();
    EXPECT_NE(doc.find("\n% made by the test\n\n"), std::string::npos);
}

// An image: its rows as hex, 40 pixels a line, red, green, blue bytes.
TEST_F(Doc, Images)
{
    open();
    uint32_t two[2] = {0xFF0000, 0x00FF7F};
    GRasterImage im = raster(10, 20, 2, 1, two);
    ep()->DrawImage(cv, &im);
    std::string s = body(finish());
    EXPECT_NE(s.find("\tgsave\n\n\t10 20 translate\n"), std::string::npos);
    EXPECT_NE(s.find("/datastr 6 string def\n2 1 8 [2 0 0 1 0 0]\n{\n\tcurrentfile datastr readhexstring pop\n} "
                     "bind false 3 colorimage\nff000000ff7f\n\n\tgrestore\n"),
              std::string::npos);

    open();
    std::vector<uint32_t> row(45, 0x010203);
    GRasterImage wide = raster(0, 0, 45, 1, row.data());
    ep()->DrawImage(cv, &wide);
    GRasterImage none = raster(0, 0, 0, 1, row.data());
    EXPECT_EQ(ep()->DrawImage(cv, &none), -1);
    unsigned char grey[3] = {0x00, 0x80, 0xff};
    GRasterImage eight = raster(0, 0, 3, 1, grey, 8);
    ep()->DrawImage(cv, &eight);
    s = body(finish());
    std::string line;
    for (int i = 0; i < 40; i++)
        line += "010203";
    EXPECT_NE(s.find("colorimage\n" + line + "\n010203010203010203010203010203\n\n"), std::string::npos);
    EXPECT_NE(s.find("/datastr 3 string def\n3 1 8 [3 0 0 1 0 0]\n{\n\tcurrentfile datastr readhexstring pop\n} "
                     "bind image\n0080ff\n\n\tgrestore\n"),
              std::string::npos);
}

// A masked image draws only the pixels its mask keeps: each row's runs of
// kept pixels become images of their own, one row high, on the image's grid.
TEST_F(Doc, MaskedImagesDrawTheirKeptRunsOnly)
{
    open();
    uint32_t px[8] = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006, 0x000007, 0x000008};
    GRasterImage im = raster(100, 200, 4, 2, px);
    unsigned char mask[2] = {0x0D, 0x00};  // row 0 keeps pixels 0, 2 and 3; row 1 nothing
    im.mask_flag = 1;
    im.mask = mask;
    im.mask_width = 8;
    im.mask_height = 2;
    ASSERT_EQ(ep()->DrawImage(cv, &im), 0);
    std::string s = body(finish());
    EXPECT_EQ(count(s, "colorimage"), 2u);
    EXPECT_NE(s.find("/datastr 3 string def\n1 1 8 [1 0 0 1 0 0]\n{\n\tcurrentfile datastr readhexstring pop\n} "
                     "bind false 3 colorimage\n000001\n"),
              std::string::npos);
    EXPECT_NE(s.find("/datastr 6 string def\n2 1 8 [2 0 0 1 0 0]\n{\n\tcurrentfile datastr readhexstring pop\n} "
                     "bind false 3 colorimage\n000003000004\n"),
              std::string::npos);
    EXPECT_EQ(s.find("000002"), std::string::npos);
    EXPECT_EQ(s.find("000005"), std::string::npos);
    EXPECT_NE(s.find("\t100.000 200.000 translate\n"), std::string::npos);

    // Without a mask buffer the whole image is drawn.
    open();
    GRasterImage whole = raster(0, 0, 4, 2, px);
    whole.mask_flag = 1;
    ASSERT_EQ(ep()->DrawImage(cv, &whole), 0);
    s = body(finish());
    EXPECT_EQ(count(s, "colorimage"), 1u);
    EXPECT_NE(s.find("000001000002000003000004\n"), std::string::npos);
}

// The clip: by clipping mode (plot space only on a 2-D canvas), replaced
// when the canvas asks for another, removed when the mode changes; a
// polyline clip stays until removed.
TEST_F(Doc, Clips)
{
    open();
    GCanvasModes cm = cv->modes;
    cm.clip = 1;
    cm.origin[0] = 0;
    cm.origin[1] = 0;
    cm.size[0] = 2047;
    cm.size[1] = 4095;
    GSetCanvasModes(cv, GCM_CLIP | GCM_ORIGIN | GCM_SIZE, &cm);
    line_modes(-1, 1);
    GVector a = pts.v({0, 0}), b = pts.v({1, 1});
    ep()->DrawLine(cv, &a, &b);
    cm.clip = 2;
    GSetCanvasModes(cv, GCM_CLIP, &cm);
    ep()->DrawLine(cv, &a, &b);
    cm.dimension = 3;
    GSetCanvasModes(cv, GCM_DIMENSION, &cm);
    ep()->DrawLine(cv, &a, &b);
    cm.pssize[0] = 100;
    cm.dimension = 2;
    GSetCanvasModes(cv, GCM_PSSIZE | GCM_DIMENSION, &cm);
    ep()->DrawLine(cv, &a, &b);
    GVector poly = pts.v({0, 0, 50, 0, 50, 50});
    EXPECT_EQ(ep()->SetPolylineClip(cv, &poly), 0);
    ep()->DrawLine(cv, &a, &b);
    EXPECT_EQ(ep()->SetPolylineClip(cv, nullptr), 0);
    std::string s = body(finish());
    // The canvas is half the device wide; the plot space lies inside it.
    EXPECT_EQ(s.find("\t0 0 0 999 499 999 499 0 4 setclippath\n\n\t1 1 0 0 RSL\n\tunsetclippath\n"), 0u) << s;
    std::string ps = s.substr(s.find("unsetclippath") + 14);
    EXPECT_EQ(ps.find("\t"), 0u);
    EXPECT_NE(ps.find(" 4 setclippath\n\n\t1 1 0 0 RSL\n"), std::string::npos);
    // Dimension 3: the canvas again, replaced without a mode change.
    EXPECT_NE(s.find("unsetclippath\n\t0 0 0 999 499 999 499 0 4 setclippath\n\n\t1 1 0 0 RSL\n"),
              std::string::npos);
    EXPECT_NE(s.find("\t0 0 50 0 50 50 3 setclippath\n\n\t1 1 0 0 RSL\n\tunsetclippath\n"), std::string::npos);
    EXPECT_EQ(count(s, " setclippath\n"), 5u);
    EXPECT_EQ(count(s, "unsetclippath"), 5u);
}

// State restored by removing a clip is written again before drawing.
TEST_F(Doc, StateSurvivesAClipChange)
{
    open();
    line_modes(-1, 2);
    GVector a = pts.v({0, 0}), b = pts.v({1, 1});
    ep()->DrawLine(cv, &a, &b);  // red, then the clip (which saves red)
    line_modes(-1, 4);
    GCanvasModes cm = cv->modes;
    cm.clip = 1;
    GSetCanvasModes(cv, GCM_CLIP, &cm);  // removes the clip: back to black
    ep()->DrawLine(cv, &a, &b);
    std::string s = body(finish());
    EXPECT_NE(s.find("\tunsetclippath\n\t0.00 0.00 1.00 setrgbcolor\n"), std::string::npos) << s;
}

TEST_F(Doc, CanvasColourIsTheBackground)
{
    open(1, [](GDeviceModes &m) { m.bg_colour = 5; });
    long colour = -1;
    GGetCanvasColour(cv, &colour, 0);
    EXPECT_EQ(colour, 5);
    finish();
}

TEST_F(Doc, OpenFailures)
{
    std::string bad = dir + "/bad.ps", other = dir + "/other.ps";
    std::ofstream(bad) << "% no stamp here\n";
    std::ofstream(other) << "% PelxRevisionNumber: 3\n";
    struct Case {
        std::string prolog, file;
        std::pair<int, int> error;
    } cases[] = {
        {dir + "/missing.ps", path, {4, 9}},
        {bad, path, {3, 16}},
        {other, path, {3, 17}},
        {"prolog.ps", dir + "/no/such/dir/x.ps", {4, 8}},
    };
    for (const Case &c : cases) {
        GDeviceRecord *d = open_device(1, [&](GDeviceModes &m) {
            snprintf(m.prolog, sizeof m.prolog, "%s", c.prolog.c_str());
            snprintf(m.filename, sizeof m.filename, "%s", c.file.c_str());
        }, GDM_PROLOG);
        EXPECT_EQ(d, nullptr) << c.prolog;
        if (d)
            GCloseDevice(d);
        EXPECT_EQ(last_error(), c.error) << c.prolog;
    }
}

TEST_F(Doc, CloseReportsAFailedOutput)
{
    path = "/dev/full";
    open();
    EXPECT_EQ(GCloseDevice(dev), -1);
    dev = nullptr;
    // A spool command that fails.
    dev = open_device(1, [&](GDeviceModes &m) {
        m.output = 1;
        snprintf(m.spoolcmd, sizeof m.spoolcmd, "cat > '%s/spooled.ps'; exit 2", dir.c_str());
    }, GDM_SPOOLCMD);
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(GCloseDevice(dev), -1);
    dev = nullptr;
    EXPECT_NE(slurp(dir + "/spooled.ps").find("%%EOF\n"), std::string::npos);
}

}  // namespace
