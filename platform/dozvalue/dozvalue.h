// The DOZ value type: type codes, scalar elements, values (single, fixed
// or variable arrays), the column descriptor of a result set and the makers
// of single values.  Shared by the storage layer and the statement engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace doz {

// Value type codes, as they travel in column descriptors.
enum Type : int {
    UNTYPED = -1,  // a bare NULL, or a variable created without a value
    STRING = 0,
    LONG = 1,
    SHORT = 2,
    REAL = 3,
    DATE = 4,
    TIME = 5,
    COMPLEX = 6,
    BOOL = 7,
    CHAR = 8,
    SHORTREAL = 9,
    BYTE = 10,
    BLOB = 11,
};
inline constexpr int TYPE_COUNT = 12;

// Longest string value and declared string length.
inline constexpr int MAX_STRING = 4096;
// Most elements an array value may hold.
inline constexpr int MAX_ELEMENTS = 32767;

// One scalar.  LONG, SHORT, BYTE, BOOL and CHAR use i; DATE holds days
// since 1970-01-01 in i and TIME seconds since midnight; REAL and
// SHORTREAL use r; COMPLEX uses r and im.
struct Elem {
    int64_t i = 0;
    double r = 0.0;
    double im = 0.0;
};

// A value of any type: single, fixed array or variable-length array.
struct Value {
    int type = UNTYPED;
    bool null = true;
    // 0 single; n > 0 a fixed array of n elements; -n a variable-length
    // array with room for n elements.
    int32_t count = 0;
    // STRING: the declared length (the field holds len + 1 bytes);
    // BLOB: the class.
    int len = 0;
    // A fixed array's dimensions (their product is count); empty means
    // one dimension.
    std::vector<int32_t> dims;
    std::string s;        // STRING text
    std::vector<Elem> e;  // single: one element; fixed: count; variable: the current length

    bool is_array() const { return count != 0; }
    bool is_var() const { return count < 0; }
    int capacity() const { return count < 0 ? -count : count; }
};

// dst = src, into the storage dst already has: the parts both leave
// empty are not touched, and a single element is copied in place.
inline void assign(Value &dst, const Value &src)
{
    dst.type = src.type;
    dst.null = src.null;
    dst.count = src.count;
    dst.len = src.len;
    if (!dst.dims.empty() || !src.dims.empty())
        dst.dims = src.dims;
    if (!dst.s.empty() || !src.s.empty())
        dst.s = src.s;
    if (dst.e.size() == 1 && src.e.size() == 1)
        dst.e[0] = src.e[0];
    else
        dst.e = src.e;
}

// Makers of single values.
Value make_null(int type, int len = 0);
Value make_long(int64_t v, int type = LONG);
Value make_real(double v, int type = REAL);
Value make_complex(double re, double im);
Value make_bool(bool v);
Value make_char(char c);
Value make_string(std::string_view s, int declared = -1);

// One column of a result set, as the descriptor table describes it.
struct Column {
    int16_t type = STRING;
    int16_t width = 0;       // string: declared length; blob: class; else print width
    int16_t precision = -1;  // string: display width (-1 = length); else precision (-1 = default)
    int32_t count = 0;       // 0 single, n fixed, -n variable
    std::string name;
};

}  // namespace doz
