// The annotation objects of a graph through the graph's properties: the
// predefined texts and their defaults, the title properties mapped onto
// them, user texts and arrows, emptying and resetting, qualifiers that are
// refused, and the objects' lines in a graph format file read back.

#include "gokit.h"

#include "gofile.h"
#include "goobjtext.h"

#include <cstring>
#include <string>

namespace {

using gokit::Graph;

int iget(GoGraph *g, int p, int q, int evaluate = 0)
{
    const void *v = goprop_go_property(g, p, q, evaluate);
    return v ? *static_cast<const int *>(v) : -999;
}
double dget(GoGraph *g, int p, int q, int evaluate = 0)
{
    const void *v = goprop_go_property(g, p, q, evaluate);
    return v ? *static_cast<const double *>(v) : -999;
}
std::string sget(GoGraph *g, int p, int q, int evaluate = 0)
{
    const void *v = goprop_go_property(g, p, q, evaluate);
    return v ? static_cast<const char *>(v) : "(none)";
}
void iset(GoGraph *g, int p, int q, int v) { goprop_go_set_property(g, p, q, &v); }
void dset(GoGraph *g, int p, int q, double v) { goprop_go_set_property(g, p, q, &v); }

class GraphObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GInitialise((gokit_build() + "/etc").c_str(), "pelx.cfg",
                              (gokit_build() + "/messages/SUN4SOLARIS/C/pelx.cat").c_str(),
                              (gokit_build() + "/etc/pelx.rgb").c_str()),
                  0);
        gopix_go_count_styles();
    }
    void TearDown() override { GTerminate(); }
    static std::string gokit_build() { return getenv("VX_BUILD_DIR") ? getenv("VX_BUILD_DIR") : "."; }
};

TEST_F(GraphObjects, PredefinedTextsAndTheirDefaults)
{
    Graph g;
    struct Row {
        int id, origin, frame, vattach;
        double hoffset, voffset;
        int font;
        double size;
        int fgcol;
    } rows[] = {
        {0, 7, 0, 0, 5000, 9000, -1, -1, -1},    {4, 7, 0, 0, 5000, 7000, -1, -1, -1},
        {5, 7, 0, 0, 0, 0, -3, -1, -1},          {10, 7, 6, 1, 5000, 9000, -2, -2, -2},
        {11, 3, 7, 1, 9000, 5000, -2, -2, -2},   {12, 7, 8, 1, 5000, 9000, -2, -2, -2},
        {13, 3, 9, 1, 9000, 5000, -2, -2, -2},   {226, 3, 222, 1, 9000, 5000, -2, -2, -2},
        {227, 3, 223, 1, 9000, 5000, -2, -2, -2}, {228, 1, 3, 1, 50, 90, -1, -1, -1},
    };
    EXPECT_EQ(gobj_go_create_text(&g), 228) << "the first property access made 0 to 227";
    for (const Row &r : rows) {
        SCOPED_TRACE(r.id);
        EXPECT_EQ(iget(&g, GP_ORIGIN, r.id), r.origin);
        EXPECT_EQ(iget(&g, GP_POSITION, r.id), r.frame);
        EXPECT_EQ(iget(&g, GP_VATTACH, r.id), r.vattach);
        EXPECT_EQ(dget(&g, GP_HOFFSET, r.id), r.hoffset);
        EXPECT_EQ(dget(&g, GP_VOFFSET, r.id), r.voffset);
        EXPECT_EQ(iget(&g, GP_ANNOTFONT, r.id), r.font);
        EXPECT_EQ(dget(&g, GP_ANNOTSIZE, r.id), r.size);
        EXPECT_EQ(iget(&g, GP_FGCOL, r.id), r.fgcol);
        EXPECT_EQ(iget(&g, GP_ANNOTANGLE, r.id), 0);
        EXPECT_EQ(sget(&g, GP_ANNOTBODY, r.id), "");
        EXPECT_EQ(iget(&g, GP_OBJTYPE, r.id), 0);
    }
    // A reset makes them again with their defaults.
    dset(&g, GP_HOFFSET, 4, 1234);
    gobj_go_reset_objects(&g);
    EXPECT_EQ(dget(&g, GP_HOFFSET, 4), 5000);
    EXPECT_EQ(gobj_go_create_text(&g), 228) << "the user text went with the reset";

    // A graph on a copy of this graph's format still gets its own texts.
    Graph other;
    other.format = g.format;
    other.g.format = &other.format;
    EXPECT_EQ(gobj_go_create_text(&other.g), 228);
    EXPECT_EQ(dget(&other.g, GP_VOFFSET, 1), 8500);
}

TEST_F(GraphObjects, TitlePropertiesMapOntoTheirObjects)
{
    Graph g;
    goprop_go_set_property(&g, GP_TITLE, 2, "Revenue\nby date");
    goprop_go_set_property(&g, GP_TITLE, 7, "a note\nof two lines");
    EXPECT_EQ(sget(&g, GP_TITLE, 2), "Revenue") << "titles 0-4 keep their first line";
    EXPECT_EQ(sget(&g, GP_ANNOTBODY, 2), "Revenue\nby date");
    EXPECT_EQ(sget(&g, GP_TITLE, 7), "a note\nof two lines");
    goprop_go_set_property(&g, GP_XTITLE, 0, "Date");
    EXPECT_EQ(sget(&g, GP_ANNOTBODY, 10), "Date");
    goprop_go_set_property(&g, GP_SYTITLE, 3, "third");
    EXPECT_EQ(sget(&g, GP_ANNOTBODY, 16), "third");
    goprop_go_set_property(&g, GP_SYTITLE, 218, "wrapped");
    EXPECT_EQ(sget(&g, GP_ANNOTBODY, 16), "wrapped") << "218 is axis 3 again";
    EXPECT_EQ(iget(&g, GP_XANGLE, 0), 1);

    // Places are integers outside and doubles inside.
    iset(&g, GP_TITLEX, 2, 4000);
    EXPECT_EQ(dget(&g, GP_HOFFSET, 2), 4000.0);
    dset(&g, GP_VOFFSET, 11, 4321.6);
    EXPECT_EQ(iget(&g, GP_YTITLEY, 0), 4322);

    // yangle 1 is a level title hung from its middle; anything else turns it.
    struct Angle {
        int property, value, id, angle, origin, back;
    } angles[] = {{GP_YANGLE, 0, 11, 90, 1, 0}, {GP_YANGLE, 1, 11, 0, 3, 1},
                  {GP_SYANGLE, 0, 14, 90, 1, 0}, {GP_ZANGLE, 0, 12, 90, 7, 0}};
    for (const Angle &a : angles) {
        SCOPED_TRACE(testing::Message() << a.property << " " << a.value);
        iset(&g, a.property, 1, a.value);
        EXPECT_EQ(iget(&g, GP_ANNOTANGLE, a.id), a.angle);
        EXPECT_EQ(iget(&g, GP_ORIGIN, a.id), a.origin);
        EXPECT_EQ(iget(&g, a.property, 1), a.back);
    }

    // Emptying a title restores its place; a long body is cut.
    goprop_go_set_property(&g, GP_TITLE, 2, "");
    EXPECT_EQ(dget(&g, GP_HOFFSET, 2), 5000);
    EXPECT_EQ(dget(&g, GP_VOFFSET, 2), 8000);
    const std::string long_body(5000, 'x');
    goprop_go_set_property(&g, GP_TITLE, 0, long_body.c_str());
    EXPECT_EQ(sget(&g, GP_ANNOTBODY, 0).size(), 4095u);
    EXPECT_FALSE(goprop_go_check_property_value(&g, GP_ANNOTBODY, 0, long_body.c_str()));
}

TEST_F(GraphObjects, IndirectionsFollowTheGraph)
{
    Graph g;
    iset(&g, GP_TITLEFONT, 0, 2);
    iset(&g, GP_NOTESFONT, 0, 3);
    iset(&g, GP_LABELCOLOUR, 0, 5);
    dset(&g, GP_TITLESIZE, 0, 0.4);
    EXPECT_EQ(iget(&g, GP_ANNOTFONT, 0), -1) << "stored";
    EXPECT_EQ(iget(&g, GP_ANNOTFONT, 0, 1), 2) << "evaluated";
    iset(&g, GP_TITLEFONT, 0, 1);
    EXPECT_EQ(iget(&g, GP_ANNOTFONT, 0, 1), 1) << "follows the graph";
    EXPECT_EQ(iget(&g, GP_ANNOTFONT, 5, 1), 3);
    EXPECT_EQ(dget(&g, GP_ANNOTSIZE, 0, 1), 0.4);
    EXPECT_EQ(iget(&g, GP_FGCOL, 10, 1), 5);
    EXPECT_EQ(iget(&g, GP_FGCOL, 10, 0), -2);
}

TEST_F(GraphObjects, UserTextsArrowsAndRefusedQualifiers)
{
    Graph g;
    const int text = gobj_go_set_text_object(&g, -1, "a note", nullptr);
    EXPECT_EQ(text, 228) << "id -1 makes a new text";
    EXPECT_EQ(sget(&g, GP_ANNOTBODY, 0), "") << "and leaves the others";
    const int arrow = gobj_go_create_arrow(&g, text);
    EXPECT_EQ(arrow, 229) << "the lowest free id above the twenty titles and notes";
    EXPECT_EQ(iget(&g, GP_REFERENCE, arrow), text);
    EXPECT_EQ(iget(&g, GP_OBJTYPE, arrow), 1);
    EXPECT_EQ(iget(&g, GP_POSITION, arrow), 1) << "arrows point at data";
    EXPECT_EQ(iget(&g, GP_FGCOL, arrow), 2);
    EXPECT_EQ(iget(&g, GP_ARROW_SCALE, arrow), 15);
    EXPECT_EQ(gobj_go_get_arrows(&g, text), std::vector<int>{arrow});

    // A tip not given is found and has no value; given, it evaluates.
    std::string err = gokit::stderr_of([&] { EXPECT_EQ(goprop_go_property(&g, GP_ARROW_Y, arrow, 0), nullptr); });
    EXPECT_EQ(err, "");
    goprop_go_set_property(&g, GP_ARROW_X, arrow, "2.5");
    EXPECT_EQ(sget(&g, GP_ARROW_X, arrow), "2.5");
    EXPECT_EQ(dget(&g, GP_ARROW_X, arrow, 1), 2.5);
    EXPECT_TRUE(goprop_go_check_property_value(&g, GP_ARROW_X, arrow, "123456789012"));
    EXPECT_FALSE(goprop_go_check_property_value(&g, GP_ARROW_X, arrow, "1234567890123"));
    goprop_go_set_property(&g, GP_ARROW_X, arrow, "");
    EXPECT_EQ(goprop_go_property(&g, GP_ARROW_X, arrow, 0), nullptr);

    struct Refused {
        const char *what;
        int property, qualifier, value;
    } refused[] = {
        {"objtype 2", GP_OBJTYPE, 231, 2},
        {"a routing id", GP_OPAQUE, -1, 1},
        {"the new-object id", GP_OPAQUE, -4, 1},
        {"a title past 227", GP_TITLEX, 228, 1},
        {"a negative extra y title", GP_SYTITLEX, -1, 1},
    };
    for (const Refused &r : refused) {
        SCOPED_TRACE(r.what);
        EXPECT_FALSE(goprop_go_check_property_value(&g, r.property, r.qualifier, &r.value));
        err = gokit::stderr_of([&] { goprop_go_set_property(&g, r.property, r.qualifier, &r.value); });
        EXPECT_NE(err.find("Illegal set property"), std::string::npos);
    }
    EXPECT_EQ(iget(&g, GP_OPAQUE, 0), 0) << "no text was changed by a routing id";
    iset(&g, GP_OBJTYPE, arrow, 0);
    EXPECT_EQ(iget(&g, GP_OBJTYPE, arrow), 1) << "an arrow's id does not become a text";

    // Emptying a user text deletes it and its arrows; a predefined one
    // loses its arrows and stays.
    const int on_title = gobj_go_create_arrow(&g, 0);
    goprop_go_set_property(&g, GP_TITLE, 0, "Title");
    gobj_go_set_text_object(&g, 0, "", nullptr);
    EXPECT_EQ(gobj_go_get_an_object(&g, on_title), nullptr);
    EXPECT_NE(gobj_go_get_an_object(&g, 0), nullptr);
    EXPECT_EQ(sget(&g, GP_ANNOTBODY, 0), "");
    gobj_go_set_text_object(&g, text, "", nullptr);
    EXPECT_EQ(gobj_go_get_an_object(&g, text), nullptr);
    EXPECT_EQ(gobj_go_get_an_object(&g, arrow), nullptr);
}

// Formats are copied whole, the objects' manager pointer with them: a graph
// from a copied format still gets its own 228 texts and its first user
// text is 228.  Id -1 makes one more text and changes none of the others;
// other negative ids change nothing.
TEST_F(GraphObjects, CopiedFormatsAndNegativeIds)
{
    Graph a;
    goprop_go_set_property(&a.g, GP_TITLE, 0, "A's title");
    ASSERT_EQ(gobj_go_set_text_object(&a.g, -1, "A's note", nullptr), 228);
    ASSERT_NE(a.format.objects, nullptr);

    Graph b;
    b.format = a.format;  // as a new graph copies the selected graph's format
    EXPECT_EQ(sget(&b.g, GP_TITLE, 0), "");
    EXPECT_EQ(gobj_go_set_text_object(&b.g, -1, "B's note", nullptr), 228);
    EXPECT_EQ(gobj_go_get_an_object(&b.g, 227) != nullptr, true);
    goprop_go_set_default_graph_format(&a.format);
    {
        Graph c;  // from the user default, itself a copy of a's
        EXPECT_EQ(gobj_go_create_text(&c.g), 228);
        gobj_go_destroy_objects(&c.g);
    }

    for (int id : {-1, -1, -1})
        gobj_go_set_text_object(&a.g, id, "more", nullptr);
    EXPECT_EQ(sget(&a.g, GP_TITLE, 0), "A's title");
    EXPECT_EQ(sget(&a.g, GP_ANNOTBODY, 228), "A's note");
    EXPECT_EQ(sget(&a.g, GP_ANNOTBODY, 231), "more");
    EXPECT_EQ(sget(&b.g, GP_ANNOTBODY, 228), "B's note");
    for (int id : {-2, -3, -4, -100}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(gobj_go_set_text_object(&a.g, id, "x", nullptr), -1);
        EXPECT_EQ(gobj_go_set_text_object(&a.g, id, "", nullptr), -1);
        EXPECT_EQ(gobj_go_get_an_object(&a.g, id), nullptr);
    }
    EXPECT_EQ(sget(&a.g, GP_TITLE, 0), "A's title");
    EXPECT_EQ(gobj_go_create_text(&a.g), 232);
    gobj_go_destroy_objects(&a.g);
    gobj_go_destroy_objects(&b.g);
}

TEST_F(GraphObjects, FormatFilesCarryTheObjects)
{
    Graph g;
    goprop_go_set_property(&g, GP_TITLE, 0, "Revenue [1+41]");
    const int text = gobj_go_set_text_object(&g, -1, "peak", nullptr);
    dset(&g, GP_HOFFSET, text, 60);
    const int arrow = gobj_go_create_arrow(&g, text);
    goprop_go_set_property(&g, GP_ARROW_X, arrow, "182");
    goprop_go_set_property(&g, GP_ARROW_Y, arrow, "1500.5");
    iset(&g, GP_ARROW_TIP, arrow, 1);
    char *buf = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buf, &size);
    gofile_go_write_graph(&g, f);
    fclose(f);
    std::string text_of_file(buf, size);
    free(buf);
    EXPECT_NE(text_of_file.find("\tannotbody 0 \"Revenue [1+41]\"\n"), std::string::npos);
    EXPECT_NE(text_of_file.find("\tobjtype 229 1\n\treference 229 228\n"), std::string::npos);
    EXPECT_NE(text_of_file.find("\tarrow_z 229 null\n"), std::string::npos);
    EXPECT_EQ(text_of_file.find("\tannotbody 1 "), std::string::npos) << "empty texts write nothing";

    Graph back;
    FILE *r = fmemopen(text_of_file.data(), text_of_file.size(), "r");
    EXPECT_EQ(gofile_go_read_graph(&back.g, r), 1);
    fclose(r);
    EXPECT_EQ(sget(&back.g, GP_ANNOTBODY, 0), "Revenue [1+41]");
    EXPECT_EQ(sget(&back.g, GP_ANNOTBODY, text), "peak");
    EXPECT_EQ(dget(&back.g, GP_HOFFSET, text), 60);
    EXPECT_EQ(iget(&back.g, GP_OBJTYPE, arrow), 1);
    EXPECT_EQ(iget(&back.g, GP_REFERENCE, arrow), text);
    EXPECT_EQ(sget(&back.g, GP_ARROW_Y, arrow), "1500.5");
    EXPECT_EQ(goprop_go_property(&back.g, GP_ARROW_Z, arrow, 0), nullptr);
    EXPECT_EQ(iget(&back.g, GP_ARROW_TIP, arrow), 1);
}

}  // namespace
