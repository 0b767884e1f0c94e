#include <gtest/gtest.h>  // before the X headers, which define None

#include "dltestkit.h"

#include "vxcat.h"

#include <X11/IntrinsicP.h>
#include <X11/CoreP.h>
#include <X11/ShellP.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/Protocols.h>
#include <Xm/PushB.h>
#include <Xm/SelectioB.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

namespace vxdl {

namespace {

XmFontList fixed_font(Display *dpy)
{
    XFontStruct *fs = XLoadQueryFont(dpy, "fixed");
    return fs ? XmFontListCreate(fs, const_cast<char *>(XmFONTLIST_DEFAULT_TAG)) : nullptr;
}

struct Timer {
    std::string name;
    std::function<void(Widget)> action;
    std::chrono::steady_clock::time_point deadline;
    std::shared_ptr<Pending> state;
    XtIntervalId id = 0;
};
std::vector<Timer *> timers;

void tick(XtPointer client, XtIntervalId *)
{
    auto *t = static_cast<Timer *>(client);
    t->id = 0;
    Widget w = find_shown(t->name.c_str());
    if (w || std::chrono::steady_clock::now() > t->deadline) {
        timers.erase(std::find(timers.begin(), timers.end(), t));
        std::unique_ptr<Timer> owned(t);
        if (w) {
            t->state->ran = true;
            t->action(w);
        } else {
            t->state->expired = true;
            ADD_FAILURE() << "\"" << t->name << "\" was never shown";
        }
        return;
    }
    t->id = XtAppAddTimeOut(app().context, 10, tick, t);
}

bool popped_up(Widget w)
{
    Widget s = w;
    while (s && !XtIsShell(s))
        s = XtParent(s);
    return s && (reinterpret_cast<ShellWidget>(s)->shell.popped_up || XtIsApplicationShell(s) ||
                 XtIsTopLevelShell(s));
}

// A modal box that nobody answers would hold its caller's loop until the
// test's time-out.  The watchdog fails the test instead and takes the box
// down after 15 seconds.
struct Watched {
    Widget box;
    std::chrono::steady_clock::time_point since;
};
std::vector<Watched> watched;

// A box destroyed by its test leaves the watch with it.
void forget_box(Widget w, XtPointer, XtPointer)
{
    std::erase_if(watched, [w](const Watched &x) { return x.box == w; });
}

void watchdog(XtPointer, XtIntervalId *)
{
    auto now = std::chrono::steady_clock::now();
    for (const char *name : {"error", "warning", "confirm", "prompt", "textInput"}) {
        Widget w = find_shown(name);
        auto it = std::find_if(watched.begin(), watched.end(), [&](const Watched &x) { return x.box == w; });
        if (!w)
            continue;
        if (it == watched.end()) {
            watched.push_back({w, now});
            XtRemoveCallback(w, XmNdestroyCallback, forget_box, nullptr);
            XtAddCallback(w, XmNdestroyCallback, forget_box, nullptr);
        }
        else if (now - it->since > std::chrono::seconds(15)) {
            ADD_FAILURE() << "the box \"" << name << "\" was left waiting for an answer";
            watched.erase(it);
            XtUnmanageChild(w);
        }
    }
    std::erase_if(watched, [](const Watched &x) { return !XtIsManaged(x.box); });
    XtAppAddTimeOut(app().context, 250, watchdog, nullptr);
}

}  // namespace

App &app()
{
    static App *a = nullptr;
    if (a)
        return *a;
    a = new App;
    static int argc = 1;
    static char arg0[] = "vostrelane";
    static char *argv[] = {arg0, nullptr};
    XtSetLanguageProc(nullptr, nullptr, nullptr);
    a->top = XtOpenApplication(&a->context, "Vostrelane", nullptr, 0, &argc, argv, nullptr,
                               applicationShellWidgetClass, nullptr, 0);
    if (!a->top) {
        fprintf(stderr, "cannot open the display\n");
        abort();
    }
    a->display = XtDisplay(a->top);
    XtVaSetValues(a->top, XmNwidth, 200, XmNheight, 100, XmNmappedWhenManaged, False, nullptr);
    XtRealizeWidget(a->top);
    a->other = XtVaAppCreateShell("displayShell", "Vostrelane", topLevelShellWidgetClass, a->display, XmNwidth,
                                  200, XmNheight, 100, XmNmappedWhenManaged, False, nullptr);
    XtRealizeWidget(a->other);

    std::string cat = std::string(getenv("VX_BUILD_DIR") ? getenv("VX_BUILD_DIR") : ".") +
                      "/messages/SUN4SOLARIS/C/vostrelane.cat";
    a->adata.catd = nl_catopen(cat.c_str(), 0);
    if (a->adata.catd == NL_NO_CATALOGUE) {
        fprintf(stderr, "cannot open %s\n", cat.c_str());
        abort();
    }
    XmFontList f = fixed_font(a->display);
    a->adata.titleFont = a->adata.labelFont = a->adata.dataFont = a->adata.buttonFont = f;
    a->adata.install_dir = const_cast<char *>("/tmp");
    a->adata.useEditorThreshold = 60;
    a->adata.dateInputFormat = const_cast<char *>("%d/%m/%Y");
    dlmain_dialog_init(a->top, &a->adata);
    XtAppAddTimeOut(a->context, 250, watchdog, nullptr);
    return *a;
}

Widget find(Widget root, const char *name)
{
    if (!root)
        return nullptr;
    if (strcmp(XtName(root), name) == 0)
        return root;
    // Gadgets are objects without pop-up children.
    for (Cardinal i = 0; XtIsWidget(root) && i < root->core.num_popups; i++)
        if (Widget w = find(root->core.popup_list[i], name))
            return w;
    if (XtIsComposite(root)) {
        auto *c = reinterpret_cast<CompositeWidget>(root);
        for (Cardinal i = 0; i < c->composite.num_children; i++)
            if (Widget w = find(c->composite.children[i], name))
                return w;
    }
    return nullptr;
}

static Widget find_shown_in(Widget root, const char *name)
{
    if (!root || root->core.being_destroyed)
        return nullptr;
    if (strcmp(XtName(root), name) == 0 && XtIsManaged(root) && popped_up(root))
        return root;
    for (Cardinal i = 0; XtIsWidget(root) && i < root->core.num_popups; i++)
        if (Widget w = find_shown_in(root->core.popup_list[i], name))
            return w;
    if (XtIsComposite(root)) {
        auto *c = reinterpret_cast<CompositeWidget>(root);
        for (Cardinal i = 0; i < c->composite.num_children; i++)
            if (Widget w = find_shown_in(c->composite.children[i], name))
                return w;
    }
    return nullptr;
}

Widget find_shown(const char *name)
{
    Widget w = find_shown_in(app().top, name);
    return w ? w : find_shown_in(app().other, name);
}

void press(Widget button)
{
    XEvent ev{};
    ev.xbutton.type = ButtonRelease;
    ev.xbutton.display = app().display;
    ev.xbutton.window = XtWindowOfObject(button);
    ev.xbutton.button = 1;
    XmPushButtonCallbackStruct cbs{};
    cbs.reason = XmCR_ACTIVATE;
    cbs.event = &ev;
    cbs.click_count = 1;
    XtCallCallbacks(button, XmNactivateCallback, &cbs);
}

void press_box(Widget box, unsigned char which)
{
    Widget b = XmIsSelectionBox(box) ? XmSelectionBoxGetChild(box, which) : XmMessageBoxGetChild(box, which);
    ASSERT_NE(b, nullptr);
    press(b);
}

void wm_close(Widget w)
{
    Widget shell = w;
    while (shell && !XtIsShell(shell))
        shell = XtParent(shell);
    ASSERT_NE(shell, nullptr);
    ASSERT_TRUE(XtIsRealized(shell));
    Display *dpy = XtDisplay(shell);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.display = dpy;
    ev.xclient.window = XtWindow(shell);
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, XtWindow(shell), False, NoEventMask, &ev);
    XFlush(dpy);
}

void set_text(Widget w, const char *value)
{
    if (XmIsTextField(w))
        XmTextFieldSetString(w, const_cast<char *>(value));
    else
        XmTextSetString(w, const_cast<char *>(value));
}

std::string text(Widget w)
{
    char *t = XmIsTextField(w) ? XmTextFieldGetString(w) : XmTextGetString(w);
    std::string s = t ? t : "";
    XtFree(t);
    return s;
}

std::string xmstring(XmString s)
{
    if (!s)
        return "";
    char *t = static_cast<char *>(
        XmStringUnparse(s, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
    std::string r = t ? t : "";
    XtFree(t);
    return r;
}

std::string label(Widget w)
{
    XmString s = nullptr;
    XtVaGetValues(w, XmNlabelString, &s, nullptr);
    std::string r = xmstring(s);
    XmStringFree(s);
    return r;
}

std::string message(Widget box)
{
    XmString s = nullptr;
    XtVaGetValues(box, XmNmessageString, &s, nullptr);
    std::string r = xmstring(s);
    XmStringFree(s);
    return r;
}

std::string shell_title(Widget w)
{
    Widget shell = dlmain_dialog_shell(w);
    char *t = nullptr;
    if (shell)
        XtVaGetValues(shell, XmNtitle, &t, nullptr);
    return t ? t : "";
}

bool pump_until(const std::function<bool()> &cond, std::chrono::milliseconds bound)
{
    auto deadline = std::chrono::steady_clock::now() + bound;
    XtAppContext ctx = app().context;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        XSync(app().display, False);
        if (XtAppPending(ctx)) {
            XtAppProcessEvent(ctx, XtIMAll);
            continue;
        }
        // Wake at least every 10 ms so that the bound is kept.
        bool woke = false;
        XtIntervalId id = XtAppAddTimeOut(
            ctx, 10, [](XtPointer p, XtIntervalId *) { *static_cast<bool *>(p) = true; }, &woke);
        XtAppProcessEvent(ctx, XtIMAll);
        if (!woke)
            XtRemoveTimeOut(id);
    }
    return true;
}

std::shared_ptr<Pending> when_shown(const char *name, std::function<void(Widget)> action,
                                    std::chrono::milliseconds bound)
{
    auto *t = new Timer{name, std::move(action), std::chrono::steady_clock::now() + bound,
                        std::make_shared<Pending>()};
    timers.push_back(t);
    t->id = XtAppAddTimeOut(app().context, 10, tick, t);
    return t->state;
}

void cancel_pending()
{
    for (Timer *t : timers) {
        if (t->id)
            XtRemoveTimeOut(t->id);
        delete t;
    }
    timers.clear();
}

namespace {
int create_test_dialog(DialogRecord *, Widget)
{
    return 0;
}
}  // namespace

DialogRecord *make_test_dialog(int id, Widget parent, const char *name, int button_type)
{
    DialogRecord *rec = &dlmain_dialogs[id];
    std::vector<Arg> args;
    dlmain_setup_dialog(button_type, args);
    Arg a;
    XmString title = XmStringCreateLocalized(const_cast<char *>("Test"));
    XtSetArg(a, XmNdialogTitle, title);
    args.push_back(a);
    rec->widget = XmCreatePromptDialog(parent, const_cast<char *>(name), args.data(),
                                       static_cast<Cardinal>(args.size()));
    XmStringFree(title);
    rec->id = id;
    rec->create = create_test_dialog;
    rec->popup = dlmain_std_popup_dialog;
    rec->popdown = dlmain_std_popdown_dialog;
    rec->destroy = dlmain_std_destroy_dialog;
    dlmain_setup_help_callback(rec);
    dlmain_setup_dialog_callbacks(rec, button_type);
    dlmain_setup_wm_callback(rec);
    return rec;
}

}  // namespace vxdl

// ---- real input ------------------------------------------------------------------------

namespace vxdl {

namespace {

Widget child_named(Widget w, const char *name, size_t len)
{
    auto match = [&](Widget c) { return strlen(XtName(c)) == len && strncmp(XtName(c), name, len) == 0; };
    if (XtIsWidget(w))
        for (Cardinal i = 0; i < w->core.num_popups; i++)
            if (match(w->core.popup_list[i]))
                return w->core.popup_list[i];
    if (XtIsComposite(w)) {
        auto *c = reinterpret_cast<CompositeWidget>(w);
        for (Cardinal i = 0; i < c->composite.num_children; i++)
            if (match(c->composite.children[i]))
                return c->composite.children[i];
    }
    return nullptr;
}

void nth_in(Widget w, const char *name, int &left, Widget &found)
{
    if (!w || found)
        return;
    if (strcmp(XtName(w), name) == 0 && left-- == 0) {
        found = w;
        return;
    }
    if (XtIsWidget(w))
        for (Cardinal i = 0; i < w->core.num_popups; i++)
            nth_in(w->core.popup_list[i], name, left, found);
    if (XtIsComposite(w)) {
        auto *c = reinterpret_cast<CompositeWidget>(w);
        for (Cardinal i = 0; i < c->composite.num_children; i++)
            nth_in(c->composite.children[i], name, left, found);
    }
}

Widget window_of(Widget w)
{
    return XtIsWidget(w) ? w : XtParent(w);
}

Widget shell_of(Widget w)
{
    while (w && !XtIsShell(w))
        w = XtParent(w);
    return w;
}

}  // namespace

Widget at(Widget root, const char *path)
{
    Widget w = root;
    const char *p = path;
    while (w && p && *p) {
        const char *slash = strchr(p, '/');
        size_t len = slash ? static_cast<size_t>(slash - p) : strlen(p);
        w = child_named(w, p, len);
        p = slash ? slash + 1 : nullptr;
    }
    return w;
}

Widget nth(Widget root, const char *name, int n)
{
    Widget found = nullptr;
    nth_in(root, name, n, found);
    return found;
}

void pump_idle()
{
    XtAppContext ctx = app().context;
    for (;;) {
        XSync(app().display, False);
        if (!XtAppPending(ctx))
            return;
        while (XtAppPending(ctx))
            XtAppProcessEvent(ctx, XtIMAll);
    }
}

bool wait_viewable(Widget w)
{
    Widget win = window_of(w);
    return pump_until([&] {
        if (!XtIsRealized(win))
            return false;
        XWindowAttributes wa;
        return XGetWindowAttributes(app().display, XtWindow(win), &wa) && wa.map_state == IsViewable;
    });
}

void root_centre(Widget w, int &x, int &y)
{
    Widget win = window_of(w);
    int dx = XtIsWidget(w) ? 0 : w->core.x, dy = XtIsWidget(w) ? 0 : w->core.y;
    Window child = 0;
    XTranslateCoordinates(app().display, XtWindow(win), DefaultRootWindow(app().display), dx + w->core.width / 2,
                          dy + w->core.height / 2, &x, &y, &child);
}

namespace {

std::chrono::steady_clock::time_point last_click;

void click_root(int x, int y, int button, int count)
{
    Display *dpy = app().display;
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, 0);
    XSync(dpy, False);
    pump_idle();
    // A click soon after the last one would join it into a double click:
    // the server holds the first press back past the multi-click time.
    auto multi = std::chrono::milliseconds(XtGetMultiClickTime(dpy) + 50);
    auto since = std::chrono::steady_clock::now() - last_click;
    unsigned long delay =
        since < multi ? static_cast<unsigned long>(std::chrono::duration_cast<std::chrono::milliseconds>(multi - since).count()) : 0;
    for (int i = 0; i < count; i++) {
        XTestFakeButtonEvent(dpy, static_cast<unsigned>(button), True, i == 0 ? delay : 0);
        XTestFakeButtonEvent(dpy, static_cast<unsigned>(button), False, 0);
        XSync(dpy, False);
        pump_idle();
    }
    last_click = std::chrono::steady_clock::now();
}

}  // namespace

void click(Widget w, int button)
{
    ASSERT_TRUE(wait_viewable(w)) << XtName(w) << " is not shown";
    int x = 0, y = 0;
    root_centre(w, x, y);
    click_root(x, y, button, 1);
}

void double_click(Widget w)
{
    ASSERT_TRUE(wait_viewable(w)) << XtName(w) << " is not shown";
    int x = 0, y = 0;
    root_centre(w, x, y);
    click_root(x, y, 1, 2);
}

void click_item(Widget list, int position, int count)
{
    ASSERT_TRUE(wait_viewable(list)) << XtName(list) << " is not shown";
    Position ix = 0, iy = 0;
    Dimension iw = 0, ih = 0;
    ASSERT_TRUE(XmListPosToBounds(list, position, &ix, &iy, &iw, &ih)) << "item " << position << " is not visible";
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(app().display, XtWindow(list), DefaultRootWindow(app().display), ix + iw / 2, iy + ih / 2,
                          &x, &y, &child);
    click_root(x, y, 1, count);
}

namespace {

void focus(Widget text)
{
    ASSERT_TRUE(wait_viewable(text)) << XtName(text) << " is not shown";
    Widget shell = shell_of(text);
    Window now = 0;
    int revert = 0;
    XGetInputFocus(app().display, &now, &revert);
    if (now != XtWindow(shell)) {
        XSetInputFocus(app().display, XtWindow(shell), RevertToParent, CurrentTime);
        pump_idle();
    }
    if (XmGetFocusWidget(text) != text) {
        XmProcessTraversal(text, XmTRAVERSE_CURRENT);
        pump_idle();
    }
}

void press_keysym(KeySym ks)
{
    Display *dpy = app().display;
    KeyCode kc = XKeysymToKeycode(dpy, ks);
    ASSERT_NE(kc, 0) << "no key for keysym " << ks;
    bool shift = XkbKeycodeToKeysym(dpy, kc, 0, 0) != ks && XkbKeycodeToKeysym(dpy, kc, 0, 1) == ks;
    KeyCode shift_kc = XKeysymToKeycode(dpy, XK_Shift_L);
    if (shift)
        XTestFakeKeyEvent(dpy, shift_kc, True, 0);
    XTestFakeKeyEvent(dpy, kc, True, 0);
    XTestFakeKeyEvent(dpy, kc, False, 0);
    if (shift)
        XTestFakeKeyEvent(dpy, shift_kc, False, 0);
    XSync(dpy, False);
    pump_idle();
}

}  // namespace

void type(Widget text, const std::string &chars)
{
    focus(text);
    for (unsigned char c : chars)
        press_keysym(c == ' ' ? XK_space : static_cast<KeySym>(c));
}

void retype(Widget text, const std::string &chars)
{
    focus(text);
    if (XmIsTextField(text))
        XmTextFieldSetSelection(text, 0, XmTextFieldGetLastPosition(text), CurrentTime);
    else
        XmTextSetSelection(text, 0, XmTextGetLastPosition(text), CurrentTime);
    pump_idle();
    for (unsigned char c : chars)
        press_keysym(c == ' ' ? XK_space : static_cast<KeySym>(c));
}

void key(Widget text, const char *keysym_name)
{
    focus(text);
    KeySym ks = XStringToKeysym(keysym_name);
    ASSERT_NE(ks, static_cast<KeySym>(NoSymbol)) << keysym_name;
    press_keysym(ks);
}

int bells()
{
    // A second connection hears the bells of every client.
    static Display *listener = nullptr;
    static int xkb_event = 0;
    static int count = 0;
    if (!listener) {
        listener = XOpenDisplay(DisplayString(app().display));
        if (!listener) {
            ADD_FAILURE() << "cannot open a second connection";
            return -1;
        }
        int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
        if (!XkbQueryExtension(listener, &opcode, &xkb_event, &error, &major, &minor)) {
            ADD_FAILURE() << "no XKB on the display";
            return -1;
        }
        XkbSelectEvents(listener, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
        XSync(listener, False);
        return bells();
    }
    XSync(app().display, False);
    XSync(listener, False);
    while (XPending(listener)) {
        XEvent ev;
        XNextEvent(listener, &ev);
        if (ev.type == xkb_event && reinterpret_cast<XkbAnyEvent *>(&ev)->xkb_type == XkbBellNotify)
            count++;
    }
    return count;
}

}  // namespace vxdl
