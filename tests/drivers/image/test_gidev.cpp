// The image-file device: the PNG it writes, read back and probed pixel by
// pixel.  Drawing goes to the driver's slots with device points (so the
// expected pixels are plain), and once end to end through the kernel.

#include "giinit.h"
#include "imagelib.h"
#include "pelx.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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
    }
    void TearDown() override
    {
        gep_GSetDriver(GDRV_IMAGE, nullptr);
        GTerminate();
    }
};

struct ImageFree {
    void operator()(IImage *i) const { IFreeImage(i); }
};
using Image = std::unique_ptr<IImage, ImageFree>;
using RGB = std::array<int, 3>;
const RGB WHITE{255, 255, 255}, BLACK{0, 0, 0}, RED{255, 0, 0};

RGB at(const IImage *im, int x, int y)
{
    const unsigned char *p = im->pixels + (static_cast<size_t>(y) * im->width + x) * 3;
    return {p[0], p[1], p[2]};
}

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
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

// The rows of a region as text: '#' where the colour is `c`, '.' elsewhere.
std::string art(const IImage *im, int x0, int y0, int x1, int y1, RGB c)
{
    std::string s;
    for (int y = y0; y <= y1; y++) {
        for (int x = x0; x <= x1; x++)
            s += at(im, x, y) == c ? '#' : '.';
        s += '\n';
    }
    return s;
}

class ImageDevice : public testing::Test {
protected:
    GDeviceRecord *dev = nullptr;
    GCanvasRecord *cv = nullptr;
    std::string dir, path;
    std::deque<std::vector<short>> keep;

    void SetUp() override
    {
        dir = vxtest::temp_dir("gidev");
        path = dir + "/out.png";
    }
    void TearDown() override
    {
        if (dev)
            GCloseDevice(dev);
    }
    // The configured PNG device on `path`, 100 x 80 units at scale 1 unless
    // `change` says otherwise; `tables` may edit the device's tables.
    void open(const std::function<void(GDeviceModes &)> &change = nullptr,
              const std::function<void(GList **)> &tables = nullptr, uint64_t extra = 0)
    {
        GDeviceEntry e{};
        ASSERT_EQ(GGetDevice(5, &e), 0);
        ASSERT_EQ(e.modes.protocol, GP_IMAGE);
        e.modes.dcxdim = 100;
        e.modes.dcydim = 80;
        e.modes.scale = 1;
        e.modes.output = 0;
        snprintf(e.modes.filename, sizeof e.modes.filename, "%s", path.c_str());
        if (change)
            change(e.modes);
        if (tables)
            tables(e.tables);
        dev = GOpenDevice(e.mask | GDM_DCXDIM | GDM_DCYDIM | GDM_OUTPUT | GDM_FILENAME | GDM_SPOOLCMD | extra, &e.modes,
                          e.tables);
        if (!dev)
            gdev_GFreeDeviceEntry(&e);
        ASSERT_NE(dev, nullptr);
        GCanvasModes cm{};
        cm.clip = 0;
        cv = GOpenCanvas(dev, GCM_CLIP, &cm);
        ASSERT_NE(cv, nullptr);
    }
    Image finish(int expect = 0)
    {
        int r = GCloseDevice(dev);
        dev = nullptr;
        cv = nullptr;
        EXPECT_EQ(r, expect);
        return read_png(path);
    }
    GVector v(std::initializer_list<short> xy)
    {
        keep.emplace_back(xy);
        return GVector{GV_SHORT, 0, 2, static_cast<int64_t>(keep.back().size() / 2), {keep.back().data(), nullptr, nullptr}};
    }
    const GEntryPoints *ep() { return gep_GCanvasEntryPoints(cv); }
    // `style` is the line-style table's index, -1 solid.
    void line(long style, long colour, long width = 0)
    {
        cv->line.style = style;
        cv->line.colour = colour;
        cv->line.width = width;
    }
    void fill(long style, long colour, long hatch = 0)
    {
        cv->fill.style = style;
        cv->fill.colour = colour;
        cv->fill.hatch = hatch;
    }
    void draw_line(short x1, short y1, short x2, short y2)
    {
        GVector a = v({x1, y1}), b = v({x2, y2});
        ep()->DrawLine(cv, &a, &b);
    }
};

// A line style with the given dashes and width in place of entry 0.
void dash_style(GList **tables, std::initializer_list<unsigned char> dashes, int width = 1)
{
    static std::vector<unsigned char> d;
    d.assign(dashes);
    GLineStyle ls{};
    snprintf(ls.name, sizeof ls.name, "test");
    ls.width = width;
    ls.dashes = GVector{GV_BYTE, 0, 1, static_cast<int64_t>(d.size()), {d.data(), nullptr, nullptr}};
    glines_GReplaceLine(tables[GT_LINES], &ls, 0);
}

TEST_F(ImageDevice, EmptyDeviceIsTheBackgroundAtItsScale)
{
    open([](GDeviceModes &m) { m.dcxdim = 600, m.dcydim = 500, m.scale = 3; });
    EXPECT_EQ(dev->modes.vdcxdim, 4095);
    EXPECT_EQ(dev->modes.vdcydim, 3412);
    Image im = finish();
    ASSERT_TRUE(im);
    ASSERT_EQ(im->width, 1800);
    ASSERT_EQ(im->height, 1500);
    for (int y = 0; y < 1500; y += 7)
        for (int x = 0; x < 1800; x += 7)
            ASSERT_EQ(at(im.get(), x, y), WHITE) << x << "," << y;

    open([](GDeviceModes &m) { m.dcxdim = 500, m.dcydim = 600, m.scale = 0; });
    EXPECT_EQ(dev->modes.vdcxdim, 3412);
    EXPECT_EQ(dev->modes.vdcydim, 4095);
    EXPECT_EQ(dev->modes.scale, 1);  // a scale below 1 is 1
    im = finish();
    ASSERT_TRUE(im);
    EXPECT_EQ(im->width, 500);
}

// Colours: 16-bit components divided by 257; an index past the table's
// end counts round it; every index of the shipped table is its own colour.
TEST_F(ImageDevice, ColoursByIndex)
{
    open(nullptr, [](GList **t) {
        GColour c{};
        c.red = 65535, c.green = 32896, c.blue = 0;
        gcolour_GReplaceColour(t[GT_COLOURS], &c, 2);
        while (GGetNumColoursIn(t[GT_COLOURS]) > 8)
            glist_GDeleteFromList(t[GT_COLOURS], GGetNumColoursIn(t[GT_COLOURS]) - 1);
        glist_GIndexList(t[GT_COLOURS]);
    });
    line(-1, 2);
    draw_line(0, 0, 10, 0);
    line(-1, 10);  // 10 of 8: colour 2 again
    draw_line(0, 2, 10, 2);
    Image im = finish();
    ASSERT_TRUE(im);
    EXPECT_EQ(at(im.get(), 5, 0), (RGB{255, 128, 0}));
    EXPECT_EQ(at(im.get(), 5, 2), (RGB{255, 128, 0}));

    open();
    ASSERT_EQ(GGetNumColours(dev), 24);
    line(-1, 21);
    draw_line(0, 0, 10, 0);
    GColour c21 = *gcolour_GGetColour(dev->tables[GT_COLOURS], 21);
    gcolour_GLookupColour(&c21, c21.name);
    im = finish();
    ASSERT_TRUE(im);
    EXPECT_EQ(at(im.get(), 5, 0), (RGB{c21.red / 257, c21.green / 257, c21.blue / 257}));
}

TEST_F(ImageDevice, CommentIsTheLastOneSent)
{
    open();
    GCommentOutput(cv, "first comment");
    GCommentOutput(cv, "second comment");
    finish();
    std::string bytes = slurp(path);
    EXPECT_NE(bytes.find(std::string("Comment\0second comment", 22)), std::string::npos);
    EXPECT_EQ(bytes.find("first comment"), std::string::npos);
}

TEST_F(ImageDevice, SpoolCommandGetsThePng)
{
    std::string spooled = dir + "/spooled.png";
    open([&](GDeviceModes &m) {
        m.output = 1;
        snprintf(m.spoolcmd, sizeof m.spoolcmd, "cat > '%s'", spooled.c_str());
    });
    EXPECT_EQ(GCloseDevice(dev), 0);
    dev = nullptr;
    Image im = read_png(spooled);
    ASSERT_TRUE(im);
    EXPECT_EQ(im->width, 100);

    // A failing command or an unopenable file: -1, and nothing is left open.
    open([&](GDeviceModes &m) {
        m.output = 1;
        snprintf(m.spoolcmd, sizeof m.spoolcmd, "cat > /dev/null; exit 4");
    });
    EXPECT_EQ(GCloseDevice(dev), -1);
    dev = nullptr;
    open([&](GDeviceModes &m) { snprintf(m.filename, sizeof m.filename, "%s/no/such/dir/x.png", dir.c_str()); });
    EXPECT_EQ(GCloseDevice(dev), -1);
    dev = nullptr;
}

// Lines: exactly the pixels of the line at scale 1; cross strokes at
// scale 2; dashes whose phase runs on from one line to the next.
TEST_F(ImageDevice, Lines)
{
    open();
    line(-1, 1);
    draw_line(0, 0, 10, 0);
    Image im = finish();
    ASSERT_TRUE(im);
    EXPECT_EQ(art(im.get(), 0, 0, 12, 1, BLACK), "###########..\n.............\n");

    open([](GDeviceModes &m) { m.scale = 2; });
    line(-1, 1);
    draw_line(0, 1, 10, 1);
    im = finish();
    ASSERT_TRUE(im);
    // Each point's stroke runs from (X, Y + 1) to (X, Y): rows 2 and 3.
    EXPECT_EQ(art(im.get(), 0, 1, 22, 4, BLACK), ".......................\n"
                                                 "#####################..\n"
                                                 "#####################..\n"
                                                 ".......................\n");

    open(nullptr, [](GList **t) { dash_style(t, {3, 2}); });
    line(0, 1);
    // Two segments of one call (each drawn from its second point to its
    // first): the second starts where the pattern stopped, in a gap of 2.
    GVector pairs = v({7, 0, 0, 0, 9, 2, 0, 2});
    ep()->DrawLines(cv, &pairs);
    im = finish();
    ASSERT_TRUE(im);
    EXPECT_EQ(art(im.get(), 0, 0, 9, 2, BLACK), "###..###..\n"
                                                 "..........\n"
                                                 "..###..###\n");
}

// Rectangle of fill style 3: filled, the outline's gaps painted in the
// background, hatched in the fill colour.
TEST_F(ImageDevice, FilledOutlinedHatchedRectangle)
{
    open(nullptr, [](GList **t) { dash_style(t, {3, 2}); });
    line(0, 1);
    fill(3, 2, 2);  // red, hatch 2: horizontal, 16 apart
    GVector c = v({10, 10}), s = v({40, 40});
    ep()->DrawRectangle(cv, &c, &s);
    Image im = finish();
    ASSERT_TRUE(im);
    EXPECT_EQ(at(im.get(), 30, 30), RED);
    // The top edge: dashes of the line colour, gaps of the background.
    // (The corner itself is the last edge's, which ends in a gap.)
    EXPECT_EQ(art(im.get(), 11, 10, 19, 10, BLACK), "##..###..\n");
    EXPECT_EQ(art(im.get(), 11, 10, 19, 10, WHITE), "..##...##\n");
}

// An arc from 0 through 90 degrees is the upper right quarter disc.
TEST_F(ImageDevice, QuarterDisc)
{
    open();
    line(-1, 1);
    fill(1, 2);
    GVector p = v({60, 60}), q = v({20, 20});  // corners in either order
    ep()->DrawArc(cv, &p, &q, 0, 90 * 64);
    fill(0, 1);
    GVector r = v({60, 0}), t = v({100, 40});
    ep()->DrawArc(cv, &r, &t, 0, 360 * 64);  // a whole circle, outline only
    Image im = finish();
    ASSERT_TRUE(im);
    EXPECT_EQ(at(im.get(), 48, 32), RED);    // upper right of the centre (40, 40)
    EXPECT_EQ(at(im.get(), 32, 32), WHITE);  // upper left
    EXPECT_EQ(at(im.get(), 48, 48), WHITE);  // lower right
    EXPECT_EQ(at(im.get(), 32, 48), WHITE);
    EXPECT_EQ(at(im.get(), 80, 20), WHITE);  // the circle is not filled
    EXPECT_NE(art(im.get(), 78, 0, 82, 1, BLACK).find('#'), std::string::npos);    // its top
    EXPECT_NE(art(im.get(), 78, 38, 82, 40, BLACK).find('#'), std::string::npos);  // its bottom
}

// Raster images: row 0 at the bottom, black pixels left alone, no colour
// handle spent on pixels.
TEST_F(ImageDevice, RasterImages)
{
    open();
    line(-1, 1);
    int before = INumColors();
    std::vector<uint32_t> big(300 * 300, 0x123456);
    GRasterImage large{};
    large.x = 0, large.y = 80, large.width = 300, large.height = 300, large.depth = 24, large.bits = 32;
    large.data = big.data();
    ep()->DrawImage(cv, &large);
    uint32_t px[6] = {0xFF0000, 0x000000, 0x00FF00,   // row 0
                      0x0000FF, 0xFFFFFF, 0x000000};  // row 1
    GRasterImage im{};
    im.x = 10, im.y = 20, im.width = 3, im.height = 2, im.depth = 24, im.bits = 32, im.data = px;
    ep()->DrawImage(cv, &im);
    EXPECT_EQ(INumColors(), before);
    Image out = finish();
    ASSERT_TRUE(out);
    EXPECT_EQ(at(out.get(), 10, 19), RED);
    EXPECT_EQ(at(out.get(), 11, 19), (RGB{0x12, 0x34, 0x56}));  // left alone: what lay beneath
    EXPECT_EQ(at(out.get(), 12, 19), (RGB{0, 255, 0}));
    EXPECT_EQ(at(out.get(), 10, 18), (RGB{0, 0, 255}));
    EXPECT_EQ(at(out.get(), 11, 18), WHITE);
    EXPECT_EQ(at(out.get(), 50, 50), (RGB{0x12, 0x34, 0x56}));
}

// Hatches by angle: rows, columns, and the two diagonals.
TEST_F(ImageDevice, Hatches)
{
    struct Case {
        long hatch;
        const char *what;
        int dx, dy;  // from an ink pixel along the line
    } cases[] = {{2, "0", 1, 0}, {3, "90", 0, 1}, {0, "45", 1, -1}, {1, "135", 1, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        open();
        line(-1, 1);
        fill(2, 2, c.hatch);
        GVector corner = v({10, 10}), size = v({60, 60});
        ep()->DrawRectangle(cv, &corner, &size);
        Image im = finish();
        ASSERT_TRUE(im);
        int ink = 0, along = 0;
        for (int y = 20; y < 60; y++)
            for (int x = 20; x < 60; x++)
                if (at(im.get(), x, y) == RED) {
                    ink++;
                    along += at(im.get(), x + c.dx, y + c.dy) == RED;
                }
        EXPECT_GT(ink, 40);
        EXPECT_GT(along, ink * 8 / 10);
        // Nothing outside the rectangle.
        EXPECT_EQ(at(im.get(), 5, 40), WHITE);
        EXPECT_EQ(at(im.get(), 75, 40), WHITE);
    }
}

// Clips: device, canvas, plot space; pixels beyond stay untouched.
TEST_F(ImageDevice, ClipModes)
{
    for (int mode = 0; mode < 3; mode++) {
        SCOPED_TRACE(mode);
        open([](GDeviceModes &m) { m.dcxdim = 200, m.dcydim = 200; });
        GCanvasModes cm = cv->modes;
        cm.clip = static_cast<unsigned char>(mode);
        cm.origin[0] = cm.origin[1] = 1024;
        cm.size[0] = cm.size[1] = 2048;
        GSetCanvasModes(cv, GCM_CLIP | GCM_ORIGIN | GCM_SIZE, &cm);
        line(-1, 2);
        fill(1, 2);
        GVector c = v({0, 0}), s = v({199, 199});
        ep()->DrawRectangle(cv, &c, &s);
        Image im = finish();
        ASSERT_TRUE(im);
        int box[4] = {1000, 1000, -1, -1};
        for (int y = 0; y < 200; y++)
            for (int x = 0; x < 200; x++)
                if (at(im.get(), x, y) == RED)
                    box[0] = std::min(box[0], x), box[1] = std::min(box[1], y), box[2] = std::max(box[2], x),
                    box[3] = std::max(box[3], y);
        if (mode == 0) {
            EXPECT_EQ(box[0], 0);
            EXPECT_EQ(box[2], 199);
        } else {
            // The canvas is the middle half (one unit of margin either side);
            // the plot space lies inside it.
            EXPECT_GE(box[0], mode == 2 ? 46 : 48);  // the plot space is one unit wider
            EXPECT_LE(box[2], 151);
            EXPECT_GE(box[1], 48);
            EXPECT_LE(box[3], 151);
            // The plot space starts at the canvas's origin and is smaller.
            if (mode == 2) {
                EXPECT_LT(box[2], 125);
            } else {
                EXPECT_GT(box[2], 145);
            }
        }
    }
}

// Text lands at its anchor at any angle and scale.
TEST_F(ImageDevice, TextAtItsAnchor)
{
    for (long scale : {1L, 2L})
        for (long angle : {0L, 90L, 30L}) {
            SCOPED_TRACE(std::to_string(scale) + " " + std::to_string(angle));
            open([&](GDeviceModes &m) { m.dcxdim = 200, m.dcydim = 200, m.scale = scale; });
            cv->text.colour = 1;
            cv->text.font = 0;
            cv->text.angle = angle * 64;
            cv->text.alignment = 6;
            GVector p = v({100, 100});
            ASSERT_EQ(ep()->PutText(cv, "Label", &p), 0);
            Image im = finish();
            ASSERT_TRUE(im);
            int ax = static_cast<int>(100 * scale), ay = ax, cell = static_cast<int>(12 * scale);
            int near = 0, total = 0;
            for (int y = 0; y < im->height; y++)
                for (int x = 0; x < im->width; x++)
                    if (at(im.get(), x, y) == BLACK) {
                        total++;
                        near += std::abs(x - ax) <= cell + 1 && std::abs(y - ay) <= cell + 1;
                    }
            EXPECT_GT(total, 20);
            EXPECT_GT(near, 0);
        }
    // The label's ground shows through at scale 2: only glyph pixels copied.
    open([](GDeviceModes &m) { m.dcxdim = 200, m.dcydim = 200, m.scale = 2; });
    line(-1, 2);
    fill(1, 2);
    GVector c = v({0, 0}), s = v({199, 199});
    ep()->DrawRectangle(cv, &c, &s);
    cv->text.colour = 1;
    GVector p = v({100, 100});
    ep()->PutText(cv, "Label", &p);
    Image im = finish();
    ASSERT_TRUE(im);
    int white = 0;
    for (int y = 150; y < 250; y++)
        for (int x = 150; x < 350; x++)
            white += at(im.get(), x, y) == WHITE;
    EXPECT_EQ(white, 0);
}

TEST_F(ImageDevice, TextLimitsWidenTheMeasuredWidth)
{
    open();
    short c[8];
    ASSERT_EQ(ep()->GetRelativeTextLimits(cv, "abcdefghijkl", c), 0);
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c[1], 0);
    EXPECT_GT(c[3], 8);  // the font's height
    EXPECT_EQ(c[3], c[5]);
    EXPECT_EQ(c[4], c[6]);
    EXPECT_GT(c[4], 12 * 5);
    finish();
}

// The build's configuration, its PNG entry, drawn through the kernel.
TEST(ImageEndToEnd, AGraphThroughTheKernel)
{
    std::string dir = vxtest::temp_dir("gie2e");
    GDeviceEntry e{};
    ASSERT_EQ(GGetDevice(5, &e), 0);
    snprintf(e.modes.filename, sizeof e.modes.filename, "%s/graph.png", dir.c_str());
    GDeviceRecord *d = GOpenDevice(e.mask | GDM_FILENAME, &e.modes, e.tables);
    ASSERT_NE(d, nullptr);
    GCanvasModes cm{};
    cm.coords = GCS_WC;
    cm.world[0] = 0, cm.world[1] = 0, cm.world[3] = 10, cm.world[4] = 10, cm.world[5] = 1;
    GCanvasRecord *c = GOpenCanvas(d, GCM_COORDS | GCM_WORLD, &cm);
    ASSERT_NE(c, nullptr);
    auto pt = [](std::vector<double> &xy) {
        return GVector{GV_DOUBLE, 0, 2, static_cast<int64_t>(xy.size() / 2), {xy.data(), nullptr, nullptr}};
    };
    std::vector<double> o{0, 0}, xe{10, 0}, ye{0, 10};
    GVector vo = pt(o), vx = pt(xe), vy = pt(ye);
    gdraw_GDrawLine(c, &vo, &vx);  // axes
    gdraw_GDrawLine(c, &vo, &vy);
    GLineModes lm = c->line;
    lm.style = 1;  // the first dashed style
    lm.colour = 2;
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR, &lm);
    std::vector<double> zig{0, 0, 2, 8, 4, 2, 6, 9, 8, 3, 10, 7};
    GVector vz = pt(zig);
    gdraw_GDrawPolyLine(c, &vz);
    GFillModes fm = c->fill;
    fm.style = 1;
    fm.colour = 4;
    GSetFillModes(c, GFM_STYLE | GFM_COLOUR, &fm);
    std::vector<double> tri{6, 1, 9, 1, 9, 4};
    GVector vt = pt(tri);
    gdraw_GDrawFilledPolygon(c, &vt, nullptr);
    GTextModes tm = c->text;
    tm.alignment = 1;
    GSetTextModes(c, GTM_ALIGNMENT, &tm);
    std::vector<double> lab{3, 5};
    GVector vl = pt(lab);
    EXPECT_EQ(GPutText(c, &vl, "x axis"), 0);
    EXPECT_EQ(GCloseDevice(d), 0);

    Image im = read_png(dir + "/graph.png");
    ASSERT_TRUE(im);
    EXPECT_EQ(im->width, 600);
    EXPECT_EQ(im->height, 450);
    int red = 0, blue = 0, black = 0;
    for (int y = 0; y < im->height; y++)
        for (int x = 0; x < im->width; x++) {
            RGB p = at(im.get(), x, y);
            red += p == RED;
            blue += p == RGB{0, 0, 255};
            black += p == BLACK;
        }
    EXPECT_GT(red, 300);    // the dashed polyline
    EXPECT_GT(blue, 1000);  // the triangle
    EXPECT_GT(black, 400);  // axes and label
    // The label hangs from its point (3, 5): centred under it.
    int ink = 0;
    for (int y = 285; y < 305; y++)
        for (int x = 125; x < 175; x++)
            ink += at(im.get(), x, y) == BLACK;
    EXPECT_GT(ink, 30);
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new Library);
    return RUN_ALL_TESTS();
}
