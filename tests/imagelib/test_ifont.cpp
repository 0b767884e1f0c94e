// BDF fonts: parsing, glyph look-up, text at angles, styles and measuring.
#include "ilib_test.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

struct Glyph {
    const int *bits = nullptr;
    int width = 0, height = 0, advance = 0, pixel_size = 0, x_offset = 0, y_offset = 0;
    std::string pattern() const
    {
        std::string s;
        for (int i = 0; i < width * height; i++)
            s += bits[i] ? '1' : '0';
        return s;
    }
};

int get(const char *font, const char *glyph, Glyph &g)
{
    return IFontBDFGetChar(font, glyph, &g.bits, &g.width, &g.height, &g.advance, &g.pixel_size, &g.x_offset,
                           &g.y_offset);
}

std::vector<std::string> read_lines(const std::string &path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string l;
    while (std::getline(in, l))
        lines.push_back(l);
    return lines;
}

int parse(const char *name, const std::vector<std::string> &lines)
{
    std::vector<const char *> p;
    for (auto &l : lines)
        p.push_back(l.c_str());
    p.push_back(nullptr);
    return IFontBDFReadData(name, p.data());
}

// The tiny fixture font, loaded once under the name "tiny".
class TinyFont : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(ILoadFontFromFile("tiny", fixture("tiny.bdf").c_str(), &font), 0); }
    static void TearDownTestSuite() { IFreeFont(font); }
    void SetUp() override
    {
        gc = new_gc();
        ASSERT_EQ(ISetFont(gc.get(), font), 0);
    }
    static IFont *font;
    GC gc;
};
IFont *TinyFont::font = nullptr;

TEST_F(TinyFont, GlyphLookUp)
{
    struct {
        const char *name;
        int rc;
        const char *pattern;
        int advance, x_offset, y_offset;
    } cases[] = {
        {"!", 0, "101", 3, 0, 0},            // STARTCHAR exclam, ENCODING -1: code 33
        {"\xc5", 0, "101", 6, 0, 0},         // Aring, ENCODING 197
        {"foo", 0, "1111", 3, 0, 0},         // no code: the named list
        {".", 0, "1", 5, 0, 0},              // period
        {"g", 0, "110111", 4, 1, -1},        // digits C0, 40, c0 in a width-2 glyph
        {"L", 0, "100100100111", 5, 0, 0},
        {"nosuchglyph", 0, "0", 4, 0, 0},    // a long name not found: the space
        {"z", IERR_FONT, nullptr, 0, 0, 0},  // a code without a glyph
        {"", IERR_INVALID_ARGUMENT, nullptr, 0, 0, 0},
    };
    for (auto &c : cases) {
        Glyph g;
        ASSERT_EQ(get("tiny", c.name, g), c.rc) << c.name;
        if (c.rc)
            continue;
        EXPECT_EQ(g.pattern(), c.pattern) << c.name;
        EXPECT_EQ(g.advance, c.advance) << c.name;
        EXPECT_EQ(g.x_offset, c.x_offset) << c.name;
        EXPECT_EQ(g.y_offset, c.y_offset) << c.name;
        EXPECT_EQ(g.pixel_size, 8) << c.name;
    }
    Glyph g;
    EXPECT_EQ(get("nosuchfont", "L", g), IERR_FONT_NOT_FOUND);
    EXPECT_EQ(get("tiny", nullptr, g), IERR_INVALID_ARGUMENT);
    int size = 0;
    EXPECT_EQ(IFontSize(font, &size), 0);
    EXPECT_EQ(size, 8);
}

// Pixels of a drawn text, as a set of "x,y" texts.
std::string inked(const IImage *im)
{
    std::string s;
    for (int y = 0; y < im->height; y++)
        for (int x = 0; x < im->width; x++)
            if (ink(im, x, y))
                s += std::to_string(x) + "," + std::to_string(y) + " ";
    return s;
}

TEST_F(TinyFont, TextAtZeroNinetyAndThirtyDegrees)
{
    // At 0 degrees a glyph's top row lies at pen y - y offset - height, its
    // first column at pen x + x offset; the pen moves on by advance + x
    // offset.  "L" (3x4, advance 5) then "g" (2x3 at offsets 1, -1).
    Image flat = new_image(12, 8);
    EXPECT_EQ(IDrawStringRotatedAngle(flat.get(), gc.get(), 2, 6, "Lg", 2, 0.0), 0);
    Image back = png_round_trip(flat.get());
    EXPECT_EQ(art(back.get()), rows({
                                   "............",
                                   "............",
                                   "..#.........",
                                   "..#.........",
                                   "..#.....##..",
                                   "..###....#..",
                                   "........##..",
                                   "............",
                               }));

    // At 90 degrees the glyphs turn and the pen climbs by the advance: the
    // second "L" lies 5 rows above the first.
    Image up = new_image(12, 20);
    EXPECT_EQ(IDrawStringRotatedAngle(up.get(), gc.get(), 2, 19, "LL", 2, 90.0), 0);
    back = png_round_trip(up.get());
    EXPECT_EQ(inked(back.get()), "9,4 9,5 6,6 7,6 8,6 9,6 9,9 9,10 6,11 7,11 8,11 9,11 ");
    // A glyph reaching below the baseline ("g", y offset -1) turns with its
    // offset: it sits one column further across the line, not one row
    // further along it.
    Image desc = new_image(12, 20);
    EXPECT_EQ(IDrawStringRotatedAngle(desc.get(), gc.get(), 2, 19, "g", 1, 90.0), 0);
    EXPECT_EQ(inked(desc.get()), "8,9 9,9 10,9 8,10 10,10 ");

    // At 30 degrees: one-pixel glyphs advancing 5 along the slope.
    Image slope = new_image(30, 30);
    EXPECT_EQ(IDrawStringRotatedAngle(slope.get(), gc.get(), 10, 20, "..", 2, 30.0), 0);
    back = png_round_trip(slope.get());
    EXPECT_EQ(inked(back.get()), "17,15 13,18 ");
    // Whole degrees only: 30.9 draws as 30.
    Image slope2 = new_image(30, 30);
    EXPECT_EQ(IDrawStringRotatedAngle(slope2.get(), gc.get(), 10, 20, "..", 2, 30.9), 0);
    EXPECT_EQ(art(slope2.get()), art(slope.get()));
    EXPECT_EQ(IDrawStringRotatedAngle(slope2.get(), gc.get(), 10, 20, "..", 2, NAN), IERR_INVALID_ARGUMENT);
}

// The column of the first ink in row `y`, or -1.
int first_ink(const IImage *im, int y)
{
    for (int x = 0; x < im->width; x++)
        if (ink(im, x, y))
            return x;
    return -1;
}

TEST_F(TinyFont, ControlCharactersAndEscapes)
{
    struct {
        const char *what;
        std::string text;
        int rc;
        std::vector<int> columns;  // first column of each L's foot (row 19 or 27)
        bool second_line;
    } cases[] = {
        {"escape names a glyph", "L\033foo;L", 0, {10, 18}, false},
        {"unknown name draws the space", "L\033nope;L", 0, {10, 19}, false},
        {"empty name draws nothing", "L\033;L", 0, {10, 15}, false},
        {"tab after one glyph", "L\tL", 0, {10, 50}, false},
        {"tab before any glyph takes the space", "\tL", 0, {42}, false},
        {"line feed", "L\nL", 0, {10, 10}, true},
        {"escape without its end", "L\033foo", IERR_BAD_ESCAPE, {10}, false},
    };
    for (auto &c : cases) {
        Image im = new_image(70, 30);
        EXPECT_EQ(IDrawString(im.get(), gc.get(), 10, 20, c.text.data(), static_cast<int>(c.text.size())), c.rc)
            << c.what;
        // Each L's foot is a run of 3 in the row above the pen.
        std::vector<int> found;
        for (int x = 0; x + 2 < im->width; x++)
            if (ink(im.get(), x, 19) && ink(im.get(), x + 1, 19) && ink(im.get(), x + 2, 19))
                found.push_back(x), x += 2;
        if (c.second_line) {
            EXPECT_EQ(first_ink(im.get(), 27), c.columns[1]) << c.what;
            found.push_back(c.columns[1]);
        }
        EXPECT_EQ(found, c.columns) << c.what;
    }
    // The escape's named glyph "foo" (2x2) lies between the two L's.
    Image im = new_image(30, 30);
    std::string t = "L\033foo;L";
    IDrawString(im.get(), gc.get(), 10, 20, t.data(), static_cast<int>(t.size()));
    EXPECT_TRUE(ink(im.get(), 15, 18) && ink(im.get(), 16, 19));
}

TEST_F(TinyFont, StylesAndDirections)
{
    int bg = IAllocColor(100, 150, 200), fg = IAllocColor(10, 20, 30);
    ISetBackground(gc.get(), bg);
    ISetForeground(gc.get(), fg);
    using C = std::array<int, 3>;
    struct Probe {
        int x, y;
        C colour;
    };
    // A one-pixel glyph drawn with the pen at (5, 10) inks (5, 9).
    struct {
        const char *what;
        int style, direction;
        std::vector<Probe> probes;
        int inked;
    } cases[] = {
        {"plain", ITEXT_PLAIN, IDIR_RIGHT, {{5, 9, {10, 20, 30}}}, 1},
        {"raised", ITEXT_RAISED, IDIR_RIGHT, {{4, 8, {50, 100, 150}}, {6, 10, {150, 200, 250}}, {5, 9, {100, 150, 200}}}, 3},
        {"sunk", ITEXT_SUNK, IDIR_RIGHT, {{4, 8, {150, 200, 250}}, {6, 10, {50, 100, 150}}, {5, 9, {100, 150, 200}}}, 3},
        {"shadow", ITEXT_SHADOW, IDIR_RIGHT, {{6, 10, {50, 75, 100}}, {5, 9, {10, 20, 30}}}, 2},
        {"upwards", ITEXT_PLAIN, IDIR_UP, {{4, 10, {10, 20, 30}}}, 1},
        {"downwards", ITEXT_PLAIN, IDIR_DOWN, {{6, 10, {10, 20, 30}}}, 1},
    };
    for (auto &c : cases) {
        Image im = new_image(12, 12);
        ISetTextStyle(gc.get(), c.style);
        EXPECT_EQ(IDrawStringRotated(im.get(), gc.get(), 5, 10, ".", 1, c.direction), 0) << c.what;
        for (auto &p : c.probes)
            EXPECT_EQ(rgb(im.get(), p.x, p.y), p.colour) << c.what << " at " << p.x << "," << p.y;
        const std::string picture = art(im.get());
        EXPECT_EQ(static_cast<int>(std::count(picture.begin(), picture.end(), '#')), c.inked) << c.what;
        EXPECT_EQ(gc->foreground.handle, fg) << c.what;
    }
    ISetTextStyle(gc.get(), ITEXT_PLAIN);

    // Upwards the pen climbs by the advance and a line feed moves right by
    // the pixel size; downwards the other way.
    struct {
        int direction;
        const char *text;
        const char *pixels;
    } runs[] = {
        {IDIR_UP, "..", "4,5 4,10 "},
        {IDIR_DOWN, "..", "6,10 6,15 "},
        {IDIR_UP, ".\n.", "4,10 12,10 "},
        {IDIR_DOWN, ".\n.", "-2,10 6,10 "},
    };
    for (auto &r : runs) {
        Image im = new_image(20, 20);
        EXPECT_EQ(IDrawStringRotated(im.get(), gc.get(), 5, 10, r.text, static_cast<int>(strlen(r.text)), r.direction),
                  0);
        std::string want = r.pixels;
        if (want.rfind("-2,10 ", 0) == 0)
            want = want.substr(6);  // off the image
        EXPECT_EQ(inked(im.get()), want) << r.direction << " " << r.text;
    }
}

TEST(Measuring, WidthsHeightsAndErrors)
{
    const std::vector<std::string> font = {
        "STARTFONT 2.1", "PIXEL_SIZE 13",
        "STARTCHAR a", "ENCODING 97", "DWIDTH 7 0", "BBX 1 1 0 0", "BITMAP", "80", "ENDCHAR",
        "STARTCHAR b", "ENCODING 98", "DWIDTH 7 0", "BBX 1 1 0 0", "BITMAP", "80", "ENDCHAR",
        "STARTCHAR c", "ENCODING 99", "DWIDTH 7 0", "BBX 1 1 0 0", "BITMAP", "80", "ENDCHAR",
        "STARTCHAR d", "ENCODING 100", "DWIDTH 7 0", "BBX 1 1 0 0", "BITMAP", "80", "ENDCHAR",
        "STARTCHAR wide", "ENCODING -1", "DWIDTH 20 0", "BBX 1 1 0 0", "BITMAP", "80", "ENDCHAR",
        "ENDFONT",
    };
    std::vector<const char *> lines;
    for (auto &l : font)
        lines.push_back(l.c_str());
    lines.push_back(nullptr);
    IFont *f = nullptr;
    ASSERT_EQ(ILoadFontFromData("measure", lines.data(), &f), 0);
    GC gc = new_gc();
    struct {
        std::string text;
        int rc, width, height;
    } cases[] = {
        {"ab\ncd", 0, 14, 26},
        {"", 0, 0, 13},
        {"a\tb", 0, 7 + 7 * 7 + 7, 13},
        {"abcdabcda\tb", 0, 9 * 7 + 7 * 7 + 7, 13},
        {"a\033wide;", 0, 27, 13},
        {"a?b", 0, 14, 13},  // no glyph for "?": nothing added
        {"abc\nd\n", 0, 21, 39},
        {"a\033wide", IERR_BAD_ESCAPE, 0, 0},
    };
    for (auto &c : cases) {
        int w = -1, h = -1;
        EXPECT_EQ(ITextDimensions(gc.get(), f, c.text.data(), static_cast<int>(c.text.size()), &w, &h), c.rc)
            << c.text;
        if (c.rc)
            continue;
        EXPECT_EQ(w, c.width) << c.text;
        EXPECT_EQ(h, c.height) << c.text;
    }
    int w = 0, h = 0;
    ISetAntiAliasedFont(gc.get(), f);
    EXPECT_EQ(ITextWidth(gc.get(), f, "ab\ncd", 5, &w), 0);
    EXPECT_EQ(ITextHeight(gc.get(), f, "ab\ncd", 5, &h), 0);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 13);

    IFont *wrong = reinterpret_cast<IFont *>(gc.get());
    EXPECT_EQ(ITextDimensions(gc.get(), nullptr, "a", 1, &w, &h), IERR_NO_FONT);
    EXPECT_EQ(ITextDimensions(gc.get(), wrong, "a", 1, &w, &h), IERR_INVALID_FONT);
    EXPECT_EQ(ITextDimensions(nullptr, f, "a", 1, &w, &h), IERR_INVALID_GC);
    EXPECT_EQ(ITextDimensions(gc.get(), f, nullptr, 3, &w, &h), IERR_INVALID_ARGUMENT);
    EXPECT_EQ(ITextDimensions(gc.get(), f, "a", -1, &w, &h), IERR_INVALID_ARGUMENT);

    // A registry entry freed under its handle: the name is no longer found.
    EXPECT_EQ(IFontBDFFree("measure"), 0);
    EXPECT_EQ(ITextDimensions(gc.get(), f, "a", 1, &w, &h), IERR_FONT_NOT_FOUND);
    EXPECT_EQ(IFontSize(f, &h), IERR_FONT_NOT_FOUND);
    EXPECT_EQ(IFontBDFFree("measure"), IERR_FONT_NOT_FOUND);
    // Freeing the handle (whose entry is already gone) leaves a GC that
    // names it with an invalid font, not a dangling one.
    EXPECT_EQ(IFreeFont(f), 0);
    Image im = new_image(4, 4);
    EXPECT_EQ(IDrawString(im.get(), gc.get(), 0, 3, "a", 1), IERR_INVALID_FONT);
    EXPECT_EQ(IFreeFont(f), IERR_INVALID_FONT);
}

const std::vector<std::string> good_glyph = {
    "STARTFONT 2.1", "PIXEL_SIZE 8", "STARTCHAR x", "ENCODING 120", "DWIDTH 4 0",
    "BBX 3 2 0 0",   "BITMAP",       "C0",          "c0",           "ENDCHAR",
    "ENDFONT",
};

std::vector<std::string> with(std::vector<std::string> lines, size_t at, std::vector<std::string> replace,
                              size_t remove = 1)
{
    lines.erase(lines.begin() + static_cast<long>(at), lines.begin() + static_cast<long>(at + remove));
    lines.insert(lines.begin() + static_cast<long>(at), replace.begin(), replace.end());
    return lines;
}

TEST(Parsing, RowsRegistryAndMalformedFonts)
{
    // Digits C and 0 in a glyph of width 3 give 1 1 0, in either case.
    ASSERT_EQ(parse("good", good_glyph), 0);
    Glyph g;
    ASSERT_EQ(get("good", "x", g), 0);
    EXPECT_EQ(g.pattern(), "110110");
    // A second font under a name is added behind the first.
    ASSERT_EQ(parse("good", with(good_glyph, 7, {"20", "20"}, 2)), 0);
    ASSERT_EQ(get("good", "x", g), 0);
    EXPECT_EQ(g.pattern(), "110110");
    EXPECT_EQ(IFontBDFFree("good"), 0);
    ASSERT_EQ(get("good", "x", g), 0);
    EXPECT_EQ(g.pattern(), "001001");
    EXPECT_EQ(IFontBDFFree("good"), 0);

    struct {
        const char *what;
        std::vector<std::string> lines;
    } cases[] = {
        {"row with too few digits", with(good_glyph, 5, {"BBX 9 2 0 0"})},
        {"row with a non-hex digit", with(good_glyph, 7, {"G0"})},
        {"more rows than the box", with(good_glyph, 8, {"c0", "80"})},
        {"bitmap before the box", with(good_glyph, 5, {}, 1)},
        {"box with three numbers", with(good_glyph, 5, {"BBX 3 2 0"})},
        {"negative box", with(good_glyph, 5, {"BBX -3 2 0 0"})},
        {"enormous box", with(good_glyph, 5, {"BBX 100000 100000 0 0"})},
        {"box outside a glyph", with(good_glyph, 2, {"BBX 3 2 0 0", "STARTCHAR x"})},
        {"glyph without a name", with(good_glyph, 2, {"STARTCHAR"})},
        {"glyph name of blanks only", with(good_glyph, 2, {"STARTCHAR "})},
        {"end of a glyph never begun", with(good_glyph, 2, {"ENDCHAR", "STARTCHAR x"})},
        {"data ends inside a glyph", std::vector<std::string>(good_glyph.begin(), good_glyph.begin() + 8)},
        {"glyph begins inside a glyph", with(good_glyph, 4, {"STARTCHAR y", "DWIDTH 4 0"})},
        {"encoding without a number", with(good_glyph, 3, {"ENCODING x"})},
        {"pixel size without a number", with(good_glyph, 1, {"PIXEL_SIZE"})},
        {"advance without a number", with(good_glyph, 4, {"DWIDTH four"})},
    };
    for (auto &c : cases) {
        EXPECT_EQ(parse("bad", c.lines), IERR_FONT) << c.what;
        EXPECT_EQ(get("bad", "x", g), IERR_FONT_NOT_FOUND) << c.what << ": nothing registered";
    }
}

TEST(Parsing, CutFontsNeverReadPastTheirInput)
{
    // Every prefix of the fixture, and every line cut short at every length,
    // parses or is refused, without reading a byte beyond the lines given
    // (the sanitizers watch the reads).
    const auto lines = read_lines(fixture("tiny.bdf"));
    ASSERT_GT(lines.size(), 20u);
    int refused = 0, parsed = 0;
    auto attempt = [&](const std::vector<std::string> &l) {
        int rc = parse("cut", l);
        ASSERT_TRUE(rc == 0 || rc == IERR_FONT);
        if (rc == 0) {
            parsed++;
            IFontBDFFree("cut");
        } else {
            refused++;
        }
    };
    for (size_t k = 0; k <= lines.size(); k++)
        attempt(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(k)));
    for (size_t i = 0; i < lines.size(); i++)
        for (size_t n = 0; n < lines[i].size(); n++) {
            auto cut = lines;
            cut[i] = std::string(lines[i], 0, n);
            attempt(cut);
        }
    EXPECT_GT(refused, 0);
    EXPECT_GT(parsed, 0);
}

TEST(Files, MissingMalformedAndAwkwardFiles)
{
    CaptureStderr();
    EXPECT_EQ(IFontBDFReadFile("missing", "/nonexistent/dir/none.bdf"), IERR_NO_SUCH_FILE);
    EXPECT_EQ(GetCapturedStderr(), "Cannot find font file: /nonexistent/dir/none.bdf\n");
    IFont *f = nullptr;
    CaptureStderr();
    EXPECT_EQ(ILoadFontFromFile("missing", "/nonexistent/dir/none.bdf", &f), IERR_INVALID_FILE);
    GetCapturedStderr();
    EXPECT_EQ(f, nullptr);

    std::string dir = testing::TempDir();
    std::string bad = dir + "/imagelib-bad.bdf";
    {
        std::ofstream out(bad);
        out << "STARTFONT 2.1\nSTARTCHAR x\nBBX 2 1 0 0\nBITMAP\nZZ\nENDCHAR\nENDFONT\n";
    }
    EXPECT_EQ(IFontBDFReadFile("bad", bad.c_str()), IERR_FONT);
    EXPECT_EQ(ILoadFontFromFile("bad", bad.c_str(), &f), IERR_INVALID_FILE);
    EXPECT_EQ(f, nullptr);

    // CR LF line ends and a comment longer than a line buffer still read.
    std::string awkward = dir + "/imagelib-awkward.bdf";
    {
        std::ofstream out(awkward, std::ios::binary);
        out << "STARTFONT 2.1\r\nCOMMENT " << std::string(600, 'x') << "\r\nPIXEL_SIZE 9\r\n"
            << "STARTCHAR x\r\nENCODING 120\r\nDWIDTH 4 0\r\nBBX 3 1 0 0\r\nBITMAP\r\nA0\r\nENDCHAR\r\nENDFONT\r\n";
    }
    ASSERT_EQ(ILoadFontFromFile("awkward", awkward.c_str(), &f), 0);
    Glyph g;
    ASSERT_EQ(get("awkward", "x", g), 0);
    EXPECT_EQ(g.pattern(), "101");
    EXPECT_EQ(g.pixel_size, 9);
    EXPECT_EQ(IFreeFont(f), 0);
    EXPECT_EQ(get("awkward", "x", g), IERR_FONT_NOT_FOUND);
    remove(bad.c_str());
    remove(awkward.c_str());
}

#ifdef VX_TEST_FONT_DIR
TEST(Files, FontsMadeFromTheXFonts)
{
    // Every font the build converts loads, with a pixel size and the
    // printable ASCII glyphs.
    int loaded = 0;
    for (auto &entry : std::filesystem::directory_iterator(VX_TEST_FONT_DIR)) {
        if (entry.path().extension() != ".bdf")
            continue;
        std::string path = entry.path().string();
        IFont *f = nullptr;
        ASSERT_EQ(ILoadFontFromFile("shipped", path.c_str(), &f), 0) << path;
        int size = 0;
        EXPECT_EQ(IFontSize(f, &size), 0);
        EXPECT_GT(size, 0) << path;
        for (char c = 33; c < 127; c++) {
            Glyph g;
            EXPECT_EQ(get("shipped", std::string(1, c).c_str(), g), 0) << path << " " << c;
        }
        IFreeFont(f);
        loaded++;
    }
    EXPECT_GE(loaded, 40);

    // Helvetica 12: text at 0 degrees stays within its measured box above
    // the pen, widened by the glyphs' x offsets, which drawing adds to each
    // advance.
    IFont *f = nullptr;
    ASSERT_EQ(ILoadFontFromFile("helv", VX_TEST_FONT_DIR "/helvR12.bdf", &f), 0);
    GC gc = new_gc();
    ISetFont(gc.get(), f);
    int w = 0, h = 0;
    EXPECT_EQ(ITextDimensions(gc.get(), f, "Hello", 5, &w, &h), 0);
    EXPECT_GT(w, 20);
    EXPECT_EQ(h, 12);
    Image im = new_image(80, 30);
    EXPECT_EQ(IDrawString(im.get(), gc.get(), 5, 20, "Hello", 5), 0);
    for (int y = 0; y < im->height; y++)
        for (int x = 0; x < im->width; x++)
            if (ink(im.get(), x, y)) {
                EXPECT_GE(x, 5);
                EXPECT_LT(x, 5 + w + 5);
                EXPECT_GE(y, 20 - h);
                EXPECT_LT(y, 20 + 3);  // descenders
            }
    EXPECT_NE(art(im.get()).find('#'), std::string::npos);
    IFreeFont(f);
}
#endif

}  // namespace
