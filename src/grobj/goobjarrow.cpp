// Arrow annotations: properties, defaults and file lines.

#include "goobjtext.h"

#include "gomain.h"
#include "goprop.h"

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
