// The index editor (17): a selection dialog listing the table's indexes,
// the key phrase with its ASC, DESC and NATIVE buttons, the unique and
// updateable toggles, the location, and a Delete that keeps the dialog
// open.  Columns of the edited table picked on the canvas join the key.

#include "dlidx.h"

#include "dlkit.h"
#include "vxmsg.h"
#include "wsdict.h"
#include "wsobj.h"

#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/List.h>
#include <Xm/PushBG.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <cstdlib>
#include <cstring>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "dlidx_msgs.def"
#undef VXMSG

namespace {

constexpr int ID = 17;
constexpr int HELP_ID = 300;
// Columns (kind 3), only those inside the edited table's box, taken
// without the table-nomination check.
constexpr uint32_t REFERENCE_MASK = 0x50000008;
constexpr int KEY_MAX = 512;
constexpr int LOCATION_MAX = 16;

static_assert(offsetof(ObIndexData, keys) == 8);
static_assert(offsetof(ObIndexData, table) == 16);
static_assert(offsetof(ObIndexData, number) == 36);
static_assert(offsetof(ObIndexData, location) == 40);

struct {
    char table[9] = {};
    int number = 0;
    int title_mode = 0;
    const DictIndex *indexes = nullptr;
    DlItemList items;
    // The key text this editor last handed to a kind data: the workspace
    // keeps one scratch kind data and drops the text when it settles a
    // change, so the next getval frees it.
    char *given = nullptr;
    Widget list = nullptr, key = nullptr, unique = nullptr, update = nullptr, location = nullptr,
           del = nullptr;
} s;

// ---- the delete button ----------------------------------------------------------------------

void set_delete(int number)
{
    s.number = number;
    DlXmString label(vx_msgf(dlmain_catd, IDX_DELETE_LABEL, number ? number : 1));
    XtVaSetValues(s.del, XmNlabelString, label.arg(), nullptr);
    XtSetSensitive(s.del, number != 0 && s.title_mode != 3 ? True : False);
}

// ---- the list --------------------------------------------------------------------------------

void pick_cb(Widget, XtPointer, XtPointer call)
{
    auto *cbs = static_cast<XmListCallbackStruct *>(call);
    const DictIndex *index = s.indexes;
    for (int i = 1; index && i < cbs->item_position; i++)
        index = index->next;
    if (!index)
        return;
    std::string keys, location;
    if (!dlidx_parse_line(dl_list_item_text(call), keys, location))
        return;
    dlmain_set_toggle(s.unique, index->unique);
    dlmain_set_toggle(s.update, !index->noupdate);
    dl_set_text(s.key, keys);
    dl_set_text(s.location, location);
    set_delete(index->number);
}

void show_list()
{
    s.items.clear();
    for (const DictIndex *x = s.indexes; x; x = x->next)
        s.items.add(dlidx_index_line(*x));
    s.items.show(s.list);
}

// ---- construction ------------------------------------------------------------------------------

void word_cb(Widget, XtPointer client, XtPointer)
{
    const std::string text = std::string(" ") + static_cast<const char *>(client);
    dlmain_set_text_value(s.key, text.c_str(), 2, 4, 0);
}

Widget text_field(Widget parent, const char *name, int columns, int max_length)
{
    Widget t = dlmain_create_text_field(parent, name, columns, max_length);
    if (dlmain_data_font)
        XtVaSetValues(t, XmNfontList, dlmain_data_font, nullptr);
    XtManageChild(t);
    return t;
}

Widget gadget_button(Widget parent, const char *name, const char *label)
{
    DlXmString text(label);
    Widget b = XtVaCreateManagedWidget(name, xmPushButtonGadgetClass, parent, XmNlabelString, text.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(b, XmNfontList, dlmain_button_font, nullptr);
    return b;
}

Widget framed_form(Widget parent, const char *frame_name, const char *form_name, Widget above)
{
    Widget frame = XtVaCreateManagedWidget(frame_name, xmFrameWidgetClass, parent, nullptr);
    dl_attach_top(frame, above, 2);
    dl_attach_left(frame);
    dl_attach_right(frame);
    Widget form = XtVaCreateWidget(form_name, xmFormWidgetClass, frame, nullptr);
    XtManageChild(form);
    return form;
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    rec->widget = make_selection_dialog(parent, "index", ID, 2, 2, DL_MODELESS, pick_cb, nullptr);
    Widget form1 = finish_dialog(rec, 2, HELP_ID);
    s.list = XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST);

    Widget key_label = dl_label(form1, "keyL", ID, 3, dlmain_title_font);
    dl_attach_top(key_label);
    dl_attach_left(key_label);
    Widget form2 = framed_form(form1, "frame1", "form2", key_label);
    s.key = text_field(form2, "keyT", 40, KEY_MAX);
    dl_attach_top(s.key, nullptr, 4);
    dl_attach_left(s.key, nullptr, 4);
    dl_attach_right(s.key, nullptr, 4);
    Widget left = nullptr;
    static const char *const words[][2] = {{"ascBut", "ASC"}, {"descBut", "DESC"}, {"natBut", "NATIVE"}};
    for (const auto &w : words) {
        Widget b = gadget_button(form2, w[0], w[1]);
        XtAddCallback(b, XmNactivateCallback, word_cb, const_cast<char *>(w[1]));
        dl_attach_top(b, s.key, 4);
        dl_attach_left(b, left, 4);
        dl_attach_bottom(b, nullptr, 4);
        left = b;
    }

    Widget detail = dl_label(form1, "detailL", ID, 4, dlmain_title_font);
    dl_attach_top(detail, XtParent(form2), 8);
    dl_attach_left(detail);
    Widget form3 = framed_form(form1, "frame2", "form3", detail);
    s.unique = dl_toggle(form3, "uniqueT", ID, 5, dlmain_label_font);
    s.update = dl_toggle(form3, "updateT", ID, 6, dlmain_label_font);
    dl_attach_top(s.unique, nullptr, 4);
    dl_attach_left(s.unique, nullptr, 4);
    dl_attach_bottom(s.unique, nullptr, 4);
    dl_attach_top(s.update, nullptr, 4);
    dl_attach_left(s.update, s.unique, 16);

    Widget loc_label = dl_label(form1, "locL", ID, 8, dlmain_title_font);
    dl_attach_top(loc_label, XtParent(form3), 8);
    dl_attach_left(loc_label);
    Widget frame3 = XtVaCreateManagedWidget("frame3", xmFrameWidgetClass, form1, XmNwidth, 200, XmNheight, 60,
                                            nullptr);
    dl_attach_top(frame3, loc_label, 2);
    dl_attach_left(frame3);
    Widget form4 = XtVaCreateWidget("form4", xmFormWidgetClass, frame3, nullptr);
    XtManageChild(form4);
    s.location = text_field(form4, "locT", LOCATION_MAX, LOCATION_MAX);
    dl_attach_top(s.location, nullptr, 10);
    dl_attach_left(s.location, nullptr, 10);

    s.del = gadget_button(form1, "delBut", "");
    XtAddCallback(s.del, XmNactivateCallback, dlmain_std_delete_noclose_cb, rec);
    dl_attach_top(s.del, frame3, 10);
    dl_attach_left(s.del);
    dl_attach_bottom(s.del);
    set_delete(0);

    // A key is mandatory: OK and Apply with none show the framework's
    // message and the editor stays.
    static const DlValidationSpec checks[] = {
        {"form1/frame1/form2/keyT", DL_VAL_MANDATORY, nullptr, nullptr, nullptr, nullptr, 0},
    };
    dl_setup_validations(rec, checks);
    return 0;
}

int destroy_dialog(DialogRecord *rec)
{
    s.items.clear();
    return dlmain_std_destroy_dialog(rec);
}

// ---- methods -----------------------------------------------------------------------------------

int setval_dialog(DialogRecord *, void *value)
{
    if (!value)
        return 0;
    auto *d = static_cast<const ObIndexData *>(value);
    s.indexes = d->indexes;
    dl_copy(s.table, dl_view(d->table));
    show_list();
    dl_set_text(s.key, d->keys ? d->keys : "");
    dl_set_text(s.location, dl_view(d->location));
    dlmain_set_toggle(s.unique, d->unique);
    dlmain_set_toggle(s.update, !d->noupdate);
    set_delete(0);
    XmListDeselectAllItems(s.list);
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    if (!value)
        return 0;
    auto *d = static_cast<ObIndexData *>(value);
    const std::string keys = dl_upper(dl_get_trimmed(s.key));
    char *fresh = strdup(keys.c_str());
    if (!fresh)
        return -1;
    // The text it replaces is freed when it is the one handed out last;
    // a text the workspace has let go of is freed too.
    if (s.given)
        free(s.given);
    s.given = fresh;
    d->keys = fresh;
    dl_copy(d->location, dl_get_trimmed(s.location));
    d->unique = dlmain_get_toggle(s.unique);
    d->noupdate = !dlmain_get_toggle(s.update);
    d->number = s.number;
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    s.title_mode = title_mode;
    dlmain_disable_dialog_apply(rec, title_mode == 3 ? 1 : 0);
    set_delete(s.number);
    dlmaim_setup_title_suffix(s.table);
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

int reference_dialog(DialogRecord *, void *object)
{
    if (dl_kind_of(object) != OB_COLUMN || !s.key)
        return -1;
    auto *col = static_cast<const ObColumnData *>(object);
    // Only the edited table's columns make its key.
    if (s.table[0] && dl_view(col->table) != dl_view(s.table))
        return -1;
    const std::string name(dl_view(col->name));
    if (name.empty())
        return -1;
    dlmain_set_text_value(s.key, name.c_str(), 3, 4, 0);
    return 0;
}

}  // namespace

std::string dlidx_index_line(const DictIndex &index)
{
    char keys[KEY_MAX + 1];
    wsdict_make_keystr(keys, sizeof keys, index.keys);
    const std::string location(dl_view(index.location));
    char line[KEY_MAX + 80];
    snprintf(line, sizeof line, "#%-2d %s%sBY %s %s", index.number, index.unique ? "UNIQUE " : "",
             index.noupdate ? "NOUPDATE " : "", keys, location.empty() ? "" : ("ON " + location).c_str());
    return line;
}

bool dlidx_parse_line(const std::string &line, std::string &keys, std::string &location)
{
    const size_t by = line.find("BY ");
    if (by == std::string::npos)
        return false;
    std::string rest = line.substr(by + 3);
    const size_t on = rest.find(" ON ");
    if (on == std::string::npos) {
        keys = dl_trim(rest);
        location.clear();
    } else {
        keys = dl_trim(rest.substr(0, on));
        location = dl_trim(rest.substr(on + 4));
    }
    return true;
}

void dlidx_initialise_index_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = OB_INDEX;
    rec->reference_mask = REFERENCE_MASK;
    rec->destroy = destroy_dialog;
    rec->popup = popup_dialog;
    rec->reference = reference_dialog;
}
