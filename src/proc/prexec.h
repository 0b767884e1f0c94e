// The procedure reader: replays a procedure file.  It runs the queries
// again, asks the variable prompts again, recreates each graph with its
// place, size, data order and format, and records everything again as it
// goes, so that a replayed procedure can be saved anew.
//
// The display window's graph view, the workspace's interaction mode and
// the comma-separated output of the transfer module are reached through
// `prexec_hooks`; what is left empty is not there (a file of graphs, or
// output as comma-separated text, then answers that it is not available).
#pragma once

#include <X11/Intrinsic.h>
#include <nl_types.h>

#include <cstdio>
#include <string>

struct PrExecHooks {
    // Whether the display shows graphs (null: the table).
    int (*showing_graphs)();
    // Switches the display to the graph view (1) or the table (0); 0 when
    // it cannot.
    int (*show_graphs)(int on);
    void (*clear_graphs)();
    // Makes a graph at the place and size (pixels) and reads its format
    // from the file, which it leaves behind the format's closing line; 0
    // when the format cannot be read.
    int (*create_graph)(int x, int y, int width, int height, FILE *file);
    void (*canvas_size)(int *width, int *height);
    // The focussed graph, and keeping the current dataset in it.
    void *(*focussed_graph)();
    void (*keep_dataset)();
    // The data order new data is shown with.
    int (*data_order)();
    void (*set_data_order)(int order);
    // The workspace's interaction mode (2 busy).
    int (*get_mode)();
    void (*set_mode)(int mode);
    // Writes the rows of a statement as comma-separated text; its result
    // is the answer of the output.
    int (*output_csv)(const char *statement, FILE *file, int mode);
    // The shells of the prompts (display) and of the question before a
    // CSV file is replaced (query window); none: nothing is asked.
    Widget display_shell;
    Widget query_shell;
    nl_catd catd;
    int run_mode;
};
extern PrExecHooks prexec_hooks;

// Replays the open file.  1 when the replay ran to its end or stopped at a
// failing query, 0 when the file does not follow the grammar or the data
// came back otherwise than recorded.  With `to_csv` only the CSV file at
// `csv_path` is written (exec_output_to_csv).
int prexec_pr_execute_procedure(FILE *file, int no_prompts, int to_csv, const char *csv_path, int csv_mode);
// Where and why the last replay that answered 0 stopped ("Line 7: ..."),
// empty when the file was not at fault.
const std::string &prexec_pr_fault_text();
// The callback at the end of a replay (none: nothing).
void prexec_pr_on_eop(void (*callback)());
// The display has shown the new data.
void prexec_pr_notify_data_handled();
// The first data query of the file written as comma-separated text to
// `path`.  Mode 0 asks before an existing file is replaced.
int exec_output_to_csv(FILE *file, const char *path, int mode);
