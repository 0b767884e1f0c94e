// Value text for the table view, printing and the row editor, text back
// to values, and pipes to shell commands.

#include "dsput.h"

#include "dozrow.h"
#include "dozvalue.h"
#include "qycompat.h"
#include "vxdate.h"
#include "vxproc.h"
#include "vxutil.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using SprintProc = const char *(*)(const void *value, int width, int precision, int type);

int date_order[3] = {DIF_DAY, DIF_MONTH, DIF_YEAR};
std::string out_text;

// The value -9999 (any fraction) marks a missing number: its text becomes
// blanks, the whole number with its point and decimals.
const char *blank_missing(const char *text)
{
    out_text = text;
    // Only a negative number can be the marker.
    const char *lead = text;
    while (isspace(static_cast<unsigned char>(*lead)))
        lead++;
    if (*lead != '-')
        return out_text.c_str();
    size_t at = 0;
    while (at < out_text.size() && out_text[at] == ' ')
        at++;
    const char *p = out_text.c_str() + at;
    char *end = nullptr;
    double v = strtod(p, &end);
    if (end == p || !std::isfinite(v) || std::trunc(v) != -9999.0)
        return out_text.c_str();
    size_t stop = at;
    while (stop < out_text.size() && out_text[stop] != ' ')
        stop++;
    out_text.replace(at, stop - at, stop - at, ' ');
    return out_text.c_str();
}

const char *ds_normal_sprint(const void *value, int width, int precision, int type)
{
    return blank_missing(sprint_data(value, width, precision, type));
}

// Numbers in the form of the locale the environment names; the program's
// own numeric locale is put back afterwards (POSIX when it had none).
const char *ds_printer_sprint(const void *value, int width, int precision, int type)
{
    const char *now = setlocale(LC_NUMERIC, nullptr);
    std::string before = now ? now : "POSIX";
    setlocale(LC_NUMERIC, "");
    std::string text = sprint_data(value, width, precision, type);
    setlocale(LC_NUMERIC, before.c_str());
    return blank_missing(text.c_str());
}

SprintProc ds_print_proc = ds_normal_sprint;

union ScanValue {
    int32_t l;
    int16_t s;
    double r;
    float f;
    uint8_t t;
    DozDate date;
    DozTime time;
    char c;
} scanned;

bool is_blank(const char *text)
{
    for (; *text; text++)
        if (!isspace(static_cast<unsigned char>(*text)))
            return false;
    return true;
}

bool only_blanks_after(const char *end)
{
    return is_blank(end);
}

bool scan_integer(const char *text, long lo, long hi, long &v)
{
    char *end;
    errno = 0;
    v = strtol(text, &end, 10);
    return end != text && errno == 0 && only_blanks_after(end) && v >= lo && v <= hi;
}

bool scan_real(const char *text, double &v)
{
    char *end;
    errno = 0;
    v = strtod(text, &end);
    return end != text && errno != ERANGE && only_blanks_after(end);
}

// 1 true, 0 false, -1 neither.
int scan_bool(const char *text)
{
    char word[256];
    safe_strcpy(word, text, sizeof word - 1);
    strbtrim(word, word);
    strupper(word, word);
    char yes[64], no[64];
    strupper(yes, deflanginfo(43));
    strupper(no, deflanginfo(44));
    if (!strcmp(word, yes) || !strcmp(word, "TRUE") || !strcmp(word, "1"))
        return 1;
    if (!strcmp(word, no) || !strcmp(word, "FALSE") || !strcmp(word, "0"))
        return 0;
    if (strlen(word) == 1) {
        if (word[0] == yes[0] || word[0] == 'T')
            return 1;
        if (word[0] == no[0] || word[0] == 'F')
            return 0;
    }
    return -1;
}

}  // namespace

void dsprint_ds_set_date_time_format(const char *date_format, const char *time_format)
{
    set_date_time_format(date_format, time_format);
}

void dsprint_ds_get_date_time_format(char *date_format, char *time_format)
{
    get_date_time_format(date_format, time_format);
}

void dsprint_ds_set_complex_output_format(const char *format) { set_complex_format(format); }

int dsprint_ds_set_date_input_format(const char *text)
{
    int order[3];
    if (!text || str_to_date_input_format(text, order) != 1)
        return 0;
    memcpy(date_order, order, sizeof date_order);
    return 1;
}

void ds_set_sprint_proc(int printer) { ds_print_proc = printer ? ds_printer_sprint : ds_normal_sprint; }

const char *dsprint_ds_sprint(const void *value, int width, int precision, int type)
{
    return ds_print_proc(value, width, precision, type);
}

const void *dsprint_ds_scan(const char *text, int type, const void *default_value)
{
    if (!text || is_blank(text))
        return nullptr;
    long l;
    double r;
    switch (type) {
    case DOZ_T_STRING:
    case DOZ_T_BLOB: return text;
    case DOZ_T_LONG:
        if (!scan_integer(text, INT32_MIN, INT32_MAX, l))
            return nullptr;
        scanned.l = static_cast<int32_t>(l);
        return &scanned.l;
    case DOZ_T_SHORT:
        if (!scan_integer(text, INT16_MIN, INT16_MAX, l))
            return nullptr;
        scanned.s = static_cast<int16_t>(l);
        return &scanned.s;
    case DOZ_T_TINY:
        if (!scan_integer(text, 0, 255, l))
            return nullptr;
        scanned.t = static_cast<uint8_t>(l);
        return &scanned.t;
    case DOZ_T_REAL:
        if (!scan_real(text, r))
            return nullptr;
        scanned.r = r;
        return &scanned.r;
    case DOZ_T_SREAL:
        if (!scan_real(text, r) || (std::isfinite(r) && std::fabs(r) > FLT_MAX))
            return nullptr;
        scanned.f = static_cast<float>(r);
        return &scanned.f;
    case DOZ_T_DATE: {
        int d, m, y;
        if (rddate(text, date_order, &d, &m, &y) != 0)
            return nullptr;
        scanned.date = DozDate{static_cast<int16_t>(y), static_cast<int16_t>(m), static_cast<int16_t>(d)};
        return &scanned.date;
    }
    case DOZ_T_TIME: {
        int h, m, s;
        if (rdtime(text, &h, &m, &s) != 0)
            return nullptr;
        scanned.time = DozTime{static_cast<int16_t>(h), static_cast<int16_t>(m), static_cast<int16_t>(s)};
        return &scanned.time;
    }
    case DOZ_T_BOOL: {
        int b = scan_bool(text);
        if (b < 0)
            return nullptr;
        scanned.t = static_cast<uint8_t>(b);
        return &scanned.t;
    }
    case DOZ_T_CHAR:
        scanned.c = text[0];
        return &scanned.c;
    default: return default_value;
    }
}

int dsprint_ds_sizeof(int type, int length)
{
    if (type == DOZ_T_STRING)
        return length + 1;
    // Any other type as the row layout sizes it; one it does not know counts
    // as a blob.
    DozColDesc col{};
    col.type = static_cast<int16_t>(type);
    int size = col.type == type ? doz_elem_size(col) : -1;
    return size < 0 ? 36 : size;
}

void *dsprint_ds_elem(void *base, int index, int type)
{
    int size = type == DOZ_T_STRING ? 1 : dsprint_ds_sizeof(type, 0);
    return static_cast<unsigned char *>(base) + static_cast<ptrdiff_t>(index) * size;
}

FILE *dspipe_ds_open_pipe(const char *command, const char *mode)
{
    return fopen_pipe("/bin/sh", "sh", command, mode && !strcmp(mode, "a") ? 1 : 0);
}

int dspipe_ds_close_pipe(FILE *file) { return fclose_pipe(file) == 0 ? 1 : 0; }

// ---- commands of the filters file ------------------------------------------------

int process_cmd_line(const EnvPair *pairs, const char *command, int count)
{
    if (!command || !*command)
        return 0;
    for (int i = 0; pairs && i < count && i < 2; i++) {
        if (!pairs[i].name[0])
            break;
        char value[sizeof pairs[i].value];
        safe_strcpy(value, pairs[i].value, sizeof value - 1);
        setenv(pairs[i].name, value, 1);
    }
    // The command's own children are not the interpreter.
    query_death(0);
    int status = system(command);
    (void)status;
    query_death(1);
    return 1;
}
