// The message boxes and the revision box.

#include "dlmess.h"

#include "dlmsgs.h"
#include "vxcat.h"
#include "vxutil.h"

#include <Xm/MenuShell.h>
#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

enum Box { ERROR_BOX, WARNING_BOX, CONFIRM_BOX, PROMPT_BOX, NBOXES };

DialogRecord *error_dialog = nullptr;
DialogRecord *warning_dialog = nullptr;
DialogRecord *confirm_dialog = nullptr;
DialogRecord *prompt_dialog = nullptr;
Widget alternate_shell = nullptr;
int dialog_show_errs = 1;
int confirmed = 0;
bool prompt_accepted = false;
// Whether each box is shown: every box waits for its own, so that a box
// shown from inside another's loop does not end the outer wait.
bool mapped[NBOXES] = {};
bool suppression_on = false;
std::vector<int32_t> first_hit_list, suppression_list;

DlBoxValue error_value{}, warning_value{}, confirm_value{};
DlPromptValue prompt_value{};

constexpr int help_ids[NBOXES] = {DL_HELP_ERROR, DL_HELP_WARNING, DL_HELP_CONFIRM, DL_HELP_PROMPT};

DialogRecord *slot(DialogRecord *managed, int id)
{
    return managed ? managed : &dlmain_dialogs[id];
}

// A text cut to at most n bytes without splitting a character.
std::string cut_text(const char *text, size_t n)
{
    size_t len = strlen(text);
    if (len <= n)
        return text;
    size_t at = 0;
    mblen(nullptr, 0);
    while (at < n) {
        int k = mblen(text + at, len - at);
        if (k <= 0)
            k = 1;
        if (at + k > n)
            break;
        at += k;
    }
    return std::string(text, at);
}

// The formatted text of a box's message; false when the catalogue has no
// text for it (the box then keeps what it showed before).
bool box_text(const DlBoxValue &v, std::string &out)
{
    std::string text = cut_text(vx_msg_text(v.catd, v.set, v.number, v.fallback), 511);
    if (text.empty())
        return false;
    std::string sig;
    if (vx_format_signature(text.c_str(), sig) && sig == v.signature)
        out = v.format ? v.format(text.c_str()) : text;
    else if (v.fallback && vx_format_signature(v.fallback, sig) && sig == v.signature)
        out = v.format ? v.format(v.fallback) : v.fallback;
    else
        out = text;  // never handed to printf with arguments it does not expect
    return true;
}

void set_message(Widget w, const std::string &text)
{
    XmString s = dlmain_multiline(text.c_str());
    XtVaSetValues(w, XmNmessageString, s, nullptr);
    XmStringFree(s);
}

// ---- notify procedures ----------------------------------------------------------------

void box_apply(DialogRecord *rec, int *done)
{
    *done = 1;
    if (rec == confirm_dialog)
        confirmed = 1;
    else if (rec == prompt_dialog) {
        rec->getval(rec, &prompt_value);
        prompt_accepted = true;
    }
}

void box_reset(DialogRecord *rec, int *done)
{
    *done = 1;
    if (rec == confirm_dialog)
        confirmed = 0;
    else if (rec == prompt_dialog)
        prompt_value.reply[0] = '\0';
}

void box_dismiss(DialogRecord *rec, int *done)
{
    *done = 1;
    rec->popdown(rec);
}

void box_help(DialogRecord *rec, int *done)
{
    *done = 1;
    if (dlmain_appl_help_hook && rec->widget)
        dlmain_appl_help_hook(rec->widget);
}

void install_notifies(DialogRecord *rec)
{
    rec->apply = box_apply;
    rec->reset = box_reset;
    rec->dismiss = box_dismiss;
    rec->help = box_help;
}

// ---- creation ---------------------------------------------------------------------------

void widget_destroyed_cb(Widget w, XtPointer client, XtPointer)
{
    auto *rec = static_cast<DialogRecord *>(client);
    if (rec->widget == w)
        rec->widget = nullptr;
}

// `type` is a message box's dialog type, or 0 with `prompt` set.
Widget create_box(DialogRecord *rec, Widget parent, const char *name, unsigned char type, const VxMsg<> &title,
                  bool centred, bool prompt = false)
{
    std::vector<Arg> args;
    XmString t = dlmain_setup_modal_box(vx_msg(dlmain_catd, title), args);
    Arg a;
    Widget w;
    if (prompt) {
        w = XmCreatePromptDialog(parent, const_cast<char *>(name), args.data(), static_cast<Cardinal>(args.size()));
    } else {
        XtSetArg(a, XmNdialogType, type);
        args.push_back(a);
        if (centred) {
            XtSetArg(a, XmNmessageAlignment, XmALIGNMENT_CENTER);
            args.push_back(a);
        }
        w = XmCreateMessageDialog(parent, const_cast<char *>(name), args.data(), static_cast<Cardinal>(args.size()));
    }
    XmStringFree(t);
    rec->widget = w;
    XtAddCallback(w, XmNdestroyCallback, widget_destroyed_cb, rec);
    dlmain_setup_help_callback(rec);
    dlmain_setup_dialog_callbacks(rec, 1);
    dlmain_setup_wm_callback(rec);
    return w;
}

int create_error(DialogRecord *rec, Widget parent)
{
    Widget w = create_box(rec, parent, "error", XmDIALOG_ERROR, DL_ERROR_TITLE, true);
    XtUnmanageChild(XmMessageBoxGetChild(w, XmDIALOG_CANCEL_BUTTON));
    return 0;
}

int create_warning(DialogRecord *rec, Widget parent)
{
    Widget w = create_box(rec, parent, "warning", XmDIALOG_WARNING, DL_WARNING_TITLE, true);
    XtUnmanageChild(XmMessageBoxGetChild(w, XmDIALOG_CANCEL_BUTTON));
    return 0;
}

int create_confirm(DialogRecord *rec, Widget parent)
{
    Widget w = create_box(rec, parent, "confirm", XmDIALOG_QUESTION, DL_CONFIRM_TITLE, true);
    XtVaSetValues(w, XmNdefaultButtonType, XmDIALOG_CANCEL_BUTTON, nullptr);
    return 0;
}

int create_prompt(DialogRecord *rec, Widget parent)
{
    Widget w = create_box(rec, parent, "prompt", 0, DL_PROMPT_TITLE, false, true);
    Widget text = XmSelectionBoxGetChild(w, XmDIALOG_TEXT);
    XtVaSetValues(text, XmNmaxLength, 255, nullptr);
    if (dlmain_data_font)
        XtVaSetValues(text, XmNfontList, dlmain_data_font, nullptr);
    return 0;
}

int create_ltp(DialogRecord *rec, Widget parent)
{
    Widget w = create_box(rec, parent, "ltp", XmDIALOG_INFORMATION, DL_LTP_TITLE, true);
    XtUnmanageChild(XmMessageBoxGetChild(w, XmDIALOG_CANCEL_BUTTON));
    XtUnmanageChild(XmMessageBoxGetChild(w, XmDIALOG_HELP_BUTTON));
    Pixel fg = 0, bg = 0;
    XtVaGetValues(w, XmNforeground, &fg, XmNbackground, &bg, nullptr);
    Pixmap logo = XmGetPixmap(XtScreen(w), const_cast<char *>("ltp.logo"), fg, bg);
    if (logo != XmUNSPECIFIED_PIXMAP)
        XtVaSetValues(w, XmNsymbolPixmap, logo, nullptr);
    XtManageChild(XmMessageBoxGetChild(w, XmDIALOG_SYMBOL_LABEL));
    return 0;
}

// ---- setval and getval -----------------------------------------------------------------------

int setval_message(DialogRecord *rec, void *value)
{
    auto *v = static_cast<DlBoxValue *>(value);
    std::string text;
    if (rec->widget && v && box_text(*v, text))
        set_message(rec->widget, text);
    return 0;
}

void set_label(Widget w, const char *resource, const DlBoxValue &v, int number, const VxMsg<> &standard)
{
    const char *text = number == -1 ? "" : nl_catgets(v.catd, v.set, number);
    if (!*text)
        text = vx_msg(dlmain_catd, standard);
    XmString s = XmStringCreateLocalized(const_cast<char *>(text));
    XtVaSetValues(w, resource, s, nullptr);
    XmStringFree(s);
}

int setval_confirm(DialogRecord *rec, void *value)
{
    auto *v = static_cast<DlBoxValue *>(value);
    if (!rec->widget || !v)
        return -1;
    setval_message(rec, value);
    set_label(rec->widget, XmNokLabelString, *v, v->ok_label, DL_CONFIRM_OK);
    set_label(rec->widget, XmNcancelLabelString, *v, v->cancel_label, DL_CONFIRM_CANCEL);
    return 0;
}

int setval_prompt(DialogRecord *rec, void *value)
{
    auto *v = static_cast<DlPromptValue *>(value);
    if (!rec->widget || !v)
        return -1;
    const char *label = v->set == -1 ? (v->literal ? v->literal : "") : nl_catgets(v->catd, v->set, v->number);
    if (*label) {
        XmString s = dlmain_multiline(label);
        XtVaSetValues(rec->widget, XmNselectionLabelString, s, nullptr);
        XmStringFree(s);
    }
    XmTextFieldSetString(XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT), v->reply);
    return 0;
}

int getval_prompt(DialogRecord *rec, void *value)
{
    auto *v = static_cast<DlPromptValue *>(value);
    if (!rec->widget || !v)
        return -1;
    char *text = XmTextFieldGetString(XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT));
    std::string t = text ? text : "";
    XtFree(text);
    size_t a = t.find_first_not_of(" \t");
    size_t b = t.find_last_not_of(" \t");
    t = a == std::string::npos ? std::string() : t.substr(a, b - a + 1);
    std::string cut = cut_text(t.c_str(), sizeof v->reply - 1);
    memcpy(v->reply, cut.c_str(), cut.size() + 1);
    return 0;
}

int setval_ltp(DialogRecord *rec, void *value)
{
    auto *v = static_cast<DlLtpValue *>(value);
    if (!rec->widget || !v)
        return -1;
    std::string text = nl_catgets(v->catd, v->set, v->numbers[0]);
    for (int i = 1; i < 4; i++) {
        const char *more = nl_catgets(v->catd, v->set, v->numbers[i]);
        if (text.size() + strlen(more) <= 2048)
            text += more;
    }
    if (text.empty())
        return 0;
    std::string sig;
    const char *a[4];
    for (int i = 0; i < 4; i++)
        a[i] = v->args[i] ? v->args[i] : "";
    if (vx_format_signature(text.c_str(), sig) && sig.size() <= 4 &&
        std::all_of(sig.begin(), sig.end(), [](char c) { return c == 's'; }))
        text = vx_msg_vformat(text.c_str(), a[0], a[1], a[2], a[3]);
    set_message(rec->widget, text);
    return 0;
}

// ---- showing ------------------------------------------------------------------------------------

void unmap_cb(Widget, XtPointer client, XtPointer)
{
    *static_cast<bool *>(client) = false;
}

// Steps 3 and 4 of showing a box: the box on this parent, created when
// absent, with its unmap callback and help id.
bool prepare(DialogRecord *rec, Box which, Widget parent)
{
    if (rec->widget) {
        Widget shell = dlmain_dialog_shell(rec->widget);
        if (!shell || XtParent(shell) != parent) {
            rec->destroy(rec);
            rec->widget = nullptr;
        }
    }
    if (!rec->widget)
        rec->create(rec, parent);
    if (!rec->widget)
        return false;
    XtRemoveCallback(rec->widget, XmNunmapCallback, unmap_cb, &mapped[which]);
    XtAddCallback(rec->widget, XmNunmapCallback, unmap_cb, &mapped[which]);
    if (dlmain_register_help_hook)
        dlmain_register_help_hook(rec->widget, help_ids[which]);
    return true;
}

// Steps 5 and 6: fill, pop up, and take events until the box goes away.
void run(DialogRecord *rec, Box which, void *value, Widget parent)
{
    rec->setval(rec, value);
    if (rec->popup(rec, 0, 0, 0, 5) < 0)
        return;
    mapped[which] = true;
    XtAppContext app = XtWidgetToApplicationContext(parent);
    while (mapped[which] && rec->widget && XtIsManaged(rec->widget))
        XtAppProcessEvent(app, XtIMAll);
    mapped[which] = false;
    XSync(XtDisplay(parent), False);
    XmUpdateDisplay(parent);
}

// The shell a box goes over when its caller names none: the window whose
// command asked.  A menu command names its window for its whole run (a
// query's nested loop may dispatch other windows' events meanwhile);
// otherwise the window the user's last key or button went to, when it is
// still on the screen (a dialog popped down for its command gives way to
// the window it belongs to); else the alternate shell.
Widget asking_shell = nullptr;
Widget last_input_shell = nullptr;

bool viewable(Widget shell)
{
    if (!XtIsRealized(shell))
        return false;
    XWindowAttributes a;
    return XGetWindowAttributes(XtDisplay(shell), XtWindow(shell), &a) && a.map_state == IsViewable;
}

Widget shown_shell_of(Widget w)
{
    for (; w; w = XtParent(w)) {
        if (!XtIsShell(w) || XmIsMenuShell(w) || !XtIsWMShell(w))
            continue;
        if (viewable(w))
            return w;
    }
    return nullptr;
}

void last_input_destroyed_cb(Widget, XtPointer, XtPointer) { last_input_shell = nullptr; }

Widget input_shell()
{
    XEvent *e = XtLastEventProcessed(XtDisplay(alternate_shell));
    if (e && (e->type == KeyPress || e->type == KeyRelease || e->type == ButtonPress || e->type == ButtonRelease)) {
        Widget shell = shown_shell_of(XtWindowToWidget(e->xany.display, e->xany.window));
        if (shell && shell != last_input_shell) {
            if (last_input_shell)
                XtRemoveCallback(last_input_shell, XmNdestroyCallback, last_input_destroyed_cb, nullptr);
            XtAddCallback(shell, XmNdestroyCallback, last_input_destroyed_cb, nullptr);
            last_input_shell = shell;
        }
    }
    return last_input_shell ? shown_shell_of(last_input_shell) : nullptr;
}

Widget resolve_parent(Widget parent)
{
    if (parent || !alternate_shell)
        return parent ? parent : alternate_shell;
    if (asking_shell && viewable(asking_shell))
        return asking_shell;
    Widget shell = input_shell();
    return shell ? shell : alternate_shell;
}

void show(Box which, DialogRecord *rec, Widget parent, void *value)
{
    if (prepare(rec, which, parent))
        run(rec, which, value, parent);
}

}  // namespace

// ---- the calls -------------------------------------------------------------------------------------

void dlmess_show_error(Widget parent, const DlBoxValue &value)
{
    parent = resolve_parent(parent);
    if (!parent || !dialog_show_errs)
        return;
    if (suppression_on) {
        int32_t key = dlmess_error_key(value.set, value.number);
        if (std::find(suppression_list.begin(), suppression_list.end(), key) != suppression_list.end())
            return;
        auto hit = std::find(first_hit_list.begin(), first_hit_list.end(), key);
        if (hit != first_hit_list.end()) {
            first_hit_list.erase(hit);
            suppression_list.push_back(key);
        }
    }
    error_value = value;
    show(ERROR_BOX, slot(error_dialog, 0), parent, &error_value);
}

void dlmess_show_warning(Widget parent, const DlBoxValue &value)
{
    parent = resolve_parent(parent);
    if (!parent || !dialog_show_errs)
        return;
    warning_value = value;
    show(WARNING_BOX, slot(warning_dialog, 1), parent, &warning_value);
}

int dlmess_confirm(Widget parent, const DlBoxValue &value, int force)
{
    parent = resolve_parent(parent);
    if (!parent)
        return 0;
    confirm_value = value;
    if (!force && relaxed_confirm)
        return 1;
    // Whatever takes the box away other than OK (Cancel, the window
    // manager's close) answers no.
    confirmed = 0;
    show(CONFIRM_BOX, slot(confirm_dialog, 2), parent, &confirm_value);
    return confirmed;
}

static const char *prompt(Widget parent, nl_catd cd, int set, int number, const char *literal, const char *initial)
{
    parent = resolve_parent(parent);
    if (!parent)
        return nullptr;
    prompt_value.catd = cd;
    prompt_value.set = set;
    prompt_value.number = number;
    prompt_value.literal = literal;
    std::string first = cut_text(initial ? initial : "", sizeof prompt_value.reply - 1);
    memcpy(prompt_value.reply, first.c_str(), first.size() + 1);
    // Only OK answers; a cancel or a close gives nothing.
    prompt_accepted = false;
    show(PROMPT_BOX, slot(prompt_dialog, 3), parent, &prompt_value);
    if (!prompt_accepted || !prompt_value.reply[0])
        return nullptr;
    return prompt_value.reply;
}

const char *dlmess_dialog_prompt(Widget parent, nl_catd cd, int set, int number, const char *initial)
{
    return prompt(parent, cd, set, number, nullptr, initial);
}

const char *dlmess_dialog_prompt(Widget parent, nl_catd cd, int set, const char *literal, const char *initial)
{
    return prompt(parent, cd, set, 0, literal, initial);
}

void dlmess_dialog_register_alternate_shell(Widget shell)
{
    alternate_shell = shell;
}

Widget dlmess_dialog_set_asking_shell(Widget shell)
{
    Widget previous = asking_shell;
    asking_shell = shell;
    return previous;
}

int dlmess_dialog_get_error_mode()
{
    return dialog_show_errs;
}

void dlmess_dialog_set_error_mode(int mode)
{
    dialog_show_errs = mode;
}

void dlmess_add_error_suppression(int32_t key)
{
    if (std::find(first_hit_list.begin(), first_hit_list.end(), key) == first_hit_list.end() &&
        std::find(suppression_list.begin(), suppression_list.end(), key) == suppression_list.end())
        first_hit_list.push_back(key);
    suppression_on = true;
}

void dlmess_reset_error_suppression()
{
    first_hit_list.clear();
    suppression_list.clear();
    suppression_on = false;
}

// ---- records -------------------------------------------------------------------------------------

void dlmess_dialog_manage_error(DialogRecord *rec)
{
    error_dialog = rec;
    install_notifies(rec);
}

void dialog_manage_warning(DialogRecord *rec)
{
    warning_dialog = rec;
    install_notifies(rec);
}

void dlmess_dialog_manage_confirm(DialogRecord *rec)
{
    confirm_dialog = rec;
    install_notifies(rec);
}

void dlmess_dialog_manage_prompt(DialogRecord *rec)
{
    prompt_dialog = rec;
    install_notifies(rec);
}

static void initialise(DialogRecord *rec, int id, DlCreateProc create, DlValueProc setval)
{
    rec->widget = nullptr;
    dlmain_std_record(rec, id, create, setval, dlmain_std_unsupported);
}

void dlerr_initialise_error_dialog(DialogRecord *rec)
{
    initialise(rec, 0, create_error, setval_message);
}

void dlwarn_initialise_warning_dialog(DialogRecord *rec)
{
    initialise(rec, 1, create_warning, setval_message);
}

void dlconf_initialise_confirm_dialog(DialogRecord *rec)
{
    initialise(rec, 2, create_confirm, setval_confirm);
}

void dlprompt_initialise_prompt_dialog(DialogRecord *rec)
{
    initialise(rec, 3, create_prompt, setval_prompt);
    rec->getval = getval_prompt;
}

void dlltp_initialise_ltp_dialog(DialogRecord *rec)
{
    initialise(rec, 5, create_ltp, setval_ltp);
}
