// The X11 driver's drawing: lines, polygons, rectangles, arcs, text, raster
// images, the drawing modes as graphics-context settings, the font registry,
// hatch stipples, the polyline clip and the pointer sample.

#include "gx11.h"
#include "x11_msgs.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- helpers -------------------------------------------------------------

Display *dpy_of(GCanvasRecord *c) { return gx_display(c->device); }
Drawable drawable_of(GCanvasRecord *c) { return gx_drawable(c->device); }

const short *pts(const GVector *v) { return static_cast<const short *>(v->data[0]); }

bool ready(GCanvasRecord *c) { return c && c->driver && c->device && c->device->driver; }

long max_points(GCanvasRecord *c) { return std::max(gx_device(c->device)->max_points, 2L); }

// The kernel's device points are interleaved 16-bit x, y pairs: the layout
// of XPoint (and two of them of XSegment), so they go to Xlib as they are.
static_assert(sizeof(XPoint) == 2 * sizeof(short) && offsetof(XPoint, y) == sizeof(short));
static_assert(sizeof(XSegment) == 4 * sizeof(short) && offsetof(XSegment, y2) == 3 * sizeof(short));

const XPoint *xpoints(const GVector *v, long &n)
{
    n = v->type == GV_SHORT && v->dims == 2 && !v->separate && v->data[0] ? std::max<long>(v->count, 0) : 0;
    return static_cast<const XPoint *>(v->data[0]);
}

// A connected line in requests of at most the maximum points, each request
// beginning on the last point of the one before.
void draw_connected(GCanvasRecord *c, GC gc, const XPoint *p, long n)
{
    long cap = max_points(c);
    for (long start = 0; start < n - 1; start += cap - 1) {
        long k = std::min(cap, n - start);
        XDrawLines(dpy_of(c), drawable_of(c), gc, const_cast<XPoint *>(p + start), static_cast<int>(k),
                   CoordModeOrigin);
    }
    if (n == 1)
        XDrawPoint(dpy_of(c), drawable_of(c), gc, p[0].x, p[0].y);
}

// ---- font registry -------------------------------------------------------
// Fonts and font sets are loaded once for each name and kept; failures are
// kept too, so a missing font is reported once.  Each connection has its
// own entries (X fonts belong to the connection that loaded them).

struct FontEntry {
    Display *display;
    std::string name;
    XFontStruct *font;
    XFontSet fontset;
};
std::vector<FontEntry> registry;

FontEntry *lookup(Display *d, const char *name, bool set)
{
    for (FontEntry &e : registry)
        if (e.display == d && e.name == name && (e.fontset != nullptr) == set)
            return &e;
    return nullptr;
}

XFontStruct *fallback_font(Display *d)
{
    if (FontEntry *e = lookup(d, "fixed", false))
        if (e->font)
            return e->font;
    XFontStruct *f = XLoadQueryFont(d, "fixed");
    registry.push_back({d, "fixed", f, nullptr});
    return f;
}

XFontStruct *plain_font(Display *d, const char *name)
{
    FontEntry *e = lookup(d, name, false);
    XFontStruct *f = nullptr;
    if (e) {
        f = e->font;
    } else {
        f = XLoadQueryFont(d, name);
        registry.push_back({d, name, f, nullptr});
        if (!f)
            gerror_GRegisterError(4, 7, 0, name);
    }
    return f ? f : fallback_font(d);
}

XFontSet font_set(Display *d, const char *name)
{
    if (FontEntry *e = lookup(d, name, true))
        return e->fontset;
    char **missing = nullptr;
    int count = 0;
    char *def = nullptr;
    XFontSet fs = XCreateFontSet(d, name, &missing, &count, &def);
    if (count > 0) {
        gx_report(GX_FONTS_MISSING, count);
        for (int i = 0; i < count; i++)
            gx_report(GX_CHARSET_MISSING, missing[i]);
    }
    if (missing)
        XFreeStringList(missing);
    if (!fs) {
        gerror_GRegisterError(4, 7, 0, name);
        return nullptr;
    }
    registry.push_back({d, name, fallback_font(d), fs});
    return fs;
}

// ---- hatch stipples ------------------------------------------------------

Pixmap hatch_stipple(Display *d, Drawable on, long dx, long dy, long n)
{
    n = std::max(n, 1L);  // one period at least
    if (dx != 0)
        dy = -dy;
    long w = dx != 0 ? std::labs(dx * n) : std::labs(dy * n);
    long h = dy != 0 ? std::labs(dy * n) : std::labs(dx * n);
    w = std::clamp(w, 1L, 4096L);
    h = std::clamp(h, 1L, 4096L);
    Pixmap p = XCreatePixmap(d, on, static_cast<unsigned>(w), static_cast<unsigned>(h), 1);
    GC gc = XCreateGC(d, p, 0, nullptr);
    XSetForeground(d, gc, 0);
    XFillRectangle(d, p, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XSetForeground(d, gc, 1);
    long sx = std::labs(dx), sy = std::labs(dy);
    for (long k = 0; k < 2 * n; k++) {
        if (dx == 0) {
            XDrawLine(d, p, gc, 0, static_cast<int>(k * sy), static_cast<int>(w), static_cast<int>(k * sy));
        } else if (dy == 0) {
            XDrawLine(d, p, gc, static_cast<int>(k * sx), 0, static_cast<int>(k * sx), static_cast<int>(h));
        } else if (dy < 0) {
            // Rising across the width, the first from the top edge.
            long y0 = k * sy;
            XDrawLine(d, p, gc, 0, static_cast<int>(y0), static_cast<int>(w), static_cast<int>(y0 - h));
        } else {
            // Falling across the width, the first from the bottom edge.
            long y0 = h - k * sy;
            XDrawLine(d, p, gc, 0, static_cast<int>(y0), static_cast<int>(w), static_cast<int>(y0 + h));
        }
    }
    XFreeGC(d, gc);
    return p;
}

void free_stipple(GCanvasRecord *c)
{
    GXCanvasPart *cp = gx_canvas(c);
    if (cp->stipple_owned && cp->stipple)
        XFreePixmap(dpy_of(c), cp->stipple);
    cp->stipple = 0;
    cp->stipple_owned = 0;
}

unsigned long line_foreground(GCanvasRecord *c)
{
    unsigned long p = gxbits_GXModePixel(c->device, c->line.colour);
    // Exclusive-or with the background the driver set: twice restores.
    if (c->line.function == GFN_XOR)
        p ^= gx_device(c->device)->background;
    return p;
}

}  // namespace

// ---- modes ---------------------------------------------------------------

int gxdraw_GXSetLineModes(GCanvasRecord *c, uint64_t mask)
{
    if (!ready(c))
        return -1;
    GXCanvasPart *cp = gx_canvas(c);
    Display *d = dpy_of(c);
    XGCValues v{};
    unsigned long vm = 0;
    int style_width = 0;
    if (mask & GLM_STYLE) {
        int style = LineSolid;
        if (c->line.style != -1) {
            GLineStyle *ls = glines_GGetLine(c->device->tables[GT_LINES], c->line.style);
            if (ls && ls->dashes.count > 0 && ls->dashes.data[0]) {
                const unsigned char *src = static_cast<const unsigned char *>(ls->dashes.data[0]);
                std::vector<char> dash(static_cast<size_t>(ls->dashes.count));
                for (size_t i = 0; i < dash.size(); i++)
                    dash[i] = static_cast<char>(std::max<unsigned char>(src[i], 1));  // 0 is not a dash
                XSetDashes(d, cp->line_gc, 0, dash.data(), static_cast<int>(dash.size()));
                style = LineOnOffDash;
            }
            if (ls)
                style_width = ls->width;
        }
        cp->dashed = style == LineOnOffDash;
        v.line_style = style;
        vm |= GCLineStyle;
    }
    if (mask & GLM_FUNCTION) {
        v.function = c->line.function == GFN_XOR ? GXxor : GXcopy;
        vm |= GCFunction;
    }
    if (mask & (GLM_COLOUR | GLM_FUNCTION)) {
        v.foreground = line_foreground(c);
        vm |= GCForeground;
    }
    if (mask & GLM_WIDTH) {
        long w = style_width != 0 ? style_width : c->line.width;
        v.line_width = static_cast<int>(std::clamp(w, 0L, 1000L));
        vm |= GCLineWidth;
    }
    if (vm)
        XChangeGC(d, cp->line_gc, vm, &v);
    return 0;
}

int gxdraw_GXSetFillModes(GCanvasRecord *c, uint64_t mask)
{
    if (!ready(c))
        return -1;
    GXCanvasPart *cp = gx_canvas(c);
    Display *d = dpy_of(c);
    GC gc = cp->fill_gc;
    if (mask & GFM_STYLE) {
        switch (c->fill.style) {
        case 1: case 4: XSetFillStyle(d, gc, FillSolid); break;
        case 2: XSetFillStyle(d, gc, cp->stipple ? FillStippled : FillSolid); break;
        case 3: XSetFillStyle(d, gc, cp->stipple ? FillOpaqueStippled : FillSolid); break;
        default: break;
        }
    }
    if (mask & GFM_COLOUR) {
        unsigned long p = gxbits_GXModePixel(c->device, c->fill.colour);
        XSetForeground(d, gc, p);
        XSetBackground(d, gc, p);
    }
    if (mask & GFM_HATCH) {
        free_stipple(c);
        GHatch *h = ghatch_GGetHatch(c->device->tables[GT_HATCHES], c->fill.hatch);
        long dx = 0, dy = 0, n = 0;
        if (h && ghatch_GComputeHatchIncrements(h, &dx, &dy, &n) == 0 && (dx != 0 || dy != 0)) {
            cp->stipple = hatch_stipple(d, drawable_of(c), dx, dy, n);
            cp->stipple_owned = 1;
            XSetStipple(d, gc, cp->stipple);
        }
        // No steps: the hatched styles fill solid.
        if (c->fill.style == 2 || c->fill.style == 3)
            XSetFillStyle(d, gc, !cp->stipple ? FillSolid : c->fill.style == 2 ? FillStippled : FillOpaqueStippled);
    }
    if (mask & GFM_RULE)
        XSetFillRule(d, gc, c->fill.rule == 1 ? WindingRule : EvenOddRule);
    if (mask & GFM_ARC)
        XSetArcMode(d, gc, c->fill.arc == 0 ? ArcChord : ArcPieSlice);
    if (mask & GFM_FUNCTION)
        XSetFunction(d, gc, c->fill.function == GFN_XOR ? GXxor : GXcopy);
    return 0;
}

int gxdraw_GXSetTextModes(GCanvasRecord *c, uint64_t mask)
{
    if (!ready(c))
        return -1;
    GXCanvasPart *cp = gx_canvas(c);
    Display *d = dpy_of(c);
    if (mask & GTM_FONT) {
        GFont *f = gfont_GGetCanvasFont(c, c->text.font);
        if (f && !f->glyphs) {
            const char *name = f->name ? f->name : "fixed";
            cp->nls = 0;
            cp->fontset = nullptr;
            cp->font = nullptr;
            if (f->nls == 1) {
                if (XFontSet fs = font_set(d, name)) {
                    cp->fontset = fs;
                    cp->nls = 1;
                    cp->font = fallback_font(d);
                } else {
                    f->nls = 0;  // for good
                }
            }
            if (!cp->fontset)
                cp->font = plain_font(d, name);
            if (!cp->fontset && !cp->font)
                return -1;
            if (cp->font)
                XSetFont(d, cp->text_gc, cp->font->fid);
        }
    }
    if (mask & GTM_COLOUR)
        XSetForeground(d, cp->text_gc, gxbits_GXModePixel(c->device, c->text.colour));
    return 0;
}

void gxdraw_GXReleaseCanvas(GCanvasRecord *c)
{
    if (c && c->driver)
        free_stipple(c);
}

void gxdraw_GXForgetFonts(Display *display)
{
    for (FontEntry &e : registry) {
        if (e.display != display)
            continue;
        if (e.fontset)
            XFreeFontSet(display, e.fontset);
        else if (e.font)
            XFreeFont(display, e.font);
    }
    std::erase_if(registry, [display](const FontEntry &e) { return e.display == display; });
}

void gxdraw_GXLimitPoints(GDeviceRecord *device, long points)
{
    if (GXDevicePart *p = gx_device(device))
        p->max_points = std::max(points, 2L);
}

// ---- drawing -------------------------------------------------------------

int gxdraw_GXClearArea(GCanvasRecord *c, const GVector *corner, const GVector *size)
{
    if (!ready(c) || corner->count < 1 || size->count < 1)
        return -1;
    const short *p = pts(corner), *s = pts(size);
    unsigned w = static_cast<unsigned>(std::max<short>(s[0], 0)), h = static_cast<unsigned>(std::max<short>(s[1], 0));
    if (c->device->modes.iswindow) {
        if (w > 0 && h > 0)
            XClearArea(dpy_of(c), drawable_of(c), p[0], p[1], w, h, False);
    } else {
        GC gc = XCreateGC(dpy_of(c), drawable_of(c), 0, nullptr);
        XSetForeground(dpy_of(c), gc, gxbits_GXGetXPixel(c->device, 0, 0));
        XFillRectangle(dpy_of(c), drawable_of(c), gc, p[0], p[1], w, h);
        XFreeGC(dpy_of(c), gc);
    }
    return 0;
}

int gxdraw_GXDrawLine(GCanvasRecord *c, const GVector *from, const GVector *to)
{
    if (!ready(c) || from->count < 1 || to->count < 1)
        return -1;
    XDrawLine(dpy_of(c), drawable_of(c), gx_canvas(c)->line_gc, pts(from)[0], pts(from)[1], pts(to)[0], pts(to)[1]);
    return 0;
}

namespace {
int segments(GCanvasRecord *c, GC gc, const GVector *pairs, bool one_request)
{
    long points = 0;
    const XSegment *s = reinterpret_cast<const XSegment *>(xpoints(pairs, points));
    long n = points / 2;
    long chunk = one_request ? std::max(n, 1L) : std::max(max_points(c) / 2, 1L);
    for (long start = 0; start < n; start += chunk)
        XDrawSegments(dpy_of(c), drawable_of(c), gc, const_cast<XSegment *>(s + start),
                      static_cast<int>(std::min(chunk, n - start)));
    return 0;
}
}  // namespace

int gxdraw_GXDrawLines(GCanvasRecord *c, const GVector *pairs)
{
    if (!ready(c))
        return -1;
    return segments(c, gx_canvas(c)->line_gc, pairs, false);
}

int gxdraw_GXDrawTextLines(GCanvasRecord *c, const GVector *pairs)
{
    if (!ready(c))
        return -1;
    return segments(c, gx_canvas(c)->text_gc, pairs, true);
}

int gxdraw_GXDrawFilledPolygon(GCanvasRecord *c, const GVector *points, int)
{
    if (!ready(c))
        return -1;
    long n = 0;
    const XPoint *p = xpoints(points, n);
    if (n < 1)
        return 0;
    GXCanvasPart *cp = gx_canvas(c);
    // A polygon too long for one request is outlined only.
    if (c->fill.style != 0 && n < max_points(c))
        XFillPolygon(dpy_of(c), drawable_of(c), cp->fill_gc, const_cast<XPoint *>(p), static_cast<int>(n), Complex,
                     CoordModeOrigin);
    draw_connected(c, cp->line_gc, p, n);
    return 0;
}

int gxdraw_GXDrawPolyLine(GCanvasRecord *c, const GVector *points)
{
    if (!ready(c))
        return -1;
    long n = 0;
    const XPoint *p = xpoints(points, n);
    if (n < 1)
        return 0;
    GC gc = gx_canvas(c)->line_gc;
    draw_connected(c, gc, p, n);
    if (c->line.flag && n > 1)
        XDrawLine(dpy_of(c), drawable_of(c), gc, p[n - 1].x, p[n - 1].y, p[0].x, p[0].y);
    return 0;
}

int gxdraw_GXDrawRectangle(GCanvasRecord *c, const GVector *corner, const GVector *size)
{
    if (!ready(c) || corner->count < 1 || size->count < 1)
        return -1;
    const short *p = pts(corner), *s = pts(size);
    int w = std::max<short>(s[0], 0), h = std::max<short>(s[1], 0);
    GXCanvasPart *cp = gx_canvas(c);
    XDrawRectangle(dpy_of(c), drawable_of(c), cp->line_gc, p[0], p[1], static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (c->fill.style != 0 && w > 1 && h > 1)
        XFillRectangle(dpy_of(c), drawable_of(c), cp->fill_gc, p[0] + 1, p[1] + 1, static_cast<unsigned>(w - 1),
                       static_cast<unsigned>(h - 1));
    return 0;
}

int gxdraw_GXDrawArc(GCanvasRecord *c, const GVector *first, const GVector *second, long start, long extent)
{
    if (!ready(c) || first->count < 1 || second->count < 1)
        return -1;
    const short *a = pts(first), *b = pts(second);
    long x0 = std::min(a[0], b[0]), x1 = std::max(a[0], b[0]);
    long y0 = std::min(a[1], b[1]), y1 = std::max(a[1], b[1]);
    long w = x1 - x0, h = y1 - y0;
    long size = std::max(w, h);
    const GDeviceModes &dm = c->device->modes;
    GXCanvasPart *cp = gx_canvas(c);
    if (size <= std::min(dm.dcxdim, dm.dcydim)) {
        XDrawArc(dpy_of(c), drawable_of(c), cp->line_gc, static_cast<int>(x0), static_cast<int>(y0),
                 static_cast<unsigned>(w), static_cast<unsigned>(h), static_cast<int>(start), static_cast<int>(extent));
        if (c->fill.style != 0)
            XFillArc(dpy_of(c), drawable_of(c), cp->fill_gc, static_cast<int>(x0), static_cast<int>(y0),
                     static_cast<unsigned>(w), static_cast<unsigned>(h), static_cast<int>(start), static_cast<int>(extent));
        return 0;
    }
    // Too large for the server's arcs: an outline of 1024 points, the last
    // on the arc's end.
    constexpr long N = 1024;
    XPoint *p = static_cast<XPoint *>(vx_malloc(N * static_cast<long>(sizeof(XPoint)), 0));
    if (!p) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    long cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    long rx = w / 2;
    double ry = w != 0 ? static_cast<double>(rx) * h / w : h / 2.0;
    for (long i = 0; i < N; i++) {
        double deg = (start + static_cast<double>(extent) * i / (N - 1)) / 64.0;
        double rad = deg * M_PI / 180.0;
        double x = cx + rx * std::cos(rad), y = cy - std::fabs(ry) * std::sin(rad);
        p[i] = XPoint{static_cast<short>(std::clamp(std::trunc(x), -32768.0, 32767.0)),
                      static_cast<short>(std::clamp(std::trunc(y), -32768.0, 32767.0))};
    }
    draw_connected(c, cp->line_gc, p, N);
    vx_free(p);
    return 0;
}

// ---- text ----------------------------------------------------------------

namespace {
int text_width(GXCanvasPart *cp, const std::string &s)
{
    return cp->font ? XTextWidth(cp->font, s.data(), static_cast<int>(s.size())) : 0;
}

void draw_string(GCanvasRecord *c, int x, int y, const std::string &s)
{
    GXCanvasPart *cp = gx_canvas(c);
    if (cp->nls && cp->fontset)
        XmbDrawString(dpy_of(c), drawable_of(c), cp->fontset, cp->text_gc, x, y, s.data(), static_cast<int>(s.size()));
    else
        XDrawString(dpy_of(c), drawable_of(c), cp->text_gc, x, y, s.data(), static_cast<int>(s.size()));
}
}  // namespace

int gxdraw_GXPutText(GCanvasRecord *c, const char *text, const GVector *position)
{
    if (!ready(c) || !text || position->count < 1)
        return -1;
    GXCanvasPart *cp = gx_canvas(c);
    if (!cp->font && !cp->fontset)
        return -1;
    int x = pts(position)[0], y = pts(position)[1];
    std::string all(text);
    size_t nl = all.find('\n');
    if (nl == std::string::npos) {
        draw_string(c, x, y, all);
        return 0;
    }
    // Two lines, each centred within the longer one.
    std::string first = all.substr(0, nl), second = all.substr(nl + 1);
    size_t nl2 = second.find('\n');
    if (nl2 != std::string::npos)
        second.resize(nl2);
    int w1 = text_width(cp, first), w2 = text_width(cp, second), wl = std::max(w1, w2);
    int line = cp->font ? cp->font->ascent + cp->font->descent : 0;
    draw_string(c, x + (wl - w1) / 2, y, first);
    draw_string(c, x + (wl - w2) / 2, y + line, second);
    return 0;
}

int gxdraw_GXGetRelativeTextLimits(GCanvasRecord *c, const char *text, short corners[8])
{
    if (!ready(c) || !text)
        return -1;
    GXCanvasPart *cp = gx_canvas(c);
    int len = static_cast<int>(strlen(text));
    if (cp->nls && cp->fontset) {
        XRectangle ink{}, logical{};
        XmbTextExtents(cp->fontset, text, len, &ink, &logical);
        short w = static_cast<short>(logical.width), h2 = static_cast<short>(logical.height / 2);
        short r[8] = {0, static_cast<short>(-h2), 0, h2, w, h2, w, static_cast<short>(-h2)};
        memcpy(corners, r, sizeof r);
        return 0;
    }
    if (!cp->font)
        return -1;
    int dir = 0, asc = 0, desc = 0;
    XCharStruct overall{};
    XTextExtents(cp->font, text, len, &dir, &asc, &desc, &overall);
    short w = overall.width;
    short r[8] = {0, static_cast<short>(-desc), 0, static_cast<short>(asc), w, static_cast<short>(asc), w,
                  static_cast<short>(-desc)};
    memcpy(corners, r, sizeof r);
    return 0;
}

// ---- images, clip, pointer -----------------------------------------------

namespace {
// Reverses the rows of a buffer into a new one (vx_malloc); null when no
// memory is left.
unsigned char *reversed_rows(const unsigned char *data, long row_bytes, long rows)
{
    unsigned char *out = static_cast<unsigned char *>(vx_malloc(std::max(row_bytes * rows, 1L), 0));
    if (!out)
        return nullptr;
    for (long r = 0; r < rows; r++)
        memcpy(out + r * row_bytes, data + (rows - 1 - r) * row_bytes, static_cast<size_t>(row_bytes));
    return out;
}
}  // namespace

int gxdraw_GXDrawImage(GCanvasRecord *c, const void *image_in)
{
    if (!ready(c) || !image_in)
        return -1;
    // The image's pixel buffer is consumed: the kernel passes its own record.
    GRasterImage *im = const_cast<GRasterImage *>(static_cast<const GRasterImage *>(image_in));
    GXDevicePart *part = gx_device(c->device);
    Display *d = dpy_of(c);
    if (!im->data || im->width <= 0 || im->height <= 0)
        return -1;
    bool bitmap = im->depth == 1;
    int bits = bitmap ? 1 : im->bits;
    if (!bitmap && bits != 8 && bits != 16 && bits != 32)
        return -1;
    GC gc = XCreateGC(d, drawable_of(c), 0, nullptr);
    XCopyGC(d, gx_canvas(c)->fill_gc, GCForeground | GCBackground, gc);
    Pixmap mask = 0;
    int top = im->y - im->height;
    if (im->mask_flag && im->mask && im->mask_width > 0 && im->mask_height > 0) {
        long row = (im->mask_width + 7) / 8;
        if (im->invert_y) {
            if (unsigned char *r = reversed_rows(im->mask, row, im->mask_height)) {
                vx_free(im->mask);
                im->mask = r;
            }
        }
        mask = XCreateBitmapFromData(d, drawable_of(c), reinterpret_cast<const char *>(im->mask),
                                     static_cast<unsigned>(im->mask_width), static_cast<unsigned>(im->mask_height));
        XSetClipMask(d, gc, mask);
        XSetClipOrigin(d, gc, im->x, top);
    }
    long row_bytes = bitmap ? (im->width + 7) / 8 : static_cast<long>(im->width) * bits / 8;
    if (im->invert_y) {
        if (unsigned char *r = reversed_rows(static_cast<unsigned char *>(im->data), row_bytes, im->height)) {
            vx_free(im->data);
            im->data = r;
        }
    }
    // Pad 8, 16 or 32: the rows are packed to whole bytes.
    int pad = bitmap ? 8 : bits;
    XImage *x = XCreateImage(d, part->visual, bitmap ? 1u : static_cast<unsigned>(part->depth),
                             bitmap ? XYBitmap : ZPixmap, 0, static_cast<char *>(im->data),
                             static_cast<unsigned>(im->width), static_cast<unsigned>(im->height), pad,
                             static_cast<int>(row_bytes));
    // The server's layout for the depth must be the buffer's.
    if (x && !bitmap && x->bits_per_pixel != bits) {
        x->data = nullptr;
        XDestroyImage(x);
        x = nullptr;
    }
    if (!x) {
        if (mask)
            XFreePixmap(d, mask);
        XFreeGC(d, gc);
        return -1;
    }
    if (bitmap) {
        x->bitmap_bit_order = LSBFirst;
        x->byte_order = LSBFirst;
    }
    XPutImage(d, drawable_of(c), gc, x, 0, 0, im->x, top, static_cast<unsigned>(im->width),
              static_cast<unsigned>(im->height));
    XFreeGC(d, gc);
    if (mask)
        XFreePixmap(d, mask);
    // The buffer is the kernel's: freed by its own allocator.
    x->data = nullptr;
    XDestroyImage(x);
    vx_free(im->data);
    im->data = nullptr;
    return 0;
}

int gxdraw_GXSetPolylineClip(GCanvasRecord *c, const void *clip)
{
    if (!ready(c) || !clip)
        return -1;
    const GVector *v = static_cast<const GVector *>(clip);
    if (v->count > max_points(c) || v->count < 1)
        return -1;
    long n = 0;
    const XPoint *p = xpoints(v, n);
    if (n < 1)
        return -1;
    Region r = XPolygonRegion(const_cast<XPoint *>(p), static_cast<int>(n), EvenOddRule);
    GXCanvasPart *cp = gx_canvas(c);
    XSetRegion(dpy_of(c), cp->line_gc, r);
    GFlushDevice(c->device);
    XSetRegion(dpy_of(c), cp->fill_gc, r);
    XSetRegion(dpy_of(c), cp->text_gc, r);
    XDestroyRegion(r);
    return 0;
}

int gxdraw_GXSamplePointer(GDeviceRecord *device, void *out)
{
    GPointerSample *s = static_cast<GPointerSample *>(out);
    if (!s || !gx_device(device))
        return -1;
    *s = GPointerSample{};
    // A pixmap has no pointer.
    if (!device->modes.iswindow)
        return -1;
    Window root = 0, child = 0;
    int rx = 0, ry = 0, x = 0, y = 0;
    unsigned state = 0;
    if (!XQueryPointer(gx_display(device), gx_drawable(device), &root, &child, &rx, &ry, &x, &y, &state))
        return -1;
    s->root_x = rx;
    s->root_y = ry;
    s->x = x;
    s->y = y;
    s->state = state;
    return child != None ? 0 : -1;
}
