// The table list dialog's list without widgets: the file read and
// written, the list items and the rules of the six edit buttons.

#include "dltlist.h"

#include "vxtest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

enum { SHOW, HIDE, TO_TOP, TO_BOTTOM, GATHER, BY_NAME };

std::string write_temp(const std::string &name, const std::string &content)
{
    static const std::string dir = vxtest::temp_dir("dltlist");
    const std::string path = dir + "/" + name;
    std::ofstream(path) << content;
    return path;
}

std::string read_back(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// "NAME flag" words of the records, in list order.
std::string shown(const std::vector<DlTableRecord> &records)
{
    std::string s;
    for (const DlTableRecord &r : records)
        s += (s.empty() ? "" : " ") + std::string(r.name) + (r.shown ? "+" : "-");
    return s;
}

std::vector<DlTableRecord> list_of(const std::string &text)
{
    std::vector<DlTableRecord> records;
    std::istringstream in(text);
    std::string word;
    int place = 0;
    while (in >> word) {
        DlTableRecord r{};
        const bool on = word.back() == '+';
        word.pop_back();
        snprintf(r.name, sizeof r.name, "%s", word.c_str());
        r.shown = on ? 1 : 0;
        r.order = place++;
        records.push_back(r);
    }
    return records;
}

TEST(TableListFile, ReadsPairsUntilTheEndAndSaysWhetherItGotThere)
{
    struct Case {
        const char *what;
        const char *content;
        const char *records;
        bool complete;
    } cases[] = {
        {"lines of pairs", "STAFF 1\nDEPT 0\nSALES 1\n", "STAFF+ DEPT- SALES+", true},
        {"line breaks mean nothing", "STAFF\n1 DEPT\t0   SALES 1", "STAFF+ DEPT- SALES+", true},
        {"an empty file", "", "", true},
        {"a flag other than 0 is shown", "A 2\nB -1\nC 0\n", "A+ B+ C-", true},
        {"a name over 11 characters is skipped", "STAFF 1\nABCDEFGHIJKL 1\nDEPT 1\n", "STAFF+ DEPT+", true},
        {"11 characters are kept", "ABCDEFGHIJK 1\n", "ABCDEFGHIJK+", true},
        {"a flag that is not a number", "STAFF 1\nDEPT x\nSALES 1\n", "STAFF+", false},
        {"a flag with a tail", "STAFF 1\nDEPT 1x\n", "STAFF+", false},
        {"a last name without its flag", "STAFF 1\nDEPT", "STAFF+", false},
    };
    int i = 0;
    for (const Case &c : cases) {
        std::vector<DlTableRecord> records;
        const std::string path = write_temp("read" + std::to_string(i++), c.content);
        EXPECT_EQ(dltlist_read_file(path.c_str(), records), c.complete) << c.what;
        EXPECT_EQ(shown(records), c.records) << c.what;
        for (size_t k = 0; k < records.size(); k++)
            EXPECT_EQ(records[k].order, static_cast<int>(k)) << c.what;
    }
    std::vector<DlTableRecord> records = list_of("OLD+");
    EXPECT_FALSE(dltlist_read_file((vxtest::temp_dir("dltlist-missing") + "/none").c_str(), records));
    EXPECT_TRUE(records.empty());
}

TEST(TableListFile, WritesOneLineARecordInListOrder)
{
    std::vector<DlTableRecord> records = list_of("SALES+ STAFF+ DEPT-");
    const std::string path = write_temp("written", "old text that goes\n");
    ASSERT_TRUE(dltlist_write_file(path.c_str(), records));
    EXPECT_EQ(read_back(path), "SALES 1\nSTAFF 1\nDEPT 0\n");
    std::vector<DlTableRecord> again;
    EXPECT_TRUE(dltlist_read_file(path.c_str(), again));
    EXPECT_EQ(shown(again), "SALES+ STAFF+ DEPT-");
    // A path that cannot be written: refused, nothing made.
    const std::string dir = vxtest::temp_dir("dltlist-dir");
    EXPECT_FALSE(dltlist_write_file(dir.c_str(), records));
    EXPECT_FALSE(dltlist_write_file((dir + "/no/such/dir/file").c_str(), records));
}

TEST(TableListItems, SixteenColumnsWithTheStarOfAShownTableInTheFifteenth)
{
    struct Case {
        const char *name;
        int shown;
        const char *item;
    } cases[] = {
        {"STAFF", 1, "STAFF         * "},
        {"STAFF", 0, "STAFF           "},
        {"ABCDEFGHIJK", 1, "ABCDEFGHIJK   * "},
        {"", 1, "              * "},
    };
    for (const Case &c : cases) {
        DlTableRecord r{};
        snprintf(r.name, sizeof r.name, "%s", c.name);
        r.shown = c.shown;
        EXPECT_EQ(dltlist_item_text(r), c.item) << c.name;
        EXPECT_EQ(dltlist_item_text(r).size(), 16u);
    }
}

TEST(TableListEdits, EachButtonOnTheSelectionThenShownTablesFirst)
{
    struct Case {
        const char *what;
        const char *before;
        std::vector<int> selected;
        int button;
        const char *after;
        bool acted;
    } cases[] = {
        // The first button pressed after a read sorts shown tables first.
        {"show nothing new: sorted", "A- B+ C- D+", {1}, SHOW, "B+ D+ A- C-", true},
        {"showing joins the shown after lower orders", "A+ B- C+ D-", {1}, SHOW, "A+ B+ C+ D-", true},
        {"hide", "A+ B+ C+ D-", {0, 2}, HIDE, "B+ A- C- D-", true},
        {"two to the top, in listed order", "A+ B+ C+ D+ E-", {2, 3}, TO_TOP, "C+ D+ A+ B+ E-", true},
        {"two to the bottom of their group", "A+ B+ C+ D+ E-", {0, 1}, TO_BOTTOM, "C+ D+ A+ B+ E-", true},
        {"gather behind the first", "A+ B+ C+ D+ E+", {1, 4}, GATHER, "A+ B+ E+ C+ D+", true},
        {"gather three", "A+ B+ C+ D+ E+ F+", {0, 3, 5}, GATHER, "A+ D+ F+ B+ C+ E+", true},
        {"by name with nothing selected", "D+ B- A+ C- E+", {}, BY_NAME, "A+ D+ E+ B- C-", true},
        {"by name compares bytes", "b+ B+ a+ A+", {}, BY_NAME, "A+ B+ a+ b+", true},
        {"no selection: nothing", "B- A+", {}, TO_TOP, "B- A+", false},
        {"a place beyond the list is no selection", "B- A+", {7}, SHOW, "B- A+", false},
    };
    for (const Case &c : cases) {
        std::vector<DlTableRecord> records = list_of(c.before);
        EXPECT_EQ(dltlist_edit(records, c.selected, c.button), c.acted) << c.what;
        EXPECT_EQ(shown(records), c.after) << c.what;
        for (size_t k = 0; k < records.size(); k++)
            EXPECT_EQ(records[k].order, static_cast<int>(k)) << c.what;
    }
}

TEST(TableListEdits, LongListsKeepTheOrdersOfEveryRule)
{
    // 300 shown tables T000 ... T299.
    std::string text;
    for (int i = 0; i < 300; i++) {
        char name[8];
        snprintf(name, sizeof name, "T%03d+", i);
        text += std::string(text.empty() ? "" : " ") + name;
    }
    auto names = [](const std::vector<DlTableRecord> &r, std::initializer_list<int> at) {
        std::string s;
        for (int i : at)
            s += std::string(s.empty() ? "" : " ") + r[static_cast<size_t>(i)].name;
        return s;
    };
    std::vector<DlTableRecord> r = list_of(text);
    ASSERT_TRUE(dltlist_edit(r, std::vector<int>{10, 290}, TO_BOTTOM));
    EXPECT_EQ(names(r, {0, 10, 297, 298, 299}), "T000 T011 T299 T010 T290");

    r = list_of(text);
    ASSERT_TRUE(dltlist_edit(r, std::vector<int>{5, 299}, TO_TOP));
    EXPECT_EQ(names(r, {0, 1, 2, 299}), "T005 T299 T000 T298");

    r = list_of(text);
    ASSERT_TRUE(dltlist_edit(r, std::vector<int>{3, 260, 299}, GATHER));
    EXPECT_EQ(names(r, {2, 3, 4, 5, 6, 299}), "T002 T003 T260 T299 T004 T298");
    EXPECT_EQ(r.size(), 300u);
}

}  // namespace
