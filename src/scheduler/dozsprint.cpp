// Formatting of result values as text.

#include "dozvalue.h"

#include "vxdate.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The formatter's result: sized to whatever width it is asked for.
std::string out;
std::string date_format, time_format, complex_format;
bool quoting = false;

constexpr int MAX_WIDTH = 32767;

std::string vformat(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char *fmt, ...)
{
    // Most texts fit the first try; a longer one is written again at its size.
    char first[256];
    va_list ap, ap2;
    va_start(ap, fmt);
    va_copy(ap2, ap);
    int n = vsnprintf(first, sizeof first, fmt, ap);
    std::string s;
    if (n > 0 && static_cast<size_t>(n) < sizeof first) {
        s.assign(first, static_cast<size_t>(n));
    } else if (n > 0) {
        s.assign(static_cast<size_t>(n), '\0');
        vsnprintf(s.data(), s.size() + 1, fmt, ap2);
    }
    va_end(ap2);
    va_end(ap);
    return s;
}

void radix(std::string &s)
{
    const char *r = deflanginfo(41);
    for (char &c : s)
        if (c == '.')
            c = r[0] ? r[0] : '.';
}

std::string centred(const std::string &text, int w)
{
    int n = static_cast<int>(text.size());
    if (w <= n)
        return text;
    int before = (w - n) / 2;
    return std::string(static_cast<size_t>(before), ' ') + text + std::string(static_cast<size_t>(w - n - before), ' ');
}

int digits_before_point(double v, int w)
{
    int d = 1;
    for (double a = std::fabs(v); a >= 10 && d <= w; a /= 10)
        d++;
    return d;
}

int adjust_precision(double v, int w, int p)
{
    if (p <= 0)
        return p;
    int digits = digits_before_point(v, w);
    if (digits > w)
        return -1;
    int excess = digits + p + 2 - w;
    if (excess > 0)
        p = p > excess ? p - excess : -1;
    return p;
}

int exp_precision(int w) { return std::clamp(w - 7, 0, 13); }

std::string format_real(double v, int w, int p)
{
    if (!std::isfinite(v))
        return vformat("%*s", w, std::isnan(v) ? "Nan" : (v > 0 ? "+Inf" : "-Inf"));
    p = adjust_precision(v, w, p);
    std::string s = p == -1 ? vformat("%*.*e", w, exp_precision(w), v) : vformat("%*.*f", w, p, v);
    radix(s);
    return s;
}

// The format with each "%x" directive replaced by what `directive` appends
// for x ("%%" is a "%"); a "%" ending the format is dropped.
template <class Directive>
std::string expand_format(const std::string &format, Directive directive)
{
    std::string s;
    for (size_t i = 0; i < format.size(); i++) {
        if (format[i] != '%') {
            s += format[i];
            continue;
        }
        if (++i >= format.size())
            break;
        if (format[i] == '%')
            s += '%';
        else
            directive(s, format[i]);
    }
    return s;
}

std::string format_complex(const double *z, int w, int p)
{
    double re = z[0], im = z[1];
    if (!std::isfinite(re) || !std::isfinite(im))
        return vformat("%*s", w, std::isnan(re) || std::isnan(im) ? "Nan" : "Inf");
    const std::string &f = complex_format;
    int h = f.empty() ? (w - 1) / 2 : (w - static_cast<int>(f.size()) + 4) / 2;
    if (h < 0)
        h = 0;
    int ep = exp_precision(h);
    p = adjust_precision(re, h, p);
    p = adjust_precision(im, h, p);
    std::string s;
    if (f.empty()) {
        s = p == -1 ? vformat("%*.*e,%*.*e", h, ep, re, h, ep, im)
                    : vformat("%*.*f,%*.*f", h, p, re, std::max(w - 1 - h, 0), p, im);
    } else {
        s = expand_format(f, [&](std::string &out, char d) {
            double v = (d == 'X' || d == 'x') ? re : im;
            bool left = d == 'x' || d == 'y';
            if (d == 'X' || d == 'Y' || d == 'x' || d == 'y')
                out += p == -1 ? vformat(left ? "%-*.*e" : "%*.*e", h, ep, v)
                               : vformat(left ? "%-*.*f" : "%*.*f", h, p, v);
        });
    }
    radix(s);
    return s;
}

void two_digits(std::string &s, int v)
{
    v = std::abs(v) % 100;
    s += static_cast<char>('0' + v / 10);
    s += static_cast<char>('0' + v % 10);
}

// Rows carry full years; a year below 100 is taken as a two-digit year
// (1935-2034).
std::string format_date(const int16_t *v)
{
    if (date_format.empty())
        date_format = "%d/%m/%y";
    int year = v[0], month = v[1], day = v[2];
    return expand_format(date_format, [&](std::string &s, char d) {
        switch (d) {
        case 'd': two_digits(s, day); break;
        case 'm': two_digits(s, month); break;
        case 'y': two_digits(s, year); break;
        case 'Y':
            if (year >= 0 && year < 100) {
                s += year >= 35 ? "19" : "20";
                two_digits(s, year);
            } else {
                s += vformat("%d", year);
            }
            break;
        case 'B': s += month >= 1 && month <= 12 ? deflanginfo(month + 16) : ""; break;
        case 'b':
        case 'h': s += month >= 1 && month <= 12 ? deflanginfo(month + 28) : ""; break;
        default: break;
        }
    });
}

std::string format_time(const int16_t *v)
{
    if (time_format.empty())
        time_format = "%H:%M:%S";
    return expand_format(time_format, [&](std::string &s, char d) {
        switch (d) {
        case 'H': two_digits(s, v[0]); break;
        case 'M': two_digits(s, v[1]); break;
        case 'S': two_digits(s, v[2]); break;
        default: break;
        }
    });
}

std::string upper(const char *t)
{
    std::string s = t;
    for (char &c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

const char *sprint_data(const void *value, int width, int precision, int type)
{
    const int w = std::clamp(width, 0, MAX_WIDTH);
    if (!value) {
        out.assign(static_cast<size_t>(w), ' ');
        return out.c_str();
    }
    const auto *b = static_cast<const unsigned char *>(value);
    switch (type) {
    case DOZ_T_TINY: out = vformat("%*u", w, static_cast<unsigned>(*b)); break;
    case DOZ_T_SHORT: {
        int16_t x;
        memcpy(&x, b, 2);
        out = vformat("%*d", w, x);
        break;
    }
    case DOZ_T_LONG: {
        int32_t x;
        memcpy(&x, b, 4);
        out = vformat("%*d", w, x);
        break;
    }
    case DOZ_T_REAL: {
        double x;
        memcpy(&x, b, 8);
        out = format_real(x, w, precision);
        break;
    }
    case DOZ_T_SREAL: {
        float x;
        memcpy(&x, b, 4);
        out = format_real(x, w, precision);
        break;
    }
    case DOZ_T_COMPLEX: {
        double z[2];
        memcpy(z, b, 16);
        out = format_complex(z, w, precision);
        break;
    }
    case DOZ_T_STRING: {
        const char *t = reinterpret_cast<const char *>(b);
        if (!quoting) {
            out = vformat("%-*s", w, t);
        } else {
            out = "\"" + std::string(t) + "\"";
            if (static_cast<int>(out.size()) < w)
                out.append(static_cast<size_t>(w) - out.size(), ' ');
            out.resize(static_cast<size_t>(w));
        }
        break;
    }
    case DOZ_T_CHAR: {
        int g = std::max(quoting ? w - 3 : w - 1, 0);
        char c = *b ? static_cast<char>(*b) : ' ';
        out.assign(static_cast<size_t>(g / 2), ' ');
        if (quoting)
            out += std::string("'") + c + "'";
        else
            out += c;
        out.append(static_cast<size_t>(g - g / 2), ' ');
        break;
    }
    case DOZ_T_BOOL: out = centred(upper(deflanginfo(*b ? 43 : 44)), w); break;
    case DOZ_T_DATE: {
        int16_t v[3];
        memcpy(v, b, 6);
        out = centred(format_date(v), w);
        break;
    }
    case DOZ_T_TIME: {
        int16_t v[3];
        memcpy(v, b, 6);
        out = centred(format_time(v), w);
        break;
    }
    case DOZ_T_BLOB: {
        DozBlobDesc d;
        memcpy(&d, b, sizeof d);
        char name[DOZ_BLOB_NAME_SIZE];
        out = vformat("%-*s", w, doz_blob_name(&d, name));
        break;
    }
    default: out.assign(static_cast<size_t>(w), ' '); break;
    }
    return out.c_str();
}

static void set_format(std::string &to, const char *from)
{
    if (from)
        to.assign(from, strnlen(from, 24));
}

static void get_format(const std::string &from, char *to)
{
    if (to)
        snprintf(to, 25, "%s", from.c_str());
}

void set_date_time_format(const char *date, const char *time)
{
    set_format(date_format, date);
    set_format(time_format, time);
}

void get_date_time_format(char *date, char *time)
{
    get_format(date_format, date);
    get_format(time_format, time);
}

void set_complex_format(const char *format) { set_format(complex_format, format); }
void get_complex_format(char *format) { get_format(complex_format, format); }
void set_quoting(int on) { quoting = on != 0; }

char *doz_blob_name(const DozBlobDesc *desc, char *text)
{
    if (!text) {
        text = static_cast<char *>(malloc(DOZ_BLOB_NAME_SIZE));
        if (!text)
            return nullptr;
    }
    if (desc->id1 == 0) {
        snprintf(text, DOZ_BLOB_NAME_SIZE, "$%d", desc->id2);
        return text;
    }
    char a[8], b[8];
    int_base32(static_cast<uint32_t>(desc->id1), a, 0);
    int_base32(static_cast<uint32_t>(desc->id2), b, 0);
    snprintf(text, DOZ_BLOB_NAME_SIZE, "%.15s_%s_%s", desc->prefix, a, b);
    return text;
}

int doz_blob_size(const DozBlobDesc *desc) { return desc->size; }
int doz_blob_flags(const DozBlobDesc *desc) { return desc->flags; }
int doz_blob_subclass(const DozBlobDesc *desc) { return desc->subclass; }
void doz_set_blob_flags(DozBlobDesc *desc, int flags) { desc->flags = flags; }
void doz_set_blob_subclass(DozBlobDesc *desc, int subclass) { desc->subclass = subclass; }
