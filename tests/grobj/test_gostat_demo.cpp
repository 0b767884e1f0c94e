// Statistics and auto-scaling of a real result: the demo database's sales
// revenue by date for one department, against the interpreter's own
// MINIMUM, MAXIMUM and COUNT of the same rows.

#include "godemo.h"
#include "gographkit.h"

#include "vxdate.h"
#include "vxtest.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace {

using godemo::ensure_demo;
using godemo::server_dir;

TEST(DemoStatistics, RevenueByDateMatchesTheInterpretersAggregates)
{
    ensure_demo();
    setenv("DOZ_CLIENT_DIR", vxtest::install_dir().c_str(), 1);
    setenv("DOZ_SERVER_DIR", server_dir().c_str(), 1);
    unsetenv("QYINT");
    AppData ad{};
    ad.catd = NL_NO_CATALOGUE;
    ad.user_name = const_cast<char *>("BRASK");
    ad.server_name = const_cast<char *>("");
    ad.buffer_size = ad.queryBufferSize = 200000;
    qymgr_qy_set_ui(nullptr);
    qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, 0);
    ASSERT_GE(qymgr_qy_connection(), 0);
    dsmgr_ds_init(nullptr, nullptr);
    gokit::record_boxes();
    qymgr_qy_query("OPEN DEMO", QY_NOWAIT, QY_ASIS, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_ok());

    qymgr_qy_query("DISPLAY SDATE, REVENUE FROM SALES WHERE DEPTNO=20", QY_NOWAIT, QY_FULL, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_returned_data());
    const int sales = dsmgr_ds_current();
    dscol_ds_characterise(1);
    dsmgr_ds_retain();
    qymgr_qy_query("DISPLAY MINIMUM REVENUE AS LO, MAXIMUM REVENUE AS HI, COUNT REVENUE AS N, "
                   "MINIMUM SDATE AS D0, MAXIMUM SDATE AS D1 FROM SALES WHERE DEPTNO=20",
                   QY_NOWAIT, QY_FULL, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_returned_data());
    const int aggregates = dsmgr_ds_current();
    auto real = [&](int column) {
        int n = 0;
        const void *v = dscol_ds_get(aggregates, 0, column, &n);
        EXPECT_NE(v, nullptr);
        double d = 0;
        const DozColDesc *t = dscol_ds_get_tinfo(aggregates, column);
        if (v && t->type == DOZ_T_REAL)
            memcpy(&d, v, 8);
        else if (v && t->type == DOZ_T_LONG) {
            int32_t l;
            memcpy(&l, v, 4);
            d = l;
        }
        return d;
    };
    auto date = [&](int column) {
        int n = 0;
        const void *v = dscol_ds_get(aggregates, 0, column, &n);
        int16_t f[3] = {0, 0, 0};
        if (v)
            memcpy(f, v, 6);
        return double(un_ctime(f[0], f[1], f[2], 0, 0, 0, 2));
    };

    gokit::Graph g(sales, sales);
    ASSERT_EQ(std_dataset_stats(&g.g, sales, &g.g.xblock, &g.g.yblock, &g.g.zblock, 1), 1);
    EXPECT_EQ(g.g.yblock.min, real(0));
    EXPECT_EQ(g.g.yblock.max, real(1));
    EXPECT_EQ(g.g.yblock.count, real(2));
    EXPECT_EQ(g.g.yblock.count, 731.0) << "every day of 2024 and 2025";
    EXPECT_EQ(g.g.xblock.min, date(3));
    EXPECT_EQ(g.g.xblock.max, date(4));

    ASSERT_EQ(std_auto_scale(&g.g, GO_AXES_SCALAR), 1);
    for (GoAxisBlock *b : {&g.g.xblock, &g.g.yblock}) {
        double first = 0, last = 0;
        scale_GetFirstDiv(&b->scale, &first);
        scale_GetLastDiv(&b->scale, &last);
        EXPECT_LE(first, b->min);
        EXPECT_GE(last, b->max);
    }
    EXPECT_TRUE(gokit::boxes().empty());
    qymgr_qy_term();
    go_set_display_hooks(nullptr);
    dsmgr_ds_init(nullptr, nullptr);
}

}  // namespace
