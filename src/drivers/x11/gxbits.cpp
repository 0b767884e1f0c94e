// Colour cells: the examination of the visual, colour maps loaded into
// cells, pixels of colours.  The X colour map is shared by every X device,
// so this state is kept once for the program.

#include "gx11.h"
#include "x11_msgs.h"
#include "vxutil.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

struct CellState {
    bool visual_set = false;
    bool read_only_visual = false;
    bool fixed_pixels = false;  // a TrueColor or StaticColor visual: a colour's pixel never changes
    bool freeable = false;
    bool writable = false;  // the cells of the loaded map were allocated writable
    Colormap private_cmap = 0;   // the X colour map in use
    bool private_made = false;   // a private map was made (its cells reserved)
    int result = -1;             // of the examination
    Display *display = nullptr;  // the connection it was made on
    struct {
        Visual *visual = nullptr;
        int visual_class = 0;
        long usable = 0;
        int depth = 0;
    } glob;
    unsigned long app_pixels[256] = {};
    unsigned long private_pixels[256] = {};
    long reserved = 0;  // cells of private_pixels
    unsigned char use_private = 0;  // the examination's answer
};
CellState cells;

// The pixels the server gave for colours on a visual whose pixels are
// fixed, so that each colour costs one round trip per colour map rather
// than one per device and per use.  Emptied with the visual's state.
struct PixelKey {
    Colormap map;
    uint64_t rgb;
    bool operator==(const PixelKey &) const = default;
};
struct PixelKeyHash {
    size_t operator()(const PixelKey &k) const { return std::hash<uint64_t>()(k.rgb * 31 + k.map); }
};
std::unordered_map<PixelKey, unsigned long, PixelKeyHash> known_pixels;

void reset_cells()
{
    cells = CellState{};
    known_pixels.clear();
}

long default_map_size()
{
    GColourMap *m = gcolmap_GGetColourMap(nullptr, 0);
    return m ? GGetNumColoursIn(m->colours) : 0;
}

void use_default_map(Display *d, int screen, unsigned char *use_private)
{
    cells.private_cmap = DefaultColormap(d, screen);
    *use_private = cells.use_private = 0;
}

// Keeps the colour maps out: read-only cells from the default map.
void read_only(Display *d, int screen, unsigned char *use_private)
{
    cells.read_only_visual = true;
    use_default_map(d, screen, use_private);
    gcolmap_GColourMapImNotWorthy();
}

// The private colour map of `wanted` cells for the library, with the first
// colours of the default map copied so the application's other windows keep
// theirs while it is installed.  False when no private map can be had.
bool make_private(Display *d, int screen, Visual *visual, Window scratch, long wanted)
{
    Colormap def = DefaultColormap(d, screen);
    Colormap cm = XCreateColormap(d, scratch, visual, AllocNone);
    if (cm == def || cm == 0)
        return false;
    long half = wanted / 2;
    std::vector<unsigned long> scratch_cells(static_cast<size_t>(std::max(half, 1L)));
    if ((half > 0 && !XAllocColorCells(d, cm, False, nullptr, 0, cells.app_pixels, static_cast<unsigned>(half))) ||
        (half > 0 && !XAllocColorCells(d, cm, False, nullptr, 0, scratch_cells.data(), static_cast<unsigned>(half))) ||
        !XAllocColorCells(d, cm, False, nullptr, 0, cells.private_pixels, static_cast<unsigned>(wanted))) {
        XFreeColormap(d, cm);
        return false;
    }
    if (half > 0)
        XFreeColors(d, cm, scratch_cells.data(), static_cast<int>(half), 0);
    std::vector<XColor> copied(static_cast<size_t>(std::max(half, 1L)));
    for (long i = 0; i < half; i++)
        copied[static_cast<size_t>(i)].pixel = static_cast<unsigned long>(i);
    if (half > 0) {
        XQueryColors(d, def, copied.data(), static_cast<int>(half));
        for (long i = 0; i < half; i++) {
            copied[static_cast<size_t>(i)].pixel = cells.app_pixels[i];
            copied[static_cast<size_t>(i)].flags = DoRed | DoGreen | DoBlue;
        }
        XStoreColors(d, cm, copied.data(), static_cast<int>(half));
    }
    // Colours that are not repeats become shared cells, so that other
    // clients asking for them find them.
    for (long i = 0; i < half - 1; i++) {
        XColor &c = copied[static_cast<size_t>(i)];
        bool repeat = false;
        for (long j = 0; j < i && !repeat; j++) {
            const XColor &e = copied[static_cast<size_t>(j)];
            repeat = e.red == c.red && e.green == c.green && e.blue == c.blue;
        }
        if (repeat)
            continue;
        XFreeColors(d, cm, &cells.app_pixels[i], 1, 0);
        XColor shared = c;
        if (XAllocColor(d, cm, &shared))
            cells.app_pixels[i] = shared.pixel;
    }
    cells.private_cmap = cm;
    cells.private_made = true;
    cells.reserved = wanted;
    return true;
}

// The colour list the pixels of a device come from.
GList *colour_list(GDeviceRecord *device, int use_default)
{
    if (device->modes.colourmap == -1)
        return device->tables[GT_COLOURS];
    GList *maps = use_default ? gcolmap_GGetDefaultColourMapTable() : device->tables[GT_COLOURMAPS];
    GColourMap *m = gcolmap_GGetColourMap(maps, device->modes.colourmap);
    return m ? m->colours : device->tables[GT_COLOURS];
}

bool is_white(const GColour *c)
{
    char name[sizeof c->name + 1];
    strim(name, c->name);
    for (char *p = name; *p; p++)
        *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    return strcmp(name, "white") == 0;
}

unsigned long pixel_of(GDeviceRecord *device, GColour *c)
{
    GXDevicePart *part = gx_device(device);
    if (device->modes.protocol == GP_PCL && device->modes.clr_planes == 1)
        return is_white(c) ? 0 : 1;
    if (c->pixel >= 0)
        return static_cast<unsigned long>(c->pixel);
    Display *d = gx_display(device);
    if (!d || !part)
        return 0;
    XColor x{};
    x.red = c->red;
    x.green = c->green;
    x.blue = c->blue;
    x.flags = DoRed | DoGreen | DoBlue;
    int screen = part->screen >= 0 ? part->screen : DefaultScreen(d);
    Colormap cm = part->colourmap ? part->colourmap : DefaultColormap(d, screen);
    const bool cached = cells.fixed_pixels && cells.display == d;
    const PixelKey key{cm, (uint64_t{c->red} << 32) | (uint64_t{c->green} << 16) | c->blue};
    if (cached) {
        auto found = known_pixels.find(key);
        if (found != known_pixels.end()) {
            c->pixel = static_cast<int64_t>(found->second);
            return found->second;
        }
    }
    if (XAllocColor(d, cm, &x)) {
        c->pixel = static_cast<int64_t>(x.pixel);
        if (cached)
            known_pixels[key] = x.pixel;
    } else {
        // No cell left: black stays black, anything else is drawn white.
        bool black = c->red == 0 && c->green == 0 && c->blue == 0;
        c->pixel = static_cast<int64_t>(black ? BlackPixel(d, screen) : WhitePixel(d, screen));
    }
    return static_cast<unsigned long>(c->pixel);
}

int set_visual_info(GDeviceRecord *device);

}  // namespace

int gxbits_GXCMInfo(Display *d, unsigned char *use_private, Colormap *colourmap)
{
    if (cells.visual_set && cells.display != d)
        reset_cells();  // another connection: its own examination
    if (cells.visual_set) {
        *use_private = cells.use_private;
        *colourmap = cells.private_cmap;
        return cells.result;
    }
    cells.visual_set = true;
    cells.display = d;
    cells.result = -1;
    int screen = DefaultScreen(d);
    Visual *visual = DefaultVisual(d, screen);
    XVisualInfo want{};
    want.visualid = XVisualIDFromVisual(visual);
    int n = 0;
    XVisualInfo *vi = XGetVisualInfo(d, VisualIDMask, &want, &n);
    if (!vi || n < 1) {
        if (vi)
            XFree(vi);
        gx_report(GX_NO_VISUAL);
        use_default_map(d, screen, use_private);
        *colourmap = cells.private_cmap;
        return -1;
    }
    XVisualInfo info = vi[0];
    XFree(vi);
    cells.glob.visual = visual;
    cells.glob.visual_class = info.c_class;
    cells.glob.depth = info.depth;
    if (info.c_class == StaticGray) {
        use_default_map(d, screen, use_private);
        gcolmap_GColourMapImNotWorthy();
        *colourmap = cells.private_cmap;
        return -1;
    }
    if (info.c_class == StaticColor || info.c_class == TrueColor) {
        gcolmap_GColourMapImNotWorthy();
        cells.read_only_visual = true;
        cells.fixed_pixels = true;
    }
    if (!gcolmap_GIsColourMapWorthIt())
        cells.read_only_visual = true;
    long wanted = std::min(default_map_size(), static_cast<long>(info.colormap_size / 2));
    wanted = std::min(wanted, 256L);
    if (wanted < 32) {
        use_default_map(d, screen, use_private);
        gcolmap_GColourMapImNotWorthy();
        *colourmap = cells.private_cmap;
        return -1;
    }
    bool ask_private = *use_private != 0 || wanted > info.colormap_size / 20;
    Window scratch = 0;
    if (cells.read_only_visual) {
        read_only(d, screen, use_private);
    } else if (info.depth >= 8 || ask_private) {
        Colormap def = DefaultColormap(d, screen);
        std::vector<unsigned long> trial(static_cast<size_t>(wanted));
        bool got = XAllocColorCells(d, def, False, nullptr, 0, trial.data(), static_cast<unsigned>(wanted));
        if (got)
            XFreeColors(d, def, trial.data(), static_cast<int>(wanted), 0);
        if (got && !ask_private) {
            use_default_map(d, screen, use_private);
        } else if (GAutoUpgradeColourMap() || ask_private) {
            scratch = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, 1, 1, 0, 0, 0);
            if (make_private(d, screen, visual, scratch, wanted))
                *use_private = cells.use_private = 1;
            else
                read_only(d, screen, use_private);
        } else {
            read_only(d, screen, use_private);
        }
    } else {
        read_only(d, screen, use_private);
    }
    if (scratch)
        XDestroyWindow(d, scratch);
    cells.glob.usable = wanted;
    *colourmap = cells.private_cmap;
    cells.result = 0;
    return 0;
}

namespace {

int set_visual_info(GDeviceRecord *device)
{
    GXDevicePart *part = gx_device(device);
    Display *d = gx_display(device);
    if (!cells.visual_set || cells.display != d) {
        unsigned char use = static_cast<unsigned char>(gcolmap_GIsPrivateColourMap());
        Colormap cm = 0;
        gxbits_GXCMInfo(d, &use, &cm);
    }
    if (!cells.glob.visual) {
        // The examination failed early: the screen's defaults.
        cells.glob.visual = DefaultVisual(d, part->screen);
        cells.glob.depth = DefaultDepth(d, part->screen);
        cells.glob.visual_class = cells.glob.visual->c_class;
        if (!cells.private_cmap)
            cells.private_cmap = DefaultColormap(d, part->screen);
    }
    device->modes.bitdepth = cells.glob.depth;
    part->visual = cells.glob.visual;
    part->visual_class = cells.glob.visual_class;
    part->usable_colours = cells.glob.usable;
    part->depth = cells.glob.depth;
    part->colourmap = cells.private_cmap;
    return 0;
}

}  // namespace

int GXSetVisualInfo(GDeviceRecord *device) { return set_visual_info(device); }

void gxbits_GXForgetVisual(Display *display)
{
    if (cells.display == display) {
        reset_cells();
    }
}

int GXAllocateColours(GDeviceRecord *device, GList *colours)
{
    GXDevicePart *part = gx_device(device);
    if (!part || part->usable_colours < 32)
        return -1;
    Display *d = gx_display(device);
    cells.freeable = true;
    long n = GGetNumColoursIn(colours);
    if (n > part->usable_colours) {
        long pruned = gcolmap_GPruneColourMap(device, 0, part->usable_colours);
        n = pruned >= 0 ? std::min(pruned, GGetNumColoursIn(colours)) : part->usable_colours;
    }
    auto store = [&](const std::vector<unsigned long> &pixels) {
        std::vector<XColor> xc(static_cast<size_t>(n));
        for (long i = 0; i < n; i++) {
            GColour *c = gcolour_GGetColour(colours, i);
            c->pixel = static_cast<int64_t>(pixels[static_cast<size_t>(i)]);
            xc[static_cast<size_t>(i)] = XColor{pixels[static_cast<size_t>(i)], c->red, c->green, c->blue,
                                                DoRed | DoGreen | DoBlue, 0};
        }
        if (n > 0)
            XStoreColors(d, part->colourmap, xc.data(), static_cast<int>(n));
        cells.writable = true;
    };
    bool shared = (part->depth <= 7 && !gcolmap_GIsPrivateColourMap()) || cells.read_only_visual;
    if (!shared) {
        if (!gcolmap_GIsPrivateColourMap()) {
            std::vector<unsigned long> pixels(static_cast<size_t>(std::max(n, 1L)));
            if (n > 0 && XAllocColorCells(d, part->colourmap, False, nullptr, 0, pixels.data(), static_cast<unsigned>(n))) {
                store(pixels);
                return 0;
            }
            gcolmap_GUsePrivateColourMap(1);
            if (!cells.private_made) {
                // Examined again, asking for a private map this time.
                Display *dd = cells.display ? cells.display : d;
                reset_cells();
                unsigned char use = 1;
                Colormap cm = 0;
                gxbits_GXCMInfo(dd, &use, &cm);
                cells.freeable = true;
            }
            set_visual_info(device);
        }
        if (cells.private_made && n <= cells.reserved) {
            std::vector<unsigned long> pixels(cells.private_pixels, cells.private_pixels + n);
            store(pixels);
            return 0;
        }
        // No private cells after all: shared cells as below.
    }
    cells.freeable = false;
    cells.writable = false;
    int16_t saved = device->modes.colourmap;
    device->modes.colourmap = 0;
    for (long i = 0; i < n; i++)
        pixel_of(device, gcolour_GGetColour(colours, i));
    device->modes.colourmap = saved == 0 ? 0 : -1;
    return 0;
}

int gxbits_GXSetColours(GDeviceRecord *device, GList *colours, long first, long count)
{
    GXDevicePart *part = gx_device(device);
    if (!part)
        return -1;
    long n = GGetNumColoursIn(colours);
    // Shared cells cannot be changed (storing into one is an X error): the
    // changed colours get cells of their own afresh, and their records the
    // new pixels, so that what is drawn next shows them.
    if (cells.read_only_visual || !cells.writable) {
        for (long i = std::max(first, 0L); i < first + count && i < n; i++) {
            GColour *c = gcolour_GGetColour(colours, i);
            c->pixel = -1;
            pixel_of(device, c);
        }
        return 0;
    }
    std::vector<XColor> xc;
    for (long i = std::max(first, 0L); i < first + count && i < n; i++) {
        GColour *c = gcolour_GGetColour(colours, i);
        if (c->pixel < 0)
            continue;
        xc.push_back(XColor{static_cast<unsigned long>(c->pixel), c->red, c->green, c->blue, DoRed | DoGreen | DoBlue, 0});
    }
    if (!xc.empty())
        XStoreColors(gx_display(device), part->colourmap, xc.data(), static_cast<int>(xc.size()));
    return 0;
}

int GXFreeColours(GDeviceRecord *device, GList *colours)
{
    GXDevicePart *part = gx_device(device);
    if (!part || part->usable_colours < 32)
        return -1;
    if (gcolmap_GIsPrivateColourMap())
        return 0;
    std::vector<unsigned long> collected;
    long n = GGetNumColoursIn(colours);
    unsigned long limit = part->depth >= 32 ? ~0UL : (1UL << part->depth);
    for (long i = 0; i < n; i++) {
        GColour *c = gcolour_GGetColour(colours, i);
        if (i >= 256) {
            gerror_GRegisterError(4, 17, 0, nullptr);
            continue;
        }
        if (c->pixel > 0 && static_cast<unsigned long>(c->pixel) < limit) {
            collected.push_back(static_cast<unsigned long>(c->pixel));
            c->pixel = -1;
        }
    }
    if (!collected.empty() && cells.freeable)
        XFreeColors(gx_display(device), part->colourmap, collected.data(), static_cast<int>(collected.size()), 0);
    cells.freeable = true;
    cells.writable = false;
    return 1;
}

unsigned long gxbits_GXGetXPixel(GDeviceRecord *device, int use_default, long index)
{
    GColour *c = gcolour_GGetColour(colour_list(device, use_default), index);
    if (!c) {
        Display *d = gx_display(device);
        GXDevicePart *part = gx_device(device);
        return d && part ? BlackPixel(d, part->screen) : 0;
    }
    return pixel_of(device, c);
}

int gxbits_GXGetXColor(GDeviceRecord *device, int use_default, long index, XColor *x)
{
    GColour *c = gcolour_GGetColour(colour_list(device, use_default), index);
    Display *d = gx_display(device);
    GXDevicePart *part = gx_device(device);
    *x = XColor{};
    if (!c || !d || !part)
        return -1;
    x->red = c->red;
    x->green = c->green;
    x->blue = c->blue;
    x->flags = DoRed | DoGreen | DoBlue;
    return XAllocColor(d, DefaultColormap(d, part->screen), x) ? 0 : -1;
}

unsigned long gxbits_GXModePixel(GDeviceRecord *device, long index)
{
    return index < 0 ? static_cast<unsigned long>(-index) : gxbits_GXGetXPixel(device, 0, index);
}

namespace {
int cm_info(void *display, unsigned char *use_private, unsigned long *colourmap)
{
    Colormap cm = 0;
    int r = gxbits_GXCMInfo(static_cast<Display *>(display), use_private, &cm);
    *colourmap = cm;
    return r;
}
}  // namespace

const GXColourCells gxbits_GXColourCells = {GXAllocateColours, GXFreeColours, gxbits_GXSetColours, cm_info};
