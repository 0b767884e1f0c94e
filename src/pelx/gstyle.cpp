// Marker, line-style, hatch and font tables, the colour-map table, and the
// marker and line modes of a canvas.

#include "gtables.h"
#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int copy_vector(GVector *d, const GVector *s) { return gvector_GCopyVector(d, s); }
void free_vector(GVector *v) { gvector_GFreeVectorData(v); }

int copy_line(GLineStyle *d, const GLineStyle *s)
{
    memcpy(d->name, s->name, sizeof d->name);
    d->length = s->length;
    d->width = s->width;
    d->dashes = s->dashes;
    d->dashes.data[0] = d->dashes.data[1] = d->dashes.data[2] = nullptr;
    if (s->dashes.count > 0 && s->dashes.data[0])
        return gvector_GCopyVector(&d->dashes, &s->dashes);
    return 0;
}
void free_line(GLineStyle *l) { gvector_GFreeVectorData(&l->dashes); }

int copy_font(GFont *d, const GFont *s)
{
    *d = GFont{};
    if (s->name && !(d->name = stralloc(s->name)))
        return gerror_GRegisterError(4, 3, 0, nullptr), -1;
    if (s->path && !(d->path = stralloc(s->path))) {
        vx_free(d->name);
        d->name = nullptr;
        return gerror_GRegisterError(4, 3, 0, nullptr), -1;
    }
    int64_t f = s->flags;
    d->flags = f;
    if (f & GF_HEIGHT) d->height = s->height;
    if (f & GF_WIDTH) d->width = s->width;
    if (f & GF_BASELINE) d->baseline = s->baseline;
    if (f & GF_NUMCHARS) d->numchars = s->numchars;
    if (f & GF_NUMBITS) d->numbits = s->numbits;
    if (f & GF_VDCHEIGHT) d->vdcheight = s->vdcheight;
    if (f & GF_VDCASPECT) d->vdcaspect = s->vdcaspect;
    if (f & GF_GLYPHS) d->glyphs = s->glyphs;
    if (f & GF_CHARSET) memcpy(d->charset, s->charset, sizeof d->charset);
    if (f & GF_FIXED) d->fixed = s->fixed;
    if (f & GF_ITALIC) d->italic = s->italic;
    if (f & GF_WEIGHT) memcpy(d->weight, s->weight, sizeof d->weight);
    if (f & GF_TYPEFACE) memcpy(d->typeface, s->typeface, sizeof d->typeface);
    if (f & GF_NLS) d->nls = s->nls;
    return 0;
}

int copy_colour_map(GColourMap *d, const GColourMap *s)
{
    memcpy(d->name, s->name, sizeof d->name);
    d->colours = glist_GCreateList();
    if (!d->colours)
        return -1;
    long n = glist_GGetListLen(s->colours);
    for (long i = 0; i < n; i++)
        if (gcolour_GAddMoreColour(d->colours, gcolour_GGetColour(s->colours, i)) != 0) {
            glist_GDestroyList(d->colours);
            d->colours = nullptr;
            return -1;
        }
    glist_GIndexList(d->colours);
    return 0;
}
void free_colour_map(GColourMap *m)
{
    if (m->colours)
        gcolour_GDestroyColourTable(m->colours);
    m->colours = nullptr;
}

// Glyph tables made by the configuration reader; the fonts share them.
struct GlyphTable {
    GVector **glyphs;
    long count;
};
std::vector<GlyphTable> glyph_tables;

}  // namespace

void gfont_GFreeFontFields(GFont *font)
{
    vx_free(font->name);
    vx_free(font->path);
    font->name = font->path = nullptr;
}

void gfont_GFreeGlyphs(GVector **glyphs, long count)
{
    if (!glyphs)
        return;
    for (long i = 0; i < count; i++)
        if (glyphs[i]) {
            gvector_GFreeVectorData(glyphs[i]);
            vx_free(glyphs[i]);
        }
    vx_free(glyphs);
}

void gfont_GKeepGlyphs(GVector **glyphs, long count) { glyph_tables.push_back({glyphs, count}); }

template <>
GTable<GMarker> &gtable_of<GMarker>()
{
    static GTable<GMarker> t{nullptr, copy_vector, free_vector};
    return t;
}
template <>
GTable<GLineStyle> &gtable_of<GLineStyle>()
{
    static GTable<GLineStyle> t{nullptr, copy_line, free_line};
    return t;
}
template <>
GTable<GFont> &gtable_of<GFont>()
{
    static GTable<GFont> t{nullptr, copy_font, gfont_GFreeFontFields};
    return t;
}
template <>
GTable<GColourMap> &gtable_of<GColourMap>()
{
    static GTable<GColourMap> t{nullptr, copy_colour_map, free_colour_map};
    return t;
}

// Markers and hatches are both point vectors: the hatch table keeps its own
// default list beside the marker table's.
namespace {
GList *hatch_default = nullptr;
struct HatchScope {
    GList *saved;
    HatchScope() : saved(gtable_of<GMarker>().def) { gtable_of<GMarker>().def = hatch_default; }
    ~HatchScope()
    {
        hatch_default = gtable_of<GMarker>().def;
        gtable_of<GMarker>().def = saved;
    }
};
}  // namespace

// ---- markers -------------------------------------------------------------

int gmarker_GCreateDefMarkerTable() { return gtable_create_default<GMarker>(); }
GList *gmarker_GCreateDevMarkerTable() { return gtable_create_dev<GMarker>(); }
int gmarker_GCopyDefaultMarkerTable(GList *table) { return gtable_copy_default<GMarker>(table); }
int gmarker_GIndexMarkerTable() { return gtable_index<GMarker>(); }
int gmarker_GDestroyMarkerTable(GList *table) { return gtable_destroy<GMarker>(table); }
int GCopyMarker(GMarker *destination, const GMarker *source) { return copy_vector(destination, source); }
int gmarker_GAddMarker(const GMarker *marker) { return gtable_add(gtable_of<GMarker>().def, marker); }
int gmarker_GReplaceMarker(GList *table, const GMarker *marker, long index)
{
    return gtable_replace(table ? table : gtable_of<GMarker>().def, marker, index);
}
GMarker *gmarker_GGetMarker(GList *table, long index) { return gtable_get<GMarker>(table, index); }
GList *gmarker_GGetDefaultMarkerTable() { return gtable_of<GMarker>().def; }
long GGetNumMarkers(GDeviceRecord *device) { return glist_GGetListLen(device->tables[GT_MARKERS]); }

// ---- hatches -------------------------------------------------------------

int ghatch_GCreateDefHatchTable()
{
    HatchScope s;
    return gtable_create_default<GMarker>();
}
GList *ghatch_GCreateDevHatchTable()
{
    HatchScope s;
    return gtable_create_dev<GMarker>();
}
int ghatch_GCopyDefaultHatchTable(GList *table)
{
    HatchScope s;
    return gtable_copy_default<GMarker>(table);
}
int ghatch_GIndexHatchTable()
{
    HatchScope s;
    return gtable_index<GMarker>();
}
int ghatch_GDestroyHatchTable(GList *table)
{
    HatchScope s;
    return gtable_destroy<GMarker>(table);
}
int GCopyHatch(GHatch *destination, const GHatch *source) { return copy_vector(destination, source); }
int ghatch_GAddHatch(const GHatch *hatch) { return gtable_add(hatch_default, hatch); }
int ghatch_GReplaceHatch(GList *table, const GHatch *hatch, long index)
{
    return gtable_replace(table ? table : hatch_default, hatch, index);
}
GHatch *ghatch_GGetHatch(GList *table, long index)
{
    return static_cast<GHatch *>(glist_GGetListItem(table ? table : hatch_default, index));
}
GList *ghatch_GGetDefaultHatchTable() { return hatch_default; }
long GGetNumHatches(GDeviceRecord *device) { return glist_GGetListLen(device->tables[GT_HATCHES]); }

int ghatch_GComputeHatchIncrements(GHatch *hatch, long *x_step, long *y_step, long *count)
{
    *x_step = *y_step = *count = 0;
    if (!hatch || hatch->count < 1 || !hatch->data[0] || hatch->type != GV_SHORT)
        return -1;
    int16_t *family = static_cast<int16_t *>(hatch->data[0]);
    long angle = family[0];
    while (angle < 0)
        angle += 180;
    angle %= 180;
    family[0] = static_cast<int16_t>(angle);
    long s = family[1];
    if (s == 0)
        return -1;
    if (angle == 0) {
        *y_step = s;
        *count = 128 / s;
    } else if (angle == 90) {
        *x_step = s;
        *count = 128 / s;
    } else {
        double rad = angle * M_PI / 180.0;
        *x_step = static_cast<long>(s / std::sin(rad));
        *y_step = static_cast<long>(s / std::cos(rad));
        long divisor = (angle > 45 && angle < 135) ? std::labs(*y_step) : *x_step;
        // A step that truncated to 0 gives no lines.
        *count = divisor != 0 ? 128 / divisor : 0;
    }
    return 0;
}

// ---- line styles ---------------------------------------------------------

int glines_GCreateDefLineTable() { return gtable_create_default<GLineStyle>(); }
GList *glines_GCreateDevLineTable() { return gtable_create_dev<GLineStyle>(); }
int glines_GCopyDefaultLineTable(GList *table) { return gtable_copy_default<GLineStyle>(table); }
int glines_GIndexLineTable() { return gtable_index<GLineStyle>(); }
int glines_GDestroyLineTable(GList *table) { return gtable_destroy<GLineStyle>(table); }
int GCopyLine(GLineStyle *destination, const GLineStyle *source) { return copy_line(destination, source); }
int glines_GAddLine(const GLineStyle *line) { return gtable_add(gtable_of<GLineStyle>().def, line); }
int glines_GReplaceLine(GList *table, const GLineStyle *line, long index)
{
    return gtable_replace(table ? table : gtable_of<GLineStyle>().def, line, index);
}
GLineStyle *glines_GGetLine(GList *table, long index) { return gtable_get<GLineStyle>(table, index); }
GList *glines_GGetDefaultLineTable() { return gtable_of<GLineStyle>().def; }
long GGetNumLines(GDeviceRecord *device) { return glist_GGetListLen(device->tables[GT_LINES]) + 1; }

// ---- fonts ---------------------------------------------------------------

int gfont_GCreateDefFontTable() { return gtable_create_default<GFont>(); }
GList *gfont_GCreateDevFontTable() { return gtable_create_dev<GFont>(); }
int gfont_GCopyDefaultFontTable(GList *table) { return gtable_copy_default<GFont>(table); }
int gfont_GIndexFontTable() { return gtable_index<GFont>(); }
int gfont_GDestroyFontTable(GList *table)
{
    int r = gtable_destroy<GFont>(table);
    if (!table) {
        for (auto &g : glyph_tables)
            gfont_GFreeGlyphs(g.glyphs, g.count);
        glyph_tables.clear();
    }
    return r;
}
int GCopyFont(GFont *destination, const GFont *source) { return copy_font(destination, source); }
int gfont_GAddFont(const GFont *font) { return gtable_add(gtable_of<GFont>().def, font); }
int gfont_GReplaceFont(GList *table, const GFont *font, long index)
{
    return gtable_replace(table ? table : gtable_of<GFont>().def, font, index);
}
GFont *gfont_GGetFont(GList *table, long index) { return gtable_get<GFont>(table, index); }
GList *gfont_GGetDefaultFontTable() { return gtable_of<GFont>().def; }
long GGetNumFonts(GDeviceRecord *device) { return glist_GGetListLen(device->tables[GT_FONTS]); }

GFont *gfont_GGetCanvasFont(GCanvasRecord *canvas, long index)
{
    GList *t = canvas->device->tables[GT_FONTS];
    return gfont_GGetFont(t ? t : gtable_of<GFont>().def, index);
}

// ---- colour maps ---------------------------------------------------------

int gcolmap_GCreateDefColourMapTable() { return gtable_create_default<GColourMap>(); }
GList *gcolmap_GCreateDevColourMapTable() { return gtable_create_dev<GColourMap>(); }
int gcolmap_GCopyDefaultColourMapTable(GList *table) { return gtable_copy_default<GColourMap>(table); }
int gcolmap_GIndexColourMapTable() { return gtable_index<GColourMap>(); }
int gcolmap_GDestroyColourMapTable(GList *table) { return gtable_destroy<GColourMap>(table); }
int gcolmap_GAddColourMap(const GColourMap *map) { return gtable_add(gtable_of<GColourMap>().def, map); }
int gcolmap_GReplaceColourMap(GList *table, const GColourMap *map, long index)
{
    return gtable_replace(table ? table : gtable_of<GColourMap>().def, map, index);
}
GColourMap *gcolmap_GGetColourMap(GList *table, long index) { return gtable_get<GColourMap>(table, index); }
GList *gcolmap_GGetDefaultColourMapTable() { return gtable_of<GColourMap>().def; }

// ---- marker and line modes -----------------------------------------------

int GSetMarkerModes(GCanvasRecord *canvas, uint64_t mask, const GMarkerModes *modes)
{
    if (mask & GMM_INDEX)
        canvas->marker.index = modes->index;
    if (mask & GMM_SCALE)
        canvas->marker.scale = modes->scale;
    return 0;
}

int GGetMarkerModes(GCanvasRecord *canvas, GMarkerModes *modes)
{
    *modes = canvas->marker;
    return 0;
}

int gmarker_GSetDefaultMarkerModes(GCanvasRecord *canvas)
{
    canvas->marker = GMarkerModes{0, 1.0};
    return 0;
}

int GSetLineModes(GCanvasRecord *canvas, uint64_t mask, const GLineModes *modes)
{
    if (mask & GLM_STYLE)
        canvas->line.style = modes->style - 1;
    if (mask & GLM_COLOUR)
        canvas->line.colour = modes->colour;
    if (mask & GLM_FUNCTION)
        canvas->line.function = modes->function;
    if (mask & GLM_CLOSE)
        canvas->line.flag = modes->flag;
    if (mask & GLM_WIDTH)
        canvas->line.width = modes->width;
    return gep_GCanvasEntryPoints(canvas)->SetLineModes(canvas, mask);
}

int GGetLineModes(GCanvasRecord *canvas, GLineModes *modes)
{
    // The style comes back numbered as GSetLineModes takes it (0 the solid
    // line, n entry n - 1 of the table), so that modes read here and set
    // again are the same modes.
    *modes = canvas->line;
    modes->style = canvas->line.style + 1;
    return 0;
}

int gline_GSetDefaultLineModes(GCanvasRecord *canvas)
{
    canvas->line = GLineModes{-1, 1, GFN_COPY, 0, 0};
    gep_GCanvasEntryPoints(canvas)->SetLineModes(canvas, GMASK_ALL);
    return 0;
}
