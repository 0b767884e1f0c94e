// How the database's things look on the workspace: a table box is a name
// row (the table object) with one column row (column object) per column
// under it, laid out left to right; the information line beside the name;
// the index, privilege and user objects that are not drawn but lie under
// their table box (or, for the user object, under the whole canvas).
//
// The kinds' initialisers install these methods with one call each
// (`obview_install_*`); the methods that change the database are assigned
// after that call by the kinds themselves.
#pragma once

#include "wsobj.h"

// ---- table boxes ---------------------------------------------------------------------------

// The top centre of a table's name row: where lines drawn to the table end.
void obview_table_name_row_top(const QueryObject *table, int *x, int *y);

// Builds the box of a table: the table object placed under the table
// object just above the point (x, y; (-1, -1): under the lowest table),
// the relation of that name (made from the kind data when the dictionary
// has none: *is_new is then 1), one column row for each record of the kind
// data's column chain (through the column class's create; the chain stays
// the caller's), the row count, and the index and privilege objects.  Null
// for an empty name, or without columns (error box (62, 16)).
QueryObject *obview_table_build(const ObTableData *data, int x, int y, int *is_new);

// The table box after a column row was added, removed or resized, with
// `last` the table's last column row: the box reaches to its right edge.
void obview_table_adjust_box(QueryObject *table, const QueryObject *last);

// The table object's row count read again from the database.
void obtab_reset_table_object_rows(DictRelation *relation);
void obtab_reset_table_object_rows(const char *table);

// The table methods.  Create builds the box of a table that the database
// has; a table that is not there yet is the table class's own business,
// and this create makes nothing of it.
void obview_table_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop);
void obview_table_destroy(QueryObject *table);
void obview_table_move(QueryObject *table, ObPoint *point);
void obview_table_select(QueryObject *table, int on);
void obview_table_newval(void **value, QueryObject *object);
void obview_table_draw(QueryObject *table, int selected);

// ---- column rows ------------------------------------------------------------------------------

// The width of a column row's cell: the column's length (clamped to 8 to
// 20) times the widest character of the label font, or the name's width
// when that is wider.
int obview_column_cell_width(const char *name, int length);

// Lays out one column row at the end of the table's box, finds or makes
// its dictionary column and links the two.  `table` is the table object.
QueryObject *obview_column_layout(QueryObject *table, const ObColumnData *data);

// Moves the column rows after `column` of its table `distance` pixels to
// the left.
void obview_column_shift_left(const QueryObject *column, int distance);

// The column methods.  Create lays out the rows of a table box being built;
// adding columns to a table that is shown is the column class's own
// business, and this create makes nothing of it.
void obview_column_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop);
void obview_column_destroy(QueryObject *column);
void obview_column_move(QueryObject *column, ObPoint *point);
void obview_column_newval(void **value, QueryObject *object);
void obview_column_draw(QueryObject *column, int selected);

// ---- index, privilege and user objects ----------------------------------------------------------

void obview_index_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop);
void obview_index_destroy(QueryObject *index);
void obview_index_newval(void **value, QueryObject *object);
void obview_priv_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop);
void obview_priv_destroy(QueryObject *priv);
void obview_priv_newval(void **value, QueryObject *object);
void obview_user_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop);
void obview_user_destroy(QueryObject *user);
void obview_user_newval(void **value, QueryObject *object);

// ---- installing ------------------------------------------------------------------------------------

void obview_install_table();
void obview_install_column();
void obview_install_index();
void obview_install_privilege();
void obview_install_user();
