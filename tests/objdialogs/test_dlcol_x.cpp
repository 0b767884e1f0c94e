// The column and table editors under Xvfb with real widgets and real
// input: the details per type, an item's definition taken by its name,
// the list of new columns, the title modes, the checks' refusals, picks,
// getval per type; the table editor's fields, its borrowed column editor
// collecting columns and its borrowed condition editor deleting rows.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlcol.h"
#include "dlcolchk.h"
#include "dlexpr.h"
#include "dlkit.h"
#include "dltab.h"
#include "dltestkit.h"
#include "wsdict.h"
#include "wsobj.h"

#include <Xm/List.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// What the clients' notify procedures saw.
struct Client {
    int applies = 0, deletes = 0;
    ObColumnData column{};
    ObTableData table{};
    std::vector<int> delete_ops;
    std::vector<std::string> conditions;
} client;

void column_apply(DialogRecord *rec, int *done)
{
    client.applies++;
    rec->getval(rec, &client.column);
    *done = 1;
}
void table_apply(DialogRecord *rec, int *done)
{
    client.applies++;
    rec->getval(rec, &client.table);
    *done = 1;
}
void table_delete(DialogRecord *rec, int *done)
{
    ObTableData d{};
    rec->getval(rec, &d);
    client.deletes++;
    client.delete_ops.push_back(d.delete_op);
    client.conditions.push_back(d.condition);
    *done = 1;
}
void dismiss(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    *done = 1;
}
DialogRecord *adopt(DialogRecord *, int id) { return &dlmain_dialogs[static_cast<size_t>(id)]; }

// A small dictionary: the items EMPNO and DEPTNO (alias DNO, a Long array
// 2 by 3), the table STAFF with EMPNO, and the relation NEWT.
struct Dictionary {
    DictItem empno{}, deptno{};
    DictColumn staff_empno{};
    DictRelation staff{}, newt{};
    Dictionary()
    {
        strcpy(empno.name, "EMPNO");
        empno.type = DLCOL_LONG;
        empno.length = 6;
        empno.fraction = -1;
        empno.next = &deptno;
        strcpy(deptno.name, "DEPTNO");
        strcpy(deptno.alias, "DNO");
        deptno.type = DLCOL_LONG;
        deptno.length = 4;
        deptno.fraction = -1;
        deptno.ndims = 2;
        deptno.dims[0] = 2;
        deptno.dims[1] = 3;
        deptno.array_size = 6;
        deptno.var = 1;
        strcpy(staff_empno.name, "EMPNO");
        staff_empno.item = &empno;
        strcpy(staff.name, "STAFF");
        staff.columns = &staff_empno;
        staff.next = &newt;
        strcpy(newt.name, "NEWT");
    }
} dict;

ObColumnData column_value(const char *name, int type = DLCOL_STRING, int length = 9)
{
    ObColumnData c{};
    c.kind = OB_COLUMN;
    strcpy(c.name, name);
    strcpy(c.table, "STAFF");
    c.type = type;
    c.length = length;
    c.fraction = -1;
    c.columns = dict.staff.columns;
    c.items = &dict.empno;
    return c;
}

ObTableData table_value(const char *name)
{
    ObTableData t{};
    t.kind = OB_TABLE;
    strcpy(t.name, name);
    t.size = 100;
    t.extendable = 1;
    t.relations = &dict.staff;
    t.items = &dict.empno;
    return t;
}

class Editors : public testing::Test {
protected:
    DialogRecord *col = &dlmain_dialogs[15];
    DialogRecord *tab = &dlmain_dialogs[16];
    DialogRecord *cond = &dlmain_dialogs[9];

    static void SetUpTestSuite()
    {
        vxdl::app();
        dlmain_clear_dialogs();
        dlexpr_initialise_condition_dialog(&dlmain_dialogs[9]);
        dlcol_initialise_column_dialog(&dlmain_dialogs[15]);
        dltab_initialise_table_dialog(&dlmain_dialogs[16]);
        for (int id : {9, 15, 16})
            ASSERT_EQ(dlmain_dialogs[id].create(&dlmain_dialogs[id], vxdl::app().top), 0) << id;
    }

    void SetUp() override
    {
        client = Client{};
        dl_qualify_column_names = 0;
        for (DialogRecord *r : {col, tab, cond}) {
            r->apply = r == tab ? table_apply : column_apply;
            r->dismiss = dismiss;
            r->reset = nullptr;
            r->del = r == tab ? table_delete : nullptr;
            r->adopt = adopt;
        }
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (dlmain_text_error_pending())
            vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        for (DialogRecord *r : {tab, col, cond})
            if (r->widget && XtIsManaged(r->widget))
                r->popdown(r);
        vxdl::pump_idle();
    }

    Widget w(DialogRecord *rec, const char *path)
    {
        Widget found = vxdl::at(rec->widget, path);
        EXPECT_NE(found, nullptr) << path;
        return found;
    }
    Widget colname() { return w(col, "form1/colNameT"); }
    Widget detail(const char *name) { return w(col, (std::string("form1/frame/form2/") + name).c_str()); }
    Widget colfield(int n) { return vxdl::nth(col->widget, "colT", n); }  // 0 length, 1 fraction, 2 dimensions
    Widget type_menu() { return detail("optionM"); }
    bool sensitive(Widget x) { return x && XtIsSensitive(x); }
    bool shown(DialogRecord *rec) { return rec->widget && XtIsManaged(rec->widget); }

    void open_column(const ObColumnData &value, int title_mode)
    {
        ObColumnData v = value;
        col->setval(col, &v);
        ASSERT_EQ(col->popup(col, 30, 30, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(colname()));
    }
    void open_table(const ObTableData &value, int title_mode)
    {
        ObTableData v = value;
        tab->setval(tab, &v);
        ASSERT_EQ(tab->popup(tab, 30, 30, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(w(tab, "form1/tabNameT")));
    }

    // Picks a type from the option menu with the pointer.
    void choose_type(int type)
    {
        Widget entry = vxdl::find(col->widget, dlmain_widget_name("type%dB", type + 1));
        ASSERT_NE(entry, nullptr);
        vxdl::click(XmOptionButtonGadget(type_menu()));
        ASSERT_TRUE(vxdl::wait_viewable(entry));
        vxdl::click(entry);
        ASSERT_TRUE(vxdl::pump_until([&] { return dlmain_get_option(type_menu()) == type; })) << type;
        vxdl::pump_idle();
    }

    // OK pressed: the text error box's message, empty when none shows.
    std::string refusal(DialogRecord *rec)
    {
        vxdl::click(dl_box_button(rec->widget, XmDIALOG_OK_BUTTON));
        vxdl::pump_until([] { return dlmain_text_error_pending() != 0; }, std::chrono::milliseconds(1500));
        vxdl::pump_idle();
        if (!dlmain_text_error_pending())
            return "";
        std::string text = vxdl::message(dlmain_text_error_box());
        vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        vxdl::pump_idle();
        return text;
    }
    std::vector<std::string> list_lines()
    {
        Widget list = XmSelectionBoxGetChild(col->widget, XmDIALOG_LIST);
        XmStringTable items = nullptr;
        int count = 0;
        XtVaGetValues(list, XmNitems, &items, XmNitemCount, &count, nullptr);
        std::vector<std::string> out;
        for (int i = 0; i < count; i++)
            out.push_back(vxdl::xmstring(items[i]));
        return out;
    }
};

TEST_F(Editors, DetailsFollowTheTypeChosen)
{
    struct Case {
        int type;
        bool fraction, array;
    } cases[] = {
        {DLCOL_STRING, false, false}, {DLCOL_LONG, false, true},     {DLCOL_SHORT, false, true},
        {DLCOL_REAL, true, true},     {DLCOL_DATE, false, true},     {DLCOL_TIME, false, true},
        {DLCOL_COMPLEX, true, true},  {DLCOL_BOOL, false, false},    {DLCOL_CHAR, false, false},
        {DLCOL_SHORTREAL, true, true}, {DLCOL_BYTE, false, true},    {DLCOL_BLOB, false, false},
    };
    open_column(column_value("", DLCOL_STRING), 2);
    for (const Case &c : cases) {
        choose_type(c.type);
        EXPECT_TRUE(sensitive(detail("colAliasT"))) << c.type;
        EXPECT_TRUE(sensitive(colfield(0))) << c.type;
        EXPECT_EQ(sensitive(colfield(1)), c.fraction) << c.type;
        EXPECT_EQ(sensitive(colfield(2)), c.array) << c.type;
        EXPECT_EQ(sensitive(detail("colVarT")), c.array) << c.type;
    }
}

TEST_F(Editors, AnItemsNameFillsAndGreysTheDetailsATablesColumnIsRefused)
{
    open_column(column_value(""), 2);
    vxdl::type(colname(), "dno");
    // Leaving the field runs its check.
    vxdl::click(colfield(0));
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(colname()) == "DNO"; })) << vxdl::text(colname());
    EXPECT_EQ(dlmain_get_option(type_menu()), DLCOL_LONG);
    EXPECT_EQ(vxdl::text(colfield(0)), "4");
    EXPECT_EQ(vxdl::text(colfield(2)), "2,3");
    EXPECT_EQ(vxdl::text(detail("colAliasT")), "DNO");
    EXPECT_TRUE(XmToggleButtonGetState(detail("colVarT")));
    for (Widget x : {detail("colAliasT"), type_menu(), colfield(0), colfield(1), colfield(2), detail("colVarT")})
        EXPECT_FALSE(sensitive(x)) << XtName(x);

    // A new name makes them sensitive again, for the type shown.
    vxdl::retype(colname(), "BONUS");
    vxdl::click(detail("colPrimT"));
    ASSERT_TRUE(vxdl::pump_until([&] { return sensitive(colfield(0)); }));
    EXPECT_TRUE(sensitive(colfield(2)));
    EXPECT_FALSE(sensitive(colfield(1)));

    // A column the table has: refused with the editor's message.
    vxdl::retype(colname(), "EMPNO");
    EXPECT_EQ(refusal(col), dl_text(15, 14).replace(dl_text(15, 14).find("%s"), 2, "EMPNO"));
    EXPECT_EQ(client.applies, 0);
}

TEST_F(Editors, ListOnlyForANewColumnDeleteOnlyWhenEditingApplyGreyedWhenLooking)
{
    DictItem note{};
    note.type = DLCOL_STRING;
    note.length = 30;
    note.fraction = -1;
    DictColumn pending{};
    strcpy(pending.name, "NOTE");
    pending.null = 1;
    pending.item = &note;
    ObColumnData v = column_value("");
    v.pending = &pending;
    Widget list = XmSelectionBoxGetChild(col->widget, XmDIALOG_LIST);
    Widget del = w(col, "form1/delBut");
    Widget ok = dl_box_button(col->widget, XmDIALOG_OK_BUTTON);
    Widget apply = dl_box_button(col->widget, XmDIALOG_APPLY_BUTTON);
    struct Case {
        int mode;
        bool list, del, apply;
    } cases[] = {{2, true, false, true}, {1, false, true, true}, {3, false, false, false}};
    for (const Case &c : cases) {
        open_column(v, c.mode);
        EXPECT_EQ(XtIsManaged(XtParent(list)) == True, c.list) << c.mode;
        EXPECT_EQ(XtIsManaged(XmSelectionBoxGetChild(col->widget, XmDIALOG_LIST_LABEL)) == True, c.list) << c.mode;
        EXPECT_EQ(sensitive(del), c.del) << c.mode;
        EXPECT_EQ(sensitive(ok), c.apply) << c.mode;
        EXPECT_EQ(sensitive(apply), c.apply) << c.mode;
        col->popdown(col);
    }
    open_column(v, 2);
    EXPECT_EQ(list_lines(), std::vector<std::string>{"NOTE         STRING(30) NULL"});
    // A line picked fills the editor.
    vxdl::click_item(list, 1);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(colname()) == "NOTE"; }));
    EXPECT_EQ(vxdl::text(colfield(0)), "30");
    EXPECT_TRUE(XmToggleButtonGetState(detail("colNullT")));

    // Qualified names: the title carries the name shown; a new column's
    // name loses its table.
    dl_qualify_column_names = 1;
    col->popdown(col);
    open_column(column_value("EMPNO", DLCOL_LONG, 6), 1);
    EXPECT_EQ(vxdl::text(colname()), "STAFF.EMPNO");
    EXPECT_NE(vxdl::shell_title(col->widget).find("STAFF.EMPNO"), std::string::npos) << vxdl::shell_title(col->widget);
    col->popdown(col);
    ObColumnData q = column_value("EMPNO", DLCOL_LONG, 6);
    col->setval(col, &q);
    ASSERT_EQ(col->popup(col, 30, 30, 1, 2), 0);
    EXPECT_EQ(vxdl::text(colname()), "EMPNO");
}

TEST_F(Editors, PrimaryAndNullClearEachOther)
{
    open_column(column_value("K"), 2);
    Widget primary = detail("colPrimT"), nulls = detail("colNullT");
    vxdl::click(primary);
    ASSERT_TRUE(vxdl::pump_until([&] { return XmToggleButtonGetState(primary); }));
    vxdl::click(nulls);
    ASSERT_TRUE(vxdl::pump_until([&] { return XmToggleButtonGetState(nulls); }));
    EXPECT_FALSE(XmToggleButtonGetState(primary));
    vxdl::click(primary);
    ASSERT_TRUE(vxdl::pump_until([&] { return XmToggleButtonGetState(primary); }));
    EXPECT_FALSE(XmToggleButtonGetState(nulls));
}

TEST_F(Editors, GetvalKeepsOnlyWhatTheTypeTakes)
{
    struct Case {
        int type;
        const char *length, *fraction, *dims;
        bool var;
        int want_length, want_fraction, want_ndims;
        int64_t want_count;
        int want_var;
    } cases[] = {
        {DLCOL_REAL, "10", "2", "", true, 10, 2, 0, 0, 0},       // no array: no variable flag
        {DLCOL_REAL, "10", "", "4", false, 10, -1, 1, 4, 0},
        {DLCOL_LONG, "6", "3", "2, 3", true, 6, -1, 2, 6, 1},    // no fraction for a Long
        {DLCOL_STRING, "30", "3", "2,3", true, 30, -1, 0, 0, 0}, // neither for a String
        {DLCOL_SHORTREAL, "9", "3", "", false, 9, 3, 0, 0, 0},
    };
    for (const Case &c : cases) {
        ObColumnData v = column_value("X", c.type);
        col->setval(col, &v);
        dl_set_text(colfield(0), c.length);
        dl_set_text(colfield(1), c.fraction);
        dl_set_text(colfield(2), c.dims);
        dlmain_set_toggle(detail("colVarT"), c.var);
        dlmain_set_toggle(detail("colPrimT"), 1);
        ObColumnData got = column_value("");
        col->getval(col, &got);
        EXPECT_STREQ(got.name, "X");
        EXPECT_EQ(got.type, c.type);
        EXPECT_EQ(got.length, c.want_length) << c.type;
        EXPECT_EQ(got.fraction, c.want_fraction) << c.type;
        EXPECT_EQ(got.ndims, c.want_ndims) << c.type;
        EXPECT_EQ(got.array_size, c.want_count) << c.type;
        EXPECT_EQ(got.var, c.want_var) << c.type;
        EXPECT_EQ(got.key, 1);
    }
}

TEST_F(Editors, BadFieldsAreRefusedWithTheirMessages)
{
    auto msg = [](int n, const std::string &arg) {
        std::string t = dl_text(15, n);
        const size_t at = t.find("%s");
        return at == std::string::npos ? t : t.replace(at, 2, arg);
    };
    struct Case {
        int type;
        const char *length, *fraction, *dims, *alias;
        std::string message;
    } cases[] = {
        {DLCOL_STRING, "4097", "", "", "", msg(15, "4097")},
        {DLCOL_BOOL, "7", "", "", "", msg(15, "7")},
        {DLCOL_REAL, "5", "", "", "", msg(16, "")},
        {DLCOL_REAL, "6", "5", "", "", msg(16, "5")},
        {DLCOL_LONG, "6", "", "181,182", "", msg(17, "181,182")},
        {DLCOL_LONG, "6", "", "0", "", msg(17, "0")},
        {DLCOL_LONG, "6", "", "1,2,3,4,5,6,7,8,9", "", msg(17, "1,2,3,4,5,6,7,8,9")},
        {DLCOL_LONG, "6", "", "", "BONUS", msg(14, "BONUS")},  // the name itself
        {DLCOL_LONG, "6", "", "", "DNO", msg(14, "DNO")},      // another item's alias
        {DLCOL_REAL, "6", "4", "2,3", "B", ""},
    };
    for (const Case &c : cases) {
        ObColumnData v = column_value("BONUS", c.type);
        open_column(v, 2);
        dl_set_text(colfield(0), c.length);
        dl_set_text(colfield(1), c.fraction);
        dl_set_text(colfield(2), c.dims);
        dl_set_text(detail("colAliasT"), c.alias);
        EXPECT_EQ(refusal(col), c.message) << c.type << " " << c.length << " " << c.dims << " " << c.alias;
        if (shown(col))
            col->popdown(col);
    }
    EXPECT_EQ(client.applies, 1);
    EXPECT_EQ(client.column.array_size, 6);
    EXPECT_STREQ(client.column.alias, "B");
}

TEST_F(Editors, APickTakesAnItemsDefinitionAnythingElseRingsTheBell)
{
    open_column(column_value("X", DLCOL_STRING, 20), 2);
    ObColumnData picked = column_value("DEPTNO");
    strcpy(picked.table, "OTHER");
    ASSERT_EQ(col->reference(col, &picked), 0);
    EXPECT_EQ(dlmain_get_option(type_menu()), DLCOL_LONG);
    EXPECT_EQ(vxdl::text(colfield(0)), "4");
    EXPECT_EQ(vxdl::text(colfield(2)), "2,3");
    EXPECT_TRUE(sensitive(colfield(2)));
    EXPECT_EQ(vxdl::text(colname()), "X");

    const int before = vxdl::bells();
    ObColumnData unknown = column_value("NOSUCH");
    EXPECT_EQ(col->reference(col, &unknown), -1);
    ObConditionData other{};
    other.kind = OB_CONDITION;
    EXPECT_EQ(col->reference(col, &other), -1);
    EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() >= before + 2; }));
    EXPECT_EQ(vxdl::text(colfield(0)), "4");
}

TEST_F(Editors, TableFieldsNameAndSize)
{
    auto set1 = [](int n, const char *arg) {
        std::string t = dlmain_raw_message(1, n);
        const size_t at = t.find("%s");
        return at == std::string::npos ? t : t.replace(at, 2, arg);
    };
    std::string exists = dl_text(16, 11);
    exists.replace(exists.find("%s"), 2, "NEWT");
    struct Case {
        const char *table;
        int mode;
        const char *name, *size;
        std::string message;
        const char *size_after;
    } cases[] = {
        {"", 2, "T2", "", "", "100"},                // a blank size becomes 100
        {"", 2, "T2", "0", set1(8, "1"), nullptr},
        {"", 2, "T2", "9999999999", set1(9, "2147483647"), nullptr},
        {"", 2, "", "10", set1(7, ""), nullptr},
        {"", 2, "T-1", "10", set1(12, "T-1"), nullptr},
        {"", 2, "NEWT", "10", exists, nullptr},
        {"STAFF", 1, "STAFF", "10", "", "10"},      // its own name passes
        {"STAFF", 1, "NEWT", "10", exists, nullptr},
    };
    for (const Case &c : cases) {
        open_table(table_value(c.table), c.mode);
        dl_set_text(w(tab, "form1/tabNameT"), c.name);
        Widget size = w(tab, "form1/frame/form2/tabSizeT");
        dl_set_text(size, c.size);
        EXPECT_EQ(refusal(tab), c.message) << c.name << " " << c.size;
        if (c.size_after) {
            EXPECT_EQ(vxdl::text(size), c.size_after);
        }
        if (shown(tab))
            tab->popdown(tab);
    }
    EXPECT_EQ(client.applies, 2);
    EXPECT_STREQ(client.table.name, "STAFF");
    EXPECT_EQ(client.table.size, 10);
}

TEST_F(Editors, TableButtonsByTitleMode)
{
    struct Case {
        int mode;
        bool columns, commands, ok;
    } cases[] = {{1, false, true, true}, {2, true, false, true}, {3, false, false, false}};
    for (const Case &c : cases) {
        open_table(table_value("STAFF"), c.mode);
        EXPECT_EQ(sensitive(w(tab, "form1/colBut")), c.columns) << c.mode;
        for (const char *b : {"form1/drowBut", "form1/clrBut", "form1/delBut"})
            EXPECT_EQ(sensitive(w(tab, b)), c.commands) << c.mode << b;
        EXPECT_EQ(sensitive(dl_box_button(tab->widget, XmDIALOG_OK_BUTTON)), c.ok) << c.mode;
        tab->popdown(tab);
    }
}

TEST_F(Editors, TheBorrowedColumnEditorCollectsTheNewColumns)
{
    open_table(table_value(""), 2);
    const uint32_t own_mask = tab->reference_mask;
    vxdl::click(w(tab, "form1/colBut"));
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(col); }));
    ASSERT_TRUE(vxdl::wait_viewable(colname()));
    // Canvas picks now go to the column editor.
    EXPECT_EQ(tab->reference_mask, col->reference_mask);
    EXPECT_EQ(tab->reference, col->reference);
    Widget apply = dl_box_button(col->widget, XmDIALOG_APPLY_BUTTON);

    auto enter = [&](const char *name, int type, const char *length, bool primary) {
        vxdl::retype(colname(), name);
        choose_type(type);
        vxdl::retype(colfield(0), length);
        if (primary)
            vxdl::click(detail("colPrimT"));
        vxdl::click(apply);
        EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::text(colname()).empty(); })) << name;
    };
    enter("K", DLCOL_LONG, "6", true);
    enter("NOTE", DLCOL_STRING, "30", false);
    EXPECT_EQ(list_lines(), (std::vector<std::string>{"K            LONG(6) PRIMARY", "NOTE         STRING(30) "}));
    // The same name again: the one entry changes in place.
    enter("NOTE", DLCOL_STRING, "40", false);
    EXPECT_EQ(list_lines(), (std::vector<std::string>{"K            LONG(6) PRIMARY", "NOTE         STRING(40) "}));
    EXPECT_EQ(client.applies, 0);

    vxdl::click(dl_box_button(col->widget, XmDIALOG_CANCEL_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(col); }));
    EXPECT_EQ(tab->reference_mask, own_mask);
    EXPECT_EQ(col->apply, column_apply);

    vxdl::retype(w(tab, "form1/tabNameT"), "NEWT2");
    vxdl::click(dl_box_button(tab->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(tab); }));
    ASSERT_EQ(client.applies, 1);
    EXPECT_STREQ(client.table.name, "NEWT2");
    std::vector<std::string> names;
    for (const ObColumnData *c = client.table.new_columns; c; c = c->chain)
        names.push_back(std::string(c->name) + ":" + std::to_string(c->length));
    EXPECT_EQ(names, (std::vector<std::string>{"K:6", "NOTE:40"}));

    // A value without a list releases them.
    ObTableData fresh = table_value("");
    tab->setval(tab, &fresh);
    ObTableData got{};
    tab->getval(tab, &got);
    EXPECT_EQ(got.new_columns, nullptr);
}

TEST_F(Editors, RowsAreDeletedOnlyAfterTheConditionWasApplied)
{
    open_table(table_value("STAFF"), 1);
    Widget rows = w(tab, "form1/drowBut");
    Widget text = vxdl::find(cond->widget, "exprCondT");

    // Cancelled: nothing deleted, the table editor still open.
    vxdl::click(rows);
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(cond); }));
    EXPECT_TRUE(dlexpr_condition_target(tab->id));
    EXPECT_EQ(tab->reference, cond->reference);
    vxdl::type(text, "DEPTNO=10");
    vxdl::click(dl_box_button(cond->widget, XmDIALOG_CANCEL_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return !shown(cond); }));
    vxdl::pump_idle();
    EXPECT_EQ(client.deletes, 0);
    EXPECT_TRUE(shown(tab));
    EXPECT_EQ(tab->reference_mask, DL_REF_NO_PENDING);

    // Applied by OK, then closed: the rows that meet it go.
    vxdl::click(rows);
    ASSERT_TRUE(vxdl::pump_until([&] { return shown(cond); }));
    ASSERT_TRUE(vxdl::wait_viewable(text));
    vxdl::retype(text, "deptno=10");
    vxdl::click(dl_box_button(cond->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([&] { return client.deletes == 1; }));
    EXPECT_EQ(client.delete_ops, std::vector<int>{3});
    EXPECT_EQ(client.conditions, std::vector<std::string>{"DEPTNO=10"});
    EXPECT_TRUE(vxdl::pump_until([&] { return !shown(tab) && !shown(cond); }));

    // Clear and Drop: delete modes 2 and 1.
    for (const char *b : {"form1/clrBut", "form1/delBut"}) {
        open_table(table_value("STAFF"), 1);
        vxdl::click(w(tab, b));
        ASSERT_TRUE(vxdl::pump_until([&] { return !shown(tab); })) << b;
    }
    EXPECT_EQ(client.delete_ops, (std::vector<int>{3, 2, 1}));
}

}  // namespace
