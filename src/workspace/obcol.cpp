// Column objects: one line of a table's box.

#include "obmain.h"
#include "obview.h"

void obcol_initialise_column_object()
{
    obmain_set_class(OB_COLUMN, 15, 1, 3, 1, 1, 0, 0, 1, 0x3f00);
    obview_install_column();
}
