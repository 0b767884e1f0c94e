// PostScript documents for the tests: the build's graphics configuration
// read once, the driver installed, and a device of the shipped PostScript
// (or EPS) entry opened on a file of a scratch folder, with the modes the
// test changes.  Drawing goes straight to the driver's slots with device
// points, so that the expected text is plain to read.
#pragma once

#include "gpinit.h"
#include "pelx.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace pstest {

inline std::string build_dir()
{
    const char *b = getenv("VX_BUILD_DIR");
    return b ? b : ".";
}
inline std::string etc_dir() { return build_dir() + "/etc"; }

inline std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::pair<int, int> last_error()
{
    long e = GGetError();
    return {static_cast<int>(e >> 16), static_cast<int>(e & 0xFFFF)};
}

// The graphics library for the whole test program.
class Library : public testing::Environment {
public:
    void SetUp() override
    {
        std::string etc = etc_dir();
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", (build_dir() + "/messages/SUN4SOLARIS/C/pelx.cat").c_str(),
                              (etc + "/pelx.rgb").c_str()),
                  0);
        gpinit_GInstallDriver();
    }
    void TearDown() override
    {
        gep_GSetDriver(GDRV_POSTSCRIPT, nullptr);
        GTerminate();
    }
};

// Short point vectors that live as long as the fixture.
struct Points {
    std::vector<std::vector<short>> keep;
    GVector v(std::initializer_list<short> xy)
    {
        keep.emplace_back(xy);
        return GVector{GV_SHORT, 0, 2, static_cast<int64_t>(keep.back().size() / 2), {keep.back().data(), nullptr, nullptr}};
    }
    GVector v(const std::vector<short> &xy)
    {
        keep.push_back(xy);
        return GVector{GV_SHORT, 0, 2, static_cast<int64_t>(keep.back().size() / 2), {keep.back().data(), nullptr, nullptr}};
    }
};

class PsDoc : public testing::Test {
protected:
    GDeviceRecord *dev = nullptr;
    GCanvasRecord *cv = nullptr;
    std::string dir, path;
    Points pts;

    void SetUp() override
    {
        dir = vxtest::temp_dir("psdoc");
        path = dir + "/out.ps";
    }
    void TearDown() override
    {
        if (dev)
            GCloseDevice(dev);
    }

    // Opens configured device `index` (1 PostScript, 2 EPS) on `path`;
    // `change` edits the modes, `extra` adds mask bits.  A plain page by
    // default: portrait Letter, a picture of 1000 x 1000 at the origin,
    // neither filled nor centred.
    GDeviceRecord *open_device(long index, const std::function<void(GDeviceModes &)> &change = nullptr,
                               uint64_t extra = 0, bool plain = true)
    {
        GDeviceEntry e{};
        if (GGetDevice(index, &e) != 0)
            return nullptr;
        GDeviceModes &m = e.modes;
        uint64_t mask = e.mask | GDM_OUTPUT | GDM_FILENAME | GDM_BGCOLOUR | extra;
        m.output = 0;
        snprintf(m.filename, sizeof m.filename, "%s", path.c_str());
        if (plain) {
            m.ucxdim = 6120;
            m.ucydim = 7920;
            m.dcxdim = m.dcydim = 1000;
            m.dcxpos = m.dcypos = 0;
            m.landscape = 0;
            m.fillpage = 0;
            m.centre = 0;
            mask |= GDM_UCXDIM | GDM_UCYDIM | GDM_DCXDIM | GDM_DCYDIM | GDM_DCXPOS | GDM_DCYPOS | GDM_LANDSCAPE |
                    GDM_FILLPAGE | GDM_CENTRE;
        }
        if (change)
            change(m);
        GDeviceRecord *d = GOpenDevice(mask, &m, e.tables);
        if (!d)
            gdev_GFreeDeviceEntry(&e);
        return d;
    }
    // The device and a canvas over all of it, clipping to the device.
    void open(long index = 1, const std::function<void(GDeviceModes &)> &change = nullptr, uint64_t extra = 0,
              bool plain = true)
    {
        dev = open_device(index, change, extra, plain);
        ASSERT_NE(dev, nullptr);
        GCanvasModes cm{};
        cm.clip = 0;
        cv = GOpenCanvas(dev, GCM_CLIP, &cm);
        ASSERT_NE(cv, nullptr);
    }
    // Closes the device and returns the document.
    std::string finish(int expect = 0)
    {
        int r = GCloseDevice(dev);
        dev = nullptr;
        cv = nullptr;
        EXPECT_EQ(r, expect);
        return slurp(path);
    }
    // What the drawing calls wrote: the text between the page set-up and
    // the document's end.
    static std::string body(const std::string &doc)
    {
        size_t a = doc.find(" translate\n", doc.find("% Set up device size stuff"));
        size_t b = doc.rfind("\tgrestore\n");
        if (a == std::string::npos || b == std::string::npos || b < a)
            return "<no body>";
        return doc.substr(a + 11, b - a - 11);
    }
    static std::string masked(const std::string &doc)
    {
        std::string s = std::regex_replace(doc, std::regex("%%CreationDate: [^\n]*"), "%%CreationDate: DATE");
        return std::regex_replace(s, std::regex("%%For: [^\n]*"), "%%For: USER");
    }
    const GEntryPoints *ep() { return gep_GCanvasEntryPoints(cv); }
    // `style` is the line-style table's index, -1 the solid line.
    void line_modes(long style, long colour, bool close = false, long width = 0)
    {
        GLineModes l = cv->line;
        l.style = style + 1;
        l.colour = colour;
        l.flag = close;
        l.width = width;
        GSetLineModes(cv, ~uint64_t(0), &l);
    }
    void fill_modes(long style, long colour, long hatch = 0)
    {
        GFillModes f = cv->fill;
        f.style = style;
        f.colour = colour;
        f.hatch = hatch;
        GSetFillModes(cv, ~uint64_t(0), &f);
    }
};

// A raster image record over the caller's pixels (32-bit 0x00RRGGBB, or
// grey bytes with bits 8).
inline GRasterImage raster(short x, short y, short w, short h, void *pixels, short bits = 32)
{
    GRasterImage im{};
    im.x = x;
    im.y = y;
    im.width = w;
    im.height = h;
    im.spare = -1;
    im.depth = bits == 32 ? 24 : 8;
    im.bits = bits;
    im.data = pixels;
    return im;
}

inline size_t count(const std::string &s, const std::string &what)
{
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + what.size()))
        n++;
    return n;
}

}  // namespace pstest
