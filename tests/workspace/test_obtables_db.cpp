// Tables, columns, indexes, users and privileges as query objects against
// the installed interpreter: a scratch database shown on the workspace,
// driven through the object manager with stand-in dialogs, the boxes
// answered by a watcher.  What reaches the database is read back from it.

#include "wstest.h"

#include "dlmain.h"
#include "obbox.h"
#include "obmain.h"
#include "obtab.h"
#include "qysched.h"
#include "qytest.h"
#include "vxutil.h"
#include "wsmgr.h"
#include "wsobjmgr.h"
#include "wstables.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

using wstest::Row;
using Rows = std::vector<Row>;

namespace {

int fake_height() { return 10; }
int fake_width(const char *, int length) { return 5 * length; }
const ObMetrics fake_metrics{fake_height, fake_width};

struct Box {
    int type, set, number;
    bool operator==(const Box &) const = default;
};
std::ostream &operator<<(std::ostream &os, const Box &b)
{
    return os << "{" << b.type << "," << b.set << "," << b.number << "}";
}
std::vector<Box> boxes;
int answer = 1;
int watch(int type, int set, int number, const std::string &)
{
    boxes.push_back({type, set, number});
    return answer;
}
constexpr int E = OB_BOX_ERROR, C = OB_BOX_CONFIRM;

ObColumnData column(const char *name, int type, int length, int key = 0, int null = 0)
{
    ObColumnData c{};
    c.kind = OB_COLUMN;
    safe_strcpy(c.name, name, sizeof c.name);
    c.type = type;
    c.length = length;
    c.fraction = -1;
    c.key = key;
    c.null = null;
    return c;
}

class Objects : public wstest::Dictionary {
protected:
    std::string list_dir;

    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        start("TESTER");
        make_scratch("O");
        // Shared, so that tables are locked one by one.
        ok("CLOSE");
        ok("OPEN " + scratch);
        ok("CREATE ITEM K AS LONG(6)");
        ok("CREATE ITEM S AS STRING(10)");
        ok("CREATE ITEM L AS LONG(8)");
        ok("CREATE A[100] AS K PRIMARY,S CONFIGURE AS EXTENSIBLE CACHED CHAINED");
        ok("CREATE B[100] AS K PRIMARY,S,L NULL CONFIGURE AS EXTENSIBLE CACHED CHAINED");
        ok("SELECT 1 AS K,'ONE' AS S FROMVAR TO A");
        ok("SELECT 2 AS K,'TWO' AS S FROMVAR TO A");
        ok("SELECT 3 AS K,'THREE' AS S FROMVAR TO A");
        ok("SELECT 7 AS K,'SEVEN' AS S,70 AS L FROMVAR TO B");
        obmain_initialise_classes();
        obmain_set_metrics(&fake_metrics);
        obbox_set_watcher(watch);
        boxes.clear();
        answer = 1;
        obmain_table_x_gap = 10;
        obmain_table_y_gap = 60;
        obmain_table_x_extra = 100;
        obmain_ob_options[1] = 1;
        dlmain_clear_dialogs();
        wsmgr_workspace_manager_init(nullptr);
        wsmgr_ws_set_flash_pause([] {});
        wsmgr_ws_set_validation(1);
        for (int id = 15; id <= 19; id++)
            wstest::stand_in_dialog(id);
        list_dir = vxtest::temp_dir("obtables");
        scratch_dirs.push_back(list_dir);
        show();
    }
    void TearDown() override
    {
        wstest::stand_in_clear();
        obbox_set_watcher(nullptr);
        wsmgr_ws_reset_manager();
        dlmain_clear_dialogs();
        obmain_set_metrics(nullptr);
        wstest::Dictionary::TearDown();
    }
    // Reads the dictionary and shows the database's tables.
    void show()
    {
        ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1);
        wsobj_ws_set_table_list_file((list_dir + "/list").c_str());
        wsobj_ws_read_table_list(1);
        wsobj_ws_show_database();
        qykit::sent().clear();
        boxes.clear();
    }
    DictRelation *rel(const char *name) { return obdict_ob_find_table(name); }
    QueryObject *tab(const char *name)
    {
        DictRelation *r = rel(name);
        return r ? r->table_object : nullptr;
    }
    QueryObject *col(const char *table, const char *name)
    {
        DictColumn *c = obdict_ob_find_column(table, name);
        return c ? c->object : nullptr;
    }
    ObTableData *tdata(const char *name) { return static_cast<ObTableData *>(tab(name)->kind_data); }
    std::vector<std::string> texts()
    {
        std::vector<std::string> v;
        for (const qykit::Sent &s : qykit::sent())
            v.push_back(s.text);
        return v;
    }
    std::string list_file()
    {
        std::ifstream f(list_dir + "/list");
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    // The dialog steps through the manager.
    DialogRecord *current() { return &dlmain_dialogs[static_cast<size_t>(wsmgr_ws_enquire_current_dialog_id())]; }
    void create_on(int tool, QueryObject *drop, ObPoint at = {40, 40}) { wsmgr_ws_perform_create(tool, &at, drop); }
    void edit(QueryObject *o)
    {
        ObPoint at{10, 10};
        wsmgr_ws_perform_edit(o, &at);
        ASSERT_GE(wsmgr_ws_enquire_current_dialog_id(), 0);
    }
    template <class T>
    void apply(std::function<void(T &)> fill)
    {
        wstest::stand_in_fill(fill);
        int done = 0;
        current()->apply(current(), &done);
    }
    template <class T>
    void remove(std::function<void(T &)> fill)
    {
        wstest::stand_in_fill(fill);
        int done = 0;
        current()->del(current(), &done);
    }
    void dismiss()
    {
        wstest::stand_in_form().fill = nullptr;
        int done = 0;
        current()->dismiss(current(), &done);
    }
    // Dictionary, list file, boxes and counts, as text.
    std::string snapshot()
    {
        std::ostringstream s;
        for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next) {
            s << r->name << " " << r->maxsize << " " << r->fixed << r->structure << r->reqmem << " privs";
            for (DictPriv *p = r->privs; p; p = p->next)
                s << " " << p->user << "=" << p->level;
            s << " indexes";
            for (DictIndex *x = r->indexes; x; x = x->next)
                s << " " << x->number;
            s << "\n";
            for (DictColumn *c = r->columns; c; c = c->next) {
                s << "  " << c->name << " " << c->key << c->null << " " << (c->item ? c->item->name : "-");
                if (c->item)
                    s << " " << c->item->type << "/" << c->item->length << " " << c->item->alias;
                if (QueryObject *o = c->object)
                    s << " [" << o->outer.x << "," << o->outer.y << "," << o->outer.width << "," << o->outer.height
                      << " f" << o->flags << "]";
                s << "\n";
            }
            if (QueryObject *t = r->table_object) {
                const auto *d = static_cast<ObTableData *>(t->kind_data);
                s << "  box " << t->outer.x << "," << t->outer.y << "," << t->outer.width << "," << t->outer.height
                  << " drop " << t->drop.width << " rows " << d->rows << " cols " << d->columns << "\n";
            }
            if (r->index_object)
                s << "  index drop " << r->index_object->drop.width << "\n";
            if (r->priv_object)
                s << "  privs drop " << r->priv_object->drop.width << "\n";
        }
        for (DictItem *it = wsdict_dictionary->items; it; it = it->next)
            s << "item " << it->name << " " << it->type << "/" << it->length << "\n";
        s << list_file();
        return s.str();
    }
    static bool run_on(int cid, const std::string &text)
    {
        return doz_query(cid, text.c_str()) == 0 && doz_error(cid) == 0;
    }
    // Another connection that holds the table exclusively (-1 when it
    // could not); ended with doz_term.
    int hold(const char *table)
    {
        int cid = qytest::start(0);
        if (cid >= 0 && (!run_on(cid, "OPEN " + scratch) || !run_on(cid, std::string("USE ") + table + " EXCLUSIVE"))) {
            doz_term(cid);
            cid = -1;
        }
        return cid;
    }
    // Whether another connection can lock the table.
    bool other_can_use(const char *table)
    {
        int cid = hold(table);
        if (cid < 0)
            return false;
        doz_term(cid);
        return true;
    }
};

// ---- tables ----------------------------------------------------------------------------------

TEST_F(Objects, ANewTableGoesUnderTheTableAboveWithItsBoundObjects)
{
    QueryObject *a = tab("A"), *b = tab("B");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const ObBox b_before = b->outer;
    create_on(16, wsdict_dictionary->user_object, {50, a->outer.y + a->outer.height + 5});
    ObColumnData cols[2] = {column("NK", 1, 6, 1), column("NS", 0, 12)};
    cols[0].chain = &cols[1];
    apply<ObTableData>([&](ObTableData &t) {
        safe_strcpy(t.name, "N", sizeof t.name);
        t.size = 50;
        t.new_columns = cols;
    });
    EXPECT_EQ(boxes, std::vector<Box>{});
    DictRelation *n = rel("N");
    ASSERT_NE(n, nullptr);
    QueryObject *t = n->table_object;
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(wsmgr_ws_enquire_current_object(), t);
    EXPECT_EQ(t->anchor_y, a->outer.y + a->outer.height + 60 + 2);
    EXPECT_EQ(b->outer.y, b_before.y + t->outer.height + 60);
    EXPECT_EQ(tdata("N")->columns, 2);
    EXPECT_EQ(tdata("N")->rows, 0);
    ASSERT_NE(col("N", "NK"), nullptr);
    ASSERT_NE(col("N", "NS"), nullptr);
    EXPECT_EQ(col("N", "NK")->flags, OB_FLAG_FIRST_COLUMN);
    ASSERT_NE(n->index_object, nullptr);
    ASSERT_NE(n->priv_object, nullptr);
    EXPECT_EQ(list_file(), "A 1\nN 1\nB 1\n");
    EXPECT_EQ(wstest::read_full("DISPLAY NK,NS FROM N"), Rows{});
    std::vector<std::pair<std::string, int>> made;
    for (DictPriv *p = n->privs; p; p = p->next)
        made.push_back({p->user, p->level});
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0].first, "%DEFAULT");
    EXPECT_EQ(made[1], (std::pair<std::string, int>{"TESTER", PRIV_OWNERSHIP}));
    dismiss();
    // A fresh read of the database shows the same.
    show();
    std::vector<std::pair<std::string, int>> read;
    for (DictPriv *p = rel("N")->privs; p; p = p->next)
        read.push_back({p->user, p->level});
    std::sort(made.begin(), made.end());
    std::sort(read.begin(), read.end());
    EXPECT_EQ(read, made);
    ASSERT_NE(obdict_ob_find_column("N", "NK"), nullptr);
    EXPECT_EQ(obdict_ob_find_column("N", "NK")->key, 1);
}

TEST_F(Objects, ARefusedTableChangesNothing)
{
    wsmgr_ws_set_validation(0);
    const std::string before = snapshot();
    create_on(16, wsdict_dictionary->user_object, {50, 5});
    ObColumnData cols[1] = {column("K", 1, 6, 1)};
    apply<ObTableData>([&](ObTableData &t) {
        safe_strcpy(t.name, "1N", sizeof t.name);
        t.new_columns = cols;
    });
    EXPECT_EQ(wsmgr_ws_enquire_current_object(), nullptr);
    EXPECT_EQ(snapshot(), before);
    dismiss();
}

TEST_F(Objects, ChecksAskTheInterpreterForReservedNames)
{
    ObColumnData cols[2] = {column("K", 1, 6, 1), column("FROM", 0, 4)};
    cols[0].chain = &cols[1];
    struct Case {
        const char *table;
        std::vector<Box> shown;
        int marked;
    };
    for (const Case &c : {Case{"FROM", {{E, 62, 19}, {E, 62, 19}}, -1}, Case{"NEWT", {{E, 62, 19}}, -1}}) {
        SCOPED_TRACE(c.table);
        boxes.clear();
        cols[1].indexed = 0;
        ObTableData t{};
        t.kind = OB_TABLE;
        safe_strcpy(t.name, c.table, sizeof t.name);
        t.new_columns = cols;
        int result = -1;
        obmain_object_class[OB_TABLE].validate(&t, 1, &result);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(boxes, c.shown);
        EXPECT_EQ(cols[1].indexed, c.marked);
        EXPECT_EQ(cols[0].indexed, 0);
    }
    struct ColumnCase {
        const char *name;
        int check, result;
    };
    for (const ColumnCase &c : {ColumnCase{"FROM", 1, 0}, ColumnCase{"FROM", 0, 1}, ColumnCase{"PRICE", 1, 1}}) {
        SCOPED_TRACE(std::string(c.name) + std::to_string(c.check));
        ObColumnData d = column(c.name, 0, 4);
        int result = -1;
        obmain_object_class[OB_COLUMN].validate(&d, c.check, &result);
        EXPECT_EQ(result, c.result);
    }
}

TEST_F(Objects, DeleteRowsClearAndDropFollowTheRowCounts)
{
    QueryObject *a = tab("A");
    EXPECT_EQ(tdata("A")->rows, 3);
    edit(a);
    remove<ObTableData>([](ObTableData &t) {
        t.delete_op = 3;
        safe_strcpy(t.condition, "K>2", sizeof t.condition);
    });
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 8}}));
    EXPECT_EQ(tab("A"), a);
    EXPECT_EQ(tdata("A")->rows, 2);
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM A"), (Rows{{"1"}, {"2"}}));
    // A declined question sends nothing.
    answer = 0;
    qykit::sent().clear();
    remove<ObTableData>([](ObTableData &t) {
        t.delete_op = 3;
        t.condition[0] = '\0';
    });
    EXPECT_EQ(texts(), std::vector<std::string>{});
    EXPECT_EQ(tdata("A")->rows, 2);
    // No condition (or blanks) is every row: the question is Clear's, and
    // so is the command, the table given back after it.
    answer = 1;
    boxes.clear();
    remove<ObTableData>([](ObTableData &t) {
        t.delete_op = 3;
        safe_strcpy(t.condition, "  ", sizeof t.condition);
    });
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 7}}));
    EXPECT_EQ(tdata("A")->rows, 0);
    EXPECT_TRUE(other_can_use("A"));
    ok("SELECT 4 AS K,'FOUR' AS S FROMVAR TO A");
    boxes.clear();
    remove<ObTableData>([](ObTableData &t) { t.delete_op = 2; });
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 7}}));
    EXPECT_EQ(tdata("A")->rows, 0);
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM A"), Rows{});
    EXPECT_TRUE(other_can_use("A"));
    dismiss();

    QueryObject *b = tab("B");
    const int b_y = b->outer.y, a_height = a->outer.height;
    edit(a);
    boxes.clear();
    remove<ObTableData>([](ObTableData &t) { t.delete_op = 1; });
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 2}}));
    EXPECT_EQ(rel("A"), nullptr);
    EXPECT_EQ(wsmgr_ws_enquire_current_object(), nullptr);
    EXPECT_EQ(b->outer.y, b_y - a_height - 60);
    EXPECT_EQ(list_file(), "B 1\n");
    EXPECT_EQ(wstest::read_full("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='A'"), Rows{});
    dismiss();
}

TEST_F(Objects, AlterSendsEachChangeAndReleasesTheTableUnderItsName)
{
    const std::string relatns =
        "DISPLAY %MAXSIZE,SYSINFO(%DLOC,%DNAME,'FIXED'),SYSINFO(%DLOC,%DNAME,'STRUCTURE'),"
        "SYSINFO(%DLOC,%DNAME,'REQMEM') FROM %RELATNS WHERE %RNAME=";
    struct Case {
        const char *what;
        std::function<void(ObTableData &)> change;
        Row stored;  // maximum size, fixed, structure, memory
    };
    const std::vector<Case> cases = {
        {"larger", [](ObTableData &t) { t.size = 200; }, {"200", "0", "1", "1"}},
        {"smaller", [](ObTableData &t) { t.size = 50; }, {"50", "0", "1", "1"}},
        {"memory", [](ObTableData &t) { t.memory = 2; }, {"50", "0", "1", "2"}},
        {"fixed", [](ObTableData &t) { t.extendable = 0; }, {"50", "1", "1", "2"}},
        {"structure", [](ObTableData &t) { t.structure = 2; }, {"50", "1", "2", "2"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        edit(tab("B"));
        apply<ObTableData>([&](ObTableData &t) { c.change(t); });
        dismiss();
        EXPECT_EQ(wstest::read_full(relatns + "'B'"), Rows{c.stored});
        EXPECT_EQ(wstest::read_full("DISPLAY K,S,L FROM B"), (Rows{{"7", "SEVEN", "70"}}));
        EXPECT_TRUE(other_can_use("B"));
    }
    // The location: the table is made again there.
    edit(tab("B"));
    apply<ObTableData>([&](ObTableData &t) { safe_strcpy(t.location, "AREA1", sizeof t.location); });
    dismiss();
    EXPECT_EQ(wstest::read_full("DISPLAY %DLOC FROM %RELATNS WHERE %RNAME='B'"), (Rows{{"AREA1"}}));
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L FROM B"), (Rows{{"7", "SEVEN", "70"}}));
    EXPECT_TRUE(other_can_use("B"));
    // A rename to a name the database has is refused: B keeps its name,
    // everything stays as it was and B is left unlocked.
    const std::string before = snapshot();
    edit(tab("B"));
    apply<ObTableData>([&](ObTableData &t) { safe_strcpy(t.name, "A", sizeof t.name); });
    EXPECT_EQ(snapshot(), before);
    EXPECT_STREQ(tdata("B")->name, "B");
    EXPECT_STREQ(rel("B")->name, "B");
    EXPECT_TRUE(other_can_use("B"));
    // Renamed: the list, the columns and the bound objects follow.
    apply<ObTableData>([&](ObTableData &t) { safe_strcpy(t.name, "C", sizeof t.name); });
    dismiss();
    ASSERT_NE(tab("C"), nullptr);
    EXPECT_EQ(rel("B"), nullptr);
    EXPECT_EQ(list_file(), "A 1\nC 1\n");
    EXPECT_STREQ(static_cast<ObColumnData *>(col("C", "L")->kind_data)->table, "C");
    EXPECT_STREQ(static_cast<ObIndexData *>(rel("C")->index_object->kind_data)->table, "C");
    EXPECT_STREQ(static_cast<ObPrivilegeData *>(rel("C")->priv_object->kind_data)->table, "C");
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM C"), (Rows{{"7"}}));
    EXPECT_TRUE(other_can_use("C"));
}

// ---- columns ----------------------------------------------------------------------------------

TEST_F(Objects, ColumnsAddedOnDismissAndARefusedAdditionChangesNothing)
{
    QueryObject *b = tab("B");
    create_on(15, b);
    apply<ObColumnData>([](ObColumnData &c) { c = column("N1", 1, 4); });
    apply<ObColumnData>([](ObColumnData &c) { c = column("N2", 0, 30, 0, 1); });
    EXPECT_EQ(obdict_ob_find_column("B", "N1"), nullptr);
    dismiss();
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 3}}));
    ASSERT_NE(col("B", "N1"), nullptr);
    ASSERT_NE(col("B", "N2"), nullptr);
    EXPECT_EQ(tdata("B")->columns, 5);
    QueryObject *n2 = col("B", "N2");
    EXPECT_EQ(b->outer.width, n2->outer.x + n2->outer.width - b->outer.x);
    EXPECT_EQ(wstest::read_full("DISPLAY K,N1,N2 FROM B"), (Rows{{"7", "0", "NULL"}}));
    EXPECT_TRUE(other_can_use("B"));

    // An item the database cannot make refuses the addition.
    const std::string before = snapshot();
    create_on(15, b);
    wsmgr_ws_set_validation(0);
    apply<ObColumnData>([](ObColumnData &c) { c = column("9X", 1, 4); });
    dismiss();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L,N1,N2 FROM B"), (Rows{{"7", "SEVEN", "70", "0", "NULL"}}));
}

TEST_F(Objects, DroppingColumnsKeepsAKeyAndShiftsTheRowsLeft)
{
    ok("CREATE D[10] AS S,K PRIMARY,L NULL");
    ok("SELECT 'S' AS S,1 AS K,2 AS L FROMVAR TO D");
    show();
    QueryObject *s = col("D", "S"), *k = col("D", "K"), *l = col("D", "L");
    ASSERT_NE(s, nullptr);
    const ObBox first = s->outer;
    const int k_width = k->outer.width, l_right = l->outer.x + l->outer.width;
    edit(s);
    remove<ObColumnData>([](ObColumnData &) {});
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 4}}));
    EXPECT_EQ(col("D", "S"), nullptr);
    EXPECT_EQ(obdict_ob_find_column("D", "S"), nullptr);
    dismiss();
    // The next row is the first now: its left edge and 2 pixels more.
    EXPECT_EQ(k->flags & OB_FLAG_FIRST_COLUMN, OB_FLAG_FIRST_COLUMN);
    EXPECT_EQ(k->outer.x, first.x);
    EXPECT_EQ(k->outer.width, k_width + 2);
    EXPECT_EQ(l->outer.x, k->outer.x + k->outer.width);
    EXPECT_LT(l->outer.x + l->outer.width, l_right);
    EXPECT_EQ(tab("D")->outer.width, l->outer.x + l->outer.width - tab("D")->outer.x);
    EXPECT_EQ(tdata("D")->columns, 2);
    EXPECT_EQ(wstest::read_full("DISPLAY K,L FROM D"), (Rows{{"1", "2"}}));

    // The only key, then the last column, are refused and kept.
    const std::string before = snapshot();
    boxes.clear();
    edit(k);
    remove<ObColumnData>([](ObColumnData &) {});
    dismiss();
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 4}, {E, 62, 17}}));
    EXPECT_EQ(snapshot(), before);
    ok("CREATE E[10] AS K PRIMARY");
    show();
    const std::string before_e = snapshot();
    boxes.clear();
    edit(col("E", "K"));
    remove<ObColumnData>([](ObColumnData &) {});
    dismiss();
    EXPECT_EQ(boxes, (std::vector<Box>{{E, 62, 16}}));
    EXPECT_EQ(snapshot(), before_e);
    EXPECT_TRUE(other_can_use("E"));
    EXPECT_TRUE(other_can_use("D"));
}

TEST_F(Objects, ARowCountThatFailsAsksAsForATableWithRows)
{
    // The count is asked of a name the dictionary no longer matches: the
    // question must still come.
    ok("CREATE F[10] AS K PRIMARY,S");
    show();
    QueryObject *s = col("F", "S");
    ASSERT_NE(s, nullptr);
    ok("RENAME F AS G");
    answer = 0;
    qykit::sent().clear();
    edit(s);
    remove<ObColumnData>([](ObColumnData &) {});
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 4}}));
    EXPECT_EQ(col("F", "S"), s);
    for (const std::string &t : texts())
        EXPECT_EQ(t.find("USE"), std::string::npos) << t;
    dismiss();
}

TEST_F(Objects, ColumnAlterRenamesRealiasesAndRetypes)
{
    // The only key cannot lose its key flag; S's item is shared with A.
    const std::string before = snapshot();
    edit(col("B", "K"));
    apply<ObColumnData>([](ObColumnData &c) { c.key = 0; });
    EXPECT_EQ(boxes, (std::vector<Box>{{E, 62, 17}}));
    EXPECT_EQ(snapshot(), before);
    dismiss();
    QueryObject *s = col("B", "S");
    boxes.clear();
    edit(s);
    apply<ObColumnData>([](ObColumnData &c) { c.length = 20; });
    EXPECT_EQ(boxes, (std::vector<Box>{{E, 62, 18}}));
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(other_can_use("B"));
    // Rename: an item of the new name, A keeps the old one.
    boxes.clear();
    apply<ObColumnData>([](ObColumnData &c) {
        c.length = 10;
        safe_strcpy(c.name, "TITLE", sizeof c.name);
    });
    EXPECT_EQ(boxes, std::vector<Box>{});
    EXPECT_EQ(col("B", "TITLE"), s);
    EXPECT_EQ(obdict_ob_find_column("B", "S"), nullptr);
    ASSERT_NE(wsdict_find_item("S"), nullptr);
    EXPECT_EQ(wstest::read_full("DISPLAY TITLE FROM B"), (Rows{{"SEVEN"}}));
    // The alias alone.
    apply<ObColumnData>([](ObColumnData &c) { safe_strcpy(c.alias, "TT", sizeof c.alias); });
    ASSERT_NE(wsdict_find_item("TITLE"), nullptr);
    EXPECT_STREQ(wsdict_find_item("TITLE")->alias, "TT");
    dismiss();
    // The type: L from LONG to STRING(20), the data converted, the row
    // as wide as twenty characters.
    QueryObject *l = col("B", "L");
    const int l_width = l->outer.width;
    edit(l);
    apply<ObColumnData>([](ObColumnData &c) {
        c.type = 0;
        c.length = 20;
    });
    EXPECT_EQ(wstest::read_full("DISPLAY L FROM B"), (Rows{{"70"}}));
    EXPECT_EQ(wsdict_find_item("L")->type, 0);
    EXPECT_EQ(static_cast<ObColumnData *>(l->kind_data)->length, 20);
    EXPECT_EQ(l->outer.width, 20 * 5 + 2);
    EXPECT_NE(l->outer.width, l_width);
    EXPECT_EQ(tab("B")->outer.width, l->outer.x + l->outer.width - tab("B")->outer.x);
    dismiss();
    EXPECT_TRUE(other_can_use("B"));
    show();
    ASSERT_NE(obdict_ob_find_column("B", "TITLE"), nullptr);
    EXPECT_EQ(obdict_ob_find_column("B", "L")->item->type, 0);
}

TEST_F(Objects, ATableLockedElsewhereIsNotChanged)
{
    ok("USE B EXCLUSIVE");
    EXPECT_FALSE(other_can_use("B"));
    ok("UNUSE B");
    ok("CREATE INDEX B BY L");
    show();
    const std::string before = snapshot();
    const int other = hold("B");
    ASSERT_GE(other, 0);
    char keys[] = "L";
    struct Case {
        const char *what;
        std::function<void()> act;
    };
    const std::vector<Case> cases = {
        {"index dropped",
         [&] {
             edit(rel("B")->index_object);
             remove<ObIndexData>([&](ObIndexData &x) {
                 x.keys = keys;
                 x.number = rel("B")->indexes->number;
             });
         }},
        {"index made",
         [&] {
             edit(rel("B")->index_object);
             apply<ObIndexData>([&](ObIndexData &x) { x.keys = keys; });
         }},
        {"table altered", [&] {
             edit(tab("B"));
             apply<ObTableData>([](ObTableData &t) { t.size = 300; });
         }},
        {"column altered", [&] {
             edit(col("B", "L"));
             apply<ObColumnData>([](ObColumnData &c) { c.null = 0; });
         }},
        {"column dropped", [&] {
             edit(col("B", "L"));
             remove<ObColumnData>([](ObColumnData &) {});
         }},
        {"table cleared", [&] {
             edit(tab("B"));
             remove<ObTableData>([](ObTableData &t) { t.delete_op = 2; });
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        qykit::sent().clear();
        c.act();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back(), (Box{E, 62, 15}));
        for (const std::string &t : texts())
            EXPECT_TRUE(t.rfind("USE B", 0) == 0 || t.rfind("DISPLAY", 0) == 0 || t.rfind("PRINT", 0) == 0) << t;
        dismiss();
        EXPECT_EQ(snapshot(), before);
    }
    doz_term(other);
    EXPECT_EQ(wstest::read_full("DISPLAY K,S,L FROM B"), (Rows{{"7", "SEVEN", "70"}}));
}

// ---- indexes, users, privileges ------------------------------------------------------------------

TEST_F(Objects, AnIndexIsCreatedMarkedAndDropped)
{
    DictRelation *b = rel("B");
    edit(b->index_object);
    char keys[] = "L DESC";
    apply<ObIndexData>([&](ObIndexData &x) { x.keys = keys; });
    ASSERT_NE(b->indexes, nullptr);
    const int number = b->indexes->number;
    EXPECT_GT(number, 0);
    EXPECT_EQ(static_cast<ObColumnData *>(col("B", "L")->kind_data)->indexed, 1);
    EXPECT_EQ(static_cast<ObColumnData *>(col("B", "S")->kind_data)->indexed, 0);
    EXPECT_EQ(static_cast<ObIndexData *>(b->index_object->kind_data)->indexes, b->indexes);
    EXPECT_EQ(wstest::read_full("DISPLAY %RNAME FROM %INDEXES WHERE %RNAME='B'").size(), 1u);
    remove<ObIndexData>([&](ObIndexData &x) {
        x.keys = keys;
        x.number = number;
    });
    EXPECT_EQ(boxes, (std::vector<Box>{{C, 63, 1}}));
    EXPECT_EQ(b->indexes, nullptr);
    EXPECT_EQ(b->index_object != nullptr, true);
    EXPECT_EQ(static_cast<ObColumnData *>(col("B", "L")->kind_data)->indexed, 0);
    EXPECT_EQ(wstest::read_full("DISPLAY %RNAME FROM %INDEXES WHERE %RNAME='B'"), Rows{});
    dismiss();
    EXPECT_TRUE(other_can_use("B"));
}

TEST_F(Objects, UsersAreCreatedGrantedAndDropped)
{
    wsdict_db_exclusive = 1;
    QueryObject *u = wsdict_dictionary->user_object;
    ASSERT_NE(u, nullptr);
    edit(u);
    apply<ObUserData>([](ObUserData &d) {
        safe_strcpy(d.name, "ANNE", sizeof d.name);
        safe_strcpy(d.password, "PW", sizeof d.password);
        d.level = DBPRIV_SELECT;
    });
    ASSERT_NE(obdict_ob_find_user("ANNE"), nullptr);
    EXPECT_EQ(static_cast<ObUserData *>(u->kind_data)->name[0], '\0');
    apply<ObUserData>([](ObUserData &d) {
        safe_strcpy(d.name, "ANNE", sizeof d.name);
        d.level = DBPRIV_CREATE;
    });
    EXPECT_EQ(obdict_ob_find_user("ANNE")->access, DBPRIV_CREATE);
    EXPECT_EQ(wstest::read_full("DISPLAY %ACCESS FROM %USERS WHERE %UNAME='ANNE'"), (Rows{{"1"}}));
    qykit::sent().clear();
    apply<ObUserData>([](ObUserData &d) {
        safe_strcpy(d.name, "TESTER", sizeof d.name);
        d.level = DBPRIV_SELECT;
    });
    EXPECT_EQ(texts(), std::vector<std::string>{});
    EXPECT_EQ(obdict_ob_find_user("TESTER")->access, DBPRIV_DBA);
    remove<ObUserData>([](ObUserData &d) { safe_strcpy(d.name, "ANNE", sizeof d.name); });
    EXPECT_EQ(obdict_ob_find_user("ANNE"), nullptr);
    EXPECT_EQ(wstest::read_full("DISPLAY %UNAME FROM %USERS WHERE %UNAME='ANNE'"), Rows{});
    EXPECT_EQ(wsdict_dictionary->user_object, u);
    dismiss();
}

TEST_F(Objects, PrivilegesAreGrantedAndRevoked)
{
    ok("CREATE USER BEN, 'PW' WITH 'SELECT'");
    show();
    DictRelation *a = rel("A");
    edit(a->priv_object);
    apply<ObPrivilegeData>([](ObPrivilegeData &p) {
        safe_strcpy(p.user, "BEN", sizeof p.user);
        p.level = PRIV_WRITE;
        safe_strcpy(p.restriction, "K>1", sizeof p.restriction);
    });
    DictPriv *ben = obdict_ob_find_priv("BEN", "A");
    ASSERT_NE(ben, nullptr);
    EXPECT_EQ(ben->level, PRIV_WRITE);
    EXPECT_STREQ(ben->restriction, "K>1");
    apply<ObPrivilegeData>([](ObPrivilegeData &p) {
        safe_strcpy(p.user, "BEN", sizeof p.user);
        p.level = PRIV_READ;
    });
    EXPECT_EQ(obdict_ob_find_priv("BEN", "A")->level, PRIV_READ);
    EXPECT_EQ(wstest::read_full("DISPLAY %PRIV FROM %PRIVS WHERE %RNAME='A' AND %UNAME='BEN'"), (Rows{{"1"}}));
    remove<ObPrivilegeData>([](ObPrivilegeData &p) { safe_strcpy(p.user, "BEN", sizeof p.user); });
    EXPECT_EQ(obdict_ob_find_priv("BEN", "A"), nullptr);
    // Level 7 goes to the database but makes no entry.
    ok("CREATE USER CARL, 'PW' WITH 'SELECT'");
    ObUserData carl{};
    safe_strcpy(carl.name, "CARL", sizeof carl.name);
    obdict_ob_create_user(&carl);
    apply<ObPrivilegeData>([](ObPrivilegeData &p) {
        safe_strcpy(p.user, "CARL", sizeof p.user);
        p.level = PRIV_DEFAULT;
    });
    EXPECT_EQ(obdict_ob_find_priv("CARL", "A"), nullptr);
    // Default on an existing entry takes the entry away, as the database
    // does.
    apply<ObPrivilegeData>([](ObPrivilegeData &p) {
        safe_strcpy(p.user, "BEN", sizeof p.user);
        p.level = PRIV_READ;
    });
    ASSERT_NE(obdict_ob_find_priv("BEN", "A"), nullptr);
    apply<ObPrivilegeData>([](ObPrivilegeData &p) {
        safe_strcpy(p.user, "BEN", sizeof p.user);
        p.level = PRIV_DEFAULT;
    });
    EXPECT_EQ(obdict_ob_find_priv("BEN", "A"), nullptr);
    EXPECT_EQ(wstest::read_full("DISPLAY %PRIV FROM %PRIVS WHERE %RNAME='A' AND %UNAME='BEN'"), Rows{});
    // An unknown user: nothing is sent.
    qykit::sent().clear();
    apply<ObPrivilegeData>([](ObPrivilegeData &p) {
        safe_strcpy(p.user, "NOBODY", sizeof p.user);
        p.level = PRIV_READ;
    });
    EXPECT_EQ(texts(), std::vector<std::string>{});
    EXPECT_EQ(obdict_ob_find_priv("NOBODY", "A"), nullptr);
    dismiss();
}

}  // namespace
