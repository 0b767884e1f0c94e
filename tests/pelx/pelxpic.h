// Pictures of the kernel's drawings: a device of the configuration (the
// PNG device, or EPS rendered by Ghostscript at the PNG's size) with a
// canvas and plot space over it in world coordinates, PNG files read back,
// and pixels probed by colour near computed points.
#pragma once

#include "ggrid.h"
#include "giinit.h"
#include "gpinit.h"
#include "imagelib.h"
#include "pelx.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pelxpic {

inline std::string build_dir()
{
    const char *b = getenv("VX_BUILD_DIR");
    return b ? b : ".";
}

class Library : public testing::Environment {
public:
    void SetUp() override
    {
        std::string etc = build_dir() + "/etc";
        ASSERT_EQ(GInitialise(etc.c_str(), "pelx.cfg", (build_dir() + "/messages/SUN4SOLARIS/C/pelx.cat").c_str(),
                              (etc + "/pelx.rgb").c_str()),
                  0);
        giinit_GInstallDriver();
        gpinit_GInstallDriver();
    }
    void TearDown() override
    {
        gep_GSetDriver(GDRV_IMAGE, nullptr);
        gep_GSetDriver(GDRV_POSTSCRIPT, nullptr);
        GTerminate();
    }
};

struct ImageFree {
    void operator()(IImage *i) const { IFreeImage(i); }
};
using Image = std::unique_ptr<IImage, ImageFree>;
using RGB = std::array<int, 3>;

constexpr int W = 256, H = 256;
constexpr long LINE_COLOUR = 2;  // red, on white

inline RGB rgb_of(const GColour *c)
{
    auto byte = [](uint16_t v) { return static_cast<int>(static_cast<unsigned char>(static_cast<int>(v / 65356.0 * 255))); };
    return {byte(c->red), byte(c->green), byte(c->blue)};
}

inline Image read_png(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return nullptr;
    IImage *im = nullptr;
    int rc = IReadImageFile(f, IFORMAT_PNG, 0, &im);
    fclose(f);
    return rc == 0 ? Image(im) : nullptr;
}

inline RGB pixel(const IImage *im, int x, int y)
{
    const unsigned char *p = im->pixels + (static_cast<size_t>(y) * im->width + x) * 3;
    return {p[0], p[1], p[2]};
}

// Whether the colour is found within r pixels of (x, y), each channel
// within 3 levels; what lies at (x, y) comes back in `seen`.
inline bool near(const IImage *im, int x, int y, RGB want, int r, std::string *seen)
{
    if (x >= 0 && y >= 0 && x < im->width && y < im->height) {
        RGB p = pixel(im, x, y);
        *seen = std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
    }
    for (int dy = -r; dy <= r; dy++)
        for (int dx = -r; dx <= r; dx++) {
            int px = x + dx, py = y + dy;
            if (px < 0 || py < 0 || px >= im->width || py >= im->height)
                continue;
            RGB p = pixel(im, px, py);
            if (std::abs(p[0] - want[0]) <= 3 && std::abs(p[1] - want[1]) <= 3 && std::abs(p[2] - want[2]) <= 3)
                return true;
        }
    return false;
}

// A world point as a fraction of the picture, from its left and from its top.
struct Spot {
    double x, y;
};

class Pictures : public testing::Test {
protected:
    std::string dir = vxtest::temp_dir("contourpic");
    GGrid *grid = nullptr;
    std::vector<Spot> spots;  // where the probes' world points fell, by device
    long elevation = 0;       // the canvas's first view angle

    void TearDown() override
    {
        ggrid_GDestroyGrid(grid);
        std::filesystem::remove_all(dir);
    }

    // Draws on device entry `index` (2 EPS, 5 PNG) of the given size into
    // `path`: a canvas and plot space over the whole device in the world box
    // `world` (x0, y0, z0, x1, y1, z1), then `paint`.  The probes'
    // world points come back as fractions of the picture.
    void draw(long index, long dcx, long dcy, const std::string &path, const double world[6],
              const std::function<void(GCanvasRecord *)> &paint, const std::vector<std::array<double, 3>> &probes)
    {
        GDeviceEntry e{};
        ASSERT_EQ(GGetDevice(index, &e), 0);
        e.modes.dcxdim = dcx;
        e.modes.dcydim = dcy;
        e.modes.dcxpos = e.modes.dcypos = 0;
        e.modes.scale = 1;
        e.modes.output = 0;
        e.modes.fillpage = 0;
        e.modes.centre = 0;
        snprintf(e.modes.filename, sizeof e.modes.filename, "%s", path.c_str());
        GDeviceRecord *dev = GOpenDevice(e.mask | GDM_DCXDIM | GDM_DCYDIM | GDM_DCXPOS | GDM_DCYPOS | GDM_OUTPUT |
                                              GDM_FILENAME | GDM_FILLPAGE | GDM_CENTRE,
                                          &e.modes, e.tables);
        if (!dev)
            gdev_GFreeDeviceEntry(&e);
        ASSERT_NE(dev, nullptr);
        GCanvasModes cm{};
        cm.clip = 0;
        cm.coords = GCS_WC;
        cm.size[0] = dev->modes.vdcxdim, cm.size[1] = dev->modes.vdcydim, cm.size[2] = dev->modes.vdcxdim;
        cm.pssize[0] = cm.size[0], cm.pssize[1] = cm.size[1], cm.pssize[2] = cm.size[0];
        for (int i = 0; i < 6; i++)
            cm.world[i] = world[i];
        cm.angle1 = elevation;
        GCanvasRecord *cv = GOpenCanvas(dev,
                                        GCM_CLIP | GCM_COORDS | GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE |
                                            GCM_WORLD | GCM_ANGLE1,
                                        &cm);
        ASSERT_NE(cv, nullptr);
        paint(cv);
        bool down = gep_GDeviceEntryPoints(dev)->InvertYDim(dev) == 1;
        spots.clear();
        for (const auto &p : probes) {
            double w[3] = {p[0], p[1], p[2]};
            GVector in{GV_DOUBLE, 0, 3, 1, {w, nullptr, nullptr}}, out{};
            ASSERT_EQ(GTransformPoints(cv, GCS_WC, GCS_DC, &in, &out), 0);
            double fx = gvector_GGetValue(&out, 0, 0) / static_cast<double>(dcx - 1);
            double fy = gvector_GGetValue(&out, 0, 1) / static_cast<double>(dcy - 1);
            gvector_GFreeVectorData(&out);
            spots.push_back({fx, down ? fy : 1 - fy});
        }
        ASSERT_EQ(GCloseDevice(dev), 0);
    }

    // The PNG and the EPS rendered at the PNG's size, with the probes'
    // pixels in each.
    std::array<Image, 2> pictures(const std::string &name, const double world[6],
                                  const std::function<void(GCanvasRecord *)> &paint,
                                  const std::vector<std::array<double, 3>> &probes,
                                  std::array<std::vector<Spot>, 2> &where)
    {
        std::string png = dir + "/" + name + ".png", eps = dir + "/" + name + ".eps",
                    rendered = dir + "/" + name + "-eps.png";
        std::array<Image, 2> out;
        draw(5, W, H, png, world, paint, probes);
        where[0] = spots;
        draw(2, W * 10, H * 10, eps, world, paint, probes);
        where[1] = spots;
        vxtest::Result r = vxtest::run({"/usr/bin/gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                                        "-g" + std::to_string(W) + "x" + std::to_string(H), "-dEPSFitPage",
                                        "-sOutputFile=" + rendered, eps});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ((r.out + r.err).find("Error"), std::string::npos) << r.out << r.err;
        out[0] = read_png(png);
        out[1] = read_png(rendered);
        return out;
    }

    void make(long n, double x0, double step, const std::function<double(double, double)> &f)
    {
        ggrid_GDestroyGrid(grid);
        grid = ggrid_GCreateGrid(x0, step, n, x0, step, n);
        ASSERT_NE(grid, nullptr);
        for (long i = 0; i < n; i++)
            for (long k = 0; k < n; k++)
                grid->values[i][k] = GGridCell{f(x0 + i * step, x0 + k * step), 1.0};
        // Completed by hand: no working counts, the centres the means.
        grid->finished = 1;
        for (long i = 0; i + 1 < n; i++)
            for (long k = 0; k + 1 < n; k++)
                grid->aux[i][k] = GGridCell{0.25 * (grid->values[i][k].value + grid->values[i + 1][k].value +
                                                    grid->values[i][k + 1].value + grid->values[i + 1][k + 1].value),
                                            0.0};
    }
};

}  // namespace pelxpic
