// Internals of the storage's table, row and dictionary calls shared by
// their source files: value and key helpers, the access to a database's
// private state (DbAccess) and the one-change transaction (VX_CHANGE).
#pragma once

#include "dozst_int.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

namespace dozstore {

namespace {

inline bool array_capable(int t)
{
    switch (t) {
    case doz::LONG: case doz::SHORT: case doz::REAL: case doz::DATE: case doz::TIME:
    case doz::COMPLEX: case doz::SHORTREAL: case doz::BYTE:
        return true;
    default:
        return false;
    }
}

inline bool real_type(int t) { return t == doz::REAL || t == doz::SHORTREAL; }

// A real SQLite would not keep bit for bit (NaN, negative zero,
// infinities): stored as its eight bytes.
inline bool real_as_bytes(double r) { return !std::isfinite(r) || (r == 0.0 && std::signbit(r)); }

inline bool single_real(const Item &it) { return real_type(it.type) && it.arr == 0; }

// The mark a table keeps in doz_meta while none of its reals is stored as
// bytes.  Tables made before the mark, and any table once such a real has
// gone in, have none: their real columns are compared with bytes in mind.
inline std::string plain_reals_key(int64_t id) { return "plainreals." + std::to_string(id); }

inline std::string dims_text(const std::vector<int32_t> &dims)
{
    std::string s;
    for (size_t i = 0; i < dims.size(); ++i)
        s += (i ? "," : "") + std::to_string(dims[i]);
    return s;
}

inline std::vector<int32_t> parse_dims(const char *t)
{
    std::vector<int32_t> dims;
    while (t && *t) {
        char *end = nullptr;
        dims.push_back(static_cast<int32_t>(std::strtol(t, &end, 10)));
        t = *end == ',' ? end + 1 : nullptr;
    }
    return dims;
}

inline std::string text_at(sqlite3_stmt *st, int col)
{
    const unsigned char *t = sqlite3_column_text(st, col);
    return t ? std::string(reinterpret_cast<const char *>(t), static_cast<size_t>(sqlite3_column_bytes(st, col)))
             : std::string();
}

inline std::string data_table(int64_t id)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "d%09lld", static_cast<long long>(id));
    return buf;
}

// Array values travel as: int32 count (negative VAR), int32 elements
// present, int32 dimensions, the dimensions, then the elements (int64
// for whole-number types, double for reals, two doubles for complex), in
// host order.
inline void put32(std::string &b, int32_t v) { b.append(reinterpret_cast<const char *>(&v), 4); }

inline std::string encode_array(const doz::Value &v)
{
    std::string b;
    put32(b, v.count);
    put32(b, static_cast<int32_t>(v.e.size()));
    put32(b, static_cast<int32_t>(v.dims.size()));
    for (int32_t d : v.dims)
        put32(b, d);
    for (const doz::Elem &e : v.e) {
        if (v.type == doz::COMPLEX) {
            b.append(reinterpret_cast<const char *>(&e.r), 8);
            b.append(reinterpret_cast<const char *>(&e.im), 8);
        } else if (real_type(v.type)) {
            b.append(reinterpret_cast<const char *>(&e.r), 8);
        } else {
            b.append(reinterpret_cast<const char *>(&e.i), 8);
        }
    }
    return b;
}

inline bool decode_array(const Item &item, const unsigned char *p, size_t n, doz::Value &v)
{
    auto get32 = [&](size_t at, int32_t &out) {
        if (at + 4 > n)
            return false;
        std::memcpy(&out, p + at, 4);
        return true;
    };
    int32_t count = 0, present = 0, ndims = 0;
    if (!get32(0, count) || !get32(4, present) || !get32(8, ndims) || present < 0 || ndims < 0 ||
        ndims > MAX_DIMS || present > doz::MAX_ELEMENTS)
        return false;
    size_t at = 12;
    v.count = count;
    v.dims.resize(static_cast<size_t>(ndims));
    for (auto &d : v.dims) {
        if (!get32(at, d))
            return false;
        at += 4;
    }
    size_t each = item.type == doz::COMPLEX ? 16 : 8;
    if (n - at != each * static_cast<size_t>(present))
        return false;
    v.e.resize(static_cast<size_t>(present));
    for (auto &e : v.e) {
        if (item.type == doz::COMPLEX) {
            std::memcpy(&e.r, p + at, 8);
            std::memcpy(&e.im, p + at + 8, 8);
        } else if (real_type(item.type)) {
            std::memcpy(&e.r, p + at, 8);
        } else {
            std::memcpy(&e.i, p + at, 8);
        }
        at += each;
    }
    return true;
}

// A value as the bytes of a key (all the key columns' values, each
// tagged with its type and length, so no two different keys meet).  With
// `ordered` a whole number goes most significant byte first with its sign
// bit flipped, so ascending keys land at the end of the key index instead
// of all over it; databases made before that keep host byte order.
inline void append_key(std::string &k, const doz::Value &v, bool ordered)
{
    k.push_back(static_cast<char>(v.type + 2));
    std::string body;
    if (v.type == doz::STRING || v.type == doz::BLOB)
        body = v.s;
    else if (v.is_array())
        body = encode_array(v);
    else if (v.type == doz::COMPLEX || real_type(v.type)) {
        body.append(reinterpret_cast<const char *>(&v.e[0].r), 8);
        if (v.type == doz::COMPLEX)
            body.append(reinterpret_cast<const char *>(&v.e[0].im), 8);
    } else if (ordered) {
        const uint64_t u = static_cast<uint64_t>(v.e[0].i) ^ (uint64_t{1} << 63);
        for (int b = 7; b >= 0; --b)
            body.push_back(static_cast<char>(u >> (8 * b)));
    } else
        body.append(reinterpret_cast<const char *>(&v.e[0].i), 8);
    put32(k, static_cast<int32_t>(body.size()));
    k += body;
}

// Binds one value.  Whole numbers and finite reals are stored as SQLite
// numbers; the reals SQLite would not keep bit for bit (NaN, negative
// zero, infinities) and every complex and array value as bytes.  Texts
// are bound without a copy when `kept` says v outlives the statement's step.
inline void bind_value(sqlite3_stmt *st, int at, const doz::Value &v, bool kept = false)
{
    if (v.null) {
        sqlite3_bind_null(st, at);
    } else if (v.type == doz::STRING) {
        sqlite3_bind_text(st, at, v.s.data(), static_cast<int>(v.s.size()), kept ? SQLITE_STATIC : SQLITE_TRANSIENT);
    } else if (v.type == doz::BLOB) {
        sqlite3_bind_blob(st, at, v.s.data(), static_cast<int>(v.s.size()), kept ? SQLITE_STATIC : SQLITE_TRANSIENT);
    } else if (v.is_array()) {
        std::string b = encode_array(v);
        sqlite3_bind_blob(st, at, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    } else if (v.type == doz::COMPLEX) {
        double two[2] = {v.e[0].r, v.e[0].im};
        sqlite3_bind_blob(st, at, two, 16, SQLITE_TRANSIENT);
    } else if (real_type(v.type)) {
        double r = v.e[0].r;
        if (!real_as_bytes(r))
            sqlite3_bind_double(st, at, r);
        else
            sqlite3_bind_blob(st, at, &r, 8, SQLITE_TRANSIENT);
    } else {
        sqlite3_bind_int64(st, at, v.e[0].i);
    }
}

// Reads one stored value into v, reusing v's storage.  Each column is
// read by its stored kind: numbers with SQLite's number calls (asking for
// bytes first would make SQLite format every number as text), texts and
// bytes as they are.
// A single number, date or time (the most of what is read) with one look
// at the stored value, the parts of v it does not use left empty (a value
// the row before left in that shape only gets its number); false for a
// null, a real stored as bytes and every other shape, left to read_value().
inline bool read_number(const Item &item, sqlite3_stmt *st, int col, doz::Value &v)
{
    if (item.arr != 0 || item.type == doz::STRING || item.type == doz::BLOB || item.type == doz::COMPLEX)
        return false;
    sqlite3_value *m = sqlite3_column_value(st, col);
    const int kind = sqlite3_value_type(m);
    const bool real = real_type(item.type);
    if (kind == SQLITE_NULL || (real && kind == SQLITE_BLOB))
        return false;
    if (v.type != item.type || v.null || v.e.size() != 1 || v.count != 0 || v.len != 0 || !v.dims.empty() ||
        !v.s.empty()) {
        v.type = item.type;
        v.null = false;
        v.len = 0;
        v.count = 0;
        v.dims.clear();
        v.s.clear();
        v.e.resize(1);
    }
    doz::Elem &e = v.e[0];
    e = doz::Elem{};
    if (real)
        e.r = sqlite3_value_double(m);
    else
        e.i = sqlite3_value_int64(m);
    return true;
}

// Any other stored value (read_value() below reads every one).
inline bool read_other(const Item &item, sqlite3_stmt *st, int col, doz::Value &v)
{
    v.type = item.type;
    v.len = item.type == doz::STRING || item.type == doz::BLOB ? item.len : 0;
    v.count = 0;
    v.dims.clear();
    v.s.clear();
    v.e.clear();
    int kind = sqlite3_column_type(st, col);
    if (kind == SQLITE_NULL) {
        v.null = true;
        v.count = item.arr;
        if (item.arr > 0 && item.dims.size() > 1)
            v.dims = item.dims;
        return true;
    }
    v.null = false;
    if (item.type == doz::STRING) {
        const unsigned char *t = sqlite3_column_text(st, col);
        if (t)
            v.s.assign(reinterpret_cast<const char *>(t), static_cast<size_t>(sqlite3_column_bytes(st, col)));
        return true;
    }
    auto bytes = [&](size_t &n) {
        const void *p = sqlite3_column_blob(st, col);
        n = static_cast<size_t>(sqlite3_column_bytes(st, col));
        return static_cast<const unsigned char *>(p);
    };
    size_t n = 0;
    if (item.type == doz::BLOB) {
        const unsigned char *p = bytes(n);
        if (n)
            v.s.assign(reinterpret_cast<const char *>(p), n);
        return true;
    }
    if (item.arr != 0) {
        if (kind != SQLITE_BLOB)
            return false;
        const unsigned char *p = bytes(n);
        return decode_array(item, p, n, v);
    }
    v.e.resize(1);
    doz::Elem &e = v.e[0];
    if (item.type == doz::COMPLEX) {
        if (kind != SQLITE_BLOB)
            return false;
        const unsigned char *p = bytes(n);
        if (n != 16)
            return false;
        std::memcpy(&e.r, p, 8);
        std::memcpy(&e.im, p + 8, 8);
    } else if (real_type(item.type)) {
        if (kind == SQLITE_BLOB) {
            const unsigned char *p = bytes(n);
            if (n != 8)
                return false;
            std::memcpy(&e.r, p, 8);
        } else {
            e.r = sqlite3_column_double(st, col);
        }
    } else {
        e.i = sqlite3_column_int64(st, col);
    }
    return true;
}

inline bool read_value(const Item &item, sqlite3_stmt *st, int col, doz::Value &v)
{
    return read_number(item, st, col, v) || read_other(item, st, col, v);
}

inline Fault check_value(const Item &item, const ColumnDef &col, const doz::Value &v)
{
    if (v.null)
        return col.nulls && !col.key ? Fault{} : db_fault(NULL_NOT_ALLOWED, col.name);
    if (v.type != item.type)
        return db_fault(BAD_VALUE, col.name);
    if (v.type == doz::STRING || v.type == doz::BLOB) {
        if (v.is_array() || (v.type == doz::STRING && v.s.size() > static_cast<size_t>(item.len)))
            return db_fault(BAD_VALUE, col.name);
        return {};
    }
    if (v.count != item.arr)
        return db_fault(BAD_VALUE, col.name);
    size_t want = item.arr == 0 ? 1 : static_cast<size_t>(std::abs(item.arr));
    if (item.arr < 0 ? v.e.size() > want : v.e.size() != want)
        return db_fault(BAD_VALUE, col.name);
    if (!v.dims.empty()) {
        int64_t prod = 1;
        for (int32_t d : v.dims)
            prod *= d;
        if (v.dims.size() > MAX_DIMS || prod != std::abs(static_cast<int64_t>(item.arr)))
            return db_fault(BAD_VALUE, col.name);
    }
    return {};
}

inline Fault check_item(const Item &it)
{
    if (!valid_name(it.name, MAX_ITEM_NAME) || (!it.alias.empty() && !valid_name(it.alias, MAX_ITEM_NAME)))
        return db_fault(BAD_ITEM, it.name);
    if (it.type < 0 || it.type >= doz::TYPE_COUNT)
        return db_fault(BAD_ITEM, it.name);
    bool fraction = it.type == doz::REAL || it.type == doz::COMPLEX || it.type == doz::SHORTREAL;
    if (it.frac != -1 && (!fraction || it.frac < 0 || it.frac > 20))
        return db_fault(BAD_ITEM, it.name);
    switch (it.type) {
    case doz::STRING:
        if (it.len < 1 || it.len > doz::MAX_STRING)
            return db_fault(BAD_ITEM, it.name);
        break;
    case doz::BLOB:
        if (it.len < 0)
            return db_fault(BAD_ITEM, it.name);
        break;
    case doz::BOOL:
    case doz::CHAR:
        if (it.len < 0 || it.len > 6)
            return db_fault(BAD_ITEM, it.name);
        break;
    default:
        if (it.len < 0 || it.len > 20)
            return db_fault(BAD_ITEM, it.name);
    }
    if (it.arr == 0)
        return it.dims.empty() ? Fault{} : db_fault(BAD_ITEM, it.name);
    if (!array_capable(it.type) || it.dims.empty() || it.dims.size() > MAX_DIMS ||
        (it.arr < 0 && it.dims.size() != 1))
        return db_fault(BAD_ITEM, it.name);
    int64_t prod = 1;
    for (int32_t d : it.dims) {
        if (d < 1)
            return db_fault(BAD_ITEM, it.name);
        prod *= d;
        if (prod > doz::MAX_ELEMENTS)
            return db_fault(BAD_ITEM, it.name);
    }
    return prod == std::abs(static_cast<int64_t>(it.arr)) ? Fault{} : db_fault(BAD_ITEM, it.name);
}

inline bool same_definition(const Item &a, const Item &b)
{
    return a.type == b.type && a.len == b.len && a.frac == b.frac && a.arr == b.arr && a.dims == b.dims;
}

inline int open_lock(const std::string &path) { return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600); }

}  // namespace

// Reaches the database's private state for the helpers below.
struct DbAccess {
    // A prepared statement kept for the life of the connection, reset
    // when the holder goes.
    struct Stmt {
        sqlite3_stmt *s = nullptr;
        ~Stmt()
        {
            if (s) {
                sqlite3_reset(s);
                sqlite3_clear_bindings(s);
            }
        }
        operator sqlite3_stmt *() const { return s; }
    };

    static Fault prep(Database &d, const std::string &sql, Stmt &out)
    {
        auto &slot = d.cache_->stmts[sql];
        if (!slot) {
            int rc = sqlite3_prepare_v3(d.db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &slot, nullptr);
            if (rc != SQLITE_OK) {
                Fault f = sql_fault(d.db_, rc);
                d.cache_->stmts.erase(sql);
                return f;
            }
        }
        out.s = slot;
        return {};
    }

    // Runs a statement to its end.
    static Fault run(Database &d, sqlite3_stmt *st)
    {
        int rc = sqlite3_step(st);
        while (rc == SQLITE_ROW)
            rc = sqlite3_step(st);
        return rc == SQLITE_DONE ? Fault{} : sql_fault(d.db_, rc);
    }

    static void bind(sqlite3_stmt *st, int i, int v) { sqlite3_bind_int(st, i, v); }
    static void bind(sqlite3_stmt *st, int i, int64_t v) { sqlite3_bind_int64(st, i, v); }
    static void bind(sqlite3_stmt *st, int i, const std::string &v)
    {
        sqlite3_bind_text(st, i, v.c_str(), -1, SQLITE_TRANSIENT);
    }

    // Runs a statement through the kept statements, its parameters bound
    // in order.
    template <class... A>
    static Fault step(Database &d, const std::string &sql, const A &...args)
    {
        Stmt st;
        if (Fault f = prep(d, sql, st); !f.ok())
            return f;
        [[maybe_unused]] int i = 0;
        (bind(st, ++i, args), ...);
        return run(d, st);
    }

    static Fault exec(Database &d, const std::string &sql)
    {
        int rc = sqlite3_exec(d.db_, sql.c_str(), nullptr, nullptr, nullptr);
        return rc == SQLITE_OK ? Fault{} : sql_fault(d.db_, rc);
    }

    // A single whole number from a query, or fallback when it has no row.
    static Fault number(Database &d, const std::string &sql, int64_t &out, int64_t fallback = 0,
                        const std::string *arg = nullptr, int64_t iarg = 0)
    {
        Stmt st;
        if (Fault f = prep(d, sql, st); !f.ok())
            return f;
        if (arg)
            sqlite3_bind_text(st, 1, arg->c_str(), -1, SQLITE_TRANSIENT);
        else if (sqlite3_bind_parameter_count(st) > 0)
            sqlite3_bind_int64(st, 1, iarg);
        int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW)
            out = sqlite3_column_type(st, 0) == SQLITE_NULL ? fallback : sqlite3_column_int64(st, 0);
        else if (rc == SQLITE_DONE)
            out = fallback;
        else
            return sql_fault(d.db_, rc);
        return {};
    }

    static Fault count_rows(Database &d, int64_t id, int64_t delta)
    {
        return step(d, "UPDATE doz_relations SET nrows=nrows+? WHERE id=?", delta, id);
    }

    // Forgets table definitions another connection may have changed.
    static void refresh(Database &d)
    {
        int64_t v = 0;
        if (number(d, "PRAGMA data_version", v).ok() && v != d.cache_->data_version) {
            d.cache_->tables.clear();
            d.cache_->data_version = v;
        }
    }

    static Fault lookup(Database &d, const std::string &name_in, std::shared_ptr<TableEntry> &out)
    {
        std::string name = upper(name_in);
        refresh(d);
        if (auto it = d.cache_->tables.find(name); it != d.cache_->tables.end()) {
            out = it->second;
            return {};
        }
        auto e = std::make_shared<TableEntry>();
        int sys = system_index(name);
        if (sys >= 0) {
            e->info.system = true;
            e->info.def.name = name;
            e->info.def.cols = system_columns(sys);
            e->info.dname = dictionary_file(d.name_, SYSTEM_TABLES[sys].letter);
            for (auto &c : e->info.def.cols)
                for (auto &it : system_items())
                    if (it.name == c.name)
                        e->info.items.push_back(it);
            Stmt st;
            if (Fault f = prep(d, "SELECT maxsize, fixed, memmode, structure FROM doz_systables WHERE name=?", st);
                !f.ok())
                return f;
            sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) {
                e->info.def.maxsize = sqlite3_column_int(st, 0);
                e->info.def.fixed = sqlite3_column_int(st, 1);
                e->info.def.memmode = sqlite3_column_int(st, 2);
                e->info.def.structure = sqlite3_column_int(st, 3);
            }
            out = e;
            return {};
        }
        {
            Stmt st;
            if (Fault f = prep(d, "SELECT id, maxsize, fixed, memmode, structure, location, sequenced "
                                  "FROM doz_relations WHERE name=?", st);
                !f.ok())
                return f;
            sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            int rc = sqlite3_step(st);
            if (rc == SQLITE_DONE)
                return db_fault(NO_TABLE, name);
            if (rc != SQLITE_ROW)
                return sql_fault(d.db_, rc);
            e->id = sqlite3_column_int64(st, 0);
            e->data = data_table(e->id);
            auto &def = e->info.def;
            def.name = name;
            def.maxsize = sqlite3_column_int(st, 1);
            def.fixed = sqlite3_column_int(st, 2);
            def.memmode = sqlite3_column_int(st, 3);
            def.structure = sqlite3_column_int(st, 4);
            def.location = text_at(st, 5);
            e->info.sequenced = sqlite3_column_int(st, 6);
            e->info.dname = e->data;
        }
        Stmt st;
        if (Fault f = prep(d, "SELECT c.item, c.key, c.nulls, i.alias, i.type, i.len, i.frac, i.arr, i.dims "
                              "FROM doz_columns c JOIN doz_items i ON i.name=c.item WHERE c.rel=? ORDER BY c.pos",
                           st);
            !f.ok())
            return f;
        sqlite3_bind_int64(st, 1, e->id);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            ColumnDef c{text_at(st, 0), sqlite3_column_int(st, 1) != 0, sqlite3_column_int(st, 2) != 0};
            Item it{c.name, text_at(st, 3), sqlite3_column_int(st, 4), sqlite3_column_int(st, 5),
                    sqlite3_column_int(st, 6), sqlite3_column_int(st, 7), parse_dims(text_at(st, 8).c_str())};
            e->info.def.cols.push_back(c);
            e->info.items.push_back(it);
        }
        if (rc != SQLITE_DONE)
            return sql_fault(d.db_, rc);
        if (std::any_of(e->info.items.begin(), e->info.items.end(), single_real)) {
            int64_t marked = 0;
            std::string key = plain_reals_key(e->id);
            if (Fault f = number(d, "SELECT count(*) FROM doz_meta WHERE key=?", marked, 0, &key); !f.ok())
                return f;
            e->plain_reals = marked > 0;
        }
        d.cache_->tables[name] = e;
        out = e;
        return {};
    }

    // Takes the table's plain-reals mark away before a row holding a real
    // stored as bytes goes in (inside the same change, so an undone row
    // leaves the mark as it was; the cached entry then stays cautious).
    static Fault note_reals(Database &d, TableEntry &t, const std::vector<doz::Value> &row)
    {
        if (!t.plain_reals)
            return {};
        for (size_t i = 0; i < row.size() && i < t.info.items.size(); ++i) {
            const doz::Value &v = row[i];
            if (single_real(t.info.items[i]) && !v.null && !v.e.empty() && real_as_bytes(v.e[0].r))
                return lose_plain_reals(d, t);
        }
        return {};
    }

    static Fault lose_plain_reals(Database &d, TableEntry &t)
    {
        if (Fault f = step(d, "DELETE FROM doz_meta WHERE key=?", plain_reals_key(t.id)); !f.ok())
            return f;
        t.plain_reals = false;
        return {};
    }

    // A user table, for the calls that change it.
    static Fault user_table(Database &d, const std::string &name, std::shared_ptr<TableEntry> &out)
    {
        if (Fault f = lookup(d, name, out); !f.ok())
            return f;
        return out->info.system ? db_fault(SYSTEM_TABLE, upper(name)) : Fault{};
    }

    static std::string use_path(Database &d, int64_t id) { return d.dir_ + "/use." + std::to_string(id) + ".lock"; }

    static bool held(Database &d, int64_t id)
    {
        return std::any_of(d.uses_.begin(), d.uses_.end(), [&](auto &u) { return u.first == id; });
    }

    // Refuses a change to a table another connection holds with USE.
    static Fault not_used_by_other(Database &d, const TableEntry &t)
    {
        // Within a transaction one look per table is enough: a process
        // that takes the lock later cannot change the table before the
        // transaction ends.
        if (held(d, t.id) || (d.txn_ && d.cache_->use_checked.count(t.id)))
            return {};
        int fd = open_lock(use_path(d, t.id));
        if (fd < 0)
            return {};
        bool free = ::flock(fd, LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        ::close(fd);
        if (!free)
            return db_fault(TABLE_IN_USE, t.info.def.name);
        if (d.txn_)
            d.cache_->use_checked.insert(t.id);
        return {};
    }

    // A user table this connection may change: not a system relation and
    // not held by another connection with USE.
    static Fault changeable_table(Database &d, const std::string &name, std::shared_ptr<TableEntry> &out)
    {
        if (Fault f = user_table(d, name, out); !f.ok())
            return f;
        return not_used_by_other(d, *out);
    }

    // Dictionary room: a FIXED dictionary table refuses rows past its size.
    static Fault room(Database &d, const char *systable, int64_t adding)
    {
        TableInfo info;
        std::shared_ptr<TableEntry> e;
        if (Fault f = lookup(d, systable, e); !f.ok())
            return f;
        if (!e->info.def.fixed)
            return {};
        int64_t n = 0;
        if (Fault f = d.sysinfo("", e->info.dname, "SIZE", n); !f.ok())
            return f;
        return n + adding > e->info.def.maxsize ? db_fault(TABLE_FULL, systable) : Fault{};
    }
};

namespace {

// One change: a transaction of its own, or a savepoint inside the open
// one, undone whole when it fails.
class Change {
  public:
    // Outer when no transaction is open on the connection (neither the
    // caller's begin() nor an enclosing change).
    Change(Database &d, sqlite3 *db, bool in_txn, int &savepoints)
        : d_(d), outer_(sqlite3_get_autocommit(db) != 0), lost_(in_txn && outer_), sp_(savepoints)
    {
    }
    Fault start()
    {
        // SQLite ends a transaction by itself after some failures (a full
        // disc, an I/O error); what follows must not commit on its own.
        if (lost_)
            return filer_fault(FILER_LOST);
        if (!outer_)
            ++sp_;
        Fault f = DbAccess::step(d_, outer_ ? "BEGIN IMMEDIATE" : "SAVEPOINT s" + std::to_string(sp_));
        if (!f.ok()) {
            if (!outer_)
                --sp_;
            return f;
        }
        started_ = true;
        return {};
    }
    Fault finish(Fault f)
    {
        if (!started_)
            return f;
        if (f.ok()) {
            f = DbAccess::step(d_, outer_ ? "COMMIT" : "RELEASE s" + std::to_string(sp_));
            if (f.ok()) {
                started_ = false;
                if (!outer_)
                    --sp_;
                return f;
            }
        }
        undo();
        return f;
    }
    ~Change()
    {
        if (started_)
            undo();
    }

  private:
    void undo()
    {
        if (outer_) {
            DbAccess::step(d_, "ROLLBACK");
        } else {
            std::string n = "s" + std::to_string(sp_);
            DbAccess::step(d_, "ROLLBACK TO " + n);
            DbAccess::step(d_, "RELEASE " + n);
            --sp_;
        }
        started_ = false;
    }
    Database &d_;
    bool outer_;
    bool lost_;
    int &sp_;
    bool started_ = false;
};

}  // namespace

#define VX_CHANGE(...)                                        \
    Change change(*this, db_, txn_, savepoints_);             \
    if (Fault f0 = change.start(); !f0.ok())                  \
        return f0;                                            \
    Fault result = [&]() -> Fault { __VA_ARGS__ }();               \
    cache_->tables.clear();                                   \
    return change.finish(result);

using S = DbAccess::Stmt;

}  // namespace dozstore
