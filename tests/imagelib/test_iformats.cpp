// Image files: the PNG writer's chunks and rows, failed writes, and the
// portable pixmap formats.
#include "ilib_test.h"

#include <fcntl.h>
#include <unistd.h>

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

}  // namespace
