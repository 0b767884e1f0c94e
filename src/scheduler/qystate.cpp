// The library's process-wide state, its signal handlers, the table of
// connection records and the library's start.

#include "qysched_int.h"

using namespace qy;

namespace qy {


Connection *connections[DOZ_MAX_CONNECTIONS];

bool initialised = false;
std::string client_dir, server_dir, install_dir;
nl_catd lib_catd = NL_NO_CATALOGUE;

void default_system_error(const char *text) { fputs(text, stderr); }
DozSystemErrorProc system_error = default_system_error;

DozCallback callbacks[6];
volatile sig_atomic_t in_callback = 0;
volatile sig_atomic_t callback_abandoned = 0;
volatile sig_atomic_t signal_arrived = 0;
bool usr1_installed = false;
SignalHandler previous_chld = SIG_DFL, previous_usr1 = SIG_DFL;
bool chld_saved = false, usr1_saved = false;
int signal_pipe[2] = {-1, -1};
char local_host[31] = "";
std::string inst_user, inst_group;
uid_t inst_uid = 0;
gid_t inst_gid = 0;
int unassigned_error = 0;
bool draining = false;
std::vector<DozBlobWriteSpec *> write_specs;
std::string fork_option;
DozSubcWaitProc subc_wait_proc = nullptr;
volatile sig_atomic_t in_satellite_start = 0;
std::string satellite_lines[3];


void poke_signal_pipe()
{
    if (signal_pipe[1] >= 0) {
        char b = 1;
        ssize_t r = write(signal_pipe[1], &b, 1);
        (void)r;
    }
}

// ---- signal handlers (flags, a pipe byte and a wake-up message only) -----

void handle_qy_death(int)
{
    int saved = errno;
    for (Connection *c : connections) {
        if (!c || !c->own_child || c->reaped || c->pid <= 0)
            continue;
        int st;
        if (waitpid(c->pid, &st, WNOHANG) != c->pid)
            continue;
        c->reaped = 1;
        if (!c->dead) {
            c->dead = 1;
            c->status[DOZ_ST_ERROR] = 1;
            c->status[DOZ_ST_CODE] = DOZ_E_DEAD;
        }
        if (c->busy) {
            c->busy = 0;
            c->done_owed = c->in_query;
        }
        if (c->msqid >= 0) {
            DozHeader wake{DOZ_TO_CLIENT, 0, DOZ_LOCAL_WAKE};
            msgsnd(c->msqid, &wake, doz_msg_size(0), IPC_NOWAIT);
        }
        poke_signal_pipe();
    }
    errno = saved;
}

void doz_signal_handler(int)
{
    int saved = errno;
    signal_arrived = 1;
    poke_signal_pipe();
    errno = saved;
}

// ---- records and the table -----------------------------------------------


Connection *check_connection(int cid)
{
    if (cid < 0 || cid >= DOZ_MAX_CONNECTIONS)
        return nullptr;
    Connection *c = connections[cid];
    return c && c->cid == cid ? c : nullptr;
}

void clear_status(Connection *c)
{
    for (int i = 0; i < 4; i++)
        c->status[i] = 0;
}

void call_error_proc(Connection *c)
{
    if ((c->current & DOZ_M_TRAP) && c->status[DOZ_ST_ERROR] && c->error_proc)
        c->error_proc(c->cid);
}

void set_qerror(Connection *c, int code, bool trap)
{
    c->status[DOZ_ST_CODE] = code;
    c->status[DOZ_ST_ERROR] = 1;
    if (trap)
        call_error_proc(c);
}

void panic(Connection *c, int reason)
{
    c->dead = 1;
    set_qerror(c, reason == E2BIG || reason == EINVAL ? DOZ_E_RECEIVE : DOZ_E_DEAD, false);
    c->busy = 0;
    call_error_proc(c);
}

bool ready(Connection *c)
{
    if (c->dead) {
        set_qerror(c, DOZ_E_DEAD, false);
        return false;
    }
    if (c->init_state != DOZ_READY) {
        set_qerror(c, DOZ_E_NOT_READY, false);
        return false;
    }
    return true;
}

int assign_slot(Connection *c)
{
    ChldBlock guard;
    for (int i = 0; i < DOZ_MAX_CONNECTIONS; i++)
        if (!connections[i]) {
            c->cid = i;
            connections[i] = c;
            return i;
        }
    return -1;
}

void release_slot(Connection *c)
{
    ChldBlock guard;
    if (c->cid >= 0 && c->cid < DOZ_MAX_CONNECTIONS && connections[c->cid] == c)
        connections[c->cid] = nullptr;
    delete c;
}

void arm_death_handler()
{
    static const int block_int[] = {SIGINT, 0};
    if (chld_saved)
        return;
    previous_chld = signal_action_mask(SIGCHLD, handle_qy_death, block_int);
    chld_saved = true;
}

void general_init()
{
    if (initialised) {
        // After general_terminate: the handlers and the catalogue again.
        init_qerror_handling(client_dir.c_str());
        arm_death_handler();
        return;
    }
    initialised = true;
    install_dir = vx_install_dir();
    client_dir = vx_client_dir();
    server_dir = vx_server_dir();
    for (std::string *s : {&install_dir, &client_dir, &server_dir})
        if (s->size() > 255)
            s->resize(255);
    init_qerror_handling(client_dir.c_str());
    int st;
    lib_catd = open_msg_catalogue(client_dir.c_str(), "vostrelane", &st);
    system_error = default_system_error;
    if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        signal_pipe[0] = signal_pipe[1] = -1;
    arm_death_handler();
}

void install_usr1_handler()
{
    if (usr1_installed)
        return;
    usr1_installed = true;
    SignalHandler old = signal_action(SIGUSR1, doz_signal_handler);
    if (!usr1_saved) {
        previous_usr1 = old;
        usr1_saved = true;
    }
}


}  // namespace qy
