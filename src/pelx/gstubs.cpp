// The shared "can't do" operations of the driver table and the stand-in
// drivers built from them: what a protocol uses until its driver installs
// its own table.  The stand-ins only know their driver's default device
// modes and y direction, so devices and canvases can be opened and
// transformed without any output.

#include "pelx.h"

#include <cstring>

int gstub_Canvas(GCanvasRecord *) { return 0; }
int gstub_Device(GDeviceRecord *) { return 0; }
int gstub_Area(GCanvasRecord *, const GVector *, const GVector *) { return 0; }
int gstub_Arc(GCanvasRecord *, const GVector *, const GVector *, long, long) { return 0; }
int gstub_Grid(GCanvasRecord *, const GVector *, const GVector *, long, const GVector *) { return 0; }
int gstub_Points(GCanvasRecord *, const GVector *) { return 0; }
int gstub_Polygon(GCanvasRecord *, const GVector *, int) { return 0; }
int gstub_GetDeviceModes(GDeviceRecord *d, GDeviceModes *m)
{
    *m = d->modes;
    return 0;
}
int gstub_TextLimits(GCanvasRecord *, const char *, short corners[8])
{
    memset(corners, 0, 8 * sizeof(short));
    return 0;
}
int gstub_None() { return -1; }
int gstub_OpenDevice(GDeviceRecord *, uint64_t) { return 0; }
int gstub_PutText(GCanvasRecord *, const char *, const GVector *) { return 0; }
int gstub_SamplePointer(GDeviceRecord *, void *) { return 0; }
int gstub_Mask(GCanvasRecord *, uint64_t) { return 0; }
int gstub_SetDeviceModes(GDeviceRecord *d, uint64_t mask, const GDeviceModes *m)
{
    gdev_GApplyDeviceModes(d, mask, m);
    return 0;
}
int gstub_Comment(GCanvasRecord *, const char *) { return 0; }
int gstub_Image(GCanvasRecord *, const void *) { return 0; }
int gstub_CanvasColour(GCanvasRecord *, long *colour, unsigned char)
{
    *colour = 0;
    return 0;
}
int gstub_Clip(GCanvasRecord *, const void *) { return 0; }
int gstub_YDown(GDeviceRecord *) { return 1; }
int gstub_YUp(GDeviceRecord *) { return 0; }

namespace {

// ---- the stand-ins' default device modes ------------------------------------

void base_defaults(GDeviceModes *m, unsigned char protocol, long dcx, long dcy, long ucx, long ucy)
{
    *m = GDeviceModes{};
    m->protocol = protocol;
    m->dcxdim = dcx;
    m->dcydim = dcy;
    m->ucxdim = ucx;
    m->ucydim = ucy;
    gdev_GComputeVdcExtents(m);
    m->bg_colour = 1;
    m->colourmap = -1;
    m->supports = 0xFFFFFFFFu;
}

int x_defaults(GDeviceModes *m)
{
    base_defaults(m, GP_X, 600, 450, 1024, 768);
    m->vdcxdim = m->vdcydim = 4095;
    m->dcxpos = m->dcypos = 10;
    m->borderwidth = 3;
    m->bitdepth = 8;
    m->iswindow = 1;
    m->backingstore = 1;
    return 0;
}
int ps_defaults(GDeviceModes *m)
{
    base_defaults(m, GP_POSTSCRIPT, 6120, 7920, 6120, 7920);
    m->vdcxdim = m->vdcydim = 4095;
    m->landscape = 1;
    m->centre = 1;
    return 0;
}
int hpgl_defaults(GDeviceModes *m)
{
    base_defaults(m, GP_HPGL, 10000, 7200, 10365, 7962);
    m->vdcxdim = m->vdcydim = 4095;
    m->dcxpos = 250;
    m->dcypos = 596;
    m->landscape = 1;
    m->centre = 1;
    return 0;
}
int image_defaults(GDeviceModes *m)
{
    base_defaults(m, GP_IMAGE, 600, 450, 600, 450);
    m->centre = 1;
    m->scale = 1;
    return 0;
}

// ---- the stand-in tables -----------------------------------------------------

constexpr GEntryPoints stand_in(int (*defaults)(GDeviceModes *), int (*invert)(GDeviceRecord *))
{
    return GEntryPoints{
        .ClearArea = gstub_Area,
        .ClearCanvas = gstub_Canvas,
        .ClearDevice = gstub_Device,
        .CloseCanvas = gstub_Canvas,
        .CloseDevice = gstub_Device,
        .DrawArc = gstub_Arc,
        .DrawGrid = gstub_Grid,
        .DrawLine = gstub_Area,
        .DrawLines = gstub_Points,
        .DrawPolyLine = gstub_Points,
        .DrawFilledPolygon = gstub_Polygon,
        .DrawRectangle = gstub_Area,
        .DrawTextLines = gstub_Points,
        .FlushDevice = gstub_Device,
        .GetDeviceModes = gstub_GetDeviceModes,
        .GetRelativeTextLimits = gstub_TextLimits,
        .Initialise = gstub_None,
        .InvertYDim = invert,
        .OpenCanvas = gstub_Canvas,
        .OpenDevice = gstub_OpenDevice,
        .PutText = gstub_PutText,
        .SamplePointer = gstub_SamplePointer,
        .SetCanvasModes = gstub_Mask,
        .SetDefaultDeviceModes = defaults,
        .SetDeviceModes = gstub_SetDeviceModes,
        .SetFillModes = gstub_Mask,
        .SetLineModes = gstub_Mask,
        .SetTextModes = gstub_Mask,
        .Terminate = gstub_None,
        .CommentOutput = gstub_Comment,
        .FlushCanvas = gstub_Canvas,
        .DrawImage = gstub_Image,
        .GetCanvasColour = gstub_CanvasColour,
        .SetPolylineClip = gstub_Clip,
        .CreateTransforms = gstub_Canvas,
    };
}

// In the order of GDRV_X11, GDRV_POSTSCRIPT, GDRV_HPGL, GDRV_IMAGE.
const GEntryPoints stand_ins[GDRV_COUNT] = {
    stand_in(x_defaults, gstub_YDown),
    stand_in(ps_defaults, gstub_YUp),
    stand_in(hpgl_defaults, gstub_YUp),
    stand_in(image_defaults, gstub_YDown),
};
static_assert(GDRV_X11 == 0 && GDRV_POSTSCRIPT == 1 && GDRV_HPGL == 2 && GDRV_IMAGE == 3);

}  // namespace

const GEntryPoints *gep_GStubEntryPoints(int driver)
{
    return driver >= 0 && driver < GDRV_COUNT ? &stand_ins[driver] : nullptr;
}
