// Colour-map policy, pruning and the stand-in colour cells.

#include "pelxtest.h"

#include <cstring>

namespace {

class ColourMaps : public testing::Test {
protected:
    void TearDown() override
    {
        gcolmap_GDestroyColourMapTable(nullptr);
        GColourMapParams(1, 0, 1);
    }

    // A default colour-map table of one map whose colour i has red i.
    GList *map_of(long n)
    {
        EXPECT_EQ(gcolmap_GCreateDefColourMapTable(), 0);
        GColourMap m{};
        strcpy(m.name, "ramp");
        m.colours = glist_GCreateList();
        for (long i = 0; i < n; i++) {
            GColour c{};
            c.red = static_cast<uint16_t>(i);
            c.pixel = -1;
            gcolour_GAddMoreColour(m.colours, &c);
        }
        EXPECT_EQ(gcolmap_GAddColourMap(&m), 0);
        gcolour_GDestroyColourTable(m.colours);
        gcolmap_GIndexColourMapTable();
        return gcolmap_GGetColourMap(nullptr, 0)->colours;
    }
};

TEST_F(ColourMaps, PruneKeepsEvenlySpacedColours)
{
    struct Case {
        long have, want;
        std::vector<int> reds;
    } cases[] = {
        {100, 10, {10, 20, 30, 40, 50, 60, 70, 80, 90, 99}},  // the last held at C - 1
        {20, 8, {2, 4, 6, 8, 10, 12, 14, 16}},
        {5, 5, {0, 1, 2, 3, 4}},  // nothing to prune
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.have);
        GList *colours = map_of(c.have);
        EXPECT_EQ(gcolmap_GPruneColourMap(nullptr, 0, c.want), static_cast<long>(c.reds.size()));
        ASSERT_EQ(glist_GGetListLen(colours), static_cast<long>(c.reds.size()));
        for (size_t i = 0; i < c.reds.size(); i++)
            EXPECT_EQ(gcolour_GGetColour(colours, static_cast<long>(i))->red, c.reds[i]) << i;
        gcolmap_GDestroyColourMapTable(nullptr);
    }
    EXPECT_EQ(gcolmap_GPruneColourMap(nullptr, 0, 4), -1);  // no map
}

TEST_F(ColourMaps, PolicyFlagsAndStandInCells)
{
    EXPECT_EQ(gcolmap_GIsColourMapWorthIt(), 1);
    EXPECT_EQ(gcolmap_GIsPrivateColourMap(), 0);
    EXPECT_EQ(GAutoUpgradeColourMap(), 1);
    gcolmap_GColourMapImNotWorthy();
    gcolmap_GUsePrivateColourMap(1);
    EXPECT_EQ(gcolmap_GIsColourMapWorthIt(), 0);
    EXPECT_EQ(gcolmap_GIsPrivateColourMap(), 1);

    gcolmap_GSetColourMapUsed(3);
    EXPECT_EQ(gcolmap_GColourMapWasUsed(), 3);
    EXPECT_EQ(gcolmap_GColourMapWasUsed(), -1);  // read once

    // Without the X driver the cells are too few for any colour map.
    const GXColourCells *x = gcolmap_GColourCells();
    unsigned char use_private = 0;
    unsigned long cmap = 0;
    EXPECT_EQ(x->AllocateColours(nullptr, nullptr), -1);
    EXPECT_EQ(x->FreeColours(nullptr, nullptr), -1);
    EXPECT_EQ(x->SetColours(nullptr, nullptr, 0, 1), -1);
    EXPECT_EQ(x->CMInfo(nullptr, &use_private, &cmap), -1);
    EXPECT_EQ(gcolmap_GSetColourCells(nullptr), x);
}

}  // namespace
