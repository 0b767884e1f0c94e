// What the kinds over a date-and-time x axis (trend, trend bar) and the
// probability kind share: the scaling of an axis from its seven settings,
// the y axes of a graph, and the time read-out.
#pragma once

#include "gomain.h"

// The settings of an axis, read by property number: logarithmic, origin,
// maximum, minimum, division, number of divisions and of small divisions
// (the last two after |n|, the small count + 1, as gomain_go_auto_scale
// takes them).
struct GkAxisProps {
    int log, origin, max, min, div, ndivs, nticks;
};
inline constexpr GkAxisProps GK_X_PROPS = {GP_XLOGARITHMIC, GP_XORIGIN, GP_XMAXIMUM, GP_XMINIMUM,
                                           GP_XDIVISION,    GP_XNUMDIVS, GP_XNUMTICKS};
inline constexpr GkAxisProps GK_Y_PROPS = {GP_YLOGARITHMIC, GP_YORIGIN, GP_YMAXIMUM, GP_YMINIMUM,
                                           GP_YDIVISION,    GP_YNUMDIVS, GP_YNUMTICKS};
inline constexpr GkAxisProps GK_Z_PROPS = {GP_ZLOGARITHMIC, GP_ZORIGIN, GP_ZMAXIMUM, GP_ZMINIMUM,
                                           GP_ZDIVISION,    GP_ZNUMDIVS, GP_ZNUMTICKS};
inline constexpr GkAxisProps GK_SY_PROPS = {GP_SYLOGARITHMIC, GP_SYORIGIN, GP_SYMAXIMUM, GP_SYMINIMUM,
                                            GP_SYDIVISION,    GP_SYNUMDIVS, GP_SYNUMTICKS};

// Scales `block` by gomain_go_auto_scale from the graph's settings of
// `props` (qualifier q); `force_log` makes the axis logarithmic whatever
// its own setting says.  1 on success.
int gk_scale_axis(GoGraph *graph, const GkAxisProps &props, int q, const DozColDesc *type, GoAxisBlock *block,
                  bool force_log = false);
// The y axis (with `props` in place of the y settings when given), the z
// axis when the first dataset has three columns, and in multi-y mode every
// enabled extra y axis.  1 on success.
int gk_scale_y_axes(GoGraph *graph, const GkAxisProps &props = GK_Y_PROPS, bool force_log = false);

// The x axis as a date-and-time axis from the x settings and `timeunits`;
// `one_more` moves the maximum out by one small division.  A failing
// case is shown and repaired once; 1 on success.
int gk_scale_time_axis(GoGraph *graph, bool one_more);

// The format of a time read-out by the x axis's time unit, or null for
// units without one (the label routine's default).
const char *gk_time_format(int unit);
// x as the read-out prints it: a date or time by the x axis's time unit,
// trimmed, into `out` (at least 81 bytes).
void gk_time_text(GoGraph *graph, double x, char *out);

