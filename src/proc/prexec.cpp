// The procedure reader: the operations of a replay over the grammar walk
// of prread.cpp, and the comma-separated output of a procedure.

#include "prexec.h"

#include "dlmess.h"
#include "dsmgr.h"
#include "dytab.h"
#include "obdb.h"
#include "prmgr.h"
#include "prmsgs.h"
#include "prread.h"
#include "qymgr.h"
#include "wsobj.h"

#include <cmath>
#include <cstring>
#include <string>
#include <unistd.h>

PrExecHooks prexec_hooks{};

namespace {

void (*peop)() = nullptr;
volatile int pr_handled_data = 0;

struct Replay {
    bool no_prompts = false;
    bool graphs = false;  // the display shows graphs
};

void not_available(const VxMsg<> &m)
{
    fputs(vx_msgf(prexec_hooks.catd, m).c_str(), stderr);
}

int header(void *client, int graphs)
{
    auto *r = static_cast<Replay *>(client);
    const PrExecHooks &h = prexec_hooks;
    bool showing = h.showing_graphs && h.showing_graphs();
    if (!graphs) {
        if (showing && (!h.show_graphs || !h.show_graphs(0)))
            return 0;
        r->graphs = false;
        return 1;
    }
    if (!h.show_graphs || !h.clear_graphs || !h.create_graph || !h.canvas_size) {
        not_available(PR_GRAPHS_NOT_AVAILABLE);
        return 0;
    }
    if (!showing && !h.show_graphs(1))
        return 0;
    h.clear_graphs();
    r->graphs = true;
    return 1;
}

int graph(void *, const PrGraphBlock &g, FILE *file)
{
    const PrExecHooks &h = prexec_hooks;
    if (!h.create_graph || !h.canvas_size) {
        not_available(PR_GRAPHS_NOT_AVAILABLE);
        return 0;
    }
    int width = 0, height = 0;
    h.canvas_size(&width, &height);
    auto px = [](double extent, double percent) { return static_cast<int>(std::trunc(extent * percent / 100.0)); };
    return h.create_graph(px(width - 1, g.x), px(height - 1, g.y), px(width, g.width), px(height, g.height), file);
}

void next_group(void *)
{
    prmgr_pr_end_subprocedure(prexec_hooks.focussed_graph ? prexec_hooks.focussed_graph() : nullptr);
}

void prompt(void *client, PrQueryBlock &block, const std::string &name, const std::string &text)
{
    auto *r = static_cast<Replay *>(client);
    if (!r->no_prompts) {
        const char *reply = dlmess_dialog_prompt(prexec_hooks.display_shell, prexec_hooks.catd, -1, text.c_str(), "");
        ObVariableData v{};
        v.kind = OB_VARIABLE;
        snprintf(v.name, sizeof v.name, "%s", name.c_str());
        snprintf(v.value, sizeof v.value, "%s", reply ? reply : "");
        obdb_obq_create_var(&v, 1);
    }
    block.prompts.emplace_back(name, text);
}

void end_pipe(PrQueryBlock &block)
{
    if (block.kind == PR_BLOCK_PIPE)
        dytab_dy_prepare_pipe_target(nullptr);
}

int statement(void *, PrQueryBlock &block, const std::string &text, bool first, const PrGraphBlock &)
{
    const PrExecHooks &h = prexec_hooks;
    if (block.kind == PR_BLOCK_PIPE)
        dytab_dy_prepare_pipe_target(first ? block.pipe.c_str() : "");
    int mode = h.get_mode ? h.get_mode() : 0;
    if (h.set_mode)
        h.set_mode(2);
    pr_handled_data = 0;
    qymgr_qy_query(text.c_str(), QY_NOWAIT, QY_FULL, QY_REPORT);
    if (h.set_mode)
        h.set_mode(mode);
    if (!qymgr_qy_ok()) {
        end_pipe(block);
        qymgr_qy_query("SET %DISPLAY TRUE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
        return PR_STATEMENT_FAILED;
    }
    if (qymgr_qy_returned_data()) {
        if (block.had_data) {
            end_pipe(block);
            return PR_STATEMENT_INVALID;
        }
        block.had_data = true;
    }
    return PR_STATEMENT_OK;
}

int end_block(void *client, PrQueryBlock &block, const PrGraphBlock &g)
{
    auto *r = static_cast<Replay *>(client);
    const PrExecHooks &h = prexec_hooks;
    end_pipe(block);
    if ((block.kind == PR_BLOCK_DATA && !block.had_data) || (block.kind == PR_BLOCK_NODATA && block.had_data))
        return 0;
    bool data = block.kind == PR_BLOCK_DATA;
    if (data) {
        int previous = h.data_order ? h.data_order() : 3;
        if (h.set_data_order)
            h.set_data_order(g.order);
        qymgr_qy_wait_for_data_handled(&pr_handled_data);
        if (h.set_data_order)
            h.set_data_order(previous);
    }
    int kind = data ? PR_DATA : PR_NODATA;
    prmgr_pr_register_query(block.statements, kind);
    if (block.kind == PR_BLOCK_PIPE)
        prmgr_pr_register_pipe(block.pipe.c_str());
    for (const auto &[name, text] : block.prompts)
        prmgr_pr_register_prompt(name.c_str(), text.c_str(), kind);
    if (data) {
        if (!r->graphs)
            dscol_ds_characterise(g.order);
        if (h.keep_dataset)
            h.keep_dataset();
        dsmgr_ds_retain();
    }
    prmgr_pr_retain_query(kind);
    return 1;
}

void end(void *)
{
    if (peop)
        peop();
}

}  // namespace

namespace {

std::string fault_text;

std::string text_of(const PrReadFault &f)
{
    const nl_catd cd = prexec_hooks.catd;
    switch (f.kind) {
    case PR_FAULT_END:
        return vx_msgf(cd, PR_FAULT_END_TEXT, f.line);
    case PR_FAULT_WORD:
        return vx_msgf(cd, PR_FAULT_WORD_TEXT, f.line, f.word.c_str());
    case PR_FAULT_NUMBER:
        return vx_msgf(cd, PR_FAULT_NUMBER_TEXT, f.line);
    case PR_FAULT_LINE:
        return vx_msgf(cd, PR_FAULT_LINE_TEXT, f.line);
    case PR_FAULT_PROMPT_NAME:
        return vx_msgf(cd, PR_FAULT_PROMPT_NAME_TEXT, f.line, f.word.c_str());
    case PR_FAULT_GRAPH:
        return vx_msgf(cd, PR_FAULT_GRAPH_TEXT, f.line);
    case PR_FAULT_VIEW:
        return vx_msgf(cd, PR_FAULT_VIEW_TEXT, f.line);
    case PR_FAULT_DATA:
        return vx_msgf(cd, PR_FAULT_DATA_TEXT, f.line);
    default:
        return "";
    }
}

}  // namespace

int prexec_pr_execute_procedure(FILE *file, int no_prompts, int to_csv, const char *csv_path, int csv_mode)
{
    fault_text.clear();
    if (!file)
        return 0;
    if (to_csv)
        return exec_output_to_csv(file, csv_path, csv_mode);
    Replay r;
    r.no_prompts = no_prompts != 0;
    PrReplayOps ops{&r, header, graph, next_group, prompt, statement, end_block, end};
    int result = prread_walk(file, ops, prexec_hooks.run_mode == 6);
    if (!result)
        fault_text = text_of(prread_last_fault());
    return result;
}

const std::string &prexec_pr_fault_text() { return fault_text; }

void prexec_pr_on_eop(void (*callback)()) { peop = callback; }

void prexec_pr_notify_data_handled() { pr_handled_data = 1; }

int exec_output_to_csv(FILE *file, const char *path, int mode)
{
    const PrExecHooks &h = prexec_hooks;
    if (!file || !path || !*path)
        return 0;
    if (!h.output_csv) {
        not_available(PR_CSV_NOT_AVAILABLE);
        return 0;
    }
    // The statement is found before the output is touched: a procedure
    // without a data query leaves an existing file as it was.
    std::string w, statement;
    do {
        if (!prread_word(file, w))
            return 0;
    } while (w != "startquery");
    if (!prread_word(file, w) || w != "data" || !prread_word(file, w) || w != "query" ||
        !prread_rest(file, statement, PR_STATEMENT_MAX) || statement.empty())
        return 0;
    if (mode == 0 && access(path, R_OK) == 0 &&
        !dlmess_dialog_confirm(h.query_shell, h.catd, PR_CONFIRM_CSV_REPLACE, -1, -1, 1, path))
        return 0;
    FILE *out = fopen(path, "w");
    if (!out)
        return 0;
    int result = h.output_csv(statement.c_str(), out, mode);
    if (fclose(out) != 0)
        result = 0;
    return result;
}
