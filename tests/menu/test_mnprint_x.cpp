// The Print menu's commands with the real message boxes, in process on the
// test X server, on the windows start-up builds: the command prompts, the
// confirmations of save as and delete under relaxed confirmation, a bad
// settings file's error box, and the table printed and mailed through the
// table view with the installed interpreter's results, a command run
// between two queries.

#include "dltestkit.h"  // first: gtest before the X headers
#include "qykit.h"

#include "dlmess.h"
#include "dsmgr.h"
#include "dyprt.h"
#include "dytab.h"
#include "menumsgs.h"
#include "mnbld.h"
#include "mndy.h"
#include "mnmisc.h"
#include "mnprint.h"
#include "startup.h"
#include "vxmain.h"

#include <Xm/SelectioB.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path &p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path root;

// The interactive program's windows, once, with a private installation
// directory (its hardcopy sets), home and filters file.
class PrintMenu : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char templ[] = "/tmp/vxprxXXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root = templ;
        fs::create_directories(root / "home");
        fs::create_directories(root / "install" / "etc" / "hardcopy");
        // The query window's work area needs the tools' bitmaps.
        fs::create_directory_symlink(fs::path(getenv("VX_BUILD_DIR") ? getenv("VX_BUILD_DIR") : ".") / "bitmaps",
                                     root / "install" / "bitmaps");
        setenv("HOME", (root / "home").c_str(), 1);
        unsetenv("VX_HARDCOPY_PATH");
        setenv("VX_FILTERS_FILE", (root / "filters").c_str(), 1);
        std::ofstream(root / "filters") << "EMAIL :: cat \"$INFILE\" > " << (root / "mailed").string() << "\n";

        vxdl::App &a = vxdl::app();
        static std::string install = (root / "install").string();
        adata = a.adata;
        adata.runMode = RUN_INTERACTIVE;
        adata.menuFont = a.adata.labelFont;
        adata.textFont = a.adata.dataFont;
        adata.install_dir = install.data();
        adata.initialValidateQuery = True;
        adata.plainPrintCommand = const_cast<char *>("lp -o plain");
        adata.psPrintCommand = const_cast<char *>("lp -o ps");
        adata.graphPrintCommand = const_cast<char *>("lp -o graph");
        adata.graphPlotCommand = const_cast<char *>("plot -o hpgl");
        adata.graphPclCommand = const_cast<char *>("lp -o pcl");
        adata.printerPageLength = 60;
        adata.printerPageWidth = 78;
        adata.displayBufferSize = 100;
        adata.user_name = const_cast<char *>("TESTER");
        adata.server_name = const_cast<char *>("");
        adata.buffer_size = adata.queryBufferSize = 200000;
        toplevel = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display, XmNwidth,
                                      300, XmNheight, 200, nullptr);
        startup_build_user_interface(False);
        ASSERT_TRUE(vxdl::wait_viewable(dymain_dy_canvas()));
    }
    static void TearDownTestSuite() { fs::remove_all(root); }
    void SetUp() override
    {
        mnprint_reset_printer_setup();
        relaxed_confirm = 0;
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        relaxed_confirm = 0;
    }
};

Widget item(const char *handle)
{
    for (int i = 0; i < mndy_handle_count; i++)
        if (std::string(handle) == mndy_handles[i].name)
            return *mndy_handles[i].widget;
    return nullptr;
}

std::string command(int number) { return mnprint_print_command(number); }

// Answers the next message box of dialog `id` (0 error, 2 confirm, 3
// prompt) shown on any shell, while the box's own loop runs.
struct Answer {
    int id;
    std::function<void(Widget)> action;
    bool ran = false;
    XtIntervalId timer = 0;
    Answer(int box, std::function<void(Widget)> act) : id(box), action(std::move(act))
    {
        timer = XtAppAddTimeOut(vxdl::app().context, 5, tick, this);
    }
    ~Answer()
    {
        if (timer)
            XtRemoveTimeOut(timer);
    }
    static void tick(XtPointer client, XtIntervalId *)
    {
        auto *a = static_cast<Answer *>(client);
        a->timer = 0;
        Widget box = dlmain_dialogs[a->id].widget;
        if (box && XtIsManaged(box)) {
            a->ran = true;
            a->action(box);
            return;
        }
        a->timer = XtAppAddTimeOut(vxdl::app().context, 5, tick, a);
    }
};

// Commands with nothing to act on say why, in a box, instead of doing
// nothing without a word (first in the suite: nothing is loaded, saved or
// marked yet).
TEST_F(PrintMenu, CommandsWithNothingNamedSayWhy)
{
    struct {
        const char *what;
        std::function<void()> command;
        const char *says;
    } cases[] = {
        {"Load default", [] { mnprint_mn_load_default_hc(nullptr); }, "No print settings are marked as the default"},
        {"Save", [] { mnprint_mn_save_hc(nullptr); }, "These print settings have no name yet"},
        {"Mark default", [] { mnprint_mn_mark_default_hc(nullptr); }, "No print settings were loaded or saved yet"},
        {"Load with no name",
         [] {
             int done = -1;
             mnprint_load_proc(&dlmain_dialogs[49], &done);
         },
         "Type a name first."},
        {"Save as with no name",
         [] {
             int done = -1;
             mnprint_save_as_proc(&dlmain_dialogs[49], &done);
         },
         "Type a name first."},
        {"Delete with no name",
         [] {
             int done = -1;
             mnprint_delete_proc(&dlmain_dialogs[49], &done);
         },
         "Type a name first."},
    };
    mnprint_hc_value()->name[0] = '\0';
    for (const auto &c : cases) {
        std::string shown;
        Answer box(0, [&](Widget w) {
            shown = vxdl::message(w);
            vxdl::press_box(w, XmDIALOG_OK_BUTTON);
        });
        c.command();
        EXPECT_TRUE(box.ran) << c.what;
        EXPECT_EQ(shown.rfind(c.says, 0), 0u) << c.what << ": " << shown;
    }
}

TEST_F(PrintMenu, CommandPromptsShowTheCurrentCommandAndAReplyReplacesIt)
{
    const int commands[] = {HC_PLAINPRINT, HC_PSPRINT, HC_PSPLOT, HC_HPGLPLOT, HC_PCLPLOT};
    struct Case {
        bool table;
        int format;          // tableformat or graphformat
        int number;          // the command prompted for
        const char *stored;  // "" means its resource
        const char *shown;
    } cases[] = {
        {true, 0, HC_PLAINPRINT, "", "lp -o plain"},
        {true, 1, HC_PSPRINT, "", "lp -o ps"},
        {true, 1, HC_PSPRINT, "lpr -P office", "lpr -P office"},
        {false, 1, HC_PSPLOT, "", "lp -o graph"},
        {false, 2, HC_PSPLOT, "lpr -P colour", "lpr -P colour"},
        {false, 3, HC_HPGLPLOT, "", "plot -o hpgl"},
        {false, 4, HC_PCLPLOT, "", "lp -o pcl"},
        {false, 7, HC_PSPLOT, "", "lp -o graph"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.number) + " " + c.stored);
        mnprint_reset_printer_setup();
        for (int n : commands)
            mnprint_mn_set_hardcopy_property(n, n == c.number ? c.stored : "");
        int32_t format = c.format;
        mnprint_mn_set_hardcopy_property(c.table ? 0 : 3, &format);

        std::string shown, title;
        Answer reply(3, [&](Widget box) {
            Widget text = XmSelectionBoxGetChild(box, XmDIALOG_TEXT);
            shown = vxdl::text(text);
            XmString label = nullptr;
            XtVaGetValues(box, XmNselectionLabelString, &label, nullptr);
            title = label ? vxdl::xmstring(label) : "";
            XmStringFree(label);
            vxdl::set_text(text, "cat > /dev/null");
            vxdl::press_box(box, XmDIALOG_OK_BUTTON);
        });
        if (c.table)
            mnprint_mn_edit_tabcom(item("print_edit_tabcom_b"));
        else
            mnprint_mn_edit_grpcom(item("print_edit_grpcom_b"));
        ASSERT_TRUE(reply.ran);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(title, c.table ? "Command for printing tables:" : "Command for printing graphs:");
        for (int n : commands)
            EXPECT_EQ(command(n), n == c.number ? "cat > /dev/null" : "") << n;

        // Cancel keeps the command.
        Answer cancel(3, [](Widget box) { vxdl::press_box(box, XmDIALOG_CANCEL_BUTTON); });
        if (c.table)
            mnprint_mn_edit_tabcom(item("print_edit_tabcom_b"));
        else
            mnprint_mn_edit_grpcom(item("print_edit_grpcom_b"));
        ASSERT_TRUE(cancel.ran);
        EXPECT_EQ(command(c.number), "cat > /dev/null");
    }
}

// Save as over an existing set and delete ask even when confirmations
// are relaxed; No leaves the file as it was.
TEST_F(PrintMenu, SaveAsAndDeleteAskEvenUnderRelaxedConfirmation)
{
    const fs::path set = root / "install" / "etc" / "hardcopy" / "OFFICE";
    relaxed_confirm = 1;
    for (bool save : {true, false}) {
        for (unsigned char answer : {XmDIALOG_CANCEL_BUTTON, XmDIALOG_OK_BUTTON}) {
            SCOPED_TRACE(std::string(save ? "save as" : "delete") + (answer == XmDIALOG_OK_BUTTON ? " yes" : " no"));
            mnprint_reset_printer_setup();
            int32_t one = 1, zero = 0;
            mnprint_mn_set_hardcopy_property(0, &one);
            ASSERT_EQ(mnprint_mn_save_hardcopy_file(set.c_str()), 0);
            const std::string before = slurp(set);
            mnprint_mn_set_hardcopy_property(0, &zero);

            strcpy(mnprint_hc_value()->name, "OFFICE");
            std::string asked;
            Answer box(2, [&](Widget w) {
                asked = vxdl::message(w);
                vxdl::press_box(w, answer);
            });
            int done = -1;
            if (save)
                mnprint_save_as_proc(&dlmain_dialogs[49], &done);
            else
                mnprint_delete_proc(&dlmain_dialogs[49], &done);
            ASSERT_TRUE(box.ran);
            // (The box's text, its line break left out.)
            EXPECT_EQ(asked, save ? "Print settings OFFICE exist already.Replace them?"
                                  : "Delete the print settings OFFICE?");
            EXPECT_EQ(dlmain_dialogs[49].client_apply, save ? mnprint_save_as_proc : mnprint_delete_proc);
            if (answer == XmDIALOG_CANCEL_BUTTON) {
                EXPECT_EQ(done, 0);
                EXPECT_EQ(slurp(set), before);
            } else {
                EXPECT_EQ(done, 1);
                if (save) {
                    EXPECT_NE(slurp(set), before);
                    EXPECT_NE(slurp(set).find("tableformat\t0\n"), std::string::npos) << slurp(set);
                } else {
                    EXPECT_FALSE(fs::exists(set));
                }
            }
        }
    }
    // A new name is saved without a question.
    strcpy(mnprint_hc_value()->name, "HOME");
    int done = -1;
    mnprint_save_as_proc(&dlmain_dialogs[49], &done);
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(fs::exists(root / "install" / "etc" / "hardcopy" / "HOME"));
}

// A set that cannot be read, or holds an unknown setting, shows its box
// and the load procedure is registered again for another try.
TEST_F(PrintMenu, ABadSettingsFileShowsItsErrorAndTheLoadRegistersAgain)
{
    const fs::path dir = root / "install" / "etc" / "hardcopy";
    std::ofstream(dir / "ODD") << "tableformat 1\ncolour 3\ntableoutput 1\n";
    // A set any user could have changed is not read at all.
    std::ofstream(dir / "OPEN") << "tableformat 0\n";
    fs::permissions(dir / "OPEN", fs::perms::others_write, fs::perm_options::add);
    struct {
        const char *name;
        std::string message;
    } cases[] = {
        {"NOSUCH", "Cannot open, read, write or remove the file" + (dir / "NOSUCH").string()},
        {"OPEN", (dir / "OPEN").string() +
                     "belongs to another user or can be changed by other users: it is not used."},
        {"ODD", "Unknown print setting \"colour\": the rest of the file was not read"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        mnmisc_mn_register(49, mnprint_hc_value(), nullptr);
        strcpy(mnprint_hc_value()->name, c.name);
        std::string shown;
        Answer box(0, [&](Widget w) {
            shown = vxdl::message(w);
            vxdl::press_box(w, XmDIALOG_OK_BUTTON);
        });
        int done = -1;
        mnprint_load_proc(&dlmain_dialogs[49], &done);
        ASSERT_TRUE(box.ran);
        EXPECT_EQ(shown, c.message);
        EXPECT_EQ(done, 0);
        EXPECT_EQ(dlmain_dialogs[49].client_apply, mnprint_load_proc);
    }
    // What was read before the unknown setting stays; the rest was not read.
    EXPECT_EQ(mnprint_mn_printer_setup()->tableformat, 1);
    EXPECT_EQ(mnprint_mn_printer_setup()->tableoutput, 0);
}

// The e-mail command of the filters file failing, not to be found, or in
// a filters file others can change: each is told in a box (with the exit
// status, or naming the file) and the mailed copy never stays behind.
TEST_F(PrintMenu, MailThatFailsIsToldAndLeavesNoCopy)
{
    const fs::path filters = root / "filters";
    const std::string kept = slurp(filters);
    const fs::path marker = root / "planted-ran";
    struct {
        const char *name;
        std::string line;
        bool open_to_all;
        std::string message;
    } cases[] = {
        {"no such command", "EMAIL :: nosuchmailcommand \"$INFILE\"", false,
         "The commandnosuchmailcommand \"$INFILE\"failed: its exit status is 127."},
        {"failing command", "EMAIL :: exit 3", false, "The commandexit 3failed: its exit status is 3."},
        {"filters file open to all", "EMAIL :: touch " + marker.string(), true,
         filters.string() + "belongs to another user or can be changed by other users: it is not used."},
    };
    // (The kit reads a box's text back without its line breaks.)
    mndy_mn_set_output_mode(0);
    const std::string prefix = "tablefile_" + std::to_string(getpid()) + "_";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(filters) << c.line << "\n";
        if (c.open_to_all)
            fs::permissions(filters, fs::perms::others_write, fs::perm_options::add);
        std::string shown;
        Answer box(0, [&](Widget w) {
            shown = vxdl::message(w);
            vxdl::press_box(w, XmDIALOG_OK_BUTTON);
        });
        mn_send_via_email(nullptr);
        EXPECT_TRUE(box.ran);
        EXPECT_EQ(shown, c.message);
        for (const auto &e : fs::directory_iterator("/tmp"))
            EXPECT_NE(e.path().filename().string().rfind(prefix, 0), 0u) << e.path();
        EXPECT_FALSE(fs::exists(marker));
        fs::remove(filters);
    }
    std::ofstream(filters) << kept;
}

// ---- with the installed interpreter ------------------------------------------------------

// The lines printing a dataset should give: printer pages, a newline
// after each line.
std::string printed(int ds)
{
    static std::string out;
    out.clear();
    dyprt_dy_set_output(
        [](const char *t, int n) {
            out += t ? std::string(t, static_cast<size_t>(n)) + "\n" : "\f";
            return 1;
        },
        60, 78, 0, -1, 0);
    dyprt_dy_print_dataset(ds);
    dyprt_dy_set_output(dytab_dy_output_line, -1, dytab_store()->columns(), 3, 30, 0);
    return out;
}

TEST_F(PrintMenu, TablesPrintAndMailWithTheMenusSettingsBetweenTwoQueries)
{
    qytest::use_installed_tree();
    qymgr_qy_use_x(vxdl::app().context, toplevel);
    qymgr_qy_init(&adata, 0, 0, 0, nullptr, 0, 0);
    ASSERT_GE(qymgr_qy_connection(), 0);
    mngraph_mn_new_view(0, 1);
    std::string errors;
    Answer error_box(0, [&](Widget w) {
        errors = vxdl::message(w);
        vxdl::press_box(w, XmDIALOG_OK_BUTTON);
    });

    qymgr_qy_query("TEST ROWS 5 long", QY_WAIT, QY_FULL, QY_REPORT);
    ASSERT_EQ(qymgr_qy_returned_data(), 1);
    int first = dsmgr_ds_current();
    ASSERT_TRUE(vxdl::pump_until([&] { return dsmgr_ds_printed(first) != 0; }));
    const std::string expected = printed(first);
    ASSERT_NE(expected.find("C1"), std::string::npos) << expected;
    ASSERT_NE(expected.find("300"), std::string::npos) << expected;

    // Print to a file, as the settings say.
    PrinterValue *v = mnprint_mn_printer_setup();
    const fs::path file = root / "table.txt";
    int32_t to_file = 1;
    mnprint_mn_set_hardcopy_property(1, &to_file);
    mnprint_mn_set_hardcopy_property(2, file.c_str());
    mndy_mn_set_output_mode(0);
    mnprint_mn_print(nullptr);
    EXPECT_EQ(slurp(file), expected);

    // Mailed: the filters file's command runs with the printed file, and
    // the settings are as they were.
    fs::remove(root / "mailed");
    mn_send_via_email(nullptr);
    EXPECT_EQ(slurp(root / "mailed"), expected);
    fs::remove("/tmp/tablefile_" + std::to_string(getpid()) + "_0.txt");
    EXPECT_EQ(v->tableoutput, 1);
    EXPECT_EQ(std::string(v->tablefile), file.string());

    // Output 2: to the file, then the mail command (as the printer dialog
    // fills it) with INFILE.
    int32_t then_mail = 2;
    mnprint_mn_set_hardcopy_property(1, &then_mail);
    const std::string mail = "echo \"$INFILE\" > " + (root / "mail.log").string();
    snprintf(v->mail, sizeof v->mail, "%s", mail.c_str());
    mnprint_mn_print(nullptr);
    EXPECT_EQ(slurp(root / "mail.log"), file.string() + "\n");

    // The commands ran between two queries: the interpreter is not taken
    // for dead, the next query runs and its rows reach the table.
    qymgr_qy_query("TEST ROWS 3 long", QY_WAIT, QY_FULL, QY_REPORT);
    EXPECT_EQ(qymgr_qy_ok(), 1);
    ASSERT_EQ(qymgr_qy_returned_data(), 1);
    int second = dsmgr_ds_current();
    EXPECT_EQ(dsmgr_ds_rows(second), 3);
    EXPECT_TRUE(vxdl::pump_until([&] { return dsmgr_ds_printed(second) != 0; }));
    EXPECT_FALSE(error_box.ran) << errors;
    EXPECT_GE(qymgr_qy_connection(), 0);
    qymgr_qy_term();
    mngraph_mn_new_view(0, 1);
}

}  // namespace
