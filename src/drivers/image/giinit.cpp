// The image-file device's entry table.

#include "giinit.h"
#include "gidriver.h"

const GEntryPoints image_entry_points = {
    .ClearArea = gidraw_GIClearArea,
    .ClearCanvas = gstub_Canvas,
    .ClearDevice = gstub_Device,
    .CloseCanvas = gicanv_GICloseCanvas,
    .CloseDevice = gidev_GICloseDevice,
    .DrawArc = gidraw_GIDrawArc,
    .DrawGrid = gstub_Grid,  // nothing is drawn
    .DrawLine = gidraw_GIDrawLine,
    .DrawLines = gidraw_GIDrawLines,
    .DrawPolyLine = gidraw_GIDrawPolyLine,
    .DrawFilledPolygon = gidraw_GIDrawFilledPolygon,
    .DrawRectangle = gidraw_GIDrawRectangle,
    .DrawTextLines = gidraw_GIDrawTextLines,
    .FlushDevice = gstub_Device,  // the file is written when the device closes
    .GetDeviceModes = gidev_GIGetDeviceModes,
    .GetRelativeTextLimits = gitext_GIGetRelativeTextLimits,
    .Initialise = gstub_None,
    .InvertYDim = gstub_YDown,
    .OpenCanvas = gicanv_GIOpenCanvas,
    .OpenDevice = gidev_GIOpenDevice,
    .PutText = gitext_GIPutText,
    .SamplePointer = gstub_SamplePointer,
    .SetCanvasModes = gicanv_GISetCanvasModes,
    .SetDefaultDeviceModes = gidev_GISetDefaultDeviceModes,
    .SetDeviceModes = gidev_GISetDeviceModes,
    .SetFillModes = gstub_Mask,  // modes are read at draw time
    .SetLineModes = gstub_Mask,
    .SetTextModes = gstub_Mask,
    .Terminate = gstub_None,
    .CommentOutput = gidraw_GICommentOutput,
    .FlushCanvas = gstub_Canvas,
    .DrawImage = GIDrawImage,
    .GetCanvasColour = gicanv_GIGetCanvasColour,
    .SetPolylineClip = gstub_Clip,
    .CreateTransforms = gicanv_GICreateTransforms,
};

const GEntryPoints *giinit_GIPrimitives() { return &image_entry_points; }

void giinit_GInstallDriver() { gep_GSetDriver(GDRV_IMAGE, &image_entry_points); }
