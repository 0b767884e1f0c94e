// Point surfaces and the canvas, plot-space and device borders, by what
// they ask of the driver.

#include "gsurfhook.h"
#include "pelxfixture.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

using namespace pelxtest;

namespace {

struct P {
    double x, y, z;
};

// Adds a point of any element type from doubles.
int add(GSurface *s, P p, long column, int end = GSURF_POINT)
{
    unsigned char b[24];
    double v[3] = {p.x, p.y, p.z};
    for (int c = 0; c < 3; c++)
        switch (s->points.type) {
        case GV_DOUBLE: reinterpret_cast<double *>(b)[c] = v[c]; break;
        case GV_FLOAT: reinterpret_cast<float *>(b)[c] = static_cast<float>(v[c]); break;
        case GV_LONG: reinterpret_cast<int64_t *>(b)[c] = static_cast<int64_t>(v[c]); break;
        default: reinterpret_cast<int16_t *>(b)[c] = static_cast<int16_t>(v[c]); break;
        }
    return gsurf_GAddSurfacePoint(s, b, column, end);
}

// Rows of points, each row ended as a new row: x = 100 * column,
// y = 100 * (row + 1) + column, z = row.
GSurface *rows_of(const std::vector<std::vector<long>> &columns, int type = GV_DOUBLE)
{
    GSurface *s = gsurf_GCreateSurface(-1, type);
    for (size_t r = 0; r < columns.size(); r++)
        for (size_t i = 0; i < columns[r].size(); i++) {
            long c = columns[r][i];
            add(s, {100.0 * c, 100.0 * (r + 1) + c, double(r)}, c, i + 1 == columns[r].size() ? GSURF_ROW : GSURF_POINT);
        }
    return s;
}

std::vector<double> xy(double x, double y) { return {x, y}; }

// Segments the driver drew with DrawLine, as {x1, y1, x2, y2}.
std::vector<std::vector<double>> segments()
{
    std::vector<std::vector<double>> out;
    for (auto &c : grec::of(7))
        out.push_back({c.points[0].at(0, 0), c.points[0].at(0, 1), c.points[1].at(0, 0), c.points[1].at(0, 1)});
    return out;
}

void *failing_alloc(long) { return nullptr; }

TEST(Surface, GrowthKeepsEveryRowReachable)
{
    for (int type : {GV_DOUBLE, GV_FLOAT, GV_LONG, GV_SHORT}) {
        GSurface *s = gsurf_GCreateSurface(-1, type);
        ASSERT_NE(s, nullptr);
        // 2049 points in rows of 100: the last point needs a second block.
        for (long i = 0; i < 2049; i++)
            ASSERT_EQ(add(s, {double(i % 100), double(i / 100), double(i % 7)}, i % 100,
                          i % 100 == 99 ? GSURF_ROW : GSURF_POINT), 0);
        EXPECT_EQ(s->capacity, 4096) << type;
        EXPECT_EQ(s->total, 2049);
        EXPECT_EQ(s->rows, 20);
        long first = 0, arrays = 0;
        gsurf_GGetSurfaceSize(s, &first, &arrays);
        EXPECT_EQ(first, 100);
        EXPECT_EQ(arrays, 21);
        long i = 0;
        for (GSurface *a = s; a; a = a->next)
            for (long k = 0; k < a->points.count; k++, i++) {
                ASSERT_EQ(gvector_GGetValue(&a->points, k, 0), i % 100) << type << " " << i;
                ASSERT_EQ(gvector_GGetValue(&a->points, k, 1), i / 100);
                ASSERT_EQ(gvector_GGetValue(&a->points, k, 2), i % 7);
                ASSERT_EQ(a->columns[k], i % 100);
            }
        EXPECT_EQ(i, 2049);
        gsurf_GDestroySurface(s);
    }
}

TEST(Surface, FailedGrowthLeavesTheSurfaceAsItWas)
{
    GSurface *s = gsurf_GCreateSurface(-1, GV_DOUBLE);
    for (long i = 0; i < 2048; i++)
        add(s, {double(i), 1, 2}, i, i == 1999 ? GSURF_ROW : GSURF_POINT);
    void *block = s->points.data[0];
    void *(*saved)(long) = gsurf_block_alloc;
    gsurf_block_alloc = failing_alloc;
    EXPECT_EQ(add(s, {5000, 1, 2}, 5000), -1);
    gsurf_block_alloc = saved;
    EXPECT_EQ(last_error(), std::make_pair(4, 3));
    EXPECT_EQ(s->capacity, 2048);
    EXPECT_EQ(s->total, 2048);
    EXPECT_EQ(s->points.data[0], block);
    EXPECT_EQ(s->next->points.count, 48);
    EXPECT_EQ(gvector_GGetValue(&s->next->points, 47, 0), 2047);
    // It grows once memory is there again.
    EXPECT_EQ(add(s, {5000, 1, 2}, 5000), 0);
    EXPECT_EQ(gvector_GGetValue(&s->next->points, 48, 0), 5000);
    EXPECT_EQ(gvector_GGetValue(&s->points, 1999, 0), 1999);
    gsurf_GDestroySurface(s);

    EXPECT_EQ(gsurf_GCreateSurface(-1, GV_BYTE), nullptr);
    EXPECT_EQ(last_error(), std::make_pair(2, 6));
    EXPECT_EQ(gsurf_GAddSurfacePoint(nullptr, nullptr, 0, 0), -1);
}

class Surfaces : public OnDevice {
protected:
    void SetUp() override
    {
        OnDevice::SetUp();
        open(GP_POSTSCRIPT);
        canvas();  // canvas and device units coincide
    }
    void style(unsigned char s)
    {
        GSurfaceModes m{s, 0, 0};
        gsurf_GSetSurfaceModes(cv, 0x1, &m);
    }
    // A 3-D world canvas of the box 0..100 seen from view angles a and b.
    void view(long a, long b)
    {
        GCanvasModes m{};
        double w[6] = {0, 0, 0, 100, 100, 100};
        memcpy(m.world, w, sizeof w);
        m.dimension = 3;
        m.coords = GCS_WC;
        m.angle1 = a;
        m.angle2 = b;
        GSetCanvasModes(cv, GCM_WORLD | GCM_DIMENSION | GCM_COORDS | GCM_ANGLE1 | GCM_ANGLE2, &m);
        grec::clear();
    }
};

TEST_F(Surfaces, ModesAndTheirDefaults)
{
    GSurfaceModes m{9, 9, 9};
    gsurf_GGetSurfaceModes(cv, &m);
    EXPECT_EQ(m.style, 0);
    EXPECT_EQ(m.flag, 1);
    GSurfaceModes set{2, 0, 0};
    gsurf_GSetSurfaceModes(cv, 0x2, &set);
    gsurf_GGetSurfaceModes(cv, &m);
    EXPECT_EQ(m.style, 0);
    EXPECT_EQ(m.flag, 0);
    gsurf_GSetSurfaceModes(cv, 0x1, &set);
    gsurf_GGetSurfaceModes(cv, &m);
    EXPECT_EQ(m.style, 2);
}

TEST_F(Surfaces, RowsAndColumns)
{
    // Rows holding different column indices: 0 1 2, then 0 2, then 1 2.
    GSurface *s = rows_of({{0, 1, 2}, {0, 2}, {1, 2}});
    auto pt = [](long row, long col) { return xy(100.0 * col, 100.0 * (row + 1) + col); };
    auto seg = [&](long r1, long c1, long r2, long c2) {
        auto a = pt(r1, c1), b = pt(r2, c2);
        return std::vector<double>{a[0], a[1], b[0], b[1]};
    };
    std::vector<std::vector<double>> columns = {seg(0, 0, 1, 0), seg(0, 1, 2, 1), seg(0, 2, 1, 2), seg(1, 2, 2, 2)};
    struct Case {
        unsigned char style;
        long polylines;
        bool columns;
    } cases[] = {{0, 3, false}, {4, 3, false}, {1, 0, true}, {2, 3, true}, {3, 0, false}};
    for (auto &c : cases) {
        style(c.style);
        grec::clear();
        EXPECT_EQ(gsurf_GDrawSurface(cv, s), 0);
        auto polylines = grec::of(9);
        ASSERT_EQ(static_cast<long>(polylines.size()), c.polylines) << int(c.style);
        if (c.polylines) {
            EXPECT_EQ(flat(polylines[1].points[0]), (std::vector<double>{0, 200, 200, 202}));
        }
        EXPECT_EQ(segments(), c.columns ? columns : std::vector<std::vector<double>>{}) << int(c.style);
        // Rows come before columns.
        if (c.polylines && c.columns) {
            EXPECT_EQ(grec::calls().back().slot, 7);
        }
    }
    gsurf_GDestroySurface(s);

    // The last array takes no part in the columns.
    GSurface *open_end = gsurf_GCreateSurface(-1, GV_SHORT);
    add(open_end, {0, 0, 0}, 0, GSURF_ARRAY);
    add(open_end, {0, 100, 0}, 0, GSURF_ARRAY);
    add(open_end, {0, 200, 0}, 0);
    style(1);
    grec::clear();
    gsurf_GDrawSurface(cv, open_end);
    EXPECT_EQ(segments(), (std::vector<std::vector<double>>{{0, 0, 0, 100}}));
    gsurf_GDestroySurface(open_end);
}

TEST_F(Surfaces, MarkerSurfaceJoins)
{
    gmarker_GCreateDefMarkerTable();
    int16_t cross[4] = {-1, 0, 1, 0};
    GMarker m{GV_SHORT, 0, 2, 2, {cross, nullptr, nullptr}};
    gmarker_GAddMarker(&m);
    GCloseDevice(dev);
    open(GP_POSTSCRIPT, 4096, 4096, gmarker_GCreateDevMarkerTable());
    canvas();
    GLineModes dashed{3, 5, 3, 0, 0};
    GSetLineModes(cv, 0x3, &dashed);  // stored as style 2
    // One row: (0, 0) (100, 300) (200, 50); a second row's indices run
    // past its points, which only its points answer.
    GSurface *s = gsurf_GCreateSurface(-1, GV_DOUBLE);
    add(s, {0, 0, 0}, 0);
    add(s, {100, 300, 0}, 1);
    add(s, {200, 50, 0}, 2, GSURF_ROW);
    add(s, {0, 1000, 0}, 0);
    add(s, {0, 1100, 0}, 9, GSURF_ROW);
    struct Case {
        unsigned char style;
        std::vector<std::vector<double>> lines;
    } cases[] = {
        {0, {}},
        {1, {{0, 0, 100, 300}, {100, 300, 200, 50}, {0, 1000, 0, 1100}}},
        {2, {{0, 0, 100, 0}, {100, 0, 100, 300}, {100, 300, 200, 300}, {200, 300, 200, 50},
             {0, 1000, 0, 1000}, {0, 1000, 0, 1100}}},
        {3, {{0, 0, 100, 0}, {100, 300, 200, 300}, {0, 1000, 0, 1000}}},
    };
    for (auto &c : cases) {
        style(c.style);
        grec::clear();
        EXPECT_EQ(gsurf_GDraw2DMarkerSurface(cv, s), 0);
        EXPECT_EQ(segments(), c.lines) << int(c.style);
        auto markers = grec::of(8);
        ASSERT_EQ(markers.size(), 5u);
        for (auto &k : markers)
            EXPECT_EQ(k.line.style, -1);  // markers in a solid line
        for (auto &k : grec::of(7))
            EXPECT_EQ(k.line.style, 2);  // joins in the canvas's own
        EXPECT_EQ(cv->line.style, 2);
        EXPECT_EQ(cv->line.colour, 5);
    }
    // Style 4 draws the surface's rows.
    style(4);
    grec::clear();
    gsurf_GDraw2DMarkerSurface(cv, s);
    EXPECT_EQ(grec::count(9), 2);
    EXPECT_EQ(grec::count(8), 0);
    gsurf_GDestroySurface(s);
}

TEST_F(Surfaces, ImpulsesToABasePlane)
{
    GSurface *s = gsurf_GCreateSurface(-1, GV_SHORT);
    add(s, {100, 300, 7}, 0);
    add(s, {200, 50, 7}, 1, GSURF_ROW);
    add(s, {300, 400, 7}, 0, GSURF_ROW);
    EXPECT_EQ(gsurf_GDrawThreeDeeImpulses(cv, s, 1, 20.9), 0);
    EXPECT_EQ(segments(), (std::vector<std::vector<double>>{{100, 20, 100, 300}, {200, 20, 200, 50},
                                                             {300, 20, 300, 400}}));
    grec::clear();
    gsurf_GDrawThreeDeeImpulses(cv, s, 0, 1e9);  // clamped to the element type
    EXPECT_EQ(segments().at(0), (std::vector<double>{32767, 300, 100, 300}));
    EXPECT_EQ(gsurf_GDrawThreeDeeImpulses(cv, s, 3, 0), -1);
    gsurf_GDestroySurface(s);
}

TEST_F(Surfaces, EdgesOfAThreeByFourSurface)
{
    GSurface *s = rows_of({{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 1, 2, 3}});
    auto p = [](long r, long c, double y = NAN) {
        return std::vector<double>{100.0 * c, std::isnan(y) ? 100.0 * (r + 1) + c : y, double(r)};
    };
    auto join = [](std::vector<std::vector<double>> pts) {
        std::vector<double> all;
        for (auto &q : pts)
            all.insert(all.end(), q.begin(), q.end());
        return all;
    };
    const double b = -5;
    struct Case {
        int edge;
        std::vector<double> points;
    } cases[] = {
        {1, join({p(2, 0), p(2, 1), p(2, 2), p(2, 3), p(2, 3, b), p(2, 0, b), p(2, 0)})},
        {2, join({p(0, 3), p(1, 3), p(2, 3), p(2, 3, b), p(0, 3, b), p(0, 3)})},
        {3, join({p(0, 0), p(0, 1), p(0, 2), p(0, 3), p(0, 3, b), p(0, 0, b), p(0, 0)})},
        {4, join({p(0, 0), p(1, 0), p(2, 0), p(2, 0, b), p(0, 0, b), p(0, 0)})},
        {5, join({p(0, 0, b), p(0, 3, b), p(2, 3, b), p(2, 0, b)})},
    };
    for (auto &c : cases) {
        GVector v{};
        ASSERT_EQ(gsurf_GGetSurfaceEdge(&v, s, c.edge, b), 0);
        std::vector<double> got;
        for (long i = 0; i < v.count; i++)
            for (int k = 0; k < 3; k++)
                got.push_back(gvector_GGetValue(&v, i, k));
        EXPECT_EQ(got, c.points) << c.edge;
        gvector_GFreeVectorData(&v);
    }
    GVector v{};
    EXPECT_EQ(gsurf_GGetSurfaceEdge(&v, s, 6, 0), -1);
    EXPECT_EQ(last_error(), std::make_pair(3, 22));
    gsurf_GDestroySurface(s);

    GSurface *empty = gsurf_GCreateSurface(-1, GV_FLOAT);
    for (int edge = 1; edge <= 5; edge++) {
        EXPECT_EQ(gsurf_GGetSurfaceEdge(&v, empty, edge, 0), 0);
        EXPECT_EQ(v.count, 0);
        EXPECT_EQ(v.data[0], nullptr);
    }
    gsurf_GDestroySurface(empty);
}

TEST_F(Surfaces, DepthListOfATiltedSurface)
{
    view(30 * 64, 20 * 64);
    // Five rows of four points, each row ended: six arrays.
    GSurface *s = gsurf_GCreateSurface(-1, GV_DOUBLE);
    for (int r = 0; r < 5; r++)
        for (int c = 0; c < 4; c++)
            add(s, {25.0 * c, 10.0 * r + 5 * c, 20.0 * r}, c, c == 3 ? GSURF_ROW : GSURF_POINT);
    long n = 0;
    GDepthEntry *list = gsurf_GSurfaceCreateDepthList(cv, s, &n);
    ASSERT_EQ(n, (6 - 2) * (4 - 1));
    std::set<std::pair<int, int>> seen;
    for (long i = 0; i < n; i++) {
        if (i > 0) {
            EXPECT_LE(list[i - 1].depth, list[i].depth);
        }
        seen.insert({list[i].column, list[i].row});
        // The depth is the first corner's device z.
        double w[3] = {25.0 * list[i].column, 10.0 * list[i].row + 5 * list[i].column, 20.0 * list[i].row};
        GVector in{GV_DOUBLE, 0, 3, 1, {w, nullptr, nullptr}}, out{};
        GTransformPoints(cv, GCS_WC, GCS_DC, &in, &out);
        EXPECT_EQ(list[i].depth, static_cast<int16_t *>(out.data[0])[2]);
        gvector_GFreeVectorData(&out);
    }
    EXPECT_EQ(seen.size(), 12u);
    EXPECT_LT(list[0].depth, list[n - 1].depth);  // the tilt gives different depths
    vx_free(list);
    gsurf_GDestroySurface(s);

    // Too few arrays, or rows shorter than the first: no read past them.
    struct Case {
        std::vector<std::vector<long>> rows;
        long count;
    } cases[] = {{{}, 0}, {{{0, 1, 2}}, 0}, {{{0, 1, 2, 3}, {0}, {0, 1}}, 6}};
    for (auto &c : cases) {
        GSurface *t = rows_of(c.rows);
        long k = 99;
        GDepthEntry *l = gsurf_GSurfaceCreateDepthList(cv, t, &k);
        EXPECT_EQ(k, c.count);
        EXPECT_EQ(l == nullptr, c.count == 0);
        vx_free(l);
        gsurf_GDestroySurface(t);
    }
    // A first row longer than a 16-bit column holds is refused, not wrapped.
    GSurface *wide = gsurf_GCreateSurface(-1, GV_SHORT);
    for (int r = 0; r < 3; r++)
        for (long c = 0; c < 32770; c++)
            add(wide, {0, 0, 0}, c, c == 32769 ? GSURF_ROW : GSURF_POINT);
    EXPECT_EQ(gsurf_GSurfaceCreateDepthList(cv, wide, &n), nullptr);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(last_error(), std::make_pair(3, 22));
    gsurf_GDestroySurface(wide);
}

// ---- borders -------------------------------------------------------------

TEST_F(Surfaces, CanvasAndDeviceBorders)
{
    GCanvasModes m{};
    m.origin[0] = 100;
    m.origin[1] = 200;
    m.size[0] = 1000;
    m.size[1] = 500;
    m.clip = 2;
    m.coords = GCS_WC;
    GSetCanvasModes(cv, GCM_ORIGIN | GCM_SIZE | GCM_CLIP | GCM_COORDS, &m);
    grec::clear();
    GXform *current = cv->current;
    EXPECT_EQ(GDrawCanvasBorder(cv), 0);
    EXPECT_EQ(segments(), (std::vector<std::vector<double>>{
                              {100, 200, 1099, 200}, {1099, 200, 1099, 699}, {1099, 699, 100, 699}, {100, 699, 100, 200}}));
    // The driver heard of clipping off, then of it back on.
    auto modes = grec::of(22);
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(cv->modes.clip, 2);
    EXPECT_EQ(cv->current, current);

    grec::clear();
    EXPECT_EQ(GDrawDeviceBorder(cv), 0);
    EXPECT_EQ(flat(grec::of(9).at(0).points[0]), (std::vector<double>{0, 0, 0, 4095, 4095, 4095, 4095, 0, 0, 0}));
    EXPECT_EQ(cv->current, current);
}

TEST_F(Surfaces, TwoDimensionalPlotSpaceBorder)
{
    GCanvasModes m{};
    double w[6] = {0, 0, 0, 10, 10, 10};
    memcpy(m.world, w, sizeof w);
    m.coords = GCS_CC;
    GSetCanvasModes(cv, GCM_WORLD | GCM_COORDS, &m);
    grec::clear();
    EXPECT_EQ(GDrawPlotSpaceBorder(cv), 0);
    // The plot space is 80% of the default canvas size (3276): 2620 units
    // for the world's 10.
    EXPECT_EQ(flat(grec::of(9).at(0).points[0]), (std::vector<double>{0, 0, 0, 2620, 2620, 2620, 2620, 0, 0, 0}));
    EXPECT_EQ(cv->current, &cv->xf[GX_CC]);
}

TEST_F(Surfaces, BoxBorderLeavesOutTheNearestCorner)
{
    const int edges[12][2] = {{0, 1}, {0, 2}, {0, 4}, {5, 1}, {5, 4}, {5, 7},
                              {3, 1}, {3, 2}, {3, 7}, {6, 2}, {6, 4}, {6, 7}};
    std::set<int> nearest_seen;
    for (long a : {30, -30})
        for (long b : {45, 135, -45, -135}) {
            view(a * 64, b * 64);
            // Canvas z grows with x as sin b, with y as sin a, with z as cos b.
            int nearest = (std::sin(b * M_PI / 180) > 0 ? 4 : 0) | (a > 0 ? 2 : 0) | (std::cos(b * M_PI / 180) > 0 ? 1 : 0);
            nearest_seen.insert(nearest);
            // The corners' device points, to tell the drawn edges by.
            double wc[24];
            for (int k = 0; k < 8; k++) {
                wc[3 * k] = (k & 4) ? 100 : 0;
                wc[3 * k + 1] = (k & 2) ? 100 : 0;
                wc[3 * k + 2] = (k & 1) ? 100 : 0;
            }
            GVector in{GV_DOUBLE, 0, 3, 8, {wc, nullptr, nullptr}}, out{};
            GTransformPoints(cv, GCS_WC, GCS_DC, &in, &out);
            const int16_t *dc = static_cast<const int16_t *>(out.data[0]);
            auto corner_at = [&](double x, double y) {
                for (int k = 0; k < 8; k++)
                    if (std::fabs(dc[3 * k] - x) <= 1 && std::fabs(dc[3 * k + 1] - y) <= 1)
                        return k;
                return -1;
            };
            EXPECT_EQ(GDrawPlotSpaceBorder(cv), 0);
            std::set<std::pair<int, int>> drawn;
            for (auto &s : segments()) {
                int p = corner_at(s[0], s[1]), q = corner_at(s[2], s[3]);
                drawn.insert({std::min(p, q), std::max(p, q)});
            }
            std::set<std::pair<int, int>> expected;
            for (auto &e : edges)
                if (e[0] != nearest && e[1] != nearest)
                    expected.insert({std::min(e[0], e[1]), std::max(e[0], e[1])});
            EXPECT_EQ(grec::count(7), 9) << a << " " << b;
            EXPECT_EQ(drawn, expected) << a << " " << b;
            int x = -1, y = -1, z = -1;
            GGet3dBackPlanes(cv, &x, &y, &z);
            EXPECT_EQ(x * 4 + y * 2 + z, nearest) << a << " " << b;
            gvector_GFreeVectorData(&out);
        }
    EXPECT_EQ(nearest_seen.size(), 8u);
}

TEST_F(Surfaces, AxisOrientations)
{
    // -1: an axis seen end on, whose direction is rounding noise.
    struct Case {
        long a, b;
        int x, y, z;
    } cases[] = {
        {0, 0, 0, 5760, 0},           // x to the right, y straight up, z end on (a zero vector)
        {30, 0, 0, 5760, 17280},      // z tipped straight down
        {0, 180, 11520, 5760, -1},    // seen from behind: x to the left
        {0, 90, -1, 5760, 11520},     // z to the left
    };
    for (auto &c : cases) {
        view(c.a * 64, c.b * 64);
        int16_t got[3] = {-1, -1, -1};
        EXPECT_EQ(GGetAxisOrientations(cv, &got[0], &got[1], &got[2]), 0);
        int want[3] = {c.x, c.y, c.z};
        for (int i = 0; i < 3; i++)
            if (want[i] != -1) {
                EXPECT_EQ(got[i], want[i]) << c.a << " " << c.b << " axis " << i;
            }
    }
}

}  // namespace
