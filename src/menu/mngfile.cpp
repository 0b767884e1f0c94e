// Graph format files and the Graph pane's file commands.

#include "mngfile.h"

#include "dlmess.h"
#include "dygrph.h"
#include "goobj.h"
#include "gofile.h"
#include "gomain.h"
#include "goprop.h"
#include "menumsgs.h"
#include "mnbld.h"
#include "mndy.h"
#include "mndysens.h"
#include "mnform.h"
#include "mnmisc.h"
#include "vxcat.h"
#include "vxutil.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string own_dir, shared_dir;
std::string current_user;
bool user_known = false;
GraphFileValue graph_dval;
void (*error_sink)(int, int, const std::string &) = nullptr;

template <class... A>
void report(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    if (error_sink) {
        error_sink(m.set, m.number, vx_msgf(mnbld_mn_nlsfd, m, args...));
        return;
    }
    dlmess_dialog_show_error(mnmisc_item_shell(nullptr), mnbld_mn_nlsfd, m, args...);
}

void copy_field(char *field, size_t size, const std::string &text)
{
    // A text that does not fit is not kept cut: it would name another file.
    if (text.size() >= size)
        field[0] = '\0';
    else
        memcpy(field, text.c_str(), text.size() + 1);
}

void remember_file(GoGraph *g, const std::string &path)
{
    if (g && g->format)
        copy_field(g->format->filename, sizeof g->format->filename, path);
}

bool graph_view() { return mndy_mn_output_mode() == 1; }

void again(DlNotifyProc proc) { mnmisc_mn_register(40, &graph_dval, proc); }

std::string dir_of(const GraphFileValue &v) { return v.shared ? v.shared_dir : v.user_dir; }

// The user's ".DEFAULT" read into a temporary graph that holds a fresh
// copy of the default format; true when it was read to its end.
bool read_user_default(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        return false;
    GoGraph temp{};
    temp.first = temp.last = temp.kept = -1;
    temp.format = new GoFormat(*goprop_go_default_graph_format());
    temp.format->objects = nullptr;
    const bool read = gofile_go_read_graph(&temp, f) == 1;
    fclose(f);
    gobj_go_destroy_objects(&temp);
    temp.format->objects = nullptr;
    if (read)
        goprop_go_set_default_graph_format(temp.format);
    delete temp.format;
    return read;
}

}  // namespace

const std::string &mngraph_own_dir() { return own_dir; }
const std::string &mngraph_shared_dir() { return shared_dir; }
GraphFileValue *mngraph_graph_value() { return &graph_dval; }
void mngraph_set_error_sink(void (*sink)(int, int, const std::string &)) { error_sink = sink; }

void mngraph_mn_set_graph_dirs(const char *user)
{
    const std::string name = user ? user : "";
    char path[1024];
    snprintf(path, sizeof path, "%s/%s/%s", mnbld_mn_basedir.c_str(), "etc/graphs", name.c_str());
    // A name that is no single directory name (empty, "." or "..", or
    // with a "/") has no own directory: it would name another's or none.
    const bool usable = !name.empty() && name != "." && name != ".." && name != "shared" &&
                        name.find('/') == std::string::npos;
    own_dir = usable ? path : "";
    snprintf(path, sizeof path, "%s/%s/%s", mnbld_mn_basedir.c_str(), "etc/graphs", "shared");
    shared_dir = path;
    copy_field(graph_dval.user_dir, sizeof graph_dval.user_dir, own_dir);
    copy_field(graph_dval.shared_dir, sizeof graph_dval.shared_dir, shared_dir);
    if (user_known && name == current_user)
        return;
    // Another user's default never becomes this one's: without a
    // ".DEFAULT" of its own a user has the built-in default.
    if (own_dir.empty() || !read_user_default(own_dir + "/.DEFAULT"))
        goprop_go_forget_default_graph_format();
    current_user = name;
    user_known = true;
}

int mngraph_mn_have_named_graph()
{
    GoGraph *g = dygrph_dy_selected_graph();
    return g && g->format && g->format->graphname[0] ? 1 : 0;
}

int mngraph_mn_load_graph_format(const char *name_in)
{
    const std::string name = name_in ? name_in : "";
    GoGraph *g = dygrph_dy_selected_graph();
    std::string path;
    if (name.find('/') != std::string::npos) {
        if (FILE *probe = fopen(name.c_str(), "r")) {
            fclose(probe);
            path = name;
        }
    } else {
        path = mnmisc_find_settings_file("VX_FORMAT_PATH", own_dir, shared_dir, name);
    }
    if (path.empty() || !g) {
        std::string last = name.find('/') != std::string::npos ? name : shared_dir + "/" + name;
        report(MN_FORMAT_FILE_ERROR, last.c_str());
        return 1;
    }
    FILE *f = fopen(path.c_str(), "r");
    if (!f) {
        report(MN_FORMAT_FILE_ERROR, path.c_str());
        return 1;
    }
    const int read = gofile_go_read_graph(g, f);
    fclose(f);
    // What was read stays (the reader's rule), so the graph view takes it
    // either way: a kind the graph cannot take is put back and the screen
    // shows what the format now holds.
    int kind_changed = 0;
    const int taken = dygrph_dy_notify_property_change(graph_view() ? 1 : 0, 1, &kind_changed);
    mnform_mn_reset_format_dialogs();
    if (read != 1) {
        report(MN_FORMAT_NOT_READ, path.c_str());
        again(mngraph_load_proc);
        return 2;
    }
    mndy_mn_set_graph_sensitivity();
    remember_file(g, path);
    return taken ? 0 : 3;
}

int mngraph_mn_save_graph_format(GoGraph *graph, const char *name_in, int where)
{
    const std::string name = name_in ? name_in : "";
    if (name.empty())
        return 1;
    if (name.size() > 255)
        return 4;
    std::string dir, path;
    if (where == 2) {
        path = name;
        const size_t slash = name.rfind('/');
        dir = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    } else {
        dir = where == 1 ? own_dir : shared_dir;
        path = dir + "/" + name;
    }
    if (!mnmisc_mn_make_dir(dir.c_str(), where == 0)) {
        report(MN_FORMAT_DIR_NOT_MADE, dir.c_str());
        return 5;
    }
    // Written beside the target and put in its place only when whole: a
    // full disk leaves the older file as it was.
    std::string temp = path + ".XXXXXX";
    const int fd = path.size() <= 255 ? mkstemp(temp.data()) : -1;
    FILE *f = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (!f) {
        if (fd >= 0) {
            close(fd);
            unlink(temp.c_str());
        }
        report(MN_FORMAT_FILE_ERROR, path.c_str());
        return 6;
    }
    std::string shown = vx::basename(path.c_str());
    if (graph && graph->format) {
        char label[GO_GRAPHNAME_LENGTH + 1];
        snprintf(label, sizeof label, "%s", shown.c_str());
        goprop_go_set_property(graph, 196, 0, label);
    }
    gofile_go_write_graph(graph, f);
    bool ok = fflush(f) == 0 && !ferror(f);
    ok = fsync(fileno(f)) == 0 && ok;
    ok = fclose(f) == 0 && ok;
    if (ok) {
        // Readable by every user, written by its owner only.
        ok = chmod(temp.c_str(), 0644) == 0 && rename(temp.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        unlink(temp.c_str());
        report(MN_FORMAT_FILE_ERROR, path.c_str());
        return 6;
    }
    remember_file(graph, path);
    mndy_mn_set_graph_sensitivity();
    return 0;
}

// ---- the dialog procedures --------------------------------------------------------------

void mngraph_load_proc(DialogRecord *, int *done)
{
    *done = 0;
    if (!graph_dval.name[0]) {
        again(mngraph_load_proc);
        return;
    }
    if (mngraph_mn_load_graph_format(graph_dval.name) == 0)
        *done = 1;
    else
        again(mngraph_load_proc);
}

void mngraph_save_as_proc(DialogRecord *rec, int *done)
{
    *done = 0;
    if (!graph_dval.name[0]) {
        again(mngraph_save_as_proc);
        return;
    }
    const std::string path = dir_of(graph_dval) + "/" + graph_dval.name;
    Widget parent = rec && rec->widget ? mnmisc_item_shell(rec->widget) : mnmisc_item_shell(nullptr);
    if (access(path.c_str(), F_OK) == 0 &&
        !dlmess_dialog_confirm(parent, mnbld_mn_nlsfd, MN_FORMAT_CONFIRM_REPLACE, -1, -1, 1, graph_dval.name)) {
        again(mngraph_save_as_proc);
        return;
    }
    if (mngraph_mn_save_graph_format(dygrph_dy_selected_graph(), graph_dval.name, graph_dval.shared ? 0 : 1) == 0)
        *done = 1;
    else
        again(mngraph_save_as_proc);
}

void mngraph_delete_proc(DialogRecord *rec, int *done)
{
    *done = 0;
    if (!graph_dval.name[0]) {
        again(mngraph_delete_proc);
        return;
    }
    Widget parent = rec && rec->widget ? mnmisc_item_shell(rec->widget) : mnmisc_item_shell(nullptr);
    if (!dlmess_dialog_confirm(parent, mnbld_mn_nlsfd, MN_FORMAT_CONFIRM_DELETE, -1, -1, 1, graph_dval.name)) {
        again(mngraph_delete_proc);
        return;
    }
    *done = 1;
    const std::string path = dir_of(graph_dval) + "/" + graph_dval.name;
    if (unlink(path.c_str()) != 0)
        report(MN_FORMAT_FILE_ERROR, path.c_str());
    else
        graph_dval.name[0] = '\0';
}

// ---- menu commands ----------------------------------------------------------------------

namespace {

void open_file_dialog(Widget w, DlNotifyProc proc)
{
    if (!mnmisc_dialog_available(40)) {
        mnmisc_not_available(w);
        return;
    }
    mnmisc_mn_register(40, &graph_dval, proc);
    DialogRecord *rec = &dlmain_dialogs[40];
    rec->setval(rec, &graph_dval);
    mnmisc_mn_popup_dialog(w, 40, proc == mngraph_save_as_proc ? 5 : 4);
}

}  // namespace

void mngraph_mn_load_graph(Widget w) { open_file_dialog(w, mngraph_load_proc); }
void mngraph_mn_save_as_graph(Widget w) { open_file_dialog(w, mngraph_save_as_proc); }
void mngraph_mn_delete_graph(Widget w) { open_file_dialog(w, mngraph_delete_proc); }

void mngraph_mn_load_default_graph(Widget)
{
    if (dygrph_dy_selected_graph())
        mngraph_mn_load_graph_format(".DEFAULT");
}

void mngraph_mn_save_graph(Widget)
{
    GoGraph *g = dygrph_dy_selected_graph();
    if (g && g->format && g->format->filename[0])
        mngraph_mn_save_graph_format(g, g->format->filename, 2);
}

void mngraph_mn_save_default_graph(Widget)
{
    GoGraph *g = dygrph_dy_selected_graph();
    if (g && mngraph_mn_save_graph_format(g, ".DEFAULT", 1) == 0)
        goprop_go_set_default_graph_format(g->format);
}
