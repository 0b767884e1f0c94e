// Print settings, hardcopy settings sets and the Print menu.

#include "mnprint.h"

#include "dlmess.h"
#include "dsput.h"
#include "dymain.h"
#include "dytab.h"
#include "menumsgs.h"
#include "mnbld.h"
#include "mndy.h"
#include "mnmisc.h"
#include "qycompat.h"
#include "vxfilter.h"
#include "vxutil.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// ---- the value ---------------------------------------------------------------------

static PrinterValue initial_value()
{
    PrinterValue v{};
    v.tableformat = 0;
    v.tableoutput = 0;
    v.graphformat = 1;
    v.graphoutput = 0;
    v.imagescale = 1;
    v.pageheight = 11.0;
    v.pagewidth = 8.5;
    v.orientation = 1;
    v.leftmargin = v.rightmargin = v.topmargin = v.bottommargin = -1;
    v.pageborder = 1;
    v.centretopage = 1;
    return v;
}

static PrinterValue printer_dval = initial_value();
// The five print commands are the display window's.
static auto &commands = dymain_dy_printer_commands;

PrinterValue *mnprint_mn_printer_setup() { return &printer_dval; }

void mnprint_reset_printer_setup()
{
    printer_dval = initial_value();
    for (auto &c : commands)
        c[0] = '\0';
}

char *mnprint_print_command(int number)
{
    return number >= HC_PLAINPRINT && number <= HC_PCLPLOT ? commands[number - HC_PLAINPRINT] : nullptr;
}


const HardcopyInfo hardcopy_info[HC_NPROPERTIES] = {
    {"tableformat", HC_INTEGER}, {"tableoutput", HC_INTEGER}, {"tablefile", HC_STRING},
    {"graphformat", HC_INTEGER}, {"graphoutput", HC_INTEGER}, {"graphfile", HC_STRING},
    {"pageheight", HC_REAL},     {"pagewidth", HC_REAL},      {"orientation", HC_INTEGER},
    {"leftmargin", HC_REAL},     {"rightmargin", HC_REAL},    {"topmargin", HC_REAL},
    {"bottommargin", HC_REAL},   {"pageborder", HC_INTEGER},  {"centretopage", HC_INTEGER},
    {"imagescale", HC_INTEGER},  {"plainprint", HC_STRING},   {"psprint", HC_STRING},
    {"psplot", HC_STRING},       {"hpglplot", HC_STRING},     {"pclplot", HC_STRING},
};

int mnprint_mn_lookup_hardcopy_property(const char *name, int *number, int *type)
{
    for (int i = 0; name && i < HC_NPROPERTIES; i++)
        if (strcmp(name, hardcopy_info[i].name) == 0) {
            *number = i;
            *type = hardcopy_info[i].type;
            return 1;
        }
    return 0;
}

int mnprint_mn_inquire_hardcopy_property(int number, const char **name, int *type)
{
    if (number < 0 || number >= HC_NPROPERTIES)
        return 0;
    *name = hardcopy_info[number].name;
    *type = hardcopy_info[number].type;
    return 1;
}

// The field of a property and its size (strings).
static void *field(int number, size_t *size)
{
    PrinterValue &v = printer_dval;
    *size = 0;
    switch (number) {
    case 0: return &v.tableformat;
    case 1: return &v.tableoutput;
    case 2: *size = sizeof v.tablefile; return v.tablefile;
    case 3: return &v.graphformat;
    case 4: return &v.graphoutput;
    case 5: *size = sizeof v.graphfile; return v.graphfile;
    case 6: return &v.pageheight;
    case 7: return &v.pagewidth;
    case 8: return &v.orientation;
    case 9: return &v.leftmargin;
    case 10: return &v.rightmargin;
    case 11: return &v.topmargin;
    case 12: return &v.bottommargin;
    case 13: return &v.pageborder;
    case 14: return &v.centretopage;
    case 15: return &v.imagescale;
    case 16: case 17: case 18: case 19: case 20:
        *size = sizeof commands[0];
        return commands[number - HC_PLAINPRINT];
    default: return nullptr;
    }
}

void *mnprint_mn_hardcopy_property(int number, int defaulted)
{
    size_t size;
    void *f = field(number, &size);
    if (f && defaulted && number >= HC_PLAINPRINT && !*static_cast<char *>(f))
        return const_cast<char *>(dymain_dy_default_printer_commands(number - HC_PLAINPRINT));
    return f;
}

static Widget box_parent() { return nullptr; }

// A filters file another user could have changed is told of, not used.
static void tell_refused_filters()
{
    if (const char *path = filters_file_refused())
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_FILE_NOT_TRUSTED, path);
}

// The conversion command of graph format n: the (n - 5)-th "CONV" entry,
// empty for the built-in formats and for a format with no entry.
static void copy_conversion(int format)
{
    printer_dval.conversion[0] = '\0';
    if (format < 6)
        return;
    FilterEntry entries[20];
    int n = read_filters_file("CONV", entries, 20);
    if (n == 0)
        tell_refused_filters();
    if (format - 6 < n)
        memcpy(printer_dval.conversion, entries[format - 6].command, sizeof printer_dval.conversion);
}

void mnprint_mn_set_hardcopy_property(int number, const void *value)
{
    size_t size;
    void *f = field(number, &size);
    if (!f || !value)
        return;
    switch (hardcopy_info[number].type) {
    case HC_INTEGER:
        *static_cast<int32_t *>(f) = *static_cast<const int32_t *>(value);
        break;
    case HC_REAL:
        *static_cast<double *>(f) = *static_cast<const double *>(value);
        break;
    default:
        safe_strcpy(static_cast<char *>(f), static_cast<const char *>(value), size - 1);
        break;
    }
    if (number == 3)
        copy_conversion(printer_dval.graphformat);
}

int mnprint_mn_check_hardcopy_property_value(int number, const void *value)
{
    if (!value || number < 0 || number >= HC_NPROPERTIES)
        return 0;
    auto i = [&] { return *static_cast<const int32_t *>(value); };
    auto d = [&] { return *static_cast<const double *>(value); };
    auto s = [&] { return strlen(static_cast<const char *>(value)); };
    switch (number) {
    case 0: case 8: return i() == 0 || i() == 1;
    case 1: case 4: return i() >= 0 && i() <= 2;
    case 2: case 5: return s() < 256;
    case 3: return i() >= 1 && i() <= 24;
    case 6: case 7: return d() >= 1 && d() <= 100;
    case 9: case 10: case 11: case 12: return d() == -1 || (d() >= 0 && d() <= 100);
    case 15: return i() >= 1 && i() <= 9999;
    case 16: case 17: case 18: case 19: case 20: return s() <= 255;
    default: return 1;
    }
}

// ---- settings files -------------------------------------------------------------------

static std::string hc_dir, default_hc, hcpath, savedir;
static bool dirs_set = false;
static HcFileValue hc_dval;

const std::string &mnprint_hc_dir() { return hc_dir; }
const std::string &mnprint_default_hc() { return default_hc; }
const std::string &mnprint_hcpath() { return hcpath; }
HcFileValue *mnprint_hc_value() { return &hc_dval; }
int mnprint_mn_have_named_hc() { return hcpath.empty() ? 0 : 1; }

static void refresh_sensitivity()
{
    if (mn_hooks.print_sensitivity)
        mn_hooks.print_sensitivity();
}


// The file of `base` along VX_HARDCOPY_PATH that opens, or empty.
static std::string along_search_path(const char *path)
{
    const char *dirs = getenv("VX_HARDCOPY_PATH");
    if (!dirs || !*dirs)
        return "";
    std::string base = vx::basename(path);
    if (base.empty() || base.size() > 255)
        return "";
    char found[4096];
    if (!findfile(dirs, base.c_str(), found, sizeof found) || access(found, R_OK) != 0)
        return "";
    return found;
}

static void again(DlNotifyProc proc) { mnmisc_mn_register(49, &hc_dval, proc); }

int mnprint_mn_load_hardcopy_file(const char *path, int report)
{
    savedir.clear();
    std::string found = along_search_path(path);
    FILE *f = nullptr;
    bool refused = false;
    if (!found.empty() && (f = open_trusted_settings_file(found.c_str(), &refused)))
        savedir = found;
    else if (refused)
        path = found.c_str();
    else
        f = open_trusted_settings_file(path, &refused);
    if (!f && refused) {
        // Another user's settings are never taken, reported or not.
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_FILE_NOT_TRUSTED, path);
        return 1;
    }
    if (!f) {
        if (report) {
            dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_FILE_ERROR, path);
            again(mnprint_load_proc);
        }
        return 1;
    }
    char name[64];
    int result = 0;
    while (fscanf(f, "%63s", name) == 1) {
        int number, type;
        if (!mnprint_mn_lookup_hardcopy_property(name, &number, &type)) {
            if (report) {
                dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_UNKNOWN_PROPERTY, name);
                again(mnprint_load_proc);
            }
            result = 2;
            break;
        }
        bool read = false;
        if (type == HC_INTEGER) {
            int32_t value = 0;
            read = fscanf(f, "%d", &value) == 1 && mnprint_mn_check_hardcopy_property_value(number, &value);
            if (read)
                mnprint_mn_set_hardcopy_property(number, &value);
        } else if (type == HC_REAL) {
            double value = 0;
            read = fscanf(f, "%lf", &value) == 1 && mnprint_mn_check_hardcopy_property_value(number, &value);
            if (read)
                mnprint_mn_set_hardcopy_property(number, &value);
        } else {
            char line[256] = "";
            getc(f);  // the separator
            read = fgets(line, sizeof line, f) != nullptr || feof(f);
            line[strcspn(line, "\n")] = '\0';
            // The rest of a line too long for the field is not a name.
            if (read && strlen(line) == sizeof line - 1)
                for (int c; (c = getc(f)) != EOF && c != '\n';) {
                }
            if (strcmp(line, "-") == 0)
                line[0] = '\0';
            if (read)
                mnprint_mn_set_hardcopy_property(number, line);
        }
        if (!read) {
            // A value that is not one of the property's: the file is bad.
            if (report) {
                dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_FILE_ERROR, path);
                again(mnprint_load_proc);
            }
            result = 2;
            break;
        }
    }
    fclose(f);
    if (result)
        return result;
    hcpath = path;
    refresh_sensitivity();
    return 0;
}

int mnprint_mn_save_hardcopy_file(const char *path_in)
{
    std::string path = savedir.empty() ? (path_in ? path_in : "") : savedir;
    if (path.empty())
        return 1;
    if (path.size() > 255)
        return 4;
    FILE *f = fopen(path.c_str(), "w");
    if (!f) {
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_FILE_ERROR, path.c_str());
        return 6;
    }
    bool ok = true;
    for (int i = 0; i < HC_NPROPERTIES; i++) {
        size_t size;
        const void *v = field(i, &size);
        int n;
        if (hardcopy_info[i].type == HC_INTEGER)
            n = fprintf(f, "%s\t%ld\n", hardcopy_info[i].name, static_cast<long>(*static_cast<const int32_t *>(v)));
        else if (hardcopy_info[i].type == HC_REAL)
            n = fprintf(f, "%s\t%lf\n", hardcopy_info[i].name, *static_cast<const double *>(v));
        else
            n = fprintf(f, "%s\t%s\n", hardcopy_info[i].name,
                        *static_cast<const char *>(v) ? static_cast<const char *>(v) : "-");
        ok = ok && n > 0;
    }
    if (fclose(f) != 0 || !ok) {
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_FILE_ERROR, path.c_str());
        return 6;
    }
    chmod(path.c_str(), 0644);
    hcpath = path;
    refresh_sensitivity();
    return 0;
}

// ---- the default set ------------------------------------------------------------------

static std::string home_file(const char *name)
{
    const char *home = getenv("HOME");
    return home && *home ? std::string(home) + "/" + name : "";
}

// Writes the default set's name; false when it could not be written.
static bool write_default(const std::string &name)
{
    std::string path = home_file(".vxdefhc");
    if (path.empty())
        return false;
    FILE *f = name.size() <= HC_NAME_MAX ? fopen(path.c_str(), "w+") : nullptr;
    if (!f || fprintf(f, "%s\n", name.c_str()) < 0 || fclose(f) != 0) {
        fprintf(stderr, "MnPrnt. Unable to write default HC name to %s\n", path.c_str());
        return false;
    }
    default_hc = name;
    return true;
}

void mnprint_mn_set_hc_dirs()
{
    hc_dir = mnbld_mn_basedir + "/etc/hardcopy";
    if (!dirs_set)
        default_hc.clear();
    dirs_set = true;
    safe_strcpy(hc_dval.directory, hc_dir.c_str(), sizeof hc_dval.directory - 1);
    std::string defaults = home_file(".vxdefhc");
    if (defaults.empty())
        return;
    if (FILE *f = fopen(defaults.c_str(), "r")) {
        char line[64] = "";
        if (fgets(line, sizeof line, f)) {
            line[strcspn(line, "\n")] = '\0';
            // A name longer than a set's name can be is no set of ours.
            if (line[0] && strlen(line) <= HC_NAME_MAX && !strchr(line, '/')) {
                default_hc = line;
                mnprint_mn_load_hardcopy_file((hc_dir + "/" + default_hc).c_str(), 0);
            }
        }
        fclose(f);
    }
    // The older per-user settings file becomes a set named after the user.
    std::string old = home_file(".vxprinter");
    if (access(old.c_str(), F_OK) != 0 || mnprint_mn_load_hardcopy_file(old.c_str(), 0) != 0)
        return;
    const char *logname = getenv("LOGNAME");
    char user[HC_NAME_MAX + 1];
    safe_strcpy(user, logname && *logname && !strchr(logname, '/') ? logname : "UNKNOWN", HC_NAME_MAX);
    strupper(user, user);
    savedir.clear();
    std::string path = hc_dir + "/" + user;
    if (mnprint_mn_save_hardcopy_file(path.c_str()) != 0)
        return;  // the old file stays for another try
    unlink(old.c_str());
    write_default(user);
}

void mnprint_mn_mark_default_hc(Widget)
{
    if (hcpath.empty()) {
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_NOTHING_TO_MARK);
        return;
    }
    if (!getenv("HOME"))
        return;
    write_default(vx::basename(hcpath.c_str()));
}

// ---- the dialog procedures --------------------------------------------------------------

void mnprint_load_proc(DialogRecord *, int *done)
{
    again(mnprint_load_proc);
    *done = 0;
    if (!hc_dval.name[0]) {
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_NAME_NEEDED);
        return;
    }
    std::string path = std::string(hc_dval.directory) + "/" + hc_dval.name;
    *done = mnprint_mn_load_hardcopy_file(path.c_str(), 1) == 0;
}

void mnprint_save_as_proc(DialogRecord *rec, int *done)
{
    again(mnprint_save_as_proc);
    *done = 0;
    if (!hc_dval.name[0]) {
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_NAME_NEEDED);
        return;
    }
    std::string path = std::string(hc_dval.directory) + "/" + hc_dval.name;
    if (std::string found = along_search_path(path.c_str()); !found.empty())
        path = found;
    Widget parent = rec && rec->widget ? mnmisc_item_shell(rec->widget) : nullptr;
    if (access(path.c_str(), F_OK) == 0 &&
        !dlmess_dialog_confirm(parent, mnbld_mn_nlsfd, MN_HC_CONFIRM_REPLACE, -1, -1, 1, hc_dval.name))
        return;
    savedir.clear();
    *done = mnprint_mn_save_hardcopy_file(path.c_str()) == 0;
}

void mnprint_delete_proc(DialogRecord *rec, int *done)
{
    again(mnprint_delete_proc);
    *done = 0;
    if (!hc_dval.name[0]) {
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_NAME_NEEDED);
        return;
    }
    Widget parent = rec && rec->widget ? mnmisc_item_shell(rec->widget) : nullptr;
    if (!dlmess_dialog_confirm(parent, mnbld_mn_nlsfd, MN_HC_CONFIRM_DELETE, -1, -1, 1, hc_dval.name))
        return;
    *done = 1;
    std::string path = std::string(hc_dval.directory) + "/" + hc_dval.name;
    if (unlink(path.c_str()) != 0)
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_FILE_ERROR, path.c_str());
    else
        hc_dval.name[0] = '\0';
}

void mnprint_edit_proc(DialogRecord *, int *done) { *done = 1; }

// ---- menu commands ----------------------------------------------------------------------

static void open_dialog(Widget w, int id, void *value, DlNotifyProc proc)
{
    if (!mnmisc_dialog_available(id)) {
        mnmisc_not_available(w);
        return;
    }
    mnmisc_mn_register(id, value, proc);
    DialogRecord *rec = &dlmain_dialogs[id];
    rec->setval(rec, value);
    mnmisc_mn_popup_dialog(w, id, 4);
}

void mnprint_mn_load_hc(Widget w) { open_dialog(w, 49, &hc_dval, mnprint_load_proc); }
void mnprint_mn_save_as_hc(Widget w) { open_dialog(w, 49, &hc_dval, mnprint_save_as_proc); }
void mnprint_mn_delete_hc(Widget w) { open_dialog(w, 49, &hc_dval, mnprint_delete_proc); }
void mnprint_mn_edit_hc(Widget w) { open_dialog(w, 41, &printer_dval, mnprint_edit_proc); }

void mnprint_mn_load_default_hc(Widget)
{
    if (default_hc.empty())
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_NO_DEFAULT);
    else
        mnprint_mn_load_hardcopy_file((hc_dir + "/" + default_hc).c_str(), 1);
}

void mnprint_mn_save_hc(Widget)
{
    if (hcpath.empty())
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_HC_NO_NAME);
    else
        mnprint_mn_save_hardcopy_file(hcpath.c_str());
}

static void edit_command(Widget w, int number, const VxMsg<> &prompt)
{
    const char *current = static_cast<const char *>(mnprint_mn_hardcopy_property(number, 1));
    const char *reply = dlmess_dialog_prompt(mnmisc_item_shell(w), mnbld_mn_nlsfd, prompt.set, prompt.number,
                                             current ? current : "");
    if (reply)
        mnprint_mn_set_hardcopy_property(number, reply);
}

void mnprint_mn_edit_tabcom(Widget w)
{
    edit_command(w, printer_dval.tableformat == 1 ? HC_PSPRINT : HC_PLAINPRINT, MN_HC_TABLE_COMMAND);
}

void mnprint_mn_edit_grpcom(Widget w)
{
    int number = printer_dval.graphformat == 3 ? HC_HPGLPLOT : printer_dval.graphformat == 4 ? HC_PCLPLOT : HC_PSPLOT;
    edit_command(w, number, MN_HC_GRAPH_COMMAND);
}

// Prints the graph or the table: 1 printed, 0 failed, -1 when that
// printing is not there.
static int print_view(Widget w, bool graph)
{
    int (*print)(int) = graph ? mn_hooks.print_graph : mn_hooks.print_table ? mn_hooks.print_table : dytab_dy_print_table;
    if (!print) {
        mnmisc_not_available(w);
        return -1;
    }
    return print(1);
}

void mnprint_mn_print(Widget w) { print_view(w, mndy_mn_output_mode() == 1); }

std::string mnprint_create_temp(const char *format_head, long pid, int *count, const char *extension)
{
    for (int tries = 0; tries < 1000; tries++) {
        char name[512];
        if (extension)
            snprintf(name, sizeof name, "%s_%ld_%d.%s", format_head, pid, *count, extension);
        else if (tries == 0)
            snprintf(name, sizeof name, "%s.%ld", format_head, pid);
        else
            snprintf(name, sizeof name, "%s.%ld.%d", format_head, pid, *count);
        int fd = open(name, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) {
            close(fd);
            if (extension)
                (*count)++;
            return name;
        }
        if (errno != EEXIST)
            return "";
        (*count)++;
    }
    return "";
}

int mnprint_run_with_infile(const char *command, const char *file)
{
    if (!command || !*command)
        return 0;
    // The file reaches the command through the environment only.
    setenv("INFILE", file ? file : "", 1);
    // The command's own children are not the interpreter.
    query_death(0);
    const int status = system(command);
    query_death(1);
    int code = 0;
    if (status == -1)
        code = -1;
    else if (WIFSIGNALED(status))
        code = 128 + WTERMSIG(status);
    else if (WIFEXITED(status))
        code = WEXITSTATUS(status);
    if (code != 0)
        dlmess_dialog_show_error(box_parent(), mnbld_mn_nlsfd, MN_COMMAND_FAILED, command, code);
    return code;
}


DyPrintSettings mnprint_table_settings()
{
    return {printer_dval.tableformat, printer_dval.tableoutput, printer_dval.tablefile, printer_dval.mail};
}

static const char *graph_extensions[] = {"ps", "eps", "hpgl", "pcl", "png"};

void mn_send_via_email(Widget w)
{
    static int graph_count = 0, table_count = 0;
    FilterEntry email;
    if (read_filters_file("EMAIL", &email, 1) < 1) {
        tell_refused_filters();
        return;
    }
    PrinterValue kept = printer_dval;
    bool graph = mndy_mn_output_mode() == 1;
    std::string file;
    if (graph) {
        std::string ext = "out";
        int format = printer_dval.graphformat;
        if (format >= 1 && format <= 5) {
            ext = graph_extensions[format - 1];
        } else {
            FilterEntry conv[20];
            int n = read_filters_file("CONV", conv, 20);
            if (format - 6 < n && conv[format - 6].label[0]) {
                ext = conv[format - 6].label;
                strlower(ext.data(), ext.data());
            }
        }
        file = mnprint_create_temp("/tmp/graphfile", static_cast<long>(getpid()), &graph_count, ext.c_str());
        printer_dval.graphoutput = 1;
        safe_strcpy(printer_dval.graphfile, file.c_str(), sizeof printer_dval.graphfile - 1);
    } else {
        file = mnprint_create_temp("/tmp/tablefile", static_cast<long>(getpid()), &table_count,
                                   printer_dval.tableformat == 1 ? "ps" : "txt");
        printer_dval.tableoutput = 1;
        safe_strcpy(printer_dval.tablefile, file.c_str(), sizeof printer_dval.tablefile - 1);
    }
    if (!file.empty() && print_view(w, graph) == 1)
        mnprint_run_with_infile(email.command, file.c_str());
    // The mailed copy goes, whether the command ran or not.
    if (!file.empty())
        unlink(file.c_str());
    printer_dval.graphformat = kept.graphformat;
    printer_dval.tableformat = kept.tableformat;
    printer_dval.graphoutput = kept.graphoutput;
    printer_dval.tableoutput = kept.tableoutput;
    memcpy(printer_dval.graphfile, kept.graphfile, sizeof kept.graphfile);
    memcpy(printer_dval.tablefile, kept.tablefile, sizeof kept.tablefile);
}

void mn_print_preview(Widget w)
{
    if (mndy_mn_output_mode() != 1)
        return;
    int count = 0;
    PrinterValue kept = printer_dval;
    std::string file = mnprint_create_temp("/tmp/.ghostview", static_cast<long>(getpid()), &count, nullptr);
    if (!file.empty()) {
        printer_dval.graphformat = 1;
        printer_dval.graphoutput = 1;
        safe_strcpy(printer_dval.graphfile, file.c_str(), sizeof printer_dval.graphfile - 1);
        if (print_view(w, true) == 1) {
            FilterEntry preview;
            if (read_filters_file("PSPREVIEW", &preview, 1) == 1)
                mnprint_run_with_infile(preview.command, file.c_str());
            else
                tell_refused_filters();
        }
        unlink(file.c_str());
    }
    printer_dval.graphformat = kept.graphformat;
    printer_dval.graphoutput = kept.graphoutput;
    memcpy(printer_dval.graphfile, kept.graphfile, sizeof kept.graphfile);
    memcpy(printer_dval.conversion, kept.conversion, sizeof kept.conversion);
}
