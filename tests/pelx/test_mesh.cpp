// Meshes, skirts and mesh maps on the recording driver: the patches of a
// grid and of a surface in depth-list order with their colours, the edge
// polygons, the sides of a skirt for each view, and the cells of a mesh map
// with the mask and the special colour.

#include "contourfixture.h"

#include <cmath>
#include <vector>

using namespace pelxtest;

namespace {

class Meshes : public OnGrid {
protected:
    void colour_by_value(double lo, double hi, int levels)
    {
        GColourMapModes m{};
        m.mode = 1;
        m.levels = static_cast<int16_t>(levels);
        m.datamin = lo;
        m.datamax = hi;
        gcolmap_GSetColourMapModes(cv, GCMM_MODE | GCMM_LEVELS | GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX, &m);
    }
    void special(long colour)
    {
        GColourMapModes m = cv->colourmap;
        m.special = colour;
        gcolmap_GSetColourMapModes(cv, GCMM_SPECIAL, &m);
    }
    // Where the canvas puts world points (x, y, z) on the device.
    std::vector<double> dc_of(const std::vector<double> &world) const
    {
        GVector in{GV_DOUBLE, 0, 3, static_cast<long>(world.size() / 3), {const_cast<double *>(world.data()), nullptr, nullptr}},
            out{};
        EXPECT_EQ(GTransformPoints(cv, GCS_WC, GCS_DC, &in, &out), 0);
        std::vector<double> v;
        for (long i = 0; i < out.count; i++)
            for (int c = 0; c < 2; c++)
                v.push_back(gvector_GGetValue(&out, i, c));
        gvector_GFreeVectorData(&out);
        return v;
    }
    // The world point of a recorded 2-D device point.
    std::pair<double, double> world_of(const grec::Points &p, long i) const
    {
        double dc[3] = {p.at(i, 0), p.at(i, 1), 0}, w[3];
        gcoords_GApplyPart(&cv->current->inverse, dc, w);
        return {w[0], w[1]};
    }
};

TEST_F(Meshes, AGridMeshDrawsItsPatchesInDepthListOrder)
{
    make(2, 2, 10, 10, 20, 10, [](double x, double z) { return x + z; });
    GDepthEntry one[1] = {{0, 0, 1.0}};
    EXPECT_EQ(gmesh_GDrawGridMesh(cv, g, nullptr, one, 1), 0);
    std::vector<grec::Call> polys = grec::of(GEP_DRAW_FILLED_POLYGON);
    ASSERT_EQ(polys.size(), 1u);
    // Corners (i, k), (i, k+1), (i+1, k+1), (i+1, k), closed, as (x, value, z).
    EXPECT_EQ(flat(polys[0].points[0]),
              dc_of({10, 30, 20, 10, 40, 30, 20, 50, 30, 20, 40, 20, 10, 30, 20}));
    EXPECT_EQ(cv->fill.style, 0);

    // Three patches drawn in the list's order, whatever their place.
    make(4, 2, 0, 10, 0, 10, [](double x, double) { return x; });
    GDepthEntry list[3] = {{2, 0, 0.5}, {0, 0, 1.0}, {1, 0, 2.0}};
    EXPECT_EQ(gmesh_GDrawGridMesh(cv, g, nullptr, list, 3), 0);
    polys = grec::of(GEP_DRAW_FILLED_POLYGON);
    ASSERT_EQ(polys.size(), 3u);
    for (int e = 0; e < 3; e++)
        EXPECT_NEAR(world_of(polys[static_cast<size_t>(e)].points[0], 0).first, 10 * list[e].column, 0.1) << e;
}

TEST_F(Meshes, OverlayColoursAreTheMeanOfTheCornerBytes)
{
    colour_by_value(0, 100, 256);
    make(3, 2, 0, 1, 0, 1, [](double x, double) { return x; });
    // Bytes by node, element k * nx + i.
    const struct {
        unsigned char bytes[6];
        long want0, want1;
    } cases[] = {
        {{0, 10, 20, 30, 40, 50}, 20, 30},
        {{1, 2, 2, 2, 2, 2}, 1, 2},
        {{255, 255, 255, 255, 255, 255}, 255, 255},
    };
    GDepthEntry list[2] = {{0, 0, 0}, {1, 0, 1}};
    for (const auto &c : cases) {
        grec::clear();
        EXPECT_EQ(gmesh_GDrawGridMesh(cv, g, c.bytes, list, 2), 0);
        std::vector<grec::Call> polys = grec::of(GEP_DRAW_FILLED_POLYGON);
        ASSERT_EQ(polys.size(), 2u);
        EXPECT_EQ(polys[0].fill.colour, c.want0);
        EXPECT_EQ(polys[1].fill.colour, c.want1);
    }
    // Without them each patch is coloured by its mean height: x = 0.5 and
    // 1.5 of 0 .. 100 over 256 colours.
    grec::clear();
    gmesh_GDrawGridMesh(cv, g, nullptr, list, 2);
    std::vector<grec::Call> polys = grec::of(GEP_DRAW_FILLED_POLYGON);
    ASSERT_EQ(polys.size(), 2u);
    EXPECT_EQ(polys[0].fill.colour, 1);
    EXPECT_EQ(polys[1].fill.colour, 3);
    EXPECT_EQ(cv->fill.style, 0);
}

TEST_F(Meshes, WithoutADepthListNothingIsDrawn)
{
    make(3, 3, 0, 1, 0, 1, [](double x, double) { return x; });
    GDepthEntry list[1] = {{0, 0, 0}};
    EXPECT_EQ(gmesh_GDrawGridMesh(cv, g, nullptr, nullptr, 4), 0);
    EXPECT_EQ(gmesh_GDrawGridMesh(cv, g, nullptr, list, 0), 0);
    EXPECT_EQ(gmesh_GDrawSurfaceMesh(cv, nullptr, nullptr, list, 1), 0);
    // An entry outside the grid is passed over.
    GDepthEntry outside[2] = {{2, 0, 0}, {0, 5, 1}};
    EXPECT_EQ(gmesh_GDrawGridMesh(cv, g, nullptr, outside, 2), 0);
    EXPECT_EQ(grec::count(GEP_DRAW_FILLED_POLYGON), 0);
}

TEST_F(Meshes, ASurfaceMeshWalksItsArrays)
{
    // Two arrays of three points: points (g, 10 n, 100 + g).
    GSurface *s = gsurf_GCreateSurface(-1, 0);
    ASSERT_NE(s, nullptr);
    for (int n = 0; n < 2; n++)
        for (int p = 0; p < 3; p++) {
            double pt[3] = {10.0 * p, 10.0 * n, 20.0 + 10 * n};
            ASSERT_EQ(gsurf_GAddSurfacePoint(s, pt, p, p == 2 ? GSURF_ARRAY : GSURF_POINT), 0);
        }
    colour_by_value(0, 100, 256);
    unsigned char bytes[6] = {0, 4, 8, 12, 16, 20};
    GDepthEntry list[2] = {{1, 0, 0}, {0, 0, 1}};
    EXPECT_EQ(gmesh_GDrawSurfaceMesh(cv, s, bytes, list, 2), 0);
    std::vector<grec::Call> polys = grec::of(GEP_DRAW_FILLED_POLYGON);
    ASSERT_EQ(polys.size(), 2u);
    // P(n, g), P(n+1, g), P(n+1, g+1), P(n, g+1), P(n, g) of patch g = 1.
    EXPECT_EQ(flat(polys[0].points[0]), dc_of({10, 0, 20, 10, 10, 30, 20, 10, 30, 20, 0, 20, 10, 0, 20}));
    // Bytes by array n * 3 + g: (4 + 16 + 20 + 8) / 4 and (0 + 12 + 16 + 4) / 4.
    EXPECT_EQ(polys[0].fill.colour, 12);
    EXPECT_EQ(polys[1].fill.colour, 8);
    EXPECT_EQ(cv->fill.style, 0);
    gsurf_GDestroySurface(s);
}

TEST_F(Meshes, TheEdgesOfAGrid)
{
    // 3 x 4 nodes at x = 0, 1, 2 and z = 10, 11, 12, 13; values 100 i + k.
    make(3, 4, 0, 1, 10, 1, [](double x, double z) { return 100 * x + (z - 10); });
    const double F = -5;
    const std::vector<std::vector<double>> want[5] = {
        {{0, 3, 13}, {1, 103, 13}, {2, 203, 13}, {2, F, 13}, {0, F, 13}, {0, 3, 13}},
        {{2, 200, 10}, {2, 201, 11}, {2, 202, 12}, {2, 203, 13}, {2, F, 13}, {2, F, 10}, {2, 200, 10}},
        {{0, 0, 10}, {1, 100, 10}, {2, 200, 10}, {2, F, 10}, {0, F, 10}, {0, 0, 10}},
        {{0, 0, 10}, {0, 1, 11}, {0, 2, 12}, {0, 3, 13}, {0, F, 13}, {0, F, 10}, {0, 0, 10}},
        {{2, F, 13}, {2, F, 10}, {0, F, 10}, {0, F, 13}},
    };
    for (int edge = 1; edge <= 5; edge++) {
        double buffer[3 * 12];
        GVector v{GV_DOUBLE, 0, 3, 12, {buffer, nullptr, nullptr}};
        ASSERT_EQ(ggrid_GGetGridEdge(&v, g, edge, F), 0) << edge;
        const auto &w = want[edge - 1];
        ASSERT_EQ(v.count, static_cast<long>(w.size())) << edge;
        for (size_t p = 0; p < w.size(); p++)
            for (int c = 0; c < 3; c++)
                EXPECT_EQ(buffer[3 * p + c], w[p][static_cast<size_t>(c)]) << edge << " " << p << " " << c;
    }
    // Too little room, or no such edge.
    double small[3 * 6];
    GVector v{GV_DOUBLE, 0, 3, 6, {small, nullptr, nullptr}};
    EXPECT_EQ(ggrid_GGetGridEdge(&v, g, 2, F), -1);
    EXPECT_EQ(last_error(), std::make_pair(3, 22));
    v.count = 6;
    EXPECT_EQ(ggrid_GGetGridEdge(&v, g, 6, F), -1);
    v.count = 6;
    EXPECT_EQ(ggrid_GGetGridEdge(&v, g, 1, F), 0);
}

// ---- skirts ---------------------------------------------------------------------

class Skirts : public Meshes {
protected:
    // The edges a skirt filled, found by where the canvas puts each edge.
    std::vector<int> edges_filled()
    {
        std::vector<std::vector<double>> edge_dc(6);
        for (int e = 1; e <= 5; e++) {
            std::vector<double> buffer(3 * 20);
            GVector v{GV_DOUBLE, 0, 3, 20, {buffer.data(), nullptr, nullptr}};
            EXPECT_EQ(ggrid_GGetGridEdge(&v, g, e, cv->modes.world[1]), 0);
            buffer.resize(static_cast<size_t>(3 * v.count));
            edge_dc[static_cast<size_t>(e)] = dc_of(buffer);
        }
        // Seen square on, the near and far sides fall on one another: each
        // polygon counts as the edge wanted when it is one of its matches.
        std::vector<int> out;
        std::vector<grec::Call> polys = grec::of(GEP_DRAW_FILLED_POLYGON);
        for (size_t j = 0; j < polys.size(); j++) {
            int edge = 0;
            for (int e = 1; e <= 5; e++)
                if (flat(polys[j].points[0]) == edge_dc[static_cast<size_t>(e)] &&
                    (edge == 0 || (j < wanted.size() && e == wanted[j])))
                    edge = e;
            out.push_back(edge);
        }
        return out;
    }
    std::vector<int> wanted;
    void view(long elevation, long rotation)
    {
        GCanvasModes m{};
        m.angle1 = elevation;
        m.angle2 = rotation;
        GSetCanvasModes(cv, GCM_ANGLE1 | GCM_ANGLE2, &m);
        grec::clear();
    }
};

TEST_F(Skirts, TheSidesFacingTheViewerAndTheFloorFromBelow)
{
    // 3 x 3 nodes over x 0 .. 20, z 0 .. 80 (the world's y is the value);
    // world y from 0, so the floor lies at y = 0.
    make(3, 3, 0, 10, 0, 40, [](double, double) { return 50.0; });
    const struct {
        long elevation, rotation;
        std::vector<int> edges;
    } cases[] = {
        {0, -45 * 64, {4, 1}}, {0, -5759, {4, 1}},   {0, -5760, {4}},      {0, 0, {1}},
        {0, 45 * 64, {1, 2}},  {0, 90 * 64, {2}},    {0, -100 * 64, {3, 4}}, {0, 100 * 64, {2, 3}},
        {-1, 0, {1}},          {-64, 0, {1, 5}},     {-64, -45 * 64, {4, 1, 5}}, {63, 0, {1}},
    };
    for (const auto &c : cases) {
        view(c.elevation, c.rotation);
        wanted = c.edges;
        EXPECT_EQ(gmesh_GDrawGridSkirt(cv, g), 0);
        EXPECT_EQ(edges_filled(), c.edges) << c.elevation << " " << c.rotation;
    }
}

TEST_F(Skirts, FilledInTheSpecialColourAndPutBackAfter)
{
    make(3, 3, 0, 10, 0, 40, [](double, double) { return 50.0; });
    colour_by_value(0, 100, 10);
    special(6);
    GLineModes l = cv->line;
    l.colour = 3;
    GSetLineModes(cv, GLM_COLOUR, &l);
    view(-64, 0);
    EXPECT_EQ(gmesh_GDrawGridSkirt(cv, g), 0);
    std::vector<grec::Call> polys = grec::of(GEP_DRAW_FILLED_POLYGON);
    ASSERT_EQ(polys.size(), 2u);
    for (const grec::Call &c : polys) {
        EXPECT_EQ(c.fill.style, 1);
        EXPECT_EQ(c.fill.colour, 6);
        EXPECT_EQ(c.line.colour, 0);
        EXPECT_EQ(c.line.flag, 1);
    }
    wanted = {1, 5};
    EXPECT_EQ(edges_filled(), wanted);
    EXPECT_EQ(cv->fill.style, 0);
    EXPECT_EQ(cv->line.flag, 0);
    EXPECT_EQ(cv->line.colour, 3);
    EXPECT_EQ(cv->colourmap.mode, 1);
}

TEST_F(Skirts, ASurfacesSkirtUsesItsOwnEdges)
{
    GSurface *s = gsurf_GCreateSurface(-1, 1);  // floats
    ASSERT_NE(s, nullptr);
    for (int n = 0; n < 3; n++)
        for (int p = 0; p < 3; p++) {
            float pt[3] = {10.0f * p, 50.0f, 40.0f * n};
            ASSERT_EQ(gsurf_GAddSurfacePoint(s, pt, p, p == 2 ? GSURF_ARRAY : GSURF_POINT), 0);
        }
    view(-64, -45 * 64);
    EXPECT_EQ(gmesh_GDrawSurfaceSkirt(cv, s), 0);
    std::vector<grec::Call> polys = grec::of(GEP_DRAW_FILLED_POLYGON);
    ASSERT_EQ(polys.size(), 3u);
    EXPECT_EQ(polys[0].points[0].count(), 6);  // three points and the three closing ones
    EXPECT_EQ(polys[2].points[0].count(), 4);  // the floor
    gsurf_GDestroySurface(s);
}

// ---- mesh maps --------------------------------------------------------------------

TEST_F(Meshes, AMeshMapDrawsEveryNodesCellInItsValuesColour)
{
    colour_by_value(0, 15, 16);
    // 4 x 4 nodes at x, z = 0, 10, 20, 30 with values i + 4 k.
    make(4, 4, 0, 10, 0, 10, [](double x, double z) { return x / 10 + 4 * z / 10; });
    EXPECT_EQ(gmesh_GDrawMeshMap(cv, g), 0);
    std::vector<grec::Call> cells = grec::of(GEP_DRAW_POLYLINE);
    // Every node's cell, the last row and column one step past the nodes.
    ASSERT_EQ(cells.size(), 16u);
    for (long k = 0; k < 4; k++)
        for (long i = 0; i < 4; i++) {
            const grec::Call &c = cells[static_cast<size_t>(4 * k + i)];
            EXPECT_EQ(c.fill.colour, i + 4 * k);
            EXPECT_EQ(c.fill.style, 1);
            EXPECT_EQ(c.line.flag, 1);
            auto lo = world_of(c.points[0], 0), hi = world_of(c.points[0], 2);
            EXPECT_NEAR(lo.first, 10 * i, 0.1);
            EXPECT_NEAR(lo.second, 10 * k, 0.1);
            EXPECT_NEAR(hi.first, 10 * i + 10, 0.1);
            EXPECT_NEAR(hi.second, 10 * k + 10, 0.1);
        }
}

TEST_F(Meshes, EmptyCellsOfAMeshMapByTheMaskAndTheSpecialColour)
{
    colour_by_value(0, 10, 10);
    make(4, 4, 0, 10, 0, 10, [](double, double) { return 5.0; });
    // Nodes (0, 0), (3, 3) and (2, 1) empty; the mask keeps the cells whose
    // corners lie within 15 of (20, 20): those of nodes (1..2, 1..2).  Only
    // the empty (2, 1) is inside.
    g->values[0][0].weight = 0;
    g->values[3][3].weight = 0;
    g->values[2][1].weight = 0;
    ASSERT_EQ(ggrid_GGridMaskValues(cv, g, 20, 20, 15), 0);
    const struct {
        long special;
        long drawn, outlined;
    } cases[] = {{0, 13, 0}, {4, 14, 1}};
    for (const auto &c : cases) {
        special(c.special);
        grec::clear();
        EXPECT_EQ(gmesh_GDrawMeshMap(cv, g), 0);
        std::vector<grec::Call> cells = grec::of(GEP_DRAW_POLYLINE);
        EXPECT_EQ(static_cast<long>(cells.size()), c.drawn) << c.special;
        long in_special = 0;
        for (const grec::Call &call : cells)
            if (call.line.colour == 4 && call.fill.style == 0)
                in_special++;
        EXPECT_EQ(in_special, c.outlined);
        // The colour map is in use again after the special cell.
        EXPECT_EQ(dev->modes.colourmap, 0);
    }
    EXPECT_EQ(gmesh_GDrawMeshMap(cv, nullptr), 0);
}

TEST_F(Meshes, TheMaskJudgesTheLastRowAndColumnByTheirFourCorners)
{
    make(3, 3, 0, 10, 0, 10, [](double, double) { return 1.0; });
    // Centre (30, 30), radius 15: only the cell of node (2, 2), which spans
    // 20 .. 30 on both axes, has all four corners inside.
    ASSERT_EQ(ggrid_GGridMaskValues(cv, g, 30, 30, 15), 0);
    for (long i = 0; i < 3; i++)
        for (long k = 0; k < 3; k++)
            EXPECT_EQ(g->aux[i][k].weight, i == 2 && k == 2 ? 1.0 : 0.0) << i << " " << k;
}

}  // namespace
