// Expression and condition objects.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obmain.h"

void obexpr_initialise_expression_object()
{
    obmain_set_class(OB_EXPRESSION, 8, 1, 4, 1, 1, 1, 1, 0, 0x3e00);
    obmain_load_prefix(OB_EXPRESSION, 1);
}

void obexpr_initialise_condition_object()
{
    obmain_set_class(OB_CONDITION, 9, 1, 4, 0, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_CONDITION, 2);
}
