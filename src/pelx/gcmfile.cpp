// Colour-map files: colour map 0 of the default table written in the
// configuration language, and read back into it.

#include "gdriver.h"
#include "pelx.h"
#include "pelx_msgs.h"
#include "vxutil.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int GParseHashColour(GColour *colour, const char *name, long line);

namespace {

long key(const char *name)
{
    for (long i = 0; i < GCONFIG_NKEYS; i++)
        if (strcmp(gconfig_keys[i], name) == 0)
            return i;
    return -1;
}

void line_error(long line)
{
    gerror_GRegisterError(3, 15, 0, vx_msgf(gerror_GCatalogue(), PELX_PARAM_LINENO, static_cast<int>(line)).c_str());
}

int component(uint16_t c) { return static_cast<int>(c / 65356.0 * 255); }

// A decimal 0..255, or -1.
long byte_value(const GParseNode *k)
{
    const char *text = k->value ? k->value : "";
    char *end;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno || end == text || *end != '\0' || v < 0 || v > 255)
        return -1;
    return v;
}

struct Keys {
    long map = key("map"), name = key("name"), colour = key("colour"), red = key("red"), green = key("green"),
         blue = key("blue");
};

// Reads a colour block; true when it makes a colour.
bool read_colour(const GParseNode *entry, const Keys &keys, GColour *colour)
{
    *colour = GColour{};
    colour->pixel = -1;
    bool have[3] = {false, false, false}, named = false;
    uint16_t *comp[3] = {&colour->red, &colour->green, &colour->blue};
    for (const GParseNode *k = entry->child; k; k = k->next) {
        int c = k->keyword == keys.red ? 0 : k->keyword == keys.green ? 1 : k->keyword == keys.blue ? 2 : -1;
        if (c >= 0) {
            long v = byte_value(k);
            if (v < 0) {
                line_error(k->line);
                continue;
            }
            if (!have[c]) {
                *comp[c] = static_cast<uint16_t>(v * 257);
                have[c] = true;
            }
        } else if (k->keyword == keys.name && !named) {
            const char *text = k->value ? k->value : "";
            if (text[0] == '#' && GParseHashColour(colour, text, k->line) != 0)
                continue;
            safe_strcpy(colour->name, text, sizeof colour->name - 1);
            named = true;
        } else {
            line_error(k->line);
        }
    }
    return named || (have[0] && have[1] && have[2]);
}

// Colour map 0 of the default table, made when there is none.
GColourMap *map_zero()
{
    if (!gcolmap_GGetDefaultColourMapTable())
        gcolmap_GCreateDefColourMapTable();
    GList *table = gcolmap_GGetDefaultColourMapTable();
    if (glist_GGetListLen(table) == 0) {
        GColourMap empty{};
        empty.colours = glist_GCreateList();
        int r = empty.colours ? gcolmap_GAddColourMap(&empty) : -1;
        if (empty.colours)
            glist_GDestroyList(empty.colours);
        if (r != 0)
            return nullptr;
    }
    return gcolmap_GGetColourMap(table, 0);
}

// Reads one map block into colour map 0, replacing its colours.
void read_map(const GParseNode *entry, const Keys &keys)
{
    GList *colours = glist_GCreateList();
    if (!colours) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return;
    }
    char name[80] = "";
    bool keep_name = false;
    for (const GParseNode *k = entry->child; k; k = k->next) {
        if (k->keyword == keys.name) {
            if (strlen(k->value ? k->value : "") > 79) {
                line_error(k->line);
                glist_GDestroyList(colours);
                return;
            }
            safe_strcpy(name, k->value ? k->value : "", 79);
            keep_name = true;
        } else if (k->keyword == keys.colour && k->child) {
            GColour c;
            if (read_colour(k, keys, &c) && gcolour_GAddMoreColour(colours, &c) != 0) {
                glist_GDestroyList(colours);
                return;
            }
        } else {
            line_error(k->line);
        }
    }
    GColourMap *m = map_zero();
    if (!m) {
        glist_GDestroyList(colours);
        return;
    }
    glist_GIndexList(colours);
    if (m->colours)
        glist_GDestroyList(m->colours);
    m->colours = colours;
    if (keep_name)
        safe_strcpy(m->name, name, 79);
}

}  // namespace

int gcolmap_GWriteColourMapFile(const char *path)
{
    FILE *f = path ? fopen(path, "w") : nullptr;
    if (!f) {
        gerror_GRegisterError(4, 16, 0, path ? path : "");
        return -1;
    }
    grev_GDumpFileRevision(f);
    fputs("/* Colour maps */\n\ncolourmaps :\n{\n  map : 0\n  {\n", f);
    GColourMap *m = gcolmap_GGetDefaultColourMapTable() && glist_GGetListLen(gcolmap_GGetDefaultColourMapTable()) > 0
                        ? gcolmap_GGetColourMap(nullptr, 0)
                        : nullptr;
    long n = m ? glist_GGetListLen(m->colours) : 0;
    for (long i = 0; i < n; i++) {
        const GColour *c = gcolour_GGetColour(m->colours, i);
        fprintf(f, "    colour : %ld\n    {\n", i);
        fprintf(f, "      red :   %d\n", component(c->red));
        fprintf(f, "      green : %d\n", component(c->green));
        fprintf(f, "      blue :  %d\n", component(c->blue));
        fputs("    }\n\n", f);
    }
    fputs("  }\n}\n", f);
    if (fclose(f) != 0) {
        gerror_GRegisterError(4, 16, 0, path);
        return -1;
    }
    return 0;
}

int gcolmap_GReadColourMapFile(GDeviceRecord *device, const char *directory, const char *name)
{
    if (!name)
        return -1;
    if (device)
        GFreeColours(device);
    GHashTable *keys = ghash_GCreateHashTable(1009);
    if (!keys)
        return -1;
    if (GSetupConfigHash(keys) != 0) {
        ghash_GDestroyHashTable(keys);
        return -1;
    }
    FILE *f = gparse_GOpenParseFile(name, directory);
    if (!f) {
        gerror_GRegisterError(4, 4, 0, nullptr);
        ghash_GDestroyHashTable(keys);
        return -1;
    }
    GParseNode *tree = nullptr;
    int line = 1;
    int parsed = gparse_GCreateParseTree(&tree, f, directory, keys, &line);
    gparse_GCloseParseFile(f);
    int result = 0;
    if (parsed != 0) {
        gerror_GRegisterError(3, 15, 0, nullptr);
        result = -1;
    } else if (!tree || !tree->child) {
        line_error(-1);
        result = -1;
    } else {
        Keys k;
        for (const GParseNode *e = tree->child; e; e = e->next) {
            if (e->keyword != k.map || !e->child) {
                line_error(e->line);
                continue;
            }
            read_map(e, k);
        }
    }
    gparse_GFreeParseTree(tree);
    ghash_GDestroyHashTable(keys);
    if (result != 0 || !device)
        return result;
    // The X driver renews its visual and colour-map information.
    GDeviceModes modes;
    GGetDeviceModes(device, &modes);
    GSetDeviceModes(device, GDM_VISUAL, &modes);
    GUseColourMap(device, 0);
    return 0;
}
