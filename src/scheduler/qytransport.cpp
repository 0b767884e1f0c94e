// Transport: messages to and from the interpreter over the message queue,
// the replies the library owes, and the handling of what the interpreter
// sends while a request runs.

#include "qysched_int.h"

using namespace qy;

namespace qy {

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
    struct pollfd p {lib.signal_pipe[0], POLLIN, 0};
    struct timespec ts {ms / 1000, (ms % 1000) * 1000000L};
    ppoll(lib.signal_pipe[0] >= 0 ? &p : nullptr, lib.signal_pipe[0] >= 0 ? 1 : 0, &ts, mask);
    char sink[64];
    while (lib.signal_pipe[0] >= 0 && read(lib.signal_pipe[0], sink, sizeof sink) > 0) {
    }
}


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
            auto proc = reinterpret_cast<DozConfirmProc>(lib.callbacks[DOZ_CB_CONFIRM]);
            if (proc)
                proc(q.c_str(), &answer);
            if (lib.callback_abandoned)
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
            auto proc = reinterpret_cast<DozEchoProc>(lib.callbacks[DOZ_CB_ECHO]);
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
            auto proc = reinterpret_cast<DozGetrespProc>(lib.callbacks[DOZ_CB_GETRESP]);
            if (proc)
                proc(prompt.c_str(), r.text, flag);
            r.text[sizeof r.text - 1] = '\0';
            if (lib.callback_abandoned)
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
    if (lib.draining)
        return;
    lib.draining = true;
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
    lib.draining = false;
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


}  // namespace qy
