// The display window's menus: tables, bar and popup for the full and the
// TSL run modes, the dispatcher, the output mode and the data order.
#pragma once

#include "mnbld.h"
#include "mnqy.h"

#include <X11/Intrinsic.h>

extern Widget graph_c, format_c, dview_c, select_c, colourmap_c, print_c;
extern Widget graph_new_view_b, graph_new_graph_b, graph_keep_b, graph_load_graph_b, graph_load_default_b,
    graph_save_graph_b, graph_save_as_graph_b, graph_save_default_b, graph_delete_graph_b;
extern Widget form_setup_graph_b, form_setup_axes_b, form_setup_titles_b, form_setup_ovl_b, form_setup_fonts_b,
    form_setup_layout_b, form_setup_misc_b, form_setup_multiy_b, form_setup_legend_b, form_setup_thresh_b,
    form_setup_options_b, form_setup_order_b, form_setup_implicit_b, form_setup_background_b, form_annotate_b;
extern Widget order_xyz_t, order_xzy_t, order_yxz_t, order_yzx_t, order_zxy_t, order_zyx_t;
extern Widget view_as_graph_b, view_as_table_b, view_position_b, view_move_b, view_zoom_b, view_unzoom_b,
    view_zoomtool_b, view_maximise_b, view_restore_b, view_snapshot_b;
extern Widget select_cursor_b, select_measure_b, select_marker_b;
extern Widget marker_enable1_t, marker_enable2_t, marker_bypos_t;
extern Widget cmap_load_cmap_b, cmap_load_default_cmap_b, cmap_save_cmap_b, cmap_save_as_cmap_b,
    cmap_save_default_cmap_b, cmap_delete_cmap_b, cmap_edit_cmap_b;
extern Widget print_send_via_email_b, print_preview_b, print_load_hc_b, print_load_default_hc_b, print_save_hc_b,
    print_save_as_hc_b, print_mark_default_hc_b, print_delete_hc_b, print_edit_hc_b, print_edit_tabcom_b,
    print_edit_grpcom_b;
extern Widget dy_help_topic_b;
extern Widget popup_keep_b, popup_setup_graph_b, popup_setup_axes_b, popup_setup_titles_b, popup_setup_ovl_b,
    popup_setup_fonts_b, popup_setup_layout_b, popup_setup_misc_b, popup_setup_multiy_b, popup_setup_legend_b,
    popup_setup_thresh_b, popup_setup_options_b, popup_zoom_b, popup_unzoom_b, popup_maximise_b,
    popup_restore_b;
extern Widget dm1, dm2;

extern const MnHandle mndy_handles[];
extern const int mndy_handle_count;

// Builds the display window's menus and returns its bar.
Widget mndy_mn_create_query_menu(Widget shell, Widget main_window, const AppData *adata);
void dmenu_cb(Widget w, XtPointer client, XtPointer call);
void mndy_display_menu_sensitivity(int on);

// The output mode: 0 table view, 1 graph view.
void mndy_mn_set_output_mode(int mode);
int mndy_mn_output_mode();
int mndy_mn_run_mode();
// The data order, 1-6 for xyz, xzy, yxz, yzx, zxy, zyx.
int mnform_mn_data_order();
void mnform_mn_set_data_order(int order);

extern const MenuItem mndy_main_menu[], mndy_main_tsl_noedit_menu[], mndy_popup_menu[], mndy_popup_tsl_noedit_menu[];
