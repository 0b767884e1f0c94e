// The dataset text formatter.
//
// A dataset is abandoned when the output procedure answers 0: every step
// that ends a line returns false, and the caller unwinds by return code.

#include "dyprt.h"

#include "dozproto.h"
#include "dsmgr.h"
#include "dsput.h"
#include "dymsgs.h"
#include "vxcat.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

nl_catd dymain_catd = NL_NO_CATALOGUE;

namespace {

// Strings declared longer than this print cut, with " ..." after them.
constexpr int LONG_STRING = 128;
constexpr const char *LONG_MARK = " ...";

struct Output {
    DyOutputProc proc = nullptr;
    int page_length = -1;
    int page_width = 78;
    int margin = 0;
    int title_interval = -1;
    bool arrays_in_columns = false;
} out;

struct Column {
    const DozColDesc *desc;
    int index;
    int width;
    bool array;
    bool blank_title;
};

struct State {
    std::string line;
    int line_number = 0;
    bool clipped = false;
    bool title_pending = false;
} st;

void add(std::string_view text)
{
    if (!dyprt_add_text(st.line, text))
        st.clipped = true;
}

void pad(int n)
{
    if (n <= 0)
        return;
    const size_t size = st.line.size(), limit = static_cast<size_t>(DYPRT_LINE_MAX);
    const size_t room = size < limit ? limit - size : 0;
    if (static_cast<size_t>(n) > room) {
        st.clipped = true;
        n = static_cast<int>(room);
    }
    st.line.append(static_cast<size_t>(n), ' ');
}

// Bytes below 0x80 are one character each in every locale the program
// runs in; texts made only of them skip the multibyte reading.
size_t ascii_prefix(std::string_view text)
{
    size_t n = 0;
    while (n < text.size() && static_cast<unsigned char>(text[n]) < 0x80)
        n++;
    return n;
}

// Display columns of a text by the locale (one per character).
int text_chars(std::string_view text)
{
    size_t at = ascii_prefix(text);
    if (at == text.size())
        return static_cast<int>(at);
    mbstate_t ps{};
    int n = static_cast<int>(at);
    while (at < text.size()) {
        size_t k = mbrtowc(nullptr, text.data() + at, text.size() - at, &ps);
        if (k == 0 || k == static_cast<size_t>(-1) || k == static_cast<size_t>(-2)) {
            ps = mbstate_t{};
            k = 1;
        }
        at += k;
        n++;
    }
    return n;
}

// Ends the line: hands it on, counts it, and breaks the page when it is
// full.  False when the output abandoned the dataset.
bool end_line()
{
    bool go_on = out.proc(st.line.c_str(), static_cast<int>(st.line.size())) != 0;
    st.line.clear();
    if (!go_on)
        return false;
    st.line_number++;
    if (out.page_length > 0 && st.line_number >= out.page_length) {
        if (!out.proc(nullptr, 0))
            return false;
        st.line_number = 0;
        if (out.title_interval == -1)
            st.title_pending = true;
    }
    return true;
}

bool right_aligned(int type)
{
    return type == DOZ_T_LONG || type == DOZ_T_SHORT || type == DOZ_T_REAL || type == DOZ_T_SREAL ||
           type == DOZ_T_TINY;
}

void add_title(const Column &c)
{
    std::string name = c.blank_title ? std::string() : std::string(c.desc->name, strnlen(c.desc->name, 52));
    int gap = std::max(0, c.width - text_chars(name));
    if (c.desc->type == DOZ_T_STRING) {
        add(name);
        pad(gap);
    } else if (right_aligned(c.desc->type)) {
        pad(gap);
        add(name);
    } else {
        pad(gap / 2);
        add(name);
        pad(gap - gap / 2);
    }
}

bool title_line(const std::vector<Column> &cols, bool arrays)
{
    if (!end_line())
        return false;
    pad(out.margin);
    bool first = true;
    for (const Column &c : cols) {
        if (c.array != arrays)
            continue;
        if (!first)
            pad(2);
        first = false;
        add_title(c);
    }
    pad(out.margin);
    if (!end_line())
        return false;
    return end_line();
}

// One element in its column: its text by the value formatter, the long
// strings cut to their first characters with a mark after them.
void add_value(const Column &c, const void *value)
{
    if (!value) {
        pad(c.width);
        return;
    }
    std::string long_text;
    std::string_view text;
    if (c.width > LONG_STRING) {
        std::string whole(static_cast<const char *>(value));
        std::string cut(dyprt_cut_chars(whole, LONG_STRING));
        long_text = dsprint_ds_sprint(cut.c_str(), LONG_STRING, c.desc->precision, c.desc->type);
        long_text += LONG_MARK;
        text = long_text;
    } else {
        // The formatter's text stays until its next call.
        text = dsprint_ds_sprint(value, c.width, c.desc->precision, c.desc->type);
    }
    add(text);
    pad(c.width - text_chars(text));
}

const void *element(const Column &c, const void *base, int m)
{
    int size = dsprint_ds_sizeof(c.desc->type, c.desc->width);
    return static_cast<const unsigned char *>(base) + static_cast<size_t>(m) * size;
}

bool row(int dataset, int r, const std::vector<Column> &cols)
{
    pad(out.margin);
    bool first = true;
    bool any_array = false;
    for (const Column &c : cols) {
        if (c.array) {
            any_array = true;
            continue;
        }
        if (!first)
            pad(2);
        first = false;
        int n = 0;
        add_value(c, dscol_ds_get(dataset, r, c.index, &n));
    }
    pad(out.margin);
    if (!end_line())
        return false;
    if (!any_array)
        return true;

    if (out.arrays_in_columns) {
        if (!title_line(cols, true))
            return false;
        for (int m = 0;; m++) {
            bool had = false;
            pad(out.margin);
            first = true;
            for (const Column &c : cols) {
                if (!c.array)
                    continue;
                if (!first)
                    pad(2);
                first = false;
                int n = 0;
                const void *base = dscol_ds_get(dataset, r, c.index, &n);
                if (base && m < n) {
                    had = true;
                    add_value(c, element(c, base, m));
                } else {
                    pad(c.width);
                }
            }
            pad(out.margin);
            if (!end_line())
                return false;
            if (!had)
                return true;
        }
    }

    for (const Column &c : cols) {
        if (!c.array)
            continue;
        if (!end_line())
            return false;
        pad(out.margin);
        add_title(c);
        if (!end_line() || !end_line())
            return false;
        int per_line = std::max(1, (out.page_width - 2 * out.margin) / (c.width + 2));
        int n = 0;
        const void *base = dscol_ds_get(dataset, r, c.index, &n);
        if (!base)
            n = 0;
        for (int m = 0; m < n; m += per_line) {
            pad(out.margin);
            for (int k = m; k < std::min(n, m + per_line); k++) {
                if (k > m)
                    pad(2);
                add_value(c, element(c, base, k));
            }
            pad(out.margin);
            if (!end_line())
                return false;
        }
        if (!end_line())
            return false;
    }
    return true;
}

}  // namespace

int dyprt_column_width(const DozColDesc &d)
{
    int name = std::max(8, static_cast<int>(strnlen(d.name, sizeof d.name)));
    int value;
    switch (d.type) {
    case DOZ_T_STRING:
        value = d.precision == -1 ? d.width : d.precision;
        if (value > LONG_STRING)
            value = LONG_STRING + 4;
        break;
    case DOZ_T_COMPLEX: value = 2 * d.width + 2; break;
    case DOZ_T_BLOB: value = 24; break;
    default: value = d.width; break;
    }
    return std::max(name, value);
}

bool dyprt_add_text(std::string &line, std::string_view text, size_t limit)
{
    bool whole = true;
    mbstate_t ps{};
    size_t at = 0;
    char piece[64];
    while (at < text.size()) {
        // A run of printable ASCII goes in as it is, as far as it fits.
        size_t run = at;
        while (run < text.size() && text[run] >= 0x20 && text[run] < 0x7f)
            run++;
        if (run > at && mbsinit(&ps)) {
            const size_t room = limit > line.size() ? limit - line.size() : 0;
            const size_t take = std::min(run - at, room);
            line.append(text.data() + at, take);
            whole = whole && take == run - at;
            at = run;
            continue;
        }
        wchar_t wc = 0;
        size_t k = mbrtowc(&wc, text.data() + at, text.size() - at, &ps);
        size_t len;
        if (k == static_cast<size_t>(-1) || k == static_cast<size_t>(-2) || k == 0) {
            ps = mbstate_t{};
            unsigned char b = static_cast<unsigned char>(text[at]);
            k = 1;
            const char *esc = nullptr;
            switch (b) {
            case '\b': esc = "\\b"; break;
            case '\t': esc = "\\t"; break;
            case '\n': esc = "\\n"; break;
            case '\f': esc = "\\f"; break;
            case '\r': esc = "\\r"; break;
            case 033: esc = "\\e"; break;
            default: break;
            }
            if (esc)
                len = static_cast<size_t>(snprintf(piece, sizeof piece, "%s", esc));
            else
                len = static_cast<size_t>(snprintf(piece, sizeof piece, "\\%03o", b));
        } else if (iswprint(static_cast<wint_t>(wc))) {
            memcpy(piece, text.data() + at, k);
            len = k;
        } else {
            unsigned char b = static_cast<unsigned char>(text[at]);
            const char *esc = nullptr;
            switch (wc) {
            case L'\b': esc = "\\b"; break;
            case L'\t': esc = "\\t"; break;
            case L'\n': esc = "\\n"; break;
            case L'\f': esc = "\\f"; break;
            case L'\r': esc = "\\r"; break;
            case 033: esc = "\\e"; break;
            default: break;
            }
            if (esc) {
                len = static_cast<size_t>(snprintf(piece, sizeof piece, "%s", esc));
            } else if (k == 1) {
                len = static_cast<size_t>(snprintf(piece, sizeof piece, "\\%03o", b));
            } else {
                // An unprintable multibyte character: each of its bytes in octal.
                len = 0;
                for (size_t i = 0; i < k; i++)
                    len += static_cast<size_t>(snprintf(piece + len, sizeof piece - len, "\\%03o",
                                                        static_cast<unsigned char>(text[at + i])));
                if (len > sizeof piece)
                    len = sizeof piece;
            }
        }
        at += k;
        if (line.size() + len > limit) {
            whole = false;
            continue;
        }
        line.append(piece, len);
    }
    return whole;
}

std::string_view dyprt_cut_chars(std::string_view text, size_t n)
{
    size_t at = std::min(ascii_prefix(text), n);
    mbstate_t ps{};
    for (size_t chars = at; chars < n && at < text.size(); chars++) {
        size_t k = mbrtowc(nullptr, text.data() + at, text.size() - at, &ps);
        if (k == 0 || k == static_cast<size_t>(-1) || k == static_cast<size_t>(-2)) {
            ps = mbstate_t{};
            k = 1;
        }
        at += k;
    }
    return text.substr(0, at);
}

void dyprt_dy_set_output(DyOutputProc proc, int page_length, int page_width, int margin, int title_interval,
                         int arrays_in_columns)
{
    out.proc = proc;
    out.page_length = page_length;
    out.page_width = page_width;
    out.margin = std::max(0, margin);
    out.title_interval = title_interval;
    out.arrays_in_columns = arrays_in_columns != 0;
}

void dyprt_dy_set_page_width(int page_width) { out.page_width = page_width; }

int dyprt_dy_print_dataset(int index)
{
    const DozColDesc *list = dscol_ds_get_tinfo_list(index);
    if (!out.proc || !list)
        return 0;
    st = State{};
    std::vector<Column> cols;
    for (int i = 0; list[i].type != DOZ_T_END; i++) {
        const DozColDesc &d = list[i];
        bool print = strncmp(d.name, "PRINT", sizeof d.name) == 0;
        cols.push_back({&d, i, dyprt_column_width(d), d.count != 0, print});
    }
    int rows = dsmgr_ds_rows(index);
    bool done = title_line(cols, false);
    for (int i = 0; done && i < rows; i++) {
        if (out.title_interval == -1) {
            if (st.title_pending) {
                st.title_pending = false;
                done = title_line(cols, false);
            }
        } else if (out.title_interval > 0 && i > 0 && i % out.title_interval == 0) {
            done = title_line(cols, false);
        }
        done = done && row(index, i, cols);
    }
    if (done)
        done = end_line();
    if (st.clipped)
        fputs(vx_msgf(dymain_catd, DY_LINE_CLIPPED, DYPRT_LINE_MAX).c_str(), stderr);
    st.line.clear();
    return done ? 1 : 0;
}
