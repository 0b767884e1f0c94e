// The function table: each function's argument check (which also gives
// the result's type and shape) and its evaluation.

#include "dozeng_int.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace doz {

namespace {

constexpr unsigned bit(int t) { return 1u << t; }
constexpr unsigned K_INT = bit(LONG) | bit(SHORT) | bit(BYTE);
constexpr unsigned K_REALS = K_INT | bit(REAL) | bit(SHORTREAL);  // numbers but complex
constexpr unsigned K_NUM = K_REALS | bit(COMPLEX);
constexpr unsigned K_TEXT = bit(STRING) | bit(CHAR);
constexpr unsigned K_ORDERED = K_REALS | bit(DATE) | bit(TIME);
constexpr unsigned K_ANY = 0xfff;

// Argument i must be of a type in mask; single unless arrays are allowed.
void want(const std::vector<Value> &a, size_t i, unsigned mask, bool array_ok, const char *fn)
{
    if (i >= a.size())
        return;
    const Value &v = a[i];
    if (v.type == UNTYPED)
        return;
    if (v.type < 0 || !(mask & bit(v.type)) || (!array_ok && v.is_array()))
        fail(E_TYPES, fn);
}

// Argument i must be an array.
void want_array(const std::vector<Value> &a, size_t i, const char *fn)
{
    if (a[i].type != UNTYPED && !a[i].is_array())
        fail(E_NOT_ARRAY, fn);
}

// A known integer argument, or `dflt` when it is null (in checks).
int64_t int_arg(const std::vector<Value> &a, size_t i, int64_t dflt)
{
    if (i >= a.size() || a[i].null || a[i].is_array())
        return dflt;
    return as_int(a[i]);
}

int text_len(const Value &v) { return v.type == CHAR ? 1 : v.len; }

Value null_array(int type, int32_t count)
{
    Value v = make_null(type);
    v.count = count;
    return v;
}

int32_t checked_count(int64_t n, const char *fn)
{
    if (n < 1 || n > MAX_ELEMENTS)
        fail(E_ARGUMENT, fn);
    return static_cast<int32_t>(n);
}

bool sysvar_true(const EvalCtx &ctx, const char *name)
{
    auto it = ctx.st.system.find(name);
    return it != ctx.st.system.end() && !it->second.null && it->second.e[0].i;
}

// ---- session -------------------------------------------------------------

Value c_revision(std::vector<Value> &) { return make_null(STRING, 4); }
Value e_revision(EvalCtx &, std::vector<Value> &) { return make_string("3.10", 4); }

Value c_result(std::vector<Value> &) { return make_null(STRING, 8); }
Value e_result(EvalCtx &ctx, std::vector<Value> &)
{
    return make_string(ctx.st.config.result_prefix.substr(0, 8), 8);
}

Value c_sysuser(std::vector<Value> &) { return make_null(STRING, 30); }
Value e_sysuser(EvalCtx &ctx, std::vector<Value> &) { return make_string(ctx.st.config.user.substr(0, 30), 30); }

Value c_dbname(std::vector<Value> &) { return make_null(STRING, 8); }
Value e_dbname(EvalCtx &ctx, std::vector<Value> &) { return make_string(ctx.st.dbname.substr(0, 8), 8); }

Value c_locate(std::vector<Value> &a)
{
    want(a, 0, K_TEXT, false, "LOCATE");
    return make_null(STRING, 122);
}
Value e_locate(EvalCtx &ctx, std::vector<Value> &a)
{
    // Locations belong to an open database.
    if (ctx.st.config.db)
        return ctx.st.config.db->locate(ctx.st, upper(as_text(a[0])));
    fail(E_NO_DATABASE, as_text(a[0]));
}

Value c_sysinfo(std::vector<Value> &a)
{
    for (size_t i = 0; i < 3; i++)
        want(a, i, K_TEXT, false, "SYSINFO");
    return make_null(LONG);
}
Value e_sysinfo(EvalCtx &ctx, std::vector<Value> &a)
{
    static const char *const what[] = {"FIXED", "STRUCTURE", "REQMEM", "SIZE", "MAXRECS"};
    std::string w = upper(as_text(a[2]));
    if (std::find_if(std::begin(what), std::end(what), [&](const char *x) { return w == x; }) == std::end(what))
        fail(E_ARGUMENT, "SYSINFO " + w);
    if (ctx.st.config.db)
        return make_long(ctx.st.config.db->sysinfo(ctx.st, as_text(a[0]), as_text(a[1]), w));
    fail(E_NO_DATABASE, "SYSINFO");
}

// ---- conversion and text ----------------------------------------------------------

Value c_str(std::vector<Value> &a)
{
    want(a, 0, K_TEXT, false, "STR");
    want(a, 1, K_INT, false, "STR");
    want(a, 2, K_INT, false, "STR");
    return make_null(STRING, text_len(a[0]));
}
Value e_str(EvalCtx &, std::vector<Value> &a)
{
    std::string s = as_text(a[0]);
    int64_t start = as_int(a[1]), len = as_int(a[2]);
    int declared = text_len(a[0]);
    if (start < 1 || len <= 0 || start > static_cast<int64_t>(s.size()))
        return make_string("", declared);
    return make_string(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(len)), declared);
}

Value c_len(std::vector<Value> &a)
{
    if (a[0].type != UNTYPED && !is_text(a[0].type) && !a[0].is_array() && !is_numeric(a[0].type) &&
        a[0].type != DATE && a[0].type != TIME)
        fail(E_TYPES, "LEN");
    return make_null(LONG);
}
Value e_len(EvalCtx &, std::vector<Value> &a)
{
    if (a[0].type == STRING)
        return make_long(static_cast<int64_t>(a[0].s.size()));
    return make_long(static_cast<int64_t>(a[0].e.size()));
}

Value c_val(std::vector<Value> &a)
{
    want(a, 0, K_TEXT, false, "VAL");
    return make_null(REAL);
}
Value e_val(EvalCtx &ctx, std::vector<Value> &a)
{
    std::string s = as_text(a[0]);
    if (sysvar_true(ctx, "%NLSRADIX"))
        std::replace(s.begin(), s.end(), ',', '.');
    const char *p = s.c_str();
    while (*p == ' ' || *p == '\t')
        p++;
    // Decimal notation only (strtod would also read hexadecimal, "inf" and "nan").
    if (!*p || s.find_first_not_of(" \t+-.0123456789eE") != std::string::npos)
        return make_null(REAL);
    char *end = nullptr;
    double d = strtod(p, &end);
    while (*end == ' ' || *end == '\t')
        end++;
    // Text that is no number has no value.
    if (*end || !std::isfinite(d) || end == p)
        return make_null(REAL);
    return make_real(d);
}

// A whole real as a LONG; past LONG's range the function overflows.
Value whole_long(double w, const char *fn)
{
    if (!(w >= -2147483648.0 && w <= 2147483647.0))
        fail(E_OVERFLOW, fn);
    return make_long(static_cast<int64_t>(w));
}

Value c_round(std::vector<Value> &a)
{
    want(a, 0, K_REALS, false, "ROUND");
    return make_null(LONG);
}
Value e_round(EvalCtx &, std::vector<Value> &a)
{
    if (is_integer(a[0].type))
        return make_long(a[0].e[0].i);
    return whole_long(std::round(a[0].e[0].r), "ROUND");
}

Value c_float(std::vector<Value> &a)
{
    want(a, 0, K_REALS, false, "FLOAT");
    return make_null(REAL);
}
Value e_float(EvalCtx &, std::vector<Value> &a) { return make_real(as_double(a[0])); }

Value c_tolong(std::vector<Value> &a)
{
    want(a, 0, K_REALS, false, "TOLONG");
    return make_null(LONG);
}
Value e_tolong(EvalCtx &, std::vector<Value> &a)
{
    if (is_integer(a[0].type))
        return make_long(a[0].e[0].i);
    return whole_long(std::trunc(a[0].e[0].r), "TOLONG");
}

Value c_abs(std::vector<Value> &a)
{
    want(a, 0, K_NUM, false, "ABS");
    return make_null(a[0].type == COMPLEX ? REAL : a[0].type);
}
Value e_abs(EvalCtx &, std::vector<Value> &a)
{
    const Value &v = a[0];
    if (v.type == COMPLEX)
        return make_real(std::hypot(v.e[0].r, v.e[0].im));
    if (is_float(v.type))
        return make_real(std::fabs(v.e[0].r), v.type);
    return make_long(fit_integer(v.e[0].i < 0 ? -v.e[0].i : v.e[0].i, v.type), v.type);
}

// The shortest form that reads back as the same number.
std::string real_text(double d, bool shortreal)
{
    char buf[64];
    int first = shortreal ? 7 : 15, last = shortreal ? 9 : 17;
    for (int p = first; p <= last; p++) {
        snprintf(buf, sizeof buf, "%.*g", p, d);
        double back = strtod(buf, nullptr);
        if (shortreal ? static_cast<float>(back) == static_cast<float>(d) : back == d)
            break;
    }
    return buf;
}

Value c_num(std::vector<Value> &a)
{
    want(a, 0, K_REALS, false, "NUM");
    return make_null(STRING, is_float(a[0].type) ? 24 : std::max(print_width(a[0].type), 11));
}
Value e_num(EvalCtx &ctx, std::vector<Value> &a)
{
    const Value &v = a[0];
    std::string s = is_float(v.type) ? real_text(v.e[0].r, v.type == SHORTREAL) : std::to_string(v.e[0].i);
    if (is_float(v.type) && sysvar_true(ctx, "%NLSRADIX"))
        std::replace(s.begin(), s.end(), '.', ',');
    size_t width = static_cast<size_t>(is_float(v.type) ? print_width(REAL) : print_width(v.type));
    if (s.size() < width)
        s.insert(0, width - s.size(), ' ');
    return make_string(s, std::max<int>(static_cast<int>(s.size()), is_float(v.type) ? 24 : 11));
}

Value c_strtrim(std::vector<Value> &a)
{
    want(a, 0, K_TEXT, false, "STRTRIM");
    return make_null(STRING, text_len(a[0]));
}
Value e_strtrim(EvalCtx &, std::vector<Value> &a)
{
    std::string s = as_text(a[0]);
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return make_string(b == std::string::npos ? "" : s.substr(b, e - b + 1), text_len(a[0]));
}

Value c_upc(std::vector<Value> &a)
{
    want(a, 0, K_TEXT, false, "UPC");
    return make_null(a[0].type == UNTYPED ? STRING : a[0].type, a[0].len);
}
Value e_upc(EvalCtx &, std::vector<Value> &a)
{
    if (a[0].type == CHAR)
        return make_char(static_cast<char>(toupper(static_cast<int>(a[0].e[0].i))));
    return make_string(upper(a[0].s), a[0].len);
}

// Reads up to `most` digits; false when there are none.
bool digits(const char *&p, int most, int &out, int &count)
{
    out = 0;
    count = 0;
    while (count < most && isdigit(static_cast<unsigned char>(*p))) {
        out = out * 10 + (*p++ - '0');
        count++;
    }
    return count > 0;
}

Value c_strtodate(std::vector<Value> &a)
{
    want(a, 0, K_TEXT, false, "STRTODATE");
    return make_null(DATE);
}
Value e_strtodate(EvalCtx &ctx, std::vector<Value> &a)
{
    std::string fmt = "%d/%m/%y";
    auto it = ctx.st.system.find("%DATEINPUT");
    if (it != ctx.st.system.end() && !it->second.null && !it->second.s.empty())
        fmt = it->second.s;
    std::string text = as_text(a[0]);
    const char *p = text.c_str();
    int y = -1, m = -1, d = -1, n = 0, count = 0;
    while (*p == ' ')
        p++;
    for (size_t i = 0; i < fmt.size(); i++) {
        if (fmt[i] == '%' && i + 1 < fmt.size()) {
            char k = fmt[++i];
            if (k == 'd' || k == 'm') {
                if (!digits(p, 2, n, count))
                    return make_null(DATE);
                (k == 'd' ? d : m) = n;
            } else if (k == 'y' || k == 'Y') {
                if (!digits(p, 4, n, count))
                    return make_null(DATE);
                y = count <= 2 ? full_year(n) : n;
            } else if (k == '%') {
                if (*p++ != '%')
                    return make_null(DATE);
            } else {
                return make_null(DATE);
            }
        } else if (*p == fmt[i]) {
            p++;
        } else {
            return make_null(DATE);
        }
    }
    while (*p == ' ')
        p++;
    if (*p || !valid_date(y, m, d))
        return make_null(DATE);
    return make_date(y, m, d);
}

Value c_strtotime(std::vector<Value> &a)
{
    want(a, 0, K_TEXT, false, "STRTOTIME");
    return make_null(TIME);
}
Value e_strtotime(EvalCtx &, std::vector<Value> &a)
{
    std::string text = as_text(a[0]);
    const char *p = text.c_str();
    int part[3] = {0, 0, 0}, count = 0, k = 0;
    while (*p == ' ')
        p++;
    for (; k < 3; k++) {
        if (!digits(p, 2, part[k], count))
            return make_null(TIME);
        if (*p != ':')
            break;
        p++;
    }
    while (*p == ' ')
        p++;
    if (*p || k < 1 || part[0] > 23 || part[1] > 59 || part[2] > 59)
        return make_null(TIME);
    return make_time(part[0], part[1], part[2]);
}

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

Value c_unixdate(std::vector<Value> &a)
{
    want(a, 0, K_INT, false, "UNIXDATE");
    return make_null(DATE);
}
Value e_unixdate(EvalCtx &, std::vector<Value> &a) { return make_long(floor_div(a[0].e[0].i, 86400), DATE); }

Value c_unixtime(std::vector<Value> &a)
{
    want(a, 0, K_INT, false, "UNIXTIME");
    return make_null(TIME);
}
Value e_unixtime(EvalCtx &, std::vector<Value> &a)
{
    return make_long(a[0].e[0].i - floor_div(a[0].e[0].i, 86400) * 86400, TIME);
}

Value c_td(std::vector<Value> &a)
{
    want(a, 0, bit(DATE) | bit(TIME), false, "TD");
    return make_null(LONG);
}
Value e_td(EvalCtx &, std::vector<Value> &a)
{
    // Dates as seconds since 1970-01-01 (UTC midnight), times as seconds
    // since midnight: UNIXDATE and UNIXTIME take them back.
    int64_t v = a[0].type == DATE ? a[0].e[0].i * 86400 : a[0].e[0].i;
    return make_long(fit_integer(v, LONG));
}

// ---- complex, control and date -------------------------------------------------------

Value c_comp(std::vector<Value> &a)
{
    want(a, 0, K_REALS, false, "COMP");
    want(a, 1, K_REALS, false, "COMP");
    return make_null(COMPLEX);
}
Value e_comp(EvalCtx &, std::vector<Value> &a) { return make_complex(as_double(a[0]), as_double(a[1])); }

Value c_re(std::vector<Value> &a)
{
    want(a, 0, K_NUM, false, "RE");
    return make_null(REAL);
}
Value e_re(EvalCtx &, std::vector<Value> &a) { return make_real(as_double(a[0])); }

// The common type of COND's two choices.
int common_type(int a, int b)
{
    if (a == UNTYPED)
        return b;
    if (b == UNTYPED || a == b)
        return a;
    if (is_text(a) && is_text(b))
        return STRING;
    if (is_numeric(a) && is_numeric(b)) {
        if (a == COMPLEX || b == COMPLEX)
            return COMPLEX;
        if (is_float(a) || is_float(b))
            return REAL;
        return LONG;
    }
    fail(E_TYPES, "COND");
}

Value convert_to(const Value &v, int type)
{
    if (v.type == type || v.type == UNTYPED)
        return v;
    Value r = shaped_like(v, type);
    r.len = v.len;
    if (type == STRING) {
        if (v.null)
            return make_null(STRING, text_len(v));
        return make_string(as_text(v));
    }
    for (const Elem &e : v.e) {
        Elem x;
        if (type == COMPLEX || is_float(type)) {
            x.r = is_float(v.type) || v.type == COMPLEX ? e.r : static_cast<double>(e.i);
            x.im = v.type == COMPLEX ? e.im : 0.0;
        } else {
            x.i = e.i;
        }
        r.e.push_back(x);
    }
    return r;
}

Value c_cond(std::vector<Value> &a)
{
    want(a, 0, bit(BOOL), false, "COND");
    int t = common_type(a[1].type, a[2].type);
    if (a[1].type != UNTYPED && a[2].type != UNTYPED && a[1].count != a[2].count)
        fail(E_TYPES, "COND");
    Value r = a[1].type != UNTYPED ? shaped_like(a[1], t) : shaped_like(a[2], t);
    r.null = true;
    r.e.clear();
    r.len = std::max(text_len(a[1]), text_len(a[2]));
    return r;
}
Value e_cond(EvalCtx &, std::vector<Value> &a)
{
    bool yes = !a[0].null && a[0].e[0].i;
    Value tmpl = c_cond(a);
    Value r = convert_to(yes ? a[1] : a[2], tmpl.type);
    if (r.type == STRING)
        r.len = tmpl.len;
    if (r.type == UNTYPED)
        return tmpl;
    return r;
}

Value c_sysdate(std::vector<Value> &) { return make_null(DATE); }
Value e_sysdate(EvalCtx &, std::vector<Value> &)
{
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    return make_date(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday);
}

// ---- arrays ------------------------------------------------------------------------

Value c_repeat(std::vector<Value> &a)
{
    if (a[0].type != UNTYPED && !has_arrays(a[0].type))
        fail(E_NO_ARRAYS, "REPEAT");
    want(a, 0, K_ANY, false, "REPEAT");
    want(a, 1, K_INT, false, "REPEAT");
    return null_array(a[0].type, checked_count(int_arg(a, 1, 1), "REPEAT"));
}
Value e_repeat(EvalCtx &ctx, std::vector<Value> &a)
{
    Value r = c_repeat(a);
    r.null = false;
    r.e.assign(static_cast<size_t>(r.count), a[0].e[0]);
    return r;
}

// The dimension list of SETDIMS: a LONG array or one number.
std::vector<int32_t> dims_of(const Value &d)
{
    std::vector<int32_t> dims;
    for (size_t i = 0; i < d.e.size(); i++) {
        int64_t n = as_int(d, i);
        if (n < 1 || n > MAX_ELEMENTS)
            fail(E_DIMENSIONS, "SETDIMS");
        dims.push_back(static_cast<int32_t>(n));
    }
    if (dims.empty() || dims.size() > 8)
        fail(E_DIMENSIONS, "SETDIMS");
    return dims;
}

Value c_setdims(std::vector<Value> &a)
{
    want_array(a, 0, "SETDIMS");
    if (a[0].is_var())
        fail(E_NOT_ARRAY, "SETDIMS");
    want(a, 1, K_INT, true, "SETDIMS");
    Value r = a[0];
    r.null = true;
    r.e.clear();
    if (!a[1].null && a[1].type != UNTYPED && a[0].type != UNTYPED) {
        std::vector<int32_t> dims = dims_of(a[1]);
        int64_t product = 1;
        for (int32_t d : dims)
            product *= d;
        if (product != a[0].count)
            fail(E_DIMENSIONS, "SETDIMS");
        r.dims = dims.size() > 1 ? dims : std::vector<int32_t>{};
    }
    return r;
}
Value e_setdims(EvalCtx &, std::vector<Value> &a)
{
    Value r = c_setdims(a);
    r.null = false;
    r.e = a[0].e;
    return r;
}

Value c_array(std::vector<Value> &a)
{
    for (size_t i = 0; i < a.size(); i++)
        want(a, i, K_INT, false, "ARRAY");
    return null_array(LONG, static_cast<int32_t>(a.size()));
}
Value e_array(EvalCtx &, std::vector<Value> &a)
{
    Value r = null_array(LONG, static_cast<int32_t>(a.size()));
    r.null = false;
    for (const Value &v : a) {
        Elem e;
        e.i = v.e[0].i;
        r.e.push_back(e);
    }
    return r;
}

// A variable-length version of an array with room for n elements.
Value to_var(const Value &v, int32_t room)
{
    Value r = make_null(v.type, v.len);
    r.count = -room;
    r.null = v.null;
    if (!v.null)
        r.e.assign(v.e.begin(), v.e.begin() + std::min<size_t>(v.e.size(), static_cast<size_t>(room)));
    return r;
}

Value c_setmaxlen(std::vector<Value> &a)
{
    want_array(a, 0, "SETMAXLEN");
    want(a, 1, K_INT, false, "SETMAXLEN");
    return to_var(make_null(a[0].type, a[0].len), checked_count(int_arg(a, 1, 1), "SETMAXLEN"));
}
Value e_setmaxlen(EvalCtx &, std::vector<Value> &a)
{
    return to_var(a[0], checked_count(as_int(a[1]), "SETMAXLEN"));
}

Value c_setlen(std::vector<Value> &a)
{
    want_array(a, 0, "SETLEN");
    want(a, 1, K_INT, false, "SETLEN");
    Value r = make_null(a[0].type, a[0].len);
    r.count = a[0].type == UNTYPED ? -1 : -a[0].capacity();
    return r;
}
Value e_setlen(EvalCtx &, std::vector<Value> &a)
{
    int32_t room = a[0].capacity();
    int64_t n = as_int(a[1]);
    if (n < 0 || n > room)
        fail(E_ARGUMENT, "SETLEN");
    Value r = to_var(a[0], room);
    r.e.resize(static_cast<size_t>(n));
    return r;
}

Value c_vartofix(std::vector<Value> &a)
{
    want_array(a, 0, "VARTOFIX");
    Value r = make_null(a[0].type, a[0].len);
    r.count = a[0].type == UNTYPED ? 1 : a[0].capacity();
    if (!a[0].is_var())
        r.dims = a[0].dims;
    return r;
}
Value e_vartofix(EvalCtx &, std::vector<Value> &a)
{
    // Room the variable array does not use is filled with zeros.
    Value r = c_vartofix(a);
    r.null = false;
    r.e = a[0].e;
    r.e.resize(static_cast<size_t>(r.count));
    return r;
}

Value c_fixtovar(std::vector<Value> &a)
{
    want_array(a, 0, "FIXTOVAR");
    want(a, 1, K_INT, false, "FIXTOVAR");
    return to_var(make_null(a[0].type, a[0].len), checked_count(int_arg(a, 1, 1), "FIXTOVAR"));
}
Value e_fixtovar(EvalCtx &, std::vector<Value> &a) { return to_var(a[0], checked_count(as_int(a[1]), "FIXTOVAR")); }

Value c_elem(std::vector<Value> &a)
{
    want_array(a, 0, "ELEM");
    want(a, 1, K_INT, false, "ELEM");
    return make_null(a[0].type, a[0].len);
}
Value e_elem(EvalCtx &, std::vector<Value> &a)
{
    int64_t i = as_int(a[1]);
    if (i < 1 || i > a[0].capacity())
        fail(E_ARGUMENT, "ELEM");
    // An element beyond a variable array's current length has no value.
    if (static_cast<size_t>(i) > a[0].e.size())
        return make_null(a[0].type, a[0].len);
    return element(a[0], static_cast<size_t>(i - 1));
}

// ---- array statistics ------------------------------------------------------------

Value c_mean(std::vector<Value> &a)
{
    want(a, 0, K_REALS, true, "MEAN");
    return make_null(REAL);
}
Value e_mean(EvalCtx &, std::vector<Value> &a)
{
    const Value &v = a[0];
    if (v.e.empty())
        return make_null(REAL);
    double s = 0;
    for (size_t i = 0; i < v.e.size(); i++)
        s += as_double(v, i);
    return make_real(fit_real(s / static_cast<double>(v.e.size()), REAL));
}

Value c_varc(std::vector<Value> &a)
{
    want(a, 0, K_REALS, true, "VARC");
    return make_null(REAL);
}
Value e_varc(EvalCtx &, std::vector<Value> &a)
{
    // The sample variance; it needs two values.
    const Value &v = a[0];
    size_t n = v.e.size();
    if (n < 2)
        return make_null(REAL);
    double mean = 0, m2 = 0;
    for (size_t i = 0; i < n; i++) {
        double x = as_double(v, i), d = x - mean;
        mean += d / static_cast<double>(i + 1);
        m2 += d * (x - mean);
    }
    return make_real(fit_real(m2 / static_cast<double>(n - 1), REAL));
}

Value c_extreme(std::vector<Value> &a, const char *fn)
{
    want(a, 0, K_ORDERED, true, fn);
    return make_null(a[0].type, a[0].len);
}
Value extreme(const Value &v, bool want_max)
{
    if (v.e.empty())
        return make_null(v.type);
    size_t best = 0;
    for (size_t i = 1; i < v.e.size(); i++) {
        bool greater = is_float(v.type) ? v.e[i].r > v.e[best].r : v.e[i].i > v.e[best].i;
        bool less = is_float(v.type) ? v.e[i].r < v.e[best].r : v.e[i].i < v.e[best].i;
        if (want_max ? greater : less)
            best = i;
    }
    return element(v, best);
}
Value c_max(std::vector<Value> &a) { return c_extreme(a, "MAX"); }
Value c_min(std::vector<Value> &a) { return c_extreme(a, "MIN"); }
Value e_max(EvalCtx &, std::vector<Value> &a) { return extreme(a[0], true); }
Value e_min(EvalCtx &, std::vector<Value> &a) { return extreme(a[0], false); }

Value c_sumarr(std::vector<Value> &a)
{
    want(a, 0, K_NUM, true, "SUMARR");
    int t = a[0].type;
    return make_null(t == UNTYPED ? UNTYPED : is_integer(t) ? LONG : t == COMPLEX ? COMPLEX : REAL);
}
Value e_sumarr(EvalCtx &, std::vector<Value> &a)
{
    const Value &v = a[0];
    if (is_integer(v.type)) {
        int64_t s = 0;
        for (const Elem &e : v.e) {
            s += e.i;
            fit_integer(s, LONG);
        }
        return make_long(s);
    }
    double re = 0, im = 0;
    for (const Elem &e : v.e) {
        re += e.r;
        im += e.im;
    }
    if (v.type == COMPLEX)
        return make_complex(fit_real(re, REAL), fit_real(im, REAL));
    return make_real(fit_real(re, REAL));
}

const FuncDef functions[] = {
    // session
    {"REVISION", 0, 0, 0, c_revision, e_revision},
    {"RESULT", 0, 0, 0, c_result, e_result},
    {"SYSUSER", 0, 0, 0, c_sysuser, e_sysuser},
    {"DBNAME", 0, 0, 0, c_dbname, e_dbname},
    {"LOCATE", 1, 1, 0, c_locate, e_locate},
    {"SYSINFO", 3, 3, 0, c_sysinfo, e_sysinfo},
    // conversion and text
    {"STR", 3, 3, 0, c_str, e_str},
    {"LEN", 1, 1, 0, c_len, e_len},
    {"VAL", 1, 1, 0, c_val, e_val},
    {"ROUND", 1, 1, F_ELEMENTWISE, c_round, e_round},
    {"FLOAT", 1, 1, F_ELEMENTWISE, c_float, e_float},
    {"TOLONG", 1, 1, F_ELEMENTWISE, c_tolong, e_tolong},
    {"ABS", 1, 1, F_ELEMENTWISE, c_abs, e_abs},
    {"NUM", 1, 1, 0, c_num, e_num},
    {"STRTRIM", 1, 1, 0, c_strtrim, e_strtrim},
    {"UPC", 1, 1, 0, c_upc, e_upc},
    {"STRTODATE", 1, 1, 0, c_strtodate, e_strtodate},
    {"STRTOTIME", 1, 1, 0, c_strtotime, e_strtotime},
    {"UNIXDATE", 1, 1, F_ELEMENTWISE, c_unixdate, e_unixdate},
    {"UNIXTIME", 1, 1, F_ELEMENTWISE, c_unixtime, e_unixtime},
    {"TD", 1, 1, F_ELEMENTWISE, c_td, e_td},
    // complex, control and date
    {"COMP", 2, 2, F_ELEMENTWISE, c_comp, e_comp},
    {"RE", 1, 1, F_ELEMENTWISE, c_re, e_re},
    {"COND", 3, 3, F_NULLS, c_cond, e_cond},
    {"SYSDATE", 0, 0, 0, c_sysdate, e_sysdate},
    // arrays
    {"REPEAT", 2, 2, 0, c_repeat, e_repeat},
    {"SETDIMS", 2, 2, 0, c_setdims, e_setdims},
    {"ARRAY", 1, 8, 0, c_array, e_array},
    {"SETLEN", 2, 2, 0, c_setlen, e_setlen},
    {"SETMAXLEN", 2, 2, 0, c_setmaxlen, e_setmaxlen},
    {"VARTOFIX", 1, 1, 0, c_vartofix, e_vartofix},
    {"FIXTOVAR", 2, 2, 0, c_fixtovar, e_fixtovar},
    {"ELEM", 2, 2, 0, c_elem, e_elem},
    // array statistics
    {"MEAN", 1, 1, 0, c_mean, e_mean},
    {"VARC", 1, 1, 0, c_varc, e_varc},
    {"MAX", 1, 1, 0, c_max, e_max},
    {"MIN", 1, 1, 0, c_min, e_min},
    {"SUMARR", 1, 1, 0, c_sumarr, e_sumarr},
};

}  // namespace

const FuncDef *find_function(std::string_view name)
{
    for (const FuncDef &f : functions)
        if (name == f.name)
            return &f;
    return nullptr;
}

}  // namespace doz
