// The start-up sequence that main() runs between opening the catalogue and
// entering its loop, and the process's exits.
#pragma once

#include <X11/Intrinsic.h>

extern Widget displevel;

void startup_sequence(Boolean iconic);
void configure_date_time_format();
Widget initialise_display_window(Boolean iconic);
void initialise_query_window();

void shell_close_cb(Widget w, XtPointer client, XtPointer call);
[[noreturn]] void on_forced_exit();
[[noreturn]] void on_timer_exit();
void arm_idle_timer();
