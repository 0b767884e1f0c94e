// The query window as start-up builds it, in process on the test X server:
// button 3 on the workspace canvas posts the query window's popup menu,
// the canvas title names the database label from the start, and what the
// workspace's objects leave to the menus reaches them.

#include "wstest.h"  // first: gtest before the X headers

#include "dltestkit.h"

#include "dlmain.h"
#include "mndbstmt.h"
#include "mnqy.h"
#include "obdict.h"
#include "obmain.h"
#include "startup.h"
#include "vxcat.h"
#include "vxmain.h"
#include "vxutil.h"
#include "wsmain.h"

#include <X11/extensions/XTest.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>
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
