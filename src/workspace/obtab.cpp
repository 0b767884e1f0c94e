// Table objects: the box of one table of the open database on the canvas.
// The object is the name row and owns the box; it creates, drops, clears
// and alters its table, keeping the database, the dictionary and the table
// list file in step.

#include "obtab.h"
#include "obview.h"

#include "obbox.h"
#include "obdb.h"
#include "obdict.h"
#include "obmain.h"
#include "qychk.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsmain.h"
#include "wsmsgs.h"
#include "wsobjmgr.h"
#include "wstables.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

ObClass &cls(int kind) { return obmain_object_class[kind]; }

ObTableData *data_of(QueryObject *object) { return static_cast<ObTableData *>(object->kind_data); }

ObPoint label_size(const char *name)
{
    ObPoint size{0, 0};
    obmain_ob_string_size(name, &size);
    return size;
}

void refresh_from(int y) { wsmain_ws_refresh_from(std::max(0, y)); }

// Exclusive use of the table, or the error box; 1 when granted.
int lock(const char *table)
{
    if (obdb_obq_exclusive_access(table))
        return 1;
    obbox_error(OB_TABLE_IN_USE, table);
    return 0;
}

// Nothing but blanks (or nothing at all) in a text of at most `size` bytes.
template <size_t N>
bool blank(const char (&text)[N])
{
    for (size_t i = 0; i < N && text[i]; i++)
        if (text[i] != ' ' && text[i] != '\t')
            return false;
    return true;
}

// ---- methods ----------------------------------------------------------------------------------

void create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObTableData *>(kind_data);
    if (!data || !data->name[0] || !wsdict_dictionary)
        return;
    if (!data->new_columns) {
        obbox_error(OB_NEEDS_A_COLUMN);
        return;
    }
    // A table that is shown already, or a new one under a name the
    // database has, is not made twice.
    if (DictRelation *relation = obdict_ob_find_table(data->name); relation && (relation->table_object || drop)) {
        obbox_error(OB_TABLE_EXISTS, data->name);
        return;
    }
    const ObPoint point{x, y};
    QueryObject *above = obdict_find_table_object_just_above(x == -1 && y == -1 ? nullptr : &point);
    int is_new = 0;
    QueryObject *object = obview_table_build(data, x, y, &is_new);
    if (!object || !is_new) {
        *result = object;
        return;
    }
    const ObTableData *own = data_of(object);
    if (!obdb_obq_create_table_from_dictionary(obdict_ob_find_table(own->name))) {
        // The box goes, and with it the new relation.
        cls(OB_TABLE).destroy(object);
        return;
    }
    wsobj_ws_add_table_to_list(own->name, above ? data_of(above)->name : nullptr);
    const ObPoint top{0, object->layout.y};
    wsobj_ws_shift_down(&top, object->outer.height + obmain_table_y_gap, object);
    wsobj_ws_resize_drawing_area_for_database();
    refresh_from(object->layout.y);
    *result = object;
}

void del(QueryObject *object, void *kind_data, int *result)
{
    *result = 0;
    auto *data = static_cast<ObTableData *>(kind_data);
    if (!data)
        return;
    ObTableData *own = data_of(object);
    const std::string name = own->name;
    switch (data->delete_op) {
    case 1: {
        if (!obbox_confirm(OB_ASK_DROP_TABLE, name.c_str()) || !lock(name.c_str()))
            return;
        *result = obdb_obq_drop_table(name.c_str());
        if (!*result) {
            obdb_obq_no_access(name.c_str());
            return;
        }
        wsobj_ws_delete_table_from_list(name.c_str());
        const ObPoint top{0, object->layout.y};
        wsobj_ws_shift_down(&top, -(object->outer.height + obmain_table_y_gap), object);
        refresh_from(object->layout.y);
        return;
    }
    case 2:
        if (!obbox_confirm(OB_ASK_CLEAR_TABLE, name.c_str()) || !lock(name.c_str()))
            return;
        obdb_obq_clear_table(name.c_str());
        break;
    case 3:
        // No condition is every row: asked and done as a clear.
        if (blank(data->condition)) {
            if (!obbox_confirm(OB_ASK_CLEAR_TABLE, name.c_str()) || !lock(name.c_str()))
                return;
            obdb_obq_clear_table(name.c_str());
            break;
        }
        if (!obbox_confirm(OB_ASK_DELETE_ROWS, name.c_str()))
            return;
        obdb_obq_delete_rows_from_table(name.c_str(), data->condition);
        break;
    default: return;
    }
    obtab_reset_table_object_rows(own->name);
    refresh_from(object->layout.y);
    obdb_obq_no_access(name.c_str());
}

}  // namespace

// The change mask of an alter: what differs between the dialog's values
// and the relation.
int obtab_change_mask(const ObTableData *data, const DictRelation *relation)
{
    int mask = 0;
    if (data->name[0] && strcmp(data->name, relation->name) != 0)
        mask |= 1;
    if (data->size < relation->maxsize)
        mask |= 2;
    if (data->size > relation->maxsize)
        mask |= 4;
    if (strcmp(data->location, relation->location) != 0)
        mask |= 8;
    if (data->structure != relation->structure)
        mask |= 16;
    if (data->memory != relation->reqmem)
        mask |= 32;
    if ((data->extendable ? 0 : 1) != (relation->fixed ? 1 : 0))
        mask |= 64;
    return mask;
}

namespace {

void edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObTableData *>(kind_data);
    if (!data || !object)
        return;
    ObTableData *own = data_of(object);
    DictRelation *relation = obdict_ob_find_table(own->name);
    if (!relation)
        return;
    const int mask = obtab_change_mask(data, relation);
    if (!mask)
        return;
    char old_name[sizeof relation->name];
    safe_strcpy(old_name, relation->name, sizeof old_name);
    char new_name[sizeof relation->name];
    safe_strcpy(new_name, (mask & 1) ? data->name : old_name, sizeof new_name);
    if (!lock(old_name))
        return;

    const DictRelation saved = *relation;
    safe_strcpy(relation->location, data->location, sizeof relation->location);
    relation->maxsize = data->size;
    relation->fixed = data->extendable ? 0 : 1;
    relation->structure = data->structure;
    relation->reqmem = data->memory;
    if (mask & 1)
        obdict_ob_rename_table(relation, new_name);

    const int ok = obdb_obq_change_table_from_dictionary(relation, old_name, mask);
    if (ok) {
        if (mask & 1) {
            wsobj_ws_rename_table_on_list(old_name, new_name);
            wsdict_ws_notify_table_rename(old_name, new_name);
        }
        ObTableData copy = *data;
        safe_strcpy(copy.name, new_name, sizeof copy.name);
        copy.new_columns = nullptr;
        copy.rows = own->rows;
        copy.columns = own->columns;
        copy.relations = wsdict_dictionary->relations;
        copy.items = wsdict_dictionary->items;
        *own = copy;
        if (mask & 1) {
            const ObPoint size = label_size(new_name);
            object->select.width = size.x;
            object->select.height = size.y;
            if (QueryObject *o = relation->index_object)
                safe_strcpy(static_cast<ObIndexData *>(o->kind_data)->table, new_name, sizeof(ObIndexData::table));
            if (QueryObject *o = relation->priv_object)
                safe_strcpy(static_cast<ObPrivilegeData *>(o->kind_data)->table, new_name,
                            sizeof(ObPrivilegeData::table));
            for (DictColumn *c = relation->columns; c; c = c->next)
                if (c->object)
                    safe_strcpy(static_cast<ObColumnData *>(c->object->kind_data)->table, new_name,
                                sizeof(ObColumnData::table));
        }
    } else {
        if (mask & 1)
            obdict_ob_rename_table(relation, old_name);
        safe_strcpy(relation->location, saved.location, sizeof relation->location);
        relation->maxsize = saved.maxsize;
        relation->fixed = saved.fixed;
        relation->structure = saved.structure;
        relation->reqmem = saved.reqmem;
    }
    // Released under the name the table has now.
    obdb_obq_no_access(ok ? new_name : old_name);
}

void validate(void *kind_data, int check, int *result)
{
    *result = 1;
    auto *data = static_cast<ObTableData *>(kind_data);
    if (!data || !data->name[0])
        return;
    if (data->new_columns) {
        bool key = false;
        for (const ObColumnData *c = data->new_columns; c; c = c->chain)
            key = key || c->key;
        if (!key) {
            *result = 0;
            obbox_error(OB_NEEDS_A_KEY);
            return;
        }
    }
    if (!check)
        return;
    if (!qychk_qy_check_reserved(data->name)) {
        *result = 0;
        obbox_error(OB_RESERVED_NAME, data->name);
    }
    for (ObColumnData *c = data->new_columns; c; c = c->chain)
        if (!qychk_qy_check_reserved(c->name)) {
            *result = 0;
            obbox_error(OB_RESERVED_NAME, c->name);
            c->indexed = -1;
        }
}

void permit(QueryObject *object, int op, int *result)
{
    *result = 0;
    const char *name = object && object->kind == OB_TABLE ? data_of(object)->name : "";
    if (op == 1 && obtab_is_system(name)) {
        obbox_warning(OB_SYSTEM_TABLE);
        *result = 1;
        return;
    }
    if (!obdict_ob_i_have_dbpriv(DBPRIV_DBA)) {
        if (!obdict_ob_i_have_dbpriv(DBPRIV_CREATE))
            *result = op == 0 ? 2 : 1;
        else if (op == 1 && !obdict_ob_i_have_priv_on(PRIV_ADMIN, name))
            *result = 1;
    }
    if (!*result)
        return;
    if (op == 1) {
        if (object && !(object->flags & OB_FLAG_WARNED)) {
            object->flags |= OB_FLAG_WARNED;
            obbox_warning(OB_TABLE_LOOK_ONLY);
        }
    } else {
        obbox_error(OB_NO_TABLE_CREATE);
    }
}

}  // namespace

// ---- shared with the other kinds -------------------------------------------------------------

int obtab_is_system(const char *name) { return name && name[0] == '%'; }

const char *obtab_table_name_of(const QueryObject *object)
{
    if (!object || !object->kind_data)
        return "";
    switch (object->kind) {
    case OB_TABLE: return static_cast<const ObTableData *>(object->kind_data)->name;
    case OB_COLUMN: return static_cast<const ObColumnData *>(object->kind_data)->table;
    case OB_INDEX: return static_cast<const ObIndexData *>(object->kind_data)->table;
    case OB_PRIVILEGE: return static_cast<const ObPrivilegeData *>(object->kind_data)->table;
    default: return "";
    }
}

DictRelation *obtab_relation_of(const QueryObject *object)
{
    const char *name = obtab_table_name_of(object);
    return name[0] ? obdict_ob_find_table(name) : nullptr;
}

void obtab_initialise_table_object()
{
    obmain_set_class(OB_TABLE, 16, 1, 1, 1, 1, 0, 0, 0, 0x508000);
    obview_install_table();
    ObClass &c = obmain_object_class[OB_TABLE];
    c.create = create;
    c.del = del;
    c.edit = edit;
    c.validate = validate;
    c.permit = permit;
}
