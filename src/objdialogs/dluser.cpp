// The user editor (18) and the privilege editor (19): one create function
// for both selection dialogs (list, user name, option menu of levels,
// Delete), their own setval, getval and popup, and the user editor's OK
// and Apply, which ask for a new user's password with the password dialog
// (26) before the standard apply runs.

#include "dluser.h"

#include "dldbdialogs.h"
#include "dlkit.h"
#include "qychk.h"
#include "vxmsg.h"
#include "wsdict.h"
#include "wsobj.h"

#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/List.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/SeparatoG.h>
#include <Xm/TextF.h>

#include <algorithm>
#include <cstring>
#include <vector>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "dluser_msgs.def"
#undef VXMSG

namespace {

constexpr int USER_ID = 18;
constexpr int PRIV_ID = 19;
constexpr int PASSWORD_ID = 26;
constexpr int NAME_MAX = 30;
constexpr int RESTRICTION_MAX = 80;
constexpr const char *NO_RESTRICTION = "(NO RESTRICTION SET)";

constexpr const char *levels[] = {"Select", "Create", "DBA"};
constexpr const char *privileges[] = {"None", "Read", "Append", "Write", "Lock", "Admin", "Ownership", "Default"};

static_assert(offsetof(ObUserData, name) == 4);
static_assert(offsetof(ObUserData, level) == 36);
static_assert(offsetof(ObUserData, password) == 40);
static_assert(offsetof(ObPrivilegeData, user) == 4);
static_assert(offsetof(ObPrivilegeData, table) == 35);
static_assert(offsetof(ObPrivilegeData, level) == 44);
static_assert(offsetof(ObPrivilegeData, restriction) == 48);

// One editor's widgets and list.
struct Editor {
    Widget list = nullptr, user = nullptr, option = nullptr, del = nullptr, restriction = nullptr;
    DlItemList items;
    int title_mode = 0;
    std::string current;  // the connection's own user name
};

struct {
    Editor ed[2];  // 0 the user editor, 1 the privilege editor
    // user editor
    const DictUser *users = nullptr;
    char password[DL_PASSWORD_MAX + 1] = {};  // filled only by the password dialog
    int button = 0;                           // 1 OK, 2 Apply started the new-user step
    DialogRecord *owner = nullptr;            // the user editor while the password dialog is borrowed
    // privilege editor
    const DictPriv *privs = nullptr;
    const DictUser *priv_users = nullptr;
    char table[9] = {};
    bool dba = false;
    bool read_only = false;  // the result table's privileges are only shown
} s;

int index_of(const DialogRecord *rec) { return rec && rec->id == PRIV_ID ? 1 : 0; }
Editor &editor_of(const DialogRecord *rec) { return s.ed[index_of(rec)]; }

std::string norm(std::string_view name) { return dl_upper(dl_trim(name)); }

bool in_list(const DictUser *users, const std::string &name)
{
    for (const DictUser *u = users; u; u = u->next)
        if (norm(u->name) == name)
            return true;
    return false;
}

void sensitive(Widget w, bool on)
{
    if (w)
        XtSetSensitive(w, on ? True : False);
}

// ---- sensitivities ----------------------------------------------------------------------------

// For `name`, the field's text unless given (a check sees the text
// before the field shows it).
void update_user(bool with_delete, const char *given = nullptr)
{
    Editor &e = s.ed[0];
    const std::string name = given ? given : dl_get_text(e.user);
    sensitive(e.option, dluser_level_sensitive(name, e.current));
    if (with_delete)
        sensitive(e.del, dluser_delete_sensitive(e.title_mode, name, e.current));
}

void update_privilege(bool with_delete, const char *given = nullptr)
{
    Editor &e = s.ed[1];
    const std::string name = given ? given : dl_get_text(e.user);
    sensitive(e.option, !s.read_only && dlpriv_option_sensitive(name, e.current, s.dba));
    if (with_delete)
        sensitive(e.del, !s.read_only && dlpriv_delete_sensitive(e.title_mode, name, e.current, s.dba));
}

// Read and Write take a restriction; any other privilege empties it.
void restriction_rule(int privilege)
{
    Editor &e = s.ed[1];
    const bool open = dlpriv_takes_restriction(privilege);
    if (!open)
        dl_set_text(e.restriction, "");
    sensitive(e.restriction, open && !s.read_only);
}

void set_delete_label(int which, const std::string &name)
{
    Editor &e = s.ed[which];
    DlXmString label(which == 0 ? vx_msgf(dlmain_catd, USER_DELETE_LABEL, name.c_str())
                                : vx_msgf(dlmain_catd, PRIV_DELETE_LABEL, name.c_str()));
    XtVaSetValues(e.del, XmNlabelString, label.arg(), nullptr);
}

// ---- validation checks --------------------------------------------------------------------------

int user_check(const char *text)
{
    if (!text || !dl_trim(text)[0])
        return 0;
    update_user(false, text);
    return 1;
}

int privilege_user_check(const char *text)
{
    const std::string name = norm(text ? text : "");
    if (name != "%DEFAULT" && !in_list(s.priv_users, name))
        return 0;
    update_privilege(false, text);
    return 1;
}

int restriction_check(const char *text)
{
    const std::string t = dl_trim(text ? text : "");
    return t.empty() ? 1 : qy_check_restriction(s.table, t.c_str());
}

// ---- the lists ---------------------------------------------------------------------------------

void pick_cb(Widget, XtPointer client, XtPointer call)
{
    const int which = static_cast<int>(reinterpret_cast<long>(client));
    Editor &e = s.ed[which];
    const int position = static_cast<XmListCallbackStruct *>(call)->item_position;
    if (which == 0) {
        const DictUser *u = s.users;
        for (int i = 1; u && i < position; i++)
            u = u->next;
        if (!u)
            return;
        dl_set_text(e.user, u->name);
        dlmain_set_option(e.option, u->access);
        set_delete_label(0, u->name);
        update_user(true);
    } else {
        const DictPriv *p = s.privs;
        for (int i = 1; p && i < position; i++)
            p = p->next;
        if (!p)
            return;
        dl_set_text(e.user, p->user);
        dlmain_set_option(e.option, p->level);
        restriction_rule(p->level);
        dl_set_text(e.restriction, dlpriv_restriction_of(p->restriction));
        set_delete_label(1, p->user);
        update_privilege(true);
    }
}

void show_users()
{
    Editor &e = s.ed[0];
    e.items.clear();
    for (const DictUser *u = s.users; u; u = u->next)
        e.items.add(dluser_user_line(u->name, u->access));
    e.items.show(e.list);
}

void show_privileges()
{
    Editor &e = s.ed[1];
    e.items.clear();
    for (const DictPriv *p = s.privs; p; p = p->next)
        e.items.add(dlpriv_privilege_line(p->user, p->level, p->restriction));
    e.items.show(e.list);
}

// ---- construction --------------------------------------------------------------------------------

void privilege_button_cb(Widget, XtPointer client, XtPointer)
{
    restriction_rule(static_cast<int>(reinterpret_cast<long>(client)));
}

Widget make_option(Widget parent, int id, bool privilege)
{
    Widget pulldown = XmCreatePulldownMenu(parent, const_cast<char *>("pulldown"), nullptr, 0);
    const int count = privilege ? 8 : 3;
    for (int i = 0; i < count; i++) {
        if (privilege && i == 7)
            XtVaCreateManagedWidget("sep", xmSeparatorGadgetClass, pulldown, nullptr);
        DlXmString label(privilege ? privileges[i] : levels[i]);
        Widget b = XtVaCreateManagedWidget(dlmain_widget_name("priv%dB", i + 1), xmPushButtonGadgetClass, pulldown,
                                           XmNlabelString, label.arg(), XmNuserData,
                                           reinterpret_cast<XtPointer>(static_cast<long>(i)), nullptr);
        if (dlmain_label_font)
            XtVaSetValues(b, XmNfontList, dlmain_label_font, nullptr);
        if (privilege)
            XtAddCallback(b, XmNactivateCallback, privilege_button_cb, reinterpret_cast<XtPointer>(static_cast<long>(i)));
    }
    DlXmString label(id, 4);
    Arg args[2];
    XtSetArg(args[0], XmNsubMenuId, pulldown);
    XtSetArg(args[1], XmNlabelString, static_cast<XmString>(label));
    Widget om = XmCreateOptionMenu(parent, const_cast<char *>("privO"), args, 2);
    if (dlmain_label_font) {
        XtVaSetValues(XmOptionLabelGadget(om), XmNfontList, dlmain_label_font, nullptr);
        XtVaSetValues(XmOptionButtonGadget(om), XmNfontList, dlmain_label_font, nullptr);
    }
    XtManageChild(om);
    return om;
}

void own_ok_cb(Widget, XtPointer client, XtPointer);
void own_apply_cb(Widget, XtPointer client, XtPointer);

int create_dialog(DialogRecord *rec, Widget parent)
{
    const int which = index_of(rec);
    const int id = rec->id;
    Editor &e = s.ed[which];
    rec->widget = make_selection_dialog(parent, which ? "priv" : "user", id, 2, 2, DL_MODELESS, pick_cb,
                                        reinterpret_cast<XtPointer>(static_cast<long>(which)));
    Widget form1 = finish_dialog(rec, 2, which ? 304 : 310);
    e.list = XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST);

    Widget frame = XtVaCreateManagedWidget("frame", xmFrameWidgetClass, form1, nullptr);
    dl_attach_top(frame);
    dl_attach_left(frame);
    dl_attach_right(frame);
    Widget form2 = XtVaCreateWidget("form2", xmFormWidgetClass, frame, nullptr);
    XtManageChild(form2);
    Widget label = dl_label(form2, "userL", id, 3, dlmain_label_font);
    e.user = dlmain_create_text_field(form2, "userT", 20, NAME_MAX);
    XtManageChild(e.user);
    if (dlmain_data_font)
        XtVaSetValues(e.user, XmNfontList, dlmain_data_font, nullptr);
    dl_attach_top(e.user, nullptr, 6);
    dl_attach_left(e.user, label, 6);
    dl_attach_right(e.user, nullptr, 6);
    dl_attach_top(label, nullptr, 12);
    dl_attach_left(label, nullptr, 6);
    e.option = make_option(form2, id, which == 1);
    dl_attach_top(e.option, e.user, 6);
    dl_attach_left(e.option, nullptr, 2);
    Widget last = e.option;
    if (which == 1) {
        Widget rlabel = dl_label(form2, "restrictionL", id, 6, dlmain_label_font);
        dl_attach_top(rlabel, e.option, 6);
        dl_attach_left(rlabel, nullptr, 6);
        e.restriction = dlmain_create_text_field(form2, "restrictionT", 30, RESTRICTION_MAX);
        XtManageChild(e.restriction);
        if (dlmain_data_font)
            XtVaSetValues(e.restriction, XmNfontList, dlmain_data_font, nullptr);
        dl_attach_top(e.restriction, rlabel, 2);
        dl_attach_left(e.restriction, nullptr, 6);
        dl_attach_right(e.restriction, nullptr, 6);
        last = e.restriction;
    }
    dl_attach_bottom(last, nullptr, 6);

    DlXmString empty("");
    e.del = XtVaCreateManagedWidget("delBut", xmPushButtonGadgetClass, form1, XmNlabelString, empty.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(e.del, XmNfontList, dlmain_button_font, nullptr);
    XtAddCallback(e.del, XmNactivateCallback, dlmain_std_delete_noclose_cb, rec);
    dl_attach_top(e.del, frame, 10);
    dl_attach_left(e.del);
    dl_attach_bottom(e.del);
    set_delete_label(which, "");
    sensitive(e.del, false);

    if (which == 0) {
        static const DlValidationSpec checks[] = {
            {"form1/frame/form2/userT", DL_VAL_LTRIM | DL_VAL_UPPER | DL_VAL_DEFAULT | DL_VAL_DBNAME | 0x1,
             DLUSER_DEFAULT_USER, nullptr, nullptr, user_check, 6},
        };
        dl_setup_validations(rec, checks);
        // OK and Apply first ask a new user's password.
        XtRemoveCallback(rec->widget, XmNokCallback, dlmain_std_ok_cb, rec);
        XtRemoveCallback(rec->widget, XmNapplyCallback, dlmain_std_apply_cb, rec);
        XtAddCallback(rec->widget, XmNokCallback, own_ok_cb, rec);
        XtAddCallback(rec->widget, XmNapplyCallback, own_apply_cb, rec);
    } else {
        static const DlValidationSpec checks[] = {
            {"form1/frame/form2/userT", DL_VAL_UPPER | DL_VAL_MANDATORY | 0x1, "", nullptr, nullptr,
             privilege_user_check, 7},
            {"form1/frame/form2/restrictionT", DL_VAL_UPPER | 0x1, "", nullptr, nullptr, restriction_check, 8},
        };
        dl_setup_validations(rec, checks);
    }
    return 0;
}

int destroy_dialog(DialogRecord *rec)
{
    editor_of(rec).items.clear();
    return dlmain_std_destroy_dialog(rec);
}

// ---- the new user's password ----------------------------------------------------------------------

DialogRecord *password_record(DialogRecord *rec)
{
    return rec->adopt ? rec->adopt(rec, PASSWORD_ID) : &dlmain_dialogs[PASSWORD_ID];
}

// Run by the password dialog's OK: its password is read, then the user
// editor's standard OK or Apply reads the editor and so the password.
void continue_apply(DialogRecord *pw, int *done)
{
    *done = 1;
    DialogRecord *rec = s.owner;
    s.owner = nullptr;
    if (!rec)
        return;
    pw->getval(pw, s.password);
    if (s.button == 1)
        dlmain_std_ok_cb(nullptr, rec, nullptr);
    else
        dlmain_std_apply_cb(nullptr, rec, nullptr);
    // A password typed for one new user never reaches another.
    memset(s.password, 0, sizeof s.password);
}

void start_apply(DialogRecord *rec, int button)
{
    s.button = button;
    s.owner = nullptr;
    memset(s.password, 0, sizeof s.password);
    // A name the framework refuses is shown before any password is asked.
    if (rec->widget)
        dlmain_validate_dialog(rec->widget);
    if (dlmain_text_error_pending())
        return;
    ObUserData scratch{};
    rec->getval(rec, &scratch);
    const std::string name = norm(dl_view(scratch.name));
    DialogRecord *pw = name.empty() || in_list(s.users, name) ? nullptr : password_record(rec);
    if (!pw || !pw->widget) {
        if (button == 1)
            dlmain_std_ok_cb(nullptr, rec, nullptr);
        else
            dlmain_std_apply_cb(nullptr, rec, nullptr);
        return;
    }
    s.owner = rec;
    pw->client_value = rec->client_value;
    pw->client_apply = continue_apply;
    pw->setval(pw, pw->client_value);
    int x = 0, y = 0;
    dl_root_origin(rec->widget, x, y);
    pw->popup(pw, x, y, 1, 4);
}

void own_ok_cb(Widget, XtPointer client, XtPointer) { start_apply(static_cast<DialogRecord *>(client), 1); }
void own_apply_cb(Widget, XtPointer client, XtPointer) { start_apply(static_cast<DialogRecord *>(client), 2); }

// ---- methods ----------------------------------------------------------------------------------------

int setval_user(void *value)
{
    Editor &e = s.ed[0];
    auto *d = static_cast<ObUserData *>(value);
    s.users = d->users;
    e.current = norm(dl_view(d->current));
    show_users();
    const std::string name(dl_view(d->name));
    dl_set_text(e.user, name);
    dlmain_set_option(e.option, d->level);
    if (in_list(s.users, norm(name))) {
        set_delete_label(0, name);
        update_user(false);
    } else {
        set_delete_label(0, "");
        sensitive(e.option, dluser_level_sensitive("", e.current));
        sensitive(e.del, dluser_delete_sensitive(e.title_mode, "", e.current));
    }
    XmListDeselectAllItems(e.list);
    memset(d->password, 0, sizeof d->password);
    memset(s.password, 0, sizeof s.password);
    return 0;
}

int setval_privilege(void *value)
{
    Editor &e = s.ed[1];
    auto *d = static_cast<const ObPrivilegeData *>(value);
    s.privs = d->privs;
    s.priv_users = d->users;
    e.current = norm(dl_view(d->current));
    dl_copy(s.table, dl_view(d->table));
    s.dba = false;
    for (const DictUser *u = s.priv_users; u; u = u->next)
        if (norm(u->name) == e.current)
            s.dba = u->access == 2;
    show_privileges();
    dl_set_text(e.user, dl_view(d->user));
    dlmain_set_option(e.option, d->level);
    restriction_rule(d->level);
    if (dlpriv_takes_restriction(d->level))
        dl_set_text(e.restriction, dl_view(d->restriction));
    set_delete_label(1, std::string(dl_view(d->user)));
    update_privilege(true);
    XmListDeselectAllItems(e.list);
    return 0;
}

int setval_dialog(DialogRecord *rec, void *value)
{
    if (!value)
        return 0;
    return index_of(rec) ? setval_privilege(value) : setval_user(value);
}

int getval_dialog(DialogRecord *rec, void *value)
{
    if (!value)
        return 0;
    Editor &e = editor_of(rec);
    const std::string name = norm(dl_get_text(e.user));
    const int level = std::max(0, dlmain_get_option(e.option));
    if (index_of(rec) == 0) {
        auto *d = static_cast<ObUserData *>(value);
        dl_copy(d->name, name);
        if (s.password[0])
            dl_copy(d->password, dl_view(s.password));
        d->level = level;
    } else {
        auto *d = static_cast<ObPrivilegeData *>(value);
        dl_copy(d->user, name);
        d->level = level;
        dl_copy(d->restriction, dl_caps(dl_get_trimmed(e.restriction)));
    }
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    const int which = index_of(rec);
    Editor &e = s.ed[which];
    if (which == 1) {
        s.read_only = strncmp(s.table, "RSLT", 4) == 0;
        if (s.read_only)
            title_mode = 3;
        sensitive(e.user, !s.read_only);
        sensitive(e.option, !s.read_only);
        if (s.read_only)
            sensitive(e.restriction, false);
        else
            restriction_rule(dlmain_get_option(e.option));
        dlmaim_setup_title_suffix(s.table);
    }
    e.title_mode = title_mode;
    dlmain_disable_dialog_apply(rec, title_mode == 3 ? 1 : 0);
    if (which == 1)
        update_privilege(true);
    else
        update_user(true);
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

int popdown_dialog(DialogRecord *rec)
{
    if (index_of(rec) == 0 && s.owner == rec) {
        // The editor goes: its password step is abandoned.
        DialogRecord *pw = password_record(rec);
        if (pw && pw->client_apply == continue_apply)
            pw->client_apply = nullptr;
        s.owner = nullptr;
    }
    return dlmain_std_popdown_dialog(rec);
}

void initialise(DialogRecord *rec, int id, int kind)
{
    dlmain_std_record(rec, id, create_dialog, setval_dialog, getval_dialog);
    rec->object_class = kind;
    rec->destroy = destroy_dialog;
    rec->popup = popup_dialog;
    rec->popdown = popdown_dialog;
    rec->reference = dlmain_std_unsupported;
}

}  // namespace

std::string dluser_level_name(int level) { return level >= 0 && level < 3 ? levels[level] : ""; }
std::string dlpriv_privilege_name(int privilege) { return privilege >= 0 && privilege < 8 ? privileges[privilege] : ""; }

std::string dluser_user_line(const char *name, int level)
{
    char line[128];
    snprintf(line, sizeof line, "%-*s %s", 15, name ? name : "", dl_upper(dluser_level_name(level)).c_str());
    return line;
}

std::string dlpriv_privilege_line(const char *user, int privilege, const char *restriction)
{
    const std::string r = restriction && restriction[0] ? std::string("WHERE ") + restriction : NO_RESTRICTION;
    char line[256];
    snprintf(line, sizeof line, "%-*s %-*s  %s", 15, user ? user : "", 9,
             dl_upper(dlpriv_privilege_name(privilege)).c_str(), r.c_str());
    return line;
}

std::string dlpriv_restriction_of(const char *restriction)
{
    const std::string r = restriction ? restriction : "";
    return r == NO_RESTRICTION ? "" : r;
}

bool dluser_level_sensitive(const std::string &name, const std::string &current)
{
    return norm(name) != norm(current);
}

bool dluser_delete_sensitive(int title_mode, const std::string &name, const std::string &current)
{
    const std::string n = norm(name);
    return title_mode != 3 && !n.empty() && n != norm(current);
}

bool dlpriv_option_sensitive(const std::string &name, const std::string &current, bool dba)
{
    return norm(name) != norm(current) || dba;
}

bool dlpriv_delete_sensitive(int title_mode, const std::string &name, const std::string &current, bool dba)
{
    const std::string n = norm(name);
    return title_mode != 3 && !n.empty() && (n != norm(current) || dba);
}

bool dlpriv_takes_restriction(int privilege) { return privilege == 1 || privilege == 3; }

void dluser_initialise_user_dialog(DialogRecord *rec) { initialise(rec, USER_ID, OB_USER); }
void dlpriv_initialise_privilege_dialog(DialogRecord *rec) { initialise(rec, PRIV_ID, OB_PRIVILEGE); }
