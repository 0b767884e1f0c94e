// Values of result rows: extraction of one field at a reader's cursor
// (dozrow.h) and fixed-width text of one value of any type.
#pragma once

#include "dozproto.h"
#include "dozrow.h"

#include <cstddef>

// ---- extraction (rows with presence bytes) -------------------------------

// The field described by `col` at the reader's cursor: the address of its
// first element, or null for a null field, an empty variable array, or a
// field that would run past the buffer (then extract_overrun(r) is true).
// `count` gets the element count (1 for a single value; the present
// elements of a variable array).  The cursor moves past the whole field.
const void *extract(DozReader &r, const DozColDesc &col, int *count);
// True when the reader's last extraction ran past the buffer.
inline bool extract_overrun(const DozReader &r) { return r.overrun; }
int extract_flag(DozReader &r, int alignment);
const void *extract_string(DozReader &r, int length);
const void *extract_long(DozReader &r, int count);
const void *extract_varlong(DozReader &r, int max, int *count);
const void *extract_short(DozReader &r, int count);
const void *extract_varshort(DozReader &r, int max, int *count);
const void *extract_real(DozReader &r, int count);
const void *extract_varreal(DozReader &r, int max, int *count);
const void *extract_date(DozReader &r, int count);
const void *extract_vardate(DozReader &r, int max, int *count);
const void *extract_time(DozReader &r, int count);
const void *extract_vartime(DozReader &r, int max, int *count);
const void *extract_complex(DozReader &r, int count);
const void *extract_varcomplex(DozReader &r, int max, int *count);
const void *extract_bool(DozReader &r);
const void *extract_char(DozReader &r);
const void *extract_shortreal(DozReader &r, int count);
const void *extract_varshortreal(DozReader &r, int max, int *count);
const void *extract_tiny(DozReader &r, int count);
const void *extract_vartiny(DozReader &r, int max, int *count);
const void *extract_blob(DozReader &r);

// ---- formatting ----------------------------------------------------------

// One value in `width` columns (a missing value: blanks).  The text is the
// formatter's own, valid until its next call; any width is safe.
const char *sprint_data(const void *value, int width, int precision, int type);
// Formats of at most 24 characters; null leaves a format unchanged / not
// copied.  Out texts need 25 bytes.
void set_date_time_format(const char *date_format, const char *time_format);
void get_date_time_format(char *date_format, char *time_format);
void set_complex_format(const char *format);
void get_complex_format(char *format);
void set_quoting(int on);

// The blob's display name: prefix, "_", first id, "_", second id (ids in
// base 32), or "$<second id>" without a first id.  Written into `text`
// (room for DOZ_BLOB_NAME_SIZE bytes) or, when null, into a new allocation
// the caller frees.
inline constexpr size_t DOZ_BLOB_NAME_SIZE = 32;
char *doz_blob_name(const DozBlobDesc *desc, char *text);
int doz_blob_size(const DozBlobDesc *desc);
int doz_blob_flags(const DozBlobDesc *desc);
int doz_blob_subclass(const DozBlobDesc *desc);
void doz_set_blob_flags(DozBlobDesc *desc, int flags);
void doz_set_blob_subclass(DozBlobDesc *desc, int subclass);
