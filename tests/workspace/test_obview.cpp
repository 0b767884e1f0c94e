// Table boxes, column rows and the index, privilege and user objects under
// them, headless: the dictionary's tables laid out with fake label metrics
// (5 pixels a character, the widest 7, lines 10 high).

#include <gtest/gtest.h>  // before the X headers, which define None

#include "obdict.h"
#include "obmain.h"
#include "obview.h"
#include "wsdict.h"
#include "wsobjmgr.h"
#include "wssrch.h"

#include "vxutil.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

int fake_height() { return 10; }
int fake_width(const char *, int length) { return 5 * length; }
int fake_widest() { return 7; }
const ObMetrics fake_metrics{fake_height, fake_width, fake_widest};

struct Col {
    const char *name;
    int length;
    int key;
};

class View : public ::testing::Test {
protected:
    void SetUp() override
    {
        wsdict_ws_init_dictionary();
        safe_strcpy(wsdict_dictionary->user, "ME", 30);
        obmain_initialise_classes();
        obmain_set_metrics(&fake_metrics);
        obmain_table_x_gap = 10;
        obmain_table_y_gap = 60;
        obmain_table_x_extra = 100;
        for (int &o : obmain_ob_options)
            o = 0;
    }
    void TearDown() override
    {
        wssrch_ws_stop_search();
        wsdict_ws_clear_dictionary(0);
        obmain_set_metrics(nullptr);
    }
    // A relation of the dictionary with its columns (and their items).
    DictRelation *relation(const char *name, std::vector<Col> cols, int rows = 0)
    {
        ObTableData t{};
        t.kind = OB_TABLE;
        safe_strcpy(t.name, name, sizeof t.name);
        t.size = 500;
        t.extendable = 1;
        DictRelation *r = obdict_ob_create_table(&t);
        r->size = rows;
        for (const Col &c : cols) {
            ObColumnData d{};
            d.kind = OB_COLUMN;
            safe_strcpy(d.name, c.name, sizeof d.name);
            safe_strcpy(d.table, name, sizeof d.table);
            d.length = c.length;
            d.key = c.key;
            obdict_ob_create_column(&d);
        }
        return r;
    }
    QueryObject *shown(DictRelation *r)
    {
        wsobj_ws_create_table_objects(r, nullptr);
        return r->table_object;
    }
    static int selection_size()
    {
        int n = 0;
        for (ObSelection *s = wsdict_dictionary->selected; s; s = s->next)
            n++;
        return n;
    }
    static std::vector<QueryObject *> rows_of(const DictRelation *r)
    {
        std::vector<QueryObject *> out;
        for (DictColumn *c = r->columns; c; c = c->next)
            out.push_back(c->object);
        return out;
    }
};

void expect_box(const ObBox &b, ObBox want, const char *what)
{
    EXPECT_EQ(b.x, want.x) << what;
    EXPECT_EQ(b.y, want.y) << what;
    EXPECT_EQ(b.width, want.width) << what;
    EXPECT_EQ(b.height, want.height) << what;
}

// ---- the box of a table ------------------------------------------------------------------------

TEST_F(View, ATableBoxIsANameRowOverItsColumnRows)
{
    // Cells: lengths below 8 and above 20 are clamped; a wide name wins.
    DictRelation *r = relation("DEPT", {{"NO", 5, 1}, {"NAME", 8, 0}, {"CITY", 20, 0}, {"NOTE", 30, 0},
                                        {"ALONGERNAME1", 2, 0}}, 42);
    QueryObject *t = shown(r);
    ASSERT_NE(t, nullptr);
    // The name "DEPT": 4 * 5 + 6 = 26 wide, 10 + 4 = 14 high.
    EXPECT_EQ(t->anchor_x, 12);
    EXPECT_EQ(t->anchor_y, 62);
    expect_box(t->select, {12, 62, 26, 14}, "name row");
    expect_box(t->layout, {10, 60, 30, 16}, "table layout");
    const auto *td = static_cast<const ObTableData *>(t->kind_data);
    EXPECT_EQ(td->columns, 5);
    EXPECT_EQ(td->rows, 42);
    EXPECT_EQ(td->new_columns, nullptr);

    std::vector<QueryObject *> rows = rows_of(r);
    ASSERT_EQ(rows.size(), 5u);
    const int widths[] = {56, 56, 140, 140, 12 * 5 + 6};
    // Text height 10 (from the 14-high name): rows 14 + 4 + 15 = 33 high.
    int x = 12;
    for (size_t i = 0; i < rows.size(); i++) {
        QueryObject *c = rows[i];
        const bool first = i == 0;
        EXPECT_EQ(c->anchor_x, x) << i;
        EXPECT_EQ(c->anchor_y, 60 + 16 + 2) << i;
        EXPECT_EQ(c->select.width, widths[i]) << i;
        EXPECT_EQ(c->select.height, 14) << i;
        EXPECT_EQ(c->outer.width, widths[i] + (first ? 4 : 2)) << i;
        EXPECT_EQ(c->outer.height, 14 + 4 + 15) << i;
        EXPECT_EQ(c->outer.x, first ? x - 2 : x) << i;
        EXPECT_EQ(c->drop.height, c->outer.height - 2) << i;
        EXPECT_EQ((c->flags & OB_FLAG_FIRST_COLUMN) != 0, first) << i;
        EXPECT_EQ(static_cast<ObColumnData *>(c->kind_data)->columns, r->columns) << i;
        x = c->outer.x + c->outer.width;
    }
    // The table's outer box takes in the rows; its drop box reaches
    // further right by the extra width.
    EXPECT_EQ(t->outer.height, 16 + 33);
    EXPECT_EQ(t->outer.width, x - 10);
    EXPECT_EQ(t->drop.width, x - 10 - 4 + 100);
    EXPECT_EQ(t->layout.height, 16);

    int nx = 0, ny = 0;
    obview_table_name_row_top(t, &nx, &ny);
    EXPECT_EQ(nx, 12 + 13);
    EXPECT_EQ(ny, 60);
}

TEST_F(View, TablesStackInOrderOneGapApart)
{
    QueryObject *a = shown(relation("A", {{"X", 8, 1}}));
    QueryObject *b = shown(relation("B", {{"Y", 8, 1}}));
    EXPECT_EQ(b->anchor_y, a->outer.y + a->outer.height + 60 + 2);
    // A box at a given position goes under the table just above it.
    DictRelation *c = relation("%C", {{"Z", 8, 1}});
    ObPoint running{a->anchor_x, a->anchor_y + a->outer.height};
    wsobj_ws_create_table_objects(c, &running);
    EXPECT_EQ(c->table_object->anchor_y, a->outer.y + a->outer.height + 60 + 2);
}

TEST_F(View, WithoutColumnsOrNameThereIsNoBox)
{
    DictRelation *r = relation("EMPTY", {});
    EXPECT_EQ(shown(r), nullptr);
    int is_new = 1;
    ObTableData t{};
    t.kind = OB_TABLE;
    EXPECT_EQ(obview_table_build(&t, -1, -1, &is_new), nullptr);
    EXPECT_EQ(is_new, 0);
    // A table the dictionary does not have gets no box from this create,
    // and leaves nothing behind.
    ObColumnData col{};
    col.kind = OB_COLUMN;
    safe_strcpy(col.name, "A", sizeof col.name);
    t.new_columns = &col;
    safe_strcpy(t.name, "NEWTAB", sizeof t.name);
    QueryObject *made = reinterpret_cast<QueryObject *>(1);
    obview_table_create(&made, &t, -1, -1, nullptr);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(obdict_ob_find_table("NEWTAB"), nullptr);
}

// ---- the objects under the box ----------------------------------------------------------------------

TEST_F(View, IndexAndPrivilegeObjectsLieUnderTheTableAndTheUserUnderAll)
{
    DictRelation *r = relation("DEPT", {{"NO", 8, 1}});
    QueryObject *t = shown(r);
    for (QueryObject *o : {r->index_object, r->priv_object}) {
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->anchor_x, -1);
        expect_box(o->outer, {-1, -1, 0, 0}, "hidden");
        expect_box(o->drop, t->drop, "under the table");
    }
    EXPECT_STREQ(static_cast<ObIndexData *>(r->index_object->kind_data)->table, "DEPT");
    // No privileges in the database: the two default entries, the
    // current user owning the table.
    ASSERT_NE(r->privs, nullptr);
    EXPECT_STREQ(r->privs->user, "%DEFAULT");
    ASSERT_NE(r->privs->next, nullptr);
    EXPECT_STREQ(r->privs->next->user, "ME");
    EXPECT_EQ(r->privs->next->level, PRIV_OWNERSHIP);
    EXPECT_EQ(static_cast<ObPrivilegeData *>(r->priv_object->kind_data)->privs, r->privs);

    wsobj_ws_create_database_objects();
    QueryObject *u = wsdict_dictionary->user_object;
    ASSERT_NE(u, nullptr);
    expect_box(u->drop, {0, 0, INT_MAX, INT_MAX}, "user");
    // The search finds the index object on the table box and the user
    // object anywhere, last.
    const ObPoint on_box{t->drop.x + 1, t->drop.y + t->drop.height - 10};
    std::vector<int> kinds;
    wssrch_ws_start_search(WS_SEARCH_DROP, &on_box, nullptr);
    while (QueryObject *o = wssrch_ws_search())
        kinds.push_back(o->kind);
    wssrch_ws_stop_search();
    EXPECT_EQ(kinds, (std::vector<int>{OB_COLUMN, OB_TABLE, OB_INDEX, OB_PRIVILEGE, OB_USER}));
    // Moving the table takes them along.
    ObPoint to{40, 300};
    obmain_object_class[OB_TABLE].move(t, &to);
    expect_box(r->index_object->drop, t->drop, "moved");
    expect_box(r->priv_object->drop, t->drop, "moved");
}

TEST_F(View, NewvalsTakeTheirDefaultsFromTheObject)
{
    DictRelation *r = relation("DEPT", {{"NO", 8, 1}}, 7);
    QueryObject *t = shown(r);
    void *v = nullptr;
    obmain_object_class[OB_TABLE].newval(&v, t);
    auto *tv = static_cast<ObTableData *>(v);
    EXPECT_STREQ(tv->name, "DEPT");
    EXPECT_EQ(tv->rows, 7);
    EXPECT_EQ(tv->columns, 1);
    EXPECT_EQ(tv->size, 100);
    EXPECT_EQ(tv->extendable, 1);
    obmain_object_class[OB_TABLE].newval(&v, nullptr);
    EXPECT_STREQ(static_cast<ObTableData *>(v)->name, "");

    obmain_object_class[OB_COLUMN].newval(&v, t);
    auto *cv = static_cast<ObColumnData *>(v);
    EXPECT_STREQ(cv->table, "DEPT");
    EXPECT_EQ(cv->length, 9);
    EXPECT_EQ(cv->fraction, -1);
    EXPECT_EQ(cv->columns, r->columns);
    obmain_object_class[OB_COLUMN].newval(&v, nullptr);
    EXPECT_EQ(static_cast<ObColumnData *>(v)->columns, nullptr);

    for (QueryObject *from : {t, r->index_object}) {
        obmain_object_class[OB_INDEX].newval(&v, from);
        EXPECT_STREQ(static_cast<ObIndexData *>(v)->table, "DEPT");
    }
    obmain_object_class[OB_PRIVILEGE].newval(&v, r->priv_object);
    auto *pv = static_cast<ObPrivilegeData *>(v);
    EXPECT_STREQ(pv->table, "DEPT");
    EXPECT_EQ(pv->level, PRIV_READ);
    EXPECT_STREQ(pv->current, "ME");
    EXPECT_EQ(pv->privs, r->privs);
    obmain_object_class[OB_USER].newval(&v, nullptr);
    EXPECT_STREQ(static_cast<ObUserData *>(v)->current, "ME");
}

// ---- selection, moves, shifts ------------------------------------------------------------------------

TEST_F(View, SelectingATableSelectsItsColumnsWithinTheNomination)
{
    DictRelation *a = relation("A", {{"X", 8, 1}, {"Y", 8, 0}});
    DictRelation *b = relation("B", {{"Z", 8, 1}});
    DictRelation *c = relation("C", {{"W", 8, 1}});
    QueryObject *ta = shown(a), *tb = shown(b), *tc = shown(c);
    ObClass &tab = obmain_object_class[OB_TABLE];
    // A column already selected stays selected once.
    QueryObject *x = a->columns->object;
    ASSERT_TRUE(wsdict_ws_check_nominations(x));
    obmain_object_class[OB_COLUMN].select(x, 1);
    wsdict_ws_select_object(x);
    tab.select(ta, 1);
    EXPECT_EQ(ta->selected, 1);
    for (QueryObject *o : rows_of(a))
        EXPECT_EQ(o->selected, 1);
    EXPECT_EQ(selection_size(), 2);
    tab.select(tb, 1);
    // A third table's columns are refused by the nomination.
    tab.select(tc, 1);
    EXPECT_EQ(c->columns->object->selected, 0);
    tab.select(ta, 0);
    for (QueryObject *o : rows_of(a))
        EXPECT_EQ(o->selected, 0);
    EXPECT_EQ(selection_size(), 1);
}

TEST_F(View, ColumnRowsMoveShiftAndTheBoxFollows)
{
    DictRelation *r = relation("T", {{"A", 8, 1}, {"B", 8, 0}, {"C", 8, 0}});
    QueryObject *t = shown(r);
    std::vector<QueryObject *> rows = rows_of(r);
    // The first row's anchor sits 2 inside the point, later rows' at it.
    DictRelation *m = relation("M", {{"A", 8, 1}, {"B", 8, 0}});
    shown(m);
    std::vector<QueryObject *> moved = rows_of(m);
    ObClass &col = obmain_object_class[OB_COLUMN];
    ObPoint p{100, 200};
    col.move(moved[0], &p);
    EXPECT_EQ(moved[0]->anchor_x, 102);
    EXPECT_EQ(moved[0]->outer.x, 100);
    EXPECT_EQ(moved[0]->anchor_y, 202);
    col.move(moved[1], &p);
    EXPECT_EQ(moved[1]->anchor_x, 100);
    EXPECT_EQ(moved[1]->outer.x, 100);
    EXPECT_EQ(moved[1]->anchor_y, 202);

    // After the second row: the third moves left and the box narrows.
    const ObBox third = rows[2]->outer;
    obview_column_shift_left(rows[1], 20);
    EXPECT_EQ(rows[2]->outer.x, third.x - 20);
    EXPECT_EQ(rows[2]->select.x, third.x - 20);
    obview_table_adjust_box(t, rows[2]);
    EXPECT_EQ(t->outer.width, rows[2]->outer.x + rows[2]->outer.width - t->outer.x);
    EXPECT_EQ(t->drop.width, t->outer.width - 4 + 100);
    expect_box(r->index_object->drop, ObBox{t->drop.x, t->drop.y, t->outer.width - 4, t->drop.height}, "index");
    // A row flagged first moves 2 further (its outer box has the left edge).
    rows[2]->flags |= OB_FLAG_FIRST_COLUMN;
    const ObBox before = rows[2]->outer;
    obview_column_shift_left(rows[1], 3);
    EXPECT_EQ(rows[2]->outer.x, before.x - 5);
}

// ---- leaving the canvas ------------------------------------------------------------------------------

TEST_F(View, DestroyingATableTakesItsObjectsAndDictionaryEntries)
{
    DictRelation *a = relation("A", {{"X", 8, 1}, {"Y", 8, 0}});
    DictRelation *b = relation("B", {{"Z", 8, 1}});
    QueryObject *ta = shown(a), *tb = shown(b);
    // A join between the two tables goes with either.
    QueryObject *j = nullptr;
    ObJoinData jd{};
    jd.kind = OB_JOIN;
    safe_strcpy(jd.text, "A.X = B.Z", sizeof jd.text);
    obmain_std_create(&j, &jd, 300, 300, nullptr);
    static_cast<ObJoinData *>(j->kind_data)->first = tb;
    static_cast<ObJoinData *>(j->kind_data)->second = ta;
    wsdict_ws_link_object(j);
    ASSERT_TRUE(wsdict_ws_check_nominations(a->columns->object));
    wsdict_ws_select_object(a->columns->object);
    testing::internal::CaptureStderr();
    obmain_object_class[OB_TABLE].destroy(ta);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(obdict_ob_find_table("A"), nullptr);
    EXPECT_EQ(wsdict_find_item("X"), nullptr);
    EXPECT_EQ(wsdict_dictionary->joins, nullptr);
    EXPECT_EQ(wsdict_dictionary->selected, nullptr);
    EXPECT_EQ(b->table_object, tb);
}

TEST_F(View, HidingSystemTablesKeepsThemInTheDictionary)
{
    obmain_ob_options[2] = 1;
    DictRelation *s = relation("%RELATNS", {{"%RNAME", 8, 1}});
    DictRelation *d = relation("DEPT", {{"NO", 8, 1}});
    wsobj_ws_create_system_table_objects();
    ASSERT_NE(s->table_object, nullptr);
    ASSERT_NE(s->priv_object, nullptr);
    shown(d);
    const int y = d->table_object->outer.y;
    const int h = s->table_object->outer.height;
    wsobj_ws_destroy_system_table_objects();
    EXPECT_EQ(s->table_object, nullptr);
    EXPECT_EQ(s->index_object, nullptr);
    EXPECT_EQ(d->table_object->outer.y, y - h - 60);
    // Still there, with its columns, to be shown again.
    EXPECT_EQ(obdict_ob_find_table("%RELATNS"), s);
    ASSERT_NE(s->columns, nullptr);
    EXPECT_EQ(s->columns->object, nullptr);
    wsobj_ws_create_system_table_objects();
    EXPECT_NE(s->table_object, nullptr);
}

}  // namespace
