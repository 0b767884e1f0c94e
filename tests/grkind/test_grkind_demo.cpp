// The first whole graph: the demo database's revenue by date for one
// department, fetched through the query manager from the installed
// interpreter, drawn as a line graph with a legend on the recording
// driver, then as EPS and as PNG; Ghostscript renders the EPS at the
// PNG's size and the two pictures are probed at the same places.

#include "kindpictures.h"

#include "giinit.h"
#include "glinit.h"
#include "gpinit.h"
#include "grkind.h"
#include "imagelib.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

using namespace kindpic;

class DemoGraph : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        godemo::ensure_demo();
        godemo::use_installed_interpreter();
        char tmpl[] = "/tmp/vx-grkind-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_go_initialise_objects(nullptr);
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
    }
    void TearDown() override
    {
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
        std::filesystem::remove_all(dir);
    }
};

// A graph as the display window makes one, drawn once on the current
// device, which is closed afterwards.  `inspect` sees it before it goes.
void make_graph(int dataset, const std::function<void(GoGraph *)> &inspect,
                const std::function<void(GoGraph *)> &prepare = nullptr)
{
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = nullptr;
    const int placement[4] = {0, 0, 600, 450};
    ASSERT_EQ(gomain_graph_class[0]->create(&g, nullptr, placement), 1);
    g->format = &format;
    g->kind = 0;
    gomain_graph_class[0]->mutate(g, 0);
    g->first = g->last = dataset;
    gomain_graph_class[0]->setdata(g, dataset);
    int one = 1;
    goprop_go_set_property(g, GP_LGENABLE, 0, &one);
    goprop_go_set_property(g, GP_LGDSTEXT, 0, "Revenue");
    if (prepare)
        prepare(g);
    uint64_t flags = 0;
    gomain_graph_class[0]->draw(g, GO_NEW_DATA, &flags);
    if (inspect)
        inspect(g);
    gostd_std_destroy_graph(g);
    gomain_go_close_device();
}

TEST_F(DemoGraph, RevenueByDateAsALineGraphOnEveryDevice)
{
    ASSERT_NO_FATAL_FAILURE(godemo::open_demo());
    qymgr_qy_query("DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE", QY_NOWAIT, QY_FULL,
                   QY_REPORT);
    ASSERT_TRUE(qymgr_qy_returned_data());
    const int sales = dsmgr_ds_current();
    EXPECT_EQ(dscol_ds_characterise(3), DS_CH_XY) << "y the revenue, x the date";
    dsmgr_ds_retain();
    qymgr_qy_term();
    ASSERT_EQ(dsmgr_ds_rows(sales), 731);

    {
        SCOPED_TRACE("the recording driver");
        grec::clear();
        make_graph(sales, nullptr);
        std::vector<std::string> comments;
        for (const grec::Call &c : grec::of(GEP_COMMENT_OUTPUT))
            comments.push_back(c.text);
        const std::vector<std::string> expected = {"Drawing Y Axis", "Drawing Y Axis Ticks", "Drawing X Axis",
                                                   "Drawing X Axis Ticks", "Drawing X Axis Division Labels",
                                                   "Drawing Y Axis Division Labels"};
        EXPECT_EQ(comments, expected);
        const std::vector<grec::Call> lines = grec::of(GEP_DRAW_POLYLINE);
        std::vector<grec::Points> data;
        for (const grec::Call &c : lines)
            if (c.points[0].count() > 100)
                data.push_back(c.points[0]);
        ASSERT_EQ(data.size(), 1u) << "one data line";
        ASSERT_EQ(data[0].count(), 731);
        // Day by day: x never falls (several days share a device unit).
        for (long i = 1; i < data[0].count(); i++)
            ASSERT_GE(data[0].at(i, 0), data[0].at(i - 1, 0)) << "x rises at point " << i;
        EXPECT_GT(data[0].at(730, 0) - data[0].at(0, 0), 300);
        bool legend = false;
        for (const grec::Call &c : grec::of(GEP_DRAW_TEXT_LINES))
            legend = legend || c.text_modes.alignment == 3;
        EXPECT_TRUE(legend) << "the legend's text, left-aligned in the stroke font";
        EXPECT_TRUE(gokit::boxes().empty());
    }

    // The same graph on paper: the real drivers.
    grec::remove();
    gpinit_GInstallDriver();
    giinit_GInstallDriver();
    glinit_GInstallDriver();
    static std::string prolog;
    prolog = gokit::build_dir() + "/etc/prolog.ps";
    GoDisplayHooks h{};
    h.show_error = gokit::record_box;
    h.ps_prolog = [] { return prolog.c_str(); };
    static std::string hpgl_prolog, hpgl_epilog;
    hpgl_prolog = gokit::build_dir() + "/etc/prolog.hpgl";
    hpgl_epilog = gokit::build_dir() + "/etc/epilog.hpgl";
    h.hpgl_prolog = [] { return hpgl_prolog.c_str(); };
    h.hpgl_epilog = [] { return hpgl_epilog.c_str(); };
    go_set_display_hooks(&h);

    const std::string eps = dir + "/graph.eps", png = dir + "/graph.png", rendered = dir + "/eps.png";
    std::vector<std::array<int, 2>> data;  // ten data points, PNG pixels
    std::array<int, 4> frame{};             // the world window's corners, PNG pixels
    GoPrintSettings es = file_settings(2, eps);
    ASSERT_EQ(gomain_go_set_device_type(2, &es, 0), 1);
    make_graph(sales, nullptr);
    GoPrintSettings is = file_settings(5, png);
    ASSERT_EQ(gomain_go_set_device_type(5, &is, 0), 1);
    make_graph(sales, [&](GoGraph *g) {
        auto pixel = [&](double x, double y) {
            double w[2] = {x, y};
            GVector in{GV_DOUBLE, 0, 2, 1, {w, nullptr, nullptr}}, out{};
            EXPECT_EQ(GTransformPoints(g->canvas, GCS_WC, GCS_DC, &in, &out), 0);
            EXPECT_EQ(out.type, GV_SHORT) << "device points";
            const short *o = static_cast<const short *>(out.data[0]);
            std::array<int, 2> p{o ? o[0] : 0, o ? o[1] : 0};
            gvector_GFreeVectorData(&out);
            return p;
        };
        GoTuple t{};
        t.dataset = sales;
        for (int i = 0; i < 731; i++, goprop_go_next_point(&t)) {
            goprop_triple_reader(&t);
            ASSERT_TRUE(t.x && t.y);
            if (i % 73 == 5)  // ten points, spread over the line
                data.push_back(pixel(*t.x, *t.y));
        }
        GCanvasModes m{};
        GGetCanvasModes(g->canvas, &m);
        const auto lo = pixel(m.world[0], m.world[1]), hi = pixel(m.world[3], m.world[4]);
        frame = {lo[0], lo[1], hi[0], hi[1]};
    });
    gomain_go_set_device_type(0, nullptr, 0);
    ASSERT_EQ(data.size(), 10u);

    vxtest::Result r = vxtest::run({"/usr/bin/gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                                    "-r72", "-dEPSCrop", "-sOutputFile=" + rendered, eps});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ((r.out + r.err).find("Error"), std::string::npos) << r.out << r.err;
    Image ours = read_png(png), theirs = read_png(rendered);
    ASSERT_TRUE(ours && theirs);
    EXPECT_EQ(ours->width, 4 * 72);
    EXPECT_EQ(ours->height, 6 * 72);
    // The bounding box leaves a little room on every side.
    const int ox = (theirs->width - ours->width) / 2, oy = (theirs->height - ours->height) / 2;
    ASSERT_GE(ox, 0);
    ASSERT_LE(ox, 4);
    ASSERT_EQ(theirs->width - ours->width, 2 * ox);
    ASSERT_EQ(theirs->height - ours->height, 2 * oy);
    auto both = [&](int x, int y, const RGB &c, int radius) {
        return found(ours.get(), x, y, c, radius) && found(theirs.get(), x + ox, y + oy, c, radius);
    };
    const RGB white{255, 255, 255}, black{0, 0, 0}, green{0, 255, 0};
    EXPECT_TRUE(both(3, 3, white, 0)) << "the background";
    EXPECT_TRUE(both(ours->width / 2, ours->height - 3, white, 0));
    for (int k = 1; k < 4; k++) {
        const int x = frame[0] + (frame[2] - frame[0]) * k / 4, y = frame[1] + (frame[3] - frame[1]) * k / 4;
        EXPECT_TRUE(both(x, frame[1], black, 2)) << "the x axis at " << x;
        EXPECT_TRUE(both(frame[0], y, black, 2)) << "the y axis at " << y;
    }
    for (const auto &p : data)
        EXPECT_TRUE(both(p[0], p[1], green, 2)) << "the data line (colour 3) at " << p[0] << "," << p[1];
    // The legend: the box in the top right corner, the same in both.
    auto legend_box = [](const IImage *im, int dx, int dy) {
        std::array<int, 4> box{1 << 30, 1 << 30, -1, -1};
        for (int y = 0; y < im->height / 6; y++)
            for (int x = im->width / 2; x < im->width; x++)
                if (near(at(im, x + dx, y + dy), {0, 0, 0})) {
                    box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x), box[3] = std::max(box[3], y);
                }
        return box;
    };
    const auto a = legend_box(ours.get(), 0, 0), b = legend_box(theirs.get(), ox, oy);
    ASSERT_GE(a[2], 0) << "a legend box";
    for (int i = 0; i < 4; i++)
        EXPECT_NEAR(a[i], b[i], 2) << "legend box edge " << i;
    // The line sample stands left of the text, in the box's first quarter.
    EXPECT_TRUE(both(a[0] + (a[2] - a[0]) / 4, (a[1] + a[3]) / 2, green, 6)) << "the line sample inside";
    // A solid border: no gap along its top edge (it was dashed).
    for (int x = a[0]; x <= a[2]; x++)
        EXPECT_TRUE(both(x, a[1], black, 1)) << "the legend's top edge at " << x;
    EXPECT_TRUE(gokit::boxes().empty());
    // The legend in the image device's own font is laid out from that font's
    // measure; at the default legend size it comes out within a fifth of the
    // stroke font's box (the stroke text was a quarter of its size).
    const std::string png0 = dir + "/graph-font0.png";
    GoPrintSettings is0 = file_settings(5, png0);
    ASSERT_EQ(gomain_go_set_device_type(5, &is0, 0), 1);
    make_graph(sales, nullptr, [](GoGraph *g) {
        int device_font = 0;
        goprop_go_set_property(g, GP_LGTEXTFONT, 0, &device_font);
    });
    gomain_go_set_device_type(0, nullptr, 0);
    Image font0 = read_png(png0);
    ASSERT_TRUE(font0);
    const auto f0 = legend_box(font0.get(), 0, 0);
    ASSERT_GE(f0[2], 0) << "a legend box";
    EXPECT_NEAR(f0[3] - f0[1], a[3] - a[1], 0.2 * (a[3] - a[1])) << "the box heights";

    // On a plotter, with the series dashed: hp2xx shows the whole plot.
    const std::string hpgl = dir + "/graph.hpgl", plotted = dir + "/hpgl.png";
    GoPrintSettings hs = file_settings(3, hpgl);
    ASSERT_EQ(gomain_go_set_device_type(3, &hs, 0), 1);
    make_graph(sales, nullptr, [](GoGraph *g) {
        int dashed = 1;
        goprop_go_set_property(g, GP_LINESTYLE, 0, &dashed);
    });
    gomain_go_set_device_type(0, nullptr, 0);
    // The series dashed in a pattern a few millimetres long: 2 to 5% of the
    // 7.2-inch diagonal (it was longer than the diagonal and plotted solid).
    std::ifstream in(hpgl);
    const std::string stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t lt = stream.find("LT2,");
    ASSERT_NE(lt, std::string::npos) << "a dashed line type";
    const double pattern = std::atof(stream.c_str() + lt + 4);
    EXPECT_GT(pattern, 2);
    EXPECT_LT(pattern, 5);
    EXPECT_EQ(stream.find("LT"), lt) << "no line type is written before the first dashed line";
    // hp2xx with its standard pens (1 black, 3 green): the axes and labels in
    // pen 1, the data line in pen 3 over the width of the plot (a window in
    // the wrong units clipped most of it away).
    r = vxtest::run({"/bin/sh", "-c", "exec hp2xx -q -m png -c 12345671 -d 72 -f \"$0\" \"$1\"", plotted, hpgl});
    ASSERT_EQ(r.status, 0) << r.err;
    Image plot = read_png(plotted);
    ASSERT_TRUE(plot);
    int green_lo = plot->width, green_hi = -1, blacks = 0;
    for (int y = 0; y < plot->height; y++)
        for (int x = 0; x < plot->width; x++) {
            const RGB p = at(plot.get(), x, y);
            if (near(p, green)) {
                green_lo = std::min(green_lo, x);
                green_hi = std::max(green_hi, x);
            } else if (near(p, black)) {
                blacks++;
            }
        }
    EXPECT_LT(green_lo, plot->width / 4) << "the data line from the left";
    EXPECT_GT(green_hi - green_lo, plot->width * 2 / 3) << "across the plot";
    EXPECT_GT(blacks, 1000) << "the axes, ticks and labels in the black pen";
}

}  // namespace
