// Graph format files: the text form of a graph's format, one saved
// property per line ("\t<name> [<qualifier> ]<value>"), the annotation
// objects' lines after them, and an end line ("\t;").  Procedure files
// carry the same lines between their own graph lines.
//
// The grammar (gofile.cpp) reads through a table of operations, so that it
// can be checked on any input alone; gofgraph.cpp binds it to a graph and
// its property table.
#pragma once

#include <cstdio>

struct GoGraph;

// Bounds of what a file may hold: a name or other word, a string value,
// and the string value of a property whose text lands in an annotation
// body (the note and the titles).
inline constexpr int GOFILE_WORD_MAX = 31;
inline constexpr int GOFILE_STRING_MAX = 109;
inline constexpr int GOFILE_BODY_MAX = 4095;

// One row of the property table as the reader needs it.
struct GoFileProperty {
    int index;
    int qualifiers;  // 0 single, n instances, -1 one per annotation object
    int access;      // 0 not settable, 1 saved, 2 settable and not saved
    int type;        // 0 text, 1 int, 2 short, 3 double
    int bound;       // the longest text value (0: GOFILE_STRING_MAX)
};

// The reader's reach into the property table and the graph.
struct GoFileSink {
    void *client;
    // The row of a name; false when there is none.
    bool (*lookup)(void *client, const char *name, GoFileProperty *row);
    // Sets a property: `value` points to an int, a short, a double or a
    // text by the row's type; null is automatic.  The qualifier is any
    // 32-bit number the file gave: reducing or refusing it is the sink's.
    void (*set)(void *client, const GoFileProperty &row, int qualifier, const void *value);
};

// Reads property lines from the current position up to and including the
// end line.  1 when the end line was reached, 0 on any failure (unknown
// name, a qualifier that is not a 32-bit decimal number, a bad value, a
// word or string beyond its bound, the end of the file first); properties
// set before a failure stay set.
int gofile_read_format(FILE *stream, const GoFileSink &sink);

// The writer's pieces: "\t<name> ", "<qualifier> ", and one value by type
// (null writes "null"; an unknown type writes nothing and says so on
// standard error).  The caller ends each line.
void gofile_go_write_property_name(FILE *stream, const char *name);
void gofile_go_write_qualifier_number(FILE *stream, int qualifier);
void gofile_go_write_property_value(FILE *stream, int type, const void *value);

// A graph's whole format: every saved property 0-196 with its instances,
// the annotation objects' lines, the end line.  Raw values (text variables
// unexpanded).
void gofile_go_write_graph(GoGraph *graph, FILE *stream);
// Reads a format into the graph (its annotation objects reset first,
// whatever the outcome); 1 when the end line was reached, else 0.
int gofile_go_read_graph(GoGraph *graph, FILE *stream);
