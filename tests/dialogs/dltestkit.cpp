#include <gtest/gtest.h>  // before the X headers, which define None

#include "dltestkit.h"

#include "vxcat.h"

#include <X11/IntrinsicP.h>
#include <X11/CoreP.h>
#include <X11/ShellP.h>
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

void watchdog(XtPointer, XtIntervalId *)
{
    auto now = std::chrono::steady_clock::now();
    for (const char *name : {"error", "warning", "confirm", "prompt", "textInput"}) {
        Widget w = find_shown(name);
        auto it = std::find_if(watched.begin(), watched.end(), [&](const Watched &x) { return x.box == w; });
        if (!w)
            continue;
        if (it == watched.end())
            watched.push_back({w, now});
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
    dlmaim_setup_dialog(button_type, args);
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
