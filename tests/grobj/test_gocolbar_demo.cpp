// The demo database's revenue of department 10 as a line graph coloured by
// the colour map, with the mean and the regression line, a title showing
// the mean, a text with an arrow to the highest day, markers on two points
// and the colour bar on the right: on the recording driver (the lines at
// their values, the bar with a label a division, the title's mean the
// interpreter's AVERAGE), and as an EPS file rendered by Ghostscript and a
// PNG file, probed at computed pixels.  The PNG is the documentation's
// picture when $VX_IMAGE_DIR is set.

#include "godemo.h"
#include "gographkit.h"
#include "gopicture.h"

#include "giinit.h"
#include "gocolbar.h"
#include "gomarker.h"
#include "goover.h"
#include "gpinit.h"
#include "grkind.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char *const REVENUE = "DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE";

class Picture : public ::testing::Test {
protected:
    void SetUp() override
    {
        godemo::ensure_demo();
        setenv("DOZ_CLIENT_DIR", vxtest::install_dir().c_str(), 1);
        setenv("DOZ_SERVER_DIR", godemo::server_dir().c_str(), 1);
        unsetenv("QYINT");
        dsmgr_ds_init(nullptr, nullptr);
        static std::string prolog;
        prolog = gokit::build_dir() + "/etc/prolog.ps";
        GoDisplayHooks h{};
        h.show_error = gokit::record_box;
        h.ps_prolog = [] { return prolog.c_str(); };
        go_set_display_hooks(&h);
        gokit::boxes().clear();
        ASSERT_TRUE(gokit::start_graphics());
        static const bool kinds = [] {
            gomain_go_initialise_objects(nullptr);
            return true;
        }();
        (void)kinds;
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        AppData ad{};
        ad.catd = NL_NO_CATALOGUE;
        ad.user_name = const_cast<char *>("BRASK");
        ad.server_name = const_cast<char *>("");
        ad.buffer_size = ad.queryBufferSize = 200000;
        qymgr_qy_set_ui(nullptr);
        qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, 0);
        ASSERT_GE(qymgr_qy_connection(), 0);
        qymgr_qy_query("OPEN DEMO", QY_NOWAIT, QY_ASIS, QY_REPORT);
        ASSERT_TRUE(qymgr_qy_ok());
        qymgr_qy_query(REVENUE, QY_NOWAIT, QY_FULL, QY_REPORT);
        ASSERT_TRUE(qymgr_qy_returned_data());
        dataset = dsmgr_ds_current();
        dscol_ds_characterise(3);
        dsmgr_ds_retain();
        qymgr_qy_query("DISPLAY AVERAGE REVENUE FROM SALES WHERE DEPTNO=10", QY_NOWAIT, QY_SIMPLE, QY_REPORT);
        memcpy(&average, qymgr_qy_buffer(), sizeof average);
        fit();
    }
    void TearDown() override
    {
        gomarker_go_destroy_markers();
        qymgr_qy_term();
        gomain_go_set_device_type(0, nullptr, 0);
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }

    // The data's least-squares line and its highest point, by the test's
    // own pass.
    void fit()
    {
        GoTuple t{};
        t.dataset = dataset;
        double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        goprop_go_tuple_autoinc(0);
        for (;; goprop_go_next_point(&t)) {
            goprop_triple_reader(&t);
            if (t.status & GT_S_END)
                break;
            if (t.null)
                continue;
            const double x = *t.x, y = *t.y;
            if (n == 0 || y > top_y) {
                top_x = x;
                top_y = y;
            }
            n++;
            sx += x;
            sy += y;
            sxx += x * x;
            sxy += x * y;
        }
        const double mx = sx / n, my = sy / n;
        gradient = (sxy - n * mx * my) / (sxx - n * mx * mx);
        intercept = my - gradient * mx;
    }

    // The graph of the picture on the current device.
    GoGraph *make_graph(GoFormat &format)
    {
        GoGraph *g = nullptr;
        const int placement[4] = {0, 0, 600, 450};
        GoClass *line = gomain_graph_class[0];
        EXPECT_EQ(line->create(&g, nullptr, placement), 1);
        g->format = &format;
        line->mutate(g, 0);
        g->first = g->last = dataset;
        line->setdata(g, dataset);
        auto set = [&](int p, int q, int v = 0) { goprop_go_set_property(g, p, q, &v); };
        set(GP_COLOUR, 0, -1);
        set(GP_OVERLAYON, 2, 1);
        set(GP_OVERLAYON, 5, 1);
        set(GP_CBENABLE, 0, 1);
        set(GP_CBGRAVITY, 0, 1);
        set(GP_CBWIDTH, 0, 20);
        set(GP_RIGHTMARGIN, 0, 160);
        goprop_go_set_property(g, GP_TITLE, 0, "Mean [%MEAN]");
        goprop_go_set_property(g, GP_YTITLE, 0, "Revenue");
        const int text = gobj_go_set_text_object(g, -1, "Highest day", nullptr);
        if (text >= 0) {
            const int arrow = gobj_go_create_arrow(g, text);
            if (arrow >= 0) {
                const std::string x = std::to_string(top_x), y = std::to_string(top_y);
                gobj_go_set_obj_property(g, GP_ARROW_X, arrow, x.c_str());
                gobj_go_set_obj_property(g, GP_ARROW_Y, arrow, y.c_str());
            }
        }
        return g;
    }
    void draw(GoGraph *g)
    {
        uint64_t flags = 0;
        gomain_graph_class[0]->draw(g, GO_NEW_DATA, &flags);
    }

    int dataset = -1;
    double average = 0, gradient = 0, intercept = 0, top_x = 0, top_y = 0;
};

// Base-device units to canvas units along x (0) or y (1).
double to_cc(GCanvasRecord *c, int axis, double length)
{
    return GTransformLength(c, 2, axis, GTransformLength(c, 5, axis, length));
}

std::array<double, 2> device_of(GCanvasRecord *c, int from, double x, double y)
{
    double p[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}};
    GVector out{};
    EXPECT_EQ(GTransformPoints(c, from, GCS_DC, &in, &out), 0);
    std::array<double, 2> r{0, 0};
    if (out.data[0]) {
        for (int i = 0; i < 2; i++) {
            switch (out.type) {
            case GV_DOUBLE: r[i] = static_cast<const double *>(out.data[0])[i]; break;
            case GV_LONG: r[i] = static_cast<double>(static_cast<const int64_t *>(out.data[0])[i]); break;
            default: r[i] = static_cast<const int16_t *>(out.data[0])[i]; break;
            }
        }
        gvector_GFreeVectorData(&out);
    }
    return r;
}

// A recorded line over 100 pixels long whose ends lie within a pixel and
// a half of the line through a and b.
bool line_drawn(const std::array<double, 2> &a, const std::array<double, 2> &b)
{
    const double dx = b[0] - a[0], dy = b[1] - a[1], len = std::hypot(dx, dy);
    auto off = [&](double x, double y) { return std::fabs((x - a[0]) * dy - (y - a[1]) * dx) / len; };
    for (const grec::Call &c : grec::of(GEP_DRAW_LINE)) {
        const double p[4] = {c.points[0].at(0, 0), c.points[0].at(0, 1), c.points[1].at(0, 0), c.points[1].at(0, 1)};
        if (std::hypot(p[2] - p[0], p[3] - p[1]) > 100 && off(p[0], p[1]) <= 1.5 && off(p[2], p[3]) <= 1.5)
            return true;
    }
    return false;
}

TEST_F(Picture, OnTheRecordingDriver)
{
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = make_graph(format);
    grec::clear();
    draw(g);
    GCanvasRecord *c = g->canvas;
    ASSERT_NE(c, nullptr);
    gomain_go_use_world_coordinates(c);
    const ScaleProc fx = scale_GGetForwardScaleProc(&g->xblock.scale);
    const double x0 = g->xblock.min, x1 = g->xblock.max;
    auto wx = [&](double x) { return fx ? fx(x) : x; };
    // The mean at the interpreter's AVERAGE, the regression line's ends.
    EXPECT_TRUE(line_drawn(device_of(c, GCS_WC, wx(x0), average), device_of(c, GCS_WC, wx(x1), average)));
    EXPECT_TRUE(line_drawn(device_of(c, GCS_WC, wx(x0), gradient * x0 + intercept),
                           device_of(c, GCS_WC, wx(x1), gradient * x1 + intercept)));
    // The title's mean: the named value it shows.
    skip_text_eval_errors = 1;
    const std::string title = goprop_eval_text(g, "Mean [%MEAN]");
    skip_text_eval_errors = 0;
    EXPECT_NEAR(std::stod(title.substr(4)), average, 0.005) << title;
    // The bar right of the plot area, a label at each division.
    const GCanvasModes &m = c->modes;
    const double plot_right = device_of(c, GCS_CC, m.psorigin[0] + m.pssize[0], 0)[0];
    int labels_right = 0;
    std::vector<double> divs;
    double v = 0;
    ScaleRec *s = &g->yblock.scale;
    if (scale_GetFirstDiv(s, &v) >= 0) {
        do
            divs.push_back(v);
        while (static_cast<int>(divs.size()) <= scale_GetNumDivs(s) && scale_GetNextDiv(s, &v) >= 0);
    }
    for (const grec::Call &t : grec::of(GEP_DRAW_TEXT_LINES))
        if (t.points[0].count() > 0 && t.points[0].at(0, 0) > plot_right + 20)
            labels_right++;
    EXPECT_GE(labels_right, static_cast<int>(divs.size())) << "the labels (and the bar's title)";
    bool bar = false;
    for (const grec::Call &r : grec::of(GEP_DRAW_RECTANGLE))
        bar = bar || r.points[0].at(0, 0) > plot_right;
    EXPECT_TRUE(bar);
    // Markers on points 100 and 500 are drawn and read out (the X11
    // driver alone shows them).
    ASSERT_EQ(gomarker_go_create_markers(g), 1);
    for (int i = 0; i < 100; i++)
        gomarker_go_marker_move_next();
    ASSERT_EQ(gomarker_go_activate_marker(2), 1);
    ASSERT_EQ(gomarker_go_set_focussed_marker(2), 1);
    for (int i = 0; i < 400; i++)
        gomarker_go_marker_move_next();
    EXPECT_EQ(gomarker_go_marker(0, 0)->tuple.row, 100);
    EXPECT_EQ(gomarker_go_marker(1, 0)->tuple.row, 500);
    grec::clear();
    EXPECT_EQ(gomarker_go_display_markers(), 1);
    EXPECT_EQ(grec::of(GEP_DRAW_LINES).size(), 2u);
    gostd_std_destroy_graph(g);
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(Picture, AsEpsAndPng)
{
    const std::string dir = testing::TempDir() + "/vx-overlays-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    {
        gokit::CanvasGraph screen;  // the base device: a screen of 600 x 450
    }
    gomain_go_close_device();
    grec::remove();
    gpinit_GInstallDriver();
    giinit_GInstallDriver();

    struct Probe {
        int x, y;
        gopic::RGB rgb;
        const char *what;
        int radius;
    };
    std::vector<Probe> probes;
    auto draw_to = [&](int kind, const std::string &path) {
        GoPrintSettings s{};
        s.kind = kind;
        s.destination = 1;
        snprintf(s.filename, sizeof s.filename, "%s", path.c_str());
        // Upright: a page wider than high is turned on paper.
        s.page_width = 6;
        s.page_height = 8;
        s.left = s.right = s.top = s.bottom = 1;
        s.image_option = 1;
        ASSERT_EQ(gomain_go_set_device_type(kind, &s, 0), 1);
        GoFormat format = *goprop_go_default_graph_format();
        GoGraph *g = make_graph(format);
        draw(g);
        if (kind == 5) {
            GCanvasRecord *c = g->canvas;
            GList *table = c->device->tables[GT_COLOURS];
            auto rgb = [&](GList *list, long i) {
                const GColour *k = gcolour_GGetColour(list, i);
                return gopic::RGB{k->red >> 8, k->green >> 8, k->blue >> 8};
            };
            auto px = [&](int from, double x, double y) {
                const auto d = device_of(c, from, x, y);
                return std::array<int, 2>{int(std::lround(d[0])), int(std::lround(d[1]))};
            };
            gomain_go_use_world_coordinates(c);
            const ScaleProc fx = scale_GGetForwardScaleProc(&g->xblock.scale);
            auto wx = [&](double x) { return fx ? fx(x) : x; };
            const double x0 = g->xblock.min, x1 = g->xblock.max;
            const auto mean = px(GCS_WC, wx(x0 + 0.03 * (x1 - x0)), average);
            const auto left = px(GCS_WC, wx(x0 + 0.01 * (x1 - x0)), gradient * (x0 + 0.01 * (x1 - x0)) + intercept);
            const auto right = px(GCS_WC, wx(x1 - 0.01 * (x1 - x0)), gradient * (x1 - 0.01 * (x1 - x0)) + intercept);
            const long mean_colour = format.overlay[2].ovlcolour, line_colour = format.overlay[5].ovlcolour;
            GList *map = gcolmap_GGetColourMap(nullptr, 0)->colours;
            const long last = GGetNumColoursIn(map) - 1;
            const GCanvasModes &m = c->modes;
            // The bar: a few canvas units right of the plot area, inside.
            const double bar_x = m.psorigin[0] + m.pssize[0] + to_cc(c, 0, 10);
            const auto bottom = px(GCS_CC, bar_x, m.psorigin[1] + 2);
            const auto top = px(GCS_CC, bar_x, m.psorigin[1] + m.pssize[1] - 2);
            probes = {{mean[0], mean[1], rgb(table, mean_colour), "the mean line", 2},
                      {left[0], left[1], rgb(table, line_colour), "the regression line's left end", 2},
                      {right[0], right[1], rgb(table, line_colour), "the regression line's right end", 2},
                      {bottom[0], bottom[1], rgb(map, 0), "the bar's bottom in the map's first colour", 2},
                      {top[0], top[1], rgb(map, last), "the bar's top in the map's last colour", 2}};
        }
        gostd_std_destroy_graph(g);
        gomain_go_close_device();
    };
    const std::string eps = dir + "/overlays.eps", png = dir + "/overlays.png", rendered = dir + "/eps.png";
    draw_to(2, eps);
    draw_to(5, png);
    gomain_go_set_device_type(0, nullptr, 0);
    gopic::render_eps(eps, rendered);
    gopic::Image ours = gopic::read_png(png), theirs = gopic::read_png(rendered);
    ASSERT_TRUE(ours && theirs);
    const int ox = (theirs->width - ours->width) / 2, oy = (theirs->height - ours->height) / 2;
    ASSERT_EQ(probes.size(), 5u);
    for (const Probe &p : probes) {
        SCOPED_TRACE(p.what);
        EXPECT_TRUE(gopic::found(ours.get(), p.x, p.y, p.rgb, p.radius)) << "PNG at " << p.x << "," << p.y;
        EXPECT_TRUE(gopic::found(theirs.get(), p.x + ox, p.y + oy, p.rgb, p.radius + 1))
            << "EPS at " << p.x << "," << p.y << " sizes " << ours->width << "x" << ours->height << " "
            << theirs->width << "x" << theirs->height;
    }
    if (const char *images = getenv("VX_IMAGE_DIR"))
        std::filesystem::copy_file(png, std::string(images) + "/overlays.png",
                                   std::filesystem::copy_options::overwrite_existing);
    EXPECT_TRUE(gokit::boxes().empty());
    std::filesystem::remove_all(dir);
}

}  // namespace
