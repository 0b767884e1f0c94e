// The picture of bench/imagelib (100,000 line segments and 40 labels on
// 2000 x 1500) drawn through the graphics kernel and the image-file device
// into a PNG file, beside gnuplot's png terminal drawing the same picture:
// both times (best of several runs; gnuplot's includes starting the
// program and reading its data) and both files' bytes.
//
//   bench_pelximg [--segments N] [--runs N] [--keep DIR] [--out FILE]
#include "benchpic.h"
#include "giinit.h"
#include "pelx.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace benchpic;

namespace {

// The configured PNG device at the picture's size, its colours 10-15 the
// picture's palette; a canvas whose world is the picture's pixels (y down).
double run_pelx(const std::vector<Segment> &segs, const std::vector<Label> &labels, const std::string &out)
{
    auto t0 = std::chrono::steady_clock::now();
    GDeviceEntry e{};
    if (GGetDevice(5, &e) != 0)
        return -1;
    e.modes.dcxdim = kWidth;
    e.modes.dcydim = kHeight;
    e.modes.scale = 1;
    e.modes.output = 0;
    snprintf(e.modes.filename, sizeof e.modes.filename, "%s", out.c_str());
    for (int i = 0; i < 6; i++) {
        GColour c{};
        c.red = static_cast<uint16_t>(kPalette[i][0] * 257);
        c.green = static_cast<uint16_t>(kPalette[i][1] * 257);
        c.blue = static_cast<uint16_t>(kPalette[i][2] * 257);
        c.pixel = -1;
        gcolour_GReplaceColour(e.tables[GT_COLOURS], &c, 10 + i);
    }
    GDeviceRecord *d = GOpenDevice(e.mask | GDM_DCXDIM | GDM_DCYDIM | GDM_FILENAME | GDM_OUTPUT, &e.modes, e.tables);
    if (!d) {
        gdev_GFreeDeviceEntry(&e);
        return -1;
    }
    GCanvasModes cm{};
    cm.origin[0] = cm.origin[1] = 0;
    cm.size[0] = d->modes.vdcxdim;
    cm.size[1] = d->modes.vdcydim;
    cm.size[2] = cm.size[0];
    cm.coords = GCS_WC;
    GCanvasRecord *c = GOpenCanvas(d, GCM_ORIGIN | GCM_SIZE | GCM_COORDS, &cm);
    if (!c) {
        GCloseDevice(d);
        return -1;
    }
    // The plot space fills the canvas; its world runs over the pixels.
    cm = c->modes;
    for (int i = 0; i < 3; i++)
        cm.pssize[i] = cm.ccextent[i];
    cm.psorigin[0] = cm.psorigin[1] = 0;
    cm.world[0] = 0, cm.world[3] = kWidth - 1;
    cm.world[1] = kHeight - 1, cm.world[4] = 0;
    cm.world[2] = 0, cm.world[5] = 1;
    cm.clip = 0;
    GSetCanvasModes(c, GCM_PSSIZE | GCM_PSORIGIN | GCM_WORLD | GCM_CLIP, &cm);
    std::vector<double> xy;
    for (int colour = 0; colour < 6; colour++) {
        xy.clear();
        for (const Segment &s : segs)
            if (s.colour == colour)
                xy.insert(xy.end(), {double(s.x1), double(s.y1), double(s.x2), double(s.y2)});
        GLineModes lm = c->line;
        lm.colour = 10 + colour;
        GSetLineModes(c, GLM_COLOUR, &lm);
        GVector v{GV_DOUBLE, 0, 2, static_cast<int64_t>(xy.size() / 2), {xy.data(), nullptr, nullptr}};
        gdraw_GDrawLines(c, &v);
    }
    GTextModes tm = c->text;
    tm.colour = 10;
    tm.alignment = 6;
    GSetTextModes(c, GTM_COLOUR | GTM_ALIGNMENT, &tm);
    for (const Label &l : labels) {
        double p[2] = {double(l.x), double(l.y)};
        GVector v{GV_DOUBLE, 0, 2, 1, {p, nullptr, nullptr}};
        GPutText(c, &v, l.text.c_str());
    }
    int r = GCloseDevice(d);
    double t = seconds_since(t0);
    return r == 0 ? t : -1;
}

}  // namespace

int main(int argc, char **argv)
{
    int nsegs = 100000, runs = 3;
    std::string keep, out_file = VX_BENCH_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--segments"))
            nsegs = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--runs"))
            runs = std::max(1, atoi(argv[i + 1]));
        else if (!strcmp(argv[i], "--keep"))
            keep = argv[i + 1];
        else if (!strcmp(argv[i], "--out"))
            out_file = argv[i + 1];
    }
    if (nsegs < 1) {
        fprintf(stderr, "usage: bench_pelximg [--segments N] [--runs N] [--keep DIR] [--out FILE]\n");
        return 2;
    }
    std::string etc = std::string(VX_BENCH_BUILD) + "/etc";
    std::string cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_pelximg: cannot read the graphics configuration in %s\n", etc.c_str());
        return 1;
    }
    giinit_GInstallDriver();

    std::vector<Segment> segs;
    std::vector<Label> labels;
    make_picture(nsegs, segs, labels);
    std::string dir = keep.empty()
                          ? (std::filesystem::temp_directory_path() / ("vx-bench-pelximg-" + std::to_string(getpid()))).string()
                          : keep;
    std::filesystem::create_directories(dir);
    std::string ours = dir + "/pelx.png", theirs = dir + "/gnuplot.png";
    write_gnuplot_input(segs, labels, dir, theirs);

    double best = 1e9, best_g = 1e9;
    for (int r = 0; r < runs; r++) {
        double t = run_pelx(segs, labels, ours), g = run_gnuplot(dir);
        if (t >= 0)
            best = std::min(best, t);
        if (g >= 0)
            best_g = std::min(best_g, g);
    }
    GTerminate();
    char text[512];
    snprintf(text, sizeof text,
             "Image-file device: %d x %d, %d segments and %zu labels through the kernel into PNG; best of %d runs\n\n"
             "%-22s %10s %12s\n%-22s %10.3f %12ld\n%-22s %10.3f %12ld\n\ntime ratio (kernel / gnuplot): %.2f\n",
             kWidth, kHeight, nsegs, labels.size(), runs, "", "seconds", "PNG bytes", "kernel + image device",
             best, file_size(ours), "gnuplot png terminal", best_g, file_size(theirs), best / best_g);
    fputs(text, stdout);
    if (keep.empty())
        std::filesystem::remove_all(dir);
    std::filesystem::create_directories(std::filesystem::path(out_file).parent_path());
    std::ofstream(out_file) << text;
    printf("written to %s\n", out_file.c_str());
    return 0;
}
