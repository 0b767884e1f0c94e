// Schema headers: the open database's tables, or the columns of a query's
// result, as C record types for programs written against the database's
// programming interface.

#include "wsdict.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char *type_name(int type)
{
    static const char *const names[] = {"TSTRING", "TLONG", "TSHORT", "TREAL",      "TDATE", "TTIME",
                                        "TCOMPLEX", "TBOOL", "TCHAR",  "TSHORTREAL", "TBYTE", "TBLOB"};
    return type >= 0 && type < 12 ? names[type] : "TBYTE";
}

// A name fit for C: "#" and "%" become "X" first and "_" elsewhere, then
// upper or lower case.
std::string clean(const char *name, bool upper)
{
    std::string s = name ? name : "";
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '#' || s[i] == '%')
            s[i] = i == 0 ? 'X' : '_';
        s[i] = static_cast<char>(upper ? toupper(static_cast<unsigned char>(s[i]))
                                       : tolower(static_cast<unsigned char>(s[i])));
    }
    return s;
}

// What a member needs to know of its column.
struct Member {
    std::string lower, upper;
    int type = 0;
    int length = 0;
    long array = 0;  // element count, 0 single
    bool var = false;
    int ndims = 0;
    const int32_t *dims = nullptr;
    bool null = false;
};

// The size macros of one column; true when any was written.
bool write_macros(FILE *f, const Member &m)
{
    bool any = false;
    if (m.array > 0) {
        if (m.ndims <= 1) {
            fprintf(f, "#ifndef %s_ARRAY_SIZE\n", m.upper.c_str());
            fprintf(f, "#\tdefine %s_ARRAY_SIZE\t%ld\n", m.upper.c_str(), m.array);
            fprintf(f, "#endif\n");
        } else {
            for (int i = 1; i <= m.ndims; i++) {
                fprintf(f, "#ifndef %s_DIM_%d_SIZE\n", m.upper.c_str(), i);
                fprintf(f, "#\tdefine %s_DIM_%d_SIZE\t%d\n", m.upper.c_str(), i, m.dims[i - 1]);
                fprintf(f, "#endif\n");
            }
        }
        any = true;
    }
    if (m.type == 0) {
        fprintf(f, "#ifndef %s_STRING_LEN\n", m.upper.c_str());
        fprintf(f, "#\tdefine %s_STRING_LEN\t%d\n", m.upper.c_str(), m.length);
        fprintf(f, "#endif\n");
        any = true;
    }
    return any;
}

// "  TYPE name[...]" without the end of the line.
void write_member(FILE *f, const Member &m)
{
    fprintf(f, "  %s %s", type_name(m.type), m.lower.c_str());
    if (m.array > 0) {
        if (m.ndims <= 1) {
            fprintf(f, "[%s_ARRAY_SIZE]", m.upper.c_str());
        } else {
            // One bracket per dimension: "[a,b]" would be a comma
            // expression, which no C compiler takes as a size.
            for (int i = 1; i <= m.ndims; i++)
                fprintf(f, "[%s_DIM_%d_SIZE]", m.upper.c_str(), i);
        }
    }
    if (m.type == 0)
        fprintf(f, "[%s_STRING_LEN+1]", m.upper.c_str());
}

void write_flag(FILE *f, const Member &m) { fprintf(f, "  TFLAG f_%s ;\n", m.lower.c_str()); }

void write_length(FILE *f, const Member &m)
{
    fprintf(f, "  TLONG l_%s ;\t/* Actual length of %s */\n", m.lower.c_str(), m.lower.c_str());
}

Member member_of(const DictColumn *c)
{
    Member m;
    m.lower = clean(c->name, false);
    m.upper = clean(c->name, true);
    m.null = c->null != 0;
    if (const DictItem *it = c->item) {
        m.type = it->type;
        m.length = it->length;
        m.array = static_cast<long>(it->array_size);
        m.var = it->var != 0;
        m.ndims = it->ndims;
        m.dims = it->dims;
    }
    return m;
}

void table_pass(FILE *f, bool flags)
{
    for (DictRelation *r = wsdict_dictionary ? wsdict_dictionary->relations : nullptr; r; r = r->next) {
        if (r->name[0] == '%')
            continue;
        const std::string t = clean(r->name, false), tu = clean(r->name, true);
        fprintf(f, "/* Structure for table %s\n", r->name);
        fprintf(f, "*/\n");
        if (!flags) {
            bool any = false;
            for (DictColumn *c = r->columns; c; c = c->next)
                if (c->item)
                    any = write_macros(f, member_of(c)) || any;
            if (any)
                fprintf(f, "\n");
        }
        fprintf(f, flags ? "typedef struct a_%s_fstruct {\n" : "typedef struct a_%s_struct {\n", t.c_str());
        for (DictColumn *c = r->columns; c; c = c->next) {
            if (!c->item)
                continue;  // nothing to type it by
            const Member m = member_of(c);
            if (flags)
                write_flag(f, m);
            if (m.var)
                write_length(f, m);
            write_member(f, m);
            fprintf(f, m.null ? " ;\t/* Allows NULL */\n" : " ;\n");
        }
        fprintf(f, flags ? "} %s_FREC, *%s_FREC_PTR ;\n\n" : "} %s_REC, *%s_REC_PTR ;\n\n", tu.c_str(), tu.c_str());
    }
}

// A statement inside a C comment: a "*/" in it would end the comment.
std::string comment_safe(const char *text)
{
    std::string s = text ? text : "";
    for (size_t at; (at = s.find("*/")) != std::string::npos;)
        s.replace(at, 2, "* /");
    return s;
}

}  // namespace

void wsdict_ws_write_schema(FILE *f)
{
    if (!f || !wsdict_dictionary)
        return;
    const char *db = wsdict_dictionary->database;
    fprintf(f, "/* Database %s\n", db);
    fprintf(f, "   Equivalent C structure definitions.\n");
    fprintf(f, "   (To use structures with flags i.e presence indicators,\n");
    fprintf(f, "    define the symbol SCHEMA_USE_FLAGS.)\n");
    fprintf(f, "*/\n");
    // The guard is a C name whatever characters the database's name has.
    const std::string guard = clean(db, true);
    fprintf(f, "#ifndef %s_SCHEMA_INCLUDED\n", guard.c_str());
    fprintf(f, "#define %s_SCHEMA_INCLUDED 1\n\n", guard.c_str());
    fprintf(f, "#include \"progif.c.h\"\n\n");
    fprintf(f, "/* Definition without flags\n");
    fprintf(f, "*/\n\n");
    table_pass(f, false);
    fprintf(f, "/* Definition with flags\n");
    fprintf(f, "*/\n");
    fprintf(f, "#ifdef SCHEMA_USE_FLAGS\n\n");
    table_pass(f, true);
    fprintf(f, "#endif\n");
    fprintf(f, "#endif\n");
}

void wsdict_ws_write_query_schema(FILE *f, char **texts, int count, const DozColDesc *columns, int query, int header)
{
    if (!f)
        return;
    if (header) {
        fprintf(f, "/* Schema for queries\n");
        fprintf(f, "   Equivalent C structure definitions.\n");
        fprintf(f, "   (To use structures with flags i.e presence indicators,\n");
        fprintf(f, "    define the symbol SCHEMA_USE_FLAGS.)\n");
        fprintf(f, "*/\n");
        fprintf(f, "#include \"progif.c.h\"\n\n");
    }
    fprintf(f, "/* Structure for query %d\n", query);
    for (int i = 0; texts && i < count; i++)
        fprintf(f, "     %s\n", comment_safe(texts[i]).c_str());
    fprintf(f, "*/\n");

    std::vector<Member> members;
    for (int i = 0; columns && columns[i].type != -1; i++) {
        const DozColDesc &d = columns[i];
        char field[32];
        std::string name(d.name, strnlen(d.name, sizeof d.name));
        if (name.empty()) {
            snprintf(field, sizeof field, "FIELD_%d", i + 1);
            name = field;
        }
        Member m;
        m.lower = clean(name.c_str(), false);
        m.upper = clean(name.c_str(), true);
        m.type = d.type;
        m.length = d.width;
        m.array = labs(static_cast<long>(d.count));
        m.var = d.count < 0;
        members.push_back(m);
    }
    bool any = false;
    for (const Member &m : members)
        any = write_macros(f, m) || any;
    if (any)
        fprintf(f, "\n");
    fprintf(f, "typedef struct a_query_%d_struct {\n", query);
    for (const Member &m : members) {
        if (m.var)
            write_length(f, m);
        write_member(f, m);
        fprintf(f, " ;\n");
    }
    fprintf(f, "} QUERY_%d_REC, *QUERY_%d_REC_PTR ;\n\n", query, query);
    fprintf(f, "#ifdef SCHEMA_USE_FLAGS\n");
    fprintf(f, "typedef struct a_query_%d_fstruct {\n", query);
    for (const Member &m : members) {
        write_flag(f, m);
        if (m.var)
            write_length(f, m);
        write_member(f, m);
        fprintf(f, " ;\n");
    }
    fprintf(f, "} QUERY_%d_FREC, *QUERY_%d_FREC_PTR ;\n", query, query);
    fprintf(f, "#endif\n\n");
}
