// Coordinate transforms: composition, the y flip, point vectors between
// the coordinate systems of a canvas, lengths and user transforms.

#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>

namespace {

const GXformPart IDENTITY = {{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};

// Inverse of a 3-by-3 matrix; false when it is singular.
bool invert3(const double *m, double *r)
{
    double c00 = m[4] * m[8] - m[5] * m[7];
    double c01 = m[5] * m[6] - m[3] * m[8];
    double c02 = m[3] * m[7] - m[4] * m[6];
    double det = m[0] * c00 + m[1] * c01 + m[2] * c02;
    if (det == 0.0)
        return false;
    double t[9] = {c00 / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
                   c01 / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
                   c02 / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det};
    memcpy(r, t, sizeof t);
    return true;
}

}  // namespace

// Sets a transform's inverse part from its forward part (identity when the
// forward part is singular).
void gcoords_GInvertForward(GXform *t)
{
    double inv[9];
    if (!invert3(t->forward.m, inv)) {
        t->inverse = IDENTITY;
        return;
    }
    memcpy(t->inverse.m, inv, sizeof inv);
    double o[3];
    gmatrix_GMultiply3DMatWithVec(o, inv, t->forward.offset);
    for (int i = 0; i < 3; i++)
        t->inverse.offset[i] = -o[i];
}

void gcoords_GApplyPart(const GXformPart *part, const double in[3], double out[3])
{
    double r[3];
    gmatrix_GMultiply3DMatWithVec(r, part->m, in);
    for (int i = 0; i < 3; i++)
        out[i] = r[i] + part->offset[i];
}

void gcoords_GInitialiseTransform(GXform *transform)
{
    transform->forward = IDENTITY;
    transform->inverse = IDENTITY;
}

GXform *gcoords_GCreateTransform()
{
    GXform *t = static_cast<GXform *>(vx_malloc(sizeof(GXform), 0));
    if (!t) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    gcoords_GInitialiseTransform(t);
    return t;
}

void gcoords_GCopyTransform(GXform *destination, const GXform *source) { *destination = *source; }

void gcoords_GDestroyTransform(GXform *transform) { vx_free(transform); }

void gcoords_GCombineTransforms(GXform *result, const GXform *first, const GXform *second)
{
    GXform r;
    gmatrix_GMultiply3DMatrices(r.forward.m, second->forward.m, first->forward.m);
    gmatrix_GMultiply3DMatWithVec(r.forward.offset, second->forward.m, first->forward.offset);
    gmatrix_GAdd3DVectors(r.forward.offset, r.forward.offset, second->forward.offset);
    gmatrix_GMultiply3DMatrices(r.inverse.m, first->inverse.m, second->inverse.m);
    gmatrix_GMultiply3DMatWithVec(r.inverse.offset, first->inverse.m, second->inverse.offset);
    gmatrix_GAdd3DVectors(r.inverse.offset, r.inverse.offset, first->inverse.offset);
    *result = r;
}

void gcoords_GHackXformToInvertYdim(GXform *t, double height)
{
    t->forward.offset[1] = height - t->forward.offset[1];
    t->forward.m[3] = -t->forward.m[3];
    t->forward.m[4] = -t->forward.m[4];
    double inv[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (gmatrix_GInvert2DMatrix(inv, t->forward.m) != 0) {
        gerror_GRegisterError(2, 2, 0, nullptr);
        return;
    }
    t->inverse.m[0] = inv[0];
    t->inverse.m[1] = inv[1];
    t->inverse.m[3] = inv[3];
    t->inverse.m[4] = inv[4];
    double o[2];
    gmatrix_GMultiply2DMatWithVec(o, inv, t->forward.offset);
    t->inverse.offset[0] = -o[0];
    t->inverse.offset[1] = -o[1];
}

void gcoords_GScaleTransformIsotropic(GXform *transform, double factor)
{
    gmatrix_GScaleMatrix(transform->forward.m, factor);
    if (factor == 0.0)
        return;
    gmatrix_GScaleMatrix(transform->inverse.m, 1.0 / factor);
    for (double &o : transform->inverse.offset)
        o /= factor;
}

// ---- typed converters ----------------------------------------------------

namespace {

template <class Out>
inline Out store(double v);
template <>
inline short store<short>(double v)
{
    if (v >= 32767.0)
        return 32767;
    if (v <= -32768.0)
        return -32768;
    return static_cast<short>(v);  // truncates toward zero
}
template <>
inline double store<double>(double v)
{
    return v;
}

template <class In, class Out>
int convert(GVector *output, const GVector *input, const GXformPart *p, int dimensions)
{
    const double *m = p->m;
    const double tx = p->offset[0], ty = p->offset[1], tz = p->offset[2];
    long n = input->count;
    Out *o = static_cast<Out *>(output->data[0]);
    if (input->dims == 2) {
        const In *xs, *ys;
        long step;
        if (input->separate) {
            xs = static_cast<const In *>(input->data[0]);
            ys = static_cast<const In *>(input->data[1]);
            step = 1;
        } else {
            xs = static_cast<const In *>(input->data[0]);
            ys = xs + 1;
            step = 2;
        }
        for (long i = 0; i < n; i++) {
            double x = static_cast<double>(xs[i * step]), y = static_cast<double>(ys[i * step]);
            o[2 * i] = store<Out>(m[0] * x + m[1] * y + tx);
            o[2 * i + 1] = store<Out>(m[3] * x + m[4] * y + ty);
        }
        return 0;
    }
    if (input->dims != 3)
        return -1;
    const In *xs, *ys, *zs;
    long step;
    if (input->separate) {
        xs = static_cast<const In *>(input->data[0]);
        ys = static_cast<const In *>(input->data[1]);
        zs = static_cast<const In *>(input->data[2]);
        step = 1;
    } else {
        xs = static_cast<const In *>(input->data[0]);
        ys = xs + 1;
        zs = xs + 2;
        step = 3;
    }
    int od = dimensions == 3 ? 3 : 2;
    for (long i = 0; i < n; i++) {
        double x = static_cast<double>(xs[i * step]), y = static_cast<double>(ys[i * step]),
               z = static_cast<double>(zs[i * step]);
        o[od * i] = store<Out>(m[0] * x + m[1] * y + m[2] * z + tx);
        o[od * i + 1] = store<Out>(m[3] * x + m[4] * y + m[5] * z + ty);
        if (od == 3)
            o[od * i + 2] = store<Out>(m[6] * x + m[7] * y + m[8] * z + tz);
    }
    return 0;
}

}  // namespace

using GConverter = int (*)(GVector *, const GVector *, const GXformPart *, int);

int GTransformDoubleShort(GVector *o, const GVector *i, const GXformPart *p, int d) { return convert<double, short>(o, i, p, d); }
int GTransformFloatShort(GVector *o, const GVector *i, const GXformPart *p, int d) { return convert<float, short>(o, i, p, d); }
int GTransformLongShort(GVector *o, const GVector *i, const GXformPart *p, int d) { return convert<int64_t, short>(o, i, p, d); }
int GTransformShortShort(GVector *o, const GVector *i, const GXformPart *p, int d) { return convert<int16_t, short>(o, i, p, d); }
int GTransformDoubleDouble(GVector *o, const GVector *i, const GXformPart *p, int d) { return convert<double, double>(o, i, p, d); }
int GTransformFloatDouble(GVector *o, const GVector *i, const GXformPart *p, int d) { return convert<float, double>(o, i, p, d); }
int GTransformLongDouble(GVector *o, const GVector *i, const GXformPart *p, int d) { return convert<int64_t, double>(o, i, p, d); }
int GTransformShortDouble(GVector *o, const GVector *i, const GXformPart *p, int d) { return convert<int16_t, double>(o, i, p, d); }

namespace {
// By input element type (0 double, 1 float, 2 64-bit, 3 16-bit), then
// output: [type][0] 16-bit, [type][1] double.
const GConverter converters[4][2] = {{GTransformDoubleShort, GTransformDoubleDouble},
                                     {GTransformFloatShort, GTransformFloatDouble},
                                     {GTransformLongShort, GTransformLongDouble},
                                     {GTransformShortShort, GTransformShortDouble}};
}  // namespace

void *gcoords_GGetXformMemory(GVector *vector, int element_type)
{
    long size = gbits_GSimpleSize(element_type);
    void *p = size > 0 ? vx_malloc(vector->count * vector->dims * size, 0) : nullptr;
    if (!p)
        gerror_GRegisterError(4, 3, 0, nullptr);
    return p;
}

int gcoords_GTransformVector(GVector *output, const GVector *input, const GXform *transform, int part,
                             int output_type, int dimensions)
{
    if ((output_type != GV_SHORT && output_type != GV_DOUBLE) || input->type > 3 ||
        (input->dims != 2 && input->dims != 3))
        return -1;
    int od = input->dims == 3 && dimensions == 3 ? 3 : 2;
    *output = GVector{static_cast<unsigned char>(output_type), 0, static_cast<unsigned char>(od), input->count,
                      {nullptr, nullptr, nullptr}};
    if (input->count <= 0)
        return 0;
    output->data[0] = gcoords_GGetXformMemory(output, output_type);
    if (!output->data[0])
        return -1;
    const GXformPart *p = part == 0 ? &transform->forward : &transform->inverse;
    int r = converters[input->type][output_type == GV_SHORT ? 0 : 1](output, input, p, dimensions);
    if (r != 0)
        gvector_GFreeVectorData(output);
    return r;
}

namespace {

const GXform *system_transform(GCanvasRecord *c, int system, const GXform *identity)
{
    switch (system) {
    case GCS_DC: return identity;
    case GCS_VDC: return &c->xf[GX_VDC];
    case GCS_CC: return &c->xf[GX_CC];
    case GCS_PS: return &c->xf[GX_PS];
    case GCS_WC: return &c->xf[GX_WC];
    case GCS_FIFTH: return &c->xf[GX_FIFTH];
    case GCS_CURRENT: return c->current;
    default: return nullptr;
    }
}

}  // namespace

int GTransformPoints(GCanvasRecord *canvas, int from, int to, const GVector *input, GVector *output)
{
    GXform identity;
    gcoords_GInitialiseTransform(&identity);
    const GXform *f = system_transform(canvas, from, &identity);
    const GXform *t = system_transform(canvas, to, &identity);
    *output = GVector{};
    if (!f || !t)
        return -1;
    // From the source system to device coordinates, then back out to the
    // target system.
    GXform to_inverse{t->inverse, t->forward};
    GXform composite;
    gcoords_GCombineTransforms(&composite, f, &to_inverse);
    return gcoords_GTransformVector(output, input, &composite, 0, to == GCS_DC ? GV_SHORT : GV_DOUBLE, input->dims);
}

// ---- lengths -------------------------------------------------------------

double GTransformLength(GCanvasRecord *canvas, int unit, int axis, double length)
{
    if (axis < 0 || axis > 2 || (axis == 2 && unit != 6))
        return -1;
    const GDeviceModes &dm = canvas->device->modes;
    const GCanvasModes &cm = canvas->modes;
    int a = axis == 2 ? 0 : axis;
    double dc = static_cast<double>(a == 0 ? dm.dcxdim : dm.dcydim);
    double vdc = a == 0 ? dm.vdcxdim : dm.vdcydim;
    double cc = cm.ccextent[a];
    double size = cm.size[a];
    double plot = cm.pssize[a];
    long bx, by;
    gdev_GGetBaseDevLimits(&bx, &by);
    double base = static_cast<double>(a == 0 ? bx : by);
    double mn = cm.world[axis], mx = cm.world[axis + 3];
    // A zero divisor has no sensible answer: -1 as for an unknown unit.
    auto div = [](double n, double d) { return d == 0.0 ? NAN : n / d; };
    double r;
    switch (unit) {
    case 0: r = div(length * (vdc + 1), dc); break;
    case 1: r = div(length * dc, vdc + 1); break;
    case 2: r = div(length * (cc + 1), size); break;
    case 3: r = div(length * size, cc + 1); break;
    case 4: r = div(div(length * size, cc + 1) * dc, vdc + 1); break;
    case 5: r = div(length * (vdc + 1), base); break;
    case 6: {
        double p[6] = {0, 0, 0, 0, 0, 0};
        p[3 + axis] = div(length * vdc, base - 1);
        if (std::isnan(p[3 + axis]))
            return -1;
        GVector in{GV_DOUBLE, 0, 3, 2, {p, nullptr, nullptr}}, out;
        if (GTransformPoints(canvas, GCS_VDC, GCS_WC, &in, &out) != 0)
            return -1;
        double *o = static_cast<double *>(out.data[0]);
        r = o[3 + axis] - o[axis];
        gvector_GFreeVectorData(&out);
        break;
    }
    case 7:
        switch (cm.coords) {
        case GCS_VDC: return GTransformLength(canvas, 1, axis, length);
        case GCS_CC: return GTransformLength(canvas, 4, axis, length);
        case GCS_PS: return GTransformLength(canvas, 8, axis, length);
        default: return -1;
        }
    case 8: r = div(div(div(length * plot, cc + 1) * size, cc + 1) * dc, vdc + 1); break;
    case 9: r = div(length * cc, mx - mn); break;
    case 10: r = div(length * (mx - mn), cc); break;
    case 11: r = div(length * base, vdc + 1); break;
    default: return -1;
    }
    return std::isnan(r) ? -1 : r;
}

int GTransformBaseToVdcPoints(const GVector *input, GVector *output, int keep, const GDeviceModes *modes)
{
    if (gcoords_GTransformVector(output, input, gdev_GGetBaseTransform(), 1, GV_DOUBLE, input->dims) != 0)
        return -1;
    if (keep || output->count < 1)
        return 0;
    long bx, by;
    gdev_GGetBaseDevLimits(&bx, &by);
    double bd = static_cast<double>(by - 1), dd = static_cast<double>(modes->dcxdim - 1);
    if (bd == 0.0 || dd == 0.0)
        return 0;  // no aspect to correct for
    double e = static_cast<double>(bx - 1) / bd;
    double g = static_cast<double>(modes->dcydim - 1) / dd;
    double *p = static_cast<double *>(output->data[0]);
    if (e <= 1 && g <= 1) {
        p[1] = p[1] * g / e;
    } else if (e <= 1) {
        p[0] = p[0] / g;
        p[1] = p[1] / e;
    } else if (g <= 1) {
        p[0] = p[0] * e;
        p[1] = p[1] * g;
    } else {
        p[0] = p[0] * e / g;
    }
    return 0;
}

// ---- user transforms -----------------------------------------------------

GXform *gcoords_GCreateUserTransform(GCanvasRecord *canvas, const double *origin, const double *position,
                                     const long *angles, const double *scales, const double *flips, int mode)
{
    GXform *result = gcoords_GCreateTransform();
    if (!result)
        return nullptr;
    GXform F, T, R;
    gcoords_GInitialiseTransform(&F);
    gcoords_GInitialiseTransform(&T);
    gcoords_GInitialiseTransform(&R);
    if (flips)
        for (int i = 0; i < 3; i++)
            if (flips[i] != 0) {
                F.forward.m[4 * i] = -1;
                F.forward.offset[i] = flips[i];
            }
    gcoords_GInvertForward(&F);
    if (origin)
        for (int i = 0; i < 3; i++)
            T.forward.offset[i] = origin[i];
    gcoords_GInvertForward(&T);
    double a = angles ? angles[0] / 64.0 * M_PI / 180 : 0, b = angles ? angles[1] / 64.0 * M_PI / 180 : 0,
           w = angles ? angles[2] / 64.0 * M_PI / 180 : 0;
    double rx[9] = {1, 0, 0, 0, cos(a), -sin(a), 0, sin(a), cos(a)};
    double ry[9] = {cos(b), 0, -sin(b), 0, 1, 0, sin(b), 0, cos(b)};
    double rz[9] = {cos(w), -sin(w), 0, sin(w), cos(w), 0, 0, 0, 1};
    double s[9] = {scales ? scales[0] : 1, 0, 0, 0, scales ? scales[1] : 1, 0, 0, 0, scales ? scales[2] : 1};
    double t1[9], t2[9];
    gmatrix_GMultiply3DMatrices(t1, rz, ry);
    gmatrix_GMultiply3DMatrices(t2, t1, rx);
    gmatrix_GMultiply3DMatrices(R.forward.m, s, t2);
    if (position)
        for (int i = 0; i < 3; i++)
            R.forward.offset[i] = position[i];
    gcoords_GInvertForward(&R);
    GXform acc;
    switch (mode) {
    case 0:
        gcoords_GCombineTransforms(&acc, &T, &R);
        gcoords_GCombineTransforms(&acc, &acc, &F);
        break;
    case 1:
        gcoords_GCombineTransforms(&acc, &F, &T);
        gcoords_GCombineTransforms(&acc, &acc, &R);
        break;
    default:
        gcoords_GCombineTransforms(&acc, &F, &T);
        gcoords_GCombineTransforms(&acc, &acc, &R);
        gcoords_GCombineTransforms(&acc, &acc, &F);
        break;
    }
    gcoords_GCombineTransforms(result, &acc, &canvas->xf[GX_CC]);
    return result;
}

void gcoords_GFreeUserTransform(GXform *transform) { gcoords_GDestroyTransform(transform); }
