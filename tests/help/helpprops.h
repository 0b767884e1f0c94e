// The help protocol's root-window state as a test client sees it.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace helpprops {

// A 32-bit property of the root window, when it exists with that type.
inline std::optional<long> root_long(Display *d, const char *name, Atom type)
{
    Atom a = XInternAtom(d, name, False);
    Atom t = None;
    int f = 0;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    std::optional<long> out;
    if (XGetWindowProperty(d, DefaultRootWindow(d), a, 0, 1, False, AnyPropertyType, &t, &f, &n, &after, &data) ==
            Success &&
        t == type && f == 32 && n == 1)
        out = *reinterpret_cast<long *>(data);
    if (data)
        XFree(data);
    return out;
}

inline std::optional<long> started(Display *d) { return root_long(d, "Help Server Started", XA_INTEGER); }
inline Window target(Display *d)
{
    auto w = root_long(d, "Target Window", XA_WINDOW);
    return w ? static_cast<Window>(*w) : 0;
}

inline void set_started(Display *d, long v)
{
    XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, "Help Server Started", False), XA_INTEGER, 32,
                    PropModeReplace, reinterpret_cast<unsigned char *>(&v), 1);
    XSync(d, False);
}

inline void set_target(Display *d, Window w)
{
    XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, "Target Window", False), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<unsigned char *>(&w), 1);
    XSync(d, False);
}

inline void clear(Display *d)
{
    XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "Help Server Started", False));
    XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "Target Window", False));
    XSync(d, False);
}

// A string or 32-bit property of any window.
inline std::string window_string(Display *d, Window w, const char *name)
{
    Atom t = None;
    int f = 0;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    std::string out;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 65536, False, XA_STRING, &t, &f, &n, &after,
                           &data) == Success &&
        t == XA_STRING && f == 8)
        out.assign(reinterpret_cast<char *>(data), n);
    if (data)
        XFree(data);
    return out;
}

inline long window_pid(Display *d, Window w)
{
    Atom t = None;
    int f = 0;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &t, &f, &n,
                           &after, &data) == Success &&
        t == XA_CARDINAL && n == 1)
        pid = *reinterpret_cast<long *>(data);
    if (data)
        XFree(data);
    return pid;
}

// Whether a window exists, without an error report.
inline bool window_alive(Display *d, Window w)
{
    static bool bad;
    bad = false;
    XSync(d, False);
    auto old = XSetErrorHandler([](Display *, XErrorEvent *) {
        bad = true;
        return 0;
    });
    XWindowAttributes a;
    Status ok = XGetWindowAttributes(d, w, &a);
    XSync(d, False);
    XSetErrorHandler(old);
    return ok && !bad;
}

inline bool window_viewable(Display *d, Window w)
{
    XWindowAttributes a;
    return window_alive(d, w) && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

// Sends a help request the way the client does.
inline void request(Display *d, Window w, int id)
{
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, "Client Request Help", False);
    ev.xclient.format = 16;
    ev.xclient.data.s[0] = static_cast<short>(id);
    XSendEvent(d, w, False, NoEventMask, &ev);
    XFlush(d);
}

}  // namespace helpprops
