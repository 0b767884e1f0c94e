// Dictionary maintenance for the query objects: look-ups, the access tests
// and the changes that follow what the objects do in the database.  New
// entries go at the end of their lists; removal keeps the order of the rest.

#include "obdict.h"
#include "wsdict_int.h"

#include "qychk.h"
#include "vxutil.h"

#include <climits>
#include <cstring>

namespace {

template <class T>
T *alloc_zeroed()
{
    void *p = vx_malloc(static_cast<long>(sizeof(T)), 1);
    memset(p, 0, sizeof(T));
    return static_cast<T *>(p);
}

template <class T>
void append_to(T *&head, T *entry)
{
    T **tail = &head;
    while (*tail)
        tail = &(*tail)->next;
    *tail = entry;
}

template <class T>
bool unlink_from(T *&head, T *entry)
{
    for (T **p = &head; *p; p = &(*p)->next)
        if (*p == entry) {
            *p = entry->next;
            entry->next = nullptr;
            return true;
        }
    return false;
}

WsDictionary *dict() { return wsdict_dictionary; }
DictRelation *relations() { return dict() ? dict()->relations : nullptr; }

// Column objects carry their relation's column list head.
void refresh_column_heads(DictRelation *relation)
{
    for (DictColumn *c = relation->columns; c; c = c->next)
        if (c->object && c->object->kind_data)
            static_cast<ObColumnData *>(c->object->kind_data)->columns = relation->columns;
}

// Privilege objects carry the user list head.
void refresh_user_heads()
{
    DictUser *head = dict() ? dict()->users : nullptr;
    for (DictRelation *r = relations(); r; r = r->next)
        if (r->priv_object && r->priv_object->kind_data)
            static_cast<ObPrivilegeData *>(r->priv_object->kind_data)->users = head;
}

DictRelation *relation_of_column(const DictColumn *column)
{
    for (DictRelation *r = relations(); r; r = r->next)
        for (DictColumn *c = r->columns; c; c = c->next)
            if (c == column)
                return r;
    return nullptr;
}

int level_of_keyword(const char *keyword)
{
    static const char *const levels[] = {"NONE", "READ", "APPEND", "WRITE", "LOCK", "ADMIN", "OWNERSHIP", "DEFAULT"};
    for (int i = 0; i < 8; i++)
        if (strcmp(keyword, levels[i]) == 0)
            return i;
    return PRIV_READ;
}

DictColumn *unlinked_column = nullptr;
DictColumn *unlinked_before = nullptr;
DictRelation *unlinked_relation = nullptr;

}  // namespace

// ---- look-ups --------------------------------------------------------------------------

DictRelation *obdict_ob_find_table(const char *table)
{
    for (DictRelation *r = relations(); table && r; r = r->next)
        if (strcmp(r->name, table) == 0)
            return r;
    return nullptr;
}

DictColumn *obdict_ob_find_column(const char *table, const char *column)
{
    DictRelation *r = obdict_ob_find_table(table);
    for (DictColumn *c = r ? r->columns : nullptr; column && c; c = c->next)
        if (strcmp(c->name, column) == 0)
            return c;
    return nullptr;
}

DictIndex *obdict_ob_find_index(const char *table, int number)
{
    DictRelation *r = obdict_ob_find_table(table);
    for (DictIndex *x = r ? r->indexes : nullptr; x; x = x->next)
        if (x->number == number)
            return x;
    return nullptr;
}

DictUser *obdict_ob_find_user(const char *user)
{
    for (DictUser *u = dict() ? dict()->users : nullptr; user && u; u = u->next)
        if (strcmp(u->name, user) == 0)
            return u;
    return nullptr;
}

DictPriv *obdict_ob_find_priv(const char *user, const char *table)
{
    DictRelation *r = obdict_ob_find_table(table);
    for (DictPriv *p = r ? r->privs : nullptr; user && p; p = p->next)
        if (strcmp(p->user, user) == 0)
            return p;
    return nullptr;
}

QueryObject *obdict_ob_find_var(const char *name)
{
    for (QueryObject *o = dict() ? dict()->variables : nullptr; name && o; o = o->next)
        if (o->kind_data && strcmp(static_cast<const ObVariableData *>(o->kind_data)->name, name) == 0)
            return o;
    return nullptr;
}

QueryObject *obdict_find_last_column_object(const DictRelation *relation)
{
    QueryObject *last = nullptr;
    for (DictColumn *c = relation ? relation->columns : nullptr; c; c = c->next)
        if (c->object)
            last = c->object;
    return last;
}

QueryObject *obdict_find_table_object_just_above(const ObPoint *point)
{
    QueryObject *best = nullptr;
    for (DictRelation *r = relations(); r; r = r->next) {
        QueryObject *o = r->table_object;
        if (!o || (point && o->anchor_y >= point->y))
            continue;
        if (!best || o->anchor_y > best->anchor_y)
            best = o;
    }
    return best;
}

// ---- access tests ------------------------------------------------------------------------

int obdict_ob_i_have_dbpriv(int level)
{
    DictUser *u = dict() ? obdict_ob_find_user(dict()->user) : nullptr;
    return u && u->access >= level ? 1 : 0;
}

int obdict_ob_i_have_priv_on(int level, const char *table)
{
    if (!dict() || !table)
        return 0;
    if (dict()->result[0] && strcmp(table, dict()->result) == 0)
        return 1;
    if (DictPriv *own = obdict_ob_find_priv(dict()->user, table))
        return own->level >= level ? 1 : 0;
    if (DictPriv *def = obdict_ob_find_priv("%DEFAULT", table))
        return def->level >= level ? 1 : 0;
    return 0;
}

int obdict_ob_i_may(int level, const char *table)
{
    return obdict_ob_i_have_dbpriv(DBPRIV_DBA) || obdict_ob_i_have_priv_on(level, table) ? 1 : 0;
}

// ---- tables --------------------------------------------------------------------------------

DictRelation *obdict_ob_create_table(const ObTableData *data)
{
    if (!dict() || !data)
        return nullptr;
    auto *r = alloc_zeroed<DictRelation>();
    safe_strcpy(r->name, data->name, sizeof r->name - 1);
    safe_strcpy(r->location, data->location, sizeof r->location - 1);
    r->maxsize = data->size;
    r->fixed = data->extendable ? 0 : 1;
    r->structure = data->structure;
    r->reqmem = data->memory;
    append_to(dict()->relations, r);
    return r;
}

void obdict_ob_delete_table(DictRelation *relation)
{
    if (!relation)
        return;
    obdict_ob_delete_priv_for(nullptr, relation);
    obdict_ob_delete_index_for(relation);
    obdict_delete_column_for(relation);
    if (dict())
        unlink_from(dict()->relations, relation);
    wsdict_forget_relation(relation);
    if (unlinked_relation == relation)
        unlinked_relation = nullptr, unlinked_column = nullptr, unlinked_before = nullptr;
    vx_free(relation);
}

void obdict_ob_rename_table(DictRelation *relation, const char *new_name)
{
    if (!relation || !new_name)
        return;
    const bool was_result = dict() && dict()->result[0] && strcmp(relation->name, dict()->result) == 0;
    safe_strcpy(relation->name, new_name, sizeof relation->name - 1);
    for (DictIndex *x = relation->indexes; x; x = x->next)
        safe_strcpy(x->relation, new_name, sizeof x->relation - 1);
    if (was_result && obdict_ob_create_default_privs(relation) && relation->priv_object &&
        relation->priv_object->kind_data)
        static_cast<ObPrivilegeData *>(relation->priv_object->kind_data)->privs = relation->privs;
}

int obdict_ob_create_default_privs(DictRelation *relation)
{
    if (!relation || !dict() || qychk_privs_exist(relation->name))
        return 0;
    obdict_ob_delete_priv_for(nullptr, relation);
    auto *def = alloc_zeroed<DictPriv>();
    safe_strcpy(def->user, "%DEFAULT", sizeof def->user - 1);
    def->level = level_of_keyword(wsdict_sysvars.dpriv);
    auto *mine = alloc_zeroed<DictPriv>();
    safe_strcpy(mine->user, dict()->user, sizeof mine->user - 1);
    mine->level = PRIV_OWNERSHIP;
    def->next = mine;
    relation->privs = def;
    return 1;
}

// ---- columns and items ---------------------------------------------------------------------

DictColumn *obdict_ob_create_column(const ObColumnData *data)
{
    if (!data)
        return nullptr;
    auto *c = alloc_zeroed<DictColumn>();
    safe_strcpy(c->name, data->name, sizeof c->name - 1);
    c->key = data->key;
    c->null = data->null;
    c->item = obdict_ob_create_item_maybe(data);
    if (DictRelation *r = obdict_ob_find_table(data->table)) {
        const bool first = !r->columns;
        append_to(r->columns, c);
        if (first)
            refresh_column_heads(r);
    }
    return c;
}

void obdict_ob_delete_column(DictColumn *column)
{
    if (!column)
        return;
    if (DictRelation *r = relation_of_column(column)) {
        const bool first = r->columns == column;
        unlink_from(r->columns, column);
        if (first) {
            refresh_column_heads(r);
            if (column->object && column->object->kind_data)
                static_cast<ObColumnData *>(column->object->kind_data)->columns = r->columns;
        }
    }
    if (unlinked_column == column)
        unlinked_column = nullptr, unlinked_before = nullptr, unlinked_relation = nullptr;
    char name[sizeof column->name];
    memcpy(name, column->name, sizeof name);
    vx_free(column);
    obdict_ob_delete_item_maybe(name);
}

void obdict_delete_column_for(DictRelation *relation)
{
    if (!relation)
        return;
    // The column objects lose their list.
    for (DictColumn *c = relation->columns; c; c = c->next)
        if (c->object && c->object->kind_data)
            static_cast<ObColumnData *>(c->object->kind_data)->columns = nullptr;
    while (relation->columns)
        obdict_ob_delete_column(relation->columns);
}

void obdict_ob_unlink_column(DictColumn *column)
{
    DictRelation *r = relation_of_column(column);
    if (!r)
        return;
    DictColumn *before = nullptr;
    for (DictColumn *c = r->columns; c && c != column; c = c->next)
        before = c;
    unlink_from(r->columns, column);
    unlinked_column = column;
    unlinked_before = before;
    unlinked_relation = r;
    if (!before)
        refresh_column_heads(r);
}

void obdict_ob_relink_column()
{
    DictColumn *column = unlinked_column;
    DictRelation *r = unlinked_relation;
    if (!column || !r)
        return;
    bool placed = false;
    if (unlinked_before) {
        for (DictColumn *c = r->columns; c; c = c->next)
            if (c == unlinked_before) {
                column->next = c->next;
                c->next = column;
                placed = true;
                break;
            }
    }
    if (!placed) {
        column->next = r->columns;
        r->columns = column;
        refresh_column_heads(r);
    }
    unlinked_column = nullptr;
    unlinked_before = nullptr;
    unlinked_relation = nullptr;
}

DictItem *obdict_ob_create_item_maybe(const ObColumnData *data)
{
    if (!data || !dict())
        return nullptr;
    if (DictItem *it = wsdict_find_item(data->name))
        return it;
    auto *it = alloc_zeroed<DictItem>();
    safe_strcpy(it->name, data->name, sizeof it->name - 1);
    safe_strcpy(it->alias, data->alias, sizeof it->alias - 1);
    it->type = data->type;
    it->length = data->length;
    it->fraction = data->fraction;
    it->array_size = data->array_size;
    it->var = data->var;
    it->ndims = data->ndims < 0 ? 0 : data->ndims > 8 ? 8 : data->ndims;
    for (int d = 0; d < it->ndims; d++)
        it->dims[d] = data->dims[d];
    append_to(dict()->items, it);
    return it;
}

void obdict_ob_delete_item_maybe(const char *name)
{
    if (!dict() || !name)
        return;
    for (DictRelation *r = relations(); r; r = r->next)
        for (DictColumn *c = r->columns; c; c = c->next)
            if (strcmp(c->name, name) == 0)
                return;
    for (DictItem *it = dict()->items; it; it = it->next)
        if (strcmp(it->name, name) == 0) {
            unlink_from(dict()->items, it);
            wsdict_forget_item(it);
            // Columns left unlinked by the one-level undo keep no stale item.
            if (unlinked_column && unlinked_column->item == it)
                unlinked_column->item = nullptr;
            vx_free(it);
            return;
        }
}

int obdict_ob_is_shared_item(const DictItem *item)
{
    int users = 0;
    for (DictRelation *r = relations(); item && r; r = r->next)
        for (DictColumn *c = r->columns; c; c = c->next)
            if (c->item == item && ++users > 1)
                return 1;
    return 0;
}

// ---- indexes ------------------------------------------------------------------------------

DictIndex *obdict_ob_create_index(const ObIndexData *data, int number)
{
    if (!data)
        return nullptr;
    auto *x = alloc_zeroed<DictIndex>();
    safe_strcpy(x->relation, data->table, sizeof x->relation - 1);
    x->number = number;
    x->unique = data->unique;
    x->noupdate = data->noupdate;
    safe_strcpy(x->location, data->location, sizeof x->location - 1);
    x->keys = wsdict_ws_read_index_keys(data->table, number);
    if (DictRelation *r = obdict_ob_find_table(data->table))
        append_to(r->indexes, x);
    return x;
}

void obdict_ob_delete_index(DictIndex *index)
{
    if (!index)
        return;
    for (DictRelation *r = relations(); r; r = r->next)
        if (unlink_from(r->indexes, index))
            break;
    wsdict_free_keys(index->keys);
    vx_free(index);
}

void obdict_ob_delete_index_for(DictRelation *relation)
{
    while (relation && relation->indexes)
        obdict_ob_delete_index(relation->indexes);
}

void obdict_ob_rename_key(DictRelation *relation, const char *old_name, const char *new_name)
{
    for (DictIndex *x = relation && old_name && new_name ? relation->indexes : nullptr; x; x = x->next)
        for (DictKey *k = x->keys; k; k = k->next)
            if (strcmp(k->name, old_name) == 0)
                safe_strcpy(k->name, new_name, sizeof k->name - 1);
}

void obdict_ob_set_indexed_columns(DictRelation *relation)
{
    for (DictColumn *c = relation ? relation->columns : nullptr; c; c = c->next) {
        int indexed = 0;
        for (DictIndex *x = relation->indexes; x && !indexed; x = x->next)
            for (DictKey *k = x->keys; k && !indexed; k = k->next)
                indexed = strcmp(k->name, c->name) == 0;
        if (c->object && c->object->kind_data)
            static_cast<ObColumnData *>(c->object->kind_data)->indexed = indexed;
    }
}

// ---- users and privileges --------------------------------------------------------------------

DictUser *obdict_ob_create_user(const ObUserData *data)
{
    if (!data || !dict())
        return nullptr;
    auto *u = alloc_zeroed<DictUser>();
    safe_strcpy(u->name, data->name, sizeof u->name - 1);
    u->access = data->level;
    const bool first = !dict()->users;
    append_to(dict()->users, u);
    if (first)
        refresh_user_heads();
    return u;
}

void obdict_ob_delete_user(DictUser *user)
{
    if (!user || !dict())
        return;
    obdict_ob_delete_priv_for(user->name, nullptr);
    const bool first = dict()->users == user;
    unlink_from(dict()->users, user);
    vx_free(user);
    if (first)
        refresh_user_heads();
}

void obdict_ob_delete_all_users()
{
    if (!dict())
        return;
    obdict_ob_delete_priv_for(nullptr, nullptr);
    while (dict()->users) {
        DictUser *n = dict()->users->next;
        vx_free(dict()->users);
        dict()->users = n;
    }
    refresh_user_heads();
}

DictPriv *obdict_ob_create_priv(const ObPrivilegeData *data)
{
    if (!data)
        return nullptr;
    auto *p = alloc_zeroed<DictPriv>();
    safe_strcpy(p->user, data->user, sizeof p->user - 1);
    p->level = data->level;
    safe_strcpy(p->restriction, data->restriction, sizeof p->restriction - 1);
    if (DictRelation *r = obdict_ob_find_table(data->table))
        append_to(r->privs, p);
    return p;
}

void obdict_ob_delete_priv(DictPriv *priv)
{
    if (!priv)
        return;
    for (DictRelation *r = relations(); r; r = r->next)
        if (unlink_from(r->privs, priv))
            break;
    vx_free(priv);
}

void obdict_ob_delete_priv_for(const char *user, DictRelation *relation)
{
    for (DictRelation *r = relation ? relation : relations(); r; r = relation ? nullptr : r->next) {
        for (DictPriv **p = &r->privs; *p;) {
            if (!user || strcmp((*p)->user, user) == 0) {
                DictPriv *gone = *p;
                *p = gone->next;
                vx_free(gone);
            } else {
                p = &(*p)->next;
            }
        }
    }
}
