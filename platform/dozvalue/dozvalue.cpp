// Makers of single values.

#include "dozvalue.h"

namespace doz {

Value make_null(int type, int len)
{
    Value v;
    v.type = type;
    v.len = len;
    return v;
}

Value make_long(int64_t x, int type)
{
    Value v;
    v.type = type;
    v.null = false;
    v.e.resize(1);
    v.e[0].i = x;
    return v;
}

Value make_real(double x, int type)
{
    Value v;
    v.type = type;
    v.null = false;
    v.e.resize(1);
    v.e[0].r = type == SHORTREAL ? static_cast<double>(static_cast<float>(x)) : x;
    return v;
}

Value make_complex(double re, double im)
{
    Value v = make_real(re, COMPLEX);
    v.e[0].im = im;
    return v;
}

Value make_bool(bool b) { return make_long(b ? 1 : 0, BOOL); }
Value make_char(char c) { return make_long(static_cast<unsigned char>(c), CHAR); }

Value make_string(std::string_view s, int declared)
{
    Value v;
    v.type = STRING;
    v.null = false;
    v.s = std::string(s);
    v.len = declared < 0 ? static_cast<int>(s.size()) : declared;
    return v;
}

}  // namespace doz
