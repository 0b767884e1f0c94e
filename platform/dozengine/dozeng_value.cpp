// Values: date and time makers, type classes, conversions and column
// descriptors.

#include "dozeng_int.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace doz {

Value make_date(int y, int m, int d)
{
    if (!valid_date(y, m, d))
        fail(E_BAD_DATE);
    return make_long(days_from_civil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)), DATE);
}

Value make_time(int h, int m, int s)
{
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        fail(E_BAD_TIME);
    return make_long(h * 3600 + m * 60 + s, TIME);
}


bool is_integer(int t) { return t == LONG || t == SHORT || t == BYTE; }
bool is_float(int t) { return t == REAL || t == SHORTREAL; }
bool is_numeric(int t) { return is_integer(t) || is_float(t) || t == COMPLEX; }
bool is_text(int t) { return t == STRING || t == CHAR; }
bool has_arrays(int t)
{
    return t == LONG || t == SHORT || t == REAL || t == DATE || t == TIME || t == COMPLEX || t == SHORTREAL ||
           t == BYTE;
}

double as_double(const Value &v, size_t i)
{
    const Elem &e = v.e.at(i);
    return is_float(v.type) || v.type == COMPLEX ? e.r : static_cast<double>(e.i);
}

int64_t as_int(const Value &v, size_t i)
{
    const Elem &e = v.e.at(i);
    if (is_float(v.type) || v.type == COMPLEX) {
        if (!std::isfinite(e.r) || std::fabs(e.r) > 9.0e18)
            fail(E_OVERFLOW);
        return static_cast<int64_t>(e.r);
    }
    return e.i;
}

std::string as_text(const Value &v)
{
    if (v.type == CHAR)
        return std::string(1, static_cast<char>(v.e.at(0).i));
    return v.s;
}

int64_t fit_integer(int64_t x, int type)
{
    int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    if (type == SHORT) {
        lo = -32768;
        hi = 32767;
    } else if (type == BYTE) {
        lo = 0;
        hi = 255;
    }
    if (x < lo || x > hi)
        fail(E_OVERFLOW);
    return x;
}

double fit_real(double x, int type)
{
    if (!std::isfinite(x))
        fail(E_OVERFLOW);
    if (type == SHORTREAL) {
        if (std::fabs(x) > std::numeric_limits<float>::max())
            fail(E_OVERFLOW);
        return static_cast<double>(static_cast<float>(x));
    }
    return x;
}

Value element(const Value &v, size_t i)
{
    Value r;
    r.type = v.type;
    r.len = v.len;
    r.null = v.null;
    if (!v.null) {
        r.e.push_back(v.e.at(i));
    }
    return r;
}

Value shaped_like(const Value &v, int type)
{
    Value r;
    r.type = type;
    r.count = v.count;
    r.dims = v.dims;
    r.null = v.null;
    return r;
}

Value clamp_string(std::string s, int declared)
{
    if (s.size() > static_cast<size_t>(MAX_STRING))
        fail(E_OVERFLOW, "text longer than 4096 characters");
    int len = std::max(declared, static_cast<int>(s.size()));
    return make_string(s, std::min(len, MAX_STRING));
}

int print_width(int type)
{
    static const int widths[TYPE_COUNT] = {0, 11, 6, 15, 10, 8, 31, 5, 1, 10, 3, 0};
    return type >= 0 && type < TYPE_COUNT ? widths[type] : 0;
}

Column describe(const Value &v, const std::string &name)
{
    Column c;
    c.name = name;
    c.count = v.count;
    if (v.type == UNTYPED) {
        // A bare NULL: an empty text column.
        c.type = STRING;
        c.width = 0;
    } else {
        c.type = static_cast<int16_t>(v.type);
        c.width = static_cast<int16_t>(v.type == STRING || v.type == BLOB ? v.len : print_width(v.type));
    }
    c.precision = -1;
    return c;
}

}  // namespace doz
