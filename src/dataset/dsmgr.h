// The dataset manager: keeps query results as datasets in an archive of at
// most 500, gives access to their rows, columns and values by dataset
// index, classifies their columns for graphing (data character and data
// order), and tells the display canvas that new data has arrived with a
// format-32 client message of type "VX_NEW_DATA".
//
// Rows are kept exactly as the interpreter laid them out in the result
// buffer (dozrow.h); a dataset's descriptor table ends with an entry of
// type -1 whose third short holds the row alignment.
#pragma once

#include "dozproto.h"
#include "dozrow.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct AppData;
// The toolkit's widget handle (X11/Intrinsic.h), without its macros.
typedef struct _WidgetRec *Widget;

inline constexpr int DS_ARCHIVE_SIZE = 500;

// Query handler events.
inline constexpr int DS_EV_OK = 1, DS_EV_EOB = 2, DS_EV_STOPPED = 3, DS_EV_FAILED = 4;

// Where a column's value starts inside a row (its presence byte), and the
// column's descriptor.
struct DsColInfo {
    int offset;
    DozColDesc desc;
    int value = 0;  // where its first element starts inside a row
};

// A scalar column of numbers, dates or times as plotting values, one a row,
// and whether each row has one: made by the graphs' point readers the first
// time they read the column, and dropped with the dataset's rows.
struct DsNumbers {
    std::vector<double> value;
    std::vector<unsigned char> present;
    bool made = false;
    int zone = -1;  // the readers' time zone the dates and times were taken in
};

struct DsDataset {
    unsigned char *data = nullptr;     // the rows, back to back
    int data_bytes = 0;
    long capacity = 0;                 // bytes allocated for the rows while they arrive
    std::vector<DozColDesc> tinfo;     // the columns, then the type -1 entry
    std::vector<DsColInfo> colinfo;    // set up when the query ended well
    int rows = 0;
    int columns = 0;
    int row_size = 0;                  // 0 until the column info is set up
    int character = 0;
    int order = 3;
    int printed = 0;
    int stride = 0;                    // row size by the layout, while rows arrive
    bool store_failed = false;         // memory ran out: no rows are kept
    std::vector<DsNumbers> numbers;    // per column, once the graphs read it
};

struct DsArchive {
    DsDataset *slot[DS_ARCHIVE_SIZE];
    int current;
};
extern DsArchive dsmgr_archive;

// Column classes for characterising.
enum { DS_COL_ABSENT = 0, DS_COL_NUMERIC = 1, DS_COL_ARRAY = 2, DS_COL_OTHER = 3 };

// Data character bits.
enum {
    DS_CH_Y = 1,            // y numeric, x none or array
    DS_CH_XY = 2,           // x and y numeric, z none or array
    DS_CH_Y_XOTHER = 4,     // y numeric, x other scalar
    DS_CH_YOTHER_X = 8,     // y other scalar, x numeric
    DS_CH_YARRAY = 16,      // y array, x not an array
    DS_CH_XYARRAY = 32,     // x and y arrays, no z
    DS_CH_XYZ = 64,         // x, y and z numeric
    DS_CH_XY_ZOTHER = 128,  // x and y numeric, z other scalar
    DS_CH_XYARRAY_Z = 256,  // x and y arrays, z numeric
    DS_CH_XYARRAY_ZOTHER = 512,
    DS_CH_XYZARRAY = 1024,
};

// ---- the archive -----------------------------------------------------------

// Sets the date, time and complex output formats and the date input format
// from the resource record (either may be null), remembers the canvas that
// receives the notices, empties the archive and makes ds_manager the query
// manager's default query handler.  The notice's atom is the query
// manager's (qymgr_qy_newdata_atom).
void dsmgr_ds_init(Widget display_canvas, const AppData *resources);
// The query handler (qymgr.h): event 2 gives the rows and bytes the
// interpreter put into the buffer read; events 1, 3 and 4 end the query
// (rows and bytes 0).
void ds_manager(int event, int rows, int data_bytes, DozReader &buffer);
void dsmgr_ds_retain();
void dsmgr_ds_clear();
int dsmgr_ds_current();
// A number that changes whenever a dataset of the archive is replaced or
// freed or its column info is set up again: what a reader keeps of a
// dataset is good while the number and the current index stay.
uint64_t dsmgr_ds_changes();
int dsmgr_ds_current_exists();
int dsmgr_ds_rows(int i);
int dsmgr_ds_columns(int i);
int dsmgr_ds_character(int i);
int dsmgr_ds_order(int i);
int dsmgr_ds_printed(int i);
void dsmgr_ds_set_printed(int i);
void dsmgr_ds_set_datanull(int flag);
int dsmgr_ds_check_datanull();

// ---- columns and values ------------------------------------------------------

// Blanks generated names ("%NAME..."), then records each column's offset in
// the row and the row size (offsets and size 0 with no rows).  Returns 0,
// or -1 when the descriptors cannot be laid out.
int dscol_ds_setup_colinfo(std::vector<DozColDesc> &descriptors, int rows, std::vector<DsColInfo> &info,
                           int *columns, int *row_size);
// The columns that are x, y and z for each data order 1-6 (row order - 1),
// as the characterising and the graphs' point readers take them.
extern const int dscol_order_columns[6][3];
// Characterises the current dataset for the requested order (1-6); returns
// the character, or the requested order when the slot is empty.
int dscol_ds_characterise(int order);
// The class of one descriptor (null: absent).
int dscol_ds_class(const DozColDesc *desc);
// One value: the address of its first element and its element count, or
// null for a null value or when the dataset, row or column does not exist.
const void *dscol_ds_get(int dataset, int row, int column, int *count);
const DozColDesc *dscol_ds_get_tinfo(int dataset, int column);
// The cells of a scalar column (descriptor count 0) of a dataset whose
// column info is set up: the presence byte of its first row, with the row
// stride and the distance from the presence byte to the value.  Null (and
// nothing said) for an array column or a dataset, column or rows that are
// not there.
const unsigned char *dscol_ds_scalar_cells(int dataset, int column, int *stride, int *value_offset);
// The plotting values kept for a column of a dataset (see DsNumbers); null
// when the dataset or column is not there.
DsNumbers *dscol_ds_numbers(int dataset, int column);
const DozColDesc *dscol_ds_get_tinfo_list(int dataset);
