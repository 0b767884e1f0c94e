// The display window's parts that need no X server: the click and resize
// machines, the key map, the table view's line store with its selection
// and cell mapping, and the dataset text formatter on datasets made in
// memory.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dyfixture.h"
#include "dymachines.h"
#include "dyprt.h"
#include "dystore.h"

#include <X11/keysym.h>

#include <clocale>
#include <string>
#include <vector>

using namespace dyfix;

namespace {

// ---- the click machine ----------------------------------------------------------

// Timers are flags the test fires by hand, in the order a clock would.
struct FakeOwner : DyClickOwner {
    bool single = false, dbl = false;
    std::vector<std::string> seen;
    void start_single_timer() override { single = true; }
    void stop_single_timer() override { single = false; }
    void start_double_timer() override { dbl = true; }
    void stop_double_timer() override { dbl = false; }
    void deliver(int action, DyPoint at) override
    {
        seen.push_back(std::to_string(action) + "@" + std::to_string(at.x) + "," + std::to_string(at.y));
    }
    void bell() override { seen.push_back("bell"); }
};

struct Clicks {
    FakeOwner owner;
    DyClickMachine m{owner};
    // Fires whichever timers are running, single first (it is the shorter).
    void expire()
    {
        if (owner.single) {
            owner.single = false;
            m.single_timer_fired();
        }
        if (owner.dbl) {
            owner.dbl = false;
            m.double_timer_fired();
        }
    }
};

TEST(ClickMachine, ClickDoubleClickHoldAndSecondPressWhileHeld)
{
    {  // press, release, no second press: one single click after the wait
        Clicks c;
        c.m.press(1, {10, 20});
        c.m.release(1);
        EXPECT_TRUE(c.owner.seen.empty());
        c.expire();
        EXPECT_EQ(c.owner.seen, std::vector<std::string>{"4@10,20"});
        EXPECT_EQ(c.m.state(), 1);
    }
    {  // two quick clicks: one double click at the second press, no single
        Clicks c;
        c.m.press(1, {1, 1});
        c.m.release(1);
        c.m.press(1, {3, 4});
        EXPECT_FALSE(c.owner.dbl);
        c.m.release(1);
        c.expire();
        EXPECT_EQ(c.owner.seen, std::vector<std::string>{"8@3,4"});
    }
    {  // held past the single-click interval: one hold, then no click
        Clicks c;
        c.m.press(1, {5, 6});
        c.expire();
        EXPECT_EQ(c.owner.seen, std::vector<std::string>{"64@5,6"});
        c.m.release(1);
        c.expire();
        EXPECT_EQ(c.owner.seen, (std::vector<std::string>{"64@5,6", "bell"}));
    }
    {  // a second press while the first is held rings and resets
        Clicks c;
        c.m.press(1, {5, 6});
        c.m.press(1, {7, 8});
        EXPECT_EQ(c.owner.seen, std::vector<std::string>{"bell"});
        EXPECT_EQ(c.m.state(), 1);
        c.expire();
        EXPECT_EQ(c.owner.seen.size(), 1u);
    }
    {  // other buttons do not move the machine
        Clicks c;
        c.m.press(3, {1, 1});
        c.m.release(3);
        c.expire();
        EXPECT_TRUE(c.owner.seen.empty());
    }
}

TEST(ResizeMachine, ShrinkGrowBothWaysAndQuirk)
{
    struct Case {
        const char *what;
        bool first_expose_before;  // an expose came before the resize
        int dw, dh;
        bool quirk;
        bool at_once;
        std::vector<DyResizeMachine::Result> exposes;  // (partial exposes)
    };
    using R = DyResizeMachine::Result;
    const Case cases[] = {
        {"shrink", true, -10, -5, false, true, {R::REPORT_EXPOSE}},
        {"grow in width", true, 10, 0, false, false, {R::REPORT_RESIZE, R::REPORT_EXPOSE}},
        {"grow both ways", true, 10, 10, false, false, {R::IGNORE, R::REPORT_RESIZE, R::REPORT_EXPOSE}},
        {"grow both ways, first resize", false, 10, 10, false, false, {R::REPORT_RESIZE}},
        {"grow both ways, quirk, partial expose", true, 10, 10, true, false, {R::IGNORE, R::REPORT_RESIZE}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DyResizeMachine m;
        if (c.first_expose_before)
            m.exposed(1, 1, 100, 100, c.quirk);
        EXPECT_EQ(m.resized(c.dw, c.dh), c.at_once);
        for (R expected : c.exposes)
            EXPECT_EQ(m.exposed(5, 5, 100, 100, c.quirk), expected);
    }
    // With the quirk an expose covering the whole canvas reports at once.
    DyResizeMachine m;
    m.exposed(1, 1, 100, 100, true);
    EXPECT_FALSE(m.resized(10, 10));
    EXPECT_EQ(m.exposed(110, 90, 110, 90, true), R::REPORT_RESIZE);
    EXPECT_EQ(m.pending(), 0);
}

TEST(KeyMap, MarkerActions)
{
    const struct {
        unsigned long sym;
        bool shift;
        const char *action;
    } cases[] = {
        {XK_Tab, false, "marker_toggle"},     {XK_Up, false, "marker_toggle"},
        {XK_Down, true, "marker_toggle"},     {XK_Home, false, "marker_start"},
        {XK_Home, true, "marker_end"},        {XK_Left, false, "marker_left"},
        {XK_Right, false, "marker_right"},    {XK_Prior, false, "marker_previous"},
        {XK_Next, false, "marker_next"},      {XK_a, false, nullptr},
        {XK_Return, false, nullptr},
    };
    for (const auto &c : cases) {
        const char *got = dy_key_action(c.sym, c.shift);
        EXPECT_STREQ(got ? got : "(none)", c.action ? c.action : "(none)") << c.sym;
    }
}

// ---- the line store --------------------------------------------------------------

DyLineStore filled(int capacity, int lines)
{
    DyLineStore s(capacity);
    s.set_window(80, 100, 10, 8);  // 10 rows, 10 columns
    for (int i = 0; i < lines; i++)
        s.add("line " + std::to_string(i), 8 * 6);
    return s;
}

TEST(LineStore, RingDropsOldestAndCapacityAtLeastOne)
{
    DyLineStore s = filled(100, 100);
    EXPECT_EQ(s.count(), 100);
    EXPECT_TRUE(s.add("line 100", 64));
    EXPECT_EQ(s.count(), 100);
    EXPECT_EQ(s.text(0), "line 1");
    EXPECT_EQ(s.text(99), "line 100");
    EXPECT_EQ(s.width(99), 64);
    EXPECT_EQ(s.first(), 1);
    EXPECT_EQ(s.tail_top(), 90);  // the newest line stays in view

    DyLineStore none(0);
    EXPECT_EQ(none.capacity(), 1);
    none.add("a", 8);
    none.add("b", 8);
    EXPECT_EQ(none.count(), 1);
    EXPECT_EQ(none.text(0), "b");
    EXPECT_EQ(none.text(5), "");

    // Widths wider than 16 bits are kept.
    DyLineStore wide(2);
    wide.add(std::string(5000, 'x'), 70000);
    EXPECT_EQ(wide.width(0), 70000);
    EXPECT_EQ(wide.widest(), 5000);

    s.clear();
    EXPECT_EQ(s.count(), 0);
    EXPECT_EQ(s.top(), 0);
    EXPECT_EQ(s.widest(), 0);
}

TEST(LineStore, SelectionFollowsLinesAndIsAbandonedWithLineZero)
{
    DyLineStore s = filled(100, 100);
    auto &sel = s.selection();
    sel.exists = true;
    sel.anchor = {2, s.first() + 5};
    sel.end = {4, s.first() + 7};
    std::string before = s.selection_text();
    s.add("line 100", 64);
    // The selection moved up with its lines: the same text.
    EXPECT_FALSE(s.selection_lost_line());
    EXPECT_EQ(s.selection_text(), before);
    EXPECT_EQ(sel.anchor.line - s.first(), 4);

    sel.anchor = {0, s.first()};  // on line 0
    EXPECT_FALSE(s.selection_lost_line());
    s.add("line 101", 64);
    EXPECT_TRUE(s.selection_lost_line());
}

TEST(LineStore, ScrollCellMappingAndMidpoints)
{
    DyLineStore s = filled(100, 30);  // 10 visible rows
    EXPECT_EQ(s.set_top(25), 20);     // at most count - rows
    EXPECT_EQ(s.top(), 20);
    EXPECT_EQ(s.set_top(-3), -20);
    s.set_top(5);
    EXPECT_EQ(s.set_column_offset(3), 0);  // nothing wider than the window

    const struct {
        int x, y;
        int column;
        int line;
    } cells[] = {
        {0, 0, 0, 5},        {17, 25, 2, 7},   {1000, 0, 6, 5},  // clamped to "line 5"
        {0, 1000, 0, 29},    {-5, -5, 0, 5},   {79, 99, 7, 14},  // "line 14" has 7 characters
    };
    for (const auto &c : cells) {
        DyCell got = s.cell_at(c.x, c.y, 10, 8);
        EXPECT_EQ(got.column, c.column) << c.x << "," << c.y;
        EXPECT_EQ(got.line - s.first(), c.line) << c.x << "," << c.y;
    }
    DyLineStore empty(10);
    empty.set_window(80, 100, 10, 8);
    DyCell nowhere = empty.cell_at(40, 40, 10, 8);
    EXPECT_EQ(nowhere.column, 0);
    EXPECT_EQ(nowhere.line, 0);

    // Lines of the same parity: the middle cell; otherwise column 0 of
    // the line after the middle.
    EXPECT_EQ(s.midpoint({2, 4}, {6, 8}), (DyCell{4, 6}));
    EXPECT_EQ(s.midpoint({2, 4}, {6, 7}), (DyCell{0, 6}));
    EXPECT_EQ(s.midpoint({9, 3}, {1, 3}), (DyCell{5, 3}));
}

TEST(LineStore, SelectionText)
{
    DyLineStore s(10);
    for (const char *t : {"alpha", "beta", "gamma", "delta"})
        s.add(t, 40);
    auto &sel = s.selection();
    sel.exists = true;
    const struct {
        DyCell a, b;
        const char *text;
    } cases[] = {
        {{2, 0}, {3, 2}, "pha\nbeta\ngam"},
        {{3, 2}, {2, 0}, "pha\nbeta\ngam"},  // dragged backwards
        {{0, 1}, {9, 2}, "beta\ngamma\n"},   // past the end of the last line
        {{1, 3}, {4, 3}, "elt"},
        {{0, 0}, {0, 0}, ""},
    };
    for (const auto &c : cases) {
        sel.anchor = c.a;
        sel.end = c.b;
        EXPECT_EQ(s.selection_text(), c.text);
    }
}

// ---- the formatter -------------------------------------------------------------------

std::vector<std::string> lines;
int refuse_after = -1;

int record(const char *text, int length)
{
    if (refuse_after == 0)
        return 0;
    if (refuse_after > 0)
        refuse_after--;
    lines.push_back(text ? std::string(text, static_cast<size_t>(length)) : std::string("<FF>"));
    return 1;
}

class Formatter : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        lines.clear();
        refuse_after = -1;
    }
    void TearDown() override { dsmgr_ds_clear(); }

    std::vector<std::string> print(int dataset, int page_length, int page_width, int margin, int titles,
                                   int arrays_in_columns)
    {
        lines.clear();
        dyprt_dy_set_output(record, page_length, page_width, margin, titles, arrays_in_columns);
        dyprt_dy_print_dataset(dataset);
        return lines;
    }
};

TEST_F(Formatter, EveryTypeWithTitlesAlignedByType)
{
    std::vector<DozColDesc> cols = {
        column("NAME", DOZ_T_STRING, 10, -1),  column("N", DOZ_T_LONG, 6, 0),
        column("SMALL", DOZ_T_SHORT, 4, 0),    column("X", DOZ_T_REAL, 9, 2),
        column("DAY", DOZ_T_DATE, 10, 0),      column("AT", DOZ_T_TIME, 8, 0),
        column("Z", DOZ_T_COMPLEX, 6, 1),      column("OK", DOZ_T_BOOL, 5, 0),
        column("C", DOZ_T_CHAR, 1, 0),         column("F", DOZ_T_SREAL, 6, 1),
        column("T", DOZ_T_TINY, 3, 0),         column("PRINT", DOZ_T_LONG, 4, 0),
    };
    int ds = make(cols, {{STR("first"), L(42), S(-7), R(3.14159), D(2024, 2, 29), TM(23, 5, 9), X(1.5, -2),
                          B(true), C('q'), F(2.5f), T(200), L(1)},
                         {NUL(), NUL(), NUL(), NUL(), NUL(), NUL(), NUL(), NUL(), NUL(), NUL(), NUL(), NUL()}});
    // Strings left, numbers right, the rest centred, "PRINT" blank; a
    // row of missing values is blanks throughout.
    const std::string title = "NAME               N     SMALL          X     DAY         AT           Z          "
                              "  OK        C             F         T          ";
    const std::string row = "first             42        -7       3.14   29/02/24   23:05:09     1.5,   -2.0    "
                            "YES        q           2.5       200         1";
    EXPECT_EQ(print(ds, -1, 200, 0, -1, 0),
              (std::vector<std::string>{"", title, "", row, std::string(title.size(), ' '), ""}));
    // The screen's margin of 3 on both sides.
    auto framed = print(ds, -1, 200, 3, 30, 0);
    ASSERT_EQ(framed.size(), 6u);
    EXPECT_EQ(framed[1], "   " + title + "   ");
    EXPECT_EQ(framed[3], "   " + row + "   ");
}

TEST_F(Formatter, LongStringsControlCharactersAndClipping)
{
    std::string long_value(150, 'a');
    long_value[127] = 'Z';
    int ds = make({column("TEXT", DOZ_T_STRING, 200, -1), column("S", DOZ_T_STRING, 8, -1)},
                  {{STR(long_value), STR("a\tb\001c")}, {STR("hi"), STR("\033\n")}});
    auto got = print(ds, -1, 200, 0, -1, 0);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[1], "TEXT" + std::string(128, ' ') + "  S       ");
    // The first 128 characters, padded to 128, then " ..."; 132 wide.
    EXPECT_EQ(got[3], std::string(127, 'a') + "Z ...  a\\tb\\001c   ");
    EXPECT_EQ(got[4], "hi" + std::string(126, ' ') + " ...  \\e\\n      ");
    EXPECT_EQ(dyprt_column_width(column("TEXT", DOZ_T_STRING, 200, -1)), 132);
    EXPECT_EQ(dyprt_column_width(column("TEXT", DOZ_T_STRING, 200, 20)), 20);
    EXPECT_EQ(dyprt_column_width(column("A_RATHER_LONG_NAME", DOZ_T_LONG, 6, 0)), 18);
    EXPECT_EQ(dyprt_column_width(column("B", DOZ_T_BLOB, 4, 0)), 24);

    // Lines are clipped at 5000 characters, with one warning per dataset.
    std::vector<DozColDesc> wide;
    std::vector<Cell> row;
    for (int i = 0; i < 40; i++) {
        wide.push_back(column(("C" + std::to_string(i)).c_str(), DOZ_T_STRING, 200, -1));
        row.push_back(STR(std::string(130, 'x')));
    }
    int big = make(wide, {row, row});
    testing::internal::CaptureStderr();
    auto clipped = print(big, -1, 200, 0, -1, 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Warning! DyPrt. Line clipped at 5000 chars\n");
    ASSERT_EQ(clipped.size(), 6u);
    for (const auto &l : clipped)
        EXPECT_LE(l.size(), 5000u);
    EXPECT_EQ(clipped[3].size(), 5000u);
}

TEST_F(Formatter, MultibyteTextIsNeverSplit)
{
    const char *was = setlocale(LC_CTYPE, nullptr);
    std::string before = was ? was : "C";
    if (!setlocale(LC_CTYPE, "C.UTF-8"))
        GTEST_SKIP() << "no UTF-8 locale";
    // 127 ASCII characters and then two-byte characters: the cut after
    // 128 characters ends after the first of them, whole.
    std::string text = std::string(127, 'a') + "\xc3\xa9\xc3\xa9";
    EXPECT_EQ(dyprt_cut_chars(text, 128), std::string(127, 'a') + "\xc3\xa9");
    std::string line;
    EXPECT_TRUE(dyprt_add_text(line, "\xc3\xa9\x01"));
    EXPECT_EQ(line, "\xc3\xa9\\001");
    // A character that does not fit is dropped whole.
    std::string near(4999, 'a');
    EXPECT_FALSE(dyprt_add_text(near, "\xc3\xa9"));
    EXPECT_EQ(near.size(), 4999u);
    setlocale(LC_CTYPE, before.c_str());
}

}  // namespace

namespace {

TEST_F(Formatter, ArraysInColumnsAndInBlocks)
{
    std::vector<DozColDesc> cols = {column("ID", DOZ_T_LONG, 4, 0), column("V", DOZ_T_LONG, 5, 0, 3),
                                    column("W", DOZ_T_SHORT, 3, 0, -4)};
    int ds = make(cols, {{L(7), values<int32_t>({1, 22, 333}), values<int16_t>({-1, -2})}});
    using V = std::vector<std::string>;
    // In columns: a title line for the arrays, one line per element index,
    // ending after the first line in which no array had an element.
    EXPECT_EQ(print(ds, -1, 78, 1, -1, 1), (V{"", "       ID ", "", "        7 ", "", "        V         W ", "",
                                             "        1        -1 ", "       22        -2 ",
                                             "      333           ", "                    ", ""}));
    // In blocks: each array under its own title, as many elements to a
    // line as the page holds.
    EXPECT_EQ(print(ds, -1, 78, 1, -1, 0),
              (V{"", "       ID ", "", "        7 ", "", "        V", "", "        1        22       333 ", "", "",
                 "        W", "", "       -1        -2 ", "", ""}));
    // An array wider than the page: one element per line.
    EXPECT_EQ(print(ds, -1, 12, 1, -1, 0),
              (V{"", "       ID ", "", "        7 ", "", "        V", "", "        1 ", "       22 ", "      333 ", "",
                 "", "        W", "", "       -1 ", "       -2 ", "", ""}));
}

TEST_F(Formatter, PagesTitlesAndAbandon)
{
    std::vector<std::vector<Cell>> rows;
    for (int i = 0; i < 70; i++)
        rows.push_back({L(i)});
    int ds = make({column("N", DOZ_T_LONG, 4, 0)}, rows);
    const std::string title = "       N";

    // Printer pages of 60 lines: a form feed after each 60 lines, and the
    // title again at the top of every page.
    auto paged = print(ds, 60, 78, 0, -1, 0);
    ASSERT_EQ(paged.size(), 3u + 70 + 1 + 3 + 1);
    EXPECT_EQ(paged[60], "<FF>");
    EXPECT_EQ(paged[61], "");
    EXPECT_EQ(paged[62], title);
    EXPECT_EQ(paged[63], "");
    EXPECT_EQ(paged[64], "      57");
    int feeds = 0;
    for (const auto &l : paged)
        feeds += l == "<FF>";
    EXPECT_EQ(feeds, 1);

    // The screen: a title line before rows 0, 30 and 60, no pages.
    auto screen = print(ds, -1, 78, 3, 30, 0);
    std::vector<size_t> titles;
    for (size_t i = 0; i < screen.size(); i++)
        if (screen[i] == "   " + title + "   ")
            titles.push_back(i);
    EXPECT_EQ(titles, (std::vector<size_t>{1, 34, 67}));
    EXPECT_EQ(screen[36], "         30   ");
    EXPECT_EQ(screen.size(), 3u * 3 + 70 + 1);

    // Abandoned on the first refusal: nothing more is asked for.
    refuse_after = 5;
    auto cut = print(ds, -1, 78, 0, -1, 0);
    EXPECT_EQ(cut.size(), 5u);
    refuse_after = -1;
    dyprt_dy_set_output(record, -1, 78, 0, -1, 0);
    refuse_after = 0;
    EXPECT_EQ(dyprt_dy_print_dataset(ds), 0);
    refuse_after = -1;
    EXPECT_EQ(dyprt_dy_print_dataset(ds), 1);
    EXPECT_EQ(dyprt_dy_print_dataset(ds + 1), 0);  // no such dataset
}

}  // namespace
