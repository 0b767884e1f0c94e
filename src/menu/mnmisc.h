// The menu side of the dialog protocol, the busy test, the reset hook, the
// settings directories and named settings files, and the seams through
// which the menus reach parts of the program that join later.
#pragma once

#include "dlmain.h"

#include <X11/Intrinsic.h>

#include <cstdio>
#include <functional>
#include <string>

// ---- seams --------------------------------------------------------------------

// Filled by start-up as the parts behind them join; a null entry means
// the part is not there.
struct MnHooks {
    // The workspace's interaction mode (non-zero: busy).  Null: the
    // holder below.
    int (*ws_interaction)();
    // The canvases that carry the popup menus, and the procedures that
    // take each window's popup procedure.  Null canvas: the window's main
    // window carries the popup, posted by button 3 on its own.
    Widget (*ws_canvas)();
    void (*ws_set_popup)(Widget popup, void (*proc)(Widget, XEvent *));
    Widget (*dy_canvas)();
    void (*dy_set_popup)(Widget popup, void (*proc)(Widget, XEvent *));
    // The graph view's change of data order for the selected graph
    // (non-zero when done).
    int (*set_new_data_order)(int order);
    // Rereads the data dictionary without asking (after a user-menu
    // command asked for it).
    void (*reread_dictionary)(Widget w);
    // The workspace's database label and the Verify toggle's receiver.
    void (*ws_set_database_label)(const char *name);
    // Refreshes the selection and colour-map items after a change of
    // output mode.
    void (*output_mode_changed)(int mode);
    // Printing of the display window's graph and table to the current
    // print settings (1 when printed, 0 when it failed), and the refresh of the Print items'
    // sensitivities.
    int (*print_graph)(int interactive);
    int (*print_table)(int interactive);
    void (*print_sensitivity)();
};
extern MnHooks mn_hooks;

// The workspace interaction mode while the workspace itself is not there:
// the query manager sets it busy around waiting queries.
struct QyWorkspaceHooks;
const QyWorkspaceHooks *mnmisc_mode_holder();
int mnmisc_held_mode();
// Non-zero while the workspace is busy.
int mnmisc_ws_interaction();

// ---- dialogs --------------------------------------------------------------------

int mnmisc_mn_register(int id, void *value, DlNotifyProc apply);
// Pops dialog `id` up at `widget` (default placement without one).  A
// dialog that is not there answers the item's "not available" box.
void mnmisc_mn_popup_dialog(Widget widget, int id, int purpose);
// Whether dialog `id` can be shown (its initialiser ran and its widget
// exists).
bool mnmisc_dialog_available(int id);

void mnmisc_mn_apply_notify(DialogRecord *rec, int *done);
void mnmisc_mn_reset_notify(DialogRecord *rec, int *done);
void mnmisc_mn_delete_notify(DialogRecord *rec, int *done);
void mnmisc_mn_help_notify(DialogRecord *rec, int *done);
void mnmisc_mn_dismiss_notify(DialogRecord *rec, int *done);
DialogRecord *mnmisc_mn_adopt_notify(DialogRecord *rec, int id);
// Installs the six procedures in record `id` and clears its client words.
void mnmisc_install_notify(int id);

using MnResetProc = void (*)(DialogRecord *rec);
void mnmisc_mn_tell_me_reset(MnResetProc proc);
MnResetProc mnmisc_reset_hook();

// The "not available yet" box for a menu item (its label names it); a
// toggle is set back to the state it had.
void mnmisc_not_available(Widget item);
// The shell of the window an item belongs to.
Widget mnmisc_item_shell(Widget item);
// The label text of an item.
std::string mnmisc_item_label(Widget item);

// ---- settings directories and files ----------------------------------------------

// 1 when the directory exists (readable and writable) or was made, else 0
// (only the last component is made).  A user's own directory gets mode
// 0755 whatever the file-creation mask; a directory several users write
// into (`shared`) 01777, where none removes or replaces another's files.
int mnmisc_mn_make_dir(const char *path, bool shared = false);

// Finds a named settings file: through the search-path variable when it
// is set and the file found there opens, else in the own directory, else
// in the shared one.  Empty when it is nowhere.
std::string mnmisc_find_settings_file(const char *path_variable, const std::string &own_dir,
                                      const std::string &shared_dir, const std::string &name);

// Saving a settings file: the directory is made when missing, the file
// written by `write` and given mode 0644.
enum MnSaveResult { MN_SAVED = 0, MN_SAVE_NO_DIR = 1, MN_SAVE_NOT_WRITABLE = 2, MN_SAVE_WRITE_FAILED = 3 };
int mnmisc_save_settings_file(const std::string &dir, const std::string &name,
                              const std::function<bool(FILE *)> &write);
