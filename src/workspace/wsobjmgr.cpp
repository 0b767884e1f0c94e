// The workspace object manager.  The result table's objects come with the
// object classes; until then a read table list makes none.

#include "wstables.h"

void wsobj_ws_create_result_objects() {}
