// The draw of the kinds that walk their datasets point by point (line,
// scatter, impulse, high-low, vector, bar and horizontal bar): the
// preamble, the partial or full draw, the choice of y axis per dataset,
// the clip selectors, the frame, axes and division labels, spread x
// positions, overlays, titles, the legend and the colour bar.  A kind
// fills a GkKind with its preamble arguments and its hooks; the skeleton
// calls them at each dataset's start and end, for each point and for each
// missing value.
#pragma once

#include "gomain.h"

#include <cstdint>

struct GkDraw;

// One point as read: the raw values (null when missing) and x, y, z in
// world coordinates (through the axes' forward procedures; x spread when
// the dataset is).
struct GkPoint {
    const GoTuple *tuple;
    double x, y, z;
    double rawx;   // the value before its forward procedure (spread x when spread)
    int status;    // the reader's status after the step forward (GT_S_ROW_END)
    long index;    // 0 for the dataset's first point that is not missing
};

struct GkKind {
    int axis_mode;                // for the preamble and the axes
    GoAutoScaleProc auto_scale;
    GoCoordinateProc coordinates;
    bool walks_extra_axes;        // extra y axes as the line kind walks them
    int legend_kind;
    int overlay_flag;             // the mode of the overlays' draw
    // All optional.  `prepare` runs before the preamble, `prepared` right
    // after it; `begin` once the frame stands (or at once for a partial
    // draw); `after_walk` after the last dataset, before the legend; `end`
    // last, on every path that passed the preamble.
    void (*prepare)(GkDraw &s);
    void (*prepared)(GkDraw &s);
    void (*begin)(GkDraw &s);
    // False ends the walk (already drawn datasets stay).
    bool (*dataset_start)(GkDraw &s);
    // False ends the dataset.
    bool (*point)(GkDraw &s, const GkPoint &p);
    void (*missing)(GkDraw &s);
    void (*dataset_end)(GkDraw &s);
    void (*after_walk)(GkDraw &s);
    void (*end)(GkDraw &s);
};

// The state of one draw, seen by the hooks.
struct GkDraw {
    GoGraph *graph = nullptr;
    GCanvasRecord *canvas = nullptr;
    const GkKind *kind = nullptr;
    void *own = nullptr;           // the kind's own state
    int reason = 0;
    uint64_t *flags = nullptr;
    bool partial = false;
    bool has_data = false;         // as the preamble found
    GoTupleReader reader = nullptr;
    bool has_z = false;            // the datasets carry a colour value
    bool any_map = false;          // a hook loaded a colour map
    // The dataset being drawn.
    int d = -1, q = 0;             // its number, and its qualifier (d - first)
    int axis = -1;                 // its extra y axis in multi-y mode, else -1
    bool enabled = true;           // its y axis is enabled
    GoAxisBlock *yb = nullptr;     // the scale block of its y axis
    bool spread = false;           // x positions spread evenly
    ScaleProc fx = nullptr, fy = nullptr, fz = nullptr;
    long points = 0;               // points handed to the point hook
};

// The draw method of a kind built on the skeleton.
int goskel_draw(GoGraph *graph, int reason, uint64_t *flags, const GkKind &kind, void *own);

// ---- helpers for the hooks ---------------------------------------------------------

// A graph property read as an integer or a double (0 when unset).
int gk_iprop(GoGraph *g, int property, int qualifier = 0);
double gk_dprop(GoGraph *g, int property, int qualifier = 0);
// A value through a forward or reverse procedure (none: unchanged).
inline double gk_through(ScaleProc p, double v) { return p ? p(v) : v; }
// The clip selector of the canvas modes.
void gk_clip_selector(GCanvasRecord *c, int selector);
// The origin of a scale block in world coordinates.
double gk_origin(GoAxisBlock *b);
// Line modes by mask from the dataset's `colour` and `linestyle`.
void gk_line_modes(GkDraw &s, uint64_t mask, int64_t style, int64_t colour, unsigned char close = 0);
// One-point drawing in world coordinates.
void gk_line(GCanvasRecord *c, double x0, double y0, double x1, double y1);
void gk_rectangle(GCanvasRecord *c, double x0, double y0, double x1, double y1);
void gk_marker(GCanvasRecord *c, double x, double y);
void gk_text(GCanvasRecord *c, double x, double y, const char *text);
