// Join and group objects.
//
// A group is a labelled box like a sort, excluded by an array statistic.
// A join holds the text that joins two tables; the two tables come from
// the column rows picked while its dialog is open, and the join is drawn
// with dashed lines from its box to both tables' name rows.  Its outer box
// covers the lines too, so that undrawing the join clears them.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obcheck.h"
#include "obdict.h"
#include "obmain.h"
#include "obview.h"
#include "wsdict.h"
#include "wsmain.h"
#include "wsmgr.h"

#include "vxutil.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- group -----------------------------------------------------------------------------------

const char *group_prefix() { return obmain_kind_prefix[OB_GROUP]; }

void group_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObGroupData *>(kind_data);
    if (!data || !data->text[0])
        return;
    const ObPoint at{x, y};
    obmain_std_create_object(result, group_prefix(), data, sizeof *data, &at, drop, OB_GROUP);
    auto *copy = static_cast<ObGroupData *>((*result)->kind_data);
    copy->text[sizeof copy->text - 1] = '\0';
    obmain_ob_set_object_bounds(*result, group_prefix(), copy);
}

void group_edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObGroupData *>(kind_data);
    if (!object || !data || !data->text[0])
        return;
    obmain_std_edit_object(object, group_prefix(), data);
    auto *copy = static_cast<ObGroupData *>(object->kind_data);
    copy->text[sizeof copy->text - 1] = '\0';
    obmain_ob_set_object_bounds(object, group_prefix(), copy);
}

void group_validate(void *kind_data, int check, int *result)
{
    *result = 1;
    auto *data = static_cast<ObGroupData *>(kind_data);
    if (!check || !data)
        return;
    char text[sizeof data->text];
    safe_strcpy(text, data->text, sizeof text - 1);
    if (!obcheck_checks().group(text)) {
        *result = 0;
        obcheck_error(OB_BAD_GROUP);
    }
}

bool array_statistic_exists()
{
    for (QueryObject *s = wsdict_dictionary ? wsdict_dictionary->statistics : nullptr; s; s = s->next)
        if (s->kind_data && static_cast<const ObStatisticData *>(s->kind_data)->function == 7)
            return true;
    return false;
}

// One group at most, and none beside an array statistic (the statistic
// refuses the other order).
void group_permit(QueryObject *, int op, int *result)
{
    *result = 0;
    if (op != 0 || !wsdict_dictionary)
        return;
    if (wsdict_dictionary->groups) {
        *result = 2;
        obcheck_error(OB_GROUP_EXISTS);
    } else if (array_statistic_exists()) {
        *result = 2;
        obcheck_error(OB_GROUP_WITH_ARRAY);
    }
}

ObGroupData group_value;

void group_newval(void **value, QueryObject *)
{
    group_value = ObGroupData{};
    group_value.kind = OB_GROUP;
    group_value.sequence = 1;
    *value = &group_value;
}

void group_draw(QueryObject *object, int selected) { obmain_std_draw_object(object, group_prefix(), selected); }

// ---- join ------------------------------------------------------------------------------------

const char *join_prefix() { return obmain_kind_prefix[OB_JOIN]; }

ObJoinData *join_data(QueryObject *o) { return static_cast<ObJoinData *>(o->kind_data); }

// The top centre of a table's name row, where the join's line ends.
ObPoint name_row_top(const QueryObject *table)
{
    ObPoint p{0, 0};
    obview_table_name_row_top(table, &p.x, &p.y);
    return p;
}

// Where a line from the join to the table starts: the join's horizontal
// centre, on its top edge when the name row lies above, else its bottom.
ObPoint line_start(const QueryObject *join, const ObPoint &end)
{
    const ObBox &s = join->select;
    const int x = s.x + s.width / 2;
    return {x, end.y < s.y ? s.y - 2 : s.y + s.height + 2};
}

// The table a picked object stands for: a column's table, a table's own
// name; empty for anything else.
std::string table_name_of(const QueryObject *o)
{
    if (!o || !o->kind_data)
        return "";
    if (o->kind == OB_COLUMN) {
        const auto *c = static_cast<const ObColumnData *>(o->kind_data);
        return std::string(c->table, strnlen(c->table, sizeof c->table));
    }
    if (o->kind == OB_TABLE) {
        const auto *t = static_cast<const ObTableData *>(o->kind_data);
        return std::string(t->name, strnlen(t->name, sizeof t->name));
    }
    return "";
}

QueryObject *table_object_named(const std::string &name)
{
    if (name.empty())
        return nullptr;
    DictRelation *r = obdict_ob_find_table(name.c_str());
    return r ? r->table_object : nullptr;
}

// The outer box from the layout box, widened over the anchors of both
// tables and the lines to their name rows.
void extend_outer_box(QueryObject *join)
{
    ObBox &o = join->outer;
    int x0 = o.x, y0 = o.y, x1 = o.x + o.width, y1 = o.y + o.height;
    auto cover = [&](int x, int y) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x + 1);
        y1 = std::max(y1, y + 1);
    };
    const ObJoinData *d = join_data(join);
    for (const QueryObject *t : {d->first, d->second}) {
        if (!t)
            continue;
        cover(t->anchor_x, t->anchor_y);
        const ObPoint end = name_row_top(t);
        const ObPoint start = line_start(join, end);
        cover(end.x, end.y);
        cover(start.x, start.y);
    }
    o = {x0, y0, x1 - x0, y1 - y0};
}

// Takes the joined tables from the picks of the open dialog (oldest
// first): the last pick's table is the first table, the nearest earlier
// pick of another table gives the second.  Without one, the table that
// was joined before stays as the second.  Without picks (or when the last
// pick's table has no table object) the old tables stay.
void take_tables(QueryObject *join, QueryObject *old_first, QueryObject *old_second)
{
    std::vector<std::string> picked;
    for (int i = 0; QueryObject *r = wsmgr_ws_enquire_reference(i); i++) {
        std::string name = table_name_of(r);
        if (!name.empty())
            picked.push_back(name);
    }
    QueryObject *first = old_first, *second = old_second;
    QueryObject *last = picked.empty() ? nullptr : table_object_named(picked.back());
    if (last) {
        QueryObject *earlier = nullptr;
        for (size_t k = picked.size() - 1; k-- > 0;)
            if (picked[k] != picked.back()) {
                earlier = table_object_named(picked[k]);
                break;
            }
        if (earlier)
            second = earlier;
        else
            // The table joined before serves; when the picks name that
            // same table again, the other one it was joined with.
            second = old_first == last ? old_second : old_first;
        first = last;
        if (second == first)
            second = nullptr;
    }
    ObJoinData *d = join_data(join);
    d->first = first;
    d->second = second;
    extend_outer_box(join);
}

void join_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObJoinData *>(kind_data);
    if (!data || !data->text[0])
        return;
    const ObPoint at{x, y};
    obmain_std_create_object(result, join_prefix(), data, sizeof *data, &at, drop, OB_JOIN);
    ObJoinData *copy = join_data(*result);
    copy->text[sizeof copy->text - 1] = '\0';
    // The tables come from the picks only, never from the dialog's record.
    copy->first = copy->second = nullptr;
    obmain_ob_set_object_bounds(*result, join_prefix(), copy);
    take_tables(*result, nullptr, nullptr);
}

void join_edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObJoinData *>(kind_data);
    if (!object || !data || !data->text[0])
        return;
    ObJoinData *copy = join_data(object);
    QueryObject *old_first = copy->first, *old_second = copy->second;
    obmain_std_edit_object(object, join_prefix(), data);
    copy->text[sizeof copy->text - 1] = '\0';
    copy->first = copy->second = nullptr;
    obmain_ob_set_object_bounds(object, join_prefix(), copy);
    take_tables(object, old_first, old_second);
}

void join_move(QueryObject *object, ObPoint *point)
{
    obmain_std_move_object(object, point);
    object->outer = object->layout;
    extend_outer_box(object);
}

void join_validate(void *kind_data, int check, int *result)
{
    *result = 1;
    auto *data = static_cast<ObJoinData *>(kind_data);
    if (!check || !data)
        return;
    char text[sizeof data->text];
    safe_strcpy(text, data->text, sizeof text - 1);
    if (!obcheck_checks().join(text)) {
        *result = 0;
        obcheck_error(OB_BAD_JOIN);
    }
}

void join_permit(QueryObject *, int op, int *result)
{
    *result = 0;
    if (op == 0 && wsdict_dictionary && wsdict_dictionary->joins) {
        *result = 2;
        obcheck_error(OB_JOIN_EXISTS);
    }
}

ObJoinData join_value;

void join_newval(void **value, QueryObject *)
{
    join_value = ObJoinData{};
    join_value.kind = OB_JOIN;
    *value = &join_value;
}

void join_draw(QueryObject *object, int selected)
{
    if (!obcheck_can_draw() || !object || !object->kind_data)
        return;
    Display *d = obmain_gri.display;
    Window w = obmain_gri.window;
    GC gc = obmain_gri.gc;
    const ObBox &s = object->select;
    XSetForeground(d, gc, obmain_gri.outline);
    XDrawRectangle(d, w, gc, s.x - 1, s.y - 1, static_cast<unsigned>(std::max(0, s.width + 2)),
                   static_cast<unsigned>(std::max(0, s.height + 2)));
    XSetForeground(d, gc, selected ? obmain_gri.foreground : obmain_gri.background);
    XFillRectangle(d, w, gc, s.x, s.y, static_cast<unsigned>(std::max(0, s.width)),
                   static_cast<unsigned>(std::max(0, s.height)));
    XSetForeground(d, gc, selected ? obmain_gri.background : obmain_gri.foreground);
    XSetBackground(d, gc, selected ? obmain_gri.foreground : obmain_gri.background);
    const char *label = obmain_ob_string_value(join_prefix(), object->kind_data);
    XmString xs = XmStringGenerate(const_cast<char *>(label), nullptr, XmCHARSET_TEXT, nullptr);
    if (obmain_gri.label_fonts)
        XmStringDraw(d, w, obmain_gri.label_fonts, xs, gc, static_cast<Position>(s.x), static_cast<Position>(s.y + 2),
                     static_cast<Dimension>(std::max(1, s.width)), XmALIGNMENT_CENTER, XmSTRING_DIRECTION_L_TO_R,
                     nullptr);
    XmStringFree(xs);
    XSetForeground(d, gc, obmain_gri.foreground);
    XSetBackground(d, gc, obmain_gri.background);
    const ObJoinData *data = join_data(object);
    if (!data->first && !data->second)
        return;
    XSetLineAttributes(d, gc, 0, LineOnOffDash, CapButt, JoinMiter);
    for (const QueryObject *t : {data->first, data->second}) {
        if (!t)
            continue;
        const ObPoint end = name_row_top(t);
        const ObPoint start = line_start(object, end);
        XDrawLine(d, w, gc, start.x, start.y, end.x, end.y);
    }
    XSetLineAttributes(d, gc, 2, LineSolid, CapButt, JoinMiter);
}

}  // namespace

void objoin_ws_remove_join_to(const QueryObject *table)
{
    QueryObject *j = wsdict_dictionary && table ? wsdict_dictionary->joins : nullptr;
    for (; j; j = j->next) {
        const ObJoinData *d = join_data(j);
        if (d && (d->first == table || d->second == table))
            break;
    }
    if (!j)
        return;
    const ObBox old = j->outer;
    obmain_object_class[OB_JOIN].undraw(j);
    wsdict_ws_unlink_object(j);
    obmain_object_class[OB_JOIN].destroy(j);
    wsmain_ws_expose_box(old, nullptr);
}

void objoin_initialise_join_object()
{
    obmain_set_class(OB_JOIN, 13, 1, 4, 0, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_JOIN, 13);
    ObClass &c = obmain_object_class[OB_JOIN];
    c.create = join_create;
    c.edit = join_edit;
    c.move = join_move;
    c.validate = join_validate;
    c.permit = join_permit;
    c.newval = join_newval;
    c.draw = join_draw;
    c.undraw = obmain_std_undraw_object;
}

void objoin_initialise_group_object()
{
    obmain_set_class(OB_GROUP, 12, 1, 4, 0, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_GROUP, 12);
    ObClass &c = obmain_object_class[OB_GROUP];
    c.create = group_create;
    c.edit = group_edit;
    c.validate = group_validate;
    c.permit = group_permit;
    c.newval = group_newval;
    c.draw = group_draw;
    c.undraw = obmain_std_undraw_object;
}
