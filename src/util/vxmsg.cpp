// Typed catalogue messages: formatting with checked conversions.

#include "vxmsg.h"

#include "vxcat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

bool vx_format_signature(const char *format, std::string &signature)
{
    signature.clear();
    if (!format)
        return true;
    // Positional ("%2$s") and sequential conversions may not be mixed, as
    // printf requires; positional ones are put back in argument order.
    std::map<int, char> positional;
    bool any_positional = false, any_sequential = false;
    for (const char *p = format; *p; p++) {
        if (*p != '%')
            continue;
        p++;
        if (*p == '%')
            continue;
        if (!*p)
            return false;
        int position = 0;
        {
            const char *q = p;
            int n = 0;
            while (*q >= '0' && *q <= '9')
                n = n * 10 + (*q++ - '0');
            if (*q == '$' && q != p) {
                if (n < 1 || n > 64)
                    return false;
                position = n;
                p = q + 1;
            }
        }
        auto add = [&](char cls, int pos) {
            if (pos) {
                any_positional = true;
                auto [it, fresh] = positional.emplace(pos, cls);
                return fresh || it->second == cls;
            }
            any_sequential = true;
            signature.push_back(cls);
            return true;
        };
        while (strchr("-+ #0'", *p) && *p)
            p++;
        if (*p == '*') {
            p++;
            int n = 0;
            const char *q = p;
            while (*q >= '0' && *q <= '9')
                n = n * 10 + (*q++ - '0');
            if (*q == '$' && q != p) {
                if (!add('d', n))
                    return false;
                p = q + 1;
            } else if (!add('d', 0)) {
                return false;
            }
        } else {
            while (*p >= '0' && *p <= '9')
                p++;
        }
        if (*p == '.') {
            p++;
            if (*p == '*') {
                p++;
                if (!add('d', 0))
                    return false;
            } else {
                while (*p >= '0' && *p <= '9')
                    p++;
            }
        }
        int longs = 0;
        bool shorts = false;
        while (*p == 'l' || *p == 'h') {
            if (*p == 'l')
                longs++;
            else
                shorts = true;
            p++;
        }
        if (longs && shorts)
            return false;
        char cls;
        switch (*p) {
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
            cls = longs ? 'l' : 'd';
            break;
        case 'c':
            if (longs || shorts)
                return false;
            cls = 'd';
            break;
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
            if (shorts || longs > 1)
                return false;
            cls = 'f';
            break;
        case 's':
            if (longs || shorts)
                return false;
            cls = 's';
            break;
        case 'p':
            cls = 'p';
            break;
        default:
            return false;  // %n, wide strings, unknown conversions
        }
        if (!add(cls, position))
            return false;
    }
    if (any_positional) {
        if (any_sequential)
            return false;
        int expect = 1;
        for (auto &[pos, cls] : positional) {
            if (pos != expect++)
                return false;  // a gap leaves an argument's type unknown
            signature.push_back(cls);
        }
    }
    return true;
}

const char *vx_msg_text(nl_catd cd, int set, int number, const char *fallback)
{
    const char *text = nl_catgets(cd, set, number);
    if (!*text && fallback)
        return fallback;
    return text;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
std::string vx_msg_vformat(const char *text, ...)
{
    va_list ap, ap2;
    va_start(ap, text);
    va_copy(ap2, ap);
    int n = vsnprintf(nullptr, 0, text, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        vsnprintf(out.data(), out.size(), text, ap2);
        out.resize(static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}
#pragma GCC diagnostic pop
