// Privilege objects: the privileges on one table.

#include "obmain.h"
#include "obview.h"

void obpriv_initialise_privilege_object()
{
    obmain_set_class(OB_PRIVILEGE, 19, 0, 0, 0, 1, 0, 0, 0, 0);
    obview_install_privilege();
}
