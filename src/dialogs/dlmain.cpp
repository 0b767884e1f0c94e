// The dialog table, the standard methods and callbacks, placement, titles,
// catalogue texts by dialog id and the shared builders.

#include "dlmain.h"

#include "dlmsgs.h"
#include "vxcat.h"
#include "vxdate.h"
#include "vxutil.h"

#include <Xm/BulletinB.h>
#include <Xm/DialogS.h>
#include <Xm/MessageB.h>
#include <Xm/MwmUtil.h>
#include <Xm/Protocols.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/Scale.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstring>

// ---- the table ---------------------------------------------------------------

int dlmain_std_unsupported(DialogRecord *, Widget)
{
    fputs("Error! DialogSupport. Unsupported method called on dialog.\n", stderr);
    return -1;
}

int dlmain_std_unsupported(DialogRecord *)
{
    fputs("Error! DialogSupport. Unsupported method called on dialog.\n", stderr);
    return -1;
}

int dlmain_std_unsupported(DialogRecord *, int, int, int, int)
{
    fputs("Error! DialogSupport. Unsupported method called on dialog.\n", stderr);
    return -1;
}

int dlmain_std_unsupported(DialogRecord *, void *)
{
    fputs("Error! DialogSupport. Unsupported method called on dialog.\n", stderr);
    return -1;
}

static DialogRecord empty_record(int id)
{
    DialogRecord r{};
    r.widget = nullptr;
    r.id = id;
    r.object_class = -1;
    r.reference_mask = 0;
    r.create = dlmain_std_unsupported;
    r.destroy = dlmain_std_unsupported;
    r.popup = dlmain_std_unsupported;
    r.popdown = dlmain_std_unsupported;
    r.setval = dlmain_std_unsupported;
    r.getval = dlmain_std_unsupported;
    r.reference = dlmain_std_unsupported;
    return r;
}

static std::array<DialogRecord, DL_NDIALOGS> empty_table()
{
    std::array<DialogRecord, DL_NDIALOGS> t;
    for (int i = 0; i < DL_NDIALOGS; i++)
        t[i] = empty_record(i);
    return t;
}

std::array<DialogRecord, DL_NDIALOGS> dlmain_dialogs = empty_table();

void dlmain_clear_dialogs()
{
    dlmain_dialogs = empty_table();
}

// ---- module state -----------------------------------------------------------

nl_catd dlmain_catd = NL_NO_CATALOGUE;
Widget dlmain_toplevel = nullptr;
XmFontList dlmain_label_font = nullptr, dlmain_title_font = nullptr, dlmain_data_font = nullptr,
           dlmain_button_font = nullptr;
std::string dlmain_dl_basedir;
int relaxed_confirm = 0;
int ml_threshold = 60;
int dl_qualify_column_names = 0;
int dl_disablewmclose = 0;
char dialog_date_format[25] = "%d/%m/%y";
int mwm_running = 0;
int inhibit_apply_validation = 0;

void (*dlmain_register_help_hook)(Widget w, int help_id) = nullptr;
void (*dlmain_appl_help_hook)(Widget w) = nullptr;

static XmString oklabel, applylabel, cancellabel, closelabel, resetlabel, helplabel, filterlabel;
static std::string edit_suffix, new_suffix;
static std::string suffix;
static bool suffix_set = false;

static std::vector<Widget> popups;
static std::vector<DialogRecord *> applys;

static struct {
    int mode = 0;
    int x = 0, y = 0;
} popup_info;

int inhibit_text_validation = 0;     // shared with dltext.cpp
int inhibit_mandatory_checking = 1;  // shared with dltext.cpp
int apply_prohibited = 0;            // shared with dltext.cpp

void dlmain_create_text_error_box(Widget toplevel);  // dltext.cpp

static std::string capped(const char *text, size_t n)
{
    std::string s = text;
    if (s.size() > n)
        s.resize(n);
    return s;
}

void dlmain_dialog_init(Widget toplevel, const AppData *adata)
{
    dlmain_toplevel = toplevel;
    dlmain_catd = adata->catd;
    dlmain_label_font = adata->labelFont;
    dlmain_title_font = adata->titleFont;
    dlmain_data_font = adata->dataFont;
    dlmain_button_font = adata->buttonFont;
    dlmain_dl_basedir = adata->install_dir ? adata->install_dir : "";
    relaxed_confirm = adata->relaxedConfirmation;
    ml_threshold = adata->useEditorThreshold;
    dl_qualify_column_names = adata->qualifyColumnNames;
    dl_disablewmclose = adata->disableWMClose;

    dlmain_dialog_lterm();
    oklabel = dlmain_xmstring(-1, DL_OK_LABEL.number);
    applylabel = dlmain_xmstring(-1, DL_APPLY_LABEL.number);
    cancellabel = dlmain_xmstring(-1, DL_CANCEL_LABEL.number);
    closelabel = dlmain_xmstring(-1, DL_CLOSE_LABEL.number);
    resetlabel = dlmain_xmstring(-1, DL_RESET_LABEL.number);
    helplabel = dlmain_xmstring(-1, DL_HELP_LABEL.number);
    if (filterlabel)
        XmStringFree(filterlabel);
    filterlabel = dlmain_xmstring(-1, DL_FILTER_LABEL.number);
    edit_suffix = capped(vx_msg(dlmain_catd, DL_EDIT_SUFFIX), 60);
    new_suffix = capped(vx_msg(dlmain_catd, DL_NEW_SUFFIX), 60);

    dlmain_create_text_error_box(toplevel);
    make_date_output_str(adata->dateInputFormat, dialog_date_format);
    mwm_running = toplevel ? XmIsMotifWMRunning(toplevel) : 0;
}

void dlmain_dialog_lterm()
{
    for (XmString *s : {&oklabel, &applylabel, &cancellabel, &closelabel, &resetlabel, &helplabel}) {
        if (*s)
            XmStringFree(*s);
        *s = nullptr;
    }
}

// ---- catalogue texts -----------------------------------------------------------

static char nls[512];

const char *dlmain_raw_message(int set, int n)
{
    safe_strcpy(nls, nl_catgets(dlmain_catd, set, n), sizeof nls - 1);
    return nls;
}

const char *dlmain_message(int id, int n)
{
    return dlmain_raw_message(id + 2, n);
}

const char *dlmain_widget_name(const char *format, int n)
{
    static char name[128];
    std::string sig;
    // Only formats that take the one integer are used.
    if (vx_format_signature(format, sig) && sig == "d")
        snprintf(name, sizeof name, "%s", vx_msg_vformat(format, n).c_str());
    else
        safe_strcpy(name, format, sizeof name - 1);
    return name;
}

XmString dlmain_xmstring(int id, int n)
{
    return XmStringCreateLocalized(const_cast<char *>(nl_catgets(dlmain_catd, id + 2, n)));
}

XmString dlmain_multiline(const char *text)
{
    return XmStringCreateLtoR(const_cast<char *>(text), const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
}

void dlmain_set_user_data(Widget w, long value)
{
    XtVaSetValues(w, XmNuserData, reinterpret_cast<XtPointer>(value), nullptr);
}

long dlmain_get_user_data(Widget w)
{
    XtPointer p = nullptr;
    XtVaGetValues(w, XmNuserData, &p, nullptr);
    return reinterpret_cast<long>(p);
}

// ---- construction ------------------------------------------------------------------

static void add_arg(std::vector<Arg> &args, const char *name, XtArgVal value)
{
    Arg a;
    XtSetArg(a, const_cast<char *>(name), value);
    args.push_back(a);
}

int dlmain_setup_dialog(int button_type, std::vector<Arg> &args)
{
    if (dlmain_button_font)
        add_arg(args, XmNbuttonFontList, reinterpret_cast<XtArgVal>(dlmain_button_font));
    if (dlmain_title_font)
        add_arg(args, XmNlabelFontList, reinterpret_cast<XtArgVal>(dlmain_title_font));
    if (dlmain_data_font)
        add_arg(args, XmNtextFontList, reinterpret_cast<XtArgVal>(dlmain_data_font));
    long functions = MWM_FUNC_ALL | MWM_FUNC_RESIZE;
    if (dl_disablewmclose)
        functions |= MWM_FUNC_CLOSE;
    add_arg(args, XmNmwmFunctions, functions);
    add_arg(args, XmNautoUnmanage, False);
    auto label = [&](const char *name, XmString s) {
        if (s)
            add_arg(args, name, reinterpret_cast<XtArgVal>(s));
    };
    switch (button_type) {
    case 1:
        label(XmNokLabelString, oklabel);
        label(XmNcancelLabelString, cancellabel);
        break;
    case 2:
        label(XmNokLabelString, oklabel);
        label(XmNapplyLabelString, applylabel);
        label(XmNcancelLabelString, cancellabel);
        break;
    case 3:
        label(XmNokLabelString, oklabel);
        label(XmNcancelLabelString, cancellabel);
        label(XmNapplyLabelString, filterlabel);
        break;
    case 4:
        label(XmNapplyLabelString, resetlabel);
        label(XmNcancelLabelString, closelabel);
        break;
    case 5:
        label(XmNcancelLabelString, closelabel);
        break;
    default:
        break;
    }
    label(XmNhelpLabelString, helplabel);
    return static_cast<int>(args.size());
}

XmString dlmain_setup_modal_box(const char *title, std::vector<Arg> &args)
{
    dlmain_setup_dialog(1, args);
    XmString t = XmStringCreateLocalized(const_cast<char *>(title));
    add_arg(args, XmNdialogTitle, reinterpret_cast<XtArgVal>(t));
    add_arg(args, XmNdialogStyle, XmDIALOG_FULL_APPLICATION_MODAL);
    return t;
}

void dlmain_setup_dialog_callbacks(DialogRecord *rec, int button_type)
{
    Widget w = rec->widget;
    if (!w)
        return;
    XtPointer r = rec;
    switch (button_type) {
    case 1:
    case 3:
        XtAddCallback(w, XmNokCallback, dlmain_std_ok_cb, r);
        XtAddCallback(w, XmNcancelCallback, std_cancel_cb, r);
        break;
    case 2:
        XtAddCallback(w, XmNokCallback, dlmain_std_ok_cb, r);
        XtAddCallback(w, XmNapplyCallback, dlmain_std_apply_cb, r);
        XtAddCallback(w, XmNcancelCallback, std_cancel_cb, r);
        break;
    case 4:
        XtAddCallback(w, XmNapplyCallback, dlmain_std_reset_cb, r);
        XtAddCallback(w, XmNcancelCallback, std_close_cb, r);
        break;
    case 5:
        XtAddCallback(w, XmNcancelCallback, std_close_cb, r);
        break;
    default:
        break;
    }
    if (XmIsSelectionBox(w)) {
        Widget apply = XmSelectionBoxGetChild(w, XmDIALOG_APPLY_BUTTON);
        Widget ok = XmSelectionBoxGetChild(w, XmDIALOG_OK_BUTTON);
        if (button_type == 1 || button_type == 5)
            XtUnmanageChild(apply);
        else if (button_type == 2 || button_type == 4)
            XtManageChild(apply);
        if (button_type == 4 || button_type == 5)
            XtUnmanageChild(ok);
    }
}

void dlmain_setup_help_callback(DialogRecord *rec)
{
    if (rec->widget)
        XtAddCallback(rec->widget, XmNhelpCallback, dlmain_std_help_cb, rec);
}

Widget dlmain_dialog_shell(Widget dialog)
{
    Widget p = dialog ? XtParent(dialog) : nullptr;
    return p && XtIsShell(p) ? p : nullptr;
}

void dlmain_setup_wm_callback(DialogRecord *rec)
{
    Widget shell = dlmain_dialog_shell(rec->widget);
    if (!shell)
        return;
    // The close runs through our own callbacks only.
    XtVaSetValues(shell, XmNdeleteResponse, XmDO_NOTHING, nullptr);
    Atom del = XmInternAtom(XtDisplay(shell), const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(shell, del, std_close_cb, rec);
}

// ---- standard callbacks --------------------------------------------------------------

static bool in_applys(DialogRecord *rec)
{
    return std::find(applys.begin(), applys.end(), rec) != applys.end();
}

static bool add_apply(DialogRecord *rec)
{
    if (applys.size() >= DL_MAX_APPLYS) {
        fputs("Warning! DialogSupport. Too many nested applys!\n", stderr);
        return false;
    }
    applys.push_back(rec);
    return true;
}

static void remove_apply(DialogRecord *rec)
{
    auto it = std::find(applys.begin(), applys.end(), rec);
    if (it != applys.end())
        applys.erase(it);
}

static void notify(DialogRecord *rec, DlNotifyProc proc, int *done)
{
    if (proc)
        proc(rec, done);
}

// Runs a notify procedure as an apply: the dialog's buttons do nothing and
// its text validation rests until it returns.
static int run_guarded(DialogRecord *rec, DlNotifyProc proc)
{
    int done = 0;
    int saved = inhibit_text_validation;
    inhibit_text_validation = 1;
    bool added = add_apply(rec);
    notify(rec, proc, &done);
    if (added)
        remove_apply(rec);
    inhibit_text_validation = saved;
    return done;
}

static void ok_or_apply(DialogRecord *rec, bool dismiss)
{
    if (in_applys(rec))
        return;
    if (!inhibit_apply_validation && rec->widget)
        dlmain_validate_dialog(rec->widget);
    if (dlmain_text_error_pending() || apply_prohibited)
        return;
    if (run_guarded(rec, rec->apply) && dismiss) {
        int done = 0;
        notify(rec, rec->dismiss, &done);
    }
}

void dlmain_std_ok_cb(Widget, XtPointer client, XtPointer)
{
    ok_or_apply(static_cast<DialogRecord *>(client), true);
}

void dlmain_std_apply_cb(Widget, XtPointer client, XtPointer)
{
    ok_or_apply(static_cast<DialogRecord *>(client), false);
}

void std_cancel_cb(Widget, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    if (in_applys(rec))
        return;
    int done = 0;
    notify(rec, rec->reset, &done);
    if (done) {
        done = 0;
        notify(rec, rec->dismiss, &done);
    }
}

void dlmain_std_reset_cb(Widget, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    if (in_applys(rec))
        return;
    int done = 0;
    notify(rec, rec->reset, &done);
}

void std_close_cb(Widget, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    if (in_applys(rec))
        return;
    int done = 0;
    notify(rec, rec->dismiss, &done);
}

void dlmain_std_help_cb(Widget, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    int done = 0;
    notify(rec, rec->help, &done);
}

static void delete_cb(DialogRecord *rec, bool dismiss)
{
    if (in_applys(rec) || apply_prohibited)
        return;
    if (run_guarded(rec, rec->del) && dismiss) {
        int done = 0;
        notify(rec, rec->dismiss, &done);
    }
}

void dlmain_std_delete_cb(Widget, XtPointer client, XtPointer)
{
    delete_cb(static_cast<DialogRecord *>(client), true);
}

void dlmain_std_delete_noclose_cb(Widget, XtPointer client, XtPointer)
{
    delete_cb(static_cast<DialogRecord *>(client), false);
}

// ---- placement and titles ----------------------------------------------------------------

static void position_map_cb(Widget w, XtPointer, XtPointer)
{
    if (popup_info.mode < 1 || popup_info.mode > 3)
        return;
    Dimension width = 0, height = 0;
    XtVaGetValues(w, XmNwidth, &width, XmNheight, &height, nullptr);
    int x = popup_info.x, y = popup_info.y;
    if (popup_info.mode == 2) {
        x -= width / 2;
        y -= height / 2;
    } else if (popup_info.mode == 3) {
        x -= width / 2;
        y = std::max(0, y - static_cast<int>(height));
    }
    XtVaSetValues(w, XmNx, static_cast<Position>(x), XmNy, static_cast<Position>(y), nullptr);
}

void dlmain_setup_popup_position(Widget w, int x, int y, int mode)
{
    popup_info.mode = mode;
    popup_info.x = x;
    popup_info.y = y;
    if (!w)
        return;
    if (XmIsBulletinBoard(w))
        XtVaSetValues(w, XmNdefaultPosition, mode < 1 || mode > 3 ? True : False, nullptr);
    XtRemoveCallback(w, XmNmapCallback, position_map_cb, nullptr);
    XtAddCallback(w, XmNmapCallback, position_map_cb, nullptr);
}

void dlmaim_setup_title_suffix(const char *text)
{
    suffix_set = text != nullptr;
    suffix = text ? text : "";
}

std::string dlmain_compose_title(const std::string &current, int title_mode, const char *custom_suffix,
                                 const std::string &edit, const std::string &fresh)
{
    std::string title = current;
    size_t cut = title.rfind(" -");
    if (cut != std::string::npos)
        title.resize(cut);
    switch (title_mode) {
    case 1:
    case 3:
        title += " - ";
        title += custom_suffix ? custom_suffix : edit;
        break;
    case 2:
        title += " - " + fresh;
        break;
    case 4:
        if (custom_suffix)
            title += std::string(" - ") + custom_suffix;
        break;
    default:
        break;
    }
    return title;
}

static void set_title(Widget dialog, int title_mode)
{
    Widget shell = dlmain_dialog_shell(dialog);
    if (!shell)
        return;
    char *current = nullptr;
    XtVaGetValues(shell, XmNtitle, &current, nullptr);
    std::string t = dlmain_compose_title(current ? current : "", title_mode, suffix_set ? suffix.c_str() : nullptr,
                                         edit_suffix, new_suffix);
    XtVaSetValues(shell, XmNtitle, t.c_str(), nullptr);
}

// ---- popups ---------------------------------------------------------------------------------

void dlmain_register_popup(Widget w)
{
    if (std::find(popups.begin(), popups.end(), w) != popups.end())
        return;
    if (popups.size() >= DL_MAX_POPUPS) {
        fputs("Warning! DialogSupport. Too many popups!\n", stderr);
        return;
    }
    popups.push_back(w);
}

void dlmain_unregister_popup(Widget w)
{
    auto it = std::find(popups.begin(), popups.end(), w);
    if (it != popups.end())
        popups.erase(it);
}

Widget dlmain_enquire_nth_popup(int n)
{
    return n >= 0 && n < static_cast<int>(popups.size()) ? popups[n] : nullptr;
}

void dlmain_set_popup_tabgroup(Widget, Widget) {}

// ---- standard methods ---------------------------------------------------------------------

int dlmain_std_popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    Widget w = rec->widget;
    if (!w)
        return -1;
    dlmain_setup_popup_position(w, x, y, position_mode);
    set_title(w, title_mode);
    XtManageChild(w);
    Widget shell = dlmain_dialog_shell(w);
    if (shell && XtIsRealized(shell))
        XRaiseWindow(XtDisplay(shell), XtWindow(shell));
    dlmain_register_popup(w);
    return 0;
}

int dlmain_std_popdown_dialog(DialogRecord *rec)
{
    if (!rec->widget)
        return -1;
    XtUnmanageChild(rec->widget);
    apply_prohibited = 0;
    remove_apply(rec);
    dlmaim_setup_title_suffix(nullptr);
    dlmain_unregister_popup(rec->widget);
    return 0;
}

int dlmain_std_destroy_dialog(DialogRecord *rec)
{
    if (!rec->widget)
        return -1;
    dlmain_free_all_validations(rec);
    dlmain_unregister_popup(rec->widget);
    remove_apply(rec);
    Widget shell = dlmain_dialog_shell(rec->widget);
    XtDestroyWidget(shell ? shell : rec->widget);
    rec->widget = nullptr;
    return 0;
}

void dlmain_std_record(DialogRecord *rec, int id, DlCreateProc create, DlValueProc setval, DlValueProc getval)
{
    rec->id = id;
    rec->object_class = -1;
    rec->reference_mask = 0;
    rec->create = create;
    rec->destroy = dlmain_std_destroy_dialog;
    rec->popup = dlmain_std_popup_dialog;
    rec->popdown = dlmain_std_popdown_dialog;
    rec->setval = setval;
    rec->getval = getval;
    rec->reference = dlmain_std_unsupported;
}

void dlmain_disable_dialog_apply(DialogRecord *rec, int prohibited)
{
    apply_prohibited = prohibited;
    Widget w = rec->widget;
    if (!w || !XmIsSelectionBox(w))
        return;
    for (unsigned char which : {XmDIALOG_OK_BUTTON, XmDIALOG_APPLY_BUTTON}) {
        Widget b = XmSelectionBoxGetChild(w, which);
        if (b && XtIsManaged(b))
            XtSetSensitive(b, prohibited ? False : True);
    }
}

// ---- sub-dialogs ---------------------------------------------------------------------------

DialogRecord *dlmain_borrow_dialog(DlSubDialog &sub, DialogRecord *owner, int id, const DlSubNotify &procs,
                                   void *value, Widget at, int title_mode)
{
    if (id < 0 || id >= DL_NDIALOGS)
        return nullptr;
    DialogRecord *rec = owner && owner->adopt ? owner->adopt(owner, id) : &dlmain_dialogs[id];
    if (!rec)
        return nullptr;
    if (sub.record != rec) {
        if (sub.record)
            dlmain_return_dialog(sub);
        sub.saved = *rec;
        sub.record = rec;
    }
    rec->apply = procs.apply;
    rec->reset = procs.reset;
    rec->dismiss = procs.dismiss;
    rec->help = procs.help ? procs.help : sub.saved.help;
    if (procs.reference)
        rec->reference = procs.reference;
    if (procs.set_mask)
        rec->reference_mask = procs.reference_mask;
    rec->client_value = value;
    rec->setval(rec, value);
    Position x = 0, y = 0;
    int mode = 0;
    if (at && XtIsRealized(at)) {
        XtTranslateCoords(at, 0, 0, &x, &y);
        mode = 1;
    }
    if (rec->popup(rec, x, y, mode, title_mode) < 0) {
        dlmain_return_dialog(sub);
        return nullptr;
    }
    return rec;
}

void dlmain_return_dialog(DlSubDialog &sub)
{
    if (!sub.record)
        return;
    Widget current = sub.record->widget;
    *sub.record = sub.saved;
    // A widget created while borrowed stays the dialog's.
    sub.record->widget = current;
    sub.record = nullptr;
}

// ---- builders ---------------------------------------------------------------------------------

Widget dlmain_create_option_menu(Widget parent, const char *name, int id, int label_number,
                                 std::span<const int> entry_numbers, const char *button_name, XtCallbackProc cb)
{
    Widget pulldown = XmCreatePulldownMenu(parent, const_cast<char *>("pulldown"), nullptr, 0);
    std::vector<Widget> buttons;
    for (size_t i = 0; i < entry_numbers.size(); i++) {
        XmString s = dlmain_xmstring(id, entry_numbers[i]);
        Widget b = XtVaCreateWidget(button_name, xmPushButtonGadgetClass, pulldown, XmNlabelString, s, XmNuserData,
                                    reinterpret_cast<XtPointer>(static_cast<long>(i)), nullptr);
        XmStringFree(s);
        if (dlmain_label_font)
            XtVaSetValues(b, XmNfontList, dlmain_label_font, nullptr);
        if (cb)
            XtAddCallback(b, XmNactivateCallback, cb, reinterpret_cast<XtPointer>(static_cast<long>(i)));
        buttons.push_back(b);
    }
    if (!buttons.empty())
        XtManageChildren(buttons.data(), static_cast<Cardinal>(buttons.size()));
    XmString label = dlmain_xmstring(id, label_number);
    std::vector<Arg> args;
    add_arg(args, XmNsubMenuId, reinterpret_cast<XtArgVal>(pulldown));
    add_arg(args, XmNlabelString, reinterpret_cast<XtArgVal>(label));
    Widget om = XmCreateOptionMenu(parent, const_cast<char *>(name), args.data(), static_cast<Cardinal>(args.size()));
    XmStringFree(label);
    if (dlmain_label_font)
        XtVaSetValues(XmOptionLabelGadget(om), XmNfontList, dlmain_label_font, nullptr);
    return om;
}

void dlmain_set_option(Widget option_menu, int position)
{
    Widget pulldown = nullptr;
    XtVaGetValues(option_menu, XmNsubMenuId, &pulldown, nullptr);
    if (!pulldown)
        return;
    WidgetList children = nullptr;
    Cardinal n = 0;
    XtVaGetValues(pulldown, XmNchildren, &children, XmNnumChildren, &n, nullptr);
    for (Cardinal i = 0; i < n; i++)
        if (dlmain_get_user_data(children[i]) == position) {
            XtVaSetValues(option_menu, XmNmenuHistory, children[i], nullptr);
            return;
        }
}

int dlmain_get_option(Widget option_menu)
{
    Widget shown = nullptr;
    XtVaGetValues(option_menu, XmNmenuHistory, &shown, nullptr);
    return shown ? static_cast<int>(dlmain_get_user_data(shown)) : -1;
}

Widget dlmain_create_toggle(Widget parent, const char *name, int id, int number)
{
    XmString s = dlmain_xmstring(id, number);
    Widget t = XtVaCreateWidget(name, xmToggleButtonWidgetClass, parent, XmNlabelString, s, nullptr);
    XmStringFree(s);
    if (dlmain_label_font)
        XtVaSetValues(t, XmNfontList, dlmain_label_font, nullptr);
    return t;
}

void dlmain_set_toggle(Widget toggle, int on)
{
    XmToggleButtonSetState(toggle, on ? True : False, False);
}

int dlmain_get_toggle(Widget toggle)
{
    return XmToggleButtonGetState(toggle) ? 1 : 0;
}

Widget dlmain_create_scale(Widget parent, const char *name, int id, int title_number, int minimum, int maximum,
                           int value)
{
    std::vector<Arg> args;
    add_arg(args, XmNorientation, XmHORIZONTAL);
    add_arg(args, XmNshowValue, True);
    add_arg(args, XmNprocessingDirection, XmMAX_ON_RIGHT);
    add_arg(args, XmNminimum, minimum);
    add_arg(args, XmNmaximum, std::max(minimum + 1, maximum));
    add_arg(args, XmNvalue, std::clamp(value, minimum, std::max(minimum + 1, maximum)));
    XmString title = nullptr;
    if (title_number >= 0) {
        title = dlmain_xmstring(id, title_number);
        add_arg(args, XmNtitleString, reinterpret_cast<XtArgVal>(title));
    }
    if (dlmain_label_font)
        add_arg(args, XmNfontList, reinterpret_cast<XtArgVal>(dlmain_label_font));
    Widget s = XmCreateScale(parent, const_cast<char *>(name), args.data(), static_cast<Cardinal>(args.size()));
    if (title)
        XmStringFree(title);
    return s;
}

void dlmain_set_scale(Widget scale, int value)
{
    int minimum = 0, maximum = 0;
    XtVaGetValues(scale, XmNminimum, &minimum, XmNmaximum, &maximum, nullptr);
    XmScaleSetValue(scale, std::clamp(value, minimum, maximum));
}

int dlmain_get_scale(Widget scale)
{
    int v = 0;
    XmScaleGetValue(scale, &v);
    return v;
}

int dlmain_real_to_scale(double value)
{
    if (std::isnan(value))
        return 0;
    double v = std::round(value * 100.0);
    return static_cast<int>(std::clamp(v, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

double dlmain_scale_to_real(int value)
{
    return value / 100.0;
}

void dlmain_set_scale_real(Widget scale, double value)
{
    dlmain_set_scale(scale, dlmain_real_to_scale(value));
}

double dlmain_get_scale_real(Widget scale)
{
    return dlmain_scale_to_real(dlmain_get_scale(scale));
}

Widget dlmain_create_text_field(Widget parent, const char *name, int columns, int max_length)
{
    std::vector<Arg> args;
    if (columns > 0)
        add_arg(args, XmNcolumns, columns);
    if (max_length > 0)
        add_arg(args, XmNmaxLength, max_length);
    if (dlmain_data_font)
        add_arg(args, XmNfontList, reinterpret_cast<XtArgVal>(dlmain_data_font));
    return XmCreateTextField(parent, const_cast<char *>(name), args.data(), static_cast<Cardinal>(args.size()));
}
