// The open-database dialog (24): the interpreter's list of databases, a
// name and location to type, and the open mode when it serves Open.

#include "dldbdialogs.h"
#include "dlkit.h"

#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/List.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/ToggleBG.h>

#include <cctype>
#include <cstdio>

namespace {

constexpr int ID = 24;
constexpr int HELP_ID = 293;
constexpr int MODES = 3;

struct {
    Widget database, location, modes_label, radio, list;
    Widget mode_toggle[MODES];
    DlItemList items;
} s;

// Blank-separated words of a list item.
std::vector<std::string> words_of(const std::string &item)
{
    std::vector<std::string> out;
    size_t p = 0;
    while (p < item.size()) {
        while (p < item.size() && (item[p] == ' ' || item[p] == '\t'))
            p++;
        size_t b = p;
        while (p < item.size() && item[p] != ' ' && item[p] != '\t')
            p++;
        if (p > b)
            out.push_back(item.substr(b, p - b));
    }
    return out;
}

void list_cb(Widget, XtPointer, XtPointer call)
{
    auto *cbs = static_cast<XmListCallbackStruct *>(call);
    if (cbs->reason != XmCR_SINGLE_SELECT && cbs->reason != XmCR_DEFAULT_ACTION)
        return;
    std::vector<std::string> w = words_of(dl_list_item_text(call));
    if (w.size() >= 1)
        dl_set_text(s.database, w[0]);
    if (w.size() >= 2)
        dl_set_text(s.location, w[1]);
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    rec->widget = make_selection_dialog(parent, "databaseList", ID, 1, 2, DL_MODAL, list_cb, nullptr);
    s.list = XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST);
    Widget form = finish_dialog(rec, 1, HELP_ID);

    Widget dbl = dl_label(form, "databaseL", ID, 3, dlmain_title_font);
    dl_attach_top(dbl);
    dl_attach_left(dbl);
    s.database = dlmain_create_text_field(form, "database", 8, 8);
    XtManageChild(s.database);
    dl_attach_top(s.database, dbl);
    dl_align_left(s.database, dbl);
    s.location = dlmain_create_text_field(form, "location", 0, 120);
    XtManageChild(s.location);
    dl_align_top(s.location, s.database);
    dl_attach_left(s.location, s.database, 10);
    dl_attach_right(s.location);
    Widget locl = dl_label(form, "locationL", ID, 4, dlmain_title_font);
    dl_attach_bottom(locl, s.location);
    dl_align_left(locl, s.location);
    s.modes_label = dl_label(form, "modesL", ID, 5, dlmain_title_font);
    dl_attach_top(s.modes_label, s.location, 5);
    dl_attach_left(s.modes_label);
    Widget frame = XtVaCreateManagedWidget("frame", xmFrameWidgetClass, form, XmNshadowType, XmSHADOW_ETCHED_IN,
                                           nullptr);
    dl_attach_top(frame, s.modes_label);
    dl_attach_left(frame);
    dl_attach_right(frame);
    static const int modes[MODES] = {6, 7, 8};
    static const char *const names[MODES] = {"sharedT", "exclT", "forcedT"};
    Arg a[1];
    XtSetArg(a[0], XmNorientation, XmHORIZONTAL);
    s.radio = XmCreateRadioBox(frame, const_cast<char *>("rowCol"), a, 1);
    for (int i = 0; i < MODES; i++)
        s.mode_toggle[i] = dl_toggle(s.radio, names[i], ID, modes[i], dlmain_label_font);
    XtManageChild(s.radio);

    static const DlValidationSpec checks[] = {
        {"form1/database", DL_VAL_DBNAME | DL_VAL_MANDATORY | DL_VAL_UPPER, "TALMO", nullptr, nullptr, nullptr, 0},
    };
    dl_setup_validations(rec, checks);
    return 0;
}

int setval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<DbListValue *>(value);
    s.items.clear();
    std::vector<std::pair<std::string, std::string>> pairs;
    // An unreadable file empties the list, so that no earlier item is shown
    // once its text is gone.
    std::string path(dl_view(v->path));
    bool readable = dldblst_read_list(path.c_str(), pairs);
    for (auto &[name, location] : pairs)
        s.items.add(dldblst_item_text(name, location));
    s.items.show(s.list);
    if (!readable)
        return 0;
    dl_set_text(s.database, dl_view(v->name));
    dl_set_text(s.location, dl_view(v->location));
    if (v->name[0] == '\0' && s.items.size() > 0)
        XmListSelectPos(s.list, 1, True);
    if (v->mode >= 0 && v->mode < MODES) {
        XmToggleButtonGadgetSetState(s.mode_toggle[v->mode], True, True);
        for (int i = 0; i < MODES; i++)
            if (i != v->mode)
                XmToggleButtonGadgetSetState(s.mode_toggle[i], False, False);
    }
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<DbListValue *>(value);
    dl_copy(v->name, dl_get_trimmed(s.database));
    dl_copy(v->location, dl_get_trimmed(s.location));
    for (int i = 0; i < MODES; i++)
        if (XmToggleButtonGadgetGetState(s.mode_toggle[i])) {
            v->mode = i;
            break;
        }
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    Boolean on = title_mode == 5 ? True : False;
    XtSetSensitive(s.modes_label, on);
    XtSetSensitive(s.radio, on);
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

}  // namespace

bool dldblst_read_list(const char *path, std::vector<std::pair<std::string, std::string>> &pairs, size_t max_pairs)
{
    pairs.clear();
    FILE *f = path && *path ? fopen(path, "r") : nullptr;
    if (!f)
        return false;
    char name[512], location[512];
    // Each word is read into a buffer of 512 bytes; the rest of a longer
    // word is skipped.
    auto word = [&](char *buf) {
        if (fscanf(f, " %511s", buf) != 1)
            return false;
        int c;
        while ((c = getc(f)) != EOF && !isspace(c)) {
        }
        return true;
    };
    while (pairs.size() < max_pairs && word(name) && word(location))
        pairs.emplace_back(name, location);
    fclose(f);
    return true;
}

std::string dldblst_item_text(const std::string &name, const std::string &location)
{
    std::string item = name;
    if (item.size() < 8)
        item.append(8 - item.size(), ' ');
    return item + "   " + location;
}

bool dldblst_split_item(const std::string &item, std::string &name, std::string &location)
{
    std::vector<std::string> w = words_of(item);
    name = w.empty() ? "" : w[0];
    location = w.size() > 1 ? w[1] : "";
    return w.size() > 1;
}

void dldblst_initialise_database_list_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->popup = popup_dialog;
}
