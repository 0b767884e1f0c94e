// The PCL device: the pixmap drawn by the X11 driver, written at close as
// PCL raster and read back by a decoder of the escape stream.

#include "pelxtest.h"
#include "vxtest.h"
#include "vxutil.h"

// After gtest: Xlib defines names gtest uses.
#include "gx11.h"

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// The escape stream as commands: "*r", "s", 600 for ESC*r600s..., and the
// data of W and V commands.
struct Command {
    std::string group;  // "E", "&l", "&a", "*r", "*t", "*b", "*v"
    char letter;        // the parameter's letter, upper case
    long value;
    std::string data;
};

std::vector<Command> decode(const std::string &s)
{
    std::vector<Command> out;
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '\033')
            throw std::runtime_error("stray byte at " + std::to_string(i));
        if (s[i + 1] == 'E') {
            out.push_back({"E", 'E', 0, {}});
            i += 2;
            continue;
        }
        std::string group = s.substr(i + 1, 2);
        i += 3;
        for (;;) {
            size_t end = i;
            while (end < s.size() && (isdigit(static_cast<unsigned char>(s[end])) || s[end] == '-'))
                end++;
            long v = end > i ? std::stol(s.substr(i, end - i)) : 0;
            char letter = s[end];
            Command c{group, static_cast<char>(toupper(letter)), v, {}};
            i = end + 1;
            if (group == "*b" && (c.letter == 'W' || c.letter == 'V')) {
                c.data = s.substr(i, static_cast<size_t>(v));
                i += static_cast<size_t>(v);
            }
            out.push_back(c);
            if (isupper(static_cast<unsigned char>(letter)))
                break;
        }
    }
    return out;
}

std::string read_all(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<unsigned char> unpack(const std::string &pairs)
{
    std::vector<unsigned char> out;
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        out.insert(out.end(), static_cast<size_t>(static_cast<unsigned char>(pairs[i])) + 1,
                   static_cast<unsigned char>(pairs[i + 1]));
    return out;
}

class Pcl : public testing::Test {
protected:
    GDeviceRecord *dev = nullptr;
    GCanvasRecord *cv = nullptr;
    std::string out;

    void SetUp() override
    {
        x11_GInstallDriver();
        GColourMapParams(1, 0, 1);
        std::string etc = etc_dir();
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", catalogue().c_str(), (etc + "/pelx.rgb").c_str()), 0);
        out = vxtest::temp_dir("pcl") + "/out.pcl";
    }
    void TearDown() override
    {
        if (dev)
            GCloseDevice(dev);
        GTerminate();
        gep_GSetDriver(GDRV_X11, nullptr);
        gcolmap_GSetColourCells(nullptr);
    }
    // The configured PCL device (entry 4) writing to `out`.
    void open(int planes, const std::function<void(uint64_t &, GDeviceModes &)> &adjust = nullptr)
    {
        GDeviceEntry e{};
        ASSERT_EQ(GGetDevice(4, &e), 0);
        uint64_t mask = e.mask | GDM_PROTOCOL | GDM_FILENAME | GDM_OUTPUT | GDM_CLRPLANES | GDM_FILLPAGE |
                        GDM_LANDSCAPE | GDM_DCXDIM | GDM_DCYDIM | GDM_UCXDIM | GDM_UCYDIM | GDM_DCXPOS | GDM_DCYPOS;
        GDeviceModes &m = e.modes;
        m.output = 0;
        snprintf(m.filename, sizeof m.filename, "%s", out.c_str());
        m.clr_planes = static_cast<int16_t>(planes);
        m.fillpage = 0;
        m.landscape = 0;
        m.dcxdim = 600;
        m.dcydim = 450;
        m.ucxdim = 637;
        m.ucydim = 825;
        m.dcxpos = m.dcypos = 10;
        if (adjust)
            adjust(mask, m);
        dev = GOpenDevice(mask, &m, e.tables);
        if (!dev)
            gdev_GFreeDeviceEntry(&e);
        ASSERT_NE(dev, nullptr);
        GCanvasModes cm{};
        cm.clip = 0;
        cv = GOpenCanvas(dev, GCM_CLIP, &cm);
    }
    Display *display() { return static_cast<Display *>(dev->modes.displayconn); }
    void rect(long colour, short x, short y, short w, short h)
    {
        GFillModes fm = cv->fill;
        fm.style = 1;
        fm.colour = colour;
        GSetFillModes(cv, GFM_STYLE | GFM_COLOUR, &fm);
        GLineModes lm = cv->line;
        lm.colour = colour;
        GSetLineModes(cv, GLM_COLOUR, &lm);
        short c[2] = {x, y}, s[2] = {w, h};
        GVector cvv{GV_SHORT, 0, 2, 1, {c, nullptr, nullptr}}, svv{GV_SHORT, 0, 2, 1, {s, nullptr, nullptr}};
        gxinit_GXPrimitives()->DrawRectangle(cv, &cvv, &svv);
    }
    // The pixmap as the server holds it: pixel values.
    std::vector<unsigned long> pixels()
    {
        XSync(display(), False);
        int w = int(dev->modes.dcxdim), h = int(dev->modes.dcydim);
        XImage *img = XGetImage(display(), Drawable(dev->modes.window), 0, 0, unsigned(w), unsigned(h), AllPlanes,
                                ZPixmap);
        std::vector<unsigned long> v(size_t(w) * size_t(h));
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                v[size_t(y) * size_t(w) + size_t(x)] = XGetPixel(img, x, y);
        XDestroyImage(img);
        return v;
    }
    std::vector<Command> close()
    {
        EXPECT_EQ(GCloseDevice(dev), 0);
        dev = nullptr;
        return decode(read_all(out));
    }
};

const Command *find(const std::vector<Command> &cs, const std::string &group, char letter)
{
    for (const Command &c : cs)
        if (c.group == group && c.letter == letter)
            return &c;
    return nullptr;
}

TEST_F(Pcl, MonochromePictureRowsAndPosition)
{
    open(1);
    rect(1, 100, 50, 200, 100);
    std::vector<unsigned long> px = pixels();
    std::vector<Command> cs = close();
    ASSERT_GE(cs.size(), 6u);
    EXPECT_EQ(cs[0].group, "E");
    EXPECT_EQ(find(cs, "&a", 'H')->value, 96);
    EXPECT_EQ(find(cs, "&a", 'V')->value, 3504);
    EXPECT_EQ(find(cs, "*r", 'S')->value, 600);
    EXPECT_EQ(find(cs, "*r", 'T')->value, 450);
    EXPECT_EQ(find(cs, "*t", 'R')->value, 75);
    EXPECT_EQ(find(cs, "*r", 'U'), nullptr);
    std::vector<const Command *> rows;
    for (const Command &c : cs)
        if (c.group == "*b" && c.letter == 'W')
            rows.push_back(&c);
    ASSERT_EQ(rows.size(), 450u);
    for (size_t y = 0; y < 450; y++) {
        ASSERT_EQ(rows[y]->value, 75);
        for (size_t x = 0; x < 600; x++) {
            bool bit = static_cast<unsigned char>(rows[y]->data[x / 8]) & (0x80 >> (x % 8));
            ASSERT_EQ(bit, (px[y * 600 + x] & 1) != 0) << x << "," << y;
        }
    }
    EXPECT_TRUE(px[60 * 600 + 150] & 1);  // the rectangle is there
    EXPECT_EQ(cs[cs.size() - 2].group, "*r");
    EXPECT_EQ(cs[cs.size() - 2].letter, 'B');
    EXPECT_EQ(cs.back().group, "E");
}

TEST_F(Pcl, RotatedPictureRunsDownTheColumns)
{
    open(1, [](uint64_t &, GDeviceModes &m) { m.landscape = 1; });  // narrow paper, landscape
    EXPECT_EQ(dev->modes.dcxdim, 450);  // drawn turned
    EXPECT_EQ(dev->modes.dcydim, 600);
    rect(1, 400, 0, 49, 10);  // near the right edge, at the top
    std::vector<unsigned long> px = pixels();
    std::vector<Command> cs = close();
    EXPECT_EQ(find(cs, "*r", 'S')->value, 600);
    EXPECT_EQ(find(cs, "*r", 'T')->value, 450);
    std::vector<const Command *> rows;
    for (const Command &c : cs)
        if (c.group == "*b" && c.letter == 'W')
            rows.push_back(&c);
    ASSERT_EQ(rows.size(), 450u);
    for (size_t r = 0; r < 450; r++) {
        ASSERT_EQ(rows[r]->value, 75);
        size_t column = 449 - r;
        for (size_t i = 0; i < 600; i++) {
            bool bit = static_cast<unsigned char>(rows[r]->data[i / 8]) & (0x80 >> (i % 8));
            ASSERT_EQ(bit, (px[i * 450 + column] & 1) != 0) << r << "," << i;
        }
    }
}

TEST_F(Pcl, ColourPaletteAndPlanes)
{
    Display *d = XOpenDisplay(nullptr);
    int depth = d ? DefaultDepth(d, DefaultScreen(d)) : 0;
    if (d)
        XCloseDisplay(d);
    if (depth < 24)
        GTEST_SKIP() << "needs a 24-bit server";
    open(3);
    rect(2, 100, 100, 50, 50);
    std::vector<Command> cs = close();
    EXPECT_EQ(find(cs, "*r", 'U')->value, 3);
    // Palette lines only for entries whose colour has a pixel.
    std::map<long, std::vector<long>> palette;
    std::vector<long> pending;
    for (const Command &c : cs)
        if (c.group == "*v") {
            if (c.letter == 'I')
                palette[c.value] = pending, pending.clear();
            else
                pending.push_back(c.value);
        }
    ASSERT_TRUE(palette.count(0));
    ASSERT_TRUE(palette.count(2));
    for (long e = 3; e < 8; e++)
        EXPECT_FALSE(palette.count(e)) << e;
    GColour *red = gcolour_GGetColour(nullptr, 2);
    std::vector<long> want = {long(red->red * 86 / 65576.0 + 4.5), long(red->green * 84 / 65576.0 + 4.5),
                              long(red->blue * 79 / 65576.0 + 6.5)};
    EXPECT_EQ(palette[2], want);
    EXPECT_EQ(palette[0], (std::vector<long>{90, 88, 85}));  // white
    // Row 120: entry 2 inside the rectangle, entry 0 outside.
    std::vector<std::vector<unsigned char>> planes;
    int row = 0;
    for (const Command &c : cs) {
        if (c.group != "*b")
            continue;
        if (c.letter == 'V' && row == 120)
            planes.push_back(unpack(c.data));
        if (c.letter == 'W')
            row++;
    }
    ASSERT_EQ(planes.size(), 3u);
    auto entry = [&](size_t x) {
        int e = 0;
        for (int m = 0; m < 3; m++)
            e |= ((planes[size_t(m)][x / 8] >> (7 - x % 8)) & 1) << m;
        return e;
    };
    EXPECT_EQ(entry(125), 2);
    EXPECT_EQ(entry(20), 0);
    EXPECT_EQ(entry(300), 0);
}

TEST_F(Pcl, LongEqualRowsTakeTwoPairs)
{
    open(3, [](uint64_t &, GDeviceModes &m) {
        m.dcxdim = 2049;
        m.dcydim = 2;
        m.ucxdim = 2100;
        m.landscape = 1;  // wide paper in landscape: not turned
    });
    std::vector<Command> cs = close();
    int v = 0;
    for (const Command &c : cs)
        if (c.group == "*b" && c.letter == 'V') {
            EXPECT_EQ(c.value, 4);  // (255, b) (0, b'): 257 bytes
            EXPECT_EQ(unpack(c.data).size(), 257u);
            v++;
        }
    EXPECT_EQ(v, 6);
}

TEST_F(Pcl, FailuresWriteNothingOrStop)
{
    // An output that cannot be opened: 4,8, -1.
    open(1, [](uint64_t &, GDeviceModes &m) { strcpy(m.filename, "/no/such/dir/out.pcl"); });
    CaptureStderr();
    EXPECT_EQ(GCloseDevice(dev), -1);
    dev = nullptr;
    GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(4, 8));

    // A read the server refuses (here a rectangle beyond the pixmap): the
    // message, the output closed, -1.
    open(1);
    dev->modes.dcxdim += 50;
    CaptureStderr();
    EXPECT_EQ(GCloseDevice(dev), -1);
    dev = nullptr;
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("Failed to complete PCL output (try colour PCL)"), std::string::npos) << err;
}

}  // namespace
