// The password dialog (26): a prompt whose field shows one "*" for each
// character typed while the dialog holds the real text.

#include "dldbdialogs.h"
#include "dlkit.h"

#include <Xm/SelectioB.h>
#include <Xm/TextF.h>

#include <cwchar>

namespace {

constexpr int ID = 26;
constexpr int HELP_ID = 295;

struct {
    Widget text;
    std::string held;  // the password behind the stars
} s;

// The length of the character at `at`; a byte that starts none counts as one.
size_t char_len(std::string_view text, size_t at)
{
    mbstate_t st{};
    size_t n = mbrlen(text.data() + at, text.size() - at, &st);
    return n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0 ? 1 : n;
}

size_t count_chars(std::string_view text)
{
    size_t n = 0;
    for (size_t at = 0; at < text.size(); at += char_len(text, at))
        n++;
    return n;
}

// The byte offset of character position `pos`, at most the text's length.
size_t byte_offset(std::string_view text, long pos)
{
    size_t at = 0;
    for (long c = 0; c < pos && at < text.size(); c++)
        at += char_len(text, at);
    return std::min(at, text.size());
}

void modify_verify_cb(Widget w, XtPointer, XtPointer call)
{
    auto *cbs = static_cast<XmTextVerifyCallbackStruct *>(call);
    PwdChange c;
    c.activate = cbs->reason == XmCR_ACTIVATE;
    c.field_empty = XmTextFieldGetLastPosition(w) == 0;
    c.start = cbs->startPos;
    c.end = cbs->endPos;
    c.insert_at = cbs->startPos;
    if (cbs->text && cbs->text->ptr && cbs->text->length > 0) {
        c.text = cbs->text->ptr;
        c.length = cbs->text->length;
    }
    PwdResult r = dlpwd_mask(s.held, c);
    if (!r.accept) {
        cbs->doit = False;
        return;
    }
    s.held = r.held;
    if (c.text) {
        // The stars never take more room than the characters they stand for.
        memcpy(cbs->text->ptr, r.shown.data(), r.shown.size());
        cbs->text->length = static_cast<int>(r.shown.size());
    }
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    DlXmString label(ID, 2);
    Arg extra[2];
    XtSetArg(extra[0], XmNselectionLabelString, static_cast<XmString>(label));
    XtSetArg(extra[1], XmNtextColumns, 10);
    rec->widget = make_prompt_dialog(parent, "databasePassword", ID, 1, DL_MODAL, {extra[0], extra[1]});
    finish_dialog(rec, 1, HELP_ID, DL_KEEP_TEXT | DL_KEEP_SELECTION | DL_NO_FORM);
    s.text = XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT);
    XtAddCallback(s.text, XmNmodifyVerifyCallback, modify_verify_cb, nullptr);
    return 0;
}

int setval_dialog(DialogRecord *, void *)
{
    XmTextFieldSetString(s.text, const_cast<char *>(""));
    s.held.clear();
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    dl_copy_bounded(static_cast<char *>(value), DL_PASSWORD_MAX + 1, s.held);
    return 0;
}

}  // namespace

PwdResult dlpwd_mask(const std::string &held, const PwdChange &c)
{
    PwdResult r;
    r.held = held;
    if (c.activate)
        return r;
    std::string_view ins(c.text ? c.text : "", c.text ? static_cast<size_t>(std::max(c.length, 0)) : 0);
    size_t chars = count_chars(ins);
    // Several single-byte characters at once are a paste: refused.
    if (ins.size() > 1 && chars == ins.size()) {
        r.accept = false;
        r.bell = true;
        return r;
    }
    std::string copy = c.field_empty ? std::string() : held;
    std::string next;
    if (c.start < c.end) {
        size_t from = byte_offset(copy, c.start), to = byte_offset(copy, c.end);
        next = copy.substr(0, from);
        next += ins;
        next += copy.substr(to);
    } else {
        next = copy;
        if (!ins.empty())
            next.insert(byte_offset(copy, c.insert_at), ins);
    }
    if (next.size() > static_cast<size_t>(DL_PASSWORD_MAX)) {
        r.accept = false;
        r.bell = true;
        return r;
    }
    r.held = next;
    r.shown.assign(chars, '*');
    return r;
}

void dlpwd_initialise_password_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
}
