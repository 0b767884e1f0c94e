// A line graph of 100,000 points from a dataset, made the way the display
// window makes one (create, default format, kind, data, draw, close), into
// a PNG file and into an EPS file, timed from the graph's creation to the
// closed file, in one process; beside gnuplot's png and postscript eps
// terminals plotting the same points from a file written beforehand, with
// the start of the gnuplot process included.  Times are the best of
// several runs, run in turn.
//
//   bench_grkind [--points N] [--runs N] [--keep DIR] [--out FILE]
#include "dsmgr.h"
#include "giinit.h"
#include "gomain.h"
#include "goprop.h"
#include "goshell.h"
#include "gpinit.h"
#include "grkind.h"
#include "qymgr.h"
#include "vxbench.h"
#include "vxbench_points.h"

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

// The points as the archive's current dataset, characterised (x, y) and
// kept.
int make_dataset(long n)
{
    const int index = vxbench::points_dataset(n);
    if (index < 0)
        return -1;
    dscol_ds_characterise(1);
    dsmgr_ds_retain();
    return index;
}

// Print kind 2 (EPS) or 5 (PNG) into `path`: create to closed file.
double run_graph(int dataset, int kind, const std::string &path)
{
    GoPrintSettings s{};
    s.kind = kind;
    s.destination = 1;
    snprintf(s.filename, sizeof s.filename, "%s", path.c_str());
    s.page_width = 8.5;
    s.page_height = 11;
    s.left = s.right = s.top = s.bottom = 1;
    s.image_option = 1;
    const auto t0 = std::chrono::steady_clock::now();
    if (gomain_go_set_device_type(kind, &s, 0) != 1)
        return -1;
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = nullptr;
    const int placement[4] = {0, 0, 600, 450};
    if (gomain_graph_class[0]->create(&g, nullptr, placement) != 1 || !g)
        return -1;
    g->format = &format;
    g->kind = 0;
    gomain_graph_class[0]->mutate(g, 0);
    g->first = g->last = dataset;
    gomain_graph_class[0]->setdata(g, dataset);
    uint64_t flags = 0;
    gomain_graph_class[0]->draw(g, GO_NEW_DATA, &flags);
    gostd_std_destroy_graph(g);
    gomain_go_close_device();
    const double t = seconds_since(t0);
    gomain_go_set_device_type(0, nullptr, 0);
    return file_size(path) > 0 ? t : -1;
}

double run_gnuplot(const std::string &data, const std::string &dir, bool png, const std::string &out)
{
    const std::string script = dir + (png ? "/png.gp" : "/eps.gp");
    {
        std::ofstream g(script);
        g << (png ? "set terminal png size 432,648\n" : "set terminal postscript eps color\n") << "set output '" << out
          << "'\nunset key\nplot '" << data << "' with lines\n";
    }
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("gnuplot", "gnuplot", script.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0)
        return -1;
    const double t = seconds_since(t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
}

std::string prolog_path;

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
    if (points < 2 || points > 2000000000 || runs < 1) {
        fprintf(stderr, "usage: bench_grkind [--points N] [--runs N] [--keep DIR] [--out FILE]\n");
        return 2;
    }
    const std::string etc = std::string(VX_BENCH_BUILD) + "/etc";
    const std::string cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_grkind: cannot read the graphics configuration in %s\n", etc.c_str());
        return 1;
    }
    gpinit_GInstallDriver();
    giinit_GInstallDriver();
    prolog_path = etc + "/prolog.ps";
    GoDisplayHooks h{};
    h.ps_prolog = [] { return prolog_path.c_str(); };
    go_set_display_hooks(&h);
    gomain_go_initialise_objects(nullptr);
    dsmgr_ds_init(nullptr, nullptr);
    const int dataset = make_dataset(points);
    if (dataset < 0) {
        fprintf(stderr, "bench_grkind: cannot make the dataset\n");
        return 1;
    }
    const std::string dir =
        keep.empty() ? (std::filesystem::temp_directory_path() / ("vx-bench-grkind-" + std::to_string(getpid()))).string()
                     : keep;
    std::filesystem::create_directories(dir);
    const std::string data = dir + "/points.dat";
    {
        std::ofstream d(data);
        for (long i = 0; i < points; i++)
            d << i << ' ' << vxbench::wave(i, points) << '\n';
    }

    std::string report = "Line graph of " + std::to_string(points) +
                         " points from a dataset, create to closed file, best of " + std::to_string(runs) +
                         " runs (gnuplot: process start, reading the points, plot)\n\n";
    char line[256];
    snprintf(line, sizeof line, "%-6s %12s %12s %12s %12s %8s\n", "file", "graph s", "graph bytes", "gnuplot s",
             "gnuplot b", "time x");
    report += line;
    for (int kind : {5, 2}) {
        const bool png = kind == 5;
        const std::string name = png ? "png" : "eps";
        const std::string ours = dir + "/graph." + name, theirs = dir + "/gnuplot." + name;
        double best = 1e9, best_g = 1e9;
        for (int r = 0; r < runs; r++) {
            const double t = run_graph(dataset, kind, ours), g = run_gnuplot(data, dir, png, theirs);
            if (t >= 0)
                best = std::min(best, t);
            if (g >= 0)
                best_g = std::min(best_g, g);
        }
        snprintf(line, sizeof line, "%-6s %12.4f %12ld %12.4f %12ld %8.2f\n", name.c_str(), best, file_size(ours), best_g,
                 file_size(theirs), best / best_g);
        report += line;
    }
    dsmgr_ds_init(nullptr, nullptr);
    GTerminate();
    if (keep.empty())
        std::filesystem::remove_all(dir);
    fputs(report.c_str(), stdout);
    vxbench::write_report(out_file, report);
    return 0;
}
