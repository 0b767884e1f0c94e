// Connections: starting the interpreter or attaching to one, detaching,
// ending, and the record's fields.

#include "qysched_int.h"

using namespace qy;

namespace qy {

void remove_ipc(Connection *c)
{
    if (c->buffer) {
        shmdt(c->buffer);
        c->buffer = nullptr;
    }
    if (c->shmid >= 0) {
        shmctl(c->shmid, IPC_RMID, nullptr);
        c->shmid = -1;
    }
    if (c->msqid >= 0) {
        msgctl(c->msqid, IPC_RMID, nullptr);
        c->msqid = -1;
    }
}

// Ends our own interpreter: TERM, then a bounded wait for it (a hung one is
// killed), with SIGCHLD held so that the death handler leaves it to us.
void tidy_up(Connection *c)
{
    if (!c->dead) {
        sigset_t old;
        signal_block(SIGCHLD, &old);
        DozHeader term{DOZ_TO_SERVER, 0, DOZ_TERM};
        bool sent = transmit(c, &term, 0) == 0;
        if (c->own_child && !c->reaped && c->pid > 0) {
            auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(sent ? 5 : 0);
            while (reap_child(c->pid, nullptr, nullptr) == 0) {
                if (std::chrono::steady_clock::now() >= give_up) {
                    kill(c->pid, SIGKILL);
                    wait_for_child(c->pid, 1, nullptr, nullptr);
                    break;
                }
                struct timespec ts {0, 1000000};
                nanosleep(&ts, nullptr);
            }
            c->reaped = 1;
        }
        signal_setmask(&old);
    } else if (c->own_child && !c->reaped && c->pid > 0) {
        // Marked dead by a queue failure while it still runs.
        kill(c->pid, SIGKILL);
        wait_for_child(c->pid, 1, nullptr, nullptr);
        c->reaped = 1;
    }
    remove_ipc(c);
    if (c->dumped && !c->remote) {
        std::string dump = lib.server_dir + "/.dump" + std::to_string(getpid());
        unlink(dump.c_str());
        c->dumped = 0;
    }
}

int attach_segment(Connection *c, int shmid)
{
    struct shmid_ds ds;
    if (shmctl(shmid, IPC_STAT, &ds) != 0) {
        report(QY_SHMCTL_FAILED, errno);
        return -1;
    }
    void *at = shmat(shmid, nullptr, SHM_RND);
    if (at == reinterpret_cast<void *>(-1)) {
        report(QY_SHMAT_FAILED, errno);
        return -1;
    }
    c->buffer = static_cast<unsigned char *>(at);
    c->buffer_size = static_cast<int32_t>(std::min<size_t>(ds.shm_segsz, INT32_MAX));
    c->shmid = shmid;
    return 0;
}

int send_clinfo(Connection *c, int first_contact)
{
    DozClinfoMsg m{};
    m.h.code = DOZ_CLINFO;
    m.first_contact = static_cast<uint8_t>(first_contact);
    m.remote = c->remote;
    m.pid = getpid();
    m.uid = static_cast<int32_t>(getuid());
    if (c->remote)
        snprintf(m.host, sizeof m.host, "%s", lib.local_host);
    return send_message(c, &m, 44, true);
}

int send_attach(Connection *c)
{
    DozAttachMsg m{};
    m.h.code = DOZ_ATTACH;
    m.pid = getpid();
    m.start_word = static_cast<int32_t>(c->start_word);
    m.magic = DOZ_MAGIC_3000;
    return send_message(c, &m, 12, true);
}

int send_buff(Connection *c, int kind, int rows)
{
    DozBuffMsg m{};
    m.h.code = DOZ_BUFF;
    m.kind = kind;
    m.shmid = c->shmid;
    m.rows = rows;
    m.size = c->buffer_size;
    return send_message(c, &m, 16, true);
}


}  // namespace qy


// ---- starting and attaching ------------------------------------------------

namespace {

// The connection's message queue, owned by the installation user for a
// local interpreter; 0 or DOZ_E_QUEUE (reported, nothing left behind).
int create_queue(Connection *c)
{
    c->msqid = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    if (c->msqid < 0) {
        report(QY_MSGGET_FAILED, errno);
        return DOZ_E_QUEUE;
    }
    if (!c->remote) {
        struct msqid_ds ds;
        if (msgctl(c->msqid, IPC_STAT, &ds) != 0 || (ds.msg_perm.uid = lib.inst_uid, msgctl(c->msqid, IPC_SET, &ds)) != 0) {
            report(QY_MSGCTL_FAILED, errno);
            remove_ipc(c);
            return DOZ_E_QUEUE;
        }
    }
    return 0;
}

// The program to start: the relay for a remote host, else $QYINT, else
// the server directory's tqlserver.
std::string interpreter_path(const Connection *c)
{
    const char *qyint = getenv("QYINT");
    if (c->remote)
        return lib.client_dir + "/bin/bin.SUN4SOLARIS/phi";
    if (qyint && *qyint)
        return qyint;
    return lib.server_dir + "/tqlserver";
}

}  // namespace

int doz_init(int *cid_out, const char *host, const char *user, uint32_t start_word)
{
    general_init();
    if (cid_out)
        *cid_out = -1;
    Connection *c = new (std::nothrow) Connection;
    if (!c) {
        report(QY_MALLOC_FAILED, ENOMEM);
        return -1;
    }
    if (assign_slot(c) < 0) {
        lib.unassigned_error = DOZ_E_NO_SLOT;
        delete c;
        return -1;
    }
    if (cid_out)
        *cid_out = c->cid;

    sigset_t old_mask, block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGQUIT);
    sigprocmask(SIG_BLOCK, &block, &old_mask);
    auto fail = [&](int code) {
        if (code)
            set_qerror(c, code, false);
        c->init_state = DOZ_NOT_READY;
        sigprocmask(SIG_SETMASK, &old_mask, nullptr);
        return -1;
    };

    get_host_name(lib.local_host, sizeof lib.local_host);
    if (host && *host && strcmp(host, lib.local_host) != 0) {
        c->remote = 1;
        snprintf(c->host, sizeof c->host, "%.30s", host);
    }
    if (!c->remote) {
        int code = obtain_orvanta_userid();
        if (code)
            return fail(code);
    }
    if (int code = create_queue(c))
        return fail(code);

    std::string path = interpreter_path(c);
    if (int code = check_interpreter_permissions(path.c_str(), c->remote)) {
        remove_ipc(c);
        return fail(code);
    }
    std::string arg0 = vx::basename(path.c_str());
    std::string arg_q = std::to_string(c->msqid), arg_p = std::to_string(getpid());
    const char *argv[] = {arg0.c_str(), arg_q.c_str(), arg_p.c_str(), c->remote ? c->host : nullptr, nullptr};

    c->init_state = DOZ_STARTING;
    c->dead = 0;
    pid_t pid;
    int exec_errno = 0;
    {
        ChldBlock guard;  // the pid is recorded before the death handler can look for it
        // The interpreter gets none of our descriptors beyond the three
        // standard ones.
        VxSpawnOptions o;
        o.new_session = true;
        o.close_others = true;
        pid = vx_spawn(path.c_str(), const_cast<char *const *>(argv), o, &exec_errno);
        if (pid > 0) {
            c->pid = pid;
            c->own_child = 1;
        }
    }
    int fork_errno = errno;
    if (pid < 0) {
        remove_ipc(c);
        return fail(fork_errno == ENOMEM ? DOZ_E_NOMEM : fork_errno == EAGAIN ? DOZ_E_AGAIN : DOZ_E_NOT_READY);
    }
    if (exec_errno) {
        report(QY_EXEC_FAILED, exec_errno);
        c->dead = 1;
    }
    if (!c->dead && !check_proc(c->pid) && !check_process(c->pid))
        c->dead = 1;
    if (c->dead) {
        set_qerror(c, DOZ_E_DEAD, false);
        tidy_up(c);
        return fail(0);
    }

    c->busy = 0;
    c->buffer = nullptr;
    c->start_word = start_word;
    DozInitMsg init{};
    init.h.code = DOZ_INIT;
    snprintf(init.user, sizeof init.user, "%s", user ? user : "");
    init.start_word = static_cast<int32_t>(start_word);
    init.remote = c->remote;
    init.magic = DOZ_MAGIC_3000;
    if (send_message(c, &init, 44, true) != 0 || c->status[DOZ_ST_ERROR]) {
        int saved[6];
        for (int i = 0; i < 6; i++)
            saved[i] = c->status[i];
        tidy_up(c);
        for (int i = 0; i < 6; i++)
            c->status[i] = saved[i];
        if (!c->status[DOZ_ST_ERROR])
            set_qerror(c, DOZ_E_DEAD, false);
        return fail(0);
    }
    if (send_clinfo(c, 1) != 0) {
        tidy_up(c);
        return fail(0);
    }
    SignalHandler now = signal_action(SIGUSR1, SIG_IGN);
    if (now != SIG_DFL)
        signal_action(SIGUSR1, now);
    if (!lib.usr1_saved) {
        lib.previous_usr1 = now;
        lib.usr1_saved = true;
    }
    c->init_state = DOZ_READY;
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
    return 0;
}

int doz_attach(int *cid_out, pid_t pid, int shmid, int msqid, uint32_t start_word, void *copy_area,
                 size_t copy_length)
{
    general_init();
    if (cid_out)
        *cid_out = -1;
    Connection *c = new (std::nothrow) Connection;
    if (!c) {
        report(QY_MALLOC_FAILED, ENOMEM);
        return -1;
    }
    if (assign_slot(c) < 0) {
        lib.unassigned_error = DOZ_E_NO_SLOT;
        delete c;
        return -1;
    }
    if (cid_out)
        *cid_out = c->cid;
    c->pid = pid;
    c->msqid = msqid;
    if (attach_segment(c, shmid) != 0) {
        c->msqid = -1;
        set_qerror(c, DOZ_E_SHM, false);
        return -1;
    }
    struct msqid_ds ds;
    if (msgctl(msqid, IPC_STAT, &ds) != 0) {
        shmdt(c->buffer);
        c->buffer = nullptr;
        c->msqid = -1;
        set_qerror(c, DOZ_E_QUEUE, false);
        return -1;
    }
    c->start_word = start_word;
    int r = send_attach(c);
    if (r == 0 && copy_area && copy_length)
        memcpy(copy_area, c->buffer, std::min<size_t>(copy_length, static_cast<size_t>(c->buffer_size)));
    if (r == 0 && !c->status[DOZ_ST_ERROR]) {
        c->init_state = DOZ_READY;
        r = send_clinfo(c, 0);
    } else {
        r = -1;
    }
    return r;
}

// The connection cid names, ready and with no query of its own still
// running; null (with the reason in its status) otherwise.
Connection *qy::idle_connection(int cid)
{
    Connection *c = check_connection(cid);
    if (!c || !ready(c))
        return nullptr;
    doz_qwait(cid);
    return c;
}

int doz_pretend_attach(int cid, pid_t, int, int, uint32_t start_word, void *copy_area, size_t copy_length)
{
    Connection *c = idle_connection(cid);
    if (!c)
        return -1;
    c->start_word = start_word;
    if (send_attach(c) != 0)
        return -1;
    if (copy_area && copy_length && c->buffer)
        memcpy(copy_area, c->buffer, std::min<size_t>(copy_length, static_cast<size_t>(c->buffer_size)));
    return send_clinfo(c, 0);
}

int doz_reattach(int cid)
{
    Connection *c = check_connection(cid);
    if (!c || c->dead)
        return -1;
    if (!c->buffer && c->shmid >= 0 && attach_segment(c, c->shmid) != 0) {
        set_qerror(c, DOZ_E_SHM, false);
        return -1;
    }
    if (send_attach(c) != 0)
        return -1;
    if (c->shmid >= 0 && send_buff(c, 0, c->buffer_rows) != 0)
        return -1;
    for (int bit = 0; bit < 12; bit++) {
        if (!(DOZ_SERVER_MASK & (1u << bit)))
            continue;
        DozModeMsg m{};
        m.h.code = DOZ_MODE;
        m.bit = bit;
        m.on = (c->requested >> bit) & 1u;
        if (send_message(c, &m, 8, true) != 0)
            return -1;
    }
    c->init_state = DOZ_READY;
    return 0;
}

int doz_detach(int cid, int release)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    doz_qwait(cid);
    if (c->buffer) {
        shmdt(c->buffer);
        c->buffer = nullptr;
    }
    c->init_state = DOZ_NOT_READY;
    if (release)
        release_slot(c);
    return 0;
}

int doz_term(int cid)
{
    Connection *c = check_connection(cid);
    if (!c || c->init_state != DOZ_READY)
        return -1;
    doz_qwait(cid);
    clear_status(c);
    tidy_up(c);
    release_slot(c);
    return 0;
}

int check_qy_init(int cid)
{
    Connection *c = check_connection(cid);
    if (!c)
        return 0;
    if (c->init_state == DOZ_READY && !c->dead)
        return 1;
    set_qerror(c, DOZ_E_NOT_READY, false);
    return 0;
}

void general_terminate()
{
    if (lib.chld_saved) {
        signal_action(SIGCHLD, lib.previous_chld);
        lib.chld_saved = false;
    }
    if (lib.usr1_saved) {
        signal_action(SIGUSR1, lib.previous_usr1);
        lib.usr1_saved = false;
        lib.usr1_installed = false;
    }
}

DozSystemErrorProc doz_set_system_error_proc(DozSystemErrorProc proc)
{
    DozSystemErrorProc old = lib.system_error;
    lib.system_error = proc ? proc : default_system_error;
    return old;
}

void doz_trap_server_death(int on)
{
    static const int block_int[] = {SIGINT, 0};
    if (on) {
        SignalHandler old = signal_action_mask(SIGCHLD, handle_qy_death, block_int);
        if (!lib.chld_saved) {
            lib.previous_chld = old;
            lib.chld_saved = true;
        }
    } else if (lib.chld_saved) {
        signal_action(SIGCHLD, lib.previous_chld);
    }
}

int doz_unassigned_error() { return lib.unassigned_error; }

int doz_get_server_details(int cid, pid_t *pid, int *msqid, int *shmid)
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    if (pid)
        *pid = c->pid;
    if (msqid)
        *msqid = c->msqid;
    if (shmid)
        *shmid = c->shmid;
    return 0;
}

uint32_t doz_current_modes(int cid)
{
    Connection *c = check_connection(cid);
    return c ? c->current : 0;
}

void *doz_get_qbuffer(int cid)
{
    Connection *c = check_connection(cid);
    return c ? c->buffer : nullptr;
}

int doz_get_qbuffersize(int cid)
{
    Connection *c = check_connection(cid);
    return c ? c->buffer_size : 0;
}

uint32_t doz_get_data_bytes(int cid)
{
    Connection *c = check_connection(cid);
    return c ? c->data_bytes : 0;
}

void doz_set_qbufferaddr(int cid, uintptr_t value)
{
    if (Connection *c = check_connection(cid))
        c->buffer_override = value;
}

int doz_get_qstatus(int cid, int status[6])
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    for (int i = 0; i < 6; i++)
        status[i] = c->status[i];
    return 0;
}

int doz_set_qstatus(int cid, const int status[6])
{
    Connection *c = check_connection(cid);
    if (!c)
        return -1;
    for (int i = 0; i < 6; i++)
        c->status[i] = status[i];
    return 0;
}

int doz_dead(int cid)
{
    Connection *c = check_connection(cid);
    return c ? (c->dead ? 1 : 0) : -1;
}

const char *doz_client_dir() { return lib.client_dir.c_str(); }
const char *doz_server_dir() { return lib.server_dir.c_str(); }
const char *doz_install_dir() { return lib.install_dir.c_str(); }
