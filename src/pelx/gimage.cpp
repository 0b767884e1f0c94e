// Raster images of values: a rectangle of device pixels whose colours stand
// for data values through colour map 0 and, when set, the thresholds.  The
// caller creates the image, fills it cell by cell and hands it to the
// driver's DrawImage.

#include "gdriver.h"
#include "pelx.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int TABLE = 256;

bool hpgl(const GDeviceRecord *d) { return d->modes.protocol == GP_HPGL || d->modes.protocol == GP_HPGL2; }

// Depth and storage bits of the device's pixels.
void depth_of(const GDeviceRecord *d, int16_t *depth, int16_t *bits)
{
    switch (d->modes.protocol) {
    case GP_X:
    case GP_PCL: {
        long bd = d->modes.bitdepth;
        *depth = static_cast<int16_t>(bd);
        // X keeps 15- and 16-bit pixels in 16 bits, 24 and 32 in 32.
        *bits = bd == 1 ? 1 : bd > 16 ? 32 : bd > 8 ? 16 : 8;
        return;
    }
    case GP_POSTSCRIPT:
    case GP_EPS: {
        GList *colours = d->tables[GT_COLOURS];
        GColour *third = glist_GGetListLen(colours) > 2 ? gcolour_GGetColour(colours, 2) : nullptr;
        if (third && strcmp(third->name, "black") == 0) {
            *depth = *bits = 8;
            return;
        }
        break;
    }
    default: break;
    }
    *depth = 24;
    *bits = 32;
}

size_t data_size(const GRasterImage *im)
{
    size_t w = static_cast<size_t>(im->width), h = static_cast<size_t>(im->height);
    if (im->bits == 1)
        return (w + 7) / 8 * h;
    return w * h * static_cast<size_t>(im->bits / 8);
}

// The image's scale for a value range; 0 for a flat or unusable range, so
// that every value takes colour 0.
double scale_of(double minimum, double maximum, long colours)
{
    if (colours < 2 || !std::isfinite(minimum) || !std::isfinite(maximum) || maximum == minimum)
        return 0.0;
    double s = static_cast<double>(colours - 1) / (maximum - minimum);
    return std::isfinite(s) ? s : 0.0;
}



bool is_set(const GRasterImage *im, long at)
{
    switch (im->bits) {
    case 8: return static_cast<const uint8_t *>(im->data)[at] != 0;
    case 16: return static_cast<const uint16_t *>(im->data)[at] != 0;
    case 32: return static_cast<const uint32_t *>(im->data)[at] != 0;
    default: return false;
    }
}


// The background's pixel in the image's depth: on X the canvas colour is
// a pixel already; elsewhere it is an index of the device colour table.
long background_pixel(GCanvasRecord *c)
{
    long colour = 0;
    GGetCanvasColour(c, &colour, 0);
    colour = std::labs(colour);
    if (c->device->modes.protocol == GP_X)
        return colour;
    long table[TABLE];
    if (gcolmap_GGetPixelValues(c->device, table, c->device->tables[GT_COLOURS]) != 0 || colour >= TABLE)
        return 0;
    return table[colour] < 0 ? 0 : table[colour];
}

// Bit (row, column) of the mask set where the pixel is not 0.
int build_mask(GRasterImage *im)
{
    long bytes = (im->width - 1) / 8 + 1;
    vx_free(im->mask);
    im->mask = static_cast<unsigned char *>(vx_malloc(bytes * im->height, 0));
    if (!im->mask)
        return -1;
    memset(im->mask, 0, static_cast<size_t>(bytes * im->height));
    for (long r = 0; r < im->height; r++)
        for (long k = 0; k < im->width; k++)
            if (is_set(im, r * im->width + k))
                im->mask[r * bytes + k / 8] |= static_cast<unsigned char>(1u << (k % 8));
    im->mask_width = static_cast<int16_t>(bytes * 8);
    im->mask_height = im->height;
    return 0;
}

short to_short(double v) { return static_cast<short>(std::clamp(std::lround(v), -32768L, 32767L)); }

}  // namespace

GRasterImage *GCreateImage(GCanvasRecord *canvas, long width, long height, const GVector *position,
                           const void *range, int value_type)
{
    if (!canvas)
        return nullptr;
    GDeviceRecord *d = canvas->device;
    if (hpgl(d)) {
        gerror_GRegisterError(4, 21, 0, nullptr);
        return nullptr;
    }
    bool known_type = value_type == GIMG_DOUBLE || value_type == GIMG_SHORT || value_type == GIMG_INDEX;
    if (width < 1 || height < 1 || width > 32767 || height > 32767 || !known_type || !position ||
        position->count < 1 || (value_type != GIMG_INDEX && !range)) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return nullptr;
    }
    auto *im = static_cast<GRasterImage *>(vx_malloc(sizeof(GRasterImage), 0));
    long *tables = static_cast<long *>(vx_malloc(3 * TABLE * static_cast<long>(sizeof(long)), 0));
    if (!im || !tables) {
        vx_free(im);
        vx_free(tables);
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    *im = GRasterImage{};
    memset(tables, 0, 3 * TABLE * sizeof(long));
    im->pixels = tables;
    im->threshold_pixels = tables + TABLE;
    im->band_pixels = tables + 2 * TABLE;

    double in[3] = {gvector_GGetValue(position, 0, 0), position->dims > 1 ? gvector_GGetValue(position, 0, 1) : 0.0,
                    0.0}, out[3] = {in[0], in[1], 0.0};
    if (canvas->modes.coords != GCS_DC)
        gcoords_GApplyPart(&canvas->current->forward, in, out);
    im->x = to_short(out[0]);
    im->y = to_short(out[1]);
    im->width = static_cast<int16_t>(width);
    im->height = static_cast<int16_t>(height);
    im->spare = -1;
    im->invert_y = static_cast<unsigned char>(gep_GDeviceEntryPoints(d)->InvertYDim(d) == 1);
    im->thresholds = canvas->colourmap.range == 2;
    depth_of(d, &im->depth, &im->bits);

    // Pixels start as 0, whatever the caller fills.
    size_t size = data_size(im);
    im->data = vx_calloc(static_cast<long>(std::max<size_t>(size, 1)), 0);
    if (!im->data) {
        GDestroyImage(im);
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    long n = 0;
    gcolmap_GColourMapInfo(canvas, &n, im->pixels, im->threshold_pixels, im->band_pixels);
    im->colours = static_cast<int16_t>(std::clamp<long>(n, 0, TABLE));

    im->value_type = static_cast<unsigned char>(value_type);
    if (value_type == GIMG_DOUBLE) {
        const double *r = static_cast<const double *>(range);
        im->offset = std::isfinite(r[0]) ? r[0] : 0.0;
        im->scale = scale_of(r[0], r[1], n);
    } else if (value_type == GIMG_SHORT) {
        const int16_t *r = static_cast<const int16_t *>(range);
        im->offset = r[0];
        im->scale = scale_of(r[0], r[1], n);
    } else {
        im->indices = 1;
    }
    return im;
}

int GDestroyImage(GRasterImage *image)
{
    if (!image)
        return -1;
    vx_free(image->mask);
    vx_free(image->data);
    vx_free(image->pixels);
    vx_free(image);
    return 0;
}


int GClearImageData(GCanvasRecord *canvas, GRasterImage *image)
{
    if (!canvas || !image || !image->data)
        return -1;
    size_t size = data_size(image);
    if (canvas->mesh.border) {
        memset(image->data, 0, size);
        image->mask_flag = 1;
        return 0;
    }
    if (image->bits == 1) {
        memset(image->data, 0, size);
        return 0;
    }
    long pixel = background_pixel(canvas);
    size_t n = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    if (image->bits == 8)
        memset(image->data, static_cast<unsigned char>(pixel), size);
    else if (image->bits == 16)
        std::fill_n(static_cast<uint16_t *>(image->data), n, static_cast<uint16_t>(pixel));
    else
        std::fill_n(static_cast<uint32_t *>(image->data), n, static_cast<uint32_t>(pixel));
    return 0;
}

int GDrawImage(GCanvasRecord *canvas, GRasterImage *image)
{
    if (!canvas || !image)
        return -1;
    if (hpgl(canvas->device)) {
        gerror_GRegisterError(4, 21, 0, nullptr);
        return -1;
    }
    // Without memory for the mask the image is drawn whole.
    if (image->mask_flag && image->depth > 1 && image->data && build_mask(image) != 0)
        image->mask_flag = 0;
    return gep_GCanvasEntryPoints(canvas)->DrawImage(canvas, image);
}

long GImageMethod(long value) { return value; }
