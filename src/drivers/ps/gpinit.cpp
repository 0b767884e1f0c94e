// The PostScript driver's entry table.

#include "gpinit.h"
#include "gpdriver.h"

namespace {

int gp_nothing_canvas(GCanvasRecord *) { return 0; }
int gp_nothing_device(GDeviceRecord *) { return 0; }
int gp_mask(GCanvasRecord *, uint64_t) { return 0; }
int gp_limits(GCanvasRecord *, const char *, short corners[8])
{
    for (int i = 0; i < 8; i++)
        corners[i] = 0;
    return 0;
}
int gp_unsupported() { return -1; }
int gp_y_up(GDeviceRecord *) { return 0; }
int gp_sample(GDeviceRecord *, void *) { return 0; }

const GEntryPoints gp_primitives = {
    .ClearArea = gpdraw_GPClearArea,
    .ClearCanvas = gp_nothing_canvas,
    .ClearDevice = gp_nothing_device,
    .CloseCanvas = gpcanv_GPCloseCanvas,
    .CloseDevice = gpdev_GPCloseDevice,
    .DrawArc = gpdraw_GPDrawArc,
    .DrawGrid = gpdraw_GPDrawGrid,
    .DrawLine = gpdraw_GPDrawLine,
    .DrawLines = gpdraw_GPDrawLines,
    .DrawPolyLine = gpdraw_GPDrawPolyLine,
    .DrawFilledPolygon = gpdraw_GPDrawFilledPolygon,
    .DrawRectangle = gpdraw_GPDrawRectangle,
    .DrawTextLines = gpdraw_GPDrawTextLines,
    .FlushDevice = gp_nothing_device,
    .GetDeviceModes = gpdev_GPGetDeviceModes,
    .GetRelativeTextLimits = gp_limits,
    .Initialise = gp_unsupported,
    .InvertYDim = gp_y_up,
    .OpenCanvas = gpcanv_GPOpenCanvas,
    .OpenDevice = gpdev_GPOpenDevice,
    .PutText = gpdraw_GPPutText,
    .SamplePointer = gp_sample,
    .SetCanvasModes = gpcanv_GPSetCanvasModes,
    .SetDefaultDeviceModes = gpdev_GPSetDefaultDeviceModes,
    .SetDeviceModes = gpdev_GPSetDeviceModes,
    .SetFillModes = gpcanv_GPSetFillModes,
    .SetLineModes = gp_mask,
    .SetTextModes = gp_mask,
    .Terminate = gp_unsupported,
    .CommentOutput = gpdraw_GPCommentOutput,
    .FlushCanvas = gp_nothing_canvas,
    .DrawImage = gpdraw_GPDrawImage,
    .GetCanvasColour = gpcanv_GPGetCanvasColour,
    .SetPolylineClip = gpcanv_GPSetPolylineClip,
    .CreateTransforms = gpcanv_GPCreateTransforms,
};

}  // namespace

const GEntryPoints *gpinit_GPPrimitives() { return &gp_primitives; }
