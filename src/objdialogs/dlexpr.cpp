// The expression (8) and condition (9) editors: one create function for
// both, the button pads, canvas picks into the text, and the two borrowed
// sub-dialogs: the function picker (6) and, for expressions, the name
// prompt (7).

#include "dlexpr.h"

#include "dldbdialogs.h"
#include "dlkit.h"
#include "wsobj.h"

#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <cctype>
#include <cstddef>
#include <algorithm>
#include <cstdlib>

namespace {

constexpr int EXPR_ID = 8;
constexpr int COND_ID = 9;
constexpr int FUNC_ID = 6;
constexpr int NAME_ID = 7;
constexpr uint32_t REFERENCE_MASK = 0x20000019;  // expressions, columns, variables; the drop target
constexpr int TEXT_MAX = 255;

// The editors read and write the workspace's kind data.
static_assert(offsetof(ObExpressionData, text) == 4);
static_assert(offsetof(ObExpressionData, name) == 260);
static_assert(offsetof(ObConditionData, text) == 4);

// ---- button pads -------------------------------------------------------------------------------

struct PadEntry {
    char text[8];
    int32_t code;
};
static_assert(offsetof(PadEntry, code) == 8);

constexpr PadEntry pad1[] = {{"<", 1}, {"<=", 2}, {"=", 3}, {"AND", 4}, {"NOT", 5},
                             {">", 6}, {">=", 7}, {"<>", 8}, {"OR", 9}};
constexpr PadEntry native1[] = {{"<<", 1}, {"<<=", 2}, {"==", 3},   {"AND", 4}, {"NOT", 5},
                                {">>", 6}, {">>=", 7}, {"<<>>", 8}, {"OR", 9}};
constexpr PadEntry pad2[] = {{"\"\"", 10}, {"()", 11}, {"[]", 12}, {"NULL", 13}, {",", 14}, {":", 15}, {"..", 16}};
constexpr PadEntry pad3[] = {{"+", 17}, {"*", 18}, {"MOD", 19}, {"-", 20}, {"/", 21}};

struct Pad {
    const PadEntry *entries;
    int count;
};
constexpr Pad pads[] = {{pad1, 9}, {pad2, 7}, {pad3, 5}};

const char *pad_entry(int code, bool native)
{
    if (code >= 1 && code <= 9)
        return (native ? native1 : pad1)[code - 1].text;
    for (const Pad &p : pads)
        for (int i = 0; i < p.count; i++)
            if (p.entries[i].code == code)
                return p.entries[i].text;
    return nullptr;
}

// ---- state ----------------------------------------------------------------------------------------

struct Editor {
    Widget text = nullptr, native = nullptr, func_button = nullptr, name_button = nullptr, delete_button = nullptr;
};

struct {
    Editor editors[2];  // 0 the expression editor, 1 the condition editor
    // The function picker while borrowed, and which editor borrowed it.
    DlSubDialog funcdialog;
    int func_owner = -1;
    FuncValue funcval{};
    // The name prompt while borrowed, by the expression editor.
    DlSubDialog namedialog;
    char nameval[13] = {};
    DialogRecord *ego_dialog = nullptr;
    uint32_t ego_mask = 0;
    DlReferenceProc ego_reference = nullptr;
} s;

int index_of(const DialogRecord *rec) { return rec && rec->id == COND_ID ? 1 : 0; }
Editor &editor_of(const DialogRecord *rec) { return s.editors[index_of(rec)]; }

void focus_text(Widget text)
{
    if (text && XtIsRealized(text))
        XmProcessTraversal(text, XmTRAVERSE_CURRENT);
}

// ---- pads ---------------------------------------------------------------------------------------

void button_cb(Widget, XtPointer client, XtPointer)
{
    const long c = reinterpret_cast<long>(client);
    Editor &ed = s.editors[c < 0 ? 1 : 0];
    std::string text = dlexpr_pad_text(static_cast<int>(labs(c)), XmToggleButtonGetState(ed.native));
    if (text.empty())
        return;
    dlmain_set_text_value(ed.text, text.data(), 2, 4, 0);
    focus_text(ed.text);
}

// ---- the function picker ---------------------------------------------------------------------

void func_apply(DialogRecord *picker, Widget target, int *done)
{
    picker->getval(picker, &s.funcval);
    std::string name = dl_trim(dl_view(s.funcval.name));
    if (!name.empty())
        dlmain_set_text_value(target, name.data(), 5, 4, 0);
    *done = 1;
}
void func_apply_expression(DialogRecord *picker, int *done) { func_apply(picker, s.editors[0].text, done); }
void func_apply_condition(DialogRecord *picker, int *done) { func_apply(picker, s.editors[1].text, done); }

void func_reset(DialogRecord *picker, int *done)
{
    picker->setval(picker, &s.funcval);
    *done = 1;
}

void func_dismiss(DialogRecord *picker, int *done)
{
    if (picker)
        picker->popdown(picker);
    dlmain_return_dialog(s.funcdialog);
    s.func_owner = -1;
    if (done)
        *done = 1;
}

void borrow_functions(DialogRecord *rec, int title_mode)
{
    const int e = index_of(rec);
    DlSubNotify procs;
    procs.apply = e ? func_apply_condition : func_apply_expression;
    procs.reset = func_reset;
    procs.dismiss = func_dismiss;
    s.func_owner = e;
    Editor &ed = s.editors[e];
    if (!dlmain_borrow_dialog(s.funcdialog, rec, FUNC_ID, procs, &s.funcval, ed.func_button, title_mode == 5 ? 5 : 4)) {
        s.func_owner = -1;
        return;
    }
    focus_text(ed.text);
}

void func_cb(Widget, XtPointer client, XtPointer) { borrow_functions(static_cast<DialogRecord *>(client), 4); }

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
    if (s.ego_dialog) {
        s.ego_dialog->reference_mask = s.ego_mask;
        s.ego_dialog->reference = s.ego_reference;
        s.ego_dialog = nullptr;
    }
    dlmain_return_dialog(s.namedialog);
    if (done)
        *done = 1;
}

// While the prompt is open the editor's picks are the prompt's.
int prompt_reference(DialogRecord *, void *object)
{
    DialogRecord *prompt = s.namedialog.record;
    return prompt && prompt->reference ? prompt->reference(prompt, object) : -1;
}

void name_cb(Widget, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    DlSubNotify procs;
    procs.apply = name_apply;
    procs.reset = name_reset;
    procs.dismiss = name_dismiss;
    Editor &ed = editor_of(rec);
    DialogRecord *prompt = dlmain_borrow_dialog(s.namedialog, rec, NAME_ID, procs, s.nameval, ed.name_button, 4);
    if (!prompt)
        return;
    if (!s.ego_dialog) {
        s.ego_dialog = rec;
        s.ego_mask = rec->reference_mask;
        s.ego_reference = rec->reference;
    }
    rec->reference_mask = prompt->reference_mask;
    rec->reference = prompt_reference;
    focus_text(ed.text);
}

// ---- construction ----------------------------------------------------------------------------------

Widget push_button(Widget parent, const char *name, int id, int n)
{
    DlXmString label(id, n);
    Widget b = XtVaCreateManagedWidget(name, xmPushButtonWidgetClass, parent, XmNlabelString, label.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(b, XmNfontList, dlmain_button_font, nullptr);
    return b;
}

Dimension preferred_width(Widget w)
{
    XtWidgetGeometry g{};
    XtQueryGeometry(w, nullptr, &g);
    return g.width;
}

// The three pads under their labels, side by side below `above`, each
// column as wide as the wider of its label and its frame; the first pad
// (nine buttons, the most rows) is returned: the tallest.
Widget make_pads(Widget form, Widget above, bool condition)
{
    Widget left = nullptr, first = nullptr;
    for (int k = 1; k <= 3; k++) {
        Widget label = dl_label(form, dlmain_widget_name("exprCond%dL", k), EXPR_ID, 3 + k, dlmain_title_font);
        Widget frame = XtVaCreateManagedWidget(dlmain_widget_name("frame%d", k), xmFrameWidgetClass, form, nullptr);
        Widget box = XtVaCreateWidget(dlmain_widget_name("exprBox%d", k), xmRowColumnWidgetClass, frame,
                                      XmNorientation, XmVERTICAL, XmNpacking, XmPACK_COLUMN, XmNnumColumns, 2,
                                      nullptr);
        const Pad &pad = pads[k - 1];
        for (int i = 0; i < pad.count; i++) {
            const PadEntry &entry = pad.entries[i];
            DlXmString text(entry.text);
            Widget b = XtVaCreateManagedWidget(dlmain_widget_name("button%d", k), xmPushButtonWidgetClass, box,
                                               XmNlabelString, text.arg(), nullptr);
            if (dlmain_data_font)
                XtVaSetValues(b, XmNfontList, dlmain_data_font, nullptr);
            const long code = condition ? -entry.code : entry.code;
            XtAddCallback(b, XmNactivateCallback, button_cb, reinterpret_cast<XtPointer>(code));
        }
        XtManageChild(box);
        dl_attach_top(label, above, 8);
        dl_attach_left(label, left, left ? 12 : 0);
        dl_attach_top(frame, label, 2);
        dl_align_left(frame, label);
        if (!first)
            first = frame;
        left = preferred_width(label) > preferred_width(frame) ? label : frame;
    }
    return first;
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    const bool condition = index_of(rec) == 1;
    const int id = rec->id;
    Editor &ed = s.editors[condition ? 1 : 0];
    rec->widget = make_prompt_dialog(parent, condition ? "condition" : "expression", id, 1, DL_MODELESS);
    Widget form = finish_dialog(rec, 1, condition ? 281 : 279);

    Widget label = dl_label(form, "expTextL", id, 2, dlmain_title_font);
    dl_attach_top(label);
    dl_attach_left(label);
    ed.text = dlmain_create_text_field(form, "exprCondT", 60, TEXT_MAX);
    XtManageChild(ed.text);
    if (dlmain_data_font)
        XtVaSetValues(ed.text, XmNfontList, dlmain_data_font, nullptr);
    dl_attach_top(ed.text, label, 2);
    dl_attach_left(ed.text);
    dl_attach_right(ed.text);

    Widget pads_bottom = make_pads(form, ed.text, condition);

    DlXmString native_label(EXPR_ID, 8);
    ed.native = XtVaCreateManagedWidget("nativeB", xmToggleButtonWidgetClass, form, XmNlabelString,
                                        native_label.arg(), nullptr);
    if (dlmain_label_font)
        XtVaSetValues(ed.native, XmNfontList, dlmain_label_font, nullptr);
    dl_attach_top(ed.native, pads_bottom, 10);
    dl_attach_left(ed.native);

    ed.func_button = push_button(form, "funcB", EXPR_ID, 7);
    XtAddCallback(ed.func_button, XmNactivateCallback, func_cb, rec);
    dl_attach_top(ed.func_button, pads_bottom, 8);
    dl_attach_left(ed.func_button, ed.native, 12);
    Widget last = ed.func_button;
    if (!condition) {
        ed.name_button = push_button(form, "nameBut", EXPR_ID, 9);
        XtAddCallback(ed.name_button, XmNactivateCallback, name_cb, rec);
        dl_attach_top(ed.name_button, pads_bottom, 8);
        dl_attach_left(ed.name_button, ed.func_button, 8);
    }

    ed.delete_button = push_button(form, "delBut", id, 3);
    XtAddCallback(ed.delete_button, XmNactivateCallback, dlmain_std_delete_cb, rec);
    dl_attach_top(ed.delete_button, last, 12);
    dl_attach_left(ed.delete_button);
    dl_attach_bottom(ed.delete_button);
    return 0;
}

// ---- methods ----------------------------------------------------------------------------------------

int setval_dialog(DialogRecord *rec, void *value)
{
    if (!value)
        return 0;
    Editor &ed = editor_of(rec);
    std::string text;
    if (index_of(rec) == 0) {
        auto *d = static_cast<const ObExpressionData *>(value);
        dl_copy(s.nameval, dl_view(d->name));
        text = dl_view(d->text);
    } else {
        text = dl_view(static_cast<const ObConditionData *>(value)->text);
    }
    text.resize(std::min<size_t>(text.size(), TEXT_MAX));
    dlmain_set_text_value(ed.text, text.data(), 1, 4, 0);
    return 0;
}

int getval_dialog(DialogRecord *rec, void *value)
{
    if (!value)
        return 0;
    const std::string text = dl_caps(dl_get_trimmed(editor_of(rec).text));
    if (index_of(rec) == 0) {
        auto *d = static_cast<ObExpressionData *>(value);
        dl_copy(d->name, dl_view(s.nameval));
        dl_copy(d->text, text);
    } else {
        dl_copy(static_cast<ObConditionData *>(value)->text, text);
    }
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    Editor &ed = editor_of(rec);
    if (ed.name_button)
        XtSetSensitive(ed.name_button, title_mode == 1 || title_mode == 2 ? True : False);
    dl_apply_title_mode(rec, title_mode, ed.delete_button);
    const int result = dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
    if (result == 0 && title_mode == 5)
        borrow_functions(rec, 5);
    return result;
}

int popdown_dialog(DialogRecord *rec)
{
    const int e = index_of(rec);
    if (s.funcdialog.record && s.func_owner == e)
        func_dismiss(s.funcdialog.record, nullptr);
    if (e == 0 && s.namedialog.record)
        name_dismiss(s.namedialog.record, nullptr);
    return dlmain_std_popdown_dialog(rec);
}

int reference_dialog(DialogRecord *rec, void *object)
{
    Widget target = s.editors[rec && dlexpr_condition_target(rec->id) ? 1 : 0].text;
    std::string text = dl_reference_text(object);
    if (!target || text.empty())
        return -1;
    dlmain_set_text_value(target, text.data(), 2, 4, 0);
    return 0;
}

void initialise(DialogRecord *rec, int id, int kind)
{
    dlmain_std_record(rec, id, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = kind;
    rec->reference_mask = REFERENCE_MASK;
    rec->popup = popup_dialog;
    rec->popdown = popdown_dialog;
    rec->reference = reference_dialog;
}

}  // namespace

std::string dlexpr_pad_text(int code, bool native)
{
    const char *text = pad_entry(code, native);
    if (!text)
        return "";
    if (isalpha(static_cast<unsigned char>(text[0])))
        return std::string(" ") + text + " ";
    return text;
}

bool dlexpr_condition_target(int id) { return id == COND_ID || id == 16 || id == 20 || id == 22; }

void dlexpr_initialise_expression_dialog(DialogRecord *rec) { initialise(rec, EXPR_ID, OB_EXPRESSION); }
void dlexpr_initialise_condition_dialog(DialogRecord *rec) { initialise(rec, COND_ID, OB_CONDITION); }
