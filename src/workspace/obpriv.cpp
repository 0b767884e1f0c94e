// Privilege objects: the privileges on one table, edited through the
// privilege tool dropped on the table's box.  The object is not drawn and
// stays while its table is shown; delete and edit grant and revoke in the
// database and keep the relation's privilege list.

#include "obbox.h"
#include "obdb.h"
#include "obdict.h"
#include "obmain.h"
#include "obtab.h"
#include "obview.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsmsgs.h"

#include <cstring>

namespace {

// The kind data after a change: no user, level 1, no restriction, the
// lists; the object keeps a copy.
void settle(QueryObject *object, ObPrivilegeData *data, DictRelation *relation)
{
    data->user[0] = '\0';
    data->restriction[0] = '\0';
    data->level = PRIV_READ;
    data->users = wsdict_dictionary ? wsdict_dictionary->users : nullptr;
    data->privs = relation->privs;
    memcpy(object->kind_data, data, sizeof *data);
}

void del(QueryObject *object, void *kind_data, int *result)
{
    *result = 0;
    auto *data = static_cast<ObPrivilegeData *>(kind_data);
    if (!data || !data->user[0])
        return;
    DictRelation *relation = obdict_ob_find_table(data->table);
    DictPriv *priv = relation ? obdict_ob_find_priv(data->user, relation->name) : nullptr;
    if (!priv)
        return;
    if (obdb_obq_drop_privilege(data->user, relation->name)) {
        obdict_ob_delete_priv(priv);
        settle(object, data, relation);
    }
}

void edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObPrivilegeData *>(kind_data);
    if (!data || !object || !data->user[0])
        return;
    DictRelation *relation = obdict_ob_find_table(data->table);
    if (!relation)
        return;
    int ok = 0;
    if (DictPriv *priv = obdict_ob_find_priv(data->user, relation->name)) {
        ok = obdb_obq_create_privilege(data->level, data->user, relation->name, data->restriction);
        // Default gives the user the table's default privileges: the
        // entry goes, as the database's own does.
        if (ok && data->level == PRIV_DEFAULT) {
            obdict_ob_delete_priv(priv);
        } else if (ok) {
            priv->level = data->level;
            safe_strcpy(priv->restriction, data->restriction, sizeof priv->restriction);
        }
    } else if (obdict_ob_find_user(data->user) || strcmp(data->user, "%DEFAULT") == 0) {
        ok = obdb_obq_create_privilege(data->level, data->user, relation->name, data->restriction);
        if (ok && data->level != PRIV_DEFAULT)
            obdict_ob_create_priv(data);
    }
    if (ok)
        settle(object, data, relation);
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
    if (!obdict_ob_i_may(PRIV_OWNERSHIP, table))
        *result = 1;
    if (*result && object && !(object->flags & OB_FLAG_WARNED)) {
        object->flags |= OB_FLAG_WARNED;
        obbox_warning(OB_PRIVS_LOOK_ONLY);
    }
}

}  // namespace

void obpriv_initialise_privilege_object()
{
    obmain_set_class(OB_PRIVILEGE, 19, 0, 0, 0, 1, 0, 0, 0, 0);
    obview_install_privilege();
    ObClass &c = obmain_object_class[OB_PRIVILEGE];
    c.del = del;
    c.edit = edit;
    c.permit = permit;
}
