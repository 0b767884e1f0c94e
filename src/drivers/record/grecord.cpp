// The recording driver (see grecord.h).

#include "grecord.h"

#include <algorithm>
#include <cstring>

namespace grec {

const char *const slot_names[GEP_COUNT] = {
    "ClearArea", "ClearCanvas", "ClearDevice", "CloseCanvas", "CloseDevice", "DrawArc", "DrawGrid",
    "DrawLine", "DrawLines", "DrawPolyLine", "DrawFilledPolygon", "DrawRectangle", "DrawTextLines",
    "FlushDevice", "GetDeviceModes", "GetRelativeTextLimits", "Initialise", "InvertYDim", "OpenCanvas",
    "OpenDevice", "PutText", "SamplePointer", "SetCanvasModes", "SetDefaultDeviceModes", "SetDeviceModes",
    "SetFillModes", "SetLineModes", "SetTextModes", "Terminate", "CommentOutput", "FlushCanvas", "DrawImage",
    "GetCanvasColour", "SetPolylineClip", "CreateTransforms"};

namespace {

std::vector<Call> record;
Answers the_answers;
// The stand-in of the driver that serves the device's protocol.
const GEntryPoints *stand_in(const GDeviceRecord *d)
{
    switch (d->modes.protocol) {
    case GP_X: case GP_PCL: return gep_GStubEntryPoints(GDRV_X11);
    case GP_POSTSCRIPT: case GP_EPS: return gep_GStubEntryPoints(GDRV_POSTSCRIPT);
    case GP_HPGL: case GP_HPGL2: return gep_GStubEntryPoints(GDRV_HPGL);
    default: return gep_GStubEntryPoints(GDRV_IMAGE);
    }
}

Points pts(const GVector *v)
{
    Points p;
    if (!v)
        return p;
    p.type = v->type;
    p.dims = v->dims;
    for (long i = 0; i < v->count; i++)
        for (int c = 0; c < v->dims; c++)
            p.values.push_back(gvector_GGetValue(v, i, c));
    return p;
}

Call &add(int slot, GCanvasRecord *c = nullptr)
{
    Call call{slot, {}, {}, {}, {}, {}, {}};
    if (c) {
        call.line = c->line;
        call.fill = c->fill;
        call.text_modes = c->text;
    }
    record.push_back(call);
    return record.back();
}

int clear_area(GCanvasRecord *c, const GVector *a, const GVector *b)
{
    auto &k = add(GEP_CLEAR_AREA, c);
    k.points = {pts(a), pts(b)};
    return 0;
}
int canvas_op(int slot, GCanvasRecord *c)
{
    add(slot, c);
    return 0;
}
int clear_canvas(GCanvasRecord *c) { return canvas_op(GEP_CLEAR_CANVAS, c); }
int clear_device(GDeviceRecord *) { return add(GEP_CLEAR_DEVICE), 0; }
int close_canvas(GCanvasRecord *c) { return canvas_op(GEP_CLOSE_CANVAS, c); }
int close_device(GDeviceRecord *) { return add(GEP_CLOSE_DEVICE), 0; }
int draw_arc(GCanvasRecord *c, const GVector *a, const GVector *b, long x, long y)
{
    auto &k = add(GEP_DRAW_ARC, c);
    k.points = {pts(a), pts(b)};
    k.ints = {x, y};
    return 0;
}
int draw_grid(GCanvasRecord *c, const GVector *a, const GVector *b, long n, const GVector *d)
{
    auto &k = add(GEP_DRAW_GRID, c);
    k.points = {pts(a), pts(b), pts(d)};
    k.ints = {n};
    return 0;
}
int draw_line(GCanvasRecord *c, const GVector *a, const GVector *b)
{
    auto &k = add(GEP_DRAW_LINE, c);
    k.points = {pts(a), pts(b)};
    return 0;
}
int points_op(int slot, GCanvasRecord *c, const GVector *v)
{
    auto &k = add(slot, c);
    k.points = {pts(v)};
    return 0;
}
int draw_lines(GCanvasRecord *c, const GVector *v) { return points_op(GEP_DRAW_LINES, c, v); }
int draw_polyline(GCanvasRecord *c, const GVector *v) { return points_op(GEP_DRAW_POLYLINE, c, v); }
int draw_polygon(GCanvasRecord *c, const GVector *v, int flag)
{
    auto &k = add(GEP_DRAW_FILLED_POLYGON, c);
    k.points = {pts(v)};
    k.ints = {flag};
    return 0;
}
int draw_rectangle(GCanvasRecord *c, const GVector *a, const GVector *b)
{
    auto &k = add(GEP_DRAW_RECTANGLE, c);
    k.points = {pts(a), pts(b)};
    return 0;
}
int draw_text_lines(GCanvasRecord *c, const GVector *v) { return points_op(GEP_DRAW_TEXT_LINES, c, v); }
int flush_device(GDeviceRecord *) { return add(GEP_FLUSH_DEVICE), 0; }
int get_device_modes(GDeviceRecord *d, GDeviceModes *m)
{
    add(GEP_GET_DEVICE_MODES);
    *m = d->modes;
    return 0;
}
int text_limits(GCanvasRecord *c, const char *t, short corners[8])
{
    auto &k = add(GEP_GET_RELATIVE_TEXT_LIMITS, c);
    k.text = t ? t : "";
    memcpy(corners, the_answers.text_limits, sizeof the_answers.text_limits);
    return the_answers.text_limits_result;
}
int initialise() { return add(GEP_INITIALISE), -1; }
int invert_y(GDeviceRecord *d)
{
    add(GEP_INVERT_Y_DIM);
    if (the_answers.invert_y >= 0)
        return the_answers.invert_y;
    return stand_in(d)->InvertYDim(d);
}
int open_canvas(GCanvasRecord *c) { return canvas_op(GEP_OPEN_CANVAS, c); }
int open_device(GDeviceRecord *, uint64_t mask)
{
    auto &k = add(GEP_OPEN_DEVICE);
    k.ints = {static_cast<long>(mask)};
    if (the_answers.open_device != 0)
        gerror_GRegisterError(4, 8, 0, nullptr);
    return the_answers.open_device;
}
int put_text(GCanvasRecord *c, const char *t, const GVector *p)
{
    auto &k = add(GEP_PUT_TEXT, c);
    k.text = t ? t : "";
    k.points = {pts(p)};
    return 0;
}
int sample(GDeviceRecord *, void *) { return add(GEP_SAMPLE_POINTER), 0; }
int mask_op(int slot, GCanvasRecord *c, uint64_t mask)
{
    auto &k = add(slot, c);
    k.ints = {static_cast<long>(mask)};
    return 0;
}
int set_canvas_modes(GCanvasRecord *c, uint64_t m) { return mask_op(GEP_SET_CANVAS_MODES, c, m); }
int set_default_modes(GDeviceModes *m)
{
    add(GEP_SET_DEFAULT_DEVICE_MODES);
    // The defaults of the stand-in for the record's protocol.
    GDeviceRecord probe{};
    probe.modes.protocol = m->protocol;
    return stand_in(&probe)->SetDefaultDeviceModes(m);
}
int set_device_modes(GDeviceRecord *d, uint64_t mask, const GDeviceModes *m)
{
    auto &k = add(GEP_SET_DEVICE_MODES);
    k.ints = {static_cast<long>(mask)};
    gdev_GApplyDeviceModes(d, mask, m);
    return 0;
}
int set_fill_modes(GCanvasRecord *c, uint64_t m) { return mask_op(GEP_SET_FILL_MODES, c, m); }
int set_line_modes(GCanvasRecord *c, uint64_t m) { return mask_op(GEP_SET_LINE_MODES, c, m); }
int set_text_modes(GCanvasRecord *c, uint64_t m) { return mask_op(GEP_SET_TEXT_MODES, c, m); }
int terminate() { return add(GEP_TERMINATE), -1; }
int comment(GCanvasRecord *c, const char *t)
{
    auto &k = add(GEP_COMMENT_OUTPUT, c);
    k.text = t ? t : "";
    return 0;
}
int flush_canvas(GCanvasRecord *c) { return canvas_op(GEP_FLUSH_CANVAS, c); }
int draw_image(GCanvasRecord *c, const void *image)
{
    auto &k = add(GEP_DRAW_IMAGE, c);
    const GRasterImage *im = static_cast<const GRasterImage *>(image);
    if (!im)
        return -1;
    Image &copy = k.image;
    copy.x = im->x, copy.y = im->y, copy.width = im->width, copy.height = im->height;
    copy.depth = im->depth, copy.bits = im->bits, copy.invert_y = im->invert_y;
    if (im->data && im->width > 0 && im->height > 0) {
        size_t size = im->bits == 1 ? static_cast<size_t>((im->width + 7) / 8 * im->height)
                                    : static_cast<size_t>(im->width) * static_cast<size_t>(im->height) *
                                          static_cast<size_t>(std::max(im->bits / 8, 1));
        const unsigned char *b = static_cast<const unsigned char *>(im->data);
        copy.data.assign(b, b + size);
    }
    copy.mask_flag = im->mask_flag;
    copy.mask_width = im->mask_width, copy.mask_height = im->mask_height;
    if (im->mask && im->mask_width > 0 && im->mask_height > 0)
        copy.mask.assign(im->mask, im->mask + (im->mask_width + 7) / 8 * im->mask_height);
    return 0;
}
int canvas_colour(GCanvasRecord *c, long *colour, unsigned char selector)
{
    auto &k = add(GEP_GET_CANVAS_COLOUR, c);
    k.ints = {selector};
    *colour = the_answers.canvas_colour;
    return 0;
}
int polyline_clip(GCanvasRecord *c, const void *clip)
{
    auto &k = add(GEP_SET_POLYLINE_CLIP, c);
    if (clip)
        k.points = {pts(static_cast<const GVector *>(clip))};
    return 0;
}
int create_transforms(GCanvasRecord *c) { return canvas_op(GEP_CREATE_TRANSFORMS, c); }

const GEntryPoints recorder = {
    .ClearArea = clear_area,
    .ClearCanvas = clear_canvas,
    .ClearDevice = clear_device,
    .CloseCanvas = close_canvas,
    .CloseDevice = close_device,
    .DrawArc = draw_arc,
    .DrawGrid = draw_grid,
    .DrawLine = draw_line,
    .DrawLines = draw_lines,
    .DrawPolyLine = draw_polyline,
    .DrawFilledPolygon = draw_polygon,
    .DrawRectangle = draw_rectangle,
    .DrawTextLines = draw_text_lines,
    .FlushDevice = flush_device,
    .GetDeviceModes = get_device_modes,
    .GetRelativeTextLimits = text_limits,
    .Initialise = initialise,
    .InvertYDim = invert_y,
    .OpenCanvas = open_canvas,
    .OpenDevice = open_device,
    .PutText = put_text,
    .SamplePointer = sample,
    .SetCanvasModes = set_canvas_modes,
    .SetDefaultDeviceModes = set_default_modes,
    .SetDeviceModes = set_device_modes,
    .SetFillModes = set_fill_modes,
    .SetLineModes = set_line_modes,
    .SetTextModes = set_text_modes,
    .Terminate = terminate,
    .CommentOutput = comment,
    .FlushCanvas = flush_canvas,
    .DrawImage = draw_image,
    .GetCanvasColour = canvas_colour,
    .SetPolylineClip = polyline_clip,
    .CreateTransforms = create_transforms,
};

}  // namespace

void install()
{
    for (int d = 0; d < GDRV_COUNT; d++)
        gep_GSetDriver(d, &recorder);
    clear();
    the_answers = Answers{};
}

void remove()
{
    for (int d = 0; d < GDRV_COUNT; d++)
        gep_GSetDriver(d, nullptr);
}

void clear() { record.clear(); }

const std::vector<Call> &calls() { return record; }

std::vector<Call> of(int slot)
{
    std::vector<Call> r;
    for (auto &c : record)
        if (c.slot == slot)
            r.push_back(c);
    return r;
}

long count(int slot)
{
    long n = 0;
    for (auto &c : record)
        n += c.slot == slot;
    return n;
}

Answers &answers() { return the_answers; }

unsigned long Image::pixel(long column, long row) const
{
    size_t at = static_cast<size_t>(row * width + column);
    switch (bits) {
    case 8: return data.at(at);
    case 16: return static_cast<unsigned long>(data.at(at * 2)) | static_cast<unsigned long>(data.at(at * 2 + 1)) << 8;
    case 32: {
        unsigned long v = 0;
        for (int i = 3; i >= 0; i--)
            v = v << 8 | data.at(at * 4 + static_cast<size_t>(i));
        return v;
    }
    default: return 0;
    }
}

int Image::kept(long column, long row) const
{
    if (mask.empty())
        return 1;
    size_t bytes = static_cast<size_t>((mask_width + 7) / 8);
    return mask.at(static_cast<size_t>(row) * bytes + static_cast<size_t>(column / 8)) >> (column % 8) & 1;
}

}  // namespace grec
