// The layout of the workspace: the database's table objects, system and
// result tables, pushing objects down and up, the canvas fit, a new query,
// stacking selected objects, and the user tool.

#include "wsobjmgr.h"

#include "obcheck.h"
#include "obmain.h"
#include "qychk.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsmsgs.h"
#include "wssrch.h"
#include "wstables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void warn(const VxMsg<> &m) { fputs(vx_msgf(obmain_ob_nlsfd, m).c_str(), stderr); }

void (*reread_hook)() = nullptr;

ObClass &cls(const QueryObject *o) { return obmain_object_class[o->kind]; }

bool is_system(const DictRelation *r) { return r->name[0] == '%'; }

bool is_result(const DictRelation *r)
{
    const char *result = wsdict_dictionary ? wsdict_dictionary->result : "";
    return (result[0] && strncmp(r->name, result, 4) == 0) || strncmp(r->name, "RSLT", 4) == 0;
}

const char *table_name_of(const QueryObject *o)
{
    if (!o || !o->kind_data)
        return "";
    if (o->kind == OB_TABLE)
        return static_cast<const ObTableData *>(o->kind_data)->name;
    if (o->kind == OB_COLUMN)
        return static_cast<const ObColumnData *>(o->kind_data)->table;
    return "";
}

// Undraws, moves to a new layout position and redraws.
void move_object(QueryObject *o, int x, int y)
{
    ObClass &c = cls(o);
    c.undraw(o);
    wsmain_ws_expose_box(o->outer, o);
    ObPoint to{x, y};
    c.move(o, &to);
    wsmain_ws_expose_box(o->outer, nullptr);
}

void remove_object(QueryObject *o)
{
    ObClass &c = cls(o);
    const ObBox old = o->outer;
    const bool drawn = c.drawn;
    if (drawn)
        c.undraw(o);
    wsdict_ws_unlink_object(o);
    c.destroy(o);
    if (drawn)
        wsmain_ws_expose_box(old, nullptr);
}

// Places a system table at the running position and pushes what lies
// below it down.
void place_pushing(DictRelation *r, ObPoint *running)
{
    wsobj_ws_create_table_objects(r, running);
    QueryObject *t = r->table_object;
    if (!t)
        return;
    const ObPoint top{0, t->layout.y};
    wsobj_ws_shift_down(&top, t->outer.height + obmain_table_y_gap, t);
    *running = ObPoint{t->anchor_x, t->anchor_y + t->outer.height};
}

// Frees the objects of a table box that leaves the canvas.  The table
// stays in the dictionary, so the classes' destroys (which also delete the
// dictionary's entries) are not used.
void free_table_objects(DictRelation *r)
{
    for (DictColumn *c = r->columns; c; c = c->next)
        if (QueryObject *o = c->object) {
            c->object = nullptr;
            wsdict_ws_unlink_object(o);
            obmain_std_destroy_object(o);
        }
    if (QueryObject *o = r->priv_object) {
        r->priv_object = nullptr;
        obmain_std_destroy_object(o);
    }
    if (QueryObject *o = r->index_object) {
        r->index_object = nullptr;
        obmain_std_destroy_object(o);
    }
    if (QueryObject *o = r->table_object) {
        objoin_ws_remove_join_to(o);
        obmain_object_class[OB_TABLE].undraw(o);
        wsdict_ws_unlink_object(o);
        r->table_object = nullptr;
        obmain_std_destroy_object(o);
    }
}

}  // namespace

void wsobj_ws_set_reread_hook(void (*reread)()) { reread_hook = reread; }

// ---- table objects ---------------------------------------------------------------------------

void wsobj_ws_create_table_objects(DictRelation *relation, ObPoint *position)
{
    if (!relation || relation->table_object)
        return;
    std::vector<ObColumnData> columns;
    for (DictColumn *c = relation->columns; c; c = c->next) {
        ObColumnData d{};
        d.kind = OB_COLUMN;
        safe_strcpy(d.name, c->name, sizeof d.name);
        safe_strcpy(d.table, relation->name, sizeof d.table);
        if (const DictItem *it = c->item) {
            safe_strcpy(d.alias, it->alias, sizeof d.alias);
            d.type = it->type;
            d.length = it->length;
            d.fraction = it->fraction;
            d.array_size = it->array_size;
            d.var = it->var;
            d.ndims = std::min(it->ndims, 8);
            memcpy(d.dims, it->dims, sizeof d.dims);
        }
        d.key = c->key;
        d.null = c->null;
        d.columns = relation->columns;
        d.items = wsdict_dictionary ? wsdict_dictionary->items : nullptr;
        columns.push_back(d);
    }
    for (size_t i = 0; i + 1 < columns.size(); i++)
        columns[i].chain = &columns[i + 1];
    ObTableData t{};
    t.kind = OB_TABLE;
    safe_strcpy(t.name, relation->name, sizeof t.name);
    safe_strcpy(t.location, relation->location, sizeof t.location);
    t.size = static_cast<int>(std::min<int64_t>(relation->maxsize, 0x7fffffff));
    t.extendable = !relation->fixed;
    t.structure = relation->structure;
    t.memory = relation->reqmem;
    t.relations = wsdict_dictionary ? wsdict_dictionary->relations : nullptr;
    t.items = wsdict_dictionary ? wsdict_dictionary->items : nullptr;
    t.new_columns = columns.empty() ? nullptr : columns.data();
    t.columns = static_cast<int>(columns.size());
    QueryObject *made = nullptr;
    // A position of (-1, -1) lets the table class place the table.
    obmain_object_class[OB_TABLE].create(&made, &t, position ? position->x : -1, position ? position->y : -1,
                                         nullptr);
    if (made && !relation->table_object)
        relation->table_object = made;
}

void wsobj_ws_create_database_objects()
{
    if (!wsdict_dictionary)
        return;
    ObClass &uc = obmain_object_class[OB_USER];
    void *value = nullptr;
    uc.newval(&value, nullptr);
    QueryObject *user = nullptr;
    uc.create(&user, value, -1, -1, nullptr);
    if (user && !wsdict_dictionary->user_object)
        wsdict_dictionary->user_object = user;
    if (obmain_ob_options[2]) {
        ObPoint running{0, 0};
        for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next)
            if (is_system(r))
                place_pushing(r, &running);
    }
    int count = 0;
    const TableListEntry *list = wsobj_ws_table_list(&count);
    for (int i = 0; i < count; i++) {
        if (!list[i].shown)
            continue;
        DictRelation *r = wsdict_find_relation(list[i].name);
        if (!r) {
            warn(WS_TABLE_NOT_IN_DICTIONARY);
            continue;
        }
        wsobj_ws_create_table_objects(r, nullptr);
    }
}

void wsobj_ws_create_system_table_objects()
{
    if (!wsdict_dictionary)
        return;
    ObPoint running{0, 0};
    for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next) {
        if (!is_system(r))
            continue;
        if (QueryObject *t = r->table_object) {
            running = ObPoint{t->anchor_x, t->anchor_y + t->outer.height};
            continue;
        }
        place_pushing(r, &running);
    }
}

void wsobj_ws_destroy_system_table_objects()
{
    if (!wsdict_dictionary)
        return;
    for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next) {
        QueryObject *t = r->table_object;
        if (!is_system(r) || !t)
            continue;
        const ObPoint top{0, t->layout.y};
        const ObBox old = t->outer;
        wsobj_ws_shift_down(&top, -(t->outer.height + obmain_table_y_gap), t);
        free_table_objects(r);
        wsmain_ws_expose_box(old, nullptr);
    }
}

void wsobj_ws_create_result_objects(const char *new_name)
{
    if (!wsdict_dictionary)
        return;
    ObPoint running{0, 0};
    for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next) {
        if (is_system(r) && r->table_object) {
            QueryObject *t = r->table_object;
            running = ObPoint{t->anchor_x, t->anchor_y + t->outer.height};
            continue;
        }
        if (!is_result(r) || r->table_object)
            continue;
        if (new_name && *new_name)
            safe_strcpy(r->name, new_name, sizeof r->name);
        place_pushing(r, &running);
    }
}

void wsobj_ws_destroy_result_objects()
{
    if (!wsdict_dictionary)
        return;
    const char *result = wsdict_dictionary->result;
    for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next) {
        QueryObject *t = r->table_object;
        if (!t)
            continue;
        if (!((result[0] && strncmp(r->name, result, 4) == 0) || strcmp(r->name, "RSLT") == 0))
            continue;
        const ObPoint top{0, t->layout.y};
        const ObBox old = t->outer;
        wsobj_ws_shift_down(&top, -(t->outer.height + obmain_table_y_gap), t);
        free_table_objects(r);
        wsmain_ws_expose_box(old, nullptr);
    }
}

void wsobj_ws_resize_drawing_area_for_database()
{
    if (!wsdict_dictionary)
        return;
    int right = 0, bottom = 0;
    for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next)
        if (QueryObject *t = r->table_object) {
            right = std::max(right, t->outer.x + t->outer.width);
            bottom = std::max(bottom, t->outer.y + t->outer.height);
        }
    wsmain_ws_resize_drawing_area(right + obmain_table_x_extra, bottom + obmain_table_y_gap);
}

// ---- shifting --------------------------------------------------------------------------------

void wsobj_ws_shift_down(const ObPoint *point, int distance, QueryObject *object)
{
    const char *own = object && object->kind == OB_TABLE ? table_name_of(object) : "";
    std::vector<QueryObject *> found, joins;
    wssrch_ws_start_search(WS_SEARCH_BELOW, point, nullptr);
    while (QueryObject *o = wssrch_ws_search()) {
        if (!cls(o).drawn || o == object)
            continue;
        if (o->kind == OB_JOIN) {
            joins.push_back(o);
            continue;
        }
        if (own[0] && (o->kind == OB_TABLE || o->kind == OB_COLUMN) && strcmp(table_name_of(o), own) == 0)
            continue;
        found.push_back(o);
    }
    wssrch_ws_stop_search();
    for (QueryObject *o : found) {
        ObPoint to{o->layout.x, o->layout.y + distance};
        cls(o).move(o, &to);
    }
    for (QueryObject *o : joins) {
        ObPoint to{o->layout.x, o->layout.y + distance};
        cls(o).move(o, &to);
    }
}

// ---- variables, indexes ----------------------------------------------------------------------

void wsobj_ws_unassign_all_variables(int unselect)
{
    while (wsdict_dictionary && wsdict_dictionary->assignments) {
        ObAssignment *a = wsdict_dictionary->assignments;
        QueryObject *variable = a->variable, *target = a->assigned;
        wsdict_ws_unassign_object(variable ? variable : target);
        if (wsdict_dictionary->assignments == a)
            break;  // nothing was removed: do not loop
        if (variable && variable->kind == OB_VARIABLE && variable->kind_data) {
            ObVariableData copy = *static_cast<ObVariableData *>(variable->kind_data);
            copy.prompt = 0;  // the variable is no longer assigned
            cls(variable).edit(variable, &copy);
            if (unselect && variable->selected) {
                cls(variable).select(variable, 0);
                wsdict_ws_unselect_object(variable);
            }
        }
        if (target && target->kind_data && target->kind == OB_EXPRESSION) {
            ObExpressionData copy = *static_cast<ObExpressionData *>(target->kind_data);
            copy.name[0] = '\0';
            cls(target).edit(target, &copy);
        } else if (target && target->kind_data && target->kind == OB_STATISTIC) {
            ObStatisticData copy = *static_cast<ObStatisticData *>(target->kind_data);
            copy.name[0] = '\0';
            cls(target).edit(target, &copy);
        }
    }
}

void ws_set_indexed_columns()
{
    if (!wsdict_dictionary)
        return;
    for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next) {
        if (!r->table_object)
            continue;
        for (DictColumn *c = r->columns; c; c = c->next) {
            if (!c->object || !c->object->kind_data)
                continue;
            int indexed = 0;
            for (DictIndex *i = r->indexes; i && !indexed; i = i->next)
                for (DictKey *k = i->keys; k && !indexed; k = k->next)
                    indexed = strcmp(k->name, c->name) == 0;
            static_cast<ObColumnData *>(c->object->kind_data)->indexed = indexed;
        }
    }
}

// ---- new query, collect ----------------------------------------------------------------------

void wsobj_ws_new_query()
{
    if (!wsdict_dictionary)
        return;
    while (ObSelection *s = wsdict_dictionary->selected) {
        QueryObject *o = s->object;
        ObClass &c = cls(o);
        if (c.trashable && o->kind != OB_VARIABLE) {
            int agreed = 0;
            c.del(o, nullptr, &agreed);
            if (agreed) {
                remove_object(o);
                continue;
            }
            warn(WS_REFUSED_NEW_QUERY);
        }
        // Kept objects leave the selection, so the sweep ends.
        c.select(o, 0);
        wsdict_ws_unselect_object(o);
        wsmain_ws_expose_box(o->outer, nullptr);
    }
    if (wsdict_nomination.first_count || wsdict_nomination.second_count) {
        warn(WS_STILL_NOMINATED);
        wsdict_nomination.first_count = 0;
        wsdict_nomination.second_count = 0;
    }
}

void wsobj_ws_collect_objects(int x, int y)
{
    if (!wsdict_dictionary)
        return;
    std::vector<QueryObject *> order;
    for (ObSelection *s = wsdict_dictionary->selected; s; s = s->next)
        if (cls(s->object).movable && s->object->kind != OB_JOIN)
            order.push_back(s->object);
    if (obmain_object_class[OB_VARIABLE].movable)
        for (QueryObject *v = wsdict_dictionary->variables; v; v = v->next)
            if (std::find(order.begin(), order.end(), v) == order.end())
                order.push_back(v);
    int width = 0, height = 0;
    wsmain_ws_get_drawing_area_size(&width, &height);
    int next_y = y;
    for (QueryObject *o : order) {
        if (x < 0 || x >= width || next_y < 0 || next_y >= height) {
            warn(WS_NO_SPACE);
            return;
        }
        move_object(o, x, next_y);
        next_y += o->outer.height + 5;
    }
}

// ---- the user tool --------------------------------------------------------------------------------

void wsobj_ws_run_user_object(const char *command, QueryObject *object)
{
    const char *table = nullptr, *column = nullptr;
    if (object && object->kind_data && object->kind == OB_COLUMN) {
        table = static_cast<ObColumnData *>(object->kind_data)->table;
        column = static_cast<ObColumnData *>(object->kind_data)->name;
    } else if (object && object->kind_data && object->kind == OB_TABLE) {
        table = static_cast<ObTableData *>(object->kind_data)->name;
    }
    if (!command)
        return;
    if (qychk_qy_run_command(command, table, column) && reread_hook)
        reread_hook();
}

// ---- the workspace half of opening a database ---------------------------------------------------------

void wsobj_ws_show_database()
{
    wsmain_ws_clear();
    wsobj_ws_create_database_objects();
    ws_set_indexed_columns();
    wsobj_ws_resize_drawing_area_for_database();
    wsmain_ws_refresh_from(0);
}
