// The database commands' statements, the configuration order and the
// pane sensitivity rules.
#include "mndbstmt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct StatementCase {
    const char *what;
    std::string got;
    const char *want;
};

TEST(MndbStatements, TextsAsTheInterpreterReceivesThem)
{
    const StatementCase cases[] = {
        {"shared, no location: trailing blank", mndb_open_statement("TALMO", 0, ""), "OPEN TALMO "},
        {"exclusive with location", mndb_open_statement("DEMO", 1, "/data/db"), "OPEN DEMO EXCLUSIVE ON '/data/db'"},
        {"forced with location", mndb_open_statement("DEMO", 2, "/d"), "OPEN DEMO FORCED ON '/d'"},
        {"forced, no location", mndb_open_statement("DEMO", 2, ""), "OPEN DEMO FORCED"},
        {"unknown mode opens shared", mndb_open_statement("DEMO", 7, ""), "OPEN DEMO "},
        {"location holding quotes", mndb_open_statement("D", 0, "/tmp/o'b'"), "OPEN D  ON '/tmp/o''b'''"},
        {"location closing the quote early", mndb_open_statement("D", 1, "x' FORCED '"),
         "OPEN D EXCLUSIVE ON 'x'' FORCED '''"},
        {"password", mndb_pass_statement("SECRET"), "SET %PASS 'SECRET'"},
        {"password with quotes", mndb_pass_statement("a'b''"), "SET %PASS 'a''b'''''"},
        {"empty password", mndb_pass_statement(""), "SET %PASS ''"},
        {"configure open with location", mndb_open_exclusive_statement("S", "/l"), "OPEN S EXCLUSIVE ON '/l'"},
        {"configure open without", mndb_open_exclusive_statement("S", ""), "OPEN S EXCLUSIVE"},
        {"build with empty location", mndb_create_statement("SCRATCH", ""), "CREATE DATABASE SCRATCH ON './'"},
        {"build with location", mndb_create_statement("S", "/tmp/it's"), "CREATE DATABASE S ON '/tmp/it''s'"},
        {"drop database", mndb_drop_database_statement("S"), "DROP DATABASE S"},
        {"table-list file", mndb_table_list_path("/opt/vx", "DEMO", "GUEST"), "/opt/vx/etc/tables/DEMO.GUEST"},
    };
    for (const StatementCase &c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(MndbStatements, DropsNoSystemTablesAndKeepsOrder)
{
    EXPECT_EQ(mndb_drop_table_statements({"ORDERS", "%RELATNS", "ITEMS", "%USERS", "A%B"}),
              (std::vector<std::string>{"DROP ORDERS", "DROP ITEMS", "DROP A%B"}));
    EXPECT_TRUE(mndb_drop_table_statements({"%ITEMS", ""}).empty());
}

TEST(MndbStatements, LengthLimitRefusesWhatWouldBeCut)
{
    // A location typed up to the dialog's limit, each character a quote,
    // doubles past what the interpreter takes.
    std::string loc(120, '\'');
    std::string s = mndb_open_statement("ABCDEFGH", 2, loc);
    EXPECT_FALSE(mndb_statement_fits(s));
    EXPECT_EQ(s.size(), std::string("OPEN ABCDEFGH FORCED ON ''").size() + 240);
    EXPECT_TRUE(mndb_statement_fits(std::string(MNDB_STATEMENT_MAX, 'x')));
    EXPECT_FALSE(mndb_statement_fits(std::string(MNDB_STATEMENT_MAX + 1, 'x')));
    EXPECT_TRUE(mndb_statement_fits(mndb_open_statement("ABCDEFGH", 2, std::string(120, 'a'))));
}

TEST(MndbConfig, ReadLandsInTheDialogOrderAndWritesBack)
{
    MndbConfigRead r{};
    r.memsize = 100;
    r.postsize = 101;
    r.locks_off = 102;
    for (int i = 0; i < 8; i++)
        r.limits[i] = 103 + i;
    for (int i = 0; i < 6; i++)
        r.indexed[i] = 111 + i;
    int v[MNDB_CONFIG_COUNT];
    for (int &x : v)
        x = -1;
    mndb_config_from_read(r, v);
    // value index <- out-parameter number (100 + k)
    const int want[MNDB_CONFIG_COUNT] = {101, 100, 102, 103, 104, 105, 106, 110, 109,
                                         107, 108, 111, 112, 113, 116, 114, 115};
    for (int i = 0; i < MNDB_CONFIG_COUNT; i++)
        EXPECT_EQ(v[i], want[i]) << "value " << i;

    // The write side takes integers 4,5,6,9,10,8,7 / 11,12,13,15,16,14 / 1,0,2,3.
    int val[MNDB_CONFIG_COUNT];
    for (int i = 0; i < MNDB_CONFIG_COUNT; i++)
        val[i] = i;
    MndbConfigWrite w = mndb_config_to_write(val);
    EXPECT_EQ(std::vector<int>(w.sizes, w.sizes + 7), (std::vector<int>{4, 5, 6, 9, 10, 8, 7}));
    EXPECT_EQ(std::vector<int>(w.wishes, w.wishes + 6), (std::vector<int>{11, 12, 13, 15, 16, 14}));
    EXPECT_EQ(w.memsize, 1);
    EXPECT_EQ(w.postsize, 0);
    EXPECT_EQ(w.locks_choice, 2);
    EXPECT_EQ(w.maxfiles, 3);

    // Read then write gives back the read's limits and wishes where the
    // configure calls take them (limits 1..7 are the dictionary sizes).
    MndbConfigWrite back = mndb_config_to_write(v);
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(back.sizes[i], r.limits[i + 1]) << "size " << i;
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(back.wishes[i], r.indexed[i]) << "wish " << i;
    EXPECT_EQ(back.memsize, r.memsize);
    EXPECT_EQ(back.postsize, r.postsize);
    EXPECT_EQ(back.locks_choice, r.locks_off);
    EXPECT_EQ(back.maxfiles, r.limits[0]);
}

TEST(MndbSensitivity, EveryStateAgainstEveryRule)
{
    struct Row {
        MndbSensState s;
        // close build conf drop pass schema reread popup-reread tables
        const char *want;
    };
    const Row rows[] = {
        {{false, false, false, false}, "011000000"},
        {{false, false, true, true}, "011000000"},
        {{true, false, true, true}, "100001111"},   // shared, BRASK: no password change, no drop
        {{true, false, false, true}, "100011111"},  // shared, other user
        {{true, true, false, false}, "100011111"},  // exclusive without privilege
        {{true, true, false, true}, "100111111"},   // exclusive with privilege
        {{true, true, true, true}, "100101111"},
    };
    const char *items[] = {"dbase_close_b", "dbase_build_b",  "dbase_conf_b",  "dbase_delete_b",   "dbase_pass_b",
                           "dbase_schema_b", "view_reread_b", "popup_reread_b", "view_set_tables_b"};
    for (const Row &r : rows)
        for (int i = 0; i < 9; i++) {
            const MndbSensRule *rule = mndb_sens_rule(items[i]);
            ASSERT_NE(rule, nullptr) << items[i];
            EXPECT_EQ(rule->sensitive(r.s), r.want[i] == '1') << items[i] << " row " << r.want;
        }
    EXPECT_EQ(mndb_sens_rule("dbase_open_b"), nullptr);
    EXPECT_EQ(mndb_dbase_rule_count + mndb_view_rule_count, 9u);
}

TEST(MnqviewOptions, ChangesActOnlyOnTurnsWithADatabaseOpen)
{
    struct Case {
        MnqOptions before, after;
        bool open;
        bool mark;
        int system;
    } cases[] = {
        {{0, 0, 0, 0}, {0, 1, 0, 0}, true, true, 0},
        {{0, 1, 0, 0}, {0, 1, 0, 0}, true, false, 0},  // stays on: no second marking
        {{0, 1, 0, 0}, {0, 0, 0, 0}, true, false, 0},
        {{0, 0, 0, 0}, {0, 0, 0, 1}, true, false, 1},
        {{0, 0, 0, 1}, {0, 0, 0, 0}, true, false, -1},
        {{0, 0, 0, 1}, {1, 1, 1, 1}, true, true, 0},
        {{0, 0, 0, 0}, {1, 1, 1, 1}, false, false, 0},  // nothing to show without a database
        {{0, 1, 0, 1}, {0, 0, 0, 0}, false, false, 0},
    };
    for (const Case &c : cases) {
        MnqOptionChange ch = mnqview_option_change(c.before, c.after, c.open);
        EXPECT_EQ(ch.mark_indexed, c.mark);
        EXPECT_EQ(ch.system_tables, c.system);
    }
    // The flags are copied whether a database is open or not; sample data
    // is the dialog's own.
    MnqOptions applied = mnqview_applied_options({0, 0, 1, 0}, {1, 1, 0, 1});
    EXPECT_EQ(applied.show_table_info, 1);
    EXPECT_EQ(applied.show_index_info, 1);
    EXPECT_EQ(applied.show_system_tables, 1);
    EXPECT_EQ(applied.show_sample_data, 1);
}

}  // namespace
