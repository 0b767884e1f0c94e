// The table view, table printing and the pipe target.

#include "dytab.h"

#include "dlmess.h"
#include "dozrow.h"
#include "dozvalue.h"
#include "dsmgr.h"
#include "dsput.h"
#include "dygrph.h"
#include "dymain.h"
#include "dymsgs.h"
#include "dyprt.h"
#include "qymgr.h"
#include "vxproc.h"

#include <Xm/Xm.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// How often the screen catches up with the lines arriving.
constexpr std::chrono::milliseconds CATCH_UP_EVERY{100};

struct Table {
    std::unique_ptr<DyLineStore> store;
    bool on = false;
    XFontStruct *font = nullptr;
    bool own_font = false;
    int line_height = 1, char_width = 1, ascent = 0;
    GC gc = nullptr;
    int width = 0, height = 0;
    int64_t screen_top = 0;  // number of the line drawn in the first row
    bool redraw_all = false;
    int interval = 1;
    bool interval_follows = true;
    Widget stop_widget = nullptr;
    volatile bool stop = false;
    int since_poll = 0;
    int since_catch_up = 0;
    std::chrono::steady_clock::time_point last_catch_up;
    std::string selection_cache;
    bool cache_valid = false;
} tb;

Display *dpy() { return XtDisplay(dymain_dy_canvas()); }
Window win() { return XtWindow(dymain_dy_canvas()); }
bool drawable() { return dymain_dy_canvas() && XtIsRealized(dymain_dy_canvas()); }

// The first font of the table font list, else the server's "fixed".
XFontStruct *table_font()
{
    XmFontList list = dymain_resources().text_font;
    if (list) {
        XmFontContext ctx;
        if (XmFontListInitFontContext(&ctx, list)) {
            XmFontListEntry entry = XmFontListNextEntry(ctx);
            XmFontListFreeFontContext(ctx);
            if (entry) {
                XmFontType type;
                XtPointer f = XmFontListEntryGetFont(entry, &type);
                if (f && type == XmFONT_IS_FONT)
                    return static_cast<XFontStruct *>(f);
                if (f && type == XmFONT_IS_FONTSET) {
                    XFontStruct **fonts;
                    char **names;
                    if (XFontsOfFontSet(static_cast<XFontSet>(f), &fonts, &names) > 0)
                        return fonts[0];
                }
            }
        }
    }
    tb.own_font = true;
    return XLoadQueryFont(dpy(), "fixed");
}

void first_time()
{
    tb.store = std::make_unique<DyLineStore>(dymain_resources().buffer_size);
    tb.font = table_font();
    if (tb.font) {
        tb.line_height = std::max(1, tb.font->max_bounds.ascent + tb.font->max_bounds.descent);
        tb.char_width = std::max<int>(1, tb.font->max_bounds.width);
        tb.ascent = tb.font->max_bounds.ascent;
    }
    Pixel fg = 0, bg = 0;
    XtVaGetValues(dymain_dy_canvas(), XmNforeground, &fg, XmNbackground, &bg, nullptr);
    XGCValues v;
    v.foreground = fg;
    v.background = bg;
    unsigned long mask = GCForeground | GCBackground;
    if (tb.font) {
        v.font = tb.font->fid;
        mask |= GCFont;
    }
    tb.gc = XCreateGC(dpy(), RootWindowOfScreen(XtScreen(dymain_dy_canvas())), mask, &v);
    tb.screen_top = tb.store->first();
}

int text_x(const std::string &t, int chars)
{
    int px = tb.font ? XTextWidth(tb.font, t.c_str(), std::min<int>(chars, static_cast<int>(t.size())))
                     : chars * tb.char_width;
    return px - tb.store->column_offset() * tb.char_width;
}

void draw_row(int row, const std::string &t)
{
    XDrawImageString(dpy(), win(), tb.gc, -tb.store->column_offset() * tb.char_width,
                     row * tb.line_height + tb.ascent, t.c_str(), static_cast<int>(t.size()));
}

// Draws the visible lines that meet `area` (null: all).
void draw_lines(const XRectangle *area)
{
    if (!drawable())
        return;
    const DyLineStore &s = *tb.store;
    for (int row = 0; row * tb.line_height < tb.height; row++) {
        int index = s.top() + row;
        if (index >= s.count())
            break;
        if (area) {
            int x = -s.column_offset() * tb.char_width, y = row * tb.line_height;
            if (x >= area->x + area->width || x + s.width(index) <= area->x || y >= area->y + area->height ||
                y + tb.line_height <= area->y)
                continue;
        }
        draw_row(row, s.text(index));
    }
}

// Draws the stretch between two cells, highlighted or normal.
void draw_stretch(DyCell a, DyCell b, bool highlighted)
{
    if (!drawable())
        return;
    DyCell from = std::min(a, b), to = std::max(a, b);
    const DyLineStore &s = *tb.store;
    Pixel fg = 0, bg = 0;
    XGCValues v;
    XGetGCValues(dpy(), tb.gc, GCForeground | GCBackground, &v);
    fg = v.foreground, bg = v.background;
    if (highlighted) {
        XSetForeground(dpy(), tb.gc, bg);
        XSetBackground(dpy(), tb.gc, fg);
    }
    for (int64_t l = std::max(from.line, s.first() + s.top()); l <= to.line; l++) {
        int row = static_cast<int>(l - s.first()) - s.top();
        if (row >= s.rows() || l >= s.end())
            break;
        const std::string &t = s.text(static_cast<int>(l - s.first()));
        int c0 = l == from.line ? std::min<int>(from.column, static_cast<int>(t.size())) : 0;
        int c1 = l == to.line ? std::min<int>(to.column, static_cast<int>(t.size())) : static_cast<int>(t.size());
        if (c1 <= c0)
            continue;
        XDrawImageString(dpy(), win(), tb.gc, text_x(t, c0), row * tb.line_height + tb.ascent, t.c_str() + c0,
                         c1 - c0);
    }
    XSetForeground(dpy(), tb.gc, fg);
    XSetBackground(dpy(), tb.gc, bg);
}

void show_selection()
{
    const auto &sel = tb.store->selection();
    if ((sel.exists && sel.owns_primary) || sel.selecting)
        draw_stretch(sel.anchor, sel.end, true);
}

void redraw_all()
{
    if (!drawable())
        return;
    XClearArea(dpy(), win(), 0, 0, 0, 0, False);
    draw_lines(nullptr);
    show_selection();
    tb.screen_top = tb.store->first() + tb.store->top();
    tb.redraw_all = false;
}

// Scrolls the window so that line index `top` is in the first row: the
// still visible part is copied, only the vacated strip is drawn.
void scroll_to(int top)
{
    DyLineStore &s = *tb.store;
    s.set_top(top);
    int64_t target = s.first() + s.top();
    int64_t n = target - tb.screen_top;
    if (!drawable() || n == 0)
        return;
    if (tb.redraw_all) {
        redraw_all();
        return;
    }
    int64_t dist = (n < 0 ? -n : n) * tb.line_height;
    if (dist >= tb.height) {
        redraw_all();
        return;
    }
    int d = static_cast<int>(dist);
    if (n > 0)
        XCopyArea(dpy(), win(), win(), tb.gc, 0, d, static_cast<unsigned>(tb.width),
                  static_cast<unsigned>(tb.height - d), 0, 0);
    else
        XCopyArea(dpy(), win(), win(), tb.gc, 0, 0, static_cast<unsigned>(tb.width),
                  static_cast<unsigned>(tb.height - d), 0, d);
    tb.screen_top = target;
    XRectangle strip;
    strip.x = 0;
    strip.width = static_cast<unsigned short>(std::min(tb.width, 65535));
    strip.y = static_cast<short>(n > 0 ? tb.height - d : 0);
    strip.height = static_cast<unsigned short>(n > 0 ? d : d);
    if (n > 0) {
        // The partly covered last row is drawn again as well.
        int row0 = (tb.height - d) / tb.line_height;
        strip.y = static_cast<short>(row0 * tb.line_height);
        strip.height = static_cast<unsigned short>(tb.height - row0 * tb.line_height);
    }
    XClearArea(dpy(), win(), strip.x, strip.y, strip.width, strip.height, False);
    XSetClipRectangles(dpy(), tb.gc, 0, 0, &strip, 1, Unsorted);
    draw_lines(&strip);
    show_selection();
    XSetClipMask(dpy(), tb.gc, None);
}

void scroll_columns(int offset)
{
    DyLineStore &s = *tb.store;
    int was = s.column_offset();
    int n = s.set_column_offset(offset) ;
    (void)was;
    if (!drawable() || n == 0)
        return;
    int dist = (n < 0 ? -n : n) * tb.char_width;
    if (dist >= tb.width) {
        redraw_all();
        return;
    }
    XRectangle strip;
    strip.y = 0;
    strip.height = static_cast<unsigned short>(std::min(tb.height, 65535));
    strip.width = static_cast<unsigned short>(dist);
    if (n > 0) {
        XCopyArea(dpy(), win(), win(), tb.gc, dist, 0, static_cast<unsigned>(tb.width - dist),
                  static_cast<unsigned>(tb.height), 0, 0);
        strip.x = static_cast<short>(tb.width - dist);
    } else {
        XCopyArea(dpy(), win(), win(), tb.gc, 0, 0, static_cast<unsigned>(tb.width - dist),
                  static_cast<unsigned>(tb.height), dist, 0);
        strip.x = 0;
    }
    XClearArea(dpy(), win(), strip.x, strip.y, strip.width, strip.height, False);
    XSetClipRectangles(dpy(), tb.gc, 0, 0, &strip, 1, Unsorted);
    draw_lines(&strip);
    show_selection();
    XSetClipMask(dpy(), tb.gc, None);
}

// The bars are set only when one of their values changed (a full store
// scrolling at its end leaves them alone).
int bar_values[2][3] = {{-1, -1, -1}, {-1, -1, -1}};

void set_bar(int bar, int maximum, int slider, int value)
{
    int *now = bar_values[bar == 2 ? 1 : 0];
    if (now[0] == maximum && now[1] == slider && now[2] == value)
        return;
    now[0] = maximum, now[1] = slider, now[2] = value;
    dymain_dy_set_scrollbar(bar, maximum, slider, value);
}

void update_bars(bool force)
{
    const DyLineStore &s = *tb.store;
    if (force)
        bar_values[0][0] = bar_values[1][0] = -1;
    set_bar(1, std::max(s.rows(), s.count()), s.rows(), s.top());
    set_bar(2, std::max(s.columns(), s.widest()), s.columns(), s.column_offset());
}

void reset_bars()
{
    tb.store->pull_back();
    update_bars(true);
}

void set_window_size()
{
    int w = 0, h = 0;
    dymain_dy_get_canvas_size(&w, &h);
    tb.width = w, tb.height = h;
    tb.store->set_window(w, h, tb.line_height, tb.char_width);
    int lines = dymain_resources().check_stop_lines;
    tb.interval_follows = lines < 1;
    tb.interval = tb.interval_follows ? tb.store->rows() : lines;
}

void set_screen_output()
{
    dyprt_dy_set_output(dytab_dy_output_line, -1, tb.store->columns(), 3, 30,
                        dymain_resources().arrays_in_columns ? 1 : 0);
}

// Polls the Stop button's window: every `interval` lines, or at once when
// forced.  Without a stop widget it never stops.
bool poll_stop(bool force)
{
    if (!tb.stop_widget || !XtIsRealized(tb.stop_widget))
        return false;
    tb.since_poll++;
    if (!force && tb.since_poll % std::max(1, tb.interval) != 0)
        return tb.stop;
    Display *d = XtDisplay(tb.stop_widget);
    XSync(d, False);
    Window w = XtWindow(tb.stop_widget);
    XEvent ev;
    while (XCheckWindowEvent(d, w, ~0L, &ev))
        XtDispatchEvent(&ev);
    tb.since_poll = 0;
    return tb.stop;
}

void stop_proc()
{
    tb.stop = true;
    if (dy_hooks.set_stop_proc)
        dy_hooks.set_stop_proc(nullptr);
}

void disown()
{
    auto &sel = tb.store->selection();
    if (sel.owns_primary && dymain_dy_canvas())
        XtDisownSelection(dymain_dy_canvas(), XA_PRIMARY, CurrentTime);
    sel.owns_primary = false;
}

void drop_cache()
{
    tb.selection_cache.clear();
    tb.cache_valid = false;
}

// PRIMARY's text in the form a requestor asks for: the locale's bytes
// (STRING in a single-byte locale, where they are what the view shows),
// else converted by Xlib from the locale's encoding; empty when the
// conversion is not possible.
bool selection_as(Display *d, Atom target, const std::string &text, Atom *type, std::string &out, int *format)
{
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False), compound = XInternAtom(d, "COMPOUND_TEXT", False),
               text_atom = XInternAtom(d, "TEXT", False);
    *format = 8;
    if (target == XA_STRING && MB_CUR_MAX == 1) {
        *type = XA_STRING;
        out = text;
        return true;
    }
    XICCEncodingStyle style;
    if (target == XA_STRING)
        style = XStringStyle;
    else if (target == utf8)
        style = XUTF8StringStyle;
    else if (target == compound)
        style = XCompoundTextStyle;
    else if (target == text_atom)
        style = XStdICCTextStyle;
    else
        return false;
    std::string copy = text;
    char *list[] = {copy.data()};
    XTextProperty prop{};
    if (XmbTextListToTextProperty(d, list, 1, style, &prop) < Success || !prop.value) {
        // The view's bytes are the text in a locale Xlib cannot convert.
        if (target != utf8 && target != XA_STRING)
            return false;
        *type = target;
        out = text;
        return true;
    }
    *type = prop.encoding;
    out.assign(reinterpret_cast<const char *>(prop.value), prop.nitems);
    XFree(prop.value);
    return true;
}

Boolean convert_selection(Widget w, Atom *selection, Atom *target, Atom *type, XtPointer *value,
                          unsigned long *length, int *format)
{
    if (*selection != XA_PRIMARY || !tb.store || !tb.store->selection().exists)
        return False;
    Display *d = XtDisplay(w);
    if (*target == XInternAtom(d, "TARGETS", False)) {
        const Atom offered[] = {XInternAtom(d, "TARGETS", False), XInternAtom(d, "UTF8_STRING", False), XA_STRING,
                                XInternAtom(d, "COMPOUND_TEXT", False), XInternAtom(d, "TEXT", False)};
        auto *list = reinterpret_cast<Atom *>(XtMalloc(sizeof offered));
        memcpy(list, offered, sizeof offered);
        *value = list;
        *length = XtNumber(offered);
        *format = 32;
        *type = XA_ATOM;
        return True;
    }
    if (!tb.cache_valid) {
        tb.selection_cache = tb.store->selection_text();
        tb.cache_valid = true;
    }
    std::string out;
    if (!selection_as(d, *target, tb.selection_cache, type, out, format))
        return False;
    char *copy = XtMalloc(static_cast<Cardinal>(out.size() + 1));
    memcpy(copy, out.c_str(), out.size() + 1);
    *value = copy;
    *length = out.size();
    return True;
}

void lose_selection(Widget, Atom *)
{
    if (!tb.store)
        return;
    auto &sel = tb.store->selection();
    if (sel.exists)
        draw_stretch(sel.anchor, sel.end, false);
    sel.owns_primary = false;
}

void own(Time t)
{
    auto &sel = tb.store->selection();
    sel.owns_primary = XtOwnSelection(dymain_dy_canvas(), XA_PRIMARY, t, convert_selection, lose_selection,
                                      nullptr) == True;
    if (!sel.owns_primary)
        draw_stretch(sel.anchor, sel.end, false);
}

void abandon_drag()
{
    auto &sel = tb.store->selection();
    if (!sel.selecting)
        return;
    draw_stretch(sel.anchor, sel.end, false);
    sel.selecting = false;
    sel.exists = false;
    sel.start_pending = false;
}

DyCell cell(const DySelectData *d) { return tb.store->cell_at(d->x, d->y, tb.line_height, tb.char_width); }

void extend_to(DyCell p)
{
    auto &sel = tb.store->selection();
    draw_stretch(sel.anchor, sel.end, false);
    sel.end = p;
    sel.direction = p < sel.anchor ? -1 : p == sel.anchor ? 0 : 1;
    draw_stretch(sel.anchor, sel.end, true);
}

void format_pending_datasets()
{
    if (getenv("VX_NO_TOGGLE_PRINT"))
        return;
    tb.last_catch_up = {};
    int current = dsmgr_ds_current();
    bool go_on = true;
    for (int i = 0; go_on && i < current; i++) {
        if (dscol_ds_get_tinfo_list(i) && !dsmgr_ds_printed(i)) {
            go_on = dyprt_dy_print_dataset(i) == 1;
            dsmgr_ds_set_printed(i);
        }
    }
    if (go_on && dsmgr_ds_current_exists() && !dsmgr_ds_printed(current)) {
        dyprt_dy_print_dataset(current);
        dsmgr_ds_set_printed(current);
    }
    dytab_dy_catch_up();
}

void new_data()
{
    set_screen_output();
    tb.last_catch_up = {};  // the first screenful shows at once
    int mode = dy_hooks.get_mode ? dy_hooks.get_mode() : 0;
    if (dy_hooks.set_mode)
        dy_hooks.set_mode(2);
    tb.stop = false;
    poll_stop(true);
    if (dy_hooks.set_stop_proc)
        dy_hooks.set_stop_proc(stop_proc);
    int current = dsmgr_ds_current();
    if (dsmgr_ds_current_exists()) {
        dyprt_dy_print_dataset(current);
        dsmgr_ds_set_printed(current);
    }
    dytab_dy_catch_up();
    poll_stop(true);
    if (dy_hooks.set_stop_proc)
        dy_hooks.set_stop_proc(nullptr);
    if (dy_hooks.enable_stop)
        dy_hooks.enable_stop(0);
    if (dy_hooks.set_mode)
        dy_hooks.set_mode(mode);
}

void action_handler(Widget, int action, void *data)
{
    DyLineStore &s = *tb.store;
    auto &sel = s.selection();
    switch (action) {
    case DY_EXPOSE: {
        auto *r = static_cast<DyRectData *>(data);
        XRectangle area{static_cast<short>(r->x), static_cast<short>(r->y), static_cast<unsigned short>(r->width),
                        static_cast<unsigned short>(r->height)};
        if (!drawable())
            return;
        if (tb.redraw_all || tb.screen_top != s.first() + s.top()) {
            redraw_all();
            return;
        }
        XSetClipRectangles(dpy(), tb.gc, 0, 0, &area, 1, Unsorted);
        draw_lines(&area);
        show_selection();
        XSetClipMask(dpy(), tb.gc, None);
        break;
    }
    case DY_RESIZE:
        set_window_size();
        dyprt_dy_set_page_width(s.columns());
        reset_bars();
        abandon_drag();
        redraw_all();
        break;
    case DY_NEW_DATA: new_data(); break;
    case DY_SCROLL: {
        auto *d = static_cast<DyScrollData *>(data);
        bar_values[d->bar == 2 ? 1 : 0][2] = d->value;  // where the user left the bar
        if (d->bar == 1)
            scroll_to(d->value);
        else
            scroll_columns(d->value);
        break;
    }
    case DY_START_SELECT:
        sel.press = cell(static_cast<DySelectData *>(data));
        sel.start_pending = true;
        break;
    case DY_DRAG_SELECT: {
        DyCell p = cell(static_cast<DySelectData *>(data));
        if (sel.start_pending && !sel.selecting) {
            if (p == sel.press)
                break;
            if (sel.exists) {
                draw_stretch(sel.anchor, sel.end, false);
                sel.exists = false;
                drop_cache();
            }
            sel.anchor = sel.press;
            sel.end = p;
            sel.direction = p < sel.anchor ? -1 : 1;
            sel.selecting = true;
            draw_stretch(sel.anchor, sel.end, true);
        } else if (sel.selecting) {
            extend_to(p);
        }
        break;
    }
    case DY_END_SELECT: {
        sel.start_pending = false;
        if (sel.selecting) {
            sel.selecting = false;
            sel.exists = true;
            drop_cache();
            own(static_cast<DySelectData *>(data)->time);
        }
        show_selection();
        break;
    }
    case DY_ADJUST_SELECT: {
        if (!sel.exists)
            break;
        DyCell p = cell(static_cast<DySelectData *>(data));
        sel.selecting = true;
        DyCell from, to;
        s.ordered(from, to);
        DyCell mid = s.midpoint(from, to);
        // The end nearer the point moves; the other becomes the anchor.
        bool anchor_side = sel.anchor <= sel.end ? p < mid : !(p < mid);
        if (anchor_side)
            std::swap(sel.anchor, sel.end);
        drop_cache();
        extend_to(p);
        sel.exists = true;
        break;
    }
    case DY_RESELECT:
        if (sel.exists) {
            own(static_cast<DySelectData *>(data)->time);
            show_selection();
        }
        break;
    default: fputs(vx_msgf(dymain_catd, DY_UNEXPECTED_TABLE_ACTION).c_str(), stderr); break;
    }
}

}  // namespace

int dytab_dy_output_line(const char *text, int length)
{
    if (!text)
        return 1;
    DyLineStore &s = *tb.store;
    const std::string_view line(text, static_cast<size_t>(std::max(0, length)));
    int32_t px = tb.font ? XTextWidth(tb.font, line.data(), static_cast<int>(line.size()))
                         : static_cast<int32_t>(line.size()) * tb.char_width;
    int widest = s.widest();
    s.add(line, px);
    if (s.selection_lost_line()) {
        disown();
        s.drop_selection();
        drop_cache();
        tb.redraw_all = true;
    }
    abandon_drag();
    if (s.widest() != widest)
        set_bar(2, std::max(s.columns(), s.widest()), s.columns(), s.column_offset());
    // While lines pour in, the screen follows them a few times a second;
    // the last screen is drawn when the dataset is done.
    if (++tb.since_catch_up >= std::max(1, tb.interval)) {
        tb.since_catch_up = 0;
        if (std::chrono::steady_clock::now() - tb.last_catch_up >= CATCH_UP_EVERY)
            dytab_dy_catch_up();
    }
    return poll_stop(false) ? 0 : 1;
}

void dytab_dy_catch_up()
{
    if (!tb.store)
        return;
    tb.since_catch_up = 0;
    tb.last_catch_up = std::chrono::steady_clock::now();
    DyLineStore &s = *tb.store;
    int64_t shown_end = tb.screen_top + s.rows();
    int top = s.tail_top();
    if (s.first() + top != tb.screen_top || tb.redraw_all) {
        scroll_to(top);
        if (tb.redraw_all)
            redraw_all();
    } else if (drawable()) {
        // No scroll: the new lines below the last drawn one.
        (void)shown_end;
        XRectangle strip{0, 0, static_cast<unsigned short>(std::min(tb.width, 65535)),
                         static_cast<unsigned short>(std::min(tb.height, 65535))};
        draw_lines(&strip);
        show_selection();
    }
    update_bars(false);
    if (drawable())
        XFlush(dpy());
    if (dytab_screen_shown)
        dytab_screen_shown();
}

void dytab_dy_enable_table_mode(int on)
{
    if (!on) {
        tb.on = false;
        dymain_dy_set_action_handler(nullptr);
        dymain_dy_set_action_mask(0);
        dymain_dy_enable_scrollbars(0);
        if (drawable())
            XClearArea(dpy(), win(), 0, 0, 0, 0, False);
        return;
    }
    if (!dymain_dy_canvas())
        return;
    if (!tb.store)
        first_time();
    set_window_size();
    tb.on = true;
    dymain_dy_set_action_handler(action_handler);
    dymain_dy_set_action_mask(DY_TABLE_MASK);
    set_screen_output();
    dymain_dy_enable_scrollbars(1);
    reset_bars();
    tb.redraw_all = true;
    if (drawable())
        XClearArea(dpy(), win(), 0, 0, 0, 0, True);
    format_pending_datasets();
}

int dytab_dy_table_mode() { return tb.on ? 1 : 0; }

void dytab_dy_clear_table(int reset)
{
    if (!tb.store)
        return;
    disown();
    tb.store->drop_selection();
    tb.store->selection().start_pending = false;
    drop_cache();
    tb.store->clear();
    tb.screen_top = tb.store->first();
    if (reset) {
        set_bar(1, tb.store->rows(), tb.store->rows(), 0);
        set_bar(2, tb.store->columns(), tb.store->columns(), 0);
        if (drawable())
            XClearArea(dpy(), win(), 0, 0, 0, 0, False);
    }
}

void dytab_dy_set_stop_widget(Widget w) { tb.stop_widget = w; }

const DyLineStore *dytab_store() { return tb.store.get(); }

void dytab_metrics(int *line_height, int *char_width)
{
    if (line_height)
        *line_height = tb.line_height;
    if (char_width)
        *char_width = tb.char_width;
}

void (*dytab_screen_shown)() = nullptr;

// ---- printing ------------------------------------------------------------------------

namespace {

FILE *print_file = nullptr;

int print_line(const char *text, int length)
{
    if (!print_file)
        return 0;
    if (!text)
        return fputc('\f', print_file) == EOF ? 0 : 1;
    fwrite(text, 1, static_cast<size_t>(length), print_file);
    return fputc('\n', print_file) == EOF ? 0 : 1;
}

Widget error_parent() { return dy_hooks.query_shell; }

// The e-mail command with INFILE naming the file.
void run_with_infile(const char *command, const char *file)
{
    if (!command || !*command)
        return;
    if (dy_hooks.run_with_infile) {
        dy_hooks.run_with_infile(command, file);
        return;
    }
    const char *path, *name;
    enquire_shell(&path, &name);
    char **env = nullptr;
    copy_env(environ, &env);
    std::string pair = std::string("INFILE=") + file;
    set_env(&env, pair.c_str());
    do_shell_escape_env("/bin/sh", "sh", command, env);
    free_env(env);
}

}  // namespace

int dytab_dy_print_table(int report)
{
    int mode = dy_hooks.get_mode ? dy_hooks.get_mode() : 0;
    if (dy_hooks.set_mode)
        dy_hooks.set_mode(2);
    const DyResources &r = dymain_resources();
    dyprt_dy_set_output(print_line, r.page_length > 0 ? r.page_length : 60, r.page_width > 0 ? r.page_width : 78,
                        0, -1, r.arrays_in_columns ? 1 : 0);
    DyPrintSettings ps = dy_hooks.print_settings ? dy_hooks.print_settings() : DyPrintSettings{};
    bool mail = ps.tableoutput == 2;
    bool to_file = ps.tableoutput == 1 || ps.tableoutput == 2;
    std::string file = ps.tablefile ? ps.tablefile : "";
    std::string command = dymain_dy_default_printer_commands(ps.tableformat == 1 ? 1 : 0);
    int result = 1;
    print_file = to_file ? fopen(file.c_str(), "w") : dspipe_ds_open_pipe(command.c_str(), "a");
    if (!print_file) {
        if (report)
            dlmess_dialog_show_error(error_parent(), dymain_catd, DY_PRINT_OPEN_FAILED,
                                     to_file ? file.c_str() : command.c_str());
        result = 0;
    } else {
        int current = dsmgr_ds_current();
        bool go_on = true;
        for (int i = 0; go_on && i < current; i++)
            if (dscol_ds_get_tinfo_list(i))
                go_on = dyprt_dy_print_dataset(i) == 1;
        if (go_on && dsmgr_ds_current_exists())
            dyprt_dy_print_dataset(current);
        if (to_file) {
            if (fclose(print_file) != 0)
                result = 0;
        } else if (!dspipe_ds_close_pipe(print_file)) {
            if (report)
                dlmess_dialog_show_error(error_parent(), dymain_catd, DY_PRINT_CLOSE_FAILED, command.c_str());
            result = 0;
        }
        print_file = nullptr;
    }
    if (tb.store)
        set_screen_output();
    else
        dyprt_dy_set_output(nullptr, -1, 78, 3, 30, 0);
    if (dy_hooks.set_mode)
        dy_hooks.set_mode(mode);
    if (mail && result)
        run_with_infile(ps.mail_command, file.c_str());
    return result;
}

// ---- the pipe target --------------------------------------------------------------------

namespace {

FILE *pipe_target = nullptr;

void write_element(const DozColDesc &c, const void *value)
{
    fputs(dsprint_ds_sprint(value, c.width, c.precision, c.type), pipe_target);
    fputc(' ', pipe_target);
}

void pipe_row_writer(int event, int rows, int, DozReader &buffer)
{
    if (event == QY_EVENT_OK) {
        clear_buffer(buffer);
        return;
    }
    if (!buffer.buffhandle || !pipe_target)
        return;
    if (empty_buffer(buffer))
        return;
    int had_table = 0;
    if (prepare_buffer(buffer, &had_table) != 0)
        return;
    std::vector<DozColDesc> cols = tinfo_table(buffer);
    if (!cols.empty() && cols.back().type == DOZ_T_END)
        cols.pop_back();
    for (int r = 0; r < rows; r++) {
        for (const DozColDesc &c : cols) {
            int count = 0;
            const void *v = extract(buffer, c, &count);
            if (extract_overrun(buffer))
                return;
            if (c.count == 0) {
                write_element(c, v);
                continue;
            }
            int size1 = dsprint_ds_sizeof(c.type, c.width);
            for (int m = 0; v && m < count; m++)
                write_element(c, static_cast<const unsigned char *>(v) + static_cast<size_t>(m) * size1);
        }
        fputc('\n', pipe_target);
        align_row(buffer);
    }
    fflush(pipe_target);
}

}  // namespace

int dytab_dy_prepare_pipe_target(const char *command)
{
    if (command) {
        if (*command) {
            if (pipe_target)
                dspipe_ds_close_pipe(pipe_target);
            pipe_target = dspipe_ds_open_pipe(command, "a");
            if (!pipe_target) {
                dlmess_dialog_show_error(error_parent(), dymain_catd, DY_PIPE_OPEN_FAILED, command);
                return 0;
            }
        }
        qymgr_qy_set_override_handler(pipe_row_writer);
        return 1;
    }
    if (pipe_target && !dspipe_ds_close_pipe(pipe_target))
        dlmess_dialog_show_error(error_parent(), dymain_catd, DY_PIPE_CLOSE_FAILED);
    pipe_target = nullptr;
    return 1;
}

// ---- a new view ----------------------------------------------------------------------------

void mngraph_mn_new_view(int ask, int fresh_graph)
{
    if (ask && dy_hooks.confirm_new_view && !dy_hooks.confirm_new_view())
        return;
    dsmgr_ds_clear();
    dytab_dy_clear_table(tb.on ? 1 : 0);
    dygrph_dy_clear_graph(dygrph_dy_graph_mode() ? 1 : 0, fresh_graph);
    if (dy_hooks.view_renewed)
        dy_hooks.view_renewed();
}
