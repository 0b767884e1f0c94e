// The variable editor under Xvfb with real widgets and input: the name's
// length and validation, what an edit may change, the prompt widgets, the
// borrowed expression editor, setval and getval.

#include "qobjfixture.h"

namespace {

using namespace qobj;

ObVariableData var(const char *name, const char *value, int prompt = 0, const char *prompt_text = "")
{
    ObVariableData d{};
    d.kind = OB_VARIABLE;
    strcpy(d.name, name);
    strcpy(d.value, value);
    d.prompt = prompt;
    strcpy(d.prompt_text, prompt_text);
    return d;
}

class Variable : public Editors {
protected:
    DialogRecord *v = rec(14);
    ObVariableData read()
    {
        ObVariableData out{};
        out.kind = OB_VARIABLE;
        v->getval(v, &out);
        return out;
    }
};

TEST_F(Variable, ANewVariableHasItsNameAndValueAnExistingOneOnlyItsPrompt)
{
    struct Case {
        int mode;
        bool fresh, del;
    };
    for (const Case &c : {Case{2, true, false}, Case{1, false, true}}) {
        ObVariableData d = var("LIMIT", "30");
        open(v, &d, c.mode);
        for (const char *name : {"varT", "valueL", "valueT", "expr1B"})
            EXPECT_EQ(sensitive(v, name), c.fresh) << c.mode << " " << name;
        EXPECT_EQ(sensitive(v, "delBut"), c.del);
        EXPECT_TRUE(sensitive(v, "assTog"));
        v->popdown(v);
    }
    EXPECT_EQ(v->reference_mask, 0x10000000u);
}

TEST_F(Variable, ThePromptWidgetsFollowTheToggle)
{
    ObVariableData d = var("LIMIT", "30", 1, "Highest department?");
    open(v, &d, 1);
    EXPECT_TRUE(sensitive(v, "promptL"));
    EXPECT_TRUE(sensitive(v, "promptT"));
    EXPECT_EQ(text(v, "promptT"), "Highest department?");
    click_until(named(v, "assTog"), [&] { return !sensitive(v, "promptT"); });
    EXPECT_FALSE(sensitive(v, "promptL"));
    EXPECT_EQ(read().prompt, 0);
    click_until(named(v, "assTog"), [&] { return sensitive(v, "promptT"); });
    EXPECT_EQ(read().prompt, 1);
    v->popdown(v);
    d = var("LIMIT", "30");
    open(v, &d, 1);
    EXPECT_FALSE(sensitive(v, "promptL"));
    EXPECT_FALSE(sensitive(v, "promptT"));
}

TEST_F(Variable, GetvalUpperCasesTheNameAndValueAndKeepsThePromptsCase)
{
    ObVariableData d = var("", "", 1);
    open(v, &d);
    // (Blanks around a name are refused by its check when the field is left.)
    dl_set_text(named(v, "varT"), "limit");
    dl_set_text(named(v, "valueT"), "  'abc' + x ");
    dl_set_text(named(v, "promptT"), "   Which Department?  ");
    const ObVariableData out = read();
    EXPECT_STREQ(out.name, "LIMIT");
    EXPECT_STREQ(out.value, "'abc' + X");
    EXPECT_EQ(out.prompt, 1);
    EXPECT_STREQ(out.prompt_text, "Which Department?");
}

TEST_F(Variable, ANameIsMandatoryAValidDatabaseNameAndTwelveCharactersAtMost)
{
    ObVariableData d = var("", "30");
    open(v, &d);
    ASSERT_EQ(dlmain_text_error_pending(), 0);
    Widget name = named(v, "varT");
    vxdl::type(name, "ABCDEFGHIJKLM");
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(name).size() >= 12; }));
    vxdl::pump_idle();
    EXPECT_EQ(vxdl::text(name), "ABCDEFGHIJKL");
    struct Case {
        const char *typed;
        int message;
    };
    // A leading digit is refused as a name that is no database name.
    for (const Case &c : {Case{"", 7}, Case{"1X", 12}, Case{"A-B", 12}, Case{"9", 12}}) {
        vxdl::retype(name, c.typed);
        if (!*c.typed)
            dl_set_text(name, "");
        EXPECT_EQ(vxdl::text(name), c.typed);
        vxdl::click(dl_box_button(v->widget, XmDIALOG_OK_BUTTON));
        ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() != 0; })) << c.typed;
        char expected[256];
        snprintf(expected, sizeof expected, dlmain_message(-1, c.message), c.typed);
        EXPECT_EQ(vxdl::message(dlmain_text_error_box()), expected);
        vxdl::click(XmMessageBoxGetChild(dlmain_text_error_box(), XmDIALOG_OK_BUTTON));
        ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() == 0; }));
        EXPECT_TRUE(shown(v));
        EXPECT_EQ(client().applies, 0);
    }
    vxdl::retype(name, "limit");
    vxdl::click(dl_box_button(v->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return client().applies == 1; }));
    EXPECT_STREQ(reinterpret_cast<ObVariableData *>(client().value)->name, "LIMIT");
}

TEST_F(Variable, TheBorrowedExpressionEditorReplacesTheValue)
{
    ObVariableData d = var("LIMIT", "30");
    open(v, &d);
    const DialogRecord own_editor = *expr;
    click_until(named(v, "expr1B"), [&] { return shown(expr); });
    EXPECT_EQ(v->reference_mask, expr->reference_mask | 0x10000000u);
    Widget editor_text = named(expr, "exprCondT");
    EXPECT_EQ(vxdl::text(editor_text), "");
    ObColumnData c = column("STAFF", "DEPTNO");
    v->reference(v, &c);
    EXPECT_EQ(vxdl::text(editor_text), "DEPTNO");
    vxdl::type(editor_text, "+10");
    vxdl::click(dl_box_button(expr->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(expr); }));
    EXPECT_EQ(text(v, "valueT"), "DEPTNO+10");
    EXPECT_EQ(v->reference_mask, 0x10000000u);
    EXPECT_EQ(expr->apply, own_editor.apply);
    EXPECT_EQ(expr->dismiss, own_editor.dismiss);
    // Popdown gives a borrowed editor back too.
    click_until(named(v, "expr1B"), [&] { return shown(expr); });
    v->popdown(v);
    vxdl::pump_idle();
    EXPECT_FALSE(shown(expr));
    EXPECT_EQ(expr->apply, own_editor.apply);
    EXPECT_EQ(v->reference_mask, 0x10000000u);
}

}  // namespace
