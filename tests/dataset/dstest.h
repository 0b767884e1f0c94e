// Runs queries on the installed interpreter and hands their buffers and
// end events to the dataset manager the way the query manager does: each
// end of buffer as event 2, then, once at least one buffer came, event 1
// (ended well), 3 (stopped) or 4 (failed).
#pragma once

#include "dsmgr.h"

#include "dozrow.h"
#include "qysched.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace dstest {

struct Driver {
    int cid = -1;
    int buffers = 0;
    int abort_after = -1;  // buffers; then the query is stopped
    bool report_failure = false;  // end a query that went well as failed
    // What the end-of-buffer procedure hands on in place of the truth.
    int rows_bonus = 0;
    int bytes_bonus = 0;
};

inline Driver &driver()
{
    static Driver d;
    return d;
}

inline int segment_size() { return doz_get_qbuffersize(driver().cid); }

inline void on_eob(int cid, int rows)
{
    Driver &d = driver();
    d.buffers++;
    ds_manager(DS_EV_EOB, rows + d.rows_bonus, static_cast<int>(doz_get_data_bytes(cid)) + d.bytes_bonus,
               doz_get_qbuffer(cid));
    if (d.abort_after >= 0 && d.buffers == d.abort_after)
        doz_abort(cid);
}

// Starts the interpreter with a buffer of `size` bytes and `rows` rows.
inline int start(int size = 200000, int rows = DOZ_DEFAULT_ROWS)
{
    setenv("DOZ_CLIENT_DIR", vxtest::install_dir().c_str(), 1);
    setenv("DOZ_SERVER_DIR", (vxtest::install_dir() + "/server").c_str(), 1);
    unsetenv("QYINT");
    Driver &d = driver();
    d = Driver{};
    if (__doz_init(&d.cid, "", "TESTER", DOZ_START_WORD) != 0)
        return -1;
    if (!doz_create_buffer(d.cid, size) || doz_set_buffer_rows(d.cid, rows) != 0)
        return -1;
    doz_set_eob_proc(d.cid, on_eob);
    dsmgr_ds_set_buffer_size_proc(segment_size);
    return d.cid;
}

// Runs one text in the Full buffer mode; returns the end event handed on
// (0: none, since no buffer came).
inline int run(const std::string &text, uint32_t extra_modes = 0)
{
    Driver &d = driver();
    d.buffers = 0;
    init_buffer(doz_get_qbuffer(d.cid), static_cast<size_t>(doz_get_qbuffersize(d.cid)));
    clear_buffer();
    doz_querym(d.cid, text.c_str(), DOZ_M_FULL | DOZ_M_WAIT | extra_modes);
    if (d.buffers == 0)
        return 0;
    int st[6];
    doz_get_qstatus(d.cid, st);
    int event = DS_EV_OK;
    if (doz_error(d.cid))
        event = st[DOZ_ST_CODE] == DOZ_CODE_STOPPED ? DS_EV_STOPPED : DS_EV_FAILED;
    else if (d.report_failure)
        event = DS_EV_FAILED;
    ds_manager(event, 0, 0, doz_get_qbuffer(d.cid));
    return event;
}

inline void stop()
{
    Driver &d = driver();
    if (d.cid >= 0 && doz_term(d.cid) != 0)
        doz_detach(d.cid, 1);
    d.cid = -1;
    dsmgr_ds_set_buffer_size_proc(nullptr);
}

// Captures standard error around a piece of work.
inline std::string stderr_of(const std::function<void()> &work)
{
    testing::internal::CaptureStderr();
    work();
    return testing::internal::GetCapturedStderr();
}

}  // namespace dstest
