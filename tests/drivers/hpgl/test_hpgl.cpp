// The HP-GL and HP-GL/2 driver: instruction streams for placements,
// moves, pens, line types, clip windows, fills, arcs, text and the
// plotter's missing instructions; its errors.

#include "pelxtest.h"
#include "vxtest.h"
#include "glinit.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

const GEntryPoints *ep() { return glinit_GLPrimitives(); }

struct Pts {
    std::vector<short> v;
    GVector g{};
    Pts(std::initializer_list<short> xy) : v(xy) { g = GVector{GV_SHORT, 0, 2, int64_t(v.size() / 2), {v.data(), nullptr, nullptr}}; }
    const GVector *operator&() const { return &g; }
};

std::string read_all(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class Hpgl : public testing::Test {
protected:
    GDeviceRecord *dev = nullptr;
    GCanvasRecord *cv = nullptr;
    std::string dir, out;

    void SetUp() override
    {
        glinit_GInstallDriver();
        std::string etc = etc_dir();
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", catalogue().c_str(), (etc + "/pelx.rgb").c_str()), 0);
        dir = vxtest::temp_dir("hpgl");
        out = dir + "/plot.hpgl";
    }
    void TearDown() override
    {
        if (dev)
            GCloseDevice(dev);
        GTerminate();
        gep_GSetDriver(GDRV_HPGL, nullptr);
    }
    // The configured HP-GL device (entry 3) writing to `out`.
    GDeviceRecord *open(unsigned char protocol, const std::function<void(uint64_t &, GDeviceModes &)> &adjust = nullptr)
    {
        GDeviceEntry e{};
        EXPECT_EQ(GGetDevice(3, &e), 0);
        uint64_t mask = e.mask | GDM_PROTOCOL | GDM_FILENAME | GDM_OUTPUT;
        e.modes.protocol = protocol;
        e.modes.output = 0;
        snprintf(e.modes.filename, sizeof e.modes.filename, "%s", out.c_str());
        if (adjust)
            adjust(mask, e.modes);
        GDeviceRecord *d = GOpenDevice(mask, &e.modes, e.tables);
        if (!d)
            gdev_GFreeDeviceEntry(&e);
        return d;
    }
    void canvas(unsigned char clip = 0)
    {
        GCanvasModes cm{};
        cm.clip = clip;
        cv = GOpenCanvas(dev, GCM_CLIP, &cm);
        ASSERT_NE(cv, nullptr);
    }
    std::string finish()
    {
        GCloseDevice(dev);
        dev = nullptr;
        cv = nullptr;
        return read_all(out);
    }
    // Compares with a golden file (VX_UPDATE_GOLDEN=1 rewrites it).
    void golden(const std::string &name, const std::string &text)
    {
        std::string path = std::string(VX_HPGL_GOLDEN) + "/" + name;
        if (getenv("VX_UPDATE_GOLDEN")) {
            std::ofstream(path, std::ios::binary) << text;
            return;
        }
        EXPECT_EQ(text, read_all(path)) << name;
    }
    // Styles as callers number them: 0 solid, n the table's style n - 1.
    void line(long colour, long style = 0)
    {
        GLineModes lm = cv->line;
        lm.colour = colour;
        lm.style = style;
        GSetLineModes(cv, GLM_COLOUR | GLM_STYLE, &lm);
    }
    void fill(long style, long colour, long hatch = 0)
    {
        GFillModes fm = cv->fill;
        fm.style = style;
        fm.colour = colour;
        fm.hatch = hatch;
        GSetFillModes(cv, GFM_STYLE | GFM_COLOUR | GFM_HATCH, &fm);
    }
};

const char *dialect(unsigned char p) { return p == GP_HPGL ? "hpgl" : "hpgl2"; }

TEST_F(Hpgl, OpenPlacesThePictureOnThePaper)
{
    struct Case {
        const char *name;
        unsigned char landscape, fillpage, centre;
    } cases[] = {
        {"fill", 1, 1, 1},          // the configured device: wide paper, landscape
        {"rotated", 0, 0, 0},       // wide paper without landscape: turned
        {"centred", 1, 0, 1},
    };
    for (unsigned char protocol : {GP_HPGL, GP_HPGL2})
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(dialect(protocol)) + c.name);
            dev = open(protocol, [&](uint64_t &mask, GDeviceModes &m) {
                mask |= GDM_LANDSCAPE | GDM_FILLPAGE | GDM_CENTRE;
                m.landscape = c.landscape;
                m.fillpage = c.fillpage;
                m.centre = c.centre;
            });
            ASSERT_NE(dev, nullptr);
            golden(std::string("open-") + c.name + "." + dialect(protocol), finish());
        }
}

TEST_F(Hpgl, DrawingStream)
{
    for (unsigned char protocol : {GP_HPGL, GP_HPGL2}) {
        SCOPED_TRACE(dialect(protocol));
        dev = open(protocol);
        ASSERT_NE(dev, nullptr);
        canvas(1);  // the canvas's clip window
        // A step beyond 16 bits is halved until it fits.
        Pts far_l{-32768, 100}, far_r{32767, 100};
        ep()->DrawLine(cv, &far_l, &far_r);
        // Two lines in one colour: one SP.
        line(2);
        Pts a{10, 10}, b{500, 10}, c{10, 20}, d{500, 20};
        ep()->DrawLine(cv, &a, &b);
        ep()->DrawLine(cv, &c, &d);
        // Line types: dashed (type 2 with its pattern), solid, a style
        // without dashes (solid).
        line(3, 1);
        ep()->DrawLine(cv, &a, &d);
        line(3, 0);
        ep()->DrawLine(cv, &a, &d);
        line(3, 6);
        ep()->DrawLine(cv, &a, &d);
        // A filled polygon: edged in the line's pen, filled in the fill's.
        line(1);
        fill(1, 4);
        Pts tri{100, 100, 300, 100, 200, 250};
        ep()->DrawFilledPolygon(cv, &tri, 0);
        // A filled rectangle, hatched.
        fill(2, 5, 0);
        Pts corner{400, 400}, size{200, 100};
        ep()->DrawRectangle(cv, &corner, &size);
        // An arc, a filled wedge and an ellipse.
        fill(0, 1);
        Pts c1{1000, 1000}, c2{1400, 1400};
        ep()->DrawArc(cv, &c1, &c2, 0, 90 * 64);
        fill(1, 6);
        ep()->DrawArc(cv, &c1, &c2, 90 * 64, 45 * 64);
        fill(0, 1);
        Pts e2{1800, 1200};
        ep()->DrawArc(cv, &c1, &e2, 0, 360 * 64);
        // Text: size and set once, then alignments.
        GTextModes tm = cv->text;
        tm.alignment = 6;
        GSetTextModes(cv, GTM_ALIGNMENT, &tm);
        Pts at{2000, 2000};
        ep()->PutText(cv, "Label", &at);
        tm.alignment = 4;
        GSetTextModes(cv, GTM_ALIGNMENT, &tm);
        ep()->PutText(cv, "Two\n  lines", &at);
        golden(std::string("draw.") + dialect(protocol), finish());
    }
}

// HP-GL/2: the pen a colour selects holds that colour in the palette.  The
// palette gave colour i to pen i + 1 while the configuration names pen i,
// so black axes came out white and a green series red.  Pen 0 (white, the
// paper) is no pen and gets no palette entry.
TEST_F(Hpgl, ThePaletteGivesEachPenItsColour)
{
    dev = open(GP_HPGL2);
    ASSERT_NE(dev, nullptr);
    canvas();
    struct Case {
        long colour;
        const char *pen;      // selected
        const char *palette;  // that pen's palette entry, or none
    } cases[] = {
        {1, "SP1;", "PC1,0,0,0;"},    {2, "SP2;", "PC2,255,0,0;"}, {3, "SP3;", "PC3,0,255,0;"},
        {8, "SP8;", "PC8,255,165,0;"}, {9, "SP1;", "PC1,0,0,0;"},  // 9 shares black's pen   {0, "SP0;", nullptr},
    };
    Pts a{10, 10}, b{500, 10};
    for (const Case &c : cases) {
        line(c.colour);
        ep()->DrawLine(cv, &a, &b);
    }
    const std::string text = finish();
    size_t from = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.colour);
        from = text.find(c.pen, from);
        EXPECT_NE(from, std::string::npos) << c.pen;
        if (c.palette) {
            EXPECT_NE(text.find(c.palette), std::string::npos) << c.palette;
        }
    }
    EXPECT_EQ(text.find("PC0,"), std::string::npos) << "pen 0 is the paper";
    EXPECT_EQ(text.find("PC1,255,255,255"), std::string::npos) << "white is no pen";
}

TEST_F(Hpgl, HatchAnglesRoundToFortyFiveDegrees)
{
    struct Case {
        int16_t angle;
        const char *ft;
    } cases[] = {{100, "FT3,160,90;"}, {112, "FT3,160,90;"}, {113, "FT3,160,135;"}, {0, "FT3,160,0;"}};
    for (const Case &c : cases) {
        dev = open(GP_HPGL);
        ASSERT_NE(dev, nullptr);
        canvas();
        int16_t grid[2] = {c.angle, 16};
        GHatch h{GV_SHORT, 0, 2, 1, {grid, nullptr, nullptr}};
        ghatch_GReplaceHatch(dev->tables[GT_HATCHES], &h, 0);
        fill(2, 2, 0);
        Pts corner{0, 0}, size{10, 10};
        ep()->DrawRectangle(cv, &corner, &size);
        EXPECT_NE(finish().find(c.ft), std::string::npos) << c.angle;
    }
}

TEST_F(Hpgl, MissingInstructionsAreReportedOnceAndOutlined)
{
    dev = open(GP_HPGL, [](uint64_t &mask, GDeviceModes &m) {
        mask |= GDM_SUPPORTS;
        m.supports = 0;
    });
    ASSERT_NE(dev, nullptr);
    canvas();
    fill(1, 2);
    Pts tri{100, 100, 300, 100, 200, 250}, corner{400, 400}, size{200, 100}, c1{0, 0}, c2{100, 100};
    CaptureStderr();
    for (int i = 0; i < 2; i++) {
        ep()->DrawFilledPolygon(cv, &tri, 0);
        ep()->DrawRectangle(cv, &corner, &size);
        EXPECT_EQ(ep()->DrawArc(cv, &c1, &c2, 0, 90 * 64), -1);
    }
    Pts at{10, 10};
    ep()->PutText(cv, "abc", &at);
    std::string err = GetCapturedStderr();
    for (const char *e : {"(4,12)", "(4,14)", "(4,15)"}) {
        EXPECT_NE(err.find(e), std::string::npos) << e;
        EXPECT_EQ(err.find(e), err.rfind(e)) << e;
    }
    std::string s = finish();
    EXPECT_EQ(s.find("PM0;"), std::string::npos);
    EXPECT_EQ(s.find("RA"), std::string::npos);
    EXPECT_EQ(s.find("AA"), std::string::npos);
    EXPECT_EQ(s.find("LO"), std::string::npos);
    EXPECT_NE(s.find("CP0.00,0.00;"), std::string::npos);  // bottom left without LO
    EXPECT_NE(s.find("PD200,0;"), std::string::npos);       // the outline is drawn
}

TEST_F(Hpgl, EndsAndErrors)
{
    // No epilog: the default end and 4,11.
    dev = open(GP_HPGL, [](uint64_t &mask, GDeviceModes &m) {
        mask |= GDM_EPILOG;
        m.epilog[0] = '\0';
    });
    ASSERT_NE(dev, nullptr);
    canvas();
    GRasterImage im{};
    CaptureStderr();
    EXPECT_EQ(ep()->DrawImage(cv, &im), -2);
    EXPECT_EQ(last_error(), std::make_pair(3, 21));
    std::string s = finish();
    GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(4, 11));
    ASSERT_GE(s.size(), 16u);
    EXPECT_EQ(s.substr(s.size() - 16), "PU;PA0,0;SP;SC;\n");
    EXPECT_EQ(s.substr(0, 4), "IN;\n");  // the prolog

    // The configured epilog.
    dev = open(GP_HPGL);
    ASSERT_NE(dev, nullptr);
    s = finish();
    EXPECT_EQ(s.substr(s.size() - 8), "PU;SP0;\n");

    // A prolog that cannot be copied refuses the device; so does an output
    // that cannot be opened.
    CaptureStderr();
    EXPECT_EQ(open(GP_HPGL, [](uint64_t &mask, GDeviceModes &m) {
                  mask |= GDM_PROLOG;
                  strcpy(m.prolog, "no-such-prolog.hpgl");
              }),
              nullptr);
    EXPECT_EQ(last_error(), std::make_pair(4, 9));
    EXPECT_EQ(open(GP_HPGL, [](uint64_t &mask, GDeviceModes &m) { strcpy(m.filename, "/no/such/dir/plot.hpgl"); }),
              nullptr);
    EXPECT_EQ(last_error(), std::make_pair(4, 8));
    GetCapturedStderr();
}

TEST_F(Hpgl, Hp2xxFindsInkWhereLinesWereDrawn)
{
    if (system("command -v hp2xx >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "hp2xx is not installed";
    dev = open(GP_HPGL, [](uint64_t &mask, GDeviceModes &m) {
        mask |= GDM_FILLPAGE | GDM_CENTRE | GDM_LANDSCAPE;
        m.fillpage = 0;
        m.centre = 0;
        m.landscape = 1;
    });
    ASSERT_NE(dev, nullptr);
    canvas();
    line(1);
    Pts a{0, 0}, b{9999, 7199};
    ep()->DrawLine(cv, &a, &b);
    finish();
    std::string pbm = dir + "/plot.pbm";
    vxtest::Result r = vxtest::run({"/bin/sh", "-c", "exec hp2xx -q -m pbm -d 75 -f \"$0\" \"$1\"", pbm, out});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string img = read_all(pbm);
    ASSERT_GT(img.size(), 16u);
    EXPECT_EQ(img.substr(0, 2), "P4");
    long ink = 0;
    size_t header = img.find('\n', img.find('\n') + 1) + 1;  // "P4\n<w> <h>\n"
    for (size_t i = header; i < img.size(); i++)
        ink += __builtin_popcount(static_cast<unsigned char>(img[i]));
    EXPECT_GT(ink, 100);
}

}  // namespace
