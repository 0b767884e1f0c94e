// Canvases, canvas modes and the transform pipeline.

#include "ggrid.h"
#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>

namespace {

long canvas_colour = 0;

int16_t t16(double v) { return static_cast<int16_t>(std::trunc(v)); }

// 4095 on the longer of x and y, the other in proportion; z as x.
void extents_of(const int16_t size[3], int16_t ext[3])
{
    long x = size[0], y = size[1];
    if (x <= 0 || y <= 0) {
        ext[0] = ext[1] = 4095;
    } else if (x >= y) {
        ext[0] = 4095;
        ext[1] = static_cast<int16_t>(4096 * y / x - 1);
    } else {
        ext[1] = 4095;
        ext[0] = static_cast<int16_t>(4096 * x / y - 1);
    }
    ext[2] = ext[0];
}

void default_modes(GCanvasRecord *c)
{
    GCanvasModes &m = c->modes;
    const GDeviceModes &d = c->device->modes;
    m = GCanvasModes{};
    m.dimension = 2;
    m.clip = 1;
    m.coords = GCS_CC;
    m.origin[0] = t16(0.1 * d.vdcxdim);
    m.origin[1] = t16(0.1 * d.vdcydim);
    m.size[0] = static_cast<int16_t>(t16(0.9 * d.vdcxdim) - m.origin[0]);
    m.size[1] = static_cast<int16_t>(t16(0.9 * d.vdcydim) - m.origin[1]);
    m.size[2] = m.size[0];
    extents_of(m.size, m.ccextent);
    m.psorigin[0] = m.psorigin[1] = 0;
    for (int i = 0; i < 3; i++)
        m.pssize[i] = t16(0.8 * m.size[i]);
    extents_of(m.pssize, m.psextent);
    m.fit[0] = m.fit[1] = -1;
    for (int i = 0; i < 3; i++) {
        m.world[i] = m.axisbox[i] = 0;
        m.world[i + 3] = m.axisbox[i + 3] = 4095;
    }
    m.extra = -1;
}

void scale_part(GXformPart &p, double sx, double sy, double sz)
{
    p = GXformPart{{0, 0, 0}, {sx, 0, 0, 0, sy, 0, 0, 0, sz}};
}

double ratio(double n, double d) { return d == 0.0 ? 1.0 : n / d; }

}  // namespace

// ---- transforms ----------------------------------------------------------

int GComputeVdcToDc(GCanvasRecord *c)
{
    GDeviceRecord *dev = c->device;
    const GDeviceModes &d = dev->modes;
    GXform &t = c->xf[GX_VDC];
    double sx = ratio(static_cast<double>(d.dcxdim - 1), d.vdcxdim);
    double sy = ratio(static_cast<double>(d.dcydim - 1), d.vdcydim);
    scale_part(t.forward, sx, sy, sx);
    scale_part(t.inverse, ratio(1, sx), ratio(1, sy), ratio(1, sx));
    if (gep_GDeviceEntryPoints(dev)->InvertYDim(dev) == 1)
        gcoords_GHackXformToInvertYdim(&t, static_cast<double>(d.dcydim - 1));
    if (d.basedevice)
        gdev_GSetBaseTransform(&t);
    return 0;
}

int GComputeCcToVdc(GCanvasRecord *c)
{
    const GCanvasModes &m = c->modes;
    GXform cc2vdc;
    double s[3];
    for (int i = 0; i < 3; i++)
        s[i] = ratio(m.size[i], m.ccextent[i]);
    scale_part(cc2vdc.forward, s[0], s[1], s[2]);
    cc2vdc.forward.offset[0] = m.origin[0];
    cc2vdc.forward.offset[1] = m.origin[1];
    scale_part(cc2vdc.inverse, ratio(1, s[0]), ratio(1, s[1]), ratio(1, s[2]));
    cc2vdc.inverse.offset[0] = -m.origin[0] * cc2vdc.inverse.m[0];
    cc2vdc.inverse.offset[1] = -m.origin[1] * cc2vdc.inverse.m[4];
    gcoords_GCombineTransforms(&c->xf[GX_CC], &cc2vdc, &c->xf[GX_VDC]);
    return 0;
}

int GGetPlotspaceBoundingBox(GCanvasRecord *c, const GXformPart *ps_to_cc, double box[4])
{
    const int16_t *e = c->modes.psextent;
    box[0] = box[1] = INFINITY;
    box[2] = box[3] = -INFINITY;
    for (int k = 0; k < 8; k++) {
        double p[3] = {(k & 1) ? double(e[0]) : 0.0, (k & 2) ? double(e[1]) : 0.0, (k & 4) ? double(e[2]) : 0.0};
        double q[3];
        gcoords_GApplyPart(ps_to_cc, p, q);
        box[0] = std::fmin(box[0], q[0]);
        box[1] = std::fmin(box[1], q[1]);
        box[2] = std::fmax(box[2], q[0]);
        box[3] = std::fmax(box[3], q[1]);
    }
    return 0;
}

int GFudgePlotspaceTransform(GCanvasRecord *c, GXformPart *p)
{
    const GCanvasModes &m = c->modes;
    double box[4];
    GGetPlotspaceBoundingBox(c, p, box);
    double fx = ratio(m.fit[0], box[2] - box[0]), fy = ratio(m.fit[1], box[3] - box[1]);
    for (int j = 0; j < 3; j++) {
        p->m[j] *= fx;
        p->m[3 + j] *= fy;
    }
    p->offset[0] *= fx;
    p->offset[1] *= fy;
    GGetPlotspaceBoundingBox(c, p, box);
    p->offset[0] += m.psorigin[0] - box[0];
    p->offset[1] += m.psorigin[1] - box[1];
    return 0;
}

int GComputePsToCc(GCanvasRecord *c)
{
    const GCanvasModes &m = c->modes;
    double a = m.angle1 / 64.0 * M_PI / 180, b = m.angle2 / 64.0 * M_PI / 180;
    double rx[9] = {1, 0, 0, 0, cos(a), -sin(a), 0, sin(a), cos(a)};
    double ry[9] = {cos(b), 0, -sin(b), 0, 1, 0, sin(b), 0, cos(b)};
    double s[9] = {ratio(m.pssize[0], m.psextent[0]), 0, 0, 0, ratio(m.pssize[1], m.psextent[1]), 0,
                   0, 0, ratio(m.pssize[2], m.psextent[2])};
    double r[9];
    gmatrix_GMultiply3DMatrices(r, rx, ry);
    GXform ps2cc;
    gmatrix_GMultiply3DMatrices(ps2cc.forward.m, s, r);
    ps2cc.forward.offset[0] = m.psorigin[0];
    ps2cc.forward.offset[1] = m.psorigin[1];
    ps2cc.forward.offset[2] = 0;
    if (m.fit[0] != -1)
        GFudgePlotspaceTransform(c, &ps2cc.forward);
    gcoords_GInvertForward(&ps2cc);
    gcoords_GCombineTransforms(&c->xf[GX_PS], &ps2cc, &c->xf[GX_CC]);
    return 0;
}

int GComputeWcToPs(GCanvasRecord *c)
{
    const GCanvasModes &m = c->modes;
    GXform wc2ps;
    gcoords_GInitialiseTransform(&wc2ps);
    for (int i = 0; i < 3; i++) {
        double range = m.world[i + 3] - m.world[i];
        // An empty range maps one to one (for every axis: x and y as z).
        if (range == 0.0 || !std::isfinite(range))
            continue;
        double s = m.psextent[i] / range;
        wc2ps.forward.m[4 * i] = s;
        wc2ps.forward.offset[i] = -m.world[i] * s;
        wc2ps.inverse.m[4 * i] = 1 / s;
        wc2ps.inverse.offset[i] = m.world[i];
        if (m.psextent[i] == 0) {
            wc2ps.forward.m[4 * i] = 1;
            wc2ps.forward.offset[i] = 0;
            wc2ps.inverse.m[4 * i] = 1;
            wc2ps.inverse.offset[i] = 0;
        }
    }
    gcoords_GCombineTransforms(&c->xf[GX_WC], &wc2ps, &c->xf[GX_PS]);
    return 0;
}

int GComputeAllTransformations(GCanvasRecord *c)
{
    GComputeVdcToDc(c);
    GComputeCcToVdc(c);
    GComputePsToCc(c);
    GComputeWcToPs(c);
    gep_GCanvasEntryPoints(c)->CreateTransforms(c);
    return 0;
}

// ---- canvases ------------------------------------------------------------

GCanvasRecord *GOpenCanvas(GDeviceRecord *device, uint64_t mask, const GCanvasModes *modes)
{
    if (!device)
        return nullptr;
    GCanvasRecord *c = static_cast<GCanvasRecord *>(vx_malloc(sizeof(GCanvasRecord), 0));
    if (!c) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    memset(static_cast<void *>(c), 0, sizeof *c);
    for (GXform &t : c->xf)
        gcoords_GInitialiseTransform(&t);
    c->current = &c->xf[GX_WC];
    c->reserved = nullptr;
    c->driver = nullptr;
    c->device = device;
    c->line = GLineModes{-1, 1, GFN_COPY, 0, 0};
    c->fill = GFillModes{0, 0, 0, 0, 1, GFN_COPY};
    c->text = GTextModes{0, 1, 1.0, 0, 6};
    c->marker = GMarkerModes{0, 1.0};
    default_modes(c);
    if (modes)
        GSetCanvasModes(c, mask, modes);
    else
        mask = 0;
    if (!(mask & GCM_TRANSFORMS))
        GComputeAllTransformations(c);
    const GEntryPoints *ep = gep_GCanvasEntryPoints(c);
    ep->OpenCanvas(c);
    gtext_GSetDefaultTextModes(c);
    gmarker_GSetDefaultMarkerModes(c);
    gline_GSetDefaultLineModes(c);
    gfill_GSetDefaultFillModes(c);
    gsurf_GSetDefaultSurfaceModes(c);
    GSetDefaultContourModes(c);
    gcolmap_GSetDefaultColourMapModes(c);
    ggrid_GSetDefaultGridModes(c);
    gmesh_GSetDefaultMeshModes(c);
    gthresh_GSetDefaultThresholdModes(c);
    if (glist_GAppendToList(device->canvases, c, 1) != 0) {
        ep->CloseCanvas(c);
        vx_free(c);
        return nullptr;
    }
    return c;
}

int GCloseCanvas(GCanvasRecord *canvas)
{
    if (!canvas)
        return -1;
    glist_GDeleteByValFromList(canvas->device->canvases, canvas);
    ggrid_GDestroyCanvasGrid(canvas);
    gep_GCanvasEntryPoints(canvas)->CloseCanvas(canvas);
    vx_free(canvas);
    return 0;
}

int GSetCanvasModes(GCanvasRecord *c, uint64_t mask, const GCanvasModes *s)
{
    GCanvasModes &m = c->modes;
    if (mask & GCM_DIMENSION) m.dimension = s->dimension;
    if (mask & GCM_CLIP) m.clip = s->clip;
    if (mask & GCM_COORDS) {
        m.coords = s->coords;
        switch (m.coords) {
        case GCS_VDC: c->current = &c->xf[GX_VDC]; break;
        case GCS_CC: c->current = &c->xf[GX_CC]; break;
        case GCS_PS: c->current = &c->xf[GX_PS]; break;
        case GCS_WC: c->current = &c->xf[GX_WC]; break;
        default: break;
        }
    }
    if (mask & GCM_ORIGIN) memcpy(m.origin, s->origin, sizeof m.origin);
    if (mask & GCM_SIZE) memcpy(m.size, s->size, sizeof m.size);
    if (mask & GCM_CCEXTENT) memcpy(m.ccextent, s->ccextent, sizeof m.ccextent);
    if (mask & GCM_PSORIGIN) memcpy(m.psorigin, s->psorigin, sizeof m.psorigin);
    if (mask & GCM_PSSIZE) memcpy(m.pssize, s->pssize, sizeof m.pssize);
    if (mask & GCM_ANGLE1) m.angle1 = s->angle1;
    if (mask & GCM_ANGLE2) m.angle2 = s->angle2;
    if (mask & GCM_PSEXTENT) memcpy(m.psextent, s->psextent, sizeof m.psextent);
    if (mask & GCM_FIT) memcpy(m.fit, s->fit, sizeof m.fit);
    if (mask & GCM_WORLD) memcpy(m.world, s->world, sizeof m.world);
    if (mask & GCM_AXISBOX) memcpy(m.axisbox, s->axisbox, sizeof m.axisbox);
    if (mask & GCM_FLAG1) m.flag1 = s->flag1;
    if (mask & GCM_FLAG3D) m.flag3d = s->flag3d;
    if (mask & GCM_EXTRA) m.extra = s->extra;
    if ((mask & GCM_SIZE) && !(mask & GCM_CCEXTENT))
        extents_of(m.size, m.ccextent);
    if (mask & GCM_TRANSFORMS)
        GComputeAllTransformations(c);
    gep_GCanvasEntryPoints(c)->SetCanvasModes(c, mask);
    return 0;
}

int GGetCanvasModes(GCanvasRecord *canvas, GCanvasModes *modes)
{
    *modes = canvas->modes;
    return 0;
}

int GClearCanvas(GCanvasRecord *canvas)
{
    gep_GCanvasEntryPoints(canvas)->ClearCanvas(canvas);
    return 0;
}

int GFlushCanvas(GCanvasRecord *canvas)
{
    gep_GCanvasEntryPoints(canvas)->FlushCanvas(canvas);
    return 0;
}

GDeviceRecord *GDeviceFromCanvas(GCanvasRecord *canvas) { return canvas->device; }

int GGetCanvasColour(GCanvasRecord *canvas, long *colour, unsigned char selector)
{
    if (canvas->device->modes.protocol == GP_X) {
        *colour = -canvas_colour;
        return 0;
    }
    return gep_GCanvasEntryPoints(canvas)->GetCanvasColour(canvas, colour, selector);
}

long GSetCanvasColour(long colour)
{
    canvas_colour = colour;
    return colour;
}

long GGetNumColoursCanv(GCanvasRecord *canvas) { return GGetNumColours(canvas->device); }
