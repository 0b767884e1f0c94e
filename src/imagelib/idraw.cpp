// Drawing primitives: points, lines, rectangles, polygons, arcs and copies.
// Every primitive draws with the GC's foreground and writes only pixels
// that pass the destination's bounds and clip test.
#include "imagelib_msgs.h"
#include "imagelib_private.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace imagelib;

namespace {

// Lines are walked outside the image only as far as they need to be: a walk
// that starts far off the image jumps to its edge (keeping the dash phase)
// and one that has left it for good stops.  This keeps absurd coordinates
// from costing billions of steps.
constexpr double kMargin = 4.0;

void plot_wide(IImage *image, const IColor &c, long px, long py, int width)
{
    switch (width) {
    case 2:
        put_pixel(image, c, px, py);
        put_pixel(image, c, px - 1, py);
        put_pixel(image, c, px - 1, py - 1);
        put_pixel(image, c, px, py - 1);
        break;
    case 3:
        put_pixel(image, c, px, py);
        put_pixel(image, c, px - 1, py);
        put_pixel(image, c, px + 1, py - 1);
        put_pixel(image, c, px, py - 1);
        put_pixel(image, c, px, py + 1);
        break;
    default:
        put_pixel(image, c, px, py);
        break;
    }
}

void draw_line(IImage *image, IGC *gc, long x1, long y1, long x2, long y2)
{
    if (x2 < x1 || (x1 == x2 && y2 < y1)) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const IColor &c = gc->foreground;
    const int width = gc->line_width;
    const bool vertical = x1 == x2;
    const double m = vertical ? 0.0 : static_cast<double>(y2 - y1) / static_cast<double>(x2 - x1);
    double x = static_cast<double>(x1), y = static_cast<double>(y1);
    const double ex = static_cast<double>(x2), ey = static_cast<double>(y2);
    const double right = image->width + kMargin, bottom = image->height + kMargin;

    if (width == 0 || width == 1)
        put_pixel(image, c, x1, y1);

    const bool dashed = gc->line_style == 1;
    double period = 3.0;
    if (!vertical) {
        long k = std::labs(trunc_long(m));
        if (k >= 1 && k <= 10)
            period = 3.0 + 0.41 / static_cast<double>(k);
    }
    double counter = 0.0;

    for (;;) {
        if (vertical || m >= 1.0) {
            if (y < -kMargin) {
                double k = std::floor(std::min(-kMargin, ey) - y);
                if (k > 1.0) {
                    y += k;
                    if (!vertical)
                        x += k / m;
                    counter += k;
                }
            } else if (y > bottom) {
                break;
            }
            if (!(y < ey))
                break;
            y += 1.0;
            if (!vertical)
                x += 1.0 / m;
        } else if (m < -1.0) {
            if (y > bottom) {
                double k = std::floor(y - std::max(bottom, ey));
                if (k > 1.0) {
                    y -= k;
                    x -= k / m;
                    counter += k;
                }
            } else if (y < -kMargin) {
                break;
            }
            if (!(y > ey))
                break;
            y -= 1.0;
            x -= 1.0 / m;
        } else {
            if (x < -kMargin) {
                double k = std::floor(std::min(-kMargin, ex) - x);
                if (k > 1.0) {
                    x += k;
                    y += k * m;
                    counter += k;
                }
            } else if (x > right) {
                break;
            }
            if (!(x < ex))
                break;
            x += 1.0;
            y += m;
        }
        if (dashed) {
            counter += 1.0;
            if (static_cast<long>(std::floor(counter / period)) & 1)
                continue;
        }
        plot_wide(image, c, trunc_long(x), trunc_long(y), width);
    }
}

struct Edge {
    long x1, y1, x2, y2;
    double m;
};

void fill_polygon(IImage *image, IGC *gc, const long *pts, int count)
{
    int saved_width = gc->line_width;
    gc->line_width = 1;

    std::vector<Edge> edges(static_cast<size_t>(count));
    for (int i = 0; i < count; i++) {
        int a = i == 0 ? count - 1 : i - 1;
        Edge &e = edges[static_cast<size_t>(i)];
        e.x1 = pts[2 * a];
        e.y1 = pts[2 * a + 1];
        e.x2 = pts[2 * i];
        e.y2 = pts[2 * i + 1];
        e.m = e.x1 == e.x2 ? 0.0 : static_cast<double>(e.y2 - e.y1) / static_cast<double>(e.x2 - e.x1);
    }
    long ymin = pts[1], ymax = pts[1];
    for (int i = 1; i < count; i++) {
        ymin = std::min(ymin, pts[2 * i + 1]);
        ymax = std::max(ymax, pts[2 * i + 1]);
    }
    // Scan lines off the image would draw nothing.
    ymin = std::max(ymin, 0L);
    ymax = std::min(ymax, static_cast<long>(image->height) - 1);

    for (long y = ymin; y <= ymax; y++) {
        int contributing = 0;
        long least = LONG_MAX, greatest = LONG_MIN;
        for (const Edge &e : edges) {
            if (y < std::min(e.y1, e.y2) || y > std::max(e.y1, e.y2))
                continue;
            contributing++;
            if (e.y1 == e.y2) {
                least = std::min({least, e.x1, e.x2});
                greatest = std::max({greatest, e.x1, e.x2});
                continue;
            }
            long x = e.x1 == e.x2 ? e.x1
                                  : trunc_long((static_cast<double>(y) -
                                                (static_cast<double>(e.y2) - e.m * static_cast<double>(e.x2))) /
                                               e.m);
            least = std::min(least, x);
            greatest = std::max(greatest, x);
        }
        if (contributing == 0)
            continue;
        if (contributing >= 2 || least == greatest)
            draw_line(image, gc, least, y, greatest, y);
        else
            imagelib_warn(IMG_POLYGON_EDGE, least, greatest, y);
    }
    gc->line_width = saved_width;
}

int check(IImage *image, IGC *gc)
{
    if (!valid_gc(gc))
        return IERR_INVALID_GC;
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    return 0;
}

// The points of an arc: angles reflected for y pointing down, then n
// points evenly spread from the start to the end angle.
int arc_points(int cx, int cy, int rx, int ry, double a1, double a2, int extra, std::vector<long> &pts,
               double &d)
{
    if (!std::isfinite(a1) || !std::isfinite(a2))
        return IERR_INVALID_ARGUMENT;
    double s = 360.0 - a1, e = 360.0 - a2;
    d = e - s;
    // A hundred turns is far beyond any arc a caller means.
    if (!std::isfinite(d) || std::fabs(d) > 36000.0)
        return IERR_INVALID_ARGUMENT;
    int n = static_cast<int>(std::fabs(d)) + extra;
    const double to_rad = 2.0 * M_PI / 360.0;
    pts.clear();
    pts.reserve(static_cast<size_t>(n) * 2 + 2);
    for (int j = 0; j < n; j++) {
        double t = s * to_rad + j * (d * to_rad) / (n - 1);
        pts.push_back(cx + trunc_long(rx * std::cos(t)));
        pts.push_back(cy + trunc_long(ry * std::sin(t)));
    }
    return 0;
}

int draw_arc(IImage *image, IGC *gc, int cx, int cy, int rx, int ry, double a1, double a2, bool enclosed)
{
    if (int rc = check(image, gc))
        return rc;
    std::vector<long> pts;
    double d;
    if (int rc = arc_points(cx, cy, rx, ry, a1, a2, 8, pts, d))
        return rc;
    size_t n = pts.size() / 2;
    for (size_t j = 1; j < n; j++)
        draw_line(image, gc, pts[2 * j - 2], pts[2 * j - 1], pts[2 * j], pts[2 * j + 1]);
    if (enclosed && n > 0) {
        draw_line(image, gc, cx, cy, pts[0], pts[1]);
        draw_line(image, gc, cx, cy, pts[2 * n - 2], pts[2 * n - 1]);
    }
    return 0;
}

// The source pixel's colour, or false where there is none to copy (outside
// the source image, or the source's transparent colour).
bool source_colour(const IImage *src, long x, long y, IColor &c)
{
    if (x < 0 || y < 0 || x >= src->width || y >= src->height)
        return false;
    size_t at = static_cast<size_t>(y) * static_cast<size_t>(src->width) + static_cast<size_t>(x);
    if (src->grey) {
        c.red = c.green = c.blue = src->pixels[at];
        return true;
    }
    const unsigned char *p = src->pixels + at * 3;
    if (src->transparent.magic && p[0] == src->transparent.red && p[1] == src->transparent.green &&
        p[2] == src->transparent.blue)
        return false;
    c.red = p[0];
    c.green = p[1];
    c.blue = p[2];
    return true;
}

// Runs one copy with a temporary colour as the GC's foreground, restoring
// the previous one afterwards.
template <class Body>
int with_copy_colour(IImage *src, IImage *dst, IGC *gc, Body body)
{
    if (!valid_gc(gc))
        return IERR_INVALID_GC;
    if (!valid_image(src) || !valid_image(dst))
        return IERR_INVALID_IMAGE;
    IColor saved = gc->foreground;
    int handle = IAllocColor(0, 0, 0);
    gc->foreground = *IGetColor(handle);
    body(gc->foreground);
    IFreeColor(handle);
    gc->foreground = saved;
    return 0;
}

}  // namespace

int IDrawPoint(IImage *image, IGC *gc, int x, int y)
{
    if (int rc = check(image, gc))
        return rc;
    put_pixel(image, gc->foreground, x, y);
    return 0;
}

int IDrawLine(IImage *image, IGC *gc, int x1, int y1, int x2, int y2)
{
    if (int rc = check(image, gc))
        return rc;
    draw_line(image, gc, x1, y1, x2, y2);
    return 0;
}

int IFillRectangle(IImage *image, IGC *gc, int x, int y, int width, int height)
{
    if (int rc = check(image, gc))
        return rc;
    long x0 = std::max(static_cast<long>(x), 0L), y0 = std::max(static_cast<long>(y), 0L);
    long x1 = std::min(static_cast<long>(x) + width, static_cast<long>(image->width));
    long y1 = std::min(static_cast<long>(y) + height, static_cast<long>(image->height));
    for (long r = y0; r < y1; r++)
        for (long c = x0; c < x1; c++)
            put_pixel(image, gc->foreground, c, r);
    return 0;
}

int IFillPolygon(IImage *image, IGC *gc, const int *points, int count)
{
    if (int rc = check(image, gc))
        return rc;
    if (count <= 1)
        return 0;
    if (!points)
        return IERR_INVALID_ARGUMENT;
    std::vector<long> pts(points, points + 2 * static_cast<size_t>(count));
    fill_polygon(image, gc, pts.data(), count);
    return 0;
}

int IDrawArc(IImage *image, IGC *gc, int cx, int cy, int rx, int ry, double a1, double a2)
{
    return draw_arc(image, gc, cx, cy, rx, ry, a1, a2, false);
}

int IDrawEnclosedArc(IImage *image, IGC *gc, int cx, int cy, int rx, int ry, double a1, double a2)
{
    return draw_arc(image, gc, cx, cy, rx, ry, a1, a2, true);
}

int IFillArc(IImage *image, IGC *gc, int cx, int cy, int rx, int ry, double a1, double a2)
{
    if (int rc = check(image, gc))
        return rc;
    std::vector<long> pts;
    double d;
    if (int rc = arc_points(cx, cy, rx, ry, a1, a2, 9, pts, d))
        return rc;
    if (d < 359.9) {
        pts.push_back(cx);
        pts.push_back(cy);
    }
    fill_polygon(image, gc, pts.data(), static_cast<int>(pts.size() / 2));
    return 0;
}

int ICopyImage(IImage *src, IImage *dst, IGC *gc, int sx, int sy, int width, int height, int dx, int dy)
{
    return with_copy_colour(src, dst, gc, [&](IColor &c) {
        // Only the part that lands on the destination can show.
        long c0 = std::max(0L, -static_cast<long>(dx));
        long r0 = std::max(0L, -static_cast<long>(dy));
        long c1 = std::min(static_cast<long>(width), static_cast<long>(dst->width) - dx);
        long r1 = std::min(static_cast<long>(height), static_cast<long>(dst->height) - dy);
        for (long r = r0; r < r1; r++)
            for (long col = c0; col < c1; col++)
                if (source_colour(src, sx + col, sy + r, c))
                    put_pixel(dst, c, dx + col, dy + r);
    });
}

int ICopyImageScaled(IImage *src, IImage *dst, IGC *gc, int sx, int sy, int sw, int sh, int dx, int dy, int dw,
                     int dh)
{
    if (valid_gc(gc) && valid_image(src) && valid_image(dst) &&
        (sw < 0 || sh < 0 || dw < 0 || dh < 0 || ((sw == 0 || sh == 0) && dw > 0 && dh > 0)))
        return IERR_INVALID_ARGUMENT;
    return with_copy_colour(src, dst, gc, [&](IColor &c) {
        const double fx = static_cast<double>(dw) / sw, fy = static_cast<double>(dh) / sh;
        long c0 = std::max(0L, -static_cast<long>(dx));
        long r0 = std::max(0L, -static_cast<long>(dy));
        long c1 = std::min(static_cast<long>(dw), static_cast<long>(dst->width) - dx);
        long r1 = std::min(static_cast<long>(dh), static_cast<long>(dst->height) - dy);
        for (long r = r0; r < r1; r++) {
            long y = trunc_long(sy + r / fy);
            for (long col = c0; col < c1; col++)
                if (source_colour(src, trunc_long(sx + col / fx), y, c))
                    put_pixel(dst, c, dx + col, dy + r);
        }
    });
}
