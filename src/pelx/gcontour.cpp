// Contour lines of a grid: the contour modes, the trace of one level from
// triangle to triangle through the grid's cells, the drawing of a traced
// line in short runs, and the label set on a straight stretch of it.

#include "ggridhook.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

short (*gcontour_polyline)(GCanvasRecord *canvas, GVector *points) = gdraw_GDrawPolyLine;

int GSetContourModes(GCanvasRecord *canvas, uint64_t mask, const GContourModes *modes)
{
    if (!canvas || !modes)
        return -1;
    if (mask & GCTM_LABELS)
        canvas->contour.labels = modes->labels;
    return 0;
}

int GGetContourModes(GCanvasRecord *canvas, GContourModes *modes)
{
    if (!canvas || !modes)
        return -1;
    *modes = canvas->contour;
    return 0;
}

int GSetDefaultContourModes(GCanvasRecord *canvas)
{
    const GContourModes defaults{1};
    return GSetContourModes(canvas, GMASK_ALL, &defaults);
}

namespace {

bool crosses(double a, double b, double level) { return (a <= level && level < b) || (b <= level && level < a); }

}  // namespace

int GContourInCell(const double c[3], double level)
{
    bool above = false, below = false;
    for (int n = 0; n < 3; n++) {
        if (c[n] > level)
            above = true;
        else if (c[n] <= level)
            below = true;
    }
    return above && below ? 1 : 0;
}

// ---- measuring a label ---------------------------------------------------------

namespace {

// A length along x (or y) of device units in canvas units.
double dc_to_cc(GCanvasRecord *canvas, int axis, double length)
{
    return GTransformLength(canvas, 2, axis, GTransformLength(canvas, 0, axis, length));
}

// The label's width and height in canvas units: a stroke font measured at
// its size; the image device's own font by the driver's box; any other
// device font by the stroke font 1 standing in for it.
void label_extent(GCanvasRecord *canvas, const char *label, double *width, double *height)
{
    *width = *height = 0;
    if (!canvas || !label || !*label)
        return;
    GFont *font = gfont_GGetCanvasFont(canvas, canvas->text.font);
    bool stroke = font && font->glyphs;
    if (!stroke && canvas->device->modes.protocol != GP_IMAGE) {
        font = gfont_GGetCanvasFont(canvas, 1);
        stroke = font && font->glyphs;
    }
    if (stroke) {
        long w = 0, h = 0, d = 0, b = 0;
        GFontMetrics(label, font, 5 * canvas->text.scale, &w, &h, &d, &b);
        *width = static_cast<double>(w);
        *height = static_cast<double>(h);
        return;
    }
    short c[8];
    if (GGetRelativeTextLimits(canvas, label, c) == -1)
        return;
    short minx = std::min({c[0], c[2], c[4], c[6]}), maxx = std::max({c[0], c[2], c[4], c[6]});
    short miny = std::min({c[1], c[3], c[5], c[7]}), maxy = std::max({c[1], c[3], c[5], c[7]});
    *width = std::max(dc_to_cc(canvas, 0, maxx - minx), 0.0);
    *height = std::max(dc_to_cc(canvas, 1, maxy - miny), 0.0);
}

}  // namespace

double GGetLabelLength(GCanvasRecord *canvas, const char *label)
{
    double w, h;
    label_extent(canvas, label, &w, &h);
    return w;
}

// ---- tracing ---------------------------------------------------------------------

namespace {

constexpr int RUN = 10;  // points per run, and per label window

struct Corner {
    double x, z, v;
};

struct Position {
    long i, k;
    int t, side;
};

// The label's box in canvas coordinates: centre, the text's direction and
// half sizes along and across it.
struct Box {
    double mx, my, ux, uy, along, across;
};

class Trace {
public:
    Trace(GCanvasRecord *canvas, const GGrid *grid, double level, const char *label, unsigned char *visited)
        : canvas_(canvas), grid_(grid), level_(level), label_(label), visited_(visited)
    {
        if (label && *label && canvas->contour.labels)
            label_extent(canvas, label, &label_w_, &label_h_);
        labels_ = label_w_ > 0;
        limit_ = 4L * (grid->nx - 1) * (grid->nz - 1);
    }

    bool visited(long i, long k, int t) const
    {
        long n = 4 * (k * (grid_->nx - 1) + i) + t;
        return (visited_[n >> 3] >> (n & 7)) & 1;
    }
    void corners(long i, long k, int t, Corner c[3]) const;
    int follow(Position &pos, bool draw);

private:
    void mark(long i, long k, int t)
    {
        long n = 4 * (k * (grid_->nx - 1) + i) + t;
        visited_[n >> 3] = static_cast<unsigned char>(visited_[n >> 3] | (1 << (n & 7)));
    }
    double node_x(long i) const { return grid_->x0 + static_cast<double>(i) * grid_->dx; }
    double node_z(long k) const { return grid_->z0 + static_cast<double>(k) * grid_->dz; }
    bool crossed(const Corner c[3], int side) const;
    int first_crossed(const Corner c[3]) const;
    int other_crossed(const Corner c[3], int entry) const;
    bool move(const Position &from, int exit, Position &to) const;
    bool add_crossing(const Corner c[3], int side);
    void lost(const Position &p) const
    {
        fprintf(stderr, "Pelx. Contour got lost at i %ld, j %ld, k %d, in %d\n", p.i, p.k, p.t, p.side);
    }

    // Drawing: runs of at most RUN points that join end to end.
    void add(double x, double z);
    void emit();
    void finish();
    void to_canvas(const double *p, double out[2]) const;
    bool place_label();
    void draw_around(const Box &box);
    void put_piece(std::vector<double> &piece);

    GCanvasRecord *canvas_;
    const GGrid *grid_;
    double level_;
    const char *label_;
    unsigned char *visited_;
    double label_w_ = 0, label_h_ = 0;
    bool labels_ = false, labelled_ = false;
    long limit_;
    double run_[2 * RUN];
    int n_ = 0;
};

void Trace::corners(long i, long k, int t, Corner c[3]) const
{
    GGridCell **v = grid_->values;
    double centre;
    if (grid_->aux && !grid_->mask_flag)
        centre = grid_->aux[i][k].value;
    else
        centre = 0.25 * (v[i][k].value + v[i + 1][k].value + v[i][k + 1].value + v[i + 1][k + 1].value);
    c[0] = Corner{grid_->x0 + (static_cast<double>(i) + 0.5) * grid_->dx,
                  grid_->z0 + (static_cast<double>(k) + 0.5) * grid_->dz, centre};
    // The outer edge's two nodes, triangle by triangle.
    static const int edge[4][4] = {{0, 1, 1, 1}, {1, 1, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}};
    for (int n = 0; n < 2; n++) {
        long a = i + edge[t][2 * n], b = k + edge[t][2 * n + 1];
        c[1 + n] = Corner{node_x(a), node_z(b), v[a][b].value};
    }
}

// Sides 1 (corner 0 to 1), 3 (1 to 2) and 5 (2 to 0).
const int side_from[6] = {-1, 0, -1, 1, -1, 2}, side_to[6] = {-1, 1, -1, 2, -1, 0};

bool Trace::crossed(const Corner c[3], int side) const
{
    return crosses(c[side_from[side]].v, c[side_to[side]].v, level_);
}

int Trace::first_crossed(const Corner c[3]) const
{
    for (int side : {3, 1, 5})
        if (crossed(c, side))
            return side;
    return -1;
}

int Trace::other_crossed(const Corner c[3], int entry) const
{
    for (int side : {1, 3, 5})
        if (side != entry && crossed(c, side))
            return side;
    return -1;
}

bool Trace::move(const Position &from, int exit, Position &to) const
{
    to = from;
    switch (exit) {
    case 1:
        to.t = (from.t + 3) % 4;
        to.side = 5;
        return true;
    case 5:
        to.t = (from.t + 1) % 4;
        to.side = 1;
        return true;
    default: break;
    }
    switch (from.t) {
    case 0:
        if (from.k >= grid_->nz - 2)
            return false;
        to.k++;
        break;
    case 1:
        if (from.i >= grid_->nx - 2)
            return false;
        to.i++;
        break;
    case 2:
        if (from.k < 1)
            return false;
        to.k--;
        break;
    default:
        if (from.i < 1)
            return false;
        to.i--;
        break;
    }
    to.t = (from.t + 2) % 4;
    to.side = 3;
    return true;
}

bool Trace::add_crossing(const Corner c[3], int side)
{
    if (side < 1 || side > 5 || side % 2 == 0) {
        fprintf(stderr, "Pelx. Interpolate called for vertex.\n");
        return false;
    }
    const Corner &a = c[side_from[side]], &b = c[side_to[side]];
    double f = (level_ - a.v) / (b.v - a.v);
    double x = a.x + f * (b.x - a.x), z = a.z + f * (b.z - a.z);
    if (!std::isfinite(x) || !std::isfinite(z)) {
        fprintf(stderr, "Pelx. Error in interpolation.\n");
        return false;
    }
    add(x, z);
    return true;
}

// One walk along the line through the triangle at `pos`, which comes in by
// the first crossed side of 3, 1, 5 and leaves by the other.  The drawing
// walk marks and draws; either writes back where it stopped.
int Trace::follow(Position &pos, bool draw)
{
    const Position start = pos;
    Position cur = pos;
    Corner c[3];
    corners(cur.i, cur.k, cur.t, c);
    cur.side = first_crossed(c);
    if (cur.side < 0)
        return -1;
    int exit = other_crossed(c, cur.side);
    if (exit < 0) {
        lost(cur);
        return -1;
    }
    labelled_ = false;
    n_ = 0;
    int result = 0;
    bool left_cell = false;
    if (draw && !add_crossing(c, cur.side))
        return -1;
    for (long steps = 0;; steps++) {
        if (exit % 2 == 0) {
            fprintf(stderr, "Pelx. Exiting on vertex.\n");
            result = -1;
            break;
        }
        if (draw) {
            mark(cur.i, cur.k, cur.t);
            if (!add_crossing(c, exit)) {
                result = -1;
                break;
            }
        }
        Position next;
        if (!move(cur, exit, next)) {
            pos = cur;
            break;
        }
        left_cell = left_cell || next.i != start.i || next.k != start.k;
        if (next.i == start.i && next.k == start.k && next.t == start.t) {
            pos = next;
            result = left_cell ? 0 : -1;
            break;
        }
        if (visited(next.i, next.k, next.t)) {
            pos = cur;
            break;
        }
        // As many steps as the grid has triangles: a longer walk goes round
        // in a circle that inconsistent corners made.
        if (steps >= limit_) {
            lost(next);
            result = -1;
            break;
        }
        Corner n[3];
        corners(next.i, next.k, next.t, n);
        int count = crossed(n, 1) + crossed(n, 3) + crossed(n, 5);
        if (count > 2) {
            fprintf(stderr, "Pelx. Multi-crossing for value %f\n", level_);
            fprintf(stderr, "Pelx. Corners: %f %f %f\n", n[0].v, n[1].v, n[2].v);
            result = -1;
            break;
        }
        if (!crossed(n, next.side)) {
            fprintf(stderr, "Pelx. Exiting a cell we never entered.\n");
            result = -1;
            break;
        }
        if (count != 2) {
            lost(next);
            result = -1;
            break;
        }
        cur = next;
        exit = other_crossed(n, cur.side);
        std::copy(n, n + 3, c);
    }
    if (draw)
        finish();
    return result;
}

// ---- drawing a traced line -------------------------------------------------------

void Trace::add(double x, double z)
{
    run_[2 * n_] = x;
    run_[2 * n_ + 1] = z;
    if (++n_ < RUN)
        return;
    emit();
    run_[0] = run_[2 * (RUN - 1)];
    run_[1] = run_[2 * (RUN - 1) + 1];
    n_ = 1;
}

void Trace::finish()
{
    if (n_ >= 2)
        emit();
    n_ = 0;
}

void Trace::emit()
{
    if (labels_ && !labelled_ && place_label())
        return;
    GVector v{GV_DOUBLE, 0, 2, n_, {run_, nullptr, nullptr}};
    gcontour_polyline(canvas_, &v);
}

void Trace::to_canvas(const double *p, double out[2]) const
{
    double in[3] = {p[0], p[1], 0}, dc[3], cc[3];
    gcoords_GApplyPart(&canvas_->current->forward, in, dc);
    gcoords_GApplyPart(&canvas_->xf[GX_CC].inverse, dc, cc);
    out[0] = cc[0];
    out[1] = cc[1];
}

}  // namespace

// Draws the label centred on the middle of the chord from (x1, y1) to
// (x2, y2), canvas coordinates, along it and never upside down, in the
// level's colour.  The box it takes comes back for the gap in the line.
static void GLabelContour(GCanvasRecord *canvas, const char *label, double level, const double from[2],
                          const double to[2], double width, double height, Box *box)
{
    double dx = to[0] - from[0], dy = to[1] - from[1], chord = std::hypot(dx, dy);
    double degrees = std::atan2(dy, dx) * 180.0 / M_PI;
    if (degrees > 90)
        degrees -= 180;
    else if (degrees < -90)
        degrees += 180;
    double ux = std::cos(degrees * M_PI / 180.0), uy = std::sin(degrees * M_PI / 180.0);
    double mx = 0.5 * (from[0] + to[0]), my = 0.5 * (from[1] + to[1]);
    // The anchor where the line reaches the label (3: its left end, 5: its
    // right end), or below its middle for an upright chord (7).
    long alignment;
    double ax, ay;
    if (std::fabs(dx) <= 1e-9 * chord) {
        alignment = 7;
        ax = mx + 0.5 * height * uy;
        ay = my - 0.5 * height * ux;
    } else if (dx * ux + dy * uy > 0) {
        alignment = 3;
        ax = mx - 0.5 * width * ux;
        ay = my - 0.5 * width * uy;
    } else {
        alignment = 5;
        ax = mx + 0.5 * width * ux;
        ay = my + 0.5 * width * uy;
    }
    double margin = 0.25 * (height > 0 ? height : 0.1 * width);
    *box = Box{mx, my, ux, uy, 0.5 * width + margin, 0.5 * height + margin};

    // Canvas coordinates back to the canvas's current system.
    double cc[3] = {ax, ay, 0}, dc[3], at[3];
    gcoords_GApplyPart(&canvas->xf[GX_CC].forward, cc, dc);
    gcoords_GApplyPart(&canvas->current->inverse, dc, at);
    GVector position{GV_DOUBLE, 0, 2, 1, {at, nullptr, nullptr}};

    GTextModes saved = canvas->text, placed = canvas->text;
    placed.angle = std::lround(degrees * 64.0);
    placed.alignment = alignment;
    GSetTextModes(canvas, GTM_ANGLE | GTM_ALIGNMENT, &placed);
    gcolmap_GColourByValue(canvas, level, 0, 1, 0);
    GPutText(canvas, &position, label);
    GSetTextModes(canvas, GTM_COLOUR | GTM_ANGLE | GTM_ALIGNMENT, &saved);
}

namespace {

// A window is a label place when its chord is longer than the label and
// at least 0.95 of the path through it.
bool Trace::place_label()
{
    double cc[2 * RUN];
    for (int j = 0; j < n_; j++)
        to_canvas(&run_[2 * j], &cc[2 * j]);
    double path = 0;
    for (int j = 1; j < n_; j++)
        path += std::hypot(cc[2 * j] - cc[2 * j - 2], cc[2 * j + 1] - cc[2 * j - 1]);
    const double *first = cc, *last = &cc[2 * (n_ - 1)];
    double chord = std::hypot(last[0] - first[0], last[1] - first[1]);
    if (!(chord > label_w_) || chord < 0.95 * path)
        return false;
    Box box;
    GLabelContour(canvas_, label_, level_, first, last, label_w_, label_h_, &box);
    labelled_ = true;
    draw_around(box);
    return true;
}

void Trace::put_piece(std::vector<double> &piece)
{
    if (piece.size() >= 4) {
        GVector v{GV_DOUBLE, 0, 2, static_cast<long>(piece.size() / 2), {piece.data(), nullptr, nullptr}};
        gcontour_polyline(canvas_, &v);
    }
    piece.clear();
}

// The window's run drawn without what lies inside the label's box: each
// segment is cut by the box in canvas coordinates, and the cut points are
// taken back at the same fraction of the segment in the run's own
// coordinates (the transforms are affine).
void Trace::draw_around(const Box &box)
{
    std::vector<double> piece;
    auto frame = [&](const double *p, double &s, double &r) {
        double cc[2];
        to_canvas(p, cc);
        s = (cc[0] - box.mx) * box.ux + (cc[1] - box.my) * box.uy;
        r = -(cc[0] - box.mx) * box.uy + (cc[1] - box.my) * box.ux;
    };
    auto at = [&](int j, double f) {
        const double *p = &run_[2 * j], *q = &run_[2 * j + 2];
        piece.push_back(p[0] + f * (q[0] - p[0]));
        piece.push_back(p[1] + f * (q[1] - p[1]));
    };
    for (int j = 0; j + 1 < n_; j++) {
        double s0, r0, s1, r1;
        frame(&run_[2 * j], s0, r0);
        frame(&run_[2 * j + 2], s1, r1);
        // The part of the segment inside the box: t0 .. t1.
        double t0 = 0, t1 = 1;
        const double p[4] = {-(s1 - s0), s1 - s0, -(r1 - r0), r1 - r0};
        const double q[4] = {s0 + box.along, box.along - s0, r0 + box.across, box.across - r0};
        for (int e = 0; e < 4 && t0 <= t1; e++) {
            if (p[e] == 0) {
                if (q[e] < 0)
                    t0 = 2;
                continue;
            }
            double t = q[e] / p[e];
            if (p[e] < 0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        }
        if (piece.empty())
            at(j, 0);
        if (t0 >= t1) {
            at(j, 1);
            continue;
        }
        if (t0 > 0)
            at(j, t0);
        put_piece(piece);
        if (t1 < 1) {
            at(j, t1);
            at(j, 1);
        }
    }
    put_piece(piece);
}

}  // namespace

int GDrawContour(GCanvasRecord *canvas, const GGrid *grid, double level, const char *label)
{
    if (!canvas || !grid || !grid->values || !std::isfinite(level) || grid->nx < 3 || grid->nz < 3)
        return 0;
    GColourMapModes fixed = canvas->colourmap;
    fixed.fixed = 1;
    fixed.fixed_value = level;
    gcolmap_GSetColourMapModes(canvas, GCMM_FIXED | GCMM_FIXEDVALUE, &fixed);
    GGridModes unlocked = canvas->grid;
    unlocked.line_colour_lock = 0;
    ggrid_GSetGridModes(canvas, GGM_LOCK, &unlocked);

    long bytes = static_cast<long>(grid->nx) * grid->nz * 4 / 8 + 1;
    GBlock<unsigned char> visited(bytes);
    int result = 0;
    if (!visited) {
        result = -1;
    } else {
        memset(visited.get(), 0, static_cast<size_t>(bytes));
        Trace trace(canvas, grid, level, label, visited.get());
        for (long k = 0; k < grid->nz - 2; k++)
            for (long i = 0; i < grid->nx - 2; i++)
                for (int t = 0; t < 4; t++) {
                    if (trace.visited(i, k, t))
                        continue;
                    Corner c[3];
                    trace.corners(i, k, t, c);
                    const double v[3] = {c[0].v, c[1].v, c[2].v};
                    if (!GContourInCell(v, level))
                        continue;
                    Position pos{i, k, t, 0};
                    result = trace.follow(pos, false);
                    if (result == 0)
                        result = trace.follow(pos, true);
                }
    }
    fixed.fixed = 0;
    gcolmap_GSetColourMapModes(canvas, GCMM_FIXED, &fixed);
    return result;
}
