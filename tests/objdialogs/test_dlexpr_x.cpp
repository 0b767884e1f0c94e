// The expression and condition editors under Xvfb with real widgets and
// real input: the pads, canvas picks, the function picker and the name
// prompt borrowed and given back, the title modes, setval and getval.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dldbdialogs.h"
#include "dlexpr.h"
#include "dlfunc.h"
#include "dlkit.h"
#include "dltestkit.h"
#include "vxtest.h"
#include "wsobj.h"

#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

const char *const FUNCTIONS =
    "MATHS\n"
    "    SQRT(x)\n"
    "    ABS(x)\n"
    "TEXT\n"
    "    STR(s, start, len)\n";

// What the clients' notify procedures saw.
struct Client {
    int applies = 0, dismisses = 0, resets = 0;
    ObExpressionData expression{};
    ObConditionData condition{};
} client;

void editor_apply(DialogRecord *rec, int *done)
{
    client.applies++;
    if (rec->id == 8)
        rec->getval(rec, &client.expression);
    else
        rec->getval(rec, &client.condition);
    *done = 1;
}
void editor_dismiss(DialogRecord *rec, int *done)
{
    client.dismisses++;
    rec->popdown(rec);
    *done = 1;
}
// The notify procedures the picker and the prompt have while nobody
// borrows them.
void own_apply(DialogRecord *, int *done) { *done = 1; }
void own_reset(DialogRecord *, int *done)
{
    client.resets++;
    *done = 1;
}
void own_dismiss(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    *done = 1;
}

ObColumnData column(const char *table, const char *name)
{
    ObColumnData c{};
    c.kind = OB_COLUMN;
    strcpy(c.name, name);
    strcpy(c.table, table);
    return c;
}
ObVariableData variable(const char *name)
{
    ObVariableData v{};
    v.kind = OB_VARIABLE;
    strcpy(v.name, name);
    return v;
}

class Editors : public testing::Test {
protected:
    static std::string dir;
    DialogRecord *expr = &dlmain_dialogs[8];
    DialogRecord *cond = &dlmain_dialogs[9];
    DialogRecord *picker = &dlmain_dialogs[6];
    DialogRecord *prompt = &dlmain_dialogs[7];

    static void SetUpTestSuite()
    {
        vxdl::app();
        dlmain_clear_dialogs();
        dlfunc_initialise_function_dialog(&dlmain_dialogs[6]);
        dlname_initialise_name_dialog(&dlmain_dialogs[7]);
        dlexpr_initialise_expression_dialog(&dlmain_dialogs[8]);
        dlexpr_initialise_condition_dialog(&dlmain_dialogs[9]);
        for (int id : {6, 7, 8, 9})
            ASSERT_EQ(dlmain_dialogs[id].create(&dlmain_dialogs[id], vxdl::app().top), 0) << id;
        dir = vxtest::temp_dir("dlexpr");
        vxtest::write_file(dir + "/funcs.txt", FUNCTIONS);
        FuncValue v{};
        dl_copy(v.path, dir + "/funcs.txt");
        dlmain_dialogs[6].setval(&dlmain_dialogs[6], &v);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir); }

    void SetUp() override
    {
        client = Client{};
        dl_qualify_column_names = 0;
        for (DialogRecord *r : {expr, cond}) {
            r->apply = editor_apply;
            r->dismiss = editor_dismiss;
            r->reset = nullptr;
            r->adopt = nullptr;
        }
        for (DialogRecord *r : {picker, prompt}) {
            r->apply = own_apply;
            r->reset = own_reset;
            r->dismiss = own_dismiss;
        }
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (dlmain_text_error_pending())
            vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        for (DialogRecord *r : {expr, cond, picker, prompt})
            if (r->widget && XtIsManaged(r->widget))
                r->popdown(r);
        vxdl::pump_idle();
    }

    // Opens an editor for a new object with an empty text.
    void open(DialogRecord *rec, int title_mode = 2, const char *text = "")
    {
        if (rec == expr) {
            ObExpressionData d{};
            d.kind = OB_EXPRESSION;
            strcpy(d.text, text);
            rec->setval(rec, &d);
        } else {
            ObConditionData d{};
            d.kind = OB_CONDITION;
            strcpy(d.text, text);
            rec->setval(rec, &d);
        }
        ASSERT_EQ(rec->popup(rec, 30, 30, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(text_of(rec)));
    }
    Widget text_of(DialogRecord *rec) { return vxdl::find(rec->widget, "exprCondT"); }
    std::string text(DialogRecord *rec) { return vxdl::text(text_of(rec)); }
    Widget named(DialogRecord *rec, const char *name)
    {
        Widget w = vxdl::find(rec->widget, name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // The pad button of a box showing `label`.
    Widget pad(DialogRecord *rec, int box, const char *label)
    {
        const std::string name = "button" + std::to_string(box);
        for (int i = 0;; i++) {
            Widget b = vxdl::nth(rec->widget, name.c_str(), i);
            if (!b)
                break;
            if (vxdl::label(b) == label)
                return b;
        }
        ADD_FAILURE() << "no pad button " << label;
        return nullptr;
    }
    long cursor(DialogRecord *rec) { return XmTextFieldGetInsertionPosition(text_of(rec)); }
    // Clicks a pad button and waits for the text to change.
    void press_pad(DialogRecord *rec, int box, const char *label, const std::string &expected)
    {
        vxdl::click(pad(rec, box, label));
        EXPECT_TRUE(vxdl::pump_until([&] { return text(rec) == expected; })) << text(rec);
    }
    bool shown(DialogRecord *rec) { return rec->widget && XtIsManaged(rec->widget); }
};
std::string Editors::dir;

TEST_F(Editors, ThePadsInsertAtTheCursorNativeFormsInTheConditionEditor)
{
    open(cond);
    vxdl::type(text_of(cond), "A");
    press_pad(cond, 1, "=", "A=");
    vxdl::click(named(cond, "nativeB"));
    ASSERT_TRUE(vxdl::pump_until([&] { return XmToggleButtonGetState(named(cond, "nativeB")); }));
    press_pad(cond, 1, "=", "A===");
    press_pad(cond, 1, "AND", "A=== AND ");
    press_pad(cond, 1, "<>", "A=== AND <<>>");
    // The focus is back in the text: typing goes on there.
    vxdl::type(text_of(cond), "B");
    EXPECT_TRUE(vxdl::pump_until([&] { return text(cond) == "A=== AND <<>>B"; })) << text(cond);

    // The expression editor has its own toggle, still off.
    open(expr);
    press_pad(expr, 1, "=", "=");
    press_pad(expr, 3, "MOD", "= MOD ");
    press_pad(expr, 2, "()", "= MOD ()");
    EXPECT_EQ(cursor(expr), 7) << "between the parentheses";
    vxdl::type(text_of(expr), "X");
    EXPECT_TRUE(vxdl::pump_until([&] { return text(expr) == "= MOD (X)"; })) << text(expr);
    EXPECT_EQ(text(cond), "A=== AND <<>>B");
}

TEST_F(Editors, AnInsertionPastTwoHundredFiftyFiveCharactersRingsAndChangesNothing)
{
    const std::string full(255, 'A');
    open(expr, 2, full.c_str());
    EXPECT_EQ(text(expr), full);
    const int before = vxdl::bells();
    vxdl::click(pad(expr, 3, "+"));
    EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() > before; }));
    EXPECT_EQ(vxdl::bells(), before + 1);
    EXPECT_EQ(text(expr), full);
    // A pick is refused the same way.
    ObColumnData c = column("EMP", "NAME");
    expr->reference(expr, &c);
    EXPECT_EQ(text(expr), full);
}

TEST_F(Editors, APickedFunctionWrapsTheSelectionOrTheWholeText)
{
    open(expr, 2, "A + B * 2");
    XmTextFieldSetSelection(text_of(expr), 0, 5, CurrentTime);
    vxdl::click(named(expr, "funcB"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(picker); }));
    Widget list = XmSelectionBoxGetChild(picker->widget, XmDIALOG_LIST);
    ASSERT_TRUE(vxdl::wait_viewable(list));
    // Borrowed: the editor's procedures are installed, its own saved.
    EXPECT_NE(picker->apply, own_apply);
    vxdl::click_item(list, 1);
    Widget name = XmSelectionBoxGetChild(picker->widget, XmDIALOG_TEXT);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(name) == "SQRT"; }));
    vxdl::click(dl_box_button(picker->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(picker); }));
    EXPECT_EQ(text(expr), "SQRT(A + B) * 2");
    EXPECT_EQ(picker->apply, own_apply);
    EXPECT_EQ(picker->dismiss, own_dismiss);

    // Without a selection the whole text is wrapped; a double click is OK.
    XmTextFieldClearSelection(text_of(expr), CurrentTime);
    vxdl::click(named(expr, "funcB"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(picker); }));
    ASSERT_TRUE(vxdl::wait_viewable(list));
    vxdl::click_item(list, 2, 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(picker); }));
    EXPECT_EQ(text(expr), "ABS(SQRT(A + B) * 2)");

    // Cancel gives the picker back and changes nothing.
    vxdl::click(named(expr, "funcB"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(picker); }));
    vxdl::click(dl_box_button(picker->widget, XmDIALOG_CANCEL_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(picker); }));
    EXPECT_EQ(text(expr), "ABS(SQRT(A + B) * 2)");
    EXPECT_EQ(picker->reset, own_reset);
    EXPECT_EQ(client.resets, 0);
}

TEST_F(Editors, TheConditionEditorsPickerAppliesToTheConditionText)
{
    open(expr, 2, "E");
    open(cond, 2, "C");
    vxdl::click(named(cond, "funcB"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(picker); }));
    dl_set_text(XmSelectionBoxGetChild(picker->widget, XmDIALOG_TEXT), "abs");
    vxdl::click(dl_box_button(picker->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(picker); }));
    EXPECT_EQ(text(cond), "ABS(C)");
    EXPECT_EQ(text(expr), "E");
}

TEST_F(Editors, CanvasPicksGoToTheTextOfTheRecordsEditor)
{
    open(expr);
    open(cond);
    ObColumnData c = column("EMP", "NAME");
    expr->reference(expr, &c);
    EXPECT_EQ(text(expr), "NAME");
    dl_qualify_column_names = 1;
    expr->reference(expr, &c);
    EXPECT_EQ(text(expr), "NAMEEMP.NAME");
    ObVariableData v = variable("LIMIT");
    cond->reference(cond, &v);
    EXPECT_EQ(text(cond), "LIMIT");
    ObExpressionData e{};
    e.kind = OB_EXPRESSION;
    strcpy(e.text, "SALARY*12");
    cond->reference(cond, &e);
    EXPECT_EQ(text(cond), "LIMITSALARY*12");
    // A borrower's record: the table editor hands its picks to the
    // condition text, the statistic editor to the expression text.
    cond->reference(&dlmain_dialogs[16], &c);
    EXPECT_EQ(text(cond), "LIMITSALARY*12EMP.NAME");
    expr->reference(&dlmain_dialogs[10], &v);
    EXPECT_EQ(text(expr), "NAMEEMP.NAMELIMIT");
}

TEST_F(Editors, SetvalAndGetval)
{
    ObExpressionData d{};
    d.kind = OB_EXPRESSION;
    strcpy(d.text, "SALARY*12");
    strcpy(d.name, "YEARLY");
    expr->setval(expr, &d);
    EXPECT_EQ(text(expr), "SALARY*12");
    struct Case {
        const char *typed, *stored;
    };
    const Case cases[] = {
        {"  salary * 12  ", "SALARY * 12"},
        {" name = 'abc' AND x ", "NAME = 'abc' AND X"},
        {"\t\"Mixed\" + b ", "\"Mixed\" + B"},
        {"   ", ""},
    };
    for (const Case &c : cases) {
        dl_set_text(text_of(expr), c.typed);
        ObExpressionData out{};
        out.kind = OB_EXPRESSION;
        expr->getval(expr, &out);
        EXPECT_STREQ(out.text, c.stored) << c.typed;
        EXPECT_STREQ(out.name, "YEARLY");
        dl_set_text(text_of(cond), c.typed);
        ObConditionData co{};
        co.kind = OB_CONDITION;
        cond->getval(cond, &co);
        EXPECT_STREQ(co.text, c.stored) << c.typed;
    }
}

TEST_F(Editors, TitleModesSetTheNameAndDeleteButtons)
{
    struct Case {
        int mode;
        bool name, del, ok;
    };
    const Case cases[] = {{1, true, true, true}, {2, true, false, true}, {3, false, false, false}, {4, false, false, true}};
    for (const Case &c : cases) {
        open(expr, c.mode);
        EXPECT_EQ(XtIsSensitive(named(expr, "nameBut")), c.name) << c.mode;
        EXPECT_EQ(XtIsSensitive(named(expr, "delBut")), c.del) << c.mode;
        EXPECT_EQ(XtIsSensitive(dl_box_button(expr->widget, XmDIALOG_OK_BUTTON)), c.ok) << c.mode;
        expr->popdown(expr);
        open(cond, c.mode);
        EXPECT_EQ(XtIsSensitive(named(cond, "delBut")), c.del) << c.mode;
        cond->popdown(cond);
    }
    EXPECT_EQ(vxdl::find(cond->widget, "nameBut"), nullptr);
    // Title mode 5 opens the picker too, on its sixth library or, with
    // fewer, its last.
    open(expr, 5);
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(picker); }));
    EXPECT_EQ(dlfunc_current_library(), 1);
    expr->popdown(expr);
    EXPECT_FALSE(shown(picker));
    EXPECT_EQ(picker->apply, own_apply);
}

TEST_F(Editors, TheNamePromptTakesThePicksWhileItIsOpen)
{
    open(expr, 2, "SALARY");
    const uint32_t mask = expr->reference_mask;
    EXPECT_EQ(mask, 0x20000019u);
    vxdl::click(named(expr, "nameBut"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(prompt); }));
    Widget name = XmSelectionBoxGetChild(prompt->widget, XmDIALOG_TEXT);
    ASSERT_TRUE(vxdl::wait_viewable(name));
    EXPECT_EQ(expr->reference_mask, prompt->reference_mask);
    // A variable picked now names the expression; the text stays.
    ObVariableData v = variable("TOTAL");
    expr->reference(expr, &v);
    EXPECT_EQ(vxdl::text(name), "TOTAL");
    EXPECT_EQ(text(expr), "SALARY");
    // A name that is no database name is refused; twelve characters at most.
    for (const char *bad : {"1", "A-B"}) {
        vxdl::retype(name, bad);
        vxdl::click(dl_box_button(prompt->widget, XmDIALOG_OK_BUTTON));
        ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() != 0; })) << bad;
        char refused[256];
        snprintf(refused, sizeof refused, dlmain_message(-1, 12), bad);
        EXPECT_EQ(vxdl::message(dlmain_text_error_box()), refused);
        vxdl::click(XmMessageBoxGetChild(dlmain_text_error_box(), XmDIALOG_OK_BUTTON));
        ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() == 0; }));
        EXPECT_TRUE(shown(prompt));
    }
    vxdl::retype(name, "YEARLYTOTALSX");
    EXPECT_EQ(vxdl::text(name), "YEARLYTOTALS");
    vxdl::retype(name, "YEARLY");
    vxdl::click(dl_box_button(prompt->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(prompt); }));
    // Given back: the editor's mask and procedure, the prompt's record.
    EXPECT_EQ(expr->reference_mask, mask);
    EXPECT_EQ(prompt->dismiss, own_dismiss);
    ObColumnData c = column("STAFF", "ENAME");
    expr->reference(expr, &c);
    EXPECT_EQ(text(expr), "SALARYENAME");
    ObExpressionData out{};
    expr->getval(expr, &out);
    EXPECT_STREQ(out.name, "YEARLY");
    EXPECT_STREQ(out.text, "SALARYENAME");
}

TEST_F(Editors, PopdownGivesBothBorrowedDialogsBack)
{
    open(expr, 1, "X");
    const DialogRecord own_picker = *picker, own_prompt = *prompt;
    vxdl::click(named(expr, "funcB"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(picker); }));
    // The picker lies over the button, at its corner: pressed as by the keyboard.
    vxdl::press(named(expr, "nameBut"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(prompt); }));
    EXPECT_NE(picker->apply, own_apply);
    EXPECT_NE(prompt->apply, own_apply);
    EXPECT_NE(expr->reference_mask, 0x20000019u);
    expr->popdown(expr);
    vxdl::pump_idle();
    EXPECT_FALSE(shown(expr));
    EXPECT_FALSE(shown(picker));
    EXPECT_FALSE(shown(prompt));
    for (auto [now, was] : {std::pair{picker, &own_picker}, std::pair{prompt, &own_prompt}}) {
        EXPECT_EQ(now->apply, was->apply);
        EXPECT_EQ(now->reset, was->reset);
        EXPECT_EQ(now->dismiss, was->dismiss);
        EXPECT_EQ(now->reference, was->reference);
        EXPECT_EQ(now->reference_mask, was->reference_mask);
        EXPECT_EQ(now->client_value, was->client_value);
    }
    EXPECT_EQ(expr->reference_mask, 0x20000019u);
    ObColumnData c = column("T", "C");
    expr->reference(expr, &c);
    EXPECT_EQ(text(expr), "XC");
}

}  // namespace
