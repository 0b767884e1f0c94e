// The index, user and privilege editors under Xvfb with real widgets and
// real input: lists from small dictionary fixtures, picks, canvas
// references, the sensitivity rules, the mandatory key, and the user
// editor borrowing the password dialog for a new user.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dldbdialogs.h"
#include "dlidx.h"
#include "dlkit.h"
#include "dltestkit.h"
#include "dluser.h"
#include "vxmsg.h"
#include "vxtest.h"
#include "wsdict.h"
#include "wsobj.h"

#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// What the clients' notify procedures saw.
struct Client {
    int applies = 0, deletes = 0;
    ObIndexData index{};
    ObUserData user{};
    ObPrivilegeData privilege{};
} client;

void editor_apply(DialogRecord *rec, int *done)
{
    client.applies++;
    if (rec->id == 17) {
        rec->getval(rec, &client.index);
    } else if (rec->id == 18) {
        rec->getval(rec, &client.user);
    } else {
        rec->getval(rec, &client.privilege);
    }
    *done = 1;
}
void editor_delete(DialogRecord *rec, int *done)
{
    client.deletes++;
    if (rec->id == 17)
        rec->getval(rec, &client.index);
    *done = 1;
}
void editor_dismiss(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    *done = 1;
}
// The password dialog's notify procedures as the menus install them: the
// apply reads into the registered value and runs the one-shot procedure.
void password_apply(DialogRecord *rec, int *done)
{
    if (rec->client_value)
        rec->getval(rec, rec->client_value);
    if (DlNotifyProc apply = rec->client_apply) {
        rec->client_apply = nullptr;
        apply(rec, done);
    }
}
void password_reset(DialogRecord *rec, int *done)
{
    if (rec->client_value)
        rec->setval(rec, rec->client_value);
    *done = 1;
}

// ---- dictionary fixtures -------------------------------------------------------------------------

struct Indexes {
    DictKey units{}, deptno{};
    DictIndex first{}, second{};
    Indexes()
    {
        strcpy(units.name, "UNITS");
        units.number = 1;
        units.ascending = 1;
        strcpy(deptno.name, "DEPTNO");
        deptno.number = 1;
        deptno.ascending = 1;
        first.number = 1;
        first.noupdate = 1;
        first.keys = &units;
        second.number = 2;
        second.unique = 1;
        strcpy(second.location, "IX2");
        second.keys = &deptno;
        first.next = &second;
    }
};

struct Users {
    DictUser brask{}, guest{};
    Users()
    {
        strcpy(brask.name, "BRASK");
        brask.access = 2;
        strcpy(guest.name, "GUEST");
        guest.access = 0;
        brask.next = &guest;
    }
};

struct Privs {
    DictPriv guest{}, brask{};
    Privs()
    {
        strcpy(guest.user, "GUEST");
        guest.level = 1;
        strcpy(guest.restriction, "DEPTNO=20");
        strcpy(brask.user, "BRASK");
        brask.level = 6;
        guest.next = &brask;
    }
};

ObColumnData column(const char *table, const char *name)
{
    ObColumnData c{};
    c.kind = OB_COLUMN;
    strcpy(c.name, name);
    strcpy(c.table, table);
    return c;
}

class SchemaEditors : public testing::Test {
protected:
    DialogRecord *idx = &dlmain_dialogs[17];
    DialogRecord *user = &dlmain_dialogs[18];
    DialogRecord *priv = &dlmain_dialogs[19];
    DialogRecord *pwd = &dlmain_dialogs[26];
    Indexes indexes;
    Users users;
    Privs privs;

    static void SetUpTestSuite()
    {
        vxdl::app();
        dlmain_clear_dialogs();
        dlidx_initialise_index_dialog(&dlmain_dialogs[17]);
        dluser_initialise_user_dialog(&dlmain_dialogs[18]);
        dlpriv_initialise_privilege_dialog(&dlmain_dialogs[19]);
        dlpwd_initialise_password_dialog(&dlmain_dialogs[26]);
        for (int id : {17, 18, 19, 26})
            ASSERT_EQ(dlmain_dialogs[id].create(&dlmain_dialogs[id], vxdl::app().top), 0) << id;
    }

    void SetUp() override
    {
        client = Client{};
        for (DialogRecord *r : {idx, user, priv}) {
            r->apply = editor_apply;
            r->del = editor_delete;
            r->dismiss = editor_dismiss;
            r->reset = nullptr;
            r->adopt = nullptr;
        }
        pwd->apply = password_apply;
        pwd->reset = password_reset;
        pwd->dismiss = editor_dismiss;
        pwd->client_value = nullptr;
        pwd->client_apply = nullptr;
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (dlmain_text_error_pending())
            vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        for (DialogRecord *r : {pwd, idx, user, priv})
            if (r->widget && XtIsManaged(r->widget))
                r->popdown(r);
        vxdl::pump_idle();
    }

    Widget named(DialogRecord *rec, const char *name)
    {
        Widget w = vxdl::find(rec->widget, name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    Widget list(DialogRecord *rec) { return XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST); }
    std::vector<std::string> items(DialogRecord *rec)
    {
        XmStringTable table = nullptr;
        int n = 0;
        XtVaGetValues(list(rec), XmNitems, &table, XmNitemCount, &n, nullptr);
        std::vector<std::string> out;
        for (int i = 0; i < n; i++)
            out.push_back(vxdl::xmstring(table[i]));
        return out;
    }
    bool sensitive(Widget w) { return w && XtIsSensitive(w); }
    bool shown(DialogRecord *rec) { return rec->widget && XtIsManaged(rec->widget); }
    Widget ok(DialogRecord *rec) { return dl_box_button(rec->widget, XmDIALOG_OK_BUTTON); }
    Widget apply(DialogRecord *rec) { return dl_box_button(rec->widget, XmDIALOG_APPLY_BUTTON); }
    int option(DialogRecord *rec) { return dlmain_get_option(named(rec, "privO")); }

    void open_index(int title_mode, bool with_indexes, const char *keys = "")
    {
        ObIndexData d{};
        d.kind = OB_INDEX;
        strcpy(d.table, "SALES");
        d.keys = const_cast<char *>(keys);
        d.indexes = with_indexes ? &indexes.first : nullptr;
        idx->setval(idx, &d);
        ASSERT_EQ(idx->popup(idx, 30, 30, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(named(idx, "keyT")));
    }
    void open_user(int title_mode, const char *current = "BRASK", const char *name = "")
    {
        ObUserData d{};
        d.kind = OB_USER;
        strcpy(d.name, name);
        strcpy(d.current, current);
        d.users = &users.brask;
        user->setval(user, &d);
        ASSERT_EQ(user->popup(user, 30, 30, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(named(user, "userT")));
    }
    void open_priv(int title_mode, const char *table = "STAFF", const char *current = "BRASK")
    {
        ObPrivilegeData d{};
        d.kind = OB_PRIVILEGE;
        strcpy(d.table, table);
        strcpy(d.current, current);
        d.level = 1;
        d.users = &users.brask;
        d.privs = &privs.guest;
        priv->setval(priv, &d);
        ASSERT_EQ(priv->popup(priv, 30, 30, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(named(priv, "userT")));
    }
    // OK pressed while the framework refuses a field: the error box's text.
    std::string refused_ok(DialogRecord *rec)
    {
        vxdl::click(ok(rec));
        EXPECT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() != 0; }));
        std::string text = vxdl::message(dlmain_text_error_box());
        vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        vxdl::pump_idle();
        return text;
    }
};

// ---- the index editor --------------------------------------------------------------------------

TEST_F(SchemaEditors, ATableWithoutIndexesHasAnEmptyListAndAGreyDeleteForOne)
{
    open_index(1, false);
    EXPECT_EQ(items(idx), std::vector<std::string>{});
    EXPECT_EQ(vxdl::label(named(idx, "delBut")), "Delete index 1");
    EXPECT_FALSE(sensitive(named(idx, "delBut")));
    EXPECT_NE(vxdl::shell_title(idx->widget).find("SALES"), std::string::npos) << vxdl::shell_title(idx->widget);
}

TEST_F(SchemaEditors, PickingAnIndexLineFillsTheFieldsAndArmsDelete)
{
    open_index(1, true);
    EXPECT_EQ(items(idx), (std::vector<std::string>{"#1  NOUPDATE BY UNITS ", "#2  UNIQUE BY DEPTNO ON IX2"}));
    vxdl::click_item(list(idx), 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(idx, "keyT")) == "DEPTNO"; }));
    EXPECT_EQ(vxdl::text(named(idx, "locT")), "IX2");
    EXPECT_TRUE(XmToggleButtonGetState(named(idx, "uniqueT")));
    EXPECT_TRUE(XmToggleButtonGetState(named(idx, "updateT")));
    EXPECT_EQ(vxdl::label(named(idx, "delBut")), "Delete index 2");
    EXPECT_TRUE(sensitive(named(idx, "delBut")));
    // Delete keeps the dialog open and hands over the picked index.
    vxdl::click(named(idx, "delBut"));
    ASSERT_TRUE(vxdl::pump_until([] { return client.deletes == 1; }));
    EXPECT_TRUE(shown(idx));
    EXPECT_EQ(client.index.number, 2);
    EXPECT_STREQ(client.index.keys, "DEPTNO");
    // The first line: not unique, not updateable, no location.
    vxdl::click_item(list(idx), 1);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(idx, "keyT")) == "UNITS"; }));
    EXPECT_EQ(vxdl::text(named(idx, "locT")), "");
    EXPECT_FALSE(XmToggleButtonGetState(named(idx, "uniqueT")));
    EXPECT_FALSE(XmToggleButtonGetState(named(idx, "updateT")));
    EXPECT_EQ(vxdl::label(named(idx, "delBut")), "Delete index 1");
}

TEST_F(SchemaEditors, PickedColumnsOfTheTableJoinTheKeyByCommas)
{
    open_index(2, false);
    ObColumnData units = column("SALES", "UNITS"), deptno = column("SALES", "DEPTNO"),
                 other = column("STAFF", "ENAME");
    EXPECT_EQ(idx->reference_mask, 0x50000008u);
    EXPECT_EQ(idx->reference(idx, &units), 0);
    EXPECT_EQ(idx->reference(idx, &deptno), 0);
    EXPECT_EQ(idx->reference(idx, &other), -1);
    EXPECT_EQ(vxdl::text(named(idx, "keyT")), "UNITS,DEPTNO");
    // DESC at the cursor, then a column after it; a comma typed by hand
    // is not doubled.
    vxdl::click(named(idx, "descBut"));
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(idx, "keyT")) == "UNITS,DEPTNO DESC"; }));
    vxdl::type(named(idx, "keyT"), ",");
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(idx, "keyT")) == "UNITS,DEPTNO DESC,"; }));
    EXPECT_EQ(idx->reference(idx, &units), 0);
    EXPECT_EQ(vxdl::text(named(idx, "keyT")), "UNITS,DEPTNO DESC,UNITS");
    vxdl::click(named(idx, "natBut"));
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(idx, "keyT")) == "UNITS,DEPTNO DESC,UNITS NATIVE"; }));

    // OK hands over the key in upper case, the location and the toggles.
    dl_set_text(named(idx, "keyT"), "units desc");
    dl_set_text(named(idx, "locT"), "here");
    XmToggleButtonSetState(named(idx, "uniqueT"), True, False);
    XmToggleButtonSetState(named(idx, "updateT"), False, False);
    vxdl::click(ok(idx));
    ASSERT_TRUE(vxdl::pump_until([] { return client.applies == 1; }));
    EXPECT_STREQ(client.index.keys, "UNITS DESC");
    EXPECT_STREQ(client.index.location, "here");
    EXPECT_EQ(client.index.unique, 1);
    EXPECT_EQ(client.index.noupdate, 1);
    EXPECT_EQ(client.index.number, 0);
}

TEST_F(SchemaEditors, AnEmptyKeyIsRefusedAndTheEditorStays)
{
    open_index(2, true);
    EXPECT_EQ(refused_ok(idx), dl_text(-1, 7));
    EXPECT_EQ(client.applies, 0);
    EXPECT_TRUE(shown(idx));
    vxdl::click(apply(idx));
    ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() != 0; }));
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
    EXPECT_EQ(client.applies, 0);
    // Delete of a picked line is not held up by the rule.
    vxdl::click_item(list(idx), 1);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(idx, "keyT")) == "UNITS"; }));
    vxdl::click(named(idx, "delBut"));
    ASSERT_TRUE(vxdl::pump_until([] { return client.deletes == 1; }));
}

TEST_F(SchemaEditors, InTitleModeThreeOkApplyAndDeleteAreUnavailable)
{
    open_index(3, true);
    vxdl::click_item(list(idx), 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(idx, "keyT")) == "DEPTNO"; }));
    EXPECT_FALSE(sensitive(ok(idx)));
    EXPECT_FALSE(sensitive(apply(idx)));
    EXPECT_FALSE(sensitive(named(idx, "delBut")));
    EXPECT_EQ(vxdl::label(named(idx, "delBut")), "Delete index 2");
}

TEST_F(SchemaEditors, TheKeyTextBelongsToTheKindData)
{
    open_index(2, false, "UNITS");
    // Each read replaces the text it handed out before; a text that is not
    // the editor's is left alone (the sanitizers see a wrong free or leak).
    ObIndexData d{};
    idx->getval(idx, &d);
    ASSERT_NE(d.keys, nullptr);
    EXPECT_STREQ(d.keys, "UNITS");
    dl_set_text(named(idx, "keyT"), "deptno");
    idx->getval(idx, &d);
    EXPECT_STREQ(d.keys, "DEPTNO");
    char mine[] = "MINE";
    ObIndexData other{};
    other.keys = mine;
    idx->getval(idx, &other);
    EXPECT_STREQ(other.keys, "DEPTNO");
    EXPECT_STREQ(mine, "MINE");
}

// ---- the user editor ---------------------------------------------------------------------------------

TEST_F(SchemaEditors, UserListAndTheOwnNameRules)
{
    open_user(1);
    EXPECT_EQ(items(user), (std::vector<std::string>{"BRASK           DBA", "GUEST           SELECT"}));
    EXPECT_FALSE(sensitive(named(user, "delBut")));
    // The own line: level and Delete greyed.
    vxdl::click_item(list(user), 1);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(user, "userT")) == "BRASK"; }));
    EXPECT_EQ(option(user), 2);
    EXPECT_EQ(vxdl::label(named(user, "delBut")), "Delete user BRASK");
    EXPECT_FALSE(sensitive(named(user, "privO")));
    EXPECT_FALSE(sensitive(named(user, "delBut")));
    // Another user's line.
    vxdl::click_item(list(user), 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(user, "userT")) == "GUEST"; }));
    EXPECT_EQ(option(user), 0);
    EXPECT_TRUE(sensitive(named(user, "privO")));
    EXPECT_TRUE(sensitive(named(user, "delBut")));
    EXPECT_EQ(vxdl::label(named(user, "delBut")), "Delete user GUEST");
    // A blank name becomes the built-in user on leaving the field.
    vxdl::retype(named(user, "userT"), " ");
    vxdl::key(named(user, "userT"), "Tab");
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(user, "userT")) == "BRASK"; }))
        << vxdl::text(named(user, "userT"));
    EXPECT_FALSE(sensitive(named(user, "privO")));
    // Title mode 3: OK, Apply and Delete greyed.
    user->popdown(user);
    open_user(3);
    vxdl::click_item(list(user), 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(user, "userT")) == "GUEST"; }));
    EXPECT_FALSE(sensitive(ok(user)));
    EXPECT_FALSE(sensitive(apply(user)));
    EXPECT_FALSE(sensitive(named(user, "delBut")));
}

TEST_F(SchemaEditors, AnExistingUserAppliesAtOnce)
{
    open_user(1);
    vxdl::click_item(list(user), 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(user, "userT")) == "GUEST"; }));
    dlmain_set_option(named(user, "privO"), 1);
    vxdl::click(apply(user));
    ASSERT_TRUE(vxdl::pump_until([] { return client.applies == 1; }));
    EXPECT_FALSE(shown(pwd));
    EXPECT_STREQ(client.user.name, "GUEST");
    EXPECT_EQ(client.user.level, 1);
    EXPECT_STREQ(client.user.password, "");
    EXPECT_TRUE(shown(user));
}

TEST_F(SchemaEditors, ANewUserAppliesOnlyAfterThePasswordDialogsOk)
{
    Widget password = nullptr;
    struct Case {
        const char *what;
        bool ok;
    };
    for (const Case c : {Case{"cancelled", false}, Case{"given", true}}) {
        SCOPED_TRACE(c.what);
        client = Client{};
        open_user(1);
        vxdl::retype(named(user, "userT"), "tester");
        dlmain_set_option(named(user, "privO"), 1);
        vxdl::click(ok(user));
        ASSERT_TRUE(vxdl::pump_until([&] { return shown(pwd); }));
        EXPECT_EQ(client.applies, 0);
        password = XmSelectionBoxGetChild(pwd->widget, XmDIALOG_TEXT);
        ASSERT_TRUE(vxdl::wait_viewable(password));
        vxdl::type(password, "tpw");
        ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(password) == "***"; }));
        vxdl::click(dl_box_button(pwd->widget, c.ok ? XmDIALOG_OK_BUTTON : XmDIALOG_CANCEL_BUTTON));
        ASSERT_TRUE(vxdl::pump_until([&] { return !shown(pwd); }));
        vxdl::pump_idle();
        if (!c.ok) {
            EXPECT_EQ(client.applies, 0);
            EXPECT_TRUE(shown(user));
            user->popdown(user);
            // The abandoned step is not left behind for the next user.
            EXPECT_EQ(pwd->client_apply, nullptr);
            continue;
        }
        EXPECT_EQ(client.applies, 1);
        EXPECT_STREQ(client.user.name, "TESTER");
        EXPECT_EQ(client.user.level, 1);
        EXPECT_STREQ(client.user.password, "tpw");
        EXPECT_FALSE(shown(user)) << "OK closes the editor";
    }
    // The password is gone once the apply is over: an existing user read
    // afterwards gets none.
    open_user(1);
    vxdl::click_item(list(user), 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(user, "userT")) == "GUEST"; }));
    ObUserData d{};
    user->getval(user, &d);
    EXPECT_STREQ(d.password, "");
}

TEST_F(SchemaEditors, AUserNameThatIsNoNameIsRefusedBeforeAnyPassword)
{
    open_user(2);
    vxdl::retype(named(user, "userT"), "a-b");
    EXPECT_EQ(refused_ok(user), vx_msg_vformat(dl_text(-1, 12).c_str(), "A-B"));
    EXPECT_FALSE(shown(pwd));
    EXPECT_EQ(client.applies, 0);
    // Thirty characters at most.
    vxdl::retype(named(user, "userT"), std::string(31, 'U'));
    EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(user, "userT")).size() == 30; }));
    vxdl::pump_idle();
    EXPECT_EQ(vxdl::text(named(user, "userT")), std::string(30, 'U'));
}

// ---- the privilege editor ---------------------------------------------------------------------------

TEST_F(SchemaEditors, PrivilegeLinesAndADbaOnTheirOwnEntry)
{
    open_priv(1);
    EXPECT_EQ(items(priv), (std::vector<std::string>{"GUEST           READ       WHERE DEPTNO=20",
                                                     "BRASK           OWNERSHIP  (NO RESTRICTION SET)"}));
    vxdl::click_item(list(priv), 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(priv, "userT")) == "BRASK"; }));
    EXPECT_EQ(option(priv), 6);
    EXPECT_TRUE(sensitive(named(priv, "privO")));
    EXPECT_TRUE(sensitive(named(priv, "delBut")));
    EXPECT_EQ(vxdl::label(named(priv, "delBut")), "Delete privileges of BRASK");
    EXPECT_EQ(vxdl::text(named(priv, "restrictionT")), "");
    EXPECT_FALSE(sensitive(named(priv, "restrictionT")));
    priv->popdown(priv);
    // GUEST, no DBA, on their own entry: greyed.
    open_priv(1, "STAFF", "GUEST");
    vxdl::click_item(list(priv), 1);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(priv, "userT")) == "GUEST"; }));
    EXPECT_FALSE(sensitive(named(priv, "privO")));
    EXPECT_FALSE(sensitive(named(priv, "delBut")));
}

TEST_F(SchemaEditors, LockAfterReadEmptiesAndGreysTheRestriction)
{
    open_priv(1);
    vxdl::click_item(list(priv), 1);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(named(priv, "restrictionT")) == "DEPTNO=20"; }));
    EXPECT_EQ(option(priv), 1);
    EXPECT_TRUE(sensitive(named(priv, "restrictionT")));
    vxdl::press(named(priv, "priv5B"));
    EXPECT_EQ(vxdl::text(named(priv, "restrictionT")), "");
    EXPECT_FALSE(sensitive(named(priv, "restrictionT")));
    vxdl::press(named(priv, "priv4B"));
    EXPECT_TRUE(sensitive(named(priv, "restrictionT")));
    // The eight levels, a separator before Default, each with its index.
    for (int i = 1; i <= 8; i++)
        EXPECT_EQ(dlmain_get_user_data(named(priv, dlmain_widget_name("priv%dB", i))), i - 1) << i;
    EXPECT_NE(vxdl::find(priv->widget, "sep"), nullptr);
}

TEST_F(SchemaEditors, TheResultTableOpensReadOnly)
{
    open_priv(1, "RSLT0001");
    for (const char *name : {"userT", "privO", "restrictionT", "delBut"})
        EXPECT_FALSE(sensitive(named(priv, name))) << name;
    EXPECT_FALSE(sensitive(ok(priv)));
    EXPECT_FALSE(sensitive(apply(priv)));
    EXPECT_NE(vxdl::shell_title(priv->widget).find("RSLT0001"), std::string::npos);
    priv->popdown(priv);
    open_priv(1);
    EXPECT_TRUE(sensitive(named(priv, "userT")));
    EXPECT_TRUE(sensitive(ok(priv)));
}

TEST_F(SchemaEditors, AnUnknownUserIsRefusedWithTheEditorsText)
{
    open_priv(2);
    vxdl::retype(named(priv, "userT"), "nobody");
    EXPECT_EQ(refused_ok(priv), vx_msg_vformat(dl_text(19, 7).c_str(), "NOBODY"));
    EXPECT_EQ(client.applies, 0);
    // A known user and the default entry pass.
    for (const char *name : {"guest", "%default"}) {
        client = Client{};
        vxdl::retype(named(priv, "userT"), name);
        vxdl::click(ok(priv));
        ASSERT_TRUE(vxdl::pump_until([] { return client.applies == 1; })) << name;
        EXPECT_EQ(std::string(client.privilege.user), dl_upper(name));
        open_priv(2);
    }
}

}  // namespace
