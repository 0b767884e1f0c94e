// The dialog kit: what the individual dialogs share beyond the framework of
// dlmain.h.  Making the boxes and finishing them, catalogue texts held as
// copies, the usual layouts, text helpers, validation tables, owned list
// items, directory listings for the settings pickers, the popup rules of
// the object editors and the text a workspace pick inserts.
#pragma once

#include "dlmain.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// ---- construction ---------------------------------------------------------------

// Dialog styles for the makers.
inline constexpr bool DL_MODAL = true;
inline constexpr bool DL_MODELESS = false;

// A prompt dialog `name` with the common arguments of the button type and
// title message 1 of the dialog's set; `extra` arguments are added last.
Widget make_prompt_dialog(Widget parent, const char *name, int id, int button_type, bool modal,
                          std::initializer_list<Arg> extra = {});
// A selection dialog with list label message `list_label`.  Its list takes
// one item at a time, in the data font; a single selection and a default
// action both call `pick` with `client`.
Widget make_selection_dialog(Widget parent, const char *name, int id, int button_type, int list_label, bool modal,
                             XtCallbackProc pick, XtPointer client, std::initializer_list<Arg> extra = {});
// A file selection dialog (OK, Cancel, Filter) titled with message
// `title_number`, filtering with `pattern`; its Help button is taken away
// and its filter text, selection text and both lists show the data font.
Widget make_file_selection(Widget parent, const char *name, int id, int title_number, const char *pattern);

// What finish_dialog leaves of the box's own children.
inline constexpr unsigned DL_KEEP_TEXT = 0x1;       // the selection text
inline constexpr unsigned DL_KEEP_SELECTION = 0x2;  // the selection label
inline constexpr unsigned DL_NO_FORM = 0x4;         // no work-area form

// Finishes a box made for `rec` (rec->widget): the selection label and
// text are unmanaged unless kept, the work-area form "form1" is made
// (returned; none with DL_NO_FORM), the buttons come last in the tab
// order, the help id is bound (none for 0) with the Help button's
// callback, and the standard button and window-manager callbacks of the
// button type are wired.
Widget finish_dialog(DialogRecord *rec, int button_type, int help_id, unsigned keep = 0);
// Binds a help id to a widget (nothing until the help client starts).
void dl_register_help(Widget w, int help_id);
// The box's OK, Apply (Filter), Cancel and Help buttons, as far as it has them.
Widget dl_box_button(Widget box, unsigned char which);

// ---- catalogue texts -----------------------------------------------------------------

// A copy of the text (set id + 2, n): empty when the catalogue lacks it.
std::string dl_text(int id, int n);

// A compound string that frees itself.
class DlXmString {
public:
    DlXmString(int id, int n);
    // `multiline`: newlines break lines.
    explicit DlXmString(const std::string &text, bool multiline = false);
    ~DlXmString();
    DlXmString(const DlXmString &) = delete;
    DlXmString &operator=(const DlXmString &) = delete;
    operator XmString() const { return s_; }
    XtArgVal arg() const { return reinterpret_cast<XtArgVal>(s_); }

private:
    XmString s_;
};

// ---- layout ------------------------------------------------------------------------------

// Attachment shorthands.  A widget of none attaches to the form.
void dl_attach_top(Widget w, Widget above = nullptr, int offset = 0);
void dl_attach_left(Widget w, Widget beside = nullptr, int offset = 0);
void dl_attach_right(Widget w, Widget beside = nullptr, int offset = 0);
void dl_attach_bottom(Widget w, Widget below = nullptr, int offset = 0);
// Left edge aligned with another widget's left edge.
void dl_align_left(Widget w, Widget with);
// Top edge aligned with another widget's top edge.
void dl_align_top(Widget w, Widget with);

// A label gadget of message (id, n) in a font.
Widget dl_label(Widget parent, const char *name, int id, int n, XmFontList font);
// A toggle gadget of message (id, n) in a font.
Widget dl_toggle(Widget parent, const char *name, int id, int n, XmFontList font);

// A titled section: a label in the title font, below it an etched frame
// holding a form, stretched between the form's edges.
struct DlSection {
    Widget label, frame, form;
};
DlSection dl_section(Widget parent, const char *label_name, int id, int label_n, const char *frame_name,
                     const char *form_name, Widget above);

// A label followed on its right by a text field in the data font.
struct DlLabelledText {
    Widget label, text;
};
DlLabelledText dl_labelled_text(Widget parent, const char *label_name, int id, int n, const char *text_name,
                                int columns, int max_length, XmFontList label_font);

// A radio box of toggle gadgets, one per message number, in the label
// font; all toggles are named `toggle_name`; `cb` (if any) runs on each
// value change with the toggle's index as client data.
Widget dl_radio_box(Widget parent, const char *name, int id, std::span<const int> numbers, const char *toggle_name,
                    bool horizontal, XtCallbackProc cb = nullptr);
// Sets the toggle of an index (out of range: none changes); with `notify`
// the box's callbacks run and clear the others.
void dl_set_radio(Widget box, int index, bool notify);
// The index of the first set toggle, -1 when none is set.
int dl_get_radio(Widget box);
// The toggle of an index, or none.
Widget dl_radio_toggle(Widget box, int index);

// ---- text -------------------------------------------------------------------------------------

std::string dl_trim(std::string_view text);   // blanks and tabs at both ends
std::string dl_upper(std::string_view text);  // single-byte letters upper-cased
// Upper-cased outside quoted strings ('...' and "...").
std::string dl_caps(std::string_view text);

// A copy of a text field's text; empty for none.
std::string dl_get_text(Widget w);
std::string dl_get_trimmed(Widget w);
// Replaces the text, the cursor behind it.  A text longer than the field's
// maximum length is cut to it (at a character boundary): the field never
// keeps the text it had.
void dl_set_text(Widget w, std::string_view text);

// Copies at most N - 1 bytes (never a part of a character) and a NUL.
void dl_copy_bounded(char *dst, size_t size, std::string_view text);
template <size_t N>
void dl_copy(char (&dst)[N], std::string_view text)
{
    dl_copy_bounded(dst, N, text);
}
// The text of a fixed array, up to its NUL or its end.
template <size_t N>
std::string_view dl_view(const char (&src)[N])
{
    return std::string_view(src, strnlen(src, N));
}

// ---- validation tables ----------------------------------------------------------------------

// One validated field: the path of its text widget below the dialog
// ("form1/memT"), the flags, the texts (none: no default, no bound), a
// check procedure and the message of the dialog's set it shows (0 none).
struct DlValidationSpec {
    const char *path;
    unsigned flags;
    const char *default_text;
    const char *minimum;
    const char *maximum;
    DlCheckProc check;
    int message;
};
// Sets up every row on `rec`'s dialog.  False (and a line on standard
// error) when a path names no widget.
bool dl_setup_validations(DialogRecord *rec, std::span<const DlValidationSpec> specs);

// The widget at a path of names below `root`, "/"-separated, each step
// searching children and pop-up children; none when a step fails.
Widget dl_widget_at(Widget root, const char *path);

// ---- lists ------------------------------------------------------------------------------------

// The items of a list widget, owned here: the compound strings live until
// the next clear or the list's destruction.
class DlItemList {
public:
    DlItemList() = default;
    ~DlItemList();
    DlItemList(const DlItemList &) = delete;
    DlItemList &operator=(const DlItemList &) = delete;

    void clear();
    void add(const std::string &text);
    size_t size() const { return texts_.size(); }
    const std::string &text(size_t i) const { return texts_[i]; }
    const std::vector<std::string> &texts() const { return texts_; }
    // Sorts the items by their text, byte by byte.
    void sort();
    // Shows the items in `list`; no items empty it.
    void show(Widget list) const;

private:
    std::vector<XmString> items_;
    std::vector<std::string> texts_;
};

// The text of a list callback's item.
std::string dl_list_item_text(XtPointer call);

// ---- directory listings ---------------------------------------------------------------------

// The pieces of a search path between its colons (empty pieces dropped).
std::vector<std::string> dl_split_path(const char *path);

// Which names a listing leaves out: names beginning with "." always.
inline constexpr unsigned DL_SKIP_PROCEDURE = 0x1;  // names ending ".tsl" or ".FMT"
inline constexpr unsigned DL_NO_DUPLICATES = 0x2;   // a name already listed
inline constexpr unsigned DL_SKIP_LONG = 0x4;       // names longer than a procedure name (14)

bool dl_skip_name(const char *name, unsigned rules);

struct DlListing {
    std::vector<std::string> names;
    size_t first_shared = 0;  // index of the first name from the shared directory
};
// Adds the names of one directory in directory order while fewer than
// `cap` are held (an unreadable directory adds nothing).
void dl_read_directory(const std::string &dir, DlListing &out, size_t cap, unsigned rules);
// The listing of the settings pickers: the directories of the search path
// (the environment variable's value), then `own`; that count is the first
// shared index; then `shared` when given.
DlListing dl_list_files(const char *search_path, const std::string &own, const std::string *shared, size_t cap,
                        unsigned rules);

// ---- popup rules ----------------------------------------------------------------------------------

// The root position of a widget's or gadget's top-left corner.
void dl_root_origin(Widget w, int &x, int &y);
// The object editors' rules for a title mode: Delete sensitive only when
// an existing object is edited (1); OK and Apply greyed when the object
// may only be looked at (3).
void dl_apply_title_mode(DialogRecord *rec, int title_mode, Widget delete_button);

// ---- workspace picks -----------------------------------------------------------------------------

// Object kinds a dialog looks at when an object is picked.
inline constexpr int DL_KIND_COLUMN = 3;
inline constexpr int DL_KIND_VARIABLE = 4;

// The leading fields of a column object's kind data.
struct DlColumnHead {
    int32_t kind;
    char column_name[22];
    char table_name[22];
};
static_assert(offsetof(DlColumnHead, column_name) == 4);
static_assert(offsetof(DlColumnHead, table_name) == 26);

// The kind of a picked object's kind data (its first field).
int dl_kind_of(const void *kind_data);
// The first text of a kind data, behind the kind (an expression's text, a
// variable's name), at most `size` bytes.
std::string dl_kind_text(const void *kind_data, size_t size);
// The text a pick inserts: a column's name, qualified with its table
// ("%s.%s") when column names are qualified; another object's first text.
std::string dl_reference_text(const void *kind_data);
