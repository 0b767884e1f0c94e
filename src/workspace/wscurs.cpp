// The workspace cursors.

#include "dlmain.h"
#include "wsmain.h"

#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <string>

namespace {

struct Cursors {
    Cursor cursors[8] = {};
    int current = 0;
    int warp = 1;
    Widget tool = nullptr;
    Dimension margin_width = 0, margin_height = 0, border = 0;
    int warp_x = 0, warp_y = 0;
    std::string base;
    Display *display = nullptr;
} cs;

unsigned glyph(int code)
{
    switch (code) {
    case WS_CURSOR_BUSY: return XC_watch;
    case WS_CURSOR_MOVE: return XC_fleur;
    case WS_CURSOR_REFERENCE: return XC_hand2;
    case WS_CURSOR_SIZE: return XC_bottom_right_corner;
    case WS_CURSOR_CROSS: return XC_crosshair;
    case WS_CURSOR_TARGET: return XC_circle;
    default: return 0;
    }
}

Cursor make_drag_cursor(Display *d)
{
    Window root = DefaultRootWindow(d);
    const std::string dir = cs.base + "/bitmaps/Vostrelane/";
    Pixmap shape = 0, mask = 0;
    unsigned w, h, mw, mh;
    int hx = 0, hy = 0, mx, my;
    if (XReadBitmapFile(d, root, (dir + "drag.cursor").c_str(), &w, &h, &shape, &hx, &hy) != BitmapSuccess)
        return 0;
    if (XReadBitmapFile(d, root, (dir + "dragm.cursor").c_str(), &mw, &mh, &mask, &mx, &my) != BitmapSuccess) {
        XFreePixmap(d, shape);
        return 0;
    }
    hx = hx < 0 ? 0 : hx;
    hy = hy < 0 ? 0 : hy;
    XColor black{}, white{};
    black.pixel = BlackPixel(d, DefaultScreen(d));
    white.pixel = WhitePixel(d, DefaultScreen(d));
    Colormap cmap = DefaultColormap(d, DefaultScreen(d));
    XQueryColor(d, cmap, &black);
    XQueryColor(d, cmap, &white);
    Cursor c = XCreatePixmapCursor(d, shape, mask, &black, &white, static_cast<unsigned>(hx), static_cast<unsigned>(hy));
    XFreePixmap(d, shape);
    XFreePixmap(d, mask);
    cs.warp_x = hx + cs.margin_width + cs.border;
    cs.warp_y = hy + cs.margin_height + cs.border;
    return c;
}

Cursor cursor_for(Display *d, int code)
{
    if (code <= 0 || code > 7)
        return 0;
    if (cs.cursors[code])
        return cs.cursors[code];
    Cursor c = 0;
    if (code == WS_CURSOR_DRAG)
        c = make_drag_cursor(d);
    else
        c = XCreateFontCursor(d, glyph(code));
    if (c && (code == WS_CURSOR_CROSS || code == WS_CURSOR_TARGET)) {
        XColor fg{}, bg{}, exact{};
        Colormap cmap = DefaultColormap(d, DefaultScreen(d));
        XLookupColor(d, cmap, "white", &exact, &fg);
        XLookupColor(d, cmap, "black", &exact, &bg);
        XRecolorCursor(d, c, &fg, &bg);
    }
    cs.cursors[code] = c;
    return c;
}

void for_shown_dialogs(Display *d, Cursor c, bool define)
{
    for (int n = 0; Widget w = dlmain_enquire_nth_popup(n); n++) {
        Widget shell = dlmain_dialog_shell(w);
        if (!shell || !XtIsRealized(shell))
            continue;
        if (define)
            XDefineCursor(d, XtWindow(shell), c);
        else
            XUndefineCursor(d, XtWindow(shell));
    }
}

}  // namespace

void wscurs_ws_init(Display *display, const char *base)
{
    cs.display = display;
    cs.base = base ? base : "";
}

int wscurs_ws_current_cursor() { return cs.current; }

Cursor wscurs_ws_cursor(int code)
{
    Widget canvas = wsmain_ws_canvas();
    Display *d = cs.display ? cs.display : canvas ? XtDisplay(canvas) : nullptr;
    return d ? cursor_for(d, code) : 0;
}

void wscurs_ws_set_drag_tool(Widget tool)
{
    cs.tool = tool;
    if (tool)
        XtVaGetValues(tool, XmNmarginWidth, &cs.margin_width, XmNmarginHeight, &cs.margin_height, XmNborderWidth,
                      &cs.border, nullptr);
}

void wscurs_ws_set_warp_ability(int on) { cs.warp = on ? 1 : 0; }

void wscurs_ws_set_cursor(Window window, Widget dialog, int code)
{
    if (code == cs.current)
        return;
    Widget canvas = wsmain_ws_canvas();
    Display *d = cs.display ? cs.display : canvas ? XtDisplay(canvas) : nullptr;
    if (!d || !window) {
        cs.current = code;
        return;
    }
    Widget dshell = dialog ? dlmain_dialog_shell(dialog) : nullptr;
    Window dwin = dshell && XtIsRealized(dshell) ? XtWindow(dshell) : 0;
    if (cs.current != 0) {
        XUndefineCursor(d, window);
        if (dwin)
            XUndefineCursor(d, dwin);
        if (cs.current == WS_CURSOR_BUSY)
            for_shown_dialogs(d, 0, false);
    }
    if (code != 0) {
        Cursor c = cursor_for(d, code);
        XDefineCursor(d, window, c);
        if (dwin && code != WS_CURSOR_REFERENCE)
            XDefineCursor(d, dwin, c);
        if (code == WS_CURSOR_BUSY)
            for_shown_dialogs(d, c, true);
        if (code == WS_CURSOR_DRAG && cs.warp && cs.tool && XtIsRealized(cs.tool))
            XWarpPointer(d, None, XtWindow(cs.tool), 0, 0, 0, 0, cs.warp_x, cs.warp_y);
    }
    XFlush(d);
    cs.current = code;
}
