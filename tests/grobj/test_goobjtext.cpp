// Texts and arrows drawn on the recording driver over a graph whose canvas
// is the whole 600 x 450 device: titles and user texts where their frames
// and origin codes put them, the nine attachment points, lines and their
// limits, the text size against the side margins, arrows with and without
// a head, tips on a logarithmic axis, and bad values from a file.

#include "gographkit.h"

#include "gofile.h"
#include "goobjtext.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using gokit::CanvasGraph;

class TextObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gopix_go_count_styles();
        gomain_graph_class[0] = &gokit::fake_class();
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
    }
    void TearDown() override
    {
        gomain_graph_class[0] = nullptr;
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
};

void sset(GoGraph *g, int p, int q, const char *v) { goprop_go_set_property(g, p, q, v); }

void iset(GoGraph *g, int p, int q, int v) { goprop_go_set_property(g, p, q, &v); }
void dset(GoGraph *g, int p, int q, double v) { goprop_go_set_property(g, p, q, &v); }

// The texts the driver was asked to put, with their device points.
struct Put {
    std::string text;
    double x, y;
};
std::vector<Put> puts_of()
{
    std::vector<Put> out;
    for (const grec::Call &c : grec::of(GEP_PUT_TEXT))
        out.push_back({c.text, c.points[0].at(0, 0), c.points[0].at(0, 1)});
    return out;
}

// Canvas units of the graph to device pixels (y downwards), and lengths.
struct Device {
    GoGraph *g;
    std::array<double, 2> at(const double cc[2]) const
    {
        const double p[3] = {cc[0], cc[1], 0};
        double d[3];
        gcoords_GApplyPart(&g->canvas->xf[GX_CC].forward, p, d);
        return {d[0], d[1]};
    }
};

// The recorder measures every text 40 x 10 device pixels.  A user text in
// the middle of the graph area: for each origin code the line's foot lies
// where the box's corner must be, and the nine attachment points stand
// around the box widened by its margin.
TEST_F(TextObjects, OriginCodesAndAttachmentPoints)
{
    CanvasGraph g;
    const int id = gobj_go_create_text(&g.g);
    ASSERT_EQ(id, OBJ_PREDEFINED);
    iset(&g.g, GP_ORIGIN, id, 0);
    dset(&g.g, GP_HOFFSET, id, 50);
    dset(&g.g, GP_VOFFSET, id, 50);
    sset(&g.g, GP_ANNOTBODY, id, "Note");
    auto *t = static_cast<Text *>(gobj_go_get_an_object(&g.g, id));
    ASSERT_NE(t, nullptr);
    struct Row {
        int origin;
        double foot_x, foot_y;  // pixels from the anchor, y downwards
    } rows[] = {{0, 0, 10}, {1, -20, 10}, {2, -40, 10}, {3, 0, 5}, {4, -20, 5},
                {5, -40, 5}, {6, 0, 0},   {7, -20, 0},  {8, -40, 0}};
    const Device dev{&g.g};
    for (const Row &r : rows) {
        SCOPED_TRACE("origin " + std::to_string(r.origin));
        iset(&g.g, GP_ORIGIN, id, r.origin);
        grec::clear();
        gobj_go_draw_title_objects(&g.g, 1, 0);
        const std::vector<Put> p = puts_of();
        ASSERT_EQ(p.size(), 1u);
        EXPECT_EQ(p[0].text, "Note");
        const auto anchor = dev.at(t->anchor);
        EXPECT_NEAR(anchor[0], 300, 1);
        EXPECT_NEAR(anchor[1], 225, 1);
        EXPECT_NEAR(p[0].x - anchor[0], r.foot_x, 1);
        EXPECT_NEAR(p[0].y - anchor[1], r.foot_y, 1);
        // Attachment points 0-2 along the bottom, 3-5 the middle, 6-8 the
        // top, each row left to right; the margin is 5% of the smaller side.
        const double m = 0.5, left = r.foot_x, bottom = r.foot_y;
        const double xs[3] = {left - m, left + (40 + m) / 2, left + 40 + m};
        const double ys[3] = {bottom + m, bottom - (10 + m) / 2, bottom - 10 - m};
        for (int k = 0; k < 9; k++) {
            double cc[2];
            ASSERT_TRUE(t->attachment(k, cc));
            const auto a = dev.at(cc);
            EXPECT_NEAR(a[0] - anchor[0], xs[k % 3], 0.6) << "point " << k;
            EXPECT_NEAR(a[1] - anchor[1], ys[k / 3], 0.6) << "point " << k;
        }
    }
}

// Titles stacked from the top of the canvas and a note at its foot, each
// hanging from the middle of its lower edge; a user text in the graph area
// from the middle of its upper edge.
TEST_F(TextObjects, TextsStandWhereTheirFramesPutThem)
{
    CanvasGraph g;
    struct Row {
        int id;
        double x, y;  // the anchor, device pixels
        double foot_x, foot_y;
    } rows[] = {{0, 300, 45, 280, 45},   {2, 300, 90, 280, 90},  {4, 300, 135, 280, 135},
                {5, 0, 450, -20, 450},   {228, 300, 45, 280, 55}};
    ASSERT_EQ(gobj_go_create_text(&g.g), 228);
    const Device dev{&g.g};
    for (const Row &r : rows) {
        SCOPED_TRACE("id " + std::to_string(r.id));
        sset(&g.g, GP_TITLE, r.id, "T");
        if (r.id >= OBJ_PREDEFINED)
            sset(&g.g, GP_ANNOTBODY, r.id, "T");
        grec::clear();
        gobj_go_draw_title_objects(&g.g, 1, 0);
        auto *t = static_cast<Text *>(gobj_go_get_an_object(&g.g, r.id));
        const auto anchor = dev.at(t->anchor);
        EXPECT_NEAR(anchor[0], r.x, 1);
        EXPECT_NEAR(anchor[1], r.y, 1);
        ASSERT_EQ(puts_of().size(), 1u);
        EXPECT_NEAR(puts_of()[0].x, r.foot_x, 1);
        EXPECT_NEAR(puts_of()[0].y, r.foot_y, 1);
        // Emptied again: a predefined text returns to its defaults and is
        // not drawn; a user text goes.
        gobj_go_set_text_object(&g.g, r.id, "", nullptr);
        grec::clear();
        gobj_go_draw_title_objects(&g.g, 1, 0);
        EXPECT_TRUE(puts_of().empty());
    }
    EXPECT_EQ(gobj_go_get_an_object(&g.g, 228), nullptr);
}

// The title filter: 2-D graphs draw titles, notes, x and y titles and user
// texts; plan graphs leave the y title out and take the z title; the extra
// y axes' titles come with their axes alone.
TEST_F(TextObjects, TheTitleFilter)
{
    CanvasGraph g;
    // All on the canvas's frame (this graph has no axes to stand on) and
    // in the device's font, which the driver puts.
    const int ids[] = {0, 9, 10, 11, 12, 13, 227};
    for (int id : ids) {
        sset(&g.g, GP_TITLE, id, ("t" + std::to_string(id)).c_str());
        iset(&g.g, GP_POSITION, id, OBJ_FRAME_CANVAS);
        iset(&g.g, GP_ANNOTFONT, id, 0);
    }
    const int user = gobj_go_set_text_object(&g.g, -1, "user", nullptr);
    ASSERT_EQ(user, 228);
    auto drawn = [&](int plan) {
        grec::clear();
        gobj_go_draw_title_objects(&g.g, 1, plan);
        std::string out;
        for (const Put &p : puts_of())
            out += p.text + " ";
        return out;
    };
    EXPECT_EQ(drawn(0), "t0 t9 t10 t11 user ");
    EXPECT_EQ(drawn(1), "t0 t9 t10 t12 user ");
    grec::clear();
    gobj_go_draw_my_objects(&g.g, 0);
    ASSERT_EQ(puts_of().size(), 1u);
    EXPECT_EQ(puts_of()[0].text, "t13");
    GCanvasModes m{};
    GGetCanvasModes(g.g.canvas, &m);
    m.dimension = 3;
    GSetCanvasModes(g.g.canvas, GCM_DIMENSION, &m);
    EXPECT_EQ(drawn(0), "t0 t9 t10 t11 t12 user ");
}

// Lines: several are stacked downwards from the first; 400 are measured in
// full and 300 drawn; an empty line keeps its place.  A body of 5000
// characters keeps 4095.
TEST_F(TextObjects, LinesAndTheirLimits)
{
    CanvasGraph g;
    const int id = gobj_go_set_text_object(&g.g, -1, "one\n\nthree", nullptr);
    ASSERT_EQ(id, OBJ_PREDEFINED);
    auto *t = static_cast<Text *>(gobj_go_get_an_object(&g.g, id));
    std::vector<Put> p = puts_of();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].text, "one");
    EXPECT_EQ(p[1].text, "three");
    EXPECT_NEAR(p[0].y, 55, 1) << "hanging from the anchor at 45, the first line ten pixels down";
    EXPECT_NEAR(p[1].y - p[0].y, 20, 1);
    EXPECT_EQ(t->lines.size(), 3u);

    std::string many;
    for (int i = 0; i < 400; i++)
        many += "l\n";
    many.pop_back();
    grec::clear();
    gobj_go_set_text_object(&g.g, id, many.c_str(), nullptr);
    EXPECT_EQ(puts_of().size(), 300u);
    EXPECT_EQ(t->lines.size(), 300u);
    const Device dev{&g.g};
    const double top[2] = {0, t->box[3]}, bottom[2] = {0, t->box[1]};
    EXPECT_NEAR(dev.at(bottom)[1] - dev.at(top)[1], 4000, 10) << "400 lines of 10 pixels and the margins";

    const std::string long_body(5000, 'x');
    grec::clear();
    gobj_go_set_text_object(&g.g, id, long_body.c_str(), nullptr);
    ASSERT_EQ(puts_of().size(), 1u);
    EXPECT_EQ(puts_of()[0].text.size(), 4095u);
}

// The size is the text's (or the graph's title size) times the share of
// the canvas's width the side margins leave; in percent or pixels, never
// below nothing.  Font, size and colour follow the graph unless set, and
// values beyond the tables from a file are drawn with the first entries.
TEST_F(TextObjects, SizeFontAndColourAsDrawn)
{
    CanvasGraph g;
    const int id = gobj_go_set_text_object(&g.g, -1, "x", nullptr);
    struct Row {
        const char *what;
        int units, left, right, font, colour;
        double size;
        double scale;
        int want_font, want_colour;
    } rows[] = {
        {"no margins", 1, 0, 0, 0, 3, 0.5, 0.5, 0, 3},
        {"10% and 10%", 1, 10, 10, 0, 3, 0.5, 0.4, 0, 3},
        {"margins over the width", 1, 60, 60, 0, 3, 0.5, 0, 0, 3},
        {"60 and 60 pixels of 600", 0, 60, 60, 0, 3, 0.5, 0.4, 0, 3},
        {"the graph's title settings (the stroke font)", 1, 0, 0, -1, -1, -1, 0.3, 1, 4},
        {"the graph's notes font, beyond the table", 1, 0, 0, -3, 3, 0.5, 0.5, 0, 3},
        {"beyond the tables", 1, 0, 0, 999, 999, 7.5, 1, 0, 1},
        {"below the tables", 1, 0, 0, -9, -9, -9, 0, 0, 1},
    };
    iset(&g.g, GP_TITLEFONT, 0, 1);
    iset(&g.g, GP_TITLECOLOUR, 0, 4);
    dset(&g.g, GP_TITLESIZE, 0, 0.3);
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        iset(&g.g, GP_MARGIN_UNITS, 0, r.units);
        iset(&g.g, GP_LEFTMARGIN, 0, r.left);
        iset(&g.g, GP_RIGHTMARGIN, 0, r.right);
        iset(&g.g, GP_ANNOTFONT, id, r.font);
        iset(&g.g, GP_FGCOL, id, r.colour);
        dset(&g.g, GP_ANNOTSIZE, id, r.size);
        grec::clear();
        gobj_go_draw_title_objects(&g.g, 1, 0);
        // A device font's text is put by the driver, the stroke font's
        // drawn as lines.
        std::vector<grec::Call> put = grec::of(GEP_PUT_TEXT);
        if (put.empty())
            put = grec::of(GEP_DRAW_TEXT_LINES);
        ASSERT_FALSE(put.empty());
        EXPECT_NEAR(put[0].text_modes.scale, r.scale, 1e-4);
        EXPECT_EQ(put[0].text_modes.font, r.want_font);
        EXPECT_EQ(put[0].text_modes.colour, r.want_colour);
    }
}

// ---- arrows -----------------------------------------------------------------------------------

// The plot space a quarter of the canvas in from the left and the bottom,
// half its width and height; the world 0..10 on both axes over it.
void quarter_plot(GoGraph *g)
{
    GCanvasModes m{};
    GGetCanvasModes(g->canvas, &m);
    m.psorigin[0] = 1024;
    m.psorigin[1] = 768;
    m.pssize[0] = m.pssize[2] = 2048;
    m.pssize[1] = 1536;
    const double world[6] = {0, 0, 0, 10, 10, 10};
    std::copy(world, world + 6, m.world);
    GSetCanvasModes(g->canvas, GCM_PSORIGIN | GCM_PSSIZE | GCM_WORLD, &m);
}

struct Drawing {
    std::vector<double> line;  // start and end, device pixels
    std::vector<double> head;  // the head's points
    int filled = 0;
};
Drawing arrows_of(GoGraph *g)
{
    grec::clear();
    gobj_go_draw_arrows(g, 0);
    Drawing d;
    for (const grec::Call &c : grec::of(GEP_DRAW_LINE))
        d.line = {c.points[0].at(0, 0), c.points[0].at(0, 1), c.points[1].at(0, 0), c.points[1].at(0, 1)};
    for (const grec::Call &c : grec::of(GEP_DRAW_POLYLINE))
        for (long i = 0; i < c.points[0].count(); i++)
            d.head.insert(d.head.end(), {c.points[0].at(i, 0), c.points[0].at(i, 1)});
    d.filled = static_cast<int>(grec::count(GEP_DRAW_FILLED_POLYGON));
    return d;
}

// A user text hanging from 50%, 90% of the area (40 x 10 pixels, its foot's
// middle at 300, 55) and an arrow from that point to a data value; the
// world 0..10 spans the middle half of the 600 x 450 canvas.
struct ArrowGraph : CanvasGraph {
    int text = -1, arrow = -1;
    ArrowGraph()
    {
        quarter_plot(&g);
        text = gobj_go_set_text_object(&g, -1, "Note", nullptr);
        arrow = gobj_go_create_arrow(&g, text);
        iset(&g, GP_ORIGIN, arrow, 1);
    }
};

// Where the arrows start and end, by the tip's coordinates given and the
// graph's coordinates: a missing one draws nothing.
TEST_F(TextObjects, ArrowTips)
{
    ArrowGraph a;
    GoGraph *g = &a.g;
    ASSERT_GE(a.arrow, OBJ_PREDEFINED);
    EXPECT_EQ(*static_cast<const int *>(goprop_go_property(g, GP_REFERENCE, a.arrow, 0)), a.text);
    struct Row {
        const char *what;
        const char *x, *y, *z;
        int coords2dz;
        bool drawn;
        double tip_x, tip_y;
    } rows[] = {
        {"x and y", "8", "2", nullptr, 0, true, 390, 292.5},
        {"no y on a 2-D graph", "8", nullptr, "2", 0, false, 0, 0},
        {"no x", nullptr, "2", nullptr, 0, false, 0, 0},
        {"z on a 2-D+z graph, y 0", "8", nullptr, "2", 1, true, 390, 292.5},
        {"no z on a 2-D+z graph", "8", "2", nullptr, 1, false, 0, 0},
        {"a tip that does not evaluate", "8", "two", nullptr, 0, false, 0, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        g->coords2dz = r.coords2dz;
        sset(g, GP_ARROW_X, a.arrow, r.x);
        sset(g, GP_ARROW_Y, a.arrow, r.y);
        sset(g, GP_ARROW_Z, a.arrow, r.z);
        gobj_go_draw_title_objects(g, 1, 0);
        const Drawing d = arrows_of(g);
        if (!r.drawn) {
            EXPECT_TRUE(d.line.empty());
            continue;
        }
        ASSERT_EQ(d.line.size(), 4u);
        EXPECT_NEAR(d.line[0], 300, 1) << "from the middle of the text's foot";
        EXPECT_NEAR(d.line[1], 55.5, 1);
        EXPECT_NEAR(d.line[2], r.tip_x, 1);
        EXPECT_NEAR(d.line[3], r.tip_y, 2);
    }
    // Without its text, or with the text emptied, nothing.
    gobj_go_set_text_object(g, a.text, "", nullptr);
    EXPECT_EQ(gobj_go_get_an_object(g, a.arrow), nullptr) << "a text's arrows go with it";
}

// The head: with tip style 1, size 15 and half-angle 30, two barbs 15
// points back from the tip along the line (15.6 pixels at 75 to the inch),
// 30 degrees either side, closed back to the tip; the line ends where the
// head's base crosses it.  Straight up, the head points up; opaque, it is
// filled.  Default arrows have no head.
TEST_F(TextObjects, ArrowHeads)
{
    ArrowGraph a;
    GoGraph *g = &a.g;
    sset(g, GP_ARROW_X, a.arrow, "8");
    sset(g, GP_ARROW_Y, a.arrow, "2");
    Drawing d = arrows_of(g);
    ASSERT_EQ(d.line.size(), 4u);
    EXPECT_TRUE(d.head.empty()) << "no head by default";
    EXPECT_NEAR(d.line[2], 390, 1);
    EXPECT_NEAR(d.line[3], 292.5, 2);

    const double length = 15.0 / 72 * 75;
    for (const char *x : {"8", "5"}) {
        SCOPED_TRACE(std::string("tip x ") + x);
        sset(g, GP_ARROW_X, a.arrow, x);
        iset(g, GP_ARROW_TIP, a.arrow, 1);
        d = arrows_of(g);
        ASSERT_EQ(d.line.size(), 4u);
        ASSERT_EQ(d.head.size(), 8u);
        const double sx = d.line[0], sy = d.line[1], tx = d.head[0], ty = d.head[1];
        EXPECT_NEAR(tx, std::string(x) == "8" ? 390 : 300, 1);
        EXPECT_NEAR(ty, 292.5, 2);
        EXPECT_DOUBLE_EQ(d.head[6], tx);
        EXPECT_DOUBLE_EQ(d.head[7], ty);
        const double back = std::atan2(sy - ty, sx - tx);
        for (int k = 1; k <= 2; k++) {
            const double bx = d.head[2 * k] - tx, by = d.head[2 * k + 1] - ty;
            EXPECT_NEAR(std::hypot(bx, by), length / std::cos(M_PI / 6), 1.5);
            double turn = std::atan2(by, bx) - back;
            turn = std::remainder(turn, 2 * M_PI);
            EXPECT_NEAR(std::fabs(turn), M_PI / 6, 0.08) << "barb " << k;
        }
        EXPECT_NEAR(std::hypot(d.line[2] - tx, d.line[3] - ty), length, 1.5);
        if (std::string(x) == "5") {
            // Straight down from the text: the barbs stand above the tip.
            EXPECT_LT(d.head[3], ty);
            EXPECT_LT(d.head[5], ty);
        }
    }
    // The text moved below the tip: the arrow points straight up.
    dset(g, GP_VOFFSET, a.text, 5);
    d = arrows_of(g);
    ASSERT_EQ(d.head.size(), 8u);
    EXPECT_GT(d.head[3], d.head[1]);
    EXPECT_GT(d.head[5], d.head[1]);
    EXPECT_EQ(d.filled, 0);
    iset(g, GP_OPAQUE, a.arrow, 1);
    EXPECT_EQ(arrows_of(g).filled, 1);
}

// Values no dialog offers, from a hand-made format file: a font, size,
// colour, angle and line height beyond their tables, an arrow whose tip does
// not evaluate and one whose head cannot be formed (a negative size, a
// half-angle of 90 degrees).  The text is drawn with the first table
// entries; the first arrow is not drawn, the second without a head; nothing
// fails.
TEST_F(TextObjects, ValuesBeyondTheTablesFromAFile)
{
    ArrowGraph a;
    GoGraph *g = &a.g;
    std::string file = "\tobjtype 228 0\n\torigin 228 1\n\tposition 228 3\n\thoffset 228 50.0\n\tvoffset 228 90.0\n"
                       "\tannotbody 228 \"From a file\"\n\tannotfont 228 99\n\tannotsize 228 7.5\n"
                       "\tannotangle 228 99999\n\tfgcol 228 999\n\tlinew 228 5000\n\tannotlheight 228 100000\n"
                       "\tobjtype 229 1\n\treference 229 228\n\torigin 229 1\n\tarrow_x 229 \"eight\"\n"
                       "\tarrow_y 229 \"2\"\n"
                       "\tobjtype 230 1\n\treference 230 228\n\torigin 230 1\n\tarrow_x 230 \"8\"\n"
                       "\tarrow_y 230 \"2\"\n\tarrow_tip 230 1\n\tarrow_scale 230 -40000\n\tarrow_hangle 230 90\n\t;\n";
    FILE *f = fmemopen(file.data(), file.size(), "r");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(gofile_go_read_graph(g, f), 1);
    fclose(f);
    quarter_plot(g);
    grec::clear();
    gobj_go_draw_title_objects(g, 1, 0);
    const std::vector<grec::Call> put = grec::of(GEP_PUT_TEXT);
    ASSERT_EQ(put.size(), 1u);
    EXPECT_EQ(put[0].text, "From a file");
    EXPECT_EQ(put[0].text_modes.font, 0);
    EXPECT_EQ(put[0].text_modes.colour, 1);
    EXPECT_LE(put[0].text_modes.scale, 1);
    const Drawing d = arrows_of(g);
    ASSERT_EQ(d.line.size(), 4u) << "the second arrow only";
    EXPECT_TRUE(d.head.empty()) << "a head of half-angle 90 or a negative size has no barbs";
    EXPECT_NEAR(d.line[2], 390, 2) << "the line goes all the way to the tip";
    EXPECT_NEAR(d.line[3], 292.5, 2);
    iset(g, GP_ARROW_SCALE, 230, 15);
    EXPECT_TRUE(arrows_of(g).head.empty()) << "half-angle 90";
    iset(g, GP_ARROW_HANGLE, 230, 30);
    EXPECT_EQ(arrows_of(g).head.size(), 8u);
}

}  // namespace
