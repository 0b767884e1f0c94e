// Graph format files: a graph's format written, read into a fresh graph and
// written again unchanged; the reader's grammar on small texts, with the
// old single-value form of `syallscale`, automatic values, titles,
// unsettable properties, and every way a text can be refused.

#include "gokit.h"

#include "gofile.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace {

using gokit::Graph;

std::string written(GoGraph *g)
{
    char *buf = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buf, &size);
    gofile_go_write_graph(g, f);
    fclose(f);
    std::string s(buf, size);
    free(buf);
    return s;
}

// Reads `text` into the graph; `rest` gets the next word after the read.
int read_into(GoGraph *g, const std::string &text, std::string *rest = nullptr)
{
    std::string copy = text;
    FILE *f = fmemopen(copy.data(), copy.size(), "r");
    int r = gofile_go_read_graph(g, f);
    if (rest) {
        char word[64] = "";
        *rest = fscanf(f, "%63s", word) == 1 ? word : "";
    }
    fclose(f);
    return r;
}

int ival(GoGraph *g, int p, int q = 0)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, q, 0));
    return v ? *v : -12345;
}

const char *text(GoGraph *g, int p, int q = 0) { return static_cast<const char *>(goprop_go_property(g, p, q, 0)); }

class FormatFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        goprop_go_forget_default_graph_format();
    }
};

TEST_F(FormatFiles, WrittenFormatReadsBackUnchanged)
{
    Graph a;
    const int seven = 7, two = 2;
    const double tiny = 0.0000001, scale = 2.5;
    goprop_go_set_property(&a, GP_COLOUR, 5, &seven);
    goprop_go_set_property(&a, GP_SYALLSCALE, 3, &two);
    goprop_go_set_property(&a, GP_YMAXIMUM, 0, "12.5");
    goprop_go_set_property(&a, GP_LGDSTEXT, 0, "say \"hi\" \\ back");
    goprop_go_set_property(&a, GP_LABELSIZE, 0, &tiny);
    goprop_go_set_property(&a, GP_XSCALE, 0, &scale);
    const std::string first = written(&a);

    for (const char *line : {"\tcolour 5 7\n", "\tsyallscale 3 2\n", "\tymaximum \"12.5\"\n", "\tyminimum null\n",
                             "\tlgdstext 0 \"say \\\"hi\\\" \\\\ back\"\n", "\tlabelsize 0.000000\n",
                             "\txscale 2.500000\n", "\tgraphtype 0\n"})
        EXPECT_NE(first.find(line), std::string::npos) << line;
    // Titles (kept by the annotation objects, not saved) and read-only rows
    // are left out; the file ends with its end line.
    for (const char *name : {"\ttitle ", "\txtitle ", "\tdatacharacter ", "\tdatafunc "})
        EXPECT_EQ(first.find(name), std::string::npos) << name;
    ASSERT_GE(first.size(), 3u);
    EXPECT_EQ(first.substr(first.size() - 3), "\t;\n");

    // Read into a fresh graph, with the lines that follow it left unread.
    Graph b;
    std::string rest;
    ASSERT_EQ(read_into(&b, first + "endgraph\nstartquery\n", &rest), 1);
    EXPECT_EQ(rest, "endgraph");
    EXPECT_EQ(ival(&b, GP_COLOUR, 5), 7);
    EXPECT_STREQ(text(&b, GP_LGDSTEXT, 0), "say \"hi\" \\ back");
    EXPECT_EQ(written(&b), first);
}

TEST_F(FormatFiles, ReaderGrammar)
{
    struct Case {
        const char *name;
        std::string input;
        int result;
        std::function<void(GoGraph *)> check;
    } cases[] = {
        {"end line only", "\t;\n", 1, nullptr},
        {"end line with more on it", "\t;trailing words\n", 1, nullptr},
        {"syallscale with its qualifier", "\tsyallscale 4 1\n\t;\n", 1,
         [](GoGraph *g) { EXPECT_EQ(ival(g, GP_SYALLSCALE, 4), 1); }},
        {"syallscale as one value", "\tsyallscale 1\n\tcolour 0 4\n\t;\n", 1,
         [](GoGraph *g) {
             EXPECT_EQ(ival(g, GP_SYALLSCALE, 0), 1);
             EXPECT_EQ(ival(g, GP_COLOUR, 0), 4);
         }},
        {"any word beginning with n is automatic", "\tymaximum none\n\tyminimum n\n\t;\n", 1,
         [](GoGraph *g) {
             EXPECT_EQ(text(g, GP_YMAXIMUM), nullptr);
             EXPECT_EQ(text(g, GP_YMINIMUM), nullptr);
         }},
        {"a title is accepted", "\ttitle 0 \"Sales\"\n\tcolour 1 3\n\t;\n", 1,
         [](GoGraph *g) { EXPECT_EQ(ival(g, GP_COLOUR, 1), 3); }},
        {"read-only property skipped", "\tdatacharacter 5\n\tcolour 2 6\n\t;\n", 1,
         [](GoGraph *g) { EXPECT_EQ(ival(g, GP_COLOUR, 2), 6); }},
        {"earlier lines stay set", "\tcolour 0 3\n\tnosuch 1\n\t;\n", 0,
         [](GoGraph *g) { EXPECT_EQ(ival(g, GP_COLOUR, 0), 3); }},
        {"empty", "", 0, nullptr},
        {"no end line", "\tcolour 0 1\n", 0, nullptr},
        {"qualifier missing", "\tcolour x 1\n\t;\n", 0, nullptr},
        {"qualifier out of range is refused by the setter", "\tcolour 216 1\n\tcolour 1 5\n\t;\n", 1,
         [](GoGraph *g) {
             Graph fresh;
             EXPECT_EQ(ival(g, GP_COLOUR, 0), ival(&fresh, GP_COLOUR, 0));
             EXPECT_EQ(ival(g, GP_COLOUR, 1), 5);
         }},
        {"qualifier beyond 32 bits", "\tcolour 4294967296 1\n\t;\n", 0, nullptr},
        {"value missing", "\tcolour 0", 0, nullptr},
        {"text without quotes", "\tymaximum 5\n\t;\n", 0, nullptr},
        {"text not closed", "\tymaximum \"5\n\t;\n", 0, nullptr},
        {"text too long", "\tlgdstext 0 \"" + std::string(110, 'x') + "\"\n\t;\n", 0, nullptr},
        {"text at its bound", "\tlgdstext 0 \"" + std::string(59, 'x') + "\"\n\t;\n", 1, nullptr},
        {"word too long", "\t" + std::string(32, 'c') + " 1\n\t;\n", 0, nullptr},
        {"whole number with a fraction", "\tcolour 0 1.5\n\t;\n", 0, nullptr},
        {"number beyond an int", "\tcolour 0 99999999999\n\t;\n", 0, nullptr},
        {"real that is not a number", "\tlabelsize 1.2.3\n\t;\n", 0, nullptr},
    };
    for (const Case &c : cases) {
        Graph g;
        EXPECT_EQ(read_into(&g, c.input), c.result) << c.name;
        if (c.check)
            c.check(&g);
    }
}

// Lines the setter or the object layer refuses, bounds of words and of
// texts by property: the messages on standard error and what is stored.
TEST_F(FormatFiles, MalformedLines)
{
    const std::string page(4095, 'p'), over(4096, 'o'), huge(5000, 'h');
    struct Case {
        const char *name;
        std::string input;
        int result;
        std::string errors;
        std::function<void(GoGraph *)> check;
    } cases[] = {
        {"unknown keyword", "\tcolour 0 7\n\tcolor 0 5\n\tcolour 1 9\n\t;\n", 0, "",
         [](GoGraph *g) {
             Graph fresh;
             EXPECT_EQ(ival(g, GP_COLOUR, 0), 7);
             EXPECT_EQ(ival(g, GP_COLOUR, 1), ival(&fresh, GP_COLOUR, 1)) << "nothing after the unknown word";
         }},
        {"not settable: warned, goes on", "\tdatacharacter 5\n\tcolour 2 6\n\t;\n", 1,
         "Warning! GoFile. Unsettable property 'datacharacter'\n",
         [](GoGraph *g) { EXPECT_EQ(ival(g, GP_COLOUR, 2), 6); }},
        {"dataset qualifier past the slots: refused, goes on", "\tcolour 300 1\n\tlinestyle 3 2\n\t;\n", 1,
         "Error! PropertyMgr. Illegal set property 3\n",
         [](GoGraph *g) {
             for (int q : {300 % 216, 300 - 216, 0})
                 EXPECT_NE(ival(g, GP_COLOUR, q), 1) << q;
             EXPECT_EQ(ival(g, GP_LINESTYLE, 3), 2);
         }},
        {"drawaxes past z: refused", "\tdrawaxes 3 0\n\tdrawaxes 2 0\n\t;\n", 1,
         "Error! PropertyMgr. Illegal set property 88\n",
         [](GoGraph *g) {
             EXPECT_EQ(ival(g, GP_DRAWAXES, 2), 0);
             EXPECT_EQ(ival(g, GP_DRAWAXES, 0), 1);
         }},
        {"extra y title folded onto its axis", "\tsytitle 218 \"Cost\"\n\t;\n", 1, "",
         [](GoGraph *g) {
             EXPECT_STREQ(text(g, GP_SYTITLE, 3), "Cost");
             void *body = nullptr;
             ASSERT_EQ(gobj_go_get_obj_property(g, GP_ANNOTBODY, 16, 0, &body), 1);
             EXPECT_STREQ(static_cast<const char *>(body), "Cost");
         }},
        {"negative object id: refused, goes on", "\thoffset -3 5.000000\n\tcolour 0 2\n\t;\n", 1,
         "Error! PropertyMgr. Illegal set property 201\n",
         [](GoGraph *g) {
             EXPECT_EQ(gobj_go_get_an_object(g, -3), nullptr);
             EXPECT_EQ(ival(g, GP_COLOUR, 0), 2);
         }},
        {"a page of note text", "\ttitle 9 \"" + page + "\"\n\t;\n", 1, "",
         [&](GoGraph *g) {
             void *body = nullptr;
             ASSERT_EQ(gobj_go_get_obj_property(g, GP_ANNOTBODY, 9, 0, &body), 1);
             EXPECT_EQ(static_cast<const char *>(body), page);
         }},
        {"a page of user text", "\tobjtype 228 0\n\tannotbody 228 \"" + page + "\"\n\t;\n", 1, "",
         [&](GoGraph *g) { EXPECT_EQ(text(g, GP_ANNOTBODY, 228), page); }},
        {"a title one past the page", "\tcolour 0 3\n\txtitle \"" + over + "\"\n\t;\n", 0, "",
         [](GoGraph *g) {
             EXPECT_EQ(ival(g, GP_COLOUR, 0), 3);
             EXPECT_STREQ(text(g, GP_XTITLE), "");
         }},
        {"5000 characters of user text", "\tannotbody 228 \"" + huge + "\"\n\t;\n", 0, "",
         [](GoGraph *g) { EXPECT_EQ(gobj_go_get_an_object(g, 228), nullptr); }},
        {"a short text keeps its bound", "\tlgdolext 0 \"" + std::string(110, 'l') + "\"\n\t;\n", 0, "",
         [](GoGraph *g) { EXPECT_STREQ(text(g, GP_LGDOLEXT, 0), ""); }},
        {"a 40-character word", "\t" + std::string(40, 'w') + " 1\n\t;\n", 0, "", nullptr},
        {"a 40-character value", "\tcolour 0 " + std::string(40, '1') + "\n\t;\n", 0, "", nullptr},
    };
    for (const Case &c : cases) {
        Graph g;
        int result = -1;
        const std::string errors = gokit::stderr_of([&] { result = read_into(&g, c.input); });
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(errors, c.errors) << c.name;
        if (c.check)
            c.check(&g);
    }
}

}  // namespace
