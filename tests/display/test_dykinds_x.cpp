// The chart kinds in the program's display window, on the test X server,
// with the installed interpreter and the demo database: per row a query's
// result is shown as a graph (Ctrl-G), its kind set as the graph kind
// dialog sets it (`graphtype` in the selected graph's format, then the
// property change notice) with the row's properties, and the window's
// pixels are probed where the graph's world coordinates put its data.
// With VX_IMAGE_DIR set each picture is saved as
// $VX_IMAGE_DIR/kinds/<kind name>.png (the README's gallery).

#include "dygraphkit.h"  // first: gtest before the X headers

#include "dytab.h"
#include "grkind.h"
#include "kindcases.h"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <functional>

namespace {

using namespace dygk;
using kindcase::cases;
using kindcase::Case;
using kindcase::Probe;
using kindcase::Row;

constexpr long SERIES = 0x00ff00;  // the first dataset's colour, 3

// A kind's file name: its name in lower case, hyphens for spaces.
std::string file_name(int kind)
{
    std::string n = gokind_name(kind);
    for (char &c : n)
        c = c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return n;
}

class KindsWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        wstest::ensure_demo();
        qytest::use_installed_tree();
        start_program();
    }
    static void TearDownTestSuite() { qymgr_qy_term(); }
};

// Runs a query whose result comes back as a new dataset.
int query(const char *text)
{
    qymgr_qy_query(text, QY_WAIT, QY_FULL, QY_REPORT);
    EXPECT_TRUE(qymgr_qy_returned_data()) << text;
    const int d = dsmgr_ds_current();
    EXPECT_TRUE(vxdl::pump_until([d] { return dsmgr_ds_printed(d) != 0; })) << text;
    return d;
}

TEST_F(KindsWindow, EachKindDrawsItsDataInTheWindow)
{
    const char *dir = getenv("VX_IMAGE_DIR");
    const std::string out = dir ? std::string(dir) + "/kinds" : vxtest::temp_dir("dykinds");
    std::filesystem::create_directories(out);
    for (const Case &c : cases) {
        SCOPED_TRACE(gokind_name(c.kind));
        ErrorBoxes boxes;
        // The table view, a new view, the query, then the graph view.
        if (dygrph_dy_graph_mode()) {
            ctrl_key(XK_t);
            ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_graph_mode() == 0; }));
        }
        mngraph_mn_new_view(0, 1);
        vxdl::pump_idle();
        if (c.before) {
            qymgr_qy_query(c.before, QY_WAIT, QY_ASIS, QY_REPORT);
            ASSERT_TRUE(qymgr_qy_ok()) << c.before;
        }
        const int d = query(c.query);
        ASSERT_GE(dsmgr_ds_rows(d), c.rows);
        ctrl_key(XK_g);
        ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_graph_mode() != 0; }));
        GoGraph *g = dygrph_dy_selected_graph();
        ASSERT_NE(g, nullptr);
        ASSERT_EQ(g->first, d);
        ASSERT_EQ(g->last, d);

        // As the graph kind dialog: the kind in the format, then the notice.
        GoFormat *f = dygrph_dy_selected_graph_format();
        ASSERT_NE(f, nullptr);
        f->graphtype = c.kind;
        if (c.properties)
            c.properties(g);
        int changed = 0;
        ASSERT_EQ(dygrph_dy_notify_property_change(1, 1, &changed), 1);
        EXPECT_EQ(changed, 1);
        ASSERT_EQ(g->kind, c.kind);
        const Picture p = shot();
        vxdl::pump_idle();
        EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();

        const std::vector<Row> rows = kindcase::rows_of(g);
        ASSERT_GE(rows.size(), static_cast<size_t>(c.rows));
        const std::vector<Probe> probes = c.probes(g, rows);
        ASSERT_GE(probes.size(), std::min<size_t>(rows.size(), 5));
        const Frame fr = frame_of(g);
        const Colours colours = graph_colours();
        for (const Probe &probe : probes) {
            const auto q = pixel(g, probe.x, probe.y);
            EXPECT_GE(q[0], fr.left - 1);
            EXPECT_LE(q[0], fr.right + 1);
            EXPECT_GE(q[1], fr.top - 1);
            EXPECT_LE(q[1], fr.bottom + 1);
            if (probe.data)
                EXPECT_TRUE(found(p, q[0], q[1], SERIES, 2)) << "the data at " << q[0] << "," << q[1];
            else
                EXPECT_TRUE(near(p.at(q[0], q[1]), colours.background)) << "an empty slot at " << q[0] << "," << q[1];
        }
        const std::string path = out + "/" + file_name(c.kind) + ".png";
        ASSERT_TRUE(dypic::save_png(dypic::grab(dpy(), XtWindow(displevel)), path)) << path;
    }
    if (!dir)
        std::filesystem::remove_all(out);
}

}  // namespace
