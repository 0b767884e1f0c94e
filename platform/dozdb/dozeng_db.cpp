// The database layer: databases (CREATE, OPEN, CLOSE, DROP, CONFIGURE),
// USE and UNUSE, the dictionary's own settings (CONFIGURE of a system
// relation, INDEX, DROP INDEX FROM), tables (DROP, RENAME, CLEAR, DELETE,
// SEQUENCE), the queries (DISPLAY, SELECT, COLLECT, GROUP), users and
// privileges (enforced, with row restrictions), the row editor (FETCH,
// UPDATE and DELETE CURRENT) and WRITE of the rows the client packed,
// each data-changing statement one storage transaction.

#include "dozeng_db.h"

#include "dozeng_int.h"
#include "dozeng_msgs.h"
#include "dozeng_results.h"
#include "dozids.h"
#include "dozstore.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace doz {

namespace {

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

DbState &state(SessionState &st)
{
    if (!st.db) {
        auto s = std::make_shared<DbState>();
        s->prefix = st.config.result_prefix;
        s->server_dir = st.config.server_dir;
        st.db = s;
    }
    return *static_cast<DbState *>(st.db.get());
}

ds::Database &need_db(SessionState &st)
{
    DbState &s = state(st);
    if (!s.db)
        fail(E_NO_DATABASE);
    return *s.db;
}

[[noreturn]] void raise(const ds::Fault &f)
{
    if (f.query)
        fail(f.query, f.detail);
    if (f.database)
        fail_db(f.database, f.detail);
    throw Error{FILER_CODE, f.filer, f.detail};
}

void check(const ds::Fault &f)
{
    if (!f.ok())
        raise(f);
}

bool stopping(const SessionState &st)
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
void confirm(SessionState &st, const VxMsg<const char *> &question, const std::string &name)
{
    if (!(st.mode & MODE_INTERACTIVE) || !st.confirm)
        return;
    std::string q = vx_msgf(st.config.catalogue, question, name.c_str());
    if (!st.confirm(st.confirm_ctx, q.c_str()))
        fail(E_STOPPED);
}

// A table name; "RSLT..." names this connection's result tables.
std::string table_name(SessionState &st, Cursor &c)
{
    std::string n = c.name();
    if (n.compare(0, 4, "RSLT") == 0)
        n = st.config.result_prefix + n.substr(4);
    return n;
}

std::string text_operand(Cursor &c)
{
    if (c.peek().kind != T_STRING)
        c.syntax();
    return c.toks[c.at++].text;
}

int keyword_index(Cursor &c, std::initializer_list<const char *> words)
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
int compare_elem(int type, const Elem &a, const Elem &b)
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

int compare(const Value &a, const Value &b)
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
Value template_of(const ds::Item &it)
{
    Value v = make_null(it.type, it.len);
    v.count = it.arr;
    if (it.dims.size() > 1)
        v.dims = it.dims;
    return v;
}

// The item that holds values of a result column.
ds::Item item_of(const Column &c)
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
Value conform(const Value &v, const ds::Item &it, const std::string &column)
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
void conform_into(Value &dst, const Value &v, const ds::Item &it, const std::string &column)
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

void bind_names(Node &n, const Source &src, SessionState &st, int unknown, const std::string &prefix);

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

std::string trimmed(const std::string &s)
{
    size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The connection's user's access to the database (DBA sees and does everything).
int user_access(SessionState &st, ds::Database &db)
{
    ds::Relation r;
    check(db.system_relation("%USERS", r));
    for (const std::vector<Value> &row : r.rows)
        if (!row[0].null && trimmed(row[0].s) == st.config.user)
            return row[1].null ? ds::ACCESS_SELECT : static_cast<int>(row[1].e[0].i);
    return ds::ACCESS_SELECT;
}

void need_access(SessionState &st, ds::Database &db, int level, const std::string &what)
{
    if (user_access(st, db) < level)
        fail_db(E_NOT_ALLOWED, what);
}

// Whether `table` is named as one of this connection's result tables.
bool result_name(SessionState &st, const std::string &table)
{
    const std::string &prefix = st.config.result_prefix;
    return !prefix.empty() && table.compare(0, prefix.size(), prefix) == 0;
}

// A table (with the items its columns need) made on the way by a
// statement: a result table of the connection's own is anyone's to make,
// any other needs what CREATE of a table needs.
void need_create(SessionState &st, ds::Database &db, const std::string &table)
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
Grant privilege(SessionState &st, ds::Database &db, const std::string &table, bool system)
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
Grant need_priv(SessionState &st, ds::Database &db, const std::string &table, int level)
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
void need_structure(SessionState &st, ds::Database &db, const std::string &table)
{
    if (ds::Database::is_system(table))
        need_access(st, db, ds::ACCESS_DBA, table);
    else
        need_priv(st, db, table, ds::PRIV_ADMIN);
}

// A restriction parsed and bound to the columns of its one table.
std::shared_ptr<Node> restriction_of(SessionState &st, const Source &one, const std::string &text)
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

bool passes_restriction(SessionState &st, const Node *r, const std::vector<Value> &row)
{
    if (!r)
        return true;
    EvalCtx ctx{st, false};
    ctx.row = &row;
    Value v = evaluate(*r, ctx);
    return !v.null && v.type == BOOL && v.e[0].i;
}

void add_table(SessionState &st, ds::Database &db, Source &src, const std::string &name, int level = ds::PRIV_READ)
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
void bind_names(Node &n, const Source &src, SessionState &st, int unknown, const std::string &prefix)
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
bool constant_tree(const Node &n)
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
bool storage_condition(SessionState &st, const Node &n, ds::Condition &out, bool negated = false)
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

Agg agg_word(Cursor &c)
{
    static const char *const words[] = {"AVERAGE", "VARIANCE", "MAXIMUM", "MINIMUM", "COUNT", "TOTAL"};
    for (int i = 0; i < 6; i++)
        if (c.is_word(words[i]) && !c.is_punct("(", 1)) {
            c.at++;
            return static_cast<Agg>(i + 1);
        }
    return NO_AGG;
}

bool ends_items(const Cursor &c)
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
std::vector<QItem> parse_items(Cursor &c, bool &star)
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
void describe_items(SessionState &st, std::vector<QItem> &items, const Source &src)
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

std::vector<Column> columns_of(const std::vector<QItem> &items)
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

bool any_aggregate(const std::vector<QItem> &items)
{
    return std::any_of(items.begin(), items.end(), [](const QItem &i) { return i.agg != NO_AGG; });
}

// A stable sort of rows by the keys beside them.
struct SortKey {
    NodeP expr;
    bool desc = false;
};

std::vector<SortKey> parse_sort(Cursor &c)
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

std::vector<Value> sort_values(EvalCtx &ctx, const std::vector<SortKey> &keys, const std::vector<Value> &row)
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

int default_privilege(SessionState &st)
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
void create_for(SessionState &st, ds::Database &db, const std::string &table, const std::vector<QItem> &items,
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
int32_t finish_target(Target &t)
{
    if (!t.appending)
        return 0;
    check(t.rows.finish());
    return static_cast<int32_t>(t.rows.stored());
}

void open_target(ds::Database &db, Target &t, const std::vector<Column> &cols)
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
void put_row(Target &t, const std::vector<Value> &row, ds::OnDuplicate dup)
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

bool sysvar_on(SessionState &st, const char *name)
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


// ---- users, privileges, columns and items ----------------------------------------

std::string quoted_word(Cursor &c)
{
    return upper(trimmed(text_operand(c)));
}

// CREATE USER name, 'password' WITH 'SELECT|CREATE|DBA'
void st_create_user(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string name = s.c.name();
    s.c.expect_punct(",");
    std::string password = text_operand(s.c);
    s.c.expect_word("WITH");
    std::string word = quoted_word(s.c);
    s.c.expect_end();
    int access = word_index(word, ACCESS_WORDS);
    if (access < 0)
        fail(E_ARGUMENT, word);
    if (password.size() > 10)
        fail(E_ARGUMENT, "password");
    change_with_access(s, db, ds::ACCESS_DBA, "CREATE USER", [&] { return db.create_user(name, password, access); });
}

// DROP USER name: with every privilege of the user.
void st_drop_user(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string name = s.c.name();
    s.c.expect_end();
    change_with_access(s, db, ds::ACCESS_DBA, "DROP USER", [&] { return db.drop_user(name); });
}

// GRANT 'access' TO user
// GRANT 'level' TO user|%DEFAULT ON t [WHERE restriction]   ('DEFAULT' removes the entry)
void st_grant(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string word = quoted_word(s.c);
    s.c.expect_word("TO");
    std::string user = s.c.name();
    if (!s.c.accept_word("ON")) {
        s.c.expect_end();
        int access = word_index(word, ACCESS_WORDS);
        if (access < 0)
            fail(E_ARGUMENT, word);
        if (s.noeval)
            return;
        need_access(s.st, db, ds::ACCESS_DBA, "GRANT");
        change(db, [&] { return db.set_access(user, access); });
        return;
    }
    std::string table = table_name(s.st, s.c);
    std::string restriction;
    if (s.c.accept_word("WHERE")) {
        size_t from = s.c.peek().pos;
        parse_expression(s.c);
        restriction = trimmed(s.c.text.substr(from));
    }
    s.c.expect_end();
    int priv = word == "DEFAULT" ? -1 : word_index(word, PRIV_WORDS);
    if (priv < 0 && word != "DEFAULT")
        fail(E_ARGUMENT, word);
    if (restriction.size() > 80)
        fail_db(ds::BAD_VALUE, "%RESTRICTION");
    // The restriction must name the table's own columns.
    Source one;
    add_table(s.st, db, one, table, ds::PRIV_NONE);
    restriction_of(s.st, one, restriction);
    if (s.noeval)
        return;
    need_priv(s.st, db, table, ds::PRIV_ADMIN);
    change(db, [&] { return priv < 0 ? db.revoke(table, user) : db.grant(table, user, priv, restriction); });
}

// RENAME COLUMN a AS b FROM t
void st_rename_column(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string from = s.c.name();
    s.c.expect_word("AS");
    std::string to = s.c.name();
    s.c.expect_word("FROM");
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    if (s.noeval)
        return;
    need_priv(s.st, db, table, ds::PRIV_OWNERSHIP);
    // To a new name: a new item of the dictionary.
    ds::Item existing;
    if (!result_name(s.st, table) && !db.item(to, existing).ok())
        need_access(s.st, db, ds::ACCESS_CREATE, to);
    change(db, [&] { return db.rename_column(table, from, to); });
}

// RENAME ITEM x AS x [ALIAS a]: sets (or clears) the item's alias.
void st_rename_item(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string item = s.c.name();
    s.c.expect_word("AS");
    std::string to = s.c.name();
    std::string alias;
    if (s.c.accept_word("ALIAS"))
        alias = s.c.name();
    s.c.expect_end();
    if (to != item)
        fail_db(ds::BAD_ITEM, to);  // items keep their names; columns are renamed
    change_with_access(s, db, ds::ACCESS_DBA, "RENAME ITEM", [&] { return db.set_alias(item, alias); });
}

// ---- the row editor and packed rows ----------------------------------------------------

struct TableCols {
    ds::TableInfo info;
    std::vector<Column> cols;
    std::shared_ptr<Node> restrict;  // the user's restriction on the table
};

TableCols table_cols(SessionState &st, ds::Database &db, const std::string &table, int level)
{
    TableCols t;
    Source src;
    add_table(st, db, src, table, level);
    check(db.table(table, t.info));
    for (const SrcCol &c : src.cols)
        t.cols.push_back(c.col);
    t.restrict = src.restrict[0];
    return t;
}

// FETCH FIRST|LAST|NEXT|PREVIOUS|CURRENT FROM t; FETCH FROM t WHERE c
// (the first matching row from the start); FETCH FROM t (the next row
// after the current one that matches the last condition).  One row.
void st_fetch(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    int how = -1;
    if (!s.c.is_word("FROM"))
        how = keyword_index(s.c, {"FIRST", "LAST", "NEXT", "PREVIOUS", "CURRENT"});
    s.c.expect_word("FROM");
    std::string table = table_name(s.st, s.c);
    std::string cond;
    bool find = how < 0;
    if (find && s.c.accept_word("WHERE")) {
        size_t from = s.c.peek().pos;
        parse_expression(s.c);
        cond = trimmed(s.c.text.substr(from));
        if (cond.empty())
            s.c.syntax();
    }
    s.c.expect_end();
    TableCols t = table_cols(s.st, db, table, ds::PRIV_READ);
    EditCursor &ec = state(s.st).cursors[table];
    std::shared_ptr<Node> match;
    bool again = find && cond.empty();
    if (find) {
        Source one;
        add_table(s.st, db, one, table, ds::PRIV_READ);
        if (!cond.empty())
            match = restriction_of(s.st, one, cond);
        else if (!ec.find.empty())
            match = restriction_of(s.st, one, ec.find);
        else
            fail_db(E_NO_MATCH, table);  // nothing to repeat
    }
    if (s.noeval) {
        s.sink.columns(t.cols);
        s.sink.end();
        return;
    }
    if (!cond.empty())
        ec.find = cond;
    std::vector<Value> row;
    ds::RowId id = 0;
    ds::Fetch step = find ? (again ? ds::Fetch::NEXT : ds::Fetch::FIRST) : static_cast<ds::Fetch>(how);
    ds::RowId at = ec.current;
    if (find && again && at == 0)
        step = ds::Fetch::FIRST;
    // Rows outside the user's restriction, or not matching a find, are passed over.
    for (uint32_t polls = 1;; polls++) {
        ds::Fault f = db.fetch(table, step, at, id, row);
        if (!f.ok()) {
            if (find && (f.database == ds::END_OF_TABLE || f.database == ds::NO_CURRENT))
                fail_db(E_NO_MATCH, table);
            raise(f);
        }
        if (passes_restriction(s.st, t.restrict.get(), row) && passes_restriction(s.st, match.get(), row))
            break;
        if (step == ds::Fetch::CURRENT)
            fail_db(ds::NO_CURRENT, table);
        if ((polls & 1023) == 0 && stopping(s.st))
            fail(E_STOPPED);
        at = id;
        step = step == ds::Fetch::LAST || step == ds::Fetch::PREVIOUS ? ds::Fetch::PREVIOUS : ds::Fetch::NEXT;
    }
    ec.current = id;
    s.sink.columns(t.cols);
    s.sink.row(row);
    s.sink.end();
    s.status.rows = 1;
}

// DELETE CURRENT FROM t: the next row becomes current, else the previous,
// else none.
void st_delete_current(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    s.c.expect_word("CURRENT");
    s.c.expect_word("FROM");
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    table_cols(s.st, db, table, ds::PRIV_WRITE);
    if (s.noeval)
        return;
    EditCursor &ec = state(s.st).cursors[table];
    std::vector<Value> row;
    ds::RowId id = 0, next = 0;
    Txn txn(db);  // the row and its neighbours as they are when it goes
    if (ec.current == 0 || !db.fetch(table, ds::Fetch::CURRENT, ec.current, id, row).ok())
        fail_db(ds::NO_CURRENT, table);
    if (!db.fetch(table, ds::Fetch::NEXT, ec.current, next, row).ok() &&
        !db.fetch(table, ds::Fetch::PREVIOUS, ec.current, next, row).ok())
        next = 0;
    check(db.erase(table, ec.current));
    txn.commit();
    ec.current = next;
    s.status.rows = 1;
}

InputRows read_input(Stmt &s, const std::vector<Column> &cols)
{
    InputRows in;
    std::string detail;
    if (!s.st.input)
        fail_db(E_BAD_INPUT, "WRITE");
    if (int code = s.st.input(s.st.input_ctx, cols, in, detail))
        fail_db(code, detail);
    in.keep.resize(in.rows.size());
    in.unreadable.resize(in.rows.size(), false);
    return in;
}

// A row handed in, made to fit the table: values by column, checked
// against the items.
void fit_row_into(const ds::TableInfo &info, const std::vector<int> &map, const std::vector<Value> &given,
                  std::vector<Value> &out)
{
    out.resize(map.size());
    for (size_t i = 0; i < map.size(); i++) {
        const ds::Item &it = info.items[i];
        if (map[i] < 0)
            out[i] = template_of(it);
        else
            conform_into(out[i], given[static_cast<size_t>(map[i])], it, it.name);
        if (it.dims.size() > 1 && out[i].count > 0)
            out[i].dims = it.dims;
    }
}

std::vector<Value> fit_row(const ds::TableInfo &info, const std::vector<int> &map, const std::vector<Value> &given)
{
    std::vector<Value> out;
    fit_row_into(info, map, given, out);
    return out;
}

// UPDATE CURRENT FROM t: the current row becomes the row handed in; a
// blob field sent without bytes keeps the stored blob.
void st_update_current(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    s.c.expect_word("CURRENT");
    s.c.expect_word("FROM");
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    TableCols t = table_cols(s.st, db, table, ds::PRIV_WRITE);
    if (s.noeval)
        return;
    EditCursor &ec = state(s.st).cursors[table];
    if (ec.current == 0)
        fail_db(ds::NO_CURRENT, table);
    InputRows in = read_input(s, t.cols);
    if (in.rows.empty())
        fail_db(E_BAD_INPUT, table);
    // The blobs kept are those of the row as it is when it is replaced.
    Txn txn(db);
    std::vector<Value> stored;
    ds::RowId id = 0;
    if (!db.fetch(table, ds::Fetch::CURRENT, ec.current, id, stored).ok())
        fail_db(ds::NO_CURRENT, table);
    std::vector<int> map(t.cols.size());
    for (size_t i = 0; i < map.size(); i++)
        map[i] = static_cast<int>(i);
    if (in.unreadable[0])
        fail_db(ds::BAD_VALUE, table);
    std::vector<Value> row = fit_row(t.info, map, in.rows[0]);
    for (size_t i = 0; i < row.size(); i++)
        if (i < in.keep[0].size() && in.keep[0][i])
            row[i] = stored[i];
    check(db.update(table, ec.current, row));
    txn.commit();
    s.status.rows = 1;
}

// WRITE cols TO t, WRITE * TO t: the rows the client packed.  A row whose
// key is stored is rejected (or with %OVERWRITE replaces the stored row),
// as is a row with a value its column cannot hold; the row count is the
// rows written, the fifth value the rows rejected.
void st_write(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::vector<std::string> names;
    bool star = s.c.accept_punct("*");
    if (!star)
        do
            names.push_back(s.c.name());
        while (s.c.accept_punct(","));
    s.c.expect_word("TO");
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    bool overwrite = sysvar_on(s.st, "%OVERWRITE");
    TableCols t = table_cols(s.st, db, table, overwrite ? ds::PRIV_WRITE : ds::PRIV_APPEND);
    if (t.info.system)
        fail_db(ds::SYSTEM_TABLE, table);
    std::vector<Column> cols;
    std::vector<int> map(t.cols.size(), -1);
    if (star) {
        cols = t.cols;
        for (size_t i = 0; i < map.size(); i++)
            map[i] = static_cast<int>(i);
    }
    for (const std::string &n : names) {
        size_t i = 0;
        while (i < t.cols.size() && t.cols[i].name != n)
            i++;
        if (i == t.cols.size())
            fail_db(ds::UNKNOWN_ITEM, n);
        if (map[i] >= 0)
            fail_db(ds::BAD_COLUMNS, n);
        map[i] = static_cast<int>(cols.size());
        cols.push_back(t.cols[i]);
    }
    if (s.noeval)
        return;
    InputRows in = read_input(s, cols);
    const int32_t total = static_cast<int32_t>(in.rows.size());
    int32_t written = 0;
    s.status.fifth = total;
    Txn txn(db);
    ds::Appender out;
    bool appending = false;
    std::vector<Value> row;
    for (size_t r = 0; r < in.rows.size(); r++) {
        if ((r & 255) == 255 && stopping(s.st)) {
            if (appending && out.flush().ok())
                s.status.fifth = total - static_cast<int32_t>(out.stored());
            fail(E_STOPPED);
        }
        if (in.unreadable[r])
            continue;
        try {
            fit_row_into(t.info, map, in.rows[r], row);
        } catch (const Error &e) {
            if (e.slot != DATABASE_CODE)
                throw;
            continue;  // a value its column cannot hold: rejected
        }
        if (!appending) {
            check(db.append(table, out));
            appending = true;
        }
        // Rows may wait in the appender to go in many at a time: the
        // count of rows stored is its own.
        ds::Fault f = out.add_counted(row, overwrite ? ds::OnDuplicate::REPLACE : ds::OnDuplicate::REJECT);
        if (f.database == ds::BAD_VALUE || f.database == ds::NULL_NOT_ALLOWED || f.database == ds::DUPLICATE_KEY)
            continue;
        if (!f.ok())
            s.status.fifth = total - static_cast<int32_t>(out.stored());
        check(f);
    }
    if (appending) {
        ds::Fault f = out.finish();
        written = static_cast<int32_t>(out.stored());
        s.status.fifth = total - written;
        check(f);
    }
    txn.commit();
    s.status.rows = written;
}

// The number of a blob name: "$n", or "prefix_id1_id2" (ids in base 32)
// as a descriptor with those fields is named, where a first id of 0 is
// the numbered blob id2.  0 for a name of no blob of ours.
int32_t blob_number(const std::string &name)
{
    auto number = [](const std::string &t, int base) -> int64_t {
        const char *digits = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
        if (t.empty() || t.size() > 10)
            return -1;
        int64_t v = 0;
        for (char c : t) {
            const char *d = strchr(digits, c);
            if (!c || !d || d - digits >= base)
                return -1;
            v = v * base + (d - digits);
        }
        return v;
    };
    int64_t n = -1;
    if (name.size() > 1 && name[0] == '$') {
        n = number(name.substr(1), 10);
    } else if (size_t b = name.rfind('_'); b != std::string::npos && b > 0) {
        size_t a = name.rfind('_', b - 1);
        if (a != std::string::npos && number(name.substr(a + 1, b - a - 1), 32) == 0)
            n = number(name.substr(b + 1), 32);
    }
    return n > 0 && n <= INT32_MAX ? static_cast<int32_t>(n) : 0;
}

// PRINT BLOB $n TO 'file': the bytes of a blob a result delivered.
void st_print_blob(Stmt &s)
{
    DbState &d = state(s.st);
    need_db(s.st);
    std::string name = s.c.name();
    int32_t n = blob_number(name);
    s.c.expect_word("TO");
    std::string file = text_operand(s.c);
    s.c.expect_end();
    auto found = d.blobs.find(n);
    if (found == d.blobs.end())
        fail_db(E_NO_BLOB, name);
    if (s.noeval)
        return;
    FILE *f = nullptr;
    {
        dozids::AsCaller named;  // a file the client names is opened with its own rights
        f = fopen(file.c_str(), "wbe");
    }
    if (!f)
        throw Error{FILER_CODE, 1, file};
    const std::string &bytes = found->second;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (!ok)
        throw Error{FILER_CODE, 2, file};
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
