// The result writer: lays an engine's result rows into the shared buffer
// in the layout the modes ask for (descriptor table, presence bytes), one
// buffer at a time, handing each filled buffer to the client with an
// end-of-buffer message when EOB is set.
#pragma once

#include "tqlengine.h"

struct TqlChannel {
    void *self = nullptr;
    unsigned char *buffer = nullptr;
    int size = 0;
    int rows_per_buffer = DOZ_DEFAULT_ROWS;
    // Sends EOB (rows, data bytes) and waits for the client's reply; false
    // when the client is gone.
    bool (*send_eob)(void *self, int rows, int data_bytes) = nullptr;
    bool (*stop_requested)(void *self) = nullptr;
};

struct TqlWritten {
    int32_t rows = 0;        // rows produced
    int32_t data_bytes = 0;  // bytes of the last fill not handed over by EOB
    int32_t error = 0;       // TQL_E_* or 0
    bool stopped = false;
    bool gone = false;       // the client went away
};

// Writes `result` for `modes` (FLAGS, TYPE, EOB, NOEVAL).  Without EOB
// the rows that fit are written once and the rest only counted.  With
// NOEVAL and EOB one buffer with the descriptor table and no rows is
// handed over; otherwise a result without rows sends no EOB.
TqlWritten tql_write_result(TqlChannel &ch, TqlResult &result, uint32_t modes);
