// Join and group objects.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obmain.h"

void objoin_initialise_join_object()
{
    obmain_set_class(OB_JOIN, 13, 1, 4, 0, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_JOIN, 13);
}

void objoin_initialise_group_object()
{
    obmain_set_class(OB_GROUP, 12, 1, 4, 0, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_GROUP, 12);
}
