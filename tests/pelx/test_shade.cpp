// Light sources, vertex normals, shaded rendering and data classes on the
// recording driver: the light's direction from the view and light angles,
// the colour indices of flat, tilted and curved grids and of surfaces, the
// rasterised patches in the recorded image, and data classes wrapped,
// filled, completed, rendered and freed, with an allocation failure at
// every step.

#include "contourfixture.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

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

class Shading : public OnGrid {
protected:
    void SetUp() override
    {
        OnDevice::SetUp();
        grec::answers() = grec::Answers{};
        tables(256);
        device(GP_IMAGE, 200);
    }
    void TearDown() override
    {
        glight_GFreeLightSource(light);
        vx_free(colours);
        vx_free(list);
        OnGrid::TearDown();
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolour_GDestroyColourTable(nullptr);
    }
    // Colour map 0 of n colours (colour k of red k); eight device colours,
    // colour i of green 10 i.
    void tables(long n)
    {
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolour_GDestroyColourTable(nullptr);
        gcolmap_GCreateDefColourMapTable();
        GColourMap m{};
        strcpy(m.name, "ramp");
        m.colours = glist_GCreateList();
        for (long k = 0; k < n; k++) {
            GColour c{};
            c.red = static_cast<uint16_t>(std::lround(k * 65356.0 / 255 + 1));
            gcolour_GAddMoreColour(m.colours, &c);
        }
        gcolmap_GAddColourMap(&m);
        gcolour_GDestroyColourTable(m.colours);
        gcolmap_GIndexColourMapTable();
        gcolour_GCreateDefColourTable();
        for (int i = 0; i < 8; i++) {
            GColour c{};
            c.green = static_cast<uint16_t>(std::lround(i * 10 * 65356.0 / 255 + 1));
            gcolour_GAddColour(&c);
        }
        gcolour_GIndexColourTable();
    }
    // A device of size x size units with its own copies of the tables, and
    // a canvas over it in world coordinates 0 .. 1 on every axis, its plot
    // space the whole canvas.
    void device(unsigned char protocol, long size)
    {
        if (dev)
            GCloseDevice(dev);
        GDeviceModes m{};
        m.protocol = protocol;
        m.dcxdim = m.dcydim = size;
        m.colourmap = -1;
        m.bitdepth = 24;
        GList *t[GT_COUNT] = {gcolour_GCreateDevColourTable(), nullptr, nullptr, nullptr, nullptr,
                              gcolmap_GCreateDevColourMapTable()};
        dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM | GDM_COLOURMAP | GDM_BITDEPTH, &m, t);
        ASSERT_NE(dev, nullptr);
        GCanvasModes cm{};
        cm.coords = GCS_WC;
        cm.clip = 0;
        cm.size[0] = cm.size[1] = cm.size[2] = 4095;
        cm.pssize[0] = cm.pssize[1] = cm.pssize[2] = 4095;
        const double w[6] = {0, 0, 0, 1, 1, 1};
        for (int i = 0; i < 6; i++)
            cm.world[i] = w[i];
        cv = GOpenCanvas(dev, GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_COORDS | GCM_CLIP | GCM_WORLD, &cm);
        ASSERT_NE(cv, nullptr);
        grec::clear();
    }
    void world(const double w[6])
    {
        GCanvasModes cm{};
        for (int i = 0; i < 6; i++)
            cm.world[i] = w[i];
        GSetCanvasModes(cv, GCM_WORLD, &cm);
    }
    void angles(long x, long y, long elevation = 0, long rotation = 0)
    {
        GLightModes l = cv->light;
        l.x_angle = x;
        l.y_angle = y;
        glight_GSetLightModes(cv, GLTM_XANGLE | GLTM_YANGLE, &l);
        GCanvasModes cm{};
        cm.angle1 = elevation;
        cm.angle2 = rotation;
        GSetCanvasModes(cv, GCM_ANGLE1 | GCM_ANGLE2, &cm);
    }
    // The grid's vertex colours under the canvas's light.
    void shade()
    {
        glight_GFreeLightSource(light);
        vx_free(colours);
        vx_free(list);
        light = glight_GCreateLightSource(cv);
        ASSERT_NE(light, nullptr);
        colours = gnormal_GGridSetVertexNormalColours(cv, g, light, &list, &count);
    }
    // The red byte of a recorded pixel: the colour-map index it stands for.
    static long index_at(const grec::Image &im, long column, long row)
    {
        return static_cast<long>((im.pixel(column, row) >> 16) & 0xFF);
    }

    GLightSource *light = nullptr;
    unsigned char *colours = nullptr;
    GDepthEntry *list = nullptr;
    long count = 0;
};

TEST_F(Shading, LightModesAndTheLightsDirection)
{
    GLightModes m{};
    glight_GGetLightModes(cv, &m);
    EXPECT_EQ(m.x_angle, 0);
    EXPECT_EQ(m.y_angle, 0);
    EXPECT_EQ(m.ambient, 0.3);
    EXPECT_EQ(m.intensity, 0.9);
    GLightModes s{5, 6, 0.5, 0.7};
    glight_GSetLightModes(cv, GLTM_AMBIENT | GLTM_YANGLE, &s);
    glight_GGetLightModes(cv, &m);
    EXPECT_EQ(m.x_angle, 0);
    EXPECT_EQ(m.y_angle, 6);
    EXPECT_EQ(m.ambient, 0.5);
    EXPECT_EQ(m.intensity, 0.9);
    glight_GSetDefaultLightModes(cv);

    const struct {
        long x, y, elevation, rotation;
        double l[3];
    } cases[] = {
        {0, 0, 0, 0, {0, 0, 1}},          {90, 0, 0, 0, {0, 1, 0}},          {-90, 0, 0, 0, {0, -1, 0}},
        {0, 90, 0, 0, {1, 0, 0}},         {0, 0, 0, 90 * 64, {1, 0, 0}},     {30, 0, -30 * 64, 0, {0, 0, 1}},
        {0, 180, 0, 0, {0, 0, -1}},       {45, 0, 0, 0, {0, M_SQRT1_2, M_SQRT1_2}},
    };
    for (const auto &c : cases) {
        angles(c.x, c.y, c.elevation, c.rotation);
        GLightSource *l = glight_GCreateLightSource(cv);
        ASSERT_NE(l, nullptr);
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(l->direction[i], c.l[i], 1e-12) << c.x << " " << c.y << " " << i;
        EXPECT_EQ(l->source, 1.0);
        EXPECT_EQ(l->other[0], 0.4);
        EXPECT_EQ(l->other[1], 0.4);
        EXPECT_EQ(l->intensity, 0.9);
        EXPECT_EQ(l->ambient, 0.3);
        EXPECT_EQ(l->in_use, 1);
        glight_GFreeLightSource(l);
    }
    glight_GFreeLightSource(nullptr);
}

TEST_F(Shading, AFlatGridLitFromAboveAndFromBelow)
{
    make(4, 3, 0, 0.25, 0, 0.5, [](double, double) { return 0.5; });
    const struct {
        long x;
        unsigned char index;
    } cases[] = {{90, 237}, {-90, 76}, {0, 76}};
    for (const auto &c : cases) {
        angles(c.x, 0);
        shade();
        ASSERT_NE(colours, nullptr);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(count, 6);
        for (long e = 0; e < 12; e++)
            EXPECT_EQ(colours[e], c.index) << c.x << " node " << e;
    }
}

TEST_F(Shading, ATiltedPlaneLitAlongItsNormalIsEvenlyBright)
{
    // y = 0.2 + 0.3 x + 0.4 z in a world box of ranges 2, 4 and 5: the
    // scaled plane's normal is (-0.3 * 2 / 4 ... ) up to length.
    const double w[6] = {0, -1, 0, 2, 3, 5};
    world(w);
    make(5, 6, 0, 0.5, 0, 1, [](double x, double z) { return 0.2 + 0.3 * x + 0.4 * z; });
    double n[3] = {-0.3 / 4 * 2, 1.0, -0.4 / 4 * 5};
    double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    GLightSource l{};
    for (int i = 0; i < 3; i++)
        l.direction[i] = n[i] / len;
    l.source = 1;
    l.intensity = 0.9;
    l.ambient = 0.3;
    colours = gnormal_GGridSetVertexNormalColours(cv, g, &l, &list, &count);
    ASSERT_NE(colours, nullptr);
    for (long e = 0; e < 30; e++)
        EXPECT_EQ(colours[e], 237) << e;
}

TEST_F(Shading, TheParaboloidsNodesFollowItsNormal)
{
    // y = x^2 + z^2 over [-1, 1]^2 in a world box of ranges 2, 2, 2: the
    // scaled normal of the surface at (x, z) is (-2x, 1, -2z) up to length.
    const double w[6] = {-1, 0, -1, 1, 2, 1};
    world(w);
    make(41, 41, -1, 0.05, -1, 0.05, [](double x, double z) { return x * x + z * z; });
    angles(40, 25);
    shade();
    ASSERT_NE(colours, nullptr);
    const double *L = light->direction;
    int worst = 0;
    for (long i = 0; i < 41; i++)
        for (long k = 0; k < 41; k++) {
            double x = -1 + 0.05 * i, z = -1 + 0.05 * k;
            double n[3] = {-2 * x, 1, -2 * z};
            double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            double d = std::max(0.0, (n[0] * L[0] + n[1] * L[1] + n[2] * L[2]) / len);
            long want = static_cast<long>(255 * (0.9 * 0.7 * d + 0.3));
            long got = colours[k * 41 + i];
            // A node on the grid's edge averages the patches on one side
            // only, half a step in: one index more of slack there.
            bool edge = i == 0 || k == 0 || i == 40 || k == 40;
            if (!edge)
                worst = std::max(worst, static_cast<int>(std::labs(got - want)));
            EXPECT_LE(std::labs(got - want), edge ? 2 : 1) << i << " " << k;
        }
    EXPECT_LE(worst, 1);
}

TEST_F(Shading, FailuresLeaveNoColours)
{
    make(3, 3, 0, 0.5, 0, 0.5, [](double x, double) { return x; });
    light = glight_GCreateLightSource(cv);
    // A map of one colour has nothing to shade with.
    tables(1);
    device(GP_IMAGE, 200);
    count = 9;
    EXPECT_EQ(gnormal_GGridSetVertexNormalColours(cv, g, light, &list, &count), nullptr);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    tables(256);
    device(GP_IMAGE, 200);
    for (long n = 0; n < 4; n++) {
        FailingAllocator fail(n);
        unsigned char *c = gnormal_GGridSetVertexNormalColours(cv, g, light, &list, &count);
        if (n < 3) {
            EXPECT_EQ(c, nullptr) << n;
            EXPECT_EQ(list, nullptr);
            EXPECT_EQ(last_error(), std::make_pair(4, 3));
        } else {
            EXPECT_NE(c, nullptr);
            vx_free(c);
            vx_free(list);
            list = nullptr;
        }
    }
    {
        FailingAllocator fail(0);
        EXPECT_EQ(glight_GCreateLightSource(cv), nullptr);
    }
    // A NaN height: the nodes that a patch with a NaN normal touches get
    // 255; node (0, 2) touches only patch (0, 1), whose normal comes from
    // nodes (0, 1), (0, 2) and (1, 2).
    g->values[1][1].value = NAN;
    colours = gnormal_GGridSetVertexNormalColours(cv, g, light, &list, &count);
    ASSERT_NE(colours, nullptr);
    for (long e = 0; e < 9; e++) {
        if (e != 6) {
            EXPECT_EQ(colours[e], 255) << e;
        }
    }
    EXPECT_NE(colours[6], 255);
}

TEST_F(Shading, SurfacesAndSinglePolygons)
{
    // A flat surface: three arrays of three points at y = 0.5.
    GSurface *s = gsurf_GCreateSurface(-1, 0);
    for (int n = 0; n < 3; n++)
        for (int p = 0; p < 3; p++) {
            double pt[3] = {0.5 * p, 0.5, 0.5 * n};
            ASSERT_EQ(gsurf_GAddSurfacePoint(s, pt, p, p == 2 ? GSURF_ARRAY : GSURF_POINT), 0);
        }
    angles(90, 0);
    light = glight_GCreateLightSource(cv);
    // u runs along the arrays (z) and w along the points (x): facing up.
    colours = gnormal_GSurfaceSetVertexNormalColours(cv, s, light, &list, &count);
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(count, 4);
    for (long e = 0; e < 9; e++)
        EXPECT_EQ(colours[e], 237) << e;
    gsurf_GDestroySurface(s);

    // One polygon facing up, lit from above: every entry the same.
    double poly[12] = {0, 0.5, 0, 0, 0.5, 1, 1, 0.5, 1, 0, 0.5, 0};
    GVector v{GV_DOUBLE, 0, 3, 4, {poly, nullptr, nullptr}};
    unsigned char flat[4] = {1, 2, 3, 4};
    EXPECT_EQ(gnormal_GSetVertexNormalColours(cv, &v, light, flat), cv);
    for (unsigned char f : flat)
        EXPECT_EQ(f, 237);

    // A surface of one row has no patches.
    s = gsurf_GCreateSurface(-1, 0);
    for (int p = 0; p < 3; p++) {
        double pt[3] = {0.5 * p, 0.5, 0};
        gsurf_GAddSurfacePoint(s, pt, p, GSURF_POINT);
    }
    vx_free(colours);
    vx_free(list);
    list = nullptr;
    colours = gnormal_GSurfaceSetVertexNormalColours(cv, s, light, &list, &count);
    EXPECT_EQ(colours, nullptr);
    EXPECT_EQ(count, 0);
    gsurf_GDestroySurface(s);
}

// ---- rendering ----------------------------------------------------------------------

class Rendering : public Shading {
protected:
    // y = z on 0 .. 1: seen along z the grid fills the plot area.
    void slope(long n)
    {
        make(n, n, 0, 1.0 / (n - 1), 0, 1.0 / (n - 1), [](double, double z) { return z; });
    }
    grec::Image render(const unsigned char *c, const GDepthEntry *l, long n)
    {
        grec::clear();
        EXPECT_EQ(grender_GRenderGridData(cv, g, c, l, n), 0);
        std::vector<grec::Call> images = grec::of(GEP_DRAW_IMAGE);
        return images.empty() ? grec::Image{} : images.back().image;
    }
    long background() const { return 0; }
};

TEST_F(Rendering, DevicesWithoutRasterImagesRefuse)
{
    slope(2);
    GDepthEntry one[1] = {{0, 0, 0}};
    for (unsigned char p : {GP_HPGL, GP_HPGL2}) {
        device(p, 200);
        EXPECT_EQ(grender_GRenderGridData(cv, g, nullptr, one, 1), -1) << int(p);
        EXPECT_EQ(last_error(), std::make_pair(4, 21));
    }
    device(GP_IMAGE, 200);
    dev->modes.protocol = 7;
    EXPECT_EQ(grender_GRenderGridData(cv, g, nullptr, one, 1), -1);
    dev->modes.protocol = GP_IMAGE;
    EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 0);
}

TEST_F(Rendering, OnePatchIsASmoothRamp)
{
    slope(2);
    // Nodes (0, 0), (1, 0), (0, 1), (1, 1) by element k * nx + i.
    unsigned char c[4] = {0, 100, 100, 200};
    GDepthEntry one[1] = {{0, 0, 0}};
    grec::Image im = render(c, one, 1);
    ASSERT_GT(im.width, 100);
    ASSERT_EQ(im.width, im.height);
    long mid = im.width / 2;
    EXPECT_NEAR(index_at(im, mid, mid), 100, 1);
    // Rising towards the far corner along the diagonal, by steps of about
    // 200 / the diagonal's pixels.
    long before = -1;
    for (long p = 1; p + 1 < im.width; p++) {
        long v = index_at(im, p, p);
        EXPECT_GE(v, before) << p;
        EXPECT_LE(v - before, 3) << p;
        before = v;
    }
    EXPECT_LE(index_at(im, 0, 0), 2);
    EXPECT_GE(index_at(im, im.width - 1, im.height - 1), 197);
}

TEST_F(Rendering, NeighbouringPatchesPaintEachPixelOnce)
{
    slope(3);
    unsigned char c[9];
    memset(c, 50, sizeof c);
    GDepthEntry all[4] = {{0, 0, 0}, {1, 0, 1}, {0, 1, 2}, {1, 1, 3}};
    std::vector<grec::Image> one;
    for (const GDepthEntry &e : all)
        one.push_back(render(c, &e, 1));
    grec::Image both = render(c, all, 4);
    ASSERT_GT(both.width, 0);
    long painted = 0;
    for (long r = 0; r < both.height; r++)
        for (long k = 0; k < both.width; k++) {
            int times = 0;
            for (const grec::Image &im : one)
                times += im.width > 0 && index_at(im, k, r) == 50;
            EXPECT_EQ(times, 1) << k << "," << r;
            EXPECT_EQ(index_at(both, k, r), 50);
            painted += times;
        }
    EXPECT_EQ(painted, static_cast<long>(both.width) * both.height);
}

TEST_F(Rendering, PatchesOutsideTheWorldVolumeAreSkipped)
{
    slope(3);
    GCanvasModes cm{};
    cm.clip = 3;
    cm.flag3d = 1;
    GSetCanvasModes(cv, GCM_CLIP | GCM_FLAG3D, &cm);
    unsigned char c[9];
    memset(c, 50, sizeof c);
    GDepthEntry all[4] = {{0, 0, 0}, {1, 0, 1}, {0, 1, 2}, {1, 1, 3}};
    // The world box holds the lower half of x only: the patches of i = 1
    // are skipped, those of i = 0 drawn whole.
    const double w[6] = {0, 0, 0, 0.5, 1, 1};
    world(w);
    grec::Image im = render(c, all, 4);
    ASSERT_GT(im.width, 0);
    EXPECT_EQ(index_at(im, im.width / 4, im.height / 2), 50);
    // Wholly outside: nothing painted, no image.
    const double away[6] = {5, 5, 5, 6, 6, 6};
    world(away);
    render(c, all, 4);
    EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 0);
}

TEST_F(Rendering, BadInputDrawsNothing)
{
    slope(3);
    GDepthEntry all[4] = {{0, 0, 0}, {1, 0, 1}, {0, 1, 2}, {1, 1, 3}};
    EXPECT_EQ(grender_GRenderGridData(cv, g, nullptr, all, 0), 0);
    EXPECT_EQ(grender_GRenderGridData(cv, g, nullptr, nullptr, 4), 0);
    for (long i = 0; i < 3; i++)
        for (long k = 0; k < 3; k++)
            g->values[i][k].value = NAN;
    EXPECT_EQ(grender_GRenderGridData(cv, g, nullptr, all, 4), 0);
    EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 0);
    GSurface *s = gsurf_GCreateSurface(-1, 0);
    EXPECT_EQ(grender_GRenderSurfaceData(cv, s, nullptr, all, 4), 0);
    gsurf_GDestroySurface(s);
    EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 0);
}

TEST_F(Rendering, ValuesBandedByThresholdsAndLitIndicesNot)
{
    slope(2);
    GColourMapModes m{};
    m.range = 2;
    m.levels = 256;
    m.datamin = 0;
    m.datamax = 1;
    gcolmap_GSetColourMapModes(cv, GCMM_RANGE | GCMM_LEVELS | GCMM_DATAMIN | GCMM_DATAMAX, &m);
    GThresholdModes t{};
    t.count = 2;
    t.values[0] = 0;
    t.values[1] = 0.5;
    t.colours[0] = 3;
    t.colours[1] = -1;
    gthresh_GSetThresholdModes(cv, GTHM_COUNT | GTHM_VALUES | GTHM_COLOURS, &t);
    GDepthEntry one[1] = {{0, 0, 0}};
    // By value: the lower band in device colour 3, the upper one spread
    // over the map from 0.5 up.
    grec::Image im = render(nullptr, one, 1);
    ASSERT_GT(im.height, 10);
    EXPECT_EQ(im.pixel(im.width / 2, im.height / 4), static_cast<unsigned long>(30 << 8));
    long top = index_at(im, im.width / 2, im.height - 1), mid = index_at(im, im.width / 2, im.height * 3 / 4);
    EXPECT_GE(top, 250);
    EXPECT_NEAR(mid, 127, 4);
    // Lit: the indices, whatever the thresholds.
    unsigned char c[4] = {10, 10, 10, 10};
    im = render(c, one, 1);
    EXPECT_EQ(index_at(im, im.width / 2, im.height / 4), 10);
    EXPECT_EQ(index_at(im, im.width / 2, im.height * 3 / 4), 10);
}

// ---- data classes -------------------------------------------------------------------

class Classes : public Shading {
protected:
    void mesh_modes(int64_t colouring, int64_t shading, unsigned char skirt = 0)
    {
        GMeshModes m{};
        m.colouring = colouring;
        m.shading = shading;
        m.skirt = skirt;
        gmesh_GSetMeshModes(cv, GMSM_COLOURING | GMSM_SHADING | GMSM_SKIRT, &m);
    }
    void line_colour(long c)
    {
        GLineModes l = cv->line;
        l.colour = c;
        GSetLineModes(cv, GLM_COLOUR, &l);
    }
    GDataClass *grid_class_of(long n, int aggregation = GAGG_SPREAD)
    {
        GGridModes gm{};
        gm.method = GGRID_PROPAGATE;
        gm.aggregation = static_cast<unsigned char>(aggregation);
        ggrid_GSetGridModes(cv, GGM_METHOD | GGM_AGGREGATION | GGM_CENTRES, &gm);
        GGrid *grid = ggrid_GCreateGrid(0, 1.0 / (n - 1), n, 0, 1.0 / (n - 1), n);
        if (!grid)
            return nullptr;
        GDataClass *c = gdclass_GWrapDataClass(grid, GDC_GRID);
        if (!c) {
            ggrid_GDestroyGrid(grid);
            return nullptr;
        }
        for (long i = 0; i < n; i++)
            for (long k = 0; k < n; k++) {
                double p[3] = {i / (n - 1.0), k / (n - 1.0), k / (n - 1.0)};
                EXPECT_EQ(gdclass_GAddDataPoint(cv, c, p, 0, 0), 0);
            }
        return c;
    }
};

TEST_F(Classes, AGridClassFromWrapToFree)
{
    mesh_modes(2, 1);
    line_colour(-1);
    GDataClass *c = grid_class_of(5);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, GDC_GRID);
    EXPECT_EQ(gdclass_GCompleteData(cv, c), 0);
    EXPECT_NE(c->light, nullptr);
    EXPECT_NE(c->colours, nullptr);
    EXPECT_NE(c->list, nullptr);
    EXPECT_EQ(c->count, 16);
    grec::clear();
    EXPECT_EQ(gdclass_GRenderData(cv, c), 0);
    EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 1);
    EXPECT_EQ(grec::count(GEP_DRAW_FILLED_POLYGON), 0);

    // An overlay of the same size: its indices replace the vertex colours.
    long a = 0, b = 0;
    EXPECT_EQ(gdclass_GGetOverlaySize(cv, c, &a, &b), 0);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 5);
    GDataClass *o = grid_class_of(5);
    ASSERT_NE(o, nullptr);
    mesh_modes(0, 1);
    EXPECT_EQ(gdclass_GCompleteData(cv, o), 0);
    EXPECT_EQ(gdclass_GMergeOverlayData(cv, c, o), 0);
    EXPECT_NE(c->colours, nullptr);
    gdclass_GFreeDataClass(c);
    gdclass_GFreeDataClass(nullptr);
}

TEST_F(Classes, ASurfaceClassFromWrapToFree)
{
    mesh_modes(2, 1);
    line_colour(-1);
    GSurface *s = gsurf_GCreateSurface(-1, 0);
    GDataClass *c = gdclass_GWrapDataClass(s, GDC_SURFACE);
    ASSERT_NE(c, nullptr);
    for (int n = 0; n < 4; n++)
        for (int p = 0; p < 4; p++) {
            double pt[3] = {p / 3.0, n / 3.0, n / 3.0};
            EXPECT_EQ(gdclass_GAddDataPoint(cv, c, pt, p, p == 3 ? GSURF_ARRAY : GSURF_POINT), 0);
        }
    EXPECT_EQ(gdclass_GCompleteData(cv, c), 0);
    EXPECT_NE(c->colours, nullptr);
    EXPECT_EQ(c->count, 9);
    grec::clear();
    EXPECT_EQ(gdclass_GRenderData(cv, c), 0);
    EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), 1);
    // The overlay grid of a surface completes bilinearly.
    long a = 0, b = 0;
    EXPECT_EQ(gdclass_GGetOverlaySize(cv, c, &a, &b), 0);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(cv->grid.method, GGRID_BILINEAR);
    gdclass_GFreeDataClass(c);
}

TEST_F(Classes, TheClassesEdgeCases)
{
    int dummy = 0;
    EXPECT_EQ(gdclass_GWrapDataClass(&dummy, 2), nullptr);
    EXPECT_EQ(last_error(), std::make_pair(3, 22));

    // Completion that recomputes the range (a count) gives -3.
    mesh_modes(0, 0);
    for (int aggregation : {GAGG_COUNT, GAGG_SPREAD}) {
        GDataClass *c = grid_class_of(3, aggregation);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(gdclass_GCompleteData(cv, c), aggregation == GAGG_COUNT ? -3 : 0);
        gdclass_GFreeDataClass(c);
    }

    // A line colour other than -1 draws the mesh whatever the method; the
    // skirt only when the mesh modes ask.
    const struct {
        long line;
        int64_t method;
        unsigned char skirt;
        long images, polygons;
    } cases[] = {{3, 1, 0, 0, 4}, {-1, 1, 0, 1, 0}, {-1, 0, 0, 0, 4}, {-1, 1, 1, 1, 1}, {3, 1, 1, 0, 5}};
    for (const auto &k : cases) {
        mesh_modes(0, k.method, k.skirt);
        line_colour(k.line);
        GDataClass *c = grid_class_of(3);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(gdclass_GCompleteData(cv, c), 0);
        grec::clear();
        gdclass_GRenderData(cv, c);
        EXPECT_EQ(grec::count(GEP_DRAW_IMAGE), k.images) << k.line << " " << k.method << " " << int(k.skirt);
        EXPECT_EQ(grec::count(GEP_DRAW_FILLED_POLYGON), k.polygons) << k.line << " " << k.method << " " << int(k.skirt);
        gdclass_GFreeDataClass(c);
    }
    GDataClass *c = grid_class_of(3);
    EXPECT_EQ(gdclass_GSetClassDrawOption(c, 2), -1);
    EXPECT_EQ(gdclass_GSetClassDrawOption(c, 1), 0);
    gdclass_GFreeDataClass(c);
}

TEST_F(Classes, AnAllocationFailureAtEachStepLeavesAClassThatStillFrees)
{
    mesh_modes(2, 1);
    line_colour(-1);
    // Count the allocations of a whole run, then fail each in turn.
    long total = 0;
    {
        FailingAllocator none(-1);
        GDataClass *c = grid_class_of(4);
        ASSERT_NE(c, nullptr);
        gdclass_GCompleteData(cv, c);
        gdclass_GRenderData(cv, c);
        gdclass_GFreeDataClass(c);
        total = alloc_calls;
    }
    ASSERT_GT(total, 5);
    for (long n = 0; n < total; n++) {
        FailingAllocator fail(n);
        GDataClass *c = grid_class_of(4);
        if (!c)
            continue;
        int r = gdclass_GCompleteData(cv, c);
        EXPECT_TRUE(r == 0 || r == -1) << n;
        // Unshaded (no colours) or empty (no list), never half of each.
        if (c->colours) {
            EXPECT_NE(c->list, nullptr) << n;
        } else {
            EXPECT_EQ(c->light, nullptr) << n;
        }
        gdclass_GRenderData(cv, c);
        gdclass_GFreeDataClass(c);
    }
}

}  // namespace
