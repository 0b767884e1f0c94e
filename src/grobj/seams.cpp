// The annotation object layer of a graph is not here yet: every request is
// refused, so callers report the property as unknown or not settable.

#include "seams.h"

void *gobj_go_get_obj_property(GoGraph *, int, int, int) { return nullptr; }
int gobj_go_set_obj_property(GoGraph *, int, int, const void *) { return 0; }
int gobj_go_check_obj_property(GoGraph *, int, int, const void *) { return 0; }

void gobj_go_destroy_objects(GoGraph *) {}
void gobj_go_write_object_properties(GoGraph *, FILE *) {}
void gobj_go_reset_objects(GoGraph *) {}
void gobj_go_draw_title_objects(GoGraph *, int, int) {}
void gobj_go_draw_arrows(GoGraph *, int) {}
void gobj_go_draw_my_objects(GoGraph *, int) {}

int go_find_text_object(GoGraph *, int, int, int *, const char **, int *, GoTextAdjust *) { return 0; }
int gobj_go_create_text(GoGraph *) { return -1; }
int gobj_go_set_text_object(GoGraph *, int, const char *, const int *) { return 0; }

void goover_go_draw_all_overlays(GoGraph *, int, int) {}
void gocolbar_go_draw_colourbar(GoGraph *, int, GoAxisBlock *) {}
