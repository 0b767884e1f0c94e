// The chart kinds' shared cases: per kind the demo database's query, the
// properties it is shown with, and where its figure must show the data
// (probes in world coordinates) for the pictures of the display window,
// paper and image files to be checked alike.
#pragma once

#include "gomain.h"
#include "grkind.h"
#include "goprop.h"
#include "gsscale.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace kindcase {

inline double forward(GoAxisBlock &b, double v)
{
    const ScaleProc p = scale_GGetForwardScaleProc(&b.scale);
    return p ? p(v) : v;
}

inline double origin(GoAxisBlock &b)
{
    double o = 0;
    scale_GetOrg(&b.scale, &o);
    return forward(b, o);
}

// One row of the data as the kind reads it: x, y and z in world
// coordinates, with the missing values marked.
struct Row {
    double x = 0, y = 0, z = 0;
    bool missing = false;
};

inline std::vector<Row> rows_of(GoGraph *g)
{
    const GoClass *c = gomain_go_class(g);
    auto reader = reinterpret_cast<GoTupleReader>(goprop_go_property(g, GP_DATAFUNC, c->datafunc_qualifier, 1));
    std::vector<Row> out;
    const int was = goprop_go_tuple_autoinc_get();
    goprop_go_tuple_autoinc(0);
    GoTuple t{};
    t.dataset = g->first;
    for (;; goprop_go_next_point(&t)) {
        reader(&t);
        if (t.status & GT_S_END)
            break;
        Row r;
        r.missing = goprop_null_tuple(&t) != 0;
        r.x = t.x ? forward(g->xblock, *t.x) : 0;
        r.y = t.y ? forward(g->yblock, *t.y) : 0;
        r.z = t.z ? forward(g->yblock, *t.z) : 0;
        out.push_back(r);
    }
    goprop_go_tuple_autoinc(was);
    return out;
}

inline double half_slot(GoGraph *g, int mode)
{
    double xs = 0, ys = 0;
    gomain_go_get_non_scalar_shift(g, &g->xblock, &g->yblock, mode, &xs, &ys, nullptr, nullptr);
    return mode == GO_AXES_CATEGORY_X ? xs : ys;
}

// Where a row's figure must show the series colour (and, for a missing
// value of a bar, the background).
struct Probe {
    double x, y;
    bool data;
};

struct Case {
    const char *before;  // a query run first, or null
    const char *query;
    int kind;
    std::function<void(GoGraph *)> properties;
    std::function<std::vector<Probe>(GoGraph *, const std::vector<Row> &)> probes;
    int rows;  // at least
};

inline std::vector<Probe> every(const std::vector<Row> &rows, size_t most,
                         const std::function<bool(const Row &, Probe &)> &probe)
{
    std::vector<Probe> out;
    const size_t step = std::max<size_t>(1, rows.size() / most);
    for (size_t i = 0; i < rows.size(); i += step) {
        Probe p{};
        if (probe(rows[i], p))
            out.push_back(p);
    }
    return out;
}

inline void set_int(GoGraph *g, int property, int value, int q = 0) { goprop_go_set_property(g, property, q, &value); }

inline const Case cases[] = {
    {nullptr, "DISPLAY SALARY, AGE FROM STAFF", 1, [](GoGraph *g) { set_int(g, GP_MARKERSTYLE, 1); },
     [](GoGraph *, const std::vector<Row> &rows) {
         return every(rows, 20, [](const Row &r, Probe &p) {
             p = {r.x, r.y, true};
             return !r.missing;
         });
     },
     100},
    {nullptr, "DISPLAY UNITS, SDATE FROM SALES WHERE DEPTNO=10 AND SDATE<STRTODATE('01/01/24')+42", 2, nullptr,
     [](GoGraph *g, const std::vector<Row> &rows) {
         const double o = origin(g->yblock);
         return every(rows, 20, [o](const Row &r, Probe &p) {
             p = {r.x, (r.y + o) / 2, true};
             return !r.missing && r.y != o;
         });
     },
     42},
    {nullptr, "DISPLAY GY-20, GX-20 FROM SENSOR WHERE GX-(GX/8)*8=4 AND GY-(GY/8)*8=4", 4, nullptr,
     [](GoGraph *g, const std::vector<Row> &rows) {
         const double ox = origin(g->xblock), oy = origin(g->yblock);
         return every(rows, 20, [=](const Row &r, Probe &p) {
             p = {(r.x + ox) / 2, (r.y + oy) / 2, true};
             return !r.missing && (r.x != ox || r.y != oy);
         });
     },
     10},
    {"GROUP SALES BY SDATE MAXIMUM REVENUE AS HI, MINIMUM REVENUE AS LO WHERE SDATE<STRTODATE('01/01/24')+60",
     "DISPLAY HI, LO, SDATE FROM RSLT", 3, nullptr,
     [](GoGraph *, const std::vector<Row> &rows) {
         return every(rows, 20, [](const Row &r, Probe &p) {
             p = {r.x, (r.y + r.z) / 2, true};
             return !r.missing && r.y != r.z;
         });
     },
     60},
    {nullptr, "DISPLAY BUDGET, DNAME FROM DEPT", 5, [](GoGraph *g) { set_int(g, GP_LABELBARS, 1); },
     [](GoGraph *g, const std::vector<Row> &rows) {
         const double s = half_slot(g, GO_AXES_CATEGORY_X), o = origin(g->yblock);
         double top = o;
         for (const Row &r : rows)
             top = r.missing ? top : std::max(top, r.y);
         return every(rows, 20, [=](const Row &r, Probe &p) {
             // An empty slot where the budget is missing.
             p = r.missing ? Probe{r.x + s, (o + top) / 2, false} : Probe{r.x + s, (o + r.y) / 2, true};
             return true;
         });
     },
     6},
    {nullptr, "DISPLAY DNAME, BUDGET FROM DEPT", 6, [](GoGraph *g) { set_int(g, GP_LABELBARS, 1); },
     [](GoGraph *g, const std::vector<Row> &rows) {
         const double s = half_slot(g, GO_AXES_CATEGORY_Y), o = origin(g->xblock);
         return every(rows, 20, [=](const Row &r, Probe &p) {
             p = {(o + r.x) / 2, r.y + s, true};
             return !r.missing;
         });
     },
     6},
    {nullptr,
     "DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=30 AND SDATE<STRTODATE('01/01/24')+91 SEQUENCE BY SDATE", 11,
     [](GoGraph *g) {
         set_int(g, GP_USEMARKERS, 1);
         set_int(g, GP_MARKERJOIN, 1);
         set_int(g, GP_MARKERSTYLE, 1);
     },
     [](GoGraph *, const std::vector<Row> &rows) {
         return every(rows, 20, [](const Row &r, Probe &p) {
             p = {r.x, r.y, true};
             return !r.missing;
         });
     },
     91},
    {nullptr, "DISPLAY UNITS, SDATE FROM SALES WHERE DEPTNO=20 AND SDATE<STRTODATE('01/01/24')+28", 20,
     [](GoGraph *g) {
         set_int(g, GP_LABELBARS, 1);
         set_int(g, GP_ASLINE, 0);
         goprop_go_set_property(g, GP_YORIGIN, 0, "0");
     },
     [](GoGraph *g, const std::vector<Row> &rows) {
         // The middle of each bar: its slot's centre, half its height.
         const double s = half_slot(g, GO_AXES_CATEGORY_X), o = origin(g->yblock);
         return every(rows, 20, [=](const Row &r, Probe &p) {
             p = {r.x + s, (o + r.y) / 2, true};
             return !r.missing && r.y != o;
         });
     },
     28},
    {nullptr, "DISPLAY THICK FROM WAFERS WHERE WAFER=1", 13,
     [](GoGraph *g) {
         for (int k = 2; k <= 5; k++)
             set_int(g, GP_OVERLAYON, 1, k);
         // Markers joined by lines: the points stand out of the overlays.
         set_int(g, GP_LINESCAT_OPT, 1);
         set_int(g, GP_MARKERSTYLE, 1);
     },
     [](GoGraph *g, const std::vector<Row> &rows) {
         // The sorted values at their plotting positions on normal paper.
         std::vector<double> v;
         for (const Row &r : rows)
             if (!r.missing)
                 v.push_back(r.y);
         std::sort(v.begin(), v.end());
         std::vector<Row> at;
         const long n = static_cast<long>(v.size());
         for (long i = 0; i < n; i++)
             at.push_back({forward(g->xblock, ranked_cdf(i, n, 0)), v[static_cast<size_t>(i)], 0, false});
         return every(at, 20, [](const Row &r, Probe &p) {
             p = {r.x, r.y, true};
             return true;
         });
     },
     100},
};

}  // namespace kindcase
