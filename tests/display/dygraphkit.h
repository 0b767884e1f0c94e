// The program's display window for the graph tests on the test X server:
// its start-up with the installed interpreter and the demo database open,
// keys and pointer through XTest, error boxes answered, and the window's
// pixels probed where a graph's world coordinates put them.
#pragma once

#include "dltestkit.h"  // first: gtest before the X headers
#include "wstest.h"

#include "dlmain.h"
#include "dlmess.h"
#include "dsmgr.h"
#include "dygrph.h"
#include "dymain.h"
#include "dypicture.h"
#include "gomain.h"
#include "goprop.h"
#include "mnmisc.h"
#include "pelx.h"
#include "qymgr.h"
#include "startup.h"
#include "vxmain.h"
#include "vxtest_x.h"
#include "vxutil.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace dygk {

using dypic::Picture;

inline Display *dpy() { return vxdl::app().display; }
inline Widget canvas() { return dymain_dy_canvas(); }

// The canvas bindings as the application defaults give them.
inline void install_translations()
{
    const char *src = getenv("VX_SOURCE_DIR");
    ASSERT_NE(src, nullptr);
    ASSERT_TRUE(vxtest::override_translations(canvas(), std::string(src) + "/data/app-defaults/Vostrelane",
                                              "vostrelane.displayShell.displayWindow.display.translations",
                                              "Vostrelane.TopLevelShell.XmMainWindow.XmDrawingArea.Translations"));
}

// The interactive program's windows on fresh shells, with the interpreter
// started and the demo database open.
inline void start_program()
{
    vxdl::App &a = vxdl::app();
    adata = a.adata;
    adata.runMode = RUN_INTERACTIVE;
    adata.menuFont = a.adata.labelFont;
    adata.textFont = a.adata.dataFont;
    adata.initialValidateQuery = True;
    adata.displayBufferSize = 200;
    adata.user_name = const_cast<char *>("BRASK");
    adata.server_name = const_cast<char *>("");
    adata.buffer_size = adata.queryBufferSize = 200000;
    toplevel = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display, XmNwidth, 300,
                                  XmNheight, 200, nullptr);
    startup_initialise_graphics();
    startup_build_user_interface(False);
    XtVaSetValues(displevel, XmNwidth, 640, XmNheight, 440, nullptr);
    ASSERT_TRUE(vxdl::wait_viewable(dymain_dy_canvas()));
    XRaiseWindow(dpy(), XtWindow(displevel));
    install_translations();
    qymgr_qy_set_workspace_hooks(mnmisc_mode_holder());
    qymgr_qy_use_x(a.context, toplevel);
    qymgr_qy_init(&adata, 0, 0, 0, nullptr, 0, 0);
    ASSERT_GE(qymgr_qy_connection(), 0);
    qymgr_qy_query("OPEN DEMO", QY_WAIT, QY_ASIS, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_ok());
    // New graph asks nothing (its question is the message boxes' own).
    relaxed_confirm = 1;
    vxdl::pump_idle();
}

inline void root_of(int x, int y, int &rx, int &ry)
{
    Window child;
    XTranslateCoordinates(dpy(), XtWindow(canvas()), DefaultRootWindow(dpy()), x, y, &rx, &ry, &child);
}

inline void pointer_to(int x, int y)
{
    int rx, ry;
    root_of(x, y, rx, ry);
    XTestFakeMotionEvent(dpy(), DefaultScreen(dpy()), rx, ry, 0);
}

// Ctrl and a key, with the keyboard focus in the canvas: the menus'
// accelerators and the canvas's own bindings both hear it.
inline void ctrl_key(KeySym key)
{
    XSetInputFocus(dpy(), XtWindow(canvas()), RevertToParent, CurrentTime);
    const unsigned ctrl = XKeysymToKeycode(dpy(), XK_Control_L), k = XKeysymToKeycode(dpy(), key);
    XTestFakeKeyEvent(dpy(), ctrl, True, 0);
    XTestFakeKeyEvent(dpy(), k, True, 0);
    XTestFakeKeyEvent(dpy(), k, False, 0);
    XTestFakeKeyEvent(dpy(), ctrl, False, 0);
    XSync(dpy(), False);
}

// Every error box shown, answered with OK.
struct ErrorBoxes {
    std::vector<std::string> texts;
    XtIntervalId timer = 0;
    ErrorBoxes() { arm(); }
    ~ErrorBoxes()
    {
        if (timer)
            XtRemoveTimeOut(timer);
    }
    void arm() { timer = XtAppAddTimeOut(vxdl::app().context, 5, tick, this); }
    static void tick(XtPointer client, XtIntervalId *)
    {
        auto *b = static_cast<ErrorBoxes *>(client);
        b->timer = 0;
        Widget box = dlmain_dialogs[0].widget;
        if (box && XtIsManaged(box)) {
            b->texts.push_back(vxdl::message(box));
            vxdl::press_box(box, XmDIALOG_OK_BUTTON);
        }
        b->arm();
    }
};

inline long rgb_of(Pixel p)
{
    XColor c{};
    c.pixel = p;
    XQueryColor(dpy(), DefaultColormapOfScreen(XtScreen(canvas())), &c);
    return long(c.red >> 8) << 16 | long(c.green >> 8) << 8 | long(c.blue >> 8);
}

struct Colours {
    long background, foreground;
};
inline Colours graph_colours()
{
    XGCValues v{};
    XGetGCValues(dpy(), dymain_dy_graph_gc(), GCForeground | GCBackground, &v);
    return {rgb_of(v.background), rgb_of(v.foreground)};
}

inline bool near(long a, long b)
{
    if (a < 0 || b < 0)
        return false;
    auto ch = [](long v, int s) { return static_cast<int>((v >> s) & 255); };
    return std::abs(ch(a, 16) - ch(b, 16)) + std::abs(ch(a, 8) - ch(b, 8)) + std::abs(ch(a, 0) - ch(b, 0)) < 60;
}

// Whether a pixel of colour `c` lies within `r` pixels of (x, y).
inline bool found(const Picture &p, int x, int y, long c, int r = 2)
{
    for (int dy = -r; dy <= r; dy++)
        for (int dx = -r; dx <= r; dx++)
            if (near(p.at(x + dx, y + dy), c))
                return true;
    return false;
}

inline Picture shot()
{
    vxdl::pump_idle();
    return dypic::grab(dpy(), XtWindow(canvas()));
}

inline int iprop(GoGraph *g, int p) { return *static_cast<const int *>(goprop_go_property(g, p, 0, 0)); }

// A point of the graph's world in canvas pixels.
inline std::array<int, 2> pixel(GoGraph *g, double x, double y)
{
    double w[2] = {x, y};
    GVector in{GV_DOUBLE, 0, 2, 1, {w, nullptr, nullptr}}, out{};
    EXPECT_EQ(GTransformPoints(g->canvas, GCS_WC, GCS_DC, &in, &out), 0);
    std::array<int, 2> p{-1, -1};
    if (out.type == GV_SHORT && out.data[0]) {
        const short *o = static_cast<const short *>(out.data[0]);
        p = {o[0], o[1]};
    }
    gvector_GFreeVectorData(&out);
    return p;
}

// The plot area of a graph: its rectangle less its margins (in pixels).
// The graph model measures the plot area's origin from the canvas's origin,
// its lower left corner, by the left and the top margin.
struct Frame {
    int left, top, right, bottom;
};
inline Frame frame_of(GoGraph *g)
{
    return {g->x + iprop(g, GP_LEFTMARGIN), g->y + iprop(g, GP_BOTTOMMARGIN) - 1,
            g->x + g->width - iprop(g, GP_RIGHTMARGIN), g->y + g->height - 1 - iprop(g, GP_TOPMARGIN)};
}

}  // namespace dygk
