// The column editor's checks and list lines, apart from its widgets: the
// length, fraction and dimensions of a column definition, the name and
// alias against a small view of the dictionary, and the line that shows a
// new column in the editor's list.
#pragma once

#include <cstdint>
#include <string>

struct DictItem;
struct DictColumn;

// Data types by index, as the type menu lists them.
inline constexpr int DLCOL_TYPES = 12;
enum DlColType : int {
    DLCOL_STRING = 0,
    DLCOL_LONG,
    DLCOL_SHORT,
    DLCOL_REAL,
    DLCOL_DATE,
    DLCOL_TIME,
    DLCOL_COMPLEX,
    DLCOL_BOOL,
    DLCOL_CHAR,
    DLCOL_SHORTREAL,
    DLCOL_BYTE,
    DLCOL_BLOB,
};
// "String" ... "Blob"; empty for an index out of range.
const char *dlcol_type_name(int type);
// Whether the type takes a fraction (Real, Complex, ShortReal) and whether
// it may be an array (the numeric, date and time types).
bool dlcol_has_fraction(int type);
bool dlcol_has_array(int type);

// The largest array the language stores, in elements (per dimension too).
inline constexpr int DLCOL_MAX_ELEMENTS = 32767;

// A length text (already numeric and whole) fits the type.
bool dlcol_length_ok(int type, const char *length_text);
// A fraction text against the length: empty only for a length over 6,
// else the length at least 2 above the fraction.
bool dlcol_fraction_ok(int length, const char *fraction_text);

// Array dimensions: empty, or one to eight numbers separated by commas
// (blanks around them allowed), each 1 to 32767 with a product of at most
// 32767.
struct DlColDims {
    int ndims = 0;
    int dims[8] = {};
    int64_t count = 0;  // the product; 0 without dimensions
};
bool dlcol_parse_dims(const char *text, DlColDims &out);
// The dimensions joined by commas.
std::string dlcol_dims_text(int ndims, const int *dims);

// What the name and alias checks look at.
struct DlColView {
    const DictItem *items = nullptr;      // the dictionary's data items
    const DictColumn *columns = nullptr;  // the table's existing columns
    std::string default_name;             // the name shown at the last fill or popup
    bool qualify = false;                 // column names carry their table
};

// A name without its table prefix ("T.COL" gives "COL") when names are
// qualified.
std::string dlcol_unqualified(const DlColView &view, const std::string &name);

// The item a name or alias names, or none.
const DictItem *dlcol_find_item(const DictItem *items, const std::string &name);

struct DlColNameCheck {
    bool valid = true;
    std::string name;                // upper-cased, as it is put back
    bool is_default = false;         // the name shown at the last fill
    const DictItem *item = nullptr;  // an existing item that defines the column
};
DlColNameCheck dlcol_check_name(const DlColView &view, const char *text);
// `name` is the name field's text.
bool dlcol_check_alias(const DlColView &view, const char *alias, const char *name);

// The list line of a new column (its definition in its item).
std::string dlcol_list_line(const DictColumn &column);
