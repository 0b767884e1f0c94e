// Shared by the benchmarks that run queries through the interpreter just
// built: its private server directory; and by all: the written report.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vxbench {

// A private server directory holding a copy of the interpreter at
// `tqlserver` with the modes and the user file the client checks, named by
// DOZ_SERVER_DIR for the client; no QYINT overrides it.
inline std::filesystem::path private_server(const char *tqlserver)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("vx-bench-server-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file(tqlserver, dir / "tqlserver", fs::copy_options::overwrite_existing);
    chmod((dir / "tqlserver").c_str(), 06755);
    std::ofstream(dir / ".orvanta_user") << getpwuid(getuid())->pw_name << "\n" << getgrgid(getgid())->gr_name << "\n";
    setenv("DOZ_SERVER_DIR", dir.c_str(), 1);
    unsetenv("QYINT");
    return dir;
}

// Writes the report to `out`, making its directory, and says where.
inline void write_report(const std::string &out, const std::string &report)
{
    namespace fs = std::filesystem;
    fs::create_directories(fs::path(out).parent_path());
    std::ofstream(out) << report;
    printf("written to %s\n", out.c_str());
}

// Removes the server directory and writes the report to `out`.
inline void finish(const std::filesystem::path &dir, const std::string &out, const std::string &report)
{
    std::filesystem::remove_all(dir);
    write_report(out, report);
}

// The median of the figures (-1 for none).
inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? -1.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One whole process run to its end: its elapsed time (negative when it
// could not run or failed) and its peak memory.
struct Run {
    double seconds;
    long peak_kb;
};
inline Run run_process(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage use {};
    if (pid < 0 || wait4(pid, &status, 0, &use) < 0)
        return {-1.0, 0};
    const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1.0, use.ru_maxrss};
}

// This program's own path, for running one of its sides as a process.
inline std::string self_path()
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
}

// Two commands as whole processes, `runs` times in turn (which goes first
// alternates): the medians of each side, of the pairs' ratios (a / b), and
// each side's peak memory.  A side that fails leaves its figures at -1.
struct Pair {
    double a = -1, b = -1, ratio = -1;
    long a_peak_kb = 0, b_peak_kb = 0;
};
inline Pair run_pair(const std::vector<std::string> &a, const std::vector<std::string> &b, int runs)
{
    std::vector<double> ta, tb, ratios;
    Pair p;
    for (int r = 0; r < runs; r++) {
        Run x, y;
        if (r % 2 == 0) {
            x = run_process(a);
            y = run_process(b);
        } else {
            y = run_process(b);
            x = run_process(a);
        }
        if (x.seconds >= 0)
            ta.push_back(x.seconds);
        if (y.seconds >= 0)
            tb.push_back(y.seconds);
        if (x.seconds >= 0 && y.seconds > 0)
            ratios.push_back(x.seconds / y.seconds);
        p.a_peak_kb = std::max(p.a_peak_kb, x.peak_kb);
        p.b_peak_kb = std::max(p.b_peak_kb, y.peak_kb);
    }
    p.a = median(ta);
    p.b = median(tb);
    p.ratio = median(ratios);
    return p;
}

// A PNG file's size and colour type from its header ("2000 x 1500 RGB");
// what the file is when it is no PNG.
inline std::string png_shape(const std::string &path)
{
    unsigned char h[26] = {};
    FILE *f = fopen(path.c_str(), "rb");
    const size_t n = f ? fread(h, 1, sizeof h, f) : 0;
    if (f)
        fclose(f);
    if (n < sizeof h || h[1] != 'P' || h[2] != 'N' || h[3] != 'G')
        return "not a PNG";
    auto be32 = [&](int at) { return (long(h[at]) << 24) | (long(h[at + 1]) << 16) | (long(h[at + 2]) << 8) | h[at + 3]; };
    const char *type = h[25] == 0 ? "grey" : h[25] == 2 ? "RGB" : h[25] == 3 ? "palette" : h[25] == 4 ? "grey+alpha"
                                                                                        : h[25] == 6 ? "RGBA" : "?";
    return std::to_string(be32(16)) + " x " + std::to_string(be32(20)) + " " + std::to_string(h[24]) + "-bit " + type;
}

// An EPS file's bounding box ("%%BoundingBox: 0 0 432 648"), or "".
inline std::string eps_box(const std::string &path)
{
    std::ifstream f(path);
    std::string line;
    for (int i = 0; i < 40 && std::getline(f, line); i++)
        if (line.rfind("%%BoundingBox:", 0) == 0)
            return "box" + line.substr(14);
    return "";
}

}  // namespace vxbench
