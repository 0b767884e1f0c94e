// The field reader of the load: one field of a type, in the request's
// format, from the input stream.  Only the C library is used here, so the
// fuzz target builds this file alone.

#include "xfer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

int term_char(const XferReader &r)
{
    switch (r.request->terminator) {
    case XFER_LF: return '\n';
    case XFER_CR:
    case XFER_CRLF: return '\r';
    default: return -1;
    }
}

size_t delimiter_length(const XferReader &r) { return strnlen(r.request->delimiter, sizeof r.request->delimiter); }

bool is_delimiter(const XferReader &r, int c)
{
    return c != EOF && c != 0 && memchr(r.request->delimiter, c, delimiter_length(r)) != nullptr;
}

// The row terminator was read: the row ends; after a CR of CR LF the next
// character is taken without being looked at.
void end_row(XferReader &r)
{
    r.eof_row = true;
    if (r.request->terminator == XFER_CRLF)
        (void)getc(r.in);
}

bool numeric(int type)
{
    return type == DOZ_T_LONG || type == DOZ_T_SHORT || type == DOZ_T_REAL || type == DOZ_T_COMPLEX ||
           type == DOZ_T_SREAL || type == DOZ_T_TINY;
}

bool number_char(int c) { return isdigit(c) || c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e'; }

bool white(int c) { return c == ' ' || c == '\t' || c == '\n'; }

// A character that may begin a field of the type (others before it are
// skipped).
bool starts(int type, int c)
{
    if (numeric(type))
        return number_char(c);
    if (type == DOZ_T_DATE || type == DOZ_T_TIME)
        return isalnum(c) || c >= 128;
    return c > ' ' && c != 127;
}

// A character the field may hold; the first one it may not ends it.
bool admits(const XferReader &r, int type, int c, bool quoted)
{
    if (numeric(type))
        return number_char(c);
    if (type == DOZ_T_DATE || type == DOZ_T_TIME)
        return isalnum(c) || ispunct(c) || c >= 128;
    if (type == DOZ_T_STRING) {
        const bool delimited_field = delimiter_length(r) > 0 && !r.last_item;
        const bool last_with_terminator = r.last_item && term_char(r) >= 0;
        if (quoted || delimited_field || last_with_terminator)
            return true;
    }
    return !white(c);
}

void store(XferReader &r, int c)
{
    if (r.text_len < XFER_FIELD_MAX)
        r.text[r.text_len++] = static_cast<char>(c);
}

int finish_text(XferReader &r)
{
    r.text[r.text_len] = 0;
    return r.text_len > 0 ? XFER_FIELD_TEXT : XFER_FIELD_NONE;
}

int read_delimited(XferReader &r, int type)
{
    const int term = term_char(r);
    const bool has_delimiter = delimiter_length(r) > 0;
    const bool may_delimit = has_delimiter && !r.last_item;
    bool quoted = false;
    int c;
    // Before the field.
    for (;;) {
        c = getc(r.in);
        if (c == EOF) {
            r.eof_input = true;
            return finish_text(r);
        }
        r.got_any = true;
        if (may_delimit && is_delimiter(r, c))
            return finish_text(r);
        if (term >= 0 && c == term) {
            end_row(r);
            return finish_text(r);
        }
        if (c == '"') {
            quoted = true;
            break;
        }
        if (starts(type, c)) {
            store(r, c);
            break;
        }
    }
    // Inside it.
    bool stopped = false;  // on a closing quote or a character the type refuses
    for (;;) {
        c = getc(r.in);
        if (c == EOF) {
            r.eof_input = true;
            break;
        }
        if (term >= 0 && c == term) {
            end_row(r);
            break;
        }
        if (quoted) {
            if (c == '"') {
                int next = getc(r.in);
                if (next == '"') {
                    store(r, '"');
                    continue;
                }
                if (next != EOF)
                    ungetc(next, r.in);
                stopped = true;
                break;
            }
        } else if (may_delimit && is_delimiter(r, c)) {
            break;
        }
        if (!admits(r, type, c, quoted)) {
            ungetc(c, r.in);
            stopped = true;
            break;
        }
        store(r, c);
    }
    // After a field that stopped early: the rest up to its delimiter, or up
    // to the row's end, is dropped, unless the next field follows at once.
    if (stopped && !((r.last_item && term < 0) || (!r.last_item && !has_delimiter))) {
        for (;;) {
            c = getc(r.in);
            if (c == EOF) {
                r.eof_input = true;
                break;
            }
            if (term >= 0 && c == term) {
                end_row(r);
                break;
            }
            if (may_delimit && is_delimiter(r, c))
                break;
        }
    }
    return finish_text(r);
}

int read_fixed(XferReader &r, int type, int length)
{
    const int term = term_char(r);
    // Every field takes at least one character, so that a row always moves on.
    const int width = type == DOZ_T_BLOB ? XFER_BLOB_WIDTH : std::max(length, 1);
    for (int i = 0; i < width; i++) {
        int c = getc(r.in);
        if (c == EOF) {
            r.eof_input = true;
            break;
        }
        r.got_any = true;
        // A terminator inside a field ends the row early: the next row
        // stays where it is.
        if (term >= 0 && c == term) {
            end_row(r);
            break;
        }
        store(r, c);
    }
    if (r.last_item && !r.eof_row && !r.eof_input && term >= 0) {
        for (;;) {
            int c = getc(r.in);
            if (c == EOF) {
                r.eof_input = true;
                break;
            }
            if (c == term) {
                end_row(r);
                break;
            }
        }
    }
    // Strings and file names are padded with blanks to the width.
    if (type == DOZ_T_STRING || type == DOZ_T_BLOB)
        while (r.text_len > 0 && r.text[r.text_len - 1] == ' ')
            r.text_len--;
    return finish_text(r);
}

int read_binary(XferReader &r, int type, int length)
{
    int size = xfer_binary_size(type, length);
    if (size <= 0)
        return XFER_FIELD_NONE;
    r.bytes.assign(static_cast<size_t>(size), 0);
    size_t n = fread(r.bytes.data(), 1, r.bytes.size(), r.in);
    if (n > 0)
        r.got_any = true;
    if (n < r.bytes.size()) {
        r.eof_input = true;
        return XFER_FIELD_NONE;
    }
    return XFER_FIELD_BYTES;
}

}  // namespace

int xfer_binary_size(int type, int length)
{
    switch (type) {
    case DOZ_T_STRING: return length < 0 ? -1 : length + 1;
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
    case DOZ_T_BLOB: return 81;
    default: return -1;
    }
}

int xfer_read_field(XferReader &r, int type, int length)
{
    r.text_len = 0;
    r.text[0] = 0;
    r.got_any = false;
    if (!r.in || r.eof_input)
        return XFER_FIELD_NONE;
    switch (r.request->format) {
    case XFER_FIXED: return read_fixed(r, type, length);
    case XFER_BINARY: return read_binary(r, type, length);
    default: return read_delimited(r, type);
    }
}
