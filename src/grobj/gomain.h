// The graph record: one graph on the display canvas, with its placement,
// canvas, dataset range, flags, the three axis blocks, its format and its
// zoom window (or, in multi-y mode, its secondary y axis blocks).
#pragma once

#include "goprop.h"
#include "gsscale.h"

#include <cstdint>

struct GCanvasRecord;

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

struct GoZoomStack;

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
