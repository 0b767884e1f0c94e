// The overlays and colour bar of a graph are not here yet: nothing is drawn.

#include "seams.h"

void goover_go_draw_all_overlays(GoGraph *, int, int) {}
void gocolbar_go_draw_colourbar(GoGraph *, int, GoAxisBlock *) {}
