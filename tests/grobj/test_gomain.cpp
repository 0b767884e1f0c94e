// The graph device and canvases, the draw preamble, statistics, auto-scaling
// and coordinates, on the recording driver.

#include "gographkit.h"

#include "dlmess.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using gokit::CanvasGraph;
using gokit::col;
using gokit::counts;
using gokit::num;

class GraphEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        dlmess_reset_error_suppression();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_graph_class[0] = &gokit::fake_class();
        gokit::fake_class().coordinates = nullptr;
        counts() = gokit::Counts{};
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

int series(std::vector<double> ys)
{
    std::vector<std::vector<gokit::Cell>> rows;
    for (double y : ys)
        rows.push_back({num(y)});
    return gokit::load({col(DOZ_T_REAL)}, rows, 3);
}

// ---- the draw preamble ----------------------------------------------------------------

struct Outcome {
    long clears, closes;
    int auto_scale, coordinates;
    uint64_t flags;
    int has_data;
};

Outcome preamble(GoGraph *g, int reason, uint64_t flags, int axis_mode = GO_AXES_SCALAR)
{
    grec::clear();
    counts().auto_scale = counts().coordinates = 0;
    int has = -1, character = 0;
    gostd_std_draw_preamble(g, reason, &flags, &has, &character, axis_mode, gokit::counting_auto_scale,
                            gokit::counting_coordinates);
    return {grec::count(GEP_CLEAR_CANVAS), grec::count(GEP_CLOSE_DEVICE), counts().auto_scale,
            counts().coordinates, flags, has};
}

TEST_F(GraphEngine, ThePreambleByReason)
{
    const int a = series({1, 2, 3}), b = series({4, 5});
    CanvasGraph g(a, b);
    ASSERT_NE(g.g.canvas, nullptr);
    ASSERT_EQ(std_dataset_stats(&g.g, a, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1), 1);
    struct Case {
        const char *what;
        int reason;
        uint64_t flags;
        int yallscale, auto_result;
        Outcome want;
    } cases[] = {
        {"redraw", 1, 0, 0, 1, {0, 0, 0, 0, 0, 1}},
        {"new data, adding, no all-scale", 2, 5, 0, 1, {0, 0, 0, 0, 5, 1}},
        {"new data, fresh, no all-scale", 2, 0, 0, 1, {1, 0, 0, 0, 0, 1}},
        {"new data, adding, all-scale", 2, 5, 1, 1, {1, 0, 1, 1, 0, 1}},
        {"new data, fresh, all-scale", 2, 0, 1, 1, {1, 0, 1, 1, 0, 1}},
        {"new data, scaling fails", 2, 5, 1, 0, {1, 0, 1, 0, 5, 1}},
        {"zoom", 3, 0, 0, 1, {1, 0, 0, 1, 0, 1}},
        {"properties", 4, 0, 0, 1, {1, 0, 1, 1, 0, 1}},
        {"properties, scaling fails", 4, 0, 0, 0, {1, 0, 1, 0, 0, 1}},
        {"re-position", 5, 0, 0, 1, {1, 0, 0, 1, 0, 1}},
        {"re-open keeping the device", 6, GO_KEEP_DEVICE, 0, 1, {0, 0, 0, 1, GO_KEEP_DEVICE, 1}},
        {"re-open", 6, 0, 0, 1, {0, 1, 0, 1, 0, 1}},
        {"unknown reason", 9, 0, 0, 1, {0, 0, 0, 0, 0, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        goprop_go_set_property(&g.g, GP_YALLSCALE, 0, &c.yallscale);
        counts().auto_scale_result = c.auto_result;
        const Outcome o = preamble(&g.g, c.reason, c.flags);
        EXPECT_EQ(o.clears, c.want.clears);
        EXPECT_EQ(o.closes, c.want.closes);
        EXPECT_EQ(o.auto_scale, c.want.auto_scale);
        EXPECT_EQ(o.coordinates, c.want.coordinates);
        EXPECT_EQ(o.flags, c.want.flags);
        EXPECT_EQ(o.has_data, c.want.has_data);
        ASSERT_NE(g.g.canvas, nullptr);
    }
    EXPECT_EQ(gokit::fake_class().coordinates, &gokit::counting_coordinates) << "the class keeps the routine";

    // One dataset: new data without all-scale still sets the coordinates.
    CanvasGraph one(a, a);
    std_dataset_stats(&one.g, a, &one.g.xblock, &one.g.yblock, &one.g.zblock, 1);
    const Outcome o = preamble(&one.g, 2, 5);
    EXPECT_EQ(o.coordinates, 1);
    EXPECT_EQ(o.flags, 5u);
    EXPECT_EQ(o.clears, 0);
}

TEST_F(GraphEngine, APreambleWithoutDataOrWithTooFewPoints)
{
    CanvasGraph none;
    for (int reason = 1; reason <= 6; reason++) {
        SCOPED_TRACE(reason);
        const Outcome o = preamble(&none.g, reason, 0);
        EXPECT_EQ(o.has_data, 0);
        EXPECT_EQ(o.coordinates, 0);
        EXPECT_EQ(o.clears, reason == 1 || reason == 6 ? 0 : 1);
    }
    const int d = series({7});
    CanvasGraph g(d, d);
    std_dataset_stats(&g.g, d, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1);
    EXPECT_EQ(preamble(&g.g, 1, 0, GO_AXES_CATEGORY_X).has_data, 1);
    EXPECT_TRUE(gokit::boxes().empty());
    for (int mode : {GO_AXES_CATEGORY_Y, GO_AXES_BLOCK}) {
        EXPECT_EQ(preamble(&g.g, 1, 0, mode).has_data, 0);
        ASSERT_EQ(gokit::boxes().size(), 1u);
        EXPECT_EQ(gokit::boxes()[0].substr(0, 6), "67/30:");
        gokit::boxes().clear();
    }
    // A character the kind does not take: no data, no message.
    gokit::fake_class().character_mask = DS_CH_XYZ;
    EXPECT_EQ(preamble(&g.g, 1, 0).has_data, 0);
    gokit::fake_class().character_mask = 0x7ff;
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(GraphEngine, MultipleYModeIsDecidedAtPropertyChanges)
{
    const int a = series({1, 2});
    series({10, 20});
    const int c = series({100, 300});
    CanvasGraph g(a, c);
    std_dataset_stats(&g.g, a, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1);
    const int on = 1;
    goprop_go_set_property(&g.g, GP_SECYAXIS, 1, &on);
    gokit::fake_class().multiy_capable = 0;
    preamble(&g.g, 4, 0);
    EXPECT_EQ(g.g.multiy, 0) << "a kind without secondary axes never enters";
    gokit::fake_class().multiy_capable = 1;
    preamble(&g.g, 4, 0);
    ASSERT_EQ(g.g.multiy, 1);
    ASSERT_NE(g.g.secy, nullptr);
    EXPECT_EQ(g.g.secy[1].min, 100.0) << "dataset c against axis 1";
    EXPECT_EQ(g.g.secy[1].max, 300.0);
    std::string err = gokit::stderr_of([&] { EXPECT_EQ(preamble(&g.g, 3, 0).clears, 0); });
    EXPECT_EQ(err, "GrObj. Draw method (ZOOM) in multi-Y mode\n");
    const int off = 0;
    goprop_go_set_property(&g.g, GP_SECYAXIS, 1, &off);
    preamble(&g.g, 4, 0);
    EXPECT_EQ(g.g.multiy, 0);
    EXPECT_EQ(g.g.secy, nullptr);
}

TEST_F(GraphEngine, RedrawOnPropertyChangeFollowsAutoRedraw)
{
    gokit::Graph g;
    EXPECT_EQ(gomain_go_graph_drawable(&g.g, 4), 1);
    const int off = 0;
    goprop_go_set_property(&g.g, GP_AUTO_REDRAW, 0, &off);
    EXPECT_EQ(gomain_go_graph_drawable(&g.g, 4), 0);
    EXPECT_EQ(gomain_go_graph_drawable(&g.g, 2), 1);
}

// ---- the device --------------------------------------------------------------------------

GoPrintSettings settings(int kind, bool to_file, bool margins)
{
    GoPrintSettings s{};
    s.kind = kind;
    s.destination = to_file ? 1 : 0;
    strcpy(s.filename, "/tmp/out.ps");
    s.page_width = 8.5;
    s.page_height = 11;
    s.landscape = 0;
    s.left = margins ? 1 : -1;
    s.right = 0.5;
    s.top = 1;
    s.bottom = 2;
    s.image_option = 3;
    return s;
}

const char *command(int kind) { return kind == 1 ? "lp -dps" : ""; }
const char *default_command(int kind) { return kind == 3 ? "lp -dplotter" : "lp"; }
const char *prolog() { return "vx.pro"; }

TEST_F(GraphEngine, PrintSettingsChooseTheDeviceModes)
{
    GoDisplayHooks h{};
    h.show_error = gokit::record_box;
    h.printer_command = command;
    h.default_printer_command = default_command;
    h.ps_prolog = prolog;
    go_set_display_hooks(&h);
    struct Case {
        int kind;
        bool file, margins;
        int protocol;
        double res;
        const char *spool;
    } cases[] = {
        {1, true, true, GP_POSTSCRIPT, 720, ""},  {1, false, false, GP_POSTSCRIPT, 720, "lp -dps"},
        {2, true, false, GP_EPS, 720, ""},        {2, false, true, GP_EPS, 720, "lp -dps"},
        {3, false, true, GP_HPGL, 1021, "lp -dplotter"}, {3, true, false, GP_HPGL, 1021, ""},
        {4, false, false, GP_PCL, 75, "lp"},      {5, true, true, GP_IMAGE, 72, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + (c.file ? " file" : " spool") + (c.margins ? " margins" : " fill"));
        const GoPrintSettings s = settings(c.kind, c.file, c.margins);
        grec::clear();
        ASSERT_EQ(gomain_go_set_device_type(c.kind, &s, 1), 1);
        GDeviceRecord *d = gomain_go_open_device_id();
        ASSERT_NE(d, nullptr);
        const std::vector<grec::Call> open = grec::of(GEP_OPEN_DEVICE);
        ASSERT_EQ(open.size(), 1u);
        const uint64_t mask = static_cast<uint64_t>(open[0].ints[0]);
        const GDeviceModes &m = d->modes;
        EXPECT_EQ(m.protocol, c.protocol);
        EXPECT_EQ(m.output, c.file ? 0 : 1);
        EXPECT_EQ(m.basedevice, 0);
        EXPECT_TRUE(mask & GDM_BASEDEVICE);
        EXPECT_TRUE(mask & GDM_OUTPUT);
        EXPECT_TRUE(mask & (c.file ? GDM_FILENAME : GDM_SPOOLCMD));
        if (c.file)
            EXPECT_STREQ(m.filename, "/tmp/out.ps");
        else
            EXPECT_STREQ(m.spoolcmd, c.spool);
        EXPECT_EQ(m.ucxdim, long(8.5 * c.res));
        EXPECT_EQ(m.ucydim, long(11 * c.res));
        EXPECT_EQ(m.fillpage, c.margins ? 0 : 1);
        if (c.margins) {
            EXPECT_EQ(mask & 0x410A007Eu, 0x410A007Eu);
            EXPECT_EQ(m.dcxpos, long(c.res));
            EXPECT_EQ(m.dcypos, long(2 * c.res));
            EXPECT_EQ(m.dcxdim, long(c.res * 7));
            EXPECT_EQ(m.dcydim, long(c.res * 8));
        } else {
            EXPECT_EQ(mask & 0x80006u, 0x80006u);
            EXPECT_EQ(m.dcxdim, 600) << "sized like the display canvas";
            EXPECT_EQ(m.dcydim, 450);
        }
        if (c.kind <= 2) {
            EXPECT_STREQ(m.prolog, "vx.pro");
        }
    }
    // No screen device was opened: lengths in window pixels are the
    // display canvas's all the same.
    long bx = 0, by = 0;
    gdev_GGetBaseDevLimits(&bx, &by);
    EXPECT_EQ(bx, 600);
    EXPECT_EQ(by, 450);
    const int placement[4] = {0, 0, 300, 450};
    GCanvasRecord *half = go_open_canvas(nullptr, placement);
    ASSERT_NE(half, nullptr);
    GCanvasModes cm{};
    GGetCanvasModes(half, &cm);
    EXPECT_GT(cm.size[0], 1000);
    EXPECT_GT(cm.size[1], 2000);
    EXPECT_EQ(gomain_go_set_device_type(0, nullptr, 0), 1) << "no reopen";
    EXPECT_EQ(gomain_go_open_device_id()->modes.protocol, GP_IMAGE) << "still the last device";
}

TEST_F(GraphEngine, AnHpglTwoEntryStaysHpglTwo)
{
    gokit::stop_graphics();
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vx-grobj-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::copy(gokit::build_dir() + "/etc", dir, fs::copy_options::recursive);
    std::stringstream text;
    text << std::ifstream(dir / "pelx.cfg").rdbuf();
    std::string cfg = text.str();
    const size_t at = cfg.find("protocol : HP-GL\n");
    ASSERT_NE(at, std::string::npos);
    cfg.replace(at, strlen("protocol : HP-GL\n"), "protocol : HP-GL/2\n");
    std::ofstream(dir / "pelx.cfg") << cfg;
    ASSERT_TRUE(gokit::start_graphics(dir.string()));
    const GoPrintSettings s = settings(3, true, false);
    ASSERT_EQ(gomain_go_set_device_type(3, &s, 1), 1);
    EXPECT_EQ(gomain_go_open_device_id()->modes.protocol, GP_HPGL2);
    fs::remove_all(dir);
}

TEST_F(GraphEngine, AFailedOpenIsReportedAndRetried)
{
    grec::answers().open_device = -1;
    std::string err = gokit::stderr_of([&] {
        const int placement[4] = {0, 0, 100, 100};
        EXPECT_EQ(go_open_canvas(nullptr, placement), nullptr);
    });
    EXPECT_NE(err.find("Error! GrObj. Failed to initialise device!\nError! GrObj. Failed to open canvas\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(gomain_go_open_device_id(), nullptr);
    grec::answers().open_device = 0;
    const int placement[4] = {0, 0, 100, 100};
    EXPECT_NE(go_open_canvas(nullptr, placement), nullptr) << "the next open tries again";
    const GoPrintSettings s = settings(9, true, false);
    err = gokit::stderr_of([&] { EXPECT_EQ(gomain_go_set_device_type(1, &s, 1), 0); });
    EXPECT_EQ(err, "Error! GrObj. Failed to initialise device!\n") << "no such print kind";
    err = gokit::stderr_of([&] { EXPECT_EQ(gomain_go_set_device_type(6, nullptr, 1), 0); });
    EXPECT_EQ(err, "Error! GrObj. Failed to initialise device!\n") << "no such device";
}

TEST_F(GraphEngine, CanvasesArePlacedAtTheirRectangles)
{
    CanvasGraph whole(-1, -1, 0, 0, 600, 450), right(-1, -1, 300, 0, 300, 225);
    GCanvasModes a{}, b{};
    GGetCanvasModes(whole.g.canvas, &a);
    GGetCanvasModes(right.g.canvas, &b);
    EXPECT_EQ(a.origin[0], 0);
    EXPECT_EQ(a.origin[1], 0) << "the bottom-left pixel is the origin (y upwards)";
    EXPECT_NEAR(b.origin[0], a.size[0] / 2.0, 8);
    EXPECT_NEAR(b.origin[1], a.size[1] / 2.0, 8) << "the upper half";
    EXPECT_NEAR(b.size[0], a.size[0] / 2.0, 8);
    EXPECT_EQ(b.size[2], b.size[0]);
    // Moving the whole one onto the right one's rectangle.
    const int placement[4] = {300, 0, 300, 225};
    gomain_go_position_canvas(whole.g.canvas, placement);
    GGetCanvasModes(whole.g.canvas, &a);
    EXPECT_EQ(a.origin[0], b.origin[0]);
    EXPECT_EQ(a.size[1], b.size[1]);
}

TEST_F(GraphEngine, MarginsInPixelsOrPercent)
{
    CanvasGraph g;
    GCanvasModes m{};
    m.ccextent[0] = 1000;
    m.ccextent[1] = 800;
    m.ccextent[2] = 1000;
    GSetCanvasModes(g.g.canvas, GCM_CCEXTENT, &m);
    GGetCanvasModes(g.g.canvas, &m);
    const int percent = 1, ten = 10, twenty = 20;
    goprop_go_set_property(&g.g, GP_MARGIN_UNITS, 0, &percent);
    goprop_go_set_property(&g.g, GP_LEFTMARGIN, 0, &ten);
    goprop_go_set_property(&g.g, GP_TOPMARGIN, 0, &twenty);
    int64_t margin[4];
    gomain_go_process_margins(&g.g, &m, margin);
    EXPECT_EQ(margin[0], 100);
    EXPECT_EQ(margin[1], 300) << "right 30 by default";
    EXPECT_EQ(margin[2], 160);
    EXPECT_EQ(margin[3], 240);
    // Pixels: the whole display (600 pixels) is the canvas's 1000 units.
    const int pixels = 0, sixty = 60;
    goprop_go_set_property(&g.g, GP_MARGIN_UNITS, 0, &pixels);
    goprop_go_set_property(&g.g, GP_LEFTMARGIN, 0, &sixty);
    gomain_go_process_margins(&g.g, &m, margin);
    EXPECT_NEAR(double(margin[0]), 100, 1);
    const int other = 7;
    goprop_go_set_property(&g.g, GP_MARGIN_UNITS, 0, &other);
    int64_t same[4];
    gomain_go_process_margins(&g.g, &m, same);
    EXPECT_EQ(same[0], margin[0]) << "other units count as pixels";
}

TEST_F(GraphEngine, ColoursBackgroundAndCanvasModes)
{
    CanvasGraph g;
    long colour = 0;
    gomain_go_get_colour(&g.g, &colour, GP_LABELCOLOUR, GP_AXISCOLOUR);
    EXPECT_EQ(colour, 1);
    const int by_map = -1, five = 5;
    goprop_go_set_property(&g.g, GP_LABELCOLOUR, 0, &by_map);
    goprop_go_set_property(&g.g, GP_AXISCOLOUR, 0, &five);
    gomain_go_get_colour(&g.g, &colour, GP_LABELCOLOUR, GP_AXISCOLOUR);
    EXPECT_EQ(colour, 5);
    gomain_go_use_world_coordinates(g.g.canvas);
    gomain_go_set_world_clipping(g.g.canvas);
    GCanvasModes m{};
    GGetCanvasModes(g.g.canvas, &m);
    EXPECT_EQ(m.coords, GCS_WC);
    EXPECT_EQ(m.clip, 3);
}

// ---- statistics -----------------------------------------------------------------------------

TEST_F(GraphEngine, Statistics)
{
    const int missing = gokit::load({col(DOZ_T_REAL)}, {{gokit::none()}, {num(-9999)}}, 3);
    GoAxisBlock x{}, y{};
    gostat_get_dataset_stats(goprop_triple_reader, missing, &x, &y, nullptr);
    EXPECT_EQ(y.min, 0.0);
    EXPECT_EQ(y.max, 1.0);
    EXPECT_EQ(y.count, 0.0);

    const int a = series({3, 1, 2, 5});
    gostat_get_dataset_stats(goprop_triple_reader, a, &x, &y, nullptr);
    EXPECT_EQ(y.min, 1.0);
    EXPECT_EQ(y.max, 5.0);
    EXPECT_EQ(y.count, 4.0);
    EXPECT_EQ(y.changes, 3.0) << "3 (min, max), 1 (min), 5 (max), less one";
    EXPECT_EQ(x.max, 3.0) << "generated x";

    // Stacked: (1, 2) and (3, -1) give 4 and -1.
    const int s1 = series({1, 2}), s2 = series({3, -1});
    gokit::Graph g(s1, s2);
    g.g.statopts = GO_STAT_STACKED;
    ASSERT_EQ(std_dataset_stats(&g.g, s1, &g.g.xblock, &g.g.yblock, &g.g.zblock, 0), 1) << "stacking is all-scale";
    EXPECT_EQ(g.g.yblock.max, 4.0);
    EXPECT_EQ(g.g.yblock.min, -1.0);
    EXPECT_EQ(g.g.yblock.count, 2.0) << "the first dataset's points";
    g.g.statopts = 0;
    EXPECT_EQ(std_dataset_stats(&g.g, s1, &g.g.xblock, &g.g.yblock, &g.g.zblock, 0), 0) << "no all-scale";
    EXPECT_EQ(std_dataset_stats(&g.g, s1, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1), 1);
    EXPECT_EQ(g.g.yblock.max, 2.0) << "the first dataset alone";
    const int on = 1;
    goprop_go_set_property(&g.g, GP_YALLSCALE, 0, &on);
    std_dataset_stats(&g.g, s1, &g.g.xblock, &g.g.yblock, &g.g.zblock, 0);
    EXPECT_EQ(g.g.yblock.max, 3.0);
    EXPECT_EQ(g.g.yblock.min, -1.0);

    // Only negative stacks.
    const int n1 = series({-1, -2}), n2 = series({-3});
    gokit::Graph h(n1, n2);
    h.g.statopts = GO_STAT_STACKED;
    std_dataset_stats(&h.g, n1, &h.g.xblock, &h.g.yblock, &h.g.zblock, 0);
    EXPECT_EQ(h.g.yblock.min, -4.0);
    EXPECT_EQ(h.g.yblock.max, -2.0);
}

TEST_F(GraphEngine, XValueTablesGrowTogether)
{
    double *t = nullptr, *t2 = nullptr, *t3 = nullptr;
    int capacity = 0, count = 0;
    for (int i = 0; i < 1030; i++)
        ASSERT_EQ(where_is_xval(i * 0.5, &t, &capacity, &count, &t2, &t3), i);
    EXPECT_EQ(capacity, 2048);
    EXPECT_EQ(where_is_xval(3.0, &t, &capacity, &count, &t2, &t3), 6);
    EXPECT_EQ(count, 1030);
    EXPECT_EQ(t2[2047], 0.0);
    EXPECT_EQ(t3[1500], 0.0);
    vx_free(t);
    vx_free(t2);
    vx_free(t3);
}

// ---- auto-scaling --------------------------------------------------------------------------

TEST_F(GraphEngine, AutoScaleMessagesByCode)
{
    const std::pair<int, int> table[] = {{1, 12}, {2, 12}, {9, 12}, {12, 12}, {4, 9},  {5, 10}, {7, 8},  {8, 13},
                                         {10, 13}, {11, 15}, {13, 7}, {14, 11}, {15, 14}, {16, 14}, {17, 20},
                                         {18, 23}, {3, 2},   {6, 2},  {99, 2}};
    for (auto [code, number] : table) {
        gokit::boxes().clear();
        gomain_go_show_autoscale_error(code);
        ASSERT_EQ(gokit::boxes().size(), 1u);
        EXPECT_EQ(gokit::boxes()[0].substr(0, gokit::boxes()[0].find(':')), "67/" + std::to_string(number))
            << "code " << code;
    }
}

TEST_F(GraphEngine, AutoScaleEdgeCases)
{
    GoAxisBlock b{};
    b.min = 0;
    b.max = 100;
    const int on = 1;
    // Logarithmic with 0 in the data: linear and message 21.
    EXPECT_EQ(gomain_go_auto_scale(&on, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &b), 1);
    EXPECT_EQ(b.scale.type, SCALE_LINEAR);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].substr(0, 6), "67/21:");
    gokit::boxes().clear();
    // A maximum of 0 on a logarithmic axis: dropped, message 22, the data's used.
    b.min = 1;
    b.max = 1000;
    const double zero = 0;
    EXPECT_EQ(gomain_go_auto_scale(&on, nullptr, &zero, nullptr, nullptr, nullptr, nullptr, nullptr, &b), 1);
    EXPECT_EQ(b.scale.type, SCALE_LOG);
    double last = 0;
    scale_GetLastDiv(&b.scale, &last);
    EXPECT_GE(last, 1000.0);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].substr(0, 6), "67/22:");
    gokit::boxes().clear();
    // A division far too small: message 20, the division dropped, scaled again.
    b.min = 0;
    b.max = 1e6;
    const double tiny = 1e-3;
    EXPECT_EQ(gomain_go_auto_scale(nullptr, nullptr, nullptr, nullptr, &tiny, nullptr, nullptr, nullptr, &b), 1);
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].substr(0, 6), "67/20:");
    scale_GetLastDiv(&b.scale, &last);
    EXPECT_GE(last, 1e6);
    EXPECT_LE(scale_GetNumDivs(&b.scale), 100);
    // A text column: a discrete axis; a maximum outside the data is not used.
    DozColDesc text{};
    text.type = DOZ_T_STRING;
    b.min = 0;
    b.max = 3;
    const double far = 50;
    gomain_go_auto_scale(nullptr, nullptr, &far, nullptr, nullptr, nullptr, nullptr, &text, &b);
    EXPECT_EQ(b.scale.type, SCALE_DISCRETE);
    scale_GetLastDiv(&b.scale, &last);
    EXPECT_LT(last, 50.0);
}

TEST_F(GraphEngine, CategoriesAreCentredInTheirSlots)
{
    // A bar-like kind, one dataset of four text categories: x = 0..3.
    const int d = gokit::load({col(DOZ_T_STRING, 0, 6), col(DOZ_T_REAL)},
                              {{gokit::txt("north"), num(5)}, {gokit::txt("south"), num(7)},
                               {gokit::txt("east"), num(2)}, {gokit::txt("west"), num(4)}},
                              1);
    ASSERT_EQ(dsmgr_ds_character(d), DS_CH_Y_XOTHER);
    CanvasGraph g(d, d);
    std_dataset_stats(&g.g, d, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1);
    EXPECT_EQ(g.g.xblock.changes, 4.0);
    counts().real_scaling = true;
    uint64_t flags = 0;
    int has = 0, character = 0;
    const int all = 1;
    goprop_go_set_property(&g.g, GP_XALLSCALE, 0, &all);
    gostd_std_draw_preamble(&g.g, 2, &flags, &has, &character, GO_AXES_CATEGORY_X, gokit::counting_auto_scale,
                            gokit::counting_coordinates);
    ASSERT_EQ(has, 1);
    double first = 0, last = 0;
    scale_GetFirstDiv(&g.g.xblock.scale, &first);
    scale_GetLastDiv(&g.g.xblock.scale, &last);
    EXPECT_EQ(first, 0.0);
    EXPECT_EQ(last, 4.0);
    EXPECT_EQ(scale_GetNumDivs(&g.g.xblock.scale), 4);
    GCanvasModes m{};
    GGetCanvasModes(g.g.canvas, &m);
    EXPECT_EQ(m.world[0], 0.0);
    EXPECT_EQ(m.world[3], 4.0);
    double shift = 0, yshift = 9, used = 0, yused = 9;
    gomain_go_get_non_scalar_shift(&g.g, &g.g.xblock, &g.g.yblock, GO_AXES_CATEGORY_X, &shift, &yshift, &used,
                                   &yused);
    EXPECT_EQ(shift, 0.5) << "ticks, labels and bars in the middle of [k, k + 1]";
    EXPECT_EQ(used, 0.5);
    EXPECT_EQ(yshift, 0.0);
    const int off = 0;
    goprop_go_set_property(&g.g, GP_BARCENTRED, 0, &off);
    gomain_go_get_non_scalar_shift(&g.g, &g.g.xblock, &g.g.yblock, GO_AXES_CATEGORY_X, &shift, &yshift, &used,
                                   &yused);
    EXPECT_EQ(used, 0.0);

    // A single numeric category: the maximum is twice the data maximum.
    const int one = gokit::load({col(DOZ_T_LONG), col(DOZ_T_REAL)}, {{num(2), num(5)}}, 1);
    CanvasGraph h(one, one);
    std_dataset_stats(&h.g, one, &h.g.xblock, &h.g.yblock, &h.g.zblock, 1);
    EXPECT_EQ(std_auto_scale(&h.g, GO_AXES_CATEGORY_X), 1);
    scale_GetLastDiv(&h.g.xblock.scale, &last);
    EXPECT_GE(last, 4.0);
    h.g.xblock.changes = -3;  // no categories counted: taken as one
    EXPECT_EQ(std_auto_scale(&h.g, GO_AXES_CATEGORY_X), 1);
}

TEST_F(GraphEngine, AZoomedWindowKeepsTheAxisBoxAtTheDivisions)
{
    const int d = series({0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100});
    CanvasGraph g(d, d);
    std_dataset_stats(&g.g, d, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1);
    ASSERT_EQ(std_auto_scale(&g.g, GO_AXES_SCALAR), 1);
    GoZoomWindow zoom{60, 20, 7, 3, 1, 1};
    g.g.zoom = &zoom;
    g.g.zoomed = 1;
    gomain_go_set_2d_coordinates(&g.g);
    GCanvasModes m{};
    GGetCanvasModes(g.g.canvas, &m);
    EXPECT_EQ(m.world[0], 3.0);
    EXPECT_EQ(m.world[3], 7.0);
    EXPECT_EQ(m.world[1], 20.0);
    EXPECT_EQ(m.world[4], 60.0);
    EXPECT_EQ(m.axisbox[0], 0.0);
    EXPECT_GE(m.axisbox[3], 10.0);
    EXPECT_EQ(m.axisbox[1], 0.0);
    EXPECT_GE(m.axisbox[4], 100.0);
    EXPECT_EQ(m.dimension, 2);
    EXPECT_EQ(g.g.coords2dz, 0);
    // A zoomed flag without a window counts as not zoomed.
    g.g.zoom = nullptr;
    gomain_go_set_2dz_coordinates(&g.g);
    GGetCanvasModes(g.g.canvas, &m);
    EXPECT_EQ(m.world[0], m.axisbox[0]);
    EXPECT_EQ(g.g.coords2dz, 1);
    g.g.zoomed = 0;
    // 3-D: the view angles from the rotations.
    gomain_go_set_3d_coordinates(&g.g);
    GGetCanvasModes(g.g.canvas, &m);
    EXPECT_EQ(m.dimension, 3);
    EXPECT_EQ(m.angle1, 30 * 64);
    EXPECT_EQ(m.fit[0], m.pssize[0]);
}

TEST_F(GraphEngine, BlockDataTakesOneMoreGridCell)
{
    const int d = gokit::load({col(DOZ_T_REAL), col(DOZ_T_REAL), col(DOZ_T_REAL)},
                              {{num(0), num(1), num(0)}, {num(15), num(2), num(30)}}, 1);
    CanvasGraph g(d, d);
    std_dataset_stats(&g.g, d, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1);
    const int grid = 4;
    goprop_go_set_property(&g.g, GP_GRIDX, 0, &grid);
    ASSERT_EQ(gostd_std_3d_auto_scale(&g.g, GO_AXES_BLOCK), 1);
    double last = 0;
    scale_GetLastDiv(&g.g.xblock.scale, &last);
    EXPECT_GE(last, 20.0) << "15 + 15 / 3";
    EXPECT_EQ(g.g.xblock.max, 15.0) << "put back";
    scale_GetLastDiv(&g.g.zblock.scale, &last);
    EXPECT_GE(last, 30.0 + 30.0 / 15);
}

TEST_F(GraphEngine, TypesOfADataset)
{
    const int d = gokit::load({col(DOZ_T_DATE), col(DOZ_T_REAL)}, {{gokit::ymd(2024, 1, 1), num(1)}}, 1);
    gokit::Graph g(d, d);
    const DozColDesc *x = nullptr, *y = nullptr, *z = nullptr;
    EXPECT_EQ(gomain_go_get_tinfos(&g.g, d, &x, &y, &z), 2);
    EXPECT_EQ(x->type, DOZ_T_DATE);
    EXPECT_EQ(y->type, DOZ_T_REAL);
    EXPECT_EQ(z->type, DOZ_T_REAL) << "the built-in descriptor";
}

// ---- multiple y axes ---------------------------------------------------------------------------

struct Axis {
    int type, spacing;
};

void set_axes(GoGraph *g, const std::vector<Axis> &axes)
{
    for (size_t a = 0; a < axes.size(); a++) {
        const int on = 1;
        goprop_go_set_property(g, GP_SECYAXIS, int(a), &on);
        goprop_go_set_property(g, GP_SYTYPE, int(a), &axes[a].type);
        goprop_go_set_property(g, GP_SYSPACING, int(a), &axes[a].spacing);
    }
}

TEST_F(GraphEngine, MultipleYStacksAndOffsets)
{
    struct Case {
        const char *what;
        std::vector<Axis> axes;
        int stacks;
        std::vector<int> offsets;  // per axis, unconverted
        std::vector<int> stack;    // per axis
        std::vector<int> first;    // is_first per axis
        std::vector<int> above;
    } cases[] = {
        {"right side", {{1, 5}, {1, 7}, {1, 9}}, 1, {0, 7, 16}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {"left side after the main axis", {{0, 5}, {0, 7}}, 1, {5, 12}, {0, 0}, {0, 0}, {0, 0}},
        {"a new stack on the left", {{1, 5}, {2, 10}, {1, 4}, {0, 6}}, 2, {0, 0, 0, 6}, {0, 1, 1, 1}, {0, 1, 0, 0},
         {0, 0, 0, 0}},
        {"a new stack on the right", {{3, 0}, {0, 3}, {1, 8}}, 2, {0, 0, 8}, {1, 1, 1}, {1, 0, 0}, {0, 0, 0}},
        {"stacks without gaps continue axes", {{1, 5}, {3, 0}}, 2, {0, 0}, {0, 1}, {0, 1}, {1, 0}},
        {"a gap ends the continuation", {{1, 5}, {3, 12}}, 2, {0, 0}, {0, 1}, {0, 1}, {0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        gokit::Graph g;
        set_axes(&g.g, c.axes);
        EXPECT_EQ(gomy_stack_count(&g.g), c.stacks);
        EXPECT_EQ(gomy_go_multiy_needed(&g.g), 1);
        for (size_t a = 0; a < c.axes.size(); a++) {
            SCOPED_TRACE(a);
            EXPECT_EQ(gomy_go_multiy_axis_spacing(&g.g, int(a), 0, -7), c.offsets[a]);
            EXPECT_EQ(gomy_stack_position(&g.g, int(a)), c.stack[a]);
            EXPECT_EQ(gomy_go_multiy_has_x(&g.g, int(a)), c.stack[a] == 0);
            EXPECT_EQ(gomy_go_multiy_is_first(&g.g, int(a), nullptr, nullptr), c.first[a]);
            EXPECT_EQ(gomy_go_multiy_axis_above(&g.g, int(a)), c.above[a]);
        }
    }
    gokit::Graph g;
    EXPECT_EQ(gomy_go_multiy_needed(&g.g), 0);
    EXPECT_EQ(gomy_stack_count(&g.g), 1);
    int left = 0, right = 9;
    EXPECT_EQ(gomy_go_multiy_is_first(&g.g, -1, &left, &right), 1);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(right, 0);
    EXPECT_EQ(gomy_go_multiy_axis_spacing(&g.g, 3, 0, -7), -7) << "a disabled axis gives the default";
    EXPECT_EQ(gomy_go_multiy_axis_enabled(&g.g, 215), 0);
    EXPECT_EQ(gomy_go_multiy_axis_enabled(&g.g, -1), 1);
    EXPECT_EQ(gomy_go_multiy_axis(&g.g, 0), nullptr) << "not in multi-y mode";
    EXPECT_EQ(gomy_go_multiy_axis(&g.g, -1), &g.g.yblock);
    set_axes(&g.g, {{2, 4}, {1, 0}, {0, 0}});
    EXPECT_EQ(gomy_go_multiy_is_first(&g.g, 0, &left, &right), 1);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(right, 1);
    EXPECT_EQ(gomy_go_multiy_axis_on_left(&g.g, 1), 0);
}

TEST_F(GraphEngine, ThreeStacksShareThePlotHeight)
{
    const int a = series({1, 2});
    series({3, 4});
    const int c = series({5, 6});
    CanvasGraph g(a, c);
    std_dataset_stats(&g.g, a, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1);
    set_axes(&g.g, {{2, 10}, {2, 20}});
    g.g.multiy = 1;
    gomy_init_multiy(&g.g);
    multiy_dataset_stats(&g.g);
    EXPECT_EQ(g.g.secy[0].max, 4.0);
    EXPECT_EQ(g.g.secy[1].min, 5.0);
    ASSERT_EQ(std_auto_scale(&g.g, GO_AXES_SCALAR), 1);
    GCanvasModes m{};
    GGetCanvasModes(g.g.canvas, &m);
    int64_t margin[4];
    gomain_go_process_margins(&g.g, &m, margin);
    const int64_t height = m.ccextent[1] - margin[2] - margin[3];
    auto y_units = [&](double v) {
        return GTransformLength(g.g.canvas, 2, 1, GTransformLength(g.g.canvas, 5, 1, v));
    };
    const int64_t stack = (height - int64_t(y_units(30))) / 3;
    gomy_go_set_myaxis_coord(&g.g, 1);
    GGetCanvasModes(g.g.canvas, &m);
    EXPECT_EQ(m.pssize[1], stack);
    EXPECT_EQ(m.psorigin[1], margin[2] + 2 * stack + int64_t(y_units(10)) + int64_t(y_units(20)));
    EXPECT_EQ(m.coords, GCS_WC);
    EXPECT_EQ(m.world[1], g.g.secy[1].scale.min);
    gomy_go_set_multiy_coord(&g.g, a);
    GGetCanvasModes(g.g.canvas, &m);
    EXPECT_EQ(m.psorigin[1], margin[2]) << "the main axis is in the first stack";
    // Spacings taller than the plot: stacks of no height.
    set_axes(&g.g, {{2, 30000}, {2, 20}});
    gomy_go_set_myaxis_coord(&g.g, 1);
    GGetCanvasModes(g.g.canvas, &m);
    EXPECT_EQ(m.pssize[1], 0);
    gomy_term_multiy(&g.g);
    g.g.multiy = 0;
}

}  // namespace
