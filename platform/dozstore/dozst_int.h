// Internals of the storage shared by its source files.
#pragma once

#include "dozstore.h"

#include <sqlite3.h>

#include <map>
#include <memory>
#include <set>
#include <string>

namespace dozstore {

inline constexpr const char *DB_FILE = "doz.sqlite";
inline constexpr const char *OPEN_LOCK = "open.lock";
inline constexpr const char *FORCED_LOCK = "forced.lock";
inline constexpr int FORMAT = 1;
inline constexpr int MAX_DB_NAME = 8;
inline constexpr int MAX_TABLE_NAME = 8;
inline constexpr int MAX_ITEM_NAME = 12;
inline constexpr int MAX_USER_NAME = 30;
inline constexpr int MAX_PASSWORD = 10;
inline constexpr int MAX_LOCATION = 120;
inline constexpr int MAX_TABLE_LOCATION = 19;
inline constexpr int MAX_INDEX_LOCATION = 16;
inline constexpr int MAX_RESTRICTION = 81;
inline constexpr int MAX_DIMS = 8;
inline constexpr const char *DEFAULT_USER = "%DEFAULT";

inline Fault db_fault(int code, std::string detail = {})
{
    Fault f;
    f.database = code;
    f.detail = std::move(detail);
    return f;
}

inline Fault filer_fault(int code, std::string detail = {})
{
    Fault f;
    f.filer = code;
    f.detail = std::move(detail);
    return f;
}

// The fault of a failed SQLite call.
Fault sql_fault(sqlite3 *db, int rc);

// A statement without results run on `db`.
Fault exec(sqlite3 *db, const char *sql);
// A value of doz_meta set.
Fault set_meta(sqlite3 *db, const char *key, int64_t value);
// A text column of a row ("" for a null).
std::string text_of(sqlite3_stmt *st, int col);

// Passwords (dozst_pass.cpp): a new salted hash of a password typed; a
// stored password matching one offered; every password of a database
// still kept as typed turned into its hash.
std::string hash_password(const std::string &plain);
bool password_matches(sqlite3 *db, const std::string &stored, const std::string &offered);
Fault hash_plain_passwords(sqlite3 *db);

// Upper-cased copy; names are kept in upper case.
std::string upper(std::string s);
// A DOZ name: letters, digits, "#", "%", "_"; one character must be a
// letter or "%".
bool valid_name(const std::string &s, size_t max);

// A table definition and where its rows live, as read from the catalogue.
struct TableEntry {
    int64_t id = 0;     // relation id, stable across renames
    std::string data;   // the SQLite table of the rows ("d" and nine digits)
    int64_t rows = 0;   // not cached: read when needed
    TableInfo info;
    // No real of the table is stored as bytes (see plain_reals_key()), so
    // SQLite compares its real columns exactly as the query language does.
    bool plain_reals = false;
};

struct DbCache {
    std::map<std::string, sqlite3_stmt *> stmts;
    std::map<std::string, std::shared_ptr<TableEntry>> tables;
    int64_t data_version = -1;
    std::set<int64_t> use_checked;  // tables found free of others' USE in this transaction
    ~DbCache();
};

// The seven system relations in their listing order, each with the
// letter of its dictionary file.
struct SystemTable {
    const char *name;
    char letter;
    int32_t maxsize;
    bool fixed;
    bool gotix;
};
extern const SystemTable SYSTEM_TABLES[7];
int system_index(const std::string &name);  // -1 when not a system relation
// The items of the system relations and the columns of each.
const std::vector<Item> &system_items();
const std::vector<ColumnDef> &system_columns(int table);
// The data-file name of a dictionary file: the database name padded with
// "_" to nine characters, then the letter.
std::string dictionary_file(const std::string &db, char letter);

}  // namespace dozstore
