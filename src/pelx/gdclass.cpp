// Data classes: a point surface or a grid wrapped with the constant record
// of its kind's operations, so that the shaded-surface kind adds points,
// completes, lights, orders and renders either through one interface.

#include "ggridhook.h"
#include "vxutil.h"

namespace {

// The kinds' operations behind one set of signatures.
void *surface_create(const double *a) { return gsurf_GCreateSurface(static_cast<long>(a[0]), static_cast<int>(a[1])); }
void *grid_create(const double *a)
{
    return ggrid_GCreateGrid(a[0], a[1], static_cast<long>(a[2]), a[3], a[4], static_cast<long>(a[5]));
}
int surface_destroy(void *d) { return gsurf_GDestroySurface(static_cast<GSurface *>(d)); }
int grid_destroy(void *d) { return ggrid_GDestroyGrid(static_cast<GGrid *>(d)); }
short surface_add(GCanvasRecord *, void *d, const void *point, long column, long end_code)
{
    return static_cast<short>(
        gsurf_GAddSurfacePoint(static_cast<GSurface *>(d), point, column, static_cast<int>(end_code)));
}
short grid_add(GCanvasRecord *c, void *d, const void *point, long, long)
{
    const double *p = static_cast<const double *>(point);
    return static_cast<short>(ggrid_GAddGridPoint(c, static_cast<GGrid *>(d), p[0], p[1], p[2]));
}
int surface_render(GCanvasRecord *c, void *d, const unsigned char *o, const GDepthEntry *l, long n)
{
    return grender_GRenderSurfaceData(c, static_cast<GSurface *>(d), o, l, n);
}
int grid_render(GCanvasRecord *c, void *d, const unsigned char *o, const GDepthEntry *l, long n)
{
    return grender_GRenderGridData(c, static_cast<GGrid *>(d), o, l, n);
}
int surface_mesh(GCanvasRecord *c, void *d, const unsigned char *o, const GDepthEntry *l, long n)
{
    return gmesh_GDrawSurfaceMesh(c, static_cast<GSurface *>(d), o, l, n);
}
int grid_mesh(GCanvasRecord *c, void *d, const unsigned char *o, const GDepthEntry *l, long n)
{
    return gmesh_GDrawGridMesh(c, static_cast<GGrid *>(d), o, l, n);
}
unsigned char *surface_normals(GCanvasRecord *c, void *d, const GLightSource *l, GDepthEntry **list, long *n)
{
    return gnormal_GSurfaceSetVertexNormalColours(c, static_cast<GSurface *>(d), l, list, n);
}
unsigned char *grid_normals(GCanvasRecord *c, void *d, const GLightSource *l, GDepthEntry **list, long *n)
{
    return gnormal_GGridSetVertexNormalColours(c, static_cast<GGrid *>(d), l, list, n);
}
GDepthEntry *surface_depth(GCanvasRecord *c, void *d, long *n)
{
    return gsurf_GSurfaceCreateDepthList(c, static_cast<GSurface *>(d), n);
}
GDepthEntry *grid_depth(GCanvasRecord *c, void *d, long *n)
{
    return ggrid_GGridCreateDepthList(c, static_cast<GGrid *>(d), n);
}
int surface_skirt(GCanvasRecord *c, void *d) { return gmesh_GDrawSurfaceSkirt(c, static_cast<GSurface *>(d)); }
int grid_skirt(GCanvasRecord *c, void *d) { return gmesh_GDrawGridSkirt(c, static_cast<GGrid *>(d)); }
short grid_complete(GCanvasRecord *c, void *d, unsigned char *changed)
{
    return ggrid_GCompleteGrid(c, static_cast<GGrid *>(d), changed);
}

void release_drawing(GDataClass *c)
{
    vx_free(c->colours);
    vx_free(c->list);
    glight_GFreeLightSource(c->light);
    c->colours = nullptr;
    c->list = nullptr;
    c->light = nullptr;
    c->count = 0;
}

}  // namespace

const GDataClass surface_class = {GDC_SURFACE, nullptr, nullptr, nullptr, nullptr, 0,
                                  surface_create, surface_destroy, surface_add, surface_render,
                                  surface_normals, surface_depth, surface_skirt, nullptr};
const GDataClass grid_class = {GDC_GRID, nullptr, nullptr, nullptr, nullptr, 0,
                               grid_create, grid_destroy, grid_add, grid_render,
                               grid_normals, grid_depth, grid_skirt, grid_complete};

GDataClass *gdclass_GWrapDataClass(void *data, int kind)
{
    if (kind != GDC_SURFACE && kind != GDC_GRID) {
        gerror_GRegisterError(3, 22, 0, nullptr);
        return nullptr;
    }
    auto *c = static_cast<GDataClass *>(ggrid_block_alloc(static_cast<long>(sizeof(GDataClass))));
    if (!c) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    *c = kind == GDC_SURFACE ? surface_class : grid_class;
    c->data = data;
    return c;
}

short gdclass_GAddDataPoint(GCanvasRecord *canvas, GDataClass *cls, const void *point, long a, long b)
{
    if (!cls || !cls->data || !point)
        return -1;
    return cls->AddPoint(canvas, cls->data, point, a, b);
}

int gdclass_GCompleteData(GCanvasRecord *canvas, GDataClass *cls)
{
    if (!canvas || !cls || !cls->data)
        return -1;
    int r = 0;
    if (cls->Complete) {
        unsigned char changed = 0;
        r = cls->Complete(canvas, cls->data, &changed);
        if (r == 0 && changed)
            r = -3;
    }
    release_drawing(cls);
    if (canvas->mesh.colouring == 2) {
        if (GLightSource *light = glight_GCreateLightSource(canvas)) {
            long count = 0;
            GDepthEntry *list = nullptr;
            unsigned char *colours = cls->SetVertexNormalColours(canvas, cls->data, light, &list, &count);
            if (colours) {
                cls->light = light;
                cls->colours = colours;
                cls->list = list;
                cls->count = static_cast<int32_t>(count);
            } else {
                // Not kept: the class renders unshaded.
                glight_GFreeLightSource(light);
            }
        }
    }
    if (!cls->list) {
        long count = 0;
        GDepthEntry *list = cls->CreateDepthList(canvas, cls->data, &count);
        if (list) {
            cls->list = list;
            cls->count = static_cast<int32_t>(count);
        }
    }
    int option = canvas->line.colour == -1 ? static_cast<int>(canvas->mesh.shading) : 0;
    gdclass_GSetClassDrawOption(cls, option);
    return r;
}

int gdclass_GRenderData(GCanvasRecord *canvas, GDataClass *cls)
{
    if (!canvas || !cls || !cls->data)
        return -1;
    int r = cls->Render(canvas, cls->data, cls->colours, cls->list, cls->count);
    if (canvas->mesh.skirt == 1)
        cls->DrawSkirt(canvas, cls->data);
    return r;
}

void gdclass_GFreeDataClass(GDataClass *cls)
{
    if (!cls || !cls->data)
        return;
    cls->Destroy(cls->data);
    release_drawing(cls);
    vx_free(cls);
}

int gdclass_GGetOverlaySize(GCanvasRecord *canvas, GDataClass *cls, long *first, long *second)
{
    if (!canvas || !cls || !cls->data || !first || !second)
        return -1;
    if (cls->kind == GDC_GRID)
        return ggrid_GGetGridSize(static_cast<GGrid *>(cls->data), first, second);
    gsurf_GGetSurfaceSize(static_cast<GSurface *>(cls->data), first, second);
    GGridModes bilinear = canvas->grid;
    bilinear.method = GGRID_BILINEAR;
    ggrid_GSetGridModes(canvas, GGM_METHOD, &bilinear);
    return 0;
}

int gdclass_GMergeOverlayData(GCanvasRecord *canvas, GDataClass *main, GDataClass *overlay)
{
    if (!canvas || !main || !overlay || overlay->kind != GDC_GRID || !overlay->data) {
        gdclass_GFreeDataClass(overlay);
        return -1;
    }
    unsigned char *colours = ggrid_GGridGetOverlayValues(canvas, static_cast<GGrid *>(overlay->data));
    gdclass_GFreeDataClass(overlay);
    if (!colours)
        return -1;
    // The overlay's indices take the place of the vertex colours.
    vx_free(main->colours);
    main->colours = colours;
    return 0;
}

int gdclass_GSetClassDrawOption(GDataClass *cls, int option)
{
    if (!cls || (option != 0 && option != 1))
        return -1;
    bool surface = cls->kind == GDC_SURFACE;
    if (option == 0)
        cls->Render = surface ? surface_mesh : grid_mesh;
    else
        cls->Render = surface ? surface_render : grid_render;
    return 0;
}
