// The view options (27) and table list (28) dialogs under Xvfb with real
// widgets, driven by pointer input: the toggles against their value
// record, the table list's items, the edit buttons on the selection, and
// the file written on OK only when it was read whole.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dldbdialogs.h"
#include "dlkit.h"
#include "dltestkit.h"
#include "vxtest.h"

#include <Xm/List.h>
#include <Xm/ToggleBG.h>

#include <fstream>
#include <sstream>

namespace {

using vxdl::app;

int applies = 0;

// The menu side's apply: reads the dialog into its registered value.
void apply_notify(DialogRecord *rec, int *done)
{
    applies++;
    if (rec->client_value)
        rec->getval(rec, rec->client_value);
    *done = 1;
}

void dismiss_notify(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    *done = 1;
}

void reset_notify(DialogRecord *, int *done) { *done = 1; }

class ViewDialogs : public testing::Test {
protected:
    DialogRecord *rec = nullptr;

    void SetUp() override
    {
        app();
        dlmain_clear_dialogs();
        applies = 0;
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (rec && rec->widget)
            rec->destroy(rec);
        vxdl::pump_idle();
    }
    void make(int id, void (*init)(DialogRecord *))
    {
        rec = &dlmain_dialogs[id];
        init(rec);
        ASSERT_EQ(rec->id, id);
        EXPECT_EQ(rec->object_class, -1);
        EXPECT_EQ(rec->reference_mask, 0u);
        ASSERT_EQ(rec->create(rec, app().top), 0);
        ASSERT_NE(rec->widget, nullptr);
        rec->apply = apply_notify;
        rec->reset = reset_notify;
        rec->dismiss = dismiss_notify;
    }
    void open(void *value)
    {
        rec->client_value = value;
        rec->setval(rec, value);
        ASSERT_EQ(rec->popup(rec, 40, 40, 1, 4), 0);
        ASSERT_TRUE(vxdl::wait_viewable(rec->widget));
    }
    Widget w(const char *path)
    {
        Widget r = vxdl::at(rec->widget, path);
        EXPECT_NE(r, nullptr) << path;
        return r;
    }
    bool shown() const { return XtIsManaged(rec->widget); }
    void press_ok()
    {
        vxdl::click(dl_box_button(rec->widget, XmDIALOG_OK_BUTTON));
        ASSERT_TRUE(vxdl::pump_until([this] { return !shown(); }));
    }
    void press_cancel()
    {
        vxdl::click(dl_box_button(rec->widget, XmDIALOG_CANCEL_BUTTON));
        ASSERT_TRUE(vxdl::pump_until([this] { return !shown(); }));
    }
};

// ---- view options ---------------------------------------------------------------------------

TEST_F(ViewDialogs, ViewOptionsShowThreeFlagsAndKeepTheSampleDataFlag)
{
    make(27, dlvopt_initialise_view_options_dialog);
    ViewOptionsValue v{1, 0, 1, 0};
    open(&v);
    Widget t[3] = {w("form1/vopt1T"), w("form1/vopt2T"), w("form1/vopt3T")};
    EXPECT_TRUE(XmToggleButtonGadgetGetState(t[0]));
    EXPECT_FALSE(XmToggleButtonGadgetGetState(t[1]));
    EXPECT_FALSE(XmToggleButtonGadgetGetState(t[2]));
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(vxdl::label(t[i]), dl_text(27, i + 2));

    // Clicked: table information off, index information and system tables on.
    for (Widget toggle : t)
        vxdl::click(toggle);
    ASSERT_TRUE(vxdl::pump_until([&] { return XmToggleButtonGadgetGetState(t[2]) == True; }));
    press_ok();
    EXPECT_EQ(applies, 1);
    EXPECT_EQ(v.show_table_info, 0);
    EXPECT_EQ(v.show_index_info, 1);
    EXPECT_EQ(v.show_system_tables, 1);
    EXPECT_EQ(v.show_sample_data, 1);

    // Cancel reads nothing back.
    open(&v);
    vxdl::click(t[0]);
    press_cancel();
    EXPECT_EQ(applies, 1);
    EXPECT_EQ(v.show_table_info, 0);
}

// ---- table list -------------------------------------------------------------------------------

std::string read_file(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> items(Widget list)
{
    XmStringTable table = nullptr;
    int count = 0;
    XtVaGetValues(list, XmNitems, &table, XmNitemCount, &count, nullptr);
    std::vector<std::string> out;
    for (int i = 0; i < count; i++)
        out.push_back(vxdl::xmstring(table[i]));
    return out;
}

// The names of the items, in list order, "*" behind a shown one.
std::string names(Widget list)
{
    std::string s;
    for (const std::string &item : items(list)) {
        std::string name = item.substr(0, item.find(' '));
        s += (s.empty() ? "" : " ") + name + (item.size() > 14 && item[14] == '*' ? "*" : "");
    }
    return s;
}

class TableList : public ViewDialogs {
protected:
    std::string dir = vxtest::temp_dir("dlvlist");
    TablesValue path{};
    Widget list = nullptr;

    void open_file(const std::string &content)
    {
        const std::string file = dir + "/DEMO.BRASK";
        if (!content.empty() || !std::ifstream(file))
            std::ofstream(file) << content;
        snprintf(path, sizeof path, "%s", file.c_str());
        open(path);
        list = w("form1/tableListSW/tableList");
    }
    Widget button(int n) { return vxdl::nth(rec->widget, "listEditB", n); }
    void select(std::initializer_list<int> positions)
    {
        for (int p : positions)
            vxdl::click_item(list, p);
        vxdl::pump_idle();
    }
};

TEST_F(TableList, TheButtonsActOnTheSelectedTablesAndOkWritesTheList)
{
    make(28, dltlist_initialise_set_tables_dialog);
    // File order, whatever the flags.
    open_file("DEPT 0\nSTAFF 1\nSALES 1\nORDERS 1\n");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(names(list), "DEPT STAFF* SALES* ORDERS*");
    EXPECT_EQ(items(list)[1], "STAFF         * ");
    for (int n = 0; n < 6; n++)
        EXPECT_EQ(vxdl::label(button(n)), dl_text(28, 3 + n));

    // No selection: the buttons do nothing, not even sort.
    vxdl::click(button(2));
    vxdl::pump_idle();
    EXPECT_EQ(names(list), "DEPT STAFF* SALES* ORDERS*");

    // SALES and ORDERS to the top: first of the shown, in listed order.
    select({3, 4});
    vxdl::click(button(2));
    ASSERT_TRUE(vxdl::pump_until([&] { return names(list) == "SALES* ORDERS* STAFF* DEPT"; })) << names(list);
    int selected = -1;
    XtVaGetValues(list, XmNselectedItemCount, &selected, nullptr);
    EXPECT_EQ(selected, 0);

    // DEPT shown: it joins the shown ones at its own order (last).
    select({4});
    vxdl::click(button(0));
    ASSERT_TRUE(vxdl::pump_until([&] { return names(list) == "SALES* ORDERS* STAFF* DEPT*"; })) << names(list);
    // ORDERS hidden, then the list by name.
    select({2});
    vxdl::click(button(1));
    ASSERT_TRUE(vxdl::pump_until([&] { return names(list) == "SALES* STAFF* DEPT* ORDERS"; })) << names(list);
    vxdl::click(button(5));
    ASSERT_TRUE(vxdl::pump_until([&] { return names(list) == "DEPT* SALES* STAFF* ORDERS"; })) << names(list);

    press_ok();
    EXPECT_EQ(applies, 1);
    EXPECT_EQ(read_file(path), "DEPT 1\nSALES 1\nSTAFF 1\nORDERS 0\n");
}

TEST_F(TableList, AListNotReadWholeIsNeverWrittenOver)
{
    make(28, dltlist_initialise_set_tables_dialog);
    // A malformed pair: what came before it is listed, OK writes nothing.
    const std::string malformed = "STAFF 1\nDEPT yes\nSALES 1\n";
    open_file(malformed);
    EXPECT_EQ(names(list), "STAFF*");
    press_ok();
    EXPECT_EQ(read_file(path), malformed);

    // A missing file after a good one: no items of the earlier file stay.
    open_file("STAFF 1\nDEPT 0\n");
    EXPECT_EQ(names(list), "STAFF* DEPT");
    select({1});
    press_cancel();
    const std::string missing = dir + "/gone/DEMO.BRASK";
    snprintf(path, sizeof path, "%s", missing.c_str());
    open(path);
    EXPECT_TRUE(items(list).empty());
    vxdl::click(button(0));
    vxdl::click(button(5));
    vxdl::pump_idle();
    EXPECT_TRUE(items(list).empty());
    press_ok();
    EXPECT_FALSE(std::ifstream(missing).good());
}

}  // namespace
