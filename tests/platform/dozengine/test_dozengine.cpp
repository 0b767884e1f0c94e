// The DOZ statement engine: tokens, macros, expressions and functions with
// nulls and arrays, statements, error codes and texts.

#include "dozeng.h"
#include "dozeng_int.h"
#include "vxcat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <thread>

using namespace doz;

namespace {

struct Recorder : Sink {
    int opened = 0, ended = 0;
    std::vector<Column> cols;
    std::vector<std::vector<Value>> rows;
    void columns(const std::vector<Column> &c) override
    {
        opened++;
        cols = c;
    }
    bool row(const std::vector<Value> &v) override
    {
        rows.push_back(v);
        return true;
    }
    void end() override { ended++; }
};

struct Outcome {
    Status status;
    Recorder sink;
};

Outcome run(Session &s, const std::string &text, unsigned mode = 0)
{
    Outcome o;
    o.status = s.execute(text, mode, o.sink);
    return o;
}

const char *type_name(int t)
{
    static const char *const names[] = {"STRING", "LONG",    "SHORT", "REAL", "DATE",      "TIME",
                                        "COMPLEX", "BOOL",   "CHAR",  "SHORTREAL", "BYTE", "BLOB"};
    return t >= 0 && t < TYPE_COUNT ? names[t] : "UNTYPED";
}

std::string elem_text(int t, const Elem &e)
{
    char buf[64];
    int y, m, d;
    switch (t) {
    case REAL:
    case SHORTREAL: snprintf(buf, sizeof buf, "%g", e.r); break;
    case COMPLEX: snprintf(buf, sizeof buf, "(%g,%g)", e.r, e.im); break;
    case BOOL: return e.i ? "TRUE" : "FALSE";
    case CHAR: snprintf(buf, sizeof buf, "'%c'", static_cast<char>(e.i)); break;
    case DATE:
        civil_from_days(e.i, y, m, d);
        snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
        break;
    case TIME:
        snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(e.i / 3600), static_cast<int>(e.i / 60 % 60),
                 static_cast<int>(e.i % 60));
        break;
    default: snprintf(buf, sizeof buf, "%lld", static_cast<long long>(e.i));
    }
    return buf;
}

// "LONG 5", "STRING(4) '3.10'", "REAL NULL", "LONG[2:3] {1,2,3,4,5,6}",
// "LONG[VAR 4] {1,2}".
std::string show(const Value &v)
{
    std::ostringstream o;
    o << type_name(v.type);
    if (v.type == STRING)
        o << "(" << v.len << ")";
    if (v.count > 0) {
        o << "[";
        if (v.dims.empty())
            o << v.count;
        for (size_t i = 0; i < v.dims.size(); i++)
            o << (i ? ":" : "") << v.dims[i];
        o << "]";
    } else if (v.count < 0) {
        o << "[VAR " << -v.count << "]";
    }
    if (v.null)
        return o.str() + " NULL";
    if (v.type == STRING)
        return o.str() + " '" + v.s + "'";
    if (!v.is_array())
        return o.str() + " " + elem_text(v.type, v.e.at(0));
    o << " {";
    for (size_t i = 0; i < v.e.size(); i++)
        o << (i ? "," : "") << elem_text(v.type, v.e[i]);
    o << "}";
    return o.str();
}

// The one value of "PRINT <expr>", or the query code of its failure.
std::string print(Session &s, const std::string &expr, unsigned mode = 0)
{
    Outcome o = run(s, "PRINT " + expr, mode);
    if (o.status.error)
        return "error " + std::to_string(o.status.query ? o.status.query : o.status.database);
    if (o.sink.cols.size() != 1)
        return "columns " + std::to_string(o.sink.cols.size());
    if (mode & MODE_NOEVAL)
        return o.sink.rows.empty() ? "no rows" : "rows in NOEVAL";
    if (o.sink.rows.size() != 1)
        return "rows " + std::to_string(o.sink.rows.size());
    return show(o.sink.rows[0][0]);
}

std::string tokens(const std::string &text)
{
    std::string out;
    try {
        for (const Token &t : tokenize(text)) {
            static const char *const kinds[] = {"END", "N", "#", "S", "P"};
            if (t.kind == T_END)
                break;
            out += std::string(out.empty() ? "" : " ") + kinds[t.kind] + ":" + t.text;
        }
    } catch (const Error &e) {
        return "error " + std::to_string(e.code);
    }
    return out;
}

TEST(DozTokens, Table)
{
    struct Case {
        const char *text, *expect;
    } cases[] = {
        {"print\tsysuser(),  dbname() ", "N:PRINT N:SYSUSER P:( P:) P:, N:DBNAME P:( P:)"},
        {"create var %exitstatus 3", "N:CREATE N:VAR N:%EXITSTATUS #:3"},
        {"'it''s' \"say \"\"hi\"\"\" ''", "S:it's S:say \"hi\" S:"},
        {"T.COL<=1.5E3 <> >= -0.0", "N:T P:. N:COL P:<= #:1.5E3 P:<> P:>= P:- #:0.0"},
        {"[0:0:0] 2:3 ? @ $7 A_1#%", "P:[ #:0 P:: #:0 P:: #:0 P:] #:2 P:: #:3 P:? N:@ N:$7 N:A_1#%"},
        {"%NAME12+''", "N:%NAME12 P:+ S:"},
        {"'open", "error -12"},
        {"PRINT 12AB", "error -14"},
        {"PRINT 1;2", "error -13"},
        {"PRINT \x01", "error -13"},
        {"PRINT \xc3\xa9", "error -13"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(tokens(c.text), c.expect) << c.text;
}

TEST(DozMacros, ExpansionTable)
{
    MacroMap m = {
        {"DN", "%0+STR('__________',1,9-LEN(%0))+%1"},
        {"INFO", "SYSINFO('%ROOT',DN('DB1',%0),'MAXRECS')"},
        {"@", "%TEST"},
        {"FROMVAR", "FROM %USERS WHERE %UNAME=SYSUSER()"},
        {"TWO", "ONE+ONE"},
        {"ONE", "1"},
    };
    struct Case {
        const char *text, *expect;
    } cases[] = {
        // INFO -> DN nesting, the argument kept as written (quotes included).
        {"PRINT INFO('m')", "PRINT SYSINFO('%ROOT','DB1'+STR('__________',1,9-LEN('DB1'))+'m','MAXRECS')"},
        {"PRINT MEAN(@)+MAX(@)", "PRINT MEAN(%TEST)+MAX(%TEST)"},
        {"DISPLAY X FROMVAR ", "DISPLAY X FROM %USERS WHERE %UNAME=SYSUSER() "},
        {"print two", "print 1+1"},
        // Nothing inside quoted texts, inside longer names or numbers.
        {"PRINT 'INFO @ ONE', \"ONE\", ONEX, X1E5, 1E5", "PRINT 'INFO @ ONE', \"ONE\", ONEX, X1E5, 1E5"},
        // A macro without parameters leaves a following parenthesis alone.
        {"PRINT ONE (2)", "PRINT 1 (2)"},
        // Missing arguments expand to nothing; nested parentheses and commas in quotes stay in one argument.
        {"PRINT DN('A,B', F(1,2))", "PRINT 'A,B'+STR('__________',1,9-LEN('A,B'))+F(1,2)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(expand_macros(c.text, m), c.expect) << c.text;

    MacroMap loop = {{"A", "A+1"}};
    EXPECT_THROW(
        try { expand_macros("PRINT A", loop); } catch (const Error &e) {
            EXPECT_EQ(e.code, E_MACRO_LOOP);
            throw;
        },
        Error);
    EXPECT_THROW(
        try { expand_macros("PRINT DN('a', 'b'", m); } catch (const Error &e) {
            EXPECT_EQ(e.code, E_MACRO_ARGS);
            throw;
        },
        Error);
}

// The configuration questions of the program: DN pads a database name
// with "_" to 9 characters and adds the file letter.
TEST(DozMacros, DefineUseUndefineInASession)
{
    Session s;
    EXPECT_EQ(run(s, "DEFINE DN %0+STR('__________',1,9-LEN(%0))+%1").status.error, 0);
    EXPECT_EQ(print(s, "DN('DB','r')"), "STRING(13) 'DB_______r'");
    EXPECT_EQ(print(s, "dn('ABCDEFGH','m')"), "STRING(19) 'ABCDEFGH_m'");
    EXPECT_EQ(run(s, "DEFINE INFO SYSINFO('%ROOT',DN('DB',%0),'MAXRECS')").status.error, 0);
    // SYSINFO reads the open database.
    EXPECT_EQ(print(s, "INFO('m')"), "error -104");
    EXPECT_EQ(print(s, "INFO('m')", MODE_NOEVAL), "no rows");

    // The operand of DEFINE and UNDEFINE is never expanded: redefining a
    // name, or dropping it, works on the name itself.
    EXPECT_EQ(run(s, "DEFINE X 1").status.error, 0);
    EXPECT_EQ(run(s, "define x 2").status.error, 0);
    EXPECT_EQ(print(s, "X"), "LONG 2");
    EXPECT_EQ(run(s, "DEFINE COL %FIQL").status.error, 0);
    EXPECT_EQ(*s.macro("COL"), "%FIQL");
    EXPECT_EQ(run(s, "UNDEFINE COL").status.error, 0);
    EXPECT_EQ(s.macro("COL"), nullptr);

    // "@" as a name, for statistic checks.
    EXPECT_EQ(run(s, "DEFINE @ %TEST").status.error, 0);
    EXPECT_EQ(print(s, "MEAN(@)*2", MODE_NOEVAL), "no rows");
    EXPECT_EQ(run(s, "UNDEFINE @").status.error, 0);

    // Macros outlive CLOSE.
    EXPECT_EQ(run(s, "CLOSE").status.error, 0);
    EXPECT_EQ(print(s, "X"), "LONG 2");

    struct Bad {
        const char *text;
        int code;
    } bad[] = {
        {"UNDEFINE NOSUCH", E_NO_MACRO},
        {"UNDEFINE X Y", E_SYNTAX},
        {"DEFINE", E_EARLY_END},
        {"DEFINE 'A' 1", E_BAD_MACRO_NAME},
        {"DEFINE F(A) 1", E_BAD_MACRO_NAME},
        {"DEFINE PRINT 1", E_RESERVED},
        {"DEFINE Q 'unclosed", E_OPEN_QUOTE},
    };
    for (const Bad &b : bad)
        EXPECT_EQ(run(s, b.text).status.query, b.code) << b.text;
    EXPECT_EQ(print(s, "X"), "LONG 2");
}

// Expressions and every function, with nulls and arrays.
TEST(DozExpressions, ValuesTable)
{
    Session s;
    ASSERT_EQ(run(s, "CREATE VAR A REPEAT(2,3)").status.error, 0);
    ASSERT_EQ(run(s, "CREATE VAR V SETLEN(SETMAXLEN(ARRAY(4,5,6),5),2)").status.error, 0);
    ASSERT_EQ(run(s, "CREATE VAR N").status.error, 0);
    struct Case {
        const char *expr, *expect;
    } cases[] = {
        // literals and arithmetic
        {"1+2*3", "LONG 7"},
        {"(1+2)*3", "LONG 9"},
        {"7/2", "LONG 3"},
        {"-7/2", "LONG -3"},
        {"7/2.0", "REAL 3.5"},
        {"-(-3)", "LONG 3"},
        {"2147483647", "LONG 2147483647"},
        {"3000000000", "REAL 3e+09"},
        {"'ab'+'cd'", "STRING(4) 'abcd'"},
        {"'it''s'", "STRING(4) 'it's'"},
        {"\"dq\"", "STRING(2) 'dq'"},
        {"?", "CHAR '?'"},
        {"[23:59:1]", "TIME 23:59:01"},
        {"[23:59:1]+60", "TIME 00:00:01"},
        {"[1:0:0]-[0:30:0]", "LONG 1800"},
        {"TRUE AND NULL", "BOOL NULL"},
        {"FALSE AND NULL", "BOOL FALSE"},
        {"TRUE OR NULL", "BOOL TRUE"},
        {"NOT NULL", "BOOL NULL"},
        {"NOT 1=2", "BOOL TRUE"},
        {"1<2 AND 'a'<'b' AND 2.5>=2 AND 3<>4", "BOOL TRUE"},
        {"N=1", "BOOL NULL"},
        {"N+1", "LONG NULL"},
        {"NULL", "UNTYPED NULL"},
        {"COMP(1,2)*COMP(0,1)", "COMPLEX (-2,1)"},
        {"COMP(1,2)=COMP(1.0,2.0)", "BOOL TRUE"},
        // arrays element by element
        {"A", "LONG[3] {2,2,2}"},
        {"A*2+1", "LONG[3] {5,5,5}"},
        {"A+A", "LONG[3] {4,4,4}"},
        {"A=REPEAT(2,3)", "BOOL TRUE"},
        {"V", "LONG[VAR 5] {4,5}"},
        {"V*10", "LONG[VAR 5] {40,50}"},
        {"2:3", "LONG[2] {2,3}"},
        // session functions
        {"REVISION()", "STRING(4) '3.10'"},
        {"RESULT()", "STRING(8) 'RS00'"},
        {"SYSUSER()", "STRING(30) 'BRASK'"},
        {"DBNAME()", "STRING(8) ''"},
        // conversion and text
        {"STR('abcdef',2,3)", "STRING(6) 'bcd'"},
        {"STR('abc',1,-4)", "STRING(3) ''"},
        {"STR('abc',9,1)", "STRING(3) ''"},
        {"LEN('abc')", "LONG 3"},
        {"LEN(A)", "LONG 3"},
        {"LEN(V)", "LONG 2"},
        {"LEN(N)", "LONG NULL"},
        {"VAL(' 2.5 ')", "REAL 2.5"},
        {"VAL('x2')", "REAL NULL"},
        {"VAL('0x1A')", "REAL NULL"},
        {"VAL('-1.5e2')", "REAL -150"},
        {"VAL(?+'')", "REAL NULL"},
        {"ROUND(2.5)", "LONG 3"},
        {"ROUND(-2.5)", "LONG -3"},
        {"ROUND(VAL('12'))", "LONG 12"},
        {"FLOAT(3)", "REAL 3"},
        {"FLOAT(A)", "REAL[3] {2,2,2}"},
        {"TOLONG(-2.7)", "LONG -2"},
        {"ABS(-4)", "LONG 4"},
        {"ABS(COMP(3,4))", "REAL 5"},
        {"NUM(42)", "STRING(11) '         42'"},
        {"STRTRIM(NUM(42))", "STRING(11) '42'"},
        {"STRTRIM(NUM(0.1))", "STRING(24) '0.1'"},
        {"STR(STRTRIM(NUM(-7)),1,1)", "STRING(11) '-'"},
        {"UPC('aBc')", "STRING(3) 'ABC'"},
        {"UPC('true')='TRUE'", "BOOL TRUE"},
        {"STRTODATE('2/1/24')", "DATE 2024-01-02"},
        {"STRTODATE('31/12/35')", "DATE 1935-12-31"},
        {"STRTODATE('29/2/2023')", "DATE NULL"},
        {"STRTODATE('junk')", "DATE NULL"},
        {"STRTOTIME('13:05:09')", "TIME 13:05:09"},
        {"STRTOTIME('25:00:00')", "TIME NULL"},
        {"UNIXDATE(86400*365)", "DATE 1971-01-01"},
        {"UNIXDATE(-1)", "DATE 1969-12-31"},
        {"UNIXTIME(3661)", "TIME 01:01:01"},
        {"TD(UNIXDATE(86400))", "LONG 86400"},
        {"TD([1:0:0])", "LONG 3600"},
        {"UNIXDATE(TD(STRTODATE('1/3/2000')))", "DATE 2000-03-01"},
        {"STRTODATE('1/3/2000')-STRTODATE('1/2/2000')", "LONG 29"},
        {"STRTODATE('28/2/2000')+1", "DATE 2000-02-29"},
        {"TD(STRTODATE('1/1/2040'))", "error -32"},
        // complex, control and date
        {"COMP(1.5,-2)", "COMPLEX (1.5,-2)"},
        {"RE(COMP(1.5,-2))", "REAL 1.5"},
        {"COND(TRUE,1,2.5)", "REAL 1"},
        {"COND(NULL,'Y','NO')", "STRING(2) 'NO'"},
        {"COND(1>0,COMP(1.0,1.0),COMP(0.0,0.0))", "COMPLEX (1,1)"},
        {"COND(FALSE,'Y',N)", "STRING(1) NULL"},
        // arrays
        {"REPEAT(1.5,2)", "REAL[2] {1.5,1.5}"},
        {"REPEAT(N,2)", "UNTYPED[2] NULL"},
        {"SETDIMS(REPEAT(0,6),2:3)", "LONG[2:3] {0,0,0,0,0,0}"},
        {"SETDIMS(REPEAT(0,6),ARRAY(6))", "LONG[6] {0,0,0,0,0,0}"},
        {"ARRAY(1,2,3)", "LONG[3] {1,2,3}"},
        {"SETLEN(SETMAXLEN(REPEAT(7,3),4),0)", "LONG[VAR 4] {}"},
        {"SETLEN(SETMAXLEN(REPEAT(7,3),4),4)", "LONG[VAR 4] {7,7,7,0}"},
        {"SETMAXLEN(A,2)", "LONG[VAR 2] {2,2}"},
        {"VARTOFIX(V)", "LONG[5] {4,5,0,0,0}"},
        {"FIXTOVAR(A,5)", "LONG[VAR 5] {2,2,2}"},
        {"VARTOFIX(FIXTOVAR(ARRAY(1,2,3),2))", "LONG[2] {1,2}"},
        {"ELEM(A,1)", "LONG 2"},
        {"ELEM(V,4)", "LONG NULL"},
        {"ELEM(V,6)", "error -33"},
        {"ELEM(SETDIMS(ARRAY(1,2,3,4,5,6),2:3),6)", "LONG 6"},
        {"UNIXDATE(ARRAY(0,86400))", "DATE[2] {1970-01-01,1970-01-02}"},
        {"COMP(FLOAT(A),0.0)", "COMPLEX[3] {(2,0),(2,0),(2,0)}"},
        // array statistics
        {"MEAN(ARRAY(1,2,6))", "REAL 3"},
        {"MEAN(SETLEN(V,0))", "REAL NULL"},
        {"VARC(ARRAY(1,2,3,4))", "REAL 1.66667"},
        {"VARC(ARRAY(5))", "REAL NULL"},
        {"MAX(ARRAY(3,9,2))", "LONG 9"},
        {"MIN(FLOAT(ARRAY(3,9,2)))", "REAL 2"},
        {"MAX(UNIXDATE(ARRAY(86400,0)))", "DATE 1970-01-02"},
        {"SUMARR(V)", "LONG 9"},
        {"SUMARR(REPEAT(COMP(1,1),2))", "COMPLEX (2,2)"},
        {"MEAN(%TEST)", "REAL 0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(print(s, c.expr), c.expect) << c.expr;

    // SYSDATE is today's local date.
    time_t now = time(nullptr);
    struct tm today;
    localtime_r(&now, &today);
    char want[32];
    snprintf(want, sizeof want, "DATE %04d-%02d-%02d", today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
    std::string got = print(s, "SYSDATE()");
    if (got != want) {  // midnight passed between the two readings
        now = time(nullptr);
        localtime_r(&now, &today);
        snprintf(want, sizeof want, "DATE %04d-%02d-%02d", today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
    }
    EXPECT_EQ(got, want);
}

// The type-change templates the program sends when a column changes type
// (old type by row, new type by column): each must run and give a value of
// a type the new column takes.  SHORT, SHORTREAL and BYTE values come only
// from tables, so their rows wait for storage.
TEST(DozExpressions, ColumnConversionTemplates)
{
    Session s;
    const char *targets[11] = {"STRING|CHAR", "LONG", "LONG",    "REAL", "DATE", "TIME",
                               "COMPLEX",     "BOOL", "STRING|CHAR", "REAL", "LONG"};
    struct Row {
        const char *sample;
        const char *templates[11];
    } rows[] = {
        {"'12'",
         {"%s", "ROUND(VAL(%s))", "ROUND(VAL(%s))", "VAL(%s)", "STRTODATE(%s)", "STRTOTIME(%s)", "COMP(VAL(%s),0.0)",
          "UPC(%s)='TRUE'", "STR(%s,1,1)", "VAL(%s)", "ABS(ROUND(VAL(%s)))"}},
        {"12",
         {"STRTRIM(NUM(%s))", "%s", "%s", "FLOAT(%s)", "UNIXDATE(%s)", "UNIXTIME(%s)", "COMP(FLOAT(%s),0.0)", "%s>0",
          "STR(STRTRIM(NUM(%s)),1,1)", "FLOAT(%s)", "ABS(%s)"}},
        {"-2.5",
         {"STRTRIM(NUM(%s))", "ROUND(%s)", "ROUND(%s)", "%s", "UNIXDATE(ROUND(%s))", "UNIXTIME(ROUND(%s))",
          "COMP(%s,0.0)", "%s>0.0", "STR(STRTRIM(NUM(%s)),1,1)", "%s", "ABS(ROUND(%s))"}},
        {"STRTODATE('2/1/24')",
         {"''", "TD(%s)", "TD(%s)", "FLOAT(TD(%s))", "%s", "[0:0:0]", "COMP(FLOAT(TD(%s)),0.0)", "FALSE", "?",
          "FLOAT(TD(%s))", "0"}},
        {"[1:2:3]",
         {"''", "TD(%s)", "TD(%s)", "FLOAT(TD(%s))", "SYSDATE()", "%s", "COMP(FLOAT(TD(%s)),0.0)", "FALSE", "?",
          "FLOAT(TD(%s))", "0"}},
        {"COMP(1.5,2)",
         {"STRTRIM(NUM(RE(%s)))", "ROUND(RE(%s))", "ROUND(RE(%s))", "RE(%s)", "UNIXDATE(ROUND(RE(%s)))",
          "UNIXTIME(ROUND(RE(%s)))", "%s", "RE(%s)>0.0", "STR(STRTRIM(NUM(RE(%s))),1,1)", "RE(%s)",
          "ABS(ROUND(RE(%s)))"}},
        {"TRUE",
         {"COND(%s,'TRUE','FALSE')", "COND(%s,1,0)", "COND(%s,1,0)", "COND(%s,1.0,0.0)", "SYSDATE()", "[0:0:0]",
          "COND(%s,COMP(1.0,1.0),COMP(0.0,0.0))", "%s", "COND(%s,'Y','N')", "COND(%s,1.0,0.0)", "COND(%s,1,0)"}},
        {"?",
         {"%s", "ROUND(VAL(%s+''))", "ROUND(VAL(%s+''))", "VAL(%s+'')", "SYSDATE()", "[0:0:0]",
          "COMP(VAL(%s+''),0.0)", "UPC(%s)='Y'", "%s", "VAL(%s+'')", "ROUND(VAL(%s+''))"}},
    };
    for (const Row &r : rows)
        for (int t = 0; t < 11; t++) {
            std::string expr = r.templates[t];
            for (size_t at; (at = expr.find("%s")) != std::string::npos;)
                expr.replace(at, 2, r.sample);
            std::string got = print(s, expr);
            std::string type = got.substr(0, got.find_first_of("( ["));
            std::string want = std::string("|") + targets[t] + "|";
            EXPECT_NE(want.find("|" + type + "|"), std::string::npos) << expr << " gave " << got;
        }

    // Array reshaping before and after the conversion.
    ASSERT_EQ(run(s, "CREATE VAR F SETDIMS(ARRAY(1,2,3,4,5,6),2:3)").status.error, 0);
    ASSERT_EQ(run(s, "CREATE VAR V SETLEN(SETMAXLEN(ARRAY(1,2,3),4),3)").status.error, 0);
    struct Reshape {
        const char *expr, *expect;
    } reshapes[] = {
        {"ELEM(SETDIMS(F,ARRAY(6)),1)", "LONG 1"},
        {"ELEM(VARTOFIX(V),1)", "LONG 1"},
        {"SETLEN(SETMAXLEN(REPEAT(FLOAT(7),3),3),1)", "REAL[VAR 3] {7}"},
        {"SETDIMS(REPEAT(0,4),2:2)", "LONG[2:2] {0,0,0,0}"},
        {"SETDIMS(VARTOFIX(FIXTOVAR(SETDIMS(F,ARRAY(6)),4)),2:2)", "LONG[2:2] {1,2,3,4}"},
        {"SETLEN(SETMAXLEN(FLOAT(VARTOFIX(V)),6),LEN(V))", "REAL[VAR 6] {1,2,3}"},
        {"SETMAXLEN(VARTOFIX(V),2)", "LONG[VAR 2] {1,2}"},
        {"SETLEN(SETMAXLEN(SETDIMS(REPEAT(0.0,6),2:3),2),0)", "REAL[VAR 2] {}"},
    };
    for (const Reshape &r : reshapes)
        EXPECT_EQ(print(s, r.expr), r.expect) << r.expr;
}

// Bad input gives an error code in the right slot and a text, never a crash.
TEST(DozErrors, CodesTable)
{
    Session s;
    std::string huge = "PRINT '" + std::string(MAX_STATEMENT, 'x') + "'";
    auto times = [](const std::string &piece, int n) {
        std::string out;
        for (int i = 0; i < n; i++)
            out += piece;
        return out;
    };
    struct Case {
        std::string text;
        unsigned mode;
        int query;
    } cases[] = {
        {"", 0, E_EMPTY},
        {"   \t ", 0, E_EMPTY},
        {huge, 0, E_TOO_LONG},
        {"FROB X", 0, E_SYNTAX},
        {"42", 0, E_SYNTAX},
        {"PRINT", 0, E_EARLY_END},
        {"PRINT 1 +", 0, E_EARLY_END},
        {"PRINT (1", 0, E_EARLY_END},
        {"PRINT 1 2", 0, E_SYNTAX},
        // Nesting is bounded, so no statement can exhaust the stack.
        {"PRINT " + times("(", 300) + "1" + times(")", 300), 0, E_TOO_DEEP},
        {"PRINT 1" + times("+1", 1200), 0, E_TOO_DEEP},
        {"PRINT " + times("-", 1200) + "1", 0, E_TOO_DEEP},
        {"PRINT " + times("NOT ", 1200) + "TRUE", 0, E_TOO_DEEP},
        {"PRINT " + times("ABS(", 300) + "1" + times(")", 300), 0, E_TOO_DEEP},
        {"PRINT 1" + times("+1", 700) + "+" + times("(-", 120) + "1" + times(")", 120), 0, 0},
        {"PRINT 1 AS", 0, E_EARLY_END},
        {"PRINT 1 AS FROM", 0, E_RESERVED},
        {"PRINT 1 AS ABCDEFGHIJKLM", 0, E_LONG_NAME},
        {"PRINT [24:0:0]", 0, E_BAD_TIME},
        {"PRINT [1:2]", 0, E_SYNTAX},
        {"PRINT 1/0", 0, E_DIVIDE},
        {"PRINT 1.0/0", 0, E_DIVIDE},
        {"PRINT 2147483647+1", 0, E_OVERFLOW},
        {"PRINT 'a'*2", 0, E_TYPES},
        {"PRINT 'a'+1", 0, E_TYPES},
        {"PRINT COMP(1,1)<COMP(2,2)", 0, E_TYPES},
        {"PRINT TRUE AND 1", 0, E_TYPES},
        {"PRINT REPEAT(1,2)+REPEAT(1,3)", 0, E_ARRAY_LENGTHS},
        {"PRINT REPEAT('a',2)", 0, E_NO_ARRAYS},
        {"PRINT REPEAT(1,0)", 0, E_ARGUMENT},
        {"PRINT REPEAT(1,2000000000)", 0, E_ARGUMENT},
        {"PRINT SETDIMS(REPEAT(1,6),4:2)", 0, E_DIMENSIONS},
        {"PRINT ELEM(5,1)", 0, E_NOT_ARRAY},
        {"PRINT SETLEN(SETMAXLEN(REPEAT(1,2),2),3)", 0, E_ARGUMENT},
        {"PRINT ROUND('x')", 0, E_TYPES},
        {"PRINT ROUND(1E300)", 0, E_OVERFLOW},
        {"PRINT SYSINFO('%ROOT','X','BOGUS')", 0, E_ARGUMENT},
        {"PRINT LOCATE('%ROOT')", 0, E_NO_DATABASE},
        {"PRINT NOSUCH", 0, E_UNKNOWN_NAME},
        {"PRINT T.COL", 0, E_UNKNOWN_NAME},
        {"PRINT %PASS", 0, E_SYSVAR_HIDDEN},
        // Table names and column names are checked as "PRINT name()":
        // unknown names give -76, reserved words and functions with wrong
        // arguments -85, a function that takes no arguments succeeds.
        {"PRINT EMP()", MODE_NOEVAL, E_NO_FUNCTION},
        {"PRINT %NAME3()", MODE_NOEVAL, E_NO_FUNCTION},
        {"PRINT LEN()", MODE_NOEVAL, E_UNKNOWN_NAME},
        {"PRINT DISPLAY()", MODE_NOEVAL, E_UNKNOWN_NAME},
        {"PRINT STRING()", MODE_NOEVAL, E_UNKNOWN_NAME},
        {"PRINT NULL()", MODE_NOEVAL, E_UNKNOWN_NAME},
        {"PRINT %UNIQUE()", MODE_NOEVAL, E_UNKNOWN_NAME},
        {"PRINT %TEST()", MODE_NOEVAL, E_UNKNOWN_NAME},
        {"PRINT SYSDATE()", MODE_NOEVAL, 0},
        {"PRINT RESULT()", MODE_NOEVAL, 0},
        // Expression checks in NOEVAL: values are not computed.
        {"PRINT 1/0", MODE_NOEVAL, 0},
        {"PRINT REPEAT(1,3)*2", MODE_NOEVAL, 0},
        {"PRINT SAL*2", MODE_NOEVAL, E_UNKNOWN_NAME},
        {"PRINT 'a'*2", MODE_NOEVAL, E_TYPES},
        {"PRINT 1 +", MODE_NOEVAL, E_EARLY_END},
        // system variables
        {"SET %NOSUCH 1", 0, E_NO_SYSVAR},
        {"SET %MEMSIZE 10", 0, E_SYSVAR_FIXED},
        {"SET %UNIQUE 1", 0, E_SYSVAR_VALUE},
        {"SET %UNIQUE NULL", 0, E_SYSVAR_VALUE},
        {"SET %LOCKWAIT -2", 0, E_SYSVAR_VALUE},
        {"SET %LOCKWAIT 'x'", 0, E_SYSVAR_VALUE},
        {"SET %DPRIV 'SUPER'", 0, E_SYSVAR_VALUE},
        {"SET %DATEINPUT '%q'", 0, E_SYSVAR_VALUE},
        {"SET %DATEINPUT 'ddmmyy'", 0, E_SYSVAR_VALUE},
        {"SET %PASS 'ELEVENCHARS'", 0, E_SYSVAR_VALUE},
        {"SET %UNIQUE", 0, E_EARLY_END},
        {"%PRINT %MEMSIZE", 0, E_NO_DATABASE},
        {"%PRINT %PASS", 0, E_SYSVAR_HIDDEN},
        {"%PRINT %NOSUCH", 0, E_NO_SYSVAR},
        // variables
        {"CREATE VAR %UNIQUE 1", 0, E_RESERVED},
        {"CREATE VAR PRINT 1", 0, E_RESERVED},
        {"CREATE VAR $7 1", 0, E_BAD_NAME},
        {"PRINT 1 AS @", 0, E_BAD_NAME},
        {"CREATE VAR ABCDEFGHIJKLM 1", 0, E_LONG_NAME},
        {"CREATE VAR X 1 2", 0, E_SYNTAX},
        {"DROP VAR NOSUCH", 0, E_NO_VARIABLE},
        // statements on tables and databases need an open database
        {"DISPLAY %UNAME FROM %USERS", 0, E_NO_DATABASE},
        {"OPEN DB1 ", 0, E_NO_DATABASE},
        {"CREATE ITEM N AS SHORT(2)[2,3]", 0, E_NO_DATABASE},
        {"DROP EMP", 0, E_NO_DATABASE},
        {"PRINT BLOB $7 TO '/tmp/x'", 0, E_NO_DATABASE},
        {"UNUSE EMP", 0, 0},
        {"CLOSE", 0, 0},
    };
    for (const Case &c : cases) {
        Outcome o = run(s, c.text, c.mode);
        std::string shown = c.text.substr(0, 60);
        EXPECT_EQ(o.status.query, c.query) << shown;
        EXPECT_EQ(o.status.error, c.query != 0) << shown;
        if (c.query) {
            EXPECT_FALSE(o.status.query_text.empty()) << shown;
            EXPECT_LE(o.status.query_text.size(), MAX_ERROR_TEXT) << shown;
            EXPECT_EQ(o.sink.opened, 0) << shown << ": a failed statement opens no result";
        }
    }
}

TEST(DozErrors, TextsComeFromTheKernelCatalogue)
{
    const char *build = getenv("VX_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    std::string path = std::string(build) + "/messages/SUN4SOLARIS/C/kernel.cat";
    nl_catd cd = nl_catopen(path.c_str(), 0);
    ASSERT_NE(cd, NL_NO_CATALOGUE) << path;
    SessionConfig cfg;
    cfg.catalogue = cd;
    Session s(cfg);
    Status st = run(s, "PRINT EMP()").status;
    EXPECT_EQ(st.query_text, std::string(nl_catgets(cd, 22, 1 - E_NO_FUNCTION)) + ": EMP");
    EXPECT_EQ(st.database_text, "");
    EXPECT_EQ(st.filer_text, "");
    // The texts of codes 1 and above are in set 21: the stop.
    EXPECT_STRNE(nl_catgets(cd, 21, E_STOPPED), "");
    nl_catclose(cd);
}

TEST(DozStatements, PrintColumnsAndRows)
{
    Session s;
    Outcome o = run(s, "PRINT 1, 'ab' AS TXT, REPEAT(2.5,3) AS ARR, SETMAXLEN(ARRAY(1),4)");
    ASSERT_EQ(o.status.error, 0);
    EXPECT_EQ(o.status.rows, 1);
    ASSERT_EQ(o.sink.cols.size(), 4u);
    struct Col {
        int type, width, precision, count;
        const char *name;
    } want[] = {
        {LONG, 11, -1, 0, "PRINT"}, {STRING, 2, -1, 0, "TXT"}, {REAL, 15, -1, 3, "ARR"}, {LONG, 11, -1, -4, "PRINT"}};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(o.sink.cols[i].type, want[i].type) << i;
        EXPECT_EQ(o.sink.cols[i].width, want[i].width) << i;
        EXPECT_EQ(o.sink.cols[i].precision, want[i].precision) << i;
        EXPECT_EQ(o.sink.cols[i].count, want[i].count) << i;
        EXPECT_EQ(o.sink.cols[i].name, want[i].name) << i;
    }
    ASSERT_EQ(o.sink.rows.size(), 1u);
    EXPECT_EQ(o.sink.opened, 1);
    EXPECT_EQ(o.sink.ended, 1);

    // NOEVAL: the descriptors, no rows.
    o = run(s, "PRINT sysuser(), dbname()", MODE_NOEVAL);
    ASSERT_EQ(o.status.error, 0);
    EXPECT_EQ(o.sink.opened, 1);
    EXPECT_EQ(o.sink.ended, 1);
    EXPECT_TRUE(o.sink.rows.empty());
    EXPECT_EQ(o.status.rows, 0);
    // The user is a 30-character text, so the database name follows at 31.
    ASSERT_EQ(o.sink.cols.size(), 2u);
    EXPECT_EQ(o.sink.cols[0].type, STRING);
    EXPECT_EQ(o.sink.cols[0].width, 30);
    EXPECT_EQ(o.sink.cols[1].width, 8);

    // %DISPLAY FALSE: no result set at all.
    ASSERT_EQ(run(s, "SET %DISPLAY FALSE").status.error, 0);
    o = run(s, "PRINT 1");
    EXPECT_EQ(o.status.error, 0);
    EXPECT_EQ(o.sink.opened, 0);
    ASSERT_EQ(run(s, "SET %DISPLAY TRUE").status.error, 0);

    // Statements without results open none.
    for (const char *text : {"SET %UNIQUE TRUE", "CREATE VAR X 1", "DROP VAR X", "DEFINE M 1", "UNDEFINE M"}) {
        o = run(s, text);
        EXPECT_EQ(o.status.error, 0) << text;
        EXPECT_EQ(o.sink.opened, 0) << text;
    }
}

// The start-up statements of a connection, as the program sends them.
TEST(DozStatements, StartUpAndSystemVariables)
{
    Session s;
    const char *startup[] = {
        "PRINT REVISION()",
        "SET %UNIQUE FALSE",
        "SET %LOCKWAIT -1",
        "SET %DPRIV 'read'",
        "SET %DATEINPUT '%d/%m/%Y'",
        "SET %OVERWRITE TRUE",
        "SET %WRITECHECK 0",
        "SET %NLSRADIX FALSE",
        "DEFINE FROMVAR FROM %USERS WHERE %UNAME=SYSUSER()",
        "create var %exitstatus 3",
        "SET %PASS 'BRASK'",
    };
    for (const char *text : startup)
        EXPECT_EQ(run(s, text).status.error, 0) << text;
    Outcome o = run(s, "PRINT REVISION()");
    ASSERT_EQ(o.sink.rows.size(), 1u);
    EXPECT_GE(atof(o.sink.rows[0][0].s.c_str()), 3.0);

    o = run(s, "%PRINT %UNIQUE, %LOCKWAIT, %DPRIV, %DATEINPUT, %OVERWRITE, %WRITECHECK, %NLSRADIX, %DISPLAY");
    ASSERT_EQ(o.status.error, 0);
    ASSERT_EQ(o.sink.rows.size(), 1u);
    std::string all;
    for (const Value &v : o.sink.rows[0])
        all += show(v) + "; ";
    EXPECT_EQ(all, "BOOL FALSE; LONG -1; STRING(9) 'READ'; STRING(40) '%d/%m/%Y'; BOOL TRUE; LONG 0; BOOL FALSE; "
                   "BOOL TRUE; ");
    EXPECT_EQ(o.sink.cols[0].name, "%UNIQUE");
    EXPECT_EQ(print(s, "%exitstatus"), "LONG 3");
    // The date input format reads the dates.
    EXPECT_EQ(print(s, "STRTODATE('02/01/2024')"), "DATE 2024-01-02");
    EXPECT_EQ(print(s, "STRTODATE('02/01/24')"), "DATE 2024-01-02");
    // The radix setting lets VAL and NUM use a comma.
    ASSERT_EQ(run(s, "SET %NLSRADIX TRUE").status.error, 0);
    EXPECT_EQ(print(s, "VAL('2,5')"), "REAL 2.5");
    EXPECT_EQ(print(s, "STRTRIM(NUM(2.5))"), "STRING(24) '2,5'");
    // NOEVAL changes nothing.
    ASSERT_EQ(run(s, "SET %LOCKWAIT 5", MODE_NOEVAL).status.error, 0);
    EXPECT_EQ(print(s, "%LOCKWAIT"), "LONG -1");
}

// CREATE VAR replaces an existing variable, so a TRUE never sticks.
TEST(DozStatements, VariablesAreReplacedAndDropped)
{
    Session s;
    EXPECT_EQ(run(s, "CREATE VAR %VXREREAD FALSE").status.error, 0);
    EXPECT_EQ(run(s, "CREATE VAR %VXREREAD TRUE").status.error, 0);
    EXPECT_EQ(print(s, "%VXREREAD"), "BOOL TRUE");
    EXPECT_EQ(run(s, "CREATE VAR %VXREREAD FALSE").status.error, 0);
    EXPECT_EQ(print(s, "%VXREREAD"), "BOOL FALSE");
    EXPECT_EQ(run(s, "CREATE VAR %NAME5").status.error, 0);
    EXPECT_EQ(print(s, "%NAME5"), "UNTYPED NULL");
    EXPECT_EQ(run(s, "CREATE VAR V 'O''BRIEN'").status.error, 0);
    EXPECT_EQ(print(s, "V"), "STRING(7) 'O'BRIEN'");
    EXPECT_EQ(run(s, "CREATE VAR W V+'!'").status.error, 0);
    EXPECT_EQ(print(s, "W"), "STRING(8) 'O'BRIEN!'");
    EXPECT_EQ(run(s, "CREATE VAR Q 1", MODE_NOEVAL).status.error, 0);
    EXPECT_EQ(print(s, "Q"), "error -85");
    EXPECT_EQ(run(s, "DROP VAR %NAME5").status.error, 0);
    EXPECT_EQ(print(s, "%NAME5"), "error -85");
    EXPECT_EQ(run(s, "drop var v").status.error, 0);
    EXPECT_EQ(print(s, "W"), "STRING(8) 'O'BRIEN!'");
}

// A long evaluation ends with query code 7 when the client stops it.
TEST(DozStatements, StopEndsAStatementWithCode7)
{
    Session s;
    std::string e = "REPEAT(1,30000)";
    for (int i = 0; i < 100; i++)
        e = "ROUND(FLOAT(" + e + "))";
    std::string stmt = "PRINT SUMARR(" + e + ")";
    ASSERT_LE(stmt.size(), MAX_STATEMENT);
    std::atomic<bool> done{false};
    Status st;
    std::thread worker([&] {
        NullSink sink;
        st = s.execute(stmt, 0, sink);
        done = true;
    });
    while (!done) {
        s.stop();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(st.error, 1);
    EXPECT_EQ(st.query, E_STOPPED);
    // The next statement runs normally.
    EXPECT_EQ(print(s, "1"), "LONG 1");
}

}  // namespace
