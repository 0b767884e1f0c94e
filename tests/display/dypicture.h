// A window's pixels read back from the X server as red, green and blue
// bytes, and saved or read as PNG (the pictures of the documentation).
#pragma once

#include "imagelib.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace dypic {

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    // 0xRRGGBB; -1 outside.
    long at(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return -1;
        const unsigned char *p = &rgb[3 * (static_cast<size_t>(y) * width + x)];
        return (long)p[0] << 16 | (long)p[1] << 8 | p[2];
    }
};

inline int shift_of(unsigned long mask)
{
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        s++;
    }
    return s;
}

inline Picture grab(Display *d, Window w)
{
    XSync(d, False);
    XWindowAttributes wa{};
    XGetWindowAttributes(d, w, &wa);
    Picture p;
    XImage *img = XGetImage(d, w, 0, 0, static_cast<unsigned>(wa.width), static_cast<unsigned>(wa.height), AllPlanes,
                            ZPixmap);
    if (!img)
        return p;
    p.width = wa.width;
    p.height = wa.height;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++) {
            unsigned long v = XGetPixel(img, x, y);
            for (unsigned long mask : {img->red_mask, img->green_mask, img->blue_mask}) {
                unsigned long c = (v & mask) >> shift_of(mask), top = mask >> shift_of(mask);
                p.rgb.push_back(static_cast<unsigned char>(top ? c * 255 / top : 0));
            }
        }
    XDestroyImage(img);
    return p;
}

inline bool save_png(const Picture &p, const std::string &path)
{
    IImage *img = ICreateImage(p.width, p.height, 0);
    if (!img)
        return false;
    std::copy(p.rgb.begin(), p.rgb.end(), img->pixels);
    FILE *f = fopen(path.c_str(), "wb");
    int r = f ? IWriteImageFile(f, img, IFORMAT_PNG, 0) : -1;
    if (f)
        fclose(f);
    IFreeImage(img);
    return f && r == 0;
}

inline bool load_png(const std::string &path, Picture &p)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    IImage *img = nullptr;
    int r = IReadImageFile(f, IFORMAT_PNG, 0, &img);
    fclose(f);
    if (r != 0 || !img)
        return false;
    p.width = img->width;
    p.height = img->height;
    p.rgb.assign(img->pixels, img->pixels + 3 * static_cast<size_t>(p.width) * p.height);
    IFreeImage(img);
    return true;
}

}  // namespace dypic
