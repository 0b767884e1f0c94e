// The colour bar: laid out in canvas coordinates for one draw from the
// plot area, the measured labels and title and fixed gaps in base-device
// units, then drawn as the colour map's ramp with an axis of ticks and
// labels and the title.

#include "gocolbar.h"

#include "gomain.h"
#include "gotext.h"


#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double GAP = 4, MARGIN = 5, LABEL_SPACE = 5;  // base-device units

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

std::string text_of(GoGraph *g, int p)
{
    const char *t = static_cast<const char *>(goprop_go_property(g, p, 0, 1));
    return t ? t : "";
}

GVector point2(double *p) { return GVector{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}}; }

void line(GCanvasRecord *c, double x1, double y1, double x2, double y2)
{
    double a[2] = {x1, y1}, b[2] = {x2, y2};
    GVector va = point2(a), vb = point2(b);
    gdraw_GDrawLine(c, &va, &vb);
}

void rectangle(GCanvasRecord *c, double x0, double y0, double x1, double y1)
{
    double a[2] = {x0, y0}, b[2] = {x1, y1};
    GVector va = point2(a), vb = point2(b);
    gdraw_GDrawRectangle(c, &va, &vb);
}

void put_text(GCanvasRecord *c, double x, double y, const std::string &t)
{
    double p[2] = {x, y};
    GVector v = point2(p);
    GPutText(c, &v, t.c_str());
}

// The division positions of a scale, and its small divisions between them.
std::vector<double> divisions(ScaleRec *s)
{
    std::vector<double> out;
    double v = 0;
    if (scale_GetFirstDiv(s, &v) < 0)
        return out;
    out.push_back(v);
    const int count = scale_GetNumDivs(s);
    while (static_cast<int>(out.size()) <= count && out.size() < 10000 && scale_GetNextDiv(s, &v) >= 0)
        out.push_back(v);
    return out;
}

std::vector<double> small_divisions(ScaleRec *s, const std::vector<double> &divs)
{
    std::vector<double> out;
    double v = 0;
    if (scale_GetNumSDivs(s) <= 0 || divs.empty() || scale_GetFirstSDiv(s, &v) < 0)
        return out;
    const double e = 1e-9 * std::max(1.0, std::fabs(divs.back() - divs.front()));
    do {
        if (std::none_of(divs.begin(), divs.end(), [&](double d) { return std::fabs(d - v) <= e; }))
            out.push_back(v);
    } while (out.size() < 100000 && scale_GetNextSDiv(s, &v) >= 0);
    return out;
}

// The modes the bar changes, put back at the end.
struct Saved {
    GCanvasRecord *c;
    GCanvasModes canvas{};
    GLineModes line{};
    GTextModes text{};
    GFillModes fill{};
    GThresholdModes threshold{};
    GColourMapModes colourmap{};

    explicit Saved(GCanvasRecord *canvas_record) : c(canvas_record)
    {
        GGetCanvasModes(c, &canvas);
        GGetLineModes(c, &line);
        GGetTextModes(c, &text);
        GGetFillModes(c, &fill);
        gthresh_GGetThresholdModes(c, &threshold);
        gcolmap_GGetColourMapModes(c, &colourmap);
    }
    ~Saved()
    {
        gcolmap_GSetColourMapModes(c, GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX | GCMM_LOWER | GCMM_UPPER, &colourmap);
        gthresh_GSetThresholdModes(c, GTHM_SELECTOR, &threshold);
        GSetFillModes(c, GFM_STYLE | GFM_COLOUR | GFM_HATCH, &fill);
        GSetTextModes(c, GTM_FONT | GTM_COLOUR | GTM_SCALE | GTM_ANGLE | GTM_ALIGNMENT, &text);
        GSetLineModes(c, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &line);
        GSetCanvasModes(c, GCM_COORDS, &canvas);
    }
    Saved(const Saved &) = delete;
    Saved &operator=(const Saved &) = delete;
};

struct Layout {
    double box_left = 0, box_top = 0, box_width = 0, box_height = 0;
    std::string title;
    double title_width = 0, title_height = 0;
    double bar_left = 0, bar_top = 0, bar_width = 0, bar_height = 0;
    double label_area = 0;
    double axis_length = 0;
    int gravity = 1;
    double title_x = 0, title_y = 0;
    double gap = 0;
};

// What the axis of the bar shows: the scale and its labels.
struct Axis {
    ScaleRec *scale = nullptr;
    ScaleProc forward = nullptr;
    const DozColDesc *type = nullptr;
    std::string format;
    std::vector<double> divs;

    std::string label(GoGraph *g, double v) const
    {
        char text[GO_LABEL_TEXT + 1] = {};
        gostd_std_get_label(g, format.c_str(), type, v, 0, text);
        return text;
    }
    double at(double v) const { return forward ? forward(v) : v; }
};

Axis axis_of(GoGraph *g, int dataset, GoAxisBlock *block)
{
    Axis a;
    GoAxisBlock *b = block ? block : &g->yblock;
    a.scale = &b->scale;
    a.forward = scale_GGetForwardScaleProc(a.scale);
    // A dataset outside the graph's range labels with the first's type.
    const int d = dataset >= g->first && dataset <= g->last ? dataset : g->first;
    gomain_go_get_tinfos(g, d, nullptr, &a.type, nullptr);
    const char *f = static_cast<const char *>(goprop_go_property(g, GP_YLABELFORMAT, 0, 0));
    a.format = f ? f : "";
    a.divs = divisions(a.scale);
    return a;
}

Layout layout_of(GoGraph *g, GCanvasRecord *c, const GoTextMeasure &m, const Axis &axis)
{
    Layout l;
    const GCanvasModes &cm = c->modes;
    l.title = text_of(g, GP_YTITLE);
    if (!l.title.empty()) {
        l.title_width = m.width(l.title);
        l.title_height = m.height;
    }
    double label_width = 0;
    if (!axis.divs.empty()) {
        label_width = std::max(m.width(axis.label(g, axis.divs.front())), m.width(axis.label(g, axis.divs.back())));
    }
    l.label_area = label_width +
                   gotext_to_cc(c, 0, iprop(g, GP_LONGTICKLEN) + iprop(g, GP_AXISWIDTH) + LABEL_SPACE);
    l.axis_length = cm.pssize[1];
    l.bar_width = gotext_to_cc(c, 0, iprop(g, GP_CBWIDTH));
    l.gap = gotext_to_cc(c, 0, GAP);
    const double gap_y = gotext_to_cc(c, 1, GAP);
    l.box_width = std::max(l.gap + l.label_area + l.bar_width, l.title_width) + 2 * gotext_to_cc(c, 0, MARGIN);
    l.box_height = l.axis_length + l.title_height + 2 * gotext_to_cc(c, 1, MARGIN);

    const double left = cm.psorigin[0], bottom = cm.psorigin[1], width = cm.pssize[0], height = cm.pssize[1];
    const double offset = gotext_to_cc(c, 0, iprop(g, GP_CBXOFFSET));
    l.bar_top = bottom + height;
    l.bar_height = height;
    l.title_y = bottom + height / 2;
    l.gravity = iprop(g, GP_CBGRAVITY) == 1 ? 1 : 2;
    if (l.gravity == 1) {
        l.bar_left = left + width + offset;
        l.title_x = l.bar_left + l.bar_width + l.gap + l.label_area + l.gap;
        l.box_left = l.bar_left - l.gap;
    } else {
        l.bar_left = left - offset - l.bar_width;
        l.title_x = l.bar_left - l.gap - l.label_area - l.gap;
        l.box_left = l.title_x - l.title_height - l.gap;
    }
    l.box_top = bottom + height + gap_y;
    return l;
}

void draw_bar(GoGraph *g, GCanvasRecord *c, const Layout &l, const Axis &axis, GoAxisBlock *block)
{
    // The colour map spread over the scale's range, by the selector of
    // `cmaprange`, while the bar alone colours by y.
    GoAxisBlock *b = block ? block : &g->yblock;
    GColourMapModes cm{};
    cm.range = static_cast<unsigned char>(iprop(g, GP_CMAPRANGE));
    cm.datamin = axis.at(b->min);
    cm.datamax = axis.at(b->max);
    cm.lower = axis.at(axis.scale->min);
    cm.upper = axis.at(axis.scale->max);
    gcolmap_GSetColourMapModes(c, GCMM_RANGE | GCMM_DATAMIN | GCMM_DATAMAX | GCMM_LOWER | GCMM_UPPER, &cm);
    const double right = l.bar_left + l.bar_width, bottom = l.bar_top - l.bar_height;
    if (GGetNumColourMapsCanv(c) > 0) {
        GThresholdModes was{};
        gthresh_GGetThresholdModes(c, &was);
        GThresholdModes th = was;
        th.selector = 1;
        gthresh_GSetThresholdModes(c, GTHM_SELECTOR, &th);
        double p0[2] = {l.bar_left, bottom}, p1[2] = {right, l.bar_top};
        GVector v0 = point2(p0), v1 = point2(p1);
        gdraw_GDrawColouredBar(c, &v0, &v1);
        gthresh_GSetThresholdModes(c, GTHM_SELECTOR, &was);
    }
    long colour = 0;
    gomain_go_get_colour(g, &colour, GP_AXISCOLOUR, GP_AXISCOLOUR);
    gomain_go_setup_fill_modes(c, 0, colour);
    GLineModes lm{};
    lm.style = 0;
    lm.colour = colour;
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR, &lm);
    rectangle(c, l.bar_left, bottom, right, l.bar_top);
}

// A tick from (x, y) outwards (side 1 to the right) and its label beyond.
void draw_tick(GCanvasRecord *c, double x, double y, double length, int side, const std::string *label,
               double offset)
{
    const double end = side == 1 ? x + length : x - length;
    line(c, x, y, end, y);
    if (label)
        put_text(c, side == 1 ? end + offset : end - offset, y, *label);
}

void draw_axis(GoGraph *g, GCanvasRecord *c, const Layout &l, const Axis &axis)
{
    GLineModes lm{};
    lm.colour = iprop(g, GP_AXISCOLOUR);
    lm.style = iprop(g, GP_AXISSTYLE);
    lm.width = iprop(g, GP_AXISWIDTH);
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &lm);
    const int side = l.gravity == 1 ? 1 : 2;
    const double x = side == 1 ? l.bar_left + l.bar_width : l.bar_left;
    const double bottom = l.bar_top - l.bar_height;
    line(c, x, bottom, x, l.bar_top);
    const double lo = axis.at(axis.scale->min), hi = axis.at(axis.scale->max);
    if (!(std::isfinite(lo) && std::isfinite(hi)) || lo == hi)
        return;
    auto y_of = [&](double v) { return bottom + (axis.at(v) - lo) / (hi - lo) * l.bar_height; };
    auto inside = [&](double v) {
        const double e = 1e-9 * std::fabs(hi - lo), t = axis.at(v);
        return t >= std::min(lo, hi) - e && t <= std::max(lo, hi) + e;
    };
    const double long_len = gotext_to_cc(c, 0, iprop(g, GP_LONGTICKLEN));
    const double small_len = gotext_to_cc(c, 0, iprop(g, GP_SMALLTICKLEN));
    const double offset = gotext_to_cc(c, 0, iprop(g, GP_TICKSPACE));
    const bool across = iprop(g, GP_YLONGTICKS) != 0;
    GTextModes tm{};
    tm.alignment = side == 1 ? 3 : 5;
    tm.angle = 0;
    GSetTextModes(c, GTM_ALIGNMENT | GTM_ANGLE, &tm);
    for (double v : axis.divs) {
        if (!inside(v))
            continue;
        const double y = y_of(v);
        if (across) {
            GLineModes dash = lm;
            dash.style = iprop(g, GP_LONGTICKSTYLE);
            GSetLineModes(c, GLM_STYLE, &dash);
            line(c, l.bar_left, y, l.bar_left + l.bar_width, y);
            GSetLineModes(c, GLM_STYLE, &lm);
        }
        const std::string label = axis.label(g, v);
        draw_tick(c, x, y, long_len, side, &label, offset);
    }
    for (double v : small_divisions(axis.scale, axis.divs))
        if (inside(v))
            draw_tick(c, x, y_of(v), small_len, side, nullptr, 0);
}

void draw_title(GoGraph *g, GCanvasRecord *c, const Layout &l)
{
    if (l.title.empty())
        return;
    GTextModes tm{};
    long colour = 0;
    gomain_go_get_colour(g, &colour, GP_TITLECOLOUR, GP_AXISCOLOUR);
    tm.colour = colour;
    double x = l.title_x;
    if (iprop(g, GP_YANGLE) == 1) {
        tm.angle = 0;
        tm.alignment = l.gravity == 1 ? 3 : 5;
    } else {
        // Turned by a quarter and centred: its height is its width, and it
        // stands beyond the labels, inside the box.
        tm.angle = l.gravity == 1 ? 17280 : 5760;
        tm.alignment = 4;
        x += l.gravity == 1 ? l.title_height / 2 : -l.title_height / 2;
    }
    GSetTextModes(c, GTM_COLOUR | GTM_ANGLE | GTM_ALIGNMENT, &tm);
    put_text(c, x, l.title_y, l.title);
}

}  // namespace

void gocolbar_go_draw_colourbar(GoGraph *graph, int dataset, GoAxisBlock *block)
{
    if (!graph || !graph->canvas || graph->first < 0 || !iprop(graph, GP_CBENABLE))
        return;
    GCanvasRecord *c = graph->canvas;
    Saved saved(c);
    GCanvasModes cc{};
    cc.coords = GCS_CC;
    GSetCanvasModes(c, GCM_COORDS, &cc);
    GLineModes solid{};
    solid.style = 0;
    GSetLineModes(c, GLM_STYLE, &solid);

    GTextModes tm{};
    tm.font = iprop(graph, GP_LABELFONT);
    tm.scale = dprop(graph, GP_LABELSIZE);
    long colour = 0;
    gomain_go_get_colour(graph, &colour, GP_LABELCOLOUR, GP_AXISCOLOUR);
    tm.colour = colour;
    tm.alignment = 4;
    tm.angle = 0;
    GSetTextModes(c, GTM_FONT | GTM_COLOUR | GTM_SCALE | GTM_ANGLE | GTM_ALIGNMENT, &tm);
    GoTextMeasure m;
    gotext_measure(m, c, static_cast<int>(tm.font), tm.scale, GO_LEG_NO_FONT);

    const Axis axis = axis_of(graph, dataset, block);
    const Layout l = layout_of(graph, c, m, axis);
    if (iprop(graph, GP_CBBORDER)) {
        double a[2] = {l.box_left, l.box_top - l.box_height}, b[2] = {l.box_left + l.box_width, l.box_top};
        GVector va = point2(a), vb = point2(b);
        GClearArea(c, &va, &vb);
        long box = 0;
        gomain_go_get_colour(graph, &box, GP_AXISCOLOUR, GP_AXISCOLOUR);
        gomain_go_setup_fill_modes(c, 0, box);
        GLineModes lm{};
        lm.style = 0;
        lm.colour = box;
        GSetLineModes(c, GLM_STYLE | GLM_COLOUR, &lm);
        rectangle(c, a[0], a[1], b[0], b[1]);
    }
    draw_bar(graph, c, l, axis, block);
    draw_axis(graph, c, l, axis);
    draw_title(graph, c, l);
    gomain_go_setup_fill_modes(c, 0, 0);
}
