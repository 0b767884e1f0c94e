// Dictionary maintenance for the query objects: the look-ups they need,
// the two access tests, and the changes that keep the dictionary in step
// with what they create, change and drop in the database.
#pragma once

#include "wsdict.h"

// Privilege levels and database access levels.
enum ObPrivLevel : int { PRIV_NONE, PRIV_READ, PRIV_APPEND, PRIV_WRITE, PRIV_LOCK, PRIV_ADMIN, PRIV_OWNERSHIP, PRIV_DEFAULT };
enum ObDbLevel : int { DBPRIV_SELECT, DBPRIV_CREATE, DBPRIV_DBA };

// ---- look-ups --------------------------------------------------------------------------

DictRelation *obdict_ob_find_table(const char *table);
DictColumn *obdict_ob_find_column(const char *table, const char *column);
DictIndex *obdict_ob_find_index(const char *table, int number);
DictUser *obdict_ob_find_user(const char *user);
DictPriv *obdict_ob_find_priv(const char *user, const char *table);
QueryObject *obdict_ob_find_var(const char *name);
QueryObject *obdict_find_last_column_object(const DictRelation *relation);
QueryObject *obdict_find_table_object_just_above(const ObPoint *point);

// ---- access tests ------------------------------------------------------------------------

int obdict_ob_i_have_dbpriv(int level);
int obdict_ob_i_have_priv_on(int level, const char *table);
// The database's DBA access, or privilege `level` on the table.
int obdict_ob_i_may(int level, const char *table);

// ---- changes --------------------------------------------------------------------------------

DictRelation *obdict_ob_create_table(const ObTableData *data);
void obdict_ob_delete_table(DictRelation *relation);
void obdict_ob_rename_table(DictRelation *relation, const char *new_name);
int obdict_ob_create_default_privs(DictRelation *relation);

DictColumn *obdict_ob_create_column(const ObColumnData *data);
void obdict_ob_delete_column(DictColumn *column);
void obdict_delete_column_for(DictRelation *relation);
void obdict_ob_unlink_column(DictColumn *column);
void obdict_ob_relink_column();

DictItem *obdict_ob_create_item_maybe(const ObColumnData *data);
void obdict_ob_delete_item_maybe(const char *name);
int obdict_ob_is_shared_item(const DictItem *item);

DictIndex *obdict_ob_create_index(const ObIndexData *data, int number);
void obdict_ob_delete_index(DictIndex *index);
void obdict_ob_delete_index_for(DictRelation *relation);
void obdict_ob_rename_key(DictRelation *relation, const char *old_name, const char *new_name);
void obdict_ob_set_indexed_columns(DictRelation *relation);

DictUser *obdict_ob_create_user(const ObUserData *data);
void obdict_ob_delete_user(DictUser *user);
void obdict_ob_delete_all_users();

DictPriv *obdict_ob_create_priv(const ObPrivilegeData *data);
void obdict_ob_delete_priv(DictPriv *priv);
void obdict_ob_delete_priv_for(const char *user, DictRelation *relation);
