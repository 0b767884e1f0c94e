// The road kit: the program's query window on a copy of DEMO, driven by
// real input; see roadkit.h.

#include "roadkit.h"
#include "wstest.h"

#include "dlkit.h"
#include "dlmess.h"
#include "dsmgr.h"
#include "dymain.h"
#include "dypicture.h"
#include "dytab.h"
#include "mnmisc.h"
#include "mnquery.h"
#include "obdict.h"
#include "obmain.h"
#include "qymgr.h"
#include "startup.h"
#include "vxmain.h"
#include "vxtest_x.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsmgr.h"
#include "wsobjmgr.h"
#include "wstables.h"

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <Xm/Command.h>
#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>

#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace road {

namespace {

Display *dpy() { return vxdl::app().display; }

std::string copy_name;
std::string copy_location;

// A copy of DEMO: a database made by the interpreter (so that it is
// registered and dropped as any other), its file replaced by DEMO's.
void make_demo_copy(const char *prefix)
{
    char name[16];
    snprintf(name, sizeof name, "%.4s%04X", prefix, static_cast<unsigned>(getpid()) & 0xffffu);
    copy_name = name;
    copy_location = vxtest::temp_dir("road");
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

bool inside(const ObBox &b, int x, int y) { return x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height; }

// The root position of a point of an object's select box that no other
// object of the query covers (an expression made by dropping a tool on a
// column stands over the column), scrolled into view.
void root_of_object(QueryObject *o, int &rx, int &ry, bool lower_right)
{
    const ObBox &s = o->select;
    int cx = s.x + s.width / 2, cy = s.y + s.height / 2;
    bool found = false;
    if (lower_right) {
        // What is made there stands below and right of the point.
        cx = s.x + s.width - 3;
        cy = s.y + s.height - 3;
        found = true;
    }
    for (int y = s.y + 1; y < s.y + s.height - 1 && !found; y += 2)
        for (int x = s.x + 1; x < s.x + s.width - 1 && !found; x += 2) {
            bool covered = false;
            for (QueryObject *list : {wsdict_dictionary->expressions, wsdict_dictionary->conditions,
                                      wsdict_dictionary->statistics, wsdict_dictionary->sorts,
                                      wsdict_dictionary->groups, wsdict_dictionary->variables})
                for (QueryObject *q = list; q && !covered; q = q->next)
                    covered = q != o && inside(q->outer, x, y);
            if (!covered) {
                cx = x;
                cy = y;
                found = true;
            }
        }
    EXPECT_TRUE(found) << "the object is covered";
    wsmain_ws_position_at(std::max(0, s.x - 40), std::max(0, s.y - 60));
    vxdl::pump_idle();
    wsmain_ws_canvas_to_root(cx, cy, &rx, &ry);
}

// The error boxes (dialog 0, on the query shell) answered from inside
// their own loops as they show; their texts are kept in order.
struct ErrorAnswers {
    std::vector<std::string> texts;
    XtIntervalId timer = 0;
};
void poll_error_box(XtPointer client, XtIntervalId *)
{
    auto *a = static_cast<ErrorAnswers *>(client);
    Widget box = dlmain_dialogs[0].widget;
    if (box && XtIsManaged(box) && XtIsRealized(box)) {
        a->texts.push_back(vxdl::message(box));
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
    }
    a->timer = XtAppAddTimeOut(vxdl::app().context, 10, poll_error_box, a);
}

// A second client asks for PRIMARY as STRING while the program's events
// are pumped, so the program's own conversion answers it.
struct Reader {
    Display *d = XOpenDisplay(nullptr);
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    ~Reader()
    {
        XDestroyWindow(d, w);
        XCloseDisplay(d);
    }
    bool read(std::string &text)
    {
        Atom prop = XInternAtom(d, "VX_TEST_SELECTION", False);
        XConvertSelection(d, XA_PRIMARY, XA_STRING, prop, w, CurrentTime);
        XFlush(d);
        XEvent ev{};
        bool got = vxdl::pump_until([&] { return XCheckTypedWindowEvent(d, w, SelectionNotify, &ev) == True; });
        if (!got || ev.xselection.property == None)
            return false;
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char *data = nullptr;
        XGetWindowProperty(d, w, prop, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after, &data);
        text.assign(reinterpret_cast<char *>(data), n);
        XFree(data);
        return type == XA_STRING && format == 8;
    }
};

// The screen's pixels in a rectangle (root coordinates, cut to the screen).
dypic::Picture grab_root(int x, int y, int w, int h)
{
    dypic::Picture all = dypic::grab(dpy(), DefaultRootWindow(dpy()));
    x = std::max(0, x);
    y = std::max(0, y);
    w = std::min(w, all.width - x);
    h = std::min(h, all.height - y);
    dypic::Picture p;
    p.width = w;
    p.height = h;
    for (int r = 0; r < h; r++) {
        const auto *row = &all.rgb[3 * (static_cast<size_t>(y + r) * all.width + x)];
        p.rgb.insert(p.rgb.end(), row, row + 3 * w);
    }
    return p;
}

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);
    void add(Widget w)
    {
        Widget s = w;
        while (s && !XtIsShell(s))
            s = XtParent(s);
        XWindowAttributes wa{};
        XGetWindowAttributes(dpy(), XtWindow(s), &wa);
        Window child;
        int rx = 0, ry = 0;
        XTranslateCoordinates(dpy(), XtWindow(s), DefaultRootWindow(dpy()), 0, 0, &rx, &ry, &child);
        x0 = std::min(x0, rx);
        y0 = std::min(y0, ry);
        x1 = std::max(x1, rx + wa.width);
        y1 = std::max(y1, ry + wa.height);
    }
};

}  // namespace

// ---- the program -----------------------------------------------------------------------------

void start_program(const char *prefix)
{
    // A single-byte locale: there the table view's drag selects (in a
    // multibyte one every press only takes PRIMARY back).
    setenv("LC_ALL", "C", 1);
    setlocale(LC_ALL, "C");
    wstest::ensure_demo();
    qytest::use_installed_tree();
    vxdl::App &a = vxdl::app();
    dlmain_clear_dialogs();
    adata = a.adata;
    adata.runMode = RUN_INTERACTIVE;
    adata.menuFont = a.adata.labelFont;
    adata.textFont = a.adata.dataFont;
    adata.initialValidateQuery = True;
    adata.displayBufferSize = 200;
    adata.disableTooltips = True;
    adata.user_name = const_cast<char *>("BRASK");  // the demo database's owner
    adata.server_name = const_cast<char *>("");
    adata.buffer_size = adata.queryBufferSize = 200000;
    static std::string install = vxtest::install_dir();
    adata.install_dir = install.data();  // etc/funcs.txt, etc/tables
    wsdict_ws_init_dictionary();
    qymgr_qy_set_workspace_hooks(mnmisc_mode_holder());
    toplevel = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display, XmNx, 0, XmNy,
                                  0, XmNwidth, 760, XmNheight, 560, nullptr);
    startup_build_user_interface(False);
    XtRealizeWidget(toplevel);
    XtVaSetValues(displevel, XmNx, 0, XmNy, 0, XmNwidth, 620, XmNheight, 420, nullptr);
    ASSERT_TRUE(vxdl::wait_viewable(wsmain_ws_canvas()));
    ASSERT_TRUE(vxdl::wait_viewable(dymain_dy_canvas()));
    // The table view's bindings (the selection drag) as the application
    // defaults give them: the test process reads no resource files.
    const char *src = getenv("VX_SOURCE_DIR");
    ASSERT_NE(src, nullptr);
    ASSERT_TRUE(vxtest::override_translations(dymain_dy_canvas(), std::string(src) + "/data/app-defaults/Vostrelane",
                                              "vostrelane.displayShell.displayWindow.display.translations",
                                              "Vostrelane.TopLevelShell.XmMainWindow.XmDrawingArea.Translations"));
    qymgr_qy_use_x(a.context, toplevel);
    qymgr_qy_init(&adata, 0, 0, 0, nullptr, 0, 1);
    ASSERT_GE(qymgr_qy_connection(), 0);
    make_demo_copy(prefix);
    if (testing::Test::HasFatalFailure())
        return;
    // The workspace's half of opening, the table list in a scratch file.
    qymgr_qy_query(("OPEN " + copy_name).c_str(), QY_WAIT, QY_ASIS, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_ok());
    wsdict_db_open = 1;
    ASSERT_EQ(wsdict_ws_read_dictionary(copy_name.c_str()), 1);
    wsobj_ws_set_table_list_file((copy_location + "/" + copy_name + ".BRASK").c_str());
    wsobj_ws_read_table_list(0);
    wsobj_ws_show_database();
    wsmain_ws_set_db_name(copy_name.c_str());
    XRaiseWindow(dpy(), XtWindow(toplevel));
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

const std::string &database() { return copy_name; }

// ---- pointer and keyboard on the canvas ---------------------------------------------------------

QueryObject *column(const char *table, const char *name)
{
    DictColumn *c = obdict_ob_find_column(table, name);
    return c ? c->object : nullptr;
}

void click_object(QueryObject *o)
{
    int rx = 0, ry = 0;
    root_of_object(o, rx, ry, false);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XSync(dpy(), False);
}

void drop_tool(const char *tool_name, QueryObject *o, bool lower_right)
{
    int rx = 0, ry = 0;
    root_of_object(o, rx, ry, lower_right);
    Widget tool = vxdl::find(toplevel, tool_name);
    ASSERT_NE(tool, nullptr) << tool_name;
    int tx = 0, ty = 0;
    vxdl::root_centre(tool, tx, ty);
    // The press starts the drag's own loop, which waits for the rest of the
    // gesture: all of it is queued before any event is handled.
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), tx, ty, 0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), (tx + rx) / 2, (ty + ry) / 2, 0);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XSync(dpy(), False);
    vxdl::pump_idle();
}

DialogRecord *editor(int id) { return &dlmain_dialogs[static_cast<size_t>(id)]; }
bool shown(int id) { return editor(id)->widget && XtIsManaged(editor(id)->widget); }
Widget named(int id, const char *name)
{
    Widget w = vxdl::find(editor(id)->widget, name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}
void click_box(int id, unsigned char which) { vxdl::click(dl_box_button(editor(id)->widget, which)); }

// ---- errors --------------------------------------------------------------------------------------

std::vector<std::string> answered_errors(const std::function<void()> &action)
{
    ErrorAnswers a;
    a.timer = XtAppAddTimeOut(vxdl::app().context, 10, poll_error_box, &a);
    action();
    vxdl::pump_idle();
    XtRemoveTimeOut(a.timer);
    return a.texts;
}

std::vector<std::string> refused_ok(int id)
{
    return answered_errors([id] { vxdl::click(dl_box_button(editor(id)->widget, XmDIALOG_OK_BUTTON)); });
}

std::string object_message(int number, int set) { return vx_msg_text(obmain_ob_nlsfd, set, number, nullptr); }

int count(QueryObject *list)
{
    int n = 0;
    for (; list; list = list->next)
        n++;
    return n;
}

// ---- the table view and PRIMARY ---------------------------------------------------------

std::string table_rows_from_primary()
{
    XRaiseWindow(dpy(), XtWindow(displevel));
    vxdl::pump_idle();
    dymain_dy_refresh_display();
    vxdl::pump_idle();
    int lh = 1, cw = 1, width = 0, height = 0;
    dytab_metrics(&lh, &cw);
    dymain_dy_get_canvas_size(&width, &height);
    const int lines = height / lh;
    const int x0 = 1, y0 = lh / 2, x1 = width - cw, y1 = (lines - 1) * lh + lh / 2;
    Window child;
    int rx = 0, ry = 0;
    auto move = [&](int x, int y) {
        XTranslateCoordinates(dpy(), XtWindow(dymain_dy_canvas()), DefaultRootWindow(dpy()), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
        XSync(dpy(), False);
        vxdl::pump_idle();
    };
    move(x0, y0);
    XTestFakeButtonEvent(dpy(), 1, True, 0);
    XSync(dpy(), False);
    vxdl::pump_idle();
    for (int step = 1; step <= 4; step++)
        move(x0 + (x1 - x0) * step / 4, y0 + (y1 - y0) * step / 4);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XSync(dpy(), False);
    vxdl::pump_idle();
    EXPECT_TRUE(dytab_store()->selection().owns_primary);
    EXPECT_EQ(XGetSelectionOwner(dpy(), XA_PRIMARY), XtWindow(dymain_dy_canvas()));
    Reader other;
    std::string rows;
    EXPECT_TRUE(other.read(rows));
    XRaiseWindow(dpy(), XtWindow(toplevel));
    vxdl::pump_idle();
    return rows;
}

int wait_for_new_dataset(uint64_t changes)
{
    EXPECT_TRUE(vxdl::pump_until(
        [&] {
            return dsmgr_ds_changes() != changes && dsmgr_ds_current_exists() &&
                   dsmgr_ds_printed(dsmgr_ds_current());
        },
        std::chrono::seconds(30)));
    vxdl::pump_idle();
    return dsmgr_ds_current();
}

std::string run_canvas(int *rows)
{
    const uint64_t before = dsmgr_ds_changes();
    vxdl::click(wsmain_ws_run_button());
    const int ds = wait_for_new_dataset(before);
    if (rows)
        *rows = dsmgr_ds_rows(ds);
    return table_rows_from_primary();
}

std::string typed_rows(const std::string &statement, int *rows)
{
    mnquery_doz(nullptr);
    DialogRecord *doz = &dlmain_dialogs[30];
    EXPECT_NE(doz->widget, nullptr);
    if (!doz->widget)
        return "";
    Widget command = XmCommandGetChild(doz->widget, XmDIALOG_COMMAND_TEXT);
    EXPECT_TRUE(vxdl::wait_viewable(command));
    vxdl::type(command, statement);
    const uint64_t before = dsmgr_ds_changes();
    vxdl::key(command, "Return");
    const int ds = wait_for_new_dataset(before);
    if (rows)
        *rows = dsmgr_ds_rows(ds);
    vxdl::click(vxdl::at(XtParent(doz->widget), "dozCloseButton"));
    vxdl::pump_idle();
    return table_rows_from_primary();
}

// ---- pictures ------------------------------------------------------------------------------------

void save_picture(const char *file, std::initializer_list<Widget> widgets)
{
    Box b;
    for (Widget w : widgets)
        b.add(w);
    dypic::Picture shot = grab_root(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
    ASSERT_GT(shot.width, 0);
    const char *dir = getenv("VX_IMAGE_DIR");
    const std::string path =
        dir ? std::string(dir) + "/" + file : vxtest::temp_dir("road-picture") + "/" + file;
    ASSERT_TRUE(dypic::save_png(shot, path)) << path;
    dypic::Picture back;
    ASSERT_TRUE(dypic::load_png(path, back));
    EXPECT_EQ(back.width, shot.width);
    EXPECT_TRUE(back.rgb == shot.rgb);
    if (!dir)
        fs::remove_all(fs::path(path).parent_path());
}

}  // namespace road
