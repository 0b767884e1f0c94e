// Pictures of graphs: PNG files read back, an EPS file rendered by
// Ghostscript at 72 dots per inch, and pixels probed by colour.
#pragma once

#include <gtest/gtest.h>

#include "imagelib.h"
#include "vxtest.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace gopic {

struct ImageFree {
    void operator()(IImage *i) const { IFreeImage(i); }
};
using Image = std::unique_ptr<IImage, ImageFree>;
using RGB = std::array<int, 3>;

inline Image read_png(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return nullptr;
    IImage *im = nullptr;
    EXPECT_EQ(IReadImageFile(f, IFORMAT_PNG, 0, &im), 0) << path;
    fclose(f);
    return Image(im);
}

// Renders an EPS file into a PNG file, cropped to its bounding box.
inline void render_eps(const std::string &eps, const std::string &png)
{
    vxtest::Result r = vxtest::run({"/usr/bin/gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                                    "-r72", "-dEPSCrop", "-sOutputFile=" + png, eps});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ((r.out + r.err).find("Error"), std::string::npos) << r.out << r.err;
}

inline RGB at(const IImage *im, int x, int y)
{
    if (x < 0 || y < 0 || x >= im->width || y >= im->height)
        return {-1, -1, -1};
    const unsigned char *p = im->pixels + (static_cast<size_t>(y) * im->width + x) * 3;
    return {p[0], p[1], p[2]};
}

inline bool near(const RGB &a, const RGB &b)
{
    return a[0] >= 0 && std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) < 60;
}

// Whether a pixel of colour `c` lies within `r` pixels of (x, y).
inline bool found(const IImage *im, int x, int y, const RGB &c, int r = 2)
{
    for (int dy = -r; dy <= r; dy++)
        for (int dx = -r; dx <= r; dx++)
            if (near(at(im, x + dx, y + dy), c))
                return true;
    return false;
}

}  // namespace gopic
