// Shared by the graph benchmarks: a wave of many points made into a query
// result in memory, without the interpreter.
#pragma once

#include "dozrow.h"
#include "dsmgr.h"
#include "qymgr.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <cstring>
#include <vector>

namespace vxbench {

// The i-th of n values: a slow wave with a fast ripple on it.
inline double wave(long i, long n)
{
    const double x = 6 * M_PI * static_cast<double>(i) / static_cast<double>(n);
    return std::sin(x) * (1 - 0.3 * std::cos(x / 3)) + 0.2 * std::sin(37 * x);
}

// The points (x[i], y[i]) as a query result of two REAL columns X and Y,
// the archive's current dataset; its index, or -1.
inline int points_dataset(const std::vector<double> &xs, const std::vector<double> &ys)
{
    const long n = static_cast<long>(std::min(xs.size(), ys.size()));
    DozColDesc cols[2]{};
    for (DozColDesc &c : cols) {
        c.type = DOZ_T_REAL;
        c.width = 10;
        c.precision = 2;
    }
    strcpy(cols[0].name, "X");
    strcpy(cols[1].name, "Y");
    DozLayout l;
    if (!doz_layout(cols, true, l))
        return -1;
    const int head = doz_header_bytes(2, true);
    std::vector<unsigned char> buffer(static_cast<size_t>(head) + static_cast<size_t>(n) * l.row_size + 64, 0);
    doz_put_table(buffer.data(), cols, l.row_align);
    for (long i = 0; i < n; i++) {
        unsigned char *row = buffer.data() + head + static_cast<size_t>(i) * l.row_size;
        const double x = xs[static_cast<size_t>(i)], y = ys[static_cast<size_t>(i)];
        doz_put(row, l.fields[0], &x, 1, true);
        doz_put(row, l.fields[1], &y, 1, true);
    }
    qymgr_qy_fake_query(buffer.data(), static_cast<int>(n), static_cast<int>(buffer.size()));
    return dsmgr_ds_current();
}

// The points (i, wave(i, n)) as the archive's current dataset.
inline int points_dataset(long n)
{
    std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    for (long i = 0; i < n; i++) {
        x[static_cast<size_t>(i)] = static_cast<double>(i);
        y[static_cast<size_t>(i)] = wave(i, n);
    }
    return points_dataset(x, y);
}

// Reads "x y" lines (as gnuplot reads them); false when the file cannot be
// read or holds no point.
inline bool read_points(const char *path, std::vector<double> &x, std::vector<double> &y)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return false;
    double a, b;
    while (fscanf(f, "%lf %lf", &a, &b) == 2) {
        x.push_back(a);
        y.push_back(b);
    }
    fclose(f);
    return !x.empty();
}

// Writes the points (i, wave(i, n)) as "x y" lines.
inline bool write_points(const std::string &path, long n)
{
    FILE *f = fopen(path.c_str(), "w");
    if (!f)
        return false;
    for (long i = 0; i < n; i++)
        fprintf(f, "%ld %.17g\n", i, wave(i, n));
    return fclose(f) == 0;
}

}  // namespace vxbench
