// The sort, group and join editors: one module driven by a table of their
// differences (names, extra widgets, the insert mode of a picked column).

#include "dlsgj.h"

#include "dlkit.h"
#include "wsobj.h"

#include <Xm/Form.h>
#include <Xm/PushB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <cstddef>
#include <cstring>

namespace {

constexpr uint32_t REFERENCE_MASK = 0x20000008;  // columns only; the drop target
constexpr int TEXT_MAX = 255;
constexpr int FIRST_ID = 11;

static_assert(offsetof(ObSortData, text) == 4);
static_assert(offsetof(ObGroupData, text) == 4);
static_assert(offsetof(ObGroupData, sequence) == 260);
static_assert(offsetof(ObJoinData, text) == 4);

// An extra push button: its name and the keyword it shows and inserts.
struct Extra {
    const char *name;
    const char *label;
    const char *inserted;
};

struct Editor {
    int id;
    int kind;
    int help_id;
    const char *dialog, *label, *text;
    Extra extras[3];
    int extra_count;
    bool sequence_toggle;  // the group's "sequenceB", label (id, 3)
    int delete_label;
    int insert_mode;
};

const Editor editors[3] = {
    {11, OB_SORT, 283, "sort", "sortL", "sortT",
     {{"ascBut", "ASC", " ASC"}, {"descBut", "DESC", " DESC"}, {"natBut", "NATIVE", " NATIVE"}}, 3, false, 3, 3},
    {12, OB_GROUP, 284, "group", "groupL", "groupT", {}, 0, true, 4, 1},
    {13, OB_JOIN, 285, "join", "joinL", "joinT", {{"andBut", "AND", " AND "}}, 1, false, 3, 4},
};

struct Widgets {
    Widget text = nullptr, sequence = nullptr, delete_button = nullptr;
};
Widgets widgets[3];

int index_of(const DialogRecord *rec) { return rec ? rec->id - FIRST_ID : -1; }

void extra_cb(Widget, XtPointer client, XtPointer)
{
    const auto *extra = static_cast<const Extra *>(client);
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < editors[i].extra_count; k++)
            if (&editors[i].extras[k] == extra) {
                Widget text = widgets[i].text;
                dlmain_set_text_value(text, extra->inserted, 2, 3, 0);
                if (XtIsRealized(text))
                    XmProcessTraversal(text, XmTRAVERSE_CURRENT);
            }
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    const int i = index_of(rec);
    const Editor &e = editors[i];
    Widgets &w = widgets[i];
    rec->widget = make_prompt_dialog(parent, e.dialog, e.id, 1, DL_MODELESS);
    Widget form = finish_dialog(rec, 1, e.help_id);
    Widget label = dl_label(form, e.label, e.id, 2, dlmain_title_font);
    dl_attach_top(label);
    dl_attach_left(label);
    w.text = dlmain_create_text_field(form, e.text, 50, TEXT_MAX);
    XtManageChild(w.text);
    if (dlmain_data_font)
        XtVaSetValues(w.text, XmNfontList, dlmain_data_font, nullptr);
    dl_attach_top(w.text, label, 2);
    dl_attach_left(w.text);
    dl_attach_right(w.text);

    Widget above = w.text, left = nullptr;
    for (int k = 0; k < e.extra_count; k++) {
        const Extra &x = e.extras[k];
        DlXmString text(x.label);
        Widget b = XtVaCreateManagedWidget(x.name, xmPushButtonWidgetClass, form, XmNlabelString, text.arg(), nullptr);
        if (dlmain_data_font)
            XtVaSetValues(b, XmNfontList, dlmain_data_font, nullptr);
        XtAddCallback(b, XmNactivateCallback, extra_cb, const_cast<Extra *>(&x));
        dl_attach_top(b, w.text, 6);
        dl_attach_left(b, left, left ? 6 : 0);
        left = b;
        above = b;
    }
    if (e.sequence_toggle) {
        w.sequence = dl_toggle(form, "sequenceB", e.id, 3, dlmain_label_font);
        dl_attach_top(w.sequence, w.text, 6);
        dl_attach_left(w.sequence);
        above = w.sequence;
    }
    DlXmString del(e.id, e.delete_label);
    w.delete_button =
        XtVaCreateManagedWidget("delBut", xmPushButtonWidgetClass, form, XmNlabelString, del.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(w.delete_button, XmNfontList, dlmain_button_font, nullptr);
    XtAddCallback(w.delete_button, XmNactivateCallback, dlmain_std_delete_cb, rec);
    dl_attach_top(w.delete_button, above, 12);
    dl_attach_left(w.delete_button);
    dl_attach_bottom(w.delete_button);
    return 0;
}

int setval_dialog(DialogRecord *rec, void *value)
{
    const int i = index_of(rec);
    if (!value || i < 0)
        return 0;
    // Every kind's text follows its kind.
    const auto *text = static_cast<const char *>(value) + sizeof(int32_t);
    const std::string shown(text, strnlen(text, TEXT_MAX));
    dlmain_set_text_value(widgets[i].text, shown.c_str(), 1, 3, 0);
    if (widgets[i].sequence)
        XmToggleButtonGadgetSetState(widgets[i].sequence,
                                     static_cast<const ObGroupData *>(value)->sequence ? True : False, False);
    return 0;
}

int getval_dialog(DialogRecord *rec, void *value)
{
    const int i = index_of(rec);
    if (!value || i < 0)
        return 0;
    const std::string text = dl_caps(dl_get_trimmed(widgets[i].text));
    char *field = static_cast<char *>(value) + sizeof(int32_t);
    dl_copy_bounded(field, TEXT_MAX + 1, text);
    if (widgets[i].sequence)
        static_cast<ObGroupData *>(value)->sequence = XmToggleButtonGadgetGetState(widgets[i].sequence) ? 1 : 0;
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    dl_apply_title_mode(rec, title_mode, widgets[index_of(rec)].delete_button);
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

int reference_dialog(DialogRecord *rec, void *object)
{
    const int i = index_of(rec);
    if (i < 0 || dl_kind_of(object) != DL_KIND_COLUMN)
        return -1;
    const std::string text = dl_reference_text(object);
    if (text.empty())
        return -1;
    dlmain_set_text_value(widgets[i].text, text.c_str(), editors[i].insert_mode, 3, 0);
    return 0;
}

void initialise(DialogRecord *rec, int id)
{
    const Editor &e = editors[id - FIRST_ID];
    dlmain_std_record(rec, id, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = e.kind;
    rec->reference_mask = REFERENCE_MASK;
    rec->popup = popup_dialog;
    rec->popdown = dlmain_std_popdown_dialog;
    rec->reference = reference_dialog;
}

}  // namespace

int dlsgj_pick_insert_mode(int id)
{
    return id >= FIRST_ID && id < FIRST_ID + 3 ? editors[id - FIRST_ID].insert_mode : 0;
}

void dlsort_initialise_sort_dialog(DialogRecord *rec) { initialise(rec, 11); }
void dlgrp_initialise_group_dialog(DialogRecord *rec) { initialise(rec, 12); }
void dljoin_initialise_join_dialog(DialogRecord *rec) { initialise(rec, 13); }
