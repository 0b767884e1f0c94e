// The table editor (16): a new table's name, location, size and storage,
// its columns defined in the column editor (borrowed), and for an existing
// table the commands drop, clear and delete rows (the condition written in
// the condition editor, borrowed too).  The dialog fills the table's kind
// data; the workspace's table object runs the commands.

#include "dltab.h"

#include "dlcol.h"
#include "dlcoltabmsgs.h"
#include "dlkit.h"
#include "dlnewcols.h"
#include "obmain.h"
#include "wsdict.h"
#include "wsmgr.h"
#include "wsobj.h"

#include <Xm/Form.h>
#include <Xm/PushB.h>
#include <Xm/Separator.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int TAB_ID = 16;
constexpr int COL_ID = 15;
constexpr int COND_ID = 9;
constexpr int HELP_ID = 296;

constexpr const char *structures[] = {"Slotted", "Chained", "Simple", "VarChained"};
constexpr const char *memories[] = {"Disc", "Cached", "Memory"};

struct {
    DialogRecord *record = nullptr;
    Widget name = nullptr, location = nullptr, size = nullptr, extendable = nullptr;
    Widget structure = nullptr, memory = nullptr;
    Widget columns_button = nullptr, rows_button = nullptr, clear_button = nullptr, drop_button = nullptr;
    int title_mode = 0;
    std::string default_name;
    DictRelation *relations = nullptr;
    DlNewColumns new_columns;
    ObColumnData colval{}, column_template{};
    ObConditionData condval{};
    DlSubDialog column_editor, condition_editor;
    bool mask_saved = false;
    uint32_t saved_mask = 0;
    DlReferenceProc saved_reference = nullptr;
    bool condition_applied = false;
    int delete_mode = 0;
} s;

// ---- the name check -------------------------------------------------------------------------

int table_vb(const char *text)
{
    const std::string name = dl_upper(dl_trim(text ? text : ""));
    if (s.title_mode != 2 && name == s.default_name)
        return 1;
    if (dl_get_text(s.name) != name)
        dl_set_text(s.name, name);
    for (const DictRelation *r = s.relations; r; r = r->next)
        if (name == dl_view(r->name))
            return 0;
    return 1;
}

// ---- borrowing ----------------------------------------------------------------------------------

// The table dialog's picks go to a borrowed editor while it is open.
void take_picks(DialogRecord *editor)
{
    DialogRecord *rec = s.record;
    if (!s.mask_saved) {
        s.saved_mask = rec->reference_mask | DL_REF_NO_PENDING;
        s.saved_reference = rec->reference;
        s.mask_saved = true;
    }
    rec->reference_mask = editor->reference_mask;
    rec->reference = editor->reference;
}

void give_back_picks()
{
    if (!s.mask_saved)
        return;
    s.record->reference_mask = s.saved_mask;
    s.record->reference = s.saved_reference;
    s.mask_saved = false;
}

void reset_colval()
{
    s.colval = s.column_template;
    s.colval.pending = s.new_columns.columns();
}

// -- the column editor

void column_apply(DialogRecord *editor, int *done)
{
    editor->getval(editor, &s.colval);
    *done = 1;
    if (!s.colval.name[0])
        return;
    // A name the database would cut short, or a reserved word, is refused
    // here rather than when the table is made.
    int ok = 1;
    if (ObValidateProc validate = obmain_object_class[OB_COLUMN].validate)
        validate(&s.colval, wsmgr_ws_validation(), &ok);
    if (!ok) {
        *done = 0;
        return;
    }
    s.new_columns.merge(s.colval);
    reset_colval();
    editor->setval(editor, &s.colval);
}

void column_reset(DialogRecord *editor, int *done)
{
    editor->setval(editor, &s.colval);
    *done = 1;
}

void column_dismiss(DialogRecord *editor, int *done)
{
    if (editor)
        editor->popdown(editor);
    give_back_picks();
    dlmain_return_dialog(s.column_editor);
    if (done)
        *done = 1;
}

void columns_cb(Widget, XtPointer, XtPointer)
{
    DlSubNotify procs;
    procs.apply = column_apply;
    procs.reset = column_reset;
    procs.dismiss = column_dismiss;
    DialogRecord *editor =
        dlmain_borrow_dialog(s.column_editor, s.record, COL_ID, procs, &s.colval, s.columns_button, 2);
    if (editor)
        take_picks(editor);
}

// -- the condition editor

void condition_apply(DialogRecord *editor, int *done)
{
    editor->getval(editor, &s.condval);
    s.condition_applied = true;
    *done = 1;
}

void condition_reset(DialogRecord *editor, int *done)
{
    editor->setval(editor, &s.condval);
    s.condition_applied = false;
    *done = 1;
}

void condition_dismiss(DialogRecord *editor, int *done)
{
    if (editor)
        editor->popdown(editor);
    give_back_picks();
    dlmain_return_dialog(s.condition_editor);
    if (done)
        *done = 1;
    if (!s.condition_applied)
        return;
    s.condition_applied = false;
    s.delete_mode = 3;
    dlmain_std_delete_cb(nullptr, s.record, nullptr);
}

void rows_cb(Widget, XtPointer, XtPointer)
{
    DlSubNotify procs;
    procs.apply = condition_apply;
    procs.reset = condition_reset;
    procs.dismiss = condition_dismiss;
    s.condition_applied = false;
    DialogRecord *editor =
        dlmain_borrow_dialog(s.condition_editor, s.record, COND_ID, procs, &s.condval, s.rows_button, 2);
    if (editor)
        take_picks(editor);
}

// -- the table commands

void clear_cb(Widget w, XtPointer, XtPointer call)
{
    s.delete_mode = 2;
    dlmain_std_delete_cb(w, s.record, call);
}

void drop_cb(Widget w, XtPointer, XtPointer call)
{
    s.delete_mode = 1;
    dlmain_std_delete_cb(w, s.record, call);
}

// ---- construction ----------------------------------------------------------------------------

Widget labelled(Widget parent, const char *label_name, int n, const char *text_name, int columns, int max_length,
                Widget above, int offset)
{
    DlLabelledText lt = dl_labelled_text(parent, label_name, TAB_ID, n, text_name, columns, max_length,
                                         dlmain_label_font);
    if (dlmain_data_font)
        XtVaSetValues(lt.text, XmNfontList, dlmain_data_font, nullptr);
    dl_attach_top(lt.label, above, offset);
    dl_attach_left(lt.label, nullptr, 6);
    dl_attach_left(lt.text, nullptr, 120);
    return lt.text;
}

Widget button(Widget form, const char *name, int n, XtCallbackProc cb, Widget above)
{
    DlXmString label(TAB_ID, n);
    Widget b = XtVaCreateManagedWidget(name, xmPushButtonWidgetClass, form, XmNlabelString, label.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(b, XmNfontList, dlmain_button_font, nullptr);
    XtAddCallback(b, XmNactivateCallback, cb, nullptr);
    dl_attach_top(b, above, 8);
    return b;
}

void make_details(Widget form2)
{
    s.location = labelled(form2, "tabLocL", 4, "tabLocT", 16, 16, nullptr, 8);
    s.size = labelled(form2, "tabSizeL", 5, "tabSizeT", 10, 10, s.location, 6);
    s.extendable = dl_toggle(form2, "tabExtT", TAB_ID, 6, dlmain_label_font);
    dl_align_top(s.extendable, s.size);
    dl_attach_left(s.extendable, s.size, 12);
    s.structure = dlcol_literal_option_menu(form2, "structO", TAB_ID, 7, structures, "struct%dB");
    XtManageChild(s.structure);
    dl_attach_top(s.structure, s.size, 6);
    dl_attach_left(s.structure);
    s.memory = dlcol_literal_option_menu(form2, "memO", TAB_ID, 8, memories, "mem%dB");
    XtManageChild(s.memory);
    dl_align_top(s.memory, s.structure);
    dl_attach_left(s.memory, s.structure, 12);
    dl_attach_bottom(s.structure, nullptr, 6);
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    rec->widget = make_prompt_dialog(parent, "table", TAB_ID, 1, DL_MODELESS);
    Widget form = finish_dialog(rec, 1, HELP_ID);
    s.name = labelled(form, "tabNameL", 2, "tabNameT", 8, 8, nullptr, 4);
    DlSection details = dl_section(form, "tabDetailL", TAB_ID, 3, "frame", "form2", s.name);
    make_details(details.form);

    s.columns_button = button(form, "colBut", 9, columns_cb, details.frame);
    dl_attach_left(s.columns_button);
    Widget sep = XtVaCreateManagedWidget("sepBut", xmSeparatorWidgetClass, form, nullptr);
    dl_attach_top(sep, s.columns_button, 8);
    dl_attach_left(sep);
    dl_attach_right(sep);
    s.rows_button = button(form, "drowBut", 13, rows_cb, sep);
    dl_attach_left(s.rows_button);
    s.clear_button = button(form, "clrBut", 12, clear_cb, sep);
    dl_attach_left(s.clear_button, s.rows_button, 8);
    s.drop_button = button(form, "delBut", 10, drop_cb, sep);
    dl_attach_left(s.drop_button, s.clear_button, 8);
    dl_attach_bottom(s.rows_button);

    dlmain_setup_text_validation(rec->widget, s.name, DL_VAL_DBNAME | DL_VAL_MANDATORY, nullptr, nullptr, nullptr,
                                 table_vb, dlcoltab_format(dlmain_catd, DLTAB_NAME_TAKEN));
    dlmain_setup_text_validation(rec->widget, s.size, DL_VAL_NUMERIC | DL_VAL_RANGE | DL_VAL_DEFAULT | DL_VAL_INTEGER,
                                 "100", "1", nullptr, nullptr, nullptr);
    return 0;
}

// ---- methods -------------------------------------------------------------------------------------

int setval_dialog(DialogRecord *, void *value)
{
    if (!value || !s.name)
        return 0;
    const auto *d = static_cast<const ObTableData *>(value);
    s.relations = d->relations;
    s.column_template = ObColumnData{};
    s.column_template.kind = OB_COLUMN;
    s.column_template.length = 9;
    s.column_template.fraction = -1;
    dl_copy(s.column_template.table, dl_view(d->name));
    s.column_template.items = d->items;
    if (!d->new_columns)
        s.new_columns.clear();
    reset_colval();
    dl_set_text(s.name, dl_view(d->name));
    dl_set_text(s.location, dl_view(d->location));
    char size[16];
    snprintf(size, sizeof size, "%d", d->size);
    dl_set_text(s.size, size);
    dlmain_set_toggle(s.extendable, d->extendable);
    dlmain_set_option(s.structure, d->structure);
    dlmain_set_option(s.memory, d->memory);
    s.default_name = dl_get_text(s.name);
    s.delete_mode = 0;
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    if (!value || !s.name)
        return 0;
    auto *d = static_cast<ObTableData *>(value);
    dl_copy(d->name, dl_upper(dl_get_trimmed(s.name)));
    dl_copy(d->location, dl_get_trimmed(s.location));
    int size = 0;
    d->size = sscanf(dl_get_text(s.size).c_str(), "%d", &size) == 1 ? size : 0;
    d->extendable = dlmain_get_toggle(s.extendable);
    d->structure = std::max(0, dlmain_get_option(s.structure));
    d->memory = std::max(0, dlmain_get_option(s.memory));
    d->new_columns = s.new_columns.values();
    d->delete_op = s.delete_mode;
    if (s.delete_mode == 3)
        dl_copy(d->condition, dl_view(s.condval.text));
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    if (!rec->widget)
        return -1;
    s.title_mode = title_mode;
    for (Widget w : {s.rows_button, s.clear_button})
        XtSetSensitive(w, title_mode == 1 ? True : False);
    XtSetSensitive(s.columns_button, title_mode == 2 ? True : False);
    dl_apply_title_mode(rec, title_mode, s.drop_button);
    s.default_name = dl_get_text(s.name);
    dlmaim_setup_title_suffix(s.default_name.c_str());
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

int popdown_dialog(DialogRecord *rec)
{
    if (DialogRecord *editor = s.column_editor.record)
        column_dismiss(editor, nullptr);
    if (DialogRecord *editor = s.condition_editor.record) {
        s.condition_applied = false;
        condition_dismiss(editor, nullptr);
    }
    return dlmain_std_popdown_dialog(rec);
}

}  // namespace

void dltab_initialise_table_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, TAB_ID, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = OB_TABLE;
    rec->reference_mask = DL_REF_NO_PENDING;
    rec->popup = popup_dialog;
    rec->popdown = popdown_dialog;
    s.record = rec;
    s.condval = ObConditionData{};
    s.condval.kind = OB_CONDITION;
}
