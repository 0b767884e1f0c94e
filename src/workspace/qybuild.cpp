// Query building from the selected query objects.

#include "qybuild.h"

#include "dlmain.h"
#include "qychk.h"
#include "qymgr.h"
#include "qymsgs.h"
#include "wsdict.h"

#include "vxutil.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

int namenum = 0;  // generated names count on for the program's life

const char *const doz_aggs[6] = {"AVERAGE", "VARIANCE", "MAXIMUM", "MINIMUM", "COUNT", "TOTAL"};
const char *const doz_statfuns[6] = {"MEAN(@)", "VARC(@)", "MAX(@)", "MIN(@)", "LEN(@)", "SUMARR(@)"};

void say(const std::string &text)
{
    fputs(text.c_str(), stderr);
    fflush(stderr);
}

std::string generated_name() { return "%NAME" + std::to_string(namenum++); }

template <class T>
const T *data(const QueryObject *o)
{
    return static_cast<const T *>(o->kind_data);
}

struct Build {
    const QyTarget *target;
    bool collect = false, group = false, assign = false;
    bool has_statistic = false;
    const QueryObject *group_object = nullptr;
    const QueryObject *condition = nullptr, *sort = nullptr, *join = nullptr;
    std::vector<QueryObject *> selected;  // oldest first
    std::map<const QueryObject *, std::string> names;  // names made for objects in the first statement
    std::vector<std::string> variables;  // collect mode: the variables to create and drop
    std::string emitted;                 // "$NAME$ " of the columns named so far
};

const QueryObject *assigned_variable(const QueryObject *o, bool *bad)
{
    *bad = false;
    for (ObAssignment *a = wsdict_dictionary ? wsdict_dictionary->assignments : nullptr; a; a = a->next)
        if (a->assigned == o) {
            if (!a->variable || a->variable->kind != OB_VARIABLE) {
                *bad = true;
                return nullptr;
            }
            return a->variable;
        }
    return nullptr;
}

std::string group_text(const Build &b) { return b.group_object ? data<ObGroupData>(b.group_object)->text : ""; }

// The first statement's items.
std::string build_expression(Build &b)
{
    std::string out;
    const std::string key = group_text(b);
    for (QueryObject *o : b.selected) {
        std::string item;
        switch (o->kind) {
        case OB_CONDITION: b.condition = o; continue;
        case OB_SORT: b.sort = o; continue;
        case OB_JOIN: b.join = o; continue;
        case OB_STATISTIC: {
            const ObStatisticData *s = data<ObStatisticData>(o);
            if (!b.collect && s->function >= 1 && s->function <= 6)
                item = std::string(doz_aggs[s->function - 1]) + " ";
            item += s->text;
            break;
        }
        case OB_EXPRESSION: item = data<ObExpressionData>(o)->text; break;
        case OB_VARIABLE: item = data<ObVariableData>(o)->name; break;
        case OB_COLUMN: {
            const ObColumnData *c = data<ObColumnData>(o);
            const std::string qualified = qualify_column_name(c->table, c->name);
            // The group key is the result's first column already.
            if (b.group && (key == c->name || key == qualified))
                continue;
            item = dl_qualify_column_names ? qualified : std::string(c->name);
            const std::string mark = std::string("$") + c->name + "$ ";
            if (!b.collect && b.emitted.find(mark) != std::string::npos) {
                b.names[o] = generated_name();
                item += " AS " + b.names[o];
            }
            b.emitted += mark;
            break;
        }
        default: continue;
        }

        if (b.collect) {
            b.names[o] = generated_name();
            b.variables.push_back(b.names[o]);
            item += " AS " + b.names[o];
        } else {
            bool bad = false;
            const QueryObject *v = b.assign ? assigned_variable(o, &bad) : nullptr;
            if (bad)
                say(vx_msgf(obmain_ob_nlsfd, QY_ASSIGN_NON_VARIABLE));
            if (v) {
                item += std::string(" AS ") + data<ObVariableData>(v)->name;
            } else if (!bad && (o->kind == OB_EXPRESSION || o->kind == OB_STATISTIC)) {
                const char *name = o->kind == OB_EXPRESSION ? data<ObExpressionData>(o)->name
                                                            : data<ObStatisticData>(o)->name;
                if (!*name) {
                    b.names[o] = generated_name();
                    name = b.names[o].c_str();
                }
                item += std::string(" AS ") + name;
            }
        }
        out += item + ",";
    }
    return out;
}

// The second statement's items, naming what the first statement made.
std::string build_final_expression(Build &b)
{
    std::string out;
    for (QueryObject *o : b.selected) {
        std::string item;
        auto made = b.names.find(o);
        switch (o->kind) {
        case OB_EXPRESSION: {
            const char *name = data<ObExpressionData>(o)->name;
            item = b.collect && made != b.names.end() ? made->second : *name ? name : made != b.names.end() ? made->second : "";
            if (b.collect && *name)
                item += std::string(" AS ") + name;
            break;
        }
        case OB_STATISTIC: {
            auto *s = static_cast<ObStatisticData *>(o->kind_data);
            if (!b.collect) {
                item = *s->name ? std::string(s->name) : made != b.names.end() ? made->second : "";
                break;
            }
            if (s->function >= 1 && s->function <= 6)
                safe_strcpy(s->statistic, doz_statfuns[s->function - 1], sizeof s->statistic - 1);
            std::string tmpl = *s->statistic ? s->statistic : "@";
            const std::string var = made != b.names.end() ? made->second : "";
            for (size_t at; (at = tmpl.find('@')) != std::string::npos;)
                tmpl.replace(at, 1, var);
            item = tmpl + " AS " + (*s->name ? std::string(s->name) : generated_name());
            break;
        }
        case OB_COLUMN:
            if (made != b.names.end())
                item = made->second;
            else if (b.collect)
                continue;
            else
                item = data<ObColumnData>(o)->name;
            break;
        case OB_VARIABLE:
            if (b.collect && made != b.names.end())
                item = made->second;
            else
                item = data<ObVariableData>(o)->name;
            break;
        default: continue;  // conditions, sorts, joins, groups make no item
        }
        if (item.empty())
            continue;
        bool bad = false;
        const QueryObject *v = b.assign ? assigned_variable(o, &bad) : nullptr;
        if (v) {
            // The variable takes the value under its own name: the first
            // statement's variable in collect mode, else the column the
            // first statement named after the variable.
            const char *var = data<ObVariableData>(v)->name;
            size_t as = item.find(" AS ");
            if (as != std::string::npos)
                item.erase(as);
            if (!b.collect)
                item = var;
            item += std::string(" AS ") + var;
        }
        out += item + ",";
    }
    return out;
}

// The items' text with its last "," made " ".
std::string items_end(std::string items)
{
    if (!items.empty() && items.back() == ',')
        items.back() = ' ';
    return items;
}

bool confirmed(int message) { return qymgr_qconfirm(message) != 0; }

}  // namespace

const char *qybuild_aggregate_word(int function)
{
    return function >= 1 && function <= 6 ? doz_aggs[function - 1] : nullptr;
}

int qybuild_qy_build_query(char ***statements, int *count, const QyTarget *target)
{
    if (statements)
        *statements = nullptr;
    if (count)
        *count = 0;
    if (!statements || !count || !target || !wsdict_dictionary)
        return 0;
    if (!wsdict_dictionary->selected) {
        say(vx_msgf(obmain_ob_nlsfd, QY_NULL_SELECTION));
        return 0;
    }
    Build b;
    b.target = target;
    const int kind = target->kind;
    const bool shows = kind == QY_TARGET_DISPLAY || kind == QY_TARGET_PROGRAM;

    // 1. Assignments are made only for the display targets.
    b.assign = shows;
    if (!shows)
        for (ObAssignment *a = wsdict_dictionary->assignments; a; a = a->next)
            if (a->assigned) {
                if (!confirmed(9))
                    return 0;
                break;
            }

    // 2. The mode: the newest group or collected statistic decides.
    ObSelection *last = wsdict_dictionary->selected;
    for (ObSelection *s = last; s; s = s->next) {
        const QueryObject *o = s->object;
        if (o->kind == OB_GROUP) {
            b.group = true;
            b.group_object = o;
            break;
        }
        if (o->kind == OB_STATISTIC) {
            if (data<ObStatisticData>(o)->function == 7) {
                b.collect = true;
                break;
            }
            b.has_statistic = true;
        }
    }
    while (last->next)
        last = last->next;
    for (ObSelection *s = last; s; s = s->prev)
        b.selected.push_back(s->object);

    std::string com = b.group ? "GROUP " : b.collect ? "COLLECT " : shows ? "DISPLAY " : "SELECT ";

    // 3. The source.
    const WsNomination &n = wsdict_nomination;
    const char *first = n.first_count ? n.first : n.second_count ? n.second : nullptr;
    const bool two = n.first_count && n.second_count;
    std::string source;
    if (two)
        source = b.group ? std::string(n.first) + " BY " : "FROM " + std::string(n.first) + ", " + n.second + " ";
    else if (first)
        source = b.group ? std::string(first) + " BY " : "FROM " + std::string(first) + " ";
    if (b.group)
        com += source + group_text(b) + " ";

    // 4. The items.
    const std::string items = build_expression(b);
    if (!items.empty())
        com += items_end(items);
    else if (!b.group)
        com += "NULL ";

    // 5.-7. Questions and the source clause.
    if (!first && (b.join || b.sort || b.condition || b.group)) {
        if (!confirmed(8))
            return 0;
    }
    if (b.group && two && !confirmed(10))
        return 0;
    if (b.sort && kind == QY_TARGET_TABLE && !confirmed(11))
        return 0;
    if (b.sort && b.has_statistic && !b.group && !confirmed(12))
        return 0;
    if (!first) {
        if (!b.group)
            com += "FROMVAR ";
    } else if (!b.group) {
        com += source;
    }
    if (!b.group) {
        if (b.join)
            com += std::string("JOIN ") + data<ObJoinData>(b.join)->text + " ";
        else if (two && !confirmed(7))
            return 0;
    }

    // 8.-10.
    if (b.condition)
        com += std::string("WHERE ") + data<ObConditionData>(b.condition)->text + " ";
    if (!b.has_statistic && !b.group && shows && b.sort)
        com += std::string("SEQUENCE BY ") + data<ObSortData>(b.sort)->text + " ";
    if (!b.collect && !b.group && kind == QY_TARGET_TABLE)
        com += std::string("TO ") + target->table;

    // 11. The list in execution order.
    std::vector<std::string> list;
    const bool unique = kind == QY_TARGET_RESULT && target->unique;
    const bool overwrite = kind == QY_TARGET_TABLE && target->overwrite;
    if (unique)
        list.push_back("SET %UNIQUE TRUE");
    if (overwrite)
        list.push_back("SET %OVERWRITE TRUE");
    const std::string sort_text = b.sort ? data<ObSortData>(b.sort)->text : "";
    if (b.collect) {
        for (const std::string &v : b.variables)
            list.push_back("CREATE VAR " + v);
        list.push_back("SET %DISPLAY FALSE");
        list.push_back(com);
        list.push_back("SET %DISPLAY TRUE");
        std::string fin = std::string(shows ? "DISPLAY " : "SELECT ") + items_end(build_final_expression(b)) + "FROMVAR ";
        if (kind == QY_TARGET_TABLE)
            fin += std::string("TO ") + target->table;
        list.push_back(fin);
        for (const std::string &v : b.variables)
            list.push_back("DROP VAR " + v);
    } else if (b.group) {
        const ObGroupData *g = data<ObGroupData>(b.group_object);
        if (g->sequence && first) {
            list.push_back(std::string("SEQUENCE ") + first + " BY " + g->text);
            list.push_back(com);
            list.push_back(std::string("SEQUENCE ") + first);
        } else {
            list.push_back(com);
        }
        if (b.sort)
            list.push_back("SEQUENCE RSLT BY " + sort_text);
        if (kind != QY_TARGET_RESULT) {
            std::string fin = std::string(kind == QY_TARGET_TABLE ? "SELECT " : "DISPLAY ") +
                              items_end(build_final_expression(b)) + "FROM RSLT ";
            if (kind == QY_TARGET_TABLE)
                fin += std::string("TO ") + target->table;
            list.push_back(fin);
            list.push_back("DROP RSLT");
        }
    } else {
        list.push_back(com);
        if (kind == QY_TARGET_RESULT && b.sort && !b.has_statistic)
            list.push_back("SEQUENCE RSLT BY " + sort_text);
    }
    if (overwrite)
        list.push_back("SET %OVERWRITE FALSE");
    if (unique)
        list.push_back("SET %UNIQUE FALSE");

    // A statement cut short would be another query: none is built.
    for (const std::string &s : list)
        if (s.size() >= static_cast<size_t>(QYCHK_MAX_STATEMENT)) {
            say(vx_msgf(obmain_ob_nlsfd, QY_TOO_LONG));
            return 0;
        }

    char **out = static_cast<char **>(vx_malloc(static_cast<long>(sizeof(char *) * list.size()), 1));
    for (size_t i = 0; i < list.size(); i++)
        out[i] = stralloc(list[i].c_str());
    *statements = out;
    *count = static_cast<int>(list.size());
    return 1;
}

void qy_free_query(char **statements, int count)
{
    if (!statements)
        return;
    for (int i = 0; i < count; i++)
        vx_free(statements[i]);
    vx_free(statements);
}
