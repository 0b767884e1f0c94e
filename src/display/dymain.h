// The display window: the canvas "display" in the scrolled window
// "displaySW" with the footer "footerL" under it.  The window does not
// interpret input itself: X events, scroll-bar callbacks, actions and the
// new-data notice become numbered display actions (dymachines.h) handed to
// the current view's action handler, filtered by the view's mask.  It also
// offers the interactive rubber-band operations, the footer messages, the
// graph drawing context and the canvas background.
//
// What the window calls in the menus, the workspace and the graph model
// goes through `dy_hooks`, which start-up fills; an empty hook is skipped.
#pragma once

#include "dymachines.h"
#include "vxadata.h"

#include <X11/Intrinsic.h>

// Action data: expose {x, y, width, height}; resize {0, 0, change of
// width, change of height}; clicks and hold a point; scroll {bar, value};
// the select actions a point and the event time.
struct DyRectData {
    int x, y, width, height;
};
struct DyScrollData {
    int bar;  // 1 vertical, 2 horizontal
    int value;
};
struct DySelectData {
    int x, y;
    Time time;
};

using DyActionHandler = void (*)(Widget canvas, int action, void *data);
using DyPopupProc = void (*)(Widget canvas, XEvent *event);
using DyStopProc = void (*)();

// Print settings of the table, as the print menu keeps them.
struct DyPrintSettings {
    int tableformat = 0;   // 0 text, 1 PostScript
    int tableoutput = 0;   // 0 print command, 1 file, 2 file then mail
    const char *tablefile = "";
    const char *mail_command = "";
};

struct DyHooks {
    // The workspace's interaction mode (2 busy) and its Stop procedure.
    int (*get_mode)();
    void (*set_mode)(int mode);
    DyStopProc (*set_stop_proc)(DyStopProc proc);
    // Turns the workspace's Stop button into Run (0) or Stop (1).
    void (*enable_stop)(int on);
    // Refreshes the display menus' sensitivities after new data.
    void (*data_sensitivity)();
    // Tells the procedure runner that the new data was handled.
    void (*data_handled)();
    // The print settings of the print menu.
    DyPrintSettings (*print_settings)();
    // Runs a command of the filters file with INFILE set to `file`.
    void (*run_with_infile)(const char *command, const char *file);
    // Passes the canvas background to the graph model.
    void (*set_graph_background)(unsigned long pixel);
    // Whether the graph view keeps the canvas in backing store.
    int (*has_backing_store)();
    // Confirms starting a new view (null: no question).
    int (*confirm_new_view)();
    // A new view has cleared the data, the table and the graphs: the menus
    // forget the procedure and refresh their sensitivities.
    void (*view_renewed)();
    // The query window's shell, parent of the print errors (null: the
    // display shell).
    Widget query_shell;
};
extern DyHooks dy_hooks;

// The five print commands (plain, PostScript, graph print, graph plot,
// PCL); an empty one means its resource.
inline constexpr int DY_PRINT_COMMANDS = 5;
extern char dymain_dy_printer_commands[DY_PRINT_COMMANDS][256];
const char *dymain_dy_default_printer_commands(int n);
extern char dymain_dy_ps_prolog[256], dymain_dy_hpgl_prolog[256], dymain_dy_hpgl_epilog[256];

// Values of the resource record the display Parts use.
struct DyResources {
    XmFontList text_font = nullptr;
    int buffer_size = 100;
    int check_stop_lines = 0;
    int page_length = 60;
    int page_width = 78;
    bool arrays_in_columns = false;
    int percentage_pan = 0;
    int run_mode = 0;
    int single_click = 200;
    int double_click = 300;
};
const DyResources &dymain_resources();
extern nl_catd dymain_catd;

Widget dymain_display_init(Widget toplevel, Widget parent, AppData *resources, Widget fallback);

void dymain_dy_set_action_handler(DyActionHandler proc);
void dymain_dy_set_action_mask(int mask);
int dymain_dy_action_mask();
void dymain_dy_set_popup_menu(DyPopupProc proc);

Widget dymain_dy_canvas();
void dymain_dy_get_canvas_size(int *width, int *height);
const XEvent *dymain_dy_last_expose_event();
void dymain_dy_get_window_info(int *x, int *y, int *width, int *height, int *unmapped);

void dymain_dy_enable_scrollbars(int flag);
void dymain_dy_set_scrollbar(int bar, int maximum, int slider, int value);

const char *dymain_dy_message(int n);
void dymain_dy_show_message(int n);
void dymain_dy_show_raw_message(const char *text);

GC dymain_dy_graph_gc();
int dymain_dy_set_background(const char *colour);
void dymain_dy_refresh_display();
int dymain_dy_server_bugs();

int dymain_dy_get_rectangle(XRectangle *rect, int flag);
int dymain_dy_move_rectangle(XRectangle *rect);
int dymain_dy_move_pressed_rectangle(XRectangle *rect, XPoint press);
int dymain_dy_get_point(XPoint *point, int flag);
int dymain_dy_get_line(XPoint *start, XPoint *end, int type);
int dymain_dy_move_text();
int dymain_dy_add_text(const char *text, int id, int interactive);
int dymain_dy_edit_text(void *client, void (*proc)(void *client, int text_id));
int dymain_dy_delete_text();
void dymain_dy_set_point(int x, int y);
void dymain_dy_set_line(XPoint start, XPoint end);

// Delivers an action to the current handler when the mask has its bit
// (the display's own events and the tests use it).
void dymain_dy_deliver(int action, void *data);
