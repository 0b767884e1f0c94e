// The unload's writers: one row of the result buffer in each file format,
// the name row, the comma-separated header, the DFS header, delimiters and
// row terminators.

#include "xfer.h"

#include "dozrow.h"
#include "dozvalue.h"
#include "vxutil.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Every write goes through these: after the first refusal nothing more is
// written and `failed` tells how the caller reports it.
void put_bytes(XferWriter &w, const void *data, size_t n, int failure)
{
    if (w.failed || n == 0)
        return;
    if (!w.out || fwrite(data, 1, n, w.out) != n)
        w.failed = failure;
}

void put_text(XferWriter &w, const std::string &text) { put_bytes(w, text.data(), text.size(), XFER_WRITE_REFUSED); }

std::string trimmed(const char *text)
{
    std::string s = text;
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(' ');
    return s.substr(a, b - a + 1);
}

bool delimited(const XferWriter &w) { return w.request->format == XFER_DELIMITED; }

// A string field's text in the delimited format: quoted when the request
// quotes strings, and also when the text holds a delimiter character or a
// double quote, so that the row keeps its fields; a double quote inside is
// doubled.
std::string string_field(const XferWriter &w, const std::string &text)
{
    const char *delims = w.request->delimiter;
    bool quote = xfer_quoting(*w.request) || text.find('"') != std::string::npos ||
                 (delims[0] && text.find_first_of(std::string(delims, strnlen(delims, sizeof w.request->delimiter))) !=
                                   std::string::npos);
    if (!quote)
        return text;
    std::string s = "\"";
    for (char c : text) {
        s += c;
        if (c == '"')
            s += '"';
    }
    return s + "\"";
}

int elem_bytes(const DozColDesc &col)
{
    int size = doz_elem_size(col);
    return size < 0 ? 0 : size;
}

bool is_var(const DozColDesc &col)
{
    return col.count < 0 && col.type != DOZ_T_STRING && col.type != DOZ_T_BOOL && col.type != DOZ_T_CHAR &&
           col.type != DOZ_T_BLOB;
}

int room_of(const DozColDesc &col)
{
    if (col.type == DOZ_T_STRING || col.type == DOZ_T_BOOL || col.type == DOZ_T_CHAR || col.type == DOZ_T_BLOB)
        return 1;
    return col.count == 0 ? 1 : (col.count < 0 ? -col.count : col.count);
}

// The null marker of a numeric type in `size` bytes, or false for a type
// whose null is zero bytes.
bool null_number(int type, unsigned char *to)
{
    switch (type) {
    case DOZ_T_LONG: {
        int32_t v = XFER_NULL_NUMBER;
        memcpy(to, &v, 4);
        return true;
    }
    case DOZ_T_SHORT: {
        int16_t v = XFER_NULL_NUMBER;
        memcpy(to, &v, 2);
        return true;
    }
    case DOZ_T_REAL: {
        double v = XFER_NULL_NUMBER;
        memcpy(to, &v, 8);
        return true;
    }
    case DOZ_T_SREAL: {
        float v = XFER_NULL_NUMBER;
        memcpy(to, &v, 4);
        return true;
    }
    case DOZ_T_COMPLEX: {
        double v[2] = {XFER_NULL_NUMBER, XFER_NULL_NUMBER};
        memcpy(to, v, 16);
        return true;
    }
    default: return false;
    }
}

// A blob's name, NUL-padded to its binary width.
void blob_name_bytes(const void *value, unsigned char *to)
{
    memset(to, 0, 81);
    if (!value)
        return;
    DozBlobDesc d;
    memcpy(&d, value, sizeof d);
    char name[DOZ_BLOB_NAME_SIZE];
    doz_blob_name(&d, name);
    memcpy(to, name, strnlen(name, sizeof name));
}

// The value bytes of one field in the binary formats (after the count of a
// variable array or the DFS presence byte).
void binary_value(XferWriter &w, const DozColDesc &col, const void *value, bool dfs)
{
    const int room = room_of(col);
    if (col.type == DOZ_T_BLOB) {
        unsigned char b[81];
        blob_name_bytes(value, b);
        put_bytes(w, b, sizeof b, dfs ? XFER_WRITE_SILENT : XFER_WRITE_REFUSED);
        return;
    }
    const size_t size = static_cast<size_t>(elem_bytes(col));
    std::vector<unsigned char> bytes(size * static_cast<size_t>(room), 0);
    int failure = dfs ? XFER_WRITE_SILENT : XFER_WRITE_REFUSED;
    if (value) {
        memcpy(bytes.data(), value, bytes.size());
        // The empty string must not read back as a null.
        if (col.type == DOZ_T_STRING && bytes[0] == 0 && bytes.size() > 1)
            bytes[1] = 0;
    } else if (!dfs) {
        if (col.type == DOZ_T_STRING && bytes.size() > 1) {
            bytes[1] = 1;
        } else {
            unsigned char marker[16];
            if (null_number(col.type, marker)) {
                for (int i = 0; i < room; i++)
                    memcpy(bytes.data() + static_cast<size_t>(i) * size, marker, size);
                failure = XFER_WRITE_SILENT;
            }
        }
    }
    put_bytes(w, bytes.data(), bytes.size(), failure);
}

// One element's text, trimmed in the delimited format, quoted when it is
// a string that needs it.
void text_element(XferWriter &w, const DozColDesc &col, const unsigned char *elem)
{
    const bool fixed = !delimited(w);
    if (col.type == DOZ_T_COMPLEX) {
        // Two real fields, real part first: what the reader takes.
        for (int part = 0; part < 2; part++) {
            if (part && !fixed)
                write_delimiter(w);
            const unsigned char *p = elem ? elem + 8 * part : nullptr;
            const char *t = sprint_data(p, col.width, col.precision, DOZ_T_REAL);
            put_text(w, fixed ? std::string(t) : trimmed(t));
        }
        return;
    }
    int width = col.type == DOZ_T_BLOB ? (fixed ? XFER_BLOB_WIDTH : 24) : col.width;
    const char *t = sprint_data(elem, width, col.precision, col.type);
    if (fixed) {
        std::string s = t;
        if (static_cast<int>(s.size()) < width)
            s.append(static_cast<size_t>(width - static_cast<int>(s.size())), ' ');
        put_text(w, s);
        return;
    }
    std::string s = trimmed(t);
    put_text(w, col.type == DOZ_T_STRING ? string_field(w, s) : s);
}

}  // namespace

bool xfer_quoting(const ObTransferData &request)
{
    return request.format == XFER_DELIMITED && (request.delimiter[0] == 0 || request.delimiter[0] == ' ');
}

void write_delimiter(XferWriter &w)
{
    const char *d = w.request->delimiter;
    size_t n = strnlen(d, sizeof w.request->delimiter);
    if (n == 0)
        put_text(w, " ");
    else
        put_text(w, std::string(d, n));
}

void write_row_terminator(XferWriter &w)
{
    switch (w.request->terminator) {
    case XFER_LF: put_text(w, "\n"); break;
    case XFER_CR: put_text(w, "\r"); break;
    case XFER_CRLF: put_text(w, "\r\n"); break;
    default: break;
    }
}

void unload_colnames(XferWriter &w, std::span<const XferName> names)
{
    const int format = w.request->format;
    if (format != XFER_FIXED && format != XFER_DELIMITED)
        return;
    for (size_t i = 0; i < names.size(); i++) {
        if (format == XFER_FIXED) {
            // A field of the column's width, as the load reads it back.
            std::string s = names[i].name.substr(0, static_cast<size_t>(std::max(names[i].length, 0)));
            s.append(static_cast<size_t>(std::max(names[i].length, 0)) - s.size(), ' ');
            put_text(w, s);
            continue;
        }
        if (i)
            write_delimiter(w);
        put_text(w, string_field(w, names[i].name));
    }
    write_row_terminator(w);
}

void write_csv_header(XferWriter &w, std::span<const DozColDesc> columns)
{
    if (w.out)
        fseek(w.out, 0, SEEK_SET);
    for (size_t i = 0; i < columns.size(); i++) {
        if (i)
            write_delimiter(w);
        std::string name(columns[i].name, strnlen(columns[i].name, sizeof columns[i].name));
        if (name != "PRINT")
            put_text(w, string_field(w, name));
    }
    write_row_terminator(w);
}

int xfer_dfs_record_size(std::span<const DozColDesc> columns)
{
    int size = 0;
    for (const DozColDesc &c : columns)
        size += 1 + (c.type == DOZ_T_BLOB ? 81 : elem_bytes(c)) * room_of(c);
    return size + 1;
}

void write_dfs_header(XferWriter &w, std::span<const DozColDesc> columns)
{
    std::string s;
    for (size_t i = 0; i < columns.size(); i++) {
        if (i)
            s += ';';
        s += std::to_string(columns[i].type == DOZ_T_BLOB ? 81 : elem_bytes(columns[i]));
    }
    s += "\n" + std::to_string(xfer_dfs_record_size(columns)) + "\n";
    put_bytes(w, s.data(), s.size(), XFER_WRITE_SILENT);
}

int unload_row(XferWriter &w, DozReader &rows, std::span<const DozColDesc> columns)
{
    const int format = w.request->format;
    const bool fixed = format == XFER_FIXED;
    if (format == XFER_DFS) {
        if (!w.dfs_started)
            write_dfs_header(w, columns);
        else
            put_bytes(w, "\1", 1, XFER_WRITE_SILENT);
        w.dfs_started = true;
    }
    for (size_t c = 0; c < columns.size(); c++) {
        const DozColDesc &col = columns[c];
        int count = 0;
        const void *value = extract(rows, col, &count);
        if (format == XFER_BINARY || format == XFER_DFS) {
            const bool dfs = format == XFER_DFS;
            if (dfs) {
                unsigned char present = value ? 1 : 0;
                put_bytes(w, &present, 1, XFER_WRITE_SILENT);
            } else if (is_var(col)) {
                int32_t n = value ? count : 0;
                put_bytes(w, &n, 4, XFER_WRITE_REFUSED);
            }
            binary_value(w, col, value, dfs);
            continue;
        }
        if (c && !fixed)
            write_delimiter(w);
        int elems = room_of(col);
        if (is_var(col)) {
            elems = value ? count : 0;
            int32_t n = elems;
            const char *t = sprint_data(&n, 8, -1, DOZ_T_LONG);
            put_text(w, fixed ? std::string(t) : trimmed(t));
            if (!fixed && elems > 0)
                write_delimiter(w);
        }
        const size_t size = static_cast<size_t>(elem_bytes(col));
        for (int i = 0; i < elems; i++) {
            if (i && !fixed)
                write_delimiter(w);
            const unsigned char *e = value ? static_cast<const unsigned char *>(value) + size * static_cast<size_t>(i)
                                           : nullptr;
            text_element(w, col, e);
        }
    }
    w.rows++;
    return w.failed ? -1 : 0;
}

int xfer_flush(XferWriter &w)
{
    if (!w.failed && w.out && fflush(w.out) != 0)
        w.failed = XFER_WRITE_REFUSED;
    return w.failed ? -1 : 0;
}
