// The table list: which of the database's tables a user shows on the
// workspace, and in which order, kept in a file per database and user
// ("<menu base>/etc/tables/<database>.<user>", one "NAME 1|0" line a table,
// shown tables first).
#pragma once

#include "wsdict.h"

struct TableListEntry {
    char name[12];
    int shown;
};

void wsobj_ws_set_table_list_file(const char *path);
const char *wsobj_ws_table_list_file();

// Reads the file into the list (creating it from the dictionary when it
// does not exist); with `check` also reconciles it with the dictionary and
// rewrites the file when that changed it.  Ends by making the result
// table's object.
void wsobj_ws_read_table_list(int check);
void wsobj_ws_create_table_list();
void wsobj_ws_write_table_list();
void wsobj_ws_add_table_to_list(const char *name, const char *after);
void wsobj_ws_delete_table_from_list(const char *name);
void wsobj_ws_rename_table_on_list(const char *old_name, const char *new_name);

// The entry at `index` when it is shown and its table is in the
// dictionary (`relation` then names it); else null, `relation` null.
TableListEntry *wsobj_ws_get_table_name(int index, DictRelation **relation);
int ws_get_num_displayed_tables();
// The entries, in list order (for the set-tables dialog and inspection).
const TableListEntry *wsobj_ws_table_list(int *count);

// The result table's objects are made once the list is read (the object
// manager's part).
#include "wsobjmgr.h"
