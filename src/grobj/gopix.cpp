// Style pixmaps: each picture is an X pixmap of the screen's depth, filled
// with the colour widget's background, on which the graphics library
// draws through an X device opened on the pixmap (the installed X11
// driver does the drawing; this layer links no driver).

#include "gopix.h"

#include "gomain.h"
#include "goshell.h"

#include "pelx.h"

#include <X11/StringDefs.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

int gopix_num_colour_entries = 0, gopix_num_linestyle_entries = 0, gopix_num_marker_entries = 0,
    gopix_num_hatch_entries = 0, gopix_num_font_entries = 0;

namespace {

constexpr int PICTURE_WIDTH = 38, PICTURE_HEIGHT = 16, WIDE_RAMP_WIDTH = 177;
constexpr double MARKER_SCALE = 7.0;

// The five tables and the display their pixmaps live on.
struct Pictures {
    Display *display = nullptr;
    std::vector<long> colours, lines, markers, hatches, fonts;
};
Pictures pictures;

// What every picture is made with.
struct Painter {
    Display *display;
    Screen *screen;
    unsigned long background;
};

// A picture being drawn: its pixmap, and the device and canvas on it.
struct Picture {
    Pixmap pixmap = 0;
    GDeviceRecord *device = nullptr;
    GCanvasRecord *canvas = nullptr;
    double width = 0, height = 0;  // world units: the pixmap's pixels
};

// Closes the device (and its canvas); the pixmap stays.
void finish(Picture &p)
{
    if (p.device)
        GCloseDevice(p.device);
    p.device = nullptr;
    p.canvas = nullptr;
}

// Opens an X device of the configured screen entry on the pixmap.
GDeviceRecord *open_device(Display *display, Pixmap pixmap)
{
    GDeviceEntry entry{};
    if (GGetDevice(0, &entry) != 0)
        return nullptr;
    GDeviceModes m = entry.modes;
    m.protocol = GP_X;
    m.window = pixmap;
    m.displayconn = display;
    m.iswindow = 0;
    m.basedevice = 0;
    const uint64_t mask = entry.mask | GDM_PROTOCOL | GDM_WINDOW | GDM_DISPLAYCONN | GDM_ISWINDOW | GDM_BASEDEVICE;
    GDeviceRecord *device = GOpenDevice(mask, &m, entry.tables);
    if (!device)
        gdev_GFreeDeviceEntry(&entry);
    return device;
}

// One picture: a pixmap filled with the background, a device on it and a
// canvas whose world is the pixmap's pixels, y upwards.  The picture's
// pixmap is 0 when none could be made; its canvas null when the device or
// canvas failed (said so).
Picture create_pixmap_canvas(const Painter &painter, int width, int height)
{
    Picture p;
    Display *dpy = painter.display;
    p.pixmap = XCreatePixmap(dpy, RootWindowOfScreen(painter.screen), static_cast<unsigned>(width),
                             static_cast<unsigned>(height), static_cast<unsigned>(DefaultDepthOfScreen(painter.screen)));
    if (!p.pixmap)
        return p;
    GC gc = XCreateGC(dpy, p.pixmap, 0, nullptr);
    XSetForeground(dpy, gc, painter.background);
    XFillRectangle(dpy, p.pixmap, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFreeGC(dpy, gc);
    p.device = open_device(dpy, p.pixmap);
    if (!p.device) {
        go_say(GO_PIXMAP_DEVICE_FAILED);
        return p;
    }
    GDeviceModes dm{};
    GGetDeviceModes(p.device, &dm);
    GCanvasModes cm{};
    cm.clip = 0;
    cm.coords = GCS_WC;
    cm.size[0] = cm.size[2] = cm.pssize[0] = cm.pssize[2] = dm.vdcxdim;
    cm.size[1] = cm.pssize[1] = dm.vdcydim;
    cm.world[3] = p.width = width;
    cm.world[4] = p.height = height;
    cm.world[5] = 1;
    p.canvas = GOpenCanvas(p.device, GCM_CLIP | GCM_COORDS | GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_WORLD,
                           &cm);
    if (!p.canvas) {
        go_say(GO_PIXMAP_CANVAS_FAILED);
        finish(p);
    }
    return p;
}

GVector point2(double *xy) { return GVector{GV_DOUBLE, 0, 2, 1, {xy, nullptr, nullptr}}; }

void set_colour(GCanvasRecord *c, long colour)
{
    GLineModes l{};
    l.style = 0;
    l.colour = colour;
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR, &l);
}

// The whole picture as one rectangle.
void fill_rectangle(const Picture &p, bool ramp)
{
    double a[2] = {0, 0}, b[2] = {p.width, p.height};
    GVector va = point2(a), vb = point2(b);
    if (ramp)
        gdraw_GDrawColouredRectangle(p.canvas, &va, &vb, 0);
    else
        gdraw_GDrawRectangle(p.canvas, &va, &vb);
}

long draw_colour(const Painter &painter, int index, int count)
{
    const bool ramp = index >= count - 2;
    Picture p = create_pixmap_canvas(painter, index == count - 1 ? WIDE_RAMP_WIDTH : PICTURE_WIDTH, PICTURE_HEIGHT);
    if (p.canvas) {
        if (!ramp) {
            set_colour(p.canvas, index);
            gomain_go_setup_fill_modes(p.canvas, 1, index);
        }
        fill_rectangle(p, ramp);
    }
    finish(p);
    return p.pixmap ? static_cast<long>(p.pixmap) : -1;
}

long draw_line_style(const Painter &painter, int style)
{
    Picture p = create_pixmap_canvas(painter, PICTURE_WIDTH, PICTURE_HEIGHT);
    if (p.canvas) {
        GLineModes l{};
        l.style = style;
        l.colour = 1;
        GSetLineModes(p.canvas, GLM_STYLE | GLM_COLOUR, &l);
        double a[2] = {0, p.height / 2}, b[2] = {p.width, p.height / 2};
        GVector va = point2(a), vb = point2(b);
        gdraw_GDrawLine(p.canvas, &va, &vb);
    }
    finish(p);
    return p.pixmap ? static_cast<long>(p.pixmap) : -1;
}

long draw_marker(const Painter &painter, int marker)
{
    Picture p = create_pixmap_canvas(painter, PICTURE_WIDTH, PICTURE_HEIGHT);
    if (p.canvas) {
        set_colour(p.canvas, 1);
        GMarkerModes m{};
        m.index = marker;
        m.scale = MARKER_SCALE;
        GSetMarkerModes(p.canvas, GMM_INDEX | GMM_SCALE, &m);
        double at[2] = {p.width / 2, p.height / 2};
        GVector v = point2(at);
        gdraw_GDrawMarkers(p.canvas, &v);
    }
    finish(p);
    return p.pixmap ? static_cast<long>(p.pixmap) : -1;
}

long draw_hatch(const Painter &painter, int style)
{
    Picture p = create_pixmap_canvas(painter, PICTURE_WIDTH, PICTURE_HEIGHT);
    if (p.canvas) {
        set_colour(p.canvas, 1);
        gomain_go_setup_fill_modes(p.canvas, style, 1);
        fill_rectangle(p, false);
    }
    finish(p);
    return p.pixmap ? static_cast<long>(p.pixmap) : -1;
}

long draw_font(const Painter &painter, int font)
{
    Picture p = create_pixmap_canvas(painter, PICTURE_WIDTH, PICTURE_HEIGHT);
    if (p.canvas) {
        std::string sample = font == 1 ? "stroke" : "font";
        const GFont *f = gfont_GGetCanvasFont(p.canvas, font);
        if (f && f->name && f->name[0])
            sample.assign(f->name, strnlen(f->name, 6));
        GTextModes t{};
        t.font = font;
        t.colour = 1;
        t.scale = font == 1 ? 2.5 : 3.5;
        t.angle = 0;
        t.alignment = 4;  // centred
        GSetTextModes(p.canvas, GTM_FONT | GTM_COLOUR | GTM_SCALE | GTM_ANGLE | GTM_ALIGNMENT, &t);
        double at[2] = {p.width / 2, p.height / 2};
        GVector v = point2(at);
        GPutText(p.canvas, &v, sample.c_str());
    }
    finish(p);
    return p.pixmap ? static_cast<long>(p.pixmap) : -1;
}

// The counts from one picture device; false when none opens.
bool count_on_picture_device(const Painter &painter)
{
    Picture p = create_pixmap_canvas(painter, PICTURE_WIDTH, PICTURE_HEIGHT);
    const bool ok = p.device != nullptr;
    if (ok) {
        gopix_num_colour_entries = static_cast<int>(GGetNumColours(p.device)) + 2;
        gopix_num_linestyle_entries = static_cast<int>(GGetNumLines(p.device));
        gopix_num_marker_entries = std::max(0, static_cast<int>(GGetNumMarkers(p.device)) - 4);
        gopix_num_hatch_entries = static_cast<int>(GGetNumHatches(p.device)) + 2;
        gopix_num_font_entries = static_cast<int>(GGetNumFonts(p.device));
    }
    finish(p);
    if (p.pixmap)
        XFreePixmap(painter.display, p.pixmap);
    return ok;
}

long picture(const std::vector<long> &table, int index)
{
    return index >= 0 && static_cast<size_t>(index) < table.size() ? table[static_cast<size_t>(index)] : -1;
}

}  // namespace

int gopix_go_count_styles()
{
    if (gdev_GNumDevices() < 1)
        return 0;
    GDeviceEntry entry{};
    if (GGetDevice(0, &entry) != 0)
        return 0;
    auto length = [&](int t) { return entry.tables[t] ? static_cast<int>(entry.tables[t]->length) : 0; };
    gopix_num_colour_entries = static_cast<int>(GGetNumColoursIn(entry.tables[GT_COLOURS])) + 2;
    gopix_num_linestyle_entries = length(GT_LINES);
    gopix_num_marker_entries = std::max(0, length(GT_MARKERS) - 4);
    gopix_num_hatch_entries = length(GT_HATCHES) + 2;
    gopix_num_font_entries = length(GT_FONTS);
    gdev_GFreeDeviceEntry(&entry);
    return 1;
}

void gopix_go_free_pixmaps()
{
    for (std::vector<long> *t : {&pictures.colours, &pictures.lines, &pictures.markers, &pictures.hatches,
                                 &pictures.fonts}) {
        for (long p : *t)
            if (p != -1 && pictures.display)
                XFreePixmap(pictures.display, static_cast<Pixmap>(p));
        t->clear();
    }
    pictures.display = nullptr;
}

void go_initialise_pixmaps(Widget widget, Widget colour_widget)
{
    gopix_go_free_pixmaps();
    if (!widget) {
        gopix_go_count_styles();
        return;
    }
    Painter painter{XtDisplay(widget), XtScreen(widget), 0};
    Pixel background = WhitePixelOfScreen(painter.screen);
    XtVaGetValues(colour_widget ? colour_widget : widget, XtNbackground, &background, nullptr);
    painter.background = background;
    if (!count_on_picture_device(painter)) {
        gopix_go_count_styles();
        return;
    }
    pictures.display = painter.display;
    for (int i = 0; i < gopix_num_colour_entries; i++)
        pictures.colours.push_back(draw_colour(painter, i, gopix_num_colour_entries));
    for (int i = 0; i < gopix_num_linestyle_entries; i++)
        pictures.lines.push_back(draw_line_style(painter, i));
    for (int i = 0; i < gopix_num_marker_entries; i++)
        pictures.markers.push_back(draw_marker(painter, i));
    for (int i = 0; i < gopix_num_hatch_entries; i++)
        pictures.hatches.push_back(draw_hatch(painter, i));
    for (int i = 0; i < gopix_num_font_entries; i++)
        pictures.fonts.push_back(draw_font(painter, i));
    XFlush(painter.display);
}

long gopix_go_pelx_colour(int index, int wide, int *wide_out)
{
    const int ramp = gopix_num_colour_entries - 2;
    if (index == -1)
        index = ramp;
    if (index < 0 || index >= gopix_num_colour_entries - 1)
        return -1;
    if (index == ramp && wide) {
        if (wide_out)
            *wide_out = 1;
        return picture(pictures.colours, ramp + 1);
    }
    return picture(pictures.colours, index);
}

long gopix_go_pelx_linestyle(int index) { return index < gopix_num_linestyle_entries ? picture(pictures.lines, index) : -1; }
long gopix_go_pelx_marker(int index) { return index < gopix_num_marker_entries ? picture(pictures.markers, index) : -1; }
long gopix_go_pelx_hatch(int index) { return index < gopix_num_hatch_entries ? picture(pictures.hatches, index) : -1; }
long gopix_go_pelx_font(int index) { return index < gopix_num_font_entries ? picture(pictures.fonts, index) : -1; }
