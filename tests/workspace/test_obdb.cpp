// Database commands against the installed interpreter: every statement
// template's exact text and modes, each then run in a scratch database;
// table rebuilds (columns added, dropped and changed, tables changed) with
// rows, nulls, an index and another user's restricted privilege; and the
// faults a rebuild must survive.

#include "wstest.h"

#include "obdb.h"
#include "qychk.h"
#include "vxutil.h"

#include <functional>

using wstest::Row;
using Rows = std::vector<Row>;

namespace {

std::vector<std::pair<int, std::string>> &questions()
{
    static std::vector<std::pair<int, std::string>> v;
    return v;
}
int answer = 1;
int ask(int number, const char *name)
{
    questions().push_back({number, name ? name : ""});
    return answer;
}
std::vector<int> &errors_shown()
{
    static std::vector<int> v;
    return v;
}
void show_error(int number, const char *) { errors_shown().push_back(number); }
std::vector<std::string> &recorded()
{
    static std::vector<std::string> v;
    return v;
}
void record(char **texts, int n)
{
    for (int i = 0; i < n; i++)
        recorded().push_back(texts[i]);
}
std::vector<std::string> &lists_removed()
{
    static std::vector<std::string> v;
    return v;
}
void remove_list(const char *user) { lists_removed().push_back(user); }

class Commands : public wstest::Dictionary {
protected:
    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        start("TESTER");
        make_scratch("D");
        obdb_set_confirm_hook(ask);
        obdb_set_error_hook(show_error);
        obdb_set_record_hook(record);
        obdb_set_remove_table_list_hook(remove_list);
        questions().clear();
        errors_shown().clear();
        recorded().clear();
        lists_removed().clear();
        answer = 1;
        wsdict_db_exclusive = 0;
    }
    void TearDown() override
    {
        obdb_set_confirm_hook(nullptr);
        obdb_set_error_hook(nullptr);
        obdb_set_record_hook(nullptr);
        obdb_set_remove_table_list_hook(nullptr);
        wstest::Dictionary::TearDown();
    }
    std::vector<std::string> texts()
    {
        std::vector<std::string> v;
        for (const qykit::Sent &s : qykit::sent())
            v.push_back(s.text);
        return v;
    }
    void read() { ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1); }
};

DictItem item(const char *name, int type, int length, int fraction = -1, std::vector<int> dims = {}, int var = 0,
              const char *alias = "")
{
    DictItem it{};
    safe_strcpy(it.name, name, 12);
    safe_strcpy(it.alias, alias, 12);
    it.type = type;
    it.length = length;
    it.fraction = fraction;
    it.ndims = static_cast<int>(dims.size());
    long n = dims.empty() ? 0 : 1;
    for (size_t d = 0; d < dims.size(); d++) {
        it.dims[d] = dims[d];
        n *= dims[d];
    }
    it.array_size = n;
    it.var = var;
    return it;
}

TEST_F(Commands, EveryTemplateSendsItsTextAndRuns)
{
    DictItem n = item("N", 2, 2, -1, {2, 3}), name = item("NAME", 0, 12, -1, {}, 0, "NM"),
             photo = item("PHOTO", 11, 1), age = item("AGE", 2, 3), empno = item("EMPNO", 1, 6),
             counts = item("COUNTS", 1, 6, -1, {20}, 1);
    DictColumn c_n{"N", 0, 0, &n, nullptr, nullptr}, c_name{"NAME", 0, 1, &name, nullptr, &c_n},
        c_age{"AGE", 0, 0, &age, nullptr, &c_name}, c_emp{"EMPNO", 1, 0, &empno, nullptr, &c_age};
    DictRelation t1{};
    safe_strcpy(t1.name, "T1", 8);
    t1.maxsize = 50;
    t1.fixed = 0;
    t1.reqmem = 1;
    t1.structure = 0;
    t1.columns = &c_emp;

    ObVariableData v{};
    auto var = [&v](const char *name, const char *value) {
        safe_strcpy(v.name, name, 15);
        safe_strcpy(v.value, value, 82);
        return &v;
    };
    int number = -1;
    struct Case {
        std::function<int()> call;
        std::vector<std::string> texts;
    } cases[] = {
        {[&] { return obdb_obq_create_item(&n, nullptr, 1); }, {"CREATE ITEM N AS SHORT(2)[2,3]"}},
        {[&] { return obdb_obq_create_item(&name, nullptr, 1); }, {"CREATE ITEM NAME ALIAS NM AS STRING(12)"}},
        {[&] { return obdb_obq_create_item(&photo, nullptr, 1); }, {"CREATE ITEM PHOTO AS BLOB CLASS 1"}},
        {[&] { return obdb_obq_create_item(&counts, nullptr, 1); }, {"CREATE ITEM COUNTS AS LONG(6)[20]VAR"}},
        {[&] { return obdb_obq_create_table_from_dictionary(&t1); },
         {"CREATE ITEM EMPNO AS LONG(6)", "CREATE ITEM AGE AS SHORT(3)", "CREATE ITEM NAME ALIAS NM AS STRING(12)",
          "CREATE ITEM N AS SHORT(2)[2,3]",
          "CREATE T1[50] AS EMPNO PRIMARY,AGE ,NAME NULL,N  CONFIGURE AS EXTENSIBLE CACHED SLOTTED "}},
        {[&] { return obdb_obq_create_index("T1", 0, 0, "AGE DESC", "", &number); },
         {"CREATE INDEX T1   BY AGE DESC "}},
        {[&] { return number == 1 && obdb_obq_create_index("T1", 1, 1, "EMPNO", "ix\"1", &number); },
         {"CREATE INDEX T1 UNIQUE NOUPDATE BY EMPNO ON \"ix\"\"1\""}},
        {[&] { return number == 2 && obdb_obq_drop_index(2, "T1"); }, {"DROP INDEX 2 FROM T1"}},
        {[] { return obdb_obq_create_user("U1", "O'BRIEN", DBPRIV_SELECT); },
         {"CREATE USER U1, 'O''BRIEN' WITH 'SELECT'"}},
        {[] { return obdb_obq_grant_user(DBPRIV_CREATE, "U1"); }, {"GRANT 'CREATE' TO U1"}},
        {[] { return obdb_obq_create_privilege(PRIV_WRITE, "U1", "T1", "AGE>3"); },
         {"GRANT 'WRITE' TO U1 ON T1 WHERE AGE>3"}},
        {[] { return obdb_obq_create_privilege(PRIV_READ, "U1", "T1", ""); }, {"GRANT 'READ' TO U1 ON T1"}},
        {[] { return obdb_obq_drop_privilege("U1", "T1"); }, {"GRANT 'DEFAULT' TO U1 ON T1"}},
        {[] { return obdb_obq_drop_privilege("U1", "RSLT01"); }, {}},
        {[] { return obdb_obq_create_privilege(PRIV_READ, "U1", "RSLT01", ""); }, {}},
        {[] { return obdb_obq_exclusive_access("RSLT01"); }, {}},
        {[] { return obdb_obq_exclusive_access("T1"); }, {"USE T1 EXCLUSIVE"}},
        {[] { return obdb_obq_no_access("T1"); }, {"UNUSE T1"}},
        {[] {
             wsdict_db_exclusive = 1;
             int r = obdb_obq_exclusive_access("T1") && obdb_obq_no_access("T1");
             wsdict_db_exclusive = 0;
             return r;
         },
         {}},
        {[&] { return obdb_obq_create_var(var("V1", "12"), 0); }, {"CREATE VAR V1 12"}},
        {[&] { return obdb_obq_create_var(var("V2", " abc "), 0); }, {"CREATE VAR V2 'abc'"}},
        {[&] { return obdb_obq_create_var(var("V3", "(1+2)"), 0); }, {"CREATE VAR V3 (1+2)"}},
        {[&] { return obdb_obq_create_var(var("V4", "   "), 0); }, {"CREATE VAR V4 ''"}},
        {[&] { return obdb_obq_create_var(var("V5", "O'BRIEN"), 1); }, {"CREATE VAR V5 'O''BRIEN'"}},
        {[&] { return obdb_obq_create_var(var("V6", "2024-01-02"), 0); }, {"CREATE VAR V6 2024-01-02"}},
        {[&] { return obdb_obq_create_var(var("V7", ""), 0); }, {"CREATE VAR V7"}},
        {[] { return obdb_obq_drop_var("V1"); }, {"DROP VAR V1"}},
        {[] { return obdb_obq_define_macro("MAC", "AGE+1", 1); }, {"DEFINE MAC AGE+1"}},
        {[] { return obdb_obq_undefine_macro("MAC", 1); }, {"UNDEFINE MAC"}},
        {[] { return obdb_obq_rename_alias("NAME", "NN"); }, {"RENAME ITEM NAME AS NAME ALIAS NN"}},
        {[] { return obdb_obq_rename_alias("NAME", ""); }, {"RENAME ITEM NAME AS NAME "}},
        {[] { return obdb_obq_rename_column("AGE", "YEARS", "T1"); }, {"RENAME COLUMN AGE AS YEARS FROM T1"}},
        {[] { return obdb_obq_rename_table("T1", "T2"); }, {"RENAME T1 AS T2"}},
        {[] { return obdb_obq_configure_table("T2", 80, 1, 1); }, {"CONFIGURE T2[80] AS FIXED CACHED"}},
        {[] { return obdb_obq_delete_rows_from_table("T2", "YEARS>3"); }, {"DELETE FROM T2 WHERE YEARS>3"}},
        {[] { return obdb_obq_delete_rows_from_table("T2", ""); }, {"DELETE FROM T2"}},
        {[] { return obdb_obq_clear_table("T2"); }, {"CLEAR T2"}},
        {[] { return obdb_obq_drop_user("U1"); }, {"DROP USER U1"}},
        {[] { return obdb_obq_drop_table("T2"); }, {"DROP T2"}},
    };
    for (Case &c : cases) {
        qykit::sent().clear();
        EXPECT_EQ(c.call(), 1) << (c.texts.empty() ? "(none)" : c.texts.back());
        EXPECT_EQ(texts(), c.texts);
        for (const qykit::Sent &s : qykit::sent())
            EXPECT_EQ(s.modes, qymgr_mode_word(QY_WAIT, QY_ASIS, 0)) << s.text;
    }
    EXPECT_EQ(qykit::boxes().size(), 0u);
    EXPECT_EQ(recorded(), std::vector<std::string>{"CREATE VAR V5 'O''BRIEN'"});
    EXPECT_EQ(lists_removed(), std::vector<std::string>{"U1"});

    // The variables hold what the quoting rule says.
    EXPECT_EQ(print("V2"), "abc");
    EXPECT_EQ(print("V5"), "O'BRIEN");
    qymgr_qy_query("PRINT V3, V6", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    int32_t three, year;
    memcpy(&three, qymgr_qy_buffer(), 4);
    memcpy(&year, static_cast<char *>(qymgr_qy_buffer()) + 4, 4);
    EXPECT_EQ(three, 3);
    EXPECT_EQ(year, 2021) << "a bare date is arithmetic";

    // Failures: Report shows them, the alias (Ignore) only warns and counts
    // as done.
    EXPECT_EQ(obdb_obq_drop_table("NOSUCH"), 0);
    EXPECT_EQ(qykit::boxes().size(), 1u);
    qykit::StderrCapture capture;
    EXPECT_EQ(obdb_obq_rename_alias("NOSUCH", "X"), 1);
    EXPECT_EQ(capture.stop(), "Warning! Due to server design, DBA is needed to set column alias!\n");
    EXPECT_EQ(obdb_obq_exclusive_access("NOSUCH"), 0);
    EXPECT_EQ(qykit::boxes().size(), 1u);
}

// ---- rebuilds --------------------------------------------------------------------------------

class Rebuild : public Commands {
protected:
    void SetUp() override
    {
        Commands::SetUp();
        ok("CREATE ITEM K AS LONG(6)");
        ok("CREATE ITEM S AS STRING(10)");
        ok("CREATE ITEM L AS LONG(8)");
        ok("CREATE ITEM R AS REAL(10,2)");
        ok("CREATE R1[100] AS K PRIMARY,S ,L NULL,R NULL CONFIGURE AS EXTENSIBLE CACHED CHAINED");
        ok("SELECT 1 AS K,'ONE' AS S,100 AS L,1.5 AS R FROMVAR TO R1");
        ok("SELECT 2 AS K,'TWO' AS S,NULL AS L,NULL AS R FROMVAR TO R1");
        ok("SELECT 3 AS K,'THREE' AS S,300 AS L,-2.25 AS R FROMVAR TO R1");
        ok("CREATE INDEX R1 BY L DESC, S");
        ok("CREATE USER OTHER, 'PW' WITH 'SELECT'");
        ok("GRANT 'WRITE' TO OTHER ON R1 WHERE S>'P'");
        ok("GRANT 'READ' TO %DEFAULT ON R1");
        read();
        rel = obdict_ob_find_table("R1");
        ASSERT_NE(rel, nullptr);
        before = wstest::read_full("DISPLAY K,S,L,R FROM R1");
        qykit::sent().clear();
    }
    DictRelation *rel = nullptr;
    Rows before;

    // What a fresh read shows of R1: privileges, index keys.
    void check_kept(const char *key_text)
    {
        read();
        DictRelation *r = obdict_ob_find_table("R1");
        ASSERT_NE(r, nullptr);
        DictPriv *other = obdict_ob_find_priv("OTHER", "R1");
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(other->level, PRIV_WRITE);
        EXPECT_STREQ(other->restriction, "S>'P'");
        DictPriv *def = obdict_ob_find_priv("%DEFAULT", "R1");
        ASSERT_NE(def, nullptr);
        EXPECT_EQ(def->level, PRIV_READ);
        DictPriv *mine = obdict_ob_find_priv("TESTER", "R1");
        ASSERT_NE(mine, nullptr);
        EXPECT_EQ(mine->level, PRIV_OWNERSHIP);
        ASSERT_NE(r->indexes, nullptr);
        char keys[256];
        EXPECT_STREQ(wsdict_make_keystr(keys, sizeof keys, r->indexes->keys), key_text);
        EXPECT_EQ(obdict_ob_find_table("%FIQL"), nullptr);
        EXPECT_EQ(wsdict_find_item("%FIQL"), nullptr);
    }
    DictColumn *add(const char *name, DictItem it, int null)
    {
        ObColumnData d{};
        safe_strcpy(d.name, name, 21);
        safe_strcpy(d.table, "R1", 21);
        d.type = it.type;
        d.length = it.length;
        d.fraction = it.fraction;
        d.array_size = it.array_size;
        d.var = it.var;
        d.ndims = it.ndims;
        for (int i = 0; i < it.ndims; i++)
            d.dims[i] = it.dims[i];
        d.null = null;
        return obdict_ob_create_column(&d);
    }
};

TEST_F(Rebuild, AddedColumnsTakeTheirDefaultsOrNull)
{
    add("AS1", item("AS1", 0, 5), 0);
    add("AL", item("AL", 1, 4), 0);
    add("ASH", item("ASH", 2, 4), 0);
    add("AR", item("AR", 3, 6, 2), 0);
    add("AT", item("AT", 5, 8), 0);
    add("AC", item("AC", 6, 8, 2), 0);
    add("AB", item("AB", 7, 5), 0);
    add("ACH", item("ACH", 8, 1), 0);
    add("ASR", item("ASR", 9, 6), 0);
    add("AY", item("AY", 10, 3), 0);
    add("AN", item("AN", 1, 4), 1);
    add("AF", item("AF", 1, 4, -1, {3}), 0);
    add("A2", item("A2", 3, 6, 1, {2, 2}), 0);
    add("AV", item("AV", 1, 4, -1, {4}, 1), 0);
    const char *added[] = {"AS1", "AL", "ASH", "AR", "AT", "AC", "AB", "ACH", "ASR", "AY", "AN", "AF", "A2", "AV"};
    ASSERT_EQ(obdb_obq_add_columns_from_dictionary(rel, added, 14), 1);
    EXPECT_EQ(questions(), (std::vector<std::pair<int, std::string>>{{3, "R1"}}));
    std::string select;
    for (const std::string &t : texts())
        if (t.rfind("SELECT ", 0) == 0)
            select = t;
    EXPECT_EQ(select, "SELECT K,S,L,R,'' AS AS1,0 AS AL,0 AS ASH,0.0 AS AR,[0:0:0] AS AT,COMP(0.0,0.0) AS AC,"
                      "FALSE AS AB,? AS ACH,0.0 AS ASR,0 AS AY,NULL AS AN,REPEAT(0,3) AS AF,"
                      "SETDIMS(REPEAT(0.0,4),2:2) AS A2,SETLEN(SETMAXLEN(REPEAT(0,4),4),0) AS AV FROM R1 TO %FIQL");
    check_kept("L DESC, S");
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L,R FROM R1"), before);
    EXPECT_EQ(wstest::read_full("DISPLAY AL,AN,AF,LEN(AV) FROM R1 WHERE K=2"), (Rows{{"0", "NULL", "0:0:0", "0"}}));

    // A blob column cannot be added with a value.
    read();
    rel = obdict_ob_find_table("R1");
    add("AP", item("AP", 11, 1), 0);
    const char *blob[] = {"AP"};
    EXPECT_EQ(obdb_obq_add_columns_from_dictionary(rel, blob, 1), 0);
    EXPECT_EQ(errors_shown(), std::vector<int>{36});
    check_kept("L DESC, S");
}

TEST_F(Rebuild, DroppedColumnsTheFirstOneToo)
{
    obdict_ob_delete_column(obdict_ob_find_column("R1", "R"));
    ASSERT_EQ(obdb_obq_drop_column_from_dictionary(rel, 1), 1);
    EXPECT_TRUE(questions().empty());
    check_kept("L DESC, S");
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L FROM R1"),
              (Rows{{before[0][0], before[0][1], before[0][2]}, {before[1][0], before[1][1], before[1][2]},
                    {before[2][0], before[2][1], before[2][2]}}));
    EXPECT_EQ(qychk_table_rows("R1"), 3);

    rel = obdict_ob_find_table("R1");
    obdict_ob_delete_column(obdict_ob_find_column("R1", "K"));
    ASSERT_EQ(obdb_obq_drop_column_from_dictionary(rel, 1), 1);
    check_kept("L DESC, S");
    EXPECT_EQ(wstest::read_full("DISPLAY S FROM R1"), (Rows{{"ONE"}, {"TWO"}, {"THREE"}}));
}

TEST_F(Rebuild, ChangedColumnsAskForLossOnlyWhereTheTypeCannotGoBack)
{
    // LONG to SHORT, renamed: the index follows, question 9 is asked.
    DictColumn old = *obdict_ob_find_column("R1", "L");
    DictItem old_item = *old.item;
    old.item = &old_item;
    DictColumn *l = obdict_ob_find_column("R1", "L");
    static DictItem shorter = item("LS", 2, 4);
    safe_strcpy(l->name, "LS", 12);
    l->item = &shorter;
    ASSERT_EQ(obdb_obq_change_column_from_dictionary(rel, &old, "LS"), 1);
    EXPECT_EQ(questions(), (std::vector<std::pair<int, std::string>>{{3, "R1"}, {9, "L"}}));
    check_kept("LS DESC, S");
    EXPECT_EQ(wstest::read_full("DISPLAY LS FROM R1"), (Rows{{"100"}, {"NULL"}, {"300"}}));
    EXPECT_EQ(wstest::read_full("DISPLAY %ITYPE FROM %ITEMS WHERE %INAME='LS'"), (Rows{{"2"}}));

    // SHORT back to LONG: nothing may be lost, no question 9.
    questions().clear();
    rel = obdict_ob_find_table("R1");
    old = *obdict_ob_find_column("R1", "LS");
    old_item = *old.item;
    old.item = &old_item;
    static DictItem longer = item("LS", 1, 8);
    obdict_ob_find_column("R1", "LS")->item = &longer;
    ASSERT_EQ(obdb_obq_change_column_from_dictionary(rel, &old, "LS"), 1);
    EXPECT_EQ(questions(), (std::vector<std::pair<int, std::string>>{{3, "R1"}}));
    check_kept("LS DESC, S");
    EXPECT_EQ(wstest::read_full("DISPLAY %ITYPE FROM %ITEMS WHERE %INAME='LS'"), (Rows{{"1"}}));

    // Declining either question sends nothing more.
    for (int declined : {3, 9}) {
        questions().clear();
        rel = obdict_ob_find_table("R1");
        old = *obdict_ob_find_column("R1", "LS");
        old_item = *old.item;
        old.item = &old_item;
        static DictItem tiny = item("LS", 10, 3);
        obdict_ob_find_column("R1", "LS")->item = &tiny;
        answer = 0;
        int (*decline)(int, const char *) = declined == 3 ? ask : +[](int n, const char *name) {
            questions().push_back({n, name});
            return n == 9 ? 0 : 1;
        };
        obdb_set_confirm_hook(decline);
        qykit::sent().clear();
        EXPECT_EQ(obdb_obq_change_column_from_dictionary(rel, &old, "LS"), 0);
        for (const std::string &t : texts())
            EXPECT_TRUE(t.rfind("DROP R1", 0) != 0 && t.rfind("SELECT", 0) != 0) << t;
        answer = 1;
        obdb_set_confirm_hook(ask);
        read();
        EXPECT_EQ(wstest::read_full("DISPLAY LS FROM R1"), (Rows{{"100"}, {"NULL"}, {"300"}}));
    }
}

TEST_F(Rebuild, ChangedTablesInPlaceOrRebuilt)
{
    // A new name and size in place.
    safe_strcpy(rel->name, "R2", 8);
    rel->maxsize = 222;
    ASSERT_EQ(obdb_obq_change_table_from_dictionary(rel, "R1", 1 | 4), 1);
    EXPECT_EQ(texts(), (std::vector<std::string>{"RENAME R1 AS R2", "CONFIGURE R2[222] AS EXTENSIBLE CACHED"}));
    EXPECT_TRUE(questions().empty());
    // A change of structure rebuilds it, back under its old name.
    read();
    rel = obdict_ob_find_table("R2");
    ASSERT_NE(rel, nullptr);
    safe_strcpy(rel->name, "R1", 8);
    rel->structure = 2;
    qykit::sent().clear();
    ASSERT_EQ(obdb_obq_change_table_from_dictionary(rel, "R2", 1 | 2), 1);
    EXPECT_EQ(questions(), (std::vector<std::pair<int, std::string>>{{3, "R2"}}));
    check_kept("L DESC, S");
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L,R FROM R1"), before);
    EXPECT_EQ(obdict_ob_find_table("R1")->structure, 2);
    EXPECT_EQ(obdict_ob_find_table("R2"), nullptr);
}

// ---- provoked faults ----------------------------------------------------------------------------

TEST_F(Rebuild, ALeftoverTableIsNeverDestroyed)
{
    ok("CREATE %FIQL[10] AS K PRIMARY");
    ok("SELECT 42 AS K FROMVAR TO %FIQL");
    obdict_ob_delete_column(obdict_ob_find_column("R1", "R"));
    EXPECT_EQ(obdb_obq_drop_column_from_dictionary(rel, 1), 0);
    EXPECT_EQ(errors_shown(), std::vector<int>{40});
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM %FIQL"), (Rows{{"42"}}));
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L,R FROM R1"), before);
}

TEST_F(Rebuild, AStaleItemDoesNotGiveTheChangedColumnItsType)
{
    ok("CREATE ITEM %FIQL AS REAL(8,2)");
    DictColumn old = *obdict_ob_find_column("R1", "R");
    DictItem old_item = *old.item;
    old.item = &old_item;
    static DictItem as_long = item("R", 1, 8);
    obdict_ob_find_column("R1", "R")->item = &as_long;
    ASSERT_EQ(obdb_obq_change_column_from_dictionary(rel, &old, "R"), 1);
    EXPECT_EQ(wstest::read_full("DISPLAY %ITYPE FROM %ITEMS WHERE %INAME='R'"), (Rows{{"1"}}));
    EXPECT_EQ(wstest::read_full("DISPLAY R FROM R1"), (Rows{{"2"}, {"NULL"}, {"-2"}}));
    check_kept("L DESC, S");
}

TEST_F(Rebuild, AFailedCountStillCopiesAndARefusedDropKeepsTheTable)
{
    // The row count fails: the rows are copied all the same.
    auto fail_count = [](const char *text, uint32_t modes) {
        if (strstr(text, "SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t\tWHERE"))
            return querym("PRINT NOSUCHNAME", modes);
        return qykit::watching_querym(text, modes);
    };
    qymgr_qy_set_querym(fail_count);
    add("AN", item("AN", 1, 4), 1);
    const char *added[] = {"AN"};
    ASSERT_EQ(obdb_obq_add_columns_from_dictionary(rel, added, 1), 1);
    qymgr_qy_set_querym(qykit::watching_querym);
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L,R FROM R1"), before);

    // DROP of the old table refused: it stays whole, the copy goes.
    read();
    rel = obdict_ob_find_table("R1");
    qymgr_qy_set_querym([](const char *text, uint32_t modes) {
        if (strcmp(text, "DROP R1") == 0)
            return querym("DROP NOSUCHTABLE", modes);
        return qykit::watching_querym(text, modes);
    });
    obdict_ob_delete_column(obdict_ob_find_column("R1", "AN"));
    EXPECT_EQ(obdb_obq_drop_column_from_dictionary(rel, 1), 0);
    qymgr_qy_set_querym(qykit::watching_querym);
    read();
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L,R FROM R1"), before);
    EXPECT_NE(obdict_ob_find_column("R1", "AN"), nullptr);
    EXPECT_EQ(obdict_ob_find_table("%FIQL"), nullptr);
}

}  // namespace

namespace {

// Every pair of the eleven types that are not blobs: the copy converts
// each value as the converter says, and question 9 comes exactly where
// the conversion cannot go back.
TEST_F(Commands, EveryPairOfTypesConverts)
{
    const char *defs[11] = {"STRING(10)", "LONG(6)", "SHORT(4)", "REAL(10,2)", "DATE(10)", "TIME(8)",
                            "COMPLEX(10,2)", "BOOL(5)", "CHAR(1)", "SHORTREAL(6,2)", "BYTE(3)"};
    const char *values[11] = {"'12'", "12", "12", "12.5", "UNIXDATE(0)", "[1:2:3]", "COMP(1.5,2.0)",
                              "TRUE", "?", "FLOAT(3)", "7"};
    ok("CREATE ITEM K AS LONG(4)");
    ok("CREATE KEEPK[1] AS K PRIMARY");  // K outlives every DROP P
    for (int ot = 0; ot < 11; ot++)
        for (int nt = 0; nt < 11; nt++) {
            SCOPED_TRACE(std::string(defs[ot]) + " to " + defs[nt]);
            ok(std::string("CREATE ITEM C AS ") + defs[ot]);
            ok("CREATE P[10] AS K PRIMARY,C NULL");
            ok(std::string("SELECT 1 AS K,") + values[ot] + " AS C FROMVAR TO P");
            ok("SELECT 2 AS K,NULL AS C FROMVAR TO P");
            std::string conv = converters[ot][nt];
            if (size_t at = conv.find("%s"); at != std::string::npos)
                conv.replace(at, 2, "C");
            const bool constant = std::string(converters[ot][nt]).find("%s") == std::string::npos;
            Rows expected = wstest::read_full("DISPLAY " + conv + " AS X FROM P");
            read();
            DictRelation *p = obdict_ob_find_table("P");
            ASSERT_NE(p, nullptr);
            DictColumn old = *obdict_ob_find_column("P", "C");
            DictItem old_item = *old.item;
            old.item = &old_item;
            DictItem now = old_item;
            now.type = nt;
            static const int lengths[11] = {10, 6, 4, 10, 10, 8, 10, 5, 1, 6, 3};
            now.length = lengths[nt];
            now.fraction = nt == 3 || nt == 6 || nt == 9 ? 2 : -1;
            obdict_ob_find_column("P", "C")->item = &now;
            questions().clear();
            ASSERT_EQ(obdb_obq_change_column_from_dictionary(p, &old, "C"), 1);
            obdict_ob_find_column("P", "C")->item = old.item;  // the read below frees the dictionary's own
            const bool asked9 = questions().size() == 2 && questions()[1].first == 9;
            EXPECT_EQ(asked9, reversibility[ot][nt] == 0);
            Rows got = wstest::read_full("DISPLAY C FROM P");
            ASSERT_EQ(got.size(), 2u);
            ASSERT_EQ(expected.size(), 2u);
            EXPECT_EQ(got, expected);
            if (!constant && std::string(converters[ot][nt]).rfind("COND(", 0) != 0) {
                EXPECT_EQ(got[1][0], "NULL") << "a null stays null";
            }
            EXPECT_EQ(wstest::read_full("DISPLAY %ITYPE FROM %ITEMS WHERE %INAME='C'"), (Rows{{std::to_string(nt)}}));
            ok("DROP P");
        }
}

}  // namespace

namespace {

// Shape changes: single to array and back, fixed to variable and back,
// counts up and down, one dimension to two.
TEST_F(Commands, ShapesChangeWithTheirValues)
{
    ok("CREATE ITEM K AS LONG(4)");
    ok("CREATE ITEM A AS LONG(6)");
    ok("CREATE P[10] AS K PRIMARY,A NULL");
    ok("SELECT 1 AS K,5 AS A FROMVAR TO P");
    ok("SELECT 2 AS K,NULL AS A FROMVAR TO P");
    struct Step {
        std::vector<int> dims;
        int var;
        const char *value;
        bool asks;
    } steps[] = {
        {{3}, 0, "5:5:5", false},    {{4}, 1, "5:5:5", false},   {{2}, 0, "5:5", true},
        {{2, 2}, 0, "5:5:0:0", false}, {{}, 0, "5", true},
    };
    for (const Step &s : steps) {
        read();
        DictRelation *p = obdict_ob_find_table("P");
        ASSERT_NE(p, nullptr);
        DictColumn old = *obdict_ob_find_column("P", "A");
        DictItem old_item = *old.item;
        old.item = &old_item;
        DictItem now = item("A", 1, 6, -1, s.dims, s.var);
        obdict_ob_find_column("P", "A")->item = &now;
        questions().clear();
        ASSERT_EQ(obdb_obq_change_column_from_dictionary(p, &old, "A"), 1) << s.value;
        obdict_ob_find_column("P", "A")->item = old.item;
        EXPECT_EQ(questions().size() == 2, s.asks) << s.value;
        EXPECT_EQ(wstest::read_full("DISPLAY A FROM P"), (Rows{{s.value}, {"NULL"}}));
        Rows def = wstest::read_full("DISPLAY %IARR,%INDIMS FROM %ITEMS WHERE %INAME='A'");
        const long n = s.dims.empty() ? 0 : s.dims.size() == 1 ? s.dims[0] : s.dims[0] * s.dims[1];
        EXPECT_EQ(def, (Rows{{std::to_string(s.var ? -n : n), std::to_string(s.dims.size())}})) << s.value;
    }
}

}  // namespace
