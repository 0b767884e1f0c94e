// The chart kinds over the demo database, fetched through the query
// manager from the installed interpreter: stacked bars whose totals must
// equal the interpreter's own grouping, on the recording driver; and each
// kind of the gallery written as EPS and as PNG, Ghostscript's rendering
// of the EPS and the PNG probed where the data must stand.

#include "kindpictures.h"  // first: gtest before the X headers

#include "kindcases.h"

#include "giinit.h"
#include "gpinit.h"
#include "grkind.h"

#include <cstdlib>
#include <filesystem>
#include <set>

namespace {

using namespace kindpic;

class KindsDemo : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        godemo::ensure_demo();
        godemo::use_installed_interpreter();
        char tmpl[] = "/tmp/vx-grkinds-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_go_initialise_objects(nullptr);
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
        ASSERT_NO_FATAL_FAILURE(godemo::open_demo());
    }
    void TearDown() override
    {
        qymgr_qy_term();
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
        std::filesystem::remove_all(dir);
    }
    // A query's result as a kept dataset, y first and x last (order 3),
    // or x first (order 1).
    static int query(const char *text, int order = 3)
    {
        qymgr_qy_query(text, QY_NOWAIT, QY_FULL, QY_REPORT);
        EXPECT_TRUE(qymgr_qy_returned_data()) << text;
        const int d = dsmgr_ds_current();
        dscol_ds_characterise(order);
        dsmgr_ds_retain();
        return d;
    }
    // A statement that makes a table (GROUP ... makes RSLT).
    static void statement(const char *text)
    {
        qymgr_qy_query(text, QY_NOWAIT, QY_ASIS, QY_REPORT);
        EXPECT_TRUE(qymgr_qy_ok()) << text;
    }
};

// A graph of `kind` over datasets first..last as the display window makes
// one, drawn once on the current device; `inspect` sees it before it goes.
void draw_kind(int kind, int first, int last, const std::function<void(GoGraph *)> &prepare,
               const std::function<void(GoGraph *)> &inspect)
{
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = nullptr;
    const int placement[4] = {0, 0, 600, 450};
    ASSERT_EQ(gomain_graph_class[0]->create(&g, nullptr, placement), 1);
    g->format = &format;
    g->kind = kind;
    gomain_graph_class[kind]->mutate(g, 0);
    g->first = first;
    g->last = last;
    for (int d = first; d <= last; d++)
        gomain_graph_class[kind]->setdata(g, d);
    if (prepare)
        prepare(g);
    uint64_t flags = 0;
    gomain_graph_class[kind]->draw(g, GO_PROPERTIES, &flags);
    if (inspect)
        inspect(g);
    gostd_std_destroy_graph(g);
    gomain_go_close_device();
}

TEST_F(KindsDemo, StackedTotalsAreTheInterpretersGroupTotals)
{
    // The interpreter's totals by date, as numbers.
    statement("GROUP SALES BY SDATE TOTAL UNITS WHERE DEPTNO<=20 AND SDATE<STRTODATE('01/01/24')+14");
    const int totals = query("DISPLAY * FROM RSLT", 1);  // the date, its total
    std::multiset<double> expected;
    {
        GoTuple t{};
        t.dataset = totals;
        const int was = goprop_go_tuple_autoinc_get();
        goprop_go_tuple_autoinc(0);
        for (;; goprop_go_next_point(&t)) {
            goprop_triple_reader(&t);
            if (t.status & GT_S_END)
                break;
            ASSERT_TRUE(t.y);
            expected.insert(*t.y);
        }
        goprop_go_tuple_autoinc(was);
    }
    ASSERT_EQ(expected.size(), 14u);
    const int a = query("DISPLAY UNITS, SDATE FROM SALES WHERE DEPTNO=10 AND SDATE<STRTODATE('01/01/24')+14");
    const int b = query("DISPLAY UNITS, SDATE FROM SALES WHERE DEPTNO=20 AND SDATE<STRTODATE('01/01/24')+14");
    ASSERT_EQ(b, a + 1);
    grec::clear();
    draw_kind(5, a, b,
              [](GoGraph *g) {
                  for (int q : {0, 1})
                      kindcase::set_int(g, GP_ASLINE, 0, q);
                  kindcase::set_int(g, GP_BARTYPE, 1);
                  kindcase::set_int(g, GP_LABELBARS, 1);
                  kindcase::set_int(g, GP_LABELFONT, 0);  // a device font: the recorder sees the texts
              },
              nullptr);
    std::multiset<double> labelled;
    for (const grec::Call &c : grec::of(GEP_PUT_TEXT))
        if (c.text_modes.alignment == 7)
            labelled.insert(std::atof(c.text.c_str()));
    EXPECT_EQ(labelled, expected) << "each slot's total above it";
    EXPECT_TRUE(gokit::boxes().empty());
}

TEST_F(KindsDemo, EachKindAgreesOnPaperAndInTheImage)
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
    const RGB green{0, 255, 0}, white{255, 255, 255};
    for (const kindcase::Case &c : kindcase::cases) {
        SCOPED_TRACE(gokind_name(c.kind));
        if (c.before)
            statement(c.before);
        const int d = query(c.query);
        auto prepare = [&](GoGraph *g) {
            if (c.properties)
                c.properties(g);
        };
        const std::string name = std::to_string(c.kind);
        const std::string eps = dir + "/" + name + ".eps", png = dir + "/" + name + ".png",
                          rendered = dir + "/" + name + "-eps.png";
        GoPrintSettings es = file_settings(2, eps);
        ASSERT_EQ(gomain_go_set_device_type(2, &es, 0), 1);
        draw_kind(c.kind, d, d, prepare, nullptr);
        std::vector<std::pair<std::array<int, 2>, bool>> probes;
        GoPrintSettings is = file_settings(5, png);
        ASSERT_EQ(gomain_go_set_device_type(5, &is, 0), 1);
        draw_kind(c.kind, d, d, prepare, [&](GoGraph *g) {
            for (const kindcase::Probe &p : c.probes(g, kindcase::rows_of(g)))
                probes.push_back({device_pixel(g, p.x, p.y), p.data});
        });
        gomain_go_set_device_type(0, nullptr, 0);
        ASSERT_GE(probes.size(), 5u);
        Pair pair;
        ASSERT_TRUE(render_pair(eps, png, rendered, pair));
        for (const auto &[at, data] : probes) {
            if (data)
                EXPECT_TRUE(pair.both(at[0], at[1], green, 2)) << "the data at " << at[0] << "," << at[1];
            else
                EXPECT_TRUE(pair.both(at[0], at[1], white, 0)) << "an empty slot at " << at[0] << "," << at[1];
        }
        EXPECT_TRUE(gokit::boxes().empty()) << gokit::boxes().front();
    }
}

}  // namespace
