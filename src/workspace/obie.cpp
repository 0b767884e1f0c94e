// The transfer action.

#include "obie.h"

#include "wsxfer.h"

int obie_ob_perform_transfer(const ObTransferData *request)
{
    if (!request)
        return XFER_DONE;
    wsxfer_reset_counters();
    return request->direction == XFER_UNLOAD ? perform_unload(request) : perform_load(request);
}
