// The function picker under Xvfb with real widgets and real input: the
// file read once at the first setval that finds it, library switch, sort
// toggle, picks, help ids, a double click as OK, title mode 5, getval.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dldbdialogs.h"
#include "dlfunc.h"
#include "dlkit.h"
#include "dltestkit.h"
#include "vxtest.h"

#include <Xm/List.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const char *const FILE_TEXT =
    "# test functions\n"
    "TEXT strings\n"
    "    SUBSTR(s, start, len)\n"
    "    lower(s)\n"
    "    LEN(s)\n"
    "    Apply(x)\n"
    "NUMBERS\n"
    "    ABS(x)\n"
    "    ROUND(x)\n"
    "NONE\n"
    "DATES\n"
    "    SYSDATE()\n"
    "SYSTEM\n"
    "    DBNAME()\n"
    "ARRAYS\n"
    "    MEAN(a)\n"
    "    MAX(a)\n"
    "LAST\n"
    "    Z()\n";

struct Client {
    int applies = 0, dismisses = 0;
    FuncValue value{};
} client;

void apply_notify(DialogRecord *rec, int *done)
{
    client.applies++;
    rec->getval(rec, &client.value);
    *done = 1;
}

void dismiss_notify(DialogRecord *rec, int *done)
{
    client.dismisses++;
    rec->popdown(rec);
    *done = 1;
}

std::map<Widget, int> help_ids;

class Picker : public testing::Test {
protected:
    static DialogRecord *rec;
    static std::string dir;

    static void SetUpTestSuite()
    {
        vxdl::app();
        dlmain_clear_dialogs();
        dlmain_register_help_hook = [](Widget w, int id) { help_ids[w] = id; };
        rec = &dlmain_dialogs[6];
        dlfunc_initialise_function_dialog(rec);
        ASSERT_EQ(rec->create(rec, vxdl::app().top), 0);
        dir = vxtest::temp_dir("dlfunc");
        vxtest::write_file(dir + "/funcs.txt", FILE_TEXT);
    }
    static void TearDownTestSuite()
    {
        dlmain_register_help_hook = nullptr;
        std::filesystem::remove_all(dir);
    }
    void SetUp() override
    {
        client = Client{};
        rec->apply = apply_notify;
        rec->dismiss = dismiss_notify;
    }
    void TearDown() override
    {
        if (rec->widget && XtIsManaged(rec->widget))
            rec->popdown(rec);
        vxdl::pump_idle();
    }
    static FuncValue value(const std::string &path, const char *name = "")
    {
        FuncValue v{};
        dl_copy(v.path, path);
        dl_copy(v.name, name);
        return v;
    }
    void open(int title_mode = 4)
    {
        FuncValue v = value(dir + "/funcs.txt");
        rec->setval(rec, &v);
        ASSERT_EQ(rec->popup(rec, 40, 40, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(list()));
    }
    Widget list() { return XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST); }
    Widget text() { return XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT); }
    Widget sort() { return vxdl::find(rec->widget, "sortLibT"); }
    Widget library_button(int i) { return vxdl::nth(rec->widget, "libB", i); }
    Strings items()
    {
        Strings v;
        XmStringTable t = nullptr;
        int n = 0;
        XtVaGetValues(list(), XmNitems, &t, XmNitemCount, &n, nullptr);
        for (int i = 0; i < n; i++)
            v.push_back(vxdl::xmstring(t[i]));
        return v;
    }
    int library_buttons()
    {
        int n = 0;
        while (library_button(n))
            n++;
        return n;
    }
    std::string shown_library()
    {
        Widget current = nullptr;
        XtVaGetValues(vxdl::find(rec->widget, "libO"), XmNmenuHistory, &current, nullptr);
        return current ? vxdl::label(current) : "";
    }
};
DialogRecord *Picker::rec = nullptr;
std::string Picker::dir;

// First in the file: the picker starts empty.
TEST_F(Picker, AMissingFileLeavesItEmptyAndIsTriedAgain)
{
    FuncValue missing = value(dir + "/none.txt", "KEPT");
    rec->setval(rec, &missing);
    EXPECT_EQ(library_buttons(), 0);
    EXPECT_TRUE(items().empty());
    EXPECT_EQ(vxdl::text(text()), "KEPT");

    FuncValue v = value(dir + "/funcs.txt");
    rec->setval(rec, &v);
    EXPECT_EQ(library_buttons(), 7);
    EXPECT_EQ(vxdl::label(library_button(0)), "TEXT");
    EXPECT_EQ(shown_library(), "TEXT");
    EXPECT_EQ(items(), (Strings{"SUBSTR(s, start, len)", "lower(s)", "LEN(s)", "Apply(x)"}));
    // Showing a library picks its first entry.
    EXPECT_EQ(vxdl::text(text()), "SUBSTR");
    // Read once: another file at a later setval changes nothing.
    vxtest::write_file(dir + "/other.txt", "OTHER\n  X()\n");
    FuncValue other = value(dir + "/other.txt", "ROUND");
    rec->setval(rec, &other);
    EXPECT_EQ(library_buttons(), 7);
    EXPECT_EQ(vxdl::text(text()), "ROUND");
}

TEST_F(Picker, LibrarySwitchSortToggleAndPicks)
{
    open();
    EXPECT_EQ(vxdl::shell_title(rec->widget).rfind(dl_text(6, 1), 0), 0u);
    // The option menu's button for NUMBERS.
    vxdl::press(library_button(1));
    vxdl::pump_idle();
    EXPECT_EQ(dlfunc_current_library(), 1);
    EXPECT_EQ(items(), (Strings{"ABS(x)", "ROUND(x)"}));
    EXPECT_EQ(vxdl::text(text()), "ABS");
    // TEXT has four functions: NUMBERS is 1254 + 5, its first entry 1260.
    EXPECT_EQ(dlfunc_list_help_id(), 1260);
    EXPECT_EQ(help_ids[list()], 1260);
    // A library without functions shows an empty list and keeps the text.
    vxdl::press(library_button(2));
    EXPECT_TRUE(items().empty());
    EXPECT_EQ(vxdl::text(text()), "ABS");

    vxdl::press(library_button(0));
    vxdl::click(sort());
    ASSERT_TRUE(vxdl::pump_until([&] { return XmToggleButtonGetState(sort()); }));
    EXPECT_EQ(items(), (Strings{"Apply(x)", "LEN(s)", "SUBSTR(s, start, len)", "lower(s)"}));
    // A pick: the name before "(", the help id of its place in the file.
    vxdl::click_item(list(), 2);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(text()) == "LEN"; }));
    EXPECT_EQ(dlfunc_list_help_id(), 1254 + 1 + 2);
    vxdl::click_item(list(), 3);
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(text()) == "SUBSTR"; }));
    EXPECT_EQ(dlfunc_list_help_id(), 1255);
    // Switching libraries keeps the sort.
    vxdl::press(library_button(5));
    EXPECT_EQ(items(), (Strings{"MAX(a)", "MEAN(a)"}));
    vxdl::click(sort());
    ASSERT_TRUE(vxdl::pump_until([&] { return !XmToggleButtonGetState(sort()); }));
    EXPECT_EQ(items(), (Strings{"MEAN(a)", "MAX(a)"}));
    EXPECT_EQ(client.applies, 0);
}

TEST_F(Picker, ADoubleClickActsAsOK)
{
    open();
    vxdl::press(library_button(1));
    vxdl::pump_idle();
    vxdl::click_item(list(), 2, 2);
    ASSERT_TRUE(vxdl::pump_until([] { return client.dismisses == 1; }));
    EXPECT_EQ(client.applies, 1);
    EXPECT_STREQ(client.value.name, "ROUND");
    EXPECT_FALSE(XtIsManaged(rec->widget));
}

TEST_F(Picker, GetvalTrimsAndCapitalisesAndTheFieldHoldsTwelve)
{
    open();
    vxdl::retype(text(), " sqrt ");
    FuncValue v{};
    rec->getval(rec, &v);
    EXPECT_STREQ(v.name, "SQRT");
    vxdl::retype(text(), "abcdefghijklmnop");
    EXPECT_EQ(vxdl::text(text()), "abcdefghijkl");
    rec->getval(rec, &v);
    EXPECT_STREQ(v.name, "ABCDEFGHIJKL");
    // OK validates the field: it is upper-cased.
    vxdl::click(dl_box_button(rec->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([] { return client.applies == 1; }));
    EXPECT_STREQ(client.value.name, "ABCDEFGHIJKL");
}

TEST_F(Picker, TitleModeFiveShowsTheSixthLibrary)
{
    vxdl::press(library_button(0));
    open(5);
    EXPECT_EQ(dlfunc_current_library(), 5);
    EXPECT_EQ(shown_library(), "ARRAYS");
    EXPECT_EQ(items(), (Strings{"MEAN(a)", "MAX(a)"}));
    EXPECT_EQ(vxdl::text(text()), "MEAN");
}

}  // namespace
