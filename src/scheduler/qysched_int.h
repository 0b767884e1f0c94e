// The client library's own state and the helpers its parts share: the
// connection record (one per interpreter, in a table of 32), the library's
// process-wide state, transport, blobs, satellites and installation checks.
// Not for callers of the library: they use qysched.h.
#pragma once

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

namespace qy {

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
    // A dump file was asked for: it goes when the connection ends.
    int dumped = 0;
};

// ---- process-wide state (qystate.cpp) ----------------------------------

extern Connection *connections[DOZ_MAX_CONNECTIONS];
void default_system_error(const char *text);

// The library's process-wide state, one record: its directories and
// catalogue, the procedures callers set, the signal bookkeeping and the
// satellite and blob state shared by every connection.
struct LibState {
    bool initialised = false;
    std::string client_dir, server_dir, install_dir;
    nl_catd lib_catd = NL_NO_CATALOGUE;
    DozSystemErrorProc system_error = default_system_error;
    DozCallback callbacks[6] = {};
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
};
extern LibState lib;

template <class... A>
void report(const VxMsg<A...> &m, typename std::type_identity<A>::type... args)
{
    std::string text = vx_msgf(lib.lib_catd, m, args...);
    if (lib.system_error)
        lib.system_error(text.c_str());
}

struct ChldBlock {
    sigset_t old;
    ChldBlock() { signal_block(SIGCHLD, &old); }
    ~ChldBlock() { signal_setmask(&old); }
};

enum { RECV_NONE = -1, RECV_DEAD = -2 };

struct CallbackScope {
    CallbackScope()
    {
        lib.in_callback = 1;
        lib.callback_abandoned = 0;
    }
    ~CallbackScope() { lib.in_callback = 0; }
};

// ---- shared helpers -------------------------------------------------------

void poke_signal_pipe();
void handle_qy_death(int);
void doz_signal_handler(int);
Connection *check_connection(int cid);
void clear_status(Connection *c);
void call_error_proc(Connection *c);
void set_qerror(Connection *c, int code, bool trap);
void panic(Connection *c, int reason);
bool ready(Connection *c);
int assign_slot(Connection *c);
void release_slot(Connection *c);
void arm_death_handler();
void general_init();
void install_usr1_handler();
int transmit(Connection *c, void *msg, size_t payload);
void pause_on_pipe(int ms, const sigset_t *mask);
int receive_message(Connection *c, DozMsg *m, size_t room, bool block);
void process_after_ack(Connection *c);
void send_simple_reply(Connection *c, int code);
std::string bounded_text(const void *at, int avail, int max);
DozBlobWriteSpec *find_write_spec(uint64_t token);
ssize_t read_some(int fd, void *buf, size_t n);
bool write_all(int fd, const unsigned char *p, size_t n);
int copy_fd(int in, int out, size_t block, int read_fail, int write_fail, int *error);
int open_blob_destination(Connection *c, const std::string &dest);
int write_blob(Connection *c, const std::string &dest, uint64_t token, int32_t *error);
int read_blob(Connection *c, DozReadBlobMsg *m, int len, int32_t *error);
std::vector<std::string> split_words(const std::string &text, size_t max);
bool file_exists(const std::string &path);
void run_satellite(Connection *c, const std::string &command, const uint8_t flags[4], const unsigned char *area,
                   int area_len);
bool handle_message(Connection *c, DozMsg *m, int len);
int wait_for_ack(Connection *c);
int send_message(Connection *c, void *msg, size_t payload, bool wait);
int send_int(Connection *c, int32_t code, int32_t value);
void handle_any_messages();
int set_modes_as_necessary(Connection *c, uint32_t modes, bool send);
std::string trimmed_line(FILE *f);
int obtain_orvanta_userid();
int check_interpreter_permissions(const char *path, bool remote);
void remove_ipc(Connection *c);
void tidy_up(Connection *c);
int attach_segment(Connection *c, int shmid);
int send_clinfo(Connection *c, int first_contact);
int send_attach(Connection *c);
int send_buff(Connection *c, int kind, int rows);
int send_query_forced_wait(Connection *c, const char *text);
// The connection cid names, ready and with no query of its own still
// running; null (with the reason in its status) otherwise.
Connection *idle_connection(int cid);

}  // namespace qy
