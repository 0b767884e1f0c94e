// What the kernel's benchmarks that time whole processes share: the clock,
// medians, and a process run to its end.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace benchkit {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs `args` to its end and gives the seconds it took; a process that
// fails ends the benchmark `bench` with a line saying which.
inline double run_process(const char *bench, const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    auto t = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double s = seconds_since(t);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "%s: %s failed\n", bench, args[0].c_str());
        exit(1);
    }
    return s;
}

}  // namespace benchkit
