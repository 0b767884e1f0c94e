// Base utility layer: memory wrappers, byte-string and multibyte helpers,
// character classes, path and list helpers, base-32 numbers, database name
// checks and the once-only floating-point report.
//
// Strings are NUL-terminated in the locale's multibyte encoding.  Unless a
// function says otherwise the destination comes first, may be the source
// itself, and has room for the source plus its terminator.
#pragma once

#include <cstddef>
#include <type_traits>
#include <cstdint>
#include <csetjmp>
#include <cwchar>

// ---- memory --------------------------------------------------------------

// Every allocation of the program goes through these.  A failure prints a
// warning; with `panic` set it then ends the process.
void *vx_malloc(long size, int panic);
// As vx_malloc, the block zeroed (large blocks come zeroed from the system
// and are not written here).
void *vx_calloc(long size, int panic);
void *vx_realloc(void *block, long size, int panic);
void vx_free(void *block);
char *stralloc(const char *text);

// ---- string helpers ------------------------------------------------------

// Copies at most n characters of src and a terminating NUL: n + 1 bytes.
char *safe_strncopy(char *dst, const char *src, size_t n);

// safe_strcpy is safe_strncopy, except that into a character array it never
// writes past the array, whatever n says: the copy is cut to the array's
// size less the NUL. A caller passing `sizeof field` gets a terminated field.
template <class D> inline char *safe_strcpy(D &&dst, const char *src, size_t n)
{
    using T = std::remove_reference_t<D>;
    if constexpr (std::is_array_v<T>) {
        static_assert(std::is_same_v<std::remove_extent_t<T>, char>, "safe_strcpy copies into char arrays");
        constexpr size_t room = std::extent_v<T>;
        static_assert(room > 0, "safe_strcpy needs room for the NUL");
        return safe_strncopy(dst, src, n < room ? n : room - 1);
    } else {
        return safe_strncopy(static_cast<char *>(dst), src, n);
    }
}
char *strassign(char *dst, const char *src);
char *strltrim(char *dst, const char *src);
char *strrtrim(char *dst, const char *src);
char *strbtrim(char *dst, const char *src);
char *strtbtrim(char *dst, const char *src);
char *strim(char *dst, const char *src);
char *strupper(char *dst, const char *src);
char *strlower(char *dst, const char *src);
char *strnorm(char *dst, const char *src);
int strpos(const char *text, const char *pattern);
char *caps(char *dst, const char *src);

// ---- multibyte helpers ---------------------------------------------------

int mb_len(const char *text);
int mb_maxlen();
int mb_charsize(wchar_t wc);
void mb_advance(const char **text);
wchar_t mb_charat(const char *text);
wchar_t mb_charadv(const char **text);
wchar_t mb_charadvi(const char *text, int *index);
int mb_wchar(wchar_t wc, char *buffer);
void mb_wcharadv(wchar_t wc, char **pointer);
void mb_wchari(wchar_t wc, char *buffer, int *index);
int mb_strlen(const char *text);

// ---- character classes (any code; 256 and above is printable only) -------

int ch_isalpha(int c);
int ch_isalnum(int c);
int ch_isdigit(int c);
int ch_isxdigit(int c);
int ch_iscntrl(int c);
int ch_isspace(int c);
int ch_isprint(int c);
int ch_toupper(int c);
int ch_tolower(int c);

// ---- other helpers -------------------------------------------------------

namespace vx {
// The part of a path after its last "/".  (In a namespace: the C library
// declares a function of the same name.)
const char *basename(const char *path);
}  // namespace vx

int findfile(const char *dirlist, const char *name, char *path_out, size_t path_size);
int int_base32(uint32_t value, char *text_out, int padded);
uint32_t scan_int_base32(const char *text);
int search_list(const char *key, const char *table, int stride);
int search_list_substr(const char *key, const char *table, int stride);
int check_dbname(char *name);
char *file_name(const char *base, const char *extension, char *out);

// ---- floating point ------------------------------------------------------

// Installs the SIGFPE handler.  Outside a guarded region a floating-point
// trap is reported once ("Floating-Point Error") and the process ends, since
// returning from the handler would only re-run the faulting instruction.
void init_fpe_handling();
void clear_fpe();
// The report flag: 0 until the first report after init or clear_fpe.
int fpe_reported();
// A guarded region: while a target is set, a trap reports once and jumps
// there (siglongjmp with value 1) in place of ending the process.  Returns
// the previous target so that regions nest.
sigjmp_buf *fpe_set_guard(sigjmp_buf *target);
