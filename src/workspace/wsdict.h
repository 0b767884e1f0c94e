// The data dictionary: the workspace's picture of the open database (its
// relations with their columns, privileges, indexes and keys, the shared
// items, the users) read through DISPLAY and PRINT statements, and the
// bookkeeping of the query objects on the canvas (one list per kind,
// references, the selection, variable assignments) with the table
// nomination that keeps a query to at most two tables.
#pragma once

#include "dozproto.h"
#include "qymgr.h"
#include "wsobj.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct DictKey {
    char name[13];
    int32_t number;
    char ascending;
    char native;
    DictKey *next;
};

struct DictIndex {
    char relation[9];
    int32_t number;
    int32_t unique;
    int32_t noupdate;
    char location[24];  // empty when read for a single table
    DictKey *keys;
    DictIndex *next;
};

struct DictPriv {
    char user[31];
    int32_t level;
    char restriction[82];
    DictPriv *next;
};

struct DictUser {
    char name[31];
    int32_t access;
    DictUser *next;
};

struct DictItem {
    char name[13];
    char alias[13];
    int32_t type;
    int32_t length;
    int32_t fraction;
    int64_t array_size;
    int32_t var;
    int32_t ndims;
    int32_t dims[8];
    DictItem *next;
};

struct DictColumn {
    char name[13];
    int32_t key;
    int32_t null;
    DictItem *item;
    QueryObject *object;
    DictColumn *next;
};

struct DictRelation {
    char name[9];
    int64_t maxsize;
    char location[124];
    int32_t fixed;
    int32_t structure;
    int32_t reqmem;
    int32_t size;
    QueryObject *table_object;
    QueryObject *index_object;
    QueryObject *priv_object;
    DictColumn *columns;
    DictPriv *privs;
    DictIndex *indexes;
    DictRelation *next;
};

struct ObReference {
    QueryObject *referring;
    QueryObject *referred;
    int derived;
    ObReference *next, *prev;
};

struct ObSelection {
    QueryObject *object;
    ObSelection *next, *prev;
};

struct ObAssignment {
    QueryObject *variable;
    QueryObject *assigned;
    ObAssignment *next, *prev;
};

struct WsDictionary {
    char database[9];
    char user[31];
    char result[9];
    char root[123];
    float revision;
    DictRelation *relations;
    DictItem *items;
    DictUser *users;
    QueryObject *user_object;
    QueryObject *expressions;
    QueryObject *conditions;
    QueryObject *statistics;
    QueryObject *sorts;
    QueryObject *groups;
    QueryObject *variables;
    QueryObject *joins;
    ObReference *references;
    ObSelection *selected;
    ObAssignment *assignments;
};

struct WsNomination {
    char first[9];
    char second[9];
    int32_t first_count;
    int32_t second_count;
};

extern WsDictionary *wsdict_dictionary;
extern QySysvars wsdict_sysvars;
extern WsNomination wsdict_nomination;
extern int wsdict_db_open;
extern int wsdict_db_exclusive;

// ---- reading ---------------------------------------------------------------------

// Makes the empty dictionary and hands the query manager the places for
// the user name, the interpreter's revision and the system variables.
void wsdict_ws_init_dictionary();
// Reads the open database's dictionary.  1 when every statement succeeded;
// 0 (the dictionary then left empty, the failure reported) otherwise.
int wsdict_ws_read_dictionary(const char *database);
// Appends one table (normally the result table) with its columns (items
// fetched one by one when missing), privileges, indexes and keys.  1 when
// it was added.
int wsdict_ws_read_result_into_dictionary(const char *table);
void wsdict_ws_clear_dictionary(int keep_variables);
void wsdict_ws_clear_dictionary_objects();
// The keys of one index as a new list (null when none or on failure); a
// relation name beginning "RSLT" is asked as the result table's.
DictKey *wsdict_ws_read_index_keys(const char *relation, int number);
void wsdict_free_keys(DictKey *keys);
// The key text of an index, in key-number order, into `buffer` (of `size`
// bytes; the text is cut to fit); returns the buffer.
char *wsdict_make_keystr(char *buffer, size_t size, const DictKey *keys);

// Item and relation look-up through the sparse indexes.
DictItem *wsdict_find_item(const char *name);
DictRelation *wsdict_find_relation(const char *name);
// Entries of the sparse indexes, front first (for inspection).
int wsdict_item_index(const DictItem **out, int max);
int wsdict_relation_index(const DictRelation **out, int max);

// ---- objects -------------------------------------------------------------------------

void wsdict_ws_link_object(QueryObject *object);
void wsdict_ws_unlink_object(QueryObject *object);
QueryObject **wsdict_kind_list(int kind);

void wsdict_ws_select_object(QueryObject *object);
void wsdict_ws_unselect_object(QueryObject *object);
int wsdict_ws_is_selected(const QueryObject *object);
int wsdict_ws_objects_selected();

void wsdict_ws_reference_object(QueryObject *referring, QueryObject *referred);
void wsdict_ws_unreference_object(QueryObject *object);
void wsdict_ws_assign_object(QueryObject *variable, QueryObject *target);
void wsdict_ws_unassign_object(QueryObject *object);

int wsdict_ws_variables_exist();
void wsdict_ws_set_activity_notify(void (*proc)());

// ---- table nomination ----------------------------------------------------------------

// 1 when the object's table may take part (a third table is refused).
int wsdict_ws_check_nominations(QueryObject *object);
void wsdict_ws_release_nomination(QueryObject *object);
void wsdict_ws_save_nomination();
void wsdict_ws_restore_nomination();
void wsdict_ws_notify_table_rename(const char *old_name, const char *new_name);

// ---- schema headers ----------------------------------------------------------------------

void wsdict_ws_write_schema(FILE *file);
void wsdict_ws_write_query_schema(FILE *file, char **texts, int count, const DozColDesc *columns, int query,
                                  int header);
