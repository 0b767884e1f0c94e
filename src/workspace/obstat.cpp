// Statistic objects.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obmain.h"

void obstat_initialise_statistic_object()
{
    obmain_set_class(OB_STATISTIC, 10, 1, 4, 1, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_STATISTIC, 3);
}
