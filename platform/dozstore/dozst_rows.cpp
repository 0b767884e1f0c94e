// Rows: inserts, the appender, updates, erases, reads, fetches, scans
// with their conditions, and copies of rows from table to table.

#include "dozst_access.h"

namespace dozstore {

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

}  // namespace dozstore
