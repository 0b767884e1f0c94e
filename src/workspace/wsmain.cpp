// The work area of the query window.

#include "wsmain.h"

#include "LiteClue.h"
#include "dlmain.h"
#include "obmain.h"
#include "vxadata.h"
#include "vxcat.h"
#include "vxhelp.h"
#include "vxmsg.h"
#include "vxutil.h"
#include "wsevent.h"
#include "wsmsgs.h"
#include "wstables.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <Xm/DrawingA.h>
#include <Xm/DrawnB.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/ScrollBar.h>
#include <Xm/ScrolledW.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

const WsTool query_tool_box[9] = {
    {"expressionTool", 8, 229, 1}, {"statisticsTool", 10, 231, 3}, {"sortTool", 11, 232, 6},
    {"joinTool", 13, 234, 4},      {"transferTool", 22, 237, 9},   {"conditionTool", 9, 230, 2},
    {"variableTool", 14, 235, 7},  {"groupTool", 12, 233, 5},      {"editTool", 20, 236, 8},
};
const WsTool build_tool_box[5] = {
    {"tableTool", 16, 254, 11}, {"userTool", 18, 257, 13},      {"indexTool", 17, 256, 12},
    {"columnTool", 15, 255, 10}, {"privilegeTool", 19, 258, 14},
};

namespace {

constexpr int MAX_CANVAS = 32767;
// The tips' font set: a font of every charset the locale needs.
constexpr char TIP_FONTSET[] = "-misc-fixed-medium-r-normal--13-*-*-*-*-*-*-*";

struct Main {
    nl_catd catd = NL_NO_CATALOGUE;
    int width = 0, height = 0;
    Widget run = nullptr, newb = nullptr, target = nullptr, trash = nullptr, trash_frame = nullptr;
    Widget sw = nullptr, clip = nullptr, hbar = nullptr, vbar = nullptr;
    Widget canvas = nullptr, title = nullptr, search = nullptr, tips = nullptr;
    // Stop.
    int stop_enabled = 0, stop_pending = 0, stop_caught = 0;
    WsStopProc stop_proc = nullptr;
    XmString run_label = nullptr;
    XtCallbackProc run_proc = nullptr;
    XtPointer run_data = nullptr;
    Boolean run_sensitive = True;
    XmString stop_label = nullptr;
    // Targets.
    Pixmap targets[4] = {0, 0, 0, 0};
    int target_index = -1;
    // Type-ahead.
    char buffer[9] = "";
    char last_text[9] = "";
    int last_found = -1;
    char message[128] = "";
    std::string base;
} ws;

const char *catalogue_text(int set, int number)
{
    const char *t = vx_msg_text(ws.catd, set, number, nullptr);
    safe_strcpy(ws.message, t ? t : "", sizeof ws.message);
    return ws.message;
}

void set_label(Widget w, const char *text)
{
    if (!w)
        return;
    XmString s = XmStringCreateLocalized(const_cast<char *>(text));
    XtVaSetValues(w, XmNlabelString, s, nullptr);
    XmStringFree(s);
}

// ---- bitmaps ---------------------------------------------------------------------------

std::string bitmap_path(const char *file) { return ws.base + "/bitmaps/Vostrelane/" + file; }

Pixmap load_bitmap(Widget w, const char *file)
{
    if (!file || !*file)
        return XmUNSPECIFIED_PIXMAP;
    std::string path = file[0] == '/' ? std::string(file) : bitmap_path(file);
    unsigned width = 0, height = 0;
    unsigned char *data = nullptr;
    int hx, hy;
    if (XReadBitmapFileData(path.c_str(), &width, &height, &data, &hx, &hy) != BitmapSuccess)
        return XmUNSPECIFIED_PIXMAP;
    Pixel fg = 0, bg = 0;
    XtVaGetValues(w, XmNforeground, &fg, XmNbackground, &bg, nullptr);
    Display *d = XtDisplay(w);
    Screen *s = XtScreen(w);
    Pixmap p = XCreatePixmapFromBitmapData(d, RootWindowOfScreen(s), reinterpret_cast<char *>(data), width, height,
                                           fg, bg, static_cast<unsigned>(DefaultDepthOfScreen(s)));
    XFree(data);
    return p ? p : XmUNSPECIFIED_PIXMAP;
}

// The bitmap file a tool is drawn with, from the resource database under
// the tool's widget name ("*expressionTool.toolBitmap").
const char *tool_bitmap_name(Widget parent, const char *name)
{
    // Without a resource: the name before "Tool" with ".tool" ("expression.tool").
    static std::string fallback;
    fallback = name;
    if (fallback.size() > 4 && fallback.compare(fallback.size() - 4, 4, "Tool") == 0)
        fallback.resize(fallback.size() - 4);
    fallback += ".tool";
    static String value;
    value = nullptr;
    static XtResource res[] = {{const_cast<char *>("toolBitmap"), const_cast<char *>("ToolBitmap"), XmRString,
                                sizeof(String), 0, XmRImmediate, nullptr}};
    XtGetSubresources(parent, &value, const_cast<char *>(name), const_cast<char *>("XmDrawnButton"), res, 1,
                      nullptr, 0);
    return value ? value : fallback.c_str();
}

Widget make_tool(Widget parent, const WsTool &t, bool first)
{
    Widget b = XtVaCreateManagedWidget(t.name, xmDrawnButtonWidgetClass, parent, XmNshadowType, XmSHADOW_OUT,
                                       XmNpushButtonEnabled, True, XmNlabelType, XmPIXMAP, nullptr);
    Pixmap p = load_bitmap(b, tool_bitmap_name(parent, t.name));
    if (p == XmUNSPECIFIED_PIXMAP && first) {
        fputs(vx_msgf(ws.catd, WS_NO_BITMAPS).c_str(), stderr);
        exit(1);
    }
    if (p != XmUNSPECIFIED_PIXMAP)
        XtVaSetValues(b, XmNlabelPixmap, p, nullptr);
    XtAddCallback(b, XmNarmCallback, wsevent_ws_drag_cb, reinterpret_cast<XtPointer>(static_cast<intptr_t>(t.dialog)));
    RegisterHelp(b, static_cast<Widget>(nullptr), t.help, 0);
    if (ws.tips)
        XcgLiteClueAddWidget(ws.tips, b, ttip_message(t.tip), 0, 0);
    return b;
}

Widget make_box(Widget form, const char *frame_name, const char *label_name, const char *rc_name, int title,
                const AppData *adata, const WsTool *tools, int count, Widget *rc_out)
{
    Widget frame = XtVaCreateManagedWidget(frame_name, xmFrameWidgetClass, form, nullptr);
    XmString s = XmStringCreateLocalized(const_cast<char *>(ws_message(title)));
    Widget label = XtVaCreateManagedWidget(label_name, xmLabelWidgetClass, frame, XmNchildType, XmFRAME_TITLE_CHILD,
                                           XmNlabelString, s, nullptr);
    XmStringFree(s);
    if (adata->titleFont)
        XtVaSetValues(label, XmNfontList, adata->titleFont, nullptr);
    Widget rc = XtVaCreateManagedWidget(rc_name, xmRowColumnWidgetClass, frame, XmNorientation, XmHORIZONTAL,
                                        XmNpacking, XmPACK_COLUMN, XmNnumColumns, count > 5 ? 2 : 1, nullptr);
    for (int i = 0; i < count; i++)
        make_tool(rc, tools[i], i == 0);
    *rc_out = rc;
    return frame;
}

// ---- Stop ---------------------------------------------------------------------------------------

void stop_cb(Widget w, XtPointer, XtPointer);

void remove_stop_callback() { XtRemoveCallback(ws.run, XmNactivateCallback, stop_cb, nullptr); }

void stop_cb(Widget w, XtPointer, XtPointer)
{
    XtSetSensitive(w, False);
    remove_stop_callback();
    ws.stop_caught = 1;
    if (ws.stop_proc) {
        ws.stop_proc();
        ws.stop_pending = 0;
    } else {
        ws.stop_pending = 1;
    }
}

void resize_cb(Widget, XtPointer, XEvent *event, Boolean *)
{
    if (event->type == ConfigureNotify)
        wsmain_ws_fit_drawing_area();
}

}  // namespace

const char *ws_message(int number) { return catalogue_text(60, number); }
const char *ttip_message(int number) { return catalogue_text(70, number); }

Widget wsmain_ws_canvas() { return ws.canvas; }
Widget wsmain_ws_run_button() { return ws.run; }

Widget wsmain_workspace_init(Widget parent, const AppData *adata)
{
    // A new work area (tests build several) starts from nothing.
    if (ws.run_label)
        XmStringFree(ws.run_label);
    if (ws.stop_label)
        XmStringFree(ws.stop_label);
    ws = Main{};
    ws.catd = adata->catd;
    ws.base = adata->install_dir ? adata->install_dir : vx_install_dir();
    // The drag cursor's bitmap files lie beside the tools'.
    wscurs_ws_init(XtDisplay(parent), ws.base.c_str());
    wsevent_ws_set_click_intervals(adata->singleClickInterval, adata->doubleClickInterval);
    wscurs_ws_set_warp_ability(adata->warpOnToolDrag);
    wsevent_ws_register_actions(XtWidgetToApplicationContext(parent));
    if (!adata->disableTooltips) {
        // Made here rather than by the resource converter: a locale whose
        // charsets no installed font has (far-eastern ones under UTF-8)
        // then costs those characters, not a warning at every start.
        char **missing = nullptr;
        int nmissing = 0;
        char *def = nullptr;
        XFontSet fs = XCreateFontSet(XtDisplay(parent), TIP_FONTSET, &missing, &nmissing, &def);
        if (missing)
            XFreeStringList(missing);
        if (fs)
            ws.tips = XtVaCreatePopupShell("tooltip_shell", xcgLiteClueWidgetClass, parent, XtNfontSet, fs, nullptr);
        else
            ws.tips = XtVaCreatePopupShell("tooltip_shell", xcgLiteClueWidgetClass, parent, nullptr);
    }

    Widget main_frame = XtVaCreateWidget("mainFrame", xmFrameWidgetClass, parent, nullptr);
    Widget form = XtVaCreateManagedWidget("mainForm", xmFormWidgetClass, main_frame, nullptr);

    Widget query_rc = nullptr, build_rc = nullptr;
    Widget qbox = make_box(form, "queryBoxF", "queryBoxL", "queryBoxRC", 2, adata, query_tool_box, 9, &query_rc);
    XtVaSetValues(qbox, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, nullptr);
    Widget left_of = qbox;
    // The user tool, when an icon and a command are both given.
    if (adata->userToolIcon && *adata->userToolIcon && adata->userToolCommand && *adata->userToolCommand) {
        Widget ut = XtVaCreateWidget("userDefinedTool", xmDrawnButtonWidgetClass, form, XmNshadowType, XmSHADOW_OUT,
                                     XmNpushButtonEnabled, True, XmNlabelType, XmPIXMAP, XmNuserData,
                                     adata->userToolCommand, nullptr);
        Pixel fg, bg;
        XtVaGetValues(ut, XmNforeground, &fg, XmNbackground, &bg, nullptr);
        Pixmap p = XmGetPixmap(XtScreen(ut), adata->userToolIcon, fg, bg);
        if (p != XmUNSPECIFIED_PIXMAP) {
            XtVaSetValues(ut, XmNlabelPixmap, p, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET,
                          XmNleftWidget, qbox, nullptr);
            XtAddCallback(ut, XmNarmCallback, wsevent_ws_drag_cb, reinterpret_cast<XtPointer>(static_cast<intptr_t>(-1)));
            RegisterHelp(ut, static_cast<Widget>(nullptr), 239, 0);
            XtManageChild(ut);
            left_of = ut;
        } else {
            XtDestroyWidget(ut);
        }
    }

    ws.target = XtVaCreateWidget("targetIcon", xmLabelWidgetClass, form, XmNlabelType, XmPIXMAP, XmNtopAttachment,
                                 XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, left_of, nullptr);
    // Run and New are gadgets: their input arrives in the form's window,
    // which long operations poll for a press of Stop.
    ws.run = XtVaCreateWidget("runBut", xmPushButtonGadgetClass, form, XmNtopAttachment, XmATTACH_WIDGET,
                              XmNtopWidget, ws.target, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, left_of,
                              nullptr);
    ws.newb = XtVaCreateWidget("newBut", xmPushButtonGadgetClass, form, XmNtopAttachment, XmATTACH_WIDGET,
                               XmNtopWidget, ws.run, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, left_of,
                               nullptr);
    if (adata->buttonFont) {
        XtVaSetValues(ws.run, XmNfontList, adata->buttonFont, nullptr);
        XtVaSetValues(ws.newb, XmNfontList, adata->buttonFont, nullptr);
    }
    set_label(ws.run, ws_message(5));
    set_label(ws.newb, ws_message(6));
    Widget managed[] = {ws.target, ws.run, ws.newb};
    XtManageChildren(managed, 3);
    XmAddTabGroup(ws.newb);
    XmAddTabGroup(ws.run);
    XmAddTabGroup(query_rc);
    RegisterHelp(ws.newb, ws.run, ws.target, static_cast<Widget>(nullptr), 206, 207, 208, 0);
    ws.stop_label = XmStringCreateLocalized(const_cast<char *>(ws_message(4)));

    Widget bbox = make_box(form, "buildBoxF", "buildBoxL", "buildBoxRC", 3, adata, build_tool_box, 5, &build_rc);
    XtVaSetValues(bbox, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, ws.run,
                  nullptr);
    XmAddTabGroup(build_rc);

    ws.trash_frame = XtVaCreateManagedWidget("trashCanF", xmFrameWidgetClass, form, XmNtopAttachment, XmATTACH_FORM,
                                             XmNrightAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET,
                                             XmNleftWidget, bbox, nullptr);
    ws.trash = XtVaCreateManagedWidget("trashCan", xmLabelWidgetClass, ws.trash_frame, nullptr);
    set_label(ws.trash, ws_message(7));
    RegisterHelp(ws.trash, static_cast<Widget>(nullptr), 205, 0);

    ws.title = XtVaCreateManagedWidget("workspaceT", xmLabelWidgetClass, form, XmNtopAttachment, XmATTACH_WIDGET,
                                       XmNtopWidget, qbox, XmNleftAttachment, XmATTACH_FORM, nullptr);
    if (adata->titleFont)
        XtVaSetValues(ws.title, XmNfontList, adata->titleFont, nullptr);
    XmString wide = XmStringCreateLocalized(const_cast<char *>("MMMMMMMMM"));
    ws.search = XtVaCreateManagedWidget("searchTabL", xmLabelWidgetClass, form, XmNlabelString, wide,
                                        XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, qbox, XmNrightAttachment,
                                        XmATTACH_FORM, nullptr);
    XmStringFree(wide);
    if (adata->labelFont)
        XtVaSetValues(ws.search, XmNfontList, adata->labelFont, nullptr);
    XtVaSetValues(ws.search, XmNrecomputeSize, False, nullptr);
    set_label(ws.search, "");

    ws.sw = XtVaCreateManagedWidget("workspaceSW", xmScrolledWindowWidgetClass, form, XmNscrollingPolicy,
                                    XmAUTOMATIC, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, ws.title,
                                    XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                                    XmNbottomAttachment, XmATTACH_FORM, nullptr);
    XtAddEventHandler(ws.sw, StructureNotifyMask, False, resize_cb, nullptr);
    XtVaGetValues(ws.sw, XmNclipWindow, &ws.clip, XmNhorizontalScrollBar, &ws.hbar, XmNverticalScrollBar, &ws.vbar,
                  nullptr);
    if (ws.hbar)
        XmAddTabGroup(ws.hbar);
    if (ws.vbar)
        XmAddTabGroup(ws.vbar);

    ws.canvas = XtVaCreateManagedWidget("workspace", xmDrawingAreaWidgetClass, ws.sw, XmNresizePolicy, XmRESIZE_NONE,
                                        XmNwidth, 1, XmNheight, 1, nullptr);
    ws.width = ws.height = 0;
    XtAddEventHandler(ws.canvas, KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask, False,
                      wsevent_ws_input_cb, nullptr);
    XtAddEventHandler(ws.canvas, ExposureMask, False, wsevent_ws_expose_cb, nullptr);
    RegisterHelp(ws.canvas, static_cast<Widget>(nullptr), 204, 0);

    static const char *target_files[4] = {"term.target", "graph.target", "table.target", "pipe.target"};
    for (int i = 0; i < 4; i++)
        ws.targets[i] = load_bitmap(ws.target, target_files[i]);
    ws.target_index = -1;
    wsmain_ws_set_target_icon(0);
    XtManageChild(main_frame);
    return main_frame;
}

// ---- canvas size -------------------------------------------------------------------------------

void wsmain_ws_get_drawing_area_size(int *width, int *height)
{
    *width = ws.width;
    *height = ws.height;
}

void wsmain_ws_resize_drawing_area(int width, int height)
{
    int w = width == 0 ? ws.width : width, h = height == 0 ? ws.height : height;
    if (w > MAX_CANVAS) {
        if (ws.width != MAX_CANVAS)
            fputs(vx_msgf(ws.catd, WS_CLIPPED_WIDTH).c_str(), stderr);
        w = MAX_CANVAS;
    }
    if (h > MAX_CANVAS) {
        if (ws.height != MAX_CANVAS)
            fputs(vx_msgf(ws.catd, WS_CLIPPED_HEIGHT).c_str(), stderr);
        h = MAX_CANVAS;
    }
    bool changed = false;
    if (w > ws.width) {
        ws.width = w;
        changed = true;
    }
    if (h > ws.height) {
        ws.height = h;
        changed = true;
    }
    if (changed && ws.canvas)
        XtVaSetValues(ws.canvas, XmNwidth, static_cast<Dimension>(std::max(1, ws.width)), XmNheight,
                      static_cast<Dimension>(std::max(1, ws.height)), nullptr);
}

void wsmain_ws_fit_drawing_area()
{
    if (!ws.clip)
        return;
    Dimension w = 0, h = 0;
    XtVaGetValues(ws.clip, XmNwidth, &w, XmNheight, &h, nullptr);
    wsmain_ws_resize_drawing_area(w, h);
}

void wsmain_ws_clear()
{
    if (ws.canvas && XtIsRealized(ws.canvas))
        XClearArea(XtDisplay(ws.canvas), XtWindow(ws.canvas), 0, 0, 0, 0, False);
}

ObBox wsmain_ws_visible_box()
{
    if (!ws.canvas || !ws.clip)
        return {0, 0, ws.width, ws.height};
    Position cx = 0, cy = 0;
    XtVaGetValues(ws.canvas, XmNx, &cx, XmNy, &cy, nullptr);
    Dimension w = 0, h = 0;
    XtVaGetValues(ws.clip, XmNwidth, &w, XmNheight, &h, nullptr);
    return {-cx, -cy, w, h};
}

void wsmain_ws_refresh_from(int y)
{
    if (!ws.canvas || !XtIsRealized(ws.canvas))
        return;
    ObBox v = wsmain_ws_visible_box();
    const int top = std::max(y, v.y);
    const int bottom = v.y + v.height;
    if (bottom <= top || v.width <= 0)
        return;
    XClearArea(XtDisplay(ws.canvas), XtWindow(ws.canvas), v.x, top, static_cast<unsigned>(v.width),
               static_cast<unsigned>(bottom - top), True);
}

static void position_bar(Widget bar, int value)
{
    if (!bar)
        return;
    int cur = 0, max = 0, slider = 0;
    XtVaGetValues(bar, XmNvalue, &cur, XmNmaximum, &max, XmNsliderSize, &slider, nullptr);
    int v = value + slider > max ? max - slider : value;
    v = std::max(v, 0);
    if (v == cur)
        return;
    XtVaSetValues(bar, XmNvalue, v, nullptr);
    XmScrollBarCallbackStruct cb{};
    cb.reason = v > cur ? XmCR_INCREMENT : XmCR_DECREMENT;
    cb.value = v;
    XtCallCallbacks(bar, v > cur ? XmNincrementCallback : XmNdecrementCallback, &cb);
}

void wsmain_ws_position_at(int x, int y)
{
    position_bar(ws.hbar, x);
    position_bar(ws.vbar, y);
}

static bool in_widget(Widget w, int rx, int ry)
{
    if (!w || !XtIsRealized(w))
        return false;
    Position x = 0, y = 0;
    XtTranslateCoords(w, 0, 0, &x, &y);
    Dimension width = 0, height = 0;
    XtVaGetValues(w, XmNwidth, &width, XmNheight, &height, nullptr);
    return rx >= x && rx < x + width && ry >= y && ry < y + height;
}

bool wsmain_ws_event_in_scrolled_window(int root_x, int root_y) { return in_widget(ws.clip, root_x, root_y); }
bool wsmain_ws_event_in_trash_can(int root_x, int root_y) { return in_widget(ws.trash_frame, root_x, root_y); }

void wsmain_ws_get_canvas_position(int root_x, int root_y, int *x, int *y)
{
    Position cx = 0, cy = 0;
    if (ws.canvas && XtIsRealized(ws.canvas))
        XtTranslateCoords(ws.canvas, 0, 0, &cx, &cy);
    *x = root_x - cx;
    *y = root_y - cy;
}

void wsmain_ws_canvas_to_root(int x, int y, int *root_x, int *root_y)
{
    Position cx = 0, cy = 0;
    if (ws.canvas && XtIsRealized(ws.canvas))
        XtTranslateCoords(ws.canvas, 0, 0, &cx, &cy);
    *root_x = x + cx;
    *root_y = y + cy;
}

void wsmain_ws_expose_box(const ObBox &box, QueryObject *excluded)
{
    if (ws.canvas && XtIsRealized(ws.canvas) && box.width > 0 && box.height > 0)
        XClearArea(XtDisplay(ws.canvas), XtWindow(ws.canvas), box.x, box.y, static_cast<unsigned>(box.width),
                   static_cast<unsigned>(box.height), False);
    wsevent_ws_expose_objects(&box, excluded);
}

void wsmain_ws_flush()
{
    if (ws.canvas)
        XFlush(XtDisplay(ws.canvas));
}

// ---- type-ahead search ------------------------------------------------------------------------------

const char *wsmain_ws_search_buffer() { return ws.buffer; }
int wsmain_ws_last_found() { return ws.last_found; }
void wsmain_ws_reset_search()
{
    ws.buffer[0] = ws.last_text[0] = '\0';
    ws.last_found = -1;
}

std::string wsmain_ws_search_label()
{
    if (!ws.search)
        return ws.buffer;
    XmString s = nullptr;
    XtVaGetValues(ws.search, XmNlabelString, &s, nullptr);
    char *text = s ? static_cast<char *>(XmStringUnparse(s, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0,
                                                         XmOUTPUT_ALL))
                   : nullptr;
    std::string out = text ? text : "";
    XtFree(text);
    XmStringFree(s);
    return out;
}

// Removes the buffer's last character (a whole multibyte one).
static void drop_last_char(char *buffer)
{
    size_t n = strlen(buffer), i = 0, last = 0;
    mbstate_t st{};
    while (i < n) {
        size_t k = mbrlen(buffer + i, n - i, &st);
        if (k == 0 || k == static_cast<size_t>(-1) || k == static_cast<size_t>(-2))
            k = 1, st = mbstate_t{};
        last = i;
        i += k;
    }
    buffer[last] = '\0';
}

static void find_table()
{
    int count = 0;
    wsobj_ws_table_list(&count);
    const int shown = ws_get_num_displayed_tables();
    const size_t len = strlen(ws.last_text);
    int index = ws.last_found;
    for (int examined = 0; examined < count && shown > 0; examined++) {
        if (++index >= shown) {
            // Past the shown tables: start again at the first.
            index = 0;
            ws.last_found = -1;
        }
        DictRelation *rel = nullptr;
        TableListEntry *e = wsobj_ws_get_table_name(index, &rel);
        if (e && rel && strncmp(e->name, ws.last_text, len) == 0) {
            const int y = rel->table_object ? rel->table_object->outer.y - obmain_table_y_gap : 0;
            wsmain_ws_position_at(0, std::max(0, y));
            ws.last_found = index;
            return;
        }
    }
    wsevent_ws_bell();
}

void wsmain_ws_search_table_op(KeySym key, const char *text, int length)
{
    if (key == XK_BackSpace) {
        if (!ws.buffer[0])
            wsevent_ws_bell();
        else
            drop_last_char(ws.buffer);
    } else if (key == XK_Return || key == XK_KP_Enter) {
        strupper(ws.buffer, ws.buffer);
        if (ws.buffer[0]) {
            safe_strcpy(ws.last_text, ws.buffer, sizeof ws.last_text);
            ws.last_found = -1;
        }
        if (ws.last_text[0])
            find_table();
        else
            wsevent_ws_bell();
        ws.buffer[0] = '\0';
    } else if (text && length > 0) {
        const size_t have = strlen(ws.buffer);
        const size_t add = strnlen(text, static_cast<size_t>(length));
        if (have + add > sizeof ws.buffer - 1)
            wsevent_ws_bell();
        else {
            memcpy(ws.buffer + have, text, add);
            ws.buffer[have + add] = '\0';
        }
    }
    set_label(ws.search, ws.buffer);
}

// ---- title and buttons --------------------------------------------------------------------------------

void wsmain_ws_set_db_name(const char *name)
{
    set_label(ws.title, vx_msgf(ws.catd, WS_TITLE, name ? name : "").c_str());
}

void wsmain_ws_set_buttons(const char *new_label, XtCallbackProc new_proc, XtPointer new_data, const char *run_label,
                           XtCallbackProc run_proc, XtPointer run_data)
{
    if (new_label && ws.newb) {
        set_label(ws.newb, new_label);
        if (new_proc)
            XtAddCallback(ws.newb, XmNactivateCallback, new_proc, new_data);
    }
    if (run_label && ws.run) {
        set_label(ws.run, run_label);
        if (run_proc)
            XtAddCallback(ws.run, XmNactivateCallback, run_proc, run_data);
    }
}

void wsmain_ws_set_buttons_sensitive(int on)
{
    if (ws.newb)
        XtSetSensitive(ws.newb, on ? True : False);
    if (ws.run && !(ws.stop_enabled && !on))
        XtSetSensitive(ws.run, on ? True : False);
}

void wsmain_ws_enable_stop(int on)
{
    if (!ws.run)
        return;
    if (on && !ws.stop_enabled) {
        XmString label = nullptr;
        XtVaGetValues(ws.run, XmNlabelString, &label, nullptr);
        if (ws.run_label)
            XmStringFree(ws.run_label);
        ws.run_label = label;
        ws.run_proc = nullptr;
        ws.run_data = nullptr;
        XtCallbackList list = nullptr;
        XtVaGetValues(ws.run, XmNactivateCallback, &list, nullptr);
        if (list && list[0].callback) {
            ws.run_proc = list[0].callback;
            ws.run_data = list[0].closure;
            XtRemoveCallback(ws.run, XmNactivateCallback, ws.run_proc, ws.run_data);
        }
        ws.run_sensitive = XtIsSensitive(ws.run);
        XtVaSetValues(ws.run, XmNlabelString, ws.stop_label, nullptr);
        XtAddCallback(ws.run, XmNactivateCallback, stop_cb, nullptr);
        XtSetSensitive(ws.run, True);
        ws.stop_enabled = 1;
        XFlush(XtDisplayOfObject(ws.run));
    } else if (!on && ws.stop_enabled) {
        if (!ws.stop_caught)
            remove_stop_callback();
        if (ws.run_label)
            XtVaSetValues(ws.run, XmNlabelString, ws.run_label, nullptr);
        if (ws.run_proc)
            XtAddCallback(ws.run, XmNactivateCallback, ws.run_proc, ws.run_data);
        XtSetSensitive(ws.run, ws.run_sensitive);
        ws.stop_enabled = 0;
    }
    ws.stop_proc = nullptr;
    ws.stop_pending = 0;
    ws.stop_caught = 0;
}

WsStopProc wsmain_ws_set_stop_proc(WsStopProc proc)
{
    WsStopProc previous = ws.stop_proc;
    ws.stop_proc = proc;
    if (proc && ws.stop_enabled && ws.stop_pending) {
        ws.stop_pending = 0;
        proc();
    }
    return previous;
}

Widget wsmain_ws_get_stop_button() { return ws.run ? XtParent(ws.run) : nullptr; }

void wsmain_ws_stop_state(int *enabled, int *pending, int *caught)
{
    *enabled = ws.stop_enabled;
    *pending = ws.stop_pending;
    *caught = ws.stop_caught;
}

int wsmain_ws_set_target_icon(int index)
{
    const int previous = ws.target_index;
    if (index < 0 || index > 3 || index == ws.target_index)
        return previous;
    ws.target_index = index;
    if (ws.target && ws.targets[index] != XmUNSPECIFIED_PIXMAP && ws.targets[index]) {
        XtVaSetValues(ws.target, XmNlabelPixmap, ws.targets[index], nullptr);
        // A pixmap of the same size does not redraw the label by itself:
        // its window is exposed again so that the new picture shows.
        if (XtIsRealized(ws.target))
            XClearArea(XtDisplay(ws.target), XtWindow(ws.target), 0, 0, 0, 0, True);
    }
    return previous;
}
