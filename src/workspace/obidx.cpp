// Index objects: the indexes of one table, edited through the index tool.

#include "obmain.h"
#include "obview.h"

void obidx_initialise_index_object()
{
    obmain_set_class(OB_INDEX, 17, 0, 0, 0, 1, 0, 0, 0, 0);
    obview_install_index();
}
