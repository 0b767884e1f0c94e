// Query checks and user commands.

#include "qychk.h"
#include "qymgr.h"
#include "qymgr_int.h"

#include "dlmain.h"
#include "qycompat.h"
#include "qysched.h"
#include "vxproc.h"
#include "vxutil.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int MAX_IGNORES = 10;
int qignores[MAX_IGNORES], dignores[MAX_IGNORES], fignores[MAX_IGNORES];
int nqignores = 0, ndignores = 0, nfignores = 0;

char tsl_date_input[26] = "";
char tsl_date_output[26] = "";
void (*menu_hook)(int) = nullptr;

bool in(const int *list, int n, int code)
{
    if (code == 0)
        return false;
    for (int i = 0; i < n; i++)
        if (list[i] == code)
            return true;
    return false;
}

int ignore_error(int query_code, int database_code, int filer_code)
{
    if (in(qignores, nqignores, query_code) || in(dignores, ndignores, database_code) ||
        in(fignores, nfignores, filer_code))
        return 0;
    return 1;
}

// A statement the interpreter may take: one over the limit is never sent
// (nor cut, which would make it another statement); the query then counts
// as failed.
bool run(const std::string &text, int exec, int buffer, int error)
{
    if (text.size() > static_cast<size_t>(QYCHK_MAX_STATEMENT))
        return false;
    qymgr_qy_query(text.c_str(), exec, buffer, error);
    return qymgr_qy_ok() != 0;
}

std::string quoted(const char *text)
{
    std::string s;
    for (const char *p = text ? text : ""; *p; p++) {
        s += *p;
        if (*p == '\'')
            s += '\'';
    }
    return s;
}

std::string unqualified(const char *text)
{
    std::vector<char> copy(text ? text : "", (text ? text : "") + (text ? strlen(text) : 0));
    copy.push_back('\0');
    remove_qualification(copy.data());
    return copy.data();
}

bool check(const std::string &text, int error_mode)
{
    return run(text, QY_NOEVAL, QY_ASIS, error_mode);
}

int32_t int_at(const void *buffer, size_t at)
{
    int32_t v;
    memcpy(&v, static_cast<const char *>(buffer) + at, sizeof v);
    return v;
}

bool indexed(const char *relation)
{
    std::string text = std::string("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='") + relation + "' AND %GOTIX";
    return run(text, QY_NOWAIT, QY_SIMPLE, QY_WARN) && qymgr_qy_rows() > 0;
}

const char *const dictionary_relations[6] = {"%RELATNS", "%ITEMS", "%COLS", "%INDEXES", "%KEYS", "%PRIVS"};

std::string trimmed(const char *text)
{
    std::string s = text ? text : "";
    size_t a = s.find_first_not_of(" \t\n\r");
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(" \t\n\r");
    return s.substr(a, b - a + 1);
}

// "%t" becomes the table's name and "%c" the column's (a missing name
// leaves the percent sign); any other "%x" stays.
std::string expand(const std::string &command, const char *table, const char *column)
{
    std::string out;
    for (size_t i = 0; i < command.size(); i++) {
        char c = command[i];
        if (c == '%' && i + 1 < command.size()) {
            char n = command[i + 1];
            if (n == 't' && table) {
                out += table;
                i++;
                continue;
            }
            if (n == 'c' && column) {
                out += column;
                i++;
                continue;
            }
            if (n != 't' && n != 'c') {
                out += c;
                out += n;
                i++;
                continue;
            }
        }
        out += c;
    }
    return out;
}

void run_tsl(const std::string &rest)
{
    const QyWorkspaceHooks *ws = qymgr_workspace_hooks();
    if (ws && ws->set_mode)
        ws->set_mode(3);
    if (menu_hook)
        menu_hook(0);

    pid_t server = 0;
    int msqid = -1, shmid = -1;
    query_get_server_details(&server, &msqid, &shmid);
    std::vector<std::string> words = {"tsl", "-m", std::to_string(shmid), "-q", std::to_string(msqid), "-p",
                                      std::to_string(server), "-dateInputFormat", tsl_date_input,
                                      "-dateOutputFormat", tsl_date_output};
    for (size_t i = 0; i < rest.size();) {
        while (i < rest.size() && rest[i] == ' ')
            i++;
        size_t j = i;
        while (j < rest.size() && rest[j] != ' ')
            j++;
        if (j > i)
            words.push_back(rest.substr(i, j - i));
        i = j;
    }
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const std::string program = std::string(doz_client_dir()) + "/bin/tsl";

    qymgr_qy_expect_signal(SIGCHLD);
    pid_t pid = vx_spawn(program.c_str(), argv.data(), VxSpawnOptions{}, nullptr);
    if (pid > 0)
        qymgr_qy_process_events_till_signal(SIGCHLD, pid);
    else
        qymgr_qy_process_events_till_signal(SIGCHLD, -1);
    qymgr_qy_reattach();

    if (menu_hook)
        menu_hook(1);
    if (ws && ws->set_mode)
        ws->set_mode(0);
}

}  // namespace

// ---- error ignoring --------------------------------------------------------------------

void qychk_ignore(int first, ...)
{
    nqignores = ndignores = nfignores = 0;
    int *lists[3] = {qignores, dignores, fignores};
    int *counts[3] = {&nqignores, &ndignores, &nfignores};
    va_list ap;
    va_start(ap, first);
    int code = first;
    for (int l = 0; l < 3; l++) {
        if (l > 0)
            code = va_arg(ap, int);
        for (; code != 0; code = va_arg(ap, int))
            if (*counts[l] < MAX_IGNORES)
                lists[l][(*counts[l])++] = code;
    }
    va_end(ap);
    qymgr_qy_set_error_filter(ignore_error);
}

void qychk_unignore() { qymgr_qy_set_error_filter(nullptr); }

// ---- checks ------------------------------------------------------------------------------

int qychk_qy_check_expression(const char *text)
{
    qychk_ignore(-85, 0, 0, 0);
    bool ok = check(std::string("PRINT ") + (text ? text : ""), QY_IGNORE);
    qychk_unignore();
    return ok;
}

int qychk_qy_check_sort(const char *text)
{
    qychk_ignore(0, 107, 0, 0);
    bool ok = check("DISPLAY NULL FROM %USERS SEQUENCE BY " + unqualified(text), QY_IGNORE);
    qychk_unignore();
    return ok;
}

int qychk_qy_check_join(const char *text)
{
    qychk_ignore(0, 4, 0, 0);
    bool ok = check("DISPLAY NULL FROM %USERS,%PRIVS JOIN " + unqualified(text), QY_IGNORE);
    qychk_unignore();
    return ok;
}

int qychk_qy_check_group(const char *text)
{
    qychk_ignore(0, 4, 0, 0);
    bool ok = check(std::string("GROUP %USERS BY ") + (text ? text : ""), QY_IGNORE);
    qychk_unignore();
    return ok;
}

int qychk_qy_check_condition(const char *text)
{
    qychk_ignore(0, 4, 0, 0);
    bool ok = check("DISPLAY NULL FROM %USERS WHERE " + unqualified(text), QY_REPORT);
    qychk_unignore();
    return ok;
}

int qy_check_restriction(const char *table, const char *text)
{
    return check(std::string("DISPLAY NULL FROM ") + (table ? table : "") + " WHERE " + unqualified(text), QY_REPORT);
}

int qychk_qy_check_reserved(const char *name)
{
    qychk_ignore(-76, -77, -78, -79, -80, 0, 0, 0);
    bool ok = check(std::string("PRINT ") + (name ? name : "") + "()", QY_IGNORE);
    qychk_unignore();
    return ok;
}

int qy_check_reserved_col(const char *name)
{
    qychk_ignore(-85, 0, 0, 0);
    bool ok = check(std::string("PRINT ") + (name ? name : "") + "()", QY_IGNORE);
    qychk_unignore();
    return ok;
}

int qychk_qy_check_statistic(const char *text)
{
    qychk_ignore(-85, 0, 0, 0);
    qymgr_qy_query("DEFINE @ %TEST", QY_NOWAIT, QY_ASIS, QY_IGNORE);
    bool ok = check(std::string("PRINT ") + (text ? text : ""), QY_IGNORE);
    qychk_unignore();
    qymgr_qy_query("UNDEFINE @", QY_NOWAIT, QY_ASIS, QY_IGNORE);
    return ok;
}

// ---- dictionary questions ----------------------------------------------------------------

int qychk_table_rows(const char *name)
{
    std::string upper = name ? name : "";
    for (char &c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    std::string text;
    if (upper.compare(0, 4, "RSLT") == 0)
        text = "DISPLAY SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t\tWHERE %RNAME=RESULT()+'" +
               quoted(upper.c_str() + 4) + "'";
    else
        text = "DISPLAY SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t\tWHERE %RNAME='" + quoted(upper.c_str()) + "'";
    // Only a row the question delivered is read, never what an earlier
    // query left in the buffer.
    if (!run(text, QY_NOWAIT, QY_SIMPLE, QY_IGNORE) || qymgr_qy_rows() < 1 || !qymgr_qy_buffer())
        return -1;
    return int_at(qymgr_qy_buffer(), 0);
}

int qychk_table_has_data(const char *name) { return qychk_table_rows(name) > 0; }

int qychk_result_exists()
{
    return run("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME=RESULT()", QY_NOWAIT, QY_SIMPLE, QY_IGNORE) &&
           qymgr_qy_rows() > 0;
}

int qychk_privs_exist(const char *table)
{
    std::string text = "DISPLAY %RNAME FROM %PRIVS WHERE %RNAME='" + quoted(table) + "'";
    return run(text, QY_NOWAIT, QY_SIMPLE, QY_IGNORE) && qymgr_qy_rows() > 0;
}

void qychk_qy_get_user_and_db_names(char *user, char *database)
{
    if (user)
        user[0] = '\0';
    if (database)
        database[0] = '\0';
    if (!run("PRINT sysuser(), dbname()", QY_NOWAIT, QY_SIMPLE, QY_IGNORE) || !qymgr_qy_buffer())
        return;
    const char *b = static_cast<const char *>(qymgr_qy_buffer());
    if (user)
        safe_strcpy(user, std::string(b, strnlen(b, 31)).c_str(), 30);
    if (database)
        safe_strcpy(database, std::string(b + 31, strnlen(b + 31, 9)).c_str(), 8);
}

int qychk_qy_get_config(const char *database, int *memsize, int *postsize, int *locks_off, int limits[8],
                        int indexed_out[6])
{
    bool settings = false, limits_read = false;
    if (run("%PRINT %MEMSIZE, %DEFPOSTSIZE, %FILELOCKS", QY_NOWAIT, QY_SIMPLE, QY_REPORT) && qymgr_qy_rows() > 0) {
        settings = true;
        const void *b = qymgr_qy_buffer();
        if (memsize)
            *memsize = int_at(b, 0);
        if (postsize)
            *postsize = int_at(b, 4);
        if (locks_off)
            *locks_off = static_cast<const unsigned char *>(b)[8] ? 0 : 1;
    }
    qymgr_qy_query("DEFINE DN %0+STR('__________',1,9-LEN(%0))+%1", QY_NOWAIT, QY_ASIS, QY_WARN);
    std::string info = std::string("DEFINE INFO SYSINFO('%ROOT',DN('") + quoted(database) + "',%0),'MAXRECS')";
    run(info, QY_NOWAIT, QY_ASIS, QY_WARN);
    if (run("PRINT INFO('m'),INFO('r'),INFO('i'), \t\t\tINFO('c'),INFO('x'),INFO('k'),INFO('u'),INFO('p')", QY_NOWAIT,
            QY_SIMPLE, QY_REPORT) &&
        qymgr_qy_rows() > 0) {
        limits_read = true;
        for (int i = 0; limits && i < 8; i++)
            limits[i] = int_at(qymgr_qy_buffer(), static_cast<size_t>(i) * 4);
    }
    qymgr_qy_query("UNDEFINE DN", QY_NOWAIT, QY_ASIS, QY_WARN);
    qymgr_qy_query("UNDEFINE INFO", QY_NOWAIT, QY_ASIS, QY_WARN);
    for (int i = 0; i < 6; i++) {
        int yes = indexed(dictionary_relations[i]);
        if (indexed_out)
            indexed_out[i] = yes;
    }
    return settings && limits_read ? 1 : 0;
}

void qychk_qy_configure_dictionary(const int sizes[7], const int wishes[6])
{
    static const char *const formats[7] = {
        "CONFIGURE %%RELATNS[%d] AS FIXED", "CONFIGURE %%ITEMS[%d] AS EXTENSIBLE", "CONFIGURE %%COLS[%d] AS EXTENSIBLE",
        "CONFIGURE %%INDEXES[%d] AS FIXED", "CONFIGURE %%KEYS[%d] AS EXTENSIBLE",  "CONFIGURE %%USERS[%d] AS FIXED",
        "CONFIGURE %%PRIVS[%d] AS EXTENSIBLE"};
    qychk_ignore(0, 0, 25, 0);
    for (int i = 0; i < 7; i++) {
        char text[64];
        snprintf(text, sizeof text, formats[i], sizes ? sizes[i] : 0);
        qymgr_qy_query(text, QY_NOWAIT, QY_ASIS, QY_REPORT);
    }
    qychk_unignore();
    for (int i = 0; i < 6; i++) {
        const bool now = indexed(dictionary_relations[i]);
        const bool wished = wishes && wishes[i];
        if (now && !wished)
            run(std::string("DROP INDEX FROM ") + dictionary_relations[i], QY_NOWAIT, QY_ASIS, QY_WARN);
        else if (wished && !now)
            run(std::string("INDEX ") + dictionary_relations[i], QY_NOWAIT, QY_ASIS, QY_WARN);
    }
}

void qychk_qy_configure_database(const char *database, int memsize, int postsize, int locks_choice, int maxfiles)
{
    char text[256];
    snprintf(text, sizeof text,
             "CONFIGURE DATABASE %s SET %%MEMSIZE %d \t\t  SET %%DEFPOSTSIZE %d SET %%FILELOCKS %s \t\t  SET "
             "%%MAXFILES %d",
             database ? database : "", memsize, postsize, locks_choice == 1 ? "FALSE" : "TRUE", maxfiles);
    run(text, QY_NOWAIT, QY_ASIS, QY_REPORT);
}

// ---- commands ------------------------------------------------------------------------------

void qychk_qy_set_tsl_dateformats(const char *input, const char *output)
{
    safe_strcpy(tsl_date_input, input ? input : "", sizeof tsl_date_input - 2);
    safe_strcpy(tsl_date_output, output ? output : "", sizeof tsl_date_output - 2);
}

void qychk_set_menu_hook(void (*proc)(int)) { menu_hook = proc; }

int qychk_qy_run_command(const char *command, const char *table, const char *column)
{
    const std::string trimmed_command = trimmed(command);
    if (trimmed_command.empty())
        return 0;
    const std::string com = expand(trimmed_command, table, column);
    if (com.size() > static_cast<size_t>(QYCHK_MAX_STATEMENT))
        return 0;

    if (com[0] == '!') {
        query_death(0);
        int r = system(com.c_str() + 1);
        (void)r;
        query_death(1);
    } else if (com[0] == '&') {
        run_tsl(com.substr(1));
    } else {
        qymgr_qy_query("CREATE VAR %VXREREAD FALSE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
        qymgr_qy_query(com.c_str(), QY_BGROUND, QY_FULL, QY_REPORT);
    }
    if (!run("PRINT %VXREREAD", QY_NOWAIT, QY_SIMPLE, QY_IGNORE) || qymgr_qy_rows() < 1 || !qymgr_qy_buffer())
        return 0;
    return static_cast<const unsigned char *>(qymgr_qy_buffer())[0] ? 1 : 0;
}
