// The records every part of the query workspace shares: the query object
// that stands for one thing on the canvas (or one database thing edited
// through a dialog), and the kind data of the 14 kinds.  The object
// framework adds the class table and the methods.
#pragma once

#include "xfer.h"

#include <nl_types.h>

#include <cstddef>
#include <cstdint>

struct DictRelation;
struct DictItem;
struct DictColumn;
struct DictIndex;
struct DictUser;
struct DictPriv;

// The kinds, by number.
enum ObKind : int {
    OB_EXPRESSION = 0,
    OB_CONDITION = 1,
    OB_STATISTIC = 2,
    OB_COLUMN = 3,
    OB_VARIABLE = 4,
    OB_SORT = 5,
    OB_GROUP = 6,
    OB_JOIN = 7,
    OB_TABLE = 8,
    OB_INDEX = 9,
    OB_USER = 10,
    OB_PRIVILEGE = 11,
    OB_TRANSFER = 12,
    OB_ROWEDIT = 13,
    OB_KINDS = 14,
};

struct ObBox {
    int x, y, width, height;
};

// One query object.
struct QueryObject {
    int kind;
    void *kind_data;     // the object's own copy, kind_data_size bytes
    int kind_data_size;
    int selected;
    int anchor_x, anchor_y;
    ObBox outer;
    ObBox select;
    ObBox drop;
    ObBox layout;
    int flags;
    QueryObject *next;   // next object of the same kind in the dictionary
    QueryObject *draw_link;
};

// Object flags.
inline constexpr int OB_FLAG_WARNED = 0x1;
inline constexpr int OB_FLAG_COLUMN_WARNED = 0x2;
inline constexpr int OB_FLAG_FIRST_COLUMN = 0x100;

// ---- kind data -----------------------------------------------------------------

struct ObExpressionData {
    int kind;  // 0
    char text[256];
    char name[13];  // the result name (AS), or the variable it is assigned to
};

struct ObConditionData {
    int kind;  // 1
    char text[256];
};

struct ObStatisticData {
    int kind;  // 2
    char text[256];
    int function;  // 1 AVERAGE ... 6 TOTAL, 7 a collected array
    char statistic[256];  // the array function's template, function 7
    char name[13];
};

struct ObColumnData {
    int kind;  // 3
    char name[22];
    char table[22];
    char alias[16];
    int type;
    int length;
    int fraction;  // -1 none
    int64_t array_size;  // 0 single
    int var;
    int ndims;
    int dims[8];
    int key;
    int null;
    DictColumn *columns;  // the table's column list, kept current by the dictionary
    DictItem *items;
    DictColumn *pending;  // the columns collected for addition, listed by the dialog
    int indexed;  // -1: the name failed a check
    void *spare_pointer;
    int spare_int;
    ObColumnData *chain;
};

struct ObVariableData {
    int kind;  // 4
    char name[16];
    int prompt;  // the prompt flag
    char prompt_text[81];
    char value[83];
};

struct ObSortData {
    int kind;  // 5
    char text[256];
};

struct ObGroupData {
    int kind;  // 6
    char text[256];
    int sequence;
};

struct ObJoinData {
    int kind;  // 7
    char text[256];
    QueryObject *first;   // the table objects of the two joined tables, or none
    QueryObject *second;
};

struct ObTableData {
    int kind;  // 8
    char name[9];
    char location[124];
    int size;
    int extendable;
    int structure;
    int memory;
    DictRelation *relations;
    DictItem *items;
    ObColumnData *new_columns;
    int rows;
    int columns;
    int delete_op;
    char condition[256];
};

struct ObIndexData {
    int kind;  // 9
    char *keys;  // owned by the kind data
    char table[9];
    int unique;
    int noupdate;
    int number;  // 0 none
    char location[24];
    DictIndex *indexes;
};

struct ObUserData {
    int kind;  // 10
    char name[32];
    int level;  // 0 SELECT, 1 CREATE, 2 DBA
    char password[16];
    DictUser *users;
    char current[32];
    int64_t spare;
};

struct ObPrivilegeData {
    int kind;  // 11
    char user[31];
    char table[9];
    int level;  // 0 NONE ... 6 OWNERSHIP, 7 DEFAULT
    char restriction[88];
    DictPriv *privs;
    DictUser *users;
    char current[32];
    int spare;
};

// The transfer request (ObTransferData) is the transfer codec's.

// The row edit request (kind 13), the row editor's (obrow.h) request
// record: the form sets `request` and calls the editor, and reads and
// changes the held row through the value pointers.
inline constexpr int OB_ROW_COLUMNS = 300;
struct ObRowEditData {
    int kind;  // 13
    char table[12];
    DictColumn *columns;  // the table's column list in the dictionary
    int request;          // ObRowRequest
    int append_ok;        // the user may insert rows
    int update_ok;        // the user may update and delete rows
    int status;           // ObRowStatus
    int search_mode;      // set by the find requests
    char condition[260];  // the WHERE text of a find; empty: every row
    void *values[OB_ROW_COLUMNS];            // per column, the first element of its value
    int lengths[OB_ROW_COLUMNS];             // per column, its element count
    int nulls[OB_ROW_COLUMNS];               // per column, 1 for a null value
    unsigned char *presence[OB_ROW_COLUMNS];  // per column, its presence byte
};

// The text of a kind's kind data (expression, condition, statistic, sort,
// group, join: the field after the kind; a variable: its name), or null.
const char *obmain_ob_kind_text(const QueryObject *object);

// Frees a chain of objects by their next links with the standard destroy
// (the kind data copy and the record); returns null.
QueryObject *obmain_ob_free_object(QueryObject *first);

// The message catalogue of the object layer (set by its initialiser).
extern nl_catd obmain_ob_nlsfd;

struct ObPoint {
    int x, y;
};
