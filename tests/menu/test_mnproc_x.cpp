// The query window's DOZ and Procedure commands in the built windows on the
// test X server, against the installed interpreter: a statement typed into
// the DOZ dialog shows its rows in the table view; a typed DROP asks the
// interpreter's question; Save as writes the procedure file into the
// user's directory of the database; after a new view, Load and run shows
// the rows again.

#include "wstest.h"  // first: gtest before the X headers

#include "dltestkit.h"

#include "dlkit.h"
#include "dlmess.h"
#include "dygrph.h"
#include "dymain.h"
#include "giinit.h"
#include "glinit.h"
#include "gpinit.h"
#include "gx11.h"
#include "dytab.h"
#include "mnbld.h"
#include "mngraph.h"
#include "mndb.h"
#include "mndy.h"
#include "mnproc.h"
#include "mnquery.h"
#include "mnqy.h"
#include "prmgr.h"
#include "qychk.h"
#include "startup.h"
#include "vxcat.h"
#include "vxmain.h"

#include <Xm/Command.h>
#include <Xm/FileSB.h>
#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>

#include <filesystem>
#include <pwd.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool table_shows(const char *text)
{
    const DyLineStore *s = dytab_store();
    if (!s)
        return false;
    for (int i = 0; i < s->count(); i++)
        if (s->text(i).find(text) != std::string::npos)
            return true;
    return false;
}

// The graphics library with the X11 device, as start-up installs it.
void start_graphics(const std::string &install)
{
    static bool started = false;
    if (started)
        return;
    gpinit_GInstallDriver();
    giinit_GInstallDriver();
    x11_GInstallDriver();
    glinit_GInstallDriver();
    const std::string etc = install + "/etc";
    ASSERT_EQ(GInitialise(etc.c_str(), (etc + "/pelx.cfg").c_str(), vx_catalogue_path(install.c_str(), "pelx").c_str(),
                          (etc + "/pelx.rgb").c_str()),
              0);
    started = true;
}

// Answers the next box of a name on the display window's shell, where the
// display's commands ask their questions.
struct DisplayAnswer {
    const char *name;
    unsigned char button;
    bool ran = false;
    XtIntervalId id = 0;
    static void tick(XtPointer p, XtIntervalId *)
    {
        auto *a = static_cast<DisplayAnswer *>(p);
        a->id = 0;
        Widget w = XtNameToWidget(displevel, (std::string("*") + a->name).c_str());
        if (w && XtIsManaged(w)) {
            a->ran = true;
            vxdl::press_box(w, a->button);
            return;
        }
        a->id = XtAppAddTimeOut(vxdl::app().context, 10, tick, p);
    }
    DisplayAnswer(const char *n, unsigned char b) : name(n), button(b)
    {
        id = XtAppAddTimeOut(vxdl::app().context, 10, tick, this);
    }
    ~DisplayAnswer()
    {
        if (id)
            XtRemoveTimeOut(id);
    }
};

class Commands : public wstest::Dictionary {
protected:
    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        wstest::ensure_demo();
        setenv("QYDIR", vxtest::install_dir().c_str(), 1);
        vxdl::App &a = vxdl::app();
        dlmain_clear_dialogs();
        for (int i = 0; i < mnqy_handle_count; i++)
            *mnqy_handles[i].widget = nullptr;
        adata = a.adata;
        adata.runMode = RUN_INTERACTIVE;
        adata.menuFont = a.adata.labelFont;
        adata.textFont = a.adata.dataFont;
        adata.displayBufferSize = 200;
        adata.nomap = 0;
        adata.displayId = nullptr;
        adata.install_dir = const_cast<char *>(install.c_str());
        toplevel = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display, XmNwidth,
                                      300, XmNheight, 200, nullptr);
        start_graphics(install);
        startup_build_user_interface(False);
        // The size the application defaults would give the display window.
        XtVaSetValues(displevel, XmNwidth, 560, XmNheight, 300, nullptr);
        ASSERT_TRUE(vxdl::wait_viewable(dymain_dy_canvas()));
        // The new-data notice needs the canvas before the interpreter starts.
        start("BRASK");
        // The boxes come up on the kit's shells, where its helpers find them.
        qymgr_qy_use_x(a.context, a.top);
        dlmess_dialog_register_alternate_shell(a.other);
        XSync(a.display, False);
        prmgr_pr_new_procedure();
        mnproc_mn_new_procedure();
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        qymgr_qy_set_ui(nullptr);
        prmgr_pr_new_procedure();
        wsdict_db_open = 0;
        wstest::Dictionary::TearDown();
    }
    std::string install = vxtest::install_dir();

    // Types a statement into the DOZ dialog and presses Return.
    void doz(const std::string &text)
    {
        mnquery_doz(nullptr);
        Widget cmd = dlmain_dialogs[30].widget;
        ASSERT_NE(cmd, nullptr);
        Widget field = XmCommandGetChild(cmd, XmDIALOG_COMMAND_TEXT);
        ASSERT_TRUE(vxdl::wait_viewable(field));
        vxdl::retype(field, text);
        vxdl::key(field, "Return");
    }
    // Opens dialog 31 by a command, types the name and presses OK.
    void procedure(void (*command)(Widget), const char *name)
    {
        command(nullptr);
        DialogRecord &rec = dlmain_dialogs[31];
        ASSERT_NE(rec.widget, nullptr);
        ASSERT_TRUE(vxdl::wait_viewable(rec.widget));
        vxdl::set_text(vxdl::at(rec.widget, "form1/frame/form2/procname"), name);
        vxdl::press_box(rec.widget, XmDIALOG_OK_BUTTON);
    }
};

TEST_F(Commands, TypedStatementSavedAndRunAgain)
{
    // The Procedure pane follows the open database and the recording.
    ASSERT_NE(proc_load_b, nullptr);
    EXPECT_FALSE(XtIsSensitive(proc_load_b));
    ASSERT_STREQ(mndb_mn_open_db("DEMO", "", "BRASK", 0), "DEMO");
    EXPECT_TRUE(XtIsSensitive(proc_load_b));
    EXPECT_FALSE(XtIsSensitive(proc_save_as_b));
    const std::string dir = install + "/etc/procedures/DEMO.BRASK";
    std::filesystem::remove_all(dir);

    doz("DISPLAY DEPTNO, DNAME FROM DEPT");
    bool rows_shown = vxdl::pump_until([] { return table_shows("Administration"); });
    ASSERT_TRUE(rows_shown);
    EXPECT_TRUE(table_shows("Research"));
    ASSERT_TRUE(prmgr_pr_query_registered(PR_DATA));
    EXPECT_TRUE(XtIsSensitive(proc_save_as_b));
    EXPECT_FALSE(XtIsSensitive(proc_save_b));
    dlmain_dialogs[30].popdown(&dlmain_dialogs[30]);

    // The query schema of the recorded data query: a new file gets the
    // header, a second write appends the next query number; a file that
    // cannot be opened says so.
    const std::string schema_dir = vxtest::temp_dir("mnschema");
    auto schema = [](const std::string &path) {
        mnquery_mn_write_query_schema(nullptr);
        Widget box = dlmain_dialogs[4].widget;
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(vxdl::wait_viewable(box));
        vxdl::set_text(XmFileSelectionBoxGetChild(box, XmDIALOG_TEXT), path.c_str());
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
    };
    schema(schema_dir + "/q.h");
    schema(schema_dir + "/q.h");
    const std::string h = slurp(schema_dir + "/q.h");
    EXPECT_EQ(h.find("#include \"progif.c.h\""), h.rfind("#include \"progif.c.h\"")) << h;
    EXPECT_NE(h.find("/* Structure for query 1\n     DISPLAY DEPTNO, DNAME FROM DEPT\n"), std::string::npos) << h;
    EXPECT_NE(h.find("/* Structure for query 2\n"), std::string::npos) << h;
    std::string refused;
    auto e = vxdl::when_shown("error", [&](Widget box) {
        refused = vxdl::message(box);
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
    });
    schema(schema_dir + "/none/q.h");
    EXPECT_TRUE(e->ran);
    EXPECT_NE(refused.find(schema_dir + "/none/q.h"), std::string::npos) << refused;
    std::filesystem::remove_all(schema_dir);

    procedure(mnproc_mn_save_as, "DEPTS");
    const std::string file = dir + "/DEPTS";
    EXPECT_EQ(slurp(file),
              "table\nstartgraph\nendgraph\nstartquery\n\tdata\n\tquery DISPLAY DEPTNO, DNAME FROM DEPT\nendquery\n");
    // The file and its directory are the user's own: others read them,
    // none changes them.
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_STREQ(currentproc, "DEPTS");

    // Save as asks before replacing; No keeps the file.
    auto p = vxdl::when_shown("confirm", [](Widget box) { vxdl::press_box(box, XmDIALOG_CANCEL_BUTTON); });
    procedure(mnproc_mn_save_as, "DEPTS");
    EXPECT_TRUE(p->ran);
    if (XtIsManaged(dlmain_dialogs[31].widget))
        dlmain_dialogs[31].popdown(&dlmain_dialogs[31]);

    // A new view, then the procedure shows the same rows.
    mngraph_mn_new_view(0, 1);
    prmgr_pr_new_procedure();
    EXPECT_FALSE(table_shows("Research"));
    procedure(mnproc_mn_load_and_run, "DEPTS");
    ASSERT_TRUE(vxdl::pump_until([] { return table_shows("Administration"); }));
    EXPECT_STREQ(currentproc, "DEPTS");
    // The replay recorded the block again.
    EXPECT_TRUE(prmgr_pr_active_procedure());

    // A name that is nowhere.
    std::string shown;
    p = vxdl::when_shown("error", [&](Widget box) {
        shown = vxdl::message(box);
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
    });
    EXPECT_EQ(mnproc_mn_execute_proc("NOSUCH", 1, 0, 0, 0, nullptr), 1);
    EXPECT_TRUE(p->ran);
    EXPECT_NE(shown.find("NOSUCH"), std::string::npos) << shown;
    EXPECT_EQ(mnproc_mn_execute_proc("DEPTS", 1, 1, 0, 0, nullptr), 0);
    EXPECT_TRUE(table_shows("Administration"));

    // Without graph editing, run mode 3 becomes 4 until a run with it.
    const int mode = mnbld_mn_runmode;
    struct Step {
        int no_graph_editing, mode_after;
    } steps[] = {{1, 4}, {1, 4}, {0, 3}, {0, 3}};
    mnbld_mn_runmode = 3;
    for (const Step &st : steps) {
        EXPECT_EQ(mnproc_mn_execute_proc("DEPTS", 1, 1, st.no_graph_editing, 0, nullptr), 0);
        EXPECT_EQ(mnbld_mn_runmode, st.mode_after);
    }
    mnbld_mn_runmode = mode;

    // A procedure another user could have planted or changed is refused,
    // named in the box, and nothing of it runs: one writable by all, and
    // (run as root) one of another account.
    const std::string marker = vxtest::temp_dir("mnplant") + "/ran";
    const std::string planted = "table\nstartgraph\nendgraph\nstartquery\n\tpipe cat > '" + marker +
                                "'\n\tquery DISPLAY DEPTNO FROM DEPT\nendquery\n";
    const passwd *nobody = getpwnam("nobody");
    struct Plant {
        const char *name;
        mode_t mode;
        bool other_owner;
    } plants[] = {{"OPEN", 0666, false}, {"THEIRS", 0644, true}};
    for (const Plant &pl : plants) {
        if (pl.other_owner && (geteuid() != 0 || !nobody))
            continue;
        const std::string path = dir + "/" + pl.name;
        std::ofstream(path) << planted;
        chmod(path.c_str(), pl.mode);
        if (pl.other_owner) {
            ASSERT_EQ(chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
        for (int report : {1, 0}) {
            std::string told;
            auto box = vxdl::when_shown("error", [&](Widget w) {
                told = vxdl::message(w);
                vxdl::press_box(w, XmDIALOG_OK_BUTTON);
            });
            EXPECT_EQ(mnproc_mn_execute_proc(pl.name, report, 1, 0, 0, nullptr), 1) << pl.name;
            EXPECT_TRUE(box->ran) << pl.name;
            EXPECT_EQ(told, path + "belongs to another user or can be changed by other users: it is not used.");
        }
        EXPECT_FALSE(std::filesystem::exists(marker)) << pl.name;
    }
    std::filesystem::remove_all(std::filesystem::path(marker).parent_path());
    std::filesystem::remove_all(dir);
}

// Without the position and size lines, which a replay may move by a pixel
// (the file keeps percentages to two decimals, the replay truncates).
std::string without_geometry(const std::string &text)
{
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line))
        if (line.rfind("position ", 0) != 0 && line.rfind("size ", 0) != 0)
            out += line + "\n";
    return out;
}

// In the graph view: a graph's place, data order and format are saved with
// its query; after a new view the procedure makes the graph again where it
// was, with its format, shows the rows in it, and saves the same file.
TEST_F(Commands, GraphSavedAndMadeAgain)
{
    ASSERT_STREQ(mndb_mn_open_db("DEMO", "", "BRASK", 0), "DEMO");
    const std::string dir = install + "/etc/procedures/DEMO.BRASK";
    std::filesystem::remove_all(dir);
    mndview_mn_as_graph(nullptr);
    mngraph_mn_new_view(0, 1);
    GoGraph *g = dygrph_dy_focussed_graph();
    ASSERT_NE(g, nullptr);
    const int rect[4] = {20, 30, 200, 120};
    ASSERT_TRUE(dygraph_dy_explicit_pos_graph(g, 1, rect));
    const int five = 5;
    goprop_go_set_property(g, GP_COLOUR, 0, &five);
    goprop_go_set_property(g, GP_YMAXIMUM, 0, "3000");

    auto shows_data = [] {
        GoGraph *f = dygrph_dy_focussed_graph();
        return f && f->first != -1;
    };
    doz("DISPLAY N, N*N FROM NUMS WHERE N<50");
    ASSERT_TRUE(vxdl::pump_until(shows_data));
    dlmain_dialogs[30].popdown(&dlmain_dialogs[30]);
    procedure(mnproc_mn_save_as, "GRAPHS");
    const std::string saved = slurp(dir + "/GRAPHS");
    ASSERT_EQ(saved.rfind("graph\nstartgraph\nposition ", 0), 0u) << saved.substr(0, 200);
    EXPECT_NE(saved.find("\norder 3\n\tgraphtype 0\n"), std::string::npos);
    EXPECT_NE(saved.find("\tcolour 0 5\n"), std::string::npos);
    EXPECT_NE(saved.find("\t;\nendgraph\nstartquery\n\tdata\n\tquery DISPLAY N, N*N FROM NUMS WHERE N<50\nendquery\n"),
              std::string::npos);

    mngraph_mn_new_view(0, 1);
    EXPECT_FALSE(shows_data());
    procedure(mnproc_mn_load_and_run, "GRAPHS");
    ASSERT_TRUE(vxdl::pump_until(shows_data));
    // The replay kept the rows with their graph.
    EXPECT_TRUE(dygrph_dy_graph_has_data());
    EXPECT_STREQ(currentproc, "GRAPHS");
    int count = 0, keeps = 0;
    GoGraph *selected = nullptr, *focussed = nullptr;
    dygraph_dy_get_graph_state(&count, &selected, &focussed, &keeps);
    ASSERT_EQ(count, 1);
    ASSERT_NE(focussed, nullptr);
    EXPECT_NEAR(focussed->x, rect[0], 1);
    EXPECT_NEAR(focussed->y, rect[1], 1);
    EXPECT_NEAR(focussed->width, rect[2], 1);
    EXPECT_NEAR(focussed->height, rect[3], 1);
    const int *colour = static_cast<const int *>(goprop_go_property(focussed, GP_COLOUR, 0, 0));
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(*colour, 5);
    EXPECT_STREQ(static_cast<const char *>(goprop_go_property(focussed, GP_YMAXIMUM, 0, 0)), "3000");

    // The replay recorded the graph with its query again.
    procedure(mnproc_mn_save_as, "GRAPHS2");
    EXPECT_EQ(without_geometry(slurp(dir + "/GRAPHS2")), without_geometry(saved));
    mndview_mn_as_table(nullptr);
    std::filesystem::remove_all(dir);
}

// Graph, New view (code 41) asks first: No keeps the rows and the
// recording, Yes frees them and forgets the procedure's name.
// A replayed group leaves the interpreter's result table: the canvas shows
// it as RSLT, the name the user knows, not the connection's own name.
TEST_F(Commands, AReplayedGroupShowsItsResultAsRslt)
{
    ASSERT_STREQ(mndb_mn_open_db("DEMO", "", "BRASK", 0), "DEMO");
    const std::string dir = install + "/etc/procedures/DEMO.BRASK";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/GRP") << "table\nstartgraph\nendgraph\nstartquery\n\tnodata\n"
                                   "\tquery GROUP DEPT BY CITY TOTAL BUDGET AS TOT\nendquery\n";
    chmod((dir + "/GRP").c_str(), 0644);
    procedure(mnproc_mn_load_and_run, "GRP");
    auto shown_as = [](const char *prefix) {
        std::string names;
        for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next)
            if (r->table_object && strncmp(r->name, prefix, 4) == 0)
                names += std::string(r->name) + " ";
        return names;
    };
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown_as("RSLT").empty(); })) << wsdict_dictionary->result;
    EXPECT_EQ(shown_as("RSLT"), "RSLT ");
    EXPECT_STRNE(wsdict_dictionary->result, "RSLT");  // the fixture shows the fault only so
    EXPECT_EQ(shown_as(wsdict_dictionary->result), "") << wsdict_dictionary->result;
    qymgr_qy_query("DROP RSLT", QY_WAIT, QY_ASIS, QY_IGNORE);
    std::filesystem::remove_all(dir);
}

// A broken file's box says where it broke, as its second text.
TEST_F(Commands, ABrokenProcedureSaysWhere)
{
    ASSERT_STREQ(mndb_mn_open_db("DEMO", "", "BRASK", 0), "DEMO");
    const std::string dir = install + "/etc/procedures/DEMO.BRASK";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/BROKEN") << "table\nstartgraph\nendgraph\nstartquery\n\tdta\n";
    chmod((dir + "/BROKEN").c_str(), 0644);
    std::string shown;
    auto e = vxdl::when_shown("error", [&](Widget box) {
        shown = vxdl::message(box);
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
    });
    procedure(mnproc_mn_load_and_run, "BROKEN");
    EXPECT_TRUE(e->ran);
    // The kit reads the box's lines without their breaks.
    EXPECT_EQ(shown, "The procedure BROKEN could not be run to its end"
                     "Line 5: \"dta\" does not belong here.");
    if (XtIsManaged(dlmain_dialogs[31].widget))
        dlmain_dialogs[31].popdown(&dlmain_dialogs[31]);
    std::filesystem::remove_all(dir);
}

TEST_F(Commands, NewViewAsksThenStartsAfresh)
{
    ASSERT_STREQ(mndb_mn_open_db("DEMO", "", "BRASK", 0), "DEMO");
    doz("DISPLAY DEPTNO, DNAME FROM DEPT");
    ASSERT_TRUE(vxdl::pump_until([] { return table_shows("Administration"); }));
    dlmain_dialogs[30].popdown(&dlmain_dialogs[30]);
    snprintf(currentproc, sizeof currentproc, "%s", "DEPTS");
    for (unsigned char button : {XmDIALOG_CANCEL_BUTTON, XmDIALOG_OK_BUTTON}) {
        DisplayAnswer answer("confirm", button);
        dmenu_cb(nullptr, reinterpret_cast<XtPointer>(41), nullptr);
        EXPECT_TRUE(answer.ran);
        const bool kept = button == XmDIALOG_CANCEL_BUTTON;
        EXPECT_EQ(table_shows("Administration"), kept);
        EXPECT_EQ(currentproc[0] != '\0', kept);
        EXPECT_EQ(prmgr_pr_query_registered(PR_DATA) != 0, kept);
    }
}

// A typed DROP: the interpreter's question is asked, forced; No keeps the
// table, Yes drops it.
TEST_F(Commands, TypedDropAsksTheInterpretersQuestion)
{
    make_scratch("P");
    ok("CREATE ITEM N AS SHORT(4)");
    ok("CREATE T[10] AS N PRIMARY");
    wsdict_db_open = 1;
    for (unsigned char button : {XmDIALOG_CANCEL_BUTTON, XmDIALOG_OK_BUTTON}) {
        std::string question;
        auto p = vxdl::when_shown("confirm", [&question, button](Widget box) {
            question = vxdl::message(box);
            vxdl::press_box(box, button);
        });
        doz("DROP T");
        ASSERT_TRUE(vxdl::pump_until([&] { return p->ran; }));
        EXPECT_NE(question.find("T"), std::string::npos) << question;
        vxdl::pump_idle();
        EXPECT_EQ(qychk_table_rows("T") >= 0, button == XmDIALOG_CANCEL_BUTTON);
        dlmain_dialogs[30].popdown(&dlmain_dialogs[30]);
    }
}

}  // namespace
