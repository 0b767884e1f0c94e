// Shaded rendering as real pictures: a 40 x 40 grid of the paraboloid
// y = x^2 + z^2 seen from above, lit and rendered on the PNG device and on
// the EPS device (one tenth of its resolution, rendered by Ghostscript at
// the PNG's size), probed at the device positions of chosen nodes for the
// colour map's colour of the node's index, and beside the grid for the
// background; with the mesh modes' border switch, a rectangle drawn first
// shows where no patch was painted.

#include "ggridhook.h"
#include "pelxpic.h"

using namespace pelxpic;

namespace {

constexpr long N = 40;
constexpr long RECT_COLOUR = 13;

class Shaded : public Pictures {
protected:
    // Node (i, k) at x, z = -1 + 2 i / 39 (and k), y its height.
    std::array<double, 3> node(long i, long k) const
    {
        return {grid->x0 + i * grid->dx, grid->values[i][k].value, grid->z0 + k * grid->dz};
    }
    // Renders the lit grid (only the patches of columns below `columns`),
    // after a rectangle over the plot space when `border` is set; the
    // colours of the map by index and of the device come back.
    void paint(GCanvasRecord *cv, bool border, long columns)
    {
        GDeviceRecord *dev = cv->device;
        if (border) {
            GFillModes fm = cv->fill;
            fm.style = 1;
            fm.colour = RECT_COLOUR;
            GSetFillModes(cv, GFM_STYLE | GFM_COLOUR, &fm);
            // In canvas coordinates: the view turns the plot space's y away.
            double x0 = cv->modes.psorigin[0], y0 = cv->modes.psorigin[1];
            double x1 = x0 + cv->modes.pssize[0], y1 = y0 + cv->modes.pssize[1];
            double corners[8] = {x0, y0, x1, y0, x1, y1, x0, y1};
            GVector poly{GV_DOUBLE, 0, 2, 4, {corners, nullptr, nullptr}};
            GCanvasModes ps = cv->modes;
            ps.coords = GCS_CC;
            GSetCanvasModes(cv, GCM_COORDS, &ps);
            gdraw_GDrawFilledPolygon(cv, &poly, nullptr);
            ps.coords = GCS_WC;
            GSetCanvasModes(cv, GCM_COORDS, &ps);
            GFillModes none = cv->fill;
            none.style = 0;
            GSetFillModes(cv, GFM_STYLE, &none);
        }
        long n = GUseColourMap(dev, 0);
        ASSERT_GT(n, 100);
        GMeshModes mm{};
        mm.border = border;
        gmesh_GSetMeshModes(cv, GMSM_BORDER, &mm);
        GLightModes lm = cv->light;
        lm.x_angle = 150;
        lm.y_angle = 30;
        glight_GSetLightModes(cv, GLTM_XANGLE | GLTM_YANGLE, &lm);
        GLightSource *light = glight_GCreateLightSource(cv);
        ASSERT_NE(light, nullptr);
        GDepthEntry *list = nullptr;
        long count = 0;
        unsigned char *colours = gnormal_GGridSetVertexNormalColours(cv, grid, light, &list, &count);
        ASSERT_NE(colours, nullptr);
        long kept = 0;
        for (long e = 0; e < count; e++)
            if (list[e].column < columns)
                list[kept++] = list[e];
        EXPECT_EQ(grender_GRenderGridData(cv, grid, colours, list, kept), 0);
        index.assign(colours, colours + N * N);
        GList *map = gcolmap_GGetColourMap(dev->tables[GT_COLOURMAPS], 0)->colours;
        map_rgb.clear();
        for (long k = 0; k < glist_GGetListLen(map); k++)
            map_rgb.push_back(rgb_of(gcolour_GGetColour(map, k)));
        // The image is cleared to the canvas's colour (black on the EPS
        // device of the configuration, white on the PNG one).
        long bg = 0;
        GGetCanvasColour(cv, &bg, 0);
        background.push_back(rgb_of(gcolour_GGetColour(dev->tables[GT_COLOURS], std::labs(bg))));
        rect.push_back(rgb_of(gcolour_GGetColour(dev->tables[GT_COLOURS], RECT_COLOUR)));
        vx_free(colours);
        vx_free(list);
        glight_GFreeLightSource(light);
        GForgetColourMap(cv);
    }
    // Whether one of the map's colours of index - 1 .. index + 1 lies near.
    bool shows_index(const IImage *im, int x, int y, long i, std::string *seen) const
    {
        for (long d = -1; d <= 1; d++) {
            long at = std::clamp<long>(i + d, 0, static_cast<long>(map_rgb.size()) - 1);
            if (near(im, x, y, map_rgb[static_cast<size_t>(at)], 1, seen))
                return true;
        }
        return false;
    }

    std::vector<unsigned char> index;
    std::vector<RGB> map_rgb;
    std::vector<RGB> background, rect;  // by device, in the order drawn: PNG, EPS
};

TEST_F(Shaded, TheLitParaboloidOnPngAndEps)
{
    for (bool border : {false, true}) {
        SCOPED_TRACE(border ? "border" : "whole");
        make(N, -1, 2.0 / (N - 1), [](double x, double z) { return x * x + z * z; });
        const double world[6] = {-1.5, 0, -1.5, 1.5, 2, 1.5};
        elevation = -90 * 64;  // from above: z runs up the picture
        // Nodes every 6 steps, and two points beside the grid.
        std::vector<std::array<double, 3>> probes;
        std::vector<std::pair<long, long>> nodes;
        for (long i = 3; i < N - 1; i += 6)
            for (long k = 3; k < N - 1; k += 6) {
                probes.push_back(node(i, k));
                nodes.push_back({i, k});
            }
        probes.push_back({-1.3, 0, -1.3});
        probes.push_back({1.3, 0, 1.3});
        long columns = border ? N / 2 : N;
        background.clear();
        rect.clear();
        std::array<std::vector<Spot>, 2> where;
        auto pics = pictures(border ? "lit-border" : "lit", world, [&](GCanvasRecord *cv) { paint(cv, border, columns); },
                             probes, where);
        ASSERT_TRUE(pics[0] && pics[1]);
        ASSERT_EQ(index.size(), static_cast<size_t>(N * N));
        ASSERT_EQ(background.size(), 2u);
        const char *what[2] = {"PNG", "EPS"};
        for (int p = 0; p < 2; p++) {
            const IImage *im = pics[size_t(p)].get();
            for (size_t j = 0; j < probes.size(); j++) {
                int x = static_cast<int>(std::lround(where[size_t(p)][j].x * (W - 1)));
                int y = static_cast<int>(std::lround(where[size_t(p)][j].y * (H - 1)));
                std::string seen;
                if (j >= nodes.size()) {
                    RGB want = border ? rect[size_t(p)] : background[size_t(p)];
                    EXPECT_TRUE(near(im, x, y, want, 0, &seen)) << what[p] << " beside the grid has " << seen;
                    continue;
                }
                auto [i, k] = nodes[j];
                if (i < columns - 1) {
                    EXPECT_TRUE(shows_index(im, x, y, index[static_cast<size_t>(k * N + i)], &seen))
                        << what[p] << " node " << i << "," << k << " index " << int(index[size_t(k * N + i)])
                        << " has " << seen;
                } else if (i > columns) {
                    EXPECT_TRUE(near(im, x, y, rect[size_t(p)], 0, &seen)) << what[p] << " node " << i << "," << k << " has " << seen;
                }
            }
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
