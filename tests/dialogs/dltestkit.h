// Test kit for dialogs under Xvfb: one in-process application with two
// realised shells, the framework initialised on the catalogue of the build,
// and helpers to find widgets by name, type text, press buttons, close a
// shell as the window manager does, and answer a modal box from inside its
// nested loop.
#pragma once

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlmain.h"

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace vxdl {

struct App {
    XtAppContext context = nullptr;
    Display *display = nullptr;
    Widget top = nullptr;    // the application shell ("queryShell")
    Widget other = nullptr;  // a second top-level shell ("displayShell")
    AppData adata{};
};

// Opens the display and initialises the dialog framework on first use.
App &app();

// The first widget named `name` under `root` (children and pop-up
// children, depth first), or none.
Widget find(Widget root, const char *name);
// The first widget named `name` under either shell that is managed and
// whose shell is popped up, or none.
Widget find_shown(const char *name);

// Activates a push button (widget or gadget) through its callbacks.
void press(Widget button);
// Presses a standard button of a message or selection box
// (XmDIALOG_OK_BUTTON, XmDIALOG_CANCEL_BUTTON, ...).
void press_box(Widget box, unsigned char which);
// Sends WM_DELETE_WINDOW to the shell of `w`, as a window manager does.
void wm_close(Widget w);

void set_text(Widget text, const char *value);
std::string text(Widget text);
std::string xmstring(XmString s);
std::string label(Widget w);        // labelString
std::string message(Widget box);    // messageString of a message box
std::string shell_title(Widget w);  // title of the shell of `w`

// Processes events until `cond` holds or the bound passes.
bool pump_until(const std::function<bool()> &cond, std::chrono::milliseconds bound = std::chrono::seconds(5));

// Runs `action` on the widget named `name` once it is shown, from inside
// whatever loop is taking events then (a modal box's own loop, say).
struct Pending {
    bool ran = false;
    bool expired = false;
};
std::shared_ptr<Pending> when_shown(const char *name, std::function<void(Widget)> action,
                                    std::chrono::milliseconds bound = std::chrono::seconds(5));
// Drops every action that has not run yet (for the end of a test).
void cancel_pending();

// ---- real input ------------------------------------------------------------
// The tests that use these run alone on their display (SERIAL): the
// pointer and the keyboard focus are the server's, not the test's.

// The widget at a "/"-separated path of names below `root` (children and
// pop-up children), or none.
Widget at(Widget root, const char *path);
// The n-th (from 0) widget named `name` under `root`, depth first, or none.
Widget nth(Widget root, const char *name, int n);

// Processes events until none is waiting after an XSync.
void pump_idle();
// Waits (with a bound) until the window of `w` (its parent's for a gadget)
// is viewable; false when it never is.
bool wait_viewable(Widget w);
// The root position of the centre of a widget or gadget.
void root_centre(Widget w, int &x, int &y);

// Moves the pointer to the centre of `w` and clicks through XTest.
void click(Widget w, int button = 1);
void double_click(Widget w);
// Clicks list item `position` (from 1) `count` times.
void click_item(Widget list, int position, int count = 1);

// Gives `text` the keyboard focus (its shell's window gets the server's
// focus; no window manager runs) and types `chars` through XTest.
void type(Widget text, const std::string &chars);
// Selects the whole text of `text` (focus set as above) and types
// `chars` over it, as a user replaces a field's text.
void retype(Widget text, const std::string &chars);
// Presses one key by its keysym name ("Return", "BackSpace") in `text`.
void key(Widget text, const char *keysym_name);

// Bells rung on the display so far, counted from XKB bell events.
int bells();

// A dialog record made for a test: a prompt dialog `name` on `parent` with
// the standard buttons of `button_type`, standard callbacks and window
// manager close, and the standard popup and popdown methods.
DialogRecord *make_test_dialog(int id, Widget parent, const char *name, int button_type);

}  // namespace vxdl
