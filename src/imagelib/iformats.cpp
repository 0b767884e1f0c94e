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

int write_png(FILE *stream, IImage *image, int flags)
{
    (void)flags;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return IERR_PNG;
    png_infop info = png_create_info_struct(png);
    // A grey image is written as RGB through a row of its own.
    unsigned char *volatile row = nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        free(row);
        return IERR_PNG;
    }
    png_init_io(png, stream);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width), static_cast<png_uint_32>(image->height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image->comment) {
        png_text text{};
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<char *>("Comment");
        text.text = image->comment;
        png_set_text(png, info, &text, 1);
    }
    // Drawings are long runs of one colour crossed by thin lines: unfiltered
    // rows at a light deflate level come out smaller than zlib's default with
    // adaptive filters, in about half the time.  The pixels read back the same.
    png_set_compression_level(png, 3);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    const size_t w = static_cast<size_t>(image->width);
    if (image->grey)
        row = static_cast<unsigned char *>(malloc(w * 3 + 1));
    for (int y = 0; y < image->height; y++) {
        if (image->grey) {
            const unsigned char *g = image->pixels + static_cast<size_t>(y) * w;
            for (size_t x = 0; x < w; x++)
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = g[x];
            png_write_row(png, row);
        } else {
            png_write_row(png, image->pixels + static_cast<size_t>(y) * w * 3);
        }
    }
    png_write_end(png, info);
    // A stream that could not take the bytes is a failed write, not a file.
    bool failed = fflush(stream) != 0 || ferror(stream);
    png_destroy_write_struct(&png, &info);
    free(row);
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
