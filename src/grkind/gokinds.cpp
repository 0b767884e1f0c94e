// The table of graph kinds: each kind's class record with its data and its
// methods.  Kinds whose own drawing is not here yet draw through the seam
// below: the frame is prepared like any kind's and the canvas says the
// kind is not available.

#include "grkind.h"

#include "goshell.h"
#include "vxadata.h"
#include "vxutil.h"

#include <cstring>
#include <iterator>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "grkind_msgs.def"
#undef VXMSG

namespace {

const VxMsg<> *const kind_names[GK_KINDS] = {
    &GK_NAME_0,  &GK_NAME_1,  &GK_NAME_2,  &GK_NAME_3,  &GK_NAME_4,  &GK_NAME_5,  &GK_NAME_6,  &GK_NAME_7,
    &GK_NAME_8,  &GK_NAME_9,  &GK_NAME_10, &GK_NAME_11, &GK_NAME_12, &GK_NAME_13, &GK_NAME_14, &GK_NAME_15,
    &GK_NAME_16, &GK_NAME_17, &GK_NAME_18, &GK_NAME_19, &GK_NAME_20, &GK_NAME_21,
};

// A kind not built yet: the preamble as the line kind runs it, then the
// message and its text at the centre of the canvas.
int unavailable_draw(GoGraph *graph, int reason, uint64_t *flags)
{
    if (!graph)
        return 0;
    int has_data = 0, character = 0;
    gostd_std_draw_preamble(graph, reason, flags, &has_data, &character, GO_AXES_SCALAR, std_auto_scale,
                            gomain_go_set_2d_coordinates);
    if (reason == GO_REOPEN && flags && (*flags & GO_PREAMBLE_ONLY))
        return 0;
    const std::string name = gokind_name(graph->kind);
    go_show_error(GK_NOT_AVAILABLE, name.c_str());
    GCanvasRecord *c = graph->canvas;
    if (!c)
        return 0;
    const std::string text = vx_msgf(go_dy_nlsfd(), GK_NOT_AVAILABLE, name.c_str());
    GCanvasModes m{};
    GGetCanvasModes(c, &m);
    const unsigned char was = m.coords;
    m.coords = GCS_CC;
    GSetCanvasModes(c, GCM_COORDS, &m);
    GTextModes t{};
    t.font = 1;  // the stroke font
    t.colour = 1;
    t.scale = 0.2;  // the size of division labels
    t.angle = 0;
    t.alignment = 4;  // centred
    GSetTextModes(c, 0x1F, &t);
    double centre[2] = {m.ccextent[0] / 2.0, m.ccextent[1] / 2.0};
    GVector at{GV_DOUBLE, 0, 2, 1, {centre, nullptr, nullptr}};
    GPutText(c, &at, text.c_str());
    m.coords = was;
    GSetCanvasModes(c, GCM_COORDS, &m);
    return 0;
}

int no_setdata(GoGraph *, int) { return 0; }
int no_input(GoGraph *, const int *, int, double **values, const DozColDesc **, const DozColDesc **, char *text)
{
    if (values)
        *values = nullptr;
    if (text)
        *text = '\0';
    return 0;
}
int no_output(GoGraph *, GoReadout *, int, char *, char *, char *) { return 0; }

struct Row {
    const char *file;
    int32_t chars, multi, modes, zoom, multiy, options, qualifier;
};

const Row rows[GK_KINDS] = {
    {"line.graph", 0x7FF, 1, 7, 1, 1, 0x1000000, 0},
    {"scat.graph", 0x7FF, 1, 7, 1, 1, 0x1, 0},
    {"imp.graph", 0x7FF, 1, 7, 1, 0, 0x2, 0},
    {"hilo.graph", 0x7E2, 1, 3, 1, 0, 0, 1},
    {"vector.graph", 0x7FF, 1, 7, 1, 0, 0, 0},
    {"bar.graph", 0x7FF, 1, 0, 1, 1, 0x200004, 0},
    {"hbar.graph", 0x7FF, 0, 0, 0, 0, 0x4, 0},
    {"polar.graph", 0x7F3, 1, 5, 1, 0, 0x1060040, 0},
    {"surf.graph", 0x730, 1, 4, 0, 0, 0x1000008, 0},
    {"imp3.graph", 0x730, 1, 4, 0, 0, 0x1000000, 0},
    {"worm.graph", 0x440, 1, 4, 0, 0, 0x1000000, 0},
    {"trend.graph", 0x7E2, 1, 5, 1, 1, 0x1400003, 0},
    {"cont.graph", 0x572, 1, 5, 1, 0, 0x1090490, 0},
    {"prob.graph", 0x11, 1, 3, 0, 1, 0x40020, 0},
    {"hist.graph", 0x11, 1, 0, 0, 0, 0x800, 0},
    {"surf3d.graph", 0x770, 1, 0, 0, 0, 0x1012710, 0},
    {"map.graph", 0x772, 1, 5, 1, 0, 0x1010490, 0},
    {"image.graph", 0x10, 1, 1, 0, 0, 0x80, 0},
    {"box.graph", 0x6, 1, 0, 0, 1, 0x101000, 0},
    {"wafer.graph", 0x440, 1, 5, 1, 0, 0x1018000, 0},
    {"trendbar.graph", 0x7E2, 1, 5, 1, 1, 0x1600004, 0},
    {"pie.graph", 0x727, 0, 0, 0, 0, 0x800000, 0},
};

enum Slot { STD, OWN, STD3D, STD2DZ };

// The slots per kind: create (STD or STD2DZ), setdata (0 scalar, 1 x
// category, 2 y category, OWN), input, output, mutate.
struct Methods {
    int create, setdata, input, output, mutate;
};
const Methods methods[GK_KINDS] = {
    {STD, 0, STD, STD, STD},           {STD, 0, STD, STD, STD},       {STD, 0, STD, STD, STD},
    {STD, 0, STD, STD, STD},           {STD, 0, STD, STD, STD},       {STD, 1, STD, STD, STD},
    {STD, 2, STD, STD, STD},           {STD, OWN, OWN, OWN, STD},     {STD, OWN, STD, STD3D, STD},
    {STD, OWN, STD, STD3D, STD},       {STD, OWN, STD, STD3D, STD},   {STD, OWN, OWN, OWN, STD},
    {STD2DZ, OWN, OWN, STD2DZ, STD2DZ}, {STD, OWN, STD, STD, STD},    {STD, OWN, STD, STD, STD},
    {STD, OWN, STD, STD, STD},         {STD2DZ, OWN, OWN, STD2DZ, STD2DZ}, {STD, OWN, OWN, STD2DZ, STD},
    {STD, OWN, STD, STD, STD},         {STD2DZ, OWN, OWN, STD2DZ, STD2DZ}, {STD, OWN, OWN, OWN, STD},
    {STD, OWN, OWN, OWN, STD},
};

// The kinds drawn here; the ones after them draw through the seam.
using Draw = int (*)(GoGraph *, int, uint64_t *);
const Draw draws[] = {goline_draw_graph,   gopoint_scatter_draw, gopoint_impulse_draw, gopoint_highlow_draw,
                      gopoint_vector_draw, gobar_bar_draw,       gobar_hbar_draw};

// Kinds with draw and setdata methods of their own, and input and output
// methods where given (null: the ones their rows above give).
struct Own {
    int kind;
    Draw draw;
    int (*setdata)(GoGraph *, int);
    decltype(GoClass::input) input;
    decltype(GoClass::output) output;  // null: the standard one
};
const Own own_methods[] = {
    {8, gosurf3d_surface_draw, gosurf3d_setdata_graph, nullptr, nullptr},
    {9, gosurf3d_impulse_draw, gosurf3d_setdata_graph, nullptr, nullptr},
    {10, gosurf3d_worm_draw, gosurf3d_setdata_graph, nullptr, nullptr},
    {11, gotrend_draw_graph, gotrend_setdata, gotrend_input_graph, gotrend_output_graph},
    {13, goprob_draw_graph, goprob_setdata, nullptr, nullptr},
    {15, goshade_draw_graph, goshade_setdata_graph, nullptr, nullptr},
    {17, goimage_draw_graph, goimage_setdata_graph, goimage_input_graph, nullptr},
    {20, gotrendbar_draw_graph, gotrendbar_setdata, gotrend_input_graph, gotrend_output_graph},
};

const Own *own_of(int kind)
{
    for (const Own &o : own_methods)
        if (o.kind == kind)
            return &o;
    return nullptr;
}

GoClass *make(int kind)
{
    auto *c = static_cast<GoClass *>(vx_malloc(sizeof(GoClass), 1));
    memset(static_cast<void *>(c), 0, sizeof *c);
    const Row &r = rows[kind];
    const Methods &m = methods[kind];
    c->kind = kind;
    c->format_file = r.file;
    c->character_mask = r.chars;
    c->multi_dataset = r.multi;
    c->modes = r.modes;
    c->zoom_allowed = r.zoom;
    c->multiy_capable = r.multiy;
    c->options_mask = r.options;
    c->datafunc_qualifier = r.qualifier;
    c->create = m.create == STD2DZ ? gostd_std_create_2dz_graph : gostd_std_create_graph;
    c->destroy = gostd_std_destroy_graph;
    switch (m.setdata) {
    case 0: c->setdata = gostd_std_setdata_scalar_graph; break;
    case 1: c->setdata = gostd_std_setdata_x_nonscalar_graph; break;
    case 2: c->setdata = gostd_std_setdata_y_nonscalar_graph; break;
    default: c->setdata = no_setdata; break;
    }
    c->draw = kind < static_cast<int>(std::size(draws)) ? draws[kind] : unavailable_draw;
    c->input = m.input == OWN ? no_input : gostd_std_input_graph;
    switch (m.output) {
    case OWN: c->output = no_output; break;
    case STD3D: c->output = gostd_std_3d_output_graph; break;
    case STD2DZ: c->output = gostd_std_2dz_output_graph; break;
    default: c->output = gostd_std_output_graph; break;
    }
    c->zoom = gostd_std_zoom_graph;
    c->mutate = m.mutate == STD2DZ ? gostd_std_mutate_2dz_graph : gostd_std_mutate_graph;
    if (const Own *o = own_of(kind)) {
        c->draw = o->draw;
        c->setdata = o->setdata;
        if (o->input)
            c->input = o->input;
        if (o->output)
            c->output = o->output;
    }
    c->coordinates = nullptr;
    return c;
}

}  // namespace

bool gokind_built(int kind)
{
    return (kind >= 0 && kind < static_cast<int>(std::size(draws))) || own_of(kind);
}

std::string gokind_name(int kind)
{
    if (kind < 0 || kind >= GK_KINDS)
        return "?";
    return vx_msgf(go_dy_nlsfd(), *kind_names[kind]);
}

GoClass *go_initialise_go_0() { return make(0); }
GoClass *go_initialise_go_1() { return make(1); }
GoClass *go_initialise_go_2() { return make(2); }
GoClass *go_initialise_go_3() { return make(3); }
GoClass *go_initialise_go_4() { return make(4); }
GoClass *go_initialise_go_5() { return make(5); }
GoClass *go_initialise_go_6() { return make(6); }
GoClass *go_initialise_go_7() { return make(7); }
GoClass *go_initialise_go_8() { return make(8); }
GoClass *go_initialise_go_9() { return make(9); }
GoClass *go_initialise_go_10() { return make(10); }
GoClass *go_initialise_go_11() { return make(11); }
GoClass *go_initialise_go_12() { return make(12); }
GoClass *go_initialise_go_13() { return make(13); }
GoClass *go_initialise_go_14() { return make(14); }
GoClass *go_initialise_go_15() { return make(15); }
GoClass *go_initialise_go_16() { return make(16); }
GoClass *go_initialise_go_17() { return make(17); }
GoClass *go_initialise_go_18() { return make(18); }
GoClass *go_initialise_go_19() { return make(19); }
GoClass *go_initialise_go_20() { return make(20); }
GoClass *go_initialise_go_21() { return make(21); }

void gomain_go_initialise_objects(const AppData *resources)
{
    using Init = GoClass *(*)();
    static const Init inits[GK_KINDS] = {
        go_initialise_go_0,  go_initialise_go_1,  go_initialise_go_2,  go_initialise_go_3,  go_initialise_go_4,
        go_initialise_go_5,  go_initialise_go_6,  go_initialise_go_7,  go_initialise_go_8,  go_initialise_go_9,
        go_initialise_go_10, go_initialise_go_11, go_initialise_go_12, go_initialise_go_13, go_initialise_go_14,
        go_initialise_go_15, go_initialise_go_16, go_initialise_go_17, go_initialise_go_18, go_initialise_go_19,
        go_initialise_go_20, go_initialise_go_21,
    };
    for (int k = 0; k < GO_CLASSES; k++) {
        if (k < GK_KINDS) {
            // Started once; a second call keeps the records it made.
            if (!gomain_graph_class[k] || gomain_graph_class[k]->kind != k)
                gomain_graph_class[k] = inits[k]();
        } else {
            gomain_graph_class[k] = nullptr;
        }
    }
    if (!resources)
        return;
    gomain_go_set_run_mode(resources->runMode);
    skip_text_eval_errors = resources->skipTextEvalErrors ? 1 : 0;
}
