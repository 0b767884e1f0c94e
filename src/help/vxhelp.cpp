// The context-help client: the widget registry, requests to the help server
// over root-window properties and client messages, starting the server, and
// item-help mode.

#include "vxhelp.h"
#include "vxproc.h"

#include "vxcat.h"
#include "vxmsg.h"

#include <Xm/Xm.h>
#include <X11/Xatom.h>
#include <X11/cursorfont.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "help_msgs.def"
#undef VXMSG

int hlp_in_item_loop = 0;

namespace {

// ---- registry --------------------------------------------------------------

struct HelpEntry {
    Widget widget;
    int32_t gadget;  // 1 a Motif gadget, 0 a widget, -1 a free entry
    int32_t id;      // -1 in a free entry
};

HelpEntry widget_list[HLP_MAX_WIDGETS];
bool first_time = true;
int number_widgets_reg = 0;

// ---- client data -------------------------------------------------------------

struct HelpResources {
    String helpServerDisplay;
    String helpKey;
    String helpServer;
    int helpCursor;
    int helpClientConnectRetries;
};

struct ClientData {
    Display *app_display = nullptr;
    Display *help_display = nullptr;
    Widget windows[HLP_MAX_WINDOWS] = {};
    int window_count = 0;
    Widget app_widget = nullptr;
    Window help_root = 0;
    Cursor item_cursor = 0;
    Cursor busy_cursor = 0;
    std::string server_path;
    std::string server_name;  // last path component
    HelpResources res{};
};

ClientData cdata;
Window server_window = 0;
bool init_done = false;
bool reg_done = false;
pid_t server_pid = -1;
nl_catd help_catd = NL_NO_CATALOGUE;

XtResource help_resources[] = {
    {const_cast<char *>("helpServerDisplay"), const_cast<char *>("HelpServerDisplay"), XtRString, sizeof(String),
     XtOffsetOf(HelpResources, helpServerDisplay), XtRString, const_cast<char *>("local")},
    {const_cast<char *>("helpKey"), const_cast<char *>("HelpKey"), XtRString, sizeof(String),
     XtOffsetOf(HelpResources, helpKey), XtRString, nullptr},
    {const_cast<char *>("helpServer"), const_cast<char *>("HelpServer"), XtRString, sizeof(String),
     XtOffsetOf(HelpResources, helpServer), XtRString, nullptr},
    {const_cast<char *>("helpCursor"), const_cast<char *>("HelpCursor"), XtRInt, sizeof(int),
     XtOffsetOf(HelpResources, helpCursor), XtRImmediate, reinterpret_cast<XtPointer>(92)},
    {const_cast<char *>("helpClientConnectRetries"), const_cast<char *>("HelpClientConnectRetries"), XtRInt,
     sizeof(int), XtOffsetOf(HelpResources, helpClientConnectRetries), XtRImmediate,
     reinterpret_cast<XtPointer>(20)},
};

template <class... A>
void report(const VxMsg<A...> &m, A... args)
{
    std::string text = vx_msgf(help_catd, m, args...);
    fputs(text.c_str(), stderr);
    fflush(stderr);
}

// ---- registry helpers ----------------------------------------------------------

void clear_registry()
{
    for (auto &e : widget_list)
        e = {nullptr, -1, -1};
    number_widgets_reg = 0;
}

// A destroyed widget leaves the registry, so that neither a later widget at
// the same address nor item help's gadget search meets a stale entry.
void registered_destroyed(Widget w, XtPointer, XtPointer)
{
    int out = 0;
    for (int i = 0; i < number_widgets_reg; i++)
        if (widget_list[i].widget != w)
            widget_list[out++] = widget_list[i];
    for (int i = out; i < number_widgets_reg; i++)
        widget_list[i] = {nullptr, -1, -1};
    number_widgets_reg = out;
}

int find_entry(Widget w)
{
    for (int i = 0; i < number_widgets_reg; i++)
        if (widget_list[i].widget == w)
            return i;
    return -1;
}

// ---- X helpers -----------------------------------------------------------------

bool bad_window_seen = false;
XErrorHandler previous_handler = nullptr;

int swallow_bad_window(Display *dpy, XErrorEvent *ev)
{
    if (ev->error_code == BadWindow) {
        bad_window_seen = true;
        return 0;
    }
    return previous_handler ? previous_handler(dpy, ev) : 0;
}

bool window_valid(Window w)
{
    if (w == 0)
        return false;
    XSync(cdata.help_display, False);
    bad_window_seen = false;
    previous_handler = XSetErrorHandler(swallow_bad_window);
    XWindowAttributes attr;
    Status ok = XGetWindowAttributes(cdata.help_display, w, &attr);
    XSync(cdata.help_display, False);
    XSetErrorHandler(previous_handler);
    previous_handler = nullptr;
    return ok != 0 && !bad_window_seen;
}

bool server_started()
{
    Atom started = XInternAtom(cdata.help_display, "Help Server Started", True);
    if (started == None)
        return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    bool on = false;
    if (XGetWindowProperty(cdata.help_display, cdata.help_root, started, 0, 1, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        type == XA_INTEGER && format == 32 && count == 1 && data)
        on = *reinterpret_cast<long *>(data) == 1;
    if (data)
        XFree(data);
    return on;
}

void clear_started()
{
    Atom started = XInternAtom(cdata.help_display, "Help Server Started", False);
    long zero = 0;
    XChangeProperty(cdata.help_display, cdata.help_root, started, XA_INTEGER, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&zero), 1);
    XFlush(cdata.help_display);
}

// The server's window from "Target Window"; 0 when it is missing or dead.
Window read_server_window()
{
    Atom target = XInternAtom(cdata.help_display, "Target Window", True);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    Window w = 0;
    if (target != None &&
        XGetWindowProperty(cdata.help_display, cdata.help_root, target, 0, 1, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1 && data)
        w = static_cast<Window>(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    if (w == 0) {
        report(HLP_WINDOW_NOT_PUBLIC);
        return 0;
    }
    if (!window_valid(w)) {
        report(HLP_WINDOW_INVALID);
        clear_started();
        server_window = 0;
        return 0;
    }
    server_window = w;
    return w;
}

void set_cursors(Cursor c)
{
    for (int i = 0; i < cdata.window_count; i++) {
        Widget w = cdata.windows[i];
        if (w && XtIsRealized(w)) {
            if (c)
                XDefineCursor(cdata.app_display, XtWindow(w), c);
            else
                XUndefineCursor(cdata.app_display, XtWindow(w));
        }
    }
    XFlush(cdata.app_display);
}

// ---- starting the server ---------------------------------------------------------

void ignore_signal(int) {}

double now_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Starts the server and waits until it reports ready (SIGUSR2), the started
// process ends, or the bound of `helpClientConnectRetries` seconds passes.
// The signals are taken synchronously while they are blocked, so the wait
// can neither miss a wake-up nor hang on a server that never answers; every
// disposition and the mask are restored afterwards.
bool start_server()
{
    if (cdata.server_path.empty())
        return false;

    std::string display_name = DisplayString(cdata.help_display);
    const char *res_display = cdata.res.helpServerDisplay;
    if (res_display && strcmp(res_display, "local") != 0 && display_name != res_display)
        display_name = res_display;

    sigset_t wait_set, block_set, old_mask;
    sigemptyset(&wait_set);
    sigaddset(&wait_set, SIGUSR2);
    sigaddset(&wait_set, SIGCHLD);
    block_set = wait_set;
    sigaddset(&block_set, SIGUSR1);
    sigprocmask(SIG_BLOCK, &block_set, &old_mask);

    // Handlers that do nothing: the signals stay blocked and are taken by
    // sigtimedwait; a handler (rather than SIG_IGN) keeps the child
    // reapable and the ready signal from being discarded.
    struct sigaction sa {}, old_usr2{}, old_chld{};
    sa.sa_handler = ignore_signal;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaction(SIGUSR2, &sa, &old_usr2);
    sigaction(SIGCHLD, &sa, &old_chld);

    bool ok = false;
    bool took_chld = false;
    // A server whose exec fails has ended with status 1: the wait below
    // sees it as a failed start.
    VxSpawnOptions o;
    o.set_mask = true;
    o.mask = &old_mask;
    const char *argv[] = {cdata.server_name.c_str(), "-server", "-display", display_name.c_str(), nullptr};
    pid_t pid = vx_spawn(cdata.server_path.c_str(), const_cast<char *const *>(argv), o, nullptr);
    if (pid > 0) {
        server_pid = pid;
        set_cursors(cdata.busy_cursor);
        int bound = cdata.res.helpClientConnectRetries > 0 ? cdata.res.helpClientConnectRetries : 20;
        double deadline = now_seconds() + bound;
        bool ready = false, ended = false, failed = false;
        while (!ended) {
            int status = 0;
            pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid || (r < 0 && errno == ECHILD)) {
                ended = true;
                if (r == pid && !ready && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
                    failed = true;
                break;
            }
            double left = deadline - now_seconds();
            if (left <= 0) {
                if (!ready) {
                    kill(pid, SIGKILL);
                    waitpid(pid, nullptr, 0);
                    failed = true;
                }
                // A ready server that did not detach keeps running.
                break;
            }
            if (left > 0.1)
                left = 0.1;
            timespec ts{0, static_cast<long>(left * 1e9)};
            int sig = sigtimedwait(&wait_set, nullptr, &ts);
            if (sig == SIGUSR2 && !ready) {
                ready = true;
                // The started process normally ends at once; a server that
                // does not detach is given a short while, then left running.
                double soon = now_seconds() + 2;
                if (soon < deadline)
                    deadline = soon;
            } else if (sig == SIGCHLD) {
                took_chld = true;
            }
        }
        ok = !failed && server_started();
        if (!ok)
            report(HLP_NO_CONNECT);
        set_cursors(0);
    } else {
        report(HLP_NO_CONNECT);
    }

    // Drop a late ready signal rather than hand it to the old disposition.
    timespec zero{0, 0};
    sigset_t usr2;
    sigemptyset(&usr2);
    sigaddset(&usr2, SIGUSR2);
    while (sigtimedwait(&usr2, nullptr, &zero) == SIGUSR2) {
    }
    sigaction(SIGUSR2, &old_usr2, nullptr);
    sigaction(SIGCHLD, &old_chld, nullptr);
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
    // A child-death signal taken here may also have been meant for another
    // child (the interpreter): pass it on to its owner.
    if (took_chld && old_chld.sa_handler != SIG_DFL && old_chld.sa_handler != SIG_IGN)
        raise(SIGCHLD);
    return ok;
}

// ---- sending ------------------------------------------------------------------

void send_request(int id)
{
    if (!init_done)
        return;
    Window win = 0;
    if (server_started()) {
        // A cached window that died may have been replaced by another
        // server's: then the public one serves.
        win = server_window && window_valid(server_window) ? server_window : read_server_window();
        if (!win)
            return;
    } else {
        server_window = 0;
        if (!start_server())
            return;
        win = read_server_window();
        if (!win)
            return;
    }
    if (!window_valid(win)) {
        report(HLP_WINDOW_INVALID);
        clear_started();
        server_window = 0;
        return;
    }
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.display = cdata.help_display;
    ev.xclient.window = win;
    ev.xclient.message_type = XInternAtom(cdata.help_display, "Client Request Help", False);
    ev.xclient.format = 16;
    ev.xclient.data.s[0] = static_cast<short>(id);
    XSendEvent(cdata.help_display, win, False, NoEventMask, &ev);
    XFlush(cdata.help_display);
}

// The registered gadget of a window that holds the point, if any.
Widget gadget_at(Window win, int x, int y)
{
    for (int i = 0; i < number_widgets_reg; i++) {
        const HelpEntry &e = widget_list[i];
        if (e.gadget != 1 || !XtIsManaged(e.widget))
            continue;
        Widget parent = XtParent(e.widget);
        if (!parent || !XtIsRealized(parent) || XtWindow(parent) != win)
            continue;
        Position gx = 0, gy = 0;
        Dimension gw = 0, gh = 0;
        XtVaGetValues(e.widget, XmNx, &gx, XmNy, &gy, XmNwidth, &gw, XmNheight, &gh, nullptr);
        if (x >= gx && x < gx + gw && y >= gy && y < gy + gh)
            return e.widget;
    }
    return nullptr;
}

}  // namespace

// ---- public interface -------------------------------------------------------------

void hlp_set_catalogue(nl_catd catd) { help_catd = catd; }

void InitializeHelp(Widget first, ...)
{
    va_list ap;
    va_start(ap, first);
    int slot = 0;
    while (slot < HLP_MAX_WINDOWS && cdata.windows[slot])
        slot++;
    for (Widget w = first; w; w = va_arg(ap, Widget)) {
        if (slot < HLP_MAX_WINDOWS)
            cdata.windows[slot++] = w;
    }
    va_end(ap);
    cdata.window_count = slot;
    if (!first)
        return;
    cdata.app_widget = first;
    cdata.app_display = XtDisplay(first);
    XtGetApplicationResources(first, &cdata.res, help_resources, XtNumber(help_resources), nullptr, 0);

    if (cdata.help_display && cdata.help_display != cdata.app_display)
        XCloseDisplay(cdata.help_display);
    cdata.help_display = cdata.app_display;
    const char *name = cdata.res.helpServerDisplay;
    if (name && strcmp(name, "local") != 0) {
        Display *d = XOpenDisplay(name);
        if (d)
            cdata.help_display = d;
        else
            report(HLP_NO_DISPLAY, name);
    }
    cdata.help_root = DefaultRootWindow(cdata.help_display);

    if (cdata.res.helpServer && *cdata.res.helpServer) {
        cdata.server_path = cdata.res.helpServer;
    } else {
        const char *dir = vx_client_dir_env();
        cdata.server_path = std::string(dir ? dir : "/usr/tqlclients") + "/bin/qelhelp";
    }
    size_t slash = cdata.server_path.rfind('/');
    cdata.server_name = slash == std::string::npos ? cdata.server_path : cdata.server_path.substr(slash + 1);

    cdata.item_cursor = XCreateFontCursor(cdata.app_display, static_cast<unsigned>(cdata.res.helpCursor));
    cdata.busy_cursor = XCreateFontCursor(cdata.app_display, XC_watch);
    server_window = 0;
    init_done = true;
}

int RegisterHelp(Widget first, ...)
{
    std::vector<Widget> widgets;
    std::vector<int> ids;
    va_list ap;
    va_start(ap, first);
    for (Widget w = first; w; w = va_arg(ap, Widget))
        widgets.push_back(w);
    for (int id = va_arg(ap, int); id != 0; id = va_arg(ap, int))
        ids.push_back(id);
    va_end(ap);
    if (widgets.size() != ids.size())
        return 0;
    if (first_time) {
        clear_registry();
        first_time = false;
    }
    int stored = 1;
    for (size_t k = widgets.size(); k-- > 0;) {
        Widget w = widgets[k];
        bool known = false;
        for (int i = 0; i < number_widgets_reg; i++)
            if (widget_list[i].widget == w) {
                widget_list[i].id = ids[k];
                known = true;
            }
        if (known)
            continue;
        if (number_widgets_reg >= HLP_MAX_WIDGETS) {
            stored = 0;
            continue;
        }
        widget_list[number_widgets_reg++] = {w, XmIsGadget(w) ? 1 : 0, ids[k]};
        XtAddCallback(w, XtNdestroyCallback, registered_destroyed, nullptr);
    }
    reg_done = true;
    return stored;
}

void ApplHelp(Widget w, ...)
{
    int i = find_entry(w);
    if (i >= 0)
        send_request(widget_list[i].id);
}

void DisplayHelp(int id) { send_request(id); }

void ApplicationHelp(Widget w)
{
    if (!w || XtHasCallbacks(w, XmNhelpCallback) != XtCallbackHasSome)
        return;
    XmAnyCallbackStruct cb{};
    cb.reason = XmCR_HELP;
    cb.event = nullptr;
    XtCallCallbacks(w, XmNhelpCallback, &cb);
}

int ItemHelp(Widget w, ...)
{
    if (!init_done || !reg_done || !w)
        return 0;
    XtAppContext app = XtWidgetToApplicationContext(w);
    Display *dpy = XtDisplay(w);
    XtSetSensitive(w, False);
    set_cursors(cdata.item_cursor);
    hlp_in_item_loop = 1;

    XEvent ev;
    for (;;) {
        XtAppNextEvent(app, &ev);
        if (ev.type == ButtonPress && ev.xbutton.button == Button1)
            break;
        XtDispatchEvent(&ev);
    }
    Window press_window = ev.xbutton.window;
    int asked = 0;
    for (;;) {
        XtAppNextEvent(app, &ev);
        if (ev.type != ButtonRelease || ev.xbutton.button != Button1) {
            XtDispatchEvent(&ev);
            continue;
        }
        if (ev.xbutton.window != press_window) {
            XtDispatchEvent(&ev);
            break;
        }
        Widget target = gadget_at(press_window, ev.xbutton.x, ev.xbutton.y);
        if (!target)
            target = XtWindowToWidget(dpy, press_window);
        int i = target ? find_entry(target) : -1;
        if (i >= 0) {
            send_request(widget_list[i].id);
            asked = 1;
        }
        break;
    }

    XtSetSensitive(w, True);
    set_cursors(0);
    hlp_in_item_loop = 0;
    return asked;
}

// A window added later shows the item-help and busy cursors too.
void AddItemHelpWindow(Widget w)
{
    for (int i = 0; i < HLP_MAX_WINDOWS; i++)
        if (!cdata.windows[i]) {
            cdata.windows[i] = w;
            if (cdata.window_count < i + 1)
                cdata.window_count = i + 1;
            return;
        }
}
