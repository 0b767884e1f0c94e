// Text modes, measuring and output of text.

#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

int GSetTextModes(GCanvasRecord *canvas, uint64_t mask, const GTextModes *modes)
{
    if (mask & GTM_FONT) canvas->text.font = modes->font;
    if (mask & GTM_COLOUR) canvas->text.colour = modes->colour;
    if (mask & GTM_SCALE) canvas->text.scale = modes->scale;
    if (mask & GTM_ANGLE) canvas->text.angle = modes->angle;
    if (mask & GTM_ALIGNMENT) canvas->text.alignment = modes->alignment;
    gep_GCanvasEntryPoints(canvas)->SetTextModes(canvas, mask);
    return 0;
}

int gtext_GSetDefaultTextModes(GCanvasRecord *canvas)
{
    canvas->text = GTextModes{0, 1, 1.0, 0, 6};
    gep_GCanvasEntryPoints(canvas)->SetTextModes(canvas, GMASK_ALL);
    return 0;
}

int GGetTextModes(GCanvasRecord *canvas, GTextModes *modes)
{
    *modes = canvas->text;
    return 0;
}

// ---- measuring -----------------------------------------------------------

namespace {

const int16_t *metrics_of(const GVector *glyph)
{
    return glyph ? static_cast<const int16_t *>(glyph->data[1]) : nullptr;
}

GVector *glyph_of(const GFont *font, long code)
{
    if (!font->glyphs || code <= 0 || code >= font->numchars)
        return nullptr;
    return font->glyphs[code];
}

void rotate(const double *m, double x, double y, double &ox, double &oy)
{
    ox = m[0] * x + m[1] * y;
    oy = m[3] * x + m[4] * y;
}

// Rotates the box corners (x, y pairs) in place, as 16-bit values.
void rotate_corners(const double *m, short corners[8])
{
    for (int i = 0; i < 4; i++)
        gmatrix_GRotateShortPoint(m, &corners[2 * i]);
}

short clamp_short(double v) { return static_cast<short>(std::clamp(std::trunc(v), -32768.0, 32767.0)); }

// One point through one part of a transform.
void apply(const GXformPart &p, double &x, double &y)
{
    double in[3] = {x, y, 0}, out[3];
    gcoords_GApplyPart(&p, in, out);
    x = out[0];
    y = out[1];
}

}  // namespace

int GGetRelativeTextLimits(GCanvasRecord *canvas, const char *text, short corners[8])
{
    return gep_GCanvasEntryPoints(canvas)->GetRelativeTextLimits(canvas, text, corners);
}

int GGetTextOrgOffset(short *x, short *y, long alignment, const short c[8])
{
    auto mid = [&](int a, int b, int axis) {
        int va = c[2 * a + axis], vb = c[2 * b + axis];
        return static_cast<short>(va + (vb - va) / 2);
    };
    static const int pairs[9][2] = {{1, 1}, {1, 2}, {2, 2}, {0, 1}, {0, 2}, {3, 2}, {0, 0}, {0, 3}, {3, 3}};
    if (alignment < 0 || alignment > 8) {
        *x = *y = 0;
        return 0;
    }
    *x = mid(pairs[alignment][0], pairs[alignment][1], 0);
    *y = mid(pairs[alignment][0], pairs[alignment][1], 1);
    return 0;
}

void GSetupRotationMatrix(double *m, long angle)
{
    for (int i = 0; i < 9; i++)
        m[i] = (i % 4 == 0) ? 1 : 0;
    if (angle == 0)
        return;
    double a = angle * M_PI / 180.0 / 64.0;
    m[0] = cos(a);
    m[1] = -sin(a);
    m[3] = sin(a);
    m[4] = cos(a);
}

int GFontMetrics(const char *text, const GFont *font, double size, long *width, long *height, long *depth,
                 long *bearing)
{
    long w = 0, top = 0, bottom = 0, bear = 0;
    bool any_metrics = false;
    bool first = true;
    mbstate_t st{};
    size_t len = strlen(text);
    const char *p = text;
    while (len > 0) {
        wchar_t wc;
        size_t n = mbrtowc(&wc, p, std::min(len, static_cast<size_t>(MB_CUR_MAX)), &st);
        if (n == 0)
            break;
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            // Not a character of the locale: the byte stands for itself.
            wc = static_cast<unsigned char>(*p);
            n = 1;
            st = mbstate_t{};
        }
        long code = static_cast<long>(wc);
        if (code > 0 && code < font->numchars) {
            const GVector *g = glyph_of(font, code);
            const int16_t *m = metrics_of(g);
            if (g && m) {
                any_metrics = true;
                w = static_cast<long>(std::trunc(w + m[0] * size));
                top = std::max(top, static_cast<long>(std::trunc(m[2] * size)));
                bottom = std::min(bottom, static_cast<long>(std::trunc(m[3] * size)));
                if (first && n == 1)
                    bear = static_cast<long>(std::trunc(-(m[1] * size)));
            } else {
                w = static_cast<long>(std::trunc(w + font->width * size));
            }
        }
        first = false;
        p += n;
        len -= n;
    }
    *width = w;
    *height = any_metrics ? top - bottom : static_cast<long>(std::trunc(font->height * size));
    *depth = -bottom;
    *bearing = bear;
    return 0;
}

int gtext_GIsStrokeFont(GCanvasRecord *canvas, long index)
{
    GFont *f = gfont_GGetCanvasFont(canvas, index);
    return f && f->glyphs ? 1 : 0;
}

// ---- text box ------------------------------------------------------------

int GGetTextLimits(GCanvasRecord *canvas, const char *text, const GVector *position, short corners[8])
{
    const GTextModes &tm = canvas->text;
    double px = gvector_GGetValue(position, 0, 0), py = gvector_GGetValue(position, 0, 1);
    apply(canvas->current->forward, px, py);
    GFont *font = gfont_GGetCanvasFont(canvas, tm.font);
    GDeviceRecord *dev = canvas->device;
    if (font && font->glyphs) {
        apply(canvas->xf[GX_CC].inverse, px, py);
        double size = 5 * tm.scale;
        long w, h, d, b;
        GFontMetrics(text, font, size, &w, &h, &d, &b);
        short c[8] = {0, clamp_short(-d), 0, clamp_short(h), clamp_short(w), clamp_short(h), clamp_short(w),
                      clamp_short(-d)};
        double rot[9];
        GSetupRotationMatrix(rot, tm.angle);
        rotate_corners(rot, c);
        short ox, oy;
        GGetTextOrgOffset(&ox, &oy, tm.alignment, c);
        for (int i = 0; i < 4; i++) {
            double x = c[2 * i] - ox + px, y = c[2 * i + 1] - oy + py;
            apply(canvas->xf[GX_CC].forward, x, y);
            corners[2 * i] = clamp_short(x);
            corners[2 * i + 1] = clamp_short(y);
        }
        return 0;
    }
    short c[8];
    if (GGetRelativeTextLimits(canvas, text, c) == -1)
        return -1;
    short ox, oy;
    GGetTextOrgOffset(&ox, &oy, tm.alignment, c);
    bool invert = gep_GDeviceEntryPoints(dev)->InvertYDim(dev) == 1;
    double x = px - ox, y = invert ? py + oy : py - oy;
    for (int i = 0; i < 4; i++) {
        corners[2 * i] = clamp_short(c[2 * i] + x);
        corners[2 * i + 1] = clamp_short((invert ? -c[2 * i + 1] : c[2 * i + 1]) + y);
    }
    return 0;
}

int GClearText(GCanvasRecord *canvas, const GVector *position, const char *text)
{
    short c[8];
    if (GGetTextLimits(canvas, text, position, c) != 0)
        return -1;
    short minx = std::min({c[0], c[2], c[4], c[6]}), maxx = std::max({c[0], c[2], c[4], c[6]});
    short miny = std::min({c[1], c[3], c[5], c[7]}), maxy = std::max({c[1], c[3], c[5], c[7]});
    short corner[2] = {minx, miny}, size[2] = {static_cast<short>(maxx - minx), static_cast<short>(maxy - miny)};
    GVector cv{GV_SHORT, 0, 2, 1, {corner, nullptr, nullptr}}, sv{GV_SHORT, 0, 2, 1, {size, nullptr, nullptr}};
    return gep_GCanvasEntryPoints(canvas)->ClearArea(canvas, &cv, &sv);
}

// ---- output --------------------------------------------------------------

namespace {

// Draws one line of stroke text with its box's alignment point at (px, py)
// in canvas coordinates; -1 when the vertices cannot be stored.
int stroke_line(GCanvasRecord *canvas, const GFont *font, const std::string &line, double px, double py,
                const double *rot, double size, long *line_height)
{
    long w, h, d, b;
    GFontMetrics(line.c_str(), font, size, &w, &h, &d, &b);
    *line_height = h;
    short box[8] = {0, 0, 0, clamp_short(h), clamp_short(w), clamp_short(h), clamp_short(w), 0};
    rotate_corners(rot, box);
    short ox, oy;
    GGetTextOrgOffset(&ox, &oy, canvas->text.alignment, box);
    double bx, by;
    rotate(rot, static_cast<double>(b), static_cast<double>(d), bx, by);
    double pen_x = px + bx - ox, pen_y = py + by - oy;
    double adv_x, adv_y;
    rotate(rot, font->width * size, 0, adv_x, adv_y);

    // First pass: how many vertices; an unknown character is reported once.
    long vertices = 0;
    bool reported = false;
    for (int i = 0; i < static_cast<int>(line.size());) {
        long code = mb_charadvi(line.c_str(), &i);
        if (code <= 0 || code >= font->numchars) {
            if (!reported)
                gerror_GRegisterError(4, 10, 0, nullptr);
            reported = true;
            continue;
        }
        if (const GVector *g = glyph_of(font, code))
            vertices += g->count;
    }
    if (vertices == 0)
        return 0;
    short *out = static_cast<short *>(vx_malloc(2 * vertices * static_cast<long>(sizeof(short)), 0));
    if (!out) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    long k = 0;
    for (int i = 0; i < static_cast<int>(line.size());) {
        long code = mb_charadvi(line.c_str(), &i);
        const GVector *g = (code > 0 && code < font->numchars) ? glyph_of(font, code) : nullptr;
        if (!g) {
            if (code == ' ') {
                pen_x += adv_x;
                pen_y += adv_y;
            }
            continue;
        }
        const int16_t *v = static_cast<const int16_t *>(g->data[0]);
        for (long j = 0; j < g->count; j++) {
            double vx = std::trunc(v[2 * j] * size), vy = std::trunc(v[2 * j + 1] * size);
            double rx, ry;
            rotate(rot, vx, vy, rx, ry);
            out[2 * k] = clamp_short(rx + pen_x);
            out[2 * k + 1] = clamp_short(ry + pen_y);
            k++;
        }
        if (const int16_t *m = metrics_of(g)) {
            double ax, ay;
            rotate(rot, m[0] * size, 0, ax, ay);
            pen_x += ax;
            pen_y += ay;
        } else {
            pen_x += adv_x;
            pen_y += adv_y;
        }
    }
    GVector pts{GV_SHORT, 0, 2, vertices, {out, nullptr, nullptr}};
    gdraw_GDrawTextLines(canvas, &pts);
    vx_free(out);
    return 0;
}

}  // namespace

int GPutText(GCanvasRecord *canvas, const GVector *position, const char *text)
{
    if (!text || !*text)
        return 0;
    GTextModes tm = canvas->text;
    double px = gvector_GGetValue(position, 0, 0), py = gvector_GGetValue(position, 0, 1);
    apply(canvas->current->forward, px, py);
    GFont *font = gfont_GGetCanvasFont(canvas, tm.font);
    GDeviceRecord *dev = canvas->device;
    const GEntryPoints *ep = gep_GCanvasEntryPoints(canvas);
    if (!font || !font->glyphs) {
        short c[8];
        if (ep->GetRelativeTextLimits(canvas, text, c) == -1)
            return -1;
        short ox, oy;
        GGetTextOrgOffset(&ox, &oy, tm.alignment, c);
        if (ep->InvertYDim(dev) == 1)
            oy = static_cast<short>(-oy);
        short pos[2] = {clamp_short(px - ox), clamp_short(py - oy)};
        GVector pv{GV_SHORT, 0, 2, 1, {pos, nullptr, nullptr}};
        return ep->PutText(canvas, text, &pv);
    }
    double rot[9];
    GSetupRotationMatrix(rot, tm.angle);
    double size = 5 * tm.scale;
    apply(canvas->xf[GX_CC].inverse, px, py);
    std::string all(text);
    size_t nl = all.find('\n');
    std::string first = all.substr(0, nl);
    long h = 0;
    if (stroke_line(canvas, font, first, px, py, rot, size, &h) != 0)
        return -1;
    if (nl != std::string::npos) {
        std::string rest = all.substr(nl + 1);
        rest.erase(0, rest.find_first_not_of(' '));
        if (!rest.empty()) {
            // The second line sits its own height lower in canvas y.
            long h2 = 0, w2, height2, d2, b2;
            GFontMetrics(rest.c_str(), font, size, &w2, &height2, &d2, &b2);
            if (stroke_line(canvas, font, rest, px, py - height2, rot, size, &h2) != 0)
                return -1;
        }
    }
    return 0;
}
