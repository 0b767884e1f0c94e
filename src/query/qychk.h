// Query checks: the small conversations with the interpreter that other
// parts need (is a text a valid expression, sort, join, group, statistic
// or condition; is a name reserved; how many rows has a table; do its
// privileges exist; the user and database names; the database's and the
// system dictionary's configuration), and the user's shell, TSL and DOZ
// commands.  Every statement goes through qymgr_qy_query; none longer than
// QYCHK_MAX_STATEMENT characters is ever sent.
#pragma once

inline constexpr int QYCHK_MAX_STATEMENT = 6000;

// ---- error ignoring ------------------------------------------------------------

// Three lists in a row, each ended by 0: query codes, database codes,
// filer codes (at most 10 each).  Installs the filter that accepts those
// errors: the query then counts as ok and is not reported.
void qychk_ignore(int first, ...);
void qychk_unignore();

// ---- checks (nothing is run: the no-evaluation mode) -----------------------------

int qychk_qy_check_expression(const char *text);
int qychk_qy_check_sort(const char *text);
int qychk_qy_check_join(const char *text);
int qychk_qy_check_group(const char *text);
int qychk_qy_check_condition(const char *text);
int qy_check_restriction(const char *table, const char *text);
// 1 when the name is free for a table (not reserved).
int qychk_qy_check_reserved(const char *name);
// 1 when the name is reserved as a column name (a word of the language,
// a system variable or a function).
int qy_check_reserved_col(const char *name);
int qychk_qy_check_statistic(const char *text);

// ---- dictionary questions ----------------------------------------------------------

// The table's rows, or -1 when the question failed.
int qychk_table_rows(const char *name);
int qychk_table_has_data(const char *name);
int qychk_result_exists();
int qychk_privs_exist(const char *table);
// `user` gets at most 30 characters and `database` 8 (both empty on failure).
void qychk_qy_get_user_and_db_names(char *user, char *database);

// The database's configuration: memory size, default post size, whether
// file locks are off, the limits of the eight dictionary files (m, r, i,
// c, x, k, u, p) and whether %RELATNS, %ITEMS, %COLS, %INDEXES, %KEYS and
// %PRIVS are indexed.  A question that fails leaves its outputs alone.
// 1 when both the settings and the limits were read, else 0.
int qychk_qy_get_config(const char *database, int *memsize, int *postsize, int *locks_off, int limits[8],
                         int indexed[6]);
// Sizes of %RELATNS, %ITEMS, %COLS, %INDEXES, %KEYS, %USERS, %PRIVS; the
// wished indexes of the six in the order above.
void qychk_qy_configure_dictionary(const int sizes[7], const int wishes[6]);
void qychk_qy_configure_database(const char *database, int memsize, int postsize, int locks_choice, int maxfiles);

// ---- commands ------------------------------------------------------------------------

void qychk_qy_set_tsl_dateformats(const char *input, const char *output);
// Runs a user command: "!" through the shell, "&" a TSL script, anything
// else as DOZ text.  1 when the dictionary must be read again.
int qychk_qy_run_command(const char *command, const char *table, const char *column);
// Called with 0 before a TSL script runs and 1 after: the menus go
// insensitive meanwhile.
void qychk_set_menu_hook(void (*proc)(int sensitive));
