#include "vxtest.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace vxtest {

static std::vector<std::string> build_env(const Options &opts)
{
    std::map<std::string, std::string> env;
    for (char **e = environ; *e; e++) {
        const char *eq = strchr(*e, '=');
        if (eq)
            env[std::string(static_cast<const char *>(*e), eq)] = eq + 1;
    }
    for (auto &u : opts.unset_env)
        env.erase(u);
    for (auto &[k, v] : opts.set_env)
        env[k] = v;
    std::vector<std::string> out;
    for (auto &[k, v] : env)
        out.push_back(k + "=" + v);
    return out;
}

static std::vector<char *> c_array(std::vector<std::string> &v)
{
    std::vector<char *> a;
    for (auto &s : v)
        a.push_back(s.data());
    a.push_back(nullptr);
    return a;
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string temp_dir(const std::string &tag)
{
    static int counter = 0;
    std::filesystem::path p = std::filesystem::temp_directory_path() /
                              ("vxtest-" + tag + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p.string();
}

Child start(const std::vector<std::string> &argv_in, const Options &opts)
{
    Child c;
    std::string dir = temp_dir("child");
    c.out_path = dir + "/out";
    c.err_path = dir + "/err";
    std::string in_path = dir + "/in";
    std::ofstream(in_path, std::ios::binary) << opts.input;
    std::vector<std::string> env = build_env(opts), argv = argv_in;
    auto envp = c_array(env);
    auto argvp = c_array(argv);
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(in_path.c_str(), O_RDONLY);
        int out = open(c.out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(c.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execve(argvp[0], argvp.data(), envp.data());
        dprintf(2, "exec %s: %s\n", argvp[0], strerror(errno));
        _exit(127);
    }
    c.pid = pid;
    return c;
}

std::string Child::out() const { return read_file(out_path); }
std::string Child::err() const { return read_file(err_path); }

bool Child::wait(std::chrono::milliseconds bound, Result &r)
{
    if (pid < 0)
        return false;
    int st = 0;
    bool done = wait_for([&] { return waitpid(pid, &st, WNOHANG) == pid; }, bound);
    if (!done)
        return false;
    pid = -1;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.signal = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
    r.out = out();
    r.err = err();
    return true;
}

void Child::kill_now()
{
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

Child::~Child()
{
    kill_now();
    if (!out_path.empty())
        std::filesystem::remove_all(std::filesystem::path(out_path).parent_path());
}

Result run(const std::vector<std::string> &argv, const Options &opts)
{
    Child c = start(argv, opts);
    Result r;
    if (!c.wait(opts.timeout, r)) {
        c.kill_now();
        r.timed_out = true;
        r.out = c.out();
        r.err = c.err();
    }
    return r;
}

bool wait_for(const std::function<bool()> &cond, std::chrono::milliseconds bound)
{
    auto end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (cond())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string install_dir()
{
    const char *d = getenv("VX_INSTALL_DIR");
    return d ? d : "";
}

}  // namespace vxtest
