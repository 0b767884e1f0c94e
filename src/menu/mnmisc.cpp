// Dialog binding for menu commands, the busy test, settings directories
// and named settings files.

#include "mnmisc.h"

#include "menumsgs.h"
#include "dlmess.h"
#include "mnbld.h"
#include "qymgr.h"
#include "vxutil.h"

#include <Xm/MenuShell.h>
#include <Xm/ToggleB.h>
#include <Xm/ToggleBG.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

MnHooks mn_hooks{};

// ---- the interaction-mode holder -----------------------------------------------

static int held_mode = 0;
static QyStopProc held_stop = nullptr;

static int held_get() { return held_mode; }
static void held_set(int mode) { held_mode = mode; }
static QyStopProc held_set_stop(QyStopProc proc)
{
    QyStopProc previous = held_stop;
    held_stop = proc;
    return previous;
}

static const QyWorkspaceHooks holder{held_get, held_set, held_set_stop};

const QyWorkspaceHooks *mnmisc_mode_holder() { return &holder; }
int mnmisc_held_mode() { return held_mode; }

int mnmisc_ws_interaction()
{
    return mn_hooks.ws_interaction ? mn_hooks.ws_interaction() : held_mode;
}

// ---- items --------------------------------------------------------------------------

Widget mnmisc_item_shell(Widget item)
{
    Widget w = item;
    while (w && (!XtIsShell(w) || XmIsMenuShell(w)))
        w = XtParent(w);
    return w;
}

std::string mnmisc_item_label(Widget item)
{
    if (!item)
        return "";
    XmString s = nullptr;
    XtVaGetValues(item, XmNlabelString, &s, nullptr);
    if (!s)
        return "";
    char *text = static_cast<char *>(XmStringUnparse(s, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0,
                                                     XmOUTPUT_ALL));
    XmStringFree(s);
    std::string out = text ? text : "";
    XtFree(text);
    return out;
}

void mnmisc_not_available(Widget item)
{
    if (item && (XmIsToggleButtonGadget(item) || XmIsToggleButton(item)))
        XmToggleButtonSetState(item, !XmToggleButtonGetState(item), False);
    std::string label = mnmisc_item_label(item);
    dlmess_dialog_show_error(mnmisc_item_shell(item), mnbld_mn_nlsfd, MN_NOT_AVAILABLE, label.c_str());
}

// ---- the dialog protocol ----------------------------------------------------------------

static MnResetProc user_reset_proc = nullptr;

int mnmisc_mn_register(int id, void *value, DlNotifyProc apply)
{
    if (id < 0 || id >= DL_NDIALOGS)
        return 0;
    dlmain_dialogs[id].client_value = value;
    dlmain_dialogs[id].client_apply = apply;
    return 1;
}

bool mnmisc_dialog_available(int id)
{
    if (id < 0 || id >= DL_NDIALOGS)
        return false;
    const DialogRecord &rec = dlmain_dialogs[id];
    return rec.popup != static_cast<DlPopupProc>(dlmain_std_unsupported) && rec.widget;
}

void mnmisc_mn_popup_dialog(Widget widget, int id, int purpose)
{
    if (!mnmisc_dialog_available(id)) {
        mnmisc_not_available(widget);
        return;
    }
    DialogRecord *rec = &dlmain_dialogs[id];
    int x = 0, y = 0, mode = 0;
    // A gadget has no window: its origin is a place in its parent's.
    Widget at = widget && !XtIsWidget(widget) ? XtParent(widget) : widget;
    XWindowAttributes shown{};
    // An item of a menu that is not on the screen (its accelerator was
    // typed) leaves the dialog to the toolkit: over the window it belongs to.
    if (widget && XtIsRealized(mnmisc_item_shell(widget)) && XtIsRealized(at) &&
        XGetWindowAttributes(XtDisplay(at), XtWindow(at), &shown) && shown.map_state == IsViewable) {
        Position rx = 0, ry = 0, gx = 0, gy = 0;
        if (at != widget)
            XtVaGetValues(widget, XmNx, &gx, XmNy, &gy, nullptr);
        XtTranslateCoords(at, gx, gy, &rx, &ry);
        x = rx;
        y = ry;
        mode = purpose == 3 ? 3 : 1;
    }
    rec->popup(rec, x, y, mode, purpose);
}

void mnmisc_mn_apply_notify(DialogRecord *rec, int *done)
{
    if (rec->client_value)
        rec->getval(rec, rec->client_value);
    if (DlNotifyProc apply = rec->client_apply) {
        rec->client_apply = nullptr;
        apply(rec, done);
    } else {
        fputs("Warning! MenuMgr. No Apply proc registered\n", stderr);
    }
    user_reset_proc = nullptr;
}

void mnmisc_mn_reset_notify(DialogRecord *rec, int *done)
{
    if (rec->client_value)
        rec->setval(rec, rec->client_value);
    if (user_reset_proc)
        user_reset_proc(rec);
    *done = 1;
}

void mnmisc_mn_dismiss_notify(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    user_reset_proc = nullptr;
    *done = 1;
}

void mnmisc_mn_delete_notify(DialogRecord *, int *done)
{
    *done = 0;
    fputs("Warning! MenuMgr. Unexpected DeleteNotify from dialog\n", stderr);
}

void mnmisc_mn_help_notify(DialogRecord *rec, int *)
{
    if (dlmain_appl_help_hook && rec->widget)
        dlmain_appl_help_hook(rec->widget);
}

DialogRecord *mnmisc_mn_adopt_notify(DialogRecord *, int id)
{
    if (id < 0 || id >= DL_NDIALOGS)
        return nullptr;
    return &dlmain_dialogs[id];
}

void mnmisc_install_notify(int id)
{
    DialogRecord &rec = dlmain_dialogs[id];
    rec.apply = mnmisc_mn_apply_notify;
    rec.reset = mnmisc_mn_reset_notify;
    rec.del = mnmisc_mn_delete_notify;
    rec.help = mnmisc_mn_help_notify;
    rec.dismiss = mnmisc_mn_dismiss_notify;
    rec.adopt = mnmisc_mn_adopt_notify;
    rec.client_value = nullptr;
    rec.client_apply = nullptr;
}

void mnmisc_mn_tell_me_reset(MnResetProc proc) { user_reset_proc = proc; }
MnResetProc mnmisc_reset_hook() { return user_reset_proc; }

// ---- settings directories and files -------------------------------------------------

int mnmisc_mn_make_dir(const char *path, bool shared)
{
    if (!path || !*path)
        return 0;
    if (access(path, R_OK | W_OK) == 0)
        return 1;
    const mode_t mode = shared ? 01777 : 0755;
    if (mkdir(path, mode) != 0)
        return 0;
    return chmod(path, mode) == 0 ? 1 : 0;
}

static bool opens(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        return false;
    fclose(f);
    return true;
}

std::string mnmisc_find_settings_file(const char *path_variable, const std::string &own_dir,
                                      const std::string &shared_dir, const std::string &name)
{
    if (name.empty())
        return "";
    if (const char *dirs = path_variable ? getenv(path_variable) : nullptr; dirs && *dirs) {
        char found[4096];
        if (findfile(dirs, name.c_str(), found, sizeof found) && opens(found))
            return found;
    }
    for (const std::string *dir : {&own_dir, &shared_dir}) {
        std::string path = *dir + "/" + name;
        if (!dir->empty() && opens(path))
            return path;
    }
    return "";
}

int mnmisc_save_settings_file(const std::string &dir, const std::string &name,
                              const std::function<bool(FILE *)> &write)
{
    if (!mnmisc_mn_make_dir(dir.c_str()))
        return MN_SAVE_NO_DIR;
    std::string path = dir + "/" + name;
    FILE *f = fopen(path.c_str(), "w");
    if (!f)
        return MN_SAVE_NOT_WRITABLE;
    bool ok = write(f);
    if (fclose(f) != 0)
        ok = false;
    chmod(path.c_str(), 0644);
    return ok ? MN_SAVED : MN_SAVE_WRITE_FAILED;
}
