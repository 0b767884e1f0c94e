// The X11 driver against a real X server (24-bit TrueColor and 8-bit
// PseudoColor): devices, drawing read back with XGetImage, fonts and text,
// colour cells and the pointer.

#include "pelxtest.h"
#include "vxtest.h"
#include "vxutil.h"

// After gtest: Xlib defines names gtest uses.
#include "gx11.h"

#include <X11/Xatom.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

const GEntryPoints *ep() { return gxinit_GXPrimitives(); }

// A one- or more-point vector of device points.
struct Pts {
    std::vector<short> v;
    GVector g{};
    Pts(std::initializer_list<short> xy) : v(xy) { fix(); }
    explicit Pts(std::vector<short> xy) : v(std::move(xy)) { fix(); }
    void fix() { g = GVector{GV_SHORT, 0, 2, static_cast<int64_t>(v.size() / 2), {v.data(), nullptr, nullptr}}; }
    const GVector *operator&() const { return &g; }
};

// Every pixel of a drawable, read once.
struct Picture {
    XImage *img = nullptr;
    Picture(Display *d, Drawable w, int width, int height)
    {
        img = XGetImage(d, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
    }
    ~Picture()
    {
        if (img)
            XDestroyImage(img);
    }
    unsigned long at(int x, int y) const { return XGetPixel(img, x, y); }
    int count(unsigned long p, int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                n += at(x, y) == p;
        return n;
    }
};

class X11 : public testing::Test {
protected:
    GDeviceRecord *dev = nullptr;
    GCanvasRecord *cv = nullptr;

    void SetUp() override
    {
        x11_GInstallDriver();
        GColourMapParams(1, 0, 1);
        std::string etc = etc_dir();
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", catalogue().c_str(), (etc + "/pelx.rgb").c_str()), 0);
    }
    void TearDown() override
    {
        if (dev)
            GCloseDevice(dev);
        GTerminate();
        gep_GSetDriver(GDRV_X11, nullptr);
        gcolmap_GSetColourCells(nullptr);
    }

    // The configured screen device, changed by `adjust` before it opens.
    GDeviceRecord *open(const std::function<void(uint64_t &, GDeviceModes &)> &adjust = nullptr)
    {
        GDeviceEntry e{};
        EXPECT_EQ(GGetDevice(0, &e), 0);
        uint64_t mask = e.mask | GDM_PROTOCOL;
        if (adjust)
            adjust(mask, e.modes);
        GDeviceRecord *d = GOpenDevice(mask, &e.modes, e.tables);
        if (!d)
            gdev_GFreeDeviceEntry(&e);
        return d;
    }
    // A pixmap device of the given size, its canvas unclipped.
    void pixmap(long w = 200, long h = 150)
    {
        dev = open([&](uint64_t &mask, GDeviceModes &m) {
            mask |= GDM_ISWINDOW | GDM_DCXDIM | GDM_DCYDIM;
            m.iswindow = 0;
            m.dcxdim = w;
            m.dcydim = h;
        });
        ASSERT_NE(dev, nullptr);
        canvas();
    }
    void canvas(unsigned char clip = 0)
    {
        GCanvasModes cm{};
        cm.clip = clip;
        cv = GOpenCanvas(dev, GCM_CLIP, &cm);
        ASSERT_NE(cv, nullptr);
    }
    Display *display() { return static_cast<Display *>(dev->modes.displayconn); }
    Drawable drawable() { return static_cast<Drawable>(dev->modes.window); }
    Picture picture() { return Picture(display(), drawable(), int(dev->modes.dcxdim), int(dev->modes.dcydim)); }
    unsigned long pixel(long index) { return gxbits_GXGetXPixel(dev, 0, index); }
    void line_colour(long colour, int16_t function = GFN_COPY)
    {
        GLineModes lm = cv->line;
        lm.colour = colour;
        lm.function = function;
        GSetLineModes(cv, GLM_COLOUR | GLM_FUNCTION, &lm);
    }
    void fill(long style, long colour, long hatch = 0)
    {
        GFillModes fm = cv->fill;
        fm.style = style;
        fm.colour = colour;
        fm.hatch = hatch;
        GSetFillModes(cv, GFM_STYLE | GFM_COLOUR | GFM_HATCH, &fm);
    }
    int visual_class()
    {
        Display *d = XOpenDisplay(nullptr);
        int c = DefaultVisual(d, DefaultScreen(d))->c_class;
        XCloseDisplay(d);
        return c;
    }
};

// ---- devices -------------------------------------------------------------

TEST_F(X11, OwnWindowIsMappedWithTitleGeometryBorderAndBackingStore)
{
    dev = open([](uint64_t &mask, GDeviceModes &m) {
        mask |= GDM_BORDERCOLOUR | GDM_DCXPOS | GDM_DCYPOS;
        m.bordercolour = 2;  // red
        m.dcxpos = 40;
        m.dcypos = 30;
    });
    ASSERT_NE(dev, nullptr);
    Display *d = display();
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(d, drawable(), &a));
    EXPECT_EQ(a.map_state, IsViewable);  // open waited for the Expose
    EXPECT_EQ(a.backing_store, WhenMapped);
    EXPECT_EQ(a.width, 600);
    EXPECT_EQ(a.height, 450);
    EXPECT_EQ(a.border_width, 3);
    EXPECT_EQ(dev->modes.vdcxdim, 4095);
    EXPECT_EQ(dev->modes.vdcydim, 3071);
    char *name = nullptr;
    ASSERT_TRUE(XFetchName(d, drawable(), &name));
    std::string title = name;
    XFree(name);
    EXPECT_EQ(title.rfind("Pelx Device ", 0), 0u) << title;
    // The border, seen on the root window, is the border colour's pixel
    // (raised first: other tests share the server).
    unsigned long border = 0;
    EXPECT_TRUE(vxtest::wait_for(
        [&] {
            XRaiseWindow(d, drawable());
            XSync(d, False);
            XImage *img = XGetImage(d, DefaultRootWindow(d), 41, 31, 1, 1, AllPlanes, ZPixmap);
            border = img ? XGetPixel(img, 0, 0) : 0;
            if (img)
                XDestroyImage(img);
            return border == pixel(2);
        },
        std::chrono::seconds(10)));
    EXPECT_EQ(border, pixel(2));

    // A second window has another title.
    GDeviceRecord *second = open();
    ASSERT_NE(second, nullptr);
    char *other = nullptr;
    ASSERT_TRUE(XFetchName(static_cast<Display *>(second->modes.displayconn), static_cast<Window>(second->modes.window),
                           &other));
    EXPECT_NE(title, other);
    XFree(other);
    GCloseDevice(second);
}

TEST_F(X11, PixmapStartsInColourZeroWithItsOutline)
{
    dev = open([](uint64_t &mask, GDeviceModes &m) {
        mask |= GDM_ISWINDOW | GDM_DRIVERFLAG;
        m.iswindow = 0;
        m.driverflag = 1;
    });
    ASSERT_NE(dev, nullptr);
    Picture p = picture();
    EXPECT_EQ(p.at(0, 0), pixel(1));      // the outline
    EXPECT_EQ(p.at(599, 449), pixel(1));
    EXPECT_EQ(p.at(300, 0), pixel(1));
    EXPECT_EQ(p.at(1, 1), pixel(0));      // inside: colour 0
    EXPECT_EQ(p.at(300, 200), pixel(0));
}

TEST_F(X11, VdcExtentsFollowTheLongerSide)
{
    struct Case {
        long w, h;
        int vx, vy;
    } cases[] = {{600, 450, 4095, 3071}, {450, 600, 3071, 4095}, {300, 300, 4095, 4095}};
    for (const Case &c : cases) {
        pixmap(c.w, c.h);
        EXPECT_EQ(dev->modes.vdcxdim, c.vx) << c.w;
        EXPECT_EQ(dev->modes.vdcydim, c.vy) << c.w;
        GCloseDevice(dev);
        dev = nullptr;
    }
}

TEST_F(X11, CallersWindowOutlivesTheDevice)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 300, 200, 0, 0, 0);
    XMapWindow(d, w);
    XSync(d, False);
    dev = open([&](uint64_t &mask, GDeviceModes &m) {
        mask |= GDM_WINDOW | GDM_DISPLAYCONN;
        m.window = w;
        m.displayconn = d;
    });
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(dev->modes.dcxdim, 300);
    EXPECT_EQ(dev->modes.vdcydim, 200 * 4096 / 300 - 1);
    canvas();
    Pts a{10, 10}, b{100, 10};
    EXPECT_EQ(ep()->DrawLine(cv, &a, &b), 0);
    GCloseDevice(dev);
    dev = nullptr;
    XWindowAttributes attr{};
    EXPECT_TRUE(XGetWindowAttributes(d, w, &attr));  // still there, still ours
    XDestroyWindow(d, w);
    x11_GForgetDisplay(d);
    XCloseDisplay(d);
}

TEST_F(X11, OwnWindowOnTheCallersConnectionLeavesItsEventsQueued)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    Window mine = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 50, 50, 0, 0, 0);
    XSelectInput(d, mine, ExposureMask);
    XMapWindow(d, mine);
    XSync(d, False);  // its Expose is queued, not read
    dev = open([&](uint64_t &mask, GDeviceModes &m) {
        mask |= GDM_DISPLAYCONN;
        m.displayconn = d;
    });
    ASSERT_NE(dev, nullptr);
    EXPECT_NE(drawable(), mine);
    XEvent ev;
    EXPECT_TRUE(XCheckWindowEvent(d, mine, ExposureMask, &ev));
    Window own = drawable();
    GCloseDevice(dev);
    dev = nullptr;
    XWindowAttributes a{};
    EXPECT_TRUE(XGetWindowAttributes(d, mine, &a));  // the connection stays open
    XSync(d, False);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
    EXPECT_EQ(std::count(children, children + n, own), 0);  // the device's window is gone
    XFree(children);
    x11_GForgetDisplay(d);
    XCloseDisplay(d);
}

TEST_F(X11, UnknownDisplayIsRefused)
{
    CaptureStderr();
    GDeviceRecord *d = open([](uint64_t &mask, GDeviceModes &m) {
        mask |= GDM_DISPLAY;
        strcpy(m.display, ":9999");
    });
    GetCapturedStderr();
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(last_error(), std::make_pair(4, 6));
}

// ---- drawing -------------------------------------------------------------

TEST_F(X11, LinesRectanglesAndPolygons)
{
    pixmap();
    line_colour(2);
    fill(1, 3);
    Pts a{10, 10}, b{60, 10};
    ep()->DrawLine(cv, &a, &b);
    // A rectangle one pixel wide is outlined, not filled.
    Pts c1{80, 20}, s1{1, 30}, c2{100, 20}, s2{30, 30};
    ep()->DrawRectangle(cv, &c1, &s1);
    ep()->DrawRectangle(cv, &c2, &s2);
    Pts tri{20, 100, 70, 100, 45, 60};
    ep()->DrawFilledPolygon(cv, &tri, 0);
    XSync(display(), False);
    Picture p = picture();
    EXPECT_EQ(p.count(pixel(2), 10, 10, 60, 10), 51);
    EXPECT_EQ(p.count(pixel(2), 80, 20, 81, 50), 62);
    EXPECT_EQ(p.count(pixel(3), 79, 19, 82, 51), 0);
    EXPECT_EQ(p.at(100, 20), pixel(2));
    EXPECT_EQ(p.at(115, 35), pixel(3));
    EXPECT_EQ(p.at(45, 90), pixel(3));   // inside the triangle
    EXPECT_EQ(p.at(45, 100), pixel(2));  // its outline
    EXPECT_EQ(p.at(20, 70), pixel(0));   // outside
}

TEST_F(X11, ClipModesLeaveOutsidePixelsAlone)
{
    pixmap(200, 150);
    // Canvas: the middle of the device; plot space: part of it.
    GCloseCanvas(cv);
    GCanvasModes cm{};
    cm.origin[0] = 1024;
    cm.origin[1] = 768;
    cm.size[0] = cm.size[1] = cm.size[2] = 2048;
    cm.dimension = 2;
    cv = GOpenCanvas(dev, GCM_ORIGIN | GCM_SIZE | GCM_DIMENSION, &cm);
    ASSERT_NE(cv, nullptr);
    fill(1, 2);
    Pts all{0, 0}, size{200, 150};
    struct Case {
        unsigned char clip;
        int inked_min, inked_max;  // pixels of the fill colour
    } cases[] = {{0, 199 * 149, 200 * 150}, {1, 1000, 199 * 149 / 2}, {2, 100, 199 * 149 / 2}};
    int canvas_ink = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.clip));
        GClearDevice(dev);
        cm.clip = c.clip;
        GSetCanvasModes(cv, GCM_CLIP, &cm);
        ep()->DrawRectangle(cv, &all, &size);
        XSync(display(), False);
        Picture p = picture();
        int ink = p.count(pixel(2), 0, 0, 199, 149);
        EXPECT_GE(ink, c.inked_min);
        EXPECT_LE(ink, c.inked_max);
        if (c.clip != 0) {
            EXPECT_EQ(p.at(2, 2), 0u);        // outside the canvas: as cleared
            EXPECT_EQ(p.at(197, 147), 0u);
            EXPECT_EQ(p.at(100, 75), pixel(2));
        }
        if (c.clip == 1)
            canvas_ink = ink;
        if (c.clip == 2) {
            EXPECT_LT(ink, canvas_ink);
        }  // the plot space lies inside the canvas
    }
}

TEST_F(X11, HatchStipplesFollowTheirAngleAndSpacing)
{
    pixmap(240, 240);
    auto hatch_of = [&](int16_t angle, int16_t spacing) {
        int16_t grid[2] = {angle, spacing};
        GHatch h{GV_SHORT, 0, 2, 1, {grid, nullptr, nullptr}};
        ghatch_GReplaceHatch(dev->tables[GT_HATCHES], &h, 0);
    };
    Pts corner{0, 0}, size{240, 240};
    struct Case {
        int16_t angle, spacing;
        std::function<bool(int, int)> inked;  // where ink must be (inside the rectangle)
        std::function<bool(int, int)> blank;
    } cases[] = {
        {0, 16, [](int, int y) { return y % 16 == 0; }, [](int, int y) { return y % 16 == 8; }},
        {90, 16, [](int x, int) { return x % 16 == 0; }, [](int x, int) { return x % 16 == 8; }},
        // One period at least: a spacing beyond the 128-pixel stipple.
        {0, 200, [](int, int y) { return y == 200; }, [](int, int y) { return y == 100; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.angle * 1000 + c.spacing);
        GClearDevice(dev);
        hatch_of(c.angle, c.spacing);
        fill(2, 2, 0);
        ep()->DrawRectangle(cv, &corner, &size);
        XSync(display(), False);
        Picture p = picture();
        int ink = 0, blank = 0;
        for (int y = 2; y < 238; y++)
            for (int x = 2; x < 238; x++) {
                if (c.inked(x, y))
                    ink += p.at(x, y) == pixel(2);
                if (c.blank(x, y))
                    blank += p.at(x, y) != pixel(2);
            }
        int want_ink = 0, want_blank = 0;
        for (int y = 2; y < 238; y++)
            for (int x = 2; x < 238; x++) {
                want_ink += c.inked(x, y);
                want_blank += c.blank(x, y);
            }
        EXPECT_EQ(ink, want_ink);
        EXPECT_EQ(blank, want_blank);
    }
    // A hatch without steps fills solid.
    GClearDevice(dev);
    hatch_of(0, 0);
    fill(2, 2, 0);
    ep()->DrawRectangle(cv, &corner, &size);
    XSync(display(), False);
    EXPECT_EQ(picture().count(pixel(2), 1, 1, 238, 238), 238 * 238);

    // 45 degrees: rising lines, each inked pixel continued up and right.
    GClearDevice(dev);
    hatch_of(45, 16);
    fill(2, 2, 0);
    ep()->DrawRectangle(cv, &corner, &size);
    XSync(display(), False);
    Picture p = picture();
    int inked = 0, continued = 0;
    for (int y = 10; y < 230; y++)
        for (int x = 10; x < 230; x++)
            if (p.at(x, y) == pixel(2)) {
                inked++;
                continued += p.at(x + 1, y - 1) == pixel(2) || p.at(x + 1, y) == pixel(2) || p.at(x, y - 1) == pixel(2);
            }
    EXPECT_GT(inked, 220 * 220 / 40);
    EXPECT_LT(inked, 220 * 220 / 4);
    EXPECT_EQ(continued, inked);
    EXPECT_EQ(p.at(5, 5) == pixel(2) && p.at(6, 6) == pixel(2) && p.at(7, 7) == pixel(2), false);  // not falling
}

TEST_F(X11, XorTwiceRestoresThePicture)
{
    pixmap();
    line_colour(2);
    Pts a{0, 50}, b{199, 50}, c{100, 0}, d{100, 149};
    ep()->DrawLine(cv, &a, &b);
    XSync(display(), False);
    Picture before = picture();
    line_colour(4, GFN_XOR);
    ep()->DrawLine(cv, &c, &d);
    XSync(display(), False);
    Picture once = picture();
    EXPECT_EQ(once.at(100, 10), pixel(4));  // over the background: the colour itself
    ep()->DrawLine(cv, &c, &d);
    XSync(display(), False);
    Picture twice = picture();
    for (int y = 0; y < 150; y++)
        ASSERT_EQ(twice.at(100, y), before.at(100, y)) << y;
}

TEST_F(X11, ArcsQuartersAndLargeOutlines)
{
    pixmap(200, 150);
    line_colour(2);
    fill(1, 3);
    // Start 0, extent 90: the upper-right quarter, filled.
    Pts a{50, 50}, b{150, 130};
    ep()->DrawArc(cv, &a, &b, 0, 90 * 64);
    XSync(display(), False);
    {
        Picture p = picture();
        EXPECT_EQ(p.count(pixel(2), 0, 0, 99, 149) + p.count(pixel(2), 100, 91, 199, 149), 0);
        EXPECT_GT(p.count(pixel(2), 100, 50, 150, 90), 30);
        EXPECT_EQ(p.at(120, 80), pixel(3));
    }
    // Larger than the device's smaller side: a gap-free outline, unfilled.
    GClearDevice(dev);
    Pts c{10, 0}, d{190, 170};
    ep()->DrawArc(cv, &c, &d, 0, 360 * 64);
    XSync(display(), False);
    Picture p = picture();
    double cx = 100, cy = 85, rx = 90, ry = 85;
    int checked = 0;
    for (double t = 0; t < 360; t += 0.25) {
        int x = int(cx + rx * cos(t * M_PI / 180)), y = int(cy - ry * sin(t * M_PI / 180));
        if (x < 1 || x > 198 || y < 1 || y > 148)
            continue;
        int near = 0;
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                near += p.at(x + dx, y + dy) == pixel(2);
        EXPECT_GT(near, 0) << t;
        checked++;
    }
    EXPECT_GT(checked, 900);
    EXPECT_EQ(p.count(pixel(3), 0, 0, 199, 149), 0);  // no fill
}

TEST_F(X11, LongRequestsAreSplitWithoutGaps)
{
    pixmap(200, 150);
    gxdraw_GXLimitPoints(dev, 10);
    line_colour(2);
    fill(1, 3);
    std::vector<short> zig;
    for (short i = 0; i < 45; i++) {
        zig.push_back(static_cast<short>(4 * i + 5));
        zig.push_back(static_cast<short>(i % 2 ? 20 : 40));
    }
    Pts line(zig);
    ep()->DrawPolyLine(cv, &line);
    // Twelve points: over the limit, so outlined only.
    std::vector<short> ring;
    for (int i = 0; i < 12; i++) {
        ring.push_back(static_cast<short>(100 + 40 * cos(i * M_PI / 6)));
        ring.push_back(static_cast<short>(100 + 40 * sin(i * M_PI / 6)));
    }
    Pts polygon(ring);
    ep()->DrawFilledPolygon(cv, &polygon, 0);
    std::vector<short> segs;
    for (short i = 0; i < 30; i++) {
        segs.insert(segs.end(), {static_cast<short>(5 + 6 * i), 140, static_cast<short>(5 + 6 * i), 146});
    }
    Pts pairs(segs);
    ep()->DrawLines(cv, &pairs);
    XSync(display(), False);
    Picture p = picture();
    // Every column the zigzag spans is inked somewhere between its rows.
    for (int x = 5; x <= 4 * 44 + 5; x++)
        EXPECT_GT(p.count(pixel(2), x, 20, x, 40), 0) << x;
    EXPECT_EQ(p.count(pixel(3), 0, 0, 199, 149), 0);
    EXPECT_EQ(p.count(pixel(2), 0, 143, 199, 143), 30);
}

TEST_F(X11, DrawImageKeepsRowOrderAndMask)
{
    pixmap(100, 100);
    GXDevicePart *part = static_cast<GXDevicePart *>(dev->driver);
    int bits = part->depth > 8 ? 32 : 8;
    GRasterImage im{};
    im.x = 10;
    im.y = 40;  // the bottom-left corner; rows 36..39 on screen
    im.width = 9;
    im.height = 4;
    im.depth = static_cast<int16_t>(part->depth);
    im.bits = static_cast<int16_t>(bits);
    im.invert_y = 1;
    long colours[4] = {2, 3, 4, 5};  // bottom row first
    im.data = vx_malloc(9 * 4 * bits / 8, 0);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 9; c++) {
            unsigned long px = pixel(colours[r]);
            if (bits == 32)
                static_cast<uint32_t *>(im.data)[r * 9 + c] = static_cast<uint32_t>(px);
            else
                static_cast<uint8_t *>(im.data)[r * 9 + c] = static_cast<uint8_t>(px);
        }
    // Mask rows of two bytes; the ninth pixel of the top row is left out.
    im.mask_flag = 1;
    im.mask_width = 16;
    im.mask_height = 4;
    im.mask = static_cast<unsigned char *>(vx_malloc(8, 0));
    unsigned char mask[8] = {0xFF, 0x01, 0xFF, 0x01, 0xFF, 0x01, 0xFF, 0x00};  // bottom row first
    memcpy(im.mask, mask, 8);
    EXPECT_EQ(ep()->DrawImage(cv, &im), 0);
    EXPECT_EQ(im.data, nullptr);  // consumed
    XSync(display(), False);
    Picture p = picture();
    EXPECT_EQ(p.at(10, 39), pixel(2));  // the bottom row
    EXPECT_EQ(p.at(18, 39), pixel(2));
    EXPECT_EQ(p.at(10, 36), pixel(5));  // the top row
    EXPECT_EQ(p.at(17, 36), pixel(5));
    EXPECT_EQ(p.at(18, 36), pixel(0));  // masked out
    EXPECT_EQ(p.at(10, 35), pixel(0));
    vx_free(im.mask);

    // A pad the server cannot take is refused, not a crash.
    GRasterImage odd{};
    odd.width = odd.height = 2;
    odd.depth = 24;
    odd.bits = 24;
    odd.data = vx_malloc(12, 0);
    EXPECT_EQ(ep()->DrawImage(cv, &odd), -1);
    vx_free(odd.data);
}

TEST_F(X11, PolylineClipKeepsDrawingInsideItsPolygon)
{
    pixmap(100, 100);
    fill(1, 2);
    Pts clip{10, 10, 90, 10, 10, 90};
    ASSERT_EQ(ep()->SetPolylineClip(cv, &clip), 0);
    Pts corner{0, 0}, size{99, 99};
    ep()->DrawRectangle(cv, &corner, &size);
    XSync(display(), False);
    Picture p = picture();
    EXPECT_EQ(p.at(20, 20), pixel(2));
    EXPECT_EQ(p.at(80, 80), pixel(0));
    EXPECT_EQ(p.at(5, 50), pixel(0));
    gxdraw_GXLimitPoints(dev, 2);
    EXPECT_EQ(ep()->SetPolylineClip(cv, &clip), -1);  // more points than a request holds
}

TEST_F(X11, DeviceTransformScalesByTheScreenResolution)
{
    pixmap(100, 80);
    Display *d = display();
    int s = DefaultScreen(d);
    double dpi = DisplayWidth(d, s) / (DisplayWidthMM(d, s) * 0.03937);
    const GXform &t = cv->xf[GX_FIFTH];
    EXPECT_NEAR(t.forward.m[0], dpi, 1e-9);
    EXPECT_NEAR(t.forward.m[4], -DisplayHeight(d, s) / (DisplayHeightMM(d, s) * 0.03937), 1e-9);  // y flipped
    EXPECT_NEAR(t.forward.offset[1], 79, 1e-9);
}

// ---- fonts and text ------------------------------------------------------

TEST_F(X11, MissingFontIsReportedOnceAndDrawnInFixed)
{
    pixmap(200, 150);
    GFont f{};
    f.flags = GF_NAME;
    f.name = const_cast<char *>("-nobody-nofont-medium-r-normal--12-*-*-*-*-*-iso8859-1");
    gfont_GReplaceFont(dev->tables[GT_FONTS], &f, 0);
    GTextModes tm = cv->text;
    tm.font = 0;
    tm.colour = 2;
    CaptureStderr();
    EXPECT_EQ(GSetTextModes(cv, GTM_FONT | GTM_COLOUR, &tm), 0);
    std::string first = GetCapturedStderr();
    EXPECT_NE(first.find("(4,7)"), std::string::npos) << first;
    EXPECT_EQ(first.find("(4,7)"), first.rfind("(4,7)"));
    Pts at{20, 50};
    EXPECT_EQ(ep()->PutText(cv, "Hello", &at), 0);
    XSync(display(), False);
    EXPECT_GT(picture().count(pixel(2), 20, 30, 80, 55), 5);
    CaptureStderr();
    GSetTextModes(cv, GTM_FONT, &tm);
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(X11, TextLimitsAndTwoLines)
{
    pixmap(300, 150);
    GTextModes tm = cv->text;
    tm.colour = 2;
    GSetTextModes(cv, GTM_FONT | GTM_COLOUR, &tm);
    GXCanvasPart *cp = static_cast<GXCanvasPart *>(cv->driver);
    ASSERT_NE(cp->font, nullptr);
    short c[8];
    ASSERT_EQ(ep()->GetRelativeTextLimits(cv, "Limits", c), 0);
    int dir, asc, desc;
    XCharStruct all;
    XTextExtents(cp->font, "Limits", 6, &dir, &asc, &desc, &all);
    short want[8] = {0, short(-desc), 0, short(asc), all.width, short(asc), all.width, short(-desc)};
    EXPECT_EQ(std::vector<short>(c, c + 8), std::vector<short>(want, want + 8));

    // Two lines: the short one centred under the long one.
    Pts at{20, 40};
    ep()->PutText(cv, "A long first line\nshort", &at);
    XSync(display(), False);
    Picture p = picture();
    int line = asc + desc;
    int w1 = XTextWidth(cp->font, "A long first line", 17), w2 = XTextWidth(cp->font, "short", 5);
    auto extent = [&](int y0, int y1, int &lo, int &hi) {
        lo = 10000, hi = -1;
        for (int y = y0; y <= y1; y++)
            for (int x = 0; x < 300; x++)
                if (p.at(x, y) == pixel(2))
                    lo = std::min(lo, x), hi = std::max(hi, x);
    };
    int lo1, hi1, lo2, hi2;
    extent(40 - asc, 40 + desc - 1, lo1, hi1);
    extent(40 + line - asc, 40 + line + desc - 1, lo2, hi2);
    ASSERT_GE(hi2, 0);
    EXPECT_NEAR(lo2 - 20, (w1 - w2) / 2, 3);
    EXPECT_NEAR((lo1 + hi1) / 2.0, (lo2 + hi2) / 2.0, 4);
}

TEST_F(X11, FontSetUnderUtf8AndItsFailure)
{
    if (!setlocale(LC_ALL, "C.UTF-8") || !XSupportsLocale())
        GTEST_SKIP() << "no UTF-8 locale";
    XSetLocaleModifiers("");
    pixmap(300, 150);
    GFont f{};
    f.flags = GF_NAME | GF_NLS;
    f.nls = 1;
    f.name = const_cast<char *>("-misc-fixed-medium-r-normal--13-*-*-*-*-*-*-*");
    gfont_GReplaceFont(dev->tables[GT_FONTS], &f, 0);
    GTextModes tm = cv->text;
    tm.font = 0;
    tm.colour = 2;
    CaptureStderr();
    EXPECT_EQ(GSetTextModes(cv, GTM_FONT | GTM_COLOUR, &tm), 0);
    GetCapturedStderr();
    GXCanvasPart *cp = static_cast<GXCanvasPart *>(cv->driver);
    EXPECT_EQ(cp->nls, 1);
    ASSERT_NE(cp->fontset, nullptr);
    Pts at{20, 50};
    EXPECT_EQ(ep()->PutText(cv, "gr\xc3\xbc\xc3\x9f", &at), 0);
    XSync(display(), False);
    EXPECT_GT(picture().count(pixel(2), 20, 30, 120, 55), 5);
    short c[8];
    ASSERT_EQ(ep()->GetRelativeTextLimits(cv, "ab", c), 0);
    EXPECT_GT(c[4], 0);
    EXPECT_EQ(c[1], -c[3]);

    // A font set that cannot be made: 4,7, the entry's nls cleared for good.
    f.name = const_cast<char *>("-nobody-noset-*-*-*--*-*-*-*-*-*-*-*");
    gfont_GReplaceFont(dev->tables[GT_FONTS], &f, 0);
    CaptureStderr();
    GSetTextModes(cv, GTM_FONT, &tm);
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("(4,7)"), std::string::npos) << err;
    EXPECT_EQ(gfont_GGetFont(dev->tables[GT_FONTS], 0)->nls, 0);
    EXPECT_EQ(cp->nls, 0);
    EXPECT_NE(cp->font, nullptr);  // drawing goes on in "fixed"
    setlocale(LC_ALL, "C");
}

// ---- colour cells --------------------------------------------------------

GList *map0() { return gcolmap_GGetColourMap(nullptr, 0)->colours; }

void expect_cells(Display *d, Colormap cm, GList *colours)
{
    long n = GGetNumColoursIn(colours);
    std::vector<XColor> xc(static_cast<size_t>(n));
    for (long i = 0; i < n; i++) {
        ASSERT_GE(gcolour_GGetColour(colours, i)->pixel, 0) << i;
        xc[static_cast<size_t>(i)].pixel = static_cast<unsigned long>(gcolour_GGetColour(colours, i)->pixel);
    }
    XQueryColors(d, cm, xc.data(), static_cast<int>(n));
    for (long i = 0; i < n; i++) {
        const GColour *c = gcolour_GGetColour(colours, i);
        EXPECT_EQ(xc[size_t(i)].red >> 8, c->red >> 8) << i;
        EXPECT_EQ(xc[size_t(i)].blue >> 8, c->blue >> 8) << i;
    }
}

TEST_F(X11, ColourCellsOnPseudoColor)
{
    if (visual_class() != PseudoColor)
        GTEST_SKIP() << "needs an 8-bit PseudoColor server";
    // Forty colours: writable cells in the library's map, freed again.
    gcolmap_GPruneColourMap(nullptr, 0, 40);
    pixmap(50, 50);
    GXDevicePart *part = static_cast<GXDevicePart *>(dev->driver);
    EXPECT_EQ(part->usable_colours, 40);
    ASSERT_EQ(GXAllocateColours(dev, map0()), 0);
    EXPECT_EQ(gcolmap_GIsPrivateColourMap(), 0);
    expect_cells(display(), part->colourmap, map0());
    GColour *c5 = gcolour_GGetColour(map0(), 5);
    c5->red = 0x1200;
    c5->blue = 0xAB00;
    EXPECT_EQ(gxbits_GXSetColours(dev, map0(), 5, 1), 0);
    expect_cells(display(), part->colourmap, map0());
    EXPECT_EQ(GXFreeColours(dev, map0()), 1);
    for (long i = 0; i < 40; i++)
        EXPECT_EQ(gcolour_GGetColour(map0(), i)->pixel, -1) << i;
}

TEST_F(X11, PseudoColorFallsBackToPrivateCells)
{
    if (visual_class() != PseudoColor)
        GTEST_SKIP() << "needs an 8-bit PseudoColor server";
    // All 128 colours do not fit beside the cells the library reserved:
    // the kernel is switched to the private map.
    pixmap(50, 50);
    GXDevicePart *part = static_cast<GXDevicePart *>(dev->driver);
    ASSERT_EQ(part->usable_colours, 128);
    ASSERT_EQ(GXAllocateColours(dev, map0()), 0);
    EXPECT_EQ(gcolmap_GIsPrivateColourMap(), 1);
    EXPECT_NE(part->colourmap, DefaultColormap(display(), DefaultScreen(display())));
    expect_cells(display(), part->colourmap, map0());
    EXPECT_EQ(GXFreeColours(dev, map0()), 0);  // private cells stay
}

TEST_F(X11, PseudoColorWithoutCellsDrawsWhiteAndBlack)
{
    if (visual_class() != PseudoColor)
        GTEST_SKIP() << "needs an 8-bit PseudoColor server";
    gcolmap_GPruneColourMap(nullptr, 0, 20);
    pixmap(50, 50);
    EXPECT_EQ(GXAllocateColours(dev, map0()), -1);  // twenty colours: refused
    // Another client takes every free cell of the default map.
    Display *hog = XOpenDisplay(nullptr);
    Colormap cm = DefaultColormap(hog, DefaultScreen(hog));
    unsigned long cell;
    while (XAllocColorCells(hog, cm, False, nullptr, 0, &cell, 1)) {
    }
    GColour odd{};
    odd.red = 0x1234;
    odd.green = 0x5678;
    odd.blue = 0x9abc;
    odd.pixel = -1;
    gcolour_GAddMoreColour(dev->tables[GT_COLOURS], &odd);
    odd.red = odd.green = odd.blue = 0;
    gcolour_GAddMoreColour(dev->tables[GT_COLOURS], &odd);
    glist_GIndexList(dev->tables[GT_COLOURS]);
    long n = GGetNumColours(dev);
    EXPECT_EQ(pixel(n - 2), WhitePixel(display(), DefaultScreen(display())));
    EXPECT_EQ(pixel(n - 1), BlackPixel(display(), DefaultScreen(display())));
    XCloseDisplay(hog);
}

TEST_F(X11, TrueColorGivesSharedPixels)
{
    if (visual_class() != TrueColor)
        GTEST_SKIP() << "needs a TrueColor server";
    pixmap(50, 50);
    ASSERT_EQ(GXAllocateColours(dev, map0()), 0);
    GXDevicePart *part = static_cast<GXDevicePart *>(dev->driver);
    expect_cells(display(), part->colourmap, map0());
    // Read-only cells cannot be stored into: a changed colour gets a pixel
    // of its own afresh.
    GColour *c2 = gcolour_GGetColour(map0(), 2);
    int64_t before = c2->pixel;
    c2->red = 0xFF00, c2->green = 0, c2->blue = 0x4000;
    EXPECT_EQ(gxbits_GXSetColours(dev, map0(), 0, 4), 0);
    EXPECT_NE(c2->pixel, before);
    expect_cells(display(), part->colourmap, map0());
    EXPECT_EQ(gcolmap_GIsColourMapWorthIt(), 0);
    GCloseDevice(dev);
    dev = nullptr;

    GColourMapParams(1, 0, 1);
    gcolmap_GPruneColourMap(nullptr, 0, 20);
    pixmap(50, 50);
    EXPECT_EQ(GXAllocateColours(dev, map0()), -1);  // too few colours
}

// ---- pointer -------------------------------------------------------------

TEST_F(X11, SamplePointerAnswersOverAChildOnly)
{
    dev = open();
    ASSERT_NE(dev, nullptr);
    Display *d = display();
    Window child = XCreateSimpleWindow(d, drawable(), 100, 50, 80, 60, 0, 0, 0);
    XMapWindow(d, child);
    XSync(d, False);
    // Other tests share the server and its pointer: warp and sample until
    // the answer settles, within a bound.
    GPointerSample s{};
    int r = 1;
    auto sample_at = [&](Window w, int x, int y) {
        return vxtest::wait_for(
            [&] {
                XRaiseWindow(d, drawable());
                XWarpPointer(d, None, w, 0, 0, 0, 0, x, y);
                XSync(d, False);
                r = ep()->SamplePointer(dev, &s);
                return w == child ? r == 0 && s.x == 107 && s.y == 59 : r == -1 && s.x == 20 && s.y == 20;
            },
            std::chrono::seconds(10));
    };
    EXPECT_TRUE(sample_at(child, 7, 9));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(s.x, 107);
    EXPECT_EQ(s.y, 59);
    EXPECT_TRUE(sample_at(drawable(), 20, 20));
    EXPECT_EQ(r, -1);
    EXPECT_EQ(s.x, 20);
}

}  // namespace
