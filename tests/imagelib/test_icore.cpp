// Colours, graphics contexts, images, error texts and the format dispatch.
#include "ilib_test.h"
#include "vxcat.h"

#include <cstring>
#include <functional>

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

TEST(Colours, AllocationAndBadComponents)
{
    int a = IAllocColor(10, 20, 30);
    int b = IAllocColor(10, 20, 30);
    EXPECT_GE(a, 2);  // 0 and 1 are built in
    EXPECT_NE(a, b);

    CaptureStderr();
    EXPECT_EQ(IAllocColor(256, 0, 0), 0);
    EXPECT_EQ(GetCapturedStderr(), "Bad color: 256/0/0\n");
    CaptureStderr();
    EXPECT_EQ(IAllocColor(0, -1, 0), 0);
    EXPECT_EQ(GetCapturedStderr(), "Bad color: 0/-1/0\n");
    // A refused allocation takes no handle.
    EXPECT_EQ(IAllocColor(1, 2, 3), b + 1);

    IColor *c = IGetColor(a);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->magic, IMAGIC_COLOR);
    EXPECT_EQ(c->handle, a);
    EXPECT_EQ((std::array<int, 3>{c->red, c->green, c->blue}), (std::array<int, 3>{10, 20, 30}));
}

TEST(Colours, FreeingAndBuiltIns)
{
    EXPECT_EQ(IFreeColor(0), 0);
    EXPECT_EQ(IFreeColor(1), IERR_INVALID_COLOR);
    EXPECT_EQ(IFreeColor(-5), IERR_INVALID_COLOR);
    EXPECT_EQ(IFreeColor(INumColors()), IERR_INVALID_COLOR);
    ASSERT_NE(IGetColor(1), nullptr);
    EXPECT_EQ(IGetColor(1)->red, 255);
    EXPECT_EQ(IGetColor(INumColors()), nullptr);

    int h = IAllocColor(1, 1, 1);
    EXPECT_EQ(IFreeColor(h), 0);
    EXPECT_EQ(IGetColor(h), nullptr);
    EXPECT_EQ(IFreeColor(h), IERR_INVALID_COLOR);
    // Freed handles are never handed out again.
    EXPECT_GT(IAllocColor(1, 1, 1), h);

    GC gc = new_gc();
    EXPECT_EQ(ISetForeground(gc.get(), 1), 0);
    EXPECT_EQ(ISetForeground(gc.get(), h), IERR_INVALID_COLOR);
}

TEST(Colours, FreedColourStaysValidInAGC)
{
    // The GC keeps the colour it was given, whatever becomes of the handle.
    Image im = new_image(3, 1);
    GC gc = new_gc();
    int h = IAllocColor(200, 10, 20);
    ASSERT_EQ(ISetForeground(gc.get(), h), 0);
    ASSERT_EQ(IFreeColor(h), 0);
    IColor *other = IGetColor(IAllocColor(0, 0, 255));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(IDrawPoint(im.get(), gc.get(), 1, 0), 0);
    EXPECT_EQ(rgb(im.get(), 1, 0), (std::array<int, 3>{200, 10, 20}));
}

TEST(Colours, NamedColours)
{
    struct {
        const char *name;
        int rc;
        std::array<int, 3> value;
    } cases[] = {
        {"Light Grey", 0, {211, 211, 211}},
        {"lightgrey", 0, {211, 211, 211}},
        {"gray", 0, {190, 190, 190}},
        {"grey", 0, {190, 190, 190}},
        {"navy", 0, {0, 0, 128}},
        {"Navy Blue", 0, {0, 0, 128}},
        {"orange", 0, {255, 165, 0}},
        {"ALICE BLUE", 0, {240, 248, 255}},
        {"yellowgreen", 0, {154, 205, 50}},
        {"grey50", IERR_INVALID_COLOR_NAME, {}},
        {"", IERR_INVALID_COLOR_NAME, {}},
        {"orangex", IERR_INVALID_COLOR_NAME, {}},
    };
    for (auto &c : cases) {
        int before = INumColors();
        int h = -1;
        EXPECT_EQ(IAllocNamedColor(c.name, &h), c.rc) << c.name;
        if (c.rc) {
            EXPECT_EQ(INumColors(), before) << c.name;
            continue;
        }
        IColor *col = IGetColor(h);
        ASSERT_NE(col, nullptr) << c.name;
        EXPECT_EQ((std::array<int, 3>{col->red, col->green, col->blue}), c.value) << c.name;
    }
}

TEST(Errors, Texts)
{
    struct {
        int code;
        const char *text;
    } cases[] = {
        {0, "error"},
        {-1, "error"},
        {22, "error"},
        {1, "Invalid image"},
        {4, "No transparent color set"},
        {9, "Error writing file"},
        {14, "Invalid escape sequence in text"},
        {16, "Invalid color name"},
        {17, "GIF Error: 0"},
        {19, "Unknown PNG error"},
        {21, "Invalid polygon (only convex non-intersecting are supported)"},
    };
    for (auto &c : cases)
        EXPECT_STREQ(IErrorString(c.code), c.text) << c.code;
}

TEST(Errors, TextsFromTheCatalogue)
{
    // A catalogue of another language: its texts replace the built-in ones,
    // and a text whose conversion does not fit is not used.
    std::string dir = testing::TempDir();
    std::string msg = dir + "/imagelib-test.msg", cat = dir + "/imagelib-test.cat";
    FILE *f = fopen(msg.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("$quote \"\n$set 1\n1 \"Information\"\n$set 50\n5 \"Police invalide\"\n"
          "17 \"Erreur GIF : %d\"\n$set 51\n1 \"erreur\"\n2 \"Mauvaise couleur %s\\n\"\n",
          f);
    fclose(f);
    remove(cat.c_str());
    ASSERT_EQ(system(("gencat " + cat + " " + msg).c_str()), 0);
    nl_catd cd = nl_catopen(cat.c_str(), 0);
    ASSERT_NE(cd, NL_NO_CATALOGUE);
    ISetCatalogue(cd);
    EXPECT_STREQ(IErrorString(5), "Police invalide");
    EXPECT_STREQ(IErrorString(17), "Erreur GIF : 0");
    EXPECT_STREQ(IErrorString(99), "erreur");
    EXPECT_STREQ(IErrorString(6), "Function not implemented");  // not in it
    CaptureStderr();
    EXPECT_EQ(IAllocColor(300, 0, 0), 0);
    EXPECT_EQ(GetCapturedStderr(), "Bad color: 300/0/0\n");
    ISetCatalogue(NL_NO_CATALOGUE);
    nl_catclose(cd);
    EXPECT_STREQ(IErrorString(5), "Invalid font");
    remove(msg.c_str());
    remove(cat.c_str());
}

TEST(Images, CreationAndProperties)
{
    Image im = new_image(2, 1);
    ASSERT_TRUE(im);
    EXPECT_EQ(memcmp(im->pixels, "\xff\xff\xff\xff\xff\xff", 6), 0);
    EXPECT_EQ(IImageWidth(im.get()), 2);
    EXPECT_EQ(IImageHeight(im.get()), 1);
    EXPECT_EQ(im->grey, 0);
    EXPECT_EQ(im->clip, 0);

    Image grey = new_image(3, 2, IIMAGE_GREY);
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->grey, 1);

    // Sizes that cannot be held give no image, and no image has no size.
    EXPECT_EQ(ICreateImage(-1, 5, 0), nullptr);
    EXPECT_EQ(ICreateImage(5, -1, 0), nullptr);
    EXPECT_EQ(IImageWidth(nullptr), 0);
    EXPECT_EQ(IImageHeight(nullptr), 0);

    EXPECT_EQ(IImageClipOn(im.get(), 5, 6, 1, 2), 0);
    EXPECT_EQ(im->clip, 1);
    EXPECT_EQ((std::array<int, 4>{im->clip_x1, im->clip_y1, im->clip_x2, im->clip_y2}),
              (std::array<int, 4>{1, 2, 5, 6}));
    EXPECT_EQ(IImageClipOff(im.get()), 0);
    EXPECT_EQ(im->clip, 0);
}

TEST(Images, CommentTransparencyAndDuplicate)
{
    Image im = new_image(2, 2);
    const char *text = "x";
    EXPECT_EQ(IGetComment(im.get(), &text), 0);
    EXPECT_EQ(text, nullptr);
    std::string mine = "first";
    EXPECT_EQ(ISetComment(im.get(), mine.c_str()), 0);
    mine = "changed";  // the image keeps its own copy
    EXPECT_EQ(IGetComment(im.get(), &text), 0);
    EXPECT_STREQ(text, "first");
    EXPECT_EQ(ISetComment(im.get(), nullptr), 0);
    EXPECT_EQ(IGetComment(im.get(), &text), 0);
    EXPECT_EQ(text, nullptr);

    int h = -1;
    EXPECT_EQ(IGetTransparent(im.get(), &h), IERR_NO_TRANSPARENT);
    EXPECT_EQ(ISetTransparent(im.get(), INumColors() + 3), IERR_INVALID_COLOR);
    int red = IAllocColor(255, 0, 0);
    EXPECT_EQ(ISetTransparent(im.get(), red), 0);
    EXPECT_EQ(IGetTransparent(im.get(), &h), 0);
    EXPECT_EQ(h, red);

    GC gc = new_gc();
    ISetForeground(gc.get(), red);
    IDrawPoint(im.get(), gc.get(), 1, 1);
    IImage *copy = nullptr;
    ASSERT_EQ(IDuplicateImage(im.get(), &copy), 0);
    Image owned(copy);
    EXPECT_EQ(art(copy), art(im.get()));
    EXPECT_EQ(IGetTransparent(copy, &h), 0);
    EXPECT_EQ(h, red);
    EXPECT_EQ(IDuplicateImage(nullptr, &copy), IERR_INVALID_IMAGE);
}

TEST(Objects, MissingOrWrongObjectsGiveTheirKindsCode)
{
    Image im = new_image(4, 4);
    GC gc = new_gc();
    // A GC passed where an image belongs (and the other way round) is caught
    // by its magic number.
    IImage *not_image = reinterpret_cast<IImage *>(gc.get());
    IGC *not_gc = reinterpret_cast<IGC *>(im.get());
    IFont *not_font = reinterpret_cast<IFont *>(gc.get());
    int pts[] = {0, 0, 3, 0, 0, 3};
    struct {
        const char *what;
        std::function<int()> call;
        int rc;
    } cases[] = {
        {"point, no image", [&] { return IDrawPoint(nullptr, gc.get(), 0, 0); }, IERR_INVALID_IMAGE},
        {"point, wrong image", [&] { return IDrawPoint(not_image, gc.get(), 0, 0); }, IERR_INVALID_IMAGE},
        {"point, wrong gc", [&] { return IDrawPoint(im.get(), not_gc, 0, 0); }, IERR_INVALID_GC},
        {"gc tested first", [&] { return IDrawLine(nullptr, nullptr, 0, 0, 1, 1); }, IERR_INVALID_GC},
        {"rectangle", [&] { return IFillRectangle(not_image, gc.get(), 0, 0, 1, 1); }, IERR_INVALID_IMAGE},
        {"polygon", [&] { return IFillPolygon(im.get(), nullptr, pts, 3); }, IERR_INVALID_GC},
        {"arc", [&] { return IFillArc(not_image, gc.get(), 1, 1, 1, 1, 0, 90); }, IERR_INVALID_IMAGE},
        {"copy", [&] { return ICopyImage(im.get(), not_image, gc.get(), 0, 0, 1, 1, 0, 0); }, IERR_INVALID_IMAGE},
        {"scaled copy", [&] { return ICopyImageScaled(im.get(), im.get(), not_gc, 0, 0, 1, 1, 0, 0, 2, 2); },
         IERR_INVALID_GC},
        {"foreground", [&] { return ISetForeground(not_gc, 0); }, IERR_INVALID_GC},
        {"background", [&] { return ISetBackground(nullptr, 0); }, IERR_INVALID_GC},
        {"line width", [&] { return ISetLineWidth(not_gc, 2); }, IERR_INVALID_GC},
        {"line style", [&] { return ISetLineStyle(nullptr, 1); }, IERR_INVALID_GC},
        {"text style", [&] { return ISetTextStyle(not_gc, 1); }, IERR_INVALID_GC},
        {"font, wrong", [&] { return ISetFont(gc.get(), not_font); }, IERR_INVALID_FONT},
        {"font, none", [&] { return ISetAntiAliasedFont(gc.get(), nullptr); }, IERR_INVALID_FONT},
        {"free gc, wrong", [&] { return IFreeGC(not_gc); }, IERR_INVALID_GC},
        {"free gc, none", [&] { return IFreeGC(nullptr); }, 0},
        {"free image, wrong", [&] { return IFreeImage(not_image); }, IERR_INVALID_IMAGE},
        {"free image, none", [&] { return IFreeImage(nullptr); }, 0},
        {"free font, wrong", [&] { return IFreeFont(not_font); }, IERR_INVALID_FONT},
        {"comment", [&] { return ISetComment(not_image, "x"); }, IERR_INVALID_IMAGE},
        {"transparent", [&] { return ISetTransparent(nullptr, 1); }, IERR_INVALID_IMAGE},
        {"clip", [&] { return IImageClipOn(not_image, 0, 0, 1, 1); }, IERR_INVALID_IMAGE},
        {"text", [&] { return IDrawString(not_image, gc.get(), 0, 0, "a", 1); }, IERR_INVALID_IMAGE},
        {"text, no font", [&] { return IDrawString(im.get(), gc.get(), 0, 0, "a", 1); }, IERR_NO_FONT},
        {"measure, no font", [&] { return ITextWidth(gc.get(), nullptr, "a", 1, nullptr); }, IERR_NO_FONT},
        {"write", [&] { return IWriteImageFile(stdout, not_image, IFORMAT_PNG, 0); }, IERR_INVALID_IMAGE},
    };
    for (auto &c : cases)
        EXPECT_EQ(c.call(), c.rc) << c.what;
    // Nothing above touched the image.
    EXPECT_EQ(art(im.get()), rows({"....", "....", "....", "...."}));
}

TEST(Formats, Dispatch)
{
    Image im = new_image(1, 1);
    struct {
        int format;
        bool write;
        int rc;
        const char *err;
    } cases[] = {
        {3, true, IERR_NOT_IMPLEMENTED, "IWriteImageFile: PBM format write not implemented.\n"},
        {7, true, IERR_NOT_IMPLEMENTED, "IWriteImageFile: JPEG format write not implemented.\n"},
        {9, true, IERR_INVALID_FORMAT, "IWriteImageFile: invalid format 9\n"},
        {-1, true, IERR_INVALID_FORMAT, "IWriteImageFile: invalid format -1\n"},
        {3, false, IERR_NOT_IMPLEMENTED, ""},
        {9, false, IERR_INVALID_FORMAT, "IReadImageFile: invalid format 9\n"},
    };
    FILE *f = tmpfile();
    ASSERT_NE(f, nullptr);
    for (auto &c : cases) {
        IImage *out = nullptr;
        CaptureStderr();
        int rc = c.write ? IWriteImageFile(f, im.get(), c.format, 0) : IReadImageFile(f, c.format, 0, &out);
        EXPECT_EQ(GetCapturedStderr(), c.err) << c.format;
        EXPECT_EQ(rc, c.rc) << c.format;
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(ftell(f), 0);
    fclose(f);
    EXPECT_STREQ(IFileFormats[IFORMAT_PNG].name, "PNG");
    EXPECT_STREQ(IFileFormats[IFORMAT_BMP].name, "BMP");
}

}  // namespace
