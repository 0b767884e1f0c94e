// The column editor (15): the widgets, the checks wired to them, the list
// of new columns, setval, getval, canvas picks and the popup rules.

#include "dlcol.h"

#include "dlcolchk.h"
#include "dlcoltabmsgs.h"
#include "dlkit.h"
#include "wsdict.h"
#include "wsobj.h"

#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/List.h>
#include <Xm/PushB.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int COL_ID = 15;
constexpr uint32_t REFERENCE_MASK = 0x10000008;  // columns, picks not recorded
constexpr int HELP_ID = 301;

constexpr const char *type_labels[DLCOL_TYPES] = {"String",  "Long", "Short", "Real",      "Date", "Time",
                                                  "Complex", "Bool", "Char",  "ShortReal", "Byte", "Blob"};

struct {
    Widget dialog = nullptr;
    Widget name = nullptr, alias = nullptr, alias_label = nullptr, type_menu = nullptr;
    Widget length = nullptr, fraction = nullptr, dims = nullptr;
    Widget length_label = nullptr, fraction_label = nullptr, dims_label = nullptr;
    Widget var = nullptr, primary = nullptr, nulls = nullptr, delete_button = nullptr;
    Widget list = nullptr, list_label = nullptr;
    // Taken at setval.
    DictColumn *columns = nullptr;
    DictItem *items = nullptr;
    DictColumn *pending = nullptr;
    DlItemList lines;
    std::string default_name;
} s;

DlColView view()
{
    DlColView v;
    v.items = s.items;
    v.columns = s.columns;
    v.default_name = s.default_name;
    v.qualify = dl_qualify_column_names != 0;
    return v;
}

int current_type() { return std::clamp(dlmain_get_option(s.type_menu), 0, DLCOL_TYPES - 1); }

void sensitive(Widget w, bool on)
{
    if (w)
        XtSetSensitive(w, on ? True : False);
}

// The details for a type, sensitive with `on`.
void detail_sensitivity(int type, bool on)
{
    for (Widget w : {s.alias, s.alias_label, s.type_menu, s.length, s.length_label})
        sensitive(w, on);
    const bool fraction = on && dlcol_has_fraction(type);
    sensitive(s.fraction, fraction);
    sensitive(s.fraction_label, fraction);
    const bool array = on && dlcol_has_array(type);
    for (Widget w : {s.dims, s.dims_label, s.var})
        sensitive(w, array);
}

void set_number(Widget w, int value)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    dl_set_text(w, text);
}

// The definition of an item (or a new column's item) into the details.
void show_definition(const DictItem &it)
{
    dl_set_text(s.alias, dl_view(it.alias));
    dlmain_set_option(s.type_menu, std::clamp(it.type, 0, DLCOL_TYPES - 1));
    set_number(s.length, it.length);
    if (it.fraction == -1)
        dl_set_text(s.fraction, "");
    else
        set_number(s.fraction, it.fraction);
    dl_set_text(s.dims, it.array_size ? dlcol_dims_text(std::clamp(it.ndims, 0, 8), it.dims) : "");
    dlmain_set_toggle(s.var, it.array_size ? it.var : 0);
}

// ---- checks ---------------------------------------------------------------------------

int cname_vb(const char *text)
{
    const DlColNameCheck r = dlcol_check_name(view(), text);
    if (!r.valid)
        return 0;
    if (dl_get_text(s.name) != r.name)
        dl_set_text(s.name, r.name);
    if (r.item && !r.is_default) {
        show_definition(*r.item);
        detail_sensitivity(r.item->type, false);
    } else {
        detail_sensitivity(current_type(), true);
    }
    return 1;
}

int calias_vb(const char *text) { return dlcol_check_alias(view(), text, dl_get_text(s.name).c_str()) ? 1 : 0; }

int flen_vb(const char *text) { return dlcol_length_ok(current_type(), text) ? 1 : 0; }

int frac_vb(const char *text)
{
    const std::string length = dl_get_trimmed(s.length);
    return dlcol_fraction_ok(length.empty() ? 9 : atoi(length.c_str()), text) ? 1 : 0;
}

int farr_vb(const char *text)
{
    DlColDims d;
    return dlcol_parse_dims(text, d) ? 1 : 0;
}

// ---- callbacks ------------------------------------------------------------------------

void type_cb(Widget, XtPointer client, XtPointer) { detail_sensitivity(static_cast<int>(reinterpret_cast<long>(client)), true); }

// Primary and null exclude each other; the other is cleared quietly.
void primary_cb(Widget, XtPointer, XtPointer)
{
    if (dlmain_get_toggle(s.primary))
        dlmain_set_toggle(s.nulls, 0);
}
void null_cb(Widget, XtPointer, XtPointer)
{
    if (dlmain_get_toggle(s.nulls))
        dlmain_set_toggle(s.primary, 0);
}

void list_cb(Widget, XtPointer, XtPointer call)
{
    const int position = static_cast<XmListCallbackStruct *>(call)->item_position;
    DictColumn *c = s.pending;
    for (int i = 1; c && i < position; i++)
        c = c->next;
    if (!c || !c->item)
        return;
    dl_set_text(s.name, dl_view(c->name));
    show_definition(*c->item);
    dlmain_set_toggle(s.primary, c->key);
    dlmain_set_toggle(s.nulls, c->null);
    const bool existing = dlcol_find_item(s.items, std::string(dl_view(c->name))) != nullptr;
    detail_sensitivity(c->item->type, !existing);
}

// ---- construction --------------------------------------------------------------------

Widget text_field(Widget parent, const char *name, int columns, int max_length, Widget label)
{
    Widget t = dlmain_create_text_field(parent, name, columns, max_length);
    XtManageChild(t);
    if (dlmain_data_font)
        XtVaSetValues(t, XmNfontList, dlmain_data_font, nullptr);
    dl_attach_left(t, label, 5);
    dl_align_top(t, label);
    return t;
}

void make_details(Widget form2)
{
    s.alias_label = dl_label(form2, "colAliasL", COL_ID, 5, dlmain_label_font);
    dl_attach_top(s.alias_label, nullptr, 8);
    dl_attach_left(s.alias_label, nullptr, 6);
    s.alias = text_field(form2, "colAliasT", 12, 12, s.alias_label);

    s.type_menu = dlcol_literal_option_menu(form2, "optionM", COL_ID, 6, type_labels, "type%dB", type_cb);
    XtManageChild(s.type_menu);
    dl_attach_top(s.type_menu, s.alias, 6);
    dl_attach_left(s.type_menu);

    Widget *labels[] = {&s.length_label, &s.fraction_label, &s.dims_label};
    Widget *fields[] = {&s.length, &s.fraction, &s.dims};
    const int columns[] = {4, 2, 10}, lengths[] = {4, 2, 64};
    Widget above = s.type_menu;
    for (int i = 0; i < 3; i++) {
        *labels[i] = dl_label(form2, dlmain_widget_name("col%dL", i + 1), COL_ID, 7 + i, dlmain_label_font);
        dl_attach_top(*labels[i], above, 10);
        dl_attach_left(*labels[i], nullptr, 6);
        *fields[i] = text_field(form2, "colT", columns[i], lengths[i], *labels[i]);
        dl_attach_left(*fields[i], nullptr, 110);
        above = *fields[i];
    }
    s.var = dl_toggle(form2, "colVarT", COL_ID, 10, dlmain_label_font);
    dl_attach_top(s.var, s.length, 0);
    dl_attach_left(s.var, s.dims, 12);
    s.primary = dl_toggle(form2, "colPrimT", COL_ID, 11, dlmain_label_font);
    dl_attach_top(s.primary, s.dims, 8);
    dl_attach_left(s.primary, nullptr, 6);
    s.nulls = dl_toggle(form2, "colNullT", COL_ID, 12, dlmain_label_font);
    dl_align_top(s.nulls, s.primary);
    dl_attach_left(s.nulls, s.primary, 12);
    dl_attach_bottom(s.primary, nullptr, 6);
    XtAddCallback(s.primary, XmNvalueChangedCallback, primary_cb, nullptr);
    XtAddCallback(s.nulls, XmNvalueChangedCallback, null_cb, nullptr);
}

void setup_checks(DialogRecord *rec)
{
    struct Row {
        Widget text;
        unsigned flags;
        const char *default_text, *minimum, *maximum;
        DlCheckProc check;
        const VxMsg<const char *> &message;
    };
    const Row rows[] = {
        {s.name, DL_VAL_DBNAME, nullptr, nullptr, nullptr, cname_vb, DLCOL_NAME_TAKEN},
        {s.alias, DL_VAL_DBNAME, nullptr, nullptr, nullptr, calias_vb, DLCOL_NAME_TAKEN},
        {s.length, DL_VAL_NUMERIC | DL_VAL_RANGE | DL_VAL_DEFAULT | DL_VAL_INTEGER, "9", "1", "99999", flen_vb,
         DLCOL_BAD_LENGTH},
        {s.fraction, DL_VAL_NUMERIC | DL_VAL_RANGE | DL_VAL_INTEGER, nullptr, "0", "99999", frac_vb, DLCOL_BAD_FRACTION},
        {s.dims, 0, nullptr, nullptr, nullptr, farr_vb, DLCOL_BAD_DIMENSIONS},
    };
    for (const Row &r : rows)
        dlmain_setup_text_validation(rec->widget, r.text, r.flags, r.default_text, r.minimum, r.maximum, r.check,
                                     dlcoltab_format(dlmain_catd, r.message));
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    rec->widget = make_selection_dialog(parent, "column", COL_ID, 2, 2, DL_MODELESS, list_cb, rec);
    s.dialog = rec->widget;
    Widget form = finish_dialog(rec, 2, HELP_ID);
    s.list = XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST);
    s.list_label = XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST_LABEL);

    Widget name_label = dl_label(form, "colNameL", COL_ID, 4, dlmain_title_font);
    dl_attach_top(name_label, nullptr, 4);
    dl_attach_left(name_label);
    s.name = text_field(form, "colNameT", 21, 21, name_label);

    DlSection details = dl_section(form, "detailL", COL_ID, 3, "frame", "form2", s.name);
    make_details(details.form);

    DlXmString del(COL_ID, 13);
    s.delete_button = XtVaCreateManagedWidget("delBut", xmPushButtonWidgetClass, form, XmNlabelString, del.arg(),
                                              nullptr);
    if (dlmain_button_font)
        XtVaSetValues(s.delete_button, XmNfontList, dlmain_button_font, nullptr);
    XtAddCallback(s.delete_button, XmNactivateCallback, dlmain_std_delete_cb, rec);
    dl_attach_top(s.delete_button, details.frame, 10);
    dl_attach_left(s.delete_button);
    dl_attach_bottom(s.delete_button);
    setup_checks(rec);
    return 0;
}

// ---- methods ---------------------------------------------------------------------------

void show_list()
{
    s.lines.clear();
    for (const DictColumn *c = s.pending; c; c = c->next)
        s.lines.add(dlcol_list_line(*c));
    s.lines.show(s.list);
}

int setval_dialog(DialogRecord *, void *value)
{
    if (!value || !s.dialog)
        return 0;
    const auto *d = static_cast<const ObColumnData *>(value);
    s.columns = d->columns;
    s.items = d->items;
    s.pending = d->pending;
    show_list();
    const std::string name(dl_view(d->name));
    dl_set_text(s.name, dl_qualify_column_names && !name.empty()
                            ? qualify_column_name(std::string(dl_view(d->table)).c_str(), name.c_str())
                            : name.c_str());
    DictItem it{};
    dl_copy(it.alias, dl_view(d->alias));
    it.type = d->type;
    it.length = d->length;
    it.fraction = d->fraction;
    it.array_size = d->array_size;
    it.var = d->var;
    it.ndims = std::clamp(d->ndims, 0, 8);
    std::copy(d->dims, d->dims + 8, it.dims);
    show_definition(it);
    dlmain_set_toggle(s.primary, d->key);
    dlmain_set_toggle(s.nulls, d->null);
    detail_sensitivity(current_type(), true);
    s.default_name = dl_get_text(s.name);
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    if (!value || !s.dialog)
        return 0;
    auto *d = static_cast<ObColumnData *>(value);
    const DlColView v = view();
    dl_copy(d->name, dlcol_unqualified(v, dl_upper(dl_get_trimmed(s.name))));
    dl_copy(d->alias, dl_upper(dl_get_trimmed(s.alias)));
    d->type = current_type();
    const std::string length = dl_get_trimmed(s.length);
    d->length = length.empty() ? 9 : atoi(length.c_str());
    d->fraction = -1;
    d->array_size = 0;
    d->var = 0;
    d->ndims = 0;
    std::fill(d->dims, d->dims + 8, 0);
    if (dlcol_has_fraction(d->type)) {
        const std::string fraction = dl_get_trimmed(s.fraction);
        d->fraction = fraction.empty() ? -1 : atoi(fraction.c_str());
    }
    DlColDims dims;
    if (dlcol_has_array(d->type) && dlcol_parse_dims(dl_get_text(s.dims).c_str(), dims)) {
        d->ndims = dims.ndims;
        std::copy(dims.dims, dims.dims + 8, d->dims);
        d->array_size = dims.count;
        if (dims.count)
            d->var = dlmain_get_toggle(s.var);
    }
    d->key = dlmain_get_toggle(s.primary);
    d->null = dlmain_get_toggle(s.nulls);
    return 0;
}

int reference_dialog(DialogRecord *, void *object)
{
    const DictItem *it = nullptr;
    if (s.alias && XtIsSensitive(s.alias) && dl_kind_of(object) == DL_KIND_COLUMN) {
        const auto *head = static_cast<const DlColumnHead *>(object);
        it = dlcol_find_item(s.items, std::string(dl_view(head->column_name)));
    }
    if (!it) {
        if (s.dialog && XtIsRealized(s.dialog))
            XBell(XtDisplay(s.dialog), 0);
        return -1;
    }
    const std::string alias = dl_get_text(s.alias);
    show_definition(*it);
    // The alias is the column's own, not the item's.
    dl_set_text(s.alias, alias);
    detail_sensitivity(it->type, true);
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    if (!rec->widget)
        return -1;
    Widget list_window = s.list ? XtParent(s.list) : nullptr;
    if (title_mode == 2) {
        XtManageChild(list_window);
        XtManageChild(s.list_label);
        if (dl_qualify_column_names)
            dl_set_text(s.name, dlcol_unqualified(view(), dl_get_text(s.name)));
    } else {
        XtUnmanageChild(list_window);
        XtUnmanageChild(s.list_label);
    }
    dl_apply_title_mode(rec, title_mode, s.delete_button);
    s.default_name = dl_get_text(s.name);
    dlmaim_setup_title_suffix(s.default_name.c_str());
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

}  // namespace

Widget dlcol_literal_option_menu(Widget parent, const char *name, int id, int label_number,
                                 std::span<const char *const> labels, const char *button_format, XtCallbackProc cb)
{
    Widget pulldown = XmCreatePulldownMenu(parent, const_cast<char *>("pulldown"), nullptr, 0);
    for (size_t i = 0; i < labels.size(); i++) {
        DlXmString text{std::string(labels[i])};
        Widget b = XtVaCreateManagedWidget(dlmain_widget_name(button_format, static_cast<int>(i) + 1),
                                           xmPushButtonGadgetClass, pulldown, XmNlabelString, text.arg(), XmNuserData,
                                           reinterpret_cast<XtPointer>(static_cast<long>(i)), nullptr);
        if (dlmain_label_font)
            XtVaSetValues(b, XmNfontList, dlmain_label_font, nullptr);
        if (cb)
            XtAddCallback(b, XmNactivateCallback, cb, reinterpret_cast<XtPointer>(static_cast<long>(i)));
    }
    DlXmString label(id, label_number);
    Arg args[2];
    XtSetArg(args[0], XmNsubMenuId, pulldown);
    XtSetArg(args[1], XmNlabelString, label.arg());
    Widget om = XmCreateOptionMenu(parent, const_cast<char *>(name), args, 2);
    if (dlmain_label_font)
        XtVaSetValues(XmOptionLabelGadget(om), XmNfontList, dlmain_label_font, nullptr);
    return om;
}

void dlcol_initialise_column_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, COL_ID, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = OB_COLUMN;
    rec->reference_mask = REFERENCE_MASK;
    rec->popup = popup_dialog;
    rec->reference = reference_dialog;
}
