// Transfer files: the request that describes one load or unload, and the
// codec of the file formats (fixed-width text, delimited text, native
// binary and the DFS binary layout).  Headless: the load and unload in the
// workspace drive these readers and writers, show the messages and talk
// to the interpreter.
//
// Column order is always the table's column order.  A column that is an
// array has one field per element; a variable-length array has one more
// field before them with its element count.
#pragma once

#include "dozproto.h"
#include "dozrow.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

// ---- the request -------------------------------------------------------------------

enum XferFormat : int { XFER_FIXED = 0, XFER_DELIMITED = 1, XFER_BINARY = 2, XFER_DFS = 99 };
enum XferTerminator : int { XFER_LF = 0, XFER_CR = 1, XFER_CRLF = 2, XFER_NONE = 3 };
enum XferDirection : int { XFER_LOAD = 0, XFER_UNLOAD = 1 };
enum XferMedium : int { XFER_FILE = 0, XFER_PIPE = 1 };

// The kind data of the transfer object (kind 12): 568 bytes, every integer
// a signed 32-bit word.
struct ObTransferData {
    int32_t kind;        // 12
    char table[12];      // a name beginning "RSLT" is the connection's result table
    int32_t direction;   // XferDirection
    int32_t medium;      // XferMedium: a pipe's path is a shell command
    char path[256];
    int32_t format;      // XferFormat
    char delimiter[12];  // the set of delimiter characters; may be empty
    int32_t terminator;  // XferTerminator
    int32_t overwrite;   // load: run with %OVERWRITE on
    int32_t name_row;    // the first row holds the column names
    int32_t use_where;   // unload: append the WHERE text
    char where[256];
};
static_assert(offsetof(ObTransferData, kind) == 0 && offsetof(ObTransferData, table) == 4 &&
              offsetof(ObTransferData, direction) == 16 && offsetof(ObTransferData, medium) == 20 &&
              offsetof(ObTransferData, path) == 24 && offsetof(ObTransferData, format) == 280 &&
              offsetof(ObTransferData, delimiter) == 284 && offsetof(ObTransferData, terminator) == 296 &&
              offsetof(ObTransferData, overwrite) == 300 && offsetof(ObTransferData, name_row) == 304 &&
              offsetof(ObTransferData, use_where) == 308 && offsetof(ObTransferData, where) == 312 &&
              sizeof(ObTransferData) == 568);

// The values a new request starts with: a load from the file "/tmp/file",
// delimited, no delimiter text, no row terminator, every switch off.
void xfer_default_request(ObTransferData *request);

// Size of one element of a type in the binary formats (a string: its
// length + 1; a blob: 81, its name); -1 for no type.
int xfer_binary_size(int type, int length);

// Width of a blob field in the fixed-width format, both ways; the most
// characters of a blob file name.
inline constexpr int XFER_BLOB_WIDTH = 80;
// Most characters kept of one delimited field.
inline constexpr int XFER_FIELD_MAX = 4096;
// The null marker of the numeric types.
inline constexpr int XFER_NULL_NUMBER = -9999;

// ---- writing (unload) ------------------------------------------------------------------

// One unload's output.  Writes never jump: the first refused write sets
// `failed` and every later write does nothing, so the caller closes the
// output once and aborts the query.
struct XferWriter {
    FILE *out = nullptr;
    const ObTransferData *request = nullptr;
    // 0 fine; XFER_WRITE_REFUSED (tell the user); XFER_WRITE_SILENT (a null
    // number or a DFS field was refused: result 34, no message).
    int failed = 0;
    long rows = 0;           // rows written (`input_count` of the unload)
    bool dfs_started = false;
};
enum : int { XFER_WRITE_REFUSED = 1, XFER_WRITE_SILENT = 2 };

// The unload's name list entry.
struct XferName {
    std::string name;
    int length = 0;
};

// The delimiter text, or one blank when it is empty.
void write_delimiter(XferWriter &w);
void write_row_terminator(XferWriter &w);
// The first row of names (text formats only; nothing in the binary ones).
void unload_colnames(XferWriter &w, std::span<const XferName> names);
// The comma-separated output's header: the descriptors' names between
// delimiters, a column named "PRINT" giving an empty name; then the
// terminator.  Seeks to the start of the file first.
void write_csv_header(XferWriter &w, std::span<const DozColDesc> columns);
// The DFS header line and record size.
void write_dfs_header(XferWriter &w, std::span<const DozColDesc> columns);
// The DFS record size of these columns.
int xfer_dfs_record_size(std::span<const DozColDesc> columns);
// One row at the reader's cursor (dozrow.h), described by the descriptor
// table; the cursor moves past the row's fields (the caller aligns it to
// the row).  No terminator is written.  -1 when the output failed.
int unload_row(XferWriter &w, DozReader &rows, std::span<const DozColDesc> columns);
// True when strings are quoted: the delimited format with a delimiter
// that is empty or begins with a blank.
bool xfer_quoting(const ObTransferData &request);

// ---- reading (load) ---------------------------------------------------------------------

// The load's column list entry.
struct XferColumn {
    std::string name;
    int type = 0;
    int length = 0;     // strings: characters; others: the fixed-width field width
    int precision = 0;
    int count = 0;      // elements: 0 single value, else the array's room
    bool var = false;   // a variable-length array of at most `count`
    int ndims = 0;
    bool null = true;   // admits nulls
};

// What one field read gave.
enum XferField : int { XFER_FIELD_NONE = 0, XFER_FIELD_TEXT = 1, XFER_FIELD_BYTES = 2 };

// The state of one input.  The field reader fills `text` (text formats)
// or `bytes` (binary ones).
struct XferReader {
    FILE *in = nullptr;
    const ObTransferData *request = nullptr;
    bool eof_input = false;  // the input ended
    bool eof_row = false;    // the row terminator was met
    bool last_item = false;  // the field being read is the last of its row
    bool got_any = false;    // the last field read took at least one character
    char text[XFER_FIELD_MAX + 1] = {};
    int text_len = 0;
    std::vector<unsigned char> bytes;
    // Environment switches (check_xfer_bcmode).
    bool read_partial_binary_arrays = false;
    bool nullarr = true;
};

// Reads one field of a type in the request's format.  Text formats leave
// the characters in `text` (XFER_FIELD_TEXT; XFER_FIELD_NONE for an empty
// field or when the input had ended); the binary format leaves `size`
// bytes in `bytes` (XFER_FIELD_BYTES; NONE when the input ended first).
// `length` is the column's declared length (a string's characters, the
// fixed-width field width).
int xfer_read_field(XferReader &r, int type, int length);

// Reads the environment switches XFER_LD_BINARR_PARTIAL and
// XFER_LD_ZERO_ARRAYS.
void check_xfer_bcmode(XferReader &r);

// One value read by read_data: null for a null or missing field.  Valid
// until the next read.
const void *read_data(XferReader &r, int type, int length);

// Reads and drops the name row (text formats).
void skip_colnames(XferReader &r, std::span<const XferColumn> columns);

// The blob file names of the rows packed since the last reset: the
// interpreter reads each file when the batch is written.
struct XferBlobs;
XferBlobs *xfer_blobs_new();
void xfer_blobs_reset(XferBlobs *blobs);
void xfer_blobs_free(XferBlobs *blobs);
int xfer_blobs_in_use(const XferBlobs *blobs);

// What load_row met.
enum XferRow : int {
    XFER_ROW_PACKED = 0,     // a whole row
    XFER_ROW_EMPTY = 1,      // the input ended before the row's first field
    XFER_ROW_TRUNCATED = 2,  // the input ended inside the row (rest null)
    XFER_ROW_SHORT = 3,      // the row terminator came before the last column
    XFER_ROW_NO_ROOM = 4,    // the row did not fit the buffer (nothing more packed)
};
// Reads one row and packs it at the cursor of `rows`, the reader over the
// buffer being filled (dsput_put), column by column; the caller aligns the
// cursor to the row.  Truncated and short rows are packed with nulls for
// their missing columns.
int load_row(XferReader &r, DozReader &rows, std::span<const XferColumn> columns, XferBlobs *blobs);

// The packed row size of the columns (the row packer's alignment walk).
int xfer_row_size(std::span<const XferColumn> columns);

// Flushes the output; -1 (and `failed` set) when it refused.
int xfer_flush(XferWriter &w);
