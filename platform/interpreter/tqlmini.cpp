// The stand-in statement engine.  Statements (keywords in any case):
//
//   PRINT item, ...        one row; items: REVISION(), SYSUSER(), DBNAME(),
//                          'text', integer, real, TRUE, FALSE, NULL
//   TEST PRINT item, ...   the same (kept beside another engine's PRINT)
//   TEST ROWS n types      n generated rows of the listed column types
//   TEST STORE types       keeps the rows the client packed (Write mode)
//   TEST FETCH             hands the kept rows back
//   TEST HOLD              runs until stopped
//   TEST CONFIRM 'q'       asks; one long: the answer (also in status[5])
//   TEST ECHO a b 'text'   echoes; no rows
//   TEST GETRESP 'p' flag  asks for a response; one string(81)
//   TEST FORK 'command' f0 f1 f2 f3    asks the client to run a satellite
//   TEST READBLOB 'src' 'dst'   delivers a blob through the client
//   TEST WRITEBLOB 'dst'   fetches the blob of the first row the client
//                          packed (one blob column) into dst
//   CREATE VAR %name n     keeps an integer variable; PRINT %name shows it
//   TEST EXIT              ends the interpreter without an answer
//   TEST BADCODE           answers with a message code no client knows
//
// Column types: long short tiny real sreal complex date time bool char
// blob string(N), each optionally followed by [n] (fixed array) or [<=n]
// (variable array).  The generated values are documented in
// docs/interpreter-protocol.md; the tests compute them independently.
#include "tqlengine.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <strings.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

struct Mini {
    TqlSession session;
    std::vector<std::pair<std::string, int32_t>> vars;
    std::vector<DozColDesc> stored_cols;
    std::vector<unsigned char> stored;
    int stored_rows = 0;
};

// ---- a small tokenizer -----------------------------------------------------

struct Lexer {
    const char *p;
    void skip()
    {
        while (*p && isspace(static_cast<unsigned char>(*p)))
            p++;
    }
    bool keyword(const char *kw)
    {
        skip();
        size_t n = strlen(kw);
        if (strncasecmp(p, kw, n) != 0)
            return false;
        char after = p[n];
        if (isalnum(static_cast<unsigned char>(after)) || after == '_')
            return false;
        p += n;
        return true;
    }
    bool punct(char c)
    {
        skip();
        if (*p != c)
            return false;
        p++;
        return true;
    }
    bool integer(long &v)
    {
        skip();
        char *end;
        errno = 0;
        v = strtol(p, &end, 10);
        if (end == p || errno)
            return false;
        p = end;
        return true;
    }
    // 'text' with '' standing for one quote.
    bool quoted(std::string &out)
    {
        skip();
        if (*p != '\'')
            return false;
        out.clear();
        for (const char *q = p + 1; *q; q++) {
            if (*q == '\'') {
                if (q[1] == '\'') {
                    out += '\'';
                    q++;
                    continue;
                }
                p = q + 1;
                return true;
            }
            out += *q;
        }
        return false;
    }
    bool at_end()
    {
        skip();
        return *p == '\0' || (*p == ';' && (p++, skip(), *p == '\0'));
    }
};

DozColDesc column(int16_t type, int16_t width, int16_t precision, int32_t count, const char *name)
{
    DozColDesc d{};
    d.type = type;
    d.width = width;
    d.precision = precision;
    d.count = count;
    snprintf(d.name, sizeof d.name, "%s", name);
    return d;
}

struct TypeInfo {
    const char *name;
    int16_t type, width, precision;
};
const TypeInfo type_table[] = {
    {"long", DOZ_T_LONG, 11, -1},     {"short", DOZ_T_SHORT, 6, -1},  {"tiny", DOZ_T_TINY, 3, -1},
    {"real", DOZ_T_REAL, 14, 4},      {"sreal", DOZ_T_SREAL, 12, 4},  {"complex", DOZ_T_COMPLEX, 29, 4},
    {"date", DOZ_T_DATE, 8, -1},      {"time", DOZ_T_TIME, 8, -1},    {"bool", DOZ_T_BOOL, 3, -1},
    {"char", DOZ_T_CHAR, 1, -1},      {"blob", DOZ_T_BLOB, 24, -1},
};

bool parse_types(Lexer &lx, std::vector<DozColDesc> &cols)
{
    do {
        DozColDesc d{};
        bool found = false;
        if (lx.keyword("string")) {
            long n;
            if (!lx.punct('(') || !lx.integer(n) || n < 0 || n > DOZ_MAX_ELEMENTS || !lx.punct(')'))
                return false;
            d = column(DOZ_T_STRING, static_cast<int16_t>(n), -1, 0, "");
            found = true;
        }
        for (const TypeInfo &t : type_table)
            if (!found && lx.keyword(t.name)) {
                d = column(t.type, t.width, t.precision, 0, "");
                found = true;
            }
        if (!found)
            return false;
        if (lx.punct('[')) {
            bool var = lx.punct('<') && lx.punct('=');
            long n;
            if (!lx.integer(n) || n < 1 || n > DOZ_MAX_ELEMENTS || !lx.punct(']'))
                return false;
            d.count = static_cast<int32_t>(var ? -n : n);
        }
        snprintf(d.name, sizeof d.name, "C%d", static_cast<int>(cols.size()) + 1);
        cols.push_back(d);
    } while (lx.punct(','));
    DozLayout check;
    return doz_layout(cols, true, check);
}

// ---- generated values ------------------------------------------------------

void gen_element(const DozColDesc &d, int r, int c, int e, unsigned char *out)
{
    const long v = static_cast<long>(r) * 100 + c * 10 + e;
    switch (d.type) {
    case DOZ_T_LONG: {
        int32_t x = static_cast<int32_t>(v);
        memcpy(out, &x, 4);
        break;
    }
    case DOZ_T_SHORT: {
        int16_t x = static_cast<int16_t>(v % 30000);
        memcpy(out, &x, 2);
        break;
    }
    case DOZ_T_TINY: *out = static_cast<unsigned char>(v % 256); break;
    case DOZ_T_REAL: {
        double x = static_cast<double>(v) + 0.25;
        memcpy(out, &x, 8);
        break;
    }
    case DOZ_T_SREAL: {
        float x = static_cast<float>(v) + 0.5f;
        memcpy(out, &x, 4);
        break;
    }
    case DOZ_T_COMPLEX: {
        double x[2] = {static_cast<double>(v) + 0.25, -static_cast<double>(v) - 0.5};
        memcpy(out, x, 16);
        break;
    }
    case DOZ_T_DATE: {
        DozDate x{static_cast<int16_t>(1900 + v % 200), static_cast<int16_t>(1 + v % 12),
                  static_cast<int16_t>(1 + v % 28)};
        memcpy(out, &x, 6);
        break;
    }
    case DOZ_T_TIME: {
        DozTime x{static_cast<int16_t>(v % 24), static_cast<int16_t>(v % 60), static_cast<int16_t>(v / 7 % 60)};
        memcpy(out, &x, 6);
        break;
    }
    case DOZ_T_BOOL: *out = static_cast<unsigned char>(v % 2); break;
    case DOZ_T_CHAR: *out = static_cast<unsigned char>('A' + v % 26); break;
    case DOZ_T_BLOB: {
        DozBlobDesc b{};
        snprintf(b.prefix, sizeof b.prefix, "B");
        b.id1 = r + 1;
        b.id2 = c;
        b.size = static_cast<int32_t>(v);
        memcpy(out, &b, sizeof b);
        break;
    }
    default: break;
    }
}

void gen_row(const std::vector<DozColDesc> &cols, int r, unsigned char *row, const DozLayout &layout)
{
    std::vector<unsigned char> elems;
    for (size_t c = 0; c < cols.size(); c++) {
        const DozField &f = layout.fields[c];
        const int ci = static_cast<int>(c);
        if ((r + ci) % 5 == 4) {
            doz_put(row, f, nullptr, 0, false);
            continue;
        }
        if (cols[c].type == DOZ_T_STRING) {
            char text[32];
            snprintf(text, sizeof text, "r%dc%d", r, ci);
            doz_put(row, f, text, 1, true);
            continue;
        }
        int count = f.var ? (r + ci) % (f.room + 1) : f.room;
        elems.assign(static_cast<size_t>(f.elem_size) * f.room, 0);
        for (int e = 0; e < count; e++)
            gen_element(cols[c], r, ci, e, elems.data() + static_cast<size_t>(e) * f.elem_size);
        doz_put(row, f, elems.data(), count, true);
    }
}

// ---- statements ------------------------------------------------------------

void set_error(TqlOutcome *out, int32_t code) { out->code[0] = code; }

void one_row(TqlOutcome *out, std::vector<DozColDesc> cols, std::vector<std::vector<unsigned char>> values,
             std::vector<bool> present)
{
    out->has_result = true;
    out->result.columns = std::move(cols);
    auto done = std::make_shared<bool>(false);
    out->result.next_row = [done, values = std::move(values), present = std::move(present)](
                               unsigned char *row, const DozLayout &layout) {
        if (*done)
            return false;
        *done = true;
        for (size_t i = 0; i < layout.fields.size(); i++) {
            const DozField &f = layout.fields[i];
            doz_put(row, f, values[i].data(), f.type == DOZ_T_STRING ? 1 : f.room, present[i]);
        }
        return true;
    };
}

template <class T>
std::vector<unsigned char> bytes_of(T v)
{
    std::vector<unsigned char> b(sizeof v);
    memcpy(b.data(), &v, sizeof v);
    return b;
}

std::vector<unsigned char> text_bytes(const std::string &s) { return {s.c_str(), s.c_str() + s.size() + 1}; }

void run_print(Mini *m, Lexer &lx, TqlOutcome *out)
{
    std::vector<DozColDesc> cols;
    std::vector<std::vector<unsigned char>> values;
    std::vector<bool> present;
    do {
        std::string name = "%NAME" + std::to_string(cols.size() + 1), text;
        long iv;
        int fn = lx.keyword("REVISION") ? 1 : lx.keyword("SYSUSER") ? 2 : lx.keyword("DBNAME") ? 3 : 0;
        if (fn) {
            if (!lx.punct('(') || !lx.punct(')'))
                return set_error(out, TQL_E_SYNTAX);
            std::string value = fn == 1 ? "3.10" : fn == 2 ? m->session.user : "";
            cols.push_back(column(DOZ_T_STRING, 30, -1, 0, name.c_str()));
            values.push_back(text_bytes(value));
            present.push_back(true);
        } else if (lx.punct('%')) {
            std::string var = "%";
            while (isalnum(static_cast<unsigned char>(*lx.p)) || *lx.p == '_')
                var += static_cast<char>(toupper(static_cast<unsigned char>(*lx.p++)));
            const int32_t *value = nullptr;
            for (auto &v : m->vars)
                if (v.first == var)
                    value = &v.second;
            if (!value)
                return set_error(out, TQL_E_ARGUMENT);
            cols.push_back(column(DOZ_T_LONG, 11, -1, 0, var.c_str()));
            values.push_back(bytes_of<int32_t>(*value));
            present.push_back(true);
        } else if (lx.quoted(text)) {
            if (text.size() > DOZ_MAX_ELEMENTS)
                return set_error(out, TQL_E_ARGUMENT);
            int16_t len = static_cast<int16_t>(std::max<size_t>(text.size(), 1));
            cols.push_back(column(DOZ_T_STRING, len, -1, 0, name.c_str()));
            values.push_back(text_bytes(text));
            present.push_back(true);
        } else if (int tf = lx.keyword("TRUE") ? 1 : lx.keyword("FALSE") ? 2 : 0) {
            bool t = tf == 1;
            cols.push_back(column(DOZ_T_BOOL, 3, -1, 0, name.c_str()));
            values.push_back({static_cast<unsigned char>(t ? 1 : 0)});
            present.push_back(true);
        } else if (lx.keyword("NULL")) {
            cols.push_back(column(DOZ_T_LONG, 11, -1, 0, name.c_str()));
            values.push_back(bytes_of<int32_t>(0));
            present.push_back(false);
        } else {
            lx.skip();
            char *end;
            const char *start = lx.p;
            errno = 0;
            double d = strtod(start, &end);
            if (end == start || errno)
                return set_error(out, TQL_E_SYNTAX);
            std::string lit(start, static_cast<size_t>(end - start));
            bool is_int = lit.find_first_of(".eE") == std::string::npos;
            lx.p = start;
            if (is_int && lx.integer(iv) && lx.p == end && iv >= INT32_MIN && iv <= INT32_MAX) {
                cols.push_back(column(DOZ_T_LONG, 11, -1, 0, name.c_str()));
                values.push_back(bytes_of<int32_t>(static_cast<int32_t>(iv)));
            } else {
                lx.p = end;
                cols.push_back(column(DOZ_T_REAL, 14, 4, 0, name.c_str()));
                values.push_back(bytes_of<double>(d));
            }
            present.push_back(true);
        }
    } while (lx.punct(','));
    if (!lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    one_row(out, std::move(cols), std::move(values), std::move(present));
}

bool stopped(TqlHost *host) { return host && host->stop_requested && host->stop_requested(host->self); }

void test_print(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    run_print(m, lx, out);
}

void test_rows(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    long n;
    std::vector<DozColDesc> cols;
    if (!lx.integer(n) || n < 0 || !parse_types(lx, cols) || !lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    out->has_result = true;
    out->result.columns = cols;
    auto next = std::make_shared<long>(0);
    out->result.next_row = [cols, n, next](unsigned char *row, const DozLayout &layout) {
        if (*next >= n)
            return false;
        gen_row(cols, static_cast<int>((*next)++), row, layout);
        return true;
    };
    return;
}

void test_store(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    std::vector<DozColDesc> cols;
    if (!parse_types(lx, cols) || !lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    if (noeval)
        return;
    size_t size = 0;
    int rows = 0;
    const unsigned char *in = host && host->input ? host->input(host->self, &size, &rows) : nullptr;
    if (!in)
        return set_error(out, TQL_E_NO_BUFFER);
    DozLayout layout;
    doz_layout(cols, true, layout);
    if (rows < 0 || static_cast<size_t>(rows) * static_cast<size_t>(layout.row_size) > size)
        return set_error(out, TQL_E_INPUT);
    m->stored_cols = cols;
    m->stored.assign(in, in + static_cast<size_t>(rows) * layout.row_size);
    m->stored_rows = rows;
    out->rows = rows;
    return;
}

void test_fetch(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    if (!lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    out->has_result = true;
    out->result.columns = m->stored_cols;
    DozLayout from;
    doz_layout(m->stored_cols, true, from);
    auto next = std::make_shared<int>(0);
    out->result.next_row = [m, from, next](unsigned char *row, const DozLayout &layout) {
        if (*next >= m->stored_rows)
            return false;
        const unsigned char *src = m->stored.data() + static_cast<size_t>(*next) * from.row_size;
        for (size_t i = 0; i < layout.fields.size(); i++) {
            int count;
            bool present;
            const unsigned char *v = doz_get(src, from.fields[i], &count, &present);
            doz_put(row, layout.fields[i], v, from.fields[i].type == DOZ_T_STRING ? 1 : count, present);
        }
        (*next)++;
        return true;
    };
    return;
}

void test_hold(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    if (!lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    if (noeval)
        return;
    auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!stopped(host) && std::chrono::steady_clock::now() < until) {
        struct timespec ts {0, 5000000};
        nanosleep(&ts, nullptr);
    }
    if (stopped(host))
        set_error(out, TQL_E_STOPPED);
    return;
}

void test_confirm(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    std::string q;
    if (!lx.quoted(q) || !lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    int answer = noeval || !host->confirm ? 0 : host->confirm(host->self, q.c_str());
    out->fifth = answer;  // seen by the client also when the query is then stopped
    one_row(out, {column(DOZ_T_LONG, 11, -1, 0, "ANSWER")}, {bytes_of<int32_t>(answer)}, {true});
    return;
}

void test_echo(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    long a, b;
    std::string text;
    if (!lx.integer(a) || !lx.integer(b) || !lx.quoted(text) || !lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    if (!noeval && host->echo)
        host->echo(host->self, static_cast<int>(a), text.c_str(), static_cast<int>(b));
    return;
}

void test_getresp(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    std::string prompt;
    long flag;
    if (!lx.quoted(prompt) || !lx.integer(flag) || !lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    std::string resp = noeval || !host->get_response ? "" : host->get_response(host->self, prompt.c_str(),
                                                                                static_cast<int>(flag));
    one_row(out, {column(DOZ_T_STRING, 81, -1, 0, "RESPONSE")}, {text_bytes(resp)}, {true});
    return;
}

void test_fork(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    std::string command;
    long f[4];
    if (!lx.quoted(command))
        return set_error(out, TQL_E_SYNTAX);
    for (long &x : f)
        if (!lx.integer(x))
            return set_error(out, TQL_E_SYNTAX);
    if (!lx.at_end() || command.size() > 255)
        return set_error(out, TQL_E_SYNTAX);
    if (noeval)
        return;
    out->fork = true;
    out->fork_command = command;
    for (int i = 0; i < 4; i++)
        out->fork_flags[i] = static_cast<uint8_t>(f[i]);
    return;
}

void test_readblob(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    std::string src, dst;
    if (!lx.quoted(src) || !lx.quoted(dst) || !lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    if (noeval)
        return;
    DozBlobDesc b{};
    snprintf(b.prefix, sizeof b.prefix, "B");
    b.id1 = 1;
    b.id2 = 2;
    char ident[28];
    memcpy(ident, &b, sizeof ident);
    int err = 0;
    int r = host->read_blob ? host->read_blob(host->self, ident, src.c_str(), dst.c_str(), &err) : -1;
    out->fifth = err;
    one_row(out, {column(DOZ_T_LONG, 11, -1, 0, "RESULT")}, {bytes_of<int32_t>(r)}, {true});
    return;
}

void test_writeblob(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    std::string dst;
    if (!lx.quoted(dst) || !lx.at_end())
        return set_error(out, TQL_E_SYNTAX);
    if (noeval)
        return;
    size_t size = 0;
    int rows = 0;
    const unsigned char *in = host->input ? host->input(host->self, &size, &rows) : nullptr;
    DozLayout layout;
    std::vector<DozColDesc> cols = {column(DOZ_T_BLOB, 24, -1, 0, "B")};
    doz_layout(cols, true, layout);
    if (!in || size < static_cast<size_t>(layout.row_size))
        return set_error(out, TQL_E_INPUT);
    uint64_t spec;
    memcpy(&spec, in + layout.fields[0].value + 16, 8);
    int err = 0;
    int r = host->write_blob ? host->write_blob(host->self, dst.c_str(), spec, &err) : -1;
    out->fifth = err;
    one_row(out, {column(DOZ_T_LONG, 11, -1, 0, "RESULT")}, {bytes_of<int32_t>(r)}, {true});
    return;
}

void test_exit(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    out->exit_now = !noeval;
    return;
}

void test_badcode(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    out->raw_code = noeval ? 0 : 101;
    return;
}

// The test statements, by their second word.
struct TestStatement {
    const char *keyword;
    void (*run)(Mini *, Lexer &, bool, TqlHost *, TqlOutcome *);
};
const TestStatement test_statements[] = {
    {"PRINT", test_print},
    {"ROWS", test_rows},
    {"STORE", test_store},
    {"FETCH", test_fetch},
    {"HOLD", test_hold},
    {"CONFIRM", test_confirm},
    {"ECHO", test_echo},
    {"GETRESP", test_getresp},
    {"FORK", test_fork},
    {"READBLOB", test_readblob},
    {"WRITEBLOB", test_writeblob},
    {"EXIT", test_exit},
    {"BADCODE", test_badcode},
};

void run_test(Mini *m, Lexer &lx, bool noeval, TqlHost *host, TqlOutcome *out)
{
    for (const TestStatement &t : test_statements)
        if (lx.keyword(t.keyword))
            return t.run(m, lx, noeval, host, out);
    set_error(out, TQL_E_SYNTAX);
}

void *mini_open(const TqlSession *session)
{
    Mini *m = new Mini;
    m->session = *session;
    return m;
}

void mini_run(void *engine, const char *text, uint32_t modes, TqlHost *host, TqlOutcome *out)
{
    Mini *m = static_cast<Mini *>(engine);
    Lexer lx{text};
    bool noeval = modes & DOZ_M_NOEVAL;
    if (lx.keyword("PRINT")) {
        run_print(m, lx, out);
    } else if (lx.keyword("CREATE")) {
        long value;
        std::string var = "%";
        if (!lx.keyword("VAR") || !lx.punct('%'))
            return set_error(out, TQL_E_SYNTAX);
        while (isalnum(static_cast<unsigned char>(*lx.p)) || *lx.p == '_')
            var += static_cast<char>(toupper(static_cast<unsigned char>(*lx.p++)));
        if (var.size() < 2 || !lx.integer(value) || !lx.at_end())
            return set_error(out, TQL_E_SYNTAX);
        if (noeval)
            return;
        for (auto &v : m->vars)
            if (v.first == var) {
                v.second = static_cast<int32_t>(value);
                return;
            }
        m->vars.emplace_back(var, static_cast<int32_t>(value));
    }
    else if (lx.keyword("TEST")) {
        run_test(m, lx, noeval, host, out);
    } else {
        set_error(out, TQL_E_SYNTAX);
    }
}

int mini_dump(void *engine, int kind, FILE *to)
{
    Mini *m = static_cast<Mini *>(engine);
    if (kind == 4)
        return 0;  // no databases: an empty list
    return fprintf(to, "tqlserver dump %d user %s client %d\n", kind, m->session.user.c_str(),
                   m->session.client_pid) < 0
               ? -1
               : 0;
}

int mini_authorise(void *, int) { return 1; }

void mini_close(void *engine) { delete static_cast<Mini *>(engine); }

const TqlEngine mini_engine = {"mini", mini_open, mini_run, mini_dump, mini_authorise, mini_close};

}  // namespace

const TqlEngine &tql_mini_engine() { return mini_engine; }
