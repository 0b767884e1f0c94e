// The procedure recorder and the procedure file writer.

#include "prmgr.h"

#include <cstring>
#include <memory>

PrGraphWriter prmgr_graph_writer{};

namespace {

struct PrSubprocedure {
    std::vector<std::unique_ptr<PrQueryNode>> queries;
    void *graph = nullptr;
};

struct PrProcedure {
    std::vector<std::unique_ptr<PrQueryNode>> queries;  // no-data nodes, in order
    std::vector<PrSubprocedure> subprocedures;          // closed ones
};

PrProcedure procedure;
PrSubprocedure subprocedure;  // the open one
std::unique_ptr<PrQueryNode> dsquery, ndsquery;
int current_time = 0;

// At most `max` bytes, never ending inside a multibyte character.
std::string bounded(const char *text, size_t max)
{
    if (!text)
        return "";
    size_t n = strnlen(text, max + 1);
    if (n > max) {
        n = max;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            n--;
    }
    return std::string(text, n);
}

std::unique_ptr<PrQueryNode> make_node(const std::vector<std::string> &statements)
{
    auto node = std::make_unique<PrQueryNode>();
    node->id = current_time++;
    node->statements = statements;
    return node;
}

}  // namespace

// ---- recording ------------------------------------------------------------------

void prmgr_pr_new_procedure()
{
    procedure = PrProcedure{};
    subprocedure = PrSubprocedure{};
    dsquery.reset();
    ndsquery.reset();
    current_time = 0;
}

void prmgr_pr_register_query(const std::vector<std::string> &statements, int kind)
{
    switch (kind) {
    case PR_DATA:
        dsquery = make_node(statements);
        break;
    case PR_NODATA:
        ndsquery = make_node(statements);
        break;
    case PR_NODATA_DIRECT:
        procedure.queries.push_back(make_node(statements));
        break;
    default:
        fputs("Error! PrMgr. Unknown query kind\n", stderr);
        break;
    }
}

void prmgr_pr_register_query(char *const *statements, int count, int kind)
{
    std::vector<std::string> list;
    for (int i = 0; statements && i < count; i++)
        list.emplace_back(statements[i] ? statements[i] : "");
    prmgr_pr_register_query(list, kind);
}

void prmgr_pr_record_hook(char **statements, int count)
{
    prmgr_pr_register_query(statements, count, PR_NODATA_DIRECT);
}

void prmgr_remember_prompt(std::vector<PrPrompt> &list, const char *name, const char *text)
{
    list.push_back(PrPrompt{bounded(name, PR_NAME_MAX), bounded(text, PR_PROMPT_MAX)});
}

void prmgr_pr_register_prompt(const char *name, const char *text, int kind)
{
    PrQueryNode *node = kind == PR_DATA ? dsquery.get() : kind == PR_NODATA ? ndsquery.get() : nullptr;
    if (!node) {
        fputs("Error! PrMgr. Prompt but no query registered\n", stderr);
        return;
    }
    prmgr_remember_prompt(node->prompts, name, text);
}

void prmgr_pr_register_pipe(const char *command)
{
    if (!ndsquery) {
        fputs("Error! PrMgr. Pipeline but no query registered\n", stderr);
        return;
    }
    ndsquery->has_pipe = true;
    ndsquery->pipe = bounded(command, PR_PIPE_MAX);
}

void prmgr_pr_retain_query(int kind)
{
    std::unique_ptr<PrQueryNode> &pending = kind == PR_DATA ? dsquery : ndsquery;
    if ((kind != PR_DATA && kind != PR_NODATA) || !pending) {
        fputs("Error! PrMgr. No query bundle to retain\n", stderr);
        return;
    }
    if (kind == PR_DATA)
        subprocedure.queries.push_back(std::move(pending));
    else
        procedure.queries.push_back(std::move(pending));
}

void prmgr_pr_end_subprocedure(void *graph)
{
    if (subprocedure.queries.empty()) {
        fputs("Error! PrMgr. Null subprocedure or no queries\n", stderr);
        return;
    }
    subprocedure.graph = graph;
    procedure.subprocedures.push_back(std::move(subprocedure));
    subprocedure = PrSubprocedure{};
}

int prmgr_pr_query_registered(int kind) { return prmgr_pr_registered_query(kind) ? 1 : 0; }

const PrQueryNode *prmgr_pr_registered_query(int kind)
{
    return kind == PR_DATA ? dsquery.get() : kind == PR_NODATA ? ndsquery.get() : nullptr;
}

int prmgr_pr_active_procedure()
{
    return !procedure.subprocedures.empty() || !subprocedure.queries.empty() || !procedure.queries.empty();
}

// ---- writing --------------------------------------------------------------------

namespace {

// A text on one line of the file: a line break would end the line early.
std::string one_line(const std::string &text)
{
    std::string s = text;
    for (char &c : s)
        if (c == '\n' || c == '\r')
            c = ' ';
    return s;
}

void write_node(FILE *f, const PrQueryNode &node, bool data)
{
    fprintf(f, "%s\n", "startquery");
    if (data)
        fprintf(f, "\t%s\n", "data");
    else if (node.has_pipe)
        fprintf(f, "\t%s %s\n", "pipe", one_line(node.pipe).c_str());
    else
        fprintf(f, "\t%s\n", "nodata");
    for (const PrPrompt &p : node.prompts)
        fprintf(f, "\t%s %s %s\n", "prompt", one_line(p.name).c_str(), one_line(p.text).c_str());
    for (const std::string &s : node.statements)
        fprintf(f, "\t%s %s\n", "query", one_line(s).c_str());
    fprintf(f, "%s\n", "endquery");
}

void write_graph_block(FILE *f, void *graph)
{
    fprintf(f, "%s\n", "startgraph");
    const PrGraphWriter &g = prmgr_graph_writer;
    int x = 0, y = 0, w = 0, h = 0, order = 3, cw = 0, ch = 0;
    if (graph && g.geometry && g.canvas_size && g.write_format && g.geometry(graph, &x, &y, &w, &h, &order)) {
        g.canvas_size(&cw, &ch);
        // A canvas of one pixel or none leaves nothing to divide by.
        double xd = cw > 1 ? cw - 1 : 1, yd = ch > 1 ? ch - 1 : 1;
        double wd = cw > 0 ? cw : 1, hd = ch > 0 ? ch : 1;
        fprintf(f, "%s %8.2lf %8.2lf\n", "position", x * 100.0 / xd, y * 100.0 / yd);
        fprintf(f, "%s %8.2lf %8.2lf\n", "size", w * 100.0 / wd, h * 100.0 / hd);
        fprintf(f, "%s %d\n", "order", order);
        g.write_format(f, graph);
    }
    fprintf(f, "%s\n", "endgraph");
}

// The data nodes of a group merged with the no-data nodes from `next` on:
// a no-data node older than the next data node goes first; on equal ids
// the data node does.
void merge(FILE *f, const std::vector<std::unique_ptr<PrQueryNode>> &data, size_t &next)
{
    const auto &nodata = procedure.queries;
    for (const auto &d : data) {
        while (next < nodata.size() && nodata[next]->id < d->id)
            write_node(f, *nodata[next++], false);
        write_node(f, *d, true);
    }
}

}  // namespace

int prmgr_pr_write_procedure(FILE *file, int graph_output, void *current_graph)
{
    if (!file)
        return -1;
    fprintf(file, "%s\n", graph_output ? "graph" : "table");
    size_t next = 0;
    for (const PrSubprocedure &sub : procedure.subprocedures) {
        write_graph_block(file, sub.graph);
        merge(file, sub.queries, next);
    }
    // The open group.  Its graph block is written only when a query block
    // follows it: a graph block at the end of a file does not replay.
    const auto &nodata = procedure.queries;
    if (!subprocedure.queries.empty() || next < nodata.size() || dsquery) {
        write_graph_block(file, current_graph);
        merge(file, subprocedure.queries, next);
        bool pending = dsquery != nullptr;
        for (; next < nodata.size(); next++) {
            if (pending && nodata[next]->id > dsquery->id) {
                write_node(file, *dsquery, true);
                pending = false;
            }
            write_node(file, *nodata[next], false);
        }
        if (pending)
            write_node(file, *dsquery, true);
    }
    fflush(file);
    return ferror(file) ? -1 : 0;
}
