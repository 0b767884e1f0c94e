// The XcgLiteClue tool-tip widget class.

#include "LiteClueP.h"

#include "vxcat.h"
#include "vxmsg.h"

#include <X11/StringDefs.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "bitsandbobs_msgs.def"
#undef VXMSG

namespace {

nl_catd liteclue_catd = NL_NO_CATALOGUE;

#define OFFSET(field) XtOffsetOf(XcgLiteClueRec, liteClue.field)
XtResource resources[] = {
    {const_cast<char *>(XtNforeground), const_cast<char *>(XtCForeground), XtRPixel, sizeof(Pixel),
     OFFSET(foreground), XtRString, const_cast<char *>("black")},
    {const_cast<char *>(XtNfontSet), const_cast<char *>(XtCFontSet), XtRFontSet, sizeof(XFontSet), OFFSET(fontset),
     XtRString, const_cast<char *>("-adobe-new century schoolbook-medium-r-normal-*-12-*")},
    {const_cast<char *>(XtNwaitPeriod), const_cast<char *>(XtCWaitPeriod), XtRInt, sizeof(int), OFFSET(waitPeriod),
     XtRImmediate, reinterpret_cast<XtPointer>(500)},
    {const_cast<char *>(XtNcancelWaitPeriod), const_cast<char *>(XtCcancelWaitPeriod), XtRInt, sizeof(int),
     OFFSET(cancelWaitPeriod), XtRImmediate, reinterpret_cast<XtPointer>(1000)},
};
#undef OFFSET

void Initialize(Widget treq, Widget tnew, ArgList args, Cardinal *nargs);
Boolean SetValues(Widget cur, Widget req, Widget neww, ArgList args, Cardinal *nargs);
void Destroy(Widget w);

}  // namespace

XcgLiteClueClassRec xcgLiteClueClassRec = {
    {
        // core_class
        reinterpret_cast<WidgetClass>(&overrideShellClassRec),  // superclass
        const_cast<char *>("XcgLiteClue"),                      // class_name
        sizeof(XcgLiteClueRec),                                 // widget_size
        nullptr,                                                // class_initialize
        nullptr,                                                // class_part_initialize
        False,                                                  // class_inited
        Initialize,                                             // initialize
        nullptr,                                                // initialize_hook
        XtInheritRealize,                                       // realize
        nullptr,                                                // actions
        0,                                                      // num_actions
        resources,                                              // resources
        XtNumber(resources),                                    // num_resources
        NULLQUARK,                                              // xrm_class
        True,                                                   // compress_motion
        True,                                                   // compress_exposure
        True,                                                   // compress_enterleave
        False,                                                  // visible_interest
        Destroy,                                                // destroy
        XtInheritResize,                                        // resize
        XtInheritExpose,                                        // expose
        SetValues,                                              // set_values
        nullptr,                                                // set_values_hook
        XtInheritSetValuesAlmost,                               // set_values_almost
        nullptr,                                                // get_values_hook
        nullptr,                                                // accept_focus
        XtVersion,                                              // version
        nullptr,                                                // callback_private
        nullptr,                                                // tm_table
        XtInheritQueryGeometry,                                 // query_geometry
        XtInheritDisplayAccelerator,                            // display_accelerator
        nullptr,                                                // extension
    },
    {
        // composite_class
        XtInheritGeometryManager,
        XtInheritChangeManaged,
        XtInheritInsertChild,
        XtInheritDeleteChild,
        nullptr,
    },
    {nullptr},  // shell_class
    {nullptr},  // override_shell_class
    {0},        // LiteClue_class
};

WidgetClass xcgLiteClueWidgetClass = reinterpret_cast<WidgetClass>(&xcgLiteClueClassRec);

namespace {

XcgLiteClueWidget as_clue(Widget w) { return reinterpret_cast<XcgLiteClueWidget>(w); }

// Every public call checks its widget first; a wrong one ends the process.
bool check_widget(Widget w, const char *function)
{
    if (w && XtIsSubclass(w, xcgLiteClueWidgetClass))
        return true;
    std::string text = vx_msgf(liteclue_catd, LC_WRONG_CLASS, function);
    fputs(text.c_str(), stderr);
    fflush(stderr);
    kill(getpid(), SIGABRT);
    return false;
}

void create_gc(XcgLiteClueWidget cw)
{
    XGCValues values;
    values.foreground = cw->liteClue.foreground;
    values.background = cw->core.background_pixel;
    values.graphics_exposures = False;
    cw->liteClue.text_GC =
        XtGetGC(reinterpret_cast<Widget>(cw), GCForeground | GCBackground | GCGraphicsExposures, &values);
}

void draw_text(XcgLiteClueWidget cw, LiteClueContext *ctx)
{
    Widget w = reinterpret_cast<Widget>(cw);
    if (!XtIsRealized(w) || !cw->liteClue.fontset || !ctx)
        return;
    XmbDrawImageString(XtDisplay(w), XtWindow(w), cw->liteClue.fontset, cw->liteClue.text_GC, 2,
                       cw->liteClue.text_y, ctx->text, ctx->text_size);
}

void expose_handler(Widget w, XtPointer, XEvent *ev, Boolean *)
{
    XcgLiteClueWidget cw = as_clue(w);
    if (ev->type == Expose && ev->xexpose.count == 0 && cw->liteClue.popped)
        draw_text(cw, cw->liteClue.shown);
}

void Initialize(Widget, Widget tnew, ArgList, Cardinal *)
{
    XcgLiteClueWidget cw = as_clue(tnew);
    XcgLiteCluePart &lc = cw->liteClue;
    lc.text_GC = nullptr;
    lc.tid = 0;
    lc.popped = 0;
    lc.last_popdown = 0;
    lc.widget_list.next = lc.widget_list.prev = &lc.widget_list;
    lc.own_fontset = false;
    lc.shown = nullptr;
    lc.font_height = lc.font_baseline = 0;
    lc.text_y = 0;
    if (!lc.fontset) {
        char **missing = nullptr;
        int nmissing = 0;
        char *def = nullptr;
        lc.fontset = XCreateFontSet(XtDisplay(tnew), "fixed", &missing, &nmissing, &def);
        if (missing)
            XFreeStringList(missing);
        lc.own_fontset = lc.fontset != nullptr;
    }
    if (!lc.fontset) {
        std::string text = vx_msg(liteclue_catd, LC_NO_FONT);
        fputs(text.c_str(), stderr);
    } else {
        XRectangle ink, logical;
        XmbTextExtents(lc.fontset, "1", 1, &ink, &logical);
        lc.font_height = logical.height;
        lc.font_baseline = static_cast<uint16_t>(-logical.y);
        lc.text_y = lc.font_baseline + 2;
    }
    create_gc(cw);
    XtAddEventHandler(tnew, ExposureMask, False, expose_handler, nullptr);
}

Boolean SetValues(Widget cur, Widget, Widget neww, ArgList, Cardinal *)
{
    XcgLiteClueWidget c = as_clue(cur), n = as_clue(neww);
    if (c->liteClue.foreground != n->liteClue.foreground || c->core.background_pixel != n->core.background_pixel) {
        XtReleaseGC(cur, c->liteClue.text_GC);
        create_gc(n);
    }
    return False;
}

void cancel_timeout(XcgLiteClueWidget cw)
{
    if (cw->liteClue.tid) {
        XtRemoveTimeOut(cw->liteClue.tid);
        cw->liteClue.tid = 0;
    }
}

void timeout_event(XtPointer client, XtIntervalId *)
{
    auto *ctx = static_cast<LiteClueContext *>(client);
    XcgLiteClueWidget cw = ctx->cw;
    Widget tip = reinterpret_cast<Widget>(cw);
    cw->liteClue.tid = 0;
    if (!ctx->sensitive || !cw->liteClue.fontset)
        return;

    XRectangle ink, logical;
    XmbTextExtents(cw->liteClue.fontset, ctx->text, ctx->text_size, &ink, &logical);
    int text_width = logical.width;
    Dimension width = static_cast<Dimension>(text_width + 4);
    Dimension height = static_cast<Dimension>(cw->liteClue.font_height + 4);
    XtResizeWidget(tip, width, height, cw->core.border_width);

    Widget w = ctx->watched;
    Position root_x = 0, root_y = 0;
    XtTranslateCoords(w, 0, 0, &root_x, &root_y);
    Screen *screen = XtScreen(w);
    int screen_width = WidthOfScreen(screen), screen_height = HeightOfScreen(screen);
    int x = root_x + 4;
    int y = root_y + static_cast<int>(w->core.height) + 4;
    if (y + static_cast<int>(height) > screen_height)
        y = root_y - static_cast<int>(height) - 4;
    if (x < 0)
        x = 0;
    else if (x + static_cast<int>(width) > screen_width)
        x = screen_width - text_width - 5;
    XtMoveWidget(tip, static_cast<Position>(x), static_cast<Position>(y));

    XtPopup(tip, XtGrabNone);
    cw->liteClue.popped = 1;
    cw->liteClue.shown = ctx;
    draw_text(cw, ctx);
}

void enter_cb(Widget, XtPointer client, XEvent *ev, Boolean *)
{
    auto *ctx = static_cast<LiteClueContext *>(client);
    XcgLiteClueWidget cw = ctx->cw;
    if (!ctx->sensitive || !cw->liteClue.fontset || cw->liteClue.tid || ev->xcrossing.mode != NotifyNormal)
        return;
    unsigned long period = static_cast<unsigned long>(cw->liteClue.waitPeriod);
    // Moving on from a tip just taken down shows the next one at once.  The
    // rule needs a take-down to have happened: a fresh server's clock starts
    // near 0 too.
    if (cw->liteClue.last_popdown != 0 &&
        static_cast<uint32_t>(ev->xcrossing.time - cw->liteClue.last_popdown) <=
            static_cast<uint32_t>(cw->liteClue.cancelWaitPeriod))
        period = 0;
    cw->liteClue.tid =
        XtAppAddTimeOut(XtWidgetToApplicationContext(reinterpret_cast<Widget>(cw)), period, timeout_event, ctx);
}

void leave_cb(Widget, XtPointer client, XEvent *ev, Boolean *)
{
    auto *ctx = static_cast<LiteClueContext *>(client);
    XcgLiteClueWidget cw = ctx->cw;
    cancel_timeout(cw);
    if (ctx->sensitive && cw->liteClue.popped) {
        XtPopdown(reinterpret_cast<Widget>(cw));
        cw->liteClue.popped = 0;
        cw->liteClue.shown = nullptr;
        cw->liteClue.last_popdown = ev->type == ButtonPress ? ev->xbutton.time : ev->xcrossing.time;
    }
}

LiteClueContext *find_context(XcgLiteClueWidget cw, Widget w)
{
    LiteClueContext *head = &cw->liteClue.widget_list;
    for (LiteClueContext *c = head->next; c != head; c = c->next)
        if (c->watched == w)
            return c;
    return nullptr;
}

void free_context(LiteClueContext *ctx, bool watched_alive);

// A watched widget that is destroyed stops being watched.
void watched_destroyed(Widget, XtPointer client, XtPointer)
{
    free_context(static_cast<LiteClueContext *>(client), false);
}

void free_context(LiteClueContext *ctx, bool watched_alive)
{
    XcgLiteClueWidget cw = ctx->cw;
    if (watched_alive) {
        XtRemoveEventHandler(ctx->watched, EnterWindowMask, False, enter_cb, ctx);
        XtRemoveEventHandler(ctx->watched, LeaveWindowMask | ButtonPressMask, False, leave_cb, ctx);
        XtRemoveCallback(ctx->watched, XtNdestroyCallback, watched_destroyed, ctx);
    }
    cancel_timeout(cw);
    // A tip whose widget stops being watched would otherwise stay up: no
    // leave handler is left to take it down.
    if (cw->liteClue.shown == ctx) {
        if (cw->liteClue.popped)
            XtPopdown(reinterpret_cast<Widget>(cw));
        cw->liteClue.popped = 0;
        cw->liteClue.shown = nullptr;
    }
    ctx->prev->next = ctx->next;
    ctx->next->prev = ctx->prev;
    XtFree(ctx->text);
    XtFree(reinterpret_cast<char *>(ctx));
}

void Destroy(Widget w)
{
    XcgLiteClueWidget cw = as_clue(w);
    LiteClueContext *head = &cw->liteClue.widget_list;
    while (head->next != head)
        free_context(head->next, true);
    cancel_timeout(cw);
    if (cw->liteClue.text_GC)
        XtReleaseGC(w, cw->liteClue.text_GC);
    if (cw->liteClue.own_fontset)
        XFreeFontSet(XtDisplay(w), cw->liteClue.fontset);
}

void set_text(LiteClueContext *ctx, const char *text, int size)
{
    if (size <= 0)
        size = static_cast<int>(strlen(text));
    XtFree(ctx->text);
    ctx->text = XtMalloc(static_cast<Cardinal>(size + 1));
    memcpy(ctx->text, text, static_cast<size_t>(size));
    ctx->text[size] = '\0';
    ctx->text_size = size;
}

}  // namespace

void XcgLiteClueSetCatalogue(nl_catd catd) { liteclue_catd = catd; }

void XcgLiteClueAddWidget(Widget tip, Widget w, const char *text, int size, int)
{
    if (!check_widget(tip, "XcgLiteClueAddWidget") || !w)
        return;
    XcgLiteClueWidget cw = as_clue(tip);
    LiteClueContext *ctx = find_context(cw, w);
    if (ctx) {
        if (text)
            set_text(ctx, text, size);
        return;
    }
    ctx = reinterpret_cast<LiteClueContext *>(XtMalloc(sizeof(LiteClueContext)));
    ctx->watched = w;
    ctx->cw = cw;
    ctx->sensitive = 1;
    ctx->text = nullptr;
    ctx->text_size = 0;
    set_text(ctx, text ? text : "", size);
    LiteClueContext *head = &cw->liteClue.widget_list;
    ctx->next = head;
    ctx->prev = head->prev;
    head->prev->next = ctx;
    head->prev = ctx;
    XtAddEventHandler(w, EnterWindowMask, False, enter_cb, ctx);
    XtAddEventHandler(w, LeaveWindowMask | ButtonPressMask, False, leave_cb, ctx);
    XtAddCallback(w, XtNdestroyCallback, watched_destroyed, ctx);
}

void XcgLiteClueDeleteWidget(Widget tip, Widget w)
{
    if (!check_widget(tip, "XcgLiteClueDeleteWidget"))
        return;
    LiteClueContext *ctx = find_context(as_clue(tip), w);
    if (ctx)
        free_context(ctx, true);
}

void XcgLiteClueSetSensitive(Widget tip, Widget w, Boolean sensitive)
{
    if (!check_widget(tip, "XcgLiteClueSetSensitive"))
        return;
    XcgLiteClueWidget cw = as_clue(tip);
    if (w) {
        if (LiteClueContext *ctx = find_context(cw, w))
            ctx->sensitive = sensitive ? 1 : 0;
        return;
    }
    LiteClueContext *head = &cw->liteClue.widget_list;
    for (LiteClueContext *c = head->next; c != head; c = c->next)
        c->sensitive = sensitive ? 1 : 0;
}

Boolean XcgLiteClueGetSensitive(Widget tip, Widget w)
{
    if (!check_widget(tip, "XcgLiteClueGetSensitive"))
        return False;
    XcgLiteClueWidget cw = as_clue(tip);
    if (w) {
        LiteClueContext *ctx = find_context(cw, w);
        return ctx && ctx->sensitive ? True : False;
    }
    LiteClueContext *head = &cw->liteClue.widget_list;
    return head->next != head && head->next->sensitive ? True : False;
}

Boolean XcgLiteClueDispatchEvent(Widget tip, XEvent *event)
{
    if (!check_widget(tip, "XcgLiteClueDispatchEvent"))
        return False;
    if (event->type != EnterNotify && event->type != LeaveNotify)
        return False;
    XcgLiteClueWidget cw = as_clue(tip);
    LiteClueContext *head = &cw->liteClue.widget_list;
    for (LiteClueContext *c = head->next; c != head; c = c->next) {
        if (!XtIsRealized(c->watched) || XtWindow(c->watched) != event->xany.window)
            continue;
        if (XtIsSensitive(c->watched))
            return False;
        Boolean cont = True;
        if (event->type == EnterNotify)
            enter_cb(c->watched, c, event, &cont);
        else
            leave_cb(c->watched, c, event, &cont);
        return True;
    }
    return False;
}
