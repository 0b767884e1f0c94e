// Runs queries through the query manager on the installed interpreter, so
// that their buffers and end events reach the dataset manager as they do
// in the program.  A query can also go through a handler for that query
// alone, which hands everything on to ds_manager but can stop the query
// after some buffers or overstate what a buffer holds; and the library's
// answer can be turned into a failure after the rows came.
#pragma once

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dsmgr.h"

#include "dozrow.h"
#include "qycompat.h"
#include "qymgr.h"
#include "qysched.h"
#include "vxadata.h"
#include "vxcat.h"
#include "vxtest.h"

#include <cstdlib>
#include <functional>
#include <string>

namespace dstest {

struct Driver {
    bool own_handler = false;  // the query goes through `relay`
    int buffers = 0;
    int last_event = 0;
    int abort_after = -1;      // buffers; then the query is stopped
    int rows_bonus = 0;        // overstated rows and bytes of each buffer
    int bytes_bonus = 0;
    bool fail = false;         // the query fails after its rows came
};

inline Driver &driver()
{
    static Driver d;
    return d;
}

inline void relay(int event, int rows, int bytes, DozReader &buffer)
{
    Driver &d = driver();
    d.last_event = event;
    if (event == DS_EV_EOB) {
        d.buffers++;
        rows += d.rows_bonus;
        bytes += d.bytes_bonus;
    }
    ds_manager(event, rows, bytes, buffer);
    if (event == DS_EV_EOB && d.buffers == d.abort_after)
        qymgr_qy_query_abort();
}

inline int failing_querym(const char *text, uint32_t modes)
{
    int r = querym(text, modes);
    if (driver().fail) {
        int st[6];
        get_qstatus(st);
        st[DOZ_ST_ERROR] = 1;
        st[DOZ_ST_CODE] = 5;
        set_qstatus(st);
    }
    return r;
}

inline AppData &resources()
{
    static AppData a{};
    a.catd = NL_NO_CATALOGUE;
    a.user_name = const_cast<char *>("TESTER");
    a.server_name = const_cast<char *>("");
    a.runMode = 0;
    return a;
}

// Starts the query manager's own interpreter with a buffer of `size` bytes
// and `rows` rows per buffer.
inline bool start(int size = 200000, int rows = 0)
{
    setenv("DOZ_CLIENT_DIR", vxtest::install_dir().c_str(), 1);
    setenv("DOZ_SERVER_DIR", (vxtest::install_dir() + "/server").c_str(), 1);
    unsetenv("QYINT");
    driver() = Driver{};
    AppData &a = resources();
    a.buffer_size = a.queryBufferSize = size;
    qymgr_qy_set_ui(nullptr);
    qymgr_qy_set_querym(failing_querym);
    qymgr_qy_init(&a, 0, 0, 0, nullptr, 0, 0);
    qymgr_qy_set_buffer_rows(rows);
    return qymgr_qy_connection() >= 0 && qymgr_qy_buffer() != nullptr;
}

// Runs one text in the Full buffer mode.  Through `relay`: returns the last
// event handed on (0 when no buffer came).  Otherwise: 1 when the query
// delivered data and ended well, else 0.
inline int run(const std::string &text, int exec_mode = QY_NOWAIT)
{
    Driver &d = driver();
    d.buffers = 0;
    d.last_event = 0;
    if (d.own_handler)
        qymgr_qy_set_override_handler(relay);
    qymgr_qy_query(text.c_str(), exec_mode, QY_FULL, QY_IGNORE);
    if (d.own_handler)
        return d.last_event;
    return qymgr_qy_returned_data() ? DS_EV_OK : 0;
}

inline void stop()
{
    qymgr_qy_term();
    qymgr_qy_set_querym(nullptr);
    driver() = Driver{};
}

// Captures standard error around a piece of work.
inline std::string stderr_of(const std::function<void()> &work)
{
    testing::internal::CaptureStderr();
    work();
    return testing::internal::GetCapturedStderr();
}

}  // namespace dstest
