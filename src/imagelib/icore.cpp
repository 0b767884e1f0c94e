// Images, the colour table, graphics contexts, error texts and the file
// format table.
#include "imagelib_msgs.h"
#include "imagelib_private.h"
#include "vxcat.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace imagelib;

// ---- error texts -------------------------------------------------------------

namespace {

const VxMsg<> *const error_texts[] = {
    nullptr,
    &IMG_ERR_INVALID_IMAGE,
    &IMG_ERR_INVALID_GC,
    &IMG_ERR_INVALID_COLOR,
    &IMG_ERR_NO_TRANSPARENT,
    &IMG_ERR_INVALID_FONT,
    &IMG_ERR_NOT_IMPLEMENTED,
    &IMG_ERR_INVALID_FORMAT,
    &IMG_ERR_INVALID_FILE,
    &IMG_ERR_WRITE,
    &IMG_ERR_NO_FONT,
    &IMG_ERR_FONT_NOT_FOUND,
    &IMG_ERR_NO_SUCH_FILE,
    &IMG_ERR_FONT,
    &IMG_ERR_BAD_ESCAPE,
    &IMG_ERR_INVALID_ARGUMENT,
    &IMG_ERR_INVALID_COLOR_NAME,
    nullptr,  // GIF errors carry the GIF library's code
    &IMG_ERR_NO_GIF,
    &IMG_ERR_PNG,
    &IMG_ERR_NO_PNG,
    &IMG_ERR_INVALID_POLYGON,
};

int gif_last_error = 0;
nl_catd the_catalogue = NL_NO_CATALOGUE;

}  // namespace

nl_catd imagelib::catalogue() { return the_catalogue; }
void ISetCatalogue(nl_catd catalogue) { the_catalogue = catalogue; }

void imagelib::set_gif_error(int code) { gif_last_error = code; }

const char *IErrorString(int code)
{
    static char gif_text[500];
    if (code == IERR_GIF) {
        snprintf(gif_text, sizeof gif_text, "%s", vx_msgf(the_catalogue, IMG_ERR_GIF, gif_last_error).c_str());
        return gif_text;
    }
    if (code > 0 && code < static_cast<int>(sizeof error_texts / sizeof error_texts[0]) && error_texts[code])
        return vx_msg(the_catalogue, *error_texts[code]);
    return vx_msg(the_catalogue, IMG_ERR_OTHER);
}

// ---- colours -------------------------------------------------------------------

namespace {

struct NamedColor {
    const char *name;
    unsigned char red, green, blue;
};

// The X11 colour database's values for the names the library knows.
const NamedColor named_colors[] = {
    {"aliceblue", 240, 248, 255},
    {"antiquewhite", 250, 235, 215},
    {"aquamarine", 127, 255, 212},
    {"azure", 240, 255, 255},
    {"beige", 245, 245, 220},
    {"bisque", 255, 228, 196},
    {"black", 0, 0, 0},
    {"blanchedalmond", 255, 235, 205},
    {"blue", 0, 0, 255},
    {"blueviolet", 138, 43, 226},
    {"brown", 165, 42, 42},
    {"burlywood", 222, 184, 135},
    {"cadetblue", 95, 158, 160},
    {"chartreuse", 127, 255, 0},
    {"chocolate", 210, 105, 30},
    {"coral", 255, 127, 80},
    {"cornflowerblue", 100, 149, 237},
    {"cornsilk", 255, 248, 220},
    {"cyan", 0, 255, 255},
    {"darkblue", 0, 0, 139},
    {"darkcyan", 0, 139, 139},
    {"darkgoldenrod", 184, 134, 11},
    {"darkgray", 169, 169, 169},
    {"darkgreen", 0, 100, 0},
    {"darkgrey", 169, 169, 169},
    {"darkkhaki", 189, 183, 107},
    {"darkmagenta", 139, 0, 139},
    {"darkolivegreen", 85, 107, 47},
    {"darkorange", 255, 140, 0},
    {"darkorchid", 153, 50, 204},
    {"darkred", 139, 0, 0},
    {"darksalmon", 233, 150, 122},
    {"darkseagreen", 143, 188, 143},
    {"darkslateblue", 72, 61, 139},
    {"darkslategray", 47, 79, 79},
    {"darkslategrey", 47, 79, 79},
    {"darkturquoise", 0, 206, 209},
    {"darkviolet", 148, 0, 211},
    {"deeppink", 255, 20, 147},
    {"deepskyblue", 0, 191, 255},
    {"dimgray", 105, 105, 105},
    {"dimgrey", 105, 105, 105},
    {"dodgerblue", 30, 144, 255},
    {"firebrick", 178, 34, 34},
    {"floralwhite", 255, 250, 240},
    {"forestgreen", 34, 139, 34},
    {"gainsboro", 220, 220, 220},
    {"ghostwhite", 248, 248, 255},
    {"gold", 255, 215, 0},
    {"goldenrod", 218, 165, 32},
    {"gray", 190, 190, 190},
    {"green", 0, 255, 0},
    {"greenyellow", 173, 255, 47},
    {"grey", 190, 190, 190},
    {"honeydew", 240, 255, 240},
    {"hotpink", 255, 105, 180},
    {"indianred", 205, 92, 92},
    {"ivory", 255, 255, 240},
    {"khaki", 240, 230, 140},
    {"lavender", 230, 230, 250},
    {"lavenderblush", 255, 240, 245},
    {"lawngreen", 124, 252, 0},
    {"lemonchiffon", 255, 250, 205},
    {"lightblue", 173, 216, 230},
    {"lightcoral", 240, 128, 128},
    {"lightcyan", 224, 255, 255},
    {"lightgoldenrod", 238, 221, 130},
    {"lightgoldenrodyellow", 250, 250, 210},
    {"lightgray", 211, 211, 211},
    {"lightgreen", 144, 238, 144},
    {"lightgrey", 211, 211, 211},
    {"lightpink", 255, 182, 193},
    {"lightsalmon", 255, 160, 122},
    {"lightseagreen", 32, 178, 170},
    {"lightskyblue", 135, 206, 250},
    {"lightslateblue", 132, 112, 255},
    {"lightslategray", 119, 136, 153},
    {"lightslategrey", 119, 136, 153},
    {"lightsteelblue", 176, 196, 222},
    {"lightyellow", 255, 255, 224},
    {"limegreen", 50, 205, 50},
    {"linen", 250, 240, 230},
    {"magenta", 255, 0, 255},
    {"maroon", 176, 48, 96},
    {"mediumaquamarine", 102, 205, 170},
    {"mediumblue", 0, 0, 205},
    {"mediumorchid", 186, 85, 211},
    {"mediumpurple", 147, 112, 219},
    {"mediumseagreen", 60, 179, 113},
    {"mediumslateblue", 123, 104, 238},
    {"mediumspringgreen", 0, 250, 154},
    {"mediumturquoise", 72, 209, 204},
    {"mediumvioletred", 199, 21, 133},
    {"midnightblue", 25, 25, 112},
    {"mintcream", 245, 255, 250},
    {"mistyrose", 255, 228, 225},
    {"moccasin", 255, 228, 181},
    {"navajowhite", 255, 222, 173},
    {"navy", 0, 0, 128},
    {"navyblue", 0, 0, 128},
    {"oldlace", 253, 245, 230},
    {"olivedrab", 107, 142, 35},
    {"orange", 255, 165, 0},
    {"orangered", 255, 69, 0},
    {"orchid", 218, 112, 214},
    {"palegoldenrod", 238, 232, 170},
    {"palegreen", 152, 251, 152},
    {"paleturquoise", 175, 238, 238},
    {"palevioletred", 219, 112, 147},
    {"papayawhip", 255, 239, 213},
    {"peachpuff", 255, 218, 185},
    {"peru", 205, 133, 63},
    {"pink", 255, 192, 203},
    {"plum", 221, 160, 221},
    {"powderblue", 176, 224, 230},
    {"purple", 160, 32, 240},
    {"red", 255, 0, 0},
    {"rosybrown", 188, 143, 143},
    {"royalblue", 65, 105, 225},
    {"saddlebrown", 139, 69, 19},
    {"salmon", 250, 128, 114},
    {"sandybrown", 244, 164, 96},
    {"seagreen", 46, 139, 87},
    {"seashell", 255, 245, 238},
    {"sienna", 160, 82, 45},
    {"skyblue", 135, 206, 235},
    {"slateblue", 106, 90, 205},
    {"slategray", 112, 128, 144},
    {"slategrey", 112, 128, 144},
    {"snow", 255, 250, 250},
    {"springgreen", 0, 255, 127},
    {"steelblue", 70, 130, 180},
    {"tan", 210, 180, 140},
    {"thistle", 216, 191, 216},
    {"tomato", 255, 99, 71},
    {"turquoise", 64, 224, 208},
    {"violet", 238, 130, 238},
    {"violetred", 208, 32, 144},
    {"wheat", 245, 222, 179},
    {"white", 255, 255, 255},
    {"whitesmoke", 245, 245, 245},
    {"yellow", 255, 255, 0},
    {"yellowgreen", 154, 205, 50},
};
static_assert(sizeof named_colors / sizeof named_colors[0] == 143);

// Handles index this table; a freed handle leaves an empty entry and is
// never handed out again.
std::vector<std::unique_ptr<IColor>> &colors()
{
    static std::vector<std::unique_ptr<IColor>> table = [] {
        std::vector<std::unique_ptr<IColor>> t;
        t.push_back(std::make_unique<IColor>(IColor{0, 0, 0, 0, 0}));
        t.push_back(std::make_unique<IColor>(IColor{0, 255, 255, 255, 1}));
        return t;
    }();
    return table;
}

}  // namespace

int INumColors() { return static_cast<int>(colors().size()); }

int IAllocColor(int red, int green, int blue)
{
    if (red < 0 || red > 255 || green < 0 || green > 255 || blue < 0 || blue > 255) {
        imagelib_warn(IMG_BAD_COLOR, red, green, blue);
        return 0;
    }
    auto &t = colors();
    int handle = static_cast<int>(t.size());
    t.push_back(std::make_unique<IColor>(IColor{IMAGIC_COLOR, static_cast<unsigned char>(red),
                                                static_cast<unsigned char>(green), static_cast<unsigned char>(blue),
                                                handle}));
    return handle;
}

IColor *IGetColor(int handle)
{
    auto &t = colors();
    if (handle < 0 || handle >= static_cast<int>(t.size()))
        return nullptr;
    return t[static_cast<size_t>(handle)].get();
}

int IFreeColor(int handle)
{
    if (handle == 0)
        return 0;
    IColor *c = IGetColor(handle);
    if (!c || c->magic != IMAGIC_COLOR)
        return IERR_INVALID_COLOR;
    c->magic = 0;
    colors()[static_cast<size_t>(handle)].reset();
    return 0;
}

int IAllocNamedColor(const char *name, int *handle)
{
    if (!name || !handle)
        return IERR_INVALID_ARGUMENT;
    std::string key;
    for (const char *p = name; *p; p++)
        if (*p != ' ')
            key += static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    for (const NamedColor &n : named_colors)
        if (key == n.name) {
            *handle = IAllocColor(n.red, n.green, n.blue);
            return 0;
        }
    return IERR_INVALID_COLOR_NAME;
}

// ---- graphics contexts -----------------------------------------------------

IGC *ICreateGC()
{
    IGC *gc = new IGC{};
    gc->magic = IMAGIC_GC;
    gc->foreground = *IGetColor(0);
    gc->background = *IGetColor(1);
    gc->font = nullptr;
    gc->antialiased = 0;
    gc->line_width = 1;
    gc->line_style = 0;
    gc->text_style = ITEXT_PLAIN;
    return gc;
}

int IFreeGC(IGC *gc)
{
    if (!gc)
        return 0;
    if (gc->magic != IMAGIC_GC)
        return IERR_INVALID_GC;
    gc->magic = 0;
    delete gc;
    return 0;
}

namespace {

int set_colour(IGC *gc, int handle, IColor IGC::*field)
{
    if (!valid_gc(gc))
        return IERR_INVALID_GC;
    IColor *c = IGetColor(handle);
    if (!c)
        return IERR_INVALID_COLOR;
    gc->*field = *c;
    return 0;
}

int set_font(IGC *gc, IFont *font, short antialiased)
{
    if (!valid_gc(gc))
        return IERR_INVALID_GC;
    if (!valid_font(font))
        return IERR_INVALID_FONT;
    gc->font = font;
    gc->antialiased = antialiased;
    return 0;
}

int set_int(IGC *gc, int value, int IGC::*field)
{
    if (!valid_gc(gc))
        return IERR_INVALID_GC;
    gc->*field = value;
    return 0;
}

}  // namespace

int ISetForeground(IGC *gc, int handle) { return set_colour(gc, handle, &IGC::foreground); }
int ISetBackground(IGC *gc, int handle) { return set_colour(gc, handle, &IGC::background); }
int ISetFont(IGC *gc, IFont *font) { return set_font(gc, font, 0); }
int ISetAntiAliasedFont(IGC *gc, IFont *font) { return set_font(gc, font, 1); }
int ISetLineWidth(IGC *gc, int width) { return set_int(gc, width, &IGC::line_width); }
int ISetLineStyle(IGC *gc, int style) { return set_int(gc, style, &IGC::line_style); }
int ISetTextStyle(IGC *gc, int style) { return set_int(gc, style, &IGC::text_style); }

// ---- images ------------------------------------------------------------------

IImage *ICreateImage(int width, int height, int flags)
{
    if (width < 0 || height < 0)
        return nullptr;
    int depth = (flags & IIMAGE_GREY) ? 1 : 3;
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(depth);
    if (bytes > static_cast<size_t>(PTRDIFF_MAX) / 2)
        return nullptr;
    auto *pixels = static_cast<unsigned char *>(malloc(bytes ? bytes : 1));
    if (!pixels)
        return nullptr;
    memset(pixels, 255, bytes);
    IImage *image = new IImage{};
    image->magic = IMAGIC_IMAGE;
    image->width = width;
    image->height = height;
    image->pixels = pixels;
    image->grey = (flags & IIMAGE_GREY) ? 1 : 0;
    return image;
}

int IDuplicateImage(IImage *image, IImage **copy)
{
    if (!valid_image(image) || !copy)
        return IERR_INVALID_IMAGE;
    IImage *c = ICreateImage(image->width, image->height, image->grey ? IIMAGE_GREY : 0);
    if (!c)
        return IERR_INVALID_IMAGE;
    memcpy(c->pixels, image->pixels,
           static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * (image->grey ? 1 : 3));
    c->transparent = image->transparent;
    *copy = c;
    return 0;
}

int IImageWidth(IImage *image) { return valid_image(image) ? image->width : 0; }
int IImageHeight(IImage *image) { return valid_image(image) ? image->height : 0; }

int IFreeImage(IImage *image)
{
    if (!image)
        return 0;
    if (image->magic != IMAGIC_IMAGE)
        return IERR_INVALID_IMAGE;
    image->magic = 0;
    free(image->pixels);
    free(image->comment);
    delete image;
    return 0;
}

int ISetComment(IImage *image, const char *text)
{
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    free(image->comment);
    image->comment = text ? strdup(text) : nullptr;
    return 0;
}

int IGetComment(IImage *image, const char **text)
{
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    if (text)
        *text = image->comment;
    return 0;
}

int ISetTransparent(IImage *image, int handle)
{
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    IColor *c = IGetColor(handle);
    if (!c)
        return IERR_INVALID_COLOR;
    image->transparent = *c;
    image->transparent.magic = IMAGIC_COLOR;
    return 0;
}

int IGetTransparent(IImage *image, int *handle)
{
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    if (image->transparent.magic == 0)
        return IERR_NO_TRANSPARENT;
    if (handle)
        *handle = image->transparent.handle;
    return 0;
}

int IImageClipOn(IImage *image, int x1, int y1, int x2, int y2)
{
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    image->clip = 1;
    image->clip_x1 = x1 < x2 ? x1 : x2;
    image->clip_x2 = x1 < x2 ? x2 : x1;
    image->clip_y1 = y1 < y2 ? y1 : y2;
    image->clip_y2 = y1 < y2 ? y2 : y1;
    return 0;
}

int IImageClipOff(IImage *image)
{
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    image->clip = 0;
    return 0;
}

// ---- file dispatch -----------------------------------------------------------

int IWriteImageFile(FILE *stream, IImage *image, int format, int flags)
{
    if (!valid_image(image))
        return IERR_INVALID_IMAGE;
    if (format < 0 || format >= IFORMAT_COUNT) {
        imagelib_warn(IMG_WRITE_BAD_FORMAT, format);
        return IERR_INVALID_FORMAT;
    }
    const IFileFormat &f = IFileFormats[format];
    if (!f.writer) {
        imagelib_warn(IMG_WRITE_NOT_IMPLEMENTED, f.name);
        return IERR_NOT_IMPLEMENTED;
    }
    if (!stream)
        return IERR_INVALID_FILE;
    return f.writer(stream, image, flags);
}

int IReadImageFile(FILE *stream, int format, int flags, IImage **image)
{
    if (format < 0 || format >= IFORMAT_COUNT) {
        imagelib_warn(IMG_READ_BAD_FORMAT, format);
        return IERR_INVALID_FORMAT;
    }
    const IFileFormat &f = IFileFormats[format];
    if (!f.reader)
        return IERR_NOT_IMPLEMENTED;
    if (!stream || !image)
        return IERR_INVALID_FILE;
    return f.reader(stream, flags, image);
}
