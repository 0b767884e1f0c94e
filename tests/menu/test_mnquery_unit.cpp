// The Query and Procedure panes' sensitivity rules, the procedure
// directories, saving a procedure (never asking, the file's mode, the TSL
// translation's arguments arriving one by one), and the editor command.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "mnproc.h"
#include "mnquery.h"
#include "prmgr.h"
#include "vxtest.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

const MnqSensRule *rule(const MnqSensRule *rules, size_t n, const char *item)
{
    for (size_t i = 0; i < n; i++)
        if (strcmp(rules[i].item, item) == 0)
            return &rules[i];
    return nullptr;
}

// State bits: selected, open, variables, data, nodata, active, named.
MnqSensState state(const char *bits)
{
    return MnqSensState{bits[0] == '1', bits[1] == '1', bits[2] == '1', bits[3] == '1',
                        bits[4] == '1', bits[5] == '1', bits[6] == '1'};
}

TEST(Sensitivity, QueryAndProcedurePanes)
{
    struct Case {
        const char *item;
        const char *on;   // a state in which the item is sensitive
        const char *off;  // one in which it is not
    } cases[] = {
        {"query_new_b", "1000000", "0111111"},    {"query_run_b", "1100000", "1011111"},
        {"query_run_b", "1100000", "0111111"},    {"popup_run_b", "1100000", "0100000"},
        {"query_target_b", "0100000", "1011111"}, {"popup_target_b", "0100000", "1011111"},
        {"popup_collect_b", "0010000", "0101111"}, {"popup_collect_b", "1000000", "0101111"},
        {"query_schema_b", "0101000", "0100111"}, {"query_schema_b", "0101000", "1011111"},
        {"proc_new_b", "0100100", "0100001"},     {"proc_new_b", "0100010", "1011111"},
        {"proc_new_b", "0101000", "0100000"},     {"proc_load_b", "0100000", "1011111"},
        {"proc_delete_b", "0100000", "1011111"},  {"proc_save_b", "0100011", "0100010"},
        {"proc_save_b", "0101001", "0011111"},    {"proc_save_as_b", "0100010", "0100001"},
        {"proc_keep_b", "0100100", "0101011"},    {"proc_keep_b", "0100100", "0000100"},
    };
    for (const Case &c : cases) {
        const MnqSensRule *r = rule(mnq_query_rules, mnq_query_rule_count, c.item);
        if (!r)
            r = rule(mnq_proc_rules, mnq_proc_rule_count, c.item);
        ASSERT_NE(r, nullptr) << c.item;
        EXPECT_TRUE(r->sensitive(state(c.on))) << c.item << " " << c.on;
        EXPECT_FALSE(r->sensitive(state(c.off))) << c.item << " " << c.off;
    }
}

TEST(Procedures, DirectoriesAndTranslationArguments)
{
    EXPECT_EQ(mnproc_own_dir("/opt/vx", "DEMO", "BRASK"), "/opt/vx/etc/procedures/DEMO.BRASK");
    EXPECT_EQ(mnproc_shared_dir("/opt/vx", "DEMO"), "/opt/vx/etc/procedures/DEMO.shared");
    EXPECT_EQ(mnproc_tsl_arguments("/opt/vx", "DEMO", "/p/A B;C"),
              (std::vector<std::string>{"nawk", "-f", "/opt/vx/bin/proc_to_tsl.awk", "db=DEMO", "/p/A B;C"}));
}

TEST(Procedures, EditorCommandQuotesThePathOnly)
{
    struct Case {
        const char *vx_editor, *editor, *path, *command;
    } cases[] = {
        {"emacs -nw", nullptr, "/p/A", "emacs -nw '/p/A' &"},
        {nullptr, "vim -R", "/p/A B;rm x", "xterm -e vim -R '/p/A B;rm x' &"},
        {nullptr, nullptr, "/p/it's", "xterm -e vi '/p/it'\\''s' &"},
        {"", "", "/p/A", "xterm -e vi '/p/A' &"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(dlproc_editor_command(c.vx_editor, c.editor, c.path), c.command);
}

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Save writes the recording without asking, with mode 0666, makes the
// directory, and starts the translation with the path as one argument.
TEST(Procedures, SaveWritesTheRecordingAndStartsTheTranslation)
{
    const std::string dir = vxtest::temp_dir("mnsave");
    const std::string bin = dir + "/bin", own = dir + "/procs dir/DEMO.TESTER", log = dir + "/nawk.log";
    mkdir(bin.c_str(), 0755);
    mkdir((dir + "/procs dir").c_str(), 0755);  // as the installation holds etc/procedures
    {
        std::ofstream s(bin + "/nawk");
        s << "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > '" << log << ".tmp'\nmv '" << log << ".tmp' '"
          << log << "'\n";
    }
    chmod((bin + "/nawk").c_str(), 0755);
    const std::string path_before = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + path_before).c_str(), 1);
    unsetenv("VX_PROC_PATH");

    prmgr_pr_new_procedure();
    prmgr_pr_register_query(std::vector<std::string>{"SET %DISPLAY TRUE"}, PR_NODATA_DIRECT);
    proc_dval = ProcValue{};
    snprintf(proc_dval.user_dir, sizeof proc_dval.user_dir, "%s", own.c_str());
    snprintf(proc_dval.name, sizeof proc_dval.name, "%s", "A B;C");
    proc_dval.transaction = 1;
    const std::string file = own + "/A B;C";
    for (int round = 0; round < 2; round++) {
        unlink(log.c_str());
        mnproc_mn_save(nullptr);
        EXPECT_EQ(slurp(file), "table\nstartgraph\nendgraph\nstartquery\n\tnodata\n\tquery SET %DISPLAY TRUE\nendquery\n");
        struct stat st {};
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0644u);
        EXPECT_STREQ(currentproc, "A B;C");
        ASSERT_TRUE(vxtest::wait_for([&] { return access(log.c_str(), F_OK) == 0; }, 20000ms));
        std::string args = slurp(log);
        EXPECT_NE(args.find("[-f]\n["), std::string::npos) << args;
        EXPECT_NE(args.find("/bin/proc_to_tsl.awk]\n[db=]\n[" + file + "]\n"), std::string::npos) << args;
    }
    setenv("PATH", path_before.c_str(), 1);
    mnproc_mn_new_procedure();
    prmgr_pr_new_procedure();
    std::filesystem::remove_all(dir);
}

}  // namespace
