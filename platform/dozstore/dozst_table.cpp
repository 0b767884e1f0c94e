// Items, tables, rows, order, indexes, USE locks, users and privileges.

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

bool array_capable(int t)
{
    switch (t) {
    case doz::LONG: case doz::SHORT: case doz::REAL: case doz::DATE: case doz::TIME:
    case doz::COMPLEX: case doz::SHORTREAL: case doz::BYTE:
        return true;
    default:
        return false;
    }
}

bool real_type(int t) { return t == doz::REAL || t == doz::SHORTREAL; }

// A real SQLite would not keep bit for bit (NaN, negative zero,
// infinities): stored as its eight bytes.
bool real_as_bytes(double r) { return !std::isfinite(r) || (r == 0.0 && std::signbit(r)); }

bool single_real(const Item &it) { return real_type(it.type) && it.arr == 0; }

// The mark a table keeps in doz_meta while none of its reals is stored as
// bytes.  Tables made before the mark, and any table once such a real has
// gone in, have none: their real columns are compared with bytes in mind.
std::string plain_reals_key(int64_t id) { return "plainreals." + std::to_string(id); }

std::string dims_text(const std::vector<int32_t> &dims)
{
    std::string s;
    for (size_t i = 0; i < dims.size(); ++i)
        s += (i ? "," : "") + std::to_string(dims[i]);
    return s;
}

std::vector<int32_t> parse_dims(const char *t)
{
    std::vector<int32_t> dims;
    while (t && *t) {
        char *end = nullptr;
        dims.push_back(static_cast<int32_t>(std::strtol(t, &end, 10)));
        t = *end == ',' ? end + 1 : nullptr;
    }
    return dims;
}

std::string text_at(sqlite3_stmt *st, int col)
{
    const unsigned char *t = sqlite3_column_text(st, col);
    return t ? std::string(reinterpret_cast<const char *>(t), static_cast<size_t>(sqlite3_column_bytes(st, col)))
             : std::string();
}

std::string data_table(int64_t id)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "d%09lld", static_cast<long long>(id));
    return buf;
}

// Array values travel as: int32 count (negative VAR), int32 elements
// present, int32 dimensions, the dimensions, then the elements (int64
// for whole-number types, double for reals, two doubles for complex), in
// host order.
void put32(std::string &b, int32_t v) { b.append(reinterpret_cast<const char *>(&v), 4); }

std::string encode_array(const doz::Value &v)
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

bool decode_array(const Item &item, const unsigned char *p, size_t n, doz::Value &v)
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
void append_key(std::string &k, const doz::Value &v, bool ordered)
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
void bind_value(sqlite3_stmt *st, int at, const doz::Value &v, bool kept = false)
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
bool read_other(const Item &item, sqlite3_stmt *st, int col, doz::Value &v)
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

bool read_value(const Item &item, sqlite3_stmt *st, int col, doz::Value &v)
{
    return read_number(item, st, col, v) || read_other(item, st, col, v);
}

Fault check_value(const Item &item, const ColumnDef &col, const doz::Value &v)
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

Fault check_item(const Item &it)
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

bool same_definition(const Item &a, const Item &b)
{
    return a.type == b.type && a.len == b.len && a.frac == b.frac && a.arr == b.arr && a.dims == b.dims;
}

int open_lock(const std::string &path) { return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600); }

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

Fault Database::create_item(const Item &in)
{
    Item it = in;
    it.name = upper(it.name);
    it.alias = upper(it.alias);
    if (Fault f = check_item(it); !f.ok())
        return f;
    VX_CHANGE({
        for (auto &s : system_items())
            if (s.name == it.name)
                return db_fault(ITEM_EXISTS, it.name);
        int64_t n = 0;
        if (Fault f = DbAccess::number(*this, "SELECT count(*) FROM doz_items WHERE name=?", n, 0, &it.name); !f.ok())
            return f;
        if (n)
            return db_fault(ITEM_EXISTS, it.name);
        if (Fault f = DbAccess::room(*this, "%ITEMS", 1); !f.ok())
            return f;
        return DbAccess::step(*this, "INSERT INTO doz_items VALUES(?, ?, ?, ?, ?, ?, ?)", it.name, it.alias, it.type,
                              it.len, it.frac, it.arr, dims_text(it.dims));
    })
}

Fault Database::item(const std::string &name_in, Item &out)
{
    std::string name = upper(name_in);
    for (auto &s : system_items())
        if (s.name == name) {
            out = s;
            return {};
        }
    S st;
    if (Fault f = DbAccess::prep(*this, "SELECT alias, type, len, frac, arr, dims FROM doz_items WHERE name=?", st);
        !f.ok())
        return f;
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE)
        return db_fault(UNKNOWN_ITEM, name);
    if (rc != SQLITE_ROW)
        return sql_fault(db_, rc);
    out = Item{name, text_at(st, 0), sqlite3_column_int(st, 1), sqlite3_column_int(st, 2), sqlite3_column_int(st, 3),
               sqlite3_column_int(st, 4), parse_dims(text_at(st, 5).c_str())};
    return {};
}

Fault Database::set_alias(const std::string &name_in, const std::string &alias_in)
{
    std::string name = upper(name_in), alias = upper(alias_in);
    if (!alias.empty() && !valid_name(alias, MAX_ITEM_NAME))
        return db_fault(BAD_ITEM, alias_in);
    Item it;
    if (Fault f = item(name, it); !f.ok())
        return f;
    for (auto &s : system_items())
        if (s.name == name)
            return db_fault(SYSTEM_TABLE, name);
    VX_CHANGE({
        return DbAccess::step(*this, "UPDATE doz_items SET alias=? WHERE name=?", alias, name);
    })
}

bool Database::exists(const std::string &name)
{
    std::shared_ptr<TableEntry> e;
    return DbAccess::lookup(*this, name, e).ok();
}

Fault Database::table(const std::string &name, TableInfo &out)
{
    std::shared_ptr<TableEntry> e;
    if (Fault f = DbAccess::lookup(*this, name, e); !f.ok())
        return f;
    out = e->info;
    return {};
}

Fault Database::tables(std::vector<std::string> &out)
{
    out.clear();
    S st;
    if (Fault f = DbAccess::prep(*this, "SELECT name FROM doz_relations ORDER BY id", st); !f.ok())
        return f;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.push_back(text_at(st, 0));
    return rc == SQLITE_DONE ? Fault{} : sql_fault(db_, rc);
}

Fault Database::create_table(const TableDef &in, int default_priv)
{
    TableDef def = in;
    def.name = upper(def.name);
    if (!valid_name(def.name, MAX_TABLE_NAME) || system_index(def.name) >= 0)
        return db_fault(BAD_TABLE_NAME, in.name);
    if (def.maxsize < 1 || def.memmode < NOCACHED || def.memmode > MEMORY || def.structure < SLOTTED ||
        def.structure > VARCHAINED || def.location.size() > MAX_TABLE_LOCATION || default_priv > PRIV_OWNERSHIP)
        return db_fault(BAD_SETTING, def.name);
    if (def.cols.empty())
        return db_fault(BAD_COLUMNS, def.name);
    std::set<std::string> seen;
    bool reals = false;  // a single real column: the table starts with the plain-reals mark
    for (auto &c : def.cols) {
        c.name = upper(c.name);
        if (!seen.insert(c.name).second || (c.key && c.nulls))
            return db_fault(BAD_COLUMNS, c.name);
        Item it;
        if (Fault f = item(c.name, it); !f.ok())
            return f;
        reals |= single_real(it);
    }
    VX_CHANGE({
        if (exists(def.name))
            return db_fault(TABLE_EXISTS, def.name);
        if (Fault f = DbAccess::room(*this, "%RELATNS", 1); !f.ok())
            return f;
        if (Fault f = DbAccess::room(*this, "%COLS", static_cast<int64_t>(def.cols.size())); !f.ok())
            return f;
        S st;
        if (Fault f = DbAccess::prep(*this, "INSERT INTO doz_relations(name, maxsize, fixed, memmode, structure, "
                                            "location) VALUES(?, ?, ?, ?, ?, ?)", st);
            !f.ok())
            return f;
        sqlite3_bind_text(st, 1, def.name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, def.maxsize);
        sqlite3_bind_int(st, 3, def.fixed);
        sqlite3_bind_int(st, 4, def.memmode);
        sqlite3_bind_int(st, 5, def.structure);
        sqlite3_bind_text(st, 6, def.location.c_str(), -1, SQLITE_TRANSIENT);
        if (Fault f = DbAccess::run(*this, st); !f.ok())
            return f;
        int64_t id = sqlite3_last_insert_rowid(db_);
        bool keyed = false;
        S cs;
        if (Fault f = DbAccess::prep(*this, "INSERT INTO doz_columns VALUES(?, ?, ?, ?, ?)", cs); !f.ok())
            return f;
        std::string sql = "CREATE TABLE " + data_table(id) + "(nat INTEGER PRIMARY KEY, seq INTEGER, kb BLOB";
        for (size_t i = 0; i < def.cols.size(); ++i) {
            sqlite3_reset(cs);
            sqlite3_bind_int64(cs, 1, id);
            sqlite3_bind_int(cs, 2, static_cast<int>(i));
            sqlite3_bind_text(cs, 3, def.cols[i].name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(cs, 4, def.cols[i].key);
            sqlite3_bind_int(cs, 5, def.cols[i].nulls);
            if (Fault f = DbAccess::run(*this, cs); !f.ok())
                return f;
            keyed |= def.cols[i].key;
            sql += ", c" + std::to_string(i);
        }
        sql += ")";
        if (Fault f = DbAccess::exec(*this, sql); !f.ok())
            return f;
        // The index on seq comes with SEQUENCE BY (rows added to a table
        // that is not sequenced keep one index less up to date).
        std::string dt = data_table(id);
        if (keyed)
            if (Fault f = DbAccess::exec(*this, "CREATE UNIQUE INDEX " + dt + "_key ON " + dt + "(kb)"); !f.ok())
                return f;
        if (reals)
            if (Fault f = DbAccess::step(*this, "INSERT OR REPLACE INTO doz_meta VALUES(?, 1)", plain_reals_key(id));
                !f.ok())
                return f;
        if (default_priv >= 0) {
            if (Fault f = DbAccess::room(*this, "%PRIVS", 2); !f.ok())
                return f;
            S ps;
            if (Fault f = DbAccess::prep(*this, "INSERT OR REPLACE INTO doz_privs(rel, user, priv, restriction) "
                                                "VALUES(?, ?, ?, '')", ps);
                !f.ok())
                return f;
            const std::pair<std::string, int> rows[2] = {{DEFAULT_USER, default_priv}, {user_, PRIV_OWNERSHIP}};
            for (auto &r : rows) {
                sqlite3_reset(ps);
                sqlite3_bind_int64(ps, 1, id);
                sqlite3_bind_text(ps, 2, r.first.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(ps, 3, r.second);
                if (Fault f = DbAccess::run(*this, ps); !f.ok())
                    return f;
            }
        }
        return Fault{};
    })
}

Fault Database::drop_table(const std::string &name)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::changeable_table(*this, name, t); !f.ok())
        return f;
    int64_t id = t->id;
    Fault done = [&]() -> Fault {
        VX_CHANGE({
            std::string rel = std::to_string(id);
            for (const char *sql : {"DELETE FROM doz_relations WHERE id=", "DELETE FROM doz_indexes WHERE rel=",
                                    "DELETE FROM doz_keys WHERE rel=", "DELETE FROM doz_privs WHERE rel=",
                                    "DELETE FROM doz_columns WHERE rel="})
                if (Fault f = DbAccess::exec(*this, sql + rel); !f.ok())
                    return f;
            if (Fault f = DbAccess::step(*this, "DELETE FROM doz_meta WHERE key=?", plain_reals_key(id)); !f.ok())
                return f;
            // Items only this table used go with it.
            for (auto &c : t->info.def.cols)
                if (Fault f = DbAccess::step(*this, "DELETE FROM doz_items WHERE name=?1 AND NOT EXISTS "
                                                    "(SELECT 1 FROM doz_columns WHERE item=?1)", c.name);
                    !f.ok())
                    return f;
            return DbAccess::exec(*this, "DROP TABLE " + t->data);
        })
    }();
    if (done.ok()) {
        for (auto it = uses_.begin(); it != uses_.end(); ++it)
            if (it->first == id) {
                ::close(it->second);
                uses_.erase(it);
                break;
            }
        ::unlink(DbAccess::use_path(*this, id).c_str());
    }
    return done;
}

Fault Database::rename_table(const std::string &from, const std::string &to_in)
{
    std::string to = upper(to_in);
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, from, t); !f.ok())
        return f;
    if (!valid_name(to, MAX_TABLE_NAME) || system_index(to) >= 0)
        return db_fault(BAD_TABLE_NAME, to_in);
    if (Fault f = DbAccess::not_used_by_other(*this, *t); !f.ok())
        return f;
    VX_CHANGE({
        if (to != t->info.def.name && exists(to))
            return db_fault(TABLE_EXISTS, to);
        return DbAccess::step(*this, "UPDATE doz_relations SET name=? WHERE id=?", to, t->id);
    })
}

Fault Database::rename_column(const std::string &table_name, const std::string &from_in, const std::string &to_in)
{
    std::string from = upper(from_in), to = upper(to_in);
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, table_name, t); !f.ok())
        return f;
    if (!valid_name(to, MAX_ITEM_NAME))
        return db_fault(BAD_ITEM, to_in);
    if (Fault f = DbAccess::not_used_by_other(*this, *t); !f.ok())
        return f;
    auto &cols = t->info.def.cols;
    auto at = std::find_if(cols.begin(), cols.end(), [&](auto &c) { return c.name == from; });
    if (at == cols.end())
        return db_fault(UNKNOWN_ITEM, from);
    if (from == to)
        return {};
    if (std::any_of(cols.begin(), cols.end(), [&](auto &c) { return c.name == to; }))
        return db_fault(BAD_COLUMNS, to);
    Item old = t->info.items[static_cast<size_t>(at - cols.begin())];
    int64_t id = t->id;
    VX_CHANGE({
        Item existing;
        Fault have = item(to, existing);
        if (have.ok()) {
            // An existing item serves only with the same definition.
            if (!same_definition(existing, old))
                return db_fault(BAD_ITEM, to);
        } else if (have.database == UNKNOWN_ITEM) {
            Item made = old;
            made.name = to;
            made.alias.clear();
            if (Fault f = create_item(made); !f.ok())
                return f;
        } else {
            return have;
        }
        for (const char *sql : {"UPDATE doz_columns SET item=?1 WHERE rel=?3 AND item=?2",
                                "UPDATE doz_keys SET item=?1 WHERE rel=?3 AND item=?2",
                                "DELETE FROM doz_items WHERE name=?2 AND NOT EXISTS "
                                "(SELECT 1 FROM doz_columns WHERE item=?2) AND ?3 IS NOT NULL"})
            if (Fault f = DbAccess::step(*this, sql, to, from, id); !f.ok())
                return f;
        return Fault{};
    })
}

Fault Database::clear_table(const std::string &name)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::changeable_table(*this, name, t); !f.ok())
        return f;
    VX_CHANGE({
        if (Fault f = DbAccess::exec(*this, "DELETE FROM " + t->data); !f.ok())
            return f;
        return DbAccess::exec(*this, "UPDATE doz_relations SET nrows=0 WHERE id=" + std::to_string(t->id));
    })
}

Fault Database::configure_table(const std::string &name, int32_t maxsize, bool fixed, std::optional<int> memmode)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::lookup(*this, name, t); !f.ok())
        return f;
    if (maxsize < 1 || (memmode && (*memmode < NOCACHED || *memmode > MEMORY)))
        return t->info.system ? filer_fault(FILER_CONFIGURE, t->info.def.name) : db_fault(BAD_SETTING, name);
    int64_t rows = 0;
    if (Fault f = sysinfo("", t->info.dname, "SIZE", rows); !f.ok())
        return f;
    const TableDef &def = t->info.def;
    int mem = memmode.value_or(def.memmode);
    if (t->info.system) {
        // The dictionary's own tables: a change that changes nothing, or
        // that leaves a fixed table smaller than its rows, is refused.
        if ((maxsize == def.maxsize && fixed == def.fixed && mem == def.memmode) || (fixed && maxsize < rows))
            return filer_fault(FILER_CONFIGURE, def.name);
        VX_CHANGE({
            return DbAccess::step(*this, "UPDATE doz_systables SET maxsize=?, fixed=?, memmode=? WHERE name=?", maxsize,
                                  fixed, mem, def.name);
        })
    }
    if (fixed && maxsize < rows)
        return db_fault(TABLE_FULL, def.name);
    if (Fault f = DbAccess::not_used_by_other(*this, *t); !f.ok())
        return f;
    VX_CHANGE({
        return DbAccess::step(*this, "UPDATE doz_relations SET maxsize=?, fixed=?, memmode=? WHERE id=?", maxsize,
                              fixed, mem, t->id);
    })
}

Fault Database::create_index(const std::string &table_name, bool unique, bool update,
                             const std::vector<IndexKey> &keys, const std::string &location, int32_t &xno)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, table_name, t); !f.ok())
        return f;
    if (keys.empty() || location.size() > MAX_INDEX_LOCATION)
        return db_fault(BAD_SETTING, table_name);
    std::vector<std::string> cols;
    for (auto &k : keys) {
        std::string c = upper(k.column);
        if (std::none_of(t->info.def.cols.begin(), t->info.def.cols.end(), [&](auto &d) { return d.name == c; }))
            return db_fault(UNKNOWN_ITEM, c);
        cols.push_back(c);
    }
    if (Fault f = DbAccess::not_used_by_other(*this, *t); !f.ok())
        return f;
    VX_CHANGE({
        if (Fault f = DbAccess::room(*this, "%INDEXES", 1); !f.ok())
            return f;
        if (Fault f = DbAccess::room(*this, "%KEYS", static_cast<int64_t>(keys.size())); !f.ok())
            return f;
        int64_t last = 0;
        if (Fault f = DbAccess::number(*this, "SELECT max(xno) FROM doz_indexes WHERE rel=?", last, 0, nullptr, t->id);
            !f.ok())
            return f;
        xno = static_cast<int32_t>(last + 1);
        if (Fault f = DbAccess::step(*this, "INSERT INTO doz_indexes VALUES(?, ?, ?, ?, ?)", t->id, xno, location,
                                     unique, update);
            !f.ok())
            return f;
        S ks;
        if (Fault f = DbAccess::prep(*this, "INSERT INTO doz_keys VALUES(?, ?, ?, ?, ?, ?)", ks); !f.ok())
            return f;
        for (size_t i = 0; i < keys.size(); ++i) {
            sqlite3_reset(ks);
            sqlite3_bind_int64(ks, 1, t->id);
            sqlite3_bind_int(ks, 2, xno);
            sqlite3_bind_int(ks, 3, static_cast<int>(i + 1));
            sqlite3_bind_text(ks, 4, cols[i].c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(ks, 5, keys[i].asc);
            sqlite3_bind_int(ks, 6, keys[i].native);
            if (Fault f = DbAccess::run(*this, ks); !f.ok())
                return f;
        }
        // The index itself, over the stored columns, so that reads with a
        // condition on its columns find their rows through it.
        std::string sql = "CREATE INDEX " + t->data + "_x" + std::to_string(xno) + " ON " + t->data + "(";
        for (size_t i = 0; i < keys.size(); ++i) {
            auto at = std::find_if(t->info.def.cols.begin(), t->info.def.cols.end(),
                                   [&](auto &d) { return d.name == cols[i]; });
            sql += (i ? ", c" : "c") + std::to_string(at - t->info.def.cols.begin()) + (keys[i].asc ? "" : " DESC");
        }
        return DbAccess::exec(*this, sql + ")");
    })
}

Fault Database::drop_index(const std::string &table_name, int32_t xno)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::changeable_table(*this, table_name, t); !f.ok())
        return f;
    VX_CHANGE({
        std::string where = " WHERE rel=" + std::to_string(t->id) + " AND xno=" + std::to_string(xno);
        if (Fault f = DbAccess::exec(*this, "DELETE FROM doz_indexes" + where); !f.ok())
            return f;
        if (sqlite3_changes(db_) == 0)
            return db_fault(NO_INDEX, std::to_string(xno));
        if (Fault f = DbAccess::exec(*this, "DROP INDEX IF EXISTS " + t->data + "_x" + std::to_string(xno)); !f.ok())
            return f;
        return DbAccess::exec(*this, "DELETE FROM doz_keys" + where);
    })
}

Fault Database::set_system_index(const std::string &name, bool on)
{
    std::string n = upper(name);
    if (system_index(n) < 0)
        return exists(n) ? db_fault(SYSTEM_TABLE, n) : db_fault(NO_TABLE, n);
    VX_CHANGE({
        return DbAccess::step(*this, "UPDATE doz_systables SET gotix=? WHERE name=?", on, n);
    })
}

Fault Database::sequence(const std::string &name, std::span<const RowId> order)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::changeable_table(*this, name, t); !f.ok())
        return f;
    VX_CHANGE({
        // Every row's place is worked out first: the rows named in order,
        // then the others in natural order.  The rows are then written in
        // natural order (one pass along the table instead of a jump for
        // each row), with the index on seq made again afterwards.
        std::vector<RowId> nats;
        {
            S all;
            if (Fault f = DbAccess::prep(*this, "SELECT nat FROM " + t->data + " ORDER BY nat", all); !f.ok())
                return f;
            int rc;
            while ((rc = sqlite3_step(all)) == SQLITE_ROW)
                nats.push_back(sqlite3_column_int64(all, 0));
            if (rc != SQLITE_DONE)
                return sql_fault(db_, rc);
        }
        std::vector<int64_t> place(nats.size(), -1);
        int64_t pos = 0;
        for (RowId id : order) {
            auto at = std::lower_bound(nats.begin(), nats.end(), id);
            if (at == nats.end() || *at != id || place[static_cast<size_t>(at - nats.begin())] >= 0)
                return db_fault(NO_ROW, std::to_string(id));  // no such row, or named twice
            place[static_cast<size_t>(at - nats.begin())] = pos++;
        }
        for (int64_t &p : place)
            if (p < 0)
                p = pos++;
        if (Fault f = DbAccess::exec(*this, "DROP INDEX IF EXISTS " + t->data + "_seq"); !f.ok())
            return f;
        S st;
        if (Fault f = DbAccess::prep(*this, "UPDATE " + t->data + " SET seq=? WHERE nat=?", st); !f.ok())
            return f;
        for (size_t i = 0; i < nats.size(); ++i) {
            sqlite3_reset(st);
            sqlite3_bind_int64(st, 1, place[i]);
            sqlite3_bind_int64(st, 2, nats[i]);
            if (Fault f = DbAccess::run(*this, st); !f.ok())
                return f;
        }
        if (Fault f = DbAccess::exec(*this, "CREATE INDEX " + t->data + "_seq ON " + t->data + "(seq)"); !f.ok())
            return f;
        return DbAccess::exec(*this, "UPDATE doz_relations SET sequenced=1 WHERE id=" + std::to_string(t->id));
    })
}

Fault Database::unsequence(const std::string &name)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::changeable_table(*this, name, t); !f.ok())
        return f;
    VX_CHANGE({
        // Reads go by nat again: the index on seq goes (rows added later
        // keep one index less up to date), and comes back with the next
        // SEQUENCE BY.
        if (Fault f = DbAccess::exec(*this, "DROP INDEX IF EXISTS " + t->data + "_seq"); !f.ok())
            return f;
        if (Fault f = DbAccess::exec(*this, "UPDATE " + t->data + " SET seq=NULL"); !f.ok())
            return f;
        return DbAccess::exec(*this, "UPDATE doz_relations SET sequenced=0 WHERE id=" + std::to_string(t->id));
    })
}

namespace {

Fault check_row(const TableEntry &t, const std::vector<doz::Value> &row, std::string *key, bool ordered)
{
    const auto &cols = t.info.def.cols;
    if (row.size() != cols.size())
        return db_fault(BAD_COLUMNS, t.info.def.name);
    for (size_t i = 0; i < cols.size(); ++i) {
        if (Fault f = check_value(t.info.items[i], cols[i], row[i]); !f.ok())
            return f;
        if (key && cols[i].key)
            append_key(*key, row[i], ordered);
    }
    return {};
}

bool keyed(const TableEntry &t)
{
    return std::any_of(t.info.def.cols.begin(), t.info.def.cols.end(), [](auto &c) { return c.key; });
}

// A row's parameters: its key (when the table has one) first, then its
// values from the second on.
void bind_row(sqlite3_stmt *st, const std::string *key, const std::vector<doz::Value> &row)
{
    if (key)
        sqlite3_bind_blob(st, 1, key->data(), static_cast<int>(key->size()), SQLITE_TRANSIENT);
    for (size_t i = 0; i < row.size(); ++i)
        bind_value(st, static_cast<int>(i) + 2, row[i]);
}

}  // namespace

Fault Database::insert(const std::string &name, const std::vector<doz::Value> &row, OnDuplicate dup, Inserted &what,
                       RowId *id_out)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, name, t); !f.ok())
        return f;
    std::string key;
    bool has_key = keyed(*t);
    if (Fault f = check_row(*t, row, has_key ? &key : nullptr, ordered_keys_); !f.ok())
        return f;
    if (Fault f = DbAccess::not_used_by_other(*this, *t); !f.ok())
        return f;
    Change change(*this, db_, txn_, savepoints_);
    if (Fault f = change.start(); !f.ok())
        return f;
    Fault result = [&]() -> Fault {
        if (Fault f = DbAccess::note_reals(*this, *t, row); !f.ok())
            return f;
        if (has_key) {
            S st;
            if (Fault f = DbAccess::prep(*this, "SELECT nat FROM " + t->data + " WHERE kb=?", st); !f.ok())
                return f;
            sqlite3_bind_blob(st, 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
            int rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) {
                RowId old = sqlite3_column_int64(st, 0);
                sqlite3_reset(st);
                if (dup == OnDuplicate::REJECT) {
                    what = Inserted::REJECTED;
                    return Fault{};
                }
                what = Inserted::REPLACED;
                if (id_out)
                    *id_out = old;
                return update(name, old, row);
            }
            if (rc != SQLITE_DONE)
                return sql_fault(db_, rc);
        }
        if (t->info.def.fixed) {
            int64_t rows = 0;
            if (Fault f = DbAccess::number(*this, "SELECT nrows FROM doz_relations WHERE id=?", rows, 0, nullptr, t->id);
                !f.ok())
                return f;
            if (rows >= t->info.def.maxsize)
                return db_fault(TABLE_FULL, t->info.def.name);
        }
        std::string sql = "INSERT INTO " + t->data + " VALUES(NULL, ";
        sql += t->info.sequenced ? "(SELECT coalesce(max(seq), -1) + 1 FROM " + t->data + ")" : "NULL";
        sql += ", ?";
        for (size_t i = 0; i < row.size(); ++i)
            sql += ", ?";
        sql += ")";
        S st;
        if (Fault f = DbAccess::prep(*this, sql, st); !f.ok())
            return f;
        bind_row(st, has_key ? &key : nullptr, row);
        if (Fault f = DbAccess::run(*this, st); !f.ok())
            return f;
        if (id_out)
            *id_out = sqlite3_last_insert_rowid(db_);
        what = Inserted::NEW;
        return DbAccess::count_rows(*this, t->id, 1);
    }();
    return change.finish(result);
}

struct AppendState {
    Database &db;
    std::shared_ptr<TableEntry> t;
    Change change;
    bool has_key = false;
    sqlite3_stmt *find = nullptr;  // the row of a key
    sqlite3_stmt *add = nullptr;   // a new row: seq, key, values
    sqlite3_stmt *add_new = nullptr;  // the same, doing nothing when the key is stored
    int64_t rows = 0;              // rows stored (kept for FIXED tables)
    int64_t next_seq = 0;          // the place of the next row of a sequenced table
    int64_t added = 0;
    int64_t stored = 0;            // rows gone in through add_counted(), new or replaced
    Fault failed;
    std::string key;
    // Rows waiting to go in together (add_counted()): up to `batch` of
    // them, then one statement of that many rows.
    size_t batch = 0;              // 0: no waiting (a FIXED or sequenced table)
    sqlite3_stmt *add_many = nullptr;
    std::vector<std::vector<doz::Value>> waiting;
    std::vector<std::string> waiting_keys;
    size_t n_waiting = 0;

    AppendState(Database &d, std::shared_ptr<TableEntry> table)
        : db(d), t(std::move(table)), change(d, d.db_, d.txn_, d.savepoints_)
    {
    }
    ~AppendState()
    {
        for (sqlite3_stmt *st : {find, add, add_new, add_many})
            if (st) {
                sqlite3_reset(st);
                sqlite3_clear_bindings(st);
            }
    }

    Fault open()
    {
        has_key = keyed(*t);
        if (Fault f = DbAccess::not_used_by_other(db, *t); !f.ok())
            return f;
        if (Fault f = change.start(); !f.ok())
            return f;
        DbAccess::Stmt st;
        if (has_key) {
            if (Fault f = DbAccess::prep(db, "SELECT nat FROM " + t->data + " WHERE kb=?", st); !f.ok())
                return f;
            find = std::exchange(st.s, nullptr);
        }
        std::string sql = "INSERT INTO " + t->data + " VALUES(NULL, ?, ?";
        for (size_t i = 0; i < t->info.def.cols.size(); ++i)
            sql += ", ?";
        sql += ")";
        if (Fault f = DbAccess::prep(db, sql, st); !f.ok())
            return f;
        add = std::exchange(st.s, nullptr);
        if (has_key) {
            if (Fault f = DbAccess::prep(db, sql + " ON CONFLICT(kb) DO NOTHING", st); !f.ok())
                return f;
            add_new = std::exchange(st.s, nullptr);
        }
        if (t->info.def.fixed)
            if (Fault f = DbAccess::number(db, "SELECT nrows FROM doz_relations WHERE id=?", rows, 0, nullptr, t->id);
                !f.ok())
                return f;
        if (t->info.sequenced) {
            if (Fault f = DbAccess::number(db, "SELECT coalesce(max(seq), -1) + 1 FROM " + t->data, next_seq); !f.ok())
                return f;
        }
        // Rows may wait to go in many at a time, where the table has no
        // limit and no order of its own: a statement per row costs more
        // than the row itself.
        const size_t per_row = t->info.def.cols.size() + 2;
        const size_t vars = static_cast<size_t>(std::max(sqlite3_limit(db.db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1), 0));
        if (!t->info.def.fixed && !t->info.sequenced && vars / per_row >= 8) {
            batch = std::min<size_t>(64, vars / per_row);
            std::string many = "INSERT INTO " + t->data + " VALUES";
            for (size_t r = 0; r < batch; ++r) {
                many += r ? ", (NULL" : "(NULL";
                for (size_t i = 0; i < per_row; ++i)
                    many += ", ?";
                many += ")";
            }
            if (has_key)
                many += " ON CONFLICT(kb) DO NOTHING";
            if (Fault f = DbAccess::prep(db, many, st); !f.ok())
                return f;
            add_many = std::exchange(st.s, nullptr);
            waiting.resize(batch);
            waiting_keys.resize(batch);
        }
        return {};
    }

    // Binds a row's parameters from `at` on: its place, key and values.
    void bind_new(sqlite3_stmt *st, int at, const std::string *k, const std::vector<doz::Value> &row)
    {
        if (t->info.sequenced)
            sqlite3_bind_int64(st, at, next_seq);
        else
            sqlite3_bind_null(st, at);
        if (k)
            sqlite3_bind_blob(st, at + 1, k->data(), static_cast<int>(k->size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(st, at + 1);
        for (size_t i = 0; i < row.size(); ++i)
            bind_value(st, at + 2 + static_cast<int>(i), row[i], true);
    }

    Fault put_counted(const std::vector<doz::Value> &row, OnDuplicate dup)
    {
        if (!failed.ok())
            return failed;
        if (batch == 0 || dup != OnDuplicate::REJECT) {
            if (Fault f = flush(); !f.ok())
                return f;
            Inserted what;
            Fault f = put(row, dup, what);
            if (f.ok() && what != Inserted::REJECTED)
                ++stored;
            return f;
        }
        std::string &k = waiting_keys[n_waiting];
        k.clear();
        if (Fault f = check_row(*t, row, has_key ? &k : nullptr, db.ordered_keys_); !f.ok())
            return f;
        if (Fault f = DbAccess::note_reals(db, *t, row); !f.ok())
            return failed = f;
        std::vector<doz::Value> &w = waiting[n_waiting];
        w.resize(row.size());
        for (size_t i = 0; i < row.size(); ++i)
            doz::assign(w[i], row[i]);
        if (++n_waiting == batch)
            return flush();
        return {};
    }

    // Puts the waiting rows in: all of them in one statement when there
    // are as many as it takes, else one by one.
    Fault flush()
    {
        if (!failed.ok())
            return failed;
        size_t n = std::exchange(n_waiting, 0);
        if (n == 0)
            return {};
        const int per_row = static_cast<int>(t->info.def.cols.size()) + 2;
        auto run = [&](sqlite3_stmt *st) -> Fault {
            int rc = sqlite3_step(st);
            int64_t in = rc == SQLITE_DONE ? sqlite3_changes64(db.db_) : 0;
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
            if (rc != SQLITE_DONE)
                return failed = sql_fault(db.db_, rc);
            rows += in;
            added += in;
            stored += in;
            return {};
        };
        if (n == batch) {
            for (size_t r = 0; r < n; ++r)
                bind_new(add_many, static_cast<int>(r) * per_row + 1, has_key ? &waiting_keys[r] : nullptr,
                         waiting[r]);
            return run(add_many);
        }
        for (size_t r = 0; r < n; ++r) {
            sqlite3_stmt *st = has_key ? add_new : add;
            bind_new(st, 1, has_key ? &waiting_keys[r] : nullptr, waiting[r]);
            if (Fault f = run(st); !f.ok())
                return f;
        }
        return {};
    }

    Fault put(const std::vector<doz::Value> &row, OnDuplicate dup, Inserted &what)
    {
        if (!failed.ok())
            return failed;
        if (Fault f = flush(); !f.ok())
            return f;
        key.clear();
        if (Fault f = check_row(*t, row, has_key ? &key : nullptr, db.ordered_keys_); !f.ok())
            return f;
        if (Fault f = DbAccess::note_reals(db, *t, row); !f.ok())
            return failed = f;
        const bool full = t->info.def.fixed && rows >= t->info.def.maxsize;
        // Without a replace a keyed row goes in with one look at the key
        // index (the insert does nothing when the key is stored); a full
        // table looks first, so a stored key is still told from a row too many.
        const bool one_look = has_key && dup == OnDuplicate::REJECT && !full;
        if (has_key && !one_look) {
            sqlite3_bind_blob(find, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
            int rc = sqlite3_step(find);
            RowId old = rc == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
            sqlite3_reset(find);
            sqlite3_clear_bindings(find);
            if (rc == SQLITE_ROW) {
                if (dup == OnDuplicate::REJECT) {
                    what = Inserted::REJECTED;
                    return {};
                }
                what = Inserted::REPLACED;
                Fault f = db.update(t->info.def.name, old, row);
                if (!f.ok() && f.database == 0)
                    failed = f;
                return f;
            }
            if (rc != SQLITE_DONE)
                return failed = sql_fault(db.db_, rc);
        }
        if (full)
            return db_fault(TABLE_FULL, t->info.def.name);
        sqlite3_stmt *st = one_look ? add_new : add;
        if (t->info.sequenced)
            sqlite3_bind_int64(st, 1, next_seq);
        else
            sqlite3_bind_null(st, 1);
        if (has_key)
            sqlite3_bind_blob(st, 2, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(st, 2);
        for (size_t i = 0; i < row.size(); ++i)
            bind_value(st, static_cast<int>(i) + 3, row[i], true);
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if (rc != SQLITE_DONE)
            return failed = sql_fault(db.db_, rc);
        if (one_look && sqlite3_changes(db.db_) == 0) {
            what = Inserted::REJECTED;
            return {};
        }
        ++next_seq;
        ++rows;
        ++added;
        what = Inserted::NEW;
        return {};
    }

    Fault finish()
    {
        if (Fault f = flush(); !f.ok())
            return f;
        Fault f = added ? DbAccess::count_rows(db, t->id, added) : Fault{};
        failed = change.finish(f);
        if (failed.ok())
            failed = db_fault(TRANSACTION);  // nothing more goes through a finished appender
        else
            return failed;
        return {};
    }
};

Appender::Appender() = default;
Appender::~Appender() = default;
Appender::Appender(Appender &&) noexcept = default;
Appender &Appender::operator=(Appender &&) noexcept = default;

Fault Appender::add(const std::vector<doz::Value> &row, OnDuplicate dup, Inserted &what)
{
    return st_ ? st_->put(row, dup, what) : db_fault(TRANSACTION);
}

Fault Appender::add_counted(const std::vector<doz::Value> &row, OnDuplicate dup)
{
    return st_ ? st_->put_counted(row, dup) : db_fault(TRANSACTION);
}

Fault Appender::flush()
{
    return st_ ? st_->flush() : db_fault(TRANSACTION);
}

int64_t Appender::stored() const { return st_ ? st_->stored : 0; }

Fault Appender::finish()
{
    return st_ ? st_->finish() : db_fault(TRANSACTION);
}

Fault Database::append(const std::string &name, Appender &out)
{
    out = Appender();
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, name, t); !f.ok())
        return f;
    auto st = std::make_unique<AppendState>(*this, t);
    if (Fault f = st->open(); !f.ok())
        return f;
    out.st_ = std::move(st);
    return {};
}

Fault Database::update(const std::string &name, RowId id, const std::vector<doz::Value> &row)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, name, t); !f.ok())
        return f;
    std::string key;
    bool has_key = keyed(*t);
    if (Fault f = check_row(*t, row, has_key ? &key : nullptr, ordered_keys_); !f.ok())
        return f;
    if (Fault f = DbAccess::not_used_by_other(*this, *t); !f.ok())
        return f;
    Change change(*this, db_, txn_, savepoints_);
    if (Fault f = change.start(); !f.ok())
        return f;
    Fault result = [&]() -> Fault {
        if (Fault f = DbAccess::note_reals(*this, *t, row); !f.ok())
            return f;
        if (has_key) {
            S st;
            if (Fault f = DbAccess::prep(*this, "SELECT nat FROM " + t->data + " WHERE kb=? AND nat<>?", st); !f.ok())
                return f;
            sqlite3_bind_blob(st, 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 2, id);
            int rc = sqlite3_step(st);
            if (rc == SQLITE_ROW)
                return db_fault(DUPLICATE_KEY, t->info.def.name);
            if (rc != SQLITE_DONE)
                return sql_fault(db_, rc);
        }
        std::string sql = "UPDATE " + t->data + " SET kb=?";
        for (size_t i = 0; i < row.size(); ++i)
            sql += ", c" + std::to_string(i) + "=?";
        sql += " WHERE nat=?";
        S st;
        if (Fault f = DbAccess::prep(*this, sql, st); !f.ok())
            return f;
        bind_row(st, has_key ? &key : nullptr, row);
        sqlite3_bind_int64(st, static_cast<int>(row.size()) + 2, id);
        if (Fault f = DbAccess::run(*this, st); !f.ok())
            return f;
        return sqlite3_changes(db_) ? Fault{} : db_fault(NO_ROW, std::to_string(id));
    }();
    return change.finish(result);
}

Fault Database::erase(const std::string &name, RowId id)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::changeable_table(*this, name, t); !f.ok())
        return f;
    Change change(*this, db_, txn_, savepoints_);
    if (Fault f = change.start(); !f.ok())
        return f;
    Fault result = [&]() -> Fault {
        if (Fault f = DbAccess::step(*this, "DELETE FROM " + t->data + " WHERE nat=?", id); !f.ok())
            return f;
        if (sqlite3_changes(db_) == 0)
            return db_fault(NO_ROW, std::to_string(id));
        return DbAccess::count_rows(*this, t->id, -1);
    }();
    return change.finish(result);
}

namespace {

// The row's id (nat) first, then its values; without `ids` the values alone.
std::string select_list(const TableEntry &t, bool ids = true)
{
    std::string sql = ids ? "SELECT nat" : "SELECT ";
    for (size_t i = 0; i < t.info.def.cols.size(); ++i)
        sql += (ids || i ? ", c" : "c") + std::to_string(i);
    return sql + " FROM " + t.data;
}

Fault read_row(const TableEntry &t, sqlite3_stmt *st, std::vector<doz::Value> &row)
{
    row.resize(t.info.items.size());
    for (size_t i = 0; i < row.size(); ++i)
        if (!read_value(t.info.items[i], st, static_cast<int>(i) + 1, row[i]))
            return filer_fault(FILER_DAMAGED, t.info.def.name);
    return {};
}

}  // namespace

Fault Database::get(const std::string &name, RowId id, std::vector<doz::Value> &row)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::lookup(*this, name, t); !f.ok())
        return f;
    if (t->info.system) {
        Relation r;
        if (Fault f = system_relation(name, r); !f.ok())
            return f;
        if (id < 1 || static_cast<size_t>(id) > r.rows.size())
            return db_fault(NO_ROW, std::to_string(id));
        row = r.rows[static_cast<size_t>(id - 1)];
        return {};
    }
    S st;
    if (Fault f = DbAccess::prep(*this, select_list(*t) + " WHERE nat=?", st); !f.ok())
        return f;
    sqlite3_bind_int64(st, 1, id);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE)
        return db_fault(NO_ROW, std::to_string(id));
    if (rc != SQLITE_ROW)
        return sql_fault(db_, rc);
    return read_row(*t, st, row);
}

Fault Database::count(const std::string &name, int64_t &rows)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::lookup(*this, name, t); !f.ok())
        return f;
    return sysinfo("", t->info.dname, "SIZE", rows);
}

Fault Database::fetch(const std::string &name, Fetch where, RowId current, RowId &id, std::vector<doz::Value> &row)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::lookup(*this, name, t); !f.ok())
        return f;
    if (t->info.system) {
        Relation r;
        if (Fault f = system_relation(name, r); !f.ok())
            return f;
        int64_t n = static_cast<int64_t>(r.rows.size());
        bool have = current >= 1 && current <= n;
        switch (where) {
        case Fetch::FIRST: id = 1; break;
        case Fetch::LAST: id = n; break;
        case Fetch::CURRENT: id = current; break;
        case Fetch::NEXT: id = current + 1; break;
        case Fetch::PREVIOUS: id = current - 1; break;
        }
        if (n == 0 || ((where == Fetch::NEXT || where == Fetch::PREVIOUS || where == Fetch::CURRENT) && !have))
            return db_fault(NO_CURRENT, t->info.def.name);
        if (id > n)
            return db_fault(END_OF_TABLE, t->info.def.name);
        if (id < 1)
            return db_fault(START_OF_TABLE, t->info.def.name);
        row = r.rows[static_cast<size_t>(id - 1)];
        return {};
    }
    const char *ord = t->info.sequenced ? "seq" : "nat";
    std::string base = select_list(*t), o = ord;
    std::string sql;
    switch (where) {
    case Fetch::FIRST: sql = base + " ORDER BY " + o + " LIMIT 1"; break;
    case Fetch::LAST: sql = base + " ORDER BY " + o + " DESC LIMIT 1"; break;
    case Fetch::CURRENT: sql = base + " WHERE nat=?"; break;
    case Fetch::NEXT:
        sql = base + " WHERE " + o + ">(SELECT " + o + " FROM " + t->data + " WHERE nat=?) ORDER BY " + o + " LIMIT 1";
        break;
    case Fetch::PREVIOUS:
        sql = base + " WHERE " + o + "<(SELECT " + o + " FROM " + t->data + " WHERE nat=?) ORDER BY " + o +
              " DESC LIMIT 1";
        break;
    }
    if (where == Fetch::NEXT || where == Fetch::PREVIOUS) {
        // Moving needs a current row that is still stored.
        std::vector<doz::Value> scratch;
        if (!get(name, current, scratch).ok())
            return db_fault(NO_CURRENT, t->info.def.name);
    }
    S st;
    if (Fault f = DbAccess::prep(*this, sql, st); !f.ok())
        return f;
    if (sqlite3_bind_parameter_count(st))
        sqlite3_bind_int64(st, 1, current);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) {
        if (where == Fetch::NEXT)
            return db_fault(END_OF_TABLE, t->info.def.name);
        if (where == Fetch::PREVIOUS)
            return db_fault(START_OF_TABLE, t->info.def.name);
        return db_fault(NO_CURRENT, t->info.def.name);
    }
    if (rc != SQLITE_ROW)
        return sql_fault(db_, rc);
    id = sqlite3_column_int64(st, 0);
    return read_row(*t, st, row);
}

namespace {

bool stored_as_integer(int t)
{
    return t == doz::LONG || t == doz::SHORT || t == doz::BYTE;
}

// The SQL of a condition over a data table's columns, with its
// parameters in order; false when a part of it cannot be judged here.
// Reals SQLite would not keep bit for bit are stored as bytes: unless the
// table is known to hold none, such rows pass every comparison of their
// column, for the reader to judge, and `exact` (when given) is cleared.
// Everything else is judged exactly as the query language does: whole numbers, dates and times by value (all
// stored as SQLite integers, of at most 32 bits, so a finite real
// constant compares with them as in the engine), texts byte by byte, a
// null never passing a comparison, and AND and OR with the same
// three-valued outcome.
bool condition_sql(const TableEntry &t, const Condition &c, int depth, std::string &sql,
                   std::vector<doz::Value> &params, bool *exact = nullptr)
{
    if (depth > 64)
        return false;
    if (c.kind == Condition::AND || c.kind == Condition::OR) {
        if (c.kids.empty())
            return false;
        sql += "(";
        for (size_t i = 0; i < c.kids.size(); ++i) {
            if (i)
                sql += c.kind == Condition::AND ? " AND " : " OR ";
            if (!condition_sql(t, c.kids[i], depth + 1, sql, params, exact))
                return false;
        }
        sql += ")";
        return true;
    }
    static const char *const ops[] = {"=", "<>", "<", ">", "<=", ">="};
    if (c.column < 0 || static_cast<size_t>(c.column) >= t.info.items.size() ||
        std::find(std::begin(ops), std::end(ops), c.op) == std::end(ops))
        return false;
    const Item &it = t.info.items[static_cast<size_t>(c.column)];
    const doz::Value &k = c.constant;
    if (it.arr != 0 || k.null || k.is_array())
        return false;
    std::string col = "c" + std::to_string(c.column);
    if (it.type == doz::STRING && k.type == doz::STRING) {
        // Texts are stored as they are and compared byte by byte on both
        // sides (no collation of letters or trailing blanks).
        sql += col + c.op + "?";
        params.push_back(k);
        return true;
    }
    if (k.e.size() != 1)
        return false;
    bool number_column = stored_as_integer(it.type) || real_type(it.type);
    bool number_constant = stored_as_integer(k.type) || real_type(k.type);
    bool same_kind = (it.type == doz::DATE || it.type == doz::TIME) && k.type == it.type;
    if (!(number_column && number_constant) && !same_kind)
        return false;
    if (real_type(k.type) && !std::isfinite(k.e[0].r))
        return false;
    if (real_type(it.type)) {
        // The engine compares a real column with the constant as two
        // doubles, and so does SQLite once the constant is one.
        doz::Value kr = doz::make_real(real_type(k.type) ? k.e[0].r : static_cast<double>(k.e[0].i));
        const std::string o = c.op;
        if (t.plain_reals || o == ">" || o == ">=" || o == "<>") {
            // Every stored real is a number, or the bytes of one pass
            // anyway: SQLite holds bytes greater than any number.
            sql += col + o + "?";
            params.push_back(kr);
            if (!t.plain_reals && exact)
                *exact = false;
            return true;
        }
        if (exact)
            *exact = false;
        if (o == "=") {
            sql += "(" + col + "=? OR " + col + ">=x'')";
            params.push_back(kr);
            return true;
        }
        // "<" and "<=": a number below the bound, or bytes (which lie
        // above the largest number), in one reading of the column.
        if (o == "<=")
            kr.e[0].r = std::nextafter(kr.e[0].r, std::numeric_limits<double>::infinity());
        sql += col + " NOT BETWEEN ? AND ?";
        params.push_back(kr);
        params.push_back(doz::make_real(std::numeric_limits<double>::max()));
        return true;
    }
    sql += col + c.op + "?";
    params.push_back(k);
    return true;
}

void bind_params(sqlite3_stmt *st, const std::vector<doz::Value> &params)
{
    for (size_t i = 0; i < params.size(); ++i) {
        const doz::Value &k = params[i];
        int at = static_cast<int>(i) + 1;
        if (k.type == doz::STRING)
            sqlite3_bind_text(st, at, k.s.data(), static_cast<int>(k.s.size()), SQLITE_TRANSIENT);
        else if (real_type(k.type))
            sqlite3_bind_double(st, at, k.e[0].r);
        else
            sqlite3_bind_int64(st, at, k.e[0].i);
    }
}

}  // namespace

bool Database::can_filter(const std::string &name, const Condition &where)
{
    std::shared_ptr<TableEntry> t;
    if (!DbAccess::lookup(*this, name, t).ok() || t->info.system)
        return false;
    std::string sql;
    std::vector<doz::Value> params;
    return condition_sql(*t, where, 0, sql, params);
}

Fault Database::scan(const std::string &name, Cursor &cursor, std::function<bool()> stop, const Condition *where,
                     bool ids)
{
    cursor = Cursor();
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::lookup(*this, name, t); !f.ok())
        return f;
    cursor.items_ = t->info.items;
    for (auto &it : cursor.items_)
        cursor.cols_.push_back(column_of(it));
    cursor.stop_ = std::move(stop);
    if (t->info.system) {
        cursor.sys_ = std::make_shared<Relation>();
        return system_relation(name, *cursor.sys_);
    }
    // A table with no columns still selects something.
    cursor.ids_ = ids || t->info.def.cols.empty();
    std::string sql = select_list(*t, cursor.ids_);
    std::vector<doz::Value> params;
    if (where) {
        std::string cond;
        if (!condition_sql(*t, *where, 0, cond, params))
            return db_fault(BAD_SETTING, t->info.def.name);
        sql += " WHERE " + cond;
    }
    // A sequenced table is read along the table and sorted ("+seq" keeps
    // SQLite off the index on seq): following the index would fetch every
    // row from another place in the file.
    sql += t->info.sequenced ? " ORDER BY +seq" : " ORDER BY nat";
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &cursor.stmt_, nullptr);
    if (rc != SQLITE_OK)
        return sql_fault(db_, rc);
    bind_params(cursor.stmt_, params);
    return {};
}

namespace {

// Whether the values of item `from` go into a column of item `to` as they
// are stored: the same type and shape, a text column no narrower (the
// texts themselves are measured after the copy).
bool copies_as_stored(const Item &from, const Item &to)
{
    if (from.type != to.type || from.arr != 0 || to.arr != 0)
        return false;
    if (to.type == doz::STRING)
        return to.len >= from.len;
    return to.type != doz::BLOB || to.len == from.len;
}

struct ProgressStop {
    const std::function<bool()> *stop;
    bool stopped = false;
};

int progress_stop(void *arg)
{
    auto *p = static_cast<ProgressStop *>(arg);
    if (!p->stopped && *p->stop && (*p->stop)())
        p->stopped = true;
    return p->stopped ? 1 : 0;
}

}  // namespace

Fault Database::copy_rows(const std::string &from, const Condition *where, const std::string &to,
                          const std::vector<int> &map, const std::function<bool()> &stop, bool &done, int64_t &copied)
{
    done = false;
    copied = 0;
    std::shared_ptr<TableEntry> src, dst;
    if (Fault f = DbAccess::lookup(*this, from, src); !f.ok())
        return f;
    if (Fault f = DbAccess::user_table(*this, to, dst); !f.ok())
        return f;
    if (src->info.system || src->id == dst->id || dst->info.def.fixed || dst->info.sequenced || keyed(*dst) ||
        map.size() != dst->info.def.cols.size())
        return {};
    std::string sql = "INSERT INTO " + dst->data + " SELECT NULL, NULL, NULL";
    std::vector<std::pair<int, int>> texts;  // target column, its width
    for (size_t i = 0; i < map.size(); ++i) {
        const ColumnDef &c = dst->info.def.cols[i];
        if (!c.nulls || c.key)
            return {};
        int at = map[i];
        if (at < 0) {
            sql += ", NULL";
            continue;
        }
        if (static_cast<size_t>(at) >= src->info.items.size() ||
            !copies_as_stored(src->info.items[static_cast<size_t>(at)], dst->info.items[i]))
            return {};
        sql += ", c" + std::to_string(at);
        if (dst->info.items[i].type == doz::STRING)
            texts.emplace_back(static_cast<int>(i), dst->info.items[i].len);
    }
    sql += " FROM " + src->data;
    std::vector<doz::Value> params;
    if (where) {
        std::string cond;
        bool exact = true;
        if (!condition_sql(*src, *where, 0, cond, params, &exact) || !exact)
            return {};
        sql += " WHERE " + cond;
    }
    sql += src->info.sequenced ? " ORDER BY +seq" : " ORDER BY nat";
    if (Fault f = DbAccess::not_used_by_other(*this, *dst); !f.ok())
        return f;
    Change change(*this, db_, txn_, savepoints_);
    if (Fault f = change.start(); !f.ok())
        return f;
    // Reals go across as they are stored, bytes and all.
    auto real_copied = [&](int at) { return at >= 0 && single_real(src->info.items[static_cast<size_t>(at)]); };
    if (dst->plain_reals && !src->plain_reals && std::any_of(map.begin(), map.end(), real_copied))
        if (Fault f = DbAccess::lose_plain_reals(*this, *dst); !f.ok())
            return change.finish(f);
    int64_t before = 0;
    if (Fault f = DbAccess::number(*this, "SELECT coalesce(max(nat), 0) FROM " + dst->data, before); !f.ok())
        return change.finish(f);
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
    if (rc != SQLITE_OK)
        return change.finish(sql_fault(db_, rc));
    bind_params(st, params);
    ProgressStop ps{&stop};
    if (stop)
        sqlite3_progress_handler(db_, 1000, progress_stop, &ps);
    rc = sqlite3_step(st);
    if (stop)
        sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    sqlite3_finalize(st);
    if (ps.stopped) {
        Fault f;
        f.query = 7;
        return change.finish(f);
    }
    if (rc != SQLITE_DONE)
        return change.finish(sql_fault(db_, rc));
    int64_t n = sqlite3_changes64(db_);
    // A text longer than its new column would have failed that row:
    // then nothing is kept and the rows go the long way.
    for (auto [col, width] : texts) {
        int64_t over = 0;
        std::string c = "c" + std::to_string(col);
        if (Fault f = DbAccess::number(*this,
                                       "SELECT count(*) FROM (SELECT 1 FROM " + dst->data + " WHERE nat>? AND length(CAST(" +
                                           c + " AS BLOB))>" + std::to_string(width) + " LIMIT 1)",
                                       over, 0, nullptr, before);
            !f.ok())
            return change.finish(f);
        if (over) {
            change.finish(db_fault(BAD_VALUE));  // undoes the copy
            return {};
        }
    }
    Fault f = n ? DbAccess::count_rows(*this, dst->id, n) : Fault{};
    if (Fault g = change.finish(f); !g.ok())
        return g;
    done = true;
    copied = n;
    return {};
}

Cursor::~Cursor() { sqlite3_finalize(stmt_); }

Cursor::Cursor(Cursor &&o) noexcept { *this = std::move(o); }

Cursor &Cursor::operator=(Cursor &&o) noexcept
{
    if (this != &o) {
        sqlite3_finalize(stmt_);
        stmt_ = std::exchange(o.stmt_, nullptr);
        items_ = std::move(o.items_);
        ids_ = o.ids_;
        cols_ = std::move(o.cols_);
        sys_ = std::move(o.sys_);
        sys_pos_ = o.sys_pos_;
        stop_ = std::move(o.stop_);
        polls_ = o.polls_;
        fault_ = std::move(o.fault_);
    }
    return *this;
}

bool Cursor::next(std::vector<doz::Value> &row, RowId *id)
{
    if (!fault_.ok())
        return false;
    if (stop_ && (polls_++ & 63) == 0 && stop_()) {
        fault_.query = 7;
        return false;
    }
    if (sys_) {
        if (sys_pos_ >= sys_->rows.size())
            return false;
        row = sys_->rows[sys_pos_++];
        if (id)
            *id = static_cast<RowId>(sys_pos_);
        return true;
    }
    if (!stmt_)
        return false;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_DONE) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        return false;
    }
    if (rc != SQLITE_ROW) {
        fault_ = sql_fault(sqlite3_db_handle(stmt_), rc);
        return false;
    }
    if (id)
        *id = ids_ ? sqlite3_column_int64(stmt_, 0) : 0;
    if (row.size() != items_.size())
        row.resize(items_.size());
    const int first = ids_ ? 1 : 0;
    for (size_t i = 0; i < items_.size(); ++i)
        if (!read_number(items_[i], stmt_, static_cast<int>(i) + first, row[i]) &&
            !read_other(items_[i], stmt_, static_cast<int>(i) + first, row[i])) {
            fault_ = filer_fault(FILER_DAMAGED);
            return false;
        }
    return true;
}

Fault Database::use_exclusive(const std::string &name)
{
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, name, t); !f.ok())
        return f;
    if (DbAccess::held(*this, t->id))
        return {};
    int fd = open_lock(DbAccess::use_path(*this, t->id));
    if (fd < 0)
        return filer_fault(FILER_FAILURE, std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return db_fault(TABLE_IN_USE, t->info.def.name);
    }
    uses_.emplace_back(t->id, fd);
    return {};
}

Fault Database::unuse(const std::string &name)
{
    std::shared_ptr<TableEntry> t;
    if (!DbAccess::lookup(*this, name, t).ok() || t->info.system)
        return {};
    for (auto it = uses_.begin(); it != uses_.end(); ++it)
        if (it->first == t->id) {
            ::close(it->second);
            uses_.erase(it);
            break;
        }
    return {};
}

Fault Database::create_user(const std::string &name_in, const std::string &password, int access)
{
    std::string name = upper(name_in);
    if (!valid_name(name, MAX_USER_NAME) || name[0] == '%')
        return db_fault(BAD_LOGIN, name_in);
    if (password.size() > MAX_PASSWORD || access < ACCESS_SELECT || access > ACCESS_DBA)
        return db_fault(BAD_SETTING, name);
    std::string hashed = hash_password(password);
    if (hashed.empty())
        return filer_fault(FILER_FAILURE, "crypt");
    VX_CHANGE({
        int64_t n = 0;
        if (Fault f = DbAccess::number(*this, "SELECT count(*) FROM doz_users WHERE name=?", n, 0, &name); !f.ok())
            return f;
        if (n)
            return db_fault(USER_EXISTS, name);
        if (Fault f = DbAccess::room(*this, "%USERS", 1); !f.ok())
            return f;
        return DbAccess::step(*this, "INSERT INTO doz_users(name, password, access) VALUES(?, ?, ?)", name, hashed,
                              access);
    })
}

Fault Database::drop_user(const std::string &name_in)
{
    std::string name = upper(name_in);
    if (name == user_)
        return db_fault(BAD_SETTING, name);  // a connection does not remove its own user
    VX_CHANGE({
        if (Fault f = DbAccess::step(*this, "DELETE FROM doz_users WHERE name=?", name); !f.ok())
            return f;
        if (sqlite3_changes(db_) == 0)
            return db_fault(NO_USER, name);
        return DbAccess::step(*this, "DELETE FROM doz_privs WHERE user=?", name);
    })
}

Fault Database::set_access(const std::string &name_in, int access)
{
    std::string name = upper(name_in);
    if (access < ACCESS_SELECT || access > ACCESS_DBA)
        return db_fault(BAD_SETTING, name);
    VX_CHANGE({
        if (Fault f = DbAccess::step(*this, "UPDATE doz_users SET access=? WHERE name=?", access, name); !f.ok())
            return f;
        return sqlite3_changes(db_) ? Fault{} : db_fault(NO_USER, name);
    })
}

Fault Database::set_password(const std::string &password)
{
    if (password.size() > MAX_PASSWORD)
        return db_fault(BAD_SETTING, user_);
    std::string hashed = hash_password(password);
    if (hashed.empty())
        return filer_fault(FILER_FAILURE, "crypt");
    VX_CHANGE({
        if (Fault f = DbAccess::step(*this, "UPDATE doz_users SET password=? WHERE name=?", hashed, user_); !f.ok())
            return f;
        return sqlite3_changes(db_) ? Fault{} : db_fault(NO_USER, user_);
    })
}

Fault Database::grant(const std::string &table_name, const std::string &user_in, int priv,
                      const std::string &restriction)
{
    std::string user = upper(user_in);
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, table_name, t); !f.ok())
        return f;
    if (priv < PRIV_NONE || priv > PRIV_OWNERSHIP || restriction.size() > MAX_RESTRICTION)
        return db_fault(BAD_SETTING, user);
    VX_CHANGE({
        if (user != DEFAULT_USER) {
            int64_t n = 0;
            if (Fault f = DbAccess::number(*this, "SELECT count(*) FROM doz_users WHERE name=?", n, 0, &user); !f.ok())
                return f;
            if (!n)
                return db_fault(NO_USER, user);
        }
        if (Fault f = DbAccess::step(*this, "UPDATE doz_privs SET priv=?, restriction=? WHERE rel=? AND user=?", priv,
                                     restriction, t->id, user);
            !f.ok())
            return f;
        if (sqlite3_changes(db_))
            return Fault{};
        if (Fault f = DbAccess::room(*this, "%PRIVS", 1); !f.ok())
            return f;
        return DbAccess::step(*this, "INSERT INTO doz_privs(rel, user, priv, restriction) VALUES(?, ?, ?, ?)", t->id,
                              user, priv, restriction);
    })
}

Fault Database::revoke(const std::string &table_name, const std::string &user_in)
{
    std::string user = upper(user_in);
    std::shared_ptr<TableEntry> t;
    if (Fault f = DbAccess::user_table(*this, table_name, t); !f.ok())
        return f;
    VX_CHANGE({
        return DbAccess::step(*this, "DELETE FROM doz_privs WHERE rel=? AND user=?", t->id, user);
    })
}

Fault Database::params(DbParams &out)
{
    struct {
        const char *key;
        int64_t v = 0;
    } rows[4] = {{"%MEMSIZE"}, {"%DEFPOSTSIZE"}, {"%FILELOCKS"}, {"%MAXFILES"}};
    for (auto &r : rows) {
        std::string k = r.key;
        if (Fault f = DbAccess::number(*this, "SELECT value FROM doz_meta WHERE key=?", r.v, 0, &k); !f.ok())
            return f;
    }
    out.memsize = static_cast<int32_t>(rows[0].v);
    out.defpostsize = static_cast<int32_t>(rows[1].v);
    out.filelocks = rows[2].v != 0;
    out.maxfiles = static_cast<int32_t>(rows[3].v);
    return {};
}

doz::Column Database::column_of(const Item &it)
{
    doz::Column c;
    c.type = static_cast<int16_t>(it.type);
    c.width = static_cast<int16_t>(it.len);
    c.precision = static_cast<int16_t>(it.type == doz::STRING ? -1 : it.frac);
    c.count = it.arr;
    c.name = it.name;
    return c;
}

namespace {

doz::Value vstr(const std::string &s, int len) { return doz::make_string(s.substr(0, static_cast<size_t>(len)), len); }
doz::Value vlong(int64_t v) { return doz::make_long(v); }
doz::Value vshort(int64_t v) { return doz::make_long(v, doz::SHORT); }
doz::Value vbool(bool v) { return doz::make_bool(v); }

doz::Value vdims(const std::vector<int32_t> &dims)
{
    doz::Value v = doz::make_long(0);
    v.count = MAX_DIMS;
    v.e.assign(MAX_DIMS, doz::Elem{});
    for (size_t i = 0; i < dims.size() && i < MAX_DIMS; ++i)
        v.e[i].i = dims[i];
    return v;
}

void item_row(Relation &r, const Item &it)
{
    r.rows.push_back({vstr(it.name, 12), vstr(it.alias, 12), vshort(it.type), vlong(it.len), vlong(it.frac),
                      vlong(it.arr), vshort(static_cast<int64_t>(it.dims.size())), vdims(it.dims)});
}

}  // namespace

Fault Database::system_relation(const std::string &name_in, Relation &out)
{
    std::string name = upper(name_in);
    int which = system_index(name);
    if (which < 0)
        return db_fault(NO_TABLE, name);
    out = Relation();
    const auto &cols = system_columns(which);
    for (auto &c : cols)
        for (auto &it : system_items())
            if (it.name == c.name)
                out.cols.push_back(column_of(it));
    // Reads one query's rows through a row maker.
    auto rows = [&](const std::string &sql, const std::function<void(sqlite3_stmt *)> &make) -> Fault {
        S st;
        if (Fault f = DbAccess::prep(*this, sql, st); !f.ok())
            return f;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            make(st);
        return rc == SQLITE_DONE ? Fault{} : sql_fault(db_, rc);
    };
    switch (which) {
    case 0:  // %RELATNS: the system relations, then the tables in creation order
        for (auto &t : SYSTEM_TABLES) {
            std::shared_ptr<TableEntry> e;
            if (Fault f = DbAccess::lookup(*this, t.name, e); !f.ok())
                return f;
            int64_t gotix = 0;
            std::string n = t.name;
            if (Fault f = DbAccess::number(*this, "SELECT gotix FROM doz_systables WHERE name=?", gotix, 0, &n); !f.ok())
                return f;
            out.rows.push_back({vstr(t.name, 8), vlong(e->info.def.maxsize), vstr("", 19),
                                vstr(e->info.dname, 10), vbool(gotix != 0)});
        }
        return rows("SELECT r.name, r.maxsize, r.location, r.id, "
                    "EXISTS(SELECT 1 FROM doz_indexes x WHERE x.rel=r.id) FROM doz_relations r ORDER BY r.id",
                    [&](sqlite3_stmt *st) {
                        out.rows.push_back({vstr(text_at(st, 0), 8), vlong(sqlite3_column_int64(st, 1)),
                                            vstr(text_at(st, 2), 19), vstr(data_table(sqlite3_column_int64(st, 3)), 10),
                                            vbool(sqlite3_column_int(st, 4) != 0)});
                    });
    case 1:  // %ITEMS
        for (auto &it : system_items())
            item_row(out, it);
        return rows("SELECT name, alias, type, len, frac, arr, dims FROM doz_items ORDER BY rowid",
                    [&](sqlite3_stmt *st) {
                        item_row(out, Item{text_at(st, 0), text_at(st, 1), sqlite3_column_int(st, 2),
                                           sqlite3_column_int(st, 3), sqlite3_column_int(st, 4),
                                           sqlite3_column_int(st, 5), parse_dims(text_at(st, 6).c_str())});
                    });
    case 2:  // %COLS: grouped by table, columns in table order
        for (int t = 0; t < 7; ++t)
            for (auto &c : system_columns(t))
                out.rows.push_back({vstr(SYSTEM_TABLES[t].name, 8), vstr(c.name, 12), vbool(c.key), vbool(c.nulls)});
        return rows("SELECT r.name, c.item, c.key, c.nulls FROM doz_columns c JOIN doz_relations r ON r.id=c.rel "
                    "ORDER BY r.id, c.pos",
                    [&](sqlite3_stmt *st) {
                        out.rows.push_back({vstr(text_at(st, 0), 8), vstr(text_at(st, 1), 12),
                                            vbool(sqlite3_column_int(st, 2)), vbool(sqlite3_column_int(st, 3))});
                    });
    case 3:  // %INDEXES
        return rows("SELECT r.name, x.xno, x.location, x.uniq, x.upd FROM doz_indexes x "
                    "JOIN doz_relations r ON r.id=x.rel ORDER BY r.id, x.xno",
                    [&](sqlite3_stmt *st) {
                        out.rows.push_back({vstr(text_at(st, 0), 8), vlong(sqlite3_column_int64(st, 1)),
                                            vstr(text_at(st, 2), 16), vbool(sqlite3_column_int(st, 3)),
                                            vbool(sqlite3_column_int(st, 4))});
                    });
    case 4:  // %KEYS: keys of an index in their order
        return rows("SELECT r.name, k.xno, k.item, k.kno, k.asc, k.native FROM doz_keys k "
                    "JOIN doz_relations r ON r.id=k.rel ORDER BY r.id, k.xno, k.kno",
                    [&](sqlite3_stmt *st) {
                        out.rows.push_back({vstr(text_at(st, 0), 8), vlong(sqlite3_column_int64(st, 1)),
                                            vstr(text_at(st, 2), 12), vlong(sqlite3_column_int64(st, 3)),
                                            vbool(sqlite3_column_int(st, 4)), vbool(sqlite3_column_int(st, 5))});
                    });
    case 5:  // %USERS (the passwords stay unlisted)
        return rows("SELECT name, access FROM doz_users ORDER BY id", [&](sqlite3_stmt *st) {
            out.rows.push_back({vstr(text_at(st, 0), 30), vshort(sqlite3_column_int(st, 1))});
        });
    default:  // %PRIVS
        return rows("SELECT r.name, p.user, p.priv, p.restriction FROM doz_privs p "
                    "JOIN doz_relations r ON r.id=p.rel ORDER BY p.id",
                    [&](sqlite3_stmt *st) {
                        out.rows.push_back({vstr(text_at(st, 0), 8), vstr(text_at(st, 1), 30),
                                            vshort(sqlite3_column_int(st, 2)), vstr(text_at(st, 3), 81)});
                    });
    }
}

Fault Database::sysinfo(const std::string &location, const std::string &file, const std::string &what_in,
                        int64_t &out)
{
    (void)location;  // every file of a database lives in its one store
    std::string what = upper(what_in);
    if (what != "FIXED" && what != "STRUCTURE" && what != "REQMEM" && what != "SIZE" && what != "MAXRECS")
        return db_fault(BAD_SETTING, what_in);
    // The database's file count.
    if (file == dictionary_file(name_, 'm')) {
        int64_t n = 0;
        if (Fault f = DbAccess::number(*this, "SELECT count(*) FROM doz_relations", n); !f.ok())
            return f;
        DbParams p;
        if (Fault f = params(p); !f.ok())
            return f;
        out = what == "SIZE" ? n + 7 : what == "MAXRECS" ? p.maxfiles : what == "FIXED" ? 1 : 0;
        return {};
    }
    std::shared_ptr<TableEntry> e;
    int64_t rows = 0;
    for (int i = 0; i < 7 && !e; ++i)
        if (file == dictionary_file(name_, SYSTEM_TABLES[i].letter)) {
            if (Fault f = DbAccess::lookup(*this, SYSTEM_TABLES[i].name, e); !f.ok())
                return f;
            if (what == "SIZE") {
                static const char *const counts[7] = {
                    "SELECT count(*) FROM doz_relations", "SELECT count(*) FROM doz_items",
                    "SELECT count(*) FROM doz_columns",   "SELECT count(*) FROM doz_indexes",
                    "SELECT count(*) FROM doz_keys",      "SELECT count(*) FROM doz_users",
                    "SELECT count(*) FROM doz_privs"};
                if (Fault f = DbAccess::number(*this, counts[i], rows); !f.ok())
                    return f;
                if (i == 0)
                    rows += 7;
                else if (i == 1)
                    rows += static_cast<int64_t>(system_items().size());
                else if (i == 2)
                    for (int t = 0; t < 7; ++t)
                        rows += static_cast<int64_t>(system_columns(t).size());
            }
        }
    if (!e) {
        if (file.size() != 10 || file[0] != 'd')
            return db_fault(NO_TABLE, file);
        std::string name;
        S st;
        if (Fault f = DbAccess::prep(*this, "SELECT name FROM doz_relations WHERE id=?", st); !f.ok())
            return f;
        sqlite3_bind_int64(st, 1, std::strtoll(file.c_str() + 1, nullptr, 10));
        if (sqlite3_step(st) != SQLITE_ROW)
            return db_fault(NO_TABLE, file);
        name = text_at(st, 0);
        if (Fault f = DbAccess::lookup(*this, name, e); !f.ok())
            return f;
        if (what == "SIZE")
            if (Fault f = DbAccess::number(*this, "SELECT nrows FROM doz_relations WHERE id=?", rows, 0, nullptr, e->id);
                !f.ok())
                return f;
    }
    const TableDef &d = e->info.def;
    out = what == "FIXED" ? d.fixed : what == "STRUCTURE" ? d.structure : what == "REQMEM" ? d.memmode
        : what == "SIZE" ? rows : d.maxsize;
    return {};
}

}  // namespace dozstore
