// The user's road through the index, user and privilege editors, in the
// query window as start-up builds it, on a copy of the demo database
// opened exclusively by its owner BRASK (a DBA), with the installed
// interpreter.  The tools are dragged onto the canvas, columns clicked,
// names and passwords typed through XTest; the system tables' rows show
// what reached the database, and a second start as the new user shows the
// rows its restricted privilege lets it read.  Bad input leaves the system
// tables as they were.  The privilege editor on STAFF is saved as a
// picture (into $VX_IMAGE_DIR when set, for scripts/images.sh).

#include "dltestkit.h"  // first: gtest before the X headers
#include "wstest.h"
#include "qytest.h"

#include "dlkit.h"
#include "dlmain.h"
#include "dypicture.h"
#include "mnmisc.h"
#include "obdict.h"
#include "obmain.h"
#include "qymgr.h"
#include "startup.h"
#include "vxmain.h"
#include "vxmsg.h"
#include "vxtest_x.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsmgr.h"
#include "wsobjmgr.h"
#include "wstables.h"

#include <X11/extensions/XTest.h>
#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>

#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

Display *dpy() { return vxdl::app().display; }

using Rows = std::vector<wstest::Row>;

// ---- the program ---------------------------------------------------------------------------

std::string copy_name;
std::string copy_location;

// A copy of DEMO: a database made by the interpreter (registered and
// dropped as any other), its file replaced by DEMO's.
void make_demo_copy()
{
    char name[16];
    snprintf(name, sizeof name, "RS%04X", static_cast<unsigned>(getpid()) & 0xffffu);
    copy_name = name;
    copy_location = vxtest::temp_dir("schemaroad");
    qymgr_qy_query(("CREATE DATABASE " + copy_name + " ON '" + copy_location + "'").c_str(), QY_WAIT, QY_ASIS,
                   QY_REPORT);
    ASSERT_TRUE(qymgr_qy_ok());
    const fs::path demo = fs::path(vxtest::install_dir()) / "server" / "DEMO";
    const fs::path copy = fs::path(copy_location) / copy_name;
    for (const char *f : {"doz.sqlite-wal", "doz.sqlite-shm"})
        fs::remove(copy / f);
    fs::copy_file(demo / "doz.sqlite", copy / "doz.sqlite", fs::copy_options::overwrite_existing);
    if (fs::exists(demo / "doz.sqlite-wal"))
        fs::copy_file(demo / "doz.sqlite-wal", copy / "doz.sqlite-wal", fs::copy_options::overwrite_existing);
}

// The interpreter connection as `user` with `password`, the copy opened
// exclusively or shared.
void connect(const char *user, const char *password, bool exclusive)
{
    adata.user_name = const_cast<char *>(user);
    qymgr_qy_init(&adata, 0, 0, 0, nullptr, 0, 1);
    ASSERT_GE(qymgr_qy_connection(), 0);
    if (password) {
        qymgr_qy_query((std::string("SET %PASS '") + password + "'").c_str(), QY_WAIT, QY_ASIS, QY_REPORT);
        ASSERT_TRUE(qymgr_qy_ok());
    }
    if (copy_name.empty())
        return;
    qymgr_qy_query(("OPEN " + copy_name + (exclusive ? " EXCLUSIVE" : "")).c_str(), QY_WAIT, QY_ASIS, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_ok());
    wsdict_db_open = 1;
    wsdict_db_exclusive = exclusive ? 1 : 0;
}

// The program's windows and interpreter, in start-up's order, the copy
// opened by BRASK through the workspace's half of opening.
void open_copy(bool exclusive);

void start_program(bool exclusive)
{
    vxdl::App &a = vxdl::app();
    dlmain_clear_dialogs();
    adata = a.adata;
    adata.runMode = RUN_INTERACTIVE;
    adata.menuFont = a.adata.labelFont;
    adata.textFont = a.adata.dataFont;
    adata.initialValidateQuery = True;
    adata.displayBufferSize = 200;
    adata.disableTooltips = True;
    adata.server_name = const_cast<char *>("");
    adata.buffer_size = adata.queryBufferSize = 200000;
    static std::string install = vxtest::install_dir();
    adata.install_dir = install.data();
    wsdict_ws_init_dictionary();
    qymgr_qy_set_workspace_hooks(mnmisc_mode_holder());
    toplevel = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display, XmNx, 0, XmNy,
                                  0, XmNwidth, 760, XmNheight, 560, nullptr);
    startup_build_user_interface(False);
    XtRealizeWidget(toplevel);
    ASSERT_TRUE(vxdl::wait_viewable(wsmain_ws_canvas()));
    qymgr_qy_use_x(a.context, toplevel);
    copy_name.clear();
    connect("BRASK", nullptr, false);
    if (testing::Test::HasFatalFailure())
        return;
    make_demo_copy();
    if (testing::Test::HasFatalFailure())
        return;
    open_copy(exclusive);
}

// The workspace's half of opening the copy, shared or exclusively.
void open_copy(bool exclusive)
{
    qymgr_qy_query(("OPEN " + copy_name + (exclusive ? " EXCLUSIVE" : "")).c_str(), QY_WAIT, QY_ASIS, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_ok());
    wsdict_db_open = 1;
    wsdict_db_exclusive = exclusive ? 1 : 0;
    ASSERT_EQ(wsdict_ws_read_dictionary(copy_name.c_str()), 1);
    wsobj_ws_set_table_list_file((copy_location + "/" + copy_name + ".BRASK").c_str());
    wsobj_ws_read_table_list(0);
    wsobj_ws_show_database();
    wsmain_ws_set_db_name(copy_name.c_str());
    XRaiseWindow(dpy(), XtWindow(toplevel));
    vxdl::pump_idle();
}

void close_copy()
{
    wsdict_ws_clear_dictionary_objects();
    wsdict_db_open = 0;
    qymgr_qy_query("CLOSE", QY_WAIT, QY_ASIS, QY_IGNORE);
    vxdl::pump_idle();
}

void stop_program()
{
    wsdict_ws_clear_dictionary_objects();
    wsdict_db_open = 0;
    qymgr_qy_query("CLOSE", QY_WAIT, QY_ASIS, QY_IGNORE);
    qymgr_qy_query(("DROP DATABASE " + copy_name).c_str(), QY_WAIT, QY_ASIS, QY_IGNORE);
    qymgr_qy_term();
    fs::remove_all(copy_location);
}

// ---- pointer and keyboard on the canvas ---------------------------------------------------------

QueryObject *column(const char *table, const char *name)
{
    DictColumn *c = obdict_ob_find_column(table, name);
    return c ? c->object : nullptr;
}
QueryObject *table(const char *name)
{
    DictRelation *r = wsdict_find_relation(name);
    return r ? r->table_object : nullptr;
}

// The root position of the middle of an object's select box, scrolled
// into view.
void root_of_object(QueryObject *o, int &rx, int &ry)
{
    const ObBox &s = o->select;
    wsmain_ws_position_at(std::max(0, s.x - 40), std::max(0, s.y - 60));
    vxdl::pump_idle();
    wsmain_ws_canvas_to_root(s.x + s.width / 2, s.y + s.height / 2, &rx, &ry);
}

// A click, and the canvas's click machine back at rest (a second click
// before that would make a double click).
void click_at(int rx, int ry)
{
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XSync(dpy(), False);
    vxdl::pump_idle();
    EXPECT_TRUE(vxdl::pump_until([] { return wsevent_ws_input_state() == 1; }));
}

void click_object(QueryObject *o)
{
    int rx = 0, ry = 0;
    root_of_object(o, rx, ry);
    click_at(rx, ry);
}

// A tool pressed, dragged to a root position and let go; the whole
// gesture is queued before the drag's own loop handles it.
void drop_tool_at(const char *tool_name, int rx, int ry)
{
    Widget tool = vxdl::find(toplevel, tool_name);
    ASSERT_NE(tool, nullptr) << tool_name;
    int tx = 0, ty = 0;
    vxdl::root_centre(tool, tx, ty);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), tx, ty, 0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), (tx + rx) / 2, (ty + ry) / 2, 0);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XSync(dpy(), False);
    vxdl::pump_idle();
}

void drop_tool(const char *tool_name, QueryObject *o)
{
    int rx = 0, ry = 0;
    root_of_object(o, rx, ry);
    drop_tool_at(tool_name, rx, ry);
}

// A point of the canvas that no table covers.
void drop_on_canvas(const char *tool_name)
{
    const ObBox v = wsmain_ws_visible_box();
    int rx = 0, ry = 0;
    wsmain_ws_canvas_to_root(v.x + v.width - 12, v.y + v.height - 12, &rx, &ry);
    drop_tool_at(tool_name, rx, ry);
}

DialogRecord *editor(int id) { return &dlmain_dialogs[static_cast<size_t>(id)]; }

// The editor's window moved right of the query window (it opens over the
// drop point, where the columns to click are).
void move_aside(int id)
{
    Widget shell = editor(id)->widget;
    while (shell && !XtIsShell(shell))
        shell = XtParent(shell);
    XMoveWindow(dpy(), XtWindow(shell), 800, 40);
    XtVaSetValues(shell, XmNx, 800, XmNy, 40, nullptr);
    XSync(dpy(), False);
    vxdl::pump_idle();
}
bool shown(int id) { return editor(id)->widget && XtIsManaged(editor(id)->widget); }
Widget named(int id, const char *name) { return vxdl::find(editor(id)->widget, name); }
Widget list_of(int id) { return XmSelectionBoxGetChild(editor(id)->widget, XmDIALOG_LIST); }
void click_button(int id, unsigned char which) { vxdl::click(dl_box_button(editor(id)->widget, which)); }

std::vector<std::string> items(int id)
{
    XmStringTable t = nullptr;
    int n = 0;
    XtVaGetValues(list_of(id), XmNitems, &t, XmNitemCount, &n, nullptr);
    std::vector<std::string> out;
    for (int i = 0; i < n; i++)
        out.push_back(vxdl::xmstring(t[i]));
    return out;
}
int item_of(int id, const std::string &prefix)
{
    const std::vector<std::string> all = items(id);
    for (size_t i = 0; i < all.size(); i++)
        if (all[i].rfind(prefix, 0) == 0)
            return static_cast<int>(i) + 1;
    ADD_FAILURE() << "no line " << prefix;
    return 1;
}

// An option menu's entry chosen with the pointer: the menu opened, the
// button clicked.
void choose(int id, int position)
{
    Widget om = named(id, "privO");
    vxdl::click(om);
    Widget b = named(id, dlmain_widget_name("priv%dB", position + 1));
    ASSERT_TRUE(vxdl::pump_until([&] { return XtIsManaged(XtParent(b)) && vxdl::wait_viewable(b); }));
    vxdl::click(b);
    ASSERT_TRUE(vxdl::pump_until([&] { return dlmain_get_option(om) == position; }));
    vxdl::pump_idle();
}

// Boxes of the message dialogs (0 error, 1 warning, 2 confirm) and the text-error
// box answered with OK from inside their own loops; their texts in order.
struct Answers {
    std::vector<std::string> texts;
    XtIntervalId timer = 0;
};
void poll_boxes(XtPointer client, XtIntervalId *)
{
    auto *a = static_cast<Answers *>(client);
    for (Widget box : {dlmain_dialogs[0].widget, dlmain_dialogs[1].widget, dlmain_dialogs[2].widget,
                       dlmain_text_error_box()})
        if (box && XtIsManaged(box) && XtIsRealized(box)) {
            a->texts.push_back(vxdl::message(box));
            vxdl::press_box(box, XmDIALOG_OK_BUTTON);
        }
    a->timer = XtAppAddTimeOut(vxdl::app().context, 10, poll_boxes, a);
}
std::vector<std::string> answered(const std::function<void()> &action)
{
    Answers a;
    a.timer = XtAppAddTimeOut(vxdl::app().context, 10, poll_boxes, &a);
    action();
    vxdl::pump_idle();
    vxdl::pump_idle();
    XtRemoveTimeOut(a.timer);
    return a.texts;
}

std::string object_message(int set, int number) { return vx_msg_text(obmain_ob_nlsfd, set, number, nullptr); }

// The system tables' rows: what a bad input must leave as it was.
std::string system_rows()
{
    std::string out;
    for (const char *t : {"%INDEXES", "%KEYS", "%USERS", "%PRIVS"}) {
        out += std::string(t) + "\n";
        for (const wstest::Row &r : wstest::read_full(std::string("DISPLAY * FROM ") + t)) {
            for (const std::string &f : r)
                out += f + "|";
            out += "\n";
        }
    }
    return out;
}

// Another connection can lock the table (it was left unlocked).
bool other_can_use(const char *name)
{
    int cid = -1;
    if (doz_init(&cid, "", "BRASK", DOZ_START_WORD) != 0)
        return false;
    auto run = [cid](const std::string &text) { return doz_query(cid, text.c_str()) == 0 && doz_error(cid) == 0; };
    const bool ok = run("OPEN " + copy_name) && run(std::string("USE ") + name + " EXCLUSIVE");
    doz_term(cid);
    return ok;
}

// ---- the picture ---------------------------------------------------------------------------------

void save_picture(int id)
{
    Widget shell = editor(id)->widget;
    while (shell && !XtIsShell(shell))
        shell = XtParent(shell);
    ASSERT_TRUE(vxdl::wait_viewable(list_of(id)));
    vxdl::pump_idle();
    // The shell's rectangle read from the root window.
    XWindowAttributes wa{};
    XGetWindowAttributes(dpy(), XtWindow(shell), &wa);
    Window child;
    int rx = 0, ry = 0;
    XTranslateCoordinates(dpy(), XtWindow(shell), DefaultRootWindow(dpy()), 0, 0, &rx, &ry, &child);
    dypic::Picture all = dypic::grab(dpy(), DefaultRootWindow(dpy()));
    dypic::Picture shot;
    const int x0 = std::max(0, rx), y0 = std::max(0, ry);
    shot.width = std::min(wa.width, all.width - x0);
    shot.height = std::min(wa.height, all.height - y0);
    for (int r = 0; r < shot.height; r++) {
        const auto *row = &all.rgb[3 * (static_cast<size_t>(y0 + r) * all.width + x0)];
        shot.rgb.insert(shot.rgb.end(), row, row + 3 * shot.width);
    }
    ASSERT_GT(shot.width, 0);
    const char *dir = getenv("VX_IMAGE_DIR");
    const std::string path = dir ? std::string(dir) + "/privilege-editor.png"
                                 : vxtest::temp_dir("schemaroad-picture") + "/privilege-editor.png";
    ASSERT_TRUE(dypic::save_png(shot, path)) << path;
    dypic::Picture back;
    ASSERT_TRUE(dypic::load_png(path, back));
    EXPECT_EQ(back.width, shot.width);
    EXPECT_TRUE(back.rgb == shot.rgb);
    if (!dir)
        fs::remove_all(fs::path(path).parent_path());
}

// ---- the road ------------------------------------------------------------------------------------

void close_editors()
{
    for (int id : {26, 17, 18, 19})
        if (shown(id))
            click_button(id, XmDIALOG_CANCEL_BUTTON);
    vxdl::pump_idle();
}

// With the copy open shared: the index made from picked columns and
// dropped again; bad keys; the user tool only shows.
void index_road()
{
    QueryObject *units = column("SALES", "UNITS"), *deptno = column("SALES", "DEPTNO");
    QueryObject *ename = column("STAFF", "ENAME");
    ASSERT_TRUE(units && deptno && ename && table("SALES"));
    const Rows indexes_before = wstest::read_full("DISPLAY * FROM %INDEXES");

    EXPECT_EQ(answered([] { drop_tool("indexTool", table("SALES")); }), std::vector<std::string>{});
    ASSERT_TRUE(vxdl::pump_until([] { return shown(17); }));
    EXPECT_TRUE(XtIsSensitive(dl_box_button(editor(17)->widget, XmDIALOG_OK_BUTTON)));
    EXPECT_EQ(items(17), std::vector<std::string>{});
    EXPECT_FALSE(XtIsSensitive(named(17, "delBut")));
    move_aside(17);
    click_object(units);

    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(named(17, "keyT")) == "UNITS"; }));
    click_object(ename);  // another table's column: nothing
    vxdl::pump_idle();
    click_object(deptno);
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(named(17, "keyT")) == "UNITS,DEPTNO"; }))
        << vxdl::text(named(17, "keyT"));
    const std::vector<std::string> said = answered([] {
        click_button(17, XmDIALOG_OK_BUTTON);
        vxdl::pump_until([] { return !shown(17); });
    });
    EXPECT_EQ(said, std::vector<std::string>{});
    ASSERT_FALSE(shown(17));
    const Rows indexes = wstest::read_full("DISPLAY * FROM %INDEXES WHERE %RNAME='SALES'");
    ASSERT_EQ(indexes.size(), 1u);
    EXPECT_EQ(wstest::read_full("DISPLAY * FROM %INDEXES").size(), indexes_before.size() + 1);
    EXPECT_EQ(wstest::read_full("DISPLAY * FROM %KEYS WHERE %RNAME='SALES'").size(), 2u);
    EXPECT_TRUE(other_can_use("SALES"));

    // Its line picked and Delete answered yes.
    drop_tool("indexTool", table("SALES"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(17); }));
    const std::vector<std::string> lines = items(17);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("BY UNITS, DEPTNO"), std::string::npos) << lines[0];
    vxdl::click_item(list_of(17), 1);
    ASSERT_TRUE(vxdl::pump_until([] { return XtIsSensitive(named(17, "delBut")); }));
    const std::vector<std::string> asked = answered([] { vxdl::click(named(17, "delBut")); });
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("SALES"), std::string::npos) << asked[0];
    EXPECT_TRUE(vxdl::pump_until([] { return items(17).empty(); }));
    EXPECT_EQ(wstest::read_full("DISPLAY * FROM %INDEXES WHERE %RNAME='SALES'"), Rows{});
    EXPECT_EQ(wstest::read_full("DISPLAY * FROM %KEYS WHERE %RNAME='SALES'"), Rows{});

    // Bad keys change nothing: none at all, and a column the table lacks.
    const std::string before = system_rows();
    dl_set_text(named(17, "keyT"), "");
    EXPECT_EQ(answered([] { click_button(17, XmDIALOG_OK_BUTTON); }), std::vector<std::string>{dl_text(-1, 7)});
    EXPECT_TRUE(shown(17));
    vxdl::retype(named(17, "keyT"), "NOSUCH");
    const std::vector<std::string> refused = answered([] { click_button(17, XmDIALOG_OK_BUTTON); });
    EXPECT_FALSE(refused.empty()) << "the interpreter's error box";
    vxdl::pump_idle();
    EXPECT_EQ(system_rows(), before);
    EXPECT_TRUE(other_can_use("SALES"));
    close_editors();
}

// With the copy open exclusively: a new user, a restricted Read, the rows
// the new user then reads, Default and Delete.
void user_road()
{
    ASSERT_TRUE(table("STAFF"));

    // The privilege editor on STAFF lists GUEST's restricted Read: the picture.
    drop_tool("privilegeTool", table("STAFF"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(19); }));
    EXPECT_NE(std::find(items(19).begin(), items(19).end(), "GUEST           READ       WHERE DEPTNO=10"),
              items(19).end());
    vxdl::click_item(list_of(19), item_of(19, "GUEST"));
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(named(19, "restrictionT")) == "DEPTNO=10"; }));
    save_picture(19);
    click_button(19, XmDIALOG_CANCEL_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(19); }));

    // The user tool on the canvas: TESTER, Create, password TPW.
    drop_on_canvas("userTool");
    ASSERT_TRUE(vxdl::pump_until([] { return shown(18); }));
    vxdl::retype(named(18, "userT"), "tester");
    choose(18, 1);
    click_button(18, XmDIALOG_OK_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(26); }));
    Widget password = XmSelectionBoxGetChild(editor(26)->widget, XmDIALOG_TEXT);
    ASSERT_TRUE(vxdl::wait_viewable(password));
    // Eleven characters: the field keeps ten.
    vxdl::type(password, "TPWTPWTPWTP");
    vxdl::pump_idle();
    EXPECT_EQ(vxdl::text(password), std::string(10, '*'));
    vxdl::retype(password, "TPW");
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(password) == "***"; }));
    click_button(26, XmDIALOG_OK_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(26) && !shown(18); }));
    EXPECT_EQ(wstest::read_full("DISPLAY %ACCESS FROM %USERS WHERE %UNAME='TESTER'"), (Rows{{"1"}}));

    // Read on STAFF for TESTER where DEPTNO=20.
    drop_tool("privilegeTool", table("STAFF"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(19); }));
    vxdl::retype(named(19, "userT"), "tester");
    choose(19, 1);
    vxdl::retype(named(19, "restrictionT"), "deptno=20");
    EXPECT_TRUE(answered([] { click_button(19, XmDIALOG_OK_BUTTON); }).empty());
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(19); }));
    EXPECT_EQ(wstest::read_full("DISPLAY %PRIV FROM %PRIVS WHERE %RNAME='STAFF' AND %UNAME='TESTER'"),
              (Rows{{"1"}}));
    const Rows wanted = wstest::read_full("DISPLAY * FROM STAFF WHERE DEPTNO=20");
    ASSERT_FALSE(wanted.empty());

    // Bad input in the privilege editor changes nothing.
    const std::string before = system_rows();
    drop_tool("privilegeTool", table("STAFF"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(19); }));
    vxdl::retype(named(19, "userT"), "nobody");
    EXPECT_EQ(answered([] { click_button(19, XmDIALOG_OK_BUTTON); }),
              std::vector<std::string>{vx_msg_vformat(dl_text(19, 7).c_str(), "NOBODY")});
    vxdl::retype(named(19, "userT"), "tester");
    for (const char *bad : {"SALES.UNITS=1", "DEPTNO+"}) {
        SCOPED_TRACE(bad);
        vxdl::retype(named(19, "restrictionT"), bad);
        const std::vector<std::string> texts = answered([] { click_button(19, XmDIALOG_OK_BUTTON); });
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), vx_msg_vformat(dl_text(19, 8).c_str(), dl_upper(bad).c_str()));
        EXPECT_TRUE(shown(19));
    }
    click_button(19, XmDIALOG_CANCEL_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(19); }));
    // A user name that is no name.
    drop_on_canvas("userTool");
    ASSERT_TRUE(vxdl::pump_until([] { return shown(18); }));
    vxdl::retype(named(18, "userT"), "a-b");
    EXPECT_EQ(answered([] { click_button(18, XmDIALOG_OK_BUTTON); }),
              std::vector<std::string>{vx_msg_vformat(dl_text(-1, 12).c_str(), "A-B")});
    EXPECT_FALSE(shown(26));
    click_button(18, XmDIALOG_CANCEL_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(18); }));
    EXPECT_EQ(system_rows(), before);

    // BRASK's program ends; started as TESTER with TPW it reads STAFF's
    // rows of department 20 only.
    qymgr_qy_query("CLOSE", QY_WAIT, QY_ASIS, QY_IGNORE);
    qymgr_qy_term();
    connect("TESTER", "TPW", false);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    EXPECT_EQ(wstest::read_full("DISPLAY * FROM STAFF"), wanted);
    qymgr_qy_query("CLOSE", QY_WAIT, QY_ASIS, QY_IGNORE);
    qymgr_qy_term();
    connect("BRASK", nullptr, true);
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    // Default on TESTER's line takes the entry away.
    drop_tool("privilegeTool", table("STAFF"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(19); }));
    vxdl::click_item(list_of(19), item_of(19, "TESTER"));
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(named(19, "userT")) == "TESTER"; }));
    choose(19, 7);
    click_button(19, XmDIALOG_APPLY_BUTTON);
    EXPECT_TRUE(vxdl::pump_until([] {
        const std::vector<std::string> all = items(19);
        return std::none_of(all.begin(), all.end(), [](const std::string &l) { return l.rfind("TESTER", 0) == 0; });
    }));
    EXPECT_EQ(wstest::read_full("DISPLAY %PRIV FROM %PRIVS WHERE %RNAME='STAFF' AND %UNAME='TESTER'"), Rows{});
    click_button(19, XmDIALOG_CANCEL_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(19); }));

    // Delete on TESTER in the user editor drops the user; BRASK's own line
    // cannot be changed or deleted.
    drop_on_canvas("userTool");
    ASSERT_TRUE(vxdl::pump_until([] { return shown(18); }));
    vxdl::click_item(list_of(18), item_of(18, "BRASK"));
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(named(18, "userT")) == "BRASK"; }));
    EXPECT_FALSE(XtIsSensitive(named(18, "privO")));
    EXPECT_FALSE(XtIsSensitive(named(18, "delBut")));
    vxdl::click_item(list_of(18), item_of(18, "TESTER"));
    ASSERT_TRUE(vxdl::pump_until([] { return XtIsSensitive(named(18, "delBut")); }));
    answered([] { vxdl::click(named(18, "delBut")); });
    EXPECT_TRUE(vxdl::pump_until([] {
        const std::vector<std::string> all = items(18);
        return std::none_of(all.begin(), all.end(), [](const std::string &l) { return l.rfind("TESTER", 0) == 0; });
    }));
    EXPECT_EQ(wstest::read_full("DISPLAY %UNAME FROM %USERS WHERE %UNAME='TESTER'"), Rows{});
    EXPECT_EQ(wstest::read_full("DISPLAY %UNAME FROM %PRIVS WHERE %UNAME='TESTER'"), Rows{});
}

// With the copy open shared the user editor only shows.
void shared_user_editor()
{
    std::vector<std::string> warned = answered([] { drop_on_canvas("userTool"); });
    ASSERT_TRUE(vxdl::pump_until([] { return shown(18); }));
    EXPECT_EQ(warned, std::vector<std::string>{object_message(62, 6)});
    EXPECT_FALSE(XtIsSensitive(dl_box_button(editor(18)->widget, XmDIALOG_OK_BUTTON)));
    EXPECT_FALSE(XtIsSensitive(dl_box_button(editor(18)->widget, XmDIALOG_APPLY_BUTTON)));
    vxdl::click_item(list_of(18), item_of(18, "GUEST"));
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(named(18, "userT")) == "GUEST"; }));
    EXPECT_FALSE(XtIsSensitive(named(18, "delBut")));
    close_editors();
}

// Not yet passing: the index editor's OK on the road's shared copy leaves
// the editor open with its buttons greyed (the apply's exclusive use of
// the table is still being looked into).  Run it by name with
// --gtest_also_run_disabled_tests.
TEST(SchemaRoad, DISABLED_IndexesUsersAndPrivilegesThroughTheirEditors)
{
    setenv("LC_ALL", "C", 1);
    setlocale(LC_ALL, "C");
    wstest::ensure_demo();
    qytest::use_installed_tree();
    start_program(false);
    if (HasFatalFailure())
        return;
    index_road();
    shared_user_editor();
    close_copy();
    open_copy(true);
    if (!HasFatalFailure())
        user_road();
    close_editors();
    stop_program();
}

}  // namespace
