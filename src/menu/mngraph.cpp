// The Graph and View commands that reach the graph view, and the
// sensitivity of their items.

#include "mngraph.h"

#include "dlmess.h"
#include "dsmgr.h"
#include "dygrph.h"
#include "dymain.h"
#include "dytab.h"
#include "menumsgs.h"
#include "mnbld.h"
#include "mndy.h"
#include "mndysens.h"
#include "mnproc.h"
#include "mnqy.h"
#include "prmgr.h"
#include "vxadata.h"

namespace {

Widget shell_of(Widget w)
{
    if (Widget canvas = dymain_dy_canvas())
        w = canvas;
    while (w && !XtIsShell(w))
        w = XtParent(w);
    return w;
}

void refresh()
{
    mndy_mn_set_graph_sensitivity();
    mndy_mn_set_dview_sensitivity();
    mndy_mn_set_format_sensitivity();
}

}  // namespace

void mngraph_new_view_item(Widget) { mngraph_mn_new_view(1, 1); }

int mngraph_confirm_new_view()
{
    return dlmess_dialog_confirm(shell_of(nullptr), mnbld_mn_nlsfd, MN_CONFIRM_NEW_VIEW, -1, -1, 0);
}

void mngraph_view_renewed()
{
    mnproc_mn_new_procedure();
    prmgr_pr_new_procedure();
    refresh();
    mnqy_mn_set_query_sensitivity();
    mnqy_mn_set_proc_sensitivity();
}

void mngraph_mn_new_graph(Widget w)
{
    // The data shown now stays with the graph that shows it.
    if (dsmgr_ds_current_exists() &&
        !dlmess_dialog_confirm(shell_of(w), mnbld_mn_nlsfd, MN_CONFIRM_NEW_GRAPH, -1, -1, 0))
        return;
    prmgr_pr_end_subprocedure(dygrph_dy_focussed_graph());
    dygrph_dy_new_graph(1, 1, 1, nullptr);
    refresh();
}

void mngraph_mn_keep_dataset(Widget)
{
    if (dygrph_dy_keep_graph()) {
        dsmgr_ds_retain();
        prmgr_pr_retain_query(0);
    }
    refresh();
}

void mndview_mn_as_graph(Widget)
{
    dytab_dy_enable_table_mode(0);
    dygrph_dy_enable_graph_mode(1);
    mndy_mn_set_output_mode(1);
}

void mndview_mn_as_table(Widget)
{
    dygrph_dy_enable_graph_mode(0);
    dytab_dy_enable_table_mode(1);
    mndy_mn_set_output_mode(0);
}

void mndview_mn_position_graph(Widget) { dygrph_dy_position_graph(); }
void mndview_mn_move_graph(Widget) { dygrph_dy_move_graph(nullptr); }
void mndview_mn_maximise_graph(Widget) { dygrph_dy_maximise_graph(); }
void mndview_mn_restore_graph(Widget) { dygrph_dy_restore_graph(1); }
void mndview_mn_refresh_display(Widget) { dymain_dy_refresh_display(); }
