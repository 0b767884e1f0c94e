// Devices, device modes, the device table and the choice of driver.

#include "pelx.h"
#include "vxutil.h"

#include <cstring>

namespace {

// ---- stand-in drivers ----------------------------------------------------
// Until a driver installs its table, its protocols use these: every
// operation returns at once; the defaults and mode handling are what every
// driver does, so devices and canvases can be opened and transformed.

int s_canvas(GCanvasRecord *) { return 0; }
int s_device(GDeviceRecord *) { return 0; }
int s_area(GCanvasRecord *, const GVector *, const GVector *) { return 0; }
int s_arc(GCanvasRecord *, const GVector *, const GVector *, long, long) { return 0; }
int s_grid(GCanvasRecord *, const GVector *, const GVector *, long, const GVector *) { return 0; }
int s_points(GCanvasRecord *, const GVector *) { return 0; }
int s_polygon(GCanvasRecord *, const GVector *, int) { return 0; }
int s_getmodes(GDeviceRecord *d, GDeviceModes *m)
{
    *m = d->modes;
    return 0;
}
int s_limits(GCanvasRecord *, const char *, short corners[8])
{
    memset(corners, 0, 8 * sizeof(short));
    return 0;
}
int s_none() { return -1; }
int s_opendevice(GDeviceRecord *, uint64_t) { return 0; }
int s_puttext(GCanvasRecord *, const char *, const GVector *) { return 0; }
int s_sample(GDeviceRecord *, void *) { return 0; }
int s_mask(GCanvasRecord *, uint64_t) { return 0; }
int s_setmodes(GDeviceRecord *d, uint64_t mask, const GDeviceModes *m)
{
    gdev_GApplyDeviceModes(d, mask, m);
    return 0;
}
int s_comment(GCanvasRecord *, const char *) { return 0; }
int s_image(GCanvasRecord *, const void *) { return 0; }
int s_colour(GCanvasRecord *, long *colour, unsigned char)
{
    *colour = 0;
    return 0;
}
int s_clip(GCanvasRecord *, const void *) { return 0; }

void base_defaults(GDeviceModes *m, unsigned char protocol, long dcx, long dcy, long ucx, long ucy)
{
    *m = GDeviceModes{};
    m->protocol = protocol;
    m->dcxdim = dcx;
    m->dcydim = dcy;
    m->ucxdim = ucx;
    m->ucydim = ucy;
    gdev_GComputeVdcExtents(m);
    m->bg_colour = 1;
    m->colourmap = -1;
    m->supports = 0xFFFFFFFFu;
}

int x_defaults(GDeviceModes *m)
{
    base_defaults(m, GP_X, 600, 450, 1024, 768);
    m->vdcxdim = m->vdcydim = 4095;
    m->dcxpos = m->dcypos = 10;
    m->borderwidth = 3;
    m->bitdepth = 8;
    m->iswindow = 1;
    m->backingstore = 1;
    return 0;
}
int ps_defaults(GDeviceModes *m)
{
    base_defaults(m, GP_POSTSCRIPT, 6120, 7920, 6120, 7920);
    m->vdcxdim = m->vdcydim = 4095;
    m->landscape = 1;
    m->centre = 1;
    return 0;
}
int hpgl_defaults(GDeviceModes *m)
{
    base_defaults(m, GP_HPGL, 10000, 7200, 10365, 7962);
    m->vdcxdim = m->vdcydim = 4095;
    m->dcxpos = 250;
    m->dcypos = 596;
    m->landscape = 1;
    m->centre = 1;
    return 0;
}
int image_defaults(GDeviceModes *m)
{
    base_defaults(m, GP_IMAGE, 600, 450, 600, 450);
    m->centre = 1;
    m->scale = 1;
    return 0;
}
int y_down(GDeviceRecord *) { return 1; }
int y_up(GDeviceRecord *) { return 0; }

constexpr GEntryPoints stub(int (*defaults)(GDeviceModes *), int (*invert)(GDeviceRecord *))
{
    return GEntryPoints{s_area,     s_canvas,   s_device,      s_canvas,   s_device,    s_arc,
                        s_grid,     s_area,     s_points,      s_points,   s_polygon,   s_area,
                        s_points,   s_device,   s_getmodes,    s_limits,   s_none,      invert,
                        s_canvas,   s_opendevice, s_puttext,   s_sample,   s_mask,      defaults,
                        s_setmodes, s_mask,     s_mask,        s_mask,     s_none,      s_comment,
                        s_canvas,   s_image,    s_colour,      s_clip,     s_canvas};
}

const GEntryPoints stubs[GDRV_COUNT] = {stub(x_defaults, y_down), stub(ps_defaults, y_up),
                                        stub(hpgl_defaults, y_up), stub(image_defaults, y_down)};
const GEntryPoints *drivers[GDRV_COUNT] = {&stubs[0], &stubs[1], &stubs[2], &stubs[3]};

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
    const GEntryPoints *old = drivers[driver];
    drivers[driver] = table ? table : &stubs[driver];
    return old;
}

const GEntryPoints *gep_GStubEntryPoints(int driver)
{
    return driver >= 0 && driver < GDRV_COUNT ? &stubs[driver] : nullptr;
}

const GEntryPoints *gep_GEntryPoints(int protocol)
{
    switch (protocol) {
    case GP_X: case GP_PCL: return drivers[GDRV_X11];
    case GP_POSTSCRIPT: case GP_EPS: return drivers[GDRV_POSTSCRIPT];
    case GP_HPGL: case GP_HPGL2: return drivers[GDRV_HPGL];
    case GP_IMAGE: return drivers[GDRV_IMAGE];
    default:
        gerror_GRegisterError(3, 2, 0, nullptr);
        return nullptr;
    }
}

const GEntryPoints *gep_GDeviceEntryPoints(const GDeviceRecord *device)
{
    // The protocol was checked when it was set, so this always has a table.
    const GEntryPoints *ep = gep_GEntryPoints(device->modes.protocol);
    return ep ? ep : &stubs[GDRV_IMAGE];
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
