// Input on the workspace canvas.

#include "wsevent.h"

#include "dlmain.h"
#include "obmain.h"
#include "vxhelp.h"
#include "wsdict.h"
#include "wsmain.h"
#include "wsmgr.h"
#include "wsobjmgr.h"
#include "wssrch.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <Xm/DrawnB.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

int workspace_mode = 0;
int input_state = 1;
XButtonEvent kept{};
long click_timer = 0, double_timer = 0;
int single_interval = 200, double_interval = 300;
GC rubber_gc = nullptr;
void (*popup_proc)(Widget, XEvent *) = nullptr;
int (*display_window_exists)() = nullptr;

// ---- timers ---------------------------------------------------------------------------

XtAppContext app_context()
{
    Widget c = wsmain_ws_canvas();
    return c ? XtWidgetToApplicationContext(c) : nullptr;
}

void xt_timer_cb(XtPointer client, XtIntervalId *)
{
    auto proc = reinterpret_cast<void (*)()>(client);
    proc();
}
long xt_add(int ms, void (*proc)())
{
    XtAppContext app = app_context();
    if (!app)
        return 0;
    return static_cast<long>(XtAppAddTimeOut(app, static_cast<unsigned long>(ms), xt_timer_cb, reinterpret_cast<XtPointer>(proc)));
}
void xt_remove(long id)
{
    if (id)
        XtRemoveTimeOut(static_cast<XtIntervalId>(id));
}
const WsTimerSource xt_timers{xt_add, xt_remove};
const WsTimerSource *timers = &xt_timers;

void click_expired()
{
    click_timer = 0;
    wsevent_ws_click_timer_expired();
}
void double_expired()
{
    double_timer = 0;
    wsevent_ws_double_timer_expired();
}
void start_click_timer() { click_timer = timers->add(single_interval, click_expired); }
void start_double_timer() { double_timer = timers->add(double_interval, double_expired); }
void cancel(long &id)
{
    if (id)
        timers->remove(id);
    id = 0;
}

// ---- the bell -------------------------------------------------------------------------

void x_bell()
{
    if (Widget c = wsmain_ws_canvas())
        XBell(XtDisplay(c), 0);
}
void (*bell_proc)() = x_bell;

// ---- gestures ----------------------------------------------------------------------------

int real_single(const XButtonEvent *e) { return wsevent_ws_single_click(e->x, e->y); }
int real_double(const XButtonEvent *e) { return wsevent_ws_double_click(e->x, e->y); }
int move_or_band(const XButtonEvent *e);
const WsGestures real_gestures{real_single, real_double, move_or_band};
const WsGestures *gestures = &real_gestures;

ObClass &cls(const QueryObject *o) { return obmain_object_class[o->kind]; }

// The first object of the search that `want` accepts.
template <class F>
QueryObject *first_found(int mode, ObPoint p, F want)
{
    wssrch_ws_start_search(mode, &p, nullptr);
    QueryObject *found = nullptr;
    while (QueryObject *o = wssrch_ws_search())
        if (want(o)) {
            found = o;
            break;
        }
    wssrch_ws_stop_search();
    return found;
}

// Selects or unselects an object as a click does; false when the table
// nomination refused it.
bool toggle(QueryObject *o)
{
    int on;
    if (o->selected) {
        wsdict_ws_unselect_object(o);
        on = 0;
    } else {
        if (!wsdict_ws_check_nominations(o))
            return false;
        wsdict_ws_select_object(o);
        on = 1;
    }
    cls(o).select(o, on);
    return true;
}

Window query_window()
{
    Widget c = wsmain_ws_canvas();
    if (!c)
        return 0;
    Widget shell = c;
    while (shell && !XtIsShell(shell))
        shell = XtParent(shell);
    return shell && XtIsRealized(shell) ? XtWindow(shell) : 0;
}

void reset_cursor()
{
    wscurs_ws_set_cursor(query_window(), wsmgr_ws_enquire_current_dialog(),
                         workspace_mode == 0 ? WS_CURSOR_NONE : WS_CURSOR_REFERENCE);
}

void draw_box(Display *d, Window root, int x, int y, int w, int h)
{
    if (w == 0 || h == 0)
        XDrawLine(d, root, rubber_gc, x, y, x + w, y + h);
    else {
        const int x0 = std::min(x, x + w), y0 = std::min(y, y + h);
        XDrawRectangle(d, root, rubber_gc, x0, y0, static_cast<unsigned>(std::abs(w) - 1),
                       static_cast<unsigned>(std::abs(h) - 1));
    }
}

// Moves an object or draws a rubber band while button 1 stays down.
int move_or_band(const XButtonEvent *e)
{
    Widget canvas = wsmain_ws_canvas();
    if (!canvas || !XtIsRealized(canvas))
        return 0;
    Display *d = XtDisplay(canvas);
    Window root = RootWindowOfScreen(XtScreen(canvas));
    const ObPoint press{e->x, e->y};
    QueryObject *moving = first_found(WS_SEARCH_SELECT, press, [](QueryObject *o) { return cls(o).movable != 0; });
    wscurs_ws_set_cursor(query_window(), nullptr, moving ? WS_CURSOR_MOVE : WS_CURSOR_SIZE);
    if (!rubber_gc) {
        XGCValues v{};
        v.subwindow_mode = IncludeInferiors;
        v.foreground = BlackPixelOfScreen(XtScreen(canvas));
        if (v.foreground == 0)
            v.foreground = WhitePixelOfScreen(XtScreen(canvas));
        v.function = GXxor;
        rubber_gc = XCreateGC(d, root, GCSubwindowMode | GCForeground | GCFunction, &v);
    }
    // The box in root coordinates.
    int off_x = 0, off_y = 0, bw = 0, bh = 0;
    int anchor_x = e->x_root, anchor_y = e->y_root;
    if (moving) {
        off_x = press.x - moving->layout.x;
        off_y = press.y - moving->layout.y;
        bw = moving->layout.width;
        bh = moving->layout.height;
        anchor_x = e->x_root - off_x;
        anchor_y = e->y_root - off_y;
    }
    int bx = anchor_x, by = anchor_y;
    XChangeActivePointerGrab(d, ButtonReleaseMask | PointerMotionHintMask | ButtonMotionMask | OwnerGrabButtonMask,
                             wscurs_ws_cursor(moving ? WS_CURSOR_MOVE : WS_CURSOR_SIZE), CurrentTime);
    XGrabServer(d);
    draw_box(d, root, bx, by, bw, bh);
    int px = e->x_root, py = e->y_root;
    const long loop_mask = ButtonReleaseMask | ButtonMotionMask | PointerMotionMask;
    for (;;) {
        XEvent ev;
        if (!XCheckMaskEvent(d, loop_mask, &ev)) {
            // A button that is up already ends the loop even when its release
            // went elsewhere.
            Window rw, cw;
            int rx, ry, wx, wy;
            unsigned mask;
            if (!XQueryPointer(d, root, &rw, &cw, &rx, &ry, &wx, &wy, &mask) || !(mask & Button1Mask))
                break;
            XMaskEvent(d, loop_mask, &ev);
        }
        if (ev.type == MotionNotify) {
            draw_box(d, root, bx, by, bw, bh);
            while (XCheckMaskEvent(d, ButtonMotionMask | PointerMotionMask, &ev)) {
            }
            Window rw, cw;
            int wx, wy;
            unsigned mask;
            XQueryPointer(d, root, &rw, &cw, &px, &py, &wx, &wy, &mask);
            if (moving) {
                bx = px - off_x;
                by = py - off_y;
            } else {
                bw = px - anchor_x;
                bh = py - anchor_y;
            }
            draw_box(d, root, bx, by, bw, bh);
        } else if (ev.type == ButtonRelease && ev.xbutton.button == Button1) {
            break;
        }
    }
    draw_box(d, root, bx, by, bw, bh);
    XUngrabServer(d);
    XUngrabPointer(d, CurrentTime);
    XFlush(d);
    reset_cursor();
    {
        Window rw, cw;
        int wx, wy;
        unsigned mask;
        XQueryPointer(d, root, &rw, &cw, &px, &py, &wx, &wy, &mask);
    }
    if (wsmain_ws_event_in_scrolled_window(px, py)) {
        int cx, cy;
        wsmain_ws_get_canvas_position(px, py, &cx, &cy);
        if (moving) {
            ObClass &c = cls(moving);
            c.undraw(moving);
            wsmain_ws_expose_box(moving->outer, moving);
            ObPoint to{cx - off_x, cy - off_y};
            c.move(moving, &to);
            wsmain_ws_expose_box(moving->outer, nullptr);
            return 1;
        }
        ObBox band{std::min(press.x, cx), std::min(press.y, cy), std::abs(cx - press.x), std::abs(cy - press.y)};
        wssrch_ws_start_search(WS_SEARCH_MULTI, nullptr, &band);
        std::vector<QueryObject *> hits;
        while (QueryObject *o = wssrch_ws_search())
            if (cls(o).selection & OB_SELECT_BAND)
                hits.push_back(o);
        wssrch_ws_stop_search();
        int toggled = 0;
        for (QueryObject *o : hits)
            toggled += toggle(o) ? 1 : 0;
        if (!toggled)
            return 0;
        wsmain_ws_expose_box(band, nullptr);
        return 1;
    }
    if (moving && workspace_mode == 0 && wsmain_ws_event_in_trash_can(px, py) && cls(moving).trashable)
        return wsevent_ws_trash_drop(moving);
    return 0;
}

}  // namespace

// ---- mode ---------------------------------------------------------------------------------

int wsevent_ws_interaction() { return workspace_mode; }

void wsevent_ws_set_display_window_probe(int (*exists)()) { display_window_exists = exists; }

void wsevent_ws_set_interaction(int mode)
{
    const bool query = wsmain_ws_canvas() != nullptr;
    const bool display = display_window_exists && display_window_exists();
    if (!query && !display)
        return;
    workspace_mode = mode;
    const int code = mode == 0 ? WS_CURSOR_NONE : mode == 1 ? WS_CURSOR_REFERENCE : WS_CURSOR_BUSY;
    wscurs_ws_set_cursor(query_window(), wsmgr_ws_enquire_current_dialog(), code);
    wsmain_ws_flush();
}

void wsevent_ws_set_click_intervals(int single_ms, int double_ms)
{
    single_interval = single_ms > 0 ? single_ms : 200;
    double_interval = double_ms > 0 ? double_ms : 300;
}

void wsevent_ws_set_popup_menu(void (*proc)(Widget, XEvent *)) { popup_proc = proc; }

static void ws_popup_action(Widget w, XEvent *event, String *, Cardinal *)
{
    if (popup_proc)
        popup_proc(w, event);
}

void wsevent_ws_register_actions(XtAppContext app)
{
    static XtActionsRec actions[] = {{const_cast<char *>("ws_popup"), ws_popup_action}};
    XtAppAddActions(app, actions, XtNumber(actions));
}

void wsevent_ws_set_timer_source(const WsTimerSource *source) { timers = source ? source : &xt_timers; }
void wsevent_ws_set_gestures(const WsGestures *g) { gestures = g ? g : &real_gestures; }
void wsevent_ws_bell() { bell_proc(); }
void wsevent_ws_set_bell(void (*bell)()) { bell_proc = bell ? bell : x_bell; }
int wsevent_ws_input_state() { return input_state; }

void wsevent_ws_reset_input()
{
    cancel(click_timer);
    cancel(double_timer);
    input_state = 1;
}

// ---- the click machine ------------------------------------------------------------------------

void wsevent_ws_input_cb(Widget, XtPointer, XEvent *event, Boolean *)
{
    if (workspace_mode == 2 || workspace_mode == 3) {
        wsevent_ws_bell();
        return;
    }
    if (hlp_in_item_loop && (event->type == ButtonPress || event->type == ButtonRelease) &&
        event->xbutton.button != Button1 && event->xany.display)
        XNextEvent(event->xany.display, event);
    switch (event->type) {
    case KeyPress: return;
    case KeyRelease: {
        char text[21];
        KeySym key = NoSymbol;
        int n = XLookupString(&event->xkey, text, 20, &key, nullptr);
        text[std::max(0, n)] = '\0';
        wsmain_ws_search_table_op(key, text, std::max(0, n));
        return;
    }
    case ButtonPress:
        kept = event->xbutton;
        if (event->xbutton.button != Button1)
            return;
        if (input_state == 1) {
            input_state = 2;
            start_click_timer();
        } else if (input_state == 3) {
            input_state = 4;
            cancel(double_timer);
            start_click_timer();
        } else {
            input_state = 1;
            wsevent_ws_bell();
        }
        return;
    case ButtonRelease:
        if (event->xbutton.button != Button1)
            return;
        cancel(click_timer);
        if (input_state == 2) {
            input_state = 3;
            start_double_timer();
        } else if (input_state == 4) {
            input_state = 1;
            if (!gestures->dbl(&kept))
                wsevent_ws_bell();
        } else {
            input_state = 1;
            wsevent_ws_bell();
        }
        return;
    default: return;
    }
}

void wsevent_ws_click_timer_expired()
{
    click_timer = 0;
    if (input_state == 2) {
        input_state = 1;
        if (!gestures->hold(&kept))
            wsevent_ws_bell();
    } else {
        input_state = 1;
    }
}

void wsevent_ws_double_timer_expired()
{
    double_timer = 0;
    if (input_state == 3) {
        input_state = 1;
        if (!gestures->single(&kept))
            wsevent_ws_bell();
    } else {
        input_state = 1;
    }
}

// ---- gestures -----------------------------------------------------------------------------------

int wsevent_ws_single_click(int x, int y)
{
    const ObPoint p{x, y};
    if (workspace_mode == 0) {
        QueryObject *o = first_found(WS_SEARCH_SELECT, p, [](QueryObject *q) {
            return (cls(q).selection & OB_SELECT_CLICK) != 0;
        });
        if (!o || !toggle(o))
            return 0;
        wsmain_ws_expose_box(o->outer, nullptr);
        return 1;
    }
    if (workspace_mode != 1)
        return 0;
    const unsigned mask = wsmgr_ws_refernce_mask();
    QueryObject *o = first_found(WS_SEARCH_SELECT, p, [mask](QueryObject *q) {
        return cls(q).referenceable && (mask & (1u << q->kind));
    });
    if (!o)
        return 0;
    if (mask & 0x40000000u) {
        // Only objects inside the edited object.
        QueryObject *edited = wsmgr_ws_enquire_current_object();
        if (!edited || !wssrch_point_in(edited->drop, ObPoint{o->anchor_x, o->anchor_y}))
            return 0;
    } else {
        if ((mask & 0x80000000u) && !o->selected)
            return 0;
        if (!(mask & DL_REF_NO_PENDING) && !wsdict_ws_check_nominations(o))
            return 0;
    }
    wsmgr_ws_perform_reference(o);
    return 1;
}

int wsevent_ws_double_click(int x, int y)
{
    if (workspace_mode != 0)
        return 0;
    const ObPoint p{x, y};
    QueryObject *o = first_found(WS_SEARCH_SELECT, p, [](QueryObject *q) {
        return cls(q).editable && cls(q).drawn;
    });
    if (!o)
        return 0;
    wsmgr_ws_perform_edit(o, &p);
    return 1;
}

int wsevent_ws_trash_drop(QueryObject *o)
{
    ObClass &c = cls(o);
    int agreed = 0;
    c.del(o, nullptr, &agreed);
    if (!agreed)
        return 1;
    const ObBox old = o->outer;
    c.undraw(o);
    wsdict_ws_unlink_object(o);
    c.destroy(o);
    wsmain_ws_expose_box(old, nullptr);
    return 1;
}

int wsevent_ws_tool_drop(int tool, int x, int y, const char *command)
{
    if (workspace_mode != 0)
        return 0;
    const ObPoint p{x, y};
    if (tool == -1) {
        QueryObject *o = first_found(WS_SEARCH_DROP, p, [](QueryObject *q) {
            return q->kind == OB_COLUMN || q->kind == OB_TABLE;
        });
        wsobj_ws_run_user_object(command, o);
        return 1;
    }
    QueryObject *o = first_found(WS_SEARCH_DROP, p, [tool](QueryObject *q) {
        return cls(q).editable && cls(q).dialog_id == tool;
    });
    if (o) {
        wsmgr_ws_perform_edit(o, &p);
        return 1;
    }
    if (tool < 0 || tool > 57)
        return 0;
    o = first_found(WS_SEARCH_DROP, p, [tool](QueryObject *q) {
        return tool < 31 && (cls(q).drop_mask & (1 << tool)) != 0;
    });
    if (!o)
        return 0;
    wsmgr_ws_perform_create(tool, &p, o);
    return 1;
}

void wsevent_ws_drag_cb(Widget tool, XtPointer client, XtPointer)
{
    const int id = static_cast<int>(reinterpret_cast<intptr_t>(client));
    if (workspace_mode != 0) {
        wsevent_ws_bell();
        return;
    }
    Display *d = XtDisplay(tool);
    XtVaSetValues(tool, XmNshadowType, XmSHADOW_IN, nullptr);
    wscurs_ws_set_drag_tool(tool);
    wscurs_ws_set_cursor(query_window(), nullptr, WS_CURSOR_DRAG);
    XEvent ev;
    do
        XMaskEvent(d, ButtonReleaseMask, &ev);
    while (ev.type != ButtonRelease);
    int done = 1;
    if (wsmain_ws_event_in_scrolled_window(ev.xbutton.x_root, ev.xbutton.y_root)) {
        int cx, cy;
        wsmain_ws_get_canvas_position(ev.xbutton.x_root, ev.xbutton.y_root, &cx, &cy);
        const char *command = nullptr;
        if (id == -1) {
            XtPointer data = nullptr;
            XtVaGetValues(tool, XmNuserData, &data, nullptr);
            command = static_cast<const char *>(data);
        }
        done = wsevent_ws_tool_drop(id, cx, cy, command);
    } else {
        done = 0;
    }
    if (!done)
        wsevent_ws_bell();
    XtVaSetValues(tool, XmNshadowType, XmSHADOW_OUT, nullptr);
    wscurs_ws_set_cursor(query_window(), nullptr, WS_CURSOR_NONE);
}

// ---- expose ---------------------------------------------------------------------------------------

void wsevent_ws_expose_objects(const ObBox *rect, QueryObject *excluded)
{
    XRectangle clip{static_cast<short>(rect->x), static_cast<short>(rect->y),
                    static_cast<unsigned short>(std::max(0, rect->width)),
                    static_cast<unsigned short>(std::max(0, rect->height))};
    obmain_ob_set_clip_rect(&clip);
    wssrch_ws_start_search(WS_SEARCH_COVER, nullptr, rect);
    std::vector<QueryObject *> shown;
    while (QueryObject *o = wssrch_ws_search())
        if (o != excluded && cls(o).drawn)
            shown.push_back(o);
    wssrch_ws_stop_search();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it)
        cls(*it).draw(*it, (*it)->selected);
    obmain_ob_set_clip_rect(nullptr);
}

void wsevent_ws_expose_cb(Widget, XtPointer, XEvent *event, Boolean *)
{
    if (event->type != Expose && event->type != GraphicsExpose)
        return;
    const ObBox r{event->xexpose.x, event->xexpose.y, event->xexpose.width, event->xexpose.height};
    wsevent_ws_expose_objects(&r, nullptr);
}
