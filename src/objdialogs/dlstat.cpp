// The statistic editor (10): the base expression, a radio box of the seven
// statistics with the collect expression behind the seventh, a name.  The
// expression editor is borrowed for either text and the name prompt for
// the name; while one of them is open the canvas's picks are its own.

#include "dlstat.h"

#include "dlkit.h"
#include "wsobj.h"

#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <cstddef>

namespace {

constexpr int ID = 10;
constexpr int EXPR_ID = 8;
constexpr int NAME_ID = 7;
constexpr int HELP_ID = 282;
constexpr uint32_t REFERENCE_MASK = 0x20000019;  // expressions, columns, variables; the drop target
constexpr int TEXT_MAX = 255;
constexpr int COLLECT_TOGGLE = 7;

static_assert(offsetof(ObStatisticData, text) == 4);
static_assert(offsetof(ObStatisticData, function) == 260);
static_assert(offsetof(ObStatisticData, statistic) == 264);
static_assert(offsetof(ObStatisticData, name) == 520);

// Toggle i (from 1) holds code codes[i - 1]; its label is message 3 + i.
constexpr int codes[7] = {4, 3, 6, 5, 1, 2, 7};

struct {
    Widget base = nullptr, collect = nullptr, radio = nullptr;
    Widget collect_label = nullptr, arg_button = nullptr, expr1 = nullptr, expr2 = nullptr;
    Widget name_button = nullptr, delete_button = nullptr;
    DialogRecord *rec = nullptr;
    // The expression editor while borrowed, and the text it fills.
    DlSubDialog exprdialog;
    Widget expr_target = nullptr;
    ObExpressionData exprval{};
    // The name prompt while borrowed.
    DlSubDialog namedialog;
    char nameval[13] = {};
    // The dialog's own mask and reference method while a borrowed dialog
    // takes the picks.
    bool saved = false;
    uint32_t own_mask = 0;
    DlReferenceProc own_reference = nullptr;
} s;

void set_collect_sensitive(bool on)
{
    for (Widget w : {s.collect_label, s.collect, s.arg_button, s.expr2})
        if (w)
            XtSetSensitive(w, on ? True : False);
}

// Any toggle's change: the seventh being set makes the collect widgets
// sensitive, another being set makes them insensitive.
void toggle_cb(Widget, XtPointer client, XtPointer call)
{
    const long index = reinterpret_cast<long>(client);
    const bool set = static_cast<XmToggleButtonCallbackStruct *>(call)->set != 0;
    if (index == COLLECT_TOGGLE - 1)
        set_collect_sensitive(set);
    else if (set)
        set_collect_sensitive(false);
}

void focus_text(Widget text)
{
    if (text && XtIsRealized(text))
        XmProcessTraversal(text, XmTRAVERSE_CURRENT);
}

void arg_cb(Widget, XtPointer, XtPointer)
{
    dlmain_set_text_value(s.collect, "@", 2, 3, 0);
    focus_text(s.collect);
}

// ---- picks while a borrowed dialog is open ----------------------------------------------------

void take_picks(DialogRecord *rec, uint32_t mask, DlReferenceProc reference)
{
    if (!s.saved) {
        s.own_mask = rec->reference_mask;
        s.own_reference = rec->reference;
        s.saved = true;
    }
    rec->reference_mask = mask;
    rec->reference = reference;
}

// The name prompt's picks, given its own record.
int prompt_reference(DialogRecord *, void *object)
{
    DialogRecord *prompt = s.namedialog.record;
    return prompt && prompt->reference ? prompt->reference(prompt, object) : -1;
}

// After a borrowed dialog went back: the other one's picks while it is
// still open, else the dialog's own.
void give_back_picks()
{
    if (!s.saved || !s.rec)
        return;
    if (DialogRecord *e = s.exprdialog.record) {
        s.rec->reference_mask = e->reference_mask;
        s.rec->reference = e->reference;
    } else if (DialogRecord *p = s.namedialog.record) {
        s.rec->reference_mask = p->reference_mask;
        s.rec->reference = prompt_reference;
    } else {
        s.rec->reference_mask = s.own_mask;
        s.rec->reference = s.own_reference;
        s.saved = false;
    }
}

// ---- the expression editor ----------------------------------------------------------------------

void expr_apply(DialogRecord *editor, int *done)
{
    editor->getval(editor, &s.exprval);
    const std::string text(dl_view(s.exprval.text));
    if (!text.empty())
        dlmain_set_text_value(s.expr_target, text.c_str(), 6, 4, 0);
    *done = 1;
}

void expr_reset(DialogRecord *editor, int *done)
{
    editor->setval(editor, &s.exprval);
    *done = 1;
}

void expr_dismiss(DialogRecord *editor, int *done)
{
    if (editor)
        editor->popdown(editor);
    dlmain_return_dialog(s.exprdialog);
    s.expr_target = nullptr;
    give_back_picks();
    if (done)
        *done = 1;
}

void borrow_expression(DialogRecord *rec, int title_mode, Widget button)
{
    if (s.exprdialog.record)
        return;
    DlSubNotify procs;
    procs.apply = expr_apply;
    procs.reset = expr_reset;
    procs.dismiss = expr_dismiss;
    s.expr_target = title_mode == 5 ? s.collect : s.base;
    s.exprval.kind = OB_EXPRESSION;
    s.exprval.text[0] = '\0';
    DialogRecord *editor = dlmain_borrow_dialog(s.exprdialog, rec, EXPR_ID, procs, &s.exprval, button, title_mode);
    if (!editor) {
        s.expr_target = nullptr;
        return;
    }
    take_picks(rec, editor->reference_mask, editor->reference);
}

void expr1_cb(Widget w, XtPointer client, XtPointer) { borrow_expression(static_cast<DialogRecord *>(client), 4, w); }
void expr2_cb(Widget w, XtPointer client, XtPointer) { borrow_expression(static_cast<DialogRecord *>(client), 5, w); }

// ---- the name prompt ------------------------------------------------------------------------------

void name_apply(DialogRecord *prompt, int *done)
{
    prompt->getval(prompt, s.nameval);
    *done = 1;
}

void name_reset(DialogRecord *prompt, int *done)
{
    prompt->setval(prompt, s.nameval);
    *done = 1;
}

void name_dismiss(DialogRecord *prompt, int *done)
{
    if (prompt)
        prompt->popdown(prompt);
    dlmain_return_dialog(s.namedialog);
    give_back_picks();
    if (done)
        *done = 1;
}

void name_cb(Widget w, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    if (s.namedialog.record)
        return;
    DlSubNotify procs;
    procs.apply = name_apply;
    procs.reset = name_reset;
    procs.dismiss = name_dismiss;
    DialogRecord *prompt = dlmain_borrow_dialog(s.namedialog, rec, NAME_ID, procs, s.nameval, w, 4);
    if (!prompt)
        return;
    take_picks(rec, prompt->reference_mask, prompt_reference);
}

// ---- construction ----------------------------------------------------------------------------------

Widget push_button(Widget parent, const char *name, int n, XtCallbackProc cb, XtPointer client)
{
    DlXmString label(ID, n);
    Widget b = XtVaCreateManagedWidget(name, xmPushButtonWidgetClass, parent, XmNlabelString, label.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(b, XmNfontList, dlmain_button_font, nullptr);
    if (cb)
        XtAddCallback(b, XmNactivateCallback, cb, client);
    return b;
}

Widget text_field(Widget parent, const char *name)
{
    Widget t = dlmain_create_text_field(parent, name, 50, TEXT_MAX);
    XtManageChild(t);
    if (dlmain_data_font)
        XtVaSetValues(t, XmNfontList, dlmain_data_font, nullptr);
    return t;
}

// The radio box and the collect widgets in the frame's form.
void make_statistics(DialogRecord *rec, Widget form2)
{
    constexpr int labels[7] = {4, 5, 6, 7, 8, 9, 10};
    s.radio = dl_radio_box(form2, "statRad", ID, labels, "statTog", false, toggle_cb);
    XtVaSetValues(s.radio, XmNnumColumns, 2, XmNpacking, XmPACK_COLUMN, nullptr);
    dl_attach_top(s.radio);
    dl_attach_left(s.radio);
    s.collect_label = dl_label(form2, "coExprL", ID, 11, dlmain_label_font);
    dl_attach_top(s.collect_label, s.radio, 6);
    dl_attach_left(s.collect_label, nullptr, 4);
    s.collect = text_field(form2, "coExprT");
    dl_attach_top(s.collect, s.collect_label, 2);
    dl_attach_left(s.collect, nullptr, 4);
    dl_attach_right(s.collect, nullptr, 4);
    s.arg_button = push_button(form2, "argB", 12, arg_cb, nullptr);
    dl_attach_top(s.arg_button, s.collect, 4);
    dl_attach_left(s.arg_button, nullptr, 4);
    dl_attach_bottom(s.arg_button, nullptr, 4);
    s.expr2 = push_button(form2, "expr2B", 3, expr2_cb, rec);
    dl_attach_top(s.expr2, s.collect, 4);
    dl_attach_left(s.expr2, s.arg_button, 8);
    dl_attach_bottom(s.expr2, nullptr, 4);
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    s.rec = rec;
    rec->widget = make_prompt_dialog(parent, "stat", ID, 1, DL_MODELESS);
    Widget form = finish_dialog(rec, 1, HELP_ID);
    Widget label = dl_label(form, "stExprL", ID, 2, dlmain_title_font);
    dl_attach_top(label);
    dl_attach_left(label);
    s.base = text_field(form, "stExprT");
    dl_attach_top(s.base, label, 2);
    dl_attach_left(s.base);
    dl_attach_right(s.base);
    s.expr1 = push_button(form, "expr1B", 3, expr1_cb, rec);
    dl_attach_top(s.expr1, s.base, 4);
    dl_attach_left(s.expr1);

    Widget frame = XtVaCreateManagedWidget("frame", xmFrameWidgetClass, form, nullptr);
    dl_attach_top(frame, s.expr1, 8);
    dl_attach_left(frame);
    dl_attach_right(frame);
    Widget form2 = XtVaCreateManagedWidget("form2", xmFormWidgetClass, frame, nullptr);
    make_statistics(rec, form2);

    s.name_button = push_button(form, "nameBut", 14, name_cb, rec);
    dl_attach_top(s.name_button, frame, 8);
    dl_attach_left(s.name_button);
    s.delete_button = push_button(form, "delBut", 13, dlmain_std_delete_cb, rec);
    dl_attach_top(s.delete_button, s.name_button, 12);
    dl_attach_left(s.delete_button);
    dl_attach_bottom(s.delete_button);
    dl_set_radio(s.radio, dlstat_toggle_of_code(1) - 1, true);
    return 0;
}

// ---- methods ------------------------------------------------------------------------------------

int setval_dialog(DialogRecord *, void *value)
{
    if (!value)
        return 0;
    const auto *d = static_cast<const ObStatisticData *>(value);
    dlmain_set_text_value(s.base, std::string(dl_view(d->text)).substr(0, TEXT_MAX).c_str(), 1, 4, 0);
    dlmain_set_text_value(s.collect, std::string(dl_view(d->statistic)).substr(0, TEXT_MAX).c_str(), 1, 4, 0);
    const int toggle = dlstat_toggle_of_code(d->function);
    dl_set_radio(s.radio, toggle - 1, true);
    set_collect_sensitive(toggle == COLLECT_TOGGLE);
    dl_copy(s.nameval, dl_view(d->name));
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    if (!value)
        return 0;
    auto *d = static_cast<ObStatisticData *>(value);
    dl_copy(d->text, dl_caps(dl_get_trimmed(s.base)));
    dl_copy(d->statistic, dl_caps(dl_get_trimmed(s.collect)));
    d->function = dlstat_code_of_toggle(dl_get_radio(s.radio) + 1);
    dl_copy(d->name, dl_view(s.nameval));
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    dl_apply_title_mode(rec, title_mode, s.delete_button);
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

int popdown_dialog(DialogRecord *rec)
{
    if (s.exprdialog.record)
        expr_dismiss(s.exprdialog.record, nullptr);
    if (s.namedialog.record)
        name_dismiss(s.namedialog.record, nullptr);
    return dlmain_std_popdown_dialog(rec);
}

int reference_dialog(DialogRecord *, void *object)
{
    const std::string text = dl_reference_text(object);
    if (!s.base || text.empty())
        return -1;
    dlmain_set_text_value(s.base, text.c_str(), 2, 3, 0);
    return 0;
}

}  // namespace

int dlstat_toggle_of_code(int code)
{
    for (int i = 0; i < 7; i++)
        if (codes[i] == code)
            return i + 1;
    return 5;
}

int dlstat_code_of_toggle(int toggle) { return toggle >= 1 && toggle <= 7 ? codes[toggle - 1] : 1; }

void initialise_statistic_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = OB_STATISTIC;
    rec->reference_mask = REFERENCE_MASK;
    rec->popup = popup_dialog;
    rec->popdown = popdown_dialog;
    rec->reference = reference_dialog;
}
