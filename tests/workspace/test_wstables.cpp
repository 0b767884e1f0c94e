// The table list file against a dictionary built in memory: reading with
// and without the check, reconciliation, the result tables, creating,
// writing, adding, deleting and renaming, and lines that cannot be read.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "obdict.h"
#include "wstables.h"

#include "vxtest.h"
#include "vxutil.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TableList : public ::testing::Test {
protected:
    std::string dir, path;

    void SetUp() override
    {
        wsdict_ws_init_dictionary();
        safe_strcpy(wsdict_dictionary->user, "ME", 30);
        safe_strcpy(wsdict_dictionary->result, "RS1F", 8);
        dir = vxtest::temp_dir("wstables");
        path = dir + "/DB.ME";
        wsobj_ws_set_table_list_file(path.c_str());
        ObUserData u{};
        safe_strcpy(u.name, "ME", 31);
        u.level = DBPRIV_SELECT;
        obdict_ob_create_user(&u);
    }
    void TearDown() override
    {
        wsdict_ws_clear_dictionary(0);
        std::filesystem::remove_all(dir);
    }
    // A relation, with my privilege level on it (-1: no entry).
    void table(const char *name, int level = PRIV_READ)
    {
        ObTableData t{};
        safe_strcpy(t.name, name, 8);
        obdict_ob_create_table(&t);
        if (level >= 0) {
            ObPrivilegeData p{};
            safe_strcpy(p.user, "ME", 30);
            safe_strcpy(p.table, name, 8);
            p.level = level;
            obdict_ob_create_priv(&p);
        }
    }
    void file(const std::string &text) { std::ofstream(path) << text; }
    std::string list()
    {
        int n = 0;
        const TableListEntry *e = wsobj_ws_table_list(&n);
        std::string s;
        for (int i = 0; i < n; i++)
            s += std::string(e[i].name) + (e[i].shown ? "+ " : "- ");
        return s;
    }
};

// The file is the user's own: others read it, under any mask none writes it.
TEST_F(TableList, AMissingFileIsCreatedFromTheDictionaryWithMode0644)
{
    for (const char *t : {"%RELATNS", "ALPHA", "RS2A", "TMP01", "RS1FX"})
        table(t);
    table("HIDDEN", PRIV_NONE);
    table("NOENTRY", -1);
    mode_t old = umask(0);
    wsobj_ws_read_table_list(0);
    umask(old);
    EXPECT_EQ(slurp(path), "ALPHA 1\nRS1FX 1\nHIDDEN 0\nNOENTRY 0\n");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(list(), "ALPHA+ RS1FX+ HIDDEN- NOENTRY- ");
    EXPECT_EQ(ws_get_num_displayed_tables(), 4);
}

TEST_F(TableList, TheCheckDropsAndAddsAndRewritesInOrder)
{
    table("A");
    table("B");
    table("C");
    table("D");
    table("SECRET", PRIV_NONE);
    table("RS1FAB");
    file("B 1\nGONE 1\nRS2A 1\nSECRET 1\nA 0\n");
    wsobj_ws_read_table_list(1);
    // C and D are new: at the front, in dictionary order; the own result
    // table is called RSLT..; unknown and unpermitted tables are gone.
    EXPECT_EQ(list(), "C+ D+ RSLTAB+ B+ A- ");
    EXPECT_EQ(slurp(path), "C 1\nD 1\nRSLTAB 1\nB 1\nA 0\n");
    EXPECT_NE(obdict_ob_find_table("RSLTAB"), nullptr);
    EXPECT_EQ(obdict_ob_find_table("RS1FAB"), nullptr);
}

TEST_F(TableList, EdgesOfReading)
{
    table("A");
    table("B");
    struct Case {
        const char *what;
        const char *text;
        int check;
        const char *list;
        const char *file_after;  // null: the file is left as it was
        const char *err;
    } cases[] = {
        {"another connection's result table is dropped silently", "A 1\nRS2A 1\nB 0\n", 0, "A+ B- ", nullptr, ""},
        {"the own result table stays", "RS1F 1\nA 1\n", 0, "RS1F+ A+ ", nullptr, ""},
        {"without the check nothing is compared", "GONE 1\nA 1\n", 0, "GONE+ A+ ", nullptr, ""},
        {"a dictionary table missing from the file", "A 1\n", 1, "B+ A+ ", "B 1\nA 1\n", ""},
        {"a name over 11 characters", "TWELVECHARSX 1\nA 1\nB 1\n", 0, "A+ B+ ", "A 1\nB 1\n",
         "Warning! WsMgr. Failed to read table list\n"},
        {"malformed lines", "A\nB x\nA 1 2\n\nB 0\n", 0, "B- ", "B 0\n",
         "Warning! WsMgr. Failed to read table list\n"},
        {"other whitespace and line ends", "  A\t1\r\nB 0", 0, "A+ B- ", nullptr, ""},
    };
    for (const Case &c : cases) {
        file(c.text);
        testing::internal::CaptureStderr();
        wsobj_ws_read_table_list(c.check);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err) << c.what;
        EXPECT_EQ(list(), c.list) << c.what;
        EXPECT_EQ(slurp(path), c.file_after ? c.file_after : c.text) << c.what;
    }
}

TEST_F(TableList, AnUnreadableFileIsReportedAndLeavesTheListEmpty)
{
    table("A");
    wsobj_ws_set_table_list_file((dir + "/no/such/dir/DB.ME").c_str());
    testing::internal::CaptureStderr();
    wsobj_ws_read_table_list(1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error! WsMgr. Failed to create table list\nWarning! WsMgr. Failed to read table list\n");
    EXPECT_EQ(list(), "");
    testing::internal::CaptureStderr();
    wsobj_ws_write_table_list();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning! WsMgr. Table list file could not be written\n");
}

TEST_F(TableList, AddDeleteAndRenameRewriteTheFile)
{
    for (const char *t : {"A", "B", "C", "D"})
        table(t);
    file("A 1\nB 1\nC 0\n");
    wsobj_ws_read_table_list(0);

    struct Step {
        const char *what;
        std::function<void()> run;
        const char *file;
    } steps[] = {
        {"after a shown table", [] { wsobj_ws_add_table_to_list("D", "A"); }, "A 1\nD 1\nB 1\nC 0\n"},
        {"at the front", [] { wsobj_ws_add_table_to_list("E", nullptr); }, "E 1\nA 1\nD 1\nB 1\nC 0\n"},
        {"after a hidden or unknown one: nothing", [] { wsobj_ws_add_table_to_list("F", "C"); },
         "E 1\nA 1\nD 1\nB 1\nC 0\n"},
        {"a result table is never added", [] { wsobj_ws_add_table_to_list("RSLTQ", nullptr); },
         "E 1\nA 1\nD 1\nB 1\nC 0\n"},
        {"delete", [] { wsobj_ws_delete_table_from_list("A"); }, "E 1\nD 1\nB 1\nC 0\n"},
        {"rename", [] { wsobj_ws_rename_table_on_list("D", "DD"); }, "E 1\nDD 1\nB 1\nC 0\n"},
        {"rename from the result table adds at the front", [] { wsobj_ws_rename_table_on_list("RSLT", "KEPT"); },
         "KEPT 1\nE 1\nDD 1\nB 1\nC 0\n"},
        {"rename to a result table deletes", [] { wsobj_ws_rename_table_on_list("E", "RS1FZ"); },
         "KEPT 1\nDD 1\nB 1\nC 0\n"},
    };
    for (const Step &s : steps) {
        s.run();
        EXPECT_EQ(slurp(path), s.file) << s.what;
    }
    DictRelation *r = nullptr;
    EXPECT_NE(wsobj_ws_get_table_name(2, &r), nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->name, "B");
    EXPECT_EQ(wsobj_ws_get_table_name(0, &r), nullptr) << "KEPT is not in the dictionary";
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(wsobj_ws_get_table_name(3, &r), nullptr) << "C is hidden";
    EXPECT_EQ(wsobj_ws_get_table_name(4, &r), nullptr);
    EXPECT_EQ(wsobj_ws_get_table_name(-1, &r), nullptr);
}

TEST_F(TableList, OnlyHiddenTablesGiveOnlyZeroLines)
{
    table("A");
    table("B");
    file("A 0\nB 0\n");
    wsobj_ws_read_table_list(0);
    wsobj_ws_write_table_list();
    EXPECT_EQ(slurp(path), "A 0\nB 0\n");
}

}  // namespace

namespace {

// Names with "#" and "%", several dimensions and variable length: the
// header still compiles.
TEST_F(TableList, SchemaNamesAreCleanedAndTheHeaderCompiles)
{
    table("#T%1");
    ObColumnData c{};
    safe_strcpy(c.table, "#T%1", 21);
    safe_strcpy(c.name, "#G%R", 21);
    c.type = 3;
    c.length = 8;
    c.array_size = 6;
    c.ndims = 2;
    c.dims[0] = 2;
    c.dims[1] = 3;
    obdict_ob_create_column(&c);
    safe_strcpy(c.name, "V", 21);
    c.type = 1;
    c.array_size = 5;
    c.var = 1;
    c.ndims = 1;
    c.dims[0] = 5;
    c.null = 1;
    obdict_ob_create_column(&c);
    safe_strcpy(wsdict_dictionary->database, "D#1", 8);

    const std::string header = dir + "/s.h";
    FILE *f = fopen(header.c_str(), "w");
    ASSERT_NE(f, nullptr);
    wsdict_ws_write_schema(f);
    fclose(f);
    const std::string text = slurp(header);
    for (const char *want : {"#\tdefine XG_R_DIM_1_SIZE\t2\n", "#\tdefine XG_R_DIM_2_SIZE\t3\n",
                             "typedef struct a_xt_1_struct {\n", "  TREAL xg_r[XG_R_DIM_1_SIZE][XG_R_DIM_2_SIZE] ;\n",
                             "  TLONG l_v ;\t/* Actual length of v */\n", "  TLONG v[V_ARRAY_SIZE] ;\t/* Allows NULL */\n",
                             "} XT_1_REC, *XT_1_REC_PTR ;\n", "  TFLAG f_xg_r ;\n", "} XT_1_FREC, *XT_1_FREC_PTR ;\n"})
        EXPECT_NE(text.find(want), std::string::npos) << want << " in\n" << text;

    std::ofstream(dir + "/progif.c.h") << "typedef double TREAL; typedef int TLONG; typedef char TFLAG;\n";
    std::ofstream(dir + "/use.c") << "#define SCHEMA_USE_FLAGS\n#include \"s.h\"\n"
                                     "XT_1_FREC r;\nint main(void) { return sizeof r.xg_r == 6 * sizeof(double) ? 0 : 1; }\n";
    vxtest::Result cc = vxtest::run({VX_CC, "-std=c99", "-Wall", "-Werror", "-o", dir + "/use", dir + "/use.c"});
    ASSERT_EQ(cc.status, 0) << cc.err;
    EXPECT_EQ(vxtest::run({dir + "/use"}).status, 0);
}

}  // namespace
