// The interpreter client: starts the query interpreter (or attaches to one
// another program started), keeps one connection record per interpreter in
// a table of 32, carries requests and replies over the System V message
// queue, shares the result buffer with it, and notices its death.
//
// Signals: the library's SIGCHLD handler reaps only the interpreters it
// started (waitpid on their pids, never blocking) and marks a dead one's
// connection; the SIGUSR1 handler (installed once the WAIT mode is first
// cleared) only notes that the interpreter put a message on a queue and
// writes a byte into the library's signal pipe.  Messages are handled in
// the main line: inside the library's waits, or when the caller sees the
// signal pipe readable and calls doz_handle_signals().
#pragma once

#include "dozproto.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// Connection states.
enum : uint32_t { DOZ_NOT_READY = 0, DOZ_READY = 1, DOZ_STARTING = 2 };

// Error codes the client sets itself (status[1]).
enum DozClientError : int {
    DOZ_E_TOO_LONG = -1,
    DOZ_E_NOT_READY = -100,
    DOZ_E_BAD_MODE = -105,
    DOZ_E_SHM = -107,
    DOZ_E_QUEUE = -108,
    DOZ_E_DEAD = -109,
    DOZ_E_RECEIVE = -230,
    DOZ_E_NO_USER = 9,
    DOZ_E_PROGRAM = 10,
    DOZ_E_PERMISSIONS = 11,
    DOZ_E_NO_PROGRAM = 12,
    DOZ_E_NOMEM = 18,
    DOZ_E_AGAIN = 23,
    DOZ_E_NO_SLOT = 29,
};

using DozEobProc = void (*)(int cid, int rows);
using DozDoneProc = void (*)(int cid);
using DozErrorProc = void (*)(int cid);
using DozBlobRetrievalProc = int (*)(int cid, int fd, const char *ident, int blob_number);
using DozSystemErrorProc = void (*)(const char *text);
// Global callbacks, by kind: 1 confirm, 2 echo, 3 get response, 4 fork,
// 5 kept for the caller.
using DozConfirmProc = void (*)(const char *question, int *answer);
using DozEchoProc = void (*)(int first, const char *text, int second);
using DozGetrespProc = void (*)(const char *prompt, char *response, int flag);
using DozCallback = void (*)();
enum { DOZ_CB_CONFIRM = 1, DOZ_CB_ECHO = 2, DOZ_CB_GETRESP = 3, DOZ_CB_FORK = 4, DOZ_CB_SPARE = 5 };

// ---- connections ---------------------------------------------------------

int doz_init(int *cid_out, const char *host, const char *user, uint32_t start_word);
int doz_attach(int *cid_out, pid_t pid, int shmid, int msqid, uint32_t start_word, void *copy_area,
                 size_t copy_length);
int doz_pretend_attach(int cid, pid_t pid, int shmid, int msqid, uint32_t start_word, void *copy_area,
                         size_t copy_length);
int doz_reattach(int cid);
int doz_detach(int cid, int release);
int doz_term(int cid);
int check_qy_init(int cid);
void general_terminate();
DozSystemErrorProc doz_set_system_error_proc(DozSystemErrorProc proc);
void doz_trap_server_death(int on);
// The error code of the last start or attach that found no free slot (the
// record is not kept then, so its status block cannot be read).
int doz_unassigned_error();

// Reading and writing the record's fields.
int doz_get_server_details(int cid, pid_t *pid, int *msqid, int *shmid);
uint32_t doz_current_modes(int cid);
void *doz_get_qbuffer(int cid);
int doz_get_qbuffersize(int cid);
uint32_t doz_get_data_bytes(int cid);
void doz_set_qbufferaddr(int cid, uintptr_t value);
int doz_get_qstatus(int cid, int status[6]);
int doz_set_qstatus(int cid, const int status[6]);
int doz_dead(int cid);

// The directories general_init settled (client, server, installation).
const char *doz_client_dir();
const char *doz_server_dir();
const char *doz_install_dir();

// ---- requests ------------------------------------------------------------

void *doz_create_buffer(int cid, int size);
int doz_set_buffer_rows(int cid, int rows);
int doz_query(int cid, const char *text);
int doz_querym(int cid, const char *text, uint32_t modes);
// Sends the texts one by one (the list ends with a null pointer) and stops
// after the first that leaves the error flag set.  0 for an empty list.
int doz_Query(int cid, ...);
int doz_qwait(int cid);
int doz_busy(int cid);
int doz_error(int cid);
int doz_clear_error(int cid);
int doz_status(int cid, int *code, int *code2, int *code3, int *rows, int *fifth);
// Three texts of 81 bytes each.
int doz_mess(int cid, char *text1, char *text2, char *text3);
// An 82-byte text.
int doz_status_mess(int cid, char *text);
int doz_abort(int cid);
int doz_mode(int cid, const char *name, int on);
int doz_set_modes(int cid, uint32_t modes);
int doz_dumpinfo(int cid, int kind, char *path, size_t path_size);
int doz_authorise(int cid, int right);
int doz_set_format_option(int cid, int option);
int doz_set_eob_proc(int cid, DozEobProc proc);
int doz_set_done_proc(int cid, DozDoneProc proc);
int doz_set_error_proc(int cid, DozErrorProc proc);
int doz_set_blob_retrieval_proc(int cid, DozBlobRetrievalProc proc);
int doz_set_callback_proc(int kind, DozCallback proc);
// True inside a callback that doz_abort has abandoned: the callback should
// return at once (its reply is then sent as for no answer).
bool doz_callback_abandoned();

// ---- blobs and satellite programs ---------------------------------------

// What a row of the program's own (a load, the row editor) sends for one
// blob: kind 0 nothing, 1 the file `path`, 2 the procedure called with
// `argument`, 3 the procedure called with this request's own address.
struct DozBlobWriteSpec {
    int32_t kind;
    int32_t argument;
    char path[256];
    void (*proc)(long value, int fd);
};
// Puts a token for `spec` into bytes 16 to 23 of the descriptor.  The
// interpreter hands the token back; only requests registered here
// (and not cleared since) are used, never an address from elsewhere.
// A null `spec` writes the zero token: no bytes are sent for the blob, and
// an update keeps the blob stored (a spec of kind 0 would empty it).
void doz_set_blob_write_spec(DozBlobDesc *desc, DozBlobWriteSpec *spec);
void doz_clear_blob_write_specs();

// Extra words for every satellite's argument list.
void query_set_fork_option(const char *text);
// The fork procedure (callback kind 4): phase 0 before the start with the
// second and third flag bytes, the message's area and an environment out
// (return -1: do not start, 1: start in a new session); phase 1 after the
// end with the second and fourth flag bytes and no area.
using DozForkProc = int (*)(int phase, int flag_a, int flag_b, const unsigned char *area, char ***env);
// Waits for the satellite itself; non-zero when it did (status valid).
using DozSubcWaitProc = int (*)(pid_t pid, int *status);
void doz_set_subc_wait_proc(DozSubcWaitProc proc);

// ---- asynchronous delivery -----------------------------------------------

// The read end of the signal pipe (non-blocking, close-on-exec), -1 before
// the first start or attach.  Readable after SIGUSR1 from an interpreter or
// the death of one.
int doz_signal_fd();
// Empties the signal pipe and handles every message waiting for a busy
// connection, then the done procedures owed to connections that died.
void doz_handle_signals();
