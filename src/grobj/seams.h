// The properties that the annotation objects of a graph hold (the titles,
// their angles and offsets, and the object properties 197-224).  Until the
// graph's annotation objects exist these refuse: no value, no change.
#pragma once

#include <cstdio>

struct GoGraph;

// The value, or null when the object layer has none.
void *gobj_go_get_obj_property(GoGraph *graph, int property, int qualifier, int evaluate);
// 1 when set, 0 when refused.
int gobj_go_set_obj_property(GoGraph *graph, int property, int qualifier, const void *value);
// 1 when acceptable.
int gobj_go_check_obj_property(GoGraph *graph, int property, int qualifier, const void *value);

// The annotation objects and their drawing.  Until they exist a graph has
// none: nothing is drawn and nothing needs destroying.
void gobj_go_destroy_objects(GoGraph *graph);
// The objects' lines of a graph format file (property names 197-224, the
// object id as qualifier), and emptying the objects before a format is
// read.  Until the objects exist: nothing.
void gobj_go_write_object_properties(GoGraph *graph, FILE *stream);
void gobj_go_reset_objects(GoGraph *graph);
void gobj_go_draw_title_objects(GoGraph *graph, int titles, int twodz);
void gobj_go_draw_arrows(GoGraph *graph, int twodz);
void gobj_go_draw_my_objects(GoGraph *graph, int axis);

// The annotation texts of a graph, as the display window edits them.  The
// outline is a polygon of four points (x, y pairs) around the text; the
// adjust procedure, when given, may correct a dragged position.  Until the
// objects exist no text is found (0), none is made (-1) and none changes
// (0).
using GoTextAdjust = void (*)(GoGraph *graph, int id, int *x, int *y);
int go_find_text_object(GoGraph *graph, int x, int y, int *id, const char **text, int outline[8],
                        GoTextAdjust *adjust);
int gobj_go_create_text(GoGraph *graph);
// A point of none (null) leaves the position; an empty text deletes it.
int gobj_go_set_text_object(GoGraph *graph, int id, const char *text, const int *point);

// Overlays and the colour bar of a graph: drawn by their own layers once
// those exist; until then nothing is drawn.  The legend (goleg.cpp) is
// drawn when `lgenable` is set.
struct GoAxisBlock;
void goover_go_draw_all_overlays(GoGraph *graph, int dataset, int flag);
void goover_go_calculate_overlay_spread(GoGraph *graph, int dataset, double *start, double *spread);
void goleg_go_draw_legend(GoGraph *graph, int legend_kind);

void gocolbar_go_draw_colourbar(GoGraph *graph, int dataset, GoAxisBlock *zaxis);
