// The data dictionary against the installed interpreter: the demo
// database read whole and compared with the system relations, the
// statements as sent, start-up, large and too-large dictionaries, the
// one-table read, index keys of result tables, default privileges, and
// the schema headers.

#include "wstest.h"

#include "qychk.h"
#include "vxutil.h"
#include "wstables.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

using wstest::Row;

namespace {

std::string text_of(const char *p) { return p; }

template <class T>
int length(const T *head)
{
    int n = 0;
    for (; head; head = head->next)
        n++;
    return n;
}

// VX_UPDATE_GOLDEN=1 writes the texts made into the golden files.
void compare_golden(const std::string &made, const std::string &golden)
{
    if (getenv("VX_UPDATE_GOLDEN"))
        std::ofstream(golden, std::ios::binary) << made;
    std::ifstream in(golden, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(made, s.str()) << golden;
}

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Demo : public wstest::Dictionary {
protected:
    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        wstest::ensure_demo();
        start("BRASK");
        ok("OPEN DEMO");
        qykit::sent().clear();
        ASSERT_EQ(wsdict_ws_read_dictionary("DEMO"), 1);
    }
};

TEST_F(Demo, StatementsGoAsWrittenInTheSimpleMode)
{
    const std::vector<std::string> expected = {
        "DISPLAY %RNAME,%MAXSIZE,%DLOC, \t\t SYSINFO(%DLOC,%DNAME,'FIXED'), \t\t SYSINFO(%DLOC,%DNAME,'STRUCTURE'), "
        "\t\t SYSINFO(%DLOC,%DNAME,'REQMEM'), \t\t SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t SEQUENCE BY %RNAME",
        "DISPLAY %INAME,%ALIAS,%ITYPE,%ILEN,%IFRAC,\t\t\t%IARR,%INDIMS,%IDIMS FROM %ITEMS SEQUENCE BY %INAME",
        "DISPLAY %UNAME,%ACCESS FROM %USERS",
        "DISPLAY %RNAME,%INAME,%KEY,%NULL FROM %COLS",
        "DISPLAY %RNAME,%UNAME,%PRIV, %RESTRICTION FROM %PRIVS",
        "DISPLAY %RNAME,%XNO,%XLOC,%XUNIQUE,%XUPDATE FROM %INDEXES \t\t\tSEQUENCE BY %RNAME",
        "DISPLAY %RNAME,%XNO,%INAME,%KNO,%KASC,%KNATIVE \t\t    FROM %KEYS SEQUENCE BY %RNAME,%XNO",
        "PRINT RESULT()",
        "PRINT LOCATE('%ROOT')",
    };
    std::vector<std::string> texts;
    for (const qykit::Sent &s : qykit::sent()) {
        texts.push_back(s.text);
        EXPECT_EQ(s.modes & (DOZ_M_EOB | DOZ_M_FLAGS | DOZ_M_TYPE), 0u) << s.text << ": Simple";
    }
    EXPECT_EQ(texts, expected);
}

TEST_F(Demo, EveryListEqualsTheSystemRelations)
{
    const WsDictionary *d = wsdict_dictionary;
    EXPECT_STREQ(d->database, "DEMO");

    // Relations: name order; maximum size, location and the four figures.
    // Other tests make and drop relations of DEMO meanwhile: the lists are
    // compared from a dictionary read between two equal readings of the
    // relations (a few tries at most).
    const char *const relations_query =
        "DISPLAY %RNAME,%MAXSIZE,%DLOC,SYSINFO(%DLOC,%DNAME,'FIXED'),SYSINFO(%DLOC,%DNAME,'STRUCTURE'),"
        "SYSINFO(%DLOC,%DNAME,'REQMEM'),SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS SEQUENCE BY %RNAME";
    std::vector<Row> rels = wstest::read_full(relations_query);
    for (int tries = 0; tries < 5; tries++) {
        ASSERT_EQ(wsdict_ws_read_dictionary("DEMO"), 1);
        d = wsdict_dictionary;
        std::vector<Row> again = wstest::read_full(relations_query);
        if (again == rels)
            break;
        rels = std::move(again);
    }
    ASSERT_EQ(length(d->relations), static_cast<int>(rels.size()));
    int i = 0;
    for (const DictRelation *r = d->relations; r; r = r->next, i++) {
        EXPECT_EQ(Row({r->name, std::to_string(r->maxsize), r->location, std::to_string(r->fixed),
                       std::to_string(r->structure), std::to_string(r->reqmem), std::to_string(r->size)}),
                  rels[static_cast<size_t>(i)]);
    }
    const DictRelation *staff = obdict_ob_find_table("STAFF");
    ASSERT_NE(staff, nullptr);
    EXPECT_EQ(staff->maxsize, 500);
    EXPECT_EQ(staff->size, 120) << "SIZE is the row count";

    // Items: name order, dimensions and the variable flag.
    std::vector<Row> items =
        wstest::read_full("DISPLAY %INAME,%ALIAS,%ITYPE,%ILEN,%IFRAC,%IARR,%INDIMS FROM %ITEMS SEQUENCE BY %INAME");
    ASSERT_EQ(length(d->items), static_cast<int>(items.size()));
    i = 0;
    for (const DictItem *it = d->items; it; it = it->next, i++) {
        const long arr = it->var ? -it->array_size : it->array_size;
        EXPECT_EQ(Row({it->name, it->alias, std::to_string(it->type), std::to_string(it->length),
                       std::to_string(it->fraction), std::to_string(arr), std::to_string(it->ndims)}),
                  items[static_cast<size_t>(i)]);
    }
    const DictItem *counts = wsdict_find_item("COUNTS");
    ASSERT_NE(counts, nullptr);
    EXPECT_EQ(counts->array_size, 20);
    EXPECT_EQ(counts->var, 1);
    const DictItem *deptno = wsdict_find_item("DEPTNO");
    ASSERT_NE(deptno, nullptr);
    EXPECT_STREQ(deptno->alias, "DEPARTMENT");

    // Users in row order.
    std::vector<Row> users = wstest::read_full("DISPLAY %UNAME,%ACCESS FROM %USERS");
    std::vector<Row> got;
    for (const DictUser *u = d->users; u; u = u->next)
        got.push_back({u->name, std::to_string(u->access)});
    EXPECT_EQ(got, users);

    // Every table's columns in row order, each with its item.
    std::vector<Row> cols = wstest::read_full("DISPLAY %RNAME,%INAME,%KEY,%NULL FROM %COLS");
    got.clear();
    for (const Row &c : cols) {
        const DictColumn *col = obdict_ob_find_column(c[0].c_str(), c[1].c_str());
        ASSERT_NE(col, nullptr) << c[0] << "." << c[1];
        EXPECT_EQ(col->item, wsdict_find_item(col->name));
        ASSERT_NE(col->item, nullptr);
        got.push_back({c[0], col->name, std::to_string(col->key), std::to_string(col->null)});
    }
    EXPECT_EQ(got, cols);
    int total = 0;
    for (const DictRelation *r = d->relations; r; r = r->next)
        total += length(r->columns);
    EXPECT_EQ(total, static_cast<int>(cols.size()));
    std::vector<std::string> staff_cols;
    for (const DictColumn *c = staff->columns; c; c = c->next)
        staff_cols.push_back(c->name);
    EXPECT_EQ(staff_cols, (std::vector<std::string>{"EMPNO", "ENAME", "DEPTNO", "JOB", "SALARY", "HIRED", "AGE",
                                                     "GRADE", "FULLTIME"}));

    // Privileges: each relation's list is its rows in reverse.
    std::vector<Row> privs = wstest::read_full("DISPLAY %RNAME,%UNAME,%PRIV,%RESTRICTION FROM %PRIVS");
    std::multiset<std::string> want, have;
    for (const Row &p : privs)
        want.insert(p[0] + "|" + p[1] + "|" + p[2] + "|" + p[3]);
    for (const DictRelation *r = d->relations; r; r = r->next)
        for (const DictPriv *p = r->privs; p; p = p->next)
            have.insert(std::string(r->name) + "|" + p->user + "|" + std::to_string(p->level) + "|" +
                        p->restriction);
    EXPECT_EQ(have, want);
    const DictPriv *guest = obdict_ob_find_priv("GUEST", "STAFF");
    ASSERT_NE(guest, nullptr);
    EXPECT_EQ(guest->level, PRIV_READ);
    EXPECT_STREQ(guest->restriction, "DEPTNO=10");

    // Indexes and keys: STAFF's one index by department and name.
    std::vector<Row> idx = wstest::read_full("DISPLAY %RNAME,%XNO,%XUNIQUE,%XUPDATE FROM %INDEXES");
    ASSERT_EQ(idx.size(), 1u);
    ASSERT_NE(staff->indexes, nullptr);
    EXPECT_EQ(staff->indexes->next, nullptr);
    EXPECT_EQ(Row({staff->indexes->relation, std::to_string(staff->indexes->number),
                   std::to_string(staff->indexes->unique), std::to_string(!staff->indexes->noupdate)}),
              idx[0]);
    char keys[128];
    EXPECT_STREQ(wsdict_make_keystr(keys, sizeof keys, staff->indexes->keys), "DEPTNO, ENAME");

    // The result table's prefix and the root.
    EXPECT_EQ(text_of(d->result), print("RESULT()"));
    EXPECT_EQ(text_of(d->root), print("LOCATE('%ROOT')"));
    EXPECT_EQ(qykit::boxes().size(), 0u);
}

TEST_F(Demo, PrivilegeTestsFollowOwnThenDefaultEntries)
{
    // BRASK is the database's DBA; GUEST may only select, and reads STAFF
    // through an entry of its own and every other table through %DEFAULT.
    EXPECT_TRUE(obdict_ob_i_have_dbpriv(DBPRIV_DBA));
    EXPECT_TRUE(obdict_ob_i_have_priv_on(PRIV_OWNERSHIP, "STAFF"));
    safe_strcpy(wsdict_dictionary->user, "GUEST", 30);
    struct Case {
        int level;
        const char *table;
        int expected;
    } cases[] = {
        {PRIV_READ, "STAFF", 1},  {PRIV_APPEND, "STAFF", 0}, {PRIV_READ, "DEPT", 1},
        {PRIV_APPEND, "DEPT", 0}, {PRIV_READ, "NOSUCH", 0},  {PRIV_OWNERSHIP, wsdict_dictionary->result, 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(obdict_ob_i_have_priv_on(c.level, c.table), c.expected) << c.table << " " << c.level;
    EXPECT_FALSE(obdict_ob_i_have_dbpriv(DBPRIV_CREATE));
    EXPECT_TRUE(obdict_ob_i_have_dbpriv(DBPRIV_SELECT));
    safe_strcpy(wsdict_dictionary->user, "NOBODY", 30);
    EXPECT_FALSE(obdict_ob_i_have_dbpriv(DBPRIV_SELECT));
}

TEST_F(Demo, RereadAndClearLeaveNothingBehind)
{
    ASSERT_EQ(wsdict_ws_read_dictionary("DEMO"), 1);
    EXPECT_NE(obdict_ob_find_table("SALES"), nullptr);
    wsdict_db_open = wsdict_db_exclusive = 1;
    wsdict_ws_clear_dictionary(1);
    EXPECT_EQ(wsdict_dictionary->relations, nullptr);
    EXPECT_EQ(wsdict_dictionary->items, nullptr);
    EXPECT_EQ(wsdict_dictionary->users, nullptr);
    EXPECT_STREQ(wsdict_dictionary->database, "");
    EXPECT_STREQ(wsdict_dictionary->result, "");
    EXPECT_STREQ(wsdict_dictionary->root, "");
    EXPECT_EQ(wsdict_db_open, 0);
    EXPECT_EQ(wsdict_db_exclusive, 0);
    EXPECT_EQ(wsdict_find_item("SALARY"), nullptr);
    const DictItem *none[4];
    EXPECT_EQ(wsdict_item_index(none, 4), 0);
}

// The schema headers, compared with their golden texts; the database's
// header compiles against a stand-in of the programming interface.
TEST_F(Demo, SchemaHeadersMatchTheirGoldenTextsAndCompile)
{
    const std::string dir = vxtest::temp_dir("wsschema");
    scratch_dirs.push_back(dir);
    const std::string header = dir + "/demo.h";
    FILE *f = fopen(header.c_str(), "w");
    ASSERT_NE(f, nullptr);
    wsdict_ws_write_schema(f);
    fclose(f);
    const std::string golden = std::string(getenv("VX_SOURCE_DIR")) + "/tests/workspace/golden/";
    // Other tests' results (relations RSxx while their clients hold them)
    // are no part of DEMO's schema.
    static const std::regex result_block(R"(/\* Structure for table RS[0-9A-Z]{2}\n\*/\n(#ifndef [^\n]*\n#\tdefine [^\n]*\n#endif\n)*\n?typedef struct [^}]*\} RS[0-9A-Z]{2}_F?REC, \*RS[0-9A-Z]{2}_F?REC_PTR ;\n\n)");
    compare_golden(std::regex_replace(slurp(header), result_block, ""), golden + "demo_schema.h");

    std::ofstream(dir + "/progif.c.h") << "typedef char TSTRING; typedef int TLONG; typedef short TSHORT;\n"
                                          "typedef double TREAL; typedef struct { short y, m, d; } TDATE;\n"
                                          "typedef struct { short h, m, s; } TTIME;\n"
                                          "typedef struct { double re, im; } TCOMPLEX; typedef char TBOOL;\n"
                                          "typedef char TCHAR; typedef float TSHORTREAL;\n"
                                          "typedef unsigned char TBYTE; typedef struct { char d[36]; } TBLOB;\n"
                                          "typedef char TFLAG;\n";
    std::ofstream(dir + "/use.c") << "#define SCHEMA_USE_FLAGS\n#include \"demo.h\"\n#include \"demo.h\"\n"
                                     "STAFF_REC a; STAFF_FREC b; SPECTRA_REC_PTR c;\n"
                                     "int main(void) { return (int)sizeof a.ename + (int)sizeof b.f_salary "
                                     "+ (int)sizeof c->counts - (int)sizeof a.ename; }\n";
    vxtest::Result r = vxtest::run({VX_CC, "-std=c99", "-Wall", "-Werror", "-c", "-o", dir + "/use.o", dir + "/use.c"});
    EXPECT_EQ(r.status, 0) << r.err;

    // One query's header, with the statement texts and an unnamed column.
    EXPECT_FALSE(wstest::read_full("DISPLAY ENAME,SALARY*2,HIRED FROM STAFF").empty());
    std::vector<DozColDesc> cols = wstest::full_read().table;
    ASSERT_EQ(cols.size(), 3u);
    cols[1].name[0] = '\0';  // an unnamed column
    DozColDesc end{};
    end.type = -1;
    cols.push_back(end);
    char t1[] = "DISPLAY ENAME,SALARY*2,HIRED FROM STAFF", t2[] = "WHERE EMPNO=1001 */";
    char *texts[] = {t1, t2};
    const std::string qheader = dir + "/query.h";
    f = fopen(qheader.c_str(), "w");
    ASSERT_NE(f, nullptr);
    wsdict_ws_write_query_schema(f, texts, 2, cols.data(), 3, 1);
    fclose(f);
    compare_golden(slurp(qheader), golden + "query_schema.h");
}

// ---- scratch databases ---------------------------------------------------------------------

class Scratch : public wstest::Dictionary {
protected:
    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        start("TESTER");
        make_scratch("W");
    }
};

TEST_F(Scratch, ManyItemsAreIndexedEvery256RowsAndAllFound)
{
    // Names that mix "%", "#", digits and letters sort by their bytes.
    std::vector<std::string> names;
    for (int i = 0; i < 600; i++) {
        static const char *const shapes[] = {"A%03d", "B#%03d", "Z%03dQ", "K%03d%%X", "M%03d#"};
        char n[16];
        snprintf(n, sizeof n, shapes[i % 5], i);
        names.push_back(n);
        ok(std::string("CREATE ITEM ") + n + " AS LONG(4)");
    }
    ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1);
    int total = length(wsdict_dictionary->items);
    ASSERT_GE(total, 600);
    const DictItem *index[8];
    ASSERT_EQ(wsdict_item_index(index, 8), (total - 1) / 256 + 1);
    std::vector<const DictItem *> rows;
    for (const DictItem *it = wsdict_dictionary->items; it; it = it->next)
        rows.push_back(it);
    for (int e = 0, row = (total - 1) / 256 * 256; row >= 0; e++, row -= 256)
        EXPECT_EQ(index[e], rows[static_cast<size_t>(row)]) << "entry " << e;
    for (size_t k = 1; k < rows.size(); k++)
        EXPECT_LT(strcmp(rows[k - 1]->name, rows[k]->name), 0) << rows[k]->name;
    for (const std::string &n : names) {
        const DictItem *it = wsdict_find_item(n.c_str());
        ASSERT_NE(it, nullptr) << n;
        EXPECT_EQ(it->name, n);
    }
    EXPECT_EQ(wsdict_find_item("A0000"), nullptr);
    EXPECT_EQ(wsdict_find_item(""), nullptr);
    EXPECT_EQ(wsdict_find_item("ZZZZ"), nullptr);
}

// 1,500 columns (30 tables of 50) are more rows than the default
// announcement: the read announces what the buffer holds.
void make_wide(const std::function<void(const std::string &)> &ok)
{
    std::string cols;
    for (int c = 0; c < 50; c++) {
        ok("CREATE ITEM C" + std::to_string(c) + " AS SHORT(4)");
        cols += (c ? "," : "") + std::string("C") + std::to_string(c) + (c ? " NULL" : " PRIMARY");
    }
    for (int t = 0; t < 30; t++)
        ok("CREATE T" + std::to_string(t) + "[10] AS " + cols);
}

TEST_F(Scratch, ColumnsBeyondTheDefaultRowsAreReadWhole)
{
    make_wide([this](const std::string &t) { ok(t); });
    ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1);
    int user_columns = 0;
    for (const DictRelation *r = wsdict_dictionary->relations; r; r = r->next)
        if (r->name[0] == 'T') {
            EXPECT_EQ(length(r->columns), 50) << r->name;
            user_columns += length(r->columns);
            EXPECT_EQ(length(r->privs), 2) << r->name;
        }
    EXPECT_EQ(user_columns, 1500);
    EXPECT_EQ(qykit::boxes().size(), 0u);
}

class SmallBuffer : public wstest::Dictionary {};

TEST_F(SmallBuffer, ADictionaryTooBigForTheBufferIsReportedAndLeftEmpty)
{
    start("TESTER", 20000);
    make_scratch("S");
    make_wide([this](const std::string &t) { ok(t); });
    qykit::StderrCapture capture;
    EXPECT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 0);
    capture.stop();
    ASSERT_EQ(qykit::boxes().size(), 1u);
    EXPECT_NE(qykit::boxes()[0].text1.find("buffer"), std::string::npos) << qykit::boxes()[0].text1;
    EXPECT_EQ(wsdict_dictionary->relations, nullptr);
    EXPECT_EQ(wsdict_dictionary->items, nullptr);
    EXPECT_EQ(wsdict_dictionary->users, nullptr);
    EXPECT_EQ(wsdict_find_relation("T1"), nullptr);
    // The manager's own announcement is back to its default.
    ok("DISPLAY %INAME FROM %ITEMS");
}

TEST_F(Scratch, TheResultTableIsAppendedOnceWithFetchedItems)
{
    ok("CREATE ITEM N AS LONG(6)");
    ok("CREATE NUMS[20] AS N PRIMARY");
    ok("SELECT 1 AS N FROMVAR TO NUMS");
    ok("SELECT 2 AS N FROMVAR TO NUMS");
    ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1);
    const int before = length(wsdict_dictionary->relations);
    const int items_before = length(wsdict_dictionary->items);

    ok("SELECT N, N*2 AS TWICE FROM NUMS");
    const std::string result = wsdict_dictionary->result;
    ASSERT_EQ(wsdict_ws_read_result_into_dictionary(result.c_str()), 1);
    ASSERT_EQ(length(wsdict_dictionary->relations), before + 1);
    const DictRelation *last = wsdict_dictionary->relations;
    while (last->next)
        last = last->next;
    EXPECT_EQ(last->name, result);
    EXPECT_EQ(last->size, 2);
    std::vector<std::string> cols;
    for (const DictColumn *c = last->columns; c; c = c->next) {
        cols.push_back(c->name);
        ASSERT_NE(c->item, nullptr) << c->name;
        EXPECT_STREQ(c->item->name, c->name);
    }
    EXPECT_EQ(cols, (std::vector<std::string>{"N", "TWICE"}));
    EXPECT_EQ(length(wsdict_dictionary->items), items_before + 1) << "TWICE fetched, N shared";
    EXPECT_NE(wsdict_find_item("TWICE"), nullptr);

    qykit::StderrCapture capture;
    EXPECT_EQ(wsdict_ws_read_result_into_dictionary(result.c_str()), 0);
    EXPECT_EQ(capture.stop(), "Warning! WsDict. Result table already in dictionary\n");
    EXPECT_EQ(length(wsdict_dictionary->relations), before + 1);

    // The result form of the key question.
    ok("SELECT N FROM NUMS TO RSLTX");
    ok("CREATE INDEX RSLTX BY N DESC");
    DictKey *keys = wsdict_ws_read_index_keys("RSLTX", 1);
    ASSERT_NE(keys, nullptr);
    EXPECT_STREQ(keys->name, "N");
    EXPECT_EQ(keys->ascending, 0);
    EXPECT_EQ(keys->next, nullptr);
    wsdict_free_keys(keys);
    EXPECT_EQ(qykit::sent().back().text,
              "DISPLAY %INAME,%KNO,%KASC,%KNATIVE FROM %KEYS \t\t\tWHERE %RNAME=RESULT()+'X' AND %XNO=1");
    EXPECT_EQ(wsdict_ws_read_index_keys("NUMS", 1), nullptr);
}

TEST_F(Scratch, DefaultPrivilegesOnlyWhenTheDatabaseHoldsNone)
{
    ok("CREATE ITEM N AS LONG(6)");
    ok("CREATE P1[20] AS N PRIMARY");
    ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1);
    DictRelation *p1 = obdict_ob_find_table("P1");
    ASSERT_NE(p1, nullptr);
    const DictPriv *held = p1->privs;
    EXPECT_EQ(obdict_ob_create_default_privs(p1), 0);
    EXPECT_EQ(p1->privs, held);

    ok("GRANT 'DEFAULT' TO %DEFAULT ON P1");
    ok("GRANT 'DEFAULT' TO TESTER ON P1");
    EXPECT_FALSE(qychk_privs_exist("P1"));
    safe_strcpy(wsdict_sysvars.dpriv, "WRITE", 11);
    ASSERT_EQ(obdict_ob_create_default_privs(p1), 1);
    ASSERT_NE(p1->privs, nullptr);
    EXPECT_STREQ(p1->privs->user, "%DEFAULT");
    EXPECT_EQ(p1->privs->level, PRIV_WRITE);
    ASSERT_NE(p1->privs->next, nullptr);
    EXPECT_STREQ(p1->privs->next->user, "TESTER");
    EXPECT_EQ(p1->privs->next->level, PRIV_OWNERSHIP);
    EXPECT_EQ(p1->privs->next->next, nullptr);
}

// Start-up: the manager writes the user and the interpreter's revision
// into the dictionary, and its SETs carry the dictionary's values.
class Startup : public wstest::Dictionary {};

TEST_F(Startup, TheManagerFillsTheDictionaryAndSendsItsValues)
{
    ad.dateInputFormat = const_cast<char *>("%Y-%m-%d");
    start("TESTER");
    EXPECT_STREQ(wsdict_dictionary->user, "TESTER");
    EXPECT_GE(wsdict_dictionary->revision, 3.0f);
    EXPECT_EQ(wsdict_sysvars.lockwait, -1);
    EXPECT_STREQ(wsdict_sysvars.dpriv, "READ");
    EXPECT_STREQ(wsdict_sysvars.dateinput, "%Y-%m-%d");
    std::vector<std::string> sets;
    for (const qykit::Sent &s : qykit::sent())
        if (s.text.rfind("SET ", 0) == 0)
            sets.push_back(s.text);
    EXPECT_EQ(sets, (std::vector<std::string>{"SET %UNIQUE FALSE", "SET %LOCKWAIT -1", "SET %DPRIV 'READ'",
                                              "SET %DATEINPUT '%Y-%m-%d'", "SET %OVERWRITE FALSE",
                                              "SET %WRITECHECK 0", "SET %NLSRADIX FALSE"}));
}

}  // namespace
