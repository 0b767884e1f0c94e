// The PostScript driver's drawing: the lazily written state, clips, and
// the drawing slots.

#include "gpdriver.h"
#include "drv_msgs.h"
#include "ghout.h"
#include "pelx_msgs.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

// ---- writing -----------------------------------------------------------------

void gp_puts(GPDevicePart *p, const char *text)
{
    if (p && p->out)
        fputs(text, p->out);
}

void gp_printf(GPDevicePart *p, const char *format, ...)
{
    if (!p || !p->out)
        return;
    va_list ap;
    va_start(ap, format);
    vfprintf(p->out, format, ap);
    va_end(ap);
}

namespace {

// Decimal digits of v before `end`; returns the first.
char *digits(char *end, long v)
{
    unsigned long u = v < 0 ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    do {
        *--end = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        *--end = '-';
    return end;
}

void line_of(GPDevicePart *p, const long *v, int n, const char *word)
{
    if (!p || !p->out)
        return;
    char buf[128];
    char *w = buf;
    *w++ = '\t';
    for (int i = 0; i < n; i++) {
        char tmp[24];
        char *e = tmp + sizeof tmp;
        char *s = digits(e, v[i]);
        memcpy(w, s, static_cast<size_t>(e - s));
        w += e - s;
        *w++ = ' ';
    }
    size_t wl = strlen(word);
    memcpy(w, word, wl);
    w += wl;
    *w++ = '\n';
    fwrite(buf, 1, static_cast<size_t>(w - buf), p->out);
}

}  // namespace

void gp_line2(GPDevicePart *p, long a, long b, const char *word)
{
    long v[2] = {a, b};
    line_of(p, v, 2, word);
}

void gp_line4(GPDevicePart *p, long a, long b, long c, long d, const char *word)
{
    long v[4] = {a, b, c, d};
    line_of(p, v, 4, word);
}

// ---- state ---------------------------------------------------------------------

void gp_colour_of(GDeviceRecord *device, long index, uint16_t rgb[3])
{
    const GColour *c = nullptr;
    if (device->modes.colourmap >= 0) {
        GList *maps = device->tables[GT_COLOURMAPS] ? device->tables[GT_COLOURMAPS]
                                                    : gcolmap_GGetDefaultColourMapTable();
        const GColourMap *map = glist_GGetListLen(maps) > 0 ? gcolmap_GGetColourMap(maps, device->modes.colourmap)
                                                            : nullptr;
        if (map && map->colours && GGetNumColoursIn(map->colours) > 0)
            c = gcolour_GGetColour(map->colours, index);
    }
    if (!c)
        c = gcolour_GGetColour(device->tables[GT_COLOURS], index);
    if (!c) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    GColour copy = *c;
    if (copy.name[0])
        gcolour_GLookupColour(&copy, copy.name);
    rgb[0] = copy.red;
    rgb[1] = copy.green;
    rgb[2] = copy.blue;
}

void gp_colour_text(const uint16_t rgb[3], char *buf, size_t size)
{
    snprintf(buf, size, "%1.2f %1.2f %1.2f ", rgb[0] / 65535.0, rgb[1] / 65535.0, rgb[2] / 65535.0);
}

namespace {

GLineStyle *line_style(GDeviceRecord *d, long style)
{
    return glines_GGetLine(d->tables[GT_LINES] ? d->tables[GT_LINES] : glines_GGetDefaultLineTable(), style);
}

void write_dashes(GPDevicePart *p, GDeviceRecord *d, long style)
{
    if (style == p->cur.dash)
        return;
    p->cur.dash = style;
    const GLineStyle *ls = style < 0 ? nullptr : line_style(d, style);
    long n = ls ? ls->dashes.count : 0;
    // A pattern of nothing but zeros is no pattern: PostScript refuses it.
    double sum = 0;
    for (long i = 0; i < n; i++)
        sum += std::fabs(gvector_GGetValue(&ls->dashes, i, 0));
    if (n <= 0 || sum == 0) {
        gp_puts(p, style < 0 ? "\t[] 0 setdash\n" : "\t[ ] 0 setdash\n");
        return;
    }
    std::string s = "\t[";
    for (long i = 0; i < n; i++)
        s += " " + std::to_string(static_cast<long>(std::fabs(gvector_GGetValue(&ls->dashes, i, 0))) * 10);
    s += " ] 0 setdash\n";
    gp_puts(p, s.c_str());
}

void write_colour(GPDevicePart *p, GDeviceRecord *d, long index)
{
    uint16_t rgb[3];
    gp_colour_of(d, index, rgb);
    if (rgb[0] == p->cur.red && rgb[1] == p->cur.green && rgb[2] == p->cur.blue)
        return;
    p->cur.red = rgb[0];
    p->cur.green = rgb[1];
    p->cur.blue = rgb[2];
    gp_printf(p, "\t%1.2f %1.2f %1.2f setrgbcolor\n", rgb[0] / 65535.0, rgb[1] / 65535.0, rgb[2] / 65535.0);
}

// The width lines are drawn with: the canvas's, unless the line style is a
// thick one (its own width above the normal 1).
long line_width(GCanvasRecord *c)
{
    const GLineStyle *ls = c->line.style < 0 ? nullptr : line_style(c->device, c->line.style);
    return ls && ls->width > 1 ? ls->width : static_cast<long>(c->line.width);
}

void write_width(GPDevicePart *p, long width)
{
    if (width == p->cur.width)
        return;
    p->cur.width = width;
    gp_printf(p, "\t%1.2f setlinewidth\n", (width + 0.5) * 10);
}

void push(GPDevicePart *p)
{
    if (p->depth < GP_STACK_DEPTH)
        p->stack[p->depth++] = p->cur;
}

void pop(GPDevicePart *p)
{
    if (p->depth > 0)
        p->cur = p->stack[--p->depth];
}

// Sets the clip the canvas asks for; true when a clip in force had to be
// removed for it (which restored an earlier state).
bool write_clip(GCanvasRecord *c)
{
    GPDevicePart *p = gp_part(c);
    GPCanvasPart *cp = gp_canvas(c);
    if (!cp || p->clip == GP_CLIP_POLYLINE)
        return false;
    const short *want;
    switch (c->modes.clip) {
    case 0: want = cp->polygon[0]; break;
    case 1: want = cp->polygon[1]; break;
    case 2: want = c->modes.dimension == 2 ? cp->polygon[2] : cp->polygon[1]; break;
    default: return false;
    }
    if (p->clip == GP_CLIP_CANVAS && memcmp(want, p->clip_points, sizeof p->clip_points) == 0)
        return false;
    bool removed = p->clip != GP_CLIP_NONE;
    gp_remove_clip(p);
    gp_set_polygon_clip(p, want, 4);
    p->clip = GP_CLIP_CANVAS;
    memcpy(p->clip_points, want, sizeof p->clip_points);
    return removed;
}

}  // namespace

void gp_remove_clip(GPDevicePart *p)
{
    if (!p || p->clip == GP_CLIP_NONE)
        return;
    gp_puts(p, "\tunsetclippath\n");
    pop(p);
    p->clip = GP_CLIP_NONE;
}

void gp_set_polygon_clip(GPDevicePart *p, const short *points, long count)
{
    push(p);
    std::string s = "\t";
    for (long i = 0; i < count; i++)
        s += std::to_string(points[2 * i]) + " " + std::to_string(points[2 * i + 1]) + " ";
    s += std::to_string(count) + " setclippath\n\n";
    gp_puts(p, s.c_str());
    p->clip = GP_CLIP_POLYLINE;
}

void gp_write_state(GCanvasRecord *c, unsigned what, long style, long colour)
{
    GPDevicePart *p = gp_part(c);
    if (!p)
        return;
    for (int pass = 0; pass < 2; pass++) {
        if (what & GP_DASHES)
            write_dashes(p, c->device, style);
        if (what & GP_COLOUR)
            write_colour(p, c->device, colour);
        if (what & GP_WIDTH)
            write_width(p, line_width(c));
        if (!write_clip(c))
            break;
    }
}

void gp_build_clip_polygons(GCanvasRecord *c)
{
    GPCanvasPart *cp = gp_canvas(c);
    if (!cp)
        return;
    const GDeviceModes &d = c->device->modes;
    auto rect = [](short *poly, double x1, double y1, double x2, double y2) {
        auto s = [](double v) { return static_cast<short>(std::clamp(std::trunc(v), -32768.0, 32767.0)); };
        double lx = std::min(x1, x2), hx = std::max(x1, x2), ly = std::min(y1, y2), hy = std::max(y1, y2);
        const short pts[8] = {s(lx), s(ly), s(lx), s(hy), s(hx), s(hy), s(hx), s(ly)};
        memcpy(poly, pts, sizeof pts);
    };
    rect(cp->polygon[0], 0, 0, static_cast<double>(d.dcxdim), static_cast<double>(d.dcydim));
    // The canvas: its origin and far corner in virtual device coordinates.
    double o[3] = {double(c->modes.origin[0]), double(c->modes.origin[1]), 0}, a[3];
    double f[3] = {o[0] + c->modes.size[0], o[1] + c->modes.size[1], 0}, b[3];
    gcoords_GApplyPart(&c->xf[GX_VDC].forward, o, a);
    gcoords_GApplyPart(&c->xf[GX_VDC].forward, f, b);
    rect(cp->polygon[1], a[0], a[1], b[0], b[1]);
    // The plot space: its extent's corners, widened by one unit.
    double po[3] = {0, 0, 0}, pf[3] = {double(c->modes.psextent[0]), double(c->modes.psextent[1]), 0};
    gcoords_GApplyPart(&c->xf[GX_PS].forward, po, a);
    gcoords_GApplyPart(&c->xf[GX_PS].forward, pf, b);
    rect(cp->polygon[2], std::min(a[0], b[0]) - 1, std::min(a[1], b[1]) - 1, std::max(a[0], b[0]) + 1,
         std::max(a[1], b[1]) + 1);
}

// ---- canvases --------------------------------------------------------------------

int gpcanv_GPOpenCanvas(GCanvasRecord *canvas)
{
    GPCanvasPart *cp = static_cast<GPCanvasPart *>(vx_malloc(sizeof(GPCanvasPart), 0));
    if (!cp) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    *cp = GPCanvasPart{};
    canvas->driver = cp;
    gpcanv_GPSetCanvasModes(canvas, ~uint64_t(0));
    return 0;
}

int gpcanv_GPCloseCanvas(GCanvasRecord *canvas)
{
    vx_free(canvas->driver);
    canvas->driver = nullptr;
    return 0;
}

int gpcanv_GPSetCanvasModes(GCanvasRecord *canvas, uint64_t mask)
{
    if (!canvas->driver)
        return 0;
    if (mask & (GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_PSEXTENT))
        gp_build_clip_polygons(canvas);
    if (mask & GCM_CLIP)
        gp_remove_clip(gp_part(canvas));
    return 0;
}

int gpcanv_GPSetFillModes(GCanvasRecord *canvas, uint64_t mask)
{
    GPCanvasPart *cp = gp_canvas(canvas);
    if (!cp || !(mask & 0x4))
        return 0;
    GDeviceRecord *d = canvas->device;
    const GHatch *h = ghatch_GGetHatch(d->tables[GT_HATCHES] ? d->tables[GT_HATCHES] : ghatch_GGetDefaultHatchTable(),
                                       canvas->fill.hatch);
    cp->hatch_dx = cp->hatch_dy = 0;
    if (!h || h->count < 1 || h->type != GV_SHORT || !h->data[0])
        return 0;
    // The steps come from a copy of the first family: the table stays as
    // it is.
    int16_t family[2] = {static_cast<const int16_t *>(h->data[0])[0], static_cast<const int16_t *>(h->data[0])[1]};
    GHatch one{GV_SHORT, 0, 2, 1, {family, nullptr, nullptr}};
    long count;
    ghatch_GComputeHatchIncrements(&one, &cp->hatch_dx, &cp->hatch_dy, &count);
    return 0;
}

int gpcanv_GPGetCanvasColour(GCanvasRecord *canvas, long *colour, unsigned char flag)
{
    *colour = flag ? 0 : static_cast<long>(canvas->device->modes.bg_colour);
    return 0;
}

int gpcanv_GPCreateTransforms(GCanvasRecord *canvas)
{
    GXform &t = canvas->xf[GX_FIFTH];
    t = GXform{{{0, 0, 0}, {720, 0, 0, 0, 720, 0, 0, 0, 720}},
               {{0, 0, 0}, {1 / 720.0, 0, 0, 0, 1 / 720.0, 0, 0, 0, 1 / 720.0}}};
    return 0;
}

int gpcanv_GPSetPolylineClip(GCanvasRecord *canvas, const void *clip)
{
    const GVector *v = static_cast<const GVector *>(clip);
    GPDevicePart *p = gp_part(canvas);
    if (!p)
        return -1;
    if (!v) {
        gp_remove_clip(p);
        return 0;
    }
    if (v->count > 500 || v->count < 1)
        return -1;
    std::string pts;
    short *buf = static_cast<short *>(vx_malloc(static_cast<long>(2 * v->count * sizeof(short)), 0));
    if (!buf) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    for (long i = 0; i < v->count; i++) {
        buf[2 * i] = static_cast<short>(gvector_GGetValue(v, i, 0));
        buf[2 * i + 1] = static_cast<short>(gvector_GGetValue(v, i, 1));
    }
    gp_remove_clip(p);
    gp_set_polygon_clip(p, buf, v->count);
    vx_free(buf);
    return 0;
}

// ---- drawing ---------------------------------------------------------------------

namespace {

const short *pts(const GVector *v) { return static_cast<const short *>(v->data[0]); }

bool usable(const GVector *v, long least)
{
    return v && v->count >= least && v->type == GV_SHORT && v->dims >= 2 && v->separate == 0 && v->data[0];
}

// The fill of a closed path by the canvas's fill style, in the fill colour
// (written only where it differs from the line colour in force).
void write_fill(GCanvasRecord *c)
{
    GPDevicePart *p = gp_part(c);
    GPCanvasPart *cp = gp_canvas(c);
    long style = c->fill.style;
    if (style != 1 && style != 2 && style != 3 && style != 4)
        return;
    uint16_t rgb[3];
    gp_colour_of(c->device, c->fill.colour, rgb);
    bool other = rgb[0] != p->cur.red || rgb[1] != p->cur.green || rgb[2] != p->cur.blue;
    char colour[48] = "";
    if (other) {
        gp_colour_text(rgb, colour, sizeof colour);
        strcat(colour, "setrgbcolor ");
    }
    if (style == 2) {
        long dx = cp ? cp->hatch_dx * 10 : 0, dy = cp ? cp->hatch_dy * 10 : 0;
        if (other)
            gp_printf(p, "\tgsave %s%ld %ld hatch grestore\n", colour, dx, dy);
        else
            gp_line2(p, dx, dy, "hatch");
    } else {
        gp_printf(p, "\tgsave %sfill grestore\n", colour);
    }
}

// The arc and rectangle outlines stroke the path the fill left.
void finish_shape(GPDevicePart *p) { gp_puts(p, "\tST\n"); }

}  // namespace

int gpdraw_GPClearArea(GCanvasRecord *canvas, const GVector *corner, const GVector *size)
{
    GLineModes line = canvas->line;
    GFillModes fill = canvas->fill;
    canvas->line.colour = 0;
    canvas->fill.style = 1;
    canvas->fill.colour = 0;
    int r = gpdraw_GPDrawRectangle(canvas, corner, size);
    canvas->line = line;
    canvas->fill = fill;
    return r;
}

int gpdraw_GPDrawLine(GCanvasRecord *canvas, const GVector *from, const GVector *to)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p || !usable(from, 1) || !usable(to, 1))
        return -1;
    gp_write_state(canvas, GP_LINE_STATE, canvas->line.style, canvas->line.colour);
    const short *a = pts(from), *b = pts(to);
    gp_line4(p, b[0] - a[0], b[1] - a[1], a[0], a[1], "RSL");
    return 0;
}

namespace {

// Segment pairs: a segment that starts where the last one ended continues
// the path; a stroke after every 500 segments and at the end (or only at
// the end).
int segments(GCanvasRecord *canvas, const GVector *pairs, long style, long colour, bool cut)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p || !pairs)
        return -1;
    if (!usable(pairs, 2))
        return 0;
    gp_write_state(canvas, GP_LINE_STATE, style, colour);
    const short *v = pts(pairs);
    long n = pairs->count / 2;
    long ex = 0, ey = 0;
    for (long s = 0; s < n; s++) {
        long x1 = v[4 * s], y1 = v[4 * s + 1], x2 = v[4 * s + 2], y2 = v[4 * s + 3];
        if (s > 0 && x1 == ex && y1 == ey)
            gp_line2(p, x2 - x1, y2 - y1, "RLT");
        else
            gp_line4(p, x2 - x1, y2 - y1, x1, y1, "RDL");
        ex = x2;
        ey = y2;
        if (cut && (s + 1) % 500 == 0 && s + 1 < n) {
            gp_puts(p, "\tST\n\n");
            gp_line2(p, ex, ey, "moveto");
        }
    }
    gp_puts(p, "\tST\n\n");
    return 0;
}

}  // namespace

int gpdraw_GPDrawLines(GCanvasRecord *canvas, const GVector *pairs)
{
    return segments(canvas, pairs, canvas->line.style, canvas->line.colour, true);
}

int gpdraw_GPDrawTextLines(GCanvasRecord *canvas, const GVector *pairs)
{
    return segments(canvas, pairs, -1, canvas->text.colour, false);
}

int gpdraw_GPDrawPolyLine(GCanvasRecord *canvas, const GVector *points)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p || !points)
        return -1;
    if (!usable(points, 1))
        return 0;
    gp_write_state(canvas, GP_LINE_STATE, canvas->line.style, canvas->line.colour);
    const short *v = pts(points);
    long n = points->count;
    // Steps to the same device point are not written; a part holds at
    // most 500 points (its moveto and 499 steps).
    long steps = 0;
    for (long i = 1; i < n; i++)
        if (v[2 * i] != v[2 * i - 2] || v[2 * i + 1] != v[2 * i - 1])
            steps++;
    bool close = canvas->line.flag != 0;
    bool close_by_hand = false;
    if (close && steps + 1 > 500) {
        // Too long to fill as one path: drawn as a closed outline.
        if (canvas->fill.style != 0) {
            canvas->line.flag = 0;
            gerror_GRegisterError(4, 18, 0, nullptr);
        }
        close = false;
        close_by_hand = true;
    }
    auto finish = [&] {
        if (close) {
            gp_puts(p, "\tclosepath\n");
            write_fill(canvas);
        }
        gp_puts(p, "\tST\n\n");
    };
    long cx = v[0], cy = v[1];
    gp_line2(p, cx, cy, "moveto");
    long in_part = 1, written = 0;
    for (long i = 1; i < n; i++) {
        long x = v[2 * i], y = v[2 * i + 1];
        if (x == cx && y == cy)
            continue;
        gp_line2(p, x - cx, y - cy, "RLT");
        cx = x;
        cy = y;
        written++;
        if (++in_part == 500 && written < steps) {
            finish();
            gp_line2(p, cx, cy, "moveto");
            in_part = 1;
        }
    }
    if (close_by_hand && (cx != v[0] || cy != v[1]))
        gp_line2(p, v[0] - cx, v[1] - cy, "RLT");
    finish();
    gp_puts(p, "\n");
    return 0;
}

int gpdraw_GPDrawFilledPolygon(GCanvasRecord *canvas, const GVector *points, int)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p || !points)
        return -1;
    if (!usable(points, 1))
        return 0;
    long n = points->count;
    if (n > 500) {
        gerror_GRegisterError(4, 18, 0, nullptr);
        canvas->line.flag = 0;
        return gpdraw_GPDrawPolyLine(canvas, points);
    }
    gp_write_state(canvas, GP_DASHES | GP_WIDTH, canvas->line.style, 0);
    uint16_t line[3], fill[3];
    gp_colour_of(canvas->device, canvas->line.colour, line);
    gp_colour_of(canvas->device, canvas->fill.colour, fill);
    bool two = memcmp(line, fill, sizeof line) != 0;
    std::string s = "\t";
    char buf[48];
    gp_colour_text(line, buf, sizeof buf);
    s += buf;
    if (two) {
        gp_colour_text(fill, buf, sizeof buf);
        s += buf;
    }
    const short *v = pts(points);
    for (long i = n - 1; i >= 1; i--)
        s += std::to_string(v[2 * i] - v[2 * i - 2]) + " " + std::to_string(v[2 * i + 1] - v[2 * i - 1]) + " ";
    s += std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(n) + (two ? " DFOP\n" : " DFP\n");
    gp_puts(p, s.c_str());
    // The procedures leave the line colour current.
    p->cur.red = line[0];
    p->cur.green = line[1];
    p->cur.blue = line[2];
    return 0;
}

int gpdraw_GPDrawRectangle(GCanvasRecord *canvas, const GVector *corner, const GVector *size)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p || !usable(corner, 1) || !usable(size, 1))
        return -1;
    gp_write_state(canvas, GP_LINE_STATE, canvas->line.style, canvas->line.colour);
    long x = pts(corner)[0], y = pts(corner)[1], w = pts(size)[0], h = pts(size)[1];
    gp_line4(p, x + w, y, x, y, "DL");
    gp_line2(p, x + w, y + h, "LT");
    gp_line2(p, x, y + h, "LT");
    gp_puts(p, "\tclosepath\n");
    write_fill(canvas);
    finish_shape(p);
    gp_puts(p, "\n");
    return 0;
}

int gpdraw_GPDrawArc(GCanvasRecord *canvas, const GVector *first, const GVector *second, long start, long extent)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p || !usable(first, 1) || !usable(second, 1))
        return -1;
    long x1 = pts(first)[0], y1 = pts(first)[1], x2 = pts(second)[0], y2 = pts(second)[1];
    long rx = std::labs(x2 - x1) / 2, ry = std::labs(y2 - y1) / 2;
    // An arc of no width or height has no shape to draw.
    if (rx == 0 || ry == 0)
        return 0;
    gp_write_state(canvas, GP_LINE_STATE, canvas->line.style, canvas->line.colour);
    long a1 = start / 64, a2 = (start + extent) / 64;
    if (extent >= 360 * 64 || extent <= -360 * 64) {
        a1 = 0;
        a2 = 360;
    } else if (extent < 0) {
        std::swap(a1, a2);
    }
    bool filled = canvas->fill.style >= 1 && canvas->fill.style <= 4;
    gp_puts(p, "\tgsave\n\tnewpath\n");
    gp_printf(p, "\t%hd %hd translate\n", static_cast<short>((x1 + x2) / 2), static_cast<short>((y1 + y2) / 2));
    gp_printf(p, "\t1.00 %2.2f scale\n", static_cast<double>(ry) / static_cast<double>(rx));
    // A filled arc is a pie slice from the centre; an outline is the arc
    // alone.
    if (filled)
        gp_puts(p, "0 0 moveto");
    gp_printf(p, "\t0 0 %hd %ld %ld arc\n", static_cast<short>(rx), a1, a2);
    if (filled)
        gp_puts(p, "\tclosepath\n");
    write_fill(canvas);
    finish_shape(p);
    gp_puts(p, "\tgrestore\n\n");
    return 0;
}

int gpdraw_GPDrawGrid(GCanvasRecord *canvas, const GVector *, const GVector *, long, const GVector *)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p)
        return -1;
    gp_write_state(canvas, GP_LINE_STATE, canvas->line.style, canvas->line.colour);
    gp_puts(p, "\n");
    fputs(vx_msgf(gerror_GCatalogue(), DRV_PS_NO_GRID).c_str(), stderr);
    return 0;
}

namespace {

// A text as a PostScript string body: parentheses and backslashes escaped,
// bytes outside the printable range as octal escapes.
std::string ps_string(const char *text, size_t n)
{
    std::string s;
    s.reserve(n + 8);
    for (size_t i = 0; i < n; i++) {
        unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch == '(' || ch == ')' || ch == '\\') {
            s += '\\';
            s += static_cast<char>(ch);
        } else if (ch < 32 || ch > 126) {
            char o[8];
            snprintf(o, sizeof o, "\\%03o", ch);
            s += o;
        } else {
            s += static_cast<char>(ch);
        }
    }
    return s;
}

const char *const shows[9] = {"tlshow", "tcshow", "trshow", "clshow", "ccshow",
                              "crshow", "blshow", "bcshow", "brshow"};

void write_font(GCanvasRecord *c, const GFont *font)
{
    GPDevicePart *p = gp_part(c);
    long index = c->text.font;
    if (!font || font->glyphs || index == p->cur.font || !font->name || !*font->name)
        return;
    p->cur.font = index;
    std::string name = font->name;
    for (char &ch : name) {
        unsigned char u = static_cast<unsigned char>(ch);
        if (u <= 32 || u >= 127 || strchr("()<>[]{}/%", ch))
            ch = '_';
    }
    if (getenv("VX_PS_ISO_ENCODE"))
        gp_printf(p, "\t/%s findfont /%s-ISO isoencode %d scalefont setfont\n", name.c_str(), name.c_str(),
                  font->height * 10);
    else
        gp_printf(p, "\t/%s findfont %d scalefont setfont\n", name.c_str(), font->height * 10);
}

}  // namespace

int gpdraw_GPPutText(GCanvasRecord *canvas, const char *text, const GVector *position)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p || !usable(position, 1))
        return -1;
    if (!text)
        return 0;
    const GFont *font = gfont_GGetCanvasFont(canvas, canvas->text.font);
    // The font again after the state: a clip replaced on the way restores
    // the font of an earlier state.
    write_font(canvas, font);
    gp_write_state(canvas, GP_COLOUR, 0, canvas->text.colour);
    write_font(canvas, font);
    long align = canvas->text.alignment;
    const char *show = shows[align >= 0 && align <= 8 ? align : 6];
    long x = pts(position)[0], y = pts(position)[1];
    const char *nl = strchr(text, '\n');
    size_t first = nl ? static_cast<size_t>(nl - text) : strlen(text);
    gp_printf(p, "\t(%s) %ld %ld %s\n", ps_string(text, first).c_str(), x, y, show);
    if (nl) {
        const char *rest = nl + 1;
        while (*rest == ' ')
            rest++;
        if (*rest) {
            long h = font ? font->height * 10 : 0;
            gp_printf(p, "\t(%s) %ld %ld %s\n", ps_string(rest, strlen(rest)).c_str(), x, y - h, show);
        }
    }
    return 0;
}

int gpdraw_GPCommentOutput(GCanvasRecord *canvas, const char *text)
{
    GPDevicePart *p = gp_part(canvas);
    if (!p)
        return -1;
    // One comment line: line ends in the text would end the comment.
    std::string s = text ? text : "";
    std::replace(s.begin(), s.end(), '\n', ' ');
    std::replace(s.begin(), s.end(), '\r', ' ');
    gp_printf(p, "%% %s\n", s.c_str());
    gp_puts(p, "\n");
    return 0;
}

namespace {

// One image operator over columns k0 .. k1 - 1 of rows r0 .. r1 - 1 of the
// image's pixels, the picture's unit square mapped by the translate and
// scale already written.  24-bit images store 0x00RRGGBB in 32 bits, 8-bit
// ones a grey byte.
void image_rows(GPDevicePart *p, const GRasterImage *im, long k0, long k1, long r0, long r1)
{
    bool rgb = im->bits == 32;
    long w = k1 - k0, h = r1 - r0;
    gp_printf(p, "/datastr %ld string def\n", rgb ? w * 3 : w);
    gp_printf(p, "%ld %ld 8 [%ld 0 0 %ld 0 0]\n", w, h, w, h);
    gp_puts(p, rgb ? "{\n\tcurrentfile datastr readhexstring pop\n} bind false 3 colorimage\n"
                   : "{\n\tcurrentfile datastr readhexstring pop\n} bind image\n");
    // One row at a time: a line break after every 40 pixels.
    const uint32_t *words = static_cast<const uint32_t *>(im->data);
    const unsigned char *bytes = static_cast<const unsigned char *>(im->data);
    std::string row;
    row.reserve(static_cast<size_t>(w * 6 + w / 40 + 2));
    for (long r = r0; r < r1; r++) {
        row.clear();
        for (long k = k0; k < k1; k++) {
            long at = r * im->width + k;
            if (rgb) {
                for (int shift : {16, 8, 0})
                    row += gencode_GByteToHex(static_cast<unsigned char>(words[at] >> shift));
            } else {
                row += gencode_GByteToHex(bytes[at]);
            }
            if ((k - k0 + 1) % 40 == 0 && k + 1 < k1)
                row += '\n';
        }
        row += '\n';
        gp_puts(p, row.c_str());
    }
}

bool kept(const GRasterImage *im, long k, long r)
{
    long bytes = im->mask_width / 8;
    return (im->mask[r * bytes + k / 8] >> (k % 8) & 1) != 0;
}

// A masked image: level 1 has no masked image operator, so each row's runs
// of kept pixels are images of their own, placed on the same grid.
void masked_image(GPDevicePart *p, const GRasterImage *im, double sw, double sh)
{
    double cw = sw / im->width, ch = sh / im->height;
    for (long r = 0; r < im->height && r < im->mask_height; r++) {
        long k = 0, limit = std::min<long>(im->width, im->mask_width);
        while (k < limit) {
            if (!kept(im, k, r)) {
                k++;
                continue;
            }
            long k1 = k;
            while (k1 < limit && kept(im, k1, r))
                k1++;
            gp_puts(p, "\tgsave\n");
            gp_printf(p, "\n\t%.3f %.3f translate\n\t%.3f %.3f scale\n\n", im->x + k * cw, im->y + r * ch,
                      (k1 - k) * cw, ch);
            image_rows(p, im, k, k1, r, r + 1);
            gp_puts(p, "\n\tgrestore\n");
            k = k1;
        }
    }
}

}  // namespace

int gpdraw_GPDrawImage(GCanvasRecord *canvas, const void *image)
{
    GPDevicePart *p = gp_part(canvas);
    const GRasterImage *im = static_cast<const GRasterImage *>(image);
    if (!p || !im || !im->data || im->width <= 0 || im->height <= 0 || (im->bits != 32 && im->bits != 8))
        return -1;
    long sw = std::lround(GTransformLength(canvas, 4, 0, canvas->modes.pssize[0]));
    long sh = std::lround(GTransformLength(canvas, 4, 1, canvas->modes.pssize[1]));
    if (im->mask_flag && im->mask && im->mask_width > 0) {
        masked_image(p, im, static_cast<double>(sw), static_cast<double>(sh));
        return 0;
    }
    gp_puts(p, "\tgsave\n");
    gp_printf(p, "\n\t%d %d translate\n\t%ld %ld scale\n\n", im->x, im->y, sw, sh);
    image_rows(p, im, 0, im->width, 0, im->height);
    gp_puts(p, "\n\tgrestore\n");
    return 0;
}
