// The workspace canvas on the test X server, in process: the demo database
// opened through the workspace's half of opening, its table boxes drawn
// (pixels probed where the lines, cells, markers and information lines
// lie), and real pointer input through XTest: clicks, double clicks, bands,
// moves, the trash can, tool drops and the cursors.  The click machine's
// timers are the test's, fired when the test says, so nothing depends on
// how fast the machine is.

#include "wstest.h"  // first: gtest before the X headers

#include "dltestkit.h"

#include "dlmain.h"
#include "obmain.h"
#include "obview.h"
#include "vxadata.h"
#include "vxutil.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsmgr.h"
#include "wsobjmgr.h"
#include "wssrch.h"
#include "wstables.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <Xm/Form.h>
#include <Xm/Xm.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---- timers the test fires ----------------------------------------------------------------

struct FakeTimer {
    long id;
    int ms;
    void (*proc)();
};
std::vector<FakeTimer> timers;
long next_timer = 1;
long add_timer(int ms, void (*proc)())
{
    timers.push_back({next_timer, ms, proc});
    return next_timer++;
}
void remove_timer(long id) { std::erase_if(timers, [id](const FakeTimer &t) { return t.id == id; }); }
const WsTimerSource test_timers{add_timer, remove_timer};
bool fire(int ms)
{
    for (size_t i = 0; i < timers.size(); i++)
        if (timers[i].ms == ms) {
            FakeTimer t = timers[i];
            timers.erase(timers.begin() + static_cast<long>(i));
            t.proc();
            return true;
        }
    return false;
}

int bells = 0;
void count_bell() { bells++; }

// A probe outside what the server can read is a failed probe, not the end
// of the program.
int x_errors = 0;
int count_error(Display *, XErrorEvent *)
{
    x_errors++;
    return 0;
}

// ---- stand-in dialogs ----------------------------------------------------------------------

struct Opened {
    int popups = 0;
} opened;
int sd_popup(DialogRecord *, int, int, int, int)
{
    opened.popups++;
    return 0;
}
int sd_popdown(DialogRecord *) { return 0; }
int sd_setval(DialogRecord *, void *) { return 0; }
int sd_getval(DialogRecord *, void *) { return 0; }
int sd_reference(DialogRecord *, void *) { return 0; }

void stand_in(int id, int kind, uint32_t mask)
{
    DialogRecord &r = dlmain_dialogs[id];
    r.object_class = kind;
    r.popup = sd_popup;
    r.popdown = sd_popdown;
    r.setval = sd_setval;
    r.getval = sd_getval;
    r.reference = sd_reference;
    r.reference_mask = mask;
}

// ---- the window -----------------------------------------------------------------------------

Widget shell = nullptr;
Pixel red = 0;

class Canvas : public wstest::Dictionary {
protected:
    Display *dpy = nullptr;
    Widget canvas = nullptr;
    std::string dir;

    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        vxdl::App &a = vxdl::app();
        dpy = a.display;
        XSetErrorHandler(count_error);
        x_errors = 0;
        AppData ad2 = a.adata;
        ad2.detailFont = a.adata.labelFont;
        ad2.singleClickInterval = 200;
        ad2.doubleClickInterval = 300;
        ad2.tableXGap = 10;
        ad2.tableYGap = 60;
        ad2.tableXExtra = 100;
        ad2.warpOnToolDrag = False;
        ad2.disableTooltips = True;
        resources(ad2);
        XColor c{}, exact{};
        XAllocNamedColor(dpy, DefaultColormap(dpy, DefaultScreen(dpy)), "red", &c, &exact);
        red = c.pixel;
        ad2.tableColor = red;
        adata_x = ad2;
        if (shell)
            XtDestroyWidget(shell);
        shell = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, dpy, XmNx, 0, XmNy, 0,
                                   XmNwidth, 1000, XmNheight, 900, nullptr);
        Widget form = XtVaCreateManagedWidget("queryWindow", xmFormWidgetClass, shell, nullptr);
        Widget work = wsmain_workspace_init(form, &adata_x);
        XtVaSetValues(work, XmNtopAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment,
                      XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
        canvas = wsmain_ws_canvas();
        // In start-up's order: the object layer before the window exists.
        dlmain_clear_dialogs();
        wsmgr_workspace_manager_init(&adata_x);
        wsmgr_ws_reset_manager();
        wsmgr_ws_set_flash_pause([] {});
        obmain_object_init(shell, canvas, &adata_x);
        obmain_initialise_classes();
        XtRealizeWidget(shell);
        ASSERT_TRUE(vxdl::wait_viewable(canvas));
        vxdl::pump_idle();
        obmain_ob_options[0] = obmain_ob_options[1] = 1;
        obmain_ob_options[2] = obmain_ob_options[3] = 0;
        timers.clear();
        bells = 0;
        wsevent_ws_set_timer_source(&test_timers);
        wsevent_ws_set_bell(count_bell);
        wsevent_ws_reset_input();
        wsevent_ws_set_interaction(0);
        opened = Opened{};

        wstest::ensure_demo();
        start("BRASK");
        ok("OPEN DEMO");
        ASSERT_EQ(wsdict_ws_read_dictionary("DEMO"), 1);
        dir = vxtest::temp_dir("wscanvas");
        scratch_dirs.push_back(dir);
        wsobj_ws_set_table_list_file((dir + "/DEMO.BRASK").c_str());
        wsobj_ws_read_table_list(0);
        wsobj_ws_show_database();
        settle();
    }
    void TearDown() override
    {
        EXPECT_EQ(x_errors, 0);
        wsevent_ws_set_timer_source(nullptr);
        wsevent_ws_set_bell(nullptr);
        wsmgr_ws_reset_manager();
        wssrch_ws_stop_search();
        wsdict_ws_clear_dictionary_objects();
        wstest::Dictionary::TearDown();
    }
    AppData adata_x{};
    // What a fixture adds to the resources before the work area is built.
    virtual void resources(AppData &) {}

    // Every queued event handled (exposures drawn).
    void settle() { vxdl::pump_idle(); }

    QueryObject *table(const char *name)
    {
        DictRelation *r = wsdict_find_relation(name);
        return r ? r->table_object : nullptr;
    }
    QueryObject *column(const char *table, const char *name)
    {
        DictColumn *c = obdict_ob_find_column(table, name);
        return c ? c->object : nullptr;
    }
    // Scrolls so that the canvas box is in view; its top-left then lies
    // at the returned root position.
    void show(const ObBox &b)
    {
        wsmain_ws_position_at(std::max(0, b.x - 20), std::max(0, b.y - 40));
        settle();
    }
    void root_of(int cx, int cy, int &rx, int &ry)
    {
        Window child;
        XTranslateCoordinates(dpy, XtWindow(canvas), DefaultRootWindow(dpy), cx, cy, &rx, &ry, &child);
    }
    // The canvas pixel at (x, y) (the point must be in view).
    unsigned long pixel(int x, int y)
    {
        XSync(dpy, False);
        XImage *im = XGetImage(dpy, XtWindow(canvas), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!im)
            return ~0ul;
        unsigned long p = XGetPixel(im, 0, 0);
        XDestroyImage(im);
        return p;
    }
    // How many pixels of a canvas box have the pixel value.
    int count(const ObBox &b, unsigned long value)
    {
        XSync(dpy, False);
        XImage *im = XGetImage(dpy, XtWindow(canvas), b.x, b.y, static_cast<unsigned>(b.width),
                               static_cast<unsigned>(b.height), AllPlanes, ZPixmap);
        if (!im)
            return -1;
        int n = 0;
        for (int y = 0; y < b.height; y++)
            for (int x = 0; x < b.width; x++)
                n += XGetPixel(im, x, y) == value;
        XDestroyImage(im);
        return n;
    }

    // ---- real input ----
    void move_to(int cx, int cy)
    {
        int rx, ry;
        root_of(cx, cy, rx, ry);
        XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, 0);
    }
    void move_root(int rx, int ry) { XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, 0); }
    void button(bool down) { XTestFakeButtonEvent(dpy, 1, down ? True : False, 0); }
    // A press handled by the machine (state 2, its click timer running).
    void press_at(int cx, int cy)
    {
        move_to(cx, cy);
        button(true);
        ASSERT_TRUE(vxdl::pump_until([] { return wsevent_ws_input_state() == 2; }));
    }
    // Press and release within the click interval, no second press: the
    // double-click timer runs out and the machine makes it a single click.
    void click_at(int cx, int cy)
    {
        press_at(cx, cy);
        button(false);
        ASSERT_TRUE(vxdl::pump_until([] { return wsevent_ws_input_state() == 3; }));
        ASSERT_TRUE(fire(300));
        settle();
    }
    void double_click_at(int cx, int cy)
    {
        press_at(cx, cy);
        button(false);
        ASSERT_TRUE(vxdl::pump_until([] { return wsevent_ws_input_state() == 3; }));
        button(true);
        ASSERT_TRUE(vxdl::pump_until([] { return wsevent_ws_input_state() == 4; }));
        button(false);
        ASSERT_TRUE(vxdl::pump_until([] { return wsevent_ws_input_state() == 1; }));
        settle();
    }
    // Held past the click interval, dragged to the root point and let go:
    // the release waits in the queue when the click timer runs out.
    void hold_and_drag_root(int cx, int cy, int rx, int ry)
    {
        press_at(cx, cy);
        move_root(rx, ry);
        button(false);
        XSync(dpy, False);
        ASSERT_TRUE(fire(200));
        settle();
    }
    void hold_and_drag(int cx, int cy, int tx, int ty)
    {
        int rx, ry;
        root_of(tx, ty, rx, ry);
        hold_and_drag_root(cx, cy, rx, ry);
    }
    // A tool pressed, dragged to the canvas point and released.
    void drop_tool(const char *name, int cx, int cy)
    {
        Widget tool = vxdl::find(shell, name);
        ASSERT_NE(tool, nullptr) << name;
        int tx, ty;
        vxdl::root_centre(tool, tx, ty);
        move_root(tx, ty);
        button(true);
        move_to(cx, cy);
        button(false);
        XSync(dpy, False);
        settle();
    }
    QueryObject *expression(int x, int y, const char *text)
    {
        ObExpressionData d{};
        d.kind = OB_EXPRESSION;
        safe_strcpy(d.text, text, sizeof d.text);
        QueryObject *o = nullptr;
        obmain_object_class[OB_EXPRESSION].create(&o, &d, x, y, nullptr);
        wsdict_ws_link_object(o);
        wsmain_ws_expose_box(o->outer, nullptr);
        settle();
        return o;
    }
};

// A second client is served only when the server is not grabbed: it gets
// its answer within the (generous) bound.  A client that never gets one is
// left behind rather than waited for.
bool server_free()
{
    auto answered = std::make_shared<std::promise<bool>>();
    std::future<bool> done = answered->get_future();
    std::thread([answered] {
        Display *d = XOpenDisplay(nullptr);
        if (d) {
            XSync(d, False);
            XCloseDisplay(d);
        }
        answered->set_value(d != nullptr);
    }).detach();
    return done.wait_for(std::chrono::seconds(10)) == std::future_status::ready && done.get();
}

bool overlap(const ObBox &a, const ObBox &b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// ---- the demo database on the canvas -----------------------------------------------------------------

TEST_F(Canvas, EveryShownTableHasABoxInsideTheCanvasAndNoneOverlap)
{
    int count_list = 0;
    const TableListEntry *list = wsobj_ws_table_list(&count_list);
    int width = 0, height = 0;
    wsmain_ws_get_drawing_area_size(&width, &height);
    std::vector<QueryObject *> boxes;
    for (int i = 0; i < count_list; i++) {
        if (!list[i].shown)
            continue;
        DictRelation *r = wsdict_find_relation(list[i].name);
        ASSERT_NE(r, nullptr) << list[i].name;
        QueryObject *t = r->table_object;
        ASSERT_NE(t, nullptr) << list[i].name;
        const auto *td = static_cast<const ObTableData *>(t->kind_data);
        int columns = 0;
        for (DictColumn *c = r->columns; c; c = c->next) {
            ASSERT_NE(c->object, nullptr) << list[i].name << "." << c->name;
            EXPECT_TRUE(c->object->outer.x >= t->outer.x &&
                        c->object->outer.x + c->object->outer.width <= t->outer.x + t->outer.width)
                << c->name;
            columns++;
        }
        EXPECT_EQ(td->columns, columns) << list[i].name;
        EXPECT_EQ(td->rows, r->size) << list[i].name;
        EXPECT_NE(r->index_object, nullptr);
        EXPECT_NE(r->priv_object, nullptr);
        EXPECT_GE(t->outer.x, 0);
        EXPECT_GE(t->outer.y, 0);
        EXPECT_LE(t->outer.x + t->outer.width, width) << list[i].name;
        EXPECT_LE(t->outer.y + t->outer.height, height) << list[i].name;
        for (QueryObject *o : boxes)
            EXPECT_FALSE(overlap(o->outer, t->outer)) << list[i].name;
        boxes.push_back(t);
    }
    EXPECT_GE(boxes.size(), 5u);
    // The row count read again from the database.
    auto *dept = static_cast<ObTableData *>(table("DEPT")->kind_data);
    const int rows = dept->rows;
    EXPECT_GT(rows, 0);
    dept->rows = -5;
    obtab_reset_table_object_rows("DEPT");
    EXPECT_EQ(dept->rows, rows);
    // The index of STAFF marks its key columns.
    EXPECT_EQ(static_cast<ObColumnData *>(column("STAFF", "DEPTNO")->kind_data)->indexed, 1);
    EXPECT_EQ(static_cast<ObColumnData *>(column("STAFF", "JOB")->kind_data)->indexed, 0);
}

TEST_F(Canvas, TheBoxIsDrawnWhereItsLinesAndCellsLie)
{
    QueryObject *t = table("STAFF");
    ASSERT_NE(t, nullptr);
    show(t->outer);
    const ObBox s = t->select;
    Pixel bg = obmain_gri.background, fg = obmain_gri.foreground;
    // The name row's frame: left, top and right, in the outline colour.
    EXPECT_EQ(pixel(s.x - 1, s.y + s.height / 2), red);
    EXPECT_EQ(pixel(s.x + 2, s.y - 1), red);
    EXPECT_EQ(pixel(s.x + s.width + 1, s.y + s.height / 2), red);
    // Nothing outside it to the left.
    EXPECT_EQ(pixel(s.x - 5, s.y + s.height / 2), bg);
    // The information line beside the name has text in it.
    const ObBox info{s.x + s.width + 7, s.y, 120, s.height};
    EXPECT_GT(count(info, fg), 10);

    QueryObject *dept = column("STAFF", "DEPTNO"), *job = column("STAFF", "JOB");
    QueryObject *first = column("STAFF", "EMPNO");
    ASSERT_TRUE(dept && job && first);
    const ObBox &o = first->outer;
    // The first cell has the left edge; every cell its top and right edges
    // and the line under its name.
    EXPECT_EQ(pixel(o.x + 1, o.y + o.height / 2), red);
    EXPECT_EQ(pixel(o.x + o.width / 2, o.y + 1), red);
    EXPECT_EQ(pixel(o.x + o.width - 1, o.y + o.height / 2), red);
    const ObBox &js = job->select;
    EXPECT_EQ(pixel(js.x + 2, js.y + js.height + 1), red);
    EXPECT_EQ(pixel(job->outer.x + job->outer.width - 1, job->outer.y + job->outer.height / 2), red);
    // The indexed column has its marker one pixel inside the name's cell,
    // the other none.
    const ObBox &ds = dept->select;
    EXPECT_EQ(pixel(ds.x + 1, ds.y + ds.height / 2), red);
    EXPECT_EQ(pixel(js.x + 1, js.y + js.height / 2), bg);

    // Selected: the cell and the name row are inverted.
    click_at(js.x + 2, js.y + 2);
    ASSERT_EQ(job->selected, 1);
    EXPECT_EQ(pixel(js.x + 1, js.y + 1), fg);
    EXPECT_GT(count(js, fg), js.width * js.height / 2);
    click_at(s.x + 1, s.y + 1);
    EXPECT_EQ(t->selected, 1);
    EXPECT_EQ(pixel(s.x + 1, s.y + s.height - 2), fg);

    // Covered and exposed again: drawn the same.
    const int before = count(t->outer, red);
    XClearArea(dpy, XtWindow(canvas), t->outer.x, t->outer.y, static_cast<unsigned>(t->outer.width),
               static_cast<unsigned>(t->outer.height), False);
    EXPECT_EQ(count(t->outer, red), 0);
    XClearArea(dpy, XtWindow(canvas), t->outer.x, t->outer.y, static_cast<unsigned>(t->outer.width),
               static_cast<unsigned>(t->outer.height), True);
    settle();
    EXPECT_EQ(count(t->outer, red), before);
}

// ---- pointer input ----------------------------------------------------------------------------------------

TEST_F(Canvas, AQuickClickSelectsAndUnselectsAColumn)
{
    QueryObject *c = column("DEPT", "DNAME");
    ASSERT_NE(c, nullptr);
    show(c->outer);
    click_at(c->select.x + 3, c->select.y + 3);
    EXPECT_EQ(c->selected, 1);
    EXPECT_TRUE(wsdict_ws_is_selected(c));
    click_at(c->select.x + 3, c->select.y + 3);
    EXPECT_EQ(c->selected, 0);
    EXPECT_FALSE(wsdict_ws_is_selected(c));
    EXPECT_EQ(bells, 0);
}

TEST_F(Canvas, ADoubleClickOpensTheColumnsDialog)
{
    stand_in(15, OB_COLUMN, 0);
    QueryObject *c = column("DEPT", "CITY");
    ASSERT_NE(c, nullptr);
    show(c->outer);
    double_click_at(c->select.x + 3, c->select.y + 3);
    EXPECT_EQ(opened.popups, 1);
    EXPECT_EQ(wsmgr_ws_enquire_current_object(), c);
    EXPECT_EQ(wsevent_ws_interaction(), 1);
    int done = 0;
    dlmain_dialogs[15].dismiss(&dlmain_dialogs[15], &done);
    EXPECT_EQ(wsevent_ws_interaction(), 0);
}

TEST_F(Canvas, AHoldBandsSeveralColumns)
{
    QueryObject *t = table("DEPT");
    ASSERT_NE(t, nullptr);
    show(t->outer);
    QueryObject *a = column("DEPT", "DEPTNO"), *b = column("DEPT", "DNAME"), *c = column("DEPT", "CITY");
    // From empty canvas left of the box to just past the third cell.
    hold_and_drag(a->select.x - 5, a->select.y - 3, c->select.x + c->select.width + 1,
                  c->select.y + c->select.height + 1);
    EXPECT_EQ(a->selected, 1);
    EXPECT_EQ(b->selected, 1);
    EXPECT_EQ(c->selected, 1);
    EXPECT_EQ(column("DEPT", "BUDGET")->selected, 0);
    EXPECT_EQ(bells, 0);
    EXPECT_EQ(wscurs_ws_current_cursor(), WS_CURSOR_NONE);
    EXPECT_TRUE(server_free());
    // A band over nothing selectable (right of the box) rings.
    const int right = t->outer.x + t->outer.width;
    hold_and_drag(right + 20, t->outer.y + 20, right + 60, t->outer.y + 40);
    EXPECT_EQ(bells, 1);
    EXPECT_EQ(a->selected, 1);
    EXPECT_TRUE(server_free());
    // Held on the table's name row: a table does not move, so it is a band
    // from there, which takes the cells wholly inside it.
    const ObBox table_before = t->outer;
    const ObBox &s = t->select;
    hold_and_drag(s.x + 2, s.y + 2, c->select.x + c->select.width + 1, c->select.y + c->select.height + 1);
    EXPECT_EQ(t->outer.x, table_before.x);
    EXPECT_EQ(t->outer.y, table_before.y);
    EXPECT_EQ(t->selected, 0);
    EXPECT_EQ(a->selected, 1);  // starts left of the press: not inside
    EXPECT_EQ(b->selected, 0);  // toggled off
    EXPECT_EQ(c->selected, 0);
    EXPECT_EQ(bells, 1);
}

TEST_F(Canvas, AnExpressionMovesAndTheTrashDeletesItOnlyInModeZero)
{
    // Room right of the tables.
    wsmain_ws_resize_drawing_area(1400, 0);
    settle();
    const ObBox v = wsmain_ws_visible_box();
    QueryObject *e = expression(v.x + 700, v.y + 20, "BUDGET*2");
    ASSERT_NE(e, nullptr);
    const ObBox before = e->layout;
    // Picked 3 pixels into its label and let go 40 right and 30 down.
    hold_and_drag(before.x + 5, before.y + 5, before.x + 45, before.y + 35);
    EXPECT_EQ(e->layout.x, before.x + 40);
    EXPECT_EQ(e->layout.y, before.y + 30);
    EXPECT_EQ(e->anchor_x, before.x + 42);
    EXPECT_GT(count(e->select, obmain_gri.background), 0);  // drawn at the new place
    EXPECT_TRUE(server_free());

    Widget trash = vxdl::find(shell, "trashCan");
    ASSERT_NE(trash, nullptr);
    int tx, ty;
    vxdl::root_centre(trash, tx, ty);
    // In mode 1 the same gesture rings and keeps it.
    wsevent_ws_set_interaction(1);
    hold_and_drag_root(e->select.x + 3, e->select.y + 3, tx, ty);
    EXPECT_EQ(bells, 1);
    ASSERT_EQ(wsdict_dictionary->expressions, e);
    wsevent_ws_set_interaction(0);
    hold_and_drag_root(e->select.x + 3, e->select.y + 3, tx, ty);
    EXPECT_EQ(wsdict_dictionary->expressions, nullptr);
    EXPECT_EQ(bells, 1);
    EXPECT_TRUE(server_free());
}

TEST_F(Canvas, ToolsDroppedOnColumnsTablesAndEmptyCanvas)
{
    stand_in(8, OB_EXPRESSION, 1u << OB_COLUMN | DL_REF_PICK_DROP_TARGET);
    stand_in(17, OB_INDEX, 0);
    QueryObject *c = column("DEPT", "BUDGET");
    QueryObject *t = table("DEPT");
    ASSERT_TRUE(c && t);
    show(t->outer);
    // The expression tool on a column: the column is its drop object and
    // first reference.
    drop_tool("expressionTool", c->select.x + 3, c->select.y + 3);
    EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), 8);
    EXPECT_EQ(wsmgr_ws_enquire_last_reference(), c);
    int done = 0;
    dlmain_dialogs[8].dismiss(&dlmain_dialogs[8], &done);
    // On empty canvas: the user object is the drop object (no reference).
    const ObBox v = wsmain_ws_visible_box();
    drop_tool("expressionTool", v.x + v.width - 20, v.y + v.height - 20);
    EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), 8);
    EXPECT_EQ(wsmgr_ws_enquire_last_reference(), nullptr);
    dlmain_dialogs[8].dismiss(&dlmain_dialogs[8], &done);
    // The index tool on the table box edits the table's index object.
    drop_tool("indexTool", c->select.x + 3, c->select.y + 3);
    EXPECT_EQ(wsmgr_ws_enquire_current_object(), wsdict_find_relation("DEPT")->index_object);
    dlmain_dialogs[17].dismiss(&dlmain_dialogs[17], &done);
    EXPECT_EQ(opened.popups, 3);
    EXPECT_EQ(bells, 0);
}

TEST_F(Canvas, CursorsAndTheWarpOntoTheTool)
{
    Window w = XtWindow(shell);
    wscurs_ws_set_cursor(w, nullptr, WS_CURSOR_BUSY);
    EXPECT_EQ(wscurs_ws_current_cursor(), WS_CURSOR_BUSY);
    EXPECT_NE(wscurs_ws_cursor(WS_CURSOR_BUSY), 0u);
    wsevent_ws_set_interaction(1);
    EXPECT_EQ(wscurs_ws_current_cursor(), WS_CURSOR_REFERENCE);
    wsevent_ws_set_interaction(0);
    EXPECT_EQ(wscurs_ws_current_cursor(), WS_CURSOR_NONE);
    // The drag cursor's hot spot is put on the tool.
    Widget tool = vxdl::find(shell, "sortTool");
    ASSERT_NE(tool, nullptr);
    move_root(5, 5);
    XSync(dpy, False);
    wscurs_ws_set_warp_ability(1);
    wscurs_ws_set_drag_tool(tool);
    wscurs_ws_set_cursor(w, nullptr, WS_CURSOR_DRAG);
    EXPECT_NE(wscurs_ws_cursor(WS_CURSOR_DRAG), 0u);
    Window rw, cw;
    int rx, ry, wx, wy;
    unsigned mask;
    XQueryPointer(dpy, XtWindow(tool), &rw, &cw, &rx, &ry, &wx, &wy, &mask);
    Dimension tw = 0, th = 0;
    XtVaGetValues(tool, XmNwidth, &tw, XmNheight, &th, nullptr);
    EXPECT_TRUE(wx > 0 && wy > 0 && wx < tw && wy < th) << wx << "," << wy;
    wscurs_ws_set_cursor(w, nullptr, WS_CURSOR_NONE);
    wscurs_ws_set_warp_ability(0);
}

// ---- keys ----------------------------------------------------------------------------------------------------

TEST_F(Canvas, TypedKeysFindATableByTheBeginningOfItsName)
{
    int count_list = 0;
    const TableListEntry *list = wsobj_ws_table_list(&count_list);
    int staff = -1;
    for (int i = 0; i < count_list; i++)
        if (strcmp(list[i].name, "STAFF") == 0)
            staff = i;
    ASSERT_GE(staff, 0);
    wsmain_ws_reset_search();
    wsmain_ws_position_at(0, 0);
    settle();
    // Key releases on the canvas, lower case as typed.
    vxdl::type(canvas, "sta");
    ASSERT_TRUE(vxdl::pump_until([] { return wsmain_ws_search_label() == "sta"; }));
    vxdl::key(canvas, "BackSpace");
    ASSERT_TRUE(vxdl::pump_until([] { return wsmain_ws_search_label() == "st"; }));
    vxdl::type(canvas, "a");
    vxdl::key(canvas, "Return");
    ASSERT_TRUE(vxdl::pump_until([] { return wsmain_ws_search_label().empty(); }));
    EXPECT_EQ(wsmain_ws_last_found(), staff);
    // Scrolled so that the box shows a y gap below the top, or as far as
    // the canvas goes.
    QueryObject *t = table("STAFF");
    ASSERT_NE(t, nullptr);
    const ObBox v = wsmain_ws_visible_box();
    int width = 0, height = 0;
    wsmain_ws_get_drawing_area_size(&width, &height);
    EXPECT_EQ(v.x, 0);
    EXPECT_EQ(v.y, std::min(t->outer.y - 60, height - v.height));
    EXPECT_EQ(bells, 0);
}

// ---- Run and Stop -------------------------------------------------------------------------------------------

int runs = 0, stops = 0;
void run_pressed(Widget, XtPointer, XtPointer) { runs++; }
void stop_pressed() { stops++; }

struct StopState {
    int enabled, pending, caught;
    bool operator==(const StopState &) const = default;
};
std::ostream &operator<<(std::ostream &os, const StopState &s)
{
    return os << "{" << s.enabled << "," << s.pending << "," << s.caught << "}";
}
StopState stop_state()
{
    StopState s{};
    wsmain_ws_stop_state(&s.enabled, &s.pending, &s.caught);
    return s;
}

TEST_F(Canvas, RunTurnsIntoStopAndAStopPressedEarlyWaitsForItsProcedure)
{
    runs = stops = 0;
    Widget run = wsmain_ws_run_button();
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(wsmain_ws_get_stop_button(), XtParent(run));
    wsmain_ws_set_buttons("New", nullptr, nullptr, "Run", run_pressed, nullptr);
    EXPECT_EQ(vxdl::label(run), "Run");
    vxdl::click(run);
    ASSERT_TRUE(vxdl::pump_until([] { return runs == 1; }));

    // Stop on an insensitive Run: the button reads Stop and can be pressed;
    // the procedure runs once, the button goes insensitive.
    XtSetSensitive(run, False);
    wsmain_ws_enable_stop(1);
    EXPECT_EQ(vxdl::label(run), ws_message(4));
    EXPECT_TRUE(XtIsSensitive(run));
    EXPECT_EQ(stop_state(), (StopState{1, 0, 0}));
    // New follows the flag; Run stays a Stop that can be pressed.
    wsmain_ws_set_buttons_sensitive(0);
    EXPECT_TRUE(XtIsSensitive(run));
    EXPECT_EQ(wsmain_ws_set_stop_proc(stop_pressed), nullptr);
    vxdl::click(run);
    ASSERT_TRUE(vxdl::pump_until([] { return stops == 1; }));
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(XtIsSensitive(run));
    EXPECT_EQ(stop_state(), (StopState{1, 0, 1}));
    // Back to Run: its label, its callback once and its sensitivity; no
    // procedure is left behind.
    wsmain_ws_enable_stop(0);
    EXPECT_EQ(vxdl::label(run), "Run");
    EXPECT_FALSE(XtIsSensitive(run));
    EXPECT_EQ(stop_state(), (StopState{0, 0, 0}));
    EXPECT_EQ(wsmain_ws_set_stop_proc(nullptr), nullptr);
    XtSetSensitive(run, True);
    vxdl::click(run);
    ASSERT_TRUE(vxdl::pump_until([] { return runs == 2; }));

    // Stop pressed before any procedure is installed: it is kept pending
    // and the procedure runs as soon as it comes.
    wsmain_ws_enable_stop(1);
    vxdl::click(run);
    ASSERT_TRUE(vxdl::pump_until([] { return stop_state().pending == 1; }));
    EXPECT_EQ(stop_state(), (StopState{1, 1, 1}));
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(wsmain_ws_set_stop_proc(stop_pressed), nullptr);
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(stop_state(), (StopState{1, 0, 1}));
    // Enabling again while enabled changes nothing on the button but
    // forgets the procedure.
    wsmain_ws_enable_stop(1);
    EXPECT_EQ(wsmain_ws_set_stop_proc(nullptr), nullptr);
    EXPECT_EQ(vxdl::label(run), ws_message(4));
    wsmain_ws_enable_stop(0);
    EXPECT_EQ(vxdl::label(run), "Run");
    EXPECT_TRUE(XtIsSensitive(run));
    vxdl::click(run);
    ASSERT_TRUE(vxdl::pump_until([] { return runs == 3; }));
    EXPECT_EQ(stops, 2);
    wsmain_ws_set_buttons_sensitive(1);
}

// A long operation runs no main loop: it polls the Stop button's widget
// for events, and a press of Stop must arrive there.
TEST_F(Canvas, StopPressedDuringALongOperationReachesThePolledWidget)
{
    stops = 0;
    Widget run = wsmain_ws_run_button();
    Widget polled = wsmain_ws_get_stop_button();
    ASSERT_TRUE(run && polled);
    wsmain_ws_set_buttons_sensitive(1);
    wsmain_ws_enable_stop(1);
    EXPECT_EQ(wsmain_ws_set_stop_proc(stop_pressed), nullptr);
    ASSERT_TRUE(vxdl::wait_viewable(run));
    vxdl::pump_idle();
    int x = 0, y = 0;
    vxdl::root_centre(run, x, y);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, 0);
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XTestFakeButtonEvent(dpy, 1, False, 0);
    const bool seen = vxtest::wait_for(
        [&] {
            XSync(dpy, False);
            XEvent ev;
            while (XCheckWindowEvent(dpy, XtWindow(polled), 0x01FFFFFFL, &ev))
                XtDispatchEvent(&ev);
            return stops == 1;
        },
        std::chrono::seconds(10));
    EXPECT_TRUE(seen);
    EXPECT_EQ(stop_state().caught, 1);
    wsmain_ws_enable_stop(0);
    vxdl::pump_idle();
}

TEST_F(Canvas, TheTargetIconChangesOnlyToAnotherKnownIndex)
{
    Widget icon = vxdl::find(shell, "targetIcon");
    ASSERT_NE(icon, nullptr);
    auto pixmap = [icon] {
        Pixmap p = 0;
        XtVaGetValues(icon, XmNlabelPixmap, &p, nullptr);
        return p;
    };
    const int start = wsmain_ws_set_target_icon(0);
    const Pixmap terminal = pixmap();
    EXPECT_EQ(wsmain_ws_set_target_icon(2), 0);
    const Pixmap table = pixmap();
    EXPECT_NE(table, terminal);
    EXPECT_NE(table, static_cast<Pixmap>(XmUNSPECIFIED_PIXMAP));
    struct Step {
        int index, previous;
        Pixmap shown;
    };
    for (const Step &s : {Step{2, 2, table}, Step{7, 2, table}, Step{-1, 2, table}, Step{0, 2, terminal}}) {
        SCOPED_TRACE(s.index);
        EXPECT_EQ(wsmain_ws_set_target_icon(s.index), s.previous);
        EXPECT_EQ(pixmap(), s.shown);
    }
    wsmain_ws_set_target_icon(start < 0 ? 0 : start);
}

// ---- the user tool ---------------------------------------------------------------------------------------

// A user tool whose command writes the names it is given to a file.
class UserTool : public Canvas {
protected:
    std::string icon, command, out;
    int rereads = 0;
    void resources(AppData &ad) override
    {
        out = vxtest::temp_dir("wsusertool") + "/names";
        icon = std::string(ad.install_dir) + "/bitmaps/Vostrelane/user.tool";
        command = "!echo %t.%c >> " + out;
        ad.userToolIcon = icon.data();
        ad.userToolCommand = command.data();
    }
    std::string names()
    {
        std::ifstream f(out);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
};

TEST_F(UserTool, DroppedOnAColumnATableOrEmptyCanvasRunsItsCommandWithTheirNames)
{
    scratch_dirs.push_back(out.substr(0, out.rfind('/')));
    Widget tool = vxdl::find(shell, "userDefinedTool");
    ASSERT_NE(tool, nullptr);
    EXPECT_TRUE(XtIsManaged(tool));
    static int *count = nullptr;
    count = &rereads;
    wsobj_ws_set_reread_hook([] { (*count)++; });
    QueryObject *c = column("DEPT", "BUDGET");
    QueryObject *t = table("DEPT");
    ASSERT_TRUE(c && t);
    show(t->outer);
    drop_tool("userDefinedTool", c->select.x + 3, c->select.y + 3);
    EXPECT_EQ(names(), "DEPT.BUDGET\n");
    drop_tool("userDefinedTool", t->select.x + 2, t->select.y + 2);
    EXPECT_EQ(names(), "DEPT.BUDGET\nDEPT.%c\n");
    const ObBox v = wsmain_ws_visible_box();
    drop_tool("userDefinedTool", v.x + v.width - 20, v.y + v.height - 20);
    EXPECT_EQ(names(), "DEPT.BUDGET\nDEPT.%c\n%t.%c\n");
    // A shell command does not ask for the dictionary again; no dialog
    // opened and nothing rang.
    EXPECT_EQ(rereads, 0);
    EXPECT_EQ(opened.popups, 0);
    EXPECT_EQ(bells, 0);
    wsobj_ws_set_reread_hook(nullptr);
}

// An icon that cannot be read leaves the user tool out.
class UserToolWithoutIcon : public Canvas {
protected:
    void resources(AppData &ad) override
    {
        ad.userToolIcon = const_cast<char *>("/nonexistent-vostrelane/user.xbm");
        ad.userToolCommand = const_cast<char *>("!true");
    }
};

TEST_F(UserToolWithoutIcon, IsNotShown)
{
    EXPECT_EQ(vxdl::find(shell, "userDefinedTool"), nullptr);
    EXPECT_NE(vxdl::find(shell, "expressionTool"), nullptr);
}

// ---- start without bitmaps ---------------------------------------------------------------------------------

TEST(CanvasBitmaps, AMissingFirstToolPixmapEndsTheProgram)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            vxdl::App &a = vxdl::app();
            AppData ad = a.adata;
            ad.install_dir = const_cast<char *>("/nonexistent-vostrelane");
            ad.disableTooltips = True;
            Widget s = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display,
                                          nullptr);
            Widget f = XtVaCreateManagedWidget("queryWindow", xmFormWidgetClass, s, nullptr);
            wsmain_workspace_init(f, &ad);
            exit(0);
        },
        testing::ExitedWithCode(1), "Vostrelane. Bitmaps were not loaded.");
}

}  // namespace
