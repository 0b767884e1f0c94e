// The graph kinds: one class record per kind (kinds 0-21), the line kind's
// drawing, and the seam that every kind not built yet draws with.
#pragma once

#include "gomain.h"

#include <string>

inline constexpr int GK_KINDS = 22;
// Kinds 0 to GK_BUILT - 1 draw, and those later ones for which
// gokind_built says so; the others draw the "not available yet" seam.
inline constexpr int GK_BUILT = 7;
bool gokind_built(int kind);

// The initialisers, one per kind: each returns its class record.
GoClass *go_initialise_go_0();
GoClass *go_initialise_go_1();
GoClass *go_initialise_go_2();
GoClass *go_initialise_go_3();
GoClass *go_initialise_go_4();
GoClass *go_initialise_go_5();
GoClass *go_initialise_go_6();
GoClass *go_initialise_go_7();
GoClass *go_initialise_go_8();
GoClass *go_initialise_go_9();
GoClass *go_initialise_go_10();
GoClass *go_initialise_go_11();
GoClass *go_initialise_go_12();
GoClass *go_initialise_go_13();
GoClass *go_initialise_go_14();
GoClass *go_initialise_go_15();
GoClass *go_initialise_go_16();
GoClass *go_initialise_go_17();
GoClass *go_initialise_go_18();
GoClass *go_initialise_go_19();
GoClass *go_initialise_go_20();
GoClass *go_initialise_go_21();

// Fills `gomain_graph_class` (22-29 none) and takes the run mode and the
// text-evaluation switch from the resource record.
struct AppData;
void gomain_go_initialise_objects(const AppData *resources);

// Whether the kind draws its own figure (else the "not available yet" seam).
bool gokind_built(int kind);

// The kind's name (catalogue set 68).
std::string gokind_name(int kind);

// The draw methods: the line kind (goline), the scatter, impulse, high-low
// and vector kinds (gopoint), the bar and horizontal bar kinds (gobar).
int goline_draw_graph(GoGraph *graph, int reason, uint64_t *flags);
int gopoint_scatter_draw(GoGraph *graph, int reason, uint64_t *flags);
int gopoint_impulse_draw(GoGraph *graph, int reason, uint64_t *flags);
int gopoint_highlow_draw(GoGraph *graph, int reason, uint64_t *flags);
int gopoint_vector_draw(GoGraph *graph, int reason, uint64_t *flags);
int gobar_bar_draw(GoGraph *graph, int reason, uint64_t *flags);
int gobar_hbar_draw(GoGraph *graph, int reason, uint64_t *flags);
// The bar kind's auto-scaling: the x range one category wider.
int vbar_auto_scale(GoGraph *graph, int axis_mode);

// The 3-D surface, 3-D impulse and worm kinds (gosurf3d) and their setdata.
int gosurf3d_surface_draw(GoGraph *graph, int reason, uint64_t *flags);
int gosurf3d_impulse_draw(GoGraph *graph, int reason, uint64_t *flags);
int gosurf3d_worm_draw(GoGraph *graph, int reason, uint64_t *flags);
int gosurf3d_setdata_graph(GoGraph *graph, int dataset);

// The image kind (goimage): its draw, setdata and input methods, its
// auto-scale and coordinate routines and the fixed linear scale of x and z.
int goimage_draw_graph(GoGraph *graph, int reason, uint64_t *flags);
int goimage_setdata_graph(GoGraph *graph, int dataset);
int goimage_input_graph(GoGraph *graph, const int point[2], int clamp, double **values, const DozColDesc **xtype,
                        const DozColDesc **ytype, char *text);
int goimage_auto_scale(GoGraph *graph, int axis_mode);
void goimage_set_image_coordinates(GoGraph *graph);
int goimage_scale_axis(GoGraph *graph, GoAxisBlock *block, const double *minimum, const double *maximum);

// The shaded surface kind (goshade): its draw and setdata methods, and an
// overlay dataset's own y scale.
int goshade_draw_graph(GoGraph *graph, int reason, uint64_t *flags);
int goshade_setdata_graph(GoGraph *graph, int dataset);
int goshade_scale_overlay_axis(GoGraph *graph, int dataset, GoAxisBlock *block);
// The trend kind (gotrend) with the time read-out and output it shares
// with the trend-bar kind (gotrendbar), and the probability kind (goprob).
int gotrend_draw_graph(GoGraph *graph, int reason, uint64_t *flags);
int gotrend_setdata(GoGraph *graph, int dataset);
int gotrend_input_graph(GoGraph *graph, const int point[2], int clamp, double **values, const DozColDesc **xtype,
                        const DozColDesc **ytype, char *text);
int gotrend_output_graph(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext, char *ztext);
int gotrendbar_draw_graph(GoGraph *graph, int reason, uint64_t *flags);
int gotrendbar_setdata(GoGraph *graph, int dataset);
int goprob_draw_graph(GoGraph *graph, int reason, uint64_t *flags);
int goprob_setdata(GoGraph *graph, int dataset);
// The probability kind's plotting position in per cent of the value of
// rank i (from 0) among n (the median rank on Weibull paper, else the
// mean rank), and its ascending order of two doubles (for qsort).
double ranked_cdf(long i, long n, int weibull);
int creal(const void *a, const void *b);
