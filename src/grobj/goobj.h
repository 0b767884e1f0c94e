// The annotation objects of a graph: the one object manager, every graph's
// 228 predefined texts (ten titles and notes, the x, y and z axis titles,
// the titles of the extra y axes), the user's texts and arrows, the graph
// properties of titles mapped onto their objects, and the requests that
// draw, find, query, change and write a graph's objects.
#pragma once

#include <cstdio>
#include <vector>

struct GoGraph;
namespace gobj {
struct ObjClassRec;
}

// The value of an object property or title property; 1 when the property
// was found (its value may still be none: an arrow's tip not given).
int gobj_go_get_obj_property(GoGraph *graph, int property, int qualifier, int evaluate, void **value);
// 1 when set, 0 when refused.
int gobj_go_set_obj_property(GoGraph *graph, int property, int qualifier, const void *value);
// 1 when acceptable.
int gobj_go_check_obj_property(GoGraph *graph, int property, int qualifier, const void *value);

void gobj_go_init_text_objects(GoGraph *graph);
void gobj_go_destroy_objects(GoGraph *graph);
// Destroys the graph's objects and makes the predefined texts again.
void gobj_go_reset_objects(GoGraph *graph);
// The objects' lines of a graph format file (property names 197-224, the
// object id as qualifier).
void gobj_go_write_object_properties(GoGraph *graph, FILE *stream);
void gobj_go_draw_objects(GoGraph *graph);
// The titles and user texts, and the arrows, that the graph's kind of
// canvas shows (plan: z upwards in 2-D); the extra y axes' titles go with
// their axes.
void gobj_go_draw_title_objects(GoGraph *graph, int titles, int plan);
void gobj_go_draw_arrows(GoGraph *graph, int plan);
void gobj_go_draw_my_objects(GoGraph *graph, int axis);

// The annotation texts of a graph, as the display window edits them.  The
// outline is a polygon of four points (x, y pairs, window pixels from the
// anchor) around the text; the adjust procedure keeps a dragged anchor on
// the canvas.
using GoTextAdjust = void (*)(GoGraph *graph, int id, int *x, int *y);
int go_find_text_object(GoGraph *graph, int x, int y, int *id, const char **text, int outline[8],
                        GoTextAdjust *adjust);
// A new user text or an arrow of a text; its id, or -1.
int gobj_go_create_text(GoGraph *graph);
int gobj_go_create_arrow(GoGraph *graph, int text);
void gobj_go_destroy_arrow(GoGraph *graph, int unused, int id);
std::vector<int> gobj_go_get_arrows(GoGraph *graph, int text);
// Destroys the objects whose parent is the id; how many.
int gobj_go_destroy_child_objects(GoGraph *graph, int id);
void *gobj_go_get_an_object(GoGraph *graph, int id);
// Sets a text's body and, given a point (window pixels), its place; id -1
// makes a new text.  An empty body deletes a user text (with its arrows)
// and empties a predefined one.  The text's id, or -1.
int gobj_go_set_text_object(GoGraph *graph, int id, const char *text, const int *point);
// 1 for arrows, 0 for texts and every other class.
int gobj_go_external_class_id(const gobj::ObjClassRec *cls);
