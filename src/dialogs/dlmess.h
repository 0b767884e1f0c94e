// The message boxes: error, warning, confirm and prompt (dialog ids 0-3),
// each modal with its own nested event loop, and the revision box (id 5).
//
// Callers name their message by its declaration (see vxmsg.h), so the
// arguments they pass are the ones the catalogue text is checked against:
//
//     dlmess_dialog_show_error(nullptr, catd, QY_NO_SUCH_TABLE, name);
//     if (dlmess_dialog_confirm(shell, catd, WS_CONFIRM_DROP, -1, -1, 0, name)) ...
#pragma once

#include "dlmain.h"
#include "vxmsg.h"

#include <functional>
#include <string>
#include <type_traits>

// Value of the error, warning and confirm boxes: the message and a
// formatter that applies the caller's arguments to a checked text.
struct DlBoxValue {
    nl_catd catd;
    int set;
    int number;
    std::string signature;  // the argument classes the caller passes
    const char *fallback;
    std::function<std::string(const char *)> format;
    int ok_label = -1;      // confirm only: label numbers, -1 standard
    int cancel_label = -1;
};

// Value of the prompt box.
struct DlPromptValue {
    nl_catd catd;
    int set;               // -1: `literal` is the text
    int number;
    const char *literal;
    char reply[256];
};

// Value of the revision box: the texts of the four numbers, one after
// the other, formatted with the four strings.
struct DlLtpValue {
    nl_catd catd;
    int set;
    int numbers[4];
    const char *args[4];
};

template <class... A>
DlBoxValue dlmess_box_value(nl_catd cd, const VxMsg<A...> &m, A... args)
{
    static_assert(sizeof...(A) <= 4, "a message box takes at most four arguments");
    return DlBoxValue{cd, m.set, m.number, m.signature(), m.fallback,
                      [=](const char *text) { return vx_msg_vformat(text, args...); }};
}

void dlmess_show_error(Widget parent, const DlBoxValue &value);
void dlmess_show_warning(Widget parent, const DlBoxValue &value);
int dlmess_confirm(Widget parent, const DlBoxValue &value, int force);

template <class... A>
void dlmess_dialog_show_error(Widget parent, nl_catd cd, const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    dlmess_show_error(parent, dlmess_box_value<A...>(cd, m, args...));
}

template <class... A>
void dlmess_dialog_show_warning(Widget parent, nl_catd cd, const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    dlmess_show_warning(parent, dlmess_box_value<A...>(cd, m, args...));
}

// 1 yes, 0 no.  Label numbers are of the message's set, -1 the standard
// labels.  Without `force`, relaxed confirmation answers yes unasked.
template <class... A>
int dlmess_dialog_confirm(Widget parent, nl_catd cd, const VxMsg<A...> &m, int ok_label, int cancel_label,
                          int force, std::type_identity_t<A>... args)
{
    DlBoxValue v = dlmess_box_value<A...>(cd, m, args...);
    v.ok_label = ok_label;
    v.cancel_label = cancel_label;
    return dlmess_confirm(parent, v, force);
}

// The reply, blank-trimmed (valid until the next prompt), or none when
// the reply is empty or the box was cancelled or closed.
const char *dlmess_dialog_prompt(Widget parent, nl_catd cd, int set, int number, const char *initial);
// The same with a literal text in place of a catalogue message.
const char *dlmess_dialog_prompt(Widget parent, nl_catd cd, int set, const char *literal, const char *initial);

void dlmess_dialog_register_alternate_shell(Widget shell);
// The window whose command runs now: a box whose caller names no parent
// goes over it.  Returns the one named before.
Widget dlmess_dialog_set_asking_shell(Widget shell);
// Names the asking window for one command's run.
class DlAskingShell {
public:
    explicit DlAskingShell(Widget shell) : previous_(dlmess_dialog_set_asking_shell(shell)) {}
    ~DlAskingShell() { dlmess_dialog_set_asking_shell(previous_); }
    DlAskingShell(const DlAskingShell &) = delete;
    DlAskingShell &operator=(const DlAskingShell &) = delete;

private:
    Widget previous_;
};
int dlmess_dialog_get_error_mode();
void dlmess_dialog_set_error_mode(int mode);

// The key under which an error is suppressed: its set times its number.
inline int32_t dlmess_error_key(int set, int number)
{
    return set * number;
}
void dlmess_add_error_suppression(int32_t key);
void dlmess_reset_error_suppression();

void dlmess_dialog_manage_error(DialogRecord *rec);
void dialog_manage_warning(DialogRecord *rec);
void dlmess_dialog_manage_confirm(DialogRecord *rec);
void dlmess_dialog_manage_prompt(DialogRecord *rec);

void dlerr_initialise_error_dialog(DialogRecord *rec);
void dlwarn_initialise_warning_dialog(DialogRecord *rec);
void dlconf_initialise_confirm_dialog(DialogRecord *rec);
void dlprompt_initialise_prompt_dialog(DialogRecord *rec);
void dlltp_initialise_ltp_dialog(DialogRecord *rec);

// Help ids of the boxes.
inline constexpr int DL_HELP_ERROR = 803, DL_HELP_WARNING = 804, DL_HELP_CONFIRM = 805, DL_HELP_PROMPT = 806;
