// Variable objects.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obmain.h"

void obvar_initialise_variable_object()
{
    obmain_set_class(OB_VARIABLE, 14, 1, 3, 1, 1, 1, 1, 0, 0x300);
    obmain_load_prefix(OB_VARIABLE, 10);
}
