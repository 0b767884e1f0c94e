// Row-edit requests.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obmain.h"

void obedit_initialise_edit_object()
{
    obmain_set_class(OB_ROWEDIT, 20, 0, 0, 0, 0, 0, 0, 0, 0);
}
