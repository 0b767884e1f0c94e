// The column editor's checks and list lines (no widgets).

#include "dlcolchk.h"

#include "wsdict.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr const char *type_names[DLCOL_TYPES] = {"String",  "Long", "Short", "Real", "Date",      "Time",
                                                 "Complex", "Bool", "Char",  "ShortReal", "Byte", "Blob"};

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(const char *text)
{
    std::string_view t = text ? text : "";
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.remove_suffix(1);
    return std::string(t);
}

// A whole number of digits only, or -1 (also when it exceeds `limit`).
long read_count(std::string_view digits, long limit)
{
    if (digits.empty() || digits.size() > 9)
        return -1;
    long value = 0;
    for (char c : digits) {
        if (!isdigit(static_cast<unsigned char>(c)))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value > limit ? -1 : value;
}

bool same(const char *field, size_t size, const std::string &name)
{
    return !name.empty() && strnlen(field, size) == name.size() && name.compare(0, name.size(), field, name.size()) == 0;
}

}  // namespace

const char *dlcol_type_name(int type) { return type >= 0 && type < DLCOL_TYPES ? type_names[type] : ""; }

bool dlcol_has_fraction(int type) { return type == DLCOL_REAL || type == DLCOL_COMPLEX || type == DLCOL_SHORTREAL; }

bool dlcol_has_array(int type)
{
    switch (type) {
    case DLCOL_LONG:
    case DLCOL_SHORT:
    case DLCOL_REAL:
    case DLCOL_DATE:
    case DLCOL_TIME:
    case DLCOL_COMPLEX:
    case DLCOL_SHORTREAL:
    case DLCOL_BYTE: return true;
    default: return false;
    }
}

bool dlcol_length_ok(int type, const char *length_text)
{
    const long length = read_count(trimmed(length_text), 999999999);
    if (length < 0)
        return false;
    switch (type) {
    case DLCOL_STRING: return length <= 4096;
    case DLCOL_BOOL:
    case DLCOL_CHAR: return length <= 6;
    case DLCOL_BLOB: return true;
    default: return type >= 0 && type < DLCOL_TYPES && length <= 20;
    }
}

bool dlcol_fraction_ok(int length, const char *fraction_text)
{
    const std::string t = trimmed(fraction_text);
    if (t.empty())
        return length > 6;
    const long fraction = read_count(t, 99999);
    return fraction >= 0 && length - fraction >= 2;
}

bool dlcol_parse_dims(const char *text, DlColDims &out)
{
    out = DlColDims{};
    const std::string t = trimmed(text);
    if (t.empty())
        return true;
    DlColDims d;
    d.count = 1;
    size_t start = 0;
    while (true) {
        const size_t comma = t.find(',', start);
        const std::string piece = trimmed(t.substr(start, comma == std::string::npos ? std::string::npos : comma - start).c_str());
        const long n = read_count(piece, DLCOL_MAX_ELEMENTS);
        if (n < 1 || d.ndims == 8)
            return false;
        d.dims[d.ndims++] = static_cast<int>(n);
        d.count *= n;
        if (d.count > DLCOL_MAX_ELEMENTS)
            return false;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    out = d;
    return true;
}

std::string dlcol_dims_text(int ndims, const int *dims)
{
    std::string out;
    for (int i = 0; i < ndims && i < 8; i++) {
        if (i)
            out += ",";
        out += std::to_string(dims[i]);
    }
    return out;
}

std::string dlcol_unqualified(const DlColView &view, const std::string &name)
{
    if (!view.qualify)
        return name;
    const size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

const DictItem *dlcol_find_item(const DictItem *items, const std::string &name)
{
    for (const DictItem *it = items; it; it = it->next)
        if (same(it->name, sizeof it->name, name) || same(it->alias, sizeof it->alias, name))
            return it;
    return nullptr;
}

DlColNameCheck dlcol_check_name(const DlColView &view, const char *text)
{
    DlColNameCheck r;
    r.name = upper(trimmed(text));
    if (r.name.empty())
        return r;
    if (r.name == upper(view.default_name)) {
        r.is_default = true;
        return r;
    }
    const std::string name = dlcol_unqualified(view, r.name);
    for (const DictColumn *c = view.columns; c; c = c->next) {
        const DictItem *it = c->item;
        if (same(c->name, sizeof c->name, name) ||
            (it && (same(it->name, sizeof it->name, name) || same(it->alias, sizeof it->alias, name)))) {
            r.valid = false;
            return r;
        }
    }
    r.item = dlcol_find_item(view.items, name);
    return r;
}

bool dlcol_check_alias(const DlColView &view, const char *alias, const char *name)
{
    const std::string a = upper(trimmed(alias));
    if (a.empty())
        return true;
    if (a == dlcol_unqualified(view, upper(trimmed(name))))
        return false;
    const DictItem *it = dlcol_find_item(view.items, a);
    if (!it)
        return true;
    return same(it->name, sizeof it->name, dlcol_unqualified(view, upper(view.default_name)));
}

std::string dlcol_list_line(const DictColumn &column)
{
    const DictItem *it = column.item;
    const char *flag = column.key ? "PRIMARY" : column.null ? "NULL" : "";
    const int type = it ? it->type : 0;
    const int length = it ? it->length : 0;
    char line[256];
    if (type == DLCOL_BLOB) {
        snprintf(line, sizeof line, "%-*s %s CLASS %d %s", 12, column.name, "BLOB", length, flag);
        return line;
    }
    char fraction[16] = "";
    if (it && it->fraction != -1)
        snprintf(fraction, sizeof fraction, ",%d", it->fraction);
    std::string array;
    if (it && it->array_size != 0)
        array = "[" + dlcol_dims_text(it->ndims, it->dims) + "]" + (it->var ? "VAR" : "");
    snprintf(line, sizeof line, "%-*s %s(%d%s)%s %s", 12, column.name, upper(dlcol_type_name(type)).c_str(), length,
             fraction, array.c_str(), flag);
    return line;
}
