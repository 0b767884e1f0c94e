// The PostScript driver's entry table.

#include "gpinit.h"
#include "gpdriver.h"

const GEntryPoints ps_entry_points = {
    .ClearArea = gpdraw_GPClearArea,
    .ClearCanvas = gstub_Canvas,  // paper cannot be cleared
    .ClearDevice = gstub_Device,
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
    .FlushDevice = gstub_Device,  // the document is written as it goes
    .GetDeviceModes = gpdev_GPGetDeviceModes,
    // Text is measured by the document itself (the prolog's aligned shows):
    // an empty box leaves the point where it is.
    .GetRelativeTextLimits = gstub_TextLimits,
    .Initialise = gstub_None,
    .InvertYDim = gstub_YUp,
    .OpenCanvas = gpcanv_GPOpenCanvas,
    .OpenDevice = gpdev_GPOpenDevice,
    .PutText = gpdraw_GPPutText,
    .SamplePointer = gstub_SamplePointer,  // paper has no pointer
    .SetCanvasModes = gpcanv_GPSetCanvasModes,
    .SetDefaultDeviceModes = gpdev_GPSetDefaultDeviceModes,
    .SetDeviceModes = gpdev_GPSetDeviceModes,
    .SetFillModes = gpcanv_GPSetFillModes,
    .SetLineModes = gstub_Mask,  // line and text state is written at draw time
    .SetTextModes = gstub_Mask,
    .Terminate = gstub_None,
    .CommentOutput = gpdraw_GPCommentOutput,
    .FlushCanvas = gstub_Canvas,
    .DrawImage = gpdraw_GPDrawImage,
    .GetCanvasColour = gpcanv_GPGetCanvasColour,
    .SetPolylineClip = gpcanv_GPSetPolylineClip,
    .CreateTransforms = gpcanv_GPCreateTransforms,
};

const GEntryPoints *gpinit_GPPrimitives() { return &ps_entry_points; }

void gpinit_GInstallDriver() { gep_GSetDriver(GDRV_POSTSCRIPT, &ps_entry_points); }
