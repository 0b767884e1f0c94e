// The picture of bench/imagelib (100,000 line segments and 40 labels on
// 2000 x 1500) drawn through the graphics kernel and the image-file device
// into a PNG file, beside gnuplot's png terminal drawing the same picture.
//
// Both sides are timed the same way: whole processes that start, read the
// same segments file, draw, write the PNG and exit, run in turn (which
// runs first alternates); medians of the runs and of the pairs' ratios,
// with each PNG's bytes, size and colour type.  Beside that, the kernel's
// drawing alone inside one process.
//
//   bench_pelximg [--segments N] [--runs N] [--keep DIR] [--out FILE]
//   bench_pelximg --draw DIR   is the kernel's side as a process: it reads
//   DIR/segments.dat and writes DIR/pelx.png.
#include "benchpic.h"
#include "giinit.h"
#include "pelx.h"
#include "vxbench.h"

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

bool initialise()
{
    std::string etc = std::string(VX_BENCH_BUILD) + "/etc";
    std::string cat = std::string(VX_BENCH_BUILD) + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0) {
        fprintf(stderr, "bench_pelximg: cannot read the graphics configuration in %s\n", etc.c_str());
        return false;
    }
    giinit_GInstallDriver();
    return true;
}

// The kernel's side as a process of its own.
int draw_main(const std::string &dir)
{
    std::vector<Segment> segs, unused;
    std::vector<Label> labels;
    if (!read_segments(dir + "/segments.dat", segs) || !initialise()) {
        fprintf(stderr, "bench_pelximg: cannot draw %s/segments.dat\n", dir.c_str());
        return 1;
    }
    make_picture(0, unused, labels);
    const int rc = run_pelx(segs, labels, dir + "/pelx.png") >= 0 ? 0 : 1;
    GTerminate();
    return rc;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && !strcmp(argv[1], "--draw"))
        return draw_main(argv[2]);
    int nsegs = 100000, runs = 5;
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
    if (!initialise())
        return 1;

    std::vector<Segment> segs;
    std::vector<Label> labels;
    make_picture(nsegs, segs, labels);
    std::string dir = keep.empty()
                          ? (std::filesystem::temp_directory_path() / ("vx-bench-pelximg-" + std::to_string(getpid()))).string()
                          : keep;
    std::filesystem::create_directories(dir);
    std::string ours = dir + "/pelx.png", theirs = dir + "/gnuplot.png";
    write_gnuplot_input(segs, labels, dir, theirs);

    const vxbench::Pair p =
        vxbench::run_pair({vxbench::self_path(), "--draw", dir}, {"gnuplot", dir + "/picture.gp"}, runs);
    std::vector<double> inside;
    const std::string split = dir + "/split.png";
    for (int r = 0; r < runs; r++)
        inside.push_back(run_pelx(segs, labels, split));
    GTerminate();
    char text[1024];
    snprintf(text, sizeof text,
             "Image-file device: %d x %d, %d segments and %zu labels through the kernel into PNG; medians of %d runs\n\n"
             "whole processes (start, read the same segments file, draw, write the PNG), run in turn:\n"
             "  %-22s %9s %12s %10s  %s\n"
             "  %-22s %9.3f %12ld %10ld  %s\n"
             "  %-22s %9.3f %12ld %10ld  %s\n"
             "  time ratio (kernel / gnuplot), median of the pairs: %.2f\n\n"
             "the kernel and device alone inside one process (segments in memory, open to closed file): %.3f s\n",
             kWidth, kHeight, nsegs, labels.size(), runs, "", "seconds", "PNG bytes", "peak KB", "picture",
             "kernel + image device", p.a, file_size(ours), p.a_peak_kb, vxbench::png_shape(ours).c_str(),
             "gnuplot png terminal", p.b, file_size(theirs), p.b_peak_kb, vxbench::png_shape(theirs).c_str(), p.ratio,
             vxbench::median(inside));
    fputs(text, stdout);
    if (keep.empty())
        std::filesystem::remove_all(dir);
    vxbench::write_report(out_file, text);
    return 0;
}
