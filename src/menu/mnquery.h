// The Query pane and the workspace popup of the query window: Run (query
// building, the targets, recording), Target, DOZ, the query schema, New,
// Verify and Collect; and the sensitivity of the Query and Procedure
// panes as pure rules.
#pragma once

#include "dldbdialogs.h"

#include <X11/Intrinsic.h>

#include <cstddef>

// ---- seams ----------------------------------------------------------------------
// The workspace's parts that the commands use; a null entry is not there
// (the command that needs it answers "not available yet", a side effect
// is skipped).
struct MnqWorkspaceHooks {
    void (*unassign_all_variables)(int unselect);
    void (*new_query)();
    void (*set_validation)(int on);
    // Collects the objects at a root position of the screen.
    void (*collect_objects)(int root_x, int root_y);
    void (*set_buttons_sensitive)(int on);
    void (*enable_stop)(int on);
    void (*set_target_icon)(int index);
    // The result table's objects (a name renames the relation first).
    void (*create_result_objects)(const char *name);
    void (*destroy_result_objects)();
    void (*resize_drawing_area)();
    void (*refresh)();
    void (*reset_table_object_rows)(const char *table);
    int (*group_objects_exist)();
    // Whether the display window shows graphs.
    int (*graph_view)();
};
extern MnqWorkspaceHooks mnq_ws;
// How a run prepares the pipe target (the table view's, by default).
extern int (*mnq_prepare_pipe)(const char *command);

// ---- values -----------------------------------------------------------------------
extern TargetValue target_dval;
extern DozValue doz_dval;

// ---- menu routines --------------------------------------------------------------
void mnquery_new(Widget w);
void mnquery_run(Widget w);
void mnquery_set_target(Widget w);
void mnquery_doz(Widget w);
void mnquery_mn_write_query_schema(Widget w);
void mnquery_set_verify(Widget w);
void mnquery_collect(Widget w);

// ---- for other parts ----------------------------------------------------------------
void mnquery_mn_set_target_icon();
// Copies at most 6000 characters into the DOZ dialog's value and shows it.
void mnquery_mn_record_doz(const char *text);
// Asks the prompted variables of the assignments before a run.
void prompt_variables();
// Records the prompts of the assignments' variables (kind 0 data, 1 no data).
void register_prompts(int kind);

// ---- sensitivity --------------------------------------------------------------------
struct MnqSensState {
    bool selected;         // workspace objects are selected
    bool open;             // a database is open
    bool variables;        // variable objects exist
    bool data_recorded;    // a data query is pending in the recorder
    bool nodata_recorded;  // a no-data query is pending
    bool active;           // the recorder holds anything
    bool named;            // a procedure was loaded or saved
};
struct MnqSensRule {
    const char *item;  // the item's handle name
    bool (*sensitive)(const MnqSensState &);
};
extern const MnqSensRule mnq_query_rules[];
extern const std::size_t mnq_query_rule_count;
extern const MnqSensRule mnq_proc_rules[];
extern const std::size_t mnq_proc_rule_count;
MnqSensState mnq_sens_state();
void mnqy_mn_set_query_sensitivity();
void mnqy_mn_set_proc_sensitivity();
