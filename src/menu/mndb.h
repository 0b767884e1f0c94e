// The Database and View panes' commands of the query window.
#pragma once

#include "dldbdialogs.h"
#include "mndbstmt.h"
#include "vxadata.h"

#include <X11/Intrinsic.h>

// Menu routines (dispatch codes 6-17).
void mndb_mn_open_database(Widget w);
void mndb_mn_build_database(Widget w);
void mndb_mn_configure_database(Widget w);
void mndb_mn_close_database(Widget w);
void mndb_mn_drop_database(Widget w);
void mndb_mn_password_database(Widget w);
void mndb_mn_schema_database(Widget w);
void mndb_mn_quit(Widget w);
void mnqview_mn_refresh(Widget w);
void mnqview_mn_reread_dictionary(Widget w);
void mnqview_mn_set_options(Widget w);
void mnqview_mn_set_tables(Widget w);

// Opens a database (mode 0 shared, 1 exclusive, 2 forced; a null
// password sends none).  Returns the name, or null when the open failed
// in run mode 0.
const char *mndb_mn_open_db(const char *name, const char *location, const char *password, int mode);
// Deletes the user's table-list file of the database; returns 1.
int mndb_mn_remove_table_list_file(const char *database, const char *user);
void mnqview_mn_set_initial_options(const AppData *adata);
// Refresh the two panes (run mode 0 only).
void mnqy_mn_set_dbase_sensitivity();
void mnqy_mn_set_view_sensitivity();

// The values the commands own.
extern DbListValue dblist_dval;
extern PasswordValue password_dval, first_password_dval;
extern DbConfigValue dbconfig_dval;
extern char file_dval[255];
extern MnqOptions options_dval;
// The options the workspace shows now (the last applied).
extern MnqOptions mnqview_options;
extern char tables_dval[256];
