// The query-object framework: the class record of each of the 14 kinds in
// `obmain_object_class`, the standard methods, labels and boxes, standard
// drawing and the object layer's settings.
//
// How a kind plugs in its own methods: each kind has one initialiser in its
// own file (obexpr.cpp, obstat.cpp, obvar.cpp, obsort.cpp, objoin.cpp,
// obtab.cpp, obcol.cpp, obidx.cpp, obuser.cpp, obpriv.cpp, obxfer.cpp,
// obedit.cpp).  The initialiser calls `obmain_set_class` with the kind's
// flags, which fills every slot with the standard method (or the
// unsupported one where the kind has none), and then assigns the kind's own
// methods into the slots of `obmain_object_class[kind]`.  The workspace
// only ever calls the slots, so a kind that is not finished yet keeps the
// standard behaviour.
#pragma once

#include "wsobj.h"

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>

#include <cstdint>

struct AppData;

// ---- methods, in slot order ------------------------------------------------------

// Stores the new object in *result (cleared first), or nothing.  No kind
// data: the dialog was dismissed.
using ObCreateProc = void (*)(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop);
using ObDestroyProc = void (*)(QueryObject *object);
// *result 1: undraw, unlink and destroy; 0: keep.
using ObDeleteProc = void (*)(QueryObject *object, void *kind_data, int *result);
using ObEditProc = void (*)(QueryObject *object, void *kind_data);
// The point is the new top-left of the outer box.
using ObMoveProc = void (*)(QueryObject *object, ObPoint *point);
using ObSelectProc = void (*)(QueryObject *object, int on);
using ObValidateProc = void (*)(void *kind_data, int check_with_interpreter, int *result);
// op 0 create (object: the drop object or none), 1 edit.  *result 0 allow,
// 1 look only (no Apply), 2 refuse.
using ObPermitProc = void (*)(QueryObject *object, int op, int *result);
// Points *value at the kind's static value record, filled with defaults.
using ObNewvalProc = void (*)(void **value, QueryObject *object);
using ObDrawProc = void (*)(QueryObject *object, int selected);
using ObUndrawProc = void (*)(QueryObject *object);

// Selection bits.
inline constexpr int OB_SELECT_CLICK = 1;
inline constexpr int OB_SELECT_BAND = 2;
inline constexpr int OB_SELECT_ON_CREATE = 4;

struct ObClass {
    int kind;
    int dialog_id;
    int drawn;
    int selection;
    int referenceable;
    int editable;
    int movable;
    int trashable;
    int dismiss_notify;
    int drop_mask;
    ObCreateProc create;
    ObDestroyProc destroy;
    ObDeleteProc del;
    ObEditProc edit;
    ObMoveProc move;
    ObSelectProc select;
    ObValidateProc validate;
    ObPermitProc permit;
    ObNewvalProc newval;
    ObDrawProc draw;
    ObUndrawProc undraw;
};

extern ObClass obmain_object_class[OB_KINDS];

// Fills the class of `kind` with its flags, the standard methods and, for
// the kinds that have no such operation, the unsupported method.
void obmain_set_class(int kind, int dialog_id, int drawn, int selection, int referenceable, int editable,
                      int movable, int trashable, int dismiss_notify, int drop_mask);

// ---- object-layer settings ----------------------------------------------------------

extern Widget obmain_ob_toplevel;
extern int obmain_table_x_gap, obmain_table_y_gap, obmain_table_x_extra;
// The stop-check interval of the transfer: wsxfer_set_check_stop_interval.
extern Widget ob_stop_widget;
// Show table information, index information, system tables, sample data.
extern int obmain_ob_options[4];

struct ObDrawing {
    Widget canvas;
    Display *display;
    Window window;
    GC gc;
    Pixel foreground, background;
    XmFontList label_fonts, info_fonts;
    XFontStruct *label_font, *info_font;
    Pixel outline;
};
extern ObDrawing obmain_gri;

// The label prefix of each kind (set 61), loaded by its initialiser.
extern char obmain_kind_prefix[OB_KINDS][20];
// The size of each kind's kind-data record.
int obmain_kind_data_size(int kind);

// ---- label metrics ------------------------------------------------------------------
// How labels are measured: the font height and the width of one line.  The
// object layer measures with the label font list once it is initialised;
// without X it uses 6 pixels a character and 13 a line (and tests install
// their own).
struct ObMetrics {
    int (*font_height)();
    int (*line_width)(const char *line, int length);
    // The widest character of the label font (none: the width of "M").
    int (*widest_char)() = nullptr;
};
void obmain_set_metrics(const ObMetrics *metrics);
int obmain_ob_widest_char();

// ---- functions -----------------------------------------------------------------------

// Set 61 message `number`, at most 79 bytes; a missing message is "".
const char *obmain_ob_message(int number);
// The label of the kind data with the prefix (static buffer).
const char *obmain_ob_string_value(const char *prefix, const void *kind_data);
// The box width and height of a label whose lines are separated by
// newlines.
void obmain_ob_string_size(const char *label, ObPoint *result);
void obmain_ob_set_object_bounds(QueryObject *object, const char *prefix, const void *kind_data);

void obmain_std_create_object(QueryObject **result, const char *prefix, const void *kind_data, int size,
                              const ObPoint *point, QueryObject *drop, int kind);
void obmain_std_destroy_object(QueryObject *object);
void obmain_std_delete_object(QueryObject *object, void *kind_data, int *result);
void obmain_std_edit_object(QueryObject *object, const char *prefix, const void *kind_data);
void obmain_std_move_object(QueryObject *object, ObPoint *point);
void obmain_std_select_object(QueryObject *object, int on);
void obmain_std_validate_object(void *kind_data, int check, int *result);
void obmain_std_permit_object(QueryObject *object, int op, int *result);
void obmain_std_draw_object(QueryObject *object, const char *prefix, int selected);
void obmain_std_undraw_object(QueryObject *object);

// The class slots' standard methods (the kind's prefix and size from the
// tables above).
void obmain_std_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop);
void obmain_std_edit(QueryObject *object, void *kind_data);
// The standard newval of a kind: a zeroed static record holding the kind.
ObNewvalProc obmain_std_newval(int kind);
void obmain_std_draw(QueryObject *object, int selected);

// The unsupported method, one overload per slot shape: a line on standard
// error and nothing else.
void obmain_std_unsupported_object(QueryObject *object);
void obmain_std_unsupported_object(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop);
void obmain_std_unsupported_object(QueryObject *object, void *kind_data, int *result);
void obmain_std_unsupported_object(QueryObject *object, void *kind_data);
void obmain_std_unsupported_object(QueryObject *object, ObPoint *point);
void obmain_std_unsupported_object(QueryObject *object, int on);

void obmain_ob_set_clip_rect(const XRectangle *rect);
void obmain_object_init(Widget toplevel, Widget canvas, const AppData *adata);
void obmain_ob_set_stop_widget(Widget w);
// The canvas window once it is realised.
void obmain_ob_set_window(Window window);
// Whether objects can be drawn (the canvas is realised).
bool obmain_ob_can_draw();
// Loads a kind's label prefix from set 61 message `number`.
void obmain_load_prefix(int kind, int number);

// The 14 initialisers, in the order start-up calls them.
void obexpr_initialise_expression_object();
void obexpr_initialise_condition_object();
void obuser_initialise_user_object();
void obsort_initialise_sort_object();
void objoin_initialise_join_object();
void objoin_initialise_group_object();
void obstat_initialise_statistic_object();
void obvar_initialise_variable_object();
void obtab_initialise_table_object();
void obcol_initialise_column_object();
void obidx_initialise_index_object();
void obpriv_initialise_privilege_object();
void obxfer_initialise_transfer_object();
void obedit_initialise_edit_object();
// All of them, in that order.
void obmain_initialise_classes();
