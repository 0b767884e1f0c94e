// The Format pane: the graph formatting dialogs registered with the
// selected graph's format and refilled when the selection changes, the
// graph background, and the annotation texts (add, edit, move, delete).
#pragma once

#include "dlmain.h"
#include "dlvalues.h"

#include <X11/Intrinsic.h>

struct GoFormat;

// The format dialogs in the order they are refilled; dialog 33 (titles)
// takes the graph, the others its format.
inline constexpr int MNFORM_REFILL_ORDER[] = {35, 32, 33, 34, 36, 37, 38, 39, 44, 43, 45, 46, 42, 51};
inline constexpr int MNFORM_TITLES_DIALOG = 33, MNFORM_OPTIONS_DIALOG = 45, MNFORM_IMPLICIT_DIALOG = 42;

// The apply procedure of every format dialog: the graph view takes the
// change (dialog 42 reloads the data); a refused change of kind refills
// every dialog, an accepted one refills the options dialog.
void setup_format(DialogRecord *rec, int *done);
// The same for a dialog with an apply procedure and value of its own.
void mn_global_setup_format(DialogRecord *rec, DlNotifyProc apply, void *value, int *done);
// Every format dialog there is filled from the selected graph and
// registered with `setup_format` (run modes 0 and 3, a graph selected).
void mnform_mn_reset_format_dialogs();
// A new copy of the current default format; the caller deletes it.
GoFormat *mnform_mn_default_graph_format();

// The annotation value, and the text placed on the canvas by the
// annotation dialog's apply (`position_given` 0: the user places it).
void mnform_mn_apply_text(int position_given);
AnnotValue *mnform_mn_text_value();
AnnotValue *mnform_mn_position_value();

// Menu commands.
void mnform_mn_setup_format(Widget w);
void mnform_mn_setup_axes(Widget w);
void mnform_mn_setup_titles(Widget w);
void mnform_mn_setup_overlays(Widget w);
void mnform_mn_setup_fonts(Widget w);
void mnform_mn_setup_layout(Widget w);
void mnform_mn_setup_misc(Widget w);
void mnform_mn_setup_multiy(Widget w);
void mnform_mn_setup_options(Widget w);
void mnform_mn_setup_implicit(Widget w);
void mnform_mn_setup_legend_layout(Widget w);
void mnform_mn_setup_legend_text(Widget w);
void mnform_mn_setup_colour_bar(Widget w);
void mnform_mn_setup_thresholds(Widget w);
void mnform_mn_setup_background(Widget w);
void mnform_mn_add_text(Widget w);
void mnform_mn_edit_text(Widget w);
void mnform_mn_move_text(Widget w);
void mnform_mn_delete_text(Widget w);

// The annotation dialog's own apply procedure, installed by that dialog
// when it joins (none: the Add and Edit items say it is not available).
extern DlNotifyProc mnform_annot_apply;
