#include "qysched.h"

#include "vxcat.h"
#include "vxmsg.h"
#include "vxproc.h"
#include "vxutil.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "scheduler_msgs.def"
#undef VXMSG

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Connection {
    char host[32] = "";
    int cid = -1;
    uint32_t init_state = DOZ_NOT_READY;
    uint8_t remote = 0;
    pid_t pid = -1;
    uint32_t start_word = 0;
    int msqid = -1;
    int shmid = -1;
    unsigned char *buffer = nullptr;
    int32_t buffer_size = 0;
    int32_t buffer_rows = 0;
    uint32_t data_bytes = 0;
    uintptr_t buffer_override = 0;
    pid_t satellite_pid = -1;
    volatile sig_atomic_t in_query = 0;
    volatile sig_atomic_t dead = 0;
    volatile sig_atomic_t busy = 0;
    volatile int32_t status[6] = {};
    uint32_t requested = DOZ_M_WAIT;
    uint32_t current = DOZ_M_WAIT;
    DozEobProc eob_proc = nullptr;
    DozDoneProc done_proc = nullptr;
    DozErrorProc error_proc = nullptr;
    DozBlobRetrievalProc blob_proc = nullptr;
    char fifo[32] = "";
    uint64_t reserved[2] = {};
    // Ours beyond the record: whether we started the interpreter (so the
    // death handler may reap it), whether it has been reaped, and a done
    // procedure owed after its death.
    volatile sig_atomic_t own_child = 0;
    volatile sig_atomic_t reaped = 0;
    volatile sig_atomic_t done_owed = 0;
    int blob_number = 0;
};

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

template <class... A>
void report(const VxMsg<A...> &m, typename std::type_identity<A>::type... args)
{
    std::string text = vx_msgf(lib_catd, m, args...);
    if (system_error)
        system_error(text.c_str());
}

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

struct ChldBlock {
    sigset_t old;
    ChldBlock() { signal_block(SIGCHLD, &old); }
    ~ChldBlock() { signal_setmask(&old); }
};

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

// ---- transport -----------------------------------------------------------

int transmit(Connection *c, void *msg, size_t payload)
{
    if (c->dead)
        return -1;
    auto *h = static_cast<DozHeader *>(msg);
    h->mtype = DOZ_TO_SERVER;
    h->zero = 0;
    // A queue that is momentarily full is retried for a while before the
    // connection counts as dead.
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        if (msgsnd(c->msqid, msg, doz_msg_size(payload), IPC_NOWAIT) == 0)
            return 0;
        int e = errno;
        if (e == EINTR && !c->dead)
            continue;
        if (e == EAGAIN && !c->dead && std::chrono::steady_clock::now() < give_up) {
            struct timespec ts {0, 1000000};
            nanosleep(&ts, nullptr);
            continue;
        }
        report(QY_MSGSND_FAILED, e);
        panic(c, e);
        return -1;
    }
}

// Waits on the signal pipe for at most `ms` milliseconds with `mask` in
// force (so that blocked signals are delivered meanwhile), then empties it.
void pause_on_pipe(int ms, const sigset_t *mask)
{
    struct pollfd p {signal_pipe[0], POLLIN, 0};
    struct timespec ts {ms / 1000, (ms % 1000) * 1000000L};
    ppoll(signal_pipe[0] >= 0 ? &p : nullptr, signal_pipe[0] >= 0 ? 1 : 0, &ts, mask);
    char sink[64];
    while (signal_pipe[0] >= 0 && read(signal_pipe[0], sink, sizeof sink) > 0) {
    }
}

enum { RECV_NONE = -1, RECV_DEAD = -2 };

// One message of type 2 into `m`: its payload length, RECV_NONE when a
// non-blocking receive finds nothing, RECV_DEAD when the connection died.
int receive_message(Connection *c, DozMsg *m, size_t room, bool block)
{
    for (;;) {
        if (c->dead)
            return RECV_DEAD;
        // Only our own child's death wakes a blocked receive; another
        // program's interpreter is polled.
        bool blocking = block && c->own_child;
        ssize_t n = msgrcv(c->msqid, m, doz_msg_size(room),
                           DOZ_TO_CLIENT, blocking ? 0 : IPC_NOWAIT);
        if (n >= 0) {
            if (n < 8)
                continue;  // too short to hold a code: ignored
            return static_cast<int>(n - 8);
        }
        int e = errno;
        if (e == EINTR)
            continue;
        if (e == ENOMSG) {
            if (!block)
                return RECV_NONE;
            if (!check_process(c->pid)) {
                panic(c, 0);
                return RECV_DEAD;
            }
            pause_on_pipe(5, nullptr);
            continue;
        }
        if (c->dead)
            return RECV_DEAD;
        report(QY_MSGRCV_FAILED, e);
        panic(c, e);
        return RECV_DEAD;
    }
}

void process_after_ack(Connection *c)
{
    c->busy = 0;
    if (c->in_query && (c->current & DOZ_M_SIGNAL_DONE) && c->done_proc)
        c->done_proc(c->cid);
    else
        call_error_proc(c);
    c->in_query = 0;
    if (c->requested != c->current)
        c->current = c->requested;
}

void send_simple_reply(Connection *c, int code)
{
    DozHeader h{DOZ_TO_SERVER, 0, code};
    transmit(c, &h, 0);
}

// A text of the other side: at most `max` bytes of the message, cut at its
// first NUL, always terminated.
std::string bounded_text(const void *at, int avail, int max)
{
    int n = std::max(0, std::min(avail, max));
    const char *s = static_cast<const char *>(at);
    return std::string(s, strnlen(s, static_cast<size_t>(n)));
}

struct CallbackScope {
    CallbackScope()
    {
        in_callback = 1;
        callback_abandoned = 0;
    }
    ~CallbackScope() { in_callback = 0; }
};

// ---- blobs -------------------------------------------------------------------

constexpr uint64_t SPEC_TAG = 0x766f7300ULL << 32;  // marks a token of ours

DozBlobWriteSpec *find_write_spec(uint64_t token)
{
    if ((token & 0xffffffff00000000ULL) != SPEC_TAG)
        return nullptr;
    uint64_t i = token & 0xffffffffULL;
    return i >= 1 && i <= write_specs.size() ? write_specs[i - 1] : nullptr;
}

ssize_t read_some(int fd, void *buf, size_t n)
{
    ssize_t r;
    do
        r = read(fd, buf, n);
    while (r < 0 && errno == EINTR);
    return r;
}

bool write_all(int fd, const unsigned char *p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Copies `in` to `out`: 0, or the read / write failure code.
int copy_fd(int in, int out, size_t block, int read_fail, int write_fail, int *error)
{
    std::vector<unsigned char> buf(block);
    for (;;) {
        ssize_t n = read_some(in, buf.data(), buf.size());
        if (n == 0)
            return 0;
        if (n < 0) {
            *error = errno;
            return read_fail;
        }
        if (!write_all(out, buf.data(), static_cast<size_t>(n))) {
            *error = errno;
            return write_fail;
        }
    }
}

int open_blob_destination(Connection *c, const std::string &dest)
{
    std::string path = dest;
    if (path.empty()) {
        if (!c->fifo[0])
            report(QY_NO_FIFO);
        path = c->fifo;
    }
    int fd;
    do
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int write_blob(Connection *c, const std::string &dest, uint64_t token, int32_t *error)
{
    in_callback = 0;
    DozBlobWriteSpec *spec = find_write_spec(token);
    if (!spec) {
        report(QY_NULL_WRITE_SPEC);
        return -201;
    }
    if (spec->kind == 0) {
        int fd = open_blob_destination(c, dest);
        if (fd < 0) {
            *error = errno;
            return -197;
        }
        close(fd);
        return 0;
    }
    if (spec->kind == 1) {
        int in = open(spec->path, O_RDONLY | O_CLOEXEC);
        if (in < 0) {
            *error = errno;
            return -201;
        }
        int out = open_blob_destination(c, dest);
        if (out < 0) {
            *error = errno;
            close(in);
            return -197;
        }
        int e = 0;
        int r = copy_fd(in, out, 8192, -204, -202, &e);
        *error = e;
        close(in);
        close(out);
        return r;
    }
    if ((spec->kind == 2 || spec->kind == 3) && spec->proc) {
        int out = open_blob_destination(c, dest);
        if (out < 0) {
            *error = errno;
            return -197;
        }
        spec->proc(spec->kind == 2 ? spec->argument : reinterpret_cast<long>(spec), out);
        close(out);
        return 0;
    }
    return 0;
}

int read_blob(Connection *c, DozReadBlobMsg *m, int len, int32_t *error)
{
    in_callback = 0;
    int text_len = len - 40;
    if (text_len < 0)
        return -197;
    // Both paths must lie inside the message and end there.
    auto text_at = [&](int32_t off, std::string &out) {
        if (off < 0 || off >= text_len)
            return false;
        const char *p = m->text + off;
        size_t n = strnlen(p, static_cast<size_t>(text_len - off));
        if (n == static_cast<size_t>(text_len - off))
            return false;
        out.assign(p, n);
        return true;
    };
    std::string src, dst;
    if (!text_at(m->source_offset, src) || !text_at(m->destination_offset, dst))
        return -197;
    if (src.empty())
        src = c->fifo;
    int in;
    do
        in = open(src.c_str(), O_RDONLY | O_CLOEXEC);
    while (in < 0 && errno == EINTR);
    if (in < 0) {
        *error = errno;
        return -197;
    }
    int r = 0;
    if (dst.empty()) {
        if (c->blob_proc)
            c->blob_proc(c->cid, in, m->ident, c->blob_number++);
        else
            r = -200;
    } else {
        int out = open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (out < 0) {
            *error = errno;
            r = -198;
        } else {
            long block = fs_blksize(dst.c_str());
            int e = 0;
            r = copy_fd(in, out, static_cast<size_t>(std::clamp<long>(block, 512, 1 << 20)), -203, -199, &e);
            *error = e;
            close(out);
        }
    }
    close(in);
    return r;
}

// ---- satellite programs --------------------------------------------------------

std::vector<std::string> split_words(const std::string &text, size_t max)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size() && words.size() < max) {
        while (i < text.size() && text[i] == ' ')
            i++;
        size_t j = i;
        while (j < text.size() && text[j] != ' ')
            j++;
        if (j > i)
            words.push_back(text.substr(i, j - i));
        i = j;
    }
    return words;
}

bool file_exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int send_query_forced_wait(Connection *c, const char *text);

void run_satellite(Connection *c, const std::string &command, const uint8_t flags[4], const unsigned char *area,
                   int area_len)
{
    const int saved_in_query = c->in_query;
    c->busy = 0;  // the interpreter is done with the request: it waits for us now
    c->in_query = 0;
    in_callback = 1;
    for (std::string &l : satellite_lines)
        l.clear();
    auto fork_proc = reinterpret_cast<DozForkProc>(callbacks[DOZ_CB_FORK]);
    std::vector<std::string> words = split_words(command, 40);
    int code = 0, code2 = 0, code3 = 0;
    if (words.empty()) {
        code = 19;
        code2 = 21;
    }
    std::string path;
    if (!words.empty()) {
        const std::string &prog = words[0];
        std::string last = vx::basename(prog.c_str());
        std::string in_client = client_dir + "/bin/bin.SUN4SOLARIS/" + (flags[0] ? prog : last);
        if (flags[0])
            path = prog[0] == '/' ? prog : file_exists(in_client) ? in_client : install_dir + "/bin/" + prog;
        else
            path = file_exists(in_client) ? in_client : install_dir + "/" + prog;
    }
    in_satellite_start = 1;
    sigset_t before;
    signal_getmask(&before);
    if (flags[1])
        signal_block(SIGINT, nullptr);

    std::vector<std::string> args;
    int err_pipe[2] = {-1, -1};
    bool started = false;
    int exit_status = 0, signalled = 0, exec_errno = 0;
    char **env = nullptr;
    int how = 0;
    if (!words.empty() && fork_proc)
        how = fork_proc(0, flags[1], flags[2], area, &env);
    if (!words.empty() && how != -1 && pipe(err_pipe) == 0) {
        fcntl(err_pipe[0], F_SETFD, FD_CLOEXEC);
        args = {vx::basename(path.c_str()), "-q", std::to_string(c->msqid), "-m", std::to_string(c->shmid),
                "-p", std::to_string(c->pid), "-e", std::to_string(err_pipe[1])};
        for (const std::string &w : split_words(fork_option, 40))
            args.push_back(w);
        for (size_t i = 1; i < words.size(); i++)
            args.push_back(words[i]);
        if (args.size() > 40)
            args.resize(40);
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        signal_block(SIGINT, nullptr);
        // Only the error pipe stays open in the satellite.
        VxSpawnOptions o;
        o.env = env;
        o.new_session = how == 1;
        o.default_signals[0] = SIGINT;
        o.set_mask = true;
        o.close_others = true;
        o.keep[0] = err_pipe[1];
        pid_t pid = vx_spawn(path.c_str(), argv.data(), o, &exec_errno);
        int fork_errno = errno;
        close(err_pipe[1]);
        if (pid < 0) {
            code = 16;
            code2 = fork_errno == ENOMEM ? 22 : fork_errno == EAGAIN ? 23 : 0;
        } else {
            started = true;
            c->satellite_pid = pid;
            if (!flags[1])
                signal_unblock(SIGINT, nullptr);
            int st = 0;
            if (!(subc_wait_proc && subc_wait_proc(pid, &st))) {
                wait_for_child(pid, 1, &exit_status, &signalled);
            } else {
                exit_status = st;
            }
            char text[247];
            size_t n = 0;
            ssize_t r;
            while (n < 246 && (r = read_some(err_pipe[0], text + n, 246 - n)) > 0)
                n += static_cast<size_t>(r);
            text[n] = '\0';
            std::string all(text, n);
            for (int i = 0, at = 0; i < 3 && at <= static_cast<int>(all.size()); i++) {
                size_t nl = all.find('\n', static_cast<size_t>(at));
                std::string line = all.substr(static_cast<size_t>(at), nl == std::string::npos ? std::string::npos : nl - at);
                satellite_lines[i] = line.substr(0, 80);
                if (nl == std::string::npos)
                    break;
                at = static_cast<int>(nl) + 1;
            }
        }
        close(err_pipe[0]);
    } else if (!words.empty() && how != -1) {
        code = 16;
    }
    if (!words.empty() && fork_proc && how != -1)
        fork_proc(1, flags[1], flags[3], nullptr, nullptr);

    if (started) {
        doz_reattach(c->cid);
        clear_status(c);
        char text[64];
        snprintf(text, sizeof text, "create var %%exitstatus %d", exit_status);
        send_query_forced_wait(c, text);
        clear_status(c);
        if (exec_errno) {
            code = 19;
            code2 = exec_errno == ENOENT || exec_errno == ENOTDIR ? 21
                    : exec_errno == ENOMEM                         ? 22
                    : exec_errno == EAGAIN                         ? 23
                    : exec_errno == EACCES                         ? 20
                                                                   : 0;
        } else if (signalled) {
            code = 24;
        } else if (exit_status != 0) {
            code = 17;
            if (!satellite_lines[1].empty())
                code2 = 99;
            if (!satellite_lines[2].empty())
                code3 = 93;
        }
    }
    if (code) {
        c->status[DOZ_ST_ERROR] = 1;
        c->status[DOZ_ST_CODE] = code;
        c->status[DOZ_ST_CODE2] = code2;
        c->status[DOZ_ST_CODE3] = code3;
    }
    in_satellite_start = 0;
    c->satellite_pid = -1;
    signal_setmask(&before);
    in_callback = 0;
    c->in_query = saved_in_query;
    c->busy = 1;  // finished by the caller as for an acknowledgement
}

// Handles one message; true when it finished the pending request.
bool handle_message(Connection *c, DozMsg *m, int len)
{
    switch (m->h.code) {
    case DOZ_ACK: {
        auto *a = reinterpret_cast<DozAckMsg *>(m);
        if (len < static_cast<int>(DOZ_ACK_PAYLOAD))
            break;
        for (int i = 0; i < 6; i++)
            c->status[i] = a->status[i];
        c->data_bytes = static_cast<uint32_t>(std::clamp<int32_t>(a->data_bytes, 0, c->buffer_size));
        process_after_ack(c);
        return true;
    }
    case DOZ_EOB: {
        if (len < 8)
            break;
        auto *e = reinterpret_cast<DozEobMsg *>(m);
        if (c->eob_proc) {
            CallbackScope scope;
            c->data_bytes = static_cast<uint32_t>(std::clamp<int32_t>(e->data_bytes, 0, c->buffer_size));
            c->eob_proc(c->cid, std::max(0, e->rows));
        }
        send_simple_reply(c, DOZ_EOB_REPLY);
        return false;
    }
    case DOZ_CONFIRM: {
        std::string q = bounded_text(m->data, len, DOZ_MAX_PAYLOAD);
        int answer = 0;
        {
            CallbackScope scope;
            auto proc = reinterpret_cast<DozConfirmProc>(callbacks[DOZ_CB_CONFIRM]);
            if (proc)
                proc(q.c_str(), &answer);
            if (callback_abandoned)
                answer = 0;
        }
        DozIntMsg r{};
        r.h.code = DOZ_CONFIRM_REPLY;
        r.value = answer;
        transmit(c, &r, DOZ_INT_PAYLOAD);
        return false;
    }
    case DOZ_ECHO: {
        if (len < 8)
            break;
        auto *e = reinterpret_cast<DozEchoMsg *>(m);
        std::string text = bounded_text(e->text, len - 8, DOZ_MAX_PAYLOAD - 8);
        {
            CallbackScope scope;
            auto proc = reinterpret_cast<DozEchoProc>(callbacks[DOZ_CB_ECHO]);
            if (proc)
                proc(e->first, text.c_str(), e->second);
        }
        send_simple_reply(c, DOZ_ECHO_REPLY);
        return false;
    }
    case DOZ_GETRESP: {
        auto *g = reinterpret_cast<DozGetrespMsg *>(m);
        std::string prompt = bounded_text(g->prompt, len, sizeof g->prompt);
        int flag = len >= static_cast<int>(DOZ_GETRESP_PAYLOAD) ? g->flag : 0;
        DozGetrespReplyMsg r{};
        r.h.code = DOZ_GETRESP_REPLY;
        {
            CallbackScope scope;
            auto proc = reinterpret_cast<DozGetrespProc>(callbacks[DOZ_CB_GETRESP]);
            if (proc)
                proc(prompt.c_str(), r.text, flag);
            r.text[sizeof r.text - 1] = '\0';
            if (callback_abandoned)
                memset(r.text, 0, sizeof r.text);
        }
        transmit(c, &r, sizeof r.text);
        return false;
    }
    case DOZ_FORK: {
        if (len < 264)
            break;
        auto *f = reinterpret_cast<DozForkMsg *>(m);
        std::string command = bounded_text(f->command, len, sizeof f->command);
        run_satellite(c, command, f->flags, f->area, len - 264);
        process_after_ack(c);
        return true;
    }
    case DOZ_WRITE_BLOB: {
        DozBlobReplyMsg r{};
        r.h.code = DOZ_WRITE_BLOB_REPLY;
        if (len < 272) {
            r.result = -201;
        } else {
            auto *w = reinterpret_cast<DozWriteBlobMsg *>(m);
            std::string dest = bounded_text(w->destination, len - 4, sizeof w->destination);
            r.result = write_blob(c, dest, w->spec, &r.error);
        }
        transmit(c, &r, 8);
        return false;
    }
    case DOZ_READ_BLOB: {
        DozBlobReplyMsg r{};
        r.h.code = DOZ_READ_BLOB_REPLY;
        r.result = read_blob(c, reinterpret_cast<DozReadBlobMsg *>(m), len, &r.error);
        transmit(c, &r, 8);
        return false;
    }
    case DOZ_SET_FIFO: {
        std::string path = bounded_text(m->data, len, sizeof c->fifo - 1);
        snprintf(c->fifo, sizeof c->fifo, "%s", path.c_str());
        return false;
    }
    case DOZ_LOCAL_WAKE:
        return false;
    default:
        break;
    }
    report(QY_UNEXPECTED, m->h.code);
    panic(c, 0);
    return true;
}

int wait_for_ack(Connection *c)
{
    DozMsg m;
    while (!c->dead && c->busy) {
        int n = receive_message(c, &m, DOZ_RECV_ROOM, true);
        if (n == RECV_DEAD)
            break;
        if (n < 0)
            continue;
        if (handle_message(c, &m, n))
            break;
    }
    return c->dead ? -1 : 0;
}

// Sends a request and, when asked, waits for its acknowledgement.
int send_message(Connection *c, void *msg, size_t payload, bool wait)
{
    if (c->dead)
        return -1;
    if (wait)
        c->busy = 1;
    if (transmit(c, msg, payload) != 0) {
        c->busy = 0;
        return -1;
    }
    return wait ? wait_for_ack(c) : 0;
}

// A request whose whole payload is one number, waiting for its acknowledgement.
int send_int(Connection *c, int32_t code, int32_t value)
{
    DozIntMsg m{};
    m.h.code = code;
    m.value = value;
    return send_message(c, &m, DOZ_INT_PAYLOAD, true);
}

void handle_any_messages()
{
    if (draining)
        return;
    draining = true;
    DozMsg m;
    for (bool found = true; found;) {
        found = false;
        for (Connection *c : connections) {
            if (!c || !c->busy || c->dead)
                continue;
            int n = receive_message(c, &m, DOZ_RECV_ROOM, false);
            if (n >= 0) {
                handle_message(c, &m, n);
                found = true;
                break;
            }
        }
    }
    for (Connection *c : connections)
        if (c && c->done_owed) {
            c->done_owed = 0;
            c->in_query = 0;
            c->current = c->requested;
            if ((c->current & DOZ_M_SIGNAL_DONE) && c->done_proc)
                c->done_proc(c->cid);
        }
    draining = false;
}

int set_modes_as_necessary(Connection *c, uint32_t modes, bool send)
{
    for (int bit = 0; bit < 12; bit++) {
        uint32_t m = 1u << bit;
        if ((c->current & m) == (modes & m))
            continue;
        if (bit == DOZ_BIT_TRAP || bit == DOZ_BIT_SIGNAL_DONE)
            continue;
        if (bit == DOZ_BIT_WAIT && !(modes & m))
            install_usr1_handler();
        if (send) {
            DozModeMsg msg{};
            msg.h.code = DOZ_MODE;
            msg.bit = bit;
            msg.on = (modes & m) ? 1 : 0;
            if (send_message(c, &msg, 8, true) != 0)
                return -1;
        }
    }
    c->current = modes;
    return 0;
}

// ---- the installation user and the program checks ------------------------

std::string trimmed_line(FILE *f)
{
    char line[256];
    if (!f || !fgets(line, sizeof line, f))
        return "";
    std::string s = line;
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    s = b == std::string::npos ? "" : s.substr(b, e - b + 1);
    if (s.size() > 30)
        s.resize(30);
    return s;
}

int obtain_orvanta_userid()
{
    std::string file = server_dir + "/.orvanta_user";
    FILE *f = fopen(file.c_str(), "r");
    std::string user = trimmed_line(f), group = trimmed_line(f);
    if (f)
        fclose(f);
    if (user.empty())
        user = "orvanta";
    if (group.empty())
        group = user;
    struct passwd *pw = getpwnam(user.c_str());
    if (!pw) {
        pw = getpwnam("qelbase");
        if (!pw) {
            report(QY_NO_USER, user.c_str(), "qelbase");
            return DOZ_E_NO_USER;
        }
        report(QY_USER_FALLBACK, user.c_str(), "qelbase");
        user = "qelbase";
    }
    inst_user = user;
    inst_uid = pw->pw_uid;
    struct group *gr = getgrnam(group.c_str());
    if (!gr) {
        gr = getgrnam("qelbase");
        if (!gr) {
            report(QY_NO_GROUP, group.c_str(), "qelbase");
            return DOZ_E_NO_USER;
        }
        report(QY_GROUP_FALLBACK, group.c_str(), "qelbase");
        group = "qelbase";
    }
    inst_group = group;
    inst_gid = gr->gr_gid;
    return 0;
}

int check_interpreter_permissions(const char *path, bool remote)
{
    struct stat st;
    if (stat(path, &st) != 0) {
        int e = errno;
        report(QY_CANNOT_STAT, path, e);
        if (e == ENOENT || e == ENOTDIR || e == ELOOP)
            return DOZ_E_NO_PROGRAM;
        return e == EACCES ? DOZ_E_PERMISSIONS : DOZ_E_PROGRAM;
    }
    if (!S_ISREG(st.st_mode)) {
        report(QY_NOT_REGULAR, path);
        return DOZ_E_PROGRAM;
    }
    if (remote) {
        if (!(st.st_mode & S_IXOTH)) {
            report(QY_NO_EXECUTE, path);
            return DOZ_E_PERMISSIONS;
        }
        if (st.st_mode & S_ISUID) {
            report(QY_RELAY_SETUID, path);
            report(QY_RELAY_MODES);
            return DOZ_E_PERMISSIONS;
        }
        return 0;
    }
    if (st.st_uid != inst_uid) {
        report(QY_WRONG_USER, path, inst_user.c_str());
        return DOZ_E_PERMISSIONS;
    }
    if (st.st_gid != inst_gid) {
        report(QY_WRONG_GROUP, path, inst_group.c_str());
        return DOZ_E_PERMISSIONS;
    }
    if ((st.st_mode & (S_ISUID | S_ISGID | S_IXOTH)) != (S_ISUID | S_ISGID | S_IXOTH)) {
        report(QY_WRONG_MODES, path);
        return DOZ_E_PERMISSIONS;
    }
    return 0;
}

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
        snprintf(m.host, sizeof m.host, "%s", local_host);
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

}  // namespace

// ---- starting and attaching ------------------------------------------------

int __doz_init(int *cid_out, const char *host, const char *user, uint32_t start_word)
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
        unassigned_error = DOZ_E_NO_SLOT;
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

    get_host_name(local_host, sizeof local_host);
    if (host && *host && strcmp(host, local_host) != 0) {
        c->remote = 1;
        snprintf(c->host, sizeof c->host, "%.30s", host);
    }
    if (!c->remote) {
        int code = obtain_orvanta_userid();
        if (code)
            return fail(code);
    }
    c->msqid = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    if (c->msqid < 0) {
        report(QY_MSGGET_FAILED, errno);
        return fail(DOZ_E_QUEUE);
    }
    if (!c->remote) {
        struct msqid_ds ds;
        if (msgctl(c->msqid, IPC_STAT, &ds) != 0 || (ds.msg_perm.uid = inst_uid, msgctl(c->msqid, IPC_SET, &ds)) != 0) {
            report(QY_MSGCTL_FAILED, errno);
            remove_ipc(c);
            return fail(DOZ_E_QUEUE);
        }
    }

    std::string path;
    const char *qyint = getenv("QYINT");
    if (c->remote)
        path = client_dir + "/bin/bin.SUN4SOLARIS/phi";
    else if (qyint && *qyint)
        path = qyint;
    else
        path = server_dir + "/tqlserver";
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
    if (!usr1_saved) {
        previous_usr1 = now;
        usr1_saved = true;
    }
    c->init_state = DOZ_READY;
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
    return 0;
}

int __doz_attach(int *cid_out, pid_t pid, int shmid, int msqid, uint32_t start_word, void *copy_area,
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
        unassigned_error = DOZ_E_NO_SLOT;
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
static Connection *idle_connection(int cid)
{
    Connection *c = check_connection(cid);
    if (!c || !ready(c))
        return nullptr;
    doz_qwait(cid);
    return c;
}

int __doz_pretend_attach(int cid, pid_t, int, int, uint32_t start_word, void *copy_area, size_t copy_length)
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
    if (chld_saved) {
        signal_action(SIGCHLD, previous_chld);
        chld_saved = false;
    }
    if (usr1_saved) {
        signal_action(SIGUSR1, previous_usr1);
        usr1_saved = false;
        usr1_installed = false;
    }
}

DozSystemErrorProc doz_set_system_error_proc(DozSystemErrorProc proc)
{
    DozSystemErrorProc old = system_error;
    system_error = proc ? proc : default_system_error;
    return old;
}

void doz_trap_server_death(int on)
{
    static const int block_int[] = {SIGINT, 0};
    if (on) {
        SignalHandler old = signal_action_mask(SIGCHLD, handle_qy_death, block_int);
        if (!chld_saved) {
            previous_chld = old;
            chld_saved = true;
        }
    } else if (chld_saved) {
        signal_action(SIGCHLD, previous_chld);
    }
}

int doz_unassigned_error() { return unassigned_error; }

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

const char *doz_client_dir() { return client_dir.c_str(); }
const char *doz_server_dir() { return server_dir.c_str(); }
const char *doz_install_dir() { return install_dir.c_str(); }

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
        if (shmctl(id, IPC_STAT, &ds) != 0 || (ds.shm_perm.uid = inst_uid, shmctl(id, IPC_SET, &ds)) != 0) {
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

namespace {
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
        signal_arrived = 0;
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
    return c && c->busy ? 1 : 0;
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
    snprintf(out, 81, "%s", vx_msgf(lib_catd, QY_ERROR_CODE, code).c_str());
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
        snprintf(text1, 81, "%s", satellite_lines[0].c_str());
        snprintf(text2, 81, "%s", satellite_lines[1].c_str());
        snprintf(text3, 81, "%s", satellite_lines[2].c_str());
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
    if (in_satellite_start && c->satellite_pid > 0)
        kill(c->satellite_pid, SIGTERM);
    else if (c->pid > 0)
        kill(c->pid, SIGUSR1);
    if (in_callback)
        callback_abandoned = 1;
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
    if (r == 0 && path && path_size)
        snprintf(path, path_size, "%s/%s%d", c->remote ? "/tmp" : server_dir.c_str(), ".dump",
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
        callbacks[kind] = proc;
    return kind;
}

bool doz_callback_abandoned() { return callback_abandoned != 0; }

int doz_signal_fd() { return signal_pipe[0]; }

void doz_handle_signals()
{
    char sink[64];
    while (signal_pipe[0] >= 0 && read(signal_pipe[0], sink, sizeof sink) > 0) {
    }
    signal_arrived = 0;
    handle_any_messages();
}

void doz_set_blob_write_spec(DozBlobDesc *desc, DozBlobWriteSpec *spec)
{
    size_t i = 0;
    while (i < write_specs.size() && write_specs[i] != spec)
        i++;
    if (i == write_specs.size())
        write_specs.push_back(spec);
    uint64_t token = SPEC_TAG | static_cast<uint64_t>(i + 1);
    memcpy(reinterpret_cast<unsigned char *>(desc) + 16, &token, 8);
}

void doz_clear_blob_write_specs() { write_specs.clear(); }

void query_set_fork_option(const char *text) { fork_option = text ? text : ""; }

void doz_set_subc_wait_proc(DozSubcWaitProc proc) { subc_wait_proc = proc; }
