// The raster image library: in-memory RGB or grey images, a process-wide
// table of colours addressed by handles, graphics contexts, bitmap (BDF)
// fonts, drawing primitives and image files.
//
// Every object carries its magic number in its first word; each operation
// tests it and answers a missing or wrong object with that kind's error
// code (never a fault).  Every operation returns 0 or an error code whose
// text IErrorString gives.
#pragma once

#include <cstddef>
#include <cstdio>
#include <nl_types.h>

// ---- error codes -----------------------------------------------------------

enum {
    IERR_INVALID_IMAGE = 1,
    IERR_INVALID_GC = 2,
    IERR_INVALID_COLOR = 3,
    IERR_NO_TRANSPARENT = 4,
    IERR_INVALID_FONT = 5,
    IERR_NOT_IMPLEMENTED = 6,
    IERR_INVALID_FORMAT = 7,
    IERR_INVALID_FILE = 8,
    IERR_WRITE = 9,
    IERR_NO_FONT = 10,
    IERR_FONT_NOT_FOUND = 11,
    IERR_NO_SUCH_FILE = 12,
    IERR_FONT = 13,
    IERR_BAD_ESCAPE = 14,
    IERR_INVALID_ARGUMENT = 15,
    IERR_INVALID_COLOR_NAME = 16,
    IERR_GIF = 17,
    IERR_NO_GIF = 18,
    IERR_PNG = 19,
    IERR_NO_PNG = 20,
    IERR_INVALID_POLYGON = 21,
};

const char *IErrorString(int code);

// The catalogue ("pelx") whose sets 50 and 51 give the library's texts; the
// built-in texts serve while none is set.  The caller keeps it open.
void ISetCatalogue(nl_catd catalogue);

// ---- objects -----------------------------------------------------------------

inline constexpr int IMAGIC_IMAGE = 467;
inline constexpr int IMAGIC_GC = 333;
inline constexpr int IMAGIC_COLOR = 847;
inline constexpr int IMAGIC_FONT = 104;

// One colour of the colour table.  The two built-in colours (0 black,
// 1 white) carry no magic: they can be used but never freed.
struct IColor {
    int magic;
    unsigned char red, green, blue;
    int handle;
};

// A font handle names an entry of the font registry.
struct IFont {
    int magic;
    char *name;
};

// Text styles of a graphics context.
enum { ITEXT_PLAIN = 0, ITEXT_RAISED = 1, ITEXT_SUNK = 2, ITEXT_SHADOW = 3 };

// A graphics context keeps copies of its colours, so that freeing a colour
// handle never leaves it pointing at released memory.
struct IGC {
    int magic;
    IColor foreground;
    IColor background;
    IFont *font;
    short antialiased;
    int line_width;
    int line_style;   // 1 dashed
    int text_style;   // ITEXT_*
};

// Pixels run row after row from the top: three bytes (red, green, blue) per
// pixel, or one for a grey image.  A transparent colour is set when its
// magic is not 0.
struct IImage {
    int magic;
    int width, height;
    int clip;
    int clip_x1, clip_y1, clip_x2, clip_y2;
    char *comment;
    unsigned char *pixels;
    IColor transparent;
    short grey;
};

static_assert(offsetof(IColor, magic) == 0);
static_assert(offsetof(IFont, magic) == 0);
static_assert(offsetof(IGC, magic) == 0);
static_assert(offsetof(IImage, magic) == 0);

// ---- colours -------------------------------------------------------------------

int IAllocColor(int red, int green, int blue);
IColor *IGetColor(int handle);
int IFreeColor(int handle);
int IAllocNamedColor(const char *name, int *handle);
// The number of handles handed out so far (the built-in two included).
int INumColors();

// ---- graphics contexts -----------------------------------------------------

IGC *ICreateGC();
int IFreeGC(IGC *gc);
int ISetForeground(IGC *gc, int handle);
int ISetBackground(IGC *gc, int handle);
int ISetFont(IGC *gc, IFont *font);
int ISetAntiAliasedFont(IGC *gc, IFont *font);
int ISetLineWidth(IGC *gc, int width);
int ISetLineStyle(IGC *gc, int style);
int ISetTextStyle(IGC *gc, int style);

// ---- images ------------------------------------------------------------------

enum { IIMAGE_GREY = 0x1 };

// None for a negative size or one too large to hold.
IImage *ICreateImage(int width, int height, int flags);
int IDuplicateImage(IImage *image, IImage **copy);
int IImageWidth(IImage *image);
int IImageHeight(IImage *image);
int IFreeImage(IImage *image);
int ISetComment(IImage *image, const char *text);
int IGetComment(IImage *image, const char **text);
int ISetTransparent(IImage *image, int handle);
int IGetTransparent(IImage *image, int *handle);
int IImageClipOn(IImage *image, int x1, int y1, int x2, int y2);
int IImageClipOff(IImage *image);

// ---- drawing -----------------------------------------------------------------

int IDrawPoint(IImage *image, IGC *gc, int x, int y);
int IDrawLine(IImage *image, IGC *gc, int x1, int y1, int x2, int y2);
int IFillRectangle(IImage *image, IGC *gc, int x, int y, int width, int height);
int IFillPolygon(IImage *image, IGC *gc, const int *points, int count);
int IDrawArc(IImage *image, IGC *gc, int cx, int cy, int rx, int ry, double a1, double a2);
int IDrawEnclosedArc(IImage *image, IGC *gc, int cx, int cy, int rx, int ry, double a1, double a2);
int IFillArc(IImage *image, IGC *gc, int cx, int cy, int rx, int ry, double a1, double a2);
int ICopyImage(IImage *src, IImage *dst, IGC *gc, int sx, int sy, int width, int height, int dx, int dy);
int ICopyImageScaled(IImage *src, IImage *dst, IGC *gc, int sx, int sy, int sw, int sh, int dx, int dy, int dw,
                     int dh);

// ---- fonts and text --------------------------------------------------------

int ILoadFontFromFile(const char *name, const char *path, IFont **font);
int ILoadFontFromData(const char *name, const char *const *lines, IFont **font);
int IFreeFont(IFont *font);
int IFontSize(IFont *font, int *size);

int IFontBDFReadFile(const char *name, const char *path);
int IFontBDFReadData(const char *name, const char *const *lines);
int IFontBDFFree(const char *name);
int IFontBDFGetChar(const char *font_name, const char *glyph_name, const int **bits, int *width, int *height,
                    int *advance, int *pixel_size, int *x_offset, int *y_offset);

// Directions of IDrawStringRotated.
enum { IDIR_RIGHT = 0, IDIR_UP = 1, IDIR_DOWN = 2 };

int IDrawStringRotatedAngle(IImage *image, IGC *gc, int x, int y, const char *text, int length, double angle);
int IDrawStringRotated(IImage *image, IGC *gc, int x, int y, const char *text, int length, int direction);
int IDrawString(IImage *image, IGC *gc, int x, int y, const char *text, int length);
int ITextDimensions(IGC *gc, IFont *font, const char *text, int length, int *width, int *height);
int ITextWidth(IGC *gc, IFont *font, const char *text, int length, int *width);
int ITextHeight(IGC *gc, IFont *font, const char *text, int length, int *height);

// ---- files ---------------------------------------------------------------------

enum {
    IFORMAT_GIF = 0,
    IFORMAT_PPM = 1,
    IFORMAT_PGM = 2,
    IFORMAT_PBM = 3,
    IFORMAT_XPM = 4,
    IFORMAT_XBM = 5,
    IFORMAT_PNG = 6,
    IFORMAT_JPEG = 7,
    IFORMAT_BMP = 8,
    IFORMAT_COUNT = 9,
};

// Writer flags bit 0: the plain-text variant.  Reader flags bit 0: a grey
// image where the reader can give one.
enum { IFILE_PLAIN = 0x1, IFILE_INTERLACE = 0x2 };
enum { IREAD_GREY = 0x1 };

using IReader = int (*)(FILE *stream, int flags, IImage **image);
using IWriter = int (*)(FILE *stream, IImage *image, int flags);

struct IFileFormat {
    const char *name;
    IReader reader;
    IWriter writer;
    int bits_per_pixel;
    int grey;
};
extern const IFileFormat IFileFormats[IFORMAT_COUNT];

int IWriteImageFile(FILE *stream, IImage *image, int format, int flags);
int IReadImageFile(FILE *stream, int format, int flags, IImage **image);
