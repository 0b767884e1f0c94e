// tqlserver: the query interpreter.  Started by the client library as
// "tqlserver <msqid> <client pid>", it serves requests from the message
// queue until TERM, until the queue is removed, or until its client is
// gone (unless NO_SUICIDE is set).  Statements go to the engine; rows go
// into the shared buffer through the result writer.
#include "tqlengine.h"
#include "tqlrequest.h"
#include "tqlserve.h"
#include "tqlwriter.h"

#include "dozids.h"
#include "vxcat.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t stop_flag = 0;
volatile sig_atomic_t tick = 0;

void on_usr1(int) { stop_flag = 1; }
void on_alarm(int) { tick = 1; }

struct Server {
    int msqid = -1;
    pid_t client_pid = -1;   // the program that started us
    pid_t target_pid = -1;   // where SIGUSR1 goes (last ATTACH / CLINFO)
    pid_t parent_pid = -1;
    uint32_t modes = DOZ_M_WAIT;
    uint32_t query_modes = DOZ_M_WAIT;  // in force for the running query
    bool in_query = false;
    bool blob_retrieval = false;  // the client takes result blobs by its procedure
    unsigned char *buffer = nullptr;
    int shmid = -1;
    int size = 0;
    int rows = DOZ_DEFAULT_ROWS;
    const TqlEngine *engine = nullptr;
    void *engine_state = nullptr;
    TqlSession session;
    std::string fifo_path;            // for blobs to the retrieval procedure
    bool client_dead = false;         // seen gone while a statement ran
};

Server srv;

[[noreturn]] void leave(int status)
{
    if (srv.buffer)
        shmdt(srv.buffer);
    if (srv.engine && srv.engine_state)
        srv.engine->close(srv.engine_state);
    dozids::remove_exchange_dir();  // the fifo and any blob file left with it
    terminate_qerror_handling(0);
    exit(status);
}

// The client ended without taking its queue and segment with it (killed,
// say): they were given to us, and nobody else will remove them.
// Whoever the client was: the queue and segment our caller made (their
// creator's uid is our real one), whether given to the database user or
// kept, are removed by whichever of the two ids owns them now.  Those of
// anyone else stay, whoever they were given to.
template <class F>
void remove_given(uid_t creator, F &&remove)
{
    if (creator != getuid())
        return;
    dozids::AsOwner me;
    if (remove() == 0)
        return;
    dozids::AsCaller named;
    remove();
}

[[noreturn]] void leave_orphaned()
{
    struct msqid_ds q;
    if (msgctl(srv.msqid, IPC_STAT, &q) == 0)
        remove_given(q.msg_perm.cuid, [] { return msgctl(srv.msqid, IPC_RMID, nullptr); });
    struct shmid_ds s;
    if (srv.shmid >= 0 && shmctl(srv.shmid, IPC_STAT, &s) == 0)
        remove_given(s.shm_perm.cuid, [] { return shmctl(srv.shmid, IPC_RMID, nullptr); });
    leave(0);
}

// A process that has ended, also when nobody has reaped it yet.
bool process_ended(pid_t pid)
{
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    char path[64], state = 0;
    snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE *f = fopen(path, "r");
    if (!f)
        return false;
    // "pid (name) state ...": the name may hold blanks and parentheses.
    char line[512];
    size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = '\0';
    const char *close = strrchr(line, ')');
    if (close && close[1] == ' ')
        state = close[2];
    return state == 'Z' || state == 'X';
}

bool client_gone()
{
    if (srv.modes & DOZ_M_NO_SUICIDE)
        return false;
    if (srv.client_pid == srv.parent_pid && getppid() != srv.parent_pid)
        return true;  // our starter ended and we were handed on
    return process_ended(srv.client_pid);
}

void send(void *msg, size_t payload)
{
    auto *h = static_cast<DozHeader *>(msg);
    h->mtype = DOZ_TO_CLIENT;
    h->zero = 0;
    for (;;) {
        if (msgsnd(srv.msqid, msg, doz_msg_size(payload), 0) == 0)
            break;
        if (errno == EINTR && !client_gone())
            continue;
        if (errno == EINTR)
            leave_orphaned();
        leave(errno == EIDRM || errno == EINVAL ? 0 : 1);  // queue removed
    }
    if (srv.in_query && !(srv.query_modes & DOZ_M_WAIT) && srv.target_pid > 0)
        kill(srv.target_pid, SIGUSR1);
}

// Takes a message longer than any request off the queue (cut short, and
// dropped), so that it cannot block the queue.
void drop_oversize(DozMsg &m, int flags)
{
    while (msgrcv(srv.msqid, &m, doz_msg_size(DOZ_RECV_ROOM), DOZ_TO_SERVER, flags | MSG_NOERROR) < 0 &&
           errno == EINTR) {
    }
}

// The next request: its payload size, or TOO_LONG for a message longer
// than any request (taken off the queue and dropped).  Leaves the program
// when the queue is removed or the client is gone.
constexpr int TOO_LONG = -1;
int receive(DozMsg &m)
{
    for (;;) {
        ssize_t n = msgrcv(srv.msqid, &m, doz_msg_size(DOZ_RECV_ROOM), DOZ_TO_SERVER, 0);
        if (n >= 8)
            return static_cast<int>(n - 8);
        if (n >= 0)
            continue;
        if (errno == E2BIG) {
            drop_oversize(m, IPC_NOWAIT);
            return TOO_LONG;
        }
        if (errno == EINTR) {
            if (client_gone())
                leave_orphaned();
            continue;
        }
        leave(errno == EIDRM || errno == EINVAL ? 0 : 1);
    }
}

// Waits for the client's reply `code` to a message sent during a query.
// TERM ends the program; anything else is out of turn and dropped.
int wait_reply(int code, DozMsg &m)
{
    for (;;) {
        int n = receive(m);
        if (n == TOO_LONG)
            continue;
        if (m.h.code == code)
            return n;
        if (m.h.code == DOZ_TERM)
            leave(0);
    }
}

void ack(const int32_t status[6], int32_t data_bytes)
{
    DozAckMsg a{};
    a.h.code = DOZ_ACK;
    memcpy(a.status, status, sizeof a.status);
    a.data_bytes = data_bytes;
    send(&a, DOZ_ACK_PAYLOAD);
}

void ack_ok()
{
    const int32_t st[6] = {};
    ack(st, 0);
}

void ack_error(int32_t code)
{
    const int32_t st[6] = {1, code, 0, 0, 0, 0};
    ack(st, 0);
}

// ---- services for the engine and the writer ----------------------------------

// A stop asked by the client, or a client gone while its statement runs
// (looked for at each tick of the timer): nobody is left to take the rows.
bool host_stop(void *)
{
    if (tick) {
        tick = 0;
        if (client_gone())
            srv.client_dead = true;
    }
    return stop_flag != 0 || srv.client_dead;
}

const unsigned char *host_input(void *, size_t *size, int *rows)
{
    *size = static_cast<size_t>(srv.size);
    *rows = srv.rows;
    return srv.buffer;
}

int host_confirm(void *, const char *question)
{
    static DozTextMsg m;
    m.h.code = DOZ_CONFIRM;
    snprintf(m.text, sizeof m.text, "%s", question);
    send(&m, strlen(m.text) + 1);
    DozMsg r;
    int n = wait_reply(DOZ_CONFIRM_REPLY, r);
    int32_t answer = 0;
    if (n >= 4)
        memcpy(&answer, r.data, 4);
    return answer;
}

void host_echo(void *, int first, const char *text, int second)
{
    static DozEchoMsg m;
    m.h.code = DOZ_ECHO;
    m.first = first;
    m.second = second;
    snprintf(m.text, sizeof m.text, "%s", text);
    send(&m, 8 + strlen(m.text) + 1);
    DozMsg r;
    wait_reply(DOZ_ECHO_REPLY, r);
}

std::string host_getresp(void *, const char *prompt, int flag)
{
    DozGetrespMsg m{};
    m.h.code = DOZ_GETRESP;
    snprintf(m.prompt, sizeof m.prompt, "%s", prompt);
    m.flag = static_cast<int8_t>(flag);
    send(&m, DOZ_GETRESP_PAYLOAD);
    DozMsg r;
    int n = wait_reply(DOZ_GETRESP_REPLY, r);
    const char *t = reinterpret_cast<const char *>(r.data);
    return std::string(t, strnlen(t, static_cast<size_t>(std::clamp(n, 0, 81))));
}

void post_read_blob(const char ident[28], const char *source, const char *destination)
{
    static DozReadBlobMsg m;
    memset(&m, 0, sizeof m);
    m.h.code = DOZ_READ_BLOB;
    memcpy(m.ident, ident, sizeof m.ident);
    size_t ls = strnlen(source, 2000), ld = strnlen(destination, 2000);
    memcpy(m.text, source, ls);
    memcpy(m.text + ls + 1, destination, ld);
    m.source_offset = 0;
    m.destination_offset = static_cast<int32_t>(ls + 1);
    send(&m, 40 + ls + 1 + ld + 1);
}

int blob_result(const DozMsg &r, int n, int *error)
{
    const auto &reply = reinterpret_cast<const DozBlobReplyMsg &>(r);
    *error = n >= 8 ? reply.error : 0;
    return n >= 8 ? reply.result : -1;
}

// The reply `code` if the client has sent it, without waiting; other
// messages are dropped as by wait_reply, and TERM ends the program.
bool poll_reply(int code, DozMsg &m, int &n)
{
    for (;;) {
        ssize_t k = msgrcv(srv.msqid, &m, doz_msg_size(DOZ_RECV_ROOM), DOZ_TO_SERVER, IPC_NOWAIT);
        if (k < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOMSG)
                return false;
            if (errno == E2BIG) {
                drop_oversize(m, IPC_NOWAIT);
                continue;
            }
            leave(errno == EIDRM || errno == EINVAL ? 0 : 1);
        }
        if (k < 8)
            continue;
        if (m.h.code == code) {
            n = static_cast<int>(k - 8);
            return true;
        }
        if (m.h.code == DOZ_TERM)
            leave(0);
    }
}

// The fifo through which result blobs reach the client's retrieval
// procedure: made at first use in the client's own exchange folder (its
// path must fit the 31 characters SET_FIFO carries), removed with that
// folder when the program leaves.
const char *blob_fifo()
{
    if (srv.fifo_path.empty()) {
        std::string dir = dozids::exchange_dir();
        if (dir.empty())
            return nullptr;
        std::string path = dir + "/fifo";
        dozids::AsCaller named;
        if (mkfifo(path.c_str(), 0600) != 0)
            return nullptr;
        srv.fifo_path = path;
    }
    return srv.fifo_path.c_str();
}

// Delivers the bytes of `in` to the client's retrieval procedure through
// the fifo: announce it, send READ_BLOB without paths, and write once the
// client has opened it for reading.  A client that answers without
// opening it, or stops reading early, leaves us free to go on.
int read_blob_by_fifo(const char *fifo, const char ident[28], int in, int *error)
{
    static DozTextMsg announce;
    memset(&announce, 0, sizeof announce);
    announce.h.code = DOZ_SET_FIFO;
    snprintf(announce.text, sizeof announce.text, "%s", fifo);
    send(&announce, strlen(announce.text) + 1);
    post_read_blob(ident, "", "");
    DozMsg r;
    int n = -1;
    int out = -1;
    bool replied = false;
    while (!replied) {
        {
            dozids::AsCaller named;
            out = open(fifo, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        }
        if (out >= 0 || (errno != ENXIO && errno != EINTR))
            break;
        replied = poll_reply(DOZ_READ_BLOB_REPLY, r, n);
        if (!replied && client_gone())
            leave_orphaned();
        if (!replied) {
            struct timespec pause {0, 2'000'000};
            nanosleep(&pause, nullptr);
        }
    }
    if (out >= 0) {
        fcntl(out, F_SETFL, fcntl(out, F_GETFL) & ~O_NONBLOCK);
        struct sigaction ignore {}, old {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &old);  // a reader gone early gives EPIPE
        char chunk[65536];
        for (bool going = true; going;) {
            ssize_t k = ::read(in, chunk, sizeof chunk);
            if (k < 0 && errno == EINTR)
                continue;
            going = k > 0;
            for (ssize_t at = 0; going && at < k;) {
                ssize_t w = ::write(out, chunk + at, static_cast<size_t>(k - at));
                if (w < 0 && errno == EINTR)
                    continue;
                going = w > 0;
                at += going ? w : 0;
            }
        }
        close(out);
        sigaction(SIGPIPE, &old, nullptr);
    }
    if (!replied)
        n = wait_reply(DOZ_READ_BLOB_REPLY, r);
    return blob_result(r, n, error);
}

int host_read_blob(void *, const char ident[28], const char *source, const char *destination, int *error)
{
    // Without a destination the bytes go through the fifo when we can
    // read them; otherwise the client reads the source itself.
    if (!*destination && *source) {
        const char *fifo = blob_fifo();
        int in = -1;
        if (fifo) {
            dozids::AsCaller named;  // a file the client could read itself
            in = open(source, O_RDONLY | O_CLOEXEC);
        }
        if (in >= 0) {
            int r = read_blob_by_fifo(fifo, ident, in, error);
            close(in);
            return r;
        }
    }
    post_read_blob(ident, source, destination);
    DozMsg r;
    int n = wait_reply(DOZ_READ_BLOB_REPLY, r);
    return blob_result(r, n, error);
}

int host_write_blob(void *, const char *destination, uint64_t spec, int *error)
{
    DozWriteBlobMsg m{};
    m.h.code = DOZ_WRITE_BLOB;
    snprintf(m.destination, sizeof m.destination, "%s", destination);
    m.spec = spec;
    send(&m, 272);
    DozMsg r;
    int n = wait_reply(DOZ_WRITE_BLOB_REPLY, r);
    return blob_result(r, n, error);
}

bool chan_eob(void *, int rows, int data_bytes)
{
    DozEobMsg e{};
    e.h.code = DOZ_EOB;
    e.rows = rows;
    e.data_bytes = data_bytes;
    send(&e, 8);
    DozMsg r;
    wait_reply(DOZ_EOB_REPLY, r);
    return true;
}

// ---- requests ----------------------------------------------------------------

void run_query(const char *text, uint32_t modes)
{
    stop_flag = 0;
    srv.in_query = true;
    srv.query_modes = modes;
    TqlHost host;
    host.stop_requested = host_stop;
    host.input = host_input;
    host.confirm = host_confirm;
    host.echo = host_echo;
    host.get_response = host_getresp;
    host.read_blob = host_read_blob;
    host.write_blob = host_write_blob;
    host.blob_retrieval = [](void *) { return srv.blob_retrieval; };
    TqlOutcome out;
    srv.engine->run(srv.engine_state, text, modes, &host, &out);
    if (srv.client_dead)
        leave_orphaned();
    if (out.exit_now)
        leave(0);
    if (out.raw_code) {
        DozHeader h{DOZ_TO_CLIENT, 0, out.raw_code};
        send(&h, 0);
        srv.in_query = false;
        return;
    }
    if (out.fork) {
        static DozForkMsg f;
        memset(&f, 0, sizeof f);
        f.h.code = DOZ_FORK;
        snprintf(f.command, sizeof f.command, "%s", out.fork_command.c_str());
        memcpy(f.flags, out.fork_flags, 4);
        send(&f, 280 - 16);
        srv.in_query = false;
        return;
    }
    int32_t st[6] = {0, out.code[0], out.code[1], out.code[2], out.rows, out.fifth};
    int32_t data_bytes = 0;
    if (!out.code[0] && !out.code[1] && !out.code[2] && out.has_result) {
        TqlChannel ch;
        ch.buffer = srv.buffer;
        ch.size = srv.size;
        ch.rows_per_buffer = srv.rows;
        ch.send_eob = chan_eob;
        ch.stop_requested = host_stop;
        TqlWritten w = tql_write_result(ch, out.result, modes);
        if (srv.client_dead)
            leave_orphaned();
        st[4] = w.rows;
        data_bytes = w.data_bytes;
        if (w.error)
            st[1] = w.error;
        else if (w.stopped)
            st[1] = TQL_E_STOPPED;
        if (out.result.finish)
            out.result.finish(&st[1]);
    }
    if (st[1] || st[2] || st[3])
        st[0] = 1;
    ack(st, data_bytes);
    srv.in_query = false;
    stop_flag = 0;
}

std::string error_text(int code)
{
    if (code == 0)
        return "";
    char t[82] = "";
    if (qerror_catalogue_open())
        nl_qmsg(code, t, 80);
    if (t[0])
        return t;
    return "Error " + std::to_string(code);
}

void serve_err(const TqlRequest &q)
{
    DozErrReplyMsg r{};
    r.h.code = DOZ_ERR;
    // The DOZ engine knows which table each of its codes comes from; the
    // codes of test statements are looked up by number.
    std::string texts[3];
    if (!srv.engine_state || !tql_server_error_texts(srv.engine_state, texts))
        for (int i = 0; i < 3; i++)
            texts[i] = error_text(q.codes[i]);
    snprintf(r.text1, sizeof r.text1, "%s", texts[0].c_str());
    snprintf(r.text2, sizeof r.text2, "%s", texts[1].c_str());
    snprintf(r.text3, sizeof r.text3, "%s", texts[2].c_str());
    send(&r, DOZ_ERR_REPLY_BYTES);
}

void serve_buff(const TqlRequest &q)
{
    if (!q.complete)
        return ack_error(TQL_E_ARGUMENT);
    if (q.kind == 1) {
        if (srv.buffer)
            shmdt(srv.buffer);
        srv.buffer = nullptr;
        srv.size = 0;
        void *at = shmat(q.shmid, nullptr, SHM_RND);
        if (at == reinterpret_cast<void *>(-1))
            return ack_error(TQL_E_NO_BUFFER);
        srv.buffer = static_cast<unsigned char *>(at);
        srv.shmid = q.shmid;
    }
    // Never beyond the segment, whatever the message says.
    struct shmid_ds ds;
    size_t real = srv.shmid >= 0 && shmctl(srv.shmid, IPC_STAT, &ds) == 0 ? ds.shm_segsz : 0;
    srv.size = static_cast<int>(std::min<size_t>(std::max(q.size, 0), std::min<size_t>(real, INT32_MAX)));
    srv.rows = q.rows > 0 ? q.rows : DOZ_DEFAULT_ROWS;
    ack_ok();
}

// The engine's session; none without a server directory of the database
// user's.
void *open_engine()
{
    return srv.session.server_dir.empty() ? nullptr : srv.engine->open(&srv.session);
}

// Why the engine gave no session.
int32_t refusal()
{
    return srv.session.refusal ? srv.session.refusal : TQL_E_NO_PREFIX;
}

void serve_dump(const TqlRequest &q)
{
    if (!q.complete)
        return ack_error(TQL_E_ARGUMENT);
    if (!srv.engine_state)
        srv.engine_state = open_engine();
    if (!srv.engine_state)
        return ack_error(refusal());
    // A new file of ours: an old one goes first, and a link planted under
    // the name in a shared directory is removed, never followed.
    // It is the database user's, readable by the client that asked.
    dozids::AsOwner me;
    std::string path = srv.session.server_dir + "/.dump" + std::to_string(q.pid);
    unlink(path.c_str());
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0)
        fchmod(fd, 0644);  // whatever the umask
    FILE *f = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (!f) {
        if (fd >= 0)
            close(fd);
        return ack_error(TQL_E_ARGUMENT);
    }
    int r = srv.engine->dump(srv.engine_state, q.kind, f);
    if (fclose(f) != 0 || r != 0)
        return ack_error(TQL_E_ARGUMENT);
    ack_ok();
}

void serve(const TqlRequest &q)
{
    switch (q.code) {
    case DOZ_INIT:
        srv.session.user = q.user;
        // A second INIT starts the session afresh: the first one's engine
        // goes, with its database and its result-table prefix.
        if (srv.engine_state)
            srv.engine->close(srv.engine_state);
        srv.engine_state = open_engine();
        return srv.engine_state ? ack_ok() : ack_error(refusal());
    case DOZ_TERM: leave(0);
    case DOZ_BUFF: return serve_buff(q);
    case DOZ_QUERY:
    case DOZ_QUERYM: {
        uint32_t modes = q.with_modes ? q.modes : srv.modes;
        if (!srv.engine_state && q.complete)
            srv.engine_state = open_engine();
        if (!q.complete || !srv.engine_state) {
            srv.in_query = true;
            srv.query_modes = q.complete ? modes : srv.modes;
            ack_error(q.complete ? refusal() : TQL_E_SYNTAX);
            srv.in_query = false;
            return;
        }
        return run_query(q.text.c_str(), modes);
    }
    case DOZ_MODE:
        if (!q.complete)
            return ack_error(TQL_E_ARGUMENT);
        if (q.on)
            srv.modes |= 1u << q.bit;
        else
            srv.modes &= ~(1u << q.bit);
        return ack_ok();
    case DOZ_ERR: return serve_err(q);
    case DOZ_QSTAT: {
        DozQstatReplyMsg r{};
        r.h.code = DOZ_QSTAT;
        snprintf(r.text, sizeof r.text, "idle, user %s", srv.session.user.c_str());
        return send(&r, DOZ_QSTAT_REPLY_BYTES);
    }
    case DOZ_ATTACH:
    case DOZ_CLINFO:
        if (q.pid > 0)
            srv.target_pid = q.pid;
        return ack_ok();
    case DOZ_DUMP: return serve_dump(q);
    case DOZ_AUTHORISE: {
        int32_t st[6] = {0, 0, 0, 0, 0, srv.engine_state ? srv.engine->authorise(srv.engine_state, q.right) : 0};
        return ack(st, 0);
    }
    case DOZ_BLOB_RETRIEVAL:
        srv.blob_retrieval = q.on;
        return ack_ok();
    case DOZ_FORMAT: return ack_ok();
    default:
        // Replies out of turn (EOB, CONFIRM, ...) need no answer.
        return;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s msqid client-pid\n", argc > 0 ? argv[0] : "tqlserver");
        return 2;
    }
    // The interpreter keeps the database user's ids (its set-id bits) for
    // its own files and takes its caller's for what a client names
    // (dozids.h); never those of root for another user.
    std::string why;
    if (!dozids::init(why)) {
        fprintf(stderr, "tqlserver: %s\n", why.c_str());
        return 1;
    }
    umask(077);  // what it makes is its own alone unless it says otherwise
    srv.msqid = atoi(argv[1]);
    srv.client_pid = srv.target_pid = atoi(argv[2]);
    srv.parent_pid = getppid();
    srv.engine = &tql_server_engine();
    srv.session.client_pid = srv.client_pid;
    // The server directory named in the environment only when it is the
    // database user's own; else the program's own directory.
    srv.session.server_dir = dozids::server_dir(vx_server_dir());
    if (srv.session.server_dir.empty())
        srv.session.refusal = TQL_E_NO_ACCESS;
    {
        dozids::AsCaller named;  // the client's catalogues, where the client says they are
        init_qerror_handling(vx_client_dir().c_str());
    }

    // Dispositions are set here, not inherited: SIGUSR1 may come in ignored.
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = on_usr1;
    sigaction(SIGUSR1, &sa, nullptr);
    sa.sa_handler = on_alarm;
    sigaction(SIGALRM, &sa, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, SIGUSR1);
    sigaddset(&unblock, SIGALRM);
    sigaddset(&unblock, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    // A tick each second lets a blocked receive look for its client.
    struct itimerval it {{1, 0}, {1, 0}};
    setitimer(ITIMER_REAL, &it, nullptr);

    static DozMsg m;
    for (;;) {
        int n = receive(m);
        if (n == TOO_LONG)
            ack_error(TQL_E_TOO_LONG);
        else
            serve(tql_decode(m, n));
    }
}
