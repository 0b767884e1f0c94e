// Grids from scattered data, and the interpolation behind them: natural
// cubic splines and Neville polynomials in one and two dimensions, the
// completers that resample scattered 1-D data onto even positions, and the
// resamplers of curves and grids.
//
// A grid gathers points (x, y, z) on a regular rectangle of nodes in the
// x-z plane, y being the value.  Completion turns the gathered sums into
// values and fills the nodes that got no point.  Like every kernel handle,
// "no grid" is the null pointer.
#pragma once

#include "pelx.h"

// One node: its value and its weight (0: no value yet).
struct GGridCell {
    double value;
    double weight;
};

// Rows are indexed by the x index first: cell (i, k) is row i, entry k.
// A patch (i, k) lies between nodes (i, k), (i, k+1), (i+1, k+1), (i+1, k).
struct GGrid {
    int16_t nx, nz;           // node columns along x, node rows along z
    double x0, dx;            // node i lies at x0 + i * dx
    double z0, dz;            // node k lies at z0 + k * dz
    GGridCell **values;       // nx rows of nz cells
    GGridCell **aux;          // working counts, then patch centres or the mask; or null
    GGridCell **overlay;      // another grid's value rows, used while overlay_flag is 1
    unsigned char overlay_flag;
    unsigned char mask_flag;  // aux holds the round mask
    unsigned char finished;   // the aggregation has been finalised
};

// Aggregations of the points that fall on one node.
enum {
    GAGG_SPREAD = 0, GAGG_MIN = 1, GAGG_MAX = 2, GAGG_MEAN = 3, GAGG_RANGE = 4, GAGG_VARIANCE = 5,
    GAGG_COUNT = 6, GAGG_SUM = 7
};
// Completion methods (rows of GridMethods).
enum { GGRID_CHECK = 0, GGRID_NEAREST = 1, GGRID_PROPAGATE = 2, GGRID_BILINEAR = 3, GGRID_BICUBIC = 4,
       GGRID_METHODS = 5 };

// ---- grid modes and the canvas's cached grid -----------------------------

int ggrid_GSetGridModes(GCanvasRecord *canvas, uint64_t mask, const GGridModes *modes);
int ggrid_GGetGridModes(GCanvasRecord *canvas, GGridModes *modes);
// Method 2, no lock, no patch centres, aggregation 0; a grid still cached
// is destroyed.
int ggrid_GSetDefaultGridModes(GCanvasRecord *canvas);
// Stores the grid as the cached grid (the canvas then owns it); a grid
// cached before is replaced, not destroyed: destroy it first.
int ggrid_GCacheGrid(GCanvasRecord *canvas, GGrid *grid);
GGrid *ggrid_GGetCachedGrid(GCanvasRecord *canvas);
int ggrid_GDestroyCanvasGrid(GCanvasRecord *canvas);

// ---- life of a grid --------------------------------------------------------

// nx and nz 2 .. 32767, steps finite and above 0, origins finite; else null
// with (3, 22).  Out of memory: null with (4, 3), nothing left allocated.
GGrid *ggrid_GCreateGrid(double x0, double dx, long nx, double z0, double dz, long nz);
int ggrid_GDestroyGrid(GGrid *grid);
// 0; -1 outside the grid's band, for a non-finite coordinate or value, or
// when no node can take the point; -2 under method 0 off the nodes.
int ggrid_GAddGridPoint(GCanvasRecord *canvas, GGrid *grid, double x, double y, double z);
// Finalises the aggregation and completes the grid under the canvas's
// method: 0, -2 when a node is left empty, -1 with (3, 22) for a method
// outside 0 .. 4 or (4, 3) when memory runs out.  *range_changed is 1 when
// the colour-map range was replaced by the grid's own.
short ggrid_GCompleteGrid(GCanvasRecord *canvas, GGrid *grid, unsigned char *range_changed);
int ggrid_GGetGridSize(const GGrid *grid, long *nx, long *nz);

// ---- reading a grid ------------------------------------------------------

// 0, or nonzero when (x, z) lies outside the grid.  Discrete: the node at
// the lower left of the cell holding the point, x and z moved onto it.
int GGridGetYValue(GCanvasRecord *canvas, const GGrid *grid, double *x, double *z, double *y, int discrete);
int ggrid_GBilinearValue(const GGrid *grid, double x, double z, double *y, int discrete);
int ggrid_GBicubicValue(const GGrid *grid, double x, double z, double *y);

struct GGridMethod {
    int (*reader)(const GGrid *grid, double x, double z, double *y, int discrete);
    int (*complete)(GGrid *grid);
};
extern const GGridMethod GridMethods[GGRID_METHODS];

// ---- derived data ----------------------------------------------------------

// The patch centre (aux cell, null without aux) and the values of nodes
// (i, k), (i, k+1), (i+1, k+1), (i+1, k); -1 past the last patch.
int ggrid_GGetPatchValues(double *out[5], GGrid *grid, long i, long k);
// The four corners (x, value, z) of patch (i, k) into a double interleaved
// 3-D vector of at least four points; -1 when node (i, k) has no weight.
int ggrid_GGetPatchAsPolygon(GVector *vector, const GGrid *grid, long i, long k);
// The same corners from the overlay rows, closed: five points.
int ggrid_GGetOverlayAsPolygon(GVector *vector, const GGrid *grid, long i, long k);
// One byte per node (element k * nx + i): its colour index over the
// canvas's colour-map range, 0 .. levels - 1.  The caller frees it with
// vx_free; null with (4, 3).
unsigned char *ggrid_GGridGetOverlayValues(GCanvasRecord *canvas, const GGrid *grid);
// The other grid's value rows become the grid's overlay (the other grid
// keeps none); null unless both have the same nx and nz.
GGrid *ggrid_GGridMergeOverlay(GGrid *grid, GGrid *other);
// The patches sorted by rising depth under the canvas's world transform,
// in a new array the caller frees with vx_free; null with count -1 and
// (4, 3) when memory runs out.
GDepthEntry *ggrid_GGridCreateDepthList(GCanvasRecord *canvas, const GGrid *grid, long *count);
// Aux becomes the round mask: weight 1 for every cell whose four corners
// lie within the radius of (cx, cz), the cells of the last row and column
// (one step past the last node) included.  -1 with (4, 3), the grid then left
// without aux and without a mask.
int ggrid_GGridMaskValues(GCanvasRecord *canvas, GGrid *grid, double cx, double cz, double radius);
// The grid lines on the floor of the world box; with mark, a tick in
// colour 2 at every node that has a weight.
int ggrid_GShowGrid(GCanvasRecord *canvas, const GGrid *grid, int mark);

// ---- interpolation -------------------------------------------------------

// Neville's algorithm over n points (at most 20): the value at v and the
// last correction as the error estimate; -1 for coinciding abscissas.
int ginterp_GPolyint(const double *x, const double *y, long n, double v, double *result, double *error);
// Input: a double vector, interleaved (x, y[, z]) or split.  Output: n
// points (position, value, 0) at start, start + step, ...; the output's own
// data array is used (it must hold n interleaved 3-D doubles), or one is
// allocated when it has none.  Clamped to the first and last value outside
// the data.  -1 when the input is not double, n is below its count, or its
// abscissas do not rise over at least three points.
int ginterp_GLinearComplete(const GVector *input, double start, double end, double step, long n, GVector *output);
int ginterp_GSplineComplete(const GVector *input, double start, double end, double step, long n, GVector *output);
// The grid's two-dimensional spline at the vector's first point (x, ., z),
// written into its y.
int ginterp_GEvaluateWithSpline(const GGrid *grid, GVector *vector);

// Resamplers.  The output vectors get new data (double, interleaved, 3-D)
// that the caller frees with gvector_GFreeVectorData.
int ginterp_GSpline1D(void *unused, const GVector *input, long n_out, GVector *output);
int ginterp_GPolynomial1D(const GVector *input, long n_out, long order, GVector *output);
// The grid resampled onto nx_out x nz_out nodes over the same extent.
int ginterp_GPolynomial2D(void *unused, GGrid *grid, long nx_out, long nz_out, long order);
int GSpline2D(void *unused, GGrid *grid, long nx_out, long nz_out);

// ---- contours ----------------------------------------------------------------
// A grid's cell (i, k) is cut into four triangles that meet at its centre
// (the patch centre in aux, or the mean of the four nodes when the grid
// keeps none): triangle 0 on the edge k + 1, 1 on the edge i + 1, 2 on the
// edge k, 3 on the edge i.  Contour points are 2-D: (x, z) in the canvas's
// current coordinate system.

// Whether a triangle of corner values c[3] holds the level: a side of
// corner values a, b is crossed when a <= level < b or b <= level < a.
int GContourInCell(const double c[3], double level);
// Every line of the level, drawn in the current line modes (in the level's
// colour while colouring by value), the label on a straight stretch of
// each when the contour modes allow labels.  The result of the last trace
// (0, or -1 for one that lost its way); 0 without anything to trace (a
// level that is not finite, a grid under 3 x 3 nodes); -1 with (4, 3) when
// the visited map cannot be had.
int GDrawContour(GCanvasRecord *canvas, const GGrid *grid, double level, const char *label);
// The label's length in canvas units.
double GGetLabelLength(GCanvasRecord *canvas, const char *label);

// ---- meshes, skirts and mesh maps --------------------------------------------

// Each patch of the depth list as a filled quadrilateral, coloured by value
// or, with overlay colours (one byte per node, element k * nx + i), by the
// mean of its corners' bytes; the fill style is 0 afterwards.  0.
int gmesh_GDrawGridMesh(GCanvasRecord *canvas, const GGrid *grid, const unsigned char *overlay,
                        const GDepthEntry *list, long count);
// The same for a surface's patches; overlay colours by array n * points per
// array + point g.
int gmesh_GDrawSurfaceMesh(GCanvasRecord *canvas, GSurface *surface, const unsigned char *overlay,
                           const GDepthEntry *list, long count);
// One edge polygon (1: z last, 2: x last, 3: z first, 4: x first, 5: the
// floor) into the vector's data, a double interleaved 3-D vector whose count
// gives its room on entry and the edge's points on return: nx + 3 or
// nz + 3 points, 4 for the floor.  -1 with (3, 22) for another edge or too
// little room.
int ggrid_GGetGridEdge(GVector *vector, const GGrid *grid, int edge, double floor);
// The sides facing the viewer filled down to the world box's floor in the
// special colour, and the floor when it is seen from below.  0, or -1 with
// (4, 3).
int gmesh_GDrawGridSkirt(GCanvasRecord *canvas, const GGrid *grid);
int gmesh_GDrawSurfaceSkirt(GCanvasRecord *canvas, GSurface *surface);
// The flat map of a completed grid: every cell, the last row and column of
// nodes included (one step past them), in the colour of its node's value;
// a cell whose node is empty is drawn in the special colour when the grid's
// mask keeps it and a special colour is set.  0.
int gmesh_GDrawMeshMap(GCanvasRecord *canvas, const GGrid *grid);
