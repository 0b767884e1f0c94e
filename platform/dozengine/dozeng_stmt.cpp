// Statements: the session, system variables, macros (DEFINE, UNDEFINE),
// PRINT and %PRINT, SET, CREATE VAR and DROP VAR, and the dispatch table
// by a statement's first word.

#include "dozeng_int.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace doz {

namespace {

// Names of variables and result columns.
inline constexpr size_t MAX_NAME = 12;
// Names of macros.
inline constexpr size_t MAX_MACRO_NAME = 32;

bool valid_bool(const Value &) { return true; }
bool valid_lockwait(const Value &v) { return v.e[0].i >= -1; }
bool valid_not_negative(const Value &v) { return v.e[0].i >= 0; }

bool valid_privilege(const Value &v)
{
    static const char *const levels[] = {"NONE", "READ", "APPEND", "WRITE", "LOCK", "ADMIN", "OWNERSHIP", "DEFAULT"};
    std::string u = upper(v.s);
    return std::any_of(std::begin(levels), std::end(levels), [&](const char *l) { return u == l; });
}

// A date input format: %d, %m, %y, %Y and %% with any other characters.
bool valid_date_format(const Value &v)
{
    const std::string &f = v.s;
    int fields = 0;
    for (size_t i = 0; i < f.size(); i++) {
        if (f[i] != '%')
            continue;
        if (i + 1 >= f.size() || !strchr("dmyY%", f[i + 1]))
            return false;
        fields += f[i + 1] != '%';
        i++;
    }
    return fields > 0;
}

bool valid_password(const Value &v) { return v.s.size() <= 10; }

const std::vector<SysVar> sysvar_table = {
    {"%UNIQUE", BOOL, 0, true, true, false, valid_bool},
    {"%LOCKWAIT", LONG, 0, true, true, false, valid_lockwait},
    {"%DPRIV", STRING, 9, true, true, false, valid_privilege},
    {"%DATEINPUT", STRING, 40, true, true, false, valid_date_format},
    {"%OVERWRITE", BOOL, 0, true, true, false, valid_bool},
    {"%WRITECHECK", LONG, 0, true, true, false, valid_not_negative},
    {"%NLSRADIX", BOOL, 0, true, true, false, valid_bool},
    {"%DISPLAY", BOOL, 0, true, true, false, valid_bool},
    {"%PASS", STRING, 10, true, false, false, valid_password},
    {"%MEMSIZE", LONG, 0, false, true, true, valid_not_negative},
    {"%DEFPOSTSIZE", LONG, 0, false, true, true, valid_not_negative},
    {"%FILELOCKS", BOOL, 0, false, true, true, valid_bool},
    {"%MAXFILES", LONG, 0, false, true, true, valid_not_negative},
};

// ---- statement handlers ------------------------------------------------------

struct Run {
    SessionState &st;
    Cursor &c;
    Sink &sink;
    bool noeval;
    Status &status;
};

bool display_on(const SessionState &st)
{
    auto it = st.system.find("%DISPLAY");
    return it == st.system.end() || it->second.null || it->second.e[0].i;
}

void emit(Run &r, const std::vector<Column> &cols, const std::vector<Value> &row)
{
    if (!display_on(r.st))
        return;
    r.sink.columns(cols);
    if (!r.noeval) {
        r.sink.row(row);
        r.status.rows = 1;
    }
    r.sink.end();
}

std::string result_name(Cursor &c)
{
    std::string n = c.name();
    if (n == "@" || n[0] == '$')
        fail(E_BAD_NAME, n);
    if (is_reserved(n))
        fail(E_RESERVED, n);
    if (n.size() > MAX_NAME)
        fail(E_LONG_NAME, n);
    return n;
}

void st_print(Run &r)
{
    if (r.c.accept_word("BLOB")) {
        // PRINT BLOB name TO 'file': blobs live in tables.
        r.c.name();
        r.c.expect_word("TO");
        if (r.c.peek().kind != T_STRING)
            r.c.syntax();
        r.c.at++;
        r.c.expect_end();
        fail(E_NO_DATABASE, "PRINT BLOB");
    }
    std::vector<NodeP> exprs;
    std::vector<std::string> names;
    do {
        exprs.push_back(parse_expression(r.c));
        names.push_back(r.c.accept_word("AS") ? result_name(r.c) : "PRINT");
    } while (r.c.accept_punct(","));
    r.c.expect_end();
    EvalCtx ctx{r.st, r.noeval};
    std::vector<Value> row;
    std::vector<Column> cols;
    for (size_t i = 0; i < exprs.size(); i++) {
        row.push_back(evaluate(*exprs[i], ctx));
        cols.push_back(describe(row.back(), names[i]));
    }
    emit(r, cols, row);
}

void st_sysprint(Run &r)
{
    std::vector<Value> row;
    std::vector<Column> cols;
    do {
        std::string n = r.c.name();
        const SysVar *sv = find_sysvar(n);
        if (!sv)
            fail(E_NO_SYSVAR, n);
        if (!sv->printable)
            fail(E_SYSVAR_HIDDEN, n);
        Value v;
        if (sv->database) {
            // Database parameters come from the open database.
            if (r.noeval)
                v = make_null(sv->type, sv->len);
            else if (r.st.config.db)
                v = r.st.config.db->parameter(r.st, n);
            else
                fail(E_NO_DATABASE, n);
        } else {
            v = r.st.system.at(n);
        }
        row.push_back(v);
        cols.push_back(describe(v, n));
    } while (r.c.accept_punct(","));
    r.c.expect_end();
    emit(r, cols, row);
}

void st_set(Run &r)
{
    std::string n = r.c.name();
    const SysVar *sv = find_sysvar(n);
    if (!sv)
        fail(E_NO_SYSVAR, n);
    if (!sv->settable)
        fail(E_SYSVAR_FIXED, n);
    NodeP e = parse_expression(r.c);
    r.c.expect_end();
    EvalCtx ctx{r.st, r.noeval};
    Value v = evaluate(*e, ctx);
    bool type_ok = (sv->type == BOOL && v.type == BOOL) || (sv->type == LONG && is_integer(v.type)) ||
                   (sv->type == STRING && is_text(v.type));
    if (!type_ok || v.is_array())
        fail(E_SYSVAR_VALUE, n);
    if (r.noeval)
        return;
    if (v.null)
        fail(E_SYSVAR_VALUE, n);
    Value stored = sv->type == STRING ? make_string(as_text(v), sv->len)
                                      : make_long(v.e[0].i, sv->type);
    if (!sv->valid(stored) || (sv->type == STRING && stored.s.size() > static_cast<size_t>(sv->len)))
        fail(E_SYSVAR_VALUE, n);
    if (n == "%PASS" && r.st.config.db && !r.st.dbname.empty()) {
        r.st.config.db->set_password(r.st, stored.s);  // the user's own password
    } else if (n == "%PASS") {
        r.st.password = stored.s;  // kept for OPEN; never printed
        r.st.password_given = true;
    }
    else if (n == "%DPRIV")
        r.st.system[n] = make_string(upper(stored.s), sv->len);
    else
        r.st.system[n] = stored;
}

std::string variable_name(Cursor &c)
{
    std::string n = c.name();
    if (n == "@" || n[0] == '$')
        fail(E_BAD_NAME, n);
    if (is_reserved(n) || find_sysvar(n) || n == "%TEST")
        fail(E_RESERVED, n);
    if (n.size() > MAX_NAME)
        fail(E_LONG_NAME, n);
    return n;
}

void st_needs_database(Run &r) { fail(E_NO_DATABASE, r.c.toks[0].text); }

void st_create(Run &r)
{
    if (!r.c.accept_word("VAR"))
        st_needs_database(r);
    std::string n = variable_name(r.c);
    Value v;  // no value: null and untyped
    if (!r.c.end()) {
        NodeP e = parse_expression(r.c);
        r.c.expect_end();
        EvalCtx ctx{r.st, r.noeval};
        v = evaluate(*e, ctx);
    }
    if (!r.noeval)
        r.st.variables[n] = std::move(v);  // replaces an existing variable
}

void st_drop(Run &r)
{
    if (!r.c.accept_word("VAR"))
        st_needs_database(r);
    std::string n = r.c.name();
    r.c.expect_end();
    auto it = r.st.variables.find(n);
    if (it == r.st.variables.end())
        fail(E_NO_VARIABLE, n);
    if (!r.noeval)
        r.st.variables.erase(it);
}

void st_close(Run &r)
{
    r.c.expect_end();
    // Nothing is open: closing is harmless.
}

void st_unuse(Run &r)
{
    r.c.name();
    r.c.expect_end();
    // No table is held without a database: releasing one is a no-op.
}

struct StmtDef {
    const char *word;
    void (*run)(Run &r);
};

const StmtDef statements[] = {
    {"PRINT", st_print},
    {"%PRINT", st_sysprint},
    {"SET", st_set},
    {"CREATE", st_create},
    {"DROP", st_drop},
    {"CLOSE", st_close},
    {"UNUSE", st_unuse},
    // Statements on tables and databases.
    {"DISPLAY", st_needs_database},
    {"SELECT", st_needs_database},
    {"COLLECT", st_needs_database},
    {"GROUP", st_needs_database},
    {"FETCH", st_needs_database},
    {"WRITE", st_needs_database},
    {"UPDATE", st_needs_database},
    {"DELETE", st_needs_database},
    {"CLEAR", st_needs_database},
    {"SEQUENCE", st_needs_database},
    {"INDEX", st_needs_database},
    {"RENAME", st_needs_database},
    {"CONFIGURE", st_needs_database},
    {"OPEN", st_needs_database},
    {"GRANT", st_needs_database},
    {"USE", st_needs_database},
};

// ---- macros --------------------------------------------------------------------

std::string trim(std::string_view s)
{
    size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
    return a == std::string_view::npos ? std::string() : std::string(s.substr(a, b - a + 1));
}

// The first word of a statement, upper-cased, and where its rest begins.
std::string first_word(std::string_view text, size_t &rest)
{
    size_t i = text.find_first_not_of(" \t\r\n");
    if (i == std::string_view::npos) {
        rest = text.size();
        return {};
    }
    size_t s = i;
    while (i < text.size() && name_char(text[i]))
        i++;
    rest = i;
    return upper(text.substr(s, i - s));
}

// The operand of DEFINE or UNDEFINE: a name or "@", never expanded.
std::string macro_name(std::string_view text, size_t &at)
{
    size_t i = at;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        i++;
    size_t s = i;
    if (i < text.size() && text[i] == '@')
        i++;
    else if (i < text.size() && name_start(text[i]))
        while (i < text.size() && name_char(text[i]))
            i++;
    if (i == s)
        fail(s < text.size() ? E_BAD_MACRO_NAME : E_EARLY_END);
    if (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n')
        fail(E_BAD_MACRO_NAME, text.substr(s, std::min<size_t>(i + 1 - s, 40)));
    std::string name = upper(text.substr(s, i - s));
    if (name.size() > MAX_MACRO_NAME)
        fail(E_LONG_NAME, name.substr(0, 40));
    at = i;
    return name;
}

void define(SessionState &st, std::string_view text, size_t rest, bool noeval)
{
    std::string name = macro_name(text, rest);
    if (is_reserved(name))
        fail(E_RESERVED, name);
    std::string body = trim(text.substr(rest));
    tokenize(body);  // a body that can never be read is refused now
    if (!noeval)
        st.macros[name] = body;
}

void undefine(SessionState &st, std::string_view text, size_t rest, bool noeval)
{
    std::string name = macro_name(text, rest);
    if (!trim(text.substr(rest)).empty())
        fail(E_SYNTAX, trim(text.substr(rest)).substr(0, 40));
    auto it = st.macros.find(name);
    if (it == st.macros.end())
        fail(E_NO_MACRO, name);
    if (!noeval)
        st.macros.erase(it);
}

void run_statement(SessionState &st, std::string_view text, unsigned mode, Sink &sink, Status &status)
{
    bool noeval = (mode & MODE_NOEVAL) != 0;
    if (text.size() > MAX_STATEMENT)
        fail(E_TOO_LONG);
    if (text.find('\0') != std::string_view::npos)
        fail(E_BAD_CHARACTER, "NUL");
    size_t rest = 0;
    std::string word = first_word(text, rest);
    if (word == "DEFINE")
        return define(st, text, rest, noeval);
    if (word == "UNDEFINE")
        return undefine(st, text, rest, noeval);
    std::string expanded = expand_macros(text, st.macros);
    Cursor c;
    c.toks = tokenize(expanded);
    c.text = expanded;
    if (c.end())
        fail(E_EMPTY);
    if (c.peek().kind != T_NAME)
        c.syntax();
    st.mode = mode;
    if (st.config.db && st.config.db->run(st, c, sink, mode, status))
        return;
    for (const StmtDef &s : statements)
        if (c.peek().text == s.word) {
            c.at++;
            Run r{st, c, sink, noeval, status};
            s.run(r);
            return;
        }
    c.syntax();
}

}  // namespace

const std::vector<SysVar> &sysvars() { return sysvar_table; }

const SysVar *find_sysvar(std::string_view name)
{
    for (const SysVar &s : sysvar_table)
        if (name == s.name)
            return &s;
    return nullptr;
}

Session::Session(SessionConfig config) : st_(std::make_unique<SessionState>())
{
    st_->config = std::move(config);
    st_->stop = &stop_;
    auto &sys = st_->system;
    sys["%UNIQUE"] = make_bool(false);
    sys["%LOCKWAIT"] = make_long(-1);
    sys["%DPRIV"] = make_string("READ", 9);
    sys["%DATEINPUT"] = make_string("%d/%m/%y", 40);
    sys["%OVERWRITE"] = make_bool(false);
    sys["%WRITECHECK"] = make_long(0);
    sys["%NLSRADIX"] = make_bool(false);
    sys["%DISPLAY"] = make_bool(true);
    // A stand-in array for checking statistic expressions.
    Value test = make_null(REAL);
    test.count = -1;
    test.null = false;
    test.e.resize(1);
    sys["%TEST"] = test;
}

Session::~Session() = default;

void Session::set_stop_probe(bool (*probe)(void *ctx), void *ctx)
{
    st_->stop_probe = probe;
    st_->stop_ctx = ctx;
}

void Session::set_confirm(int (*confirm)(void *ctx, const char *question), void *ctx)
{
    st_->confirm = confirm;
    st_->confirm_ctx = ctx;
}

void Session::set_input(InputFn input, void *ctx)
{
    st_->input = input;
    st_->input_ctx = ctx;
}

const std::string *Session::macro(std::string_view name) const
{
    auto it = st_->macros.find(upper(name));
    return it == st_->macros.end() ? nullptr : &it->second;
}

Status Session::execute(std::string_view text, unsigned mode, Sink &sink)
{
    Status status;
    stop_.store(false, std::memory_order_relaxed);
    Error err{QUERY_CODE, 0, {}};
    try {
        run_statement(*st_, text, mode, sink, status);
        return status;
    } catch (const Error &e) {
        err = e;
    } catch (const std::bad_alloc &) {
        err = Error{QUERY_CODE, E_OVERFLOW, "out of memory"};
    } catch (const std::exception &) {
        err = Error{QUERY_CODE, E_ARGUMENT, {}};
    }
    status.error = 1;
    status.rows = 0;
    std::string text_of = error_text(st_->config.catalogue, err.slot, err.code, err.detail);
    switch (err.slot) {
    case QUERY_CODE:
        status.query = err.code;
        status.query_text = text_of;
        break;
    case DATABASE_CODE:
        status.database = err.code;
        status.database_text = text_of;
        break;
    case FILER_CODE:
        status.filer = err.code;
        status.filer_text = text_of;
        break;
    }
    return status;
}

}  // namespace doz
