// Table objects: the box of one table of the open database on the canvas.

#include "obmain.h"
#include "obview.h"

void obtab_initialise_table_object()
{
    obmain_set_class(OB_TABLE, 16, 1, 1, 1, 1, 0, 0, 0, 0x508000);
    obview_install_table();
}
