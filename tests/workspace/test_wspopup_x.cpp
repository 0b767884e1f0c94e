// The query window as start-up builds it, in process on the test X server:
// button 3 on the workspace canvas posts the query window's popup menu,
// the canvas title names the database label from the start, and what the
// workspace's objects leave to the menus reaches them.

#include "wstest.h"  // first: gtest before the X headers

#include "dltestkit.h"

#include "dlmain.h"
#include "dymain.h"
#include "mndb.h"
#include "mndbstmt.h"
#include "mnmisc.h"
#include "mnquery.h"
#include "mnqy.h"
#include "obdict.h"
#include "obmain.h"
#include "startup.h"
#include "vxcat.h"
#include "vxmain.h"
#include "vxutil.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsmgr.h"
#include "wsobjmgr.h"
#include "wstables.h"

#include <X11/extensions/XTest.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Start-up builds the windows once per program; so do the tests.
void build_query_window()
{
    static bool built = false;
    if (built)
        return;
    built = true;
    vxdl::App &a = vxdl::app();
    dlmain_clear_dialogs();
    adata = a.adata;
    adata.runMode = RUN_INTERACTIVE;
    adata.menuFont = a.adata.labelFont;
    adata.disableTooltips = True;
    adata.nomap = 0;
    adata.noResize = 0;
    adata.displayId = nullptr;
    toplevel = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display, XmNx, 0, XmNy,
                                  0, XmNwidth, 900, XmNheight, 700, nullptr);
    startup_build_user_interface(False);
    XtRealizeWidget(toplevel);
}

class QueryWindow : public wstest::Dictionary {
protected:
    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        build_query_window();
        ASSERT_NE(wsmain_ws_canvas(), nullptr);
        ASSERT_TRUE(vxdl::wait_viewable(wsmain_ws_canvas()));
        vxdl::pump_idle();
    }
};

// The demo database on start-up's canvas, opened as its owner.
class DemoWindow : public QueryWindow {
protected:
    void SetUp() override
    {
        QueryWindow::SetUp();
        wstest::ensure_demo();
        start("BRASK");
        ok("OPEN DEMO");
        wsdict_db_open = 1;
        ASSERT_EQ(wsdict_ws_read_dictionary("DEMO"), 1);
        const std::string dir = vxtest::temp_dir("wspopup");
        scratch_dirs.push_back(dir);
        wsobj_ws_set_table_list_file((dir + "/DEMO.BRASK").c_str());
        wsobj_ws_read_table_list(0);
        wsobj_ws_show_database();
        vxdl::pump_idle();
    }
    void TearDown() override
    {
        wsdict_ws_clear_dictionary_objects();
        wsdict_db_open = 0;
        wsevent_ws_set_interaction(0);
        QueryWindow::TearDown();
    }
    QueryObject *table(const char *name)
    {
        DictRelation *r = wsdict_find_relation(name);
        return r ? r->table_object : nullptr;
    }
};

TEST_F(DemoWindow, NewAndRunCarryTheQueryCommandsAndFollowTheSelection)
{
    Widget run = vxdl::find(toplevel, "runBut"), newb = vxdl::find(toplevel, "newBut");
    ASSERT_TRUE(run && newb);
    EXPECT_EQ(vxdl::label(run), mnmisc_item_label(query_run_b));
    EXPECT_EQ(vxdl::label(newb), mnmisc_item_label(query_new_b));
    mnqy_mn_set_query_sensitivity();
    EXPECT_FALSE(XtIsSensitive(run));
    EXPECT_FALSE(XtIsSensitive(newb));

    // An expression selected: both buttons and the pane's items wake up.
    ObExpressionData d{};
    d.kind = OB_EXPRESSION;
    safe_strcpy(d.text, "BUDGET*2", sizeof d.text);
    QueryObject *e = nullptr;
    obmain_object_class[OB_EXPRESSION].create(&e, &d, 700, 20, nullptr);
    ASSERT_NE(e, nullptr);
    wsdict_ws_link_object(e);
    obmain_object_class[OB_EXPRESSION].select(e, 1);
    wsdict_ws_select_object(e);
    EXPECT_TRUE(XtIsSensitive(run));
    EXPECT_TRUE(XtIsSensitive(newb));
    EXPECT_TRUE(XtIsSensitive(query_new_b));

    // New, clicked, clears the query and puts the buttons to sleep again.
    ASSERT_TRUE(vxdl::wait_viewable(newb));
    vxdl::click(newb);
    EXPECT_TRUE(vxdl::pump_until([] { return wsdict_dictionary->expressions == nullptr; }));
    EXPECT_FALSE(wsdict_ws_objects_selected());
    EXPECT_FALSE(XtIsSensitive(run));
    EXPECT_FALSE(XtIsSensitive(newb));

    // While a query runs, Run is Stop.
    const std::string run_label = vxdl::label(run);
    ASSERT_NE(mnq_ws.enable_stop, nullptr);
    mnq_ws.enable_stop(1);
    EXPECT_EQ(vxdl::label(run), ws_message(4));
    EXPECT_TRUE(XtIsSensitive(run));
    mnq_ws.enable_stop(0);
    EXPECT_EQ(vxdl::label(run), run_label);
    EXPECT_FALSE(XtIsSensitive(run));

    // Verify switches the objects' checks with the interpreter.
    XmToggleButtonSetState(query_verify_t, False, False);
    mnquery_set_verify(query_verify_t);
    EXPECT_EQ(wsmgr_ws_validation(), 0);
    XmToggleButtonSetState(query_verify_t, True, False);
    mnquery_set_verify(query_verify_t);
    EXPECT_EQ(wsmgr_ws_validation(), 1);

    // The target icon follows the target.
    target_dval.target = TARGET_PIPE;
    mnquery_mn_set_target_icon();
    EXPECT_EQ(wsmain_ws_set_target_icon(3), 3);
    target_dval.target = TARGET_DISPLAY;
    mnquery_mn_set_target_icon();
    EXPECT_EQ(wsmain_ws_set_target_icon(0), 0);
}

// What a window shows: its pixels, read back from the server.
std::string window_pixels(Widget w)
{
    Display *dpy = XtDisplay(w);
    XSync(dpy, False);
    XWindowAttributes a{};
    if (!XGetWindowAttributes(dpy, XtWindow(w), &a) || a.width <= 0 || a.height <= 0)
        return {};
    XImage *image = XGetImage(dpy, XtWindow(w), 0, 0, static_cast<unsigned>(a.width),
                              static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (!image)
        return {};
    std::string pixels;
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++)
            pixels += std::to_string(XGetPixel(image, x, y)) + ",";
    XDestroyImage(image);
    return pixels;
}

// Rows arriving in the display window end the query: Stop, which Run
// became while it ran, turns back into Run with its command and its
// sensitivity.  The target icon shows each target's picture as the
// target changes.
TEST_F(QueryWindow, RowsArrivingTurnStopBackIntoRunAndTheIconShowsTheTarget)
{
    Widget run = vxdl::find(toplevel, "runBut"), icon = vxdl::find(toplevel, "targetIcon");
    ASSERT_TRUE(run && icon);
    Widget canvas = dymain_dy_canvas();
    ASSERT_TRUE(canvas && XtIsRealized(canvas));
    const std::string run_label = vxdl::label(run);
    XtSetSensitive(run, True);
    mnq_ws.enable_stop(1);
    ASSERT_EQ(vxdl::label(run), ws_message(4));
    // The notice the query manager posts when rows have come.
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.display = XtDisplay(canvas);
    ev.xclient.window = XtWindow(canvas);
    ev.xclient.message_type = qymgr_qy_newdata_atom();
    ev.xclient.format = 32;
    XSendEvent(XtDisplay(canvas), XtWindow(canvas), False, NoEventMask, &ev);
    XFlush(XtDisplay(canvas));
    EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::label(run) == run_label; })) << vxdl::label(run);
    EXPECT_TRUE(XtIsSensitive(run));
    int enabled = 1, pending = 1, caught = 1;
    wsmain_ws_stop_state(&enabled, &pending, &caught);
    EXPECT_EQ(enabled, 0);

    // Each target shows its own picture; going back shows the first again
    // (the query window above the display window, which covers it).
    ASSERT_TRUE(vxdl::wait_viewable(icon));
    XRaiseWindow(XtDisplay(toplevel), XtWindow(toplevel));
    XSync(XtDisplay(toplevel), False);
    const int targets[] = {TARGET_PIPE, TARGET_TABLE, TARGET_DISPLAY};
    std::set<std::string> shown;
    vxdl::pump_idle();
    const std::string first = window_pixels(icon);
    shown.insert(first);
    for (int target : targets) {
        target_dval.target = target;
        mnquery_mn_set_target_icon();
        vxdl::pump_idle();
        shown.insert(window_pixels(icon));
    }
    EXPECT_EQ(shown.size(), 3u);
    EXPECT_EQ(window_pixels(icon), first);
}

std::string shown;
bool ran = false;
int tries = 0;
void answer_error_box(XtPointer, XtIntervalId *)
{
    Widget w = dlmain_dialogs[0].widget;
    if (w && XtIsManaged(w)) {
        ran = true;
        shown = vxdl::message(w);
        vxdl::press_box(w, XmDIALOG_OK_BUTTON);
    } else if (++tries < 500) {
        XtAppAddTimeOut(vxdl::app().context, 10, answer_error_box, nullptr);
    }
}

// A tool dropped whose dialog is still to come gives the box the menus
// give, and leaves nothing current.  The expression tool stands in for
// such a tool: its dialog slot is given the placeholder's popup while the
// tool is dropped.
TEST_F(DemoWindow, AToolWhoseDialogIsMissingSaysItIsNotAvailable)
{
    DialogRecord &slot = dlmain_dialogs[8];
    const auto popup = slot.popup;
    slot.popup = dlmain_std_unsupported;
    // The error box start-up made, answered from a timer while it waits
    // (a few seconds at most).
    shown.clear();
    ran = false;
    tries = 0;
    XtAppAddTimeOut(vxdl::app().context, 10, answer_error_box, nullptr);
    const ObPoint p{700, 20};
    wsmgr_ws_perform_create(8, &p, nullptr);
    vxdl::pump_until([] { return ran || tries >= 500; });
    slot.popup = popup;
    EXPECT_TRUE(ran);
    EXPECT_EQ(shown, "Expression is not available yet");
    EXPECT_EQ(wsevent_ws_interaction(), 0);
    EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), -1);
}

// The view options dialog, standing in for the real one: its Apply turns
// the system tables and the index marks on or off.
MnqOptions wanted{};
int options_setval(DialogRecord *, void *) { return 0; }
int options_getval(DialogRecord *, void *value)
{
    *static_cast<MnqOptions *>(value) = wanted;
    return 0;
}

TEST_F(DemoWindow, ViewOptionsPutSystemTablesOnTheCanvasAndTakeThemOffAgain)
{
    DialogRecord *rec = &dlmain_dialogs[27];
    if (!rec->widget)
        rec = vxdl::make_test_dialog(27, toplevel, "optionsD", 2);
    mnmisc_install_notify(27);
    rec->setval = options_setval;
    rec->getval = options_getval;
    auto apply = [rec](const MnqOptions &o) {
        wanted = o;
        mnqview_mn_set_options(nullptr);
        int done = 0;
        rec->apply(rec, &done);
        vxdl::pump_idle();
    };
    obmain_ob_options[0] = obmain_ob_options[1] = obmain_ob_options[2] = 0;
    DictRelation *system = nullptr;
    for (DictRelation *r = wsdict_dictionary->relations; r && !system; r = r->next)
        if (r->name[0] == '%')
            system = r;
    ASSERT_NE(system, nullptr);
    QueryObject *dept = table("DEPT");
    ASSERT_NE(dept, nullptr);
    const int dept_y = dept->outer.y;
    // Marks left stale while the index information was off.
    auto *deptno = static_cast<ObColumnData *>(obdict_ob_find_column("STAFF", "DEPTNO")->object->kind_data);
    deptno->indexed = 0;

    MnqOptions on{};
    on.show_table_info = 1;
    on.show_index_info = 1;
    on.show_system_tables = 1;
    apply(on);
    EXPECT_EQ(obmain_ob_options[0], 1);
    EXPECT_EQ(obmain_ob_options[1], 1);
    EXPECT_EQ(obmain_ob_options[2], 1);
    ASSERT_NE(system->table_object, nullptr);
    EXPECT_GT(dept->outer.y, dept_y);
    EXPECT_EQ(deptno->indexed, 1);
    EXPECT_EQ(wsevent_ws_interaction(), 0);

    apply(MnqOptions{});
    EXPECT_EQ(system->table_object, nullptr);
    EXPECT_EQ(dept->outer.y, dept_y);
    EXPECT_EQ(obmain_ob_options[0], 0);
    EXPECT_EQ(obmain_ob_options[2], 0);
    EXPECT_EQ(wsevent_ws_interaction(), 0);
}

TEST_F(QueryWindow, ButtonThreeOnTheCanvasPostsThePopupMenu)
{
    Widget canvas = wsmain_ws_canvas();
    ASSERT_NE(qm2, nullptr);
    EXPECT_STREQ(XtName(qm2), "queryPU");

    // The title names "no database" before anything is opened.
    char title[256];
    snprintf(title, sizeof title, ws_message(1), mnqy_mn_dbnone);
    EXPECT_EQ(vxdl::label(vxdl::find(toplevel, "workspaceT")), title);

    // The installed resources bind button 3 on the canvas to the action.
    XtOverrideTranslations(canvas, XtParseTranslationTable("<Btn3Down>: ws_popup()"));
    EXPECT_FALSE(XtIsManaged(qm2));
    int x = 0, y = 0;
    vxdl::root_centre(canvas, x, y);
    Display *dpy = vxdl::app().display;
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, 0);
    XTestFakeButtonEvent(dpy, 3, True, 0);
    XSync(dpy, False);
    EXPECT_TRUE(vxdl::pump_until([] { return XtIsManaged(qm2); }));
    XTestFakeButtonEvent(dpy, 3, False, 0);
    XSync(dpy, False);
    vxdl::pump_idle();
    if (XtIsManaged(qm2))
        XtUnmanageChild(qm2);
    vxdl::pump_idle();
}

TEST_F(QueryWindow, AUserDroppedThroughTheUserObjectTakesTheirTableListAlong)
{
    // The installed tree, as the launcher names it.
    setenv("QYDIR", vxtest::install_dir().c_str(), 1);
    start("TESTER");
    make_scratch("U");
    ok("CREATE USER ANNE, 'PW' WITH 'SELECT'");
    ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1);
    const std::string list = mndb_table_list_path(vx_install_dir(), scratch, "ANNE");
    std::ofstream(list) << "A 1\n";
    ASSERT_TRUE(std::filesystem::exists(list)) << list;
    const std::string mine = mndb_table_list_path(vx_install_dir(), scratch, "TESTER");
    std::ofstream(mine) << "A 1\n";

    const ObClass &users = obmain_object_class[OB_USER];
    void *value = nullptr;
    users.newval(&value, nullptr);
    QueryObject *user = nullptr;
    users.create(&user, value, -1, -1, nullptr);
    ASSERT_NE(user, nullptr);
    ObUserData drop{};
    drop.kind = OB_USER;
    safe_strcpy(drop.name, "ANNE", sizeof drop.name);
    int result = -1;
    users.del(user, &drop, &result);
    EXPECT_EQ(obdict_ob_find_user("ANNE"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(list));
    EXPECT_TRUE(std::filesystem::exists(mine));
    std::filesystem::remove(mine);
    // Nothing is dropped for a name the dictionary does not know.
    std::ofstream(list) << "A 1\n";
    users.del(user, &drop, &result);
    EXPECT_TRUE(std::filesystem::exists(list));
    std::filesystem::remove(list);
    unsetenv("QYDIR");
}

}  // namespace
