// Shared by the graph benchmarks: a wave of many points made into a query
// result in memory, without the interpreter.
#pragma once

#include "dozrow.h"
#include "dsmgr.h"
#include "qymgr.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace vxbench {

// The i-th of n values: a slow wave with a fast ripple on it.
inline double wave(long i, long n)
{
    const double x = 6 * M_PI * static_cast<double>(i) / static_cast<double>(n);
    return std::sin(x) * (1 - 0.3 * std::cos(x / 3)) + 0.2 * std::sin(37 * x);
}

// The points (i, wave(i, n)) as a query result of two REAL columns X and
// Y, the archive's current dataset; its index, or -1.
inline int points_dataset(long n)
{
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
        const double x = static_cast<double>(i), y = wave(i, n);
        doz_put(row, l.fields[0], &x, 1, true);
        doz_put(row, l.fields[1], &y, 1, true);
    }
    qymgr_qy_fake_query(buffer.data(), static_cast<int>(n), static_cast<int>(buffer.size()));
    return dsmgr_ds_current();
}

}  // namespace vxbench
