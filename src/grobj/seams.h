// The annotation objects of a graph (goobj.h); the overlays and colour bar
// still to come.
#pragma once

#include "goobj.h"

#include <cstdio>

struct GoGraph;

// Overlays and the colour bar of a graph: drawn by their own layers once
// those exist; until then nothing is drawn.  The legend (goleg.cpp) is
// drawn when `lgenable` is set.
struct GoAxisBlock;
void goover_go_draw_all_overlays(GoGraph *graph, int dataset, int flag);
void goover_go_calculate_overlay_spread(GoGraph *graph, int dataset, double *start, double *spread);
void goleg_go_draw_legend(GoGraph *graph, int legend_kind);

void gocolbar_go_draw_colourbar(GoGraph *graph, int dataset, GoAxisBlock *zaxis);
