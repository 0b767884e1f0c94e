// The query-object framework: class table, standard methods, labels and
// boxes, standard drawing, the object layer's start-up.

#include "obmain.h"
#include "obbox.h"

#include "vxadata.h"
#include "vxmsg.h"
#include "vxutil.h"
#include "wsmsgs.h"
#include "wsxfer.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cstdio>
#include <cstring>
#include <cwchar>

ObClass obmain_object_class[OB_KINDS];

Widget obmain_ob_toplevel = nullptr;
int obmain_table_x_gap = 10, obmain_table_y_gap = 60, obmain_table_x_extra = 100;
// xfer_check_stop_interval lives with the transfer (wsxfer.cpp).
Widget ob_stop_widget = nullptr;
int obmain_ob_options[4] = {0, 0, 0, 0};
ObDrawing obmain_gri{};
char obmain_kind_prefix[OB_KINDS][20];

// ---- kind-data sizes ------------------------------------------------------------------

int obmain_kind_data_size(int kind)
{
    switch (kind) {
    case OB_EXPRESSION: return sizeof(ObExpressionData);
    case OB_CONDITION: return sizeof(ObConditionData);
    case OB_STATISTIC: return sizeof(ObStatisticData);
    case OB_COLUMN: return sizeof(ObColumnData);
    case OB_VARIABLE: return sizeof(ObVariableData);
    case OB_SORT: return sizeof(ObSortData);
    case OB_GROUP: return sizeof(ObGroupData);
    case OB_JOIN: return sizeof(ObJoinData);
    case OB_TABLE: return sizeof(ObTableData);
    case OB_INDEX: return sizeof(ObIndexData);
    case OB_USER: return sizeof(ObUserData);
    case OB_PRIVILEGE: return sizeof(ObPrivilegeData);
    case OB_TRANSFER: return sizeof(ObTransferData);
    case OB_ROWEDIT: return sizeof(ObRowEditData);
    default: return 0;
    }
}

// The label text of every kind with a text sits right after the kind.
static_assert(offsetof(ObExpressionData, text) == sizeof(int));
static_assert(offsetof(ObConditionData, text) == sizeof(int));
static_assert(offsetof(ObStatisticData, text) == sizeof(int));
static_assert(offsetof(ObVariableData, name) == sizeof(int));
static_assert(offsetof(ObSortData, text) == sizeof(int));
static_assert(offsetof(ObGroupData, text) == sizeof(int));
static_assert(offsetof(ObJoinData, text) == sizeof(int));

// The longest text field after the kind, by kind (0: none).
static size_t kind_text_capacity(int kind)
{
    switch (kind) {
    case OB_EXPRESSION: return sizeof(ObExpressionData::text);
    case OB_CONDITION: return sizeof(ObConditionData::text);
    case OB_STATISTIC: return sizeof(ObStatisticData::text);
    case OB_VARIABLE: return sizeof(ObVariableData::name);
    case OB_SORT: return sizeof(ObSortData::text);
    case OB_GROUP: return sizeof(ObGroupData::text);
    case OB_JOIN: return sizeof(ObJoinData::text);
    default: return 0;
    }
}

// ---- metrics ----------------------------------------------------------------------------

namespace {

int plain_height() { return 13; }
int plain_width(const char *, int length) { return 6 * length; }
const ObMetrics plain_metrics{plain_height, plain_width};

int x_font_height()
{
    int height = 0;
    XmFontContext ctx;
    if (obmain_gri.label_fonts && XmFontListInitFontContext(&ctx, obmain_gri.label_fonts)) {
        while (XmFontListEntry entry = XmFontListNextEntry(ctx)) {
            XmFontType type;
            XtPointer f = XmFontListEntryGetFont(entry, &type);
            if (f && type == XmFONT_IS_FONT) {
                auto *fs = static_cast<XFontStruct *>(f);
                height = std::max(height, fs->ascent + fs->descent);
            } else if (f && type == XmFONT_IS_FONTSET) {
                XFontSetExtents *ext = XExtentsOfFontSet(static_cast<XFontSet>(f));
                if (ext)
                    height = std::max<int>(height, ext->max_logical_extent.height);
            }
        }
        XmFontListFreeFontContext(ctx);
    }
    return height > 0 ? height : 13;
}

int x_line_width(const char *line, int length)
{
    std::string text(line, static_cast<size_t>(length));
    XmString s = XmStringCreateLocalized(const_cast<char *>(text.c_str()));
    int w = XmStringWidth(obmain_gri.label_fonts, s);
    XmStringFree(s);
    return w;
}
int x_widest_char()
{
    return obmain_gri.label_font ? obmain_gri.label_font->max_bounds.width : x_line_width("M", 1);
}
const ObMetrics x_metrics{x_font_height, x_line_width, x_widest_char};

const ObMetrics *metrics = &plain_metrics;
int font_height = -1;  // measured at the first label

}  // namespace

void obmain_set_metrics(const ObMetrics *m)
{
    metrics = m ? m : &plain_metrics;
    font_height = -1;
}

int obmain_ob_widest_char()
{
    return metrics->widest_char ? metrics->widest_char() : metrics->line_width("M", 1);
}

// ---- boxes ----------------------------------------------------------------------------------

namespace {
ObBoxWatcher box_watcher = nullptr;
}
void obbox_set_watcher(ObBoxWatcher watcher) { box_watcher = watcher; }
ObBoxWatcher obbox_watcher() { return box_watcher; }

// ---- messages and labels ----------------------------------------------------------------

const char *obmain_ob_message(int number)
{
    static char buffer[80];
    const char *text = vx_msg_text(obmain_ob_nlsfd, 61, number, nullptr);
    if (!text || text[0] == '!')
        text = "";
    safe_strcpy(buffer, text, sizeof buffer - 1);
    return buffer;
}

// Length of the longest start of `text` of at most `max` bytes that ends on
// a whole character.
static size_t whole_chars(const char *text, size_t length, size_t max)
{
    if (length <= max)
        return length;
    size_t n = 0;
    mbstate_t st{};
    while (n < max) {
        size_t k = mbrlen(text + n, length - n, &st);
        if (k == 0 || k == static_cast<size_t>(-1) || k == static_cast<size_t>(-2))
            k = 1, st = mbstate_t{};
        if (n + k > max)
            break;
        n += k;
    }
    return n;
}

const char *obmain_ob_string_value(const char *prefix, const void *kind_data)
{
    static char label[241];
    constexpr size_t limit = 240;
    size_t n = 0;
    if (prefix && prefix[0]) {
        n = whole_chars(prefix, strlen(prefix), limit);
        memcpy(label, prefix, n);
        if (n < limit)
            label[n++] = ' ';
    }
    if (kind_data) {
        int kind = *static_cast<const int *>(kind_data);
        size_t cap = kind_text_capacity(kind);
        if (cap) {
            const char *text = static_cast<const char *>(kind_data) + sizeof(int);
            size_t len = strnlen(text, cap);
            size_t take = whole_chars(text, len, limit - n);
            memcpy(label + n, text, take);
            n += take;
        }
    }
    label[n] = '\0';
    // Lines of at most about 60 characters, broken at the last blank of
    // each window of 60.
    long remaining = static_cast<long>(n);
    for (long k = 1; remaining > 60; k++, remaining -= 60) {
        for (long p = 60 * k; p >= 60 * k - 59; p--) {
            if (p < static_cast<long>(n) && label[p] == ' ') {
                label[p] = '\n';
                break;
            }
        }
    }
    return label;
}

void obmain_ob_string_size(const char *label, ObPoint *result)
{
    if (font_height < 0)
        font_height = metrics->font_height();
    int lines = 0, width = 0;
    const char *p = label ? label : "";
    for (;;) {
        const char *nl = strchr(p, '\n');
        int len = nl ? static_cast<int>(nl - p) : static_cast<int>(strlen(p));
        width = std::max(width, metrics->line_width(p, len));
        lines++;
        if (!nl)
            break;
        p = nl + 1;
    }
    result->x = std::max(20, width + 6);
    result->y = std::max(10, lines * font_height + 4);
}

void obmain_ob_set_object_bounds(QueryObject *object, const char *prefix, const void *kind_data)
{
    ObPoint size;
    obmain_ob_string_size(obmain_ob_string_value(prefix, kind_data), &size);
    const int ax = object->anchor_x, ay = object->anchor_y;
    object->outer = {ax - 2, ay - 2, size.x + 4, size.y + 4};
    object->layout = object->outer;
    object->select = {ax, ay, size.x, size.y};
    object->drop = object->select;
}

// ---- standard methods ---------------------------------------------------------------------

void obmain_std_create_object(QueryObject **result, const char *prefix, const void *kind_data, int size,
                              const ObPoint *point, QueryObject *, int kind)
{
    *result = nullptr;
    auto *object = static_cast<QueryObject *>(vx_malloc(sizeof(QueryObject), 1));
    *object = QueryObject{};
    object->kind = kind;
    object->kind_data_size = size;
    if (size > 0) {
        object->kind_data = vx_malloc(size, 1);
        if (kind_data)
            memcpy(object->kind_data, kind_data, static_cast<size_t>(size));
        else {
            memset(object->kind_data, 0, static_cast<size_t>(size));
            *static_cast<int *>(object->kind_data) = kind;
        }
    }
    object->selected = 0;
    object->anchor_x = point ? point->x : 0;
    object->anchor_y = point ? point->y : 0;
    obmain_ob_set_object_bounds(object, prefix, object->kind_data);
    object->next = nullptr;
    object->draw_link = nullptr;
    *result = object;
}

void obmain_std_destroy_object(QueryObject *object)
{
    if (!object)
        return;
    vx_free(object->kind_data);
    vx_free(object);
}

void obmain_std_delete_object(QueryObject *, void *, int *result) { *result = 1; }

void obmain_std_edit_object(QueryObject *object, const char *prefix, const void *kind_data)
{
    if (kind_data && object->kind_data)
        memcpy(object->kind_data, kind_data, static_cast<size_t>(object->kind_data_size));
    obmain_ob_set_object_bounds(object, prefix, object->kind_data);
}

void obmain_std_move_object(QueryObject *object, ObPoint *point)
{
    const int dx = point->x + 2 - object->anchor_x;
    const int dy = point->y + 2 - object->anchor_y;
    object->anchor_x += dx;
    object->anchor_y += dy;
    for (ObBox *b : {&object->outer, &object->select, &object->drop, &object->layout}) {
        b->x += dx;
        b->y += dy;
    }
}

void obmain_std_select_object(QueryObject *object, int on) { object->selected = on ? 1 : 0; }
void obmain_std_validate_object(void *, int, int *result) { *result = 1; }
void obmain_std_permit_object(QueryObject *, int, int *result) { *result = 0; }

// The canvas gets its window only when the work area is realised, which
// start-up does after the object layer is initialised.
bool obmain_ob_can_draw()
{
    if (!obmain_gri.window && obmain_gri.canvas && XtIsRealized(obmain_gri.canvas))
        obmain_gri.window = XtWindow(obmain_gri.canvas);
    return obmain_gri.display && obmain_gri.window && obmain_gri.gc;
}
static bool can_draw() { return obmain_ob_can_draw(); }

void obmain_std_draw_object(QueryObject *object, const char *prefix, int selected)
{
    if (!can_draw())
        return;
    Display *d = obmain_gri.display;
    const ObBox &o = object->outer, &s = object->select;
    XSetForeground(d, obmain_gri.gc, obmain_gri.outline);
    XDrawRectangle(d, obmain_gri.window, obmain_gri.gc, o.x + 1, o.y + 1, static_cast<unsigned>(std::max(0, o.width - 2)),
                   static_cast<unsigned>(std::max(0, o.height - 2)));
    XSetForeground(d, obmain_gri.gc, selected ? obmain_gri.foreground : obmain_gri.background);
    XFillRectangle(d, obmain_gri.window, obmain_gri.gc, s.x, s.y, static_cast<unsigned>(std::max(0, s.width)),
                   static_cast<unsigned>(std::max(0, s.height)));
    if (selected) {
        XSetForeground(d, obmain_gri.gc, obmain_gri.background);
        XSetBackground(d, obmain_gri.gc, obmain_gri.foreground);
    } else {
        XSetForeground(d, obmain_gri.gc, obmain_gri.foreground);
        XSetBackground(d, obmain_gri.gc, obmain_gri.background);
    }
    const char *label = obmain_ob_string_value(prefix, object->kind_data);
    XmString xs = XmStringGenerate(const_cast<char *>(label), nullptr, XmCHARSET_TEXT, nullptr);
    if (obmain_gri.label_fonts)
        XmStringDraw(d, obmain_gri.window, obmain_gri.label_fonts, xs, obmain_gri.gc, static_cast<Position>(s.x),
                     static_cast<Position>(s.y + 2), static_cast<Dimension>(std::max(1, s.width)),
                     XmALIGNMENT_BEGINNING, XmSTRING_DIRECTION_L_TO_R, nullptr);
    XmStringFree(xs);
    XSetForeground(d, obmain_gri.gc, obmain_gri.foreground);
    XSetBackground(d, obmain_gri.gc, obmain_gri.background);
}

void obmain_std_undraw_object(QueryObject *object)
{
    if (!can_draw() || !object)
        return;
    const ObBox &o = object->outer;
    if (o.width > 0 && o.height > 0)
        XClearArea(obmain_gri.display, obmain_gri.window, o.x, o.y, static_cast<unsigned>(o.width),
                   static_cast<unsigned>(o.height), False);
}

void obmain_std_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    if (!kind_data)
        return;
    const int kind = *static_cast<int *>(kind_data);
    if (kind < 0 || kind >= OB_KINDS)
        return;
    // A kind with a text makes nothing of an empty one.
    if (kind_text_capacity(kind) && !static_cast<char *>(kind_data)[sizeof(int)])
        return;
    ObPoint at{x, y};
    obmain_std_create_object(result, obmain_kind_prefix[kind], kind_data, obmain_kind_data_size(kind), &at, drop,
                             kind);
}

void obmain_std_edit(QueryObject *object, void *kind_data)
{
    if (!kind_data)
        return;
    obmain_std_edit_object(object, obmain_kind_prefix[object->kind], kind_data);
}

namespace {
// One value record per kind, big enough for any kind data.
union AnyKindData {
    ObExpressionData a;
    ObConditionData b;
    ObStatisticData c;
    ObColumnData d;
    ObVariableData e;
    ObSortData f;
    ObGroupData g;
    ObJoinData h;
    ObTableData i;
    ObIndexData j;
    ObUserData k;
    ObPrivilegeData l;
    ObTransferData m;
    ObRowEditData n;
};
AnyKindData std_values[OB_KINDS];

template <int K>
void std_newval(void **value, QueryObject *)
{
    memset(&std_values[K], 0, sizeof std_values[K]);
    *reinterpret_cast<int *>(&std_values[K]) = K;
    *value = &std_values[K];
}

template <int... K>
constexpr std::array<ObNewvalProc, sizeof...(K)> make_newvals(std::integer_sequence<int, K...>)
{
    return {std_newval<K>...};
}
constexpr auto std_newvals = make_newvals(std::make_integer_sequence<int, OB_KINDS>{});
}  // namespace

ObNewvalProc obmain_std_newval(int kind) { return kind >= 0 && kind < OB_KINDS ? std_newvals[kind] : nullptr; }

void obmain_std_draw(QueryObject *object, int selected)
{
    obmain_std_draw_object(object, obmain_kind_prefix[object->kind], selected);
}

// ---- unsupported ----------------------------------------------------------------------------

static void unsupported() { fputs(vx_msgf(obmain_ob_nlsfd, OB_UNSUPPORTED_METHOD).c_str(), stderr); }
void obmain_std_unsupported_object(QueryObject *) { unsupported(); }
void obmain_std_unsupported_object(QueryObject **, void *, int, int, QueryObject *) { unsupported(); }
void obmain_std_unsupported_object(QueryObject *, void *, int *) { unsupported(); }
void obmain_std_unsupported_object(QueryObject *, void *) { unsupported(); }
void obmain_std_unsupported_object(QueryObject *, ObPoint *) { unsupported(); }
void obmain_std_unsupported_object(QueryObject *, int) { unsupported(); }

// ---- the class table ---------------------------------------------------------------------------

void obmain_set_class(int kind, int dialog_id, int drawn, int selection, int referenceable, int editable,
                      int movable, int trashable, int dismiss_notify, int drop_mask)
{
    if (kind < 0 || kind >= OB_KINDS)
        return;
    ObClass &c = obmain_object_class[kind];
    c.kind = kind;
    c.dialog_id = dialog_id;
    c.drawn = drawn;
    c.selection = selection;
    c.referenceable = referenceable;
    c.editable = editable;
    c.movable = movable;
    c.trashable = trashable;
    c.dismiss_notify = dismiss_notify;
    c.drop_mask = drop_mask;
    c.create = obmain_std_create;
    c.destroy = obmain_std_destroy_object;
    c.del = obmain_std_delete_object;
    c.edit = obmain_std_edit;
    c.move = obmain_std_move_object;
    c.select = obmain_std_select_object;
    c.validate = obmain_std_validate_object;
    c.permit = obmain_std_permit_object;
    c.newval = obmain_std_newval(kind);
    c.draw = obmain_std_draw;
    c.undraw = obmain_std_undraw_object;
    // Kinds that are never on the canvas cannot be moved, selected or drawn;
    // the transfer and row-edit requests are not kept as objects at all.
    const bool hidden = kind == OB_INDEX || kind == OB_USER || kind == OB_PRIVILEGE;
    const bool request = kind == OB_TRANSFER || kind == OB_ROWEDIT;
    if (hidden || request) {
        c.move = obmain_std_unsupported_object;
        c.select = obmain_std_unsupported_object;
        c.draw = obmain_std_unsupported_object;
        c.undraw = obmain_std_unsupported_object;
    }
    if (request) {
        c.destroy = obmain_std_unsupported_object;
        c.del = obmain_std_unsupported_object;
        c.edit = obmain_std_unsupported_object;
    }
}

static void load_prefix(int kind, int number)
{
    safe_strcpy(obmain_kind_prefix[kind], obmain_ob_message(number), sizeof obmain_kind_prefix[kind] - 1);
}

void obmain_load_prefix(int kind, int number) { load_prefix(kind, number); }

void obmain_initialise_classes()
{
    obexpr_initialise_expression_object();
    obexpr_initialise_condition_object();
    obuser_initialise_user_object();
    obsort_initialise_sort_object();
    objoin_initialise_join_object();
    objoin_initialise_group_object();
    obstat_initialise_statistic_object();
    obvar_initialise_variable_object();
    obtab_initialise_table_object();
    obcol_initialise_column_object();
    obidx_initialise_index_object();
    obpriv_initialise_privilege_object();
    obxfer_initialise_transfer_object();
    obedit_initialise_edit_object();
}

// ---- drawing context and start-up -------------------------------------------------------------

void obmain_ob_set_clip_rect(const XRectangle *rect)
{
    if (!obmain_gri.display || !obmain_gri.gc)
        return;
    if (rect) {
        XRectangle r = *rect;
        XSetClipRectangles(obmain_gri.display, obmain_gri.gc, 0, 0, &r, 1, Unsorted);
    } else {
        XSetClipMask(obmain_gri.display, obmain_gri.gc, None);
    }
}

static XFontStruct *first_font(XmFontList list)
{
    XFontStruct *font = nullptr;
    XmFontContext ctx;
    if (list && XmFontListInitFontContext(&ctx, list)) {
        if (XmFontListEntry entry = XmFontListNextEntry(ctx)) {
            XmFontType type;
            XtPointer f = XmFontListEntryGetFont(entry, &type);
            if (f && type == XmFONT_IS_FONT)
                font = static_cast<XFontStruct *>(f);
            else if (f && type == XmFONT_IS_FONTSET) {
                XFontStruct **fonts;
                char **names;
                if (XFontsOfFontSet(static_cast<XFontSet>(f), &fonts, &names) > 0)
                    font = fonts[0];
            }
        }
        XmFontListFreeFontContext(ctx);
    }
    return font;
}

void obmain_object_init(Widget toplevel, Widget canvas, const AppData *adata)
{
    obmain_ob_nlsfd = adata->catd;
    obmain_ob_toplevel = toplevel;
    obmain_table_x_gap = adata->tableXGap;
    obmain_table_y_gap = adata->tableYGap;
    obmain_table_x_extra = adata->tableXExtra;
    wsxfer_set_check_stop_interval(adata->xferCheckStopInterval);
    obmain_gri.label_fonts = adata->labelFont;
    obmain_gri.info_fonts = adata->detailFont ? adata->detailFont : adata->labelFont;
    obmain_gri.canvas = canvas;
    obmain_gri.display = canvas ? XtDisplay(canvas) : nullptr;
    obmain_gri.window = canvas ? XtWindow(canvas) : 0;
    obmain_gri.outline = adata->tableColor;
    if (canvas)
        XtVaGetValues(canvas, XmNforeground, &obmain_gri.foreground, XmNbackground, &obmain_gri.background, nullptr);
    obmain_gri.label_font = first_font(obmain_gri.label_fonts);
    obmain_gri.info_font = first_font(obmain_gri.info_fonts);
    if (obmain_gri.display) {
        XGCValues v{};
        unsigned long mask = GCForeground | GCBackground | GCLineWidth;
        v.foreground = obmain_gri.foreground;
        v.background = obmain_gri.background;
        v.line_width = 2;
        if (obmain_gri.label_font) {
            v.font = obmain_gri.label_font->fid;
            mask |= GCFont;
        }
        Window root = RootWindowOfScreen(XtScreen(canvas));
        obmain_gri.gc = XCreateGC(obmain_gri.display, root, mask, &v);
        if (obmain_gri.label_fonts)
            obmain_set_metrics(&x_metrics);
    }
}

// The canvas window exists only once the work area is realised.
void obmain_ob_set_window(Window window) { obmain_gri.window = window; }

void obmain_ob_set_stop_widget(Widget w) { ob_stop_widget = w; }

// Every slot holds a method from the start, so the layout and the manager
// may run before start-up initialises the classes (start-up calls the
// initialisers again once the catalogue is open, for the prefixes).
namespace {
const bool classes_ready = (obmain_initialise_classes(), true);
}
