// Test kit of the graph model: datasets of any shape, packed with the
// interpreter's own row layout and handed to the dataset manager as a
// query result (qymgr_qy_fake_query), graphs with a fresh format, and a
// recorder of the error boxes.
#pragma once

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dozrow.h"
#include "dsmgr.h"
#include "gomain.h"
#include "goobj.h"
#include "goprop.h"
#include "goshell.h"
#include "qymgr.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace gokit {

// One cell: numbers (one, or the elements of an array), a text, a date or
// time (three numbers), or missing.
struct Cell {
    bool present = true;
    std::vector<double> v;
    std::string s;
};
inline Cell num(double x) { return Cell{true, {x}, ""}; }
inline Cell nums(std::vector<double> x) { return Cell{true, std::move(x), ""}; }
inline Cell txt(std::string s) { return Cell{true, {}, std::move(s)}; }
inline Cell ymd(int y, int m, int d) { return Cell{true, {double(y), double(m), double(d)}, ""}; }
inline Cell none() { return Cell{false, {}, ""}; }

inline DozColDesc col(int type, int count = 0, int width = 0, const char *name = "C")
{
    DozColDesc d{};
    d.type = static_cast<int16_t>(type);
    d.width = static_cast<int16_t>(width ? width : (type == DOZ_T_STRING ? 8 : 10));
    d.precision = static_cast<int16_t>(type == DOZ_T_REAL ? 2 : 0);
    d.count = count;
    strncpy(d.name, name, sizeof d.name - 1);
    return d;
}

// The bytes of a cell's elements in the column's type.
inline std::vector<unsigned char> elements(const DozColDesc &d, const Cell &c, int *count)
{
    std::vector<unsigned char> out;
    auto add = [&](const void *p, size_t n) {
        const auto *b = static_cast<const unsigned char *>(p);
        out.insert(out.end(), b, b + n);
    };
    *count = 0;
    switch (d.type) {
    case DOZ_T_STRING: add(c.s.c_str(), c.s.size() + 1); *count = 1; return out;
    case DOZ_T_DATE:
    case DOZ_T_TIME: {
        for (size_t i = 0; i + 2 < c.v.size(); i += 3) {
            int16_t f[3] = {int16_t(c.v[i]), int16_t(c.v[i + 1]), int16_t(c.v[i + 2])};
            add(f, 6);
            ++*count;
        }
        return out;
    }
    default: break;
    }
    for (double x : c.v) {
        switch (d.type) {
        case DOZ_T_LONG: { int32_t v = int32_t(x); add(&v, 4); break; }
        case DOZ_T_SHORT: { int16_t v = int16_t(x); add(&v, 2); break; }
        case DOZ_T_REAL: add(&x, 8); break;
        case DOZ_T_COMPLEX: { double v[2] = {x, 0}; add(v, 16); break; }
        case DOZ_T_SREAL: { float v = float(x); add(&v, 4); break; }
        case DOZ_T_TINY:
        case DOZ_T_BOOL:
        case DOZ_T_CHAR: { unsigned char v = static_cast<unsigned char>(x); add(&v, 1); break; }
        default: break;
        }
        ++*count;
    }
    return out;
}

// Packs the rows and delivers them to the dataset manager; characterises
// the dataset for `order` and keeps it.  Returns its archive index.
inline int load(const std::vector<DozColDesc> &cols, const std::vector<std::vector<Cell>> &rows, int order = 3)
{
    DozLayout l;
    EXPECT_TRUE(doz_layout(cols, true, l));
    const int head = doz_header_bytes(static_cast<int>(cols.size()), true);
    std::vector<unsigned char> buffer(head + rows.size() * l.row_size + 64, 0);
    doz_put_table(buffer.data(), cols, l.row_align);
    for (size_t r = 0; r < rows.size(); r++) {
        unsigned char *row = buffer.data() + head + r * l.row_size;
        for (size_t c = 0; c < cols.size(); c++) {
            const Cell &cell = rows[r][c];
            int n = 0;
            std::vector<unsigned char> e = elements(cols[c], cell, &n);
            doz_put(row, l.fields[c], e.data(), n, cell.present);
        }
    }
    qymgr_qy_fake_query(buffer.data(), static_cast<int>(rows.size()), static_cast<int>(buffer.size()));
    const int index = dsmgr_ds_current();
    dscol_ds_characterise(order);
    dsmgr_ds_retain();
    return index;
}

// A graph with a fresh copy of the default format over datasets first..last.
struct Graph {
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph g{};
    explicit Graph(int first = -1, int last = -1)
    {
        g.format = &format;
        g.first = first;
        g.last = last;
        g.kept = -1;
        g.canvas = nullptr;
    }
    // Its annotation objects go with it, as the graph's destroy method
    // takes them.
    ~Graph() { gobj_go_destroy_objects(&g); }
    Graph(const Graph &) = delete;
    Graph &operator=(const Graph &) = delete;
    GoGraph *operator&() { return &g; }
};

// The error boxes shown since the last clear: "set/number: text".
inline std::vector<std::string> &boxes()
{
    static std::vector<std::string> b;
    return b;
}
inline void record_box(int set, int number, const std::string &text)
{
    boxes().push_back(std::to_string(set) + "/" + std::to_string(number) + ": " + text);
}
inline void record_boxes()
{
    GoDisplayHooks h{};
    h.show_error = record_box;
    go_set_display_hooks(&h);
    boxes().clear();
}

inline std::string stderr_of(const std::function<void()> &work)
{
    testing::internal::CaptureStderr();
    work();
    return testing::internal::GetCapturedStderr();
}

}  // namespace gokit
