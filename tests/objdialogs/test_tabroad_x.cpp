// The user's road through the table and column editors, in the query
// window as start-up builds it, on a copy of the demo database opened as
// its owner BRASK, with the installed interpreter.  Every step is real
// input through XTest: the table tool dropped on the canvas, the fields
// typed, the types picked from the menu, the column editor borrowed, the
// column tool dropped on the new table, objects double-clicked, the
// condition built by a canvas pick and a pad, Run.  Rows are read back
// from the table view (PRIMARY) and compared with statements typed in the
// DOZ dialog.  Bad input leaves canvas, dictionary and database as they
// were.  The table editor with the column editor listing the new columns is
// saved as a picture (into $VX_IMAGE_DIR when set, for scripts/images.sh).

#include "roadkit.h"  // first: gtest before the X headers
#include "wstest.h"

#include "dlcolchk.h"
#include "dlkit.h"
#include "dlmain.h"
#include "obdict.h"
#include "obmain.h"
#include "vxmain.h"
#include "wsdict.h"
#include "wsmain.h"

#include <X11/extensions/XTest.h>
#include <Xm/Command.h>
#include <Xm/MessageB.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/ToggleB.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace road;

namespace {

Display *dpy() { return vxdl::app().display; }

// ---- the canvas --------------------------------------------------------------------------

// The root position of a canvas point, scrolled into view.
void canvas_root(int cx, int cy, int &rx, int &ry)
{
    wsmain_ws_position_at(std::max(0, cx - 60), std::max(0, cy - 60));
    vxdl::pump_idle();
    wsmain_ws_canvas_to_root(cx, cy, &rx, &ry);
}

// A tool pressed, dragged to a canvas point and let go.
void drop_tool_at(const char *tool_name, int cx, int cy)
{
    int rx = 0, ry = 0;
    canvas_root(cx, cy, rx, ry);
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

// Two clicks in quick succession on the middle of an object: its editor.
void double_click_object(QueryObject *o)
{
    int rx = 0, ry = 0;
    canvas_root(o->select.x + o->select.width / 2, o->select.y + o->select.height / 2, rx, ry);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
    for (int i = 0; i < 2; i++) {
        XTestFakeButtonEvent(dpy(), 1, True, 0);
        XTestFakeButtonEvent(dpy(), 1, False, 0);
    }
    XSync(dpy(), False);
    vxdl::pump_idle();
}

DictRelation *relation(const char *name) { return obdict_ob_find_table(name); }
QueryObject *table_object(const char *name)
{
    DictRelation *r = relation(name);
    return r ? r->table_object : nullptr;
}
int box_rows(const char *name)
{
    QueryObject *t = table_object(name);
    return t ? static_cast<ObTableData *>(t->kind_data)->rows : -1;
}

// ---- the editors -------------------------------------------------------------------------------

// A dialog's window brought to the front (another may cover its buttons).
void raise(int id)
{
    XRaiseWindow(dpy(), XtWindow(XtParent(editor(id)->widget)));
    XSync(dpy(), False);
    vxdl::pump_idle();
}

// A dialog moved right of the query window (its canvas left free for
// picks), `y` from the top.
void aside(int id, int y)
{
    Widget shell = XtParent(editor(id)->widget);
    XtVaSetValues(shell, XmNx, static_cast<Position>(800), XmNy, static_cast<Position>(y), nullptr);
    XSync(dpy(), False);
    vxdl::pump_idle();
}

// A dialog centred on a point near the screen's edge may hang over it
// (no window manager keeps it in): moved wholly onto the screen, as a
// user would drag it, so that the pointer can reach its buttons.
void onto_screen(int id)
{
    Widget shell = XtParent(editor(id)->widget);
    ASSERT_TRUE(vxdl::wait_viewable(editor(id)->widget));
    Position x = 0, y = 0;
    Dimension w = 0, h = 0;
    XtVaGetValues(shell, XmNx, &x, XmNy, &y, XmNwidth, &w, XmNheight, &h, nullptr);
    const int sw = DisplayWidth(dpy(), DefaultScreen(dpy())), sh = DisplayHeight(dpy(), DefaultScreen(dpy()));
    const int nx = std::clamp<int>(x, 0, std::max(0, sw - w - 4)), ny = std::clamp<int>(y, 0, std::max(0, sh - h - 4));
    if (nx != x || ny != y) {
        XtVaSetValues(shell, XmNx, static_cast<Position>(nx), XmNy, static_cast<Position>(ny), nullptr);
        XSync(dpy(), False);
        vxdl::pump_idle();
    }
}

Widget tab_field(const char *path) { return vxdl::at(editor(16)->widget, path); }
Widget col_name() { return vxdl::at(editor(15)->widget, "form1/colNameT"); }
Widget col_field(int n) { return vxdl::nth(editor(15)->widget, "colT", n); }
Widget col_detail(const char *name) { return vxdl::find(editor(15)->widget, name); }

void choose_type(int type)
{
    Widget menu = col_detail("optionM");
    Widget entry = vxdl::find(editor(15)->widget, dlmain_widget_name("type%dB", type + 1));
    ASSERT_TRUE(menu && entry);
    vxdl::click(XmOptionButtonGadget(menu));
    ASSERT_TRUE(vxdl::wait_viewable(entry));
    vxdl::click(entry);
    ASSERT_TRUE(vxdl::pump_until([&] { return dlmain_get_option(menu) == type; })) << type;
    vxdl::pump_idle();
}

// A column typed into the column editor: name, then (unless the name is
// an item's) type, length, fraction and the primary or null toggle.
struct ColumnEntry {
    const char *name;
    int type;
    const char *length, *fraction;
    bool primary, null;
};
void type_column(const ColumnEntry &c)
{
    vxdl::retype(col_name(), c.name);
    if (c.type < 0) {
        // An item's name: leaving the field takes its definition.
        vxdl::click(col_detail("colPrimT"));
        vxdl::click(col_detail("colPrimT"));
        return;
    }
    choose_type(c.type);
    vxdl::retype(col_field(0), c.length);
    if (c.fraction)
        vxdl::retype(col_field(1), c.fraction);
    if (c.primary != (XmToggleButtonGetState(col_detail("colPrimT")) == True))
        vxdl::click(col_detail("colPrimT"));
    if (c.null != (XmToggleButtonGetState(col_detail("colNullT")) == True))
        vxdl::click(col_detail("colNullT"));
    vxdl::pump_idle();
}

// OK or Apply clicked: the text-error box's message (answered), or empty.
std::string field_refusal(int id, unsigned char which = XmDIALOG_OK_BUTTON)
{
    click_box(id, which);
    vxdl::pump_until([] { return dlmain_text_error_pending() != 0; }, std::chrono::milliseconds(1500));
    vxdl::pump_idle();
    if (!dlmain_text_error_pending())
        return "";
    std::string text = vxdl::message(dlmain_text_error_box());
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
    vxdl::pump_idle();
    return text;
}

std::string with_arg(std::string format, const std::string &arg)
{
    const size_t at = format.find("%s");
    return at == std::string::npos ? format : format.replace(at, 2, arg);
}

// The confirm boxes (dialog 2) answered with OK from inside their loops.
struct ConfirmAnswers {
    std::vector<std::string> texts;
    XtIntervalId timer = 0;
};
void poll_confirm_box(XtPointer client, XtIntervalId *)
{
    auto *a = static_cast<ConfirmAnswers *>(client);
    Widget box = dlmain_dialogs[2].widget;
    if (box && XtIsManaged(box) && XtIsRealized(box)) {
        a->texts.push_back(vxdl::message(box));
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
    }
    a->timer = XtAppAddTimeOut(vxdl::app().context, 10, poll_confirm_box, a);
}
std::vector<std::string> confirmed(const std::function<void()> &action)
{
    ConfirmAnswers a;
    a.timer = XtAppAddTimeOut(vxdl::app().context, 10, poll_confirm_box, &a);
    action();
    vxdl::pump_idle();
    XtRemoveTimeOut(a.timer);
    return a.texts;
}

// ---- snapshots -----------------------------------------------------------------------------------

// The canvas's tables and columns with their boxes, the dictionary's
// relations and items, and the database's relations with NEWT's rows.
std::string snapshot(bool with_items = true)
{
    std::string s;
    for (const DictRelation *r = wsdict_dictionary->relations; r; r = r->next) {
        s += std::string(r->name) + ":";
        if (const QueryObject *t = r->table_object)
            s += " box " + std::to_string(t->outer.x) + "," + std::to_string(t->outer.y) + "," +
                 std::to_string(t->outer.width) + "," + std::to_string(t->outer.height);
        for (const DictColumn *c = r->columns; c; c = c->next) {
            s += std::string(" ") + c->name + (c->key ? "!" : "") + (c->null ? "?" : "");
            if (c->item)
                s += "(" + std::to_string(c->item->type) + "," + std::to_string(c->item->length) + "," +
                     std::to_string(c->item->fraction) + ")";
            if (c->object)
                s += "@" + std::to_string(c->object->outer.x);
        }
        s += "\n";
    }
    for (const DictItem *it = with_items ? wsdict_dictionary->items : nullptr; it; it = it->next)
        s += std::string("item ") + it->name + " " + std::to_string(it->type) + "," + std::to_string(it->length) + "\n";
    for (const auto &row : wstest::read_full("DISPLAY %RNAME FROM %RELATNS"))
        s += "db " + (row.empty() ? std::string() : row[0]) + "\n";
    if (relation("NEWT"))
        for (const auto &row : wstest::read_full("DISPLAY * FROM NEWT")) {
            s += "row";
            for (const std::string &f : row)
                s += " " + f;
            s += "\n";
        }
    return s;
}

// ---- the road ------------------------------------------------------------------------------------

TEST(TableRoad, ANewTableItsColumnsItsRowsAndItsCommands)
{
    wstest::ensure_demo();
    qytest::use_installed_tree();
    start_program("TR");
    if (HasFatalFailure())
        return;
    QueryObject *staff = table_object("STAFF");
    ASSERT_NE(staff, nullptr);

    // ---- the table tool on the canvas, under the first table.
    QueryObject *first = nullptr;
    for (const DictRelation *r = wsdict_dictionary->relations; r; r = r->next)
        if (r->table_object && (!first || r->table_object->outer.y < first->outer.y))
            first = r->table_object;
    ASSERT_NE(first, nullptr);
    const int drop_x = first->outer.x + 8, drop_y = first->outer.y + first->outer.height + obmain_table_y_gap / 2;
    const std::string before = snapshot(), before_tables = snapshot(false);
    drop_tool_at("tableTool", drop_x, drop_y);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(16); }));
    onto_screen(16);
    ASSERT_TRUE(vxdl::wait_viewable(tab_field("form1/tabNameT")));

    // An empty name, a bad one, no column: refused, nothing changes.
    EXPECT_EQ(field_refusal(16), std::string(dlmain_raw_message(1, 7)));
    vxdl::retype(tab_field("form1/tabNameT"), "T-1");
    EXPECT_EQ(field_refusal(16), with_arg(dlmain_raw_message(1, 12), "T-1"));
    vxdl::retype(tab_field("form1/tabNameT"), "NEWT");
    vxdl::retype(tab_field("form1/frame/form2/tabSizeT"), "50");
    // (A table the workspace cannot make closes the editor.)
    EXPECT_EQ(refused_ok(16), std::vector<std::string>{object_message(16)});
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(16); }));
    EXPECT_EQ(snapshot(), before);
    drop_tool_at("tableTool", drop_x, drop_y);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(16); }));
    onto_screen(16);
    vxdl::retype(tab_field("form1/tabNameT"), "NEWT");
    vxdl::retype(tab_field("form1/frame/form2/tabSizeT"), "50");

    // ---- the columns, in the column editor borrowed by the table editor.
    vxdl::click(tab_field("form1/colBut"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(15); }));
    onto_screen(15);
    ASSERT_TRUE(vxdl::wait_viewable(col_name()));
    // Bad columns first: each refused, the list still empty.
    type_column({"BONUS", DLCOL_REAL, "6", "5", false, true});
    EXPECT_EQ(field_refusal(15, XmDIALOG_APPLY_BUTTON), with_arg(dl_text(15, 16), "5"));
    type_column({"GRID", DLCOL_LONG, "6", nullptr, false, false});
    vxdl::retype(col_field(2), "181,182");
    EXPECT_EQ(field_refusal(15, XmDIALOG_APPLY_BUTTON), with_arg(dl_text(15, 17), "181,182"));
    dl_set_text(col_field(2), "");
    type_column({"THIRTEENCHARS", DLCOL_LONG, "6", nullptr, false, false});
    EXPECT_EQ(answered_errors([] { click_box(15, XmDIALOG_APPLY_BUTTON); }),
              std::vector<std::string>{with_arg(object_message(37), "THIRTEENCHARS")});
    type_column({"FROM", DLCOL_LONG, "6", nullptr, false, false});
    {
        const std::vector<std::string> said = answered_errors([] { click_box(15, XmDIALOG_APPLY_BUTTON); });
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back(), with_arg(object_message(19), "FROM"));
    }
    Widget list = XmSelectionBoxGetChild(editor(15)->widget, XmDIALOG_LIST);
    int items = -1;
    XtVaGetValues(list, XmNitemCount, &items, nullptr);
    EXPECT_EQ(items, 0);

    // NOTE (String 30, null): without a key column the table is refused.
    type_column({"NOTE", DLCOL_STRING, "30", nullptr, false, true});
    click_box(15, XmDIALOG_APPLY_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(col_name()).empty(); }));
    raise(16);
    EXPECT_EQ(refused_ok(16), std::vector<std::string>{object_message(17)});
    raise(15);
    EXPECT_EQ(snapshot(), before);
    // K (Long 6, primary), DEPTNO (an item).
    type_column({"K", DLCOL_LONG, "6", nullptr, true, false});
    click_box(15, XmDIALOG_APPLY_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(col_name()).empty(); }));
    type_column({"DEPTNO", -1, nullptr, nullptr, false, false});
    ASSERT_TRUE(vxdl::pump_until([] { return !XtIsSensitive(col_field(0)); }));
    const DictItem *deptno = wsdict_find_item("DEPTNO");
    ASSERT_NE(deptno, nullptr);
    EXPECT_EQ(dlmain_get_option(col_detail("optionM")), deptno->type);
    EXPECT_EQ(vxdl::text(col_field(0)), std::to_string(deptno->length));
    click_box(15, XmDIALOG_APPLY_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(col_name()).empty(); }));
    XtVaGetValues(list, XmNitemCount, &items, nullptr);
    EXPECT_EQ(items, 3);
    vxdl::pump_idle();
    // The picture: the canvas from its top, the column editor beside the
    // table editor.
    aside(15, 0);
    wsmain_ws_position_at(0, 0);
    vxdl::pump_idle();
    save_picture("table-editor.png", {toplevel, editor(16)->widget, editor(15)->widget});
    click_box(15, XmDIALOG_CANCEL_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(15); }));
    // Nothing reached the workspace yet.
    EXPECT_EQ(snapshot(), before);

    raise(16);
    click_box(16, XmDIALOG_OK_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(16); }));
    QueryObject *newt = table_object("NEWT");
    ASSERT_NE(newt, nullptr);
    EXPECT_GE(newt->outer.y, first->outer.y + first->outer.height);
    EXPECT_EQ(static_cast<ObTableData *>(newt->kind_data)->columns, 3);
    for (const char *name : {"NOTE", "K", "DEPTNO"})
        EXPECT_NE(column("NEWT", name), nullptr) << name;
    EXPECT_EQ(relation("NEWT")->maxsize, 50);

    // NEWT again: refused by its name, nothing changes.
    {
        const std::string made = snapshot();
        drop_tool_at("tableTool", drop_x, drop_y);
        ASSERT_TRUE(vxdl::pump_until([] { return shown(16); }));
        onto_screen(16);
        vxdl::retype(tab_field("form1/tabNameT"), "NEWT");
        EXPECT_EQ(field_refusal(16), with_arg(dl_text(16, 11), "NEWT"));
        click_box(16, XmDIALOG_CANCEL_BUTTON);
        ASSERT_TRUE(vxdl::pump_until([] { return !shown(16); }));
        EXPECT_EQ(snapshot(), made);
    }

    // ---- rows into NEWT, read back through the canvas.
    wstest::read_full("SELECT EMPNO AS K, ENAME AS NOTE, DEPTNO FROM STAFF TO NEWT");
    int typed_count = 0;
    const std::string typed = typed_rows("DISPLAY K, NOTE, DEPTNO FROM NEWT", &typed_count);
    EXPECT_GT(typed_count, 0);
    for (const char *name : {"K", "NOTE", "DEPTNO"}) {
        click_object(column("NEWT", name));
        ASSERT_TRUE(vxdl::pump_until([name] { return column("NEWT", name)->selected != 0; })) << name;
        vxdl::pump_idle();
    }
    int canvas_count = 0;
    EXPECT_EQ(run_canvas(&canvas_count), typed);
    EXPECT_EQ(canvas_count, typed_count);
    for (const char *name : {"K", "NOTE", "DEPTNO"}) {
        click_object(column("NEWT", name));
        ASSERT_TRUE(vxdl::pump_until([name] { return column("NEWT", name)->selected == 0; })) << name;
        vxdl::pump_idle();
    }

    // ---- the column tool on NEWT: BONUS, sent when the editor closes.
    const std::string with_rows = snapshot();
    drop_tool("columnTool", newt);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(15); }));
    onto_screen(15);
    vxdl::retype(col_name(), "K");  // a column NEWT has
    EXPECT_EQ(field_refusal(15, XmDIALOG_APPLY_BUTTON), with_arg(dl_text(15, 14), "K"));
    type_column({"BONUS", DLCOL_REAL, "10", "2", false, true});
    click_box(15, XmDIALOG_APPLY_BUTTON);
    ASSERT_TRUE(vxdl::pump_until([] { return vxdl::text(col_name()).empty(); }));
    XtVaGetValues(list, XmNitemCount, &items, nullptr);
    EXPECT_EQ(items, 1);
    EXPECT_EQ(snapshot(), with_rows);
    // Closing sends it: NEWT holds rows, so it is asked first.
    EXPECT_EQ(confirmed([] { click_box(15, XmDIALOG_CANCEL_BUTTON); }),
              std::vector<std::string>{with_arg(object_message(3, 63), "NEWT")});
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(15); }));
    ASSERT_NE(column("NEWT", "BONUS"), nullptr);
    EXPECT_EQ(static_cast<ObTableData *>(newt->kind_data)->columns, 4);

    // NOTE renamed REMARK, BONUS made Real 12,2: the data stays.
    const auto kept = wstest::read_full("DISPLAY K, NOTE, DEPTNO FROM NEWT");
    ASSERT_FALSE(kept.empty());
    double_click_object(column("NEWT", "NOTE"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(15); }));
    onto_screen(15);
    vxdl::retype(col_name(), "REMARK");
    confirmed([] { click_box(15, XmDIALOG_OK_BUTTON); });
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(15); }));
    ASSERT_NE(column("NEWT", "REMARK"), nullptr);
    double_click_object(column("NEWT", "BONUS"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(15); }));
    onto_screen(15);
    vxdl::retype(col_field(0), "12");
    confirmed([] { click_box(15, XmDIALOG_OK_BUTTON); });
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(15); }));
    EXPECT_EQ(obdict_ob_find_column("NEWT", "BONUS")->item->length, 12);
    EXPECT_EQ(wstest::read_full("DISPLAY K, REMARK, DEPTNO FROM NEWT"), kept);

    // A type change of DEPTNO, an item STAFF shares: refused.
    {
        const std::string now = snapshot();
        double_click_object(column("NEWT", "DEPTNO"));
        ASSERT_TRUE(vxdl::pump_until([] { return shown(15); }));
        onto_screen(15);
        vxdl::retype(col_field(0), std::to_string(deptno->length + 1));
        std::vector<std::string> said;
        confirmed([&said] { said = answered_errors([] { click_box(15, XmDIALOG_OK_BUTTON); }); });
        EXPECT_EQ(said, std::vector<std::string>{with_arg(object_message(18), "DEPTNO")});
        if (shown(15))
            click_box(15, XmDIALOG_CANCEL_BUTTON);
        ASSERT_TRUE(vxdl::pump_until([] { return !shown(15); }));
        EXPECT_EQ(snapshot(), now);
    }

    // ---- the table editor on NEWT: delete the rows where DEPTNO=10.
    int left_count = 0;
    const std::string left = typed_rows("DISPLAY * FROM NEWT WHERE NOT DEPTNO=10", &left_count);
    double_click_object(newt);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(16); }));
    onto_screen(16);
    vxdl::click(tab_field("form1/drowBut"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(9); }));
    onto_screen(9);
    Widget condition = vxdl::find(editor(9)->widget, "exprCondT");
    ASSERT_TRUE(vxdl::wait_viewable(condition));
    aside(16, 0);
    aside(9, 360);
    click_object(column("NEWT", "DEPTNO"));  // picked into the condition
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(condition) == "DEPTNO"; })) << vxdl::text(condition);
    vxdl::type(condition, "=10");
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(condition) == "DEPTNO=10"; }));
    const std::vector<std::string> asked = confirmed([] { click_box(9, XmDIALOG_OK_BUTTON); });
    EXPECT_EQ(asked, std::vector<std::string>{with_arg(object_message(8, 63), "NEWT")});
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(16) && !shown(9); }));
    int after_count = 0;
    EXPECT_EQ(typed_rows("DISPLAY * FROM NEWT", &after_count), left);
    EXPECT_EQ(after_count, left_count);
    EXPECT_EQ(box_rows("NEWT"), left_count);

    // Clear empties it; Drop removes box and table.
    double_click_object(newt);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(16); }));
    onto_screen(16);
    EXPECT_EQ(confirmed([] { vxdl::click(tab_field("form1/clrBut")); }),
              std::vector<std::string>{with_arg(object_message(7, 63), "NEWT")});
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(16); }));
    EXPECT_EQ(box_rows("NEWT"), 0);
    EXPECT_EQ(wstest::read_full("DISPLAY * FROM NEWT").size(), 0u);
    double_click_object(newt);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(16); }));
    onto_screen(16);
    EXPECT_EQ(confirmed([] { vxdl::click(tab_field("form1/delBut")); }).size(), 1u);
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(16); }));
    EXPECT_EQ(relation("NEWT"), nullptr);
    EXPECT_EQ(snapshot(false), before_tables);

    stop_program();
}

}  // namespace
