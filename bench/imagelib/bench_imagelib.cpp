// Draws a 2000 x 1500 picture of 100,000 line segments and some text and
// writes it as PNG, then has gnuplot's png terminal draw and write the same
// segments and labels, and reports both times.
//
//   bench_imagelib [--segments N] [--runs N] [--keep DIR]
//
// The segments come from a fixed seed, so every run draws the same picture.
// gnuplot's time includes starting the program and reading its data file
// (written beforehand, outside the timing).
#include "benchpic.h"
#include "imagelib.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

LibTimes run_imagelib(const std::vector<Segment> &segs, const std::vector<Label> &labels, IFont *font,
                      const std::string &out)
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
    int rc = f ? IWriteImageFile(f, image, IFORMAT_PNG, 0) : IERR_WRITE;
    if (f)
        fclose(f);
    double write = seconds_since(t1);
    if (rc)
        fprintf(stderr, "bench_imagelib: writing %s: %s\n", out.c_str(), IErrorString(rc));

    for (int h : handles)
        IFreeColor(h);
    IFreeGC(gc);
    IFreeImage(image);
    return {draw, write};
}

}  // namespace

int main(int argc, char **argv)
{
    int nsegs = 100000, runs = 3;
    std::string keep;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--segments") && i + 1 < argc)
            nsegs = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, atoi(argv[++i]));
        else if (!strcmp(argv[i], "--keep") && i + 1 < argc)
            keep = argv[++i];
        else {
            fprintf(stderr, "usage: %s [--segments N] [--runs N] [--keep DIR]\n", argv[0]);
            return 2;
        }
    }

    std::vector<Segment> segs;
    std::vector<Label> labels;
    make_picture(nsegs, segs, labels);

    IFont *font = nullptr;
    if (int rc = ILoadFontFromFile("helvR12", VX_BENCH_FONT, &font))
        fprintf(stderr, "bench_imagelib: font %s: %s (text left out)\n", VX_BENCH_FONT, IErrorString(rc));

    char tmpl[] = "/tmp/bench_imagelib.XXXXXX";
    std::string dir = keep.empty() ? std::string(mkdtemp(tmpl)) : keep;
    std::string ours = dir + "/imagelib.png", theirs = dir + "/gnuplot.png";
    write_gnuplot_input(segs, labels, dir, theirs);

    LibTimes best{1e9, 1e9};
    double best_gnuplot = 1e9;
    for (int r = 0; r < runs; r++) {
        LibTimes t = run_imagelib(segs, labels, font, ours);
        if (t.draw + t.write < best.draw + best.write)
            best = t;
        double g = run_gnuplot(dir);
        if (g >= 0)
            best_gnuplot = std::min(best_gnuplot, g);
    }

    printf("picture: %d x %d, %d line segments, %zu text labels; best of %d runs\n", kWidth, kHeight, nsegs,
           labels.size(), runs);
    printf("imagelib: draw %.3f s + PNG %.3f s = %.3f s (%ld bytes)\n", best.draw, best.write,
           best.draw + best.write, file_size(ours));
    if (best_gnuplot < 1e9)
        printf("gnuplot png terminal: %.3f s (%ld bytes; includes start-up and reading the data)\n", best_gnuplot,
               file_size(theirs));
    else
        printf("gnuplot png terminal: not run (is gnuplot installed?)\n");

    IFreeFont(font);
    if (keep.empty()) {
        for (const char *f : {"/imagelib.png", "/gnuplot.png", "/segments.dat", "/picture.gp"})
            remove((dir + f).c_str());
        rmdir(dir.c_str());
    } else {
        printf("pictures kept in %s\n", dir.c_str());
    }
    return 0;
}
