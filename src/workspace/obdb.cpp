// Database commands and table rebuilds.

#include "obdb.h"
#include "obbox.h"
#include "obdict.h"
#include "wsmsgs.h"

#include "qychk.h"
#include "qymgr.h"
#include "vxutil.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

const char *const priv_keyword[8] = {"NONE", "READ", "APPEND", "WRITE", "LOCK", "ADMIN", "OWNERSHIP", "DEFAULT"};
const char *const dbpriv_keyword[3] = {"SELECT", "CREATE", "DBA"};
const char *const doz_types[12] = {"STRING", "LONG", "SHORT",     "REAL", "DATE", "TIME",
                                   "COMPLEX", "BOOL", "CHAR", "SHORTREAL", "BYTE", "BLOB"};
const char *const doz_mm[3] = {"NOCACHED", "CACHED", "MEMORY"};
const char *const doz_fs[4] = {"SLOTTED", "CHAINED", "SIMPLE", "VARCHAINED"};
const char *const constants[12] = {"''",    "0", "0", "0.0", "SYSDATE()", "[0:0:0]", "COMP(0.0,0.0)",
                                   "FALSE", "?", "0.0", "0",  "NULL"};

const char *const converters[12][12] = {
    {"%s", "ROUND(VAL(%s))", "ROUND(VAL(%s))", "VAL(%s)", "STRTODATE(%s)", "STRTOTIME(%s)", "COMP(VAL(%s),0.0)",
     "UPC(%s)='TRUE'", "STR(%s,1,1)", "VAL(%s)", "ABS(ROUND(VAL(%s)))", ""},
    {"STRTRIM(NUM(%s))", "%s", "%s", "FLOAT(%s)", "UNIXDATE(%s)", "UNIXTIME(%s)", "COMP(FLOAT(%s),0.0)", "%s>0",
     "STR(STRTRIM(NUM(%s)),1,1)", "FLOAT(%s)", "ABS(%s)", ""},
    {"STRTRIM(NUM(%s))", "%s", "%s", "FLOAT(%s)", "UNIXDATE(TOLONG(%s))", "UNIXTIME(TOLONG(%s))",
     "COMP(FLOAT(%s),0.0)", "%s>0", "STR(STRTRIM(NUM(%s)),1,1)", "FLOAT(%s)", "ABS(%s)", ""},
    {"STRTRIM(NUM(%s))", "ROUND(%s)", "ROUND(%s)", "%s", "UNIXDATE(ROUND(%s))", "UNIXTIME(ROUND(%s))",
     "COMP(%s,0.0)", "%s>0.0", "STR(STRTRIM(NUM(%s)),1,1)", "%s", "ABS(ROUND(%s))", ""},
    {"''", "TD(%s)", "TD(%s)", "FLOAT(TD(%s))", "%s", "[0:0:0]", "COMP(FLOAT(TD(%s)),0.0)", "FALSE", "?",
     "FLOAT(TD(%s))", "0", ""},
    {"''", "TD(%s)", "TD(%s)", "FLOAT(TD(%s))", "SYSDATE()", "%s", "COMP(FLOAT(TD(%s)),0.0)", "FALSE", "?",
     "FLOAT(TD(%s))", "0", ""},
    {"STRTRIM(NUM(RE(%s)))", "ROUND(RE(%s))", "ROUND(RE(%s))", "RE(%s)", "UNIXDATE(ROUND(RE(%s)))",
     "UNIXTIME(ROUND(RE(%s)))", "%s", "RE(%s)>0.0", "STR(STRTRIM(NUM(RE(%s))),1,1)", "RE(%s)", "ABS(ROUND(RE(%s)))",
     ""},
    {"COND(%s,'TRUE','FALSE')", "COND(%s,1,0)", "COND(%s,1,0)", "COND(%s,1.0,0.0)", "SYSDATE()", "[0:0:0]",
     "COND(%s,COMP(1.0,1.0),COMP(0.0,0.0))", "%s", "COND(%s,'Y','N')", "COND(%s,1.0,0.0)", "COND(%s,1,0)", ""},
    {"%s", "ROUND(VAL(%s+''))", "ROUND(VAL(%s+''))", "VAL(%s+'')", "SYSDATE()", "[0:0:0]", "COMP(VAL(%s+''),0.0)",
     "UPC(%s)='Y'", "%s", "VAL(%s+'')", "ROUND(VAL(%s+''))", ""},
    {"STRTRIM(NUM(%s))", "ROUND(%s)", "ROUND(%s)", "%s", "UNIXDATE(ROUND(%s))", "UNIXTIME(ROUND(%s))",
     "COMP(%s,0.0)", "%s>0.0", "STR(STRTRIM(NUM(%s)),1,1)", "%s", "ABS(ROUND(%s))", ""},
    {"STRTRIM(NUM(%s))", "%s", "%s", "FLOAT(%s)", "UNIXDATE(TOLONG(%s))", "UNIXTIME(TOLONG(%s))",
     "COMP(FLOAT(%s),0.0)", "%s>0", "STR(STRTRIM(NUM(%s)),1,1)", "FLOAT(%s)", "%s", ""},
    {"", "", "", "", "", "", "", "", "", "", "", ""},
};

const int reversibility[12][12] = {
    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {1, 1, 0, 1, 1, 1, 1, 0, 0, 1, 0, 1}, {1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 0, 1},
    {1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1}, {0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1}, {0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 1},
    {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, {1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1}, {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1},
    {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1}, {1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
};

namespace {

constexpr const char *FIQL = "%FIQL";
constexpr size_t STATEMENT_ROOM = 6000;

void (*record_hook)(char **, int) = nullptr;
void (*remove_list_hook)(const char *) = nullptr;
int (*confirm_hook)(int, const char *) = nullptr;
void (*error_hook)(int, const char *) = nullptr;

void say(const std::string &text)
{
    fputs(text.c_str(), stderr);
    fflush(stderr);
}

// Runs one statement: Wait, AsIs, Report with messages and Ignore without.
int run(const std::string &text, int messages)
{
    if (text.size() > STATEMENT_ROOM)
        return 0;
    qymgr_qy_query(text.c_str(), QY_WAIT, QY_ASIS, messages ? QY_REPORT : QY_IGNORE);
    return qymgr_qy_ok() ? 1 : 0;
}

// A text inside `q` quotes: the quote doubled.
std::string quote_in(const char *text, char q)
{
    std::string s;
    for (const char *p = text ? text : ""; *p; p++) {
        s += *p;
        if (*p == q)
            s += q;
    }
    return s;
}

bool result_table(const char *table)
{
    if (!table)
        return true;
    if (strncmp(table, "RSLT", 4) == 0)
        return true;
    return wsdict_dictionary && wsdict_dictionary->result[0] && strcmp(table, wsdict_dictionary->result) == 0;
}

const char *current_user() { return wsdict_dictionary ? wsdict_dictionary->user : ""; }

int ask(int number, const char *name)
{
    if (confirm_hook)
        return confirm_hook(number, name);
    return number == 3 ? obbox_confirm(OB_ASK_HOLDS_DATA, name ? name : "")
                       : obbox_confirm(OB_ASK_DATA_LOSS, name ? name : "");
}

void object_error(int number, const char *name)
{
    if (error_hook) {
        error_hook(number, name);
        return;
    }
    if (number == 36)
        obbox_error(OB_BLOB_COLUMN);
    else
        obbox_error(OB_FIQL_EXISTS, name ? name : "");
}

int level_index(int level) { return level >= 0 && level < 8 ? level : 0; }

// ---- error 82 for the items of a table ----------------------------------------------------

int accept_82(int, int database_code, int) { return database_code == 82 ? 0 : 1; }

// The stored definition of an item, as CREATE ITEM would give it; empty
// when there is none.
std::string stored_item_text(const char *name)
{
    std::string q = std::string("DISPLAY %INAME,%ALIAS,%ITYPE,%ILEN,%IFRAC,%IARR,\t\t\t %INDIMS,%IDIMS FROM %ITEMS "
                                "WHERE %INAME='") +
                    quote_in(name, '\'') + "'";
    qymgr_qy_query(q.c_str(), QY_NOWAIT, QY_SIMPLE, QY_IGNORE);
    if (!qymgr_qy_ok() || qymgr_qy_rows() < 1)
        return "";
    const unsigned char *row = static_cast<const unsigned char *>(qymgr_qy_buffer());
    DictItem it{};
    int16_t s;
    int32_t v;
    memcpy(&s, row + 26, 2);
    it.type = s;
    memcpy(&v, row + 28, 4);
    it.length = v;
    memcpy(&v, row + 32, 4);
    it.fraction = v;
    memcpy(&v, row + 36, 4);
    it.array_size = v < 0 ? -static_cast<int64_t>(v) : v;
    it.var = v < 0;
    memcpy(&s, row + 40, 2);
    it.ndims = s < 0 ? 0 : s > 8 ? 8 : s;
    for (int d = 0; d < it.ndims; d++)
        memcpy(&it.dims[d], row + 44 + 4 * d, 4);
    char buffer[160];
    snprintf(buffer, sizeof buffer, "%d %d %d %lld %d", it.type, it.length, it.fraction,
             static_cast<long long>(it.array_size), it.var);
    std::string text = buffer;
    for (int d = 0; d < it.ndims; d++)
        text += " " + std::to_string(it.dims[d]);
    return text;
}

std::string item_key(const DictItem *it)
{
    char buffer[160];
    snprintf(buffer, sizeof buffer, "%d %d %d %lld %d", it->type, it->length, it->fraction,
             static_cast<long long>(it->array_size), it->var);
    std::string text = buffer;
    for (int d = 0; d < it->ndims; d++)
        text += " " + std::to_string(it->dims[d]);
    return text;
}

std::string create_item_text(const DictItem *it, const char *name, const char *alias)
{
    std::string s = std::string("CREATE ITEM ") + name + " ";
    if (alias && *alias)
        s += std::string("ALIAS ") + alias + " ";
    const int type = it->type >= 0 && it->type < 12 ? it->type : 0;
    char buffer[64];
    if (type == 11) {
        snprintf(buffer, sizeof buffer, "AS %s CLASS %d", doz_types[type], it->length);
        return s + buffer;
    }
    snprintf(buffer, sizeof buffer, "AS %s(%d", doz_types[type], it->length);
    s += buffer;
    if (it->fraction != -1)
        s += "," + std::to_string(it->fraction);
    s += ")";
    if (it->ndims > 0) {
        s += "[";
        for (int d = 0; d < it->ndims; d++)
            s += (d ? "," : "") + std::to_string(it->dims[d]);
        s += std::string("]") + (it->var ? "VAR" : "");
    }
    return s;
}

int create_items(DictRelation *rel, const char *changed, std::string *alias_out, int messages)
{
    for (DictColumn *c = rel->columns; c; c = c->next) {
        if (!c->item)
            return 0;
        const bool is_changed = changed && strcmp(c->name, changed) == 0;
        const char *name = is_changed ? FIQL : c->name;
        if (is_changed && alias_out)
            *alias_out = c->item->alias;
        qymgr_qy_set_error_filter(accept_82);
        int ok = run(create_item_text(c->item, name, is_changed ? "" : c->item->alias), messages);
        qymgr_qy_set_error_filter(nullptr);
        if (!ok)
            return 0;
        if (is_changed) {
            // An unused %FIQL item a failed rebuild left behind would give
            // the column its old definition: clear it and make it again.
            std::string stored = stored_item_text(FIQL);
            if (stored != item_key(c->item)) {
                run("CREATE %FIQL[1] AS %FIQL", 0);
                run("DROP %FIQL", 0);
                if (!run(create_item_text(c->item, FIQL, ""), messages))
                    return 0;
            }
        }
    }
    return 1;
}

std::string create_table_text(const DictRelation *rel, const char *changed)
{
    std::string s = std::string("CREATE ") + rel->name + "[" + std::to_string(rel->maxsize) + "] AS ";
    for (const DictColumn *c = rel->columns; c; c = c->next) {
        const bool is_changed = changed && strcmp(c->name, changed) == 0;
        s += std::string(is_changed ? FIQL : c->name) + " " + (c->key ? "PRIMARY" : c->null ? "NULL" : "") +
             (c->next ? "," : "");
    }
    const int mm = rel->reqmem >= 0 && rel->reqmem < 3 ? rel->reqmem : 0;
    const int fs = rel->structure >= 0 && rel->structure < 4 ? rel->structure : 0;
    s += std::string(" CONFIGURE AS ") + (rel->fixed ? "FIXED" : "EXTENSIBLE") + " " + doz_mm[mm] + " " + doz_fs[fs] +
         " ";
    if (rel->location[0])
        s += "ON '" + quote_in(rel->location, '\'') + "'";
    return s;
}

int create_indexes(const DictRelation *rel, int messages)
{
    for (const DictIndex *x = rel->indexes; x; x = x->next) {
        char keys[2048];
        wsdict_make_keystr(keys, sizeof keys, x->keys);
        std::string text = std::string("CREATE INDEX ") + rel->name + " " + (x->unique ? "UNIQUE" : "") + " " +
                           (x->noupdate ? "NOUPDATE" : "") + " BY " + keys + " ";
        if (x->location[0])
            text += "ON \"" + quote_in(x->location, '"') + "\"";
        if (!run(text, messages))
            return 0;
    }
    return 1;
}

int grant_privileges(const DictRelation *rel, int messages)
{
    if (result_table(rel->name))
        return 1;
    run(std::string("GRANT 'DEFAULT' TO %DEFAULT ON ") + rel->name, 0);
    for (const DictPriv *p = rel->privs; p; p = p->next) {
        if (strcmp(p->user, current_user()) == 0)
            continue;
        std::string text = std::string("GRANT '") + priv_keyword[level_index(p->level)] + "' TO " + p->user + " ON " +
                           rel->name;
        if (p->restriction[0])
            text += std::string(" WHERE ") + p->restriction;
        if (!run(text, messages))
            return 0;
    }
    return 1;
}

int restore_my_privileges(const DictRelation *rel)
{
    for (const DictPriv *p = rel->privs; p; p = p->next)
        if (strcmp(p->user, current_user()) == 0)
            return obdb_obq_create_privilege(p->level, p->user, rel->name, p->restriction);
    return obdb_obq_drop_privilege(current_user(), rel->name);
}

int create_from_dictionary(DictRelation *rel, int grant, const char *macro, const char *changed,
                           std::string *alias_out, int messages)
{
    if (!create_items(rel, changed, alias_out, messages))
        return 0;
    // A CREATE that failed made nothing: there is nothing to drop (and a
    // table of that name may be one that stood there before).
    if (!run(create_table_text(rel, changed), messages))
        return 0;
    if (macro)
        obdb_obq_define_macro(macro, FIQL, 0);
    int ok = create_indexes(rel, messages);
    if (macro)
        obdb_obq_undefine_macro(macro, 0);
    if (!ok || (grant && !grant_privileges(rel, messages))) {
        run(std::string("DROP ") + rel->name, 0);
        return 0;
    }
    return 1;
}

// ---- the copy ------------------------------------------------------------------------------------

bool is_array(const DictItem *it) { return it->array_size > 0; }

std::string dims_of(const DictItem *it)
{
    std::string s;
    for (int d = 0; d < it->ndims; d++)
        s += (d ? ":" : "") + std::to_string(it->dims[d]);
    return s;
}

std::string fmt(const char *format, const std::string &a)
{
    std::string s;
    for (const char *p = format; *p; p++) {
        if (p[0] == '%' && p[1] == 's') {
            s += a;
            p++;
        } else {
            s += *p;
        }
    }
    return s;
}

std::string shape_new(std::string e, const DictItem *it, int var_length)
{
    e = "REPEAT(" + e + "," + std::to_string(it->array_size) + ")";
    if (it->ndims > 1 && !it->var)
        e = "SETDIMS(" + e + "," + dims_of(it) + ")";
    if (it->var)
        e = "SETLEN(SETMAXLEN(" + e + "," + std::to_string(it->ndims > 0 ? it->dims[0] : it->array_size) + ")," +
            std::to_string(var_length) + ")";
    return e;
}

// The changed column's term; false (with its error) when it cannot be
// copied or the user declined.
bool changed_term(const DictItem *old_item, const char *old_name, const DictItem *new_item, std::string &term)
{
    const int ot = old_item->type, nt = new_item->type;
    if (ot < 0 || ot > 11 || nt < 0 || nt > 11)
        return false;
    if (ot == 11 || nt == 11) {
        if (ot != nt || old_item->length != new_item->length) {
            object_error(36, old_name);
            return false;
        }
        term = old_name;
        return true;
    }
    bool may_lose = false;
    std::string e = old_name;
    const bool old_array = is_array(old_item), new_array = is_array(new_item);
    if (old_array && !new_array) {
        if (old_item->var)
            e = "VARTOFIX(" + e + ")";
        if (old_item->ndims > 1)
            e = "SETDIMS(" + e + ",ARRAY(" + std::to_string(old_item->array_size) + "))";
        e = "ELEM(" + e + ",1)";
        may_lose = true;
    }
    if (!reversibility[ot][nt])
        may_lose = true;
    // Arrays convert element by element; a single value first.
    if (!old_array || !new_array)
        e = fmt(converters[ot][nt], e);
    if (!old_array && new_array) {
        e = shape_new(e, new_item, 1);
    } else if (old_array && new_array) {
        if (old_item->var)
            e = "VARTOFIX(" + e + ")";
        if (old_item->ndims > 1)
            e = "SETDIMS(" + e + ",ARRAY(" + std::to_string(old_item->array_size) + "))";
        if (old_item->array_size != new_item->array_size)
            e = "VARTOFIX(FIXTOVAR(" + e + "," + std::to_string(new_item->array_size) + "))";
        e = fmt(converters[ot][nt], e);
        if (!new_item->var) {
            if (new_item->ndims > 1)
                e = "SETDIMS(" + e + "," + dims_of(new_item) + ")";
        } else {
            const long new_first = new_item->ndims > 0 ? new_item->dims[0] : static_cast<long>(new_item->array_size);
            const long old_first = old_item->ndims > 0 ? old_item->dims[0] : static_cast<long>(old_item->array_size);
            if (new_first && old_first && new_item->array_size / new_first == old_item->array_size / old_first)
                e = "SETLEN(SETMAXLEN(" + e + "," + std::to_string(new_item->array_size) + "),LEN(" + old_name +
                    "))";
            else
                e = "SETMAXLEN(" + e + "," + std::to_string(new_item->array_size) + ")";
        }
        if (new_item->array_size < old_item->array_size)
            may_lose = true;
    }
    if (may_lose && !ask(9, old_name))
        return false;
    term = e;
    return true;
}

bool in_list(const char *name, const char *const *list, int n)
{
    for (int i = 0; i < n; i++)
        if (list[i] && strcmp(list[i], name) == 0)
            return true;
    return false;
}

// SELECT of the old table's rows into the new one.
int select_from_to(const DictRelation *rel, const char *from, const char *to, const char *const *added, int n_added,
                   const DictColumn *old, const char *changed)
{
    std::string s = "SELECT ";
    for (const DictColumn *c = rel->columns; c; c = c->next) {
        std::string term;
        if (in_list(c->name, added, n_added)) {
            if (c->null) {
                term = std::string("NULL AS ") + c->name;
            } else {
                if (!c->item || c->item->type == 11 || c->item->type < 0 || c->item->type > 11) {
                    object_error(36, c->name);
                    return 0;
                }
                std::string e = constants[c->item->type];
                if (is_array(c->item))
                    e = shape_new(e, c->item, 0);
                term = e + " AS " + c->name;
            }
        } else if (changed && old && strcmp(c->name, changed) == 0) {
            if (!c->item || !old->item || !changed_term(old->item, old->name, c->item, term))
                return 0;
            term += std::string(" AS ") + FIQL;
        } else {
            term = c->name;
        }
        s += term + (c->next ? "," : "");
    }
    s += std::string(" FROM ") + from + " TO " + to;
    return run(s, 1);
}

bool relation_exists(const char *name)
{
    std::string q = std::string("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='") + quote_in(name, '\'') + "'";
    qymgr_qy_query(q.c_str(), QY_NOWAIT, QY_SIMPLE, QY_IGNORE);
    return qymgr_qy_ok() && qymgr_qy_rows() > 0;
}

enum Kind { CHANGE_TABLE, ADD_COLUMNS, DROP_COLUMN, CHANGE_COLUMN };

int rebuild(Kind kind, DictRelation *rel, const char *old_name_in, int has_data_told, const char *const *added,
            int n_added, const DictColumn *old, const char *new_name)
{
    // The old name may be the relation's own, which is renamed below.
    const std::string old_copy = old_name_in;
    const char *old_name = old_copy.c_str();
    // A leftover %FIQL may hold the only copy of a table: never touched.
    if (relation_exists(FIQL)) {
        object_error(40, FIQL);
        return 0;
    }
    int has_data;
    if (kind == DROP_COLUMN)
        has_data = has_data_told;
    else
        has_data = qychk_table_rows(old_name) != 0;  // a failed count (-1) counts as rows
    if (has_data && kind != DROP_COLUMN && !ask(3, old_name))
        return 0;

    char kept[sizeof rel->name];
    memcpy(kept, rel->name, sizeof kept);
    safe_strcpy(rel->name, FIQL, sizeof rel->name - 1);
    std::string alias;
    const bool changing = kind == CHANGE_COLUMN;
    int ok = create_from_dictionary(rel, 1, changing ? old->name : nullptr, changing ? new_name : nullptr, &alias, 1);
    if (!ok) {
        memcpy(rel->name, kept, sizeof kept);
        return 0;
    }
    if (has_data && !select_from_to(rel, old_name, FIQL, added, n_added, old, changing ? new_name : nullptr)) {
        memcpy(rel->name, kept, sizeof kept);
        run(std::string("DROP ") + FIQL, 0);
        return 0;
    }
    if (!run(std::string("DROP ") + old_name, 1)) {
        // The old table stands whole; the copy goes.
        memcpy(rel->name, kept, sizeof kept);
        run(std::string("DROP ") + FIQL, 0);
        return 0;
    }
    const bool renamed = obdb_obq_rename_table(FIQL, kept);
    memcpy(rel->name, kept, sizeof kept);
    if (!renamed) {
        static const VxMsg<> *const lost[] = {&OB_LOST_CHANGE_TABLE, &OB_LOST_ADD_COLUMNS, &OB_LOST_DROP_COLUMN,
                                              &OB_LOST_CHANGE_COLUMN};
        say(vx_msgf(obmain_ob_nlsfd, *lost[kind]));
        return 0;
    }
    if (changing) {
        if (!obdb_obq_rename_column(FIQL, new_name, rel->name))
            say(vx_msgf(obmain_ob_nlsfd, OB_FIQL_NOT_RENAMED));
        else if (!alias.empty())
            obdb_obq_rename_alias(new_name, alias.c_str());
    }
    return restore_my_privileges(rel);
}

}  // namespace

// ---- single operations --------------------------------------------------------------------

int obdb_obq_define_macro(const char *name, const char *text, int messages)
{
    return run(std::string("DEFINE ") + (name ? name : "") + " " + (text ? text : ""), messages);
}

int obdb_obq_undefine_macro(const char *name, int messages)
{
    return run(std::string("UNDEFINE ") + (name ? name : ""), messages);
}

int obdb_obq_drop_index(int number, const char *table)
{
    return run("DROP INDEX " + std::to_string(number) + " FROM " + (table ? table : ""), 1);
}

int obdb_obq_create_index(const char *table, int unique, int noupdate, const char *keys, const char *location,
                          int *number)
{
    std::string text = std::string("CREATE INDEX ") + (table ? table : "") + " " + (unique ? "UNIQUE" : "") + " " +
                       (noupdate ? "NOUPDATE" : "") + " BY " + (keys ? keys : "") + " ";
    if (location && *location)
        text += "ON \"" + quote_in(location, '"') + "\"";
    int ok = run(text, 1);
    if (number)
        *number = ok ? qymgr_qy_rows() : 0;
    return ok;
}

int obdb_obq_drop_privilege(const char *user, const char *table)
{
    if (result_table(table))
        return 1;
    return run(std::string("GRANT 'DEFAULT' TO ") + (user ? user : "") + " ON " + table, 1);
}

int obdb_obq_create_privilege(int level, const char *user, const char *table, const char *restriction)
{
    if (result_table(table))
        return 1;
    std::string text = std::string("GRANT '") + priv_keyword[level_index(level)] + "' TO " + (user ? user : "") +
                       " ON " + table;
    if (restriction && *restriction)
        text += std::string(" WHERE ") + restriction;
    return run(text, 1);
}

int obdb_obq_drop_user(const char *user)
{
    int ok = run(std::string("DROP USER ") + (user ? user : ""), 1);
    if (ok && remove_list_hook)
        remove_list_hook(user);
    return ok;
}

int obdb_obq_create_user(const char *user, const char *password, int access)
{
    char pass[11];
    safe_strcpy(pass, password ? password : "", 10);
    return run(std::string("CREATE USER ") + (user ? user : "") + ", '" + quote_in(pass, '\'') + "' WITH '" +
                   dbpriv_keyword[access >= 0 && access < 3 ? access : 0] + "'",
               1);
}

int obdb_obq_grant_user(int access, const char *user)
{
    return run(std::string("GRANT '") + dbpriv_keyword[access >= 0 && access < 3 ? access : 0] + "' TO " +
                   (user ? user : ""),
               1);
}

int obdb_obq_drop_var(const char *name) { return run(std::string("DROP VAR ") + (name ? name : ""), 1); }

int obdb_obq_create_var(const ObVariableData *variable, int record)
{
    if (!variable)
        return 0;
    std::string text = std::string("CREATE VAR ") + variable->name;
    std::string raw(variable->value, strnlen(variable->value, sizeof variable->value));
    if (!raw.empty()) {
        size_t a = raw.find_first_not_of(' '), b = raw.find_last_not_of(' ');
        std::string value = a == std::string::npos ? "" : raw.substr(a, b - a + 1);
        const char c = value.empty() ? ' ' : value[0];
        const bool bare = !value.empty() && (isdigit(static_cast<unsigned char>(c)) || c == '"' || c == '\'' ||
                                             c == '[' || value.find_first_of("(*+-/") != std::string::npos);
        text += " " + (bare ? value : "'" + quote_in(value.c_str(), '\'') + "'");
    }
    int ok = run(text, 1);
    if (record && record_hook) {
        char *copy = stralloc(text.c_str());
        char *list[1] = {copy};
        record_hook(list, 1);
        vx_free(copy);
    }
    return ok;
}

int obdb_obq_clear_table(const char *table) { return run(std::string("CLEAR ") + (table ? table : ""), 1); }

int obdb_obq_drop_table(const char *table) { return run(std::string("DROP ") + (table ? table : ""), 1); }

int obdb_obq_delete_rows_from_table(const char *table, const char *condition)
{
    std::string text = std::string("DELETE FROM ") + (table ? table : "");
    if (condition && *condition)
        text += std::string(" WHERE ") + condition;
    return run(text, 1);
}

int obdb_obq_rename_table(const char *old_name, const char *new_name)
{
    return run(std::string("RENAME ") + (old_name ? old_name : "") + " AS " + (new_name ? new_name : ""), 1);
}

int obdb_obq_rename_column(const char *old_name, const char *new_name, const char *table)
{
    return run(std::string("RENAME COLUMN ") + (old_name ? old_name : "") + " AS " + (new_name ? new_name : "") +
                   " FROM " + (table ? table : ""),
               1);
}

int obdb_obq_rename_alias(const char *item, const char *alias)
{
    std::string text = std::string("RENAME ITEM ") + (item ? item : "") + " AS " + (item ? item : "");
    text += alias && *alias ? std::string(" ALIAS ") + alias : std::string(" ");
    if (!run(text, 0))
        say(vx_msgf(obmain_ob_nlsfd, OB_ALIAS_NEEDS_DBA));
    return 1;
}

int obdb_obq_exclusive_access(const char *table)
{
    if (result_table(table) || wsdict_db_exclusive)
        return 1;
    return run(std::string("USE ") + table + " EXCLUSIVE", 0);
}

int obdb_obq_no_access(const char *table)
{
    if (result_table(table) || wsdict_db_exclusive)
        return 1;
    return run(std::string("UNUSE ") + table, 0);
}

int obdb_obq_configure_table(const char *table, int maxsize, int fixed, int memory)
{
    char text[128];
    snprintf(text, sizeof text, "CONFIGURE %s[%d] AS %s %s", table ? table : "", maxsize,
             fixed ? "FIXED" : "EXTENSIBLE", doz_mm[memory >= 0 && memory < 3 ? memory : 0]);
    return run(text, 1);
}

int obdb_obq_create_item(const DictItem *item, const char *name, int messages)
{
    return item ? run(create_item_text(item, name ? name : item->name, item->alias), messages) : 0;
}

// ---- tables from the dictionary ---------------------------------------------------------------

int obdb_obq_create_table_from_dictionary(DictRelation *relation)
{
    return relation ? create_from_dictionary(relation, 0, nullptr, nullptr, nullptr, 1) : 0;
}

int obdb_obq_add_columns_from_dictionary(DictRelation *relation, const char *const *added, int count)
{
    return relation ? rebuild(ADD_COLUMNS, relation, relation->name, 0, added, count, nullptr, nullptr) : 0;
}

int obdb_obq_drop_column_from_dictionary(DictRelation *relation, int has_data)
{
    return relation ? rebuild(DROP_COLUMN, relation, relation->name, has_data, nullptr, 0, nullptr, nullptr) : 0;
}

int obdb_obq_change_column_from_dictionary(DictRelation *relation, const DictColumn *old, const char *new_name)
{
    if (!relation || !old || !new_name)
        return 0;
    return rebuild(CHANGE_COLUMN, relation, relation->name, 0, nullptr, 0, old, new_name);
}

int obdb_obq_change_table_from_dictionary(DictRelation *relation, const char *old_name, int mask)
{
    if (!relation || !old_name)
        return 0;
    if (mask & (2 | 8 | 16))
        return rebuild(CHANGE_TABLE, relation, old_name, 0, nullptr, 0, nullptr, nullptr);
    int ok = 1;
    if (mask & 1)
        ok = obdb_obq_rename_table(old_name, relation->name) && ok;
    if (ok && (mask & (4 | 32 | 64)))
        ok = obdb_obq_configure_table(relation->name, static_cast<int>(relation->maxsize), relation->fixed,
                                      relation->reqmem);
    return ok;
}

// ---- hooks -------------------------------------------------------------------------------------------

void obdb_set_record_hook(void (*proc)(char **, int)) { record_hook = proc; }
void obdb_set_remove_table_list_hook(void (*proc)(const char *)) { remove_list_hook = proc; }
void obdb_set_confirm_hook(int (*proc)(int, const char *)) { confirm_hook = proc; }
void obdb_set_error_hook(void (*proc)(int, const char *)) { error_hook = proc; }
