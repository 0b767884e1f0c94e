// Image files: the PNG writer's chunks and rows, failed writes, and the
// portable pixmap formats.
#include "ilib_test.h"

#include <fcntl.h>
#include <zlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

using namespace std::string_literals;

namespace {

std::string write_to_string(IImage *image, int format, int flags, int *rc)
{
    FILE *f = tmpfile();
    *rc = IWriteImageFile(f, image, format, flags);
    std::string s;
    rewind(f);
    int c;
    while ((c = getc(f)) != EOF)
        s += static_cast<char>(c);
    fclose(f);
    return s;
}

uint32_t be32(const std::string &s, size_t at)
{
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

struct Chunk {
    std::string type, data;
};

std::vector<Chunk> chunks(const std::string &png)
{
    std::vector<Chunk> out;
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n"s);
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t len = be32(png, at);
        out.push_back({png.substr(at + 4, 4), png.substr(at + 8, len)});
        at += 12 + len;
    }
    return out;
}

std::vector<std::string> types(const std::vector<Chunk> &cs)
{
    std::vector<std::string> t;
    for (auto &c : cs)
        if (t.empty() || t.back() != c.type)
            t.push_back(c.type);
    return t;
}

TEST(Png, HeaderChunksAndComment)
{
    Image im = new_image(2, 2);
    int rc;
    auto cs = chunks(write_to_string(im.get(), IFORMAT_PNG, 0, &rc));
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(types(cs), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    ASSERT_EQ(cs[0].data.size(), 13u);
    EXPECT_EQ(be32(cs[0].data, 0), 2u);            // width
    EXPECT_EQ(be32(cs[0].data, 4), 2u);            // height
    EXPECT_EQ(cs[0].data.substr(8), "\x08\x02\x00\x00\x00"s);  // depth 8, RGB, no interlace

    ISetComment(im.get(), "Vostrelane graph of 2 x 2");
    cs = chunks(write_to_string(im.get(), IFORMAT_PNG, 0, &rc));
    ASSERT_EQ(rc, 0);
    int texts = 0;
    for (auto &c : cs)
        if (c.type == "tEXt") {
            texts++;
            EXPECT_EQ(c.data, "Comment\0Vostrelane graph of 2 x 2"s);
        }
    EXPECT_EQ(texts, 1);
}

TEST(Png, RowsRunFromTheTop)
{
    // The top row red, the bottom one blue, a green pixel at the right of
    // the middle row: the file holds them in that order and place.
    Image im = new_image(3, 3);
    GC gc = new_gc();
    ISetForeground(gc.get(), IAllocColor(255, 0, 0));
    IDrawLine(im.get(), gc.get(), 0, 0, 2, 0);
    ISetForeground(gc.get(), IAllocColor(0, 0, 255));
    IDrawLine(im.get(), gc.get(), 0, 2, 2, 2);
    ISetForeground(gc.get(), IAllocColor(0, 255, 0));
    IDrawPoint(im.get(), gc.get(), 2, 1);
    Image back = png_round_trip(im.get());
    ASSERT_TRUE(back);
    EXPECT_EQ(rgb(back.get(), 1, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(rgb(back.get(), 1, 2), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(rgb(back.get(), 2, 1), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(rgb(back.get(), 0, 1), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(back->grey, 0);
}

TEST(Png, GreyImagesAreWrittenAsRgb)
{
    Image im = new_image(3, 2, IIMAGE_GREY);
    im->pixels[0] = 0;
    im->pixels[4] = 128;
    int rc;
    auto cs = chunks(write_to_string(im.get(), IFORMAT_PNG, 0, &rc));
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(uint8_t(cs[0].data[9]), 2u);  // RGB
    Image back = png_round_trip(im.get());
    EXPECT_EQ(rgb(back.get(), 0, 0), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(rgb(back.get(), 1, 1), (std::array<int, 3>{128, 128, 128}));
    EXPECT_EQ(rgb(back.get(), 2, 1), (std::array<int, 3>{255, 255, 255}));
}

TEST(Png, EveryImageIsRgbAndReadsBackExactly)
{
    // An image of n distinct colours, one a pixel in a row: whatever the
    // number of colours the file is 8-bit RGB without a palette, and every
    // pixel reads back as it was through the filtered, run-length deflate.
    struct Case {
        int colours;
        int depth, colour_type;
    } cases[] = {{1, 8, 2}, {2, 8, 2}, {17, 8, 2}, {256, 8, 2}, {257, 8, 2}, {600, 8, 2}};
    for (const Case &c : cases) {
        Image im = new_image(c.colours, 2);
        for (int x = 0; x < c.colours; x++)
            for (int y = 0; y < 2; y++) {
                unsigned char *p = im->pixels + (static_cast<size_t>(y) * c.colours + x) * 3;
                p[0] = static_cast<unsigned char>(x);
                p[1] = static_cast<unsigned char>(x >> 8);
                p[2] = 7;
            }
        int rc;
        auto cs = chunks(write_to_string(im.get(), IFORMAT_PNG, 0, &rc));
        ASSERT_EQ(rc, 0) << c.colours;
        EXPECT_EQ(uint8_t(cs[0].data[8]), c.depth) << c.colours;
        EXPECT_EQ(uint8_t(cs[0].data[9]), c.colour_type) << c.colours;
        bool plte = std::any_of(cs.begin(), cs.end(), [](const Chunk &k) { return k.type == "PLTE"; });
        EXPECT_EQ(plte, c.colour_type == 3) << c.colours;
        Image back = png_round_trip(im.get());
        ASSERT_TRUE(back) << c.colours;
        for (int x = 0; x < c.colours; x++)
            for (int y = 0; y < 2; y++)
                ASSERT_EQ(rgb(back.get(), x, y), (std::array<int, 3>{x & 255, x >> 8, 7}))
                    << c.colours << " colours, pixel " << x << "," << y;
    }
}

TEST(Png, WritesThatFailGiveTheirError)
{
    Image im = new_image(64, 64);
    // A stream open only for reading.
    FILE *ro = fopen("/dev/null", "r");
    ASSERT_NE(ro, nullptr);
    CaptureStderr();
    EXPECT_EQ(IWriteImageFile(ro, im.get(), IFORMAT_PNG, 0), IERR_PNG);
    GetCapturedStderr();
    fclose(ro);
    // A device that takes no bytes: the loss shows when the stream is
    // flushed, and is no success either.
    FILE *full = fopen("/dev/full", "w");
    if (full) {
        CaptureStderr();
        EXPECT_EQ(IWriteImageFile(full, im.get(), IFORMAT_PNG, 0), IERR_PNG);
        GetCapturedStderr();
        fclose(full);
        full = fopen("/dev/full", "w");
        EXPECT_EQ(IWriteImageFile(full, im.get(), IFORMAT_PGM, 0), IERR_WRITE);
        fclose(full);
    }
}

TEST(Png, ReaderRefusesWhatIsNotPng)
{
    FILE *f = tmpfile();
    fputs("P6\n1 1\n255\nabc", f);
    rewind(f);
    IImage *out = nullptr;
    CaptureStderr();
    EXPECT_EQ(IReadImageFile(f, IFORMAT_PNG, 0, &out), IERR_PNG);
    GetCapturedStderr();
    EXPECT_EQ(out, nullptr);
    fclose(f);
}

TEST(Portable, PlainAndRawPixmaps)
{
    Image white = new_image(1, 1);
    int rc;
    EXPECT_EQ(write_to_string(white.get(), IFORMAT_PGM, IFILE_PLAIN, &rc), "P2\n1 1\n255\n255\n");
    EXPECT_EQ(rc, 0);

    Image im = new_image(2, 1);
    GC gc = new_gc();
    ISetForeground(gc.get(), IAllocColor(30, 60, 90));
    IDrawPoint(im.get(), gc.get(), 0, 0);
    ISetComment(im.get(), "two");
    struct {
        int format, flags;
        std::string text;
    } cases[] = {
        {IFORMAT_PGM, IFILE_PLAIN, "P2\n# two\n2 1\n255\n60\n255\n"},
        {IFORMAT_PGM, 0, "P5\n# two\n2 1\n255\n<\xff"s},
        {IFORMAT_PPM, IFILE_PLAIN, "P3\n# two\n2 1\n255\n30 60 90\n255 255 255\n"},
        {IFORMAT_PPM, 0, "P6\n# two\n2 1\n255\n\x1e<Z\xff\xff\xff"s},
    };
    for (auto &c : cases) {
        EXPECT_EQ(write_to_string(im.get(), c.format, c.flags, &rc), c.text) << c.format << "/" << c.flags;
        EXPECT_EQ(rc, 0);
    }
}

TEST(Portable, Reader)
{
    struct {
        const char *what;
        std::string file;
        int rc;
        int grey;
        std::vector<int> bytes;
        const char *comment;
    } cases[] = {
        {"raw colour", "P6\n# mine\n# second\n2 1\n255\n\x01\x02\x03\x04\x05\x06"s, 0, 0,
         {1, 2, 3, 4, 5, 6}, "mine"},
        {"raw grey", "P5\n1 2\n255\n\x07\x08"s, 0, 1, {7, 8},
         "Created by the Vostrelane image library"},
        {"maximum 15 scales", "P5\n2 1\n15\n\x0f\x05"s, 0, 1, {255, 85}, nullptr},
        {"plain variant is not read", "P3\n1 1\n255\n1 2 3\n", IERR_INVALID_FILE, 0, {}, nullptr},
        {"short pixels", "P6\n2 2\n255\n\x01\x02"s, IERR_INVALID_FILE, 0, {}, nullptr},
        {"no size", "P6\nabc\n255\n", IERR_INVALID_FILE, 0, {}, nullptr},
        {"negative size", "P6\n-2 2\n255\n", IERR_INVALID_FILE, 0, {}, nullptr},
        {"maximum too big", "P5\n1 1\n65535\n\x01\x01", IERR_INVALID_FILE, 0, {}, nullptr},
        {"empty", "", IERR_INVALID_FILE, 0, {}, nullptr},
    };
    for (auto &c : cases) {
        FILE *f = tmpfile();
        fwrite(c.file.data(), 1, c.file.size(), f);
        rewind(f);
        IImage *out = nullptr;
        EXPECT_EQ(IReadImageFile(f, IFORMAT_PPM, 0, &out), c.rc) << c.what;
        fclose(f);
        Image owned(out);
        if (c.rc)
            continue;
        ASSERT_NE(out, nullptr) << c.what;
        EXPECT_EQ(out->grey, c.grey) << c.what;
        std::vector<int> bytes(out->pixels, out->pixels + c.bytes.size());
        EXPECT_EQ(bytes, c.bytes) << c.what;
        if (c.comment) {
            const char *comment = nullptr;
            IGetComment(out, &comment);
            EXPECT_STREQ(comment, c.comment) << c.what;
        }
    }
}

Image read_from_string(const std::string &bytes, int format, int *rc)
{
    FILE *f = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), f);
    rewind(f);
    IImage *out = nullptr;
    *rc = IReadImageFile(f, format, 0, &out);
    fclose(f);
    if (*rc) {
        EXPECT_EQ(out, nullptr);
    }
    return Image(out);
}

// An image of the given colours, one pixel each, in one row.
Image strip(const std::vector<std::array<int, 3>> &colours)
{
    Image im = new_image(static_cast<int>(colours.size()), 1);
    for (size_t i = 0; i < colours.size(); i++)
        for (int c = 0; c < 3; c++)
            im->pixels[3 * i + c] = static_cast<unsigned char>(colours[i][c]);
    return im;
}

TEST(Xpm, WriterText)
{
    Image im = strip({{255, 0, 0}, {255, 255, 255}, {255, 0, 0}});
    ISetComment(im.get(), "three");
    ISetTransparent(im.get(), 1);
    int rc;
    EXPECT_EQ(write_to_string(im.get(), IFORMAT_XPM, 0, &rc),
              "/* XPM */\n/* three */\nstatic char *image[] = {\n"
              "/* width height num_colors chars_per_pixel */\n\"3 1 2 1\",\n/* colors */\n"
              "\". c #FF0000\",\n\"# c None\",\n/* pixels */\n\".#.\",\n};\n");
    EXPECT_EQ(rc, 0);

    // Past 64 colours each pixel takes two characters.
    std::vector<std::array<int, 3>> many;
    for (int i = 0; i < 65; i++)
        many.push_back({i, 0, 0});
    Image wide = strip(many);
    std::string text = write_to_string(wide.get(), IFORMAT_XPM, 0, &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_NE(text.find("\"65 1 65 2\""), std::string::npos);
    EXPECT_NE(text.find("\"#. c #400000\""), std::string::npos);
    EXPECT_NE(text.find("\n\"...#.a"), std::string::npos);

    // Two characters name at most 4096 colours: more are refused, and
    // nothing is written.
    Image lots = new_image(4097, 1);
    for (int i = 0; i < 4097; i++) {
        lots->pixels[3 * i] = static_cast<unsigned char>(i & 0xff);
        lots->pixels[3 * i + 1] = static_cast<unsigned char>(i >> 8);
    }
    EXPECT_EQ(write_to_string(lots.get(), IFORMAT_XPM, 0, &rc), "");
    EXPECT_EQ(rc, IERR_INVALID_ARGUMENT);
}

TEST(Xpm, RoundTripAndMalformedFiles)
{
    Image im = strip({{1, 2, 3}, {255, 255, 255}, {200, 100, 0}});
    ISetTransparent(im.get(), 1);
    int rc;
    std::string text = write_to_string(im.get(), IFORMAT_XPM, 0, &rc);
    Image back = read_from_string(text, IFORMAT_XPM, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(rgb(back.get(), 0, 0), (std::array<int, 3>{1, 2, 3}));
    EXPECT_EQ(rgb(back.get(), 2, 0), (std::array<int, 3>{200, 100, 0}));
    // The transparent pixel comes back in the image's transparent colour.
    int h = -1;
    ASSERT_EQ(IGetTransparent(back.get(), &h), 0);
    EXPECT_EQ((std::array<int, 3>{back->transparent.red, back->transparent.green, back->transparent.blue}),
              rgb(back.get(), 1, 0));

    const std::string head = "/* XPM */\nstatic char *x[] = {\n";
    struct {
        const char *what;
        std::string text;
        int rc;
    } cases[] = {
        {"short hex and long hex", head + "\"2 1 2 1\",\"a c #F00\",\"b c #00000000FFFF\",\"ab\"};", 0},
        {"no values line", head + "};", IERR_INVALID_FORMAT},
        {"values line of three", head + "\"2 1 2\",\"a c #F00\",\"b c #0F0\",\"ab\"};", IERR_INVALID_FORMAT},
        {"too few colours", head + "\"2 1 2 1\",\"a c #F00\",\"ab\"};", IERR_INVALID_FORMAT},
        {"colour of uneven parts", head + "\"1 1 1 1\",\"a c #F0\",\"a\"};", IERR_INVALID_FORMAT},
        {"colour without c", head + "\"1 1 1 1\",\"a m #F00\",\"a\"};", IERR_INVALID_FORMAT},
        {"unknown pixel code", head + "\"2 1 1 1\",\"a c #F00\",\"ax\"};", IERR_INVALID_FORMAT},
        {"short row", head + "\"2 1 1 1\",\"a c #F00\",\"a\"};", IERR_INVALID_FORMAT},
        {"missing row", head + "\"1 2 1 1\",\"a c #F00\",\"a\"};", IERR_INVALID_FORMAT},
        {"unended comment", head + "/* \"1 1 1 1\"", IERR_INVALID_FORMAT},
        {"unended string", head + "\"1 1 1 1", IERR_INVALID_FORMAT},
    };
    for (auto &c : cases) {
        Image r = read_from_string(c.text, IFORMAT_XPM, &rc);
        EXPECT_EQ(rc, c.rc) << c.what;
    }
    Image ok = read_from_string(cases[0].text, IFORMAT_XPM, &rc);
    ASSERT_TRUE(ok);
    EXPECT_EQ(rgb(ok.get(), 0, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(rgb(ok.get(), 1, 0), (std::array<int, 3>{0, 0, 255}));
}

// A Windows bitmap: file and information headers, then `rest` (palette or
// masks) and the pixel data.
std::string bmp(int width, int height, int bits, int compression, const std::string &rest, const std::string &pixels,
                int colours_used = 0)
{
    auto le = [](uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; i++)
            s += static_cast<char>((v >> (8 * i)) & 0xff);
        return s;
    };
    std::string info = le(40, 4) + le(static_cast<uint32_t>(width), 4) + le(static_cast<uint32_t>(height), 4) +
                       le(1, 2) + le(static_cast<uint32_t>(bits), 2) + le(static_cast<uint32_t>(compression), 4) +
                       le(static_cast<uint32_t>(pixels.size()), 4) + le(2835, 4) + le(2835, 4) +
                       le(static_cast<uint32_t>(colours_used), 4) + le(0, 4);
    uint32_t offset = 14 + 40 + static_cast<uint32_t>(rest.size());
    return "BM" + le(offset + static_cast<uint32_t>(pixels.size()), 4) + le(0, 4) + le(offset, 4) + info + rest +
           pixels;
}

TEST(Bmp, ReaderKinds)
{
    // Palette entries are blue, green, red and a spare byte.
    const std::string palette = "\x00\x00\x00\x00\x00\x00\xff\x00\x00\xff\x00\x00\xff\x00\x00\x00"s;  // black red green blue
    const std::array<int, 3> K{0, 0, 0}, R{255, 0, 0}, G{0, 255, 0}, B{0, 0, 255}, W{255, 255, 255};
    struct {
        const char *what;
        std::string file;
        int w, h;
        std::vector<std::array<int, 3>> pixels;  // from the top row
    } cases[] = {
        {"24-bit, rows from the bottom, padded", bmp(2, 2, 24, 0, "", "\x00\x00\xff\x00\xff\x00\x00\x00\xff\x00\x00\xff\xff\xff\x00\x00"s),
         2, 2, {B, W, R, G}},
        {"16-bit 5-6-5 fields", bmp(2, 1, 16, 3, "\x00\xf8\x00\x00\xe0\x07\x00\x00\x1f\x00\x00\x00"s, "\x00\xf8\x1f\x00"s),
         2, 1, {R, B}},
        {"8-bit palette", bmp(3, 1, 8, 0, palette, "\x01\x02\x03\x00"s, 4), 3, 1, {R, G, B}},
        {"8-bit runs with end of line, move and literal",
         bmp(4, 2, 8, 1, palette, "\x02\x01\x00\x00\x00\x02\x02\x00\x00\x03\x03\x02\x01\x00\x00\x01"s, 4), 4, 2,
         {K, K, B, G, R, R, K, K}},
        {"4-bit runs", bmp(4, 1, 4, 2, palette, "\x03\x12\x00\x00\x00\x01"s, 4), 4, 1, {R, G, R, K}},
        {"4-bit literal", bmp(3, 1, 4, 2, palette, "\x00\x03\x12\x30\x00\x01"s, 4), 3, 1, {R, G, B}},
    };
    for (auto &c : cases) {
        int rc;
        Image im = read_from_string(c.file, IFORMAT_BMP, &rc);
        ASSERT_EQ(rc, 0) << c.what;
        ASSERT_EQ(im->width, c.w) << c.what;
        ASSERT_EQ(im->height, c.h) << c.what;
        for (int i = 0; i < c.w * c.h; i++)
            EXPECT_EQ(rgb(im.get(), i % c.w, i / c.w), c.pixels[static_cast<size_t>(i)]) << c.what << " pixel " << i;
    }
}

TEST(Bmp, ReaderRefusals)
{
    const std::string good = bmp(1, 1, 24, 0, "", "\x01\x02\x03\x00"s);
    std::string os2 = good;
    os2[14] = 12;
    struct {
        const char *what;
        std::string file;
    } cases[] = {
        {"not a bitmap", "PK" + good.substr(2)},
        {"short header", good.substr(0, 40)},
        {"another header size", os2},
        {"32 bits a pixel", bmp(1, 1, 32, 0, "", "\x01\x02\x03\x04"s)},
        {"uncompressed 4 bits", bmp(2, 1, 4, 0, std::string(64, '\0'), "\x12\x00\x00\x00"s)},
        {"16 bits without fields", bmp(1, 1, 16, 0, "", "\x00\x00\x00\x00"s)},
        {"rows from the top", bmp(1, -1, 24, 0, "", "\x01\x02\x03\x00"s)},
        {"pixels cut short", good.substr(0, good.size() - 2)},
        {"runs without an end", bmp(2, 1, 8, 1, std::string(8, '\0'), "\x02\x01"s, 2)},
        {"literal run cut short", bmp(4, 1, 8, 1, std::string(8, '\0'), "\x00\x04\x01"s, 2)},
        {"empty", ""},
    };
    int rc;
    Image ok = read_from_string(good, IFORMAT_BMP, &rc);
    EXPECT_EQ(rc, 0);
    for (auto &c : cases) {
        Image im = read_from_string(c.file, IFORMAT_BMP, &rc);
        EXPECT_EQ(rc, IERR_INVALID_FORMAT) << c.what;
    }
    // Bitmaps are read, never written.
    CaptureStderr();
    EXPECT_EQ(write_to_string(ok.get(), IFORMAT_BMP, 0, &rc), "");
    EXPECT_EQ(GetCapturedStderr(), "IWriteImageFile: BMP format write not implemented.\n");
    EXPECT_EQ(rc, IERR_NOT_IMPLEMENTED);
}

TEST(Gif, RoundTripCommentTransparencyAndInterlace)
{
    // Ten rows of distinct colours, written plain and interlaced.
    Image im = new_image(3, 10);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 3; x++) {
            unsigned char *p = im->pixels + 3 * (y * 3 + x);
            p[0] = static_cast<unsigned char>(20 * y);
            p[1] = static_cast<unsigned char>(x * 100);
            p[2] = 7;
        }
    ISetComment(im.get(), "gif comment");
    int see_through = IAllocColor(20, 100, 7);
    ISetTransparent(im.get(), see_through);
    for (int flags : {0, static_cast<int>(IFILE_INTERLACE)}) {
        int rc;
        std::string bytes = write_to_string(im.get(), IFORMAT_GIF, flags, &rc);
        ASSERT_EQ(rc, 0) << flags;
        EXPECT_EQ(bytes.substr(0, 6), "GIF89a");
        Image back = read_from_string(bytes, IFORMAT_GIF, &rc);
        ASSERT_EQ(rc, 0) << flags;
        ASSERT_EQ(back->width, 3);
        ASSERT_EQ(back->height, 10);
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 3; x++)
                EXPECT_EQ(rgb(back.get(), x, y), rgb(im.get(), x, y)) << flags << ": " << x << "," << y;
        const char *comment = nullptr;
        IGetComment(back.get(), &comment);
        EXPECT_STREQ(comment, "gif comment");
        int h;
        ASSERT_EQ(IGetTransparent(back.get(), &h), 0);
        EXPECT_EQ((std::array<int, 3>{back->transparent.red, back->transparent.green, back->transparent.blue}),
                  (std::array<int, 3>{20, 100, 7}));
    }
}

TEST(Gif, ColoursBeyondThePaletteAndErrors)
{
    // 256 greys fill the palette; a further colour takes the nearest grey.
    Image im = new_image(257, 1);
    for (int i = 0; i < 256; i++)
        memset(im->pixels + 3 * i, i, 3);
    im->pixels[3 * 256] = 101;
    im->pixels[3 * 256 + 1] = 99;
    im->pixels[3 * 256 + 2] = 104;
    int rc;
    Image back = read_from_string(write_to_string(im.get(), IFORMAT_GIF, 0, &rc), IFORMAT_GIF, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(rgb(back.get(), 200, 0), (std::array<int, 3>{200, 200, 200}));
    EXPECT_EQ(rgb(back.get(), 256, 0), (std::array<int, 3>{101, 101, 101}));

    // A two-colour image still has a map of two entries, the rest black.
    Image one = strip({{9, 9, 9}});
    std::string bytes = write_to_string(one.get(), IFORMAT_GIF, 0, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(uint8_t(bytes[10]) & 7, 0);  // 2 ^ (0 + 1) entries
    EXPECT_EQ(bytes.substr(13, 6), "\x09\x09\x09\x00\x00\x00"s);

    Image none = read_from_string("P6\n1 1\n255\nabc", IFORMAT_GIF, &rc);
    EXPECT_EQ(rc, IERR_GIF);
    EXPECT_STREQ(IErrorString(rc), "GIF Error: 103");
    Image cut = read_from_string(bytes.substr(0, bytes.size() / 2), IFORMAT_GIF, &rc);
    EXPECT_EQ(rc, IERR_GIF);
}

TEST(Readers, DamagedFilesGiveAnError)
{
    // Every reader, given a valid file cut short at every length or with a
    // byte changed, gives an image or its error, never a fault (the
    // sanitizers watch the reads).
    Image im = new_image(5, 4);
    GC gc = new_gc();
    ISetForeground(gc.get(), IAllocColor(10, 200, 30));
    IDrawLine(im.get(), gc.get(), 0, 0, 4, 3);
    ISetComment(im.get(), "damaged");
    const std::string palette = "\x00\x00\x00\x00\x00\x00\xff\x00"s;
    struct {
        int format;
        std::string file;
    } cases[] = {
        {IFORMAT_PNG, ""},
        {IFORMAT_PPM, ""},
        {IFORMAT_XPM, ""},
        {IFORMAT_GIF, ""},
        {IFORMAT_BMP, bmp(4, 2, 8, 1, palette, "\x02\x01\x00\x00\x00\x02\x01\x00\x00\x03\x01\x00\x01\x00\x00\x01"s, 2)},
        {IFORMAT_BMP, bmp(2, 2, 24, 0, "", std::string(16, '\x40'))},
    };
    int rc;
    for (auto &c : cases) {
        if (c.file.empty())
            c.file = write_to_string(im.get(), c.format, 0, &rc);
        Image whole = read_from_string(c.file, c.format, &rc);
        ASSERT_EQ(rc, 0) << c.format;
        const int failure = c.format == IFORMAT_PNG   ? IERR_PNG
                            : c.format == IFORMAT_GIF ? IERR_GIF
                            : c.format == IFORMAT_PPM ? IERR_INVALID_FILE
                                                      : IERR_INVALID_FORMAT;
        int refused = 0;
        for (size_t n = 0; n < c.file.size(); n++) {
            CaptureStderr();
            Image cut = read_from_string(c.file.substr(0, n), c.format, &rc);
            GetCapturedStderr();
            EXPECT_TRUE(rc == 0 || rc == failure) << c.format << " cut at " << n << ": " << rc;
            refused += rc != 0;
            for (unsigned char flip : {0x01, 0x80, 0xff}) {
                std::string bad = c.file;
                bad[n] = static_cast<char>(bad[n] ^ flip);
                CaptureStderr();
                Image changed = read_from_string(bad, c.format, &rc);
                GetCapturedStderr();
                EXPECT_TRUE(rc == 0 || rc == failure) << c.format << " byte " << n << ": " << rc;
            }
        }
        EXPECT_GT(refused, 0) << c.format;
    }
}

TEST(Readers, DeclaredSizesBeyondTheFileAreRefused)
{
    // A small file that declares a huge picture is refused before anything
    // of that size is allocated (a 68-byte PNG of 40000 x 40000 once asked
    // for gigabytes).
    Image im = new_image(2, 2);
    int rc;
    auto set_be32 = [](std::string &s, size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            s[at + i] = static_cast<char>(v >> (24 - 8 * i));
    };
    auto set_le = [](std::string &s, size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; i++)
            s[at + i] = static_cast<char>(v >> (8 * i));
    };
    std::string png = write_to_string(im.get(), IFORMAT_PNG, 0, &rc);
    ASSERT_EQ(rc, 0);
    set_be32(png, 16, 40000);
    set_be32(png, 20, 40000);
    set_be32(png, 29, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(png.data() + 12), 17)));
    std::string gif = write_to_string(im.get(), IFORMAT_GIF, 0, &rc);
    ASSERT_EQ(rc, 0);
    set_le(gif, 6, 65535, 2);
    set_le(gif, 8, 65535, 2);
    std::string bmp24 = bmp(2, 2, 24, 0, "", std::string(16, '\x40'));
    set_le(bmp24, 18, 1u << 20, 4);
    set_le(bmp24, 22, 1u << 20, 4);
    struct {
        int format;
        std::string file;
        int error;
    } cases[] = {
        {IFORMAT_PNG, png, IERR_PNG},
        {IFORMAT_GIF, gif, IERR_GIF},
        {IFORMAT_PPM, "P6\n40000 40000\n255\n" + std::string(30, 'x'), IERR_INVALID_FILE},
        {IFORMAT_PGM, "P5\n3 3\n255\n" + std::string(8, 'x'), IERR_INVALID_FILE},
        {IFORMAT_BMP, bmp24, IERR_INVALID_FORMAT},
    };
    for (auto &c : cases) {
        CaptureStderr();
        Image back = read_from_string(c.file, c.format, &rc);
        GetCapturedStderr();
        EXPECT_EQ(rc, c.error) << c.format;
    }
}

}  // namespace
