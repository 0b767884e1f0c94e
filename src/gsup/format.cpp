// Axis label formats.

#include "gsformat.h"
#include "vxutil.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

const int FORMAT_MAX = 79;

// The prepared format.
struct LabelFormat {
    int type = 3;
    int lablen = 80;
    int fieldlen = 0;
    int fraclen = -1;
    int tdunits = -1;
    int zoom = 0;
    bool hadv = false;
    int vpos = -1;  // offset of the value's "%s" in fmt, -1 none
    char fmt[FORMAT_MAX + 1] = "";
} lf;

int favour_date = -1;  // read on the first preparation
int julian_offset = 0;

const char *const month_names[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
const char *const month_abbrevs[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool is_time_type(int type) { return type == VT_DATE || type == VT_TIME || type == VT_DATETIME; }

// The date and time text that stands for a value directive.
const char *datetime_text(int unit, int type)
{
    switch (unit) {
    case 0: return "%Y";
    case 1: return "%d %b %y";
    case 2: return "%d %h";
    case 3: return favour_date ? "%H:%M %d %h" : "%H:%M";
    case 4: return favour_date ? "%H:%M:%S %d %h" : "%M:%S";
    case 5: return "%S";
    case 7: return "%d %b %y \n %H:%M:%S";
    case -1: return type == VT_DATE ? "%d %b %y" : type == VT_TIME ? "%H:%M:%S" : "%v";
    default: return "";
    }
}

// Appends whole characters while they fit in `cap` bytes.
void append(std::string &to, const char *text, size_t len, size_t cap)
{
    for (size_t i = 0; i < len;) {
        size_t n = static_cast<size_t>(mb_len(text + i));
        if (n > len - i)
            n = len - i;
        if (to.size() + n > cap)
            return;
        to.append(text + i, n);
        i += n;
    }
}

// The first `chars` characters of a text.
std::string cut_chars(const std::string &text, long chars)
{
    size_t i = 0;
    for (long c = 0; c < chars && i < text.size(); c++)
        i += static_cast<size_t>(mb_len(text.c_str() + i));
    return text.substr(0, i < text.size() ? i : text.size());
}

std::string trim_blanks(const std::string &s)
{
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

// Optional sign and digits.
bool read_number(const char *&p, long *value)
{
    const char *q = p;
    int sign = 1;
    if (*q == '+' || *q == '-')
        sign = *q++ == '-' ? -1 : 1;
    if (!ch_isdigit(static_cast<unsigned char>(*q)))
        return false;
    long v = 0;
    while (ch_isdigit(static_cast<unsigned char>(*q))) {
        if (v < 100000)
            v = v * 10 + (*q - '0');
        q++;
    }
    *value = sign * v;
    p = q;
    return true;
}

std::string printf_text(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string printf_text(const char *fmt, ...)
{
    char buf[1200];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0)
        return "";
    return std::string(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

int clamp_width(int w) { return w > 512 ? 512 : w < -512 ? -512 : w; }

// A real in w columns with p decimals; p -1 asks for the exponent form,
// and p shrinks so that the number fits the width.
std::string print_real(double x, int w, int p)
{
    if (!std::isfinite(x))
        return printf_text("%*s", w, std::isnan(x) ? "Nan" : x > 0 ? "+Inf" : "-Inf");
    int digits = 1;
    for (double a = std::fabs(x); a >= 10 && digits <= w; a /= 10)
        digits++;
    if (p > 0) {
        if (digits > w) {
            p = -1;
        } else {
            int excess = digits + p + 2 - w;
            if (excess > 0)
                p = p > excess ? p - excess : -1;
        }
    }
    if (p > 512)
        p = 512;
    if (p == -1) {
        int e = w - 7;
        e = e < 0 ? 0 : e > 13 ? 13 : e;
        return printf_text("%*.*e", w, e, x);
    }
    return printf_text("%*.*f", w, p, x);
}

std::string print_value(double x, int w, int p, int type)
{
    w = clamp_width(w);
    switch (type) {
    case VT_LONG:
    case VT_SHORT:
    case VT_TINY:
        if (x >= INT_MIN && x <= INT_MAX)
            return printf_text("%*d", w, static_cast<int>(x));
        return printf_text("%*.0f", w, x);
    default: return print_real(x, w, p);
    }
}

// The prepared format with the value in its slot.  The format is copied,
// not handed to printf: "%%" is one percent sign and any other directive
// the user typed stays as typed.
std::string through_format(const std::string &value)
{
    std::string out;
    const char *f = lf.fmt;
    int len = static_cast<int>(strlen(f));
    for (int i = 0; i < len;) {
        if (i == lf.vpos) {
            out += value;
            i += 2;
        } else if (f[i] == '%' && f[i + 1] == '%' && i + 1 != lf.vpos) {
            out += '%';
            i += 2;
        } else {
            int n = mb_len(f + i);
            out.append(f + i, static_cast<size_t>(n));
            i += n;
        }
    }
    return out;
}

// Leading blanks go first when a value is too long for its room.
std::string fit(std::string v, long room)
{
    if (room < 0)
        room = 0;
    long chars = mb_strlen(v.c_str());
    while (chars > room && !v.empty() && v[0] == ' ') {
        v.erase(0, 1);
        chars--;
    }
    return cut_chars(v, room);
}

}  // namespace

bool format_GIsScalar(int type) { return !(type == VT_STRING || type == VT_BOOL || type == VT_CHAR || type == VT_BLOB); }

bool format_GIsNumeric(int type)
{
    return type == VT_LONG || type == VT_SHORT || type == VT_REAL || type == VT_COMPLEX || type == VT_SHORTREAL ||
           type == VT_TINY;
}

bool format_GIsReal(int type) { return type == VT_REAL || type == VT_COMPLEX || type == VT_SHORTREAL; }

void format_set_julian_offset(int days) { julian_offset = days < 0 ? 0 : days; }

int format_GSetupLabelFormat(const char *user_format, int type, int label_length, int field_length,
                             int fraction_length, int time_unit)
{
    if (favour_date < 0)
        favour_date = getenv("VX_FAVOUR_DATE") != nullptr;
    lf.type = type;
    lf.lablen = label_length;
    lf.fieldlen = field_length;
    lf.tdunits = time_unit;
    lf.fraclen = format_GIsReal(type) ? fraction_length : 0;
    lf.zoom = 0;
    lf.hadv = false;
    lf.vpos = -1;

    std::string src;
    const char *user = user_format ? user_format : "";
    append(src, user, strlen(user), FORMAT_MAX);

    std::string out;
    bool width_given = false, prec_given = false;
    long width = 0, prec = 0;
    const char *p = src.c_str();
    while (*p) {
        if (!lf.hadv && *p == '%') {
            const char *start = p++;
            long w = 0, pr = 0;
            bool wg = read_number(p, &w), pg = false;
            if (*p == '.') {
                const char *dot = p++;
                pg = read_number(p, &pr);
                if (!pg)
                    p = dot + 1;
            }
            if (*p == 'v') {
                p++;
                lf.hadv = true;
                width_given = wg;
                width = w;
                prec_given = pg;
                prec = pr;
                if (is_time_type(type)) {
                    const char *t = datetime_text(time_unit, type);
                    append(out, t, strlen(t), FORMAT_MAX);
                } else if (out.size() + 2 <= FORMAT_MAX) {
                    lf.vpos = static_cast<int>(out.size());
                    out += "%s";
                }
                continue;
            }
            append(out, start, static_cast<size_t>(p - start), FORMAT_MAX);
            continue;
        }
        size_t n = static_cast<size_t>(mb_len(p));
        append(out, p, n, FORMAT_MAX);
        p += n;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (out.empty() && is_time_type(type)) {
        const char *t = datetime_text(time_unit, type);
        append(out, t, strlen(t), FORMAT_MAX);
    }
    memcpy(lf.fmt, out.c_str(), out.size() + 1);

    if (width_given && width > 0)
        lf.fieldlen = static_cast<int>(width);
    if (prec_given && prec >= -1)
        lf.fraclen = static_cast<int>(prec);
    if (lf.fraclen != 0 && format_GIsNumeric(lf.type))
        lf.type = VT_REAL;
    return 0;
}

void format_GSetupZoomLabelAdjustment(int adjustment)
{
    lf.zoom = adjustment;
    if (adjustment != 0 && format_GIsNumeric(lf.type))
        lf.type = VT_REAL;
}

void format_GFormatLabel(char *out, const void *value, int type)
{
    long room = lf.lablen - static_cast<long>(strlen(lf.fmt));
    std::string label;
    if (!format_GIsScalar(lf.type)) {
        std::string s = value ? static_cast<const char *>(value) : "";
        label = through_format(cut_chars(s, room < 0 ? 0 : room));
    } else if (lf.hadv && !is_time_type(lf.type)) {
        double x = value ? *static_cast<const double *>(value) : 0;
        int ptype;
        bool whole_only = false;
        if (lf.type == VT_LONG || lf.type == VT_SHORT || lf.type == VT_TINY) {
            whole_only = true;
            ptype = VT_LONG;
            x = std::round(x);  // half away from zero
        } else if (format_GIsReal(lf.type)) {
            ptype = VT_REAL;
        } else {
            ptype = type;
        }
        double raw = value ? *static_cast<const double *>(value) : 0;
        if (!(whole_only && raw != std::floor(raw))) {
            int w = lf.fieldlen + lf.zoom;
            int p = lf.fraclen == -1 ? -1 : lf.fraclen + lf.zoom;
            label = through_format(fit(print_value(x, w, p, ptype), room));
        }
    } else {
        double x = value ? *static_cast<const double *>(value) : 0;
        char buf[1024];
        format_timedate(buf, sizeof buf, lf.fmt, std::trunc(x), -1, lf.tdunits);
        label = buf;
    }
    label = trim_blanks(label);
    // out holds the label length plus a terminator.
    label = cut_chars(label, lf.lablen < 0 ? 0 : lf.lablen);
    while (static_cast<long>(label.size()) > (lf.lablen < 0 ? 0 : lf.lablen))
        label.pop_back();
    memcpy(out, label.c_str(), label.size() + 1);
}

void format_timedate(char *out, int out_size, const char *format, double value, int limit, int time_unit)
{
    (void)time_unit;
    if (out_size <= 0)
        return;
    out[0] = '\0';
    if (!(value > -9.0e18 && value < 9.0e18))
        return;
    time_t t = static_cast<time_t>(value);
    struct tm tm;
    if (!localtime_r(&t, &tm))
        return;
    std::string s;
    for (const char *p = format; *p;) {
        if (*p != '%') {
            int n = mb_len(p);
            s.append(p, static_cast<size_t>(n));
            p += n;
            continue;
        }
        char c = *++p;
        if (c == '\0')
            break;
        switch (c) {
        case '%': s += '%'; break;
        case 'B': s += month_names[tm.tm_mon]; break;
        case 'b':
        case 'h': s += month_abbrevs[tm.tm_mon]; break;
        case 'd': s += printf_text("%02d", tm.tm_mday); break;
        case 'H': s += printf_text("%02d", tm.tm_hour); break;
        case 'M': s += printf_text("%02d", tm.tm_min); break;
        case 'S': s += printf_text("%02d", tm.tm_sec); break;
        case 'j': s += printf_text("%03ld", static_cast<long>(tm.tm_yday) + julian_offset); break;
        case 'm': s += printf_text("%02d", tm.tm_mon + 1); break;
        case 'Y': s += printf_text("%04ld", tm.tm_year + 1900L); break;
        case 'y': s += printf_text("%02ld", std::labs((tm.tm_year + 1900L) % 100)); break;
        default: break;
        }
        p += mb_len(p);
    }
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    if (limit != -1)
        s = cut_chars(s, limit < 0 ? 0 : limit);
    s = cut_chars(s, out_size - 1);
    while (static_cast<int>(s.size()) > out_size - 1)
        s.pop_back();
    memcpy(out, s.c_str(), s.size() + 1);
}
