// A graph's format written to and read from a graph format file, over the
// property table.  Values held by the annotation objects are reached
// through the object layer directly, so that a graph without objects
// reads and writes them as automatic without complaint.

#include "gofile.h"

#include "gomain.h"
#include "goprop.h"
#include "seams.h"

namespace {

const void *raw_value(GoGraph *graph, int property, int qualifier)
{
    if (goprop_go_property_in_objects(property)) {
        void *v = nullptr;
        gobj_go_get_obj_property(graph, property, qualifier, 0, &v);
        return v;
    }
    return goprop_go_property(graph, property, qualifier, 0);
}

bool lookup(void *, const char *name, GoFileProperty *row)
{
    return goprop_go_lookup_property(name, &row->index, &row->qualifiers, &row->access, &row->type) != 0;
}

void set(void *client, const GoFileProperty &row, int qualifier, const void *value)
{
    auto *graph = static_cast<GoGraph *>(client);
    if (goprop_go_property_in_objects(row.index))
        gobj_go_set_obj_property(graph, row.index, qualifier, value);
    else
        goprop_go_set_property(graph, row.index, qualifier, value);
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
            gofile_go_write_property_value(stream, type, raw_value(graph, p, q));
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
