// The help server's text file: entries, bad lines, and the shipped texts.

#include "helptext.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace {

TEST(HelpTexts, EntriesAndProblems)
{
    const char *text =
        "# comment before any entry\n"
        "stray text before any entry is ignored\n"
        "@12 First title  \n"
        "\n"
        "Line one\n"
        "# a comment inside an entry is not text\n"
        "  indented line two\n"
        "\n"
        "\n"
        "@7 Second\r\n"
        "crlf body\r\n"
        "@12 Duplicate\n"
        "not kept\n"
        "@ 3 blank before id\n"
        "@40000 too large\n"
        "@0 zero\n"
        "@9x glued title\n"
        "@15\n"
        "@16 Empty body\n"
        "@17 Last\n"
        "kept\n";
    HelpTexts t = parse_help_texts(text);
    ASSERT_EQ(t.entries.size(), 4u);
    EXPECT_EQ(t.entries[12].title, "First title");
    EXPECT_EQ(t.entries[12].body, "Line one\n  indented line two");
    EXPECT_EQ(t.entries[7].title, "Second");
    EXPECT_EQ(t.entries[7].body, "crlf body");
    EXPECT_EQ(t.entries[16].body, "");
    EXPECT_EQ(t.entries[17].body, "kept");

    struct {
        int line;
        int kind;
        int id;
    } want[] = {
        {12, HelpProblem::DUPLICATE, 12}, {14, HelpProblem::BAD_ENTRY, 0}, {15, HelpProblem::BAD_ENTRY, 0},
        {16, HelpProblem::BAD_ENTRY, 0},  {17, HelpProblem::BAD_ENTRY, 0}, {18, HelpProblem::BAD_ENTRY, 0},
    };
    ASSERT_EQ(t.problems.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); i++) {
        EXPECT_EQ(t.problems[i].line, want[i].line) << i;
        EXPECT_EQ(t.problems[i].kind, want[i].kind) << i;
        EXPECT_EQ(t.problems[i].id, want[i].id) << i;
    }
}

TEST(HelpTexts, UnreadableFile)
{
    HelpTexts t;
    EXPECT_FALSE(read_help_file("/nonexistent/vostrelane.help", t));
    EXPECT_FALSE(read_help_file("/", t));
}

// Every help id the program registers on its widgets has a text, and the
// shipped file reads cleanly.
TEST(HelpTexts, ShippedTextsCoverRegisteredIds)
{
    const char *src = getenv("VX_SOURCE_DIR");
    ASSERT_TRUE(src);
    HelpTexts t;
    ASSERT_TRUE(read_help_file(std::string(src) + "/data/help/C/vostrelane.help", t));
    EXPECT_TRUE(t.problems.empty()) << "first problem at line " << t.problems.front().line;

    std::set<int> ids = {203, 204, 205, 206, 207, 208, 239, 502, 803, 804, 805, 806};
    for (int i = 229; i <= 237; i++) ids.insert(i);                 // query tools
    for (int i = 254; i <= 258; i++) ids.insert(i);                 // build tools
    for (int i : {279, 280, 281, 282, 283, 284, 285, 286, 287, 288, 290, 292, 293, 295, 296, 297, 298, 299, 300,
                  301, 302, 303, 304, 305, 310})
        ids.insert(i);                                              // query-window dialogs
    for (int i = 404; i <= 407; i++) ids.insert(i);                 // query-window menus
    for (int i = 504; i <= 528; i++) ids.insert(i);                 // display-window dialogs
    for (int i : {628, 629, 630, 631, 633, 634}) ids.insert(i);     // display-window menus
    for (int i = 703; i <= 725; i++) ids.insert(i);                 // graph kind buttons
    for (int id : ids) {
        auto it = t.entries.find(id);
        ASSERT_NE(it, t.entries.end()) << "no help text for id " << id;
        EXPECT_FALSE(it->second.title.empty()) << id;
        EXPECT_FALSE(it->second.body.empty()) << id;
    }
}

}  // namespace
