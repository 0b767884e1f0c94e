// Lists with a lazily rebuilt index, typed point vectors and matrices.

#include "pelx.h"
#include "vxutil.h"

#include <cmath>
#include <cstring>

namespace {

void *g_alloc(long size)
{
    void *p = vx_malloc(size, 0);
    if (!p)
        gerror_GRegisterError(4, 3, 0, nullptr);
    return p;
}

void free_item(GList *list, void *item)
{
    if (list->free_item)
        list->free_item(item);
    else
        vx_free(item);
}

long reduce(GList *list, long position)
{
    if (position < 0)
        return 0;
    return position % list->length;
}

GListEntry *entry_at(GList *list, long position)
{
    if (list->dirty && glist_GIndexList(list) != 0)
        return nullptr;
    return list->index[position];
}

}  // namespace

// ---- lists ---------------------------------------------------------------

GList *glist_GCreateList()
{
    GList *list = static_cast<GList *>(g_alloc(sizeof(GList)));
    if (!list)
        return nullptr;
    *list = GList{0, nullptr, 1, 0, nullptr, nullptr, nullptr, nullptr};
    return list;
}

int glist_GAppendToList(GList *list, void *item, int owned)
{
    if (!list)
        return -1;
    GListEntry *e = static_cast<GListEntry *>(g_alloc(sizeof(GListEntry)));
    if (!e)
        return -1;
    *e = GListEntry{list->last, nullptr, static_cast<unsigned char>(owned ? 1 : 0), item};
    if (list->last)
        list->last->next = e;
    else
        list->first = e;
    list->last = e;
    list->length++;
    list->dirty = 1;
    return 0;
}

int glist_GIndexList(GList *list)
{
    if (!list)
        return -1;
    vx_free(list->index);
    list->index = nullptr;
    if (list->length == 0) {
        list->dirty = 0;
        return 0;
    }
    list->index = static_cast<GListEntry **>(g_alloc(list->length * static_cast<long>(sizeof(GListEntry *))));
    if (!list->index) {
        list->dirty = 1;
        return -1;
    }
    long i = 0;
    for (GListEntry *e = list->first; e; e = e->next)
        list->index[i++] = e;
    list->dirty = 0;
    return 0;
}

void *glist_GGetListItem(GList *list, long position)
{
    if (!list || list->length == 0)
        return nullptr;
    GListEntry *e = entry_at(list, reduce(list, position));
    return e ? e->item : nullptr;
}

void *glist_GReplaceInList(GList *list, void *item, long position)
{
    if (!list || list->length == 0)
        return nullptr;
    GListEntry *e = entry_at(list, reduce(list, position));
    if (!e)
        return nullptr;
    void *old = e->item;
    e->item = item;
    e->owned = 1;
    return old;
}

static void unlink_entry(GList *list, GListEntry *e)
{
    if (e->prev)
        e->prev->next = e->next;
    else
        list->first = e->next;
    if (e->next)
        e->next->prev = e->prev;
    else
        list->last = e->prev;
    vx_free(e);
    list->length--;
    list->dirty = 1;
}

int glist_GDeleteFromList(GList *list, long position)
{
    if (!list || position < 0 || position >= list->length)
        return -1;
    GListEntry *e = list->first;
    for (long i = 0; i < position; i++)
        e = e->next;
    unlink_entry(list, e);
    return 0;
}

int glist_GDeleteByValFromList(GList *list, void *item)
{
    if (!list)
        return -1;
    for (GListEntry *e = list->first; e; e = e->next)
        if (e->item == item) {
            unlink_entry(list, e);
            return 0;
        }
    return -1;
}

long glist_GGetListLen(GList *list) { return list ? list->length : 0; }

int glist_GCopyList(GList *destination, GList *source)
{
    if (!destination || !source)
        return -1;
    for (GListEntry *e = source->first; e; e = e->next)
        if (glist_GAppendToList(destination, e->item, 0) != 0)
            return -1;
    return glist_GIndexList(destination);
}

int glist_GCopyListPointers(GList *destination, GList *source)
{
    if (!destination || !source)
        return -1;
    GListEntry *d = destination->first;
    for (GListEntry *s = source->first; s; s = s->next) {
        if (d) {
            if (d->owned && d->item && d->item != s->item)
                free_item(destination, d->item);
            d->item = s->item;
            d->owned = 0;
            d = d->next;
        } else if (glist_GAppendToList(destination, s->item, 0) != 0) {
            return -1;
        }
    }
    // The destination ends as long as the source.
    while (destination->length > source->length) {
        GListEntry *e = destination->last;
        if (e->owned && e->item)
            free_item(destination, e->item);
        unlink_entry(destination, e);
    }
    return glist_GIndexList(destination);
}

int glist_GDestroyList(GList *list)
{
    if (!list)
        return -1;
    GListEntry *e = list->first;
    while (e) {
        GListEntry *next = e->next;
        if (e->owned && e->item)
            free_item(list, e->item);
        vx_free(e);
        e = next;
    }
    vx_free(list->index);
    vx_free(list);
    return 0;
}

// ---- point vectors -------------------------------------------------------

long gbits_GSimpleSize(int element_type)
{
    switch (element_type) {
    case GV_DOUBLE: return 8;
    case GV_FLOAT: return 4;
    case GV_LONG: return 8;
    case GV_SHORT: return 2;
    case GV_BYTE: return 1;
    default:
        gerror_GRegisterError(2, 6, 0, nullptr);
        return -1;
    }
}

int gvector_GCopyVector(GVector *destination, const GVector *source)
{
    GVector out = *source;
    out.data[0] = out.data[1] = out.data[2] = nullptr;
    long size = gbits_GSimpleSize(source->type);
    if (size < 0)
        return -1;
    if (source->count > 0) {
        if (source->separate) {
            for (int c = 0; c < 3; c++) {
                if (!source->data[c])
                    continue;
                out.data[c] = g_alloc(size * source->count);
                if (!out.data[c]) {
                    gvector_GFreeVectorData(&out);
                    return -1;
                }
                memcpy(out.data[c], source->data[c], static_cast<size_t>(size * source->count));
            }
        } else if (source->data[0]) {
            long bytes = size * source->count * source->dims;
            out.data[0] = g_alloc(bytes);
            if (!out.data[0])
                return -1;
            memcpy(out.data[0], source->data[0], static_cast<size_t>(bytes));
        }
    }
    *destination = out;
    return 0;
}

int gvector_GCloneVector(GVector **holder, const GVector *source)
{
    if (*holder) {
        gerror_GRegisterError(2, 5, 0, nullptr);
        return -1;
    }
    GVector *v = static_cast<GVector *>(g_alloc(sizeof(GVector)));
    if (!v)
        return -1;
    if (gvector_GCopyVector(v, source) != 0) {
        vx_free(v);
        return -1;
    }
    *holder = v;
    return 0;
}

void gvector_GFreeVectorData(GVector *vector)
{
    if (!vector)
        return;
    for (void *&d : vector->data) {
        vx_free(d);
        d = nullptr;
    }
}

void gvector_GDestroyClonedVector(GVector **holder)
{
    if (!holder || !*holder)
        return;
    gvector_GFreeVectorData(*holder);
    vx_free(*holder);
    *holder = nullptr;
}

double gvector_GGetValue(const GVector *v, long i, int c)
{
    const void *base;
    long k;
    if (v->separate) {
        base = v->data[c];
        k = i;
    } else {
        base = v->data[0];
        k = i * v->dims + c;
    }
    if (!base || c >= v->dims)
        return 0.0;
    switch (v->type) {
    case GV_DOUBLE: return static_cast<const double *>(base)[k];
    case GV_FLOAT: return static_cast<const float *>(base)[k];
    case GV_LONG: return static_cast<double>(static_cast<const int64_t *>(base)[k]);
    case GV_SHORT: return static_cast<const int16_t *>(base)[k];
    case GV_BYTE: return static_cast<const unsigned char *>(base)[k];
    default: return 0.0;
    }
}

// ---- matrices ------------------------------------------------------------

int gmatrix_GInvert2DMatrix(double *destination, const double *source)
{
    double a = source[0], b = source[1], c = source[3], d = source[4];
    double det = a * d - b * c;
    if (det == 0.0)
        return -1;
    destination[0] = d / det;
    destination[1] = -b / det;
    destination[3] = -c / det;
    destination[4] = a / det;
    return 0;
}

void gmatrix_GMultiply2DMatWithVec(double *result, const double *matrix, const double *point)
{
    double x = matrix[0] * point[0] + matrix[1] * point[1];
    double y = matrix[3] * point[0] + matrix[4] * point[1];
    result[0] = x;
    result[1] = y;
}

void gmatrix_GRotateShortPoint(const double *matrix, short *point)
{
    double x = point[0], y = point[1];
    point[0] = static_cast<short>(std::trunc(matrix[0] * x + matrix[1] * y));
    point[1] = static_cast<short>(std::trunc(matrix[3] * x + matrix[4] * y));
}

void gmatrix_GMultiply3DMatWithVec(double *result, const double *matrix, const double *vector)
{
    double r[3];
    for (int i = 0; i < 3; i++)
        r[i] = matrix[3 * i] * vector[0] + matrix[3 * i + 1] * vector[1] + matrix[3 * i + 2] * vector[2];
    memcpy(result, r, sizeof r);
}

void gmatrix_GMultiply3DMatrices(double *result, const double *first, const double *second)
{
    double r[9];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            r[3 * i + j] = first[3 * i] * second[j] + first[3 * i + 1] * second[3 + j] +
                           first[3 * i + 2] * second[6 + j];
    memcpy(result, r, sizeof r);
}

void gmatrix_GAdd3DVectors(double *result, const double *first, const double *second)
{
    for (int i = 0; i < 3; i++)
        result[i] = first[i] + second[i];
}

void gmatrix_GScaleMatrix(double *matrix, double factor)
{
    for (int i = 0; i < 9; i++)
        matrix[i] *= factor;
}

double **gmatrix_GGetMatrix(long rows, long columns)
{
    if (rows < 1 || columns < 1) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    double **r = static_cast<double **>(g_alloc(rows * static_cast<long>(sizeof(double *))));
    if (!r)
        return nullptr;
    double *block = static_cast<double *>(g_alloc(rows * columns * static_cast<long>(sizeof(double))));
    if (!block) {
        vx_free(r);
        return nullptr;
    }
    for (long i = 0; i < rows; i++)
        r[i] = block + i * columns;
    return r;
}

double **gmatrix_GGetSubMatrix(double **matrix, long row_count, long, long first_row, long first_column)
{
    if (row_count < 1) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    double **r = static_cast<double **>(g_alloc(row_count * static_cast<long>(sizeof(double *))));
    if (!r)
        return nullptr;
    for (long i = 0; i < row_count; i++)
        r[i] = matrix[first_row + i] + first_column;
    return r;
}

void gmatrix_GFreeMatrix(double **matrix)
{
    if (!matrix)
        return;
    vx_free(matrix[0]);
    vx_free(matrix);
}

void gmatrix_GFreeSubMatrix(double **rows) { vx_free(rows); }
