// The colour bar of a graph is not here yet: nothing is drawn.

#include "seams.h"

void gocolbar_go_draw_colourbar(GoGraph *, int, GoAxisBlock *) {}
