// The library's process-wide state, its signal handlers, the table of
// connection records and the library's start.

#include "qysched_int.h"

using namespace qy;

namespace qy {


Connection *connections[DOZ_MAX_CONNECTIONS];

void default_system_error(const char *text) { fputs(text, stderr); }
LibState lib;


void poke_signal_pipe()
{
    if (lib.signal_pipe[1] >= 0) {
        char b = 1;
        ssize_t r = write(lib.signal_pipe[1], &b, 1);
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
    lib.signal_arrived = 1;
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
    if (lib.chld_saved)
        return;
    lib.previous_chld = signal_action_mask(SIGCHLD, handle_qy_death, block_int);
    lib.chld_saved = true;
}

void general_init()
{
    if (lib.initialised) {
        // After general_terminate: the handlers and the catalogue again.
        init_qerror_handling(lib.client_dir.c_str());
        arm_death_handler();
        return;
    }
    lib.initialised = true;
    lib.install_dir = vx_install_dir();
    lib.client_dir = vx_client_dir();
    lib.server_dir = vx_server_dir();
    for (std::string *s : {&lib.install_dir, &lib.client_dir, &lib.server_dir})
        if (s->size() > 255)
            s->resize(255);
    init_qerror_handling(lib.client_dir.c_str());
    int st;
    lib.lib_catd = open_msg_catalogue(lib.client_dir.c_str(), "vostrelane", &st);
    lib.system_error = default_system_error;
    if (pipe2(lib.signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        lib.signal_pipe[0] = lib.signal_pipe[1] = -1;
    arm_death_handler();
}

void install_usr1_handler()
{
    if (lib.usr1_installed)
        return;
    lib.usr1_installed = true;
    SignalHandler old = signal_action(SIGUSR1, doz_signal_handler);
    if (!lib.usr1_saved) {
        lib.previous_usr1 = old;
        lib.usr1_saved = true;
    }
}


}  // namespace qy
