// The graph view's list of graphs, their placement on the canvas, and the
// guarded drawing of one graph.

#include "dygrph.h"

#include "dlmess.h"
#include "dsmgr.h"
#include "dymain.h"
#include "dymsgs.h"
#include "goobjdrw.h"
#include "goprop.h"
#include "goshell.h"
#include "gotvar.h"
#include "seams.h"
#include "vxutil.h"

#include <Xm/Xm.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

GoGraph *graphs = nullptr;  // in creation order
GoGraph *selected = nullptr, *previous_selected = nullptr, *focussed = nullptr, *maximised = nullptr;
int saved_rect[4] = {0, 0, 0, 0};
int canvas_w = 0, canvas_h = 0;  // the size the rectangles were laid out for
int graph_mode = 0;
int backing_store = 0;
volatile sig_atomic_t stop_flag = 0;
int own_data_order = 3;  // while no menu holds the order

int data_order() { return dygrph_hooks.data_order ? dygrph_hooks.data_order() : own_data_order; }
void store_data_order(int order)
{
    if (dygrph_hooks.set_data_order)
        dygrph_hooks.set_data_order(order);
    else
        own_data_order = order;
}

// In the action handler's part below.
void select_box(bool draw);
void bell();
void clear_canvas();
void clear_area(int x, int y, int width, int height);

const GoClass *class_of(const GoGraph *g)
{
    return g && g->kind >= 0 && g->kind < GO_CLASSES ? gomain_graph_class[g->kind] : nullptr;
}

int iprop(GoGraph *g, int p, int q = 0)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, q, 0));
    return v ? *v : 0;
}

void set_iprop(GoGraph *g, int p, int v, int q = 0) { goprop_go_set_property(g, p, q, &v); }

void canvas_size(int *w, int *h)
{
    if (dymain_dy_canvas()) {
        dymain_dy_get_canvas_size(w, h);
        return;
    }
    *w = canvas_w;
    *h = canvas_h;
}

bool in_list(const GoGraph *g)
{
    for (GoGraph *p = graphs; p; p = p->next)
        if (p == g)
            return true;
    return false;
}

// Margins in absolute units follow the graph's size: top and bottom by
// the height ratio, left and right by the width ratio.
void scale_margins(GoGraph *g, double wr, double hr, bool round)
{
    if (iprop(g, GP_MARGIN_UNITS) != 0)
        return;
    const int props[4] = {GP_TOPMARGIN, GP_BOTTOMMARGIN, GP_LEFTMARGIN, GP_RIGHTMARGIN};
    for (int i = 0; i < 4; i++) {
        const double r = i < 2 ? hr : wr;
        const double v = iprop(g, props[i]) * r;
        set_iprop(g, props[i], static_cast<int>(round ? std::lround(v) : std::trunc(v)));
    }
}

// The graph's size changed by these ratios: absolute margins and the
// annotation objects follow.
void follow_size(GoGraph *g, double wr, double hr, bool round, int absolute)
{
    scale_margins(g, wr, hr, round);
    gobjdrw_reposition_objects(g, hr, wr, absolute);
}

void set_rect(GoGraph *g, const int r[4])
{
    g->x = r[0];
    g->y = r[1];
    g->width = r[2];
    g->height = r[3];
}

void draw_others(GoGraph *except1, GoGraph *except2, int reason)
{
    for (GoGraph *p = graphs; p; p = p->next)
        if (p != except1 && p != except2)
            dygrph_dy_draw_graph(p, reason, 0);
}

// Whether the data ranges of the graph can be drawn at all.
bool ranges_usable(GoGraph *g)
{
    auto finite = [](const GoAxisBlock &b) { return std::isfinite(b.min) && std::isfinite(b.max); };
    auto empty = [](const GoAxisBlock &b) { return b.max == -DBL_MAX && b.min == DBL_MAX; };
    if (g->multiy) {
        for (int d = g->first; d >= 0 && d <= g->last; d++) {
            const int axis = gomy_go_multiy_for_dataset(g, d);
            if (!gomy_go_multiy_axis_enabled(g, axis))
                continue;
            const GoAxisBlock *b = gomy_go_multiy_axis(g, axis);
            if (!b || !finite(*b) || empty(*b))
                return false;
        }
    }
    for (const GoAxisBlock *b : {&g->xblock, &g->yblock, &g->zblock})
        if (!finite(*b) || empty(*b))
            return false;
    return true;
}

}  // namespace

DyGraphHooks dygrph_hooks{};

// ---- list, selection and focus ----------------------------------------------

GoGraph *dygrph_dy_selected_graph() { return selected; }
GoGraph *dygrph_dy_focussed_graph() { return focussed; }
int dygraph_dy_is_focussed_graph(GoGraph *graph) { return graph && graph == focussed; }

int dygraph_dy_select_graph(GoGraph *graph, int select)
{
    if (!in_list(graph))
        return 0;
    if (select && graph != selected) {
        for (GoGraph *p = graphs; p; p = p->next)
            p->selected = 0;
        graph->selected = 1;
        previous_selected = selected;
        selected = graph;
        // The markers follow the class of the new graph.
        if (dygrph_hooks.selection_enabled && dygrph_hooks.selection_enabled()) {
            const GoClass *c = class_of(graph);
            const bool markers = c && (c->modes & 4);
            if (dygrph_hooks.suppress_markers)
                dygrph_hooks.suppress_markers(markers ? 0 : 1);
            if (markers && dygrph_hooks.marker_action)
                dygrph_hooks.marker_action(17, 0);
        }
        if (dygrph_hooks.selection_changed)
            dygrph_hooks.selection_changed();
    }
    return 1;
}

static void focus(GoGraph *graph)
{
    for (GoGraph *p = graphs; p; p = p->next)
        p->focused = 0;
    graph->focused = 1;
    focussed = graph;
}

void dygraph_dy_get_graph_state(int *count, GoGraph **sel, GoGraph **foc, int *keeps)
{
    int n = 0;
    for (GoGraph *p = graphs; p; p = p->next)
        n++;
    if (count)
        *count = n;
    if (sel)
        *sel = selected;
    if (foc)
        *foc = focussed;
    if (keeps)
        *keeps = focussed && focussed->kept != -1;
}

void dygraph_dy_get_graph_ids(GoGraph **ids)
{
    int i = 0;
    for (GoGraph *p = graphs; p; p = p->next)
        ids[i++] = p;
}

int dygrph_dy_graph_has_data() { return focussed && focussed->kept != -1; }
int dygrph_dy_graph_has_primary_data() { return selected && selected->first != -1; }

int dygrph_dy_graph_dataset_compatible(GoGraph *graph, int dataset, int report)
{
    const GoClass *c = class_of(graph);
    if (!graph || !c || dataset == -1)
        return 0;
    const int character = dsmgr_ds_character(dataset);
    if (character == 0) {
        if (report)
            go_show_error(DY_NO_CHARACTER);
        return 0;
    }
    if (graph->kept == -1 || dataset == graph->first) {
        if (!(character & c->character_mask)) {
            if (report)
                go_show_error(DY_KIND_REFUSES_DATA);
            return 0;
        }
        return 1;
    }
    if (!c->multi_dataset) {
        if (report)
            go_show_error(DY_ONE_DATASET_ONLY);
        return 0;
    }
    return 1;
}

int dygrph_dy_take_format_kind(GoGraph *g)
{
    const int kind = g->format->graphtype;
    GoClass *c = kind >= 0 && kind < GO_CLASSES ? gomain_graph_class[kind] : nullptr;
    if (!c)
        return 0;
    if (kind != g->kind) {
        const int old = g->kind;
        g->kind = kind;
        c->mutate(g, old);
    }
    if (c->multiy_capable && !g->multiy && gomy_go_multiy_needed(g)) {
        g->multiy = 1;
        gomy_init_multiy(g);
    }
    return 1;
}

GoGraph *dygrph_dy_new_graph(int with_data, int interactive, int redraw, const int *rect)
{
    dymain_dy_show_raw_message("");
    int w = 0, h = 0;
    canvas_size(&w, &h);
    canvas_w = w;
    canvas_h = h;
    const GoClass *c0 = gomain_graph_class[0];
    if (!c0)
        return nullptr;
    int r[4] = {5, 5, w - 10, h - 10};
    bool have = false;
    if (interactive) {
        XRectangle x{};
        if (dymain_dy_get_rectangle(&x, 0)) {
            r[0] = x.x, r[1] = x.y, r[2] = x.width, r[3] = x.height;
            have = true;
        }
    }
    if (!have && rect)
        std::copy_n(rect, 4, r);
    GoGraph *g = nullptr;
    if (c0->create(&g, dymain_dy_canvas(), r) != 1 || !g)
        return nullptr;
    g->format = new GoFormat(*goprop_go_default_graph_format());
    dygrph_dy_take_format_kind(g);
    dygrph_dy_restore_graph(redraw);
    GoGraph *old_focus = focussed;
    if (old_focus && old_focus->kept == -1) {
        const int shown = old_focus->last;
        if (dygrph_dy_graph_dataset_compatible(old_focus, shown, 0)) {
            dsmgr_ds_retain();
            old_focus->kept = shown;
        } else if (graph_mode) {
            go_show_error(DY_CANNOT_KEEP);
        }
    }
    GoGraph **tail = &graphs;
    while (*tail)
        tail = &(*tail)->next;
    *tail = g;
    g->next = nullptr;
    focus(g);
    if (redraw)
        select_box(false);
    dygraph_dy_select_graph(g, 1);
    if (redraw)
        select_box(true);
    // A result not kept by the old graph goes to the new one; after the
    // old graph kept its data the archive's current slot is empty.
    if (redraw && with_data && dsmgr_ds_current_exists()) {
        if (old_focus && old_focus->kept != -1) {
            old_focus->last = old_focus->kept;
            dygrph_dy_draw_graph(old_focus, GO_NEW_DATA, 0);
        }
        dygrph_dy_new_data(1);
    }
    return g;
}

void dygrph_dy_clear_graph(int redraw, int new_graph)
{
    for (GoGraph *p = graphs; p;) {
        GoGraph *next = p->next;
        GoFormat *f = p->format;
        if (const GoClass *c = class_of(p))
            c->destroy(p);
        delete f;
        p = next;
    }
    graphs = selected = previous_selected = focussed = maximised = nullptr;
    gotvar_go_clear_expression_cache(nullptr);
    if (dygrph_hooks.marker_action)
        dygrph_hooks.marker_action(14, 0);
    if (new_graph)
        dygrph_dy_new_graph(0, 0, redraw, nullptr);
    if (redraw) {
        clear_canvas();
        select_box(true);
    }
}

int dygrph_dy_keep_graph()
{
    if (!focussed)
        return 0;
    const int current = dsmgr_ds_current();
    if (!dygrph_dy_graph_dataset_compatible(focussed, current, 0)) {
        if (graph_mode)
            go_show_error(DY_CANNOT_KEEP);
        return 0;
    }
    focussed->kept = focussed->last;
    return 1;
}

// ---- placement ----------------------------------------------------------------

void dygrph_dy_canvas_size(int *width, int *height)
{
    *width = canvas_w;
    *height = canvas_h;
}

void dygrph_dy_get_display_values(int rect[4])
{
    int w = 0, h = 0;
    canvas_size(&w, &h);
    if (w <= 10 || h <= 10)
        return;
    rect[0] = static_cast<int>(rect[0] * (w - 10.0) / 100 + 5);
    rect[1] = static_cast<int>(rect[1] * (h - 10.0) / 100 + 5);
    rect[2] = static_cast<int>(rect[2] * (w - 10.0) / 100);
    rect[3] = static_cast<int>(rect[3] * (h - 10.0) / 100);
}

void dygraph_dy_get_percent_values(GoGraph *graph, int rect[4])
{
    int w = 0, h = 0;
    canvas_size(&w, &h);
    if (!graph || w <= 10 || h <= 10)
        return;
    rect[0] = static_cast<int>((graph->x - 5) / (w - 10.0) * 100 + 0.5);
    rect[1] = static_cast<int>((graph->y - 5) / (h - 10.0) * 100 + 0.5);
    rect[2] = static_cast<int>(graph->width / (w - 10.0) * 100 + 0.5);
    rect[3] = static_cast<int>(graph->height / (h - 10.0) * 100 + 0.5);
}

void dygrph_dy_resize(int wn, int hn)
{
    if (maximised)
        dygrph_dy_restore_graph(0);
    dymain_dy_show_raw_message("");
    const int wo = canvas_w, ho = canvas_h;
    // A canvas of no size yet (or a window not mapped) gives no ratio.
    const bool rescale = wo > 1 && ho > 1 && wn > 0 && hn > 0;
    bool first = true;
    for (GoGraph *g = graphs; g; g = g->next) {
        if (rescale) {
            const int ow = g->width, oh = g->height;
            g->x = static_cast<int>(((wo - 1L) / 2 + static_cast<long>(g->x) * (wn - 1)) / (wo - 1));
            g->y = static_cast<int>(((ho - 1L) / 2 + static_cast<long>(g->y) * (hn - 1)) / (ho - 1));
            g->width = static_cast<int>((wo / 2L + static_cast<long>(g->width) * wn) / wo);
            g->height = static_cast<int>((ho / 2L + static_cast<long>(g->height) * hn) / ho);
            if (ow > 0 && oh > 0)
                follow_size(g, static_cast<double>(g->width) / ow, static_cast<double>(g->height) / oh, true, 1);
            set_iprop(g, GP_LGXOFFSET, static_cast<int>(std::lround(iprop(g, GP_LGXOFFSET) * double(wn) / wo)));
            set_iprop(g, GP_LGYOFFSET, static_cast<int>(std::lround(iprop(g, GP_LGYOFFSET) * double(hn) / ho)));
        }
        g->x = std::max(g->x, 0);
        g->y = std::max(g->y, 0);
        if (wn > 0)
            g->width = std::max(0, std::min(g->width, wn - g->x));
        if (hn > 0)
            g->height = std::max(0, std::min(g->height, hn - g->y));
        dygrph_dy_draw_graph(g, GO_REOPEN, first ? 0 : 1);
        first = false;
    }
    canvas_w = wn;
    canvas_h = hn;
}

GoGraph *dygrph_dy_pick_graph(int x, int y)
{
    auto inside = [&](const GoGraph *g) {
        return x >= g->x && x < g->x + g->width && y >= g->y && y < g->y + g->height;
    };
    if (maximised && selected && inside(selected))
        return selected;
    GoGraph *best = nullptr;
    double best_d = 0;
    for (GoGraph *g = graphs; g; g = g->next) {
        if (!inside(g))
            continue;
        const double d = (std::min(x - g->x, g->x + g->width - x) + std::min(y - g->y, g->y + g->height - y)) / 2.0;
        if (!best || d < best_d) {
            best = g;
            best_d = d;
        }
    }
    return best;
}

int dygraph_dy_explicit_pos_graph(GoGraph *graph, int redraw, const int rect[4])
{
    dygrph_dy_restore_graph(redraw);
    if (!dygraph_dy_select_graph(graph, 1))
        return 0;
    set_rect(graph, rect);
    if (redraw)
        dygrph_dy_draw_graph(graph, GO_REPOSITION, 0);
    return 1;
}

int dygrph_dy_is_maximised() { return maximised != nullptr; }

int dygrph_dy_maximise_graph()
{
    if (!selected || maximised)
        return 0;
    int w = 0, h = 0;
    canvas_size(&w, &h);
    GoGraph *g = selected;
    clear_canvas();
    saved_rect[0] = g->x, saved_rect[1] = g->y, saved_rect[2] = g->width, saved_rect[3] = g->height;
    maximised = g;
    const int r[4] = {5, 5, w - 10, h - 10};
    set_rect(g, r);
    if (saved_rect[2] > 0 && saved_rect[3] > 0)
        follow_size(g, double(g->width) / saved_rect[2], double(g->height) / saved_rect[3], false, 0);
    dygrph_dy_draw_graph(g, GO_REPOSITION, 0);
    select_box(true);
    if (dygrph_hooks.dview_sensitivity)
        dygrph_hooks.dview_sensitivity();
    return 1;
}

void dygrph_dy_restore_graph(int redraw)
{
    GoGraph *g = maximised;
    if (!g || g != selected)
        return;
    if (redraw) {
        select_box(false);
        clear_canvas();
    }
    if (g->width > 0 && g->height > 0)
        follow_size(g, double(saved_rect[2]) / g->width, double(saved_rect[3]) / g->height, false, 0);
    set_rect(g, saved_rect);
    maximised = nullptr;
    if (redraw) {
        dygrph_dy_draw_graph(g, GO_REPOSITION, 0);
        select_box(true);
        draw_others(g, nullptr, GO_REDRAW);
    }
    if (dygrph_hooks.dview_sensitivity)
        dygrph_hooks.dview_sensitivity();
}

void dygrph_dy_maybe_restore_graph(int redraw)
{
    GoGraph *g = maximised;
    if (!g || g == focussed)
        return;
    GoGraph *was = selected;
    selected = g;
    set_rect(g, saved_rect);
    maximised = nullptr;
    if (redraw) {
        clear_canvas();
        dygrph_dy_draw_graph(g, GO_REPOSITION, 0);
        draw_others(g, focussed, GO_REDRAW);
    }
    selected = was;
}

// ---- drawing and data -----------------------------------------------------------

int dygrph_dy_draw_graph(GoGraph *graph, int reason, uint64_t flag)
{
    const GoClass *c = class_of(graph);
    if (!c)
        return 0;
    if (graph->first != -1 && gomain_go_graph_drawable(graph, reason) && !ranges_usable(graph)) {
        go_show_error_once(DY_UNUSABLE_RANGES);
        return 0;
    }
    // Nothing with a destructor lives between the save point and the jump.
    struct sigaction before {};
    sigaction(SIGFPE, nullptr, &before);
    init_fpe_handling();
    sigjmp_buf here;
    sigjmp_buf *const outer = fpe_set_guard(&here);
    volatile int trapped = 0;
    uint64_t f = flag;
    if (sigsetjmp(here, 1) == 0)
        c->draw(graph, reason, &f);
    else
        trapped = 1;
    fpe_set_guard(outer);
    sigaction(SIGFPE, &before, nullptr);
    if (trapped)
        go_show_error_once(DY_DRAW_TRAP);
    if (graph == selected && dygrph_hooks.marker_action)
        dygrph_hooks.marker_action(16, reason);
    return trapped ? 0 : 1;
}

void dygrph_dy_new_data(int draw)
{
    dlmess_reset_error_suppression();
    dymain_dy_show_raw_message("");
    GoGraph *g = focussed;
    if (!g) {
        go_say(DY_NO_FOCUS);
        return;
    }
    if (maximised && maximised != g)
        dygrph_dy_maybe_restore_graph(1);
    const int current = dsmgr_ds_current();
    dscol_ds_characterise(data_order());
    // Only a graph that shows exactly the data it keeps, with its
    // properties as drawn, adds the new data to its picture.
    uint64_t flag = 0;
    if (g->last != -1 && g->kept == g->last && !g->pending) {
        flag = 1;
        if (g->multiy && gomy_go_multiy_axis_enabled(g, gomy_go_multiy_for_dataset(g, current)))
            flag = 0;
    }
    if (g->first == -1)
        g->first = current;
    g->last = current;
    if (!dygrph_dy_graph_dataset_compatible(g, current, 1))
        return;
    // The draw can take long: the workspace is busy and Stop sets the flag.
    int mode = 0;
    if (draw) {
        mode = dy_hooks.get_mode ? dy_hooks.get_mode() : 0;
        if (dy_hooks.set_mode)
            dy_hooks.set_mode(2);
        stop_flag = 0;
        if (dy_hooks.set_stop_proc)
            dy_hooks.set_stop_proc([] { stop_flag = 1; });
    }
    if (current == g->first)
        gotvar_go_clear_expression_cache(g);
    class_of(g)->setdata(g, current);
    if (draw) {
        dygrph_dy_draw_graph(g, GO_NEW_DATA, flag);
        if (dy_hooks.set_stop_proc)
            dy_hooks.set_stop_proc(nullptr);
        if (dy_hooks.enable_stop)
            dy_hooks.enable_stop(0);
        if (dy_hooks.set_mode)
            dy_hooks.set_mode(mode);
        draw_others(g, nullptr, GO_REDRAW);
    } else if (g == selected && dygrph_hooks.selection_enabled && dygrph_hooks.selection_enabled() &&
               dygrph_hooks.marker_action) {
        dygrph_hooks.marker_action(13, 0);
    }
}

int dygrph_dy_stop_requested() { return stop_flag ? 1 : 0; }

int dygrph_dy_set_new_data_order(int order)
{
    GoGraph *g = focussed;
    if (!g || !dsmgr_ds_current_exists()) {
        store_data_order(order);
        return 1;
    }
    const int old = data_order();
    const int current = dsmgr_ds_current();
    dscol_ds_characterise(order);
    if (!dygrph_dy_graph_dataset_compatible(g, current, 0)) {
        if (graph_mode)
            go_show_error(DY_ORDER_REFUSED);
        dscol_ds_characterise(old);
        return 0;
    }
    store_data_order(order);
    dygrph_dy_new_data(1);
    return 1;
}

int dygrph_dy_notify_property_change(int redraw, int reload, int *kind_changed)
{
    if (kind_changed)
        *kind_changed = 0;
    GoGraph *g = selected;
    if (!g || !g->format)
        return 0;
    const int kind = g->format->graphtype;
    if (kind != g->kind) {
        const GoClass *nc = kind >= 0 && kind < GO_CLASSES ? gomain_graph_class[kind] : nullptr;
        bool ok = nc != nullptr;
        if (ok && g->zoomed && !nc->zoom_allowed)
            ok = false;
        if (ok && g->multiy && !nc->multiy_capable)
            ok = false;
        if (ok && nc->multiy_capable && g->zoomed && gomy_go_multiy_needed(g))
            ok = false;
        if (ok && g->first != -1) {
            const int old = g->kind;
            g->kind = kind;
            for (int d = g->first; ok && d <= g->last; d++)
                ok = dygrph_dy_graph_dataset_compatible(g, d, 0) != 0;
            g->kind = old;
        }
        if (!ok) {
            go_show_error(DY_KIND_CHANGE_REFUSED);
            g->format->graphtype = g->kind;
            return 0;
        }
        if (dygrph_hooks.suppress_markers)
            dygrph_hooks.suppress_markers(nc->modes & 4 ? 0 : 1);
        const int old = g->kind;
        g->kind = kind;
        nc->mutate(g, old);
        if (kind_changed)
            *kind_changed = 1;
    }
    const GoClass *c = class_of(g);
    if (reload && g->first != -1) {
        c->setdata(g, g->first);
        if (g->multiy)
            for (int d = g->first + 1; d <= g->last; d++)
                if (gomy_go_multiy_axis_enabled(g, gomy_go_multiy_for_dataset(g, d)))
                    c->setdata(g, d);
    }
    if (redraw) {
        dygrph_dy_draw_graph(g, GO_PROPERTIES, 0);
        draw_others(g, nullptr, GO_REDRAW);
        g->pending = 0;
    } else {
        g->pending = 1;
    }
    return 1;
}

GoFormat *dygrph_dy_selected_graph_format()
{
    if (!selected || !selected->format) {
        go_say(DY_NO_SELECTED_GRAPH);
        return nullptr;
    }
    return selected->format;
}

void dy_set_selected_graph_format(const GoFormat *format)
{
    GoFormat *mine = dygrph_dy_selected_graph_format();
    if (mine && format && format != mine)
        *mine = *format;
}

// ---- annotation texts of the selected graph ---------------------------------------

int dygrph_dy_get_text(int x, int y, int *id, const char **text, int outline[8], GoTextAdjust *adjust)
{
    return selected ? go_find_text_object(selected, x, y, id, text, outline, adjust) : 0;
}

int dygrph_dy_new_text() { return selected ? gobj_go_create_text(selected) : -1; }

int dygrph_dy_set_text(int id, const char *text, const int *point, int redraw)
{
    if (!selected)
        return 0;
    if (redraw && gomain_go_graph_drawable(selected, GO_PROPERTIES))
        dymain_dy_refresh_display();
    gobj_go_set_text_object(selected, id, text, point);
    return 1;
}

int dygraph_dy_have_graph_with_non_opaque_legend()
{
    for (GoGraph *g = graphs; g; g = g->next)
        if (iprop(g, GP_LGENABLE) && !iprop(g, GP_LGBORDER))
            return 1;
    return 0;
}

int dygrph_dy_freshen_up()
{
    for (GoGraph *g = graphs; g; g = g->next)
        if (g->kind == 5 || g->kind == 18)
            return 1;
    return 0;
}

// ---- the action handler ---------------------------------------------------------

namespace {

int select_box_flag = 1;
Region exposed = nullptr;

bool box_run_mode()
{
    const int mode = dymain_resources().run_mode;
    return mode == 0 || mode == 3;
}

// The select box around the selected graph: drawn in the graph foreground,
// erased in the background; drawn only while the flag is set.
void select_box(bool draw)
{
    Widget canvas = dymain_dy_canvas();
    GoGraph *g = selected;
    if (!canvas || !XtIsRealized(canvas) || !g || !box_run_mode() || (draw && !select_box_flag))
        return;
    GC gc = dymain_dy_graph_gc();
    if (!gc)
        return;
    Display *d = XtDisplay(canvas);
    XGCValues v{};
    XGetGCValues(d, gc, GCForeground | GCBackground, &v);
    XSetForeground(d, gc, draw ? v.foreground : v.background);
    XDrawRectangle(d, XtWindow(canvas), gc, g->x - 2, g->y - 2, static_cast<unsigned>(std::max(0, g->width + 3)),
                   static_cast<unsigned>(std::max(0, g->height + 3)));
    XSetForeground(d, gc, v.foreground);
}

void bell()
{
    if (Widget canvas = dymain_dy_canvas())
        XBell(XtDisplay(canvas), 0);
}

void clear_area(int x, int y, int width, int height)
{
    Widget canvas = dymain_dy_canvas();
    if (!canvas || !XtIsRealized(canvas) || width < 0 || height < 0)
        return;
    XClearArea(XtDisplay(canvas), XtWindow(canvas), x, y, static_cast<unsigned>(width),
               static_cast<unsigned>(height), False);
}

void clear_canvas()
{
    Widget canvas = dymain_dy_canvas();
    if (canvas && XtIsRealized(canvas))
        XClearArea(XtDisplay(canvas), XtWindow(canvas), 0, 0, 0, 0, False);
}

// The canvas window's background, and the graph model's copy of it.
void set_window_background(unsigned long pixel)
{
    Widget canvas = dymain_dy_canvas();
    if (canvas && XtIsRealized(canvas))
        XSetWindowBackground(XtDisplay(canvas), XtWindow(canvas), pixel);
    if (dy_hooks.set_graph_background)
        dy_hooks.set_graph_background(pixel);
}

void expose(const DyRectData *r)
{
    if (!exposed)
        exposed = XCreateRegion();
    XRectangle x{static_cast<short>(r->x), static_cast<short>(r->y), static_cast<unsigned short>(std::max(0, r->width)),
                 static_cast<unsigned short>(std::max(0, r->height))};
    XUnionRectWithRegion(&x, exposed, exposed);
    const XEvent *ev = dymain_dy_last_expose_event();
    if (ev && ev->type == Expose && ev->xexpose.count != 0)
        return;
    // A draw may show an error box, whose own loop takes further exposes:
    // they gather in a region of their own.
    Region area = exposed;
    exposed = nullptr;
    std::vector<GoGraph *> hit;
    for (GoGraph *g = graphs; g; g = g->next) {
        if (maximised && g != maximised)
            continue;
        if (XRectInRegion(area, g->x, g->y, static_cast<unsigned>(std::max(0, g->width)),
                          static_cast<unsigned>(std::max(0, g->height))) != RectangleOut)
            hit.push_back(g);
    }
    XDestroyRegion(area);
    for (GoGraph *g : hit)
        if (in_list(g))
            dygrph_dy_draw_graph(g, GO_REDRAW, 0);
    select_box(true);
}

void click(int action, const DyRectData *r)
{
    dymain_dy_show_raw_message("");
    GoGraph *g = r ? dygrph_dy_pick_graph(r->x, r->y) : nullptr;
    if (!g) {
        bell();
        return;
    }
    if (g != selected)
        dygrph_dy_restore_graph(1);
    select_box(false);
    dygraph_dy_select_graph(g, 1);
    select_box(true);
    if (action == DY_DOUBLE_CLICK && dygrph_hooks.setup_format)
        dygrph_hooks.setup_format(dymain_dy_canvas());
    if (action == DY_HOLD && box_run_mode()) {
        const XPoint press{static_cast<short>(r->x), static_cast<short>(r->y)};
        dygrph_dy_move_graph(&press);
    }
}

}  // namespace

int dygrph_dy_select_box_flag() { return select_box_flag; }

void dygrph_dy_action(Widget, int action, void *data)
{
    const auto *r = static_cast<const DyRectData *>(data);
    switch (action) {
    case DY_EXPOSE:
        if (r)
            expose(r);
        break;
    case DY_RESIZE: {
        int w = 0, h = 0;
        canvas_size(&w, &h);
        clear_canvas();
        dygrph_dy_resize(w, h);
        select_box(true);
        break;
    }
    case DY_SINGLE_CLICK:
    case DY_DOUBLE_CLICK:
    case DY_HOLD: click(action, r); break;
    case DY_NEW_DATA: dygrph_dy_new_data(data ? *static_cast<const int *>(data) : 1); break;
    case DY_TOGGLE_BOX:
        select_box(false);
        select_box_flag = !select_box_flag;
        select_box(true);
        break;
    default: go_say(DY_UNEXPECTED_GRAPH_ACTION); break;
    }
}

// ---- mode ---------------------------------------------------------------------

int dygrph_dy_graph_mode() { return graph_mode; }

int dygrph_dy_has_bs(int refresh)
{
    Widget canvas = dymain_dy_canvas();
    if (refresh && canvas && XtIsRealized(canvas)) {
        XWindowAttributes wa{};
        if (XGetWindowAttributes(XtDisplay(canvas), XtWindow(canvas), &wa))
            backing_store = wa.backing_store != NotUseful;
    }
    return backing_store;
}

void dygrph_dy_enable_graph_mode(int on)
{
    Widget canvas = dymain_dy_canvas();
    if (!on) {
        dymain_dy_show_raw_message("");
        graph_mode = 0;
        dymain_dy_set_action_handler(nullptr);
        dymain_dy_set_action_mask(0);
        dymain_dy_enable_scrollbars(0);
        if (canvas) {
            Pixel own = 0;
            XtVaGetValues(canvas, XmNbackground, &own, nullptr);
            set_window_background(own);
        }
        clear_canvas();
        return;
    }
    graph_mode = 1;
    dymain_dy_set_action_handler(dygrph_dy_action);
    dymain_dy_set_action_mask(DY_GRAPH_MASK);
    dymain_dy_enable_scrollbars(0);
    for (int bar : {1, 2})
        dymain_dy_set_scrollbar(bar, 100, 100, 0);
    select_box_flag = 1;
    if (dymain_resources().run_mode == 0 && !graphs)
        dygrph_dy_new_graph(0, 0, 0, nullptr);
    if (dsmgr_ds_current_exists() && focussed)
        dygrph_dy_new_data(0);
    if (GC gc = canvas ? dymain_dy_graph_gc() : nullptr) {
        XGCValues v{};
        XGetGCValues(XtDisplay(canvas), gc, GCBackground, &v);
        set_window_background(v.background);
    }
    dygrph_dy_action(canvas, DY_RESIZE, nullptr);
    if (dymain_dy_server_bugs() & 1)
        dygrph_dy_has_bs(1);
}

// ---- position and move -----------------------------------------------------------

int dygrph_dy_position_graph()
{
    GoGraph *g = selected;
    if (!g)
        return 0;
    if (maximised) {
        bell();
        return 0;
    }
    XRectangle r{};
    if (!dymain_dy_get_rectangle(&r, 0))
        return 0;
    select_box(false);
    clear_area(g->x - 2, g->y - 2, g->width + 4, g->height + 4);
    const int ow = g->width, oh = g->height;
    const int rect[4] = {r.x + 2, r.y + 2, std::max(0, r.width - 4), std::max(0, r.height - 4)};
    set_rect(g, rect);
    if (ow > 0 && oh > 0)
        follow_size(g, double(g->width) / ow, double(g->height) / oh, false, 0);
    dygrph_dy_draw_graph(g, GO_REPOSITION, 0);
    select_box(true);
    draw_others(g, nullptr, GO_REDRAW);
    return 1;
}

int dygrph_dy_move_graph(const XPoint *press)
{
    GoGraph *g = selected;
    if (!g)
        return 0;
    if (maximised) {
        bell();
        return 0;
    }
    XRectangle outline{static_cast<short>(g->x - 2), static_cast<short>(g->y - 2),
                       static_cast<unsigned short>(std::max(0, g->width + 4)),
                       static_cast<unsigned short>(std::max(0, g->height + 4))};
    const int moved = press ? dymain_dy_move_pressed_rectangle(&outline, *press) : dymain_dy_move_rectangle(&outline);
    if (!moved)
        return 0;
    select_box(false);
    clear_area(g->x - 2, g->y - 2, g->width + 4, g->height + 4);
    g->x = outline.x + 2;
    g->y = outline.y + 2;
    dygrph_dy_draw_graph(g, GO_REPOSITION, 0);
    select_box(true);
    draw_others(g, nullptr, GO_REDRAW);
    return 1;
}
