// Memory wrappers, strings, multibyte text and the floating-point
// exception report.

#include "vxutil.h"

#include <cctype>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <unistd.h>
#include <sys/stat.h>

// ---- memory --------------------------------------------------------------

static void alloc_failed(const char *what, long size, int panic)
{
    fprintf(stderr, what, static_cast<int>(size > INT_MAX ? INT_MAX : size));
    if (panic) {
        fputs("Panic! Cannot recover - exiting.\n", stderr);
        exit(-1);
    }
}

void *vx_malloc(long size, int panic)
{
    if (size < 1)
        return nullptr;
    void *p = malloc(static_cast<size_t>(size));
    if (!p)
        alloc_failed("Warning! Malloc of %d bytes failed.\n", size, panic);
    return p;
}

void *vx_calloc(long size, int panic)
{
    if (size < 1)
        return nullptr;
    void *p = calloc(1, static_cast<size_t>(size));
    if (!p)
        alloc_failed("Warning! Malloc of %d bytes failed.\n", size, panic);
    return p;
}

void *vx_realloc(void *block, long size, int panic)
{
    if (size < 1)
        size = 1;  // realloc to 0 would free the block behind the caller's back
    void *p = realloc(block, static_cast<size_t>(size));
    if (!p)
        alloc_failed("Warning! Realloc to %d bytes failed.\n", size, panic);
    return p;
}

void vx_free(void *block) { free(block); }

char *stralloc(const char *text)
{
    if (!text)
        return nullptr;
    size_t n = strlen(text) + 1;
    char *p = static_cast<char *>(malloc(n));
    if (p)
        memcpy(p, text, n);
    return p;
}

// ---- string helpers ------------------------------------------------------

char *safe_strncopy(char *dst, const char *src, size_t n)
{
    size_t len = strnlen(src, n);
    memmove(dst, src, len);
    dst[len] = '\0';
    return dst;
}

char *strassign(char *dst, const char *src)
{
    if (dst != src)
        memmove(dst, src, strlen(src) + 1);
    return dst;
}

// Copies src[from, to) to dst and terminates.  memmove: dst may be src.
static char *copy_range(char *dst, const char *src, size_t from, size_t to)
{
    if (to < from)
        to = from;
    memmove(dst, src + from, to - from);
    dst[to - from] = '\0';
    return dst;
}

template <class Pred>
static char *trim_with(char *dst, const char *src, bool left, bool right, Pred is_blank)
{
    size_t len = strlen(src);
    size_t from = 0, to = len;
    if (left)
        while (from < to && is_blank(static_cast<unsigned char>(src[from])))
            from++;
    if (right)
        while (to > from && is_blank(static_cast<unsigned char>(src[to - 1])))
            to--;
    return copy_range(dst, src, from, to);
}

static bool is_blank_char(unsigned char c) { return c == ' '; }
static bool is_blank_or_tab(unsigned char c) { return c == ' ' || c == '\t'; }
static bool is_space_char(unsigned char c) { return isspace(c) != 0; }

char *strltrim(char *dst, const char *src) { return trim_with(dst, src, true, false, is_blank_char); }
char *strrtrim(char *dst, const char *src) { return trim_with(dst, src, false, true, is_blank_char); }
char *strbtrim(char *dst, const char *src) { return trim_with(dst, src, true, true, is_blank_char); }
char *strtbtrim(char *dst, const char *src) { return trim_with(dst, src, true, true, is_blank_or_tab); }
char *strim(char *dst, const char *src) { return trim_with(dst, src, true, true, is_space_char); }

// Walks src a character at a time; single bytes go through `fn`, multibyte
// characters are copied unchanged after `on_multibyte` is told of them.  The
// output is never longer than src, so dst may be src.
template <class Fn, class Mb>
static char *map_single_bytes(char *dst, const char *src, Fn fn, Mb on_multibyte)
{
    size_t i = 0, o = 0;
    while (src[i]) {
        int n = mb_len(src + i);
        if (n == 1) {
            dst[o++] = static_cast<char>(fn(static_cast<unsigned char>(src[i])));
            i++;
        } else {
            on_multibyte();
            memmove(dst + o, src + i, static_cast<size_t>(n));
            o += static_cast<size_t>(n);
            i += static_cast<size_t>(n);
        }
    }
    dst[o] = '\0';
    return dst;
}

static void no_state() {}

char *strupper(char *dst, const char *src)
{
    return map_single_bytes(dst, src, [](unsigned char c) { return toupper(c); }, no_state);
}

char *strlower(char *dst, const char *src)
{
    return map_single_bytes(dst, src, [](unsigned char c) { return tolower(c); }, no_state);
}

char *strnorm(char *dst, const char *src)
{
    // `start`: the next letter begins a word.  A blank or underscore that
    // follows a letter starts a new word; other characters leave the state
    // as it is, except a multibyte character, which ends the start state.
    bool start = true;
    bool prev_letter = false;
    return map_single_bytes(
        dst, src,
        [&](unsigned char c) {
            int out = c;
            if (isalpha(c)) {
                out = start ? toupper(c) : tolower(c);
                start = false;
                prev_letter = true;
            } else {
                if ((c == ' ' || c == '_') && prev_letter)
                    start = true;
                prev_letter = false;
            }
            return out;
        },
        [&] { start = prev_letter = false; });
}

int strpos(const char *text, const char *pattern)
{
    if (!text || !pattern)
        return -1;
    const char *p = strstr(text, pattern);
    return p ? static_cast<int>(p - text) : -1;
}

char *caps(char *dst, const char *src)
{
    // A quote opens a run, ended by the same quote, that is copied as is.
    char quote = 0;
    return map_single_bytes(
        dst, src,
        [&](unsigned char c) {
            if (quote) {
                if (c == static_cast<unsigned char>(quote))
                    quote = 0;
                return static_cast<int>(c);
            }
            if (c == '\'' || c == '"') {
                quote = static_cast<char>(c);
                return static_cast<int>(c);
            }
            return toupper(c);
        },
        no_state);
}

// ---- multibyte helpers ---------------------------------------------------

int mb_maxlen()
{
    int n = static_cast<int>(MB_CUR_MAX);
    return n < 1 ? 1 : n;
}

int mb_len(const char *text)
{
    int n = mblen(text, static_cast<size_t>(mb_maxlen()));
    return n < 1 ? 1 : n;
}

int mb_charsize(wchar_t wc)
{
    char buf[MB_LEN_MAX];
    mbstate_t st{};
    size_t n = wcrtomb(buf, wc, &st);
    return (n == static_cast<size_t>(-1) || n < 1) ? 1 : static_cast<int>(n);
}

void mb_advance(const char **text) { *text += mb_len(*text); }

// Decodes the character at text: its length in *len.
static wchar_t decode_at(const char *text, int *len)
{
    wchar_t wc = 0;
    mbstate_t st{};
    size_t n = mbrtowc(&wc, text, static_cast<size_t>(mb_maxlen()), &st);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n < 2) {
        *len = 1;
        return static_cast<wchar_t>(static_cast<unsigned char>(*text));
    }
    *len = static_cast<int>(n);
    return wc;
}

wchar_t mb_charat(const char *text)
{
    int len;
    return decode_at(text, &len);
}

wchar_t mb_charadv(const char **text)
{
    int len;
    wchar_t wc = decode_at(*text, &len);
    *text += len;
    return wc;
}

wchar_t mb_charadvi(const char *text, int *index)
{
    int len;
    wchar_t wc = decode_at(text + *index, &len);
    *index += len;
    return wc;
}

int mb_wchar(wchar_t wc, char *buffer)
{
    mbstate_t st{};
    size_t n = wcrtomb(buffer, wc, &st);
    if (n == static_cast<size_t>(-1) || n < 1) {
        buffer[0] = static_cast<char>(wc & 0xff);
        return 1;
    }
    return static_cast<int>(n);
}

void mb_wcharadv(wchar_t wc, char **pointer) { *pointer += mb_wchar(wc, *pointer); }

void mb_wchari(wchar_t wc, char *buffer, int *index) { *index += mb_wchar(wc, buffer + *index); }

int mb_strlen(const char *text)
{
    int count = 0;
    while (*text) {
        text += mb_len(text);
        count++;
    }
    return count;
}

// ---- character classes ---------------------------------------------------

static bool byte_code(int c) { return c >= 0 && c <= 255; }

int ch_isalpha(int c) { return byte_code(c) && isalpha(c); }
int ch_isalnum(int c) { return byte_code(c) && isalnum(c); }
int ch_isdigit(int c) { return byte_code(c) && isdigit(c); }
int ch_isxdigit(int c) { return byte_code(c) && isxdigit(c); }
int ch_iscntrl(int c) { return byte_code(c) && iscntrl(c); }
int ch_isspace(int c) { return byte_code(c) && isspace(c); }
int ch_isprint(int c) { return c >= 256 || (byte_code(c) && isprint(c)); }
int ch_toupper(int c) { return byte_code(c) ? toupper(c) : c; }
int ch_tolower(int c) { return byte_code(c) ? tolower(c) : c; }

// ---- other helpers -------------------------------------------------------

const char *vx::basename(const char *path)
{
    const char *slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

int findfile(const char *dirlist, const char *name, char *path_out, size_t path_size)
{
    if (!dirlist || !name)
        return 0;
    const char *p = dirlist;
    for (;;) {
        const char *colon = strchr(p, ':');
        size_t dlen = colon ? static_cast<size_t>(colon - p) : strlen(p);
        int n = snprintf(path_out, path_size, "%.*s/%s", static_cast<int>(dlen), p, name);
        struct stat st;
        if (n >= 0 && static_cast<size_t>(n) < path_size && stat(path_out, &st) == 0)
            return 1;
        if (!colon)
            break;
        p = colon + 1;
    }
    return 0;
}

static const char base32_digits[] = "0123456789abcdefghijklmnopqrstuv";

int int_base32(uint32_t value, char *text_out, int padded)
{
    char tmp[8];
    int n = 0;
    do {
        tmp[n++] = base32_digits[value & 31u];
        value >>= 5;
    } while (value && n < 7);
    if (padded)
        while (n < 7)
            tmp[n++] = '0';
    for (int i = 0; i < n; i++)
        text_out[i] = tmp[n - 1 - i];
    text_out[n] = '\0';
    return n;
}

uint32_t scan_int_base32(const char *text)
{
    uint32_t v = 0;
    for (; *text; text++) {
        int c = tolower(static_cast<unsigned char>(*text));
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'v')
            d = c - 'a' + 10;
        else
            break;
        v = (v << 5) | static_cast<uint32_t>(d);
    }
    return v;
}

static int search_table(const char *key, const char *table, int stride, bool prefix)
{
    if (!key || !table || stride < 1)
        return -1;
    size_t klen = strlen(key);
    for (int i = 0; table[static_cast<size_t>(i) * static_cast<size_t>(stride)]; i++) {
        const char *e = table + static_cast<size_t>(i) * static_cast<size_t>(stride);
        size_t elen = strnlen(e, static_cast<size_t>(stride));
        if (prefix ? (elen >= klen && memcmp(e, key, klen) == 0)
                   : (elen == klen && memcmp(e, key, klen) == 0))
            return i;
    }
    return -1;
}

int search_list(const char *key, const char *table, int stride)
{
    return search_table(key, table, stride, false);
}

int search_list_substr(const char *key, const char *table, int stride)
{
    return search_table(key, table, stride, true);
}

int check_dbname(char *name)
{
    strrtrim(name, name);
    if (!name[0])
        return 0;
    if (mb_strlen(name) == 1 && mb_len(name) == 1) {
        unsigned char c = static_cast<unsigned char>(name[0]);
        if (!isalpha(c) && c != '%')
            return 0;
    }
    for (const char *p = name; *p;) {
        int n = mb_len(p);
        if (n == 1) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (!isalnum(c) && c != '#' && c != '%' && c != '_')
                return 0;
        }
        p += n;
    }
    strupper(name, name);
    return 1;
}

char *file_name(const char *base, const char *extension, char *out)
{
    strbtrim(out, base);
    size_t n = strlen(out);
    while (n < 8)
        out[n++] = '_';
    out[n] = '\0';
    strcat(out, extension ? extension : "");
    return out;
}

// ---- floating point ------------------------------------------------------

static volatile sig_atomic_t fpe_flag = 0;
static sigjmp_buf *volatile fpe_guard = nullptr;

static void fpe_handler(int)
{
    if (!fpe_flag) {
        fpe_flag = 1;
        static const char msg[] = "Floating-Point Error\n";
        ssize_t w = write(STDERR_FILENO, msg, sizeof msg - 1);
        (void)w;
    }
    if (fpe_guard)
        siglongjmp(*fpe_guard, 1);
    // Returning would re-execute the faulting instruction for ever.
    _exit(1);
}

void init_fpe_handling()
{
    struct sigaction sa {};
    sa.sa_handler = fpe_handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_NODEFER;
    sigaction(SIGFPE, &sa, nullptr);
    fpe_flag = 0;
}

void clear_fpe() { fpe_flag = 0; }

int fpe_reported() { return fpe_flag; }

sigjmp_buf *fpe_set_guard(sigjmp_buf *target)
{
    sigjmp_buf *old = fpe_guard;
    fpe_guard = target;
    return old;
}
