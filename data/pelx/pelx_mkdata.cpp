// Build-time generator of the graphics library's installed data:
//   pelx_mkdata rgb <X rgb.txt> <pelx.rgb>
//       the colour-name database: "red green blue name" lines, no comments;
//   pelx_mkdata stroke <font.jhf> <pelxstroke.cfg>
//       the stroke font as a configuration file of "font" entries with one
//       "character" block per printable ASCII character.
//
// The stroke glyphs come from the Hershey font data.  Acknowledgements that
// its distribution terms ask for, carried into the generated file:
//   The Hershey Fonts were originally created by Dr. A. V. Hershey while
//   working at the U. S. National Bureau of Standards.
//   The format of the Font data in this distribution was originally
//   created by James Hurt, Cognition, Inc., 900 Technology Park Drive,
//   Billerica, MA 01821.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int rgb(const char *in, const char *out)
{
    std::ifstream f(in);
    if (!f) {
        std::cerr << "pelx_mkdata: cannot read " << in << "\n";
        return 1;
    }
    std::ofstream o(out);
    std::string line;
    int n = 0;
    while (std::getline(f, line)) {
        std::istringstream s(line);
        int r, g, b;
        if (!(s >> r >> g >> b))
            continue;  // the comment line and anything else that is not a colour
        std::string name;
        std::getline(s, name);
        size_t a = name.find_first_not_of(" \t"), z = name.find_last_not_of(" \t\r");
        if (a == std::string::npos)
            continue;
        o << r << " " << g << " " << b << "\t" << name.substr(a, z - a + 1) << "\n";
        n++;
    }
    if (n == 0) {
        std::cerr << "pelx_mkdata: no colours in " << in << "\n";
        return 1;
    }
    return o.good() ? 0 : 1;
}

struct Glyph {
    int left = 0, right = 0;
    std::vector<std::vector<std::pair<int, int>>> strokes;
};

// One glyph of the font data: number (5), vertex count (3), then pairs of
// characters relative to 'R'; " R" lifts the pen.  Long glyphs continue on
// the following lines.
bool read_glyph(std::istream &in, Glyph &g)
{
    std::string line;
    if (!std::getline(in, line))
        return false;
    while (line.size() < 8 && std::getline(in, line)) {
    }
    if (line.size() < 8)
        return false;
    int count = std::atoi(line.substr(5, 3).c_str());
    std::string data = line.substr(8);
    while (static_cast<int>(data.size()) < 2 * count) {
        std::string more;
        if (!std::getline(in, more))
            break;
        data += more;
    }
    if (static_cast<int>(data.size()) < 2 * count || count < 1)
        return false;
    g.left = data[0] - 'R';
    g.right = data[1] - 'R';
    std::vector<std::pair<int, int>> cur;
    for (int i = 1; i < count; i++) {
        char cx = data[2 * i], cy = data[2 * i + 1];
        if (cx == ' ' && cy == 'R') {
            if (cur.size() > 1)
                g.strokes.push_back(cur);
            cur.clear();
            continue;
        }
        cur.push_back({cx - 'R', cy - 'R'});
    }
    if (cur.size() > 1)
        g.strokes.push_back(cur);
    return true;
}

int stroke(const char *in, const char *out)
{
    std::ifstream f(in);
    if (!f) {
        std::cerr << "pelx_mkdata: cannot read " << in << "\n";
        return 1;
    }
    std::vector<Glyph> glyphs;
    Glyph g;
    while (read_glyph(f, g)) {
        glyphs.push_back(g);
        g = Glyph{};
    }
    if (glyphs.size() < 95) {
        std::cerr << "pelx_mkdata: " << in << " has " << glyphs.size() << " glyphs, 95 wanted\n";
        return 1;
    }
    // Font units: x from the glyph's left edge, y up from the baseline
    // (the data's y grows downwards with the baseline at 9), each unit of the
    // data 4.5 font units.  The library draws a font unit as 5 x scale
    // canvas units, so at the graphs' label size of 0.2 a capital letter
    // (21 units of the data) stands about 94 canvas units: 3% of a 4:3
    // canvas's height, 18 pixels of an 800 x 600 window, 12 points of a
    // landscape page.
    const int baseline = 9;
    auto u = [](int v) { return static_cast<int>(std::lround(v * 4.5)); };
    std::ofstream o(out);
    o << "/*\n"
         " * Stroke font 1 of the graphics library, generated at build time from\n"
         " * the Hershey font data.\n"
         " *\n"
         " * The Hershey Fonts were originally created by Dr. A. V. Hershey while\n"
         " * working at the U. S. National Bureau of Standards.\n"
         " * The format of the Font data in this distribution was originally\n"
         " * created by James Hurt, Cognition, Inc., 900 Technology Park Drive,\n"
         " * Billerica, MA 01821.\n"
         " *\n"
         " * Each character: \"line\" x1,y1,x2,y2 per stroke segment and \"metrics\"\n"
         " * advance,left bearing,top,bottom, in font units (y up from the baseline).\n"
         "\n"
         "   PelxRevisionNumber: 1 0\n"
         "*/\n\n";
    o << "font : \"stroke\" {\n"
         "    name : \"stroke\"\n";
    o << "    height : " << u(32) << "\n";
    o << "    width : " << u(16) << "\n";
    o << "    baseline : " << u(baseline) << "\n";
    o << "    numchars : 128\n"
         "    characters : {\n";
    for (size_t i = 0; i < 95; i++) {
        const Glyph &gl = glyphs[i];
        int c = static_cast<int>(32 + i);
        int minx = 1 << 30, top = -(1 << 30), bottom = 1 << 30;
        for (auto &s : gl.strokes)
            for (auto &p : s) {
                minx = std::min(minx, p.first - gl.left);
                top = std::max(top, baseline - p.second);
                bottom = std::min(bottom, baseline - p.second);
            }
        if (gl.strokes.empty())
            minx = top = bottom = 0;
        o << "        character : " << c << " {\n";
        for (auto &s : gl.strokes)
            for (size_t k = 1; k < s.size(); k++)
                o << "            line : " << u(s[k - 1].first - gl.left) << "," << u(baseline - s[k - 1].second)
                  << "," << u(s[k].first - gl.left) << "," << u(baseline - s[k].second) << "\n";
        o << "            metrics : " << u(gl.right - gl.left) << "," << u(minx) << "," << u(top) << "," << u(bottom)
          << "\n";
        o << "        }\n";
    }
    o << "    }\n}\n";
    return o.good() ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "rgb") == 0)
        return rgb(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "stroke") == 0)
        return stroke(argv[2], argv[3]);
    std::cerr << "usage: pelx_mkdata rgb|stroke input output\n";
    return 2;
}
