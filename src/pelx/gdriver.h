// The driver interface of the graphics kernel: the entry table every device
// driver fills, its slot numbers, the masks and function codes the kernel
// passes to it, the shared "can't do" operations and the calls that install
// a driver.  This is the one description of the slots; src/drivers/README.md
// shows how a driver folder is laid out.
//
// Coordinates.  Unless a slot says otherwise, points reach a driver in
// device coordinates (DC): GV_SHORT vectors, two-dimensional, interleaved
// (data[0] holds x0, y0, x1, y1, ...), already through the canvas's current
// transform.  Whether y grows downwards in DC is the driver's answer to
// InvertYDim.  The vectors belong to the kernel: a driver reads them during
// the call and keeps nothing.
//
// Results.  Every slot returns 0 on success and -1 on failure, after
// registering the reason with gerror_GRegisterError(); the kernel hands the
// result back to its caller.  Exceptions are named at their slot.
//
// "Can't do".  A driver that has no way to do an operation (a printer has
// no pointer; a plotter cannot clear what it drew) fills the slot with the
// matching gstub_* operation below.  These do nothing and succeed, so the
// kernel's calls stay unconditional and a picture made for every device
// degrades to what the device can show.  The exceptions are Initialise and
// Terminate, whose "can't do" answer is -1 ("nothing to set up or end").
#pragma once

#include <cstddef>
#include <cstdint>

struct GVector;
struct GDeviceModes;
struct GDeviceRecord;
struct GCanvasRecord;

// ---- slots ---------------------------------------------------------------

// Slot numbers of the entry table (its order is fixed).
enum GEntrySlot : int {
    GEP_CLEAR_AREA = 0,
    GEP_CLEAR_CANVAS = 1,
    GEP_CLEAR_DEVICE = 2,
    GEP_CLOSE_CANVAS = 3,
    GEP_CLOSE_DEVICE = 4,
    GEP_DRAW_ARC = 5,
    GEP_DRAW_GRID = 6,
    GEP_DRAW_LINE = 7,
    GEP_DRAW_LINES = 8,
    GEP_DRAW_POLYLINE = 9,
    GEP_DRAW_FILLED_POLYGON = 10,
    GEP_DRAW_RECTANGLE = 11,
    GEP_DRAW_TEXT_LINES = 12,
    GEP_FLUSH_DEVICE = 13,
    GEP_GET_DEVICE_MODES = 14,
    GEP_GET_RELATIVE_TEXT_LIMITS = 15,
    GEP_INITIALISE = 16,
    GEP_INVERT_Y_DIM = 17,
    GEP_OPEN_CANVAS = 18,
    GEP_OPEN_DEVICE = 19,
    GEP_PUT_TEXT = 20,
    GEP_SAMPLE_POINTER = 21,
    GEP_SET_CANVAS_MODES = 22,
    GEP_SET_DEFAULT_DEVICE_MODES = 23,
    GEP_SET_DEVICE_MODES = 24,
    GEP_SET_FILL_MODES = 25,
    GEP_SET_LINE_MODES = 26,
    GEP_SET_TEXT_MODES = 27,
    GEP_TERMINATE = 28,
    GEP_COMMENT_OUTPUT = 29,
    GEP_FLUSH_CANVAS = 30,
    GEP_DRAW_IMAGE = 31,
    GEP_GET_CANVAS_COLOUR = 32,
    GEP_SET_POLYLINE_CLIP = 33,
    GEP_CREATE_TRANSFORMS = 34,
    GEP_COUNT = 35
};

// ---- masks and codes the kernel passes -----------------------------------

// Marker modes (GSetMarkerModes).
enum : uint64_t { GMM_INDEX = 0x1, GMM_SCALE = 0x2 };
// Line modes (GSetLineModes, SetLineModes).
enum : uint64_t { GLM_STYLE = 0x1, GLM_COLOUR = 0x2, GLM_FUNCTION = 0x4, GLM_CLOSE = 0x8, GLM_WIDTH = 0x10 };
// Fill modes (GSetFillModes, SetFillModes).
enum : uint64_t {
    GFM_STYLE = 0x1, GFM_COLOUR = 0x2, GFM_HATCH = 0x4, GFM_RULE = 0x8, GFM_ARC = 0x10, GFM_FUNCTION = 0x20
};
// Text modes (GSetTextModes, SetTextModes).
enum : uint64_t { GTM_FONT = 0x1, GTM_COLOUR = 0x2, GTM_SCALE = 0x4, GTM_ANGLE = 0x8, GTM_ALIGNMENT = 0x10 };
// Every field of a modes record: what the kernel passes when it sets a
// canvas's defaults.
inline constexpr uint64_t GMASK_ALL = ~uint64_t(0);

// Raster functions of the line and fill modes (the X drawing functions'
// numbers): drawing copies by default; selected markers are drawn with
// exclusive-or so that drawing them again takes them away.
enum : int16_t { GFN_COPY = 3, GFN_XOR = 6 };

// ---- the entry table -----------------------------------------------------

struct GEntryPoints {
    // 0  Clears the rectangle at `corner` (DC, its smaller x and y) of
    //    `size` (DC units, both >= 0) to the device's background.
    int (*ClearArea)(GCanvasRecord *, const GVector *corner, const GVector *size);
    // 1  Clears the canvas's area to the background.
    int (*ClearCanvas)(GCanvasRecord *);
    // 2  Clears the whole device (a new page on paper).
    int (*ClearDevice)(GDeviceRecord *);
    // 3  The canvas is being closed: the driver frees its canvas part
    //    (canvas->driver).  The result is not looked at.
    int (*CloseCanvas)(GCanvasRecord *);
    // 4  The device is being closed, after its canvases: the driver ends
    //    its output (files are completed and closed, pipes waited for) and
    //    frees its device part.  GCloseDevice returns this result.
    int (*CloseDevice)(GDeviceRecord *);
    // 5  An arc of the ellipse inscribed in the box from `corner` to
    //    `opposite` (DC), from angle `start` through `extent`, both in 64ths
    //    of a degree as the caller gave them; filled as well when the fill
    //    style is not 0.
    int (*DrawArc)(GCanvasRecord *, const GVector *corner, const GVector *opposite, long start, long extent);
    // 6  A grid between `first` and `second` (DC); what `count` and the
    //    third point mean is the driver's own (the kernel transforms the
    //    points and passes the rest unchanged).
    int (*DrawGrid)(GCanvasRecord *, const GVector *first, const GVector *second, long count, const GVector *step);
    // 7  One line from `from` to `to` (DC, one point each) in the line modes.
    int (*DrawLine)(GCanvasRecord *, const GVector *from, const GVector *to);
    // 8  Separate segments: points 0-1, 2-3, ... (DC) in the line modes;
    //    markers arrive here as their stroke segments.
    int (*DrawLines)(GCanvasRecord *, const GVector *pairs);
    // 9  A connected line through the points (DC); closed back to the first
    //    point when the line modes' close flag is set.
    int (*DrawPolyLine)(GCanvasRecord *, const GVector *points);
    // 10 A polygon (DC, not repeated at the end) filled in the fill modes;
    //    `flag` is 0 from the kernel.
    int (*DrawFilledPolygon)(GCanvasRecord *, const GVector *points, int flag);
    // 11 The outline of the rectangle at `corner` (DC, smaller x and y) of
    //    `size` (DC units) in the line modes.
    int (*DrawRectangle)(GCanvasRecord *, const GVector *corner, const GVector *size);
    // 12 Stroke-font text as segments (pairs of DC points) in the text
    //    modes' colour: the kernel has already laid the glyphs out.
    int (*DrawTextLines)(GCanvasRecord *, const GVector *pairs);
    // 13 Sends what is buffered to the device (the display, the file).
    int (*FlushDevice)(GDeviceRecord *);
    // 14 Fills `modes` with the device's modes as the driver knows them
    //    (a window's real size, say).
    int (*GetDeviceModes)(GDeviceRecord *, GDeviceModes *modes);
    // 15 The box of a device-font `text` in the canvas's text modes,
    //    relative to the text's origin and unrotated, in DC units: four
    //    corners (x, y) from the lower left clockwise.  -1 when the text
    //    cannot be measured (no font).
    int (*GetRelativeTextLimits)(GCanvasRecord *, const char *text, short corners[8]);
    // 16 Called once before the driver's first device opens; -1 when there
    //    is nothing to set up.
    int (*Initialise)();
    // 17 Answers 1 when y grows downwards in DC (windows and images), 0
    //    when upwards (paper).  Not an error code.
    int (*InvertYDim)(GDeviceRecord *);
    // 18 A canvas opened on the device: the driver may hang its canvas part
    //    on canvas->driver.  The kernel then sets every text, line and fill
    //    mode once.  The result is not looked at.
    int (*OpenCanvas)(GCanvasRecord *);
    // 19 Opens the device after its defaults and the caller's modes (the
    //    fields of `mask`) are in device->modes: the window is created, the
    //    file or pipe opened.  -1 (with the error registered) refuses the
    //    device; GOpenDevice then returns null.
    int (*OpenDevice)(GDeviceRecord *, uint64_t mask);
    // 20 Device-font text with its origin at `position` (DC), in the text
    //    modes; the kernel has applied the alignment.
    int (*PutText)(GCanvasRecord *, const char *text, const GVector *position);
    // 21 Reads the pointer's state into `pointer` (interactive devices).
    int (*SamplePointer)(GDeviceRecord *, void *pointer);
    // 22 The canvas modes in `mask` changed (the record holds the new ones).
    int (*SetCanvasModes)(GCanvasRecord *, uint64_t mask);
    // 23 Fills a whole modes record with the driver's defaults.  The record
    //    arrives with its protocol set; the driver keeps it.
    int (*SetDefaultDeviceModes)(GDeviceModes *modes);
    // 24 Takes the fields of `mask` from `modes` into the device; a driver
    //    that only stores them calls gdev_GApplyDeviceModes().
    int (*SetDeviceModes)(GDeviceRecord *, uint64_t mask, const GDeviceModes *modes);
    // 25 The fill modes in `mask` (GFM_*) changed; the canvas holds them.
    int (*SetFillModes)(GCanvasRecord *, uint64_t mask);
    // 26 The line modes in `mask` (GLM_*) changed; the canvas holds them.
    int (*SetLineModes)(GCanvasRecord *, uint64_t mask);
    // 27 The text modes in `mask` (GTM_*) changed; the canvas holds them.
    int (*SetTextModes)(GCanvasRecord *, uint64_t mask);
    // 28 Called once after the driver's last device closed; -1 when there
    //    is nothing to end.
    int (*Terminate)();
    // 29 Writes `text` into the output as a comment (file formats that have
    //    comments); never null.
    int (*CommentOutput)(GCanvasRecord *, const char *text);
    // 30 Sends the canvas's buffered drawing to the device.
    int (*FlushCanvas)(GCanvasRecord *);
    // 31 Draws a raster image record (GRasterImage, pelx.h) on the canvas.
    int (*DrawImage)(GCanvasRecord *, const void *image);
    // 32 The canvas's colour index: background (selector 0) or foreground.
    int (*GetCanvasColour)(GCanvasRecord *, long *colour, unsigned char selector);
    // 33 Sets (or with null clears) the polyline clip region of the canvas:
    //    a GVector of short device points.
    int (*SetPolylineClip)(GCanvasRecord *, const void *clip);
    // 34 The canvas's transforms were recomputed (canvas->xf): the driver
    //    may derive its own from them.
    int (*CreateTransforms)(GCanvasRecord *);
};
// The drivers' name for the same table.
using GDriverEntryTable = GEntryPoints;

static_assert(sizeof(GEntryPoints) == GEP_COUNT * sizeof(void *));
static_assert(offsetof(GEntryPoints, ClearArea) == GEP_CLEAR_AREA * sizeof(void *));
static_assert(offsetof(GEntryPoints, DrawLine) == GEP_DRAW_LINE * sizeof(void *));
static_assert(offsetof(GEntryPoints, DrawRectangle) == GEP_DRAW_RECTANGLE * sizeof(void *));
static_assert(offsetof(GEntryPoints, DrawTextLines) == GEP_DRAW_TEXT_LINES * sizeof(void *));
static_assert(offsetof(GEntryPoints, InvertYDim) == GEP_INVERT_Y_DIM * sizeof(void *));
static_assert(offsetof(GEntryPoints, SetDefaultDeviceModes) == GEP_SET_DEFAULT_DEVICE_MODES * sizeof(void *));
static_assert(offsetof(GEntryPoints, CommentOutput) == GEP_COMMENT_OUTPUT * sizeof(void *));
static_assert(offsetof(GEntryPoints, CreateTransforms) == GEP_CREATE_TRANSFORMS * sizeof(void *));

// ---- "can't do" ----------------------------------------------------------
// One per slot shape; each does nothing and returns 0, except where said.

int gstub_Canvas(GCanvasRecord *);
int gstub_Device(GDeviceRecord *);
int gstub_Area(GCanvasRecord *, const GVector *, const GVector *);
int gstub_Arc(GCanvasRecord *, const GVector *, const GVector *, long, long);
int gstub_Grid(GCanvasRecord *, const GVector *, const GVector *, long, const GVector *);
int gstub_Points(GCanvasRecord *, const GVector *);
int gstub_Polygon(GCanvasRecord *, const GVector *, int);
// Copies the device's record.
int gstub_GetDeviceModes(GDeviceRecord *, GDeviceModes *);
// An empty box (all corners 0).
int gstub_TextLimits(GCanvasRecord *, const char *, short corners[8]);
// Initialise, Terminate: -1.
int gstub_None();
int gstub_OpenDevice(GDeviceRecord *, uint64_t);
int gstub_PutText(GCanvasRecord *, const char *, const GVector *);
int gstub_SamplePointer(GDeviceRecord *, void *);
int gstub_Mask(GCanvasRecord *, uint64_t);
// Stores the fields (gdev_GApplyDeviceModes).
int gstub_SetDeviceModes(GDeviceRecord *, uint64_t, const GDeviceModes *);
int gstub_Comment(GCanvasRecord *, const char *);
int gstub_Image(GCanvasRecord *, const void *);
// Colour index 0.
int gstub_CanvasColour(GCanvasRecord *, long *, unsigned char);
int gstub_Clip(GCanvasRecord *, const void *);
// y downwards (1) and upwards (0), for InvertYDim.
int gstub_YDown(GDeviceRecord *);
int gstub_YUp(GDeviceRecord *);

// ---- installing drivers --------------------------------------------------

// The four drivers, by the order of their tables.
enum { GDRV_X11 = 0, GDRV_POSTSCRIPT = 1, GDRV_HPGL = 2, GDRV_IMAGE = 3, GDRV_COUNT = 4 };
// Installs a driver's entry table (null restores the stand-in that returns
// at once); returns the previous one.  The drivers of the output subsystem
// install themselves here.
const GEntryPoints *gep_GSetDriver(int driver, const GEntryPoints *table);
const GEntryPoints *gep_GEntryPoints(int protocol);
// The stand-in table of a driver: every slot "can't do", with the driver's
// default device modes and y direction.  A protocol uses it until its
// driver installs a table; drivers and test drivers delegate to it.
const GEntryPoints *gep_GStubEntryPoints(int driver);
// The entry table of an open device or canvas.
const GEntryPoints *gep_GDeviceEntryPoints(const GDeviceRecord *device);
const GEntryPoints *gep_GCanvasEntryPoints(const GCanvasRecord *canvas);
