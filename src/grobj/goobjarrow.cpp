// Arrow annotations: properties, defaults and file lines.

#include "goobjtext.h"

#include "gomain.h"
#include "goobj.h"
#include "goprop.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

gobj::Object *make_arrow(int id, const ObjClassRec *cls, void *owner) { return new Arrow(cls, id, owner); }

int tip_of(int property) { return property - GP_ARROW_X; }
bool is_tip(int property) { return property >= GP_ARROW_X && property <= GP_ARROW_Z; }

}  // namespace

// New arrows skip the ids of the first twenty texts.
const ObjClassRec arrowClassRec{"arrow", &drawnClassRec, make_arrow, 20, 1};
const ObjClassRec *const arrowClass = &arrowClassRec;

namespace gobj {

Arrow::Arrow(const ObjClassRec *c, int i, void *o) : Drawn(c, i, o)
{
    if (i < 0)
        return;
    parent = gobjmgr_get_active_object();
    origin = 7;
    frame = OBJ_FRAME_DATA;
    hattach = 0;
    hunit = OBJ_UNIT_PERCENT;
    vattach = 1;
    vunit = OBJ_UNIT_PERCENT;
    fgcol = 2;
}

void *Arrow::get_property(int property, int evaluate, int *found)
{
    if (found)
        *found = 1;
    if (is_tip(property)) {
        TipText &t = tip[tip_of(property)];
        if (!t.given)
            return nullptr;
        if (!evaluate)
            return t.text;
        if (!goprop_eval_rstr(static_cast<GoGraph *>(owner), t.text, &resolved_))
            return nullptr;
        return &resolved_;
    }
    switch (property) {
    case GP_REFERENCE: return &parent;
    case GP_ARROW_TIP: return &tip_style;
    case GP_ARROW_SCALE: return &head_size;
    case GP_ARROW_HANGLE: return &half_angle;
    default: return Drawn::get_property(property, evaluate, found);
    }
}

bool Arrow::check_property(int property, const void *value)
{
    if (is_tip(property))
        return !value || strlen(static_cast<const char *>(value)) <= OBJ_TIP_MAX;
    switch (property) {
    case GP_REFERENCE: return value && *static_cast<const int *>(value) >= 0;
    case GP_ARROW_TIP:
    case GP_ARROW_SCALE:
    case GP_ARROW_HANGLE: return value != nullptr;
    default: return Drawn::check_property(property, value);
    }
}

bool Arrow::set_property(int property, const void *value)
{
    if (is_tip(property)) {
        TipText &t = tip[tip_of(property)];
        const char *s = value ? static_cast<const char *>(value) : "";
        const size_t n = strnlen(s, OBJ_TIP_MAX);
        memcpy(t.text, s, n);
        t.text[n] = '\0';
        t.given = n > 0;
        return true;
    }
    if (!value)
        return false;
    const int i = *static_cast<const int *>(value);
    switch (property) {
    case GP_REFERENCE: parent = i; return true;
    case GP_ARROW_TIP: tip_style = i; return true;
    case GP_ARROW_SCALE: head_size = i; return true;
    case GP_ARROW_HANGLE: half_angle = i; return true;
    default: return Drawn::set_property(property, value);
    }
}

void Arrow::write_properties(FILE *file)
{
    static const int order[] = {GP_OBJTYPE,   GP_REFERENCE, GP_ORIGIN,      GP_ARROW_X,        GP_ARROW_Y, GP_ARROW_Z,
                                GP_ARROW_TIP, GP_ARROW_SCALE, GP_ARROW_HANGLE, GP_OPAQUE, GP_FGCOL,   GP_LINEW};
    for (int p : order) {
        const char *name = nullptr;
        int type = 0, found = 0;
        if (!goprop_go_inquire_property(p, &name, nullptr, nullptr, &type))
            continue;
        const void *v = p == GP_OBJTYPE ? &cls->external_id : get_property(p, 0, &found);
        gobjdrw_do_write_property(file, name, id, type, v);
    }
}

}  // namespace gobj

// ---- drawing ------------------------------------------------------------------------------------

namespace {

GVector points2(double *p, int count) { return GVector{GV_DOUBLE, 0, 2, count, {p, nullptr, nullptr}}; }

double through(ScaleProc p, double v) { return p ? p(v) : v; }

}  // namespace

namespace gobj {

void Arrow::draw(GoGraph *graph)
{
    head = false;
    if (!graph || !graph->canvas)
        return;
    GCanvasRecord *c = graph->canvas;
    // The tip: x, and y on a 2-D graph or z on a 2-D+z one.
    int found = 0;
    auto coordinate = [&](int property, double *v) {
        const auto *d = static_cast<const double *>(get_property(property, 1, &found));
        if (d)
            *v = *d;
        return d != nullptr;
    };
    double data[3] = {0, 0, 0};
    if (!coordinate(GP_ARROW_X, &data[0]))
        return;
    if (graph->coords2dz) {
        if (!coordinate(GP_ARROW_Z, &data[2]))
            return;
        coordinate(GP_ARROW_Y, &data[1]);
    } else {
        if (!coordinate(GP_ARROW_Y, &data[1]))
            return;
        coordinate(GP_ARROW_Z, &data[2]);
    }
    auto *text = static_cast<gobj::Object *>(gobj_go_get_an_object(graph, parent));
    if (!text || text->cls != textClass)
        return;
    auto *from = static_cast<Text *>(text);
    double start[2];
    if (!from->position(graph, nullptr, false) || !from->attachment(origin, start))
        return;
    // Data values through the axes' scales (a logarithmic axis), the world
    // transform, then back from the device to the canvas.  With 2-D+z
    // coordinates z is the vertical axis of the plane.
    const double x = through(scale_GGetForwardScaleProc(&graph->xblock.scale), data[0]);
    const double y = through(scale_GGetForwardScaleProc(&graph->yblock.scale), data[1]);
    const double z = through(scale_GGetForwardScaleProc(&graph->zblock.scale), data[2]);
    const double world[3] = {x, graph->coords2dz ? z : y, graph->coords2dz ? y : z};
    double device[3], cc[3];
    gcoords_GApplyPart(&c->xf[GX_WC].forward, world, device);
    gcoords_GApplyPart(&c->xf[GX_CC].inverse, device, cc);
    if (!std::isfinite(cc[0]) || !std::isfinite(cc[1]))
        return;

    GCanvasModes saved{};
    GGetCanvasModes(c, &saved);
    GLineModes saved_line{};
    GGetLineModes(c, &saved_line);
    GFillModes saved_fill{};
    GGetFillModes(c, &saved_fill);
    GCanvasModes cm = saved;
    cm.coords = GCS_CC;
    GSetCanvasModes(c, GCM_COORDS, &cm);
    GLineModes lm{};
    lm.style = 0;
    lm.colour = fgcol;
    lm.width = linew;
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &lm);

    double end[2] = {cc[0], cc[1]};
    const double dx = cc[0] - start[0], dy = cc[1] - start[1], length = std::hypot(dx, dy);
    // A head needs a size and barbs that open less than square to the line.
    if (tip_style != 0 && head_size > 0 && half_angle > -90 && half_angle < 90) {
        const double l = gobjdrw_points_to_canvas(c, 0, head_size);
        const double t = length > 0 ? std::atan2(dy, dx) : M_PI / 2;
        const double a = std::tan(half_angle * M_PI / 180);
        const double ct = std::cos(t), st = std::sin(t);
        const double b[6] = {cc[0], cc[1], cc[0] - l * (ct - a * st), cc[1] - l * (st + a * ct),
                             cc[0] - l * (ct + a * st), cc[1] - l * (st - a * ct)};
        if (std::all_of(b, b + 6, [](double v) { return std::isfinite(v); })) {
            std::copy(b, b + 6, barbs);
            head = true;
            // The head closed back to the tip; filled when opaque.
            double outline[8] = {b[0], b[1], b[2], b[3], b[4], b[5], b[0], b[1]};
            GVector v = points2(outline, 4);
            if (opaque) {
                GFillModes fm{};
                fm.style = 1;
                fm.colour = fgcol;
                GSetFillModes(c, GFM_STYLE | GFM_COLOUR, &fm);
                GVector filled = points2(outline, 3);
                gdraw_GDrawFilledPolygon(c, &filled, nullptr);
            }
            gdraw_GDrawPolyLine(c, &v);
            const double keep = length > 0 ? std::max(length - l, 0.0) / length : 0;
            end[0] = start[0] + keep * dx;
            end[1] = start[1] + keep * dy;
        }
    }
    shaft[0] = start[0];
    shaft[1] = start[1];
    shaft[2] = end[0];
    shaft[3] = end[1];
    double a[2] = {start[0], start[1]};
    GVector va = points2(a, 1), vb = points2(end, 1);
    gdraw_GDrawLine(c, &va, &vb);
    GSetFillModes(c, GFM_STYLE | GFM_COLOUR, &saved_fill);
    GSetLineModes(c, GLM_STYLE | GLM_COLOUR | GLM_WIDTH, &saved_line);
    GSetCanvasModes(c, GCM_COORDS, &saved);
}

}  // namespace gobj
