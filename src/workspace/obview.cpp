// Table boxes, column rows and the objects that lie under them.

#include "obview.h"

#include "obdict.h"
#include "obmain.h"
#include "qychk.h"
#include "vxmsg.h"
#include "vxutil.h"
#include "wsdict.h"
#include "wsmsgs.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace {

ObClass &cls(int kind) { return obmain_object_class[kind]; }

ObTableData *table_data(const QueryObject *o)
{
    return o && o->kind == OB_TABLE ? static_cast<ObTableData *>(o->kind_data) : nullptr;
}
ObColumnData *column_data(const QueryObject *o)
{
    return o && o->kind == OB_COLUMN ? static_cast<ObColumnData *>(o->kind_data) : nullptr;
}

DictRelation *relation_of(const QueryObject *table)
{
    const ObTableData *d = table_data(table);
    return d ? obdict_ob_find_table(d->name) : nullptr;
}

// The table named by a table, column, index or privilege object.
const char *table_name_of(const QueryObject *o)
{
    if (!o || !o->kind_data)
        return "";
    switch (o->kind) {
    case OB_TABLE: return static_cast<const ObTableData *>(o->kind_data)->name;
    case OB_COLUMN: return static_cast<const ObColumnData *>(o->kind_data)->table;
    case OB_INDEX: return static_cast<const ObIndexData *>(o->kind_data)->table;
    case OB_PRIVILEGE: return static_cast<const ObPrivilegeData *>(o->kind_data)->table;
    default: return "";
    }
}

// A new object of the kind holding a copy of the kind data.
QueryObject *new_object(int kind, const void *kind_data)
{
    QueryObject *o = nullptr;
    const ObPoint origin{0, 0};
    obmain_std_create_object(&o, "", kind_data, obmain_kind_data_size(kind), &origin, nullptr, kind);
    return o;
}

// The objects that are never drawn: no anchor, empty boxes at (-1, -1).
void hide(QueryObject *o)
{
    o->anchor_x = o->anchor_y = -1;
    o->outer = o->select = o->layout = ObBox{-1, -1, 0, 0};
}

// The index and privilege objects lie where their table's box is.
void place_under(DictRelation *r, const QueryObject *table)
{
    if (!r)
        return;
    for (QueryObject *o : {r->index_object, r->priv_object})
        if (o)
            o->drop = table->drop;
}

bool can_draw() { return obmain_ob_can_draw(); }

void line(int x1, int y1, int x2, int y2)
{
    XDrawLine(obmain_gri.display, obmain_gri.window, obmain_gri.gc, x1, y1, x2, y2);
}

void fill(const ObBox &b, Pixel pixel)
{
    if (b.width <= 0 || b.height <= 0)
        return;
    XSetForeground(obmain_gri.display, obmain_gri.gc, pixel);
    XFillRectangle(obmain_gri.display, obmain_gri.window, obmain_gri.gc, b.x, b.y, static_cast<unsigned>(b.width),
                   static_cast<unsigned>(b.height));
}

// One line of text centred in `width` from (x, y), inverted when selected.
void draw_text(XmFontList fonts, const char *text, int x, int y, int width, int selected)
{
    if (!fonts)
        return;
    Display *d = obmain_gri.display;
    XSetForeground(d, obmain_gri.gc, selected ? obmain_gri.background : obmain_gri.foreground);
    XSetBackground(d, obmain_gri.gc, selected ? obmain_gri.foreground : obmain_gri.background);
    XmString s = XmStringCreateLocalized(const_cast<char *>(text));
    XmStringDraw(d, obmain_gri.window, fonts, s, obmain_gri.gc, static_cast<Position>(x), static_cast<Position>(y),
                 static_cast<Dimension>(std::max(1, width)), XmALIGNMENT_CENTER, XmSTRING_DIRECTION_L_TO_R, nullptr);
    XmStringFree(s);
    XSetForeground(d, obmain_gri.gc, obmain_gri.foreground);
    XSetBackground(d, obmain_gri.gc, obmain_gri.background);
}

// The size of a name shown as one line.
ObPoint name_size(const char *name)
{
    ObPoint size{0, 0};
    obmain_ob_string_size(name, &size);
    return size;
}

}  // namespace

// ---- table boxes ---------------------------------------------------------------------------

void obview_table_name_row_top(const QueryObject *table, int *x, int *y)
{
    *x = table->select.x + table->select.width / 2;
    *y = table->select.y - 2;
}

QueryObject *obview_table_build(const ObTableData *data, int x, int y, int *is_new)
{
    *is_new = 0;
    if (!data || !data->name[0] || !data->new_columns)
        return nullptr;
    QueryObject *t = new_object(OB_TABLE, data);
    auto *td = static_cast<ObTableData *>(t->kind_data);
    td->name[sizeof td->name - 1] = '\0';

    // Under the table above the point, or at the top.
    const ObPoint at{x, y};
    const QueryObject *above = obdict_find_table_object_just_above(x == -1 && y == -1 ? nullptr : &at);
    const ObPoint size = name_size(td->name);
    t->anchor_x = obmain_table_x_gap + 2;
    t->anchor_y = above ? above->outer.y + above->outer.height + obmain_table_y_gap + 2 : obmain_table_y_gap + 2;
    t->select = t->drop = ObBox{t->anchor_x, t->anchor_y, size.x, size.y};
    t->outer = t->layout = ObBox{obmain_table_x_gap, t->anchor_y - 2, size.x + 4, size.y + 2};

    DictRelation *r = obdict_ob_find_table(td->name);
    if (!r) {
        r = obdict_ob_create_table(td);
        *is_new = 1;
    }
    td->relations = wsdict_dictionary ? wsdict_dictionary->relations : nullptr;
    td->items = wsdict_dictionary ? wsdict_dictionary->items : nullptr;

    int count = 0;
    for (const ObColumnData *c = data->new_columns; c; c = c->chain) {
        ObColumnData record = *c;
        safe_strcpy(record.table, td->name, sizeof record.table);
        record.chain = nullptr;
        QueryObject *made = nullptr;
        cls(OB_COLUMN).create(&made, &record, 0, 0, t);
        count++;
    }
    td->new_columns = nullptr;
    td->columns = count;
    if (!*is_new && r) {
        td->rows = r->size;
        if (obmain_ob_options[1])
            obdict_ob_set_indexed_columns(r);
    } else {
        td->rows = 0;
    }

    if (r)
        r->table_object = t;
    if (const QueryObject *last = obdict_find_last_column_object(r)) {
        t->outer.height += last->outer.height;
        t->drop.height += last->outer.height;
        t->outer.width = last->outer.x + last->outer.width - t->outer.x;
        t->drop.width = t->outer.width - 4;
    }

    for (int kind : {OB_INDEX, OB_PRIVILEGE}) {
        void *value = nullptr;
        cls(kind).newval(&value, t);
        QueryObject *made = nullptr;
        cls(kind).create(&made, value, -1, -1, t);
    }
    t->drop.width += obmain_table_x_extra;
    place_under(r, t);
    return t;
}

void obview_table_adjust_box(QueryObject *table, const QueryObject *last)
{
    if (!table || !last)
        return;
    table->outer.width = last->outer.x + last->outer.width - table->outer.x;
    table->drop.width = table->outer.width - 4;
    place_under(relation_of(table), table);
    table->drop.width += obmain_table_x_extra;
}

void obtab_reset_table_object_rows(DictRelation *relation)
{
    if (!relation)
        return;
    if (ObTableData *d = table_data(relation->table_object)) {
        const int rows = qychk_table_rows(relation->name);
        if (rows >= 0)
            d->rows = rows;
    }
}

void obtab_reset_table_object_rows(const char *table) { obtab_reset_table_object_rows(obdict_ob_find_table(table)); }

void obview_table_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *)
{
    *result = nullptr;
    int is_new = 0;
    QueryObject *t = obview_table_build(static_cast<const ObTableData *>(kind_data), x, y, &is_new);
    if (t && is_new) {
        // Only a table the database has gets a box here.
        cls(OB_TABLE).destroy(t);
        return;
    }
    *result = t;
}

void obview_table_destroy(QueryObject *table)
{
    if (!table)
        return;
    DictRelation *r = relation_of(table);
    if (r && r->table_object == table) {
        // The column class's destroy deletes the dictionary column of
        // its row; a column without a row goes directly.
        while (DictColumn *c = r->columns) {
            QueryObject *o = c->object;
            if (o && column_data(o) && strcmp(column_data(o)->name, c->name) == 0) {
                wsdict_ws_unlink_object(o);
                cls(OB_COLUMN).destroy(o);
            } else {
                obdict_ob_delete_column(c);
            }
        }
        for (QueryObject *o : {r->index_object, r->priv_object})
            if (o) {
                wsdict_ws_unlink_object(o);
                cls(o->kind).destroy(o);
            }
        r->index_object = r->priv_object = nullptr;
    }
    // A join to this table goes with it.
    if (QueryObject *j = wsdict_dictionary ? wsdict_dictionary->joins : nullptr) {
        const ObJoinData *jd = static_cast<const ObJoinData *>(j->kind_data);
        if (jd && (jd->first == table || jd->second == table)) {
            const ObBox old = j->outer;
            cls(OB_JOIN).undraw(j);
            wsdict_ws_unlink_object(j);
            cls(OB_JOIN).destroy(j);
            if (can_draw() && old.width > 0 && old.height > 0)
                XClearArea(obmain_gri.display, obmain_gri.window, old.x, old.y, static_cast<unsigned>(old.width),
                           static_cast<unsigned>(old.height), True);
        }
    }
    if (wsdict_ws_is_selected(table))
        wsdict_ws_unselect_object(table);
    obmain_std_destroy_object(table);
    if (r && r->table_object == table) {
        r->table_object = nullptr;
        obdict_ob_delete_table(r);
    }
}

void obview_table_move(QueryObject *table, ObPoint *point)
{
    obmain_std_move_object(table, point);
    place_under(relation_of(table), table);
}

void obview_table_select(QueryObject *table, int on)
{
    table->selected = on ? 1 : 0;
    DictRelation *r = relation_of(table);
    for (DictColumn *c = r ? r->columns : nullptr; c; c = c->next) {
        QueryObject *o = c->object;
        if (!o || (o->selected != 0) == (on != 0))
            continue;
        if (on) {
            if (!wsdict_ws_check_nominations(o))
                continue;
            cls(OB_COLUMN).select(o, 1);
            wsdict_ws_select_object(o);
        } else {
            cls(OB_COLUMN).select(o, 0);
            wsdict_ws_unselect_object(o);
        }
    }
}

void obview_table_newval(void **value, QueryObject *object)
{
    static ObTableData v;
    v = ObTableData{};
    v.kind = OB_TABLE;
    if (const ObTableData *d = table_data(object)) {
        safe_strcpy(v.name, d->name, sizeof v.name);
        v.rows = d->rows;
        v.columns = d->columns;
    }
    v.size = 100;
    v.extendable = 1;
    v.relations = wsdict_dictionary ? wsdict_dictionary->relations : nullptr;
    v.items = wsdict_dictionary ? wsdict_dictionary->items : nullptr;
    *value = &v;
}

void obview_table_draw(QueryObject *table, int selected)
{
    if (!can_draw() || !table)
        return;
    const ObBox &s = table->select;
    XSetForeground(obmain_gri.display, obmain_gri.gc, obmain_gri.outline);
    // Around the name row, open at the bottom where the column rows join.
    line(s.x - 1, s.y + s.height, s.x - 1, s.y - 2);
    line(s.x - 2, s.y - 1, s.x + s.width + 2, s.y - 1);
    line(s.x + s.width + 1, s.y - 2, s.x + s.width + 1, s.y + s.height);
    fill(s, selected ? obmain_gri.foreground : obmain_gri.background);
    const ObTableData *d = table_data(table);
    draw_text(obmain_gri.label_fonts, d ? d->name : "", s.x, s.y + 2, s.width, selected);
    if (obmain_ob_options[0] && d && obmain_gri.info_fonts) {
        const std::string info = vx_msgf(obmain_ob_nlsfd, WS_TABLE_INFO, d->columns, d->rows, d->size);
        XmString xs = XmStringCreateLocalized(const_cast<char *>(info.c_str()));
        const int w = XmStringWidth(obmain_gri.info_fonts, xs);
        const int h = XmStringHeight(obmain_gri.info_fonts, xs);
        XmStringFree(xs);
        draw_text(obmain_gri.info_fonts, info.c_str(), s.x + s.width + 7, s.y + s.height - h, w, 0);
    }
}

// ---- column rows ------------------------------------------------------------------------------

int obview_column_cell_width(const char *name, int length)
{
    const int m = std::clamp(length, 8, 20) * obmain_ob_widest_char();
    return std::max(m, name_size(name ? name : "").x);
}

QueryObject *obview_column_layout(QueryObject *table, const ObColumnData *data)
{
    if (!table || !data)
        return nullptr;
    QueryObject *o = new_object(OB_COLUMN, data);
    auto *cd = static_cast<ObColumnData *>(o->kind_data);
    cd->name[sizeof cd->name - 1] = '\0';
    cd->table[sizeof cd->table - 1] = '\0';
    DictRelation *r = obdict_ob_find_table(cd->table);
    const QueryObject *last = obdict_find_last_column_object(r);

    const ObPoint size = name_size(cd->name);
    const int h = size.y;
    const int cell = obview_column_cell_width(cd->name, cd->length);
    if (!last) {
        const int v = h == 10 ? h : h - 4;
        o->anchor_x = table->anchor_x;
        o->anchor_y = table->outer.y + table->outer.height + 2;
        o->outer = ObBox{o->anchor_x - 2, o->anchor_y - 2, cell + 4, h + 4 + (3 * v) / 2};
        o->flags |= OB_FLAG_FIRST_COLUMN;
    } else {
        o->anchor_x = last->outer.x + last->outer.width;
        o->anchor_y = last->anchor_y;
        o->outer = ObBox{o->anchor_x, o->anchor_y - 2, cell + 2, last->outer.height};
    }
    o->layout = o->outer;
    o->select = ObBox{o->anchor_x, o->anchor_y, cell, h};
    o->drop = ObBox{o->anchor_x, o->anchor_y, cell, o->outer.height - 2};

    DictColumn *c = obdict_ob_find_column(cd->table, cd->name);
    if (!c)
        c = obdict_ob_create_column(cd);
    if (c)
        c->object = o;
    cd->columns = r ? r->columns : nullptr;
    cd->items = wsdict_dictionary ? wsdict_dictionary->items : nullptr;
    cd->pending = nullptr;
    cd->indexed = 0;
    cd->spare_pointer = nullptr;
    cd->chain = nullptr;
    return o;
}

void obview_column_shift_left(const QueryObject *column, int distance)
{
    const ObColumnData *cd = column_data(column);
    DictRelation *r = cd ? obdict_ob_find_table(cd->table) : nullptr;
    bool after = false;
    for (DictColumn *c = r ? r->columns : nullptr; c; c = c->next) {
        QueryObject *o = c->object;
        if (o == column) {
            after = true;
            continue;
        }
        if (!after || !o)
            continue;
        o->anchor_x -= distance;
        o->select.x -= distance;
        o->drop.x -= distance;
        o->layout.x -= distance;
        o->outer.x -= (o->flags & OB_FLAG_FIRST_COLUMN) ? distance + 2 : distance;
    }
}

void obview_column_create(QueryObject **result, void *kind_data, int, int, QueryObject *drop)
{
    *result = nullptr;
    const auto *data = static_cast<const ObColumnData *>(kind_data);
    if (!data || !data->name[0] || !drop || drop->kind != OB_TABLE)
        return;
    const ObTableData *td = table_data(drop);
    DictRelation *r = obdict_ob_find_table(td ? td->name : nullptr);
    if (r && r->table_object)
        return;  // adding a column to a shown table
    *result = obview_column_layout(drop, data);
}

void obview_column_destroy(QueryObject *column)
{
    if (!column)
        return;
    const ObColumnData *cd = column_data(column);
    DictColumn *c = cd ? obdict_ob_find_column(cd->table, cd->name) : nullptr;
    obmain_std_destroy_object(column);
    if (c && c->object == column) {
        c->object = nullptr;
        obdict_ob_delete_column(c);
    }
}

void obview_column_move(QueryObject *column, ObPoint *point)
{
    const int ax = (column->flags & OB_FLAG_FIRST_COLUMN) ? point->x + 2 : point->x;
    const int dx = ax - column->anchor_x;
    const int dy = point->y + 2 - column->anchor_y;
    column->anchor_x += dx;
    column->anchor_y += dy;
    for (ObBox *b : {&column->outer, &column->select, &column->drop, &column->layout}) {
        b->x += dx;
        b->y += dy;
    }
}

void obview_column_newval(void **value, QueryObject *object)
{
    static ObColumnData v;
    v = ObColumnData{};
    v.kind = OB_COLUMN;
    v.length = 9;
    v.fraction = -1;
    if (object && object->kind == OB_TABLE) {
        safe_strcpy(v.table, table_name_of(object), sizeof v.table);
    } else if (const ObColumnData *cd = column_data(object)) {
        safe_strcpy(v.table, cd->table, sizeof v.table);
        v.indexed = cd->indexed;
        v.spare_pointer = cd->spare_pointer;
    }
    if (DictRelation *r = v.table[0] ? obdict_ob_find_table(v.table) : nullptr)
        v.columns = r->columns;
    v.items = wsdict_dictionary ? wsdict_dictionary->items : nullptr;
    *value = &v;
}

void obview_column_draw(QueryObject *column, int selected)
{
    if (!can_draw() || !column)
        return;
    const ObBox &o = column->outer, &s = column->select;
    fill(column->drop, obmain_gri.background);
    XSetForeground(obmain_gri.display, obmain_gri.gc, obmain_gri.outline);
    if (column->flags & OB_FLAG_FIRST_COLUMN)
        line(o.x + 1, o.y + o.height, o.x + 1, o.y);
    line(o.x, o.y + 1, o.x + o.width, o.y + 1);
    line(o.x + o.width - 1, o.y + 1, o.x + o.width - 1, o.y + o.height);
    line(s.x, s.y + s.height + 1, s.x + s.width, s.y + s.height + 1);
    if (selected)
        fill(s, obmain_gri.foreground);
    const ObColumnData *cd = column_data(column);
    if (obmain_ob_options[1] && cd && cd->indexed > 0 && s.width > 3 && s.height > 3) {
        XSetForeground(obmain_gri.display, obmain_gri.gc, selected ? obmain_gri.background : obmain_gri.outline);
        XDrawRectangle(obmain_gri.display, obmain_gri.window, obmain_gri.gc, s.x + 1, s.y + 1,
                       static_cast<unsigned>(s.width - 3), static_cast<unsigned>(s.height - 3));
    }
    draw_text(obmain_gri.label_fonts, cd ? cd->name : "", s.x, s.y + 2, s.width, selected);
}

// ---- index, privilege and user objects ----------------------------------------------------------

void obview_index_create(QueryObject **result, void *kind_data, int, int, QueryObject *drop)
{
    *result = nullptr;
    DictRelation *r = relation_of(drop);
    if (!kind_data || !r)
        return;
    QueryObject *o = new_object(OB_INDEX, kind_data);
    hide(o);
    o->drop = drop->drop;
    auto *d = static_cast<ObIndexData *>(o->kind_data);
    safe_strcpy(d->table, r->name, sizeof d->table);
    d->keys = nullptr;  // the dialog's text, not the object's
    d->indexes = r->indexes;
    r->index_object = o;
    *result = o;
}

void obview_index_destroy(QueryObject *index)
{
    if (!index)
        return;
    DictRelation *r = obdict_ob_find_table(table_name_of(index));
    obmain_std_destroy_object(index);
    if (r && r->index_object == index) {
        obdict_ob_delete_index_for(r);
        r->index_object = nullptr;
    }
}

void obview_index_newval(void **value, QueryObject *object)
{
    static ObIndexData v;
    v = ObIndexData{};
    v.kind = OB_INDEX;
    if (object && (object->kind == OB_TABLE || object->kind == OB_INDEX))
        safe_strcpy(v.table, table_name_of(object), sizeof v.table);
    if (DictRelation *r = v.table[0] ? obdict_ob_find_table(v.table) : nullptr)
        v.indexes = r->indexes;
    *value = &v;
}

void obview_priv_create(QueryObject **result, void *kind_data, int, int, QueryObject *drop)
{
    *result = nullptr;
    DictRelation *r = relation_of(drop);
    if (!kind_data || !r)
        return;
    QueryObject *o = new_object(OB_PRIVILEGE, kind_data);
    hide(o);
    o->drop = drop->drop;
    auto *d = static_cast<ObPrivilegeData *>(o->kind_data);
    safe_strcpy(d->table, r->name, sizeof d->table);
    r->priv_object = o;
    // A table nobody was granted anything on gets the default entries
    // (in the dictionary only); the result table and system tables none.
    const char *result_table = wsdict_dictionary ? wsdict_dictionary->result : "";
    if (!r->privs && r->name[0] != '%' && !(result_table[0] && strcmp(r->name, result_table) == 0))
        obdict_ob_create_default_privs(r);
    d->privs = r->privs;
    *result = o;
}

void obview_priv_destroy(QueryObject *priv)
{
    if (!priv)
        return;
    DictRelation *r = obdict_ob_find_table(table_name_of(priv));
    obmain_std_destroy_object(priv);
    if (r && r->priv_object == priv) {
        obdict_ob_delete_priv_for(nullptr, r);
        r->priv_object = nullptr;
    }
}

void obview_priv_newval(void **value, QueryObject *object)
{
    static ObPrivilegeData v;
    v = ObPrivilegeData{};
    v.kind = OB_PRIVILEGE;
    v.level = PRIV_READ;
    v.users = wsdict_dictionary ? wsdict_dictionary->users : nullptr;
    safe_strcpy(v.current, wsdict_dictionary ? wsdict_dictionary->user : "", sizeof v.current);
    if (object && (object->kind == OB_TABLE || object->kind == OB_PRIVILEGE))
        safe_strcpy(v.table, table_name_of(object), sizeof v.table);
    if (DictRelation *r = v.table[0] ? obdict_ob_find_table(v.table) : nullptr)
        v.privs = r->privs;
    *value = &v;
}

void obview_user_create(QueryObject **result, void *kind_data, int, int, QueryObject *)
{
    *result = nullptr;
    if (!kind_data)
        return;
    QueryObject *o = new_object(OB_USER, kind_data);
    hide(o);
    // Under the whole canvas: tools dropped on empty canvas land here.
    o->drop = ObBox{0, 0, INT_MAX, INT_MAX};
    if (wsdict_dictionary && !wsdict_dictionary->user_object)
        wsdict_dictionary->user_object = o;
    *result = o;
}

void obview_user_destroy(QueryObject *user)
{
    if (!user)
        return;
    const bool current = wsdict_dictionary && wsdict_dictionary->user_object == user;
    obmain_std_destroy_object(user);
    if (current) {
        obdict_ob_delete_all_users();
        wsdict_dictionary->user_object = nullptr;
    }
}

void obview_user_newval(void **value, QueryObject *)
{
    static ObUserData v;
    v = ObUserData{};
    v.kind = OB_USER;
    v.users = wsdict_dictionary ? wsdict_dictionary->users : nullptr;
    safe_strcpy(v.current, wsdict_dictionary ? wsdict_dictionary->user : "", sizeof v.current);
    *value = &v;
}

// ---- installing ------------------------------------------------------------------------------------

void obview_install_table()
{
    ObClass &c = cls(OB_TABLE);
    c.create = obview_table_create;
    c.destroy = obview_table_destroy;
    c.move = obview_table_move;
    c.select = obview_table_select;
    c.newval = obview_table_newval;
    c.draw = obview_table_draw;
}

void obview_install_column()
{
    ObClass &c = cls(OB_COLUMN);
    c.create = obview_column_create;
    c.destroy = obview_column_destroy;
    c.move = obview_column_move;
    c.newval = obview_column_newval;
    c.draw = obview_column_draw;
}

void obview_install_index()
{
    ObClass &c = cls(OB_INDEX);
    c.create = obview_index_create;
    c.destroy = obview_index_destroy;
    c.newval = obview_index_newval;
}

void obview_install_privilege()
{
    ObClass &c = cls(OB_PRIVILEGE);
    c.create = obview_priv_create;
    c.destroy = obview_priv_destroy;
    c.newval = obview_priv_newval;
}

void obview_install_user()
{
    ObClass &c = cls(OB_USER);
    c.create = obview_user_create;
    c.destroy = obview_user_destroy;
    c.newval = obview_user_newval;
}
