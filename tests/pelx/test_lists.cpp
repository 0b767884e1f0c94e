// Lists, point vectors and matrices.

#include "pelxtest.h"

#include "vxutil.h"

#include <cstring>

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

int a = 1, b = 2, c = 3, d = 4;

TEST(Lists, PositionsWrapAndNegativeMeansFirst)
{
    GList *l = glist_GCreateList();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(glist_GGetListItem(l, 0), nullptr);  // empty
    for (int *p : {&a, &b, &c})
        glist_GAppendToList(l, p, 0);
    struct {
        long pos;
        int *item;
    } cases[] = {{0, &a}, {2, &c}, {3, &a}, {5, &c}, {-4, &a}, {-1, &a}};
    for (auto &k : cases)
        EXPECT_EQ(glist_GGetListItem(l, k.pos), k.item) << k.pos;
    // An append after a read is seen by the next read.
    glist_GAppendToList(l, &d, 0);
    EXPECT_EQ(glist_GGetListItem(l, 3), &d);
    EXPECT_EQ(glist_GGetListLen(l), 4);
    EXPECT_EQ(glist_GDeleteFromList(l, 4), -1);
    EXPECT_EQ(glist_GDeleteFromList(l, -1), -1);
    EXPECT_EQ(glist_GDeleteFromList(l, 1), 0);
    EXPECT_EQ(glist_GGetListItem(l, 1), &c);
    EXPECT_EQ(glist_GDeleteByValFromList(l, &b), -1);
    EXPECT_EQ(glist_GDeleteByValFromList(l, &d), 0);
    EXPECT_EQ(glist_GGetListLen(l), 2);
    EXPECT_EQ(glist_GGetListItem(l, 2), &a);
    glist_GDestroyList(l);
}

TEST(Lists, InvalidListIsAccepted)
{
    EXPECT_EQ(glist_GGetListLen(nullptr), 0);
    EXPECT_EQ(glist_GGetListItem(nullptr, 0), nullptr);
    EXPECT_EQ(glist_GAppendToList(nullptr, &a, 0), -1);
    EXPECT_EQ(glist_GReplaceInList(nullptr, &a, 0), nullptr);
    EXPECT_EQ(glist_GDeleteFromList(nullptr, 0), -1);
    EXPECT_EQ(glist_GDestroyList(nullptr), -1);
}

TEST(Lists, ReplaceOwnsTheNewItemAndCopiesShare)
{
    GList *src = glist_GCreateList();
    glist_GAppendToList(src, &a, 0);
    glist_GAppendToList(src, &b, 0);
    GList *copy = glist_GCreateList();
    glist_GCopyList(copy, src);
    EXPECT_EQ(glist_GGetListItem(copy, 1), &b);
    // The replaced entry owns its new item (freed with the list: no leak
    // under the sanitizer) and the source list is untouched.
    int *owned = static_cast<int *>(vx_malloc(sizeof(int), 0));
    EXPECT_EQ(glist_GReplaceInList(copy, owned, 1), &b);
    EXPECT_EQ(glist_GGetListItem(src, 1), &b);
    // Pointers copied over a longer destination leave it as long as the
    // source; the owned item it held is freed.
    GList *longer = glist_GCreateList();
    for (int *p : {&c, &d, &c})
        glist_GAppendToList(longer, p, 0);
    glist_GCopyListPointers(longer, copy);
    EXPECT_EQ(glist_GGetListLen(longer), 2);
    EXPECT_EQ(glist_GGetListItem(longer, 0), &a);
    EXPECT_EQ(glist_GGetListItem(longer, 1), owned);
    glist_GDestroyList(longer);
    glist_GDestroyList(copy);
    glist_GDestroyList(src);
}

TEST(Vectors, ElementSizes)
{
    struct {
        int type;
        long size;
    } cases[] = {{0, 8}, {1, 4}, {2, 8}, {3, 2}, {5, 1}};
    for (auto &k : cases)
        EXPECT_EQ(gbits_GSimpleSize(k.type), k.size) << k.type;
    CaptureStderr();
    EXPECT_EQ(gbits_GSimpleSize(4), -1);
    GetCapturedStderr();
    EXPECT_EQ(GGetError(), (2L << 16) | 6);
}

TEST(Vectors, CopyDuplicatesTheData)
{
    // Interleaved 16-bit 3-D: 10 points, 60 bytes.
    int16_t pts[30];
    for (int i = 0; i < 30; i++)
        pts[i] = static_cast<int16_t>(i);
    GVector v{GV_SHORT, 0, 3, 10, {pts, nullptr, nullptr}};
    GVector cp;
    ASSERT_EQ(gvector_GCopyVector(&cp, &v), 0);
    EXPECT_NE(cp.data[0], v.data[0]);
    EXPECT_EQ(memcmp(cp.data[0], pts, 60), 0);
    EXPECT_EQ(cp.data[1], nullptr);
    gvector_GFreeVectorData(&cp);

    // Separate doubles: each of x, y, z is copied.
    double x[2] = {1, 2}, y[2] = {3, 4}, z[2] = {5, 6};
    GVector s{GV_DOUBLE, 1, 3, 2, {x, y, z}};
    ASSERT_EQ(gvector_GCopyVector(&cp, &s), 0);
    for (int c = 0; c < 3; c++)
        for (int i = 0; i < 2; i++)
            EXPECT_EQ(gvector_GGetValue(&cp, i, c), gvector_GGetValue(&s, i, c));
    gvector_GFreeVectorData(&cp);

    // Every element type reads back as what was stored.
    float f[2] = {1.5f, -2.5f};
    int64_t l[2] = {1LL << 40, -7};
    unsigned char by[2] = {200, 7};
    GVector fv{GV_FLOAT, 0, 2, 1, {f}}, lv{GV_LONG, 0, 2, 1, {l}}, bv{GV_BYTE, 0, 2, 1, {by}};
    EXPECT_EQ(gvector_GGetValue(&fv, 0, 1), -2.5);
    EXPECT_EQ(gvector_GGetValue(&lv, 0, 0), double(1LL << 40));
    EXPECT_EQ(gvector_GGetValue(&bv, 0, 0), 200);
}

TEST(Vectors, CloneRefusesAFullHolder)
{
    double p[2] = {1, 2};
    GVector v{GV_DOUBLE, 0, 2, 1, {p}};
    GVector *holder = nullptr;
    ASSERT_EQ(gvector_GCloneVector(&holder, &v), 0);
    ASSERT_NE(holder, nullptr);
    GVector *before = holder;
    CaptureStderr();
    EXPECT_EQ(gvector_GCloneVector(&holder, &v), -1);
    GetCapturedStderr();
    EXPECT_EQ(GGetError(), (2L << 16) | 5);
    EXPECT_EQ(holder, before);
    gvector_GDestroyClonedVector(&holder);
    EXPECT_EQ(holder, nullptr);
}

TEST(Matrices, InvertMultiplyRotate)
{
    double m[9] = {2, 0, 0, 0, 4, 0, 0, 0, 1}, inv[9] = {};
    ASSERT_EQ(gmatrix_GInvert2DMatrix(inv, m), 0);
    EXPECT_EQ(inv[0], 0.5);
    EXPECT_EQ(inv[1], 0);
    EXPECT_EQ(inv[3], 0);
    EXPECT_EQ(inv[4], 0.25);
    double singular[9] = {1, 2, 0, 2, 4, 0, 0, 0, 1};
    EXPECT_EQ(gmatrix_GInvert2DMatrix(inv, singular), -1);

    double r[2], pt[2] = {1, 1};
    double rot[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    gmatrix_GMultiply2DMatWithVec(r, rot, pt);
    EXPECT_EQ(r[0], -1);
    EXPECT_EQ(r[1], 1);
    // Truncation toward zero of both coordinates.
    double half[9] = {0.5, 0, 0, 0, 0.5, 0, 0, 0, 1};
    short sp[2] = {3, -3};
    gmatrix_GRotateShortPoint(half, sp);
    EXPECT_EQ(sp[0], 1);
    EXPECT_EQ(sp[1], -1);

    double A[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9}, B[9] = {0, 1, 0, 1, 0, 0, 0, 0, 2}, AB[9];
    gmatrix_GMultiply3DMatrices(AB, A, B);
    double want[9] = {2, 1, 6, 5, 4, 12, 8, 7, 18};
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(AB[i], want[i]) << i;
    double v[3] = {1, 0, -1}, Av[3];
    gmatrix_GMultiply3DMatWithVec(Av, A, v);
    EXPECT_EQ(Av[0], -2);
    EXPECT_EQ(Av[2], -2);
    gmatrix_GScaleMatrix(B, 3);
    EXPECT_EQ(B[8], 6);
}

TEST(Matrices, RowPointerMatrices)
{
    double **m = gmatrix_GGetMatrix(4, 5);
    ASSERT_NE(m, nullptr);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 5; j++)
            m[i][j] = i * 10 + j;
    double **sub = gmatrix_GGetSubMatrix(m, 2, 2, 1, 2);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub[0][0], 12);
    EXPECT_EQ(sub[1][1], 23);
    sub[1][0] = -1;
    EXPECT_EQ(m[2][2], -1);
    gmatrix_GFreeSubMatrix(sub);
    gmatrix_GFreeMatrix(m);
    CaptureStderr();
    EXPECT_EQ(gmatrix_GGetMatrix(0, 3), nullptr);
    GetCapturedStderr();
}

}  // namespace
