// Inner parts of the statement engine: errors, tokens, macros, the
// expression tree and the function table.
#pragma once

#include "dozeng.h"
#include "vxmsg.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace doz {

// Which status word an error code belongs to.
enum Slot { QUERY_CODE, DATABASE_CODE, FILER_CODE };

// Query codes of the language core (negative codes are ours; the
// catalogue holds their texts in set 22 under 1 - code).
enum Code : int {
    E_STOPPED = 7,
    E_TOO_LONG = -1,
    E_SYNTAX = -10,
    E_EARLY_END = -11,
    E_OPEN_QUOTE = -12,
    E_BAD_CHARACTER = -13,
    E_BAD_NUMBER = -14,
    E_BAD_TIME = -15,
    E_LONG_NAME = -16,
    E_MACRO_LOOP = -17,
    E_MACRO_ARGS = -18,
    E_NO_MACRO = -19,
    E_BAD_MACRO_NAME = -20,
    E_EMPTY = -21,
    E_TOO_DEEP = -22,
    E_TYPES = -30,
    E_DIVIDE = -31,
    E_OVERFLOW = -32,
    E_ARGUMENT = -33,
    E_ARRAY_LENGTHS = -34,
    E_NOT_ARRAY = -35,
    E_NO_ARRAYS = -36,
    E_DIMENSIONS = -37,
    E_BAD_DATE = -39,
    E_NO_SYSVAR = -50,
    E_SYSVAR_FIXED = -51,
    E_SYSVAR_HIDDEN = -52,
    E_SYSVAR_VALUE = -53,
    E_NO_VARIABLE = -54,
    E_RESERVED = -55,
    E_BAD_NAME = -56,
    E_NO_FUNCTION = -76,
    E_UNKNOWN_NAME = -85,
    E_NO_DATABASE = -104,
};

struct Error {
    Slot slot;
    int code;
    std::string detail;  // the word or name concerned, or empty
};

[[noreturn]] void fail(int code, std::string_view detail = {});
[[noreturn]] void fail_db(int code, std::string_view detail = {});
// The catalogue text of a code in its slot, with the detail appended.
std::string error_text(nl_catd cd, Slot slot, int code, const std::string &detail);

// ---- tokens -------------------------------------------------------------

enum TokKind { T_END, T_NAME, T_NUMBER, T_STRING, T_PUNCT };

struct Token {
    TokKind kind = T_END;
    std::string text;  // NAME: upper-cased; PUNCT: the operator; NUMBER: as written; STRING: the value
    bool integer = false;  // NUMBER without fraction or exponent
    size_t pos = 0;        // offset in the (expanded) statement
};

bool name_start(char c);
bool name_char(char c);
std::vector<Token> tokenize(std::string_view text);
std::string upper(std::string_view s);
bool is_reserved(std::string_view upper_word);

// ---- macros -------------------------------------------------------------

using MacroMap = std::map<std::string, std::string, std::less<>>;
// Replaces macro names outside quoted texts by their bodies, arguments
// %0..%9 by the call's argument texts, until nothing changes.
std::string expand_macros(std::string_view text, const MacroMap &macros);

// ---- system variables ----------------------------------------------------

struct SysVar {
    const char *name;
    int type;       // BOOL, LONG or STRING
    int len;        // STRING: declared length
    bool settable;  // by SET
    bool printable;
    bool database;  // a database parameter (needs an open database)
    bool (*valid)(const Value &v);
};
const SysVar *find_sysvar(std::string_view upper_name);
const std::vector<SysVar> &sysvars();

// ---- session state -------------------------------------------------------


struct SessionState {
    SessionConfig config;
    MacroMap macros;
    std::map<std::string, Value, std::less<>> variables;
    std::map<std::string, Value, std::less<>> system;  // settable system variables
    std::string password;  // the session password (SET %PASS, never printed)
    std::string dbname;    // the open database, "" when none
    bool password_given = false;  // SET %PASS was sent
    unsigned mode = 0;     // the running statement's mode word
    std::shared_ptr<void> db;  // the database layer's own state
    int (*confirm)(void *ctx, const char *question) = nullptr;
    void *confirm_ctx = nullptr;
    std::atomic<bool> *stop = nullptr;
    bool (*stop_probe)(void *ctx) = nullptr;
    void *stop_ctx = nullptr;
    InputFn input = nullptr;  // the rows the client packed (WRITE, UPDATE CURRENT)
    void *input_ctx = nullptr;
};

// ---- expressions ------------------------------------------------------

struct Node {
    enum Kind { LITERAL, NAME, CALL, UNARY, BINARY } kind = LITERAL;
    Value literal;
    std::string name;  // NAME and CALL: upper-cased; UNARY and BINARY: the operator
    std::vector<std::unique_ptr<Node>> kids;
    size_t pos = 0;
    int slot = -1;  // NAME: the column of the current row it reads, -1 none
    int depth = 1;  // of the tree below and including this node
};
using NodeP = std::unique_ptr<Node>;

// Reads tokens from a statement; the statements and the expression parser
// share it.
struct Cursor {
    std::vector<Token> toks;
    std::string text;  // the (expanded) statement the tokens were read from
    size_t at = 0;
    int nesting = 0;  // of the expression parser's recursion

    const Token &peek(size_t ahead = 0) const;
    bool end() const { return peek().kind == T_END; }
    bool is_word(std::string_view w, size_t ahead = 0) const;
    bool is_punct(std::string_view p, size_t ahead = 0) const;
    bool accept_word(std::string_view w);
    bool accept_punct(std::string_view p);
    void expect_word(std::string_view w);
    void expect_punct(std::string_view p);
    void expect_end();
    std::string name();  // a name token, upper-cased
    [[noreturn]] void syntax() const;
};

// Expressions nest at most this deep, so that neither the parser nor the
// evaluator can run out of stack: MAX_NESTING levels of parentheses,
// calls, signs and NOTs, and trees (chains of operators) MAX_DEPTH deep.
inline constexpr int MAX_NESTING = 256;
inline constexpr int MAX_DEPTH = 1000;

NodeP parse_expression(Cursor &c);

struct EvalCtx {
    SessionState &st;
    bool noeval;
    const std::vector<Value> *row = nullptr;  // the row NAME slots read
    void check_stop() const;
};
Value evaluate(const Node &n, EvalCtx &ctx);
// How comparisons order two elements of the given types: -1, 0 or 1; 2
// when they are unordered but different.
int compare_elems(int ta, const Elem &a, int tb, const Elem &b);

// ---- functions ----------------------------------------------------------

using EvalFn = Value (*)(EvalCtx &ctx, std::vector<Value> &args);
// Validates the argument templates and gives the result template (a null
// value of the result's type and shape).
using CheckFn = Value (*)(std::vector<Value> &args);

struct FuncDef {
    const char *name;
    int min_args, max_args;
    unsigned flags;
    CheckFn check;
    EvalFn eval;
};
inline constexpr unsigned F_ELEMENTWISE = 1;  // applied to each element of an array first argument
inline constexpr unsigned F_NULLS = 2;        // eval sees null arguments (else a null argument gives null)

const FuncDef *find_function(std::string_view upper_name);

// ---- the database layer ---------------------------------------------------

// Statements on databases and tables, offered every statement before the
// language core; run() answers false for a statement it does not take.
struct DbLayer {
    bool (*run)(SessionState &st, Cursor &c, Sink &sink, unsigned mode, Status &status);
    Value (*locate)(SessionState &st, const std::string &what);
    int64_t (*sysinfo)(SessionState &st, const std::string &location, const std::string &file,
                       const std::string &what);
    Value (*parameter)(SessionState &st, const std::string &name);  // %MEMSIZE ...
    void (*set_password)(SessionState &st, const std::string &password);
};

// ---- helpers shared by operators and functions ---------------------------

bool is_integer(int t);
bool is_float(int t);
bool is_numeric(int t);  // integer, float or complex
bool is_text(int t);     // STRING or CHAR
bool has_arrays(int t);
double as_double(const Value &v, size_t i = 0);
int64_t as_int(const Value &v, size_t i = 0);
std::string as_text(const Value &v);
// Checks an integer against a type's range.
int64_t fit_integer(int64_t v, int type);
double fit_real(double v, int type);
Value element(const Value &v, size_t i);  // one element as a single value
// A value of v's shape holding elements of type t.
Value shaped_like(const Value &v, int type);
Value clamp_string(std::string s, int declared);
int print_width(int type);
Column describe(const Value &v, const std::string &name);

}  // namespace doz
