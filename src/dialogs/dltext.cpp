// Text fields: getting and inserting text, declarative validation with the
// shared text-error box, and the column-name qualification helpers.

#include "dlmain.h"

#include "dlmsgs.h"
#include "vxutil.h"

#include <Xm/MessageB.h>
#include <Xm/Protocols.h>
#include <Xm/SelectioB.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>

extern int inhibit_text_validation;
extern int inhibit_mandatory_checking;
extern int apply_prohibited;

// ---- getting and setting text -------------------------------------------------------

char *dlmain_get_text_value(Widget w)
{
    if (!w)
        return nullptr;
    if (XmIsTextField(w))
        return XmTextFieldGetString(w);
    if (XmIsText(w))
        return XmTextGetString(w);
    return nullptr;
}

// Locale text to characters and back.  Text that is not valid in the
// locale is taken byte by byte, so that it comes back unchanged.
static bool to_wide(const char *text, std::wstring &out)
{
    out.clear();
    mbstate_t st{};
    const char *p = text;
    size_t left = strlen(text);
    while (left > 0) {
        wchar_t wc;
        size_t n = mbrtowc(&wc, p, left, &st);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            out.clear();
            for (const char *q = text; *q; q++)
                out += static_cast<wchar_t>(static_cast<unsigned char>(*q));
            return false;
        }
        if (n == 0)
            break;
        out += wc;
        p += n;
        left -= n;
    }
    return true;
}

static std::string from_wide(const std::wstring &text, bool bytes)
{
    std::string out;
    if (bytes) {
        for (wchar_t c : text)
            out += static_cast<char>(c);
        return out;
    }
    mbstate_t st{};
    char buf[MB_LEN_MAX];
    for (wchar_t c : text) {
        size_t n = wcrtomb(buf, c, &st);
        if (n == static_cast<size_t>(-1))
            out += '?';
        else
            out.append(buf, n);
    }
    return out;
}

static bool assign_char(wchar_t c)
{
    return iswalnum(c) || c == L'#' || c == L'_' || c == L'%';
}

bool dlmain_compose_insertion(const std::wstring &current, long cursor, long sel_left, long sel_right,
                              const std::wstring &insert, int insert_mode, int cursor_mode, long position,
                              long max_length, DlInsertion &out)
{
    const long len = static_cast<long>(current.size());
    cursor = std::clamp(cursor, 0L, len);
    sel_left = std::clamp(sel_left, 0L, len);
    sel_right = std::clamp(sel_right, 0L, len);
    const bool has_sel = sel_left < sel_right;

    std::wstring ins = insert;
    if (insert_mode != 7)
        std::replace(ins.begin(), ins.end(), L'\n', L' ');
    if (insert_mode == 6) {
        // A call template keeps its name only: "max()" inserts "max".
        size_t open = ins.rfind(L'(');
        if (open != std::wstring::npos) {
            size_t close = ins.find(L')', open);
            if (close != std::wstring::npos &&
                std::none_of(ins.begin() + open + 1, ins.begin() + close, [](wchar_t c) { return iswalnum(c); }))
                ins.resize(open);
        }
    }

    std::wstring result;
    long start = 0, after = 0, close_paren = -1;
    switch (insert_mode) {
    case 1:
    case 7:
        result = ins;
        after = static_cast<long>(ins.size());
        break;
    case 5:
    case 6: {
        std::wstring wrapped, base = current;
        long at = 0;
        if (has_sel) {
            wrapped = current.substr(sel_left, sel_right - sel_left);
            base.erase(sel_left, sel_right - sel_left);
            at = sel_left;
        } else {
            wrapped = current;
            base.clear();
        }
        std::wstring piece = ins + L"(" + wrapped + L")";
        result = base;
        result.insert(at, piece);
        start = at;
        after = at + static_cast<long>(piece.size());
        close_paren = after - 1;
        break;
    }
    default: {
        std::wstring piece = ins;
        if (insert_mode == 3 && cursor > 0 && current[cursor - 1] != L',')
            piece = L"," + piece;
        else if (insert_mode == 4 && cursor > 0 && assign_char(current[cursor - 1]))
            piece = L"=" + piece;
        result = current;
        result.insert(cursor, piece);
        start = cursor;
        after = cursor + static_cast<long>(piece.size());
        break;
    }
    }
    const long limit = max_length > 0 ? std::min(max_length, 4095L) : 4095L;
    if (static_cast<long>(result.size()) > limit)
        return false;

    long cur;
    switch (cursor_mode) {
    case 1:
        cur = -1;
        break;
    case 2:
        cur = insert_mode == 1 || insert_mode == 7 ? 0 : start;
        break;
    case 3:
        cur = after;
        break;
    case 4:
        if (insert_mode == 5)
            cur = close_paren;
        else if (insert_mode == 6)
            cur = std::max(0L, static_cast<long>(result.size()) - 1);
        else {
            cur = after;
            for (const wchar_t *pair : {L"''", L"\"\"", L"()", L"[]", L"{}"})
                if (ins.size() >= 2 && ins.compare(ins.size() - 2, 2, pair) == 0) {
                    cur--;
                    break;
                }
        }
        break;
    default:
        cur = std::clamp(position, 0L, static_cast<long>(result.size()));
        break;
    }
    out.text = std::move(result);
    out.cursor = cur;
    return true;
}

static void replace_text(Widget w, const char *text)
{
    if (XmIsTextField(w))
        XmTextFieldSetString(w, const_cast<char *>(text));
    else if (XmIsText(w))
        XmTextSetString(w, const_cast<char *>(text));
}

void dlmain_set_text_value(Widget w, const char *text, int insert_mode, int cursor_mode, int position)
{
    if (!w || !text || !(XmIsTextField(w) || XmIsText(w)))
        return;
    bool field = XmIsTextField(w);
    char *raw = dlmain_get_text_value(w);
    std::wstring current, insert;
    bool valid = to_wide(raw ? raw : "", current);
    XtFree(raw);
    valid = to_wide(text, insert) && valid;
    XmTextPosition cursor = field ? XmTextFieldGetInsertionPosition(w) : XmTextGetInsertionPosition(w);
    XmTextPosition left = 0, right = 0;
    Boolean sel = field ? XmTextFieldGetSelectionPosition(w, &left, &right) : XmTextGetSelectionPosition(w, &left, &right);
    if (!sel)
        left = right = 0;
    int max_length = 0;
    XtVaGetValues(w, XmNmaxLength, &max_length, nullptr);
    DlInsertion ins;
    if (!dlmain_compose_insertion(current, cursor, left, right, insert, insert_mode, cursor_mode, position,
                                  max_length, ins)) {
        XBell(XtDisplay(w), 50);
        return;
    }
    replace_text(w, from_wide(ins.text, !valid).c_str());
    if (ins.cursor >= 0) {
        if (field)
            XmTextFieldSetInsertionPosition(w, ins.cursor);
        else
            XmTextSetInsertionPosition(w, ins.cursor);
    }
}

// ---- validation -----------------------------------------------------------------------

static bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// A decimal number (no hex, no infinities); the whole text must read.
static bool read_number(const std::string &text, double &value)
{
    if (text.find_first_of("xXpP") != std::string::npos)
        return false;
    const char *s = text.c_str();
    char *end = nullptr;
    errno = 0;
    value = strtod(s, &end);
    if (end == s || errno == ERANGE || !std::isfinite(value))
        return false;
    while (is_blank(*end))
        end++;
    return *end == '\0';
}

DlCheck dlmain_check_text(const DlValidation &v, const char *text, bool mandatory_checked)
{
    DlCheck r;
    std::string t = text ? text : "";
    while (!t.empty() && is_blank(t.back()))
        t.pop_back();
    if (v.flags & DL_VAL_LTRIM) {
        size_t p = 0;
        while (p < t.size() && is_blank(t[p]))
            p++;
        t.erase(0, p);
        r.rewrite = true;
    }
    const bool blank = t.empty();
    auto finish = [&](int error, const std::string &arg) {
        r.error = error;
        r.argument = arg;
        r.text = t;
        return r;
    };
    if (blank) {
        if (v.flags & DL_VAL_MANDATORY)
            return finish(mandatory_checked ? 7 : 0, "");
        if (v.flags & DL_VAL_DEFAULT) {
            t = v.default_text;
            r.rewrite = true;
        }
    }
    if (!blank && (v.flags & DL_VAL_NUMERIC)) {
        double value = 0;
        if (!read_number(t, value))
            return finish(t == "NULL" ? 0 : 10, t);
        double bound = 0;
        if (v.flags & DL_VAL_RANGE) {
            if (!v.minimum.empty() && read_number(v.minimum, bound) && value < bound)
                return finish(8, v.minimum);
            if (!v.maximum.empty() && read_number(v.maximum, bound) && value > bound)
                return finish(9, v.maximum);
        }
        if (v.flags & DL_VAL_INTEGER) {
            double whole = std::trunc(value);
            // A whole number must fit the int it is read into.
            if (whole < static_cast<double>(INT_MIN))
                return finish(8, v.minimum.empty() ? std::to_string(INT_MIN) : v.minimum);
            if (whole > static_cast<double>(INT_MAX))
                return finish(9, v.maximum.empty() ? std::to_string(INT_MAX) : v.maximum);
            char buf[400];
            snprintf(buf, sizeof buf, "%.0f", whole == 0 ? 0.0 : whole);
            t = buf;
            r.rewrite = true;
        }
    } else {
        if (v.flags & DL_VAL_UPPER) {
            std::vector<char> buf(t.begin(), t.end());
            buf.push_back('\0');
            strupper(buf.data(), buf.data());
            t = buf.data();
            r.rewrite = true;
        }
        if (!blank && (v.flags & DL_VAL_DBNAME)) {
            std::vector<char> buf(t.begin(), t.end());
            buf.push_back('\0');
            remove_qualification(buf.data());
            if (!check_dbname(buf.data()))
                return finish(12, t);
        }
    }
    if (v.check && !v.check(t.c_str()))
        return finish(-1, t);
    return finish(0, "");
}

// The shared text-error box and the field whose error it shows.
static Widget texterror = nullptr;
static Widget pending_field = nullptr;
static Widget pending_box = nullptr;
static std::string pending_default;

static Widget enclosing_selection_box(Widget w)
{
    for (Widget p = w; p && !XtIsShell(p); p = XtParent(p))
        if (XmIsSelectionBox(p))
            return p;
    return nullptr;
}

static void set_ok_apply_sensitive(Widget box, bool sensitive)
{
    if (!box)
        return;
    for (unsigned char which : {XmDIALOG_OK_BUTTON, XmDIALOG_APPLY_BUTTON}) {
        Widget b = XmSelectionBoxGetChild(box, which);
        if (b && XtIsManaged(b))
            XtSetSensitive(b, sensitive ? True : False);
    }
}

static void text_error_ok_cb(Widget, XtPointer, XtPointer)
{
    if (pending_field)
        replace_text(pending_field, pending_default.c_str());
    if (!apply_prohibited)
        set_ok_apply_sensitive(pending_box, true);
    pending_field = pending_box = nullptr;
    pending_default.clear();
    if (texterror)
        XtUnmanageChild(texterror);
}

static void text_error_destroyed_cb(Widget, XtPointer, XtPointer)
{
    texterror = nullptr;
    pending_field = pending_box = nullptr;
}

void dlmain_create_text_error_box(Widget toplevel)
{
    if (texterror && XtParent(dlmain_dialog_shell(texterror)) != toplevel) {
        XtDestroyWidget(dlmain_dialog_shell(texterror));
        texterror = nullptr;
    }
    if (texterror || !toplevel)
        return;
    std::vector<Arg> args;
    XmString title = dlmain_setup_modal_box(vx_msg(dlmain_catd, DL_TEXT_ERROR_TITLE), args);
    texterror = XmCreateErrorDialog(toplevel, const_cast<char *>("textInput"), args.data(),
                                    static_cast<Cardinal>(args.size()));
    XmStringFree(title);
    XtUnmanageChild(XmMessageBoxGetChild(texterror, XmDIALOG_CANCEL_BUTTON));
    XtUnmanageChild(XmMessageBoxGetChild(texterror, XmDIALOG_HELP_BUTTON));
    XtAddCallback(texterror, XmNokCallback, text_error_ok_cb, nullptr);
    XtAddCallback(texterror, XmNdestroyCallback, text_error_destroyed_cb, nullptr);
    Widget shell = dlmain_dialog_shell(texterror);
    XtVaSetValues(shell, XmNdeleteResponse, XmDO_NOTHING, nullptr);
    Atom del = XmInternAtom(XtDisplay(shell), const_cast<char *>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(shell, del, text_error_ok_cb, nullptr);
}

Widget dlmain_text_error_box()
{
    return texterror;
}

int dlmain_text_error_pending()
{
    return texterror && XtIsManaged(texterror) ? 1 : 0;
}

static std::string error_text(const DlValidation &v, const DlCheck &r)
{
    const char *arg = r.argument.c_str();
    switch (r.error) {
    case 7: return vx_msgf(dlmain_catd, DL_ERR_MANDATORY);
    case 8: return vx_msgf(dlmain_catd, DL_ERR_BELOW_MINIMUM, arg);
    case 9: return vx_msgf(dlmain_catd, DL_ERR_ABOVE_MAXIMUM, arg);
    case 10: return vx_msgf(dlmain_catd, DL_ERR_NOT_NUMERIC, arg);
    case 12: return vx_msgf(dlmain_catd, DL_ERR_BAD_DBNAME, arg);
    default: break;
    }
    // The dialog's own format takes the text, or nothing; any other
    // conversion is shown as it stands rather than formatted.
    std::string sig;
    if (vx_format_signature(v.message_format.c_str(), sig) && sig == "s")
        return vx_msg_vformat(v.message_format.c_str(), arg);
    if (vx_format_signature(v.message_format.c_str(), sig) && sig.empty())
        return vx_msg_vformat(v.message_format.c_str());
    return v.message_format;
}

static void show_text_error(const DlValidation &v, const DlCheck &r)
{
    if (!texterror)
        return;
    XmString s = dlmain_multiline(error_text(v, r).c_str());
    XtVaSetValues(texterror, XmNmessageString, s, nullptr);
    XmStringFree(s);
    pending_box = enclosing_selection_box(v.text);
    if (!apply_prohibited)
        set_ok_apply_sensitive(pending_box, false);
    pending_field = v.text;
    pending_default = v.default_text;
    Dimension width = 0;
    XtVaGetValues(v.text, XmNwidth, &width, nullptr);
    Position x = 0, y = 0;
    if (XtIsRealized(v.text))
        XtTranslateCoords(v.text, static_cast<Position>(width), 0, &x, &y);
    dlmain_setup_popup_position(texterror, x, y, XtIsRealized(v.text) ? 1 : 0);
    XtManageChild(texterror);
}

static void validate_field(DlValidation *v)
{
    if (inhibit_text_validation || !XtIsManaged(v->text) || !XtIsSensitive(v->text))
        return;
    char *raw = dlmain_get_text_value(v->text);
    DlCheck r = dlmain_check_text(*v, raw, !inhibit_mandatory_checking);
    if (r.rewrite && (!raw || r.text != raw))
        replace_text(v->text, r.text.c_str());
    XtFree(raw);
    if (r.error)
        show_text_error(*v, r);
}

static void losing_focus_cb(Widget, XtPointer client, XtPointer)
{
    validate_field(static_cast<DlValidation *>(client));
}

static DlValidation *chain_of(Widget dialog)
{
    return dialog ? reinterpret_cast<DlValidation *>(dlmain_get_user_data(dialog)) : nullptr;
}

static void free_chain(Widget dialog, bool remove_callbacks)
{
    DlValidation *v = chain_of(dialog);
    while (v) {
        DlValidation *next = v->next;
        if (remove_callbacks)
            XtRemoveCallback(v->text, XmNlosingFocusCallback, losing_focus_cb, v);
        if (pending_field == v->text)
            pending_field = nullptr;
        delete v;
        v = next;
    }
    dlmain_set_user_data(dialog, 0);
}

static void dialog_destroyed_cb(Widget w, XtPointer, XtPointer)
{
    free_chain(w, false);
}

void dlmain_setup_text_validation(Widget dialog, Widget text, unsigned flags, const char *default_text,
                                  const char *minimum, const char *maximum, DlCheckProc check,
                                  const char *message_format)
{
    if (!dialog || !text)
        return;
    auto *v = new DlValidation{text,
                               flags,
                               default_text ? default_text : "",
                               minimum ? minimum : "",
                               maximum ? maximum : "",
                               check,
                               message_format ? message_format : "",
                               chain_of(dialog)};
    dlmain_set_user_data(dialog, reinterpret_cast<long>(v));
    XtAddCallback(text, XmNlosingFocusCallback, losing_focus_cb, v);
    XtRemoveCallback(dialog, XmNdestroyCallback, dialog_destroyed_cb, nullptr);
    XtAddCallback(dialog, XmNdestroyCallback, dialog_destroyed_cb, nullptr);
}

void dlmain_set_validation_default(Widget dialog, Widget text, const char *default_text)
{
    for (DlValidation *v = chain_of(dialog); v; v = v->next)
        if (v->text == text)
            v->default_text = default_text ? default_text : "";
}

void dlmain_free_all_validations(DialogRecord *rec)
{
    if (rec->widget)
        free_chain(rec->widget, true);
}

int dlmain_validate_dialog(Widget dialog)
{
    inhibit_mandatory_checking = 0;
    for (DlValidation *v = chain_of(dialog); v && !dlmain_text_error_pending(); v = v->next)
        validate_field(v);
    inhibit_mandatory_checking = 1;
    return dlmain_text_error_pending() ? 0 : 1;
}

// ---- column names ----------------------------------------------------------------------

const char *qualify_column_name(const char *table, const char *column)
{
    static char name[128];
    snprintf(name, sizeof name, "%s.%s", table ? table : "", column ? column : "");
    return name;
}

char *remove_qualification(char *text)
{
    if (!text)
        return text;
    static const char delimiters[] = "<>= \",:()[]+-/*";
    size_t out = 0, run = 0;
    bool quoted = false;
    for (size_t in = 0; text[in]; in++) {
        char c = text[in];
        if (quoted) {
            text[out++] = c;
            if (c == '\'')
                quoted = false;
            run = out;
            continue;
        }
        if (c == '\'') {
            quoted = true;
            text[out++] = c;
            run = out;
            continue;
        }
        if (strchr(delimiters, c)) {
            text[out++] = c;
            run = out;
            continue;
        }
        if (c == '.') {
            bool number = run < out ? isdigit(static_cast<unsigned char>(text[run])) != 0
                                    : isdigit(static_cast<unsigned char>(text[in + 1])) != 0;
            if (number)
                text[out++] = c;
            else
                out = run;
            continue;
        }
        text[out++] = c;
    }
    text[out] = '\0';
    return text;
}
