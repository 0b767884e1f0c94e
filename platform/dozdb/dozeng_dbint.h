// Internals of the database layer shared by its source files: the
// connection's database, values, sources and privileges, the item list of
// a query, storing rows, and the statement being run.
#pragma once

#include "dozeng_int.h"
#include "dozeng_msgs.h"
#include "dozeng_results.h"
#include "dozids.h"
#include "dozstore.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace doz::dbl {

namespace ds = dozstore;

// ---- the connection's database -----------------------------------------------

// The row editor's place in a table: its current row, and the condition
// of the last FETCH ... WHERE that a bare FETCH repeats.
struct EditCursor {
    ds::RowId current = 0;  // 0: none
    std::string find;
};

struct DbState {
    std::unique_ptr<ds::Database> db;
    std::string prefix;  // RESULT()
    std::map<std::string, EditCursor> cursors;
    // The bytes of the blobs results delivered, by number: "$n" names
    // blobs[n] (PRINT BLOB).  Numbers are never reused, so a name stays
    // with its blob or, once the oldest are let go to bound the memory
    // they take, names none.
    std::map<int32_t, std::string> blobs;
    int32_t last_blob = 0;
    size_t blob_bytes = 0;
    int32_t keep_blob(const std::string &bytes)
    {
        constexpr size_t most = size_t{256} << 20;
        while (!blobs.empty() && blob_bytes + bytes.size() > most) {
            blob_bytes -= blobs.begin()->second.size();
            blobs.erase(blobs.begin());
        }
        last_blob = last_blob == INT32_MAX ? 1 : last_blob + 1;
        blob_bytes += bytes.size();
        blobs[last_blob] = bytes;
        return last_blob;
    }

    // The result tables this connection made in the open database (a
    // user table may bear a name like theirs: it is not one of them).
    // Each is recorded in the prefix's lock file as well, so that they go
    // on the next OPEN of the database if the connection ends unclosed.
    std::string server_dir;
    std::set<std::string> results;
    void made_result(const std::string &table)
    {
        if (db && results.insert(table).second)
            record_result_table(server_dir, prefix, db->root(), table);
    }
    // On OPEN: the result tables left in the database by connections that
    // ended without closing it, this prefix's earlier holder among them.
    void drop_leftovers()
    {
        sweep_result_tables(server_dir, prefix, db->root(), [&](const std::string &t) {
            if (db->exists(t))
                db->drop_table(t);
        });
    }
    // A closing connection takes its result tables with it.
    void close()
    {
        if (!db)
            return;
        for (const std::string &t : results)
            if (db->exists(t))
                db->drop_table(t);
        if (!results.empty())
            drop_leftovers();  // and out of the record
        results.clear();
        db.reset();
        cursors.clear();
        blobs.clear();
        blob_bytes = 0;
    }
    ~DbState() { close(); }
};

inline DbState &state(SessionState &st)
{
    if (!st.db) {
        auto s = std::make_shared<DbState>();
        s->prefix = st.config.result_prefix;
        s->server_dir = st.config.server_dir;
        st.db = s;
    }
    return *static_cast<DbState *>(st.db.get());
}

inline ds::Database &need_db(SessionState &st)
{
    DbState &s = state(st);
    if (!s.db)
        fail(E_NO_DATABASE);
    return *s.db;
}

[[noreturn]] inline void raise(const ds::Fault &f)
{
    if (f.query)
        fail(f.query, f.detail);
    if (f.database)
        fail_db(f.database, f.detail);
    throw Error{FILER_CODE, f.filer, f.detail};
}

inline void check(const ds::Fault &f)
{
    if (!f.ok())
        raise(f);
}

inline bool stopping(const SessionState &st)
{
    return (st.stop && st.stop->load(std::memory_order_relaxed)) || (st.stop_probe && st.stop_probe(st.stop_ctx));
}

// One statement's transaction: rolled back unless committed.  Inside a
// transaction already open (a statement that reads what it changes opens
// one before its read) it is part of that one: the outer one commits.
struct Txn {
    ds::Database &db;
    bool open = false;
    explicit Txn(ds::Database &d) : db(d)
    {
        if (db.in_transaction())
            return;
        check(db.begin());
        open = true;
    }
    void commit()
    {
        if (!open)
            return;
        open = false;
        check(db.commit());
    }
    ~Txn()
    {
        if (open)
            db.rollback();
    }
    Txn(const Txn &) = delete;
    Txn &operator=(const Txn &) = delete;
};

// One change to the database in a transaction of its own.
template <class F>
void change(ds::Database &db, F &&make_change)
{
    Txn txn(db);
    check(make_change());
    txn.commit();
}

// In interactive mode a statement that destroys data asks first; "no"
// ends it as stopped by the user.
inline void confirm(SessionState &st, const VxMsg<const char *> &question, const std::string &name)
{
    if (!(st.mode & MODE_INTERACTIVE) || !st.confirm)
        return;
    std::string q = vx_msgf(st.config.catalogue, question, name.c_str());
    if (!st.confirm(st.confirm_ctx, q.c_str()))
        fail(E_STOPPED);
}

// A table name; "RSLT..." names this connection's result tables.
inline std::string table_name(SessionState &st, Cursor &c)
{
    std::string n = c.name();
    if (n.compare(0, 4, "RSLT") == 0)
        n = st.config.result_prefix + n.substr(4);
    return n;
}

inline std::string text_operand(Cursor &c)
{
    if (c.peek().kind != T_STRING)
        c.syntax();
    return c.toks[c.at++].text;
}

inline int keyword_index(Cursor &c, std::initializer_list<const char *> words)
{
    int i = 0;
    for (const char *w : words) {
        if (c.accept_word(w))
            return i;
        i++;
    }
    c.syntax();
}

// ---- values ---------------------------------------------------------------------

// Orders values of one column: nulls first, then by value; arrays element
// by element.
inline int compare_elem(int type, const Elem &a, const Elem &b)
{
    if (is_float(type) || type == COMPLEX) {
        if (a.r != b.r)
            return a.r < b.r ? -1 : 1;
        if (a.im != b.im)
            return a.im < b.im ? -1 : 1;
        return 0;
    }
    return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
}

inline int compare(const Value &a, const Value &b)
{
    if (a.null || b.null)
        return a.null == b.null ? 0 : a.null ? -1 : 1;
    if (is_text(a.type) && is_text(b.type)) {
        std::string x = as_text(a), y = as_text(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.type != b.type && is_numeric(a.type) && is_numeric(b.type) && !a.is_array() && !b.is_array()) {
        double x = as_double(a), y = as_double(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    size_t n = std::min(a.e.size(), b.e.size());
    for (size_t i = 0; i < n; i++)
        if (int r = compare_elem(a.type, a.e[i], b.e[i]))
            return r;
    return a.e.size() < b.e.size() ? -1 : a.e.size() > b.e.size() ? 1 : 0;
}

struct ValueLess {
    bool operator()(const Value &a, const Value &b) const { return compare(a, b) < 0; }
};
struct RowLess {
    bool operator()(const std::vector<Value> &a, const std::vector<Value> &b) const
    {
        for (size_t i = 0; i < a.size() && i < b.size(); i++)
            if (int r = compare(a[i], b[i]))
                return r < 0;
        return a.size() < b.size();
    }
};

// A null value of an item's type and shape.
inline Value template_of(const ds::Item &it)
{
    Value v = make_null(it.type, it.len);
    v.count = it.arr;
    if (it.dims.size() > 1)
        v.dims = it.dims;
    return v;
}

// The item that holds values of a result column.
inline ds::Item item_of(const Column &c)
{
    ds::Item it;
    it.name = c.name;
    it.type = c.type;
    it.len = c.width;
    if (c.type != STRING && c.type != BLOB)
        it.len = std::clamp<int>(c.width, 0, c.type == BOOL || c.type == CHAR ? 6 : 20);
    if (c.type == STRING && it.len < 1)
        it.len = 1;
    bool fraction = c.type == REAL || c.type == COMPLEX || c.type == SHORTREAL;
    it.frac = fraction && c.precision >= 0 ? std::min<int>(c.precision, 20) : -1;
    it.arr = c.count;
    if (c.count != 0)
        it.dims = {c.count < 0 ? -c.count : c.count};
    return it;
}

// A value made to fit an item: numbers change type, texts keep theirs.
inline Value conform(const Value &v, const ds::Item &it, const std::string &column)
{
    if (v.null) {
        Value n = template_of(it);
        return n;
    }
    if (v.type == it.type) {
        Value r = v;
        if (r.type == STRING)
            r.len = it.len;
        return r;
    }
    if (v.count != it.arr && !(v.is_var() && it.arr < 0))
        fail_db(ds::BAD_VALUE, column);
    if (is_integer(it.type) && is_integer(v.type)) {
        Value r = shaped_like(v, it.type);
        for (const Elem &e : v.e) {
            Elem x;
            x.i = fit_integer(e.i, it.type);
            r.e.push_back(x);
        }
        r.null = false;
        return r;
    }
    if (is_float(it.type) && (is_integer(v.type) || is_float(v.type))) {
        Value r = shaped_like(v, it.type);
        for (size_t i = 0; i < v.e.size(); i++) {
            Elem x;
            x.r = fit_real(as_double(v, i), it.type);
            r.e.push_back(x);
        }
        r.null = false;
        return r;
    }
    if (it.type == STRING && v.type == CHAR)
        return make_string(as_text(v), it.len);
    if (it.type == CHAR && v.type == STRING && v.s.size() == 1)
        return make_char(v.s[0]);
    fail_db(ds::BAD_VALUE, column);
}

// conform() into a value kept from row to row: a value of the item's own
// type is copied into the storage already there.
inline void conform_into(Value &dst, const Value &v, const ds::Item &it, const std::string &column)
{
    if (!v.null && v.type == it.type) {
        dst = v;
        if (dst.type == STRING)
            dst.len = it.len;
    } else {
        dst = conform(v, it, column);
    }
}

// ---- sources: the rows a query reads ------------------------------------------------

struct SrcCol {
    std::string table, name;
    ds::Item item;
    Column col;
};

struct Source {
    std::vector<std::string> tables;
    std::vector<SrcCol> cols;
    std::vector<Value> templ;  // a null row of the columns' shapes
    // Per table: the restriction of the user's privilege, bound to that
    // table's own row, or none.
    std::vector<std::shared_ptr<Node>> restrict;
};

inline void bind_names(Node &n, const Source &src, SessionState &st, int unknown, const std::string &prefix);

// ---- users and privileges ----------------------------------------------------------

// Database code: the user's access or privilege does not allow the statement.
constexpr int E_NOT_ALLOWED = 151;
// Database codes: rows handed in that do not fit their columns (or none
// handed in), and a blob name that names no blob.
constexpr int E_BAD_INPUT = 152;
// Database code: no row matches a FETCH ... WHERE.
constexpr int E_NO_MATCH = 9;
constexpr int E_NO_BLOB = 153;

const char *const PRIV_WORDS[] = {"NONE", "READ", "APPEND", "WRITE", "LOCK", "ADMIN", "OWNERSHIP"};
const char *const ACCESS_WORDS[] = {"SELECT", "CREATE", "DBA"};

template <size_t N>
int word_index(const std::string &w, const char *const (&words)[N])
{
    for (size_t i = 0; i < N; i++)
        if (w == words[i])
            return static_cast<int>(i);
    return -1;
}

inline std::string trimmed(const std::string &s)
{
    size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The connection's user's access to the database (DBA sees and does everything).
inline int user_access(SessionState &st, ds::Database &db)
{
    ds::Relation r;
    check(db.system_relation("%USERS", r));
    for (const std::vector<Value> &row : r.rows)
        if (!row[0].null && trimmed(row[0].s) == st.config.user)
            return row[1].null ? ds::ACCESS_SELECT : static_cast<int>(row[1].e[0].i);
    return ds::ACCESS_SELECT;
}

inline void need_access(SessionState &st, ds::Database &db, int level, const std::string &what)
{
    if (user_access(st, db) < level)
        fail_db(E_NOT_ALLOWED, what);
}

// Whether `table` is named as one of this connection's result tables.
inline bool result_name(SessionState &st, const std::string &table)
{
    const std::string &prefix = st.config.result_prefix;
    return !prefix.empty() && table.compare(0, prefix.size(), prefix) == 0;
}

// A table (with the items its columns need) made on the way by a
// statement: a result table of the connection's own is anyone's to make,
// any other needs what CREATE of a table needs.
inline void need_create(SessionState &st, ds::Database &db, const std::string &table)
{
    if (!result_name(st, table))
        need_access(st, db, ds::ACCESS_CREATE, table);
}

struct Grant {
    int priv = ds::PRIV_NONE;
    std::string restriction;
};

// What the connection's user may do with a table: its own entry, else the
// %DEFAULT entry, else nothing.  A DBA, the connection's own result
// tables and the system relations (for reading) need no entry.
inline Grant privilege(SessionState &st, ds::Database &db, const std::string &table, bool system)
{
    const std::string &prefix = st.config.result_prefix;
    if (table.compare(0, prefix.size(), prefix) == 0 || user_access(st, db) >= ds::ACCESS_DBA)
        return {ds::PRIV_OWNERSHIP, {}};
    if (system)
        return {ds::PRIV_READ, {}};
    ds::Relation r;
    check(db.system_relation("%PRIVS", r));
    Grant own, def;
    bool has_own = false, has_def = false;
    for (const std::vector<Value> &row : r.rows) {
        if (row[0].null || trimmed(row[0].s) != table || row[1].null)
            continue;
        Grant g{row[2].null ? 0 : static_cast<int>(row[2].e[0].i), row[3].null ? "" : trimmed(row[3].s)};
        std::string user = trimmed(row[1].s);
        if (user == st.config.user)
            own = g, has_own = true;
        else if (user == "%DEFAULT")
            def = g, has_def = true;
    }
    return has_own ? own : has_def ? def : Grant{};
}

// Refuses the statement unless the user holds `level` on the table.
inline Grant need_priv(SessionState &st, ds::Database &db, const std::string &table, int level)
{
    ds::TableInfo info;
    check(db.table(table, info));
    Grant g = privilege(st, db, table, info.system);
    if (g.priv < level)
        fail_db(E_NOT_ALLOWED, table);
    return g;
}

// A change to how a table is stored (size, indexes): ADMIN on a table,
// DBA for the dictionary's own relations.
inline void need_structure(SessionState &st, ds::Database &db, const std::string &table)
{
    if (ds::Database::is_system(table))
        need_access(st, db, ds::ACCESS_DBA, table);
    else
        need_priv(st, db, table, ds::PRIV_ADMIN);
}

// A restriction parsed and bound to the columns of its one table.
inline std::shared_ptr<Node> restriction_of(SessionState &st, const Source &one, const std::string &text)
{
    if (text.empty())
        return nullptr;
    Cursor c;
    c.toks = tokenize(text);
    c.text = text;
    std::shared_ptr<Node> n = parse_expression(c);
    c.expect_end();
    bind_names(*n, one, st, ds::UNKNOWN_ITEM, st.config.result_prefix);
    return n;
}

inline bool passes_restriction(SessionState &st, const Node *r, const std::vector<Value> &row)
{
    if (!r)
        return true;
    EvalCtx ctx{st, false};
    ctx.row = &row;
    Value v = evaluate(*r, ctx);
    return !v.null && v.type == BOOL && v.e[0].i;
}

inline void add_table(SessionState &st, ds::Database &db, Source &src, const std::string &name, int level = ds::PRIV_READ)
{
    ds::TableInfo info;
    check(db.table(name, info));
    Grant g = privilege(st, db, name, info.system);
    if (g.priv < level)
        fail_db(E_NOT_ALLOWED, name);
    src.tables.push_back(name);
    for (size_t i = 0; i < info.items.size(); i++) {
        SrcCol sc;
        sc.table = name;
        sc.name = info.def.cols[i].name;
        sc.item = info.items[i];
        sc.col = ds::Database::column_of(info.items[i]);
        sc.col.name = sc.name;
        src.templ.push_back(template_of(sc.item));
        src.cols.push_back(std::move(sc));
    }
    Source one;
    one.tables.push_back(name);
    one.cols.assign(src.cols.end() - static_cast<std::ptrdiff_t>(info.items.size()), src.cols.end());
    src.restrict.push_back(restriction_of(st, one, g.restriction));
}

// Binds the names of an expression to the source's columns; a name that
// is neither a column nor a variable is refused with `unknown`.
inline void bind_names(Node &n, const Source &src, SessionState &st, int unknown, const std::string &prefix)
{
    if (n.kind == Node::NAME) {
        std::string table, col = n.name;
        if (size_t dot = n.name.find('.'); dot != std::string::npos) {
            table = n.name.substr(0, dot);
            col = n.name.substr(dot + 1);
            if (table.compare(0, 4, "RSLT") == 0)
                table = prefix + table.substr(4);
        }
        for (size_t i = 0; i < src.cols.size(); i++)
            if (src.cols[i].name == col && (table.empty() || src.cols[i].table == table)) {
                n.slot = static_cast<int>(i);
                return;
            }
        if (table.empty() && (st.variables.count(n.name) || st.system.count(n.name) || find_sysvar(n.name)))
            return;
        fail_db(unknown, n.name);
    }
    for (NodeP &k : n.kids)
        bind_names(*k, src, st, unknown, prefix);
}

// A constant of a condition: literals, variables and signs of them.
inline bool constant_tree(const Node &n)
{
    if (n.kind == Node::LITERAL)
        return true;
    if (n.kind == Node::NAME)
        return n.slot < 0;
    return n.kind == Node::UNARY && n.name == "-" && constant_tree(*n.kids[0]);
}

// A WHERE as a condition the storage checks while it reads, when the whole
// of it is comparisons of a column with a constant joined by AND, OR and
// NOT.  The storage judges only what it can judge exactly and the engine
// still decides each row it is handed, so the rows are those of the
// condition as the engine evaluates it; and as such a condition cannot
// fail on any row the storage accepts, no statement that would fail goes
// through.  A NOT is carried down to the comparisons (NOT (a AND b) is
// NOT a OR NOT b, NOT x < k is x >= k), which keeps the three-valued
// outcome: a comparison with a null is null either way, and a null row
// passes neither.
inline bool storage_condition(SessionState &st, const Node &n, ds::Condition &out, bool negated = false)
{
    if (n.kind == Node::UNARY && n.name == "NOT" && n.kids.size() == 1)
        return storage_condition(st, *n.kids[0], out, !negated);
    if (n.kind != Node::BINARY || n.kids.size() != 2)
        return false;
    if (n.name == "AND" || n.name == "OR") {
        out.kind = (n.name == "AND") != negated ? ds::Condition::AND : ds::Condition::OR;
        for (const NodeP &k : n.kids) {
            ds::Condition c;
            if (!storage_condition(st, *k, c, negated))
                return false;
            out.kids.push_back(std::move(c));
        }
        return true;
    }
    // each comparison: as written, with its sides swapped, and negated
    static const char *const ops[][3] = {{"=", "=", "<>"},  {"<>", "<>", "="}, {"<", ">", ">="},
                                         {">", "<", "<="}, {"<=", ">=", ">"}, {">=", "<=", "<"}};
    const Node *col = n.kids[0].get(), *k = n.kids[1].get();
    bool swapped = !(col->kind == Node::NAME && col->slot >= 0);
    if (swapped)
        std::swap(col, k);
    if (!(col->kind == Node::NAME && col->slot >= 0) || !constant_tree(*k))
        return false;
    for (const auto &op : ops)
        if (n.name == op[0]) {
            try {
                EvalCtx ctx{st, false};
                out.constant = evaluate(*k, ctx);
            } catch (const Error &) {
                return false;
            }
            out.kind = ds::Condition::COMPARE;
            out.column = col->slot;
            std::string o = op[swapped ? 1 : 0];
            if (negated)
                for (const auto &x : ops)
                    if (o == x[0]) {
                        o = x[2];
                        break;
                    }
            out.op = o;
            return true;
        }
    return false;
}

// A condition that is one comparison of a column with a number, judged
// on the row's value itself when that is a single number: the outcome of
// comparison() (numbers by value, as reals when either is one; a null
// never passing) without making values.  Anything else goes to the
// evaluator.
struct QuickCompare {
    bool on = false;
    size_t slot = 0;
    int op = 0;  // =, <>, <, >, <=, >=
    Value k;

    QuickCompare(SessionState &st, const Node *n)
    {
        static const char *const ops[] = {"=", "<>", "<", ">", "<=", ">="};
        static const int swapped[] = {0, 1, 3, 2, 5, 4};
        if (!n || n->kind != Node::BINARY || n->kids.size() != 2)
            return;
        const Node *col = n->kids[0].get(), *c = n->kids[1].get();
        bool swap = !(col->kind == Node::NAME && col->slot >= 0);
        if (swap)
            std::swap(col, c);
        if (!(col->kind == Node::NAME && col->slot >= 0) || !constant_tree(*c))
            return;
        int o = -1;
        for (int i = 0; i < 6; i++)
            if (n->name == ops[i])
                o = swap ? swapped[i] : i;
        if (o < 0)
            return;
        try {
            EvalCtx ctx{st, false};
            k = evaluate(*c, ctx);
        } catch (const Error &) {
            return;
        }
        if (k.null || k.count != 0 || k.e.size() != 1 || !(is_integer(k.type) || is_float(k.type)))
            return;
        slot = static_cast<size_t>(col->slot);
        op = o;
        on = true;
    }
    // 1 passes, 0 does not, -1 not judged here.
    int judge(const std::vector<Value> &row) const
    {
        if (slot >= row.size())
            return -1;
        const Value &v = row[slot];
        if (v.count != 0 || !(is_integer(v.type) || is_float(v.type)))
            return -1;
        if (v.null)
            return 0;
        if (v.e.size() != 1)
            return -1;
        const int c = compare_elems(v.type, v.e[0], k.type, k.e[0]);
        switch (op) {
        case 0: return c == 0;
        case 1: return c != 0;
        case 2: return c == -1;
        case 3: return c == 1;
        case 4: return c <= 0;
        default: return c >= 0;
        }
    }
};

// Calls f(row) for each row of the source that passes the join and the
// condition; f answers false to end early.
template <class F>
void each_row(SessionState &st, ds::Database &db, const Source &src, const Node *join, const Node *where, F &&f)
{
    EvalCtx ctx{st, false};
    const QuickCompare quick(st, join ? nullptr : where);
    auto passes = [&](const std::vector<Value> &row) {
        if (quick.on)
            if (int q = quick.judge(row); q >= 0)
                return q == 1;
        ctx.row = &row;
        for (const Node *cond : {join, where}) {
            if (!cond)
                continue;
            Value v = evaluate(*cond, ctx);
            if (v.type != BOOL && v.type != UNTYPED)
                fail(E_TYPES, "WHERE");
            if (v.null || !v.e[0].i)
                return false;
        }
        return true;
    };
    auto stop = [&st] { return stopping(st); };
    std::vector<std::vector<Value>> second;
    size_t first_cols = src.cols.size();
    if (src.tables.size() == 2) {
        ds::Cursor c2;
        check(db.scan(src.tables[1], c2, stop, nullptr, false));
        std::vector<Value> r;
        while (c2.next(r))
            if (passes_restriction(st, src.restrict[1].get(), r))
                second.push_back(r);
        check(c2.fault());
        first_cols = src.cols.size() - (second.empty() ? c2.columns().size() : second[0].size());
    }
    ds::Cursor c1;
    ds::Condition pushed;
    bool filter = src.tables.size() == 1 && !join && where && storage_condition(st, *where, pushed) &&
                  db.can_filter(src.tables[0], pushed);
    check(db.scan(src.tables[0], c1, stop, filter ? &pushed : nullptr, false));
    std::vector<Value> r1;
    std::vector<Value> row;
    uint32_t polls = 0;
    while (c1.next(r1)) {
        if (!passes_restriction(st, src.restrict[0].get(), r1))
            continue;
        if (src.tables.size() == 1) {
            if (passes(r1) && !f(r1))
                return;
            continue;
        }
        for (const std::vector<Value> &r2 : second) {
            if ((++polls & 1023) == 0 && stopping(st))
                fail(E_STOPPED);
            row = r1;
            row.resize(first_cols);
            row.insert(row.end(), r2.begin(), r2.end());
            if (passes(row) && !f(row))
                return;
        }
    }
    check(c1.fault());
}

// ---- the item list of a query --------------------------------------------------------

enum Agg { NO_AGG, AVERAGE, VARIANCE, MAXIMUM, MINIMUM, COUNT, TOTAL };

struct QItem {
    Agg agg = NO_AGG;
    NodeP expr;
    std::string as;   // the AS name, or ""
    std::string name; // the output column's name
    Column col;
    const SrcCol *plain = nullptr;  // a bare column: its item is kept
};

inline Agg agg_word(Cursor &c)
{
    static const char *const words[] = {"AVERAGE", "VARIANCE", "MAXIMUM", "MINIMUM", "COUNT", "TOTAL"};
    for (int i = 0; i < 6; i++)
        if (c.is_word(words[i]) && !c.is_punct("(", 1)) {
            c.at++;
            return static_cast<Agg>(i + 1);
        }
    return NO_AGG;
}

inline bool ends_items(const Cursor &c)
{
    static const char *const words[] = {"FROM", "FROMVAR", "WHERE", "JOIN", "SEQUENCE", "TO"};
    if (c.end())
        return true;
    for (const char *w : words)
        if (c.is_word(w))
            return true;
    return false;
}

// items := item {, item} | NULL | *;  item := [AGG] expr [AS name]
inline std::vector<QItem> parse_items(Cursor &c, bool &star)
{
    std::vector<QItem> items;
    star = false;
    if (ends_items(c))
        return items;
    if (c.accept_punct("*")) {
        star = true;
        return items;
    }
    do {
        if (c.is_word("NULL") && (c.is_punct(",", 1) || c.is_word("FROM", 1) || c.is_word("FROMVAR", 1) ||
                                  c.is_word("WHERE", 1) || c.peek(1).kind == T_END)) {
            c.at++;  // NULL adds no column
            continue;
        }
        QItem it;
        it.agg = agg_word(c);
        it.expr = parse_expression(c);
        if (c.accept_word("AS")) {
            it.as = c.name();
            if (it.as.size() > 12)
                fail(E_LONG_NAME, it.as);
        }
        items.push_back(std::move(it));
    } while (c.accept_punct(","));
    return items;
}

// Gives each item its output column.
inline void describe_items(SessionState &st, std::vector<QItem> &items, const Source &src)
{
    EvalCtx ctx{st, true};
    ctx.row = &src.templ;
    int generated = 0;
    for (QItem &it : items) {
        generated++;
        const Node &e = *it.expr;
        if (e.kind == Node::NAME && e.slot >= 0)
            it.plain = &src.cols[static_cast<size_t>(e.slot)];
        if (!it.as.empty())
            it.name = it.as;
        else if (it.plain)
            it.name = it.plain->name;
        else if (e.kind == Node::NAME)
            it.name = e.name;
        else
            it.name = "%NAME" + std::to_string(generated);
        Value t = evaluate(e, ctx);
        if (it.agg != NO_AGG && it.agg != COUNT && (t.is_array() || !(is_numeric(t.type) || t.type == UNTYPED))) {
            if (!((it.agg == MAXIMUM || it.agg == MINIMUM) && !t.is_array()))
                fail(E_TYPES, it.name);
        }
        switch (it.agg) {
        case AVERAGE:
        case VARIANCE: t = make_null(REAL); break;
        case COUNT: t = make_null(LONG); break;
        case TOTAL: t = make_null(is_integer(t.type) ? LONG : t.type == COMPLEX ? COMPLEX : REAL); break;
        default: break;
        }
        if (it.plain && (it.agg == NO_AGG || it.agg == MAXIMUM || it.agg == MINIMUM)) {
            it.col = it.plain->col;
            it.col.name = it.name;
        } else {
            it.col = describe(t, it.name);
        }
    }
}

inline std::vector<Column> columns_of(const std::vector<QItem> &items)
{
    std::vector<Column> cols;
    for (const QItem &it : items)
        cols.push_back(it.col);
    return cols;
}

// One aggregate's running state.
struct Acc {
    int64_t n = 0;
    double mean = 0, m2 = 0, sum = 0, im = 0;
    int64_t isum = 0;
    Value best, last;

    void add(Agg agg, const Value &v)
    {
        last = v;
        if (v.null)
            return;
        n++;
        switch (agg) {
        case AVERAGE:
        case VARIANCE: {
            double x = as_double(v), d = x - mean;
            mean += d / static_cast<double>(n);
            m2 += d * (x - mean);
            break;
        }
        case TOTAL:
            if (is_integer(v.type)) {
                if (__builtin_add_overflow(isum, v.e[0].i, &isum))
                    fail(E_OVERFLOW, "TOTAL");
            } else {
                sum += v.e[0].r;
                im += v.e[0].im;
            }
            break;
        case MAXIMUM:
            if (n == 1 || compare(v, best) > 0)
                best = v;
            break;
        case MINIMUM:
            if (n == 1 || compare(v, best) < 0)
                best = v;
            break;
        default: break;
        }
    }

    Value result(Agg agg, const Column &col) const
    {
        switch (agg) {
        case NO_AGG: return last;
        case AVERAGE: return n ? make_real(mean) : make_null(REAL);
        case VARIANCE: return n > 1 ? make_real(fit_real(m2 / static_cast<double>(n - 1), REAL)) : make_null(REAL);
        case COUNT: return make_long(n);
        case TOTAL:
            if (col.type == LONG)
                return make_long(fit_integer(isum, LONG));
            if (col.type == COMPLEX)
                return make_complex(sum, im);
            return make_real(fit_real(sum, REAL));
        case MAXIMUM:
        case MINIMUM: return n ? best : make_null(col.type, col.width);
        }
        return last;
    }
};

inline bool any_aggregate(const std::vector<QItem> &items)
{
    return std::any_of(items.begin(), items.end(), [](const QItem &i) { return i.agg != NO_AGG; });
}

// A stable sort of rows by the keys beside them.
struct SortKey {
    NodeP expr;
    bool desc = false;
};

inline std::vector<SortKey> parse_sort(Cursor &c)
{
    std::vector<SortKey> keys;
    do {
        SortKey k;
        k.expr = parse_expression(c);
        if (c.accept_word("DESC"))
            k.desc = true;
        else
            c.accept_word("ASC");
        keys.push_back(std::move(k));
    } while (c.accept_punct(","));
    return keys;
}

inline std::vector<Value> sort_values(EvalCtx &ctx, const std::vector<SortKey> &keys, const std::vector<Value> &row)
{
    ctx.row = &row;
    std::vector<Value> v;
    for (const SortKey &k : keys)
        v.push_back(evaluate(*k.expr, ctx));
    return v;
}

template <class T>
void sort_rows(std::vector<std::pair<std::vector<Value>, T>> &rows, const std::vector<SortKey> &keys)
{
    std::stable_sort(rows.begin(), rows.end(), [&](const auto &a, const auto &b) {
        for (size_t i = 0; i < keys.size(); i++)
            if (int r = compare(a.first[i], b.first[i]))
                return keys[i].desc ? r > 0 : r < 0;
        return false;
    });
}

// ---- storing rows into a table ------------------------------------------------

inline int default_privilege(SessionState &st)
{
    static const char *const levels[] = {"NONE", "READ", "APPEND", "WRITE", "LOCK", "ADMIN", "OWNERSHIP"};
    auto it = st.system.find("%DPRIV");
    std::string v = it == st.system.end() ? "READ" : upper(it->second.s);
    for (int i = 0; i < 7; i++)
        if (v == levels[i])
            return i;
    return ds::PRIV_READ;
}

// Creates a table for result columns: each column the item of its name,
// an existing item when it holds the same kind of values.
inline void create_for(SessionState &st, ds::Database &db, const std::string &table, const std::vector<QItem> &items,
                const std::vector<Column> &cols)
{
    ds::TableDef def;
    def.name = table;
    def.maxsize = 1000;
    std::set<std::string> seen;
    for (size_t i = 0; i < cols.size(); i++) {
        const std::string &name = cols[i].name;
        if (!seen.insert(name).second)
            fail_db(ds::BAD_COLUMNS, name);
        ds::Item want = i < items.size() && items[i].plain && items[i].col.type == items[i].plain->col.type
                            ? items[i].plain->item
                            : item_of(cols[i]);
        want.name = name;
        want.alias.clear();
        ds::Item have;
        ds::Fault f = db.item(name, have);
        if (f.ok()) {
            bool fits = have.type == want.type && have.arr == want.arr &&
                        (want.type != STRING || have.len >= want.len) && (want.type != BLOB || have.len == want.len);
            if (!fits)
                fail_db(ds::BAD_ITEM, name);
        } else if (f.database == ds::UNKNOWN_ITEM) {
            check(db.create_item(want));
        } else {
            raise(f);
        }
        def.cols.push_back(ds::ColumnDef{name, false, true});
    }
    check(db.create_table(def, default_privilege(st)));
}

// Rows go into a table's columns by name; columns not given stay null.
struct Target {
    std::string table;
    ds::TableInfo info;
    std::vector<int> map;  // table column -> result column, -1 none
    ds::Database *db = nullptr;
    ds::Appender rows;     // the rows going in, made and counted together (from the first row on)
    bool appending = false;
    std::vector<Value> out;
};

// Ends the rows going into a target (nothing to do when none went in);
// the number of rows stored.
inline int32_t finish_target(Target &t)
{
    if (!t.appending)
        return 0;
    check(t.rows.finish());
    return static_cast<int32_t>(t.rows.stored());
}

inline void open_target(ds::Database &db, Target &t, const std::vector<Column> &cols)
{
    check(db.table(t.table, t.info));
    if (t.info.system)
        fail_db(ds::SYSTEM_TABLE, t.table);
    for (const Column &c : cols) {
        bool found = std::any_of(t.info.def.cols.begin(), t.info.def.cols.end(),
                                 [&](const ds::ColumnDef &d) { return d.name == c.name; });
        if (!found)
            fail_db(ds::UNKNOWN_ITEM, c.name);
    }
    for (const ds::ColumnDef &d : t.info.def.cols) {
        int at = -1;
        for (size_t i = 0; i < cols.size(); i++)
            if (cols[i].name == d.name)
                at = static_cast<int>(i);
        t.map.push_back(at);
    }
    t.db = &db;
}

// Puts a row into the target; the rows stored are counted by the
// appender (t.rows.stored()), complete once finish_target() returned.
inline void put_row(Target &t, const std::vector<Value> &row, ds::OnDuplicate dup)
{
    std::vector<Value> &out = t.out;
    out.resize(t.map.size());
    for (size_t i = 0; i < t.map.size(); i++) {
        const ds::Item &it = t.info.items[i];
        if (t.map[i] < 0)
            out[i] = template_of(it);
        else
            conform_into(out[i], row[static_cast<size_t>(t.map[i])], it, it.name);
    }
    if (!t.appending) {
        check(t.db->append(t.table, t.rows));
        t.appending = true;
    }
    check(t.rows.add_counted(out, dup));
}

inline bool sysvar_on(SessionState &st, const char *name)
{
    auto it = st.system.find(name);
    return it != st.system.end() && !it->second.null && it->second.e[0].i;
}

// ---- statements ------------------------------------------------------------------

struct Stmt {
    SessionState &st;
    Cursor &c;
    Sink &sink;
    bool noeval;
    Status &status;
};

// The last step of a statement that changes the database: nothing under
// NOEVAL; otherwise the user's access is checked and the change made in a
// transaction of its own.
template <class F>
void change_with_access(Stmt &s, ds::Database &db, int level, const char *what, F &&make_change)
{
    if (s.noeval)
        return;
    need_access(s.st, db, level, what);
    change(db, make_change);
}

// Numbers the blobs of each result row so that PRINT BLOB can name them:
// a blob value delivered carries its number in e[0].i, its bytes in s.
struct BlobSink : Sink {
    Sink &to;
    DbState &d;
    bool may_hold_blobs = true;  // until the columns say otherwise
    BlobSink(Sink &t, DbState &ds_) : to(t), d(ds_) {}
    void columns(const std::vector<Column> &c) override
    {
        auto blobs = [](const Column &col) { return col.type == BLOB || col.type == UNTYPED; };
        may_hold_blobs = std::any_of(c.begin(), c.end(), blobs);
        to.columns(c);
    }
    bool row(const std::vector<Value> &v) override
    {
        auto blob = [](const Value &x) { return x.type == BLOB && !x.null; };
        if (!may_hold_blobs || std::none_of(v.begin(), v.end(), blob))
            return to.row(v);
        std::vector<Value> out = v;
        for (Value &x : out)
            if (x.type == BLOB && !x.null)
                x.e.assign(1, Elem{d.keep_blob(x.s), 0.0, 0.0});
        return to.row(out);
    }
    void end() override { to.end(); }
};

// The statements of dozeng_dbrows.cpp.
void st_fetch(Stmt &s);
void st_write(Stmt &s);
void st_update_current(Stmt &s);
void st_delete_current(Stmt &s);
void st_grant(Stmt &s);
void st_create_user(Stmt &s);
void st_drop_user(Stmt &s);
void st_rename_column(Stmt &s);
void st_rename_item(Stmt &s);
void st_print_blob(Stmt &s);

}  // namespace doz::dbl
