// Point surfaces (rows of 3-D points with column indices) drawn as rows,
// columns, joined markers, impulses, edges and depth-sorted patches; and
// the borders of a canvas, its plot space and its device.

#include "gdriver.h"
#include "gsurfhook.h"
#include "pelx.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

void *default_alloc(long size) { return vx_malloc(size, 0); }

const long GROWTH = 2048;

long element_size(const GSurface *s) { return gbits_GSimpleSize(s->points.type); }

char *point_at(const GSurface *a, long i)
{
    return static_cast<char *>(a->points.data[0]) + i * 3 * element_size(a);
}

// A one-point vector over a point of a surface array (or of a buffer).
GVector one_point(int type, void *data) { return GVector{static_cast<unsigned char>(type), 0, 3, 1, {data, nullptr, nullptr}}; }

double get(const void *p, int type, int c)
{
    switch (type) {
    case GV_DOUBLE: return static_cast<const double *>(p)[c];
    case GV_FLOAT: return static_cast<const float *>(p)[c];
    case GV_LONG: return static_cast<double>(static_cast<const int64_t *>(p)[c]);
    default: return static_cast<const int16_t *>(p)[c];
    }
}

// Stores a double as the element type; integers are clamped to their range.
void put(void *p, int type, int c, double v)
{
    switch (type) {
    case GV_DOUBLE: static_cast<double *>(p)[c] = v; break;
    case GV_FLOAT: static_cast<float *>(p)[c] = static_cast<float>(v); break;
    case GV_LONG:
        static_cast<int64_t *>(p)[c] = std::isnan(v) ? 0 : v >= 9.2e18 ? INT64_MAX : v <= -9.2e18 ? INT64_MIN
                                                                                      : static_cast<int64_t>(v);
        break;
    default:
        static_cast<int16_t *>(p)[c] = std::isnan(v) ? 0 : static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
        break;
    }
}

// Room for one point of any element type.
struct PointBuffer {
    alignas(8) unsigned char bytes[24];
};

// Both blocks grow together, by half their size at least (a long line of
// points is not copied over and over); on failure nothing changes.
int grow(GSurface *s)
{
    long es = element_size(s);
    int64_t capacity = s->capacity + std::max<int64_t>(GROWTH, s->capacity / 2);
    char *points = static_cast<char *>(gsurf_block_alloc(capacity * 3 * es));
    int64_t *columns = static_cast<int64_t *>(gsurf_block_alloc(capacity * static_cast<long>(sizeof(int64_t))));
    if (!points || !columns) {
        vx_free(points);
        vx_free(columns);
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    char *old_points = static_cast<char *>(s->points.data[0]);
    int64_t *old_columns = s->columns;
    if (s->total > 0) {
        memcpy(points, old_points, static_cast<size_t>(s->total * 3 * es));
        memcpy(columns, old_columns, static_cast<size_t>(s->total) * sizeof(int64_t));
    }
    for (GSurface *a = s; a; a = a->next) {
        a->points.data[0] = points + (static_cast<char *>(a->points.data[0]) - old_points);
        a->columns = columns + (a->columns - old_columns);
    }
    vx_free(old_points);
    vx_free(old_columns);
    s->capacity = capacity;
    return 0;
}

GSurface *last_array(GSurface *s)
{
    while (s->next)
        s = s->next;
    return s;
}

std::vector<GSurface *> filled_arrays(GSurface *s)
{
    std::vector<GSurface *> rows;
    for (GSurface *a = s; a; a = a->next)
        if (a->points.count > 0)
            rows.push_back(a);
    return rows;
}

// The current transform and clip selector of a canvas, put back on leaving.
class View {
public:
    View(GCanvasRecord *c, int xf) : c_(c), current_(c->current), clip_(c->modes.clip) { c->current = &c->xf[xf]; }
    void no_clipping()
    {
        GCanvasModes m{};
        m.clip = 0;
        GSetCanvasModes(c_, GCM_CLIP, &m);
        clip_changed_ = true;
    }
    ~View()
    {
        c_->current = current_;
        if (clip_changed_) {
            GCanvasModes m{};
            m.clip = clip_;
            GSetCanvasModes(c_, GCM_CLIP, &m);
        }
    }

private:
    GCanvasRecord *c_;
    GXform *current_;
    unsigned char clip_;
    bool clip_changed_ = false;
};

void line2(GCanvasRecord *c, double x1, double y1, double x2, double y2)
{
    double a[2] = {x1, y1}, b[2] = {x2, y2};
    GVector va{GV_DOUBLE, 0, 2, 1, {a, nullptr, nullptr}}, vb{GV_DOUBLE, 0, 2, 1, {b, nullptr, nullptr}};
    gdraw_GDrawLine(c, &va, &vb);
}

void polyline2(GCanvasRecord *c, const double (&xy)[10])
{
    double p[10];
    memcpy(p, xy, sizeof p);
    GVector v{GV_DOUBLE, 0, 2, 5, {p, nullptr, nullptr}};
    gdraw_GDrawPolyLine(c, &v);
}

// The eight corners of the world box (bit 4 x max, 2 y max, 1 z max) in
// canvas coordinates.
bool box_corners(GCanvasRecord *c, double cc[8][3])
{
    const double *w = c->modes.world;
    double wc[24];
    for (int k = 0; k < 8; k++) {
        wc[3 * k] = w[(k & 4) ? 3 : 0];
        wc[3 * k + 1] = w[(k & 2) ? 4 : 1];
        wc[3 * k + 2] = w[(k & 1) ? 5 : 2];
    }
    GVector in{GV_DOUBLE, 0, 3, 8, {wc, nullptr, nullptr}}, out{};
    if (GTransformPoints(c, GCS_WC, GCS_CC, &in, &out) != 0)
        return false;
    const double *o = static_cast<const double *>(out.data[0]);
    for (int k = 0; k < 8; k++)
        for (int i = 0; i < 3; i++)
            cc[k][i] = o[3 * k + i];
    gvector_GFreeVectorData(&out);
    return true;
}

// The corner nearest the viewer: the largest canvas z, the lowest index on
// ties; 0 when the corners cannot be transformed.
int nearest_corner(GCanvasRecord *c)
{
    double cc[8][3];
    if (!box_corners(c, cc))
        return 0;
    int n = 0;
    for (int k = 1; k < 8; k++)
        if (cc[k][2] > cc[n][2])
            n = k;
    return n;
}

const int box_edges[12][2] = {{0, 1}, {0, 2}, {0, 4}, {5, 1}, {5, 4}, {5, 7},
                              {3, 1}, {3, 2}, {3, 7}, {6, 2}, {6, 4}, {6, 7}};

}  // namespace

void *(*gsurf_block_alloc)(long size) = default_alloc;

// ---- surfaces ------------------------------------------------------------

GSurface *gsurf_GCreateSurface(long capacity, int element_type)
{
    if (element_type < GV_DOUBLE || element_type > GV_SHORT) {
        gerror_GRegisterError(2, 6, 0, nullptr);
        return nullptr;
    }
    if (capacity < 1)
        capacity = GROWTH;
    long es = gbits_GSimpleSize(element_type);
    GSurface *s = static_cast<GSurface *>(vx_malloc(sizeof(GSurface), 0));
    void *points = gsurf_block_alloc(capacity * 3 * es);
    int64_t *columns = static_cast<int64_t *>(gsurf_block_alloc(capacity * static_cast<long>(sizeof(int64_t))));
    if (!s || !points || !columns) {
        vx_free(s);
        vx_free(points);
        vx_free(columns);
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    *s = GSurface{nullptr, 0, GVector{static_cast<unsigned char>(element_type), 0, 3, 0, {points, nullptr, nullptr}},
                  columns, capacity, 0, 1, 0};
    return s;
}

int gsurf_GDestroySurface(GSurface *surface)
{
    if (!surface)
        return 0;
    vx_free(surface->points.data[0]);
    vx_free(surface->columns);
    while (surface) {
        GSurface *next = surface->next;
        vx_free(surface);
        surface = next;
    }
    return 0;
}

int gsurf_GAddSurfacePoint(GSurface *surface, const void *point, long column, int end_code)
{
    if (!surface || !point)
        return -1;
    GSurface *fresh = nullptr;
    if (end_code == GSURF_ROW || end_code == GSURF_ARRAY) {
        fresh = static_cast<GSurface *>(vx_malloc(sizeof(GSurface), 0));
        if (!fresh) {
            gerror_GRegisterError(4, 3, 0, nullptr);
            return -1;
        }
    }
    if (surface->total == surface->capacity && grow(surface) != 0) {
        vx_free(fresh);
        return -1;
    }
    GSurface *last = last_array(surface);
    long es = element_size(surface);
    char *base = static_cast<char *>(surface->points.data[0]);
    memcpy(base + surface->total * 3 * es, point, static_cast<size_t>(3 * es));
    surface->columns[surface->total] = column;
    last->maxcol = last->points.count == 0 ? column : std::max<int64_t>(last->maxcol, column);
    last->points.count++;
    surface->total++;
    if (fresh) {
        *fresh = GSurface{nullptr, 0, surface->points, surface->columns + surface->total, 0, 0, 0, 0};
        fresh->points.count = 0;
        fresh->points.data[0] = base + surface->total * 3 * es;
        last->next = fresh;
        surface->arrays++;
        if (end_code == GSURF_ROW)
            surface->rows++;
    }
    return 0;
}

int gsurf_GGetSurfaceSize(const GSurface *surface, long *points, long *arrays)
{
    if (!surface)
        return -1;
    if (points)
        *points = static_cast<long>(surface->points.count);
    if (arrays)
        *arrays = static_cast<long>(surface->arrays);
    return 0;
}

namespace {

void draw_rows(GCanvasRecord *c, GSurface *s)
{
    for (GSurface *a = s; a; a = a->next)
        if (a->points.count > 0)
            gdraw_GDrawPolyLine(c, &a->points);
}

// Each column index joins, array by array, the arrays that hold it.
void draw_columns(GCanvasRecord *c, GSurface *s)
{
    std::vector<GSurface *> arrays;
    int64_t highest = 0;
    for (GSurface *a = s; a; a = a->next) {
        if (a->next)
            arrays.push_back(a);
        if (a->points.count > 0)
            highest = std::max(highest, a->maxcol);
    }
    // Indices ascend within an array: one cursor per array.
    std::vector<long> cursor(arrays.size(), 0);
    int type = s->points.type;
    for (int64_t k = 0; k <= highest; k++) {
        void *previous = nullptr;
        for (size_t j = 0; j < arrays.size(); j++) {
            GSurface *a = arrays[j];
            long &i = cursor[j];
            while (i < a->points.count && a->columns[i] < k)
                i++;
            if (i >= a->points.count || a->columns[i] != k)
                continue;
            void *here = point_at(a, i);
            if (previous) {
                GVector from = one_point(type, previous), to = one_point(type, here);
                gdraw_GDrawLine(c, &from, &to);
            }
            previous = here;
        }
    }
}

}  // namespace

int gsurf_GDrawSurface(GCanvasRecord *canvas, GSurface *surface)
{
    if (!canvas || !surface)
        return -1;
    switch (canvas->surface.style) {
    case 0:
    case 4: draw_rows(canvas, surface); break;
    case 1: draw_columns(canvas, surface); break;
    case 2:
        draw_rows(canvas, surface);
        draw_columns(canvas, surface);
        break;
    default: break;
    }
    return 0;
}

int gsurf_GDraw2DMarkerSurface(GCanvasRecord *canvas, GSurface *surface)
{
    if (!canvas || !surface)
        return -1;
    int style = canvas->surface.style;
    if (style == 4)
        return gsurf_GDrawSurface(canvas, surface);
    GLineModes own = canvas->line;
    GLineModes solid = own, dashed = own;
    solid.style = 0;           // stored as -1: a solid line
    dashed.style = own.style + 1;  // the canvas's own, as it was given
    int type = surface->points.type;
    for (GSurface *a = surface; a && a->points.count > 0; a = a->next) {
        long last = static_cast<long>(std::min<int64_t>(a->maxcol, a->points.count - 1));
        for (long i = 0; i <= last; i++) {
            void *here = point_at(a, i);
            GVector p = one_point(type, here);
            GSetLineModes(canvas, GLM_STYLE, &solid);
            gdraw_GDrawMarkers(canvas, &p);
            GSetLineModes(canvas, GLM_STYLE, &dashed);
            if (i == 0)
                continue;
            void *before = point_at(a, i - 1);
            GVector q = one_point(type, before);
            if (style == 1) {
                gdraw_GDrawLine(canvas, &q, &p);
            } else if (style == 2 || style == 3) {
                PointBuffer corner;
                put(corner.bytes, type, 0, get(here, type, 0));
                put(corner.bytes, type, 1, get(before, type, 1));
                put(corner.bytes, type, 2, get(here, type, 2));
                GVector m = one_point(type, corner.bytes);
                gdraw_GDrawLine(canvas, &q, &m);
                if (style == 2)
                    gdraw_GDrawLine(canvas, &m, &p);
            }
        }
    }
    GLineModes back = own;
    back.style = own.style + 1;
    GSetLineModes(canvas, GLM_STYLE | GLM_COLOUR, &back);
    return 0;
}

int gsurf_GDrawThreeDeeImpulses(GCanvasRecord *canvas, GSurface *surface, int axis, double base)
{
    if (!canvas || !surface || axis < 0 || axis > 2)
        return -1;
    int type = surface->points.type;
    long es = element_size(surface);
    for (GSurface *a = surface; a; a = a->next)
        for (long i = 0; i < a->points.count; i++) {
            void *here = point_at(a, i);
            PointBuffer foot;
            memcpy(foot.bytes, here, static_cast<size_t>(3 * es));
            put(foot.bytes, type, axis, base);
            GVector from = one_point(type, foot.bytes), to = one_point(type, here);
            gdraw_GDrawLine(canvas, &from, &to);
        }
    return 0;
}

GDepthEntry *gsurf_GSurfaceCreateDepthList(GCanvasRecord *canvas, GSurface *surface, long *count)
{
    *count = 0;
    if (!canvas || !surface)
        return nullptr;
    long columns = static_cast<long>(surface->points.count) - 1;
    long rows = static_cast<long>(surface->arrays) - 2;
    if (columns < 1 || rows < 1)
        return nullptr;
    // The entries keep the first corner's column and row in 16 bits.
    if (columns - 1 > INT16_MAX || rows - 1 > INT16_MAX) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        *count = -1;
        return nullptr;
    }
    long n = columns * rows;
    GDepthEntry *list = static_cast<GDepthEntry *>(vx_malloc(n * static_cast<long>(sizeof(GDepthEntry)), 0));
    if (!list) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        *count = -1;
        return nullptr;
    }
    long k = 0;
    GSurface *a = surface;
    for (long r = 0; r < rows; r++, a = a->next) {
        GVector dc{};
        if (a->points.count > 0 && gcoords_GTransformVector(&dc, &a->points, canvas->current, 0, GV_SHORT, 3) != 0) {
            vx_free(list);
            *count = -1;
            return nullptr;
        }
        const int16_t *z = static_cast<const int16_t *>(dc.data[0]);
        for (long c = 0; c < columns; c++, k++) {
            // A row shorter than the first takes its last point's depth.
            long i = std::min<long>(c, static_cast<long>(a->points.count) - 1);
            list[k] = GDepthEntry{static_cast<int16_t>(c), static_cast<int16_t>(r), i >= 0 ? double(z[3 * i + 2]) : 0.0};
        }
        gvector_GFreeVectorData(&dc);
    }
    std::sort(list, list + n, [](const GDepthEntry &x, const GDepthEntry &y) { return x.depth < y.depth; });
    *count = n;
    return list;
}

int gsurf_GGetSurfaceEdge(GVector *vector, GSurface *surface, int edge, double base)
{
    if (!vector || !surface)
        return -1;
    if (edge < 1 || edge > 5) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return -1;
    }
    int type = surface->points.type;
    long es = element_size(surface);
    *vector = GVector{static_cast<unsigned char>(type), 0, 3, 0, {nullptr, nullptr, nullptr}};
    std::vector<GSurface *> rows = filled_arrays(surface);
    if (rows.empty())
        return 0;
    std::vector<const void *> pts;
    GSurface *first = rows.front(), *last = rows.back();
    switch (edge) {
    case 1:
    case 3: {
        GSurface *row = edge == 1 ? last : first;
        for (long i = 0; i < row->points.count; i++)
            pts.push_back(point_at(row, i));
        break;
    }
    case 2:
    case 4:
        for (GSurface *row : rows)
            pts.push_back(point_at(row, edge == 2 ? static_cast<long>(row->points.count) - 1 : 0));
        break;
    default:
        pts = {point_at(first, 0), point_at(first, static_cast<long>(first->points.count) - 1),
               point_at(last, static_cast<long>(last->points.count) - 1), point_at(last, 0)};
        break;
    }
    // Lowered to the base: every point of edge 5; the closing three of the others.
    long closing = edge == 5 ? 0 : 3;
    long n = static_cast<long>(pts.size()) + closing;
    char *out = static_cast<char *>(vx_malloc(n * 3 * es, 0));
    if (!out) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return -1;
    }
    for (size_t i = 0; i < pts.size(); i++) {
        memcpy(out + i * 3 * es, pts[i], static_cast<size_t>(3 * es));
        if (edge == 5)
            put(out + i * 3 * es, type, 1, base);
    }
    if (closing) {
        char *tail = out + pts.size() * 3 * es;
        memcpy(tail, pts.back(), static_cast<size_t>(3 * es));
        put(tail, type, 1, base);
        memcpy(tail + 3 * es, pts.front(), static_cast<size_t>(3 * es));
        put(tail + 3 * es, type, 1, base);
        memcpy(tail + 6 * es, pts.front(), static_cast<size_t>(3 * es));
    }
    vector->count = n;
    vector->data[0] = out;
    return 0;
}

int gsurf_GSetSurfaceModes(GCanvasRecord *canvas, uint64_t mask, const GSurfaceModes *modes)
{
    if (mask & 0x1)
        canvas->surface.style = modes->style;
    if (mask & 0x2)
        canvas->surface.flag = modes->flag;
    return 0;
}

int gsurf_GGetSurfaceModes(GCanvasRecord *canvas, GSurfaceModes *modes)
{
    *modes = canvas->surface;
    return 0;
}

int gsurf_GSetDefaultSurfaceModes(GCanvasRecord *canvas)
{
    canvas->surface = GSurfaceModes{0, 1, 0};
    return 0;
}

// ---- borders -------------------------------------------------------------

int GDrawCanvasBorder(GCanvasRecord *canvas)
{
    View view(canvas, GX_VDC);
    view.no_clipping();
    const GCanvasModes &m = canvas->modes;
    double x0 = m.origin[0], y0 = m.origin[1];
    double x1 = x0 + m.size[0] - 1, y1 = y0 + m.size[1] - 1;
    line2(canvas, x0, y0, x1, y0);
    line2(canvas, x1, y0, x1, y1);
    line2(canvas, x1, y1, x0, y1);
    line2(canvas, x0, y1, x0, y0);
    return 0;
}

int GDrawPlotSpaceBorder(GCanvasRecord *canvas)
{
    View view(canvas, GX_WC);
    const double *w = canvas->modes.world;
    if (canvas->modes.dimension == 2) {
        polyline2(canvas, {w[0], w[1], w[0], w[4], w[3], w[4], w[3], w[1], w[0], w[1]});
        return 0;
    }
    int near = nearest_corner(canvas);
    for (const auto &e : box_edges) {
        if (e[0] == near || e[1] == near)
            continue;
        double p[2][3];
        for (int j = 0; j < 2; j++) {
            int k = e[j];
            p[j][0] = w[(k & 4) ? 3 : 0];
            p[j][1] = w[(k & 2) ? 4 : 1];
            p[j][2] = w[(k & 1) ? 5 : 2];
        }
        GVector a{GV_DOUBLE, 0, 3, 1, {p[0], nullptr, nullptr}}, b{GV_DOUBLE, 0, 3, 1, {p[1], nullptr, nullptr}};
        gdraw_GDrawLine(canvas, &a, &b);
    }
    return 0;
}

int GDrawDeviceBorder(GCanvasRecord *canvas)
{
    View view(canvas, GX_VDC);
    double x = canvas->device->modes.vdcxdim, y = canvas->device->modes.vdcydim;
    polyline2(canvas, {0, 0, 0, y, x, y, x, 0, 0, 0});
    return 0;
}

int GGet3dBackPlanes(GCanvasRecord *canvas, int *x, int *y, int *z)
{
    int near = nearest_corner(canvas);
    *x = (near & 4) ? 1 : 0;
    *y = (near & 2) ? 1 : 0;
    *z = (near & 1) ? 1 : 0;
    return 0;
}

int GGetAxisOrientations(GCanvasRecord *canvas, int16_t *x, int16_t *y, int16_t *z)
{
    double cc[8][3];
    if (!box_corners(canvas, cc)) {
        *x = *y = *z = 0;
        return -1;
    }
    auto angle = [&](int corner) -> int16_t {
        double dx = cc[corner][0] - cc[0][0], dy = cc[corner][1] - cc[0][1];
        if (dx == 0 && dy == 0)
            return 0;
        double degrees = std::atan2(dy, dx) * 180 / M_PI;
        if (degrees < 0)
            degrees += 360;
        return static_cast<int16_t>(std::lround(degrees * 64));
    };
    *x = angle(4);
    *y = angle(2);
    *z = angle(1);
    return 0;
}
