// The sensitivity of the display window's Graph, Format, View and Print
// items (the selection and colour-map items have rules of their own): one
// pure function of the state that decides it, and the setters that read
// the state and apply the result to the items that exist.
#pragma once

struct MnDySensState {
    int run_mode;          // 0-6
    int graph_view;        // output mode 1
    int selected;          // a graph is selected
    int has_data;          // the selected graph has data
    int has_primary_data;  // ... its own (primary) data
    int zoomed, maximised; // the selected graph's state
    int slot_not_first;    // the current archive slot is not the first
    int slot_has_dataset;  // the current archive slot holds a dataset
    int named_graph;       // the selected graph's format has a name
    int named_hc;          // a print settings file is named
    int email_entry;       // the filters file has an "EMAIL" entry
    int preview_entry;     // ... a "PSPREVIEW" entry
};

struct MnDySensitivity {
    // Which groups of rules apply (their panes exist in the run mode).
    bool graph_rules, view_rules;
    // Graph pane.
    bool new_view, new_graph, load, save, delete_, keep;
    // Format pane: the formatting items and their popup twins, the order
    // cascade and Implicit; Background; the six order toggles; Annotate.
    bool format, background, order_toggles, annotate;
    // View pane.
    bool as_graph, as_table, place, zoom, unzoom, maximise, restore, snapshot;
    // Print pane.
    bool print_files, print_named, email, preview;
};

MnDySensitivity mndy_sensitivity(const MnDySensState &s);
// The state as the graph view, the datasets and the menus hold it now.
MnDySensState mndy_current_state();

void mndy_mn_set_graph_sensitivity();
void mndy_mn_set_format_sensitivity();
void mndy_mn_set_dview_sensitivity();
void mndy_mn_set_print_sensitivity();
void mn_set_email_sensitivity();
void mn_set_preview_sensitivity();
