// PostScript documents rendered by Ghostscript (which must accept them
// without an error) and probed pixel by pixel: colours, fills, hatches,
// dashes, clips, text at its anchor, images, a rotated page, the prolog's
// names, and the EPS bounding box.  Pages are Letter at 72 dpi: one pixel
// is ten device units, and pixel rows run down from the top of the paper.

#include "psfixture.h"

#include "imagelib.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

using namespace pstest;

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new Library);
    return RUN_ALL_TESTS();
}

namespace {

struct ImageFree {
    void operator()(IImage *i) const { IFreeImage(i); }
};
using Image = std::unique_ptr<IImage, ImageFree>;

using RGB = std::array<int, 3>;
const RGB WHITE{255, 255, 255}, RED{255, 0, 0}, BLUE{0, 0, 255}, BLACK{0, 0, 0};

RGB at(const IImage *im, int x, int y)
{
    const unsigned char *p = im->pixels + (static_cast<size_t>(y) * im->width + x) * 3;
    return {p[0], p[1], p[2]};
}

bool ink(const IImage *im, int x, int y) { return at(im, x, y) != WHITE; }

// The box of the ink inside a window (x0..x1, y0..y1 inclusive); false
// when there is none.
bool ink_box(const IImage *im, int x0, int y0, int x1, int y1, int box[4])
{
    box[0] = box[1] = 1 << 30;
    box[2] = box[3] = -1;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            if (ink(im, x, y)) {
                box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
                box[2] = std::max(box[2], x), box[3] = std::max(box[3], y);
            }
    return box[2] >= 0;
}

const std::string GS = "/usr/bin/gs";

std::string gs_log(const vxtest::Result &r) { return r.out + r.err; }

// Ghostscript's verdict on a document: exit 0 and no error report.
void expect_clean(const vxtest::Result &r)
{
    EXPECT_EQ(r.status, 0) << gs_log(r);
    EXPECT_EQ(gs_log(r).find("Error"), std::string::npos) << gs_log(r);
}

class Render : public PsDoc {
protected:
    // Closes the device and renders its document.
    Image render()
    {
        std::string doc = finish();
        std::string png = dir + "/page.png";
        vxtest::Result r = vxtest::run({GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r72",
                                        "-g612x792", "-sOutputFile=" + png, path});
        expect_clean(r);
        FILE *f = fopen(png.c_str(), "rb");
        if (!f) {
            ADD_FAILURE() << "no page rendered";
            return nullptr;
        }
        IImage *im = nullptr;
        EXPECT_EQ(IReadImageFile(f, IFORMAT_PNG, 0, &im), 0);
        fclose(f);
        if (im) {
            EXPECT_EQ(im->width, 612);
            EXPECT_EQ(im->height, 792);
        }
        return Image(im);
    }
    // A full page picture: device units equal paper units.
    void open_page(const std::function<void(GDeviceModes &)> &change = nullptr, uint64_t extra = 0)
    {
        open(1, [&](GDeviceModes &m) {
            m.dcxdim = 6120, m.dcydim = 7920;
            if (change)
                change(m);
        }, extra);
    }
    void rect(short x, short y, short w, short h)
    {
        GVector c = pts.v({x, y}), s = pts.v({w, h});
        ep()->DrawRectangle(cv, &c, &s);
    }
    // Pixel of a page point in device units.
    static int px(long x) { return static_cast<int>(x / 10); }
    static int py(long y) { return 792 - static_cast<int>(y / 10); }
};

TEST_F(Render, ColoursFillsAndHatches)
{
    open_page();
    line_modes(-1, 2);
    fill_modes(1, 2);
    rect(100, 100, 1000, 1000);  // red, solid
    line_modes(-1, 1);
    fill_modes(1, 4);
    rect(1500, 100, 1000, 1000);  // blue inside a black outline
    fill_modes(2, 1, 2);
    rect(3000, 100, 1000, 1000);  // horizontal hatch, 16 points apart
    fill_modes(2, 4, 3);
    rect(4500, 100, 1000, 1000);  // vertical hatch in blue
    Image im = render();
    ASSERT_TRUE(im);
    EXPECT_EQ(at(im.get(), px(600), py(600)), RED);
    EXPECT_EQ(at(im.get(), px(2000), py(600)), BLUE);
    EXPECT_EQ(at(im.get(), px(1500), py(600)), BLACK);
    // Hatch lines: ink every 16 pixels down a column, white between.
    int lines = 0, white = 0;
    for (int y = py(1080); y <= py(120); y++) {
        bool on = ink(im.get(), px(3500), y);
        lines += on && !ink(im.get(), px(3500), y - 1);
        white += !on;
    }
    EXPECT_GE(lines, 5);
    EXPECT_LE(lines, 7);
    EXPECT_GT(white, 60);
    // The vertical hatch across a row, in the fill colour.
    int blue = 0, blank = 0;
    for (int x = px(4520); x <= px(5480); x++) {
        RGB c = at(im.get(), x, py(600));
        blue += c[2] > 128 && c[0] < 128;
        blank += c == WHITE;
    }
    EXPECT_GE(blue, 5);
    EXPECT_GT(blank, 60);
}

TEST_F(Render, DashesLeaveGaps)
{
    open_page();
    line_modes(0, 1, false, 3);  // dashes 8 and 4 units: 8 and 4 points here
    GVector a = pts.v({1000, 3000}), b = pts.v({4000, 3000});
    ep()->DrawLine(cv, &a, &b);
    Image im = render();
    ASSERT_TRUE(im);
    int runs = 0, gaps = 0;
    for (int x = px(1000); x < px(4000); x++) {
        bool on = ink(im.get(), x, py(3000));
        runs += on && !ink(im.get(), x - 1, py(3000));
        gaps += !on;
    }
    EXPECT_GE(runs, 24);
    EXPECT_LE(runs, 26);
    EXPECT_GT(gaps, 75);
}

// Nothing is drawn outside the canvas when it clips to itself.
TEST_F(Render, NothingOutsideTheClip)
{
    open_page();
    GCanvasModes cm = cv->modes;
    cm.clip = 1;
    cm.origin[0] = 1024;
    cm.origin[1] = 1024;
    cm.size[0] = 2048;
    cm.size[1] = 2048;
    GSetCanvasModes(cv, GCM_CLIP | GCM_ORIGIN | GCM_SIZE, &cm);
    ASSERT_EQ(dev->modes.vdcxdim, 3164);
    line_modes(-1, 2);
    fill_modes(1, 2);
    rect(0, 0, 6120, 7920);
    Image im = render();
    ASSERT_TRUE(im);
    // The canvas: a quarter to three quarters of the virtual device each way.
    int box[4];
    ASSERT_TRUE(ink_box(im.get(), 0, 0, 611, 791, box));
    double sx = 6119.0 / 10 / 3164, sy = 7919.0 / 10 / 4095;  // pixels per VDC unit
    EXPECT_NEAR(box[0], 1024 * sx, 2);
    EXPECT_NEAR(box[2], 3072 * sx, 2);
    EXPECT_NEAR(box[1], 792 - 3072 * sy, 2);
    EXPECT_NEAR(box[3], 792 - 1024 * sy, 2);
    EXPECT_EQ(at(im.get(), 306, 396), RED);
}

// Text lands with the point its alignment names at the anchor.
TEST_F(Render, TextInkAtItsAnchor)
{
    open_page();
    struct Case {
        long alignment;
        long x, y;
    } cases[] = {{0, 1000, 6000}, {4, 3000, 6000}, {8, 5000, 6000}};
    GTextModes tm = cv->text;
    tm.colour = 1;
    for (const Case &c : cases) {
        tm.alignment = c.alignment;
        GSetTextModes(cv, GMASK_ALL, &tm);
        GVector p = pts.v({static_cast<short>(c.x), static_cast<short>(c.y)});
        ep()->PutText(cv, "HHHH", &p);
    }
    Image im = render();
    ASSERT_TRUE(im);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.alignment);
        int ax = px(c.x), ay = py(c.y), box[4];
        ASSERT_TRUE(ink_box(im.get(), ax - 60, ay - 30, ax + 60, ay + 30, box));
        switch (c.alignment) {
        case 0:  // top left: the ink starts at the anchor and lies below it
            EXPECT_NEAR(box[0], ax, 2);
            EXPECT_GE(box[1], ay);
            EXPECT_LE(box[1], ay + 4);
            break;
        case 4:  // centre
            EXPECT_NEAR((box[0] + box[2]) / 2, ax, 2);
            EXPECT_NEAR((box[1] + box[3]) / 2, ay, 3);
            break;
        case 8:  // bottom right: the ink ends at the anchor and lies above it
            EXPECT_NEAR(box[2], ax, 2);
            EXPECT_LE(box[3], ay);
            EXPECT_GE(box[3], ay - 5);
            break;
        }
    }
}

TEST_F(Render, IsoEncodedText)
{
    setenv("VX_PS_ISO_ENCODE", "1", 1);
    open_page();
    GTextModes tm = cv->text;
    tm.colour = 1;
    tm.alignment = 0;
    GSetTextModes(cv, GMASK_ALL, &tm);
    GVector p = pts.v({1000, 6000}), q = pts.v({1000, 5000});
    ep()->PutText(cv, "\351t\351", &p);
    ep()->PutText(cv, "(a\\b)", &q);
    unsetenv("VX_PS_ISO_ENCODE");
    Image im = render();
    ASSERT_TRUE(im);
    int box[4];
    EXPECT_TRUE(ink_box(im.get(), px(1000), py(6000), px(1000) + 40, py(6000) + 20, box));
    EXPECT_TRUE(ink_box(im.get(), px(1000), py(5000), px(1000) + 40, py(5000) + 20, box));
}

// Row 0 of an image is its bottom row.
TEST_F(Render, ImageRowZeroAtTheBottom)
{
    open_page();
    uint32_t pixels[2] = {0xFF0000, 0x0000FF};  // row 0 red, row 1 blue
    GRasterImage im = raster(1000, 1000, 1, 2, pixels);
    ep()->DrawImage(cv, &im);
    // The image fills the plot space's size from its corner.
    long w = std::lround(GTransformLength(cv, 4, 0, cv->modes.pssize[0]));
    long h = std::lround(GTransformLength(cv, 4, 1, cv->modes.pssize[1]));
    Image page = render();
    ASSERT_TRUE(page);
    EXPECT_EQ(at(page.get(), px(1000 + w / 2), py(1000 + h / 4)), RED);
    EXPECT_EQ(at(page.get(), px(1000 + w / 2), py(1000 + 3 * h / 4)), BLUE);
    EXPECT_EQ(at(page.get(), px(1000 + w / 2), py(1000 + h + 50)), WHITE);
}

// A landscape picture on portrait paper is turned: its origin lies at the
// paper's lower right, its x running up the page.
TEST_F(Render, RotatedPage)
{
    open(1, [](GDeviceModes &m) {
        m.dcxdim = 5000, m.dcydim = 7000, m.dcxpos = 100, m.dcypos = 200, m.landscape = 1;
    });
    ASSERT_EQ(dev->modes.dcxdim, 7000);  // the picture's own x runs along the paper's y
    line_modes(-1, 2);
    fill_modes(1, 2);
    rect(0, 0, 500, 500);
    line_modes(-1, 4);
    fill_modes(1, 4);
    rect(6500, 0, 500, 500);
    Image im = render();
    ASSERT_TRUE(im);
    // Paper x = 6120 - 100 - picture y, paper y = 720 + picture x.
    EXPECT_EQ(at(im.get(), px(5770), py(970)), RED);
    EXPECT_EQ(at(im.get(), px(5770), py(7470)), BLUE);
    EXPECT_EQ(at(im.get(), px(1300), py(970)), WHITE);
}

TEST(Prolog, DefinesEveryName)
{
    static const char *const names[52] = {
        "setclippath", "unsetclippath", "gsave", "grestore", "setrgbcolor", "newpath", "setlinewidth",
        "setlinecap", "setlinejoin", "setmiterlimit", "setdash", "landscape", "portrait", "showpage", "SL",
        "DL", "ST", "findfont", "scalefont", "setfont", "tlshow", "tcshow", "trshow", "clshow", "ccshow",
        "crshow", "blshow", "bcshow", "brshow", "translate", "setdims", "LT", "fillpage", "true", "false",
        "xpos", "ypos", "devborder", "closepath", "scale", "arc", "moveto", "RLT", "RDL", "RSL", "setdevsize",
        "fill", "hatch", "rotate", "DFP", "DFOP", "isoencode"};
    std::string dir = vxtest::temp_dir("prolog");
    std::string script = slurp(etc_dir() + "/prolog.ps") + "\n[";
    for (const char *n : names)
        script += " /" + std::string(n);
    script += " ] { dup where { pop pop } { (MISSING ) print == } ifelse } forall (CHECKED) print\n";
    std::ofstream(dir + "/check.ps") << script;
    vxtest::Result r = vxtest::run({GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", dir + "/check.ps"});
    expect_clean(r);
    EXPECT_EQ(r.out.find("MISSING"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CHECKED"), std::string::npos) << r.out;
}

// What an EPS file draws lies inside the box it declares.
TEST_F(Render, EpsInkInsideItsBoundingBox)
{
    for (bool fill : {false, true}) {
        SCOPED_TRACE(fill ? "fillpage" : "as shipped");
        path = dir + (fill ? "/fill.eps" : "/shipped.eps");
        open(2, [&](GDeviceModes &m) { m.fillpage = fill; }, GDM_DRIVERFLAG | GDM_FILLPAGE, false);
        dev->modes.driverflag = 1;
        line_modes(-1, 1, false, 3);
        long w = dev->modes.dcxdim, h = dev->modes.dcydim;
        GVector a = pts.v({0, 0}), b = pts.v({static_cast<short>(w), static_cast<short>(h)});
        ep()->DrawLine(cv, &a, &b);
        GVector c = pts.v({0, static_cast<short>(h)}), d = pts.v({static_cast<short>(w), 0});
        ep()->DrawLine(cv, &c, &d);
        std::string doc = finish();
        long declared[4];
        size_t at = doc.find("%%BoundingBox: ");
        ASSERT_NE(at, std::string::npos);
        ASSERT_EQ(sscanf(doc.c_str() + at, "%%%%BoundingBox: %ld %ld %ld %ld", &declared[0], &declared[1],
                         &declared[2], &declared[3]),
                  4);
        vxtest::Result r = vxtest::run({GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=bbox", path});
        expect_clean(r);
        double found[4];
        size_t hi = gs_log(r).find("%%HiResBoundingBox: ");
        ASSERT_NE(hi, std::string::npos) << gs_log(r);
        ASSERT_EQ(sscanf(gs_log(r).c_str() + hi, "%%%%HiResBoundingBox: %lf %lf %lf %lf", &found[0], &found[1],
                         &found[2], &found[3]),
                  4);
        EXPECT_GE(found[0], declared[0]);
        EXPECT_GE(found[1], declared[1]);
        EXPECT_LE(found[2], declared[2]);
        EXPECT_LE(found[3], declared[3]);
        // And the box is the picture's, not the paper's.
        EXPECT_LT(found[0] - declared[0], 4);
        EXPECT_LT(declared[3] - found[3], 4);
    }
}

}  // namespace
