// Database commands: the statements behind the administration done through
// query objects (indexes, privileges, users, variables, macros, clearing,
// dropping, renaming and creating tables and items), exclusive use of a
// table, and the rebuild of a table whose structure changed, copied through
// the temporary table "%FIQL".  Results are 1 for success, 0 for failure.
#pragma once

#include "wsdict.h"

extern const char *const priv_keyword[8];
extern const char *const dbpriv_keyword[3];
extern const char *const doz_types[12];
extern const char *const doz_mm[3];
extern const char *const doz_fs[4];
extern const char *const constants[12];
extern const char *const converters[12][12];
extern const int reversibility[12][12];

// ---- single operations --------------------------------------------------------------

int obdb_obq_define_macro(const char *name, const char *text, int messages);
int obdb_obq_undefine_macro(const char *name, int messages);
int obdb_obq_drop_index(int number, const char *table);
// `number` (when given) receives the new index's number.
int obdb_obq_create_index(const char *table, int unique, int noupdate, const char *keys, const char *location,
                          int *number);
int obdb_obq_drop_privilege(const char *user, const char *table);
int obdb_obq_create_privilege(int level, const char *user, const char *table, const char *restriction);
int obdb_obq_drop_user(const char *user);
int obdb_obq_create_user(const char *user, const char *password, int access);
int obdb_obq_grant_user(int access, const char *user);
int obdb_obq_drop_var(const char *name);
int obdb_obq_create_var(const ObVariableData *variable, int record);
int obdb_obq_clear_table(const char *table);
int obdb_obq_drop_table(const char *table);
int obdb_obq_delete_rows_from_table(const char *table, const char *condition);
int obdb_obq_rename_table(const char *old_name, const char *new_name);
int obdb_obq_rename_column(const char *old_name, const char *new_name, const char *table);
int obdb_obq_rename_alias(const char *item, const char *alias);
int obdb_obq_exclusive_access(const char *table);
int obdb_obq_no_access(const char *table);
int obdb_obq_configure_table(const char *table, int maxsize, int fixed, int memory);
int obdb_obq_create_item(const DictItem *item, const char *name, int messages);

// ---- tables from the dictionary -----------------------------------------------------------

int obdb_obq_create_table_from_dictionary(DictRelation *relation);
// The relation holds the new definition; `added` names its new columns.
int obdb_obq_add_columns_from_dictionary(DictRelation *relation, const char *const *added, int count);
// The relation no longer holds the column; `has_data` says whether the
// table holds rows.
int obdb_obq_drop_column_from_dictionary(DictRelation *relation, int has_data);
// The relation holds the changed column under `new_name` with its new
// item; `old` is the column as it was (its name and item).
int obdb_obq_change_column_from_dictionary(DictRelation *relation, const DictColumn *old, const char *new_name);
// Change-mask bits: 1 name, 4, 32, 64 configuration (in place); 2, 8, 16
// need a rebuild.
int obdb_obq_change_table_from_dictionary(DictRelation *relation, const char *old_name, int mask);

// ---- hooks ---------------------------------------------------------------------------------

// The procedure recorder's registration of a statement list.
void obdb_set_record_hook(void (*proc)(char **texts, int count));
// Removes a dropped user's table-list file.
void obdb_set_remove_table_list_hook(void (*proc)(const char *user));
// Asks the user (catalogue set 63, message `number`, with `name` for its
// "%s"); 1 yes.  Without one, the question is the object layer's box.
void obdb_set_confirm_hook(int (*proc)(int number, const char *name));
// Shows an object error (set 62, message `number`, `name` for its "%s").
// Without one, it is the object layer's error box.
void obdb_set_error_hook(void (*proc)(int number, const char *name));
