// Extraction of the fields of result rows at a reader's cursor.

#include "dozrow.h"
#include "dozvalue.h"

#include <cstring>

namespace {

// Moves the cursor on by `n` bytes; false (cursor at the end) when they
// are not there.
bool take(DozReader &r, size_t n)
{
    if (n > buffer_left(r)) {
        r.buffer += buffer_left(r);
        r.overrun = true;
        return false;
    }
    r.buffer += n;
    return true;
}

const void *single(DozReader &r, int alignment, size_t elem, int count)
{
    int flag = extract_flag(r, alignment);
    const unsigned char *at = buffer_cursor(r);
    if (!take(r, elem * static_cast<size_t>(count < 1 ? 1 : count)))
        return nullptr;
    return flag ? at : nullptr;
}

const void *variable(DozReader &r, int alignment, size_t elem, int max, int *count)
{
    int flag = extract_flag(r, alignment_rec[0]);
    int32_t n = 0;
    const unsigned char *at = buffer_cursor(r);
    if (!take(r, 4)) {
        *count = 0;
        return nullptr;
    }
    memcpy(&n, at, 4);
    align(r, alignment);
    const unsigned char *elems = buffer_cursor(r);
    if (!take(r, elem * static_cast<size_t>(max < 0 ? 0 : max))) {
        *count = 0;
        return nullptr;
    }
    *count = n < 0 ? 0 : (n > max ? max : n);
    return flag && *count > 0 ? elems : nullptr;
}

}  // namespace

int extract_flag(DozReader &r, int alignment)
{
    r.overrun = false;
    const unsigned char *at = buffer_cursor(r);
    if (!take(r, 1))
        return 0;
    int flag = *at;
    if (alignment > 1)
        align(r, alignment);
    return flag;
}

const void *extract_string(DozReader &r, int length) { return single(r, 1, static_cast<size_t>(length < 0 ? 0 : length) + 1, 1); }
const void *extract_long(DozReader &r, int count) { return single(r, alignment_rec[0], 4, count); }
const void *extract_varlong(DozReader &r, int max, int *count) { return variable(r, alignment_rec[0], 4, max, count); }
const void *extract_short(DozReader &r, int count) { return single(r, alignment_rec[1], 2, count); }
const void *extract_varshort(DozReader &r, int max, int *count) { return variable(r, alignment_rec[1], 2, max, count); }
const void *extract_real(DozReader &r, int count) { return single(r, alignment_rec[3], 8, count); }
const void *extract_varreal(DozReader &r, int max, int *count) { return variable(r, alignment_rec[3], 8, max, count); }
const void *extract_date(DozReader &r, int count) { return single(r, alignment_rec[8], 6, count); }
const void *extract_vardate(DozReader &r, int max, int *count) { return variable(r, alignment_rec[0], 6, max, count); }
const void *extract_time(DozReader &r, int count) { return single(r, alignment_rec[8], 6, count); }
const void *extract_vartime(DozReader &r, int max, int *count) { return variable(r, alignment_rec[0], 6, max, count); }
const void *extract_complex(DozReader &r, int count) { return single(r, alignment_rec[3], 16, count); }
const void *extract_varcomplex(DozReader &r, int max, int *count) { return variable(r, alignment_rec[3], 16, max, count); }
const void *extract_bool(DozReader &r) { return single(r, 1, 1, 1); }
const void *extract_char(DozReader &r) { return single(r, 1, 1, 1); }
const void *extract_shortreal(DozReader &r, int count) { return single(r, alignment_rec[4], 4, count); }
const void *extract_varshortreal(DozReader &r, int max, int *count) { return variable(r, alignment_rec[4], 4, max, count); }
const void *extract_tiny(DozReader &r, int count) { return single(r, 1, 1, count); }
const void *extract_vartiny(DozReader &r, int max, int *count) { return variable(r, 1, 1, max, count); }
const void *extract_blob(DozReader &r) { return single(r, alignment_rec[9], 36, 1); }

const void *extract(DozReader &r, const DozColDesc &col, int *count)
{
    int n = col.count;
    int dummy;
    if (!count)
        count = &dummy;
    *count = n == 0 ? 1 : (n < 0 ? -n : n);
    bool var = n < 0;
    int max = -n;
    switch (col.type) {
    case DOZ_T_STRING: return extract_string(r, col.width);
    case DOZ_T_LONG: return var ? extract_varlong(r, max, count) : extract_long(r, n);
    case DOZ_T_SHORT: return var ? extract_varshort(r, max, count) : extract_short(r, n);
    case DOZ_T_REAL: return var ? extract_varreal(r, max, count) : extract_real(r, n);
    case DOZ_T_DATE: return var ? extract_vardate(r, max, count) : extract_date(r, n);
    case DOZ_T_TIME: return var ? extract_vartime(r, max, count) : extract_time(r, n);
    case DOZ_T_COMPLEX: return var ? extract_varcomplex(r, max, count) : extract_complex(r, n);
    case DOZ_T_BOOL: return extract_bool(r);
    case DOZ_T_CHAR: return extract_char(r);
    case DOZ_T_SREAL: return var ? extract_varshortreal(r, max, count) : extract_shortreal(r, n);
    case DOZ_T_TINY: return var ? extract_vartiny(r, max, count) : extract_tiny(r, n);
    case DOZ_T_BLOB: return extract_blob(r);
    default: r.overrun = true; return nullptr;
    }
}
