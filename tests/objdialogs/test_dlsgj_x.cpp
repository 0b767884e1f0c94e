// The sort, group and join editors under Xvfb with real widgets and input:
// picked columns by each editor's insert mode, the extra buttons, the
// group's sequence toggle, setval, getval and the title modes.

#include "qobjfixture.h"

namespace {

using namespace qobj;

class SortGroupJoin : public Editors {
protected:
    struct Names {
        int id;
        const char *text;
    };
    static constexpr Names editors[3] = {{11, "sortT"}, {12, "groupT"}, {13, "joinT"}};
    // Opens editor `id` on a text (the kind data's text follows its kind).
    void open_on(int id, const char *text, int title_mode = 2, int sequence = 0)
    {
        ObGroupData d{};  // the largest of the three
        d.kind = id == 11 ? OB_SORT : id == 12 ? OB_GROUP : OB_JOIN;
        strcpy(d.text, text);
        d.sequence = sequence;
        open(rec(id), &d, title_mode);
    }
    const char *text_name(int id) { return editors[id - 11].text; }
    std::string shown_text(int id) { return text(rec(id), text_name(id)); }
};

TEST_F(SortGroupJoin, PickedColumnsGoInByEachEditorsRuleAndTheButtonsAppend)
{
    struct Case {
        int id;
        const char *typed;
        bool qualify;
        const char *first, *second;  // after picking A (EMP.A), then B (DEP.B)
        const char *button, *after_button;
    };
    const Case cases[] = {
        {11, "", false, "A", "A,B", "descBut", "A,B DESC"},
        {11, "X,", false, "X,A", "X,A,B", "ascBut", "X,A,B ASC"},
        {11, "", true, "EMP.A", "EMP.A,DEP.B", "natBut", "EMP.A,DEP.B NATIVE"},
        {12, "OLD", false, "A", "B", nullptr, nullptr},
        {12, "", true, "EMP.A", "DEP.B", nullptr, nullptr},
        {13, "EMP.DEPT", true, "EMP.DEPT=EMP.A", "EMP.DEPT=EMP.A=DEP.B", "andBut", "EMP.DEPT=EMP.A=DEP.B AND "},
        {13, "X <= ", false, "X <= A", "X <= A=B", "andBut", "X <= A=B AND "},
        {13, "N_%", false, "N_%=A", "N_%=A=B", nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " " + c.typed);
        dl_qualify_column_names = c.qualify;
        open_on(c.id, c.typed);
        DialogRecord *r = rec(c.id);
        ObColumnData a = column("EMP", "A"), b = column("DEP", "B");
        EXPECT_EQ(r->reference(r, &a), 0);
        EXPECT_EQ(shown_text(c.id), c.first);
        r->reference(r, &b);
        EXPECT_EQ(shown_text(c.id), c.second);
        EXPECT_EQ(XmTextFieldGetInsertionPosition(named(r, text_name(c.id))), static_cast<long>(strlen(c.second)));
        if (c.button)
            click_until(named(r, c.button), [&] { return shown_text(c.id) == c.after_button; });
        r->popdown(r);
    }
}

TEST_F(SortGroupJoin, TheJoinOfTheIssueAndAPickAtTheStartAddsNoSeparator)
{
    dl_qualify_column_names = 1;
    open_on(13, "");
    vxdl::type(named(rec(13), "joinT"), "EMP.DEPT");
    ASSERT_TRUE(vxdl::pump_until([&] { return shown_text(13) == "EMP.DEPT"; }));
    ObColumnData dep = column("DEP", "DEPT");
    rec(13)->reference(rec(13), &dep);
    EXPECT_EQ(shown_text(13), "EMP.DEPT=DEP.DEPT");
    click_until(named(rec(13), "andBut"), [&] { return shown_text(13) == "EMP.DEPT=DEP.DEPT AND "; });
    for (int id : {11, 13}) {
        open_on(id, "X");
        XmTextFieldSetInsertionPosition(named(rec(id), text_name(id)), 0);
        ObColumnData a = column("T", "A");
        rec(id)->reference(rec(id), &a);
        EXPECT_EQ(shown_text(id), "T.AX") << id;
    }
}

TEST_F(SortGroupJoin, OnlyColumnsArePickedAndNothingPastTwoHundredFiftyFiveCharacters)
{
    const std::string full(255, 'A');
    for (const Names &n : editors) {
        SCOPED_TRACE(n.id);
        EXPECT_EQ(rec(n.id)->reference_mask, 0x20000008u);
        open_on(n.id, "");
        ObVariableData v = variable("LIMIT");
        EXPECT_EQ(rec(n.id)->reference(rec(n.id), &v), -1);
        EXPECT_EQ(shown_text(n.id), "");
        rec(n.id)->popdown(rec(n.id));
        if (n.id == 12)
            continue;  // the group's pick replaces its text
        // Full: a pick and a button ring and change nothing.
        open_on(n.id, full.c_str());
        const int before = vxdl::bells();
        ObColumnData c = column("T", "C");
        rec(n.id)->reference(rec(n.id), &c);
        EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() == before + 1; }));
        vxdl::click(named(rec(n.id), n.id == 11 ? "descBut" : "andBut"));
        EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() == before + 2; }));
        EXPECT_EQ(shown_text(n.id), full);
        rec(n.id)->popdown(rec(n.id));
    }
}

TEST_F(SortGroupJoin, SetvalGetvalAndTitleModes)
{
    struct Case {
        const char *typed, *stored;
    };
    const Case cases[] = {{"  ename desc  ", "ENAME DESC"}, {" name = 'x' ", "NAME = 'x'"}, {"   ", ""}};
    for (const Names &n : editors) {
        open_on(n.id, "ENAME", 1, 1);
        EXPECT_EQ(shown_text(n.id), "ENAME");
        EXPECT_TRUE(sensitive(rec(n.id), "delBut"));
        for (const Case &c : cases) {
            dl_set_text(named(rec(n.id), n.text), c.typed);
            ObGroupData out{};
            rec(n.id)->getval(rec(n.id), &out);
            EXPECT_STREQ(out.text, c.stored) << n.id;
        }
        rec(n.id)->popdown(rec(n.id));
        open_on(n.id, "", 2);
        EXPECT_FALSE(sensitive(rec(n.id), "delBut"));
        rec(n.id)->popdown(rec(n.id));
    }
    // The sort's buttons show the keywords themselves.
    EXPECT_EQ(vxdl::label(named(rec(11), "ascBut")), "ASC");
    EXPECT_EQ(vxdl::label(named(rec(11), "descBut")), "DESC");
    EXPECT_EQ(vxdl::label(named(rec(11), "natBut")), "NATIVE");
    EXPECT_EQ(vxdl::label(named(rec(13), "andBut")), "AND");
}

TEST_F(SortGroupJoin, TheGroupsSequenceToggleFollowsTheFlag)
{
    Widget toggle = named(rec(12), "sequenceB");
    for (int flag : {1, 0, 1}) {
        open_on(12, "DEPTNO", 1, flag);
        EXPECT_EQ(XmToggleButtonGadgetGetState(toggle) == True, flag == 1);
        ObGroupData out{};
        rec(12)->getval(rec(12), &out);
        EXPECT_EQ(out.sequence, flag);
        click_until(toggle, [&] { return (XmToggleButtonGadgetGetState(toggle) == True) != (flag == 1); });
        rec(12)->getval(rec(12), &out);
        EXPECT_EQ(out.sequence, 1 - flag);
        rec(12)->popdown(rec(12));
    }
}

}  // namespace
