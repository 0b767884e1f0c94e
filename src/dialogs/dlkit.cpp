// The dialog kit: makers, texts, layouts, text helpers, validation tables,
// list items, directory listings, popup rules and pick texts.

#include "dlkit.h"

#include "vxutil.h"

#include <X11/IntrinsicP.h>
#include <X11/CoreP.h>
#include <Xm/FileSB.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/LabelG.h>
#include <Xm/List.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

// ---- construction ---------------------------------------------------------------

static void add_arg(std::vector<Arg> &args, const char *name, XtArgVal value)
{
    Arg a;
    XtSetArg(a, const_cast<char *>(name), value);
    args.push_back(a);
}

Widget make_prompt_dialog(Widget parent, const char *name, int id, int button_type, bool modal,
                          std::initializer_list<Arg> extra)
{
    std::vector<Arg> args;
    dlmain_setup_dialog(button_type, args);
    DlXmString title(id, 1);
    add_arg(args, XmNdialogTitle, title.arg());
    if (modal)
        add_arg(args, XmNdialogStyle, XmDIALOG_FULL_APPLICATION_MODAL);
    args.insert(args.end(), extra.begin(), extra.end());
    return XmCreatePromptDialog(parent, const_cast<char *>(name), args.data(), static_cast<Cardinal>(args.size()));
}

Widget make_selection_dialog(Widget parent, const char *name, int id, int button_type, int list_label, bool modal,
                             XtCallbackProc pick, XtPointer client, std::initializer_list<Arg> extra)
{
    std::vector<Arg> args;
    dlmain_setup_dialog(button_type, args);
    DlXmString title(id, 1);
    DlXmString label(id, list_label);
    add_arg(args, XmNdialogTitle, title.arg());
    add_arg(args, XmNlistLabelString, label.arg());
    if (modal)
        add_arg(args, XmNdialogStyle, XmDIALOG_FULL_APPLICATION_MODAL);
    args.insert(args.end(), extra.begin(), extra.end());
    Widget box =
        XmCreateSelectionDialog(parent, const_cast<char *>(name), args.data(), static_cast<Cardinal>(args.size()));
    Widget list = XmSelectionBoxGetChild(box, XmDIALOG_LIST);
    XtVaSetValues(list, XmNselectionPolicy, XmSINGLE_SELECT, nullptr);
    if (dlmain_data_font)
        XtVaSetValues(list, XmNfontList, dlmain_data_font, nullptr);
    if (pick) {
        XtAddCallback(list, XmNsingleSelectionCallback, pick, client);
        XtAddCallback(list, XmNdefaultActionCallback, pick, client);
    }
    return box;
}

Widget make_file_selection(Widget parent, const char *name, int id, int title_number, const char *pattern)
{
    std::vector<Arg> args;
    dlmain_setup_dialog(3, args);
    DlXmString title(id, title_number);
    DlXmString pat(pattern ? pattern : "*");
    add_arg(args, XmNdialogTitle, title.arg());
    add_arg(args, XmNpattern, pat.arg());
    // Wide enough for a typical path: the lists alone would cut directory
    // names.
    add_arg(args, XmNtextColumns, 60);
    Widget box =
        XmCreateFileSelectionDialog(parent, const_cast<char *>(name), args.data(), static_cast<Cardinal>(args.size()));
    XtUnmanageChild(XmFileSelectionBoxGetChild(box, XmDIALOG_HELP_BUTTON));
    if (dlmain_data_font)
        for (unsigned char which : {XmDIALOG_FILTER_TEXT, XmDIALOG_TEXT, XmDIALOG_DIR_LIST, XmDIALOG_LIST})
            if (Widget w = XmFileSelectionBoxGetChild(box, which))
                XtVaSetValues(w, XmNfontList, dlmain_data_font, nullptr);
    return box;
}

Widget dl_box_button(Widget box, unsigned char which)
{
    if (!box || !XmIsSelectionBox(box))
        return nullptr;
    return XmSelectionBoxGetChild(box, which);
}

void dl_register_help(Widget w, int help_id)
{
    if (w && dlmain_register_help_hook)
        dlmain_register_help_hook(w, help_id);
}

Widget finish_dialog(DialogRecord *rec, int button_type, int help_id, unsigned keep)
{
    Widget box = rec->widget;
    if (!box)
        return nullptr;
    Widget form = nullptr;
    if (XmIsSelectionBox(box)) {
        if (!(keep & DL_KEEP_SELECTION))
            XtUnmanageChild(XmSelectionBoxGetChild(box, XmDIALOG_SELECTION_LABEL));
        if (!(keep & DL_KEEP_TEXT))
            XtUnmanageChild(XmSelectionBoxGetChild(box, XmDIALOG_TEXT));
        if (!(keep & DL_NO_FORM)) {
            form = XtVaCreateWidget("form1", xmFormWidgetClass, box, nullptr);
            XtManageChild(form);
        }
        // The buttons are taken out of the tab order and put back, so that
        // they come after the work area.
        for (unsigned char which :
             {XmDIALOG_OK_BUTTON, XmDIALOG_APPLY_BUTTON, XmDIALOG_CANCEL_BUTTON, XmDIALOG_HELP_BUTTON}) {
            Widget b = XmSelectionBoxGetChild(box, which);
            if (b) {
                XmRemoveTabGroup(b);
                XmAddTabGroup(b);
            }
        }
    }
    if (help_id > 0) {
        dl_register_help(box, help_id);
        dlmain_setup_help_callback(rec);
    }
    dlmain_setup_dialog_callbacks(rec, button_type);
    dlmain_setup_wm_callback(rec);
    return form;
}

// ---- catalogue texts -------------------------------------------------------------------

std::string dl_text(int id, int n)
{
    // One read of the framework's buffer, copied at once.
    return std::string(dlmain_message(id, n));
}

DlXmString::DlXmString(int id, int n)
    : s_(XmStringCreateLocalized(const_cast<char *>(dl_text(id, n).c_str())))
{
}

DlXmString::DlXmString(const std::string &text, bool multiline)
    : s_(multiline ? dlmain_multiline(text.c_str()) : XmStringCreateLocalized(const_cast<char *>(text.c_str())))
{
}

DlXmString::~DlXmString()
{
    if (s_)
        XmStringFree(s_);
}

// ---- layout -----------------------------------------------------------------------------

void dl_attach_top(Widget w, Widget above, int offset)
{
    if (above)
        XtVaSetValues(w, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, above, XmNtopOffset, offset, nullptr);
    else
        XtVaSetValues(w, XmNtopAttachment, XmATTACH_FORM, XmNtopOffset, offset, nullptr);
}

void dl_attach_left(Widget w, Widget beside, int offset)
{
    if (beside)
        XtVaSetValues(w, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, beside, XmNleftOffset, offset, nullptr);
    else
        XtVaSetValues(w, XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, offset, nullptr);
}

void dl_attach_right(Widget w, Widget beside, int offset)
{
    if (beside)
        XtVaSetValues(w, XmNrightAttachment, XmATTACH_WIDGET, XmNrightWidget, beside, XmNrightOffset, offset,
                      nullptr);
    else
        XtVaSetValues(w, XmNrightAttachment, XmATTACH_FORM, XmNrightOffset, offset, nullptr);
}

void dl_attach_bottom(Widget w, Widget below, int offset)
{
    if (below)
        XtVaSetValues(w, XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget, below, XmNbottomOffset, offset,
                      nullptr);
    else
        XtVaSetValues(w, XmNbottomAttachment, XmATTACH_FORM, XmNbottomOffset, offset, nullptr);
}

void dl_align_left(Widget w, Widget with)
{
    XtVaSetValues(w, XmNleftAttachment, XmATTACH_OPPOSITE_WIDGET, XmNleftWidget, with, XmNleftOffset, 0, nullptr);
}

void dl_align_top(Widget w, Widget with)
{
    XtVaSetValues(w, XmNtopAttachment, XmATTACH_OPPOSITE_WIDGET, XmNtopWidget, with, XmNtopOffset, 0, nullptr);
}

Widget dl_label(Widget parent, const char *name, int id, int n, XmFontList font)
{
    DlXmString s(id, n);
    Widget w = XtVaCreateManagedWidget(name, xmLabelGadgetClass, parent, XmNlabelString, s.arg(), nullptr);
    if (font)
        XtVaSetValues(w, XmNfontList, font, nullptr);
    return w;
}

Widget dl_toggle(Widget parent, const char *name, int id, int n, XmFontList font)
{
    DlXmString s(id, n);
    Widget w = XtVaCreateManagedWidget(name, xmToggleButtonGadgetClass, parent, XmNlabelString, s.arg(), nullptr);
    if (font)
        XtVaSetValues(w, XmNfontList, font, nullptr);
    return w;
}

DlSection dl_section(Widget parent, const char *label_name, int id, int label_n, const char *frame_name,
                     const char *form_name, Widget above)
{
    DlSection s{};
    s.label = dl_label(parent, label_name, id, label_n, dlmain_title_font);
    dl_attach_top(s.label, above, above ? 5 : 0);
    dl_attach_left(s.label);
    s.frame = XtVaCreateManagedWidget(frame_name, xmFrameWidgetClass, parent, XmNshadowType, XmSHADOW_ETCHED_IN,
                                      nullptr);
    dl_attach_top(s.frame, s.label);
    dl_attach_left(s.frame);
    dl_attach_right(s.frame);
    s.form = XtVaCreateManagedWidget(form_name, xmFormWidgetClass, s.frame, nullptr);
    return s;
}

DlLabelledText dl_labelled_text(Widget parent, const char *label_name, int id, int n, const char *text_name,
                                int columns, int max_length, XmFontList label_font)
{
    DlLabelledText r{};
    r.label = dl_label(parent, label_name, id, n, label_font);
    r.text = dlmain_create_text_field(parent, text_name, columns, max_length);
    XtManageChild(r.text);
    dl_attach_left(r.text, r.label, 5);
    dl_align_top(r.text, r.label);
    return r;
}

Widget dl_radio_box(Widget parent, const char *name, int id, std::span<const int> numbers, const char *toggle_name,
                    bool horizontal, XtCallbackProc cb)
{
    Arg a[1];
    XtSetArg(a[0], XmNorientation, horizontal ? XmHORIZONTAL : XmVERTICAL);
    Widget box = XmCreateRadioBox(parent, const_cast<char *>(name), a, 1);
    for (size_t i = 0; i < numbers.size(); i++) {
        Widget t = dl_toggle(box, toggle_name, id, numbers[i], dlmain_label_font);
        dlmain_set_user_data(t, static_cast<long>(i));
        if (cb)
            XtAddCallback(t, XmNvalueChangedCallback, cb, reinterpret_cast<XtPointer>(static_cast<long>(i)));
    }
    XtManageChild(box);
    return box;
}

static std::vector<Widget> children_of(Widget w)
{
    std::vector<Widget> out;
    if (!w || !XtIsComposite(w))
        return out;
    WidgetList list = nullptr;
    Cardinal n = 0;
    XtVaGetValues(w, XmNchildren, &list, XmNnumChildren, &n, nullptr);
    out.assign(list, list + n);
    return out;
}

Widget dl_radio_toggle(Widget box, int index)
{
    auto kids = children_of(box);
    if (index < 0 || index >= static_cast<int>(kids.size()))
        return nullptr;
    return kids[index];
}

void dl_set_radio(Widget box, int index, bool notify)
{
    Widget t = dl_radio_toggle(box, index);
    if (!t)
        return;
    if (notify) {
        XmToggleButtonGadgetSetState(t, True, True);
        return;
    }
    for (Widget k : children_of(box))
        XmToggleButtonGadgetSetState(k, k == t ? True : False, False);
}

int dl_get_radio(Widget box)
{
    auto kids = children_of(box);
    for (size_t i = 0; i < kids.size(); i++)
        if (XmToggleButtonGadgetGetState(kids[i]))
            return static_cast<int>(i);
    return -1;
}

// ---- text -----------------------------------------------------------------------------------

static bool blank(char c)
{
    return c == ' ' || c == '\t';
}

std::string dl_trim(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b]))
        b++;
    while (e > b && blank(text[e - 1]))
        e--;
    return std::string(text.substr(b, e - b));
}

std::string dl_upper(std::string_view text)
{
    std::string s(text);
    std::vector<char> out(s.size() + 1);
    strupper(out.data(), s.c_str());
    return out.data();
}

std::string dl_caps(std::string_view text)
{
    std::string s(text);
    std::vector<char> out(s.size() + 1);
    caps(out.data(), s.c_str());
    return out.data();
}

std::string dl_get_text(Widget w)
{
    char *t = dlmain_get_text_value(w);
    std::string s = t ? t : "";
    XtFree(t);
    return s;
}

std::string dl_get_trimmed(Widget w)
{
    return dl_trim(dl_get_text(w));
}

// The byte length of the first `chars` characters of a text.
static size_t prefix_bytes(std::string_view text, size_t chars)
{
    mbstate_t st{};
    size_t at = 0;
    for (size_t c = 0; c < chars && at < text.size(); c++) {
        size_t n = mbrlen(text.data() + at, text.size() - at, &st);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0) {
            st = mbstate_t{};
            n = 1;
        }
        at += n;
    }
    return std::min(at, text.size());
}

void dl_set_text(Widget w, std::string_view text)
{
    if (!w || !(XmIsTextField(w) || XmIsText(w)))
        return;
    int max_length = 0;
    XtVaGetValues(w, XmNmaxLength, &max_length, nullptr);
    std::string t(text.substr(0, max_length > 0 ? prefix_bytes(text, static_cast<size_t>(max_length)) : text.size()));
    if (XmIsTextField(w)) {
        XmTextFieldSetString(w, const_cast<char *>(t.c_str()));
        XmTextFieldSetInsertionPosition(w, XmTextFieldGetLastPosition(w));
    } else {
        XmTextSetString(w, const_cast<char *>(t.c_str()));
        XmTextSetInsertionPosition(w, XmTextGetLastPosition(w));
    }
}

void dl_copy_bounded(char *dst, size_t size, std::string_view text)
{
    if (!dst || size == 0)
        return;
    size_t n = std::min(text.size(), size - 1);
    // Whole characters only: one cut in two is left out.
    mbstate_t st{};
    size_t at = 0;
    while (at < n) {
        size_t k = mbrlen(text.data() + at, text.size() - at, &st);
        if (k == static_cast<size_t>(-1) || k == static_cast<size_t>(-2) || k == 0) {
            st = mbstate_t{};
            k = 1;
        }
        if (at + k > n)
            break;
        at += k;
    }
    memcpy(dst, text.data(), at);
    dst[at] = '\0';
}

// ---- validation tables ----------------------------------------------------------------------

static Widget child_named(Widget w, const char *name, size_t len)
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

Widget dl_widget_at(Widget root, const char *path)
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

bool dl_setup_validations(DialogRecord *rec, std::span<const DlValidationSpec> specs)
{
    bool all = true;
    for (const DlValidationSpec &s : specs) {
        Widget text = dl_widget_at(rec->widget, s.path);
        if (!text) {
            fprintf(stderr, "Error! DialogSupport. No field %s in dialog %d.\n", s.path, rec->id);
            all = false;
            continue;
        }
        std::string message = s.message > 0 ? dl_text(rec->id, s.message) : std::string();
        dlmain_setup_text_validation(rec->widget, text, s.flags, s.default_text, s.minimum, s.maximum, s.check,
                                     s.message > 0 ? message.c_str() : nullptr);
    }
    return all;
}

// ---- lists -------------------------------------------------------------------------------------

DlItemList::~DlItemList()
{
    clear();
}

void DlItemList::clear()
{
    for (XmString s : items_)
        XmStringFree(s);
    items_.clear();
    texts_.clear();
}

void DlItemList::add(const std::string &text)
{
    items_.push_back(XmStringCreateLocalized(const_cast<char *>(text.c_str())));
    texts_.push_back(text);
}

void DlItemList::sort()
{
    std::vector<size_t> order(texts_.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return strcmp(texts_[a].c_str(), texts_[b].c_str()) < 0; });
    std::vector<XmString> items;
    std::vector<std::string> texts;
    for (size_t i : order) {
        items.push_back(items_[i]);
        texts.push_back(texts_[i]);
    }
    items_ = std::move(items);
    texts_ = std::move(texts);
}

void DlItemList::show(Widget list) const
{
    if (!list)
        return;
    if (items_.empty()) {
        XmListDeleteAllItems(list);
        return;
    }
    // The list copies the items it is given.
    XtVaSetValues(list, XmNitems, items_.data(), XmNitemCount, static_cast<int>(items_.size()), nullptr);
}

std::string dl_list_item_text(XtPointer call)
{
    auto *cbs = static_cast<XmListCallbackStruct *>(call);
    if (!cbs || !cbs->item)
        return "";
    char *t = static_cast<char *>(
        XmStringUnparse(cbs->item, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
    std::string s = t ? t : "";
    XtFree(t);
    return s;
}

// ---- directory listings -------------------------------------------------------------------------

std::vector<std::string> dl_split_path(const char *path)
{
    std::vector<std::string> out;
    if (!path)
        return out;
    std::string_view p(path);
    while (!p.empty()) {
        size_t colon = p.find(':');
        std::string_view piece = p.substr(0, colon);
        if (!piece.empty())
            out.emplace_back(piece);
        if (colon == std::string_view::npos)
            break;
        p.remove_prefix(colon + 1);
    }
    return out;
}

static bool ends_with(const char *name, const char *suffix)
{
    size_t n = strlen(name), s = strlen(suffix);
    // A name no longer than the suffix is compared whole.
    return n <= s ? strcmp(name, suffix) == 0 : strcmp(name + n - s, suffix) == 0;
}

bool dl_skip_name(const char *name, unsigned rules)
{
    if (!name || name[0] == '.' || name[0] == '\0')
        return true;
    if ((rules & DL_SKIP_PROCEDURE) && (ends_with(name, ".tsl") || ends_with(name, ".FMT")))
        return true;
    // A name cut to fit would name another file.
    if ((rules & DL_SKIP_LONG) && strlen(name) > 14)
        return true;
    return false;
}

void dl_read_directory(const std::string &dir, DlListing &out, size_t cap, unsigned rules)
{
    if (out.names.size() >= cap)
        return;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return;
    while (out.names.size() < cap) {
        struct dirent *e = readdir(d);
        if (!e)
            break;
        if (dl_skip_name(e->d_name, rules))
            continue;
        if ((rules & DL_NO_DUPLICATES) &&
            std::find(out.names.begin(), out.names.end(), e->d_name) != out.names.end())
            continue;
        out.names.emplace_back(e->d_name);
    }
    closedir(d);
}

DlListing dl_list_files(const char *search_path, const std::string &own, const std::string *shared, size_t cap,
                        unsigned rules)
{
    DlListing out;
    for (const std::string &dir : dl_split_path(search_path))
        dl_read_directory(dir, out, cap, rules);
    dl_read_directory(own, out, cap, rules);
    out.first_shared = out.names.size();
    if (shared)
        dl_read_directory(*shared, out, cap, rules);
    return out;
}

// ---- popup rules ----------------------------------------------------------------------------------

void dl_root_origin(Widget w, int &x, int &y)
{
    x = y = 0;
    if (!w)
        return;
    // A gadget lies in its parent's window at its own x and y.
    Widget win = XtIsWidget(w) ? w : XtParent(w);
    int dx = XtIsWidget(w) ? 0 : w->core.x, dy = XtIsWidget(w) ? 0 : w->core.y;
    if (!XtIsRealized(win))
        return;
    Window child = 0;
    XTranslateCoordinates(XtDisplay(win), XtWindow(win), RootWindowOfScreen(XtScreen(win)), dx, dy, &x, &y,
                          &child);
}

void dl_apply_title_mode(DialogRecord *rec, int title_mode, Widget delete_button)
{
    if (delete_button)
        XtSetSensitive(delete_button, title_mode == 1 ? True : False);
    dlmain_disable_dialog_apply(rec, title_mode == 3 ? 1 : 0);
}

// ---- workspace picks -------------------------------------------------------------------------------

int dl_kind_of(const void *kind_data)
{
    if (!kind_data)
        return -1;
    int32_t kind = 0;
    memcpy(&kind, kind_data, sizeof kind);
    return kind;
}

std::string dl_kind_text(const void *kind_data, size_t size)
{
    if (!kind_data)
        return "";
    const char *text = static_cast<const char *>(kind_data) + sizeof(int32_t);
    return std::string(text, strnlen(text, size));
}

std::string dl_reference_text(const void *kind_data)
{
    if (!kind_data)
        return "";
    if (dl_kind_of(kind_data) == DL_KIND_COLUMN) {
        auto *col = static_cast<const DlColumnHead *>(kind_data);
        std::string column(dl_view(col->column_name));
        if (!dl_qualify_column_names)
            return column;
        return std::string(dl_view(col->table_name)) + "." + column;
    }
    // The texts behind the kind hold at most 255 characters.
    return dl_kind_text(kind_data, 255);
}
