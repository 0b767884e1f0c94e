// The display window as start-up builds it, in process on the test X
// server, with the installed interpreter and the demo database: a DISPLAY
// statement's result comes through the query manager, the dataset manager
// and the new-data notice into the table view.  The window is saved as a
// PNG (into $VX_IMAGE_DIR when set, for the pictures of the documentation)
// and the picture read back.

#include "dltestkit.h"  // first: gtest before the X headers
#include "wstest.h"

#include "dlmess.h"
#include "dsmgr.h"
#include "dymain.h"
#include "dypicture.h"
#include "dyprt.h"
#include "dytab.h"
#include "mnmisc.h"
#include "qymgr.h"
#include "startup.h"
#include "vxmain.h"

#include <X11/Xutil.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

Display *dpy() { return vxdl::app().display; }

// The windows of the interactive program, on fresh shells, with the
// interpreter started and the demo database open.
void start_program()
{
    vxdl::App &a = vxdl::app();
    adata = a.adata;
    adata.runMode = RUN_INTERACTIVE;
    adata.menuFont = a.adata.labelFont;
    adata.textFont = a.adata.dataFont;
    adata.initialValidateQuery = True;
    adata.displayBufferSize = 200;
    adata.user_name = const_cast<char *>("BRASK");  // the demo database's owner
    adata.server_name = const_cast<char *>("");
    adata.buffer_size = adata.queryBufferSize = 200000;
    toplevel = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display, XmNwidth, 300,
                                  XmNheight, 200, nullptr);
    startup_build_user_interface(False);
    XtVaSetValues(displevel, XmNwidth, 560, XmNheight, 300, nullptr);
    ASSERT_TRUE(vxdl::wait_viewable(dymain_dy_canvas()));
    qymgr_qy_set_workspace_hooks(mnmisc_mode_holder());
    qymgr_qy_use_x(a.context, toplevel);
    qymgr_qy_init(&adata, 0, 0, 0, nullptr, 0, 0);
    ASSERT_GE(qymgr_qy_connection(), 0);
    qymgr_qy_query("OPEN DEMO", QY_WAIT, QY_ASIS, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_ok());
}

// The lines the formatter gives for a dataset on the screen.
std::vector<std::string> formatted(int ds)
{
    static std::vector<std::string> got;
    got.clear();
    int cols = dytab_store()->columns();
    dyprt_dy_set_output([](const char *t, int n) { return got.push_back(std::string(t, static_cast<size_t>(n))), 1; },
                        -1, cols, 3, 30, 0);
    dyprt_dy_print_dataset(ds);
    dyprt_dy_set_output(dytab_dy_output_line, -1, cols, 3, 30, 0);
    return got;
}

using dypic::Picture;
Picture grab(Window w) { return dypic::grab(dpy(), w); }
using dypic::load_png;
using dypic::save_png;

// Rows of text (by the table's line height) that hold any pixel other
// than the background, in the canvas's rectangle of a picture.
std::vector<int> inked_rows(const Picture &p, int x0, int y0, int w, int h, long background, int line)
{
    std::vector<int> rows;
    for (int r = 0; r * line < h; r++) {
        bool ink = false;
        for (int y = y0 + r * line; y < y0 + std::min(h, (r + 1) * line) && !ink; y++)
            for (int x = x0; x < x0 + w && !ink; x++)
                ink = p.at(x, y) != background;
        if (ink)
            rows.push_back(r);
    }
    return rows;
}

TEST(DisplayDemo, ADisplayResultAppearsInTheTableViewAndInItsPicture)
{
    wstest::ensure_demo();
    qytest::use_installed_tree();
    start_program();

    qymgr_qy_query("DISPLAY DEPTNO, DNAME, CITY, BUDGET FROM DEPT", QY_WAIT, QY_FULL, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_returned_data());
    const int ds = dsmgr_ds_current();
    ASSERT_EQ(dsmgr_ds_rows(ds), 6);
    ASSERT_TRUE(vxdl::pump_until([&] { return dsmgr_ds_printed(ds) != 0; }));
    vxdl::pump_idle();

    // The store holds the formatter's lines: a blank, the titles, a blank,
    // the six departments in the database's order and a blank.
    const DyLineStore *s = dytab_store();
    std::vector<std::string> lines = formatted(ds);
    ASSERT_EQ(s->count(), 3 + 6 + 1);
    ASSERT_EQ(static_cast<int>(lines.size()), s->count());
    for (int i = 0; i < s->count(); i++)
        EXPECT_EQ(s->text(i), lines[static_cast<size_t>(i)]) << "line " << i;
    for (const char *title : {"DEPTNO", "DNAME", "CITY", "BUDGET"})
        EXPECT_NE(lines[1].find(title), std::string::npos) << lines[1];
    const char *names[] = {"Sales", "Research", "Production", "Quality", "Logistics", "Administration"};
    const char *cities[] = {"Lyon", "Uppsala", "Brno", "Brno", "Rotterdam", "Lyon"};
    for (int i = 0; i < 6; i++) {
        const std::string &l = lines[static_cast<size_t>(3 + i)];
        EXPECT_NE(l.find(std::to_string(10 * (i + 1))), std::string::npos) << l;
        EXPECT_NE(l.find(names[i]), std::string::npos) << l;
        EXPECT_NE(l.find(cities[i]), std::string::npos) << l;
    }
    EXPECT_NE(lines[3].find("1250000.00"), std::string::npos) << lines[3];

    // The display window, raised above the query window, saved as a PNG.
    XRaiseWindow(dpy(), XtWindow(displevel));
    vxdl::pump_idle();
    dymain_dy_refresh_display();
    vxdl::pump_idle();
    Picture shot = grab(XtWindow(displevel));
    ASSERT_GT(shot.width, 0);
    const char *dir = getenv("VX_IMAGE_DIR");
    std::string path = dir ? std::string(dir) + "/table.png" : vxtest::temp_dir("dydemo") + "/table.png";
    ASSERT_TRUE(save_png(shot, path)) << path;

    // Read back: the same pixels; within the canvas, text in the rows of
    // the titles (1) and of the six departments (3 to 8) only.
    Picture back;
    ASSERT_TRUE(load_png(path, back));
    ASSERT_EQ(back.width, shot.width);
    ASSERT_EQ(back.height, shot.height);
    EXPECT_TRUE(back.rgb == shot.rgb);
    int cx = 0, cy = 0, cw = 0, ch = 0, line = 1;
    Window child;
    XTranslateCoordinates(dpy(), XtWindow(dymain_dy_canvas()), XtWindow(displevel), 0, 0, &cx, &cy, &child);
    dymain_dy_get_canvas_size(&cw, &ch);
    dytab_metrics(&line, nullptr);
    Picture canvas = grab(XtWindow(dymain_dy_canvas()));
    const long background = canvas.at(canvas.width - 1, canvas.height - 1);
    EXPECT_EQ(inked_rows(back, cx, cy, cw, ch, background, line), (std::vector<int>{1, 3, 4, 5, 6, 7, 8}));

    qymgr_qy_term();
    if (!dir)
        std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}

}  // namespace
