// The standard class methods (create, set-data, read-out, zoom stack,
// mutate) and the services around drawing (fill modes, world mapping,
// colour maps by axis, colour-map files) on the recording driver.

#include "gographkit.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using gokit::CanvasGraph;
using gokit::col;
using gokit::counts;
using gokit::num;

class Methods : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_graph_class[0] = &gokit::fake_class();
        gokit::fake_class().output = gostd_std_output_graph;
        counts() = gokit::Counts{};
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        gomain_go_set_world_clip(1);
    }
    void TearDown() override
    {
        gokit::fake_class().output = nullptr;
        gomain_graph_class[0] = nullptr;
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
};

int xy(std::vector<std::pair<double, double>> points)
{
    std::vector<std::vector<gokit::Cell>> rows;
    for (auto [x, y] : points)
        rows.push_back({num(x), num(y)});
    return gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, rows, 1);
}

// A scaled graph of one dataset with its coordinates set.
struct Scaled : CanvasGraph {
    explicit Scaled(int d, int logy = 0) : CanvasGraph(d, d)
    {
        goprop_go_set_property(&g, GP_YLOGARITHMIC, 0, &logy);
        EXPECT_EQ(gostd_std_setdata_scalar_graph(&g, d), 1);
        gomain_go_set_2d_coordinates(&g);
    }
};

double depth(GoGraph *g) { return gostd_zoom_stack_depth(g); }

TEST_F(Methods, CreateAndDestroy)
{
    const int placement[4] = {10, 20, 300, 200};
    GoGraph *g = nullptr;
    ASSERT_EQ(gostd_std_create_graph(&g, nullptr, placement), 1);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->kind, 0);
    EXPECT_EQ(g->width, 300);
    EXPECT_NE(g->canvas, nullptr);
    EXPECT_EQ(g->first, -1);
    EXPECT_EQ(g->last, -1);
    EXPECT_EQ(g->kept, -1);
    EXPECT_EQ(g->kind2dz, 0);
    EXPECT_EQ(g->zoom, nullptr);
    // Zoomed twice, then destroyed: the window and both nodes go with it
    // (ASan would report them otherwise).
    const double a[2] = {1, 9}, b[2] = {9, 1};
    gostd_std_zoom_graph(g, a, b, nullptr, 0);
    gostd_std_zoom_graph(g, a, b, nullptr, 0);
    gostd_std_destroy_graph(g);

    GoGraph *z = nullptr;
    ASSERT_EQ(gostd_std_create_2dz_graph(&z, nullptr, placement), 1);
    EXPECT_EQ(z->kind2dz, 1);
    gostd_std_destroy_graph(z);
}

TEST_F(Methods, TheZoomStack)
{
    CanvasGraph g;
    const double c1[3][2] = {{0, 10}, {1, 9}, {2, 8}}, c2[3][2] = {{10, 0}, {9, 1}, {8, 2}};
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(gostd_std_zoom_graph(&g.g, c1[i], c2[i], nullptr, 0), 1);
    g.g.zoomed = 1;
    ASSERT_NE(g.g.zoom, nullptr);
    EXPECT_EQ(depth(&g.g), 3);
    EXPECT_EQ(gostd_graph_multi_zoomed(&g.g), 1);
    EXPECT_EQ(g.g.zoom->xmin, 2);
    EXPECT_EQ(g.g.zoom->xmax, 8);
    EXPECT_EQ(g.g.zoom->ymax, 8);
    EXPECT_EQ(g.g.zoom->ymin, 2);

    // A look at the previous window: the stack stays.
    GoZoomWindow previous{};
    EXPECT_EQ(gostd_std_zoom_graph(&g.g, c1[0], nullptr, &previous, 3), 1);
    EXPECT_EQ(depth(&g.g), 3);
    EXPECT_EQ(g.g.zoom->xmin, 1);
    EXPECT_EQ(previous.xmin, 1);
    EXPECT_EQ(previous.ymax, 9);

    // Replacing the window (a pan) leaves the stack alone.
    const double p1[2] = {3, 7}, p2[2] = {7, 3};
    gostd_std_zoom_graph(&g.g, p1, p2, nullptr, 2);
    EXPECT_EQ(depth(&g.g), 3);
    EXPECT_EQ(g.g.zoom->xmin, 3);

    // Pops with removal down to one node, then the last pop unzooms.
    EXPECT_EQ(gostd_std_zoom_graph(&g.g, nullptr, nullptr, nullptr, 3), 1);
    EXPECT_EQ(depth(&g.g), 2);
    EXPECT_EQ(g.g.zoom->xmin, 1);
    gostd_std_zoom_graph(&g.g, nullptr, nullptr, nullptr, 3);
    EXPECT_EQ(depth(&g.g), 1);
    EXPECT_EQ(g.g.zoom->xmin, 0);
    EXPECT_EQ(gostd_graph_multi_zoomed(&g.g), 0);
    gostd_std_zoom_graph(&g.g, nullptr, nullptr, nullptr, 3);
    EXPECT_EQ(g.g.zoom, nullptr);
    EXPECT_EQ(depth(&g.g), 0);
    EXPECT_EQ(g.g.zoomed, 0);

    // Unzoom: any other operation without corners frees everything.
    gostd_std_zoom_graph(&g.g, c1[0], c2[0], nullptr, 0);
    gostd_std_zoom_graph(&g.g, c1[1], c2[1], nullptr, 0);
    gostd_std_zoom_graph(&g.g, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(g.g.zoom, nullptr);
    EXPECT_EQ(depth(&g.g), 0);

    // Refused in multi-y mode, with the message.
    g.g.multiy = 1;
    const std::string err = gokit::stderr_of([&] { gostd_std_zoom_graph(&g.g, c1[0], c2[0], nullptr, 0); });
    EXPECT_EQ(err, "GrObj. Zoom method called with multi-Y\n");
    g.g.multiy = 0;
    EXPECT_EQ(g.g.zoom, nullptr);
}

TEST_F(Methods, SetData)
{
    const int a = xy({{1, 2}, {2, 4}, {3, 8}}), b = xy({{1, 100}, {2, 200}});
    CanvasGraph g(a, b);
    // A later dataset outside multi-y mode: nothing happens.
    EXPECT_EQ(gostd_std_parmsetdata_scalar_graph(&g.g, b, gokit::counting_auto_scale), 0);
    EXPECT_EQ(counts().auto_scale, 0);
    EXPECT_EQ(g.g.yblock.count, 0);
    // The first: statistics of the range, then the auto-scale routine.
    EXPECT_EQ(gostd_std_parmsetdata_x_nonscalar_graph(&g.g, a, gokit::counting_auto_scale), 1);
    EXPECT_EQ(counts().auto_scale, 1);
    EXPECT_EQ(g.g.yblock.max, 8) << "the first dataset's own, without all-scale";
    EXPECT_EQ(g.g.yblock.min, 2);
    EXPECT_TRUE(gokit::boxes().empty());

    // No y values: message 1 and the dataset marked as without data.
    const int empty = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL)}, {{num(1), gokit::none()}}, 1);
    CanvasGraph e(empty, empty);
    gostd_std_parmsetdata_scalar_graph(&e.g, empty, gokit::counting_auto_scale);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].rfind("67/1:", 0), 0u);
}

TEST_F(Methods, ReadOutRoundTrips)
{
    const int d = xy({{1, 1}, {10, 1000}});
    for (int logy : {0, 1}) {
        SCOPED_TRACE(logy ? "logarithmic y" : "linear y");
        Scaled g(d, logy);
        ASSERT_NE(g.g.canvas, nullptr);
        for (auto [x, y] : std::vector<std::pair<double, double>>{{2, 10}, {7.5, 300}}) {
            double v[3] = {x, y, 0};
            GoReadout r{0, 0, 0, v};
            char xt[GO_LABEL_TEXT], yt[GO_LABEL_TEXT], zt[GO_LABEL_TEXT];
            ASSERT_EQ(gostd_std_output_graph(&g.g, &r, d, xt, yt, zt), 1);
            EXPECT_EQ(r.count, 2);
            EXPECT_STREQ(zt, "");
            EXPECT_NEAR(v[1], logy ? std::log10(y) : y, 1e-9) << "world y";
            // World to a device pixel and back.
            double w[2] = {v[0], v[1]};
            GVector in{GV_DOUBLE, 0, 2, 1, {w, nullptr, nullptr}}, o{};
            ASSERT_EQ(GTransformPoints(g.g.canvas, GCS_WC, GCS_DC, &in, &o), 0);
            const int p[2] = {static_cast<int>(std::lround(gvector_GGetValue(&o, 0, 0))),
                              static_cast<int>(std::lround(gvector_GGetValue(&o, 0, 1)))};
            gvector_GFreeVectorData(&o);
            double *values = nullptr;
            const DozColDesc *xtype = nullptr, *ytype = nullptr;
            ASSERT_EQ(gostd_std_input_graph(&g.g, p, 0, &values, &xtype, &ytype, nullptr), 1);
            ASSERT_NE(values, nullptr);
            EXPECT_NEAR(values[0], x, 0.1);
            EXPECT_NEAR(values[1], y, logy ? y * 0.05 : 5);
            ASSERT_NE(xtype, nullptr);
            EXPECT_EQ(xtype->type, DOZ_T_REAL);
        }
        // Outside the world window: no values unless clamped.
        const int outside[2] = {-5000, -5000};
        double *values = nullptr;
        EXPECT_EQ(gostd_std_input_graph(&g.g, outside, 0, &values, nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(values, nullptr);
        EXPECT_EQ(gostd_std_input_graph(&g.g, outside, 1, &values, nullptr, nullptr, nullptr), 1);
        ASSERT_NE(values, nullptr);
    }
}

TEST_F(Methods, ReadOutRequestsAndVariants)
{
    const int d = xy({{1, 1}, {10, 1000}});
    Scaled g(d);
    // A request whose mode byte is set is left alone.
    double v[3] = {2, 3, 4};
    GoReadout r{1, 0, 9, v};
    char xt[GO_LABEL_TEXT] = "x", yt[GO_LABEL_TEXT] = "y", zt[GO_LABEL_TEXT] = "z";
    gostd_std_output_graph(&g.g, &r, d, xt, yt, zt);
    EXPECT_EQ(v[0], 2);
    EXPECT_EQ(v[1], 3);
    EXPECT_EQ(v[2], 4);
    EXPECT_EQ(r.count, 9);
    EXPECT_STREQ(xt, "x");

    // z goes through the z block's own procedure.
    g.g.zblock.scale.type = SCALE_LOG;
    r = GoReadout{0, 0, 0, v};
    v[2] = 100;
    gostd_std_output_graph(&g.g, &r, d, nullptr, nullptr, nullptr);
    EXPECT_NEAR(v[2], 2, 1e-12);
    EXPECT_EQ(r.count, 0) << "without texts the count is left";

    // 3-D: always three.
    double w[3] = {2, 3, 10};
    r = GoReadout{0, 0, 0, w};
    gostd_std_3d_output_graph(&g.g, &r, d, xt, yt, zt);
    EXPECT_EQ(r.count, 3);

    // 2-D+z: x, z, y back, and the three values as printed texts.
    double u[3] = {2, 3.5, 100};
    r = GoReadout{0, 0, 0, u};
    gostd_std_2dz_output_graph(&g.g, &r, d, xt, yt, zt);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(u[0], 2);
    EXPECT_NEAR(u[1], 2, 1e-12) << "z (logarithmic) second";
    EXPECT_EQ(u[2], 3.5) << "y third";
    EXPECT_STREQ(xt, "2.000");
    EXPECT_STREQ(yt, "3.500");
}

TEST_F(Methods, ZoomLimitsAsTexts)
{
    const int d = xy({{1, 1}, {10, 1000}});
    Scaled g(d);
    char a[GO_LABEL_TEXT], b[GO_LABEL_TEXT], c[GO_LABEL_TEXT], e[GO_LABEL_TEXT];
    EXPECT_EQ(gomain_go_get_zoom_limits(&g.g, a, b, c, e), 0);
    goprop_go_set_property(&g.g, GP_XLABELFORMAT, 0, "");
    goprop_go_set_property(&g.g, GP_YLABELFORMAT, 0, "");
    const double c1[2] = {2, 500}, c2[2] = {4, 250};
    gostd_std_zoom_graph(&g.g, c1, c2, nullptr, 0);
    g.g.zoomed = 1;
    ASSERT_EQ(gomain_go_get_zoom_limits(&g.g, a, b, c, e), 1);
    EXPECT_STREQ(a, "2.000");
    EXPECT_STREQ(b, "4.000");
    EXPECT_STREQ(c, "250.000");
    EXPECT_STREQ(e, "500.000");
    gostd_std_zoom_graph(&g.g, nullptr, nullptr, nullptr, 0);
    g.g.zoomed = 0;
}

TEST_F(Methods, Mutate)
{
    const int d = xy({{1, 5}, {3, 7}});
    CanvasGraph g(d, d);
    g.g.kind2dz = 1;
    gostd_std_mutate_graph(&g.g, 4);
    EXPECT_EQ(g.g.kind2dz, 0);
    EXPECT_EQ(g.g.yblock.max, 7);
    gostd_std_mutate_2dz_graph(&g.g, 0);
    EXPECT_EQ(g.g.kind2dz, 1);
}

// ---- fill modes, world mapping, colour maps ---------------------------------------------

TEST_F(Methods, FillModes)
{
    CanvasGraph g;
    struct Case {
        int style;
        long want_style, want_hatch;
    } cases[] = {{0, 0, 99}, {1, 1, 99}, {2, 2, 0}, {7, 2, 5}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.style);
        GFillModes reset{};
        reset.hatch = 99;
        GSetFillModes(g.g.canvas, 0x4, &reset);
        gomain_go_setup_fill_modes(g.g.canvas, c.style, 6);
        GFillModes f{};
        GGetFillModes(g.g.canvas, &f);
        EXPECT_EQ(f.style, c.want_style);
        EXPECT_EQ(f.colour, 6);
        EXPECT_EQ(f.hatch, c.want_hatch);
    }
}

TEST_F(Methods, WorldMappingAndZoomRectangles)
{
    const int d = xy({{0, 0}, {10, 10}});
    Scaled g(d);
    const double *w = g.g.canvas->modes.world;
    auto to_device = [&](double x, double y, int p[2]) {
        double q[2] = {x, y};
        GVector in{GV_DOUBLE, 0, 2, 1, {q, nullptr, nullptr}}, o{};
        GTransformPoints(g.g.canvas, GCS_WC, GCS_DC, &in, &o);
        p[0] = static_cast<int>(std::lround(gvector_GGetValue(&o, 0, 0)));
        p[1] = static_cast<int>(std::lround(gvector_GGetValue(&o, 0, 1)));
        gvector_GFreeVectorData(&o);
    };
    int p[2];
    to_device(w[0] - 3, (w[1] + w[4]) / 2, p);
    double out[2];
    EXPECT_EQ(gomain_go_map_to_world(g.g.canvas, p, out), 0);
    EXPECT_EQ(out[0], w[0]) << "onto the left edge";
    to_device((w[0] + w[3]) / 2, (w[1] + w[4]) / 2, p);
    EXPECT_EQ(gomain_go_map_to_world(g.g.canvas, p, out), 1);
    gomain_go_set_world_clip(0);
    to_device(w[0] - 3, w[1], p);
    EXPECT_EQ(gomain_go_map_to_world(g.g.canvas, p, out), 1);
    EXPECT_LT(out[0], w[0]);
    gomain_go_set_world_clip(1);

    struct Case {
        const char *what;
        GoZoomWindow in, want;
        int result;
    } cases[] = {
        {"wider than the window", {w[4] + 5, w[1] - 5, w[3] + 5, w[0] - 5, 0, 0}, {w[4], w[1], w[3], w[0], 0, 0}, 1},
        {"inside", {6, 4, 7, 3, 0, 0}, {6, 4, 7, 3, 0, 0}, 1},
        {"pushed off the left edge keeps its width", {6, 4, 2, w[0] - 2, 0, 0}, {6, 4, w[0] + 4, w[0], 0, 0}, 1},
        {"pushed off the top keeps its height", {w[4] + 1, w[4] - 2, 5, 4, 0, 0}, {w[4], w[4] - 3, 5, 4, 0, 0}, 1},
        {"collapsed", {6, 4, w[0] - 1, w[0] - 3, 0, 0}, {6, 4, w[0], w[0], 0, 0}, 0},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(gomain_go_clip_zoom_to_world(g.g.canvas, &c.in), c.result);
        EXPECT_DOUBLE_EQ(c.in.xmin, c.want.xmin);
        EXPECT_DOUBLE_EQ(c.in.xmax, c.want.xmax);
        if (c.result) {
            EXPECT_DOUBLE_EQ(c.in.ymin, c.want.ymin);
            EXPECT_DOUBLE_EQ(c.in.ymax, c.want.ymax);
        }
    }
}

TEST_F(Methods, ColourMapsByAxis)
{
    const int a = xy({{0, 1}, {10, 9}}), b = xy({{0, 2}, {10, 3}});
    CanvasGraph g(a, b);
    std_dataset_stats(&g.g, a, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1);
    std_auto_scale(&g.g, 0);
    gomain_go_set_2d_coordinates(&g.g);
    GCanvasRecord *c = g.g.canvas;

    // Series colour: the first dataset's comes from the line modes, a
    // later one's from its `colour` property.
    GLineModes l{};
    l.colour = 3;
    GSetLineModes(c, 0x2, &l);
    EXPECT_EQ(gomain_go_get_colourmap(&g.g, nullptr, a, 0), 0) << "a series colour leaves the map off";
    l.colour = -1;
    GSetLineModes(c, 0x2, &l);
    EXPECT_EQ(gomain_go_get_colourmap(&g.g, nullptr, a, 0), 1);
    GColourMapModes m{};
    gcolmap_GGetColourMapModes(c, &m);
    EXPECT_EQ(m.mode, 1);
    EXPECT_DOUBLE_EQ(m.datamin, 1);
    EXPECT_DOUBLE_EQ(m.datamax, 9);
    const int minus = -1, five = 5;
    goprop_go_set_property(&g.g, GP_COLOUR, 1, &five);
    EXPECT_EQ(gomain_go_get_colourmap(&g.g, nullptr, b, 0), 0);
    goprop_go_set_property(&g.g, GP_COLOUR, 1, &minus);
    EXPECT_EQ(gomain_go_get_colourmap(&g.g, nullptr, b, 0), 1);
    gomain_go_forget_colourmap(&g.g);

    // The mesh modes' colouring 2 asks for the map whatever the series
    // colour; other values do not.
    goprop_go_set_property(&g.g, GP_COLOUR, 1, &five);
    l.colour = 3;
    GSetLineModes(c, 0x2, &l);
    for (int64_t colouring : {2, 1, 0}) {
        GMeshModes mesh{};
        mesh.colouring = colouring;
        gmesh_GSetMeshModes(c, GMSM_COLOURING, &mesh);
        EXPECT_EQ(gomain_go_get_colourmap(&g.g, nullptr, a, 0), colouring == 2 ? 1 : 0) << colouring;
        EXPECT_EQ(gomain_go_get_colourmap(&g.g, nullptr, b, 0), colouring == 2 ? 1 : 0) << colouring;
        gomain_go_forget_colourmap(&g.g);
    }

    // Thresholds 1, 5, 3: the decreasing one ends the list.
    const int on = 1;
    goprop_go_set_property(&g.g, GP_USETHRESH, 0, &on);
    const char *values[] = {"1", "5", "3"};
    for (int k = 0; k < 3; k++) {
        goprop_go_set_property(&g.g, GP_THRESH_VAL, k, values[k]);
        const int colour = 10 + k;
        goprop_go_set_property(&g.g, GP_THRESH_COLOUR, k, &colour);
    }
    EXPECT_EQ(gomain_go_get_colourmap(&g.g, nullptr, a, 1), 1) << "thresholds turn colouring on";
    GThresholdModes t{};
    gthresh_GGetThresholdModes(c, &t);
    EXPECT_EQ(t.count, 2);
    EXPECT_EQ(t.values[1], 5);
    EXPECT_EQ(t.colours[1], 11);
    EXPECT_EQ(t.selector, 1);
    gcolmap_GGetColourMapModes(c, &m);
    EXPECT_EQ(m.range, 2);
    EXPECT_EQ(gomain_go_get_colourmap_for_axis(&g.g, nullptr, a, 0, 2), 0);
    gthresh_GGetThresholdModes(c, &t);
    EXPECT_EQ(t.count, 0) << "cleared first";
    EXPECT_EQ(t.selector, 4) << "the z block";
    gomain_go_forget_colourmap(&g.g);
}

TEST_F(Methods, ColourMapFiles)
{
    struct Case {
        const char *path, *dir, *name;
    } cases[] = {{"blues.map", "./", "blues.map"}, {"/blues.map", "/", "blues.map"}, {"a/b/c.map", "a/b", "c.map"}};
    for (const Case &c : cases) {
        char dir[256], name[256];
        ASSERT_EQ(go_split_path(c.path, dir, name), 1);
        EXPECT_STREQ(dir, c.dir);
        EXPECT_STREQ(name, c.name);
    }
    const std::string longpath(300, 'a');
    EXPECT_EQ(gomain_go_read_colourmap(nullptr, longpath.c_str()), 0);

    // Written, changed, read back into colour map 0.
    const std::string dir = testing::TempDir() + "/vx-cmap-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/saved.map";
    GColourMap *map = gcolmap_GGetColourMap(nullptr, 0);
    ASSERT_NE(map, nullptr);
    ASSERT_GT(glist_GGetListLen(map->colours), 2);
    const uint16_t red = gcolour_GGetColour(map->colours, 2)->red;
    ASSERT_EQ(gomain_go_write_colourmap(nullptr, path.c_str()), 0);
    gcolour_GGetColour(map->colours, 2)->red = static_cast<uint16_t>(red ^ 0x4000);
    grec::clear();
    EXPECT_EQ(gomain_go_read_colourmap(nullptr, path.c_str()), 1);
    // Without a canvas window the device is handed no X window and no
    // connection.
    const std::vector<grec::Call> opened = grec::of(GEP_OPEN_DEVICE);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].ints[0] & long(GDM_WINDOW | GDM_DISPLAYCONN), 0);
    map = gcolmap_GGetColourMap(nullptr, 0);
    ASSERT_NE(map, nullptr);
    EXPECT_NEAR(gcolour_GGetColour(map->colours, 2)->red, red, 257);
    EXPECT_EQ(gomain_go_read_colourmap(nullptr, (dir + "/missing.map").c_str()), 0);
    std::filesystem::remove_all(dir);
}

}  // namespace
