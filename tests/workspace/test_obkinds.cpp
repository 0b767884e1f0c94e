// The expression, condition, statistic, sort, group and join objects
// through the object manager, headless: a stand-in dialog whose setval and
// getval copy the kind data and whose reference procedure records the
// picks, recording interpreter checks, and the boxes seen.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlmain.h"
#include "obcheck.h"
#include "obdict.h"
#include "obmain.h"
#include "qybuild.h"
#include "wsdict.h"
#include "wsevent.h"
#include "wsmgr.h"
#include "wsobjmgr.h"

#include "vxcat.h"
#include "vxutil.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

int fake_height() { return 10; }
int fake_width(const char *, int length) { return 5 * length; }
const ObMetrics fake_metrics{fake_height, fake_width};
void no_pause() {}
void no_bell() {}

// ---- boxes and checks -------------------------------------------------------------------------

struct Seen {
    int box, set, number;
};
std::vector<Seen> seen;
void observe(int box, int set, int number, const std::string &) { seen.push_back({box, set, number}); }
std::string boxes()
{
    std::string s;
    for (const Seen &b : seen)
        s += (b.box == OB_BOX_ERROR ? "error " : "warning ") + std::to_string(b.set) + "," + std::to_string(b.number) + " ";
    return s;
}

std::string checks_made;
std::map<std::string, int> answers;  // by check; 1 when not named
int record(const char *check, const char *text)
{
    checks_made += std::string(check) + ":" + text + " ";
    auto it = answers.find(check);
    return it == answers.end() ? 1 : it->second;
}
int check_expression(const char *t) { return record("expression", t); }
int check_condition(const char *t) { return record("condition", t); }
int check_statistic(const char *t) { return record("statistic", t); }
int check_sort(const char *t) { return record("sort", t); }
int check_group(const char *t) { return record("group", t); }
int check_join(const char *t) { return record("join", t); }
const ObChecks recording_checks{check_expression, check_condition, check_statistic,
                                check_sort,       check_group,     check_join};

// ---- the stand-in dialog ---------------------------------------------------------------------------

struct StandIn {
    std::vector<unsigned char> data;  // the kind data the dialog shows
    std::vector<void *> picks;
} standin;

int si_popup(DialogRecord *, int, int, int, int) { return 0; }
int si_popdown(DialogRecord *) { return 0; }
int si_setval(DialogRecord *rec, void *value)
{
    const int size = obmain_kind_data_size(rec->object_class);
    standin.data.assign(static_cast<unsigned char *>(value), static_cast<unsigned char *>(value) + size);
    return 0;
}
int si_getval(DialogRecord *rec, void *value)
{
    const size_t size = static_cast<size_t>(obmain_kind_data_size(rec->object_class));
    if (standin.data.size() == size)
        memcpy(value, standin.data.data(), size);
    return 0;
}
int si_reference(DialogRecord *, void *object)
{
    standin.picks.push_back(object);
    return 0;
}

// Tools (dialog ids) by kind.
constexpr int EXPRESSION_TOOL = 8, CONDITION_TOOL = 9, STATISTIC_TOOL = 10, SORT_TOOL = 11, GROUP_TOOL = 12,
              JOIN_TOOL = 13;

class Kinds : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const char *b = getenv("VX_BUILD_DIR");
        obmain_ob_nlsfd = nl_catopen((std::string(b ? b : ".") + "/messages/SUN4SOLARIS/C/vostrelane.cat").c_str(), 0);
    }
    static void TearDownTestSuite()
    {
        if (obmain_ob_nlsfd != NL_NO_CATALOGUE)
            nl_catclose(obmain_ob_nlsfd);
        obmain_ob_nlsfd = NL_NO_CATALOGUE;
    }
    void SetUp() override
    {
        wsdict_ws_init_dictionary();
        safe_strcpy(wsdict_dictionary->user, "ME", 30);
        obmain_initialise_classes();
        obmain_set_metrics(&fake_metrics);
        wsevent_ws_set_bell(no_bell);
        wsevent_ws_set_interaction(0);
        wsmgr_ws_set_flash_pause(no_pause);
        dlmain_clear_dialogs();
        wsmgr_workspace_manager_init(nullptr);
        wsmgr_ws_reset_manager();
        wsmgr_ws_set_validation(1);
        obcheck_set_checks(&recording_checks);
        obcheck_set_box_observer(observe);
        seen.clear();
        checks_made.clear();
        answers.clear();
        standin = StandIn{};
        const int kinds[] = {OB_EXPRESSION, OB_CONDITION, OB_STATISTIC, OB_SORT, OB_GROUP, OB_JOIN};
        for (int kind : kinds) {
            DialogRecord &r = dlmain_dialogs[static_cast<size_t>(obmain_object_class[kind].dialog_id)];
            r.object_class = kind;
            r.popup = si_popup;
            r.popdown = si_popdown;
            r.setval = si_setval;
            r.getval = si_getval;
            r.reference = si_reference;
            r.reference_mask = kind == OB_JOIN ? 1u << OB_COLUMN : 1u << OB_COLUMN | 1u << OB_VARIABLE;
        }
    }
    void TearDown() override
    {
        int done = 0;
        if (DialogRecord *r = current())
            r->dismiss(r, &done);
        obcheck_set_checks(nullptr);
        obcheck_set_box_observer(nullptr);
        wsdict_ws_clear_dictionary(0);
        dlmain_clear_dialogs();
        obmain_set_metrics(nullptr);
    }

    DialogRecord *current()
    {
        const int id = wsmgr_ws_enquire_current_dialog_id();
        return id >= 0 ? &dlmain_dialogs[static_cast<size_t>(id)] : nullptr;
    }
    template <class T>
    T &shown()
    {
        EXPECT_EQ(standin.data.size(), sizeof(T));
        return *reinterpret_cast<T *>(standin.data.data());
    }
    // The text field that follows the kind in every record here.
    void type(const char *text) { safe_strcpy(reinterpret_cast<char *>(standin.data.data()) + sizeof(int), text, 200); }
    bool open_create(int tool, ObPoint at = {200, 200})
    {
        wsmgr_ws_perform_create(tool, &at, nullptr);
        return wsmgr_ws_enquire_current_dialog_id() == tool;
    }
    bool open_edit(QueryObject *o)
    {
        const ObPoint at{0, 0};
        wsmgr_ws_perform_edit(o, &at);
        return wsmgr_ws_enquire_current_dialog_id() >= 0;
    }
    int apply()
    {
        int done = 0;
        DialogRecord *r = current();
        if (r)
            r->apply(r, &done);
        return done;
    }
    void dismiss()
    {
        int done = 0;
        if (DialogRecord *r = current())
            r->dismiss(r, &done);
    }
    // A new object of the tool's kind with the text; none when refused.
    QueryObject *create(int tool, const char *text, int function = 1)
    {
        if (!open_create(tool))
            return nullptr;
        type(text);
        if (tool == STATISTIC_TOOL)
            shown<ObStatisticData>().function = function;
        apply();
        QueryObject *o = wsmgr_ws_enquire_current_object();
        dismiss();
        return o;
    }
    int count(int kind)
    {
        int n = 0;
        for (QueryObject *o = *wsdict_kind_list(kind); o; o = o->next)
            n++;
        return n;
    }

    // Tables, their table objects and column objects.
    DictRelation *relation(const char *name, ObBox box)
    {
        auto *r = static_cast<DictRelation *>(vx_malloc(sizeof(DictRelation), 1));
        memset(r, 0, sizeof *r);
        safe_strcpy(r->name, name, sizeof r->name - 1);
        DictRelation **tail = &wsdict_dictionary->relations;
        while (*tail)
            tail = &(*tail)->next;
        *tail = r;
        if (box.width) {
            QueryObject *t = object(OB_TABLE, box);
            safe_strcpy(static_cast<ObTableData *>(t->kind_data)->name, name, 8);
            r->table_object = t;
        }
        return r;
    }
    QueryObject *column(DictRelation *r, const char *name)
    {
        ObColumnData d{};
        d.kind = OB_COLUMN;
        safe_strcpy(d.name, name, sizeof d.name - 1);
        safe_strcpy(d.table, r->name, sizeof d.table - 1);
        DictColumn *c = obdict_ob_create_column(&d);
        QueryObject *o = object(OB_COLUMN, {0, 0, 10, 10});
        *static_cast<ObColumnData *>(o->kind_data) = d;
        c->object = o;
        return o;
    }
    QueryObject *variable(const char *name)
    {
        QueryObject *v = object(OB_VARIABLE, {0, 0, 10, 10});
        safe_strcpy(static_cast<ObVariableData *>(v->kind_data)->name, name, 15);
        wsdict_ws_link_object(v);
        return v;
    }
    static QueryObject *object(int kind, ObBox box)
    {
        QueryObject *o = nullptr;
        obmain_std_create_object(&o, "", nullptr, obmain_kind_data_size(kind), nullptr, nullptr, kind);
        o->outer = o->layout = {box.x - 2, box.y - 2, box.width + 4, box.height + 4};
        o->select = o->drop = box;
        o->anchor_x = box.x;
        o->anchor_y = box.y;
        return o;
    }
    std::vector<std::pair<QueryObject *, QueryObject *>> assignments()
    {
        std::vector<std::pair<QueryObject *, QueryObject *>> out;
        for (ObAssignment *a = wsdict_dictionary->assignments; a; a = a->next)
            out.emplace_back(a->variable, a->assigned);
        return out;
    }
};

const char *text_of(const QueryObject *o) { return obmain_ob_kind_text(o); }

// ---- refusals ---------------------------------------------------------------------------------

TEST_F(Kinds, OnlyOneConditionSortGroupAndJoinWhileTheOneThereStaysEditable)
{
    struct Case {
        int tool, kind, refusal;  // 0: any number may stand
    };
    const Case cases[] = {
        {CONDITION_TOOL, OB_CONDITION, 1}, {SORT_TOOL, OB_SORT, 4},       {GROUP_TOOL, OB_GROUP, 2},
        {JOIN_TOOL, OB_JOIN, 13},          {EXPRESSION_TOOL, OB_EXPRESSION, 0}, {STATISTIC_TOOL, OB_STATISTIC, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        seen.clear();
        QueryObject *first = create(c.tool, "A");
        ASSERT_NE(first, nullptr);
        const bool opened = open_create(c.tool);
        EXPECT_EQ(opened, c.refusal == 0);
        EXPECT_EQ(boxes(), c.refusal ? "error 62," + std::to_string(c.refusal) + " " : "");
        dismiss();
        EXPECT_EQ(count(c.kind), 1);
        // The one there still opens, and an Apply changes it.
        seen.clear();
        ASSERT_TRUE(open_edit(first));
        type("B");
        EXPECT_EQ(apply(), 1);
        dismiss();
        EXPECT_STREQ(text_of(first), "B");
        EXPECT_EQ(boxes(), "");
    }
}

TEST_F(Kinds, AnArrayStatisticAndAGroupExcludeEachOtherWhateverTheCheckFlag)
{
    for (int check : {1, 0}) {
        SCOPED_TRACE(check);
        wsmgr_ws_set_validation(check);
        // A group first: an array statistic is refused before any check,
        // another function is not.
        QueryObject *group = create(GROUP_TOOL, "DEPT");
        ASSERT_NE(group, nullptr);
        seen.clear();
        checks_made.clear();
        ASSERT_TRUE(open_create(STATISTIC_TOOL));
        type("SALARY");
        shown<ObStatisticData>().function = 7;
        EXPECT_EQ(apply(), 0);
        EXPECT_EQ(boxes(), "error 62,5 ");
        EXPECT_EQ(checks_made, "");
        EXPECT_EQ(count(OB_STATISTIC), 0);
        shown<ObStatisticData>().function = 1;
        EXPECT_EQ(apply(), 1);
        dismiss();
        EXPECT_EQ(count(OB_STATISTIC), 1);
        // An existing statistic may not become an array one either.
        QueryObject *stat = *wsdict_kind_list(OB_STATISTIC);
        ASSERT_TRUE(open_edit(stat));
        shown<ObStatisticData>().function = 7;
        seen.clear();
        EXPECT_EQ(apply(), 0);
        EXPECT_EQ(boxes(), "error 62,5 ");
        EXPECT_EQ(static_cast<ObStatisticData *>(stat->kind_data)->function, 1);
        dismiss();
        wsdict_ws_clear_dictionary_objects();

        // An array statistic first: the group tool is refused.
        ASSERT_NE(create(STATISTIC_TOOL, "SALARY", 7), nullptr);
        seen.clear();
        EXPECT_FALSE(open_create(GROUP_TOOL));
        EXPECT_EQ(boxes(), "error 62,3 ");
        EXPECT_EQ(count(OB_GROUP), 0);
        wsdict_ws_clear_dictionary_objects();
    }
}

// ---- checks ------------------------------------------------------------------------------------

TEST_F(Kinds, ValidateAsksTheInterpreterOnlyWithTheCheckFlag)
{
    struct Case {
        int kind;
        int function;
        const char *failing;  // the check that answers no, or ""
        int check;
        int result;
        const char *checks;
        const char *box;
    };
    const Case cases[] = {
        {OB_EXPRESSION, 0, "", 0, 1, "", ""},
        {OB_EXPRESSION, 0, "", 1, 1, "expression:T ", ""},
        {OB_EXPRESSION, 0, "expression", 1, 0, "expression:T ", "error 62,21 "},
        {OB_EXPRESSION, 0, "expression", 0, 1, "", ""},
        {OB_CONDITION, 0, "condition", 1, 0, "condition:T ", "error 62,20 "},
        {OB_CONDITION, 0, "condition", 0, 1, "", ""},
        {OB_SORT, 0, "sort", 1, 0, "sort:T ", "error 62,23 "},
        {OB_SORT, 0, "", 1, 1, "sort:T ", ""},
        {OB_GROUP, 0, "group", 1, 0, "group:T ", "error 62,22 "},
        {OB_GROUP, 0, "group", 0, 1, "", ""},
        {OB_JOIN, 0, "join", 1, 0, "join:T ", "error 62,24 "},
        {OB_JOIN, 0, "", 1, 1, "join:T ", ""},
        // A statistic checks its base, and function 7 its statistic
        // expression after a base that passed.
        {OB_STATISTIC, 1, "", 1, 1, "expression:T ", ""},
        {OB_STATISTIC, 7, "", 1, 1, "expression:T statistic:S ", ""},
        {OB_STATISTIC, 7, "expression", 1, 0, "expression:T ", "error 62,21 "},
        {OB_STATISTIC, 7, "statistic", 1, 0, "expression:T statistic:S ", "error 62,21 "},
        {OB_STATISTIC, 7, "statistic", 0, 1, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " function " << c.function << " failing " << c.failing
                                        << " check " << c.check);
        seen.clear();
        checks_made.clear();
        answers.clear();
        if (c.failing[0])
            answers[c.failing] = 0;
        const ObClass &k = obmain_object_class[c.kind];
        void *value = nullptr;
        k.newval(&value, nullptr);
        safe_strcpy(static_cast<char *>(value) + sizeof(int), "T", 10);
        if (c.kind == OB_STATISTIC) {
            static_cast<ObStatisticData *>(value)->function = c.function;
            safe_strcpy(static_cast<ObStatisticData *>(value)->statistic, "S", 10);
        }
        int result = -1;
        k.validate(value, c.check, &result);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(checks_made, c.checks);
        EXPECT_EQ(boxes(), c.box);
    }
}

TEST_F(Kinds, AnEmptyTextCreatesNothingAndChangesNothing)
{
    for (int tool : {EXPRESSION_TOOL, CONDITION_TOOL, STATISTIC_TOOL, SORT_TOOL, GROUP_TOOL, JOIN_TOOL}) {
        SCOPED_TRACE(tool);
        const int kind = dlmain_dialogs[static_cast<size_t>(tool)].object_class;
        ASSERT_TRUE(open_create(tool));
        type("");
        EXPECT_EQ(apply(), 1);
        EXPECT_EQ(wsmgr_ws_enquire_current_object(), nullptr);
        dismiss();
        EXPECT_EQ(count(kind), 0);

        QueryObject *o = create(tool, "KEEP");
        ASSERT_NE(o, nullptr);
        const ObBox before = o->outer;
        ASSERT_TRUE(open_edit(o));
        type("");
        apply();
        dismiss();
        EXPECT_STREQ(text_of(o), "KEEP");
        EXPECT_EQ(o->outer.width, before.width);
    }
    EXPECT_EQ(boxes(), "");
}

// ---- labels ------------------------------------------------------------------------------------

TEST_F(Kinds, TheStatisticsLabelFollowsItsFunction)
{
    // 5 pixels a character and 6 more: the label is the function's name,
    // a blank and the base text.
    QueryObject *s = create(STATISTIC_TOOL, "X", 1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->select.width, 5 * static_cast<int>(strlen("AVERAGE X")) + 6);
    // The label's word is the aggregate the query is built with (function
    // 7 collects an array): every function, in an order that changes the
    // label's width at each step.
    for (int function : {2, 7, 6, 3, 5, 4, 1}) {
        SCOPED_TRACE(function);
        const char *word = function == 7 ? "ARRAY" : qybuild_aggregate_word(function);
        ASSERT_NE(word, nullptr);
        EXPECT_STREQ(obmain_ob_message(function + 2), word);
        ASSERT_TRUE(open_edit(s));
        shown<ObStatisticData>().function = function;
        EXPECT_EQ(apply(), 1);
        dismiss();
        const std::string label = std::string(word) + " X";
        EXPECT_EQ(s->select.width, 5 * static_cast<int>(label.size()) + 6);
        EXPECT_EQ(s->outer.width, s->select.width + 4);
    }
}

// ---- assignments ---------------------------------------------------------------------------------

TEST_F(Kinds, AnExpressionOrStatisticIsAssignedToThePickedVariableOfItsName)
{
    for (int tool : {EXPRESSION_TOOL, STATISTIC_TOOL}) {
        SCOPED_TRACE(tool);
        QueryObject *v1 = variable("V1");
        QueryObject *v2 = variable("V2");
        auto set_name = [&](const char *name) {
            char *field = tool == EXPRESSION_TOOL ? shown<ObExpressionData>().name : shown<ObStatisticData>().name;
            safe_strcpy(field, name, 12);
        };
        // Named but not picked: no assignment.
        ASSERT_TRUE(open_create(tool));
        type("A");
        set_name("V1");
        apply();
        dismiss();
        EXPECT_TRUE(assignments().empty());
        // Named and picked.
        ASSERT_TRUE(open_create(tool));
        wsmgr_ws_perform_reference(v2);
        wsmgr_ws_perform_reference(v1);
        type("B");
        set_name("V1");
        apply();
        QueryObject *o = wsmgr_ws_enquire_current_object();
        dismiss();
        using Pairs = std::vector<std::pair<QueryObject *, QueryObject *>>;
        EXPECT_EQ(assignments(), (Pairs{{v1, o}}));
        // An edit with nothing picked keeps it.
        ASSERT_TRUE(open_edit(o));
        set_name("V2");
        apply();
        dismiss();
        EXPECT_EQ(assignments(), (Pairs{{v1, o}}));
        // An edit that picks the other variable moves the assignment.
        ASSERT_TRUE(open_edit(o));
        wsmgr_ws_perform_reference(v2);
        set_name("V2");
        apply();
        dismiss();
        EXPECT_EQ(assignments(), (Pairs{{v2, o}}));
        wsdict_ws_clear_dictionary_objects();
        wsdict_ws_clear_dictionary(0);
        wsdict_ws_init_dictionary();
    }
}

// ---- joins -------------------------------------------------------------------------------------

class Joins : public Kinds {
protected:
    DictRelation *a = nullptr, *b = nullptr, *c = nullptr, *listed = nullptr;
    QueryObject *a1 = nullptr, *a2 = nullptr, *a3 = nullptr, *b1 = nullptr, *c1 = nullptr, *x1 = nullptr;
    void SetUp() override
    {
        Kinds::SetUp();
        a = relation("A", {10, 10, 60, 14});
        b = relation("B", {300, 400, 60, 14});
        c = relation("C", {500, 20, 60, 14});
        listed = relation("X", {0, 0, 0, 0});  // not on the canvas
        a1 = column(a, "A1");
        a2 = column(a, "A2");
        a3 = column(a, "A3");
        b1 = column(b, "B1");
        c1 = column(c, "C1");
        x1 = column(listed, "X1");
    }
    QueryObject *join(const std::vector<QueryObject *> &picks, QueryObject *existing = nullptr)
    {
        if (existing ? !open_edit(existing) : !open_create(JOIN_TOOL, {200, 200}))
            return nullptr;
        for (QueryObject *p : picks)
            wsmgr_ws_perform_reference(p);
        type(existing ? "A.A1 = B.B1 AND 1 = 1" : "A.A1 = B.B1");
        apply();
        QueryObject *o = wsmgr_ws_enquire_current_object();
        dismiss();
        return o;
    }
    static QueryObject *first(QueryObject *j) { return static_cast<ObJoinData *>(j->kind_data)->first; }
    static QueryObject *second(QueryObject *j) { return static_cast<ObJoinData *>(j->kind_data)->second; }
    static bool covers(const ObBox &box, int x, int y)
    {
        return x >= box.x && y >= box.y && x < box.x + box.width && y < box.y + box.height;
    }
};

TEST_F(Joins, TheTwoTablesComeFromThePickedColumns)
{
    QueryObject *ta = a->table_object, *tb = b->table_object, *tc = c->table_object;
    struct Case {
        const char *what;
        std::vector<QueryObject *> before_picks;  // make the join with these (none: a fresh join)
        bool existing;
        std::vector<QueryObject *> picks;
        QueryObject *first, *second;
    };
    const Case cases[] = {
        {"three of A then one of B", {}, false, {a1, a2, a3, b1}, tb, ta},
        {"one table only, new", {}, false, {a1, a2}, ta, nullptr},
        {"no picks, new", {}, false, {}, nullptr, nullptr},
        {"one table only keeps the earlier first", {b1, a1}, true, {c1}, tc, ta},
        {"the same table again keeps the other", {b1, a1}, true, {a2}, ta, tb},
        {"no picks keep both", {b1, a1}, true, {}, ta, tb},
        {"a table not on the canvas keeps both", {b1, a1}, true, {c1, x1}, ta, tb},
        {"a table not on the canvas earlier is passed over", {}, false, {x1, a1}, ta, nullptr},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        QueryObject *j = nullptr;
        if (k.existing) {
            j = join(k.before_picks);
            ASSERT_NE(j, nullptr);
            ASSERT_EQ(first(j), ta);
            ASSERT_EQ(second(j), tb);
            j = join(k.picks, j);
        } else {
            j = join(k.picks);
        }
        ASSERT_NE(j, nullptr);
        EXPECT_EQ(first(j), k.first);
        EXPECT_EQ(second(j), k.second);
        wsdict_ws_unlink_object(j);
        obmain_object_class[OB_JOIN].destroy(j);
    }
}

TEST_F(Joins, TheOuterBoxCoversBothTablesAndFollowsAMove)
{
    QueryObject *j = join({b1, a1});
    ASSERT_NE(j, nullptr);
    QueryObject *ta = a->table_object, *tb = b->table_object;
    auto check_box = [&]() {
        for (QueryObject *t : {ta, tb}) {
            EXPECT_TRUE(covers(j->outer, t->anchor_x, t->anchor_y));
            // The line's end at the top centre of the name row.
            EXPECT_TRUE(covers(j->outer, t->select.x + t->select.width / 2, t->select.y - 2));
        }
        EXPECT_TRUE(covers(j->outer, j->select.x, j->select.y));
        EXPECT_TRUE(covers(j->outer, j->select.x + j->select.width - 1, j->select.y + j->select.height - 1));
    };
    check_box();
    // The layout box is the label's own.
    EXPECT_EQ(j->layout.x, j->select.x - 2);
    EXPECT_EQ(j->layout.width, j->select.width + 4);

    ObPoint to{700, 600};
    obmain_object_class[OB_JOIN].move(j, &to);
    EXPECT_EQ(j->select.x, 702);
    EXPECT_EQ(j->select.y, 602);
    EXPECT_EQ(j->layout.x, 700);
    EXPECT_EQ(first(j), ta);
    EXPECT_EQ(second(j), tb);
    check_box();
    // Moved next to A only, the box no longer reaches back to the old place.
    to = {20, 60};
    obmain_object_class[OB_JOIN].move(j, &to);
    check_box();
    EXPECT_FALSE(covers(j->outer, 701, 601));
}

TEST_F(Joins, AJoinLeavesWithATableBoxThatLeavesTheCanvas)
{
    DictRelation *result = relation("RSLT", {100, 600, 60, 14});
    DictRelation *system = relation("%USERS", {100, 800, 60, 14});
    QueryObject *r1 = column(result, "R1");
    QueryObject *s1 = column(system, "S1");
    struct Case {
        QueryObject *pick;
        void (*remove)();
    };
    for (const Case &k : {Case{r1, wsobj_ws_destroy_result_objects}, Case{s1, wsobj_ws_destroy_system_table_objects}}) {
        QueryObject *j = join({a1, k.pick});
        ASSERT_NE(j, nullptr);
        ASSERT_NE(second(j), nullptr);
        k.remove();
        EXPECT_EQ(wsdict_dictionary->joins, nullptr);
        EXPECT_NE(a->table_object, nullptr);
    }
    // A join between two tables that stay is kept.
    QueryObject *j = join({a1, b1});
    wsobj_ws_destroy_system_table_objects();
    EXPECT_EQ(wsdict_dictionary->joins, j);
}

}  // namespace
