// The mesh modes of a canvas: the switches of mesh, skirt and image
// drawing that the shaded-surface kind sets.

#include "pelx.h"

int gmesh_GSetMeshModes(GCanvasRecord *canvas, uint64_t mask, const GMeshModes *modes)
{
    if (!canvas || !modes)
        return -1;
    GMeshModes &m = canvas->mesh;
    if (mask & GMSM_SKIRT)
        m.skirt = modes->skirt;
    if (mask & GMSM_BORDER)
        m.border = modes->border;
    if (mask & GMSM_COLOURING)
        m.colouring = modes->colouring;
    if (mask & GMSM_SHADING)
        m.shading = modes->shading;
    if (mask & GMSM_COLOUR)
        m.colour = modes->colour;
    return 0;
}

int gmesh_GGetMeshModes(GCanvasRecord *canvas, GMeshModes *modes)
{
    if (!canvas || !modes)
        return -1;
    *modes = canvas->mesh;
    return 0;
}

int gmesh_GSetDefaultMeshModes(GCanvasRecord *canvas)
{
    const GMeshModes defaults{0, 0, 0, 0, 1};
    return gmesh_GSetMeshModes(canvas, GMASK_ALL, &defaults);
}
