// The default connection's functions: the doz_ functions with one
// connection id kept for the rest of the program.

#include "qycompat.h"

#include "vxcat.h"

#include <cstdarg>
#include <cstdio>

namespace {

int default_cid = 0;
char qyhostname[31] = "";
bool query_is_init = false;
void (*caller_eob)(int rows) = nullptr;

void eob_adapter(int, int rows)
{
    if (caller_eob)
        caller_eob(rows);
}

}  // namespace

void query_host(const char *host) { snprintf(qyhostname, sizeof qyhostname, "%s", host ? host : ""); }

int query_init(const char *user, uint32_t start_word)
{
    int r = doz_init(&default_cid, qyhostname, user, start_word);
    if (r != 0)
        general_terminate();
    else
        query_is_init = true;
    return r;
}

int qquery_attach(pid_t pid, int shmid, int msqid, uint32_t start_word, void *copy_area, size_t length)
{
    return doz_attach(&default_cid, pid, shmid, msqid, start_word, copy_area, length);
}

int query_detach()
{
    int r = doz_detach(default_cid, 1);
    default_cid--;
    return r;
}

int query_term()
{
    int r = doz_term(default_cid);
    general_terminate();
    terminate_qerror_handling(0);
    query_is_init = false;
    return r;
}

int query_buffer(void **address, int rows, int size)
{
    if (address && !*address) {
        *address = doz_create_buffer(default_cid, size);
        if (!*address || doz_error(default_cid) == 1)
            return -1;
    }
    return doz_set_buffer_rows(default_cid, rows);
}

int query(const char *text) { return doz_query(default_cid, text); }
int querym(const char *text, uint32_t modes) { return doz_querym(default_cid, text, modes); }

int Query(const char *text, ...)
{
    if (!check_qy_init(default_cid))
        return -1;
    va_list ap;
    va_start(ap, text);
    int r = 0;
    for (const char *t = text; t; t = va_arg(ap, const char *)) {
        r = doz_query(default_cid, t);
        if (doz_error(default_cid) == 1)
            break;
    }
    va_end(ap);
    return r;
}

int query_mode(const char *name, int on) { return doz_mode(default_cid, name, on); }
int query_set_modes(uint32_t modes) { return doz_set_modes(default_cid, modes); }
int query_dumpinfo(int kind, char *path, size_t path_size) { return doz_dumpinfo(default_cid, kind, path, path_size); }
int query_authorise(int right) { return doz_authorise(default_cid, right); }
int query_error() { return doz_error(default_cid) == 1 ? 1 : 0; }
int query_clear_error() { return doz_clear_error(default_cid); }
int query_status(int *code, int *code2, int *code3, int *rows, int *fifth)
{
    return doz_status(default_cid, code, code2, code3, rows, fifth);
}
int query_busy() { return doz_busy(default_cid); }
int query_wait() { return doz_qwait(default_cid); }
int query_mess(char *text1, char *text2, char *text3) { return doz_mess(default_cid, text1, text2, text3); }
int query_status_mess(char *text) { return doz_status_mess(default_cid, text); }
int query_abort() { return doz_abort(default_cid); }

int query_on_eob(void (*proc)(int rows))
{
    caller_eob = proc;
    return doz_set_eob_proc(default_cid, proc ? eob_adapter : nullptr);
}

int query_set_done_proc(DozDoneProc proc) { return doz_set_done_proc(default_cid, proc); }
int query_set_error_proc(DozErrorProc proc) { return doz_set_error_proc(default_cid, proc); }
int set_qstatus(const int status[6]) { return doz_set_qstatus(default_cid, status); }
int get_qstatus(int status[6]) { return doz_get_qstatus(default_cid, status); }
void *get_qbuffer() { return doz_get_qbuffer(default_cid); }
void set_qbufferaddr(uintptr_t value) { doz_set_qbufferaddr(default_cid, value); }
int get_qbuffersize() { return doz_get_qbuffersize(default_cid); }
uint32_t get_data_bytes() { return doz_get_data_bytes(default_cid); }
int query_get_server_details(pid_t *pid, int *msqid, int *shmid)
{
    return doz_get_server_details(default_cid, pid, msqid, shmid);
}
uint32_t query_current_modes() { return doz_current_modes(default_cid); }
void query_death(int on) { doz_trap_server_death(on); }
int query_connection() { return default_cid; }
