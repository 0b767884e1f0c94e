// Tables, columns, indexes, users and privileges as query objects,
// headless: who may create and change what, the checks that need no
// interpreter, the change mask of an alter, the layout of column rows and
// the columns collected while the column dialog is open.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "obbox.h"
#include "obdict.h"
#include "obmain.h"
#include "obtab.h"
#include "wsdict.h"

#include "vxutil.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

int fake_height() { return 10; }
int fake_width(const char *, int length) { return 5 * length; }
const ObMetrics fake_metrics{fake_height, fake_width};

// A box as the tests see it: type, set and number.
struct Box {
    int type, set, number;
    bool operator==(const Box &) const = default;
};
std::ostream &operator<<(std::ostream &os, const Box &b)
{
    return os << "{" << b.type << "," << b.set << "," << b.number << "}";
}
std::vector<Box> boxes;
int watch(int type, int set, int number, const std::string &)
{
    boxes.push_back({type, set, number});
    return 1;
}

constexpr int E = OB_BOX_ERROR, W = OB_BOX_WARNING;

class Tables : public ::testing::Test {
protected:
    void SetUp() override
    {
        wsdict_ws_init_dictionary();
        safe_strcpy(wsdict_dictionary->user, "ME", 30);
        obmain_initialise_classes();
        obmain_set_metrics(&fake_metrics);
        obbox_set_watcher(watch);
        boxes.clear();
        obmain_table_x_gap = 10;
        obmain_table_y_gap = 60;
        obmain_table_x_extra = 100;
        obmain_ob_options[1] = 0;
        wsdict_db_exclusive = 0;
    }
    void TearDown() override
    {
        obbox_set_watcher(nullptr);
        wsdict_ws_clear_dictionary(0);
        obmain_set_metrics(nullptr);
    }
    ObClass &cls(int kind) { return obmain_object_class[kind]; }
    void me(int access)
    {
        ObUserData u{};
        u.kind = OB_USER;
        safe_strcpy(u.name, "ME", sizeof u.name);
        u.level = access;
        obdict_ob_create_user(&u);
    }
    // A shown table of the database with its privilege for ME (-1 none)
    // and its column rows, built as the workspace builds the view.
    QueryObject *table(const char *name, int my_priv, std::vector<ObColumnData> columns)
    {
        ObTableData t{};
        t.kind = OB_TABLE;
        safe_strcpy(t.name, name, sizeof t.name);
        t.size = 100;
        DictRelation *r = obdict_ob_create_table(&t);
        ObPrivilegeData p{};
        p.kind = OB_PRIVILEGE;
        safe_strcpy(p.table, name, sizeof p.table);
        safe_strcpy(p.user, my_priv >= 0 ? "ME" : "OTHER", sizeof p.user);
        p.level = my_priv >= 0 ? my_priv : PRIV_OWNERSHIP;
        obdict_ob_create_priv(&p);
        for (size_t i = 0; i + 1 < columns.size(); i++)
            columns[i].chain = &columns[i + 1];
        t.new_columns = columns.data();
        QueryObject *made = nullptr;
        cls(OB_TABLE).create(&made, &t, -1, -1, nullptr);
        EXPECT_NE(made, nullptr);
        EXPECT_EQ(r->table_object, made);
        return made;
    }
    static ObColumnData column(const char *name, int length = 9, int key = 0)
    {
        ObColumnData c{};
        c.kind = OB_COLUMN;
        safe_strcpy(c.name, name, sizeof c.name);
        c.length = length;
        c.key = key;
        return c;
    }
    QueryObject *row(const char *table, const char *name)
    {
        DictColumn *c = obdict_ob_find_column(table, name);
        return c ? c->object : nullptr;
    }
};

// ---- permits -----------------------------------------------------------------------------

TEST_F(Tables, PermitsFollowAccessLevelPrivilegeAndSystemTables)
{
    struct Case {
        const char *what;
        int kind;
        int op;
        int access;   // ME's database access level
        int priv;     // ME's privilege on the table, -1 none
        bool system;  // the table is "%..."
        int result;
        std::vector<Box> shown;
    };
    const std::vector<Case> cases = {
        {"table create by a DBA", OB_TABLE, 0, 2, -1, false, 0, {}},
        {"table create with CREATE", OB_TABLE, 0, 1, -1, false, 0, {}},
        {"table create with SELECT", OB_TABLE, 0, 0, -1, false, 2, {{E, 62, 10}}},
        {"table edit by a DBA", OB_TABLE, 1, 2, -1, false, 0, {}},
        {"table edit with CREATE and ADMIN", OB_TABLE, 1, 1, 5, false, 0, {}},
        {"table edit with CREATE and LOCK", OB_TABLE, 1, 1, 4, false, 1, {{W, 62, 11}}},
        {"table edit with SELECT", OB_TABLE, 1, 0, 6, false, 1, {{W, 62, 11}}},
        {"system table edit", OB_TABLE, 1, 2, -1, true, 1, {{W, 62, 14}}},
        {"column create by a DBA", OB_COLUMN, 0, 2, -1, false, 0, {}},
        {"column create with ADMIN", OB_COLUMN, 0, 1, 5, false, 0, {}},
        {"column create with LOCK", OB_COLUMN, 0, 1, 4, false, 2, {{E, 62, 12}}},
        {"column create with SELECT", OB_COLUMN, 0, 0, 6, false, 2, {{E, 62, 12}}},
        {"column edit with LOCK", OB_COLUMN, 1, 1, 4, false, 1, {{W, 62, 12}}},
        {"column of a system table, create", OB_COLUMN, 0, 2, -1, true, 2, {{E, 62, 14}}},
        {"column of a system table, edit", OB_COLUMN, 1, 2, -1, true, 1, {{W, 62, 14}}},
        {"index by a DBA", OB_INDEX, 1, 2, -1, false, 0, {}},
        {"index with ADMIN", OB_INDEX, 1, 1, 5, false, 0, {}},
        {"index with LOCK", OB_INDEX, 1, 1, 4, false, 1, {{W, 62, 9}}},
        {"index with SELECT", OB_INDEX, 1, 0, 6, false, 1, {{W, 62, 9}}},
        {"index of a system table", OB_INDEX, 1, 2, -1, true, 1, {{W, 62, 14}}},
        {"privilege by a DBA", OB_PRIVILEGE, 1, 2, -1, false, 0, {}},
        {"privilege with OWNERSHIP", OB_PRIVILEGE, 1, 0, 6, false, 0, {}},
        {"privilege with ADMIN", OB_PRIVILEGE, 1, 1, 5, false, 1, {{W, 62, 8}}},
        {"privilege of a system table", OB_PRIVILEGE, 1, 2, -1, true, 1, {{W, 62, 14}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        wsdict_ws_clear_dictionary(0);
        safe_strcpy(wsdict_dictionary->user, "ME", 30);
        me(c.access);
        QueryObject *t = table(c.system ? "%T" : "T", c.priv, {column("K", 9, 1), column("V")});
        DictRelation *r = obdict_ob_find_table(c.system ? "%T" : "T");
        QueryObject *object = t;
        if (c.kind == OB_COLUMN && c.op == 1)
            object = row(r->name, "K");
        else if (c.kind == OB_INDEX)
            object = r->index_object;
        else if (c.kind == OB_PRIVILEGE)
            object = r->priv_object;
        ASSERT_NE(object, nullptr);
        boxes.clear();
        int result = -1;
        cls(c.kind).permit(object, c.op, &result);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(boxes, c.shown);
    }
}

TEST_F(Tables, EditWarningsShowOncePerObjectOrTable)
{
    me(1);
    QueryObject *t = table("T", PRIV_LOCK, {column("K", 9, 1), column("V")});
    DictRelation *r = obdict_ob_find_table("T");
    struct Step {
        QueryObject *object;
        int kind;
        std::vector<Box> shown;
    };
    // The column warning belongs to the table: the second column gets none.
    const std::vector<Step> steps = {
        {t, OB_TABLE, {{W, 62, 11}}},           {t, OB_TABLE, {}},
        {row("T", "K"), OB_COLUMN, {{W, 62, 12}}}, {row("T", "V"), OB_COLUMN, {}},
        {r->index_object, OB_INDEX, {{W, 62, 9}}}, {r->index_object, OB_INDEX, {}},
        {r->priv_object, OB_PRIVILEGE, {{W, 62, 8}}}, {r->priv_object, OB_PRIVILEGE, {}},
    };
    for (size_t i = 0; i < steps.size(); i++) {
        SCOPED_TRACE(i);
        boxes.clear();
        int result = 0;
        cls(steps[i].kind).permit(steps[i].object, 1, &result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(boxes, steps[i].shown);
    }
    // Creating a column is refused with its error every time.
    for (int i = 0; i < 2; i++) {
        boxes.clear();
        int result = 0;
        cls(OB_COLUMN).permit(t, 0, &result);
        EXPECT_EQ(result, 2);
        EXPECT_EQ(boxes, (std::vector<Box>{{E, 62, 12}}));
    }
}

TEST_F(Tables, TheUserObjectNeedsADbaWithTheDatabaseExclusive)
{
    struct Case {
        int access, exclusive, result;
    };
    for (const Case c : {Case{2, 1, 0}, Case{2, 0, 1}, Case{1, 1, 1}, Case{0, 0, 1}}) {
        SCOPED_TRACE(c.access * 10 + c.exclusive);
        wsdict_ws_clear_dictionary(0);
        safe_strcpy(wsdict_dictionary->user, "ME", 30);
        me(c.access);
        wsdict_db_exclusive = c.exclusive;
        void *value = nullptr;
        cls(OB_USER).newval(&value, nullptr);
        QueryObject *user = nullptr;
        cls(OB_USER).create(&user, value, -1, -1, nullptr);
        ASSERT_EQ(wsdict_dictionary->user_object, user);
        for (int i = 0; i < 2; i++) {
            boxes.clear();
            int result = -1;
            cls(OB_USER).permit(user, 1, &result);
            EXPECT_EQ(result, c.result);
            EXPECT_EQ(boxes, (c.result && i == 0 ? std::vector<Box>{{W, 62, 6}} : std::vector<Box>{}));
        }
    }
}

// ---- checks without the interpreter ------------------------------------------------------

TEST_F(Tables, ValidateWithoutTheInterpreter)
{
    ObColumnData key = column("K", 9, 1), plain = column("V"), other = column("W");
    plain.chain = &other;
    key.chain = &plain;
    struct Case {
        const char *what;
        int kind;
        const char *name;
        ObColumnData *chain;
        int result;
        std::vector<Box> shown;
    };
    const std::vector<Case> cases = {
        {"table with a key column", OB_TABLE, "T", &key, 1, {}},
        {"table without a key column", OB_TABLE, "T", &plain, 0, {{E, 62, 17}}},
        {"table being altered (no new columns)", OB_TABLE, "T", nullptr, 1, {}},
        {"empty table name", OB_TABLE, "", &plain, 1, {}},
        {"empty column name", OB_COLUMN, "", nullptr, 1, {}},
        {"column name of 12", OB_COLUMN, "ABCDEFGHIJKL", nullptr, 1, {}},
        {"column name of 13", OB_COLUMN, "ABCDEFGHIJKLM", nullptr, 0, {{E, 62, 37}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        int result = -1;
        if (c.kind == OB_TABLE) {
            ObTableData t{};
            t.kind = OB_TABLE;
            safe_strcpy(t.name, c.name, sizeof t.name);
            t.new_columns = c.chain;
            cls(OB_TABLE).validate(&t, 0, &result);
        } else {
            ObColumnData d = column(c.name);
            cls(OB_COLUMN).validate(&d, 0, &result);
        }
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(boxes, c.shown);
    }
}

TEST_F(Tables, ANewTableWithoutColumnsOrNameMakesNothing)
{
    for (const char *name : {"", "T"}) {
        SCOPED_TRACE(name);
        boxes.clear();
        ObTableData t{};
        t.kind = OB_TABLE;
        safe_strcpy(t.name, name, sizeof t.name);
        QueryObject *made = reinterpret_cast<QueryObject *>(1);
        cls(OB_TABLE).create(&made, &t, 0, 0, nullptr);
        EXPECT_EQ(made, nullptr);
        EXPECT_EQ(boxes, (name[0] ? std::vector<Box>{{E, 62, 16}} : std::vector<Box>{}));
        EXPECT_EQ(wsdict_dictionary->relations, nullptr);
    }
}

TEST_F(Tables, AShownTableIsNotMadeTwice)
{
    me(2);
    QueryObject *t = table("T", PRIV_OWNERSHIP, {column("K", 9, 1)});
    ObColumnData again = column("X", 9, 1);
    ObTableData d{};
    d.kind = OB_TABLE;
    safe_strcpy(d.name, "T", sizeof d.name);
    d.new_columns = &again;
    boxes.clear();
    QueryObject *made = nullptr;
    cls(OB_TABLE).create(&made, &d, 0, 300, t);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(boxes, (std::vector<Box>{{E, 62, 38}}));
    EXPECT_EQ(obdict_ob_find_column("T", "X"), nullptr);
    EXPECT_EQ(obdict_ob_find_table("T")->table_object, t);
}

// ---- the change mask -----------------------------------------------------------------------

TEST_F(Tables, TheChangeMaskHasOneBitPerChangedProperty)
{
    DictRelation r{};
    safe_strcpy(r.name, "T", sizeof r.name);
    r.maxsize = 100;
    safe_strcpy(r.location, "/a", sizeof r.location);
    r.fixed = 0;
    r.structure = 1;
    r.reqmem = 1;
    auto same = [&] {
        ObTableData d{};
        d.kind = OB_TABLE;
        safe_strcpy(d.name, "T", sizeof d.name);
        d.size = 100;
        safe_strcpy(d.location, "/a", sizeof d.location);
        d.extendable = 1;
        d.structure = 1;
        d.memory = 1;
        return d;
    };
    struct Case {
        const char *what;
        void (*change)(ObTableData &);
        int mask;
    };
    const std::vector<Case> cases = {
        {"nothing", [](ObTableData &) {}, 0},
        {"empty name keeps it", [](ObTableData &d) { d.name[0] = '\0'; }, 0},
        {"name", [](ObTableData &d) { safe_strcpy(d.name, "U", sizeof d.name); }, 1},
        {"smaller", [](ObTableData &d) { d.size = 50; }, 2},
        {"larger", [](ObTableData &d) { d.size = 500; }, 4},
        {"location", [](ObTableData &d) { safe_strcpy(d.location, "/b", sizeof d.location); }, 8},
        {"structure", [](ObTableData &d) { d.structure = 3; }, 16},
        {"memory", [](ObTableData &d) { d.memory = 2; }, 32},
        {"extendable", [](ObTableData &d) { d.extendable = 0; }, 64},
        {"name and memory",
         [](ObTableData &d) {
             safe_strcpy(d.name, "U", sizeof d.name);
             d.memory = 0;
         },
         33},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ObTableData d = same();
        c.change(d);
        EXPECT_EQ(obtab_change_mask(&d, &r), c.mask);
    }
}

// ---- layout --------------------------------------------------------------------------------

TEST_F(Tables, ColumnRowsAreAtLeastEightAndAtMostTwentyWidestCharactersWide)
{
    me(2);
    // Widest character 5, line height 10: a label box is 14 high and at
    // least 20 wide; the twelve-character name needs 66.
    QueryObject *t = table("T", PRIV_OWNERSHIP,
                           {column("A", 5, 1), column("B", 8), column("C", 20), column("D", 30),
                            column("WIDENAMEOF12", 5)});
    struct Want {
        const char *name;
        int select_width, outer_width;
    };
    const Want want[] = {{"A", 40, 44}, {"B", 40, 42}, {"C", 100, 102}, {"D", 100, 102}, {"WIDENAMEOF12", 66, 68}};
    int right = -1;
    for (const Want &w : want) {
        SCOPED_TRACE(w.name);
        QueryObject *o = row("T", w.name);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->select.width, w.select_width);
        EXPECT_EQ(o->outer.width, w.outer_width);
        EXPECT_EQ(o->drop.width, w.select_width);
        EXPECT_EQ(o->select.height, 14);
        // 14 + 4 + 1.5 * 10
        EXPECT_EQ(o->outer.height, 33);
        EXPECT_EQ(o->anchor_y, t->outer.y + 14 + 2 + 2);
        EXPECT_EQ(o->flags & OB_FLAG_FIRST_COLUMN, right < 0 ? OB_FLAG_FIRST_COLUMN : 0);
        if (right < 0)
            EXPECT_EQ(o->anchor_x, t->anchor_x);
        else
            EXPECT_EQ(o->outer.x, right);
        right = o->outer.x + o->outer.width;
    }
    EXPECT_EQ(static_cast<ObTableData *>(t->kind_data)->columns, 5);
    EXPECT_EQ(t->outer.width, right - t->outer.x);
    EXPECT_EQ(t->outer.height, 16 + 33);
    EXPECT_EQ(t->drop.width, t->outer.width - 4 + 100);
    DictRelation *r = obdict_ob_find_table("T");
    ASSERT_NE(r->index_object, nullptr);
    ASSERT_NE(r->priv_object, nullptr);
    for (QueryObject *o : {r->index_object, r->priv_object}) {
        EXPECT_EQ(o->drop.x, t->drop.x);
        EXPECT_EQ(o->drop.y, t->drop.y);
        EXPECT_EQ(o->anchor_x, -1);
    }
}

TEST_F(Tables, TablesWithoutAPointGoUnderTheLowestAndMoveWithTheirBoundObjects)
{
    me(2);
    QueryObject *a = table("A", PRIV_OWNERSHIP, {column("K", 9, 1)});
    QueryObject *b = table("B", PRIV_OWNERSHIP, {column("K", 9, 1)});
    EXPECT_EQ(a->anchor_y, 60 + 2);
    EXPECT_EQ(b->anchor_y, a->outer.y + a->outer.height + 60 + 2);
    EXPECT_EQ(b->anchor_x, 12);
    ObPoint to{40, 500};
    cls(OB_TABLE).move(b, &to);
    DictRelation *r = obdict_ob_find_table("B");
    EXPECT_EQ(r->index_object->drop.y, b->drop.y);
    EXPECT_EQ(r->priv_object->drop.x, b->drop.x);
    EXPECT_EQ(b->anchor_y, 502);
    // Column rows: only the first is inset by 2.
    QueryObject *k = row("B", "K");
    ObPoint cell{100, 200};
    cls(OB_COLUMN).move(k, &cell);
    EXPECT_EQ(k->anchor_x, 102);
    EXPECT_EQ(k->anchor_y, 202);
    EXPECT_EQ(k->outer.x, 100);
}

// ---- columns collected while the dialog is open -------------------------------------------------

TEST_F(Tables, TwoAppliesOfOneNameGiveOnePendingColumnWithTheSecondValues)
{
    me(2);
    QueryObject *t = table("T", PRIV_OWNERSHIP, {column("K", 9, 1)});
    auto apply = [&](const char *name, int length) {
        void *value = nullptr;
        cls(OB_COLUMN).newval(&value, t);
        auto *d = static_cast<ObColumnData *>(value);
        safe_strcpy(d->name, name, sizeof d->name);
        d->length = length;
        QueryObject *made = reinterpret_cast<QueryObject *>(1);
        cls(OB_COLUMN).create(&made, d, 0, 0, t);
        EXPECT_EQ(made, nullptr);
        // The dialog starts again, listing what waits.
        EXPECT_EQ(d->name[0], '\0');
        EXPECT_STREQ(d->table, "T");
        return d->pending;
    };
    apply("N", 4);
    DictColumn *listed = apply("N", 12);
    EXPECT_EQ(obcol_pending_count(), 1);
    ASSERT_NE(listed, nullptr);
    EXPECT_STREQ(listed->name, "N");
    EXPECT_EQ(listed->item->length, 12);
    EXPECT_EQ(listed->next, nullptr);
    listed = apply("M", 3);
    EXPECT_EQ(obcol_pending_count(), 2);
    ASSERT_NE(listed->next, nullptr);
    EXPECT_STREQ(listed->next->name, "M");
    // A name the table has is refused and not collected.
    boxes.clear();
    apply("K", 3);
    EXPECT_EQ(boxes, (std::vector<Box>{{E, 62, 39}}));
    EXPECT_EQ(obcol_pending_count(), 2);
    // Nothing reached the table yet.
    EXPECT_EQ(obdict_ob_find_column("T", "N"), nullptr);
    EXPECT_EQ(static_cast<ObTableData *>(t->kind_data)->columns, 1);
    // Dismissing without an interpreter: the table cannot be locked, the
    // additions are dropped and the table stays as it was.
    boxes.clear();
    const ObBox outer = t->outer;
    QueryObject *none = nullptr;
    cls(OB_COLUMN).create(&none, nullptr, 0, 0, t);
    EXPECT_EQ(boxes, (std::vector<Box>{{E, 62, 15}}));
    EXPECT_EQ(obcol_pending_count(), 0);
    EXPECT_EQ(obdict_ob_find_column("T", "N"), nullptr);
    EXPECT_EQ(t->outer.width, outer.width);
}

}  // namespace
