// The query-object framework, the workspace's search, click machine,
// type-ahead, canvas size rules, object manager and layout, headless: fake
// label metrics, a fake timer source, fake dialog records and a counted
// bell.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlmain.h"
#include "obdict.h"
#include "obmain.h"
#include "wsdict.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsmgr.h"
#include "wsobjmgr.h"
#include "wssrch.h"
#include "wstables.h"

#include "vxutil.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// ---- fakes ------------------------------------------------------------------------------

int bells = 0;
void count_bell() { bells++; }

int fake_height() { return 10; }
int fake_width(const char *, int length) { return 5 * length; }
const ObMetrics fake_metrics{fake_height, fake_width};

// Timers that fire only when the test says so.
struct FakeTimer {
    long id;
    int ms;
    void (*proc)();
};
std::vector<FakeTimer> timers;
long next_timer = 1;
long add_timer(int ms, void (*proc)())
{
    timers.push_back({next_timer, ms, proc});
    return next_timer++;
}
void remove_timer(long id) { std::erase_if(timers, [id](const FakeTimer &t) { return t.id == id; }); }
const WsTimerSource fake_timers{add_timer, remove_timer};
// Fires the running timer of the given interval; false when none runs.
bool fire(int ms)
{
    for (size_t i = 0; i < timers.size(); i++)
        if (timers[i].ms == ms) {
            FakeTimer t = timers[i];
            timers.erase(timers.begin() + static_cast<long>(i));
            t.proc();
            return true;
        }
    return false;
}

int no_window() { return 1; }
void no_pause() {}

QueryObject *make_object(int kind, ObBox box)
{
    QueryObject *o = nullptr;
    obmain_std_create_object(&o, "", nullptr, obmain_kind_data_size(kind), nullptr, nullptr, kind);
    o->outer = o->select = o->drop = o->layout = box;
    o->anchor_x = box.x + 2;
    o->anchor_y = box.y + 2;
    return o;
}

void set_text(QueryObject *o, const char *text)
{
    safe_strcpy(static_cast<char *>(o->kind_data) + sizeof(int), text, 200);
}

class Framework : public ::testing::Test {
protected:
    void SetUp() override
    {
        wsdict_ws_init_dictionary();
        safe_strcpy(wsdict_dictionary->user, "ME", 30);
        obmain_initialise_classes();
        obmain_set_metrics(&fake_metrics);
        bells = 0;
        timers.clear();
        wsevent_ws_set_bell(count_bell);
        wsevent_ws_set_timer_source(&fake_timers);
        wsevent_ws_set_display_window_probe(no_window);
        wsevent_ws_set_gestures(nullptr);
        wsevent_ws_reset_input();
        wsevent_ws_set_interaction(0);
        wsmgr_ws_set_flash_pause(no_pause);
        wsmgr_ws_reset_manager();
        obmain_table_y_gap = 60;
        obmain_table_x_extra = 100;
        obmain_ob_options[2] = 0;
    }
    void TearDown() override
    {
        wssrch_ws_stop_search();
        wsdict_ws_clear_dictionary(0);
        dlmain_clear_dialogs();
        obmain_set_metrics(nullptr);
    }
    QueryObject *linked(int kind, ObBox box, const char *text = "X")
    {
        QueryObject *o = make_object(kind, box);
        set_text(o, text);
        wsdict_ws_link_object(o);
        return o;
    }
    DictRelation *relation(const char *name)
    {
        auto *r = static_cast<DictRelation *>(vx_malloc(sizeof(DictRelation), 1));
        memset(r, 0, sizeof *r);
        safe_strcpy(r->name, name, sizeof r->name);
        DictRelation **tail = &wsdict_dictionary->relations;
        while (*tail)
            tail = &(*tail)->next;
        *tail = r;
        return r;
    }
    QueryObject *table(DictRelation *r, ObBox box)
    {
        QueryObject *t = make_object(OB_TABLE, box);
        safe_strcpy(static_cast<ObTableData *>(t->kind_data)->name, r->name, 9);
        r->table_object = t;
        return t;
    }
    QueryObject *column(DictRelation *r, const char *name, ObBox box)
    {
        ObColumnData d{};
        d.kind = OB_COLUMN;
        safe_strcpy(d.name, name, sizeof d.name);
        safe_strcpy(d.table, r->name, sizeof d.table);
        DictColumn *c = obdict_ob_create_column(&d);
        QueryObject *o = make_object(OB_COLUMN, box);
        *static_cast<ObColumnData *>(o->kind_data) = d;
        c->object = o;
        return o;
    }
};

std::vector<int> kinds_found(int mode, ObPoint p, ObBox r = {0, 0, 0, 0})
{
    std::vector<int> out;
    wssrch_ws_start_search(mode, &p, &r);
    while (QueryObject *o = wssrch_ws_search())
        out.push_back(o->kind);
    wssrch_ws_stop_search();
    return out;
}

// ---- the class table ---------------------------------------------------------------------

TEST_F(Framework, TheClassTableHoldsEachKindsFlagsAndSlots)
{
    struct Row {
        int dialog, drawn, selection, ref, edit, move, trash, dismiss, mask;
        bool hidden, request;
    };
    const Row rows[OB_KINDS] = {
        {8, 1, 4, 1, 1, 1, 1, 0, 0x3e00, false, false},   {9, 1, 4, 0, 1, 1, 1, 0, 0, false, false},
        {10, 1, 4, 1, 1, 1, 1, 0, 0, false, false},       {15, 1, 3, 1, 1, 0, 0, 1, 0x3f00, false, false},
        {14, 1, 3, 1, 1, 1, 1, 0, 0x300, false, false},   {11, 1, 4, 0, 1, 1, 1, 0, 0, false, false},
        {12, 1, 4, 0, 1, 1, 1, 0, 0, false, false},       {13, 1, 4, 0, 1, 1, 1, 0, 0, false, false},
        {16, 1, 1, 1, 1, 0, 0, 0, 0x508000, false, false}, {17, 0, 0, 0, 1, 0, 0, 0, 0, true, false},
        {18, 0, 0, 0, 1, 0, 0, 0, 0x17f00, true, false},  {19, 0, 0, 0, 1, 0, 0, 0, 0, true, false},
        {22, 0, 0, 0, 0, 0, 0, 0, 0, false, true},        {20, 0, 0, 0, 0, 0, 0, 0, 0, false, true},
    };
    const ObMoveProc unsupported_move = obmain_std_unsupported_object;
    const ObDestroyProc unsupported_destroy = obmain_std_unsupported_object;
    for (int k = 0; k < OB_KINDS; k++) {
        SCOPED_TRACE(k);
        const ObClass &c = obmain_object_class[k];
        const Row &r = rows[k];
        EXPECT_EQ(c.kind, k);
        EXPECT_EQ(c.dialog_id, r.dialog);
        EXPECT_EQ(c.drawn, r.drawn);
        EXPECT_EQ(c.selection, r.selection);
        EXPECT_EQ(c.referenceable, r.ref);
        EXPECT_EQ(c.editable, r.edit);
        EXPECT_EQ(c.movable, r.move);
        EXPECT_EQ(c.trashable, r.trash);
        EXPECT_EQ(c.dismiss_notify, r.dismiss);
        EXPECT_EQ(c.drop_mask, r.mask);
        EXPECT_EQ(c.move == unsupported_move, r.hidden || r.request);
        EXPECT_EQ(c.destroy == unsupported_destroy, r.request);
        for (auto slot : {reinterpret_cast<void *>(c.create), reinterpret_cast<void *>(c.destroy),
                          reinterpret_cast<void *>(c.del), reinterpret_cast<void *>(c.edit),
                          reinterpret_cast<void *>(c.move), reinterpret_cast<void *>(c.select),
                          reinterpret_cast<void *>(c.validate), reinterpret_cast<void *>(c.permit),
                          reinterpret_cast<void *>(c.newval), reinterpret_cast<void *>(c.draw),
                          reinterpret_cast<void *>(c.undraw)})
            EXPECT_NE(slot, nullptr);
        // The standard value record carries its kind.
        void *v = nullptr;
        c.newval(&v, nullptr);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(*static_cast<int *>(v), k);
    }
}

TEST_F(Framework, AnUnsupportedMethodPrintsItsLineAndChangesNothing)
{
    QueryObject *o = make_object(OB_INDEX, {5, 5, 10, 10});
    ObPoint to{100, 100};
    testing::internal::CaptureStderr();
    obmain_object_class[OB_INDEX].move(o, &to);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error! ObjectSupport. unsupported object method called.\n");
    EXPECT_EQ(o->outer.x, 5);
    EXPECT_EQ(o->anchor_x, 7);
    obmain_std_destroy_object(o);
}

// ---- labels and boxes ------------------------------------------------------------------------

TEST_F(Framework, LabelsJoinPrefixAndTextAndAreCutAt240)
{
    ObExpressionData d{};
    d.kind = OB_EXPRESSION;
    safe_strcpy(d.text, "A+B", sizeof d.text);
    EXPECT_STREQ(obmain_ob_string_value("EXPR", &d), "EXPR A+B");
    EXPECT_STREQ(obmain_ob_string_value("", &d), "A+B");
    EXPECT_STREQ(obmain_ob_string_value("EXPR", nullptr), "EXPR ");
    std::string long_text(255, 'X');
    safe_strcpy(d.text, long_text.c_str(), sizeof d.text);
    EXPECT_EQ(strlen(obmain_ob_string_value("EXPR", &d)), 240u);
    EXPECT_EQ(strlen(obmain_ob_string_value("", &d)), 240u);
}

TEST_F(Framework, LongLabelsBreakAtTheLastBlankOfEachSixty)
{
    // Blanks at 50, 58, 110, 119 and 125: breaks at 58 and 119.
    std::string text(130, 'A');
    for (int p : {50, 58, 110, 119, 125})
        text[static_cast<size_t>(p)] = ' ';
    ObConditionData d{};
    d.kind = OB_CONDITION;
    safe_strcpy(d.text, text.c_str(), sizeof d.text);
    std::string label = obmain_ob_string_value("", &d);
    ASSERT_EQ(label.size(), 130u);
    std::vector<size_t> breaks;
    for (size_t i = 0; i < label.size(); i++)
        if (label[i] == '\n')
            breaks.push_back(i);
    EXPECT_EQ(breaks, (std::vector<size_t>{58, 119}));
    // A window without a blank stays whole.
    safe_strcpy(d.text, std::string(130, 'B').c_str(), sizeof d.text);
    EXPECT_EQ(std::string(obmain_ob_string_value("", &d)).find('\n'), std::string::npos);
    // Three lines of 10 pixels each, the widest line 5 pixels a character.
    ObPoint size;
    obmain_ob_string_size(label.c_str(), &size);
    EXPECT_EQ(size.y, 3 * 10 + 4);
    EXPECT_EQ(size.x, 5 * 60 + 6);
}

TEST_F(Framework, BoxesFollowTheAnchorAndMoveToThePoint)
{
    ObPoint size;
    obmain_ob_string_size("", &size);
    EXPECT_EQ(size.x, 20);
    EXPECT_GE(size.y, 10);

    ObSortData d{};
    d.kind = OB_SORT;
    safe_strcpy(d.text, "NAME", sizeof d.text);
    QueryObject *o = nullptr;
    obmain_object_class[OB_SORT].create(&o, &d, 30, 40, nullptr);
    ASSERT_NE(o, nullptr);
    EXPECT_NE(o->kind_data, &d);  // its own copy
    const int w = std::max(20, 5 * static_cast<int>(strlen(obmain_ob_string_value(obmain_kind_prefix[OB_SORT], &d))) + 6);
    EXPECT_EQ(o->select.x, 30);
    EXPECT_EQ(o->select.y, 40);
    EXPECT_EQ(o->select.width, w);
    EXPECT_EQ(o->outer.x, 28);
    EXPECT_EQ(o->outer.width, w + 4);
    EXPECT_EQ(o->outer.height, 10 + 4 + 4);
    ObPoint to{100, 200};
    obmain_object_class[OB_SORT].move(o, &to);
    EXPECT_EQ(o->anchor_x, 102);
    EXPECT_EQ(o->anchor_y, 202);
    EXPECT_EQ(o->outer.x, 100);
    EXPECT_EQ(o->outer.y, 200);
    EXPECT_EQ(o->drop.x, 102);
    EXPECT_EQ(o->layout.y, 200);
    // An empty text makes no object.
    QueryObject *none = o;
    d.text[0] = '\0';
    obmain_object_class[OB_SORT].create(&none, &d, 0, 0, nullptr);
    EXPECT_EQ(none, nullptr);
    obmain_std_destroy_object(o);
}

// ---- search -------------------------------------------------------------------------------------

TEST_F(Framework, TheSearchFollowsTheFixedOrderOfKinds)
{
    const ObBox all{0, 0, 100, 100};
    // Linked newest first: the list order is the reverse of linking.
    linked(OB_JOIN, all);
    linked(OB_JOIN, all);  // only the first join counts
    linked(OB_VARIABLE, all);
    linked(OB_GROUP, all);
    linked(OB_SORT, all);
    linked(OB_STATISTIC, all);
    linked(OB_STATISTIC, all);
    linked(OB_CONDITION, all);
    linked(OB_CONDITION, all);
    linked(OB_EXPRESSION, all);
    linked(OB_EXPRESSION, all);
    DictRelation *r = relation("DEPT");
    table(r, all);
    column(r, "A", all);
    column(r, "B", all);
    r->index_object = make_object(OB_INDEX, {0, 0, 0, 0});
    r->priv_object = make_object(OB_PRIVILEGE, {0, 0, 0, 0});
    wsdict_dictionary->user_object = make_object(OB_USER, {0, 0, 32767, 32767});
    const std::vector<int> expected{OB_EXPRESSION, OB_EXPRESSION, OB_CONDITION, OB_STATISTIC, OB_STATISTIC,
                                    OB_SORT,       OB_GROUP,      OB_VARIABLE,  OB_JOIN,      OB_COLUMN,
                                    OB_COLUMN,     OB_TABLE,      OB_INDEX,     OB_PRIVILEGE, OB_USER};
    EXPECT_EQ(kinds_found(WS_SEARCH_DROP, {50, 50}), expected);
    // Outside the table only the user object's drop box holds the point.
    EXPECT_EQ(kinds_found(WS_SEARCH_DROP, {500, 500}), std::vector<int>{OB_USER});
}

TEST_F(Framework, BoxEdgesOfEachMode)
{
    const ObBox box{10, 10, 20, 10};
    linked(OB_EXPRESSION, box);
    struct Case {
        int mode;
        ObPoint p;
        ObBox r;
        bool found;
    };
    const Case cases[] = {
        {WS_SEARCH_SELECT, {10, 10}, {}, true},
        {WS_SEARCH_SELECT, {29, 19}, {}, true},
        {WS_SEARCH_SELECT, {30, 10}, {}, false},
        {WS_SEARCH_SELECT, {10, 20}, {}, false},
        {WS_SEARCH_SELECT, {9, 10}, {}, false},
        {WS_SEARCH_DROP, {29, 19}, {}, true},
        {WS_SEARCH_DROP, {29, 20}, {}, false},
        {WS_SEARCH_COVER, {}, {30, 20, 5, 5}, true},   // touches the corner
        {WS_SEARCH_COVER, {}, {31, 10, 5, 5}, false},
        {WS_SEARCH_COVER, {}, {0, 0, 10, 10}, true},
        {WS_SEARCH_COVER, {}, {0, 0, 9, 9}, false},
        {WS_SEARCH_BELOW, {0, 10}, {}, true},
        {WS_SEARCH_BELOW, {0, 11}, {}, false},
        {WS_SEARCH_MULTI, {}, {10, 10, 20, 10}, true},
        {WS_SEARCH_MULTI, {}, {11, 10, 20, 10}, false},
        {WS_SEARCH_MULTI, {}, {10, 10, 19, 10}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " point " << c.p.x << "," << c.p.y << " rect "
                                        << c.r.x << "," << c.r.y << "," << c.r.width << "," << c.r.height);
        EXPECT_EQ(kinds_found(c.mode, c.p, c.r).size(), c.found ? 1u : 0u);
    }
}

TEST_F(Framework, ColumnsAreLookedAtOnlyInsideTheirTable)
{
    DictRelation *r = relation("DEPT");
    table(r, {0, 0, 50, 50});
    column(r, "A", {0, 0, 40, 10});
    column(r, "OUT", {100, 100, 40, 10});  // outside its table's box
    EXPECT_EQ(kinds_found(WS_SEARCH_SELECT, {105, 105}), std::vector<int>{});
    EXPECT_EQ(kinds_found(WS_SEARCH_SELECT, {5, 5}), (std::vector<int>{OB_COLUMN, OB_TABLE}));
    // Below: the table's layout y decides for its columns.
    EXPECT_EQ(kinds_found(WS_SEARCH_BELOW, {0, 1}), std::vector<int>{});
}

// ---- the click machine ------------------------------------------------------------------------------

struct GestureLog {
    std::string calls;
    int answer = 1;
};
GestureLog glog;
int g_single(const XButtonEvent *) { glog.calls += "S"; return glog.answer; }
int g_double(const XButtonEvent *) { glog.calls += "D"; return glog.answer; }
int g_hold(const XButtonEvent *) { glog.calls += "H"; return glog.answer; }
const WsGestures logging{g_single, g_double, g_hold};

void button(int type, unsigned b = Button1)
{
    XEvent e{};
    e.type = type;
    e.xbutton.button = b;
    e.xbutton.x = 5;
    e.xbutton.y = 6;
    Boolean cont = True;
    wsevent_ws_input_cb(nullptr, nullptr, &e, &cont);
}

TEST_F(Framework, TheClickMachine)
{
    wsevent_ws_set_gestures(&logging);
    // Steps: p press, r release, c click timer (200), d double timer (300),
    // 3 press of button 3.
    struct Case {
        const char *steps;
        int answer;
        const char *calls;
        int bells;
        int state;
    };
    const Case cases[] = {
        {"prd", 1, "S", 0, 1},      // quick click
        {"prd", 0, "S", 1, 1},      // a click that did nothing rings
        {"prpr", 1, "D", 0, 1},     // double click
        {"prprp", 1, "D", 0, 2},    // a third press starts afresh
        {"pc", 1, "H", 0, 1},       // held past the click interval
        {"pc", 0, "H", 1, 1},       // a band over nothing rings
        {"pcr", 1, "H", 1, 1},      // the release after a hold rings
        {"prpc", 1, "", 0, 1},      // second press held: nothing
        {"pp", 1, "", 1, 1},        // press while down rings
        {"prpp", 1, "", 1, 1},      // a third press inside a double click rings
        {"3", 1, "", 0, 1},         // other buttons are ignored
        {"r", 1, "", 1, 1},         // a stray release rings
        {"prpcr", 1, "", 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.steps);
        wsevent_ws_reset_input();
        timers.clear();
        glog = GestureLog{};
        glog.answer = c.answer;
        bells = 0;
        for (const char *s = c.steps; *s; s++) {
            switch (*s) {
            case 'p': button(ButtonPress); break;
            case 'r': button(ButtonRelease); break;
            case '3': button(ButtonPress, Button3); break;
            case 'c': EXPECT_TRUE(fire(200)); break;
            case 'd': EXPECT_TRUE(fire(300)); break;
            }
        }
        EXPECT_EQ(glog.calls, c.calls);
        EXPECT_EQ(bells, c.bells);
        EXPECT_EQ(wsevent_ws_input_state(), c.state);
    }
    // The intervals come from the resources.
    wsevent_ws_reset_input();
    timers.clear();
    wsevent_ws_set_click_intervals(150, 250);
    button(ButtonPress);
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0].ms, 150);
    button(ButtonRelease);
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0].ms, 250);
    wsevent_ws_set_click_intervals(200, 300);
    wsevent_ws_reset_input();
}

TEST_F(Framework, BusyModesRingForEveryEvent)
{
    wsevent_ws_set_gestures(&logging);
    glog = GestureLog{};
    wsevent_ws_set_interaction(2);
    button(ButtonPress);
    button(ButtonRelease);
    EXPECT_EQ(bells, 2);
    EXPECT_TRUE(timers.empty());
    wsevent_ws_set_interaction(0);
}

TEST_F(Framework, ClicksSelectAndUnselect)
{
    DictRelation *r = relation("DEPT");
    table(r, {0, 0, 100, 100});
    QueryObject *a = column(r, "A", {0, 20, 50, 10});
    EXPECT_EQ(wsevent_ws_single_click(5, 25), 1);
    EXPECT_TRUE(a->selected);
    EXPECT_TRUE(wsdict_ws_is_selected(a));
    EXPECT_EQ(wsevent_ws_single_click(5, 25), 1);
    EXPECT_FALSE(a->selected);
    EXPECT_FALSE(wsdict_ws_is_selected(a));
    // Expressions are selected on create, not by click.
    linked(OB_EXPRESSION, {200, 200, 20, 10});
    EXPECT_EQ(wsevent_ws_single_click(205, 205), 0);
    // Empty canvas: nothing.
    EXPECT_EQ(wsevent_ws_single_click(500, 500), 0);
}

// ---- type-ahead ----------------------------------------------------------------------------------

class TypeAhead : public Framework {
protected:
    std::string dir;
    void SetUp() override
    {
        Framework::SetUp();
        dir = testing::TempDir() + "wsframework." + std::to_string(getpid());
        std::filesystem::create_directories(dir);
        for (const char *n : {"DEPT", "DEMO", "SALES", "DEPTX"})
            table(relation(n), {0, 100, 50, 50});
        FILE *f = fopen((dir + "/DB.ME").c_str(), "w");
        fputs("DEPT 1\nDEMO 1\nSALES 1\nDEPTX 1\n", f);
        fclose(f);
        wsobj_ws_set_table_list_file((dir + "/DB.ME").c_str());
        wsobj_ws_read_table_list(0);
        wsmain_ws_reset_search();
    }
    void TearDown() override
    {
        std::filesystem::remove_all(dir);
        Framework::TearDown();
    }
    void type(const char *text) { wsmain_ws_search_table_op(NoSymbol, text, static_cast<int>(strlen(text))); }
    void key(KeySym k) { wsmain_ws_search_table_op(k, "", 0); }
};

TEST_F(TypeAhead, ReturnFindsTheNextMatchingShownTable)
{
    type("d");
    type("e");
    EXPECT_STREQ(wsmain_ws_search_buffer(), "de");
    key(XK_Return);
    EXPECT_EQ(wsmain_ws_last_found(), 0);
    EXPECT_STREQ(wsmain_ws_search_buffer(), "");
    // An empty Return repeats the search after the one found last.
    key(XK_Return);
    EXPECT_EQ(wsmain_ws_last_found(), 1);
    key(XK_Return);
    EXPECT_EQ(wsmain_ws_last_found(), 3);
    key(XK_Return);
    EXPECT_EQ(wsmain_ws_last_found(), 0);
    EXPECT_EQ(bells, 0);
    type("Q");
    key(XK_Return);
    EXPECT_EQ(bells, 1);
}

TEST_F(TypeAhead, TheBufferHoldsEightBytes)
{
    type("ABCDEFGH");
    EXPECT_EQ(bells, 0);
    type("I");
    EXPECT_EQ(bells, 1);
    EXPECT_STREQ(wsmain_ws_search_buffer(), "ABCDEFGH");
    key(XK_BackSpace);
    EXPECT_STREQ(wsmain_ws_search_buffer(), "ABCDEFG");
    for (int i = 0; i < 7; i++)
        key(XK_BackSpace);
    EXPECT_EQ(bells, 1);
    key(XK_BackSpace);
    EXPECT_EQ(bells, 2);
    key(XK_Return);  // nothing typed, nothing searched before
    EXPECT_EQ(bells, 3);
}

TEST_F(TypeAhead, MultibyteCharactersAreWholeOrNotAtAll)
{
    const char *saved = setlocale(LC_CTYPE, nullptr);
    std::string keep = saved ? saved : "C";
    if (!setlocale(LC_CTYPE, "C.UTF-8"))
        GTEST_SKIP() << "no UTF-8 locale";
    type("AB\xc3\xa9");  // A B e-acute
    key(XK_BackSpace);
    EXPECT_STREQ(wsmain_ws_search_buffer(), "AB");
    type("CDEFG");  // 7 bytes
    type("\xc3\xa9");  // 2 more do not fit
    EXPECT_EQ(bells, 1);
    EXPECT_STREQ(wsmain_ws_search_buffer(), "ABCDEFG");
    setlocale(LC_CTYPE, keep.c_str());
}

// ---- canvas size -------------------------------------------------------------------------------------

TEST_F(Framework, TheCanvasOnlyGrowsAndClipsOnceAt32767)
{
    int w, h;
    wsmain_ws_get_drawing_area_size(&w, &h);
    const int h0 = h;
    testing::internal::CaptureStderr();
    wsmain_ws_resize_drawing_area(40000, 0);
    wsmain_ws_resize_drawing_area(40000, 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Warning! WsMgr. Workspace clipped at width of 32767 pixels.\n");
    wsmain_ws_get_drawing_area_size(&w, &h);
    EXPECT_EQ(w, 32767);
    EXPECT_EQ(h, h0);
    wsmain_ws_resize_drawing_area(100, h0 + 10);
    wsmain_ws_get_drawing_area_size(&w, &h);
    EXPECT_EQ(w, 32767);
    EXPECT_EQ(h, h0 + 10);
    wsmain_ws_resize_drawing_area(1, 1);  // smaller: nothing
    wsmain_ws_get_drawing_area_size(&w, &h);
    EXPECT_EQ(h, h0 + 10);
}


// ---- the object manager ------------------------------------------------------------------------------

// A fake dialog: records the calls; getval writes `next_text` into the
// value.
struct FakeDialog {
    std::string calls;
    int title_mode = -1;
    int popup_answer = 0;
    std::string next_text = "A+1";
    std::vector<void *> references;
} fd;

int fd_popup(DialogRecord *, int, int, int position, int title)
{
    fd.calls += "popup ";
    EXPECT_EQ(position, 2);
    fd.title_mode = title;
    return fd.popup_answer;
}
int fd_popdown(DialogRecord *) { fd.calls += "popdown "; return 0; }
int fd_setval(DialogRecord *, void *) { fd.calls += "setval "; return 0; }
int fd_getval(DialogRecord *, void *value)
{
    fd.calls += "getval ";
    if (value && *static_cast<int *>(value) != OB_VARIABLE)
        safe_strcpy(static_cast<char *>(value) + sizeof(int), fd.next_text.c_str(), 200);
    return 0;
}
int fd_reference(DialogRecord *, void *object)
{
    fd.references.push_back(object);
    return 0;
}

// Permit, delete and dismiss answers of a fake class.
int permit_answer = 0;
int delete_answer = 1;
std::string class_calls;
void fake_permit(QueryObject *, int op, int *result)
{
    class_calls += op ? "permit-edit " : "permit-create ";
    *result = permit_answer;
}
void fake_delete(QueryObject *, void *, int *result)
{
    class_calls += "delete ";
    *result = delete_answer;
}
void fake_edit(QueryObject *o, void *value)
{
    class_calls += value ? "edit " : "edit-dismissed ";
    if (value)
        obmain_std_edit(o, value);
}
void fake_create(QueryObject **result, void *value, int x, int y, QueryObject *drop)
{
    class_calls += value ? "create " : "create-dismissed ";
    obmain_std_create(result, value, x, y, drop);
}

class Manager : public Framework {
protected:
    DialogRecord *rec = nullptr;
    void SetUp() override
    {
        Framework::SetUp();
        dlmain_clear_dialogs();
        wsmgr_workspace_manager_init(nullptr);
        fd = FakeDialog{};
        permit_answer = 0;
        delete_answer = 1;
        class_calls.clear();
        rec = &dlmain_dialogs[8];
        rec->object_class = OB_EXPRESSION;
        rec->popup = fd_popup;
        rec->popdown = fd_popdown;
        rec->setval = fd_setval;
        rec->getval = fd_getval;
        rec->reference = fd_reference;
        rec->reference_mask = 1u << OB_COLUMN | 1u << OB_VARIABLE;
        ObClass &c = obmain_object_class[OB_EXPRESSION];
        c.permit = fake_permit;
        c.del = fake_delete;
        c.edit = fake_edit;
        c.create = fake_create;
        c.validate = obmain_std_validate_object;
    }
    int apply()
    {
        int done = 0;
        rec->apply(rec, &done);
        return done;
    }
    int count(QueryObject *list)
    {
        int n = 0;
        for (; list; list = list->next)
            n++;
        return n;
    }
};

TEST_F(Manager, PermitDecidesWhetherAndHowTheDialogOpens)
{
    QueryObject *e = linked(OB_EXPRESSION, {10, 10, 20, 10}, "OLD");
    struct Case {
        int permit;
        bool opens;
        int title;
    };
    for (const Case c : {Case{0, true, 1}, Case{1, true, 3}, Case{2, false, -1}}) {
        SCOPED_TRACE(c.permit);
        fd = FakeDialog{};
        permit_answer = c.permit;
        const ObPoint p{5, 5};
        wsmgr_ws_perform_edit(e, &p);
        EXPECT_EQ(fd.title_mode, c.title);
        EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), c.opens ? 8 : -1);
        EXPECT_EQ(wsevent_ws_interaction(), c.opens ? 1 : 0);
        if (!c.opens)
            continue;
        // A refused Apply is a Reset: the object keeps its text.
        fd.next_text = "NEW";
        EXPECT_EQ(apply(), 1);
        EXPECT_STREQ(static_cast<ObExpressionData *>(e->kind_data)->text, c.permit == 1 ? "OLD" : "NEW");
        int done = 0;
        rec->dismiss(rec, &done);
        EXPECT_EQ(wsevent_ws_interaction(), 0);
        EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), -1);
        safe_strcpy(static_cast<ObExpressionData *>(e->kind_data)->text, "OLD", 10);
    }
    // Create has title mode 2.
    fd = FakeDialog{};
    permit_answer = 0;
    const ObPoint p{5, 5};
    wsmgr_ws_perform_create(8, &p, nullptr);
    EXPECT_EQ(fd.title_mode, 2);
}

TEST_F(Manager, ApplyTwiceInACreateDialogMakesTwoObjects)
{
    const ObPoint p{40, 50};
    wsmgr_ws_perform_create(8, &p, nullptr);
    EXPECT_EQ(apply(), 1);
    QueryObject *first = wsmgr_ws_enquire_current_object();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->select.x, 40);
    EXPECT_TRUE(first->selected);  // selected on create
    EXPECT_TRUE(wsdict_ws_is_selected(first));
    EXPECT_EQ(apply(), 1);
    EXPECT_NE(wsmgr_ws_enquire_current_object(), first);
    EXPECT_EQ(count(wsdict_dictionary->expressions), 2);
    // An empty text makes nothing but the dialog stays.
    fd.next_text = "";
    EXPECT_EQ(apply(), 1);
    EXPECT_EQ(count(wsdict_dictionary->expressions), 2);
}

TEST_F(Manager, ReferencesAreKeptOnceAndRecordedOnApply)
{
    DictRelation *r = relation("DEPT");
    table(r, {0, 0, 100, 100});
    QueryObject *a = column(r, "A", {0, 20, 50, 10});
    QueryObject *b = column(r, "B", {0, 30, 50, 10});
    const ObPoint p{200, 200};
    wsmgr_ws_perform_create(8, &p, nullptr);
    wsmgr_ws_perform_reference(a);
    wsmgr_ws_perform_reference(a);
    wsmgr_ws_perform_reference(b);
    EXPECT_EQ(fd.references.size(), 3u);  // the dialog hears each pick
    EXPECT_EQ(wsmgr_ws_reference_count(), 2);
    EXPECT_EQ(wsmgr_ws_enquire_reference(0), a);
    EXPECT_EQ(wsmgr_ws_enquire_last_reference(), b);
    EXPECT_EQ(wsmgr_ws_enquire_reference(2), nullptr);
    EXPECT_FALSE(a->selected);  // the flash puts the state back
    EXPECT_EQ(apply(), 1);
    QueryObject *e = wsmgr_ws_enquire_current_object();
    int refs = 0;
    for (ObReference *x = wsdict_dictionary->references; x; x = x->next)
        if (x->referring == e)
            refs++;
    EXPECT_EQ(refs, 2);
}

TEST_F(Manager, ClicksInReferenceModeFollowTheMask)
{
    DictRelation *r = relation("DEPT");
    table(r, {0, 0, 100, 100});
    QueryObject *a = column(r, "A", {0, 20, 50, 10});
    const ObPoint p{200, 200};
    struct Case {
        uint32_t mask;
        bool selected;
        bool picked;
    };
    const Case cases[] = {
        {1u << OB_COLUMN, false, true},
        {1u << OB_VARIABLE, false, false},                  // kind not in the mask
        {1u << OB_COLUMN | 0x80000000u, false, false},      // must be selected
        {1u << OB_COLUMN | 0x80000000u, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.mask << " selected " << c.selected);
        rec->reference_mask = c.mask;
        if (c.selected != (a->selected != 0)) {
            ASSERT_EQ(wsevent_ws_single_click(5, 25), 1);
        }
        wsmgr_ws_perform_create(8, &p, nullptr);
        EXPECT_EQ(wsevent_ws_single_click(5, 25), c.picked ? 1 : 0);
        EXPECT_EQ(wsmgr_ws_reference_count(), c.picked ? 1 : 0);
        int done = 0;
        rec->dismiss(rec, &done);
    }
}

TEST_F(Manager, TheDropObjectBecomesTheFirstReference)
{
    DictRelation *r = relation("DEPT");
    table(r, {0, 0, 100, 100});
    QueryObject *a = column(r, "A", {0, 20, 50, 10});
    const ObPoint p{5, 25};
    rec->reference_mask = 1u << OB_COLUMN;
    wsmgr_ws_perform_create(8, &p, a);
    EXPECT_EQ(wsmgr_ws_reference_count(), 0);  // without the drop-target bit
    int done = 0;
    rec->dismiss(rec, &done);
    rec->reference_mask = 1u << OB_COLUMN | DL_REF_PICK_DROP_TARGET;
    wsmgr_ws_perform_create(8, &p, a);
    EXPECT_EQ(wsmgr_ws_enquire_reference(0), a);
    rec->dismiss(rec, &done);
    // A look-only dialog picks nothing.
    permit_answer = 1;
    wsmgr_ws_perform_create(8, &p, a);
    EXPECT_EQ(wsmgr_ws_reference_count(), 0);
    rec->dismiss(rec, &done);
}

TEST_F(Manager, PastFiftyReferencesOnlyTheNewestFiftyCount)
{
    const ObPoint p{0, 0};
    wsmgr_ws_perform_create(8, &p, nullptr);
    std::vector<QueryObject *> vars;
    for (int i = 0; i < 55; i++) {
        QueryObject *v = linked(OB_VARIABLE, {0, 0, 0, 0});
        snprintf(static_cast<ObVariableData *>(v->kind_data)->name, 16, "V%d", i);
        vars.push_back(v);
    }
    testing::internal::CaptureStderr();
    for (QueryObject *v : vars)
        wsmgr_ws_perform_reference(v);
    std::string err = testing::internal::GetCapturedStderr();
    size_t warnings = 0;
    for (size_t at = 0; (at = err.find("Too many pending references", at)) != std::string::npos; at++)
        warnings++;
    EXPECT_EQ(warnings, 5u);
    EXPECT_EQ(wsmgr_ws_reference_count(), 55);
    EXPECT_EQ(wsmgr_ws_enquire_reference(0), vars[5]);
    EXPECT_EQ(wsmgr_ws_enquire_reference(49), vars[54]);
    EXPECT_EQ(wsmgr_ws_enquire_reference(50), nullptr);
    EXPECT_EQ(wsmgr_ws_enquire_last_reference(), vars[54]);
    EXPECT_EQ(wsmgr_ws_enquire_var_reference("V54"), vars[54]);
    EXPECT_EQ(wsmgr_ws_enquire_var_reference("V0"), nullptr);
    EXPECT_EQ(apply(), 1);
    QueryObject *e = wsmgr_ws_enquire_current_object();
    int refs = 0;
    for (ObReference *x = wsdict_dictionary->references; x; x = x->next)
        refs += x->referring == e;
    EXPECT_EQ(refs, 50);
}

TEST_F(Manager, DeleteAndDismiss)
{
    // Columns ask to hear of dismissals; use the expression slot with the
    // flag set.
    obmain_object_class[OB_EXPRESSION].dismiss_notify = 1;
    QueryObject *e = linked(OB_EXPRESSION, {10, 10, 20, 10});
    const ObPoint p{5, 5};
    wsmgr_ws_perform_edit(e, &p);
    int done = 0;
    rec->dismiss(rec, &done);
    EXPECT_EQ(class_calls, "permit-edit edit-dismissed ");

    // A refused delete keeps the object and shows the value again.
    class_calls.clear();
    delete_answer = 0;
    wsmgr_ws_perform_edit(e, &p);
    fd.calls.clear();
    rec->del(rec, &done);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(count(wsdict_dictionary->expressions), 1);
    EXPECT_EQ(fd.calls, "getval setval ");
    // An agreed delete removes it, and the dismissal does not hand it on.
    class_calls.clear();
    delete_answer = 1;
    rec->del(rec, &done);
    EXPECT_EQ(count(wsdict_dictionary->expressions), 0);
    EXPECT_EQ(wsmgr_ws_enquire_current_object(), nullptr);
    rec->dismiss(rec, &done);
    EXPECT_EQ(class_calls, "delete ");

    // A create dialog's dismissal tells the class with no value.
    class_calls.clear();
    wsmgr_ws_perform_create(8, &p, nullptr);
    rec->dismiss(rec, &done);
    EXPECT_EQ(class_calls, "permit-create create-dismissed ");
}

TEST_F(Manager, NotifiesWithoutADialogOnlyWarn)
{
    int done = 0;
    testing::internal::CaptureStderr();
    wsmgr_apply_notify(rec, &done);
    wsmgr_reset_notify(rec, &done);
    wsmgr_delete_notify(rec, &done);
    wsmgr_dismiss_notify(rec, &done);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning! WsManager. ApplyNotify but no dialog\n"
              "Warning! WsManager. ResetNotify but no dialog\n"
              "Warning! WsManager. DeleteNotify but no dialog\n"
              "Warning! WsManager. DismissNotify but no dialog\n");
    EXPECT_EQ(done, 0);
    EXPECT_EQ(fd.calls, "");
}

TEST_F(Manager, ADialogThatCannotShowLeavesNothingCurrent)
{
    fd.popup_answer = -1;
    const ObPoint p{5, 5};
    wsmgr_ws_perform_create(8, &p, nullptr);
    EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), -1);
    EXPECT_EQ(wsevent_ws_interaction(), 0);
    EXPECT_EQ(bells, 1);
    // A kind whose dialog is not built (the standard record): it says the
    // dialog is not available yet, where the boxes go (here standard
    // error), and leaves nothing current.
    dlmain_clear_dialogs();
    wsmgr_workspace_manager_init(nullptr);
    testing::internal::CaptureStderr();
    wsmgr_ws_perform_create(9, &p, nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(" is not available yet\n"), std::string::npos) << said;
    EXPECT_EQ(said.find("Unsupported method"), std::string::npos) << said;
    EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), -1);
    EXPECT_EQ(wsevent_ws_interaction(), 0);
}

TEST_F(Manager, ToolDropsEditCreateOrDoNothing)
{
    DictRelation *r = relation("DEPT");
    table(r, {0, 0, 100, 100});
    QueryObject *a = column(r, "A", {0, 20, 50, 10});
    wsdict_dictionary->user_object = make_object(OB_USER, {0, 0, 32767, 32767});
    // The expression tool on a column: a create with the column as drop object.
    rec->reference_mask = 1u << OB_COLUMN | DL_REF_PICK_DROP_TARGET;
    EXPECT_EQ(wsevent_ws_tool_drop(8, 5, 25, nullptr), 1);
    EXPECT_EQ(wsmgr_ws_enquire_last_reference(), a);
    int done = 0;
    rec->dismiss(rec, &done);
    // On empty canvas: the user object is the drop object.
    EXPECT_EQ(wsevent_ws_tool_drop(8, 500, 500, nullptr), 1);
    EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), 8);
    rec->dismiss(rec, &done);
    // The index tool on a table edits the table's index object.
    DialogRecord &idx = dlmain_dialogs[17];
    idx.popup = fd_popup;
    idx.setval = fd_setval;
    idx.popdown = fd_popdown;
    r->index_object = make_object(OB_INDEX, {0, 0, 0, 0});
    EXPECT_EQ(wsevent_ws_tool_drop(17, 5, 25, nullptr), 1);
    EXPECT_EQ(wsmgr_ws_enquire_current_object(), r->index_object);
    idx.dismiss(&idx, &done);
    // Outside mode 0 a drop does nothing.
    wsevent_ws_set_interaction(1);
    EXPECT_EQ(wsevent_ws_tool_drop(8, 5, 25, nullptr), 0);
    wsevent_ws_set_interaction(0);
}

TEST_F(Manager, TheTrashDeletesUnlessTheClassRefuses)
{
    QueryObject *e = linked(OB_EXPRESSION, {10, 10, 20, 10});
    delete_answer = 0;
    wsevent_ws_trash_drop(e);
    EXPECT_EQ(count(wsdict_dictionary->expressions), 1);
    delete_answer = 1;
    wsevent_ws_trash_drop(e);
    EXPECT_EQ(count(wsdict_dictionary->expressions), 0);
}

// ---- layout ---------------------------------------------------------------------------------------------

TEST_F(Framework, ShiftMovesWhatLiesBelowButTheTableItself)
{
    DictRelation *d = relation("DEPT");
    QueryObject *t = table(d, {0, 100, 100, 50});
    QueryObject *c = column(d, "A", {0, 110, 50, 10});
    DictRelation *s = relation("SALES");
    QueryObject *t2 = table(s, {0, 200, 100, 50});
    QueryObject *c2 = column(s, "B", {0, 210, 50, 10});
    QueryObject *above = linked(OB_EXPRESSION, {300, 10, 20, 10});
    QueryObject *below = linked(OB_EXPRESSION, {300, 300, 20, 10});
    QueryObject *join = linked(OB_JOIN, {300, 150, 20, 10});
    const ObPoint top{0, 100};
    wsobj_ws_shift_down(&top, 70, t);
    EXPECT_EQ(t->outer.y, 100);
    EXPECT_EQ(c->outer.y, 110);
    EXPECT_EQ(t2->outer.y, 270);
    EXPECT_EQ(c2->outer.y, 280);
    EXPECT_EQ(above->outer.y, 10);
    EXPECT_EQ(below->outer.y, 370);
    EXPECT_EQ(join->outer.y, 220);
    wsobj_ws_shift_down(&top, -70, t);
    EXPECT_EQ(t2->outer.y, 200);
    EXPECT_EQ(join->outer.y, 150);
}

TEST_F(Framework, RemovingSystemTablesMovesTheOthersUpByTheirHeights)
{
    DictRelation *s1 = relation("%RELATNS");
    table(s1, {0, 0, 100, 40});
    DictRelation *s2 = relation("%ITEMS");
    table(s2, {0, 100, 100, 30});
    DictRelation *d = relation("DEPT");
    QueryObject *t = table(d, {0, 190, 100, 50});
    QueryObject *c = column(d, "A", {0, 200, 50, 10});
    wsobj_ws_destroy_system_table_objects();
    EXPECT_EQ(s1->table_object, nullptr);
    EXPECT_EQ(s2->table_object, nullptr);
    EXPECT_EQ(t->outer.y, 190 - (40 + 60) - (30 + 60));
    EXPECT_EQ(c->outer.y, 200 - (40 + 60) - (30 + 60));
}

TEST_F(Framework, CanvasFitAndCollect)
{
    DictRelation *d = relation("DEPT");
    table(d, {10, 20, 200, 300});
    DictRelation *s = relation("SALES");
    table(s, {400, 10, 150, 50});
    int w0, h0;
    wsmain_ws_get_drawing_area_size(&w0, &h0);
    wsobj_ws_resize_drawing_area_for_database();
    int w, h;
    wsmain_ws_get_drawing_area_size(&w, &h);
    EXPECT_EQ(w, std::max(w0, 550 + 100));
    EXPECT_EQ(h, std::max(h0, 320 + 60));

    QueryObject *a = linked(OB_EXPRESSION, {600, 600, 20, 10});
    QueryObject *b = linked(OB_SORT, {700, 700, 30, 16});
    wsdict_ws_select_object(a);
    wsdict_ws_select_object(b);
    // Outside the canvas: nothing moves.
    testing::internal::CaptureStderr();
    wsobj_ws_collect_objects(w + 10, 5);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning! WsMgr. Some objects could not be moved - no space\n");
    EXPECT_EQ(a->outer.x, 600);
    // Newest selection first, one below the other 5 pixels apart.
    wsobj_ws_collect_objects(5, 5);
    EXPECT_EQ(b->outer.x, 5);
    EXPECT_EQ(b->outer.y, 5);
    EXPECT_EQ(a->outer.y, 5 + 16 + 5);
}

TEST_F(Framework, NewQueryDeletesSelectedObjectsAndDeselectsTheRefusers)
{
    QueryObject *a = linked(OB_EXPRESSION, {10, 10, 20, 10});
    QueryObject *v = linked(OB_VARIABLE, {10, 50, 20, 10});
    DictRelation *d = relation("DEPT");
    table(d, {0, 100, 100, 50});
    QueryObject *c = column(d, "A", {0, 110, 50, 10});
    for (QueryObject *o : {a, v, c}) {
        wsdict_ws_select_object(o);
        o->selected = 1;
    }
    // An expression whose delete refuses.
    QueryObject *stubborn = linked(OB_EXPRESSION, {10, 30, 20, 10});
    wsdict_ws_select_object(stubborn);
    obmain_object_class[OB_EXPRESSION].del = [](QueryObject *o, void *, int *r) {
        *r = strcmp(static_cast<ObExpressionData *>(o->kind_data)->text, "KEEP") != 0;
    };
    set_text(stubborn, "KEEP");
    testing::internal::CaptureStderr();
    wsobj_ws_new_query();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Warning! WsMgr. Object refused Destroy for NewQuery\n"), std::string::npos);
    EXPECT_EQ(wsdict_dictionary->selected, nullptr);
    int exprs = 0;
    for (QueryObject *o = wsdict_dictionary->expressions; o; o = o->next)
        exprs++;
    EXPECT_EQ(exprs, 1);  // the refuser stays
    EXPECT_EQ(wsdict_dictionary->variables, v);  // variables are only deselected
    EXPECT_FALSE(v->selected);
    EXPECT_FALSE(c->selected);
    EXPECT_EQ(d->columns->object, c);
}

}  // namespace
