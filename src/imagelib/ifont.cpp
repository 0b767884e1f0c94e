// Bitmap fonts read from BDF files, kept in a process-wide registry by
// name, and text drawn glyph by glyph at any angle.
#include "imagelib_msgs.h"
#include "imagelib_private.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace imagelib;

namespace {

struct IBDFGlyph {
    std::string name;
    std::vector<int> bits;  // width x height, row after row from the top
    int width = 0, height = 0;
    int advance = 0;
    int x_offset = 0, y_offset = 0;
};

struct IBDFFont {
    std::string name;
    std::string face_name, setwidth_name;
    int proportional = 0;
    int pixel_size = 0, font_ascent = 0, font_descent = 0;
    std::unique_ptr<IBDFGlyph> table[256];
    std::vector<std::unique_ptr<IBDFGlyph>> named;
};

std::vector<std::unique_ptr<IBDFFont>> fonts;

// Freed font handles are kept (without their magic) so that a graphics
// context still naming one finds an invalid font, not released memory.
std::vector<std::unique_ptr<IFont>> retired_handles;

// The last font found, against the address of the name it was asked by.
const char *cached_name = nullptr;
IBDFFont *cached_font = nullptr;

struct Translation {
    const char *name;
    int code;
};

const Translation translation[] = {
    {"space", 32},        {"exclam", 33},      {"quotedbl", 34},    {"numbersign", 35},   {"dollar", 36},
    {"percent", 37},      {"ampersand", 38},   {"quoteright", 39},  {"parenleft", 40},    {"parenright", 41},
    {"asterisk", 42},     {"plus", 43},        {"comma", 44},       {"minus", 45},        {"period", 46},
    {"slash", 47},        {"zero", 48},        {"one", 49},         {"two", 50},          {"three", 51},
    {"four", 52},         {"five", 53},        {"six", 54},         {"seven", 55},        {"eight", 56},
    {"nine", 57},         {"colon", 58},       {"semicolon", 59},   {"less", 60},         {"equal", 61},
    {"greater", 62},      {"question", 63},    {"at", 64},          {"bracketleft", 91},  {"backslash", 92},
    {"bracketright", 93}, {"asciicircum", 94}, {"underscore", 95},  {"quoteleft", 96},    {"braceleft", 123},
    {"bar", 124},         {"braceright", 125}, {"asciitilde", 126},
};
static_assert(sizeof translation / sizeof translation[0] == 43);

IBDFFont *find_font(const char *name)
{
    if (!name)
        return nullptr;
    if (name == cached_name && cached_font && cached_font->name == name)
        return cached_font;
    for (auto &f : fonts)
        if (f->name == name) {
            cached_name = name;
            cached_font = f.get();
            return f.get();
        }
    return nullptr;
}

const IBDFGlyph *find_glyph(const IBDFFont *f, const std::string &name)
{
    if (name.empty())
        return nullptr;
    if (name.size() == 1)
        return f->table[static_cast<unsigned char>(name[0])].get();
    for (auto &g : f->named)
        if (g->name == name)
            return g.get();
    return f->table[32].get();
}

// "KEYWORD" alone or followed by a blank.
bool keyword(const char *line, const char *word)
{
    size_t n = strlen(word);
    return strncmp(line, word, n) == 0 && (line[n] == '\0' || line[n] == ' ' || line[n] == '\t');
}

// The whole number after a keyword; false when there is none.
bool number_after(const char *line, size_t skip, int &value)
{
    const char *p = line + skip;
    char *end;
    errno = 0;
    long v = strtol(p, &end, 10);
    if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Glyph boxes beyond this are not bitmap fonts anyone draws with.
constexpr int kMaxGlyphSide = 4096;
constexpr long kMaxGlyphBits = 1L << 22;

// Reads the lines of a BDF font; a malformed font gives IERR_FONT and
// registers nothing.
int parse_bdf(const char *name, const char *const *lines, std::unique_ptr<IBDFFont> &out)
{
    auto font = std::make_unique<IBDFFont>();
    font->name = name;
    std::unique_ptr<IBDFGlyph> glyph;
    bool has_box = false, in_bitmap = false;
    int row = 0;

    for (; *lines; lines++) {
        const char *line = *lines;
        if (keyword(line, "STARTCHAR")) {
            if (glyph)
                return IERR_FONT;  // the previous glyph never ended
            std::string gname = strlen(line) > 10 ? std::string(line + 10) : std::string();
            if (gname.empty())
                return IERR_FONT;
            for (const Translation &t : translation)
                if (gname == t.name) {
                    gname = std::string(1, static_cast<char>(t.code));
                    break;
                }
            glyph = std::make_unique<IBDFGlyph>();
            glyph->name = gname;
            has_box = false;
            in_bitmap = false;
        } else if (keyword(line, "ENCODING")) {
            int code;
            if (!number_after(line, 8, code))
                return IERR_FONT;
            if (code >= 1 && code <= 255 && glyph)
                glyph->name = std::string(1, static_cast<char>(code));
        } else if (keyword(line, "PIXEL_SIZE")) {
            if (!number_after(line, 10, font->pixel_size))
                return IERR_FONT;
        } else if (keyword(line, "FONT_ASCENT")) {
            if (!number_after(line, 11, font->font_ascent))
                return IERR_FONT;
        } else if (keyword(line, "FONT_DESCENT")) {
            if (!number_after(line, 12, font->font_descent))
                return IERR_FONT;
        } else if (keyword(line, "SPACING")) {
            font->proportional = strncmp(line + 7, " \"P\"", 4) == 0;
        } else if (keyword(line, "FACE_NAME")) {
            font->face_name = strlen(line) > 10 ? line + 10 : "";
        } else if (keyword(line, "SETWIDTH_NAME")) {
            font->setwidth_name = strlen(line) > 14 ? line + 14 : "";
        } else if (keyword(line, "BBX")) {
            int w, h, xo, yo;
            if (!glyph || in_bitmap || sscanf(line, "BBX %d %d %d %d", &w, &h, &xo, &yo) != 4)
                return IERR_FONT;
            if (w < 0 || h < 0 || w > kMaxGlyphSide || h > kMaxGlyphSide || static_cast<long>(w) * h > kMaxGlyphBits)
                return IERR_FONT;
            glyph->width = w;
            glyph->height = h;
            glyph->x_offset = xo;
            glyph->y_offset = yo;
            glyph->bits.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
            has_box = true;
        } else if (keyword(line, "DWIDTH")) {
            // A DWIDTH outside a glyph is the font-wide default: not used.
            if (glyph && sscanf(line, "DWIDTH %d", &glyph->advance) != 1)
                return IERR_FONT;
        } else if (strcmp(line, "BITMAP") == 0) {
            if (!glyph || !has_box)
                return IERR_FONT;
            in_bitmap = true;
            row = 0;
        } else if (strcmp(line, "ENDCHAR") == 0) {
            if (!glyph)
                return IERR_FONT;
            in_bitmap = false;
            if (glyph->name.size() == 1) {
                font->table[static_cast<unsigned char>(glyph->name[0])] = std::move(glyph);
            } else {
                font->named.push_back(std::move(glyph));
            }
            glyph.reset();
        } else if (in_bitmap) {
            if (row >= glyph->height)
                return IERR_FONT;  // more rows than the box holds
            size_t digits = (static_cast<size_t>(glyph->width) + 3) / 4;
            if (strlen(line) < digits)
                return IERR_FONT;
            for (int i = 0; i < glyph->width; i++) {
                int v = hex_value(line[i / 4]);
                if (v < 0)
                    return IERR_FONT;
                glyph->bits[static_cast<size_t>(row) * static_cast<size_t>(glyph->width) + static_cast<size_t>(i)] =
                    (v >> (3 - i % 4)) & 1;
            }
            row++;
        }
    }
    if (glyph)
        return IERR_FONT;  // the data ends inside a glyph
    out = std::move(font);
    return 0;
}

void forget_cache(const IBDFFont *f)
{
    if (cached_font == f) {
        cached_font = nullptr;
        cached_name = nullptr;
    }
}

int new_handle(const char *name, IFont **font)
{
    if (font) {
        IFont *h = new IFont{IMAGIC_FONT, strdup(name)};
        *font = h;
    }
    return 0;
}

}  // namespace

// ---- the registry ------------------------------------------------------------

int IFontBDFReadData(const char *name, const char *const *lines)
{
    if (!name || !lines)
        return IERR_FONT;
    std::unique_ptr<IBDFFont> font;
    if (int rc = parse_bdf(name, lines, font))
        return rc;
    fonts.push_back(std::move(font));
    return 0;
}

int IFontBDFReadFile(const char *name, const char *path)
{
    struct stat st;
    if (!path || stat(path, &st) != 0) {
        imagelib_warn(IMG_NO_FONT_FILE, path ? path : "");
        return IERR_NO_SUCH_FILE;
    }
    FILE *in = fopen(path, "r");
    if (!in)
        return IERR_NO_SUCH_FILE;
    std::vector<std::string> text;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, in)) {
        size_t n = strlen(buffer);
        if (n > 0 && buffer[n - 1] == '\n') {
            buffer[--n] = '\0';
            if (n > 0 && buffer[n - 1] == '\r')
                buffer[--n] = '\0';
        }
        text.emplace_back(buffer, n);
    }
    bool failed = ferror(in);
    fclose(in);
    if (failed)
        return IERR_FONT;
    std::vector<const char *> lines;
    lines.reserve(text.size() + 1);
    for (auto &l : text)
        lines.push_back(l.c_str());
    lines.push_back(nullptr);
    return IFontBDFReadData(name, lines.data());
}

int IFontBDFFree(const char *name)
{
    if (!name)
        return IERR_FONT_NOT_FOUND;
    for (auto it = fonts.begin(); it != fonts.end(); ++it)
        if ((*it)->name == name) {
            forget_cache(it->get());
            fonts.erase(it);
            return 0;
        }
    return IERR_FONT_NOT_FOUND;
}

int IFontBDFGetChar(const char *font_name, const char *glyph_name, const int **bits, int *width, int *height,
                    int *advance, int *pixel_size, int *x_offset, int *y_offset)
{
    if (!glyph_name || !*glyph_name)
        return IERR_INVALID_ARGUMENT;
    IBDFFont *f = find_font(font_name);
    if (!f)
        return IERR_FONT_NOT_FOUND;
    const IBDFGlyph *g = find_glyph(f, glyph_name);
    if (!g)
        return IERR_FONT;
    if (bits)
        *bits = g->bits.data();
    if (width)
        *width = g->width;
    if (height)
        *height = g->height;
    if (advance)
        *advance = g->advance;
    if (pixel_size)
        *pixel_size = f->pixel_size;
    if (x_offset)
        *x_offset = g->x_offset;
    if (y_offset)
        *y_offset = g->y_offset;
    return 0;
}

// ---- font handles ------------------------------------------------------------

int ILoadFontFromFile(const char *name, const char *path, IFont **font)
{
    if (!name || IFontBDFReadFile(name, path) != 0)
        return IERR_INVALID_FILE;
    return new_handle(name, font);
}

int ILoadFontFromData(const char *name, const char *const *lines, IFont **font)
{
    if (!name || IFontBDFReadData(name, lines) != 0)
        return IERR_INVALID_FILE;
    return new_handle(name, font);
}

int IFreeFont(IFont *font)
{
    if (!font)
        return 0;
    if (font->magic != IMAGIC_FONT)
        return IERR_INVALID_FONT;
    IFontBDFFree(font->name);
    font->magic = 0;
    free(font->name);
    font->name = nullptr;
    retired_handles.emplace_back(font);
    return 0;
}

int IFontSize(IFont *font, int *size)
{
    if (!valid_font(font))
        return IERR_INVALID_FONT;
    IBDFFont *f = find_font(font->name);
    if (!f)
        return IERR_FONT_NOT_FOUND;
    if (size)
        *size = f->pixel_size;
    return 0;
}

// ---- text ----------------------------------------------------------------------

namespace {

// Walks a text: calls `glyph` for each glyph found, `newline` for a line
// feed and `tab` with the number of advances a tab moves.  Gives
// IERR_BAD_ESCAPE for an escape sequence without its ";".
template <class Glyph, class Newline, class Tab>
int walk_text(const IBDFFont *f, const char *text, int length, Glyph glyph, Newline newline, Tab tab)
{
    // Before any glyph a tab takes the space's advance.
    const IBDFGlyph *space = f->table[32].get();
    int last_advance = space ? space->advance : 0;
    int k = 0;
    for (int i = 0; i < length; i++) {
        char ch = text[i];
        if (ch == '\n') {
            newline();
            k = 0;
            continue;
        }
        if (ch == '\t') {
            tab((8 - k % 8) * last_advance);
            continue;
        }
        std::string name;
        if (ch == 27) {
            int limit = std::min(length, i + 1 + 255);
            int end = i + 1;
            while (end < limit && text[end] != ';')
                end++;
            if (end >= limit || text[end] != ';')
                return IERR_BAD_ESCAPE;
            name.assign(text + i + 1, static_cast<size_t>(end - i - 1));
            i = end;
        } else {
            name.assign(1, ch);
        }
        const IBDFGlyph *g = find_glyph(f, name);
        if (!g)
            continue;
        last_advance = g->advance;
        glyph(*g);
        k++;
    }
    return 0;
}

// Calls `set` with the column and row of each pixel the glyph sets.
template <class Set>
void glyph_pixels(const IBDFGlyph &g, Set set)
{
    for (int r = 0; r < g.height; r++)
        for (int c = 0; c < g.width; c++)
            if (g.bits[static_cast<size_t>(r) * static_cast<size_t>(g.width) + static_cast<size_t>(c)])
                set(c, r);
}

// The registered font of a GC, or the error that stops drawing with it.
int gc_font(IGC *gc, IBDFFont *&f)
{
    if (!gc->font)
        return IERR_NO_FONT;
    if (!valid_font(gc->font))
        return IERR_INVALID_FONT;
    f = find_font(gc->font->name);
    return f ? 0 : IERR_FONT_NOT_FOUND;
}

int check_text(IImage *image, IGC *gc, const char *text, int length)
{
    if (!valid_gc(gc))
        return IERR_INVALID_GC;
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    if (length < 0 || (length > 0 && !text))
        return IERR_INVALID_ARGUMENT;
    return 0;
}

int draw_angle(IImage *image, IGC *gc, const IBDFFont *f, int x, int y, const char *text, int length, double angle)
{
    if (!std::isfinite(angle))
        return IERR_INVALID_ARGUMENT;
    const long n = f->pixel_size;
    const double a = std::trunc(std::fmod(angle, 360.0));
    const double t = a * M_PI / 180.0, ct = std::cos(t), st = std::sin(t);
    long pen_x = x, pen_y = y;
    const IColor &colour = gc->foreground;
    return walk_text(
        f, text, length,
        [&](const IBDFGlyph &g) {
            glyph_pixels(g, [&](int c, int r) {
                // Turned about the top of the glyph cell, pixel size above
                // the pen; the y offset turns with the glyph so that
                // descenders stay below the baseline at any angle.
                double u = c + g.x_offset, v = r + n - g.height - g.y_offset;
                double rx = u * ct + v * st, ry = -u * st + v * ct;
                put_pixel(image, colour, trunc_long(pen_x + rx), trunc_long(pen_y - n + ry));
            });
            double e = g.advance + g.x_offset;
            pen_x = trunc_long(pen_x + e * ct);
            pen_y = trunc_long(pen_y - e * st);
        },
        [&] {
            pen_y += n;
            pen_x = x;
        },
        [&](long d) { pen_x += d; });
}

// Text running up (IDIR_UP) or down (IDIR_DOWN) with its glyphs turned a
// quarter turn: `along` is the direction of writing, `across` the one in
// which the lines follow each other.
int draw_quarter(IImage *image, IGC *gc, const IBDFFont *f, int x, int y, const char *text, int length,
                 int direction)
{
    const long ax = 0, ay = direction == IDIR_UP ? -1 : 1;
    const long cx = direction == IDIR_UP ? 1 : -1, cy = 0;
    const long n = f->pixel_size;
    long line_x = x, line_y = y, pen_x = x, pen_y = y;
    const IColor &colour = gc->foreground;
    return walk_text(
        f, text, length,
        [&](const IBDFGlyph &g) {
            glyph_pixels(g, [&](int c, int r) {
                long u = c + g.x_offset, v = r - g.y_offset - g.height;
                put_pixel(image, colour, pen_x + u * ax + v * cx, pen_y + u * ay + v * cy);
            });
            pen_x += g.advance * ax;
            pen_y += g.advance * ay;
        },
        [&] {
            line_x += n * cx;
            line_y += n * cy;
            pen_x = line_x;
            pen_y = line_y;
        },
        [&](long d) {
            pen_x += d * ax;
            pen_y += d * ay;
        });
}

int draw_direction(IImage *image, IGC *gc, const IBDFFont *f, int x, int y, const char *text, int length,
                   int direction)
{
    if (direction == IDIR_UP || direction == IDIR_DOWN)
        return draw_quarter(image, gc, f, x, y, text, length, direction);
    return draw_angle(image, gc, f, x, y, text, length, 0.0);
}

IColor shade(const IColor &base, int delta)
{
    auto adj = [delta](int v) { return static_cast<unsigned char>(std::clamp(v + delta, 0, 255)); };
    IColor c = base;
    c.red = adj(base.red);
    c.green = adj(base.green);
    c.blue = adj(base.blue);
    return c;
}

}  // namespace

int IDrawStringRotatedAngle(IImage *image, IGC *gc, int x, int y, const char *text, int length, double angle)
{
    if (int rc = check_text(image, gc, text, length))
        return rc;
    IBDFFont *f = nullptr;
    if (int rc = gc_font(gc, f))
        return rc;
    return draw_angle(image, gc, f, x, y, text, length, angle);
}

int IDrawStringRotated(IImage *image, IGC *gc, int x, int y, const char *text, int length, int direction)
{
    if (int rc = check_text(image, gc, text, length))
        return rc;
    IBDFFont *f = nullptr;
    if (int rc = gc_font(gc, f))
        return rc;
    const IColor saved = gc->foreground;
    int rc = 0;
    auto once = [&](int px, int py, const IColor &c) {
        if (rc)
            return;
        gc->foreground = c;
        rc = draw_direction(image, gc, f, px, py, text, length, direction);
    };
    switch (gc->text_style) {
    case ITEXT_RAISED:
    case ITEXT_SUNK: {
        IColor lighter = shade(gc->background, 50), darker = shade(gc->background, -50);
        bool raised = gc->text_style == ITEXT_RAISED;
        once(x - 1, y - 1, raised ? darker : lighter);
        once(x + 1, y + 1, raised ? lighter : darker);
        once(x, y, gc->background);
        break;
    }
    case ITEXT_SHADOW: {
        const int m = f->pixel_size / 5;
        const IColor &bg = gc->background;
        for (int j = m; j >= 1; j--) {
            auto step = [&](int comp) { return comp / 2 + (comp - comp / 2) / m * (j - 1); };
            IColor c = bg;
            c.red = static_cast<unsigned char>(step(bg.red));
            c.green = static_cast<unsigned char>(step(bg.green));
            c.blue = static_cast<unsigned char>(step(bg.blue));
            once(x + j, y + j, c);
        }
        once(x, y, saved);
        break;
    }
    default:
        once(x, y, saved);
        break;
    }
    gc->foreground = saved;
    return rc;
}

int IDrawString(IImage *image, IGC *gc, int x, int y, const char *text, int length)
{
    return IDrawStringRotated(image, gc, x, y, text, length, IDIR_RIGHT);
}

int ITextDimensions(IGC *gc, IFont *font, const char *text, int length, int *width, int *height)
{
    if (!font)
        return IERR_NO_FONT;
    if (!valid_font(font))
        return IERR_INVALID_FONT;
    if (!valid_gc(gc))
        return IERR_INVALID_GC;
    if (length < 0 || (length > 0 && !text))
        return IERR_INVALID_ARGUMENT;
    IBDFFont *f = find_font(font->name);
    if (!f)
        return IERR_FONT_NOT_FOUND;
    long n = f->pixel_size, h = n, line = 0, widest = 0;
    int rc = walk_text(
        f, text, length,
        [&](const IBDFGlyph &g) {
            line += g.advance;
            widest = std::max(widest, line);
        },
        [&] {
            h += n;
            line = 0;
        },
        [&](long d) {
            line += d;
            widest = std::max(widest, line);
        });
    if (rc)
        return rc;
    if (gc->antialiased) {
        widest /= 2;
        h /= 2;
    }
    if (width)
        *width = static_cast<int>(std::clamp(widest, static_cast<long>(INT_MIN), static_cast<long>(INT_MAX)));
    if (height)
        *height = static_cast<int>(std::clamp(h, static_cast<long>(INT_MIN), static_cast<long>(INT_MAX)));
    return 0;
}

int ITextWidth(IGC *gc, IFont *font, const char *text, int length, int *width)
{
    return ITextDimensions(gc, font, text, length, width, nullptr);
}

int ITextHeight(IGC *gc, IFont *font, const char *text, int length, int *height)
{
    return ITextDimensions(gc, font, text, length, nullptr, height);
}
