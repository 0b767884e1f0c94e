// Inside the image-file device: the device part (image, graphics context,
// colour handles, fonts, and the line code's dash and clip state) and the
// canvas clip set.
#pragma once

#include "imagelib.h"
#include "pelx.h"

#include <unordered_map>
#include <vector>

struct GIDashNode {
    long length;
    bool gap;
};

struct GIDevicePart {
    IGC *gc = nullptr;
    IImage *image = nullptr;
    int format = IFORMAT_PNG;
    long scale = 1;
    // Colour handles by colour index, allocated when first used; the key
    // of a colour-map colour is below 0.
    std::unordered_map<long, int> colours;
    std::vector<IFont *> fonts;  // by font index; null where none loaded

    // The line code's state.
    long linestyle_no = -1;  // -1 solid
    std::vector<GIDashNode> pattern;
    size_t current = 0;
    long pixels_left_to_plot = 0;
    long width = 0;  // the line style's width; 0 the canvas's
    bool clip_on = false;
    int clip_x1 = 0, clip_y1 = 0, clip_x2 = 0, clip_y2 = 0;
    int foreground_colour = 0;
};

// The canvas's clip rectangles in device units: device, canvas, plot space.
struct GIClipSet {
    short rect[3][4];
};

inline GIDevicePart *gi_part(GDeviceRecord *d) { return static_cast<GIDevicePart *>(d->driver); }
inline GIDevicePart *gi_part(GCanvasRecord *c) { return gi_part(c->device); }

// The handle of a colour index (0, black, when it cannot be had).
int gi_colour(GDeviceRecord *device, long index);
IFont *gi_font(GDeviceRecord *device, long index);

void gidrv_GISetForeground(GIDevicePart *p, int handle);
void gidrv_GISetLineStyle(GDeviceRecord *device, long index);
void gidrv_GIDraw_Line(GCanvasRecord *canvas, long x1, long y1, long x2, long y2, int gap_mode);
void gidrv_GISetClipMask(GDeviceRecord *device, const short rect[4]);
void gidrv_GIClipOn(GIDevicePart *p, int x1, int y1, int x2, int y2);
void gidrv_GIClipOff(GIDevicePart *p);
void gicanv_GISetClipping(GCanvasRecord *canvas);

int gidev_GIOpenDevice(GDeviceRecord *device, uint64_t mask);
int gidev_GICloseDevice(GDeviceRecord *device);
int gidev_GISetDefaultDeviceModes(GDeviceModes *modes);
int gidev_GISetDeviceModes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *modes);
int gidev_GIGetDeviceModes(GDeviceRecord *device, GDeviceModes *modes);
int gicanv_GIOpenCanvas(GCanvasRecord *canvas);
int gicanv_GICloseCanvas(GCanvasRecord *canvas);
int gicanv_GISetCanvasModes(GCanvasRecord *canvas, uint64_t mask);
int gicanv_GIGetCanvasColour(GCanvasRecord *canvas, long *colour, unsigned char flag);
int gicanv_GICreateTransforms(GCanvasRecord *canvas);

int gidraw_GIClearArea(GCanvasRecord *canvas, const GVector *corner, const GVector *size);
int gidraw_GIDrawArc(GCanvasRecord *canvas, const GVector *first, const GVector *second, long start, long extent);
int gidraw_GIDrawLine(GCanvasRecord *canvas, const GVector *from, const GVector *to);
int gidraw_GIDrawLines(GCanvasRecord *canvas, const GVector *pairs);
int gidraw_GIDrawPolyLine(GCanvasRecord *canvas, const GVector *points);
int gidraw_GIDrawFilledPolygon(GCanvasRecord *canvas, const GVector *points, int flag);
int gidraw_GIDrawRectangle(GCanvasRecord *canvas, const GVector *corner, const GVector *size);
int gidraw_GIDrawTextLines(GCanvasRecord *canvas, const GVector *pairs);
int gidraw_GICommentOutput(GCanvasRecord *canvas, const char *text);
int gitext_GIPutText(GCanvasRecord *canvas, const char *text, const GVector *position);
int gitext_GIGetRelativeTextLimits(GCanvasRecord *canvas, const char *text, short corners[8]);
int GIDrawImage(GCanvasRecord *canvas, const void *image);
void GIHatchRectangle(GCanvasRecord *canvas, long hatch, long x, long y, long w, long h);
