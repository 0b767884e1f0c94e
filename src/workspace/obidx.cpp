// Index objects: the indexes of one table, edited through the index tool
// dropped on the table's box.  The object is not drawn and stays while its
// table is shown; delete and edit only change the database and the
// dictionary.

#include "obbox.h"
#include "obdb.h"
#include "obdict.h"
#include "obmain.h"
#include "obtab.h"
#include "obview.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsmain.h"
#include "wsmsgs.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The kind data after a change: no key text, no index, the relation's
// list; the object keeps a copy.
void settle(QueryObject *object, ObIndexData *data, DictRelation *relation)
{
    data->keys = nullptr;
    data->number = 0;
    data->location[0] = '\0';
    data->indexes = relation->indexes;
    memcpy(object->kind_data, data, sizeof *data);
    if (obmain_ob_options[1]) {
        obdict_ob_set_indexed_columns(relation);
        wsmain_ws_refresh_from(std::max(0, object->drop.y));
    }
}

void del(QueryObject *object, void *kind_data, int *result)
{
    *result = 0;
    auto *data = static_cast<ObIndexData *>(kind_data);
    if (!data || !data->keys || !data->keys[0])
        return;
    DictRelation *relation = obdict_ob_find_table(data->table);
    DictIndex *index = relation ? obdict_ob_find_index(relation->name, data->number) : nullptr;
    if (!index)
        return;
    const std::string table = relation->name;
    if (!obbox_confirm(OB_ASK_DROP_INDEX, data->number, table.c_str()))
        return;
    if (!obdb_obq_exclusive_access(table.c_str())) {
        obbox_error(OB_TABLE_IN_USE, table.c_str());
        return;
    }
    if (obdb_obq_drop_index(data->number, table.c_str())) {
        obdict_ob_delete_index(index);
        settle(object, data, relation);
    }
    obdb_obq_no_access(table.c_str());
}

void edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObIndexData *>(kind_data);
    if (!data || !object || !data->keys || !data->keys[0])
        return;
    DictRelation *relation = obdict_ob_find_table(data->table);
    if (!relation)
        return;
    const std::string table = relation->name;
    if (!obdb_obq_exclusive_access(table.c_str())) {
        obbox_error(OB_TABLE_IN_USE, table.c_str());
        return;
    }
    int number = 0;
    if (obdb_obq_create_index(table.c_str(), data->unique, data->noupdate, data->keys, data->location, &number)) {
        obdict_ob_create_index(data, number);
        settle(object, data, relation);
    }
    obdb_obq_no_access(table.c_str());
}

void permit(QueryObject *object, int, int *result)
{
    *result = 0;
    const char *table = obtab_table_name_of(object);
    if (obtab_is_system(table)) {
        obbox_warning(OB_SYSTEM_TABLE);
        *result = 1;
        return;
    }
    if (!obdict_ob_i_have_dbpriv(DBPRIV_DBA) &&
        (!obdict_ob_i_have_dbpriv(DBPRIV_CREATE) || !obdict_ob_i_have_priv_on(PRIV_ADMIN, table)))
        *result = 1;
    if (*result && object && !(object->flags & OB_FLAG_WARNED)) {
        object->flags |= OB_FLAG_WARNED;
        obbox_warning(OB_INDEXES_LOOK_ONLY);
    }
}

}  // namespace

void obidx_initialise_index_object()
{
    obmain_set_class(OB_INDEX, 17, 0, 0, 0, 1, 0, 0, 0, 0);
    obview_install_index();
    ObClass &c = obmain_object_class[OB_INDEX];
    c.del = del;
    c.edit = edit;
    c.permit = permit;
}
