// The HP-GL (protocol 3) and HP-GL/2 (protocol 4) plotter driver.  Every
// move is relative except where a plotter instruction needs an absolute
// position; pen, line type, fill type, clip window and scaling are written
// only when they change.

#include "glinit.h"
#include "drv_msgs.h"
#include "ghout.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

constexpr uint64_t HPGL_MODES = GDM_DCXDIM | GDM_DCYDIM | GDM_UCXDIM | GDM_UCYDIM | GDM_DCXPOS | GDM_DCYPOS |
                                GDM_BGCOLOUR | GDM_COLOURMAP | GDM_LANDSCAPE | GDM_OUTPUT | GDM_FILLPAGE |
                                GDM_SPOOLCMD | GDM_FILENAME | GDM_PROLOG | GDM_EPILOG | GDM_DRIVERFLAG | GDM_CENTRE |
                                GDM_SUPPORTS;

// What a plotter lacks is reported once per device.
enum : int { MISSING_AA = 0x1, MISSING_WG = 0x2, MISSING_FILL = 0x4, MISSING_RA = 0x8 };

struct GLDevicePart {
    FILE *out;
    unsigned char kind;
    long x, y;
    int pen_up;
    long pen;
    long line_type;
    long charset;
    long fill_type;
    long hatch_spacing, hatch_angle;
    long sc[4];
    long iw[4];
    int absolute;
    long last_alignment;
    double si_height;
    long sd[6];
    int rotated;
    int first;
    int reported;
};

struct GLCanvasPart {
    long rect[3][4];  // device, canvas, plot space: x1, y1, x2, y2
};

GLDevicePart *part_of(GDeviceRecord *d) { return static_cast<GLDevicePart *>(d->driver); }
bool hpgl2(GDeviceRecord *d) { return d->modes.protocol == GP_HPGL2; }
bool has(GDeviceRecord *d, uint32_t bit) { return (d->modes.supports & bit) != 0; }

void put(GLDevicePart *p, const char *format, ...) __attribute__((format(printf, 2, 3)));
void put(GLDevicePart *p, const char *format, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    ghout_GHWriteStringOutput(p->out, buf);
}

void report_once(GDeviceRecord *d, int flag, int number)
{
    GLDevicePart *p = part_of(d);
    if (p->reported & flag)
        return;
    p->reported |= flag;
    gerror_GRegisterError(4, number, 0, nullptr);
}

// A path of the configuration: a relative one is taken in the
// configuration directory.
std::string config_path(const char *path)
{
    std::string s = path;
    const char *dir = gerror_GLibraryDirectory();
    if (!s.empty() && s[0] != '/' && dir && *dir)
        s = std::string(dir) + "/" + s;
    return s;
}

// A whole integer of a text, else `otherwise`.
long integer_of(const char *text, long otherwise)
{
    if (!text)
        return otherwise;
    char *end = nullptr;
    long v = strtol(text, &end, 10);
    while (end && *end == ' ')
        end++;
    return end != text && end && *end == '\0' ? v : otherwise;
}

// ---- plotting modes and moves -------------------------------------------

void relative(GLDevicePart *p)
{
    if (!p->absolute && !p->first)
        return;
    put(p, "PU;PA0,0;PR0,0;\n");
    p->x = p->y = 0;
    p->pen_up = 1;
    p->absolute = 0;
    p->first = 0;
}

void absolute(GLDevicePart *p)
{
    if (p->absolute)
        return;
    put(p, "PU;PA0,0;\n");
    p->x = p->y = 0;
    p->pen_up = 1;
    p->absolute = 1;
}

bool fits(long v) { return v >= -32768 && v <= 32767; }

void step(GLDevicePart *p, long x, long y, bool draw)
{
    long dx = x - p->x, dy = y - p->y;
    if (!fits(dx) || !fits(dy)) {
        step(p, p->x + dx / 2, p->y + dy / 2, draw);
        step(p, x, y, draw);
        return;
    }
    if (draw)
        put(p, p->pen_up ? "PD%ld,%ld;\n" : "PR%ld,%ld;\n", dx, dy);
    else
        put(p, p->pen_up ? "PR%ld,%ld;\n" : "PU%ld,%ld;\n", dx, dy);
    p->x = x;
    p->y = y;
    p->pen_up = draw ? 0 : 1;
}

void move_to(GLDevicePart *p, long x, long y)
{
    relative(p);
    if (x == p->x && y == p->y)
        return;
    step(p, x, y, false);
}

void line_to(GLDevicePart *p, long x, long y)
{
    relative(p);
    step(p, x, y, true);
}

// An absolute position with the pen put down there.
void pen_down_at(GLDevicePart *p, long x, long y)
{
    absolute(p);
    put(p, p->pen_up ? "PA%ld,%ld;PD;\n" : "PU%ld,%ld;PD;\n", x, y);
    p->x = x;
    p->y = y;
    p->pen_up = 0;
}

GList *colours_of(GDeviceRecord *d)
{
    if (d->modes.colourmap != -1)
        if (GColourMap *m = gcolmap_GGetColourMap(d->tables[GT_COLOURMAPS], d->modes.colourmap))
            return m->colours;
    return d->tables[GT_COLOURS];
}

// The pen of colour `index` of a colour table: its name read as a pen
// number, else its palette position (from 1).
long pen_of(const GColour *c, long index) { return c ? integer_of(c->name, index + 1) : index + 1; }

void set_pen(GDeviceRecord *d, long colour)
{
    GLDevicePart *p = part_of(d);
    GList *colours = colours_of(d);
    long n = GGetNumColoursIn(colours);
    long index = colour < 0 ? 0 : n > 0 ? colour % n : colour;
    // A name that is not a pen number: the palette position (HP-GL/2 numbers
    // its palette from 1).
    long pen = pen_of(gcolour_GGetColour(colours, index), index);
    if (pen == p->pen)
        return;
    if (!p->pen_up) {
        put(p, "PU;\n");
        p->pen_up = 1;
    }
    put(p, "SP%ld;\n", pen);
    p->pen = pen;
}

void set_line_type(GDeviceRecord *d, long style)
{
    GLDevicePart *p = part_of(d);
    GLineStyle *ls = style == -1 ? nullptr : glines_GGetLine(d->tables[GT_LINES], style);
    // No dashes: solid.  A dashed style whose name is no type: type 2.
    long type = ls && ls->dashes.count > 0 ? integer_of(ls->name, 2) : -1;
    if (type == p->line_type)
        return;
    p->line_type = type;
    if (type == -1) {
        put(p, "LT;\n");
        return;
    }
    double diag = std::sqrt(std::pow(d->modes.dcxdim / 1021.0, 2) + std::pow(d->modes.dcydim / 1021.0, 2));
    if (ls->length > 0 && diag > 0)
        put(p, "LT%ld,%1.1f;\n", type, ls->length * 100 / diag);
    else
        put(p, "LT%ld;\n", type);
}

void set_fill_type(GCanvasRecord *c)
{
    GDeviceRecord *d = c->device;
    GLDevicePart *p = part_of(d);
    long style = c->fill.style;
    if (style == 1 || style == 3 || style == 4) {
        if (p->fill_type != 1)
            put(p, "FT1;\n");
        p->fill_type = 1;
    } else if (style == 2) {
        GHatch *h = ghatch_GGetHatch(d->tables[GT_HATCHES], c->fill.hatch);
        long angle = 0, spacing = 0;
        if (h && h->count > 0 && h->data[0]) {
            const int16_t *f = static_cast<const int16_t *>(h->data[0]);
            angle = (f[0] * 2 + 45) / 90 * 45;
            spacing = f[1] * 10;
        }
        if (p->fill_type != 3 || spacing != p->hatch_spacing || angle != p->hatch_angle)
            put(p, "FT3,%ld,%ld;\n", spacing, angle);
        p->fill_type = 3;
        p->hatch_spacing = spacing;
        p->hatch_angle = angle;
    }
}

// The HP-GL/2 palette: each pen that a colour of the device's own table
// names gets that colour, the first colour naming it; pen 0 draws nothing
// and keeps its paper colour.
void write_palette(GDeviceRecord *d)
{
    GLDevicePart *p = part_of(d);
    GList *colours = d->tables[GT_COLOURS];
    const long n = GGetNumColoursIn(colours);
    long pens = n;
    for (long i = 0; i < n; i++)
        pens = std::max(pens, pen_of(gcolour_GGetColour(colours, i), i) + 1);
    put(p, "NP%ld;\n", pens);
    std::set<long> given;
    for (long i = 0; i < n; i++) {
        const GColour *c = gcolour_GGetColour(colours, i);
        const long pen = pen_of(c, i);
        if (!c || pen <= 0 || !given.insert(pen).second)
            continue;
        put(p, "PC%ld,%d,%d,%d;\n", pen, c->red / 257, c->green / 257, c->blue / 257);
    }
}

void write_scaling(GDeviceRecord *d)
{
    GLDevicePart *p = part_of(d);
    long want[4] = {0, d->modes.dcxdim, 0, d->modes.dcydim};
    if (memcmp(want, p->sc, sizeof want) == 0)
        return;
    put(p, "SC0,%ld,0,%ld;\n", want[1], want[3]);
    memcpy(p->sc, want, sizeof want);
}

// ---- clip windows ----------------------------------------------------------

void apply(const GXformPart &t, double x, double y, double &ox, double &oy)
{
    double in[3] = {x, y, 0}, out[3];
    gcoords_GApplyPart(&t, in, out);
    ox = out[0];
    oy = out[1];
}

void build_rects(GCanvasRecord *c)
{
    GLCanvasPart *cp = static_cast<GLCanvasPart *>(c->driver);
    const GDeviceModes &dm = c->device->modes;
    const GCanvasModes &m = c->modes;
    long dev[4] = {0, 0, dm.dcxdim, dm.dcydim};
    memcpy(cp->rect[0], dev, sizeof dev);
    double x, y;
    apply(c->xf[GX_VDC].forward, m.origin[0], m.origin[1], x, y);
    long w = static_cast<long>(GTransformLength(c, 1, 0, m.size[0]));
    long h = static_cast<long>(GTransformLength(c, 1, 1, m.size[1]));
    long can[4] = {static_cast<long>(x), static_cast<long>(y), static_cast<long>(x) + w, static_cast<long>(y) + h};
    memcpy(cp->rect[1], can, sizeof can);
    if (m.dimension == 2) {
        double x0, y0, x1, y1;
        apply(c->xf[GX_CC].forward, m.psorigin[0], m.psorigin[1], x0, y0);
        apply(c->xf[GX_CC].forward, m.psorigin[0] + m.pssize[0], m.psorigin[1] + m.pssize[1], x1, y1);
        long ps[4] = {static_cast<long>(std::min(x0, x1)) - 1, static_cast<long>(std::min(y0, y1)) - 1,
                      static_cast<long>(std::max(x0, x1)) + 1, static_cast<long>(std::max(y0, y1)) + 1};
        memcpy(cp->rect[2], ps, sizeof ps);
    } else {
        memcpy(cp->rect[2], can, sizeof can);
    }
}

void set_clip(GCanvasRecord *c)
{
    GLCanvasPart *cp = static_cast<GLCanvasPart *>(c->driver);
    GDeviceRecord *d = c->device;
    GLDevicePart *p = part_of(d);
    int mode = c->modes.clip;
    if (mode < 0 || mode > 2)
        return;
    const long *r = cp->rect[mode];
    if (memcmp(r, p->iw, sizeof p->iw) == 0)
        return;
    memcpy(p->iw, r, sizeof p->iw);
    // The window is written after the scaling (SC) has switched the plotter
    // to user units, which are device units: the rectangle as it stands.
    // (Offset to plotter units it clipped the plot away from the page's
    // margin.)
    put(p, "IW%ld,%ld,%ld,%ld;\n", r[0], r[1], r[2], r[3]);
}

// ---- slots -----------------------------------------------------------------

int set_default_device_modes(GDeviceModes *m)
{
    unsigned char protocol = m->protocol == GP_HPGL2 ? GP_HPGL2 : GP_HPGL;
    *m = GDeviceModes{};
    m->protocol = protocol;
    m->dcxdim = 10000;
    m->dcydim = 7200;
    m->ucxdim = 10365;
    m->ucydim = 7962;
    m->vdcxdim = m->vdcydim = 4095;
    m->dcxpos = 250;
    m->dcypos = 596;
    m->bg_colour = 1;
    m->colourmap = -1;
    m->landscape = 1;
    m->centre = 1;
    m->supports = 0xFFFFFFFFu;
    return 0;
}

int set_device_modes(GDeviceRecord *d, uint64_t mask, const GDeviceModes *m)
{
    GDeviceModes copy = *m;  // the caller may pass the device's own record
    gdev_GApplyDeviceModes(d, mask & HPGL_MODES, &copy);
    return 0;
}

int initialise_plotter(GDeviceRecord *d)
{
    GLDevicePart *p = part_of(d);
    FILE *out = p->out;
    unsigned char kind = p->kind;
    *p = GLDevicePart{};
    p->out = out;
    p->kind = kind;
    p->pen_up = 1;
    p->pen = -1;
    p->line_type = -1;  // the plotter starts with solid lines
    p->fill_type = 1;
    p->hatch_spacing = 10;
    p->hatch_angle = 0;
    for (int i = 0; i < 4; i++)
        p->sc[i] = p->iw[i] = -1;
    p->absolute = 1;
    p->last_alignment = -1;
    p->si_height = -1;
    for (long &v : p->sd)
        v = -1;
    p->first = 1;
    GDeviceModes &m = d->modes;
    if (!m.prolog[0] || ghout_GHWriteIncludedFile(p->out, config_path(m.prolog).c_str()) != 0) {
        gerror_GRegisterError(4, 9, 0, m.prolog[0] ? m.prolog : nullptr);
        return -1;
    }
    bool wide = m.ucxdim >= m.ucydim;
    p->rotated = (wide && !m.landscape) || (!wide && m.landscape);
    if (p->rotated && !m.fillpage) {
        std::swap(m.dcxdim, m.dcydim);
        long old_x = m.dcxpos, old_y = m.dcypos;
        m.dcypos = old_x;
        m.dcxpos = m.ucydim - (old_y + m.dcxdim);
    }
    double px = p->rotated ? m.ucydim : m.ucxdim, py = p->rotated ? m.ucxdim : m.ucydim;
    double sx = m.dcxdim > 0 ? px / m.dcxdim : 1, sy = m.dcydim > 0 ? py / m.dcydim : 1;
    if (m.fillpage) {
        double s = std::min(sx, sy);
        m.dcxdim = static_cast<int64_t>(m.dcxdim * s);
        m.dcydim = static_cast<int64_t>(m.dcydim * s);
        if (sx <= sy) {
            m.dcxpos = 0;
            m.dcypos = static_cast<int64_t>(py) - m.dcydim;
        } else {
            m.dcxpos = static_cast<int64_t>(px) - m.dcxdim;
            m.dcypos = 0;
        }
    }
    if (m.centre) {
        if (sx <= sy)
            m.dcypos = (static_cast<int64_t>(py) - m.dcydim) / 2;
        else
            m.dcxpos = (static_cast<int64_t>(px) - m.dcxdim) / 2;
    }
    if (hpgl2(d))
        write_palette(d);
    if (p->rotated)
        put(p, "RO90;IW;\n");
    put(p, "IP%ld,%ld,%ld,%ld;\n", static_cast<long>(m.dcxpos), static_cast<long>(m.dcypos),
        static_cast<long>(m.dcxpos + m.dcxdim), static_cast<long>(m.dcypos + m.dcydim));
    write_scaling(d);
    return 0;
}

int open_device(GDeviceRecord *d, uint64_t mask)
{
    GLDevicePart *p = static_cast<GLDevicePart *>(vx_malloc(sizeof(GLDevicePart), 0));
    if (!p) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    *p = GLDevicePart{};
    GDeviceModes &m = d->modes;
    p->kind = m.output == 1 ? GHOUT_SPOOL : GHOUT_FILE;
    const char *name = m.output == 1 ? m.spoolcmd : m.filename;
    p->out = ghout_GHOpenOutput(name, p->kind);
    if (!p->out) {
        gerror_GRegisterError(4, 8, 0, name);
        vx_free(p);
        return -1;
    }
    d->driver = p;
    if (initialise_plotter(d) != 0) {
        ghout_GHCloseOutput(p->out, p->kind);
        vx_free(p);
        d->driver = nullptr;
        return -1;
    }
    gdev_GComputeVdcExtents(&m);
    if ((mask & GDM_DRIVERFLAG) && m.driverflag) {
        set_pen(d, 1);
        move_to(p, 0, 0);
        line_to(p, 0, m.dcydim);
        line_to(p, m.dcxdim, m.dcydim);
        line_to(p, m.dcxdim, 0);
        line_to(p, 0, 0);
    }
    return 0;
}

int close_device(GDeviceRecord *d)
{
    GLDevicePart *p = part_of(d);
    if (!p)
        return 0;
    const char *epilog = d->modes.epilog;
    if (!epilog[0] || ghout_GHWriteIncludedFile(p->out, config_path(epilog).c_str()) != 0) {
        gerror_GRegisterError(4, 11, 0, epilog[0] ? epilog : nullptr);
        put(p, "PU;PA0,0;SP;SC;\n");
    }
    int r = ghout_GHCloseOutput(p->out, p->kind);
    vx_free(p);
    d->driver = nullptr;
    return r;
}

int open_canvas(GCanvasRecord *c)
{
    if (!part_of(c->device))
        return -1;
    GLCanvasPart *cp = static_cast<GLCanvasPart *>(vx_malloc(sizeof(GLCanvasPart), 0));
    if (!cp) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    *cp = GLCanvasPart{};
    c->driver = cp;
    build_rects(c);
    set_clip(c);
    return 0;
}

int close_canvas(GCanvasRecord *c)
{
    vx_free(c->driver);
    c->driver = nullptr;
    return 0;
}

int set_canvas_modes(GCanvasRecord *c, uint64_t mask)
{
    if (!c->driver || !part_of(c->device))
        return 0;
    if (mask & (GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_PSEXTENT | GCM_DIMENSION))
        build_rects(c);
    if (mask & (GCM_CLIP | GCM_ORIGIN | GCM_SIZE | GCM_PSORIGIN | GCM_PSSIZE | GCM_PSEXTENT | GCM_DIMENSION))
        set_clip(c);
    return 0;
}

const short *pts(const GVector *v) { return static_cast<const short *>(v->data[0]); }

bool ready(GCanvasRecord *c) { return c && c->driver && part_of(c->device); }

int segments(GCanvasRecord *c, const GVector *pairs, long colour, long style)
{
    if (!ready(c))
        return -1;
    GLDevicePart *p = part_of(c->device);
    set_pen(c->device, colour);
    set_line_type(c->device, style);
    const short *s = pts(pairs);
    for (long i = 0; i + 1 < pairs->count; i += 2) {
        move_to(p, s[2 * i], s[2 * i + 1]);
        line_to(p, s[2 * i + 2], s[2 * i + 3]);
    }
    return 0;
}

int draw_line(GCanvasRecord *c, const GVector *a, const GVector *b)
{
    if (!ready(c) || a->count < 1 || b->count < 1)
        return -1;
    short both[4] = {pts(a)[0], pts(a)[1], pts(b)[0], pts(b)[1]};
    GVector v{GV_SHORT, 0, 2, 2, {both, nullptr, nullptr}};
    return segments(c, &v, c->line.colour, c->line.style);
}

int draw_lines(GCanvasRecord *c, const GVector *pairs) { return segments(c, pairs, c->line.colour, c->line.style); }

int draw_text_lines(GCanvasRecord *c, const GVector *pairs) { return segments(c, pairs, c->text.colour, -1); }

int shape(GCanvasRecord *c, const GVector *points, bool close)
{
    if (!ready(c))
        return -1;
    GDeviceRecord *d = c->device;
    GLDevicePart *p = part_of(d);
    long n = points->count;
    if (n < 1)
        return 0;
    const short *s = pts(points);
    set_pen(d, c->line.colour);
    set_line_type(d, c->line.style);
    bool fill = c->fill.style != 0;
    if (close && has(d, GL_PM) && has(d, GL_EP)) {
        move_to(p, s[0], s[1]);
        put(p, "PM0;\n");
        for (long i = 1; i < n; i++)
            line_to(p, s[2 * i], s[2 * i + 1]);
        put(p, "PM2;\n");
        if (fill) {
            if (has(d, GL_FP)) {
                // Filled with the fill colour's pen, edged with the line's.
                set_fill_type(c);
                set_pen(d, c->fill.colour);
                put(p, "FP\n");
                set_pen(d, c->line.colour);
            } else {
                report_once(d, MISSING_FILL, 14);
            }
        }
        put(p, "EP\n");
        return 0;
    }
    move_to(p, s[0], s[1]);
    for (long i = 1; i < n; i++)
        line_to(p, s[2 * i], s[2 * i + 1]);
    if (close) {
        line_to(p, s[0], s[1]);
        if (fill)
            report_once(d, MISSING_FILL, 14);
    }
    return 0;
}

int draw_polyline(GCanvasRecord *c, const GVector *points) { return shape(c, points, c->line.flag != 0); }

// A polygon is a closed shape whatever the line's close flag says.
int draw_polygon(GCanvasRecord *c, const GVector *points, int) { return shape(c, points, true); }

int draw_rectangle(GCanvasRecord *c, const GVector *corner, const GVector *size)
{
    if (!ready(c) || corner->count < 1 || size->count < 1)
        return -1;
    GDeviceRecord *d = c->device;
    GLDevicePart *p = part_of(d);
    long x = pts(corner)[0], y = pts(corner)[1], w = pts(size)[0], h = pts(size)[1];
    set_pen(d, c->line.colour);
    set_line_type(d, c->line.style);
    move_to(p, x, y);
    line_to(p, x + w, y);
    line_to(p, x + w, y + h);
    line_to(p, x, y + h);
    line_to(p, x, y);
    if (c->fill.style != 0) {
        if (!has(d, GL_RA)) {
            report_once(d, MISSING_RA, 15);
            return 0;
        }
        set_fill_type(c);
        set_pen(d, c->fill.colour);
        pen_down_at(p, x, y);
        put(p, "RA%ld,%ld;\n", x + w, y + h);
    }
    return 0;
}

int draw_arc(GCanvasRecord *c, const GVector *first, const GVector *second, long start, long extent)
{
    if (!ready(c) || first->count < 1 || second->count < 1)
        return -1;
    GDeviceRecord *d = c->device;
    GLDevicePart *p = part_of(d);
    if (!has(d, GL_AA)) {
        report_once(d, MISSING_AA, 12);
        return -1;
    }
    long x1 = std::min(pts(first)[0], pts(second)[0]), x2 = std::max(pts(first)[0], pts(second)[0]);
    long y1 = std::min(pts(first)[1], pts(second)[1]), y2 = std::max(pts(first)[1], pts(second)[1]);
    long cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    long a = (x2 - x1) / 2, b = (y2 - y1) / 2;
    long r = std::min(a, b);
    long dcx = d->modes.dcxdim, dcy = d->modes.dcydim;
    bool scaled = a != b && a > 0 && b > 0;
    set_pen(d, c->line.colour);
    set_line_type(d, c->line.style);
    if (scaled) {
        // The circle of radius r in these units is the ellipse on paper.
        double ra = static_cast<double>(r) / a, rb = static_cast<double>(r) / b;
        if (hpgl2(d))
            put(p, "SC%.2f,%.2f,%.2f,%.2f;\n", cx - cx * ra, cx + (dcx - cx) * ra, cy - cy * rb, cy + (dcy - cy) * rb);
        else
            put(p, "SC%ld,%ld,%ld,%ld;\n", static_cast<long>(cx - cx * ra), static_cast<long>(cx + (dcx - cx) * ra),
                static_cast<long>(cy - cy * rb), static_cast<long>(cy + (dcy - cy) * rb));
        for (long &v : p->sc)
            v = -1;
    }
    double s = start / 64.0 * M_PI / 180.0;
    pen_down_at(p, cx + static_cast<long>(r * std::cos(s)), cy + static_cast<long>(r * std::sin(s)));
    put(p, "AA%ld,%ld,%ld;\n", cx, cy, extent / 64);
    int result = 0;
    if (c->fill.style != 0) {
        if (!has(d, GL_WG)) {
            report_once(d, MISSING_WG, 13);
            result = -1;
        } else {
            set_fill_type(c);
            set_pen(d, c->fill.colour);
            pen_down_at(p, cx, cy);
            put(p, "WG%ld,%ld,%ld;\n", r, start / 64, extent / 64);
        }
    }
    if (scaled)
        write_scaling(d);
    return result;
}

int put_text(GCanvasRecord *c, const char *text, const GVector *position)
{
    if (!ready(c) || !text || position->count < 1)
        return -1;
    GDeviceRecord *d = c->device;
    GLDevicePart *p = part_of(d);
    GFont *f = gfont_GGetCanvasFont(c, c->text.font);
    long height = f ? f->height : 12;
    if (f && !hpgl2(d)) {
        long set = integer_of(f->charset, 0);
        double h = f->height * 0.65 * 2.54 / 72;
        if (h != p->si_height) {
            put(p, "SI%1.2f,%1.2f;\n", h / 1.8, h);
            p->si_height = h;
        }
        if (set != p->charset) {
            put(p, "CS%ld;\n", set);
            p->charset = set;
        }
    } else if (f) {
        long sd[6] = {integer_of(f->charset, 0), f->fixed ? 0L : 1L, f->height, f->italic ? 1L : 0L,
                      integer_of(f->weight, 0), integer_of(f->typeface, 0)};
        if (memcmp(sd, p->sd, sizeof sd) != 0) {
            put(p, "SD1,%ld,2,%ld,4,%ld,5,%ld,6,%ld,7,%ld;\n", sd[0], sd[1], sd[2], sd[3], sd[4], sd[5]);
            memcpy(p->sd, sd, sizeof sd);
        }
    }
    set_pen(d, c->text.colour);
    std::string all(text);
    size_t nl = all.find('\n');
    std::string parts[2] = {all.substr(0, nl), nl == std::string::npos ? std::string() : all.substr(nl + 1)};
    parts[1].erase(0, parts[1].find_first_not_of(' '));
    long x = pts(position)[0], y = pts(position)[1];
    for (int i = 0; i < (nl == std::string::npos ? 1 : 2); i++) {
        long ly = i == 0 ? y : y - height * 10;
        absolute(p);
        put(p, p->pen_up ? "PA%ld,%ld;\n" : "PU;PA%ld,%ld;\n", x, ly);
        p->x = x;
        p->y = ly;
        p->pen_up = 1;
        long align = std::clamp<int64_t>(c->text.alignment, 0, 8);
        long row = align / 3, col = align % 3;
        if (has(d, GL_LO)) {
            if (align != p->last_alignment)
                put(p, "LO%ld;\n", 3 * (col + 1) - row);
            p->last_alignment = align;
        } else {
            double len = static_cast<double>(parts[i].size());
            double cx = col == 0 ? 0 : col == 1 ? -len / 2 : -len;
            double cy = row == 0 ? -0.5 : row == 1 ? -0.25 : 0;
            put(p, "CP%3.2f,%3.2f;\n", cx, cy);
        }
        put(p, "LB%s\x03;\n", parts[i].c_str());
    }
    return 0;
}

int draw_grid(GCanvasRecord *, const GVector *, const GVector *, long, const GVector *)
{
    fputs("GLDrawGrid not implemented !! \n", stderr);
    return 0;
}

int draw_image(GCanvasRecord *, const void *)
{
    gerror_GRegisterError(3, 21, 0, nullptr);
    return -2;
}

int create_transforms(GCanvasRecord *c)
{
    GXform &t = c->xf[GX_FIFTH];
    gcoords_GInitialiseTransform(&t);
    for (int i : {0, 4, 8}) {
        t.forward.m[i] = 1021;
        t.inverse.m[i] = 1.0 / 1021;
    }
    return 0;
}

int nothing_canvas_mask(GCanvasRecord *, uint64_t) { return 0; }

const GEntryPoints hpgl_entry_points = {
    .ClearArea = gstub_Area,       // a plotter cannot take ink away
    .ClearCanvas = gstub_Canvas,
    .ClearDevice = gstub_Device,
    .CloseCanvas = close_canvas,
    .CloseDevice = close_device,
    .DrawArc = draw_arc,
    .DrawGrid = draw_grid,
    .DrawLine = draw_line,
    .DrawLines = draw_lines,
    .DrawPolyLine = draw_polyline,
    .DrawFilledPolygon = draw_polygon,
    .DrawRectangle = draw_rectangle,
    .DrawTextLines = draw_text_lines,
    .FlushDevice = gstub_Device,
    .GetDeviceModes = gstub_GetDeviceModes,
    .GetRelativeTextLimits = gstub_TextLimits,
    .Initialise = gstub_None,
    .InvertYDim = gstub_YUp,
    .OpenCanvas = open_canvas,
    .OpenDevice = open_device,
    .PutText = put_text,
    .SamplePointer = gstub_SamplePointer,
    .SetCanvasModes = set_canvas_modes,
    .SetDefaultDeviceModes = set_default_device_modes,
    .SetDeviceModes = set_device_modes,
    .SetFillModes = nothing_canvas_mask,   // written when a fill needs them
    .SetLineModes = nothing_canvas_mask,   // written when a line needs them
    .SetTextModes = nothing_canvas_mask,   // written when a text needs them
    .Terminate = gstub_None,
    .CommentOutput = gstub_Comment,
    .FlushCanvas = gstub_Canvas,
    .DrawImage = draw_image,
    .GetCanvasColour = gstub_CanvasColour,
    .SetPolylineClip = gstub_Clip,
    .CreateTransforms = create_transforms,
};

}  // namespace

const GEntryPoints *glinit_GLPrimitives() { return &hpgl_entry_points; }

void glinit_GInstallDriver() { gep_GSetDriver(GDRV_HPGL, glinit_GLPrimitives()); }
