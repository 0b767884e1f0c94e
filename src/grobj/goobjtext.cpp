// Text annotations: properties, defaults by id and file lines.

#include "goobjtext.h"

#include "gomain.h"
#include "goprop.h"

#include <algorithm>
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
