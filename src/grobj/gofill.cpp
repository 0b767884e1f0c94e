// Services around drawing: fill modes from a hatch style, canvas points to
// world coordinates, zoom rectangles kept inside the world window, colour
// maps that colour data by one axis (with thresholds), and colour-map files.

#include "gomain.h"
#include <X11/Intrinsic.h>

#include <algorithm>
#include <cstring>

namespace {

int world_clip_mode = 1;

double through(ScaleProc p, double v) { return p ? p(v) : v; }

}  // namespace

void gomain_go_setup_fill_modes(GCanvasRecord *canvas, int style, long colour)
{
    if (!canvas)
        return;
    GFillModes f{};
    uint64_t mask = 0x3;
    f.colour = colour;
    if (style <= 0) {
        f.style = 0;
    } else if (style == 1) {
        f.style = 1;
    } else {
        f.style = 2;
        f.hatch = style - 2;
        mask = 0x7;
    }
    GSetFillModes(canvas, mask, &f);
}

void gomain_go_set_world_clip(int mode) { world_clip_mode = mode; }

int gomain_go_map_to_world(GCanvasRecord *canvas, const int point[2], double world[2])
{
    if (!canvas)
        return 0;
    int64_t p[2] = {point[0], point[1]};
    GVector in{GV_LONG, 0, 2, 1, {p, nullptr, nullptr}};
    GVector out{};
    if (GTransformPoints(canvas, GCS_DC, GCS_WC, &in, &out) != 0 || !out.data[0])
        return 0;
    const double *o = static_cast<const double *>(out.data[0]);
    world[0] = o[0];
    world[1] = o[1];
    gvector_GFreeVectorData(&out);
    const double *box;
    if (world_clip_mode == 1)
        box = canvas->modes.world;
    else if (world_clip_mode == 2)
        box = canvas->modes.axisbox;
    else
        return 1;
    int inside = 1;
    for (int a = 0; a < 2; a++) {
        const double lo = std::min(box[a], box[a + 3]), hi = std::max(box[a], box[a + 3]);
        if (world[a] < lo) {
            world[a] = lo;
            inside = 0;
        } else if (world[a] > hi) {
            world[a] = hi;
            inside = 0;
        }
    }
    return inside;
}

int gomain_go_clip_zoom_to_world(GCanvasRecord *canvas, GoZoomWindow *zoom)
{
    if (!canvas || !zoom)
        return 0;
    const double *w = canvas->modes.world;
    const double left = std::min(w[0], w[3]), right = std::max(w[0], w[3]);
    const double bottom = std::min(w[1], w[4]), top = std::max(w[1], w[4]);
    const double width = zoom->xmax - zoom->xmin, height = zoom->ymax - zoom->ymin;
    zoom->xmin = std::clamp(zoom->xmin, left, right);
    zoom->xmax = std::clamp(zoom->xmax, left, right);
    zoom->ymin = std::clamp(zoom->ymin, bottom, top);
    zoom->ymax = std::clamp(zoom->ymax, bottom, top);
    if (zoom->xmin == zoom->xmax || zoom->ymin == zoom->ymax)
        return 0;
    if (zoom->xmin == left && zoom->xmax - zoom->xmin < width)
        zoom->xmax = std::min(left + width, right);
    if (zoom->ymin == bottom && zoom->ymax - zoom->ymin < height)
        zoom->ymax = std::min(bottom + height, top);
    if (zoom->xmax == right && zoom->xmax - zoom->xmin < width)
        zoom->xmin = std::max(right - width, left);
    if (zoom->ymax == top && zoom->ymax - zoom->ymin < height)
        zoom->ymin = std::max(top - height, bottom);
    return 1;
}

int gomain_go_get_colourmap_for_axis(GoGraph *graph, GoAxisBlock *block, int dataset, int use_thresholds, int axis)
{
    if (!graph || !graph->canvas)
        return 0;
    GCanvasRecord *canvas = graph->canvas;
    GoAxisBlock *b = axis == 0 ? &graph->xblock : axis == 1 ? (block ? block : &graph->yblock) : &graph->zblock;
    GThresholdModes th{};
    th.selector = static_cast<unsigned char>(b == &graph->zblock ? 4 : 1);
    gthresh_GSetThresholdModes(canvas, GTHM_COUNT | GTHM_SELECTOR, &th);

    const ScaleProc fwd = scale_GGetForwardScaleProc(&b->scale);
    const double dmin = through(fwd, b->min), dmax = through(fwd, b->max);
    const double smax = through(fwd, b->scale.max), smin = through(fwd, b->scale.min);

    GColourMapModes cm{};
    gcolmap_GGetColourMapModes(canvas, &cm);
    long series = 0;
    if (dataset == graph->first) {
        GLineModes lm{};
        GGetLineModes(canvas, &lm);
        series = lm.colour;
    } else {
        const int *c = static_cast<const int *>(goprop_go_property(graph, GP_COLOUR, dataset - graph->first, 0));
        series = c ? *c : 0;
    }
    // Colouring by value for a series colour of -1, or when the mesh modes
    // ask for shaded colouring.
    GMeshModes mesh{};
    gmesh_GGetMeshModes(canvas, &mesh);
    int enabled = series == -1 || mesh.colouring == 2 ? 1 : 0;
    const int *range = static_cast<const int *>(goprop_go_property(graph, GP_CMAPRANGE, 0, 0));
    cm.range = static_cast<unsigned char>(range ? *range : 0);
    const int *axc = static_cast<const int *>(goprop_go_property(graph, GP_AXISCOLOUR, 0, 0));
    cm.special = axc ? *axc : 0;

    const int *usethresh = static_cast<const int *>(goprop_go_property(graph, GP_USETHRESH, 0, 0));
    if (usethresh && *usethresh && use_thresholds) {
        enabled = 1;
        cm.range = 2;
        th = GThresholdModes{};
        int n = 0;
        for (int k = 0; k < GTH_MAX; k++) {
            const double *v = static_cast<const double *>(goprop_go_property(graph, GP_THRESH_VAL, k, 1));
            if (!v || (n > 0 && *v < th.values[n - 1]))
                break;
            th.values[n] = *v;
            auto int16 = [&](int property) {
                const int *x = static_cast<const int *>(goprop_go_property(graph, property, k, 0));
                return static_cast<int16_t>(x ? *x : 0);
            };
            th.colours[n] = int16(GP_THRESH_COLOUR);
            th.fills[n] = int16(GP_THRESH_HATCH);
            th.lines[n] = int16(GP_THRESH_LSTYLE);
            th.markers[n] = int16(GP_THRESH_MARKER);
            n++;
        }
        th.count = static_cast<int16_t>(n);
        uint64_t mask = 0x3F;
        ScaleRec *xs = &graph->xblock.scale, *cs = &b->scale, *zs = &graph->zblock.scale;
        if (scale_GGetReverseScaleProc(xs) || scale_GGetReverseScaleProc(cs) || scale_GGetReverseScaleProc(zs)) {
            th.x_forward = scale_GGetForwardScaleProc(xs);
            th.x_back = scale_GGetReverseScaleProc(xs);
            th.y_forward = scale_GGetForwardScaleProc(cs);
            th.y_back = scale_GGetReverseScaleProc(cs);
            th.z_forward = scale_GGetForwardScaleProc(zs);
            th.z_back = scale_GGetReverseScaleProc(zs);
            th.to_linear = gthresh_GThreshToLinear;
            th.from_linear = gthresh_GThreshFromLinear;
            mask |= GTHM_TOLINEAR | GTHM_FROMLINEAR | GTHM_XFORWARD | GTHM_XBACK | GTHM_YFORWARD | GTHM_YBACK |
                    GTHM_ZFORWARD | GTHM_ZBACK;
        }
        gthresh_GSetThresholdModes(canvas, mask, &th);
    }
    cm.mode = static_cast<unsigned char>(enabled);
    gcolmap_GSetColourMapModes(canvas, GCMM_MODE | GCMM_RANGE | GCMM_SPECIAL, &cm);
    gcolmap_GCheckForColourMap(canvas, 0, dmax, dmin, smax, smin);
    return enabled;
}

int gomain_go_get_colourmap(GoGraph *graph, GoAxisBlock *block, int dataset, int use_thresholds)
{
    return gomain_go_get_colourmap_for_axis(graph, block, dataset, use_thresholds, 1);
}

int gomain_go_get_colourmap_x(GoGraph *graph, GoAxisBlock *block, int dataset, int use_thresholds)
{
    return gomain_go_get_colourmap_for_axis(graph, block, dataset, use_thresholds, 0);
}

void gomain_go_forget_colourmap(GoGraph *graph)
{
    if (!graph || !graph->canvas)
        return;
    GColourMapModes cm{};
    cm.fixed = 0;
    gcolmap_GSetColourMapModes(graph->canvas, GCMM_FIXED, &cm);
    GForgetColourMap(graph->canvas);
}

int gomain_go_allow_colourmap() { return gcolmap_GIsColourMapWorthIt(); }

int gomain_go_reset_y_axis_scaling(GoGraph *graph, int axis_mode, GoAutoScaleProc auto_scale,
                                   GoCoordinateProc coordinates)
{
    if (!graph || !graph->canvas || !auto_scale)
        return 0;
    GColourMapModes cm{};
    gcolmap_GGetColourMapModes(graph->canvas, &cm);
    graph->yblock.min = cm.datamin;
    graph->yblock.max = cm.datamax;
    if (!auto_scale(graph, axis_mode))
        return 0;
    if (coordinates)
        coordinates(graph);
    cm.upper = graph->yblock.scale.max;
    cm.lower = graph->yblock.scale.min;
    gcolmap_GSetColourMapModes(graph->canvas, GCMM_LOWER | GCMM_UPPER, &cm);
    return 1;
}

int go_split_path(const char *path, char directory[256], char name[256])
{
    if (!path || strlen(path) > 255)
        return 0;
    const char *slash = strrchr(path, '/');
    if (!slash) {
        strcpy(directory, "./");
        strcpy(name, path);
    } else if (slash == path) {
        strcpy(directory, "/");
        strcpy(name, path + 1);
    } else {
        memcpy(directory, path, static_cast<size_t>(slash - path));
        directory[slash - path] = '\0';
        strcpy(name, slash + 1);
    }
    return 1;
}

int gomain_go_read_colourmap(Widget canvas_window, const char *path)
{
    char directory[256], name[256];
    if (!go_split_path(path, directory, name))
        return 0;
    GDeviceEntry entry{};
    if (GGetDevice(0, &entry) != 0) {
        go_say(GO_DEVICE_FAILED);
        return 0;
    }
    uint64_t mask = entry.mask | GDM_BASEDEVICE;
    GDeviceModes m = entry.modes;
    m.basedevice = 0;
    if (canvas_window) {
        m.window = XtWindow(canvas_window);
        m.displayconn = XtDisplay(canvas_window);
        mask |= GDM_WINDOW | GDM_DISPLAYCONN;
    }
    GDeviceRecord *device = GOpenDevice(mask, &m, entry.tables);
    if (!device) {
        gdev_GFreeDeviceEntry(&entry);
        go_say(GO_DEVICE_FAILED);
        return 0;
    }
    const int r = gcolmap_GReadColourMapFile(device, directory, name);
    GCloseDevice(device);
    return r == 0 ? 1 : 0;
}

int gomain_go_write_colourmap(const void *, const char *path)
{
    if (!path || strlen(path) > 255)
        return -1;
    return gcolmap_GWriteColourMapFile(path);
}
