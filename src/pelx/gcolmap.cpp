// Colour-map policy, the X colour-cell operations and pruning.

#include "pelx.h"
#include "vxutil.h"

namespace {

// Library-wide choices about colour maps.
bool worthwhile = true;
bool private_map = false;
bool auto_upgrade = true;
long last_used = -1;

// Until the X driver installs its cells, there are too few of them: colour
// maps are never loaded on X and PCL devices.
int no_alloc(GDeviceRecord *, GList *) { return -1; }
int no_free(GDeviceRecord *, GList *) { return -1; }
int no_set(GDeviceRecord *, GList *, long, long) { return -1; }
int no_info(void *, unsigned char *, unsigned long *) { return -1; }
const GXColourCells stand_in = {no_alloc, no_free, no_set, no_info};
const GXColourCells *cells = &stand_in;

}  // namespace

const GXColourCells *gcolmap_GSetColourCells(const GXColourCells *table)
{
    const GXColourCells *old = cells;
    cells = table ? table : &stand_in;
    return old;
}

const GXColourCells *gcolmap_GColourCells() { return cells; }

void GColourMapParams(int worth, int use_private, int upgrade)
{
    worthwhile = worth != 0;
    private_map = use_private != 0;
    auto_upgrade = upgrade != 0;
}

void gcolmap_GUsePrivateColourMap(int use) { private_map = use != 0; }
int gcolmap_GIsPrivateColourMap() { return private_map ? 1 : 0; }
int GAutoUpgradeColourMap() { return auto_upgrade ? 1 : 0; }
int gcolmap_GIsColourMapWorthIt() { return worthwhile ? 1 : 0; }
void gcolmap_GColourMapImNotWorthy() { worthwhile = false; }

long gcolmap_GColourMapWasUsed()
{
    long id = last_used;
    last_used = -1;
    return id;
}

void gcolmap_GSetColourMapUsed(long id) { last_used = id; }

long gcolmap_GPruneColourMap(GDeviceRecord *device, long index, long count)
{
    GColourMap *map = gcolmap_GGetColourMap(device ? device->tables[GT_COLOURMAPS] : nullptr, index);
    if (!map || !map->colours)
        return -1;
    GList *l = map->colours;
    long c = glist_GGetListLen(l);
    if (count <= 0 || count >= c)
        return c;
    long step = c / count;
    // Entry i takes entry (i + 1) * step, which lies beyond it: copying
    // forwards reads only entries not yet overwritten.
    for (long i = 0; i < count; i++) {
        long from = (i + 1) * step;
        if (from > c - 1)
            from = c - 1;
        GColour *d = gcolour_GGetColour(l, i), *s = gcolour_GGetColour(l, from);
        if (d && s && d != s)
            *d = *s;
    }
    while (glist_GGetListLen(l) > count) {
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
    glist_GIndexList(l);
    return glist_GGetListLen(l);
}

int GSetColourMapColours(GDeviceRecord *device, long first, long count)
{
    if (!device || device->modes.protocol != GP_X)
        return 0;
    GColourMap *map = gcolmap_GGetColourMap(nullptr, 0);
    if (!map || !map->colours)
        return -1;
    return cells->SetColours(device, map->colours, first, count);
}
