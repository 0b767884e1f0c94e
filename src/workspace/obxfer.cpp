// Transfer requests.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obmain.h"

void obxfer_initialise_transfer_object()
{
    obmain_set_class(OB_TRANSFER, 22, 0, 0, 0, 0, 0, 0, 0, 0);
}
