// The database layer: databases (CREATE, OPEN, CLOSE, DROP, CONFIGURE),
// USE and UNUSE, the dictionary's own settings (CONFIGURE of a system
// relation, INDEX, DROP INDEX FROM), tables (DROP, RENAME, CLEAR, DELETE,
// SEQUENCE), the queries (DISPLAY, SELECT, COLLECT, GROUP), users and
// privileges (enforced, with row restrictions), the row editor (FETCH,
// UPDATE and DELETE CURRENT) and WRITE of the rows the client packed,
// each data-changing statement one storage transaction.

#include "dozeng_db.h"
#include "dozeng_dbint.h"


#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace doz {

namespace {

using namespace dbl;

// The source of a query: FROM t [, t], or FROMVAR (the one-row source of
// the start-up macro, also when that macro is not defined).
void parse_source(Stmt &s, Source &src, NodeP &where_from_source)
{
    ds::Database &db = need_db(s.st);
    if (s.c.accept_word("FROMVAR")) {
        add_table(s.st, db, src, "%USERS");
        Cursor w;
        w.toks = tokenize("%UNAME=SYSUSER()");
        where_from_source = parse_expression(w);
        return;
    }
    s.c.expect_word("FROM");
    add_table(s.st, db, src, table_name(s.st, s.c));
    if (s.c.accept_punct(","))
        add_table(s.st, db, src, table_name(s.st, s.c));
}

struct Query {
    std::string word;  // DISPLAY, SELECT or COLLECT
    std::vector<QItem> items;
    Source src;
    NodeP join, where, source_where;
    std::vector<SortKey> sort;
    std::string to;
};

void parse_query(Stmt &s, Query &q)
{
    bool star = false;
    q.items = parse_items(s.c, star);
    parse_source(s, q.src, q.source_where);
    if (q.src.tables.empty())
        s.c.syntax();
    if (s.c.accept_word("WHERE")) {
        // FROMVAR's own condition comes first: "FROMVAR WHERE c".
        q.where = parse_expression(s.c);
    }
    if (s.c.accept_word("JOIN"))
        q.join = parse_expression(s.c);
    if (!q.where && s.c.accept_word("WHERE"))
        q.where = parse_expression(s.c);
    if (s.c.accept_word("SEQUENCE")) {
        s.c.expect_word("BY");
        q.sort = parse_sort(s.c);
    }
    if (s.c.accept_word("TO"))
        q.to = table_name(s.st, s.c);
    s.c.expect_end();
    if (star)
        for (size_t i = 0; i < q.src.cols.size(); i++) {
            QItem it;
            it.expr = std::make_unique<Node>();
            it.expr->kind = Node::NAME;
            it.expr->name = q.src.cols[i].name;
            it.expr->slot = static_cast<int>(i);
            q.items.push_back(std::move(it));
        }
    const std::string &prefix = s.st.config.result_prefix;
    for (QItem &it : q.items)
        bind_names(*it.expr, q.src, s.st, ds::UNKNOWN_ITEM, prefix);
    for (NodeP *n : {&q.join, &q.where, &q.source_where})
        if (*n)
            bind_names(**n, q.src, s.st, ds::UNKNOWN_ITEM, prefix);
    for (SortKey &k : q.sort)
        bind_names(*k.expr, q.src, s.st, 107, prefix);
    describe_items(s.st, q.items, q.src);
}

// The rows of a query, evaluated, sorted and aggregated; f(values) per
// output row.
template <class F>
void run_query(Stmt &s, Query &q, F &&f)
{
    ds::Database &db = need_db(s.st);
    EvalCtx ctx{s.st, false};
    Node *where = q.where.get();
    std::unique_ptr<Node> both;
    if (q.source_where && q.where) {
        both = std::make_unique<Node>();
        both->kind = Node::BINARY;
        both->name = "AND";
        both->kids.push_back(std::move(q.source_where));
        both->kids.push_back(std::move(q.where));
        where = both.get();
    } else if (q.source_where) {
        where = q.source_where.get();
    }
    // One row's item values, made in a vector kept from row to row: a
    // plain column is copied into the value already there (its storage
    // reused), anything else evaluated.
    // Items that are the row's columns in order are the row itself.
    std::vector<Value> made(q.items.size());
    bool whole_row = q.src.tables.size() == 1 && q.items.size() == q.src.cols.size();
    for (size_t i = 0; whole_row && i < q.items.size(); i++) {
        const Node &e = *q.items[i].expr;
        whole_row = e.kind == Node::NAME && e.slot == static_cast<int>(i);
    }
    auto values = [&](const std::vector<Value> &row) -> const std::vector<Value> & {
        if (whole_row && row.size() == made.size())
            return row;
        ctx.row = &row;
        for (size_t i = 0; i < q.items.size(); i++) {
            const Node &e = *q.items[i].expr;
            if (e.kind == Node::NAME && e.slot >= 0 && static_cast<size_t>(e.slot) < row.size())
                assign(made[i], row[static_cast<size_t>(e.slot)]);
            else
                made[i] = evaluate(e, ctx);
        }
        return made;
    };
    if (any_aggregate(q.items)) {
        std::vector<Acc> acc(q.items.size());
        each_row(s.st, db, q.src, q.join.get(), where, [&](const std::vector<Value> &row) {
            const std::vector<Value> &v = values(row);
            for (size_t i = 0; i < v.size(); i++)
                acc[i].add(q.items[i].agg, v[i]);
            return true;
        });
        std::vector<Value> out;
        for (size_t i = 0; i < acc.size(); i++)
            out.push_back(acc[i].result(q.items[i].agg, q.items[i].col));
        f(out);
        return;
    }
    if (q.sort.empty()) {
        each_row(s.st, db, q.src, q.join.get(), where, [&](const std::vector<Value> &row) { return f(values(row)); });
        return;
    }
    std::vector<std::pair<std::vector<Value>, std::vector<Value>>> rows;
    EvalCtx kctx{s.st, false};
    each_row(s.st, db, q.src, q.join.get(), where, [&](const std::vector<Value> &row) {
        rows.emplace_back(sort_values(kctx, q.sort, row), values(row));
        return true;
    });
    sort_rows(rows, q.sort);
    for (auto &r : rows)
        if (!f(r.second))
            return;
}

bool display_on(SessionState &st)
{
    auto it = st.system.find("%DISPLAY");
    return it == st.system.end() || it->second.null || it->second.e[0].i;
}

// DISPLAY and COLLECT: rows to the client (unless %DISPLAY is FALSE);
// COLLECT also gathers each "expr AS V" into the variable V, and DISPLAY
// leaves the last row's value in a variable named by AS.
void st_display(Stmt &s, bool collect)
{
    Query q;
    parse_query(s, q);
    if (!q.to.empty())
        s.c.syntax();
    std::vector<Column> cols = columns_of(q.items);
    std::vector<int> var_of(q.items.size(), -1);
    std::vector<Value> gathered;
    for (size_t i = 0; i < q.items.size(); i++) {
        const QItem &it = q.items[i];
        if (it.as.empty() || !s.st.variables.count(it.as))
            continue;
        if (collect) {
            int t = it.col.type;
            if (it.col.count != 0 || !has_arrays(t))
                fail(E_NO_ARRAYS, it.as);
            Value a = make_null(t, it.col.width);
            a.null = false;
            gathered.push_back(a);
            var_of[i] = static_cast<int>(gathered.size() - 1);
        } else {
            var_of[i] = 0;
        }
    }
    if (collect)
        for (size_t i = 0; i < q.items.size(); i++)
            if (!q.items[i].as.empty() && var_of[i] < 0)
                fail(E_NO_VARIABLE, q.items[i].as);
    bool show = display_on(s.st) && !cols.empty();
    if (show)
        s.sink.columns(cols);
    if (s.noeval) {
        if (show)
            s.sink.end();
        return;
    }
    int32_t rows = 0;
    std::vector<Value> last;
    const bool keep_last = !collect && std::any_of(var_of.begin(), var_of.end(), [](int k) { return k >= 0; });
    run_query(s, q, [&](const std::vector<Value> &v) {
        rows++;
        if (collect) {
            for (size_t i = 0; i < v.size(); i++)
                if (var_of[i] >= 0 && !v[i].null) {
                    Value &a = gathered[static_cast<size_t>(var_of[i])];
                    if (a.e.size() >= static_cast<size_t>(MAX_ELEMENTS))
                        fail(E_OVERFLOW, q.items[i].as);
                    a.e.push_back(v[i].e[0]);
                }
        } else if (keep_last) {
            last = v;
        }
        return show ? s.sink.row(v) : true;
    });
    if (show)
        s.sink.end();
    s.status.rows = rows;
    for (size_t i = 0; i < q.items.size(); i++) {
        if (var_of[i] < 0)
            continue;
        if (collect) {
            Value a = gathered[static_cast<size_t>(var_of[i])];
            a.count = -std::max<int32_t>(static_cast<int32_t>(a.e.size()), 1);
            s.st.variables[q.items[i].as] = std::move(a);
        } else if (!last.empty()) {
            s.st.variables[q.items[i].as] = last[i];
        }
    }
}

// Rows into a new result table (replacing it) or a named table.
struct Writer {
    Target t;
    ds::OnDuplicate dup = ds::OnDuplicate::REJECT;
    bool unique = false;
    std::set<std::vector<Value>, RowLess> seen;
    int32_t written = 0;
    uint32_t tried = 0;
};

void open_writer(Stmt &s, ds::Database &db, Writer &w, const std::string &table, bool replace,
                 const std::vector<QItem> &items, bool unique)
{
    std::vector<Column> cols = columns_of(items);
    bool there = db.exists(table);
    if (replace && there) {
        check(db.drop_table(table));
        there = false;
    }
    if (!there) {
        need_create(s.st, db, table);
        create_for(s.st, db, table, items, cols);
        if (result_name(s.st, table))
            state(s.st).made_result(table);
    }
    w.t.table = table;
    bool overwrite = sysvar_on(s.st, "%OVERWRITE");
    need_priv(s.st, db, table, overwrite ? ds::PRIV_WRITE : ds::PRIV_APPEND);
    open_target(db, w.t, cols);
    w.dup = overwrite ? ds::OnDuplicate::REPLACE : ds::OnDuplicate::REJECT;
    w.unique = unique;
}

void write_row(Stmt &s, Writer &w, const std::vector<Value> &r)
{
    if (w.unique && !w.seen.insert(r).second)
        return;
    if ((++w.tried & 1023) == 0 && stopping(s.st))
        fail(E_STOPPED);
    put_row(w.t, r, w.dup);
}

// Rows already in hand written to a target in one transaction; the
// number written.
int32_t write_rows(Stmt &s, ds::Database &db, const std::string &table, bool replace, const std::vector<QItem> &items,
                   bool unique, const std::vector<std::vector<Value>> &rows)
{
    Txn txn(db);
    Writer w;
    open_writer(s, db, w, table, replace, items, unique);
    for (const std::vector<Value> &r : rows)
        write_row(s, w, r);
    w.written = finish_target(w.t);
    txn.commit();
    return w.written;
}

// A SELECT of plain columns of one table into another, under a condition
// the storage judges exactly, done by the storage alone (no values made
// row by row); false when it cannot be done so, with nothing changed.
bool copy_in_storage(Stmt &s, ds::Database &db, Query &q, Writer &w)
{
    if (q.src.tables.size() != 1 || q.join || q.source_where || !q.sort.empty() || q.src.restrict[0] ||
        any_aggregate(q.items))
        return false;
    std::vector<int> map;
    for (int at : w.t.map) {
        if (at < 0) {
            map.push_back(-1);
            continue;
        }
        const Node &e = *q.items[static_cast<size_t>(at)].expr;
        if (e.kind != Node::NAME || e.slot < 0 || static_cast<size_t>(e.slot) >= q.src.cols.size())
            return false;
        map.push_back(e.slot);
    }
    ds::Condition pushed;
    if (q.where && !storage_condition(s.st, *q.where, pushed))
        return false;
    bool done = false;
    int64_t copied = 0;
    check(db.copy_rows(q.src.tables[0], q.where ? &pushed : nullptr, w.t.table, map,
                       [&st = s.st] { return stopping(st); }, done, copied));
    if (done)
        w.written = static_cast<int32_t>(copied);
    return done;
}

void st_select(Stmt &s)
{
    Query q;
    parse_query(s, q);
    if (q.items.empty())
        fail_db(ds::BAD_COLUMNS, "SELECT");
    if (s.noeval)
        return;
    ds::Database &db = need_db(s.st);
    bool to_result = q.to.empty();
    std::string table = to_result ? s.st.config.result_prefix : q.to;
    bool unique = to_result && sysvar_on(s.st, "%UNIQUE");
    if (std::find(q.src.tables.begin(), q.src.tables.end(), table) == q.src.tables.end()) {
        // Rows go straight from the source into the target, all inside
        // the statement's transaction.
        Txn txn(db);
        Writer w;
        open_writer(s, db, w, table, to_result, q.items, unique);
        if (!unique && copy_in_storage(s, db, q, w)) {
            txn.commit();
            s.status.rows = w.written;
            return;
        }
        run_query(s, q, [&](const std::vector<Value> &v) {
            write_row(s, w, v);
            return true;
        });
        w.written = finish_target(w.t);
        txn.commit();
        s.status.rows = w.written;
    } else {
        // The target is read as well: its rows as they were come first,
        // read inside the transaction that writes them, so that no other
        // connection's change falls between the read and the write.
        Txn txn(db);
        std::vector<std::vector<Value>> rows;
        run_query(s, q, [&](const std::vector<Value> &v) {
            rows.push_back(v);
            return true;
        });
        s.status.rows = write_rows(s, db, table, to_result, q.items, unique, rows);
        txn.commit();
    }
}

// GROUP t BY g items [WHERE c]: one row per value of g, in ascending
// order, into the result table.
void st_group(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    Source src;
    add_table(s.st, db, src, table_name(s.st, s.c));
    s.c.expect_word("BY");
    NodeP key = parse_expression(s.c);
    bool star = false;
    std::vector<QItem> items = parse_items(s.c, star);
    if (star)
        s.c.syntax();
    NodeP where;
    if (s.c.accept_word("WHERE"))
        where = parse_expression(s.c);
    s.c.expect_end();
    const std::string &prefix = s.st.config.result_prefix;
    bind_names(*key, src, s.st, ds::UNKNOWN_ITEM, prefix);
    for (QItem &it : items)
        bind_names(*it.expr, src, s.st, ds::UNKNOWN_ITEM, prefix);
    if (where)
        bind_names(*where, src, s.st, ds::UNKNOWN_ITEM, prefix);
    // The key column first, named after the grouping column.
    QItem k;
    k.expr = std::move(key);
    if (k.expr->kind == Node::NAME && k.expr->slot >= 0)
        k.as = src.cols[static_cast<size_t>(k.expr->slot)].name;
    else
        k.as = "%GROUP";
    items.insert(items.begin(), std::move(k));
    describe_items(s.st, items, src);
    if (s.noeval)
        return;
    Txn txn(db);  // the rows grouped are the rows of the moment of the write
    EvalCtx ctx{s.st, false};
    std::map<Value, std::vector<Acc>, ValueLess> groups;
    each_row(s.st, db, src, nullptr, where.get(), [&](const std::vector<Value> &row) {
        ctx.row = &row;
        Value g = evaluate(*items[0].expr, ctx);
        auto [at, added] = groups.try_emplace(g);
        if (added)
            at->second.resize(items.size());
        std::vector<Acc> &acc = at->second;
        acc[0].add(NO_AGG, g);
        for (size_t i = 1; i < items.size(); i++)
            acc[i].add(items[i].agg, evaluate(*items[i].expr, ctx));
        return true;
    });
    std::vector<std::vector<Value>> rows;
    for (auto &[g, acc] : groups) {
        std::vector<Value> r;
        for (size_t i = 0; i < items.size(); i++)
            r.push_back(acc[i].result(items[i].agg, items[i].col));
        rows.push_back(std::move(r));
    }
    s.status.rows = write_rows(s, db, prefix, true, items, false, rows);
    txn.commit();
}

// SEQUENCE t BY keys: the table's reads follow the keys from now on;
// SEQUENCE t: back to the natural order.
void st_sequence(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string table = table_name(s.st, s.c);
    // The order every reader of the table follows: a change to the table.
    if (s.c.end()) {
        if (!s.noeval) {
            need_priv(s.st, db, table, ds::PRIV_WRITE);
            change(db, [&] { return db.unsequence(table); });
        }
        return;
    }
    s.c.expect_word("BY");
    Source src;
    add_table(s.st, db, src, table, s.noeval ? ds::PRIV_READ : ds::PRIV_WRITE);
    std::vector<SortKey> keys = parse_sort(s.c);
    s.c.expect_end();
    for (SortKey &k : keys)
        bind_names(*k.expr, src, s.st, 107, s.st.config.result_prefix);
    if (s.noeval)
        return;
    // The rows ordered are the rows stored when the order is written: no
    // row added or deleted in between is left out or named.
    Txn txn(db);
    EvalCtx ctx{s.st, false};
    std::vector<std::pair<std::vector<Value>, ds::RowId>> rows;
    ds::Cursor cur;
    check(db.scan(table, cur, [&] { return stopping(s.st); }));
    std::vector<Value> row;
    ds::RowId id;
    while (cur.next(row, &id))
        rows.emplace_back(sort_values(ctx, keys, row), id);
    check(cur.fault());
    sort_rows(rows, keys);
    std::vector<ds::RowId> order;
    order.reserve(rows.size());
    for (auto &r : rows)
        order.push_back(r.second);
    check(db.sequence(table, order));
    txn.commit();
}

// ---- databases -------------------------------------------------------------------

std::optional<std::string> offered_password(const SessionState &st)
{
    return st.password_given ? std::optional<std::string>(st.password) : std::nullopt;
}

void st_create_database(Stmt &s)
{
    std::string name = s.c.name();
    std::string location = "./";
    if (s.c.accept_word("ON"))
        location = text_operand(s.c);
    s.c.expect_end();
    if (s.noeval)
        return;
    const std::string &user = s.st.config.user;
    check(ds::create_database(s.st.config.server_dir, name, location, user,
                              ds::session_password(user, offered_password(s.st))));
}

void st_open(Stmt &s)
{
    std::string name = s.c.name();
    ds::OpenMode mode = ds::OpenMode::SHARED;
    if (s.c.accept_word("EXCLUSIVE"))
        mode = ds::OpenMode::EXCLUSIVE;
    else if (s.c.accept_word("FORCED"))
        mode = ds::OpenMode::FORCED;
    std::string location;
    if (s.c.accept_word("ON"))
        location = text_operand(s.c);
    s.c.expect_end();
    if (s.noeval)
        return;
    DbState &d = state(s.st);
    d.close();
    s.st.dbname.clear();
    const std::string &user = s.st.config.user;
    ds::Fault f;
    d.db = ds::Database::open(s.st.config.server_dir, name, location, mode, user,
                              ds::session_password(user, offered_password(s.st)), f);
    if (!d.db)
        raise(f);
    d.drop_leftovers();
    s.st.dbname = d.db->name();
}

void st_close(Stmt &s)
{
    s.c.expect_end();
    if (s.noeval)
        return;
    state(s.st).close();
    s.st.dbname.clear();
}

void need_dba_of(Stmt &s, const std::string &name);

void st_configure(Stmt &s)
{
    if (s.c.accept_word("DATABASE")) {
        std::string name = s.c.name();
        std::vector<std::pair<std::string, int64_t>> settings;
        EvalCtx ctx{s.st, s.noeval};
        while (s.c.accept_word("SET")) {
            std::string var = s.c.name();
            const SysVar *sv = find_sysvar(var);
            if (!sv || !sv->database)
                fail(E_NO_SYSVAR, var);
            NodeP e = parse_expression(s.c);
            Value v = evaluate(*e, ctx);
            bool ok = sv->type == BOOL ? v.type == BOOL : is_integer(v.type);
            if (!ok || v.is_array() || (!s.noeval && v.null))
                fail(E_SYSVAR_VALUE, var);
            settings.emplace_back(var, s.noeval ? 0 : v.e[0].i);
        }
        s.c.expect_end();
        if (settings.empty())
            s.c.syntax();
        if (!s.noeval) {
            need_dba_of(s, name);
            check(ds::configure_database(s.st.config.server_dir, name, settings));
        }
        return;
    }
    ds::Database &db = need_db(s.st);
    std::string table = table_name(s.st, s.c);
    s.c.expect_punct("[");
    if (s.c.peek().kind != T_NUMBER || !s.c.peek().integer)
        s.c.syntax();
    int64_t size = std::stoll(s.c.toks[s.c.at++].text);
    s.c.expect_punct("]");
    s.c.expect_word("AS");
    bool fixed = keyword_index(s.c, {"EXTENSIBLE", "FIXED"}) == 1;
    std::optional<int> mem;
    if (!s.c.end())
        mem = keyword_index(s.c, {"NOCACHED", "CACHED", "MEMORY"});
    s.c.expect_end();
    if (size < 1 || size > INT32_MAX)
        fail_db(ds::BAD_SETTING, table);
    if (s.noeval)
        return;
    need_structure(s.st, db, table);
    change(db, [&] { return db.configure_table(table, static_cast<int32_t>(size), fixed, mem); });
}

// Statements on a closed database as a whole are its DBAs' (a database
// that cannot be opened to ask is left to the statement).
void need_dba_of(Stmt &s, const std::string &name)
{
    const std::string &user = s.st.config.user;
    ds::Fault f;
    std::unique_ptr<ds::Database> db =
        ds::Database::open(s.st.config.server_dir, name, "", ds::OpenMode::SHARED, user,
                           ds::session_password(user, offered_password(s.st)), f);
    if (!db) {
        if (f.database == ds::BAD_LOGIN)
            raise(f);
        return;
    }
    need_access(s.st, *db, ds::ACCESS_DBA, name);
}

void st_drop_database(Stmt &s)
{
    std::string name = s.c.name();
    s.c.expect_end();
    if (s.noeval)
        return;
    need_dba_of(s, name);
    confirm(s.st, DZQ_DROP_DATABASE, name);
    check(ds::drop_database(s.st.config.server_dir, name));
}

// ---- tables ---------------------------------------------------------------------

int small_number(Cursor &c, int64_t lo, int64_t hi)
{
    if (c.peek().kind != T_NUMBER || !c.peek().integer)
        c.syntax();
    const std::string &t = c.toks[c.at].text;
    int64_t v = t.size() > 12 ? hi + 1 : std::stoll(t);
    if (v < lo || v > hi)
        fail(E_ARGUMENT, t);
    c.at++;
    return static_cast<int>(v);
}


// CREATE ITEM name [ALIAS a] AS BLOB CLASS n
// CREATE ITEM name [ALIAS a] AS TYPE(len[,frac])[[d1,d2...][VAR]]
void st_create_item(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    ds::Item it;
    it.name = s.c.name();
    if (s.c.accept_word("ALIAS"))
        it.alias = s.c.name();
    s.c.expect_word("AS");
    static const char *const types[] = {"STRING", "LONG", "SHORT", "REAL", "DATE", "TIME",
                                        "COMPLEX", "BOOL", "CHAR", "SHORTREAL", "BYTE", "BLOB"};
    std::string t = s.c.name();
    it.type = -1;
    for (int i = 0; i < TYPE_COUNT; i++)
        if (t == types[i])
            it.type = i;
    if (it.type < 0)
        fail_db(ds::BAD_ITEM, t);
    if (it.type == BLOB) {
        s.c.expect_word("CLASS");
        it.len = small_number(s.c, 0, INT32_MAX);
    } else {
        s.c.expect_punct("(");
        it.len = small_number(s.c, 0, MAX_STRING);
        if (s.c.accept_punct(","))
            it.frac = small_number(s.c, -1, 20);
        s.c.expect_punct(")");
        if (s.c.accept_punct("[")) {
            int64_t n = 1;
            do {
                it.dims.push_back(small_number(s.c, 1, MAX_ELEMENTS));
                n *= it.dims.back();
                if (n > MAX_ELEMENTS)
                    fail_db(ds::BAD_ITEM, it.name);
            } while (s.c.accept_punct(","));
            s.c.expect_punct("]");
            it.arr = static_cast<int32_t>(n);
            if (s.c.accept_word("VAR"))
                it.arr = -it.arr;
        }
    }
    s.c.expect_end();
    change_with_access(s, db, ds::ACCESS_CREATE, "CREATE ITEM", [&] { return db.create_item(it); });
}

// CREATE INDEX t [UNIQUE] [NOUPDATE] BY key [ASC|DESC] [NATIVE], ... [ON "loc"]:
// the row count is the new index's number.
void st_create_index(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string table = table_name(s.st, s.c);
    bool unique = false, update = true;
    for (;;) {
        if (s.c.accept_word("UNIQUE"))
            unique = true;
        else if (s.c.accept_word("NOUPDATE"))
            update = false;
        else
            break;
    }
    s.c.expect_word("BY");
    std::vector<ds::IndexKey> keys;
    do {
        ds::IndexKey k;
        k.column = s.c.name();
        if (s.c.accept_word("DESC"))
            k.asc = false;
        else
            s.c.accept_word("ASC");
        k.native = s.c.accept_word("NATIVE");
        keys.push_back(k);
    } while (s.c.accept_punct(","));
    std::string location;
    if (s.c.accept_word("ON"))
        location = text_operand(s.c);
    s.c.expect_end();
    if (s.noeval)
        return;
    need_priv(s.st, db, table, ds::PRIV_ADMIN);
    int32_t xno = 0;
    change(db, [&] { return db.create_index(table, unique, update, keys, location, xno); });
    s.status.rows = xno;
}

// CREATE t[n] AS col [PRIMARY|NULL], ... [CONFIGURE AS FIXED|EXTENSIBLE
// memmode structure] [ON 'location']
void st_create_table(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    ds::TableDef def;
    def.name = table_name(s.st, s.c);
    s.c.expect_punct("[");
    def.maxsize = small_number(s.c, 1, INT32_MAX);
    s.c.expect_punct("]");
    s.c.expect_word("AS");
    do {
        ds::ColumnDef col;
        col.name = s.c.name();
        if (s.c.accept_word("PRIMARY"))
            col.key = true;
        else if (s.c.accept_word("NULL"))
            col.nulls = true;
        def.cols.push_back(col);
    } while (s.c.accept_punct(","));
    if (s.c.accept_word("CONFIGURE")) {
        s.c.expect_word("AS");
        def.fixed = keyword_index(s.c, {"EXTENSIBLE", "FIXED"}) == 1;
        def.memmode = keyword_index(s.c, {"NOCACHED", "CACHED", "MEMORY"});
        def.structure = keyword_index(s.c, {"SLOTTED", "CHAINED", "SIMPLE", "VARCHAINED"});
    }
    if (s.c.accept_word("ON"))
        def.location = text_operand(s.c);
    s.c.expect_end();
    if (s.noeval)
        return;
    need_access(s.st, db, ds::ACCESS_CREATE, def.name);
    change(db, [&] { return db.create_table(def, default_privilege(s.st)); });
    if (result_name(s.st, def.name))
        state(s.st).made_result(def.name);
}

bool st_drop(Stmt &s)
{
    if (s.c.is_word("VAR"))
        return false;
    if (s.c.accept_word("DATABASE")) {
        st_drop_database(s);
        return true;
    }
    ds::Database &db = need_db(s.st);
    if (s.c.accept_word("INDEX")) {
        int32_t xno = 0;
        if (s.c.peek().kind == T_NUMBER) {
            if (!s.c.peek().integer)
                s.c.syntax();
            xno = static_cast<int32_t>(std::clamp<long long>(std::stoll(s.c.toks[s.c.at++].text), 0, INT32_MAX));
        }
        s.c.expect_word("FROM");
        std::string table = table_name(s.st, s.c);
        s.c.expect_end();
        if (s.noeval)
            return true;
        need_structure(s.st, db, table);
        change(db, [&] { return xno ? db.drop_index(table, xno) : db.set_system_index(table, false); });
        return true;
    }
    if (s.c.is_word("USER") || s.c.is_word("ITEM") || s.c.is_word("COLUMN"))
        s.c.syntax();
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    if (s.noeval)
        return true;
    if (!db.exists(table))
        fail_db(ds::NO_TABLE, table);
    need_priv(s.st, db, table, ds::PRIV_OWNERSHIP);
    confirm(s.st, DZQ_DROP_TABLE, table);
    change(db, [&] { return db.drop_table(table); });
    return true;
}

void st_index(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    if (s.noeval)
        return;
    need_structure(s.st, db, table);
    change(db, [&] { return db.set_system_index(table, true); });
}

bool st_rename(Stmt &s)
{
    if (s.c.is_word("COLUMN") || s.c.is_word("ITEM"))
        s.c.syntax();
    ds::Database &db = need_db(s.st);
    std::string from = table_name(s.st, s.c);
    s.c.expect_word("AS");
    std::string to = table_name(s.st, s.c);
    s.c.expect_end();
    if (s.noeval)
        return true;
    need_priv(s.st, db, from, ds::PRIV_OWNERSHIP);
    // A result table kept under a name outside the results is a new table.
    if (result_name(s.st, from))
        need_create(s.st, db, to);
    change(db, [&] { return db.rename_table(from, to); });
    if (result_name(s.st, to))
        state(s.st).made_result(to);
    return true;
}

void st_clear(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    if (s.noeval)
        return;
    if (!db.exists(table))
        fail_db(ds::NO_TABLE, table);
    need_priv(s.st, db, table, ds::PRIV_WRITE);
    confirm(s.st, DZQ_CLEAR_TABLE, table);
    change(db, [&] { return db.clear_table(table); });
}

bool st_delete(Stmt &s)
{
    if (s.c.is_word("CURRENT"))
        return false;
    ds::Database &db = need_db(s.st);
    s.c.expect_word("FROM");
    Source src;
    std::string table = table_name(s.st, s.c);
    add_table(s.st, db, src, table, ds::PRIV_WRITE);
    NodeP where;
    if (s.c.accept_word("WHERE"))
        where = parse_expression(s.c);
    s.c.expect_end();
    if (where)
        bind_names(*where, src, s.st, ds::UNKNOWN_ITEM, s.st.config.result_prefix);
    if (s.noeval)
        return true;
    if (!where)
        confirm(s.st, DZQ_CLEAR_TABLE, table);
    // The condition is judged on the rows as they are when they go: the
    // read is inside the transaction that deletes.
    Txn txn(db);
    EvalCtx ctx{s.st, false};
    std::vector<ds::RowId> ids;
    ds::Cursor cur;
    check(db.scan(table, cur, [&] { return stopping(s.st); }));
    std::vector<Value> row;
    ds::RowId id;
    while (cur.next(row, &id)) {
        // rows the user's restriction hides are not the user's to delete
        if (!passes_restriction(s.st, src.restrict[0].get(), row))
            continue;
        if (where) {
            ctx.row = &row;
            Value v = evaluate(*where, ctx);
            if (v.null || v.type != BOOL || !v.e[0].i)
                continue;
        }
        ids.push_back(id);
    }
    check(cur.fault());
    for (ds::RowId r : ids)
        check(db.erase(table, r));
    txn.commit();
    s.status.rows = static_cast<int32_t>(ids.size());
    return true;
}

void st_use(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string table = table_name(s.st, s.c);
    s.c.expect_word("EXCLUSIVE");
    s.c.expect_end();
    if (s.noeval)
        return;
    need_priv(s.st, db, table, ds::PRIV_LOCK);
    check(db.use_exclusive(table));
}

void st_unuse(Stmt &s)
{
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    DbState &d = state(s.st);
    // Releasing a table not held, or with no database open, does nothing.
    if (!s.noeval && d.db)
        d.db->unuse(table);
}


// ---- the layer ------------------------------------------------------------------

bool run(SessionState &st, Cursor &c, Sink &out, unsigned mode, Status &status)
{
    BlobSink sink(out, state(st));
    Stmt s{st, c, sink, (mode & MODE_NOEVAL) != 0, status};
    const std::string word = c.peek().text;
    c.at++;
    if (word == "FETCH")
        st_fetch(s);
    else if (word == "WRITE")
        st_write(s);
    else if (word == "UPDATE")
        st_update_current(s);
    else if (word == "GRANT")
        st_grant(s);
    else if (word == "PRINT" && c.is_word("BLOB") && state(st).db) {
        c.at++;
        st_print_blob(s);
    } else if (word == "DELETE" && c.is_word("CURRENT"))
        st_delete_current(s);
    else if (word == "CREATE" && c.accept_word("USER"))
        st_create_user(s);
    else if (word == "DROP" && c.accept_word("USER"))
        st_drop_user(s);
    else if (word == "RENAME" && c.accept_word("COLUMN"))
        st_rename_column(s);
    else if (word == "RENAME" && c.accept_word("ITEM"))
        st_rename_item(s);
    else if (word == "DISPLAY")
        st_display(s, false);
    else if (word == "COLLECT")
        st_display(s, true);
    else if (word == "SELECT")
        st_select(s);
    else if (word == "GROUP")
        st_group(s);
    else if (word == "SEQUENCE")
        st_sequence(s);
    else if (word == "OPEN")
        st_open(s);
    else if (word == "CLOSE")
        st_close(s);
    else if (word == "CONFIGURE")
        st_configure(s);
    else if (word == "INDEX")
        st_index(s);
    else if (word == "CLEAR")
        st_clear(s);
    else if (word == "USE")
        st_use(s);
    else if (word == "UNUSE")
        st_unuse(s);
    else if (word == "CREATE" && c.accept_word("DATABASE"))
        st_create_database(s);
    else if (word == "CREATE" && c.accept_word("ITEM"))
        st_create_item(s);
    else if (word == "CREATE" && c.accept_word("INDEX"))
        st_create_index(s);
    else if (word == "CREATE" && c.peek().kind == T_NAME && !c.is_word("VAR"))
        st_create_table(s);  // CREATE t[n] AS ...: a missing size is a syntax error
    else if (word == "DROP" && st_drop(s))
        ;
    else if (word == "RENAME" && st_rename(s))
        ;
    else if (word == "DELETE" && st_delete(s))
        ;
    else {
        c.at = 0;
        return false;
    }
    return true;
}

// The row count SYSINFO(..., 'SIZE') tells of a user table: the rows the
// user may read, a restricted reader's count only the rows the
// restriction lets through, none for a user who may not read it.
int64_t visible_size(SessionState &st, ds::Database &db, const std::string &file, int64_t all)
{
    std::vector<std::string> names;
    check(db.tables(names));
    for (const std::string &t : names) {
        ds::TableInfo info;
        if (!db.table(t, info).ok() || info.dname != file)
            continue;
        Grant g = privilege(st, db, t, info.system);
        if (g.priv < ds::PRIV_READ)
            return 0;
        if (g.restriction.empty())
            return all;
        Source src;
        add_table(st, db, src, t);
        int64_t n = 0;
        each_row(st, db, src, nullptr, nullptr, [&](const std::vector<Value> &) {
            n++;
            return true;
        });
        return n;
    }
    return all;
}

Value locate(SessionState &st, const std::string &what)
{
    ds::Database &db = need_db(st);
    if (what == "%ROOT")
        return make_string(db.root(), 122);
    ds::TableInfo info;
    check(db.table(what, info));
    return make_string(info.def.location, 122);
}

int64_t sysinfo(SessionState &st, const std::string &location, const std::string &file, const std::string &what)
{
    ds::Database &db = need_db(st);
    int64_t out = 0;
    check(db.sysinfo(location, file, what, out));
    std::string w = what;
    for (char &ch : w)
        ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    if (w == "SIZE")
        out = visible_size(st, db, file, out);
    return out;
}

Value parameter(SessionState &st, const std::string &name)
{
    ds::DbParams p;
    check(need_db(st).params(p));
    if (name == "%MEMSIZE")
        return make_long(p.memsize);
    if (name == "%DEFPOSTSIZE")
        return make_long(p.defpostsize);
    if (name == "%FILELOCKS")
        return make_bool(p.filelocks);
    return make_long(p.maxfiles);
}

void set_password(SessionState &st, const std::string &password)
{
    ds::Database &db = need_db(st);
    change(db, [&] { return db.set_password(password); });
}

const DbLayer layer = {run, locate, sysinfo, parameter, set_password};

}  // namespace

const DbLayer &db_layer() { return layer; }

}  // namespace doz
