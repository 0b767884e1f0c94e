// The graph record: one graph on the display canvas, with its placement,
// canvas, dataset range, flags, the three axis blocks, its format and its
// zoom window (or, in multi-y mode, its secondary y axis blocks).
#pragma once

#include "goprop.h"
#include "goshell.h"
#include "gsscale.h"
#include "pelx.h"

#include <cstdint>

// Xlib's display, without its macros.
typedef struct _XDisplay Display;

// An axis scale followed by the statistics of its data.
struct GoAxisBlock {
    ScaleRec scale;
    double min;
    double max;
    double count;
    double changes;  // how often the extremes moved
};

struct GoZoomWindow {
    double ymax, ymin, xmax, xmin;
    int32_t xextent, yextent;  // decades finer than one division, 0..6
};

// One zoom window on the zoom stack (oldest first; the top is the last).
struct GoZoomStack {
    double ymax, ymin, xmax, xmin;
    GoZoomStack *next;
};

// A read-out request: both request bytes 0 ask for data values to be mapped
// to canvas coordinates; the method writes how many it produced.
struct GoReadout {
    unsigned char mode, request, count;
    double *values;  // x, y, z in, the canvas coordinates out
};

// Read-out texts hold at least this many bytes.
inline constexpr int GO_LABEL_TEXT = 128;

struct GoGraph {
    int32_t kind;
    int32_t x, y, width, height;  // placement in window pixels
    GCanvasRecord *canvas;         // null when opening failed
    int32_t first, last, kept;     // dataset range; -1 none
    int32_t selected, focused, zoomed, multiy, coords2dz, kind2dz, pending;
    int32_t statopts;              // GO_STAT_STACKED
    GoAxisBlock xblock, yblock, zblock;
    GoFormat *format;
    union {
        GoZoomWindow *zoom;        // outside multi-y mode
        GoAxisBlock *secy;         // in multi-y mode: GO_SECY blocks
    };
    GoZoomStack *zoomstack;
    GoGraph *next;
};

enum { GO_STAT_STACKED = 1 };

// ---- graph classes and the draw protocol ---------------------------------------------

using GoAutoScaleProc = int (*)(GoGraph *graph, int axis_mode);
using GoCoordinateProc = void (*)(GoGraph *graph);

// One graph kind: its data and its eight methods, then the coordinate
// routine the draw preamble writes at every draw (null before the first).
struct GoClass {
    int32_t kind;
    const char *format_file;
    int32_t character_mask;     // data characters the kind accepts
    int32_t multi_dataset;
    int32_t modes;              // 1 read-out, 2 measuring, 4 data markers
    int32_t zoom_allowed;
    int32_t multiy_capable;
    int32_t options_mask;
    int32_t datafunc_qualifier;
    int (*create)(GoGraph **graph, Widget canvas_window, const int placement[4]);
    void (*destroy)(GoGraph *graph);
    int (*setdata)(GoGraph *graph, int dataset);
    int (*draw)(GoGraph *graph, int reason, uint64_t *flags);
    int (*input)(GoGraph *graph, const int point[2], int clamp, double **values, const DozColDesc **xtype,
                 const DozColDesc **ytype, char *text);
    int (*output)(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext, char *ztext);
    int (*zoom)(GoGraph *graph, const double corner1[2], const double corner2[2], GoZoomWindow *previous,
                int operation);
    int (*mutate)(GoGraph *graph, int previous_kind);
    GoCoordinateProc coordinates;
};

inline constexpr int GO_CLASSES = 30;
extern GoClass *gomain_graph_class[GO_CLASSES];

// Draw reasons.
enum { GO_REDRAW = 1, GO_NEW_DATA = 2, GO_ZOOM = 3, GO_PROPERTIES = 4, GO_REPOSITION = 5, GO_REOPEN = 6 };
// Draw flags at reason 6.
enum : uint64_t { GO_KEEP_DEVICE = 0x1, GO_PREAMBLE_ONLY = 0x2 };
// Axis modes: the data layout of a kind.
enum { GO_AXES_SCALAR = 0, GO_AXES_CATEGORY_X = 1, GO_AXES_CATEGORY_Y = 2, GO_AXES_TIME = 3, GO_AXES_BLOCK = 4,
       GO_AXES_BINS = 5 };

// The class of the graph's kind, or null.
GoClass *gomain_go_class(const GoGraph *graph);
void gostd_std_draw_preamble(GoGraph *graph, int reason, uint64_t *flags, int *has_data, int *character,
                             int axis_mode, GoAutoScaleProc auto_scale, GoCoordinateProc coordinates);
int gomain_go_graph_drawable(GoGraph *graph, int reason);
// Keeps the run mode of the resource record (6: draw into a client's window).
void gomain_go_set_run_mode(int mode);

// ---- the graph device and canvases -------------------------------------------------

int gomain_go_set_device_type(int type, const GoPrintSettings *settings, int reopen);
int gomain_go_device_type();
GDeviceRecord *gomain_go_device_id(Widget canvas_window);
GDeviceRecord *gomain_go_open_device_id();
void gomain_go_close_device();
GCanvasRecord *go_open_canvas(Widget canvas_window, const int placement[4]);
void gomain_go_position_canvas(GCanvasRecord *canvas, const int placement[4]);
// Left, right, top and bottom margins in canvas units.
void gomain_go_process_margins(GoGraph *graph, const GCanvasModes *modes, int64_t margins[4]);
void gomain_go_set_wid(unsigned long window);
unsigned long gomain_go_get_wid();
void gomain_go_clear_area(Display *display, unsigned long window, int x, int y, unsigned width, unsigned height,
                          int exposures);
void gomain_go_set_background(long colour);
void gomain_go_get_colour(GoGraph *graph, long *colour, int property, int fallback_property);
void gomain_go_use_world_coordinates(GCanvasRecord *canvas);
void gomain_go_set_world_clipping(GCanvasRecord *canvas);

// ---- statistics, auto-scaling and coordinates ----------------------------------------

void gostat_get_dataset_stats(GoTupleReader reader, int dataset, GoAxisBlock *x, GoAxisBlock *y, GoAxisBlock *z);
void gostat_get_multi_dataset_stats(GoGraph *graph, GoTupleReader reader, int first, int last, GoAxisBlock *x,
                                    int xall, GoAxisBlock *y, int yall, GoAxisBlock *z, int zall);
int std_dataset_stats(GoGraph *graph, int first, GoAxisBlock *x, GoAxisBlock *y, GoAxisBlock *z, int force);
int gomain_go_auto_scale(const int *logarithmic, const double *origin, const double *maximum, const double *minimum,
                         const double *division, const int *ndivs, const int *nticks, const DozColDesc *type,
                         GoAxisBlock *block);
void gomain_go_show_autoscale_error(int code);
int std_auto_scale(GoGraph *graph, int axis_mode);
int gostd_std_3d_auto_scale(GoGraph *graph, int axis_mode);
void go_set_2d_graph_coordinates(GoGraph *graph, int twodz);
void gomain_go_set_2d_coordinates(GoGraph *graph);
void gomain_go_set_2dz_coordinates(GoGraph *graph);
void gomain_go_set_3d_coordinates(GoGraph *graph);
int gomain_go_get_tinfos(GoGraph *graph, int dataset, const DozColDesc **x, const DozColDesc **y,
                         const DozColDesc **z);
void gomain_go_correct_y_origin(GoGraph *graph);
void gomain_go_get_non_scalar_shift(GoGraph *graph, GoAxisBlock *x, GoAxisBlock *y, int axis_mode, double *xshift,
                                    double *yshift, double *xused, double *yused);
int where_is_xval(double x, double **table, int *capacity, int *count, double **table2, double **table3);

// ---- multiple y axes ----------------------------------------------------------------------

int gomy_go_multiy_for_dataset(GoGraph *graph, int dataset);
GoAxisBlock *gomy_go_multiy_axis(GoGraph *graph, int axis);
int gomy_go_multiy_axis_enabled(GoGraph *graph, int axis);
int gomy_go_multiy_axis_on_left(GoGraph *graph, int axis);
int gomy_go_multiy_needed(GoGraph *graph);
void gomy_init_multiy(GoGraph *graph);
void gomy_term_multiy(GoGraph *graph);
int gomy_go_multiy_has_x(GoGraph *graph, int axis);
int gomy_go_multiy_is_first(GoGraph *graph, int axis, int *left, int *right);
int gomy_go_multiy_axis_above(GoGraph *graph, int axis);
double gomy_go_multiy_axis_spacing(GoGraph *graph, int axis, int convert, double fallback);
void gomy_go_set_multiy_coord(GoGraph *graph, int dataset);
void gomy_go_set_myaxis_coord(GoGraph *graph, int axis);
int gomy_stack_count(GoGraph *graph);
int gomy_stack_position(GoGraph *graph, int axis);
void multiy_dataset_stats(GoGraph *graph);

// ---- standard class methods and the zoom stack --------------------------------------------

int gostd_std_create_graph(GoGraph **graph, Widget canvas_window, const int placement[4]);
int gostd_std_create_2dz_graph(GoGraph **graph, Widget canvas_window, const int placement[4]);
void gostd_std_destroy_graph(GoGraph *graph);
int gostd_std_parmsetdata_scalar_graph(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale);
int gostd_std_parmsetdata_x_nonscalar_graph(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale);
int gostd_std_parmsetdata_y_nonscalar_graph(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale);
int gostd_std_parmsetdata_block_graph(GoGraph *graph, int dataset, GoAutoScaleProc auto_scale);
int gostd_std_setdata_scalar_graph(GoGraph *graph, int dataset);
int gostd_std_setdata_x_nonscalar_graph(GoGraph *graph, int dataset);
int gostd_std_setdata_y_nonscalar_graph(GoGraph *graph, int dataset);
// The read-out: *values = (x, y), valid until the next call; none when the
// point is outside the world window and clamp is 0.
int gostd_std_input_graph(GoGraph *graph, const int point[2], int clamp, double **values,
                          const DozColDesc **xtype, const DozColDesc **ytype, char *text);
int gostd_std_output_graph(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext,
                           char *ztext);
int gostd_std_3d_output_graph(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext,
                              char *ztext);
int gostd_std_2dz_output_graph(GoGraph *graph, GoReadout *request, int dataset, char *xtext, char *ytext,
                               char *ztext);
// Corners (x, y): 1 = (x minimum, y maximum), 2 = (x maximum, y minimum).
// Operation 3 pops, 2 replaces the window, any other pushes.
int gostd_std_zoom_graph(GoGraph *graph, const double corner1[2], const double corner2[2],
                         GoZoomWindow *previous, int operation);
int gostd_std_mutate_graph(GoGraph *graph, int previous_kind);
int gostd_std_mutate_2dz_graph(GoGraph *graph, int previous_kind);
int gostd_graph_multi_zoomed(GoGraph *graph);
int gostd_zoom_stack_depth(const GoGraph *graph);
int gomain_go_get_zoom_limits(GoGraph *graph, char *xmin, char *xmax, char *vmin, char *vmax);
void gostd_std_get_label(GoGraph *graph, const char *format, const DozColDesc *type, double value, int unused,
                         char *text);
extern Widget go_canvas_window;

// ---- fill modes, world mapping and colour maps by axis ------------------------------------

void gomain_go_setup_fill_modes(GCanvasRecord *canvas, int style, long colour);
void gomain_go_set_world_clip(int mode);
// 1 when the point needed no clamping (the clamped point is stored anyway).
int gomain_go_map_to_world(GCanvasRecord *canvas, const int point[2], double world[2]);
int gomain_go_clip_zoom_to_world(GCanvasRecord *canvas, GoZoomWindow *zoom);
// Axis 0 the x block, 1 the given block (or y), other the z block.
int gomain_go_get_colourmap_for_axis(GoGraph *graph, GoAxisBlock *block, int dataset, int use_thresholds,
                                     int axis);
int gomain_go_get_colourmap(GoGraph *graph, GoAxisBlock *block, int dataset, int use_thresholds);
int gomain_go_get_colourmap_x(GoGraph *graph, GoAxisBlock *block, int dataset, int use_thresholds);
void gomain_go_forget_colourmap(GoGraph *graph);
int gomain_go_allow_colourmap();
int gomain_go_reset_y_axis_scaling(GoGraph *graph, int axis_mode, GoAutoScaleProc auto_scale,
                                   GoCoordinateProc coordinates);
// 1 when the file was read into the colour maps; 0 (and nothing read) for
// a path over 255 characters.
int gomain_go_read_colourmap(Widget canvas_window, const char *path);
int gomain_go_write_colourmap(const void *unused, const char *path);
// Directory and file name of a colour-map path ("./" for a bare name, "/"
// for a name whose only slash leads); 0 for a path over 255 characters.
int go_split_path(const char *path, char directory[256], char name[256]);
