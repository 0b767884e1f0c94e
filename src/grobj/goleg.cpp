// The legend of a graph: a box in a corner of the canvas with one entry per
// dataset (or per threshold) and per shown overlay, each a small symbol in
// the entry's style followed by its text.  The layout comes from the legend
// properties, the measured legend font and fixed symbol sizes (in device
// units, converted to canvas units at each draw).

#include "gomain.h"
#include "goprop.h"
#include "goshell.h"
#include "gotext.h"
#include "seams.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double BOX_W = 25, BOX_H = 14, SAMPLE_W = 40, SAMPLE_H = 14;
constexpr int DATASET_SLOTS = 216, OVERLAYS = 9, THRESHOLDS = 8;

int iprop(GoGraph *g, int p, int q = 0)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, q, 0));
    return v ? *v : 0;
}

double dprop(GoGraph *g, int p, int q = 0)
{
    const double *v = static_cast<const double *>(goprop_go_property(g, p, q, 0));
    return v ? *v : 0;
}

std::string text(GoGraph *g, int p, int q, int evaluate)
{
    const char *t = static_cast<const char *>(goprop_go_property(g, p, q, evaluate));
    return t ? t : "";
}

struct Entry {
    std::string text;
    int colour, style, marker, hatch, asline;
};

// Thresholds while each has a value (threshold 0 always) and a text; or
// the datasets with a text, then the shown overlays with one.
std::vector<Entry> entries_of(GoGraph *g, int kind)
{
    std::vector<Entry> out;
    if (iprop(g, GP_USETHRESH)) {
        for (int i = 0; i < THRESHOLDS; i++) {
            if (i > 0 && !goprop_go_property(g, GP_THRESH_VAL, i, 1))
                break;
            if (text(g, GP_LGDSTEXT, i, 0).empty())
                break;
            std::string t = text(g, GP_LGDSTEXT, i, 1);
            if (t.empty())
                continue;
            out.push_back({std::move(t), iprop(g, GP_THRESH_COLOUR, i), iprop(g, GP_THRESH_LSTYLE, i),
                           iprop(g, GP_THRESH_MARKER, i), iprop(g, GP_THRESH_HATCH, i), kind == 4 || kind == 5});
        }
        return out;
    }
    if (g->first >= 0) {
        for (int d = g->first; d <= g->last && d - g->first < DATASET_SLOTS; d++) {
            const int q = d - g->first;
            std::string t = text(g, GP_LGDSTEXT, q, 1);
            if (t.empty())
                continue;
            int asline = iprop(g, GP_ASLINE, q);
            if (g->multiy && gomy_go_multiy_axis_enabled(g, gomy_go_multiy_for_dataset(g, d)))
                asline = 0;
            if ((kind == 4 || kind == 5) && d == g->first)
                asline = 1;
            out.push_back({std::move(t), iprop(g, GP_COLOUR, q), iprop(g, GP_LINESTYLE, q),
                           iprop(g, GP_MARKERSTYLE, q), iprop(g, GP_HATCHSTYLE, q), asline});
        }
    }
    for (int k = 0; k < OVERLAYS; k++) {
        if (!iprop(g, GP_OVERLAYON, k))
            continue;
        std::string t = text(g, GP_LGDOLEXT, k, 1);
        if (!t.empty())
            out.push_back({std::move(t), iprop(g, GP_OVLCOLOUR, k), iprop(g, GP_OVLSTYLE, k), 0, 0, 1});
    }
    return out;
}

// Device units (of the base device) to canvas units along x (0) or y (1).
double to_cc(GCanvasRecord *c, int axis, double length) { return gotext_to_cc(c, axis, length); }

GVector point2(double *p) { return GVector{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}}; }

// A box filled in `fill` (0 hollow, 1 solid, 2 and more a hatch) in
// `colour`; a filled box of colour -1 (by the colour map) is the map's ramp.
void rectangle(GCanvasRecord *c, double x0, double y0, double x1, double y1, int fill, long colour, bool ramp)
{
    double a[2] = {x0, y0}, b[2] = {x1, y1};
    GVector va = point2(a), vb = point2(b);
    if (ramp && colour < 0) {
        // Coloured by the colour map: the map's ramp.
        gdraw_GDrawColouredRectangle(c, &va, &vb, 0);
        return;
    }
    gomain_go_setup_fill_modes(c, fill, colour);
    GLineModes l{};
    l.style = 0;  // the solid line
    l.colour = colour;
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR, &l);
    gdraw_GDrawRectangle(c, &va, &vb);
}

enum Symbol { NONE, LINE, MARKER, HATCH };

Symbol symbol_of(int kind, int asline)
{
    switch (kind) {
    case 0: return LINE;
    case 1:
    case 4: return asline ? LINE : MARKER;
    case 2: return asline ? LINE : HATCH;
    case 5: return asline ? HATCH : MARKER;
    default: return NONE;
    }
}

void draw_symbol(GCanvasRecord *c, Symbol s, const Entry &e, double x, double y, double w, double h)
{
    switch (s) {
    case LINE: {
        GLineModes l{};
        l.style = e.style;
        l.colour = e.colour;
        GSetLineModes(c, GLM_STYLE | GLM_COLOUR, &l);
        double a[2] = {x, y}, b[2] = {x + w, y};
        GVector va = point2(a), vb = point2(b);
        gdraw_GDrawLine(c, &va, &vb);
        break;
    }
    case MARKER: {
        GLineModes l{};
        l.style = 0;  // the solid line
        l.colour = e.colour;
        GSetLineModes(c, GLM_STYLE | GLM_COLOUR, &l);
        GMarkerModes m{};
        m.index = e.marker;
        m.scale = 0.25;
        GSetMarkerModes(c, GMM_INDEX | GMM_SCALE, &m);
        double p[2] = {x + w / 2, y};
        GVector v = point2(p);
        gdraw_GDrawMarkers(c, &v);
        break;
    }
    case HATCH: rectangle(c, x, y - h / 2, x + w, y + h / 2, e.hatch, e.colour, true); break;
    case NONE: break;
    }
}

}  // namespace

void goleg_go_draw_legend(GoGraph *graph, int legend_kind)
{
    if (!graph || !graph->canvas || !iprop(graph, GP_LGENABLE))
        return;
    GCanvasRecord *c = graph->canvas;
    GCanvasModes saved{};
    GGetCanvasModes(c, &saved);
    GTextModes saved_text{};
    GGetTextModes(c, &saved_text);
    GLineModes saved_line{};
    GGetLineModes(c, &saved_line);
    GMarkerModes saved_marker{};
    GGetMarkerModes(c, &saved_marker);
    GCanvasModes m = saved;
    m.coords = GCS_CC;
    GSetCanvasModes(c, GCM_COORDS, &m);
    GTextModes t{};
    t.font = iprop(graph, GP_LGTEXTFONT);
    t.scale = dprop(graph, GP_LGTEXTSIZE);
    t.angle = 0;
    t.alignment = 3;  // centre left
    GSetTextModes(c, GTM_FONT | GTM_SCALE | GTM_ANGLE | GTM_ALIGNMENT, &t);
    const long box_colour = iprop(graph, GP_AXISCOLOUR);

    const std::vector<Entry> entries = entries_of(graph, legend_kind);
    const int style = iprop(graph, GP_LGSTYLE);
    if (!entries.empty()) {
        const int n = static_cast<int>(entries.size());
        const int columns = std::min(std::max(iprop(graph, GP_LGCOLUMNS), 1), n);
        const int lines = (n + columns - 1) / columns;

        GoTextMeasure me;
        gotext_measure(me, c, static_cast<int>(t.font), dprop(graph, GP_LGTEXTSIZE), GO_LEG_NO_FONT);
        const double unit = me.unit;
        const double box_w = to_cc(c, 0, BOX_W), box_h = to_cc(c, 1, BOX_H);
        const double sample_w = to_cc(c, 0, SAMPLE_W), sample_h = to_cc(c, 1, SAMPLE_H);
        double line_h = me.height > 0 ? me.height : 0;
        if (style == 1 || style == 2)
            line_h = std::max(me.height, style == 1 ? box_h : sample_h);
        const double line_gap = std::trunc(0.4 * line_h), column_gap = unit;
        double widest = 0;
        for (const Entry &e : entries)
            widest = std::max(widest, me.width(e.text));
        const double symbol_w = style == 1 ? box_w : style == 2 ? sample_w : 0;
        const double column_w = widest + symbol_w + unit;
        const double width =
            std::trunc(0.85 * unit + columns * column_w + (columns - 1) * column_gap + 0.85 * unit);
        const double height = std::trunc(0.75 * line_h + lines * line_h + (lines - 1) * line_gap + 0.75 * line_h);

        const double xoff = to_cc(c, 0, iprop(graph, GP_LGXOFFSET)), yoff = to_cc(c, 1, iprop(graph, GP_LGYOFFSET));
        const double right = saved.ccextent[0], top_edge = saved.ccextent[1];
        double left = xoff, top = top_edge - yoff;
        switch (iprop(graph, GP_LGGRAVITY)) {
        case 0: break;
        case 2: left = right - xoff - width; top = height + yoff; break;
        case 3: top = height + yoff; break;
        default: left = right - xoff - width; break;
        }
        if (iprop(graph, GP_LGBORDER)) {
            double a[2] = {left, top - height}, b[2] = {left + width, top};
            GVector va = point2(a), vb = point2(b);
            GClearArea(c, &va, &vb);
            rectangle(c, left, top - height, left + width, top, 0, box_colour, false);
        }
        const long title_colour = iprop(graph, GP_TITLECOLOUR);
        for (int i = 0; i < n; i++) {
            const Entry &e = entries[static_cast<size_t>(i)];
            const int l = i / columns, col = i % columns;
            const double y = top - 0.75 * line_h - l * (line_h + line_gap) - line_h / 2;
            double x = left + 0.85 * unit + col * (column_w + column_gap);
            if (style == 1) {
                rectangle(c, x, y - box_h / 2, x + box_w, y + box_h / 2, 1, e.colour, true);
                x += box_w + unit;
            } else if (style == 2) {
                draw_symbol(c, symbol_of(legend_kind, e.asline), e, x, y, sample_w, sample_h);
                x += sample_w + unit;
            }
            GTextModes tc{};
            // A text coloured by the colour map has no one colour: the title's.
            tc.colour = style == 0 && e.colour >= 0 ? e.colour : title_colour;
            GSetTextModes(c, GTM_COLOUR, &tc);
            double p[2] = {x, y};
            GVector v = point2(p);
            GPutText(c, &v, e.text.c_str());
        }
    }
    gomain_go_setup_fill_modes(c, 0, box_colour);
    GSetMarkerModes(c, GMM_INDEX | GMM_SCALE, &saved_marker);
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &saved_line);
    GSetTextModes(c, GTM_FONT | GTM_COLOUR | GTM_SCALE | GTM_ANGLE | GTM_ALIGNMENT, &saved_text);
    GSetCanvasModes(c, GCM_COORDS, &saved);
}
