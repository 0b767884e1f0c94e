// The database commands' statements, the configuration value's order and
// the Database and View panes' sensitivity rules, as pure functions.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The longest statement the commands send (the interpreter reads at most
// this many characters of a command text of theirs).  Longer ones are
// refused, never cut.
inline constexpr std::size_t MNDB_STATEMENT_MAX = 255;

// The built-in user; also its password.
inline constexpr const char *MNDB_DEFAULT_USER = "BRASK";

// A text between single quotes with every quote inside doubled.
std::string mndb_quoted(const std::string &text);

// "SET %PASS 'password'".
std::string mndb_pass_statement(const std::string &password);
// "OPEN name word" or "OPEN name word ON 'location'"; the word is empty
// for mode 0, "EXCLUSIVE" for 1, "FORCED" for 2.
std::string mndb_open_statement(const std::string &name, int mode, const std::string &location);
// "OPEN name EXCLUSIVE" with " ON 'location'" when a location is given.
std::string mndb_open_exclusive_statement(const std::string &name, const std::string &location);
// "CREATE DATABASE name ON 'location'"; an empty location is "./".
std::string mndb_create_statement(const std::string &name, const std::string &location);
// One "DROP table" per table, in order, leaving out names beginning with "%".
std::vector<std::string> mndb_drop_table_statements(const std::vector<std::string> &tables);
std::string mndb_drop_database_statement(const std::string &name);

// Whether a statement may be sent.
inline bool mndb_statement_fits(const std::string &statement) { return statement.size() <= MNDB_STATEMENT_MAX; }

// <installation directory>/etc/tables/<database>.<user>
std::string mndb_table_list_path(const std::string &install_dir, const std::string &database,
                                 const std::string &user);

// ---- the configuration value --------------------------------------------------------

inline constexpr int MNDB_CONFIG_COUNT = 17;
// The out-parameters of the configuration read, flattened in its parameter
// order (memory size, posting size, locks, the eight limits, the six index
// wishes).
struct MndbConfigRead {
    int memsize, postsize, locks_off;
    int limits[8];
    int indexed[6];
};
// The read's parameters into the dialog's 17 integers.
void mndb_config_from_read(const MndbConfigRead &read, int value[MNDB_CONFIG_COUNT]);
// The dialog's integers as the two configure calls take them.
struct MndbConfigWrite {
    int sizes[7];
    int wishes[6];
    int memsize, postsize, locks_choice, maxfiles;
};
MndbConfigWrite mndb_config_to_write(const int value[MNDB_CONFIG_COUNT]);

// ---- sensitivity ------------------------------------------------------------------

struct MndbSensState {
    bool open;          // a database is open
    bool exclusive;     // opened exclusively
    bool default_user;  // the dictionary's user is the built-in one
    bool dbpriv;        // the user holds database privilege level 2
};
struct MndbSensRule {
    const char *item;  // the item's handle name
    bool (*sensitive)(const MndbSensState &);
};
// The Database pane's rules (Change password only without `nochangepass`)
// and the View pane's, popup Reread included.
extern const MndbSensRule mndb_dbase_rules[];
extern const std::size_t mndb_dbase_rule_count;
extern const MndbSensRule mndb_view_rules[];
extern const std::size_t mndb_view_rule_count;
// The rule of one item of either table; null when the item is always
// sensitive.
const MndbSensRule *mndb_sens_rule(const char *item);

// ---- view options -------------------------------------------------------------------

// The four flags of the view options, in the dialog's order.
struct MnqOptions {
    int show_table_info, show_index_info, show_sample_data, show_system_tables;
};
// What applying new view options does beyond copying the flags: the
// indexed columns marked (show index info turned on), the system tables'
// objects made (+1) or taken away (-1).  Nothing while no database is open.
struct MnqOptionChange {
    bool mark_indexed;
    int system_tables;
};
MnqOptionChange mnqview_option_change(const MnqOptions &before, const MnqOptions &after, bool db_open);
// The options the query objects take: table info, index info and system
// tables from `after`; the sample-data flag stays as it was.
MnqOptions mnqview_applied_options(const MnqOptions &before, const MnqOptions &after);
