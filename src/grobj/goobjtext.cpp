// Text annotations: properties, defaults by id and file lines.

#include "goobjtext.h"

#include "gomain.h"
#include "goprop.h"
#include "goshell.h"
#include "gotext.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

gobj::Object *make_text(int id, const ObjClassRec *cls, void *owner) { return new Text(cls, id, owner); }

// Where and how a text of an id starts out, and where a predefined one
// returns when its body is emptied.
struct Defaults {
    int origin, frame, hattach, hunit, vattach, vunit;
    double hoffset, voffset;
    int font;
    double size;
    int fgcol, angle;
};

Defaults defaults_of(int id)
{
    static const double title_heights[5] = {9000, 8500, 8000, 7500, 7000};
    if (id < 5)
        return {7, OBJ_FRAME_CANVAS, 0, 3, 0, 3, 5000, title_heights[id], -1, -1, -1, 0};
    if (id < 10)
        return {7, OBJ_FRAME_CANVAS, 0, 3, 0, 3, 0, 0, -3, -1, -1, 0};
    if (id == 10)
        return {7, OBJ_FRAME_XAXIS, 0, 3, 1, 3, 5000, 9000, -2, -2, -2, 0};
    if (id == 11)
        return {3, OBJ_FRAME_YAXIS, 0, 3, 1, 3, 9000, 5000, -2, -2, -2, 0};
    if (id == 12)
        return {7, OBJ_FRAME_ZAXIS, 0, 3, 1, 3, 5000, 9000, -2, -2, -2, 0};
    if (id < OBJ_PREDEFINED)  // the extra y axes' titles: axis id - 13 is frame id - 4
        return {3, id - 4, 0, 3, 1, 3, 9000, 5000, -2, -2, -2, 0};
    return {1, OBJ_FRAME_AREA, 0, 3, 1, 3, 50, 90, -1, -1, -1, 0};
}

int graph_int(void *owner, int property, int fallback)
{
    const void *v = owner ? goprop_go_property(static_cast<GoGraph *>(owner), property, 0, 0) : nullptr;
    return v ? *static_cast<const int *>(v) : fallback;
}

double graph_double(void *owner, int property, double fallback)
{
    const void *v = owner ? goprop_go_property(static_cast<GoGraph *>(owner), property, 0, 0) : nullptr;
    return v ? *static_cast<const double *>(v) : fallback;
}

}  // namespace

const ObjClassRec textClassRec{"annot", &drawnClassRec, make_text, 0, 0};
const ObjClassRec *const textClass = &textClassRec;

namespace gobj {

Text::Text(const ObjClassRec *c, int i, void *o) : Drawn(c, i, o)
{
    if (i >= 0)
        reset();
}

void Text::reset()
{
    const Defaults d = defaults_of(id);
    origin = d.origin;
    frame = d.frame;
    hattach = d.hattach;
    hunit = d.hunit;
    vattach = d.vattach;
    vunit = d.vunit;
    hoffset = d.hoffset;
    voffset = d.voffset;
    font = d.font;
    size = d.size;
    fgcol = d.fgcol;
    angle = d.angle;
    placed = false;
}

void *Text::get_property(int property, int evaluate, int *found)
{
    if (found)
        *found = 1;
    switch (property) {
    case GP_ANNOT: return nullptr;
    case GP_ANNOTBODY:
        if (evaluate && owner)
            return goprop_eval_text(static_cast<GoGraph *>(owner), body.c_str());
        return body.data();
    case GP_ANNOTFONT:
        if (!evaluate || font >= 0 || font < -3)
            return &font;
        resolved_int_ = graph_int(owner, font == -1 ? GP_TITLEFONT : font == -2 ? GP_LABELFONT : GP_NOTESFONT, 0);
        return &resolved_int_;
    case GP_ANNOTSIZE:
        if (!evaluate || (size != -1 && size != -2))
            return &size;
        resolved_double_ = graph_double(owner, size == -1 ? GP_TITLESIZE : GP_LABELSIZE, 0);
        return &resolved_double_;
    case GP_ANNOTANGLE: return &angle;
    case GP_ANNOTLHEIGHT: return &lheight;
    case GP_ANNOTBLHEIGHT: return &blheight;
    case GP_FGCOL:
        if (!evaluate || (fgcol != -1 && fgcol != -2))
            return &fgcol;
        resolved_int_ = graph_int(owner, fgcol == -1 ? GP_TITLECOLOUR : GP_LABELCOLOUR, 1);
        return &resolved_int_;
    default: return Drawn::get_property(property, evaluate, found);
    }
}

bool Text::check_property(int property, const void *value)
{
    if (property == GP_ANNOT)
        return true;
    if (property == GP_ANNOTBODY)
        return !value || strlen(static_cast<const char *>(value)) <= OBJ_BODY_MAX + 1;
    if (!value)
        return Drawn::check_property(property, value);
    const int i = *static_cast<const int *>(value);
    switch (property) {
    case GP_ANNOTFONT: return i >= -3 && i < gopix_num_font_entries;
    case GP_ANNOTSIZE: {
        const double d = *static_cast<const double *>(value);
        return d == -2 || (d >= -1 && d <= 1);
    }
    case GP_ANNOTANGLE: return i >= -1 && i <= 360;
    case GP_ANNOTLHEIGHT:
    case GP_ANNOTBLHEIGHT: return i >= 0 && i <= 400;
    default: return Drawn::check_property(property, value);
    }
}

bool Text::set_property(int property, const void *value)
{
    switch (property) {
    case GP_ANNOT: return true;
    case GP_ANNOTBODY: {
        const char *t = value ? static_cast<const char *>(value) : "";
        const bool emptied = !body.empty() && !*t;
        body.assign(t, strnlen(t, OBJ_BODY_MAX));
        if (emptied && id < OBJ_PREDEFINED)
            reset();
        return true;
    }
    default: break;
    }
    if (!value)
        return false;
    switch (property) {
    case GP_ANNOTFONT: font = *static_cast<const int *>(value); return true;
    case GP_ANNOTSIZE: size = *static_cast<const double *>(value); return true;
    case GP_ANNOTANGLE:
        if (angle != *static_cast<const int *>(value))
            placed = false;
        angle = *static_cast<const int *>(value);
        return true;
    case GP_ANNOTLHEIGHT: lheight = *static_cast<const int *>(value); return true;
    case GP_ANNOTBLHEIGHT: blheight = *static_cast<const int *>(value); return true;
    default: return Drawn::set_property(property, value);
    }
}

void Text::set_position(GoGraph *graph, const double point[2], const void *new_body)
{
    set_property(GP_ANNOTBODY, new_body);
    double offsets[2];
    if (point && gobjdrw_point_to_offsets(this, graph, point, offsets)) {
        set_property(GP_HOFFSET, &offsets[0]);
        set_property(GP_VOFFSET, &offsets[1]);
    }
    gobjdrw_draw_object(this, graph);
}

void Text::write_properties(FILE *file)
{
    if (body.empty())
        return;
    Drawn::write_properties(file);
    for (int p : {GP_ANNOTBODY, GP_ANNOTFONT, GP_ANNOTSIZE, GP_ANNOTANGLE}) {
        const char *name = nullptr;
        int type = 0, found = 0;
        if (goprop_go_inquire_property(p, &name, nullptr, nullptr, &type))
            gobjdrw_do_write_property(file, name, id, type, get_property(p, 0, &found));
    }
}

}  // namespace gobj

// ---- drawing ------------------------------------------------------------------------------------

namespace {

// The side margins in percent of the canvas's width.
double margin_percent(GoGraph *g, GCanvasRecord *c, int property, const GCanvasModes &m)
{
    const double v = graph_int(g, property, 0);
    if (graph_int(g, GP_MARGIN_UNITS, 0) == 1)
        return v;
    return m.ccextent[0] > 0 ? gotext_to_cc(c, 0, v) / m.ccextent[0] * 100 : 0;
}

// Texts shrink as the side margins narrow the canvas: by the share of the
// width left between them, never below nothing nor above the whole.
double size_factor(GoGraph *g, GCanvasRecord *c, const GCanvasModes &m)
{
    const double s = (100 - (margin_percent(g, c, GP_LEFTMARGIN, m) + margin_percent(g, c, GP_RIGHTMARGIN, m))) / 100;
    return std::isfinite(s) ? std::clamp(s, 0.0, 1.0) : 1;
}

// How far the box's lower left corner lies from the anchor, by origin code.
void origin_shift(int origin, double w, double h, double *dx, double *dy)
{
    const int column = origin % 3, row = origin / 3;
    *dx = -w * column / 2;
    *dy = row == 0 ? -h : row == 1 ? -h / 2 : 0;
}

// A point of the object's directions to canvas units.
void turned(const Drawn &d, double angle, const double in[2], double out[2])
{
    const double a = angle * M_PI / 180, ca = std::cos(a), sa = std::sin(a);
    out[0] = d.anchor[0] + ca * in[0] - sa * in[1];
    out[1] = d.anchor[1] + sa * in[0] + ca * in[1];
}

}  // namespace

namespace gobj {

bool Text::attachment(int n, double point[2]) const
{
    if (!drawn || n < 0 || n > 8)
        return false;
    turned(*this, angle, attach[n], point);
    return true;
}

bool Text::interested(const double point[2], double outline[8])
{
    return !body.empty() && Drawn::interested(point, outline);
}

void Text::draw(GoGraph *graph)
{
    lines.clear();
    if (body.empty() || !graph || !graph->canvas || !position(graph, nullptr, false))
        return;
    GCanvasRecord *c = graph->canvas;
    GCanvasModes saved{};
    GGetCanvasModes(c, &saved);
    GTextModes saved_text{};
    GGetTextModes(c, &saved_text);
    GLineModes saved_line{};
    GGetLineModes(c, &saved_line);
    GCanvasModes cm = saved;
    cm.coords = GCS_CC;
    GSetCanvasModes(c, GCM_COORDS, &cm);

    // Font, colour and size as the graph resolves them; values beyond the
    // style tables (a hand-made file) fall back to the first entries.
    int found = 0;
    int f = *static_cast<const int *>(get_property(GP_ANNOTFONT, 1, &found));
    if (f < 0 || (gopix_num_font_entries > 0 && f >= gopix_num_font_entries))
        f = 0;
    int colour = *static_cast<const int *>(get_property(GP_FGCOL, 1, &found));
    if (colour < 0 || (gopix_num_colour_entries > 0 && colour >= gopix_num_colour_entries))
        colour = 1;
    double scale = *static_cast<const double *>(get_property(GP_ANNOTSIZE, 1, &found));
    scale = std::isfinite(scale) ? std::clamp(scale, 0.0, 1.0) : 0;
    modes = GTextModes{};
    modes.font = f;
    modes.colour = colour;
    modes.scale = scale * size_factor(graph, c, cm);
    modes.angle = static_cast<int64_t>(angle) * 64;
    modes.alignment = 6;  // each line hangs from its lower left corner
    GSetTextModes(c, GTM_FONT | GTM_COLOUR | GTM_SCALE | GTM_ANGLE | GTM_ALIGNMENT, &modes);
    GLineModes lm{};
    lm.width = linew;
    GSetLineModes(c, GLM_WIDTH, &lm);

    // Measure every line; keep the first 300.
    GoTextMeasure me;
    gotext_measure(me, c, f, modes.scale, GO_TEXT_NO_FONT);
    const double line_h = me.height + gobjdrw_points_to_canvas(c, 1, lheight);
    const char *expanded = static_cast<const char *>(get_property(GP_ANNOTBODY, 1, &found));
    const std::string all = expanded ? expanded : "";
    std::vector<std::string> texts;
    width = 0;
    int count = 0;
    for (size_t from = 0;; count++) {
        const size_t nl = all.find('\n', from);
        std::string line = all.substr(from, nl == std::string::npos ? std::string::npos : nl - from);
        width = std::max(width, me.width(line));
        if (count < OBJ_LINES_DRAWN)
            texts.push_back(std::move(line));
        if (nl == std::string::npos)
            break;
        from = nl + 1;
    }
    count++;
    height = count * line_h;

    // The box: the lines against the anchor by the origin code, widened by
    // a margin; the nine attachment points around it.
    double dx = 0, dy = 0;
    origin_shift(origin, width, height, &dx, &dy);
    margin = 0.05 * std::min(width, height);
    const double m = margin, W = width + m, H = height + m;
    const double points[9][2] = {{-m, -m}, {W / 2, -m}, {W, -m}, {-m, H / 2}, {W / 2, H / 2},
                                 {W, H / 2}, {-m, H},    {W / 2, H}, {W, H}};
    for (int k = 0; k < 9; k++) {
        attach[k][0] = points[k][0] + dx;
        attach[k][1] = points[k][1] + dy;
    }
    set_box(dx - m, dy - m, dx + width + m, dy + height + m);
    for (size_t i = 0; i < texts.size(); i++)
        lines.push_back({dx, dy + height - static_cast<double>(i + 1) * line_h, std::move(texts[i])});

    gobjdrw_draw_background(this, c);
    for (const Line &l : lines) {
        if (l.text.empty())
            continue;
        const double at[2] = {l.x, l.y};
        double p[2];
        turned(*this, angle, at, p);
        GVector v{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}};
        GPutText(c, &v, l.text.c_str());
    }
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &saved_line);
    GSetTextModes(c, GTM_FONT | GTM_COLOUR | GTM_SCALE | GTM_ANGLE | GTM_ALIGNMENT, &saved_text);
    GSetCanvasModes(c, GCM_COORDS, &saved);
}

}  // namespace gobj
