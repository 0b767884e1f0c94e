// The row the row editor holds.

#include "obrowmap.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

// The request's fields in the order the form reads them (64-bit layout).
static_assert(sizeof(void *) != 8 ||
              (offsetof(ObRowEditData, kind) == 0 && offsetof(ObRowEditData, table) == 4 &&
               offsetof(ObRowEditData, columns) == 16 && offsetof(ObRowEditData, request) == 24 &&
               offsetof(ObRowEditData, append_ok) == 28 && offsetof(ObRowEditData, update_ok) == 32 &&
               offsetof(ObRowEditData, status) == 36 && offsetof(ObRowEditData, search_mode) == 40 &&
               offsetof(ObRowEditData, condition) == 44 && offsetof(ObRowEditData, values) == 304 &&
               offsetof(ObRowEditData, lengths) == 2704 && offsetof(ObRowEditData, nulls) == 3904 &&
               offsetof(ObRowEditData, presence) == 5104 && sizeof(ObRowEditData) == 7504));

void obrow_held_clear(ObRowHeld &held)
{
    held.tinfos.clear();
    held.layout = DozLayout{};
    held.laid_out = false;
    held.copy.clear();
}

bool obrow_held_lay_out(ObRowHeld &held, size_t buffer_size)
{
    held.laid_out = false;
    held.copy.clear();
    // The request has room for OB_ROW_COLUMNS columns; a wider table (a
    // stale dictionary let it through) is never mapped.
    if (held.tinfos.empty() || held.tinfos.size() > static_cast<size_t>(OB_ROW_COLUMNS) ||
        !doz_layout(held.tinfos, true, held.layout) || held.layout.row_size <= 0 ||
        static_cast<size_t>(held.layout.row_size) > buffer_size)
        return false;
    held.laid_out = true;
    held.copy.assign((static_cast<size_t>(held.layout.row_size) + 7) / 8, 0);
    return true;
}

bool obrow_held_copy_in(ObRowHeld &held, const void *rows, size_t delivered)
{
    const size_t size = held.size();
    if (size == 0 || !rows || size > delivered)
        return false;
    memcpy(held.row(), rows, size);
    return true;
}

void obrow_held_map(ObRowEditData *r, ObRowHeld &held)
{
    const size_t n = held.laid_out ? held.layout.fields.size() : 0;
    unsigned char *row = held.row();
    for (size_t i = 0; i < static_cast<size_t>(OB_ROW_COLUMNS); i++) {
        if (i < n) {
            const DozField &f = held.layout.fields[i];
            int count = 0;
            bool present = false;
            doz_get(row, f, &count, &present);
            r->presence[i] = row + f.presence;
            r->values[i] = row + f.value;
            r->nulls[i] = present ? 0 : 1;
            r->lengths[i] = count;
        } else {
            r->presence[i] = nullptr;
            r->values[i] = nullptr;
            r->nulls[i] = 1;
            r->lengths[i] = 0;
        }
    }
}

void obrow_held_empty(ObRowEditData *r, ObRowHeld &held)
{
    std::fill(held.copy.begin(), held.copy.end(), 0);
    obrow_held_map(r, held);
    for (int i = 0; i < OB_ROW_COLUMNS; i++) {
        r->nulls[i] = 1;
        r->lengths[i] = 0;
    }
}

void obrow_held_write_flags(const ObRowEditData *r, ObRowHeld &held)
{
    if (!held.laid_out)
        return;
    unsigned char *row = held.row();
    for (size_t i = 0; i < held.layout.fields.size(); i++) {
        const DozField &f = held.layout.fields[i];
        const bool present = r->nulls[i] == 0;
        if (f.presence >= 0)
            row[f.presence] = present ? 1 : 0;
        if (f.count_at >= 0) {
            const int32_t count = present ? std::clamp(r->lengths[i], 0, f.room) : 0;
            memcpy(row + f.count_at, &count, sizeof count);
        }
    }
}
