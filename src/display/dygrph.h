// The graph view: the display canvas in graphics mode.  It keeps an
// ordered list of graphs laid out as rectangles on the canvas, the
// selected graph (menus and format dialogs act on it; it carries the
// select box), the focussed graph (it receives new data) and a maximised
// one; it draws each graph through its class's draw method under a
// floating-point trap guard and keeps the rectangles in proportion when the
// canvas changes size.
#pragma once

#include "gomain.h"
#include "seams.h"

#include <X11/Intrinsic.h>

#include <cstdint>

// What the graph view reaches in the display menus and the marker machine;
// start-up fills it, an empty member is skipped.
struct DyGraphHooks {
    // The format dialog of the selected graph (a double click on it).
    void (*setup_format)(Widget item);
    // The format dialogs refilled and the graph, format, data-view and
    // selection sensitivities refreshed after the selected graph changed.
    void (*selection_changed)();
    // The data-view sensitivity after a maximise or restore.
    void (*dview_sensitivity)();
    // The menus' data order (1-6) and its change.
    int (*data_order)();
    void (*set_data_order)(int order);
    // The marker machine: whether selection is enabled, an action (13 data
    // without a draw, 14 destroy, 16 a draw of the selected graph with its
    // reason, 17 a class with data markers selected) and the suppression
    // of markers for a class without them.
    int (*selection_enabled)();
    void (*marker_action)(int action, int argument);
    void (*suppress_markers)(int on);
};
extern DyGraphHooks dygrph_hooks;

// ---- mode ---------------------------------------------------------------------

// Switches the graph view on (handler, mask, the graph background, every
// graph laid out and drawn) or off (the canvas cleared).
void dygrph_dy_enable_graph_mode(int on);
int dygrph_dy_graph_mode();
// The canvas window's backing-store flag, read again with `refresh`.
int dygrph_dy_has_bs(int refresh);
// Set while a new-data draw is stopped by the user.
int dygrph_dy_stop_requested();

// ---- list, selection and focus ----------------------------------------------

GoGraph *dygrph_dy_selected_graph();
GoGraph *dygrph_dy_focussed_graph();
int dygraph_dy_is_focussed_graph(GoGraph *graph);
// 1 when the graph is in the list; with `select` it becomes the selected one.
int dygraph_dy_select_graph(GoGraph *graph, int select);
void dygraph_dy_get_graph_state(int *count, GoGraph **selected, GoGraph **focussed, int *focussed_keeps);
// Fills `ids` with the graphs in list order (it must hold the count).
void dygraph_dy_get_graph_ids(GoGraph **ids);
int dygrph_dy_graph_has_data();
int dygrph_dy_graph_has_primary_data();

// A new graph (class 0's create, a copy of the default format, the
// format's kind): `rect` in pixels, or null for the default (5, 5, W - 10,
// H - 10).  It becomes focussed and selected; with `redraw` and
// `with_data` and a current dataset it is given the data.
GoGraph *dygrph_dy_new_graph(int with_data, int interactive, int redraw, const int *rect);
// The graph takes the kind its format names (mutated to it), then multiple
// y axes when its class can have them and the format needs them.  0, and
// nothing changed, when no class of the format's kind exists.
int dygrph_dy_take_format_kind(GoGraph *g);
// Destroys every graph; optionally makes a new one.
void dygrph_dy_clear_graph(int redraw, int new_graph);
// The focussed graph keeps its shown dataset: 1, or 0 with 69/4.
int dygrph_dy_keep_graph();

// The order new data is characterised with: with a focussed graph and a
// current dataset it must suit the graph (else 69/5, 0); the data is then
// shown again in the new order.
int dygrph_dy_set_new_data_order(int order);

// 1 when the dataset can be drawn by the graph; errors 69/1-69/3 when
// `report` is set.
int dygrph_dy_graph_dataset_compatible(GoGraph *graph, int dataset, int report);

// ---- placement ----------------------------------------------------------------

// Percent to pixels in place, and pixels to percent, over the canvas less
// a 5-pixel border.  A canvas of 10 pixels or less leaves the values.
void dygrph_dy_get_display_values(int rect[4]);
void dygraph_dy_get_percent_values(GoGraph *graph, int rect[4]);
// The canvas's new size: every graph rescaled (margins, annotation
// objects, legend offsets), kept inside, and drawn again (reason 6).
void dygrph_dy_resize(int width, int height);
// The graph under a canvas point, or null.
GoGraph *dygrph_dy_pick_graph(int x, int y);
int dygraph_dy_explicit_pos_graph(GoGraph *graph, int redraw, const int rect[4]);
int dygrph_dy_maximise_graph();
void dygrph_dy_restore_graph(int redraw);
void dygrph_dy_maybe_restore_graph(int redraw);
int dygrph_dy_is_maximised();
// The user draws the selected graph's new rectangle (inset by 2), or drags
// it from `press` (none: after a prompt).  0 when nothing changed.
int dygrph_dy_position_graph();
int dygrph_dy_move_graph(const XPoint *press);

// ---- drawing and data -----------------------------------------------------------

// Draws one graph through its class under the trap guard, after the range
// checks (69/32, once until new data); a trap shows 69/27.  1 when drawn.
int dygrph_dy_draw_graph(GoGraph *graph, int reason, uint64_t flag);
// The new-data action for the focussed graph; `draw` 0 only sets the data.
void dygrph_dy_new_data(int draw);
// After a format dialog's apply: the kind rules (69/9), reload, redraw.
// 1, or 0 when the kind change was refused.
int dygrph_dy_notify_property_change(int redraw, int reload, int *kind_changed);

// The selected graph's format record, and a new one copied into it; with no
// selected graph both say so on standard error.
GoFormat *dygrph_dy_selected_graph_format();
void dy_set_selected_graph_format(const GoFormat *format);

// The annotation texts of the selected graph: the text under a canvas
// point (its id, text, outline of four points and adjust procedure; 0 when
// none), a new text (its id, -1 when none can be made), and a text changed
// (empty: deleted) and moved to `point` (none: where it is); with `redraw`
// the display is refreshed first.
int dygrph_dy_get_text(int x, int y, int *id, const char **text, int outline[8], GoTextAdjust *adjust);
int dygrph_dy_new_text();
int dygrph_dy_set_text(int id, const char *text, const int *point, int redraw);

int dygraph_dy_have_graph_with_non_opaque_legend();
int dygrph_dy_freshen_up();

// The canvas size the rectangles were last laid out for.
void dygrph_dy_canvas_size(int *width, int *height);

// The action handler of graph mode (mask 4191): expose, resize, clicks and
// hold (pick, select, move), new data (data: the draw flag, default 1),
// toggle box; any other action is reported on standard error.
void dygrph_dy_action(Widget canvas, int action, void *data);
int dygrph_dy_select_box_flag();
