// Graph format files: the user's own and the shared format directories,
// the user's default format, loading a format into the selected graph and
// saving the selected graph's format, and the Graph pane's file commands
// (Load, Load default, Save, Save as, Save default, Delete) with the
// apply procedures of the format file dialog (40).
#pragma once

#include "dlmain.h"
#include "dlvalues.h"

#include <X11/Intrinsic.h>

#include <string>

struct GoGraph;

// Load: 0 loaded, 1 not found (66/27 with the last path tried), 2 not
// readable as a format (66/28; the lines before the fault stay), 3 loaded
// but the graph view refused the change of kind.  A name with a "/" is a
// path; any other is looked for along VX_FORMAT_PATH, in the own and then
// the shared directory.
int mngraph_mn_load_graph_format(const char *name);
// Save: 0 saved, 1 empty name, 4 name over 255 characters, 5 directory not
// made (66/30), 6 file not written (66/27; an older file stays as it was).
// `where`: 2 the name is a path, 1 the own directory, 0 the shared one.
int mngraph_mn_save_graph_format(GoGraph *graph, const char *name, int where);

// Sets both directories for the user; a change of user reads the user's
// ".DEFAULT" (once) into the default format.
void mngraph_mn_set_graph_dirs(const char *user);
// A graph is selected and its format has a name.
int mngraph_mn_have_named_graph();

const std::string &mngraph_own_dir();
const std::string &mngraph_shared_dir();
GraphFileValue *mngraph_graph_value();

// The apply procedures of dialog 40.
void mngraph_load_proc(DialogRecord *rec, int *done);
void mngraph_save_as_proc(DialogRecord *rec, int *done);
void mngraph_delete_proc(DialogRecord *rec, int *done);

// Menu commands (codes 44-49).
void mngraph_mn_load_graph(Widget w);
void mngraph_mn_load_default_graph(Widget w);
void mngraph_mn_save_graph(Widget w);
void mngraph_mn_save_as_graph(Widget w);
void mngraph_mn_save_default_graph(Widget w);
void mngraph_mn_delete_graph(Widget w);

// Where the file commands' error boxes go (tests: set, number and text;
// none: the display shell's error box).
void mngraph_set_error_sink(void (*sink)(int set, int number, const std::string &text));
