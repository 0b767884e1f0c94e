// The workspace object manager: opens an object's dialog to edit it or a
// tool's dialog to create one, gathers the references picked while the
// dialog is open, and carries out the dialog's Apply, Reset, Delete, Help
// and Dismiss through the object classes and the data dictionary.
#pragma once

#include "wsobj.h"

#include <X11/Intrinsic.h>

struct AppData;
struct DialogRecord;

inline constexpr int WSMGR_MAX_REFERENCES = 50;

// Sets the validation flag and installs the notify procedures on the
// dialogs 6 to 23.
void wsmgr_workspace_manager_init(const AppData *adata);
void wsmgr_ws_set_validation(int on);
int wsmgr_ws_validation();

void wsmgr_ws_perform_edit(QueryObject *object, const ObPoint *point);
void wsmgr_ws_perform_create(int tool, const ObPoint *point, QueryObject *drop);
void wsmgr_ws_perform_reference(QueryObject *object);

QueryObject *wsmgr_ws_enquire_current_object();
Widget wsmgr_ws_enquire_current_dialog();
// The current dialog's id, -1 none.
int wsmgr_ws_enquire_current_dialog_id();
QueryObject *wsmgr_ws_enquire_last_reference();
QueryObject *wsmgr_ws_enquire_reference(int index);
QueryObject *wsmgr_ws_enquire_var_reference(const char *name);
unsigned wsmgr_ws_refernce_mask();
// How many references are pending (it keeps counting past the 50 slots).
int wsmgr_ws_reference_count();

// The notify procedures of the object dialogs.
void wsmgr_apply_notify(DialogRecord *rec, int *done);
void wsmgr_reset_notify(DialogRecord *rec, int *done);
void wsmgr_delete_notify(DialogRecord *rec, int *done);
void wsmgr_help_notify(DialogRecord *rec, int *done);
void wsmgr_dismiss_notify(DialogRecord *rec, int *done);
DialogRecord *wsmgr_adopt_notify(DialogRecord *rec, int id);

// Forgets the current dialog and the pending references (tests, new
// database).
void wsmgr_ws_reset_manager();

// The pause of a reference's flash (150 ms under X; tests make it none).
void wsmgr_ws_set_flash_pause(void (*pause)());
