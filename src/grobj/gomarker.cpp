// Data-point markers: two chains of marker records, one record per marker
// and dataset slot, each keeping a tuple of its own at the marker's
// position.  The first drawn dataset leads: the others follow it by point
// position or by x value.

#include "gomarker.h"

#include "gomain.h"

#include "dsmgr.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct State {
    GoMarker chain[GO_MARKERS][GO_MARKER_SLOTS];
    // The marker's values and its tuple's copies of the values read.
    double values[GO_MARKERS][GO_MARKER_SLOTS][3];
    double tuple_values[GO_MARKERS][GO_MARKER_SLOTS][3];
    GoGraph *graph = nullptr;
    GoTupleReader reader = goprop_triple_reader;
    int focussed = 0;
};
std::unique_ptr<State> state;

// Reads with the readers' auto-increment off, put back at the end.
struct NoAutoInc {
    int was = goprop_go_tuple_autoinc_get();
    NoAutoInc() { goprop_go_tuple_autoinc(0); }
    ~NoAutoInc() { goprop_go_tuple_autoinc(was); }
    NoAutoInc(const NoAutoInc &) = delete;
    NoAutoInc &operator=(const NoAutoInc &) = delete;
};

GoTupleReader reader_of(GoGraph *graph)
{
    const GoClass *cls = gomain_go_class(graph);
    auto reader = reinterpret_cast<GoTupleReader>(
        goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
    return reader ? reader : goprop_triple_reader;
}

int first_drawn(const GoGraph *g) { return g->multiy ? g->first + 1 : g->first; }

bool has_data(const GoGraph *g)
{
    return g && g->first >= 0 && g->last >= g->first && !(g->multiy && g->last == g->first);
}

GoMarker &rec(int marker, int slot) { return state->chain[marker][slot]; }

bool at_edge(const GoTuple &t, bool backward)
{
    const int edge = backward ? GT_S_START : GT_S_END;
    return (t.status & edge) || (goprop_go_peek_data_event(const_cast<GoTuple *>(&t), backward) & edge);
}

// The position of a tuple, to go back to.
struct TuplePlace {
    int32_t step, row, counter, element, status;
};
TuplePlace position_of(const GoTuple &t) { return {t.step, t.row, t.counter, t.element, t.status}; }
void put_position(GoTuple &t, const TuplePlace &p)
{
    t.step = p.step;
    t.row = p.row;
    t.counter = p.counter;
    t.element = p.element;
    t.status = p.status;
}

void copy_text(char *to, const char *from)
{
    const size_t n = from ? strnlen(from, GO_MARKER_TEXT) : 0;
    if (n)
        memcpy(to, from, n);
    to[n] = 0;
}

// Reads the record's tuple where it stands.  The values read move into the
// record's own storage (the reader's is gone at its next read); on a
// non-null point they become the marker's values and texts.  False before
// the start or past the end.
bool read_record(GoMarker &m)
{
    GoTuple &t = m.tuple;
    t.null = 0;
    state->reader(&t);
    if (t.status & (GT_S_END | GT_S_START))
        return false;
    double *const own[3] = {t.own[0], t.own[1], t.own[2]};
    double **value[3] = {&t.x, &t.y, &t.z};
    for (int c = 0; c < 3; c++) {
        if (*value[c]) {
            *own[c] = **value[c];
            *value[c] = own[c];
        }
    }
    if (!t.null) {
        *m.x = t.x ? *t.x : 0;
        *m.y = t.y ? *t.y : 0;
        *m.z = t.z ? *t.z : 0;
        copy_text(m.xtext, t.xtext);
        copy_text(m.ytext, t.ytext);
        copy_text(m.ztext, t.ztext);
    }
    t.xtext = t.ytext = t.ztext = nullptr;
    return true;
}

void restart(GoMarker &m, int dataset)
{
    double *own[3] = {m.tuple.own[0], m.tuple.own[1], m.tuple.own[2]};
    m.tuple = GoTuple{};
    m.tuple.dataset = dataset;
    std::copy_n(own, 3, m.tuple.own);
}

enum Move { NEXT, PREV, PAGE_NEXT, PAGE_PREV, TO_START, TO_END };
bool backward(Move k) { return k == PREV || k == PAGE_PREV || k == TO_END; }
// Whether the move goes towards the end of the data.
bool towards_end(Move k) { return k == NEXT || k == PAGE_NEXT || k == TO_END; }

void single_step(GoTuple &t, bool back)
{
    if (back) {
        goprop_go_previous_point(&t);
        const int last = std::max({t.xcount, t.ycount, t.zcount}) - 1;
        if (t.element > last && last >= 0)
            t.element = last;
    } else {
        goprop_go_next_point(&t);
    }
}

// One move of a record, then on past null points; at the start or the end
// the record goes back where it was and the move fails.
bool step_record(GoMarker &m, Move k)
{
    GoTuple &t = m.tuple;
    const TuplePlace was = position_of(t);
    switch (k) {
    case NEXT: goprop_go_next_point(&t); break;
    case PREV: single_step(t, true); break;
    case PAGE_NEXT:
        go_set_page_size(&t);
        goprop_go_page_forward(&t);
        break;
    case PAGE_PREV:
        go_set_page_size(&t);
        goprop_go_page_back(&t);
        break;
    case TO_START: goprop_go_to_start(&t); break;
    case TO_END: goprop_go_to_end(&t); break;
    }
    // A page of no rows (fewer than ten) goes nowhere.
    if ((k == PAGE_NEXT || k == PAGE_PREV) && t.step == was.step) {
        put_position(t, was);
        return false;
    }
    // Past nulls: forwards after the start, backwards from the end.
    const bool back = backward(k);
    for (;;) {
        if (!read_record(m))
            break;
        if (!t.null)
            return true;
        if (at_edge(t, back))
            break;
        single_step(t, back);
    }
    put_position(t, was);
    read_record(m);
    return false;
}

// The record moves to the point of the dataset with the x of `lead`,
// searching from where it stands in the direction; not found, it stays
// where it was, hidden.
bool follow_x(GoMarker &m, const GoMarker &lead, bool back)
{
    const TuplePlace was = position_of(m.tuple);
    GoTuple target{};
    target.x = lead.x;
    if (read_record(m) && goprop_go_find_tuple(&m.tuple, &target, back ? 1 : 0, state->reader) &&
        read_record(m) && !m.tuple.null) {
        m.shown = 1;
        return true;
    }
    put_position(m.tuple, was);
    read_record(m);
    m.shown = 0;
    return false;
}

// The record takes the lead's point number; a position outside the data
// (or a point without a value) hides it.
void follow_position(GoMarker &m, const GoMarker &lead)
{
    m.tuple.step = lead.tuple.step;
    m.tuple.row = lead.tuple.row;
    m.tuple.counter = lead.tuple.counter;
    m.tuple.element = lead.tuple.element;
    m.tuple.status = 0;
    m.shown = read_record(m) && !m.tuple.null ? 1 : 0;
}

bool follow_by_position() { return (go_dy_get_selstate() & GO_FOLLOW_POSITION) != 0; }

// The slot of a dataset: the first record that has it or is unused.
int slot_for(int dataset)
{
    for (int s = 0; s < GO_MARKER_SLOTS; s++)
        if (rec(0, s).dataset == dataset || rec(0, s).dataset == -1)
            return s;
    return -1;
}

int slot_of(int dataset)
{
    for (int s = 0; s < GO_MARKER_SLOTS; s++)
        if (rec(0, s).dataset == dataset)
            return s;
    return -1;
}

// The first drawn dataset: both markers at its first non-null point, or
// with `keep` at the point with the marker's earlier x when there is one.
bool add_lead(int slot, int dataset, bool keep)
{
    for (int k = 0; k < GO_MARKERS; k++) {
        GoMarker &m = rec(k, slot);
        const double old_x = *m.x;
        const bool had = keep;
        restart(m, dataset);
        bool ok = read_record(m);
        while (ok && m.tuple.null) {
            if (at_edge(m.tuple, false)) {
                ok = false;
                break;
            }
            goprop_go_next_point(&m.tuple);
            ok = read_record(m);
        }
        if (!ok)
            return false;
        if (had) {
            const TuplePlace first = position_of(m.tuple);
            GoTuple target{};
            double want = old_x;
            target.x = &want;
            if (!goprop_go_find_tuple(&m.tuple, &target, 0, state->reader) || !read_record(m) || m.tuple.null) {
                put_position(m.tuple, first);
                read_record(m);
            }
        }
        m.dataset = dataset;
    }
    return true;
}

bool add_follower(int slot, int dataset)
{
    const GoMarker &lead0 = rec(0, 0);
    if (lead0.dataset < 0 || dsmgr_ds_character(dataset) != dsmgr_ds_character(lead0.dataset))
        return false;
    const bool by_position = follow_by_position();
    for (int k = 0; k < GO_MARKERS; k++) {
        GoMarker &m = rec(k, slot);
        const GoMarker &lead = rec(k, 0);
        restart(m, dataset);
        m.dataset = dataset;
        m.shown = lead.shown;
        if (!m.shown)
            continue;
        if (by_position)
            follow_position(m, lead);
        else
            follow_x(m, lead, false);
    }
    return true;
}

bool add_dataset(int dataset, bool keep)
{
    if (!state || !has_data(state->graph))
        return false;
    const int slot = slot_for(dataset);
    if (slot < 0)
        return false;  // beyond the marker slots: no marker
    NoAutoInc guard;
    if (dataset == first_drawn(state->graph) && slot == 0)
        return add_lead(slot, dataset, keep);
    if (slot == 0)
        return false;  // the lead is not there
    return add_follower(slot, dataset);
}

// The focussed marker, or -1.
int focussed_marker()
{
    for (int k = 0; k < GO_MARKERS; k++)
        if (rec(k, 0).focus)
            return k;
    return -1;
}

int move(Move kind)
{
    if (!state || !has_data(state->graph))
        return 0;
    const int k = focussed_marker();
    if (k < 0 || rec(k, 0).dataset < 0)
        return 0;
    NoAutoInc guard;
    GoMarker &lead = rec(k, 0);
    read_record(lead);
    const bool back = !towards_end(kind);
    if (at_edge(lead.tuple, back))
        return 0;
    if (follow_by_position()) {
        int moved = 0;
        for (int s = 0; s < GO_MARKER_SLOTS; s++) {
            GoMarker &m = rec(k, s);
            if (m.dataset < 0)
                continue;
            read_record(m);
            if (!at_edge(m.tuple, back) && step_record(m, kind))
                moved++;
        }
        return moved ? 1 : 0;
    }
    if (!step_record(lead, kind))
        return 0;
    lead.shown = 1;
    for (int s = 1; s < GO_MARKER_SLOTS; s++) {
        GoMarker &m = rec(k, s);
        if (m.dataset < 0)
            continue;
        read_record(m);
        const TuplePlace was = position_of(m.tuple);
        if (step_record(m, kind) && !m.tuple.null && *m.x == *lead.x) {
            m.shown = 1;
            continue;
        }
        put_position(m.tuple, was);
        if (kind == TO_START || kind == TO_END) {
            restart(m, m.dataset);
            follow_x(m, lead, false);
        } else {
            follow_x(m, lead, back);
        }
    }
    return 1;
}

// Every other dataset of marker k follows its lead from the start.
void follow_lead(int k)
{
    const bool by_position = follow_by_position();
    const GoMarker &lead = rec(k, 0);
    for (int s = 1; s < GO_MARKER_SLOTS; s++) {
        GoMarker &m = rec(k, s);
        if (m.dataset < 0)
            continue;
        if (by_position) {
            follow_position(m, lead);
        } else {
            restart(m, m.dataset);
            follow_x(m, lead, false);
        }
    }
}

double through(ScaleProc p, double v) { return p ? p(v) : v; }

int draw_markers(bool erase)
{
    if (!state || !has_data(state->graph) || !state->graph->canvas)
        return 0;
    GoGraph *g = state->graph;
    GCanvasRecord *c = g->canvas;
    const GoClass *cls = gomain_go_class(g);
    auto output = cls && cls->output ? cls->output : gostd_std_output_graph;
    GCanvasModes saved{};
    GGetCanvasModes(c, &saved);
    GMarkerModes saved_marker{};
    GGetMarkerModes(c, &saved_marker);
    GLineModes saved_line{};
    GGetLineModes(c, &saved_line);
    GCanvasModes cm{};
    cm.clip = 2;
    cm.coords = GCS_WC;
    GSetCanvasModes(c, GCM_CLIP | GCM_COORDS, &cm);
    GMarkerModes mm{};
    mm.scale = 0.6;
    GSetMarkerModes(c, GMM_SCALE, &mm);
    GLineModes lm{};
    lm.colour = 1;
    GSetLineModes(c, GLM_COLOUR, &lm);

    // Where each marker stands on the slots drawn so far.
    std::vector<std::array<double, 3>> drawn[GO_MARKERS];
    for (int s = 0; s < GO_MARKER_SLOTS; s++) {
        for (int k = 0; k < GO_MARKERS; k++) {
            GoMarker &m = rec(k, s);
            if (m.dataset < 0)
                continue;
            const bool focussed = state->focussed == k;
            if (!m.shown) {
                if (!erase && focussed)
                    go_dy_value_readout(s, k, "", "", "");
                continue;
            }
            double v[3] = {*m.x, *m.y, *m.z};
            GoReadout r{0, 0, 0, v};
            char xt[GO_LABEL_TEXT + 1] = {}, yt[GO_LABEL_TEXT + 1] = {}, zt[GO_LABEL_TEXT + 1] = {};
            if (!output(g, &r, m.dataset, xt, yt, zt))
                continue;
            const std::array<double, 3> at{v[0], v[1], r.count == 3 ? v[2] : 0};
            const bool twice = std::find(drawn[k].begin(), drawn[k].end(), at) != drawn[k].end();
            if (!twice && gclip_GPointInWorld(c, v)) {
                GVector p{GV_DOUBLE, 0, static_cast<unsigned char>(r.count == 3 ? 3 : 2), 1, {v, nullptr, nullptr}};
                gdraw_GDrawSelectMarker(c, &p, focussed ? 2 * k + 2 : 2 * k + 1);
            }
            drawn[k].push_back(at);
            if (!erase) {
                char tx[GO_MARKER_TEXT + 1], ty[GO_MARKER_TEXT + 1], tz[GO_MARKER_TEXT + 1];
                copy_text(tx, m.xtext[0] ? m.xtext : xt);
                copy_text(ty, m.ytext[0] ? m.ytext : yt);
                copy_text(tz, m.ztext[0] ? m.ztext : zt);
                go_dy_value_readout(s, k, tx, ty, tz);
            }
        }
    }
    if (!erase)
        go_dy_flush_value_readout();
    if (g->multiy)
        gomy_go_set_multiy_coord(g, g->first);
    GSetLineModes(c, GLM_COLOUR, &saved_line);
    GSetMarkerModes(c, GMM_SCALE, &saved_marker);
    GSetCanvasModes(c, GCM_CLIP | GCM_COORDS, &saved);
    return 1;
}

void set_focus(int k)
{
    state->focussed = k;
    for (int m = 0; m < GO_MARKERS; m++)
        for (int s = 0; s < GO_MARKER_SLOTS; s++)
            rec(m, s).focus = m == k ? 1 : 0;
}

}  // namespace

int gomarker_go_create_markers(GoGraph *graph)
{
    gomarker_go_destroy_markers();
    state = std::make_unique<State>();
    for (int k = 0; k < GO_MARKERS; k++) {
        for (int s = 0; s < GO_MARKER_SLOTS; s++) {
            GoMarker &m = rec(k, s);
            m = GoMarker{};
            m.dataset = -1;
            m.number = k;
            m.shown = k == 0 ? 1 : 0;
            m.x = &state->values[k][s][0];
            m.y = &state->values[k][s][1];
            m.z = &state->values[k][s][2];
            std::fill_n(state->values[k][s], 3, 0.0);
            for (int c = 0; c < 3; c++)
                m.tuple.own[c] = &state->tuple_values[k][s][c];
            m.partner = k == 0 ? &rec(1, s) : nullptr;
            m.next = s + 1 < GO_MARKER_SLOTS ? &state->chain[k][s + 1] : nullptr;
        }
    }
    set_focus(0);
    state->graph = graph;
    if (!graph)
        return 1;
    state->reader = reader_of(graph);
    if (has_data(graph))
        for (int d = first_drawn(graph); d <= graph->last; d++)
            add_dataset(d, false);
    return 1;
}

int gomarker_go_destroy_markers()
{
    if (!state)
        return 0;
    state.reset();
    return 1;
}

int gomarker_go_display_markers() { return draw_markers(false); }
int gomarker_go_undraw_markers() { return draw_markers(true); }

int gomarker_go_set_focussed_marker(int number)
{
    if (!state)
        return 0;
    if (number == -1) {
        set_focus(state->focussed < 0 ? 0 : (state->focussed + 1) % GO_MARKERS);
        return 1;
    }
    if (number < 1 || number > GO_MARKERS) {
        set_focus(-1);
        return 0;
    }
    set_focus(number - 1);
    return 1;
}

int gomarker_go_activate_marker(int number)
{
    if (!state || number < 1 || number > GO_MARKERS)
        return 0;
    const int k = number - 1;
    for (int s = 0; s < GO_MARKER_SLOTS; s++) {
        GoMarker &m = rec(k, s);
        m.shown = 1;
        if (k == 0 || m.dataset < 0)
            continue;
        // It takes marker 0's place on the dataset.
        const GoMarker &first = rec(0, s);
        goprop_go_copy_tuple(&m.tuple, &first.tuple);
        *m.x = *first.x;
        *m.y = *first.y;
        *m.z = *first.z;
        std::memcpy(m.xtext, first.xtext, sizeof m.xtext);
        std::memcpy(m.ytext, first.ytext, sizeof m.ytext);
        std::memcpy(m.ztext, first.ztext, sizeof m.ztext);
        m.shown = first.shown;
    }
    return 1;
}

int gomarker_go_deactivate_marker(int number)
{
    if (!state || number < 1 || number > GO_MARKERS)
        return 0;
    for (int s = 0; s < GO_MARKER_SLOTS; s++)
        rec(number - 1, s).shown = 0;
    return 1;
}

int gomarker_go_add_dataset_markers(int dataset) { return add_dataset(dataset, false) ? 1 : 0; }

int gomarker_go_delete_dataset_markers(int dataset)
{
    if (!state || dataset < 0)
        return 0;
    const int s = slot_of(dataset);
    if (s < 0)
        return 0;
    for (int k = 0; k < GO_MARKERS; k++)
        rec(k, s).dataset = -1;
    return 1;
}

int gomarker_go_marker_move_next() { return move(NEXT); }
int gomarker_go_marker_move_prev() { return move(PREV); }
int gomarker_go_marker_next_page() { return move(PAGE_NEXT); }
int gomarker_go_marker_prev_page() { return move(PAGE_PREV); }
int gomarker_go_marker_to_start() { return move(TO_START); }
int gomarker_go_marker_to_end() { return move(TO_END); }

int gomarker_go_find_closest_point(double x, double y, int, int dimensions, double z)
{
    if (!state || !has_data(state->graph) || !state->graph->canvas)
        return 0;
    const int k = focussed_marker();
    if (k < 0 || rec(k, 0).dataset < 0)
        return 0;
    GoGraph *g = state->graph;
    GoMarker &lead = rec(k, 0);
    GCanvasModes cm{};
    GGetCanvasModes(g->canvas, &cm);
    // Per axis: 1 / world extent, 0 for an axis left out or of no extent.
    const bool use[3] = {true, dimensions != 1, dimensions != 0};
    double unit[3];
    for (int i = 0; i < 3; i++) {
        const double extent = cm.world[i + 3] - cm.world[i];
        unit[i] = use[i] && std::isfinite(extent) && extent != 0 ? 1.0 / extent : 0;
    }
    GoAxisBlock *yb = &g->yblock;
    if (g->multiy)
        if (GoAxisBlock *b = gomy_go_multiy_axis(g, gomy_go_multiy_for_dataset(g, lead.dataset)))
            yb = b;
    const ScaleProc fx = scale_GGetForwardScaleProc(&g->xblock.scale);
    const ScaleProc fy = scale_GGetForwardScaleProc(&yb->scale);
    const ScaleProc fz = scale_GGetForwardScaleProc(&g->zblock.scale);
    const double want[3] = {x, y, z};

    NoAutoInc guard;
    GoTuple t{};
    t.dataset = lead.dataset;
    bool any = false;
    double best = 0;
    TuplePlace best_at{};
    for (;;) {
        state->reader(&t);
        if (t.status & GT_S_END)
            break;
        if (!t.null) {
            const double at[3] = {through(fx, t.x ? *t.x : 0), through(fy, t.y ? *t.y : 0),
                                  through(fz, t.z ? *t.z : 0)};
            double d = 0;
            for (int i = 0; i < 3; i++) {
                const double e = (at[i] - want[i]) * unit[i];
                d += e * e;
            }
            if (!any || d < best) {
                any = true;
                best = d;
                best_at = position_of(t);
            }
        }
        goprop_go_next_point(&t);
    }
    if (!any)
        return 0;
    put_position(lead.tuple, best_at);
    read_record(lead);
    lead.shown = 1;
    follow_lead(k);
    return 1;
}

int go_change_marker_graph(GoGraph *graph)
{
    if (!state)
        return 0;
    for (int s = 0; s < GO_MARKER_SLOTS; s++)
        for (int k = 0; k < GO_MARKERS; k++)
            rec(k, s).dataset = -1;
    state->graph = graph;
    if (!has_data(graph))
        return 0;
    state->reader = reader_of(graph);
    for (int d = first_drawn(graph); d <= graph->last; d++)
        add_dataset(d, true);
    return 1;
}

GoGraph *gomarker_go_marker_graph() { return state ? state->graph : nullptr; }

const GoMarker *gomarker_go_marker(int number, int slot)
{
    if (!state || number < 0 || number >= GO_MARKERS || slot < 0 || slot >= GO_MARKER_SLOTS)
        return nullptr;
    return &rec(number, slot);
}
