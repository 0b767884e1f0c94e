// Datasets made in memory: a result buffer is laid out exactly as the
// interpreter lays it out (descriptor table, then rows) and handed to the
// dataset manager as one buffer of a Full query that ended well.
#pragma once

#include "dozrow.h"
#include "dsmgr.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace dyfix {

inline DozColDesc column(const char *name, int type, int width, int precision, int count = 0)
{
    DozColDesc d{};
    d.type = static_cast<int16_t>(type);
    d.width = static_cast<int16_t>(width);
    d.precision = static_cast<int16_t>(precision);
    d.count = count;
    strncpy(d.name, name, sizeof d.name - 1);
    return d;
}

// One field: its element bytes, the number of elements, present or null.
struct Cell {
    std::vector<unsigned char> bytes;
    int count = 1;
    bool present = true;
};

template <class T>
Cell values(std::initializer_list<T> list)
{
    Cell c;
    c.count = static_cast<int>(list.size());
    c.bytes.resize(list.size() * sizeof(T) + 1);
    size_t at = 0;
    for (T v : list) {
        memcpy(c.bytes.data() + at, &v, sizeof v);
        at += sizeof v;
    }
    return c;
}
inline Cell L(int32_t v) { return values<int32_t>({v}); }
inline Cell S(int16_t v) { return values<int16_t>({v}); }
inline Cell R(double v) { return values<double>({v}); }
inline Cell F(float v) { return values<float>({v}); }
inline Cell T(uint8_t v) { return values<uint8_t>({v}); }
inline Cell B(bool v) { return values<uint8_t>({static_cast<uint8_t>(v ? 1 : 0)}); }
inline Cell C(char v) { return values<char>({v}); }
inline Cell D(int16_t y, int16_t m, int16_t d) { return values<int16_t>({y, m, d}); }
inline Cell TM(int16_t h, int16_t m, int16_t s) { return values<int16_t>({h, m, s}); }
inline Cell X(double re, double im) { return values<double>({re, im}); }
inline Cell STR(const std::string &s)
{
    Cell c;
    c.bytes.assign(s.begin(), s.end());
    c.bytes.push_back(0);
    c.count = static_cast<int>(s.size());
    return c;
}
inline Cell NUL()
{
    Cell c;
    c.present = false;
    c.count = 0;
    return c;
}

// A Full-mode result buffer holding the rows; `bytes` is what the
// interpreter would report as filled.
inline std::vector<unsigned char> buffer(const std::vector<DozColDesc> &cols,
                                         const std::vector<std::vector<Cell>> &rows, int *bytes)
{
    DozLayout layout;
    if (!doz_layout(cols, true, layout))
        return {};
    size_t header = static_cast<size_t>(doz_header_bytes(static_cast<int>(cols.size()), true));
    std::vector<unsigned char> out(header + rows.size() * static_cast<size_t>(layout.row_size) + 64, 0);
    doz_put_table(out.data(), cols, layout.row_align);
    for (size_t r = 0; r < rows.size(); r++) {
        unsigned char *row = out.data() + header + r * static_cast<size_t>(layout.row_size);
        for (size_t c = 0; c < cols.size(); c++) {
            const Cell &cell = rows[r][c];
            doz_put(row, layout.fields[c], cell.bytes.data(), cell.count, cell.present);
        }
    }
    *bytes = static_cast<int>(header + rows.size() * static_cast<size_t>(layout.row_size));
    return out;
}

// Lays the rows out and gives them to the dataset manager; the dataset is
// then the current one.  Returns its index.
inline int make(const std::vector<DozColDesc> &cols, const std::vector<std::vector<Cell>> &rows)
{
    int bytes = 0;
    std::vector<unsigned char> data = buffer(cols, rows, &bytes);
    if (data.empty())
        return -1;
    DozReader reader(data.data(), static_cast<size_t>(bytes));
    ds_manager(DS_EV_EOB, static_cast<int>(rows.size()), bytes, reader);
    ds_manager(DS_EV_OK, 0, 0, reader);
    return dsmgr_ds_current();
}

}  // namespace dyfix
