// The table list file and its copy in memory.

#include "wstables.h"
#include "wsmsgs.h"

#include "obdict.h"
#include "vxutil.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

char list_path[256] = "";
std::vector<TableListEntry> table_list;
constexpr size_t GROWTH = 40;

void say(const std::string &text)
{
    fputs(text.c_str(), stderr);
    fflush(stderr);
}

void make_room(size_t needed)
{
    if (needed > table_list.capacity())
        table_list.reserve((needed / GROWTH + 1) * GROWTH);
}

bool is_system(const char *name) { return name[0] == '%'; }

bool hex(char c) { return isxdigit(static_cast<unsigned char>(c)) != 0; }

bool rs_prefix(const char *name) { return name[0] == 'R' && name[1] == 'S' && hex(name[2]) && hex(name[3]); }

// Another connection's result or temporary table: "RS##" or "TMP##".
bool other_connection_table(const char *name)
{
    size_t n = strlen(name);
    return (n == 4 && rs_prefix(name)) || (n == 5 && strncmp(name, "TMP", 3) == 0);
}

bool result_table_name(const char *name)
{
    const char *result = wsdict_dictionary ? wsdict_dictionary->result : "";
    return (result[0] && strncmp(name, result, 4) == 0) || strncmp(name, "RSLT", 4) == 0;
}

bool own_result_prefix(const char *name)
{
    const char *result = wsdict_dictionary ? wsdict_dictionary->result : "";
    return result[0] && strncmp(name, result, 4) == 0;
}

bool may_see(const char *name) { return obdict_ob_i_may(PRIV_READ, name) != 0; }

bool in_list(const char *name)
{
    for (const TableListEntry &e : table_list)
        if (strcmp(e.name, name) == 0)
            return true;
    return false;
}

// The index of the first entry with the name (among the shown ones only
// when asked); the count when there is none.
int lookup(const char *name, bool shown_only)
{
    for (size_t i = 0; i < table_list.size(); i++)
        if ((!shown_only || table_list[i].shown) && strcmp(table_list[i].name, name) == 0)
            return static_cast<int>(i);
    if (shown_only)
        say(vx_msgf(obmain_ob_nlsfd, WS_TABLE_NOT_IN_LIST));
    return static_cast<int>(table_list.size());
}

TableListEntry entry(const char *name, int shown)
{
    TableListEntry e{};
    safe_strcpy(e.name, name, sizeof e.name - 1);
    e.shown = shown;
    return e;
}

void insert_at(size_t at, const TableListEntry &e)
{
    make_room(table_list.size() + 1);
    table_list.insert(table_list.begin() + static_cast<long>(at), e);
}

// Opens the file for writing; a file made here gets the mode 0644: the
// user's own, read by others.
FILE *open_for_writing()
{
    struct stat st;
    const bool existed = stat(list_path, &st) == 0;
    FILE *f = fopen(list_path, "w");
    if (f && !existed)
        chmod(list_path, 0644);
    return f;
}

// One line: a name of at most 11 characters, blanks, a whole number, and
// nothing else.
bool parse_line(const std::string &line, TableListEntry &out)
{
    size_t i = 0, n = line.size();
    while (i < n && isspace(static_cast<unsigned char>(line[i])))
        i++;
    size_t start = i;
    while (i < n && !isspace(static_cast<unsigned char>(line[i])))
        i++;
    const size_t len = i - start;
    if (len == 0 || len > 11)
        return false;
    std::string name = line.substr(start, len);
    while (i < n && isspace(static_cast<unsigned char>(line[i])))
        i++;
    const char *p = line.c_str() + i;
    char *end = nullptr;
    errno = 0;
    long flag = strtol(p, &end, 10);
    if (end == p || errno != 0)
        return false;
    for (const char *q = end; *q; q++)
        if (!isspace(static_cast<unsigned char>(*q)))
            return false;
    out = entry(name.c_str(), flag != 0);
    return true;
}

}  // namespace

void wsobj_ws_set_table_list_file(const char *path) { safe_strcpy(list_path, path ? path : "", sizeof list_path - 1); }

const char *wsobj_ws_table_list_file() { return list_path; }

void wsobj_ws_create_table_list()
{
    FILE *f = open_for_writing();
    if (!f) {
        say(vx_msgf(obmain_ob_nlsfd, WS_LIST_NOT_CREATED));
        return;
    }
    for (DictRelation *r = wsdict_dictionary ? wsdict_dictionary->relations : nullptr; r; r = r->next)
        if (!is_system(r->name) && !other_connection_table(r->name))
            fprintf(f, "%s %d\n", r->name, may_see(r->name) ? 1 : 0);
    fclose(f);
}

void wsobj_ws_read_table_list(int check)
{
    table_list.clear();
    make_room(1);
    bool changed = false;
    FILE *f = fopen(list_path, "r");
    if (!f) {
        wsobj_ws_create_table_list();
        changed = true;
        f = fopen(list_path, "r");
    }
    if (!f) {
        say(vx_msgf(obmain_ob_nlsfd, WS_LIST_NOT_READ));
        wsobj_ws_create_result_objects();
        return;
    }
    std::string line;
    bool warned = false;
    for (int c = 0; c != EOF;) {
        line.clear();
        while ((c = fgetc(f)) != EOF && c != '\n')
            line += static_cast<char>(c);
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        TableListEntry e;
        if (!parse_line(line, e)) {
            // A line we cannot take is dropped, and the file put right.
            if (!warned)
                say(vx_msgf(obmain_ob_nlsfd, WS_LIST_NOT_READ));
            warned = true;
            changed = true;
            continue;
        }
        if (rs_prefix(e.name) && !own_result_prefix(e.name))
            continue;
        if (check && (!wsdict_find_relation(e.name) || !may_see(e.name))) {
            changed = true;
            continue;
        }
        make_room(table_list.size() + 1);
        table_list.push_back(e);
    }
    fclose(f);

    if (check) {
        size_t at = 0;  // after the table added before it in this step
        for (DictRelation *r = wsdict_dictionary ? wsdict_dictionary->relations : nullptr; r; r = r->next) {
            if (is_system(r->name) || other_connection_table(r->name) || in_list(r->name))
                continue;
            changed = true;
            if (!may_see(r->name))
                continue;
            if (rs_prefix(r->name)) {
                if (!own_result_prefix(r->name))
                    continue;
                memcpy(r->name, "RSLT", 4);
                if (in_list(r->name))
                    continue;
            }
            insert_at(at++, entry(r->name, 1));
        }
    }
    if (changed)
        wsobj_ws_write_table_list();
    wsobj_ws_create_result_objects();
}

void wsobj_ws_write_table_list()
{
    FILE *f = open_for_writing();
    if (!f) {
        say(vx_msgf(obmain_ob_nlsfd, WS_LIST_NOT_WRITTEN));
        return;
    }
    for (int shown = 1; shown >= 0; shown--)
        for (const TableListEntry &e : table_list)
            if ((e.shown != 0) == (shown != 0))
                fprintf(f, "%s %d\n", e.name, shown);
    fclose(f);
}

void wsobj_ws_add_table_to_list(const char *name, const char *after)
{
    if (!name || !*name || strlen(name) > 11 || result_table_name(name))
        return;
    size_t at = 0;
    if (after) {
        int i = lookup(after, true);
        if (i >= static_cast<int>(table_list.size()))
            return;
        at = static_cast<size_t>(i) + 1;
    }
    insert_at(at, entry(name, 1));
    wsobj_ws_write_table_list();
}

void wsobj_ws_delete_table_from_list(const char *name)
{
    if (!name || result_table_name(name))
        return;
    int i = lookup(name, true);
    if (i >= static_cast<int>(table_list.size()))
        return;
    table_list.erase(table_list.begin() + i);
    wsobj_ws_write_table_list();
}

void wsobj_ws_rename_table_on_list(const char *old_name, const char *new_name)
{
    if (!old_name || !new_name)
        return;
    if (result_table_name(old_name)) {
        if (strlen(new_name) <= 11 && !result_table_name(new_name)) {
            insert_at(0, entry(new_name, 1));
            wsobj_ws_write_table_list();
        }
        return;
    }
    if (result_table_name(new_name)) {
        wsobj_ws_delete_table_from_list(old_name);
        return;
    }
    if (strlen(new_name) > 11)
        return;
    int i = lookup(old_name, true);
    if (i >= static_cast<int>(table_list.size()))
        return;
    safe_strcpy(table_list[static_cast<size_t>(i)].name, new_name, sizeof table_list[0].name - 1);
    wsobj_ws_write_table_list();
}

TableListEntry *wsobj_ws_get_table_name(int index, DictRelation **relation)
{
    if (relation)
        *relation = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= table_list.size())
        return nullptr;
    TableListEntry &e = table_list[static_cast<size_t>(index)];
    DictRelation *r = e.shown ? wsdict_find_relation(e.name) : nullptr;
    if (!r)
        return nullptr;
    if (relation)
        *relation = r;
    return &e;
}

int ws_get_num_displayed_tables() { return static_cast<int>(table_list.size()); }

const TableListEntry *wsobj_ws_table_list(int *count)
{
    if (count)
        *count = static_cast<int>(table_list.size());
    return table_list.data();
}
