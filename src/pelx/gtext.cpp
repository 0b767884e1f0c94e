// Text modes, measuring and output of text.

#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>

int GSetTextModes(GCanvasRecord *canvas, uint64_t mask, const GTextModes *modes)
{
    if (mask & 0x1) canvas->text.font = modes->font;
    if (mask & 0x2) canvas->text.colour = modes->colour;
    if (mask & 0x4) canvas->text.scale = modes->scale;
    if (mask & 0x8) canvas->text.angle = modes->angle;
    if (mask & 0x10) canvas->text.alignment = modes->alignment;
    gep_GCanvasEntryPoints(canvas)->SetTextModes(canvas, mask);
    return 0;
}

int gtext_GSetDefaultTextModes(GCanvasRecord *canvas)
{
    canvas->text = GTextModes{0, 1, 1.0, 0, 6};
    gep_GCanvasEntryPoints(canvas)->SetTextModes(canvas, ~uint64_t(0));
    return 0;
}

int GGetTextModes(GCanvasRecord *canvas, GTextModes *modes)
{
    *modes = canvas->text;
    return 0;
}
