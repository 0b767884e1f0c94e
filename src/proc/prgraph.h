// The graph view behind the procedures: a replay makes its graphs in the
// display window's graph view and reads their formats from the file; the
// writer takes each graph's place, size, data order and format from it.
#pragma once

#include <cstdio>

// Fills the graph entries of `prexec_hooks` and `prmgr_graph_writer`.
void prgraph_use_graph_view();

// A graph of the graph view at a place and size (pixels) with its format
// read from the file: its kind from the format, multiple y axes when the
// format needs them.  0 when the format cannot be read or names no kind.
int prgraph_create_graph(int x, int y, int width, int height, FILE *file);
