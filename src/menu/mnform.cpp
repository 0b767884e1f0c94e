// The Format pane's commands.

#include "mnform.h"

#include "dlmess.h"
#include "dygrph.h"
#include "dymain.h"
#include "gomain.h"
#include "goprop.h"
#include "menumsgs.h"
#include "mnbld.h"
#include "mndy.h"
#include "mngraph.h"
#include "mnmisc.h"
#include "vxadata.h"

#include <cstring>

DlNotifyProc mnform_annot_apply = nullptr;

namespace {

AnnotValue annot_rec;

bool editable_mode()
{
    const int mode = mndy_mn_run_mode();
    return mode == RUN_INTERACTIVE || mode == RUN_TSL_EDIT;
}

bool graph_view() { return mndy_mn_output_mode() == 1; }

// The value dialog `id` edits: the graph for the titles, else its format.
void *value_for(int id, GoGraph *g)
{
    if (!g)
        return nullptr;
    return id == MNFORM_TITLES_DIALOG ? static_cast<void *>(g) : static_cast<void *>(g->format);
}

void fill(int id, GoGraph *g)
{
    void *value = value_for(id, g);
    if (!value || !mnmisc_dialog_available(id))
        return;
    DialogRecord *rec = &dlmain_dialogs[id];
    rec->setval(rec, value);
    mnmisc_mn_register(id, value, setup_format);
}

// After an apply: the graph view takes the change; a refusal refills every
// dialog from the format it put back, a new kind refills the options.
// 1 when the change was taken.
int take_change(int id)
{
    int kind_changed = 0;
    const int taken = dygrph_dy_notify_property_change(graph_view() ? 1 : 0, id == MNFORM_IMPLICIT_DIALOG, &kind_changed);
    if (!taken)
        mnform_mn_reset_format_dialogs();
    else if (kind_changed)
        fill(MNFORM_OPTIONS_DIALOG, dygrph_dy_selected_graph());
    return taken;
}

void open_format_dialog(Widget w, int id)
{
    if (!mnmisc_dialog_available(id)) {
        mnmisc_not_available(w);
        return;
    }
    GoGraph *g = dygrph_dy_selected_graph();
    void *value = value_for(id, g);
    if (!value)
        return;
    mnmisc_mn_register(id, value, setup_format);
    DialogRecord *rec = &dlmain_dialogs[id];
    rec->setval(rec, value);
    mnmisc_mn_popup_dialog(w, id, 4);
}

void open_annotation(Widget w)
{
    mnmisc_mn_register(52, &annot_rec, mnform_annot_apply);
    DialogRecord *rec = &dlmain_dialogs[52];
    rec->setval(rec, &annot_rec);
    mnmisc_mn_popup_dialog(w, 52, 3);
}

bool annotation_available(Widget w)
{
    if (mnmisc_dialog_available(52) && mnform_annot_apply)
        return true;
    mnmisc_not_available(w);
    return false;
}

Widget edit_item = nullptr;

void edit_picked(void *, int id)
{
    annot_rec.graph = dygrph_dy_selected_graph();
    annot_rec.id = id;
    annot_rec.mode = ANNOT_EDIT;
    annot_rec.body[0] = '\0';
    open_annotation(edit_item);
}

}  // namespace

void setup_format(DialogRecord *rec, int *done)
{
    *done = 0;
    GoGraph *g = dygrph_dy_selected_graph();
    const int id = rec ? rec->id : -1;
    if (!g) {
        return;
    }
    mnmisc_mn_register(id, value_for(id, g), setup_format);
    if (take_change(id))
        *done = 1;
}

void mn_global_setup_format(DialogRecord *rec, DlNotifyProc apply, void *value, int *done)
{
    *done = 0;
    if (!dygrph_dy_selected_graph())
        return;
    const int id = rec ? rec->id : -1;
    mnmisc_mn_register(id, value, apply);
    if (take_change(id))
        *done = 1;
}

void mnform_mn_reset_format_dialogs()
{
    if (!editable_mode())
        return;
    GoGraph *g = dygrph_dy_selected_graph();
    if (!g)
        return;
    for (int id : MNFORM_REFILL_ORDER)
        fill(id, g);
}

GoFormat *mnform_mn_default_graph_format() { return new GoFormat(*goprop_go_default_graph_format()); }

AnnotValue *mnform_mn_text_value() { return &annot_rec; }
AnnotValue *mnform_mn_position_value() { return &annot_rec; }

void mnform_mn_apply_text(int position_given)
{
    const bool place = (annot_rec.mode == ANNOT_ADD || annot_rec.mode == ANNOT_EDIT) && !position_given;
    dymain_dy_add_text(annot_rec.body, annot_rec.id, place ? 1 : 0);
}

// ---- menu commands ----------------------------------------------------------------------

void mnform_mn_setup_format(Widget w)
{
    if (editable_mode())
        open_format_dialog(w, 35);
}
void mnform_mn_setup_axes(Widget w) { open_format_dialog(w, 32); }
void mnform_mn_setup_titles(Widget w) { open_format_dialog(w, 33); }
void mnform_mn_setup_overlays(Widget w) { open_format_dialog(w, 34); }
void mnform_mn_setup_fonts(Widget w) { open_format_dialog(w, 36); }
void mnform_mn_setup_layout(Widget w) { open_format_dialog(w, 37); }
void mnform_mn_setup_misc(Widget w) { open_format_dialog(w, 38); }
void mnform_mn_setup_multiy(Widget w) { open_format_dialog(w, 39); }
void mnform_mn_setup_options(Widget w) { open_format_dialog(w, 45); }
void mnform_mn_setup_implicit(Widget w) { open_format_dialog(w, 42); }
void mnform_mn_setup_legend_layout(Widget w) { open_format_dialog(w, 44); }
void mnform_mn_setup_legend_text(Widget w) { open_format_dialog(w, 43); }
void mnform_mn_setup_colour_bar(Widget w) { open_format_dialog(w, 46); }
void mnform_mn_setup_thresholds(Widget w) { open_format_dialog(w, 51); }

void mnform_mn_setup_background(Widget w)
{
    const char *reply =
        dlmess_dialog_prompt(mnmisc_item_shell(w), mnbld_mn_nlsfd, MN_BACKGROUND_PROMPT.set,
                             MN_BACKGROUND_PROMPT.number, "");
    if (!reply)
        return;
    if (!dymain_dy_set_background(reply)) {
        if (Widget canvas = dymain_dy_canvas())
            XBell(XtDisplay(canvas), 0);
    }
}

void mnform_mn_add_text(Widget w)
{
    if (!annotation_available(w) || !dygrph_dy_selected_graph())
        return;
    annot_rec.graph = dygrph_dy_selected_graph();
    annot_rec.id = dygrph_dy_new_text();
    annot_rec.mode = ANNOT_ADD;
    annot_rec.body[0] = '\0';
    if (annot_rec.id < 0)
        return;
    open_annotation(w);
}

void mnform_mn_edit_text(Widget w)
{
    if (!annotation_available(w) || !dygrph_dy_selected_graph())
        return;
    edit_item = w;
    dymain_dy_edit_text(nullptr, edit_picked);
}

void mnform_mn_move_text(Widget)
{
    if (dygrph_dy_selected_graph())
        dymain_dy_move_text();
}

void mnform_mn_delete_text(Widget)
{
    if (dygrph_dy_selected_graph())
        dymain_dy_delete_text();
}
