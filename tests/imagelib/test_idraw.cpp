// Drawing primitives, checked on the pixels a PNG file of the picture holds.
#include "ilib_test.h"

#include <climits>
#include <cmath>
#include <functional>

namespace {

struct LineCase {
    const char *what;
    int w, h;
    int width, style;
    int x1, y1, x2, y2;
    std::string picture;
};

TEST(Lines, WalkWidthsAndDashes)
{
    const LineCase cases[] = {
        {"leftwards equals rightwards", 7, 6, 1, 0, 5, 5, 0, 5, rows({".......", ".......", ".......", ".......", ".......", "######."})},
        {"rightwards", 7, 6, 1, 0, 0, 5, 5, 5, rows({".......", ".......", ".......", ".......", ".......", "######."})},
        {"dashed: three on, three off", 13, 1, 1, 1, 0, 0, 12, 0, rows({"###...###...#"})},
        {"width 2 dot plots nothing", 3, 3, 2, 0, 1, 1, 1, 1, rows({"...", "...", "..."})},
        {"width 0 dot", 3, 3, 0, 0, 1, 1, 1, 1, rows({"...", ".#.", "..."})},
        {"vertical runs downwards", 4, 5, 1, 0, 2, 4, 2, 0, rows({"..#.", "..#.", "..#.", "..#.", "..#."})},
        {"steep", 3, 5, 1, 0, 0, 0, 2, 4, rows({"#..", "#..", ".#.", ".#.", "..#"})},
        {"steep upwards", 3, 5, 1, 0, 0, 4, 2, 0, rows({"..#", ".#.", ".#.", "#..", "#.."})},
        {"shallow", 5, 3, 1, 0, 0, 0, 4, 2, rows({"##...", "..##.", "....#"})},
        {"width 2", 5, 4, 2, 0, 1, 2, 3, 2, rows({".....", ".###.", ".###.", "....."})},
        {"width 3", 5, 4, 3, 0, 2, 2, 3, 2, rows({".....", "...##", "..##.", "...#."})},
        {"width 5: one pixel wide, no first pixel", 5, 2, 5, 0, 0, 1, 4, 1, rows({".....", ".####"})},
        {"far outside the int range", 5, 3, 1, 0, INT_MIN, 1, INT_MAX, 1, rows({".....", "#####", "....."})},
        {"vertical from far away", 3, 3, 1, 0, 1, INT_MIN, 1, INT_MAX, rows({".#.", ".#.", ".#."})},
        {"steep from far away", 3, 3, 1, 0, 0, -2000000000, 0, 2000000000, rows({"#..", "#..", "#.."})},
    };
    for (const LineCase &c : cases) {
        Image im = new_image(c.w, c.h);
        GC gc = new_gc();
        ISetLineWidth(gc.get(), c.width);
        ISetLineStyle(gc.get(), c.style);
        EXPECT_EQ(IDrawLine(im.get(), gc.get(), c.x1, c.y1, c.x2, c.y2), 0) << c.what;
        Image back = png_round_trip(im.get());
        ASSERT_TRUE(back);
        EXPECT_EQ(art(back.get()), c.picture) << c.what;
    }
}

TEST(Lines, DashPhaseOnSteepLines)
{
    // The dash period stretches with the slope (3 + 0.41 / k for slopes
    // 1..10): at 45 degrees the steps 1-3 and 7-9 show (period 3.41), and
    // the first pixel comes before the counting.
    Image im = new_image(10, 10);
    GC gc = new_gc();
    ISetLineStyle(gc.get(), 1);
    IDrawLine(im.get(), gc.get(), 0, 0, 9, 9);
    std::string diag;
    for (int i = 0; i < 10; i++)
        diag += ink(im.get(), i, i) ? '#' : '.';
    EXPECT_EQ(diag, "####...###");
}

TEST(Rectangles, FillStopsAtEdges)
{
    Image im = new_image(6, 4);
    GC gc = new_gc();
    EXPECT_EQ(IFillRectangle(im.get(), gc.get(), 4, 2, 10, 10), 0);
    EXPECT_EQ(IFillRectangle(im.get(), gc.get(), -3, -3, 4, 4), 0);
    EXPECT_EQ(IFillRectangle(im.get(), gc.get(), 2, 0, 0, 3), 0);   // empty
    EXPECT_EQ(IFillRectangle(im.get(), gc.get(), 2, 0, -2, 3), 0);  // empty
    Image back = png_round_trip(im.get());
    EXPECT_EQ(art(back.get()), rows({"#.....", "......", "....##", "....##"}));
}

TEST(Polygons, ScanLineFill)
{
    struct {
        const char *what;
        int w, h;
        std::vector<int> points;
        std::string picture;
    } cases[] = {
        {"triangle", 5, 5, {0, 0, 4, 0, 0, 4}, rows({"#####", "####.", "###..", "##...", "#...."})},
        {"U shape is filled across its gap",
         7,
         6,
         {0, 0, 2, 0, 2, 3, 4, 3, 4, 0, 6, 0, 6, 5, 0, 5},
         rows({"#######", "#######", "#######", "#######", "#######", "#######"})},
        {"square beyond the image", 3, 3, {-2000000000, -5, 2000000000, -5, 2000000000, 1, -2000000000, 1},
         rows({"###", "###", "..."})},
        {"one point", 3, 3, {1, 1}, rows({"...", "...", "..."})},
    };
    for (auto &c : cases) {
        Image im = new_image(c.w, c.h);
        GC gc = new_gc();
        ISetLineWidth(gc.get(), 3);
        EXPECT_EQ(IFillPolygon(im.get(), gc.get(), c.points.data(), static_cast<int>(c.points.size() / 2)), 0)
            << c.what;
        EXPECT_EQ(gc->line_width, 3) << c.what << ": the GC's width comes back";
        Image back = png_round_trip(im.get());
        EXPECT_EQ(art(back.get()), c.picture) << c.what;
    }
    Image im = new_image(2, 2);
    GC gc = new_gc();
    EXPECT_EQ(IFillPolygon(im.get(), gc.get(), nullptr, 0), 0);
    EXPECT_EQ(IFillPolygon(im.get(), gc.get(), nullptr, 3), IERR_INVALID_ARGUMENT);
}

TEST(Arcs, QuarterDiscOutlineAndPieSlice)
{
    // Angles run counter-clockwise from three o'clock; y grows downwards, so
    // 0..90 degrees is the upper right quarter.
    // Points are truncated toward the centre, so the rim reaches the full
    // radius only at exact angles (here 0 and 90 degrees).
    const std::string fill = rows({
        ".....#.....",
        ".....###...",
        ".....####..",
        ".....#####.",
        ".....#####.",
        ".....######",
        "...........",
        "...........",
        "...........",
        "...........",
        "...........",
    });
    const std::string outline = rows({
        ".....#.....",
        ".....###...",
        "........#..",
        ".........#.",
        ".........#.",
        ".........##",
        "...........",
        "...........",
        "...........",
        "...........",
        "...........",
    });
    const std::string slice = rows({
        ".....#.....",
        ".....###...",
        ".....#..#..",
        ".....#...#.",
        ".....#...#.",
        ".....######",
        "...........",
        "...........",
        "...........",
        "...........",
        "...........",
    });
    struct {
        const char *what;
        int (*draw)(IImage *, IGC *, int, int, int, int, double, double);
        const std::string &picture;
    } cases[] = {
        {"fill", IFillArc, fill},
        {"outline", IDrawArc, outline},
        {"enclosed", IDrawEnclosedArc, slice},
    };
    for (auto &c : cases) {
        Image im = new_image(11, 11);
        GC gc = new_gc();
        EXPECT_EQ(c.draw(im.get(), gc.get(), 5, 5, 5, 5, 0.0, 90.0), 0) << c.what;
        Image back = png_round_trip(im.get());
        EXPECT_EQ(art(back.get()), c.picture) << c.what;
    }
}

TEST(Arcs, WholeDiscAndEllipse)
{
    Image im = new_image(9, 9);
    GC gc = new_gc();
    EXPECT_EQ(IFillArc(im.get(), gc.get(), 4, 4, 4, 4, 0.0, 360.0), 0);
    EXPECT_EQ(art(im.get()), rows({
                                 "....#....",
                                 "..#####..",
                                 ".#######.",
                                 ".#######.",
                                 "#########",
                                 ".#######.",
                                 ".#######.",
                                 "..#####..",
                                 "....#....",
                             }));
    // An outline leaves the inside alone; an ellipse takes both radii.
    Image e = new_image(11, 5);
    EXPECT_EQ(IDrawArc(e.get(), gc.get(), 5, 2, 5, 2, 0.0, 360.0), 0);
    EXPECT_EQ(art(e.get()), rows({
                                "...........",
                                ".#########.",
                                ".#.......##",
                                ".#########.",
                                "...........",
                            }));
}

TEST(Arcs, BadAngles)
{
    Image im = new_image(4, 4);
    GC gc = new_gc();
    EXPECT_EQ(IDrawArc(im.get(), gc.get(), 2, 2, 2, 2, NAN, 90.0), IERR_INVALID_ARGUMENT);
    EXPECT_EQ(IFillArc(im.get(), gc.get(), 2, 2, 2, 2, 0.0, INFINITY), IERR_INVALID_ARGUMENT);
    EXPECT_EQ(IDrawEnclosedArc(im.get(), gc.get(), 2, 2, 2, 2, 0.0, 1e12), IERR_INVALID_ARGUMENT);
    EXPECT_EQ(art(im.get()), rows({"....", "....", "....", "...."}));
    // A huge radius still ends, with the disc covering the image.
    EXPECT_EQ(IFillArc(im.get(), gc.get(), 2, 2, 2000000000, 2000000000, 0.0, 360.0), 0);
    EXPECT_EQ(art(im.get()), rows({"####", "####", "####", "####"}));
}

TEST(Clipping, EveryPrimitiveStaysInsideTheClip)
{
    Image src = new_image(10, 10);
    GC black = new_gc();
    IFillRectangle(src.get(), black.get(), 0, 0, 10, 10);
    int tri[] = {-5, -5, 20, -5, -5, 20};
    struct {
        const char *what;
        std::function<int(IImage *, IGC *)> draw;
    } cases[] = {
        {"points", [](IImage *i, IGC *g) {
             for (int y = 0; y < 10; y++)
                 for (int x = 0; x < 10; x++)
                     IDrawPoint(i, g, x, y);
             return 0;
         }},
        {"lines", [](IImage *i, IGC *g) {
             ISetLineWidth(g, 3);
             for (int y = -2; y < 12; y++)
                 IDrawLine(i, g, -5, y, 15, y + 3);
             return 0;
         }},
        {"rectangle", [](IImage *i, IGC *g) { return IFillRectangle(i, g, 0, 0, 10, 10); }},
        {"polygon", [&](IImage *i, IGC *g) { return IFillPolygon(i, g, tri, 3); }},
        {"arc", [](IImage *i, IGC *g) { return IFillArc(i, g, 5, 5, 8, 8, 0, 360); }},
        {"copy", [&](IImage *i, IGC *g) { return ICopyImage(src.get(), i, g, 0, 0, 10, 10, 0, 0); }},
        {"scaled copy", [&](IImage *i, IGC *g) { return ICopyImageScaled(src.get(), i, g, 0, 0, 5, 5, 0, 0, 10, 10); }},
    };
    for (auto &c : cases) {
        Image im = new_image(10, 10);
        GC gc = new_gc();
        IImageClipOn(im.get(), 6, 6, 3, 3);
        EXPECT_EQ(c.draw(im.get(), gc.get()), 0) << c.what;
        Image back = png_round_trip(im.get());
        EXPECT_EQ(art(back.get()), rows({
                                       "..........",
                                       "..........",
                                       "..........",
                                       "...####...",
                                       "...####...",
                                       "...####...",
                                       "...####...",
                                       "..........",
                                       "..........",
                                       "..........",
                                   }))
            << c.what;
    }
}

TEST(Copies, TransparencyGreyAndScaling)
{
    GC gc = new_gc();
    int green = IAllocColor(0, 255, 0), red = IAllocColor(255, 0, 0), blue = IAllocColor(0, 0, 255);
    ISetForeground(gc.get(), green);

    // A source with white made transparent keeps the destination there.
    Image src = new_image(3, 1);
    GC pen = new_gc();
    ISetForeground(pen.get(), red);
    IDrawPoint(src.get(), pen.get(), 0, 0);
    ISetForeground(pen.get(), blue);
    IDrawPoint(src.get(), pen.get(), 2, 0);
    ISetTransparent(src.get(), 1);
    Image dst = new_image(4, 1);
    IFillRectangle(dst.get(), gc.get(), 0, 0, 4, 1);
    EXPECT_EQ(ICopyImage(src.get(), dst.get(), gc.get(), 0, 0, 3, 1, 1, 0), 0);
    Image back = png_round_trip(dst.get());
    EXPECT_EQ(rgb(back.get(), 0, 0), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(rgb(back.get(), 1, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(rgb(back.get(), 2, 0), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(rgb(back.get(), 3, 0), (std::array<int, 3>{0, 0, 255}));
    // The GC's own foreground comes back after the copy.
    EXPECT_EQ(gc->foreground.handle, green);

    // A grey source pixel v copies as (v, v, v).
    Image grey = new_image(1, 1, IIMAGE_GREY);
    grey->pixels[0] = 77;
    Image rgbdst = new_image(1, 1);
    EXPECT_EQ(ICopyImage(grey.get(), rgbdst.get(), gc.get(), 0, 0, 1, 1, 0, 0), 0);
    EXPECT_EQ(rgb(rgbdst.get(), 0, 0), (std::array<int, 3>{77, 77, 77}));

    // Scaling samples the nearest source pixel below.
    Image quad = new_image(2, 2);
    ISetForeground(pen.get(), red);
    IDrawPoint(quad.get(), pen.get(), 1, 0);
    ISetForeground(pen.get(), blue);
    IDrawPoint(quad.get(), pen.get(), 0, 1);
    Image big = new_image(5, 4);
    EXPECT_EQ(ICopyImageScaled(quad.get(), big.get(), gc.get(), 0, 0, 2, 2, 1, 0, 4, 4), 0);
    Image bigback = png_round_trip(big.get());
    for (int y = 0; y < 4; y++)
        for (int x = 1; x < 5; x++) {
            std::array<int, 3> want = x >= 3 && y < 2   ? std::array<int, 3>{255, 0, 0}
                                      : x < 3 && y >= 2 ? std::array<int, 3>{0, 0, 255}
                                                        : std::array<int, 3>{255, 255, 255};
            EXPECT_EQ(rgb(bigback.get(), x, y), want) << x << "," << y;
        }
}

TEST(Copies, SourceRectangleBeyondTheSource)
{
    // Only the part of the source rectangle that lies in the source image
    // is copied; the rest leaves the destination as it was.
    GC gc = new_gc();
    Image src = new_image(2, 2);
    IFillRectangle(src.get(), gc.get(), 0, 0, 2, 2);
    Image dst = new_image(4, 4);
    EXPECT_EQ(ICopyImage(src.get(), dst.get(), gc.get(), -1, -1, 4, 4, 0, 0), 0);
    EXPECT_EQ(art(dst.get()), rows({"....", ".##.", ".##.", "...."}));
    Image dst2 = new_image(4, 4);
    EXPECT_EQ(ICopyImageScaled(src.get(), dst2.get(), gc.get(), 1, 1, 4, 4, 0, 0, 4, 4), 0);
    EXPECT_EQ(art(dst2.get()), rows({"#...", "....", "....", "...."}));
    EXPECT_EQ(ICopyImageScaled(src.get(), dst2.get(), gc.get(), 0, 0, 0, 2, 0, 0, 4, 4), IERR_INVALID_ARGUMENT);
    EXPECT_EQ(ICopyImageScaled(src.get(), dst2.get(), gc.get(), 0, 0, 2, 2, 0, 0, -4, 4), IERR_INVALID_ARGUMENT);
}

TEST(GreyImages, DrawingStoresTheRedComponent)
{
    Image im = new_image(3, 1, IIMAGE_GREY);
    GC gc = new_gc();
    ISetForeground(gc.get(), IAllocColor(90, 10, 200));
    IDrawLine(im.get(), gc.get(), 0, 0, 1, 0);
    EXPECT_EQ(im->pixels[0], 90);
    EXPECT_EQ(im->pixels[1], 90);
    EXPECT_EQ(im->pixels[2], 255);
}

}  // namespace
