// The Procedure pane of the query window and the running of procedure
// files.

#include "mnproc.h"

#include "dlkit.h"
#include "dlmess.h"
#include "dsmgr.h"
#include "dymain.h"
#include "dytab.h"
#include "menumsgs.h"
#include "mnbld.h"
#include "mndb.h"
#include "mnmisc.h"
#include "mnquery.h"
#include "mnqy.h"
#include "prexec.h"
#include "prmgr.h"
#include "qychk.h"
#include "qycompat.h"
#include "vxcat.h"
#include "vxproc.h"
#include "wsdict.h"

#include "vxfilter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

MnpGraphHooks mnp_graph{};
ProcValue proc_dval{};
char currentproc[15] = "";

namespace {

std::string dirs_for;  // "database.user" the directories were made for

// The directories follow the open database.
void ensure_dirs()
{
    if (!wsdict_db_open || !wsdict_dictionary || !wsdict_dictionary->database[0])
        return;
    std::string key = std::string(wsdict_dictionary->database) + "." + wsdict_dictionary->user;
    if (key != dirs_for)
        mnproc_set_proc_dirs(wsdict_dictionary->user, wsdict_dictionary->database);
}

std::string name_of(const ProcValue &v) { return std::string(v.name, strnlen(v.name, sizeof v.name)); }
std::string own_dir() { return std::string(proc_dval.user_dir, strnlen(proc_dval.user_dir, 256)); }
std::string shared_dir() { return std::string(proc_dval.shared_dir, strnlen(proc_dval.shared_dir, 256)); }
std::string flag_dir() { return proc_dval.shared ? shared_dir() : own_dir(); }

// The directory of VX_PROC_PATH in which the name exists, or empty.
std::string path_dir(const std::string &name)
{
    for (const std::string &d : dl_split_path(getenv("VX_PROC_PATH")))
        if (access((d + "/" + name).c_str(), F_OK) == 0)
            return d;
    return "";
}

void refresh_proc_pane() { mnqy_mn_set_proc_sensitivity(); }

// A replay that did not run to its end; where the file is at fault, the
// line and what was wrong there as the second text.
void proc_failed(const std::string &name)
{
    const std::string &where = prexec_pr_fault_text();
    if (where.empty())
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_PROC_FAILED, name.c_str());
    else
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_PROC_FAILED_WHERE, name.c_str(), where.c_str());
}

// A new view starts a new recording.
void new_view(int ask, int fresh_graph)
{
    mngraph_mn_new_view(ask, fresh_graph);
    prmgr_pr_new_procedure();
    mnproc_mn_new_procedure();
}

void refresh_after_replay()
{
    mnqy_mn_set_dbase_sensitivity();
    mnqy_mn_set_view_sensitivity();
    mnqy_mn_set_query_sensitivity();
    mnqy_mn_set_proc_sensitivity();
    if (mn_hooks.print_sensitivity)
        mn_hooks.print_sensitivity();
}

bool graph_view() { return mnp_graph.graph_view && mnp_graph.graph_view(); }

void clear_graph_in_table_view(int a, int b)
{
    if (!graph_view() && mnp_graph.clear_graph)
        mnp_graph.clear_graph(a, b);
}

void on_eop()
{
    if (mnp_graph.needs_refresh && mnp_graph.needs_refresh())
        dymain_dy_refresh_display();
}

void set_run_mode(int mode)
{
    mnbld_mn_runmode = mode;
    if (mnp_graph.run_mode_changed)
        mnp_graph.run_mode_changed(mode);
}

// The program found on PATH, or empty.
std::string on_path(const char *program)
{
    const char *path = getenv("PATH");
    for (const std::string &d : dl_split_path(path ? path : "/usr/bin:/bin")) {
        std::string p = d + "/" + program;
        if (access(p.c_str(), X_OK) == 0)
            return p;
    }
    return "";
}

// Starts the TSL translation of a saved procedure in the background.  The
// translator runs in a grandchild, so that no zombie is left behind.
void translate_to_tsl(const std::string &path)
{
    const char *database = wsdict_dictionary ? wsdict_dictionary->database : "";
    std::vector<std::string> words = mnproc_tsl_arguments(vx_install_dir(), database, path);
    std::string program = on_path(words[0].c_str());
    if (program.empty()) {
        fputs(vx_msgf(mnbld_mn_nlsfd, MN_TSL_NOT_STARTED, words[0].c_str()).c_str(), stderr);
        return;
    }
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    query_death(0);
    fflush(nullptr);
    pid_t middle = fork();
    if (middle == 0) {
        VxSpawnOptions o;
        o.new_session = true;
        o.close_others = true;
        _exit(vx_spawn(program.c_str(), argv.data(), o, nullptr) < 0 ? 1 : 0);
    }
    if (middle > 0)
        wait_for_child(middle, 1, nullptr, nullptr);
    query_death(1);
}

// Writes the recording into a new file beside `path` and puts it in
// place, so that a failed write leaves the old procedure as it was.
bool write_procedure_file(const std::string &dir, const std::string &path)
{
    std::string tmp = dir + "/.procXXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0)
        return false;
    FILE *f = fdopen(fd, "w");
    if (!f) {
        close(fd);
        unlink(tmp.c_str());
        return false;
    }
    // The table view's graph is not shown: a table procedure gets an
    // empty graph block.
    void *graph = graph_view() && mnp_graph.focussed_graph ? mnp_graph.focussed_graph() : nullptr;
    int w = prmgr_pr_write_procedure(f, graph_view() ? 1 : 0, graph);
    if (fclose(f) != 0 || w != 0 || chmod(tmp.c_str(), 0644) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool save_the_proc(bool ask)
{
    ensure_dirs();
    std::string name = name_of(proc_dval);
    if (name.empty()) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_NAME_NEEDED);
        return false;
    }
    std::string dir = path_dir(name);
    if (dir.empty())
        dir = flag_dir();
    std::string path = dir + "/" + name;
    if (!mnmisc_mn_make_dir(dir.c_str(), dir == shared_dir())) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_PROC_DIR_NOT_MADE, dir.c_str());
        return false;
    }
    if (ask && access(path.c_str(), F_OK) == 0 &&
        !dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_REPLACE_PROC, -1, -1, 1, name.c_str()))
        return false;
    if (!write_procedure_file(dir, path)) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_PROC_FILE_ERROR, path.c_str());
        return false;
    }
    if (proc_dval.transaction)
        translate_to_tsl(path);
    snprintf(currentproc, sizeof currentproc, "%s", name.c_str());
    refresh_proc_pane();
    return true;
}

void save_as_proc(DialogRecord *, int *done)
{
    *done = save_the_proc(true) ? 1 : 0;
    if (!*done)
        mnmisc_mn_register(31, &proc_dval, save_as_proc);
}

void delete_proc(DialogRecord *, int *done)
{
    *done = 0;
    std::string name = name_of(proc_dval);
    if (name.empty()) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_NAME_NEEDED);
        mnmisc_mn_register(31, &proc_dval, delete_proc);
        return;
    }
    if (!dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_DELETE_PROC, -1, -1, 1, name.c_str())) {
        mnmisc_mn_register(31, &proc_dval, delete_proc);
        return;
    }
    *done = 1;
    std::string path = flag_dir() + "/" + name;
    if (unlink(path.c_str()) != 0)
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_PROC_FILE_ERROR, path.c_str());
    else
        proc_dval.name[0] = '\0';
}

void load_and_run_proc(DialogRecord *rec, int *done)
{
    *done = 0;
    std::string name = name_of(proc_dval);
    if (name.empty()) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_NAME_NEEDED);
        mnmisc_mn_register(31, &proc_dval, load_and_run_proc);
        return;
    }
    // 2. Starting afresh loses what is shown and selected.
    if ((dsmgr_archive.current != 0 || dsmgr_ds_current_exists() ||
         (wsdict_dictionary && wsdict_ws_objects_selected())) &&
        !dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_CONFIRM_LOAD_PROC, -1, -1, 0)) {
        mnmisc_mn_register(31, &proc_dval, load_and_run_proc);
        return;
    }
    // 3. The file.
    std::string dir = path_dir(name);
    std::string path = (dir.empty() ? flag_dir() : dir) + "/" + name;
    bool refused = false;
    FILE *f = open_trusted_settings_file(path.c_str(), &refused);
    if (!f) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, refused ? MN_FILE_NOT_TRUSTED : MN_PROC_FILE_ERROR,
                                 path.c_str());
        mnmisc_mn_register(31, &proc_dval, load_and_run_proc);
        return;
    }
    // 4. A new query and a new view.
    if (mnq_ws.unassign_all_variables)
        mnq_ws.unassign_all_variables(1);
    if (mnq_ws.new_query)
        mnq_ws.new_query();
    new_view(0, 1);
    bool had_result = qychk_result_exists() != 0;
    *done = 1;
    if (rec && rec->popdown)
        rec->popdown(rec);
    // 5. The replay.
    prexec_pr_on_eop(on_eop);
    std::string csv_file(proc_dval.csv_file, strnlen(proc_dval.csv_file, sizeof proc_dval.csv_file));
    if (prexec_pr_execute_procedure(f, 0, proc_dval.csv, csv_file.c_str(), 0)) {
        snprintf(currentproc, sizeof currentproc, "%s", name.c_str());
    } else {
        proc_failed(name);
        mnmisc_mn_register(31, &proc_dval, load_and_run_proc);
        new_view(0, 1);
    }
    // 6. The result table's objects.
    bool has_result = qychk_result_exists() != 0;
    if (has_result || had_result) {
        if (mnq_ws.destroy_result_objects)
            mnq_ws.destroy_result_objects();
        if (has_result && wsdict_dictionary) {
            wsdict_ws_read_result_into_dictionary(wsdict_dictionary->result);
            // The canvas names it as the user does, never by the
            // connection's own name for it.
            std::string shown = wsdict_dictionary->result;
            if (shown.size() >= 4)
                shown.replace(0, 4, "RSLT");
            if (mnq_ws.create_result_objects)
                mnq_ws.create_result_objects(shown.c_str());
            if (mnq_ws.resize_drawing_area)
                mnq_ws.resize_drawing_area();
        }
        if (mnq_ws.refresh)
            mnq_ws.refresh();
    }
    // 7.
    clear_graph_in_table_view(0, 1);
    fclose(f);
    refresh_after_replay();
}

void popup_31(Widget w, DlNotifyProc apply, int purpose)
{
    ensure_dirs();
    mnmisc_mn_register(31, &proc_dval, apply);
    DialogRecord &rec = dlmain_dialogs[31];
    if (rec.widget)
        rec.setval(&rec, &proc_dval);
    mnmisc_mn_popup_dialog(w, 31, purpose);
}

}  // namespace

// ---- directories ---------------------------------------------------------------------

std::string mnproc_own_dir(const char *base, const char *database, const char *user)
{
    char buf[1024];
    snprintf(buf, sizeof buf, "%s/%s/%s.%s", base, "etc/procedures", database, user);
    return buf;
}

std::string mnproc_shared_dir(const char *base, const char *database)
{
    return mnproc_own_dir(base, database, "shared");
}

void mnproc_set_proc_dirs(const char *user, const char *database)
{
    if (!user || !database)
        return;
    std::string base = vx_install_dir();
    dl_copy(proc_dval.user_dir, mnproc_own_dir(base.c_str(), database, user));
    dl_copy(proc_dval.shared_dir, mnproc_shared_dir(base.c_str(), database));
    dirs_for = std::string(database) + "." + user;
    DialogRecord &rec = dlmain_dialogs[31];
    if (rec.widget && XtIsManaged(rec.widget))
        rec.setval(&rec, &proc_dval);
}

std::vector<std::string> mnproc_tsl_arguments(const std::string &base, const char *database,
                                              const std::string &path)
{
    return {"nawk", "-f", base + "/bin/proc_to_tsl.awk", std::string("db=") + (database ? database : ""), path};
}

// ---- running -----------------------------------------------------------------------------

int mnproc_mn_execute_proc(const char *name, int report, int no_prompts, int no_graph_editing, int csv,
                           const char *csv_file)
{
    ensure_dirs();
    std::string n = name ? name : "";
    std::string path = n.empty() || n.size() > DL_PROC_NAME_MAX || n.find('/') != std::string::npos
                           ? std::string()
                           : mnmisc_find_settings_file("VX_PROC_PATH", own_dir(), shared_dir(), n);
    bool refused = false;
    FILE *f = path.empty() ? nullptr : open_trusted_settings_file(path.c_str(), &refused);
    if (!f) {
        // A planted file is told of even without reports: it is never run.
        if (refused)
            dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_FILE_NOT_TRUSTED, path.c_str());
        else if (report)
            dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_PROC_NOT_FOUND, n.c_str());
        return 1;
    }
    new_view(0, 0);
    if (no_graph_editing && mnbld_mn_runmode == 3)
        set_run_mode(4);
    else if (!no_graph_editing && mnbld_mn_runmode == 4)
        set_run_mode(3);
    if (csv) {
        proc_dval.csv = 1;
        dl_copy(proc_dval.csv_file, csv_file ? csv_file : "");
    } else {
        proc_dval.csv = 0;
    }
    prexec_pr_on_eop(on_eop);
    std::string csv_path(proc_dval.csv_file, strnlen(proc_dval.csv_file, sizeof proc_dval.csv_file));
    int r = prexec_pr_execute_procedure(f, no_prompts, csv ? 1 : 0, csv_path.c_str(), 1);
    if (!r) {
        new_view(0, 0);
        if (report)
            proc_failed(n);
    }
    clear_graph_in_table_view(0, 0);
    fclose(f);
    if (mn_hooks.print_sensitivity)
        mn_hooks.print_sensitivity();
    return r ? 0 : 2;
}

void mnproc_mn_new_procedure()
{
    currentproc[0] = '\0';
    refresh_proc_pane();
}

int mnproc_mn_have_named_proc() { return currentproc[0] != '\0'; }

// ---- menu routines --------------------------------------------------------------------------

void mn_new_proc(Widget)
{
    mnproc_mn_new_procedure();
    prmgr_pr_new_procedure();
    refresh_proc_pane();
}

void mnproc_mn_load_and_run(Widget w) { popup_31(w, load_and_run_proc, 4); }

void mnproc_mn_save(Widget)
{
    // Saves under the current name without asking.
    if (save_the_proc(false))
        return;
}

void mnproc_mn_save_as(Widget w) { popup_31(w, save_as_proc, 5); }

void mnproc_mn_delete(Widget w) { popup_31(w, delete_proc, 6); }

void mnproc_mn_keep(Widget)
{
    prmgr_pr_retain_query(PR_NODATA);
    refresh_proc_pane();
}
