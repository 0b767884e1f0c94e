// The layout of the workspace: the objects of the open database, of the
// system and result tables, pushing objects down or up, fitting the canvas,
// a new query, stacking selected objects, and the user tool.
#pragma once

#include "wsobj.h"

struct DictRelation;

void wsobj_ws_create_table_objects(DictRelation *relation, ObPoint *position);
void wsobj_ws_create_database_objects();
void wsobj_ws_create_system_table_objects();
void wsobj_ws_destroy_system_table_objects();
// The result table's objects; a given name renames the relation first.
void wsobj_ws_create_result_objects(const char *new_name = nullptr);
void wsobj_ws_destroy_result_objects();
void wsobj_ws_resize_drawing_area_for_database();
void wsobj_ws_shift_down(const ObPoint *point, int distance, QueryObject *object);
void wsobj_ws_unassign_all_variables(int unselect);
void ws_set_indexed_columns();
void wsobj_ws_new_query();
void wsobj_ws_collect_objects(int x, int y);
void wsobj_ws_run_user_object(const char *command, QueryObject *object);

// The dictionary reread after a user-tool command (the menu side fills it).
void wsobj_ws_set_reread_hook(void (*reread)());
// The workspace half of opening a database: the database's objects on a
// cleared canvas that fits them.
void wsobj_ws_show_database();
