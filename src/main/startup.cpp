// Start-up sequence: shells, signals, exits and the idle time-out.

#include "startup.h"

#include "LiteClue.h"
#include "dldbdialogs.h"
#include "dlmain.h"
#include "dlmess.h"
#include "dsmgr.h"
#include "dymain.h"
#include "dytab.h"
#include "glinit.h"
#include "gx11.h"
#include "pelx.h"
#include "gpinit.h"
#include "vxcat.h"
#include "gsformat.h"
#include "mainmsgs.h"
#include "qychk.h"
#include "qymgr.h"
#include "vxdate.h"
#include "wsdict.h"
#include "vxhelp.h"
#include "vxmain.h"
#include "vxutil.h"

#include <Xm/MainW.h>
#include <Xm/MwmUtil.h>
#include <Xm/Protocols.h>
#include <X11/Shell.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <cstring>
#include <string>
#include <unistd.h>

Widget displevel = nullptr;
static Atom wm_delete_window;

// SIGINT and SIGQUIT end the program, but the exit steps are not safe in a
// signal handler: the handler writes a byte to a pipe that the main loop
// watches, and the exit runs from there.
static int exit_pipe[2] = {-1, -1};

static void forced_exit_signal(int)
{
    char c = 'x';
    ssize_t n = write(exit_pipe[1], &c, 1);
    (void)n;
}

static void forced_exit_input(XtPointer, int *, XtInputId *) { on_forced_exit(); }

// The steps every exit takes.  The interpreter connection, the display
// server protocol and the temporary blob file join these as they arrive.
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
    signal(SIGHUP, SIG_IGN);
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
    }
}

void initialise_query_window()
{
    if (adata.disableWMClose)
        XtVaSetValues(toplevel, XmNmwmFunctions, MWM_FUNC_ALL | MWM_FUNC_CLOSE, nullptr);
    XmAddWMProtocolCallback(toplevel, wm_delete_window, shell_close_cb, nullptr);
    if (adata.runMode != RUN_INTERACTIVE)
        return;
    XtManageChild(XmCreateMainWindow(toplevel, const_cast<char *>("queryWindow"), nullptr, 0));
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
    if (adata.runMode != RUN_TSL_NOMENU && adata.runMode != RUN_TSL_NOWIN) {
        Widget main_window = XmCreateMainWindow(shell, const_cast<char *>("displayWindow"), nullptr, 0);
        XtManageChild(main_window);
        Widget work = dymain_display_init(shell, main_window, &adata, nullptr);
        XmMainWindowSetAreas(main_window, nullptr, nullptr, nullptr, nullptr, work);
    } else {
        dymain_display_init(shell, nullptr, &adata, nullptr);
    }
    return shell;
}

// The query window's dialogs, made in run mode 0 on the query shell.
static const struct {
    int id;
    void (*init)(DialogRecord *);
} query_window_dialogs[] = {
    {4, dlfile_initialise_file_dialog},
    {7, dlname_initialise_name_dialog},
    {24, dldblst_initialise_database_list_dialog},
    {25, dldblst_initialise_database_config_dialog},
    {26, dlpwd_initialise_password_dialog},
    {29, dltarget_initialise_target_dialog},
    {30, dltql_initialise_doz_dialog},
};

// The dialog table for the run mode: the message boxes always, the
// revision box in run modes 0 to 3.  The other dialogs join as they are
// built.
static void initialise_dialogs()
{
    dlmain_dialog_init(toplevel, &adata);
    dlerr_initialise_error_dialog(&dlmain_dialogs[0]);
    dlwarn_initialise_warning_dialog(&dlmain_dialogs[1]);
    dlconf_initialise_confirm_dialog(&dlmain_dialogs[2]);
    dlprompt_initialise_prompt_dialog(&dlmain_dialogs[3]);
    if (adata.runMode >= RUN_INTERACTIVE && adata.runMode <= RUN_TSL_EDIT)
        dlltp_initialise_ltp_dialog(&dlmain_dialogs[5]);
    if (adata.runMode == RUN_INTERACTIVE)
        for (const auto &[id, init] : query_window_dialogs)
            init(&dlmain_dialogs[id]);
}

static void create_dialogs_pre_realize()
{
    dlmess_dialog_manage_error(&dlmain_dialogs[0]);
    dialog_manage_warning(&dlmain_dialogs[1]);
    dlmess_dialog_manage_confirm(&dlmain_dialogs[2]);
    dlmess_dialog_manage_prompt(&dlmain_dialogs[3]);
    DialogRecord *rev = &dlmain_dialogs[5];
    if (adata.runMode == RUN_INTERACTIVE)
        rev->create(rev, toplevel);
    else if (adata.runMode == RUN_TSL || adata.runMode == RUN_TSL_EDIT)
        rev->create(rev, displevel);
    if (adata.runMode == RUN_INTERACTIVE)
        for (const auto &row : query_window_dialogs) {
            DialogRecord *rec = &dlmain_dialogs[row.id];
            rec->create(rec, toplevel);
        }
}

// The graphics library: configuration, its catalogue and the colour names,
// all under the installation directory.
static void initialise_graphics()
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

void startup_sequence(Boolean iconic)
{
    configure_date_time_format();
    if (is_tty)
        fputs(vx_msgf(adata.catd, MAIN_CONNECTING).c_str(), stdout);
    install_signals();
    // The empty data dictionary: the query manager writes the user, the
    // interpreter's revision and the system variables into it.
    wsdict_ws_init_dictionary();
    // The interpreter: started and checked in run modes 0 and 1; the
    // display-server modes attach to their clients' interpreters later.
    qymgr_qy_use_x(XtWidgetToApplicationContext(toplevel),
                   adata.runMode == RUN_INTERACTIVE ? toplevel : static_cast<Widget>(nullptr));
    if (adata.runMode == RUN_INTERACTIVE || adata.runMode == RUN_CONNECTED) {
        qymgr_qy_init(&adata, -1, -1, -1, nullptr, 0, 1);
        if (adata.runMode == RUN_INTERACTIVE)
            qymgr_qy_authorise();
    }
    if (is_tty)
        fputs(vx_msgf(adata.catd, MAIN_CREATING_UI).c_str(), stdout);
    initialise_graphics();

    wm_delete_window = XInternAtom(XtDisplay(toplevel), "WM_DELETE_WINDOW", False);

    initialise_query_window();
    displevel = initialise_display_window(iconic);
    dlmess_dialog_register_alternate_shell(displevel);
    // The display canvas receives the new-data notices; the workspace's
    // Stop button joins the table view with the workspace.
    qymgr_qy_use_widget(dymain_dy_canvas());
    dsmgr_ds_init(dymain_dy_canvas(), &adata);
    initialise_dialogs();
    create_dialogs_pre_realize();

    if (adata.runMode == RUN_INTERACTIVE)
        XtRealizeWidget(toplevel);
    XtRealizeWidget(displevel);
    bool popup = !((adata.nomap == 1 && adata.runMode != RUN_INTERACTIVE) || adata.runMode == RUN_TSL_NOWIN);
    if (popup) {
        XtPopup(displevel, XtGrabNone);
        if (adata.noResize == 1) {
            Dimension w = 0, h = 0;
            XtVaGetValues(displevel, XmNwidth, &w, XmNheight, &h, nullptr);
            XtVaSetValues(displevel, XmNminWidth, w, XmNmaxWidth, w, XmNminHeight, h, XmNmaxHeight, h, nullptr);
        }
    }
    if (adata.runMode == RUN_INTERACTIVE && !adata.displayId)
        adata.displayId = XtNewString("_NORM_0");
    dytab_dy_enable_table_mode(1);

    hlp_set_catalogue(adata.catd);
    XcgLiteClueSetCatalogue(adata.catd);
    InitializeHelp(toplevel, displevel, static_cast<Widget>(nullptr));
    dlmain_register_help_hook = [](Widget w, int id) { RegisterHelp(w, static_cast<Widget>(nullptr), id, 0); };
    dlmain_appl_help_hook = [](Widget w) { ApplHelp(w); };

    if (adata.timeout != -1)
        arm_idle_timer();
    init_fpe_handling();
}
