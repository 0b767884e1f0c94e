// The allocator behind a grid's blocks (the record, its rows, and the
// arrays the grid and interpolation routines make), replaceable so that
// tests can make an allocation fail; and the row helpers the grid files
// share.
#pragma once

#include "ggrid.h"
#include "vxutil.h"

extern void *(*ggrid_block_alloc)(long size);

// nx rows of nz zeroed cells in one block; null with (4, 3).
GGridCell **ggrid_GAllocRows(long nx, long nz);
void ggrid_GFreeRows(GGridCell **rows);

// The validity check of abscissas (rising strictly over at least three
// points) and the x bracket's search, for the tests.
int ginterp_GCheckAbscissas(const double *x, long n);
void ginterp_GBracket(const double *x, long n, double v, long *lo, long *hi);

// A block of n elements from the grid allocator, freed on leaving; (4, 3)
// is registered when it cannot be had.
template <class T> class GBlock {
public:
    explicit GBlock(long n) : p_(static_cast<T *>(ggrid_block_alloc(n * static_cast<long>(sizeof(T)))))
    {
        if (!p_)
            gerror_GRegisterError(4, 3, 0, nullptr);
    }
    ~GBlock() { vx_free(p_); }
    GBlock(const GBlock &) = delete;
    GBlock &operator=(const GBlock &) = delete;
    explicit operator bool() const { return p_ != nullptr; }
    T &operator[](long i) { return p_[i]; }
    T *get() { return p_; }
    T *release()
    {
        T *p = p_;
        p_ = nullptr;
        return p;
    }

private:
    T *p_;
};

// Where a contour's runs of points go: gdraw_GDrawPolyLine, replaceable so
// that tests can see the points before they are rounded to the device.
extern short (*gcontour_polyline)(GCanvasRecord *canvas, GVector *points);
