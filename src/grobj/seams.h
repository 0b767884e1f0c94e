// The annotation objects of a graph (goobj.h), its overlays (goover.h),
// colour bar (gocolbar.h) and legend.
#pragma once

#include "gocolbar.h"
#include "goobj.h"
#include "goover.h"

#include <cstdio>

struct GoGraph;

// The legend (goleg.cpp), drawn when `lgenable` is set.
void goleg_go_draw_legend(GoGraph *graph, int legend_kind);
