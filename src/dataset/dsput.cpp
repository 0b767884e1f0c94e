// Packing rows field by field at a reader's cursor, in the layout
// the interpreter writes (dozrow.h gives the alignments and sizes).

#include "dsput.h"

#include "dozrow.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

int row_size_acc = 0;
int row_align_acc = 1;

enum { AL_LONG = 0, AL_INIT = 10, AL_MAX = 11 };

int round_up(int x, int a) { return a <= 1 ? x : (x + a - 1) / a * a; }

bool has_arrays(int type)
{
    return type != DOZ_T_STRING && type != DOZ_T_BOOL && type != DOZ_T_CHAR && type != DOZ_T_BLOB;
}

int elem_size(int type, int length)
{
    DozColDesc d{};
    d.type = static_cast<int16_t>(type);
    d.width = static_cast<int16_t>(std::clamp(length, 0, 32767));
    return doz_elem_size(d);
}

}  // namespace

void dsput_clear_row_alignment()
{
    row_size_acc = 0;
    row_align_acc = alignment_rec[AL_INIT];
}

int dsput_acc_row_alignment(int type, int count)
{
    int al = doz_type_align(type);
    if (al < 0)
        return row_size_acc;
    int size = row_size_acc + 1;  // presence byte
    int n = 1;
    if (type == DOZ_T_STRING) {
        n = 1;
    } else if (has_arrays(type) && count != 0) {
        n = count < 0 ? -count : count;
        if (count < 0) {
            size = round_up(size, alignment_rec[AL_LONG]) + 4;
            row_align_acc = std::max(row_align_acc, alignment_rec[AL_LONG]);
        }
    }
    size = round_up(size, al) + elem_size(type, type == DOZ_T_STRING ? count : 0) * n;
    if (al <= alignment_rec[AL_MAX])
        row_align_acc = std::max(row_align_acc, al);
    row_size_acc = size;
    return size;
}

int dsput_final_row_size() { return round_up(row_size_acc, row_align_acc); }

int dsput_put(DozReader &r, int type, int count, int held, const void *data)
{
    int al = doz_type_align(type);
    if (al < 0)
        return 0;
    if (type == DOZ_T_STRING)
        count = std::max(count, 0);
    else if (!has_arrays(type))
        count = 0;
    const bool var = count < 0;
    const int room = count == 0 || type == DOZ_T_STRING ? 1 : (var ? -count : count);
    const int esize = elem_size(type, type == DOZ_T_STRING ? count : 0);

    // Find the field's extent first, so that nothing is written when it does
    // not fit.
    unsigned char *start = buffer_cursor(r);
    const size_t left = buffer_left(r);
    if (!start || left < 1)
        return -1;
    set_buffer_cursor(r, start + 1);
    unsigned char *count_at = nullptr;
    if (var) {
        align(r, alignment_rec[AL_LONG]);
        count_at = buffer_cursor(r);
        set_buffer_cursor(r, count_at + 4);
    }
    align(r, al);
    unsigned char *value = buffer_cursor(r);
    const size_t need = static_cast<size_t>(value - start) + static_cast<size_t>(esize) * room;
    if (need > left) {
        set_buffer_cursor(r, start);
        return -1;
    }

    *start = data ? 1 : 0;
    memset(start + 1, 0, need - 1);
    int n = room;
    if (var) {
        n = data ? std::clamp(held, 0, room) : 0;
        int32_t c = n;
        memcpy(count_at, &c, 4);
    }
    if (data) {
        if (type == DOZ_T_STRING)
            memcpy(value, data, strnlen(static_cast<const char *>(data), static_cast<size_t>(count)));
        else
            memcpy(value, data, static_cast<size_t>(esize) * n);
    }
    set_buffer_cursor(r, start + need);
    return 0;
}
