// Privilege objects: the privileges on one table, edited through the
// privilege tool dropped on the table's box.  The object is not drawn and
// stays while its table is shown; delete and edit grant and revoke in the
// database and keep the relation's privilege list.

#include "obbox.h"
#include "obdb.h"
#include "obdict.h"
#include "obmain.h"
#include "obtab.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsmsgs.h"

#include <cstring>

namespace {

ObPrivilegeData *data_of(QueryObject *object) { return static_cast<ObPrivilegeData *>(object->kind_data); }

DictRelation *relation_owning(const QueryObject *object)
{
    for (DictRelation *r = wsdict_dictionary ? wsdict_dictionary->relations : nullptr; r; r = r->next)
        if (r->priv_object == object)
            return r;
    return nullptr;
}

bool is_result(const char *name)
{
    const char *result = wsdict_dictionary ? wsdict_dictionary->result : "";
    return (result[0] && strncmp(name, result, 4) == 0) || strncmp(name, "RSLT", 4) == 0;
}

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

void create(QueryObject **result, void *kind_data, int, int, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObPrivilegeData *>(kind_data);
    DictRelation *relation = obtab_relation_of(drop);
    if (!data || !relation)
        return;
    QueryObject *object = obtab_make_hidden_object(OB_PRIVILEGE, data, drop->drop);
    relation->priv_object = object;
    if (!relation->privs && !obtab_is_system(relation->name) && !is_result(relation->name) &&
        obdict_ob_create_default_privs(relation))
        data_of(object)->privs = relation->privs;
    *result = object;
}

void destroy(QueryObject *object)
{
    if (!object)
        return;
    DictRelation *relation = relation_owning(object);
    if (relation)
        obdict_ob_delete_priv_for(nullptr, relation);
    obmain_std_destroy_object(object);
    if (relation)
        relation->priv_object = nullptr;
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
        if (ok) {
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
    if (!obdict_ob_i_have_dbpriv(DBPRIV_DBA) && !obdict_ob_i_have_priv_on(PRIV_OWNERSHIP, table))
        *result = 1;
    if (*result && object && !(object->flags & OB_FLAG_WARNED)) {
        object->flags |= OB_FLAG_WARNED;
        obbox_warning(OB_PRIVS_LOOK_ONLY);
    }
}

ObPrivilegeData value;

void newval(void **slot, QueryObject *object)
{
    value = ObPrivilegeData{};
    value.kind = OB_PRIVILEGE;
    value.level = PRIV_READ;
    value.users = wsdict_dictionary ? wsdict_dictionary->users : nullptr;
    if (wsdict_dictionary)
        safe_strcpy(value.current, wsdict_dictionary->user, sizeof value.current);
    const char *table =
        object && (object->kind == OB_TABLE || object->kind == OB_PRIVILEGE) ? obtab_table_name_of(object) : "";
    safe_strcpy(value.table, table, sizeof value.table);
    DictRelation *r = table[0] ? obdict_ob_find_table(table) : nullptr;
    value.privs = r ? r->privs : nullptr;
    *slot = &value;
}

}  // namespace

void obpriv_initialise_privilege_object()
{
    obmain_set_class(OB_PRIVILEGE, 19, 0, 0, 0, 1, 0, 0, 0, 0);
    ObClass &c = obmain_object_class[OB_PRIVILEGE];
    c.create = create;
    c.destroy = destroy;
    c.del = del;
    c.edit = edit;
    c.permit = permit;
    c.newval = newval;
}
