// The query window's menu bar and popup, and its dispatcher.

#include "mnqy.h"

#include "dlmess.h"
#include "menumsgs.h"
#include "mndb.h"
#include "mndy.h"
#include "mnmisc.h"
#include "mnproc.h"
#include "mnquery.h"
#include "qychk.h"
#include "vxhelp.h"

#include <Xm/ToggleB.h>
#include <Xm/ToggleBG.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

Widget dbase_c, view_c, query_c, proc_c;
Widget dbase_close_b, dbase_build_b, dbase_delete_b, dbase_conf_b, dbase_pass_b, dbase_schema_b;
Widget view_reread_b, view_set_tables_b;
Widget query_new_b, query_run_b, query_target_b, query_schema_b, query_verify_t;
Widget proc_new_b, proc_load_b, proc_save_b, proc_save_as_b, proc_delete_b, proc_keep_b;
Widget help_topic_b;
Widget popup_run_b, popup_target_b, popup_reread_b, popup_collect_b;
Widget qm1, qm2;
char mnqy_mn_dbnone[9];

static Widget query_shell = nullptr;
static int nochangepass = 0;

const MnHandle mnqy_handles[] = {
    {"dbase_c", &dbase_c},
    {"view_c", &view_c},
    {"query_c", &query_c},
    {"proc_c", &proc_c},
    {"dbase_close_b", &dbase_close_b},
    {"dbase_build_b", &dbase_build_b},
    {"dbase_delete_b", &dbase_delete_b},
    {"dbase_conf_b", &dbase_conf_b},
    {"dbase_pass_b", &dbase_pass_b},
    {"dbase_schema_b", &dbase_schema_b},
    {"view_reread_b", &view_reread_b},
    {"view_set_tables_b", &view_set_tables_b},
    {"query_new_b", &query_new_b},
    {"query_run_b", &query_run_b},
    {"query_target_b", &query_target_b},
    {"query_schema_b", &query_schema_b},
    {"query_verify_t", &query_verify_t},
    {"proc_new_b", &proc_new_b},
    {"proc_load_b", &proc_load_b},
    {"proc_save_b", &proc_save_b},
    {"proc_save_as_b", &proc_save_as_b},
    {"proc_delete_b", &proc_delete_b},
    {"proc_keep_b", &proc_keep_b},
    {"help_topic_b", &help_topic_b},
    {"popup_run_b", &popup_run_b},
    {"popup_target_b", &popup_target_b},
    {"popup_reread_b", &popup_reread_b},
    {"popup_collect_b", &popup_collect_b},
};
const int mnqy_handle_count = static_cast<int>(sizeof mnqy_handles / sizeof mnqy_handles[0]);

#define PUSH(name, code, accel, text, store) \
    {MN_PUSH, name, code, accel, text, mnqy_qmenu_cb, code, nullptr, 0, store}
#define TOGGLE(name, code, store) {MN_TOGGLE, name, code, nullptr, nullptr, mnqy_qmenu_cb, code, nullptr, 0, store}
#define CASCADE(name, code, sub, store) \
    {MN_CASCADE, name, code, nullptr, nullptr, nullptr, code, sub, static_cast<int32_t>(std::size(sub)), store}
#define SEP {MN_SEPARATOR, "sep", 0, nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr}

static const MenuItem dbase_menu[] = {
    PUSH("openA", 6, "Ctrl<Key>O", "Ctrl-O", nullptr),
    PUSH("closeA", 7, nullptr, nullptr, &dbase_close_b),
    SEP,
    PUSH("buildA", 8, nullptr, nullptr, &dbase_build_b),
    PUSH("dropA", 9, nullptr, nullptr, &dbase_delete_b),
    PUSH("confA", 10, nullptr, nullptr, &dbase_conf_b),
    PUSH("passA", 11, nullptr, nullptr, &dbase_pass_b),
    PUSH("schemA", 12, nullptr, nullptr, &dbase_schema_b),
    SEP,
    PUSH("quitA", 13, "Ctrl<Key>E", "Ctrl-E", nullptr),
};

static const MenuItem dbase_menu2[] = {
    PUSH("openA", 6, "Ctrl<Key>O", "Ctrl-O", nullptr),
    PUSH("closeA", 7, nullptr, nullptr, &dbase_close_b),
    SEP,
    PUSH("buildA", 8, nullptr, nullptr, &dbase_build_b),
    PUSH("dropA", 9, nullptr, nullptr, &dbase_delete_b),
    PUSH("confA", 10, nullptr, nullptr, &dbase_conf_b),
    PUSH("schemA", 12, nullptr, nullptr, &dbase_schema_b),
    SEP,
    PUSH("quitA", 13, "Ctrl<Key>E", "Ctrl-E", nullptr),
};

static const MenuItem view_menu[] = {
    PUSH("refreshA", 14, "Ctrl<Key>F", "Ctrl-F", nullptr),
    PUSH("rereadA", 15, nullptr, nullptr, &view_reread_b),
    SEP,
    PUSH("optionsA", 16, nullptr, nullptr, nullptr),
    PUSH("tablesA", 17, nullptr, nullptr, &view_set_tables_b),
};

static const MenuItem verify_menu[] = {
    TOGGLE("verifyA", 24, &query_verify_t),
};

static const MenuItem query_menu[] = {
    PUSH("newA", 18, "Ctrl<Key>N", "Ctrl-N", &query_new_b),
    PUSH("runA", 19, "Ctrl<Key>R", "Ctrl-R", &query_run_b),
    SEP,
    PUSH("targetA", 20, "Ctrl<Key>T", "Ctrl-T", &query_target_b),
    PUSH("qschemaA", 22, nullptr, nullptr, &query_schema_b),
    PUSH("dozA", 21, "Ctrl<Key>Q", "Ctrl-Q", nullptr),
    SEP,
    CASCADE("verifyM", 23, verify_menu, nullptr),
};

static const MenuItem proc_menu[] = {
    PUSH("newprocA", 25, nullptr, nullptr, &proc_new_b),
    PUSH("loadA", 26, "Ctrl<Key>L", "Ctrl-L", &proc_load_b),
    SEP,
    PUSH("saveA", 27, "Ctrl<Key>S", "Ctrl-S", &proc_save_b),
    PUSH("saveAsA", 28, nullptr, nullptr, &proc_save_as_b),
    PUSH("delprocA", 29, nullptr, nullptr, &proc_delete_b),
    SEP,
    PUSH("keepA", 30, "Ctrl<Key>K", "Ctrl-K", &proc_keep_b),
};

static const MenuItem help_menu[] = {
    PUSH("revA", 31, nullptr, nullptr, nullptr),
    PUSH("itemA", 32, "Ctrl<Key>H", "Ctrl-H", nullptr),
    PUSH("topicA", 33, nullptr, nullptr, &help_topic_b),
};

const MenuItem mnqy_help_menu_proper[] = {
    CASCADE("helpM", 5, help_menu, MN_MENU_HELP),
};

const MenuItem mnqy_main_menu[] = {
    CASCADE("dbaseM", 1, dbase_menu, &dbase_c),
    CASCADE("viewM", 2, view_menu, &view_c),
    CASCADE("queryM", 3, query_menu, &query_c),
    CASCADE("procM", 4, proc_menu, &proc_c),
};

const MenuItem mnqy_main_menu2[] = {
    CASCADE("dbaseM", 1, dbase_menu2, &dbase_c),
    CASCADE("viewM", 2, view_menu, &view_c),
    CASCADE("queryM", 3, query_menu, &query_c),
    CASCADE("procM", 4, proc_menu, &proc_c),
};

const MenuItem mnqy_popup_menu[] = {
    PUSH("runPA", 19, nullptr, nullptr, &popup_run_b),
    SEP,
    PUSH("targetPA", 20, nullptr, nullptr, &popup_target_b),
    SEP,
    PUSH("refreshPA", 14, nullptr, nullptr, nullptr),
    PUSH("rereadPA", 15, nullptr, nullptr, &popup_reread_b),
    SEP,
    PUSH("collectPA", 34, nullptr, nullptr, &popup_collect_b),
};

// ---- the dispatcher ------------------------------------------------------------

using MnCommand = void (*)(Widget w);

struct MnRoutine {
    int code;
    MnCommand routine;  // null: the command has not joined yet
};

// The command of each code.
static const MnRoutine qmenu_routines[] = {
    {6, mndb_mn_open_database},       {7, mndb_mn_close_database},     {8, mndb_mn_build_database},
    {9, mndb_mn_drop_database},       {10, mndb_mn_configure_database}, {11, mndb_mn_password_database},
    {12, mndb_mn_schema_database},    {13, mndb_mn_quit},              {14, mnqview_mn_refresh},
    {15, mnqview_mn_reread_dictionary}, {16, mnqview_mn_set_options},  {17, mnqview_mn_set_tables},
    {18, mnquery_new},            {19, mnquery_run},            {20, mnquery_set_target},
    {21, mnquery_doz},            {22, mnquery_mn_write_query_schema}, {24, mnquery_set_verify},
    {25, mn_new_proc},            {26, mnproc_mn_load_and_run}, {27, mnproc_mn_save},
    {28, mnproc_mn_save_as},      {29, mnproc_mn_delete},       {30, mnproc_mn_keep},
    {31, mnqhlp_on_revision},     {32, mnqhlp_on_item},         {33, mnqhlp_on_topic},
    {34, mnquery_collect},
};

void mnqy_qmenu_cb(Widget w, XtPointer client, XtPointer)
{
    int code = static_cast<int>(reinterpret_cast<intptr_t>(client));
    if (mnmisc_ws_interaction()) {
        if (code == 24 && w)
            XmToggleButtonSetState(w, !XmToggleButtonGetState(w), False);
        if (w)
            XBell(XtDisplayOfObject(w), 0);
        return;
    }
    if (code >= 1 && code <= 5)
        return;
    // Boxes the command shows go over the query window.
    DlAskingShell asking(w ? mnmisc_item_shell(w) : query_shell);
    for (const MnRoutine &r : qmenu_routines) {
        if (r.code != code)
            continue;
        if (r.routine)
            r.routine(w);
        else
            mnmisc_not_available(w);
        return;
    }
    fputs("Error! QueryMenu. Unknown action\n", stderr);
}

// ---- user menus ----------------------------------------------------------------

void user_cb(Widget w, XtPointer client, XtPointer)
{
    const char *command = static_cast<const char *>(client);
    if (qychk_qy_run_command(command, nullptr, nullptr) && mn_hooks.reread_dictionary)
        mn_hooks.reread_dictionary(nullptr);
}

// The shell-tool runner switches both windows' menus off while a script
// runs.
static void whole_bar_switch(int on)
{
    mnqy_query_menu_sensitivity(on);
    mndy_display_menu_sensitivity(on);
}

// ---- building ---------------------------------------------------------------------

Widget mnqy_mn_create_query_menu(Widget shell, Widget main_window, const AppData *adata)
{
    nochangepass = adata->nochangepass;
    query_shell = shell;
    for (const MnHandle &h : mnqy_handles)
        *h.widget = nullptr;
    {
        const char *none = vx_msg(adata->catd, MN_DBNONE);
        snprintf(mnqy_mn_dbnone, sizeof mnqy_mn_dbnone, "%s", none);
        if (mn_hooks.ws_set_database_label)
            mn_hooks.ws_set_database_label(mnqy_mn_dbnone);
    }
    if (nochangepass)
        qm1 = mnbld_mn_create_pulldown_menu(main_window, "queryM", MN_LABEL_SET, mnqy_main_menu2,
                                            static_cast<int>(std::size(mnqy_main_menu2)), nullptr);
    else
        qm1 = mnbld_mn_create_pulldown_menu(main_window, "queryM", MN_LABEL_SET, mnqy_main_menu,
                                            static_cast<int>(std::size(mnqy_main_menu)), nullptr);
    for (const char *text : {adata->userMenuDefinition1, adata->userMenuDefinition2, adata->userMenuDefinition3,
                             adata->userMenuDefinition4})
        mnbld_mn_create_user_defined_menu(qm1, text, user_cb);
    qm1 = mnbld_mn_create_pulldown_menu(main_window, "helpM", MN_LABEL_SET, mnqy_help_menu_proper, 1, qm1);

    Widget canvas = mn_hooks.ws_canvas ? mn_hooks.ws_canvas() : nullptr;
    qm2 = mnbld_mn_create_popup_menu(canvas ? canvas : main_window, "queryPU", MN_LABEL_SET, mnqy_popup_menu,
                                     static_cast<int>(std::size(mnqy_popup_menu)));
    if (canvas && mn_hooks.ws_set_popup)
        mn_hooks.ws_set_popup(qm2, popup_pp);
    else
        XtVaSetValues(qm2, XmNpopupEnabled, XmPOPUP_AUTOMATIC, nullptr);

    if (query_verify_t)
        XmToggleButtonSetState(query_verify_t, adata->initialValidateQuery ? True : False, False);

    qychk_set_menu_hook(whole_bar_switch);

    RegisterHelp(dbase_c, view_c, query_c, proc_c, static_cast<Widget>(nullptr), 404, 405, 406, 407, 0);
    RegisterHelp(help_topic_b, static_cast<Widget>(nullptr), 203, 0);

    for (int id = 24; id <= 31; id++)
        mnmisc_install_notify(id);
    mnqy_mn_set_query_sensitivity();
    mnqy_mn_set_proc_sensitivity();
    mnmisc_install_notify(5);
    mnmisc_install_notify(4);
    return qm1;
}

void mnqy_query_menu_sensitivity(int on)
{
    if (qm1)
        XtSetSensitive(qm1, on ? True : False);
    if (qm2)
        XtSetSensitive(qm2, on ? True : False);
}
