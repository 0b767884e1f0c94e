// A line graph of 100,000 points into a PNG file and into an EPS file, the
// way the display window makes one (create, default format, kind, data,
// draw, close), beside gnuplot's png and postscript eps terminals plotting
// the same points.
//
// Both sides are timed the same way: whole processes that start, read the
// same file of points, plot, write the file and exit, run in turn (which
// runs first alternates); medians of the runs and of the pairs' ratios,
// with each file's bytes and picture size.  Beside that, the graph alone
// inside one process (dataset made beforehand, create to closed file).
//
//   bench_grkind [--points N] [--runs N] [--keep DIR] [--out FILE]
//   bench_grkind --plot png|eps POINTS OUT   is our side as a process.
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

std::string prolog_path;

// The graphics library with the PNG and EPS drivers and the graph model.
bool initialise()
{
    const std::string etc = std::string(VX_BENCH_BUILD) + "/etc";
    const std::string cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_grkind: cannot read the graphics configuration in %s\n", etc.c_str());
        return false;
    }
    gpinit_GInstallDriver();
    giinit_GInstallDriver();
    prolog_path = etc + "/prolog.ps";
    GoDisplayHooks h{};
    h.ps_prolog = [] { return prolog_path.c_str(); };
    go_set_display_hooks(&h);
    gomain_go_initialise_objects(nullptr);
    dsmgr_ds_init(nullptr, nullptr);
    return true;
}

// Our side as a process of its own: reads the points, plots them.
int plot_main(const char *format, const char *points, const char *out)
{
    std::vector<double> x, y;
    if (!initialise() || !vxbench::read_points(points, x, y)) {
        fprintf(stderr, "bench_grkind: cannot plot %s\n", points);
        return 1;
    }
    const int index = vxbench::points_dataset(x, y);
    if (index < 0)
        return 1;
    dscol_ds_characterise(1);
    dsmgr_ds_retain();
    return run_graph(index, strcmp(format, "png") ? 2 : 5, out) >= 0 ? 0 : 1;
}

void write_gnuplot_script(const std::string &script, bool png, const std::string &data, const std::string &out)
{
    std::ofstream g(script);
    g << (png ? "set terminal png size 432,648\n" : "set terminal postscript eps color\n") << "set output '" << out
      << "'\nunset key\nplot '" << data << "' with lines\n";
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && !strcmp(argv[1], "--plot"))
        return plot_main(argv[2], argv[3], argv[4]);
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
    if (!initialise())
        return 1;
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
    if (!vxbench::write_points(data, points)) {
        fprintf(stderr, "bench_grkind: cannot write %s\n", data.c_str());
        return 1;
    }
    const std::string self = vxbench::self_path();

    std::string report = "Line graph of " + std::to_string(points) + " points into PNG and EPS; medians of " +
                         std::to_string(runs) + " runs\n\n";
    report += "whole processes (start, read the same points file, plot, write the file), run in turn:\n";
    char line[512];
    for (int kind : {5, 2}) {
        const bool png = kind == 5;
        const std::string name = png ? "png" : "eps";
        const std::string ours = dir + "/graph." + name, theirs = dir + "/gnuplot." + name;
        const std::string script = dir + "/" + name + ".gp";
        write_gnuplot_script(script, png, data, theirs);
        const vxbench::Pair p = vxbench::run_pair({self, "--plot", name, data, ours}, {"gnuplot", script}, runs);
        const std::string shape_ours = png ? vxbench::png_shape(ours) : vxbench::eps_box(ours);
        const std::string shape_theirs = png ? vxbench::png_shape(theirs) : vxbench::eps_box(theirs);
        snprintf(line, sizeof line,
                 "  %s: ours %.3f s, %ld bytes (%s), peak %ld KB; gnuplot %.3f s, %ld bytes (%s), peak %ld KB; "
                 "ratio %.2f\n",
                 name.c_str(), p.a, file_size(ours), shape_ours.c_str(), p.a_peak_kb, p.b, file_size(theirs),
                 shape_theirs.c_str(), p.b_peak_kb, p.ratio);
        report += line;
    }
    report += "\nthe graph alone inside one process (dataset made beforehand, create to closed file):\n";
    for (int kind : {5, 2}) {
        const std::string name = kind == 5 ? "png" : "eps";
        std::vector<double> t;
        for (int r = 0; r < runs; r++)
            t.push_back(run_graph(dataset, kind, dir + "/split." + name));
        snprintf(line, sizeof line, "  %s: %.3f s\n", name.c_str(), vxbench::median(t));
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
