// The grammar of graph format files: the reader over a table of
// operations and the pieces of the writer.  Numbers are read and written
// in the C locale whatever the program's locale is.

#include "gofile.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace {

// Numbers in the C locale for the life of the value.
struct CLocale {
    locale_t c = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    locale_t previous = c ? uselocale(c) : nullptr;
    CLocale() = default;
    CLocale(const CLocale &) = delete;
    CLocale &operator=(const CLocale &) = delete;
    ~CLocale()
    {
        if (c) {
            uselocale(previous);
            freelocale(c);
        }
    }
};

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

int skip_blanks(FILE *f)
{
    int c;
    while ((c = getc(f)) != EOF && is_blank(c)) {
    }
    return c;
}

enum WordResult { WORD_OK, WORD_END, WORD_TOO_LONG };

// The next blank-separated word, at most GOFILE_WORD_MAX bytes.
WordResult read_word(FILE *f, std::string &word)
{
    word.clear();
    int c = skip_blanks(f);
    if (c == EOF)
        return WORD_END;
    while (c != EOF && !is_blank(c)) {
        if (word.size() >= static_cast<size_t>(GOFILE_WORD_MAX))
            return WORD_TOO_LONG;
        word.push_back(static_cast<char>(c));
        c = getc(f);
    }
    if (c != EOF)
        ungetc(c, f);
    return WORD_OK;
}

bool parse_int(const std::string &text, long lo, long hi, long *value)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    long v = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

bool parse_double(const std::string &text, double *value)
{
    if (text.empty())
        return false;
    CLocale c;
    errno = 0;
    char *end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (errno == ERANGE || *end != '\0')
        return false;
    *value = v;
    return true;
}

// A quoted text after its opening quote: a backslash takes the next
// character as it is.  False at the end of the file or past `bound`.
bool read_string(FILE *f, std::string &text, size_t bound)
{
    text.clear();
    for (;;) {
        int c = getc(f);
        if (c == EOF)
            return false;
        if (c == '"')
            return true;
        if (c == '\\' && (c = getc(f)) == EOF)
            return false;
        if (text.size() >= bound)
            return false;
        text.push_back(static_cast<char>(c));
    }
}

// Access 1 (saved) and 2 (not saved) may be set from a file.
bool settable(const GoFileProperty &row) { return row.access == 1 || row.access == 2; }

// The value of a row, set through the sink.  False when it cannot be read.
bool read_value(FILE *f, const GoFileSink &sink, const GoFileProperty &row, int qualifier)
{
    int c = skip_blanks(f);
    if (c == EOF)
        return false;
    if (c == 'n') {
        while ((c = getc(f)) != EOF && !is_blank(c)) {
        }
        if (settable(row))
            sink.set(sink.client, row, qualifier, nullptr);
        return true;
    }
    std::string text;
    if (row.type == 0) {
        const int bound = row.bound > 0 ? row.bound : GOFILE_STRING_MAX;
        if (c != '"' || !read_string(f, text, static_cast<size_t>(bound)))
            return false;
        if (settable(row))
            sink.set(sink.client, row, qualifier, text.c_str());
        return true;
    }
    ungetc(c, f);
    if (read_word(f, text) != WORD_OK)
        return false;
    long l = 0;
    double d = 0;
    int32_t i32 = 0;
    int16_t i16 = 0;
    const void *value = nullptr;
    switch (row.type) {
    case 1:
        if (!parse_int(text, INT32_MIN, INT32_MAX, &l))
            return false;
        i32 = static_cast<int32_t>(l);
        value = &i32;
        break;
    case 2:
        if (!parse_int(text, INT16_MIN, INT16_MAX, &l))
            return false;
        i16 = static_cast<int16_t>(l);
        value = &i16;
        break;
    case 3:
        if (!parse_double(text, &d))
            return false;
        value = &d;
        break;
    default: return false;
    }
    if (settable(row))
        sink.set(sink.client, row, qualifier, value);
    return true;
}

}  // namespace

int gofile_read_format(FILE *f, const GoFileSink &sink)
{
    if (!f)
        return 0;
    std::string word;
    if (read_word(f, word) != WORD_OK)
        return 0;
    for (;;) {
        if (word[0] == ';')
            return 1;
        GoFileProperty row{};
        if (!sink.lookup(sink.client, word.c_str(), &row))
            return 0;
        const std::string name = word;
        int qualifier = 0;
        if (row.qualifiers != 0) {
            long after_name = ftell(f);
            long q = 0;
            if (read_word(f, word) != WORD_OK || !parse_int(word, INT32_MIN, INT32_MAX, &q))
                return 0;
            qualifier = static_cast<int>(q);
            // Older files wrote `syallscale` as one value: when a property
            // name follows the number, the number was the value.
            if (name == "syallscale") {
                long after_qualifier = ftell(f);
                GoFileProperty next{};
                if (read_word(f, word) != WORD_OK)
                    return 0;
                bool is_name = sink.lookup(sink.client, word.c_str(), &next);
                if (is_name) {
                    qualifier = 0;
                    if (after_name < 0 || fseek(f, after_name, SEEK_SET) != 0) {
                        fputs("Failed to fseek at 'qualifier' position in graph format.\n", stderr);
                        return 0;
                    }
                } else if (after_qualifier < 0 || fseek(f, after_qualifier, SEEK_SET) != 0) {
                    fputs("Failed to fseek at 'value' position in graph format.\n", stderr);
                    return 0;
                }
            }
        }
        if (!read_value(f, sink, row, qualifier))
            return 0;
        if (!settable(row))
            fprintf(stderr, "Warning! GoFile. Unsettable property '%s'\n", name.c_str());
        if (read_word(f, word) != WORD_OK)
            return 0;
    }
}

void gofile_go_write_property_name(FILE *f, const char *name) { fprintf(f, "\t%s ", name); }

void gofile_go_write_qualifier_number(FILE *f, int qualifier) { fprintf(f, "%d ", qualifier); }

void gofile_go_write_property_value(FILE *f, int type, const void *value)
{
    if (type < 0 || type > 3) {
        fputs("Error! GoFile. Invalid property type\n", stderr);
        return;
    }
    if (!value) {
        fputs("null", f);
        return;
    }
    switch (type) {
    case 0: {
        putc('"', f);
        for (const char *p = static_cast<const char *>(value); *p; p++) {
            if (*p == '"' || *p == '\\')
                putc('\\', f);
            putc(*p, f);
        }
        putc('"', f);
        break;
    }
    case 1: {
        int32_t v;
        memcpy(&v, value, sizeof v);
        fprintf(f, "%" PRId32, v);
        break;
    }
    case 2: {
        int16_t v;
        memcpy(&v, value, sizeof v);
        fprintf(f, "%d", static_cast<int>(v));
        break;
    }
    case 3: {
        double v;
        memcpy(&v, value, sizeof v);
        CLocale c;
        fprintf(f, "%f", v);
        break;
    }
    }
}
