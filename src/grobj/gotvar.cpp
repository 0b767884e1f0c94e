// Text variables: expansion of bracketed expressions, their evaluation by
// the query interpreter, and the per-graph cache and named values.

#include "gotvar.h"

#include "dozrow.h"
#include "dozvalue.h"
#include "dsput.h"
#include "qymgr.h"
#include "vxdate.h"
#include "vxutil.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <list>
#include <locale.h>
#include <string>
#include <vector>

namespace {

struct Entry {
    GoGraph *graph;
    std::string expression;  // trimmed, upper case
    std::string value;       // as the interpreter printed it, trimmed
    double number;
    int valid;               // the number is valid
    int key;                 // 1: obtained through TD
};

std::list<Entry> cache;   // newest first
std::list<Entry> named;

int waiting = 0;
int nested = 0;
int last_key = 0;

// State of the running evaluation.
int cannot_query = 0;
int wrong_type = 0;
int date_time = 0;  // 0, or the column type DATE or TIME of the value
double number = 0;
std::string value_text;
bool have_text = false;

std::string normalised(const char *text)
{
    std::string t(text ? text : "");
    const size_t b = t.find_first_not_of(' ');
    if (b == std::string::npos)
        return "";
    t = t.substr(b, t.find_last_not_of(' ') - b + 1);
    std::vector<char> up(t.size() + 1);
    caps(up.data(), t.c_str());
    return up.data();
}

std::string trimmed(const char *text)
{
    std::string t(text ? text : "");
    const size_t b = t.find_first_not_of(" \t\n");
    if (b == std::string::npos)
        return "";
    return t.substr(b, t.find_last_not_of(" \t\n") - b + 1);
}

bool parse_real(const std::string &text, double *out)
{
    locale_t c = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    locale_t previous = c ? uselocale(c) : nullptr;
    char *end = nullptr;
    const double v = strtod(text.c_str(), &end);
    const bool ok = end && end != text.c_str() && trimmed(end).empty();
    if (c) {
        uselocale(previous);
        freelocale(c);
    }
    if (ok)
        *out = v;
    return ok;
}

Entry *find(std::list<Entry> &list, GoGraph *graph, const std::string &expression, int key)
{
    for (Entry &e : list)
        if (e.graph == graph && e.key == key && e.expression == expression)
            return &e;
    return nullptr;
}

int error_filter(int code, int, int)
{
    if (code == -100 || code == -104) {
        cannot_query = 1;
        return 0;
    }
    return 1;
}

// The first value of the first column of a result buffer, with its
// descriptor; null when the buffer holds none.
const void *first_value(int rows, DozReader &buffer, DozColDesc *desc, int *count)
{
    *count = 0;
    if (rows <= 0 || !buffer.buffhandle)
        return nullptr;
    int had_table = 0;
    if (empty_buffer(buffer) || prepare_buffer(buffer, &had_table) != 0 || tinfo_table(buffer).empty())
        return nullptr;
    *desc = tinfo_table(buffer)[0];
    if (desc->type == DOZ_T_END)
        return nullptr;
    return extract(buffer, *desc, count);
}

std::string printed(const void *value, const DozColDesc &d)
{
    // In the column's own width and decimals, as the interpreter would show it.
    const bool real = d.type == DOZ_T_REAL || d.type == DOZ_T_SREAL || d.type == DOZ_T_COMPLEX;
    const int precision = real ? d.precision : -1;
    const int width = d.type == DOZ_T_BLOB ? 24 : std::max<int>(d.width, 1);
    if ((d.type == DOZ_T_REAL || d.type == DOZ_T_SREAL) && precision < 0) {
        // No decimals given: the shortest text of the number.
        double x;
        if (d.type == DOZ_T_REAL) {
            memcpy(&x, value, 8);
        } else {
            float f;
            memcpy(&f, value, 4);
            x = f;
        }
        char text[64];
        snprintf(text, sizeof text, "%.10g", x);
        return text;
    }
    return trimmed(dsprint_ds_sprint(value, width, precision, d.type));
}

void text_handler(int event, int rows, int, DozReader &buffer)
{
    if (event != QY_EVENT_EOB || have_text)
        return;
    DozColDesc d{};
    int count = 0;
    const void *v = first_value(rows, buffer, &d, &count);
    if (d.type != DOZ_T_END && rows > 0) {
        value_text = v ? printed(v, d) : "";
        have_text = true;
    }
}

void number_handler(int event, int rows, int, DozReader &buffer)
{
    if (event != QY_EVENT_EOB)
        return;
    DozColDesc d{};
    int count = 0;
    const void *v = first_value(rows, buffer, &d, &count);
    if (!v || count != 1) {
        wrong_type = 1;
        return;
    }
    switch (d.type) {
    case DOZ_T_STRING:
        if (!parse_real(static_cast<const char *>(v), &number))
            wrong_type = 1;
        break;
    case DOZ_T_LONG: {
        int32_t l;
        memcpy(&l, v, 4);
        number = l;
        break;
    }
    case DOZ_T_SHORT: {
        int16_t s;
        memcpy(&s, v, 2);
        number = s;
        break;
    }
    case DOZ_T_REAL: memcpy(&number, v, 8); break;
    case DOZ_T_SREAL: {
        float f;
        memcpy(&f, v, 4);
        number = f;
        break;
    }
    case DOZ_T_TINY: number = *static_cast<const unsigned char *>(v); break;
    case DOZ_T_DATE:
    case DOZ_T_TIME: date_time = d.type; break;
    default: wrong_type = 1; return;
    }
    if (!have_text) {
        value_text = printed(v, d);
        have_text = true;
    }
}

// Runs "PRINT <expression>" (or the TD form) with the filter and handler.
bool run(const std::string &statement, QyHandler handler)
{
    qymgr_qy_set_error_filter(error_filter);
    QyHandler previous = qymgr_qy_set_override_handler(handler);
    waiting = 1;
    qymgr_qy_query(statement.c_str(), QY_NOWAIT, QY_FULL, QY_IGNORE);
    waiting = 0;
    const bool ok = qymgr_qy_ok() != 0;
    qymgr_qy_set_error_filter(nullptr);
    qymgr_qy_set_override_handler(nullptr);
    if (previous)
        qymgr_qy_set_override_handler(previous);
    return ok;
}

void store(GoGraph *graph, const std::string &expression, int key, const std::string &text, double value,
           int valid)
{
    Entry *e = find(cache, graph, expression, key);
    if (!e) {
        cache.push_front(Entry{graph, expression, "", 0, 0, key});
        e = &cache.front();
    }
    e->value = text;
    e->number = value;
    e->valid = valid;
}

// The expression's value as text: 1 on success.
int eval_text(GoGraph *graph, const std::string &expression, std::string *out)
{
    nested = 0;
    if (Entry *e = find(cache, graph, expression, 0)) {
        *out = e->value;
        return 1;
    }
    if (Entry *e = find(named, graph, expression, 0)) {
        *out = e->value;
        return 1;
    }
    if (waiting) {
        // A redraw from inside another evaluation's wait: no query.
        nested = 1;
        *out = expression;
        return 1;
    }
    if (expression.size() > static_cast<size_t>(GOTVAR_EXPRESSION)) {
        out->clear();
        return 0;
    }
    cannot_query = 0;
    value_text.clear();
    have_text = false;
    const bool ok = run("PRINT " + expression, text_handler);
    if (!ok)
        value_text.clear();
    else if (cannot_query)
        value_text = expression;
    *out = value_text;
    if (ok) {
        double v = 0;
        const bool valid = parse_real(value_text, &v);
        store(graph, expression, 0, value_text, v, valid ? 1 : 0);
    }
    return ok ? 1 : 0;
}

// Seconds since 1970 (UTC midnight) or since midnight, as TD gives them,
// in the point readers' terms: local midnight of that day, or that time of
// 29 February 1980.
double readers_time(double seconds, int type)
{
    const long long s = static_cast<long long>(seconds);
    if (type == DOZ_T_TIME) {
        const long long d = ((s % 86400) + 86400) % 86400;
        return static_cast<double>(un_ctime(1980, 2, 29, static_cast<int>(d / 3600),
                                            static_cast<int>(d / 60 % 60), static_cast<int>(d % 60), 2));
    }
    const time_t t = static_cast<time_t>(s);
    struct tm u {};
    gmtime_r(&t, &u);
    return static_cast<double>(un_ctime(u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, 0, 0, 0, 2));
}

}  // namespace

int gotvar_go_waiting() { return waiting; }
int gotvar_go_last_was_nested() { return nested; }

int gotvar_go_expand_text_vars(GoGraph *graph, const char *text, char *out, const char **error_text)
{
    static std::string failed;
    if (error_text)
        *error_text = nullptr;
    const std::string in(text ? text : "");
    std::string result;
    int ok = 1;
    int any_nested = 0;
    bool expand = true;
    const size_t n = in.size();
    for (size_t i = 0; i < n; i++) {
        const char c = in[i];
        if (c == '\\') {
            if (i + 1 < n) {
                expand = false;
                continue;
            }
            result += c;
            continue;
        }
        if (c != '[' || !expand) {
            result += c;
            continue;
        }
        int depth = 1;
        size_t j = i + 1;
        for (; j < n; j++) {
            if (in[j] == '[')
                depth++;
            else if (in[j] == ']' && --depth == 0)
                break;
        }
        if (j >= n) {
            result += in.substr(i);
            break;
        }
        const std::string expression = normalised(in.substr(i + 1, j - i - 1).c_str());
        std::string value;
        if (!eval_text(graph, expression, &value)) {
            ok = 0;
            failed = in.substr(i + 1, j - i - 1);
            if (error_text)
                *error_text = failed.c_str();
        }
        any_nested |= nested;
        result += value;
        i = j;
    }
    nested = any_nested;
    if (result.size() > static_cast<size_t>(GOTVAR_EXPANDED)) {
        memset(out, '*', GOTVAR_EXPANDED);
        out[GOTVAR_EXPANDED] = '\0';
        if (error_text)
            *error_text = nullptr;
        return 0;
    }
    memcpy(out, result.c_str(), result.size() + 1);
    return ok;
}

int gotvar_go_eval_real(GoGraph *graph, const char *text, double *value)
{
    const std::string expression = normalised(text);
    nested = 0;
    if (Entry *e = find(cache, graph, expression, last_key); e && e->valid) {
        *value = e->number;
        return 1;
    }
    if (Entry *e = find(named, graph, expression, 0); e && e->valid) {
        *value = e->number;
        return 1;
    }
    if (waiting) {
        nested = 1;
        return 0;
    }
    if (expression.empty() || expression.size() > static_cast<size_t>(GOTVAR_EXPRESSION))
        return 0;
    number = 0;
    date_time = 0;
    wrong_type = 0;
    cannot_query = 0;
    value_text.clear();
    have_text = false;
    bool ok = run("PRINT " + expression, number_handler);
    const int type = date_time;
    if (ok && !cannot_query && !wrong_type && type) {
        ok = run("PRINT TD(" + expression + ")", number_handler);
        if (ok && !wrong_type)
            number = readers_time(number, type);
    }
    last_key = type ? 1 : 0;
    if (!ok || cannot_query || wrong_type)
        return 0;
    store(graph, expression, last_key, value_text, number, 1);
    *value = number;
    return 1;
}

void gotvar_go_set_name_value(GoGraph *graph, const char *name, const char *value)
{
    const std::string key = normalised(name);
    Entry *e = find(named, graph, key, 0);
    if (!e) {
        named.push_front(Entry{graph, key, "", 0, 0, 0});
        e = &named.front();
    }
    e->value = value ? value : "";
    double v = 0;
    e->valid = parse_real(e->value, &v) ? 1 : 0;
    e->number = e->valid ? v : 0;
}

void gotvar_go_clear_expression_cache(GoGraph *graph)
{
    cache.remove_if([graph](const Entry &e) { return !graph || e.graph == graph; });
}
