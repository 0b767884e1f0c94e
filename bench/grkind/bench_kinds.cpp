// The chart kinds into PNG and EPS files, the way the display window makes
// a graph (create, default format, kind, data, properties, draw, close),
// beside gnuplot plotting the same data with its nearest style: 100,000
// points as scatter (`points`), impulse (`impulses`), vector (`vectors`
// from the origin) and high-low (`financebars`, open = high, close = low);
// 1000 categories of 50 stacked datasets (`histogram rowstacked`); 1000
// horizontal bars (`boxxyerror`); a shaded surface of 10,000 points on a
// 100 x 100 grid (`set pm3d lighting`, `splot ... with pm3d`); 100,000
// hourly points as a trend (`set xdata time`, `linespoints`) and as trend
// bars (`boxes`); 100,000 values on normal paper (gnuplot given them
// sorted, `invnorm` of the rank `with points`; our sort is timed).
//
// Both sides are whole processes that start, read the same data file,
// plot, write the file and exit, run in turn (which runs first
// alternates); medians of the runs and of the pairs' ratios.
//
//   bench_kinds [--runs N] [--keep DIR] [--out FILE] [ROW...]
//   bench_kinds --plot ROW png|eps DATA OUT   is our side as a process.
#include "dozrow.h"
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

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Columns = std::vector<std::vector<double>>;

// The columns `which` (in that order) as a query result of REAL columns,
// characterised for `order` and kept; its index, or -1.
int columns_dataset(const Columns &cols, std::vector<size_t> which, int order)
{
    const size_t nc = which.size(), n = nc ? cols[which[0]].size() : 0;
    std::vector<DozColDesc> desc(nc);
    for (size_t c = 0; c < nc; c++) {
        desc[c] = DozColDesc{};
        desc[c].type = DOZ_T_REAL;
        desc[c].width = 10;
        desc[c].precision = 2;
        snprintf(desc[c].name, sizeof desc[c].name, "C%zu", c);
    }
    DozLayout l;
    if (!nc || !doz_layout(desc, true, l))
        return -1;
    const int head = doz_header_bytes(static_cast<int>(nc), true);
    std::vector<unsigned char> buffer(static_cast<size_t>(head) + n * l.row_size + 64, 0);
    doz_put_table(buffer.data(), desc, l.row_align);
    for (size_t i = 0; i < n; i++) {
        unsigned char *row = buffer.data() + head + i * l.row_size;
        for (size_t c = 0; c < nc; c++)
            doz_put(row, l.fields[c], &cols[which[c]][i], 1, true);
    }
    qymgr_qy_fake_query(buffer.data(), static_cast<int>(n), static_cast<int>(buffer.size()));
    const int index = dsmgr_ds_current();
    dscol_ds_characterise(order);
    dsmgr_ds_retain();
    return index;
}

// The data file's lines as columns (the file read whole, as gnuplot reads
// it: numbers separated by blanks, one row a line).
bool read_columns(const char *path, Columns &cols)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    std::string text(ec ? 0 : size, '\0');
    const size_t got = text.empty() ? 0 : fread(text.data(), 1, text.size(), f);
    fclose(f);
    text.resize(got);
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    const char *p = text.c_str();
    size_t c = 0;
    while (*p) {
        if (*p == '\n') {
            c = 0;
            p++;
            continue;
        }
        if (*p == ' ' || *p == '\t' || *p == '\r') {
            p++;
            continue;
        }
        char *end = nullptr;
        const double v = strtod(p, &end);
        if (end == p)
            return false;
        p = end;
        if (cols.size() <= c) {
            cols.emplace_back();
            cols.back().reserve(lines);
        }
        cols[c++].push_back(v);
    }
    return !cols.empty() && !cols[0].empty();
}

struct Row {
    const char *name;
    int kind;
    const char *gnuplot;  // the plot command, %s the data file
};

const Row rows[] = {
    {"scatter", 1, "plot '%s' with points pt 1"},
    {"impulse", 2, "plot '%s' with impulses"},
    {"vector", 4, "plot '%s' using (0):(0):1:2 with vectors"},
    {"high-low", 3, "plot '%s' using 1:2:3:2:3 with financebars"},
    {"stacked-bar", 5,
     "set style data histograms\nset style histogram rowstacked\nset style fill solid\nplot for [i=2:51] '%s' using i"},
    {"horizontal-bar", 6, "plot '%s' using ($2/2):1:($2/2):(0.4) with boxxyerror"},
    {"shaded-surface", 15, "set pm3d lighting\nsplot '%s' using 1:2:3 with pm3d"},
    {"trend", 11, "set xdata time\nset timefmt '%%s'\nplot '%s' using 1:2 with linespoints pt 1"},
    {"trend-bar", 20, "set xdata time\nset timefmt '%%s'\nset style fill solid\nplot '%s' using 1:2 with boxes"},
    // gnuplot is given the values sorted; ours sorts them.
    {"probability", 13, "plot '%s.sorted' using (invnorm(($0+1)/100001.0)):1 with points pt 1"},
};

const Row *row_named(const std::string &name)
{
    for (const Row &r : rows)
        if (name == r.name)
            return &r;
    return nullptr;
}

// The data of each row, written as gnuplot reads it.
bool write_data(const Row &r, const std::string &path)
{
    FILE *f = fopen(path.c_str(), "w");
    if (!f)
        return false;
    const std::string name = r.name;
    if (name == "stacked-bar") {
        for (int k = 0; k < 1000; k++) {
            fprintf(f, "%d", k);
            for (int s = 0; s < 50; s++)
                fprintf(f, " %.6g", 1 + 0.5 * vxbench::wave(k * 50 + s, 50000) + 0.1 * (s % 7));
            fputc('\n', f);
        }
    } else if (name == "horizontal-bar") {
        for (int k = 0; k < 1000; k++)
            fprintf(f, "%d %.6g\n", k, 10 * vxbench::wave(k, 1000));
    } else if (name == "shaded-surface") {
        // 10,000 points on a 100 x 100 grid: x, z, then the value; a blank
        // line after each row of x, as gnuplot's surfaces read them.
        for (int i = 0; i < 100; i++) {
            for (int k = 0; k < 100; k++)
                fprintf(f, "%d %d %.6g\n", i, k, 10 * vxbench::wave(i * 100 + k, 10000) + 0.001 * (i - 50) * (k - 50));
            fputc('\n', f);
        }
    } else if (name == "high-low") {
        for (long i = 0; i < 100000; i++) {
            const double m = vxbench::wave(i, 100000), spread = 0.1 + 0.05 * std::fabs(vxbench::wave(i * 7, 100000));
            fprintf(f, "%ld %.9g %.9g\n", i, m + spread, m - spread);
        }
    } else if (name == "trend" || name == "trend-bar") {
        // Hourly from 2024-01-01.
        for (long i = 0; i < 100000; i++)
            fprintf(f, "%ld %.9g\n", 1704067200L + 3600 * i, 10 + vxbench::wave(i, 100000));
    } else if (name == "probability") {
        std::vector<double> v;
        for (long i = 0; i < 100000; i++)
            v.push_back(vxbench::wave(i * 7919, 100000) + 0.001 * static_cast<double>(i % 1000));
        for (double x : v)
            fprintf(f, "%.9g\n", x);
        std::sort(v.begin(), v.end());
        FILE *sorted = fopen((path + ".sorted").c_str(), "w");
        if (!sorted) {
            fclose(f);
            return false;
        }
        for (double x : v)
            fprintf(sorted, "%.9g\n", x);
        if (fclose(sorted) != 0) {
            fclose(f);
            return false;
        }
    } else {
        for (long i = 0; i < 100000; i++)
            fprintf(f, "%ld %.9g\n", i, vxbench::wave(i, 100000));
    }
    return fclose(f) == 0;
}

std::string prolog_path;

bool initialise()
{
    const std::string etc = std::string(VX_BENCH_BUILD) + "/etc";
    const std::string cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_kinds: cannot read the graphics configuration in %s\n", etc.c_str());
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

// Our side: the row's datasets from the file, the graph into `out`.
int plot_main(const Row &r, bool png, const char *data, const char *out)
{
    Columns cols;
    if (!initialise() || !read_columns(data, cols)) {
        fprintf(stderr, "bench_kinds: cannot plot %s\n", data);
        return 1;
    }
    const std::string name = r.name;
    int first = -1, last = -1;
    if (name == "stacked-bar") {
        for (size_t s = 1; s < cols.size(); s++) {
            last = columns_dataset(cols, {0, s}, 1);
            first = first < 0 ? last : first;
        }
    } else if (name == "high-low") {
        first = last = columns_dataset(cols, {1, 2, 0}, 3);  // high, low, x
    } else if (name == "shaded-surface") {
        first = last = columns_dataset(cols, {0, 2, 1}, 1);  // x, the value, z
    } else if (name == "horizontal-bar") {
        first = last = columns_dataset(cols, {1, 0}, 1);  // the value on x, the category on y
    } else if (name == "probability") {
        first = last = columns_dataset(cols, {0}, 3);  // the values alone
    } else {
        first = last = columns_dataset(cols, {0, 1}, 1);
    }
    if (first < 0)
        return 1;
    const int kind = png ? 5 : 2;
    GoPrintSettings s{};
    s.kind = kind;
    s.destination = 1;
    snprintf(s.filename, sizeof s.filename, "%s", out);
    s.page_width = 8.5;
    s.page_height = 11;
    s.left = s.right = s.top = s.bottom = 1;
    s.image_option = 1;
    if (gomain_go_set_device_type(kind, &s, 0) != 1)
        return 1;
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph *g = nullptr;
    const int placement[4] = {0, 0, 600, 450};
    if (gomain_graph_class[0]->create(&g, nullptr, placement) != 1 || !g)
        return 1;
    g->format = &format;
    g->kind = r.kind;
    gomain_graph_class[r.kind]->mutate(g, 0);
    g->first = first;
    g->last = last;
    int zero = 0, one = 1, two = 2;
    for (int d = first; d <= last; d++)
        goprop_go_set_property(g, GP_ASLINE, d - first, &zero);
    goprop_go_set_property(g, GP_MARKERSTYLE, 0, &one);
    if (name == "stacked-bar")
        goprop_go_set_property(g, GP_BARTYPE, 0, &one);
    if (name == "shaded-surface") {
        // Coloured by value, lit and rendered shaded, on a grid of the data's.
        int automatic = -1, hundred = 100;
        goprop_go_set_property(g, GP_COLOUR, 0, &automatic);
        goprop_go_set_property(g, GP_COLOURSURF, 0, &two);
        goprop_go_set_property(g, GP_SHADEMETHOD, 0, &one);
        goprop_go_set_property(g, GP_GRIDX, 0, &hundred);
        goprop_go_set_property(g, GP_GRIDZ, 0, &hundred);
    }
    if (name == "trend") {
        goprop_go_set_property(g, GP_USEMARKERS, 0, &one);
        goprop_go_set_property(g, GP_MARKERJOIN, 0, &one);
    }
    if (name == "probability")
        goprop_go_set_property(g, GP_LINESCAT_OPT, 0, &two);
    for (int d = first; d <= last; d++)
        gomain_graph_class[r.kind]->setdata(g, d);
    uint64_t flags = 0;
    gomain_graph_class[r.kind]->draw(g, GO_PROPERTIES, &flags);
    gostd_std_destroy_graph(g);
    gomain_go_close_device();
    gomain_go_set_device_type(0, nullptr, 0);
    std::error_code ec;
    return std::filesystem::file_size(out, ec) > 0 && !ec ? 0 : 1;
}

void write_gnuplot_script(const std::string &script, const Row &r, bool png, const std::string &data,
                          const std::string &out)
{
    std::ofstream g(script);
    char plot[512];
    snprintf(plot, sizeof plot, r.gnuplot, data.c_str());
    g << (png ? "set terminal png size 432,648\n" : "set terminal postscript eps color\n") << "set output '" << out
      << "'\nunset key\n" << plot << "\n";
}

long file_size(const std::string &path)
{
    std::error_code ec;
    auto n = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<long>(n);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 6 && !strcmp(argv[1], "--plot")) {
        const Row *r = row_named(argv[2]);
        return r ? plot_main(*r, !strcmp(argv[3], "png"), argv[4], argv[5]) : 2;
    }
    int runs = 5;
    std::string keep, out_file = VX_BENCH_RESULTS;
    std::vector<const Row *> chosen;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--keep") && i + 1 < argc)
            keep = argv[++i];
        else if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out_file = argv[++i];
        else if (const Row *r = row_named(argv[i]))
            chosen.push_back(r);
        else
            runs = 0;
    }
    if (runs < 1) {
        fprintf(stderr, "usage: bench_kinds [--runs N] [--keep DIR] [--out FILE] [ROW...]\n");
        return 2;
    }
    if (chosen.empty())
        for (const Row &r : rows)
            chosen.push_back(&r);
    const std::string dir =
        keep.empty() ? (std::filesystem::temp_directory_path() / ("vx-bench-kinds-" + std::to_string(getpid()))).string()
                     : keep;
    std::filesystem::create_directories(dir);
    const std::string self = vxbench::self_path();
    std::string report = "Chart kinds into PNG and EPS beside gnuplot on the same data; whole processes (start, read "
                         "the same data file, plot, write the file), in turn; medians of " +
                         std::to_string(runs) + " runs and of the pairs' ratios (ours / gnuplot)\n\n";
    char line[512];
    for (const Row *r : chosen) {
        const std::string data = dir + "/" + r->name + ".dat";
        if (!write_data(*r, data)) {
            fprintf(stderr, "bench_kinds: cannot write %s\n", data.c_str());
            return 1;
        }
        for (bool png : {true, false}) {
            const std::string ext = png ? "png" : "eps";
            const std::string ours = dir + "/" + r->name + "." + ext, theirs = dir + "/" + r->name + "-gnuplot." + ext;
            const std::string script = dir + "/" + r->name + "-" + ext + ".gp";
            write_gnuplot_script(script, *r, png, data, theirs);
            const vxbench::Pair p =
                vxbench::run_pair({self, "--plot", r->name, ext, data, ours}, {"gnuplot", script}, runs);
            snprintf(line, sizeof line,
                     "  %-15s %s: ours %.3f s, %ld bytes, peak %ld KB; gnuplot %.3f s, %ld bytes, peak %ld KB; "
                     "ratio %.2f\n",
                     r->name, ext.c_str(), p.a, file_size(ours), p.a_peak_kb, p.b, file_size(theirs), p.b_peak_kb,
                     p.ratio);
            report += line;
            fputs(line, stdout);
            fflush(stdout);
        }
    }
    if (keep.empty())
        std::filesystem::remove_all(dir);
    vxbench::write_report(out_file, report);
    return 0;
}
