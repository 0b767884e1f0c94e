// What the column, index and privilege kinds need of the table boxes.
#pragma once

#include "wsobj.h"

struct DictRelation;

// The table name an object of kind 3, 8, 9 or 11 belongs to ("" for
// others and for none).
const char *obtab_table_name_of(const QueryObject *object);
// The relation of the table an object belongs to, or none.
DictRelation *obtab_relation_of(const QueryObject *object);
// The change mask of an alter: 1 name, 2 maximum size smaller, 4 larger,
// 8 location, 16 structure, 32 memory, 64 extendable.
struct ObTableData;
int obtab_change_mask(const ObTableData *data, const DictRelation *relation);
// 1 when the name is one of a system table ("%...").
int obtab_is_system(const char *name);

// How many columns wait for the column dialog's dismissal.
int obcol_pending_count();

