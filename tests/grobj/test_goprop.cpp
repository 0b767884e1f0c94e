// Graph properties: the table, the default formats, reading, setting and
// checking by number, and the properties the annotation objects hold.

#include "gokit.h"

#include "dlmess.h"
#include "dsmgr.h"
#include "pelx.h"

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>

namespace {

using gokit::Graph;

class Properties : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        dlmess_reset_error_suppression();
        goprop_go_forget_default_graph_format();
        skip_text_eval_errors = 0;
        gopix_num_colour_entries = 18;
        gopix_num_linestyle_entries = 8;
        gopix_num_marker_entries = 16;
        gopix_num_hatch_entries = 10;
        gopix_num_font_entries = 4;
    }
    void TearDown() override { go_set_display_hooks(nullptr); }
};

int ival(GoGraph *g, int p, int q = 0)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, q, 0));
    return v ? *v : -12345;
}

TEST_F(Properties, TheTableHasItsCountsAndUniqueShortNames)
{
    std::map<int, int> qualifiers, access, type;
    std::set<std::string> names;
    for (int i = 0; i < GO_NUM_PROPERTIES; i++) {
        const char *name = nullptr;
        int q = 0, a = 0, t = 0;
        ASSERT_EQ(goprop_go_inquire_property(i, &name, &q, &a, &t), 1);
        qualifiers[q]++;
        access[a]++;
        type[t]++;
        EXPECT_LE(strlen(name), 15u) << name;
        EXPECT_TRUE(names.insert(name).second) << name;
        int back = -1;
        ASSERT_EQ(goprop_go_lookup_property(name, &back, nullptr, nullptr, nullptr), 1);
        EXPECT_EQ(back, i);
    }
    EXPECT_EQ(qualifiers, (std::map<int, int>{{0, 159}, {216, 6}, {215, 18}, {10, 3}, {9, 5}, {8, 5}, {3, 1},
                                              {2, 1}, {-1, 27}}));
    EXPECT_EQ(access, (std::map<int, int>{{1, 200}, {2, 14}, {0, 11}}));
    EXPECT_EQ(type, (std::map<int, int>{{0, 51}, {1, 158}, {3, 16}}));

    int index = -1, q = 0, a = 0, t = 0;
    EXPECT_EQ(goprop_go_lookup_property("graphname", &index, &q, &a, &t), 1);
    EXPECT_EQ(index, 196);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(goprop_go_lookup_property("Colour", &index, &q, &a, &t), 0) << "names are case-sensitive";
    index = 77;
    EXPECT_EQ(goprop_go_inquire_property(225, nullptr, &index, nullptr, nullptr), 0);
    EXPECT_EQ(goprop_go_inquire_property(-1, nullptr, &index, nullptr, nullptr), 0);
    EXPECT_EQ(index, 77) << "nothing written";
}

TEST_F(Properties, TheBuiltInDefaultFormat)
{
    Graph g;
    const int cycle[18] = {3, 4, 5, 6, 7, 1, 2, 9, 10, 11, 12, 13, 14, 15, 8, 17, 18, 19};
    for (int d : {0, 1, 5, 17, 18, 19, 215}) {
        SCOPED_TRACE(d);
        EXPECT_EQ(ival(&g, GP_COLOUR, d), cycle[d % 18]);
        EXPECT_EQ(ival(&g, GP_ASLINE, d), d == 0 ? 0 : 1);
        EXPECT_EQ(ival(&g, GP_HATCHSTYLE, d), 1);
    }
    const int ovl[9] = {4, 5, 6, 7, 1, 2, 3, 4, 4};
    for (int o = 0; o < 9; o++) {
        EXPECT_EQ(ival(&g, GP_OVLCOLOUR, o), ovl[o]);
        EXPECT_EQ(ival(&g, GP_OVLVAL, o), o == 8 ? 2 : 0);
    }
    for (int t = 0; t < 8; t++) {
        EXPECT_EQ(goprop_go_property(&g, GP_THRESH_VAL, t, 0), nullptr) << "unset";
        EXPECT_EQ(ival(&g, GP_THRESH_COLOUR, t), 3 + t);
        EXPECT_EQ(ival(&g, GP_THRESH_HATCH, t), 1);
    }
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_DIE_X, 0, 0)), "1.0");
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_WFCENTRE_Y, 0, 1)), 0.0);
    EXPECT_EQ(goprop_go_property(&g, GP_WFDIAMETER, 0, 0), nullptr);
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_BOX_LIMIT, 0, 1)), 2.0);
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_YLABELFORMAT, 0, 0)), "%v");
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_SYLABELFORMAT, 214, 0)), "%v");
    EXPECT_EQ(ival(&g, GP_SYSPACING, 100), 20);
    EXPECT_EQ(ival(&g, GP_SYTYPE, 3), 2);
    EXPECT_EQ(ival(&g, GP_LEFTMARGIN), 80);
    EXPECT_EQ(ival(&g, GP_TOPMARGIN), 40);
    EXPECT_EQ(ival(&g, GP_TIMEUNITS), 6);
    EXPECT_EQ(ival(&g, GP_DRAWAXES, 2), 1);
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_LGTEXTSIZE, 0, 0)), 0.15);
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_BOXWIDTH, 0, 0)), 2.0);
    EXPECT_EQ(ival(&g, GP_TICKSPACE), 4);
    EXPECT_EQ(ival(&g, GP_TITLEORIGIN), 7);
    EXPECT_EQ(ival(&g, GP_ARROWANGLE), 30);
}

TEST_F(Properties, TheUserDefaultIsACopyUntilReplaced)
{
    GoFormat mine = *goprop_go_default_graph_format();
    mine.graphtype = 7;
    goprop_go_set_default_graph_format(&mine);
    mine.graphtype = 9;
    EXPECT_EQ(goprop_go_default_graph_format()->graphtype, 7);
    goprop_go_forget_default_graph_format();
    EXPECT_EQ(goprop_go_default_graph_format()->graphtype, 0);
    int marker = 1;
    goprop_go_default_graph_format()->objects = &marker;
    EXPECT_EQ(goprop_go_default_graph_format()->objects, nullptr) << "no graph shares another's objects";
}

TEST_F(Properties, LimitTextsAreAutomaticTextOrNumber)
{
    Graph g;
    EXPECT_EQ(goprop_go_property(&g, GP_XMINIMUM, 0, 1), nullptr) << "automatic";
    goprop_go_set_property(&g, GP_XMINIMUM, 0, "10");
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_XMINIMUM, 0, 0)), "10");
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_XMINIMUM, 0, 1)), 10.0);
    EXPECT_STREQ(g.format.axis[0].limit[GL_MIN], "10");
    goprop_go_set_property(&g, GP_XMINIMUM, 0, nullptr);
    EXPECT_EQ(goprop_go_property(&g, GP_XMINIMUM, 0, 1), nullptr);
    EXPECT_STREQ(g.format.axis[0].limit[GL_MIN], "");

    // Divisions and ticks come back as integers, truncated and clamped.
    goprop_go_set_property(&g, GP_YNUMDIVS, 0, "7.9");
    EXPECT_EQ(*static_cast<int *>(goprop_go_property(&g, GP_YNUMDIVS, 0, 1)), 7);
    goprop_go_set_property(&g, GP_YNUMTICKS, 0, "1e300");
    EXPECT_EQ(*static_cast<int *>(goprop_go_property(&g, GP_YNUMTICKS, 0, 1)), 2147483647);
    // At most 12 characters are kept.
    goprop_go_set_property(&g, GP_ZMAXIMUM, 0, "1234567890.12345");
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_ZMAXIMUM, 0, 0)), "1234567890.1");
    // Secondary axes: the qualifier folds into range.
    goprop_go_set_property(&g, GP_SYMAXIMUM, 3, "5");
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_SYMAXIMUM, 3 + 215, 1)), 5.0);
    // Thresholds: an empty text clears.
    goprop_go_set_property(&g, GP_THRESH_VAL, 2, "4.5");
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_THRESH_VAL, 10, 1)), 4.5);
    goprop_go_set_property(&g, GP_THRESH_VAL, 2, "");
    EXPECT_EQ(goprop_go_property(&g, GP_THRESH_VAL, 2, 1), nullptr);
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(Properties, ANumberFollowedByAWordIsAnExpression)
{
    // No interpreter here: the expression cannot be evaluated, which is
    // reported, and the value stays unknown rather than becoming 10.
    Graph g;
    goprop_go_set_property(&g, GP_XMAXIMUM, 0, "10 apples");
    EXPECT_EQ(goprop_go_property(&g, GP_XMAXIMUM, 0, 1), nullptr);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].substr(0, 5), "67/4:");
    EXPECT_NE(gokit::boxes()[0].find("10 apples"), std::string::npos);
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_XMAXIMUM, 0, 0)), "10 apples") << "kept";
    // Surrounding blanks are no words.
    goprop_go_set_property(&g, GP_XMAXIMUM, 0, "  2.5e1  ");
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_XMAXIMUM, 0, 1)), 25.0);
}

TEST_F(Properties, PerDatasetValuesAndTheirQualifiers)
{
    Graph g;
    int colour = 11;
    goprop_go_set_property(&g, GP_COLOUR, 1, &colour);
    EXPECT_EQ(ival(&g, GP_COLOUR, 217), 11) << "reading folds 217 to dataset 1";
    EXPECT_EQ(goprop_go_check_property_value(&g, GP_COLOUR, 216, &colour), 0);
    EXPECT_EQ(goprop_go_check_property_value(&g, GP_COLOUR, 215, &colour), 1);

    // Setting takes the qualifier as it is: out of range is refused.
    colour = 2;
    const GoFormat before = g.format;
    std::string err = gokit::stderr_of([&] {
        goprop_go_set_property(&g, GP_COLOUR, 300, &colour);
        goprop_go_set_property(&g, GP_COLOUR, -1, &colour);
        goprop_go_set_property(&g, GP_OVLSTYLE, 9, &colour);
        goprop_go_set_property(&g, GP_DRAWAXES, 3, &colour);
    });
    EXPECT_EQ(err, "Error! PropertyMgr. Illegal set property 3\nError! PropertyMgr. Illegal set property 3\n"
                   "Error! PropertyMgr. Illegal set property 55\nError! PropertyMgr. Illegal set property 88\n");
    EXPECT_EQ(memcmp(&before, &g.format, sizeof before), 0) << "nothing changed";

    // Reading refuses negatives and axes beyond z.
    err = gokit::stderr_of([&] {
        EXPECT_EQ(goprop_go_property(&g, GP_DRAWAXES, 3, 0), nullptr);
        EXPECT_EQ(goprop_go_property(&g, GP_COLOUR, -1, 0), nullptr);
        EXPECT_EQ(goprop_go_property(&g, GP_SYORIGIN, -215, 0), nullptr);
    });
    EXPECT_NE(err.find("Qualifier 3 out of range for property 88"), std::string::npos) << err;
    EXPECT_EQ(goprop_go_check_property_value(&g, GP_DRAWAXES, 3, &colour), 0);
    EXPECT_EQ(goprop_go_check_property_value(&g, GP_DRAWAXES, 2, &colour), 1);

    // Per-axis, legend and secondary values reduce when set.
    goprop_go_set_property(&g, GP_LGDSTEXT, 216 + 4, "fourth");
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_LGDSTEXT, 4, 0)), "fourth");
    int type = 3;
    goprop_go_set_property(&g, GP_SYTYPE, 215 + 7, &type);
    EXPECT_EQ(ival(&g, GP_SYTYPE, 7), 3);
}

TEST_F(Properties, TextsAreCutToTheirFields)
{
    Graph g;
    goprop_go_set_property(&g, GP_XLABELFORMAT, 0, "%v units of time and more");
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_XLABELFORMAT, 0, 0)), "%v units of time");
    goprop_go_set_property(&g, GP_GRAPHNAME, 0, "a long graph name");
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_GRAPHNAME, 0, 0)), "a long graph n");
    const std::string seventy(70, 'x');
    goprop_go_set_property(&g, GP_LGDOLEXT, 8, seventy.c_str());
    EXPECT_EQ(strlen(static_cast<char *>(goprop_go_property(&g, GP_LGDOLEXT, 8, 0))), 60u);
}

TEST_F(Properties, BoxWidthRewritesTheBoxLimit)
{
    Graph g;
    double w = 2.5;
    goprop_go_set_property(&g, GP_BOXWIDTH, 0, &w);
    EXPECT_EQ(*static_cast<double *>(goprop_go_property(&g, GP_BOXWIDTH, 0, 0)), 2.5);
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_BOX_LIMIT, 0, 0)), "2.500000");
    EXPECT_EQ(g.format.box_limit.set, 1);
    w = 123456.75;
    goprop_go_set_property(&g, GP_BOXWIDTH, 0, &w);
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_BOX_LIMIT, 0, 0)), "123456.75000") << "12 kept";
}

TEST_F(Properties, TheCheckTableBounds)
{
    Graph g;
    struct Case {
        int property, qualifier;
        int value;
        int ok;
    } ints[] = {
        {GP_GRAPHTYPE, 0, 21, 1},      {GP_GRAPHTYPE, 0, 22, 0},     {GP_GRAPHTYPE, 0, -1, 0},
        {GP_COLOUR, 0, -1, 1},         {GP_COLOUR, 0, 17, 1},        {GP_COLOUR, 0, 18, 0},
        {GP_COLOUR, -1, 3, 0},         {GP_LINESTYLE, 0, 7, 1},      {GP_LINESTYLE, 0, 8, 0},
        {GP_MARKERSTYLE, 0, 15, 1},    {GP_MARKERSTYLE, 0, 16, 0},   {GP_HATCHSTYLE, 0, 9, 1},
        {GP_HATCHSTYLE, 0, 10, 0},     {GP_HATCHSTYLE, 0, -1, 0},    {GP_ASLINE, 215, 5, 1},
        {GP_ASLINE, 216, 0, 0},        {GP_OVERLAYON, 8, 1, 1},      {GP_OVERLAYON, 9, 1, 0},
        {GP_OVLCOLOUR, 0, -1, 0},      {GP_OVLCOLOUR, 0, 17, 1},     {GP_OVLSTYLE, 8, 8, 0},
        {GP_LEFTMARGIN, 0, 1000, 1},   {GP_TOPMARGIN, 0, 1001, 0},   {GP_CBXOFFSET, 0, -1, 0},
        {GP_SMALLTICKLEN, 0, 100, 1},  {GP_CBWIDTH, 0, 101, 0},      {GP_LABELFONT, 0, 3, 1},
        {GP_LGTEXTFONT, 0, 4, 0},      {GP_AXISCOLOUR, 0, -1, 0},    {GP_THRESH_COLOUR, 0, -1, 1},
        {GP_WFMISSCOLOUR, 0, 17, 1},   {GP_WFMISSCOLOUR, 0, 18, 0},  {GP_THRESH_MARKER, 0, 16, 0},
        {GP_THRESH_HATCH, 216, 1, 0},  {GP_XROTATION, 0, -90, 1},    {GP_XROTATION, 0, 91, 0},
        {GP_YROTATION, 0, -180, 1},    {GP_YROTATION, 0, 181, 0},    {GP_LGSTYLE, 0, 2, 1},
        {GP_TAILTYPE, 0, 3, 0},        {GP_CBGRAVITY, 0, 0, 0},      {GP_CBGRAVITY, 0, 2, 1},
        {GP_GRIDX, 0, 2, 0},           {GP_GRIDZ, 0, 512, 1},        {GP_GRIDZ, 0, 513, 0},
        {GP_BINMETHOD, 0, 4, 1},       {GP_MARKERJOIN, 0, 5, 0},     {GP_SYTYPE, 214, 3, 1},
        {GP_SYTYPE, 215, 3, 0},        {GP_SYTYPE, 0, 4, 0},         {GP_SYSPACING, 0, 1000, 1},
        {GP_SYLOGARITHMIC, 215, 0, 0}, {GP_BARCENTRED, 0, 2, 0},     {GP_LGGRAVITY, 0, 3, 1},
        {GP_LGCOLUMNS, 0, 0, 0},       {GP_LGCOLUMNS, 0, 8, 1},      {GP_PIE_LABEL, 0, 8, 0},
        {GP_TIMEUNITS, 0, 7, 1},       {GP_XLOGARITHMIC, 0, 99, 1},  {GP_MARGIN_UNITS, 0, 5, 1},
        {GP_DRAWAXES, -1, 1, 0},       {GP_OVLVAL, 8, -5, 1},
    };
    for (const Case &c : ints) {
        SCOPED_TRACE(std::string(property_info[c.property].name) + " q " + std::to_string(c.qualifier) + " v " +
                     std::to_string(c.value));
        EXPECT_EQ(goprop_go_check_property_value(&g, c.property, c.qualifier, &c.value), c.ok);
    }
    struct DCase {
        int property;
        double value;
        int ok;
    } doubles[] = {
        {GP_LABELSIZE, 1.0, 1},  {GP_LABELSIZE, 1.01, 0}, {GP_MARKERSIZE, -0.1, 0}, {GP_BOXWIDTH, 5.0, 1},
        {GP_BOXWIDTH, 5.5, 0},   {GP_LGTEXTSIZE, 100, 1}, {GP_LGTEXTSIZE, 101, 0},  {GP_XSCALE, -1e9, 1},
    };
    for (const DCase &c : doubles)
        EXPECT_EQ(goprop_go_check_property_value(&g, c.property, 0, &c.value), c.ok)
            << property_info[c.property].name << " " << c.value;
    struct TCase {
        int property, qualifier;
        const char *value;
        int ok;
    } texts[] = {
        {GP_XMINIMUM, 0, "123456789012", 1}, {GP_XMINIMUM, 0, "1234567890123", 0}, {GP_HBINSIZE, 0, nullptr, 1},
        {GP_ZLABELFORMAT, 0, "0123456789abcdef", 1}, {GP_ZLABELFORMAT, 0, "0123456789abcdefg", 0},
        {GP_SYMINIMUM, 214, "1", 1},         {GP_SYMINIMUM, 215, "1", 0},           {GP_GRAPHNAME, 0, "fifteen chars!!", 0},
        {GP_LGDSTEXT, 216, "x", 0},          {GP_LGDOLEXT, 8, "x", 1},
        // The start angle is a limit text: a number must lie in one turn.
        {GP_THETA_START, 0, "6", 1},         {GP_THETA_START, 0, "7", 0},           {GP_THETA_START, 0, "-0.1", 0},
        {GP_THETA_START, 0, "PI()/2", 1},    {GP_THETA_START, 0, nullptr, 1},       {GP_THETA_START, 0, "0.12345678901", 0},
    };
    for (const TCase &c : texts)
        EXPECT_EQ(goprop_go_check_property_value(&g, c.property, c.qualifier, c.value), c.ok)
            << property_info[c.property].name << " " << (c.value ? c.value : "(null)");
    int any = 1;
    EXPECT_EQ(goprop_go_check_property_value(&g, GP_GRAPHTYPE, 0, nullptr), 0) << "no value";
    // The format properties the object layer judges: limit texts of up to
    // 12 characters (none is automatic), the fail-spot style 0-4 and the
    // toggles 0-1.
    const struct {
        int property;
        const char *text;
        int value, ok;
    } judged[] = {
        {GP_DIE_X, "2", 0, 1},           {GP_WFDIAMETER, "123456789012", 0, 1}, {GP_BOX_LIMIT, "1234567890123", 0, 0},
        {GP_TAIL_LIMIT, nullptr, 0, 1},  {GP_CENTRE_OFFSET, "SQRT(2)", 0, 1},  {GP_WFCENTRE_Y, "", 0, 1},
        {GP_WFFSPOT, nullptr, 4, 1},     {GP_WFFSPOT, nullptr, 5, 0},          {GP_WFFSPOT, nullptr, -1, 0},
        {GP_WFOUTLINE, nullptr, 1, 1},   {GP_CONNECT_MEANS, nullptr, 2, 0},    {GP_THRESH_LINES, nullptr, -1, 0},
        {GP_LABELDIE, nullptr, 0, 1},    {GP_POLAR_OUTPUT, nullptr, 1, 1},     {GP_POLAR_OUTPUT, nullptr, 2, 0},
    };
    for (const auto &c : judged) {
        const void *v = property_info[c.property].type == GT_TEXT ? static_cast<const void *>(c.text) : &c.value;
        EXPECT_EQ(goprop_go_check_property_value(&g, c.property, 0, v), c.ok)
            << property_info[c.property].name << " " << (c.text ? c.text : std::to_string(c.value));
    }
    EXPECT_EQ(goprop_go_check_property_value(&g, GP_WFFSPOT, 0, nullptr), 0) << "no value";
    EXPECT_EQ(goprop_go_check_property_value(&g, GP_OPAQUE, 228, &any), 1) << "judged by a text's ranges";
}

// The object layer answers for the titles and the objects' properties
// (tests/grobj/test_goobj.cpp); what it does not know stays unknown.
TEST_F(Properties, UnknownToTheObjectLayerToo)
{
    Graph g;
    std::string err = gokit::stderr_of([&] {
        EXPECT_EQ(goprop_go_property(&g, GP_ARROW_HANGLE, 230, 0), nullptr);
        EXPECT_EQ(goprop_go_property(&g, GP_TITLE, 228, 0), nullptr);
        EXPECT_EQ(goprop_go_property(&g, 225, 0, 0), nullptr);
    });
    EXPECT_EQ(err, "Error! PropertyMgr. Unknown property 224\nError! PropertyMgr. Unknown property 50\n"
                   "Error! PropertyMgr. Unknown property 225\n");
    int one = 1;
    err = gokit::stderr_of([&] {
        goprop_go_set_property(&g, GP_DATACHARACTER, 0, &one);
        goprop_go_set_property(&g, GP_TICKSPACE, 0, &one);
        goprop_go_set_property(&g, GP_OPAQUE, -3, &one);
    });
    EXPECT_EQ(err, "Error! PropertyMgr. Illegal set property 2\nError! PropertyMgr. Illegal set property 78\n"
                   "Error! PropertyMgr. Illegal set property 207\n");
}

TEST_F(Properties, DataFunctionAndCharacter)
{
    Graph g;
    EXPECT_EQ(goprop_go_property(&g, GP_DATAFUNC, 0, 0), reinterpret_cast<void *>(&goprop_triple_reader));
    EXPECT_EQ(goprop_go_property(&g, GP_DATAFUNC, 1, 0), reinterpret_cast<void *>(&goprop_multiy_reader));
    const int d = gokit::load({gokit::col(DOZ_T_LONG), gokit::col(DOZ_T_REAL)},
                              {{gokit::num(1), gokit::num(2)}}, 3);
    EXPECT_EQ(*static_cast<int *>(goprop_go_property(&g, GP_DATACHARACTER, d, 0)), DS_CH_XY);
}

TEST_F(Properties, WithoutAnInterpreterLegendExpressionsShowAsText)
{
    Graph g;
    goprop_go_set_property(&g, GP_LGDSTEXT, 0, "Total: [ sum ]");
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_LGDSTEXT, 0, 1)), "Total: SUM");
    EXPECT_STREQ(static_cast<char *>(goprop_go_property(&g, GP_LGDSTEXT, 0, 0)), "Total: [ sum ]");
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(Properties, StyleCountsComeFromTheConfiguredScreenDevice)
{
    const std::string etc = std::string(getenv("VX_BUILD_DIR") ? getenv("VX_BUILD_DIR") : ".") + "/etc";
    const std::string cat = std::string(getenv("VX_BUILD_DIR") ? getenv("VX_BUILD_DIR") : ".") +
                            "/messages/SUN4SOLARIS/C/pelx.cat";
    ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()), 0);
    ASSERT_EQ(gopix_go_count_styles(), 1);
    GDeviceEntry e{};
    ASSERT_EQ(GGetDevice(0, &e), 0);
    EXPECT_EQ(gopix_num_colour_entries, GGetNumColoursIn(e.tables[GT_COLOURS]) + 2);
    EXPECT_EQ(gopix_num_marker_entries, e.tables[GT_MARKERS]->length - 4) << "selection markers get no index";
    EXPECT_EQ(gopix_num_hatch_entries, e.tables[GT_HATCHES]->length + 2) << "hollow and solid first";
    EXPECT_EQ(gopix_num_linestyle_entries, e.tables[GT_LINES]->length);
    EXPECT_EQ(gopix_num_font_entries, e.tables[GT_FONTS]->length);
    gdev_GFreeDeviceEntry(&e);
    GTerminate();
}

}  // namespace
