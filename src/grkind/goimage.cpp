// The image kind: the values of the first dataset as a raster image, one
// device pixel per unit cell of the (x, z) plane, coloured through the
// graph's colour map.  The x and z axes are laid out so that the image
// keeps whole pixels and stays centred in the plot area; the value axis (y)
// is scaled from the data and gives the colour range.  Cells are unit
// squares: the cell of x spans [x, x + 1), so the window runs from the
// data minimum to one past the data maximum.

#include "grkind.h"

#include "goaxes.h"
#include "goskel.h"
#include "seams.h"

#include "dsmgr.h"
#include "dsput.h"
#include "vxutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "grkind_msgs.def"
#undef VXMSG

namespace {

// The largest side of an image: its size fields are 16-bit.
constexpr double IMAGE_SIDE_MAX = 32767;

// A double to int, NaN and values out of range held to the int's range
// (NaN gives the largest).
int to_int(double v)
{
    if (!(v < 2147483647.0))
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(v);
}

long rounded(double v) { return std::isfinite(v) ? std::lround(std::clamp(v, -1e9, 1e9)) : 0; }

// A limit text of property p evaluated (null: automatic).
const double *dlimit(GoGraph *g, int p, double &store)
{
    const double *v = static_cast<const double *>(goprop_go_property(g, p, 0, 1));
    if (!v)
        return nullptr;
    store = *v;
    return &store;
}
const int *ilimit(GoGraph *g, int p, int &store)
{
    const int *v = static_cast<const int *>(goprop_go_property(g, p, 0, 1));
    if (!v)
        return nullptr;
    store = *v;
    return &store;
}

}  // namespace

// A linear scale over [minimum, maximum] (defaults: the block's data range),
// both fixed.  The x axis's division settings serve x and z alike.
int goimage_scale_axis(GoGraph *graph, GoAxisBlock *block, const double *minimum, const double *maximum)
{
    if (!graph || !block)
        return 0;
    ScaleRec *s = &block->scale;
    const double lo = minimum ? *minimum : block->min, hi = maximum ? *maximum : block->max;
    scale_ClearScaleStuff(s);
    scale_SetScaleType(s, SCALE_LINEAR);
    scale_SetScaleMax(s, hi, 2);
    scale_SetScaleMin(s, lo, 2);
    int n = 0;
    if (const int *v = ilimit(graph, GP_XNUMDIVS, n)) {
        scale_SetScaleNdivs(s, std::abs(std::max(*v, -2147483647)), 2);
    } else {
        n = to_int(hi - lo);
        scale_SetScaleNdivs(s, n % 2 ? 2 : 1, 2);
    }
    double div = 0;
    if (const double *v = dlimit(graph, GP_XDIVISION, div))
        scale_SetScaleDiv(s, std::fabs(*v), 1);
    int ticks = 0;
    if (const int *v = ilimit(graph, GP_XNUMTICKS, ticks))
        scale_SetScaleNumSmallDivs(s, std::abs(std::max(*v, -2147483647)), 2);
    int code = 0;
    if (scale_ScaleAxis(s, &code) != 0) {
        gomain_go_show_autoscale_error(code);
        return 0;
    }
    return 1;
}

int goimage_auto_scale(GoGraph *graph, int)
{
    if (!graph)
        return 0;
    if (gk_iprop(graph, GP_XLOGARITHMIC) || gk_iprop(graph, GP_ZLOGARITHMIC)) {
        go_show_error(GK_LOG_REFUSED);
        return 0;
    }
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    gomain_go_get_tinfos(graph, graph->first, &xt, &yt, &zt);
    int log = 0, ndivs = 0, nticks = 0;
    double origin = 0, max = 0, min = 0, div = 0;
    const int *logp = ilimit(graph, GP_YLOGARITHMIC, log);
    if (!gomain_go_auto_scale(logp, dlimit(graph, GP_YORIGIN, origin), dlimit(graph, GP_YMAXIMUM, max),
                              dlimit(graph, GP_YMINIMUM, min), dlimit(graph, GP_YDIVISION, div),
                              ilimit(graph, GP_YNUMDIVS, ndivs), ilimit(graph, GP_YNUMTICKS, nticks), yt,
                              &graph->yblock))
        return 0;
    // Cells are unit squares: the window ends one past the last cell.
    const double xmax = graph->xblock.max + 1, zmax = graph->zblock.max + 1;
    goimage_scale_axis(graph, &graph->xblock, nullptr, &xmax);
    goimage_scale_axis(graph, &graph->zblock, nullptr, &zmax);
    return 1;
}

namespace {

// One side of the image: its place and size in canvas units and the data
// value of its far edge.  axis 0 x (across), 1 z (up the device's y).
struct Side {
    long start = 0, size = 0;
    double max = 0;
};

Side lay_out(GoGraph *g, GCanvasRecord *c, const GCanvasModes &m, const int64_t margin[4], int axis)
{
    GoAxisBlock &b = axis == 0 ? g->xblock : g->zblock;
    const long near = static_cast<long>(axis == 0 ? margin[0] : margin[2]);
    const long far = static_cast<long>(axis == 0 ? margin[1] : margin[3]);
    const long area = std::max(0L, static_cast<long>(m.ccextent[axis]) - near - far);
    // One pixel per cell, the cells from the data minimum to the maximum.
    const double cells = std::clamp(std::floor(b.max - b.min) + 1, 1.0, IMAGE_SIDE_MAX);
    const double cells_ok = std::isfinite(cells) ? cells : 1;
    long size = rounded(GTransformLength(c, 5, axis, cells_ok));
    size = rounded(GTransformLength(c, 2, axis, static_cast<double>(size)));
    Side s;
    s.max = b.min + cells_ok;
    if (size > area) {
        // Cut to the plot area: the axis ends where the shown cells end.
        s.start = near;
        s.size = area;
        const double shown = GTransformLength(c, 11, axis, GTransformLength(c, 3, axis, static_cast<double>(area)));
        s.max = b.min + std::max(1.0, std::floor(shown));
    } else {
        s.start = near + (area - size) / 2;
        s.size = size;
    }
    return s;
}

}  // namespace

void goimage_set_image_coordinates(GoGraph *graph)
{
    if (!graph || !graph->canvas)
        return;
    GCanvasRecord *c = graph->canvas;
    GCanvasModes m{};
    GGetCanvasModes(c, &m);
    gomain_go_open_device_id();
    int64_t margin[4] = {0, 0, 0, 0};
    gomain_go_process_margins(graph, &m, margin);
    const Side x = lay_out(graph, c, m, margin, 0), z = lay_out(graph, c, m, margin, 1);
    goimage_scale_axis(graph, &graph->xblock, nullptr, &x.max);
    goimage_scale_axis(graph, &graph->zblock, nullptr, &z.max);
    double w[4];
    if (graph->zoomed && !graph->multiy && graph->zoom) {
        w[0] = graph->zoom->xmin;
        w[1] = graph->zoom->ymin;
        w[2] = graph->zoom->xmax;
        w[3] = graph->zoom->ymax;
    } else {
        scale_GetFirstDiv(&graph->xblock.scale, &w[0]);
        scale_GetLastDiv(&graph->xblock.scale, &w[2]);
        scale_GetFirstDiv(&graph->zblock.scale, &w[1]);
        scale_GetLastDiv(&graph->zblock.scale, &w[3]);
    }
    auto clamp16 = [](long v) { return static_cast<int16_t>(std::clamp(v, -32768L, 32767L)); };
    m.dimension = 2;
    m.psorigin[0] = clamp16(x.start);
    m.psorigin[1] = clamp16(z.start);
    m.pssize[0] = clamp16(x.size);
    m.pssize[1] = clamp16(z.size);
    m.pssize[2] = clamp16(x.size);
    m.fit[0] = m.fit[1] = -1;
    m.angle1 = m.angle2 = 0;
    m.world[0] = m.axisbox[0] = w[0];
    m.world[3] = m.axisbox[3] = w[2];
    m.world[1] = m.axisbox[1] = w[1];
    m.world[4] = m.axisbox[4] = w[3];
    GSetCanvasModes(c, 0x11BC1, &m);
    graph->coords2dz = 1;
}

namespace {

// The range of a scale, widened by 1.0 when empty.
void range_of(const ScaleRec &s, double &lo, double &hi)
{
    lo = s.min;
    hi = s.max;
    if (!(hi > lo))
        hi = lo + 1.0;
}

// Fills the image from the dataset's cells; cells outside the window are
// left out, the rest addressed from the image's origin.
void fill(GoGraph *g, GRasterImage *im, GoTupleReader reader, double xmin, double zmin, ScaleProc fy)
{
    GCanvasRecord *c = g->canvas;
    GoTuple t{};
    t.dataset = g->first;
    for (;;) {
        reader(&t);
        if (t.status & GT_S_END)
            break;
        goprop_go_next_point(&t);
        if (goprop_null_tuple(&t) || !t.x || !t.y || !t.z)
            continue;
        const double dx = std::floor(*t.x - xmin), dz = std::floor(*t.z - zmin);
        if (!(dx >= 0 && dx < im->width && dz >= 0 && dz < im->height))
            continue;
        GDoubleToPixel(c, im, static_cast<long>(dx), static_cast<long>(dz), gk_through(fy, *t.y));
    }
}

void draw_image(GoGraph *g, GoTupleReader reader)
{
    GCanvasRecord *c = g->canvas;
    GLineModes lm{};
    lm.colour = -1;
    GSetLineModes(c, 0x2, &lm);
    const ScaleProc fy = scale_GGetForwardScaleProc(&g->yblock.scale);
    double xmin, xmax, zmin, zmax;
    range_of(g->xblock.scale, xmin, xmax);
    range_of(g->zblock.scale, zmin, zmax);
    double range[2];
    if (gk_iprop(g, GP_CMAPRANGE) == 0) {
        range[0] = g->yblock.min;
        range[1] = g->yblock.max > g->yblock.min ? g->yblock.max : g->yblock.min + 1.0;
    } else {
        range[0] = g->yblock.scale.min;
        range[1] = g->yblock.scale.max;
    }
    range[0] = gk_through(fy, range[0]);
    range[1] = gk_through(fy, range[1]);
    const double width = std::min(xmax - xmin, IMAGE_SIDE_MAX), height = std::min(zmax - zmin, IMAGE_SIDE_MAX);
    if (!std::isfinite(xmin) || !std::isfinite(zmin) || !std::isfinite(width) || !std::isfinite(height) ||
        !std::isfinite(range[0]) || !std::isfinite(range[1]))
        return;
    gomain_go_get_colourmap(g, &g->yblock, g->first, 1);
    double origin[2] = {xmin, zmin};
    GVector at{GV_DOUBLE, 0, 2, 1, {origin, nullptr, nullptr}};
    GRasterImage *im = GCreateImage(c, std::max(1L, static_cast<long>(width)), std::max(1L, static_cast<long>(height)),
                                    &at, range, GIMG_DOUBLE);
    if (im) {
        GClearImageData(c, im);
        fill(g, im, reader, xmin, zmin, fy);
        GDrawImage(c, im);
        GDestroyImage(im);
    }
    gomain_go_forget_colourmap(g);
}

}  // namespace

int goimage_draw_graph(GoGraph *graph, int reason, uint64_t *flags)
{
    if (!graph)
        return 0;
    uint64_t none = 0;
    if (!flags)
        flags = &none;
    int has_data = 0, character = 0;
    gostd_std_draw_preamble(graph, reason, flags, &has_data, &character, GO_AXES_BLOCK, goimage_auto_scale,
                            goimage_set_image_coordinates);
    if (reason == GO_REOPEN && (*flags & GO_PREAMBLE_ONLY))
        return 0;
    GCanvasRecord *c = graph->canvas;
    if (!has_data || !c || graph->first < 0)
        return 0;
    const bool full = !(reason == GO_NEW_DATA && *flags != 0);
    const GoClass *cls = gomain_go_class(graph);
    auto reader =
        reinterpret_cast<GoTupleReader>(goprop_go_property(graph, GP_DATAFUNC, cls ? cls->datafunc_qualifier : 0, 1));
    if (!reader)
        reader = goprop_triple_reader;
    gomain_go_use_world_coordinates(c);
    gk_clip_selector(c, 1);
    const int was_autoinc = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    if (dsmgr_ds_character(graph->first) > 0)
        draw_image(graph, reader);
    goprop_go_tuple_autoinc(was_autoinc);
    gk_clip_selector(c, 1);
    if (full) {
        gomain_go_draw_borders(graph);
        go_draw_2dz_division_labels(graph, GO_AXES_BLOCK);
        go_draw_2dz_axes(graph, GO_AXES_BLOCK);
    }
    gk_clip_selector(c, 0);
    if (full)
        gomain_go_draw_2dz_titles(graph);
    goleg_go_draw_legend(graph, 0);
    gocolbar_go_draw_colourbar(graph, graph->first, nullptr);
    gk_clip_selector(c, 0);
    return 0;
}

int goimage_setdata_graph(GoGraph *graph, int dataset)
{
    return gostd_std_parmsetdata_scalar_graph(graph, dataset, goimage_auto_scale);
}

namespace {

// One value of the read-out, as the dataset prints its column.
std::string readout_text(const DozColDesc *type, double value)
{
    // A generated position has no width of its own.
    const int width = type && type->width > 0 ? std::min<int>(type->width + 1, GO_LABEL_TEXT - 1) : 12;
    const char *p = nullptr;
    if (type && (type->type == DOZ_T_REAL || type->type == DOZ_T_SREAL || type->type == DOZ_T_COMPLEX)) {
        const int precision = type->precision + 1;
        p = dsprint_ds_sprint(&value, width, precision == 0 ? -1 : precision, DOZ_T_REAL);
    } else {
        // Whole numbers: an integer column, or a position the reader counts.
        const int32_t whole = to_int(value);
        p = dsprint_ds_sprint(&whole, width, -1, DOZ_T_LONG);
    }
    std::string s = p ? p : "";
    const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

}  // namespace

int goimage_input_graph(GoGraph *graph, const int point[2], int clamp, double **values, const DozColDesc **xtype,
                        const DozColDesc **ytype, char *text)
{
    static double triple[3];
    if (clamp == -1) {
        if (values)
            *values = nullptr;
        if (text)
            *text = '\0';
        return 0;
    }
    double *pair = nullptr;
    if (!gostd_std_input_graph(graph, point, clamp, &pair, xtype, ytype, text) || !pair || !text)
        return 0;
    // The standard method reads (x, y); here the vertical is z.
    double w[2];
    gomain_go_map_to_world(graph->canvas, point, w);
    const double x = std::floor(gk_through(scale_GGetReverseScaleProc(&graph->xblock.scale), w[0]));
    const double z = std::floor(gk_through(scale_GGetReverseScaleProc(&graph->zblock.scale), w[1]));
    const DozColDesc *xt = nullptr, *yt = nullptr, *zt = nullptr;
    gomain_go_get_tinfos(graph, graph->first, &xt, &yt, &zt);
    // The cell's value: the first point read whose x and z fall in it.
    double value = 0;
    GoTuple t{};
    t.dataset = graph->first;
    const int was_autoinc = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    for (;;) {
        goprop_triple_reader(&t);
        if (t.status & GT_S_END)
            break;
        goprop_go_next_point(&t);
        if (!goprop_null_tuple(&t) && t.x && t.y && t.z && std::floor(*t.x) == x && std::floor(*t.z) == z) {
            value = *t.y;
            break;
        }
    }
    goprop_go_tuple_autoinc(was_autoinc);
    const std::string vt = readout_text(yt, value), xs = readout_text(xt, x), zs = readout_text(zt, z);
    std::string out = vx_msgf(go_dy_nlsfd(), GK_XYZ_READOUT, vt.c_str(), xs.c_str(), zs.c_str());
    if (out.size() > 80)
        out.resize(80);
    strcpy(text, out.c_str());
    triple[0] = x;
    triple[1] = value;
    triple[2] = z;
    if (values)
        *values = triple;
    return 1;
}
