// The shared part of the query objects: their text and the standard
// freeing of a chain.

#include "wsobj.h"

#include "vxcat.h"
#include "vxutil.h"

nl_catd obmain_ob_nlsfd = NL_NO_CATALOGUE;

const char *obmain_ob_kind_text(const QueryObject *object)
{
    if (!object || !object->kind_data)
        return nullptr;
    switch (object->kind) {
    case OB_EXPRESSION: return static_cast<const ObExpressionData *>(object->kind_data)->text;
    case OB_CONDITION: return static_cast<const ObConditionData *>(object->kind_data)->text;
    case OB_STATISTIC: return static_cast<const ObStatisticData *>(object->kind_data)->text;
    case OB_VARIABLE: return static_cast<const ObVariableData *>(object->kind_data)->name;
    case OB_SORT: return static_cast<const ObSortData *>(object->kind_data)->text;
    case OB_GROUP: return static_cast<const ObGroupData *>(object->kind_data)->text;
    case OB_JOIN: return static_cast<const ObJoinData *>(object->kind_data)->text;
    default: return nullptr;
    }
}

QueryObject *obmain_ob_free_object(QueryObject *first)
{
    while (first) {
        QueryObject *next = first->next;
        vx_free(first->kind_data);
        vx_free(first);
        first = next;
    }
    return nullptr;
}
