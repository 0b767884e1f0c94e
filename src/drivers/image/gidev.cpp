// The image-file device: defaults and modes, colours and fonts, opening
// (the image) and closing (the PNG written), canvases and their clips.

#include "gidriver.h"
#include "drv_msgs.h"
#include "ghout.h"
#include "pelx_msgs.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <utility>

namespace {

// Fields the device takes from a modes record by mask; bg_colour and
// scale are taken whatever the mask.
constexpr uint64_t IMAGE_MODES = GDM_DCXDIM | GDM_DCYDIM | GDM_UCXDIM | GDM_UCYDIM | GDM_DCXPOS | GDM_DCYPOS |
                                 GDM_COLOURMAP | GDM_BASEDEVICE | GDM_LANDSCAPE | GDM_OUTPUT | GDM_FILLPAGE |
                                 GDM_SPOOLCMD | GDM_FILENAME | GDM_PROLOG | GDM_EPILOG | GDM_DRIVERFLAG | GDM_CENTRE;

// Fonts by name and path, loaded once for the program (a font that failed
// to load is remembered as none and reported once).
// It lives as long as the program (the fonts stay in the image library's
// registry too), so it is never destroyed.
std::map<std::pair<std::string, std::string>, IFont *> &font_registry()
{
    static auto *fonts = new std::map<std::pair<std::string, std::string>, IFont *>;
    return *fonts;
}

IFont *load_font(const GFont *f)
{
    if (!f || !f->name || !*f->name || !f->path || !*f->path)
        return nullptr;
    auto key = std::make_pair(std::string(f->name), std::string(f->path));
    auto &reg = font_registry();
    auto it = reg.find(key);
    if (it != reg.end())
        return it->second;
    std::string path = f->path;
    const char *dir = gerror_GLibraryDirectory();
    if (path[0] != '/' && dir && *dir)
        path = std::string(dir) + "/" + path;
    IFont *font = nullptr;
    int rc = ILoadFontFromFile(f->name, path.c_str(), &font);
    if (rc != 0) {
        fputs(vx_msgf(gerror_GCatalogue(), DRV_IMG_FONT_FAILED, f->name, f->path, IErrorString(rc)).c_str(), stderr);
        font = nullptr;
    }
    reg[key] = font;
    return font;
}

void free_colours(GIDevicePart *p)
{
    for (auto &c : p->colours)
        IFreeColor(c.second);
    p->colours.clear();
}

void free_part(GDeviceRecord *d)
{
    GIDevicePart *p = gi_part(d);
    if (!p)
        return;
    free_colours(p);
    if (p->image)
        IFreeImage(p->image);
    if (p->gc)
        IFreeGC(p->gc);
    p->~GIDevicePart();
    vx_free(p);
    d->driver = nullptr;
}

// The rectangle of two device points, smaller corner first.
void rect_of(short *r, double x1, double y1, double x2, double y2)
{
    auto s = [](double v) { return static_cast<short>(std::clamp(std::trunc(v), -32768.0, 32767.0)); };
    r[0] = s(std::min(x1, x2));
    r[1] = s(std::min(y1, y2));
    r[2] = s(std::max(x1, x2));
    r[3] = s(std::max(y1, y2));
}

void compute_clip_set(GCanvasRecord *c)
{
    GIClipSet *cs = static_cast<GIClipSet *>(c->driver);
    const GDeviceModes &d = c->device->modes;
    rect_of(cs->rect[0], 0, 0, static_cast<double>(d.dcxdim), static_cast<double>(d.dcydim));
    // The canvas: its origin and its lengths in device units (y grows down).
    double o[3] = {double(c->modes.origin[0]), double(c->modes.origin[1]), 0}, a[3];
    gcoords_GApplyPart(&c->xf[GX_VDC].forward, o, a);
    double w = GTransformLength(c, 1, 0, c->modes.size[0]), h = GTransformLength(c, 1, 1, c->modes.size[1]);
    rect_of(cs->rect[1], a[0], a[1], a[0] + w, a[1] - h);
    // The plot space: its extent's corners, one unit wider all round.
    double po[3] = {0, 0, 0}, pf[3] = {double(c->modes.psextent[0]), double(c->modes.psextent[1]), 0}, b[3];
    gcoords_GApplyPart(&c->xf[GX_PS].forward, po, a);
    gcoords_GApplyPart(&c->xf[GX_PS].forward, pf, b);
    rect_of(cs->rect[2], std::min(a[0], b[0]) - 1, std::min(a[1], b[1]) - 1, std::max(a[0], b[0]) + 1,
            std::max(a[1], b[1]) + 1);
}

}  // namespace

// ---- colours and fonts ---------------------------------------------------------

int gi_colour(GDeviceRecord *d, long index)
{
    GIDevicePart *p = gi_part(d);
    if (!p)
        return 0;
    // The colour map in use when one is set, else the device's colour
    // table; an index past the end counts round, a negative one is 0.
    GList *list = nullptr;
    bool from_map = false;
    if (d->modes.colourmap >= 0) {
        GList *maps = d->tables[GT_COLOURMAPS] ? d->tables[GT_COLOURMAPS] : gcolmap_GGetDefaultColourMapTable();
        const GColourMap *map = glist_GGetListLen(maps) > 0 ? gcolmap_GGetColourMap(maps, d->modes.colourmap) : nullptr;
        if (map && map->colours && GGetNumColoursIn(map->colours) > 0) {
            list = map->colours;
            from_map = true;
        }
    }
    if (!list)
        list = d->tables[GT_COLOURS] ? d->tables[GT_COLOURS] : gcolour_GGetDefaultColourTable();
    long n = GGetNumColoursIn(list);
    if (n <= 0)
        return 0;
    long i = index < 0 ? 0 : index % n;
    long key = from_map ? -1 - i : i;
    auto it = p->colours.find(key);
    if (it != p->colours.end())
        return it->second;
    const GColour *c = gcolour_GGetColour(list, i);
    if (!c)
        return 0;
    GColour copy = *c;
    if (copy.name[0])
        gcolour_GLookupColour(&copy, copy.name);
    int handle = IAllocColor(copy.red / 257, copy.green / 257, copy.blue / 257);
    p->colours[key] = handle;
    return handle;
}

IFont *gi_font(GDeviceRecord *d, long index)
{
    GIDevicePart *p = gi_part(d);
    if (!p || p->fonts.empty())
        return nullptr;
    long n = static_cast<long>(p->fonts.size());
    return p->fonts[static_cast<size_t>(index < 0 ? 0 : index % n)];
}

// ---- device ---------------------------------------------------------------------

int gidev_GISetDefaultDeviceModes(GDeviceModes *m)
{
    *m = GDeviceModes{};
    m->protocol = GP_IMAGE;
    m->dcxdim = 600;
    m->dcydim = 500;
    m->ucxdim = 600;
    m->ucydim = 500;
    m->vdcxdim = m->vdcydim = 4095;
    m->bg_colour = 1;
    m->colourmap = -1;
    m->centre = 1;
    m->scale = 1;
    m->supports = 0xFFFFFFFFu;
    return 0;
}

int gidev_GISetDeviceModes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *modes)
{
    short map = device->modes.colourmap;
    gdev_GApplyDeviceModes(device, mask & IMAGE_MODES, modes);
    device->modes.bg_colour = modes->bg_colour;
    // Every device unit is at least one pixel.
    device->modes.scale = modes->scale < 1 ? 1 : modes->scale;
    // Another colour map: its colours are allocated afresh.
    if (device->modes.colourmap != map && gi_part(device))
        free_colours(gi_part(device));
    return 0;
}

int gidev_GIGetDeviceModes(GDeviceRecord *device, GDeviceModes *modes)
{
    *modes = device->modes;
    return 0;
}

int gidev_GIOpenDevice(GDeviceRecord *device, uint64_t mask)
{
    void *mem = vx_malloc(sizeof(GIDevicePart), 0);
    if (!mem) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    GIDevicePart *p = new (mem) GIDevicePart;
    device->driver = p;
    GDeviceModes &m = device->modes;
    p->scale = m.scale < 1 ? 1 : m.scale;
    long w = m.dcxdim * p->scale, h = m.dcydim * p->scale;
    p->gc = ICreateGC();
    p->image = w > 0 && h > 0 && w <= 32767 && h <= 32767 ? ICreateImage(static_cast<int>(w), static_cast<int>(h), 0)
                                                          : nullptr;
    if (!p->gc || !p->image) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        free_part(device);
        return -1;
    }
    GList *fonts = device->tables[GT_FONTS] ? device->tables[GT_FONTS] : gfont_GGetDefaultFontTable();
    long nf = glist_GGetListLen(fonts);
    for (long k = 0; k < nf; k++)
        p->fonts.push_back(load_font(gfont_GGetFont(fonts, k)));
    int bg = gi_colour(device, m.bg_colour);
    ISetBackground(p->gc, bg);
    gidrv_GISetForeground(p, bg);
    IFillRectangle(p->image, p->gc, 0, 0, static_cast<int>(w), static_cast<int>(h));
    gdev_GComputeVdcExtents(&m);
    if ((mask & GDM_DRIVERFLAG) && m.driverflag) {
        // The border shows in colour 1, as the window's outline does.
        gidrv_GISetLineStyle(device, 1);
        gidrv_GISetForeground(p, gi_colour(device, 1));
        long x = m.dcxdim, y = m.dcydim;
        GCanvasRecord none{};
        none.device = device;
        gidrv_GIDraw_Line(&none, 0, 0, 0, y, 0);
        gidrv_GIDraw_Line(&none, 0, y, x, y, 0);
        gidrv_GIDraw_Line(&none, x, y, x, 0, 0);
        gidrv_GIDraw_Line(&none, x, 0, 0, 0, 0);
    }
    p->format = IFORMAT_PNG;
    return 0;
}

int gidev_GICloseDevice(GDeviceRecord *device)
{
    GIDevicePart *p = gi_part(device);
    if (!p)
        return -1;
    const GDeviceModes &m = device->modes;
    unsigned char kind = m.output == GHOUT_SPOOL ? GHOUT_SPOOL : GHOUT_FILE;
    FILE *out = ghout_GHOpenOutput(kind == GHOUT_SPOOL ? m.spoolcmd : m.filename, kind);
    int result = -1;
    if (out) {
        int rc = IWriteImageFile(out, p->image, p->format, 0);
        int closed = ghout_GHCloseOutput(out, kind);
        result = rc == 0 && closed == 0 ? 0 : -1;
    } else {
        gerror_GRegisterError(4, 8, 0, kind == GHOUT_SPOOL ? m.spoolcmd : m.filename);
    }
    free_part(device);
    return result;
}

// ---- canvases -------------------------------------------------------------------

int gicanv_GIOpenCanvas(GCanvasRecord *canvas)
{
    GIClipSet *cs = static_cast<GIClipSet *>(vx_malloc(sizeof(GIClipSet), 0));
    if (!cs) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    *cs = GIClipSet{};
    canvas->driver = cs;
    compute_clip_set(canvas);
    gicanv_GISetClipping(canvas);
    gicanv_GISetCanvasModes(canvas, GMASK_ALL);
    return 0;
}

int gicanv_GICloseCanvas(GCanvasRecord *canvas)
{
    vx_free(canvas->driver);
    canvas->driver = nullptr;
    return 0;
}

int gicanv_GISetCanvasModes(GCanvasRecord *canvas, uint64_t mask)
{
    if (!canvas->driver)
        return 0;
    if (mask & (GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_PSEXTENT))
        compute_clip_set(canvas);
    if (mask & GCM_CLIP)
        gicanv_GISetClipping(canvas);
    return 0;
}

void gicanv_GISetClipping(GCanvasRecord *canvas)
{
    const GIClipSet *cs = static_cast<const GIClipSet *>(canvas->driver);
    if (!cs || !gi_part(canvas))
        return;
    switch (canvas->modes.clip) {
    case 0: gidrv_GISetClipMask(canvas->device, cs->rect[0]); break;
    case 1: gidrv_GISetClipMask(canvas->device, cs->rect[1]); break;
    case 2: gidrv_GISetClipMask(canvas->device, cs->rect[canvas->modes.dimension == 2 ? 2 : 1]); break;
    default: break;
    }
}

int gicanv_GIGetCanvasColour(GCanvasRecord *canvas, long *colour, unsigned char)
{
    *colour = static_cast<long>(canvas->device->modes.bg_colour);
    return 0;
}

int gicanv_GICreateTransforms(GCanvasRecord *canvas)
{
    canvas->xf[GX_FIFTH] = GXform{{{0, 0, 0}, {72, 0, 0, 0, 72, 0, 0, 0, 72}},
                                  {{0, 0, 0}, {1 / 72.0, 0, 0, 0, 1 / 72.0, 0, 0, 0, 1 / 72.0}}};
    return 0;
}
