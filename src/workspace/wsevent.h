// Input on the workspace canvas: the interaction mode, the click state
// machine, selection by click and by rubber band, moving, the trash can,
// double click, tool drags and drops, reference picking, and the redraw of
// exposed objects.
#pragma once

#include "wsobj.h"

#include <X11/Intrinsic.h>

// Interaction modes.
enum WsMode : int { WS_NORMAL = 0, WS_REFERENCE = 1, WS_BUSY2 = 2, WS_BUSY3 = 3 };

int wsevent_ws_interaction();
void wsevent_ws_set_interaction(int mode);
void wsevent_ws_set_click_intervals(int single_ms, int double_ms);
void wsevent_ws_set_popup_menu(void (*proc)(Widget, XEvent *));
// Registers the action "ws_popup" with the toolkit.
void wsevent_ws_register_actions(XtAppContext app);

void wsevent_ws_input_cb(Widget w, XtPointer client, XEvent *event, Boolean *cont);
void wsevent_ws_expose_cb(Widget w, XtPointer client, XEvent *event, Boolean *cont);
void wsevent_ws_drag_cb(Widget tool, XtPointer client, XtPointer call);
void wsevent_ws_expose_objects(const ObBox *rect, QueryObject *excluded);

// The gestures the click machine ends in (the point in canvas
// coordinates); each answers 1 when it did something.
int wsevent_ws_single_click(int x, int y);
int wsevent_ws_double_click(int x, int y);
// A tool released at a canvas point (tool id -1: the user tool with its
// command).
int wsevent_ws_tool_drop(int tool, int x, int y, const char *command);
// An object released over the trash can.
int wsevent_ws_trash_drop(QueryObject *object);

// ---- what the machine uses ------------------------------------------------------------
// Timers: the toolkit's, or a test's.
struct WsTimerSource {
    long (*add)(int ms, void (*proc)());
    void (*remove)(long id);
};
void wsevent_ws_set_timer_source(const WsTimerSource *source);
// The gestures the machine calls (null: the real ones).
struct WsGestures {
    int (*single)(const XButtonEvent *event);
    int (*dbl)(const XButtonEvent *event);
    int (*hold)(const XButtonEvent *event);
};
void wsevent_ws_set_gestures(const WsGestures *gestures);
void wsevent_ws_click_timer_expired();
void wsevent_ws_double_timer_expired();
int wsevent_ws_input_state();
void wsevent_ws_reset_input();

// The bell (a test may count it).
void wsevent_ws_bell();
void wsevent_ws_set_bell(void (*bell)());
// Whether a window exists that shows the mode (the query window or the
// display window); the display window's is told by start-up.
void wsevent_ws_set_display_window_probe(int (*exists)());
