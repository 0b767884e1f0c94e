// Satellite programs the interpreter asks the client to run.

#include "qysched_int.h"

using namespace qy;

namespace qy {

// ---- satellite programs --------------------------------------------------------

std::vector<std::string> split_words(const std::string &text, size_t max)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size() && words.size() < max) {
        while (i < text.size() && text[i] == ' ')
            i++;
        size_t j = i;
        while (j < text.size() && text[j] != ' ')
            j++;
        if (j > i)
            words.push_back(text.substr(i, j - i));
        i = j;
    }
    return words;
}

bool file_exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}


void run_satellite(Connection *c, const std::string &command, const uint8_t flags[4], const unsigned char *area,
                   int area_len)
{
    const int saved_in_query = c->in_query;
    c->busy = 0;  // the interpreter is done with the request: it waits for us now
    c->in_query = 0;
    lib.in_callback = 1;
    for (std::string &l : lib.satellite_lines)
        l.clear();
    auto fork_proc = reinterpret_cast<DozForkProc>(lib.callbacks[DOZ_CB_FORK]);
    std::vector<std::string> words = split_words(command, 40);
    int code = 0, code2 = 0, code3 = 0;
    if (words.empty()) {
        code = 19;
        code2 = 21;
    }
    std::string path;
    if (!words.empty()) {
        const std::string &prog = words[0];
        std::string last = vx::basename(prog.c_str());
        std::string in_client = lib.client_dir + "/bin/bin.SUN4SOLARIS/" + (flags[0] ? prog : last);
        if (flags[0])
            path = prog[0] == '/' ? prog : file_exists(in_client) ? in_client : lib.install_dir + "/bin/" + prog;
        else
            path = file_exists(in_client) ? in_client : lib.install_dir + "/" + prog;
    }
    lib.in_satellite_start = 1;
    sigset_t before;
    signal_getmask(&before);
    if (flags[1])
        signal_block(SIGINT, nullptr);

    std::vector<std::string> args;
    int err_pipe[2] = {-1, -1};
    bool started = false;
    int exit_status = 0, signalled = 0, exec_errno = 0;
    char **env = nullptr;
    int how = 0;
    if (!words.empty() && fork_proc)
        how = fork_proc(0, flags[1], flags[2], area, &env);
    if (!words.empty() && how != -1 && pipe(err_pipe) == 0) {
        fcntl(err_pipe[0], F_SETFD, FD_CLOEXEC);
        args = {vx::basename(path.c_str()), "-q", std::to_string(c->msqid), "-m", std::to_string(c->shmid),
                "-p", std::to_string(c->pid), "-e", std::to_string(err_pipe[1])};
        for (const std::string &w : split_words(lib.fork_option, 40))
            args.push_back(w);
        for (size_t i = 1; i < words.size(); i++)
            args.push_back(words[i]);
        if (args.size() > 40)
            args.resize(40);
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        signal_block(SIGINT, nullptr);
        // Only the error pipe stays open in the satellite.
        VxSpawnOptions o;
        o.env = env;
        o.new_session = how == 1;
        o.default_signals[0] = SIGINT;
        o.set_mask = true;
        o.close_others = true;
        o.keep[0] = err_pipe[1];
        pid_t pid = vx_spawn(path.c_str(), argv.data(), o, &exec_errno);
        int fork_errno = errno;
        close(err_pipe[1]);
        if (pid < 0) {
            code = 16;
            code2 = fork_errno == ENOMEM ? 22 : fork_errno == EAGAIN ? 23 : 0;
        } else {
            started = true;
            c->satellite_pid = pid;
            if (!flags[1])
                signal_unblock(SIGINT, nullptr);
            int st = 0;
            if (!(lib.subc_wait_proc && lib.subc_wait_proc(pid, &st))) {
                wait_for_child(pid, 1, &exit_status, &signalled);
            } else {
                exit_status = st;
            }
            char text[247];
            size_t n = 0;
            ssize_t r;
            while (n < 246 && (r = read_some(err_pipe[0], text + n, 246 - n)) > 0)
                n += static_cast<size_t>(r);
            text[n] = '\0';
            std::string all(text, n);
            for (int i = 0, at = 0; i < 3 && at <= static_cast<int>(all.size()); i++) {
                size_t nl = all.find('\n', static_cast<size_t>(at));
                std::string line = all.substr(static_cast<size_t>(at), nl == std::string::npos ? std::string::npos : nl - at);
                lib.satellite_lines[i] = line.substr(0, 80);
                if (nl == std::string::npos)
                    break;
                at = static_cast<int>(nl) + 1;
            }
        }
        close(err_pipe[0]);
    } else if (!words.empty() && how != -1) {
        code = 16;
    }
    if (!words.empty() && fork_proc && how != -1)
        fork_proc(1, flags[1], flags[3], nullptr, nullptr);

    if (started) {
        doz_reattach(c->cid);
        clear_status(c);
        char text[64];
        snprintf(text, sizeof text, "create var %%exitstatus %d", exit_status);
        send_query_forced_wait(c, text);
        clear_status(c);
        if (exec_errno) {
            code = 19;
            code2 = exec_errno == ENOENT || exec_errno == ENOTDIR ? 21
                    : exec_errno == ENOMEM                         ? 22
                    : exec_errno == EAGAIN                         ? 23
                    : exec_errno == EACCES                         ? 20
                                                                   : 0;
        } else if (signalled) {
            code = 24;
        } else if (exit_status != 0) {
            code = 17;
            if (!lib.satellite_lines[1].empty())
                code2 = 99;
            if (!lib.satellite_lines[2].empty())
                code3 = 93;
        }
    }
    if (code) {
        c->status[DOZ_ST_ERROR] = 1;
        c->status[DOZ_ST_CODE] = code;
        c->status[DOZ_ST_CODE2] = code2;
        c->status[DOZ_ST_CODE3] = code3;
    }
    lib.in_satellite_start = 0;
    c->satellite_pid = -1;
    signal_setmask(&before);
    lib.in_callback = 0;
    c->in_query = saved_in_query;
    c->busy = 1;  // finished by the caller as for an acknowledgement
}


}  // namespace qy

void query_set_fork_option(const char *text) { lib.fork_option = text ? text : ""; }

void doz_set_subc_wait_proc(DozSubcWaitProc proc) { lib.subc_wait_proc = proc; }
