// Requests: buffers, queries, waiting, status and messages, modes, and the
// per-connection procedures.

#include "qysched_int.h"

using namespace qy;

// ---- requests ------------------------------------------------------------

void *doz_create_buffer(int cid, int size)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return nullptr;
    auto fail = [&]() -> void * {
        set_qerror(c, DOZ_E_SHM, true);
        return nullptr;
    };
    if (c->buffer) {
        shmdt(c->buffer);
        c->buffer = nullptr;
    }
    if (c->shmid >= 0) {
        shmctl(c->shmid, IPC_RMID, nullptr);
        c->shmid = -1;
    }
    if (size <= 0)
        return fail();
    int id = shmget(IPC_PRIVATE, static_cast<size_t>(size), IPC_CREAT | 0600);
    if (id < 0) {
        report(QY_SHMGET_FAILED, errno);
        return fail();
    }
    if (!c->remote) {
        struct shmid_ds ds;
        if (shmctl(id, IPC_STAT, &ds) != 0 || (ds.shm_perm.uid = lib.inst_uid, shmctl(id, IPC_SET, &ds)) != 0) {
            report(QY_SHMCTL_FAILED, errno);
            shmctl(id, IPC_RMID, nullptr);
            return fail();
        }
    }
    void *at = shmat(id, nullptr, SHM_RND);
    if (at == reinterpret_cast<void *>(-1)) {
        report(QY_SHMAT_FAILED, errno);
        shmctl(id, IPC_RMID, nullptr);
        return fail();
    }
    c->shmid = id;
    c->buffer = static_cast<unsigned char *>(at);
    c->buffer_size = size;
    c->buffer_rows = size;
    clear_status(c);
    if (send_buff(c, 1, size) != 0)
        return nullptr;
    return c->buffer;
}

int doz_set_buffer_rows(int cid, int rows)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    c->buffer_rows = rows;
    return send_buff(c, 0, rows);
}

static int send_query(Connection *c, const char *text, bool with_modes, uint32_t modes)
{
    if (c->dead) {
        set_qerror(c, DOZ_E_DEAD, false);
        return -1;
    }
    if (c->init_state != DOZ_READY) {
        set_qerror(c, DOZ_E_NOT_READY, false);
        return -1;
    }
    doz_qwait(c->cid);
    clear_status(c);
    size_t len = text ? strlen(text) : 0;
    if (len >= static_cast<size_t>(DOZ_MAX_QUERY)) {
        set_qerror(c, DOZ_E_TOO_LONG, true);
        return -1;
    }
    static DozQuerymMsg msg;  // large: kept off the stack
    size_t payload;
    char *dest;
    if (with_modes) {
        set_modes_as_necessary(c, modes, false);
        msg.h.code = DOZ_QUERYM;
        msg.modes = static_cast<int32_t>(modes & DOZ_SERVER_MASK);
        dest = msg.text;
        payload = len + 5;
    } else {
        msg.h.code = DOZ_QUERY;
        dest = reinterpret_cast<char *>(&msg.modes);  // QUERY's text starts at offset 16
        payload = len + 1;
    }
    memcpy(dest, text ? text : "", len);
    dest[len] = '\0';
    c->busy = 1;
    c->in_query = 1;
    c->blob_number = 0;
    if (transmit(c, &msg, payload) != 0) {
        c->busy = 0;
        c->in_query = 0;
        return -1;
    }
    if (c->current & DOZ_M_WAIT)
        return wait_for_ack(c);
    return 0;
}

namespace qy {
int send_query_forced_wait(Connection *c, const char *text)
{
    uint32_t saved = c->current;
    c->current |= DOZ_M_WAIT;
    int r = send_query(c, text, false, 0);
    c->current = saved;
    return r;
}
}  // namespace

int doz_query(int cid, const char *text)
{
    Connection *c = check_connection(cid);
    return c ? send_query(c, text, false, 0) : -1;
}

int doz_querym(int cid, const char *text, uint32_t modes)
{
    Connection *c = check_connection(cid);
    return c ? send_query(c, text, true, modes) : -1;
}

int doz_Query(int cid, ...)
{
    Connection *c = check_connection(cid);
    if (!c || !ready(c))
        return -1;
    va_list ap;
    va_start(ap, cid);
    int r = 0;
    while (const char *text = va_arg(ap, const char *)) {
        r = doz_query(cid, text);
        if (c->status[DOZ_ST_ERROR])
            break;
    }
    va_end(ap);
    return r;
}

int doz_qwait(int cid)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    if (!c->busy)
        return 0;
    if (c->current & DOZ_M_WAIT)
        return wait_for_ack(c);
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    sigaddset(&block, SIGCHLD);
    sigprocmask(SIG_BLOCK, &block, &old);
    while (c->busy && !c->dead) {
        lib.signal_arrived = 0;
        handle_any_messages();
        if (!c->busy || c->dead)
            break;
        if (!c->own_child && !check_process(c->pid)) {
            panic(c, 0);
            break;
        }
        // A signal blocked above is delivered inside the wait; the bound
        // covers an interpreter that put a message on the queue without one.
        pause_on_pipe(100, &old);
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    handle_any_messages();  // done procedures owed to a death
    return c->dead ? -1 : 0;
}

int doz_busy(int cid)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    return c->busy ? 1 : 0;
}

int doz_error(int cid)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    return c->status[DOZ_ST_ERROR] ? 1 : 0;
}

int doz_clear_error(int cid)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    clear_status(c);
    return 0;
}

int doz_status(int cid, int *code, int *code2, int *code3, int *rows, int *fifth)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    if (code)
        *code = c->status[1];
    if (code2)
        *code2 = c->status[2];
    if (code3)
        *code3 = c->status[3];
    if (rows)
        *rows = c->status[4];
    if (fifth)
        *fifth = c->status[5];
    return c->status[2];
}

static void error_text(char *out, int code)
{
    if (code == 0) {
        out[0] = '\0';
        return;
    }
    snprintf(out, 81, "%s", vx_msgf(lib.lib_catd, QY_ERROR_CODE, code).c_str());
}

// Waits for the interpreter's answer to a question, passing over local
// wake-ups; false when the connection died first.
static bool await_reply(Connection *c, DozMsg *reply, size_t room)
{
    for (;;) {
        int n = receive_message(c, reply, room, true);
        if (n == RECV_DEAD)
            return false;
        if (n >= 0 && reply->h.code != DOZ_LOCAL_WAKE)
            return true;
    }
}

int doz_mess(int cid, char *text1, char *text2, char *text3)
{
    Connection *c = check_connection(cid);
    if (!c || c->busy)
        return -1;
    int code = c->status[1], code2 = c->status[2], code3 = c->status[3];
    if (c->dead || c->init_state != DOZ_READY) {
        // The interpreter cannot be asked: the codes themselves, the first
        // with its catalogue text when there is one.  Texts follow the
        // query / database / filer order of the status block.
        error_text(text1, code);
        error_text(text2, code2);
        error_text(text3, code3);
        if (code != 0 && qerror_catalogue_open()) {
            char t[82] = "";
            nl_qmsg(code, t, 80);
            if (t[0]) {
                size_t n = strnlen(t, 80);
                memcpy(text1, t, n);
                text1[n] = '\0';
            }
        }
        return -1;
    }
    if (c->status[DOZ_ST_ERROR] && (code == 17 || code2 == 99 || code3 == 93)) {
        // A satellite failed: its own lines.
        snprintf(text1, 81, "%s", lib.satellite_lines[0].c_str());
        snprintf(text2, 81, "%s", lib.satellite_lines[1].c_str());
        snprintf(text3, 81, "%s", lib.satellite_lines[2].c_str());
        return -1;
    }
    DozErrMsg m{};
    m.h.code = DOZ_ERR;
    m.code[0] = code;
    m.code[1] = code2;
    m.code[2] = code3;
    if (transmit(c, &m, 12) != 0)
        return -1;
    DozMsg reply;
    if (!await_reply(c, &reply, DOZ_ERR_REPLY_BYTES))
        return -1;
    auto *r = reinterpret_cast<DozErrReplyMsg *>(&reply);
    snprintf(text1, 81, "%.80s", r->text1);
    snprintf(text2, 81, "%.80s", r->text2);
    snprintf(text3, 81, "%.80s", r->text3);
    return 0;
}

int doz_status_mess(int cid, char *text)
{
    Connection *c = check_connection(cid);
    if (!c || c->busy)
        return -1;
    if (c->dead || c->init_state != DOZ_READY) {
        text[0] = '\0';
        return -1;
    }
    DozHeader m{DOZ_TO_SERVER, 0, DOZ_QSTAT};
    if (transmit(c, &m, 0) != 0)
        return -1;
    DozMsg reply;
    if (!await_reply(c, &reply, DOZ_QSTAT_REPLY_BYTES))
        return -1;
    snprintf(text, DOZ_QSTAT_REPLY_BYTES, "%.81s", reinterpret_cast<DozQstatReplyMsg *>(&reply)->text);
    return 0;
}

int doz_abort(int cid)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    if (lib.in_satellite_start && c->satellite_pid > 0)
        kill(c->satellite_pid, SIGTERM);
    else if (c->pid > 0)
        kill(c->pid, SIGUSR1);
    if (lib.in_callback)
        lib.callback_abandoned = 1;
    return 0;
}

int doz_mode(int cid, const char *name, int on)
{
    static const char *const names[12] = {"FLAGS", "EOB",  "TRAP",        "TYPE",   "WAIT",          "",
                                          "SCAN",  "INTERACTIVE", "NOEVAL", "SUBCOMPONENTS", "SIGNAL_DONE",
                                          "NO_SUICIDE"};
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    clear_status(c);
    std::string n = name ? name : "";
    size_t b = n.find_first_not_of(" \t"), e = n.find_last_not_of(" \t");
    n = b == std::string::npos ? "" : n.substr(b, e - b + 1);
    for (char &ch : n)
        ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    int bit = -1;
    for (int i = 0; i < 12 && !n.empty(); i++)
        if (n == names[i])
            bit = i;
    if (bit < 0) {
        set_qerror(c, DOZ_E_BAD_MODE, true);
        return -1;
    }
    uint32_t m = 1u << bit;
    uint32_t want = on ? (c->current | m) : (c->current & ~m);
    int r = set_modes_as_necessary(c, want, true);
    if (r == 0)
        c->requested = on ? (c->requested | m) : (c->requested & ~m);
    c->current = c->requested;
    call_error_proc(c);
    return r;
}

int doz_set_modes(int cid, uint32_t modes)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    clear_status(c);
    int r = set_modes_as_necessary(c, modes, true);
    if (r == 0)
        c->requested = modes;
    c->current = c->requested;
    call_error_proc(c);
    return r;
}

int doz_dumpinfo(int cid, int kind, char *path, size_t path_size)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    clear_status(c);
    DozDumpMsg m{};
    m.h.code = DOZ_DUMP;
    m.kind = kind;
    m.pid = getpid();
    int r = send_message(c, &m, 8, true);
    c->dumped = 1;
    if (r == 0 && path && path_size)
        snprintf(path, path_size, "%s/%s%d", c->remote ? "/tmp" : lib.server_dir.c_str(), ".dump",
                 static_cast<int>(getpid()));
    return r;
}

int doz_authorise(int cid, int right)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    if (send_int(c, DOZ_AUTHORISE, right) != 0)
        return 0;
    return !c->status[DOZ_ST_ERROR] && c->status[DOZ_ST_FIFTH] == 1 ? 1 : 0;
}

int doz_set_format_option(int cid, int option)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    clear_status(c);
    return send_int(c, DOZ_FORMAT, option);
}

int doz_set_eob_proc(int cid, DozEobProc proc)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    doz_qwait(cid);
    c->eob_proc = proc;
    return 0;
}

int doz_set_done_proc(int cid, DozDoneProc proc)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    c->done_proc = proc;
    return 0;
}

int doz_set_error_proc(int cid, DozErrorProc proc)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    c->error_proc = proc;
    return 0;
}

int doz_set_blob_retrieval_proc(int cid, DozBlobRetrievalProc proc)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    c->blob_proc = proc;
    return send_int(c, DOZ_BLOB_RETRIEVAL, proc ? 1 : 0);
}

int doz_set_callback_proc(int kind, DozCallback proc)
{
    if (kind >= 1 && kind <= 5)
        lib.callbacks[kind] = proc;
    return kind;
}

bool doz_callback_abandoned() { return lib.callback_abandoned != 0; }

int doz_signal_fd() { return lib.signal_pipe[0]; }

void doz_handle_signals()
{
    char sink[64];
    while (lib.signal_pipe[0] >= 0 && read(lib.signal_pipe[0], sink, sizeof sink) > 0) {
    }
    lib.signal_arrived = 0;
    handle_any_messages();
}
