// Errors, tokens, reserved words and macro expansion.

#include "dozeng_int.h"
#include "dozeng_msgs.h"

#include <algorithm>
#include <cstring>
#include <cctype>
#include <set>

namespace doz {

void fail(int code, std::string_view detail) { throw Error{QUERY_CODE, code, std::string(detail)}; }
void fail_db(int code, std::string_view detail) { throw Error{DATABASE_CODE, code, std::string(detail)}; }

namespace {

struct CodeText {
    Slot slot;
    int code;
    const VxMsg<> *msg;
};

const CodeText code_texts[] = {
    {QUERY_CODE, E_STOPPED, &DZE_STOPPED},
    {QUERY_CODE, E_TOO_LONG, &DZE_TOO_LONG},
    {QUERY_CODE, E_SYNTAX, &DZE_SYNTAX},
    {QUERY_CODE, E_EARLY_END, &DZE_EARLY_END},
    {QUERY_CODE, E_OPEN_QUOTE, &DZE_OPEN_QUOTE},
    {QUERY_CODE, E_BAD_CHARACTER, &DZE_BAD_CHARACTER},
    {QUERY_CODE, E_BAD_NUMBER, &DZE_BAD_NUMBER},
    {QUERY_CODE, E_BAD_TIME, &DZE_BAD_TIME},
    {QUERY_CODE, E_LONG_NAME, &DZE_LONG_NAME},
    {QUERY_CODE, E_MACRO_LOOP, &DZE_MACRO_LOOP},
    {QUERY_CODE, E_MACRO_ARGS, &DZE_MACRO_ARGS},
    {QUERY_CODE, E_NO_MACRO, &DZE_NO_MACRO},
    {QUERY_CODE, E_BAD_MACRO_NAME, &DZE_BAD_MACRO_NAME},
    {QUERY_CODE, E_EMPTY, &DZE_EMPTY},
    {QUERY_CODE, E_TOO_DEEP, &DZE_TOO_DEEP},
    {QUERY_CODE, E_TYPES, &DZE_TYPES},
    {QUERY_CODE, E_DIVIDE, &DZE_DIVIDE},
    {QUERY_CODE, E_OVERFLOW, &DZE_OVERFLOW},
    {QUERY_CODE, E_ARGUMENT, &DZE_ARGUMENT},
    {QUERY_CODE, E_ARRAY_LENGTHS, &DZE_ARRAY_LENGTHS},
    {QUERY_CODE, E_NOT_ARRAY, &DZE_NOT_ARRAY},
    {QUERY_CODE, E_NO_ARRAYS, &DZE_NO_ARRAYS},
    {QUERY_CODE, E_DIMENSIONS, &DZE_DIMENSIONS},
    {QUERY_CODE, E_BAD_DATE, &DZE_BAD_DATE},
    {QUERY_CODE, E_NO_SYSVAR, &DZE_NO_SYSVAR},
    {QUERY_CODE, E_SYSVAR_FIXED, &DZE_SYSVAR_FIXED},
    {QUERY_CODE, E_SYSVAR_HIDDEN, &DZE_SYSVAR_HIDDEN},
    {QUERY_CODE, E_SYSVAR_VALUE, &DZE_SYSVAR_VALUE},
    {QUERY_CODE, E_NO_VARIABLE, &DZE_NO_VARIABLE},
    {QUERY_CODE, E_RESERVED, &DZE_RESERVED},
    {QUERY_CODE, E_BAD_NAME, &DZE_BAD_NAME},
    {QUERY_CODE, E_NO_FUNCTION, &DZE_NO_FUNCTION},
    {QUERY_CODE, E_UNKNOWN_NAME, &DZE_UNKNOWN_NAME},
    {QUERY_CODE, E_NO_DATABASE, &DZE_NO_DATABASE},
    {DATABASE_CODE, 4, &DZE_DB_UNKNOWN_ITEM},
    {DATABASE_CODE, 7, &DZE_DB_END},
    {DATABASE_CODE, 8, &DZE_DB_START},
    {DATABASE_CODE, 9, &DZE_DB_NO_MATCH},
    {DATABASE_CODE, 21, &DZE_DB_NO_CURRENT},
    {DATABASE_CODE, 82, &DZE_DB_ITEM_EXISTS},
    {DATABASE_CODE, 107, &DZE_DB_UNKNOWN_SORT},
    {FILER_CODE, 25, &DZE_FILER_CONFIGURE},
    {DATABASE_CODE, 120, &DZE_DB_DB_EXISTS},
    {DATABASE_CODE, 121, &DZE_DB_NO_DATABASE_FILE},
    {DATABASE_CODE, 122, &DZE_DB_DB_IN_USE},
    {DATABASE_CODE, 123, &DZE_DB_DB_EXCLUSIVE},
    {DATABASE_CODE, 124, &DZE_DB_BAD_LOGIN},
    {DATABASE_CODE, 125, &DZE_DB_BAD_DB_NAME},
    {DATABASE_CODE, 126, &DZE_DB_BAD_LOCATION},
    {DATABASE_CODE, 127, &DZE_DB_NO_TABLE},
    {DATABASE_CODE, 128, &DZE_DB_TABLE_EXISTS},
    {DATABASE_CODE, 129, &DZE_DB_BAD_TABLE_NAME},
    {DATABASE_CODE, 131, &DZE_DB_BAD_ITEM},
    {DATABASE_CODE, 133, &DZE_DB_BAD_COLUMNS},
    {DATABASE_CODE, 134, &DZE_DB_BAD_VALUE},
    {DATABASE_CODE, 135, &DZE_DB_NULL_NOT_ALLOWED},
    {DATABASE_CODE, 136, &DZE_DB_DUPLICATE_KEY},
    {DATABASE_CODE, 137, &DZE_DB_TABLE_FULL},
    {DATABASE_CODE, 138, &DZE_DB_TABLE_IN_USE},
    {DATABASE_CODE, 139, &DZE_DB_SYSTEM_TABLE},
    {DATABASE_CODE, 140, &DZE_DB_NO_USER},
    {DATABASE_CODE, 141, &DZE_DB_USER_EXISTS},
    {DATABASE_CODE, 142, &DZE_DB_NO_ROW},
    {DATABASE_CODE, 144, &DZE_DB_NO_INDEX},
    {DATABASE_CODE, 146, &DZE_DB_BAD_SETTING},
    {DATABASE_CODE, 147, &DZE_DB_TRANSACTION},
    {DATABASE_CODE, 148, &DZE_DB_NOT_A_DATABASE},
    {DATABASE_CODE, 150, &DZE_DB_BUFFER_FULL},
    {DATABASE_CODE, 151, &DZE_DB_NOT_ALLOWED},
    {DATABASE_CODE, 152, &DZE_DB_BAD_INPUT},
    {DATABASE_CODE, 153, &DZE_DB_NO_BLOB},
    {DATABASE_CODE, 154, &DZE_DB_BLOB_REFUSED},
    {FILER_CODE, 1, &DZE_FILER_FAILURE},
    {FILER_CODE, 2, &DZE_FILER_FULL},
    {FILER_CODE, 3, &DZE_FILER_BUSY},
    {FILER_CODE, 4, &DZE_FILER_LOST},
    {FILER_CODE, 5, &DZE_FILER_DAMAGED},
};

}  // namespace

std::string error_text(nl_catd cd, Slot slot, int code, const std::string &detail)
{
    std::string text;
    for (const CodeText &c : code_texts)
        if (c.slot == slot && c.code == code)
            text = vx_msg(cd, *c.msg);
    if (!detail.empty()) {
        // The detail is a piece of the statement: keep it printable.
        std::string d;
        for (char ch : detail)
            d += (static_cast<unsigned char>(ch) < 32 || static_cast<unsigned char>(ch) > 126) ? '?' : ch;
        text += text.empty() ? d : ": " + d;
    }
    if (text.size() > MAX_ERROR_TEXT)
        text.resize(MAX_ERROR_TEXT);
    return text;
}

std::string upper(std::string_view s)
{
    std::string u(s);
    for (char &c : u)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return u;
}

bool name_start(char c) { return isalpha(static_cast<unsigned char>(c)) || c == '%'; }
bool name_char(char c)
{
    return isalnum(static_cast<unsigned char>(c)) || c == '%' || c == '#' || c == '_';
}

bool is_reserved(std::string_view w)
{
    static const std::set<std::string, std::less<>> words = {
        // statements and clauses
        "PRINT", "DISPLAY", "SELECT", "COLLECT", "GROUP", "FROM", "WHERE", "JOIN", "SEQUENCE", "BY", "TO", "AS",
        "CREATE", "DROP", "DEFINE", "UNDEFINE", "SET", "VAR", "ITEM", "INDEX", "USER", "DATABASE", "COLUMN",
        "OPEN", "CLOSE", "EXCLUSIVE", "FORCED", "ON", "FETCH", "FIRST", "LAST", "NEXT", "PREVIOUS", "CURRENT",
        "WRITE", "UPDATE", "DELETE", "CLEAR", "RENAME", "ALIAS", "CONFIGURE", "FIXED", "EXTENSIBLE", "GRANT",
        "WITH", "USE", "UNUSE", "CLASS", "PRIMARY", "UNIQUE", "NOUPDATE", "ASC", "DESC", "NATIVE",
        // operators and literals
        "AND", "OR", "NOT", "NULL", "TRUE", "FALSE",
        // aggregate words
        "AVERAGE", "VARIANCE", "MAXIMUM", "MINIMUM", "COUNT", "TOTAL",
        // types
        "STRING", "LONG", "SHORT", "REAL", "DATE", "TIME", "COMPLEX", "BOOL", "CHAR", "SHORTREAL", "BYTE",
        "BLOB",
        // privilege levels, access, memory modes, file structures
        "NONE", "READ", "APPEND", "LOCK", "ADMIN", "OWNERSHIP", "DEFAULT", "DBA", "NOCACHED", "CACHED",
        "MEMORY", "SLOTTED", "CHAINED", "SIMPLE", "VARCHAINED"};
    return words.count(w) != 0;
}

std::vector<Token> tokenize(std::string_view text)
{
    std::vector<Token> out;
    size_t i = 0, n = text.size();
    while (true) {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
            i++;
        Token t;
        t.pos = i;
        if (i >= n) {
            out.push_back(t);
            return out;
        }
        char c = text[i];
        if (name_start(c)) {
            size_t s = i;
            while (i < n && name_char(text[i]))
                i++;
            t.kind = T_NAME;
            t.text = upper(text.substr(s, i - s));
        } else if (c == '$' && i + 1 < n && name_char(text[i + 1])) {
            // A blob name such as $7.
            size_t s = i++;
            while (i < n && name_char(text[i]))
                i++;
            t.kind = T_NAME;
            t.text = upper(text.substr(s, i - s));
        } else if (c == '@') {
            t.kind = T_NAME;
            t.text = "@";
            i++;
        } else if (isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < n && isdigit(static_cast<unsigned char>(text[i + 1])))) {
            size_t s = i;
            bool integer = true;
            while (i < n && isdigit(static_cast<unsigned char>(text[i])))
                i++;
            if (i < n && text[i] == '.') {
                integer = false;
                i++;
                while (i < n && isdigit(static_cast<unsigned char>(text[i])))
                    i++;
            }
            if (i < n && (text[i] == 'E' || text[i] == 'e')) {
                size_t e = i + 1;
                if (e < n && (text[e] == '+' || text[e] == '-'))
                    e++;
                if (e < n && isdigit(static_cast<unsigned char>(text[e]))) {
                    integer = false;
                    i = e;
                    while (i < n && isdigit(static_cast<unsigned char>(text[i])))
                        i++;
                }
            }
            if (i < n && (name_char(text[i]) || text[i] == '.'))
                fail(E_BAD_NUMBER, text.substr(s, std::min<size_t>(i + 1 - s, 20)));
            t.kind = T_NUMBER;
            t.integer = integer;
            t.text = std::string(text.substr(s, i - s));
        } else if (c == '\'' || c == '"') {
            // A doubled quote inside the text stands for one quote.
            i++;
            t.kind = T_STRING;
            while (true) {
                if (i >= n)
                    fail(E_OPEN_QUOTE);
                if (text[i] == c) {
                    if (i + 1 < n && text[i + 1] == c) {
                        t.text += c;
                        i += 2;
                        continue;
                    }
                    i++;
                    break;
                }
                t.text += text[i++];
            }
            if (t.text.size() > static_cast<size_t>(MAX_STRING))
                fail(E_OVERFLOW, "text longer than 4096 characters");
        } else {
            static const char *const two[] = {"<>", "<=", ">="};
            t.kind = T_PUNCT;
            for (const char *p : two)
                if (text.substr(i, 2) == p)
                    t.text = p;
            if (t.text.empty()) {
                if (!strchr("()[],:+-*/=<>?.", c) || c == '\0')
                    fail(E_BAD_CHARACTER, std::string(1, c));
                t.text = std::string(1, c);
            }
            i += t.text.size();
        }
        out.push_back(std::move(t));
    }
}

// ---- macros ----------------------------------------------------------------

namespace {

inline constexpr size_t MAX_EXPANDED = 65536;
inline constexpr int MAX_PASSES = 64;

// Skips a quoted text starting at i (a quote); returns the index after it.
size_t skip_quoted(std::string_view t, size_t i)
{
    char q = t[i++];
    while (i < t.size()) {
        if (t[i] == q) {
            if (i + 1 < t.size() && t[i + 1] == q) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        i++;
    }
    return i;  // unterminated: the tokenizer reports it
}

bool has_parameters(std::string_view body)
{
    for (size_t i = 0; i < body.size();) {
        char c = body[i];
        if (c == '\'' || c == '"') {
            i = skip_quoted(body, i);
        } else if (name_start(c)) {
            size_t s = i;
            while (i < body.size() && name_char(body[i]))
                i++;
            if (i - s == 2 && body[s] == '%' && isdigit(static_cast<unsigned char>(body[s + 1])))
                return true;
        } else {
            i++;
        }
    }
    return false;
}

std::string trim(std::string_view s)
{
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string_view::npos ? std::string() : std::string(s.substr(a, b - a + 1));
}

std::string substitute(std::string_view body, const std::vector<std::string> &args)
{
    std::string out;
    for (size_t i = 0; i < body.size();) {
        char c = body[i];
        if (c == '\'' || c == '"') {
            size_t e = skip_quoted(body, i);
            out.append(body.substr(i, e - i));
            i = e;
        } else if (name_start(c)) {
            size_t s = i;
            while (i < body.size() && name_char(body[i]))
                i++;
            if (i - s == 2 && body[s] == '%' && isdigit(static_cast<unsigned char>(body[s + 1]))) {
                size_t k = static_cast<size_t>(body[s + 1] - '0');
                if (k < args.size())
                    out += args[k];
            } else {
                out.append(body.substr(s, i - s));
            }
        } else {
            out += c;
            i++;
        }
    }
    return out;
}

// One pass over the text; true when something was replaced.
bool expand_once(std::string_view text, const MacroMap &macros, std::string &out)
{
    bool changed = false;
    out.clear();
    size_t i = 0, n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '\'' || c == '"') {
            size_t e = skip_quoted(text, i);
            out.append(text.substr(i, e - i));
            i = e;
            continue;
        }
        if (isdigit(static_cast<unsigned char>(c))) {
            // A number (with an exponent letter) is no name.
            while (i < n && (name_char(text[i]) || text[i] == '.'))
                out += text[i++];
            continue;
        }
        if (!name_start(c) && c != '@') {
            out += c;
            i++;
            continue;
        }
        size_t s = i;
        if (c == '@')
            i++;
        else
            while (i < n && name_char(text[i]))
                i++;
        std::string word = upper(text.substr(s, i - s));
        auto m = macros.find(word);
        if (m == macros.end()) {
            out.append(text.substr(s, i - s));
            continue;
        }
        changed = true;
        size_t p = i;
        while (p < n && (text[p] == ' ' || text[p] == '\t'))
            p++;
        if (p < n && text[p] == '(' && has_parameters(m->second)) {
            std::vector<std::string> args;
            size_t depth = 0, a = p + 1, q = p + 1;
            bool closed = false;
            while (q < n) {
                char d = text[q];
                if (d == '\'' || d == '"') {
                    q = skip_quoted(text, q);
                    continue;
                }
                if (d == '(')
                    depth++;
                else if (d == ')') {
                    if (depth == 0) {
                        args.push_back(trim(text.substr(a, q - a)));
                        closed = true;
                        break;
                    }
                    depth--;
                } else if (d == ',' && depth == 0) {
                    args.push_back(trim(text.substr(a, q - a)));
                    a = q + 1;
                }
                q++;
            }
            if (!closed)
                fail(E_MACRO_ARGS, word);
            out += substitute(m->second, args);
            i = q + 1;
        } else {
            out += m->second;
        }
        if (out.size() > MAX_EXPANDED)
            fail(E_MACRO_LOOP, word);
    }
    return changed;
}

}  // namespace

std::string expand_macros(std::string_view text, const MacroMap &macros)
{
    std::string cur(text), next;
    if (macros.empty())
        return cur;
    for (int pass = 0; pass < MAX_PASSES; pass++) {
        if (!expand_once(cur, macros, next) || next == cur)
            return next;
        cur.swap(next);
    }
    fail(E_MACRO_LOOP);
}

// ---- cursor ----------------------------------------------------------------

const Token &Cursor::peek(size_t ahead) const
{
    size_t i = std::min(at + ahead, toks.size() - 1);
    return toks[i];
}

bool Cursor::is_word(std::string_view w, size_t ahead) const
{
    const Token &t = peek(ahead);
    return t.kind == T_NAME && t.text == w;
}

bool Cursor::is_punct(std::string_view p, size_t ahead) const
{
    const Token &t = peek(ahead);
    return t.kind == T_PUNCT && t.text == p;
}

bool Cursor::accept_word(std::string_view w)
{
    if (!is_word(w))
        return false;
    at++;
    return true;
}

bool Cursor::accept_punct(std::string_view p)
{
    if (!is_punct(p))
        return false;
    at++;
    return true;
}

void Cursor::expect_word(std::string_view w)
{
    if (!accept_word(w))
        syntax();
}

void Cursor::expect_punct(std::string_view p)
{
    if (!accept_punct(p))
        syntax();
}

void Cursor::expect_end()
{
    if (!end())
        syntax();
}

std::string Cursor::name()
{
    if (peek().kind != T_NAME)
        syntax();
    return toks[at++].text;
}

void Cursor::syntax() const
{
    const Token &t = peek();
    if (t.kind == T_END)
        fail(E_EARLY_END);
    std::string shown = t.kind == T_STRING ? "'" + t.text + "'" : t.text;
    fail(E_SYNTAX, shown.substr(0, 40));
}

}  // namespace doz
