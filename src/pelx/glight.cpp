// The light modes of a canvas and the light sources made from them: the
// direction towards the light from the view and light angles, and the
// intensities the shading takes.

#include "ggridhook.h"
#include "vxutil.h"

#include <cmath>

int glight_GSetLightModes(GCanvasRecord *canvas, uint64_t mask, const GLightModes *modes)
{
    if (!canvas || !modes)
        return -1;
    GLightModes &m = canvas->light;
    if (mask & GLTM_XANGLE)
        m.x_angle = modes->x_angle;
    if (mask & GLTM_YANGLE)
        m.y_angle = modes->y_angle;
    if (mask & GLTM_AMBIENT)
        m.ambient = modes->ambient;
    if (mask & GLTM_INTENSITY)
        m.intensity = modes->intensity;
    return 0;
}

int glight_GGetLightModes(GCanvasRecord *canvas, GLightModes *modes)
{
    if (!canvas || !modes)
        return -1;
    *modes = canvas->light;
    return 0;
}

int glight_GSetDefaultLightModes(GCanvasRecord *canvas)
{
    const GLightModes defaults{0, 0, 0.3, 0.9};
    return glight_GSetLightModes(canvas, GMASK_ALL, &defaults);
}

GLightSource *glight_GCreateLightSource(GCanvasRecord *canvas)
{
    if (!canvas)
        return nullptr;
    auto *light = static_cast<GLightSource *>(ggrid_block_alloc(static_cast<long>(sizeof(GLightSource))));
    if (!light) {
        gerror_GRegisterError(4, 3, 0, nullptr);
        return nullptr;
    }
    // The view's angles in 1/64 degree (23040 to the turn), the light's in
    // degrees added to them.
    const double turn = 2 * M_PI;
    double a1 = turn * (static_cast<double>(canvas->modes.angle2) / 23040.0) +
                turn * (static_cast<double>(canvas->light.y_angle) / 360.0);
    double a2 = turn * (static_cast<double>(canvas->modes.angle1) / 23040.0) +
                turn * (static_cast<double>(canvas->light.x_angle) / 360.0);
    double l[3] = {std::sin(a1) * std::cos(a2), std::sin(a2), std::cos(a1) * std::cos(a2)};
    double length = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
    *light = GLightSource{};
    for (int c = 0; c < 3; c++)
        light->direction[c] = length > 0 ? l[c] / length : (c == 2 ? 1.0 : 0.0);
    light->source = 1.0;
    light->other[0] = light->other[1] = 0.4;
    light->intensity = canvas->light.intensity;
    light->ambient = canvas->light.ambient;
    light->in_use = 1;
    return light;
}

void glight_GFreeLightSource(GLightSource *light) { vx_free(light); }
