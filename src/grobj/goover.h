// Overlays of a graph: statistical lines over one dataset (minimum,
// maximum, mean, mean +- 2 and 3 standard deviations, the least-squares
// straight line, a natural cubic spline, the cumulative line and a
// least-squares polynomial), each switched on by its qualifier of
// `overlayon`, and their statistics published as named values of the graph.
#pragma once

struct GoGraph;

inline constexpr int GO_OVERLAY_POINTS = 512;  // points along a curved overlay
inline constexpr int GO_POLY_MAX_ORDER = 9;

// Draws the overlays switched on for the dataset (and, with `overlay_vars`,
// publishes the statistics of overlays 0-5 and 8).  axis_mode is the kind's
// axis mode, for the shift of category axes.
void goover_go_draw_all_overlays(GoGraph *graph, int dataset, int axis_mode);

// The line-drawing procedures: a segment of a curve, a constant line from
// x0 to x1 at y, and the straight line.  They get data values; the default
// ones shift x for category axes, pass the values through the axis scales
// and draw in world coordinates.
using GoOverlaySegmentProc = void (*)(GoGraph *graph, double x1, double y1, double x2, double y2);
using GoOverlayConstantProc = void (*)(GoGraph *graph, double x0, double x1, double y);
// Installs the three (a null one restores that one's default).
void goover_go_set_overlay_drawing_procs(GoOverlaySegmentProc segment, GoOverlayConstantProc constant,
                                         GoOverlaySegmentProc non_constant);

// The start and spacing of points placed evenly across the x data range.
void goover_go_calculate_overlay_spread(GoGraph *graph, int dataset, double *start, double *spread);

// Publishes a number as a named value of the graph: "%*e" at `width` when
// precision is -1, else "%*.*f" at width + extra and precision + extra.
void goover_go_set_overlay_var(GoGraph *graph, const char *name, double value, int width, int precision,
                               int extra);
