// Clipping regions, the line splitters and the region's clip outline.

#include "pelxfixture.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>
#include <set>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

std::vector<double> xy_of(const GRegion *r)
{
    std::vector<double> v;
    for (GRegionPoint *p = r->first; p; p = p->next)
        v.insert(v.end(), {p->x, p->y});
    return v;
}

GRegion *region_of(std::vector<double> xy)
{
    GRegion *r = gclip_GCreateRegion(7);
    std::vector<double> pts;
    for (size_t i = 0; i + 1 < xy.size(); i += 2)
        pts.insert(pts.end(), {xy[i], xy[i + 1], 0});
    gclip_GAddToRegion(r, 0, static_cast<long>(pts.size() / 3), pts.data(), 1);
    return r;
}

// The points of a polygon as a set of corners, whatever the starting point.
std::set<std::pair<double, double>> corners(const std::vector<double> &xy)
{
    std::set<std::pair<double, double>> s;
    for (size_t i = 0; i + 1 < xy.size(); i += 2)
        s.insert({xy[i], xy[i + 1]});
    return s;
}

TEST(Regions, OrientationAndSides)
{
    double a[2] = {0, 0}, b[2] = {1, 0}, c[2] = {1, 1}, d[2] = {2, 0};
    EXPECT_EQ(orient2d(a, b, c), 1);
    EXPECT_EQ(orient2d(a, c, b), -1);
    EXPECT_EQ(orient2d(a, b, d), 0);
    EXPECT_EQ(gclip_GSide(0, 0, 1, 0, 5, 1), 1);
    EXPECT_EQ(gclip_GSide(0, 0, 1, 0, 5, -1), -1);
    EXPECT_EQ(gclip_GSide(0, 0, 1, 0, 5, 1e-7), 0);  // within the tolerance
}

TEST(Regions, PointsListAndFastAccess)
{
    GRegion *r = gclip_GCreateRegion(3);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->flag, 3);
    EXPECT_EQ(r->fast_size, 512);
    std::vector<double> pts;
    for (int i = 0; i < 600; i++)
        pts.insert(pts.end(), {double(i), double(2 * i), 0});
    gclip_GAddToRegion(r, 0, 511, pts.data(), 0);
    EXPECT_EQ(r->fast_size, 512);
    gclip_GAddToRegion(r, 511, 1, pts.data() + 3 * 511, 0);  // the 512th point
    EXPECT_EQ(r->count, 512);
    EXPECT_EQ(r->fast_size, 1024);
    for (long i = 0; i < 512; i++)
        ASSERT_EQ(r->fast[i]->x, i);
    EXPECT_EQ(r->fast[512], nullptr);
    EXPECT_EQ(r->first->x, 0);
    EXPECT_EQ(r->last->x, 511);
    // A later region starts with the grown size.
    GRegion *later = gclip_GCreateRegion(0);
    EXPECT_EQ(later->fast_size, 1024);
    gclip_GDestroyRegion(later);

    // Deleting relinks the neighbours and moves the ends.
    EXPECT_EQ(GDeleteFromRegion(r, 0, 2, 1), 0);
    EXPECT_EQ(GDeleteFromRegion(r, 505, 5, 1), 0);
    EXPECT_EQ(r->count, 505);
    EXPECT_EQ(r->first->x, 2);
    EXPECT_EQ(r->first->prev, nullptr);
    EXPECT_EQ(r->last->x, 506);
    EXPECT_EQ(r->last->next, nullptr);
    EXPECT_EQ(r->fast[504]->x, 506);
    EXPECT_EQ(r->fast[505], nullptr);
    EXPECT_EQ(GDeleteFromRegion(r, 500, 6, 1), -1);
    EXPECT_EQ(GDeleteFromRegion(nullptr, 0, 1, 1), -1);
    gclip_GDestroyRegion(r);
    gclip_GDestroyRegion(nullptr);
    gclip_GAddToRegion(nullptr, 0, 1, pts.data(), 1);
}

TEST(Regions, IntersectingPolygons)
{
    // Two overlapping squares, one given clockwise: their common square.
    struct Case {
        std::vector<double> a, b;
        std::set<std::pair<double, double>> common;
    } cases[] = {
        {{0, 0, 2, 0, 2, 2, 0, 2}, {1, 1, 3, 1, 3, 3, 1, 3}, {{1, 1}, {2, 1}, {2, 2}, {1, 2}}},
        {{0, 0, 2, 0, 2, 2, 0, 2, 0, 0}, {1, 1, 1, 3, 3, 3, 3, 1}, {{1, 1}, {2, 1}, {2, 2}, {1, 2}}},
        {{0, 0, 4, 0, 4, 4, 0, 4}, {1, 1, 2, 1, 2, 2}, {{1, 1}, {2, 1}, {2, 2}}},  // one inside the other
        {{0, 0, 1, 0, 1, 1, 0, 1}, {5, 5, 6, 5, 6, 6}, {}},                        // apart
    };
    for (auto &c : cases)
        for (int mode : {0, 1}) {
            GRegion *r = region_of(c.a);
            std::vector<double> b;
            for (size_t i = 0; i + 1 < c.b.size(); i += 2)
                b.insert(b.end(), {c.b[i], c.b[i + 1], 0});
            ASSERT_EQ(gclip_GIntersectWithRegion(r, static_cast<long>(b.size() / 3), b.data(), mode), r);
            EXPECT_EQ(corners(xy_of(r)), c.common) << mode << " " << c.b[0];
            EXPECT_EQ(r->count, static_cast<int32_t>(c.common.size()));
            for (GRegionPoint *p = r->first; p; p = p->next)
                EXPECT_EQ(p->z, 0);
            gclip_GDestroyRegion(r);

            GRegion *x = region_of(c.a), *y = region_of(c.b);
            ASSERT_EQ(gclip_GIntersectRegions(x, y), x);  // y is destroyed
            EXPECT_EQ(corners(xy_of(x)), c.common);
            gclip_GDestroyRegion(x);
        }
    // Collinear start points: refused, the region as it was.
    GRegion *r = region_of({0, 0, 2, 0, 2, 2, 0, 2});
    double line[9] = {0, 0, 0, 1, 0, 0, 2, 0, 0};
    EXPECT_EQ(gclip_GIntersectWithRegion(r, 3, line, 1), nullptr);
    EXPECT_EQ(r->count, 4);
    EXPECT_EQ(gclip_GIntersectWithRegion(nullptr, 3, line, 1), nullptr);
    EXPECT_EQ(gclip_GIntersectRegions(r, nullptr), nullptr);
    // The three that do nothing.
    EXPECT_EQ(gclip_GAddPointToRegion(r), r);
    EXPECT_EQ(gclip_GClipSurfaceToRegion(r), r);
    EXPECT_EQ(gclip_GUnionRegions(r), r);
    gclip_GDestroyRegion(r);
}

TEST(Regions, ClippingHasNoFixedLimit)
{
    // A polygon of 3000 points on a circle, clipped by a large square:
    // every point kept, in growing storage.
    std::vector<double> circle;
    for (int i = 0; i < 3000; i++)
        circle.insert(circle.end(), {100 * std::cos(i * 2 * M_PI / 3000), 100 * std::sin(i * 2 * M_PI / 3000), 0});
    GRegion *r = gclip_GCreateRegion(0);
    gclip_GAddToRegion(r, 0, 3000, circle.data(), 1);
    double square[12] = {-200, -200, 0, 200, -200, 0, 200, 200, 0, -200, 200, 0};
    gclip_GIntersectWithRegion(r, 4, square, 1);
    EXPECT_EQ(r->count, 3000);
    EXPECT_GE(r->fast_size, 3001);
    // The outline walk stops at 100 points.
    gclip_GIntersectWithRegion(r, 4, square, 0);
    EXPECT_EQ(r->count, 100);
    gclip_GDestroyRegion(r);
}

TEST(Regions, Splitters)
{
    double p2[2] = {0, 0}, q2[2] = {2, 4}, p3[3] = {0, 0, 0}, q3[3] = {2, 4, 8}, flat3[3] = {2, 0, 8};
    GVector a{GV_DOUBLE, 0, 2, 1, {p2, nullptr, nullptr}}, b{GV_DOUBLE, 0, 2, 1, {q2, nullptr, nullptr}};
    GVector c{GV_DOUBLE, 0, 3, 1, {p3, nullptr, nullptr}}, d{GV_DOUBLE, 0, 3, 1, {q3, nullptr, nullptr}};
    GVector level{GV_DOUBLE, 0, 3, 1, {flat3, nullptr, nullptr}};
    const double *s = gclip_GSplitLine(&a, &b, 1);
    EXPECT_EQ(std::vector<double>(s, s + 3), (std::vector<double>{0.5, 1, 0}));
    s = gclip_GSplitLine(&c, &d, 2);
    EXPECT_EQ(std::vector<double>(s, s + 3), (std::vector<double>{1, 2, 4}));
    s = gclip_GSplitZLine(&c, &d, 2);
    EXPECT_EQ(std::vector<double>(s, s + 3), (std::vector<double>{0.5, 1, 2}));
    s = gclip_GSplitLine(&c, &level, 2);  // level in y: no single crossing
    EXPECT_EQ(std::vector<double>(s, s + 3), (std::vector<double>{0, 0, 0}));
    int16_t si[2] = {3, 4};
    GVector sv{GV_SHORT, 0, 2, 1, {si, nullptr, nullptr}};
    EXPECT_EQ(gclip_GSplitLine(&a, &sv, 1), static_cast<const double *>(static_cast<void *>(si)));
}

class RegionsOnCanvas : public OnDevice {};

TEST_F(RegionsOnCanvas, SurfacesInAndOut)
{
    open(GP_POSTSCRIPT);
    canvas(4095, GCS_WC);
    GCanvasModes m{};
    double w[6] = {0, 0, 0, 100, 100, 100};
    memcpy(m.world, w, sizeof w);
    GSetCanvasModes(cv, GCM_WORLD, &m);
    // Two arrays of a surface, in world coordinates: two squares.
    GSurface *s = gsurf_GCreateSurface(-1, GV_DOUBLE);
    double sq1[4][3] = {{0, 0, 0}, {50, 0, 0}, {50, 50, 0}, {0, 50, 0}};
    double sq2[4][3] = {{25, 25, 0}, {75, 25, 0}, {75, 75, 0}, {25, 75, 0}};
    for (int i = 0; i < 4; i++)
        gsurf_GAddSurfacePoint(s, sq1[i], i, i == 3 ? GSURF_ARRAY : GSURF_POINT);
    for (int i = 0; i < 4; i++)
        gsurf_GAddSurfacePoint(s, sq2[i], i, i == 3 ? GSURF_ARRAY : GSURF_POINT);
    GRegion *r = gclip_GCreateRegion(0);
    EXPECT_EQ(gclip_GAddSurfaceToRegion(cv, r, s, 1, 1), cv);  // the first array only
    EXPECT_EQ(r->count, 4);
    gclip_GAddSurfaceToRegion(cv, r, s, -1, 1);  // then combined with the second
    GSurface *back = gclip_GGetSurfaceFromRegion(cv, r);
    ASSERT_NE(back, nullptr);
    // The common square in world coordinates, closed by its first point.
    ASSERT_EQ(back->points.count, 5);
    std::set<std::pair<double, double>> got;
    for (long i = 0; i < 4; i++)
        got.insert({std::round(gvector_GGetValue(&back->points, i, 0)), std::round(gvector_GGetValue(&back->points, i, 1))});
    EXPECT_EQ(got, (std::set<std::pair<double, double>>{{25, 25}, {50, 25}, {50, 50}, {25, 50}}));
    EXPECT_EQ(gvector_GGetValue(&back->points, 4, 0), gvector_GGetValue(&back->points, 0, 0));
    EXPECT_EQ(back->rows, 1);
    // Handed to the driver as its clip outline, in device units.
    grec::clear();
    EXPECT_EQ(GClipToSurface(cv, back), 0);
    auto clip = grec::of(33);
    ASSERT_EQ(clip.size(), 1u);
    EXPECT_EQ(clip[0].points.at(0).count(), 5);
    EXPECT_EQ(clip[0].points.at(0).type, GV_SHORT);
    EXPECT_EQ(gclip_GGetSurfaceFromRegion(cv, nullptr), nullptr);
    gsurf_GDestroySurface(back);
    gsurf_GDestroySurface(s);
    gclip_GDestroyRegion(r);
}

TEST_F(RegionsOnCanvas, ClockwiseRegionIsWarnedAboutAndUsed)
{
    open(GP_POSTSCRIPT);
    canvas();
    GRegion *r = region_of({10, 10, 10, 20, 20, 20, 20, 10});
    GCanvasModes m{};
    m.extra = reinterpret_cast<int64_t>(r);
    GSetCanvasModes(cv, GCM_EXTRA, &m);
    double p[4] = {0, 15, 30, 15};
    GVector v{GV_DOUBLE, 0, 2, 2, {p, nullptr, nullptr}};
    double *kept = nullptr;
    long n = 0, *pieces = nullptr;
    CaptureStderr();
    EXPECT_EQ(GClipLine(cv, &v, &kept, &n, &pieces), 1);
    EXPECT_EQ(GetCapturedStderr(), "Polygons not anticlockwise\n");
    ASSERT_EQ(n, 2);
    EXPECT_EQ(std::vector<double>(kept, kept + 6), (std::vector<double>{10, 15, 0, 20, 15, 0}));
    vx_free(kept);
    vx_free(pieces);
    gclip_GDestroyRegion(r);
}

}  // namespace
