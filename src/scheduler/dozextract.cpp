// Extraction of the fields of result rows at the reading cursor.

#include "dozrow.h"
#include "dozvalue.h"

#include <cstring>

namespace {

bool overrun = false;

// Moves the cursor on by `n` bytes; false (cursor at the end) when they
// are not there.
bool take(size_t n)
{
    if (n > buffer_left()) {
        set_buffer_cursor(buffer_cursor() + buffer_left());
        overrun = true;
        return false;
    }
    set_buffer_cursor(buffer_cursor() + n);
    return true;
}

const void *single(int alignment, size_t elem, int count)
{
    int flag = extract_flag(alignment);
    const unsigned char *at = buffer_cursor();
    if (!take(elem * static_cast<size_t>(count < 1 ? 1 : count)))
        return nullptr;
    return flag ? at : nullptr;
}

const void *variable(int alignment, size_t elem, int max, int *count)
{
    int flag = extract_flag(alignment_rec[0]);
    int32_t n = 0;
    const unsigned char *at = buffer_cursor();
    if (!take(4)) {
        *count = 0;
        return nullptr;
    }
    memcpy(&n, at, 4);
    align(alignment);
    const unsigned char *elems = buffer_cursor();
    if (!take(elem * static_cast<size_t>(max < 0 ? 0 : max))) {
        *count = 0;
        return nullptr;
    }
    *count = n < 0 ? 0 : (n > max ? max : n);
    return flag && *count > 0 ? elems : nullptr;
}

}  // namespace

bool extract_overrun() { return overrun; }

int extract_flag(int alignment)
{
    overrun = false;
    const unsigned char *at = buffer_cursor();
    if (!take(1))
        return 0;
    int flag = *at;
    if (alignment > 1)
        align(alignment);
    return flag;
}

const void *extract_string(int length) { return single(1, static_cast<size_t>(length < 0 ? 0 : length) + 1, 1); }
const void *extract_long(int count) { return single(alignment_rec[0], 4, count); }
const void *extract_varlong(int max, int *count) { return variable(alignment_rec[0], 4, max, count); }
const void *extract_short(int count) { return single(alignment_rec[1], 2, count); }
const void *extract_varshort(int max, int *count) { return variable(alignment_rec[1], 2, max, count); }
const void *extract_real(int count) { return single(alignment_rec[3], 8, count); }
const void *extract_varreal(int max, int *count) { return variable(alignment_rec[3], 8, max, count); }
const void *extract_date(int count) { return single(alignment_rec[8], 6, count); }
const void *extract_vardate(int max, int *count) { return variable(alignment_rec[0], 6, max, count); }
const void *extract_time(int count) { return single(alignment_rec[8], 6, count); }
const void *extract_vartime(int max, int *count) { return variable(alignment_rec[0], 6, max, count); }
const void *extract_complex(int count) { return single(alignment_rec[3], 16, count); }
const void *extract_varcomplex(int max, int *count) { return variable(alignment_rec[3], 16, max, count); }
const void *extract_bool() { return single(1, 1, 1); }
const void *extract_char() { return single(1, 1, 1); }
const void *extract_shortreal(int count) { return single(alignment_rec[4], 4, count); }
const void *extract_varshortreal(int max, int *count) { return variable(alignment_rec[4], 4, max, count); }
const void *extract_tiny(int count) { return single(1, 1, count); }
const void *extract_vartiny(int max, int *count) { return variable(1, 1, max, count); }
const void *extract_blob() { return single(alignment_rec[9], 36, 1); }

const void *extract(const DozColDesc &col, int *count)
{
    int n = col.count;
    int dummy;
    if (!count)
        count = &dummy;
    *count = n == 0 ? 1 : (n < 0 ? -n : n);
    bool var = n < 0;
    int max = -n;
    switch (col.type) {
    case DOZ_T_STRING: return extract_string(col.width);
    case DOZ_T_LONG: return var ? extract_varlong(max, count) : extract_long(n);
    case DOZ_T_SHORT: return var ? extract_varshort(max, count) : extract_short(n);
    case DOZ_T_REAL: return var ? extract_varreal(max, count) : extract_real(n);
    case DOZ_T_DATE: return var ? extract_vardate(max, count) : extract_date(n);
    case DOZ_T_TIME: return var ? extract_vartime(max, count) : extract_time(n);
    case DOZ_T_COMPLEX: return var ? extract_varcomplex(max, count) : extract_complex(n);
    case DOZ_T_BOOL: return extract_bool();
    case DOZ_T_CHAR: return extract_char();
    case DOZ_T_SREAL: return var ? extract_varshortreal(max, count) : extract_shortreal(n);
    case DOZ_T_TINY: return var ? extract_vartiny(max, count) : extract_tiny(n);
    case DOZ_T_BLOB: return extract_blob();
    default: overrun = true; return nullptr;
    }
}
