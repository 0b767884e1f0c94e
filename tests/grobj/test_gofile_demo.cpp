// Graph format files of a real graph: the demo database's revenue of
// department 10 by date, with its format set away from the defaults in
// every group and a full set of annotation objects, written, read into a
// fresh graph, compared property by property and object by object, and
// written again byte for byte, alone and inside a procedure file; the
// same format cut short anywhere.

#include "godemo.h"
#include "gographkit.h"

#include "gofile.h"
#include "goobjroot.h"
#include "prmgr.h"
#include "prread.h"

#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

int read_into(GoGraph *g, std::string text)
{
    FILE *f = fmemopen(text.data(), text.size(), "r");
    const int r = gofile_go_read_graph(g, f);
    fclose(f);
    return r;
}

// A value of the getter (unevaluated) as text, so that two graphs'
// values can be held and compared; nullopt for automatic.
std::optional<std::string> value_of(GoGraph *g, int p, int q)
{
    int type = 0;
    goprop_go_inquire_property(p, nullptr, nullptr, nullptr, &type);
    const void *v = goprop_go_property(g, p, q, 0);
    if (!v)
        return std::nullopt;
    if (p == GP_DATAFUNC)
        return std::to_string(reinterpret_cast<uintptr_t>(v));
    char number[64];
    switch (type) {
    case GT_TEXT: return std::string(static_cast<const char *>(v));
    case GT_DOUBLE: snprintf(number, sizeof number, "%.17g", *static_cast<const double *>(v)); return number;
    default: return std::to_string(*static_cast<const int *>(v));
    }
}

// The ids of the graph's objects.
std::vector<int> object_ids(GoGraph *g)
{
    std::vector<int> ids;
    for (int id = 0; id < 600; id++)
        if (gobj_go_get_an_object(g, id))
            ids.push_back(id);
    return ids;
}

// Every property 0-224, every instance (the objects' ids for 197-224),
// compared between two graphs.
void expect_same_properties(GoGraph *a, GoGraph *b)
{
    const std::vector<int> ids = object_ids(a);
    ASSERT_EQ(object_ids(b), ids);
    for (int id : ids) {
        const auto *oa = static_cast<const gobj::Object *>(gobj_go_get_an_object(a, id));
        const auto *ob = static_cast<const gobj::Object *>(gobj_go_get_an_object(b, id));
        EXPECT_EQ(oa->cls, ob->cls) << "object " << id;
    }
    int compared = 0;
    for (int p = 0; p < GO_NUM_PROPERTIES; p++) {
        int count = 0;
        goprop_go_inquire_property(p, nullptr, &count, nullptr, nullptr);
        std::vector<int> qualifiers;
        if (count < 0)
            qualifiers = ids;
        for (int q = 0; q < count; q++)
            qualifiers.push_back(q);
        if (count == 0)
            qualifiers.push_back(0);
        for (int q : qualifiers) {
            if (p >= GP_OBJTYPE && p != GP_ANNOT) {
                void *va = nullptr, *vb = nullptr;
                if (!gobj_go_get_obj_property(a, p, q, 0, &va)) {
                    EXPECT_EQ(gobj_go_get_obj_property(b, p, q, 0, &vb), 0) << p << " " << q;
                    continue;
                }
            }
            const std::optional<std::string> va = value_of(a, p, q);
            EXPECT_EQ(value_of(b, p, q), va) << "property " << p << " qualifier " << q;
            compared++;
        }
    }
    EXPECT_GT(compared, 5000);
}

class DemoFormats : public ::testing::Test {
protected:
    void SetUp() override
    {
        godemo::ensure_demo();
        godemo::use_installed_interpreter();
        dsmgr_ds_init(nullptr, nullptr);
        goprop_go_forget_default_graph_format();
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        ASSERT_NO_FATAL_FAILURE(godemo::open_demo());
        qymgr_qy_query("DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE", QY_NOWAIT, QY_FULL,
                       QY_REPORT);
        ASSERT_TRUE(qymgr_qy_returned_data());
        dataset = dsmgr_ds_current();
        dscol_ds_characterise(3);
        dsmgr_ds_retain();
    }
    void TearDown() override
    {
        qymgr_qy_term();
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
    int dataset = -1;
};

void set_int(GoGraph *g, int p, int q, int v) { goprop_go_set_property(g, p, q, &v); }
void set_double(GoGraph *g, int p, int q, double v) { goprop_go_set_property(g, p, q, &v); }
void set_text(GoGraph *g, int p, int q, const char *v) { goprop_go_set_property(g, p, q, v); }

// Every saved property set away from its default: a number one on (a
// double a quarter on), a text by its kind; then the instances the issue
// of a saved graph turns on: several dataset slots, the last extra y
// axis, every overlay and threshold, legend texts with quotes and
// backslashes; the ten titles with a two-line note, a page of user text
// and an arrow with a head.
void dress(GoGraph *g)
{
    for (int p = 0; p < GO_FORMAT_PROPERTIES; p++) {
        int count = 0, access = 0, type = 0;
        goprop_go_inquire_property(p, nullptr, &count, &access, &type);
        if (access != GA_SAVED || goprop_go_property_in_objects(p))
            continue;
        for (int q : {0, 1, 5, 7, 8, 214, 215}) {
            if (q >= (count > 0 ? count : 1))
                continue;
            const void *now = goprop_go_property(g, p, q, 0);
            switch (type) {
            case GT_INT: set_int(g, p, q, (now ? *static_cast<const int *>(now) : 0) + 1 + q % 3); break;
            case GT_DOUBLE: set_double(g, p, q, (now ? *static_cast<const double *>(now) : 0) + 0.25 + q); break;
            default: {
                char v[32];
                snprintf(v, sizeof v, "%d.%d", p, q);
                if (p == GP_XLABELFORMAT || p == GP_YLABELFORMAT || p == GP_ZLABELFORMAT || p == GP_SYLABELFORMAT)
                    snprintf(v, sizeof v, "%%.%df", 1 + q % 5);
                if (p == GP_GRAPHNAME)
                    snprintf(v, sizeof v, "revenue");
                set_text(g, p, q, v);
            }
            }
        }
    }
    set_text(g, GP_LGDSTEXT, 0, "say \"ten\" \\ back");
    set_text(g, GP_LGDSTEXT, 3, "\\\\\"");
    set_text(g, GP_LGDOLEXT, 8, "mean \"[%MEAN]\"");
    set_text(g, GP_YMAXIMUM, 0, "[MAX(REVENUE)]");
    set_text(g, GP_THRESH_VAL, 7, "1500.5");
    set_text(g, GP_SYTITLE, 214, "Axis 214");
    set_int(g, GP_SECYAXIS, 214, 1);
    set_int(g, GP_SYTYPE, 214, 3);
    set_text(g, GP_YMINIMUM, 0, nullptr);  // automatic again
    for (int t = 0; t < GO_TITLES; t++) {
        const std::string title = t == 9 ? "Revenue of department 10\nby date" : "Title " + std::to_string(t);
        set_text(g, GP_TITLE, t, title.c_str());
    }
    const int text = gobj_go_create_text(g);
    ASSERT_GE(text, 228);
    std::string page;
    while (page.size() < 4000)
        page += "Revenue \"quoted\" and a \\ backslash; ";
    page.resize(4000);
    set_text(g, GP_ANNOTBODY, text, page.c_str());
    set_double(g, GP_HOFFSET, text, 25.5);
    set_int(g, GP_FGCOL, text, 4);
    const int arrow = gobj_go_create_arrow(g, text);
    ASSERT_GE(arrow, 0);
    set_text(g, GP_ARROW_X, arrow, "7300");
    set_text(g, GP_ARROW_Y, arrow, "[%MAXIMUM]");
    set_int(g, GP_ARROW_TIP, arrow, 1);
    set_int(g, GP_ARROW_SCALE, arrow, 12);
    set_int(g, GP_ARROW_HANGLE, arrow, 20);
}

TEST_F(DemoFormats, RoundTripFieldByField)
{
    Graph a(dataset, dataset);
    dress(&a);
    const std::string first = written(&a);
    // The page of text is written whole, the note with its line break.
    EXPECT_NE(first.find("\tannotbody 228 \"Revenue \\\"quoted\\\" and a \\\\ backslash; "), std::string::npos);
    EXPECT_NE(first.find("\tsytitle 214 \"Axis 214\"\n"), std::string::npos);
    EXPECT_NE(first.find("Revenue of department 10\nby date"), std::string::npos);

    Graph b(dataset, dataset);
    std::string errors;
    int result = -1;
    errors = gokit::stderr_of([&] { result = read_into(&b, first); });
    ASSERT_EQ(result, 1);
    EXPECT_EQ(errors, "");
    // Every property has a value or is automatic: the getter complains of
    // none (the colour bar's border once had no field behind it).
    errors = gokit::stderr_of([&] { expect_same_properties(&a, &b); });
    EXPECT_EQ(errors, "");
    EXPECT_EQ(written(&b), first);
    EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();

    // Saved for the fuzz target's corpus when asked.
    if (const char *keep = getenv("VX_KEEP_DEMO_FORMAT"))
        std::ofstream(keep) << first;
}

// The format cut short: before the first line of every fourth property
// (each read of a cut format reads all lines before the cut, so not every
// line), before each object's first line, inside the strings of the
// legend text, the note, the page of text and the arrow, and just before
// the end line.  The read fails; the lines before the cut are set and
// nothing after it.
TEST_F(DemoFormats, CutAnywhereFailsKeepingEarlierLines)
{
    Graph a(dataset, dataset);
    dress(&a);
    const std::string full = written(&a);
    std::vector<size_t> cuts;
    std::string last_name;
    int groups = 0;
    for (size_t at = 0; at < full.size();) {
        const size_t end = full.find('\n', at);
        const std::string line = full.substr(at, end - at);
        const std::string name = line.substr(0, line.find(' '));
        if (line.size() > 1 && line[0] == '\t' && name != last_name && (groups++ % 4 == 0 || name == "\tobjtype"))
            cuts.push_back(at);
        if (line.size() > 1 && line[0] == '\t')
            last_name = name;
        at = end == std::string::npos ? full.size() : end + 1;
    }
    for (const char *inside : {"\tlgdstext 0 \"say", "\tannotbody 9 \"Revenue of", "\tannotbody 228 \"Rev",
                               "\tarrow_x 229 \"7"})
        if (const size_t at = full.find(inside); at != std::string::npos)
            cuts.push_back(at + strlen(inside) - 1);
        else
            ADD_FAILURE() << inside;
    cuts.push_back(full.size() - 3);
    ASSERT_GT(cuts.size(), 60u);
    const std::string colour_line = "\tcolour 5 ";
    const size_t colour_at = full.find(colour_line);
    ASSERT_NE(colour_at, std::string::npos);
    Graph fresh(dataset, dataset);
    for (size_t cut : cuts) {
        Graph b(dataset, dataset);
        int result = -1;
        gokit::stderr_of([&] { result = read_into(&b, full.substr(0, cut)); });
        EXPECT_EQ(result, 0) << "cut at " << cut;
        // The dataset colour of slot 5 is set when its line came before the cut.
        EXPECT_EQ(value_of(&b, GP_COLOUR, 5), value_of(cut > colour_at + 12 ? &a : &fresh, GP_COLOUR, 5))
            << "cut at " << cut;
        // Nothing of the user's text exists before its lines are read.
        if (cut < full.find("\tobjtype 228")) {
            EXPECT_EQ(gobj_go_get_an_object(&b, 228), nullptr) << "cut at " << cut;
        }
    }
}

// The same format carried by a procedure file: the graph recorded with the
// query that showed it, written by the procedure writer (the format
// between the graph block's lines and the query block), walked by the
// procedure reader, whose graph step reads the format into a fresh graph.
// The fresh graph matches property by property and object by object, the
// query after the format is read whole, and writing it again gives the
// same format.
TEST_F(DemoFormats, RoundTripThroughAProcedureFile)
{
    static GoGraph *recorded = nullptr;
    Graph a(dataset, dataset);
    dress(&a);
    recorded = &a;
    prmgr_graph_writer.geometry = [](void *g, int *x, int *y, int *w, int *h, int *order) {
        *x = 10;
        *y = 20;
        *w = 300;
        *h = 200;
        *order = 3;
        return g == recorded ? 1 : 0;
    };
    prmgr_graph_writer.canvas_size = [](int *w, int *h) {
        *w = 600;
        *h = 400;
    };
    prmgr_graph_writer.write_format = [](FILE *f, void *g) { gofile_go_write_graph(static_cast<GoGraph *>(g), f); };
    const char *query = "DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE";
    prmgr_pr_new_procedure();
    prmgr_pr_register_query(std::vector<std::string>{query}, PR_DATA);
    prmgr_pr_retain_query(PR_DATA);
    prmgr_pr_end_subprocedure(&a);
    char *buf = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buf, &size);
    ASSERT_EQ(prmgr_pr_write_procedure(out, 1, nullptr), 0);
    fclose(out);
    std::string procedure(buf, size);
    free(buf);
    prmgr_graph_writer = PrGraphWriter{};
    prmgr_pr_new_procedure();
    ASSERT_NE(procedure.find(written(&a)), std::string::npos) << "the format whole inside the procedure";

    struct Replay {
        Graph b;
        int graphs = 0;
        std::vector<std::string> statements;
        explicit Replay(int d) : b(d, d) {}
    } replay(dataset);
    PrReplayOps ops{};
    ops.client = &replay;
    ops.header = [](void *, int graphs) { return graphs; };
    ops.graph = [](void *c, const PrGraphBlock &block, FILE *file) {
        auto *r = static_cast<Replay *>(c);
        r->graphs++;
        EXPECT_TRUE(block.graph);
        return gofile_go_read_graph(&r->b, file);
    };
    ops.next_group = [](void *) {};
    ops.prompt = [](void *, PrQueryBlock &, const std::string &, const std::string &) {};
    ops.statement = [](void *c, PrQueryBlock &, const std::string &text, bool, const PrGraphBlock &) {
        static_cast<Replay *>(c)->statements.push_back(text);
        return int(PR_STATEMENT_OK);
    };
    ops.end_block = [](void *, PrQueryBlock &, const PrGraphBlock &) { return 1; };
    ops.end = [](void *) {};
    FILE *in = fmemopen(procedure.data(), procedure.size(), "r");
    std::string errors;
    int walked = -1;
    errors = gokit::stderr_of([&] { walked = prread_walk(in, ops); });
    fclose(in);
    ASSERT_EQ(walked, 1) << errors;
    EXPECT_EQ(errors, "");
    EXPECT_EQ(replay.graphs, 1);
    EXPECT_EQ(replay.statements, std::vector<std::string>{query});
    expect_same_properties(&a, &replay.b);
    EXPECT_EQ(written(&replay.b), written(&a));
    recorded = nullptr;
}

}  // namespace
