// Column objects: one column row of a table box, laid out left to right.
// Through them columns are added to a table (collected while the column
// dialog is open and sent when it is dismissed), altered and dropped.

#include "obbox.h"
#include "obdb.h"
#include "obdict.h"
#include "obmain.h"
#include "obtab.h"
#include "obview.h"
#include "qychk.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsmain.h"
#include "wsmsgs.h"
#include "wsobjmgr.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

ObColumnData *data_of(QueryObject *object) { return static_cast<ObColumnData *>(object->kind_data); }

// ---- the columns collected for an existing table ---------------------------------------------

struct Pending {
    std::vector<ObColumnData> records;
    DictColumn *columns = nullptr;  // shown to the dialog, each with its own item
} pending;

void free_pending_columns()
{
    while (DictColumn *c = pending.columns) {
        pending.columns = c->next;
        vx_free(c->item);
        vx_free(c);
    }
}

void clear_pending()
{
    free_pending_columns();
    pending.records.clear();
}

void fill_pending_column(DictColumn *c, const ObColumnData *d)
{
    safe_strcpy(c->name, d->name, sizeof c->name);
    c->key = d->key;
    c->null = d->null;
    DictItem *it = c->item;
    safe_strcpy(it->name, d->name, sizeof it->name);
    safe_strcpy(it->alias, d->alias, sizeof it->alias);
    it->type = d->type;
    it->length = d->length;
    it->fraction = d->fraction;
    it->array_size = d->array_size;
    it->var = d->var;
    it->ndims = std::clamp(d->ndims, 0, 8);
    memcpy(it->dims, d->dims, sizeof it->dims);
}

DictColumn *column_of(const QueryObject *object, DictRelation **relation_out = nullptr)
{
    for (DictRelation *r = wsdict_dictionary ? wsdict_dictionary->relations : nullptr; r; r = r->next)
        for (DictColumn *c = r->columns; c; c = c->next)
            if (c->object == object) {
                if (relation_out)
                    *relation_out = r;
                return c;
            }
    return nullptr;
}

// Moves the rows right of `x` left by `d`.
void shift_left(DictRelation *relation, int x, int d)
{
    if (!d)
        return;
    for (DictColumn *c = relation->columns; c; c = c->next) {
        QueryObject *o = c->object;
        if (!o || o->select.x <= x)
            continue;
        o->anchor_x -= d;
        o->select.x -= d;
        o->drop.x -= d;
        o->layout.x -= d;
        o->outer.x -= (o->flags & OB_FLAG_FIRST_COLUMN) ? d + 2 : d;
    }
}

int lock(const char *table)
{
    if (obdb_obq_exclusive_access(table))
        return 1;
    obbox_error(OB_TABLE_IN_USE, table);
    return 0;
}

ObTableData *table_data(DictRelation *relation)
{
    return relation && relation->table_object ? static_cast<ObTableData *>(relation->table_object->kind_data)
                                              : nullptr;
}

// ---- create: a row of a new box, or the additions to an existing table ---------------------------

void collect(const ObColumnData *data, DictRelation *relation)
{
    if (obdict_ob_find_column(relation->name, data->name)) {
        obbox_error(OB_COLUMN_EXISTS, relation->name, data->name);
        return;
    }
    auto same = std::find_if(pending.records.begin(), pending.records.end(),
                             [&](const ObColumnData &p) { return strcmp(p.name, data->name) == 0; });
    if (same != pending.records.end())
        *same = *data;
    else
        pending.records.push_back(*data);
    DictColumn *c = pending.columns;
    while (c && strcmp(c->name, data->name) != 0)
        c = c->next;
    if (!c) {
        c = static_cast<DictColumn *>(vx_malloc(sizeof(DictColumn), 1));
        memset(c, 0, sizeof *c);
        c->item = static_cast<DictItem *>(vx_malloc(sizeof(DictItem), 1));
        memset(c->item, 0, sizeof *c->item);
        DictColumn **tail = &pending.columns;
        while (*tail)
            tail = &(*tail)->next;
        *tail = c;
    }
    fill_pending_column(c, data);
}

void commit_pending(DictRelation *relation)
{
    QueryObject *table = relation->table_object;
    const std::string name = relation->name;
    if (!lock(name.c_str())) {
        clear_pending();
        return;
    }
    ObTableData *t = table_data(relation);
    const int count = static_cast<int>(pending.records.size());
    std::vector<const char *> names;
    for (ObColumnData &d : pending.records) {
        safe_strcpy(d.table, name.c_str(), sizeof d.table);
        QueryObject *row = obview_column_layout(table, &d);
        obview_table_adjust_box(table, row);
        t->columns++;
        names.push_back(d.name);
    }
    if (obdb_obq_add_columns_from_dictionary(relation, names.data(), count)) {
        wsobj_ws_resize_drawing_area_for_database();
    } else {
        for (const char *n : names)
            if (DictColumn *c = obdict_ob_find_column(name.c_str(), n)) {
                QueryObject *row = c->object;
                c->object = nullptr;
                if (row) {
                    wsdict_ws_unlink_object(row);
                    obmain_std_destroy_object(row);
                }
                obdict_ob_delete_column(c);
            }
        obview_table_adjust_box(table, obdict_find_last_column_object(relation));
        t->columns -= count;
    }
    wsmain_ws_refresh_from(std::max(0, table->layout.y));
    clear_pending();
    obdb_obq_no_access(name.c_str());
}

void create(QueryObject **result, void *kind_data, int, int, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObColumnData *>(kind_data);
    if (data && !data->name[0])
        return;
    DictRelation *relation = obtab_relation_of(drop);
    if (!relation || !drop)
        return;
    if (!relation->table_object) {
        obview_column_create(result, kind_data, 0, 0, drop);
        return;
    }
    if (data) {
        collect(data, relation);
        // The dialog starts again on a fresh value that lists what waits.
        void *fresh = nullptr;
        obmain_object_class[OB_COLUMN].newval(&fresh, drop);
        if (fresh != data)
            memcpy(data, fresh, sizeof *data);
        data->pending = pending.columns;
        return;
    }
    if (!pending.records.empty())
        commit_pending(relation);
}

// ---- drop ----------------------------------------------------------------------------------

bool any_key(const DictRelation *relation)
{
    for (const DictColumn *c = relation->columns; c; c = c->next)
        if (c->key)
            return true;
    return false;
}

void del(QueryObject *object, void *, int *result)
{
    *result = 0;
    DictRelation *relation = nullptr;
    DictColumn *column = column_of(object, &relation);
    if (!column || !relation)
        return;
    const std::string table = relation->name, name = column->name;
    // A count that could not be read is taken as rows.
    const int rows = qychk_table_rows(table.c_str());
    if (rows != 0 && !obbox_confirm(OB_ASK_DROP_COLUMN, name.c_str(), table.c_str()))
        return;
    if (!lock(table.c_str()))
        return;
    obdict_ob_unlink_column(column);
    if (!relation->columns || !any_key(relation)) {
        const bool none_left = !relation->columns;
        obdict_ob_relink_column();
        if (none_left)
            obbox_error(OB_NEEDS_A_COLUMN);
        else
            obbox_error(OB_NEEDS_A_KEY);
        obdb_obq_no_access(table.c_str());
        return;
    }
    *result = obdb_obq_drop_column_from_dictionary(relation, rows != 0);
    if (*result) {
        QueryObject *next = nullptr;
        for (DictColumn *c = relation->columns; c && !next; c = c->next)
            if (c->object && c->object->select.x > object->select.x)
                next = c->object;
        if (next && (object->flags & OB_FLAG_FIRST_COLUMN)) {
            next->flags |= OB_FLAG_FIRST_COLUMN;
            next->outer.width += 2;
            next->layout.width += 2;
            next->layout.x -= 2;
        }
        if (next)
            shift_left(relation, object->select.x, next->select.x - object->select.x);
        if (QueryObject *table = relation->table_object) {
            obview_table_adjust_box(table, obdict_find_last_column_object(relation));
            table_data(relation)->columns--;
            wsmain_ws_refresh_from(std::max(0, table->layout.y));
        }
    }
    obdict_ob_relink_column();
    obdb_obq_no_access(table.c_str());
}

// ---- alter ---------------------------------------------------------------------------------

bool same_type(const ObColumnData *d, const DictItem *it)
{
    if (d->type != it->type || d->length != it->length || d->fraction != it->fraction ||
        d->array_size != it->array_size || d->var != it->var || d->ndims != it->ndims)
        return false;
    for (int i = 0; i < std::clamp(d->ndims, 0, 8); i++)
        if (d->dims[i] != it->dims[i])
            return false;
    return true;
}

void store_item(DictItem *it, const ObColumnData *d)
{
    safe_strcpy(it->alias, d->alias, sizeof it->alias);
    it->type = d->type;
    it->length = d->length;
    it->fraction = d->fraction;
    it->array_size = d->array_size;
    it->var = d->var;
    it->ndims = std::clamp(d->ndims, 0, 8);
    memcpy(it->dims, d->dims, sizeof it->dims);
}

void resize_row(QueryObject *object, DictRelation *relation, const char *name, int length)
{
    const int inner = obview_column_cell_width(name, length);
    const bool first = object->flags & OB_FLAG_FIRST_COLUMN;
    const int width = inner + (first ? 4 : 2);
    const int old = object->outer.width;
    if (width == old)
        return;
    object->outer.width = object->layout.width = width;
    object->select.width = object->drop.width = inner;
    shift_left(relation, object->select.x, old - width);
    if (QueryObject *table = relation->table_object) {
        obview_table_adjust_box(table, obdict_find_last_column_object(relation));
        wsobj_ws_resize_drawing_area_for_database();
        wsmain_ws_refresh_from(std::max(0, table->layout.y));
    }
}

void edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObColumnData *>(kind_data);
    if (!data || !object)
        return;
    DictRelation *relation = nullptr;
    DictColumn *column = column_of(object, &relation);
    if (!column || !relation || !column->item)
        return;
    DictItem *item = column->item;
    char old_name[sizeof column->name], new_name[sizeof column->name];
    safe_strcpy(old_name, column->name, sizeof old_name);
    safe_strcpy(new_name, data->name[0] ? data->name : old_name, sizeof new_name);
    const bool renamed = strcmp(new_name, old_name) != 0;
    const bool realiased = strncmp(data->alias, item->alias, sizeof item->alias - 1) != 0;
    const bool retyped = !same_type(data, item);
    const bool constrained = (data->key != 0) != (column->key != 0) || (data->null != 0) != (column->null != 0);
    if (!renamed && !realiased && !retyped && !constrained)
        return;
    const std::string table = relation->name;
    if (!lock(table.c_str()))
        return;

    const DictColumn saved_column = *column;
    const DictItem saved_item = *item;
    DictItem *target = item;
    DictItem saved_target{};
    bool made_item = false;
    safe_strcpy(column->name, new_name, sizeof column->name);
    column->key = data->key;
    column->null = data->null;
    if (renamed) {
        made_item = !wsdict_find_item(new_name);
        ObColumnData named = *data;
        safe_strcpy(named.name, new_name, sizeof named.name);
        target = obdict_ob_create_item_maybe(&named);
        if (!target)
            target = item;
        column->item = target;
    }
    saved_target = *target;
    store_item(target, data);

    auto restore = [&] {
        DictColumn *link = column->next;
        *column = saved_column;
        column->next = link;
        DictItem *item_link = item->next;
        *item = saved_item;
        item->next = item_link;
        if (target != item) {
            DictItem *target_link = target->next;
            *target = saved_target;
            target->next = target_link;
            if (made_item)
                obdict_ob_delete_item_maybe(new_name);
        }
    };

    if (!any_key(relation)) {
        obbox_error(OB_NEEDS_A_KEY);
        restore();
        obdb_obq_no_access(table.c_str());
        return;
    }
    if (!renamed && retyped && obdict_ob_is_shared_item(item)) {
        obbox_error(OB_SHARED_ITEM, item->name);
        restore();
        obdb_obq_no_access(table.c_str());
        return;
    }

    int ok;
    if ((!renamed && !realiased) || retyped || constrained) {
        DictColumn old = saved_column;
        DictItem old_item = saved_item;
        old.item = &old_item;
        old.next = nullptr;
        ok = obdb_obq_change_column_from_dictionary(relation, &old, new_name);
    } else {
        ok = renamed ? obdb_obq_rename_column(old_name, new_name, table.c_str()) : 1;
        if (ok && realiased)
            obdb_obq_rename_alias(new_name, data->alias);
    }
    if (ok) {
        if (renamed) {
            obdict_ob_delete_item_maybe(old_name);
            obdict_ob_rename_key(relation, old_name, new_name);
        }
        ObColumnData *own = data_of(object);
        const ObColumnData kept = *own;
        *own = *data;
        safe_strcpy(own->name, new_name, sizeof own->name);
        safe_strcpy(own->table, table.c_str(), sizeof own->table);
        own->columns = relation->columns;
        own->items = wsdict_dictionary ? wsdict_dictionary->items : nullptr;
        own->pending = nullptr;
        own->indexed = kept.indexed;
        own->spare_pointer = kept.spare_pointer;
        own->chain = nullptr;
        if (renamed || data->length != saved_item.length)
            resize_row(object, relation, new_name, data->length);
    } else {
        restore();
    }
    obdb_obq_no_access(table.c_str());
}

// ---- the rest --------------------------------------------------------------------------------

void validate(void *kind_data, int check, int *result)
{
    *result = 1;
    auto *data = static_cast<ObColumnData *>(kind_data);
    if (!data || !data->name[0])
        return;
    // Too long a name would be cut short in the database: refused with or
    // without the interpreter's checks.
    if (strnlen(data->name, sizeof data->name) >= 13) {
        *result = 0;
        obbox_error(OB_COLUMN_NAME_LONG, data->name);
        return;
    }
    if (check && qy_check_reserved_col(data->name)) {
        *result = 0;
        obbox_error(OB_RESERVED_NAME, data->name);
    }
}

void permit(QueryObject *object, int op, int *result)
{
    *result = 0;
    const char *table = obtab_table_name_of(object);
    if (obtab_is_system(table)) {
        if (op == 0) {
            *result = 2;
            obbox_error(OB_SYSTEM_TABLE);
        } else {
            *result = 1;
            obbox_warning(OB_SYSTEM_TABLE);
        }
        return;
    }
    if (!obdict_ob_i_have_dbpriv(DBPRIV_DBA) &&
        (!obdict_ob_i_have_dbpriv(DBPRIV_CREATE) || !obdict_ob_i_have_priv_on(PRIV_ADMIN, table)))
        *result = op == 0 ? 2 : 1;
    if (!*result)
        return;
    if (op == 1) {
        DictRelation *r = obdict_ob_find_table(table);
        QueryObject *t = r ? r->table_object : nullptr;
        if (t && (t->flags & OB_FLAG_COLUMN_WARNED))
            return;
        if (t)
            t->flags |= OB_FLAG_COLUMN_WARNED;
    }
    if (*result == 1)
        obbox_warning(OB_COLUMNS_NOT_ALLOWED);
    else
        obbox_error(OB_COLUMNS_NOT_ALLOWED);
}

}  // namespace

void obcol_initialise_column_object()
{
    obmain_set_class(OB_COLUMN, 15, 1, 3, 1, 1, 0, 0, 1, 0x3f00);
    obview_install_column();
    ObClass &c = obmain_object_class[OB_COLUMN];
    c.create = create;
    c.del = del;
    c.edit = edit;
    c.validate = validate;
    c.permit = permit;
}

// The columns waiting for the dismissal of the column dialog (tests).
int obcol_pending_count() { return static_cast<int>(pending.records.size()); }
