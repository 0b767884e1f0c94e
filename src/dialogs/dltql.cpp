// The DOZ text dialog (30): a command box in its own shell; each statement
// entered with Return goes to the client's apply at once and stays in the
// history list.

#include "dldbdialogs.h"
#include "dlkit.h"

#include <Xm/Command.h>
#include <Xm/DialogS.h>
#include <Xm/Form.h>
#include <Xm/List.h>
#include <Xm/MwmUtil.h>
#include <Xm/Protocols.h>
#include <Xm/PushBG.h>
#include <Xm/Separator.h>
#include <Xm/TextF.h>

namespace {

constexpr int ID = 30;
constexpr int HELP_ID = 299;

struct {
    Widget shell, form, history;
    std::string entered;  // the statement being handled
    bool has_entered;
} s;

void entry_cb(Widget, XtPointer client, XtPointer call)
{
    auto *rec = static_cast<DialogRecord *>(client);
    auto *cbs = static_cast<XmCommandCallbackStruct *>(call);
    char *t = cbs && cbs->value ? static_cast<char *>(XmStringUnparse(cbs->value, nullptr, XmCHARSET_TEXT,
                                                                       XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL))
                                : nullptr;
    s.entered = t ? t : "";
    s.has_entered = true;
    XtFree(t);
    int done = 0;
    if (rec->apply)
        rec->apply(rec, &done);
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    s = {};
    std::string title = dl_text(ID, 1);
    long functions = dl_disablewmclose ? MWM_FUNC_ALL | MWM_FUNC_CLOSE : MWM_FUNC_ALL;
    s.shell = XtVaCreatePopupShell("DOZ Query Dialog", xmDialogShellWidgetClass, parent, XmNtitle, title.c_str(),
                                   XmNallowShellResize, True, XmNmwmFunctions, functions, nullptr);
    s.form = XtVaCreateWidget("Form", xmFormWidgetClass, s.shell, nullptr);

    DlXmString prompt(ID, 2);
    std::vector<Arg> args;
    Arg a;
    XtSetArg(a, XmNpromptString, static_cast<XmString>(prompt));
    args.push_back(a);
    XtSetArg(a, XmNshadowType, XmSHADOW_OUT);
    args.push_back(a);
    if (dlmain_data_font) {
        XtSetArg(a, XmNtextFontList, dlmain_data_font);
        args.push_back(a);
    }
    if (dlmain_label_font) {
        XtSetArg(a, XmNlabelFontList, dlmain_label_font);
        args.push_back(a);
    }
    Widget cmd = XmCreateCommand(s.form, const_cast<char *>("dozCommand"), args.data(),
                                 static_cast<Cardinal>(args.size()));
    rec->widget = cmd;
    dl_attach_top(cmd, nullptr, 1);
    dl_attach_left(cmd, nullptr, 1);
    dl_attach_right(cmd, nullptr, 1);
    Widget text = XmCommandGetChild(cmd, XmDIALOG_COMMAND_TEXT);
    // Wide enough for a typical statement while the history is still
    // empty (the history alone would size the dialog to a few words).
    XtVaSetValues(text, XmNmaxLength, DL_DOZ_MAX, XmNcolumns, 72, nullptr);
    if (dlmain_data_font)
        XtVaSetValues(text, XmNfontList, dlmain_data_font, nullptr);
    s.history = XmCommandGetChild(cmd, XmDIALOG_HISTORY_LIST);
    dl_register_help(cmd, HELP_ID);
    XtAddCallback(cmd, XmNcommandEnteredCallback, entry_cb, rec);
    XtManageChild(cmd);

    Widget sep = XtVaCreateManagedWidget("dozSeparator", xmSeparatorWidgetClass, s.form, XmNshadowThickness, 3,
                                         nullptr);
    dl_attach_top(sep, cmd, 5);
    dl_attach_left(sep, nullptr, 1);
    dl_attach_right(sep, nullptr, 1);
    // The button's label is the program's own word, not a catalogue text.
    DlXmString close(std::string("Close"));
    Widget b = XtVaCreateManagedWidget("dozCloseButton", xmPushButtonGadgetClass, s.form, XmNlabelString,
                                       close.arg(), XmNwidth, 60, XmNheight, 40, XmNrecomputeSize, False, nullptr);
    if (dlmain_button_font)
        XtVaSetValues(b, XmNfontList, dlmain_button_font, nullptr);
    dl_attach_top(b, sep, 10);
    dl_attach_left(b, nullptr, 10);
    dl_attach_bottom(b, nullptr, 10);
    XtAddCallback(b, XmNactivateCallback, std_close_cb, rec);

    dlmain_setup_help_callback(rec);
    // The window manager's close acts as Close.
    XtVaSetValues(s.shell, XmNdeleteResponse, XmDO_NOTHING, nullptr);
    Atom del = XmInternAtom(XtDisplay(s.shell), const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(s.shell, del, std_close_cb, rec);
    return 0;
}

// The command box lives in a form: the whole shell goes with it.
int destroy_dialog(DialogRecord *rec)
{
    Widget shell = s.shell;
    int r = dlmain_std_destroy_dialog(rec);
    if (shell)
        XtDestroyWidget(shell);
    s.shell = s.form = s.history = nullptr;
    return r;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int)
{
    if (!rec->widget)
        return -1;
    if (position_mode != 1)
        x = y = 0;
    XtVaSetValues(s.shell, XmNx, static_cast<Position>(x), XmNy, static_cast<Position>(y), nullptr);
    dlmain_register_popup(rec->widget);
    XtManageChild(s.form);
    return 0;
}

int popdown_dialog(DialogRecord *rec)
{
    if (!rec->widget)
        return -1;
    dlmain_unregister_popup(rec->widget);
    XtUnmanageChild(s.form);
    return 0;
}

int setval_dialog(DialogRecord *rec, void *value)
{
    if (!rec->widget)
        return -1;
    XmTextFieldSetString(XmCommandGetChild(rec->widget, XmDIALOG_COMMAND_TEXT), const_cast<char *>(""));
    s.entered.clear();
    s.has_entered = false;
    auto *text = static_cast<const char *>(value);
    if (text && *text) {
        DlXmString item(std::string(text, strnlen(text, DL_DOZ_MAX)));
        XmListAddItemUnselected(s.history, item, 0);
        XmListSetBottomPos(s.history, 0);
    }
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    dl_copy_bounded(static_cast<char *>(value), DL_DOZ_MAX + 1, s.has_entered ? s.entered : std::string());
    return 0;
}

}  // namespace

void dltql_initialise_doz_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->destroy = destroy_dialog;
    rec->popup = popup_dialog;
    rec->popdown = popdown_dialog;
}
