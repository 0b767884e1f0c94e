// Helpers shared by the image library's own files.
#pragma once

#include "imagelib.h"

#include <cmath>
#include <cstdio>
#include <string>

#include <cstdint>

namespace imagelib {

inline bool valid_image(const IImage *image) { return image && image->magic == IMAGIC_IMAGE && image->pixels; }
inline bool valid_gc(const IGC *gc) { return gc && gc->magic == IMAGIC_GC; }
inline bool valid_font(const IFont *font) { return font && font->magic == IMAGIC_FONT; }

// The bounds and clip test every primitive applies to each pixel.
inline bool pixel_ok(const IImage *image, long x, long y)
{
    if (x < 0 || y < 0 || x >= image->width || y >= image->height)
        return false;
    if (image->clip && (x < image->clip_x1 || x > image->clip_x2 || y < image->clip_y1 || y > image->clip_y2))
        return false;
    return true;
}

// Writes one colour at (x, y) when the pixel passes the test; a grey image
// takes the colour's red component.
inline void put_pixel(IImage *image, const IColor &c, long x, long y)
{
    if (!pixel_ok(image, x, y))
        return;
    size_t at = static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x);
    if (image->grey) {
        image->pixels[at] = c.red;
    } else {
        unsigned char *p = image->pixels + at * 3;
        p[0] = c.red;
        p[1] = c.green;
        p[2] = c.blue;
    }
}

// Truncation toward zero, as a C cast does, for values that may lie far
// outside the int range: those are pinned well beyond any image instead of
// overflowing.
inline long trunc_long(double v)
{
    constexpr double limit = 1.0e15;
    if (!(v == v))
        return 0;
    if (v > limit)
        return static_cast<long>(limit);
    if (v < -limit)
        return -static_cast<long>(limit);
    return static_cast<long>(v);
}

// Records the last GIF library error for IErrorString.
void set_gif_error(int code);

// Readers and writers of the format table kept in files of their own.
int read_xpm(FILE *stream, int flags, IImage **image);
int write_xpm(FILE *stream, IImage *image, int flags);
int read_bmp(FILE *stream, int flags, IImage **image);
int read_gif(FILE *stream, int flags, IImage **image);
int write_gif(FILE *stream, IImage *image, int flags);

// The whole rest of a stream; false when reading failed or it holds more
// than `limit` bytes.
bool slurp(FILE *stream, std::string &bytes, size_t limit);

// Whether a reader may build an image of the size a file declares: at most
// kReadMaxPixels pixels, and no more than `available` input bytes can hold
// at `pixels_per_byte` (the format's best packing or compression).  An
// `available` of kUnknownSize (a pipe) checks the stated limit only.
constexpr uint64_t kReadMaxPixels = uint64_t(1) << 25;
constexpr uint64_t kUnknownSize = ~uint64_t(0);
bool declared_size_ok(uint64_t width, uint64_t height, uint64_t available, uint64_t pixels_per_byte);
// The bytes left in a regular file from its current position, else
// kUnknownSize.
uint64_t bytes_left(FILE *stream);

// The colour of pixel i (grey pixels as three equal components).
inline void pixel_rgb(const IImage *image, size_t i, unsigned char rgb[3])
{
    if (image->grey) {
        rgb[0] = rgb[1] = rgb[2] = image->pixels[i];
    } else {
        rgb[0] = image->pixels[3 * i];
        rgb[1] = image->pixels[3 * i + 1];
        rgb[2] = image->pixels[3 * i + 2];
    }
}

}  // namespace imagelib
