// The query window as start-up builds it, in process on the test X server:
// button 3 on the workspace canvas posts the query window's popup menu,
// and the canvas title names the database label from the start.

#include "dltestkit.h"
#include "vxtest.h"

#include "dlmain.h"
#include "mnqy.h"
#include "startup.h"
#include "vxmain.h"
#include "wsmain.h"

#include <X11/extensions/XTest.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <string>

namespace {

TEST(QueryWindow, ButtonThreeOnTheCanvasPostsThePopupMenu)
{
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
    Widget canvas = wsmain_ws_canvas();
    ASSERT_NE(canvas, nullptr);
    ASSERT_NE(qm2, nullptr);
    EXPECT_STREQ(XtName(qm2), "queryPU");
    XtRealizeWidget(toplevel);
    ASSERT_TRUE(vxdl::wait_viewable(canvas));
    vxdl::pump_idle();

    // The title names "no database" before anything is opened.
    char title[256];
    snprintf(title, sizeof title, ws_message(1), mnqy_mn_dbnone);
    EXPECT_EQ(vxdl::label(vxdl::find(toplevel, "workspaceT")), title);

    // The installed resources bind button 3 on the canvas to the action.
    XtOverrideTranslations(canvas, XtParseTranslationTable("<Btn3Down>: ws_popup()"));
    EXPECT_FALSE(XtIsManaged(qm2));
    int x = 0, y = 0;
    vxdl::root_centre(canvas, x, y);
    Display *dpy = a.display;
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

}  // namespace
