// Texts and an arrow on a real graph: the demo database's revenue by date
// for one department, fetched from the installed interpreter and drawn by
// the line kind with a title whose text variable the interpreter expands,
// a note of two lines, the axis titles and a user text with a headed arrow
// to the 182nd point.  First on the recording driver, then as EPS rendered
// by Ghostscript and as PNG, probed at the same places; last as a user sees
// it: a procedure whose graph format carries them, replayed by the
// installed program with -procedure on the demo database (its picture is
// saved as annotations.png into $VX_IMAGE_DIR when set).

#include "godemo.h"
#include "dypicture.h"
#include "gographkit.h"
#include "gopicture.h"

#include "giinit.h"
#include "gofile.h"
#include "goobjtext.h"
#include "gpinit.h"
#include "grkind.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

class DemoTexts : public ::testing::Test {
protected:
    std::string dir;
    int sales = -1;
    void SetUp() override
    {
        godemo::ensure_demo();
        godemo::use_installed_interpreter();
        char tmpl[] = "/tmp/vx-texts-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_go_initialise_objects(nullptr);
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        ASSERT_NO_FATAL_FAILURE(godemo::open_demo());
        qymgr_qy_query("DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE", QY_NOWAIT, QY_FULL,
                       QY_REPORT);
        ASSERT_TRUE(qymgr_qy_returned_data());
        sales = dsmgr_ds_current();
        dscol_ds_characterise(3);
        dsmgr_ds_retain();
    }
    void TearDown() override
    {
        qymgr_qy_term();
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
        std::filesystem::remove_all(dir);
    }
};

// The 182nd point as the reader gives it (once the graph was drawn, which
// sets the reader up).
std::array<double, 2> point_182(int dataset)
{
    GoTuple t{};
    t.dataset = dataset;
    for (int i = 0; i < 181; i++, goprop_go_next_point(&t))
        goprop_triple_reader(&t);
    goprop_triple_reader(&t);
    EXPECT_TRUE(t.x && t.y);
    return {t.x ? *t.x : 0, t.y ? *t.y : 0};
}

std::string number(double v)
{
    char text[32];
    snprintf(text, sizeof text, "%.10g", v);
    return text;
}

// The graph's annotations: title 0 with a text variable, a note of two
// lines, the axis titles, a user text at 60%, 80% of the graph area and a
// headed arrow from the middle of its foot to the point.  The user text's
// id is returned through `text`.
void annotate(GoGraph *g, const std::array<double, 2> &tip, int *text, int *arrow)
{
    goprop_go_set_property(g, GP_TITLE, 0, "Revenue [1+41]");
    // Room above the plot for the titles; the note from its upper right
    // corner, 3% in from the canvas's; the y title above its axis, clear of
    // the axis's labels.
    const int top_margin = 70;
    goprop_go_set_property(g, GP_TOPMARGIN, 0, &top_margin);
    goprop_go_set_property(g, GP_TITLE, 5, "Department 10\nby day");
    const int in = 9700, upper_right = 2, lower_left = 6, above = 10400, across = 9500;
    goprop_go_set_property(g, GP_TITLEX, 5, &in);
    goprop_go_set_property(g, GP_TITLEY, 5, &in);
    goprop_go_set_property(g, GP_ORIGIN, 5, &upper_right);
    goprop_go_set_property(g, GP_XTITLE, 0, "Date");
    goprop_go_set_property(g, GP_YTITLE, 0, "Revenue");
    goprop_go_set_property(g, GP_YTITLEX, 0, &above);
    goprop_go_set_property(g, GP_YTITLEY, 0, &across);
    goprop_go_set_property(g, GP_ORIGIN, 11, &lower_left);
    *text = gobj_go_set_text_object(g, -1, "A busy day", nullptr);
    const double h = 60, v = 80;
    goprop_go_set_property(g, GP_HOFFSET, *text, &h);
    goprop_go_set_property(g, GP_VOFFSET, *text, &v);
    *arrow = gobj_go_create_arrow(g, *text);
    const int bottom_middle = 1, headed = 1;
    goprop_go_set_property(g, GP_ORIGIN, *arrow, &bottom_middle);
    goprop_go_set_property(g, GP_ARROW_TIP, *arrow, &headed);
    goprop_go_set_property(g, GP_ARROW_X, *arrow, number(tip[0]).c_str());
    goprop_go_set_property(g, GP_ARROW_Y, *arrow, number(tip[1]).c_str());
}

// A line graph as the display window makes one, drawn, annotated with an
// arrow to its 182nd point and drawn again on the current device, which is
// closed afterwards.
void draw_graph(int dataset, const std::function<void(GoGraph *, const std::array<double, 2> &, int)> &inspect)
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
    uint64_t flags = 0;
    gomain_graph_class[0]->draw(g, GO_NEW_DATA, &flags);
    const std::array<double, 2> tip = point_182(dataset);
    EXPECT_LE(number(tip[0]).size(), 12u);
    EXPECT_LE(number(tip[1]).size(), 12u);
    int text = -1, arrow = -1;
    annotate(g, tip, &text, &arrow);
    grec::clear();
    gomain_graph_class[0]->draw(g, GO_PROPERTIES, &flags);
    if (inspect)
        inspect(g, tip, text);
    gostd_std_destroy_graph(g);
    gomain_go_close_device();
}

// A point of the graph's world in device pixels.
std::array<double, 2> pixel(GoGraph *g, double x, double y)
{
    double w[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {w, nullptr, nullptr}}, out{};
    EXPECT_EQ(GTransformPoints(g->canvas, GCS_WC, GCS_DC, &in, &out), 0);
    std::array<double, 2> p{-1, -1};
    if (out.data[0])
        p = {gvector_GGetValue(&out, 0, 0), gvector_GGetValue(&out, 0, 1)};
    gvector_GFreeVectorData(&out);
    return p;
}

TEST_F(DemoTexts, TitlesNotesAxisTitlesAndAnArrowToAPoint)
{
    draw_graph(sales, [&](GoGraph *g, const std::array<double, 2> &tip, int text) {
        ASSERT_EQ(text, OBJ_PREDEFINED) << "the first user text";
        // The texts the driver was asked to put, by their text.
        std::vector<grec::Call> puts = grec::of(GEP_PUT_TEXT);
        auto put = [&](const std::string &s) -> const grec::Call * {
            for (const grec::Call &c : puts)
                if (c.text == s)
                    return &c;
            return nullptr;
        };
        const grec::Call *title = put("Revenue 42");
        ASSERT_NE(title, nullptr) << "the title with its variable expanded";
        // Its foot's middle at the middle of the canvas, 90% up it.
        double limits = grec::answers().text_limits[4];
        EXPECT_NEAR(title->points[0].at(0, 0) + limits / 2, 300, 2);
        EXPECT_NEAR(title->points[0].at(0, 1), 45, 2);
        const grec::Call *first = put("Department 10"), *second = put("by day");
        ASSERT_TRUE(first && second) << "the note's two lines";
        EXPECT_NEAR(second->points[0].at(0, 1) - first->points[0].at(0, 1), 10, 1) << "one under the other";
        EXPECT_NEAR(first->points[0].at(0, 0), 600 - 18 - 40, 1.5) << "3% in from the right";
        EXPECT_NEAR(first->points[0].at(0, 1), 13.5 + 10, 1.5) << "3% down from the top";

        // The axis titles: x under the middle of the x axis, y left of the
        // y axis near its top.
        GCanvasModes m{};
        GGetCanvasModes(g->canvas, &m);
        const auto lo = pixel(g, m.world[0], m.world[1]), hi = pixel(g, m.world[3], m.world[4]);
        // They are in the label font, the stroke font: drawn as strokes
        // inside their boxes.
        auto box = [&](int id) {
            auto *t = static_cast<Text *>(gobj_go_get_an_object(g, id));
            std::array<double, 4> b{-1, -1, -1, -1};
            if (!t || !t->drawn)
                return b;
            const double lo_cc[3] = {t->anchor[0] + t->box[0], t->anchor[1] + t->box[1], 0};
            const double hi_cc[3] = {t->anchor[0] + t->box[2], t->anchor[1] + t->box[3], 0};
            double a[3], c[3];
            gcoords_GApplyPart(&g->canvas->xf[GX_CC].forward, lo_cc, a);
            gcoords_GApplyPart(&g->canvas->xf[GX_CC].forward, hi_cc, c);
            return std::array<double, 4>{a[0], c[1], c[0], a[1]};  // left, top, right, bottom
        };
        auto strokes_in = [&](const std::array<double, 4> &b) {
            long n = 0;
            for (const grec::Call &c : grec::of(GEP_DRAW_TEXT_LINES))
                for (long i = 0; i < c.points[0].count(); i++)
                    n += c.points[0].at(i, 0) >= b[0] - 1 && c.points[0].at(i, 0) <= b[2] + 1 &&
                         c.points[0].at(i, 1) >= b[1] - 1 && c.points[0].at(i, 1) <= b[3] + 1;
            return n;
        };
        const auto x = box(10), y = box(11);
        ASSERT_GE(x[2], 0) << "the x title is drawn";
        ASSERT_GE(y[2], 0) << "the y title is drawn";
        EXPECT_NEAR((x[0] + x[2]) / 2, (lo[0] + hi[0]) / 2, 3) << "the x title under the axis's middle";
        EXPECT_GT(x[1], lo[1]);
        EXPECT_LE(x[3], 451);
        EXPECT_LT(y[0], lo[0]) << "the y title left of the axis";
        EXPECT_LT(y[3], hi[1]) << "above the axis's top";
        EXPECT_GT(strokes_in(x), 10);
        EXPECT_GT(strokes_in(y), 10);

        // The user text at 60%, 80% of the area, hanging from its anchor.
        const grec::Call *note = put("A busy day");
        ASSERT_NE(note, nullptr);
        EXPECT_NEAR(note->points[0].at(0, 0) + limits / 2, 360, 2);
        EXPECT_NEAR(note->points[0].at(0, 1), 90 + 10, 2);

        // The arrow: from the middle of the text's foot to the point, with a
        // head of two barbs 30 degrees off the line, 15 points back.
        const auto p = pixel(g, tip[0], tip[1]);
        std::vector<double> head, line;
        for (const grec::Call &c : grec::of(GEP_DRAW_POLYLINE))
            if (c.points[0].count() == 4 && c.line.colour == 2)
                for (long i = 0; i < 4; i++)
                    head.insert(head.end(), {c.points[0].at(i, 0), c.points[0].at(i, 1)});
        for (const grec::Call &c : grec::of(GEP_DRAW_LINE))
            if (c.line.colour == 2)
                line = {c.points[0].at(0, 0), c.points[0].at(0, 1), c.points[1].at(0, 0), c.points[1].at(0, 1)};
        ASSERT_EQ(head.size(), 8u) << "one head";
        ASSERT_EQ(line.size(), 4u) << "one shaft";
        EXPECT_NEAR(head[0], p[0], 1.5);
        EXPECT_NEAR(head[1], p[1], 1.5);
        EXPECT_NEAR(line[0], 360, 2);
        EXPECT_NEAR(line[1], 100, 2);
        const double back = std::atan2(line[1] - head[1], line[0] - head[0]);
        const double length = 15.0 / 72 * 75;
        for (int k = 1; k <= 2; k++) {
            const double bx = head[2 * k] - head[0], by = head[2 * k + 1] - head[1];
            EXPECT_NEAR(std::fabs(std::remainder(std::atan2(by, bx) - back, 2 * M_PI)), M_PI / 6, 0.1);
            EXPECT_NEAR(std::hypot(bx, by) * std::cos(M_PI / 6), length, 1.5);
        }
    });
    EXPECT_TRUE(gokit::boxes().empty());
}

// The same graph on paper: the title's ink in the band at the top, the
// arrow's colour at the point, in the PNG and in the EPS as Ghostscript
// renders it.
TEST_F(DemoTexts, InPictures)
{
    grec::remove();
    gpinit_GInstallDriver();
    giinit_GInstallDriver();
    static std::string prolog;
    prolog = gokit::build_dir() + "/etc/prolog.ps";
    GoDisplayHooks h{};
    h.show_error = gokit::record_box;
    h.ps_prolog = [] { return prolog.c_str(); };
    go_set_display_hooks(&h);
    auto settings = [](int kind, const std::string &path) {
        GoPrintSettings s{};
        s.kind = kind;
        s.destination = 1;
        snprintf(s.filename, sizeof s.filename, "%s", path.c_str());
        s.page_width = 6;
        s.page_height = 8;
        s.left = s.right = s.top = s.bottom = 1;
        s.image_option = 1;
        return s;
    };
    const std::string eps = dir + "/texts.eps", png = dir + "/texts.png", rendered = dir + "/eps.png";
    GoPrintSettings es = settings(2, eps);
    ASSERT_EQ(gomain_go_set_device_type(2, &es, 0), 1);
    draw_graph(sales, nullptr);
    GoPrintSettings is = settings(5, png);
    ASSERT_EQ(gomain_go_set_device_type(5, &is, 0), 1);
    std::array<double, 2> at{};
    gopic::RGB red{};
    draw_graph(sales, [&](GoGraph *g, const std::array<double, 2> &tip, int) {
        at = pixel(g, tip[0], tip[1]);
        const GColour *c = gcolour_GGetColour(g->canvas->device->tables[GT_COLOURS], 2);
        red = {c->red >> 8, c->green >> 8, c->blue >> 8};
    });
    gomain_go_set_device_type(0, nullptr, 0);
    gopic::render_eps(eps, rendered);
    gopic::Image ours = gopic::read_png(png), theirs = gopic::read_png(rendered);
    ASSERT_TRUE(ours && theirs);
    const int ox = (theirs->width - ours->width) / 2, oy = (theirs->height - ours->height) / 2;
    ASSERT_GE(ox, 0);
    ASSERT_GE(oy, 0);
    // Ink in the title band (the top tenth, the middle third across).
    auto ink = [](const IImage *im, int dx, int dy) {
        int n = 0;
        for (int y = im->height / 40; y < (im->height - 2 * dy) / 10; y++)
            for (int x = (im->width - 2 * dx) / 3; x < 2 * (im->width - 2 * dx) / 3; x++)
                n += gopic::near(gopic::at(im, x + dx, y + dy), {0, 0, 0});
        return n;
    };
    EXPECT_GT(ink(ours.get(), 0, 0), 20) << "the title in the PNG";
    EXPECT_GT(ink(theirs.get(), ox, oy), 20) << "the title in the EPS";
    const int x = static_cast<int>(std::lround(at[0])), y = static_cast<int>(std::lround(at[1]));
    EXPECT_TRUE(gopic::found(ours.get(), x, y, red, 2)) << "the arrow's tip in the PNG at " << x << "," << y;
    EXPECT_TRUE(gopic::found(theirs.get(), x + ox, y + oy, red, 2)) << "the arrow's tip in the EPS";
    EXPECT_TRUE(gokit::boxes().empty());
}

// A top-level window of the program by its title.
Window find_window(Display *dpy, Window w, const std::string &title)
{
    char *name = nullptr;
    if (XFetchName(dpy, w, &name) && name) {
        const bool match = title == name;
        XFree(name);
        if (match)
            return w;
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; i++)
            found = find_window(dpy, children[i], title);
        if (children)
            XFree(children);
    }
    return found;
}

int ignore_x_errors(Display *, XErrorEvent *) { return 0; }

TEST_F(DemoTexts, ReplayedFromAProcedure)
{
    using namespace std::chrono_literals;
    // The procedure: a graph block whose format is the annotated graph's,
    // as the format writer gives it, then the query.
    const std::string procedures = vxtest::install_dir() + "/etc/procedures/DEMO.BRASK";
    std::filesystem::create_directories(procedures);
    const std::string file = procedures + "/ANNOTATE";
    draw_graph(sales, [&](GoGraph *g, const std::array<double, 2> &, int) {
        FILE *f = fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("graph\nstartgraph\nposition 0.00 0.00\nsize 100.00 100.00\norder 3\n", f);
        gofile_go_write_graph(g, f);
        fputs("endgraph\nstartquery\n\tdata\n"
              "\tquery DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE\nendquery\n",
              f);
        fclose(f);
    });
    const std::string written = vxtest::read_file(file);
    ASSERT_NE(written.find("\"Revenue [1+41]\""), std::string::npos) << written;
    ASSERT_NE(written.find("arrow_x 229 \""), std::string::npos) << written;

    XSetErrorHandler(ignore_x_errors);
    Display *dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    vxtest::Options o;
    o.set_env["QYUSER"] = "BRASK";
    auto child = vxtest::start({vxtest::install_dir() + "/bin/vostrelane", "-procedure", "ANNOTATE", "-database",
                                "DEMO", "-displayname", "annotations"},
                               o);
    Window w = 0;
    ASSERT_TRUE(vxtest::wait_for([&] { return (w = find_window(dpy, DefaultRootWindow(dpy), "annotations")) != 0; },
                                 30s))
        << child.err();
    XResizeWindow(dpy, w, 640, 480);
    XSync(dpy, False);
    // The graph is drawn once the query's rows arrived: the title's ink in
    // the band at the top, the arrow's red below it.
    dypic::Picture p;
    auto title_ink = [&] {
        int n = 0;
        for (int y = 2; y < p.height / 10; y++)
            for (int x = p.width / 3; x < 2 * p.width / 3; x++) {
                const long c = p.at(x, y);
                n += c >= 0 && ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255) > 600;
            }
        return n;
    };
    auto red = [&] {
        int n = 0;
        for (int y = 0; y < p.height; y++)
            for (int x = 0; x < p.width; x++)
                n += p.at(x, y) == 0xff0000;
        return n;
    };
    const bool drawn = vxtest::wait_for(
        [&] {
            p = dypic::grab(dpy, w);
            return p.width >= 600 && title_ink() > 20 && red() > 20;
        },
        60s);
    EXPECT_TRUE(drawn) << "title ink " << title_ink() << ", red " << red() << "\n" << child.err();
    const char *dir = getenv("VX_IMAGE_DIR");
    const std::string out = dir ? std::string(dir) + "/annotations.png" : this->dir + "/annotations.png";
    EXPECT_TRUE(dypic::save_png(p, out)) << out;
    kill(child.pid, SIGTERM);
    vxtest::Result r;
    EXPECT_TRUE(child.wait(30s, r));
    XCloseDisplay(dpy);
    std::filesystem::remove(file);
}

}  // namespace
