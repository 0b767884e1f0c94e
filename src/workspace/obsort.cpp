// Sort objects.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obmain.h"

void obsort_initialise_sort_object()
{
    obmain_set_class(OB_SORT, 11, 1, 4, 0, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_SORT, 11);
}
