// The row editor.  Each call performs the request code of the row edit
// request: open reads the table's column descriptors and lays out its row,
// the moves and finds FETCH one row into the result buffer, which is
// copied into the editor's own row and mapped into the request's pointers,
// and update and insert send that row back as the one row of the buffer.

#include "obrow.h"

#include "dozrow.h"
#include "obbox.h"
#include "obdb.h"
#include "obmain.h"
#include "obrowmap.h"
#include "obrowmsgs.h"
#include "obview.h"
#include "qymgr.h"
#include "qysched.h"
#include "wsevent.h"
#include "wsmain.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// ---- module state -----------------------------------------------------------------------

ObRowEditData *editval = nullptr;
// The open table (its descriptor table and row layout) and the held row.
ObRowHeld held;
bool buffer_overflowed = false;
bool need_to_reposition_first = false;
bool need_to_reposition_last = false;
bool need_to_reposition_current = false;
// The open's DISPLAY delivered a descriptor table.
bool open_got_table = false;

std::string table_of(const ObRowEditData *r) { return std::string(r->table, strnlen(r->table, sizeof r->table)); }

size_t buffer_size() { return qymgr_qy_buffer() ? static_cast<size_t>(std::max(qymgr_qy_buffer_size(), 0)) : 0; }

void map_row(ObRowEditData *r) { obrow_held_map(r, held); }
void empty_row(ObRowEditData *r) { obrow_held_empty(r, held); }

// Copies the row a FETCH delivered into the held row; false when the
// buffer or the delivered bytes cannot hold a whole row.
bool take_row()
{
    const size_t delivered = std::min<size_t>(buffer_size(), doz_get_data_bytes(qymgr_qy_connection()));
    return obrow_held_copy_in(held, qymgr_qy_buffer(), delivered);
}

// Writes the request's null flags (and the element counts of variable
// arrays) into the held row, gives every blob "no bytes sent", and copies
// the row into the result buffer; false when there is no row to send.
bool put_row(ObRowEditData *r)
{
    const size_t size = held.size();
    if (size == 0 || size > buffer_size())
        return false;
    obrow_held_write_flags(r, held);
    unsigned char *row = held.row();
    for (const DozField &f : held.layout.fields)
        if (f.type == DOZ_T_BLOB)
            doz_set_blob_write_spec(reinterpret_cast<DozBlobDesc *>(row + f.value), nullptr);
    memcpy(qymgr_qy_buffer(), row, size);
    return true;
}

// ---- open ---------------------------------------------------------------------------------

void open_handler(int event, int, int, DozReader &buffer)
{
    if (event != QY_EVENT_EOB || empty_buffer(buffer))
        return;
    int had_table = 0;
    if (prepare_buffer(buffer, &had_table) != 0 || !had_table)
        return;
    held.tinfos = tinfo_table(buffer);
    open_got_table = true;
}

void run_editor(ObRowEditData *r, int request, int interactive)
{
    r->request = request;
    obrow_ob_row_editor(r, interactive);
}

void open_table(ObRowEditData *r)
{
    obrow_held_clear(held);
    buffer_overflowed = false;
    open_got_table = false;
    map_row(r);
    r->status = ROW_NO_ROW;

    const std::string text = "DISPLAY * FROM " + table_of(r);
    qymgr_qy_set_override_handler(open_handler);
    qymgr_qy_query(text.c_str(), QY_NOEVAL, QY_FULL, QY_REPORT);
    if (!open_got_table || held.tinfos.empty())
        return;
    if (!obrow_held_lay_out(held, buffer_size())) {
        buffer_overflowed = true;
        r->status = ROW_TOO_BIG;
        return;
    }
    map_row(r);
    run_editor(r, ROW_REQ_FIRST, 1);
}

// ---- fetch --------------------------------------------------------------------------------

// The interpreter's ends of a move or find are no errors to the user:
// past the end or the start a bell and the last or first row again, a find
// without a match the current row again, an empty table no row.
int row_error_filter(int query_code, int database_code, int filer_code)
{
    ObRowEditData *r = editval;
    if (!r)
        return 1;
    if (query_code == 0) {
        switch (database_code) {
        case 7:
            wsevent_ws_bell();
            need_to_reposition_last = true;
            return 0;
        case 8:
            wsevent_ws_bell();
            need_to_reposition_first = true;
            return 0;
        case 9:
            if (r->search_mode) {
                r->search_mode = 0;
                need_to_reposition_current = true;
                return 0;
            }
            break;
        case 21:
            r->status = ROW_NO_ROW;
            return 0;
        default: break;
        }
    }
    if (query_code || database_code || filer_code)
        r->search_mode = 0;
    return 1;
}

void fetch(ObRowEditData *r, const std::string &text, int interactive)
{
    r->status = ROW_HELD;
    need_to_reposition_first = need_to_reposition_last = need_to_reposition_current = false;
    qymgr_qy_set_error_filter(row_error_filter);
    qymgr_qy_query(text.c_str(), QY_NOWAIT, QY_WRITE, interactive ? QY_REPORT : QY_IGNORE);
    const bool ok = qymgr_qy_ok() != 0;
    const bool reposition = need_to_reposition_first || need_to_reposition_last || need_to_reposition_current;
    if (r->status == ROW_NO_ROW) {
        empty_row(r);
    } else if (!reposition && ok) {
        if (qymgr_qy_rows() == 0) {
            empty_row(r);
        } else if (take_row()) {
            map_row(r);
        } else {
            r->status = ROW_NO_ROW;
            empty_row(r);
        }
    } else if (interactive) {
        const int again = need_to_reposition_last ? ROW_REQ_LAST
                          : need_to_reposition_first ? ROW_REQ_FIRST
                                                     : ROW_REQ_CURRENT;
        run_editor(r, again, 0);
    } else {
        r->status = ROW_NO_ROW;
        empty_row(r);
    }
    qymgr_qy_set_error_filter(nullptr);
}

// ---- changes -------------------------------------------------------------------------------

// Sends the held row as the one row of the buffer; true when the
// interpreter took it.
bool send_row(ObRowEditData *r, const std::string &text)
{
    if (!put_row(r))
        return false;
    qymgr_qy_set_buffer_rows(1);
    qymgr_qy_query(text.c_str(), QY_NOWAIT, QY_WRITE, QY_REPORT);
    const bool ok = qymgr_qy_ok() != 0;
    qymgr_qy_set_buffer_rows(0);
    return ok;
}

void refresh_row_count(ObRowEditData *r)
{
    obtab_reset_table_object_rows(table_of(r).c_str());
    if (obmain_ob_options[0])
        wsmain_ws_refresh_from(0);
}

void update_row(ObRowEditData *r)
{
    r->status = ROW_NO_ROW;
    const bool ok = send_row(r, "UPDATE CURRENT FROM " + table_of(r));
    run_editor(r, ROW_REQ_CURRENT, ok ? 0 : 1);
}

void insert_row(ObRowEditData *r)
{
    send_row(r, "WRITE * TO " + table_of(r));
    refresh_row_count(r);
    run_editor(r, ROW_REQ_CURRENT, 1);
}

void delete_row(ObRowEditData *r)
{
    const std::string table = table_of(r);
    if (obbox_confirm(OB_ASK_DELETE_ROW, table.c_str()))
        qymgr_qy_query(("DELETE CURRENT FROM " + table).c_str(), QY_NOWAIT, QY_ASIS, QY_REPORT);
    refresh_row_count(r);
    run_editor(r, ROW_REQ_CURRENT, 1);
}

void dispatch(ObRowEditData *r, int interactive)
{
    if (buffer_overflowed && r->request != ROW_REQ_OPEN) {
        r->status = ROW_TOO_BIG;
        return;
    }
    const std::string table = table_of(r);
    switch (r->request) {
    case ROW_REQ_NONE:
        fputs(vx_msg(obmain_ob_nlsfd, OB_ROW_REQUEST_NONE), stderr);
        break;
    case ROW_REQ_FIRST: fetch(r, "FETCH FIRST FROM " + table, interactive); break;
    case ROW_REQ_LAST: fetch(r, "FETCH LAST FROM " + table, interactive); break;
    case ROW_REQ_NEXT: fetch(r, "FETCH NEXT FROM " + table, interactive); break;
    case ROW_REQ_PREVIOUS: fetch(r, "FETCH PREVIOUS FROM " + table, interactive); break;
    case ROW_REQ_FIND: {
        const std::string where(r->condition, strnlen(r->condition, sizeof r->condition));
        r->search_mode = 1;
        fetch(r, "FETCH FROM " + table + " WHERE " + (where.empty() ? std::string("TRUE") : where), interactive);
        break;
    }
    case ROW_REQ_FIND_AGAIN:
        r->search_mode = 1;
        fetch(r, "FETCH FROM " + table, interactive);
        break;
    case ROW_REQ_UPDATE: update_row(r); break;
    case ROW_REQ_DELETE: delete_row(r); break;
    case ROW_REQ_INSERT: insert_row(r); break;
    case ROW_REQ_CURRENT: fetch(r, "FETCH CURRENT FROM " + table, interactive); break;
    case ROW_REQ_OPEN: open_table(r); break;
    case ROW_REQ_CLOSE: obdb_obq_no_access(table.c_str()); break;
    default: break;
    }
}

}  // namespace

void obrow_ob_row_editor(ObRowEditData *request, int interactive)
{
    if (!request)
        return;
    editval = request;
    const int mode = wsevent_ws_interaction();
    wsevent_ws_set_interaction(WS_BUSY2);
    dispatch(request, interactive);
    request->request = ROW_REQ_NONE;
    wsevent_ws_set_interaction(mode);
}

int obrow_row_size() { return static_cast<int>(held.size()); }
