// The dialog framework: the table of dialog records, the standard methods
// and button callbacks, placement and titles, catalogue texts by dialog id,
// text fields with their insertion modes, declarative text validation, and
// the small builders (option menus, toggles, scales) every dialog shares.
//
// A dialog fills its own methods in its slot of `dlmain_dialogs`; the
// client that shows it (a menu command, the workspace, another dialog)
// fills the notify procedures that the standard buttons call.
#pragma once

#include "vxadata.h"

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>
#include <nl_types.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr int DL_NDIALOGS = 57;
inline constexpr int DL_MAX_POPUPS = 19;
inline constexpr int DL_MAX_APPLYS = 19;

// Reference-mask bits above the object kinds.
inline constexpr uint32_t DL_REF_PICK_DROP_TARGET = 0x20000000;
inline constexpr uint32_t DL_REF_NO_PENDING = 0x10000000;

struct DialogRecord;

// Methods of a dialog, in slot order.
using DlCreateProc = int (*)(DialogRecord *rec, Widget parent);
using DlDestroyProc = int (*)(DialogRecord *rec);
using DlPopupProc = int (*)(DialogRecord *rec, int x, int y, int position_mode, int title_mode);
using DlPopdownProc = int (*)(DialogRecord *rec);
using DlValueProc = int (*)(DialogRecord *rec, void *value);
using DlReferenceProc = int (*)(DialogRecord *rec, void *object);
// Notify procedures of the client: each sets *done to ask for more.
using DlNotifyProc = void (*)(DialogRecord *rec, int *done);
// Hands out the record of the dialog `id` for borrowing.
using DlAdoptProc = DialogRecord *(*)(DialogRecord *rec, int id);

struct DialogRecord {
    Widget widget;            // the dialog widget, none until created
    int32_t id;               // the dialog id, equal to the slot index
    int32_t object_class;     // the query-object kind it edits, -1 none
    uint32_t reference_mask;  // bit n: kind n may be picked while open
    // methods
    DlCreateProc create;
    DlDestroyProc destroy;
    DlPopupProc popup;
    DlPopdownProc popdown;
    DlValueProc setval;
    DlValueProc getval;
    DlReferenceProc reference;
    // the client's notify procedures (none: the button does nothing)
    DlNotifyProc apply;
    DlNotifyProc reset;
    DlNotifyProc del;
    DlNotifyProc help;
    DlNotifyProc dismiss;
    DlAdoptProc adopt;
    // client words
    void *client_value;        // value registered for the next popup
    DlNotifyProc client_apply; // one-shot apply procedure
};

// The standard "unsupported" method: one overload per method slot.
int dlmain_std_unsupported(DialogRecord *rec, Widget parent);
int dlmain_std_unsupported(DialogRecord *rec);
int dlmain_std_unsupported(DialogRecord *rec, int x, int y, int position_mode, int title_mode);
int dlmain_std_unsupported(DialogRecord *rec, void *value);

extern std::array<DialogRecord, DL_NDIALOGS> dlmain_dialogs;

// Puts every slot back to its empty state: no widget, id = slot, no kind,
// no mask, every method unsupported, no notify procedures.
void dlmain_clear_dialogs();

// ---- module state ---------------------------------------------------------

extern nl_catd dlmain_catd;
extern Widget dlmain_toplevel;
extern XmFontList dlmain_label_font, dlmain_title_font, dlmain_data_font, dlmain_button_font;
extern std::string dlmain_dl_basedir;
extern int relaxed_confirm;
extern int ml_threshold;
extern int dl_qualify_column_names;
extern int dl_disablewmclose;
extern char dialog_date_format[25];
extern int mwm_running;
// Set by dialogs around their own calls of the standard callbacks.
extern int inhibit_apply_validation;

// Help hooks: the help client sets these when it starts.  Until then help
// registration and the Help buttons do nothing.
extern void (*dlmain_register_help_hook)(Widget w, int help_id);
extern void (*dlmain_appl_help_hook)(Widget w);

void dlmain_dialog_init(Widget toplevel, const AppData *adata);
void dlmain_dialog_lterm();

// ---- catalogue texts -------------------------------------------------------

// Text of (set id + 2, n); id -1 is the framework's own set 1.  The text is
// copied into one buffer of 512 bytes that the next call overwrites.
const char *dlmain_message(int id, int n);
const char *dlmain_raw_message(int set, int n);
// A widget name made from a format with one integer ("type%dB").
const char *dlmain_widget_name(const char *format, int n);
// The catalogue text of (id, n) as a compound string (caller frees).
XmString dlmain_xmstring(int id, int n);
// A compound string of a text whose newlines break lines (caller frees).
XmString dlmain_multiline(const char *text);

void dlmain_set_user_data(Widget w, long value);
long dlmain_get_user_data(Widget w);

// ---- construction ------------------------------------------------------------

// Appends the common creation arguments and the button labels of a button
// type: 1 OK, Cancel; 2 OK, Apply, Cancel; 3 OK, Cancel, Filter on Apply;
// 4 Reset on Apply, Close on Cancel; 5 Close on Cancel; Help always.
int dlmain_setup_dialog(int button_type, std::vector<Arg> &args);
// The arguments of a modal box with OK and Cancel under a title; the title
// string is returned for the caller to free once the box is made.
XmString dlmain_setup_modal_box(const char *title, std::vector<Arg> &args);
void dlmain_setup_dialog_callbacks(DialogRecord *rec, int button_type);
void dlmain_setup_help_callback(DialogRecord *rec);
void dlmain_setup_wm_callback(DialogRecord *rec);
// The dialog's shell, or none.
Widget dlmain_dialog_shell(Widget dialog);

// Standard callbacks: client data is the dialog record.
void dlmain_std_ok_cb(Widget w, XtPointer client, XtPointer call);
void dlmain_std_apply_cb(Widget w, XtPointer client, XtPointer call);
void dlmain_std_reset_cb(Widget w, XtPointer client, XtPointer call);
void dlmain_std_delete_cb(Widget w, XtPointer client, XtPointer call);
void dlmain_std_delete_noclose_cb(Widget w, XtPointer client, XtPointer call);
void dlmain_std_help_cb(Widget w, XtPointer client, XtPointer call);
void std_cancel_cb(Widget w, XtPointer client, XtPointer call);
void std_close_cb(Widget w, XtPointer client, XtPointer call);

// ---- standard methods ----------------------------------------------------

int dlmain_std_popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode);
int dlmain_std_popdown_dialog(DialogRecord *rec);
int dlmain_std_destroy_dialog(DialogRecord *rec);
// Fills a dialog's record with its id, its own create, setval and getval
// methods and the standard rest: no object kind, nothing to pick while
// open, the standard popup, popdown and destroy, no reference method.  A
// dialog with other needs overwrites those slots afterwards.
void dlmain_std_record(DialogRecord *rec, int id, DlCreateProc create, DlValueProc setval, DlValueProc getval);

// Placement of the widget's next mapping: 0 toolkit, 1 top-left at (x, y),
// 2 centred on (x, y), 3 centred on x with the bottom edge at y.
void dlmain_setup_popup_position(Widget w, int x, int y, int mode);
void dlmaim_setup_title_suffix(const char *suffix);
// The title for a title mode, from the shell's current title.
std::string dlmain_compose_title(const std::string &current, int title_mode, const char *custom_suffix,
                                 const std::string &edit_suffix, const std::string &new_suffix);

void dlmain_register_popup(Widget w);
void dlmain_unregister_popup(Widget w);
Widget dlmain_enquire_nth_popup(int n);
void dlmain_set_popup_tabgroup(Widget w, Widget group);

void dlmain_disable_dialog_apply(DialogRecord *rec, int prohibited);

// ---- borrowing another dialog as a sub-dialog ------------------------------

// The notify procedures (and, where wanted, reference method and mask) that
// the borrower installs in the borrowed record.
struct DlSubNotify {
    DlNotifyProc apply = nullptr, reset = nullptr, dismiss = nullptr, help = nullptr;
    DlReferenceProc reference = nullptr;  // none: keep the dialog's own
    uint32_t reference_mask = 0;
    bool set_mask = false;
};

struct DlSubDialog {
    DialogRecord *record = nullptr;  // the borrowed slot while borrowed
    DialogRecord saved{};
};

// Borrows dialog `id` through the owner's adopt notify (the slot itself
// when the owner has none): saves its record, installs `procs`, fills it
// with setval(value) and pops it up at the top-left corner of `at` (toolkit
// placement without one).  None when the dialog cannot be shown.
DialogRecord *dlmain_borrow_dialog(DlSubDialog &sub, DialogRecord *owner, int id, const DlSubNotify &procs,
                                   void *value, Widget at, int title_mode);
// Puts the saved record back (keeping a widget created meanwhile).
void dlmain_return_dialog(DlSubDialog &sub);

// ---- builders ---------------------------------------------------------------

// An option menu "name" with a pulldown "pulldown" whose push-button
// gadgets, all named `button_name`, show the entries' texts (dialog id's
// set) in order; each keeps its position in its user data and calls `cb`
// with the position as client data.
Widget dlmain_create_option_menu(Widget parent, const char *name, int id, int label_number,
                                 std::span<const int> entry_numbers, const char *button_name,
                                 XtCallbackProc cb = nullptr);
void dlmain_set_option(Widget option_menu, int position);
int dlmain_get_option(Widget option_menu);  // -1 when none is shown

Widget dlmain_create_toggle(Widget parent, const char *name, int id, int number);
void dlmain_set_toggle(Widget toggle, int on);
int dlmain_get_toggle(Widget toggle);

// A horizontal scale that shows its value, maximum on the right; title
// message `title_number` (-1 none).
Widget dlmain_create_scale(Widget parent, const char *name, int id, int title_number, int minimum, int maximum,
                           int value);
// Values outside the scale's range are shown at its nearest end.
void dlmain_set_scale(Widget scale, int value);
int dlmain_get_scale(Widget scale);
// Reals are held times 100, rounded to the nearest hundredth both ways.
int dlmain_real_to_scale(double value);
double dlmain_scale_to_real(int value);
void dlmain_set_scale_real(Widget scale, double value);
double dlmain_get_scale_real(Widget scale);

Widget dlmain_create_text_field(Widget parent, const char *name, int columns, int max_length);

// ---- text fields --------------------------------------------------------------

// A new copy of a text or text-field widget's text (free with XtFree).
char *dlmain_get_text_value(Widget w);
// Sets or inserts text (insert modes 1-7, cursor modes 1-4 or a position).
void dlmain_set_text_value(Widget w, const char *text, int insert_mode, int cursor_mode, int position);

// The pure part of an insertion, in characters.  `sel_left` < `sel_right`
// when there is a selection.  False when the result would be longer than
// `max_length` characters (or than the 4095 an insertion may compose).
struct DlInsertion {
    std::wstring text;
    long cursor;  // -1: leave the cursor where it is
};
bool dlmain_compose_insertion(const std::wstring &current, long cursor, long sel_left, long sel_right,
                              const std::wstring &insert, int insert_mode, int cursor_mode, long position,
                              long max_length, DlInsertion &out);

// ---- text validation ---------------------------------------------------------------

inline constexpr unsigned DL_VAL_DBNAME = 0x2;
inline constexpr unsigned DL_VAL_NUMERIC = 0x4;
inline constexpr unsigned DL_VAL_MANDATORY = 0x8;
inline constexpr unsigned DL_VAL_RANGE = 0x10;
inline constexpr unsigned DL_VAL_DEFAULT = 0x20;
inline constexpr unsigned DL_VAL_UPPER = 0x40;
inline constexpr unsigned DL_VAL_INTEGER = 0x80;
inline constexpr unsigned DL_VAL_LTRIM = 0x100;

using DlCheckProc = int (*)(const char *text);

struct DlValidation {
    Widget text;
    unsigned flags;
    std::string default_text, minimum, maximum;
    DlCheckProc check;
    std::string message_format;  // for the check procedure's failure
    DlValidation *next;
};

// The outcome of checking one text: error 0 (valid), 7-10 and 12 (set 1's
// messages), or -1 (the check procedure refused: the record's format).
struct DlCheck {
    int error = 0;
    std::string argument;  // the text the message is formatted with
    bool rewrite = false;  // the field's text becomes `text`
    std::string text;
};
DlCheck dlmain_check_text(const DlValidation &v, const char *text, bool mandatory_checked);

void dlmain_setup_text_validation(Widget dialog, Widget text, unsigned flags, const char *default_text,
                                  const char *minimum, const char *maximum, DlCheckProc check,
                                  const char *message_format);
// Changes the default text of a field's validation (a default that
// follows the value shown).
void dlmain_set_validation_default(Widget dialog, Widget text, const char *default_text);
void dlmain_free_all_validations(DialogRecord *rec);
int dlmain_text_error_pending();
// The shared text-error box (for tests and the busy cursor).
Widget dlmain_text_error_box();
// Runs every validation of the dialog as OK and Apply do; 1 when all pass.
int dlmain_validate_dialog(Widget dialog);

// ---- column names ------------------------------------------------------------------

// "table.column" in a static buffer.
const char *qualify_column_name(const char *table, const char *column);
template <class ColumnKindData>
const char *qualify_column_name(const ColumnKindData &col)
{
    return qualify_column_name(col.table_name, col.column_name);
}
// Removes table qualifications in place: T.COL+U.X becomes COL+X.  Numbers
// (1.5) and text in single quotes are left alone.
char *remove_qualification(char *text);
