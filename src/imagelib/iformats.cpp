// The readers and writers behind the file format table.
#include <sys/stat.h>
#include "imagelib_private.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace imagelib;

namespace {

size_t pixel_count(const IImage *image)
{
    return static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
}

// ---- PNG -----------------------------------------------------------------------

// The colours of an image that uses 256 or fewer: its palette and each
// pixel's index into it.  False when the image has more colours.
bool palette_of(const IImage *image, std::vector<png_color> &palette, std::vector<unsigned char> &index)
{
    const size_t n = pixel_count(image);
    index.resize(n);
    palette.clear();
    if (image->grey) {
        int slot[256];
        std::fill(std::begin(slot), std::end(slot), -1);
        for (size_t i = 0; i < n; i++) {
            unsigned char g = image->pixels[i];
            if (slot[g] < 0) {
                slot[g] = static_cast<int>(palette.size());
                palette.push_back(png_color{g, g, g});
            }
            index[i] = static_cast<unsigned char>(slot[g]);
        }
        return true;
    }
    // An open hash of the colours met so far (key 0 marks a free slot),
    // with the last colour at hand: drawings hold long runs of one colour.
    constexpr size_t kSlots = 1024;
    uint32_t keys[kSlots] = {};
    unsigned char values[kSlots];
    uint32_t last_key = 0;
    unsigned char last_value = 0;
    const unsigned char *p = image->pixels;
    for (size_t i = 0; i < n; i++, p += 3) {
        uint32_t key = 0x1000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        if (key != last_key) {
            size_t h = (key * 2654435761u) >> 22;
            while (keys[h] != 0 && keys[h] != key)
                h = (h + 1) & (kSlots - 1);
            if (keys[h] == 0) {
                if (palette.size() == 256)
                    return false;
                keys[h] = key;
                values[h] = static_cast<unsigned char>(palette.size());
                palette.push_back(png_color{p[0], p[1], p[2]});
            }
            last_key = key;
            last_value = values[h];
        }
        index[i] = last_value;
    }
    return true;
}

int write_png(FILE *stream, IImage *image, int flags)
{
    (void)flags;
    // Most pictures (graphs above all) use few colours: those are written
    // as a palette image of the fewest bits per pixel, the others as RGB.
    std::vector<png_color> palette;
    std::vector<unsigned char> index;
    const bool indexed = palette_of(image, palette, index);
    if (!indexed)
        std::vector<unsigned char>().swap(index);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return IERR_PNG;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return IERR_PNG;
    }
    png_init_io(png, stream);
    int depth = 8;
    if (indexed)
        depth = palette.size() <= 2 ? 1 : palette.size() <= 4 ? 2 : palette.size() <= 16 ? 4 : 8;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width), static_cast<png_uint_32>(image->height), depth,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed)
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (image->comment) {
        png_text text{};
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<char *>("Comment");
        text.text = image->comment;
        png_set_text(png, info, &text, 1);
    }
    // A light deflate: pictures of many thin lines compress nearly as
    // well as at zlib's default and are written several times faster.
    // Palette rows go unfiltered through run-length matching, which finds
    // the long runs of one colour a drawing is made of at a fraction of
    // the cost and in fewer bytes.
    if (indexed) {
        png_set_compression_level(png, 1);
        png_set_compression_strategy(png, Z_RLE);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    } else {
        png_set_compression_level(png, 3);
    }
    png_write_info(png, info);
    if (indexed && depth < 8)
        png_set_packing(png);
    const size_t w = static_cast<size_t>(image->width);
    if (indexed) {
        for (int y = 0; y < image->height; y++)
            png_write_row(png, index.data() + static_cast<size_t>(y) * w);
    } else {
        for (int y = 0; y < image->height; y++)
            png_write_row(png, image->pixels + static_cast<size_t>(y) * w * 3);
    }
    png_write_end(png, info);
    // A stream that could not take the bytes is a failed write, not a file.
    bool failed = fflush(stream) != 0 || ferror(stream);
    png_destroy_write_struct(&png, &info);
    return failed ? IERR_PNG : 0;
}

int read_png(FILE *stream, int flags, IImage **out)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return IERR_PNG;
    png_infop info = png_create_info_struct(png);
    IImage *volatile image = nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        IFreeImage(image);
        return IERR_PNG;
    }
    png_init_io(png, stream);
    const uint64_t available = bytes_left(stream);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    // Deflate packs at most 1032 bytes into one, and a row byte holds up to
    // eight pixels: refuse sizes the file cannot hold before allocating.
    if (!declared_size_ok(width, height, available, 1032 * 8))
        png_error(png, "declared size too large");
    int colour_type = png_get_color_type(png, info);
    if (png_get_bit_depth(png, info) == 16)
        png_set_strip_16(png);
    if (colour_type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colour_type == PNG_COLOR_TYPE_GRAY || colour_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    if (colour_type & PNG_COLOR_MASK_ALPHA)
        png_set_strip_alpha(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (width > 0x7fffffff || height > 0x7fffffff || png_get_rowbytes(png, info) != width * 3)
        png_error(png, "unexpected row layout");
    image = ICreateImage(static_cast<int>(width), static_cast<int>(height), 0);
    if (!image)
        png_error(png, "image too large");
    // An interlaced image takes every pass over all rows.
    for (int p = 0; p < passes; p++)
        for (png_uint_32 y = 0; y < height; y++)
            png_read_row(png, image->pixels + static_cast<size_t>(y) * width * 3, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    *out = image;
    return 0;
}

// ---- PGM and PPM ---------------------------------------------------------------

unsigned char grey_of(const IImage *image, size_t i)
{
    if (image->grey)
        return image->pixels[i];
    const unsigned char *p = image->pixels + 3 * i;
    return static_cast<unsigned char>((p[0] + p[1] + p[2]) / 3);
}

bool write_header(FILE *stream, const IImage *image, const char *magic)
{
    if (fprintf(stream, "%s\n", magic) < 0)
        return false;
    if (image->comment && fprintf(stream, "# %s\n", image->comment) < 0)
        return false;
    return fprintf(stream, "%d %d\n255\n", image->width, image->height) >= 0;
}

int finish(FILE *stream, bool ok) { return ok && fflush(stream) == 0 && !ferror(stream) ? 0 : IERR_WRITE; }

int write_pgm(FILE *stream, IImage *image, int flags)
{
    const size_t n = pixel_count(image);
    bool ok = write_header(stream, image, (flags & IFILE_PLAIN) ? "P2" : "P5");
    for (size_t i = 0; ok && i < n; i++)
        ok = (flags & IFILE_PLAIN) ? fprintf(stream, "%d\n", grey_of(image, i)) >= 0
                                   : putc(grey_of(image, i), stream) != EOF;
    return finish(stream, ok);
}

int write_ppm(FILE *stream, IImage *image, int flags)
{
    const size_t n = pixel_count(image);
    bool ok;
    if (flags & IFILE_PLAIN) {
        ok = write_header(stream, image, "P3");
        for (size_t i = 0; ok && i < n; i++) {
            const unsigned char *p = image->pixels + (image->grey ? i : 3 * i);
            ok = image->grey ? fprintf(stream, "%d %d %d\n", p[0], p[0], p[0]) >= 0
                             : fprintf(stream, "%d %d %d\n", p[0], p[1], p[2]) >= 0;
        }
    } else {
        ok = write_header(stream, image, image->grey ? "P5" : "P6") &&
             fwrite(image->pixels, image->grey ? 1 : 3, n, stream) == n;
    }
    return finish(stream, ok);
}

// One header line of a PPM or PGM file, without its line end.
bool read_line(FILE *stream, char *buffer, size_t size)
{
    if (!fgets(buffer, static_cast<int>(size), stream))
        return false;
    buffer[strcspn(buffer, "\r\n")] = '\0';
    return true;
}

int read_ppm(FILE *stream, int flags, IImage **out)
{
    char line[1024];
    if (!read_line(stream, line, sizeof line))
        return IERR_INVALID_FILE;
    bool grey;
    if (strcmp(line, "P5") == 0)
        grey = true;
    else if (strcmp(line, "P6") == 0)
        grey = false;
    else
        return IERR_INVALID_FILE;
    std::string comment;
    bool have_comment = false;
    do {
        if (!read_line(stream, line, sizeof line))
            return IERR_INVALID_FILE;
        if (line[0] == '#' && !have_comment) {
            comment = line + 1 + (line[1] == ' ');
            have_comment = true;
        }
    } while (line[0] == '#');
    int width, height, maximum;
    char extra;
    if (sscanf(line, "%d %d %c", &width, &height, &extra) != 2 || width < 0 || height < 0)
        return IERR_INVALID_FILE;
    if (!read_line(stream, line, sizeof line) || sscanf(line, "%d %c", &maximum, &extra) != 1 || maximum < 1 ||
        maximum > 255)
        return IERR_INVALID_FILE;
    if (!declared_size_ok(static_cast<uint64_t>(width), static_cast<uint64_t>(height), bytes_left(stream), 1))
        return IERR_INVALID_FILE;
    IImage *image = ICreateImage(width, height, grey ? IIMAGE_GREY : 0);
    if (!image)
        return IERR_INVALID_FILE;
    const size_t bytes = pixel_count(image) * (grey ? 1 : 3);
    if (fread(image->pixels, 1, bytes, stream) != bytes) {
        IFreeImage(image);
        return IERR_INVALID_FILE;
    }
    if (maximum != 255)
        for (size_t i = 0; i < bytes; i++)
            image->pixels[i] = static_cast<unsigned char>(std::min(255, image->pixels[i] * 255 / maximum));
    ISetComment(image, have_comment ? comment.c_str() : "Created by the Vostrelane image library");
    *out = image;
    return 0;
}

}  // namespace

bool imagelib::declared_size_ok(uint64_t width, uint64_t height, uint64_t available, uint64_t pixels_per_byte)
{
    if (width > INT32_MAX || height > INT32_MAX)
        return false;
    const uint64_t pixels = width * height;
    if (pixels > kReadMaxPixels)
        return false;
    return available == kUnknownSize || pixels <= available * pixels_per_byte;
}

uint64_t imagelib::bytes_left(FILE *stream)
{
    struct stat st;
    const off_t at = ftello(stream);
    if (fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode) || at < 0 || at > st.st_size)
        return kUnknownSize;
    return static_cast<uint64_t>(st.st_size - at);
}

bool imagelib::slurp(FILE *stream, std::string &bytes, size_t limit)
{
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, stream)) > 0) {
        if (bytes.size() + n > limit)
            return false;
        bytes.append(buffer, n);
    }
    return !ferror(stream);
}

const IFileFormat IFileFormats[IFORMAT_COUNT] = {
    {"GIF", read_gif, write_gif, 8, 0},
    {"PPM", read_ppm, write_ppm, 24, 0},
    {"PGM", read_ppm, write_pgm, 8, 1},
    {"PBM", nullptr, nullptr, 1, 1},
    {"XPM", read_xpm, write_xpm, 24, 0},
    {"XBM", nullptr, nullptr, 1, 1},
    {"PNG", read_png, write_png, 24, 0},
    {"JPEG", nullptr, nullptr, 24, 0},
    {"BMP", read_bmp, nullptr, 24, 0},
};
