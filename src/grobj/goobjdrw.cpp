// Drawn objects: properties, placement on a graph, background, hit test,
// the clamping of a drag and the offsets after a resize.

#include "goobjdrw.h"

#include "goaxes.h"
#include "gofile.h"
#include "gomain.h"
#include "goprop.h"

#include <X11/Intrinsic.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr double TEN_THOUSAND = 10000;

// The pixels per inch of the base device: the screen of the display
// window, or 75 where there is no screen (as the screen driver assumes).
double base_pixels_per_inch(int axis)
{
    if (go_canvas_window) {
        Display *d = XtDisplay(go_canvas_window);
        const int s = DefaultScreen(d);
        const double mm = axis == 0 ? DisplayWidthMM(d, s) : DisplayHeightMM(d, s);
        const double px = axis == 0 ? DisplayWidth(d, s) : DisplayHeight(d, s);
        if (mm > 0)
            return px / (mm * 0.03937);
    }
    return 75;
}

// Base device units to canvas units along x (0) or y (1).
double base_to_canvas(GCanvasRecord *c, int axis, double length)
{
    return GTransformLength(c, 2, axis, GTransformLength(c, 5, axis, length));
}

// Canvas units per unit of an offset along one direction of a frame
// whose side is `size` canvas units long; NaN for an unknown unit.
double unit_length(GCanvasRecord *c, int axis, int unit, double size)
{
    switch (unit) {
    case OBJ_UNIT_PIXELS: return base_to_canvas(c, axis, 1);
    case OBJ_UNIT_CM: return base_to_canvas(c, axis, 0.3937 * base_pixels_per_inch(axis));
    case OBJ_UNIT_INCHES: return base_to_canvas(c, axis, base_pixels_per_inch(axis));
    case OBJ_UNIT_PERCENT: return size / 100;
    case OBJ_UNIT_CANVAS: return 1;
    default: return std::nan("");
    }
}

bool length_unit(int unit) { return unit == OBJ_UNIT_PIXELS || unit == OBJ_UNIT_CM || unit == OBJ_UNIT_INCHES; }

void apply(const GXformPart &part, const double in[2], double out[2])
{
    const double p[3] = {in[0], in[1], 0};
    double r[3];
    gcoords_GApplyPart(&part, p, r);
    out[0] = r[0];
    out[1] = r[1];
}

// The canvas-unit rectangle of frames 2 to 5 (x0, y0, x1, y1).
bool frame_rect(GCanvasRecord *c, int frame, const double *given, const GCanvasModes &m, double r[4])
{
    switch (frame) {
    case OBJ_FRAME_GRAPH:
    case OBJ_FRAME_AREA:
        r[0] = r[1] = 0;
        r[2] = m.ccextent[0];
        r[3] = m.ccextent[1];
        return true;
    case OBJ_FRAME_PLOT: {
        double p[6] = {0, 0, 0, double(m.psextent[0]), double(m.psextent[1]), 0};
        GVector in{GV_DOUBLE, 0, 3, 2, {p, nullptr, nullptr}}, o{};
        if (GTransformPoints(c, GCS_PS, GCS_CC, &in, &o) != 0)
            return false;
        const double x0 = gvector_GGetValue(&o, 0, 0), y0 = gvector_GGetValue(&o, 0, 1);
        const double x1 = gvector_GGetValue(&o, 1, 0), y1 = gvector_GGetValue(&o, 1, 1);
        gvector_GFreeVectorData(&o);
        r[0] = std::min(x0, x1);
        r[1] = std::min(y0, y1);
        r[2] = std::max(x0, x1);
        r[3] = std::max(y0, y1);
        return true;
    }
    case OBJ_FRAME_GIVEN:
        if (!given)
            return false;
        std::copy(given, given + 4, r);
        return true;
    default: return false;
    }
}

// How far from `p` along the unit direction `d` the canvas ends.
double to_canvas_edge(const double p[2], const double d[2], const GCanvasModes &m)
{
    double t = INFINITY;
    const double hi[2] = {double(m.ccextent[0]), double(m.ccextent[1])};
    for (int k = 0; k < 2; k++) {
        if (d[k] > 0)
            t = std::min(t, (hi[k] - p[k]) / d[k]);
        else if (d[k] < 0)
            t = std::min(t, -p[k] / d[k]);
    }
    return std::isfinite(t) ? std::max(t, 1.0) : 1.0;
}

struct Placement {
    double origin[2], u[2], v[2];  // offsets (h, v) -> origin + h u + v v, canvas units
    double box[4];
};

// Frames 2 to 5: a rectangle, its sides and units.
bool place_in_rect(const Drawn &d, GCanvasRecord *c, const double *given, const GCanvasModes &m, Placement &p)
{
    double r[4];
    if (!frame_rect(c, d.frame, given, m, r))
        return false;
    const double sx = unit_length(c, 0, d.hunit, r[2] - r[0]), sy = unit_length(c, 1, d.vunit, r[3] - r[1]);
    const bool right = d.hattach == 1, top = d.vattach == 0;
    p.origin[0] = right ? r[2] : r[0];
    p.origin[1] = top ? r[3] : r[1];
    p.u[0] = right ? -sx : sx;
    p.u[1] = 0;
    p.v[0] = 0;
    p.v[1] = top ? -sy : sy;
    std::copy(r, r + 4, p.box);
    return true;
}

// Frames 6 to 223: along the axis line in ten-thousandths of its length;
// across it from the line (0) to the canvas's edge on the far side from
// the plot (10000).
bool place_on_axis(GoGraph *g, int frame, const GCanvasModes &m, Placement &p)
{
    double from[2], to[2], away[2];
    const int axis = frame < OBJ_FRAME_SECY ? frame - OBJ_FRAME_XAXIS : 3 + frame - OBJ_FRAME_SECY;
    if (!go_axis_line(g, axis, from, to, away))
        return false;
    const double mid[2] = {(from[0] + to[0]) / 2, (from[1] + to[1]) / 2};
    const double across = to_canvas_edge(mid, away, m);
    std::copy(from, from + 2, p.origin);
    for (int k = 0; k < 2; k++) {
        p.u[k] = (to[k] - from[k]) / TEN_THOUSAND;
        p.v[k] = away[k] * across / TEN_THOUSAND;
    }
    return true;
}

bool same_part(const GXformPart &a, const GXformPart &b) { return memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

namespace gobj {

// ---- the class --------------------------------------------------------------------------------

Drawn::Drawn(const ObjClassRec *c, int i, void *o) : Object(c, i, o)
{
    canvas = o ? static_cast<GoGraph *>(o)->canvas : nullptr;
    if (i < 0)
        return;
    origin = 4;
    frame = OBJ_FRAME_AREA;
    hunit = vunit = OBJ_UNIT_PERCENT;
    fgcol = 1;
}

bool Drawn::position(GoGraph *graph, const double *given, bool rebuild)
{
    GCanvasRecord *c = graph ? graph->canvas : nullptr;
    if (!c) {
        placed = false;
        return false;
    }
    if (given) {
        std::copy(given, given + 4, frame_given);
        has_given = true;
    }
    if (placed && !rebuild && c == canvas && same_part(canvas_to_device, c->xf[GX_CC].forward))
        return true;
    placed = false;
    builds++;
    if (origin < 0 || origin > 8)
        return false;
    GCanvasModes m{};
    GGetCanvasModes(c, &m);
    Placement p{};
    p.box[2] = m.ccextent[0];
    p.box[3] = m.ccextent[1];
    GXform t{};
    gcoords_GInitialiseTransform(&t);
    if (frame == OBJ_FRAME_DATA) {
        // The world transform, then back from the device to the canvas.
        GXform back{c->xf[GX_CC].inverse, c->xf[GX_CC].forward};
        gcoords_GCombineTransforms(&t, &c->xf[GX_WC], &back);
    } else {
        bool ok = false;
        if (frame == OBJ_FRAME_CANVAS) {
            p.u[0] = m.ccextent[0] / TEN_THOUSAND;
            p.v[1] = m.ccextent[1] / TEN_THOUSAND;
            ok = true;
        } else if (frame >= OBJ_FRAME_GRAPH && frame <= OBJ_FRAME_GIVEN) {
            ok = place_in_rect(*this, c, has_given ? frame_given : nullptr, m, p);
        } else if (frame >= OBJ_FRAME_XAXIS && frame <= OBJ_FRAME_LAST) {
            ok = place_on_axis(graph, frame, m, p);
        }
        if (!ok)
            return false;
        const double det = p.u[0] * p.v[1] - p.v[0] * p.u[1];
        if (!std::isfinite(det) || std::fabs(det) < 1e-12)
            return false;
        t.forward = GXformPart{{p.origin[0], p.origin[1], 0}, {p.u[0], p.v[0], 0, p.u[1], p.v[1], 0, 0, 0, 1}};
        gcoords_GInvertForward(&t);
    }
    const double offsets[2] = {hoffset, voffset};
    double at[2];
    apply(t.forward, offsets, at);
    if (!std::isfinite(at[0]) || !std::isfinite(at[1]))
        return false;
    place = t;
    std::copy(at, at + 2, anchor);
    std::copy(p.box, p.box + 4, frame_box);
    const double position3[3] = {at[0], at[1], 0};
    const long angles[3] = {0, 0, std::lround(turn() * 64)};
    GXform *user = gcoords_GCreateUserTransform(c, nullptr, position3, angles, nullptr, nullptr, 0);
    if (!user)
        return false;
    xform = *user;
    gcoords_GFreeUserTransform(user);
    canvas = c;
    canvas_to_device = c->xf[GX_CC].forward;
    placed = true;
    return true;
}

void Drawn::set_box(double x0, double y0, double x1, double y1)
{
    box[0] = std::min(x0, x1);
    box[1] = std::min(y0, y1);
    box[2] = std::max(x0, x1);
    box[3] = std::max(y0, y1);
    drawn = placed;
}

void Drawn::draw(GoGraph *) {}
void Drawn::set_position(GoGraph *, const double *, const void *) {}

bool Drawn::interested(const double point[2], double outline[8])
{
    if (!drawn || !point)
        return false;
    // Placed again when the offsets or the canvas changed since.
    if (!position(static_cast<GoGraph *>(owner), nullptr, false))
        return false;
    double p[2];
    apply(xform.inverse, point, p);
    const double mx = (box[2] - box[0]) / 40, my = (box[3] - box[1]) / 40;
    if (p[0] < box[0] - mx || p[0] > box[2] + mx || p[1] < box[1] - my || p[1] > box[3] + my)
        return false;
    if (outline)
        gobjdrw_get_object_outline(this, outline);
    return true;
}

void Drawn::receive(ObjRequest &r)
{
    if (r.hold)
        return;
    auto *g = static_cast<GoGraph *>(r.graph);
    switch (r.operation) {
    case OBJ_OP_SET: r.found = set_property(r.property, r.value) ? 1 : 0; break;
    case OBJ_OP_GET: r.result = get_property(r.property, r.extra, &r.found); break;
    case OBJ_OP_CHECK: r.found = check_property(r.property, r.value) ? 1 : 0; break;
    case OBJ_OP_WRITE:
        if (r.file)
            write_properties(r.file);
        break;
    case OBJ_OP_DRAW: gobjdrw_draw_object(this, g); break;
    case OBJ_OP_SET_POSITION: set_position(g, r.point, r.value); break;
    case OBJ_OP_CHECK_POSITION:
        if (r.point)
            r.found = gobjdrw_check_object_position(this, r.point) ? 1 : 0;
        break;
    default: break;
    }
}

// ---- properties ---------------------------------------------------------------------------------

void *Drawn::get_property(int property, int, int *found)
{
    void *v = nullptr;
    switch (property) {
    case GP_POSITION: v = &frame; break;
    case GP_ORIGIN: v = &origin; break;
    case GP_HATTACH: v = &hattach; break;
    case GP_HOFFSET: v = &hoffset; break;
    case GP_HUNIT: v = &hunit; break;
    case GP_VATTACH: v = &vattach; break;
    case GP_VOFFSET: v = &voffset; break;
    case GP_VUNIT: v = &vunit; break;
    case GP_REFERENCE: v = &reference; break;
    case GP_OPAQUE: v = &opaque; break;
    case GP_FGCOL: v = &fgcol; break;
    case GP_BGCOL: v = &bgcol; break;
    case GP_LINEW: v = &linew; break;
    case GP_BORDER: v = &border; break;
    default: break;
    }
    if (found)
        *found = v ? 1 : 0;
    return v;
}

bool Drawn::check_property(int property, const void *value)
{
    int dummy = 0;
    if (!value || !get_property(property, 0, &dummy))
        return false;
    if (property == GP_HOFFSET || property == GP_VOFFSET) {
        const double d = *static_cast<const double *>(value);
        return std::isfinite(d) && (frame != OBJ_FRAME_CANVAS || (d >= 0 && d <= TEN_THOUSAND));
    }
    const int i = *static_cast<const int *>(value);
    auto in = [i](int lo, int hi) { return i >= lo && i <= hi; };
    switch (property) {
    case GP_POSITION: return in(0, OBJ_FRAME_LAST);
    case GP_ORIGIN: return in(0, 8);
    case GP_HATTACH:
    case GP_VATTACH: return in(0, 2);
    case GP_HUNIT:
    case GP_VUNIT: return in(0, 4);
    case GP_REFERENCE: return i >= 0;
    case GP_OPAQUE: return in(0, 9);
    case GP_FGCOL:
    case GP_BGCOL: return in(-1, gopix_num_colour_entries - 1);
    case GP_LINEW: return in(-1, 100);
    case GP_BORDER: return in(-1, 2);
    default: return false;
    }
}

bool Drawn::set_property(int property, const void *value)
{
    int found = 0;
    void *field = get_property(property, 0, &found);
    if (!field || !value)
        return false;
    if (property == GP_HOFFSET || property == GP_VOFFSET) {
        double &d = *static_cast<double *>(field);
        const double now = *static_cast<const double *>(value);
        // Thousandths decide whether the placement moves.
        if (!(std::trunc(d * 1000) == std::trunc(now * 1000)))
            placed = false;
        d = now;
        return true;
    }
    int &i = *static_cast<int *>(field);
    const int now = *static_cast<const int *>(value);
    if (i != now && (property == GP_POSITION || property == GP_HATTACH || property == GP_VATTACH ||
                     property == GP_HUNIT || property == GP_VUNIT))
        placed = false;
    i = now;
    return true;
}

void Drawn::write_properties(FILE *file)
{
    static const int order[] = {GP_OBJTYPE, GP_ORIGIN, GP_POSITION, GP_HATTACH, GP_HOFFSET, GP_HUNIT, GP_VATTACH,
                                GP_VOFFSET, GP_VUNIT, GP_OPAQUE, GP_FGCOL, GP_BGCOL, GP_LINEW, GP_BORDER,
                                GP_REFERENCE};
    for (int p : order) {
        const char *name = nullptr;
        int type = 0;
        if (!goprop_go_inquire_property(p, &name, nullptr, nullptr, &type))
            continue;
        int found = 0;
        const void *v = p == GP_OBJTYPE ? &cls->external_id : get_property(p, 0, &found);
        gobjdrw_do_write_property(file, name, id, type, v);
    }
}

}  // namespace gobj

// ---- the public calls -------------------------------------------------------------------------------

double gobjdrw_points_to_canvas(GCanvasRecord *canvas, int axis, double points)
{
    if (!canvas)
        return 0;
    const double v = base_to_canvas(canvas, axis, points / 72 * base_pixels_per_inch(axis));
    return std::isfinite(v) ? v : 0;
}

void gobjdrw_do_write_property(FILE *file, const char *name, int id, int type, const void *value)
{
    gofile_go_write_property_name(file, name);
    gofile_go_write_qualifier_number(file, id);
    gofile_go_write_property_value(file, type, value);
    fputc('\n', file);
}

bool gobjdrw_position_object(Drawn *object, GoGraph *graph, const double *given)
{
    return object && object->position(graph, given, true);
}

void gobjdrw_draw_object(Drawn *object, GoGraph *graph)
{
    if (!object)
        return;
    object->drawn = false;
    object->draw(graph);
}

void gobjdrw_set_object_position(Drawn *object, GoGraph *graph, const double point[2], const void *body)
{
    if (object)
        object->set_position(graph, point, body);
}

void *gobjdrw_get_properties(Drawn *object, int property, int extra, int *found)
{
    if (!object) {
        if (found)
            *found = 0;
        return nullptr;
    }
    return object->get_property(property, extra, found);
}

void gobjdrw_set_properties(Drawn *object, int property, const void *value)
{
    if (object)
        object->set_property(property, value);
}

bool gobjdrw_check_properties(Drawn *object, int property, const void *value)
{
    return object && object->check_property(property, value);
}

void gobjdrw_write_properties(Drawn *object, FILE *file)
{
    if (object && file)
        object->write_properties(file);
}

void gobjdrw_get_object_outline(const Drawn *object, double outline[8])
{
    const double *b = object->box;
    const double corners[8] = {b[0], b[1], b[2], b[1], b[2], b[3], b[0], b[3]};
    const double a = object->turn() * M_PI / 180, ca = std::cos(a), sa = std::sin(a);
    for (int k = 0; k < 4; k++) {
        const double x = corners[2 * k], y = corners[2 * k + 1];
        outline[2 * k] = ca * x - sa * y;
        outline[2 * k + 1] = sa * x + ca * y;
    }
}

int gobjdrw_transform_object_points(const Drawn *object, int mode, const double *in, double *out, int count)
{
    if (!object || !object->placed)
        return -1;
    const GXformPart &part = mode == 0 ? object->xform.forward : object->xform.inverse;
    for (int i = 0; i < count; i++)
        apply(part, in + 2 * i, out + 2 * i);
    return 0;
}

bool gobjdrw_point_to_offsets(Drawn *object, GoGraph *graph, const double point[2], double offsets[2])
{
    if (!object || !point || !object->position(graph, nullptr, false))
        return false;
    double cc[2];
    apply(graph->canvas->xf[GX_CC].inverse, point, cc);
    apply(object->place.inverse, cc, offsets);
    return std::isfinite(offsets[0]) && std::isfinite(offsets[1]);
}

// ---- background, dragging and resizing -------------------------------------------------------------

namespace {

// Points of the object's directions to canvas units.
void to_canvas(const Drawn &d, const double *in, double *out, int count)
{
    const double a = d.turn() * M_PI / 180, ca = std::cos(a), sa = std::sin(a);
    for (int i = 0; i < count; i++) {
        const double x = in[2 * i], y = in[2 * i + 1];
        out[2 * i] = d.anchor[0] + ca * x - sa * y;
        out[2 * i + 1] = d.anchor[1] + sa * x + ca * y;
    }
}

void fill(GCanvasRecord *c, const Drawn &d, const double *points, int count, long colour)
{
    std::vector<double> cc(static_cast<size_t>(2 * count));
    to_canvas(d, points, cc.data(), count);
    GFillModes f{};
    f.style = 1;
    f.colour = colour;
    GSetFillModes(c, GFM_STYLE | GFM_COLOUR, &f);
    GVector v{GV_DOUBLE, 0, 2, count, {cc.data(), nullptr, nullptr}};
    gdraw_GDrawFilledPolygon(c, &v, nullptr);
}

}  // namespace

void gobjdrw_draw_background(Drawn *object, GCanvasRecord *canvas)
{
    if (!object || !canvas || !object->opaque || !object->placed || object->bgcol < 0)
        return;
    const Drawn &d = *object;
    GCanvasModes saved{};
    GGetCanvasModes(canvas, &saved);
    GFillModes was{};
    GGetFillModes(canvas, &was);
    GCanvasModes m = saved;
    m.coords = GCS_CC;
    GSetCanvasModes(canvas, GCM_COORDS, &m);
    const double x0 = d.box[0], y0 = d.box[1], x1 = d.box[2], y1 = d.box[3];
    const double rect[8] = {x0, y0, x1, y0, x1, y1, x0, y1};
    fill(canvas, d, rect, 4, d.bgcol);
    long light = 0, dark = 0;
    if ((d.border == 1 || d.border == 2) && gcolour_GGetShadowColours(canvas, d.bgcol, &light, &dark) == 0) {
        const double t = 0.05 * std::min(x1 - x0, y1 - y0);
        // The top and left sides, then the bottom and right.
        const double upper[12] = {x0, y0, x0, y1, x1, y1, x1 - t, y1 - t, x0 + t, y1 - t, x0 + t, y0 + t};
        const double lower[12] = {x0, y0, x1, y0, x1, y1, x1 - t, y1 - t, x1 - t, y0 + t, x0 + t, y0 + t};
        fill(canvas, d, upper, 6, d.border == 1 ? light : dark);
        fill(canvas, d, lower, 6, d.border == 1 ? dark : light);
    }
    GSetFillModes(canvas, GFM_STYLE | GFM_COLOUR, &was);
    GSetCanvasModes(canvas, GCM_COORDS, &saved);
}

bool gobjdrw_check_object_position(Drawn *object, double point[2])
{
    if (!object || !point || !object->placed)
        return false;
    const Drawn &d = *object;
    // The outline and the frame's box in device coordinates.
    const double rect[8] = {d.box[0], d.box[1], d.box[2], d.box[1], d.box[2], d.box[3], d.box[0], d.box[3]};
    double corners[8];
    to_canvas(d, rect, corners, 4);
    double lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY};
    double at[2];
    apply(d.canvas_to_device, d.anchor, at);
    for (int k = 0; k < 4; k++) {
        double p[2];
        apply(d.canvas_to_device, corners + 2 * k, p);
        for (int a = 0; a < 2; a++) {
            lo[a] = std::min(lo[a], p[a] - at[a]);
            hi[a] = std::max(hi[a], p[a] - at[a]);
        }
    }
    double b0[2], b1[2];
    apply(d.canvas_to_device, d.frame_box, b0);
    apply(d.canvas_to_device, d.frame_box + 2, b1);
    bool moved = false;
    for (int a = 0; a < 2; a++) {
        const double blo = std::min(b0[a], b1[a]), bhi = std::max(b0[a], b1[a]);
        const double low = point[a] + lo[a], high = point[a] + hi[a];
        const double under = blo - low, over = high - bhi;
        double p = point[a];
        if (under > 0 && over > 0)
            p = std::clamp(p, blo, bhi);
        else if (over > 0)
            p -= std::min(over, low - blo);
        else if (under > 0)
            p += std::min(under, bhi - high);
        if (p != point[a]) {
            point[a] = p;
            moved = true;
        }
    }
    return moved;
}

void gobjdrw_reposition_objects(GoGraph *graph, double height_ratio, double width_ratio, int plot_too)
{
    if (!graph || !graph->format || !graph->format->objects)
        return;
    auto *manager = static_cast<gobj::ObjectMgr *>(graph->format->objects);
    for (gobj::Object *o : manager->owned(graph)) {
        if (!is_sub_class_of(drawnClass, o))
            continue;
        auto *d = static_cast<Drawn *>(o);
        const bool lengths = d->frame == OBJ_FRAME_GRAPH || d->frame == OBJ_FRAME_AREA ||
                             d->frame == OBJ_FRAME_GIVEN || (d->frame == OBJ_FRAME_PLOT && plot_too);
        if (!lengths)
            continue;
        if (length_unit(d->hunit) && std::isfinite(width_ratio))
            d->hoffset *= width_ratio;
        if (length_unit(d->vunit) && std::isfinite(height_ratio))
            d->voffset *= height_ratio;
        d->placed = false;
    }
}
