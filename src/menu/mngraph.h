// The display window's commands that act on the graph view: a new graph,
// keeping the shown data with its graph, switching between the table and
// the graph view, position, move, maximise, restore and refresh; and the
// sensitivity of the items they serve.
#pragma once

#include <X11/Intrinsic.h>

// Graph, New view: asks first, makes a fresh graph.
void mngraph_new_view_item(Widget w);
void mngraph_mn_new_graph(Widget w);
// The menu side of a new view: the question (66/24, on the display shell)
// and, once the view is new, a new recording and the sensitivities.
int mngraph_confirm_new_view();
void mngraph_view_renewed();
void mngraph_mn_keep_dataset(Widget w);

void mndview_mn_as_graph(Widget w);
void mndview_mn_as_table(Widget w);
void mndview_mn_position_graph(Widget w);
void mndview_mn_move_graph(Widget w);
void mndview_mn_maximise_graph(Widget w);
void mndview_mn_restore_graph(Widget w);
void mndview_mn_refresh_display(Widget w);

// The sensitivities of the items (mndysens.h).
#include "mndysens.h"
