// The X11 driver's devices and canvases: opening into a window or a pixmap,
// device modes, graphics contexts, clip regions and the device transform.

#include "gx11.h"
#include "x11_msgs.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Numbers the own windows' titles (process-wide, never reused).
int window_counter = 0;

bool is_window(GDeviceRecord *d) { return d->modes.iswindow != 0; }

int set_default_device_modes(GDeviceModes *m)
{
    *m = GDeviceModes{};
    m->protocol = GP_X;
    m->dcxdim = 600;
    m->dcydim = 450;
    m->ucxdim = 1024;
    m->ucydim = 768;
    m->vdcxdim = m->vdcydim = 4095;
    m->dcxpos = m->dcypos = 10;
    m->bg_colour = 1;
    m->colourmap = -1;
    m->borderwidth = 3;
    m->bordercolour = 0;
    m->bitdepth = 8;
    m->iswindow = 1;
    m->backingstore = 1;
    m->supports = 0xFFFFFFFFu;
    return 0;
}

void set_backing_store(GDeviceRecord *device, bool on)
{
    XSetWindowAttributes a{};
    a.backing_store = on ? WhenMapped : NotUseful;
    XChangeWindowAttributes(gx_display(device), gx_drawable(device), CWBackingStore, &a);
}

int set_device_modes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *in)
{
    // A private copy: the caller may pass the device's own record.
    GDeviceModes s = *in;
    GDeviceModes &d = device->modes;
    GXDevicePart *part = gx_device(device);
    bool open = part && part->opened;
    bool own_window = open && part->own_connection && is_window(device);
    Display *dpy = open ? gx_display(device) : nullptr;
    if (mask & GDM_PROTOCOL) d.protocol = s.protocol;
    if (mask & (GDM_DCXDIM | GDM_DCYDIM)) {
        if (mask & GDM_DCXDIM) d.dcxdim = s.dcxdim;
        if (mask & GDM_DCYDIM) d.dcydim = s.dcydim;
        if (own_window)
            XResizeWindow(dpy, gx_drawable(device), static_cast<unsigned>(std::clamp<int64_t>(d.dcxdim, 1, 32767)),
                          static_cast<unsigned>(std::clamp<int64_t>(d.dcydim, 1, 32767)));
        gdev_GComputeVdcExtents(&d);
    }
    if (mask & GDM_UCXDIM) d.ucxdim = s.ucxdim;
    if (mask & GDM_UCYDIM) d.ucydim = s.ucydim;
    if (mask & (GDM_DCXPOS | GDM_DCYPOS)) {
        if (mask & GDM_DCXPOS) d.dcxpos = s.dcxpos;
        if (mask & GDM_DCYPOS) d.dcypos = s.dcypos;
        if (open && is_window(device) && (mask & GDM_DCXPOS))
            XMoveWindow(dpy, gx_drawable(device), static_cast<int>(d.dcxpos), static_cast<int>(d.dcypos));
    }
    if (mask & GDM_BGCOLOUR) {
        d.bg_colour = s.bg_colour;
        if (open && is_window(device)) {
            part->background = gxbits_GXModePixel(device, d.bg_colour);
            XSetWindowBackground(dpy, gx_drawable(device), part->background);
            XClearWindow(dpy, gx_drawable(device));
        }
    }
    if (mask & GDM_COLOURMAP) d.colourmap = s.colourmap;
    if (mask & GDM_BORDERWIDTH) d.borderwidth = s.borderwidth;
    if (mask & GDM_BORDERCOLOUR) {
        d.bordercolour = s.bordercolour;
        if (open && is_window(device))
            XSetWindowBorder(dpy, gx_drawable(device), gxbits_GXModePixel(device, d.bordercolour));
    }
    if (mask & GDM_BITDEPTH) d.bitdepth = s.bitdepth;
    if (mask & GDM_BASEDEVICE) d.basedevice = s.basedevice;
    if (mask & GDM_LANDSCAPE) d.landscape = s.landscape;
    if (mask & GDM_OUTPUT) d.output = s.output;
    if (mask & GDM_FILLPAGE) d.fillpage = s.fillpage;
    if (mask & GDM_DRIVERFLAG) d.driverflag = s.driverflag;
    if (d.protocol == GP_PCL) {
        if (mask & GDM_SPOOLCMD) memcpy(d.spoolcmd, s.spoolcmd, sizeof d.spoolcmd);
        if (mask & GDM_FILENAME) memcpy(d.filename, s.filename, sizeof d.filename);
        if (mask & GDM_CLRPLANES) d.clr_planes = s.clr_planes;
        d.spoolcmd[sizeof d.spoolcmd - 1] = d.filename[sizeof d.filename - 1] = '\0';
    }
    if (!open) {
        if (mask & GDM_WINDOW) d.window = s.window;
        if (mask & GDM_ISWINDOW) d.iswindow = s.iswindow;
        if (mask & GDM_DISPLAYCONN) d.displayconn = s.displayconn;
        if (mask & GDM_DISPLAY) {
            memcpy(d.display, s.display, sizeof d.display);
            d.display[sizeof d.display - 1] = '\0';
        }
    }
    if (mask & GDM_BACKINGSTORE) {
        d.backingstore = s.backingstore;
        if (open && is_window(device))
            set_backing_store(device, d.backingstore != 0);
    }
    if (mask & GDM_VISUAL) {
        d.visual = s.visual;
        if (open)
            GXSetVisualInfo(device);
    }
    return 0;
}

void free_part(GDeviceRecord *device)
{
    vx_free(device->driver);
    device->driver = nullptr;
}

// Waits for the window's own first Expose; other events stay queued.
void wait_for_expose(Display *dpy, Window w)
{
    XEvent ev;
    do
        XWindowEvent(dpy, w, ExposureMask, &ev);
    while (ev.type != Expose);
}

int open_device(GDeviceRecord *device, uint64_t mask)
{
    GXDevicePart *part = static_cast<GXDevicePart *>(vx_malloc(sizeof(GXDevicePart), 0));
    if (!part) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    *part = GXDevicePart{};
    part->screen = -1;
    device->driver = part;
    GDeviceModes &m = device->modes;
    bool pcl = m.protocol == GP_PCL;
    if (pcl) {
        if (gxpcl_GXSetupPCL(device) != 0) {
            free_part(device);
            return -1;
        }
        mask &= ~uint64_t(GDM_WINDOW);
        m.iswindow = 0;
    }
    m.dcxdim = std::clamp<int64_t>(m.dcxdim, 1, 32767);
    m.dcydim = std::clamp<int64_t>(m.dcydim, 1, 32767);
    Display *dpy = nullptr;
    if ((mask & GDM_WINDOW) && (mask & GDM_DISPLAYCONN) && m.displayconn) {
        dpy = static_cast<Display *>(m.displayconn);
        part->own_connection = 0;
        part->screen = DefaultScreen(dpy);
        part->max_points = static_cast<long>(XMaxRequestSize(dpy)) - 3;
        GXSetVisualInfo(device);
        part->background = gxbits_GXModePixel(device, m.bg_colour);
    } else {
        part->own_connection = 1;
        if ((mask & GDM_DISPLAYCONN) && m.displayconn) {
            dpy = static_cast<Display *>(m.displayconn);
        } else {
            dpy = XOpenDisplay(m.display[0] ? m.display : nullptr);
            if (!dpy) {
                gerror_GRegisterError(4, 6, 0, m.display[0] ? m.display : nullptr);
                free_part(device);
                return -1;
            }
            part->opened_display = 1;
            m.displayconn = dpy;
        }
        part->screen = DefaultScreen(dpy);
        part->max_points = static_cast<long>(XMaxRequestSize(dpy)) - 3;
        Window root = RootWindow(dpy, part->screen);
        if (m.iswindow) {
            Window w = XCreateSimpleWindow(dpy, root, static_cast<int>(m.dcxpos), static_cast<int>(m.dcypos),
                                           static_cast<unsigned>(m.dcxdim), static_cast<unsigned>(m.dcydim),
                                           static_cast<unsigned>(std::clamp<int64_t>(m.borderwidth, 0, 1000)),
                                           BlackPixel(dpy, part->screen), WhitePixel(dpy, part->screen));
            m.window = w;
            XSelectInput(dpy, w, ExposureMask);
            std::string title = vx_msgf(gerror_GCatalogue(), GX_WINDOW_TITLE, ++window_counter);
            XStoreName(dpy, w, title.c_str());
            XSetIconName(dpy, w, title.c_str());
            XMapWindow(dpy, w);
            wait_for_expose(dpy, w);
            XSelectInput(dpy, w, NoEventMask);
            GXSetVisualInfo(device);
            part->background = gxbits_GXGetXPixel(device, 0, 0);
            XSetWindowBackground(dpy, w, part->background);
        } else {
            unsigned depth = m.bitdepth == 1 ? 1u : static_cast<unsigned>(DefaultDepth(dpy, part->screen));
            Pixmap p = XCreatePixmap(dpy, root, static_cast<unsigned>(m.dcxdim), static_cast<unsigned>(m.dcydim), depth);
            m.window = p;
            GXSetVisualInfo(device);
            if (pcl)
                m.bitdepth = depth;  // the depth chosen for the paper stays
            part->background = gxbits_GXGetXPixel(device, 0, 0);
            GC gc = XCreateGC(dpy, p, 0, nullptr);
            XSetForeground(dpy, gc, part->background);
            XFillRectangle(dpy, p, gc, 0, 0, static_cast<unsigned>(m.dcxdim), static_cast<unsigned>(m.dcydim));
            if (mask & GDM_DRIVERFLAG) {
                XSetForeground(dpy, gc, gxbits_GXGetXPixel(device, 0, 1));
                XDrawRectangle(dpy, p, gc, 0, 0, static_cast<unsigned>(m.dcxdim - 1), static_cast<unsigned>(m.dcydim - 1));
            }
            XFreeGC(dpy, gc);
        }
    }
    if (!pcl) {
        m.ucxdim = DisplayWidth(dpy, part->screen);
        m.ucydim = DisplayHeight(dpy, part->screen);
    }
    Window root;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (XGetGeometry(dpy, gx_drawable(device), &root, &x, &y, &w, &h, &border, &depth)) {
        part->root = root;
        m.dcxdim = w;
        m.dcydim = h;
        m.borderwidth = border;
        if (static_cast<int64_t>(depth) != m.bitdepth)
            gx_report(GX_DEPTH_MISMATCH);
        m.bitdepth = depth;
        if (m.iswindow) {
            m.dcxpos = x;
            m.dcypos = y;
        }
    }
    gdev_GComputeVdcExtents(&m);
    part->opened = 1;
    set_device_modes(device, ~uint64_t(0) & ~uint64_t(GDM_DCXPOS | GDM_DCYPOS | GDM_BGCOLOUR), &m);
    if (m.iswindow && m.backingstore)
        set_backing_store(device, true);
    return 0;
}

// The cells of a connection that closes are gone: the colours it gave
// pixels to ask again.
void forget_pixels(GDeviceRecord *device)
{
    auto reset = [](GList *colours) {
        for (long i = 0; i < GGetNumColoursIn(colours); i++)
            gcolour_GGetColour(colours, i)->pixel = -1;
    };
    if (device->tables[GT_COLOURS])
        reset(device->tables[GT_COLOURS]);
    GList *maps = device->tables[GT_COLOURMAPS];
    for (long i = 0; maps && i < glist_GGetListLen(maps); i++)
        if (GColourMap *m = gcolmap_GGetColourMap(maps, i))
            reset(m->colours);
}

int close_device(GDeviceRecord *device)
{
    GXDevicePart *part = gx_device(device);
    if (!part)
        return 0;
    int result = 0;
    if (device->modes.protocol == GP_PCL)
        result = gxpcl_GXWritePCLOutput(device);
    Display *dpy = gx_display(device);
    if (part->own_connection && dpy) {
        if (is_window(device))
            XDestroyWindow(dpy, gx_drawable(device));
        else
            XFreePixmap(dpy, gx_drawable(device));
        device->modes.window = 0;
    }
    if (part->opened_display && dpy) {
        forget_pixels(device);
        x11_GForgetDisplay(dpy);
        XCloseDisplay(dpy);
        device->modes.displayconn = nullptr;
    } else if (dpy) {
        XFlush(dpy);
    }
    free_part(device);
    return result;
}

int clear_device(GDeviceRecord *device)
{
    GXDevicePart *part = gx_device(device);
    if (!part)
        return -1;
    Display *dpy = gx_display(device);
    if (is_window(device)) {
        XClearWindow(dpy, gx_drawable(device));
    } else {
        GC gc = XCreateGC(dpy, gx_drawable(device), 0, nullptr);
        XSetForeground(dpy, gc, 0);
        XFillRectangle(dpy, gx_drawable(device), gc, 0, 0, static_cast<unsigned>(device->modes.dcxdim),
                       static_cast<unsigned>(device->modes.dcydim));
        XFreeGC(dpy, gc);
    }
    return 0;
}

int flush_device(GDeviceRecord *device)
{
    if (Display *dpy = gx_display(device))
        XFlush(dpy);
    return 0;
}

// ---- canvases ------------------------------------------------------------

void to_device(const GXformPart &p, double x, double y, double &ox, double &oy)
{
    double in[3] = {x, y, 0}, out[3];
    gcoords_GApplyPart(&p, in, out);
    ox = out[0];
    oy = out[1];
}

Region polygon_region(const XPoint corners[4])
{
    XPoint pts[4];
    memcpy(pts, corners, sizeof pts);
    return XPolygonRegion(pts, 4, EvenOddRule);
}

short s16(double v) { return static_cast<short>(std::clamp(std::floor(v), -32768.0, 32767.0)); }

void build_regions(GCanvasRecord *canvas)
{
    GXCanvasPart *cp = gx_canvas(canvas);
    if (cp->canvas_region)
        XDestroyRegion(cp->canvas_region);
    if (cp->plot_region)
        XDestroyRegion(cp->plot_region);
    const GCanvasModes &m = canvas->modes;
    double x, y;
    to_device(canvas->xf[GX_VDC].forward, m.origin[0], m.origin[1], x, y);
    double w = std::floor(GTransformLength(canvas, 1, 0, m.size[0]));
    double h = std::floor(GTransformLength(canvas, 1, 1, m.size[1]));
    XPoint c[4] = {{s16(x), s16(y)}, {s16(x), s16(y - h)}, {s16(x + w), s16(y - h)}, {s16(x + w), s16(y)}};
    cp->canvas_region = polygon_region(c);
    if (m.dimension == 2) {
        double x0, y0, x1, y1;
        to_device(canvas->xf[GX_CC].forward, m.psorigin[0], m.psorigin[1], x0, y0);
        to_device(canvas->xf[GX_CC].forward, m.psorigin[0] + m.pssize[0], m.psorigin[1] + m.pssize[1], x1, y1);
        double lx = std::min(x0, x1) - 1, hx = std::max(x0, x1) + 1;
        double ly = std::min(y0, y1) - 1, hy = std::max(y0, y1) + 1;
        XPoint p[4] = {{s16(lx), s16(ly)}, {s16(lx), s16(hy)}, {s16(hx), s16(hy)}, {s16(hx), s16(ly)}};
        cp->plot_region = polygon_region(p);
    } else {
        cp->plot_region = polygon_region(c);
    }
}

void apply_clip(GCanvasRecord *canvas)
{
    GXCanvasPart *cp = gx_canvas(canvas);
    Display *dpy = gx_display(canvas->device);
    GC gcs[3] = {cp->line_gc, cp->fill_gc, cp->text_gc};
    for (GC gc : gcs) {
        switch (canvas->modes.clip) {
        case 0: XSetClipMask(dpy, gc, None); break;
        case 1: XSetRegion(dpy, gc, cp->canvas_region); break;
        case 2: XSetRegion(dpy, gc, cp->plot_region); break;
        default: break;
        }
    }
}

int set_canvas_modes(GCanvasRecord *canvas, uint64_t mask)
{
    if (!gx_canvas(canvas) || !gx_device(canvas->device))
        return -1;
    bool rebuilt = false;
    if (mask & (GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_PSEXTENT)) {
        build_regions(canvas);
        rebuilt = true;
    }
    if (!rebuilt && !(mask & GCM_CLIP))
        return 0;
    apply_clip(canvas);
    return 0;
}

int open_canvas(GCanvasRecord *canvas)
{
    GDeviceRecord *device = canvas->device;
    if (!gx_device(device))
        return -1;
    GXCanvasPart *cp = static_cast<GXCanvasPart *>(vx_malloc(sizeof(GXCanvasPart), 0));
    if (!cp) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    *cp = GXCanvasPart{};
    canvas->driver = cp;
    Display *dpy = gx_display(device);
    XGCValues v{};
    v.foreground = 0;
    v.background = 1;
    v.subwindow_mode = ClipByChildren;
    unsigned long vm = GCForeground | GCBackground | GCSubwindowMode;
    cp->line_gc = XCreateGC(dpy, gx_drawable(device), vm, &v);
    cp->fill_gc = XCreateGC(dpy, gx_drawable(device), vm, &v);
    cp->text_gc = XCreateGC(dpy, gx_drawable(device), vm, &v);
    build_regions(canvas);
    XSetRegion(dpy, cp->line_gc, cp->canvas_region);
    XSetRegion(dpy, cp->fill_gc, cp->canvas_region);
    XSetRegion(dpy, cp->text_gc, cp->canvas_region);
    set_canvas_modes(canvas, ~uint64_t(0));
    return 0;
}

int close_canvas(GCanvasRecord *canvas)
{
    GXCanvasPart *cp = gx_canvas(canvas);
    if (!cp)
        return 0;
    Display *dpy = gx_display(canvas->device);
    gxdraw_GXReleaseCanvas(canvas);
    XFreeGC(dpy, cp->line_gc);
    XFreeGC(dpy, cp->fill_gc);
    XFreeGC(dpy, cp->text_gc);
    XDestroyRegion(cp->canvas_region);
    XDestroyRegion(cp->plot_region);
    vx_free(cp);
    canvas->driver = nullptr;
    return 0;
}

int clear_canvas(GCanvasRecord *canvas)
{
    GDeviceRecord *device = canvas->device;
    if (!gx_canvas(canvas) || !is_window(device))
        return -1;
    const GCanvasModes &m = canvas->modes;
    double x, y;
    to_device(canvas->xf[GX_VDC].forward, m.origin[0], m.origin[1], x, y);
    double w = std::floor(GTransformLength(canvas, 1, 0, m.size[0])) + 2;
    double h = std::floor(GTransformLength(canvas, 1, 1, m.size[1])) + 2;
    XClearArea(gx_display(device), gx_drawable(device), s16(x), s16(y - h + 1), static_cast<unsigned>(std::max(w, 0.0)),
               static_cast<unsigned>(std::max(h, 0.0)), False);
    return 0;
}

int get_canvas_colour(GCanvasRecord *canvas, long *colour, unsigned char)
{
    GDeviceRecord *device = canvas->device;
    if (!gx_device(device) || !is_window(device))
        return -1;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(gx_display(device), gx_drawable(device), &a))
        return -1;
    *colour = -static_cast<long>(a.backing_pixel);
    return 0;
}

int create_transforms(GCanvasRecord *canvas)
{
    GDeviceRecord *device = canvas->device;
    GXform &t = canvas->xf[GX_FIFTH];
    gcoords_GInitialiseTransform(&t);
    double rx = 75, ry = 75;
    Display *dpy = gx_display(device);
    GXDevicePart *part = gx_device(device);
    if (device->modes.protocol != GP_PCL && dpy && part) {
        int s = part->screen >= 0 ? part->screen : DefaultScreen(dpy);
        double wmm = DisplayWidthMM(dpy, s), hmm = DisplayHeightMM(dpy, s);
        if (wmm > 0 && hmm > 0) {
            rx = DisplayWidth(dpy, s) / (wmm * 0.03937);
            ry = DisplayHeight(dpy, s) / (hmm * 0.03937);
        }
    }
    t.forward.m[0] = rx;
    t.forward.m[4] = ry;
    t.forward.m[8] = rx;
    t.inverse.m[0] = 1 / rx;
    t.inverse.m[4] = 1 / ry;
    t.inverse.m[8] = 1 / rx;
    gcoords_GHackXformToInvertYdim(&t, static_cast<double>(device->modes.dcydim - 1));
    return 0;
}

// A grid is not an X primitive.
int draw_grid(GCanvasRecord *, const GVector *, const GVector *, long, const GVector *) { return -1; }

const GEntryPoints x11_entry_points = {
    .ClearArea = gxdraw_GXClearArea,
    .ClearCanvas = clear_canvas,
    .ClearDevice = clear_device,
    .CloseCanvas = close_canvas,
    .CloseDevice = close_device,
    .DrawArc = gxdraw_GXDrawArc,
    .DrawGrid = draw_grid,
    .DrawLine = gxdraw_GXDrawLine,
    .DrawLines = gxdraw_GXDrawLines,
    .DrawPolyLine = gxdraw_GXDrawPolyLine,
    .DrawFilledPolygon = gxdraw_GXDrawFilledPolygon,
    .DrawRectangle = gxdraw_GXDrawRectangle,
    .DrawTextLines = gxdraw_GXDrawTextLines,
    .FlushDevice = flush_device,
    .GetDeviceModes = gstub_GetDeviceModes,
    .GetRelativeTextLimits = gxdraw_GXGetRelativeTextLimits,
    .Initialise = gstub_None,
    .InvertYDim = gstub_YDown,
    .OpenCanvas = open_canvas,
    .OpenDevice = open_device,
    .PutText = gxdraw_GXPutText,
    .SamplePointer = gxdraw_GXSamplePointer,
    .SetCanvasModes = set_canvas_modes,
    .SetDefaultDeviceModes = set_default_device_modes,
    .SetDeviceModes = set_device_modes,
    .SetFillModes = gxdraw_GXSetFillModes,
    .SetLineModes = gxdraw_GXSetLineModes,
    .SetTextModes = gxdraw_GXSetTextModes,
    .Terminate = gstub_None,
    .CommentOutput = gstub_Comment,   // a screen has nowhere to put comments
    .FlushCanvas = gstub_Canvas,      // the device flush sends everything
    .DrawImage = gxdraw_GXDrawImage,
    .GetCanvasColour = get_canvas_colour,
    .SetPolylineClip = gxdraw_GXSetPolylineClip,
    .CreateTransforms = create_transforms,
};

}  // namespace

const GEntryPoints *gxinit_GXPrimitives() { return &x11_entry_points; }

void x11_GForgetDisplay(Display *display)
{
    gxdraw_GXForgetFonts(display);
    gxbits_GXForgetVisual(display);
}

void x11_GInstallDriver()
{
    gep_GSetDriver(GDRV_X11, gxinit_GXPrimitives());
    gcolmap_GSetColourCells(&gxbits_GXColourCells);
}
