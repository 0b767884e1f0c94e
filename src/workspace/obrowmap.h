// The row the row editor holds: the open table's descriptor table, its row
// layout, and one row copied out of the result buffer, which the request's
// pointers lead into.  Nothing here talks to the interpreter; the editor
// (obrow.cpp) hands in what it delivered.
#pragma once

#include "dozrow.h"
#include "wsobj.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct ObRowHeld {
    std::vector<DozColDesc> tinfos;
    DozLayout layout;
    bool laid_out = false;
    // 8-aligned, as the start of the result buffer, so that the layout's
    // offsets align the same in both.
    std::vector<uint64_t> copy;

    unsigned char *row() { return reinterpret_cast<unsigned char *>(copy.data()); }
    size_t size() const { return laid_out ? static_cast<size_t>(layout.row_size) : 0; }
};

// Forgets the table and the row.
void obrow_held_clear(ObRowHeld &held);
// Lays out the row of held.tinfos and makes room for one (cleared) row.
// False, and nothing laid out, for more columns than the request holds, a
// descriptor no row can have, or a row longer than `buffer_size`.
bool obrow_held_lay_out(ObRowHeld &held, size_t buffer_size);
// Copies the first row of `delivered` bytes at `rows` into the held row;
// false, and nothing copied, when they hold less than a whole row.
bool obrow_held_copy_in(ObRowHeld &held, const void *rows, size_t delivered);
// Points the request at the fields of the held row: per column its
// presence byte, its first element, its element count and null flag;
// columns beyond the table's get no pointers, null and no elements.
void obrow_held_map(ObRowEditData *request, ObRowHeld &held);
// No row: the held row cleared, every value null without elements; the
// pointers lead into the cleared row, for an insert to fill.
void obrow_held_empty(ObRowEditData *request, ObRowHeld &held);
// Writes the request's null flags and the element counts of variable
// arrays into the held row.
void obrow_held_write_flags(const ObRowEditData *request, ObRowHeld &held);
