// The load's side of the codec: values from fields, the name row, the
// rules that make a value null, and the packing of one row into the result
// buffer in the interpreter's layout.

#include "xfer.h"

#include "dozrow.h"
#include "dsput.h"
#include "qysched.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace {

// The value read_data hands back (numbers aligned for any type).
union {
    int32_t l;
    int16_t s;
    double r;
    float f;
    DozDate date;
    DozTime time;
    unsigned char b[16];
} binary_value;

const void *binary_data(XferReader &r, int type)
{
    const unsigned char *b = r.bytes.data();
    switch (type) {
    case DOZ_T_STRING:
        if (r.bytes.size() >= 2 && b[0] == 0 && b[1] == 1)
            return nullptr;
        r.text_len = static_cast<int>(strnlen(reinterpret_cast<const char *>(b), std::min<size_t>(r.bytes.size(), XFER_FIELD_MAX)));
        memcpy(r.text, b, static_cast<size_t>(r.text_len));
        r.text[r.text_len] = 0;
        return r.text;
    case DOZ_T_BLOB:
        r.text_len = static_cast<int>(strnlen(reinterpret_cast<const char *>(b), std::min<size_t>(r.bytes.size(), XFER_BLOB_WIDTH)));
        memcpy(r.text, b, static_cast<size_t>(r.text_len));
        r.text[r.text_len] = 0;
        return r.text_len ? r.text : nullptr;
    case DOZ_T_DATE:
        memcpy(&binary_value.date, b, 6);
        return binary_value.date.day == 0 ? nullptr : &binary_value.date;
    default:
        memcpy(binary_value.b, b, std::min(r.bytes.size(), sizeof binary_value.b));
        return binary_value.b;
    }
}

int elem_size(int type)
{
    int size = xfer_binary_size(type, 0);
    return type == DOZ_T_BLOB ? static_cast<int>(sizeof(DozBlobDesc)) : size;
}

bool is_null_marker(int type, const unsigned char *v)
{
    switch (type) {
    case DOZ_T_LONG: {
        int32_t x;
        memcpy(&x, v, 4);
        return x == XFER_NULL_NUMBER;
    }
    case DOZ_T_SHORT: {
        int16_t x;
        memcpy(&x, v, 2);
        return x == XFER_NULL_NUMBER;
    }
    case DOZ_T_REAL: {
        double x;
        memcpy(&x, v, 8);
        return x == XFER_NULL_NUMBER;
    }
    case DOZ_T_SREAL: {
        float x;
        memcpy(&x, v, 4);
        return x == XFER_NULL_NUMBER;
    }
    default: return false;
    }
}

}  // namespace

struct XferBlobs {
    std::deque<DozBlobWriteSpec> specs;  // addresses stay while the deque grows
};

XferBlobs *xfer_blobs_new() { return new XferBlobs; }

void xfer_blobs_reset(XferBlobs *blobs)
{
    if (!blobs)
        return;
    if (!blobs->specs.empty())
        doz_clear_blob_write_specs();
    blobs->specs.clear();
}

void xfer_blobs_free(XferBlobs *blobs)
{
    xfer_blobs_reset(blobs);
    delete blobs;
}

int xfer_blobs_in_use(const XferBlobs *blobs) { return blobs ? static_cast<int>(blobs->specs.size()) : 0; }

void xfer_default_request(ObTransferData *request)
{
    memset(request, 0, sizeof *request);
    request->kind = 12;
    request->direction = XFER_LOAD;
    request->medium = XFER_FILE;
    safe_strcpy(request->path, "/tmp/file", sizeof request->path - 1);
    request->format = XFER_DELIMITED;
    request->terminator = XFER_NONE;
}

void check_xfer_bcmode(XferReader &r)
{
    int v = 0;
    const char *partial = getenv("XFER_LD_BINARR_PARTIAL");
    r.read_partial_binary_arrays = partial && sscanf(partial, "%d", &v) == 1 && v != 0;
    v = 0;
    const char *zero = getenv("XFER_LD_ZERO_ARRAYS");
    r.nullarr = !(zero && sscanf(zero, "%d", &v) == 1 && v != 0);
}

const void *read_data(XferReader &r, int type, int length)
{
    int got = xfer_read_field(r, type, length);
    if (got == XFER_FIELD_NONE)
        return nullptr;
    if (got == XFER_FIELD_BYTES)
        return binary_data(r, type);
    if (type == DOZ_T_BLOB) {
        // A file name: blanks around it are no part of it.
        char *t = r.text;
        strbtrim(t, t);
        t[std::min<size_t>(strlen(t), XFER_BLOB_WIDTH)] = 0;
        return *t ? t : nullptr;
    }
    return dsprint_ds_scan(r.text, type, nullptr);
}

void skip_colnames(XferReader &r, std::span<const XferColumn> columns)
{
    // The binary formats carry no name row.
    if (r.request->format != XFER_FIXED && r.request->format != XFER_DELIMITED)
        return;
    r.eof_row = false;
    for (size_t c = 0; c < columns.size() && !r.eof_input && !r.eof_row; c++) {
        r.last_item = c + 1 == columns.size();
        xfer_read_field(r, DOZ_T_STRING, columns[c].length);
    }
    r.last_item = false;
}

int xfer_row_size(std::span<const XferColumn> columns)
{
    dsput_clear_row_alignment();
    for (const XferColumn &c : columns)
        dsput_acc_row_alignment(c.type, c.type == DOZ_T_STRING ? c.length : (c.var ? -c.count : c.count));
    return dsput_final_row_size();
}

int load_row(XferReader &r, DozReader &rows, std::span<const XferColumn> columns, XferBlobs *blobs)
{
    r.eof_row = false;
    int result = XFER_ROW_PACKED;
    bool broken = false;       // no more fields are read; the rest is null
    bool row_started = false;  // a field of this row took something
    const bool binary = r.request->format == XFER_BINARY;
    for (size_t c = 0; c < columns.size(); c++) {
        const XferColumn &col = columns[c];
        const bool last_column = c + 1 == columns.size();
        const bool single_kind =
            col.type == DOZ_T_STRING || col.type == DOZ_T_BOOL || col.type == DOZ_T_CHAR || col.type == DOZ_T_BLOB;
        const int room = single_kind || col.count <= 0 ? 1 : col.count;
        const bool var = col.var && !single_kind && col.count > 0;
        const int size = col.type == DOZ_T_STRING ? 0 : elem_size(col.type);
        std::vector<unsigned char> values(static_cast<size_t>(size) * static_cast<size_t>(room), 0);
        std::string text;
        bool null = false;
        bool empty_input = false;  // the input ended before the row began
        int held = room;

        // One field.  The row breaks when the input or the row ends while
        // more fields belong to it.
        auto field = [&](int type, int length, bool last_field) -> const void * {
            if (broken)
                return nullptr;
            r.last_item = last_column && last_field;
            const void *v = read_data(r, type, length);
            if (!row_started && !r.got_any && r.eof_input)
                empty_input = true;
            row_started = row_started || r.got_any;
            if ((r.eof_input || r.eof_row) && !r.last_item) {
                broken = true;
                result = r.eof_input ? XFER_ROW_TRUNCATED : XFER_ROW_SHORT;
            }
            return v;
        };
        // One element at `at` (complex: two real fields, real part first);
        // false when it gave no value.
        auto element = [&](unsigned char *at, bool last_field) -> bool {
            if (col.type == DOZ_T_COMPLEX) {
                // Each read reuses the value's room: copy it at once.
                const void *re = field(DOZ_T_REAL, col.length, false);
                if (at && re)
                    memcpy(at, re, 8);
                const bool had_re = re != nullptr;
                const void *im = field(DOZ_T_REAL, col.length, last_field);
                if (at && im)
                    memcpy(at + 8, im, 8);
                return had_re && im;
            }
            const void *v = field(col.type, col.length, last_field);
            if (v && (col.type == DOZ_T_STRING || col.type == DOZ_T_BLOB))
                text = static_cast<const char *>(v);
            else if (v && at)
                memcpy(at, v, static_cast<size_t>(size));
            return v != nullptr;
        };

        if (var) {
            const bool was_broken = broken;
            const void *n = field(DOZ_T_LONG, 8, false);
            if (empty_input)
                return XFER_ROW_EMPTY;
            int32_t count = 0;
            if (n)
                memcpy(&count, n, 4);
            held = std::clamp<int32_t>(count, 0, room);
            const int to_read = binary && !r.read_partial_binary_arrays ? room : held;
            // A count of 0 may be the row's last field.
            if (to_read == 0 && last_column && !was_broken && broken && (n || r.eof_row)) {
                broken = false;
                result = XFER_ROW_PACKED;
            }
            for (int i = 0; i < to_read; i++) {
                bool got = element(i < held ? values.data() + static_cast<size_t>(size) * i : nullptr, i + 1 == to_read);
                if (i < held && !got)
                    null = true;
            }
            if (held == 0 && r.nullarr && col.null)
                null = true;
        } else {
            for (int i = 0; i < room; i++) {
                bool got = element(values.data() + static_cast<size_t>(size) * i, i + 1 == room);
                if (empty_input)
                    return XFER_ROW_EMPTY;
                if (!got)
                    null = true;
            }
            // A single number of -9999 is a null (a complex: both parts).
            if (col.count == 0 && !null) {
                if (col.type == DOZ_T_COMPLEX)
                    null = is_null_marker(DOZ_T_REAL, values.data()) && is_null_marker(DOZ_T_REAL, values.data() + 8);
                else
                    null = is_null_marker(col.type, values.data());
            }
        }

        int rc;
        if (col.type == DOZ_T_STRING) {
            rc = dsput_put(rows, DOZ_T_STRING, col.length, 1, null ? nullptr : text.c_str());
        } else if (col.type == DOZ_T_BLOB) {
            DozBlobDesc desc{};
            const bool present = !null && blobs;
            if (present) {
                DozBlobWriteSpec &spec = blobs->specs.emplace_back();
                spec = DozBlobWriteSpec{};
                spec.kind = 1;
                safe_strcpy(spec.path, text.c_str(), sizeof spec.path - 1);
                doz_set_blob_write_spec(&desc, &spec);
            }
            rc = dsput_put(rows, DOZ_T_BLOB, 0, 1, present ? &desc : nullptr);
        } else {
            const int count = single_kind || col.count <= 0 ? 0 : (var ? -col.count : col.count);
            rc = dsput_put(rows, col.type, count, held, null ? nullptr : values.data());
        }
        if (rc != 0)
            return XFER_ROW_NO_ROOM;
    }
    r.last_item = false;
    // A fixed-width row whose last field was a variable array's count
    // still has its terminator to drop.
    if (!r.eof_row && !r.eof_input && r.request->format == XFER_FIXED && r.request->terminator != XFER_NONE &&
        result == XFER_ROW_PACKED) {
        const int term = r.request->terminator == XFER_LF ? '\n' : '\r';
        for (int ch; (ch = getc(r.in)) != EOF;)
            if (ch == term) {
                if (r.request->terminator == XFER_CRLF)
                    (void)getc(r.in);
                break;
            }
    }
    return result;
}
