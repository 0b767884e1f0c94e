// Contours and mesh maps as real pictures: the circle of the paraboloid
// y = x^2 + z^2 at level 0.25, and a 16 x 16 mesh map coloured by value,
// each drawn on the PNG device and on the EPS device (rendered by
// Ghostscript at the PNG's size), probed at computed pixels: the line's
// colour on points of the circle, the background at its centre, and the
// colour map's colour of every cell's node value at the cell's centre.

#include "pelxpic.h"

using namespace pelxpic;

namespace {

TEST_F(Pictures, TheParaboloidsCircleOnPngAndEps)
{
    make(21, -1, 0.1, [](double x, double z) { return x * x + z * z; });
    const double world[6] = {-1.25, -1.25, 0, 1.25, 1.25, 1};
    std::vector<std::array<double, 3>> probes;
    for (int a = 0; a < 360; a += 30)
        probes.push_back({0.5 * std::cos(a * M_PI / 180), 0.5 * std::sin(a * M_PI / 180), 0});
    probes.push_back({0, 0, 0});  // the circle's centre: background
    RGB line{}, background{};
    auto paint = [&](GCanvasRecord *cv) {
        GLineModes l = cv->line;
        l.colour = LINE_COLOUR;
        GSetLineModes(cv, GLM_COLOUR, &l);
        EXPECT_EQ(GDrawContour(cv, grid, 0.25, nullptr), 0);
        line = rgb_of(gcolour_GGetColour(cv->device->tables[GT_COLOURS], LINE_COLOUR));
        background = rgb_of(gcolour_GGetColour(cv->device->tables[GT_COLOURS], 0));
    };
    std::array<std::vector<Spot>, 2> where;
    auto pics = pictures("circle", world, paint, probes, where);
    ASSERT_TRUE(pics[0] && pics[1]);
    ASSERT_NE(line, background);
    const char *what[2] = {"PNG", "EPS"};
    for (int p = 0; p < 2; p++) {
        const IImage *im = pics[size_t(p)].get();
        ASSERT_EQ(im->width, W);
        ASSERT_EQ(im->height, H);
        for (size_t j = 0; j < probes.size(); j++) {
            int x = static_cast<int>(std::lround(where[size_t(p)][j].x * (W - 1)));
            int y = static_cast<int>(std::lround(where[size_t(p)][j].y * (H - 1)));
            std::string seen;
            if (j + 1 < probes.size())
                EXPECT_TRUE(near(im, x, y, line, 2, &seen)) << what[p] << " circle point " << j << " at " << x << ","
                                                           << y << " has " << seen;
            else
                EXPECT_TRUE(near(im, x, y, background, 0, &seen)) << what[p] << " centre has " << seen;
        }
    }
}

TEST_F(Pictures, AMeshMapShowsEachNodesColourOnPngAndEps)
{
    // 16 x 16 nodes at 0 .. 15 with values i + 16 k; the cells of the last
    // row and column reach 16.
    make(16, 0, 1, [](double x, double z) { return x + 16 * z; });
    const double world[6] = {0, 0, 0, 16, 16, 1};
    std::vector<std::array<double, 3>> probes;
    for (int k = 0; k < 16; k++)
        for (int i = 0; i < 16; i++)
            probes.push_back({i + 0.5, k + 0.5, 0});
    std::vector<RGB> colours(256);
    auto paint = [&](GCanvasRecord *cv) {
        GDeviceRecord *dev = cv->device;
        long n = GUseColourMap(dev, 0);
        ASSERT_GT(n, 1);
        GColourMapModes m{};
        m.mode = 1;
        m.levels = static_cast<int16_t>(n);
        m.datamin = 0;
        m.datamax = 255;
        gcolmap_GSetColourMapModes(cv, GCMM_MODE | GCMM_LEVELS | GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX, &m);
        EXPECT_EQ(gmesh_GDrawMeshMap(cv, grid), 0);
        GList *map = gcolmap_GGetColourMap(dev->tables[GT_COLOURMAPS], 0)->colours;
        // The index of value v among n colours spread over 0 .. 255.
        for (int v = 0; v < 256; v++) {
            long index = std::min<long>(static_cast<long>(std::floor(v / (255.0 / static_cast<double>(n - 1)))), n - 1);
            colours[size_t(v)] = rgb_of(gcolour_GGetColour(map, index));
        }
        GForgetColourMap(cv);
    };
    std::array<std::vector<Spot>, 2> where;
    auto pics = pictures("meshmap", world, paint, probes, where);
    ASSERT_TRUE(pics[0] && pics[1]);
    const char *what[2] = {"PNG", "EPS"};
    for (int p = 0; p < 2; p++) {
        const IImage *im = pics[size_t(p)].get();
        for (size_t j = 0; j < probes.size(); j++) {
            int x = static_cast<int>(std::lround(where[size_t(p)][j].x * (W - 1)));
            int y = static_cast<int>(std::lround(where[size_t(p)][j].y * (H - 1)));
            std::string seen;
            RGB want = colours[j];
            EXPECT_TRUE(near(im, x, y, want, 1, &seen)) << what[p] << " cell " << j % 16 << "," << j / 16 << " wants "
                                                        << want[0] << "," << want[1] << "," << want[2] << " has "
                                                        << seen;
        }
    }
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new Library);
    return RUN_ALL_TESTS();
}
