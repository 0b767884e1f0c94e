// Items, tables, order, indexes, USE locks, users and privileges, and the
// dictionary's own relations.

#include "dozst_access.h"

namespace dozstore {

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
