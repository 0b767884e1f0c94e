// The dataset archive, the default query handler that fills it, and the
// new-data notice to the display canvas.

#include "dsmgr.h"
#include "dsput.h"

#include "dozrow.h"
#include "dozvalue.h"
#include "qymgr.h"
#include "vxadata.h"
#include "vxcat.h"
#include "vxmsg.h"
#include "vxutil.h"

#include <X11/Intrinsic.h>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "dataset_msgs.def"
#undef VXMSG

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>

DsArchive dsmgr_archive;

namespace {
// Counts the changes of the archive's datasets (see dsmgr_ds_changes).
uint64_t changes = 1;
}  // namespace

// ds_manager is the query manager's default query handler.
static_assert(std::is_same_v<decltype(&ds_manager), QyHandler>);
static_assert(DS_EV_OK == QY_EVENT_OK && DS_EV_EOB == QY_EVENT_EOB && DS_EV_STOPPED == QY_EVENT_STOPPED &&
              DS_EV_FAILED == QY_EVENT_FAILED);

namespace {

nl_catd catd = NL_NO_CATALOGUE;
Widget display_window = nullptr;
int query_started = 0;
int data_null = 0;
// The dataset of the running query.  It takes the current slot only when
// the query ends well, so that a stopped or failed query leaves the
// archive as it was.
DsDataset *building = nullptr;

template <class... A>
void say(const VxMsg<A...> &m, typename std::type_identity<A>::type... args)
{
    fputs(vx_msgf(catd, m, args...).c_str(), stderr);
}

void free_dataset(DsDataset *ds)
{
    if (!ds)
        return;
    changes++;
    vx_free(ds->data);
    delete ds;
}

DsDataset *dataset_at(int i)
{
    if (i < 0 || i > dsmgr_archive.current || i >= DS_ARCHIVE_SIZE)
        return nullptr;
    return dsmgr_archive.slot[i];
}

DsDataset *archived(int i)
{
    DsDataset *ds = dataset_at(i);
    if (!ds)
        say(DS_NOT_IN_ARCHIVE);
    return ds;
}

int round_up(long x, int a) { return static_cast<int>(a <= 1 ? x : (x + a - 1) / a * a); }

// The columns of a descriptor table, without its closing entry.
size_t column_count(const std::vector<DozColDesc> &t)
{
    size_t n = 0;
    while (n < t.size() && t[n].type != DOZ_T_END)
        n++;
    return n;
}

// The new dataset of a query's first buffer: the table just read, and the
// row stride it lays out to (0 when the rows cannot be read with it).
DsDataset *start_dataset(const DozReader &reader, int had_table)
{
    auto *ds = new DsDataset;
    if (had_table)
        ds->tinfo = tinfo_table(reader);
    DozColDesc end{};
    end.type = DOZ_T_END;
    end.precision = static_cast<int16_t>(row_alignment(reader));
    ds->tinfo.push_back(end);
    DozLayout l;
    std::span<const DozColDesc> cols(ds->tinfo.data(), ds->tinfo.size() - 1);
    if (!cols.empty() && doz_layout(cols, true, l) && l.row_align == row_alignment(reader))
        ds->stride = l.row_size;
    else if (!cols.empty())
        say(DS_BAD_BUFFER);
    return ds;
}

// Copies the rows of one buffer onto the end of the dataset.  `len` bytes
// follow the head, as far as the interpreter and the segment allow; only
// whole rows are kept.
void add_rows(DsDataset *ds, const unsigned char *rows_at, int rows, long len, bool first)
{
    int keep = 0;
    if (ds->stride > 0 && rows > 0 && len > 0)
        keep = static_cast<int>(std::min<long>(rows, len / ds->stride));
    const long add = static_cast<long>(keep) * ds->stride;
    // Once the rows could not be stored the dataset stays empty: rows after
    // a gap would pass for the whole result.
    if (add == 0 || ds->store_failed)
        return;
    if (first) {
        ds->data = static_cast<unsigned char *>(vx_malloc(add, 0));
        if (!ds->data) {
            say(DS_STORE_FAILED);
            ds->store_failed = true;
            return;
        }
        ds->capacity = add;
    } else if (ds->data_bytes + add > ds->capacity) {
        // The block doubles, so that a long result is not copied over and
        // over; what is left over goes back when the result is complete.
        const long need = ds->data_bytes + add;
        const long room = std::max(need, std::min<long>(INT_MAX, 2 * ds->capacity));
        auto *grown = static_cast<unsigned char *>(need <= INT_MAX ? vx_realloc(ds->data, room, 0) : nullptr);
        if (!grown) {
            say(DS_ADD_FAILED);
            vx_free(ds->data);
            ds->data = nullptr;
            ds->data_bytes = 0;
            ds->capacity = 0;
            ds->rows = 0;
            ds->store_failed = true;
            return;
        }
        ds->data = grown;
        ds->capacity = room;
    }
    memcpy(ds->data + ds->data_bytes, rows_at, static_cast<size_t>(add));
    ds->data_bytes += static_cast<int>(add);
    ds->rows += keep;
}

// Gives back the room the rows did not take.
void fit(DsDataset *ds)
{
    if (ds->data && ds->capacity > ds->data_bytes && ds->data_bytes > 0)
        if (auto *tight = static_cast<unsigned char *>(realloc(ds->data, static_cast<size_t>(ds->data_bytes))))
            ds->data = tight;
    ds->capacity = ds->data_bytes;
}

void end_of_buffer(int rows, int data_bytes, DozReader &reader)
{
    // The reader goes no further than the query manager's segment, or the
    // bytes said to be filled of any other buffer.
    const long size = static_cast<long>(reader.buffsize);
    if (empty_buffer(reader))
        return;
    int had_table = 0;
    if (prepare_buffer(reader, &had_table) != 0) {
        say(DS_BAD_BUFFER);
        clear_buffer(reader);
        return;
    }
    const unsigned char *rows_at = buffer_cursor(reader);
    const long header = rows_at - reader.buffhandle;
    long len = std::max(0, round_up(static_cast<long>(data_bytes) - header, row_alignment(reader)));
    len = std::min(len, std::max(0L, size - header));

    const bool first = !query_started;
    if (first) {
        query_started = 1;
        free_dataset(building);
        building = start_dataset(reader, had_table);
    } else if (had_table) {
        say(DS_TINFO_LATER);
    }
    add_rows(building, rows_at, rows, len, first);
    clear_buffer(reader);
}

void send_client_event()
{
    if (!display_window || !XtIsRealized(display_window))
        return;
    const Atom newdata_atom = qymgr_qy_newdata_atom();
    if (newdata_atom == None)
        return;
    Display *dpy = XtDisplay(display_window);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.send_event = True;
    ev.xclient.display = dpy;
    ev.xclient.window = XtWindow(display_window);
    ev.xclient.message_type = newdata_atom;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 0;
    XSendEvent(dpy, XtWindow(display_window), False, NoEventMask, &ev);
    XFlush(dpy);
}

void empty_archive()
{
    for (DsDataset *&ds : dsmgr_archive.slot) {
        free_dataset(ds);
        ds = nullptr;
    }
    dsmgr_archive.current = 0;
}

}  // namespace

void dsmgr_ds_init(Widget display_canvas, const AppData *resources)
{
    if (resources) {
        catd = resources->catd;
        set_date_time_format(resources->dateOutputFormat, resources->timeOutputFormat);
        if (resources->dateInputFormat)
            dsprint_ds_set_date_input_format(resources->dateInputFormat);
        set_complex_format(resources->complexOutputFormat);
    }
    display_window = display_canvas;
    empty_archive();
    free_dataset(building);
    building = nullptr;
    query_started = 0;
    qymgr_qy_set_handler(ds_manager);
}

void ds_manager(int event, int rows, int data_bytes, DozReader &buffer)
{
    switch (event) {
    case DS_EV_EOB: end_of_buffer(rows, data_bytes, buffer); break;
    case DS_EV_OK: {
        const int cur = dsmgr_archive.current;
        if (query_started && building) {
            fit(building);
            free_dataset(dsmgr_archive.slot[cur]);
            dsmgr_archive.slot[cur] = building;
            building = nullptr;
        }
        query_started = 0;
        if (DsDataset *ds = dsmgr_archive.slot[cur]) {
            dscol_ds_setup_colinfo(ds->tinfo, ds->rows, ds->colinfo, &ds->columns, &ds->row_size);
            ds->numbers.clear();
            changes++;
            send_client_event();
        }
        break;
    }
    case DS_EV_STOPPED:
    case DS_EV_FAILED:
        free_dataset(building);
        building = nullptr;
        query_started = 0;
        break;
    default: break;
    }
}

void dsmgr_ds_retain()
{
    const int cur = dsmgr_archive.current;
    if (!dsmgr_archive.slot[cur])
        return;
    if (cur >= DS_ARCHIVE_SIZE - 1) {
        say(DS_TOO_MANY);
        return;
    }
    dsmgr_archive.current = cur + 1;
    free_dataset(dsmgr_archive.slot[cur + 1]);
    dsmgr_archive.slot[cur + 1] = nullptr;
}

void dsmgr_ds_clear()
{
    for (int i = 0; i <= dsmgr_archive.current && i < DS_ARCHIVE_SIZE; i++) {
        free_dataset(dsmgr_archive.slot[i]);
        dsmgr_archive.slot[i] = nullptr;
    }
    dsmgr_archive.current = 0;
}

int dsmgr_ds_current() { return dsmgr_archive.current; }
uint64_t dsmgr_ds_changes() { return changes; }
int dsmgr_ds_current_exists() { return dsmgr_archive.slot[dsmgr_archive.current] ? 1 : 0; }

int dsmgr_ds_rows(int i)
{
    DsDataset *ds = archived(i);
    return ds ? ds->rows : 0;
}

int dsmgr_ds_columns(int i)
{
    DsDataset *ds = archived(i);
    return ds ? ds->columns : 0;
}

int dsmgr_ds_character(int i)
{
    DsDataset *ds = archived(i);
    return ds ? ds->character : 0;
}

int dsmgr_ds_order(int i)
{
    DsDataset *ds = archived(i);
    return ds ? ds->order : 3;
}

int dsmgr_ds_printed(int i)
{
    DsDataset *ds = archived(i);
    return ds ? ds->printed : 0;
}

void dsmgr_ds_set_printed(int i)
{
    if (DsDataset *ds = archived(i))
        ds->printed = 1;
}

void dsmgr_ds_set_datanull(int flag) { data_null = flag; }
int dsmgr_ds_check_datanull() { return data_null; }

// ---- columns and values ------------------------------------------------------

int dscol_ds_setup_colinfo(std::vector<DozColDesc> &descriptors, int rows, std::vector<DsColInfo> &info,
                           int *columns, int *row_size)
{
    const size_t n = column_count(descriptors);
    info.clear();
    for (size_t i = 0; i < n; i++)
        if (!strncmp(descriptors[i].name, "%NAME", 5))
            descriptors[i].name[0] = '\0';
    DozLayout l;
    const bool ok = n == 0 || doz_layout(std::span<const DozColDesc>(descriptors.data(), n), true, l);
    for (size_t i = 0; i < n; i++)
        info.push_back({ok && rows > 0 ? l.fields[i].presence : 0, descriptors[i], ok && rows > 0 ? l.fields[i].value : 0});
    *columns = static_cast<int>(n);
    *row_size = ok && rows > 0 && n > 0 ? l.row_size : 0;
    return ok ? 0 : -1;
}

int dscol_ds_class(const DozColDesc *d)
{
    if (!d)
        return DS_COL_ABSENT;
    if (d->count != 0)
        return DS_COL_ARRAY;
    switch (d->type) {
    case DOZ_T_LONG:
    case DOZ_T_SHORT:
    case DOZ_T_REAL:
    case DOZ_T_DATE:
    case DOZ_T_TIME:
    case DOZ_T_COMPLEX:
    case DOZ_T_SREAL:
    case DOZ_T_TINY: return DS_COL_NUMERIC;
    default: return DS_COL_OTHER;
    }
}

namespace {

int character_of(int y, int x, int z)
{
    const bool xnone_or_array = x == DS_COL_ABSENT || x == DS_COL_ARRAY;
    const bool znone_or_array = z == DS_COL_ABSENT || z == DS_COL_ARRAY;
    if (y == DS_COL_NUMERIC) {
        if (xnone_or_array)
            return DS_CH_Y;
        if (x == DS_COL_OTHER)
            return DS_CH_Y_XOTHER;
        // x numeric
        if (znone_or_array)
            return DS_CH_XY;
        return z == DS_COL_NUMERIC ? DS_CH_XYZ : DS_CH_XY_ZOTHER;
    }
    if (y == DS_COL_OTHER)
        return x == DS_COL_NUMERIC ? DS_CH_YOTHER_X : 0;
    if (y == DS_COL_ARRAY) {
        if (x != DS_COL_ARRAY)
            return DS_CH_YARRAY;
        switch (z) {
        case DS_COL_ABSENT: return DS_CH_XYARRAY;
        case DS_COL_NUMERIC: return DS_CH_XYARRAY_Z;
        case DS_COL_OTHER: return DS_CH_XYARRAY_ZOTHER;
        default: return DS_CH_XYZARRAY;
        }
    }
    return 0;
}

}  // namespace

const int dscol_order_columns[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {2, 0, 1}, {1, 2, 0}, {2, 1, 0}};

int dscol_ds_characterise(int order)
{
    DsDataset *ds = dsmgr_archive.slot[dsmgr_archive.current];
    if (!ds)
        return order;
    const size_t n = column_count(ds->tinfo);
    int cls[3];
    for (size_t c = 0; c < 3; c++)
        cls[c] = dscol_ds_class(c < n ? &ds->tinfo[c] : nullptr);
    if (order < 1 || order > 6)
        order = 3;
    if (cls[2] == DS_COL_ABSENT) {
        if (order == 2 || order == 5)
            order = 1;
        else if (order == 4 || order == 6)
            order = 3;
    }
    if (cls[1] == DS_COL_ABSENT)
        order = 3;
    const int *xyz = dscol_order_columns[order - 1];
    ds->order = order;
    ds->character = character_of(cls[xyz[1]], cls[xyz[0]], cls[xyz[2]]);
    return ds->character;
}

const void *dscol_ds_get(int dataset, int row, int column, int *count)
{
    if (count)
        *count = 0;
    DsDataset *ds = dataset_at(dataset);
    if (!ds) {
        say(DS_GET_NOT_IN_ARCHIVE);
        return nullptr;
    }
    if (column < 0 || column >= static_cast<int>(ds->colinfo.size())) {
        say(DS_GET_COLUMN_RANGE);
        return nullptr;
    }
    if (row < 0 || ds->rows <= 0 || !ds->data || ds->row_size <= 0) {
        say(DS_GET_ROW_RANGE);
        return nullptr;
    }
    if (row >= ds->rows) {
        say(DS_GET_ROW_RANGE);
        row = ds->rows - 1;
    }
    // The value points into the dataset's rows, which outlive this reader.
    DozReader reader(ds->data, static_cast<size_t>(ds->data_bytes));
    set_buffer_cursor(reader, ds->data + static_cast<size_t>(row) * ds->row_size + ds->colinfo[column].offset);
    int n = 0;
    const void *v = extract(reader, ds->colinfo[column].desc, &n);
    if (count)
        *count = n;
    return v;
}

const DozColDesc *dscol_ds_get_tinfo(int dataset, int column)
{
    DsDataset *ds = dataset_at(dataset);
    if (!ds) {
        say(DS_GET_NOT_IN_ARCHIVE);
        return nullptr;
    }
    if (column < 0 || static_cast<size_t>(column) >= column_count(ds->tinfo)) {
        say(DS_GET_COLUMN_RANGE);
        return nullptr;
    }
    return &ds->tinfo[static_cast<size_t>(column)];
}

const DozColDesc *dscol_ds_get_tinfo_list(int dataset)
{
    DsDataset *ds = dataset_at(dataset);
    if (!ds) {
        say(DS_GET_NOT_IN_ARCHIVE);
        return nullptr;
    }
    return ds->tinfo.data();
}

const unsigned char *dscol_ds_scalar_cells(int dataset, int column, int *stride, int *value_offset)
{
    DsDataset *ds = dataset_at(dataset);
    if (!ds || column < 0 || column >= static_cast<int>(ds->colinfo.size()) || ds->rows <= 0 || !ds->data ||
        ds->row_size <= 0)
        return nullptr;
    const DsColInfo &c = ds->colinfo[static_cast<size_t>(column)];
    if (c.desc.count != 0 || c.value <= c.offset)
        return nullptr;
    *stride = ds->row_size;
    *value_offset = c.value - c.offset;
    return ds->data + c.offset;
}

DsNumbers *dscol_ds_numbers(int dataset, int column)
{
    DsDataset *ds = dataset_at(dataset);
    if (!ds || column < 0 || column >= static_cast<int>(ds->colinfo.size()))
        return nullptr;
    if (ds->numbers.size() != ds->colinfo.size())
        ds->numbers.assign(ds->colinfo.size(), DsNumbers{});
    return &ds->numbers[static_cast<size_t>(column)];
}
