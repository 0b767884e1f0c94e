// The window snapshot: the capture command "xwcp" run on a window.

#include "ghout.h"
#include "vxproc.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

int ghsnap_GTakeHappySnap(const char *display_name, unsigned long window, const char *title)
{
    // The arguments go to the command as they are: no shell splits a title
    // with blanks or interprets its characters.
    char id[32];
    snprintf(id, sizeof id, "0x%lx", window);
    const char *argv[] = {"xwcp", "-title", title ? title : "", "-display", display_name ? display_name : "",
                          "-id", id, nullptr};
    // While the command runs no handler of ours may reap it.
    SignalHandler old_chld = signal_action(SIGCHLD, SIG_DFL);
    pid_t pid;
    int rc = posix_spawnp(&pid, "xwcp", nullptr, nullptr, const_cast<char *const *>(argv), environ);
    int result = -1;
    if (rc == 0) {
        int status = 0;
        pid_t r;
        while ((r = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        result = r == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
    }
    signal_action(SIGCHLD, old_chld);
    return result;
}
