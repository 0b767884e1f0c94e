// The X11 driver: draws into the caller's window, a window of its own or an
// off-screen pixmap (the PCL device dumps its pixmap as PCL raster at close).
// The kernel reaches it through its entry table and, for colour maps,
// through the four colour-cell operations installed with the driver.
#pragma once

#include "pelx.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>

// The entry table (protocols 0 and 5) and its installation at start-up:
// the table and the colour cells.
const GEntryPoints *gxinit_GXPrimitives();
void x11_GInstallDriver();
// A connection the caller lent to devices is about to close: the fonts and
// the colour-cell state kept for it are dropped.
void x11_GForgetDisplay(Display *display);

// One per open device (device->driver).
struct GXDevicePart {
    int own_connection;  // 0: the caller's window on the caller's display
    int screen;          // -1 until open
    Window root;
    Visual *visual;
    int visual_class;
    long usable_colours;
    int depth;
    Colormap colourmap;
    FILE *output;  // PCL output while it is written
    int output_kind;
    int landscape;    // PCL: drawn rotated
    long max_points;  // the most points one request carries
    // Beyond the record: what the driver itself set up and must undo.
    int opened_display;        // the connection is ours: closed at CloseDevice
    int opened;                // open has finished
    unsigned long background;  // the background pixel the driver set
};

// One per open canvas (canvas->driver).
struct GXCanvasPart {
    int nls;  // text through the font set
    XFontStruct *font;
    XFontSet fontset;
    int dashed;
    int stipple_owned;
    Pixmap stipple;
    GC line_gc, fill_gc, text_gc;
    Region canvas_region, plot_region;
};

// Pointer sample (SamplePointer's record).
struct GPointerSample {
    long flag;  // always 0
    long root_x, root_y;
    long x, y;  // relative to the drawable
    long state;  // key and button mask
};

// ---- colour cells (gxbits.cpp) -------------------------------------------

int gxbits_GXCMInfo(Display *display, unsigned char *use_private, Colormap *colourmap);
int GXAllocateColours(GDeviceRecord *device, GList *colours);
int gxbits_GXSetColours(GDeviceRecord *device, GList *colours, long first, long count);
int GXFreeColours(GDeviceRecord *device, GList *colours);
int GXSetVisualInfo(GDeviceRecord *device);
unsigned long gxbits_GXGetXPixel(GDeviceRecord *device, int use_default, long index);
int gxbits_GXGetXColor(GDeviceRecord *device, int use_default, long index, XColor *colour);
// The pixel of a colour index of the drawing modes: a negative index is the
// raw pixel -index.
unsigned long gxbits_GXModePixel(GDeviceRecord *device, long index);
// Forgets the examination of the visual (the connection it was made on is
// closing); the next device examines the visual again.
void gxbits_GXForgetVisual(Display *display);
// The colour cells the kernel calls through.
extern const GXColourCells gxbits_GXColourCells;

// ---- drawing (gxdraw.cpp) ------------------------------------------------

int gxdraw_GXClearArea(GCanvasRecord *, const GVector *corner, const GVector *size);
int gxdraw_GXDrawArc(GCanvasRecord *, const GVector *, const GVector *, long start, long extent);
int gxdraw_GXDrawLine(GCanvasRecord *, const GVector *from, const GVector *to);
int gxdraw_GXDrawLines(GCanvasRecord *, const GVector *pairs);
int gxdraw_GXDrawPolyLine(GCanvasRecord *, const GVector *points);
int gxdraw_GXDrawFilledPolygon(GCanvasRecord *, const GVector *points, int flag);
int gxdraw_GXDrawRectangle(GCanvasRecord *, const GVector *corner, const GVector *size);
int gxdraw_GXDrawTextLines(GCanvasRecord *, const GVector *pairs);
int gxdraw_GXGetRelativeTextLimits(GCanvasRecord *, const char *text, short corners[8]);
int gxdraw_GXPutText(GCanvasRecord *, const char *text, const GVector *position);
int gxdraw_GXSamplePointer(GDeviceRecord *, void *pointer);
int gxdraw_GXSetFillModes(GCanvasRecord *, uint64_t mask);
int gxdraw_GXSetLineModes(GCanvasRecord *, uint64_t mask);
int gxdraw_GXSetTextModes(GCanvasRecord *, uint64_t mask);
int gxdraw_GXDrawImage(GCanvasRecord *, const void *image);
int gxdraw_GXSetPolylineClip(GCanvasRecord *, const void *clip);
// Frees what the canvas's text and fill modes hold (CloseCanvas).
void gxdraw_GXReleaseCanvas(GCanvasRecord *canvas);
// Drops the fonts loaded on a connection that is closing.
void gxdraw_GXForgetFonts(Display *display);
// Lowers a device's request limit (tests of the splitting of long requests).
void gxdraw_GXLimitPoints(GDeviceRecord *device, long points);

// ---- PCL (gxpcl.cpp) -----------------------------------------------------

// Before the pixmap is made: depth, orientation, size and position on paper.
int gxpcl_GXSetupPCL(GDeviceRecord *device);
// At close: the pixmap as PCL raster to the device's output; 0 or -1.
int gxpcl_GXWritePCLOutput(GDeviceRecord *device);

inline GXDevicePart *gx_device(GDeviceRecord *d) { return static_cast<GXDevicePart *>(d->driver); }
inline GXCanvasPart *gx_canvas(GCanvasRecord *c) { return static_cast<GXCanvasPart *>(c->driver); }
inline Display *gx_display(GDeviceRecord *d) { return static_cast<Display *>(d->modes.displayconn); }
inline Drawable gx_drawable(GDeviceRecord *d) { return static_cast<Drawable>(d->modes.window); }
