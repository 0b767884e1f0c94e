// Context help.  Widgets carry small integer help ids; asking for help on a
// widget sends its id to the help server program over X (root-window
// properties "Help Server Started" and "Target Window", client message
// "Client Request Help"), starting the server first when none runs.
#pragma once

#include <X11/Intrinsic.h>
#include <nl_types.h>

// Size of the widget registry.
inline constexpr int HLP_MAX_WIDGETS = 500;
// Number of item-help windows.
inline constexpr int HLP_MAX_WINDOWS = 10;

// (top-level, display shell, ..., nullptr): the windows that show the
// item-help and busy cursors; the first is the application widget, whose
// resources configure the client.
void InitializeHelp(Widget first, ...);
// (widget, ..., nullptr, help id, ..., 0): pairs widgets and ids by
// position.  Returns 0, registering nothing, when the counts differ.
int RegisterHelp(Widget first, ...);
// Shows the help of the widget's registered id; an unregistered widget
// does nothing.  Further arguments are ignored.
void ApplHelp(Widget w, ...);
// Shows the help of an id.
void DisplayHelp(int id);
// Runs the widget's own help callbacks, when it has any.
void ApplicationHelp(Widget w);
// Item-help mode: the next click of button 1 picks the widget or gadget
// whose help is shown.  Returns 1 when help was asked for.
int ItemHelp(Widget w, ...);
// Adds a window to the first free item-help slot.
void AddItemHelpWindow(Widget w);

// Set while item-help mode runs: the canvases' input handlers then ignore
// presses and releases of buttons other than button 1.
extern int hlp_in_item_loop;

// The catalogue the client's messages come from (set 74); without one the
// built-in texts are used.
void hlp_set_catalogue(nl_catd catd);
