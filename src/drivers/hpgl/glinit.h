// The HP-GL and HP-GL/2 plotter driver: pens for colours, line types for
// line styles, the plotter's own text, arcs, wedges, rectangles and
// polygons where the configured plotter has them.
#pragma once

#include "pelx.h"

const GEntryPoints *glinit_GLPrimitives();
void glinit_GInstallDriver();

// The `supports` bits of a device (its configuration's supports section).
enum : uint32_t {
    GL_RA = 0x1, GL_WG = 0x2, GL_AA = 0x4, GL_PM = 0x8, GL_FP = 0x10, GL_EP = 0x20, GL_LO = 0x40
};
