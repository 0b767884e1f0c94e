// The frame of a graph: borders, axes, ticks, grid lines, division labels
// and titles, in 2-D (also with z as the vertical axis, and per stack of
// secondary y axes) and in 3-D.  Axes are drawn in world coordinates; the
// lengths of ticks and the label gap are canvas length units.
#pragma once

#include "gomain.h"

void gomain_go_draw_borders(GoGraph *graph);
// The axis line modes: `axisstyle`, `axiscolour`, width 0.
void gomain_go_draw_borders_modes(GoGraph *graph);
void gomain_go_draw_2d_axes(GoGraph *graph, int axis_mode);
void go_draw_2dz_axes(GoGraph *graph, int axis_mode);
void gomain_go_draw_2d_multiy_axes(GoGraph *graph, int dataset, int axis_mode);
void gomain_go_draw_division_labels(GoGraph *graph, int axis_mode);
void go_draw_2dz_division_labels(GoGraph *graph, int axis_mode);
void gomain_go_draw_multiy_division_labels(GoGraph *graph, int dataset, int axis_mode);
void go_draw_3d_axes_supp(GoGraph *graph, int axis_mode, int draw_axes, int draw_long_ticks);
void gomain_go_draw_3d_axes(GoGraph *graph, int axis_mode);
void gomain_go_draw_3d_axes_only(GoGraph *graph, int axis_mode);
void gomain_go_draw_3d_axes_long_ticks(GoGraph *graph, int axis_mode);
void gomain_go_draw_3d_division_labels(GoGraph *graph);
double go_pick_zlabel_xypos(int z_back_first, double xfirst, double xlast);

// One line; the canvas's coordinate selector is `selector` for the line
// and put back after it.
void gomain_go_draw_line(GCanvasRecord *canvas, double x1, double y1, double x2, double y2, int selector);
// Direction 1 a horizontal tick (of a y axis), 0 a vertical one; outward
// negates the length.
void gomain_go_draw_tick(GCanvasRecord *canvas, double x, double y, double length, int direction, int outward);
// Angles in radians; the driver gets start and extent in 1/64 degree.
void gomain_go_draw_circular_arc(GCanvasRecord *canvas, double cx, double cy, double radius, double start,
                                 double end);

// Text origin (0-8) of labels at `angle` degrees along an axis whose
// direction is `axis_direction` degrees; axis type 0 x, 1 y, 2 z.
int go_pick_text_org(int axis_direction, int angle, int axis_type, int right_side);
// Sets the text angle and origin (mask 0x18) of the labels of an axis;
// y_axis is the secondary axis number, -1 the main axis.
void go_set_label_angle_and_org(GoGraph *graph, int axis_direction, int axis_type, int y_axis);
// How many decades finer than the whole axis the zoomed range is (0-6).
int determine_zoom_extent(ScaleRec *scale, double zoomed_range);

// The line along which an axis is drawn, in canvas units, and the unit
// direction across it away from the plot: axis 0 x, 1 y, 2 z, 3 + n the
// extra y axis n.  0 when the graph has no such axis (z only in 3-D and
// with z upwards, where y has none; extra y axes only in multi-y mode).
// The canvas's coordinates are left as they were.
int go_axis_line(GoGraph *graph, int axis, double from[2], double to[2], double away[2]);

void gomain_go_draw_all_titles(GoGraph *graph);
void gomain_go_draw_2dz_titles(GoGraph *graph);
void gomain_go_draw_y_axis_title(GoGraph *graph, int axis);
