// The dictionary's bookkeeping without an interpreter: key texts, table
// nomination, references, assignments, the activity notice, the access
// tests, and the maintenance the objects do (items, columns, indexes,
// users, privileges, list heads kept current).

#include <gtest/gtest.h>  // before the X headers, which define None

#include "obdict.h"
#include "wsdict.h"
#include "wsdict_int.h"

#include "vxutil.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <class T>
T *zeroed()
{
    T *p = static_cast<T *>(vx_malloc(static_cast<long>(sizeof(T)), 1));
    memset(p, 0, sizeof(T));
    return p;
}

template <class T>
void add(T *&head, T *e)
{
    T **tail = &head;
    while (*tail)
        tail = &(*tail)->next;
    *tail = e;
}

DictKey *key(const char *name, int number, int ascending, int native)
{
    DictKey *k = zeroed<DictKey>();
    safe_strcpy(k->name, name, 12);
    k->number = number;
    k->ascending = static_cast<char>(ascending);
    k->native = static_cast<char>(native);
    return k;
}

QueryObject *object(int kind, const char *table = "")
{
    QueryObject *o = zeroed<QueryObject>();
    o->kind = kind;
    if (kind == OB_COLUMN) {
        auto *d = zeroed<ObColumnData>();
        d->kind = kind;
        safe_strcpy(d->table, table, 21);
        o->kind_data = d;
        o->kind_data_size = sizeof *d;
    } else if (kind == OB_TABLE) {
        auto *d = zeroed<ObTableData>();
        d->kind = kind;
        safe_strcpy(d->name, table, 8);
        o->kind_data = d;
        o->kind_data_size = sizeof *d;
    } else if (kind == OB_VARIABLE) {
        auto *d = zeroed<ObVariableData>();
        d->kind = kind;
        safe_strcpy(d->name, table, 15);
        o->kind_data = d;
    } else if (kind == OB_PRIVILEGE) {
        o->kind_data = zeroed<ObPrivilegeData>();
    } else {
        o->kind_data = zeroed<ObExpressionData>();
    }
    return o;
}

int notices = 0;
void count_notice() { notices++; }

class Book : public ::testing::Test {
protected:
    std::vector<QueryObject *> loose;  // objects the dictionary does not hold

    void SetUp() override
    {
        wsdict_ws_init_dictionary();
        safe_strcpy(wsdict_dictionary->user, "ME", 30);
        safe_strcpy(wsdict_dictionary->result, "RS1F", 8);
        notices = 0;
        wsdict_ws_set_activity_notify(count_notice);
    }
    void TearDown() override
    {
        wsdict_ws_set_activity_notify(nullptr);
        wsdict_ws_clear_dictionary(0);
        for (QueryObject *o : loose) {
            o->next = nullptr;
            obmain_ob_free_object(o);
        }
    }
    QueryObject *make(int kind, const char *table = "")
    {
        QueryObject *o = object(kind, table);
        if (!wsdict_kind_list(kind))
            loose.push_back(o);
        return o;
    }
    DictRelation *relation(const char *name)
    {
        auto *r = zeroed<DictRelation>();
        safe_strcpy(r->name, name, 8);
        add(wsdict_dictionary->relations, r);
        return r;
    }
    DictColumn *column(DictRelation *r, const char *name)
    {
        ObColumnData d{};
        d.kind = OB_COLUMN;
        safe_strcpy(d.name, name, 21);
        safe_strcpy(d.table, r->name, 21);
        d.type = 1;
        d.length = 6;
        d.fraction = -1;
        return obdict_ob_create_column(&d);
    }
    void user(const char *name, int access)
    {
        ObUserData u{};
        safe_strcpy(u.name, name, 31);
        u.level = access;
        obdict_ob_create_user(&u);
    }
    void priv(const char *user_name, const char *table, int level)
    {
        ObPrivilegeData p{};
        safe_strcpy(p.user, user_name, 30);
        safe_strcpy(p.table, table, 8);
        p.level = level;
        obdict_ob_create_priv(&p);
    }
};

// ---- key texts ---------------------------------------------------------------------------

TEST(KeyText, KeysGoInKeyNumberOrderAndStopAtAGap)
{
    struct Case {
        const char *what;
        std::vector<DictKey> keys;
        const char *expected;
    } cases[] = {
        {"three keys", {{"A", 1, 1, 0, nullptr}, {"B", 2, 0, 0, nullptr}, {"C", 3, 1, 1, nullptr}},
         "A, B DESC, C NATIVE"},
        {"descending native", {{"A", 1, 0, 1, nullptr}}, "A DESC NATIVE"},
        {"empty", {}, ""},
        {"a gap", {{"A", 1, 1, 0, nullptr}, {"C", 3, 1, 0, nullptr}}, "A"},
        {"no first key", {{"B", 2, 1, 0, nullptr}}, ""},
        {"out of order", {{"B", 2, 1, 0, nullptr}, {"A", 1, 1, 0, nullptr}}, "A, B"},
    };
    for (Case &c : cases) {
        DictKey *head = nullptr;
        for (DictKey &k : c.keys)
            add(head, key(k.name, k.number, k.ascending, k.native));
        char buffer[64];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_STREQ(wsdict_make_keystr(buffer, sizeof buffer, head), c.expected) << c.what;
        wsdict_free_keys(head);
    }
}

TEST(KeyText, ManyKeysAreCutToTheBufferNeverPastIt)
{
    DictKey *head = nullptr;
    std::string all;
    for (int i = 1; i <= 40; i++) {
        std::string name = "COLUMN" + std::to_string(i);
        add(head, key(name.c_str(), i, 0, 1));
        all += (i > 1 ? ", " : "") + name + " DESC NATIVE";
    }
    std::vector<char> big(2000);
    EXPECT_EQ(wsdict_make_keystr(big.data(), big.size(), head), all);
    char small[16];
    EXPECT_STREQ(wsdict_make_keystr(small, sizeof small, head), "COLUMN1 DESC NA");
    wsdict_free_keys(head);
}

// ---- nomination --------------------------------------------------------------------------

TEST_F(Book, AThirdTableIsRefusedAndReleasingMovesTheSecondUp)
{
    QueryObject *a1 = make(OB_COLUMN, "A"), *a2 = make(OB_COLUMN, "A"), *b = make(OB_TABLE, "B"),
                *c = make(OB_COLUMN, "C"), *expr = make(OB_EXPRESSION);
    EXPECT_TRUE(wsdict_ws_check_nominations(a1));
    EXPECT_TRUE(wsdict_ws_check_nominations(a2));
    EXPECT_TRUE(wsdict_ws_check_nominations(b));
    EXPECT_FALSE(wsdict_ws_check_nominations(c));
    EXPECT_TRUE(wsdict_ws_check_nominations(expr)) << "other kinds always pass";
    EXPECT_STREQ(wsdict_nomination.first, "A");
    EXPECT_EQ(wsdict_nomination.first_count, 2);
    EXPECT_STREQ(wsdict_nomination.second, "B");
    EXPECT_EQ(wsdict_nomination.second_count, 1);

    wsdict_ws_save_nomination();
    wsdict_ws_release_nomination(a1);
    wsdict_ws_release_nomination(a2);
    EXPECT_STREQ(wsdict_nomination.first, "B");
    EXPECT_EQ(wsdict_nomination.first_count, 1);
    EXPECT_EQ(wsdict_nomination.second_count, 0);
    EXPECT_TRUE(wsdict_ws_check_nominations(c));
    EXPECT_STREQ(wsdict_nomination.second, "C");

    wsdict_ws_restore_nomination();
    EXPECT_STREQ(wsdict_nomination.first, "A");
    EXPECT_EQ(wsdict_nomination.first_count, 2);
    EXPECT_STREQ(wsdict_nomination.second, "B");

    wsdict_ws_notify_table_rename("B", "BB");
    EXPECT_STREQ(wsdict_nomination.second, "BB");
    wsdict_ws_notify_table_rename("ZZ", "Y");
    EXPECT_STREQ(wsdict_nomination.first, "A");

    testing::internal::CaptureStderr();
    wsdict_ws_release_nomination(c);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning! WsDict. Table was not nominated.\n");
    obmain_ob_free_object(expr);
}

TEST_F(Book, TheResultTableIsNominatedAsRslt)
{
    QueryObject *r1 = make(OB_COLUMN, "RS1F"), *r2 = make(OB_TABLE, "RSLT"), *x = make(OB_COLUMN, "X"),
                *y = make(OB_COLUMN, "Y");
    EXPECT_TRUE(wsdict_ws_check_nominations(r1));
    EXPECT_STREQ(wsdict_nomination.first, "RSLT");
    EXPECT_TRUE(wsdict_ws_check_nominations(r2));
    EXPECT_EQ(wsdict_nomination.first_count, 2);
    EXPECT_TRUE(wsdict_ws_check_nominations(x));
    EXPECT_FALSE(wsdict_ws_check_nominations(y));
}

// ---- selection, references, assignments and the notice --------------------------------------------

TEST_F(Book, SelectionAndVariablesCallTheNoticeAtTheirEdges)
{
    QueryObject *a = make(OB_COLUMN, "A"), *b = make(OB_COLUMN, "A");
    ASSERT_TRUE(wsdict_ws_check_nominations(a));
    ASSERT_TRUE(wsdict_ws_check_nominations(b));
    wsdict_ws_select_object(a);
    wsdict_ws_select_object(b);
    EXPECT_EQ(notices, 1);
    EXPECT_TRUE(wsdict_ws_is_selected(a));
    EXPECT_TRUE(wsdict_ws_objects_selected());
    EXPECT_EQ(wsdict_dictionary->selected->object, b) << "newest first";
    wsdict_ws_unselect_object(a);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(wsdict_nomination.first_count, 1) << "unselecting releases the nomination";
    wsdict_ws_unselect_object(b);
    EXPECT_EQ(notices, 2);
    EXPECT_FALSE(wsdict_ws_objects_selected());
    EXPECT_EQ(wsdict_nomination.first_count, 0);

    QueryObject *v1 = make(OB_VARIABLE, "V1"), *v2 = make(OB_VARIABLE, "V2"), *e = make(OB_EXPRESSION);
    wsdict_ws_link_object(v1);
    wsdict_ws_link_object(v2);
    wsdict_ws_link_object(e);
    EXPECT_EQ(notices, 3) << "only the first variable";
    EXPECT_TRUE(wsdict_ws_variables_exist());
    EXPECT_EQ(obdict_ob_find_var("V1"), v1);
    EXPECT_EQ(obdict_ob_find_var("V3"), nullptr);
    wsdict_ws_unlink_object(v2);
    EXPECT_EQ(notices, 3);
    wsdict_ws_unlink_object(v1);
    EXPECT_EQ(notices, 4);
    EXPECT_FALSE(wsdict_ws_variables_exist());
    EXPECT_EQ(wsdict_dictionary->expressions, e);
    loose.push_back(v1);
    loose.push_back(v2);

    // Freeing the contents calls it too, and clears the nomination.
    ASSERT_TRUE(wsdict_ws_check_nominations(a));
    wsdict_ws_clear_dictionary_objects();
    EXPECT_EQ(notices, 5);
    EXPECT_EQ(wsdict_nomination.first_count, 0);
    EXPECT_EQ(wsdict_dictionary->expressions, nullptr);
}

TEST_F(Book, AReferenceToAReferringObjectBecomesReferencesToItsTables)
{
    QueryObject *ca = make(OB_COLUMN, "A"), *cb = make(OB_COLUMN, "B"), *e1 = make(OB_EXPRESSION),
                *e2 = make(OB_EXPRESSION);
    wsdict_ws_link_object(e1);
    wsdict_ws_link_object(e2);
    ASSERT_TRUE(wsdict_ws_check_nominations(ca));
    ASSERT_TRUE(wsdict_ws_check_nominations(cb));
    wsdict_ws_reference_object(e1, ca);
    wsdict_ws_reference_object(e1, cb);
    wsdict_ws_reference_object(ca, e1);  // columns keep no references
    wsdict_ws_reference_object(e2, e1);

    struct Ref {
        QueryObject *from, *to;
        int derived;
        bool operator==(const Ref &) const = default;
    };
    auto refs = [] {
        std::vector<Ref> v;
        for (ObReference *r = wsdict_dictionary->references; r; r = r->next)
            v.push_back({r->referring, r->referred, r->derived});
        return v;
    };
    std::vector<Ref> got = refs();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(std::count(got.begin(), got.end(), Ref{e2, ca, 1}), 1);
    EXPECT_EQ(std::count(got.begin(), got.end(), Ref{e2, cb, 1}), 1);
    EXPECT_EQ(std::count(got.begin(), got.end(), Ref{e2, e1, 0}), 0);

    // Derived references release no nomination; underived ones both sides'.
    wsdict_ws_unreference_object(e2);
    EXPECT_EQ(refs().size(), 2u);
    EXPECT_EQ(wsdict_nomination.first_count, 1);
    EXPECT_EQ(wsdict_nomination.second_count, 1);
    wsdict_ws_unreference_object(ca);
    EXPECT_EQ(refs(), (std::vector<Ref>{{e1, cb, 0}}));
    EXPECT_STREQ(wsdict_nomination.first, "B");
    EXPECT_EQ(wsdict_nomination.first_count, 1);
    EXPECT_EQ(wsdict_nomination.second_count, 0);

    // Unlinking an object takes every reference naming it.
    wsdict_ws_unlink_object(e1);
    EXPECT_TRUE(refs().empty());
    EXPECT_EQ(wsdict_nomination.first_count, 0);
    loose.push_back(e1);
}

TEST_F(Book, UnassigningTakesTheAssignmentAndItsReference)
{
    QueryObject *v = make(OB_VARIABLE, "V"), *e = make(OB_EXPRESSION), *s = make(OB_STATISTIC);
    wsdict_ws_link_object(v);
    wsdict_ws_link_object(e);
    wsdict_ws_link_object(s);
    wsdict_ws_assign_object(v, e);
    wsdict_ws_reference_object(e, v);
    wsdict_ws_assign_object(v, s);
    ASSERT_NE(wsdict_dictionary->assignments, nullptr);
    EXPECT_EQ(wsdict_dictionary->assignments->assigned, s);

    wsdict_ws_unassign_object(e);
    ASSERT_NE(wsdict_dictionary->assignments, nullptr);
    EXPECT_EQ(wsdict_dictionary->assignments->assigned, s);
    EXPECT_EQ(wsdict_dictionary->assignments->next, nullptr);
    EXPECT_EQ(wsdict_dictionary->references, nullptr);
    wsdict_ws_unlink_object(v);
    EXPECT_EQ(wsdict_dictionary->assignments, nullptr);
    loose.push_back(v);
}

// ---- access tests ----------------------------------------------------------------------------

TEST_F(Book, PrivilegeTestsTakeTheOwnEntryBeforeDefault)
{
    relation("T1");
    relation("T2");
    relation("T3");
    user("ME", DBPRIV_CREATE);
    priv("%DEFAULT", "T1", PRIV_WRITE);
    priv("%DEFAULT", "T2", PRIV_OWNERSHIP);
    priv("ME", "T2", PRIV_READ);
    priv("OTHER", "T3", PRIV_OWNERSHIP);
    struct Case {
        int level;
        const char *table;
        int expected;
    } cases[] = {
        {PRIV_READ, "T1", 1},  {PRIV_WRITE, "T1", 1},     {PRIV_LOCK, "T1", 0},  // %DEFAULT at 3
        {PRIV_READ, "T2", 1},  {PRIV_APPEND, "T2", 0},                           // own entry wins
        {PRIV_READ, "T3", 0},                                                    // neither
        {PRIV_READ, "NONE", 0}, {PRIV_OWNERSHIP, "RS1F", 1},                     // the result table
    };
    for (const Case &c : cases)
        EXPECT_EQ(obdict_ob_i_have_priv_on(c.level, c.table), c.expected) << c.table << " level " << c.level;
    EXPECT_TRUE(obdict_ob_i_have_dbpriv(DBPRIV_CREATE));
    EXPECT_FALSE(obdict_ob_i_have_dbpriv(DBPRIV_DBA));
}

// ---- maintenance ------------------------------------------------------------------------------

TEST_F(Book, ItemsLiveAsLongAsAColumnOfTheirName)
{
    DictRelation *a = relation("A"), *b = relation("B");
    DictColumn *ax = column(a, "X");
    DictColumn *bx = column(b, "X");
    column(a, "Y");
    ASSERT_NE(ax->item, nullptr);
    EXPECT_EQ(ax->item, bx->item) << "one item for both";
    EXPECT_TRUE(obdict_ob_is_shared_item(ax->item));
    EXPECT_FALSE(obdict_ob_is_shared_item(wsdict_find_item("Y")));

    obdict_ob_delete_column(bx);
    EXPECT_NE(wsdict_find_item("X"), nullptr);
    EXPECT_FALSE(obdict_ob_is_shared_item(ax->item));
    obdict_ob_delete_column(ax);
    EXPECT_EQ(wsdict_find_item("X"), nullptr);
    EXPECT_NE(wsdict_find_item("Y"), nullptr);

    obdict_ob_delete_table(a);
    EXPECT_EQ(wsdict_find_item("Y"), nullptr);
    EXPECT_EQ(obdict_ob_find_table("A"), nullptr);
    EXPECT_EQ(wsdict_dictionary->relations, b);
}

TEST_F(Book, RelinkPutsTheColumnBackWhereItWas)
{
    DictRelation *t = relation("T");
    DictColumn *c1 = column(t, "C1"), *c2 = column(t, "C2"), *c3 = column(t, "C3");
    auto names = [t] {
        std::string s;
        for (DictColumn *c = t->columns; c; c = c->next)
            s += c->name + std::string(" ");
        return s;
    };
    for (DictColumn *c : {c2, c1, c3}) {
        obdict_ob_unlink_column(c);
        EXPECT_EQ(names().find(c->name), std::string::npos);
        obdict_ob_relink_column();
        EXPECT_EQ(names(), "C1 C2 C3 ") << c->name;
    }
    obdict_ob_relink_column();  // nothing left to undo
    EXPECT_EQ(names(), "C1 C2 C3 ");
}

TEST_F(Book, ListHeadsInKindDataFollowTheFirstColumnAndUser)
{
    DictRelation *t = relation("T");
    DictColumn *c1 = column(t, "C1");
    DictColumn *c2 = column(t, "C2");
    QueryObject *o1 = make(OB_COLUMN, "T"), *o2 = make(OB_COLUMN, "T");
    c1->object = o1;
    c2->object = o2;
    auto head = [](QueryObject *o) { return static_cast<ObColumnData *>(o->kind_data)->columns; };
    obdict_ob_delete_column(c1);
    EXPECT_EQ(head(o2), c2);
    obdict_ob_unlink_column(c2);
    obdict_ob_relink_column();
    EXPECT_EQ(head(o2), c2);
    c2->object = nullptr;
    DictColumn *c3 = column(t, "C3");
    c3->object = o2;
    obdict_delete_column_for(t);
    EXPECT_EQ(t->columns, nullptr);
    EXPECT_EQ(head(o2), nullptr);

    QueryObject *p = make(OB_PRIVILEGE);
    t->priv_object = p;
    auto users = [p] { return static_cast<ObPrivilegeData *>(p->kind_data)->users; };
    user("FIRST", 0);
    EXPECT_EQ(users(), wsdict_dictionary->users);
    user("SECOND", 0);
    priv("FIRST", "T", PRIV_READ);
    priv("SECOND", "T", PRIV_READ);
    obdict_ob_delete_user(wsdict_dictionary->users);
    EXPECT_STREQ(users()->name, "SECOND");
    ASSERT_NE(t->privs, nullptr);
    EXPECT_STREQ(t->privs->user, "SECOND");
    EXPECT_EQ(t->privs->next, nullptr);
    obdict_ob_delete_all_users();
    EXPECT_EQ(users(), nullptr);
    EXPECT_EQ(t->privs, nullptr);
    t->priv_object = nullptr;
}

TEST_F(Book, IndexesKeysAndLookUps)
{
    DictRelation *t = relation("T");
    DictColumn *a = column(t, "A");
    DictColumn *b = column(t, "B");
    QueryObject *oa = make(OB_COLUMN, "T"), *ob = make(OB_COLUMN, "T");
    a->object = oa;
    b->object = ob;
    auto *x = zeroed<DictIndex>();
    safe_strcpy(x->relation, "T", 8);
    x->number = 2;
    x->keys = key("A", 1, 1, 0);
    t->indexes = x;
    obdict_ob_set_indexed_columns(t);
    EXPECT_EQ(static_cast<ObColumnData *>(oa->kind_data)->indexed, 1);
    EXPECT_EQ(static_cast<ObColumnData *>(ob->kind_data)->indexed, 0);
    obdict_ob_rename_key(t, "A", "AA");
    EXPECT_STREQ(x->keys->name, "AA");
    EXPECT_EQ(obdict_ob_find_index("T", 2), x);
    EXPECT_EQ(obdict_ob_find_index("T", 1), nullptr);
    EXPECT_EQ(obdict_ob_find_column("T", "B"), b);
    EXPECT_EQ(obdict_ob_find_column("T", "b"), nullptr) << "names compare exactly";
    EXPECT_EQ(obdict_find_last_column_object(t), ob);

    obdict_ob_rename_table(t, "U");
    EXPECT_STREQ(x->relation, "U");
    EXPECT_EQ(obdict_ob_find_table("U"), t);
    EXPECT_EQ(wsdict_find_relation("U"), t);
    obdict_ob_delete_index(x);
    EXPECT_EQ(t->indexes, nullptr);
    a->object = b->object = nullptr;
}

TEST_F(Book, TheTableObjectJustAboveAPoint)
{
    DictRelation *r1 = relation("R1"), *r2 = relation("R2"), *r3 = relation("R3");
    relation("R4");  // no object
    r1->table_object = make(OB_TABLE, "R1");
    r2->table_object = make(OB_TABLE, "R2");
    r3->table_object = make(OB_TABLE, "R3");
    r1->table_object->anchor_y = 10;
    r2->table_object->anchor_y = 50;
    r3->table_object->anchor_y = 50;
    ObPoint below{0, 60}, between{0, 30}, top{0, 5};
    EXPECT_EQ(obdict_find_table_object_just_above(&below), r2->table_object) << "first on equal y";
    EXPECT_EQ(obdict_find_table_object_just_above(&between), r1->table_object);
    EXPECT_EQ(obdict_find_table_object_just_above(&top), nullptr);
    EXPECT_EQ(obdict_find_table_object_just_above(nullptr), r2->table_object);
    r1->table_object = r2->table_object = r3->table_object = nullptr;
}

TEST_F(Book, NewTablesAndEntriesWithoutARelationStayUnlinked)
{
    ObTableData td{};
    td.kind = OB_TABLE;
    safe_strcpy(td.name, "NEW", 8);
    safe_strcpy(td.location, "here", 100);
    td.size = 77;
    td.extendable = 1;
    DictRelation *r = obdict_ob_create_table(&td);
    ASSERT_EQ(obdict_ob_find_table("NEW"), r);
    EXPECT_EQ(r->maxsize, 77);
    EXPECT_EQ(r->fixed, 0);
    EXPECT_STREQ(r->location, "here");

    ObColumnData cd{};
    safe_strcpy(cd.name, "Q", 21);
    safe_strcpy(cd.table, "MISSING", 21);
    cd.type = 0;
    cd.length = 4;
    DictColumn *c = obdict_ob_create_column(&cd);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(obdict_ob_find_column("MISSING", "Q"), nullptr);
    ObPrivilegeData pd{};
    safe_strcpy(pd.user, "U", 30);
    safe_strcpy(pd.table, "MISSING", 8);
    DictPriv *p = obdict_ob_create_priv(&pd);
    ASSERT_NE(p, nullptr);
    vx_free(p);
    vx_free(c);
    obdict_ob_delete_item_maybe("Q");
    EXPECT_EQ(wsdict_find_item("Q"), nullptr);
}

}  // namespace
