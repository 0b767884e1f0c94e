// The query window's database and query dialogs built on the kit: open
// database (24), configuration (25), password (26), name prompt (7), file
// selection (4), function picker (6), view options (27), table list (28),
// query target (29) and DOZ text (30).  Each initialiser
// fills its slot of `dlmain_dialogs`; the value records below belong to
// the clients that open the dialogs.
#pragma once

#include "dlmain.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// ---- value records ----------------------------------------------------------------

// Dialog 24: the database list file and the chosen database.
struct DbListValue {
    char path[255];      // the list file the interpreter wrote
    char name[9];        // database name, at most 8 characters
    char location[124];  // location, at most 120 characters typed
    int32_t mode;        // 0 shared, 1 exclusive, 2 forced
};
static_assert(offsetof(DbListValue, name) == 255);
static_assert(offsetof(DbListValue, location) == 264);
static_assert(offsetof(DbListValue, mode) == 388);
static_assert(sizeof(DbListValue) == 392);

// Dialog 25: a database's configuration, 17 integers in this order.
enum DbConfigField {
    DBC_POST,      // default posting size
    DBC_MEM,       // memory size
    DBC_LOCKUNIT,  // 1 record, 0 file
    DBC_FILES,
    DBC_TABLES,
    DBC_ITEMS,
    DBC_COLS,
    DBC_PRIVS,
    DBC_USERS,
    DBC_INDEXES,
    DBC_KEYS,
    DBC_XTABLES,  // system indexes, 0 or 1
    DBC_XITEMS,
    DBC_XCOLS,
    DBC_XPRIVS,
    DBC_XINDEXES,
    DBC_XKEYS,
    DBC_NFIELDS
};
struct DbConfigValue {
    int32_t field[DBC_NFIELDS];
};
static_assert(sizeof(DbConfigValue) == 17 * 4);

// Dialog 26: a password of at most 10 characters.
inline constexpr int DL_PASSWORD_MAX = 10;
using PasswordValue = char[DL_PASSWORD_MAX + 1];

// Dialog 29: where the results of the next queries go.
enum { TARGET_DISPLAY = 1, TARGET_RESULT = 2, TARGET_TABLE = 3, TARGET_PIPE = 4 };
struct TargetValue {
    int32_t target;
    char table[9];
    char command[129];
    char result[130];
    int32_t overwrite;
    int32_t remove_duplicates;
};
static_assert(offsetof(TargetValue, table) == 4);
static_assert(offsetof(TargetValue, command) == 13);
static_assert(offsetof(TargetValue, result) == 142);
static_assert(offsetof(TargetValue, overwrite) == 272);
static_assert(offsetof(TargetValue, remove_duplicates) == 276);

// Dialog 30: one statement.
inline constexpr int DL_DOZ_MAX = 6000;
using DozValue = char[DL_DOZ_MAX + 1];

// Dialog 6: the functions file (filled once) and a function name.
struct FuncValue {
    char path[256];
    char name[13];  // at most 12 characters
};
static_assert(offsetof(FuncValue, name) == 256);
static_assert(sizeof(FuncValue) == 269);

// Dialog 27: the workspace view options.  The dialog shows the first,
// second and fourth; the sample-data flag passes through untouched.
struct ViewOptionsValue {
    int32_t show_table_info;
    int32_t show_index_info;
    int32_t show_sample_data;
    int32_t show_system_tables;
};
static_assert(offsetof(ViewOptionsValue, show_sample_data) == 8);
static_assert(sizeof(ViewOptionsValue) == 16);

// Dialog 28: the full path of the table list file.
using TablesValue = char[256];

// ---- initialisers --------------------------------------------------------------------

void dlfile_initialise_file_dialog(DialogRecord *rec);              // 4
void dlfunc_initialise_function_dialog(DialogRecord *rec);          // 6
void dlname_initialise_name_dialog(DialogRecord *rec);              // 7
void dldblst_initialise_database_list_dialog(DialogRecord *rec);    // 24
void dldblst_initialise_database_config_dialog(DialogRecord *rec);  // 25
void dlpwd_initialise_password_dialog(DialogRecord *rec);           // 26
void dlvopt_initialise_view_options_dialog(DialogRecord *rec);      // 27
void dltlist_initialise_set_tables_dialog(DialogRecord *rec);       // 28
void dltarget_initialise_target_dialog(DialogRecord *rec);          // 29
void dltql_initialise_doz_dialog(DialogRecord *rec);                // 30

// ---- the pure parts, for their tests ----------------------------------------------------

// The database list file: whitespace-separated words in pairs (name,
// location), at most `max_pairs` pairs, each word cut at 511 characters;
// a last word without its partner is dropped.  False when the file cannot
// be opened.
inline constexpr int DL_DBLIST_MAX = 100;
bool dldblst_read_list(const char *path, std::vector<std::pair<std::string, std::string>> &pairs,
                       size_t max_pairs = DL_DBLIST_MAX);
// A list item: the name in eight columns, three blanks, the location.
std::string dldblst_item_text(const std::string &name, const std::string &location);
// An item's first and second blank-separated words; false without a second.
bool dldblst_split_item(const std::string &item, std::string &name, std::string &location);

// A change of the password field as the modify-verify callback sees it.
struct PwdChange {
    bool activate = false;   // the change comes from Return
    bool field_empty = false;
    long start = 0, end = 0;  // the replaced range, in characters
    long insert_at = 0;       // the insertion position, in characters
    const char *text = nullptr;  // the inserted bytes (none: nothing inserted)
    int length = 0;              // their length in bytes
};
struct PwdResult {
    bool accept = true;
    bool bell = false;
    std::string held;   // the held password after the change
    std::string shown;  // what the field inserts in place of the text
};
// The masking of the password field: single characters are typed, more
// than one at once (a paste) is refused, the held text follows every
// accepted change, and a text of more than 10 characters is refused.
PwdResult dlpwd_mask(const std::string &held, const PwdChange &change);

