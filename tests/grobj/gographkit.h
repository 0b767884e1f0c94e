// Graphs on the recording driver: the graphics library initialised from the
// build tree's configuration, a fake graph class whose auto-scale and
// coordinate routines count their calls, and graphs with a canvas.
#pragma once

#include "gokit.h"

#include "gdriver.h"
#include "grecord.h"
#include "pelx.h"

#include <cstdlib>
#include <string>

namespace gokit {

inline std::string build_dir() { return getenv("VX_BUILD_DIR") ? getenv("VX_BUILD_DIR") : "."; }

inline bool start_graphics(const std::string &etc = build_dir() + "/etc")
{
    const std::string cat = build_dir() + "/messages/SUN4SOLARIS/C/pelx.cat";
    if (GInitialise(etc.c_str(), "pelx.cfg", cat.c_str(), (etc + "/pelx.rgb").c_str()) != 0)
        return false;
    grec::install();
    gdev_GSetBaseDevLimits(0, 0);
    return true;
}

inline void stop_graphics()
{
    gomain_go_close_device();
    gomain_go_set_device_type(0, nullptr, 0);
    grec::answers() = grec::Answers{};
    grec::remove();
    GTerminate();
    gdev_GSetBaseDevLimits(0, 0);
}

struct Counts {
    int auto_scale = 0, coordinates = 0;
    int auto_scale_result = 1;
    bool real_scaling = false;  // run std_auto_scale and the 2-D coordinates too
};
inline Counts &counts()
{
    static Counts c;
    return c;
}
inline int counting_auto_scale(GoGraph *g, int mode)
{
    counts().auto_scale++;
    if (counts().real_scaling)
        return std_auto_scale(g, mode);
    return counts().auto_scale_result;
}
inline void counting_coordinates(GoGraph *g)
{
    counts().coordinates++;
    if (counts().real_scaling)
        gomain_go_set_2d_coordinates(g);
}

// Kind 0: accepts every character, draws several datasets, may use
// secondary y axes.
inline GoClass &fake_class()
{
    static GoClass c{};
    c.kind = 0;
    c.format_file = "line.graph";
    c.character_mask = 0x7ff;
    c.multi_dataset = 1;
    c.multiy_capable = 1;
    return c;
}

// A graph over datasets first..last with a canvas at the placement.
struct CanvasGraph : Graph {
    explicit CanvasGraph(int first = -1, int last = -1, int x = 0, int y = 0, int w = 600, int h = 450)
        : Graph(first, last)
    {
        g.x = x;
        g.y = y;
        g.width = w;
        g.height = h;
        const int placement[4] = {x, y, w, h};
        g.canvas = go_open_canvas(nullptr, placement);
    }
    ~CanvasGraph()
    {
        if (g.multiy)
            gomy_term_multiy(&g);
    }
};

}  // namespace gokit
