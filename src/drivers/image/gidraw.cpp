// The image-file device's drawing: lines with dashes, widths and gaps done
// here on single pixels; fills, arcs and text through the image library.

#include "gidriver.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

// ---- line code --------------------------------------------------------------------

void gidrv_GISetForeground(GIDevicePart *p, int handle)
{
    p->foreground_colour = handle;
    ISetForeground(p->gc, handle);
}

void gidrv_GISetLineStyle(GDeviceRecord *device, long index)
{
    GIDevicePart *p = gi_part(device);
    if (!p)
        return;
    p->pattern.clear();
    p->linestyle_no = index;
    p->width = 0;
    p->current = 0;
    p->pixels_left_to_plot = 0;
    ISetLineWidth(p->gc, 1);
    // The solid line (-1) has no entry: its width is the canvas's.
    if (index < 0)
        return;
    GList *t = device->tables[GT_LINES] ? device->tables[GT_LINES] : glines_GGetDefaultLineTable();
    const GLineStyle *ls = glist_GGetListLen(t) > 0 ? glines_GGetLine(t, index) : nullptr;
    if (!ls) {
        p->linestyle_no = -1;
        return;
    }
    p->width = ls->width;
    long n = ls->dashes.count;
    long total = 0;
    for (long i = 0; i < n; i++) {
        long len = std::labs(static_cast<long>(gvector_GGetValue(&ls->dashes, i, 0)));
        total += len;
        p->pattern.push_back({len, (i % 2) == 1});
    }
    // No dashes, or none of any length: solid.
    if (n == 0 || total == 0) {
        p->pattern.clear();
        p->linestyle_no = -1;
    }
}

namespace {

// A thin line in image pixels, every point plotted.
void GIDraw_Line_perp(IImage *image, IGC *gc, long x1, long y1, long x2, long y2)
{
    long dx = std::labs(x2 - x1), dy = std::labs(y2 - y1);
    long sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
    long major = std::max(dx, dy), minor = std::min(dx, dy);
    long err = major / 2, x = x1, y = y1;
    for (long i = 0; i <= major; i++) {
        IDrawPoint(image, gc, static_cast<int>(x), static_cast<int>(y));
        err += minor;
        if (dx >= dy) {
            x += sx;
            if (err >= major && major > 0)
                err -= major, y += sy;
        } else {
            y += sy;
            if (err >= major && major > 0)
                err -= major, x += sx;
        }
    }
}

// The width a line is drawn with: the line style's when it has one, else
// the canvas's, at least 1.
long line_width(const GIDevicePart *p, const GCanvasRecord *c)
{
    long w = p->width != 0 ? p->width : static_cast<long>(c->line.width);
    return w < 1 ? 1 : w;
}

}  // namespace

void gidrv_GIDraw_Line(GCanvasRecord *canvas, long x1, long y1, long x2, long y2, int gap_mode)
{
    GIDevicePart *p = gi_part(canvas);
    if (!p)
        return;
    const long s = p->scale;
    long X = x1 * s, Y = y1 * s, X2 = x2 * s, Y2 = y2 * s;
    const long width = line_width(p, canvas);
    const long ws = width * s, h1 = ws / 2, h2 = ws / 2 + ws % 2 - 1;
    const bool dashed = p->linestyle_no != -1 && !p->pattern.empty();
    long run = 0;
    bool gap = false;
    if (dashed) {
        if (p->current >= p->pattern.size())
            p->current = 0;
        run = p->pixels_left_to_plot != 0 ? p->pixels_left_to_plot : p->pattern[p->current].length * s;
        p->pixels_left_to_plot = 0;
        gap = p->pattern[p->current].gap;
    }
    long dx = std::labs(X2 - X), dy = std::labs(Y2 - Y);
    double length = std::sqrt(double(dx) * dx + double(dy) * dy);
    double ux = length > 0 ? dx / length : 0, uy = length > 0 ? dy / length : 0;
    long sx = X2 < X ? -1 : 1, sy = Y2 < Y ? -1 : 1;
    long major = std::max(dx, dy), minor = std::min(dx, dy);
    long err = major / 2;
    int bg = gi_colour(canvas->device, canvas->device->modes.bg_colour);
    auto mark = [&](bool thin) {
        if (thin)
            IDrawPoint(p->image, p->gc, static_cast<int>(X), static_cast<int>(Y));
        else
            GIDraw_Line_perp(p->image, p->gc, X - static_cast<long>(uy * h1), Y + static_cast<long>(ux * h1),
                             X + static_cast<long>(uy * h2), Y - static_cast<long>(ux * h2));
    };
    for (long i = 0; i <= major; i++) {
        if (!gap) {
            mark(width == 1 && s == 1);
        } else if (gap_mode == 1) {
            ISetForeground(p->gc, bg);
            mark(width == 1);
            ISetForeground(p->gc, p->foreground_colour);
        }
        if (dashed && --run <= 0) {
            p->current = (p->current + 1) % p->pattern.size();
            run = p->pattern[p->current].length * s;
            gap = p->pattern[p->current].gap;
        }
        err += minor;
        if (dx >= dy) {
            X += sx;
            if (err >= major && major > 0)
                err -= major, Y += sy;
        } else {
            Y += sy;
            if (err >= major && major > 0)
                err -= major, X += sx;
        }
    }
    if (dashed)
        p->pixels_left_to_plot = run;
}

void gidrv_GISetClipMask(GDeviceRecord *device, const short r[4])
{
    GIDevicePart *p = gi_part(device);
    if (!p)
        return;
    const long s = p->scale;
    p->clip_x1 = static_cast<int>((std::min(r[0], r[2]) - 1) * s);
    p->clip_y1 = static_cast<int>((std::min(r[1], r[3]) - 1) * s);
    p->clip_x2 = static_cast<int>((std::max(r[0], r[2]) + 1) * s);
    p->clip_y2 = static_cast<int>((std::max(r[1], r[3]) + 1) * s);
    p->clip_on = true;
    IImageClipOn(p->image, p->clip_x1, p->clip_y1, p->clip_x2, p->clip_y2);
}

void gidrv_GIClipOn(GIDevicePart *p, int x1, int y1, int x2, int y2) { IImageClipOn(p->image, x1, y1, x2, y2); }

void gidrv_GIClipOff(GIDevicePart *p)
{
    if (p->clip_on)
        IImageClipOn(p->image, p->clip_x1, p->clip_y1, p->clip_x2, p->clip_y2);
    else
        IImageClipOff(p->image);
}

// ---- primitives ---------------------------------------------------------------------

namespace {

const short *pts(const GVector *v) { return static_cast<const short *>(v->data[0]); }

bool usable(const GVector *v, long least)
{
    return v && v->count >= least && v->type == GV_SHORT && v->dims >= 2 && v->separate == 0 && v->data[0];
}

// Line style, GC width and clip for a drawing call.
void set_up(GCanvasRecord *c, bool gc_width)
{
    GIDevicePart *p = gi_part(c);
    gidrv_GISetLineStyle(c->device, c->line.style);
    if (gc_width)
        ISetLineWidth(p->gc, static_cast<int>(std::max<int64_t>(1, c->line.width)));
    gicanv_GISetClipping(c);
}

void segments(GCanvasRecord *c, const GVector *pairs, long colour)
{
    GIDevicePart *p = gi_part(c);
    gidrv_GISetForeground(p, gi_colour(c->device, colour));
    set_up(c, true);
    const short *v = pts(pairs);
    for (long k = 0; k + 1 < pairs->count; k += 2)
        gidrv_GIDraw_Line(c, v[2 * k + 2], v[2 * k + 3], v[2 * k], v[2 * k + 1], 0);
}

}  // namespace

int gidraw_GIDrawLine(GCanvasRecord *canvas, const GVector *from, const GVector *to)
{
    GIDevicePart *p = gi_part(canvas);
    if (!p || !usable(from, 1) || !usable(to, 1))
        return -1;
    set_up(canvas, true);
    gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->line.colour));
    gidrv_GIDraw_Line(canvas, pts(from)[0], pts(from)[1], pts(to)[0], pts(to)[1], 0);
    return 0;
}

int gidraw_GIDrawLines(GCanvasRecord *canvas, const GVector *pairs)
{
    if (!gi_part(canvas) || !pairs)
        return -1;
    if (usable(pairs, 2))
        segments(canvas, pairs, canvas->line.colour);
    return 0;
}

int gidraw_GIDrawTextLines(GCanvasRecord *canvas, const GVector *pairs)
{
    if (!gi_part(canvas) || !pairs)
        return -1;
    if (usable(pairs, 2))
        segments(canvas, pairs, canvas->text.colour);
    return 0;
}

int gidraw_GIDrawPolyLine(GCanvasRecord *canvas, const GVector *points)
{
    GIDevicePart *p = gi_part(canvas);
    if (!p || !points)
        return -1;
    if (!usable(points, 1))
        return 0;
    if (canvas->fill.style != 0)
        return gidraw_GIDrawFilledPolygon(canvas, points, 0);
    gidrv_GISetLineStyle(canvas->device, canvas->line.style);
    gicanv_GISetClipping(canvas);
    gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->line.colour));
    const short *v = pts(points);
    long n = points->count;
    for (long i = 1; i < n; i++)
        gidrv_GIDraw_Line(canvas, v[2 * i - 2], v[2 * i - 1], v[2 * i], v[2 * i + 1], 0);
    // A shape the line modes ask to close goes back to its first point.
    if (canvas->line.flag && n > 2)
        gidrv_GIDraw_Line(canvas, v[2 * n - 2], v[2 * n - 1], v[0], v[1], 0);
    return 0;
}

int gidraw_GIDrawFilledPolygon(GCanvasRecord *canvas, const GVector *points, int)
{
    GIDevicePart *p = gi_part(canvas);
    if (!p || !points)
        return -1;
    if (!usable(points, 1))
        return 0;
    set_up(canvas, true);
    const short *v = pts(points);
    long n = points->count;
    const long s = p->scale;
    if (canvas->fill.style != 2 && n >= 3) {
        gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->fill.colour));
        std::vector<int> xy(static_cast<size_t>(2 * n));
        for (long i = 0; i < 2 * n; i++)
            xy[static_cast<size_t>(i)] = static_cast<int>(v[i] * s);
        IFillPolygon(p->image, p->gc, xy.data(), static_cast<int>(n));
    }
    gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->line.colour));
    for (long i = 0; i + 1 < n; i++)
        gidrv_GIDraw_Line(canvas, v[2 * i], v[2 * i + 1], v[2 * i + 2], v[2 * i + 3], 0);
    if (n > 1)
        gidrv_GIDraw_Line(canvas, v[2 * n - 2], v[2 * n - 1], v[0], v[1], 0);
    return 0;
}

int gidraw_GIDrawRectangle(GCanvasRecord *canvas, const GVector *corner, const GVector *size)
{
    GIDevicePart *p = gi_part(canvas);
    if (!p || !usable(corner, 1) || !usable(size, 1))
        return -1;
    long x = pts(corner)[0], y = pts(corner)[1], w = pts(size)[0], h = pts(size)[1];
    const long s = p->scale;
    long style = canvas->fill.style;
    gicanv_GISetClipping(canvas);
    int gap_mode = 0;
    if (style == 1 || style == 3 || style == 4) {
        gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->fill.colour));
        IFillRectangle(p->image, p->gc, static_cast<int>(x * s), static_cast<int>(y * s), static_cast<int>(w * s),
                       static_cast<int>(h * s));
        gap_mode = 1;
    }
    gidrv_GISetLineStyle(canvas->device, canvas->line.style);
    gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->line.colour));
    gidrv_GIDraw_Line(canvas, x, y, x + w, y, gap_mode);
    gidrv_GIDraw_Line(canvas, x + w, y, x + w, y + h, gap_mode);
    gidrv_GIDraw_Line(canvas, x + w, y + h, x, y + h, gap_mode);
    gidrv_GIDraw_Line(canvas, x, y + h, x, y, gap_mode);
    if (style == 2 || style == 3) {
        gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->fill.colour));
        GIHatchRectangle(canvas, canvas->fill.hatch, x, y, w, h);
    }
    return 0;
}

int gidraw_GIClearArea(GCanvasRecord *canvas, const GVector *corner, const GVector *size)
{
    GLineModes line = canvas->line;
    GFillModes fill = canvas->fill;
    canvas->line.colour = 0;
    canvas->fill.style = 1;
    canvas->fill.colour = 0;
    int r = gidraw_GIDrawRectangle(canvas, corner, size);
    canvas->line = line;
    canvas->fill = fill;
    return r;
}

void GIHatchRectangle(GCanvasRecord *canvas, long hatch, long x, long y, long w, long h)
{
    GIDevicePart *p = gi_part(canvas);
    GDeviceRecord *d = canvas->device;
    GList *t = d->tables[GT_HATCHES] ? d->tables[GT_HATCHES] : ghatch_GGetDefaultHatchTable();
    const GHatch *entry = glist_GGetListLen(t) > 0 ? ghatch_GGetHatch(t, hatch) : nullptr;
    if (!p || !entry || entry->count < 1 || entry->type != GV_SHORT || !entry->data[0])
        return;
    long a = static_cast<const int16_t *>(entry->data[0])[0];
    long dist = static_cast<const int16_t *>(entry->data[0])[1];
    // No spacing, no lines (and no endless loop).
    if (dist <= 0)
        return;
    a = ((a % 360) + 360) % 360;
    gidrv_GISetLineStyle(d, -1);
    const long s = p->scale;
    // Bound the lines to what the rectangle can hold.
    const long most = 4 * (w + h) / dist + 8;
    long drawn = 0;
    if (a % 180 == 0) {
        for (long Y = y + h - dist; Y > y && drawn++ < most; Y -= dist)
            gidrv_GIDraw_Line(canvas, x, Y, x + w, Y, 0);
    } else if (a % 90 == 0) {
        for (long X = x + dist; X < x + w && drawn++ < most; X += dist)
            gidrv_GIDraw_Line(canvas, X, y, X, y + h, 0);
    } else {
        gidrv_GIClipOn(p, static_cast<int>(x * s), static_cast<int>(y * s), static_cast<int>((x + w) * s),
                       static_cast<int>((y + h) * s));
        double A0 = w * std::tan(a / 180.0 * M_PI);
        long A = std::isfinite(A0) ? static_cast<long>(std::clamp(A0, -1e6, 1e6)) : 0;
        long limit = std::labs(A) / dist + most;
        if ((a > 90 && a < 180) || (a > 270 && a < 360)) {
            for (long B = y + A; B <= y + h && drawn++ < limit; B += dist)
                gidrv_GIDraw_Line(canvas, x, B, x + w, B - A, 0);
        } else {
            for (long Y = y - A; Y <= y + h && drawn++ < limit; Y += dist)
                gidrv_GIDraw_Line(canvas, x, Y + A, x + w, Y, 0);
        }
    }
    gidrv_GISetLineStyle(d, canvas->line.style);
    gidrv_GIClipOff(p);
}

int gidraw_GIDrawArc(GCanvasRecord *canvas, const GVector *first, const GVector *second, long a, long e)
{
    GIDevicePart *p = gi_part(canvas);
    if (!p || !usable(first, 1) || !usable(second, 1))
        return -1;
    long x1 = pts(first)[0], y1 = pts(first)[1], x2 = pts(second)[0], y2 = pts(second)[1];
    long rx = std::labs(x2 - x1) / 2, ry = std::labs(y2 - y1) / 2;
    long r = std::min(rx, ry);
    long cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    // Start and end in degrees; a whole turn or more is the whole circle,
    // a negative extent runs from start + extent to start.
    double start = a / 64.0, end = (a + e) / 64.0;
    if (e >= 360 * 64 || e <= -360 * 64) {
        start = 0;
        end = 360;
    } else if (e < 0) {
        std::swap(start, end);
    }
    gicanv_GISetClipping(canvas);
    const long s = p->scale;
    int X = static_cast<int>(cx * s), Y = static_cast<int>(cy * s), R = static_cast<int>(r * s);
    if (canvas->fill.style == 0) {
        gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->line.colour));
        IDrawArc(p->image, p->gc, X, Y, R, R, start, end);
    } else {
        gidrv_GISetForeground(p, gi_colour(canvas->device, canvas->fill.colour));
        IDrawEnclosedArc(p->image, p->gc, X, Y, R, R, start, end);
        IFillArc(p->image, p->gc, X, Y, R, R, start, end);
    }
    return 0;
}

int gidraw_GICommentOutput(GCanvasRecord *canvas, const char *text)
{
    GIDevicePart *p = gi_part(canvas);
    if (!p)
        return -1;
    return ISetComment(p->image, text ? text : "") == 0 ? 0 : -1;
}

// ---- text -------------------------------------------------------------------------------

int gitext_GIGetRelativeTextLimits(GCanvasRecord *canvas, const char *text, short corners[8])
{
    GIDevicePart *p = gi_part(canvas);
    IFont *font = p ? gi_font(canvas->device, canvas->text.font) : nullptr;
    int w = 0, h = 0;
    long n = text ? static_cast<long>(strlen(text)) : 0;
    if (!font || ITextDimensions(p->gc, font, text ? text : "", static_cast<int>(n), &w, &h) != 0) {
        memset(corners, 0, 8 * sizeof(short));
        return -1;
    }
    // The box of the text with room for the widest glyphs.
    if (n > 0)
        w = static_cast<int>(std::abs(w) / static_cast<double>(n) * (n + 1 + n / 10));
    const short c[8] = {0, 0, 0, static_cast<short>(h), static_cast<short>(w), static_cast<short>(h),
                        static_cast<short>(w), 0};
    memcpy(corners, c, sizeof c);
    return 0;
}

int gitext_GIPutText(GCanvasRecord *canvas, const char *text, const GVector *position)
{
    GIDevicePart *p = gi_part(canvas);
    if (!p || !usable(position, 1))
        return -1;
    if (!text || !*text)
        return 0;
    IFont *font = gi_font(canvas->device, canvas->text.font);
    if (!font)
        return -1;
    int fg = gi_colour(canvas->device, canvas->text.colour);
    gidrv_GISetForeground(p, fg);
    ISetFont(p->gc, font);
    gicanv_GISetClipping(canvas);
    const int n = static_cast<int>(strlen(text));
    long degrees = canvas->text.angle / 64;
    long t = ((degrees % 360) + 360) % 360;
    int w = 0, h = 0;
    ITextDimensions(p->gc, font, text, n, &w, &h);
    double dx = 0, dy = 0;
    if (degrees % 360 != 0) {
        // The rotation turns the text about its origin; this moves it so
        // that the aligned point stays where the kernel put it.
        double R = 0, b = 0, hw = w / 2.0, hh = h / 2.0;
        switch (canvas->text.alignment) {
        case 0: R = h, b = M_PI / 2; break;
        case 1: R = std::hypot(hw, h), b = std::acos(hw / R); break;
        case 2: R = std::hypot(w, h), b = std::acos(w / R); break;
        case 3: R = hh, b = M_PI / 2; break;
        case 4: R = std::hypot(hw, hh), b = std::acos(hw / R); break;
        case 5: R = std::hypot(w, hh), b = std::acos(w / R); break;
        case 7: R = hw, b = 0; break;
        case 8: R = w, b = 0; break;
        default: break;
        }
        if (!std::isfinite(b))
            b = 0;
        double th = degrees * M_PI / 180.0;
        dx = R * std::cos(b + th) - R * std::cos(b);
        dy = -(R * std::sin(b + th) - R * std::sin(b));
    }
    const long s = p->scale;
    int X = static_cast<int>((pts(position)[0] + dx) * static_cast<double>(s));
    int Y = static_cast<int>((pts(position)[1] + dy) * static_cast<double>(s));
    if (s == 1)
        return IDrawStringRotatedAngle(p->image, p->gc, X, Y, text, n, static_cast<double>(t)) == 0 ? 0 : -1;

    // Larger scales: the text is drawn at size 1 into a scratch image and
    // copied enlarged.  Only the glyphs' pixels are copied: the scratch's
    // background is its transparent colour, so nothing under the label is
    // blanked.
    int bg = gi_colour(canvas->device, canvas->device->modes.bg_colour);
    const IColor *fc = IGetColor(fg), *bc = IGetColor(bg);
    if (fc && bc && fc->red == bc->red && fc->green == bc->green && fc->blue == bc->blue)
        return 0;  // text in the background colour shows nothing
    int side = 2 * (w + h) + 2;
    IImage *scratch = ICreateImage(side, side, 0);
    if (!scratch) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    IGC *gc = p->gc;
    ISetForeground(gc, bg);
    IFillRectangle(scratch, gc, 0, 0, side, side);
    ISetTransparent(scratch, bg);
    ISetForeground(gc, fg);
    int anchor = w + h + 1;
    IDrawStringRotatedAngle(scratch, gc, anchor, anchor, text, n, static_cast<double>(t));
    ICopyImageScaled(scratch, p->image, gc, 0, 0, side, side, X - anchor * static_cast<int>(s),
                     Y - anchor * static_cast<int>(s), side * static_cast<int>(s), side * static_cast<int>(s));
    IFreeImage(scratch);
    return 0;
}

// ---- raster images ----------------------------------------------------------------------

namespace {
// Whether a masked image keeps pixel (k, i); every pixel without a mask.
bool kept(const GRasterImage *im, long k, long i)
{
    if (!im->mask_flag || !im->mask || k >= im->mask_width || i >= im->mask_height)
        return !im->mask_flag || !im->mask;
    return (im->mask[i * (im->mask_width / 8) + k / 8] >> (k % 8) & 1) != 0;
}
}  // namespace

int GIDrawImage(GCanvasRecord *canvas, const void *image)
{
    GIDevicePart *p = gi_part(canvas);
    const GRasterImage *im = static_cast<const GRasterImage *>(image);
    if (!p || !im || !im->data || im->width <= 0 || im->height <= 0 || im->bits != 32)
        return -1;
    gicanv_GISetClipping(canvas);
    IImage *out = p->image;
    const long s = p->scale, W = im->width, H = im->height;
    long cx1 = 0, cy1 = 0, cx2 = out->width - 1, cy2 = out->height - 1;
    if (out->clip) {
        cx1 = std::max<long>(cx1, out->clip_x1), cy1 = std::max<long>(cy1, out->clip_y1);
        cx2 = std::min<long>(cx2, out->clip_x2), cy2 = std::min<long>(cy2, out->clip_y2);
    }
    const uint32_t *px = static_cast<const uint32_t *>(im->data);
    // Row 0 is the bottom row, one unit above the image's lower edge; the
    // pixels go straight into the image, no colour handle each.
    for (long i = 0; i < H; i++)
        for (long k = 0; k < W; k++) {
            uint32_t v = px[i * W + k];
            if ((v & 0xFFFFFF) == 0 || !kept(im, k, i))
                continue;
            unsigned char rgb[3] = {static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v)};
            long x0 = s * (im->x + k), y0 = s * (im->y - 1 - i);
            for (long yy = std::max(y0, cy1); yy < y0 + s && yy <= cy2; yy++)
                for (long xx = std::max(x0, cx1); xx < x0 + s && xx <= cx2; xx++)
                    memcpy(out->pixels + (static_cast<size_t>(yy) * out->width + xx) * 3, rgb, 3);
        }
    return 0;
}
