// Colour tables, the colour-name database and the colour spaces.

#include "gtables.h"
#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>

namespace {

int copy_colour(GColour *d, const GColour *s)
{
    *d = *s;
    return 0;
}
void free_colour(GColour *) {}

GHashTable *database = nullptr;

// 16-bit components relative to the full scale the conversions use.
constexpr double FULL = 65356.0;

uint16_t to16(double v)
{
    double r = std::trunc(v);
    if (r < 0)
        r = 0;
    if (r > 65535)
        r = 65535;
    return static_cast<uint16_t>(r);
}

double hue_of(double r, double g, double b, double max, double min)
{
    double d = max - min;
    double h;
    if (r == max)
        h = (g - b) / d;
    else if (g == max)
        h = 2 + (b - r) / d;
    else
        h = 4 + (r - g) / d;
    h *= 60;
    if (h < 0)
        h += 360;
    return h;
}

double hls_value(double m1, double m2, double h)
{
    while (h < 0)
        h += 360;
    while (h >= 360)
        h -= 360;
    if (h < 60)
        return m1 + (m2 - m1) * h / 60;
    if (h < 180)
        return m2;
    if (h < 240)
        return m1 + (m2 - m1) * (240 - h) / 60;
    return m1;
}

}  // namespace

template <>
GTable<GColour> &gtable_of<GColour>()
{
    static GTable<GColour> t{nullptr, copy_colour, free_colour};
    return t;
}

int gcolour_GCreateDefColourTable() { return gtable_create_default<GColour>(); }
GList *gcolour_GCreateDevColourTable() { return gtable_create_dev<GColour>(); }
int gcolour_GCopyDefaultColourTable(GList *table) { return gtable_copy_default<GColour>(table); }
int gcolour_GIndexColourTable() { return gtable_index<GColour>(); }
int gcolour_GDestroyColourTable(GList *table) { return gtable_destroy<GColour>(table); }
void gcolour_GCopyColour(GColour *destination, const GColour *source) { *destination = *source; }
int gcolour_GAddColour(const GColour *colour) { return gtable_add(gtable_of<GColour>().def, colour); }
int gcolour_GAddMoreColour(GList *table, const GColour *colour) { return gtable_add(table, colour); }
int gcolour_GReplaceColour(GList *table, const GColour *colour, long index)
{
    return gtable_replace(table ? table : gtable_of<GColour>().def, colour, index);
}
GColour *gcolour_GGetColour(GList *table, long index) { return gtable_get<GColour>(table, index); }
GList *gcolour_GGetDefaultColourTable() { return gtable_of<GColour>().def; }
long GGetNumColoursIn(GList *table) { return glist_GGetListLen(table ? table : gtable_of<GColour>().def); }

// ---- colour-name database ------------------------------------------------

int gcolour_GReadColourDatabase(const char *path)
{
    FILE *f = path ? fopen(path, "r") : nullptr;
    if (!f) {
        gerror_GRegisterError(4, 5, 0, nullptr);
        return -1;
    }
    if (!database)
        database = ghash_GCreateHashTable(1009);
    if (!database) {
        fclose(f);
        return -1;
    }
    char line[256];
    while (fgets(line, sizeof line, f)) {
        // A line longer than the buffer: skip the rest of it.
        if (!strchr(line, '\n') && !feof(f)) {
            int c;
            while ((c = fgetc(f)) != EOF && c != '\n') {
            }
        }
        int r, g, b, n = 0;
        if (sscanf(line, "%d %d %d%n", &r, &g, &b, &n) != 3)
            continue;
        char name[256];
        strim(name, line + n);
        if (!*name)
            continue;
        long value = (static_cast<long>(r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
        ghash_GInsertHash(database, name, static_cast<int>(strlen(name)), value);
    }
    fclose(f);
    return 0;
}

void gcolour_GCloseColourDatabase()
{
    if (database)
        ghash_GDestroyHashTable(database);
    database = nullptr;
}

int gcolour_GLookupColour(GColour *colour, char *name)
{
    strim(name, name);
    if (!database)
        return -1;
    long v = ghash_GHash(database, name, static_cast<int>(strlen(name)));
    if (v >= 0) {
        colour->red = static_cast<uint16_t>(((v >> 16) & 0xFF) * 257);
        colour->green = static_cast<uint16_t>(((v >> 8) & 0xFF) * 257);
        colour->blue = static_cast<uint16_t>((v & 0xFF) * 257);
        colour->name[0] = '\0';
    }
    return -1;
}

long gcolour_GGetClosestMatch(const GColour *colour, const GColour *colours, long count)
{
    long best = 0;
    double best_d = 0;
    for (long i = 0; i < count; i++) {
        double dr = double(colour->red) - colours[i].red;
        double dg = double(colour->green) - colours[i].green;
        double db = double(colour->blue) - colours[i].blue;
        double d = dr * dr + dg * dg + db * db;
        if (i == 0 || d < best_d) {
            best = i;
            best_d = d;
        }
    }
    return best;
}

// ---- colour spaces -------------------------------------------------------

void GRGBtoHSV(const uint16_t in[3], uint16_t out[3])
{
    double r = in[0] / FULL, g = in[1] / FULL, b = in[2] / FULL;
    double max = std::fmax(r, std::fmax(g, b)), min = std::fmin(r, std::fmin(g, b));
    double s = max == 0 ? 0 : (max - min) / max;
    double h = s == 0 ? 0 : hue_of(r, g, b, max, min);
    out[0] = to16(h);
    out[1] = to16(s * 100);
    out[2] = to16(max * 100);
}

void GHSVtoRGB(const uint16_t in[3], uint16_t out[3])
{
    double h = in[0], s = in[1] / 100.0, v = in[2] / 100.0;
    double r, g, b;
    if (s == 0) {
        r = g = b = v;
    } else {
        // A hue of 360 or more turns round the circle.
        h = std::fmod(h, 360.0);
        int i = static_cast<int>(std::floor(h / 60));
        double f = h / 60 - i;
        double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
        switch (i) {
        case 0: r = v, g = t, b = p; break;
        case 1: r = q, g = v, b = p; break;
        case 2: r = p, g = v, b = t; break;
        case 3: r = p, g = q, b = v; break;
        case 4: r = t, g = p, b = v; break;
        default: r = v, g = p, b = q; break;
        }
    }
    out[0] = to16(r * FULL);
    out[1] = to16(g * FULL);
    out[2] = to16(b * FULL);
}

void GRGBtoHLS(const uint16_t in[3], uint16_t out[3])
{
    double r = in[0] / FULL, g = in[1] / FULL, b = in[2] / FULL;
    double max = std::fmax(r, std::fmax(g, b)), min = std::fmin(r, std::fmin(g, b));
    double l = (max + min) / 2, s = 0, h = 0;
    if (max != min) {
        double d = max - min;
        s = l < 0.5 ? d / (max + min) : d / (2 - max - min);
        h = hue_of(r, g, b, max, min);
    }
    out[0] = to16(h);
    out[1] = to16(l * 100);
    out[2] = to16(s * 100);
}

void GHLStoRGB(const uint16_t in[3], uint16_t out[3])
{
    double h = in[0], l = in[1] / 100.0, s = in[2] / 100.0;
    double m2 = l < 0.5 ? l * (1 + s) : l + s - l * s;
    double m1 = 2 * l - m2;
    double r, g, b;
    if (s == 0) {
        r = g = b = l;
    } else {
        r = hls_value(m1, m2, h + 120);
        g = hls_value(m1, m2, h);
        b = hls_value(m1, m2, h - 120);
    }
    out[0] = to16(r * FULL);
    out[1] = to16(g * FULL);
    out[2] = to16(b * FULL);
}

int gcolour_GColourConvert(GColour *colour, int direction)
{
    uint16_t rgb[3] = {colour->red, colour->green, colour->blue};
    uint16_t out[3];
    switch (direction) {
    case 0: GRGBtoHSV(rgb, colour->conv); return 0;
    case 2: GRGBtoHLS(rgb, colour->conv); return 0;
    case 1: GHSVtoRGB(colour->conv, out); break;
    case 3: GHLStoRGB(colour->conv, out); break;
    default: return -1;
    }
    colour->red = out[0];
    colour->green = out[1];
    colour->blue = out[2];
    return 0;
}

// ---- shadows and bounding box --------------------------------------------

namespace {
long shadow_count = -1;
long shadow_light = -1, shadow_dark = -1;
}  // namespace

int gcolour_GGetShadowColours(GCanvasRecord *canvas, long index, long *light, long *dark)
{
    GList *table = canvas->device->tables[GT_COLOURS];
    GColour *base = gcolour_GGetColour(table, index);
    if (!base)
        return -1;
    GColour c = *base;
    gcolour_GColourConvert(&c, 0);
    uint16_t v = c.conv[2];
    if (v < 20)
        v = 20;
    if (v > 80)
        v = 80;
    GColour l = c, d = c;
    long lv = static_cast<long>(1.3 * v);
    l.conv[2] = static_cast<uint16_t>(lv > 99 ? 99 : lv);
    d.conv[2] = static_cast<uint16_t>(static_cast<long>(0.7 * v));
    gcolour_GColourConvert(&l, 1);
    gcolour_GColourConvert(&d, 1);
    l.name[0] = d.name[0] = '\0';
    l.pixel = d.pixel = -1;
    long n = GGetNumColoursIn(table);
    if (n == shadow_count && shadow_light >= 0) {
        if (gcolour_GReplaceColour(table, &l, shadow_light) != 0 ||
            gcolour_GReplaceColour(table, &d, shadow_dark) != 0)
            return -1;
    } else {
        if (gcolour_GAddMoreColour(table, &l) != 0 || gcolour_GAddMoreColour(table, &d) != 0)
            return -1;
        shadow_count = GGetNumColoursIn(table);
        shadow_light = shadow_count - 2;
        shadow_dark = shadow_count - 1;
    }
    *light = shadow_light;
    *dark = shadow_dark;
    return 0;
}

int gbits_GComputeBoundingBox(GDeviceRecord *device, long box[4])
{
    const GDeviceModes &m = device->modes;
    double dcx = static_cast<double>(m.dcxdim), dcy = static_cast<double>(m.dcydim);
    double ucx = static_cast<double>(m.ucxdim), ucy = static_cast<double>(m.ucydim);
    if (!m.fillpage) {
        box[0] = m.dcxpos;
        box[1] = m.dcypos;
        box[2] = m.dcxpos + m.dcxdim;
        box[3] = m.dcypos + m.dcydim;
        return 0;
    }
    // A device of no size has no picture to scale.
    if (dcx <= 0 || dcy <= 0) {
        box[0] = box[1] = box[2] = box[3] = 0;
        return -1;
    }
    if (m.landscape) {
        double a = ucy / dcx, e = ucx / dcy;
        box[0] = box[1] = 0;
        if (a <= e) {
            box[2] = static_cast<long>(a * dcy);
            box[3] = static_cast<long>(ucy);
        } else {
            box[2] = static_cast<long>(ucx);
            box[3] = static_cast<long>(e * dcx);
        }
    } else {
        double e = ucx / dcx, a = ucy / dcy;
        if (e <= a) {
            box[0] = 0;
            box[1] = static_cast<long>(ucy - e * dcy);
            box[2] = static_cast<long>(ucx);
            box[3] = static_cast<long>(ucy);
        } else {
            box[0] = box[1] = 0;
            box[2] = static_cast<long>(a * dcx);
            box[3] = static_cast<long>(ucy);
        }
    }
    return 0;
}
