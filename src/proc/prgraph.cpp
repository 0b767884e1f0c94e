// The procedures' reach into the graph view and the graph model.

#include "prgraph.h"

#include "dsmgr.h"
#include "dygrph.h"
#include "dymain.h"
#include "gofile.h"
#include "gomain.h"
#include "prexec.h"
#include "prmgr.h"

namespace {

GoGraph *in_view(void *graph)
{
    auto *g = static_cast<GoGraph *>(graph);
    return g && dygraph_dy_select_graph(g, 0) ? g : nullptr;
}

int geometry(void *graph, int *x, int *y, int *width, int *height, int *order)
{
    GoGraph *g = in_view(graph);
    if (!g)
        return 0;
    *x = g->x;
    *y = g->y;
    *width = g->width;
    *height = g->height;
    *order = g->kept >= 0 ? dsmgr_ds_order(g->kept) : 3;
    return 1;
}

void write_format(FILE *file, void *graph)
{
    if (GoGraph *g = in_view(graph))
        gofile_go_write_graph(g, file);
}

}  // namespace

int prgraph_create_graph(int x, int y, int width, int height, FILE *file)
{
    const int rect[4] = {x, y, width, height};
    GoGraph *g = dygrph_dy_new_graph(0, 0, dygrph_dy_graph_mode(), rect);
    if (!g || !gofile_go_read_graph(g, file))
        return 0;
    return dygrph_dy_take_format_kind(g);
}

void prgraph_use_graph_view()
{
    prexec_hooks.create_graph = prgraph_create_graph;
    prexec_hooks.canvas_size = dymain_dy_get_canvas_size;
    prmgr_graph_writer.geometry = geometry;
    prmgr_graph_writer.canvas_size = dymain_dy_get_canvas_size;
    prmgr_graph_writer.write_format = write_format;
}
