// A series of 100,000 points drawn as one polyline through the graphics
// kernel and the PostScript driver into an EPS file (the configured EPS
// device), beside gnuplot's "postscript eps" terminal plotting the same
// points, for a smooth and a noisy series.  Times are the best of several
// runs; gnuplot's include starting the program and reading its data file
// (written beforehand).  Sizes are the files' bytes.
//
//   bench_pelxps [--points N] [--runs N] [--keep DIR] [--out FILE]
#include "gpinit.h"
#include "pelx.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

long file_size(const std::string &path)
{
    std::error_code ec;
    auto n = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<long>(n);
}

struct Lcg {
    unsigned long long s = 20261210ULL;
    double uniform()
    {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(s >> 11) / 9007199254740992.0;
    }
};

std::vector<double> series(long n, bool noisy)
{
    std::vector<double> y(static_cast<size_t>(n));
    Lcg r;
    for (long i = 0; i < n; i++) {
        double x = 6 * M_PI * static_cast<double>(i) / static_cast<double>(n);
        y[static_cast<size_t>(i)] = std::sin(x) * (1 - 0.3 * std::cos(x / 3)) + (noisy ? 0.4 * (r.uniform() - 0.5) : 0);
    }
    return y;
}

// The kernel's way: the EPS device of the configuration, a canvas whose
// world is the data's range, one polyline of world points.
double run_pelx(const std::vector<double> &y, const std::string &out)
{
    long n = static_cast<long>(y.size());
    auto t0 = std::chrono::steady_clock::now();
    GDeviceEntry e{};
    if (GGetDevice(2, &e) != 0)
        return -1;
    snprintf(e.modes.filename, sizeof e.modes.filename, "%s", out.c_str());
    e.modes.output = 0;
    GDeviceRecord *d = GOpenDevice(e.mask | GDM_FILENAME | GDM_OUTPUT, &e.modes, e.tables);
    if (!d) {
        gdev_GFreeDeviceEntry(&e);
        return -1;
    }
    GCanvasModes cm{};
    cm.coords = GCS_WC;
    cm.world[0] = 0;
    cm.world[1] = -1.6;
    cm.world[2] = 0;
    cm.world[3] = static_cast<double>(n - 1);
    cm.world[4] = 1.6;
    cm.world[5] = 1;
    GCanvasRecord *c = GOpenCanvas(d, GCM_COORDS | GCM_WORLD, &cm);
    std::vector<double> xs(static_cast<size_t>(n));
    for (long i = 0; i < n; i++)
        xs[static_cast<size_t>(i)] = static_cast<double>(i);
    GVector v{GV_DOUBLE, 1, 2, n, {xs.data(), const_cast<double *>(y.data()), nullptr}};
    if (c)
        gdraw_GDrawPolyLine(c, &v);
    int r = GCloseDevice(d);
    double t = seconds_since(t0);
    return c && r == 0 ? t : -1;
}

double run_gnuplot(const std::vector<double> &y, const std::string &dir, const std::string &out)
{
    std::string data = dir + "/series.dat", script = dir + "/plot.gp";
    {
        std::ofstream d(data);
        for (size_t i = 0; i < y.size(); i++)
            d << i << ' ' << y[i] << '\n';
        std::ofstream g(script);
        g << "set terminal postscript eps color\nset output '" << out << "'\n"
          << "unset key\nplot '" << data << "' with lines\n";
    }
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("gnuplot", "gnuplot", script.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0)
        return -1;
    double t = seconds_since(t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
}

}  // namespace

int main(int argc, char **argv)
{
    long points = 100000;
    int runs = 5;
    std::string keep, out_file = VX_BENCH_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--points"))
            points = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--runs"))
            runs = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--keep"))
            keep = argv[i + 1];
        else if (!strcmp(argv[i], "--out"))
            out_file = argv[i + 1];
    }
    if (points < 2 || runs < 1) {
        fprintf(stderr, "usage: bench_pelxps [--points N] [--runs N] [--keep DIR] [--out FILE]\n");
        return 2;
    }
    std::string etc = std::string(VX_BENCH_BUILD) + "/etc";
    std::string cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_pelxps: cannot read the graphics configuration in %s\n", etc.c_str());
        return 1;
    }
    gpinit_GInstallDriver();
    std::string dir = keep.empty()
                          ? (std::filesystem::temp_directory_path() / ("vx-bench-pelxps-" + std::to_string(getpid()))).string()
                          : keep;
    std::filesystem::create_directories(dir);

    std::string report = "PostScript driver: " + std::to_string(points) +
                         " points as one polyline into EPS, best of " + std::to_string(runs) + " runs\n\n";
    char line[256];
    snprintf(line, sizeof line, "%-8s %12s %12s %12s %12s %8s %8s\n", "series", "pelx s", "pelx bytes", "gnuplot s",
             "gnuplot b", "time x", "bytes x");
    report += line;
    for (bool noisy : {false, true}) {
        std::vector<double> y = series(points, noisy);
        std::string name = noisy ? "noisy" : "smooth";
        std::string ours = dir + "/" + name + ".eps", theirs = dir + "/" + name + "-gnuplot.eps";
        double best = 1e9, best_g = 1e9;
        for (int r = 0; r < runs; r++) {
            double t = run_pelx(y, ours), g = run_gnuplot(y, dir, theirs);
            if (t >= 0)
                best = std::min(best, t);
            if (g >= 0)
                best_g = std::min(best_g, g);
        }
        long b = file_size(ours), bg = file_size(theirs);
        snprintf(line, sizeof line, "%-8s %12.4f %12ld %12.4f %12ld %8.2f %8.2f\n", name.c_str(), best, b, best_g, bg,
                 best / best_g, static_cast<double>(b) / static_cast<double>(bg));
        report += line;
    }
    GTerminate();
    if (keep.empty())
        std::filesystem::remove_all(dir);
    fputs(report.c_str(), stdout);
    std::filesystem::create_directories(std::filesystem::path(out_file).parent_path());
    std::ofstream(out_file) << report;
    printf("written to %s\n", out_file.c_str());
    return 0;
}
