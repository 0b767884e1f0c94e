// A graph's format written to and read from a graph format file, over the
// property table: values are taken with the property getter (unevaluated,
// so text variables stay as written) and set with the property setter,
// which reduces or refuses a qualifier and says so.

#include "gofile.h"

#include "gomain.h"
#include "goobj.h"
#include "goprop.h"

namespace {

// The longest text a property takes from a file: the bodies of the
// annotation texts and the titles that land in them hold a page, every
// other text is short.
int string_bound(int property)
{
    switch (property) {
    case GP_ANNOTBODY:
    case GP_XTITLE:
    case GP_YTITLE:
    case GP_ZTITLE:
    case GP_TITLE:
    case GP_SYTITLE: return GOFILE_BODY_MAX;
    default: return GOFILE_STRING_MAX;
    }
}

bool lookup(void *, const char *name, GoFileProperty *row)
{
    if (!goprop_go_lookup_property(name, &row->index, &row->qualifiers, &row->access, &row->type))
        return false;
    row->bound = string_bound(row->index);
    return true;
}

void set(void *client, const GoFileProperty &row, int qualifier, const void *value)
{
    goprop_go_set_property(static_cast<GoGraph *>(client), row.index, qualifier, value);
}

}  // namespace

void gofile_go_write_graph(GoGraph *graph, FILE *stream)
{
    if (!graph || !stream)
        return;
    for (int p = 0; p < GO_FORMAT_PROPERTIES; p++) {
        const char *name = nullptr;
        int count = 0, access = 0, type = 0;
        if (!goprop_go_inquire_property(p, &name, &count, &access, &type) || access != 1)
            continue;
        for (int q = 0; q < (count > 0 ? count : 1); q++) {
            gofile_go_write_property_name(stream, name);
            if (count > 0)
                gofile_go_write_qualifier_number(stream, q);
            gofile_go_write_property_value(stream, type, goprop_go_property(graph, p, q, 0));
            putc('\n', stream);
        }
    }
    gobj_go_write_object_properties(graph, stream);
    fputs("\t;\n", stream);
}

int gofile_go_read_graph(GoGraph *graph, FILE *stream)
{
    if (!graph)
        return 0;
    gobj_go_reset_objects(graph);
    if (!graph->format)
        return 0;
    return gofile_read_format(stream, GoFileSink{graph, lookup, set});
}
