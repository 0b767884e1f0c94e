// The query manager's core: modes, the query cycle, the end-of-buffer and
// end-of-query handlers, error reporting, the connection's start, attach
// and end, and the waits.  Everything that touches X goes through the
// QyUi table (qymgr_x.cpp has the X version).

#include "qymgr.h"
#include "qymgr_int.h"
#include "qymsgs.h"

#include "dozrow.h"
#include "qycompat.h"
#include "vxcat.h"
#include "vxproc.h"
#include "vxutil.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

int qymgr_qy_debugging = 0;

namespace {

constexpr uint32_t START_WORD = 0x8000001e;
constexpr int AUTHORISE_RIGHT = 0x4000;
constexpr int WS_BUSY = 2;

const char *const exec_names[] = {"NoWait", "Wait", "BGround", "NoEval"};
const char *const buffer_names[] = {"Simple", "Full", "AsIs", "Write"};
const char *const error_names[] = {"Ignore", "Panic", "Warn", "Report"};

// ---- module state -----------------------------------------------------------

void *qb = nullptr;
int qbsize = 0;
DozReader qreader;  // the reader handlers are given
int qbrows = 0;
int status2 = 0;
int qok = 0;
int qstopped = 0;
int qbmode = QY_SIMPLE;
int qexecmode = QY_NOWAIT;
int attached = 0;
int always_attached = 0;
int no_server = 0;
int query_attached = 0;
int interactive = -1;
QyHandler ds_handler = nullptr;
QyHandler override_handler = nullptr;
int had_eob = 0, last_had_eob = 0;
int last_by_default = 0;  // the last query's buffers went to the default handler
int stop_pending = 0, in_eob = 0, query_stopped = 0;
volatile sig_atomic_t query_finished = 0;
volatile sig_atomic_t signal_caught = 0;
int default_cid = -1;
nl_catd nlsfd = NL_NO_CATALOGUE;
QyErrorFilter error_filter = nullptr;
Widget qy_widget = nullptr;
Atom qy_newdata = 0;
bool newdata_tried = false;

bool first_init = true;
bool own_started = false;  // this process started its own interpreter
pid_t own_pid = 0;
int own_msqid = -1, own_shmid = -1;

QyQuerymProc querym_proc = querym;

// The fallbacks when no dictionary or workspace is hooked in.
char own_user[31] = "";
float own_revision = 0;
QySysvars own_sysvars{};
QyDictionaryHooks dict{};
QyWorkspaceHooks ws{};
QyStopProc own_stop_proc = nullptr;
bool stop_waiting = false;

bool death_told = false;

// ---- the headless pump -------------------------------------------------------

void headless_process_event()
{
    pollfd fds[2] = {{qypipe[0], POLLIN, 0}, {doz_signal_fd(), POLLIN, 0}};
    int n = poll(fds, 2, 100);
    if (n > 0 && (fds[0].revents & POLLIN))
        qymgr_drain_pipe();
    // Also on a time-out: a message put on a queue without its signal is
    // still handled.
    if (doz_signal_fd() >= 0)
        doz_handle_signals();
    qymgr_note_death();
}

void headless_show_error(int message, const char *text1, const char *text2)
{
    std::string s;
    if (message == 4)
        s = vx_msgf(nlsfd, QY_QUERY_ERROR, text1);
    else if (message == 5)
        s = vx_msgf(nlsfd, QY_DATABASE_FILER_ERROR, text1, text2);
    else
        s = vx_msgf(nlsfd, QY_DATABASE_ERROR, text1);
    fprintf(stderr, "%s\n", s.c_str());
}

int headless_confirm(int) { return 0; }

const QyUi headless_ui{headless_process_event, headless_show_error, headless_confirm, nullptr};
const QyUi *ui = &headless_ui;

// ---- hooks ---------------------------------------------------------------------

QyStopProc own_set_stop_proc(QyStopProc proc)
{
    QyStopProc previous = own_stop_proc;
    own_stop_proc = proc;
    if (proc && stop_waiting) {
        stop_waiting = false;
        proc();
    }
    return previous;
}

QyStopProc install_stop_proc(QyStopProc proc)
{
    return ws.set_stop_proc ? ws.set_stop_proc(proc) : own_set_stop_proc(proc);
}

char *dict_user(size_t *size)
{
    if (dict.user_name && dict.user_size) {
        *size = dict.user_size;
        return dict.user_name;
    }
    *size = sizeof own_user;
    return own_user;
}
float *dict_revision() { return dict.server_revision ? dict.server_revision : &own_revision; }
}  // namespace

float qymgr_qy_server_revision() { return *dict_revision(); }

namespace {
QySysvars *dict_sysvars() { return dict.sysvars ? dict.sysvars : &own_sysvars; }

void say(const std::string &text)
{
    fputs(text.c_str(), stderr);
    fflush(stderr);
}

// ---- modes -------------------------------------------------------------------------

uint32_t set_buffer_mode(uint32_t word, int buffer_mode)
{
    if (buffer_mode == QY_FULL)
        word |= DOZ_M_EOB;
    else
        word &= ~DOZ_M_EOB;
    if (buffer_mode == QY_FULL || buffer_mode == QY_WRITE)
        word |= DOZ_M_FLAGS;
    else if (buffer_mode == QY_SIMPLE)
        word &= ~DOZ_M_FLAGS;
    if (buffer_mode == QY_FULL)
        word |= DOZ_M_TYPE;
    else if (buffer_mode == QY_SIMPLE || buffer_mode == QY_WRITE)
        word &= ~DOZ_M_TYPE;
    return word;
}

template <size_t N>
const char *mode_name(const char *const (&names)[N], int mode)
{
    return mode >= 0 && static_cast<size_t>(mode) < N ? names[mode] : "?";
}

void debug_log(const char *text, int exec, int buffer, int error)
{
    char stamp[64];
    time_t now = time(nullptr);
    struct tm tm;
    localtime_r(&now, &tm);
    strftime(stamp, sizeof stamp, "%b %d %H:%M:%S", &tm);
    fprintf(stderr, "(%s) (%s,%s,%s) %s\n", stamp, mode_name(exec_names, exec), mode_name(buffer_names, buffer),
            mode_name(error_names, error), text);
    fflush(stderr);
}

// ---- handlers ----------------------------------------------------------------------

QyHandler current_handler() { return override_handler ? override_handler : ds_handler; }

// The own buffer as handlers see it: from its start, as far as the segment.
DozReader &own_buffer()
{
    init_buffer(qreader, qb, static_cast<size_t>(std::max(qbsize, 0)));
    return qreader;
}

void eob_handler(int rows)
{
    in_eob = 1;
    if (QyHandler h = current_handler())
        h(QY_EVENT_EOB, rows, static_cast<int>(get_data_bytes()), own_buffer());
    had_eob = 1;
    if (!override_handler && ui->update_display)
        ui->update_display();
    in_eob = 0;
    if (stop_pending) {
        stop_pending = 0;
        query_abort();
    }
}

void eoq_handler(int)
{
    query_finished = 1;
    if ((qexecmode == QY_WAIT || qexecmode == QY_BGROUND) && qypipe_init) {
        ssize_t w = write(qypipe[1], "q", 1);
        (void)w;
    }
}

void stop_that_query()
{
    query_stopped = 1;
    if (in_eob)
        stop_pending = 1;
    else
        query_abort();
}

void eoq_event()
{
    if (qbmode != QY_FULL)
        return;
    if (had_eob) {
        last_by_default = !override_handler;
        if (QyHandler h = current_handler())
            h(qok ? QY_EVENT_OK : qstopped ? QY_EVENT_STOPPED : QY_EVENT_FAILED, qbrows, 0, qreader);
    }
    last_had_eob = had_eob;
    had_eob = 0;
}

// The interpreter's three texts, of the last query.
struct Texts {
    char query[82] = "", dbase[82] = "", filer[82] = "";
};

// Codes of a failure that never reached the interpreter (no connection).
int local_codes[3] = {0, 0, 0};
bool local_error = false;

void fetch_texts(Texts &t)
{
    if (local_error) {
        nl_qmsg(local_codes[0], t.query, 80);
        if (!t.query[0])
            snprintf(t.query, sizeof t.query, "%d", local_codes[0]);
        return;
    }
    query_mess(t.query, t.dbase, t.filer);
}

void handle_error(int code, int code2, int code3, int error_mode)
{
    qstopped = code == DOZ_CODE_STOPPED;
    if (query_stopped && !query_error() && !local_error) {
        code = DOZ_CODE_STOPPED;
        code2 = code3 = 0;
        qstopped = 1;
    }
    qok = error_filter && error_filter(code, code2, code3) == 0 ? 1 : 0;
    if (qstopped || qok || error_mode == QY_IGNORE)
        return;
    if (error_mode == QY_REPORT) {
        Texts t;
        fetch_texts(t);
        if (code != 0)
            ui->show_error(4, t.query, "");
        else if (code3 != 0)
            ui->show_error(5, t.dbase, t.filer);
        else
            ui->show_error(6, t.dbase, "");
    } else if (error_mode == QY_WARN) {
        qymgr_qerror(0, 0);
    } else if (error_mode == QY_PANIC) {
        qymgr_qerror(0, 1);
    }
}

void begin_query(int exec, int buffer)
{
    qexecmode = exec;
    qbmode = buffer;
    qok = 1;
    qstopped = 0;
    last_had_eob = 0;
    stop_pending = in_eob = query_stopped = 0;
    query_finished = 0;
    signal_caught = 0;
}

// ---- start-up statements --------------------------------------------------------

void send_one(const char *text) { qymgr_qy_query(text, QY_NOWAIT, QY_ASIS, QY_WARN); }

int qy_set_sysvars(int is_attached)
{
    const QySysvars *sv = dict_sysvars();
    char text[128];
    if (!is_attached) {
        snprintf(text, sizeof text, "SET %%UNIQUE %s", sv->unique ? "TRUE" : "FALSE");
        send_one(text);
        snprintf(text, sizeof text, "SET %%LOCKWAIT %d", sv->lockwait);
        send_one(text);
        snprintf(text, sizeof text, "SET %%DPRIV '%s'", sv->dpriv);
        send_one(text);
        snprintf(text, sizeof text, "SET %%DATEINPUT '%s'", sv->dateinput);
        send_one(text);
        snprintf(text, sizeof text, "SET %%OVERWRITE %s", sv->overwrite ? "TRUE" : "FALSE");
        send_one(text);
        snprintf(text, sizeof text, "SET %%WRITECHECK %d", sv->writecheck);
        send_one(text);
    }
    snprintf(text, sizeof text, "SET %%NLSRADIX %s", sv->nlsradix ? "TRUE" : "FALSE");
    send_one(text);
    return !is_attached;
}

void set_sysvar_defaults(const AppData *resources)
{
    QySysvars *sv = dict_sysvars();
    sv->unique = 0;
    sv->lockwait = -1;
    safe_strcpy(sv->dpriv, "READ", sizeof sv->dpriv - 1);
    sv->reserved = 1;
    const char *dif = resources && resources->dateInputFormat ? resources->dateInputFormat : "";
    safe_strcpy(sv->dateinput, dif, sizeof sv->dateinput - 1);
    const char *tz = getenv("TZ");
    safe_strcpy(sv->timezone, tz && *tz ? tz : "GMT0BST", sizeof sv->timezone - 1);
    sv->overwrite = 0;
    sv->writecheck = 0;
    sv->nlsradix = 0;
}

void check_revision()
{
    qymgr_qy_query("PRINT REVISION()", QY_NOWAIT, QY_SIMPLE, QY_PANIC);
    float revision = 0;
    bool read = false;
    if (qok && qb && qbsize > 0) {
        char text[64];
        size_t n = std::min(sizeof text - 1, static_cast<size_t>(qbsize));
        memcpy(text, qb, n);
        text[n] = '\0';
        read = sscanf(text, "%f", &revision) == 1;
    }
    if (!qok || !read || revision < 3.0f) {
        say(vx_msgf(nlsfd, QY_BAD_REVISION));
        // Not left running behind us, nor its queue and segment.
        qymgr_qy_term();
        exit(1);
    }
    *dict_revision() = revision;
}

void make_pipe()
{
    if (qypipe_init)
        return;
    if (pipe2(qypipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        say(vx_msgf(nlsfd, QY_NO_EOQ_PIPE));
        qypipe[0] = qypipe[1] = -1;
        return;
    }
    qypipe_init = 1;
}

// Takes the own interpreter's connection back as the one queries use.
void restore_own_connection()
{
    qb = get_qbuffer();
    qbsize = get_qbuffersize();
    if (qb)
        query_buffer(&qb, DOZ_DEFAULT_ROWS, 0);
    query_on_eob(eob_handler);
    query_set_done_proc(eoq_handler);
    query_attached = qb != nullptr;
}

// ---- waiting for a signal --------------------------------------------------------

int expected_signal = 0;
SignalHandler previous_handler = SIG_DFL;

void signal_catcher(int sig)
{
    signal_caught = 1;
    if (qypipe_init) {
        int saved = errno;
        ssize_t w = write(qypipe[1], "s", 1);
        (void)w;
        errno = saved;
    }
    // The handler we stand in for still sees its signal (the client
    // library's notice of a dead interpreter, say).
    SignalHandler prev = previous_handler;
    if (prev != SIG_DFL && prev != SIG_IGN && prev != SIG_ERR && prev != signal_catcher)
        prev(sig);
}

}  // namespace

int qypipe[2] = {-1, -1};
int qypipe_init = 0;

void qymgr_drain_pipe()
{
    if (!qypipe_init)
        return;
    char buf[64];
    while (read(qypipe[0], buf, sizeof buf) > 0) {
    }
}

const QyUi *qymgr_ui() { return ui; }
nl_catd qymgr_catd() { return nlsfd; }

uint32_t qymgr_mode_word(int exec_mode, int buffer_mode, int interactive_override)
{
    uint32_t word = DOZ_M_WAIT | DOZ_M_SIGNAL_DONE;
    if (exec_mode == QY_WAIT || exec_mode == QY_BGROUND)
        word &= ~DOZ_M_WAIT;
    else if (exec_mode == QY_NOEVAL)
        word |= DOZ_M_NOEVAL;
    word = set_buffer_mode(word, buffer_mode);
    if (interactive_override == 0)
        word &= ~DOZ_M_INTERACTIVE;
    else if (interactive_override != -1)
        word |= DOZ_M_INTERACTIVE;
    return word;
}

// ---- queries ---------------------------------------------------------------------------

void *qymgr_qy_query(const char *text, int exec_mode, int buffer_mode, int error_mode)
{
    if (!text)
        text = "";
    if (exec_mode < QY_NOWAIT || exec_mode > QY_NOEVAL)
        exec_mode = QY_NOWAIT;
    if (buffer_mode < QY_SIMPLE || buffer_mode > QY_WRITE)
        buffer_mode = QY_SIMPLE;
    if (no_server) {
        say(vx_msgf(nlsfd, QY_NO_SERVER_QUERY));
        override_handler = nullptr;
        return qb;
    }
    if (query_attached && query_busy() > 0) {
        if (exec_mode != QY_NOWAIT)
            say(vx_msgf(nlsfd, QY_QUERY_RUNNING));
        query_wait();
    }
    local_error = false;
    if (!query_attached) {
        begin_query(exec_mode, buffer_mode);
        local_error = true;
        local_codes[0] = DOZ_E_NOT_READY;
        local_codes[1] = local_codes[2] = 0;
        qbrows = status2 = 0;
        handle_error(DOZ_E_NOT_READY, 0, 0, error_mode);
        eoq_event();
        local_error = false;
        override_handler = nullptr;
        return qb;
    }

    const bool waits = exec_mode == QY_WAIT || exec_mode == QY_BGROUND;
    int saved_mode = 0;
    if (waits && ws.get_mode && ws.set_mode) {
        saved_mode = ws.get_mode();
        ws.set_mode(WS_BUSY);
    }
    if (exec_mode != QY_NOWAIT && ui->update_display)
        ui->update_display();

    uint32_t word = qymgr_mode_word(exec_mode, buffer_mode, interactive);
    if (qymgr_qy_debugging)
        debug_log(text, exec_mode, buffer_mode, error_mode);

    own_buffer();
    if (buffer_mode != QY_WRITE)
        clear_buffer(qreader);
    begin_query(exec_mode, buffer_mode);

    int r = querym_proc(text, word);
    if (r >= 0 && waits && !query_finished) {
        QyStopProc previous = install_stop_proc(stop_that_query);
        while (!query_finished && query_busy() > 0) {
            ui->process_event();
            // The interpreter forgets a stop that reaches it before it has
            // begun the statement: repeat it until the query ends.
            if (query_stopped && !in_eob && !query_finished && query_busy() > 0)
                query_abort();
        }
        install_stop_proc(previous);
        // The operation is over: a Stop still waiting was meant for it.
        stop_waiting = false;
    }

    int code = 0, code2 = 0, code3 = 0;
    query_status(&code, &code2, &code3, &qbrows, &status2);
    if (query_stopped || query_error())
        handle_error(code, code2, code3, error_mode);
    eoq_event();

    override_handler = nullptr;
    if (waits && ws.get_mode && ws.set_mode)
        ws.set_mode(saved_mode);
    return qb;
}

void *qymgr_qy_fake_query(void *buffer, int rows, int data_bytes)
{
    begin_query(QY_BGROUND, QY_FULL);
    // The client says how much it filled: the reader goes no further.
    init_buffer(qreader, buffer, static_cast<size_t>(std::max(data_bytes, 0)));
    QyHandler h = current_handler();
    last_by_default = !override_handler;
    if (h)
        h(QY_EVENT_EOB, rows, data_bytes, qreader);
    had_eob = 1;
    query_finished = 1;
    qbrows = rows;
    status2 = 0;
    if (h)
        h(QY_EVENT_OK, 0, 0, qreader);
    last_had_eob = 1;
    had_eob = 0;
    override_handler = nullptr;
    return buffer;
}

void qymgr_qy_query_abort() { query_abort(); }

void qymgr_qy_take_eob()
{
    if (query_attached)
        query_on_eob(eob_handler);
}

int qymgr_qy_ok() { return qok; }
int qymgr_qy_stopped() { return qstopped; }
int qymgr_qy_rows() { return qbrows; }
int qymgr_qy_status2() { return status2; }
int qymgr_qy_returned_data() { return last_had_eob && qok; }

void qymgr_qy_set_handler(QyHandler proc) { ds_handler = proc; }

QyHandler qymgr_qy_set_override_handler(QyHandler proc)
{
    QyHandler previous = override_handler;
    if (previous && proc)
        say(vx_msgf(nlsfd, QY_OVERRIDE_SET));
    override_handler = proc;
    return previous;
}

void qymgr_qy_set_error_filter(QyErrorFilter proc) { error_filter = proc; }

// ---- errors ------------------------------------------------------------------------------

int qymgr_qerror(int message, int panic)
{
    if (message) {
        char text[128];
        safe_strcpy(text, vx_msg_text(nlsfd, 64, message, nullptr), sizeof text - 1);
        fprintf(stderr, "%s\n", text);
    }
    if (local_error || query_error() == 1) {
        int code = 0, code2 = 0, code3 = 0;
        if (local_error) {
            code = local_codes[0];
            code2 = local_codes[1];
            code3 = local_codes[2];
        } else {
            query_status(&code, &code2, &code3, nullptr, nullptr);
        }
        Texts t;
        fetch_texts(t);
        if (code)
            say(vx_msgf(nlsfd, QY_QUERY_TEXT, t.query));
        if (code2)
            say(vx_msgf(nlsfd, QY_DBASE_TEXT, t.dbase));
        if (code3)
            say(vx_msgf(nlsfd, QY_FILER_TEXT, t.filer));
    }
    fflush(stderr);
    if (!panic)
        return message;
    if (message == 0)
        say(vx_msgf(nlsfd, QY_CHECK_COMPATIBLE));
    qymgr_qy_term();
    // The program could not go on: a failure, whatever brought it.
    exit(1);
}

int qymgr_qconfirm(int message) { return ui->confirm(message); }

// ---- the connection ------------------------------------------------------------------

void qymgr_qy_init(AppData *resources, pid_t pid, int msqid, int shmid, void *record, size_t length,
                   int startup)
{
    no_server = attached = always_attached = 0;
    const int run_mode = resources ? resources->runMode : 0;
    if (run_mode == 2 || run_mode == 3 || run_mode == 5 || run_mode == 6) {
        if (pid != 0)
            attached = 1;
        else
            no_server = 1;
    } else if ((run_mode == 0 || run_mode == 1) && !first_init) {
        // A display-server request borrows the connection; a second own
        // interpreter would orphan the first.
        attached = 1;
        always_attached = own_started && shmid == own_shmid;
    }
    error_filter = nullptr;
    qbrows = 0;
    qok = 0;
    if (resources)
        nlsfd = resources->catd;

    if (!no_server) {
        int r;
        if (attached && always_attached)
            r = doz_pretend_attach(default_cid, pid, shmid, msqid, START_WORD, record, length);
        else if (attached)
            r = qquery_attach(pid, shmid, msqid, START_WORD, record, length);
        else {
            query_host(resources && resources->server_name ? resources->server_name : "");
            r = query_init(resources && resources->user_name ? resources->user_name : "", START_WORD);
        }
        if (r != 0)
            qymgr_qerror(1, 1);
    }

    if (no_server) {
        struct shmid_ds ds;
        if (shmctl(shmid, IPC_STAT, &ds) != 0)
            qymgr_qerror(2, 1);
        void *at = shmat(shmid, nullptr, 0);
        if (at == reinterpret_cast<void *>(-1))
            qymgr_qerror(2, 1);
        qb = at;
        qbsize = static_cast<int>(ds.shm_segsz);
        query_attached = 0;
        if (record && length)
            memcpy(record, qb, std::min(length, static_cast<size_t>(qbsize)));
    } else {
        if (attached) {
            qb = get_qbuffer();
            qbsize = get_qbuffersize();
            if (!qb || query_buffer(&qb, DOZ_DEFAULT_ROWS, 0) != 0)
                qymgr_qerror(2, 1);
        } else {
            size_t size;
            char *user = dict_user(&size);
            safe_strcpy(user, resources && resources->user_name ? resources->user_name : "", size - 1);
            int bytes = resources && resources->buffer_size > 0     ? resources->buffer_size
                        : resources && resources->queryBufferSize > 0 ? resources->queryBufferSize
                                                                      : 200000;
            qb = nullptr;
            if (query_buffer(&qb, DOZ_DEFAULT_ROWS, bytes) != 0 || !qb)
                qymgr_qerror(2, 1);
            qbsize = get_qbuffersize();
            default_cid = query_connection();
            own_started = true;
            death_told = false;
        }
        query_attached = 1;
        query_on_eob(eob_handler);
        query_set_done_proc(eoq_handler);
        if (!attached)
            interactive = 0;
    }

    make_pipe();
    qymgr_register_inputs();

    if (startup && !no_server)
        check_revision();
    set_sysvar_defaults(resources);
    if (startup && !no_server) {
        qy_set_sysvars(attached);
        qymgr_qy_query("DEFINE FROMVAR FROM %USERS WHERE %UNAME=SYSUSER()", QY_NOWAIT, QY_ASIS, QY_PANIC);
    }

    if (first_init) {
        if (own_started)
            query_get_server_details(&own_pid, &own_msqid, &own_shmid);
        first_init = false;
    }
}

void qymgr_qy_term()
{
    const bool was_attached = attached, was_pretend = always_attached;
    if (no_server) {
        if (qb)
            shmdt(qb);
        qb = nullptr;
        qbsize = 0;
        no_server = 0;
    } else if (!attached) {
        query_term();
        own_started = false;
        first_init = true;
    } else if (!always_attached) {
        query_detach();
        attached = 0;
    }
    query_attached = 0;
    // A display-server request borrowed the connection: the query window
    // gets its own interpreter back.
    if (own_started && was_attached) {
        attached = always_attached = 0;
        if (was_pretend)
            qymgr_qy_reattach();
        else
            restore_own_connection();
    }
}

void qymgr_qy_reattach()
{
    doz_reattach(query_connection());
    restore_own_connection();
}

void qymgr_qy_authorise()
{
    if (query_authorise(AUTHORISE_RIGHT) != 1)
        qymgr_qerror(13, 1);
}

void *qymgr_qy_buffer() { return qb; }
int qymgr_qy_buffer_size() { return qbsize; }
int qymgr_qy_buffsize(int cid) { return doz_get_qbuffersize(cid); }

void qymgr_qy_set_buffer_rows(int rows)
{
    if (rows == 0)
        rows = DOZ_DEFAULT_ROWS;
    if (query_buffer(&qb, rows, 0) != 0)
        qymgr_qerror(2, 1);
}

int qymgr_qy_connection() { return default_cid; }

void qymgr_note_death()
{
    if (death_told || !own_started || default_cid < 0 || doz_dead(default_cid) != 1)
        return;
    death_told = true;
    say(vx_msgf(nlsfd, QY_SERVER_DIED));
}
void qymgr_qy_interactive(int value) { interactive = value; }

// ---- X atoms and waits -------------------------------------------------------------------

void qymgr_qy_use_widget(Widget w)
{
    qy_widget = w;
    newdata_tried = false;
    qy_newdata = 0;
}

Atom qymgr_qy_newdata_atom()
{
    if (qy_newdata)
        return qy_newdata;
    if (!newdata_tried) {
        newdata_tried = true;
        qy_newdata = qymgr_intern_newdata(qy_widget);
        if (!qy_newdata)
            say(vx_msgf(nlsfd, QY_NO_NEWDATA_ATOM));
    }
    return qy_newdata;
}

void qymgr_qy_expect_signal(int sig)
{
    if (expected_signal == sig)
        return;
    make_pipe();
    if (expected_signal)
        signal_action(expected_signal, previous_handler);
    signal_caught = 0;
    previous_handler = signal_action(sig, signal_catcher);
    expected_signal = sig;
}

int qymgr_qy_process_events_till_signal(int sig, pid_t pid)
{
    qymgr_qy_expect_signal(sig);
    query_finished = 0;
    int result = 0;
    for (;;) {
        if (sig == SIGCHLD && pid > 0) {
            int status = 0;
            pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (r < 0 && errno != EINTR) {
                result = -1;  // not a child of ours, or reaped elsewhere
                break;
            }
        } else if (signal_caught) {
            break;
        }
        ui->process_event();
    }
    signal_caught = 0;
    signal_action(sig, previous_handler);
    expected_signal = 0;
    previous_handler = SIG_DFL;
    return result;
}

void qymgr_qy_wait_for_data_handled(const volatile int *handled)
{
    if (!handled || !qymgr_qy_returned_data() || !last_by_default || !ds_handler || !qymgr_qy_newdata_atom())
        return;
    while (!*handled)
        ui->process_event();
}

// ---- hooks -----------------------------------------------------------------------------------

void qymgr_qy_set_ui(const QyUi *new_ui) { ui = new_ui ? new_ui : &headless_ui; }

void qymgr_qy_set_workspace_hooks(const QyWorkspaceHooks *hooks)
{
    ws = hooks ? *hooks : QyWorkspaceHooks{};
}

const QyWorkspaceHooks *qymgr_workspace_hooks() { return &ws; }

void qymgr_qy_press_stop()
{
    if (own_stop_proc)
        own_stop_proc();
    else
        stop_waiting = true;
}

void qymgr_qy_set_dictionary(const QyDictionaryHooks *hooks) { dict = hooks ? *hooks : QyDictionaryHooks{}; }

QyQuerymProc qymgr_qy_set_querym(QyQuerymProc proc)
{
    QyQuerymProc previous = querym_proc;
    querym_proc = proc ? proc : querym;
    return previous;
}

const QyUi *qymgr_headless_ui() { return &headless_ui; }
