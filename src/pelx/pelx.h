// The graphics library kernel: error registry, lists, point vectors and
// matrices, style and colour tables, the configuration reader, devices,
// canvases, coordinate transforms and the drawing and text primitives.
//
// Nothing here throws.  Operations return 0 (or a valid handle) on success
// and -1 (or a null handle) on failure, after registering the reason as an
// error pair (type, number) that GGetError() hands back.  The invalid list
// and every other "no handle" value is the null pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "gdriver.h"

// ---- error registry ------------------------------------------------------

int GInitialise(const char *directory, const char *config_file, const char *catalogue_path,
                const char *database_path);
void GTerminate();
int GHandleResizeEvent();
int GEscape();

int gerror_GInitialiseErrors(const char *catalogue_path);
void gerror_GTerminateErrors();
int gerror_GRegisterError(int type, int number, int reserved, const char *parameter);
// type << 16 | number of the last failure; 0 when nothing failed yet.
long GGetError();
// Composes the last failure's line into buf (size bytes); null with an
// empty buffer when the catalogue is not open.
char *GGetErrorMessage(char *buf, size_t size);
void GLogError(const char *line, const char *parameter);
// The library's configuration directory as GInitialise stored it.
const char *gerror_GLibraryDirectory();

// Catalogue wrappers.
void *gnls_Gcatopen(const char *path);
void gnls_Gcatclose(void *handle);
char *gnls_Gcatgetmsg(void *handle, int set, int number, char *buf, int length);

// ---- lists ---------------------------------------------------------------

struct GListEntry {
    GListEntry *prev;
    GListEntry *next;
    unsigned char owned;
    void *item;
};

struct GList {
    int64_t reserved;
    GListEntry *first;
    unsigned char dirty;
    int64_t length;
    GListEntry **index;
    // Beyond the chain: its last entry, how an owned item is freed (vx_free
    // when null) and copied (for lists whose copies must own their own).
    GListEntry *last;
    void (*free_item)(void *item);
    void *(*clone_item)(const void *item);
};

GList *glist_GCreateList();
int glist_GAppendToList(GList *list, void *item, int owned);
int glist_GIndexList(GList *list);
void *glist_GGetListItem(GList *list, long position);
void *glist_GReplaceInList(GList *list, void *item, long position);
int glist_GDeleteFromList(GList *list, long position);
int glist_GDeleteByValFromList(GList *list, void *item);
long glist_GGetListLen(GList *list);
int glist_GCopyList(GList *destination, GList *source);
int glist_GCopyListPointers(GList *destination, GList *source);
int glist_GDestroyList(GList *list);

// ---- point vectors -------------------------------------------------------

enum : unsigned char { GV_DOUBLE = 0, GV_FLOAT = 1, GV_LONG = 2, GV_SHORT = 3, GV_BYTE = 5 };

struct GVector {
    unsigned char type;      // GV_*
    unsigned char separate;  // 0 interleaved in data[0]; 1 x, y, z in data[0..2]
    unsigned char dims;      // 1, 2 or 3
    int64_t count;
    void *data[3];
};

long gbits_GSimpleSize(int element_type);
int gvector_GCopyVector(GVector *destination, const GVector *source);
int gvector_GCloneVector(GVector **holder, const GVector *source);
void gvector_GDestroyClonedVector(GVector **holder);
// Frees the arrays of a vector whose data the caller owns, and clears them.
void gvector_GFreeVectorData(GVector *vector);
// Element i, coordinate c (0 x, 1 y, 2 z) of any vector, as a double.
double gvector_GGetValue(const GVector *v, long i, int c);

// ---- matrices ------------------------------------------------------------

int gmatrix_GInvert2DMatrix(double *destination, const double *source);
void gmatrix_GMultiply2DMatWithVec(double *result, const double *matrix, const double *point);
void gmatrix_GRotateShortPoint(const double *matrix, short *point);
void gmatrix_GMultiply3DMatWithVec(double *result, const double *matrix, const double *vector);
void gmatrix_GMultiply3DMatrices(double *result, const double *first, const double *second);
void gmatrix_GAdd3DVectors(double *result, const double *first, const double *second);
void gmatrix_GScaleMatrix(double *matrix, double factor);
double **gmatrix_GGetMatrix(long rows, long columns);
double **gmatrix_GGetSubMatrix(double **matrix, long row_count, long column_count, long first_row,
                               long first_column);
void gmatrix_GFreeMatrix(double **matrix);
void gmatrix_GFreeSubMatrix(double **rows);

// ---- colours -------------------------------------------------------------

struct GColour {
    char name[80];
    uint16_t red, green, blue;
    uint16_t conv[3];  // hue; HSV saturation, value or HLS lightness, saturation
    int64_t pixel;
};

int gcolour_GCreateDefColourTable();
GList *gcolour_GCreateDevColourTable();
int gcolour_GCopyDefaultColourTable(GList *table);
int gcolour_GIndexColourTable();
int gcolour_GDestroyColourTable(GList *table);
void gcolour_GCopyColour(GColour *destination, const GColour *source);
int gcolour_GAddColour(const GColour *colour);
int gcolour_GAddMoreColour(GList *table, const GColour *colour);
int gcolour_GReplaceColour(GList *table, const GColour *colour, long index);
GColour *gcolour_GGetColour(GList *table, long index);
GList *gcolour_GGetDefaultColourTable();
long GGetNumColoursIn(GList *table);
int gcolour_GReadColourDatabase(const char *path);
void gcolour_GCloseColourDatabase();
int gcolour_GLookupColour(GColour *colour, char *name);
long gcolour_GGetClosestMatch(const GColour *colour, const GColour *colours, long count);
int gcolour_GColourConvert(GColour *colour, int direction);
void GRGBtoHSV(const uint16_t in[3], uint16_t out[3]);
void GHSVtoRGB(const uint16_t in[3], uint16_t out[3]);
void GRGBtoHLS(const uint16_t in[3], uint16_t out[3]);
void GHLStoRGB(const uint16_t in[3], uint16_t out[3]);

struct GCanvasRecord;
struct GDeviceRecord;
int gcolour_GGetShadowColours(GCanvasRecord *canvas, long index, long *light, long *dark);
// llx, lly, urx, ury of the picture on a file device's page.
int gbits_GComputeBoundingBox(GDeviceRecord *device, long box[4]);

// ---- style tables --------------------------------------------------------

using GMarker = GVector;  // 16-bit, 2-D, two points per stroke segment
using GHatch = GVector;   // 16-bit, 2-D, (angle, spacing) per line family

struct GLineStyle {
    char name[80];
    double length;
    int32_t width;
    GVector dashes;  // unsigned bytes, 1-D; count 0 for a solid style
};

struct GFont {
    int64_t flags;
    char *name;
    char *path;
    int16_t height, width, baseline, numchars, numbits, vdcheight;
    double vdcaspect;
    GVector **glyphs;  // numchars slots, null for a device font
    char charset[80];
    unsigned char fixed, italic;
    char weight[80];
    char typeface[80];
    unsigned char nls;
};

enum : int64_t {
    GF_NAME = 0x1, GF_HEIGHT = 0x2, GF_WIDTH = 0x4, GF_BASELINE = 0x8, GF_NUMCHARS = 0x10,
    GF_NUMBITS = 0x20, GF_VDCHEIGHT = 0x40, GF_VDCASPECT = 0x80, GF_GLYPHS = 0x100, GF_CHARSET = 0x200,
    GF_FIXED = 0x400, GF_ITALIC = 0x800, GF_WEIGHT = 0x1000, GF_TYPEFACE = 0x2000, GF_NLS = 0x4000
};

int gmarker_GCreateDefMarkerTable();
GList *gmarker_GCreateDevMarkerTable();
int gmarker_GCopyDefaultMarkerTable(GList *table);
int gmarker_GIndexMarkerTable();
int gmarker_GDestroyMarkerTable(GList *table);
int GCopyMarker(GMarker *destination, const GMarker *source);
int gmarker_GAddMarker(const GMarker *marker);
int gmarker_GReplaceMarker(GList *table, const GMarker *marker, long index);
GMarker *gmarker_GGetMarker(GList *table, long index);
GList *gmarker_GGetDefaultMarkerTable();

int glines_GCreateDefLineTable();
GList *glines_GCreateDevLineTable();
int glines_GCopyDefaultLineTable(GList *table);
int glines_GIndexLineTable();
int glines_GDestroyLineTable(GList *table);
int GCopyLine(GLineStyle *destination, const GLineStyle *source);
int glines_GAddLine(const GLineStyle *line);
int glines_GReplaceLine(GList *table, const GLineStyle *line, long index);
GLineStyle *glines_GGetLine(GList *table, long index);
GList *glines_GGetDefaultLineTable();

int ghatch_GCreateDefHatchTable();
GList *ghatch_GCreateDevHatchTable();
int ghatch_GCopyDefaultHatchTable(GList *table);
int ghatch_GIndexHatchTable();
int ghatch_GDestroyHatchTable(GList *table);
int GCopyHatch(GHatch *destination, const GHatch *source);
int ghatch_GAddHatch(const GHatch *hatch);
int ghatch_GReplaceHatch(GList *table, const GHatch *hatch, long index);
GHatch *ghatch_GGetHatch(GList *table, long index);
GList *ghatch_GGetDefaultHatchTable();
// Steps between the lines of the hatch's first family; -1 when the hatch
// has no family or a spacing of 0 (no step can be derived).
int ghatch_GComputeHatchIncrements(GHatch *hatch, long *x_step, long *y_step, long *count);

int gfont_GCreateDefFontTable();
GList *gfont_GCreateDevFontTable();
int gfont_GCopyDefaultFontTable(GList *table);
int gfont_GIndexFontTable();
int gfont_GDestroyFontTable(GList *table);
int GCopyFont(GFont *destination, const GFont *source);
int gfont_GAddFont(const GFont *font);
int gfont_GReplaceFont(GList *table, const GFont *font, long index);
GFont *gfont_GGetFont(GList *table, long index);
GList *gfont_GGetDefaultFontTable();
// Frees what a font record owns (name, path); the glyph table is shared.
void gfont_GFreeFontFields(GFont *font);
// Glyph tables built by the configuration reader: freed with the default
// font table (gfont_GKeepGlyphs hands one over).
void gfont_GKeepGlyphs(GVector **glyphs, long count);
void gfont_GFreeGlyphs(GVector **glyphs, long count);

// Colour maps: a name and a list of colours (owned by the map).
struct GColourMap {
    char name[80];
    GList *colours;
};
int gcolmap_GCreateDefColourMapTable();
GList *gcolmap_GCreateDevColourMapTable();
int gcolmap_GCopyDefaultColourMapTable(GList *table);
int gcolmap_GIndexColourMapTable();
int gcolmap_GDestroyColourMapTable(GList *table);
int gcolmap_GAddColourMap(const GColourMap *map);
int gcolmap_GReplaceColourMap(GList *table, const GColourMap *map, long index);
GColourMap *gcolmap_GGetColourMap(GList *table, long index);
GList *gcolmap_GGetDefaultColourMapTable();

// Colour-map policy, process-wide: whether colour maps are worth loading,
// whether a private X colour map is in use, whether one may be made
// automatically.
void GColourMapParams(int worthwhile, int use_private, int upgrade);
void gcolmap_GUsePrivateColourMap(int use);
int gcolmap_GIsPrivateColourMap();
int GAutoUpgradeColourMap();
int gcolmap_GIsColourMapWorthIt();
void gcolmap_GColourMapImNotWorthy();
// The colour map a finished PCL drawing used, reset to -1 by the reading.
long gcolmap_GColourMapWasUsed();
void gcolmap_GSetColourMapUsed(long id);
// Keeps count evenly spaced colours of the device's colour map `index`;
// the new number of colours, or -1 when there is no such map.
long gcolmap_GPruneColourMap(GDeviceRecord *device, long index, long count);

// The X driver's colour cells, which the kernel links no X to reach: the
// driver installs them at start-up; until then every operation answers -1
// (too few cells).
struct GXColourCells {
    int (*AllocateColours)(GDeviceRecord *device, GList *colours);
    int (*FreeColours)(GDeviceRecord *device, GList *colours);
    int (*SetColours)(GDeviceRecord *device, GList *colours, long first, long count);
    // display, use-private byte in and out, X colour map out
    int (*CMInfo)(void *display, unsigned char *use_private, unsigned long *colourmap);
};
const GXColourCells *gcolmap_GSetColourCells(const GXColourCells *table);
const GXColourCells *gcolmap_GColourCells();

// A raster image of device pixels as the drivers' DrawImage receives it.
struct GRasterImage {
    int16_t x, y;  // lower-left corner, device units
    int16_t width, height;
    int16_t spare;  // -1
    int16_t depth;  // 8, 12 or 24; 1 a bitmap
    int16_t bits;   // storage bits per pixel: 8, 16 or 32 (1 for a bitmap)
    void *data;     // rows of pixels (vx_malloc); a driver that consumes it frees it and clears this
    unsigned char value_type;
    double offset, scale;
    long *pixels, *threshold_pixels, *band_pixels;  // 256 each, the library's
    unsigned char mask_flag;
    unsigned char *mask;  // rows of (width - 1) / 8 + 1 bytes, bit 0 the leftmost pixel
    int16_t mask_width, mask_height;
    unsigned char invert_y;  // the driver's InvertYDim answer
    unsigned char thresholds;
    unsigned char indices;   // 1: the values are colour indices (value type 5)
    int16_t colours;         // colours of colour map 0 when the image was made
};
static_assert(offsetof(GRasterImage, x) == 0 && offsetof(GRasterImage, y) == 2);
static_assert(offsetof(GRasterImage, width) == 4 && offsetof(GRasterImage, height) == 6);
static_assert(offsetof(GRasterImage, spare) == 8 && offsetof(GRasterImage, depth) == 10);
static_assert(offsetof(GRasterImage, bits) == 12 && offsetof(GRasterImage, data) == 16);
static_assert(offsetof(GRasterImage, value_type) == 24 && offsetof(GRasterImage, offset) == 32);
static_assert(offsetof(GRasterImage, scale) == 40 && offsetof(GRasterImage, pixels) == 48);
static_assert(offsetof(GRasterImage, band_pixels) == 64 && offsetof(GRasterImage, mask_flag) == 72);
static_assert(offsetof(GRasterImage, mask) == 80 && offsetof(GRasterImage, mask_width) == 88);
static_assert(offsetof(GRasterImage, invert_y) == 92 && offsetof(GRasterImage, colours) == 96);

// ---- transforms ----------------------------------------------------------

struct GXformPart {
    double offset[3];
    double m[9];
};
struct GXform {
    GXformPart forward;
    GXformPart inverse;
};

// ---- devices -------------------------------------------------------------

enum : unsigned char {
    GP_X = 0, GP_POSTSCRIPT = 1, GP_EPS = 2, GP_HPGL = 3, GP_HPGL2 = 4, GP_PCL = 5, GP_IMAGE = 6
};

enum : uint64_t {
    GDM_PROTOCOL = 0x1, GDM_DCXDIM = 0x2, GDM_DCYDIM = 0x4, GDM_UCXDIM = 0x8, GDM_UCYDIM = 0x10,
    GDM_DCXPOS = 0x20, GDM_DCYPOS = 0x40, GDM_BGCOLOUR = 0x80, GDM_COLOURMAP = 0x100,
    GDM_BORDERWIDTH = 0x200, GDM_BORDERCOLOUR = 0x400, GDM_BITDEPTH = 0x800, GDM_WINDOW = 0x1000,
    GDM_DISPLAYCONN = 0x2000, GDM_DISPLAY = 0x4000, GDM_ISWINDOW = 0x8000, GDM_BACKINGSTORE = 0x10000,
    GDM_LANDSCAPE = 0x20000, GDM_OUTPUT = 0x40000, GDM_FILLPAGE = 0x80000, GDM_SPOOLCMD = 0x100000,
    GDM_FILENAME = 0x200000, GDM_VISUAL = 0x400000, GDM_BASEDEVICE = 0x800000, GDM_DRIVERFLAG = 0x1000000,
    GDM_PROLOG = 0x2000000, GDM_EPILOG = 0x4000000, GDM_SUPPORTS = 0x8000000, GDM_CLRPLANES = 0x20000000,
    GDM_CENTRE = 0x40000000
};

struct GDeviceModes {
    unsigned char protocol;
    int64_t dcxdim, dcydim;
    int64_t ucxdim, ucydim;
    int16_t vdcxdim, vdcydim;
    int64_t dcxpos, dcypos;
    int64_t bg_colour;
    int16_t colourmap;
    unsigned char basedevice;
    int64_t borderwidth, bordercolour, bitdepth;
    uint64_t window;
    unsigned char iswindow, backingstore;
    void *displayconn;
    char display[255];
    unsigned char visual;
    int16_t clr_planes;
    unsigned char landscape, fillpage, output, driverflag, centre;
    char spoolcmd[255];
    char filename[255];
    char prolog[255];
    char epilog[255];
    uint32_t supports;
    int64_t scale;  // image device scale
};

enum { GT_COLOURS = 0, GT_FONTS, GT_HATCHES, GT_LINES, GT_MARKERS, GT_COLOURMAPS, GT_COUNT };

struct GDeviceEntry {
    uint64_t mask;
    GDeviceModes modes;
    GList *tables[GT_COUNT];
};

struct GCanvasRecord;
struct GDeviceRecord {
    GList *tables[GT_COUNT];
    GDeviceModes modes;
    GList *canvases;
    void *driver;
};

// The driver entry table and the installed drivers: gdriver.h.
// For drivers: takes the fields of the mask into the device's modes and
// recomputes the VDC extents when a device dimension changed.
void gdev_GApplyDeviceModes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *modes);
void gdev_GComputeVdcExtents(GDeviceModes *modes);

GDeviceRecord *GOpenDevice(uint64_t mask, const GDeviceModes *modes, GList *const tables[GT_COUNT]);
int GCloseDevice(GDeviceRecord *device);
int GSetDeviceModes(GDeviceRecord *device, uint64_t mask, const GDeviceModes *modes);
int GGetDeviceModes(GDeviceRecord *device, GDeviceModes *modes);
int GClearDevice(GDeviceRecord *device);
int GFlushDevice(GDeviceRecord *device);
int gdev_GCreateDefDeviceTable();
int gdev_GAddDevice(const GDeviceEntry *entry);
int gdev_GIndexDeviceTable();
int GGetDevice(long index, GDeviceEntry *entry);
// Destroys the six table lists of an entry that GGetDevice filled.
void gdev_GFreeDeviceEntry(GDeviceEntry *entry);
int gdev_GDestroyDeviceTable();
long gdev_GNumDevices();
void gdev_GSetBaseDevLimits(long x, long y);
void gdev_GGetBaseDevLimits(long *x, long *y);
void gdev_GSetBaseTransform(const GXform *transform);
GXform *gdev_GGetBaseTransform();

long GGetNumColours(GDeviceRecord *device);
long GGetNumMarkers(GDeviceRecord *device);
long GGetNumLines(GDeviceRecord *device);
long GGetNumHatches(GDeviceRecord *device);
long GGetNumFonts(GDeviceRecord *device);

// ---- canvases ------------------------------------------------------------

enum { GCS_DC = 1, GCS_VDC = 2, GCS_CC = 3, GCS_PS = 4, GCS_WC = 5, GCS_FIFTH = 7, GCS_CURRENT = 8 };

enum : uint64_t {
    GCM_DIMENSION = 0x1, GCM_CLIP = 0x2, GCM_COORDS = 0x4, GCM_ORIGIN = 0x8, GCM_SIZE = 0x10,
    GCM_CCEXTENT = 0x20, GCM_PSORIGIN = 0x40, GCM_PSSIZE = 0x80, GCM_ANGLE1 = 0x100, GCM_ANGLE2 = 0x200,
    GCM_PSEXTENT = 0x400, GCM_FIT = 0x800, GCM_WORLD = 0x1000, GCM_FLAG1 = 0x2000, GCM_FLAG3D = 0x4000,
    GCM_EXTRA = 0x8000, GCM_AXISBOX = 0x10000, GCM_TRANSFORMS = 0x17F8
};

struct GCanvasModes {
    unsigned char dimension;
    unsigned char clip;
    unsigned char coords;
    int16_t origin[2];
    int16_t size[3];
    int16_t ccextent[3];
    int16_t psorigin[2];
    int16_t pssize[3];
    int64_t angle1, angle2;
    int16_t psextent[3];
    int16_t fit[2];
    double world[6];
    double axisbox[6];
    unsigned char flag1;
    unsigned char flag3d;
    int64_t extra;
};

struct GMarkerModes {
    int64_t index;
    double scale;
};
struct GLineModes {
    int64_t style;
    int64_t colour;
    int16_t function;
    unsigned char flag;  // close flag
    int64_t width;
};
struct GFillModes {
    int64_t style, colour, hatch, rule, arc, function;
};
struct GTextModes {
    int64_t font, colour;
    double scale;
    int64_t angle, alignment;
};
// Surface modes: drawing style (mask 0x1: 0 rows, 1 columns, 2 both, 4 rows;
// for the marker surface 1 straight joins, 2 steps, 3 the steps' first
// part, 4 drawn as a surface) and a flag (mask 0x2); one spare byte.
struct GSurfaceModes {
    unsigned char style;
    unsigned char flag;
    unsigned char spare;
};

// Contour modes: one flag (mask 0x1, default 1) that allows the labels of
// contour lines.
enum : uint64_t { GCTM_LABELS = 0x1 };
struct GContourModes {
    unsigned char labels;
};

enum { GX_WC = 0, GX_PS = 1, GX_CC = 2, GX_VDC = 3, GX_FIFTH = 4 };

struct GCanvasRecord;
struct GRegion;
using GVectorOp = int (*)(GCanvasRecord *canvas, GVector *points);
using GScalarOp = double (*)(double value);

// Colour-map modes (the mask bits of the first three fields are out of
// field order: mode 0x1, range selector 0x4, levels 0x2).
enum : uint64_t {
    GCMM_MODE = 0x1, GCMM_LEVELS = 0x2, GCMM_RANGE = 0x4, GCMM_DATUM = 0x8, GCMM_DATAMIN = 0x10,
    GCMM_DATAMAX = 0x20, GCMM_LOWER = 0x40, GCMM_UPPER = 0x80, GCMM_SPARE = 0x100, GCMM_SPECIAL = 0x200,
    GCMM_FIXED = 0x400, GCMM_FIXEDVALUE = 0x800, GCMM_POLYLINE = 0x1000
};
struct GColourMapModes {
    unsigned char mode;   // 0 off, 1 colour by value
    unsigned char range;  // 0 data range, 1 bounds, 2 thresholds
    int16_t levels;
    int64_t datum;
    double datamin, datamax, lower, upper;
    unsigned char spare;
    int64_t special;      // colour index of values that get a fixed colour
    unsigned char fixed;  // 1: lines and rectangles by the fixed value
    double fixed_value;
    GVectorOp polyline;   // draws a line coloured along its length
};

// Threshold modes: at most eight bands (fill codes are mask 0x10, line
// styles 0x8).
enum : uint64_t {
    GTHM_COUNT = 0x1, GTHM_VALUES = 0x2, GTHM_COLOURS = 0x4, GTHM_LINES = 0x8, GTHM_FILLS = 0x10,
    GTHM_MARKERS = 0x20, GTHM_TOLINEAR = 0x40, GTHM_FROMLINEAR = 0x80, GTHM_XFORWARD = 0x100,
    GTHM_XBACK = 0x200, GTHM_YFORWARD = 0x400, GTHM_YBACK = 0x800, GTHM_ZFORWARD = 0x1000,
    GTHM_ZBACK = 0x2000, GTHM_SELECTOR = 0x4000
};
enum { GTH_MAX = 8 };
struct GThresholdModes {
    int16_t count;
    double values[GTH_MAX];
    int16_t colours[GTH_MAX];  // -1: the colour map spread over the band
    int16_t fills[GTH_MAX];    // 0, 1 fill style; 2 and more hatch code - 2
    int16_t lines[GTH_MAX];
    int16_t markers[GTH_MAX];
    unsigned char selector;    // a point's value: 1 y, 2 |(x, y)|, 3 |(x, y, z)|, 4 z, 5 the fixed value
    GVectorOp to_linear, from_linear;
    GScalarOp x_forward, x_back, y_forward, y_back, z_forward, z_back;
};

// Grid modes (the mask bits are out of field order: method 0x1, line
// colour lock 0x2, cached grid 0x4, patch centres 0x8, aggregation 0x10).
enum : uint64_t { GGM_METHOD = 0x1, GGM_LOCK = 0x2, GGM_CACHED = 0x4, GGM_CENTRES = 0x8, GGM_AGGREGATION = 0x10 };
struct GGrid;
struct GGridModes {
    unsigned char line_colour_lock;  // line colours stay while colouring by value
    unsigned char patch_centres;     // completion keeps patch-centre values
    unsigned char method;            // completion method 0 .. 4 (and point snapping)
    unsigned char aggregation;       // how points on one node combine, 0 .. 7
    GGrid *cached;                   // the canvas's grid kept for redraws (owned)
};

// Mesh modes: the switches the shaded-surface kind sets for meshes, skirts
// and images.
enum : uint64_t { GMSM_SKIRT = 0x1, GMSM_BORDER = 0x2, GMSM_COLOURING = 0x4, GMSM_SHADING = 0x8, GMSM_COLOUR = 0x10 };
struct GMeshModes {
    unsigned char skirt;   // 1: a data class also draws its skirt
    unsigned char border;  // 1: a cleared image keeps only the cells drawn later (masked)
    int64_t colouring;     // 2: shaded colouring
    int64_t shading;       // 0 mesh, 1 shaded rendering
    int64_t colour;        // colour of the mesh lines
};
static_assert(offsetof(GMeshModes, skirt) == 0 && offsetof(GMeshModes, border) == 1);
static_assert(offsetof(GMeshModes, colouring) == 8 && offsetof(GMeshModes, shading) == 16);
static_assert(offsetof(GMeshModes, colour) == 24);

struct GCanvasRecord {
    GXform xf[5];  // world, plot space, canvas and virtual device to device; fifth
    GXform *current;
    GCanvasModes modes;
    GMarkerModes marker;
    GLineModes line;
    GFillModes fill;
    GTextModes text;
    GSurfaceModes surface;
    GContourModes contour;
    GColourMapModes colourmap;
    GGridModes grid;
    GMeshModes mesh;
    GThresholdModes threshold;
    void *reserved;
    void *driver;  // the driver's canvas part
    GDeviceRecord *device;
};

GCanvasRecord *GOpenCanvas(GDeviceRecord *device, uint64_t mask, const GCanvasModes *modes);
int GCloseCanvas(GCanvasRecord *canvas);
int GSetCanvasModes(GCanvasRecord *canvas, uint64_t mask, const GCanvasModes *modes);
int GGetCanvasModes(GCanvasRecord *canvas, GCanvasModes *modes);
int GClearCanvas(GCanvasRecord *canvas);
int GFlushCanvas(GCanvasRecord *canvas);
GDeviceRecord *GDeviceFromCanvas(GCanvasRecord *canvas);
int GGetCanvasColour(GCanvasRecord *canvas, long *colour, unsigned char selector);
long GSetCanvasColour(long colour);
long GGetNumColoursCanv(GCanvasRecord *canvas);
int GComputeAllTransformations(GCanvasRecord *canvas);
int GComputeVdcToDc(GCanvasRecord *canvas);
int GComputeCcToVdc(GCanvasRecord *canvas);
int GComputePsToCc(GCanvasRecord *canvas);
int GComputeWcToPs(GCanvasRecord *canvas);
// Eight corners of the PS extent box in canvas coordinates: min x, min y,
// max x, max y.
int GGetPlotspaceBoundingBox(GCanvasRecord *canvas, const GXformPart *ps_to_cc, double box[4]);
int GFudgePlotspaceTransform(GCanvasRecord *canvas, GXformPart *ps_to_cc);

// ---- coordinate transforms -----------------------------------------------

void gcoords_GInitialiseTransform(GXform *transform);
GXform *gcoords_GCreateTransform();
void gcoords_GCopyTransform(GXform *destination, const GXform *source);
void gcoords_GDestroyTransform(GXform *transform);
void gcoords_GCombineTransforms(GXform *result, const GXform *first, const GXform *second);
void gcoords_GHackXformToInvertYdim(GXform *transform, double height);
void gcoords_GScaleTransformIsotropic(GXform *transform, double factor);
int GTransformPoints(GCanvasRecord *canvas, int from, int to, const GVector *input, GVector *output);
int gcoords_GTransformVector(GVector *output, const GVector *input, const GXform *transform, int part,
                             int output_type, int dimensions);
void *gcoords_GGetXformMemory(GVector *vector, int element_type);
double GTransformLength(GCanvasRecord *canvas, int unit, int axis, double length);
int GTransformBaseToVdcPoints(const GVector *input, GVector *output, int keep, const GDeviceModes *modes);
GXform *gcoords_GCreateUserTransform(GCanvasRecord *canvas, const double *origin, const double *position,
                                     const long *angles, const double *scales, const double *flips, int mode);
void gcoords_GFreeUserTransform(GXform *transform);
// Sets the inverse part from the forward part.
void gcoords_GInvertForward(GXform *transform);
// Applies one part of a transform to a single point.
void gcoords_GApplyPart(const GXformPart *part, const double in[3], double out[3]);

// ---- configuration language ----------------------------------------------

struct GParseNode {
    int64_t keyword;
    char *value;
    uint32_t line;
    GParseNode *child;
    GParseNode *next;
};

struct GHashEntry;
struct GHashTable {
    int16_t buckets;
    GHashEntry **chains;
};

char *glex_GReadToken(FILE *file, char *buffer, int limit, int *line);
FILE *gparse_GOpenParseFile(const char *name, const char *directory);
int gparse_GCloseParseFile(FILE *file);
int gparse_GCreateParseTree(GParseNode **tree, FILE *file, const char *directory, GHashTable *keywords,
                            int *line);
void gparse_GDestroyParseTree(GParseNode *node);
// Frees a whole tree, the given head included.
void gparse_GFreeParseTree(GParseNode *tree);
char *GExpandParseString(const char *text);
int GFindEnvironmentVariable(const char *text, long *start, long *length);
char *GLowerCase(char *text);
GHashTable *ghash_GCreateHashTable(int buckets);
int ghash_GInsertHash(GHashTable *table, const char *key, int length, long value);
long ghash_GHash(GHashTable *table, const char *key, int length);
int ghash_GDeleteHash(GHashTable *table, const char *key, int length);
void ghash_GDestroyHashTable(GHashTable *table);
int grev_GCheckFileRevision(const char *path, int wanted, int *reason);
void grev_GDumpFileRevision(FILE *file);

// ---- configuration reader ------------------------------------------------

enum { GCONFIG_NKEYS = 73, GK_INCLUDE = 50 };
extern char gconfig_keys[GCONFIG_NKEYS][16];
int gconfig_GReadConfiguration(const char *directory, const char *config_file, const char *database_path);
int GSetupConfigHash(GHashTable *table);
int GInitialiseTables(GParseNode *tree, const char *database_path);

// ---- style modes ---------------------------------------------------------

GFont *gfont_GGetCanvasFont(GCanvasRecord *canvas, long index);
int GSetMarkerModes(GCanvasRecord *canvas, uint64_t mask, const GMarkerModes *modes);
int GGetMarkerModes(GCanvasRecord *canvas, GMarkerModes *modes);
int gmarker_GSetDefaultMarkerModes(GCanvasRecord *canvas);
int GSetLineModes(GCanvasRecord *canvas, uint64_t mask, const GLineModes *modes);
int GGetLineModes(GCanvasRecord *canvas, GLineModes *modes);
int gline_GSetDefaultLineModes(GCanvasRecord *canvas);
int GSetFillModes(GCanvasRecord *canvas, uint64_t mask, const GFillModes *modes);
int gfill_GSetDefaultFillModes(GCanvasRecord *canvas);
int GGetFillModes(GCanvasRecord *canvas, GFillModes *modes);

// ---- drawing -------------------------------------------------------------

void gdraw_GDrawLine(GCanvasRecord *canvas, const GVector *first, const GVector *second);
short gdraw_GDrawLineSupp(GCanvasRecord *canvas, const GVector *first, const GVector *second);
short gdraw_GDrawLines(GCanvasRecord *canvas, const GVector *points);
short gdraw_GDrawPolyLine(GCanvasRecord *canvas, GVector *points);
short gdraw_GDrawFilledPolygon(GCanvasRecord *canvas, GVector *points, const long *colour_index);
short gdraw_GDraw2DFilledPolygon(GCanvasRecord *canvas, const GVector *points, int by_value,
                                 const double *value);
short gdraw_GDrawRectangle(GCanvasRecord *canvas, const GVector *first, const GVector *second);
short gdraw_GDrawArc(GCanvasRecord *canvas, const GVector *first, const GVector *second, long a, long b);
short gdraw_GDrawMarkers(GCanvasRecord *canvas, const GVector *points);
short gdraw_GDrawSelectMarker(GCanvasRecord *canvas, const GVector *points, long n);
short gdraw_GDrawTextLines(GCanvasRecord *canvas, const GVector *points);
short gdraw_GDrawGrid(GCanvasRecord *canvas, const GVector *p1, const GVector *p2, long n, const GVector *p3);
short GCommentOutput(GCanvasRecord *canvas, const char *text);
short GClearArea(GCanvasRecord *canvas, const GVector *first, const GVector *second);

// ---- volume clipping ------------------------------------------------------
// Only while the canvas clips to the world volume (clip selector 3 and the
// 3-D flag set); otherwise nothing is clipped (0).

int gclip_GPointInWorld(GCanvasRecord *canvas, const double *point);
// A closed polygon of 3-D doubles, in place (its data holds 100 points, or
// its count if more): 1 cut, 0 whole, -1 outside or degenerate (count 0).
int gclip_GClipToVolume(GCanvasRecord *canvas, GVector *polygon);
// An open polyline: 1 with a new array of 3-D points (the caller's), 0
// nothing cut, -1 outside; the input is left as it was.
int gclip_GClipLineToVolume(GCanvasRecord *canvas, const GVector *polyline, double **points, long *count);
// One segment, its ends moved in place: 1 cut, 0 whole, -1 outside.
int gclip_GClipOneLineToVolume(GCanvasRecord *canvas, GVector *first, GVector *second);

// ---- point surfaces and borders --------------------------------------------

// A chain of point arrays over two shared storage blocks (points of the
// surface's element type, interleaved x, y, z, and their 64-bit column
// indices), grown by 2048 points at a time.  The arrays lie one after
// another in the blocks; every array's pointers move with a block.  The
// first array also keeps the capacity, the number of points, the number of
// arrays and the rows started.
struct GSurface {
    GSurface *next;
    int64_t maxcol;     // highest column index of this array's points
    GVector points;     // 3-D, interleaved, into the point block
    int64_t *columns;   // into the index block
    int64_t capacity;   // first array only
    int64_t total;
    int64_t arrays;
    int64_t rows;
};

// One patch of a depth-sorted surface: its first corner's column and row,
// and that corner's depth in device coordinates.
struct GDepthEntry {
    int16_t column;
    int16_t row;
    double depth;
};

enum { GSURF_POINT = 0, GSURF_ROW = 2, GSURF_ARRAY = 3 };

// capacity -1 (or any other below 1) for 2048; element type 0 double,
// 1 float, 2 long, 3 short.  Null with (4, 3) or (2, 6).
GSurface *gsurf_GCreateSurface(long capacity, int element_type);
int gsurf_GDestroySurface(GSurface *surface);
// point: x, y, z of the surface's element type.  End code GSURF_ROW starts
// a new row after the point (counted), GSURF_ARRAY a new array (not
// counted).  0, or -1 with (4, 3) and the surface as it was.
int gsurf_GAddSurfacePoint(GSurface *surface, const void *point, long column, int end_code);
int gsurf_GGetSurfaceSize(const GSurface *surface, long *points, long *arrays);
int gsurf_GDrawSurface(GCanvasRecord *canvas, GSurface *surface);
int gsurf_GDraw2DMarkerSurface(GCanvasRecord *canvas, GSurface *surface);
int gsurf_GDrawThreeDeeImpulses(GCanvasRecord *canvas, GSurface *surface, int axis, double base);
// The (R - 2) x (C - 1) patches sorted by increasing depth, in a new array
// the caller frees with vx_free.  Fewer than two arrays or no points: null
// with count 0.  Failure: null with count -1 ((4, 3), or (3, 22) when a
// column or row does not fit the entries).
GDepthEntry *gsurf_GSurfaceCreateDepthList(GCanvasRecord *canvas, GSurface *surface, long *count);
// Fills the vector (its data newly allocated, of the surface's element
// type) with edge 1 to 5; an empty surface gives an empty vector.  0 or -1.
int gsurf_GGetSurfaceEdge(GVector *vector, GSurface *surface, int edge, double base);
int gsurf_GSetSurfaceModes(GCanvasRecord *canvas, uint64_t mask, const GSurfaceModes *modes);
int gsurf_GGetSurfaceModes(GCanvasRecord *canvas, GSurfaceModes *modes);
int gsurf_GSetDefaultSurfaceModes(GCanvasRecord *canvas);

int GDrawCanvasBorder(GCanvasRecord *canvas);
int GDrawPlotSpaceBorder(GCanvasRecord *canvas);
int GDrawDeviceBorder(GCanvasRecord *canvas);
// The nearest corner of the world box (bits 4 x max, 2 y max, 1 z max).
int GGet3dBackPlanes(GCanvasRecord *canvas, int *x, int *y, int *z);
// Directions of the x, y and z axes on the canvas, in 1/64 degree.
int GGetAxisOrientations(GCanvasRecord *canvas, int16_t *x, int16_t *y, int16_t *z);

// ---- text ----------------------------------------------------------------

int GSetTextModes(GCanvasRecord *canvas, uint64_t mask, const GTextModes *modes);
int gtext_GSetDefaultTextModes(GCanvasRecord *canvas);
int GGetTextModes(GCanvasRecord *canvas, GTextModes *modes);
int GGetRelativeTextLimits(GCanvasRecord *canvas, const char *text, short corners[8]);
int GGetTextOrgOffset(short *x, short *y, long alignment, const short corners[8]);
void GSetupRotationMatrix(double *matrix, long angle);
int GFontMetrics(const char *text, const GFont *font, double size, long *width, long *height, long *depth,
                 long *bearing);
int GGetTextLimits(GCanvasRecord *canvas, const char *text, const GVector *position, short corners[8]);
int GClearText(GCanvasRecord *canvas, const GVector *position, const char *text);
int GPutText(GCanvasRecord *canvas, const GVector *position, const char *text);
int gtext_GIsStrokeFont(GCanvasRecord *canvas, long index);

// ---- thresholds ----------------------------------------------------------

int gthresh_GSetThresholdModes(GCanvasRecord *canvas, uint64_t mask, const GThresholdModes *modes);
int gthresh_GGetThresholdModes(GCanvasRecord *canvas, GThresholdModes *modes);
int gthresh_GSetDefaultThresholdModes(GCanvasRecord *canvas);
int gthresh_GThreshToLinear(GCanvasRecord *canvas, GVector *points);
int gthresh_GThreshFromLinear(GCanvasRecord *canvas, GVector *points);
int gthresh_GThreshToPolar(GCanvasRecord *canvas, GVector *points);
int gthresh_GThreshFromPolar(GCanvasRecord *canvas, GVector *points);
// The bands' boundary values and then the upper bound, in a new array (at
// most 256 values plus the bound) the caller frees with vx_free; -1 while
// the colour-map modes do not use thresholds.
int gthresh_GGetThresholdValues(GCanvasRecord *canvas, long *count, double **values);

// ---- colour maps ---------------------------------------------------------

long GGetNumColourMaps(GDeviceRecord *device);
long GGetNumColourMapsCanv(GCanvasRecord *canvas);
int gcolmap_GColourMapIsPrivate(void *display, unsigned char *use_private);
// Loads colour map `index` into the device: the number of its colours (the
// colour table's size on HP-GL), 0 when it cannot be loaded.
long GUseColourMap(GDeviceRecord *device, long index);
int GFreeColours(GDeviceRecord *device);
int GForgetColourMap(GCanvasRecord *canvas);
int gcolmap_GSetColourMapModes(GCanvasRecord *canvas, uint64_t mask, const GColourMapModes *modes);
int gcolmap_GGetColourMapModes(GCanvasRecord *canvas, GColourMapModes *modes);
int gcolmap_GSetDefaultColourMapModes(GCanvasRecord *canvas);
int gcolmap_GCheckForColourMap(GCanvasRecord *canvas, long datum, double maximum, double minimum, double upper,
                               double lower);
// Colours from the first point of a vector of doubles.
int GColourValue(GCanvasRecord *canvas, const GVector *points, int fill, int text, int full_style);
// The same for a value already taken from a point.
int gcolmap_GColourByValue(GCanvasRecord *canvas, double value, int fill, int text, int full_style);
int gcolmap_GSetColour(GCanvasRecord *canvas, long index, int fill, int text);
int GSetSpecialColour(GCanvasRecord *canvas, int line, int fill);
// Device pixels of a colour list (null: colour map 0) into values[256].
int gcolmap_GGetPixelValues(GDeviceRecord *device, long values[256], GList *colours);
int gcolmap_GColourMapInfo(GCanvasRecord *canvas, long *count, long pixels[256], long threshold_pixels[GTH_MAX],
                           long band_pixels[256]);
int gcolmap_GRemoveColourMapColours(GDeviceRecord *device, long index);
int gcolmap_GColourPolyLine(GCanvasRecord *canvas, GVector *points);
int gcolmap_GColourPolarLine(GCanvasRecord *canvas, GVector *points);

// Colour-map files.
int gcolmap_GWriteColourMapFile(const char *path);
int gcolmap_GReadColourMapFile(GDeviceRecord *device, const char *directory, const char *name);

// ---- clipping regions ----------------------------------------------------

struct GRegionPoint {
    double x, y, z;
    GRegionPoint *next, *prev;
};
struct GRegion {
    int32_t count;
    int32_t flag;
    GRegionPoint *first, *last, *current;
    GRegionPoint **fast;  // entry i the point at index i, then a null entry
    int64_t fast_size;    // entries of `fast`
};

GRegion *gclip_GCreateRegion(int flag);
void gclip_GDestroyRegion(GRegion *region);
// points: n times x, y, z.
void gclip_GAddToRegion(GRegion *region, long index, long n, const double *points, int rebuild);
int GDeleteFromRegion(GRegion *region, long index, long n, int rebuild);
GRegion *gclip_GIntersectWithRegion(GRegion *region, long n, const double *points, int mode);
GRegion *gclip_GIntersectRegions(GRegion *a, GRegion *b);
GCanvasRecord *gclip_GAddSurfaceToRegion(GCanvasRecord *canvas, GRegion *region, GSurface *surface, long max_arrays,
                                         int mode);
GSurface *gclip_GGetSurfaceFromRegion(GCanvasRecord *canvas, GRegion *region);
int GClipToSurface(GCanvasRecord *canvas, GSurface *surface);
// Clips an open 2-D polyline to the canvas's clipping region: the pieces
// inside, one after another in a new array of x, y, 0 points (count in
// all), with each piece's number of points in a second new array.  The
// number of pieces, or -1.  The caller frees both arrays with vx_free.
long GClipLine(GCanvasRecord *canvas, const GVector *polyline, double **points, long *count, long **pieces);
// Where the segment crosses y = level (z = level); the result lives until
// the next call.
const double *gclip_GSplitLine(const GVector *first, const GVector *second, double level);
const double *gclip_GSplitZLine(const GVector *first, const GVector *second, double level);
GRegion *gclip_GAddPointToRegion(GRegion *region);
GRegion *gclip_GClipSurfaceToRegion(GRegion *region);
GRegion *gclip_GUnionRegions(GRegion *region);
int orient2d(const double *a, const double *b, const double *c);
// Side of (x, y) from the line through (x1, y1), (x2, y2): 1, 0 or -1.
int gclip_GSide(double x1, double y1, double x2, double y2, double x, double y);

// ---- drawing by colour ---------------------------------------------------

short gdraw_GDrawColouredRectangle(GCanvasRecord *canvas, const GVector *first, const GVector *second, int direction);
short gdraw_GDrawColouredBar(GCanvasRecord *canvas, const GVector *first, const GVector *second);

// ---- mesh modes ------------------------------------------------------------

int gmesh_GSetMeshModes(GCanvasRecord *canvas, uint64_t mask, const GMeshModes *modes);
int gmesh_GGetMeshModes(GCanvasRecord *canvas, GMeshModes *modes);
int gmesh_GSetDefaultMeshModes(GCanvasRecord *canvas);

// ---- contour modes ---------------------------------------------------------

int GSetContourModes(GCanvasRecord *canvas, uint64_t mask, const GContourModes *modes);
int GGetContourModes(GCanvasRecord *canvas, GContourModes *modes);
int GSetDefaultContourModes(GCanvasRecord *canvas);

// ---- raster images of values -----------------------------------------------

enum : unsigned char { GIMG_DOUBLE = 0, GIMG_SHORT = 3, GIMG_INDEX = 5 };
// A new image of width x height pixels whose lower-left corner is the
// one-point `position` (in the canvas's coordinate system).  `range` holds
// the minimum and maximum of the values: two doubles for GIMG_DOUBLE, two
// 16-bit integers for GIMG_SHORT, nothing for GIMG_INDEX (values are colour
// indices).  Null with (4, 21) on an HP-GL device, (3, 22) for a bad size or
// value type, (4, 3) when memory runs out.
GRasterImage *GCreateImage(GCanvasRecord *canvas, long width, long height, const GVector *position,
                           const void *range, int value_type);
// Frees the mask, the pixels (unless a driver consumed them) and the image;
// -1 for none.
int GDestroyImage(GRasterImage *image);
// Stores the pixel of `value` at (column, row), row 0 the bottom row; a cell
// outside the image is left alone.  Called once a cell, so it is inline.
inline void GDoubleToPixel(GCanvasRecord *canvas, GRasterImage *image, long column, long row, double value);
// Fills every pixel with the canvas background's pixel, or, while the mesh
// modes' border switch is on, with 0 and marks the image as masked.
int GClearImageData(GCanvasRecord *canvas, GRasterImage *image);
// Builds the mask of a masked image and hands the image to the driver.
int GDrawImage(GCanvasRecord *canvas, GRasterImage *image);
long GImageMethod(long value);

// ---- colour-map palette ------------------------------------------------------
// Colour map 0 of the default table as a grid of cells on a canvas, and
// the editor's operations on its cells.  Components are 0..255 for red,
// green and blue, hue 0..359, saturation and value 0..100.

// Draws the palette over the whole device: 0, or -1 with (3, 22) for a grid
// whose cells would be under one pixel.
int gcolmap_GDrawColourMapPalette(GCanvasRecord *canvas, long rows, long columns);
// Cell lookups answer -1 until a palette was drawn.
int gcolmap_GColourMapGetCell(GCanvasRecord *canvas, long x, long y, long *cell);
int gcolmap_GColourMapCellBox(GCanvasRecord *canvas, long cell, long *x1, long *y1, long *x2, long *y2);
int gcolmap_GColourMapGetPaletteEntry(GCanvasRecord *canvas, long cell, long rgb[3], long hsv[3]);
// space 0: `in` is red, green, blue and `out` gets hue, saturation, value;
// space 1 the other way round.
int gcolmap_GColourMapSetPaletteEntry(GCanvasRecord *canvas, long cell, int space, const long in[3], long out[3]);
// function 0 fill (from the last cell, or the first with end flag 1),
// 1 linear, 2 exponential interpolation between the end cells.
int gcolmap_GApplyColourMapFunction(GCanvasRecord *canvas, int function, long first, long last, int end_flag);
// Clip lists of owned colour copies; null for a range outside the map.
GList *gcolmap_GColourMapCut(GCanvasRecord *canvas, long first, long last);
GList *gcolmap_GColourMapCopy(GCanvasRecord *canvas, long first, long last);
int gcolmap_GColourMapFreeClip(GCanvasRecord *canvas, GList *clip);
int gcolmap_GColourMapPaste(GCanvasRecord *canvas, long cell, GList *clip);
// Passes changed cells of colour map 0 to the X colour cells (X devices
// only; 0 elsewhere).
int GSetColourMapColours(GDeviceRecord *device, long first, long count);

// ---- the value-to-pixel step of images, inline ---------------------------------

// The integer part of an index, held to 0 .. colours - 1 (NaN to 0).
inline long gimage_GClampIndex(double index, long colours)
{
    if (!(index > 0) || colours < 1)
        return 0;
    long top = (colours < 256 ? colours : 256) - 1;
    return index >= static_cast<double>(top) ? top : static_cast<long>(index);
}

// Stores a pixel in the image's storage width; a bitmap stores nothing.
inline void gimage_GStore(GRasterImage *im, long at, long pixel)
{
    switch (im->bits) {
    case 8: static_cast<uint8_t *>(im->data)[at] = static_cast<uint8_t>(pixel); break;
    case 16: static_cast<uint16_t *>(im->data)[at] = static_cast<uint16_t>(pixel); break;
    case 32: static_cast<uint32_t *>(im->data)[at] = static_cast<uint32_t>(pixel); break;
    default: break;
    }
}

// The pixel of a value through the thresholds: the colour map spread over
// a band of colour -1 (the map's own pixels at every depth), else the
// band's own colour.
inline long gimage_GThresholdPixel(const GCanvasRecord *c, const GRasterImage *im, double value)
{
    const GThresholdModes &t = c->threshold;
    int count = t.count < int(GTH_MAX) ? t.count : int(GTH_MAX);
    int band = 0;
    for (int i = 1; i < count; i++)
        if (t.values[i] <= value)
            band = i;
    if (t.colours[band] != -1)
        return im->threshold_pixels[band];
    const GColourMapModes &m = c->colourmap;
    double lower = band == 0 ? m.datamin : t.values[band];
    double upper = band == count - 1 ? m.datamax : t.values[band + 1];
    long levels = m.levels < im->colours ? m.levels : im->colours;
    double index = 0;
    if (levels > 1 && upper != lower)
        index = (value - lower) * static_cast<double>(levels - 1) / (upper - lower);
    return im->pixels[gimage_GClampIndex(index, levels > 0 ? levels : im->colours)];
}

inline void GDoubleToPixel(GCanvasRecord *canvas, GRasterImage *image, long column, long row, double value)
{
    if (!canvas || !image || !image->data || column < 0 || row < 0 || column >= image->width ||
        row >= image->height || image->bits == 1)
        return;
    long pixel;
    if (image->indices)
        pixel = image->pixels[gimage_GClampIndex(value, image->colours)];
    else if (image->thresholds && canvas->threshold.count > 0)
        pixel = gimage_GThresholdPixel(canvas, image, value);
    else
        pixel = image->pixels[gimage_GClampIndex((value - image->offset) * image->scale, image->colours)];
    gimage_GStore(image, column + row * image->width, pixel);
}
