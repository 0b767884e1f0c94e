// Expressions: the parser (usual precedence: OR, AND, NOT, comparisons,
// + -, * /, unary minus) and the evaluator over all value types, nulls
// (three-valued logic) and arrays (element by element).

#include "dozeng_int.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <limits>

namespace doz {

// ---- parser ------------------------------------------------------------------

namespace {

NodeP make(Node::Kind k, size_t pos)
{
    auto n = std::make_unique<Node>();
    n->kind = k;
    n->pos = pos;
    return n;
}

NodeP parse_or(Cursor &c);

// Bounds the parser's recursion.
struct Nest {
    Cursor &c;
    explicit Nest(Cursor &cur) : c(cur)
    {
        if (++c.nesting > MAX_NESTING)
            fail(E_TOO_DEEP);
    }
    ~Nest() { c.nesting--; }
    Nest(const Nest &) = delete;
    Nest &operator=(const Nest &) = delete;
};

// Adds a child and bounds the tree's depth (chains of operators grow it
// without recursion in the parser).
void adopt(Node &n, NodeP kid)
{
    n.depth = std::max(n.depth, kid->depth + 1);
    if (n.depth > MAX_DEPTH)
        fail(E_TOO_DEEP);
    n.kids.push_back(std::move(kid));
}

Value number_literal(const Token &t)
{
    errno = 0;
    if (t.integer) {
        char *end = nullptr;
        long long v = strtoll(t.text.c_str(), &end, 10);
        if (errno == 0 && *end == '\0' && v <= std::numeric_limits<int32_t>::max())
            return make_long(v);
    }
    errno = 0;
    char *end = nullptr;
    double d = strtod(t.text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(d))
        fail(E_BAD_NUMBER, t.text);
    return make_real(d);
}

int small_int(Cursor &c)
{
    const Token &t = c.peek();
    if (t.kind != T_NUMBER || !t.integer || t.text.size() > 9)
        c.syntax();
    c.at++;
    return atoi(t.text.c_str());
}

NodeP parse_primary(Cursor &c)
{
    const Token &t = c.peek();
    size_t pos = t.pos;
    if (t.kind == T_NUMBER) {
        if (t.integer && c.is_punct(":", 1)) {
            // A dimension list n1:n2:... is a fixed LONG array.
            Value v;
            v.type = LONG;
            v.null = false;
            do {
                Elem e;
                e.i = small_int(c);
                if (e.i < 1 || e.i > MAX_ELEMENTS)
                    fail(E_DIMENSIONS, std::to_string(e.i));
                v.e.push_back(e);
            } while (c.accept_punct(":"));
            if (v.e.size() > 8)
                fail(E_DIMENSIONS);
            v.count = static_cast<int32_t>(v.e.size());
            NodeP n = make(Node::LITERAL, pos);
            n->literal = std::move(v);
            return n;
        }
        NodeP n = make(Node::LITERAL, pos);
        n->literal = number_literal(t);
        c.at++;
        return n;
    }
    if (t.kind == T_STRING) {
        NodeP n = make(Node::LITERAL, pos);
        n->literal = make_string(t.text);
        c.at++;
        return n;
    }
    if (c.accept_punct("(")) {
        NodeP n = parse_or(c);
        c.expect_punct(")");
        return n;
    }
    if (c.accept_punct("?")) {
        NodeP n = make(Node::LITERAL, pos);
        n->literal = make_char('?');
        return n;
    }
    if (c.accept_punct("[")) {
        // [h:m:s]
        int h = small_int(c);
        c.expect_punct(":");
        int m = small_int(c);
        c.expect_punct(":");
        int s = small_int(c);
        c.expect_punct("]");
        NodeP n = make(Node::LITERAL, pos);
        n->literal = make_time(h, m, s);
        return n;
    }
    if (t.kind != T_NAME)
        c.syntax();
    std::string word = t.text;
    bool call = c.is_punct("(", 1);
    if (!call) {
        if (word == "TRUE" || word == "FALSE" || word == "NULL") {
            c.at++;
            NodeP n = make(Node::LITERAL, pos);
            if (word != "NULL")
                n->literal = make_bool(word == "TRUE");
            return n;
        }
        if (is_reserved(word))
            c.syntax();
        c.at++;
        if (c.accept_punct(".")) {
            // A qualified column name T.COL.
            word += ".";
            word += c.name();
        }
        NodeP n = make(Node::NAME, pos);
        n->name = word;
        return n;
    }
    // A call: reserved words and system names are no functions.
    const FuncDef *f = find_function(word);
    if (!f) {
        if (is_reserved(word) || find_sysvar(word) || word == "%TEST")
            fail(E_UNKNOWN_NAME, word);
        fail(E_NO_FUNCTION, word);
    }
    c.at += 2;
    NodeP n = make(Node::CALL, pos);
    n->name = word;
    if (!c.accept_punct(")")) {
        do
            adopt(*n, parse_or(c));
        while (c.accept_punct(","));
        c.expect_punct(")");
    }
    int argc = static_cast<int>(n->kids.size());
    if (argc < f->min_args || argc > f->max_args)
        fail(E_UNKNOWN_NAME, word);
    return n;
}

NodeP parse_unary(Cursor &c)
{
    size_t pos = c.peek().pos;
    if (c.accept_punct("-")) {
        Nest guard(c);
        NodeP n = make(Node::UNARY, pos);
        n->name = "-";
        adopt(*n, parse_unary(c));
        return n;
    }
    if (c.accept_punct("+")) {
        Nest guard(c);
        return parse_unary(c);
    }
    return parse_primary(c);
}

NodeP binary(std::string op, NodeP l, NodeP r, size_t pos)
{
    NodeP n = make(Node::BINARY, pos);
    n->name = std::move(op);
    adopt(*n, std::move(l));
    adopt(*n, std::move(r));
    return n;
}

// A left-associative run of `operand`s joined by the operators `a` and `b`.
NodeP parse_left(Cursor &c, NodeP (*operand)(Cursor &), const char *a, const char *b)
{
    NodeP l = operand(c);
    while (c.is_punct(a) || c.is_punct(b)) {
        const Token &t = c.peek();
        std::string op = t.text;
        size_t pos = t.pos;
        c.at++;
        l = binary(op, std::move(l), operand(c), pos);
    }
    return l;
}

NodeP parse_mul(Cursor &c) { return parse_left(c, parse_unary, "*", "/"); }

NodeP parse_add(Cursor &c) { return parse_left(c, parse_mul, "+", "-"); }

NodeP parse_cmp(Cursor &c)
{
    NodeP l = parse_add(c);
    static const char *const ops[] = {"=", "<>", "<", ">", "<=", ">="};
    for (const char *op : ops)
        if (c.is_punct(op)) {
            size_t pos = c.peek().pos;
            c.at++;
            return binary(op, std::move(l), parse_add(c), pos);
        }
    return l;
}

NodeP parse_not(Cursor &c)
{
    size_t pos = c.peek().pos;
    if (c.accept_word("NOT")) {
        Nest guard(c);
        NodeP n = make(Node::UNARY, pos);
        n->name = "NOT";
        adopt(*n, parse_not(c));
        return n;
    }
    return parse_cmp(c);
}

NodeP parse_and(Cursor &c)
{
    NodeP l = parse_not(c);
    while (c.is_word("AND")) {
        size_t pos = c.peek().pos;
        c.at++;
        l = binary("AND", std::move(l), parse_not(c), pos);
    }
    return l;
}

NodeP parse_or(Cursor &c)
{
    Nest guard(c);
    NodeP l = parse_and(c);
    while (c.is_word("OR")) {
        size_t pos = c.peek().pos;
        c.at++;
        l = binary("OR", std::move(l), parse_and(c), pos);
    }
    return l;
}

}  // namespace

NodeP parse_expression(Cursor &c) { return parse_or(c); }

// ---- evaluation ----------------------------------------------------------------

void EvalCtx::check_stop() const
{
    if ((st.stop && st.stop->load(std::memory_order_relaxed)) || (st.stop_probe && st.stop_probe(st.stop_ctx)))
        fail(E_STOPPED);
}

namespace {

bool is_compare(const std::string &op)
{
    return op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=";
}

// The result type of an arithmetic operator on two element types.
int arith_type(const std::string &op, int a, int b)
{
    if (a == UNTYPED && b == UNTYPED)
        return UNTYPED;
    if (a == UNTYPED)
        a = (b == DATE || b == TIME) && op == "-" ? LONG : b;
    if (b == UNTYPED)
        b = (a == DATE || a == TIME) ? LONG : a;
    if (op == "+" && is_text(a) && is_text(b))
        return STRING;
    if (a == DATE || a == TIME || b == DATE || b == TIME) {
        int dt = (a == DATE || a == TIME) ? a : b;
        if (op == "+" && ((a == dt && is_integer(b)) || (b == dt && is_integer(a))))
            return dt;
        if (op == "-" && a == dt && is_integer(b))
            return dt;
        if (op == "-" && a == dt && b == dt)
            return LONG;
        fail(E_TYPES, op);
    }
    if (!is_numeric(a) || !is_numeric(b))
        fail(E_TYPES, op);
    if (a == COMPLEX || b == COMPLEX)
        return COMPLEX;
    if (a == SHORTREAL && b == SHORTREAL)
        return SHORTREAL;
    if (is_float(a) || is_float(b))
        return REAL;
    return LONG;
}

std::complex<double> cval(int t, const Elem &e)
{
    if (t == COMPLEX)
        return {e.r, e.im};
    return {is_float(t) ? e.r : static_cast<double>(e.i), 0.0};
}

Elem arith(const std::string &op, int ta, const Elem &a, int tb, const Elem &b, int rt)
{
    Elem r;
    char o = op[0];
    if (rt == DATE || rt == TIME) {
        bool left = ta == rt;
        int64_t base = left ? a.i : b.i, delta = left ? b.i : a.i;
        int64_t v = o == '+' ? base + delta : base - delta;
        if (rt == TIME) {
            v %= 86400;
            if (v < 0)
                v += 86400;
        } else if (v < days_from_civil(1, 1, 1) || v > days_from_civil(9999, 12, 31)) {
            fail(E_BAD_DATE);
        }
        r.i = v;
        return r;
    }
    if (rt == LONG) {
        int64_t x = a.i, y = b.i;
        int64_t v = 0;
        switch (o) {
        case '+': v = x + y; break;
        case '-': v = x - y; break;
        case '*': v = x * y; break;
        default:
            if (y == 0)
                fail(E_DIVIDE);
            v = x / y;
        }
        r.i = fit_integer(v, LONG);
        return r;
    }
    if (rt == COMPLEX) {
        std::complex<double> x = cval(ta, a), y = cval(tb, b), v;
        switch (o) {
        case '+': v = x + y; break;
        case '-': v = x - y; break;
        case '*': v = x * y; break;
        default:
            if (y == std::complex<double>(0.0, 0.0))
                fail(E_DIVIDE);
            v = x / y;
        }
        r.r = fit_real(v.real(), REAL);
        r.im = fit_real(v.imag(), REAL);
        return r;
    }
    double x = cval(ta, a).real(), y = cval(tb, b).real(), v = 0;
    switch (o) {
    case '+': v = x + y; break;
    case '-': v = x - y; break;
    case '*': v = x * y; break;
    default:
        if (y == 0.0)
            fail(E_DIVIDE);
        v = x / y;
    }
    r.r = fit_real(v, rt);
    return r;
}

size_t length_of(const Value &v) { return v.null ? 0 : v.e.size(); }

Value arithmetic(const std::string &op, const Value &a, const Value &b, bool noeval)
{
    int rt = arith_type(op, a.type, b.type);
    if ((a.is_array() && !has_arrays(a.type)) || (b.is_array() && !has_arrays(b.type)))
        fail(E_NO_ARRAYS);
    if (rt == STRING) {
        if (a.is_array() || b.is_array())
            fail(E_NO_ARRAYS, op);
        int la = a.type == CHAR ? 1 : a.len, lb = b.type == CHAR ? 1 : b.len;
        int declared = std::min(la + lb, MAX_STRING);
        if (a.null || b.null || noeval)
            return make_null(STRING, declared);
        return clamp_string(as_text(a) + as_text(b), declared);
    }
    if (!a.is_array() && !b.is_array()) {
        if (a.null || b.null || noeval)
            return make_null(rt);
        Value r = make_null(rt);
        r.null = false;
        r.e.push_back(arith(op, a.type, a.e[0], b.type, b.e[0], rt));
        return r;
    }
    const Value &shape = a.is_array() ? a : b;
    Value r = shaped_like(shape, rt);
    if (a.is_array() && b.is_array() && !a.null && !b.null && length_of(a) != length_of(b))
        fail(E_ARRAY_LENGTHS);
    if (a.null || b.null || noeval) {
        r.null = true;
        return r;
    }
    size_t n = shape.e.size();
    r.e.reserve(n);
    for (size_t i = 0; i < n; i++)
        r.e.push_back(arith(op, a.type, a.e[a.is_array() ? i : 0], b.type, b.e[b.is_array() ? i : 0], rt));
    return r;
}

}  // namespace

// -1, 0 or 1; 2 when the values are unordered but different.
int compare_elems(int ta, const Elem &a, int tb, const Elem &b)
{
    if (ta == COMPLEX || tb == COMPLEX) {
        return cval(ta, a) == cval(tb, b) ? 0 : 2;
    }
    if (is_float(ta) || is_float(tb)) {
        double x = cval(ta, a).real(), y = cval(tb, b).real();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
}

namespace {

bool comparable(int a, int b)
{
    if (a == UNTYPED || b == UNTYPED)
        return true;
    if (is_numeric(a) && is_numeric(b))
        return true;
    if (is_text(a) && is_text(b))
        return true;
    return a == b && (a == DATE || a == TIME || a == BOOL);
}

Value comparison(const std::string &op, const Value &a, const Value &b, bool noeval)
{
    if (!comparable(a.type, b.type))
        fail(E_TYPES, op);
    bool ordered = op != "=" && op != "<>";
    bool unordered_type = a.type == COMPLEX || b.type == COMPLEX || a.type == BOOL || b.type == BOOL;
    if (ordered && (unordered_type || a.is_array() || b.is_array()))
        fail(E_TYPES, op);
    if (a.null || b.null || noeval || a.type == UNTYPED || b.type == UNTYPED)
        return make_null(BOOL);
    int c;
    if (is_text(a.type)) {
        int k = as_text(a).compare(as_text(b));
        c = k < 0 ? -1 : k > 0 ? 1 : 0;
    } else if (a.is_array() || b.is_array()) {
        c = a.e.size() == b.e.size() ? 0 : 2;
        for (size_t i = 0; c == 0 && i < a.e.size(); i++)
            c = compare_elems(a.type, a.e[i], b.type, b.e[i]) == 0 ? 0 : 2;
    } else {
        c = compare_elems(a.type, a.e[0], b.type, b.e[0]);
    }
    bool r = false;
    if (op == "=")
        r = c == 0;
    else if (op == "<>")
        r = c != 0;
    else if (op == "<")
        r = c == -1;
    else if (op == ">")
        r = c == 1;
    else if (op == "<=")
        r = c == -1 || c == 0;
    else
        r = c == 1 || c == 0;
    return make_bool(r);
}

// 0 false, 1 true, 2 null.
int truth(const Value &v, const char *op)
{
    if (v.type != BOOL && v.type != UNTYPED)
        fail(E_TYPES, op);
    if (v.is_array())
        fail(E_TYPES, op);
    if (v.null)
        return 2;
    return v.e[0].i ? 1 : 0;
}

Value logic(const std::string &op, const Value &a, const Value &b, bool noeval)
{
    int x = truth(a, op.c_str()), y = truth(b, op.c_str());
    if (noeval)
        return make_null(BOOL);
    if (op == "AND") {
        if (x == 0 || y == 0)
            return make_bool(false);
        if (x == 2 || y == 2)
            return make_null(BOOL);
        return make_bool(true);
    }
    if (x == 1 || y == 1)
        return make_bool(true);
    if (x == 2 || y == 2)
        return make_null(BOOL);
    return make_bool(false);
}

Value negate(const Value &v, bool noeval)
{
    if (v.type == UNTYPED)
        return v;
    if (!is_numeric(v.type))
        fail(E_TYPES, "-");
    int rt = is_integer(v.type) ? LONG : v.type;
    Value r = shaped_like(v, rt);
    if (v.null || noeval) {
        r.null = true;
        return r;
    }
    for (const Elem &e : v.e) {
        Elem x;
        if (rt == LONG)
            x.i = fit_integer(-e.i, LONG);
        else {
            x.r = -e.r;
            x.im = rt == COMPLEX ? -e.im : 0.0;
        }
        r.e.push_back(x);
    }
    return r;
}

Value call(const FuncDef &f, std::vector<Value> &args, EvalCtx &ctx)
{
    bool elementwise = (f.flags & F_ELEMENTWISE) && !args.empty() && args[0].is_array();
    if (!elementwise) {
        Value tmpl = f.check(args);
        if (ctx.noeval)
            return tmpl;
        if (!(f.flags & F_NULLS))
            for (const Value &a : args)
                if (a.null)
                    return tmpl;
        return f.eval(ctx, args);
    }
    Value whole = args[0];
    if (!has_arrays(whole.type))
        fail(E_NO_ARRAYS, f.name);
    args[0] = make_null(whole.type, whole.len);
    Value tmpl = f.check(args);
    if (tmpl.type != UNTYPED && !has_arrays(tmpl.type))
        fail(E_NO_ARRAYS, f.name);
    Value r = shaped_like(whole, tmpl.type);
    r.len = tmpl.len;
    r.null = true;
    if (ctx.noeval || whole.null)
        return r;
    for (size_t i = 1; i < args.size(); i++)
        if (args[i].null)
            return r;
    r.null = false;
    for (size_t i = 0; i < whole.e.size(); i++) {
        if ((i & 1023) == 1023)
            ctx.check_stop();
        args[0] = element(whole, i);
        Value one = f.eval(ctx, args);
        if (one.null || one.e.empty())
            return shaped_like(whole, tmpl.type);  // null
        r.e.push_back(one.e[0]);
    }
    return r;
}

}  // namespace

Value evaluate(const Node &n, EvalCtx &ctx)
{
    switch (n.kind) {
    case Node::LITERAL:
        return n.literal;
    case Node::NAME: {
        if (n.slot >= 0 && ctx.row && static_cast<size_t>(n.slot) < ctx.row->size())
            return (*ctx.row)[static_cast<size_t>(n.slot)];
        auto v = ctx.st.variables.find(n.name);
        if (v != ctx.st.variables.end())
            return v->second;
        auto s = ctx.st.system.find(n.name);
        if (s != ctx.st.system.end())
            return s->second;
        if (find_sysvar(n.name))
            fail(E_SYSVAR_HIDDEN, n.name);
        // A name that may be a column cannot be asked while no database is open.
        if (ctx.st.config.db && ctx.st.dbname.empty() && !ctx.noeval)
            fail(E_NO_DATABASE, n.name);
        fail(E_UNKNOWN_NAME, n.name);
    }
    case Node::CALL: {
        ctx.check_stop();
        const FuncDef *f = find_function(n.name);
        if (!f)
            fail(E_NO_FUNCTION, n.name);
        std::vector<Value> args;
        args.reserve(n.kids.size());
        for (const NodeP &k : n.kids)
            args.push_back(evaluate(*k, ctx));
        return call(*f, args, ctx);
    }
    case Node::UNARY: {
        Value v = evaluate(*n.kids[0], ctx);
        if (n.name == "NOT") {
            int t = truth(v, "NOT");
            if (ctx.noeval || t == 2)
                return make_null(BOOL);
            return make_bool(t == 0);
        }
        return negate(v, ctx.noeval);
    }
    case Node::BINARY: {
        Value a = evaluate(*n.kids[0], ctx);
        Value b = evaluate(*n.kids[1], ctx);
        if (n.name == "AND" || n.name == "OR")
            return logic(n.name, a, b, ctx.noeval);
        if (is_compare(n.name))
            return comparison(n.name, a, b, ctx.noeval);
        return arithmetic(n.name, a, b, ctx.noeval);
    }
    }
    fail(E_SYNTAX);
}

}  // namespace doz
