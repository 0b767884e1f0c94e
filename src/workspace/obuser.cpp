// The user object: the users of the database, and the drop target that
// covers the whole canvas.

#include "obmain.h"
#include "obview.h"

void obuser_initialise_user_object()
{
    obmain_set_class(OB_USER, 18, 0, 0, 0, 1, 0, 0, 0, 0x17f00);
    obview_install_user();
}
