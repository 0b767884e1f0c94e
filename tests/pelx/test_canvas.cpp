// Devices, canvases and the transform chain.

#include "pelxfixture.h"

#include <cmath>
#include <cstring>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

using Canvas = OnDevice;

TEST_F(Canvas, DeviceOpenFailures)
{
    GDeviceModes m{};
    CaptureStderr();
    EXPECT_EQ(GOpenDevice(0, &m, nullptr), nullptr);  // no protocol
    EXPECT_EQ(last_error(), std::make_pair(3, 2));
    m.protocol = 9;
    EXPECT_EQ(GOpenDevice(GDM_PROTOCOL, &m, nullptr), nullptr);
    EXPECT_EQ(last_error(), std::make_pair(3, 2));
    m.protocol = GP_POSTSCRIPT;
    grec::answers().open_device = -1;
    EXPECT_EQ(GOpenDevice(GDM_PROTOCOL, &m, nullptr), nullptr);
    EXPECT_EQ(last_error(), std::make_pair(4, 8));
    EXPECT_EQ(gep_GEntryPoints(7), nullptr);
    GetCapturedStderr();
}

TEST_F(Canvas, ClosingADeviceClosesItsCanvasesFirst)
{
    open(GP_POSTSCRIPT);
    for (int i = 0; i < 3; i++)
        ASSERT_NE(GOpenCanvas(dev, 0, nullptr), nullptr);
    EXPECT_EQ(glist_GGetListLen(dev->canvases), 3);
    grec::clear();
    GCloseDevice(dev);
    dev = nullptr;
    std::vector<int> slots;
    for (auto &c : grec::calls())
        slots.push_back(c.slot);
    EXPECT_EQ(slots, (std::vector<int>{3, 3, 3, 4}));
}

TEST_F(Canvas, DefaultModesFollowTheDevice)
{
    // 800 by 600 gives VDC extents 4095 by 3071.
    open(GP_POSTSCRIPT, 800, 600);
    EXPECT_EQ(dev->modes.vdcxdim, 4095);
    EXPECT_EQ(dev->modes.vdcydim, 3071);
    cv = GOpenCanvas(dev, 0, nullptr);
    GCanvasModes m;
    GGetCanvasModes(cv, &m);
    EXPECT_EQ(m.origin[0], 409);
    EXPECT_EQ(m.origin[1], 307);
    EXPECT_EQ(m.size[0], 3276);
    EXPECT_EQ(m.size[1], 2456);
    EXPECT_EQ(m.ccextent[0], 4095);
    EXPECT_EQ(m.ccextent[1], 4096 * 2456 / 3276 - 1);
    EXPECT_EQ(m.dimension, 2);
    EXPECT_EQ(m.clip, 1);
    EXPECT_EQ(m.coords, GCS_CC);
    EXPECT_EQ(m.fit[0], -1);
    EXPECT_EQ(m.extra, -1);
    EXPECT_EQ(m.world[4], 4095);
    // A size without extents derives them.
    GCanvasModes s{};
    s.size[0] = 2000;
    s.size[1] = 1000;
    GSetCanvasModes(cv, GCM_SIZE, &s);
    GGetCanvasModes(cv, &m);
    EXPECT_EQ(m.ccextent[0], 4095);
    EXPECT_EQ(m.ccextent[1], 2047);
    EXPECT_EQ(m.ccextent[2], 4095);
    // Choosing a coordinate system chooses the transform of drawing calls.
    s.coords = GCS_PS;
    GSetCanvasModes(cv, GCM_COORDS, &s);
    EXPECT_EQ(cv->current, &cv->xf[GX_PS]);
    s.coords = GCS_DC;
    GSetCanvasModes(cv, GCM_COORDS, &s);
    EXPECT_EQ(cv->current, &cv->xf[GX_PS]);
}

TEST_F(Canvas, DeviceWithYDownwards)
{
    open(GP_X, 1000, 800);
    EXPECT_EQ(dev->modes.vdcydim, 3275);
    canvas();
    double p[4] = {4095, 3275, 0, 0};
    GVector in{GV_DOUBLE, 0, 2, 2, {p, nullptr, nullptr}}, out;
    ASSERT_EQ(GTransformPoints(cv, GCS_VDC, GCS_DC, &in, &out), 0);
    ASSERT_EQ(out.type, GV_SHORT);
    short *s = static_cast<short *>(out.data[0]);
    EXPECT_EQ(s[0], 999);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[2], 0);
    EXPECT_EQ(s[3], 799);
    gvector_GFreeVectorData(&out);
    EXPECT_EQ(GTransformLength(cv, 1, 0, 4096), 1000);
    EXPECT_EQ(GTransformLength(cv, 0, 0, 1000), 4096);
    EXPECT_EQ(GTransformLength(cv, 12, 0, 1), -1);
    EXPECT_EQ(GTransformLength(cv, 1, 2, 1), -1);
}

TEST_F(Canvas, ShortResultsSaturateAndTruncate)
{
    GXform t;
    gcoords_GInitialiseTransform(&t);
    double p[6] = {40000.7, -3.9, -40000, 3.9, 0.5, -0.5};
    GVector in{GV_DOUBLE, 0, 2, 3, {p, nullptr, nullptr}}, out;
    ASSERT_EQ(gcoords_GTransformVector(&out, &in, &t, 0, GV_SHORT, 2), 0);
    short *s = static_cast<short *>(out.data[0]);
    short want[6] = {32767, -3, -32768, 3, 0, 0};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(s[i], want[i]) << i;
    gvector_GFreeVectorData(&out);
    // Other output types and element types are refused.
    EXPECT_EQ(gcoords_GTransformVector(&out, &in, &t, 0, GV_FLOAT, 2), -1);
    unsigned char b[2] = {1, 2};
    GVector bv{GV_BYTE, 0, 2, 1, {b, nullptr, nullptr}};
    EXPECT_EQ(gcoords_GTransformVector(&out, &bv, &t, 0, GV_DOUBLE, 2), -1);
    GVector one{GV_DOUBLE, 0, 1, 3, {p, nullptr, nullptr}};
    EXPECT_EQ(gcoords_GTransformVector(&out, &one, &t, 0, GV_DOUBLE, 2), -1);
}

TEST_F(Canvas, InputTypesAndLayouts)
{
    open(GP_POSTSCRIPT);
    canvas();
    double xd[2] = {100, 200}, yd[2] = {300, 400}, zd[2] = {5, 6};
    float f[6] = {100, 300, 5, 200, 400, 6};
    int64_t l[6] = {100, 300, 5, 200, 400, 6};
    int16_t s[6] = {100, 300, 5, 200, 400, 6};
    GVector inputs[] = {{GV_DOUBLE, 1, 3, 2, {xd, yd, zd}},
                        {GV_FLOAT, 0, 3, 2, {f, nullptr, nullptr}},
                        {GV_LONG, 0, 3, 2, {l, nullptr, nullptr}},
                        {GV_SHORT, 0, 3, 2, {s, nullptr, nullptr}}};
    for (auto &in : inputs) {
        GVector out;
        ASSERT_EQ(GTransformPoints(cv, GCS_CC, GCS_VDC, &in, &out), 0);
        ASSERT_EQ(out.dims, 3);
        double *o = static_cast<double *>(out.data[0]);
        EXPECT_NEAR(o[0], 100, 1e-9) << int(in.type);
        EXPECT_NEAR(o[4], 400, 1e-9) << int(in.type);
        EXPECT_NEAR(o[5], 6, 1e-9) << int(in.type);
        gvector_GFreeVectorData(&out);
        // To DC: 16-bit, with the input's dimensions.
        ASSERT_EQ(GTransformPoints(cv, GCS_CC, GCS_DC, &in, &out), 0);
        EXPECT_EQ(out.type, GV_SHORT);
        EXPECT_EQ(static_cast<short *>(out.data[0])[3], 200);
        gvector_GFreeVectorData(&out);
    }
}

// Every pair of the systems, there and back, on canvases with and without
// view angles and plot-space fitting.
TEST_F(Canvas, RoundTripsBetweenEverySystem)
{
    open(GP_X, 900, 700);
    struct Setup {
        long a1, a2;
        int16_t fit;
    } setups[] = {{0, 0, -1}, {30 * 64, 45 * 64, -1}, {-20 * 64, 60 * 64, 2000}};
    for (auto &su : setups) {
        GCanvasModes m{};
        m.origin[0] = 300, m.origin[1] = 200;
        m.size[0] = 3000, m.size[1] = 2000, m.size[2] = 3000;
        m.psorigin[0] = 400, m.psorigin[1] = 300;
        m.pssize[0] = 2500, m.pssize[1] = 1500, m.pssize[2] = 1800;
        m.psextent[0] = 4095, m.psextent[1] = 2456, m.psextent[2] = 4095;
        m.angle1 = su.a1, m.angle2 = su.a2;
        m.fit[0] = m.fit[1] = su.fit;
        double w[6] = {-10, 5, 0, 30, 25, 100};
        memcpy(m.world, w, sizeof w);
        cv = GOpenCanvas(dev, GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_PSEXTENT | GCM_ANGLE1 |
                                  GCM_ANGLE2 | GCM_FIT | GCM_WORLD,
                         &m);
        ASSERT_NE(cv, nullptr);
        double p[9] = {1.5, 2.5, 3.5, 17, 11, 60, -4, 20, 99};
        GVector in{GV_DOUBLE, 0, 3, 3, {p, nullptr, nullptr}};
        int systems[] = {GCS_VDC, GCS_CC, GCS_PS, GCS_WC};
        for (int a : systems)
            for (int b : systems) {
                GVector mid, back;
                ASSERT_EQ(GTransformPoints(cv, a, b, &in, &mid), 0);
                ASSERT_EQ(GTransformPoints(cv, b, a, &mid, &back), 0);
                double *o = static_cast<double *>(back.data[0]);
                for (int i = 0; i < 9; i++)
                    EXPECT_NEAR(o[i], p[i], 1e-6) << a << "->" << b << " fit " << su.fit << " i " << i;
                gvector_GFreeVectorData(&mid);
                gvector_GFreeVectorData(&back);
            }
        // The fitted plot space measures the fit size, its corner at the origin.
        if (su.fit != -1) {
            GXform ps2cc;
            GXform cc_inv{cv->xf[GX_CC].inverse, cv->xf[GX_CC].forward};
            gcoords_GCombineTransforms(&ps2cc, &cv->xf[GX_PS], &cc_inv);
            double box[4];
            GGetPlotspaceBoundingBox(cv, &ps2cc.forward, box);
            EXPECT_NEAR(box[2] - box[0], su.fit, 1e-6);
            EXPECT_NEAR(box[3] - box[1], su.fit, 1e-6);
            EXPECT_NEAR(box[0], 400, 1e-6);
            EXPECT_NEAR(box[1], 300, 1e-6);
        }
        GCloseCanvas(cv);
    }
}

TEST_F(Canvas, EmptyWorldRangeDoesNotDivideByZero)
{
    open(GP_POSTSCRIPT);
    GCanvasModes m{};
    double w[6] = {5, 5, 5, 5, 5, 5};
    memcpy(m.world, w, sizeof w);
    cv = GOpenCanvas(dev, GCM_WORLD, &m);
    for (double v : cv->xf[GX_WC].forward.m)
        EXPECT_TRUE(std::isfinite(v));
    for (double v : cv->xf[GX_WC].inverse.offset)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(GTransformLength(cv, 9, 0, 10), -1);
}

TEST_F(Canvas, BaseDeviceKeepsItsTransform)
{
    GDeviceModes m{};
    m.protocol = GP_POSTSCRIPT;
    m.dcxdim = 2048;
    m.dcydim = 1024;
    m.basedevice = 1;
    dev = GOpenDevice(GDM_PROTOCOL | GDM_DCXDIM | GDM_DCYDIM | GDM_BASEDEVICE, &m, nullptr);
    ASSERT_NE(dev, nullptr);
    cv = GOpenCanvas(dev, 0, nullptr);
    EXPECT_DOUBLE_EQ(gdev_GGetBaseTransform()->forward.m[0], 2047.0 / 4095);
    // Base device to VDC with the aspect kept.
    double p[2] = {2047, 1023};
    GVector in{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}}, out;
    ASSERT_EQ(GTransformBaseToVdcPoints(&in, &out, 1, &dev->modes), 0);
    EXPECT_NEAR(static_cast<double *>(out.data[0])[0], 4095, 1e-9);
    EXPECT_NEAR(static_cast<double *>(out.data[0])[1], 2047, 1e-9);
    gvector_GFreeVectorData(&out);
    // Corrected for a device of another aspect (base 2048 x 1024: e > 1;
    // this device 2048 x 1024: g <= 1 gives x times e, y times g).
    gdev_GSetBaseDevLimits(2048, 1024);
    ASSERT_EQ(GTransformBaseToVdcPoints(&in, &out, 0, &dev->modes), 0);
    double e = 2047.0 / 1023, g = 1023.0 / 2047;
    EXPECT_NEAR(static_cast<double *>(out.data[0])[0], 4095 * e, 1e-6);
    EXPECT_NEAR(static_cast<double *>(out.data[0])[1], 2047 * g, 1e-6);
    gvector_GFreeVectorData(&out);
    gdev_GSetBaseDevLimits(0, 0);
}

TEST_F(Canvas, UserTransformPlacesAndInverts)
{
    open(GP_POSTSCRIPT);
    canvas();
    double origin[3] = {10, 0, 0}, position[3] = {1000, 500, 0}, scales[3] = {2, 2, 1};
    long angles[3] = {0, 0, 90 * 64};
    for (int mode : {0, 1, 2}) {
        double flips[3] = {mode == 2 ? 100.0 : 0.0, 0, 0};
        GXform *t = gcoords_GCreateUserTransform(cv, origin, position, angles, scales, flips, mode);
        ASSERT_NE(t, nullptr);
        double in[3] = {5, 0, 0}, out[3], back[3];
        gcoords_GApplyPart(&t->forward, in, out);
        gcoords_GApplyPart(&t->inverse, out, back);
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(back[i], in[i], 1e-9) << mode;
        if (mode == 0) {
            // Translate by the origin (15, 0), turn by 90 and double: (0, 30),
            // then to the position; the canvas maps one to one here.
            EXPECT_NEAR(out[0], 1000, 1e-6);
            EXPECT_NEAR(out[1], 530, 1e-6);
        }
        gcoords_GFreeUserTransform(t);
    }
    GXform s;
    gcoords_GInitialiseTransform(&s);
    s.forward.offset[0] = 7;
    gcoords_GInvertForward(&s);
    gcoords_GScaleTransformIsotropic(&s, 4);
    double in[3] = {3, 1, 2}, out[3], back[3];
    gcoords_GApplyPart(&s.forward, in, out);
    gcoords_GApplyPart(&s.inverse, out, back);
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(back[i], in[i], 1e-12);
}

TEST_F(Canvas, EveryProtocolHasItsDriver)
{
    // X and PCL share the X11 driver, PostScript and EPS theirs, HP-GL and
    // HP-GL/2 theirs, the image driver the rest; each opens and closes.
    const int driver[7] = {GDRV_X11, GDRV_POSTSCRIPT, GDRV_POSTSCRIPT, GDRV_HPGL, GDRV_HPGL, GDRV_X11, GDRV_IMAGE};
    grec::remove();
    for (int p = 0; p < 7; p++) {
        EXPECT_EQ(gep_GEntryPoints(p), gep_GStubEntryPoints(driver[p])) << p;
        GDeviceModes m{};
        m.protocol = static_cast<unsigned char>(p);
        GDeviceRecord *d = GOpenDevice(GDM_PROTOCOL, &m, nullptr);
        ASSERT_NE(d, nullptr) << p;
        EXPECT_EQ(d->modes.protocol, p);
        EXPECT_EQ(GCloseDevice(d), 0);
    }
    // The stand-ins' defaults: the X11 driver's as the kernel expects them.
    GDeviceModes x{};
    gep_GStubEntryPoints(GDRV_X11)->SetDefaultDeviceModes(&x);
    EXPECT_EQ(x.dcxdim, 600);
    EXPECT_EQ(x.dcydim, 450);
    EXPECT_EQ(x.vdcxdim, 4095);
    EXPECT_EQ(x.bg_colour, 1);
    EXPECT_EQ(x.colourmap, -1);
    EXPECT_EQ(x.borderwidth, 3);
    EXPECT_EQ(x.iswindow, 1);
    grec::install();
}

TEST_F(Canvas, ShadowColours)
{
    gcolour_GCreateDefColourTable();
    GColour blue{};
    blue.blue = 58821;  // value 90 percent
    gcolour_GAddColour(&blue);
    GList *tables[GT_COUNT] = {gcolour_GCreateDevColourTable(), nullptr, nullptr, nullptr, nullptr, nullptr};
    GDeviceModes m{};
    m.protocol = GP_POSTSCRIPT;
    dev = GOpenDevice(GDM_PROTOCOL, &m, tables);
    cv = GOpenCanvas(dev, 0, nullptr);
    long light = -1, dark = -1;
    ASSERT_EQ(gcolour_GGetShadowColours(cv, 0, &light, &dark), 0);
    EXPECT_EQ(light, 1);
    EXPECT_EQ(dark, 2);
    // The value is first held to 80: light 99 (1.3 x 80 capped), dark 56.
    EXPECT_EQ(gcolour_GGetColour(tables[GT_COLOURS], light)->blue, 64702);
    EXPECT_EQ(gcolour_GGetColour(tables[GT_COLOURS], dark)->blue, 36599);
    EXPECT_EQ(gcolour_GGetColour(tables[GT_COLOURS], dark)->red, 0);
    // Asked again with nothing appended between: the same two entries.
    ASSERT_EQ(gcolour_GGetShadowColours(cv, 0, &light, &dark), 0);
    EXPECT_EQ(light, 1);
    EXPECT_EQ(GGetNumColours(dev), 3);
    // After another colour was appended, a new pair is made.
    gcolour_GAddMoreColour(tables[GT_COLOURS], &blue);
    ASSERT_EQ(gcolour_GGetShadowColours(cv, 0, &light, &dark), 0);
    EXPECT_EQ(light, 4);
    EXPECT_EQ(dark, 5);
    // The default table is not touched.
    EXPECT_EQ(GGetNumColoursIn(nullptr), 1);
    GCloseDevice(dev);
    dev = nullptr;
    gcolour_GDestroyColourTable(nullptr);
}

TEST(BoundingBox, OnThePage)
{
    struct Case {
        unsigned char fill, landscape;
        long x, y, dcx, dcy, ucx, ucy;
        long box[4];
        int result;
    } cases[] = {
        {0, 0, 10, 20, 100, 50, 0, 0, {10, 20, 110, 70}, 0},
        {1, 1, 0, 0, 100, 50, 200, 100, {0, 0, 50, 100}, 0},
        {1, 1, 0, 0, 100, 50, 100, 400, {0, 0, 100, 200}, 0},
        {1, 0, 0, 0, 100, 100, 100, 300, {0, 200, 100, 300}, 0},
        {1, 0, 0, 0, 100, 100, 300, 100, {0, 0, 100, 100}, 0},
        {1, 0, 0, 0, 0, 100, 300, 100, {0, 0, 0, 0}, -1},  // no picture to scale
    };
    for (auto &c : cases) {
        GDeviceRecord d{};
        d.modes.fillpage = c.fill;
        d.modes.landscape = c.landscape;
        d.modes.dcxpos = c.x, d.modes.dcypos = c.y;
        d.modes.dcxdim = c.dcx, d.modes.dcydim = c.dcy;
        d.modes.ucxdim = c.ucx, d.modes.ucydim = c.ucy;
        long box[4];
        EXPECT_EQ(gbits_GComputeBoundingBox(&d, box), c.result);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(box[i], c.box[i]) << i << " of case " << &c - cases;
    }
}

TEST_F(Canvas, CanvasColour)
{
    open(GP_X);
    canvas();
    GSetCanvasColour(5);
    long c = 0;
    GGetCanvasColour(cv, &c, 0);
    EXPECT_EQ(c, -5);  // X devices: the set colour, negated
    GCloseDevice(dev);
    open(GP_POSTSCRIPT);
    canvas();
    GGetCanvasColour(cv, &c, 2);
    EXPECT_EQ(c, 7);  // the driver's answer
    EXPECT_EQ(grec::of(32).at(0).ints.at(0), 2);
}

// Line modes read and set again are the same modes: a caller that saves
// the modes around its own drawing and puts them back must not move the
// line style by one each time (a solid legend box came out dashed so).
TEST_F(Canvas, LineModesReadBackAsTheyAreSet)
{
    open(GP_POSTSCRIPT);
    canvas();
    for (long stored : {-1L, 0L, 1L, 5L}) {
        SCOPED_TRACE(stored);
        GLineModes m{stored + 1, 7, GFN_XOR, 1, 3};  // styles numbered from 1, 0 the solid line
        GSetLineModes(cv, GMASK_ALL, &m);
        ASSERT_EQ(cv->line.style, stored);
        GLineModes got{};
        GGetLineModes(cv, &got);
        EXPECT_EQ(got.style, stored + 1);
        for (int round = 0; round < 3; round++) {
            GSetLineModes(cv, GMASK_ALL, &got);
            GGetLineModes(cv, &got);
        }
        EXPECT_EQ(cv->line.style, stored);
        EXPECT_EQ(got.style, m.style);
        EXPECT_EQ(got.colour, m.colour);
        EXPECT_EQ(got.function, m.function);
        EXPECT_EQ(got.flag, m.flag);
        EXPECT_EQ(got.width, m.width);
        EXPECT_EQ(grec::of(GEP_SET_LINE_MODES).back().line.style, stored) << "the driver sees the stored style";
    }
}

}  // namespace
