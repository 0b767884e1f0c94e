// The picture both image benchmarks draw (bench_imagelib, bench_pelximg):
// a 2000 x 1500 picture of line segments from a fixed seed and 40 text
// labels, and gnuplot's png terminal drawing the same picture.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace benchpic {

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

inline double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The segments (mostly short strokes, as a graph's curves are, with some
// long ones) and the labels.
inline void make_picture(int nsegs, std::vector<Segment> &segs, std::vector<Label> &labels)
{
    Lcg rng;
    segs.clear();
    segs.reserve(static_cast<size_t>(nsegs));
    for (int i = 0; i < nsegs; i++) {
        // Mostly short strokes, as a graph's curves are, with some long ones.
        int x = static_cast<int>(rng.next(kWidth)), y = static_cast<int>(rng.next(kHeight));
        int reach = i % 50 == 0 ? 1500 : 40;
        int x2 = std::clamp(x + static_cast<int>(rng.next(2 * reach + 1)) - reach, 0, kWidth - 1);
        int y2 = std::clamp(y + static_cast<int>(rng.next(2 * reach + 1)) - reach, 0, kHeight - 1);
        segs.push_back({x, y, x2, y2, static_cast<int>(rng.next(6))});
    }
    labels.clear();
    for (int i = 0; i < 40; i++)
        labels.push_back({40 + (i % 4) * 480, 60 + (i / 4) * 140,
                          "Series " + std::to_string(i + 1) + ": 100000 segments, 2000 x 1500"});

}

inline void write_gnuplot_input(const std::vector<Segment> &segs, const std::vector<Label> &labels, const std::string &dir,
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
inline double run_gnuplot(const std::string &dir)
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

// Reads the segments as gnuplot reads them: one block per colour, each
// segment two "x y" lines and a blank one, blocks ended by a blank line.
inline bool read_segments(const std::string &path, std::vector<Segment> &segs)
{
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        return false;
    char line[128];
    int colour = 0, blanks = 0, have = 0;
    Segment s{};
    while (fgets(line, sizeof line, f)) {
        if (line[0] == '\n') {
            if (++blanks >= 2)
                colour++;
            continue;
        }
        blanks = 0;
        char *end;
        long x = strtol(line, &end, 10), y = strtol(end, &end, 10);
        if (have == 0) {
            s = {static_cast<int>(x), static_cast<int>(y), 0, 0, colour};
            have = 1;
        } else {
            s.x2 = static_cast<int>(x);
            s.y2 = static_cast<int>(y);
            segs.push_back(s);
            have = 0;
        }
    }
    fclose(f);
    return have == 0 && colour <= 6;
}

inline long file_size(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fclose(f);
    return n;
}

}  // namespace benchpic
