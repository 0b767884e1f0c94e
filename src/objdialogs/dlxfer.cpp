// The transfer dialog (22): direction, medium, file or command, format,
// delimiters, row end, the load's overwrite, the name row and an unload's
// WHERE condition; Start runs the workspace's apply with every input
// greyed, and the transfer reports on the status line.  The condition
// editor (9) is borrowed for the WHERE text, the canvas's picks going to it.

#include "dlxfer.h"

#include "dlkit.h"
#include "dlxfermsgs.h"
#include "wsobj.h"
#include "xfer.h"

#include <Xm/FileSB.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/LabelG.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/SeparatoG.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <cstddef>
#include <cstdint>

namespace {

constexpr int ID = 22;
constexpr int COND_ID = 9;
constexpr int HELP_ID = 292;
constexpr int NTERMINATORS = 4;

static_assert(offsetof(ObConditionData, text) == 4);

struct {
    DialogRecord *rec = nullptr;
    Widget direction = nullptr, load = nullptr, unload = nullptr, tofrom = nullptr;
    Widget medium = nullptr, file = nullptr, pipe = nullptr;
    Widget path_label = nullptr, path = nullptr, search = nullptr, search_file = nullptr;
    Widget format_label = nullptr, format_box = nullptr;
    Widget delim_label = nullptr, delim = nullptr;
    Widget terminator = nullptr, term[NTERMINATORS] = {};
    Widget overwrite = nullptr, colnames = nullptr, use_where = nullptr;
    Widget where_label = nullptr, where = nullptr, editor_button = nullptr;
    Widget start = nullptr, status = nullptr;
    // The condition editor while borrowed, and this dialog's own picks.
    DlSubDialog conddialog;
    DialogRecord *transfer_dialog = nullptr;
    uint32_t saved_mask = 0;
    DlReferenceProc saved_reference = nullptr;
    ObConditionData condval{};
} s;

void set_sensitive(Widget w, bool on)
{
    if (w)
        XtSetSensitive(w, on ? True : False);
}

bool toggle_on(Widget t) { return t && XmToggleButtonGadgetGetState(t); }

Widget current_button(Widget option_menu)
{
    Widget b = nullptr;
    XtVaGetValues(option_menu, XmNmenuHistory, &b, nullptr);
    return b;
}

int direction_now() { return current_button(s.direction) == s.load ? XFER_LOAD : XFER_UNLOAD; }
int medium_now() { return current_button(s.medium) == s.file ? XFER_FILE : XFER_PIPE; }
int format_now()
{
    const int f = dl_get_radio(s.format_box);
    return f < 0 ? XFER_DELIMITED : f;
}

// ---- callbacks -----------------------------------------------------------------------------------

void where_cb(Widget, XtPointer, XtPointer)
{
    const bool on = toggle_on(s.use_where);
    for (Widget w : {s.where_label, s.where, s.editor_button})
        set_sensitive(w, on);
}

void direction_cb(Widget, XtPointer, XtPointer)
{
    const DlXferSensitivity sens = dlxfer_sensitivity(direction_now(), medium_now(), format_now(), 0);
    if (direction_now() == XFER_LOAD) {
        XmToggleButtonGadgetSetState(s.use_where, False, True);
        where_cb(nullptr, nullptr, nullptr);
    } else {
        XmToggleButtonGadgetSetState(s.overwrite, False, False);
    }
    set_sensitive(s.overwrite, sens.overwrite);
    set_sensitive(s.use_where, sens.use_where);
}

void medium_cb(Widget, XtPointer, XtPointer)
{
    set_sensitive(s.search, dlxfer_sensitivity(direction_now(), medium_now(), format_now(), 0).search);
}

void apply_format(int format)
{
    const DlXferSensitivity sens = dlxfer_sensitivity(direction_now(), medium_now(), format, 0);
    set_sensitive(s.delim_label, sens.delimiter);
    set_sensitive(s.delim, sens.delimiter);
    set_sensitive(s.terminator, sens.terminator);
    if (!sens.colnames)
        XmToggleButtonGadgetSetState(s.colnames, False, False);
    set_sensitive(s.colnames, sens.colnames);
}

void format_cb(Widget, XtPointer client, XtPointer call)
{
    const auto *cbs = static_cast<const XmToggleButtonCallbackStruct *>(call);
    if (cbs && !cbs->set)
        return;
    apply_format(static_cast<int>(reinterpret_cast<intptr_t>(client)));
}

void search_cb(Widget w, XtPointer, XtPointer)
{
    int x = 0, y = 0;
    dl_root_origin(w, x, y);
    dlmain_setup_popup_position(s.search_file, x, y, 1);
    XtManageChild(s.search_file);
}

void file_cb(Widget, XtPointer, XtPointer call)
{
    const auto *cbs = static_cast<const XmFileSelectionBoxCallbackStruct *>(call);
    if (cbs && cbs->reason == XmCR_OK && cbs->value) {
        char *name = nullptr;
        if (XmStringGetLtoR(cbs->value, const_cast<char *>(XmFONTLIST_DEFAULT_TAG), &name) && name) {
            dl_set_text(s.path, name);
            XtFree(name);
        }
    }
    XtUnmanageChild(s.search_file);
}

// The inputs Start greys while the transfer runs.
std::vector<Widget> inputs()
{
    std::vector<Widget> all = {s.direction, s.medium, s.path, s.search};
    for (int i = 0; i < 3; i++)
        all.push_back(dl_radio_toggle(s.format_box, i));
    for (Widget w : {s.delim_label, s.delim, s.terminator, s.overwrite, s.colnames, s.use_where, s.where_label,
                     s.where, s.editor_button})
        all.push_back(w);
    return all;
}

void start_cb(Widget w, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    // Checked while the fields are sensitive: the framework passes over
    // greyed ones, and an empty path must stop the transfer.
    if (!dlmain_validate_dialog(rec->widget))
        return;
    Widget close = dl_box_button(rec->widget, XmDIALOG_CANCEL_BUTTON);
    set_sensitive(s.start, false);
    set_sensitive(close, false);
    for (Widget input : inputs())
        set_sensitive(input, false);
    dlmain_std_apply_cb(w, rec, nullptr);
    for (Widget input : {s.direction, s.medium, s.path})
        set_sensitive(input, true);
    for (int i = 0; i < 3; i++)
        set_sensitive(dl_radio_toggle(s.format_box, i), true);
    medium_cb(nullptr, nullptr, nullptr);
    apply_format(format_now());
    set_sensitive(s.overwrite, true);
    set_sensitive(s.use_where, true);
    direction_cb(nullptr, nullptr, nullptr);
    where_cb(nullptr, nullptr, nullptr);
    set_sensitive(s.start, true);
    set_sensitive(close, true);
}

// ---- the borrowed condition editor ----------------------------------------------------------------

void cond_apply(DialogRecord *editor, int *done)
{
    *done = 1;
    editor->getval(editor, &s.condval);
    dl_set_text(s.where, dl_view(s.condval.text));
}

void cond_reset(DialogRecord *editor, int *done)
{
    *done = 1;
    editor->setval(editor, &s.condval);
}

void cond_dismiss(DialogRecord *editor, int *done)
{
    if (done)
        *done = 1;
    if (editor)
        editor->popdown(editor);
    if (s.transfer_dialog) {
        s.transfer_dialog->reference_mask = s.saved_mask;
        s.transfer_dialog->reference = s.saved_reference;
        s.transfer_dialog = nullptr;
    }
    dlmain_return_dialog(s.conddialog);
}

void editor_cb(Widget w, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    DlSubNotify procs;
    procs.apply = cond_apply;
    procs.reset = cond_reset;
    procs.dismiss = cond_dismiss;
    s.condval = ObConditionData{};
    s.condval.kind = OB_CONDITION;
    dl_copy(s.condval.text, dl_get_trimmed(s.where));
    DialogRecord *editor = dlmain_borrow_dialog(s.conddialog, rec, COND_ID, procs, &s.condval, w, 2);
    if (!editor)
        return;
    if (!s.transfer_dialog) {
        s.transfer_dialog = rec;
        s.saved_mask = rec->reference_mask;
        s.saved_reference = rec->reference;
    }
    // Objects picked on the canvas reach the condition editor.
    rec->reference_mask = editor->reference_mask;
    rec->reference = editor->reference;
}

// ---- construction ----------------------------------------------------------------------------------

Widget push_gadget(Widget parent, const char *name, int n, XmFontList font)
{
    DlXmString label(ID, n);
    Widget b = XtVaCreateManagedWidget(name, xmPushButtonGadgetClass, parent, XmNlabelString, label.arg(), nullptr);
    if (font)
        XtVaSetValues(b, XmNfontList, font, nullptr);
    return b;
}

// An option menu of push-button gadgets over a pulldown; `label` 0: an
// empty label.
Widget option_menu(Widget form, const char *name, Widget pulldown, int label)
{
    DlXmString text(label ? dl_text(ID, label) : std::string());
    Arg args[2];
    XtSetArg(args[0], XmNsubMenuId, pulldown);
    XtSetArg(args[1], XmNlabelString, text.arg());
    Widget menu = XmCreateOptionMenu(form, const_cast<char *>(name), args, 2);
    XtManageChild(menu);
    return menu;
}

Widget pulldown(Widget form)
{
    return XmCreatePulldownMenu(form, const_cast<char *>("pulldown"), nullptr, 0);
}

void make_top_rows(Widget form)
{
    Widget pd = pulldown(form);
    s.load = push_gadget(pd, "loadB", 2, dlmain_label_font);
    s.unload = push_gadget(pd, "unloadB", 3, dlmain_label_font);
    for (Widget b : {s.load, s.unload})
        XtAddCallback(b, XmNactivateCallback, direction_cb, nullptr);
    s.direction = option_menu(form, "directionO", pd, 0);
    dl_attach_top(s.direction);
    dl_attach_left(s.direction);

    s.tofrom = XtVaCreateManagedWidget("tofromL", xmLabelGadgetClass, form, nullptr);
    if (dlmain_label_font)
        XtVaSetValues(s.tofrom, XmNfontList, dlmain_label_font, nullptr);
    XtVaSetValues(s.tofrom, XmNtopAttachment, XmATTACH_OPPOSITE_WIDGET, XmNtopWidget, s.direction,
                  XmNbottomAttachment, XmATTACH_OPPOSITE_WIDGET, XmNbottomWidget, s.direction, nullptr);
    dl_attach_left(s.tofrom, s.direction, 4);

    pd = pulldown(form);
    s.file = push_gadget(pd, "fileB", 5, dlmain_label_font);
    s.pipe = push_gadget(pd, "pipeB", 6, dlmain_label_font);
    for (Widget b : {s.file, s.pipe})
        XtAddCallback(b, XmNactivateCallback, medium_cb, nullptr);
    s.medium = option_menu(form, "mediaO", pd, 0);
    XtVaSetValues(s.medium, XmNbottomAttachment, XmATTACH_OPPOSITE_WIDGET, XmNbottomWidget, s.direction, nullptr);
    dl_attach_left(s.medium, s.tofrom, 4);

    s.path_label = dl_label(form, "filepipeL", ID, 7, dlmain_label_font);
    dl_attach_top(s.path_label, s.direction, 10);
    dl_attach_left(s.path_label);
    s.path = dlmain_create_text_field(form, "filepipeT", 40, 255);
    XtManageChild(s.path);
    if (dlmain_data_font)
        XtVaSetValues(s.path, XmNfontList, dlmain_data_font, nullptr);
    dl_attach_top(s.path, s.direction, 4);
    dl_attach_left(s.path, s.path_label, 4);
    s.search = push_gadget(form, "searchB", 8, dlmain_button_font);
    dl_attach_top(s.search, s.direction, 4);
    dl_attach_left(s.search, s.path, 6);
    dl_attach_right(s.search);
    XtAddCallback(s.search, XmNactivateCallback, search_cb, nullptr);
}

// The format frame: the radio box, the delimiters and the row end.
Widget make_format_frame(Widget form)
{
    s.format_label = dl_label(form, "formatL", ID, 10, dlmain_label_font);
    dl_attach_top(s.format_label, s.path, 10);
    dl_attach_left(s.format_label);
    Widget frame = XtVaCreateManagedWidget("frame", xmFrameWidgetClass, form, nullptr);
    dl_attach_top(frame, s.format_label, 2);
    dl_attach_left(frame);
    dl_attach_right(frame);
    Widget form2 = XtVaCreateManagedWidget("form2", xmFormWidgetClass, frame, nullptr);
    static const int formats[] = {11, 12, 13};
    s.format_box = dl_radio_box(form2, "formatRadio", ID, formats, "formatT", true, format_cb);
    dl_attach_top(s.format_box);
    dl_attach_left(s.format_box);

    DlLabelledText delim = dl_labelled_text(form2, "delimL", ID, 14, "delimT", 8, 8, dlmain_label_font);
    s.delim_label = delim.label;
    s.delim = delim.text;
    dl_attach_top(s.delim_label, s.format_box, 8);
    dl_attach_left(s.delim_label, nullptr, 6);
    dl_attach_bottom(s.delim_label, nullptr, 6);

    Widget pd = pulldown(form2);
    for (int i = 0; i < NTERMINATORS; i++) {
        if (i == NTERMINATORS - 1)
            XtVaCreateManagedWidget("sep", xmSeparatorGadgetClass, pd, nullptr);
        s.term[i] = push_gadget(pd, "termB", 16 + i, dlmain_label_font);
    }
    s.terminator = option_menu(form2, "terminatorO", pd, 15);
    if (dlmain_label_font) {
        XtVaSetValues(XmOptionLabelGadget(s.terminator), XmNfontList, dlmain_label_font, nullptr);
        XtVaSetValues(XmOptionButtonGadget(s.terminator), XmNfontList, dlmain_label_font, nullptr);
    }
    XtVaSetValues(s.terminator, XmNtopAttachment, XmATTACH_OPPOSITE_WIDGET, XmNtopWidget, s.delim, nullptr);
    dl_attach_left(s.terminator, s.delim, 16);
    return frame;
}

void make_switches(Widget form, Widget above)
{
    s.overwrite = dl_toggle(form, "overwriteT", ID, 20, dlmain_label_font);
    dl_attach_top(s.overwrite, above, 6);
    dl_attach_left(s.overwrite);
    s.colnames = dl_toggle(form, "colnamesT", ID, 24, dlmain_label_font);
    dl_attach_top(s.colnames, s.overwrite, 2);
    dl_attach_left(s.colnames);
    s.use_where = dl_toggle(form, "use_whereT", ID, 25, dlmain_label_font);
    XtAddCallback(s.use_where, XmNvalueChangedCallback, where_cb, nullptr);
    dl_attach_top(s.use_where, s.colnames, 2);
    dl_attach_left(s.use_where);

    s.where_label = dl_label(form, "where_condL", ID, 26, dlmain_label_font);
    dl_attach_top(s.where_label, s.use_where, 10);
    dl_attach_left(s.where_label, nullptr, 20);
    s.where = dlmain_create_text_field(form, "where_condT", 36, 255);
    XtManageChild(s.where);
    if (dlmain_data_font)
        XtVaSetValues(s.where, XmNfontList, dlmain_data_font, nullptr);
    dl_attach_top(s.where, s.use_where, 4);
    dl_attach_left(s.where, s.where_label, 4);
    s.editor_button = push_gadget(form, "editorbutB", 27, dlmain_button_font);
    dl_attach_top(s.editor_button, s.use_where, 4);
    dl_attach_left(s.editor_button, s.where, 6);
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    s.rec = rec;
    rec->widget = make_prompt_dialog(parent, "transfer", ID, 5, DL_MODELESS);
    Widget form = finish_dialog(rec, 5, HELP_ID);
    // No OK, no Apply, no default button: Start starts.
    for (unsigned char which : {XmDIALOG_OK_BUTTON, XmDIALOG_APPLY_BUTTON})
        if (Widget b = dl_box_button(rec->widget, which))
            XtUnmanageChild(b);
    XtVaSetValues(rec->widget, XmNdefaultButton, nullptr, nullptr);

    make_top_rows(form);
    s.search_file = make_file_selection(rec->widget, "searchFile", ID, 9, "*");
    XtAddCallback(s.search_file, XmNokCallback, file_cb, nullptr);
    XtAddCallback(s.search_file, XmNcancelCallback, file_cb, nullptr);

    Widget frame = make_format_frame(form);
    make_switches(form, frame);
    XtAddCallback(s.editor_button, XmNactivateCallback, editor_cb, rec);

    s.start = push_gadget(form, "startBut", 23, dlmain_button_font);
    dl_attach_top(s.start, s.where, 12);
    dl_attach_left(s.start);
    XtAddCallback(s.start, XmNactivateCallback, start_cb, rec);

    DlXmString first(ID, 21);
    s.status = XtVaCreateManagedWidget("statusL", xmLabelGadgetClass, form, XmNlabelString, first.arg(),
                                       XmNalignment, XmALIGNMENT_BEGINNING, nullptr);
    if (dlmain_label_font)
        XtVaSetValues(s.status, XmNfontList, dlmain_label_font, nullptr);
    dl_attach_top(s.status, s.start, 8);
    dl_attach_left(s.status);
    dl_attach_right(s.status);
    dl_attach_bottom(s.status);
    dlxfer_set_transfer_status(-1, 0, 0);

    static const DlValidationSpec checks[] = {
        {"form1/filepipeT", DL_VAL_MANDATORY, "FILE", nullptr, nullptr, nullptr, 0},
    };
    dl_setup_validations(rec, checks);
    return 0;
}

// ---- methods ----------------------------------------------------------------------------------------

int setval_dialog(DialogRecord *, void *value)
{
    const auto *t = static_cast<const ObTransferData *>(value);
    if (!t)
        return 0;
    XtVaSetValues(s.direction, XmNmenuHistory, t->direction ? s.unload : s.load, nullptr);
    XtVaSetValues(s.medium, XmNmenuHistory, t->medium ? s.pipe : s.file, nullptr);
    const std::string table(dl_view(t->table));
    DlXmString tofrom(vx_msgf(dlmain_catd, DLX_TABLE_LABEL, table.c_str()));
    XtVaSetValues(s.tofrom, XmNlabelString, tofrom.arg(), nullptr);
    dl_set_text(s.path, dl_view(t->path));
    if (t->format >= XFER_FIXED && t->format <= XFER_BINARY)
        dl_set_radio(s.format_box, t->format, true);
    dl_set_text(s.delim, dl_view(t->delimiter));
    if (t->terminator >= 0 && t->terminator < NTERMINATORS)
        XtVaSetValues(s.terminator, XmNmenuHistory, s.term[t->terminator], nullptr);
    XmToggleButtonGadgetSetState(s.overwrite, t->overwrite ? True : False, False);
    XmToggleButtonGadgetSetState(s.colnames, t->name_row ? True : False, False);
    XmToggleButtonGadgetSetState(s.use_where, t->use_where ? True : False, True);
    dl_set_text(s.where, dl_view(t->where));

    const DlXferSensitivity sens = dlxfer_sensitivity(t->direction ? 1 : 0, t->medium ? 1 : 0, format_now(),
                                                      t->use_where == 1);
    set_sensitive(s.overwrite, sens.overwrite);
    set_sensitive(s.search, sens.search);
    set_sensitive(s.delim_label, sens.delimiter);
    set_sensitive(s.delim, sens.delimiter);
    set_sensitive(s.terminator, sens.terminator);
    set_sensitive(s.colnames, true);
    set_sensitive(s.use_where, sens.use_where);
    for (Widget w : {s.where_label, s.where, s.editor_button})
        set_sensitive(w, sens.where_group);
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    auto *t = static_cast<ObTransferData *>(value);
    if (!t)
        return 0;
    t->direction = direction_now();
    t->medium = medium_now();
    dl_copy(t->path, dl_get_trimmed(s.path));
    t->format = format_now();
    dl_copy(t->delimiter, dl_get_trimmed(s.delim));
    const Widget term = current_button(s.terminator);
    for (int i = 0; i < NTERMINATORS; i++)
        if (term == s.term[i])
            t->terminator = i;
    t->overwrite = toggle_on(s.overwrite) ? 1 : 0;
    t->name_row = toggle_on(s.colnames) ? 1 : 0;
    t->use_where = toggle_on(s.use_where) ? 1 : 0;
    dl_copy(t->where, dl_get_trimmed(s.where));
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int)
{
    return dlmain_std_popup_dialog(rec, x, y, position_mode, 4);
}

int popdown_dialog(DialogRecord *rec)
{
    if (s.conddialog.record)
        cond_dismiss(s.conddialog.record, nullptr);
    if (s.search_file && XtIsManaged(s.search_file))
        XtUnmanageChild(s.search_file);
    const int result = dlmain_std_popdown_dialog(rec);
    dlxfer_set_transfer_status(-1, 0, 0);
    return result;
}

}  // namespace

DlXferSensitivity dlxfer_sensitivity(int direction, int medium, int format, int use_where)
{
    DlXferSensitivity sens{};
    sens.overwrite = direction == XFER_LOAD;
    sens.use_where = direction != XFER_LOAD;
    sens.where_group = use_where != 0;
    sens.search = medium == XFER_FILE;
    sens.delimiter = format == XFER_DELIMITED;
    sens.terminator = format != XFER_BINARY;
    sens.colnames = format == XFER_DELIMITED;
    return sens;
}

void dlxfer_set_transfer_status(int count, int rejected, int stopped)
{
    if (!s.status)
        return;
    std::string text;
    if (count != -1)
        text = vx_msgf(dlmain_catd, stopped ? DLX_STATUS_STOPPED : DLX_STATUS, count, rejected);
    DlXmString label(text);
    XtVaSetValues(s.status, XmNrecomputeSize, text.empty() ? False : True, XmNlabelString, label.arg(), nullptr);
    // A gadget has no window: the dialog's is brought up to date.
    XmUpdateDisplay(XtParent(s.status));
    XFlush(XtDisplayOfObject(s.status));
}

void initialise_transfer_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = OB_TRANSFER;
    rec->reference_mask = 0;
    rec->popup = popup_dialog;
    rec->popdown = popdown_dialog;
}
