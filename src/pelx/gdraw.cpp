// Drawing primitives and fill modes.

#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>

int GSetFillModes(GCanvasRecord *canvas, uint64_t mask, const GFillModes *modes)
{
    int64_t *d = &canvas->fill.style;
    const int64_t *s = &modes->style;
    for (int i = 0; i < 6; i++)
        if (mask & (uint64_t(1) << i))
            d[i] = s[i];
    return gep_GCanvasEntryPoints(canvas)->SetFillModes(canvas, mask);
}

int gfill_GSetDefaultFillModes(GCanvasRecord *canvas)
{
    canvas->fill = GFillModes{0, 0, 0, 0, 1, 3};
    gep_GCanvasEntryPoints(canvas)->SetFillModes(canvas, ~uint64_t(0));
    return 0;
}

int GGetFillModes(GCanvasRecord *canvas, GFillModes *modes)
{
    *modes = canvas->fill;
    return 0;
}
