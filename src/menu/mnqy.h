// The query window's menus: tables, bar and popup, the dispatcher, the
// Help commands and the whole-bar switch.
#pragma once

#include "mnbld.h"

#include <X11/Intrinsic.h>

// Widgets the builder leaves for the sensitivity and toggle code.
extern Widget dbase_c, view_c, query_c, proc_c;
extern Widget dbase_close_b, dbase_build_b, dbase_delete_b, dbase_conf_b, dbase_pass_b, dbase_schema_b;
extern Widget view_reread_b, view_set_tables_b;
extern Widget query_new_b, query_run_b, query_target_b, query_schema_b, query_verify_t;
extern Widget proc_new_b, proc_load_b, proc_save_b, proc_save_as_b, proc_delete_b, proc_keep_b;
extern Widget help_topic_b;
extern Widget popup_run_b, popup_target_b, popup_reread_b, popup_collect_b;
// The bar and the popup.
extern Widget qm1, qm2;
// The label of "no database" (at most 8 characters).
extern char mnqy_mn_dbnone[9];

// The named handles, for whoever needs to find one by its name.
struct MnHandle {
    const char *name;
    Widget *widget;
};
extern const MnHandle mnqy_handles[];
extern const int mnqy_handle_count;

// Builds the query window's menus (run mode 0) and returns its bar.
Widget mnqy_mn_create_query_menu(Widget shell, Widget main_window, const AppData *adata);
void mnqy_qmenu_cb(Widget w, XtPointer client, XtPointer call);
void user_cb(Widget w, XtPointer client, XtPointer call);
void mnqy_query_menu_sensitivity(int on);
// Refresh the Query and Procedure panes (run mode 0 only; mnquery.cpp).
void mnqy_mn_set_query_sensitivity();
void mnqy_mn_set_proc_sensitivity();

// The Help commands.
void mnqhlp_on_revision(Widget w);
void mnqhlp_on_item(Widget w);
void mnqhlp_on_topic(Widget w);

// The query window's menu tables.
extern const MenuItem mnqy_main_menu[], mnqy_main_menu2[], mnqy_help_menu_proper[], mnqy_popup_menu[];
