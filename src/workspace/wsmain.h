// The work area of the query window: the query and build tool boxes, the
// output-target icon, Run (Stop while an operation runs) and New, the trash
// can, and the scrolled canvas with its title and type-ahead search label.
// Also the canvas size rules, scrolling and the workspace cursors.
#pragma once

#include "wsobj.h"

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>

#include <string>

struct AppData;

// One row of a tool box.
struct WsTool {
    char name[20];
    int dialog;
    int help;
    int tip;
};
extern const WsTool query_tool_box[9];
extern const WsTool build_tool_box[5];

const char *ws_message(int number);
const char *ttip_message(int number);

Widget wsmain_workspace_init(Widget parent, const AppData *adata);
Widget wsmain_ws_canvas();
void wsmain_ws_get_drawing_area_size(int *width, int *height);
void wsmain_ws_resize_drawing_area(int width, int height);
void wsmain_ws_fit_drawing_area();
void wsmain_ws_clear();
void wsmain_ws_refresh_from(int y);
void wsmain_ws_position_at(int x, int y);
bool wsmain_ws_event_in_scrolled_window(int root_x, int root_y);
bool wsmain_ws_event_in_trash_can(int root_x, int root_y);
void wsmain_ws_get_canvas_position(int root_x, int root_y, int *x, int *y);
void wsmain_ws_canvas_to_root(int x, int y, int *root_x, int *root_y);
void wsmain_ws_search_table_op(KeySym key, const char *text, int length);
void wsmain_ws_set_db_name(const char *name);
void wsmain_ws_set_buttons(const char *new_label, XtCallbackProc new_proc, XtPointer new_data, const char *run_label,
                           XtCallbackProc run_proc, XtPointer run_data);
void wsmain_ws_set_buttons_sensitive(int on);
void wsmain_ws_enable_stop(int on);
using WsStopProc = void (*)();
WsStopProc wsmain_ws_set_stop_proc(WsStopProc proc);
Widget wsmain_ws_get_stop_button();
int wsmain_ws_set_target_icon(int index);

// Clears a box of the canvas and redraws the objects in it, except
// `excluded`.  Without a canvas window only the redraw runs.
void wsmain_ws_expose_box(const ObBox &box, QueryObject *excluded);
void wsmain_ws_flush();
// The visible part of the canvas, in canvas coordinates.
ObBox wsmain_ws_visible_box();

// The type-ahead buffer and the search state (for tests).
const char *wsmain_ws_search_buffer();
int wsmain_ws_last_found();
void wsmain_ws_reset_search();
// The search label's and the title's texts.
std::string wsmain_ws_search_label();

// Stop state (for tests): enabled, pending, caught.
void wsmain_ws_stop_state(int *enabled, int *pending, int *caught);
// The Run button (Stop while enabled).
Widget wsmain_ws_run_button();

// Workspace cursor codes.
enum WsCursor : int {
    WS_CURSOR_NONE = 0,
    WS_CURSOR_BUSY = 1,
    WS_CURSOR_DRAG = 2,
    WS_CURSOR_MOVE = 3,
    WS_CURSOR_REFERENCE = 4,
    WS_CURSOR_SIZE = 5,
    WS_CURSOR_CROSS = 6,
    WS_CURSOR_TARGET = 7,
};
void wscurs_ws_set_cursor(Window window, Widget dialog, int code);
int wscurs_ws_current_cursor();
Cursor wscurs_ws_cursor(int code);
void wscurs_ws_set_drag_tool(Widget tool);
void wscurs_ws_set_warp_ability(int on);
void wscurs_ws_init(Display *display, const char *base);
