// Inside the PostScript driver: the device and canvas parts, the document
// writer and the lazily written graphics state.
#pragma once

#include "pelx.h"

#include <cstdint>
#include <cstdio>

// The graphics state the document is known to be in.
struct GPState {
    uint16_t red, green, blue;
    long dash;   // line style index, -1 solid
    long font;   // font index, -1 none
    long width;  // line width in device units
};

enum { GP_STACK_DEPTH = 8 };
// What clips the page: nothing, a canvas's clip polygon, or a polygon a
// caller set (kept until it is removed).
enum { GP_CLIP_NONE = 0, GP_CLIP_CANVAS = 1, GP_CLIP_POLYLINE = 2 };

struct GPDevicePart {
    FILE *out;
    unsigned char kind;  // output kind it was opened with
    GPState cur;
    int clip;                 // GP_CLIP_*
    short clip_points[8];     // the canvas polygon in force
    GPState stack[GP_STACK_DEPTH];
    int depth;
};

// The clip polygons of a canvas (device, canvas, plot space: four points
// each) and the steps of its current hatch.
struct GPCanvasPart {
    short polygon[3][8];
    long hatch_dx, hatch_dy;
};

inline GPDevicePart *gp_part(GDeviceRecord *device) { return static_cast<GPDevicePart *>(device->driver); }
inline GPDevicePart *gp_part(GCanvasRecord *canvas) { return gp_part(canvas->device); }
inline GPCanvasPart *gp_canvas(GCanvasRecord *canvas) { return static_cast<GPCanvasPart *>(canvas->driver); }

// ---- writing -------------------------------------------------------------

void gp_puts(GPDevicePart *p, const char *text);
void gp_printf(GPDevicePart *p, const char *format, ...) __attribute__((format(printf, 2, 3)));
// "\t<a> <b> <word>\n" and "\t<a> <b> <c> <d> <word>\n": the hot lines.
void gp_line2(GPDevicePart *p, long a, long b, const char *word);
void gp_line4(GPDevicePart *p, long a, long b, long c, long d, const char *word);

// ---- state -----------------------------------------------------------------

// The colour of a colour index on the device: from the colour map in use
// when one is set, else from the device's colour table.
void gp_colour_of(GDeviceRecord *device, long index, uint16_t rgb[3]);
// Writes what differs of the chosen parts of the state (dashes of the line
// style, colour of the colour index, line width) and then the canvas's
// clip, before a drawing call.
enum : unsigned { GP_DASHES = 0x1, GP_COLOUR = 0x2, GP_WIDTH = 0x4, GP_LINE_STATE = 0x7 };
void gp_write_state(GCanvasRecord *canvas, unsigned what, long style, long colour);
void gp_remove_clip(GPDevicePart *p);
void gp_set_polygon_clip(GPDevicePart *p, const short *points, long count);
// Rebuilds the canvas's three clip polygons from its modes.
void gp_build_clip_polygons(GCanvasRecord *canvas);
// Three numbers of a colour as the document writes them ("%1.2f" each,
// a blank after each), into buf (at least 24 bytes).
void gp_colour_text(const uint16_t rgb[3], char *buf, size_t size);

// ---- the slots -------------------------------------------------------------

int gpdev_GPOpenDevice(GDeviceRecord *device, uint64_t mask);
int gpdev_GPCloseDevice(GDeviceRecord *device);
int gpdev_GPSetDefaultDeviceModes(GDeviceModes *modes);
int gpdev_GPSetDeviceModes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *modes);
int gpdev_GPGetDeviceModes(GDeviceRecord *device, GDeviceModes *modes);

int gpcanv_GPOpenCanvas(GCanvasRecord *canvas);
int gpcanv_GPCloseCanvas(GCanvasRecord *canvas);
int gpcanv_GPSetCanvasModes(GCanvasRecord *canvas, uint64_t mask);
int gpcanv_GPSetFillModes(GCanvasRecord *canvas, uint64_t mask);
int gpcanv_GPGetCanvasColour(GCanvasRecord *canvas, long *colour, unsigned char flag);
int gpcanv_GPCreateTransforms(GCanvasRecord *canvas);
int gpcanv_GPSetPolylineClip(GCanvasRecord *canvas, const void *points);

int gpdraw_GPClearArea(GCanvasRecord *canvas, const GVector *corner, const GVector *size);
int gpdraw_GPDrawArc(GCanvasRecord *canvas, const GVector *first, const GVector *second, long start, long extent);
int gpdraw_GPDrawGrid(GCanvasRecord *canvas, const GVector *, const GVector *, long, const GVector *);
int gpdraw_GPDrawLine(GCanvasRecord *canvas, const GVector *from, const GVector *to);
int gpdraw_GPDrawLines(GCanvasRecord *canvas, const GVector *pairs);
int gpdraw_GPDrawPolyLine(GCanvasRecord *canvas, const GVector *points);
int gpdraw_GPDrawFilledPolygon(GCanvasRecord *canvas, const GVector *points, int flag);
int gpdraw_GPDrawRectangle(GCanvasRecord *canvas, const GVector *corner, const GVector *size);
int gpdraw_GPDrawTextLines(GCanvasRecord *canvas, const GVector *pairs);
int gpdraw_GPPutText(GCanvasRecord *canvas, const char *text, const GVector *position);
int gpdraw_GPCommentOutput(GCanvasRecord *canvas, const char *text);
int gpdraw_GPDrawImage(GCanvasRecord *canvas, const void *image);

// Placement of the picture on the paper, computed before anything is
// written so that the bounding box can declare it (device units).
struct GPPlacement {
    long dcxdim, dcydim, dcxpos, dcypos;
    bool rotated;
    long box[4];  // llx, lly, urx, ury on the paper
};
GPPlacement gp_place(const GDeviceModes &modes);
