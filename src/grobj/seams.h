// The annotation objects of a graph (goobj.h), its overlays (goover.h) and
// legend; the colour bar still to come.
#pragma once

#include "goobj.h"
#include "goover.h"

#include <cstdio>

struct GoGraph;

// The colour bar of a graph: drawn by its own layer once that exists;
// until then nothing is drawn.  The legend (goleg.cpp) is drawn when
// `lgenable` is set.
struct GoAxisBlock;
void goleg_go_draw_legend(GoGraph *graph, int legend_kind);

void gocolbar_go_draw_colourbar(GoGraph *graph, int dataset, GoAxisBlock *zaxis);
