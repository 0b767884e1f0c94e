// The display window's menu bar and popup, and its dispatcher.

#include "mndy.h"

#include "mnform.h"
#include "mngfile.h"
#include "mngraph.h"
#include "mnmisc.h"
#include "mnprint.h"
#include "mnquery.h"
#include "vxhelp.h"
#include "wsdict.h"

#include <Xm/ToggleB.h>
#include <Xm/ToggleBG.h>

#include <cstdint>
#include <pwd.h>
#include <unistd.h>
#include <cstdio>
#include <iterator>

Widget graph_c, format_c, dview_c, select_c, colourmap_c, print_c;
Widget graph_new_view_b, graph_new_graph_b, graph_keep_b, graph_load_graph_b, graph_load_default_b,
    graph_save_graph_b, graph_save_as_graph_b, graph_save_default_b, graph_delete_graph_b;
Widget form_setup_graph_b, form_setup_axes_b, form_setup_titles_b, form_setup_ovl_b, form_setup_fonts_b,
    form_setup_layout_b, form_setup_misc_b, form_setup_multiy_b, form_setup_legend_b, form_setup_thresh_b,
    form_setup_options_b, form_setup_order_b, form_setup_implicit_b, form_setup_background_b, form_annotate_b;
Widget order_xyz_t, order_xzy_t, order_yxz_t, order_yzx_t, order_zxy_t, order_zyx_t;
Widget view_as_graph_b, view_as_table_b, view_position_b, view_move_b, view_zoom_b, view_unzoom_b,
    view_zoomtool_b, view_maximise_b, view_restore_b, view_snapshot_b;
Widget select_cursor_b, select_measure_b, select_marker_b;
Widget marker_enable1_t, marker_enable2_t, marker_bypos_t;
Widget cmap_load_cmap_b, cmap_load_default_cmap_b, cmap_save_cmap_b, cmap_save_as_cmap_b, cmap_save_default_cmap_b,
    cmap_delete_cmap_b, cmap_edit_cmap_b;
Widget print_send_via_email_b, print_preview_b, print_load_hc_b, print_load_default_hc_b, print_save_hc_b,
    print_save_as_hc_b, print_mark_default_hc_b, print_delete_hc_b, print_edit_hc_b, print_edit_tabcom_b,
    print_edit_grpcom_b;
Widget dy_help_topic_b;
Widget popup_keep_b, popup_setup_graph_b, popup_setup_axes_b, popup_setup_titles_b, popup_setup_ovl_b,
    popup_setup_fonts_b, popup_setup_layout_b, popup_setup_misc_b, popup_setup_multiy_b, popup_setup_legend_b,
    popup_setup_thresh_b, popup_setup_options_b, popup_zoom_b, popup_unzoom_b, popup_maximise_b, popup_restore_b;
Widget dm1, dm2;

static Widget display_shell = nullptr;
static int output_mode = 0;
static int data_order = 3;

#define H(name) {#name, &name}
const MnHandle mndy_handles[] = {
    H(graph_c), H(format_c), {"view_c", &dview_c}, H(select_c), H(colourmap_c), H(print_c),
    H(graph_new_view_b), H(graph_new_graph_b), H(graph_keep_b), H(graph_load_graph_b), H(graph_load_default_b),
    H(graph_save_graph_b), H(graph_save_as_graph_b), H(graph_save_default_b), H(graph_delete_graph_b),
    H(form_setup_graph_b), H(form_setup_axes_b), H(form_setup_titles_b), H(form_setup_ovl_b),
    H(form_setup_fonts_b), H(form_setup_layout_b), H(form_setup_misc_b), H(form_setup_multiy_b),
    H(form_setup_legend_b), H(form_setup_thresh_b), H(form_setup_options_b), H(form_setup_order_b),
    H(form_setup_implicit_b), H(form_setup_background_b), H(form_annotate_b),
    H(order_xyz_t), H(order_xzy_t), H(order_yxz_t), H(order_yzx_t), H(order_zxy_t), H(order_zyx_t),
    H(view_as_graph_b), H(view_as_table_b), H(view_position_b), H(view_move_b), H(view_zoom_b), H(view_unzoom_b),
    H(view_zoomtool_b), H(view_maximise_b), H(view_restore_b), H(view_snapshot_b),
    H(select_cursor_b), H(select_measure_b), H(select_marker_b),
    H(marker_enable1_t), H(marker_enable2_t), H(marker_bypos_t),
    H(cmap_load_cmap_b), H(cmap_load_default_cmap_b), H(cmap_save_cmap_b), H(cmap_save_as_cmap_b),
    H(cmap_save_default_cmap_b), H(cmap_delete_cmap_b), H(cmap_edit_cmap_b),
    H(print_send_via_email_b), H(print_preview_b), H(print_load_hc_b), H(print_load_default_hc_b),
    H(print_save_hc_b), H(print_save_as_hc_b), H(print_mark_default_hc_b), H(print_delete_hc_b),
    H(print_edit_hc_b), H(print_edit_tabcom_b), H(print_edit_grpcom_b),
    {"help_topic_b", &dy_help_topic_b},
    H(popup_keep_b), H(popup_setup_graph_b), H(popup_setup_axes_b), H(popup_setup_titles_b),
    H(popup_setup_ovl_b), H(popup_setup_fonts_b), H(popup_setup_layout_b), H(popup_setup_misc_b),
    H(popup_setup_multiy_b), H(popup_setup_legend_b), H(popup_setup_thresh_b), H(popup_setup_options_b),
    H(popup_zoom_b), H(popup_unzoom_b), H(popup_maximise_b), H(popup_restore_b),
};
#undef H
const int mndy_handle_count = static_cast<int>(std::size(mndy_handles));

#define PUSH(name, code, accel, text, store) {MN_PUSH, name, code, accel, text, dmenu_cb, code, nullptr, 0, store}
#define HPUSH(name, code, accel, text, store) \
    {MN_PUSH, name, code, accel, text, mnqy_qmenu_cb, code, nullptr, 0, store}
#define TOGGLE(name, code, accel, text, store) \
    {MN_TOGGLE, name, code, accel, text, dmenu_cb, code, nullptr, 0, store}
#define CASCADE(name, code, sub, store) \
    {MN_CASCADE, name, code, nullptr, nullptr, nullptr, code, sub, static_cast<int32_t>(std::size(sub)), store}
#define SEP {MN_SEPARATOR, "sep", 0, nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr}

static const MenuItem graph_menu[] = {
    PUSH("newvA", 41, "Ctrl<Key>V", "Ctrl-V", &graph_new_view_b),
    PUSH("newgA", 42, "Ctrl<Key>N", "Ctrl-N", &graph_new_graph_b),
    SEP,
    PUSH("keepA", 43, "Ctrl<Key>K", "Ctrl-K", &graph_keep_b),
    SEP,
    PUSH("loadA", 44, "Ctrl<Key>L", "Ctrl-L", &graph_load_graph_b),
    PUSH("loadDefA", 45, nullptr, nullptr, &graph_load_default_b),
    PUSH("saveA", 46, "Ctrl<Key>S", "Ctrl-S", &graph_save_graph_b),
    PUSH("saveAsA", 47, nullptr, nullptr, &graph_save_as_graph_b),
    PUSH("saveDefA", 48, nullptr, nullptr, &graph_save_default_b),
    PUSH("deleteA", 49, nullptr, nullptr, &graph_delete_graph_b),
};

static const MenuItem legend_menu[] = {
    PUSH("leglayA", 64, "Shift<Key>K:", "Shift-K", nullptr),
    PUSH("legtextA", 65, "Shift<Key>S:", "Shift-S", nullptr),
    SEP,
    PUSH("cbarA", 66, "Shift<Key>C:", "Shift-C", nullptr),
};

static const MenuItem legend_pmenu[] = {
    PUSH("leglayPA", 64, nullptr, nullptr, nullptr),
    PUSH("legtextPA", 65, nullptr, nullptr, nullptr),
    SEP,
    PUSH("cbarPA", 66, nullptr, nullptr, nullptr),
};

static const MenuItem order_menu[] = {
    TOGGLE("xyzA", 67, nullptr, nullptr, &order_xyz_t),
    TOGGLE("xzyA", 68, nullptr, nullptr, &order_xzy_t),
    SEP,
    TOGGLE("yxzA", 69, nullptr, nullptr, &order_yxz_t),
    TOGGLE("yzxA", 70, nullptr, nullptr, &order_yzx_t),
    SEP,
    TOGGLE("zxyA", 71, nullptr, nullptr, &order_zxy_t),
    TOGGLE("zyxA", 72, nullptr, nullptr, &order_zyx_t),
};

static const MenuItem annotate_menu[] = {
    PUSH("addtA", 73, "Ctrl<Key>F1", "Ctrl-F1", nullptr),
    PUSH("edittA", 74, "Ctrl<Key>F2", "Ctrl-F2", nullptr),
    PUSH("movetA", 75, "Ctrl<Key>F3", "Ctrl-F3", nullptr),
    PUSH("dletA", 76, "Ctrl<Key>F4", "Ctrl-F4", nullptr),
};

static const MenuItem format_menu[] = {
    PUSH("formatA", 50, "Shift<Key>G:", "Shift-G", &form_setup_graph_b),
    PUSH("axesA", 51, "Shift<Key>A:", "Shift-A", &form_setup_axes_b),
    PUSH("titlesA", 52, "Shift<Key>T:", "Shift-T", &form_setup_titles_b),
    PUSH("overlaysA", 53, "Shift<Key>O:", "Shift-O", &form_setup_ovl_b),
    PUSH("fontsA", 54, "Shift<Key>F:", "Shift-F", &form_setup_fonts_b),
    PUSH("layA", 55, "Shift<Key>L:", "Shift-L", &form_setup_layout_b),
    PUSH("miscA", 56, "Shift<Key>M:", "Shift-M", &form_setup_misc_b),
    PUSH("multiyA", 57, "Shift<Key>Y:", "Shift-Y", &form_setup_multiy_b),
    CASCADE("legendM", 58, legend_menu, &form_setup_legend_b),
    PUSH("threshA", 129, "Shift<Key>R:", "Shift-R", &form_setup_thresh_b),
    PUSH("optA", 59, "Shift<Key>P:", "Shift-P", &form_setup_options_b),
    SEP,
    CASCADE("orderM", 60, order_menu, &form_setup_order_b),
    PUSH("implicitA", 61, "Shift<Key>I:", "Shift-I", &form_setup_implicit_b),
    PUSH("backgA", 62, "Shift<Key>B:", "Shift-B", &form_setup_background_b),
    SEP,
    CASCADE("annM", 63, annotate_menu, &form_annotate_b),
};

static const MenuItem view_menu[] = {
    PUSH("asgA", 77, "Ctrl<Key>G", "Ctrl-G", &view_as_graph_b),
    PUSH("astA", 78, "Ctrl<Key>T", "Ctrl-T", &view_as_table_b),
    SEP,
    PUSH("posA", 79, "Ctrl<Key>P", "Ctrl-P", &view_position_b),
    PUSH("moveA", 80, nullptr, nullptr, &view_move_b),
    SEP,
    PUSH("zoomA", 83, "Ctrl<Key>Z", "Ctrl-Z", &view_zoom_b),
    PUSH("unzoomA", 84, "Ctrl<Key>U", "Ctrl-U", &view_unzoom_b),
    PUSH("zoomtoolA", 131, "Ctrl<Key>O", "Ctrl-O", &view_zoomtool_b),
    SEP,
    PUSH("maxA", 85, "Ctrl<Key>X", "Ctrl-X", &view_maximise_b),
    PUSH("resA", 86, "Ctrl<Key>R", "Ctrl-R", &view_restore_b),
    SEP,
    PUSH("refA", 87, "Ctrl<Key>F", "Ctrl-F", nullptr),
    SEP,
    PUSH("snapshotA", 88, nullptr, nullptr, &view_snapshot_b),
};

static const MenuItem measure_menu[] = {
    PUSH("noconsA", 89, "Ctrl<Key>M", "Ctrl-M", nullptr),
    PUSH("fixedyA", 90, nullptr, nullptr, nullptr),
    PUSH("fixedxA", 91, nullptr, nullptr, nullptr),
};

static const MenuItem marker_menu[] = {
    TOGGLE("marker1A", 98, "Ctrl Shift<Key>1:", "Ctrl-Shift-1", &marker_enable1_t),
    TOGGLE("marker2A", 99, "Ctrl Shift<Key>2:", "Ctrl-Shift-2", &marker_enable2_t),
    SEP,
    PUSH("markerSetA", 100, "Ctrl Shift<Key>m:", "Ctrl-Shift-M", nullptr),
    PUSH("markerDialogA", 101, nullptr, nullptr, nullptr),
    SEP,
    TOGGLE("markerPos", 102, nullptr, nullptr, &marker_bypos_t),
};

static const MenuItem select_menu[] = {
    PUSH("curA", 81, "Ctrl<Key>C", "Ctrl-C", &select_cursor_b),
    CASCADE("msrM", 82, measure_menu, &select_measure_b),
    SEP,
    CASCADE("markerM", 92, marker_menu, &select_marker_b),
};

static const MenuItem colourmap_menu[] = {
    PUSH("loadcA", 110, "Ctrl<Key>1", "Ctrl-1", &cmap_load_cmap_b),
    PUSH("loadDefcA", 111, nullptr, nullptr, &cmap_load_default_cmap_b),
    PUSH("savecA", 112, "Ctrl<Key>9", "Ctrl-9", &cmap_save_cmap_b),
    PUSH("saveAscA", 113, nullptr, nullptr, &cmap_save_as_cmap_b),
    PUSH("saveDefcA", 114, nullptr, nullptr, &cmap_save_default_cmap_b),
    PUSH("deletecA", 115, nullptr, nullptr, &cmap_delete_cmap_b),
    SEP,
    PUSH("editcA", 116, nullptr, nullptr, &cmap_edit_cmap_b),
};

static const MenuItem print_menu[] = {
    PUSH("toprintA", 117, "Ctrl<Key>Y", "Ctrl-Y", nullptr),
    PUSH("sendtoemailA", 118, "Ctrl<Key>e", "Ctrl-E", &print_send_via_email_b),
    PUSH("previewA", 119, "Ctrl<Key>w", "Ctrl-W", &print_preview_b),
    SEP,
    PUSH("loadhA", 120, "Ctrl<Key>3", "Ctrl-3", &print_load_hc_b),
    PUSH("loadDefhA", 121, nullptr, nullptr, &print_load_default_hc_b),
    PUSH("savehA", 122, "Ctrl<Key>7", "Ctrl-7", &print_save_hc_b),
    PUSH("saveAshA", 123, nullptr, nullptr, &print_save_as_hc_b),
    PUSH("saveDefhA", 124, nullptr, nullptr, &print_mark_default_hc_b),
    PUSH("deletehA", 125, nullptr, nullptr, &print_delete_hc_b),
    SEP,
    PUSH("editprintA", 126, nullptr, nullptr, &print_edit_hc_b),
    PUSH("edittabA", 127, nullptr, nullptr, &print_edit_tabcom_b),
    PUSH("editgrpA", 128, nullptr, nullptr, &print_edit_grpcom_b),
};

static const MenuItem help_menu[] = {
    HPUSH("revA", 31, nullptr, nullptr, nullptr),
    HPUSH("itemA", 32, "Ctrl<Key>H", "Ctrl-H", nullptr),
    HPUSH("topicA", 33, nullptr, nullptr, &dy_help_topic_b),
};

const MenuItem mndy_main_menu[] = {
    CASCADE("graphM", 35, graph_menu, &graph_c),
    CASCADE("formM", 36, format_menu, &format_c),
    CASCADE("viewM", 37, view_menu, &dview_c),
    CASCADE("selectM", 38, select_menu, &select_c),
    CASCADE("cmapM", 39, colourmap_menu, &colourmap_c),
    CASCADE("printM", 40, print_menu, &print_c),
    CASCADE("helpM", 5, help_menu, MN_MENU_HELP),
};

const MenuItem mndy_main_tsl_noedit_menu[] = {
    CASCADE("viewM", 37, view_menu, &dview_c),
    CASCADE("selectM", 38, select_menu, &select_c),
    CASCADE("printM", 40, print_menu, &print_c),
};

#define PP(name, code, store) PUSH(name, code, nullptr, nullptr, store)
const MenuItem mndy_popup_menu[] = {
    PP("keepPA", 43, &popup_keep_b),
    SEP,
    PP("formatPA", 50, &popup_setup_graph_b),
    PP("axesPA", 51, &popup_setup_axes_b),
    PP("titlesPA", 52, &popup_setup_titles_b),
    PP("overlaysPA", 53, &popup_setup_ovl_b),
    PP("fontsPA", 54, &popup_setup_fonts_b),
    PP("layPA", 55, &popup_setup_layout_b),
    PP("miscPA", 56, &popup_setup_misc_b),
    PP("multiyPA", 57, &popup_setup_multiy_b),
    CASCADE("legendPM", 58, legend_pmenu, &popup_setup_legend_b),
    PP("threshPA", 129, &popup_setup_thresh_b),
    PP("optPA", 59, &popup_setup_options_b),
    SEP,
    PP("zoomPA", 83, &popup_zoom_b),
    PP("unzoomPA", 84, &popup_unzoom_b),
    SEP,
    PP("maxPA", 85, &popup_maximise_b),
    PP("resPA", 86, &popup_restore_b),
};

const MenuItem mndy_popup_tsl_noedit_menu[] = {
    PP("zoomPA", 83, &popup_zoom_b),
    PP("unzoomPA", 84, &popup_unzoom_b),
    SEP,
    PP("maxPA", 85, &popup_maximise_b),
    PP("resPA", 86, &popup_restore_b),
};
#undef PP

// ---- output mode and data order ----------------------------------------------------

void mndy_mn_set_output_mode(int mode)
{
    output_mode = mode;
    mndy_mn_set_graph_sensitivity();
    mndy_mn_set_dview_sensitivity();
    mndy_mn_set_format_sensitivity();
    // The selection and colour-map items join through the hook.
    if (mn_hooks.output_mode_changed)
        mn_hooks.output_mode_changed(mode);
    mndy_mn_set_print_sensitivity();
    mn_set_preview_sensitivity();
    mn_set_email_sensitivity();
    mnquery_mn_set_target_icon();
}

int mndy_mn_output_mode() { return output_mode; }
int mndy_mn_run_mode() { return mnbld_mn_runmode; }
int mnform_mn_data_order() { return data_order; }
void mnform_mn_set_data_order(int order)
{
    if (order >= 1 && order <= 6)
        data_order = order;
}

static Widget order_toggle(int order)
{
    Widget *toggles[] = {&order_xyz_t, &order_xzy_t, &order_yxz_t, &order_yzx_t, &order_zxy_t, &order_zyx_t};
    return order >= 1 && order <= 6 ? *toggles[order - 1] : nullptr;
}

static void set_toggle(Widget t, bool on)
{
    if (t && (mnbld_mn_runmode == RUN_INTERACTIVE || mnbld_mn_runmode == RUN_TSL_EDIT))
        XmToggleButtonSetState(t, on ? True : False, False);
}

static void change_data_order(Widget w, int order)
{
    if (order == data_order) {
        set_toggle(order_toggle(order), true);
        return;
    }
    if (!mn_hooks.set_new_data_order) {
        mnmisc_not_available(w);
        return;
    }
    // The graph view stores the order itself when it takes it.
    const int old = data_order;
    if (mn_hooks.set_new_data_order(order)) {
        set_toggle(order_toggle(old), false);
        data_order = order;
    } else {
        set_toggle(order_toggle(order), false);
    }
}

// ---- the dispatcher ---------------------------------------------------------------

using MnCommand = void (*)(Widget w);

struct MnRoutine {
    int code;
    MnCommand routine;  // null: the command has not joined yet
};

// The command of each code; the data orders (67-72) are handled in the
// dispatcher.  Empty entries answer "not available yet" until their
// commands are built: zoom, unzoom, zoom tool and snapshot 83, 84, 88, 131
// (they join with graph printing and zoom), selection and markers 81,
// 89-91, 94-109 (mnsel_*), colour maps 110-116 (mncmap_*).
static const MnRoutine dmenu_routines[] = {
    {41, mngraph_new_view_item},       {42, mngraph_mn_new_graph},         {43, mngraph_mn_keep_dataset},
    {44, mngraph_mn_load_graph},       {45, mngraph_mn_load_default_graph}, {46, mngraph_mn_save_graph},
    {47, mngraph_mn_save_as_graph},    {48, mngraph_mn_save_default_graph}, {49, mngraph_mn_delete_graph},
    {50, mnform_mn_setup_format},      {51, mnform_mn_setup_axes},          {52, mnform_mn_setup_titles},
    {53, mnform_mn_setup_overlays},    {54, mnform_mn_setup_fonts},         {55, mnform_mn_setup_layout},
    {56, mnform_mn_setup_misc},        {57, mnform_mn_setup_multiy},        {59, mnform_mn_setup_options},
    {61, mnform_mn_setup_implicit},    {62, mnform_mn_setup_background},    {64, mnform_mn_setup_legend_layout},
    {65, mnform_mn_setup_legend_text}, {66, mnform_mn_setup_colour_bar},    {73, mnform_mn_add_text},
    {74, mnform_mn_edit_text},         {75, mnform_mn_move_text},           {76, mnform_mn_delete_text},
    {77, mndview_mn_as_graph},         {78, mndview_mn_as_table},         {79, mndview_mn_position_graph},
    {80, mndview_mn_move_graph},       {81, nullptr},  {83, nullptr},  {84, nullptr},
    {85, mndview_mn_maximise_graph},   {86, mndview_mn_restore_graph},    {87, mndview_mn_refresh_display},  {88, nullptr},  {89, nullptr},  {90, nullptr},  {91, nullptr},  {94, nullptr},
    {95, nullptr},  {97, nullptr},  {98, nullptr},  {99, nullptr},  {100, nullptr}, {101, nullptr},
    {102, nullptr}, {103, nullptr}, {104, nullptr}, {105, nullptr}, {106, nullptr}, {107, nullptr},
    {108, nullptr}, {109, nullptr}, {110, nullptr}, {111, nullptr}, {112, nullptr}, {113, nullptr},
    {114, nullptr}, {115, nullptr}, {116, nullptr},
    {117, mnprint_mn_print},           {118, mn_send_via_email},          {119, mn_print_preview},
    {120, mnprint_mn_load_hc},         {121, mnprint_mn_load_default_hc}, {122, mnprint_mn_save_hc},
    {123, mnprint_mn_save_as_hc},      {124, mnprint_mn_mark_default_hc}, {125, mnprint_mn_delete_hc},
    {126, mnprint_mn_edit_hc},         {127, mnprint_mn_edit_tabcom},     {128, mnprint_mn_edit_grpcom},
    {129, mnform_mn_setup_thresholds}, {131, nullptr},
};

void dmenu_cb(Widget w, XtPointer client, XtPointer)
{
    int code = static_cast<int>(reinterpret_cast<intptr_t>(client));
    if (mnmisc_ws_interaction()) {
        if (w)
            XBell(XtDisplayOfObject(w), 0);
        return;
    }
    if (code >= 67 && code <= 72) {
        change_data_order(w, code - 66);
        return;
    }
    for (const MnRoutine &r : dmenu_routines) {
        if (r.code != code)
            continue;
        if (r.routine)
            r.routine(w);
        else
            mnmisc_not_available(w);
        return;
    }
    fputs("Error! DisplayMenu. Unknown action\n", stderr);
}

// ---- building -------------------------------------------------------------------------

Widget mndy_mn_create_query_menu(Widget shell, Widget main_window, const AppData *adata)
{
    display_shell = shell;
    for (int i = 0; i < mndy_handle_count; i++)
        *mndy_handles[i].widget = nullptr;
    Widget canvas = mn_hooks.dy_canvas ? mn_hooks.dy_canvas() : nullptr;
    Widget popup_parent = canvas ? canvas : main_window;
    if (adata->runMode == RUN_INTERACTIVE || adata->runMode == RUN_TSL_EDIT) {
        dm1 = mnbld_mn_create_pulldown_menu(main_window, "displayM", MN_LABEL_SET, mndy_main_menu,
                                            static_cast<int>(std::size(mndy_main_menu)), nullptr);
        dm2 = mnbld_mn_create_popup_menu(popup_parent, "displayPU", MN_LABEL_SET, mndy_popup_menu,
                                         static_cast<int>(std::size(mndy_popup_menu)));
    } else {
        dm1 = mnbld_mn_create_pulldown_menu(main_window, "displayM", MN_LABEL_SET, mndy_main_tsl_noedit_menu,
                                            static_cast<int>(std::size(mndy_main_tsl_noedit_menu)), nullptr);
        dm2 = mnbld_mn_create_popup_menu(popup_parent, "displayPU", MN_LABEL_SET, mndy_popup_tsl_noedit_menu,
                                         static_cast<int>(std::size(mndy_popup_tsl_noedit_menu)));
    }
    if (canvas && mn_hooks.dy_set_popup)
        mn_hooks.dy_set_popup(dm2, popup_pp);
    else
        XtVaSetValues(dm2, XmNpopupEnabled, XmPOPUP_AUTOMATIC, nullptr);

    if (!mn_hooks.print_sensitivity)
        mn_hooks.print_sensitivity = mndy_mn_set_print_sensitivity;
    mndy_mn_set_output_mode(0);
    set_toggle(order_toggle(data_order), true);
    // The dictionary's user; before a database names one, the user the
    // program was started for, else the login's.
    const char *user = wsdict_dictionary && wsdict_dictionary->user[0] ? wsdict_dictionary->user : nullptr;
    if (!user && adata->user_name && adata->user_name[0])
        user = adata->user_name;
    const passwd *pw = user ? nullptr : getpwuid(getuid());
    mngraph_mn_set_graph_dirs(user ? user : pw && pw->pw_name ? pw->pw_name : "");
    mnprint_mn_set_hc_dirs();

    struct {
        Widget w;
        int id;
    } help[] = {{graph_c, 628}, {dview_c, 629}, {format_c, 630}, {print_c, 631},
                {select_c, 633}, {colourmap_c, 634}, {dy_help_topic_b, 502}};
    for (auto &h : help)
        if (h.w)
            RegisterHelp(h.w, static_cast<Widget>(nullptr), h.id, 0);

    for (int id = 32; id <= 56; id++)
        mnmisc_install_notify(id);
    if (adata->runMode >= RUN_CONNECTED && adata->runMode <= RUN_TSL_EDIT)
        mnmisc_install_notify(5);
    return dm1;
}

void mndy_display_menu_sensitivity(int on)
{
    if (dm1)
        XtSetSensitive(dm1, on ? True : False);
    if (dm2)
        XtSetSensitive(dm2, on ? True : False);
}
