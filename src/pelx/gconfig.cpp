// The configuration reader: builds the default tables and the device table
// from the parse tree of the configuration file.

#include "pelx.h"
#include "pelx_msgs.h"
#include "vxutil.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

char gconfig_keys[GCONFIG_NKEYS][16] = {
    "fillpage", "backingstore", "baseline", "bitdepth", "blue", "bordercolour", "borderwidth", "character",
    "characters", "colour", "colours", "dashlist", "dcxdim", "dcxpos", "dcydim", "dcypos", "device", "devices",
    "display", "filename", "font", "fonts", "green", "grid", "hatch", "hatches", "height", "iswindow",
    "landscape", "line", "lines", "linestyle", "linewidth", "listlen", "marker", "markers", "markersize",
    "name", "numbits", "numchars", "output", "protocol", "red", "spoolcmd", "ucxdim", "ucydim", "vdcaspect",
    "vdcheight", "width", "prolog", "include", "length", "epilog", "supports", "hpgl_ra", "hpgl_wg", "hpgl_aa",
    "hpgl_pm", "hpgl_fp", "hpgl_ep", "hpgl_lo", "charset", "fixed", "italic", "weight", "typeface", "nls",
    "colourmaps", "map", "clr_planes", "bg_colour", "path", "metrics"};

namespace {

enum Key {
    K_FILLPAGE, K_BACKINGSTORE, K_BASELINE, K_BITDEPTH, K_BLUE, K_BORDERCOLOUR, K_BORDERWIDTH, K_CHARACTER,
    K_CHARACTERS, K_COLOUR, K_COLOURS, K_DASHLIST, K_DCXDIM, K_DCXPOS, K_DCYDIM, K_DCYPOS, K_DEVICE, K_DEVICES,
    K_DISPLAY, K_FILENAME, K_FONT, K_FONTS, K_GREEN, K_GRID, K_HATCH, K_HATCHES, K_HEIGHT, K_ISWINDOW,
    K_LANDSCAPE, K_LINE, K_LINES, K_LINESTYLE, K_LINEWIDTH, K_LISTLEN, K_MARKER, K_MARKERS, K_MARKERSIZE,
    K_NAME, K_NUMBITS, K_NUMCHARS, K_OUTPUT, K_PROTOCOL, K_RED, K_SPOOLCMD, K_UCXDIM, K_UCYDIM, K_VDCASPECT,
    K_VDCHEIGHT, K_WIDTH, K_PROLOG, K_INCLUDE, K_LENGTH, K_EPILOG, K_SUPPORTS, K_HPGL_RA, K_HPGL_WG, K_HPGL_AA,
    K_HPGL_PM, K_HPGL_FP, K_HPGL_EP, K_HPGL_LO, K_CHARSET, K_FIXED, K_ITALIC, K_WEIGHT, K_TYPEFACE, K_NLS,
    K_COLOURMAPS, K_MAP, K_CLR_PLANES, K_BG_COLOUR, K_PATH, K_METRICS
};
static_assert(int(K_INCLUDE) == int(GK_INCLUDE) && int(K_METRICS) == int(GCONFIG_NKEYS) - 1);

void line_error(int number, long line)
{
    gerror_GRegisterError(3, number, 0, vx_msgf(gerror_GCatalogue(), PELX_PARAM_LINENO, static_cast<int>(line)).c_str());
}

const char *value_of(const GParseNode *n) { return n->value ? n->value : ""; }

long number(const GParseNode *n)
{
    errno = 0;
    long v = strtol(value_of(n), nullptr, 10);
    return errno ? 0 : v;
}

int16_t short_number(const GParseNode *n)
{
    long v = number(n);
    return static_cast<int16_t>(v < SHRT_MIN ? SHRT_MIN : v > SHRT_MAX ? SHRT_MAX : v);
}

// Numbers separated by commas (or blanks); false when fewer than `want`
// (want 0: any count) or a part is not a number.
bool numbers(const char *text, std::vector<long> &out, size_t want)
{
    out.clear();
    const char *p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (!*p)
            break;
        char *end;
        long v = strtol(p, &end, 10);
        if (end == p)
            return false;
        out.push_back(v);
        p = end;
        while (*p == ' ' || *p == '\t')
            p++;
        if (*p == ',')
            p++;
        else if (*p)
            return false;
    }
    return want == 0 ? !out.empty() : out.size() >= want;
}

int16_t clamp16(long v) { return static_cast<int16_t>(v < SHRT_MIN ? SHRT_MIN : v > SHRT_MAX ? SHRT_MAX : v); }

// ---- colours -------------------------------------------------------------

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

// "#" and hexadecimal digits, three equal parts placed at the top of the
// 16-bit components.  More than four digits a part: the first four count.
int GParseHashColour(GColour *colour, const char *name, long line)
{
    const char *digits = name + 1;
    size_t n = strlen(digits);
    bool ok = n > 0 && n % 3 == 0;
    for (size_t i = 0; ok && i < n; i++)
        ok = hex_digit(digits[i]) >= 0;
    if (!ok) {
        line_error(15, line);
        return -1;
    }
    size_t per = n / 3;
    uint16_t *comp[3] = {&colour->red, &colour->green, &colour->blue};
    for (int c = 0; c < 3; c++) {
        unsigned v = 0;
        size_t used = per > 4 ? 4 : per;
        for (size_t i = 0; i < used; i++)
            v = v * 16 + static_cast<unsigned>(hex_digit(digits[c * per + i]));
        *comp[c] = static_cast<uint16_t>(v << (16 - 4 * used));
    }
    return 0;
}

// Reads a colour entry's block; 0 when the colour is to be added.
int GObtainColour(const GParseNode *entry, GColour *colour)
{
    *colour = GColour{};
    colour->pixel = -1;
    bool have[3] = {false, false, false};
    uint16_t *comp[3] = {&colour->red, &colour->green, &colour->blue};
    for (const GParseNode *k = entry->child; k; k = k->next) {
        int c = k->keyword == K_RED ? 0 : k->keyword == K_GREEN ? 1 : k->keyword == K_BLUE ? 2 : -1;
        if (c >= 0) {
            if (!have[c]) {
                long v = number(k);
                *comp[c] = static_cast<uint16_t>((v < 0 ? 0 : v > 255 ? 255 : v) * 257);
                have[c] = true;
            }
            continue;
        }
        if (k->keyword == K_NAME) {
            const char *name = value_of(k);
            if (name[0] == '#') {
                if (GParseHashColour(colour, name, k->line) != 0)
                    return -1;
                safe_strcpy(colour->name, name, sizeof colour->name - 1);
                return 0;
            }
            char buf[256];
            safe_strcpy(buf, name, sizeof buf - 1);
            gcolour_GLookupColour(colour, buf);
            safe_strcpy(colour->name, buf, sizeof colour->name - 1);
            return 0;
        }
        line_error(15, k->line);
    }
    return have[0] && have[1] && have[2] ? 0 : -1;
}

namespace {

int obtain_colour_map(const GParseNode *entry, GColourMap *map)
{
    *map = GColourMap{};
    map->colours = glist_GCreateList();
    if (!map->colours)
        return -1;
    for (const GParseNode *k = entry->child; k; k = k->next) {
        if (k->keyword == K_NAME) {
            if (strlen(value_of(k)) > 79) {
                line_error(15, k->line);
                glist_GDestroyList(map->colours);
                map->colours = nullptr;
                return -1;
            }
            safe_strcpy(map->name, value_of(k), 79);
        } else if (k->keyword == K_COLOUR && k->child) {
            GColour c;
            if (GObtainColour(k, &c) == 0)
                gcolour_GAddMoreColour(map->colours, &c);
        } else {
            line_error(15, k->line);
        }
    }
    glist_GIndexList(map->colours);
    return 0;
}

}  // namespace

int GObtainColourMap(const GParseNode *entry, GColourMap *map) { return obtain_colour_map(entry, map); }

// ---- fonts ---------------------------------------------------------------

namespace {

bool is_true(const GParseNode *n) { return strcmp(value_of(n), "TRUE") == 0; }

GVector *obtain_glyph(const GParseNode *character, bool &ok)
{
    std::vector<int16_t> points;
    int16_t metrics[4];
    bool have_metrics = false;
    std::vector<long> v;
    for (const GParseNode *k = character->child; k; k = k->next) {
        if (k->keyword == K_LINE && numbers(value_of(k), v, 4)) {
            for (int i = 0; i < 4; i++)
                points.push_back(clamp16(v[i]));
        } else if (k->keyword == K_METRICS && numbers(value_of(k), v, 4)) {
            for (int i = 0; i < 4; i++)
                metrics[i] = clamp16(v[i]);
            have_metrics = true;
        } else {
            line_error(12, k->line);
        }
    }
    GVector *g = static_cast<GVector *>(vx_malloc(sizeof(GVector), 0));
    if (!g) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        ok = false;
        return nullptr;
    }
    *g = GVector{GV_SHORT, 0, 2, static_cast<int64_t>(points.size() / 2), {nullptr, nullptr, nullptr}};
    if (!points.empty()) {
        g->data[0] = vx_malloc(static_cast<long>(points.size() * sizeof(int16_t)), 0);
        if (g->data[0])
            memcpy(g->data[0], points.data(), points.size() * sizeof(int16_t));
    }
    if (have_metrics) {
        g->data[1] = vx_malloc(sizeof metrics, 0);
        if (g->data[1])
            memcpy(g->data[1], metrics, sizeof metrics);
    }
    if ((!points.empty() && !g->data[0]) || (have_metrics && !g->data[1])) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        gvector_GFreeVectorData(g);
        vx_free(g);
        ok = false;
        return nullptr;
    }
    return g;
}

}  // namespace

int GObtainCharacters(const GParseNode *block, GFont *font)
{
    long n = font->numchars;
    GVector **glyphs = static_cast<GVector **>(vx_malloc(n * static_cast<long>(sizeof(GVector *)), 0));
    if (!glyphs) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    for (long i = 0; i < n; i++)
        glyphs[i] = nullptr;
    for (const GParseNode *k = block->child; k; k = k->next) {
        if (k->keyword != K_CHARACTER) {
            line_error(15, k->line);
            continue;
        }
        long c = number(k);
        if (c < 0 || c >= n) {
            line_error(12, k->line);
            gfont_GFreeGlyphs(glyphs, n);
            return -1;
        }
        bool ok = true;
        GVector *g = obtain_glyph(k, ok);
        if (!ok) {
            gfont_GFreeGlyphs(glyphs, n);
            return -1;
        }
        if (glyphs[c]) {
            gvector_GFreeVectorData(glyphs[c]);
            vx_free(glyphs[c]);
        }
        glyphs[c] = g;
    }
    font->glyphs = glyphs;
    font->flags |= GF_GLYPHS;
    return 0;
}

// Reads a font entry's block into *font (which owns name and path); 0 when
// the font is to be added.
int GObtainFont(const GParseNode *entry, GFont *font)
{
    *font = GFont{};
    const GParseNode *characters = nullptr;
    for (const GParseNode *k = entry->child; k; k = k->next) {
        switch (k->keyword) {
        case K_NAME:
            vx_free(font->name);
            font->name = stralloc(value_of(k));
            font->flags |= GF_NAME;
            break;
        case K_PATH:
            vx_free(font->path);
            font->path = stralloc(value_of(k));
            break;
        case K_HEIGHT: font->height = short_number(k), font->flags |= GF_HEIGHT; break;
        case K_WIDTH: font->width = short_number(k), font->flags |= GF_WIDTH; break;
        case K_BASELINE: font->baseline = short_number(k), font->flags |= GF_BASELINE; break;
        case K_NUMCHARS: font->numchars = short_number(k), font->flags |= GF_NUMCHARS; break;
        case K_NUMBITS: font->numbits = short_number(k), font->flags |= GF_NUMBITS; break;
        case K_VDCHEIGHT: font->vdcheight = short_number(k), font->flags |= GF_VDCHEIGHT; break;
        case K_VDCASPECT: font->vdcaspect = strtod(value_of(k), nullptr), font->flags |= GF_VDCASPECT; break;
        case K_CHARACTERS: characters = k; break;
        case K_CHARSET: safe_strcpy(font->charset, value_of(k), 79), font->flags |= GF_CHARSET; break;
        case K_FIXED: font->fixed = is_true(k), font->flags |= GF_FIXED; break;
        case K_ITALIC: font->italic = is_true(k), font->flags |= GF_ITALIC; break;
        case K_WEIGHT: safe_strcpy(font->weight, value_of(k), 79), font->flags |= GF_WEIGHT; break;
        case K_TYPEFACE: safe_strcpy(font->typeface, value_of(k), 79), font->flags |= GF_TYPEFACE; break;
        case K_NLS: font->nls = is_true(k), font->flags |= GF_NLS; break;
        default: line_error(12, k->line); break;
        }
    }
    if (characters) {
        if (!(font->flags & GF_NUMCHARS) || font->numchars <= 0) {
            line_error(12, -1);
            gfont_GFreeFontFields(font);
            return -1;
        }
        if (GObtainCharacters(characters, font) != 0) {
            gfont_GFreeFontFields(font);
            return -1;
        }
        gfont_GKeepGlyphs(font->glyphs, font->numchars);
    }
    return 0;
}

// ---- hatches, markers, line styles ---------------------------------------

namespace {

int short_vector(GVector *v, const std::vector<int16_t> &values)
{
    *v = GVector{GV_SHORT, 0, 2, static_cast<int64_t>(values.size() / 2), {nullptr, nullptr, nullptr}};
    if (values.empty())
        return 0;
    v->data[0] = vx_malloc(static_cast<long>(values.size() * sizeof(int16_t)), 0);
    if (!v->data[0]) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    memcpy(v->data[0], values.data(), values.size() * sizeof(int16_t));
    return 0;
}

}  // namespace

int GObtainHatchStyle(const GParseNode *entry, GHatch *hatch)
{
    std::vector<int16_t> values;
    std::vector<long> v;
    for (const GParseNode *k = entry->child; k; k = k->next) {
        if (k->keyword == K_GRID && numbers(value_of(k), v, 2)) {
            values.push_back(clamp16(v[0]));
            values.push_back(clamp16(v[1]));
        } else {
            line_error(14, k->line);
        }
    }
    if (values.empty()) {
        line_error(14, entry->line);
        return -1;
    }
    return short_vector(hatch, values);
}

int GObtainMarker(const GParseNode *entry, GMarker *marker)
{
    std::vector<int16_t> values;
    std::vector<long> v;
    for (const GParseNode *k = entry->child; k; k = k->next) {
        if (k->keyword == K_LINE && numbers(value_of(k), v, 4)) {
            for (int i = 0; i < 4; i++)
                values.push_back(clamp16(v[i]));
        } else {
            line_error(13, k->line);
        }
    }
    if (values.empty()) {
        line_error(13, entry->line);
        return -1;
    }
    return short_vector(marker, values);
}

int GObtainLineStyle(const GParseNode *entry, GLineStyle *style)
{
    *style = GLineStyle{};
    style->width = 1;
    style->dashes = GVector{GV_BYTE, 0, 1, 0, {nullptr, nullptr, nullptr}};
    const char *dashlist = nullptr;
    long listlen = 0;
    bool named = false;
    for (const GParseNode *k = entry->child; k; k = k->next) {
        switch (k->keyword) {
        case K_NAME: safe_strcpy(style->name, value_of(k), 79), named = true; break;
        case K_DASHLIST: dashlist = value_of(k); break;
        case K_LISTLEN: listlen = number(k); break;
        case K_LENGTH: style->length = strtod(value_of(k), nullptr); break;
        case K_LINEWIDTH: style->width = static_cast<int32_t>(number(k)); break;
        default: line_error(11, k->line); break;
        }
    }
    std::vector<long> v;
    if (listlen > 0 && dashlist && numbers(dashlist, v, 0)) {
        // A list shorter than listlen gives only the dashes it has.
        size_t n = std::min(v.size(), static_cast<size_t>(listlen));
        unsigned char *d = static_cast<unsigned char *>(vx_malloc(static_cast<long>(n), 0));
        if (!d) {
            gerror_GRegisterError(4, 3, 0, nullptr);
            return -1;
        }
        for (size_t i = 0; i < n; i++)
            d[i] = static_cast<unsigned char>(v[i] < 0 ? 0 : v[i] > 255 ? 255 : v[i]);
        style->dashes.data[0] = d;
        style->dashes.count = static_cast<int64_t>(n);
        return 0;
    }
    if (!dashlist && style->width <= 0 && !named) {
        line_error(11, -1);
        return -1;
    }
    return 0;
}

// ---- sections ------------------------------------------------------------

namespace {

template <class T, class Obtain, class Add, class Free>
void read_section(const GParseNode *section, long entry_key, int wrong_number, Obtain obtain, Add add, Free free_record)
{
    for (const GParseNode *k = section->child; k; k = k->next) {
        if (k->keyword != entry_key || !k->child) {
            line_error(k->keyword != entry_key ? wrong_number : 15, k->line);
            continue;
        }
        T record;
        if (obtain(k, &record) != 0)
            continue;
        add(&record);
        free_record(&record);
    }
}

void free_vector_record(GVector *v) { gvector_GFreeVectorData(v); }

}  // namespace

int GInitialiseColours(const GParseNode *section)
{
    gcolour_GCreateDefColourTable();
    read_section<GColour>(section, K_COLOUR, 15, GObtainColour, gcolour_GAddColour, [](GColour *) {});
    return gcolour_GIndexColourTable();
}

int GInitialiseFont(const GParseNode *section)
{
    gfont_GCreateDefFontTable();
    read_section<GFont>(section, K_FONT, 12, GObtainFont, gfont_GAddFont, gfont_GFreeFontFields);
    return gfont_GIndexFontTable();
}

int GInitialiseHatches(const GParseNode *section)
{
    ghatch_GCreateDefHatchTable();
    read_section<GHatch>(section, K_HATCH, 15, GObtainHatchStyle, ghatch_GAddHatch, free_vector_record);
    return ghatch_GIndexHatchTable();
}

int GInitialiseLines(const GParseNode *section)
{
    glines_GCreateDefLineTable();
    read_section<GLineStyle>(section, K_LINESTYLE, 15, GObtainLineStyle, glines_GAddLine,
                             [](GLineStyle *l) { gvector_GFreeVectorData(&l->dashes); });
    return glines_GIndexLineTable();
}

int GInitialiseMarkers(const GParseNode *section)
{
    gmarker_GCreateDefMarkerTable();
    for (const GParseNode *k = section->child; k; k = k->next) {
        if (k->keyword == K_MARKERSIZE)
            continue;  // read, without effect
        if (k->keyword != K_MARKER || !k->child) {
            line_error(k->keyword != K_MARKER ? 13 : 15, k->line);
            continue;
        }
        GMarker m;
        if (GObtainMarker(k, &m) != 0)
            continue;
        gmarker_GAddMarker(&m);
        gvector_GFreeVectorData(&m);
    }
    return gmarker_GIndexMarkerTable();
}

int GInitialiseColourMaps(const GParseNode *section)
{
    gcolmap_GCreateDefColourMapTable();
    read_section<GColourMap>(section, K_MAP, 15, GObtainColourMap, gcolmap_GAddColourMap, [](GColourMap *m) {
        if (m->colours)
            gcolour_GDestroyColourTable(m->colours);
    });
    return gcolmap_GIndexColourMapTable();
}

// ---- devices -------------------------------------------------------------

namespace {

// Replaces entry N of a device's working table from a refinement block;
// an empty table is left alone.
template <class T, class Obtain, class Replace, class Free>
void refine(const GParseNode *block, long entry_key, int wrong_number, GList *table, long offset, Obtain obtain,
            Replace replace, Free free_record)
{
    for (const GParseNode *k = block->child; k; k = k->next) {
        if (k->keyword != entry_key || !k->child) {
            line_error(k->keyword != entry_key ? wrong_number : 15, k->line);
            continue;
        }
        if (glist_GGetListLen(table) == 0)
            continue;
        T record;
        if (obtain(k, &record) != 0)
            continue;
        replace(table, &record, number(k) - offset);
        free_record(&record);
    }
}

}  // namespace

int GInitialiseDeviceColours(const GParseNode *block, GList *table)
{
    refine<GColour>(block, K_COLOUR, 15, table, 0, GObtainColour, gcolour_GReplaceColour, [](GColour *) {});
    return 0;
}
int GInitialiseDeviceFonts(const GParseNode *block, GList *table)
{
    refine<GFont>(block, K_FONT, 12, table, 0, GObtainFont, gfont_GReplaceFont, gfont_GFreeFontFields);
    return 0;
}
int GInitialiseDeviceHatches(const GParseNode *block, GList *table)
{
    refine<GHatch>(block, K_HATCH, 15, table, 0, GObtainHatchStyle, ghatch_GReplaceHatch, free_vector_record);
    return 0;
}
int GInitialiseDeviceLines(const GParseNode *block, GList *table)
{
    refine<GLineStyle>(block, K_LINESTYLE, 15, table, 1, GObtainLineStyle, glines_GReplaceLine,
                       [](GLineStyle *l) { gvector_GFreeVectorData(&l->dashes); });
    return 0;
}
int GInitialiseDeviceMarkers(const GParseNode *block, GList *table)
{
    refine<GMarker>(block, K_MARKER, 13, table, 0, GObtainMarker, gmarker_GReplaceMarker, free_vector_record);
    return 0;
}
int GInitialiseDeviceColourMaps(const GParseNode *block, GList *table)
{
    refine<GColourMap>(block, K_MAP, 15, table, 0, GObtainColourMap, gcolmap_GReplaceColourMap, [](GColourMap *m) {
        if (m->colours)
            gcolour_GDestroyColourTable(m->colours);
    });
    return 0;
}

uint32_t GObtainSupportedCommands(const GParseNode *block)
{
    static const struct {
        long key;
        uint32_t bit;
    } bits[] = {{K_HPGL_RA, 0x1}, {K_HPGL_WG, 0x2}, {K_HPGL_AA, 0x4}, {K_HPGL_PM, 0x8},
                {K_HPGL_FP, 0x10}, {K_HPGL_EP, 0x20}, {K_HPGL_LO, 0x40}};
    uint32_t flags = 0xFFFFFFFFu;
    for (const GParseNode *k = block->child; k; k = k->next) {
        bool known = false;
        for (auto &b : bits)
            if (b.key == k->keyword) {
                known = true;
                if (strcmp(value_of(k), "FALSE") == 0)
                    flags &= ~b.bit;
                else
                    flags |= b.bit;
            }
        if (!known)
            line_error(15, k->line);
    }
    return flags;
}

unsigned char gconfig_GProtocolNumber(const char *name)
{
    static const char *names[] = {"X", "PostScript", "EPS", "HP-GL", "HP-GL/2", "PCL"};
    for (unsigned char i = 0; i < 6; i++)
        if (strcmp(name, names[i]) == 0)
            return i;
    return GP_IMAGE;
}

namespace {

struct Working {
    GList *t[GT_COUNT] = {};
    void reset()
    {
        gcolour_GCopyDefaultColourTable(t[GT_COLOURS]);
        gfont_GCopyDefaultFontTable(t[GT_FONTS]);
        ghatch_GCopyDefaultHatchTable(t[GT_HATCHES]);
        glines_GCopyDefaultLineTable(t[GT_LINES]);
        gmarker_GCopyDefaultMarkerTable(t[GT_MARKERS]);
        gcolmap_GCopyDefaultColourMapTable(t[GT_COLOURMAPS]);
    }
    ~Working()
    {
        gcolour_GDestroyColourTable(t[GT_COLOURS]);
        gfont_GDestroyFontTable(t[GT_FONTS]);
        ghatch_GDestroyHatchTable(t[GT_HATCHES]);
        glines_GDestroyLineTable(t[GT_LINES]);
        gmarker_GDestroyMarkerTable(t[GT_MARKERS]);
        gcolmap_GDestroyColourMapTable(t[GT_COLOURMAPS]);
    }
};

bool set_flag(const GParseNode *k, unsigned char &field)
{
    if (strcmp(value_of(k), "TRUE") == 0)
        field = 1;
    else if (strcmp(value_of(k), "FALSE") == 0)
        field = 0;
    else
        return false;
    return true;
}

bool set_text(const GParseNode *k, char *field)
{
    if (strlen(value_of(k)) >= 255)
        return false;
    safe_strcpy(field, value_of(k), 254);
    return true;
}

}  // namespace

// Reads one device entry's block into entry (modes and mask); the working
// tables take its refinements.
int GObtainDevice(const GParseNode *device, GDeviceEntry *entry, GList *const tables[GT_COUNT])
{
    const GParseNode *remembered[GCONFIG_NKEYS] = {};
    GDeviceModes &m = entry->modes;
    for (const GParseNode *k = device->child; k; k = k->next) {
        switch (k->keyword) {
        case K_PROTOCOL:
            m.protocol = gconfig_GProtocolNumber(value_of(k));
            entry->mask |= GDM_PROTOCOL;
            break;
        case K_COLOURS:
            if (k->child)
                GInitialiseDeviceColours(k, tables[GT_COLOURS]);
            break;
        case K_FONTS:
            if (k->child)
                GInitialiseDeviceFonts(k, tables[GT_FONTS]);
            break;
        case K_HATCHES:
            if (k->child)
                GInitialiseDeviceHatches(k, tables[GT_HATCHES]);
            break;
        case K_LINES:
            if (k->child)
                GInitialiseDeviceLines(k, tables[GT_LINES]);
            break;
        case K_MARKERS:
            if (k->child)
                GInitialiseDeviceMarkers(k, tables[GT_MARKERS]);
            break;
        case K_COLOURMAPS:
            if (k->child)
                GInitialiseDeviceColourMaps(k, tables[GT_COLOURMAPS]);
            break;
        case K_DCXDIM: case K_DCYDIM: case K_UCXDIM: case K_UCYDIM: case K_DCXPOS: case K_DCYPOS:
        case K_BG_COLOUR: case K_BORDERWIDTH: case K_BORDERCOLOUR: case K_BITDEPTH: case K_DISPLAY:
        case K_ISWINDOW: case K_BACKINGSTORE: case K_LANDSCAPE: case K_OUTPUT: case K_FILLPAGE:
        case K_SPOOLCMD: case K_FILENAME: case K_PROLOG: case K_EPILOG: case K_SUPPORTS: case K_CLR_PLANES:
            remembered[k->keyword] = k;
            break;
        default:
            line_error(15, k->line);
            break;
        }
    }
    // Sizes and positions, for every kind of device.
    static const struct {
        long key;
        int64_t GDeviceModes::*field;
        uint64_t bit;
    } sizes[] = {{K_DCXDIM, &GDeviceModes::dcxdim, GDM_DCXDIM}, {K_DCYDIM, &GDeviceModes::dcydim, GDM_DCYDIM},
                 {K_UCXDIM, &GDeviceModes::ucxdim, GDM_UCXDIM}, {K_UCYDIM, &GDeviceModes::ucydim, GDM_UCYDIM},
                 {K_DCXPOS, &GDeviceModes::dcxpos, GDM_DCXPOS}, {K_DCYPOS, &GDeviceModes::dcypos, GDM_DCYPOS}};
    for (auto &s : sizes)
        if (const GParseNode *k = remembered[s.key]) {
            m.*(s.field) = number(k);
            entry->mask |= s.bit;
        }
    bool x = m.protocol == GP_X;
    auto allowed = [&](long key, bool ok) {
        const GParseNode *k = remembered[key];
        if (!k)
            return static_cast<const GParseNode *>(nullptr);
        if (!ok) {
            line_error(15, -1);
            return static_cast<const GParseNode *>(nullptr);
        }
        return k;
    };
    auto flag = [&](long key, bool ok, unsigned char &field, uint64_t bit) {
        if (const GParseNode *k = allowed(key, ok)) {
            if (!set_flag(k, field))
                line_error(15, k->line);
            entry->mask |= bit;
        }
    };
    auto text = [&](long key, bool ok, char *field, uint64_t bit) {
        if (const GParseNode *k = allowed(key, ok)) {
            if (set_text(k, field))
                entry->mask |= bit;
            else
                line_error(15, k->line);
        }
    };
    if (const GParseNode *k = allowed(K_BORDERWIDTH, x))
        m.borderwidth = number(k), entry->mask |= GDM_BORDERWIDTH;
    if (const GParseNode *k = allowed(K_BORDERCOLOUR, x))
        m.bordercolour = number(k), entry->mask |= GDM_BORDERCOLOUR;
    if (const GParseNode *k = allowed(K_BITDEPTH, x))
        m.bitdepth = number(k), entry->mask |= GDM_BITDEPTH;
    flag(K_ISWINDOW, x, m.iswindow, GDM_ISWINDOW);
    flag(K_BACKINGSTORE, x, m.backingstore, GDM_BACKINGSTORE);
    text(K_DISPLAY, x, m.display, GDM_DISPLAY);
    flag(K_LANDSCAPE, !x, m.landscape, GDM_LANDSCAPE);
    if (const GParseNode *k = allowed(K_OUTPUT, !x))
        m.output = strcmp(value_of(k), "FILE") == 0 ? 0 : 1, entry->mask |= GDM_OUTPUT;
    flag(K_FILLPAGE, !x, m.fillpage, GDM_FILLPAGE);
    text(K_SPOOLCMD, !x, m.spoolcmd, GDM_SPOOLCMD);
    text(K_FILENAME, !x, m.filename, GDM_FILENAME);
    text(K_PROLOG, !x, m.prolog, GDM_PROLOG);
    text(K_EPILOG, !x, m.epilog, GDM_EPILOG);
    if (const GParseNode *k = allowed(K_CLR_PLANES, m.protocol == GP_PCL))
        m.clr_planes = short_number(k), entry->mask |= GDM_CLRPLANES;
    if (const GParseNode *k = remembered[K_BG_COLOUR])
        m.bg_colour = number(k);
    if (const GParseNode *k = remembered[K_SUPPORTS]) {
        m.supports = k->child ? GObtainSupportedCommands(k) : 0xFFFFFFFFu;
        entry->mask |= GDM_SUPPORTS;
    }
    if (m.protocol == GP_HPGL2)
        m.supports = 0xFFFFFFFFu;
    return 0;
}

int GInitialiseDevices(const GParseNode *section)
{
    gdev_GCreateDefDeviceTable();
    Working w;
    w.t[GT_COLOURS] = gcolour_GCreateDevColourTable();
    w.t[GT_FONTS] = gfont_GCreateDevFontTable();
    w.t[GT_HATCHES] = ghatch_GCreateDevHatchTable();
    w.t[GT_LINES] = glines_GCreateDevLineTable();
    w.t[GT_MARKERS] = gmarker_GCreateDevMarkerTable();
    w.t[GT_COLOURMAPS] = gcolmap_GCreateDevColourMapTable();
    for (GList *t : w.t)
        if (!t)
            return -1;
    for (const GParseNode *k = section->child; k; k = k->next) {
        if (k->keyword != K_DEVICE || !k->child) {
            line_error(15, k->line);
            continue;
        }
        w.reset();
        // Each entry starts from a clean record, so no field of the
        // previous device reaches this one.
        GDeviceEntry entry{};
        entry.modes.supports = 0xFFFFFFFFu;
        entry.modes.colourmap = -1;
        GObtainDevice(k, &entry, w.t);
        for (int i = 0; i < GT_COUNT; i++)
            entry.tables[i] = w.t[i];
        gdev_GAddDevice(&entry);
    }
    return gdev_GIndexDeviceTable();
}

// ---- the whole configuration ---------------------------------------------

int GSetupConfigHash(GHashTable *table)
{
    for (long i = 0; i < GCONFIG_NKEYS; i++) {
        GLowerCase(gconfig_keys[i]);
        if (ghash_GInsertHash(table, gconfig_keys[i], static_cast<int>(strlen(gconfig_keys[i])), i) != 0)
            return -1;
    }
    return 0;
}

int GInitialiseTables(GParseNode *tree, const char *database_path)
{
    gcolour_GReadColourDatabase(database_path);
    for (GParseNode *k = tree; k; k = k->next) {
        int (*reader)(const GParseNode *) = nullptr;
        switch (k->keyword) {
        case K_COLOURS: reader = GInitialiseColours; break;
        case K_DEVICES: reader = GInitialiseDevices; break;
        case K_FONTS: reader = GInitialiseFont; break;
        case K_HATCHES: reader = GInitialiseHatches; break;
        case K_LINES: reader = GInitialiseLines; break;
        case K_MARKERS: reader = GInitialiseMarkers; break;
        case K_COLOURMAPS: reader = GInitialiseColourMaps; break;
        default: line_error(15, k->line); continue;
        }
        if (!k->child) {
            line_error(15, -1);
            continue;
        }
        reader(k);
    }
    return 0;
}

int gconfig_GReadConfiguration(const char *directory, const char *config_file, const char *database_path)
{
    GHashTable *keys = ghash_GCreateHashTable(1009);
    if (!keys)
        return -1;
    if (GSetupConfigHash(keys) != 0) {
        ghash_GDestroyHashTable(keys);
        return -1;
    }
    FILE *f = config_file ? gparse_GOpenParseFile(config_file, directory) : nullptr;
    if (!f) {
        gerror_GRegisterError(4, 4, 0, nullptr);
        ghash_GDestroyHashTable(keys);
        return -1;
    }
    GParseNode *tree = nullptr;
    int line = 1;
    if (gparse_GCreateParseTree(&tree, f, directory, keys, &line) != 0) {
        gerror_GRegisterError(3, 15, 0, nullptr);
        gparse_GCloseParseFile(f);
        gparse_GFreeParseTree(tree);
        ghash_GDestroyHashTable(keys);
        return -1;
    }
    gparse_GCloseParseFile(f);
    GInitialiseTables(tree, database_path);
    gparse_GFreeParseTree(tree);
    ghash_GDestroyHashTable(keys);
    return 0;
}
