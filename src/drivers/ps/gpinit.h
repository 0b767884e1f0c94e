// The PostScript and EPS driver's entry table (protocols 1 and 2).
#pragma once

#include "pelx.h"

extern const GEntryPoints ps_entry_points;
const GEntryPoints *gpinit_GPPrimitives();
// gep_GSetDriver(GDRV_POSTSCRIPT, &ps_entry_points)
void gpinit_GInstallDriver();
