// Colouring by value: the colour-map modes of a canvas, loading a colour
// map into a device, the value-to-colour mapping (with or without
// thresholds), device pixel values and the colour-graded lines.

#include "gdriver.h"
#include "pelx.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

bool x_cells(const GDeviceRecord *d) { return d->modes.protocol == GP_X || d->modes.protocol == GP_PCL; }

// The device's colour map `index` when it exists (no wrapping round).
GColourMap *map_of(GDeviceRecord *d, long index)
{
    GList *table = d ? d->tables[GT_COLOURMAPS] : gcolmap_GGetDefaultColourMapTable();
    if (!table || index < 0 || index >= glist_GGetListLen(table))
        return nullptr;
    GColourMap *m = gcolmap_GGetColourMap(table, index);
    return m && m->colours ? m : nullptr;
}

void set_in_use(GCanvasRecord *c, long index) { c->device->modes.colourmap = static_cast<int16_t>(index); }

void line_colour(GCanvasRecord *c, long index)
{
    if (c->grid.line_colour_lock || c->line.colour == index)
        return;
    GLineModes m = c->line;
    m.colour = index;
    GSetLineModes(c, GLM_COLOUR, &m);
}

void fill_colour(GCanvasRecord *c, long index, bool solid)
{
    GFillModes f = c->fill;
    f.style = 1;
    f.colour = index;
    GSetFillModes(c, solid ? GFM_STYLE | GFM_COLOUR : GFM_COLOUR, &f);
}

void text_colour(GCanvasRecord *c, long index)
{
    GTextModes t = c->text;
    t.colour = index;
    GSetTextModes(c, GTM_COLOUR, &t);
}

// Index of a value among `levels` colours spread from lower to upper (the
// value clamped to them); 0 for fewer than two levels or an empty range.
long spread_index(double value, double lower, double upper, long levels, long divisions)
{
    if (levels < 2 || divisions < 1 || !(upper != lower) || std::isnan(value))
        return 0;
    value = std::clamp(value, std::min(lower, upper), std::max(lower, upper));
    double step = (upper - lower) / static_cast<double>(divisions);
    double k = std::floor((value - lower) / step);
    return std::clamp(static_cast<long>(k), 0L, levels - 1);
}

// The band of a value: the largest threshold index whose value is at most
// it, band 0 taking everything below threshold 1.
int band_of(const GThresholdModes &t, double value)
{
    int b = 0;
    for (int i = 1; i < t.count; i++)
        if (t.values[i] <= value)
            b = i;
    return b;
}

double forward(GScalarOp op, double v) { return op ? op(v) : v; }

// Threshold space: the value through the to-linear operation.
double linear_value(GCanvasRecord *c, double value)
{
    const GThresholdModes &t = c->threshold;
    if (!t.to_linear)
        return value;
    double p[2] = {0, value};
    GVector v{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}};
    t.to_linear(c, &v);
    return p[1];
}

struct Range {
    double lower, upper, datamin, datamax;
};
Range range_of(const GCanvasRecord *c, bool thresholds)
{
    const GColourMapModes &m = c->colourmap;
    Range r{m.lower, m.upper, m.datamin, m.datamax};
    if (thresholds) {
        GScalarOp f = c->threshold.y_forward;
        r = Range{forward(f, r.lower), forward(f, r.upper), forward(f, r.datamin), forward(f, r.datamax)};
    }
    return r;
}

// A point's value by the threshold modes' selector.
double point_value(const GCanvasRecord *c, const GVector *v, long i)
{
    double x = gvector_GGetValue(v, i, 0), y = v->dims > 1 ? gvector_GGetValue(v, i, 1) : 0.0;
    double z = v->dims > 2 ? gvector_GGetValue(v, i, 2) : 0.0;
    switch (c->threshold.selector) {
    case 2: return std::hypot(x, y);
    case 3: return std::sqrt(x * x + y * y + z * z);
    case 4: return z;
    case 5: return c->colourmap.fixed_value;
    default: return y;
    }
}

// ---- graded lines --------------------------------------------------------

struct Boundary {
    double value;
    long colour;
    bool from_map;
};

// The boundaries of the colour bands, ascending, each with the colour of
// the values from it up to the next.
std::vector<Boundary> boundaries(const GCanvasRecord *c)
{
    const GColourMapModes &m = c->colourmap;
    std::vector<Boundary> b;
    b.reserve(256);
    long levels = m.levels;
    if (m.range == 2) {
        const GThresholdModes &t = c->threshold;
        Range r = range_of(c, true);
        int bands = std::max<int>(t.count, 1);
        for (int i = 0; i < bands; i++) {
            double start = i == 0 ? r.datamin : t.values[i];
            double end = i + 1 < t.count ? t.values[i + 1] : r.datamax;
            if (t.colours[i] == -1) {
                // All the map's colours inside the band.
                long n = std::max(levels, 1L);
                for (long k = 0; k < n; k++)
                    b.push_back({start + (end - start) * static_cast<double>(k) / static_cast<double>(n), k, true});
            } else {
                b.push_back({i == 0 ? start : t.values[i], t.colours[i], false});
            }
        }
    } else {
        Range r = range_of(c, false);
        double lower = m.range == 1 ? r.lower : r.datamin, upper = m.range == 1 ? r.upper : r.datamax;
        if (levels < 2 || upper == lower) {
            b.push_back({lower, 0, true});
        } else {
            double step = (upper - lower) / static_cast<double>(levels - 1);
            for (long k = 0; k < levels; k++)
                b.push_back({lower + step * static_cast<double>(k), k, true});
        }
    }
    std::stable_sort(b.begin(), b.end(), [](const Boundary &x, const Boundary &y) { return x.value < y.value; });
    return b;
}

// The band holding a value: the last boundary at or below it (the first
// for values below them all), found by binary search.
size_t find_band(const std::vector<Boundary> &b, double v)
{
    auto it = std::upper_bound(b.begin(), b.end(), v, [](double x, const Boundary &y) { return x < y.value; });
    return it == b.begin() ? 0 : static_cast<size_t>(it - b.begin() - 1);
}

struct Piece {
    GCanvasRecord *c;
    bool thresholds;
    const GEntryPoints *ep = gep_GCanvasEntryPoints(c);
    long colour = -2;
    int in_use = -2;

    void use(const Boundary &band)
    {
        if (band.colour != colour) {
            colour = band.colour;
            GLineModes m = c->line;
            m.colour = colour;
            if (!c->grid.line_colour_lock)
                GSetLineModes(c, GLM_COLOUR, &m);
        }
        int u = band.from_map ? 0 : -1;
        if (u != in_use) {
            in_use = u;
            set_in_use(c, u);
        }
    }
    // A point to 16-bit device units through the current transform, as the
    // drawing primitives take it.
    void to_dc(const double *p, short out[2]) const
    {
        const GXformPart &f = c->current->forward;
        for (int j = 0; j < 2; j++) {
            double v = f.m[3 * j] * p[0] + f.m[3 * j + 1] * p[1] + f.m[3 * j + 2] * p[2] + f.offset[j];
            out[j] = v >= 32767.0 ? 32767 : v <= -32768.0 ? -32768 : static_cast<short>(v);
        }
    }
    void line(short *from, short *to)
    {
        GVector a{GV_SHORT, 0, 2, 1, {from, nullptr, nullptr}}, b{GV_SHORT, 0, 2, 1, {to, nullptr, nullptr}};
        ep->DrawLine(c, &a, &b);
    }
    // A piece in threshold space: back through the from-linear operation
    // first when there is one.
    void draw(const double *from, const double *to, const Boundary &band)
    {
        use(band);
        double p[6] = {from[0], from[1], from[2], to[0], to[1], to[2]};
        if (thresholds && c->threshold.from_linear) {
            GVector back{GV_DOUBLE, 0, 3, 2, {p, nullptr, nullptr}};
            c->threshold.from_linear(c, &back);
        }
        short a[2], b[2];
        to_dc(p, a);
        to_dc(p + 3, b);
        line(a, b);
    }
};

// The points as 3-D doubles (z 0 for 2-D), taken into threshold space.
std::vector<double> working_points(GCanvasRecord *c, const GVector *v, bool thresholds)
{
    std::vector<double> p(static_cast<size_t>(3 * std::max<int64_t>(v->count, 0)), 0.0);
    if (v->type == GV_DOUBLE && !v->separate && (v->dims == 2 || v->dims == 3)) {
        const double *d = static_cast<const double *>(v->data[0]);
        for (long i = 0; i < v->count; i++)
            for (int k = 0; k < v->dims; k++)
                p[static_cast<size_t>(3 * i + k)] = d[v->dims * i + k];
    } else {
        for (long i = 0; i < v->count; i++)
            for (int k = 0; k < 3 && k < v->dims; k++)
                p[static_cast<size_t>(3 * i + k)] = gvector_GGetValue(v, i, k);
    }
    if (thresholds && c->threshold.to_linear && v->count > 0) {
        GVector w{GV_DOUBLE, 0, 3, v->count, {p.data(), nullptr, nullptr}};
        c->threshold.to_linear(c, &w);
    }
    return p;
}

}  // namespace

// ---- tables, modes and loading -------------------------------------------

long GGetNumColourMaps(GDeviceRecord *device) { return glist_GGetListLen(device->tables[GT_COLOURMAPS]); }
long GGetNumColourMapsCanv(GCanvasRecord *canvas) { return GGetNumColourMaps(canvas->device); }

int gcolmap_GColourMapIsPrivate(void *display, unsigned char *use_private)
{
    unsigned char flag = static_cast<unsigned char>(gcolmap_GIsPrivateColourMap());
    unsigned long colourmap = 0;
    gcolmap_GColourCells()->CMInfo(display, &flag, &colourmap);
    gcolmap_GUsePrivateColourMap(flag);
    if (use_private)
        *use_private = flag;
    return flag;
}

long GUseColourMap(GDeviceRecord *device, long index)
{
    if (!device)
        return 0;
    GColourMap *m = map_of(device, index);
    switch (device->modes.protocol) {
    case GP_X:
    case GP_PCL:
        if (!m || gcolmap_GColourCells()->AllocateColours(device, m->colours) != 0)
            return 0;
        break;
    case GP_POSTSCRIPT:
    case GP_EPS:
    case GP_IMAGE:
        if (!m)
            return 0;
        break;
    default:
        return GGetNumColours(device);
    }
    device->modes.colourmap = static_cast<int16_t>(index);
    return glist_GGetListLen(m->colours);
}

int GFreeColours(GDeviceRecord *device)
{
    if (!device || !x_cells(device))
        return 0;
    GColourMap *m = map_of(device, 0);
    return m ? gcolmap_GColourCells()->FreeColours(device, m->colours) : 0;
}

int GForgetColourMap(GCanvasRecord *canvas)
{
    if (canvas->colourmap.mode != 0)
        canvas->colourmap.mode = 0;
    if (canvas->device->modes.protocol == GP_PCL)
        gcolmap_GSetColourMapUsed(canvas->device->modes.colourmap);
    set_in_use(canvas, -1);
    return 0;
}

int gcolmap_GSetColourMapModes(GCanvasRecord *canvas, uint64_t mask, const GColourMapModes *s)
{
    GColourMapModes &m = canvas->colourmap;
    if (mask & GCMM_MODE) m.mode = s->mode;
    if (mask & GCMM_RANGE) m.range = s->range;
    if (mask & GCMM_LEVELS) m.levels = s->levels;
    if (mask & GCMM_DATUM) m.datum = s->datum;
    if (mask & GCMM_DATAMIN) m.datamin = s->datamin;
    if (mask & GCMM_DATAMAX) m.datamax = s->datamax;
    if (mask & GCMM_LOWER) m.lower = s->lower;
    if (mask & GCMM_UPPER) m.upper = s->upper;
    if (mask & GCMM_SPARE) m.spare = s->spare;
    if (mask & GCMM_SPECIAL) m.special = s->special;
    if (mask & GCMM_FIXED) m.fixed = s->fixed;
    if (mask & GCMM_FIXEDVALUE) m.fixed_value = s->fixed_value;
    if (mask & GCMM_POLYLINE) m.polyline = s->polyline ? s->polyline : gcolmap_GColourPolyLine;
    return 0;
}

int gcolmap_GGetColourMapModes(GCanvasRecord *canvas, GColourMapModes *modes)
{
    *modes = canvas->colourmap;
    return 0;
}

int gcolmap_GSetDefaultColourMapModes(GCanvasRecord *canvas)
{
    canvas->colourmap = GColourMapModes{};
    canvas->colourmap.polyline = gcolmap_GColourPolyLine;
    return 0;
}

int gcolmap_GCheckForColourMap(GCanvasRecord *canvas, long datum, double maximum, double minimum, double upper,
                               double lower)
{
    GColourMapModes &m = canvas->colourmap;
    m.datamin = minimum;
    m.datamax = maximum;
    m.lower = lower;
    m.upper = upper;
    if (m.mode != 1 && canvas->line.colour != -1)
        return 0;
    GFreeColours(canvas->device);
    long n = GUseColourMap(canvas->device, 0);
    // A map that did not load, or one of more than 255 colours, leaves
    // colouring by value off.
    if (n >= 1 && n <= 255) {
        m.mode = 1;
        m.levels = static_cast<int16_t>(n);
        m.datum = datum;
    }
    return 0;
}

// ---- colour by value -----------------------------------------------------

int gcolmap_GColourByValue(GCanvasRecord *canvas, double value, int fill, int text, int full_style)
{
    const GColourMapModes &m = canvas->colourmap;
    if (m.mode == 0)
        return 0;
    if (m.range != 2) {
        Range r = range_of(canvas, false);
        double lower = m.range == 1 ? r.lower : r.datamin, upper = m.range == 1 ? r.upper : r.datamax;
        long index = spread_index(value, lower, upper, m.levels, m.levels - 1);
        set_in_use(canvas, 0);
        line_colour(canvas, index);
        if (fill)
            fill_colour(canvas, index, true);
        if (text)
            text_colour(canvas, index);
        return 0;
    }
    const GThresholdModes &t = canvas->threshold;
    value = linear_value(canvas, value);
    Range r = range_of(canvas, true);
    int band = band_of(t, value);
    long index;
    if (t.colours[band] == -1) {
        double lower = t.values[band], upper = band + 1 < t.count ? t.values[band + 1] : r.upper;
        // Every colour of the map lies inside the band.
        index = spread_index(value, lower, upper, m.levels, m.levels);
        set_in_use(canvas, 0);
    } else {
        index = t.colours[band];
        set_in_use(canvas, -1);
    }
    int code = t.fills[band];
    if (!full_style) {
        line_colour(canvas, index);
        GFillModes f = canvas->fill;
        f.colour = index;
        f.hatch = code >= 2 ? code - 2 : f.hatch;
        GSetFillModes(canvas, GFM_COLOUR | (code >= 2 ? GFM_HATCH : uint64_t(0)), &f);
    } else {
        GMarkerModes mk = canvas->marker;
        mk.index = t.markers[band];
        GSetMarkerModes(canvas, GMM_INDEX, &mk);
        GLineModes l = canvas->line;
        l.style = t.lines[band];
        l.colour = canvas->grid.line_colour_lock ? l.colour : index;
        l.width = 0;
        GSetLineModes(canvas, GLM_STYLE | GLM_WIDTH | (canvas->grid.line_colour_lock ? uint64_t(0) : GLM_COLOUR), &l);
        GFillModes f = canvas->fill;
        f.style = code >= 2 ? 2 : code;
        f.colour = index;
        f.hatch = code >= 2 ? code - 2 : f.hatch;
        GSetFillModes(canvas, GFM_STYLE | GFM_COLOUR | (code >= 2 ? GFM_HATCH : uint64_t(0)), &f);
    }
    if (text)
        text_colour(canvas, index);
    return 0;
}

int GColourValue(GCanvasRecord *canvas, const GVector *points, int fill, int text, int full_style)
{
    if (canvas->colourmap.mode == 0)
        return 0;
    if (!points || points->type != GV_DOUBLE || points->count < 1)
        return -1;
    return gcolmap_GColourByValue(canvas, point_value(canvas, points, 0), fill, text, full_style);
}

int gcolmap_GSetColour(GCanvasRecord *canvas, long index, int fill, int text)
{
    line_colour(canvas, index);
    if (fill)
        fill_colour(canvas, index, true);
    if (text)
        text_colour(canvas, index);
    return 0;
}

int GSetSpecialColour(GCanvasRecord *canvas, int line, int fill)
{
    if (canvas->colourmap.mode == 0)
        return 0;
    set_in_use(canvas, -1);
    long special = canvas->colourmap.special;
    if (line) {
        GLineModes m = canvas->line;
        m.colour = special;
        GSetLineModes(canvas, GLM_COLOUR, &m);
    }
    if (fill)
        fill_colour(canvas, special, true);
    return 0;
}

// ---- pixels --------------------------------------------------------------

int gcolmap_GGetPixelValues(GDeviceRecord *device, long values[256], GList *colours)
{
    for (int i = 0; i < 256; i++)
        values[i] = 0;
    if (!colours) {
        GColourMap *m = map_of(device, 0);
        colours = m ? m->colours : nullptr;
    }
    long n = std::min<long>(glist_GGetListLen(colours), 256);
    if (!colours || n <= 0)
        return -1;
    bool x = device && x_cells(device);
    GColour *third = n > 2 ? gcolour_GGetColour(colours, 2) : nullptr;
    bool by_index = !x && third && strcmp(third->name, "black") == 0;
    auto byte = [](uint16_t c) { return static_cast<long>(static_cast<unsigned char>(static_cast<int>(c / 65356.0 * 255))); };
    for (long i = 0; i < n; i++) {
        GColour *c = gcolour_GGetColour(colours, i);
        if (x)
            values[i] = static_cast<long>(c->pixel);
        else if (by_index)
            values[i] = i;
        else
            values[i] = byte(c->red) * 65536 + byte(c->green) * 256 + byte(c->blue);
    }
    return 0;
}

int gcolmap_GColourMapInfo(GCanvasRecord *canvas, long *count, long pixels[256], long threshold_pixels[GTH_MAX],
                           long band_pixels[256])
{
    GDeviceRecord *d = canvas->device;
    GColourMap *m = map_of(d, 0);
    *count = m ? glist_GGetListLen(m->colours) : 0;
    gcolmap_GGetPixelValues(d, pixels, m ? m->colours : nullptr);
    if (canvas->colourmap.range != 2 || !threshold_pixels || !band_pixels)
        return 0;
    for (int i = 0; i < GTH_MAX; i++)
        threshold_pixels[i] = 0;
    for (int i = 0; i < 256; i++)
        band_pixels[i] = 0;
    long table[256];
    gcolmap_GGetPixelValues(d, table, d->tables[GT_COLOURS]);
    const GThresholdModes &t = canvas->threshold;
    long n = 0, map_count = std::min<long>(*count, 256);
    for (int i = 0; i < t.count && n < 256; i++) {
        long colour = t.colours[i];
        if (colour == -1) {
            threshold_pixels[i] = 0;
            if (n + map_count <= 256)
                for (long k = 0; k < map_count; k++)
                    band_pixels[n++] = pixels[k];
        } else {
            long p = colour >= 0 && colour < 256 ? table[colour] : 0;
            threshold_pixels[i] = p;
            band_pixels[n++] = p;
        }
    }
    return 0;
}

int gcolmap_GRemoveColourMapColours(GDeviceRecord *device, long index)
{
    GColourMap *m = map_of(device, index);
    if (!m)
        return -1;
    GList *l = m->colours;
    while (glist_GGetListLen(l) > 0) {
        long last = glist_GGetListLen(l) - 1;
        void *item = glist_GGetListItem(l, last);
        bool owned = l->last && l->last->owned;
        glist_GDeleteFromList(l, last);
        if (owned) {
            if (l->free_item)
                l->free_item(item);
            else
                vx_free(item);
        }
    }
    return 0;
}

// ---- graded lines --------------------------------------------------------

int gcolmap_GColourPolyLine(GCanvasRecord *canvas, GVector *points)
{
    const GColourMapModes &m = canvas->colourmap;
    if (m.mode == 0)
        return 0;
    if (!points || points->type != GV_DOUBLE)
        return -1;
    bool thresholds = m.range == 2;
    std::vector<Boundary> bands = boundaries(canvas);
    std::vector<double> p = working_points(canvas, points, thresholds);
    int selector = canvas->threshold.selector;
    int axis = selector == 4 ? 2 : 1;
    long n = static_cast<long>(points->count);
    Piece piece{canvas, thresholds};
    if (n < 2)
        return 0;
    if (selector == 5) {
        const Boundary &band = bands[find_band(bands, m.fixed_value)];
        for (long i = 0; i + 1 < n; i++)
            piece.draw(&p[static_cast<size_t>(3 * i)], &p[static_cast<size_t>(3 * i + 3)], band);
        return 0;
    }
    // Without a way back from threshold space, the points go to device
    // units once; only the cuts are converted on their own.
    bool direct = !(thresholds && canvas->threshold.from_linear);
    std::vector<short> dc;
    if (direct) {
        dc.resize(static_cast<size_t>(2 * n));
        for (long i = 0; i < n; i++)
            piece.to_dc(&p[static_cast<size_t>(3 * i)], &dc[static_cast<size_t>(2 * i)]);
    }
    size_t from = find_band(bands, p[static_cast<size_t>(axis)]);
    for (long i = 0; i + 1 < n; i++) {
        const double *a = &p[static_cast<size_t>(3 * i)], *b = a + 3;
        size_t to = find_band(bands, b[axis]);
        double start[3] = {a[0], a[1], a[2]};
        short start_dc[2] = {0, 0};
        if (direct) {
            start_dc[0] = dc[static_cast<size_t>(2 * i)];
            start_dc[1] = dc[static_cast<size_t>(2 * i + 1)];
        }
        // Cut where the segment crosses each boundary between its ends: the
        // point of the segment at that level (as gclip_GSplitLine and
        // gclip_GSplitZLine give it).
        double span = b[axis] - a[axis];
        while (from != to) {
            size_t next = to > from ? from + 1 : from - 1;
            double level = bands[to > from ? next : from].value;
            double cut[3] = {0, 0, 0};
            if (std::fabs(span) > 1e-6) {
                double t = (level - a[axis]) / span;
                for (int k = 0; k < 3; k++)
                    cut[k] = a[k] + t * (b[k] - a[k]);
                cut[axis] = level;
            }
            if (direct) {
                short cut_dc[2];
                piece.to_dc(cut, cut_dc);
                piece.use(bands[from]);
                piece.line(start_dc, cut_dc);
                start_dc[0] = cut_dc[0];
                start_dc[1] = cut_dc[1];
            } else {
                piece.draw(start, cut, bands[from]);
            }
            std::copy(cut, cut + 3, start);
            from = next;
        }
        if (direct) {
            piece.use(bands[to]);
            piece.line(start_dc, &dc[static_cast<size_t>(2 * i + 2)]);
        } else {
            piece.draw(start, b, bands[to]);
        }
    }
    return 0;
}

int gcolmap_GColourPolarLine(GCanvasRecord *canvas, GVector *points)
{
    const GColourMapModes &m = canvas->colourmap;
    if (m.mode == 0)
        return 0;
    if (!points || points->type != GV_DOUBLE)
        return -1;
    std::vector<Boundary> bands = boundaries(canvas);
    std::vector<double> p = working_points(canvas, points, false);
    Piece piece{canvas, false};
    for (long i = 0; i + 1 < points->count; i++) {
        const double *a = &p[static_cast<size_t>(3 * i)], *b = a + 3;
        double dx = b[0] - a[0], dy = b[1] - a[1];
        // Where the segment meets each boundary circle: |a + t d| = r.
        double qa = dx * dx + dy * dy, qb = a[0] * dx + a[1] * dy, qc0 = a[0] * a[0] + a[1] * a[1];
        std::vector<double> cuts = {0.0, 1.0};
        if (qa > 0)
            for (const Boundary &band : bands) {
                double r = band.value;
                if (r < 0)
                    continue;
                double disc = qb * qb - qa * (qc0 - r * r);
                if (disc < 0)
                    continue;
                double root = std::sqrt(disc);
                for (double t : {(-qb - root) / qa, (-qb + root) / qa})
                    if (t > 0 && t < 1)
                        cuts.push_back(t);
            }
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        for (size_t k = 0; k + 1 < cuts.size(); k++) {
            double t0 = cuts[k], t1 = cuts[k + 1], tm = (t0 + t1) / 2;
            double s[3], e[3];
            for (int c = 0; c < 3; c++) {
                s[c] = a[c] + t0 * (b[c] - a[c]);
                e[c] = a[c] + t1 * (b[c] - a[c]);
            }
            double radius = std::hypot(a[0] + tm * dx, a[1] + tm * dy);
            piece.draw(s, e, bands[find_band(bands, radius)]);
        }
    }
    return 0;
}
