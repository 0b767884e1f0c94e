// A device and canvas on the recording driver, with small tables of its
// own: a device 4096 by 4096 units (VDC extents 4095) and a canvas that
// covers it, so that canvas and device coordinates nearly coincide.
#pragma once

#include "grecord.h"
#include "pelxtest.h"

#include <deque>
#include <vector>

namespace pelxtest {

class OnDevice : public testing::Test {
protected:
    GDeviceRecord *dev = nullptr;
    GCanvasRecord *cv = nullptr;

    void SetUp() override { grec::install(); }
    void TearDown() override
    {
        if (dev)
            GCloseDevice(dev);
        gmarker_GDestroyMarkerTable(nullptr);
        gfont_GDestroyFontTable(nullptr);
        grec::remove();
    }

    // Opens the device (protocol 1 keeps y upwards, 0 turns it downwards).
    void open(unsigned char protocol, long dcx = 4096, long dcy = 4096, GList *markers = nullptr,
              GList *fonts = nullptr)
    {
        GDeviceModes m{};
        m.protocol = protocol;
        m.dcxdim = dcx;
        m.dcydim = dcy;
        GList *tables[GT_COUNT] = {nullptr, fonts, nullptr, nullptr, markers, nullptr};
        dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM, &m, tables);
        ASSERT_NE(dev, nullptr);
    }
    void canvas(int16_t size = 4095, unsigned char coords = GCS_CC)
    {
        GCanvasModes cm{};
        cm.origin[0] = cm.origin[1] = 0;
        cm.size[0] = cm.size[1] = cm.size[2] = size;
        cm.coords = coords;
        cv = GOpenCanvas(dev, GCM_ORIGIN | GCM_SIZE | GCM_COORDS, &cm);
        ASSERT_NE(cv, nullptr);
        grec::clear();
    }
    GVector point(double x, double y)
    {
        dbl.push_back({x, y});
        return GVector{GV_DOUBLE, 0, 2, 1, {dbl.back().data(), nullptr, nullptr}};
    }
    std::deque<std::vector<double>> dbl;
};

inline std::vector<double> flat(const grec::Points &p) { return p.values; }

}  // namespace pelxtest
