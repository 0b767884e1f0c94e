// X pixmap files (read and written) and Windows bitmaps (read).
#include "imagelib_private.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

using namespace imagelib;

namespace {

// Files past this size are not pictures anyone hands the library.
constexpr size_t kMaxFile = size_t(1) << 30;

const char kXpmChars[] = ".#abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
static_assert(sizeof kXpmChars - 1 == 64);

uint32_t key(const unsigned char rgb[3]) { return (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2]; }

// ---- XPM ----------------------------------------------------------------------

// The strings of an XPM file in order: the text inside each pair of double
// quotes outside comments.
bool xpm_strings(const std::string &text, std::vector<std::string> &out)
{
    size_t i = 0, n = text.size();
    while (i < n) {
        if (text.compare(i, 2, "/*") == 0) {
            size_t end = text.find("*/", i + 2);
            if (end == std::string::npos)
                return false;
            i = end + 2;
        } else if (text[i] == '"') {
            size_t end = text.find('"', i + 1);
            if (end == std::string::npos)
                return false;
            out.push_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            i++;
        }
    }
    return true;
}

// "#" and hexadecimal digits in three equal parts, each scaled to 0..255.
bool xpm_colour(const std::string &spec, unsigned char rgb[3])
{
    if (spec.size() < 4 || spec[0] != '#' || (spec.size() - 1) % 3 != 0 || spec.size() - 1 > 12)
        return false;
    size_t part = (spec.size() - 1) / 3;
    for (size_t c = 0; c < 3; c++) {
        unsigned long v = 0;
        for (size_t d = 0; d < part; d++) {
            int ch = static_cast<unsigned char>(spec[1 + c * part + d]);
            if (!isxdigit(ch))
                return false;
            v = v * 16 + static_cast<unsigned long>(isdigit(ch) ? ch - '0' : tolower(ch) - 'a' + 10);
        }
        unsigned long top = (1UL << (4 * part)) - 1;
        rgb[c] = static_cast<unsigned char>(v * 255 / top);
    }
    return true;
}

bool equal_nocase(const std::string &a, const char *b)
{
    if (a.size() != strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (tolower(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    return true;
}

// ---- BMP ----------------------------------------------------------------------

struct Bytes {
    const std::string &b;
    bool has(size_t at, size_t n) const { return at <= b.size() && n <= b.size() - at; }
    unsigned u8(size_t at) const { return static_cast<unsigned char>(b[at]); }
    unsigned u16(size_t at) const { return u8(at) | (u8(at + 1) << 8); }
    uint32_t u32(size_t at) const { return u16(at) | (uint32_t(u16(at + 2)) << 16); }
    int32_t s32(size_t at) const { return static_cast<int32_t>(u32(at)); }
};

// A colour from a bit-field pixel: the masked bits scaled to 0..255.
unsigned char field(uint32_t pixel, uint32_t mask)
{
    if (!mask)
        return 0;
    int shift = __builtin_ctz(mask);
    uint32_t top = mask >> shift;
    return static_cast<unsigned char>(((pixel & mask) >> shift) * 255 / top);
}

}  // namespace

int imagelib::write_xpm(FILE *stream, IImage *image, int flags)
{
    const size_t n = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    const bool has_transparent = image->transparent.magic != 0;
    const unsigned char tr[3] = {image->transparent.red, image->transparent.green, image->transparent.blue};
    std::unordered_map<uint32_t, int> index;
    std::vector<uint32_t> colours;
    std::vector<int> codes(n);
    for (size_t i = 0; i < n; i++) {
        unsigned char c[3];
        pixel_rgb(image, i, c);
        auto [it, fresh] = index.emplace(key(c), static_cast<int>(colours.size()));
        if (fresh) {
            // Two characters a pixel name at most 64 x 64 colours.
            if (colours.size() == 64 * 64)
                return IERR_INVALID_ARGUMENT;
            colours.push_back(key(c));
        }
        codes[i] = it->second;
    }
    const int cpp = colours.size() <= 64 ? 1 : 2;
    auto code = [&](int i) {
        return cpp == 1 ? std::string(1, kXpmChars[i]) : std::string{kXpmChars[i / 64], kXpmChars[i % 64]};
    };
    bool ok = fputs("/* XPM */\n", stream) >= 0;
    if (ok && image->comment)
        ok = fprintf(stream, "/* %s */\n", image->comment) >= 0;
    ok = ok && fputs("static char *image[] = {\n/* width height num_colors chars_per_pixel */\n", stream) >= 0;
    ok = ok && fprintf(stream, "\"%d %d %d %d\",\n/* colors */\n", image->width, image->height,
                       static_cast<int>(colours.size()), cpp) >= 0;
    for (size_t i = 0; ok && i < colours.size(); i++) {
        uint32_t k = colours[i];
        if (has_transparent && k == key(tr))
            ok = fprintf(stream, "\"%s c None\",\n", code(static_cast<int>(i)).c_str()) >= 0;
        else
            ok = fprintf(stream, "\"%s c #%02X%02X%02X\",\n", code(static_cast<int>(i)).c_str(), (k >> 16) & 0xff,
                         (k >> 8) & 0xff, k & 0xff) >= 0;
    }
    ok = ok && fputs("/* pixels */\n", stream) >= 0;
    for (int y = 0; ok && y < image->height; y++) {
        std::string row = "\"";
        for (int x = 0; x < image->width; x++)
            row += code(codes[static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x)]);
        row += "\",\n";
        ok = fputs(row.c_str(), stream) >= 0;
    }
    ok = ok && fputs("};\n", stream) >= 0;
    return ok && fflush(stream) == 0 && !ferror(stream) ? 0 : IERR_WRITE;
}

int imagelib::read_xpm(FILE *stream, int flags, IImage **out)
{
    std::string text;
    std::vector<std::string> s;
    if (!slurp(stream, text, kMaxFile) || !xpm_strings(text, s) || s.empty())
        return IERR_INVALID_FORMAT;
    int width, height, ncolours, cpp;
    char extra;
    if (sscanf(s[0].c_str(), "%d %d %d %d %c", &width, &height, &ncolours, &cpp, &extra) != 4 || width < 0 ||
        height < 0 || ncolours < 1 || cpp < 1 || cpp > 8 || s.size() < 1 + static_cast<size_t>(ncolours) + height ||
        !declared_size_ok(static_cast<uint64_t>(width) * static_cast<uint64_t>(cpp), static_cast<uint64_t>(height),
                          text.size(), 1))
        return IERR_INVALID_FORMAT;

    struct Entry {
        unsigned char rgb[3];
        bool transparent;
    };
    std::map<std::string, Entry> palette;
    bool any_transparent = false;
    for (int i = 1; i <= ncolours; i++) {
        const std::string &line = s[static_cast<size_t>(i)];
        if (line.size() < static_cast<size_t>(cpp))
            return IERR_INVALID_FORMAT;
        std::string name = line.substr(0, static_cast<size_t>(cpp));
        // Keys and values follow; the "c" (colour) one is used.
        std::vector<std::string> words;
        size_t p = static_cast<size_t>(cpp);
        while (p < line.size()) {
            while (p < line.size() && isspace(static_cast<unsigned char>(line[p])))
                p++;
            size_t q = p;
            while (q < line.size() && !isspace(static_cast<unsigned char>(line[q])))
                q++;
            if (q > p)
                words.push_back(line.substr(p, q - p));
            p = q;
        }
        Entry e{};
        bool found = false;
        for (size_t w = 0; w + 1 < words.size(); w += 2)
            if (words[w] == "c") {
                if (equal_nocase(words[w + 1], "none") || equal_nocase(words[w + 1], "transparent"))
                    e.transparent = any_transparent = true;
                else if (!xpm_colour(words[w + 1], e.rgb))
                    return IERR_INVALID_FORMAT;
                found = true;
            }
        if (!found)
            return IERR_INVALID_FORMAT;
        palette[name] = e;
    }

    IImage *image = ICreateImage(width, height, 0);
    if (!image)
        return IERR_INVALID_FORMAT;
    // Transparent pixels take a colour no opaque entry uses.
    unsigned char clear[3] = {255, 0, 255};
    if (any_transparent) {
        for (uint32_t k = 0xff00ff;; k = (k + 0x010101) & 0xffffff) {
            clear[0] = static_cast<unsigned char>(k >> 16);
            clear[1] = static_cast<unsigned char>(k >> 8);
            clear[2] = static_cast<unsigned char>(k);
            bool used = false;
            for (auto &[n, e] : palette)
                used = used || (!e.transparent && key(e.rgb) == k);
            if (!used)
                break;
        }
    }
    for (int y = 0; y < height; y++) {
        const std::string &row = s[static_cast<size_t>(1 + ncolours + y)];
        if (row.size() < static_cast<size_t>(width) * static_cast<size_t>(cpp)) {
            IFreeImage(image);
            return IERR_INVALID_FORMAT;
        }
        for (int x = 0; x < width; x++) {
            auto it = palette.find(row.substr(static_cast<size_t>(x * cpp), static_cast<size_t>(cpp)));
            if (it == palette.end()) {
                IFreeImage(image);
                return IERR_INVALID_FORMAT;
            }
            const unsigned char *c = it->second.transparent ? clear : it->second.rgb;
            memcpy(image->pixels + 3 * (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)),
                   c, 3);
        }
    }
    if (any_transparent) {
        int h = IAllocColor(clear[0], clear[1], clear[2]);
        ISetTransparent(image, h);
        IFreeColor(h);
    }
    *out = image;
    return 0;
}

int imagelib::read_bmp(FILE *stream, int flags, IImage **out)
{
    std::string data;
    if (!slurp(stream, data, kMaxFile))
        return IERR_INVALID_FORMAT;
    Bytes b{data};
    if (!b.has(0, 54) || b.u16(0) != 0x4D42 || b.u32(14) != 40 || b.u16(26) != 1)
        return IERR_INVALID_FORMAT;
    const uint32_t offset = b.u32(10);
    const int32_t width = b.s32(18), height = b.s32(22);
    const unsigned bits = b.u16(28);
    const uint32_t compression = b.u32(30);
    const bool known = (bits == 24 && compression == 0) || (bits == 16 && compression == 3) ||
                       (bits == 8 && (compression == 0 || compression == 1)) || (bits == 4 && compression == 2);
    if (!known || width <= 0 || height <= 0 || width > 1 << 20 || height > 1 << 20)
        return IERR_INVALID_FORMAT;

    // The palette of 8- and 4-bit images, blue green red and a spare byte.
    std::vector<std::array<unsigned char, 3>> palette;
    if (bits <= 8) {
        uint32_t count = b.u32(46) ? b.u32(46) : 1u << bits;
        if (count > 1u << bits || !b.has(54, size_t(count) * 4))
            return IERR_INVALID_FORMAT;
        for (uint32_t i = 0; i < count; i++)
            palette.push_back({static_cast<unsigned char>(b.u8(54 + 4 * i + 2)),
                               static_cast<unsigned char>(b.u8(54 + 4 * i + 1)),
                               static_cast<unsigned char>(b.u8(54 + 4 * i))});
    }
    uint32_t masks[3] = {0, 0, 0};
    if (bits == 16) {
        if (!b.has(54, 12))
            return IERR_INVALID_FORMAT;
        for (int i = 0; i < 3; i++)
            masks[i] = b.u32(54 + 4 * static_cast<size_t>(i));
    }
    if (offset > data.size())
        return IERR_INVALID_FORMAT;
    // Run-length rows pack at most 255 pixels into two bytes.
    if (!declared_size_ok(static_cast<uint64_t>(width), static_cast<uint64_t>(height), data.size() - offset, 128))
        return IERR_INVALID_FORMAT;

    IImage *image = ICreateImage(width, height, 0);
    if (!image)
        return IERR_INVALID_FORMAT;
    memset(image->pixels, 0, static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    // Rows are stored from the bottom up.
    auto put = [&](long x, long row_from_bottom, const unsigned char rgb[3]) {
        long y = height - 1 - row_from_bottom;
        if (x < 0 || x >= width || y < 0 || y >= height)
            return;
        memcpy(image->pixels + 3 * (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)), rgb,
               3);
    };
    auto put_index = [&](long x, long r, unsigned i) {
        unsigned char black[3] = {0, 0, 0};
        put(x, r, i < palette.size() ? palette[i].data() : black);
    };
    auto fail = [&] {
        IFreeImage(image);
        return IERR_INVALID_FORMAT;
    };

    if (compression == 0 || compression == 3) {
        const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
        if (!b.has(offset, stride * static_cast<size_t>(height)))
            return fail();
        for (long r = 0; r < height; r++) {
            size_t row = offset + static_cast<size_t>(r) * stride;
            for (long x = 0; x < width; x++) {
                unsigned char c[3];
                if (bits == 24) {
                    size_t at = row + static_cast<size_t>(x) * 3;
                    c[0] = static_cast<unsigned char>(b.u8(at + 2));
                    c[1] = static_cast<unsigned char>(b.u8(at + 1));
                    c[2] = static_cast<unsigned char>(b.u8(at));
                    put(x, r, c);
                } else if (bits == 16) {
                    uint32_t px = b.u16(row + static_cast<size_t>(x) * 2);
                    for (int i = 0; i < 3; i++)
                        c[i] = field(px, masks[i]);
                    put(x, r, c);
                } else {
                    put_index(x, r, b.u8(row + static_cast<size_t>(x)));
                }
            }
        }
    } else {
        // Run-length data: (count, value) runs, or an escape 0 followed by
        // 0 end of line, 1 end of bitmap, 2 a move, n >= 3 a literal run.
        size_t at = offset;
        long x = 0, r = 0;
        const bool four = bits == 4;
        for (;;) {
            if (!b.has(at, 2))
                return fail();
            unsigned count = b.u8(at), value = b.u8(at + 1);
            at += 2;
            if (count > 0) {
                for (unsigned i = 0; i < count; i++, x++)
                    put_index(x, r, four ? (i % 2 ? value & 0xf : value >> 4) : value);
            } else if (value == 0) {
                x = 0;
                r++;
            } else if (value == 1) {
                break;
            } else if (value == 2) {
                if (!b.has(at, 2))
                    return fail();
                x += b.u8(at);
                r += b.u8(at + 1);
                at += 2;
            } else {
                size_t bytes = four ? (value + 1) / 2 : value;
                if (!b.has(at, bytes))
                    return fail();
                for (unsigned i = 0; i < value; i++, x++) {
                    unsigned byte = b.u8(at + (four ? i / 2 : i));
                    put_index(x, r, four ? (i % 2 ? byte & 0xf : byte >> 4) : byte);
                }
                at += bytes + (bytes & 1);  // literal runs end on a word boundary
            }
            if (r > height)
                break;
        }
    }
    *out = image;
    return 0;
}
