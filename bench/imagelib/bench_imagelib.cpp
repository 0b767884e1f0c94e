// Draws a 2000 x 1500 picture of 100,000 line segments and some text and
// writes it as PNG, then has gnuplot's png terminal draw and write the same
// segments and labels, and reports both times.
//
//   bench_imagelib [--segments N] [--runs N] [--keep DIR]
//
// The segments come from a fixed seed, so every run draws the same picture.
// gnuplot's time includes starting the program and reading its data file
// (written beforehand, outside the timing).
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

constexpr int kWidth = 2000, kHeight = 1500;

struct Segment {
    int x1, y1, x2, y2;
    int colour;
};

struct Label {
    int x, y;
    std::string text;
};

// A small fixed generator, so the picture is the same on every machine.
struct Lcg {
    unsigned long long s = 20261210ULL;
    unsigned next(unsigned bound)
    {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>((s >> 33) % bound);
    }
};

const int kPalette[][3] = {{0, 0, 0}, {200, 0, 0}, {0, 140, 0}, {0, 0, 200}, {160, 0, 160}, {0, 150, 150}};

double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

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

void write_gnuplot_input(const std::vector<Segment> &segs, const std::vector<Label> &labels, const std::string &dir,
                         const std::string &png)
{
    // One data block per colour (index n), each segment two points and a
    // blank line, so that gnuplot draws the same segments in the same colours.
    std::string data = dir + "/segments.dat";
    FILE *d = fopen(data.c_str(), "w");
    for (int c = 0; c < 6; c++) {
        for (const Segment &s : segs)
            if (s.colour == c)
                fprintf(d, "%d %d\n%d %d\n\n", s.x1, s.y1, s.x2, s.y2);
        fprintf(d, "\n");
    }
    fclose(d);

    FILE *g = fopen((dir + "/picture.gp").c_str(), "w");
    fprintf(g, "set terminal png size %d,%d\nset output '%s'\n", kWidth, kHeight, png.c_str());
    fprintf(g, "unset key\nunset border\nunset tics\nset margins 0,0,0,0\n");
    fprintf(g, "set xrange [0:%d]\nset yrange [%d:0]\n", kWidth - 1, kHeight - 1);
    for (const Label &l : labels)
        fprintf(g, "set label \"%s\" at %d,%d\n", l.text.c_str(), l.x, l.y);
    fprintf(g, "plot");
    for (int c = 0; c < 6; c++)
        fprintf(g, "%s '%s' index %d with lines lw 1 lc rgb '#%02x%02x%02x'", c ? "," : "", data.c_str(), c,
                kPalette[c][0], kPalette[c][1], kPalette[c][2]);
    fprintf(g, "\n");
    fclose(g);
}

// Runs gnuplot on the script; the elapsed time, or a negative one when it
// could not run.
double run_gnuplot(const std::string &dir)
{
    std::string script = dir + "/picture.gp";
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("gnuplot", "gnuplot", script.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0)
        return -1.0;
    double t = seconds_since(t0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1.0;
}

long file_size(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fclose(f);
    return n;
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

    Lcg rng;
    std::vector<Segment> segs;
    segs.reserve(static_cast<size_t>(nsegs));
    for (int i = 0; i < nsegs; i++) {
        // Mostly short strokes, as a graph's curves are, with some long ones.
        int x = static_cast<int>(rng.next(kWidth)), y = static_cast<int>(rng.next(kHeight));
        int reach = i % 50 == 0 ? 1500 : 40;
        int x2 = std::clamp(x + static_cast<int>(rng.next(2 * reach + 1)) - reach, 0, kWidth - 1);
        int y2 = std::clamp(y + static_cast<int>(rng.next(2 * reach + 1)) - reach, 0, kHeight - 1);
        segs.push_back({x, y, x2, y2, static_cast<int>(rng.next(6))});
    }
    std::vector<Label> labels;
    for (int i = 0; i < 40; i++)
        labels.push_back({40 + (i % 4) * 480, 60 + (i / 4) * 140,
                          "Series " + std::to_string(i + 1) + ": 100000 segments, 2000 x 1500"});

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
