// The common shape of the style and colour tables: one default table,
// created once, and device tables that list the default table's items.
// Default tables own their items; a device table owns only the entries
// that replaced one of the default's.
#pragma once

#include "pelx.h"
#include "vxutil.h"

template <class T>
struct GTable {
    GList *def = nullptr;
    // Copies a record into a new, zeroed one: 0 or -1 (4, 3).
    int (*copy)(T *destination, const T *source);
    void (*free_fields)(T *record);

    static void free_item(void *item);
    static void *clone_item(const void *item);
};

template <class T>
GTable<T> &gtable_of();

template <class T>
void GTable<T>::free_item(void *item)
{
    T *record = static_cast<T *>(item);
    gtable_of<T>().free_fields(record);
    vx_free(record);
}

template <class T>
T *gtable_new_copy(const T *source)
{
    T *r = static_cast<T *>(vx_malloc(sizeof(T), 0));
    if (!r) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    *r = T{};
    if (gtable_of<T>().copy(r, source) != 0) {
        vx_free(r);
        return nullptr;
    }
    return r;
}

template <class T>
void *GTable<T>::clone_item(const void *item)
{
    return gtable_new_copy(static_cast<const T *>(item));
}

template <class T>
GList *gtable_new_list()
{
    GList *l = glist_GCreateList();
    if (l) {
        l->free_item = &GTable<T>::free_item;
        l->clone_item = &GTable<T>::clone_item;
    }
    return l;
}

template <class T>
int gtable_create_default()
{
    GTable<T> &t = gtable_of<T>();
    if (t.def)
        return -1;
    t.def = gtable_new_list<T>();
    return t.def ? 0 : -1;
}

template <class T>
GList *gtable_create_dev()
{
    GList *l = gtable_new_list<T>();
    if (!l)
        return nullptr;
    if (gtable_of<T>().def && glist_GCopyList(l, gtable_of<T>().def) != 0) {
        glist_GDestroyList(l);
        return nullptr;
    }
    return l;
}

template <class T>
int gtable_copy_default(GList *table)
{
    if (!table)
        return -1;
    GList *def = gtable_of<T>().def;
    if (!def) {
        // Nothing to share: the table becomes empty.
        while (table->length > 0) {
            void *item = glist_GGetListItem(table, table->length - 1);
            bool owned = table->last->owned;
            glist_GDeleteFromList(table, table->length - 1);
            if (owned)
                GTable<T>::free_item(item);
        }
        return 0;
    }
    return glist_GCopyListPointers(table, def);
}

template <class T>
int gtable_index()
{
    return gtable_of<T>().def ? glist_GIndexList(gtable_of<T>().def) : -1;
}

template <class T>
int gtable_destroy(GList *table)
{
    GTable<T> &t = gtable_of<T>();
    if (!table) {
        if (!t.def)
            return -1;
        glist_GDestroyList(t.def);
        t.def = nullptr;
        return 0;
    }
    return glist_GDestroyList(table);
}

template <class T>
int gtable_add(GList *table, const T *record)
{
    if (!table)
        return -1;
    T *r = gtable_new_copy(record);
    if (!r)
        return -1;
    if (glist_GAppendToList(table, r, 1) != 0) {
        GTable<T>::free_item(r);
        return -1;
    }
    return 0;
}

template <class T>
int gtable_replace(GList *table, const T *record, long index)
{
    if (!table || table->length == 0)
        return -1;
    long pos = index < 0 ? 0 : index % table->length;
    if (table->dirty && glist_GIndexList(table) != 0)
        return -1;
    bool owned = table->index[pos]->owned;
    T *r = gtable_new_copy(record);
    if (!r)
        return -1;
    void *old = glist_GReplaceInList(table, r, pos);
    if (owned && old)
        GTable<T>::free_item(old);
    return 0;
}

template <class T>
T *gtable_get(GList *table, long index)
{
    return static_cast<T *>(glist_GGetListItem(table ? table : gtable_of<T>().def, index));
}
