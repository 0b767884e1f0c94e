// Draws a 2000 x 1500 picture of 100,000 line segments and 40 text labels
// and writes it as PNG, beside gnuplot's png terminal drawing and writing
// the same picture.
//
//   bench_imagelib [--segments N] [--runs N] [--keep DIR] [--out FILE]
//
// Both sides are timed the same way: as whole processes that start, read
// the same data file of segments, draw, write the PNG and exit, run in
// turn (which runs first alternates), the median of the runs reported with
// each side's PNG bytes.  Beside that, the image library's own split
// (drawing and writing the PNG, inside one process).  The segments come
// from a fixed seed, so every run draws the same picture.
//
//   bench_imagelib --draw DIR   is the image library's side: it reads
//   DIR/segments.dat and writes DIR/imagelib.png.
#include "benchpic.h"
#include "imagelib.h"
#include "vxbench.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace benchpic;

struct LibTimes {
    double draw, write;
};

// Draws the picture and writes it; the two times.
LibTimes draw_and_write(const std::vector<Segment> &segs, const std::vector<Label> &labels, IFont *font,
                        const std::string &out, int *rc)
{
    auto t0 = std::chrono::steady_clock::now();
    IImage *image = ICreateImage(kWidth, kHeight, 0);
    IGC *gc = ICreateGC();
    int handles[6];
    for (int i = 0; i < 6; i++)
        handles[i] = IAllocColor(kPalette[i][0], kPalette[i][1], kPalette[i][2]);
    for (const Segment &s : segs) {
        ISetForeground(gc, handles[s.colour]);
        IDrawLine(image, gc, s.x1, s.y1, s.x2, s.y2);
    }
    ISetForeground(gc, handles[0]);
    if (font)
        ISetFont(gc, font);
    for (const Label &l : labels)
        IDrawString(image, gc, l.x, l.y, l.text.c_str(), static_cast<int>(l.text.size()));
    ISetComment(image, "Vostrelane image library benchmark");
    double draw = seconds_since(t0);

    auto t1 = std::chrono::steady_clock::now();
    FILE *f = fopen(out.c_str(), "wb");
    *rc = f ? IWriteImageFile(f, image, IFORMAT_PNG, 0) : IERR_WRITE;
    if (f && fclose(f) != 0 && *rc == 0)
        *rc = IERR_WRITE;
    double write = seconds_since(t1);

    for (int h : handles)
        IFreeColor(h);
    IFreeGC(gc);
    IFreeImage(image);
    return {draw, write};
}

// The image library's side as a process of its own.
int draw_main(const std::string &dir)
{
    std::vector<Segment> segs, unused;
    std::vector<Label> labels;
    if (!read_segments(dir + "/segments.dat", segs)) {
        fprintf(stderr, "bench_imagelib: cannot read %s/segments.dat\n", dir.c_str());
        return 1;
    }
    make_picture(0, unused, labels);
    IFont *font = nullptr;
    if (int rc = ILoadFontFromFile("helvR12", VX_BENCH_FONT, &font))
        fprintf(stderr, "bench_imagelib: font %s: %s (text left out)\n", VX_BENCH_FONT, IErrorString(rc));
    int rc = 0;
    draw_and_write(segs, labels, font, dir + "/imagelib.png", &rc);
    IFreeFont(font);
    if (rc) {
        fprintf(stderr, "bench_imagelib: writing %s/imagelib.png: %s\n", dir.c_str(), IErrorString(rc));
        return 1;
    }
    return 0;
}

// The directory --keep names: made when missing; it must be a directory we
// can write into.
bool usable_dir(const std::string &dir)
{
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        fprintf(stderr, "bench_imagelib: --keep %s: %s\n", dir.c_str(), strerror(errno));
        return false;
    }
    struct stat st{};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fprintf(stderr, "bench_imagelib: --keep %s: not a directory\n", dir.c_str());
        return false;
    }
    if (access(dir.c_str(), W_OK | X_OK) != 0) {
        fprintf(stderr, "bench_imagelib: --keep %s: %s\n", dir.c_str(), strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    int nsegs = 100000, runs = 5;
    std::string keep, out = VX_BENCH_RESULTS;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--draw") && i + 1 < argc && argc == 3)
            return draw_main(argv[++i]);
        if (!strcmp(argv[i], "--segments") && i + 1 < argc)
            nsegs = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, atoi(argv[++i]));
        else if (!strcmp(argv[i], "--keep") && i + 1 < argc)
            keep = argv[++i];
        else if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else {
            fprintf(stderr, "usage: %s [--segments N] [--runs N] [--keep DIR] [--out FILE]\n", argv[0]);
            return 2;
        }
    }
    if (nsegs < 1) {
        fprintf(stderr, "bench_imagelib: --segments wants a positive count\n");
        return 2;
    }
    if (!keep.empty() && !usable_dir(keep))
        return 2;

    std::vector<Segment> segs;
    std::vector<Label> labels;
    make_picture(nsegs, segs, labels);

    char tmpl[] = "/tmp/bench_imagelib.XXXXXX";
    std::string dir = keep;
    if (dir.empty()) {
        if (!mkdtemp(tmpl)) {
            fprintf(stderr, "bench_imagelib: %s: %s\n", tmpl, strerror(errno));
            return 1;
        }
        dir = tmpl;
    }
    std::string ours = dir + "/imagelib.png", theirs = dir + "/gnuplot.png";
    write_gnuplot_input(segs, labels, dir, theirs);

    // Whole processes in turn, the first of each pair alternating.
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        fprintf(stderr, "bench_imagelib: cannot find its own program\n");
        return 1;
    }
    self[n] = 0;
    const std::vector<std::string> lib_cmd = {self, "--draw", dir};
    const std::vector<std::string> gp_cmd = {"gnuplot", dir + "/picture.gp"};
    std::vector<double> lib_t, gp_t, ratios;
    long lib_peak = 0, gp_peak = 0;
    bool gnuplot_ran = true;
    for (int r = 0; r < runs; r++) {
        vxbench::Run a, b;
        if (r % 2 == 0) {
            a = vxbench::run_process(lib_cmd);
            b = vxbench::run_process(gp_cmd);
        } else {
            b = vxbench::run_process(gp_cmd);
            a = vxbench::run_process(lib_cmd);
        }
        if (a.seconds < 0) {
            fprintf(stderr, "bench_imagelib: the drawing process failed\n");
            return 1;
        }
        lib_t.push_back(a.seconds);
        lib_peak = std::max(lib_peak, a.peak_kb);
        if (b.seconds < 0) {
            gnuplot_ran = false;
            continue;
        }
        gp_t.push_back(b.seconds);
        gp_peak = std::max(gp_peak, b.peak_kb);
        ratios.push_back(a.seconds / b.seconds);
    }

    // The library's own split, inside this process.
    IFont *font = nullptr;
    ILoadFontFromFile("helvR12", VX_BENCH_FONT, &font);
    std::vector<double> draws, writes;
    std::string split = dir + "/split.png";
    for (int r = 0; r < runs; r++) {
        int rc = 0;
        LibTimes t = draw_and_write(segs, labels, font, split, &rc);
        draws.push_back(t.draw);
        writes.push_back(t.write);
    }
    IFreeFont(font);

    std::string report;
    char line[512];
    auto add = [&](const char *fmt, auto... args) {
        snprintf(line, sizeof line, fmt, args...);
        report += line;
    };
    add("PNG of a %d x %d picture, %d line segments and %zu text labels; medians of %d runs\n\n", kWidth, kHeight,
        nsegs, labels.size(), runs);
    add("whole processes (start, read the segments file, draw, write the PNG), run in turn:\n");
    add("  %-24s %9s %12s %10s\n", "", "seconds", "PNG bytes", "peak KB");
    add("  %-24s %9.3f %12ld %10ld\n", "image library", vxbench::median(lib_t), file_size(ours), lib_peak);
    if (gnuplot_ran && !gp_t.empty()) {
        add("  %-24s %9.3f %12ld %10ld\n", "gnuplot png terminal", vxbench::median(gp_t), file_size(theirs), gp_peak);
        add("  time ratio (image library / gnuplot), median of the pairs: %.2f\n", vxbench::median(ratios));
        add("  size ratio (image library / gnuplot): %.2f\n",
            static_cast<double>(file_size(ours)) / static_cast<double>(file_size(theirs)));
    } else {
        add("  gnuplot png terminal: not run (is gnuplot installed?)\n");
    }
    add("\nthe image library inside one process: draw %.3f s, write the PNG %.3f s\n", vxbench::median(draws), vxbench::median(writes));
    fputs(report.c_str(), stdout);

    if (keep.empty()) {
        for (const char *f : {"/imagelib.png", "/gnuplot.png", "/split.png", "/segments.dat", "/picture.gp"})
            remove((dir + f).c_str());
        rmdir(dir.c_str());
    } else {
        remove(split.c_str());
        printf("pictures kept in %s\n", dir.c_str());
    }
    if (!out.empty() && out != "-") {
        FILE *f = fopen(out.c_str(), "w");
        if (!f || fputs(report.c_str(), f) < 0 || fclose(f) != 0) {
            fprintf(stderr, "bench_imagelib: cannot write %s\n", out.c_str());
            return 1;
        }
        printf("written to %s\n", out.c_str());
    }
    return 0;
}
