// The start-up sequence that main() runs between opening the catalogue and
// entering its loop, and the process's exits.
#pragma once

#include "dlmain.h"

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

extern Widget displevel;

void startup_sequence(Boolean iconic);
void configure_date_time_format();
Widget initialise_display_window(Boolean iconic);
void initialise_query_window();

// The graphics library over the installation's configuration, catalogue
// and colour names (drivers installed); a failure ends the program.
void startup_initialise_graphics();

// The windows and the dialogs for the run mode, realised and shown: the
// part of the sequence that needs no interpreter.
void startup_build_user_interface(Boolean iconic);

// The dialog table: which initialiser fills which slot in which run
// modes (bit n: run mode n).  A null initialiser is a dialog still to come.
struct StartupDialog {
    int id;
    void (*initialise)(DialogRecord *rec);
    unsigned run_modes;
};
extern const StartupDialog startup_dialogs[];
extern const int startup_dialog_count;

void shell_close_cb(Widget w, XtPointer client, XtPointer call);
void save_yourself_cb(Widget w, XtPointer client, XtPointer call);
[[noreturn]] void on_forced_exit();
[[noreturn]] void on_timer_exit();
void arm_idle_timer();

// The restart command for WM_SAVE_YOURSELF: `argv` as the window has it,
// the open database's name (null: none) and whether it was opened
// exclusively.
std::vector<std::string> rewrite_restart_command(const std::vector<std::string> &argv, const char *database,
                                                 bool exclusive);

// The first line of a password file, at most 49 characters.  1 read, 0
// empty, -1 not opened.
int read_password_file(const char *path, std::string &password);
