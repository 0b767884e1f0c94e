// Devices, device modes, the device table and the choice of driver.

#include "pelx.h"
#include "vxutil.h"

#include <cstring>

namespace {

// The installed tables; a protocol without one uses its driver's stand-in.
const GEntryPoints *drivers[GDRV_COUNT] = {};

GList *device_table = nullptr;
long base_x = 0, base_y = 0;
GXform base_transform = {{{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}}, {{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}}};

// A copy of a table list sharing the items it shares; the items it owns
// (entries that replaced a default) are copied, so that each copy owns its
// own.  An absent table stays absent.
GList *share(GList *source)
{
    if (!source)
        return nullptr;
    GList *l = glist_GCreateList();
    if (!l)
        return nullptr;
    l->free_item = source->free_item;
    l->clone_item = source->clone_item;
    for (GListEntry *e = source->first; e; e = e->next) {
        void *item = e->item;
        bool own = e->owned && source->clone_item;
        if (own && !(item = source->clone_item(e->item))) {
            glist_GDestroyList(l);
            return nullptr;
        }
        if (glist_GAppendToList(l, item, own) != 0) {
            if (own && source->free_item)
                source->free_item(item);
            glist_GDestroyList(l);
            return nullptr;
        }
    }
    glist_GIndexList(l);
    return l;
}

int copy_entry(GDeviceEntry *destination, const GDeviceEntry *source)
{
    destination->mask = source->mask;
    destination->modes = source->modes;
    for (int i = 0; i < GT_COUNT; i++) {
        destination->tables[i] = share(source->tables[i]);
        if (source->tables[i] && !destination->tables[i]) {
            for (int j = 0; j < i; j++) {
                glist_GDestroyList(destination->tables[j]);
                destination->tables[j] = nullptr;
            }
            return -1;
        }
    }
    return 0;
}

void free_entry(void *item)
{
    GDeviceEntry *e = static_cast<GDeviceEntry *>(item);
    gdev_GFreeDeviceEntry(e);
    vx_free(e);
}

}  // namespace

const GEntryPoints *gep_GSetDriver(int driver, const GEntryPoints *table)
{
    if (driver < 0 || driver >= GDRV_COUNT)
        return nullptr;
    const GEntryPoints *old = drivers[driver] ? drivers[driver] : gep_GStubEntryPoints(driver);
    drivers[driver] = table;
    return old;
}

const GEntryPoints *gep_GEntryPoints(int protocol)
{
    int driver;
    switch (protocol) {
    case GP_X: case GP_PCL: driver = GDRV_X11; break;
    case GP_POSTSCRIPT: case GP_EPS: driver = GDRV_POSTSCRIPT; break;
    case GP_HPGL: case GP_HPGL2: driver = GDRV_HPGL; break;
    case GP_IMAGE: driver = GDRV_IMAGE; break;
    default:
        gerror_GRegisterError(3, 2, 0, nullptr);
        return nullptr;
    }
    return drivers[driver] ? drivers[driver] : gep_GStubEntryPoints(driver);
}

const GEntryPoints *gep_GDeviceEntryPoints(const GDeviceRecord *device)
{
    // The protocol was checked when it was set, so this always has a table.
    const GEntryPoints *ep = gep_GEntryPoints(device->modes.protocol);
    return ep ? ep : gep_GStubEntryPoints(GDRV_IMAGE);
}

const GEntryPoints *gep_GCanvasEntryPoints(const GCanvasRecord *canvas)
{
    return gep_GDeviceEntryPoints(canvas->device);
}

void gdev_GComputeVdcExtents(GDeviceModes *m)
{
    if (m->dcxdim <= 0 || m->dcydim <= 0) {
        m->vdcxdim = m->vdcydim = 4095;
        return;
    }
    if (m->dcxdim < m->dcydim) {
        m->vdcydim = 4095;
        m->vdcxdim = static_cast<int16_t>(m->dcxdim * 4096 / m->dcydim - 1);
    } else {
        m->vdcxdim = 4095;
        m->vdcydim = static_cast<int16_t>(m->dcydim * 4096 / m->dcxdim - 1);
    }
}

void gdev_GApplyDeviceModes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *s)
{
    GDeviceModes &d = device->modes;
    if (mask & GDM_PROTOCOL) d.protocol = s->protocol;
    if (mask & GDM_DCXDIM) d.dcxdim = s->dcxdim;
    if (mask & GDM_DCYDIM) d.dcydim = s->dcydim;
    if (mask & GDM_UCXDIM) d.ucxdim = s->ucxdim;
    if (mask & GDM_UCYDIM) d.ucydim = s->ucydim;
    if (mask & GDM_DCXPOS) d.dcxpos = s->dcxpos;
    if (mask & GDM_DCYPOS) d.dcypos = s->dcypos;
    if (mask & GDM_BGCOLOUR) d.bg_colour = s->bg_colour;
    if (mask & GDM_COLOURMAP) d.colourmap = s->colourmap;
    if (mask & GDM_BORDERWIDTH) d.borderwidth = s->borderwidth;
    if (mask & GDM_BORDERCOLOUR) d.bordercolour = s->bordercolour;
    if (mask & GDM_BITDEPTH) d.bitdepth = s->bitdepth;
    if (mask & GDM_WINDOW) d.window = s->window;
    if (mask & GDM_DISPLAYCONN) d.displayconn = s->displayconn;
    if (mask & GDM_DISPLAY) memcpy(d.display, s->display, sizeof d.display);
    if (mask & GDM_ISWINDOW) d.iswindow = s->iswindow;
    if (mask & GDM_BACKINGSTORE) d.backingstore = s->backingstore;
    if (mask & GDM_LANDSCAPE) d.landscape = s->landscape;
    if (mask & GDM_OUTPUT) d.output = s->output;
    if (mask & GDM_FILLPAGE) d.fillpage = s->fillpage;
    if (mask & GDM_SPOOLCMD) memcpy(d.spoolcmd, s->spoolcmd, sizeof d.spoolcmd);
    if (mask & GDM_FILENAME) memcpy(d.filename, s->filename, sizeof d.filename);
    if (mask & GDM_VISUAL) d.visual = s->visual;
    if (mask & GDM_BASEDEVICE) d.basedevice = s->basedevice;
    if (mask & GDM_DRIVERFLAG) d.driverflag = s->driverflag;
    if (mask & GDM_PROLOG) memcpy(d.prolog, s->prolog, sizeof d.prolog);
    if (mask & GDM_EPILOG) memcpy(d.epilog, s->epilog, sizeof d.epilog);
    if (mask & GDM_SUPPORTS) d.supports = s->supports;
    if (mask & GDM_CLRPLANES) d.clr_planes = s->clr_planes;
    if (mask & GDM_CENTRE) d.centre = s->centre;
    // The texts always end within their fields.
    d.display[sizeof d.display - 1] = d.spoolcmd[sizeof d.spoolcmd - 1] = '\0';
    d.filename[sizeof d.filename - 1] = d.prolog[sizeof d.prolog - 1] = d.epilog[sizeof d.epilog - 1] = '\0';
    if (mask & (GDM_DCXDIM | GDM_DCYDIM))
        gdev_GComputeVdcExtents(&d);
}

GDeviceRecord *GOpenDevice(uint64_t mask, const GDeviceModes *modes, GList *const tables[GT_COUNT])
{
    if (!(mask & GDM_PROTOCOL)) {
        gerror_GRegisterError(3, 2, 0, nullptr);
        return nullptr;
    }
    const GEntryPoints *ep = gep_GEntryPoints(modes->protocol);
    if (!ep)
        return nullptr;
    GDeviceRecord *d = static_cast<GDeviceRecord *>(vx_malloc(sizeof(GDeviceRecord), 0));
    if (!d) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    *d = GDeviceRecord{};
    d->canvases = glist_GCreateList();
    if (!d->canvases) {
        vx_free(d);
        return nullptr;
    }
    for (int i = 0; i < GT_COUNT; i++)
        d->tables[i] = tables ? tables[i] : nullptr;
    glist_GGetListItem(d->tables[GT_COLOURS], 0);
    // The record names its protocol when the driver fills its defaults.
    d->modes.protocol = modes->protocol;
    ep->SetDefaultDeviceModes(&d->modes);
    d->driver = nullptr;
    GSetDeviceModes(d, mask, modes);
    if (gep_GDeviceEntryPoints(d)->OpenDevice(d, mask) == -1) {
        // The tables stay the caller's when the open fails.
        glist_GDestroyList(d->canvases);
        vx_free(d);
        return nullptr;
    }
    return d;
}

int GCloseDevice(GDeviceRecord *device)
{
    if (!device)
        return -1;
    // The canvases go first: closing one calls the driver, which must still
    // have its device part.
    while (glist_GGetListLen(device->canvases) > 0) {
        GCanvasRecord *c = static_cast<GCanvasRecord *>(glist_GGetListItem(device->canvases, 0));
        GCloseCanvas(c);
    }
    int result = gep_GDeviceEntryPoints(device)->CloseDevice(device);
    for (GList *&t : device->tables) {
        if (t)
            glist_GDestroyList(t);
        t = nullptr;
    }
    glist_GDestroyList(device->canvases);
    vx_free(device);
    return result;
}

int GSetDeviceModes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *modes)
{
    if (mask & GDM_PROTOCOL) {
        if (!gep_GEntryPoints(modes->protocol))
            return -1;
        device->modes.protocol = modes->protocol;
    }
    return gep_GDeviceEntryPoints(device)->SetDeviceModes(device, mask, modes);
}

int GGetDeviceModes(GDeviceRecord *device, GDeviceModes *modes)
{
    return gep_GDeviceEntryPoints(device)->GetDeviceModes(device, modes);
}

int GClearDevice(GDeviceRecord *device) { return gep_GDeviceEntryPoints(device)->ClearDevice(device); }

int GFlushDevice(GDeviceRecord *device) { return gep_GDeviceEntryPoints(device)->FlushDevice(device); }

long GGetNumColours(GDeviceRecord *device) { return GGetNumColoursIn(device->tables[GT_COLOURS]); }

// ---- device table --------------------------------------------------------

int gdev_GCreateDefDeviceTable()
{
    if (device_table)
        return -1;
    device_table = glist_GCreateList();
    if (!device_table)
        return -1;
    device_table->free_item = free_entry;
    return 0;
}

int gdev_GAddDevice(const GDeviceEntry *entry)
{
    if (!device_table)
        return -1;
    GDeviceEntry *e = static_cast<GDeviceEntry *>(vx_malloc(sizeof(GDeviceEntry), 0));
    if (!e) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    if (copy_entry(e, entry) != 0) {
        vx_free(e);
        return -1;
    }
    if (glist_GAppendToList(device_table, e, 1) != 0) {
        free_entry(e);
        return -1;
    }
    return 0;
}

int gdev_GIndexDeviceTable() { return device_table ? glist_GIndexList(device_table) : -1; }

long gdev_GNumDevices() { return glist_GGetListLen(device_table); }

int GGetDevice(long index, GDeviceEntry *entry)
{
    // No configured device: nothing to copy (and no length to reduce by).
    if (glist_GGetListLen(device_table) == 0) {
        gerror_GRegisterError(3, 2, 0, nullptr);
        return -1;
    }
    const GDeviceEntry *e = static_cast<const GDeviceEntry *>(glist_GGetListItem(device_table, index));
    if (!e)
        return -1;
    return copy_entry(entry, e);
}

void gdev_GFreeDeviceEntry(GDeviceEntry *entry)
{
    for (GList *&t : entry->tables) {
        if (t)
            glist_GDestroyList(t);
        t = nullptr;
    }
}

int gdev_GDestroyDeviceTable()
{
    if (!device_table)
        return -1;
    glist_GDestroyList(device_table);
    device_table = nullptr;
    return 0;
}

void gdev_GSetBaseDevLimits(long x, long y)
{
    base_x = x;
    base_y = y;
}

void gdev_GGetBaseDevLimits(long *x, long *y)
{
    *x = base_x;
    *y = base_y;
}

void gdev_GSetBaseTransform(const GXform *transform) { base_transform = *transform; }

GXform *gdev_GGetBaseTransform() { return &base_transform; }
