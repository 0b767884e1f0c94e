// Operating-system layer: reliable signal installation and masks, waiting
// for and probing child processes, shell commands with a pipe to the
// program, shell commands that are waited for, environment lists, and two
// small file-system queries.
#pragma once

#include <csignal>
#include <cstdio>
#include <sys/types.h>

using SignalHandler = void (*)(int);

// ---- signals -------------------------------------------------------------

// Installs `handler` (or SIG_DFL / SIG_IGN) with an empty mask and no
// flags; returns the previous handler.
SignalHandler signal_action(int sig, SignalHandler handler);
// The same, blocking while it runs the signals of `list`, which ends at the
// first value of 0 or below.
SignalHandler signal_action_mask(int sig, SignalHandler handler, const int *list);
// Add / remove one signal to / from the process mask; the previous mask is
// stored when `previous` is given.
int signal_block(int sig, sigset_t *previous);
int signal_unblock(int sig, sigset_t *previous);
// Sets the process mask (null: the empty mask).
int signal_setmask(const sigset_t *mask);
int signal_getmask(sigset_t *mask);
// Suspends with `mask` (null: the empty mask) until a signal is handled.
void signal_pause(const sigset_t *mask);
int send_signal(pid_t pid, int sig);

// ---- processes -----------------------------------------------------------

// Waits for child `pid` (any child when `this_pid_only` is 0), again while
// interrupted.  Returns the pid reaped or -1; the outputs are written only
// for a reaped child (signalled 1 when a signal ended it).
pid_t wait_for_child(pid_t pid, int this_pid_only, int *exit_status, int *signalled);
// The same without blocking: 0 while the child runs.
pid_t reap_child(pid_t pid, int *exit_status, int *signalled);
// 1 when the process exists and may be signalled by us.
int check_proc(pid_t pid);
// 1 when the process exists, also when it belongs to another user.
int check_process(pid_t pid);

// ---- starting a program --------------------------------------------------

// What the child does between fork and exec.
struct VxSpawnOptions {
    char **env = nullptr;              // null: our environment
    bool new_session = false;          // setsid()
    bool set_mask = false;             // replace the signal mask with `mask`
    const sigset_t *mask = nullptr;    // (null: the empty mask)
    int default_signals[4] = {};       // reset to SIG_DFL; the list ends at 0
    int stdin_from = -1;               // dup2 onto 0 when >= 0
    int stdout_to = -1;                // dup2 onto 1 when >= 0
    bool close_others = false;         // close every descriptor above 2 ...
    int keep[2] = {-1, -1};            // ... except these
};
// Starts `path` with `argv` (argv[0] first, null at the end).  The one
// place that forks and execs a program: returns the child's pid once the
// exec has happened or failed, or -1 (errno set) when no child could be
// made.  *exec_errno (when given) is the exec's errno, 0 when the program
// runs; a child whose exec failed has ended with status 1.
pid_t vx_spawn(const char *path, char *const argv[], const VxSpawnOptions &options, int *exec_errno);

// ---- pipe commands (one at a time) ---------------------------------------

// Runs `command` with "-c" in the shell (the user's when path or name is
// missing).  Direction 1: we write the child's standard input; otherwise we
// read its standard output.  Returns our end, or -1.
int open_pipe_fd(const char *shell_path, const char *shell_name, const char *command, int direction);
FILE *fopen_pipe(const char *shell_path, const char *shell_name, const char *command, int direction);
// Closes our end and waits for the command: 0 when it exited with status 0,
// -1 otherwise or when no pipe command runs.
int close_pipe_fd(int fd);
int fclose_pipe(FILE *stream);

// ---- shell commands ------------------------------------------------------

// The user's shell ($SHELL, else "/bin/sh") and its last path component.
void enquire_shell(const char **path, const char **name);
// Called with the child's pid first; a non-zero result means the procedure
// has waited for the command and stored its exit status.
using ShellWaitProc = int (*)(pid_t pid, int *exit_status);
void set_shell_wait_proc(ShellWaitProc proc);
int do_shell_escape(const char *shell_path, const char *shell_name, const char *command);
int do_shell_escape_env(const char *shell_path, const char *shell_name, const char *command, char **env);
// With `exit_status` given, a non-zero exit is stored and is no failure.
int do_shell_escape_env_rc(const char *shell_path, const char *shell_name, const char *command, char **env,
                           int *exit_status);

// ---- environment lists (NAME=value texts, null-terminated) ---------------

int copy_env(char **list, char ***copy);
void free_env(char **list);
int set_env(char ***list, const char *text);
int delete_env(char ***list, const char *name);
int put_env_str(const char *name, const char *value);

// ---- file system and host ------------------------------------------------

int get_host_name(char *text, size_t size);
long fs_blksize(const char *path);
long get_blocksize(const char *prefix);
