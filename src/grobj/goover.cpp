// Overlays of a graph: the even spread of x positions that kinds use for a
// dataset drawn against another's x axis.

#include "gomain.h"
#include "seams.h"

#include <cmath>

void goover_go_calculate_overlay_spread(GoGraph *graph, int dataset, double *start, double *spread)
{
    double x0 = 0, x1 = 0, m = 0;
    if (graph) {
        x0 = graph->xblock.min;
        x1 = graph->xblock.max;
        GoTuple t{};
        t.dataset = dataset;
        const GoClass *cls = gomain_go_class(graph);
        auto reader = reinterpret_cast<GoTupleReader>(
            goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
        if (!reader)
            reader = goprop_triple_reader;
        const int was = goprop_go_tuple_autoinc_get();
        goprop_go_tuple_autoinc(0);
        for (;; goprop_go_next_point(&t)) {
            reader(&t);
            if (t.status & GT_S_END)
                break;
            if (!goprop_null_tuple(&t))
                m++;
        }
        goprop_go_tuple_autoinc(was);
    }
    if (m < 2)
        m = 2;
    if (start)
        *start = x0;
    if (spread)
        *spread = std::fabs(x1 - x0) / (m - 1);
}
