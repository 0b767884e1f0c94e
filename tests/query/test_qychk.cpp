// Query checks against the installed interpreter: the exact statements and
// modes each check and question sends, the verdicts the interpreter gives,
// the database and dictionary configuration, and the user commands (shell,
// TSL through a stand-in, DOZ text) with their reread answer.

#include "qykit.h"

#include "qychk.h"
#include "qysched.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A client directory of the installed tree whose bin/tsl is the stand-in.
const std::string &client_dir()
{
    static std::string dir;
    if (dir.empty()) {
        dir = vxtest::temp_dir("qychk-client");
        namespace fs = std::filesystem;
        for (const fs::directory_entry &e : fs::directory_iterator(vxtest::install_dir()))
            if (e.path().filename() != "bin")
                fs::create_directory_symlink(e.path(), dir + "/" + e.path().filename().string());
        fs::create_directories(dir + "/bin");
        fs::create_symlink(TSLSTUB, dir + "/bin/tsl");
    }
    return dir;
}

int modes_of(int exec, int buffer) { return static_cast<int>(qymgr_mode_word(exec, buffer, 0)); }

class Checks : public qykit::Manager {
protected:
    std::string scratch, where;

    void SetUp() override
    {
        qykit::Manager::SetUp();
        setenv("DOZ_CLIENT_DIR", client_dir().c_str(), 1);
        ad.user_name = const_cast<char *>("BRASK");
        start_own();
    }
    void TearDown() override
    {
        if (!scratch.empty()) {
            qymgr_qy_query("CLOSE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
            qymgr_qy_query(("DROP DATABASE " + scratch).c_str(), QY_NOWAIT, QY_ASIS, QY_IGNORE);
            std::filesystem::remove_all(where);
        }
        qychk_set_menu_hook(nullptr);
        qykit::Manager::TearDown();
    }
    void ok(const std::string &text)
    {
        qymgr_qy_query(text.c_str(), QY_NOWAIT, QY_ASIS, QY_REPORT);
        ASSERT_TRUE(qymgr_qy_ok()) << text;
    }
    void make_scratch()
    {
        char n[16];
        snprintf(n, sizeof n, "C%05X", static_cast<unsigned>(getpid()) & 0xfffffu);
        scratch = n;
        where = vxtest::temp_dir("qychk");
        ok("CREATE DATABASE " + scratch + " ON '" + where + "'");
        ok("OPEN " + scratch + " EXCLUSIVE");
    }
    // A small STAFF, as the checks need its columns.
    void make_staff()
    {
        make_scratch();
        ok("CREATE ITEM EMPNO AS LONG(6)");
        ok("CREATE ITEM DEPTNO AS SHORT(4)");
        ok("CREATE ITEM SALARY AS REAL(10,2)");
        ok("CREATE STAFF[50] AS EMPNO PRIMARY,DEPTNO ,SALARY NULL");
        ok("SELECT 1 AS EMPNO,10 AS DEPTNO,100.0 AS SALARY FROMVAR TO STAFF");
        qykit::sent().clear();
    }
};

TEST_F(Checks, EachCheckAndQuestionSendsItsStatementInItsModes)
{
    struct Case {
        std::function<void()> call;
        std::vector<std::string> texts;
        int exec, buffer;  // of the one text that is not a DEFINE/UNDEFINE
    } cases[] = {
        {[] { qychk_qy_check_expression("SALARY*2"); }, {"PRINT SALARY*2"}, QY_NOEVAL, QY_ASIS},
        {[] { qychk_qy_check_sort("STAFF.AGE DESC, T.X"); },
         {"DISPLAY NULL FROM %USERS SEQUENCE BY AGE DESC, X"}, QY_NOEVAL, QY_ASIS},
        {[] { qychk_qy_check_join("S.DEPTNO=D.DEPTNO"); }, {"DISPLAY NULL FROM %USERS,%PRIVS JOIN DEPTNO=DEPTNO"},
         QY_NOEVAL, QY_ASIS},
        {[] { qychk_qy_check_group("DEPTNO"); }, {"GROUP %USERS BY DEPTNO"}, QY_NOEVAL, QY_ASIS},
        {[] { qychk_qy_check_condition("STAFF.AGE>1.5"); }, {"DISPLAY NULL FROM %USERS WHERE AGE>1.5"}, QY_NOEVAL,
         QY_ASIS},
        {[] { qy_check_restriction("STAFF", "STAFF.DEPTNO=10"); }, {"DISPLAY NULL FROM STAFF WHERE DEPTNO=10"},
         QY_NOEVAL, QY_ASIS},
        {[] { qychk_qy_check_reserved("NAME"); }, {"PRINT NAME()"}, QY_NOEVAL, QY_ASIS},
        {[] { qy_check_reserved_col("NAME"); }, {"PRINT NAME()"}, QY_NOEVAL, QY_ASIS},
        {[] { qychk_qy_check_statistic("MEAN(@)*2"); }, {"DEFINE @ %TEST", "PRINT MEAN(@)*2", "UNDEFINE @"},
         QY_NOEVAL, QY_ASIS},
        {[] { qychk_table_rows("rslt1"); },
         {"DISPLAY SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t\tWHERE %RNAME=RESULT()+'1'"}, QY_NOWAIT,
         QY_SIMPLE},
        {[] { qychk_table_rows("staff"); },
         {"DISPLAY SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t\tWHERE %RNAME='STAFF'"}, QY_NOWAIT, QY_SIMPLE},
        {[] { qychk_result_exists(); }, {"DISPLAY %RNAME FROM %RELATNS WHERE %RNAME=RESULT()"}, QY_NOWAIT,
         QY_SIMPLE},
        {[] { qychk_privs_exist("O'B"); }, {"DISPLAY %RNAME FROM %PRIVS WHERE %RNAME='O''B'"}, QY_NOWAIT, QY_SIMPLE},
        {[] {
             char u[31], d[9];
             qychk_qy_get_user_and_db_names(u, d);
         },
         {"PRINT sysuser(), dbname()"}, QY_NOWAIT, QY_SIMPLE},
        {[] { qychk_qy_configure_database("DB", 100, 200, 1, 40); },
         {"CONFIGURE DATABASE DB SET %MEMSIZE 100 \t\t  SET %DEFPOSTSIZE 200 SET %FILELOCKS FALSE \t\t  SET "
          "%MAXFILES 40"},
         QY_NOWAIT, QY_ASIS},
    };
    for (Case &c : cases) {
        qykit::sent().clear();
        c.call();
        std::vector<std::string> texts;
        for (const qykit::Sent &s : qykit::sent()) {
            texts.push_back(s.text);
            if (s.text.rfind("DEFINE", 0) != 0 && s.text.rfind("UNDEFINE", 0) != 0) {
                EXPECT_EQ(static_cast<int>(s.modes), modes_of(c.exec, c.buffer)) << s.text;
            }
        }
        EXPECT_EQ(texts, c.texts);
    }
    // The question's text was not changed by the upper-casing.
    std::string name = "rslt1";
    qychk_table_rows(name.c_str());
    EXPECT_EQ(name, "rslt1");
}

TEST_F(Checks, TheInterpreterGivesTheVerdicts)
{
    make_staff();
    struct Case {
        const char *what;
        std::function<int()> call;
        int expected;
    } cases[] = {
        {"expression naming a column", [] { return qychk_qy_check_expression("SALARY*2"); }, 1},
        {"expression with a type error", [] { return qychk_qy_check_expression("'A'+1"); }, 0},
        {"expression with a syntax error", [] { return qychk_qy_check_expression("1+"); }, 0},
        {"sort on columns", [] { return qychk_qy_check_sort("STAFF.DEPTNO DESC, SALARY"); }, 1},
        {"sort with a bad word", [] { return qychk_qy_check_sort("DEPTNO SIDEWAYS"); }, 0},
        {"join of columns", [] { return qychk_qy_check_join("STAFF.DEPTNO=DEPT.DEPTNO"); }, 1},
        {"group by a column", [] { return qychk_qy_check_group("DEPTNO"); }, 1},
        {"condition", [] { return qychk_qy_check_condition("SALARY>10 AND DEPTNO=10"); }, 1},
        {"statistic over the stand-in array", [] { return qychk_qy_check_statistic("MEAN(@)*2"); }, 1},
        {"statistic with a type error", [] { return qychk_qy_check_statistic("MEAN(@)+'A'"); }, 0},
        {"restriction on STAFF", [] { return qy_check_restriction("STAFF", "DEPTNO=10"); }, 1},
        {"restriction on an unknown column", [] { return qy_check_restriction("STAFF", "NOPE=10"); }, 0},
        {"FROM as a table", [] { return qychk_qy_check_reserved("FROM"); }, 0},
        {"FROM as a column is reserved", [] { return qy_check_reserved_col("FROM"); }, 1},
        {"SYSDATE as a table", [] { return qychk_qy_check_reserved("SYSDATE"); }, 1},
        {"SYSDATE as a column is reserved", [] { return qy_check_reserved_col("SYSDATE"); }, 1},
        {"NAME as a table", [] { return qychk_qy_check_reserved("NAME"); }, 1},
        {"NAME as a column", [] { return qy_check_reserved_col("NAME"); }, 0},
        {"rows of STAFF", [] { return qychk_table_rows("staff"); }, 1},
        {"rows of an unknown table", [] { return qychk_table_rows("NOSUCH"); }, -1},
        {"STAFF holds data", [] { return qychk_table_has_data("STAFF"); }, 1},
        {"privileges of STAFF", [] { return qychk_privs_exist("STAFF"); }, 1},
        {"privileges of nothing", [] { return qychk_privs_exist("NOSUCH"); }, 0},
        {"no result table yet", [] { return qychk_result_exists(); }, 0},
    };
    for (Case &c : cases)
        EXPECT_EQ(c.call(), c.expected) << c.what;
    // The checks that report did so; the others stayed silent.
    EXPECT_EQ(qykit::boxes().size(), 1u) << "the unknown column of the restriction";

    ok("SELECT SALARY FROM STAFF");
    EXPECT_TRUE(qychk_result_exists());
    EXPECT_EQ(qychk_table_rows("RSLT"), 1);
    char user[31], db[9];
    qychk_qy_get_user_and_db_names(user, db);
    EXPECT_STREQ(user, "BRASK");
    EXPECT_EQ(db, scratch);

    // A question that fails never reads what the last query left.
    ok("PRINT 77");
    EXPECT_EQ(qychk_table_rows("GONE"), -1);
}

TEST_F(Checks, ConfigurationIsReadWrittenAndReadBack)
{
    make_scratch();
    int mem = -1, post = -1, locks_off = -1, limits[8], idx[6];
    std::fill(limits, limits + 8, -1);
    std::fill(idx, idx + 6, -1);
    EXPECT_EQ(qychk_qy_get_config(scratch.c_str(), &mem, &post, &locks_off, limits, idx), 1);
    EXPECT_GT(mem, 0);
    EXPECT_NE(locks_off, -1);
    for (int l : limits)
        EXPECT_GT(l, 0);
    for (int i : idx)
        EXPECT_TRUE(i == 0 || i == 1);

    const int sizes[7] = {300, 400, 500, 60, 70, 80, 900};
    const int wishes[6] = {1, 0, 1, 0, 1, 0};
    qychk_qy_configure_dictionary(sizes, wishes);
    int idx2[6];
    int limits2[8];
    qychk_qy_get_config(scratch.c_str(), &mem, &post, &locks_off, limits2, idx2);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(idx2[i], wishes[i]) << i;
    EXPECT_EQ(limits2[1], 300) << "relations";
    EXPECT_EQ(limits2[2], 400) << "items";
    EXPECT_EQ(limits2[3], 500) << "columns";
    EXPECT_EQ(limits2[7], 900) << "privileges";

    ok("CLOSE");
    qychk_qy_configure_database(scratch.c_str(), 2048, 16, 1, 64);
    EXPECT_TRUE(qymgr_qy_ok());
    ok("OPEN " + scratch + " EXCLUSIVE");
    qychk_qy_get_config(scratch.c_str(), &mem, &post, &locks_off, limits2, idx2);
    EXPECT_EQ(mem, 2048);
    EXPECT_EQ(post, 16);
    EXPECT_EQ(locks_off, 1);
    EXPECT_EQ(qykit::boxes().size(), 0u);

    // With no database open the read fails, and says so.
    ok("CLOSE");
    EXPECT_EQ(qychk_qy_get_config(scratch.c_str(), &mem, &post, &locks_off, limits2, idx2), 0);
    qykit::boxes().clear();
}

// ---- commands ------------------------------------------------------------------------

bool zombie_children()
{
    DIR *d = opendir("/proc");
    bool found = false;
    while (dirent *e = d ? readdir(d) : nullptr) {
        std::string stat = slurp(std::string("/proc/") + e->d_name + "/stat");
        size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int ppid = 0;
        if (sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid() && state == 'Z')
            found = true;
    }
    if (d)
        closedir(d);
    return found;
}

std::vector<int> &modes_seen()
{
    static std::vector<int> v;
    return v;
}
int mode_now = 0;
int get_mode() { return mode_now; }
void set_mode(int m)
{
    mode_now = m;
    modes_seen().push_back(m);
}
QyStopProc no_stop(QyStopProc) { return nullptr; }
std::vector<int> &menus_seen()
{
    static std::vector<int> v;
    return v;
}
void menu(int on) { menus_seen().push_back(on); }

TEST_F(Checks, DozCommandsAnswerWhetherToRereadAndEmptyOnesNothing)
{
    EXPECT_EQ(qychk_qy_run_command("   ", "T", "C"), 0);
    EXPECT_TRUE(qykit::sent().empty());
    EXPECT_EQ(qychk_qy_run_command(" CREATE VAR %VXREREAD TRUE ", nullptr, nullptr), 1);
    EXPECT_EQ(qychk_qy_run_command("PRINT 1", nullptr, nullptr), 0);
    std::vector<std::string> texts;
    for (const qykit::Sent &s : qykit::sent())
        texts.push_back(s.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"CREATE VAR %VXREREAD FALSE", "CREATE VAR %VXREREAD TRUE",
                                               "PRINT %VXREREAD", "CREATE VAR %VXREREAD FALSE", "PRINT 1",
                                               "PRINT %VXREREAD"}));
    EXPECT_EQ(qykit::sent()[1].modes, static_cast<uint32_t>(modes_of(QY_BGROUND, QY_FULL)));
    // A text too long for a statement is never sent.
    EXPECT_EQ(qychk_qy_run_command(("PRINT " + std::string(6000, '1')).c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(qykit::sent().size(), texts.size());
}

TEST_F(Checks, ShellCommandsGetTheNamesAndTheTrapIsArmedAgain)
{
    const std::string dir = vxtest::temp_dir("qychk-shell");
    const std::string file = dir + "/out";
    EXPECT_EQ(qychk_qy_run_command(("!echo %t %c %x 100%> " + file).c_str(), "STAFF", nullptr), 0);
    EXPECT_EQ(slurp(file), "STAFF %c %x 100%\n");

    // A killed interpreter is still noticed afterwards.
    pid_t server = 0;
    int msqid, shmid;
    query_get_server_details(&server, &msqid, &shmid);
    ASSERT_GT(server, 0);
    kill(server, SIGKILL);
    EXPECT_TRUE(vxtest::wait_for(
        [] {
            qymgr_qy_query("PRINT 1", QY_NOWAIT, QY_SIMPLE, QY_IGNORE);
            return !qymgr_qy_ok();
        },
        std::chrono::seconds(20)));
    std::filesystem::remove_all(dir);
}

TEST_F(Checks, TslScriptsRunOnTheOwnInterpreterAndAreWaitedFor)
{
    const std::string dir = vxtest::temp_dir("qychk-tsl");
    setenv("TSLSTUB_OUT", (dir + "/args").c_str(), 1);
    QyWorkspaceHooks hooks{get_mode, set_mode, no_stop};
    qymgr_qy_set_workspace_hooks(&hooks);
    qychk_set_menu_hook(menu);
    modes_seen().clear();
    menus_seen().clear();
    qychk_qy_set_tsl_dateformats("%d/%m/%y", "%d.%m.%Y");

    EXPECT_EQ(qychk_qy_run_command("&report.tsl  %t now", "STAFF", nullptr), 1);
    EXPECT_EQ(modes_seen(), (std::vector<int>{3, 0}));
    EXPECT_EQ(menus_seen(), (std::vector<int>{0, 1}));
    EXPECT_FALSE(zombie_children());
    pid_t server = 0;
    int msqid = 0, shmid = 0;
    query_get_server_details(&server, &msqid, &shmid);
    EXPECT_EQ(slurp(dir + "/args"), "tsl\n-m\n" + std::to_string(shmid) + "\n-q\n" + std::to_string(msqid) + "\n-p\n" +
                                        std::to_string(server) +
                                        "\n-dateInputFormat\n%d/%m/%y\n-dateOutputFormat\n%d.%m.%Y\nreport.tsl\n"
                                        "STAFF\nnow\n");
    // The manager has its connection back.
    qymgr_qy_query("PRINT 5", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    EXPECT_TRUE(qymgr_qy_ok());
    EXPECT_EQ(qychk_qy_run_command("PRINT 2", nullptr, nullptr), 0);
    qymgr_qy_set_workspace_hooks(nullptr);
    unsetenv("TSLSTUB_OUT");
    std::filesystem::remove_all(dir);
}

}  // namespace
