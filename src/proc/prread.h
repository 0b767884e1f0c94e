// The procedure file grammar, walked step by step.  The walk itself runs
// nothing: what a step does (switching the view, making a graph, asking a
// prompt, running a statement, recording a block) is the caller's table of
// operations, so that the reader can be checked on any input alone.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

inline constexpr size_t PR_STATEMENT_MAX = 6000;  // one statement line

// Block kinds.
enum PrBlockKind : int { PR_BLOCK_DATA = 0, PR_BLOCK_NODATA = 1, PR_BLOCK_PIPE = 2 };

// A graph block: none, or its geometry in percent of the canvas and the
// data order.
struct PrGraphBlock {
    bool graph = false;
    double x = 0, y = 0, width = 0, height = 0;
    int order = 3;
};

// What a statement did.
enum PrStatementResult : int {
    PR_STATEMENT_OK = 0,
    PR_STATEMENT_FAILED = 1,   // the replay stops here and answers 1
    PR_STATEMENT_INVALID = 2,  // not as recorded: the replay answers 0
};

struct PrQueryBlock {
    int kind = PR_BLOCK_DATA;
    std::string pipe;
    std::vector<std::pair<std::string, std::string>> prompts;  // name, text
    std::vector<std::string> statements;                       // run so far
    bool had_data = false;
};

// The operations of a replay.  Every entry must be set.
struct PrReplayOps {
    void *client;
    // The header: 0 table, 1 graphs.  0 refuses the replay.
    int (*header)(void *client, int graphs);
    // A graph block has been read up to the graph format, which the
    // operation reads from the file; 0 refuses the replay.
    int (*graph)(void *client, const PrGraphBlock &block, FILE *file);
    // A further graph block begins: the previous group is closed.
    void (*next_group)(void *client);
    // One prompt line of a block (before its statements).
    void (*prompt)(void *client, PrQueryBlock &block, const std::string &name, const std::string &text);
    // One statement of a block; `first` for its first.
    int (*statement)(void *client, PrQueryBlock &block, const std::string &text, bool first,
                     const PrGraphBlock &graph);
    // The end of a block; 0 refuses the replay.
    int (*end_block)(void *client, PrQueryBlock &block, const PrGraphBlock &graph);
    // The end of the procedure.
    void (*end)(void *client);
};

// Walks the file.  1 when it ran to its end or stopped at a failing
// statement, 0 when the file does not follow the grammar or an operation
// refused.  `graph_header` makes any header count as "graph".
int prread_walk(FILE *file, const PrReplayOps &ops, bool graph_header = false);

// Why the last walk answered 0, and where.
enum PrReadFaultKind : int {
    PR_FAULT_NONE = 0,
    PR_FAULT_END,         // the file ends inside the procedure
    PR_FAULT_WORD,        // a word the grammar does not allow there (`word`)
    PR_FAULT_NUMBER,      // a position, size or data order that is no number or out of range
    PR_FAULT_LINE,        // a statement, pipe command or prompt empty or too long
    PR_FAULT_PROMPT_NAME, // a prompt's variable name longer than 12 characters
    PR_FAULT_GRAPH,       // the graph's format could not be read or its graph made
    PR_FAULT_VIEW,        // the display could not show the table or the graphs
    PR_FAULT_DATA,        // data came back otherwise than recorded
};
struct PrReadFault {
    int kind = PR_FAULT_NONE;
    int line = 0;         // 1 the first; 0 unknown
    std::string word;
};
const PrReadFault &prread_last_fault();

// ---- the reading steps, shared with the CSV output -------------------------------

// The next blank-separated word (at most 63 bytes; a longer one is read
// whole and answered as "?"); false at the end of the file.
bool prread_word(FILE *file, std::string &word);
// The rest of the line, leading blanks skipped, without its line break;
// false when it is longer than `max` bytes (the line is still consumed).
bool prread_rest(FILE *file, std::string &text, size_t max);
