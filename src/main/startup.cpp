// Start-up sequence: shells, menus, dialogs, signals, exits, the idle
// time-out, the database and procedure of the command line.

#include "startup.h"

#include "LiteClue.h"
#include "dldbdialogs.h"
#include "dlcol.h"
#include "dlexpr.h"
#include "dlidx.h"
#include "dluser.h"
#include "dlsgj.h"
#include "dlstat.h"
#include "dlvar.h"
#include "dlxfer.h"
#include "dlproc.h"
#include "dltab.h"
#include "dlmain.h"
#include "dlmess.h"
#include "dsmgr.h"
#include "dygrph.h"
#include "dymain.h"
#include "dytab.h"
#include "giinit.h"
#include "glinit.h"
#include "gx11.h"
#include "gpinit.h"
#include "goshell.h"
#include "gopix.h"
#include "grkind.h"
#include "gsformat.h"
#include "mainmsgs.h"
#include "mnbld.h"
#include "mndb.h"
#include "mndy.h"
#include "mnform.h"
#include "mngraph.h"
#include "mnmisc.h"
#include "mnprint.h"
#include "mnproc.h"
#include "mnquery.h"
#include "mnqy.h"
#include "obbox.h"
#include "obdb.h"
#include "pelx.h"
#include "prexec.h"
#include "prgraph.h"
#include "prmsgs.h"
#include "prmgr.h"
#include "qycompat.h"
#include "qychk.h"
#include "vxcat.h"
#include "vxfilter.h"
#include "qymgr.h"
#include "vxdate.h"
#include "wsdict.h"
#include "obmain.h"
#include "obview.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsmgr.h"
#include "wsobjmgr.h"
#include "wsxfer.h"
#include "vxhelp.h"
#include "vxmain.h"
#include "vxproc.h"
#include "vxutil.h"

#include <Xm/MainW.h>
#include <Xm/MwmUtil.h>
#include <Xm/Protocols.h>
#include <X11/Shell.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

Widget displevel = nullptr;
static Atom wm_delete_window;
static Atom wm_save_yourself;

// ---- exits ---------------------------------------------------------------------

// SIGINT, SIGQUIT and SIGTERM end the program, but the exit steps are not safe in a
// signal handler: the handler writes a byte to a pipe that the main loop
// watches, and the exit runs from there.  A query the program waits for
// without a loop would hold that back until it ended: the handler stops it
// (which only signals the interpreter).
static int exit_pipe[2] = {-1, -1};

static void forced_exit_signal(int)
{
    char c = 'x';
    ssize_t n = write(exit_pipe[1], &c, 1);
    (void)n;
    if (query_busy() > 0)
        query_abort();
}

static void forced_exit_input(XtPointer, int *, XtInputId *) { on_forced_exit(); }

// The steps every exit takes.  The display-server protocol and the
// temporary blob file join these as they arrive.
static void exit_steps()
{
    qymgr_qy_term();
    fflush(stdout);
}

void shell_close_cb(Widget, XtPointer, XtPointer)
{
    exit_steps();
    exit(0);
}

void on_forced_exit()
{
    // A signal asks for the end now: a running query is stopped rather than
    // waited for, however long it would still run.
    if (query_busy() > 0)
        qymgr_qy_query_abort();
    exit_steps();
    _exit(0);
}

void on_timer_exit()
{
    fputs(vx_msgf(adata.catd, MAIN_TIMEOUT_EXIT).c_str(), stderr);
    exit_steps();
    _exit(0);
}

static void install_signals()
{
    signal_action(SIGHUP, SIG_IGN);
    if (pipe(exit_pipe) == 0) {
        fcntl(exit_pipe[0], F_SETFD, FD_CLOEXEC);
        fcntl(exit_pipe[1], F_SETFD, FD_CLOEXEC);
        fcntl(exit_pipe[1], F_SETFL, O_NONBLOCK);
        XtAddInput(exit_pipe[0], reinterpret_cast<XtPointer>(XtInputReadMask), forced_exit_input, nullptr);
        struct sigaction sa {};
        sa.sa_handler = forced_exit_signal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGQUIT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
    }
}

// ---- the open database ------------------------------------------------------------

// The database the command line opened (outside run mode 0 the dictionary
// is not read, so it does not hold the name).
static std::string command_line_database;

// The database open now and how, as the dictionary has them.
static const char *open_database_name()
{
    if (!wsdict_db_open)
        return nullptr;
    if (wsdict_dictionary && wsdict_dictionary->database[0])
        return wsdict_dictionary->database;
    return command_line_database.empty() ? nullptr : command_line_database.c_str();
}
static bool open_database_exclusive() { return wsdict_db_exclusive != 0; }

// Opens a database from the command line (mode 0 shared, 1 exclusive, 2
// forced) as the Open command does; a refused open leaves none open.
static void open_database(const std::string &name, const char *password, int mode)
{
    const char *opened = mndb_mn_open_db(name.c_str(), "", password, mode);
    command_line_database = opened && wsdict_db_open ? opened : "";
}

// Runs a procedure from the command line: 0 when it ran.
static int execute_procedure(const std::string &name)
{
    return mnproc_mn_execute_proc(name.c_str(), 1, 0, 0, 0, nullptr);
}

// The procedure recorder and the replay: the database commands record the
// variables a replay creates, the display tells the replay that it has
// shown new data.
static void connect_procedures(Widget query_shell, Widget display_shell)
{
    obdb_set_record_hook(prmgr_pr_record_hook);
    dy_hooks.data_handled = prexec_pr_notify_data_handled;
    const QyWorkspaceHooks *mode = mnmisc_mode_holder();
    prexec_hooks.get_mode = mode->get_mode;
    prexec_hooks.set_mode = mode->set_mode;
    prexec_hooks.display_shell = display_shell;
    prexec_hooks.query_shell = query_shell;
    prexec_hooks.catd = adata.catd;
    prexec_hooks.run_mode = adata.runMode;
    prexec_hooks.output_csv = perform_output_csv;
    dlproc_death_trap = query_death;
}

// ---- the restart command ----------------------------------------------------------

std::vector<std::string> rewrite_restart_command(const std::vector<std::string> &argv, const char *database,
                                                 bool exclusive)
{
    const char *mode_word = exclusive && database ? "-exclusive" : "-shared";
    std::vector<std::string> out;
    out.reserve(argv.size() + 3);
    out.push_back("vostrelane");
    bool had_database = false, had_mode = false;
    for (size_t i = 1; i < argv.size(); i++) {
        const std::string &word = argv[i];
        if (argv[i - 1] == "-database" && i - 1 >= 1) {
            out.push_back(database ? database : "%NODB%");
        } else if (word == "-shared" || word == "-exclusive" || word == "-forced") {
            out.push_back(mode_word);
            had_mode = true;
        } else {
            out.push_back(word);
        }
        if (word == "-database")
            had_database = true;
    }
    // A "-database" at the end gets its name, else the restart would take
    // the mode word for one.
    if (argv.size() >= 2 && argv.back() == "-database")
        out.push_back(database ? database : "%NODB%");
    if (!had_database && database) {
        out.push_back("-database");
        out.push_back(database);
    }
    if (!had_mode)
        out.push_back(mode_word);
    return out;
}

void save_yourself_cb(Widget w, XtPointer, XtPointer)
{
    Display *dpy = XtDisplay(w);
    Window win = XtWindow(w);
    char **argv = nullptr;
    int argc = 0;
    std::vector<std::string> words;
    if (XGetCommand(dpy, win, &argv, &argc)) {
        for (int i = 0; i < argc; i++)
            words.push_back(argv[i]);
        XFreeStringList(argv);
    }
    if (words.empty())
        words.push_back("vostrelane");
    std::vector<std::string> restart = rewrite_restart_command(words, open_database_name(), open_database_exclusive());
    std::vector<char *> list;
    for (std::string &s : restart)
        list.push_back(s.data());
    XSetCommand(dpy, win, list.data(), static_cast<int>(list.size()));
}

// ---- windows --------------------------------------------------------------------------

// The workspace canvas carries the query window's popup menu: button 3
// there runs the canvas action that calls the menu side's procedure.
static Widget workspace_popup = nullptr;
static void (*workspace_popup_proc)(Widget, XEvent *) = nullptr;

static void connect_menus_to_workspace()
{
    mn_hooks.ws_canvas = wsmain_ws_canvas;
    mn_hooks.ws_set_database_label = wsmain_ws_set_db_name;
    mn_hooks.ws_set_popup = [](Widget popup, void (*proc)(Widget, XEvent *)) {
        workspace_popup = popup;
        workspace_popup_proc = proc;
        wsevent_ws_set_popup_menu([](Widget, XEvent *event) {
            if (workspace_popup && workspace_popup_proc)
                workspace_popup_proc(workspace_popup, event);
        });
    };
}

void initialise_query_window()
{
    if (adata.disableWMClose)
        XtVaSetValues(toplevel, XmNmwmFunctions, MWM_FUNC_ALL | MWM_FUNC_CLOSE, nullptr);
    XmAddWMProtocolCallback(toplevel, wm_delete_window, shell_close_cb, nullptr);
    XmAddWMProtocolCallback(toplevel, wm_save_yourself, save_yourself_cb, nullptr);
    if (adata.runMode != RUN_INTERACTIVE)
        return;
    Widget main_window = XmCreateMainWindow(toplevel, const_cast<char *>("queryWindow"), nullptr, 0);
    XtManageChild(main_window);
    // The work area before the menus: its canvas carries the popup menu
    // and its title shows the database label.
    Widget work = wsmain_workspace_init(main_window, &adata);
    connect_menus_to_workspace();
    Widget bar = mnqy_mn_create_query_menu(toplevel, main_window, &adata);
    XmMainWindowSetAreas(main_window, bar, nullptr, nullptr, nullptr, work);
}

// The Query pane's commands and the work area's New and Run buttons reach
// the workspace: New clears the query, Run turns into Stop, the result
// table and a target table show on the canvas, the target icon follows the
// target; the buttons and the pane follow what is selected.
static void connect_query_commands_to_workspace()
{
    mnq_ws.unassign_all_variables = wsobj_ws_unassign_all_variables;
    mnq_ws.new_query = wsobj_ws_new_query;
    mnq_ws.set_validation = wsmgr_ws_set_validation;
    mnq_ws.collect_objects = [](int root_x, int root_y) {
        int x = 0, y = 0;
        wsmain_ws_get_canvas_position(root_x, root_y, &x, &y);
        wsobj_ws_collect_objects(x, y);
    };
    mnq_ws.set_buttons_sensitive = wsmain_ws_set_buttons_sensitive;
    mnq_ws.enable_stop = wsmain_ws_enable_stop;
    mnq_ws.set_target_icon = [](int index) { wsmain_ws_set_target_icon(index); };
    mnq_ws.create_result_objects = [](const char *name) { wsobj_ws_create_result_objects(name); };
    mnq_ws.destroy_result_objects = wsobj_ws_destroy_result_objects;
    mnq_ws.resize_drawing_area = wsobj_ws_resize_drawing_area_for_database;
    mnq_ws.refresh = [] { wsmain_ws_refresh_from(0); };
    mnq_ws.reset_table_object_rows = [](const char *table) { obtab_reset_table_object_rows(table); };
    mnq_ws.group_objects_exist = [] { return wsdict_dictionary && wsdict_dictionary->groups ? 1 : 0; };
    mnq_ws.graph_view = dygrph_dy_graph_mode;
    // New and Run carry the menu items' labels and run their commands.
    const std::string new_label = mnmisc_item_label(query_new_b), run_label = mnmisc_item_label(query_run_b);
    wsmain_ws_set_buttons(new_label.empty() ? nullptr : new_label.c_str(), mnqy_qmenu_cb,
                          reinterpret_cast<XtPointer>(static_cast<intptr_t>(18)),
                          run_label.empty() ? nullptr : run_label.c_str(), mnqy_qmenu_cb,
                          reinterpret_cast<XtPointer>(static_cast<intptr_t>(19)));
    wsdict_ws_set_activity_notify(mnqy_mn_set_query_sensitivity);
    // A user-menu command that asks for it rereads the dictionary.
    mn_hooks.reread_dictionary = mnqview_mn_reread_dictionary;
    mnqy_mn_set_query_sensitivity();
    mnquery_mn_set_target_icon();
}

// The workspace's manager, object classes and hooks, once the dialogs
// exist (query window only).
static QyWorkspaceHooks workspace_hooks{wsevent_ws_interaction, wsevent_ws_set_interaction,
                                        wsmain_ws_set_stop_proc};
static void initialise_workspace()
{
    if (adata.runMode != RUN_INTERACTIVE || !wsmain_ws_canvas())
        return;
    wsmgr_workspace_manager_init(&adata);
    obmain_object_init(toplevel, wsmain_ws_canvas(), &adata);
    // Long table formats and transfers poll the Stop button.
    obmain_ob_set_stop_widget(wsmain_ws_get_stop_button());
    dytab_dy_set_stop_widget(wsmain_ws_get_stop_button());
    obmain_initialise_classes();
    obmain_ob_options[0] = adata.initialShowTableInfo;
    obmain_ob_options[1] = adata.initialShowIndexInfo;
    obmain_ob_options[2] = adata.initialShowSystemTables;
    obmain_ob_options[3] = adata.initialShowSampleData;
    wsevent_ws_set_display_window_probe([] { return displevel ? 1 : 0; });
    qymgr_qy_set_workspace_hooks(&workspace_hooks);
    dy_hooks.get_mode = workspace_hooks.get_mode;
    dy_hooks.set_mode = workspace_hooks.set_mode;
    dy_hooks.set_stop_proc = workspace_hooks.set_stop_proc;
    // Rows arriving in the display window end the query: Stop turns back
    // into Run.
    dy_hooks.enable_stop = wsmain_ws_enable_stop;
    mn_hooks.ws_interaction = wsevent_ws_interaction;
    mn_hooks.ws_canvas = wsmain_ws_canvas;
    mn_hooks.ws_set_database_label = wsmain_ws_set_db_name;
    wsobj_ws_set_reread_hook([] { mnqview_mn_reread_dictionary(nullptr); });
    // A user dropped through the user object takes their table list along.
    obdb_set_remove_table_list_hook([](const char *user) {
        mndb_mn_remove_table_list_file(wsdict_dictionary ? wsdict_dictionary->database : "", user);
    });
    // Loads and unloads run under the workspace's busy mode and its Stop.
    static const WsXferWorkspace xfer_workspace{
        wsevent_ws_interaction, wsevent_ws_set_interaction, wsmain_ws_set_stop_proc, wsmain_ws_enable_stop,
        [] { return ob_stop_widget; }, [](const char *table) { obtab_reset_table_object_rows(table); },
        [] { return obmain_ob_options[0]; }, [] { wsmain_ws_refresh_from(0); }};
    wsxfer_set_workspace(&xfer_workspace);
    // Errors and warnings are the object layer's boxes; the question before
    // a file is replaced (the one the output of comma-separated text asks
    // too) is always asked; the counts show in the dialog.
    static const WsXferUser xfer_user{nullptr, nullptr,
                                      [](int number, const char *name) {
                                          if (number != XFER_ASK_REPLACE)
                                              return 0;
                                          return obbox_confirm(PR_CONFIRM_CSV_REPLACE, name);
                                      },
                                      dlxfer_set_transfer_status};
    wsxfer_set_user(&xfer_user);
    connect_query_commands_to_workspace();
}

Widget initialise_display_window(Boolean iconic)
{
    const char *title = adata.displayName ? adata.displayName : "vostrelane";
    // With MWM_FUNC_ALL set, the other bits name what is taken away.
    int functions = MWM_FUNC_ALL | (adata.disableWMClose ? MWM_FUNC_CLOSE : 0);
    int decorations = MWM_DECOR_ALL;
    if (adata.noResize == 1) {
        functions |= MWM_FUNC_RESIZE;
        decorations |= MWM_DECOR_RESIZEH;
    }
    Widget shell = XtVaCreatePopupShell("displayShell", topLevelShellWidgetClass, toplevel, XmNtitle, title,
                                        XmNiconName, title, XmNiconic, iconic, XmNmwmFunctions, functions,
                                        XmNmwmDecorations, decorations, XmNallowShellResize,
                                        adata.noResize == 1 ? False : True, nullptr);
    XmAddWMProtocolCallback(shell, wm_delete_window, shell_close_cb, nullptr);
    if (adata.runMode == RUN_TSL_NOMENU || adata.runMode == RUN_TSL_NOWIN) {
        dymain_display_init(shell, nullptr, &adata, nullptr);
        mnprint_mn_set_hc_dirs();
        return shell;
    }
    Widget main_window = XmCreateMainWindow(shell, const_cast<char *>("displayWindow"), nullptr, 0);
    XtManageChild(main_window);
    dlmain_register_popup(main_window);
    Widget work = dymain_display_init(shell, main_window, &adata, nullptr);
    Widget bar = mndy_mn_create_query_menu(shell, main_window, &adata);
    XmMainWindowSetAreas(main_window, bar, nullptr, nullptr, nullptr, work);
    return shell;
}

// ---- dialogs -----------------------------------------------------------------------------

static constexpr unsigned MODE(int m) { return 1u << m; }
static constexpr unsigned EVERY_MODE = 0x7f;
static constexpr unsigned MODE_0 = MODE(RUN_INTERACTIVE);
static constexpr unsigned MODES_0_3 = MODE(0) | MODE(1) | MODE(2) | MODE(3);
static constexpr unsigned MODES_0_AND_3 = MODE(0) | MODE(3);

// In the order the slots are filled.  Dialogs still to come have no
// initialiser; their menu items say they are not available yet.
const StartupDialog startup_dialogs[] = {
    {0, dlerr_initialise_error_dialog, EVERY_MODE},
    {1, dlwarn_initialise_warning_dialog, EVERY_MODE},
    {2, dlconf_initialise_confirm_dialog, EVERY_MODE},
    {3, dlprompt_initialise_prompt_dialog, EVERY_MODE},
    {4, dlfile_initialise_file_dialog, MODE_0},  // file
    {6, dlfunc_initialise_function_dialog, MODE_0},  // function
    {7, dlname_initialise_name_dialog, MODE_0},  // name
    {8, dlexpr_initialise_expression_dialog, MODE_0},  // expression
    {9, dlexpr_initialise_condition_dialog, MODE_0},   // condition
    {18, dluser_initialise_user_dialog, MODE_0},  // user
    {11, dlsort_initialise_sort_dialog, MODE_0},  // sort
    {13, dljoin_initialise_join_dialog, MODE_0},  // join
    {12, dlgrp_initialise_group_dialog, MODE_0},  // group
    {10, initialise_statistic_dialog, MODE_0},  // statistic
    {14, dlvar_initialise_variable_dialog, MODE_0},  // variable
    {16, dltab_initialise_table_dialog, MODE_0},   // table
    {15, dlcol_initialise_column_dialog, MODE_0},  // column
    {17, dlidx_initialise_index_dialog, MODE_0},  // index
    {19, dlpriv_initialise_privilege_dialog, MODE_0},  // privilege
    {22, initialise_transfer_dialog, MODE_0},  // transfer
    {21, nullptr, MODE_0},  // array
    {20, nullptr, MODE_0},  // row edit
    {23, nullptr, MODE_0},  // long text
    {24, dldblst_initialise_database_list_dialog, MODE_0},  // database list
    {26, dlpwd_initialise_password_dialog, MODE_0},  // password
    {25, dldblst_initialise_database_config_dialog, MODE_0},  // database configuration
    {27, dlvopt_initialise_view_options_dialog, MODE_0},  // view options
    {28, dltlist_initialise_set_tables_dialog, MODE_0},  // set tables
    {29, dltarget_initialise_target_dialog, MODE_0},  // target
    {30, dltql_initialise_doz_dialog, MODE_0},  // DOZ
    {31, dlproc_initialise_procedure_dialog, MODE_0},  // procedure
    {5, dlltp_initialise_ltp_dialog, MODES_0_3},
    {32, nullptr, MODES_0_AND_3},  // axis
    {33, nullptr, MODES_0_AND_3},  // title
    {35, nullptr, MODES_0_AND_3},  // graph format
    {34, nullptr, MODES_0_AND_3},  // overlay
    {36, nullptr, MODES_0_AND_3},  // fonts
    {37, nullptr, MODES_0_AND_3},  // layout
    {38, nullptr, MODES_0_AND_3},  // miscellaneous
    {39, nullptr, MODES_0_AND_3},  // multiple y
    {40, nullptr, MODES_0_AND_3},  // graph format file
    {41, nullptr, MODES_0_AND_3},  // printer
    {42, nullptr, MODES_0_AND_3},  // scale offset
    {43, nullptr, MODES_0_AND_3},  // legend text
    {44, nullptr, MODES_0_AND_3},  // legend
    {45, nullptr, MODES_0_AND_3},  // graph options
    {46, nullptr, MODES_0_AND_3},  // colour bar
    {47, nullptr, MODES_0_AND_3},  // colour-map file
    {48, nullptr, MODES_0_AND_3},  // colour-map editor
    {49, nullptr, MODES_0_AND_3},  // hardcopy file
    {51, nullptr, MODES_0_AND_3},  // thresholds
    {52, nullptr, MODES_0_AND_3},  // annotation
    {53, nullptr, MODES_0_AND_3},  // text
    {56, nullptr, MODES_0_AND_3},  // arrow
    {54, nullptr, MODES_0_AND_3},  // position
    {50, nullptr, MODES_0_3},      // marker values
    {55, nullptr, MODES_0_3},      // zoom
};
const int startup_dialog_count = static_cast<int>(sizeof startup_dialogs / sizeof startup_dialogs[0]);

static void initialise_dialogs()
{
    dlmain_dialog_init(toplevel, &adata);
    for (const StartupDialog &d : startup_dialogs)
        if (d.initialise && (d.run_modes & MODE(adata.runMode)))
            d.initialise(&dlmain_dialogs[d.id]);
}

// Creates the widget of a dialog whose initialiser ran.
static void create_dialog(int id, Widget parent)
{
    DialogRecord *rec = &dlmain_dialogs[id];
    if (rec->create != static_cast<DlCreateProc>(dlmain_std_unsupported))
        rec->create(rec, parent);
}

static void create_dialogs_pre_realize()
{
    dlmess_dialog_manage_error(&dlmain_dialogs[0]);
    dialog_manage_warning(&dlmain_dialogs[1]);
    dlmess_dialog_manage_confirm(&dlmain_dialogs[2]);
    dlmess_dialog_manage_prompt(&dlmain_dialogs[3]);
    int mode = adata.runMode;
    if (mode == RUN_INTERACTIVE) {
        create_dialog(4, toplevel);
        create_dialog(6, toplevel);
        DialogRecord *functions = &dlmain_dialogs[6];
        if (functions->widget) {
            const char *env = getenv("VX_FUNCSFILE");
            std::string path = env ? env : std::string(adata.install_dir) + "/etc/funcs.txt";
            // The picker reads a whole value record: the path and no name.
            FuncValue value{};
            safe_strcpy(value.path, path.c_str(), sizeof value.path);
            functions->setval(functions, &value);
        }
        for (int id : {7, 8, 9, 18, 11, 13, 12, 10, 14, 16, 15, 17, 19, 22, 21, 20, 23, 24, 26, 25, 27, 28, 29, 30, 31})
            create_dialog(id, toplevel);
    }
    if (mode == RUN_INTERACTIVE)
        create_dialog(5, toplevel);
    else if (mode == RUN_TSL || mode == RUN_TSL_EDIT)
        create_dialog(5, displevel);
    if (mode == RUN_INTERACTIVE || mode == RUN_TSL_EDIT)
        for (int id : {32, 33, 35, 34, 36, 37, 38, 39, 40, 41, 42, 43, 44, 51, 45, 46, 47, 48, 49, 52, 53, 54, 56})
            create_dialog(id, displevel);
    if (mode >= RUN_INTERACTIVE && mode <= RUN_TSL_EDIT)
        for (int id : {50, 55})
            create_dialog(id, displevel);
}

// ---- graphics ----------------------------------------------------------------------------

// The graphics library: configuration, its catalogue and the colour names,
// all under the installation directory.
void startup_initialise_graphics()
{
    std::string dir = adata.install_dir;
    std::string config;
    if (!dir.empty() && dir[0] == '/') {
        if (adata.pelxConfigFile && adata.pelxConfigFile[0] == '/')
            config = adata.pelxConfigFile;
        else if (adata.pelxConfigFile)
            config = dir + "/" + adata.pelxConfigFile;
        else
            config = dir + "/etc/pelx.cfg";
    } else {
        config = adata.pelxConfigFile ? adata.pelxConfigFile : "pelx.cfg";
    }
    std::string catalogue = vx_catalogue_path(dir.c_str(), "pelx");
    std::string rgb = dir + "/etc/pelx.rgb";
    std::string etc = dir + "/etc";
    gpinit_GInstallDriver();
    giinit_GInstallDriver();
    x11_GInstallDriver();
    glinit_GInstallDriver();
    if (GInitialise(etc.c_str(), config.c_str(), catalogue.c_str(), rgb.c_str()) == -1) {
        fputs(vx_msgf(adata.catd, MAIN_PELX_FAILED).c_str(), stderr);
        exit(1);
    }
}

// Settles the date and time formats: an input format that is missing, too
// long or not understood is derived from the locale, and the output format
// from the input format.
void configure_date_time_format()
{
    char derived[32];
    if (!adata.dateInputFormat || strlen(adata.dateInputFormat) > 25 ||
        !check_date_input_str(adata.dateInputFormat)) {
        get_date_input_from_locale(derived);
        adata.dateInputFormat = XtNewString(derived);
    }
    if (!adata.dateOutputFormat || strlen(adata.dateOutputFormat) > 25) {
        make_date_output_str(adata.dateInputFormat, derived);
        adata.dateOutputFormat = XtNewString(derived);
    }
    if (!adata.timeOutputFormat)
        adata.timeOutputFormat = XtNewString("%H:%M:%S");
    qychk_qy_set_tsl_dateformats(adata.dateInputFormat, adata.dateOutputFormat);
    format_set_julian_offset(adata.julianStartDay);
}

// ---- the steps ------------------------------------------------------------------------------

static void start_interpreter()
{
    qymgr_qy_use_x(XtWidgetToApplicationContext(toplevel),
                   adata.runMode == RUN_INTERACTIVE ? toplevel : static_cast<Widget>(nullptr));
    if (adata.runMode == RUN_INTERACTIVE || adata.runMode == RUN_CONNECTED) {
        qymgr_qy_init(&adata, -1, -1, -1, nullptr, 0, 1);
        if (adata.runMode == RUN_INTERACTIVE)
            qymgr_qy_authorise();
    }
}

static void realise_and_show()
{
    if (adata.runMode == RUN_INTERACTIVE)
        XtRealizeWidget(toplevel);
    XtRealizeWidget(displevel);
    bool popup = !((adata.nomap == 1 && adata.runMode != RUN_INTERACTIVE) || adata.runMode == RUN_TSL_NOWIN);
    if (!popup)
        return;
    XtPopup(displevel, XtGrabNone);
    if (adata.noResize == 1) {
        Dimension w = 0, h = 0;
        XtVaGetValues(displevel, XmNwidth, &w, XmNheight, &h, nullptr);
        XtVaSetValues(displevel, XmNminWidth, w, XmNmaxWidth, w, XmNminHeight, h, XmNmaxHeight, h, nullptr);
    }
}

static void start_help()
{
    hlp_set_catalogue(adata.catd);
    XcgLiteClueSetCatalogue(adata.catd);
    InitializeHelp(toplevel, displevel, static_cast<Widget>(nullptr));
    dlmain_register_help_hook = [](Widget w, int id) { RegisterHelp(w, static_cast<Widget>(nullptr), id, 0); };
    dlmain_appl_help_hook = [](Widget w) { ApplHelp(w); };
}

// The display window's canvas carries its popup menu.
static Widget display_popup = nullptr;
static void (*display_popup_proc)(Widget, XEvent *) = nullptr;

static void connect_menus_to_display()
{
    mn_hooks.dy_canvas = dymain_dy_canvas;
    mn_hooks.dy_set_popup = [](Widget popup, void (*proc)(Widget, XEvent *)) {
        display_popup = popup;
        display_popup_proc = proc;
        dymain_dy_set_popup_menu([](Widget, XEvent *event) { display_popup_proc(display_popup, event); });
    };
    // The table view sets the workspace busy while it formats, and shows
    // its print errors on the query window.
    const QyWorkspaceHooks *mode = mnmisc_mode_holder();
    dy_hooks.get_mode = mode->get_mode;
    dy_hooks.set_mode = mode->set_mode;
    dy_hooks.set_stop_proc = mode->set_stop_proc;
    dy_hooks.query_shell = adata.runMode == RUN_INTERACTIVE ? toplevel : static_cast<Widget>(nullptr);
    // Tables print with the print menu's settings and mail through the
    // filters file's command runner.
    dy_hooks.print_settings = mnprint_table_settings;
    dy_hooks.run_with_infile = [](const char *command, const char *file) { mnprint_run_with_infile(command, file); };
}

// The graph model: the kind table, the display window's services, and the
// graph view's reach into the menus and the procedure replay.
static void connect_graph_view()
{
    gomain_go_initialise_objects(&adata);
    // The formatting dialogs' style pictures, drawn by the installed X11
    // driver; their counts bound every style index a graph takes.
    go_initialise_pixmaps(displevel, nullptr);
    static const GoDisplayHooks go{
        .canvas_size = dymain_dy_get_canvas_size,
        .toplevel = [] { return displevel; },
        .catalogue = [] { return adata.catd; },
        .printer_command = nullptr,
        .default_printer_command = nullptr,
        .ps_prolog = [] { return static_cast<const char *>(dymain_dy_ps_prolog); },
        .hpgl_prolog = [] { return static_cast<const char *>(dymain_dy_hpgl_prolog); },
        .hpgl_epilog = [] { return static_cast<const char *>(dymain_dy_hpgl_epilog); },
        .show_error = nullptr,
        .reset_format_dialogs = mnform_mn_reset_format_dialogs,
    };
    go_set_display_hooks(&go);
    dy_hooks.set_graph_background = [](unsigned long pixel) { gomain_go_set_background(static_cast<long>(pixel)); };
    dy_hooks.has_backing_store = [] { return dygrph_dy_graph_mode() && dygrph_dy_has_bs(0) ? 1 : 0; };
    dy_hooks.data_sensitivity = [] {
        mndy_mn_set_graph_sensitivity();
        mndy_mn_set_dview_sensitivity();
        mndy_mn_set_format_sensitivity();
    };
    // A new selected graph: the format dialogs take its format, then the
    // items follow.
    dygrph_hooks.selection_changed = [] {
        mnform_mn_reset_format_dialogs();
        mndy_mn_set_graph_sensitivity();
        mndy_mn_set_dview_sensitivity();
        mndy_mn_set_format_sensitivity();
    };
    // A double click on a graph opens its format dialog.
    dygrph_hooks.setup_format = [](Widget) { mnform_mn_setup_format(form_setup_graph_b); };
    dygrph_hooks.dview_sensitivity = mndy_mn_set_dview_sensitivity;
    dygrph_hooks.data_order = mnform_mn_data_order;
    dygrph_hooks.set_data_order = mnform_mn_set_data_order;
    mn_hooks.set_new_data_order = dygrph_dy_set_new_data_order;
    // The replay shows its graphs in the graph view and reads their
    // formats; the writer saves each graph's place, order and format.
    prgraph_use_graph_view();
    prexec_hooks.showing_graphs = dygrph_dy_graph_mode;
    prexec_hooks.show_graphs = [](int on) {
        if (on)
            mndview_mn_as_graph(nullptr);
        else
            mndview_mn_as_table(nullptr);
        return 1;
    };
    prexec_hooks.clear_graphs = [] { dygrph_dy_clear_graph(dygrph_dy_graph_mode(), 0); };
    prexec_hooks.focussed_graph = [] { return static_cast<void *>(dygrph_dy_focussed_graph()); };
    prexec_hooks.keep_dataset = [] { dygrph_dy_keep_graph(); };
    prexec_hooks.data_order = mnform_mn_data_order;
    prexec_hooks.set_data_order = mnform_mn_set_data_order;
    // The Procedure pane saves the focussed graph with the recording and
    // refreshes the display after a replay when a graph needs it.
    mnp_graph.graph_view = [] { return mndy_mn_output_mode() == 1 ? 1 : 0; };
    mnp_graph.focussed_graph = [] { return static_cast<void *>(dygrph_dy_focussed_graph()); };
    mnp_graph.clear_graph = dygrph_dy_clear_graph;
    mnp_graph.needs_refresh = [] {
        return dygraph_dy_have_graph_with_non_opaque_legend() || dygrph_dy_freshen_up() ? 1 : 0;
    };
    // A new view asks first (from the menu) and starts a new recording.
    dy_hooks.confirm_new_view = mngraph_confirm_new_view;
    dy_hooks.view_renewed = mngraph_view_renewed;
}

void startup_build_user_interface(Boolean iconic)
{
    wm_delete_window = XInternAtom(XtDisplay(toplevel), "WM_DELETE_WINDOW", False);
    wm_save_yourself = XInternAtom(XtDisplay(toplevel), "WM_SAVE_YOURSELF", False);
    for (DialogRecord &rec : dlmain_dialogs)
        rec.widget = nullptr;

    mnbld_menu_init(&adata);
    filters_set_install_dir(adata.install_dir);
    connect_menus_to_display();
    initialise_query_window();
    displevel = initialise_display_window(iconic);
    dlmess_dialog_register_alternate_shell(displevel);
    connect_procedures(adata.runMode == RUN_INTERACTIVE ? toplevel : static_cast<Widget>(nullptr), displevel);

    // The display canvas receives the new-data notices.
    qymgr_qy_use_widget(dymain_dy_canvas());
    dsmgr_ds_init(dymain_dy_canvas(), &adata);
    connect_graph_view();
    initialise_dialogs();
    create_dialogs_pre_realize();
    initialise_workspace();

    realise_and_show();
    if (wsmain_ws_canvas())
        wsmain_ws_fit_drawing_area();
    if (adata.runMode == RUN_INTERACTIVE && !adata.displayId)
        adata.displayId = XtNewString("_NORM_0");
    dytab_dy_enable_table_mode(1);
    // Without the query window the display shows graphs from the start.
    if (adata.runMode != RUN_INTERACTIVE)
        mndview_mn_as_graph(nullptr);

    start_help();
}

// The database of the command line: with its password, the first line of
// its password file, or none.
int read_password_file(const char *path, std::string &password)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return -1;
    char line[50] = "";
    if (!fgets(line, sizeof line, f))
        line[0] = '\0';
    fclose(f);
    line[strcspn(line, "\n")] = '\0';
    password = line;
    return password.empty() ? 0 : 1;
}

static void open_command_line_database()
{
    if (!adata.database || strcmp(adata.database, "%NODB%") == 0)
        return;
    if (adata.runMode != RUN_INTERACTIVE && adata.runMode != RUN_CONNECTED)
        return;
    std::string name = adata.database;
    strupper(name.data(), name.data());
    int mode = adata.databaseMode == 1 ? 1 : adata.databaseMode == 2 ? 2 : 0;
    if (adata.password) {
        open_database(name, adata.password, mode);
    } else if (adata.passwordfile) {
        std::string password;
        int r = read_password_file(adata.passwordfile, password);
        if (r < 0)
            fputs(vx_msgf(adata.catd, MAIN_PASSWORD_FILE_UNOPENED).c_str(), stderr);
        else if (r == 0)
            fputs(vx_msgf(adata.catd, MAIN_PASSWORD_FILE_EMPTY).c_str(), stderr);
        else
            open_database(name, password.c_str(), mode);
    } else {
        open_database(name, nullptr, mode);
    }
}

static void run_command_line_procedure()
{
    if (!adata.procedure)
        return;
    std::string name = adata.procedure;
    strupper(name.data(), name.data());
    if (!open_database_name() || execute_procedure(name) != 0) {
        qymgr_qy_term();
        exit(1);
    }
}

void startup_sequence(Boolean iconic)
{
    configure_date_time_format();
    if (is_tty)
        fputs(vx_msgf(adata.catd, MAIN_CONNECTING).c_str(), stdout);
    install_signals();
    // The empty data dictionary: the query manager writes the user, the
    // interpreter's revision and the system variables into it.
    wsdict_ws_init_dictionary();
    qymgr_qy_debugging = adata.debugMode ? 1 : 0;
    qymgr_qy_set_workspace_hooks(mnmisc_mode_holder());
    start_interpreter();
    if (is_tty)
        fputs(vx_msgf(adata.catd, MAIN_CREATING_UI).c_str(), stdout);
    startup_initialise_graphics();
    startup_build_user_interface(iconic);
    if (adata.timeout >= 0)
        arm_idle_timer();
    open_command_line_database();
    run_command_line_procedure();
    init_fpe_handling();
}
