// The transfer action: runs the load or the unload of a transfer request.
#pragma once

#include "xfer.h"

// Clears the counters and the transfer dialog's status line, then runs
// perform_unload for direction 1 and perform_load otherwise; returns their
// result code (wsxfer.h).
int obie_ob_perform_transfer(const ObTransferData *request);
