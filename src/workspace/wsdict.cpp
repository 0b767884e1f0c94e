// The data dictionary: reading it from the interpreter's system relations,
// clearing it, the sparse indexes, and the bookkeeping of the query objects
// (kind lists, selection, references, assignments, table nomination).

#include "wsdict.h"
#include "wsdict_int.h"
#include "wsmsgs.h"

#include "vxutil.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

WsDictionary *wsdict_dictionary = nullptr;
QySysvars wsdict_sysvars{};
WsNomination wsdict_nomination{};
int wsdict_db_open = 0;
int wsdict_db_exclusive = 0;

namespace {

WsNomination saved_nomination{};
void (*activity_notify)() = nullptr;

// A sparse index: the first entry of every block of 256 rows, last block
// first.
struct SparseEntry {
    void *entry;
    SparseEntry *next;
};
SparseEntry *item_idx = nullptr;
SparseEntry *rels_idx = nullptr;
constexpr int BLOCK = 256;

void say(const std::string &text)
{
    fputs(text.c_str(), stderr);
    fflush(stderr);
}

template <class T>
T *alloc_zeroed()
{
    void *p = vx_malloc(static_cast<long>(sizeof(T)), 1);
    memset(p, 0, sizeof(T));
    return static_cast<T *>(p);
}

void free_sparse(SparseEntry *&head)
{
    while (head) {
        SparseEntry *n = head->next;
        vx_free(head);
        head = n;
    }
}

void push_sparse(SparseEntry *&head, void *entry)
{
    auto *e = alloc_zeroed<SparseEntry>();
    e->entry = entry;
    e->next = head;
    head = e;
}

void forget_sparse(SparseEntry *&head, const void *entry)
{
    for (SparseEntry **p = &head; *p;) {
        if ((*p)->entry == entry) {
            SparseEntry *gone = *p;
            *p = gone->next;
            vx_free(gone);
        } else {
            p = &(*p)->next;
        }
    }
}

// ---- row fields ---------------------------------------------------------------------------

void field_text(const unsigned char *row, int at, int width, char *dst, size_t room)
{
    const char *src = reinterpret_cast<const char *>(row + at);
    size_t n = strnlen(src, static_cast<size_t>(width));
    n = std::min(n, room - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

int32_t field_i32(const unsigned char *row, int at)
{
    int32_t v;
    memcpy(&v, row + at, sizeof v);
    return v;
}

int32_t field_i16(const unsigned char *row, int at)
{
    int16_t v;
    memcpy(&v, row + at, sizeof v);
    return v;
}

int32_t field_byte(const unsigned char *row, int at) { return row[at]; }

// ---- running the statements ------------------------------------------------------------------

// Runs one dictionary statement in the Simple mode, announcing as many rows
// as the buffer holds rows of `row_size` bytes.  The rows, or null when
// the statement failed (the manager has reported it); `rows` gets their
// count.
const unsigned char *run(const char *text, int row_size, int *rows)
{
    *rows = 0;
    int bytes = qymgr_qy_buffer_size();
    if (row_size > 0 && bytes > 0)
        qymgr_qy_set_buffer_rows(std::max(1, bytes / row_size));
    void *buffer = qymgr_qy_query(text, QY_NOWAIT, QY_SIMPLE, QY_REPORT);
    const int ok = qymgr_qy_ok();
    const int n = qymgr_qy_rows();
    if (row_size > 0 && bytes > 0)
        qymgr_qy_set_buffer_rows(0);
    if (!ok || !buffer || n < 0)
        return nullptr;
    if (row_size > 0 && static_cast<long>(n) * row_size > qymgr_qy_buffer_size())
        return nullptr;
    *rows = n;
    return static_cast<const unsigned char *>(buffer);
}

// ---- the statements ----------------------------------------------------------------------------

const char REL_ALL[] =
    "DISPLAY %RNAME,%MAXSIZE,%DLOC, \t\t SYSINFO(%DLOC,%DNAME,'FIXED'), \t\t SYSINFO(%DLOC,%DNAME,'STRUCTURE'), "
    "\t\t SYSINFO(%DLOC,%DNAME,'REQMEM'), \t\t SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t SEQUENCE BY %RNAME";
const char REL_ONE[] =
    "DISPLAY %%RNAME,%%MAXSIZE,%%DLOC, \t\t SYSINFO(%%DLOC,%%DNAME,'FIXED'), \t\t "
    "SYSINFO(%%DLOC,%%DNAME,'STRUCTURE'), \t\t SYSINFO(%%DLOC,%%DNAME,'REQMEM'), \t\t "
    "SYSINFO(%%DLOC,%%DNAME,'SIZE') FROM %%RELATNS\t\tWHERE %%RNAME='%s'";
const char ITEM_ALL[] = "DISPLAY %INAME,%ALIAS,%ITYPE,%ILEN,%IFRAC,\t\t\t%IARR,%INDIMS,%IDIMS FROM %ITEMS SEQUENCE BY %INAME";
const char ITEM_ONE[] =
    "DISPLAY %%INAME,%%ALIAS,%%ITYPE,%%ILEN,%%IFRAC,%%IARR,\t\t\t %%INDIMS,%%IDIMS FROM %%ITEMS WHERE %%INAME='%s'";
const char USER_ALL[] = "DISPLAY %UNAME,%ACCESS FROM %USERS";
const char COL_ALL[] = "DISPLAY %%RNAME,%%INAME,%%KEY,%%NULL FROM %%COLS";
const char COL_ONE[] = "DISPLAY %%INAME,%%KEY,%%NULL FROM %%COLS \t\t\tWHERE %%RNAME='%s'";
const char PRIV_ALL[] = "DISPLAY %%RNAME,%%UNAME,%%PRIV, %%RESTRICTION FROM %%PRIVS";
const char PRIV_ONE[] = "DISPLAY %%UNAME,%%PRIV, %%RESTRICTION FROM %%PRIVS \t\t\tWHERE %%RNAME='%s'";
const char INDEX_ALL[] = "DISPLAY %%RNAME,%%XNO,%%XLOC,%%XUNIQUE,%%XUPDATE FROM %%INDEXES \t\t\tSEQUENCE BY %%RNAME";
const char INDEX_ONE[] = "DISPLAY %%XNO,%%XUNIQUE,%%XUPDATE FROM %%INDEXES \t\t\tWHERE %%RNAME='%s'";
const char KEY_ALL[] = "DISPLAY %%RNAME,%%XNO,%%INAME,%%KNO,%%KASC,%%KNATIVE \t\t    FROM %%KEYS SEQUENCE BY %%RNAME,%%XNO";
const char KEY_ONE[] = "DISPLAY %%INAME,%%KNO,%%KASC,%%KNATIVE FROM %%KEYS \t\t\tWHERE %%RNAME='%s' AND %%XNO=%d";
const char KEY_ONE_RESULT[] =
    "DISPLAY %%INAME,%%KNO,%%KASC,%%KNATIVE FROM %%KEYS \t\t\tWHERE %%RNAME=RESULT()+'%s' AND %%XNO=%d";

// The fixed statements have no arguments, but carry "%%" as written:
// formatting them gives the statement.
template <class... A>
std::string statement(const char *format, A... args)
{
    char text[1024];
    snprintf(text, sizeof text, format, args...);
    return text;
}

// Single quotes inside a name never reach the interpreter unquoted.
std::string quoted_name(const char *name)
{
    std::string s;
    for (const char *p = name; *p; p++) {
        s += *p;
        if (*p == '\'')
            s += '\'';
    }
    return s;
}

// ---- building entries -------------------------------------------------------------------------

DictRelation *relation_from_row(const unsigned char *row)
{
    auto *r = alloc_zeroed<DictRelation>();
    field_text(row, 0, 9, r->name, sizeof r->name);
    r->maxsize = field_i32(row, 12);
    field_text(row, 16, 20, r->location, sizeof r->location);
    r->fixed = field_i32(row, 36);
    r->structure = field_i32(row, 40);
    r->reqmem = field_i32(row, 44);
    r->size = field_i32(row, 48);
    return r;
}

DictItem *item_from_row(const unsigned char *row)
{
    auto *it = alloc_zeroed<DictItem>();
    field_text(row, 0, 13, it->name, sizeof it->name);
    field_text(row, 13, 13, it->alias, sizeof it->alias);
    it->type = field_i16(row, 26);
    it->length = field_i32(row, 28);
    it->fraction = field_i32(row, 32);
    int32_t arr = field_i32(row, 36);
    it->array_size = arr < 0 ? -static_cast<int64_t>(arr) : arr;
    it->var = arr < 0;
    it->ndims = std::clamp(field_i16(row, 40), 0, 8);
    for (int d = 0; d < it->ndims; d++)
        it->dims[d] = field_i32(row, 44 + 4 * d);
    return it;
}

// Appends at the tail pointer `tail` (a pointer to the last next link).
template <class T>
void append(T **&tail, T *entry)
{
    *tail = entry;
    tail = &entry->next;
}

// The last next link of a list, where an entry is appended.
template <class T>
T **list_tail(T *&head)
{
    T **tail = &head;
    while (*tail)
        tail = &(*tail)->next;
    return tail;
}

template <class T>
void free_list(T *&head)
{
    while (head) {
        T *n = head->next;
        vx_free(head);
        head = n;
    }
}

void free_index_list(DictIndex *&head)
{
    while (head) {
        DictIndex *n = head->next;
        wsdict_free_keys(head->keys);
        vx_free(head);
        head = n;
    }
}

void free_one_object(QueryObject *&object)
{
    if (object) {
        object->next = nullptr;
        obmain_ob_free_object(object);
        object = nullptr;
    }
}

void free_relation_objects(DictRelation *r)
{
    free_one_object(r->table_object);
    free_one_object(r->index_object);
    free_one_object(r->priv_object);
    for (DictColumn *c = r->columns; c; c = c->next)
        free_one_object(c->object);
}

void free_relation(DictRelation *r)
{
    free_relation_objects(r);
    free_list(r->columns);
    free_list(r->privs);
    free_index_list(r->indexes);
    vx_free(r);
}

void free_relations()
{
    WsDictionary *d = wsdict_dictionary;
    while (d->relations) {
        DictRelation *n = d->relations->next;
        free_relation(d->relations);
        d->relations = n;
    }
    free_sparse(rels_idx);
}

void free_items()
{
    free_list(wsdict_dictionary->items);
    free_sparse(item_idx);
}

template <class T>
void free_links(T *&head)
{
    while (head) {
        T *n = head->next;
        vx_free(head);
        head = n;
    }
}

// Every object list but the variables', the user object, the relations'
// objects, and the lists that point at objects.
void free_objects_but_variables()
{
    WsDictionary *d = wsdict_dictionary;
    for (DictRelation *r = d->relations; r; r = r->next)
        free_relation_objects(r);
    free_one_object(d->user_object);
    for (QueryObject **list : {&d->expressions, &d->conditions, &d->statistics, &d->sorts, &d->groups, &d->joins})
        *list = obmain_ob_free_object(*list);
    free_links(d->references);
    free_links(d->selected);
    free_links(d->assignments);
}

void contents_freed()
{
    wsdict_nomination.first_count = 0;
    wsdict_nomination.second_count = 0;
    if (activity_notify)
        activity_notify();
}

// ---- reading the lists ------------------------------------------------------------------------

bool read_relations()
{
    int n;
    const unsigned char *b = run(REL_ALL, 52, &n);
    if (!b)
        return false;
    DictRelation **tail = &wsdict_dictionary->relations;
    for (int i = 0; i < n; i++) {
        DictRelation *r = relation_from_row(b + static_cast<size_t>(i) * 52);
        append(tail, r);
        if (i % BLOCK == 0)
            push_sparse(rels_idx, r);
    }
    return true;
}

bool read_items()
{
    int n;
    const unsigned char *b = run(ITEM_ALL, 76, &n);
    if (!b)
        return false;
    DictItem **tail = &wsdict_dictionary->items;
    for (int i = 0; i < n; i++) {
        DictItem *it = item_from_row(b + static_cast<size_t>(i) * 76);
        append(tail, it);
        if (i % BLOCK == 0)
            push_sparse(item_idx, it);
    }
    return true;
}

bool read_users()
{
    int n;
    const unsigned char *b = run(USER_ALL, 34, &n);
    if (!b)
        return false;
    DictUser **tail = &wsdict_dictionary->users;
    for (int i = 0; i < n; i++) {
        const unsigned char *row = b + static_cast<size_t>(i) * 34;
        auto *u = alloc_zeroed<DictUser>();
        field_text(row, 0, 31, u->name, sizeof u->name);
        u->access = field_i16(row, 32);
        append(tail, u);
    }
    return true;
}

DictRelation *find_relation_linear(const char *name)
{
    for (DictRelation *r = wsdict_dictionary->relations; r; r = r->next)
        if (strcmp(r->name, name) == 0)
            return r;
    return nullptr;
}

DictColumn *column_from(const unsigned char *row, int name_at, int key_at, int null_at, bool warn_missing)
{
    auto *c = alloc_zeroed<DictColumn>();
    field_text(row, name_at, 13, c->name, sizeof c->name);
    c->key = field_byte(row, key_at);
    c->null = field_byte(row, null_at);
    c->item = wsdict_find_item(c->name);
    if (!c->item && warn_missing)
        say(vx_msgf(obmain_ob_nlsfd, WS_NO_ITEM));
    return c;
}

bool read_columns()
{
    int n;
    const unsigned char *b = run(statement(COL_ALL).c_str(), 24, &n);
    if (!b)
        return false;
    DictRelation *rel = nullptr;
    DictColumn **tail = nullptr;
    char last[10] = "";
    bool first = true;
    for (int i = 0; i < n; i++) {
        const unsigned char *row = b + static_cast<size_t>(i) * 24;
        char name[10];
        field_text(row, 0, 9, name, sizeof name);
        if (first || strcmp(name, last) != 0) {
            first = false;
            safe_strcpy(last, name, sizeof last - 1);
            rel = find_relation_linear(name);
            tail = rel ? list_tail(rel->columns) : nullptr;
        }
        if (!rel) {
            say(vx_msgf(obmain_ob_nlsfd, WS_NO_RELATION, name));
            continue;
        }
        append(tail, column_from(row, 9, 22, 23, true));
    }
    return true;
}

bool read_privileges()
{
    int n;
    const unsigned char *b = run(statement(PRIV_ALL).c_str(), 124, &n);
    if (!b)
        return false;
    for (int i = 0; i < n; i++) {
        const unsigned char *row = b + static_cast<size_t>(i) * 124;
        char name[10];
        field_text(row, 0, 9, name, sizeof name);
        DictRelation *rel = wsdict_find_relation(name);
        if (!rel)
            continue;
        auto *p = alloc_zeroed<DictPriv>();
        field_text(row, 9, 31, p->user, sizeof p->user);
        p->level = field_i16(row, 40);
        field_text(row, 42, 82, p->restriction, sizeof p->restriction);
        p->next = rel->privs;
        rel->privs = p;
    }
    return true;
}

bool read_indexes()
{
    int n;
    const unsigned char *b = run(statement(INDEX_ALL).c_str(), 36, &n);
    if (!b)
        return false;
    DictRelation *rel = nullptr;
    DictIndex **tail = nullptr;
    char last[10] = "";
    bool first = true;
    for (int i = 0; i < n; i++) {
        const unsigned char *row = b + static_cast<size_t>(i) * 36;
        char name[10];
        field_text(row, 0, 9, name, sizeof name);
        if (first || strcmp(name, last) != 0) {
            first = false;
            safe_strcpy(last, name, sizeof last - 1);
            rel = find_relation_linear(name);
            tail = rel ? list_tail(rel->indexes) : nullptr;
        }
        if (!rel)
            continue;
        auto *x = alloc_zeroed<DictIndex>();
        safe_strcpy(x->relation, rel->name, sizeof x->relation - 1);
        x->number = field_i32(row, 12);
        field_text(row, 16, 17, x->location, sizeof x->location);
        x->unique = field_byte(row, 33);
        x->noupdate = field_byte(row, 34) ? 0 : 1;
        append(tail, x);
    }
    return true;
}

DictIndex *index_of(DictRelation *rel, int number)
{
    for (DictIndex *x = rel ? rel->indexes : nullptr; x; x = x->next)
        if (x->number == number)
            return x;
    return nullptr;
}

void append_key(DictKey *&head, DictKey *key)
{
    DictKey **tail = &head;
    while (*tail)
        tail = &(*tail)->next;
    *tail = key;
}

bool read_keys()
{
    int n;
    const unsigned char *b = run(statement(KEY_ALL).c_str(), 40, &n);
    if (!b)
        return false;
    for (int i = 0; i < n; i++) {
        const unsigned char *row = b + static_cast<size_t>(i) * 40;
        char name[10];
        field_text(row, 0, 9, name, sizeof name);
        DictIndex *x = index_of(find_relation_linear(name), field_i32(row, 12));
        if (!x)
            continue;
        auto *k = alloc_zeroed<DictKey>();
        field_text(row, 16, 13, k->name, sizeof k->name);
        k->number = field_i32(row, 32);
        k->ascending = static_cast<char>(row[36]);
        k->native = static_cast<char>(row[37]);
        append_key(x->keys, k);
    }
    return true;
}

bool read_text(const char *text, char *dst, size_t room)
{
    int n;
    const unsigned char *b = run(text, 0, &n);
    if (!b)
        return false;
    size_t size = static_cast<size_t>(std::max(qymgr_qy_buffer_size(), 0));
    field_text(b, 0, static_cast<int>(std::min(size, room)), dst, room);
    return true;
}

// Fetches one item by name and appends it to the items list.
DictItem *fetch_item(const char *name)
{
    int n;
    const unsigned char *b = run(statement(ITEM_ONE, quoted_name(name).c_str()).c_str(), 76, &n);
    if (!b || n < 1)
        return nullptr;
    DictItem *it = item_from_row(b);
    DictItem **tail = &wsdict_dictionary->items;
    while (*tail)
        tail = &(*tail)->next;
    *tail = it;
    return it;
}

}  // namespace

// ---- module-internal --------------------------------------------------------------------------

void wsdict_forget_item(const DictItem *item) { forget_sparse(item_idx, item); }
void wsdict_forget_relation(const DictRelation *relation) { forget_sparse(rels_idx, relation); }
void wsdict_call_activity_notify()
{
    if (activity_notify)
        activity_notify();
}

// ---- reading --------------------------------------------------------------------------------

void wsdict_ws_init_dictionary()
{
    if (!wsdict_dictionary)
        wsdict_dictionary = alloc_zeroed<WsDictionary>();
    wsdict_ws_clear_dictionary(0);
    wsdict_dictionary->user[0] = '\0';
    wsdict_dictionary->revision = 0;

    wsdict_sysvars = QySysvars{};
    wsdict_sysvars.lockwait = -1;
    safe_strcpy(wsdict_sysvars.dpriv, "READ", sizeof wsdict_sysvars.dpriv - 1);
    wsdict_sysvars.reserved = 1;
    const char *tz = getenv("TZ");
    safe_strcpy(wsdict_sysvars.timezone, tz && *tz ? tz : "GMT0BST", sizeof wsdict_sysvars.timezone - 1);

    static QyDictionaryHooks hooks;
    hooks.user_name = wsdict_dictionary->user;
    hooks.user_size = sizeof wsdict_dictionary->user;
    hooks.server_revision = &wsdict_dictionary->revision;
    hooks.sysvars = &wsdict_sysvars;
    qymgr_qy_set_dictionary(&hooks);
}

int wsdict_ws_read_dictionary(const char *database)
{
    if (!wsdict_dictionary)
        wsdict_ws_init_dictionary();
    WsDictionary *d = wsdict_dictionary;
    free_objects_but_variables();
    free_relations();
    free_items();
    free_list(d->users);
    contents_freed();
    safe_strcpy(d->database, database ? database : "", sizeof d->database - 1);

    bool ok = read_relations() && read_items() && read_users() && read_columns() && read_privileges() &&
              read_indexes() && read_keys() && read_text("PRINT RESULT()", d->result, sizeof d->result) &&
              read_text("PRINT LOCATE('%ROOT')", d->root, sizeof d->root);
    if (!ok) {
        // Never a dictionary cut short: all of it or nothing.
        free_relations();
        free_items();
        free_list(d->users);
        d->result[0] = d->root[0] = '\0';
        contents_freed();
        return 0;
    }
    return 1;
}

int wsdict_ws_read_result_into_dictionary(const char *table)
{
    if (!wsdict_dictionary || !table)
        return 0;
    if (find_relation_linear(table)) {
        say(vx_msgf(obmain_ob_nlsfd, WS_RESULT_IN_DICTIONARY));
        return 0;
    }
    const std::string name = quoted_name(table);
    int n;
    const unsigned char *b = run(statement(REL_ONE, name.c_str()).c_str(), 52, &n);
    if (!b || n < 1)
        return 0;
    DictRelation *rel = relation_from_row(b);

    // Columns, privileges, indexes and keys are gathered on the new entry
    // before it is linked: a failed statement adds nothing.
    bool ok = true;
    b = run(statement(COL_ONE, name.c_str()).c_str(), 15, &n);
    if (!b)
        ok = false;
    DictColumn **ctail = &rel->columns;
    for (int i = 0; ok && i < n; i++)
        append(ctail, column_from(b + static_cast<size_t>(i) * 15, 0, 13, 14, false));
    for (DictColumn *c = rel->columns; ok && c; c = c->next) {
        if (c->item)
            continue;
        c->item = wsdict_find_item(c->name);
        if (!c->item)
            c->item = fetch_item(c->name);
        if (!c->item)
            say(vx_msgf(obmain_ob_nlsfd, WS_NO_ITEM));
    }
    if (ok && (b = run(statement(PRIV_ONE, name.c_str()).c_str(), 116, &n))) {
        DictPriv **ptail = &rel->privs;
        for (int i = 0; i < n; i++) {
            const unsigned char *row = b + static_cast<size_t>(i) * 116;
            auto *p = alloc_zeroed<DictPriv>();
            field_text(row, 0, 32, p->user, sizeof p->user);
            p->level = field_i16(row, 32);
            field_text(row, 34, 82, p->restriction, sizeof p->restriction);
            append(ptail, p);
        }
    } else {
        ok = false;
    }
    if (ok && (b = run(statement(INDEX_ONE, name.c_str()).c_str(), 8, &n))) {
        DictIndex **xtail = &rel->indexes;
        for (int i = 0; i < n; i++) {
            const unsigned char *row = b + static_cast<size_t>(i) * 8;
            auto *x = alloc_zeroed<DictIndex>();
            safe_strcpy(x->relation, rel->name, sizeof x->relation - 1);
            x->number = field_i32(row, 0);
            x->unique = field_byte(row, 4);
            x->noupdate = field_byte(row, 5) ? 0 : 1;
            append(xtail, x);
        }
    } else {
        ok = false;
    }
    for (DictIndex *x = rel->indexes; ok && x; x = x->next) {
        x->keys = wsdict_ws_read_index_keys(rel->name, x->number);
        ok = qymgr_qy_ok();
    }
    if (!ok) {
        free_relation(rel);
        return 0;
    }
    DictRelation **tail = &wsdict_dictionary->relations;
    while (*tail)
        tail = &(*tail)->next;
    *tail = rel;
    return 1;
}

void wsdict_ws_clear_dictionary(int keep_variables)
{
    if (!wsdict_dictionary)
        return;
    WsDictionary *d = wsdict_dictionary;
    free_objects_but_variables();
    if (!keep_variables)
        d->variables = obmain_ob_free_object(d->variables);
    free_relations();
    free_items();
    free_list(d->users);
    d->database[0] = d->result[0] = d->root[0] = '\0';
    wsdict_db_open = 0;
    wsdict_db_exclusive = 0;
    contents_freed();
}

void wsdict_ws_clear_dictionary_objects()
{
    if (!wsdict_dictionary)
        return;
    free_objects_but_variables();
    contents_freed();
}

DictKey *wsdict_ws_read_index_keys(const char *relation, int number)
{
    std::string text;
    if (relation && strncmp(relation, "RSLT", 4) == 0)
        text = statement(KEY_ONE_RESULT, quoted_name(relation + 4).c_str(), number);
    else
        text = statement(KEY_ONE, quoted_name(relation ? relation : "").c_str(), number);
    int n;
    const unsigned char *b = run(text.c_str(), 24, &n);
    DictKey *head = nullptr;
    DictKey **tail = &head;
    for (int i = 0; b && i < n; i++) {
        const unsigned char *row = b + static_cast<size_t>(i) * 24;
        auto *k = alloc_zeroed<DictKey>();
        field_text(row, 0, 13, k->name, sizeof k->name);
        k->number = field_i32(row, 16);
        k->ascending = static_cast<char>(row[20]);
        k->native = static_cast<char>(row[21]);
        append(tail, k);
    }
    return head;
}

void wsdict_free_keys(DictKey *keys)
{
    while (keys) {
        DictKey *n = keys->next;
        vx_free(keys);
        keys = n;
    }
}

char *wsdict_make_keystr(char *buffer, size_t size, const DictKey *keys)
{
    if (!buffer || size == 0)
        return buffer;
    std::string text;
    // Key numbers 1, 2, 3, ... in turn; a number that no key has ends it.
    for (int number = 1;; number++) {
        const DictKey *k = keys;
        while (k && k->number != number)
            k = k->next;
        if (!k)
            break;
        if (number > 1)
            text += ", ";
        text += k->name;
        if (!k->ascending)
            text += " DESC";
        if (k->native)
            text += " NATIVE";
    }
    safe_strcpy(buffer, text.c_str(), size - 1);
    return buffer;
}

// ---- look-up through the sparse indexes --------------------------------------------------------

namespace {

template <class T>
T *sparse_find(SparseEntry *index, T *list, const char *name)
{
    if (!name)
        return nullptr;
    SparseEntry *e = index;
    while (e && strcmp(static_cast<T *>(e->entry)->name, name) > 0)
        e = e->next;
    if (e)
        for (T *t = static_cast<T *>(e->entry); t; t = t->next) {
            int c = strcmp(t->name, name);
            if (c == 0)
                return t;
            if (c > 0)
                break;
        }
    // Entries added after the read stand at the end of the list.
    for (T *t = index ? static_cast<T *>(index->entry) : list; t; t = t->next)
        if (strcmp(t->name, name) == 0)
            return t;
    // A renamed entry may stand anywhere.
    for (T *t = list; t; t = t->next)
        if (strcmp(t->name, name) == 0)
            return t;
    return nullptr;
}

template <class T>
int sparse_list(SparseEntry *index, const T **out, int max)
{
    int n = 0;
    for (SparseEntry *e = index; e; e = e->next, n++)
        if (n < max)
            out[n] = static_cast<const T *>(e->entry);
    return n;
}

}  // namespace

DictItem *wsdict_find_item(const char *name)
{
    return wsdict_dictionary ? sparse_find(item_idx, wsdict_dictionary->items, name) : nullptr;
}

DictRelation *wsdict_find_relation(const char *name)
{
    return wsdict_dictionary ? sparse_find(rels_idx, wsdict_dictionary->relations, name) : nullptr;
}

int wsdict_item_index(const DictItem **out, int max) { return sparse_list(item_idx, out, max); }
int wsdict_relation_index(const DictRelation **out, int max) { return sparse_list(rels_idx, out, max); }

// ---- object lists -------------------------------------------------------------------------------

QueryObject **wsdict_kind_list(int kind)
{
    WsDictionary *d = wsdict_dictionary;
    if (!d)
        return nullptr;
    switch (kind) {
    case OB_EXPRESSION: return &d->expressions;
    case OB_CONDITION: return &d->conditions;
    case OB_STATISTIC: return &d->statistics;
    case OB_VARIABLE: return &d->variables;
    case OB_SORT: return &d->sorts;
    case OB_GROUP: return &d->groups;
    case OB_JOIN: return &d->joins;
    default: return nullptr;
    }
}

void wsdict_ws_link_object(QueryObject *object)
{
    QueryObject **list = object ? wsdict_kind_list(object->kind) : nullptr;
    if (!list)
        return;
    const bool first_variable = object->kind == OB_VARIABLE && !*list;
    object->next = *list;
    *list = object;
    if (first_variable)
        wsdict_call_activity_notify();
}

void wsdict_ws_unlink_object(QueryObject *object)
{
    if (!object)
        return;
    if (QueryObject **list = wsdict_kind_list(object->kind)) {
        for (QueryObject **p = list; *p; p = &(*p)->next)
            if (*p == object) {
                *p = object->next;
                object->next = nullptr;
                if (object->kind == OB_VARIABLE && !*list)
                    wsdict_call_activity_notify();
                break;
            }
    }
    if (wsdict_ws_is_selected(object))
        wsdict_ws_unselect_object(object);
    wsdict_ws_unreference_object(object);
    wsdict_ws_unassign_object(object);
}

namespace {

template <class T>
void push_front(T *&head, T *entry)
{
    entry->prev = nullptr;
    entry->next = head;
    if (head)
        head->prev = entry;
    head = entry;
}

template <class T>
void remove_entry(T *&head, T *entry)
{
    if (entry->prev)
        entry->prev->next = entry->next;
    else
        head = entry->next;
    if (entry->next)
        entry->next->prev = entry->prev;
    vx_free(entry);
}

}  // namespace

void wsdict_ws_select_object(QueryObject *object)
{
    if (!wsdict_dictionary || !object)
        return;
    const bool was_empty = !wsdict_dictionary->selected;
    auto *s = alloc_zeroed<ObSelection>();
    s->object = object;
    push_front(wsdict_dictionary->selected, s);
    if (was_empty)
        wsdict_call_activity_notify();
}

void wsdict_ws_unselect_object(QueryObject *object)
{
    if (!wsdict_dictionary || !object)
        return;
    for (ObSelection *s = wsdict_dictionary->selected; s; s = s->next)
        if (s->object == object) {
            remove_entry(wsdict_dictionary->selected, s);
            wsdict_ws_release_nomination(object);
            if (!wsdict_dictionary->selected)
                wsdict_call_activity_notify();
            return;
        }
}

int wsdict_ws_is_selected(const QueryObject *object)
{
    for (ObSelection *s = wsdict_dictionary ? wsdict_dictionary->selected : nullptr; s; s = s->next)
        if (s->object == object)
            return 1;
    return 0;
}

int wsdict_ws_objects_selected() { return wsdict_dictionary && wsdict_dictionary->selected ? 1 : 0; }

void wsdict_ws_reference_object(QueryObject *referring, QueryObject *referred)
{
    if (!wsdict_dictionary || !referring || !referred)
        return;
    switch (referring->kind) {
    case OB_COLUMN:
    case OB_TABLE:
    case OB_INDEX:
    case OB_USER:
    case OB_PRIVILEGE: return;
    default: break;
    }
    // The references the referred object holds, gathered first: the new
    // entries go on the same list.
    int derived = 0;
    for (ObReference *r = wsdict_dictionary->references; r; r = r->next)
        if (r->referring == referred)
            derived++;
    if (derived) {
        QueryObject **targets =
            static_cast<QueryObject **>(vx_malloc(static_cast<long>(sizeof(QueryObject *)) * derived, 1));
        int n = 0;
        for (ObReference *r = wsdict_dictionary->references; r; r = r->next)
            if (r->referring == referred)
                targets[n++] = r->referred;
        for (int i = n - 1; i >= 0; i--) {
            auto *e = alloc_zeroed<ObReference>();
            e->referring = referring;
            e->referred = targets[i];
            e->derived = 1;
            push_front(wsdict_dictionary->references, e);
        }
        vx_free(targets);
        return;
    }
    auto *e = alloc_zeroed<ObReference>();
    e->referring = referring;
    e->referred = referred;
    push_front(wsdict_dictionary->references, e);
}

void wsdict_ws_unreference_object(QueryObject *object)
{
    if (!wsdict_dictionary || !object)
        return;
    for (ObReference *r = wsdict_dictionary->references; r;) {
        ObReference *n = r->next;
        if (r->referring == object || r->referred == object) {
            QueryObject *a = r->referring, *b = r->referred;
            const int derived = r->derived;
            remove_entry(wsdict_dictionary->references, r);
            if (!derived) {
                wsdict_ws_release_nomination(a);
                wsdict_ws_release_nomination(b);
            }
        }
        r = n;
    }
}

// A variable prompted for at run time has an assignment with no target.
void wsdict_ws_assign_object(QueryObject *variable, QueryObject *target)
{
    if (!wsdict_dictionary || !variable)
        return;
    auto *a = alloc_zeroed<ObAssignment>();
    a->variable = variable;
    a->assigned = target;
    push_front(wsdict_dictionary->assignments, a);
}

void wsdict_ws_unassign_object(QueryObject *object)
{
    if (!wsdict_dictionary || !object)
        return;
    for (ObAssignment *a = wsdict_dictionary->assignments; a;) {
        ObAssignment *n = a->next;
        if (a->variable == object || a->assigned == object) {
            QueryObject *variable = a->variable, *target = a->assigned;
            remove_entry(wsdict_dictionary->assignments, a);
            for (ObReference *r = wsdict_dictionary->references; r;) {
                ObReference *rn = r->next;
                if (r->referring == target && r->referred == variable)
                    remove_entry(wsdict_dictionary->references, r);
                r = rn;
            }
            wsdict_ws_release_nomination(target);
            wsdict_ws_release_nomination(variable);
        }
        a = n;
    }
}

int wsdict_ws_variables_exist() { return wsdict_dictionary && wsdict_dictionary->variables ? 1 : 0; }

void wsdict_ws_set_activity_notify(void (*proc)()) { activity_notify = proc; }

// ---- table nomination -------------------------------------------------------------------------------

namespace {

// The table an object nominates ("RSLT" for the result table), or null
// when the object takes no part.
const char *nominated_table(const QueryObject *object, char *buffer, size_t room)
{
    if (!object || !object->kind_data)
        return nullptr;
    const char *name;
    if (object->kind == OB_COLUMN)
        name = static_cast<const ObColumnData *>(object->kind_data)->table;
    else if (object->kind == OB_TABLE)
        name = static_cast<const ObTableData *>(object->kind_data)->name;
    else
        return nullptr;
    if (wsdict_dictionary && wsdict_dictionary->result[0] && strcmp(name, wsdict_dictionary->result) == 0)
        name = "RSLT";
    safe_strcpy(buffer, name, room - 1);
    return buffer;
}

}  // namespace

int wsdict_ws_check_nominations(QueryObject *object)
{
    char buffer[32];
    const char *name = nominated_table(object, buffer, sizeof buffer);
    if (!name)
        return 1;
    WsNomination &n = wsdict_nomination;
    if (n.first_count && strcmp(n.first, name) == 0) {
        n.first_count++;
        return 1;
    }
    if (n.second_count && strcmp(n.second, name) == 0) {
        n.second_count++;
        return 1;
    }
    if (n.first_count && n.second_count)
        return 0;
    if (!n.first_count) {
        safe_strcpy(n.first, name, sizeof n.first - 1);
        n.first_count = 1;
    } else {
        safe_strcpy(n.second, name, sizeof n.second - 1);
        n.second_count = 1;
    }
    return 1;
}

void wsdict_ws_release_nomination(QueryObject *object)
{
    char buffer[32];
    const char *name = nominated_table(object, buffer, sizeof buffer);
    if (!name)
        return;
    WsNomination &n = wsdict_nomination;
    if (n.first_count && strcmp(n.first, name) == 0) {
        if (--n.first_count == 0) {
            memcpy(n.first, n.second, sizeof n.first);
            n.first_count = n.second_count;
            n.second_count = 0;
        }
    } else if (n.second_count && strcmp(n.second, name) == 0) {
        n.second_count--;
    } else {
        say(vx_msgf(obmain_ob_nlsfd, WS_NOT_NOMINATED));
    }
}

void wsdict_ws_save_nomination() { saved_nomination = wsdict_nomination; }
void wsdict_ws_restore_nomination() { wsdict_nomination = saved_nomination; }

void wsdict_ws_notify_table_rename(const char *old_name, const char *new_name)
{
    if (!old_name || !new_name)
        return;
    WsNomination &n = wsdict_nomination;
    if (n.first_count && strcmp(n.first, old_name) == 0)
        safe_strcpy(n.first, new_name, sizeof n.first - 1);
    if (n.second_count && strcmp(n.second, old_name) == 0)
        safe_strcpy(n.second, new_name, sizeof n.second - 1);
}
