// The graph class table, the draw preamble, and the one graph device with
// the graphs' canvases on it.

#include "gomain.h"

#include "dsmgr.h"
#include "vxutil.h"

#include <X11/Intrinsic.h>

#include <algorithm>
#include <cmath>
#include <cstring>

GoClass *gomain_graph_class[GO_CLASSES];

namespace {

GDeviceRecord *current_device = nullptr;
int device_type = 0;
const GoPrintSettings *print_settings = nullptr;
unsigned long client_window = 0;
int run_mode = 0;
Widget canvas_window_seen = nullptr;  // the display canvas the screen device was last asked for

long clamp_long(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<long>(std::clamp(v, -9.2e18, 9.2e18));
}

int16_t clamp16(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

}  // namespace

// ---- classes and the draw protocol -------------------------------------------------

GoClass *gomain_go_class(const GoGraph *graph)
{
    if (!graph || graph->kind < 0 || graph->kind >= GO_CLASSES)
        return nullptr;
    return gomain_graph_class[graph->kind];
}

void gomain_go_set_run_mode(int mode) { run_mode = mode; }

void gostd_std_draw_preamble(GoGraph *graph, int reason, uint64_t *flags, int *has_data, int *character,
                             int axis_mode, GoAutoScaleProc auto_scale, GoCoordinateProc coordinates)
{
    int dummy_has = 0, dummy_char = 0;
    uint64_t dummy_flags = 0;
    if (!has_data)
        has_data = &dummy_has;
    if (!character)
        character = &dummy_char;
    if (!flags)
        flags = &dummy_flags;
    *has_data = 0;
    GoClass *cls = gomain_go_class(graph);
    if (!graph || !cls)
        return;
    cls->coordinates = coordinates;
    goprop_go_property(graph, GP_DATAFUNC, cls->datafunc_qualifier, 0);

    int has = graph->first != -1;
    if (has) {
        *character = dsmgr_ds_character(graph->first);
        has = (cls->character_mask & *character) != 0 && graph->yblock.count != 0;
        if (axis_mode == GO_AXES_CATEGORY_X) {
            has = has && graph->yblock.count > 0;
        } else if (axis_mode != GO_AXES_SCALAR && has && !(graph->yblock.count > 1)) {
            has = 0;
            go_show_error(GO_TOO_FEW_VALUES);
        }
    }
    *has_data = has;
    auto coordinate = [&] {
        if (coordinates)
            coordinates(graph);
    };

    auto clear = [&] {
        if (graph->canvas)
            GClearCanvas(graph->canvas);
    };
    switch (reason) {
    case GO_REDRAW: break;
    case GO_NEW_DATA: {
        bool cleared = false;
        if (*flags == 0) {
            clear();
            cleared = true;
        }
        if (std_dataset_stats(graph, graph->first, &graph->xblock, &graph->yblock, &graph->zblock, 0)) {
            if (!cleared)
                clear();
            if (auto_scale && auto_scale(graph, axis_mode)) {
                if (*has_data)
                    coordinate();
                *flags = 0;
            }
        } else if (*has_data && graph->first == graph->last) {
            coordinate();
        }
        break;
    }
    case GO_ZOOM:
        if (graph->multiy) {
            go_say(GO_ZOOM_MULTIY);
            *has_data = 0;
            return;
        }
        clear();
        if (*has_data)
            coordinate();
        break;
    case GO_PROPERTIES:
        clear();
        if (cls->multiy_capable) {
            const int needed = gomy_go_multiy_needed(graph);
            if (needed && !graph->multiy) {
                graph->multiy = 1;
                gomy_init_multiy(graph);
                if (*has_data)
                    multiy_dataset_stats(graph);
            } else if (!needed && graph->multiy) {
                gomy_term_multiy(graph);
                graph->multiy = 0;
            }
        }
        if (*has_data) {
            std_dataset_stats(graph, graph->first, &graph->xblock, &graph->yblock, &graph->zblock, 0);
            if (auto_scale && auto_scale(graph, axis_mode))
                coordinate();
        }
        break;
    case GO_REPOSITION: {
        clear();
        const int placement[4] = {graph->x, graph->y, graph->width, graph->height};
        gomain_go_position_canvas(graph->canvas, placement);
        if (*has_data)
            coordinate();
        break;
    }
    case GO_REOPEN: {
        if (!(*flags & GO_KEEP_DEVICE))
            gomain_go_close_device();
        const int placement[4] = {graph->x, graph->y, graph->width, graph->height};
        graph->canvas = go_open_canvas(canvas_window_seen, placement);
        if (*has_data && graph->canvas)
            coordinate();
        break;
    }
    default: break;
    }
}

int gomain_go_graph_drawable(GoGraph *graph, int reason)
{
    if (reason != GO_PROPERTIES)
        return 1;
    const int *redraw = static_cast<const int *>(goprop_go_property(graph, GP_AUTO_REDRAW, 0, 0));
    return !redraw || *redraw != 0;
}

// ---- the graph device ------------------------------------------------------------------

namespace {

// The print kinds: protocol and device units per inch.
struct PrintKind {
    unsigned char protocol;
    double resolution;
};
const PrintKind print_kinds[6] = {{0, 0}, {GP_POSTSCRIPT, 720}, {GP_EPS, 720}, {GP_HPGL, 1021}, {GP_PCL, 75},
                                  {GP_IMAGE, 72}};

void copy_text(char (&field)[255], const char *text) { safe_strcpy(field, text ? text : "", sizeof field - 1); }

// Printing before any screen device was opened (headless, batch): the
// base device limits and transform, on which lengths in window pixels
// depend, are those the screen device would have at the canvas size (y
// downwards, as on the screen).
void ensure_base_device()
{
    long bx = 0, by = 0;
    gdev_GGetBaseDevLimits(&bx, &by);
    if (bx > 0 && by > 0)
        return;
    int w = 0, h = 0;
    go_dy_canvas_size(&w, &h);
    if (w < 2 || h < 2)
        return;
    GDeviceModes m{};
    GDeviceEntry screen{};
    if (GGetDevice(0, &screen) == 0) {
        m = screen.modes;
        gdev_GFreeDeviceEntry(&screen);
    }
    m.dcxdim = w;
    m.dcydim = h;
    gdev_GComputeVdcExtents(&m);
    GXform t;
    const double sx = m.vdcxdim ? (w - 1.0) / m.vdcxdim : 1.0, sy = m.vdcydim ? (h - 1.0) / m.vdcydim : 1.0;
    t.forward = GXformPart{{0, 0, 0}, {sx, 0, 0, 0, sy, 0, 0, 0, sx}};
    t.inverse = GXformPart{{0, 0, 0}, {1 / sx, 0, 0, 0, 1 / sy, 0, 0, 0, 1 / sx}};
    gcoords_GHackXformToInvertYdim(&t, h - 1.0);
    gdev_GSetBaseTransform(&t);
    gdev_GSetBaseDevLimits(w, h);
}

GDeviceRecord *open_device(Widget canvas_window)
{
    GDeviceEntry entry{};
    // The library's list would wrap an index past its end round to another device.
    if (device_type < 0 || device_type >= gdev_GNumDevices() || GGetDevice(device_type, &entry) != 0) {
        go_say(GO_DEVICE_FAILED);
        return nullptr;
    }
    uint64_t mask = entry.mask | GDM_BASEDEVICE;
    GDeviceModes m = entry.modes;
    m.basedevice = 0;
    if (device_type == 0) {
        m.window = run_mode == 6 ? client_window : (canvas_window ? XtWindow(canvas_window) : 0);
        m.displayconn = canvas_window ? XtDisplay(canvas_window) : nullptr;
        m.basedevice = 1;
        mask |= GDM_WINDOW | GDM_DISPLAYCONN;
    } else if (device_type == 4) {
        m.displayconn = canvas_window ? XtDisplay(canvas_window) : nullptr;
        mask |= GDM_DISPLAYCONN;
    }
    if (device_type >= 1 && device_type <= 5) {
        const GoPrintSettings *ps = print_settings;
        const int kind = ps ? ps->kind : 0;
        if (kind < 1 || kind > 5) {
            gdev_GFreeDeviceEntry(&entry);
            go_say(GO_DEVICE_FAILED);
            return nullptr;
        }
        ensure_base_device();
        const GoDisplayHooks &h = go_display_hooks();
        if (kind == 5)
            m.scale = ps->image_option;
        if (ps->destination == 1) {
            copy_text(m.filename, ps->filename);
            m.output = 0;
            mask |= GDM_FILENAME;
        } else {
            const int command = kind <= 2 ? 1 : kind;  // the PostScript command serves EPS too
            const char *c = h.printer_command(command);
            if (!c || !*c)
                c = h.default_printer_command(command);
            copy_text(m.spoolcmd, c);
            m.output = 1;
            mask |= GDM_SPOOLCMD;
        }
        mask |= GDM_OUTPUT;
        const PrintKind &pk = print_kinds[kind];
        const double res = pk.resolution;
        if (kind == 3) {
            // An entry configured for HP-GL/2 stays HP-GL/2.
            if (m.protocol != GP_HPGL && m.protocol != GP_HPGL2)
                m.protocol = GP_HPGL;
            copy_text(m.prolog, h.hpgl_prolog());
            copy_text(m.epilog, h.hpgl_epilog());
            mask |= GDM_PROLOG | GDM_EPILOG;
        } else {
            m.protocol = pk.protocol;
            if (kind <= 2) {
                copy_text(m.prolog, h.ps_prolog());
                mask |= GDM_PROLOG;
            }
        }
        mask |= GDM_PROTOCOL;
        m.ucxdim = clamp_long(ps->page_width * res);
        m.ucydim = clamp_long(ps->page_height * res);
        m.landscape = ps->landscape ? 1 : 0;
        m.driverflag = ps->options[0];
        m.centre = ps->options[1];
        mask |= GDM_UCXDIM | GDM_UCYDIM | GDM_LANDSCAPE | GDM_DRIVERFLAG | GDM_CENTRE;
        if (ps->left != -1) {
            m.fillpage = 0;
            m.dcxpos = clamp_long(ps->left * res);
            m.dcypos = clamp_long(ps->bottom * res);
            m.dcxdim = clamp_long(res * (ps->page_width - ps->left - ps->right));
            m.dcydim = clamp_long(res * (ps->page_height - ps->top - ps->bottom));
            mask |= 0x410A007E;
        } else {
            m.fillpage = 1;
            int w = 0, hgt = 0;
            go_dy_canvas_size(&w, &hgt);
            m.dcxdim = w;
            m.dcydim = hgt;
            mask |= GDM_DCXDIM | GDM_DCYDIM | GDM_FILLPAGE;
        }
    }
    GDeviceRecord *d = GOpenDevice(mask, &m, entry.tables);
    if (!d) {
        gdev_GFreeDeviceEntry(&entry);
        go_say(GO_DEVICE_FAILED);
        return nullptr;
    }
    if (device_type == 0) {
        GDeviceModes back{};
        GGetDeviceModes(d, &back);
        gdev_GSetBaseDevLimits(back.dcxdim, back.dcydim);
    }
    return d;
}

}  // namespace

int gomain_go_set_device_type(int type, const GoPrintSettings *settings, int reopen)
{
    device_type = type;
    print_settings = settings;
    if (!(reopen & 0xff))
        return 1;
    gomain_go_close_device();
    current_device = open_device(canvas_window_seen);
    return current_device ? 1 : 0;
}

int gomain_go_device_type() { return device_type; }

GDeviceRecord *gomain_go_device_id(Widget canvas_window)
{
    if (canvas_window)
        canvas_window_seen = canvas_window;
    if (!current_device)
        current_device = open_device(canvas_window ? canvas_window : canvas_window_seen);
    return current_device;
}

GDeviceRecord *gomain_go_open_device_id() { return current_device; }

void gomain_go_close_device()
{
    if (current_device)
        GCloseDevice(current_device);
    current_device = nullptr;
}

GCanvasRecord *go_open_canvas(Widget canvas_window, const int placement[4])
{
    GDeviceRecord *d = gomain_go_device_id(canvas_window);
    GCanvasRecord *c = d ? GOpenCanvas(d, 0, nullptr) : nullptr;
    if (!c) {
        go_say(GO_CANVAS_FAILED);
        return nullptr;
    }
    gomain_go_position_canvas(c, placement);
    return c;
}

void gomain_go_position_canvas(GCanvasRecord *canvas, const int placement[4])
{
    if (!canvas || !placement)
        return;
    double base[2] = {static_cast<double>(placement[0]), static_cast<double>(placement[1] + placement[3] - 1)};
    GVector in{GV_DOUBLE, 0, 2, 1, {base, nullptr, nullptr}}, out{};
    GCanvasModes m{};
    // The screen device is the base device itself: no aspect to correct.
    const int keep = canvas->device->modes.basedevice ? 1 : 0;
    if (GTransformBaseToVdcPoints(&in, &out, keep, &canvas->device->modes) == 0 && out.data[0]) {
        const double *p = static_cast<const double *>(out.data[0]);
        m.origin[0] = clamp16(p[0]);
        m.origin[1] = clamp16(p[1]);
    }
    gvector_GFreeVectorData(&out);
    m.size[0] = clamp16(GTransformLength(canvas, 5, 0, placement[2]));
    m.size[1] = clamp16(GTransformLength(canvas, 5, 1, placement[3]));
    m.size[2] = m.size[0];
    GSetCanvasModes(canvas, GCM_ORIGIN | GCM_SIZE, &m);
}

void gomain_go_process_margins(GoGraph *graph, const GCanvasModes *modes, int64_t margins[4])
{
    static const int props[4] = {GP_LEFTMARGIN, GP_RIGHTMARGIN, GP_TOPMARGIN, GP_BOTTOMMARGIN};
    const int *units = static_cast<const int *>(goprop_go_property(graph, GP_MARGIN_UNITS, 0, 0));
    for (int i = 0; i < 4; i++) {
        const int *v = static_cast<const int *>(goprop_go_property(graph, props[i], 0, 0));
        const double margin = v ? *v : 0;
        const int axis = i < 2 ? 0 : 1;
        if (units && *units == 1) {
            const double size = modes ? modes->ccextent[axis] : 0;
            margins[i] = clamp_long(size / 100 * margin);
        } else if (graph && graph->canvas) {
            // Units 0 (and any other): a length in window pixels.
            const double vdc = GTransformLength(graph->canvas, 5, axis, margin);
            margins[i] = clamp_long(GTransformLength(graph->canvas, 2, axis, vdc));
        } else {
            margins[i] = 0;
        }
    }
}

void gomain_go_set_wid(unsigned long window) { client_window = window; }
unsigned long gomain_go_get_wid() { return client_window; }

void gomain_go_clear_area(Display *display, unsigned long window, int x, int y, unsigned width, unsigned height,
                          int exposures)
{
    if (run_mode == 6)
        window = client_window;
    if (!display || window == 0)
        return;
    XClearArea(display, window, x, y, width, height, exposures ? True : False);
}

void gomain_go_set_background(long colour) { GSetCanvasColour(colour); }

void gomain_go_get_colour(GoGraph *graph, long *colour, int property, int fallback_property)
{
    const int *v = static_cast<const int *>(goprop_go_property(graph, property, 0, 0));
    long c = v ? *v : 0;
    if (c == -1) {
        const int *f = static_cast<const int *>(goprop_go_property(graph, fallback_property, 0, 0));
        c = f ? *f : 0;
    }
    if (colour)
        *colour = c;
}

void gomain_go_use_world_coordinates(GCanvasRecord *canvas)
{
    if (!canvas)
        return;
    GCanvasModes m{};
    m.coords = GCS_WC;
    GSetCanvasModes(canvas, GCM_COORDS, &m);
}

void gomain_go_set_world_clipping(GCanvasRecord *canvas)
{
    if (!canvas)
        return;
    GCanvasModes m{};
    m.clip = 3;
    GSetCanvasModes(canvas, GCM_CLIP, &m);
}
