// The Database and View panes' commands: open, build, configure, close and
// drop databases, change the password, write the schema, quit; refresh,
// reread the dictionary, view options and the table list.

#include "mndb.h"

#include "dlmess.h"
#include "dytab.h"
#include "menumsgs.h"
#include "mndbstmt.h"
#include "mndy.h"
#include "mnproc.h"
#include "mnmisc.h"
#include "mnqy.h"
#include "obdict.h"
#include "obmain.h"
#include "qychk.h"
#include "qycompat.h"
#include "qymgr.h"
#include "vxcat.h"
#include "wsdict.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsobjmgr.h"
#include "wstables.h"

#include <Xm/Xm.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

DbListValue dblist_dval = {"", "TALMO", "", 0};
PasswordValue password_dval, first_password_dval;
DbConfigValue dbconfig_dval;
char file_dval[255];
MnqOptions options_dval;
MnqOptions mnqview_options;
char tables_dval[256];
// The view options and table list dialogs read these as their value records.
static_assert(sizeof(MnqOptions) == sizeof(ViewOptionsValue) &&
              offsetof(MnqOptions, show_sample_data) == offsetof(ViewOptionsValue, show_sample_data) &&
              offsetof(MnqOptions, show_system_tables) == offsetof(ViewOptionsValue, show_system_tables));
static_assert(sizeof tables_dval == sizeof(TablesValue));

// The configure command's exclusive open, while its dialog is up.
static bool config_open_pending = false;

static int run_mode() { return mndy_mn_run_mode(); }

// Sends one statement; a statement the interpreter could not take whole is
// refused with an error box.  1 on success.
static int send(const std::string &statement, int exec = QY_WAIT, int buffer = QY_SIMPLE, int error = QY_REPORT)
{
    if (!mndb_statement_fits(statement)) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_STATEMENT_TOO_LONG, static_cast<int>(MNDB_STATEMENT_MAX));
        return 0;
    }
    qymgr_qy_query(statement.c_str(), exec, buffer, error);
    return qymgr_qy_ok();
}

static const char *dict_user() { return wsdict_dictionary ? wsdict_dictionary->user : ""; }
static const char *dict_database() { return wsdict_dictionary ? wsdict_dictionary->database : ""; }
static bool default_user() { return std::strcmp(dict_user(), MNDB_DEFAULT_USER) == 0; }

static void refresh_panes()
{
    mnqy_mn_set_dbase_sensitivity();
    mnqy_mn_set_view_sensitivity();
    mnqy_mn_set_query_sensitivity();
    mnqy_mn_set_proc_sensitivity();
}

static void show_none_label()
{
    if (mn_hooks.ws_set_database_label)
        mn_hooks.ws_set_database_label(mnqy_mn_dbnone);
}

static void set_table_list_file()
{
    std::string path = mndb_table_list_path(vx_install_dir(), dict_database(), dict_user());
    wsobj_ws_set_table_list_file(path.c_str());
}

// The workspace after a successful open or build.
static void rebuild_after_open(const char *name)
{
    wsevent_ws_set_interaction(2);
    wsdict_ws_read_dictionary(name);
    set_table_list_file();
    wsobj_ws_read_table_list(1);
    wsobj_ws_show_database();
    wsobj_ws_unassign_all_variables(1);
    if (mn_hooks.ws_set_database_label)
        mn_hooks.ws_set_database_label(dict_database());
    wsevent_ws_set_interaction(0);
    wsmain_ws_position_at(0, 0);
}

// ---- the database list ---------------------------------------------------------

static void set_dblist()
{
    query_dumpinfo(4, dblist_dval.path, sizeof dblist_dval.path);
    if (query_error())
        fputs("Warning! Failed to get DB list from server\n", stderr);
}

static void pop_database_list(Widget w, DlNotifyProc apply, int purpose)
{
    if (!mnmisc_dialog_available(24)) {
        mnmisc_not_available(w);
        return;
    }
    mnmisc_mn_register(24, &dblist_dval, apply);
    if (w)
        XmUpdateDisplay(w);
    set_dblist();
    DialogRecord *rec = &dlmain_dialogs[24];
    rec->setval(rec, &dblist_dval);
    mnmisc_mn_popup_dialog(w, 24, purpose);
}

static void pop_password(DlNotifyProc apply)
{
    mnmisc_mn_register(26, password_dval, apply);
    DialogRecord *rec = &dlmain_dialogs[26];
    rec->setval(rec, password_dval);
    mnmisc_mn_popup_dialog(nullptr, 26, 4);
}

// ---- open ---------------------------------------------------------------------------

const char *mndb_mn_open_db(const char *name, const char *location, const char *password, int mode)
{
    if (!name)
        return nullptr;
    if (wsdict_db_open) {
        // Whatever follows, the earlier database is closed from here on.
        send("CLOSE", QY_WAIT, QY_SIMPLE, QY_IGNORE);
        wsdict_db_open = 0;
        wsdict_db_exclusive = 0;
    }
    int ok = !password || send(mndb_pass_statement(password));
    if (ok)
        ok = send(mndb_open_statement(name, mode, location ? location : ""));
    if (ok) {
        wsdict_db_open = 1;
        wsdict_db_exclusive = mode == 1 || mode == 2;
        mnproc_set_proc_dirs(dict_user(), name);
    }
    if (run_mode() == 0) {
        if (ok) {
            rebuild_after_open(name);
        } else {
            // The earlier database's boxes leave the canvas with it.
            wsdict_ws_clear_dictionary(1);
            wsmain_ws_clear();
            show_none_label();
        }
        refresh_panes();
    }
    mngraph_mn_new_view(0, 1);
    return ok || run_mode() != 0 ? name : nullptr;
}

static void open_db(DialogRecord *rec, int *done)
{
    *done = 1;
    rec->popdown(rec);
    mndb_mn_open_db(dblist_dval.name, dblist_dval.location, password_dval, dblist_dval.mode);
}

static void open_pass_db(DialogRecord *, int *done)
{
    *done = 1;
    if (wsdict_db_open &&
        !dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_CLOSE, -1, -1, 1, dict_database()))
        return;
    if (!default_user()) {
        pop_password(open_db);
        return;
    }
    mndb_mn_open_db(dblist_dval.name, dblist_dval.location, MNDB_DEFAULT_USER, dblist_dval.mode);
}

void mndb_mn_open_database(Widget w) { pop_database_list(w, open_pass_db, 5); }

// ---- build ----------------------------------------------------------------------------

static void build_db(DialogRecord *rec, int *done)
{
    *done = 1;
    if (!dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_BUILD, -1, -1, 0,
                               static_cast<const char *>(dblist_dval.name)))
        return;
    rec->popdown(rec);
    if (!send(mndb_create_statement(dblist_dval.name, dblist_dval.location)))
        return;
    if (send(mndb_open_exclusive_statement(dblist_dval.name, ""))) {
        wsdict_db_open = 1;
        wsdict_db_exclusive = 1;
        mnproc_set_proc_dirs(dict_user(), dblist_dval.name);
        if (run_mode() == 0)
            rebuild_after_open(dblist_dval.name);
    } else if (run_mode() == 0) {
        wsdict_ws_clear_dictionary(1);
        wsmain_ws_clear();
        show_none_label();
    }
    refresh_panes();
}

void mndb_mn_build_database(Widget w) { pop_database_list(w, build_db, 4); }

// ---- configure ----------------------------------------------------------------------

static void close_on_reset(DialogRecord *)
{
    if (!config_open_pending)
        return;
    config_open_pending = false;
    send("CLOSE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
}

// Dialog 25 taken away other than by OK: the exclusive open ends with it.
static void config_dismiss(DialogRecord *rec, int *done)
{
    close_on_reset(rec);
    mnmisc_mn_dismiss_notify(rec, done);
}

static void do_config_db(DialogRecord *, int *done)
{
    *done = 1;
    config_open_pending = false;
    MndbConfigWrite w = mndb_config_to_write(dbconfig_dval.field);
    qychk_qy_configure_dictionary(w.sizes, w.wishes);
    send("CLOSE", QY_WAIT, QY_SIMPLE, QY_IGNORE);
    qychk_qy_configure_database(dblist_dval.name, w.memsize, w.postsize, w.locks_choice, w.maxfiles);
}

static void open_and_get_config(const char *password)
{
    if (!send(mndb_pass_statement(password)))
        return;
    if (!send(mndb_open_exclusive_statement(dblist_dval.name, dblist_dval.location)))
        return;
    config_open_pending = true;
    MndbConfigRead r{};
    if (!qychk_qy_get_config(dblist_dval.name, &r.memsize, &r.postsize, &r.locks_off, r.limits, r.indexed)) {
        // The error is shown; the exclusive open must not outlive it.
        close_on_reset(nullptr);
        return;
    }
    mndb_config_from_read(r, dbconfig_dval.field);
    if (!mnmisc_dialog_available(25)) {
        close_on_reset(nullptr);
        mnmisc_not_available(nullptr);
        return;
    }
    mnmisc_mn_tell_me_reset(close_on_reset);
    mnmisc_mn_register(25, &dbconfig_dval, do_config_db);
    DialogRecord *rec = &dlmain_dialogs[25];
    rec->dismiss = config_dismiss;
    rec->setval(rec, &dbconfig_dval);
    mnmisc_mn_popup_dialog(nullptr, 25, 4);
}

static void config_pass_db(DialogRecord *rec, int *done)
{
    *done = 1;
    rec->popdown(rec);
    open_and_get_config(password_dval);
}

static void config_db(DialogRecord *rec, int *done)
{
    *done = 1;
    rec->popdown(rec);
    if (!default_user()) {
        pop_password(config_pass_db);
        return;
    }
    open_and_get_config(MNDB_DEFAULT_USER);
}

void mndb_mn_configure_database(Widget w) { pop_database_list(w, config_db, 4); }

// ---- close and drop -----------------------------------------------------------------

static void after_close()
{
    show_none_label();
    wsdict_ws_clear_dictionary(1);
    wsmain_ws_clear();
    wsdict_db_open = 0;
    wsdict_db_exclusive = 0;
    refresh_panes();
}

void mndb_mn_close_database(Widget)
{
    if (!dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_CLOSE, -1, -1, 1, dict_database()))
        return;
    send("CLOSE");
    after_close();
    mngraph_mn_new_view(0, 1);
}

int mndb_mn_remove_table_list_file(const char *database, const char *user)
{
    unlink(mndb_table_list_path(vx_install_dir(), database ? database : "", user ? user : "").c_str());
    return 1;
}

void mndb_mn_drop_database(Widget)
{
    std::string db = dict_database();
    if (!dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_DROP, -1, -1, 1, db.c_str()))
        return;
    std::vector<std::string> tables, users;
    if (wsdict_dictionary) {
        for (const DictRelation *r = wsdict_dictionary->relations; r; r = r->next)
            tables.emplace_back(r->name);
        for (const DictUser *u = wsdict_dictionary->users; u; u = u->next)
            users.emplace_back(u->name);
    }
    for (const std::string &statement : mndb_drop_table_statements(tables))
        if (!send(statement))
            break;
    for (const std::string &u : users)
        mndb_mn_remove_table_list_file(db.c_str(), u.c_str());
    send("CLOSE");
    send(mndb_drop_database_statement(db));
    after_close();
}

// ---- password ----------------------------------------------------------------------------

static void change_pass_db_2(DialogRecord *, int *done)
{
    *done = 1;
    if (std::strcmp(first_password_dval, password_dval) != 0) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_PASSWORDS_DIFFER);
        return;
    }
    send(mndb_pass_statement(password_dval));
}

static void change_pass_db_1(DialogRecord *rec, int *done)
{
    *done = 0;
    std::memcpy(first_password_dval, password_dval, sizeof first_password_dval);
    dlmess_dialog_show_warning(nullptr, mnbld_mn_nlsfd, MN_PASSWORD_AGAIN);
    password_dval[0] = '\0';
    rec->setval(rec, password_dval);
    mnmisc_mn_register(26, password_dval, change_pass_db_2);
}

void mndb_mn_password_database(Widget w)
{
    if (!mnmisc_dialog_available(26)) {
        mnmisc_not_available(w);
        return;
    }
    password_dval[0] = '\0';
    mnmisc_mn_register(26, password_dval, change_pass_db_1);
    DialogRecord *rec = &dlmain_dialogs[26];
    rec->setval(rec, password_dval);
    mnmisc_mn_popup_dialog(w, 26, 4);
}

// ---- schema ----------------------------------------------------------------------------

static void write_schema_db(DialogRecord *, int *done)
{
    *done = 1;
    FILE *f = std::fopen(file_dval, "w");
    if (!f) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_SCHEMA_NOT_WRITTEN, static_cast<const char *>(file_dval));
        return;
    }
    wsdict_ws_write_schema(f);
    if (std::fclose(f) != 0)
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_SCHEMA_NOT_WRITTEN, static_cast<const char *>(file_dval));
}

void mndb_mn_schema_database(Widget w)
{
    mnmisc_mn_register(4, file_dval, write_schema_db);
    mnmisc_mn_popup_dialog(w, 4, 4);
}

// ---- quit ---------------------------------------------------------------------------------

void mndb_mn_quit(Widget)
{
    if (!dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_QUIT, -1, -1, 1))
        return;
    qymgr_qy_term();
    std::exit(0);
}

// ---- view ----------------------------------------------------------------------------------

// The table objects again from the table-list file (after a reread or a
// new table list).
static void rebuild_table_objects()
{
    wsevent_ws_set_interaction(2);
    wsdict_ws_clear_dictionary_objects();
    wsobj_ws_read_table_list(1);
    wsobj_ws_show_database();
    wsobj_ws_unassign_all_variables(0);
    wsevent_ws_set_interaction(0);
    wsmain_ws_position_at(0, 0);
}

void mnqview_mn_refresh(Widget) { wsmain_ws_refresh_from(0); }

void mnqview_mn_reread_dictionary(Widget w)
{
    if (!wsdict_db_open)
        return;
    if (w && !dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_REREAD, -1, -1, 0))
        return;
    std::string database = dict_database();  // the read renews the record that holds it
    wsdict_ws_read_dictionary(database.c_str());
    rebuild_table_objects();
}

static void options_view(DialogRecord *rec, int *done)
{
    *done = 1;
    rec->popdown(rec);
    wsmain_ws_clear();
    wsevent_ws_set_interaction(2);
    // Measured against what the objects show now.
    MnqOptions shown = mnqview_options;
    shown.show_table_info = obmain_ob_options[0];
    shown.show_index_info = obmain_ob_options[1];
    shown.show_system_tables = obmain_ob_options[2];
    MnqOptionChange change = mnqview_option_change(shown, options_dval, wsdict_db_open != 0);
    mnqview_options = mnqview_applied_options(mnqview_options, options_dval);
    obmain_ob_options[0] = options_dval.show_table_info ? 1 : 0;
    if (change.mark_indexed)
        ws_set_indexed_columns();
    obmain_ob_options[1] = options_dval.show_index_info ? 1 : 0;
    if (change.system_tables > 0) {
        wsmain_ws_position_at(0, 0);
        wsobj_ws_create_system_table_objects();
        wsobj_ws_resize_drawing_area_for_database();
    } else if (change.system_tables < 0) {
        wsmain_ws_position_at(0, 0);
        wsobj_ws_destroy_system_table_objects();
    }
    obmain_ob_options[2] = options_dval.show_system_tables ? 1 : 0;
    wsmain_ws_refresh_from(0);
    wsevent_ws_set_interaction(0);
}

void mnqview_mn_set_options(Widget w)
{
    if (!mnmisc_dialog_available(27)) {
        mnmisc_not_available(w);
        return;
    }
    mnmisc_mn_register(27, &options_dval, options_view);
    DialogRecord *rec = &dlmain_dialogs[27];
    rec->setval(rec, &options_dval);
    mnmisc_mn_popup_dialog(w, 27, 4);
}

static bool objects_selected() { return wsdict_dictionary && wsdict_ws_objects_selected(); }

static void tables_view(DialogRecord *rec, int *)
{
    if (objects_selected() &&
        !dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_TABLE_LIST, -1, -1, 0)) {
        wsobj_ws_write_table_list();
        return;
    }
    rec->popdown(rec);
    rebuild_table_objects();
}

void mnqview_mn_set_tables(Widget w)
{
    if (!mnmisc_dialog_available(28)) {
        mnmisc_not_available(w);
        return;
    }
    mnmisc_mn_register(28, tables_dval, tables_view);
    const char *path = wsobj_ws_table_list_file();
    std::snprintf(tables_dval, sizeof tables_dval, "%s", path ? path : "");
    DialogRecord *rec = &dlmain_dialogs[28];
    rec->setval(rec, tables_dval);
    mnmisc_mn_popup_dialog(w, 28, 4);
}

void mnqview_mn_set_initial_options(const AppData *adata)
{
    options_dval.show_table_info = adata->initialShowTableInfo;
    options_dval.show_index_info = adata->initialShowIndexInfo;
    options_dval.show_sample_data = adata->initialShowSampleData;
    options_dval.show_system_tables = adata->initialShowSystemTables;
    mnqview_options = options_dval;
}

// ---- sensitivity ----------------------------------------------------------------------

static MndbSensState sens_state()
{
    MndbSensState s{};
    s.open = wsdict_db_open != 0;
    s.exclusive = wsdict_db_exclusive != 0;
    s.default_user = default_user();
    s.dbpriv = s.open && obdict_ob_i_have_dbpriv(2);
    return s;
}

static void apply_rules(const MndbSensRule *rules, std::size_t count)
{
    if (run_mode() != 0)
        return;
    MndbSensState s = sens_state();
    for (std::size_t i = 0; i < count; i++)
        for (int h = 0; h < mnqy_handle_count; h++)
            if (std::strcmp(mnqy_handles[h].name, rules[i].item) == 0 && *mnqy_handles[h].widget)
                XtSetSensitive(*mnqy_handles[h].widget, rules[i].sensitive(s) ? True : False);
}

void mnqy_mn_set_dbase_sensitivity() { apply_rules(mndb_dbase_rules, mndb_dbase_rule_count); }

void mnqy_mn_set_view_sensitivity() { apply_rules(mndb_view_rules, mndb_view_rule_count); }
