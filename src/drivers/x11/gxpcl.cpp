// The PCL device: the X11 driver drawing into a pixmap.

#include "gx11.h"

int gxpcl_GXSetupPCL(GDeviceRecord *device)
{
    GDeviceModes &m = device->modes;
    m.iswindow = 0;
    if (m.clr_planes == 1)
        m.bitdepth = 1;
    return 0;
}

int gxpcl_GXWritePCLOutput(GDeviceRecord *) { return 0; }
