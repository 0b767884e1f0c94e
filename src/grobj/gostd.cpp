// The standard methods of the graph classes: create and destroy, set-data,
// the cursor read-out in both directions, the zoom stack and mutate.

#include "gomain.h"
#include "gsformat.h"
#include "seams.h"

#include "dsmgr.h"
#include "dsput.h"
#include "vxutil.h"

#include <algorithm>
#include <cstring>

Widget go_canvas_window = nullptr;

namespace {

double through(ScaleProc p, double v) { return p ? p(v) : v; }

void copy_text(char *out, const char *text)
{
    if (!out)
        return;
    safe_strcpy(out, text ? text : "", GO_LABEL_TEXT);
}

// A value as the data printer writes it: one wider than the column, one
// more decimal for a real column, blanks trimmed.
void print_value(const DozColDesc *type, double value, char *out)
{
    if (!out)
        return;
    const int width = (type ? type->width : 10) + 1;
    int precision = type && type->type == DOZ_T_REAL ? type->precision + 1 : 1;
    if (precision == 0)
        precision = -1;
    const char *p = dsprint_ds_sprint(&value, std::min(width, GO_LABEL_TEXT - 1), precision, DOZ_T_REAL);
    char trimmed[GO_LABEL_TEXT];
    safe_strcpy(trimmed, p ? p : "", sizeof trimmed);
    strbtrim(out, trimmed);
}

void free_stack(GoGraph *g)
{
    for (GoZoomStack *n = g->zoomstack; n;) {
        GoZoomStack *next = n->next;
        vx_free(n);
        n = next;
    }
    g->zoomstack = nullptr;
}

void unzoom(GoGraph *g)
{
    if (g->zoom)
        vx_free(g->zoom);
    g->zoom = nullptr;
    free_stack(g);
}

void push(GoGraph *g, const GoZoomWindow &w)
{
    auto *n = static_cast<GoZoomStack *>(vx_malloc(sizeof(GoZoomStack), 1));
    *n = GoZoomStack{w.ymax, w.ymin, w.xmax, w.xmin, nullptr};
    if (!g->zoomstack) {
        g->zoomstack = n;
        return;
    }
    GoZoomStack *last = g->zoomstack;
    while (last->next)
        last = last->next;
    last->next = n;
}

// Sets the window (and *previous) to the next-to-last node's limits; with
// remove set the last node goes.  False with fewer than two nodes.
bool pop(GoGraph *g, GoZoomWindow *window, GoZoomWindow *previous, bool remove)
{
    GoZoomStack *n = g->zoomstack;
    if (!n || !n->next)
        return false;
    GoZoomStack *before = nullptr;
    while (n->next) {
        window->ymax = n->ymax;
        window->ymin = n->ymin;
        window->xmax = n->xmax;
        window->xmin = n->xmin;
        if (previous) {
            previous->ymax = n->ymax;
            previous->ymin = n->ymin;
            previous->xmax = n->xmax;
            previous->xmin = n->xmin;
        }
        before = n;
        n = n->next;
    }
    if (remove) {
        vx_free(n);
        before->next = nullptr;
    }
    return true;
}

int parmsetdata(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale, int axis_mode)
{
    if (!graph)
        return 0;
    if (!graph->multiy && dataset != graph->first)
        return 0;
    const int axis = gomy_go_multiy_for_dataset(graph, dataset);
    if (axis < 0)
        std_dataset_stats(graph, dataset, &graph->xblock, &graph->yblock, &graph->zblock, 1);
    else
        std_dataset_stats(graph, dataset, nullptr, gomy_go_multiy_axis(graph, axis), nullptr, 1);
    if (graph->yblock.count == 0) {
        go_show_error(GO_NO_Y_DATA);
        dsmgr_ds_set_datanull(1);
    } else {
        dsmgr_ds_set_datanull(0);
    }
    if (gomy_go_multiy_axis_enabled(graph, axis) && auto_scale)
        return auto_scale(graph, axis_mode);
    return 1;
}

}  // namespace

// ---- create, destroy, mutate -----------------------------------------------------------

int gostd_std_create_graph(GoGraph **graph, Widget canvas_window, const int placement[4])
{
    if (!graph || !placement)
        return 0;
    auto *g = static_cast<GoGraph *>(vx_malloc(sizeof(GoGraph), 1));
    memset(static_cast<void *>(g), 0, sizeof *g);
    g->kind = 0;
    g->x = placement[0];
    g->y = placement[1];
    g->width = placement[2];
    g->height = placement[3];
    go_canvas_window = canvas_window;
    g->canvas = go_open_canvas(canvas_window, placement);
    g->first = g->last = g->kept = -1;
    *graph = g;
    return 1;
}

int gostd_std_create_2dz_graph(GoGraph **graph, Widget canvas_window, const int placement[4])
{
    if (!gostd_std_create_graph(graph, canvas_window, placement))
        return 0;
    (*graph)->kind2dz = 1;
    return 1;
}

void gostd_std_destroy_graph(GoGraph *graph)
{
    if (!graph)
        return;
    if (graph->canvas)
        GCloseCanvas(graph->canvas);
    graph->canvas = nullptr;
    if (!graph->multiy && graph->zoom)
        unzoom(graph);
    gomy_term_multiy(graph);  // the extra y axes' blocks share the zoom window's place
    gobj_go_destroy_objects(graph);
    vx_free(graph);
}

int gostd_std_mutate_graph(GoGraph *graph, int)
{
    if (!graph)
        return 0;
    if (graph->first >= 0)
        std_dataset_stats(graph, graph->first, &graph->xblock, &graph->yblock, &graph->zblock, 1);
    graph->kind2dz = 0;
    return 1;
}

int gostd_std_mutate_2dz_graph(GoGraph *graph, int previous_kind)
{
    if (!gostd_std_mutate_graph(graph, previous_kind))
        return 0;
    graph->kind2dz = 1;
    return 1;
}

// ---- set-data ------------------------------------------------------------------------------

int gostd_std_parmsetdata_scalar_graph(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale)
{
    return parmsetdata(graph, dataset, auto_scale, GO_AXES_SCALAR);
}
int gostd_std_parmsetdata_x_nonscalar_graph(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale)
{
    return parmsetdata(graph, dataset, auto_scale, GO_AXES_CATEGORY_X);
}
int gostd_std_parmsetdata_y_nonscalar_graph(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale)
{
    return parmsetdata(graph, dataset, auto_scale, GO_AXES_CATEGORY_Y);
}
int gostd_std_parmsetdata_block_graph(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale)
{
    return parmsetdata(graph, dataset, auto_scale, GO_AXES_BLOCK);
}
int gostd_std_setdata_scalar_graph(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_scalar_graph(graph, dataset, std_auto_scale);
}
int gostd_std_setdata_x_nonscalar_graph(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_x_nonscalar_graph(graph, dataset, std_auto_scale);
}
int gostd_std_setdata_y_nonscalar_graph(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_y_nonscalar_graph(graph, dataset, std_auto_scale);
}

// ---- the read-out ------------------------------------------------------------------------

int gostd_std_input_graph(GoGraph *graph, const int point[2], int clamp, double **values,
                          const DozColDesc **xtype, const DozColDesc **ytype, char *text)
{
    static double pair[2];
    if (values)
        *values = nullptr;
    if (text)
        *text = '\0';
    if (!graph || !point)
        return 0;
    if (graph->multiy) {
        go_say(GO_INPUT_MULTIY);
        return 0;
    }
    if (graph->first < 0 || !graph->canvas)
        return 0;
    double w[2];
    if (!gomain_go_map_to_world(graph->canvas, point, w) && !clamp)
        return 0;
    pair[1] = through(scale_GGetReverseScaleProc(&graph->yblock.scale), w[1]);
    pair[0] = through(scale_GGetReverseScaleProc(&graph->xblock.scale), w[0]);
    gomain_go_get_tinfos(graph, graph->first, xtype, ytype, nullptr);
    if (values)
        *values = pair;
    return 1;
}

void gostd_std_get_label(GoGraph *graph, const char *format, const DozColDesc *type, double value, int,
                         char *text)
{
    if (!text)
        return;
    if (!format || !*format || !type || type->type == DOZ_T_STRING) {
        print_value(type, value, text);
        return;
    }
    format_GSetupLabelFormat(format, type->type, 80, type->width, type->precision, -1);
    if (graph && graph->zoomed && !graph->multiy && graph->zoom)
        format_GSetupZoomLabelAdjustment(std::max(graph->zoom->xextent, graph->zoom->yextent));
    char out[96] = {};
    format_GFormatLabel(out, &value, type->type);
    copy_text(text, out);
}

namespace {

const char *label_format(GoGraph *graph, int property)
{
    const char *f = static_cast<const char *>(goprop_go_property(graph, property, 0, 0));
    return f ? f : "";
}

int output(GoGraph *graph, GoReadout *r, int dataset, char *xtext, char *ytext, char *ztext, bool multiy,
           bool three)
{
    if (!graph || !r || r->mode != 0 || r->request != 0 || !r->values)
        return 0;
    double *v = r->values;
    if (graph->first < 0)
        return 0;
    GoAxisBlock *y = &graph->yblock;
    if (multiy && graph->multiy) {
        const int axis = gomy_go_multiy_for_dataset(graph, dataset);
        gomy_go_set_multiy_coord(graph, dataset);
        if (GoAxisBlock *b = gomy_go_multiy_axis(graph, axis))
            y = b;
    }
    const double x0 = v[0], y0 = v[1], z0 = v[2];
    v[1] = through(scale_GGetForwardScaleProc(&y->scale), y0);
    v[0] = through(scale_GGetForwardScaleProc(&graph->xblock.scale), x0);
    v[2] = through(scale_GGetForwardScaleProc(&graph->zblock.scale), z0);
    if (three)
        r->count = 3;
    if (!xtext)
        return 1;
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    const int n = gomain_go_get_tinfos(graph, dataset, &xt, &yt, &zt);
    gostd_std_get_label(graph, label_format(graph, GP_YLABELFORMAT), yt, y0, 0, ytext);
    gostd_std_get_label(graph, label_format(graph, GP_XLABELFORMAT), xt, x0, 0, xtext);
    if (three || n == 3) {
        r->count = 3;
        gostd_std_get_label(graph, label_format(graph, GP_ZLABELFORMAT), zt, z0, 0, ztext);
    } else {
        r->count = 2;
        copy_text(ztext, "");
    }
    return 1;
}

}  // namespace

int gostd_std_output_graph(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext,
                           char *ztext)
{
    return output(graph, request, dataset, xtext, ytext, ztext, true, false);
}

int gostd_std_3d_output_graph(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext,
                              char *ztext)
{
    return output(graph, request, dataset, xtext, ytext, ztext, false, true);
}

int gostd_std_2dz_output_graph(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext,
                               char *ztext)
{
    if (!graph || !request || request->mode != 0 || request->request != 0 || !request->values)
        return 0;
    request->count = 2;
    if (graph->first < 0)
        return 0;
    double *v = request->values;
    const double x0 = v[0], y0 = v[1], z0 = v[2];
    const double x = through(scale_GGetForwardScaleProc(&graph->xblock.scale), x0);
    const double y = through(scale_GGetForwardScaleProc(&graph->yblock.scale), y0);
    const double z = through(scale_GGetForwardScaleProc(&graph->zblock.scale), z0);
    // x and z make the canvas plane; y is the colour value.
    v[0] = x;
    v[1] = z;
    v[2] = y;
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    gomain_go_get_tinfos(graph, dataset, &xt, &yt, &zt);
    print_value(xt, x0, xtext);
    print_value(yt, y0, ytext);
    print_value(zt, z0, ztext);
    return 1;
}

// ---- zooming ---------------------------------------------------------------------------------

int gostd_std_zoom_graph(GoGraph *graph, const double corner1[2], const double corner2[2],
                         GoZoomWindow *previous, int operation)
{
    if (!graph)
        return 0;
    if (graph->multiy) {
        go_say(GO_ZOOM_MULTIY_METHOD);
        return 0;
    }
    if (operation == 3) {
        if (!graph->zoom)
            return 0;
        if (!pop(graph, graph->zoom, previous, corner1 == nullptr)) {
            unzoom(graph);
            graph->zoomed = 0;
        }
        return 1;
    }
    if (!corner1 || !corner2) {
        unzoom(graph);
        return 1;
    }
    if (!graph->zoom) {
        graph->zoom = static_cast<GoZoomWindow *>(vx_malloc(sizeof(GoZoomWindow), 1));
        *graph->zoom = GoZoomWindow{};
    }
    GoZoomWindow &w = *graph->zoom;
    w.ymax = corner1[1];
    w.ymin = corner2[1];
    w.xmax = corner2[0];
    w.xmin = corner1[0];
    if (operation != 2)
        push(graph, w);
    return 1;
}

int gostd_graph_multi_zoomed(GoGraph *graph)
{
    return graph && !graph->multiy && graph->zoomstack && graph->zoomstack->next ? 1 : 0;
}

int gostd_zoom_stack_depth(const GoGraph *graph)
{
    int n = 0;
    if (graph && !graph->multiy)
        for (const GoZoomStack *s = graph->zoomstack; s; s = s->next)
            n++;
    return n;
}

int gomain_go_get_zoom_limits(GoGraph *graph, char *xmin, char *xmax, char *vmin, char *vmax)
{
    if (!graph || !graph->zoomed || graph->multiy || !graph->zoom)
        return 0;
    GoClass *c = gomain_go_class(graph);
    if (!c || !c->output)
        return 0;
    char scratch[GO_LABEL_TEXT], scratch2[GO_LABEL_TEXT];
    const bool vertical_z = graph->coords2dz != 0;
    const double corners[2][2] = {{graph->zoom->xmin, graph->zoom->ymin}, {graph->zoom->xmax, graph->zoom->ymax}};
    char *xs[2] = {xmin, xmax}, *vs[2] = {vmin, vmax};
    for (int i = 0; i < 2; i++) {
        double v[3] = {corners[i][0], vertical_z ? 0 : corners[i][1], vertical_z ? corners[i][1] : 0};
        GoReadout r{0, 0, 0, v};
        char *x = xs[i] ? xs[i] : scratch;
        char *y = vertical_z ? scratch2 : (vs[i] ? vs[i] : scratch2);
        char *z = vertical_z ? (vs[i] ? vs[i] : scratch2) : scratch;
        c->output(graph, &r, graph->first, x, y, z);
    }
    return 1;
}
