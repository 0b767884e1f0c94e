// The procedure recorder: every query that ran successfully, with the
// variable prompts that preceded it and, for table output sent to a shell
// command, the pipe command.  Queries that produced data are grouped with
// the graph that shows them (a subprocedure); queries without data form
// the procedure's own list.  The writer turns the recording into a
// procedure file (see prexec.h for the reader).
//
// Misuse (a prompt or pipe with no query to hold it, a retain with nothing
// pending, closing an empty subprocedure) prints a line on standard error
// and changes nothing.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Bounds of the texts a node keeps.
inline constexpr size_t PR_NAME_MAX = 12;    // a variable name
inline constexpr size_t PR_PROMPT_MAX = 82;  // a prompt text
inline constexpr size_t PR_PIPE_MAX = 128;   // a pipe command

struct PrPrompt {
    std::string name;  // at most PR_NAME_MAX bytes
    std::string text;  // at most PR_PROMPT_MAX bytes
};

struct PrQueryNode {
    int id = 0;  // the recorder's sequence number at creation
    std::vector<std::string> statements;
    std::vector<PrPrompt> prompts;
    bool has_pipe = false;
    std::string pipe;  // at most PR_PIPE_MAX bytes
};

// Query kinds of the registration calls.
inline constexpr int PR_DATA = 0;
inline constexpr int PR_NODATA = 1;
inline constexpr int PR_NODATA_DIRECT = 2;  // straight onto the procedure's list

// ---- recording ------------------------------------------------------------------

// Frees the whole recording and starts an empty one; ids restart at 0.
void prmgr_pr_new_procedure();
// Copies `count` statements into a new node: kind 0 the pending data query,
// 1 the pending no-data query (each replaces the previous pending one of
// its kind), 2 appended to the procedure's no-data list at once.
void prmgr_pr_register_query(char *const *statements, int count, int kind);
void prmgr_pr_register_query(const std::vector<std::string> &statements, int kind);
// Appends a prompt to the pending data (0) or no-data (1) query.
void prmgr_pr_register_prompt(const char *name, const char *text, int kind);
void prmgr_remember_prompt(std::vector<PrPrompt> &list, const char *name, const char *text);
// Sets the pipe command of the pending no-data query.
void prmgr_pr_register_pipe(const char *command);
// Kind 0: the pending data query joins the open subprocedure; kind 1: the
// pending no-data query joins the procedure.
void prmgr_pr_retain_query(int kind);
// Closes the open subprocedure with the graph that showed it and opens a
// new one.
void prmgr_pr_end_subprocedure(void *graph);
int prmgr_pr_query_registered(int kind);
const PrQueryNode *prmgr_pr_registered_query(int kind);
// Whether anything is recorded: a closed subprocedure, a data query in
// the open one or a no-data query of the procedure.
int prmgr_pr_active_procedure();
// The statement-list form of kind 2, for the database commands' hook.
void prmgr_pr_record_hook(char **statements, int count);

// ---- writing --------------------------------------------------------------------

// What the writer needs of the graph model for a graph block.  A graph
// that the hooks do not know (or no hooks) is written as an empty block.
struct PrGraphWriter {
    // The graph's place and size on the canvas and the data order of the
    // dataset it keeps (3 none); 0 when the graph no longer exists.
    int (*geometry)(void *graph, int *x, int *y, int *width, int *height, int *order);
    void (*canvas_size)(int *width, int *height);
    // The graph format text, ending with its own closing line.
    void (*write_format)(FILE *file, void *graph);
};
extern PrGraphWriter prmgr_graph_writer;

// Writes the recording as a procedure file: the header by the output
// mode, then the graphs with their queries, every node once, merged in id
// order.  0, or -1 when the file reported a write error.
int prmgr_pr_write_procedure(FILE *file, int graph_output, void *current_graph);
