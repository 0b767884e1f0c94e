// Signals, child processes, pipe and shell commands, environment lists.

#include "vxproc.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

volatile sig_atomic_t int_blocked_inside = -1;

void probe_mask(int)
{
    sigset_t now;
    sigprocmask(SIG_BLOCK, nullptr, &now);
    int_blocked_inside = sigismember(&now, SIGINT);
}

TEST(Signals, HandlerMaskAndPreviousHandler)
{
    static const int list[] = {SIGINT, 0, SIGQUIT};
    SignalHandler old = signal_action_mask(SIGUSR2, probe_mask, list);
    raise(SIGUSR2);
    EXPECT_EQ(int_blocked_inside, 1);
    EXPECT_EQ(signal_action(SIGUSR2, probe_mask), probe_mask);
    raise(SIGUSR2);
    EXPECT_EQ(int_blocked_inside, 0) << "no mask without a list";
    signal_action(SIGUSR2, old);

    sigset_t before, prev, now;
    signal_getmask(&before);
    signal_block(SIGUSR2, &prev);
    signal_getmask(&now);
    EXPECT_TRUE(sigismember(&now, SIGUSR2));
    signal_unblock(SIGUSR2, nullptr);
    signal_getmask(&now);
    EXPECT_FALSE(sigismember(&now, SIGUSR2));
    signal_setmask(&before);
}

TEST(Processes, WaitReapAndProbe)
{
    struct {
        int exit_code;
        int sig;
    } cases[] = {{0, 0}, {3, 0}, {0, SIGKILL}};
    for (auto &c : cases) {
        pid_t pid = fork();
        if (pid == 0) {
            if (c.sig)
                raise(c.sig);
            _exit(c.exit_code);
        }
        int status = -1, signalled = -1;
        ASSERT_EQ(wait_for_child(pid, 1, &status, &signalled), pid);
        EXPECT_EQ(status, c.exit_code);
        EXPECT_EQ(signalled, c.sig ? 1 : 0);
        EXPECT_EQ(check_proc(pid), 0);
        EXPECT_EQ(check_process(pid), 0);
    }
    EXPECT_EQ(check_proc(getpid()), 1);
    EXPECT_EQ(check_process(getpid()), 1);

    // Without blocking: 0 while the child runs, its pid once it ended.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        char b;
        close(fds[1]);
        ssize_t r = read(fds[0], &b, 1);
        _exit(r == 1 ? 5 : 6);
    }
    close(fds[0]);
    EXPECT_EQ(reap_child(pid, nullptr, nullptr), 0);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    close(fds[1]);
    int status = -1;
    ASSERT_TRUE(vxtest::wait_for([&] { return reap_child(pid, &status, nullptr) == pid; },
                                 std::chrono::seconds(10)));
    EXPECT_EQ(status, 5);
    EXPECT_EQ(wait_for_child(pid, 1, nullptr, nullptr), -1);
}

TEST(PipeCommands, ReadWriteAndStatus)
{
    EXPECT_EQ(close_pipe_fd(7), -1) << "no command runs";
    EXPECT_EQ(fclose_pipe(nullptr), 0);

    FILE *in = fopen_pipe(nullptr, nullptr, "echo one; echo two", 0);
    ASSERT_NE(in, nullptr);
    char line[64];
    std::string got;
    while (fgets(line, sizeof line, in))
        got += line;
    EXPECT_EQ(fclose_pipe(in), 0);
    EXPECT_EQ(got, "one\ntwo\n");

    std::string dir = vxtest::temp_dir("pipe");
    std::string cmd = "cat > " + dir + "/out";
    FILE *out = fopen_pipe("/bin/sh", "sh", cmd.c_str(), 1);
    ASSERT_NE(out, nullptr);
    fputs("written\n", out);
    EXPECT_EQ(fclose_pipe(out), 0);
    std::ifstream f(dir + "/out");
    std::getline(f, got);
    EXPECT_EQ(got, "written");

    // A failing command, and one that stops reading: SIGPIPE is ignored
    // meanwhile, so the writer sees an error instead of dying.
    int fd = open_pipe_fd(nullptr, nullptr, "exit 4", 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(close_pipe_fd(fd), -1);
    fd = open_pipe_fd(nullptr, nullptr, "exit 0", 1);
    ASSERT_GE(fd, 0);
    std::string big(1 << 20, 'x');
    ssize_t w;
    while ((w = write(fd, big.data(), big.size())) > 0) {
    }
    EXPECT_EQ(w, -1);
    EXPECT_EQ(errno, EPIPE);
    EXPECT_EQ(close_pipe_fd(fd), 0);
    EXPECT_EQ(signal_action(SIGPIPE, SIG_DFL), SIG_DFL) << "SIGPIPE restored";
    fs::remove_all(dir);
}

int waited_by_proc = 0;
int wait_proc(pid_t pid, int *status)
{
    int st;
    waitpid(pid, &st, 0);
    *status = WEXITSTATUS(st);
    waited_by_proc++;
    return 1;
}

TEST(ShellCommands, StatusEnvironmentAndWaitProcedure)
{
    const char *path, *name;
    enquire_shell(&path, &name);
    EXPECT_STREQ(name, strrchr(path, '/') + 1);

    EXPECT_EQ(do_shell_escape(nullptr, nullptr, ""), 0);
    EXPECT_EQ(do_shell_escape(nullptr, nullptr, "exit 0"), 0);
    EXPECT_EQ(do_shell_escape(nullptr, nullptr, "exit 2"), -1);
    int status = -1;
    EXPECT_EQ(do_shell_escape_env_rc(nullptr, nullptr, "exit 2", nullptr, &status), 0);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(do_shell_escape("/no/such/shell", "shell", "exit 0"), -1);
    EXPECT_EQ(do_shell_escape(nullptr, nullptr, "kill -9 $$"), -1);

    std::string dir = vxtest::temp_dir("shell");
    char *env[] = {const_cast<char *>("FOO=bar"), nullptr};
    std::string cmd = "echo \"$FOO$HOME\" > " + dir + "/env";
    EXPECT_EQ(do_shell_escape_env("/bin/sh", "sh", cmd.c_str(), env), 0);
    std::string got;
    std::getline(std::ifstream(dir + "/env"), got);
    EXPECT_EQ(got, "bar") << "only the given environment";

    set_shell_wait_proc(wait_proc);
    EXPECT_EQ(do_shell_escape_env_rc(nullptr, nullptr, "exit 6", nullptr, &status), 0);
    EXPECT_EQ(status, 6);
    EXPECT_EQ(waited_by_proc, 1);
    set_shell_wait_proc(nullptr);
    fs::remove_all(dir);
}

std::vector<std::string> texts(char **list)
{
    std::vector<std::string> v;
    for (int i = 0; list && list[i]; i++)
        v.push_back(list[i]);
    return v;
}

TEST(EnvironmentLists, CopySetDelete)
{
    char *base[] = {const_cast<char *>("PATHX=1"), const_cast<char *>("PATH=/bin"), const_cast<char *>("A=b"),
                    nullptr};
    char **env = nullptr;
    ASSERT_EQ(copy_env(base, &env), 0);
    EXPECT_EQ(texts(env), texts(base));

    EXPECT_EQ(set_env(&env, "=x"), -1);
    EXPECT_EQ(set_env(&env, "novalue"), -1);
    EXPECT_EQ(texts(env), texts(base));

    EXPECT_EQ(set_env(&env, "A=c"), 0);
    EXPECT_EQ(set_env(&env, "NEW=1"), 0);
    EXPECT_EQ(texts(env), (std::vector<std::string>{"PATHX=1", "PATH=/bin", "A=c", "NEW=1"}));

    // Compared over the name's length: PATHX goes first.
    EXPECT_EQ(delete_env(&env, "PATH"), 0);
    EXPECT_EQ(texts(env), (std::vector<std::string>{"PATH=/bin", "A=c", "NEW=1"}));
    EXPECT_EQ(delete_env(&env, "NOPE"), 0);
    EXPECT_EQ(texts(env).size(), 3u);
    free_env(env);

    EXPECT_EQ(put_env_str("VX_PROC_TEST", "v1"), 0);
    EXPECT_STREQ(getenv("VX_PROC_TEST"), "v1");
}

TEST(FileSystem, HostAndBlockSizes)
{
    char host[64];
    EXPECT_EQ(get_host_name(host, sizeof host), 1);
    EXPECT_GT(strlen(host), 0u);
    std::string dir = vxtest::temp_dir("blk") + "/";
    EXPECT_GT(fs_blksize(dir.c_str()), 0);
    EXPECT_EQ(fs_blksize("/no/such/file"), -1);
    EXPECT_GT(get_blocksize(dir.c_str()), 0);
    EXPECT_TRUE(fs::is_empty(dir)) << "the probe file is removed";
    EXPECT_EQ(get_blocksize("/no/such/dir/"), -1);
    fs::remove_all(dir);
}

}  // namespace
