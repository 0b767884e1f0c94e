// A series of 100,000 points drawn as one polyline through the graphics
// kernel and the PostScript driver into an EPS file (the configured EPS
// device), beside gnuplot's "postscript eps" terminal plotting the same
// points, for a smooth and a noisy series.
//
// Both sides are timed the same way: whole processes that start, read the
// same file of points, draw, write the EPS file and exit, run in turn
// (which runs first alternates); medians of the runs and of the pairs'
// ratios, with each file's bytes and bounding box.  Beside that, the
// kernel's drawing alone inside one process.
//
//   bench_pelxps [--points N] [--runs N] [--keep DIR] [--out FILE]
//   bench_pelxps --draw POINTS OUT   is the kernel's side as a process.
#include "gpinit.h"
#include "pelx.h"
#include "vxbench.h"

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

bool initialise()
{
    std::string etc = std::string(VX_BENCH_BUILD) + "/etc";
    std::string cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_pelxps: cannot read the graphics configuration in %s\n", etc.c_str());
        return false;
    }
    gpinit_GInstallDriver();
    return true;
}

// The kernel's side as a process of its own: reads the "x y" lines of the
// points file (the x are 0, 1, 2 ...) and draws them.
int draw_main(const char *points, const char *out)
{
    FILE *f = fopen(points, "r");
    std::vector<double> y;
    double a, b;
    while (f && fscanf(f, "%lf %lf", &a, &b) == 2)
        y.push_back(b);
    if (f)
        fclose(f);
    if (y.size() < 2 || !initialise()) {
        fprintf(stderr, "bench_pelxps: cannot draw %s\n", points);
        return 1;
    }
    const int rc = run_pelx(y, out) >= 0 ? 0 : 1;
    GTerminate();
    return rc;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && !strcmp(argv[1], "--draw"))
        return draw_main(argv[2], argv[3]);
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
    if (!initialise())
        return 1;
    std::string dir = keep.empty()
                          ? (std::filesystem::temp_directory_path() / ("vx-bench-pelxps-" + std::to_string(getpid()))).string()
                          : keep;
    std::filesystem::create_directories(dir);
    const std::string self = vxbench::self_path();

    std::string report = "PostScript driver: " + std::to_string(points) + " points as one polyline into EPS; medians of " +
                         std::to_string(runs) + " runs\n\n";
    report += "whole processes (start, read the same points file, draw, write the EPS), run in turn:\n";
    char line[512];
    std::string split;
    for (bool noisy : {false, true}) {
        std::vector<double> y = series(points, noisy);
        std::string name = noisy ? "noisy" : "smooth";
        std::string ours = dir + "/" + name + ".eps", theirs = dir + "/" + name + "-gnuplot.eps";
        std::string data = dir + "/" + name + ".dat", script = dir + "/" + name + ".gp";
        {
            FILE *d = fopen(data.c_str(), "w");
            for (size_t i = 0; d && i < y.size(); i++)
                fprintf(d, "%zu %.17g\n", i, y[i]);
            if (!d || fclose(d) != 0) {
                fprintf(stderr, "bench_pelxps: cannot write %s\n", data.c_str());
                return 1;
            }
            std::ofstream g(script);
            g << "set terminal postscript eps color\nset output '" << theirs << "'\n"
              << "unset key\nplot '" << data << "' with lines\n";
        }
        const vxbench::Pair p = vxbench::run_pair({self, "--draw", data, ours}, {"gnuplot", script}, runs);
        long b = file_size(ours), bg = file_size(theirs);
        snprintf(line, sizeof line,
                 "  %-6s ours %.3f s, %ld bytes (%s); gnuplot %.3f s, %ld bytes (%s); time ratio %.2f, bytes ratio "
                 "%.2f\n",
                 name.c_str(), p.a, b, vxbench::eps_box(ours).c_str(), p.b, bg, vxbench::eps_box(theirs).c_str(),
                 p.ratio, static_cast<double>(b) / static_cast<double>(bg));
        report += line;
        std::vector<double> t;
        for (int r = 0; r < runs; r++)
            t.push_back(run_pelx(y, dir + "/split.eps"));
        snprintf(line, sizeof line, "  %-6s %.3f s\n", name.c_str(), vxbench::median(t));
        split += line;
    }
    report += "\nthe kernel and driver alone inside one process (points in memory, open to closed file):\n" + split;
    GTerminate();
    if (keep.empty())
        std::filesystem::remove_all(dir);
    fputs(report.c_str(), stdout);
    vxbench::write_report(out_file, report);
    return 0;
}
