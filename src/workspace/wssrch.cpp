// The workspace's spatial search.

#include "wssrch.h"

#include "wsdict.h"

namespace {

// The phases of a search, in order.
enum Phase {
    P_EXPRESSIONS,
    P_CONDITION,
    P_STATISTICS,
    P_SORT,
    P_GROUP,
    P_VARIABLES,
    P_JOIN,
    P_COLUMNS,
    P_TABLES,
    P_INDEXES,
    P_PRIVILEGES,
    P_USER,
    P_DONE,
};

struct Search {
    bool active = false;
    int mode = 0;
    ObPoint point{0, 0};
    ObBox rect{0, 0, 0, 0};
    int phase = P_DONE;
    bool phase_started = false;
    QueryObject *element = nullptr;     // next object of a list phase
    DictRelation *relation = nullptr;   // current relation of the relation phases
    DictColumn *column = nullptr;       // next column of the current relation
    QueryObject *last = nullptr;
} s;

bool test_boxes(const ObBox &outer, const ObBox &select, const ObBox &drop, const ObBox &layout)
{
    switch (s.mode) {
    case WS_SEARCH_SELECT: return wssrch_point_in(select, s.point);
    case WS_SEARCH_DROP: return wssrch_point_in(drop, s.point);
    case WS_SEARCH_COVER: return wssrch_box_touches(outer, s.rect);
    case WS_SEARCH_BELOW: return layout.y >= s.point.y;
    case WS_SEARCH_MULTI: return wssrch_box_inside(select, s.rect);
    default: return false;
    }
}

bool matches(const QueryObject *o) { return o && test_boxes(o->outer, o->select, o->drop, o->layout); }

// A table's box decides whether its columns are looked at.
bool table_passes(const QueryObject *t)
{
    switch (s.mode) {
    case WS_SEARCH_SELECT:
    case WS_SEARCH_DROP: return wssrch_point_in(t->outer, s.point);
    case WS_SEARCH_COVER:
    case WS_SEARCH_MULTI: return wssrch_box_touches(t->outer, s.rect);
    case WS_SEARCH_BELOW: return t->layout.y >= s.point.y;
    default: return false;
    }
}

QueryObject *list_head(int phase)
{
    WsDictionary *d = wsdict_dictionary;
    if (!d)
        return nullptr;
    switch (phase) {
    case P_EXPRESSIONS: return d->expressions;
    case P_CONDITION: return d->conditions;
    case P_STATISTICS: return d->statistics;
    case P_SORT: return d->sorts;
    case P_GROUP: return d->groups;
    case P_VARIABLES: return d->variables;
    case P_JOIN: return d->joins;
    default: return nullptr;
    }
}

bool first_only(int phase) { return phase == P_CONDITION || phase == P_SORT || phase == P_GROUP || phase == P_JOIN; }

DictRelation *first_relation() { return wsdict_dictionary ? wsdict_dictionary->relations : nullptr; }

void next_phase()
{
    s.phase++;
    s.phase_started = false;
}

}  // namespace

bool wssrch_point_in(const ObBox &b, const ObPoint &p)
{
    return p.x >= b.x && p.x < b.x + b.width && p.y >= b.y && p.y < b.y + b.height;
}

bool wssrch_box_touches(const ObBox &b, const ObBox &r)
{
    return b.x <= r.x + r.width && b.x + b.width >= r.x && b.y <= r.y + r.height && b.y + b.height >= r.y;
}

bool wssrch_box_inside(const ObBox &b, const ObBox &r)
{
    return b.x >= r.x && b.x + b.width <= r.x + r.width && b.y >= r.y && b.y + b.height <= r.y + r.height;
}

void wssrch_ws_start_search(int mode, const ObPoint *point, const ObBox *rect)
{
    s = Search{};
    s.active = true;
    s.mode = mode;
    if (point)
        s.point = *point;
    if (rect)
        s.rect = *rect;
    s.phase = P_EXPRESSIONS;
}

void wssrch_ws_stop_search() { s = Search{}; }

QueryObject *wssrch_ws_search()
{
    if (!s.active)
        return nullptr;
    while (s.phase < P_DONE) {
        if (s.phase <= P_JOIN) {
            if (!s.phase_started) {
                s.element = list_head(s.phase);
                s.phase_started = true;
            }
            while (QueryObject *o = s.element) {
                s.element = first_only(s.phase) ? nullptr : o->next;
                if (matches(o))
                    return s.last = o;
            }
            next_phase();
        } else if (s.phase == P_COLUMNS) {
            if (!s.phase_started) {
                s.relation = first_relation();
                s.column = nullptr;
                s.phase_started = true;
                // The first relation's table box is tested below.
                if (s.relation && s.relation->table_object && table_passes(s.relation->table_object))
                    s.column = s.relation->columns;
                else if (s.relation)
                    s.column = nullptr;
            }
            while (s.relation) {
                while (DictColumn *c = s.column) {
                    s.column = c->next;
                    if (c->object && matches(c->object))
                        return s.last = c->object;
                }
                s.relation = s.relation->next;
                if (s.relation && s.relation->table_object && table_passes(s.relation->table_object))
                    s.column = s.relation->columns;
            }
            next_phase();
        } else if (s.phase == P_TABLES || s.phase == P_INDEXES || s.phase == P_PRIVILEGES) {
            if (!s.phase_started) {
                s.relation = first_relation();
                s.phase_started = true;
            }
            while (DictRelation *r = s.relation) {
                s.relation = r->next;
                QueryObject *t = r->table_object;
                if (s.phase == P_TABLES) {
                    if (matches(t))
                        return s.last = t;
                    continue;
                }
                QueryObject *o = s.phase == P_INDEXES ? r->index_object : r->priv_object;
                // Index and privilege objects lie where their table's drop box is.
                if (o && t && test_boxes(t->drop, t->drop, t->drop, t->drop))
                    return s.last = o;
            }
            next_phase();
        } else {  // P_USER
            QueryObject *u = wsdict_dictionary ? wsdict_dictionary->user_object : nullptr;
            next_phase();
            if (matches(u))
                return s.last = u;
        }
    }
    s.active = false;
    return nullptr;
}
