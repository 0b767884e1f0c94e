// The DOZ interpreter's storage: databases, tables, rows and the
// dictionary, kept in one SQLite file per database.
//
// A database is a directory named after it under its location, holding
// "doz.sqlite" (with SQLite's "-wal" and "-shm" companions) and the lock
// files that hold open modes and USE locks across processes.  The server
// directory keeps the registry of databases.  DOZ types, lengths,
// dimensions, aliases and table settings live in catalogue tables beside
// the data; the seven system relations are built from them on demand.
//
// Every call that changes data is one transaction of its own, or a
// savepoint inside the transaction begin() opened, so a failing call
// changes nothing.  docs/dozstore.md describes the layout and the API.
#pragma once

#include "dozvalue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace dozids {
class Scope;
}

namespace dozstore {

// Codes of the status block.  The storage sets the database slot for
// faults of names, definitions and values, the filer slot for faults of
// the files themselves, and the query slot only for "no database open".
enum Code : int {
    // database slot
    UNKNOWN_ITEM = 4,       // a column or item name that does not exist
    END_OF_TABLE = 7,       // FETCH NEXT past the last row
    START_OF_TABLE = 8,     // FETCH PREVIOUS before the first row
    NO_CURRENT = 21,        // no current row, or an empty table
    ITEM_EXISTS = 82,       // CREATE ITEM of an existing item
    DB_EXISTS = 120,        // a database of that name is registered, or its directory exists
    NO_DATABASE_FILE = 121, // no such database
    DB_IN_USE = 122,        // others have the database open (exclusive open, drop, configure)
    DB_EXCLUSIVE = 123,     // another connection has it open exclusively
    BAD_LOGIN = 124,        // unknown user or wrong password
    BAD_DB_NAME = 125,      // not a valid database name
    BAD_LOCATION = 126,     // a location that cannot be used
    NO_TABLE = 127,         // no such table
    TABLE_EXISTS = 128,     // a table of that name exists
    BAD_TABLE_NAME = 129,   // not a valid table name
    BAD_ITEM = 131,         // an item definition that is not valid, or differs from the existing one
    BAD_COLUMNS = 133,      // a column list that is not valid
    BAD_VALUE = 134,        // a value that does not fit its column
    NULL_NOT_ALLOWED = 135, // a null in a column that admits none
    DUPLICATE_KEY = 136,    // a row whose key is already stored
    TABLE_FULL = 137,       // a FIXED table (or dictionary table) at its maximum size
    TABLE_IN_USE = 138,     // another connection holds USE t EXCLUSIVE
    SYSTEM_TABLE = 139,     // a change to a system relation that is not allowed
    NO_USER = 140,          // no such user
    USER_EXISTS = 141,      // a user of that name exists
    NO_ROW = 142,           // the row is no longer stored
    NO_INDEX = 144,         // no such index
    BAD_SETTING = 146,      // a setting or keyword out of range
    TRANSACTION = 147,      // begin() inside a transaction, commit() without one
    NOT_A_DATABASE = 148,   // the database file is not one of this system's
    NOT_ALLOWED = 151,      // an exclusive or forced open by a user without DBA access
    // filer slot
    FILER_FAILURE = 1,      // the storage failed (SQLite's text in the detail)
    FILER_FULL = 2,         // the disc is full
    FILER_BUSY = 3,         // another process kept the database locked too long
    FILER_LOST = 4,         // SQLite undid the transaction after a failure; nothing of it stays
    FILER_DAMAGED = 5,      // a stored value cannot be read back (the table in the detail)
    FILER_CONFIGURE = 25,   // a CONFIGURE of a system relation that changes nothing or is not allowed
    // query slot
    NO_DATABASE_OPEN = -104,
};

// The outcome of a call: all slots zero on success.  detail is the
// argument of the error text: the name of what failed (a database, table,
// item, user, path), or the system's or SQLite's own message.
struct Fault {
    int query = 0;
    int database = 0;
    int filer = 0;
    std::string detail;
    bool ok() const { return query == 0 && database == 0 && filer == 0; }
};

enum class OpenMode { SHARED, EXCLUSIVE, FORCED };

// Privilege levels, database access levels, memory modes and file
// structures, numbered as their keywords.
enum Priv : int { PRIV_NONE, PRIV_READ, PRIV_APPEND, PRIV_WRITE, PRIV_LOCK, PRIV_ADMIN, PRIV_OWNERSHIP };
enum Access : int { ACCESS_SELECT, ACCESS_CREATE, ACCESS_DBA };
enum MemMode : int { NOCACHED, CACHED, MEMORY };
enum Structure : int { SLOTTED, CHAINED, SIMPLE, VARCHAINED };

// An item: a global column definition.  len is the string length, the
// print width of a number, or the class of a blob; frac is -1 when none;
// arr is the element count (0 single, negative VAR); dims multiply to
// |arr| (one dimension for VAR).
struct Item {
    std::string name;
    std::string alias;
    int type = doz::STRING;
    int len = 0;
    int frac = -1;
    int32_t arr = 0;
    std::vector<int32_t> dims;
};

// A column of a table: the item of the same name, whether it belongs to
// the key (PRIMARY) and whether it admits nulls.
struct ColumnDef {
    std::string name;
    bool key = false;
    bool nulls = false;
};

struct TableDef {
    std::string name;
    int32_t maxsize = 0;
    bool fixed = false;
    int memmode = NOCACHED;
    int structure = SLOTTED;
    std::string location;
    std::vector<ColumnDef> cols;
};

// A table as stored: its definition and each column's item.
struct TableInfo {
    TableDef def;
    std::vector<Item> items;
    bool system = false;
    bool sequenced = false;
    std::string dname;  // the data-file name SYSINFO takes
};

struct IndexKey {
    std::string column;
    bool asc = true;
    bool native = false;
};

// A condition on a table's rows that the storage checks while it reads
// them: comparisons of one column with a constant, joined by AND and OR.
// A scan with a condition hands every row for which the condition holds,
// and may hand some for which it does not (rows it cannot judge by
// itself), so the reader still decides each row; it never leaves out a
// row for which the condition holds.  A comparison holds as the query
// language has it: never for a null, numbers by value, texts byte by byte.
struct Condition {
    enum Kind { COMPARE, AND, OR } kind = COMPARE;
    int column = 0;        // COMPARE: the table's column
    std::string op;        // COMPARE: "=", "<>", "<", ">", "<=", ">="
    doz::Value constant;   // COMPARE: a single number (or date, time of a column of the type), a text
    std::vector<Condition> kids;  // AND, OR
};

// A row source: column descriptors and rows of values.
struct Relation {
    std::vector<doz::Column> cols;
    std::vector<std::vector<doz::Value>> rows;
};

// Database settings read with %PRINT and set with CONFIGURE DATABASE.
struct DbParams {
    int32_t memsize = 4096;
    int32_t defpostsize = 64;
    bool filelocks = true;
    int32_t maxfiles = 1000;
};

using RowId = int64_t;

// What insert() does with a row whose key is already stored.
enum class OnDuplicate { REJECT, REPLACE };
enum class Inserted { NEW, REPLACED, REJECTED };

enum class Fetch { FIRST, LAST, NEXT, PREVIOUS, CURRENT };

// The password a connection offers: the one SET %PASS gave, else the
// built-in one of the default user BRASK, else none.
std::string session_password(const std::string &user, const std::optional<std::string> &set_pass);

// The registry of the server directory: (name, location) in creation order.
Fault list_databases(const std::string &server_dir, std::vector<std::pair<std::string, std::string>> &out);
// Writes the registry as "NAME LOCATION" lines (what DUMP kind 4 answers).
Fault write_database_list(const std::string &server_dir, const std::string &path);

// CREATE DATABASE name ON location: the directory, the file and the
// catalogue; the creating user becomes a DBA with the given password.
Fault create_database(const std::string &server_dir, const std::string &name, const std::string &location,
                      const std::string &user, const std::string &password);
// DROP DATABASE: refused while any connection has it open.
Fault drop_database(const std::string &server_dir, const std::string &name);
// CONFIGURE DATABASE name SET %MEMSIZE ... (names with their "%"); refused
// while any connection has it open.
Fault configure_database(const std::string &server_dir, const std::string &name,
                         const std::vector<std::pair<std::string, int64_t>> &settings);

class Database;

// Reads a table's rows in its order.  next() answers true with a row, or
// false at the end, when stop() answered true (fault().query == 7 then)
// or on a failure (fault() says which).
class Cursor {
  public:
    Cursor() = default;
    ~Cursor();
    Cursor(Cursor &&) noexcept;
    Cursor &operator=(Cursor &&) noexcept;
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;

    bool next(std::vector<doz::Value> &row, RowId *id = nullptr);
    const Fault &fault() const { return fault_; }
    const std::vector<doz::Column> &columns() const { return cols_; }

  private:
    friend class Database;
    sqlite3_stmt *stmt_ = nullptr;
    std::vector<Item> items_;
    bool ids_ = true;  // the statement's first column is the row's id
    std::vector<doz::Column> cols_;
    std::shared_ptr<Relation> sys_;  // the rows of a system relation
    size_t sys_pos_ = 0;
    std::function<bool()> stop_;
    uint32_t polls_ = 0;
    Fault fault_;
};

// Rows into one table, many at a time: inside the transaction begin()
// opened (or one of its own), one savepoint for all of them, statements
// prepared once and the table's row count brought up to date once, by
// finish().  A row that does not fit its columns, a duplicate key and a
// full FIXED table are refused before anything of the row is written, so
// the caller may go on with the next row; any other failure undoes every
// row, as does an appender destroyed without finish().  The table may not
// be changed by other calls while the appender is open, except for the
// rows it replaces itself.
class Appender {
  public:
    Appender();
    ~Appender();
    Appender(Appender &&) noexcept;
    Appender &operator=(Appender &&) noexcept;
    Appender(const Appender &) = delete;
    Appender &operator=(const Appender &) = delete;

    Fault add(const std::vector<doz::Value> &row, OnDuplicate dup, Inserted &what);
    // add() for a caller that only counts the rows stored (new or
    // replaced): a row is checked at once as add() does, but one that is
    // to go in without replacing may wait to go in with the rows after it,
    // in one statement (a stored key, or one among the rows before it,
    // still keeps it out).  stored() counts the rows in so far; flush()
    // (and finish()) puts the waiting rows in first.
    Fault add_counted(const std::vector<doz::Value> &row, OnDuplicate dup);
    Fault flush();
    int64_t stored() const;
    Fault finish();

  private:
    friend class Database;
    std::unique_ptr<struct AppendState> st_;
};

class Database {
  public:
    // OPEN name [EXCLUSIVE|FORCED] [ON location]; an empty location takes
    // the registered one.  nullptr with the fault filled on failure.
    static std::unique_ptr<Database> open(const std::string &server_dir, const std::string &name,
                                          const std::string &location, OpenMode mode, const std::string &user,
                                          const std::string &password, Fault &fault);
    ~Database();  // CLOSE: rolls back an open transaction, drops USE locks and the open lock
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    const std::string &name() const { return name_; }
    const std::string &user() const { return user_; }
    const std::string &root() const { return dir_; }  // LOCATE('%ROOT')
    OpenMode mode() const { return mode_; }

    // Transactions.  Outside begin()/commit() each call commits by itself.
    Fault begin();
    Fault commit();
    Fault rollback();
    bool in_transaction() const { return txn_; }

    // Items.
    Fault create_item(const Item &item);
    Fault item(const std::string &name, Item &out);
    Fault set_alias(const std::string &item, const std::string &alias);

    // Tables.  A new table gets the privilege rows %DEFAULT at
    // default_priv and its creator at OWNERSHIP (none when default_priv < 0).
    Fault create_table(const TableDef &def, int default_priv);
    Fault drop_table(const std::string &name);
    Fault rename_table(const std::string &from, const std::string &to);
    Fault rename_column(const std::string &table, const std::string &from, const std::string &to);
    Fault clear_table(const std::string &name);
    Fault configure_table(const std::string &name, int32_t maxsize, bool fixed, std::optional<int> memmode);
    Fault table(const std::string &name, TableInfo &out);
    Fault tables(std::vector<std::string> &out);  // user tables in creation order
    bool exists(const std::string &name);

    // Indexes (numbered per table from 1) and the system relations' own indexes.
    Fault create_index(const std::string &table, bool unique, bool update, const std::vector<IndexKey> &keys,
                       const std::string &location, int32_t &xno);
    Fault drop_index(const std::string &table, int32_t xno);
    Fault set_system_index(const std::string &table, bool on);

    // Order: SEQUENCE t BY ... hands the rows' ids in the new order (rows
    // not named follow in natural order); SEQUENCE t restores the natural order.
    Fault sequence(const std::string &table, std::span<const RowId> order);
    Fault unsequence(const std::string &table);

    // Rows.
    Fault insert(const std::string &table, const std::vector<doz::Value> &row, OnDuplicate dup, Inserted &what,
                 RowId *id = nullptr);
    // Opens an appender of rows to a user table (see Appender).
    Fault append(const std::string &table, Appender &out);
    Fault update(const std::string &table, RowId id, const std::vector<doz::Value> &row);
    Fault erase(const std::string &table, RowId id);
    Fault get(const std::string &table, RowId id, std::vector<doz::Value> &row);
    Fault count(const std::string &table, int64_t &rows);
    Fault fetch(const std::string &table, Fetch where, RowId current, RowId &id, std::vector<doz::Value> &row);
    // Without `ids` the cursor reads the values alone and gives every row
    // the id 0 (a little less to read for each row).
    Fault scan(const std::string &table, Cursor &cursor, std::function<bool()> stop = {},
               const Condition *where = nullptr, bool ids = true);
    // Whether scan() can take the condition for the table (else it is
    // refused with BAD_SETTING).
    bool can_filter(const std::string &table, const Condition &where);
    // Rows of one table appended to another inside the storage: each row
    // of `from`, in its order, for which `where` holds (every row when
    // none) becomes a new row of `to` whose column i holds column map[i]
    // of `from` (a null for -1).  Done only when the outcome is exactly
    // that of reading the rows, judging the condition as the engine does
    // and appending them one by one: `to` without key columns, not FIXED,
    // not sequenced, every column taking nulls and the values of its
    // source column as they are stored, and `where` judged exactly (no
    // real columns in it).  Otherwise, and when a copied text would not
    // fit its column, `done` is false and nothing has changed.  stop() is
    // asked now and then; true ends the copy with query code 7, undone.
    Fault copy_rows(const std::string &from, const Condition *where, const std::string &to,
                    const std::vector<int> &map, const std::function<bool()> &stop, bool &done, int64_t &copied);

    // USE t EXCLUSIVE / UNUSE t; an UNUSE of a table not held does nothing.
    Fault use_exclusive(const std::string &table);
    Fault unuse(const std::string &table);

    // Users and privileges.
    Fault create_user(const std::string &name, const std::string &password, int access);
    Fault drop_user(const std::string &name);
    Fault set_access(const std::string &name, int access);
    Fault set_password(const std::string &password);  // the connection's own user
    Fault grant(const std::string &table, const std::string &user, int priv, const std::string &restriction);
    Fault revoke(const std::string &table, const std::string &user);

    // The system relations %RELATNS, %ITEMS, %COLS, %INDEXES, %KEYS, %USERS, %PRIVS.
    static bool is_system(const std::string &name);
    Fault system_relation(const std::string &name, Relation &out);
    // SYSINFO(location, file, 'FIXED'|'STRUCTURE'|'REQMEM'|'SIZE'|'MAXRECS').
    Fault sysinfo(const std::string &location, const std::string &file, const std::string &what, int64_t &out);
    Fault params(DbParams &out);

    // The column descriptor of an item.
    static doz::Column column_of(const Item &item);

  private:
    Database() = default;
    friend struct DbAccess;
    friend struct AppendState;
    sqlite3 *db_ = nullptr;
    std::string server_, name_, dir_, user_;
    OpenMode mode_ = OpenMode::SHARED;
    int open_fd_ = -1, forced_fd_ = -1;
    std::vector<std::pair<int64_t, int>> uses_;  // relation id, lock file
    bool txn_ = false;
    int savepoints_ = 0;
    bool ordered_keys_ = false;  // whole numbers in keys most significant byte first
    std::unique_ptr<struct DbCache> cache_;  // prepared statements and table definitions
    std::unique_ptr<dozids::Scope> ids_;     // the ids its files are opened with (dozids.h)
};

}  // namespace dozstore
