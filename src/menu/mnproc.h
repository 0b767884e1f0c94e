// The Procedure pane of the query window: new, load and run, save, save
// as, delete and keep; running a procedure file for start-up and the
// display-server requests; the procedure directories.
#pragma once

#include "dlproc.h"

#include <X11/Intrinsic.h>

#include <string>

// ---- seams -------------------------------------------------------------------------
// The graph view's parts that a replay uses; a null entry is not there.
struct MnpGraphHooks {
    int (*graph_view)();             // the display shows graphs
    void *(*focussed_graph)();
    void (*clear_graph)(int a, int b);
    // A graph with a non-opaque legend exists, or the graphs changed
    // since they were drawn: the display must be refreshed.
    int (*needs_refresh)();
    void (*refresh_display)();
    // The run mode changed (3 and 4 swap around display-server runs).
    void (*run_mode_changed)(int mode);
};
extern MnpGraphHooks mnp_graph;

extern ProcValue proc_dval;
extern char currentproc[15];

// ---- menu routines ----------------------------------------------------------------
void mn_new_proc(Widget w);
void mnproc_mn_load_and_run(Widget w);
void mnproc_mn_save(Widget w);
void mnproc_mn_save_as(Widget w);
void mnproc_mn_delete(Widget w);
void mnproc_mn_keep(Widget w);

// ---- for other parts ----------------------------------------------------------------
// 0 when the procedure ran, 1 when its file was not found, 2 when the
// replay failed.
int mnproc_mn_execute_proc(const char *name, int report, int no_prompts, int no_graph_editing, int csv,
                           const char *csv_file);
void mnproc_set_proc_dirs(const char *user, const char *database);
void mnproc_mn_new_procedure();
int mnproc_mn_have_named_proc();
// The directories of a database and user ("<base>/etc/procedures/DB.USER"
// and "DB.shared").
std::string mnproc_own_dir(const char *base, const char *database, const char *user);
std::string mnproc_shared_dir(const char *base, const char *database);
// The TSL translation's argument vector for a saved procedure.
std::vector<std::string> mnproc_tsl_arguments(const std::string &base, const char *database,
                                              const std::string &path);
