// The colour-map editor's palette: colour map 0 of the default table shown
// as a grid of cells, and the operations on its cells (set, fill,
// interpolate, cut, copy, paste).  Every change goes into the colour
// records that all devices share and, on an X device, into its cells.

#include "gdriver.h"
#include "pelx.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// The geometry of the palette last drawn (one per process: the editor shows
// one palette at a time).  `drawn` stays false until the first drawing.
struct Palette {
    bool drawn = false;
    long rows = 0, columns = 0;
    long cell_width = 0, cell_height = 0;
    long x_offset = 0, y_offset = 0;
    long highest = -1;
};
Palette palette;

constexpr double FULL = 65356.0;

GList *colours()
{
    GColourMap *m = gcolmap_GGetColourMap(nullptr, 0);
    return m ? m->colours : nullptr;
}
long colour_count() { return std::max(0L, glist_GGetListLen(colours())); }
GColour *cell_colour(long cell) { return gcolour_GGetColour(colours(), cell); }

bool in_map(long cell) { return cell >= 0 && cell < colour_count(); }

// Out-of-range cells are refused with (3, 22).
bool check(bool ok)
{
    if (!ok)
        gerror_GRegisterError(3, 22, 0, nullptr);
    return ok;
}

uint16_t to16(long v) { return static_cast<uint16_t>(static_cast<double>(std::clamp(v, 0L, 255L)) / 255.0 * FULL); }
long to8(uint16_t v) { return std::min(255L, static_cast<long>(v / FULL * 255.0)); }

void push(GCanvasRecord *c, long first, long count) { GSetColourMapColours(c->device, first, count); }

// The colour values (not name or pixel) of one record into another.
void take_values(GColour *to, const GColour *from)
{
    to->red = from->red;
    to->green = from->green;
    to->blue = from->blue;
    memcpy(to->conv, from->conv, sizeof to->conv);
}

// Hue, saturation and value of a colour whose own were never worked out
// (all 0 on a colour that is not black) are derived from its red, green
// and blue.
void ensure_hsv(GColour *c)
{
    if (c->conv[0] == 0 && c->conv[1] == 0 && c->conv[2] == 0 && (c->red | c->green | c->blue) != 0)
        gcolour_GColourConvert(c, 0);
}

// a = the smaller, b = the larger end; false (3, 22) when either lies
// outside the map.
bool range(long first, long last, long *a, long *b)
{
    *a = std::min(first, last);
    *b = std::max(first, last);
    return check(in_map(*a) && in_map(*b));
}

GList *clip_of(long a, long b)
{
    GList *clip = glist_GCreateList();
    if (!clip) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    for (long i = a; i <= b; i++) {
        auto *copy = static_cast<GColour *>(vx_malloc(sizeof(GColour), 0));
        if (!copy || glist_GAppendToList(clip, copy, 1) != 0) {
            vx_free(copy);
            glist_GDestroyList(clip);
            gerror_GRegisterError(4, 3, 0, nullptr);
            return nullptr;
        }
        *copy = *cell_colour(i);
    }
    return clip;
}

// Interpolation of hue, saturation and value from cell a to cell b: the
// inner cells get start + f(k) of the difference, the end cell its own
// values exactly.
template <class Step>
void interpolate(long a, long b, Step step)
{
    GColour *first = cell_colour(a), *last = cell_colour(b);
    ensure_hsv(first);
    ensure_hsv(last);
    long start[3], end[3];
    for (int i = 0; i < 3; i++)
        start[i] = first->conv[i], end[i] = last->conv[i];
    long span = b - a;
    for (long k = 1; k < span; k++) {
        GColour *c = cell_colour(a + k);
        for (int i = 0; i < 3; i++)
            c->conv[i] = static_cast<uint16_t>(std::clamp(step(start[i], end[i], k, span), 0L, 65535L));
        gcolour_GColourConvert(c, 1);
    }
}

long linear_step(long s, long e, long k, long span) { return s + k * (e - s) / span; }

long exponential_step(long s, long e, long k, long span)
{
    double t = static_cast<double>(k) / static_cast<double>(span);
    double A = static_cast<double>(s - e) / (1.0 - std::numbers::e), B = static_cast<double>(s) - A;
    return static_cast<long>(A * std::exp(t) + B);
}

}  // namespace

int gcolmap_GDrawColourMapPalette(GCanvasRecord *canvas, long rows, long columns)
{
    if (!canvas)
        return -1;
    GDeviceRecord *d = canvas->device;
    long width = d->modes.dcxdim, height = d->modes.dcydim;
    if (!check(rows > 0 && columns > 0 && width / columns >= 1 && height / rows >= 1))
        return -1;
    d->modes.colourmap = 0;
    GCanvasModes cm{};
    cm.clip = 0;
    cm.coords = GCS_DC;
    GSetCanvasModes(canvas, GCM_CLIP | GCM_COORDS, &cm);
    GColourMapModes off{};
    gcolmap_GSetColourMapModes(canvas, GCMM_MODE, &off);

    long n = colour_count();
    palette = Palette{true, rows, columns, width / columns, height / rows, (width % columns) / 2,
                      (height % rows) / 2, n - 1};
    const GEntryPoints *ep = gep_GCanvasEntryPoints(canvas);
    long w = palette.cell_width, h = palette.cell_height;
    long drawn_rows = n > 0 ? (n - 1) / columns + 1 : 0;
    long y = palette.y_offset;
    for (long r = 0; r < drawn_rows; r++, y += h) {
        long x = palette.x_offset;
        for (long k = 0; k < columns && r * columns + k < n; k++, x += w) {
            long cell = r * columns + k;
            GLineModes lm = canvas->line;
            lm.colour = cell;
            lm.flag = 1;
            GSetLineModes(canvas, GLM_COLOUR | GLM_CLOSE, &lm);
            GFillModes fm = canvas->fill;
            fm.style = 1;
            fm.colour = cell;
            GSetFillModes(canvas, GFM_STYLE | GFM_COLOUR, &fm);
            short p[10] = {short(x), short(y), short(x + w), short(y), short(x + w), short(y + h),
                           short(x), short(y + h), short(x), short(y)};
            GVector outline{GV_SHORT, 0, 2, 5, {p, nullptr, nullptr}};
            GVector area{GV_SHORT, 0, 2, 4, {p, nullptr, nullptr}};
            ep->DrawFilledPolygon(canvas, &area, 0);
            ep->DrawPolyLine(canvas, &outline);
        }
    }
    return 0;
}

int gcolmap_GColourMapGetCell(GCanvasRecord *, long x, long y, long *cell)
{
    if (!palette.drawn || palette.highest < 0 || !cell)
        return -1;
    long column = std::min(std::max(0L, x - palette.x_offset) / palette.cell_width, palette.columns - 1);
    long row = std::min(std::max(0L, y - palette.y_offset) / palette.cell_height, palette.rows - 1);
    *cell = std::min(column + palette.columns * row, palette.highest);
    return 0;
}

int gcolmap_GColourMapCellBox(GCanvasRecord *, long cell, long *x1, long *y1, long *x2, long *y2)
{
    if (!palette.drawn || cell < 0 || cell > palette.highest)
        return -1;
    long row = cell / palette.columns;
    *x1 = palette.x_offset + palette.cell_width * (cell - row * palette.columns);
    *y1 = palette.y_offset + row * palette.cell_height;
    *x2 = *x1 + palette.cell_width - 1;
    *y2 = *y1 + palette.cell_height - 1;
    return 0;
}

int gcolmap_GColourMapGetPaletteEntry(GCanvasRecord *, long cell, long rgb[3], long hsv[3])
{
    if (!check(in_map(cell)))
        return -1;
    GColour *c = cell_colour(cell);
    ensure_hsv(c);
    rgb[0] = to8(c->red), rgb[1] = to8(c->green), rgb[2] = to8(c->blue);
    for (int i = 0; i < 3; i++)
        hsv[i] = c->conv[i];
    return 0;
}

int gcolmap_GColourMapSetPaletteEntry(GCanvasRecord *canvas, long cell, int space, const long in[3], long out[3])
{
    if (!canvas || !check(in_map(cell) && (space == 0 || space == 1)))
        return -1;
    GColour *c = cell_colour(cell);
    if (space == 0) {
        c->red = to16(in[0]), c->green = to16(in[1]), c->blue = to16(in[2]);
        gcolour_GColourConvert(c, 0);
        for (int i = 0; i < 3; i++)
            out[i] = c->conv[i];
    } else {
        c->conv[0] = static_cast<uint16_t>(std::clamp(in[0], 0L, 359L));
        c->conv[1] = static_cast<uint16_t>(std::clamp(in[1], 0L, 100L));
        c->conv[2] = static_cast<uint16_t>(std::clamp(in[2], 0L, 100L));
        gcolour_GColourConvert(c, 1);
        out[0] = to8(c->red), out[1] = to8(c->green), out[2] = to8(c->blue);
    }
    push(canvas, cell, 1);
    return 0;
}

int gcolmap_GApplyColourMapFunction(GCanvasRecord *canvas, int function, long first, long last, int end_flag)
{
    long a = 0, b = 0;
    if (!canvas || !range(first, last, &a, &b) || !check(function >= 0 && function <= 2))
        return -1;
    switch (function) {
    case 0: {
        GColour source = *cell_colour(end_flag == 1 ? a : b);
        ensure_hsv(&source);
        for (long i = a; i <= b; i++)
            take_values(cell_colour(i), &source);
        break;
    }
    case 1: interpolate(a, b, linear_step); break;
    default: interpolate(a, b, exponential_step); break;
    }
    push(canvas, a, b - a + 1);
    return 0;
}

GList *gcolmap_GColourMapCut(GCanvasRecord *canvas, long first, long last)
{
    long a = 0, b = 0;
    if (!canvas || !range(first, last, &a, &b))
        return nullptr;
    GList *clip = clip_of(a, b);
    if (!clip)
        return nullptr;
    long n = colour_count();
    // The cells after the range move down; the freed ones at the end repeat
    // the last colour.
    for (long i = a, j = b + 1; i < n; i++, j++)
        take_values(cell_colour(i), cell_colour(std::min(j, n - 1)));
    push(canvas, a, n - a);
    return clip;
}

GList *gcolmap_GColourMapCopy(GCanvasRecord *canvas, long first, long last)
{
    long a = 0, b = 0;
    if (!canvas || !range(first, last, &a, &b))
        return nullptr;
    return clip_of(a, b);
}

int gcolmap_GColourMapFreeClip(GCanvasRecord *, GList *clip)
{
    if (!check(clip != nullptr))
        return -1;
    return glist_GDestroyList(clip);
}

int gcolmap_GColourMapPaste(GCanvasRecord *canvas, long cell, GList *clip)
{
    if (!canvas || !check(clip != nullptr && in_map(cell)))
        return -1;
    long count = std::min(glist_GGetListLen(clip), colour_count() - cell);
    for (long i = 0; i < count; i++)
        take_values(cell_colour(cell + i), static_cast<GColour *>(glist_GGetListItem(clip, i)));
    push(canvas, cell, count);
    return 0;
}
