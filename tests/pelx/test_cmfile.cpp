// Colour-map files: the writer byte for byte, the reader's rules and errors.

#include "pelxfixture.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

std::string read_all(const std::string &path)
{
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class ColourMapFiles : public OnDevice {
protected:
    std::string dir;

    void SetUp() override
    {
        OnDevice::SetUp();
        dir = (std::filesystem::temp_directory_path() / ("pelx-cmap-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(dir);
        colours({{255, 0, 0}, {0, 128, 255}, {12, 34, 56}});
    }
    void TearDown() override
    {
        OnDevice::TearDown();
        gcolmap_GDestroyColourMapTable(nullptr);
        std::filesystem::remove_all(dir);
    }
    // Colour map 0 of the default table, 8-bit components given.
    void colours(const std::vector<std::vector<int>> &rgb)
    {
        gcolmap_GDestroyColourMapTable(nullptr);
        gcolmap_GCreateDefColourMapTable();
        GColourMap m{};
        m.colours = glist_GCreateList();
        for (auto &c : rgb) {
            GColour k{};
            k.red = static_cast<uint16_t>(c[0] * 257);
            k.green = static_cast<uint16_t>(c[1] * 257);
            k.blue = static_cast<uint16_t>(c[2] * 257);
            gcolour_GAddMoreColour(m.colours, &k);
        }
        gcolmap_GAddColourMap(&m);
        gcolour_GDestroyColourTable(m.colours);
        gcolmap_GIndexColourMapTable();
    }
    // 8-bit components of colour map 0.
    std::vector<std::vector<int>> map0()
    {
        std::vector<std::vector<int>> out;
        GList *l = gcolmap_GGetColourMap(nullptr, 0)->colours;
        for (long i = 0; i < glist_GGetListLen(l); i++) {
            GColour *c = gcolour_GGetColour(l, i);
            out.push_back({c->red / 257, c->green / 257, c->blue / 257});
        }
        return out;
    }
    std::string file(const std::string &name, const std::string &text)
    {
        write_file(dir + "/" + name, text);
        return name;
    }
};

TEST_F(ColourMapFiles, WrittenFileEqualsTheGoldenFile)
{
    std::string path = dir + "/out.cmap";
    ASSERT_EQ(gcolmap_GWriteColourMapFile(path.c_str()), 0);
    const char *src = getenv("VX_SOURCE_DIR");
    ASSERT_NE(src, nullptr);
    EXPECT_EQ(read_all(path), read_all(std::string(src) + "/tests/pelx/golden/three-colours.cmap"));

    // Every 8-bit component survives the round trip.
    std::vector<std::vector<int>> ramp;
    for (int i = 0; i < 256; i++)
        ramp.push_back({i, 255 - i, (i * 7) % 256});
    colours(ramp);
    ASSERT_EQ(gcolmap_GWriteColourMapFile(path.c_str()), 0);
    colours({{1, 1, 1}});
    ASSERT_EQ(gcolmap_GReadColourMapFile(nullptr, dir.c_str(), "out.cmap"), 0);
    EXPECT_EQ(map0(), ramp);

    // A path that cannot be written.
    EXPECT_EQ(gcolmap_GWriteColourMapFile((dir + "/no/such/dir.cmap").c_str()), -1);
    EXPECT_EQ(last_error(), std::make_pair(4, 16));
}

TEST_F(ColourMapFiles, ReaderRules)
{
    struct Case {
        const char *name;
        std::string body;
        std::vector<std::vector<int>> colours;
        std::vector<int> error_lines;  // file lines of the (3, 15) errors (the stamp is line 1)
    } cases[] = {
        {"other top keyword", "colours :\n{\n map : 0\n {\n  colour : 0 { red : 1 green : 2 blue : 3 }\n }\n}\n",
         {{1, 2, 3}}, {}},
        {"two maps", "colourmaps : {\n map : 0 { colour : 0 { red : 1 green : 1 blue : 1 } }\n"
                     " map : 1 { colour : 0 { red : 9 green : 9 blue : 9 } colour : 1 { red : 8 green : 8 blue : 8 } }\n}\n",
         {{9, 9, 9}, {8, 8, 8}}, {}},
        {"red and green only", "colourmaps : {\n map : 0 {\n  colour : 0 { red : 1 green : 2 blue : 3 }\n"
                               "  colour : 1 { red : 4 green : 5 }\n  colour : 2 { red : 7 green : 8 blue : 9 }\n }\n}\n",
         {{1, 2, 3}, {7, 8, 9}}, {}},
        {"first occurrence counts", "colourmaps : { map : 0 { colour : 0 { red : 1 red : 200 green : 2 blue : 3 } } }\n",
         {{1, 2, 3}}, {}},
        {"out of range", "colourmaps : {\n map : 0 {\n  colour : 0 {\n   red : 256\n   green : 2\n   blue : 3\n  }\n"
                         "  colour : 1 { red : -1 green : 2 blue : 3 }\n  colour : 2 { red : 4 green : 5 blue : 6 }\n }\n}\n",
         {{4, 5, 6}}, {5, 9}},
        {"hash name", "colourmaps : { map : 0 { colour : 0 { name : #ff8000 } } }\n", {{0xff00 / 257, 0x8000 / 257, 0}}, {}},
        {"wrong keys skipped", "colourmaps : {\n marker : 1\n map : 0 {\n  marker : 2\n  colour : 0 { red : 1 green : 2 blue : 3\n    hatch : 4 }\n }\n}\n",
         {{1, 2, 3}}, {3, 5, 7}},
        {"long name drops the map", "colourmaps : {\n map : 0 { colour : 0 { red : 1 green : 1 blue : 1 } }\n map : 1 {\n  name : " +
                                        std::string(80, 'n') + "\n  colour : 0 { red : 2 green : 2 blue : 2 }\n }\n}\n",
         {{1, 1, 1}}, {5}},
    };
    for (auto &c : cases) {
        colours({{100, 100, 100}});
        std::string name = file("in.cmap", STAMP + c.body);
        CaptureStderr();
        EXPECT_EQ(gcolmap_GReadColourMapFile(nullptr, dir.c_str(), name.c_str()), 0) << c.name;
        std::string log = GetCapturedStderr();
        EXPECT_EQ(map0(), c.colours) << c.name;
        for (int line : c.error_lines)
            EXPECT_NE(log.find("(3,15)\n\tLine number : " + std::to_string(line) + "\n"), std::string::npos)
                << c.name << " line " << line << "\n" << log;
        size_t errors = 0;
        for (size_t at = log.find("(3,15)"); at != std::string::npos; at = log.find("(3,15)", at + 1))
            errors++;
        EXPECT_EQ(errors, c.error_lines.size()) << c.name << "\n" << log;
    }
}

TEST_F(ColourMapFiles, ReadFailuresKeepTheColours)
{
    struct Case {
        const char *name;
        std::string text;
        std::vector<std::pair<int, int>> errors;  // in the order logged
    } cases[] = {
        {"no stamp", "colourmaps : { map : 0 { colour : 0 { red : 1 green : 1 blue : 1 } } }\n", {{3, 18}, {4, 4}}},
        {"wrong revision", "/* PelxRevisionNumber: 2 */\ncolourmaps : { }\n", {{3, 19}, {4, 4}}},
        {"syntax", std::string(STAMP) + "colourmaps { map : 0 }\n", {{3, 3}, {3, 15}}},
        {"no block", std::string(STAMP) + "colourmaps : 1\n", {{3, 15}}},
    };
    for (auto &c : cases) {
        std::string name = file("bad.cmap", c.text);
        CaptureStderr();
        EXPECT_EQ(gcolmap_GReadColourMapFile(nullptr, dir.c_str(), name.c_str()), -1) << c.name;
        std::string log = GetCapturedStderr();
        size_t at = 0;
        for (auto &e : c.errors) {
            size_t found = log.find("(" + std::to_string(e.first) + "," + std::to_string(e.second) + ")", at);
            EXPECT_NE(found, std::string::npos) << c.name << "\n" << log;
            at = found == std::string::npos ? at : found;
        }
        EXPECT_EQ(last_error(), c.errors.back()) << c.name;
        EXPECT_EQ(map0(), (std::vector<std::vector<int>>{{255, 0, 0}, {0, 128, 255}, {12, 34, 56}})) << c.name;
    }
    EXPECT_EQ(gcolmap_GReadColourMapFile(nullptr, dir.c_str(), "missing.cmap"), -1);
    EXPECT_EQ(last_error(), std::make_pair(4, 4));
}

TEST_F(ColourMapFiles, ReadingLoadsTheMapIntoTheDevice)
{
    GDeviceModes m{};
    m.protocol = GP_POSTSCRIPT;
    m.dcxdim = m.dcydim = 1000;
    m.colourmap = -1;
    GList *tables[GT_COUNT] = {nullptr, nullptr, nullptr, nullptr, nullptr, gcolmap_GCreateDevColourMapTable()};
    dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM | GDM_COLOURMAP, &m, tables);
    ASSERT_NE(dev, nullptr);
    grec::clear();
    // An absolute name is used as it stands.
    std::string path = dir + "/" + file("abs.cmap", std::string(STAMP) + "colourmaps : { map : 0 { colour : 0 { red : 5 green : 6 blue : 7 } } }\n");
    ASSERT_EQ(gcolmap_GReadColourMapFile(dev, "/nowhere", path.c_str()), 0);
    EXPECT_EQ(map0(), (std::vector<std::vector<int>>{{5, 6, 7}}));
    EXPECT_EQ(dev->modes.colourmap, 0);
    // The device saw its modes set again with the visual bit.
    auto sets = grec::of(24);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].ints.at(0), static_cast<long>(GDM_VISUAL));
}

}  // namespace
