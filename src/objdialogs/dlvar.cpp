// The variable editor (14): the name and value of a new variable, and the
// prompt settings of any.  A variable's name and value are fixed once it
// exists: only a new one has them sensitive.

#include "dlvar.h"

#include "dlkit.h"
#include "wsobj.h"

#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/PushB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <cctype>
#include <cstddef>

namespace {

constexpr int ID = 14;
constexpr int EXPR_ID = 8;
constexpr int HELP_ID = 286;
constexpr int NAME_MAX = 12;
constexpr int VALUE_MAX = 80;

static_assert(offsetof(ObVariableData, name) == 4);
static_assert(offsetof(ObVariableData, prompt) == 20);
static_assert(offsetof(ObVariableData, prompt_text) == 24);
static_assert(offsetof(ObVariableData, value) == 105);

// A name that begins with a digit passes the database-name check but
// reads as a number in a query: refused with that check's own message.
int name_starts_well(const char *text)
{
    return !text || !isdigit(static_cast<unsigned char>(*text));
}

struct {
    Widget name = nullptr, value_label = nullptr, value = nullptr, expr = nullptr;
    Widget prompt_toggle = nullptr, prompt_label = nullptr, prompt = nullptr, delete_button = nullptr;
    DialogRecord *rec = nullptr;
    DlSubDialog exprdialog;
    ObExpressionData exprval{};
    uint32_t own_mask = 0;
    DlReferenceProc own_reference = nullptr;
} s;

void set_prompt_sensitive(bool on)
{
    XtSetSensitive(s.prompt_label, on ? True : False);
    XtSetSensitive(s.prompt, on ? True : False);
}

void prompt_cb(Widget, XtPointer, XtPointer call)
{
    set_prompt_sensitive(static_cast<XmToggleButtonCallbackStruct *>(call)->set != 0);
}

// ---- the expression editor ----------------------------------------------------------------------

void expr_apply(DialogRecord *editor, int *done)
{
    editor->getval(editor, &s.exprval);
    dlmain_set_text_value(s.value, s.exprval.text, 1, 4, 0);
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
    if (s.rec) {
        s.rec->reference_mask = s.own_mask;
        s.rec->reference = s.own_reference;
    }
    if (done)
        *done = 1;
}

void expr_cb(Widget w, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    if (s.exprdialog.record)
        return;
    DlSubNotify procs;
    procs.apply = expr_apply;
    procs.reset = expr_reset;
    procs.dismiss = expr_dismiss;
    s.exprval.kind = OB_EXPRESSION;
    s.exprval.text[0] = '\0';
    const uint32_t mask = rec->reference_mask;
    const DlReferenceProc reference = rec->reference;
    DialogRecord *editor = dlmain_borrow_dialog(s.exprdialog, rec, EXPR_ID, procs, &s.exprval, w, 4);
    if (!editor)
        return;
    s.own_mask = mask;
    s.own_reference = reference;
    // Picks go to the editor's text and are not kept as references.
    rec->reference_mask = editor->reference_mask | DL_REF_NO_PENDING;
    rec->reference = editor->reference;
}

// ---- construction ----------------------------------------------------------------------------------

Widget push_button(Widget parent, const char *name, int n, XtCallbackProc cb, XtPointer client)
{
    DlXmString label(ID, n);
    Widget b = XtVaCreateManagedWidget(name, xmPushButtonWidgetClass, parent, XmNlabelString, label.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(b, XmNfontList, dlmain_button_font, nullptr);
    XtAddCallback(b, XmNactivateCallback, cb, client);
    return b;
}

Widget text_field(Widget parent, const char *name, int columns, int max_length)
{
    Widget t = dlmain_create_text_field(parent, name, columns, max_length);
    XtManageChild(t);
    if (dlmain_data_font)
        XtVaSetValues(t, XmNfontList, dlmain_data_font, nullptr);
    return t;
}

Widget framed_form(Widget parent, const char *frame_name, const char *form_name, Widget above)
{
    Widget frame = XtVaCreateManagedWidget(frame_name, xmFrameWidgetClass, parent, nullptr);
    dl_attach_top(frame, above, 8);
    dl_attach_left(frame);
    dl_attach_right(frame);
    return XtVaCreateManagedWidget(form_name, xmFormWidgetClass, frame, nullptr);
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    s.rec = rec;
    rec->widget = make_prompt_dialog(parent, "var", ID, 1, DL_MODELESS);
    Widget form = finish_dialog(rec, 1, HELP_ID);
    Widget label = dl_label(form, "varL", ID, 2, dlmain_label_font);
    dl_attach_top(label, nullptr, 6);
    dl_attach_left(label);
    s.name = text_field(form, "varT", NAME_MAX, NAME_MAX);
    dl_attach_top(s.name);
    dl_attach_left(s.name, label, 6);

    Widget form2 = framed_form(form, "frame1", "form2", s.name);
    s.value_label = dl_label(form2, "valueL", ID, 5, dlmain_label_font);
    dl_attach_top(s.value_label, nullptr, 4);
    dl_attach_left(s.value_label, nullptr, 4);
    s.value = text_field(form2, "valueT", 40, VALUE_MAX);
    dl_attach_top(s.value, s.value_label, 2);
    dl_attach_left(s.value, nullptr, 4);
    dl_attach_right(s.value, nullptr, 4);
    s.expr = push_button(form2, "expr1B", 6, expr_cb, rec);
    dl_attach_top(s.expr, s.value, 4);
    dl_attach_left(s.expr, nullptr, 4);
    dl_attach_bottom(s.expr, nullptr, 4);

    Widget form3 = framed_form(form, "frame2", "form3", XtParent(form2));
    s.prompt_toggle = dl_toggle(form3, "assTog", ID, 3, dlmain_label_font);
    XtAddCallback(s.prompt_toggle, XmNvalueChangedCallback, prompt_cb, nullptr);
    dl_attach_top(s.prompt_toggle, nullptr, 4);
    dl_attach_left(s.prompt_toggle, nullptr, 4);
    s.prompt_label = dl_label(form3, "promptL", ID, 4, dlmain_label_font);
    dl_attach_top(s.prompt_label, s.prompt_toggle, 4);
    dl_attach_left(s.prompt_label, nullptr, 4);
    s.prompt = text_field(form3, "promptT", 40, VALUE_MAX);
    dl_attach_top(s.prompt, s.prompt_label, 2);
    dl_attach_left(s.prompt, nullptr, 4);
    dl_attach_right(s.prompt, nullptr, 4);
    dl_attach_bottom(s.prompt, nullptr, 4);
    set_prompt_sensitive(false);

    s.delete_button = push_button(form, "delBut", 7, dlmain_std_delete_cb, rec);
    dl_attach_top(s.delete_button, XtParent(form3), 12);
    dl_attach_left(s.delete_button);
    dl_attach_bottom(s.delete_button);
    dlmain_setup_text_validation(rec->widget, s.name, DL_VAL_DBNAME | DL_VAL_MANDATORY, nullptr, nullptr, nullptr,
                                 name_starts_well, dlmain_message(-1, 12));
    return 0;
}

// ---- methods ------------------------------------------------------------------------------------

int setval_dialog(DialogRecord *, void *value)
{
    if (!value)
        return 0;
    const auto *d = static_cast<const ObVariableData *>(value);
    dlmain_set_text_value(s.name, std::string(dl_view(d->name)).substr(0, NAME_MAX).c_str(), 1, 3, 0);
    dlmain_set_text_value(s.value, std::string(dl_view(d->value)).substr(0, VALUE_MAX).c_str(), 1, 3, 0);
    dlmain_set_text_value(s.prompt, std::string(dl_view(d->prompt_text)).substr(0, VALUE_MAX).c_str(), 1, 3, 0);
    XmToggleButtonGadgetSetState(s.prompt_toggle, d->prompt ? True : False, True);
    set_prompt_sensitive(d->prompt != 0);
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    if (!value)
        return 0;
    auto *d = static_cast<ObVariableData *>(value);
    dl_copy_bounded(d->name, NAME_MAX + 1, dl_upper(dl_get_trimmed(s.name)));
    dl_copy_bounded(d->value, VALUE_MAX + 1, dl_caps(dl_get_trimmed(s.value)));
    d->prompt = XmToggleButtonGadgetGetState(s.prompt_toggle) ? 1 : 0;
    dl_copy(d->prompt_text, dl_get_trimmed(s.prompt));
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    dl_apply_title_mode(rec, title_mode, s.delete_button);
    const Boolean fresh = title_mode == 2 ? True : False;
    for (Widget w : {s.name, s.value, s.value_label, s.expr})
        XtSetSensitive(w, fresh);
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

int popdown_dialog(DialogRecord *rec)
{
    if (s.exprdialog.record)
        expr_dismiss(s.exprdialog.record, nullptr);
    return dlmain_std_popdown_dialog(rec);
}

}  // namespace

void dlvar_initialise_variable_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = OB_VARIABLE;
    rec->reference_mask = DL_REF_NO_PENDING;
    rec->popup = popup_dialog;
    rec->popdown = popdown_dialog;
    int (*const unsupported)(DialogRecord *, void *) = dlmain_std_unsupported;
    rec->reference = unsupported;
}
