// The result writer: lays an engine's result rows into the shared buffer,
// buffer by buffer, with the descriptor table in the first.

#include "tqlwriter.h"

#include <algorithm>
#include <cstring>

TqlWritten tql_write_result(TqlChannel &ch, TqlResult &result, uint32_t modes)
{
    TqlWritten w;
    const bool flags = modes & DOZ_M_FLAGS, table = modes & DOZ_M_TYPE, eob = modes & DOZ_M_EOB;
    const bool noeval = modes & DOZ_M_NOEVAL;
    DozLayout layout;
    if (!doz_layout(result.columns, flags, layout)) {
        w.error = TQL_E_ARGUMENT;
        return w;
    }
    const int ncols = static_cast<int>(result.columns.size());
    if (ncols == 0)
        return w;
    if (!ch.buffer || ch.size <= 0) {
        w.error = TQL_E_NO_BUFFER;
        return w;
    }
    const int rows_cap = ch.rows_per_buffer > 0 ? ch.rows_per_buffer : DOZ_DEFAULT_ROWS;
    std::vector<unsigned char> scratch(static_cast<size_t>(std::max(layout.row_size, 1)));

    if (noeval) {
        // Checked, not run: a Full query still gets its descriptor table.
        if (table && eob) {
            int header = doz_header_bytes(ncols, true);
            if (header > ch.size) {
                w.error = TQL_E_ROW_SIZE;
                return w;
            }
            doz_put_table(ch.buffer, result.columns, layout.row_align);
            if (!ch.send_eob(ch.self, 0, header))
                w.gone = true;
        }
        return w;
    }

    bool first = true, end = false;
    while (!end) {
        const int header = table ? doz_header_bytes(ncols, first) : 0;
        const int fit = layout.row_size > 0 ? (ch.size - header) / layout.row_size : rows_cap;
        const int per = std::min(rows_cap, fit);
        int k = 0;
        if (per < 1) {
            // Not even one row fits: an error only when there is a row.
            if (result.next_row && result.next_row(scratch.data(), layout))
                w.error = TQL_E_ROW_SIZE;
            return w;
        }
        unsigned char *rows_at = ch.buffer + header;
        if (result.next_rows) {
            // A buffer's rows in one call.
            if (ch.stop_requested && ch.stop_requested(ch.self)) {
                w.stopped = true;
            } else {
                k = std::max(result.next_rows(rows_at, per, layout), 0);
                end = k < per;
            }
        } else {
            while (k < per) {
                if (ch.stop_requested && ch.stop_requested(ch.self)) {
                    w.stopped = true;
                    break;
                }
                unsigned char *row = rows_at + static_cast<size_t>(k) * layout.row_size;
                memset(row, 0, static_cast<size_t>(layout.row_size));
                if (!result.next_row || !result.next_row(row, layout)) {
                    end = true;
                    break;
                }
                k++;
            }
        }
        w.rows += k;
        if (w.stopped)
            return w;
        if (k > 0) {
            if (table) {
                if (first)
                    doz_put_table(ch.buffer, result.columns, layout.row_align);
                else
                    doz_put_terminator(ch.buffer, layout.row_align);
            }
            int bytes = header + k * layout.row_size;
            if (eob) {
                if (!ch.send_eob(ch.self, k, bytes)) {
                    w.gone = true;
                    return w;
                }
                w.data_bytes = 0;
            } else {
                w.data_bytes = bytes;
            }
        }
        first = false;
        if (!eob && !end) {
            // One fill only: the remaining rows are counted, not written.
            while (!(ch.stop_requested && ch.stop_requested(ch.self)) && result.next_row(scratch.data(), layout))
                w.rows++;
            end = true;
        }
    }
    return w;
}
