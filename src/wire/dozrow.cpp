// The row layout of the result buffer, row dates and times, and the
// reader of one buffer.

#include "dozrow.h"
#include "vxcal.h"

#include <algorithm>
#include <cstring>

const int32_t alignment_rec[12] = {4, 2, 1, 8, 4, 1, 1, 1, 2, 4, 1, 8};

enum { AL_LONG, AL_SHORT, AL_TINY, AL_REAL, AL_SREAL, AL_STRING, AL_FLAG, AL_CHAR, AL_DATE, AL_BLOB, AL_INIT, AL_MAX };

int doz_type_align(int type)
{
    switch (type) {
    case DOZ_T_STRING: return alignment_rec[AL_STRING];
    case DOZ_T_LONG: return alignment_rec[AL_LONG];
    case DOZ_T_SHORT: return alignment_rec[AL_SHORT];
    case DOZ_T_REAL:
    case DOZ_T_COMPLEX: return alignment_rec[AL_REAL];
    case DOZ_T_DATE:
    case DOZ_T_TIME: return alignment_rec[AL_DATE];
    case DOZ_T_BOOL: return alignment_rec[AL_FLAG];
    case DOZ_T_CHAR: return alignment_rec[AL_CHAR];
    case DOZ_T_SREAL: return alignment_rec[AL_SREAL];
    case DOZ_T_TINY: return alignment_rec[AL_TINY];
    case DOZ_T_BLOB: return alignment_rec[AL_BLOB];
    default: return -1;
    }
}

int doz_elem_size(const DozColDesc &col)
{
    switch (col.type) {
    case DOZ_T_STRING: return col.width < 0 ? -1 : col.width + 1;
    case DOZ_T_LONG: return 4;
    case DOZ_T_SHORT: return 2;
    case DOZ_T_REAL: return 8;
    case DOZ_T_DATE:
    case DOZ_T_TIME: return 6;
    case DOZ_T_COMPLEX: return 16;
    case DOZ_T_BOOL:
    case DOZ_T_CHAR:
    case DOZ_T_TINY: return 1;
    case DOZ_T_SREAL: return 4;
    case DOZ_T_BLOB: return 36;
    default: return -1;
    }
}

static bool has_arrays(int type)
{
    return type != DOZ_T_STRING && type != DOZ_T_BOOL && type != DOZ_T_CHAR && type != DOZ_T_BLOB;
}

static int pad_to(int at, int n) { return (at + n - 1) / n * n; }

bool doz_layout(std::span<const DozColDesc> cols, bool flags, DozLayout &out)
{
    out.fields.clear();
    out.flags = flags;
    int at = 0;
    int row_align = alignment_rec[AL_INIT];
    for (const DozColDesc &c : cols) {
        DozField f;
        f.type = c.type;
        int al = doz_type_align(c.type);
        f.elem_size = doz_elem_size(c);
        if (al < 0 || f.elem_size < 0)
            return false;
        if (c.count != 0 && (!has_arrays(c.type) || c.count < -DOZ_MAX_ELEMENTS || c.count > DOZ_MAX_ELEMENTS))
            return false;
        f.var = c.count < 0;
        f.room = c.count == 0 ? 1 : (c.count < 0 ? -c.count : c.count);
        if (flags)
            f.presence = at++;
        if (f.var) {
            at = pad_to(at, alignment_rec[AL_LONG]);
            f.count_at = at;
            at += 4;
            row_align = std::max(row_align, alignment_rec[AL_LONG]);
        }
        at = pad_to(at, al);
        f.value = at;
        at += f.elem_size * f.room;
        if (al <= alignment_rec[AL_MAX])
            row_align = std::max(row_align, al);
        if (at > DOZ_MAX_ROW)
            return false;
        out.fields.push_back(f);
    }
    out.row_align = row_align;
    out.row_size = pad_to(at, row_align);
    return true;
}

void doz_put_terminator(unsigned char *buffer, int row_align)
{
    DozColDesc end{};
    end.type = DOZ_T_END;
    end.precision = static_cast<int16_t>(row_align);
    memcpy(buffer, &end, sizeof end);
}

void doz_put_table(unsigned char *buffer, std::span<const DozColDesc> cols, int row_align)
{
    if (!cols.empty())
        memcpy(buffer, cols.data(), cols.size() * sizeof(DozColDesc));
    doz_put_terminator(buffer + cols.size() * sizeof(DozColDesc), row_align);
}

void doz_put(unsigned char *row, const DozField &f, const void *elems, int count, bool present)
{
    if (f.presence >= 0)
        row[f.presence] = present ? 1 : 0;
    unsigned char *v = row + f.value;
    size_t room = static_cast<size_t>(f.elem_size) * f.room;
    memset(v, 0, room);
    int n = present && elems ? std::clamp(count, 0, f.room) : 0;
    if (f.count_at >= 0) {
        int32_t c = n;
        memcpy(row + f.count_at, &c, 4);
    }
    if (n == 0)
        return;
    if (f.type == DOZ_T_STRING) {
        const char *text = static_cast<const char *>(elems);
        size_t len = strnlen(text, static_cast<size_t>(f.elem_size - 1));
        memcpy(v, text, len);
        return;
    }
    memcpy(v, elems, static_cast<size_t>(f.elem_size) * n);
}

const unsigned char *doz_get(const unsigned char *row, const DozField &f, int *count, bool *present)
{
    bool p = f.presence < 0 || row[f.presence] != 0;
    int n = f.room;
    if (f.count_at >= 0) {
        int32_t c;
        memcpy(&c, row + f.count_at, 4);
        n = std::clamp<int>(c, 0, f.room);
    }
    if (present)
        *present = p;
    if (count)
        *count = p ? n : 0;
    return row + f.value;
}

// ---- the reader of one buffer -------------------------------------------

void *init_buffer(DozReader &r, void *start, size_t size)
{
    r.buffhandle = r.buffer = static_cast<unsigned char *>(start);
    r.buffsize = start ? size : 0;
    return start;
}

void clear_buffer(DozReader &r)
{
    if (!r.buffhandle || r.buffsize < 2)
        return;
    int16_t mark = DOZ_EMPTY_MARK;
    memcpy(r.buffhandle, &mark, 2);
    r.buffer = r.buffhandle;
}

int empty_buffer(const DozReader &r)
{
    if (!r.buffhandle || r.buffsize < 2)
        return 1;
    int16_t first;
    memcpy(&first, r.buffhandle, 2);
    return first == DOZ_EMPTY_MARK ? 1 : 0;
}

int prepare_buffer(DozReader &r, int *had_table)
{
    if (had_table)
        *had_table = 0;
    if (!r.buffhandle)
        return -1;
    size_t entries = r.buffsize / sizeof(DozColDesc);
    size_t n = 0;
    DozColDesc d;
    for (;; n++) {
        if (n >= entries)
            return -1;
        memcpy(&d, r.buffhandle + n * sizeof d, sizeof d);
        if (d.type == DOZ_T_END)
            break;
    }
    int al = d.precision;
    if (al != 1 && al != 2 && al != 4 && al != 8)
        return -1;
    if (n > 0) {
        r.tinfo.assign(n + 1, DozColDesc{});
        memcpy(r.tinfo.data(), r.buffhandle, (n + 1) * sizeof(DozColDesc));
        r.tinfo.pop_back();  // the copy keeps the columns; the terminator is implied
        for (DozColDesc &c : r.tinfo)
            c.name[sizeof c.name - 1] = '\0';
        if (had_table)
            *had_table = 1;
    }
    r.row_align = al;
    r.buffer = r.buffhandle + (n + 1) * sizeof(DozColDesc);
    align(r, r.row_align);
    return 0;
}

void align(DozReader &r, int n)
{
    if (n <= 1 || !r.buffhandle)
        return;
    size_t off = static_cast<size_t>(r.buffer - r.buffhandle);
    size_t rem = (n & (n - 1)) == 0 ? off & static_cast<size_t>(n - 1) : off % static_cast<size_t>(n);
    if (rem)
        r.buffer += n - rem;
}

void align_row(DozReader &r) { align(r, r.row_align); }

size_t buffer_left(const DozReader &r)
{
    size_t off = static_cast<size_t>(r.buffer - r.buffhandle);
    return off >= r.buffsize ? 0 : r.buffsize - off;
}

// ---- dates and times in rows ---------------------------------------------

DozDate doz_date_from_days(int64_t days)
{
    int y, m, d;
    cal_civil_from_days(days, y, m, d);
    return DozDate{static_cast<int16_t>(y), static_cast<int16_t>(m), static_cast<int16_t>(d)};
}

bool doz_date_to_days(const DozDate &date, int64_t *days)
{
    int y = date.year < 100 && date.year >= 0 ? cal_full_year(date.year) : date.year;
    if (!cal_valid_date(y, date.month, date.day))
        return false;
    *days = cal_days_from_civil(y, static_cast<unsigned>(date.month), static_cast<unsigned>(date.day));
    return true;
}

DozTime doz_time_from_seconds(int64_t s)
{
    return DozTime{static_cast<int16_t>(s / 3600), static_cast<int16_t>(s / 60 % 60), static_cast<int16_t>(s % 60)};
}

bool doz_time_to_seconds(const DozTime &t, int64_t *seconds)
{
    if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
        return false;
    *seconds = t.hour * 3600 + t.minute * 60 + t.second;
    return true;
}
