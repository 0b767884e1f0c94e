// The statistic editor under Xvfb with real widgets and input: the toggles
// and their codes, the collect widgets, "@", the borrowed expression editor
// and name prompt with the picks they take while open, setval and getval.

#include "qobjfixture.h"

#include "dlfunc.h"

namespace {

using namespace qobj;

ObStatisticData statistic(const char *text, int function, const char *collect = "", const char *name = "")
{
    ObStatisticData d{};
    d.kind = OB_STATISTIC;
    strcpy(d.text, text);
    d.function = function;
    strcpy(d.statistic, collect);
    strcpy(d.name, name);
    return d;
}

class Statistic : public Editors {
protected:
    DialogRecord *stat = rec(10);
    Widget toggle(int i) { return vxdl::nth(stat->widget, "statTog", i - 1); }
    bool set(int i) { return XmToggleButtonGadgetGetState(toggle(i)) == True; }
    bool collect_sensitive()
    {
        const bool first = sensitive(stat, "coExprL");
        for (const char *name : {"coExprT", "argB", "expr2B"})
            EXPECT_EQ(sensitive(stat, name), first) << name;
        return first;
    }
    ObStatisticData read()
    {
        ObStatisticData out{};
        out.kind = OB_STATISTIC;
        stat->getval(stat, &out);
        return out;
    }
};

TEST_F(Statistic, EachCodeShowsItsToggleAndEachToggleStoresItsCode)
{
    struct Case {
        int code, toggle, stored;
        const char *label;
    };
    // A code outside 1-7 shows the average's toggle and is stored as 1.
    const Case cases[] = {{4, 1, 4, "Minimum"}, {3, 2, 3, "Maximum"}, {6, 3, 6, "Total"},  {5, 4, 5, "Count"},
                          {1, 5, 1, "Average"}, {2, 6, 2, "Variance"}, {7, 7, 7, "Collect"}, {0, 5, 1, "Average"},
                          {9, 5, 1, "Average"}, {-1, 5, 1, "Average"}};
    for (const Case &c : cases) {
        ObStatisticData d = statistic("SALARY", c.code, "MAX(@)");
        open(stat, &d);
        for (int i = 1; i <= 7; i++)
            EXPECT_EQ(set(i), i == c.toggle) << c.code << " toggle " << i;
        EXPECT_EQ(vxdl::label(toggle(c.toggle)), c.label);
        EXPECT_EQ(collect_sensitive(), c.toggle == 7) << c.code;
        EXPECT_EQ(read().function, c.stored) << c.code;
    }
}

TEST_F(Statistic, TheSeventhToggleAloneMakesTheCollectWidgetsSensitive)
{
    ObStatisticData d = statistic("SALARY", 1);
    open(stat, &d);
    EXPECT_FALSE(collect_sensitive());
    click_until(toggle(7), [&] { return set(7); });
    EXPECT_TRUE(collect_sensitive());
    EXPECT_FALSE(set(5));
    click_until(toggle(2), [&] { return set(2); });
    EXPECT_FALSE(collect_sensitive());
    EXPECT_FALSE(set(7));
    EXPECT_EQ(read().function, 3);
}

TEST_F(Statistic, TheArgumentButtonInsertsAnAtSignAtTheCursor)
{
    ObStatisticData d = statistic("SALARY", 7, "MAX(");
    open(stat, &d);
    click_until(named(stat, "argB"), [&] { return text(stat, "coExprT") == "MAX(@"; });
    click_until(named(stat, "argB"), [&] { return text(stat, "coExprT") == "MAX(@@"; });
    // At a cursor inside the text.
    XmTextFieldSetInsertionPosition(named(stat, "coExprT"), 0);
    click_until(named(stat, "argB"), [&] { return text(stat, "coExprT") == "@MAX(@@"; });
}

TEST_F(Statistic, AnInsertionPastTwoHundredFiftyFiveCharactersRingsAndChangesNothing)
{
    const std::string full(255, 'A');
    ObStatisticData d = statistic(full.c_str(), 7, full.c_str());
    open(stat, &d);
    const int before = vxdl::bells();
    vxdl::click(named(stat, "argB"));
    EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() > before; }));
    EXPECT_EQ(text(stat, "coExprT"), full);
    ObColumnData c = column("STAFF", "SALARY");
    stat->reference(stat, &c);
    EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() == before + 2; }));
    EXPECT_EQ(text(stat, "stExprT"), full);
}

TEST_F(Statistic, PicksGoIntoTheBaseExpression)
{
    ObStatisticData d = statistic("", 1);
    open(stat, &d);
    EXPECT_EQ(stat->reference_mask, 0x20000019u);
    ObColumnData c = column("STAFF", "SALARY");
    stat->reference(stat, &c);
    EXPECT_EQ(text(stat, "stExprT"), "SALARY");
    XmTextFieldSetInsertionPosition(named(stat, "stExprT"), 0);
    dl_qualify_column_names = 1;
    stat->reference(stat, &c);
    EXPECT_EQ(text(stat, "stExprT"), "STAFF.SALARYSALARY");
    ObVariableData v = variable("LIMIT");
    stat->reference(stat, &v);
    EXPECT_EQ(text(stat, "stExprT"), "STAFF.SALARYLIMITSALARY");
}

TEST_F(Statistic, TheBorrowedExpressionEditorWrapsTheCollectTextAndGivesThePicksBack)
{
    ObStatisticData d = statistic("SALARY", 7, "X");
    open(stat, &d);
    const DialogRecord own_editor = *expr;
    click_until(named(stat, "expr2B"), [&] { return shown(expr); });
    // Title mode 5: the function picker opens with it, on its last library.
    EXPECT_TRUE(vxdl::pump_until([&] { return shown(picker); }));
    EXPECT_EQ(dlfunc_current_library(), 0);
    Widget editor_text = named(expr, "exprCondT");
    EXPECT_EQ(vxdl::text(editor_text), "");
    // The editor takes the picks, into its own text.
    EXPECT_EQ(stat->reference_mask, expr->reference_mask);
    ObColumnData c = column("STAFF", "COMM");
    stat->reference(stat, &c);
    EXPECT_EQ(vxdl::text(editor_text), "COMM");
    EXPECT_EQ(text(stat, "stExprT"), "SALARY");
    // A second press while it is borrowed changes nothing.
    vxdl::press(named(stat, "expr1B"));
    EXPECT_EQ(vxdl::text(editor_text), "COMM");
    vxdl::click(dl_box_button(picker->widget, XmDIALOG_CANCEL_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(picker); }));
    vxdl::retype(editor_text, "log()");
    vxdl::click(dl_box_button(expr->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(expr); }));
    EXPECT_EQ(text(stat, "coExprT"), "LOG(X)");
    EXPECT_EQ(XmTextFieldGetInsertionPosition(named(stat, "coExprT")), 5);
    // Given back: the editor's record, the dialog's mask and picks.
    EXPECT_EQ(expr->apply, own_editor.apply);
    EXPECT_EQ(expr->dismiss, own_editor.dismiss);
    EXPECT_EQ(expr->client_value, own_editor.client_value);
    EXPECT_EQ(stat->reference_mask, 0x20000019u);
    stat->reference(stat, &c);
    EXPECT_EQ(text(stat, "stExprT"), "SALARYCOMM");

    // The base expression: SQRT over the whole of it.
    click_until(named(stat, "expr1B"), [&] { return shown(expr); });
    EXPECT_FALSE(shown(picker));
    vxdl::type(named(expr, "exprCondT"), "SQRT()");
    vxdl::click(dl_box_button(expr->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(expr); }));
    EXPECT_EQ(text(stat, "stExprT"), "SQRT(SALARYCOMM)");
    EXPECT_EQ(text(stat, "coExprT"), "LOG(X)");
    EXPECT_EQ(stat->reference_mask, 0x20000019u);
}

TEST_F(Statistic, TheNamePromptNamesTheStatisticAndTakesThePicksWhileOpen)
{
    ObStatisticData d = statistic("SALARY", 1, "", "OLD");
    open(stat, &d);
    click_until(named(stat, "nameBut"), [&] { return shown(prompt); });
    Widget name = XmSelectionBoxGetChild(prompt->widget, XmDIALOG_TEXT);
    ASSERT_TRUE(vxdl::wait_viewable(name));
    EXPECT_EQ(vxdl::text(name), "OLD");
    EXPECT_EQ(stat->reference_mask, prompt->reference_mask);
    ObVariableData v = variable("AVSAL");
    stat->reference(stat, &v);
    EXPECT_EQ(vxdl::text(name), "AVSAL");
    EXPECT_EQ(text(stat, "stExprT"), "SALARY");
    vxdl::click(dl_box_button(prompt->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(prompt); }));
    EXPECT_EQ(stat->reference_mask, 0x20000019u);
    EXPECT_EQ(prompt->apply, own_apply);
    EXPECT_STREQ(read().name, "AVSAL");
}

TEST_F(Statistic, PopdownGivesBothBorrowedDialogsBack)
{
    ObStatisticData d = statistic("SALARY", 1);
    open(stat, &d, 1);
    const DialogRecord own_editor = *expr, own_prompt = *prompt;
    vxdl::press(named(stat, "expr1B"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(expr); }));
    vxdl::press(named(stat, "nameBut"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(prompt); }));
    EXPECT_NE(stat->reference_mask, 0x20000019u);
    stat->popdown(stat);
    vxdl::pump_idle();
    for (DialogRecord *r : {stat, expr, prompt})
        EXPECT_FALSE(shown(r)) << r->id;
    for (auto [now, was] : {std::pair{expr, &own_editor}, std::pair{prompt, &own_prompt}}) {
        EXPECT_EQ(now->apply, was->apply);
        EXPECT_EQ(now->reset, was->reset);
        EXPECT_EQ(now->dismiss, was->dismiss);
        EXPECT_EQ(now->reference, was->reference);
        EXPECT_EQ(now->reference_mask, was->reference_mask);
    }
    EXPECT_EQ(stat->reference_mask, 0x20000019u);
    ObColumnData c = column("T", "C");
    EXPECT_EQ(stat->reference(stat, &c), 0);
    EXPECT_EQ(text(stat, "stExprT"), "SALARYC");
}

TEST_F(Statistic, GetvalTrimsAndCapitalisesOutsideQuotes)
{
    ObStatisticData d = statistic("", 7);
    open(stat, &d, 1);
    EXPECT_TRUE(sensitive(stat, "delBut"));
    dl_set_text(named(stat, "stExprT"), "  salary * 'abc'  ");
    dl_set_text(named(stat, "coExprT"), "\tsumarr(@) + \"Q\" ");
    const ObStatisticData out = read();
    EXPECT_STREQ(out.text, "SALARY * 'abc'");
    EXPECT_STREQ(out.statistic, "SUMARR(@) + \"Q\"");
    EXPECT_EQ(out.function, 7);
    stat->popdown(stat);
    // Delete only for an existing statistic; OK greyed where it may only be seen.
    for (int mode : {2, 3}) {
        open(stat, &d, mode);
        EXPECT_FALSE(sensitive(stat, "delBut")) << mode;
        EXPECT_EQ(XtIsSensitive(dl_box_button(stat->widget, XmDIALOG_OK_BUTTON)) == True, mode == 2);
        stat->popdown(stat);
    }
}

}  // namespace
