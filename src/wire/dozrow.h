// Row layout of the result buffer, shared by the client library's readers,
// the row packer and the query interpreter's result writer, so that both
// sides agree byte for byte.
//
// A row is a sequence of fields, one per column.  With presence bytes
// (FLAGS) each field starts with a byte 1 present / 0 null; padding then
// aligns the value to its type; a variable-length array keeps an int32
// count (aligned to 4) before its elements; the room of arrays is always
// taken in full.  Rows end padded to the row alignment, the largest
// alignment among their fields (at least 1, at most 8).  Without presence
// bytes (Simple mode) the same rule applies to the bare values.
#pragma once

#include "dozproto.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The alignment table, in this order: long, short, tiny, real (and
// complex), short real, string, presence byte and bool, char, date and
// time, blob, initial row alignment, largest row alignment.
extern const int32_t alignment_rec[12];

// Alignment and size of one element of a column's type; -1 for a type
// outside 0..11.  A string's element is its declared length + 1.
int doz_type_align(int type);
int doz_elem_size(const DozColDesc &col);

struct DozField {
    int type = 0;
    int presence = -1;  // offset of the presence byte; -1 without
    int count_at = -1;  // offset of a variable array's element count; -1 otherwise
    int value = 0;      // offset of the first element
    int elem_size = 0;
    int room = 1;       // elements of room: 1, or the array's n
    bool var = false;
};

struct DozLayout {
    std::vector<DozField> fields;
    int row_size = 0;
    int row_align = 1;
    bool flags = true;
};

// Largest row a layout may describe, and largest array room.
inline constexpr int DOZ_MAX_ROW = 1 << 24;
inline constexpr int DOZ_MAX_ELEMENTS = 32767;

// Lays out one row for the columns.  False (and `out` unusable) for a
// descriptor that names no type, an array of a type that has none, a
// negative string length, or a row beyond DOZ_MAX_ROW.
bool doz_layout(std::span<const DozColDesc> cols, bool flags, DozLayout &out);

// Bytes before the rows of a Full-mode buffer: the descriptor table with
// its terminator in the first buffer, a lone terminator in later ones.
inline int doz_header_bytes(int columns, bool first) { return first ? 64 * (columns + 1) : 64; }

// Writes the descriptor table with its terminator (first buffer) or the
// lone terminator (later buffers) at `buffer`.
void doz_put_table(unsigned char *buffer, std::span<const DozColDesc> cols, int row_align);
void doz_put_terminator(unsigned char *buffer, int row_align);

// Stores one field.  `elems` holds `count` elements (a string: the text,
// cut to the declared length); fixed arrays take min(count, room)
// elements, the rest of the room is zeroed; a variable array records
// min(count, room) as its count.  Without presence bytes `present` only
// chooses between the value and zeroes.
void doz_put(unsigned char *row, const DozField &f, const void *elems, int count, bool present);
// Reads one field: the elements, with their number and the presence.
const unsigned char *doz_get(const unsigned char *row, const DozField &f, int *count, bool *present);

// ---- dates and times in rows ---------------------------------------------

// A day number (days since 1970-01-01) as a row's date.
DozDate doz_date_from_days(int64_t days);
// A row's date as a day number; a year of one or two digits is taken as a
// full year (vxcal.h).  False for bytes that are no valid date.
bool doz_date_to_days(const DozDate &date, int64_t *days);
// Seconds since midnight (0-86399) as a row's time.
DozTime doz_time_from_seconds(int64_t seconds);
// A row's time as seconds since midnight; false for no valid time of day.
bool doz_time_to_seconds(const DozTime &time, int64_t *seconds);

// ---- the reader of one buffer ------------------------------------------

// A reader over one result buffer: where it starts, how many bytes may be
// read, the read position, the row alignment of the current table and the
// copy of the last descriptor table read (kept from buffer to buffer, as a
// later buffer of a result carries only a terminator).  Each owner of a
// buffer keeps its own reader; handlers are given the one of the buffer
// they are to read, so two readers never disturb each other.
struct DozReader;
// Makes `start` (of `size` bytes) the buffer read, cursor at its start;
// the table copy and the row alignment stay.  Returns `start`.
void *init_buffer(DozReader &r, void *start, size_t size);

struct DozReader {
    unsigned char *buffhandle = nullptr;  // start of the buffer
    unsigned char *buffer = nullptr;      // read position
    size_t buffsize = 0;                  // bytes that may be read
    int row_align = 1;
    std::vector<DozColDesc> tinfo;
    bool overrun = false;  // the last extraction ran past the end

    DozReader() = default;
    DozReader(void *start, size_t size) { init_buffer(*this, start, size); }
};

// Marks the buffer empty (-2 in its first int16), cursor at start.
void clear_buffer(DozReader &r);
// 1 when the buffer's first int16 is -2 (or there is no buffer).
int empty_buffer(const DozReader &r);
// Reads the head of a Full-mode buffer: the descriptor table (had_table 1,
// the table copy replaced) or a lone terminator (had_table 0, the previous
// table kept).  Leaves the cursor at the first row.  -1 for a head without
// a terminator inside the buffer or with a row alignment other than 1, 2,
// 4 or 8.
int prepare_buffer(DozReader &r, int *had_table);
// Moves the cursor to the next multiple of n from the buffer start.
void align(DozReader &r, int n);
void align_row(DozReader &r);
// The cursor, the bytes left behind it, the current row alignment and the
// copy of the last descriptor table read.
inline unsigned char *buffer_cursor(const DozReader &r) { return r.buffer; }
inline void set_buffer_cursor(DozReader &r, unsigned char *at) { r.buffer = at; }
size_t buffer_left(const DozReader &r);
inline int row_alignment(const DozReader &r) { return r.row_align; }
inline const std::vector<DozColDesc> &tinfo_table(const DozReader &r) { return r.tinfo; }
