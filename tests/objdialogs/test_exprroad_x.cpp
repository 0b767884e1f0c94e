// The user's road through the expression and condition editors, in the
// query window as start-up builds it, on a copy of the demo database
// opened as its owner BRASK, with the installed interpreter.  Every step is
// real input through XTest: a column clicked, the tools dragged onto a
// column, the pads and the name prompt pressed, Run; the table view's rows
// are read back from PRIMARY (dragged over by the pointer and converted on
// a second connection) and compared with those of the same statement typed
// in the DOZ dialog.  Bad texts leave the objects as they were.  The editor
// with its function picker over the canvas is saved as a picture (into
// $VX_IMAGE_DIR when set, for scripts/images.sh).

#include "roadkit.h"  // first: gtest before the X headers

#include "dlkit.h"
#include "dlmain.h"
#include "obmain.h"
#include "vxmain.h"
#include "wsdict.h"

#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace road;

namespace {

Widget text_of(int id) { return vxdl::find(editor(id)->widget, "exprCondT"); }
std::string text(int id) { return vxdl::text(text_of(id)); }

Widget pad(int id, int box, const char *label)
{
    const std::string name = "button" + std::to_string(box);
    for (int i = 0;; i++) {
        Widget b = vxdl::nth(editor(id)->widget, name.c_str(), i);
        if (!b)
            break;
        if (vxdl::label(b) == label)
            return b;
    }
    ADD_FAILURE() << "no pad button " << label;
    return nullptr;
}

// ---- the road ------------------------------------------------------------------------------------

TEST(ExpressionRoad, ObjectsMadeByTheEditorsGiveTheRowsOfTheTypedStatement)
{
    start_program("RD");
    if (HasFatalFailure())
        return;
    QueryObject *ename = column("STAFF", "ENAME"), *salary = column("STAFF", "SALARY");
    ASSERT_TRUE(ename && salary);

    // STAFF.ENAME clicked: selected once the click is known to be single.
    click_object(ename);
    ASSERT_TRUE(vxdl::pump_until([&] { return ename->selected != 0; }));
    vxdl::pump_idle();

    // The expression tool on SALARY: the editor holds the column.
    drop_tool("expressionTool", salary, true);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(8); }));
    EXPECT_EQ(text(8), "SALARY");
    vxdl::click(pad(8, 3, "*"));
    ASSERT_TRUE(vxdl::pump_until([] { return text(8) == "SALARY*"; })) << text(8);
    // An expression that does not read: refused, nothing made.
    EXPECT_EQ(refused_ok(8), std::vector<std::string>{object_message(21)});
    EXPECT_TRUE(shown(8));
    EXPECT_EQ(wsdict_dictionary->expressions, nullptr);
    vxdl::type(text_of(8), "12");
    ASSERT_TRUE(vxdl::pump_until([] { return text(8) == "SALARY*12"; })) << text(8);

    // Its name through the name prompt.
    vxdl::click(vxdl::find(editor(8)->widget, "nameBut"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(7); }));
    Widget name = XmSelectionBoxGetChild(editor(7)->widget, XmDIALOG_TEXT);
    vxdl::retype(name, "YEARLY");
    vxdl::click(dl_box_button(editor(7)->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(7); }));

    // The picture: the editor with its function picker over the canvas.
    vxdl::click(vxdl::find(editor(8)->widget, "funcB"));
    ASSERT_TRUE(vxdl::pump_until([] { return shown(6); }));
    ASSERT_TRUE(vxdl::wait_viewable(XmSelectionBoxGetChild(editor(6)->widget, XmDIALOG_LIST)));
    vxdl::pump_idle();
    save_picture("expression-editor.png", {toplevel, editor(8)->widget, editor(6)->widget});
    vxdl::click(dl_box_button(editor(6)->widget, XmDIALOG_CANCEL_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(6); }));
    EXPECT_EQ(text(8), "SALARY*12");

    vxdl::click(dl_box_button(editor(8)->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(8); }));
    QueryObject *e = wsdict_dictionary->expressions;
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(count(e), 1);
    auto *ed = static_cast<ObExpressionData *>(e->kind_data);
    EXPECT_STREQ(ed->text, "SALARY*12");
    EXPECT_STREQ(ed->name, "YEARLY");
    EXPECT_EQ(std::string(obmain_kind_prefix[OB_EXPRESSION]) + " " + ed->text, "EXPR SALARY*12");

    // The expression tool on empty canvas with nothing typed: OK makes nothing.
    drop_tool("expressionTool", ename);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(8); }));
    dl_set_text(text_of(8), "");
    vxdl::click(dl_box_button(editor(8)->widget, XmDIALOG_OK_BUTTON));
    vxdl::pump_idle();
    if (shown(8))
        vxdl::click(dl_box_button(editor(8)->widget, XmDIALOG_CANCEL_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(8); }));
    EXPECT_EQ(count(wsdict_dictionary->expressions), 1);

    // The condition tool on SALARY: ">" alone is refused, then 60.
    drop_tool("conditionTool", salary);
    ASSERT_TRUE(vxdl::pump_until([] { return shown(9); }));
    EXPECT_EQ(text(9), "SALARY");
    vxdl::click(pad(9, 1, ">"));
    ASSERT_TRUE(vxdl::pump_until([] { return text(9) == "SALARY>"; })) << text(9);
    // The interpreter's own words first (the check reports them), then the
    // editor's refusal.
    std::vector<std::string> refusals = refused_ok(9);
    ASSERT_EQ(refusals.size(), 2u);
    EXPECT_EQ(refusals[1], object_message(20));
    EXPECT_EQ(wsdict_dictionary->conditions, nullptr);
    vxdl::type(text_of(9), "60");
    ASSERT_TRUE(vxdl::pump_until([] { return text(9) == "SALARY>60"; })) << text(9);
    vxdl::click(dl_box_button(editor(9)->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([] { return !shown(9); }));
    ASSERT_NE(wsdict_dictionary->conditions, nullptr);
    EXPECT_STREQ(static_cast<ObConditionData *>(wsdict_dictionary->conditions->kind_data)->text, "SALARY>60");

    // A second condition (on ENAME, which no object covers): refused before
    // any editor opens.
    {
        EXPECT_EQ(answered_errors([ename] { drop_tool("conditionTool", ename); }),
                  std::vector<std::string>{object_message(1)});
        vxdl::pump_idle();
        EXPECT_FALSE(shown(9));
        EXPECT_EQ(count(wsdict_dictionary->conditions), 1);
        EXPECT_EQ(count(wsdict_dictionary->expressions), 1);
    }

    // Run: the canvas's query goes to the table view.
    int canvas_rows = 0;
    const std::string from_canvas = run_canvas(&canvas_rows);
    EXPECT_EQ(canvas_rows, 120);
    // The view shows the last rows: a screenful of them, none empty.
    EXPECT_GE(std::count(from_canvas.begin(), from_canvas.end(), '\n'), 20) << from_canvas;

    // The same statement typed in the DOZ dialog.
    int typed_count = 0;
    const std::string from_typed =
        typed_rows("DISPLAY ENAME, SALARY*12 AS YEARLY FROM STAFF WHERE SALARY>60", &typed_count);
    EXPECT_EQ(typed_count, 120);
    EXPECT_FALSE(from_typed.empty());
    EXPECT_EQ(from_canvas, from_typed);

    stop_program();
}

}  // namespace
