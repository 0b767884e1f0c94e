// The colour bar of a graph coloured by value: a vertical bar filled with
// the colour map beside the plot area (right of it for `cbgravity` 1,
// else left), with its own ticks, division labels and title, drawn when
// `cbenable` is set.
#pragma once

struct GoGraph;
struct GoAxisBlock;

// Draws the bar for the graph's colour map 0; `block` (when given) is the
// scale of the values (the z axis of a graph coloured by z), else the y
// axis.  Labels take the y column's type of the dataset (the graph's first
// dataset when the one given is outside its range).  Every mode it
// changes is put back.
void gocolbar_go_draw_colourbar(GoGraph *graph, int dataset, GoAxisBlock *block);
