// The procedures dialog (31).

#include "dlproc.h"

#include "dlkit.h"

#include <Xm/FileSB.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/List.h>
#include <Xm/PushBG.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

void (*dlproc_death_trap)(int on) = nullptr;

namespace {

constexpr int ID = 31;
constexpr int HELP_ID = 303;

struct {
    Widget list, tran, show, sort, ocsv, csv_label, csv_text, browse, search, procname, share, edit;
    std::string user_dir, shared_dir;
    DlItemList items;
    DlListing table;  // the names in directory order, with the first shared index
} s;

void set_csv_group()
{
    Boolean on = XmToggleButtonGadgetGetState(s.ocsv);
    XtSetSensitive(s.csv_label, on);
    XtSetSensitive(s.csv_text, on);
    XtSetSensitive(s.browse, on);
}

void build_list()
{
    s.items.clear();
    bool shared = XmToggleButtonGadgetGetState(s.show);
    s.table = dl_list_files(getenv("VX_PROC_PATH"), s.user_dir, shared ? &s.shared_dir : nullptr,
                            DL_PROC_MAX_ENTRIES, DL_SKIP_PROCEDURE | DL_SKIP_LONG);
    for (const std::string &n : s.table.names)
        s.items.add(n);
    if (XmToggleButtonGadgetGetState(s.sort))
        s.items.sort();
    s.items.show(s.list);
}

void list_cb(Widget, XtPointer, XtPointer call)
{
    auto *cbs = static_cast<XmListCallbackStruct *>(call);
    if (cbs->reason != XmCR_SINGLE_SELECT && cbs->reason != XmCR_DEFAULT_ACTION)
        return;
    std::string text = dl_list_item_text(call);
    dl_set_text(s.procname, text);
    const auto &names = s.table.names;
    auto it = std::find(names.begin(), names.end(), text);
    bool shared = it != names.end() && static_cast<size_t>(it - names.begin()) >= s.table.first_shared;
    XmToggleButtonGadgetSetState(s.share, shared ? True : False, False);
    XtSetSensitive(s.edit, text.empty() ? False : True);
}

void rebuild_cb(Widget, XtPointer, XtPointer) { build_list(); }
void csv_cb(Widget, XtPointer, XtPointer) { set_csv_group(); }

void browse_cb(Widget, XtPointer, XtPointer)
{
    int x = 0, y = 0;
    dl_root_origin(s.browse, x, y);
    dlmain_setup_popup_position(s.search, x, y, 1);
    XtManageChild(s.search);
}

void file_cb(Widget, XtPointer, XtPointer call)
{
    auto *cbs = static_cast<XmFileSelectionBoxCallbackStruct *>(call);
    if (cbs && cbs->reason == XmCR_OK && cbs->value) {
        char *t = static_cast<char *>(
            XmStringUnparse(cbs->value, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
        if (t)
            dl_set_text(s.csv_text, t);
        XtFree(t);
    }
    XtUnmanageChild(s.search);
}

int name_check(const char *text) { return text && !strchr(text, '/'); }

void edit_cb(Widget, XtPointer, XtPointer)
{
    std::string name = dl_get_trimmed(s.procname);
    if (name.empty())
        return;
    const std::string &dir = XmToggleButtonGadgetGetState(s.share) ? s.shared_dir : s.user_dir;
    std::string path = dir + "/" + name;
    for (const std::string &d : dl_split_path(getenv("VX_PROC_PATH"))) {
        std::string p = d + "/" + name;
        if (access(p.c_str(), F_OK) == 0) {
            path = p;
            break;
        }
    }
    std::string command = dlproc_editor_command(getenv("VX_EDITOR"), getenv("EDITOR"), path);
    if (dlproc_death_trap)
        dlproc_death_trap(0);
    int r = system(command.c_str());
    (void)r;
    if (dlproc_death_trap)
        dlproc_death_trap(1);
}

Widget push(Widget parent, const char *name, int n, XtCallbackProc cb)
{
    DlXmString label(ID, n);
    Widget b = XtVaCreateManagedWidget(name, xmPushButtonGadgetClass, parent, XmNlabelString, label.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(b, XmNfontList, dlmain_button_font, nullptr);
    XtAddCallback(b, XmNactivateCallback, cb, nullptr);
    return b;
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    s.items.clear();
    rec->widget = make_selection_dialog(parent, "procedureList", ID, 1, 2, DL_MODAL, list_cb, nullptr);
    s.list = XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST);
    Widget form = finish_dialog(rec, 1, HELP_ID);

    s.tran = dl_toggle(form, "tranT", ID, 8, dlmain_label_font);
    dl_attach_top(s.tran);
    dl_attach_left(s.tran);
    s.show = dl_toggle(form, "showT", ID, 3, dlmain_label_font);
    dl_attach_top(s.show, s.tran);
    dl_attach_left(s.show);
    XtAddCallback(s.show, XmNvalueChangedCallback, rebuild_cb, nullptr);
    s.sort = dl_toggle(form, "sortT", ID, 9, dlmain_label_font);
    dl_attach_top(s.sort, s.show);
    dl_attach_left(s.sort);
    XtAddCallback(s.sort, XmNvalueChangedCallback, rebuild_cb, nullptr);
    s.ocsv = dl_toggle(form, "ocsvT", ID, 10, dlmain_label_font);
    dl_attach_top(s.ocsv, s.sort);
    dl_attach_left(s.ocsv);
    XtAddCallback(s.ocsv, XmNvalueChangedCallback, csv_cb, nullptr);
    s.csv_label = dl_label(form, "csv_fileL", ID, 11, dlmain_label_font);
    dl_attach_top(s.csv_label, s.ocsv, 4);
    dl_attach_left(s.csv_label);
    s.csv_text = dlmain_create_text_field(form, "csv_fileT", 14, 255);
    XtManageChild(s.csv_text);
    dl_attach_top(s.csv_text, s.ocsv);
    dl_attach_left(s.csv_text, s.csv_label, 4);
    s.browse = push(form, "file_browseB", 12, browse_cb);
    dl_attach_top(s.browse, s.ocsv);
    dl_attach_left(s.browse, s.csv_text, 4);
    s.search = make_file_selection(rec->widget, "searchFile", ID, 13, "*");
    XtAddCallback(s.search, XmNokCallback, file_cb, nullptr);
    XtAddCallback(s.search, XmNcancelCallback, file_cb, nullptr);

    Widget frame = XtVaCreateManagedWidget("frame", xmFrameWidgetClass, form, XmNmarginWidth, 0, XmNmarginHeight, 0,
                                           nullptr);
    dl_attach_top(frame, s.csv_text, 6);
    dl_attach_left(frame);
    dl_attach_right(frame);
    Widget form2 = XtVaCreateManagedWidget("form2", xmFormWidgetClass, frame, nullptr);
    Widget procl = dl_label(form2, "procL", ID, 4, dlmain_label_font);
    dl_attach_top(procl, nullptr, 4);
    dl_attach_left(procl, nullptr, 2);
    s.procname = dlmain_create_text_field(form2, "procname", 14, DL_PROC_NAME_MAX);
    XtManageChild(s.procname);
    dl_attach_top(s.procname);
    dl_attach_left(s.procname, procl, 4);
    s.share = dl_toggle(form2, "shareT", ID, 5, dlmain_label_font);
    dl_attach_top(s.share, nullptr, 4);
    dl_attach_left(s.share, s.procname, 4);
    s.edit = push(form2, "editB", 6, edit_cb);
    dl_attach_top(s.edit, nullptr, 2);
    dl_attach_left(s.edit, s.share, 4);

    static const DlValidationSpec checks[] = {
        {"form1/frame/form2/procname", DL_VAL_UPPER | 0x1, "", nullptr, nullptr, name_check, 7},
    };
    dl_setup_validations(rec, checks);
    return 0;
}

int destroy_dialog(DialogRecord *rec)
{
    s.items.clear();
    s.table = DlListing{};
    return dlmain_std_destroy_dialog(rec);
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    if (!rec->widget)
        return -1;
    XtSetSensitive(s.share, title_mode == 5 ? True : False);
    if (title_mode != 4)
        XmToggleButtonGadgetSetState(s.ocsv, False, False);
    XtSetSensitive(s.ocsv, title_mode == 4 ? True : False);
    set_csv_group();
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

int setval_dialog(DialogRecord *rec, void *value)
{
    if (!rec->widget)
        return -1;
    auto *v = static_cast<ProcValue *>(value);
    dl_set_text(s.procname, dl_view(v->name));
    XmToggleButtonGadgetSetState(s.share, v->shared ? True : False, False);
    s.user_dir = std::string(dl_view(v->user_dir));
    s.shared_dir = std::string(dl_view(v->shared_dir));
    build_list();
    XtSetSensitive(s.edit, s.items.size() > 0 && v->name[0] ? True : False);
    if (!v->name[0] && s.items.size() > 0)
        XmListSelectPos(s.list, 1, True);
    set_csv_group();
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<ProcValue *>(value);
    dl_copy(v->name, dl_get_trimmed(s.procname));
    v->shared = XmToggleButtonGadgetGetState(s.share) ? 1 : 0;
    v->transaction = XmToggleButtonGadgetGetState(s.tran) ? 1 : 0;
    v->csv = XmToggleButtonGadgetGetState(s.ocsv) ? 1 : 0;
    if (v->csv)
        dl_copy(v->csv_file, dl_get_trimmed(s.csv_text));
    return 0;
}

}  // namespace

std::string dlproc_shell_word(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string dlproc_editor_command(const char *vx_editor, const char *editor, const std::string &path)
{
    if (vx_editor && *vx_editor)
        return std::string(vx_editor) + " " + dlproc_shell_word(path) + " &";
    return std::string("xterm -e ") + (editor && *editor ? editor : "vi") + " " + dlproc_shell_word(path) + " &";
}

void dlproc_initialise_procedure_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->destroy = destroy_dialog;
    rec->popup = popup_dialog;
}
