// Style pixmaps on the test X server: a test configuration of 16 colours
// and 20 markers gives the counts and the edge cases of the accessors, and
// each picture read back with XGetImage shows what it stands for; the
// program's own configuration gives the sheet of every picture
// (docs/images/styles.png when VX_IMAGE_DIR is set).  Without a display,
// or without the X11 driver, the counts come from device 0 and there are
// no pictures.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "gokit.h"

#include "gopix.h"
#include "imagelib.h"
#include "pelx.h"
#include "vxtest.h"
#include "vxtest_x.h"

// After gtest: Xlib defines names gtest uses.
#include "gx11.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string build_dir() { return getenv("VX_BUILD_DIR") ? getenv("VX_BUILD_DIR") : "."; }

constexpr unsigned long BACKGROUND = 0x123456;

// The colours of the test configuration: 0 white, 1 black, then colours
// that differ from each other and from the background.
unsigned long test_colour(int i)
{
    if (i == 0)
        return 0xffffff;
    if (i == 1)
        return 0x000000;
    return static_cast<unsigned long>((i * 15) << 16 | (255 - i * 13) << 8 | (i * 37 % 200 + 40));
}

std::string test_configuration()
{
    std::ostringstream c;
    c << "/*\n   PelxRevisionNumber: 1 0\n */\ncolours : {\n";
    for (int i = 0; i < 16; i++) {
        const unsigned long rgb = test_colour(i);
        c << "    colour : any { red : " << (rgb >> 16) << " green : " << (rgb >> 8 & 0xff) << " blue : "
          << (rgb & 0xff) << " }\n";
    }
    c << "}\nfonts : {\n    font : any { name : \"fixed\" height : 13 width : 6 charset : \"iso8859-1\" fixed : TRUE"
         " italic : FALSE weight : \"medium\" typeface : \"fixed\" nls : FALSE }\n"
         "    include : \"pelxstroke.cfg\"\n}\nmarkers : {\n    markersize : 1\n";
    for (int i = 0; i < 20; i++)
        c << "    marker : any { line : -5,0,5,0 line : 0,-5,0,5 }\n";
    c << "}\nhatches : {\n    hatch : any { grid : 45,16 }\n    hatch : any { grid : 0,16  grid : 90,16 }\n}\n"
         "lines : {\n    linestyle : any { name : \"dashed\" dashlist : 8,4 listlen : 2 length : 12 }\n}\n"
         "colourmaps : {\n    map : any {\n        name : \"ramp\"\n";
    // Red to blue in 64 steps (the X11 driver takes a map of fewer than
    // 32 colours as not worth its cells).
    for (int i = 0; i < 64; i++)
        c << "        colour : any { red : " << 255 - i * 4 << " green : 0 blue : " << i * 4 << " }\n";
    c << "    }\n}\n"
         "devices : {\n    device : any {\n        protocol : X\n        dcxdim : 600\n        dcydim : 450\n"
         "        ucxdim : 1024\n        ucydim : 768\n        dcxpos : 10\n        dcypos : 10\n"
         "        bg_colour : 0\n        borderwidth : 3\n        bordercolour : 1\n        bitdepth : 24\n"
         "        iswindow : TRUE\n        backingstore : TRUE\n    }\n}\n";
    return c.str();
}

// A pixmap's pixels as 0xRRGGBB.
struct Pixels {
    int width = 0, height = 0;
    std::vector<unsigned long> rgb;
    unsigned long at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

int shift_of(unsigned long mask)
{
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        s++;
    }
    return s;
}

Pixels grab(Display *dpy, long pixmap)
{
    Pixels p;
    Window root;
    int x, y;
    unsigned w = 0, h = 0, border, depth;
    if (pixmap == -1 || !XGetGeometry(dpy, static_cast<Drawable>(pixmap), &root, &x, &y, &w, &h, &border, &depth))
        return p;
    XImage *img = XGetImage(dpy, static_cast<Drawable>(pixmap), 0, 0, w, h, AllPlanes, ZPixmap);
    if (!img)
        return p;
    p.width = static_cast<int>(w);
    p.height = static_cast<int>(h);
    // An image of a pixmap has no colour masks: the screen's visual has.
    if (!img->red_mask) {
        const Visual *v = DefaultVisual(dpy, DefaultScreen(dpy));
        img->red_mask = v->red_mask;
        img->green_mask = v->green_mask;
        img->blue_mask = v->blue_mask;
    }
    for (int j = 0; j < p.height; j++)
        for (int i = 0; i < p.width; i++) {
            const unsigned long v = XGetPixel(img, i, j);
            unsigned long out = 0;
            for (unsigned long mask : {img->red_mask, img->green_mask, img->blue_mask}) {
                const unsigned long top = mask >> shift_of(mask);
                out = out << 8 | (top ? ((v & mask) >> shift_of(mask)) * 255 / top : 0);
            }
            p.rgb.push_back(out);
        }
    XDestroyImage(img);
    return p;
}

// How many pixels of a row (or of the whole picture, row -1) differ from
// the background.
int drawn(const Pixels &p, int row = -1)
{
    int n = 0;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            if ((row < 0 || y == row) && p.at(x, y) != BACKGROUND)
                n++;
    return n;
}

class StylePixmaps : public ::testing::Test, protected vxtest::AppShell {
protected:
    std::string dir;

    void SetUp() override
    {
        ASSERT_TRUE(open_shell(200, 100));
        XtVaSetValues(shell, XtNbackground, BACKGROUND, nullptr);
        x11_GInstallDriver();
        GColourMapParams(1, 0, 1);  // colour maps allowed, as start-up sets them
        dir = vxtest::temp_dir("gopix-x");
    }
    void TearDown() override
    {
        gopix_go_free_pixmaps();
        GTerminate();
        gep_GSetDriver(GDRV_X11, nullptr);
        gcolmap_GSetColourCells(nullptr);
        if (dpy)
            x11_GForgetDisplay(dpy);
        close_shell();
        std::filesystem::remove_all(dir);
    }
    // The graphics library on the test configuration, or on the build's.
    bool start(bool test_config)
    {
        const std::string etc = build_dir() + "/etc";
        std::string config_dir = etc;
        if (test_config) {
            std::filesystem::copy_file(etc + "/pelxstroke.cfg", dir + "/pelxstroke.cfg");
            std::ofstream(dir + "/pelx.cfg") << test_configuration();
            config_dir = dir;
        }
        const std::string cat = build_dir() + "/messages/SUN4SOLARIS/C/pelx.cat";
        return GInitialise(config_dir.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) == 0;
    }
};

TEST_F(StylePixmaps, CountsAndAccessorsOfATestConfiguration)
{
    ASSERT_TRUE(start(true));
    const std::string errors = gokit::stderr_of([&] { go_initialise_pixmaps(shell, nullptr); });
    EXPECT_EQ(errors, "");
    EXPECT_EQ(gopix_num_colour_entries, 18) << "16 colours and the two ramps";
    EXPECT_EQ(gopix_num_marker_entries, 16) << "the four selection markers get no picture";
    EXPECT_EQ(gopix_num_hatch_entries, 4) << "hollow, solid and two hatches";
    EXPECT_EQ(gopix_num_linestyle_entries, 2) << "solid and dashed";
    EXPECT_EQ(gopix_num_font_entries, 2) << "the device font and the stroke font";

    int wide = 0;
    const long ramp = gopix_go_pelx_colour(16, 0, &wide);
    EXPECT_EQ(wide, 0);
    const long wide_ramp = gopix_go_pelx_colour(16, 1, &wide);
    EXPECT_EQ(wide, 1);
    EXPECT_NE(ramp, -1);
    EXPECT_NE(wide_ramp, -1);
    EXPECT_NE(wide_ramp, ramp);
    EXPECT_EQ(gopix_go_pelx_colour(-1, 0, nullptr), ramp) << "colour by the colour map shows the ramp";
    EXPECT_EQ(grab(dpy, ramp).width, 38);
    EXPECT_EQ(grab(dpy, wide_ramp).width, 177);
    EXPECT_EQ(grab(dpy, ramp).height, 16);

    struct Range {
        const char *what;
        long (*picture)(int);
        int count;
    } ranges[] = {
        {"colours", [](int i) { return gopix_go_pelx_colour(i, 0, nullptr); }, 17},
        {"line styles", gopix_go_pelx_linestyle, 2},
        {"markers", gopix_go_pelx_marker, 16},
        {"hatches", gopix_go_pelx_hatch, 4},
        {"fonts", gopix_go_pelx_font, 2},
    };
    for (const Range &r : ranges) {
        for (int i = 0; i < r.count; i++)
            EXPECT_NE(r.picture(i), -1) << r.what << " " << i;
        for (int i : {r.count, r.count + 1, -2, -1000, 1000}) {
            if (i == -1 && r.count == 17)
                continue;
            EXPECT_EQ(r.picture(i), -1) << r.what << " " << i;
        }
    }
    EXPECT_EQ(gopix_go_pelx_linestyle(-1), -1);
    EXPECT_EQ(gopix_go_pelx_colour(17, 1, nullptr), -1);
}

TEST_F(StylePixmaps, EachPictureShowsItsStyle)
{
    ASSERT_TRUE(start(true));
    go_initialise_pixmaps(shell, nullptr);
    for (int i = 0; i < 16; i++) {
        const Pixels p = grab(dpy, gopix_go_pelx_colour(i, 0, nullptr));
        ASSERT_EQ(p.width, 38) << i;
        EXPECT_EQ(p.at(19, 8), test_colour(i)) << "colour " << i;
        EXPECT_EQ(p.at(3, 3), test_colour(i)) << "colour " << i << " fills the picture";
    }
    for (bool wide : {false, true}) {
        const Pixels p = grab(dpy, gopix_go_pelx_colour(16, wide, nullptr));
        ASSERT_GT(p.width, 0);
        const unsigned long left = p.at(1, 8), right = p.at(p.width - 2, 8);
        EXPECT_NE(left, right) << "the ramp's ends differ";
        EXPECT_NE(left, BACKGROUND);
        EXPECT_NE(right, BACKGROUND);
    }

    const Pixels solid = grab(dpy, gopix_go_pelx_linestyle(0)), dashed = grab(dpy, gopix_go_pelx_linestyle(1));
    const int middle = std::max(drawn(solid, 7), drawn(solid, 8));
    EXPECT_GE(middle, 34) << "a solid line across the middle";
    EXPECT_EQ(drawn(solid, 0) + drawn(solid, 15), 0);
    const int dashes = std::max(drawn(dashed, 7), drawn(dashed, 8));
    EXPECT_GT(dashes, 8);
    EXPECT_LT(dashes, middle) << "the dashed line has gaps";

    for (int m = 0; m < 16; m++) {
        const Pixels p = grab(dpy, gopix_go_pelx_marker(m));
        ASSERT_EQ(p.width, 38);
        EXPECT_TRUE(p.at(19, 8) != BACKGROUND || p.at(18, 7) != BACKGROUND || p.at(19, 7) != BACKGROUND ||
                    p.at(18, 8) != BACKGROUND)
            << "marker " << m << " at the centre";
        EXPECT_EQ(p.at(0, 0), BACKGROUND);
        EXPECT_EQ(p.at(37, 15), BACKGROUND);
    }

    const Pixels hollow = grab(dpy, gopix_go_pelx_hatch(0)), filled = grab(dpy, gopix_go_pelx_hatch(1)),
                 hatched = grab(dpy, gopix_go_pelx_hatch(2));
    EXPECT_EQ(hollow.at(19, 8), BACKGROUND) << "style 0 is hollow";
    EXPECT_GT(drawn(hollow), 0) << "its outline";
    EXPECT_EQ(filled.at(19, 8), test_colour(1)) << "style 1 is solid";
    EXPECT_GT(drawn(hatched), drawn(hollow)) << "a hatch inside the outline";
    EXPECT_LT(drawn(hatched), drawn(filled));

    for (int f = 0; f < 2; f++)
        EXPECT_GT(drawn(grab(dpy, gopix_go_pelx_font(f))), 10) << "font " << f << "'s sample";
}

// The program's configuration: every picture on one sheet, a row per
// table, as the format dialogs will offer them.
TEST_F(StylePixmaps, SheetOfTheProgramsPictures)
{
    ASSERT_TRUE(start(false));
    XtVaSetValues(shell, XtNbackground, 0xbebebeUL, nullptr);
    go_initialise_pixmaps(shell, nullptr);
    std::vector<std::vector<long>> rows(5);
    for (int i = 0; i < gopix_num_colour_entries - 1; i++)
        rows[0].push_back(gopix_go_pelx_colour(i, 0, nullptr));
    rows[0].push_back(gopix_go_pelx_colour(gopix_num_colour_entries - 2, 1, nullptr));
    for (int i = 0; i < gopix_num_linestyle_entries; i++)
        rows[1].push_back(gopix_go_pelx_linestyle(i));
    for (int i = 0; i < gopix_num_marker_entries; i++)
        rows[2].push_back(gopix_go_pelx_marker(i));
    for (int i = 0; i < gopix_num_hatch_entries; i++)
        rows[3].push_back(gopix_go_pelx_hatch(i));
    for (int i = 0; i < gopix_num_font_entries; i++)
        rows[4].push_back(gopix_go_pelx_font(i));

    // Up to 12 pictures a line, 4 pixels apart.
    constexpr int per_line = 12, gap = 4;
    std::vector<std::vector<Pixels>> lines;
    for (const std::vector<long> &row : rows) {
        for (size_t i = 0; i < row.size(); i++) {
            if (i % per_line == 0)
                lines.emplace_back();
            const Pixels p = grab(dpy, row[i]);
            ASSERT_GT(p.width, 0);
            lines.back().push_back(p);
        }
        lines.emplace_back();  // a gap between the tables
    }
    int width = 0, height = gap;
    for (const auto &line : lines) {
        int w = gap;
        for (const Pixels &p : line)
            w += p.width + gap;
        width = std::max(width, w);
        height += line.empty() ? gap : 16 + gap;
    }
    IImage *sheet = ICreateImage(width, height, 0);
    ASSERT_NE(sheet, nullptr);
    std::fill(sheet->pixels, sheet->pixels + 3 * static_cast<size_t>(width) * height, 0xbe);
    int y = gap;
    for (const auto &line : lines) {
        int x = gap;
        for (const Pixels &p : line) {
            for (int j = 0; j < p.height; j++)
                for (int i = 0; i < p.width; i++) {
                    unsigned char *px = sheet->pixels + 3 * (static_cast<size_t>(y + j) * width + x + i);
                    const unsigned long v = p.at(i, j);
                    px[0] = static_cast<unsigned char>(v >> 16);
                    px[1] = static_cast<unsigned char>(v >> 8);
                    px[2] = static_cast<unsigned char>(v);
                }
            x += p.width + gap;
        }
        y += line.empty() ? gap : 16 + gap;
    }
    const char *images = getenv("VX_IMAGE_DIR");
    const std::string path = (images ? std::string(images) : dir) + "/styles.png";
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    EXPECT_EQ(IWriteImageFile(f, sheet, IFORMAT_PNG, 0), 0);
    fclose(f);
    IFreeImage(sheet);
    EXPECT_GT(std::filesystem::file_size(path), 500u);
}

// A driver that cannot open a device on a pixmap: the counts of device
// 0's tables, no pictures, the failure said once.  Without a widget:
// device 0's counts and no pictures, quietly.
int refuse_device(GDeviceRecord *, uint64_t) { return -1; }

TEST_F(StylePixmaps, FailuresAndNoDisplay)
{
    ASSERT_TRUE(start(true));
    static GEntryPoints no_device = *gxinit_GXPrimitives();
    no_device.OpenDevice = refuse_device;
    struct Case {
        const char *what;
        const GEntryPoints *driver;
        bool widget;
        std::string errors;
        bool pictures;
    } cases[] = {
        {"no device on a pixmap", &no_device, true, "Error! GrObj. Failed to initialise pixmap!\n", false},
        {"no widget", gxinit_GXPrimitives(), false, "", false},
    };
    for (const Case &c : cases) {
        gopix_num_colour_entries = gopix_num_marker_entries = gopix_num_font_entries = 0;
        gep_GSetDriver(GDRV_X11, c.driver);
        const std::string errors = gokit::stderr_of([&] { go_initialise_pixmaps(c.widget ? shell : nullptr, nullptr); });
        gep_GSetDriver(GDRV_X11, gxinit_GXPrimitives());
        EXPECT_EQ(errors, c.errors) << c.what;
        EXPECT_EQ(gopix_num_colour_entries, 18) << c.what;
        EXPECT_EQ(gopix_num_marker_entries, 16) << c.what;
        EXPECT_EQ(gopix_num_font_entries, 2) << c.what;
        const long some[] = {gopix_go_pelx_colour(-1, 0, nullptr), gopix_go_pelx_colour(0, 0, nullptr),
                             gopix_go_pelx_colour(16, 1, nullptr), gopix_go_pelx_marker(0),
                             gopix_go_pelx_linestyle(0),           gopix_go_pelx_hatch(1),
                             gopix_go_pelx_font(0)};
        for (long p : some) {
            if (!c.pictures) {
                EXPECT_EQ(p, -1) << c.what;
                continue;
            }
            const Pixels px = grab(dpy, p);
            EXPECT_EQ(drawn(px), 0) << c.what << ": only the background";
        }
    }
}

}  // namespace
