// Thresholds: up to eight bands of values, each drawn in a fixed style or
// with the colour map spread over it, compared in a space of their own.

#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>

namespace {

// The coordinates of a vector of doubles, either layout: x, y, z of point i.
struct Coords {
    GVector *v;
    double *at(long i, int c)
    {
        if (v->separate)
            return static_cast<double *>(v->data[c]) + i;
        return static_cast<double *>(v->data[0]) + i * v->dims + c;
    }
};

bool usable(const GVector *v) { return v && v->type == GV_DOUBLE && (v->dims == 2 || v->dims == 3); }

int apply(GVector *v, GScalarOp x, GScalarOp y, GScalarOp z)
{
    if (!usable(v))
        return -1;
    Coords c{v};
    GScalarOp ops[3] = {x, y, v->dims == 3 ? z : nullptr};
    for (long i = 0; i < v->count; i++)
        for (int k = 0; k < 3; k++)
            if (ops[k])
                *c.at(i, k) = ops[k](*c.at(i, k));
    return 0;
}

}  // namespace

int gthresh_GSetThresholdModes(GCanvasRecord *canvas, uint64_t mask, const GThresholdModes *m)
{
    GThresholdModes &t = canvas->threshold;
    if (mask & GTHM_COUNT)
        t.count = static_cast<int16_t>(m->count < 0 ? 0 : m->count > GTH_MAX ? int16_t(GTH_MAX) : m->count);
    if (mask & GTHM_VALUES)
        memcpy(t.values, m->values, sizeof t.values);
    if (mask & GTHM_COLOURS)
        memcpy(t.colours, m->colours, sizeof t.colours);
    if (mask & GTHM_FILLS)
        memcpy(t.fills, m->fills, sizeof t.fills);
    if (mask & GTHM_LINES)
        memcpy(t.lines, m->lines, sizeof t.lines);
    if (mask & GTHM_MARKERS)
        memcpy(t.markers, m->markers, sizeof t.markers);
    if (mask & GTHM_SELECTOR)
        t.selector = m->selector;
    if (mask & GTHM_TOLINEAR) t.to_linear = m->to_linear;
    if (mask & GTHM_FROMLINEAR) t.from_linear = m->from_linear;
    if (mask & GTHM_XFORWARD) t.x_forward = m->x_forward;
    if (mask & GTHM_XBACK) t.x_back = m->x_back;
    if (mask & GTHM_YFORWARD) t.y_forward = m->y_forward;
    if (mask & GTHM_YBACK) t.y_back = m->y_back;
    if (mask & GTHM_ZFORWARD) t.z_forward = m->z_forward;
    if (mask & GTHM_ZBACK) t.z_back = m->z_back;
    return 0;
}

int gthresh_GGetThresholdModes(GCanvasRecord *canvas, GThresholdModes *modes)
{
    *modes = canvas->threshold;
    return 0;
}

// Fill codes, line styles and markers keep what they held.
int gthresh_GSetDefaultThresholdModes(GCanvasRecord *canvas)
{
    GThresholdModes &t = canvas->threshold;
    t.count = 0;
    memset(t.values, 0, sizeof t.values);
    memset(t.colours, 0, sizeof t.colours);
    t.selector = 1;
    t.to_linear = t.from_linear = nullptr;
    t.x_forward = t.x_back = t.y_forward = t.y_back = t.z_forward = t.z_back = nullptr;
    return 0;
}

int gthresh_GThreshToLinear(GCanvasRecord *canvas, GVector *points)
{
    const GThresholdModes &t = canvas->threshold;
    return apply(points, t.x_forward, t.y_forward, t.z_forward);
}

int gthresh_GThreshFromLinear(GCanvasRecord *canvas, GVector *points)
{
    const GThresholdModes &t = canvas->threshold;
    return apply(points, t.x_back, t.y_back, t.z_back);
}

int gthresh_GThreshToPolar(GCanvasRecord *, GVector *points)
{
    if (!usable(points))
        return -1;
    Coords c{points};
    for (long i = 0; i < points->count; i++) {
        double x = *c.at(i, 0), y = *c.at(i, 1);
        *c.at(i, 0) = std::atan2(y, x);
        *c.at(i, 1) = std::hypot(x, y);
    }
    return 0;
}

int gthresh_GThreshFromPolar(GCanvasRecord *, GVector *points)
{
    if (!usable(points))
        return -1;
    Coords c{points};
    for (long i = 0; i < points->count; i++) {
        double a = *c.at(i, 0), r = *c.at(i, 1);
        *c.at(i, 0) = r * std::cos(a);
        *c.at(i, 1) = r * std::sin(a);
    }
    return 0;
}

int gthresh_GGetThresholdValues(GCanvasRecord *canvas, long *count, double **values)
{
    *count = 0;
    *values = nullptr;
    const GColourMapModes &cm = canvas->colourmap;
    const GThresholdModes &t = canvas->threshold;
    if (cm.range != 2)
        return -1;
    const long room = 256;
    double *v = static_cast<double *>(vx_malloc((room + 1) * static_cast<long>(sizeof(double)), 0));
    if (!v) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    long n = 0, levels = cm.levels;
    for (int i = 0; i < t.count && n < room; i++) {
        if (t.colours[i] != -1) {
            v[n++] = t.values[i];
            continue;
        }
        double start = i == 0 ? cm.datamin : t.values[i];
        double end = i + 1 < t.count ? t.values[i + 1] : cm.upper;
        // With fewer than two levels a band is one value: its start.
        if (levels < 2) {
            v[n++] = start;
            continue;
        }
        for (long m = i == 0 ? 0 : 1; m <= levels - 1 && n < room; m++)
            v[n++] = start + (end - start) * static_cast<double>(m) / static_cast<double>(levels - 1);
    }
    v[n] = cm.upper;
    *count = n;
    *values = v;
    return 0;
}
