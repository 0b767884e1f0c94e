// Table objects: the box of one table of the open database on the canvas.
// The object is the name row and owns the box; it creates, drops, clears
// and alters its table, keeping the database, the dictionary and the table
// list file in step.

#include "obtab.h"

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

void reread_rows(QueryObject *object)
{
    ObTableData *t = data_of(object);
    const int rows = qychk_table_rows(t->name);
    if (rows >= 0) {
        t->rows = rows;
        if (DictRelation *r = obdict_ob_find_table(t->name))
            r->size = rows;
    }
}

// The join objects that refer to the table or one of its columns.
bool join_uses(const QueryObject *join, const QueryObject *table, const char *name)
{
    for (ObReference *r = wsdict_dictionary ? wsdict_dictionary->references : nullptr; r; r = r->next) {
        if (r->referring != join || !r->referred)
            continue;
        if (r->referred == table)
            return true;
        if (r->referred->kind == OB_COLUMN && strcmp(obtab_table_name_of(r->referred), name) == 0)
            return true;
    }
    return false;
}

void destroy_joins_of(const QueryObject *table, const char *name)
{
    for (;;) {
        QueryObject *found = nullptr;
        for (QueryObject *j = wsdict_dictionary ? wsdict_dictionary->joins : nullptr; j && !found; j = j->next)
            if (join_uses(j, table, name))
                found = j;
        if (!found)
            return;
        const ObBox old = found->outer;
        cls(OB_JOIN).undraw(found);
        wsmain_ws_expose_box(old, found);
        wsdict_ws_unlink_object(found);
        cls(OB_JOIN).destroy(found);
    }
}

// Makes an index or privilege object for the table through its class.
void make_bound_object(int kind, QueryObject *table)
{
    void *value = nullptr;
    cls(kind).newval(&value, table);
    QueryObject *made = nullptr;
    cls(kind).create(&made, value, -1, -1, table);
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
    DictRelation *relation = obdict_ob_find_table(data->name);
    // A table that is shown already, or a new one under a name the
    // database has, is not made twice.
    if (relation && (relation->table_object || drop)) {
        obbox_error(OB_TABLE_EXISTS, data->name);
        return;
    }
    auto *object = static_cast<QueryObject *>(vx_malloc(sizeof(QueryObject), 1));
    *object = QueryObject{};
    object->kind = OB_TABLE;
    object->kind_data_size = sizeof(ObTableData);
    object->kind_data = vx_malloc(sizeof(ObTableData), 1);
    memcpy(object->kind_data, data, sizeof(ObTableData));
    ObTableData *own = data_of(object);
    own->new_columns = nullptr;

    const ObPoint point{x, y};
    QueryObject *above = obdict_find_table_object_just_above(x == -1 && y == -1 ? nullptr : &point);
    const ObPoint size = label_size(own->name);
    object->anchor_x = obmain_table_x_gap + 2;
    object->anchor_y = above ? above->outer.y + above->outer.height + obmain_table_y_gap + 2 : obmain_table_y_gap + 2;
    object->select = object->drop = {object->anchor_x, object->anchor_y, size.x, size.y};
    object->outer = object->layout = {obmain_table_x_gap, object->anchor_y - 2, size.x + 4, size.y + 2};

    const bool is_new = !relation;
    if (is_new)
        relation = obdict_ob_create_table(own);
    own->relations = wsdict_dictionary->relations;
    own->items = wsdict_dictionary->items;

    int count = 0;
    for (ObColumnData *c = data->new_columns; c; c = c->chain) {
        safe_strcpy(c->table, own->name, sizeof c->table);
        QueryObject *row = nullptr;
        cls(OB_COLUMN).create(&row, c, x, y, object);
        count += row ? 1 : 0;
    }
    own->columns = count;
    own->rows = 0;
    if (!is_new) {
        own->rows = relation->size;
        if (obmain_ob_options[1])
            obdict_ob_set_indexed_columns(relation);
    }
    relation->table_object = object;
    if (const QueryObject *last = obdict_find_last_column_object(relation)) {
        object->outer.height += last->outer.height;
        object->drop.height += last->outer.height;
        object->outer.width = last->outer.x + last->outer.width - object->outer.x;
        object->drop.width = object->outer.width - 4;
    }
    make_bound_object(OB_INDEX, object);
    make_bound_object(OB_PRIVILEGE, object);
    object->drop.width += obmain_table_x_extra;

    if (is_new) {
        if (!obdb_obq_create_table_from_dictionary(relation)) {
            cls(OB_TABLE).destroy(object);
            return;
        }
        wsobj_ws_add_table_to_list(own->name, above ? data_of(above)->name : nullptr);
        const ObPoint top{0, object->layout.y};
        wsobj_ws_shift_down(&top, object->outer.height + obmain_table_y_gap, object);
        wsobj_ws_resize_drawing_area_for_database();
        refresh_from(object->layout.y);
    }
    *result = object;
}

void destroy(QueryObject *object)
{
    if (!object)
        return;
    DictRelation *relation = nullptr;
    for (DictRelation *r = wsdict_dictionary ? wsdict_dictionary->relations : nullptr; r && !relation; r = r->next)
        if (r->table_object == object)
            relation = r;
    if (relation) {
        for (DictColumn *c = relation->columns; c;) {
            DictColumn *next = c->next;
            if (QueryObject *row = c->object) {
                wsdict_ws_unlink_object(row);
                cls(OB_COLUMN).destroy(row);
            }
            c = next;
        }
        if (QueryObject *index = relation->index_object) {
            wsdict_ws_unlink_object(index);
            cls(OB_INDEX).destroy(index);
        }
        if (QueryObject *privs = relation->priv_object) {
            wsdict_ws_unlink_object(privs);
            cls(OB_PRIVILEGE).destroy(privs);
        }
    }
    destroy_joins_of(object, data_of(object)->name);
    obmain_std_destroy_object(object);
    if (relation) {
        relation->table_object = nullptr;
        obdict_ob_delete_table(relation);
    }
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
        if (!obbox_confirm(OB_ASK_DELETE_ROWS, name.c_str()))
            return;
        obdb_obq_delete_rows_from_table(name.c_str(), data->condition);
        break;
    default: return;
    }
    reread_rows(object);
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

void move(QueryObject *object, ObPoint *point)
{
    obmain_std_move_object(object, point);
    if (DictRelation *r = obdict_ob_find_table(data_of(object)->name)) {
        if (r->index_object)
            r->index_object->drop = object->drop;
        if (r->priv_object)
            r->priv_object->drop = object->drop;
    }
}

void select(QueryObject *object, int on)
{
    object->selected = on ? 1 : 0;
    DictRelation *r = obdict_ob_find_table(data_of(object)->name);
    for (DictColumn *c = r ? r->columns : nullptr; c; c = c->next) {
        QueryObject *row = c->object;
        if (!row || (row->selected != 0) == (on != 0))
            continue;
        if (on) {
            if (!wsdict_ws_check_nominations(row))
                continue;
            cls(OB_COLUMN).select(row, 1);
            wsdict_ws_select_object(row);
        } else {
            cls(OB_COLUMN).select(row, 0);
            wsdict_ws_unselect_object(row);
        }
        wsmain_ws_expose_box(row->outer, nullptr);
    }
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

ObTableData value;

void newval(void **slot, QueryObject *object)
{
    value = ObTableData{};
    value.kind = OB_TABLE;
    if (object && object->kind == OB_TABLE && object->kind_data) {
        const ObTableData *t = data_of(object);
        safe_strcpy(value.name, t->name, sizeof value.name);
        value.rows = t->rows;
        value.columns = t->columns;
    }
    value.size = 100;
    value.extendable = 1;
    value.relations = wsdict_dictionary ? wsdict_dictionary->relations : nullptr;
    value.items = wsdict_dictionary ? wsdict_dictionary->items : nullptr;
    *slot = &value;
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

void obtab_adjust_table_box(QueryObject *table, const QueryObject *last)
{
    if (!table || !last)
        return;
    table->outer.width = last->outer.x + last->outer.width - table->outer.x;
    table->drop.width = table->outer.width - 4;
    if (DictRelation *r = obdict_ob_find_table(data_of(table)->name)) {
        if (r->priv_object)
            r->priv_object->drop = table->drop;
        if (r->index_object)
            r->index_object->drop = table->drop;
    }
    table->drop.width += obmain_table_x_extra;
}

QueryObject *obtab_make_hidden_object(int kind, const void *kind_data, const ObBox &drop)
{
    auto *object = static_cast<QueryObject *>(vx_malloc(sizeof(QueryObject), 1));
    *object = QueryObject{};
    object->kind = kind;
    object->kind_data_size = obmain_kind_data_size(kind);
    object->kind_data = vx_malloc(object->kind_data_size, 1);
    memcpy(object->kind_data, kind_data, static_cast<size_t>(object->kind_data_size));
    object->anchor_x = object->anchor_y = -1;
    object->outer = object->select = object->layout = {-1, -1, 0, 0};
    object->drop = drop;
    return object;
}

void obtab_initialise_table_object()
{
    obmain_set_class(OB_TABLE, 16, 1, 1, 1, 1, 0, 0, 0, 0x508000);
    ObClass &c = obmain_object_class[OB_TABLE];
    c.create = create;
    c.destroy = destroy;
    c.del = del;
    c.edit = edit;
    c.move = move;
    c.select = select;
    c.validate = validate;
    c.permit = permit;
    c.newval = newval;
}
