// Bulk load and unload of one table through a file or a shell pipe, the
// comma-separated output of a query, and the Stop polling of both.
//
// A load reads rows with the transfer codec, packs them into the result
// buffer and sends each batch with one WRITE statement.  An unload runs a
// DISPLAY in the background and writes each buffer from the query
// manager's end-of-buffer handler.  One transfer runs at a time.

#include "wsxfer.h"

#include "dozrow.h"
#include "obbox.h"
#include "dsput.h"
#include "obdb.h"
#include "obdict.h"
#include "qycompat.h"
#include "wsdict.h"
#include "wsxfermsgs.h"

#include <X11/Xlib.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace {

WsXferWorkspace ws{};
WsXferUser user{};
float xfer_check_stop_interval = 1.0f;

// ---- module state (one load or unload at a time) ---------------------------------------

ObTransferData transfer{};
FILE *xferf = nullptr;
bool xfer_pipe = false;
bool output_closed = true;
int xstat = 0;
int transfer_count = 0;
int reject_count = 0;
int input_count = 0;
volatile unsigned char transfer_stopped = 0;
bool reported_error = false;
bool is_output_to_csv = false;
bool first_buffer = true;
bool handler_called = false;
std::vector<XferName> colnames_head;
XferWriter writer;
int lastq = 0, lastd = 0, lastf = 0;

// Stop polling.
int stop_check_count = 0;
int stop_check_count_interval = 10;
double last_stopcheck_time = 0;
double (*stop_clock)() = nullptr;
long real_polls = 0;

double now_seconds()
{
    if (stop_clock)
        return stop_clock();
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void start_polling()
{
    stop_check_count = 0;
    stop_check_count_interval = 10;
    last_stopcheck_time = now_seconds();
}

// ---- the user ---------------------------------------------------------------------------

// Errors and warnings go to the user's hooks when they are set, else to
// the object layer's boxes (standard error when there is no window).
template <class... A>
void show_error(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    if (user.error)
        user.error(m.number, vx_msgf(obmain_ob_nlsfd, m, args...).c_str());
    else
        obbox_error(m, args...);
}

template <class... A>
void show_warning(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    if (user.warning)
        user.warning(m.number, vx_msgf(obmain_ob_nlsfd, m, args...).c_str());
    else
        obbox_warning(m, args...);
}

void show_status()
{
    if (user.status)
        user.status(transfer_count, reject_count, transfer_stopped ? 1 : 0);
}

QyStopProc set_stop_proc(QyStopProc proc) { return ws.set_stop_proc ? ws.set_stop_proc(proc) : nullptr; }
void enable_stop(int on)
{
    if (ws.enable_stop)
        ws.enable_stop(on);
}

// ---- the input or output ----------------------------------------------------------------

FILE *open_transfer(const char *mode)
{
    xfer_pipe = transfer.medium == XFER_PIPE;
    FILE *f = xfer_pipe ? dspipe_ds_open_pipe(transfer.path, *mode == 'r' ? "r" : "a") : fopen(transfer.path, mode);
    if (!f)
        show_error(XF_CANNOT_OPEN, transfer.path);
    return f;
}

// Closes the transfer's stream once; a command that reported failure, or
// a file whose last bytes could not be written, is told to the user.
void close_transfer()
{
    if (output_closed || !xferf)
        return;
    output_closed = true;
    FILE *f = xferf;
    xferf = nullptr;
    if (xfer_pipe) {
        if (!dspipe_ds_close_pipe(f)) {
            show_error(XF_PIPE_FAILED);
            xstat = XFER_PIPE_FAILED;
        }
        return;
    }
    if (fclose(f) != 0 && transfer.direction == XFER_UNLOAD && !writer.failed) {
        writer.failed = XFER_WRITE_REFUSED;
        show_error(XF_WRITE_FAILED);
    }
}

std::string column_list(const DictRelation *rel)
{
    std::string s;
    for (const DictColumn *c = rel ? rel->columns : nullptr; c; c = c->next)
        s += (s.empty() ? "" : ", ") + std::string(c->name);
    return s;
}

std::vector<XferColumn> load_columns(const DictRelation *rel)
{
    std::vector<XferColumn> cols;
    for (const DictColumn *c = rel ? rel->columns : nullptr; c; c = c->next) {
        if (!c->item)
            continue;
        XferColumn x;
        x.name = c->name;
        x.type = c->item->type;
        x.length = c->item->length;
        x.precision = c->item->fraction;
        x.count = static_cast<int>(std::clamp<int64_t>(c->item->array_size, 0, DOZ_MAX_ELEMENTS));
        x.var = c->item->var != 0;
        x.ndims = c->item->ndims;
        x.null = c->null != 0;
        cols.push_back(x);
    }
    return cols;
}

void release_table()
{
    obdb_obq_no_access(transfer.table);
}

}  // namespace

void wsxfer_set_workspace(const WsXferWorkspace *hooks) { ws = hooks ? *hooks : WsXferWorkspace{}; }
void wsxfer_set_user(const WsXferUser *hooks) { user = hooks ? *hooks : WsXferUser{}; }
void wsxfer_set_check_stop_interval(float seconds) { xfer_check_stop_interval = seconds > 0 ? seconds : 1.0f; }
void wsxfer_set_clock(double (*clock)())
{
    stop_clock = clock;
    start_polling();
}
long wsxfer_stop_polls() { return real_polls; }

void wsxfer_reset_counters()
{
    reject_count = transfer_count = input_count = 0;
    transfer_stopped = 0;
    if (user.status)
        user.status(-1, -1, 0);
}

void wsxfer_last_status(int *query, int *database, int *filer)
{
    if (query)
        *query = lastq;
    if (database)
        *database = lastd;
    if (filer)
        *filer = lastf;
}

// ---- Stop ------------------------------------------------------------------------------------

void stop_transfer()
{
    transfer_stopped = 1;
    set_stop_proc(nullptr);
}

void check_stop_button(int force)
{
    Widget w = ws.stop_widget ? ws.stop_widget() : nullptr;
    if (!w || !XtIsRealized(w))
        return;
    if (!force && ++stop_check_count < stop_check_count_interval)
        return;
    const double now = now_seconds();
    const double elapsed = now - last_stopcheck_time;
    if (!force) {
        // Aim at one real poll per configured interval.
        if (elapsed > 0) {
            double n = xfer_check_stop_interval * stop_check_count_interval / elapsed;
            stop_check_count_interval = static_cast<int>(std::clamp(n, 1.0, 1e7));
        }
        // Too early: the count goes on from here, so that it still
        // counts the calls since the last real poll, as the time does.
        if (elapsed <= 0.8 * xfer_check_stop_interval)
            return;
    }
    last_stopcheck_time = now;
    stop_check_count = 0;
    real_polls++;
    Display *dpy = XtDisplay(w);
    XSync(dpy, False);
    XEvent ev;
    while (XCheckWindowEvent(dpy, XtWindow(w), 0x01FFFFFFL, &ev))
        XtDispatchEvent(&ev);
}

// ---- load -------------------------------------------------------------------------------------

int perform_load(const ObTransferData *request)
{
    xstat = reject_count = transfer_count = input_count = 0;
    transfer_stopped = 0;
    reported_error = false;
    transfer = *request;

    xferf = open_transfer("r");
    if (!xferf)
        return XFER_CANNOT_OPEN;
    output_closed = false;

    const DictRelation *rel = obdict_ob_find_table(transfer.table);
    std::vector<XferColumn> cols = load_columns(rel);
    if (cols.empty()) {
        close_transfer();
        xstat = XFER_NO_COLUMNS;
        return xstat;
    }
    const std::string statement = "WRITE " + column_list(rel) + " TO " + transfer.table;

    XferReader reader;
    reader.in = xferf;
    reader.request = &transfer;
    check_xfer_bcmode(reader);

    // The batch size is known before the interpreter's overwrite setting
    // changes, so that a row too big leaves it as it was.
    const int row_size = xfer_row_size(cols);
    const int rows_per_batch = row_size > 0 ? (qymgr_qy_buffer_size() - 1024) / row_size : 0;
    if (rows_per_batch <= 0) {
        show_error(XF_ROW_TOO_BIG);
        close_transfer();
        release_table();
        return XFER_ROW_TOO_BIG;
    }
    if (transfer.overwrite)
        qymgr_qy_query("SET %OVERWRITE TRUE", QY_NOWAIT, QY_ASIS, QY_WARN);

    unsigned char *const qb = static_cast<unsigned char *>(qymgr_qy_buffer());
    const size_t qbsize = static_cast<size_t>(qymgr_qy_buffer_size());
    DozReader packing(qb, qbsize);
    clear_buffer(packing);
    XferBlobs *blobs = xfer_blobs_new();

    bool failed = false;
    const int saved_mode = ws.get_mode ? ws.get_mode() : 0;
    if (ws.set_mode)
        ws.set_mode(2);
    enable_stop(1);
    QyStopProc previous = set_stop_proc(stop_transfer);
    start_polling();
    check_stop_button(1);

    bool loading_cols = transfer.name_row != 0;
    int batch = 0;
    unsigned char *row_at = qb;
    do {
        if (loading_cols) {
            skip_colnames(reader, cols);
            loading_cols = false;
        } else {
            set_buffer_cursor(packing, row_at);
            const int got = load_row(reader, packing, cols, blobs);
            if (got == XFER_ROW_NO_ROOM) {
                // The packer and the batch size disagree: never write a
                // partial row.
                show_error(XF_ROW_TOO_BIG);
                failed = true;
            } else if (got != XFER_ROW_EMPTY) {
                if ((got == XFER_ROW_TRUNCATED || got == XFER_ROW_SHORT) && !reported_error) {
                    const auto &m = got == XFER_ROW_TRUNCATED ? XF_FILE_ENDS_IN_ROW : XF_ROW_ENDS_EARLY;
                    show_error(m, input_count);
                    reported_error = true;
                }
                batch++;
                row_at += row_size;
            }
            input_count++;
        }
        if (!failed && (batch == rows_per_batch || (reader.eof_input && batch > 0))) {
            qymgr_qy_set_buffer_rows(batch);
            qymgr_qy_query(statement.c_str(), QY_BGROUND, QY_WRITE, QY_REPORT);
            bool refused = false;
            if (!qymgr_qy_ok()) {
                if (qymgr_qy_stopped())
                    transfer_stopped = 1;
                else
                    refused = failed = true;
            }
            transfer_count += qymgr_qy_rows();
            if (transfer_stopped || refused)
                reject_count += qymgr_qy_status2();
            else
                reject_count += batch - qymgr_qy_rows();
            show_status();
            init_buffer(packing, qb, qbsize);
            clear_buffer(packing);
            row_at = qb;
            batch = 0;
            check_stop_button(1);
            xfer_blobs_reset(blobs);
        } else {
            check_stop_button(0);
        }
    } while (!reader.eof_input && !transfer_stopped && !failed);

    show_status();
    if (reject_count)
        show_warning(XF_ROWS_REJECTED, reject_count);
    set_stop_proc(previous);
    enable_stop(0);
    if (ws.set_mode)
        ws.set_mode(saved_mode);
    if (transfer.overwrite)
        qymgr_qy_query("SET %OVERWRITE FALSE", QY_NOWAIT, QY_ASIS, QY_WARN);
    close_transfer();
    qymgr_qy_set_buffer_rows(0);
    xfer_blobs_free(blobs);
    if (transfer_count || transfer_stopped || failed) {
        if (ws.reset_table_rows)
            ws.reset_table_rows(transfer.table);
        if (ws.show_table_info && ws.show_table_info() && ws.refresh)
            ws.refresh();
    }
    release_table();
    return xstat;
}

// ---- unload -----------------------------------------------------------------------------------

namespace {

// What one buffer of the unload begins with: the name row, the CSV header.
void first_rows(const std::vector<DozColDesc> &cols)
{
    if (!first_buffer)
        return;
    first_buffer = false;
    if (transfer.name_row)
        unload_colnames(writer, colnames_head);
    if (is_output_to_csv)
        write_csv_header(writer, cols);
}

// Writes the rows of the buffer at the reader's cursor; false when the
// output failed.
bool write_rows(DozReader &buffer, int rows, bool poll)
{
    const std::vector<DozColDesc> cols = tinfo_table(buffer);
    first_rows(cols);
    for (int k = 0; k < rows && !transfer_stopped && !writer.failed; k++) {
        if (unload_row(writer, buffer, cols) != 0)
            break;
        align_row(buffer);
        if (transfer.format != XFER_BINARY && transfer.format != XFER_DFS)
            write_row_terminator(writer);
        if (writer.failed)
            break;
        transfer_count++;
        if (poll)
            check_stop_button(0);
    }
    return xfer_flush(writer) == 0;
}

// Reads the head of a delivered buffer; false when it holds nothing.
bool open_buffer(DozReader &buffer)
{
    if (empty_buffer(buffer))
        return false;
    int had_table = 0;
    return prepare_buffer(buffer, &had_table) == 0;
}

void write_failed()
{
    if (writer.failed == XFER_WRITE_SILENT)
        xstat = XFER_NULL_WRITE_FAILED;
    else
        show_error(XF_WRITE_FAILED);
}

}  // namespace

void unload_handler_gui(int event, int rows, int, DozReader &buffer)
{
    handler_called = true;
    if (event != QY_EVENT_EOB) {
        if (event == QY_EVENT_STOPPED)
            transfer_stopped = 1;
        if (!is_output_to_csv)
            close_transfer();
        clear_buffer(buffer);
        show_status();
        return;
    }
    if (!open_buffer(buffer))
        return;
    QyStopProc previous = set_stop_proc(stop_transfer);
    check_stop_button(1);
    if (!writer.failed && !write_rows(buffer, rows, true)) {
        write_failed();
        clear_buffer(buffer);
        if (!is_output_to_csv)
            close_transfer();
        qymgr_qy_query_abort();
    } else if (transfer_stopped) {
        qymgr_qy_query_abort();
    }
    set_stop_proc(previous);
    show_status();
}

void unload_handler_api(int rows)
{
    static DozReader buffer;  // the table of the first buffer serves the later ones
    init_buffer(buffer, get_qbuffer(), static_cast<size_t>(qymgr_qy_buffer_size()));
    if (!open_buffer(buffer))
        return;
    if (writer.failed || !write_rows(buffer, rows, false)) {
        clear_buffer(buffer);
        query_abort();
        return;
    }
    if (transfer_stopped)
        query_abort();
}

int perform_unload(const ObTransferData *request)
{
    xstat = reject_count = transfer_count = input_count = 0;
    transfer_stopped = 0;
    transfer = *request;
    writer = XferWriter{};

    if (transfer.medium == XFER_FILE) {
        struct stat st{};
        if (stat(transfer.path, &st) == 0 && S_ISREG(st.st_mode)) {
            if (!user.confirm || !user.confirm(XFER_ASK_REPLACE, transfer.path))
                return XFER_DONE;
        }
    }
    xferf = open_transfer("w");
    if (!xferf)
        return XFER_CANNOT_OPEN;
    output_closed = false;
    writer.out = xferf;
    writer.request = &transfer;

    const DictRelation *rel = obdict_ob_find_table(transfer.table);
    std::string statement = "DISPLAY " + column_list(rel) + " FROM " + transfer.table;
    // Use where with no text unloads every row.
    if (transfer.use_where && std::string_view(transfer.where).find_first_not_of(" \t") != std::string_view::npos)
        statement += std::string(" WHERE ") + transfer.where;
    colnames_head.clear();
    for (const DictColumn *c = rel ? rel->columns : nullptr; c; c = c->next)
        colnames_head.push_back({c->name, c->item ? c->item->length : 0});
    if (colnames_head.empty()) {
        close_transfer();
        release_table();
        return XFER_NO_COLUMNS;
    }

    first_buffer = true;
    handler_called = false;
    qymgr_qy_set_override_handler(unload_handler_gui);
    transfer_stopped = 0;
    start_polling();
    enable_stop(1);
    qymgr_qy_query(statement.c_str(), QY_BGROUND, QY_FULL, QY_REPORT);
    enable_stop(0);
    // A DISPLAY without rows delivers no buffer: the file still gets its
    // name row, and a pipe its end of input.
    if (!output_closed) {
        if (!handler_called && !writer.failed) {
            if (transfer.name_row)
                unload_colnames(writer, colnames_head);
            if (xfer_flush(writer) != 0)
                write_failed();
        }
        close_transfer();
        if (!handler_called)
            show_status();
    }
    release_table();
    return xstat;
}

// ---- comma-separated output --------------------------------------------------------------

int perform_output_csv(const char *text, FILE *file, int api)
{
    if (!file || !text)
        return 0;
    ObTransferData csv;
    xfer_default_request(&csv);
    csv.medium = XFER_FILE;
    csv.format = XFER_DELIMITED;
    csv.terminator = XFER_LF;
    snprintf(csv.delimiter, sizeof csv.delimiter, ",");
    csv.name_row = 0;
    transfer = csv;
    writer = XferWriter{};
    writer.out = file;
    writer.request = &transfer;
    xferf = file;
    output_closed = true;  // the caller's
    is_output_to_csv = true;
    transfer_stopped = 0;
    transfer_count = reject_count = 0;
    first_buffer = true;
    handler_called = false;

    int result = 1;
    if (api) {
        query_on_eob(unload_handler_api);
        query_set_modes(27);
        query(text);
        int code = 0, code2 = 0, code3 = 0, rows = 0, fifth = 0;
        query_status(&code, &code2, &code3, &rows, &fifth);
        if (code == 7)  // stopped by the user
            transfer_stopped = 1;
        if (query_error() || writer.failed) {
            lastq = code;
            lastd = code2;
            lastf = code3;
            result = 0;
        }
        query_on_eob(nullptr);
        qymgr_qy_take_eob();
    } else {
        qymgr_qy_set_override_handler(unload_handler_gui);
        qymgr_qy_query(text, QY_BGROUND, QY_FULL, QY_REPORT);
    }
    is_output_to_csv = false;
    xferf = nullptr;
    return result;
}
