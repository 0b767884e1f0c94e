// Helpers of the image library's tests: owning pointers, pixel read-back
// through a PNG file, and small images shown as text ('#' ink, '.' white).
#pragma once

#include "imagelib.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

struct ImageFree {
    void operator()(IImage *i) const { IFreeImage(i); }
};
struct GCFree {
    void operator()(IGC *g) const { IFreeGC(g); }
};
using Image = std::unique_ptr<IImage, ImageFree>;
using GC = std::unique_ptr<IGC, GCFree>;

inline Image new_image(int w, int h, int flags = 0) { return Image(ICreateImage(w, h, flags)); }
inline GC new_gc() { return GC(ICreateGC()); }

inline std::array<int, 3> rgb(const IImage *image, int x, int y)
{
    size_t at = static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x);
    if (image->grey)
        return {image->pixels[at], image->pixels[at], image->pixels[at]};
    const unsigned char *p = image->pixels + at * 3;
    return {p[0], p[1], p[2]};
}

inline bool ink(const IImage *image, int x, int y)
{
    return rgb(image, x, y) != std::array<int, 3>{255, 255, 255};
}

// The image as rows of '#' (any colour but white) and '.', one row a line.
inline std::string art(const IImage *image)
{
    std::string s;
    for (int y = 0; y < image->height; y++) {
        for (int x = 0; x < image->width; x++)
            s += ink(image, x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

// Writes the image as PNG and reads it back, so that pixel checks see what
// the file holds.
inline Image png_round_trip(IImage *image)
{
    FILE *f = tmpfile();
    EXPECT_NE(f, nullptr);
    if (!f)
        return nullptr;
    EXPECT_EQ(IWriteImageFile(f, image, IFORMAT_PNG, 0), 0);
    rewind(f);
    IImage *back = nullptr;
    EXPECT_EQ(IReadImageFile(f, IFORMAT_PNG, 0, &back), 0);
    fclose(f);
    return Image(back);
}

// Joins lines into one text: tables of expected pictures read better so.
inline std::string rows(std::initializer_list<const char *> lines)
{
    std::string s;
    for (const char *l : lines)
        (s += l) += '\n';
    return s;
}

inline std::string fixture(const char *name)
{
    const char *src = getenv("VX_SOURCE_DIR");
    return std::string(src ? src : ".") + "/tests/imagelib/data/" + name;
}
