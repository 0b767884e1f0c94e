// The Database pane's commands on the test X server against the installed
// interpreter: the real dialogs (database list, configuration, password,
// file name) and message boxes answered as a user would, every statement
// watched on its way to the interpreter.
#include "wstest.h"  // first: gtest before the X headers

#include "dlkit.h"
#include "dlmess.h"
#include "dltestkit.h"
#include "mnbld.h"
#include "mndb.h"
#include "mnmisc.h"

#include <Xm/FileSB.h>
#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

std::vector<std::string> texts()
{
    std::vector<std::string> v;
    for (const qykit::Sent &s : qykit::sent())
        v.push_back(s.text);
    return v;
}

bool sent(const std::string &text)
{
    for (const qykit::Sent &s : qykit::sent())
        if (s.text == text)
            return true;
    return false;
}

// A message box answered when it shows: its text, and whether it showed.
struct Answer {
    std::shared_ptr<vxdl::Pending> pending;
    std::shared_ptr<std::string> text = std::make_shared<std::string>();
    bool shown() const { return pending->ran; }
};

Answer answer(const char *box, unsigned char button, std::chrono::milliseconds bound = 5s)
{
    Answer a;
    auto text = a.text;
    a.pending = vxdl::when_shown(
        box,
        [text, button](Widget w) {
            *text = vxdl::message(w);
            vxdl::press_box(w, button);
        },
        bound);
    return a;
}

const int dialog_ids[] = {4, 24, 25, 26};

class DbCommands : public wstest::Dictionary {
protected:
    std::string install;

    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        wstest::ensure_demo();
        // The table-list files go below an installation directory of the test.
        install = vxtest::temp_dir("mndb-install");
        std::filesystem::create_directories(install + "/etc/tables");
        setenv("QYDIR", install.c_str(), 1);
        vxdl::App &a = vxdl::app();
        dlmain_clear_dialogs();
        dlerr_initialise_error_dialog(&dlmain_dialogs[0]);
        dlwarn_initialise_warning_dialog(&dlmain_dialogs[1]);
        dlconf_initialise_confirm_dialog(&dlmain_dialogs[2]);
        dlmess_dialog_manage_error(&dlmain_dialogs[0]);
        dialog_manage_warning(&dlmain_dialogs[1]);
        dlmess_dialog_manage_confirm(&dlmain_dialogs[2]);
        dlmess_dialog_register_alternate_shell(a.top);
        dlmess_dialog_set_error_mode(1);
        relaxed_confirm = 0;
        dlfile_initialise_file_dialog(&dlmain_dialogs[4]);
        dldblst_initialise_database_list_dialog(&dlmain_dialogs[24]);
        dldblst_initialise_database_config_dialog(&dlmain_dialogs[25]);
        dlpwd_initialise_password_dialog(&dlmain_dialogs[26]);
        for (int id : dialog_ids) {
            DialogRecord *rec = &dlmain_dialogs[id];
            ASSERT_EQ(rec->create(rec, a.top), 0) << id;
            mnmisc_install_notify(id);
        }
        mnbld_mn_nlsfd = a.adata.catd;
        mnbld_mn_runmode = 0;
        wsdict_db_open = wsdict_db_exclusive = 0;
        dblist_dval = DbListValue{"", "TALMO", "", 0};
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        for (int id : {0, 1, 2, 4, 24, 25, 26})
            if (dlmain_dialogs[id].widget)
                dlmain_dialogs[id].destroy(&dlmain_dialogs[id]);
        vxdl::pump_idle();
        if (wsdict_db_open)
            qymgr_qy_query("CLOSE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
        wsdict_db_open = wsdict_db_exclusive = 0;
        relaxed_confirm = 0;
        wstest::Dictionary::TearDown();
        unsetenv("QYDIR");
        std::filesystem::remove_all(install);
    }
    static DialogRecord *rec(int id) { return &dlmain_dialogs[id]; }
    static bool shown(int id) { return rec(id)->widget && XtIsManaged(rec(id)->widget); }
    static void press(int id, unsigned char which) { vxdl::press(dl_box_button(rec(id)->widget, which)); }
    static void press_ok(int id) { press(id, XmDIALOG_OK_BUTTON); }
    // The database dialog filled through its value, shown by `command`.
    void database_dialog(void (*command)(Widget), const std::string &name, const std::string &location, int mode)
    {
        dl_copy(dblist_dval.name, name);
        dl_copy(dblist_dval.location, location);
        dblist_dval.mode = mode;
        command(nullptr);
        ASSERT_TRUE(shown(24));
    }
    // Types a password into the password dialog and presses its OK.
    void type_password(const char *password)
    {
        ASSERT_TRUE(shown(26));
        Widget text = XmSelectionBoxGetChild(rec(26)->widget, XmDIALOG_TEXT);
        ASSERT_TRUE(vxdl::wait_viewable(text));
        vxdl::type(text, password);
        press_ok(26);
    }
    std::string scratch_name(const char *tag)
    {
        char n[16];
        snprintf(n, sizeof n, "%s%04X", tag, static_cast<unsigned>(getpid()) & 0xffffu);
        return n;
    }
};

TEST_F(DbCommands, OpenAsTheBuiltInUserThenExclusivelyAndWriteTheSchema)
{
    start("BRASK");
    database_dialog(mndb_mn_open_database, "DEMO", "", 0);
    qykit::sent().clear();
    press_ok(24);
    std::vector<std::string> t = texts();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0], "SET %PASS 'BRASK'");
    EXPECT_EQ(t[1], "OPEN DEMO ");
    EXPECT_FALSE(shown(24));
    EXPECT_FALSE(shown(26));  // the built-in user is never asked
    EXPECT_EQ(wsdict_db_open, 1);
    EXPECT_EQ(wsdict_db_exclusive, 0);

    // Closing the open database is asked even when confirmation is relaxed.
    relaxed_confirm = 1;
    database_dialog(mndb_mn_open_database, "DEMO", "", 1);
    qykit::sent().clear();
    Answer close = answer("confirm", XmDIALOG_OK_BUTTON);
    press_ok(24);
    EXPECT_TRUE(close.shown());
    EXPECT_EQ(*close.text, "Close database DEMO?");
    t = texts();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[0], "CLOSE");
    EXPECT_EQ(t[1], "SET %PASS 'BRASK'");
    EXPECT_EQ(t[2], "OPEN DEMO EXCLUSIVE");
    EXPECT_EQ(wsdict_db_exclusive, 1);
    EXPECT_FALSE(shown(26));

    // The schema goes to the file named in the file dialog.
    std::string dir = vxtest::temp_dir("mndb-schema");
    struct Case {
        std::string path;
        bool written;
    } cases[] = {{dir + "/demo.schema", true}, {dir + "/no/such/dir/demo.schema", false}};
    for (const Case &c : cases) {
        mndb_mn_schema_database(nullptr);
        ASSERT_TRUE(shown(4));
        vxdl::set_text(XmFileSelectionBoxGetChild(rec(4)->widget, XmDIALOG_TEXT), c.path.c_str());
        Answer error = answer("error", XmDIALOG_OK_BUTTON, c.written ? 300ms : 5s);
        press_ok(4);
        vxdl::cancel_pending();
        EXPECT_EQ(error.shown(), !c.written) << c.path;
        if (c.written) {
            std::ifstream in(c.path);
            std::stringstream s;
            s << in.rdbuf();
            EXPECT_NE(s.str().find("SALES"), std::string::npos) << s.str().substr(0, 400);
        } else {
            EXPECT_EQ(*error.text, "Cannot write the schema to " + c.path);
        }
        if (shown(4))
            press(4, XmDIALOG_CANCEL_BUTTON);
    }
}

TEST_F(DbCommands, OpenAsAnotherUserAsksThePassword)
{
    start("GUEST");
    // A wrong password: the interpreter's refusal is shown, nothing is open.
    database_dialog(mndb_mn_open_database, "DEMO", "", 0);
    press_ok(24);
    qykit::boxes().clear();
    qykit::sent().clear();
    type_password("WRONG");
    EXPECT_EQ(texts(), (std::vector<std::string>{"SET %PASS 'WRONG'", "OPEN DEMO "}));
    EXPECT_EQ(qykit::boxes().size(), 1u);
    EXPECT_EQ(wsdict_db_open, 0);
    EXPECT_FALSE(shown(26));

    database_dialog(mndb_mn_open_database, "DEMO", "", 0);
    press_ok(24);
    qykit::sent().clear();
    type_password("GUEST");
    std::vector<std::string> t = texts();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0], "SET %PASS 'GUEST'");
    EXPECT_EQ(t[1], "OPEN DEMO ");
    EXPECT_EQ(wsdict_db_open, 1);
    EXPECT_STREQ(wsdict_dictionary->user, "GUEST");
}

TEST_F(DbCommands, BuildGiveTablesAndDrop)
{
    start("BRASK");
    relaxed_confirm = 1;
    std::string name = scratch_name("BD");
    std::string where = vxtest::temp_dir("mndb-build");
    scratch_dirs.push_back(where);
    database_dialog(mndb_mn_build_database, name, where, 0);
    qykit::sent().clear();
    Answer build = answer("confirm", XmDIALOG_OK_BUTTON, 300ms);
    press_ok(24);
    vxdl::cancel_pending();
    EXPECT_FALSE(build.shown());  // skipped under relaxed confirmation
    std::vector<std::string> t = texts();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0], "CREATE DATABASE " + name + " ON '" + where + "'");
    EXPECT_EQ(t[1], "OPEN " + name + " EXCLUSIVE");
    scratch = name;
    ASSERT_EQ(wsdict_db_open, 1);
    EXPECT_EQ(wsdict_db_exclusive, 1);

    ok("CREATE ITEM A AS LONG(4)");
    ok("CREATE T1[10] AS A PRIMARY");
    ok("CREATE T2[10] AS A");
    mnqview_mn_reread_dictionary(nullptr);  // no box without a widget
    const std::string list = install + "/etc/tables/" + name + ".BRASK";
    EXPECT_EQ(access(list.c_str(), F_OK), 0) << list;

    // Dropping is asked even when confirmation is relaxed.
    qykit::sent().clear();
    Answer drop = answer("confirm", XmDIALOG_OK_BUTTON);
    mndb_mn_drop_database(nullptr);
    EXPECT_TRUE(drop.shown());
    EXPECT_EQ(*drop.text, "Drop database " + name + " with all its tables? This cannot be undone.");
    EXPECT_EQ(texts(), (std::vector<std::string>{"DROP T1", "DROP T2", "CLOSE", "DROP DATABASE " + name}));
    EXPECT_EQ(wsdict_db_open, 0);
    EXPECT_EQ(wsdict_db_exclusive, 0);
    EXPECT_NE(access(list.c_str(), F_OK), 0);  // the users' table lists go with it
    // It is gone: opening it again fails.
    qymgr_qy_query(("OPEN " + name).c_str(), QY_NOWAIT, QY_ASIS, QY_IGNORE);
    EXPECT_FALSE(qymgr_qy_ok());
    scratch.clear();
}

TEST_F(DbCommands, ConfigureShowsTheValuesAndClosesHoweverTheDialogGoes)
{
    start("BRASK");
    make_scratch("CF");
    ok("CLOSE");
    const std::string where = scratch_dirs.back();
    auto configure = [&] {
        database_dialog(mndb_mn_configure_database, scratch, where, 0);
        press_ok(24);
        ASSERT_TRUE(shown(25));
    };
    Widget mem = nullptr;
    auto close_sent_alone = [&] {
        ASSERT_EQ(qykit::sent().size(), 1u);
        EXPECT_EQ(qykit::sent()[0].text, "CLOSE");
        EXPECT_EQ(qykit::sent()[0].modes, qymgr_mode_word(QY_NOWAIT, QY_ASIS, -1));
    };

    // Cancel and the window manager's close each end the exclusive open.
    configure();
    mem = vxdl::at(rec(25)->widget, "form1/frame1/form2/memT");
    ASSERT_NE(mem, nullptr);
    EXPECT_GT(dbconfig_dval.field[DBC_MEM], 0);
    EXPECT_EQ(vxdl::text(mem), std::to_string(dbconfig_dval.field[DBC_MEM]));
    qykit::sent().clear();
    press(25, XmDIALOG_CANCEL_BUTTON);
    EXPECT_FALSE(shown(25));
    close_sent_alone();

    configure();
    qykit::sent().clear();
    vxdl::wm_close(rec(25)->widget);
    vxdl::pump_until([] { return !qykit::sent().empty(); });
    close_sent_alone();
    EXPECT_EQ(wsdict_db_open, 0);

    // OK configures; the next Configure shows the new value.
    configure();
    int memory = dbconfig_dval.field[DBC_MEM] + 256;
    vxdl::set_text(mem, std::to_string(memory).c_str());
    qykit::sent().clear();
    press_ok(25);
    EXPECT_TRUE(sent("CLOSE"));
    bool configured = false;
    for (const std::string &s : texts())
        configured |= s.rfind("CONFIGURE DATABASE " + scratch + " SET %MEMSIZE " + std::to_string(memory), 0) == 0;
    EXPECT_TRUE(configured) << ::testing::PrintToString(texts());
    configure();
    EXPECT_EQ(vxdl::text(mem), std::to_string(memory));
    qykit::sent().clear();
    press(25, XmDIALOG_CANCEL_BUTTON);
    close_sent_alone();
}

TEST_F(DbCommands, ChangePasswordAsksTwiceAndSendsOnlyEqualTexts)
{
    start("BRASK");
    make_scratch("PW");
    ok("CREATE USER ALICE, 'OLD' WITH 'DBA'");
    ok("CLOSE");
    qymgr_qy_term();
    start("ALICE");
    const std::string name = scratch;
    ok("SET %PASS 'OLD'");
    ok("OPEN " + name);
    wsdict_ws_read_dictionary(name.c_str());
    wsdict_db_open = 1;

    struct Case {
        const char *first, *second;
        bool changed;
    } cases[] = {{"NEW1", "NEW2", false}, {"NEW1", "NEW1", true}};
    for (const Case &c : cases) {
        mndb_mn_password_database(nullptr);
        Answer again = answer("warning", XmDIALOG_OK_BUTTON);
        type_password(c.first);
        EXPECT_TRUE(again.shown());
        EXPECT_EQ(*again.text, "Type the new password once more");
        EXPECT_TRUE(shown(26));  // it stays up for the second text
        qykit::sent().clear();
        Answer differ = answer("error", XmDIALOG_OK_BUTTON, c.changed ? 300ms : 5s);
        type_password(c.second);
        vxdl::cancel_pending();
        EXPECT_FALSE(shown(26));
        EXPECT_EQ(differ.shown(), !c.changed) << c.second;
        if (c.changed)
            EXPECT_EQ(texts(), (std::vector<std::string>{std::string("SET %PASS '") + c.second + "'"}));
        else
            EXPECT_TRUE(texts().empty());
    }

    // The next open needs the new password.
    ok("CLOSE");
    wsdict_db_open = 0;
    qykit::boxes().clear();
    EXPECT_EQ(mndb_mn_open_db(name.c_str(), "", "OLD", 0), nullptr);
    EXPECT_EQ(mndb_mn_open_db(name.c_str(), "", "NEW1", 0), name);
    EXPECT_EQ(wsdict_db_open, 1);
    // The owner drops the scratch database at the end.
    ok("CLOSE");
    wsdict_db_open = 0;
    qymgr_qy_term();
    start("BRASK");
}

}  // namespace
