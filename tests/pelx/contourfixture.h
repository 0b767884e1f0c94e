// Grids for the contour and mesh tests: a canvas on the recording driver in
// world coordinates 0 .. 100 on both axes (a square plot space, so that
// canvas units are the same along x and y), and grids filled node by node
// from a function and completed.
#pragma once

#include "ggridhook.h"
#include "pelxfixture.h"

#include <cmath>
#include <functional>

namespace pelxtest {

class OnGrid : public OnDevice {
protected:
    GGrid *g = nullptr;

    void SetUp() override
    {
        OnDevice::SetUp();
        grec::answers() = grec::Answers{};
        open(GP_POSTSCRIPT);
        canvas(4095, GCS_WC);
        world(0, 0, 100, 100);
    }
    void TearDown() override
    {
        ggrid_GDestroyGrid(g);
        grec::answers() = grec::Answers{};
        OnDevice::TearDown();
    }
    void world(double x0, double y0, double x1, double y1)
    {
        GCanvasModes cm{};
        const double w[6] = {x0, y0, 0, x1, y1, 1};
        for (int i = 0; i < 6; i++)
            cm.world[i] = w[i];
        ASSERT_EQ(GSetCanvasModes(cv, GCM_WORLD, &cm), 0);
        grec::clear();
    }
    // nx x nz nodes from (x0, z0) by the steps, node values f(x, z),
    // completed with or without patch centres.
    void make(long nx, long nz, double x0, double dx, double z0, double dz,
              const std::function<double(double, double)> &f, bool centres = true)
    {
        ggrid_GDestroyGrid(g);
        g = ggrid_GCreateGrid(x0, dx, nx, z0, dz, nz);
        ASSERT_NE(g, nullptr);
        GGridModes m{};
        m.patch_centres = centres ? 1 : 0;
        m.method = GGRID_CHECK;
        ggrid_GSetGridModes(cv, GGM_CENTRES | GGM_METHOD, &m);
        for (long i = 0; i < nx; i++)
            for (long k = 0; k < nz; k++) {
                double x = x0 + static_cast<double>(i) * dx, z = z0 + static_cast<double>(k) * dz;
                ASSERT_EQ(ggrid_GAddGridPoint(cv, g, x, f(x, z), z), 0) << i << " " << k;
            }
        unsigned char changed = 0;
        ASSERT_EQ(ggrid_GCompleteGrid(cv, g, &changed), 0);
        ASSERT_EQ(g->aux != nullptr, centres);
        grec::clear();
    }
};

}  // namespace pelxtest
