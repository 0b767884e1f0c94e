// The image-file device's entry table (protocol 6).
#pragma once

#include "pelx.h"

extern const GEntryPoints image_entry_points;
const GEntryPoints *giinit_GIPrimitives();
// gep_GSetDriver(GDRV_IMAGE, &image_entry_points)
void giinit_GInstallDriver();
