// The procedure file grammar.

#include "prread.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t WORD_MAX = 63;

PrReadFault last_fault;

// The line the reading stopped in: a line whose break was read is the
// one that ended there.
int line_at(FILE *f)
{
    long pos = ftell(f);
    if (pos < 0 || fseek(f, 0, SEEK_SET) != 0)
        return 0;
    int line = 1;
    int c = EOF;
    for (long i = 0; i < pos && (c = getc(f)) != EOF; i++)
        if (c == '\n' && i + 1 < pos)
            line++;
    fseek(f, pos, SEEK_SET);
    return line;
}

// Records why the walk stops here; always 0.
int fault(FILE *f, int kind, const std::string &word = "")
{
    if (last_fault.kind == PR_FAULT_NONE) {
        last_fault.kind = kind;
        last_fault.word = word;
        last_fault.line = line_at(f);
    }
    return 0;
}

// A word that was expected but is not there: the end, or a wrong word.
int wrong(FILE *f, bool read, const std::string &word)
{
    return fault(f, read ? PR_FAULT_WORD : PR_FAULT_END, word);
}

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

bool real_word(FILE *f, double &value)
{
    std::string w;
    if (!prread_word(f, w))
        return false;
    char *end = nullptr;
    errno = 0;
    value = strtod(w.c_str(), &end);
    // Geometry far outside the canvas is not a graph's: it would not even
    // convert to pixels.
    return end && *end == '\0' && errno == 0 && std::isfinite(value) && std::fabs(value) <= 10000.0;
}

bool int_word(FILE *f, int &value)
{
    std::string w;
    if (!prread_word(f, w))
        return false;
    char *end = nullptr;
    errno = 0;
    long v = strtol(w.c_str(), &end, 10);
    if (!end || *end != '\0' || w.empty() || errno != 0 || v < -1000000 || v > 1000000)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool expect(FILE *f, const char *keyword)
{
    std::string w;
    bool read = prread_word(f, w);
    if (read && w == keyword)
        return true;
    wrong(f, read, w);
    return false;
}

// Step 4: the graph block after "startgraph".
int graph_block(FILE *f, const PrReplayOps &ops, PrGraphBlock &g)
{
    g = PrGraphBlock{};
    std::string w;
    if (!prread_word(f, w))
        return fault(f, PR_FAULT_END);
    if (w == "endgraph")
        return 1;
    if (w != "position")
        return wrong(f, true, w);
    if (!real_word(f, g.x) || !real_word(f, g.y))
        return fault(f, PR_FAULT_NUMBER);
    if (!expect(f, "size"))
        return 0;
    if (!real_word(f, g.width) || !real_word(f, g.height))
        return fault(f, PR_FAULT_NUMBER);
    if (!expect(f, "order"))
        return 0;
    if (!int_word(f, g.order) || g.order < 1 || g.order > 6)
        return fault(f, PR_FAULT_NUMBER);
    g.graph = true;
    if (!ops.graph(ops.client, g, f))
        return fault(f, PR_FAULT_GRAPH);
    return expect(f, "endgraph") ? 1 : 0;
}

// Steps 6 to 9: one query block after "startquery".  -1 when a statement
// failed (the replay ends with 1).
int query_block(FILE *f, const PrReplayOps &ops, const PrGraphBlock &g)
{
    PrQueryBlock b;
    std::string w, text;
    if (!prread_word(f, w))
        return fault(f, PR_FAULT_END);
    if (w == "data") {
        b.kind = PR_BLOCK_DATA;
    } else if (w == "nodata") {
        b.kind = PR_BLOCK_NODATA;
    } else if (w == "pipe") {
        b.kind = PR_BLOCK_PIPE;
        if (!prread_rest(f, b.pipe, 128) || b.pipe.empty())
            return fault(f, PR_FAULT_LINE);
    } else {
        return wrong(f, true, w);
    }
    for (;;) {
        if (!prread_word(f, w))
            return fault(f, PR_FAULT_END);
        if (w == "prompt" && b.statements.empty()) {
            std::string name;
            if (!prread_word(f, name))
                return fault(f, PR_FAULT_END);
            if (name.size() > 12)
                return fault(f, PR_FAULT_PROMPT_NAME, name);
            if (!prread_rest(f, text, 82))
                return fault(f, PR_FAULT_LINE);
            ops.prompt(ops.client, b, name, text);
        } else if (w == "query") {
            if (!prread_rest(f, text, PR_STATEMENT_MAX) || text.empty())
                return fault(f, PR_FAULT_LINE);
            int r = ops.statement(ops.client, b, text, b.statements.empty(), g);
            if (r == PR_STATEMENT_FAILED)
                return -1;
            if (r != PR_STATEMENT_OK)
                return fault(f, PR_FAULT_DATA);
            b.statements.push_back(text);
        } else if (w == "endquery" && !b.statements.empty()) {
            return ops.end_block(ops.client, b, g) ? 1 : fault(f, PR_FAULT_DATA);
        } else {
            return wrong(f, true, w);
        }
    }
}

}  // namespace

bool prread_word(FILE *f, std::string &word)
{
    word.clear();
    int c;
    while ((c = getc(f)) != EOF && (is_blank(c) || c == '\n')) {
    }
    if (c == EOF)
        return false;
    bool too_long = false;
    while (c != EOF && !is_blank(c) && c != '\n') {
        if (word.size() < WORD_MAX)
            word.push_back(static_cast<char>(c));
        else
            too_long = true;
        c = getc(f);
    }
    if (c == '\n')
        ungetc(c, f);
    if (too_long)
        word = "?";
    return true;
}

bool prread_rest(FILE *f, std::string &text, size_t max)
{
    text.clear();
    int c;
    while ((c = getc(f)) != EOF && is_blank(c)) {
    }
    bool fits = true;
    while (c != EOF && c != '\n') {
        if (text.size() < max)
            text.push_back(static_cast<char>(c));
        else
            fits = false;
        c = getc(f);
    }
    // A line ending "\r\n" keeps no carriage return.
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return fits;
}

const PrReadFault &prread_last_fault() { return last_fault; }

int prread_walk(FILE *f, const PrReplayOps &ops, bool graph_header)
{
    last_fault = PrReadFault{};
    std::string w;
    if (!f)
        return 0;
    if (!prread_word(f, w))
        return fault(f, PR_FAULT_END);
    int graphs;
    if (w == "graph")
        graphs = 1;
    else if (w == "table")
        graphs = graph_header ? 1 : 0;
    else
        return wrong(f, true, w);
    if (!ops.header(ops.client, graphs))
        return fault(f, PR_FAULT_VIEW);
    if (!prread_word(f, w)) {
        ops.end(ops.client);
        return 1;
    }
    if (w != "startgraph")
        return wrong(f, true, w);
    PrGraphBlock g;
    for (;;) {
        if (!graph_block(f, ops, g))
            return 0;
        if (!expect(f, "startquery"))
            return 0;
        for (;;) {
            int r = query_block(f, ops, g);
            if (r < 0)
                return 1;
            if (r == 0)
                return 0;
            if (!prread_word(f, w)) {
                ops.end(ops.client);
                return 1;
            }
            if (w == "startquery")
                continue;
            if (w != "startgraph")
                return wrong(f, true, w);
            ops.next_group(ops.client);
            break;
        }
    }
}
