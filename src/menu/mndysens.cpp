// The display window's item sensitivities.

#include "mndysens.h"

#include "dsmgr.h"
#include "dygrph.h"
#include "gomain.h"
#include "mndy.h"
#include "mngfile.h"
#include "mnprint.h"
#include "vxadata.h"
#include "vxfilter.h"

#include <initializer_list>

MnDySensitivity mndy_sensitivity(const MnDySensState &s)
{
    MnDySensitivity r{};
    const int m = s.run_mode;
    const bool edit_mode = m == RUN_INTERACTIVE || m == RUN_TSL_EDIT;
    const bool gv = s.graph_view != 0, sel = s.selected != 0;
    const bool editable = sel && edit_mode;
    r.graph_rules = m == RUN_INTERACTIVE || m == RUN_TSL_EDIT || m == RUN_TSL_PROCEDURE;
    r.view_rules = m != RUN_TSL_NOMENU && m != RUN_TSL_NOWIN;

    r.new_view = m == RUN_INTERACTIVE && (s.slot_not_first || s.slot_has_dataset);
    r.new_graph = m == RUN_INTERACTIVE && gv && sel && s.has_data;
    r.load = editable && gv;
    r.save = editable && gv && s.named_graph;
    r.delete_ = gv;
    r.keep = m == RUN_INTERACTIVE && gv && s.slot_has_dataset;
    r.format = editable && gv;
    r.background = gv;
    r.order_toggles = editable && gv && !s.has_data;
    r.annotate = editable && gv && s.has_primary_data;

    r.as_graph = !gv;
    r.as_table = gv;
    r.place = sel && gv && edit_mode;
    r.zoom = sel && gv && s.has_primary_data;
    r.unzoom = sel && gv && s.zoomed;
    r.maximise = sel && gv && !s.maximised;
    r.restore = sel && gv && s.maximised;
    r.snapshot = gv;

    r.print_files = edit_mode;
    r.print_named = edit_mode && s.named_hc;
    r.email = s.email_entry != 0;
    r.preview = gv && s.preview_entry;
    return r;
}

MnDySensState mndy_current_state()
{
    MnDySensState s{};
    s.run_mode = mndy_mn_run_mode();
    s.graph_view = mndy_mn_output_mode() == 1;
    GoGraph *g = dygrph_dy_selected_graph();
    s.selected = g != nullptr;
    s.has_data = s.has_primary_data = g && g->first != -1;
    s.zoomed = g && g->zoomed;
    s.maximised = dygrph_dy_is_maximised() != 0;
    s.slot_not_first = dsmgr_ds_current() != 0;
    s.slot_has_dataset = dsmgr_ds_current_exists();
    s.named_graph = mngraph_mn_have_named_graph();
    s.named_hc = mnprint_mn_have_named_hc();
    FilterEntry entry;
    s.email_entry = read_filters_file("EMAIL", &entry, 1) > 0;
    s.preview_entry = read_filters_file("PSPREVIEW", &entry, 1) > 0;
    return s;
}

namespace {

void set(std::initializer_list<Widget> items, bool on)
{
    for (Widget w : items)
        if (w)
            XtSetSensitive(w, on ? True : False);
}

MnDySensitivity now()
{
    return mndy_sensitivity(mndy_current_state());
}

}  // namespace

void mndy_mn_set_graph_sensitivity()
{
    const MnDySensitivity r = now();
    if (!r.graph_rules)
        return;
    set({graph_new_view_b}, r.new_view);
    set({graph_new_graph_b}, r.new_graph);
    set({graph_load_graph_b, graph_load_default_b, graph_save_as_graph_b, graph_save_default_b}, r.load);
    set({graph_save_graph_b}, r.save);
    set({graph_delete_graph_b}, r.delete_);
    set({graph_keep_b, popup_keep_b}, r.keep);
}

void mndy_mn_set_format_sensitivity()
{
    const MnDySensitivity r = now();
    if (!r.graph_rules)
        return;
    set({form_setup_graph_b, form_setup_axes_b, form_setup_titles_b, form_setup_ovl_b, form_setup_fonts_b,
         form_setup_layout_b, form_setup_misc_b, form_setup_multiy_b, form_setup_legend_b, form_setup_thresh_b,
         form_setup_options_b, form_setup_order_b, form_setup_implicit_b},
        r.format);
    set({popup_setup_graph_b, popup_setup_axes_b, popup_setup_titles_b, popup_setup_ovl_b, popup_setup_fonts_b,
         popup_setup_layout_b, popup_setup_misc_b, popup_setup_multiy_b, popup_setup_legend_b,
         popup_setup_thresh_b, popup_setup_options_b},
        r.format);
    set({form_setup_background_b}, r.background);
    set({order_xyz_t, order_xzy_t, order_yxz_t, order_yzx_t, order_zxy_t, order_zyx_t}, r.order_toggles);
    set({form_annotate_b}, r.annotate);
}

void mndy_mn_set_dview_sensitivity()
{
    const MnDySensitivity r = now();
    if (!r.view_rules)
        return;
    set({view_as_graph_b}, r.as_graph);
    set({view_as_table_b}, r.as_table);
    set({view_position_b, view_move_b}, r.place);
    set({view_zoom_b, view_zoomtool_b, popup_zoom_b}, r.zoom);
    set({view_unzoom_b, popup_unzoom_b}, r.unzoom);
    set({view_maximise_b, popup_maximise_b}, r.maximise);
    set({view_restore_b, popup_restore_b}, r.restore);
    set({view_snapshot_b}, r.snapshot);
}

void mndy_mn_set_print_sensitivity()
{
    const MnDySensitivity r = now();
    if (!r.view_rules)
        return;
    set({print_load_hc_b, print_load_default_hc_b, print_save_as_hc_b, print_delete_hc_b, print_edit_hc_b,
         print_edit_tabcom_b, print_edit_grpcom_b},
        r.print_files);
    set({print_save_hc_b, print_mark_default_hc_b}, r.print_named);
}

void mn_set_email_sensitivity()
{
    if (mndy_mn_run_mode() != RUN_TSL_NOMENU && mndy_mn_run_mode() != RUN_TSL_NOWIN)
        set({print_send_via_email_b}, now().email);
}

void mn_set_preview_sensitivity()
{
    if (mndy_mn_run_mode() != RUN_TSL_NOMENU && mndy_mn_run_mode() != RUN_TSL_NOWIN)
        set({print_preview_b}, now().preview);
}
