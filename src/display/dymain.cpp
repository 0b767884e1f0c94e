// The display window and its input dispatch.

#include "dymain.h"

#include "dygrph.h"
#include "dymsgs.h"
#include "qymgr.h"
#include "vxcat.h"
#include "vxhelp.h"
#include "vxutil.h"

#include <Xm/DrawingA.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/LabelG.h>
#include <Xm/ScrollBar.h>
#include <Xm/ScrolledW.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

DyHooks dy_hooks{};
char dymain_dy_printer_commands[DY_PRINT_COMMANDS][256];
char dymain_dy_ps_prolog[256], dymain_dy_hpgl_prolog[256], dymain_dy_hpgl_epilog[256];

namespace {

struct Display_ {
    Widget canvas = nullptr, footer = nullptr, vbar = nullptr, hbar = nullptr;
    Widget toplevel = nullptr, window = nullptr;
    DyActionHandler handler = nullptr;
    int mask = 0;
    DyPopupProc popup = nullptr;
    int width = 0, height = 0;
    XEvent last_expose{};
    bool cancel_wait = false;
    GC gc = nullptr;
    Pixel graph_background = 0, graph_foreground = 1;
    bool background_set = false;
    int quirks = -1;
    XtIntervalId single_timer = 0, double_timer = 0;
    std::string default_commands[DY_PRINT_COMMANDS];
} dy;

DyResources res;
char message_buffer[128];

// ---- the click machine on Xt timers ------------------------------------------

void single_fired(XtPointer, XtIntervalId *);
void double_fired(XtPointer, XtIntervalId *);

// Starts (after stopping) or stops one of the click machine's two timers.
void restart_timer(XtIntervalId &timer, int interval, XtTimerCallbackProc fired)
{
    if (timer)
        XtRemoveTimeOut(timer);
    timer = XtAppAddTimeOut(XtWidgetToApplicationContext(dy.canvas), static_cast<unsigned long>(std::max(1, interval)),
                            fired, nullptr);
}

void stop_timer(XtIntervalId &timer)
{
    if (timer)
        XtRemoveTimeOut(timer);
    timer = 0;
}

struct ClickOwner : DyClickOwner {
    void start_single_timer() override { restart_timer(dy.single_timer, res.single_click, single_fired); }
    void stop_single_timer() override { stop_timer(dy.single_timer); }
    void start_double_timer() override { restart_timer(dy.double_timer, res.double_click, double_fired); }
    void stop_double_timer() override { stop_timer(dy.double_timer); }
    void deliver(int action, DyPoint at) override
    {
        DyRectData d{at.x, at.y, 0, 0};
        dymain_dy_deliver(action, &d);
    }
    void bell() override { XBell(XtDisplay(dy.canvas), 0); }
} click_owner;
DyClickMachine clicks(click_owner);
DyResizeMachine resizes;

void single_fired(XtPointer, XtIntervalId *)
{
    dy.single_timer = 0;
    clicks.single_timer_fired();
}

void double_fired(XtPointer, XtIntervalId *)
{
    dy.double_timer = 0;
    clicks.double_timer_fired();
}

// ---- handlers ------------------------------------------------------------------

void input_handler(Widget, XtPointer, XEvent *ev, Boolean *)
{

    if (!(dy.mask & (DY_EXPOSE | DY_SINGLE_CLICK | DY_DOUBLE_CLICK | DY_HOLD)))
        return;
    XEvent next;
    if (hlp_in_item_loop && (ev->type == ButtonPress || ev->type == ButtonRelease) && ev->xbutton.button != 1) {
        XNextEvent(XtDisplay(dy.canvas), &next);
        ev = &next;
    }
    switch (ev->type) {
    case ButtonPress:
        clicks.press(static_cast<int>(ev->xbutton.button), {ev->xbutton.x, ev->xbutton.y});
        break;
    case ButtonRelease: clicks.release(static_cast<int>(ev->xbutton.button)); break;
    case KeyPress: {
        KeySym sym = XLookupKeysym(&ev->xkey, 0);
        if (const char *action = dy_key_action(sym, (ev->xkey.state & ShiftMask) != 0))
            XtCallActionProc(dy.canvas, const_cast<char *>(action), ev, nullptr, 0);
        break;
    }
    default: break;
    }
}

void resize_cb(Widget w, XtPointer, XtPointer)
{
    dy.cancel_wait = true;
    Dimension width = 0, height = 0;
    XtVaGetValues(w, XmNwidth, &width, XmNheight, &height, nullptr);
    DyRectData d{0, 0, width - dy.width, height - dy.height};
    dy.width = width;
    dy.height = height;
    if (resizes.resized(d.width, d.height))
        dymain_dy_deliver(DY_RESIZE, &d);
}

void expose_handler(Widget, XtPointer, XEvent *ev, Boolean *)
{
    if (ev->type != Expose && ev->type != GraphicsExpose)
        return;
    dy.last_expose = *ev;
    int x = ev->type == Expose ? ev->xexpose.x : ev->xgraphicsexpose.x;
    int y = ev->type == Expose ? ev->xexpose.y : ev->xgraphicsexpose.y;
    int w = ev->type == Expose ? ev->xexpose.width : ev->xgraphicsexpose.width;
    int h = ev->type == Expose ? ev->xexpose.height : ev->xgraphicsexpose.height;
    bool quirk = (dymain_dy_server_bugs() & 1) != 0;
    switch (resizes.exposed(w, h, dy.width, dy.height, quirk)) {
    case DyResizeMachine::REPORT_RESIZE: {
        DyRectData d{0, 0, 0, 0};
        dymain_dy_deliver(DY_RESIZE, &d);
        break;
    }
    case DyResizeMachine::REPORT_EXPOSE: {
        if (quirk && (w != dy.width || h != dy.height) && dy_hooks.has_backing_store &&
            dy_hooks.has_backing_store())
            return;
        DyRectData d{x, y, w, h};
        dymain_dy_deliver(DY_EXPOSE, &d);
        break;
    }
    case DyResizeMachine::IGNORE: break;
    }
}

void new_data_handler(Widget, XtPointer, XEvent *ev, Boolean *)
{
    if (ev->type != ClientMessage || ev->xclient.message_type != qymgr_qy_newdata_atom())
        return;
    clear_fpe();
    dymain_dy_deliver(DY_NEW_DATA, nullptr);
    if (dy_hooks.enable_stop)
        dy_hooks.enable_stop(0);
    if (dy_hooks.data_sensitivity)
        dy_hooks.data_sensitivity();
    if (dy_hooks.data_handled)
        dy_hooks.data_handled();
}

void scroll_cb(Widget w, XtPointer, XtPointer call)
{
    auto *cb = static_cast<XmScrollBarCallbackStruct *>(call);
    DyScrollData d{w == dy.vbar ? 1 : 2, cb->value};
    dymain_dy_deliver(DY_SCROLL, &d);
}

// ---- actions -------------------------------------------------------------------------

void select_action(int code, XEvent *ev)
{

    if (!(dy.mask & code) || !ev)
        return;
    int x = 0, y = 0;
    Time t = CurrentTime;
    if (ev->type == ButtonPress || ev->type == ButtonRelease) {
        x = ev->xbutton.x, y = ev->xbutton.y, t = ev->xbutton.time;
    } else if (ev->type == MotionNotify) {
        x = ev->xmotion.x, y = ev->xmotion.y, t = ev->xmotion.time;
    } else if (ev->type == KeyPress || ev->type == KeyRelease) {
        x = ev->xkey.x, y = ev->xkey.y, t = ev->xkey.time;
    }
    DySelectData d{std::clamp(x, 0, std::max(0, dy.width - 1)), std::clamp(y, 0, std::max(0, dy.height - 1)), t};
    dymain_dy_deliver(code, &d);
}

Time event_time(XEvent *ev)
{
    if (!ev)
        return CurrentTime;
    switch (ev->type) {
    case ButtonPress:
    case ButtonRelease: return ev->xbutton.time;
    case MotionNotify: return ev->xmotion.time;
    case KeyPress:
    case KeyRelease: return ev->xkey.time;
    default: return CurrentTime;
    }
}

void start_select_act(Widget, XEvent *ev, String *, Cardinal *) { select_action(DY_START_SELECT, ev); }
void drag_select_act(Widget, XEvent *ev, String *, Cardinal *) { select_action(DY_DRAG_SELECT, ev); }
void end_select_act(Widget, XEvent *ev, String *, Cardinal *) { select_action(DY_END_SELECT, ev); }
void adjust_select_act(Widget, XEvent *ev, String *, Cardinal *) { select_action(DY_ADJUST_SELECT, ev); }
void reselect_act(Widget, XEvent *ev, String *, Cardinal *)
{
    if (!(dy.mask & DY_RESELECT))
        return;
    DySelectData d{0, 0, event_time(ev)};
    dymain_dy_deliver(DY_RESELECT, &d);
}
void toggle_box_act(Widget, XEvent *, String *, Cardinal *) { dymain_dy_deliver(DY_TOGGLE_BOX, nullptr); }
void popup_act(Widget w, XEvent *ev, String *, Cardinal *)
{
    if (dy.popup)
        dy.popup(w, ev);
}

// The graph view's actions: markers and pan, served once graphs are there.
void graph_action(Widget, XEvent *, String *, Cardinal *) {}

void add_actions(XtAppContext app)
{
    // Selection works by characters in every locale (the store keeps its
    // ends off the middle of a multibyte character).
    XtActionsRec canvas_actions[] = {
        {const_cast<char *>("start_select"), start_select_act},
        {const_cast<char *>("drag_select"), drag_select_act},
        {const_cast<char *>("end_select"), end_select_act},
        {const_cast<char *>("adjust_select"), adjust_select_act},
        {const_cast<char *>("reselect"), reselect_act},
        {const_cast<char *>("toggle_box"), toggle_box_act},
        {const_cast<char *>("dy_popup"), popup_act},
    };
    XtAppAddActions(app, canvas_actions, XtNumber(canvas_actions));
    static const char *graph_names[] = {"marker_left", "marker_right", "marker_previous", "marker_next",
                                        "marker_start", "marker_end",  "marker_toggle",   "pan_left",
                                        "pan_right",    "pan_up",      "pan_down"};
    XtActionsRec graph_actions[11];
    for (int i = 0; i < 11; i++)
        graph_actions[i] = {const_cast<char *>(graph_names[i]), graph_action};
    XtAppAddActions(app, graph_actions, 11);
}

void add_canvas_handlers(Widget canvas, bool input)
{
    if (input)
        XtAddEventHandler(canvas, KeyPressMask | ButtonPressMask | ButtonReleaseMask, False, input_handler, nullptr);
    XtAddCallback(canvas, XmNresizeCallback, resize_cb, nullptr);
    XtAddEventHandler(canvas, ExposureMask, True, expose_handler, nullptr);
    XtAddEventHandler(canvas, NoEventMask, True, new_data_handler, nullptr);
}

void read_size()
{
    Dimension w = 0, h = 0;
    XtVaGetValues(dy.canvas, XmNwidth, &w, XmNheight, &h, nullptr);
    dy.width = w;
    dy.height = h;
}

void store_resources(AppData *a)
{
    res = DyResources{};
    if (!a)
        return;
    res.text_font = a->textFont;
    res.buffer_size = std::max(1, a->displayBufferSize);
    res.check_stop_lines = a->displayCheckStopLines;
    res.page_length = a->printerPageLength;
    res.page_width = a->printerPageWidth;
    res.arrays_in_columns = a->printArraysInColumns;
    res.percentage_pan = a->percentagePan;
    res.run_mode = a->runMode;
    res.single_click = a->singleClickInterval > 0 ? a->singleClickInterval : 200;
    res.double_click = a->doubleClickInterval > 0 ? a->doubleClickInterval : 300;
    dymain_catd = a->catd;
    const char *defaults[DY_PRINT_COMMANDS] = {a->plainPrintCommand, a->psPrintCommand, a->graphPrintCommand,
                                               a->graphPlotCommand, a->graphPclCommand};
    for (int i = 0; i < DY_PRINT_COMMANDS; i++)
        dy.default_commands[i] = defaults[i] ? defaults[i] : "";
    const char *dir = a->install_dir ? a->install_dir : "";
    snprintf(dymain_dy_ps_prolog, sizeof dymain_dy_ps_prolog, "%s/etc/prolog.ps", dir);
    snprintf(dymain_dy_hpgl_prolog, sizeof dymain_dy_hpgl_prolog, "%s/etc/prolog.hpgl", dir);
    snprintf(dymain_dy_hpgl_epilog, sizeof dymain_dy_hpgl_epilog, "%s/etc/epilog.hpgl", dir);
}

}  // namespace

const DyResources &dymain_resources() { return res; }

const char *dymain_dy_default_printer_commands(int n)
{
    if (n < 0 || n >= DY_PRINT_COMMANDS)
        return "";
    return dymain_dy_printer_commands[n][0] ? dymain_dy_printer_commands[n] : dy.default_commands[n].c_str();
}

Widget dymain_display_init(Widget toplevel, Widget parent, AppData *resources, Widget fallback)
{
    dy = Display_{};
    store_resources(resources);
    for (auto &c : dymain_dy_printer_commands)
        c[0] = '\0';
    dy.toplevel = toplevel;
    add_actions(XtWidgetToApplicationContext(toplevel));
    if (res.run_mode == RUN_TSL_NOMENU || res.run_mode == RUN_TSL_NOWIN) {
        dy.canvas = XtVaCreateManagedWidget("display", xmDrawingAreaWidgetClass, toplevel, nullptr);
        if (res.run_mode == RUN_TSL_NOMENU)
            dy.window = dy.canvas;
        add_canvas_handlers(dy.canvas, false);
        read_size();
        return fallback;
    }
    dy.window = parent;
    Widget frame = XtVaCreateManagedWidget("displayFrame", xmFrameWidgetClass, parent, nullptr);
    // The window keeps the size its user gave it: a footer text or a
    // mode change must not make the form ask its shell for another size.
    Widget form = XtVaCreateManagedWidget("displayForm", xmFormWidgetClass, frame, XmNresizePolicy,
                                          XmRESIZE_NONE, nullptr);
    // The footer keeps the height of a line of its font whatever it shows.
    XmString blank = XmStringCreateLocalized(const_cast<char *>(" "));
    dy.footer = XtVaCreateManagedWidget("footerL", xmLabelGadgetClass, form, XmNlabelString, blank,
                                        XmNrecomputeSize, False, XmNalignment, XmALIGNMENT_BEGINNING,
                                        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                                        XmNbottomAttachment, XmATTACH_FORM,
                                        resources && resources->labelFont ? XmNfontList : nullptr,
                                        resources ? resources->labelFont : nullptr, nullptr);
    XmStringFree(blank);
    XmString empty = XmStringCreateLocalized(const_cast<char *>(""));
    XtVaSetValues(dy.footer, XmNlabelString, empty, nullptr);
    XmStringFree(empty);
    Widget sw = XtVaCreateManagedWidget("displaySW", xmScrolledWindowWidgetClass, form, XmNscrollingPolicy,
                                        XmAPPLICATION_DEFINED, XmNscrollBarDisplayPolicy, XmSTATIC,
                                        XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
                                        XmNrightAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_WIDGET,
                                        XmNbottomWidget, dy.footer, nullptr);
    dy.canvas = XtVaCreateManagedWidget("display", xmDrawingAreaWidgetClass, sw, nullptr);
    add_canvas_handlers(dy.canvas, true);
    dy.vbar = XtVaCreateManagedWidget("displayVB", xmScrollBarWidgetClass, sw, XmNorientation, XmVERTICAL,
                                      nullptr);
    dy.hbar = XtVaCreateManagedWidget("displayHB", xmScrollBarWidgetClass, sw, XmNorientation, XmHORIZONTAL,
                                      nullptr);
    for (Widget bar : {dy.vbar, dy.hbar}) {
        Pixel fg = 0;
        XtVaGetValues(bar, XmNforeground, &fg, nullptr);
        XtVaSetValues(bar, XmNbackground, fg, nullptr);
        XtAddCallback(bar, XmNvalueChangedCallback, scroll_cb, nullptr);
        XtAddCallback(bar, XmNdragCallback, scroll_cb, nullptr);
    }
    RegisterHelp(dy.canvas, dy.footer, dy.vbar, dy.hbar, static_cast<Widget>(nullptr), 752, 753, 754, 755, 0);
    XmScrolledWindowSetAreas(sw, dy.hbar, dy.vbar, dy.canvas);
    read_size();
    return frame;
}

void dymain_dy_set_action_handler(DyActionHandler proc) { dy.handler = proc; }
void dymain_dy_set_action_mask(int mask) { dy.mask = mask; }
int dymain_dy_action_mask() { return dy.mask; }
void dymain_dy_set_popup_menu(DyPopupProc proc) { dy.popup = proc; }

void dymain_dy_deliver(int action, void *data)
{
    if (dy.handler && (dy.mask & action))
        dy.handler(dy.canvas, action, data);
}

Widget dymain_dy_canvas() { return dy.canvas; }

void dymain_dy_get_canvas_size(int *width, int *height)
{
    if (width)
        *width = dy.width;
    if (height)
        *height = dy.height;
}

const XEvent *dymain_dy_last_expose_event() { return &dy.last_expose; }

void dymain_dy_get_window_info(int *x, int *y, int *width, int *height, int *unmapped)
{
    Widget top = dy.canvas;
    while (top && !XtIsShell(top))
        top = XtParent(top);
    Position px = 0, py = 0;
    Dimension w = 0, h = 0;
    if (top)
        XtVaGetValues(top, XmNx, &px, XmNy, &py, XmNwidth, &w, XmNheight, &h, nullptr);
    int map_state = IsUnmapped;
    if (top && XtIsRealized(top)) {
        XWindowAttributes attrs;
        if (XGetWindowAttributes(XtDisplay(top), XtWindow(top), &attrs))
            map_state = attrs.map_state;
    }
    if (x)
        *x = px;
    if (y)
        *y = py;
    if (width)
        *width = w;
    if (height)
        *height = h;
    if (unmapped)
        *unmapped = map_state == IsUnmapped;
}

void dymain_dy_enable_scrollbars(int flag)
{
    if (dy.vbar)
        XtSetSensitive(dy.vbar, flag ? True : False);
    if (dy.hbar)
        XtSetSensitive(dy.hbar, flag ? True : False);
}

void dymain_dy_set_scrollbar(int bar, int maximum, int slider, int value)
{
    Widget w = bar == 2 ? dy.hbar : dy.vbar;
    if (!w || (maximum == -1 && slider == -1 && value == -1))
        return;
    int max_now = 0, slider_now = 0, value_now = 0;
    XtVaGetValues(w, XmNmaximum, &max_now, XmNsliderSize, &slider_now, XmNvalue, &value_now, nullptr);
    int m = maximum != -1 ? std::max(1, maximum) : max_now;
    int s = slider != -1 ? slider : slider_now;
    int v = value != -1 ? value : value_now;
    s = std::clamp(s, 1, m);
    v = std::clamp(v, 0, m - s);
    XtVaSetValues(w, XmNminimum, 0, XmNmaximum, m, XmNsliderSize, s, XmNvalue, v, nullptr);
    if (slider != -1)
        XtVaSetValues(w, XmNpageIncrement, s, nullptr);
}

const char *dymain_dy_message(int n)
{
    const char *text = vx_msg_text(dymain_catd, 69, n, "");
    snprintf(message_buffer, sizeof message_buffer, "%s", text ? text : "");
    return message_buffer;
}

void dymain_dy_show_message(int n) { dymain_dy_show_raw_message(n == -1 ? "" : dymain_dy_message(n)); }

void dymain_dy_show_raw_message(const char *text)
{
    if (!dy.footer)
        return;
    XmString s = XmStringCreateLocalized(const_cast<char *>(text ? text : ""));
    XtVaSetValues(dy.footer, XmNlabelString, s, nullptr);
    XmStringFree(s);
    XmUpdateDisplay(XtParent(dy.footer));
    XFlush(XtDisplayOfObject(dy.footer));
}

int dymain_dy_server_bugs()
{
    if (dy.quirks < 0) {
        dy.quirks = 0;
        if (dy.canvas) {
            std::string vendor = ServerVendor(XtDisplay(dy.canvas));
            for (char &c : vendor)
                c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            if (vendor == "SILICON GRAPHICS")
                dy.quirks |= 1;
        }
    }
    return dy.quirks;
}

namespace {

void update_gc()
{
    Display *d = XtDisplay(dy.canvas);
    int scr = DefaultScreen(d);
    if (!dy.background_set) {
        dy.graph_background = BlackPixel(d, scr);
        dy.background_set = true;
    }
    dy.graph_foreground = dy.graph_background == WhitePixel(d, scr) ? BlackPixel(d, scr) : WhitePixel(d, scr);
    if (dy.gc) {
        XSetForeground(d, dy.gc, dy.graph_foreground);
        XSetBackground(d, dy.gc, dy.graph_background);
    }
}

}  // namespace

GC dymain_dy_graph_gc()
{
    if (!dy.canvas)
        return nullptr;
    if (!dy.gc) {
        Display *d = XtDisplay(dy.canvas);
        dy.gc = XCreateGC(d, RootWindowOfScreen(XtScreen(dy.canvas)), 0, nullptr);
        update_gc();
    }
    return dy.gc;
}

int dymain_dy_set_background(const char *colour)
{
    if (!dy.canvas || !colour)
        return 0;
    Display *d = XtDisplay(dy.canvas);
    XColor exact, screen;
    if (!XAllocNamedColor(d, DefaultColormapOfScreen(XtScreen(dy.canvas)), colour, &screen, &exact))
        return 0;
    dy.graph_background = screen.pixel;
    dy.background_set = true;
    XtVaSetValues(dy.canvas, XmNbackground, screen.pixel, nullptr);
    if (XtIsRealized(dy.canvas))
        XSetWindowBackground(d, XtWindow(dy.canvas), screen.pixel);
    dymain_dy_graph_gc();
    update_gc();
    dymain_dy_refresh_display();
    if (dy_hooks.set_graph_background)
        dy_hooks.set_graph_background(screen.pixel);
    return 1;
}

void dymain_dy_refresh_display()
{
    if (dy.canvas && XtIsRealized(dy.canvas))
        XClearArea(XtDisplay(dy.canvas), XtWindow(dy.canvas), 0, 0, 0, 0, True);
}

// ---- interactive operations -------------------------------------------------------

namespace {

enum Cursor_ { CURSOR_NORMAL, CURSOR_MOVE, CURSOR_RECT, CURSOR_LINE, CURSOR_WAIT_RECT };

void set_cursor(Cursor_ which)
{
    if (!dy.canvas || !XtIsRealized(dy.canvas))
        return;
    Display *d = XtDisplay(dy.canvas);
    static Cursor cursors[5] = {};
    static const unsigned shapes[5] = {0, XC_fleur, XC_sizing, XC_crosshair, XC_tcross};
    if (which == CURSOR_NORMAL) {
        XUndefineCursor(d, XtWindow(dy.canvas));
        return;
    }
    if (!cursors[which])
        cursors[which] = XCreateFontCursor(d, shapes[which]);
    XDefineCursor(d, XtWindow(dy.canvas), cursors[which]);
}

// Canvas coordinates of a root position; false outside the canvas.
bool to_canvas(int root_x, int root_y, int &x, int &y)
{
    Window child;
    Display *d = XtDisplay(dy.canvas);
    if (!XTranslateCoordinates(d, RootWindowOfScreen(XtScreen(dy.canvas)), XtWindow(dy.canvas), root_x, root_y, &x,
                               &y, &child))
        return false;
    return x >= 0 && y >= 0 && x < dy.width && y < dy.height;
}

// Waits for a press (want_press) or a release of button 1.  Events that
// end the wait unsuccessfully stay queued.
bool wait_button(bool want_press, XEvent &taken)
{
    Display *d = XtDisplay(dy.canvas);
    XtAppContext app = XtWidgetToApplicationContext(dy.canvas);
    dy.cancel_wait = false;
    XmUpdateDisplay(dy.canvas);
    for (;;) {
        if (dy.cancel_wait)
            return false;
        XEvent ev;
        if (!XtAppPeekEvent(app, &ev)) {
            XtAppProcessEvent(app, XtIMTimer | XtIMAlternateInput | XtIMSignal);
            continue;
        }
        if (ev.type == ButtonPress) {
            if (ev.xbutton.button != 1)
                return false;
            XNextEvent(d, &taken);
            if (want_press)
                return true;
            continue;
        }
        if (ev.type == ButtonRelease) {
            if (ev.xbutton.button != 1)
                return false;
            if (!want_press) {
                XNextEvent(d, &taken);
                return true;
            }
        }
        if (ev.type == KeyPress)
            return false;
        XtAppProcessEvent(app, XtIMXEvent);
    }
}

// The server grab of a rubber band, released on every way out.
struct ServerGrab {
    Display *d;
    GC gc;
    explicit ServerGrab(Display *display, GC g, Time t, Cursor_ cursor) : d(display), gc(g)
    {
        set_cursor(cursor);
        XSetFunction(d, gc, GXxor);
        XSetForeground(d, gc, dy.graph_foreground ^ dy.graph_background);
        XSetSubwindowMode(d, gc, IncludeInferiors);
        XChangeActivePointerGrab(d, ButtonMotionMask | ButtonReleaseMask, None, t);
        XGrabServer(d);
    }
    ~ServerGrab()
    {
        XUngrabServer(d);
        XSetFunction(d, gc, GXcopy);
        XSetSubwindowMode(d, gc, ClipByChildren);
        XSetForeground(d, gc, dy.graph_foreground);
        set_cursor(CURSOR_NORMAL);
        XFlush(d);
    }
};

using Outline = void (*)(Display *d, Window root, GC gc, int ax, int ay, int bx, int by);

void rect_outline(Display *d, Window root, GC gc, int ax, int ay, int bx, int by)
{
    XDrawRectangle(d, root, gc, std::min(ax, bx), std::min(ay, by), static_cast<unsigned>(std::abs(bx - ax)),
                   static_cast<unsigned>(std::abs(by - ay)));
}

void line_outline(Display *d, Window root, GC gc, int ax, int ay, int bx, int by)
{
    XDrawLine(d, root, gc, ax, ay, bx, by);
}

// Follows the pointer with an outline from the press until button 1 is
// released; `shape` maps the pointer to the outline's far corner.  The
// release point (root) comes back in rx, ry.
bool rubber_band(const XEvent &press, Cursor_ cursor, Outline outline, int ax, int ay,
                 void (*shape)(int &x, int &y, int ax, int ay), int &rx, int &ry)
{
    Display *d = XtDisplay(dy.canvas);
    Window root = RootWindowOfScreen(XtScreen(dy.canvas));
    GC gc = dymain_dy_graph_gc();
    ServerGrab grab(d, gc, press.xbutton.time, cursor);
    int bx = press.xbutton.x_root, by = press.xbutton.y_root;
    if (shape)
        shape(bx, by, ax, ay);
    outline(d, root, gc, ax, ay, bx, by);
    XFlush(d);
    if (dy_hooks.band_started)
        dy_hooks.band_started();
    for (;;) {
        XEvent ev;
        XMaskEvent(d, ButtonMotionMask | PointerMotionMask | ButtonReleaseMask, &ev);
        if (ev.type == ButtonRelease) {
            outline(d, root, gc, ax, ay, bx, by);
            rx = ev.xbutton.x_root;
            ry = ev.xbutton.y_root;
            if (shape)
                shape(rx, ry, ax, ay);
            return ev.xbutton.button == 1;
        }
        while (XCheckMaskEvent(d, ButtonMotionMask | PointerMotionMask, &ev)) {
        }
        Window r, c;
        int px = bx, py = by, wx, wy;
        unsigned mask;
        XQueryPointer(d, root, &r, &c, &px, &py, &wx, &wy, &mask);
        if (shape)
            shape(px, py, ax, ay);
        outline(d, root, gc, ax, ay, bx, by);
        bx = px, by = py;
        outline(d, root, gc, ax, ay, bx, by);
        XFlush(d);
    }
}

int fail()
{
    dymain_dy_show_message(-1);
    set_cursor(CURSOR_NORMAL);
    if (dy.canvas)
        XBell(XtDisplay(dy.canvas), 0);
    return 0;
}

int succeed()
{
    dymain_dy_show_message(-1);
    set_cursor(CURSOR_NORMAL);
    return 1;
}

bool usable() { return dy.canvas && XtIsRealized(dy.canvas); }

}  // namespace

int dymain_dy_get_rectangle(XRectangle *rect, int flag)
{
    if (!usable() || !rect)
        return 0;
    dymain_dy_show_message(flag ? DY_PROMPT_ZOOM_RECTANGLE.number : DY_PROMPT_RECTANGLE.number);
    set_cursor(CURSOR_WAIT_RECT);
    XEvent press;
    if (!wait_button(true, press))
        return fail();
    int px, py;
    if (!to_canvas(press.xbutton.x_root, press.xbutton.y_root, px, py))
        return fail();
    int rx, ry;
    if (!rubber_band(press, CURSOR_RECT, rect_outline, press.xbutton.x_root, press.xbutton.y_root, nullptr, rx, ry))
        return fail();
    int qx, qy;
    if (!to_canvas(rx, ry, qx, qy))
        return fail();
    int w = qx - px, h = qy - py;
    if (w == 0 || h == 0)
        return fail();
    rect->x = static_cast<short>(std::min(px, qx));
    rect->y = static_cast<short>(std::min(py, qy));
    rect->width = static_cast<unsigned short>(std::abs(w));
    rect->height = static_cast<unsigned short>(std::abs(h));
    return succeed();
}

namespace {

XRectangle moving;
int grab_dx, grab_dy;

void moved_outline(Display *d, Window root, GC gc, int, int, int bx, int by)
{
    XDrawRectangle(d, root, gc, bx - grab_dx, by - grab_dy, moving.width, moving.height);
}

int move_from(XRectangle *rect, const XEvent &press)
{
    int px, py;
    if (!to_canvas(press.xbutton.x_root, press.xbutton.y_root, px, py))
        return fail();
    if (px < rect->x || py < rect->y || px >= rect->x + rect->width || py >= rect->y + rect->height)
        return fail();
    moving = *rect;
    grab_dx = px - rect->x;
    grab_dy = py - rect->y;
    int rx, ry;
    if (!rubber_band(press, CURSOR_MOVE, moved_outline, 0, 0, nullptr, rx, ry))
        return fail();
    int qx, qy;
    if (!to_canvas(rx, ry, qx, qy))
        return fail();
    rect->x = static_cast<short>(rect->x + (qx - px));
    rect->y = static_cast<short>(rect->y + (qy - py));
    return succeed();
}

}  // namespace

int dymain_dy_move_rectangle(XRectangle *rect)
{
    if (!usable() || !rect)
        return 0;
    dymain_dy_show_message(DY_PROMPT_MOVE.number);
    set_cursor(CURSOR_WAIT_RECT);
    XEvent press;
    if (!wait_button(true, press))
        return fail();
    return move_from(rect, press);
}

int dymain_dy_move_pressed_rectangle(XRectangle *rect, XPoint at)
{
    if (!usable() || !rect)
        return 0;
    XEvent press{};
    press.type = ButtonPress;
    press.xbutton.button = 1;
    press.xbutton.time = CurrentTime;
    Window child;
    XTranslateCoordinates(XtDisplay(dy.canvas), XtWindow(dy.canvas), RootWindowOfScreen(XtScreen(dy.canvas)),
                          at.x, at.y, &press.xbutton.x_root, &press.xbutton.y_root, &child);
    return move_from(rect, press);
}

int dymain_dy_get_point(XPoint *point, int flag)
{
    if (!usable() || !point)
        return 0;
    if (flag)
        dymain_dy_show_message(DY_PROMPT_POINT.number);
    set_cursor(CURSOR_LINE);
    XEvent release;
    if (!wait_button(false, release))
        return fail();
    int x, y;
    if (!to_canvas(release.xbutton.x_root, release.xbutton.y_root, x, y))
        return fail();
    point->x = static_cast<short>(x);
    point->y = static_cast<short>(y);
    return succeed();
}

namespace {
int line_type;
void hold_axis(int &x, int &y, int ax, int ay)
{
    if (line_type == 1)
        x = ax;
    else if (line_type == 2)
        y = ay;
}
}  // namespace

int dymain_dy_get_line(XPoint *start, XPoint *end, int type)
{
    if (!usable() || !start || !end)
        return 0;
    dymain_dy_show_message(DY_PROMPT_LINE.number);
    set_cursor(CURSOR_LINE);
    XEvent press;
    if (!wait_button(true, press))
        return fail();
    int px, py;
    if (!to_canvas(press.xbutton.x_root, press.xbutton.y_root, px, py))
        return fail();
    line_type = type;
    int rx, ry;
    if (!rubber_band(press, CURSOR_LINE, line_outline, press.xbutton.x_root, press.xbutton.y_root, hold_axis, rx,
                     ry))
        return fail();
    int qx, qy;
    if (!to_canvas(rx, ry, qx, qy))
        return fail();
    start->x = static_cast<short>(px);
    start->y = static_cast<short>(py);
    end->x = static_cast<short>(qx);
    end->y = static_cast<short>(qy);
    return succeed();
}

// ---- annotation texts ------------------------------------------------------------------

namespace {

// A text being dragged: its outline (window pixels from the anchor), the
// graph's correction of the anchor, and the canvas origin on the root.
struct TextDrag {
    int id = -1;
    int outline[8] = {};
    GoTextAdjust adjust = nullptr;
    int origin_x = 0, origin_y = 0;
};
TextDrag text_drag;

// The anchor for a pointer at (root) px, py, in canvas pixels, corrected
// by the graph.
void text_anchor(int px, int py, int &x, int &y)
{
    x = px - text_drag.origin_x;
    y = py - text_drag.origin_y;
    if (text_drag.adjust)
        text_drag.adjust(dygrph_dy_selected_graph(), text_drag.id, &x, &y);
}

void text_outline(Display *d, Window root, GC gc, int, int, int bx, int by)
{
    int x, y;
    text_anchor(bx, by, x, y);
    XPoint p[5];
    for (int k = 0; k < 4; k++) {
        p[k].x = static_cast<short>(text_drag.origin_x + x + text_drag.outline[2 * k]);
        p[k].y = static_cast<short>(text_drag.origin_y + y + text_drag.outline[2 * k + 1]);
    }
    p[4] = p[0];
    XDrawLines(d, root, gc, p, 5, CoordModeOrigin);
}

// Drags the picked text from the press; its new anchor (canvas pixels,
// corrected) in x, y.  False when released elsewhere than on the canvas
// or by another button.
bool drag_text(const XEvent &press, int &x, int &y)
{
    Window child;
    XTranslateCoordinates(XtDisplay(dy.canvas), XtWindow(dy.canvas), RootWindowOfScreen(XtScreen(dy.canvas)), 0, 0,
                          &text_drag.origin_x, &text_drag.origin_y, &child);
    int rx, ry;
    if (!rubber_band(press, CURSOR_MOVE, text_outline, 0, 0, nullptr, rx, ry))
        return false;
    int qx, qy;
    if (!to_canvas(rx, ry, qx, qy))
        return false;
    text_anchor(rx, ry, x, y);
    return true;
}

// The text under a canvas point of the selected graph.
bool pick_text(int x, int y, std::string &body)
{
    const char *text = nullptr;
    text_drag = TextDrag{};
    if (!dygrph_dy_get_text(x, y, &text_drag.id, &text, text_drag.outline, &text_drag.adjust))
        return false;
    body = text ? text : "";
    return true;
}

// Waits for a release of button 1 on the canvas; its point in x, y.
bool released_at(int &x, int &y)
{
    XEvent release;
    return wait_button(false, release) && to_canvas(release.xbutton.x_root, release.xbutton.y_root, x, y);
}

}  // namespace

int dymain_dy_move_text()
{
    if (!usable())
        return 0;
    dymain_dy_show_message(DY_PROMPT_MOVE_TEXT.number);
    set_cursor(CURSOR_LINE);
    XEvent press;
    int px, py;
    std::string body;
    if (!wait_button(true, press) || !to_canvas(press.xbutton.x_root, press.xbutton.y_root, px, py) ||
        !pick_text(px, py, body))
        return fail();
    int x, y;
    if (!drag_text(press, x, y))
        return fail();
    const int point[2] = {x, y};
    dygrph_dy_set_text(text_drag.id, body.c_str(), point, 1);
    return succeed();
}

int dymain_dy_add_text(const char *text, int id, int interactive)
{
    const std::string body = text ? text : "";
    if (!interactive || !usable()) {
        dygrph_dy_set_text(id, body.c_str(), nullptr, 1);
        return id;
    }
    dymain_dy_show_message(DY_PROMPT_ADD_TEXT.number);
    set_cursor(CURSOR_LINE);
    XEvent press;
    int px, py;
    if (!wait_button(true, press) || !to_canvas(press.xbutton.x_root, press.xbutton.y_root, px, py)) {
        fail();
        return id;
    }
    // Placed at the press and drawn once, so that it has a box to pick.
    const int at[2] = {px, py};
    dygrph_dy_set_text(id, body.c_str(), at, 0);
    if (GoGraph *g = dygrph_dy_selected_graph())
        dygrph_dy_draw_graph(g, GO_PROPERTIES, 0);
    std::string picked;
    bool found = false;
    for (int r = 0; r <= 4 && !found; r++)
        for (int dx = -r; dx <= r && !found; dx++)
            for (int dy_ = -r; dy_ <= r && !found; dy_++)
                found = pick_text(px + dx, py + dy_, picked) && text_drag.id == id;
    int x = px, y = py;
    if (found && !drag_text(press, x, y)) {
        x = px;
        y = py;
    }
    const int point[2] = {x, y};
    dygrph_dy_set_text(id, body.c_str(), point, 1);
    succeed();
    return id;
}

int dymain_dy_edit_text(void *client, void (*proc)(void *client, int text_id))
{
    if (!usable())
        return 0;
    dymain_dy_show_message(DY_PROMPT_EDIT_TEXT.number);
    set_cursor(CURSOR_LINE);
    int x, y;
    std::string body;
    if (!released_at(x, y) || !pick_text(x, y, body))
        return fail();
    succeed();
    if (proc)
        proc(client, text_drag.id);
    return 1;
}

int dymain_dy_delete_text()
{
    if (!usable())
        return 0;
    dymain_dy_show_message(DY_PROMPT_DELETE_TEXT.number);
    set_cursor(CURSOR_LINE);
    int x, y;
    std::string body;
    if (!released_at(x, y) || !pick_text(x, y, body))
        return fail();
    dygrph_dy_set_text(text_drag.id, "", nullptr, 1);
    return succeed();
}

void dymain_dy_set_point(int x, int y)
{
    if (!usable())
        return;
    GC gc = dymain_dy_graph_gc();
    Display *d = XtDisplay(dy.canvas);
    XDrawLine(d, XtWindow(dy.canvas), gc, x - 4, y, x + 4, y);
    XDrawLine(d, XtWindow(dy.canvas), gc, x, y - 4, x, y + 4);
}

void dymain_dy_set_line(XPoint start, XPoint end)
{
    if (!usable())
        return;
    XDrawLine(XtDisplay(dy.canvas), XtWindow(dy.canvas), dymain_dy_graph_gc(), start.x, start.y, end.x, end.y);
}
