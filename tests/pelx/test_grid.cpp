// Grids from scattered data: gathering points on nodes, the aggregations,
// the completion methods, the readers, the derived data and the cache of a
// canvas, on the recording driver.

#include "gdriver.h"
#include "ggridhook.h"
#include "pelxfixture.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>
#include <set>

using namespace pelxtest;

namespace {

// An allocator that fails its call number `fail_at` (counted from 0).
long fail_at = -1, alloc_calls = 0;
void *counting_alloc(long size) { return alloc_calls++ == fail_at ? nullptr : vx_malloc(size, 0); }

struct FailingAllocator {
    void *(*saved)(long) = ggrid_block_alloc;
    explicit FailingAllocator(long n)
    {
        fail_at = n;
        alloc_calls = 0;
        ggrid_block_alloc = counting_alloc;
    }
    ~FailingAllocator() { ggrid_block_alloc = saved; }
};

double plane(double x, double z) { return 2 + 0.5 * x - 0.25 * z; }

class Grids : public OnDevice {
protected:
    void SetUp() override
    {
        OnDevice::SetUp();
        open(GP_POSTSCRIPT);
        canvas();
    }
    void TearDown() override
    {
        ggrid_GDestroyGrid(g);
        OnDevice::TearDown();
    }
    void modes(int method, int aggregation = GAGG_SPREAD)
    {
        GGridModes m{};
        m.method = static_cast<unsigned char>(method);
        m.aggregation = static_cast<unsigned char>(aggregation);
        ggrid_GSetGridModes(cv, GGM_METHOD | GGM_AGGREGATION, &m);
    }
    // A grid of nx x nz nodes at x = 10 i, z = 100 + 5 k.
    void make(long nx, long nz)
    {
        ggrid_GDestroyGrid(g);
        g = ggrid_GCreateGrid(0, 10, nx, 100, 5, nz);
        ASSERT_NE(g, nullptr);
    }
    double x(double i) const { return 10 * i; }
    double z(double k) const { return 100 + 5 * k; }
    int add(double i, double k, double v) { return ggrid_GAddGridPoint(cv, g, x(i), v, z(k)); }
    GGridCell &at(long i, long k) { return g->values[i][k]; }
    short complete(unsigned char *changed = nullptr)
    {
        unsigned char c = 9;
        short r = ggrid_GCompleteGrid(cv, g, changed ? changed : &c);
        return r;
    }
    bool untouched()
    {
        for (long i = 0; i < g->nx; i++)
            for (long k = 0; k < g->nz; k++)
                if (at(i, k).value != 0 || at(i, k).weight != 0)
                    return false;
        return true;
    }
    GGrid *g = nullptr;
};

TEST_F(Grids, ModesDefaultsAndTheCache)
{
    GGridModes m{};
    ggrid_GGetGridModes(cv, &m);
    EXPECT_EQ(m.method, GGRID_PROPAGATE);
    EXPECT_EQ(m.aggregation, GAGG_SPREAD);
    EXPECT_EQ(m.line_colour_lock, 0);
    EXPECT_EQ(m.patch_centres, 0);
    EXPECT_EQ(ggrid_GGetCachedGrid(cv), nullptr);
    EXPECT_EQ(ggrid_GDestroyCanvasGrid(cv), 0);
    // The mask bits out of field order: 0x2 is the lock, 0x8 the centres.
    GGridModes s{1, 1, 4, 7, nullptr};
    ggrid_GSetGridModes(cv, GGM_LOCK | GGM_CENTRES, &s);
    ggrid_GGetGridModes(cv, &m);
    EXPECT_EQ(m.line_colour_lock, 1);
    EXPECT_EQ(m.patch_centres, 1);
    EXPECT_EQ(m.method, GGRID_PROPAGATE);
    ggrid_GSetGridModes(cv, GGM_METHOD | GGM_AGGREGATION, &s);
    ggrid_GGetGridModes(cv, &m);
    EXPECT_EQ(m.method, 4);
    EXPECT_EQ(m.aggregation, 7);

    // A cached grid is the canvas's: replaced by destroying it first, and
    // freed when the canvas closes (the leak checker sees the rest).
    ggrid_GCacheGrid(cv, ggrid_GCreateGrid(0, 1, 2, 0, 1, 2));
    GGrid *second = ggrid_GCreateGrid(0, 1, 3, 0, 1, 3);
    EXPECT_EQ(ggrid_GDestroyCanvasGrid(cv), 0);
    ggrid_GCacheGrid(cv, second);
    EXPECT_EQ(ggrid_GGetCachedGrid(cv), second);
    EXPECT_EQ(GCloseCanvas(cv), 0);
    cv = nullptr;
}

TEST_F(Grids, CreateRefusesWhatAPointCouldNotBeDividedBy)
{
    const double nan = NAN, inf = INFINITY;
    struct Case {
        double x0, dx;
        long nx;
        double dz;
        long nz;
    } refused[] = {
        {0, 1, 1, 1, 5}, {0, 1, 5, 1, 1}, {0, 0, 5, 1, 5}, {0, 1, 5, 0, 5}, {0, nan, 5, 1, 5}, {0, 1, 5, inf, 5},
        {nan, 1, 5, 1, 5}, {0, -1, 5, 1, 5}, {0, 1, 40000, 1, 5}, {1e308, 1e308, 5, 1, 5},
    };
    for (auto &c : refused) {
        gerror_GRegisterError(0, 0, 0, nullptr);
        EXPECT_EQ(ggrid_GCreateGrid(c.x0, c.dx, c.nx, 0, c.dz, c.nz), nullptr) << c.dx << " " << c.nx;
        EXPECT_EQ(last_error(), std::make_pair(3, 22));
    }
    make(2, 32767);
    long nx = 0, nz = 0;
    ggrid_GGetGridSize(g, &nx, &nz);
    EXPECT_EQ(std::make_pair(nx, nz), std::make_pair(2L, 32767L));
    EXPECT_NE(g->aux, nullptr);
    EXPECT_EQ(g->overlay_flag, 0);
}

TEST_F(Grids, PointsOnNodes)
{
    make(5, 4);
    modes(GGRID_NEAREST);
    // Exactly on the last column under the spread: the last patch with a
    // fraction of 1, wholly on that node.
    ASSERT_EQ(add(4, 1, 6), 0);
    EXPECT_EQ(at(4, 1).value, 6);
    EXPECT_EQ(at(4, 1).weight, 1);
    EXPECT_EQ(at(3, 1).weight, 0);
    // 2.7 steps: node 3, whose fraction -0.3 snaps to 0.
    make(5, 4);
    ASSERT_EQ(add(2.7, 1, 8), 0);
    EXPECT_EQ(at(3, 1).value, 8);
    EXPECT_EQ(at(3, 1).weight, 1);
    EXPECT_EQ(at(4, 1).weight, 0);
    // Right of and above its node: shared by the four corners.
    make(5, 4);
    ASSERT_EQ(ggrid_GAddGridPoint(cv, g, 14, 4, 101), 0);
    EXPECT_DOUBLE_EQ(at(1, 0).weight + at(2, 0).weight + at(1, 1).weight + at(2, 1).weight, 1);
    EXPECT_NEAR(at(2, 0).weight, 0.4 * 0.8, 1e-12);
    EXPECT_NEAR(at(2, 0).value, 4 * 0.4 * 0.8, 1e-12);
    EXPECT_NEAR(at(1, 1).weight, 0.6 * 0.2, 1e-12);

    // Method 0 wants the node to within a hundred-thousandth of a step.
    modes(GGRID_CHECK);
    struct Case {
        double i, k;
        int result;
        long node;
    } cases[] = {
        {2.000004, 1, 0, 2}, {1.999996, 1, 0, 2}, {2.00002, 1, -2, -1}, {2, 1.5, -2, -1}, {-0.000004, 1, 0, 0},
        {4, 3, 0, 4},
        {-1, 1, -1, -1},   // exactly a step out: no node to take it
        {5, 1, -1, -1},
    };
    for (auto &c : cases) {
        make(5, 4);
        EXPECT_EQ(add(c.i, c.k, 3), c.result) << c.i << " " << c.k;
        if (c.node >= 0) {
            EXPECT_EQ(at(c.node, static_cast<long>(std::round(c.k))).value, 3) << c.i;
        } else {
            EXPECT_TRUE(untouched()) << c.i;
        }
    }
}

TEST_F(Grids, PointsOutsideAreRefusedAndChangeNothing)
{
    make(5, 4);
    const double nan = NAN, inf = INFINITY;
    struct Case {
        int method;
        double x, y, z;
    } cases[] = {
        {GGRID_NEAREST, -6, 1, 100},     // inside the band, nearest node -1
        {GGRID_NEAREST, 45.5, 1, 100},   // nearest node 5
        {GGRID_NEAREST, 0, 1, 97},       // nearest row -1
        {GGRID_NEAREST, -10.01, 1, 100}, {GGRID_NEAREST, 0, 1, 120.01},
        {GGRID_NEAREST, nan, 1, 100}, {GGRID_NEAREST, 0, inf, 100}, {GGRID_NEAREST, 0, nan, 100},
        {GGRID_NEAREST, 0, 1, -inf}, {GGRID_CHECK, 0, 1, 95},
    };
    for (auto &c : cases) {
        modes(c.method);
        EXPECT_EQ(ggrid_GAddGridPoint(cv, g, c.x, c.y, c.z), -1) << c.x << " " << c.y << " " << c.z;
        EXPECT_TRUE(untouched());
    }
    EXPECT_EQ(ggrid_GAddGridPoint(cv, nullptr, 0, 0, 100), -1);
}

TEST_F(Grids, Aggregations)
{
    struct Case {
        int aggregation;
        double value;
        unsigned char changed;
    } cases[] = {
        {GAGG_SPREAD, 2, 0}, {GAGG_MIN, 1, 0}, {GAGG_MAX, 3, 0}, {GAGG_MEAN, 2, 0},
        {GAGG_RANGE, 2, 1},  {GAGG_VARIANCE, 2.0 / 3, 1}, {GAGG_COUNT, 3, 1}, {GAGG_SUM, 6, 1},
    };
    for (auto &c : cases) {
        GColourMapModes cm{};
        cm.datamin = -50;
        cm.datamax = 50;
        gcolmap_GSetColourMapModes(cv, GCMM_DATAMIN | GCMM_DATAMAX, &cm);
        make(3, 3);
        modes(GGRID_NEAREST, c.aggregation);
        for (double v : {2.0, 1.0, 3.0})
            ASSERT_EQ(add(1, 1, v), 0);
        unsigned char changed = 9;
        ASSERT_EQ(complete(&changed), 0);
        EXPECT_NEAR(at(1, 1).value, c.value, 1e-12) << c.aggregation;
        EXPECT_EQ(at(0, 2).value, at(1, 1).value);  // every other node from it
        EXPECT_EQ(changed, c.changed) << c.aggregation;
        double lo = c.changed ? c.value : -50, hi = c.changed ? c.value : 50;
        EXPECT_NEAR(cv->colourmap.datamin, lo, 1e-12) << c.aggregation;
        EXPECT_NEAR(cv->colourmap.datamax, hi, 1e-12);
        // Completing again (the map kind does after choosing its colour
        // map) keeps the values.
        ASSERT_EQ(complete(), 0);
        EXPECT_NEAR(at(1, 1).value, c.value, 1e-12) << c.aggregation;
    }
    // A range of one point is 0; an unknown aggregation ignores points.
    make(3, 3);
    modes(GGRID_NEAREST, GAGG_RANGE);
    add(2, 0, 5);
    ASSERT_EQ(complete(), 0);
    EXPECT_EQ(at(2, 0).value, 0);
    make(3, 3);
    modes(GGRID_NEAREST, 8);
    EXPECT_EQ(add(2, 0, 5), 0);
    EXPECT_TRUE(untouched());
}

TEST_F(Grids, NearestAndPropagation)
{
    // Method 1: a 3 x 3 grid with only the centre gives it to every node.
    make(3, 3);
    modes(GGRID_NEAREST);
    add(1, 1, 7);
    ASSERT_EQ(complete(), 0);
    for (long i = 0; i < 3; i++)
        for (long k = 0; k < 3; k++)
            EXPECT_EQ(at(i, k).value, 7) << i << k;

    // Method 1 takes the mean of the first ring holding a filled node, its
    // starting corner (i-e, k+e) counted twice: 18 / 9, not 9 / 8.
    make(3, 3);
    for (long i = 0; i < 3; i++)
        for (long k = 0; k < 3; k++)
            if (i != 1 || k != 1)
                at(i, k) = GGridCell{i == 0 && k == 2 ? 9.0 : 0.0, 1};
    ASSERT_EQ(complete(), 0);
    EXPECT_DOUBLE_EQ(at(1, 1).value, 2);

    // Method 2 on the centre of a 7 x 7 grid whose other nodes are filled:
    // ring 1 weighs 6.5 (the starting corner twice), the first node of
    // ring 2 weighs 1/32, under one per cent, so rings 1 and 2 decide and
    // ring 3 is never read.
    make(7, 7);
    modes(GGRID_PROPAGATE);
    auto v = [](long i, long k) { return static_cast<double>(i * i + 3 * k); };
    for (long i = 0; i < 7; i++)
        for (long k = 0; k < 7; k++)
            if (i != 3 || k != 3)
                at(i, k) = GGridCell{v(i, k), 1};
    double W = 0, T = 0;
    for (long e = 1; e <= 2; e++)
        for (long i = 3 - e; i <= 3 + e; i++)
            for (long k = 3 - e; k <= 3 + e; k++) {
                if (std::max(std::labs(i - 3), std::labs(k - 3)) != e)
                    continue;
                double w = 1 / (std::pow(i - 3.0, 4) + std::pow(k - 3.0, 4));
                int times = i == 3 - e && k == 3 + e ? 2 : 1;
                W += times * w;
                T += times * w * v(i, k);
            }
    EXPECT_DOUBLE_EQ(W, 6.5 + 5.0 / 32 + 8.0 / 17 + 4.0 / 16);
    ASSERT_EQ(complete(), 0);
    EXPECT_NEAR(at(3, 3).value, T / W, 1e-12);
    EXPECT_EQ(at(3, 3).weight, 1);
}

TEST_F(Grids, CompletionNeverLeavesAnEmptyNodeUnreported)
{
    GColourMapModes cm{};
    cm.datamin = -1;
    cm.datamax = 1;
    gcolmap_GSetColourMapModes(cv, GCMM_DATAMIN | GCMM_DATAMAX, &cm);
    struct Case {
        int method;
        std::vector<std::pair<long, long>> filled;
        short result;
    } cases[] = {
        {GGRID_CHECK, {}, -2},
        {GGRID_NEAREST, {}, -2},    // no filled node: the search is bounded
        {GGRID_PROPAGATE, {}, -2},
        {GGRID_BILINEAR, {}, -2},
        // Columns of two and rows of two: the rows stay as they are.
        {GGRID_BILINEAR, {{0, 0}, {0, 3}, {3, 0}, {3, 3}}, -2},
        {GGRID_BICUBIC, {{0, 0}, {0, 3}, {3, 0}, {3, 3}}, -2},
        {GGRID_CHECK, {{0, 0}}, -2},
    };
    for (auto &c : cases) {
        make(4, 4);
        modes(c.method, GAGG_COUNT);
        for (auto [i, k] : c.filled)
            add(static_cast<double>(i), static_cast<double>(k), 1);
        unsigned char changed = 0;
        EXPECT_EQ(complete(&changed), c.result) << c.method << " " << c.filled.size();
        EXPECT_EQ(at(1, 1).weight, 0);
        EXPECT_EQ(changed, 1);
        EXPECT_EQ(cv->colourmap.datamin, c.filled.empty() ? -1 : 1) << "range of an empty grid stays";
    }
    // A method outside the table fails before anything changes.
    make(4, 4);
    modes(5, GAGG_MEAN);
    add(1, 1, 4);
    add(1, 1, 6);
    gerror_GRegisterError(0, 0, 0, nullptr);
    EXPECT_EQ(complete(), -1);
    EXPECT_EQ(last_error(), std::make_pair(3, 22));
    EXPECT_EQ(at(1, 1).value, 10);
}

TEST_F(Grids, LinesCompleteThePlane)
{
    // Columns 0, 2, 4 and 6 sampled at every node, the others empty but
    // for column 1's two nodes (too few: left to the row pass).
    for (int method : {GGRID_BILINEAR, GGRID_BICUBIC}) {
        make(7, 5);
        modes(method);
        for (long i = 0; i < 7; i++)
            for (long k = 0; k < 5; k++)
                if (i % 2 == 0 || (i == 1 && (k == 0 || k == 4))) {
                    ASSERT_EQ(add(i, k, plane(x(i), z(k))), 0);
                }
        ASSERT_EQ(complete(), 0) << method;
        for (long i = 0; i < 7; i++)
            for (long k = 0; k < 5; k++) {
                EXPECT_NEAR(at(i, k).value, plane(x(i), z(k)), 1e-12) << method << " " << i << " " << k;
                EXPECT_NE(at(i, k).weight, 0);
            }
        // Both readers give the plane between the nodes.
        for (double px : {0.0, 3.3, 27.1, 59.99, 60.0})
            for (double pz : {100.0, 101.7, 119.0, 120.0}) {
                double y = 0, xx = px, zz = pz;
                ASSERT_EQ(GGridGetYValue(cv, g, &xx, &zz, &y, 0), 0) << px << " " << pz;
                EXPECT_NEAR(y, plane(px, pz), 1e-9) << method << " " << px << " " << pz;
            }
    }
}

TEST_F(Grids, Readers)
{
    make(3, 2);  // x 0, 10, 20; z 100, 105
    for (long i = 0; i < 3; i++)
        for (long k = 0; k < 2; k++)
            at(i, k) = GGridCell{10.0 * i + k, 1};
    struct Case {
        double x, z;
        int discrete;
        int result;
        double y;
        double node_x, node_z;
    } cases[] = {
        {20, 105, 0, 0, 21, 20, 105},    // on the last node: the last patch, fraction 1
        {15, 102.5, 0, 0, 15.5, 15, 102.5},
        {20.01, 100, 0, 1, 0, 0, 0},     // past the last node
        {-0.01, 100, 0, 1, 0, 0, 0},
        {29.9, 109.9, 1, 0, 21, 20, 105},  // discrete: up to the far edge of the last cell
        {30, 110, 1, 0, 21, 20, 105},
        {30.01, 100, 1, 1, 0, 0, 0},
        {14, 103, 1, 0, 10, 10, 100},
        {NAN, 100, 1, 1, 0, 0, 0}, {10, INFINITY, 0, 1, 0, 0, 0},
    };
    for (auto &c : cases) {
        double x = c.x, z = c.z, y = -1;
        EXPECT_EQ(GGridGetYValue(cv, g, &x, &z, &y, c.discrete), c.result) << c.x << " " << c.z;
        if (c.result != 0)
            continue;
        EXPECT_DOUBLE_EQ(y, c.y) << c.x << " " << c.z;
        if (c.discrete) {
            EXPECT_EQ(x, c.node_x);
            EXPECT_EQ(z, c.node_z);
        }
    }
    // The bilinear reader reads the values, never the overlay; a method
    // outside the table reads nothing.
    modes(7);
    double x = 5, z = 100, y = 0;
    EXPECT_NE(GGridGetYValue(cv, g, &x, &z, &y, 0), 0);
}

TEST_F(Grids, PatchCentresAndTheWorkingArray)
{
    make(3, 3);
    GGridModes m{};
    m.patch_centres = 1;
    ggrid_GSetGridModes(cv, GGM_CENTRES, &m);
    modes(GGRID_NEAREST);
    for (long i = 0; i < 3; i++)
        for (long k = 0; k < 3; k++)
            add(i, k, static_cast<double>(i + 2 * k));
    ASSERT_EQ(complete(), 0);
    ASSERT_NE(g->aux, nullptr);
    double *p[5];
    ASSERT_EQ(ggrid_GGetPatchValues(p, g, 1, 0), 0);
    EXPECT_DOUBLE_EQ(*p[0], 0.25 * (1 + 2 + 3 + 4));
    EXPECT_EQ(std::vector<double>({*p[1], *p[2], *p[3], *p[4]}), std::vector<double>({1, 3, 4, 2}));
    EXPECT_EQ(ggrid_GGetPatchValues(p, g, 2, 0), -1);
    EXPECT_EQ(ggrid_GGetPatchValues(p, g, 0, 2), -1);
    // Without patch centres the working array goes.
    m.patch_centres = 0;
    ggrid_GSetGridModes(cv, GGM_CENTRES, &m);
    ASSERT_EQ(complete(), 0);
    EXPECT_EQ(g->aux, nullptr);
    ASSERT_EQ(ggrid_GGetPatchValues(p, g, 0, 0), 0);
    EXPECT_EQ(p[0], nullptr);
}

TEST_F(Grids, Polygons)
{
    make(3, 2);
    at(1, 0) = GGridCell{5, 1};
    at(1, 1) = GGridCell{6, 0};
    at(2, 1) = GGridCell{7, 1};
    at(2, 0) = GGridCell{8, 1};
    double room[15] = {};
    GVector v{GV_DOUBLE, 0, 3, 4, {room, nullptr, nullptr}};
    ASSERT_EQ(ggrid_GGetPatchAsPolygon(&v, g, 1, 0), 0);
    const double want[12] = {10, 5, 100, 10, 6, 105, 20, 7, 105, 20, 8, 100};
    EXPECT_EQ(std::vector<double>(room, room + 12), std::vector<double>(want, want + 12));
    EXPECT_EQ(ggrid_GGetPatchAsPolygon(&v, g, 0, 0), -1);  // node (0, 0) has no weight
    EXPECT_EQ(ggrid_GGetPatchAsPolygon(&v, g, 2, 0), -1);
    EXPECT_EQ(ggrid_GGetOverlayAsPolygon(&v, g, 0, 0), -1);  // no overlay

    // The overlay: the other grid's rows, taken over (it keeps none), and
    // freed once.
    GGrid *other = ggrid_GCreateGrid(0, 10, 3, 100, 5, 2);
    other->values[0][0] = GGridCell{-3, 1};
    GGridCell **rows = other->values;
    EXPECT_EQ(ggrid_GGridMergeOverlay(g, other), g);
    EXPECT_EQ(g->overlay, rows);
    EXPECT_EQ(g->overlay_flag, 1);
    EXPECT_EQ(other->values, nullptr);
    EXPECT_EQ(ggrid_GGridMergeOverlay(g, other), nullptr);  // nothing left to take
    ggrid_GDestroyGrid(other);
    v.count = 5;
    ASSERT_EQ(ggrid_GGetOverlayAsPolygon(&v, g, 0, 0), 0);
    EXPECT_EQ(room[1], -3);
    EXPECT_EQ(std::vector<double>(room, room + 3), std::vector<double>(room + 12, room + 15));
    GGrid *wrong = ggrid_GCreateGrid(0, 10, 3, 100, 5, 3);
    EXPECT_EQ(ggrid_GGridMergeOverlay(g, wrong), nullptr);
    EXPECT_EQ(ggrid_GGridMergeOverlay(g, g), nullptr);
    ggrid_GDestroyGrid(wrong);
    // Points added now go to the overlay.
    modes(GGRID_NEAREST, GAGG_SUM);
    ASSERT_EQ(add(2, 1, 9), 0);
    EXPECT_EQ(g->overlay[2][1].value, 9);
    EXPECT_EQ(at(2, 1).value, 7);
}

TEST_F(Grids, DepthListOfATurnedView)
{
    GCanvasModes cm{};
    cm.angle1 = 30 * 64;
    cm.angle2 = -50 * 64;
    const double world[6] = {0, 0, 100, 40, 10, 115};
    memcpy(cm.world, world, sizeof world);
    GSetCanvasModes(cv, GCM_ANGLE1 | GCM_ANGLE2 | GCM_WORLD, &cm);
    make(5, 4);
    long count = 0;
    GDepthEntry *list = ggrid_GGridCreateDepthList(cv, g, &count);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(count, 12);
    const GXformPart &f = cv->xf[GX_WC].forward;
    std::set<std::pair<int, int>> seen;
    for (long e = 0; e < count; e++) {
        double xc = x(list[e].column + 0.5), zc = z(list[e].row + 0.5);
        EXPECT_NEAR(list[e].depth, f.m[6] * xc + f.m[8] * zc + f.offset[2], 1e-9);
        if (e > 0) {
            EXPECT_LE(list[e - 1].depth, list[e].depth);
        }
        seen.insert({list[e].column, list[e].row});
    }
    EXPECT_EQ(seen.size(), 12u);
    EXPECT_NE(list[0].depth, list[11].depth);
    vx_free(list);
    make(2, 2);
    list = ggrid_GGridCreateDepthList(cv, g, &count);
    EXPECT_EQ(count, 1);
    vx_free(list);
}

TEST_F(Grids, RoundMask)
{
    make(5, 5);  // x 0 .. 40, z 100 .. 120
    // Centre (0, 100), radius 25: corner (20, 115) lies exactly on it.
    ASSERT_EQ(ggrid_GGridMaskValues(cv, g, 0, 100, 25), 0);
    EXPECT_EQ(g->mask_flag, 1);
    std::set<std::pair<long, long>> inside;
    for (long i = 0; i < 4; i++)
        for (long k = 0; k < 4; k++)
            if (g->aux[i][k].weight == 1.0)
                inside.insert({i, k});
    std::set<std::pair<long, long>> want = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}, {1, 2}};
    EXPECT_EQ(inside, want);
    EXPECT_EQ(ggrid_GGridMaskValues(cv, g, NAN, 100, 25), -1);
}

TEST_F(Grids, FailedAllocationsLeaveNothingHalfBuilt)
{
    // Creation: the record, then two rows and two blocks.
    for (long n = 0; n < 5; n++) {
        FailingAllocator fail(n);
        gerror_GRegisterError(0, 0, 0, nullptr);
        EXPECT_EQ(ggrid_GCreateGrid(0, 1, 4, 0, 1, 4), nullptr) << n;
        EXPECT_EQ(last_error(), std::make_pair(4, 3));
    }
    make(4, 3);
    long count = 0;
    {
        FailingAllocator fail(0);
        EXPECT_EQ(ggrid_GGridGetOverlayValues(cv, g), nullptr);
        EXPECT_EQ(last_error(), std::make_pair(4, 3));
    }
    {
        FailingAllocator fail(0);
        EXPECT_EQ(ggrid_GGridCreateDepthList(cv, g, &count), nullptr);
        EXPECT_EQ(count, -1);
    }
    for (long n = 0; n < 2; n++) {
        FailingAllocator fail(n);
        EXPECT_EQ(ggrid_GGridMaskValues(cv, g, 0, 0, 5), -1);
        EXPECT_EQ(g->aux, nullptr);
        EXPECT_EQ(g->mask_flag, 0);
    }
    // Completion that needs memory for its lines reports it.
    modes(GGRID_BICUBIC);
    for (long i = 0; i < 4; i++)
        for (long k = 0; k < 3; k++)
            add(i, k, 1);
    {
        FailingAllocator fail(0);
        EXPECT_EQ(complete(), -1);
    }
}

TEST_F(Grids, ShowGridOnTheWorldFloor)
{
    GCanvasModes cm{};
    cm.coords = GCS_WC;
    const double world[6] = {0, 3, 100, 40, 10, 110};
    memcpy(cm.world, world, sizeof world);
    GSetCanvasModes(cv, GCM_COORDS | GCM_WORLD, &cm);
    make(3, 2);
    at(0, 0).weight = 1;
    at(2, 1).weight = 0.5;
    GLineModes l = cv->line;
    l.colour = 5;
    GSetLineModes(cv, GLM_COLOUR, &l);
    grec::clear();
    ASSERT_EQ(ggrid_GShowGrid(cv, g, 1), 0);
    // Device points of world points, as the driver receives them.
    auto dc = [&](double wx, double wy, double wz) {
        double p[3] = {wx, wy, wz};
        GVector in{GV_DOUBLE, 0, 3, 1, {p, nullptr, nullptr}}, out{};
        GTransformPoints(cv, GCS_WC, GCS_DC, &in, &out);
        std::vector<double> r = {gvector_GGetValue(&out, 0, 0), gvector_GGetValue(&out, 0, 1)};
        gvector_GFreeVectorData(&out);
        return r;
    };
    struct Seg {
        double x1, z1, x2, z2;
        long colour;
    } want[] = {
        {0, 100, 0, 105, 5}, {10, 100, 10, 105, 5}, {20, 100, 20, 105, 5},  // columns
        {0, 100, 20, 100, 5}, {0, 105, 20, 105, 5},                          // rows
        {-2.5, 101.25, 2.5, 98.75, 2}, {17.5, 106.25, 22.5, 103.75, 2},     // ticks
    };
    auto lines = grec::of(GEP_DRAW_LINE);
    ASSERT_EQ(lines.size(), std::size(want));
    for (size_t s = 0; s < lines.size(); s++) {
        std::vector<double> a = flat(lines[s].points[0]), b = flat(lines[s].points[1]);
        EXPECT_EQ(a, dc(want[s].x1, 3, want[s].z1)) << s;
        EXPECT_EQ(b, dc(want[s].x2, 3, want[s].z2)) << s;
        EXPECT_EQ(lines[s].line.colour, want[s].colour) << s;
    }
    EXPECT_EQ(cv->line.colour, 5);
    // Without marks: the lines alone, the colour untouched.
    grec::clear();
    ggrid_GShowGrid(cv, g, 0);
    EXPECT_EQ(grec::count(GEP_DRAW_LINE), 5);
    EXPECT_EQ(grec::count(GEP_SET_LINE_MODES), 0);
}

// Overlay colour indices over a colour map of `levels` colours.
class OverlayColours : public Grids {
protected:
    void TearDown() override
    {
        Grids::TearDown();
        gcolmap_GDestroyColourMapTable(nullptr);
    }
    void colour_map(long levels)
    {
        if (dev)
            GCloseDevice(dev);
        dev = nullptr;
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolmap_GCreateDefColourMapTable();
        GColourMap m{};
        strcpy(m.name, "ramp");
        m.colours = glist_GCreateList();
        for (long i = 0; i < levels; i++) {
            GColour c{};
            gcolour_GAddMoreColour(m.colours, &c);
        }
        gcolmap_GAddColourMap(&m);
        gcolour_GDestroyColourTable(m.colours);
        gcolmap_GIndexColourMapTable();
        GDeviceModes dm{};
        dm.protocol = GP_POSTSCRIPT;
        dm.dcxdim = dm.dcydim = 4096;
        GList *tables[GT_COUNT] = {nullptr, nullptr, nullptr, nullptr, nullptr, gcolmap_GCreateDevColourMapTable()};
        dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM, &dm, tables);
        ASSERT_NE(dev, nullptr);
        canvas();
    }
};

TEST_F(OverlayColours, IndicesStayOnTheColourMap)
{
    struct Case {
        long levels;
        unsigned char range;  // 1: the bounds
        double lo, hi;
        std::vector<double> values;
        std::vector<int> bytes;
    } cases[] = {
        // A value just below the minimum is colour 0, not 255.
        {10, 0, 0, 9, {-0.001, 0, 4.5, 9, 12, 1000}, {0, 0, 4, 9, 9, 9}},
        {10, 1, 0, 90, {-0.001, 0, 45, 89.9, 90, 100}, {0, 0, 4, 8, 9, 9}},
        {10, 0, 5, 5, {1, 5, 9, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},   // a range of zero width
        {1, 0, 0, 9, {1, 5, 9, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},    // one level
        {300, 0, 0, 299, {0, 100, 255, 256, 299, 400}, {0, 100, 255, 255, 255, 255}},
    };
    for (auto &c : cases) {
        colour_map(c.levels);
        GColourMapModes m{};
        m.range = c.range;
        m.datamin = c.range ? -1e9 : c.lo;
        m.datamax = c.range ? 1e9 : c.hi;
        m.lower = c.range ? c.lo : -1e9;
        m.upper = c.range ? c.hi : 1e9;
        gcolmap_GSetColourMapModes(cv, GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX | GCMM_LOWER | GCMM_UPPER, &m);
        make(3, 2);
        for (long e = 0; e < 6; e++)
            at(e % 3, e / 3).value = c.values[static_cast<size_t>(e)];
        unsigned char *bytes = ggrid_GGridGetOverlayValues(cv, g);
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(std::vector<int>(bytes, bytes + 6), c.bytes) << c.levels << " " << int(c.range);
        vx_free(bytes);
    }
}

}  // namespace
