// Query building: golden statement lists for each mode and target, the
// questions asked and refusals, names made once and reused, the length
// limit; then every list run against the interpreter on a small copy of
// the demo's STAFF and DEPT, with the results checked.

#include "wstest.h"

#include "dlmain.h"
#include "qybuild.h"
#include "qychk.h"
#include "vxutil.h"

#include <functional>
#include <map>
#include <regex>

namespace {

std::vector<int> &asked()
{
    static std::vector<int> v;
    return v;
}
int answer = 1;
int confirm(int message)
{
    asked().push_back(message);
    return answer;
}
const QyUi ui{qykit::ui_process, qykit::ui_error, confirm, nullptr};

// Generated names numbered from 0 in order of appearance, so that the
// lists compare whatever the counter stood at.
std::vector<std::string> normalised(char **list, int n)
{
    std::map<std::string, int> seen;
    std::vector<std::string> out;
    const std::regex name("%NAME[0-9]+");
    for (int i = 0; i < n; i++) {
        std::string s = list[i], r;
        std::sregex_iterator it(s.begin(), s.end(), name), end;
        size_t at = 0;
        for (; it != end; ++it) {
            r += s.substr(at, static_cast<size_t>(it->position()) - at);
            auto f = seen.emplace(it->str(), static_cast<int>(seen.size())).first;
            r += "%N" + std::to_string(f->second);
            at = static_cast<size_t>(it->position() + it->length());
        }
        out.push_back(r + s.substr(at));
    }
    return out;
}

class Builder : public wstest::Dictionary {
protected:
    std::vector<QueryObject *> made;

    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        qymgr_qy_set_ui(&ui);
        asked().clear();
        answer = 1;
        dl_qualify_column_names = 0;
        start("TESTER");
        make_scratch("Q");
        ok("CREATE ITEM EMPNO AS LONG(6)");
        ok("CREATE ITEM ENAME AS STRING(12)");
        ok("CREATE ITEM DEPTNO AS SHORT(4)");
        ok("CREATE ITEM SALARY AS REAL(10,2)");
        ok("CREATE ITEM DNAME AS STRING(12)");
        ok("CREATE STAFF[50] AS EMPNO PRIMARY,ENAME ,DEPTNO ,SALARY NULL");
        ok("CREATE DEPT[10] AS DEPTNO PRIMARY,DNAME");
        const char *rows[][4] = {{"1", "ANN", "10", "100.0"}, {"2", "BOB", "10", "300.0"}, {"3", "CY", "20", "50.0"},
                                 {"4", "DI", "20", "70.0"},   {"5", "ED", "20", "90.0"},   {"6", "FAY", "30", "1000.0"}};
        for (auto &r : rows)
            ok(std::string("SELECT ") + r[0] + " AS EMPNO,'" + r[1] + "' AS ENAME," + r[2] + " AS DEPTNO," + r[3] +
               " AS SALARY FROMVAR TO STAFF");
        for (const char *d : {"10", "20", "30"})
            ok(std::string("SELECT ") + d + " AS DEPTNO,'D" + d + "' AS DNAME FROMVAR TO DEPT");
    }
    void TearDown() override
    {
        clear_selection();
        dl_qualify_column_names = 0;
        wstest::Dictionary::TearDown();
    }
public:
    void clear_selection()
    {
        while (wsdict_dictionary && wsdict_dictionary->selected)
            wsdict_ws_unselect_object(wsdict_dictionary->selected->object);
        while (wsdict_dictionary && wsdict_dictionary->assignments)
            wsdict_ws_unassign_object(wsdict_dictionary->assignments->variable);
        for (QueryObject *o : made) {
            wsdict_ws_unlink_object(o);
            o->next = nullptr;
            obmain_ob_free_object(o);
        }
        made.clear();
        wsdict_nomination = WsNomination{};
    }
    QueryObject *object(int kind, void *data)
    {
        auto *o = static_cast<QueryObject *>(vx_malloc(sizeof(QueryObject), 1));
        memset(o, 0, sizeof *o);
        o->kind = kind;
        o->kind_data = data;
        made.push_back(o);
        return o;
    }
    template <class T>
    T *data(int kind)
    {
        auto *d = static_cast<T *>(vx_malloc(sizeof(T), 1));
        memset(d, 0, sizeof(T));
        d->kind = kind;
        return d;
    }
    void select(QueryObject *o)
    {
        wsdict_ws_link_object(o);
        ASSERT_TRUE(wsdict_ws_check_nominations(o));
        wsdict_ws_select_object(o);
    }
    QueryObject *column(const char *table, const char *name)
    {
        auto *d = data<ObColumnData>(OB_COLUMN);
        safe_strcpy(d->table, table, 21);
        safe_strcpy(d->name, name, 21);
        QueryObject *o = object(OB_COLUMN, d);
        select(o);
        return o;
    }
    // Nominates a table without selecting anything of it.
    void nominate(const char *table)
    {
        auto *d = data<ObTableData>(OB_TABLE);
        safe_strcpy(d->name, table, 8);
        ASSERT_TRUE(wsdict_ws_check_nominations(object(OB_TABLE, d)));
    }
    QueryObject *expression(const char *text, const char *name = "")
    {
        auto *d = data<ObExpressionData>(OB_EXPRESSION);
        safe_strcpy(d->text, text, 255);
        safe_strcpy(d->name, name, 12);
        QueryObject *o = object(OB_EXPRESSION, d);
        select(o);
        return o;
    }
    QueryObject *statistic(const char *text, int function, const char *name = "", const char *tmpl = "")
    {
        auto *d = data<ObStatisticData>(OB_STATISTIC);
        safe_strcpy(d->text, text, 255);
        d->function = function;
        safe_strcpy(d->name, name, 12);
        safe_strcpy(d->statistic, tmpl, 255);
        QueryObject *o = object(OB_STATISTIC, d);
        select(o);
        return o;
    }
    template <class T>
    QueryObject *texted(int kind, const char *text)
    {
        auto *d = data<T>(kind);
        safe_strcpy(d->text, text, 255);
        QueryObject *o = object(kind, d);
        select(o);
        return o;
    }
    QueryObject *group(const char *text, int sequence)
    {
        QueryObject *o = texted<ObGroupData>(OB_GROUP, text);
        static_cast<ObGroupData *>(o->kind_data)->sequence = sequence;
        return o;
    }
    QueryObject *variable(const char *name)
    {
        auto *d = data<ObVariableData>(OB_VARIABLE);
        safe_strcpy(d->name, name, 15);
        QueryObject *o = object(OB_VARIABLE, d);
        wsdict_ws_link_object(o);
        return o;
    }
    std::vector<std::string> build(int kind, int flag = 0, const char *table = "KEEP", int *result = nullptr)
    {
        QyTarget t{};
        t.kind = kind;
        safe_strcpy(t.table, table, 8);
        t.unique = t.overwrite = flag;
        char **list = nullptr;
        int n = -1;
        int r = qybuild_qy_build_query(&list, &n, &t);
        if (result)
            *result = r;
        std::vector<std::string> out = normalised(list, n);
        if (r) {
            // Each list also runs: every statement succeeds (but the one
            // "SELECT NULL" the interpreter refuses).
            for (int i = 0; i < n; i++) {
                qymgr_qy_query(list[i], QY_BGROUND, QY_FULL, QY_REPORT);
                if (std::string(list[i]).rfind("SELECT NULL", 0) != 0) {
                    EXPECT_TRUE(qymgr_qy_ok()) << list[i];
                }
            }
        } else {
            EXPECT_EQ(n, 0);
            EXPECT_EQ(list, nullptr);
        }
        qy_free_query(list, n);
        return out;
    }
    using Rows = std::vector<wstest::Row>;
};

using List = std::vector<std::string>;

// ---- plain mode --------------------------------------------------------------------------------

TEST_F(Builder, PlainQueriesForEachTarget)
{
    struct Case {
        const char *what;
        std::function<void(Builder &)> select;
        int target, flag;
        List expected;
        std::vector<int> questions;
    } cases[] = {
        {"columns and an expression",
         [](Builder &b) {
             b.column("STAFF", "ENAME");
             b.column("STAFF", "SALARY");
             b.expression("SALARY*2", "TWICE");
         },
         1, 0, {"DISPLAY ENAME,SALARY,SALARY*2 AS TWICE FROM STAFF "}, {}},
        {"an unnamed expression gets a made name",
         [](Builder &b) { b.expression("SALARY+1"); b.nominate("STAFF"); }, 4, 0,
         {"DISPLAY SALARY+1 AS %N0 FROM STAFF "}, {}},
        {"only a condition over one table",
         [](Builder &b) {
             b.nominate("STAFF");
             b.texted<ObConditionData>(OB_CONDITION, "SALARY>60");
         },
         1, 0, {"DISPLAY NULL FROM STAFF WHERE SALARY>60 "}, {}},
        {"the newest condition wins, a sort for the display",
         [](Builder &b) {
             b.column("STAFF", "ENAME");
             b.texted<ObConditionData>(OB_CONDITION, "SALARY>1");
             b.texted<ObSortData>(OB_SORT, "ENAME DESC");
             b.texted<ObConditionData>(OB_CONDITION, "DEPTNO=20");
         },
         1, 0, {"DISPLAY ENAME FROM STAFF WHERE DEPTNO=20 SEQUENCE BY ENAME DESC "}, {}},
        {"no table: FROMVAR after question 8",
         [](Builder &b) {
             b.expression("1+1", "X");
             b.texted<ObSortData>(OB_SORT, "%UNAME");
         },
         1, 0, {"DISPLAY 1+1 AS X FROMVAR SEQUENCE BY %UNAME "}, {8}},
        {"two tables with a join, the same name twice",
         [](Builder &b) {
             b.column("STAFF", "DEPTNO");
             b.column("DEPT", "DEPTNO");
             b.column("DEPT", "DNAME");
             b.texted<ObJoinData>(OB_JOIN, "STAFF.DEPTNO=DEPT.DEPTNO");
         },
         1, 0, {"DISPLAY DEPTNO,DEPTNO AS %N0,DNAME FROM STAFF, DEPT JOIN STAFF.DEPTNO=DEPT.DEPTNO "}, {}},
        {"two tables without a join: question 7",
         [](Builder &b) {
             b.column("STAFF", "ENAME");
             b.column("DEPT", "DNAME");
         },
         1, 0, {"DISPLAY ENAME,DNAME FROM STAFF, DEPT "}, {7}},
        {"the result table, unique, sorted after",
         [](Builder &b) {
             b.column("STAFF", "DEPTNO");
             b.texted<ObSortData>(OB_SORT, "DEPTNO");
         },
         2, 1, {"SET %UNIQUE TRUE", "SELECT DEPTNO FROM STAFF ", "SEQUENCE RSLT BY DEPTNO", "SET %UNIQUE FALSE"}, {}},
        {"a named table with overwrite; a sort is not kept (11)",
         [](Builder &b) {
             b.column("STAFF", "EMPNO");
             b.column("STAFF", "ENAME");
             b.texted<ObSortData>(OB_SORT, "ENAME");
         },
         3, 1, {"SET %OVERWRITE TRUE", "SELECT EMPNO,ENAME FROM STAFF TO KEEP", "SET %OVERWRITE FALSE"}, {11}},
        {"a sort with a statistic (12)",
         [](Builder &b) {
             b.nominate("STAFF");
             b.statistic("SALARY", 1, "AV");
             b.texted<ObSortData>(OB_SORT, "SALARY");
         },
         1, 0, {"DISPLAY AVERAGE SALARY AS AV FROM STAFF "}, {12}},
        {"only a condition with target 2 gives SELECT NULL",
         [](Builder &b) {
             b.nominate("STAFF");
             b.texted<ObConditionData>(OB_CONDITION, "DEPTNO=10");
         },
         2, 0, {"SELECT NULL FROM STAFF WHERE DEPTNO=10 "}, {}},
    };
    for (Case &c : cases) {
        asked().clear();
        c.select(*this);
        EXPECT_EQ(build(c.target, c.flag), c.expected) << c.what;
        EXPECT_EQ(asked(), c.questions) << c.what;
        clear_selection();
    }
}

TEST_F(Builder, QualifiedNamesAndAssignments)
{
    dl_qualify_column_names = 1;
    column("STAFF", "ENAME");
    QueryObject *e = expression("SALARY*2", "TWICE");
    QueryObject *v = variable("V");
    wsdict_ws_assign_object(v, e);
    ok("CREATE VAR V");
    EXPECT_EQ(build(1), List{"DISPLAY STAFF.ENAME,SALARY*2 AS V FROM STAFF "});
    EXPECT_TRUE(asked().empty());
    // Targets 2 and 3 give no variable its value: question 9, and refused
    // nothing is built.
    answer = 0;
    int r = -1;
    EXPECT_TRUE(build(2, 0, "KEEP", &r).empty());
    EXPECT_EQ(r, 0);
    EXPECT_EQ(asked(), std::vector<int>{9});
    answer = 1;
    asked().clear();
    EXPECT_EQ(build(3), List{"SELECT STAFF.ENAME,SALARY*2 AS TWICE FROM STAFF TO KEEP"});
    EXPECT_EQ(asked(), std::vector<int>{9});
}

TEST_F(Builder, RefusalsEmptySelectionsAndTheLengthLimitBuildNothing)
{
    column("STAFF", "ENAME");
    column("DEPT", "DNAME");
    answer = 0;
    int r = -1;
    EXPECT_TRUE(build(1, 0, "KEEP", &r).empty());
    EXPECT_EQ(r, 0);
    clear_selection();

    qykit::StderrCapture none;
    EXPECT_TRUE(build(1, 0, "KEEP", &r).empty());
    EXPECT_EQ(r, 0);
    EXPECT_EQ(none.stop(), "Warning! QyMgr. NULL Selection list\n");

    answer = 1;
    nominate("STAFF");
    std::string sum = "1";  // 255 characters: as much as the kind data holds
    while (sum.size() < 255)
        sum += "+1";
    expression(sum.c_str(), "S");
    expression(sum.c_str(), "T");
    EXPECT_EQ(build(1).size(), 1u);
    for (int i = 0; i < 30; i++)
        expression(sum.c_str(), "U");
    qykit::StderrCapture too_long;
    EXPECT_TRUE(build(1, 0, "KEEP", &r).empty());
    EXPECT_EQ(r, 0);
    EXPECT_EQ(too_long.stop(), "Warning! QyMgr. Query too long\n");
}

TEST_F(Builder, GeneratedNamesGoOnCountingAcrossBuilds)
{
    nominate("STAFF");
    expression("SALARY+1");
    QyTarget t{};
    t.kind = 1;
    char **a = nullptr, **b = nullptr;
    int na = 0, nb = 0;
    ASSERT_TRUE(qybuild_qy_build_query(&a, &na, &t));
    ASSERT_TRUE(qybuild_qy_build_query(&b, &nb, &t));
    int first = -1, second = -1;
    ASSERT_EQ(sscanf(a[0], "DISPLAY SALARY+1 AS %%NAME%d", &first), 1) << a[0];
    ASSERT_EQ(sscanf(b[0], "DISPLAY SALARY+1 AS %%NAME%d", &second), 1) << b[0];
    EXPECT_EQ(second, first + 1);
    qy_free_query(a, na);
    qy_free_query(b, nb);
}

// ---- collect mode ------------------------------------------------------------------------------

TEST_F(Builder, CollectGathersArraysAndItsMeanEqualsTheAverage)
{
    column("STAFF", "DEPTNO");
    statistic("SALARY", 1, "AV");
    statistic("SALARY", 7, "M", "MEAN(@)");
    EXPECT_EQ(build(1), (List{"CREATE VAR %N0", "CREATE VAR %N1", "CREATE VAR %N2", "SET %DISPLAY FALSE",
                              "COLLECT DEPTNO AS %N0,SALARY AS %N1,SALARY AS %N2 FROM STAFF ", "SET %DISPLAY TRUE",
                              "DISPLAY %N0,MEAN(%N1) AS AV,MEAN(%N2) AS M FROMVAR ", "DROP VAR %N0",
                              "DROP VAR %N1", "DROP VAR %N2"}));
    clear_selection();

    // Into a table: MEAN over the collected array equals AVERAGE over the
    // rows.
    nominate("STAFF");
    statistic("SALARY", 1, "AV");
    statistic("SALARY", 7, "M", "MEAN(@)");
    EXPECT_EQ(build(3, 0, "MEANS"), (List{"CREATE VAR %N0", "CREATE VAR %N1", "SET %DISPLAY FALSE",
                                          "COLLECT SALARY AS %N0,SALARY AS %N1 FROM STAFF ", "SET %DISPLAY TRUE",
                                          "SELECT MEAN(%N0) AS AV,MEAN(%N1) AS M FROMVAR TO MEANS", "DROP VAR %N0",
                                          "DROP VAR %N1"}));
    // MEAN over the collected array equals AVERAGE over the rows.
    qymgr_qy_query("DISPLAY AV, M FROM MEANS", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    double av = 0, m = 0;
    memcpy(&av, qymgr_qy_buffer(), 8);
    memcpy(&m, static_cast<char *>(qymgr_qy_buffer()) + 8, 8);
    qymgr_qy_query("DISPLAY AVERAGE SALARY FROM STAFF", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    double expected = 0;
    memcpy(&expected, qymgr_qy_buffer(), 8);
    EXPECT_DOUBLE_EQ(av, expected);
    EXPECT_DOUBLE_EQ(m, expected);
}

// ---- group mode --------------------------------------------------------------------------------

TEST_F(Builder, GroupsLeaveTheKeyOutAndNameWhatTheyMade)
{
    struct Case {
        const char *what;
        std::function<void(Builder &)> select;
        int target;
        int qualify;
        List expected;
        std::vector<int> questions;
    } cases[] = {
        {"the key column left out, final items bare",
         [](Builder &b) {
             b.column("STAFF", "DEPTNO");
             b.statistic("SALARY", 1, "AV");
             b.statistic("EMPNO", 5);
             b.group("DEPTNO", 0);
         },
         1, 1,
         {"GROUP STAFF BY DEPTNO AVERAGE SALARY AS AV,COUNT EMPNO AS %N0 ", "DISPLAY DEPTNO,AV,%N0 FROM RSLT ",
          "DROP RSLT"},
         {}},
        {"sequenced, sorted, into the result table",
         [](Builder &b) {
             b.nominate("STAFF");
             b.statistic("SALARY", 6, "TOT");
             b.texted<ObSortData>(OB_SORT, "TOT DESC");
             b.group("DEPTNO", 1);
         },
         2, 0,
         {"SEQUENCE STAFF BY DEPTNO", "GROUP STAFF BY DEPTNO TOTAL SALARY AS TOT ", "SEQUENCE STAFF",
          "SEQUENCE RSLT BY TOT DESC"},
         {}},
        {"into a named table, a duplicate name reused",
         [](Builder &b) {
             b.column("STAFF", "SALARY");
             b.column("STAFF", "SALARY");
             b.group("DEPTNO", 0);
         },
         3, 0,
         {"GROUP STAFF BY DEPTNO SALARY,SALARY AS %N0 ", "SELECT SALARY,%N0 FROM RSLT TO KEEP", "DROP RSLT"}, {}},
        {"over two tables: question 10",
         [](Builder &b) {
             b.column("STAFF", "ENAME");
             b.column("DEPT", "DEPTNO");
             b.group("DEPTNO", 0);
         },
         1, 0, {"GROUP STAFF BY DEPTNO ENAME ", "DISPLAY ENAME,DEPTNO FROM RSLT ", "DROP RSLT"}, {10}},
    };
    for (Case &c : cases) {
        asked().clear();
        dl_qualify_column_names = c.qualify;
        c.select(*this);
        EXPECT_EQ(build(c.target), c.expected) << c.what;
        EXPECT_EQ(asked(), c.questions) << c.what;
        clear_selection();
        qymgr_qy_query("DROP KEEP", QY_NOWAIT, QY_ASIS, QY_IGNORE);
    }

    // One group row per department; each average equals the department's.
    dl_qualify_column_names = 0;
    column("STAFF", "DEPTNO");
    statistic("SALARY", 1, "AV");
    group("DEPTNO", 0);
    build(3, 0, "GROUPS");
    Rows groups = wstest::read_full("DISPLAY DEPTNO FROM GROUPS");
    EXPECT_EQ(groups, (Rows{{"10"}, {"20"}, {"30"}}));
    for (int dept : {10, 20, 30}) {
        qymgr_qy_query(("DISPLAY AV FROM GROUPS WHERE DEPTNO=" + std::to_string(dept)).c_str(), QY_NOWAIT,
                       QY_SIMPLE, QY_REPORT);
        double got = 0, want = 0;
        memcpy(&got, qymgr_qy_buffer(), 8);
        qymgr_qy_query(("DISPLAY AVERAGE SALARY FROM STAFF WHERE DEPTNO=" + std::to_string(dept)).c_str(), QY_NOWAIT,
                       QY_SIMPLE, QY_REPORT);
        memcpy(&want, qymgr_qy_buffer(), 8);
        EXPECT_DOUBLE_EQ(got, want) << dept;
    }
}

// ---- results of the targets -------------------------------------------------------------------

TEST_F(Builder, OverwriteTwiceKeepsEachRowOnceAndUniqueGivesDistinctRows)
{
    ok("CREATE KEEP[50] AS EMPNO PRIMARY,ENAME");
    column("STAFF", "EMPNO");
    column("STAFF", "ENAME");
    build(3, 1, "KEEP");
    build(3, 1, "KEEP");
    EXPECT_EQ(wstest::read_full("DISPLAY COUNT EMPNO FROM KEEP"), (Rows{{"6"}}));
    clear_selection();

    EXPECT_FALSE(qychk_result_exists());
    column("STAFF", "DEPTNO");
    build(2, 1);
    EXPECT_TRUE(qychk_result_exists());
    EXPECT_EQ(wstest::read_full("DISPLAY DEPTNO FROM RSLT"), (Rows{{"10"}, {"20"}, {"30"}}));
}

}  // namespace
