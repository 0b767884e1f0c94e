// Signals, child processes, starting programs, pipe and shell commands,
// environment lists and small file-system queries.

#include "vxproc.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

// ---- signals -------------------------------------------------------------

static SignalHandler install(int sig, SignalHandler handler, const sigset_t &mask)
{
    struct sigaction sa {}, old {};
    sa.sa_handler = handler;
    sa.sa_mask = mask;
    sa.sa_flags = 0;
    if (sigaction(sig, &sa, &old) != 0)
        return SIG_ERR;
    return old.sa_handler;
}

SignalHandler signal_action(int sig, SignalHandler handler)
{
    sigset_t mask;
    sigemptyset(&mask);
    return install(sig, handler, mask);
}

SignalHandler signal_action_mask(int sig, SignalHandler handler, const int *list)
{
    sigset_t mask;
    sigemptyset(&mask);
    for (; list && *list > 0; list++)
        sigaddset(&mask, *list);
    return install(sig, handler, mask);
}

static int change_mask(int how, int sig, sigset_t *previous)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    return sigprocmask(how, &set, previous);
}

int signal_block(int sig, sigset_t *previous) { return change_mask(SIG_BLOCK, sig, previous); }
int signal_unblock(int sig, sigset_t *previous) { return change_mask(SIG_UNBLOCK, sig, previous); }

int signal_setmask(const sigset_t *mask)
{
    sigset_t empty;
    sigemptyset(&empty);
    return sigprocmask(SIG_SETMASK, mask ? mask : &empty, nullptr);
}

int signal_getmask(sigset_t *mask) { return sigprocmask(SIG_BLOCK, nullptr, mask); }

void signal_pause(const sigset_t *mask)
{
    sigset_t empty;
    sigemptyset(&empty);
    sigsuspend(mask ? mask : &empty);
}

int send_signal(pid_t pid, int sig) { return kill(pid, sig); }

// ---- processes -----------------------------------------------------------

static void decode_status(int st, int *exit_status, int *signalled)
{
    if (signalled)
        *signalled = WIFSIGNALED(st) ? 1 : 0;
    if (exit_status)
        *exit_status = WIFEXITED(st) ? WEXITSTATUS(st) : 0;
}

pid_t wait_for_child(pid_t pid, int this_pid_only, int *exit_status, int *signalled)
{
    int st = 0;
    pid_t r;
    do
        r = waitpid(this_pid_only ? pid : -1, &st, 0);
    while (r < 0 && errno == EINTR);
    if (r > 0)
        decode_status(st, exit_status, signalled);
    return r;
}

pid_t reap_child(pid_t pid, int *exit_status, int *signalled)
{
    int st = 0;
    pid_t r;
    do
        r = waitpid(pid, &st, WNOHANG);
    while (r < 0 && errno == EINTR);
    if (r > 0)
        decode_status(st, exit_status, signalled);
    return r;
}

int check_proc(pid_t pid) { return pid > 0 && kill(pid, 0) == 0 ? 1 : 0; }

int check_process(pid_t pid)
{
    if (pid <= 0)
        return 0;
    return kill(pid, 0) == 0 || errno == EPERM ? 1 : 0;
}

// ---- starting a program --------------------------------------------------

namespace {

// In the child: closes every descriptor above 2 but the kept ones.
void close_all_but(const int keep[2], int report)
{
    int k[3] = {keep[0], keep[1], report};
    std::sort(std::begin(k), std::end(k));
    unsigned from = 3;
    for (int fd : k) {
        if (fd < static_cast<int>(from))
            continue;
        if (static_cast<unsigned>(fd) > from)
            close_range(from, static_cast<unsigned>(fd) - 1, 0);
        from = static_cast<unsigned>(fd) + 1;
    }
    close_range(from, ~0U, 0);
}

}  // namespace

pid_t vx_spawn(const char *path, char *const argv[], const VxSpawnOptions &o, int *exec_errno)
{
    if (exec_errno)
        *exec_errno = 0;
    // The exec's failure comes back through a pipe that closes itself when
    // the exec succeeds.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        if (o.stdin_from >= 0)
            dup2(o.stdin_from, 0);
        if (o.stdout_to >= 0)
            dup2(o.stdout_to, 1);
        if (o.close_others)
            close_all_but(o.keep, report[1]);
        if (o.new_session)
            setsid();
        for (int sig : o.default_signals) {
            if (sig <= 0)
                break;
            signal(sig, SIG_DFL);
        }
        if (o.set_mask)
            signal_setmask(o.mask);
        if (o.env)
            execve(path, argv, o.env);
        else
            execv(path, argv);
        int e = errno;
        ssize_t w = write(report[1], &e, sizeof e);
        (void)w;
        _exit(1);
    }
    int fork_errno = errno;
    close(report[1]);
    if (pid < 0) {
        close(report[0]);
        errno = fork_errno;
        return -1;
    }
    int e = 0;
    ssize_t got;
    do
        got = read(report[0], &e, sizeof e);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    if (exec_errno && got == static_cast<ssize_t>(sizeof e))
        *exec_errno = e;
    return pid;
}

// ---- shell ---------------------------------------------------------------

static char shell_path_buf[1024];
static const char *shell_name_ptr;

void enquire_shell(const char **path, const char **name)
{
    if (!shell_name_ptr) {
        const char *s = getenv("SHELL");
        if (!s || !*s)
            s = "/bin/sh";
        snprintf(shell_path_buf, sizeof shell_path_buf, "%s", s);
        const char *slash = strrchr(shell_path_buf, '/');
        shell_name_ptr = slash ? slash + 1 : shell_path_buf;
    }
    if (path)
        *path = shell_path_buf;
    if (name)
        *name = shell_name_ptr;
}

static void pick_shell(const char *&path, const char *&name)
{
    if (!path || !*path || !name || !*name)
        enquire_shell(&path, &name);
}

// ---- pipe commands -------------------------------------------------------

static struct {
    pid_t pid = 0;
    int fd = -1;
    SignalHandler old_pipe = SIG_DFL, old_chld = SIG_DFL;
} pipe_cmd;

int open_pipe_fd(const char *shell_path, const char *shell_name, const char *command, int direction)
{
    pick_shell(shell_path, shell_name);
    pipe_cmd.old_chld = signal_action(SIGCHLD, SIG_DFL);
    pipe_cmd.old_pipe = signal_action(SIGPIPE, SIG_IGN);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        signal_action(SIGCHLD, pipe_cmd.old_chld);
        signal_action(SIGPIPE, pipe_cmd.old_pipe);
        return -1;
    }
    VxSpawnOptions o;
    o.default_signals[0] = SIGPIPE;
    if (direction == 1)
        o.stdin_from = fds[0];
    else
        o.stdout_to = fds[1];
    const char *argv[] = {shell_name, "-c", command ? command : "", nullptr};
    pid_t pid = vx_spawn(shell_path, const_cast<char *const *>(argv), o, nullptr);
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        signal_action(SIGCHLD, pipe_cmd.old_chld);
        signal_action(SIGPIPE, pipe_cmd.old_pipe);
        return -1;
    }
    pipe_cmd.pid = pid;
    if (direction == 1) {
        close(fds[0]);
        pipe_cmd.fd = fds[1];
    } else {
        close(fds[1]);
        pipe_cmd.fd = fds[0];
    }
    return pipe_cmd.fd;
}

FILE *fopen_pipe(const char *shell_path, const char *shell_name, const char *command, int direction)
{
    int fd = open_pipe_fd(shell_path, shell_name, command, direction);
    if (fd < 0)
        return nullptr;
    FILE *f = fdopen(fd, direction == 1 ? "w" : "r");
    if (!f) {
        close_pipe_fd(fd);
        return nullptr;
    }
    return f;
}

static int wait_pipe_command(bool close_fd, int fd)
{
    if (pipe_cmd.pid <= 0)
        return -1;
    if (close_fd)
        close(fd);
    sigset_t block, old;
    sigemptyset(&block);
    for (int s : {SIGINT, SIGQUIT, SIGUSR1, SIGUSR2})
        sigaddset(&block, s);
    sigprocmask(SIG_BLOCK, &block, &old);
    int status = 0, signalled = 0;
    pid_t r = wait_for_child(pipe_cmd.pid, 1, &status, &signalled);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    signal_action(SIGPIPE, pipe_cmd.old_pipe);
    signal_action(SIGCHLD, pipe_cmd.old_chld);
    pipe_cmd.pid = 0;
    pipe_cmd.fd = -1;
    return r < 0 || signalled || status != 0 ? -1 : 0;
}

int close_pipe_fd(int fd) { return wait_pipe_command(true, fd); }

int fclose_pipe(FILE *stream)
{
    if (!stream)
        return 0;
    if (pipe_cmd.pid <= 0) {
        fclose(stream);
        return -1;
    }
    fclose(stream);  // closes our end of the pipe
    return wait_pipe_command(false, -1);
}

// ---- shell commands ------------------------------------------------------

static ShellWaitProc shell_wait_proc;

void set_shell_wait_proc(ShellWaitProc proc) { shell_wait_proc = proc; }

int do_shell_escape(const char *shell_path, const char *shell_name, const char *command)
{
    return do_shell_escape_env_rc(shell_path, shell_name, command, nullptr, nullptr);
}

int do_shell_escape_env(const char *shell_path, const char *shell_name, const char *command, char **env)
{
    return do_shell_escape_env_rc(shell_path, shell_name, command, env, nullptr);
}

int do_shell_escape_env_rc(const char *shell_path, const char *shell_name, const char *command, char **env,
                           int *exit_status)
{
    if (!command || !*command)
        return 0;
    pick_shell(shell_path, shell_name);
    SignalHandler old_chld = signal_action(SIGCHLD, SIG_DFL);
    VxSpawnOptions o;
    o.env = env;
    const char *argv[] = {shell_name, "-c", command, nullptr};
    pid_t pid = vx_spawn(shell_path, const_cast<char *const *>(argv), o, nullptr);
    if (pid < 0) {
        signal_action(SIGCHLD, old_chld);
        return -1;
    }
    sigset_t old;
    signal_block(SIGQUIT, &old);
    SignalHandler old_int = signal_action(SIGINT, SIG_IGN);
    int status = 0, signalled = 0;
    bool waited = false;
    if (shell_wait_proc) {
        int st = 0;
        if (shell_wait_proc(pid, &st)) {
            waited = true;
            status = st;
        }
    }
    pid_t r = waited ? pid : wait_for_child(pid, 1, &status, &signalled);
    signal_action(SIGINT, old_int);
    signal_setmask(&old);
    signal_action(SIGCHLD, old_chld);
    if (r < 0 || signalled)
        return -1;
    if (exit_status) {
        *exit_status = status;
        return 0;
    }
    return status != 0 ? -1 : 0;
}

// ---- environment lists ---------------------------------------------------

static int env_count(char **list)
{
    int n = 0;
    while (list && list[n])
        n++;
    return n;
}

int copy_env(char **list, char ***copy)
{
    int n = env_count(list);
    char **c = static_cast<char **>(calloc(n + 1, sizeof(char *)));
    if (!c)
        return -1;
    for (int i = 0; i < n; i++) {
        c[i] = strdup(list[i]);
        if (!c[i]) {
            free_env(c);
            return -1;
        }
    }
    *copy = c;
    return 0;
}

void free_env(char **list)
{
    for (int i = 0; list && list[i]; i++)
        free(list[i]);
    free(list);
}

int set_env(char ***list, const char *text)
{
    const char *eq = text ? strchr(text, '=') : nullptr;
    if (!eq || eq == text || !list)
        return -1;
    size_t name_len = static_cast<size_t>(eq - text) + 1;  // with the "="
    char *copy = strdup(text);
    if (!copy)
        return -1;
    int n = env_count(*list);
    for (int i = 0; i < n; i++)
        if (strncmp((*list)[i], text, name_len) == 0) {
            free((*list)[i]);
            (*list)[i] = copy;
            return 0;
        }
    char **grown = static_cast<char **>(calloc(n + 2, sizeof(char *)));
    if (!grown) {
        free(copy);
        return -1;
    }
    for (int i = 0; i < n; i++)
        grown[i] = (*list)[i];
    grown[n] = copy;
    free(*list);
    *list = grown;
    return 0;
}

int delete_env(char ***list, const char *name)
{
    if (!list || !*list || !name)
        return 0;
    size_t len = strlen(name);
    int n = env_count(*list), hit = -1;
    for (int i = 0; i < n && hit < 0; i++)
        if (strncmp((*list)[i], name, len) == 0)
            hit = i;
    if (hit < 0)
        return 0;
    char **shrunk = static_cast<char **>(calloc(n, sizeof(char *)));
    if (!shrunk)
        return -1;
    for (int i = 0, j = 0; i < n; i++)
        if (i != hit)
            shrunk[j++] = (*list)[i];
    free((*list)[hit]);
    free(*list);
    *list = shrunk;
    return 0;
}

int put_env_str(const char *name, const char *value)
{
    size_t n = strlen(name) + strlen(value) + 2;
    char *text = static_cast<char *>(malloc(n));  // belongs to the environment from now on
    if (!text)
        return -1;
    snprintf(text, n, "%s=%s", name, value);
    return putenv(text) == 0 ? 0 : -1;
}

// ---- file system and host ------------------------------------------------

int get_host_name(char *text, size_t size)
{
    if (!text || size == 0)
        return 0;
    if (gethostname(text, size) != 0)
        return 0;
    text[size - 1] = '\0';
    return 1;
}

long fs_blksize(const char *path)
{
    struct stat st;
    if (!path || stat(path, &st) != 0)
        return -1;
    return static_cast<long>(st.st_blksize);
}

long get_blocksize(const char *prefix)
{
    std::string_view p = prefix ? prefix : "";
    char path[4096];
    if (snprintf(path, sizeof path, "%.*s.dummmyf.a.b", static_cast<int>(p.size()), p.data()) >=
        static_cast<int>(sizeof path))
        return -1;
    int fd = open(path, O_CREAT | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    long size = fs_blksize(path);
    close(fd);
    unlink(path);
    return size;
}
