// The annotation objects of a graph: the manager, the predefined texts,
// the title properties mapped onto objects, and the graph-side requests.

#include "goobj.h"

#include "gomain.h"
#include "goobjtext.h"
#include "goprop.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

std::unique_ptr<gobj::ObjectMgr> objmgr;

gobj::ObjectMgr *manager()
{
    if (!objmgr)
        objmgr = gobjmgr_create_manager();
    return objmgr.get();
}

// The manager, with the graph's predefined texts made on its first use.
// Whether they exist is asked of the manager, per graph: a format copied
// from another graph carries that graph's manager pointer.
gobj::ObjectMgr *objects_of(GoGraph *graph)
{
    gobj::ObjectMgr *m = manager();
    if (graph && !m->find(graph, OBJ_PREDEFINED - 1))
        gobj_go_init_text_objects(graph);
    if (graph && graph->format)
        graph->format->objects = m;
    return m;
}

// The object a title property lives in, and the object property; false
// for a property the object layer does not know or a qualifier out of
// range.
bool title_object(int property, int qualifier, int *id, int *object_property)
{
    switch (property) {
    case GP_XTITLE: *id = 10; *object_property = GP_ANNOTBODY; return true;
    case GP_XTITLEX: *id = 10; *object_property = GP_HOFFSET; return true;
    case GP_XTITLEY: *id = 10; *object_property = GP_VOFFSET; return true;
    case GP_YTITLE: *id = 11; *object_property = GP_ANNOTBODY; return true;
    case GP_YANGLE: *id = 11; *object_property = GP_ANNOTANGLE; return true;
    case GP_YTITLEX: *id = 11; *object_property = GP_HOFFSET; return true;
    case GP_YTITLEY: *id = 11; *object_property = GP_VOFFSET; return true;
    case GP_ZTITLE: *id = 12; *object_property = GP_ANNOTBODY; return true;
    case GP_ZANGLE: *id = 12; *object_property = GP_ANNOTANGLE; return true;
    case GP_ZTITLEX: *id = 12; *object_property = GP_HOFFSET; return true;
    case GP_ZTITLEY: *id = 12; *object_property = GP_VOFFSET; return true;
    default: break;
    }
    if (property == GP_TITLE || property == GP_TITLEX || property == GP_TITLEY) {
        if (qualifier < 0 || qualifier >= OBJ_PREDEFINED)
            return false;
        *id = qualifier;
        *object_property = property == GP_TITLE ? GP_ANNOTBODY : property == GP_TITLEX ? GP_HOFFSET : GP_VOFFSET;
        return true;
    }
    if (property >= GP_SYTITLE && property <= GP_SYTITLEY) {
        if (qualifier < 0)
            return false;
        *id = qualifier % GO_SECY + 13;
        static const int map[4] = {GP_ANNOTBODY, GP_ANNOTANGLE, GP_HOFFSET, GP_VOFFSET};
        *object_property = map[property - GP_SYTITLE];
        return true;
    }
    if (property >= GP_OBJTYPE && property < GO_NUM_PROPERTIES) {
        if (qualifier < 0)
            return false;  // routing ids are not objects
        *id = qualifier;
        *object_property = property;
        return true;
    }
    return false;
}

bool is_angle(int property) { return property == GP_YANGLE || property == GP_ZANGLE || property == GP_SYANGLE; }
bool is_place(int property)
{
    switch (property) {
    case GP_XTITLEX: case GP_XTITLEY: case GP_YTITLEX: case GP_YTITLEY: case GP_ZTITLEX: case GP_ZTITLEY:
    case GP_TITLEX: case GP_TITLEY: case GP_SYTITLEX: case GP_SYTITLEY: return true;
    default: return false;
    }
}
// Titles shown on one line: the first line of the body.
bool one_line(int property, int qualifier)
{
    return property == GP_XTITLE || property == GP_YTITLE || property == GP_ZTITLE || property == GP_SYTITLE ||
           (property == GP_TITLE && qualifier <= 4);
}

const ObjClassRec *class_of(int external) { return external == 1 ? arrowClass : external == 0 ? textClass : nullptr; }

Drawn *drawn(gobj::Object *o) { return o && is_sub_class_of(drawnClass, o) ? static_cast<Drawn *>(o) : nullptr; }

ObjRequest request(GoGraph *graph, int id, int operation)
{
    ObjRequest r;
    r.id = id;
    r.owner = graph;
    r.graph = graph;
    r.cls = textClass;
    r.operation = operation;
    return r;
}

}  // namespace

// ---- properties ------------------------------------------------------------------------------------

int gobj_go_get_obj_property(GoGraph *graph, int property, int qualifier, int evaluate, void **value)
{
    static int angle_value, place_value, one = 1;
    static std::string line;
    *value = nullptr;
    if (property == GP_XANGLE) {
        *value = &one;
        return 1;
    }
    int id = 0, p = 0;
    if (!graph || !title_object(property, qualifier, &id, &p))
        return 0;
    gobj::Object *o = objects_of(graph)->find(graph, id);
    if (!o)
        return 0;
    if (p == GP_OBJTYPE) {
        *value = const_cast<int *>(&o->cls->external_id);
        return 1;
    }
    Drawn *d = drawn(o);
    int found = 0;
    void *v = d ? d->get_property(p, evaluate, &found) : nullptr;
    if (!found)
        return 0;
    if (v && is_angle(property)) {
        angle_value = *static_cast<const int *>(v) == 0 ? 1 : 0;
        v = &angle_value;
    } else if (v && is_place(property)) {
        place_value = static_cast<int>(std::lround(*static_cast<const double *>(v)));
        v = &place_value;
    } else if (v && one_line(property, qualifier)) {
        line = static_cast<const char *>(v);
        line = line.substr(0, line.find('\n'));
        v = line.data();
    }
    *value = v;
    return 1;
}

int gobj_go_set_obj_property(GoGraph *graph, int property, int qualifier, const void *value)
{
    int id = 0, p = 0;
    if (!graph || !title_object(property, qualifier, &id, &p))
        return 0;
    gobj::ObjectMgr *m = objects_of(graph);
    gobj::Object *o = m->find(graph, id);
    if (p == GP_OBJTYPE) {
        const ObjClassRec *c = value ? class_of(*static_cast<const int *>(value)) : nullptr;
        if (!c)
            return 0;
        if (o)
            return o->cls == c ? 1 : 0;  // an id holding the other class stays as it is
        gobjmgr_adopt_object(m, gobjroot_create_object(id, c, graph));
        return 1;
    }
    if (!o) {
        gobjmgr_adopt_object(m, gobjroot_create_object(id, textClass, graph));
        o = m->find(graph, id);
    }
    Drawn *d = drawn(o);
    if (!d)
        return 0;
    int angle = 0;
    double place = 0;
    if (is_angle(property) && value) {
        angle = *static_cast<const int *>(value) == 1 ? 0 : 90;
        value = &angle;
    } else if (is_place(property) && value) {
        place = *static_cast<const int *>(value);
        value = &place;
    }
    return d->set_property(p, value) ? 1 : 0;
}

namespace {

// The graph format's own properties whose values the object layer judges:
// the limit texts (a number or an expression of at most 12 characters, or
// none for automatic), the fail-spot style and the toggles.  -1 for any
// other property.
int format_check(int property, const void *value)
{
    const int *i = static_cast<const int *>(value);
    switch (property) {
    case GP_WFDIAMETER:
    case GP_DIE_X:
    case GP_DIE_Y:
    case GP_WFCENTRE_X:
    case GP_WFCENTRE_Y:
    case GP_CENTRE_OFFSET:
    case GP_BOX_LIMIT:
    case GP_TAIL_LIMIT: return !value || strlen(static_cast<const char *>(value)) <= GO_LIMIT_LENGTH;
    case GP_WFFSPOT: return i && *i >= 0 && *i <= 4;
    case GP_WFOUTLINE:
    case GP_CONNECT_MEANS:
    case GP_THRESH_LINES:
    case GP_LABELDIE:
    case GP_POLAR_OUTPUT: return i && (*i == 0 || *i == 1);
    default: return -1;
    }
}

}  // namespace

int gobj_go_check_obj_property(GoGraph *graph, int property, int qualifier, const void *value)
{
    int id = 0, p = 0;
    if (property == GP_XANGLE)
        return 0;
    if (const int format = format_check(property, value); format >= 0)
        return format;
    if (!title_object(property, qualifier, &id, &p))
        return 0;
    if (p == GP_OBJTYPE)
        return value && (*static_cast<const int *>(value) == -1 || class_of(*static_cast<const int *>(value)));
    if (is_angle(property) || is_place(property))
        return value != nullptr;
    gobj::Object *o = graph ? objects_of(graph)->find(graph, id) : nullptr;
    if (Drawn *d = drawn(o))
        return d->check_property(p, value) ? 1 : 0;
    // An id the graph lacks is judged by a text's ranges.
    Text probe(textClass, id, graph);
    return probe.check_property(p, value) ? 1 : 0;
}

// ---- the objects of a graph -----------------------------------------------------------------------

void gobj_go_init_text_objects(GoGraph *graph)
{
    gobj::ObjectMgr *m = manager();
    for (int id = 0; id < OBJ_PREDEFINED; id++)
        if (!m->find(graph, id))
            gobjmgr_adopt_object(m, gobjroot_create_object(id, textClass, graph));
}

void gobj_go_destroy_objects(GoGraph *graph)
{
    if (objmgr && graph)
        gobjmgr_destroy_owned_objects(objmgr.get(), graph);
}

void gobj_go_reset_objects(GoGraph *graph)
{
    if (!graph)
        return;
    gobj_go_destroy_objects(graph);
    objects_of(graph);
}

void gobj_go_write_object_properties(GoGraph *graph, FILE *stream)
{
    if (!graph || !stream)
        return;
    ObjRequest r = request(graph, OBJ_EVERY, OBJ_OP_WRITE);
    r.file = stream;
    gobjmgr_message(objects_of(graph), r);
}

namespace {

// Which objects the title filter lets through.
bool shown(GoGraph *graph, int id, int plan)
{
    const bool three_d = graph->canvas && graph->canvas->modes.dimension == 3;
    if (id >= OBJ_PREDEFINED)
        return true;
    if (three_d)
        return id < 13;
    if (plan)
        return id < 13 && id != 11;
    return id < 12;
}

void draw_some(GoGraph *graph, const ObjClassRec *cls, bool (*keep)(GoGraph *, int, int), int plan)
{
    if (!graph || !graph->canvas)
        return;
    for (gobj::Object *o : objects_of(graph)->owned(graph))
        if ((!cls || o->cls == cls) && (!keep || keep(graph, o->id, plan)))
            if (Drawn *d = drawn(o))
                gobjdrw_draw_object(d, graph);
}

}  // namespace

void gobj_go_draw_objects(GoGraph *graph) { draw_some(graph, nullptr, nullptr, 0); }
void gobj_go_draw_title_objects(GoGraph *graph, int, int plan) { draw_some(graph, textClass, shown, plan); }
void gobj_go_draw_arrows(GoGraph *graph, int plan) { draw_some(graph, arrowClass, shown, plan); }

void gobj_go_draw_my_objects(GoGraph *graph, int axis)
{
    if (!graph || !graph->canvas || axis < 0 || axis >= GO_SECY)
        return;
    if (Drawn *d = drawn(objects_of(graph)->find(graph, axis + 13)))
        gobjdrw_draw_object(d, graph);
}

// ---- texts and arrows -----------------------------------------------------------------------------

namespace {

void check_position(GoGraph *graph, int id, int *x, int *y)
{
    Drawn *d = graph ? drawn(objects_of(graph)->find(graph, id)) : nullptr;
    if (!d || !x || !y)
        return;
    double p[2] = {double(*x), double(*y)};
    if (gobjdrw_check_object_position(d, p)) {
        *x = static_cast<int>(std::lround(p[0]));
        *y = static_cast<int>(std::lround(p[1]));
    }
}

}  // namespace

int go_find_text_object(GoGraph *graph, int x, int y, int *id, const char **text, int outline[8],
                        GoTextAdjust *adjust)
{
    if (!graph || !graph->canvas)
        return 0;
    double point[2] = {double(x), double(y)}, corners[8] = {};
    ObjRequest r = request(graph, OBJ_AT_POINT, OBJ_OP_NONE);
    r.point = point;
    r.outline = corners;
    gobjmgr_message(objects_of(graph), r);
    if (r.id == OBJ_AT_POINT)
        return 0;
    auto *t = static_cast<Text *>(drawn(objects_of(graph)->find(graph, r.id)));
    if (id)
        *id = r.id;
    if (outline) {
        // Canvas units from the anchor to window pixels from the anchor.
        const GXformPart &m = graph->canvas->xf[GX_CC].forward;
        for (int k = 0; k < 4; k++) {
            const double cx = corners[2 * k], cy = corners[2 * k + 1];
            outline[2 * k] = static_cast<int>(std::lround(m.m[0] * cx + m.m[1] * cy));
            outline[2 * k + 1] = static_cast<int>(std::lround(m.m[3] * cx + m.m[4] * cy));
        }
    }
    if (text)
        *text = t && t->cls == textClass ? t->body.c_str() : "";
    if (adjust)
        *adjust = check_position;
    return 1;
}

int gobj_go_create_text(GoGraph *graph)
{
    return graph ? gobjmgr_new_object(objects_of(graph), graph, textClass) : -1;
}

int gobj_go_create_arrow(GoGraph *graph, int text)
{
    if (!graph)
        return -1;
    gobjmgr_set_active_object(text);
    return gobjmgr_new_object(objects_of(graph), graph, arrowClass);
}

void gobj_go_destroy_arrow(GoGraph *graph, int, int id)
{
    if (!graph)
        return;
    const int ids[1] = {id};
    destroy_owned_object_list(objects_of(graph), graph, ids);
}

std::vector<int> gobj_go_get_arrows(GoGraph *graph, int text)
{
    return graph ? get_children(objects_of(graph), graph, text, arrowClass) : std::vector<int>{};
}

int gobj_go_destroy_child_objects(GoGraph *graph, int id)
{
    if (!graph)
        return 0;
    const std::vector<int> children = get_children(objects_of(graph), graph, id, nullptr);
    destroy_owned_object_list(objects_of(graph), graph, children);
    return static_cast<int>(children.size());
}

void *gobj_go_get_an_object(GoGraph *graph, int id)
{
    return graph ? objects_of(graph)->find(graph, id) : nullptr;
}

int gobj_go_set_text_object(GoGraph *graph, int id, const char *text, const int *point)
{
    if (!graph || id < -1)
        return -1;
    gobj::ObjectMgr *m = objects_of(graph);
    if (!text || !*text) {
        if (id < 0)
            return -1;
        if (id >= OBJ_PREDEFINED) {
            const int ids[1] = {id};
            destroy_owned_object_list(m, graph, ids);
            return id;
        }
        gobj_go_destroy_child_objects(graph, id);
    }
    if (id == -1)
        id = gobjmgr_new_object(m, graph, textClass);
    gobj::Object *o = m->find(graph, id);
    if (!o || o->cls != textClass)
        return -1;
    double at[2] = {0, 0};
    if (point) {
        at[0] = point[0];
        at[1] = point[1];
    }
    static_cast<Text *>(o)->set_position(graph, point ? at : nullptr, text ? text : "");
    return id;
}

int gobj_go_external_class_id(const ObjClassRec *cls) { return cls == arrowClass ? 1 : 0; }
