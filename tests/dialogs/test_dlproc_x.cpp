// The procedures dialog on the test X server: the list as the directories
// give it (the bound of 1000, the names left out, the order without
// sorting), the toggles by title mode, the name check, and what getval
// hands back.

#include "dltestkit.h"
#include "vxtest.h"

#include "dlkit.h"
#include "dlproc.h"

#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>
#include <Xm/ToggleBG.h>

#include <filesystem>
#include <fstream>

namespace {

void touch(const std::string &path) { std::ofstream(path) << "table\n"; }

std::vector<std::string> items(Widget list)
{
    int n = 0;
    XmStringTable t = nullptr;
    XtVaGetValues(list, XmNitemCount, &n, XmNitems, &t, nullptr);
    std::vector<std::string> out;
    for (int i = 0; i < n; i++)
        out.push_back(vxdl::xmstring(t[i]));
    return out;
}

class ProcDialog : public testing::Test {
protected:
    DialogRecord *rec = nullptr;
    std::string dir;
    ProcValue v{};

    void SetUp() override
    {
        vxdl::app();
        dlmain_clear_dialogs();
        rec = &dlmain_dialogs[31];
        dlproc_initialise_procedure_dialog(rec);
        ASSERT_EQ(rec->create(rec, vxdl::app().top), 0);
        dir = vxtest::temp_dir("dlproc");
        for (const char *d : {"/own", "/shared", "/path"})
            std::filesystem::create_directories(dir + d);
        dl_copy(v.user_dir, dir + "/own");
        dl_copy(v.shared_dir, dir + "/shared");
        unsetenv("VX_PROC_PATH");
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (dlmain_text_error_pending())
            vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        rec->destroy(rec);
        unsetenv("VX_PROC_PATH");
        std::filesystem::remove_all(dir);
    }
    Widget w(const char *path)
    {
        Widget r = vxdl::at(rec->widget, path);
        EXPECT_NE(r, nullptr) << path;
        return r;
    }
    Widget list() { return XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST); }
    void set_toggle(const char *path, bool on) { XmToggleButtonGadgetSetState(w(path), on, True); }
};

TEST_F(ProcDialog, AtMostAThousandEntries)
{
    for (int i = 0; i < 1200; i++)
        touch(dir + "/own/P" + std::to_string(i));
    rec->setval(rec, &v);
    EXPECT_EQ(items(list()).size(), 1000u);
}

TEST_F(ProcDialog, NamesLeftOut)
{
    for (const char *n : {"a.tsl", "old.FMT", ".hidden", "x.tslx", "FIFTEEN_LETTERS", "FOURTEEN_CHARS"})
        touch(dir + "/own/" + n);
    set_toggle("form1/sortT", true);
    rec->setval(rec, &v);
    EXPECT_EQ(items(list()), (std::vector<std::string>{"FOURTEEN_CHARS", "x.tslx"}));
}

// Unsorted: the search path's directories, then the user's, then (shown)
// the shared one; a shared entry picked sets the shared toggle.
TEST_F(ProcDialog, OrderAndSharedEntries)
{
    touch(dir + "/path/ZPATH");
    touch(dir + "/own/YOWN");
    touch(dir + "/shared/ASHARED");
    setenv("VX_PROC_PATH", (dir + "/path").c_str(), 1);
    set_toggle("form1/sortT", false);
    set_toggle("form1/showT", false);
    rec->setval(rec, &v);
    EXPECT_EQ(items(list()), (std::vector<std::string>{"ZPATH", "YOWN"}));
    set_toggle("form1/showT", true);
    EXPECT_EQ(items(list()), (std::vector<std::string>{"ZPATH", "YOWN", "ASHARED"}));
    set_toggle("form1/sortT", true);
    EXPECT_EQ(items(list()), (std::vector<std::string>{"ASHARED", "YOWN", "ZPATH"}));
    XmListSelectPos(list(), 1, True);
    EXPECT_EQ(vxdl::text(w("form1/frame/form2/procname")), "ASHARED");
    EXPECT_TRUE(XmToggleButtonGadgetGetState(w("form1/frame/form2/shareT")));
    XmListSelectPos(list(), 2, True);
    EXPECT_FALSE(XmToggleButtonGadgetGetState(w("form1/frame/form2/shareT")));
    EXPECT_TRUE(XtIsSensitive(w("form1/frame/form2/editB")));
}

TEST_F(ProcDialog, TogglesByTitleMode)
{
    touch(dir + "/own/P");
    rec->setval(rec, &v);
    set_toggle("form1/ocsvT", true);
    ASSERT_EQ(rec->popup(rec, 50, 50, 1, 5), 0);  // save as
    EXPECT_FALSE(XmToggleButtonGadgetGetState(w("form1/ocsvT")));
    EXPECT_FALSE(XtIsSensitive(w("form1/ocsvT")));
    EXPECT_FALSE(XtIsSensitive(w("form1/csv_fileT")));
    EXPECT_TRUE(XtIsSensitive(w("form1/frame/form2/shareT")));
    rec->popdown(rec);
    ASSERT_EQ(rec->popup(rec, 50, 50, 1, 4), 0);  // load and run
    EXPECT_FALSE(XtIsSensitive(w("form1/frame/form2/shareT")));
    EXPECT_TRUE(XtIsSensitive(w("form1/ocsvT")));
    set_toggle("form1/ocsvT", true);
    EXPECT_TRUE(XtIsSensitive(w("form1/csv_fileT")));
    EXPECT_TRUE(XtIsSensitive(w("form1/file_browseB")));
    vxdl::set_text(w("form1/csv_fileT"), "  /tmp/out.csv ");
    vxdl::set_text(w("form1/frame/form2/procname"), " DEPTS ");
    ProcValue got = v;
    rec->getval(rec, &got);
    EXPECT_STREQ(got.name, "DEPTS");
    EXPECT_EQ(got.csv, 1);
    EXPECT_STREQ(got.csv_file, "/tmp/out.csv");
    EXPECT_EQ(got.shared, 0);
    rec->popdown(rec);
}

TEST_F(ProcDialog, NameWithASlashIsRefused)
{
    rec->setval(rec, &v);
    ASSERT_EQ(rec->popup(rec, 50, 50, 1, 5), 0);
    ASSERT_TRUE(vxdl::wait_viewable(rec->widget));
    vxdl::set_text(w("form1/frame/form2/procname"), "A/B");
    EXPECT_EQ(dlmain_validate_dialog(rec->widget), 0);
    ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() != 0; }));
    std::string text = vxdl::message(dlmain_text_error_box());
    EXPECT_NE(text.find("A/B"), std::string::npos) << text;
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
    vxdl::set_text(w("form1/frame/form2/procname"), "AB");
    EXPECT_EQ(dlmain_validate_dialog(rec->widget), 1);
    rec->popdown(rec);
}

}  // namespace
