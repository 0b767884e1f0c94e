// Pictures of graphs on paper and in image files, compared: a graph
// written as EPS is rendered by Ghostscript at the size of the same graph
// written as PNG, and the two are probed at the same places.
#pragma once

#include "godemo.h"
#include "gographkit.h"

#include "imagelib.h"
#include "vxtest.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace kindpic {

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

inline RGB at(const IImage *im, int x, int y)
{
    if (x < 0 || y < 0 || x >= im->width || y >= im->height)
        return {-1, -1, -1};
    const unsigned char *p = im->pixels + (static_cast<size_t>(y) * im->width + x) * 3;
    return {p[0], p[1], p[2]};
}

inline bool near(const RGB &a, const RGB &b) { return a[0] >= 0 && std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) < 60; }

// Whether a pixel of colour `c` lies within `r` pixels of (x, y).
inline bool found(const IImage *im, int x, int y, const RGB &c, int r = 2)
{
    for (int dy = -r; dy <= r; dy++)
        for (int dx = -r; dx <= r; dx++)
            if (near(at(im, x + dx, y + dy), c))
                return true;
    return false;
}

inline GoPrintSettings file_settings(int kind, const std::string &path)
{
    GoPrintSettings s{};
    s.kind = kind;
    s.destination = 1;
    snprintf(s.filename, sizeof s.filename, "%s", path.c_str());
    s.page_width = 6;
    s.page_height = 8;
    s.left = s.right = s.top = s.bottom = 1;  // a 4 x 6 inch picture, upright
    s.image_option = 1;
    return s;
}

// A world point on the current canvas in device pixels.
inline std::array<int, 2> device_pixel(GoGraph *g, double x, double y)
{
    double w[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {w, nullptr, nullptr}}, out{};
    EXPECT_EQ(GTransformPoints(g->canvas, GCS_WC, GCS_DC, &in, &out), 0);
    std::array<int, 2> p{-1, -1};
    if (out.type == GV_SHORT && out.data[0]) {
        const short *o = static_cast<const short *>(out.data[0]);
        p = {o[0], o[1]};
    }
    gvector_GFreeVectorData(&out);
    return p;
}

// The EPS rendered at 72 dots an inch beside the PNG: the offset of the
// PNG's picture inside the rendered one (the bounding box leaves a little
// room on every side); false when they cannot be compared.
struct Pair {
    Image ours, theirs;
    int ox = 0, oy = 0;
    bool both(int x, int y, const RGB &c, int radius) const
    {
        return found(ours.get(), x, y, c, radius) && found(theirs.get(), x + ox, y + oy, c, radius);
    }
};

inline bool render_pair(const std::string &eps, const std::string &png, const std::string &rendered, Pair &pair)
{
    vxtest::Result r = vxtest::run({"/usr/bin/gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                                    "-r72", "-dEPSCrop", "-sOutputFile=" + rendered, eps});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ((r.out + r.err).find("Error"), std::string::npos) << r.out << r.err;
    pair.ours = read_png(png);
    pair.theirs = read_png(rendered);
    if (!pair.ours || !pair.theirs)
        return false;
    pair.ox = (pair.theirs->width - pair.ours->width) / 2;
    pair.oy = (pair.theirs->height - pair.ours->height) / 2;
    return pair.ox >= 0 && pair.ox <= 4 && pair.theirs->width - pair.ours->width == 2 * pair.ox &&
           pair.theirs->height - pair.ours->height == 2 * pair.oy;
}

}  // namespace kindpic
