// The point readers: which columns of a dataset are x, y and z, the
// conversion of dates, times and texts into plotting values, generated
// coordinates, missing points, and stepping, paging, finding and copying.

#include "goprop.h"

#include "dsmgr.h"
#include "dsput.h"
#include "vxdate.h"
#include "vxutil.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

namespace {

// Values converted by one reader, one per coordinate; valid until that
// reader's next read.
struct ReaderStore {
    double value[3];
    char text[3][256];
    // What the last reads found of their dataset, kept while the archive
    // and the time zone stay as they were.
    struct Recent {
        uint64_t changes = 0;
        int current = -1, zone = -1, dataset = -1, rows = 0;
        int column[3] = {-1, -1, -1};
        const DsNumbers *numbers[3] = {nullptr, nullptr, nullptr};
    } recent;
};
ReaderStore triple_store, multiy_store;

double x_scale = 1.0, x_offset = 0.0, z_scale = 1.0, z_offset = 0.0;
int autoinc = 0;
int page_size = 0;

// The descriptor of a column that is not there.
const DozColDesc absent_column = [] {
    DozColDesc d{};
    d.type = DOZ_T_REAL;
    return d;
}();

int full_year(int year);

// Dates and times through the calendar are slow; a data column repeats
// them.  Converted values are kept per time zone (a NaN: not representable).
struct Calendar {
    std::string zone = "\x01";
    int serial = 0;  // counts the zone's changes
    std::unordered_map<int64_t, double> seen;
};
Calendar calendar;

void check_zone()
{
    const char *tz = getenv("TZ");
    const std::string zone = tz ? tz : "";
    if (zone != calendar.zone) {
        calendar.zone = zone;
        calendar.serial++;
        calendar.seen.clear();
    }
}

double converted(int type, const int16_t f[3])
{
    const int64_t key = (int64_t(type) << 48) | (int64_t(uint16_t(f[0])) << 32) | (int64_t(uint16_t(f[1])) << 16) |
                        uint16_t(f[2]);
    if (auto it = calendar.seen.find(key); it != calendar.seen.end())
        return it->second;
    errno = 0;
    const time_t s = type == DOZ_T_DATE ? un_ctime(full_year(f[0]), f[1], f[2], 0, 0, 0, 2)
                                        : un_ctime(1980, 2, 29, f[0], f[1], f[2], 2);
    const double v = s == -1 && errno == ERANGE ? NAN : static_cast<double>(s);
    if (calendar.seen.size() > 200000)
        calendar.seen.clear();
    calendar.seen.emplace(key, v);
    return v;
}

// One scalar cell as a plotting value; false when it is missing (or a date
// or time outside the calendar).
bool cell_value(int type, const unsigned char *cell, double *out)
{
    switch (type) {
    case DOZ_T_LONG: {
        int32_t v;
        memcpy(&v, cell, 4);
        *out = v;
        return true;
    }
    case DOZ_T_SHORT: {
        int16_t v;
        memcpy(&v, cell, 2);
        *out = v;
        return true;
    }
    case DOZ_T_SREAL: {
        float v;
        memcpy(&v, cell, 4);
        *out = v;
        return true;
    }
    case DOZ_T_TINY: *out = cell[0]; return true;
    case DOZ_T_REAL:
    case DOZ_T_COMPLEX: memcpy(out, cell, 8); return true;
    case DOZ_T_DATE:
    case DOZ_T_TIME: {
        // Year, month, day or hour, minute, second.
        int16_t f[3];
        memcpy(f, cell, 6);
        *out = converted(type, f);
        return !std::isnan(*out);
    }
    default: return false;
    }
}

bool number_type(int type)
{
    switch (type) {
    case DOZ_T_LONG:
    case DOZ_T_SHORT:
    case DOZ_T_SREAL:
    case DOZ_T_TINY:
    case DOZ_T_REAL:
    case DOZ_T_COMPLEX:
    case DOZ_T_DATE:
    case DOZ_T_TIME: return true;
    default: return false;
    }
}

// The plotting values of a scalar number, date or time column, read from
// the rows the first time a reader meets the column (dates and times again
// when the time zone changed); null for any other column.
const DsNumbers *column_numbers(int dataset, int column, const DozColDesc *type)
{
    if (type->count != 0 || !number_type(type->type))
        return nullptr;
    DsNumbers *n = dscol_ds_numbers(dataset, column);
    if (!n)
        return nullptr;
    const bool calendar_type = type->type == DOZ_T_DATE || type->type == DOZ_T_TIME;
    if (n->made && (!calendar_type || n->zone == calendar.serial))
        return n;
    int stride = 0, offset = 0;
    const unsigned char *cells = dscol_ds_scalar_cells(dataset, column, &stride, &offset);
    if (!cells)
        return nullptr;
    const auto rows = static_cast<size_t>(dsmgr_ds_rows(dataset));
    n->value.assign(rows, 0.0);
    n->present.assign(rows, 0);
    for (size_t r = 0; r < rows; r++, cells += stride)
        if (cells[0])
            n->present[r] = cell_value(type->type, cells + offset, &n->value[r]) ? 1 : 0;
    n->made = true;
    n->zone = calendar.serial;
    return n;
}

bool array_y(const GoTuple *t) { return t->ytype && t->ytype->count != 0; }

// Types that hold no number: texts, booleans, characters and blobs.
bool non_scalar(int type)
{
    return type == DOZ_T_STRING || type == DOZ_T_BOOL || type == DOZ_T_CHAR || type == DOZ_T_BLOB;
}

int clamp_int(double v)
{
    if (std::isnan(v) || v >= 2147483647.0 || v <= -2147483648.0)
        return std::isnan(v) ? 0 : (v > 0 ? 2147483647 : -2147483647 - 1);
    return static_cast<int>(v);
}

// Days of 1970-01-01 ... of a stored date.  A stored year of two digits is
// taken with the pivot 30 (29 is 2029, 30 is 1930); a full year as it is.
int full_year(int year)
{
    if (year >= 100)
        return year;
    return year > 29 ? year + 1900 : year + 2000;
}

void setup(GoTuple *t, bool multiy)
{
    check_zone();
    const int character = dsmgr_ds_character(t->dataset);
    const int order = dsmgr_ds_order(t->dataset);
    int col[3] = {2, 2, 2};
    if (order >= 1 && order <= 6)
        std::copy_n(dscol_order_columns[order - 1], 3, col);
    if (character == DS_CH_Y || character == DS_CH_YARRAY)
        col[0] = col[2] = -1;
    else if (character == DS_CH_XY || character == DS_CH_Y_XOTHER || character == DS_CH_YOTHER_X ||
             character == DS_CH_XYARRAY)
        col[2] = -1;
    const DozColDesc *type[3];
    for (int c = 0; c < 3; c++) {
        type[c] = col[c] >= 0 && col[c] < dsmgr_ds_columns(t->dataset) ? dscol_ds_get_tinfo(t->dataset, col[c])
                                                                        : nullptr;
        if (!type[c]) {
            col[c] = -1;
            type[c] = &absent_column;
        }
    }
    if (multiy) {
        std::swap(col[0], col[2]);
        std::swap(type[0], type[2]);
    }
    t->status = GT_S_READ;
    t->xcol = col[0];
    t->ycol = col[1];
    t->zcol = col[2];
    t->xtype = type[0];
    t->ytype = type[1];
    t->ztype = type[2];
    t->xcount = t->ycount = t->zcount = 0;
    t->row = 0;
    t->element = 0;
    t->counter = 0;
}

// Generation modes of a coordinate.
enum { MODE_ELEMENT = 0, MODE_COUNTER = 2 };

double generated(const GoTuple *t, int mode, double scale, double offset)
{
    if (mode == MODE_ELEMENT) {
        const int last = std::max(1, t->ycount);
        return (t->element % last) * scale + offset;
    }
    if (mode == MODE_COUNTER)
        return t->counter * scale + offset;
    return 0;
}

// Reads coordinate c of the current point from its cell in the rows: an
// array element, a text, or a column read once into numbers cannot be.
[[gnu::noinline]] void read_cell(GoTuple *t, int c, int mode, int column, const DozColDesc *type,
                                 ReaderStore &store, int32_t *count, double **value, const char **text)
{
    double &own = store.value[c];
    int n = 0;
    const auto *cell = static_cast<const unsigned char *>(dscol_ds_get(t->dataset, t->row, column, &n));
    *count = n;
    *value = nullptr;
    if (!cell || n <= 0)
        return;
    const int e = std::min(t->element, n - 1);
    if (number_type(type->type)) {
        if (!cell_value(type->type, cell + static_cast<size_t>(e) * doz_elem_size(*type), &own))
            return;
        *value = &own;
        return;
    }
    switch (type->type) {
    case DOZ_T_STRING: {
        *text = reinterpret_cast<const char *>(cell + static_cast<size_t>(e) * (type->width + 1));
        own = generated(t, mode, 1.0, 0.0);
        break;
    }
    case DOZ_T_BOOL:
    case DOZ_T_CHAR:
    case DOZ_T_BLOB: {
        const int width = type->type == DOZ_T_BLOB ? 24 : std::clamp<int>(type->width, 1, 255);
        safe_strcpy(store.text[c], dsprint_ds_sprint(cell, width, -1, type->type), sizeof store.text[c] - 1);
        *text = store.text[c];
        own = generated(t, mode, 1.0, 0.0);
        break;
    }
    default: return;
    }
    *value = &own;
}

// Reads coordinate c (0 x, 1 y, 2 z) of the current point: generated, from
// the column's numbers, or from its cell.
inline void read_coordinate(GoTuple *t, int c, int mode, int column, const DozColDesc *type, ReaderStore &store,
                            int32_t *count, double **value, const char **text)
{
    *text = nullptr;
    if (column < 0) {
        double &own = store.value[c];
        *count = 0;
        own = mode == MODE_ELEMENT ? generated(t, mode, x_scale, x_offset) : generated(t, mode, z_scale, z_offset);
        *value = &own;
        return;
    }
    ReaderStore::Recent &recent = store.recent;
    if (recent.column[c] != column) {
        recent.column[c] = column;
        recent.numbers[c] = column_numbers(t->dataset, column, type);
    }
    if (const DsNumbers *numbers = recent.numbers[c]) {
        const auto r = static_cast<size_t>(t->row);
        const bool there = r < numbers->present.size() && numbers->present[r];
        *count = 1;
        *value = there ? const_cast<double *>(&numbers->value[r]) : nullptr;
        return;
    }
    read_cell(t, c, mode, column, type, store, count, value, text);
}

bool missing(const double *value, const char *text, const DozColDesc *type)
{
    if (!value)
        return true;
    if (non_scalar(type->type))
        return text == nullptr;
    return clamp_int(*value) == -9999;
}

// Brings the reader's memory of the tuple's dataset up to date.
void recall(const GoTuple *t, ReaderStore &store)
{
    ReaderStore::Recent &r = store.recent;
    const uint64_t changes = dsmgr_ds_changes();
    const int current = dsmgr_ds_current();
    if (r.changes == changes && r.current == current && r.zone == calendar.serial && r.dataset == t->dataset)
        return;
    r = ReaderStore::Recent{};
    r.changes = changes;
    r.current = current;
    r.zone = calendar.serial;
    r.dataset = t->dataset;
    r.rows = dsmgr_ds_rows(t->dataset);
}

GoTuple *read(GoTuple *t, bool multiy, ReaderStore &store)
{
    if (t->step == 0)
        setup(t, multiy);
    recall(t, store);
    if (t->row >= store.recent.rows || t->row < 0) {
        t->status |= t->row < 0 ? GT_S_START : GT_S_END;
        t->x = t->y = t->z = nullptr;
        t->xtext = t->ytext = t->ztext = nullptr;
        return t;
    }
    int xmode = MODE_COUNTER, zmode = MODE_COUNTER;
    if (array_y(t))
        xmode = MODE_ELEMENT;
    read_coordinate(t, 1, MODE_COUNTER, t->ycol, t->ytype, store, &t->ycount, &t->y, &t->ytext);
    read_coordinate(t, 0, xmode, t->xcol, t->xtype, store, &t->xcount, &t->x, &t->xtext);
    read_coordinate(t, 2, zmode, t->zcol, t->ztype, store, &t->zcount, &t->z, &t->ztext);
    t->null = missing(t->y, t->ytext, t->ytype) || missing(t->x, t->xtext, t->xtype) ||
              (t->zcol >= 0 && missing(t->z, t->ztext, t->ztype));
    if (autoinc)
        goprop_go_next_point(t);
    return t;
}

// The last element index of an array row: the smallest present count.
int last_element(const GoTuple *t)
{
    int n = t->ycount;
    if (t->xcount > 0)
        n = std::min(n, t->xcount);
    if (t->zcount > 0)
        n = std::min(n, t->zcount);
    return n - 1;
}

}  // namespace

GoTuple *goprop_triple_reader(GoTuple *t) { return read(t, false, triple_store); }
GoTuple *goprop_multiy_reader(GoTuple *t) { return read(t, true, multiy_store); }

void set_scale_offset(double xscale, double xoffset, double zscale, double zoffset)
{
    x_scale = xscale;
    x_offset = xoffset;
    z_scale = zscale;
    z_offset = zoffset;
}

void goprop_go_tuple_autoinc(int flag) { autoinc = flag; }
int goprop_go_tuple_autoinc_get() { return autoinc; }

void goprop_go_next_point(GoTuple *t)
{
    if (t->status & GT_S_END)
        return;
    t->status = GT_S_READ;
    if (array_y(t)) {
        const int last = std::max(1, t->ycount);
        if (t->element == 0)
            t->status = GT_S_READ | GT_S_CELL_START;
        if (t->element % last == last - 1)
            t->status |= GT_S_ROW_END;
        t->element++;
        if (t->element >= std::max({t->xcount, t->ycount, t->zcount})) {
            t->element = 0;
            t->row++;
            t->counter++;
            t->status |= GT_S_ROW_END;
        }
    } else {
        t->row++;
        if (!t->null)
            t->counter++;
    }
    t->step++;
}

void goprop_go_previous_point(GoTuple *t)
{
    if (t->status & GT_S_START)
        return;
    t->status = GT_S_READ;
    if (array_y(t)) {
        const int last = std::max(1, t->ycount);
        if (t->element % last == last - 1)
            t->status |= GT_S_CELL_START;
        if (t->element > 0) {
            t->element--;
            if (t->element == 0)
                t->status |= GT_S_ELEMENT0;
        } else {
            t->element = last - 1;
            t->row--;
            t->counter--;
            t->status |= GT_S_CELL_START;
        }
    } else {
        t->row--;
        if (!t->null)
            t->counter--;
    }
    t->step--;
}

int goprop_go_peek_data_event(GoTuple *t, int backward)
{
    const bool arr = array_y(t);
    if (backward)
        return t->row <= 0 && (!arr || t->element <= 0) ? GT_S_START : 0;
    const int rows = dsmgr_ds_rows(t->dataset);
    if (rows <= 0)
        return GT_S_END;
    if (t->row >= rows - 1 && (!arr || t->element >= last_element(t)))
        return GT_S_END;
    return 0;
}

void go_set_page_size(GoTuple *t)
{
    if (!array_y(t)) {
        page_size = dsmgr_ds_rows(t->dataset) / 10;
        return;
    }
    int n = 0;
    for (int c : {t->ycount, t->xcount, t->zcount})
        if (c > 0 && (n == 0 || c < n))
            n = c;
    page_size = n / 10;
}

void goprop_go_page_forward(GoTuple *t)
{
    for (int i = 0; i < page_size && !goprop_go_peek_data_event(t, 0); i++)
        goprop_go_next_point(t);
}

void goprop_go_page_back(GoTuple *t)
{
    for (int i = 0; i < page_size && !goprop_go_peek_data_event(t, 1); i++)
        goprop_go_previous_point(t);
}

void goprop_go_to_start(GoTuple *t) { t->step = 0; }

void goprop_go_to_end(GoTuple *t)
{
    while (!(t->status & GT_S_END) && !goprop_go_peek_data_event(t, 0))
        goprop_go_next_point(t);
}

void goprop_go_copy_tuple(GoTuple *destination, const GoTuple *source)
{
    double *dst_value[3] = {destination->x, destination->y, destination->z};
    double *storage[3];
    for (int c = 0; c < 3; c++)
        storage[c] = destination->own[c] ? destination->own[c] : dst_value[c];
    const double *src_value[3] = {source->x, source->y, source->z};
    *destination = *source;
    double **out[3] = {&destination->x, &destination->y, &destination->z};
    for (int c = 0; c < 3; c++) {
        destination->own[c] = storage[c];
        if (src_value[c] && storage[c]) {
            *storage[c] = *src_value[c];
            *out[c] = storage[c];
        } else {
            *out[c] = nullptr;
        }
    }
}

void goprop_go_restore_tuple(GoTuple *destination, const GoTuple *source)
{
    goprop_go_copy_tuple(destination, source);
}

int goprop_go_tuples_match(const GoTuple *a, const GoTuple *b)
{
    return a->x && b->x && *a->x == *b->x;
}

int goprop_go_find_tuple(GoTuple *t, const GoTuple *target, int backward, GoTupleReader reader)
{
    if (!target->x)
        return 0;
    const double want = *target->x;
    const int edge = backward ? GT_S_START : GT_S_END;
    for (;;) {
        if ((goprop_go_peek_data_event(t, backward) & edge) || (t->status & edge))
            return t->x && *t->x == want ? 1 : 0;
        if (t->x && *t->x == want)
            return 1;
        if (t->x && (backward ? *t->x < want : *t->x > want))
            return 0;
        do {
            if (backward)
                goprop_go_previous_point(t);
            else
                goprop_go_next_point(t);
            t->null = 0;
            reader(t);
        } while (t->null && !(t->status & edge) && !(goprop_go_peek_data_event(t, backward) & edge));
    }
}

int goprop_null_tuple(const GoTuple *t) { return t->null; }
