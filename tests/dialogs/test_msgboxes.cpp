// The message boxes under Xvfb: each box is popped up for real, answered
// from inside its own nested loop, and the caller's result checked.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlmess.h"
#include "dlmsgs.h"
#include "dltestkit.h"

#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>

namespace {

using vxdl::app;

// Messages of the framework's own set serve as the callers' messages.
constexpr VxMsg<const char *> NOT_NUMERIC = DL_ERR_NOT_NUMERIC;  // "\"%s\" is not a number."
constexpr VxMsg<> MANDATORY = DL_ERR_MANDATORY;
constexpr VxMsg<> MISSING{1, 999, nullptr};
// A caller that declares an int where the text wants a string.
constexpr VxMsg<int> WRONG_TYPES{1, 10, nullptr};

class MessageBoxes : public testing::Test {
protected:
    void SetUp() override
    {
        app();
        dlmain_clear_dialogs();
        dlerr_initialise_error_dialog(&dlmain_dialogs[0]);
        dlwarn_initialise_warning_dialog(&dlmain_dialogs[1]);
        dlconf_initialise_confirm_dialog(&dlmain_dialogs[2]);
        dlprompt_initialise_prompt_dialog(&dlmain_dialogs[3]);
        dlltp_initialise_ltp_dialog(&dlmain_dialogs[5]);
        dlmess_dialog_manage_error(&dlmain_dialogs[0]);
        dialog_manage_warning(&dlmain_dialogs[1]);
        dlmess_dialog_manage_confirm(&dlmain_dialogs[2]);
        dlmess_dialog_manage_prompt(&dlmain_dialogs[3]);
        dlmess_dialog_register_alternate_shell(app().other);
        dlmess_dialog_set_error_mode(1);
        dlmess_reset_error_suppression();
        relaxed_confirm = 0;
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        for (int id : {0, 1, 2, 3, 5})
            if (dlmain_dialogs[id].widget)
                dlmain_dialogs[id].destroy(&dlmain_dialogs[id]);
        vxdl::pump_until([] { return true; });
    }
};

// Shows an error and answers it; the text it showed, or "" when it was not shown.
template <class... A>
std::string shown_error(Widget parent, const VxMsg<A...> &m, A... args)
{
    std::string seen;
    auto p = vxdl::when_shown(
        "error",
        [&](Widget box) {
            seen = vxdl::message(box);
            vxdl::press_box(box, XmDIALOG_OK_BUTTON);
        },
        std::chrono::milliseconds(300));
    dlmess_dialog_show_error(parent, app().adata.catd, m, args...);
    vxdl::cancel_pending();
    return p->ran ? seen : "";
}

TEST_F(MessageBoxes, ErrorAndWarningShowTheirFormattedText)
{
    EXPECT_EQ(shown_error(app().top, NOT_NUMERIC, "abc"), "\"abc\" is not a number.");
    Widget box = vxdl::find(app().top, "error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(vxdl::shell_title(box), "Error");
    EXPECT_FALSE(XtIsManaged(box));  // answered, taken down
    EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON)));

    std::string seen;
    auto p = vxdl::when_shown("warning", [&](Widget w) {
        seen = vxdl::message(w) + "|" + vxdl::shell_title(w);
        vxdl::press_box(w, XmDIALOG_OK_BUTTON);
    });
    dlmess_dialog_show_warning(app().top, app().adata.catd, MANDATORY);
    EXPECT_TRUE(p->ran);
    EXPECT_EQ(seen, "This field must not be left blank.|Warning");

    // Closed by the window manager, a box returns as well.
    for (const char *name : {"error", "warning"}) {
        auto c = vxdl::when_shown(name, [](Widget w) { vxdl::wm_close(w); });
        if (name[0] == 'e')
            dlmess_dialog_show_error(app().top, app().adata.catd, MANDATORY);
        else
            dlmess_dialog_show_warning(app().top, app().adata.catd, MANDATORY);
        EXPECT_TRUE(c->ran) << name;
    }
}

TEST_F(MessageBoxes, TextWithConversionsTheCallerDoesNotPassIsShownUnformatted)
{
    EXPECT_EQ(shown_error(app().top, WRONG_TYPES, 42), "\"%s\" is not a number.");
}

TEST_F(MessageBoxes, MissingTextKeepsThePreviousOne)
{
    EXPECT_EQ(shown_error(app().top, NOT_NUMERIC, "first"), "\"first\" is not a number.");
    EXPECT_EQ(shown_error(app().top, MISSING), "\"first\" is not a number.");
}

TEST_F(MessageBoxes, ErrorModeSilencesErrorsAndWarningsOnly)
{
    dlmess_dialog_set_error_mode(0);
    EXPECT_EQ(dlmess_dialog_get_error_mode(), 0);
    EXPECT_EQ(shown_error(app().top, MANDATORY), "");
    auto w = vxdl::when_shown("warning", [](Widget b) { vxdl::press_box(b, XmDIALOG_OK_BUTTON); },
                              std::chrono::milliseconds(300));
    dlmess_dialog_show_warning(app().top, app().adata.catd, MANDATORY);
    vxdl::cancel_pending();
    EXPECT_FALSE(w->ran);

    auto c = vxdl::when_shown("confirm", [](Widget b) { vxdl::press_box(b, XmDIALOG_OK_BUTTON); });
    EXPECT_EQ(dlmess_dialog_confirm(app().top, app().adata.catd, MANDATORY, -1, -1, 0), 1);
    EXPECT_TRUE(c->ran);
    auto q = vxdl::when_shown("prompt", [](Widget b) {
        vxdl::set_text(XmSelectionBoxGetChild(b, XmDIALOG_TEXT), "yes");
        vxdl::press_box(b, XmDIALOG_OK_BUTTON);
    });
    const char *r = dlmess_dialog_prompt(app().top, app().adata.catd, 1, 7, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r, "yes");
}

TEST_F(MessageBoxes, SuppressedErrorShowsOnceUntilReset)
{
    dlmess_add_error_suppression(dlmess_error_key(1, 10));
    EXPECT_NE(shown_error(app().top, NOT_NUMERIC, "a"), "");
    EXPECT_EQ(shown_error(app().top, NOT_NUMERIC, "b"), "");
    EXPECT_EQ(shown_error(app().top, NOT_NUMERIC, "c"), "");
    // A key never added is always shown, also while suppression is on.
    EXPECT_NE(shown_error(app().top, MANDATORY), "");
    EXPECT_NE(shown_error(app().top, MANDATORY), "");
    // Adding a suppressed key again does not show it again.
    dlmess_add_error_suppression(dlmess_error_key(1, 10));
    EXPECT_EQ(shown_error(app().top, NOT_NUMERIC, "d"), "");
    dlmess_reset_error_suppression();
    EXPECT_NE(shown_error(app().top, NOT_NUMERIC, "e"), "");
    EXPECT_NE(shown_error(app().top, NOT_NUMERIC, "f"), "");
}

// How a confirm box is answered.
enum Answer { OK, CANCEL, WM_CLOSE };

int confirm_answered(Answer a, int ok_label = -1, int cancel_label = -1, std::string *labels = nullptr)
{
    auto p = vxdl::when_shown("confirm", [&](Widget box) {
        if (labels)
            *labels = vxdl::label(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON)) + "/" +
                      vxdl::label(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON));
        if (a == OK)
            vxdl::press_box(box, XmDIALOG_OK_BUTTON);
        else if (a == CANCEL)
            vxdl::press_box(box, XmDIALOG_CANCEL_BUTTON);
        else
            vxdl::wm_close(box);
    });
    int r = dlmess_dialog_confirm(app().top, app().adata.catd, NOT_NUMERIC, ok_label, cancel_label, 0, "x");
    EXPECT_TRUE(p->ran);
    return r;
}

TEST_F(MessageBoxes, ConfirmAnswers)
{
    EXPECT_EQ(confirm_answered(OK), 1);
    EXPECT_EQ(confirm_answered(CANCEL), 0);
    EXPECT_EQ(confirm_answered(OK), 1);
    // Closed by the window manager right after a yes: the answer is no.
    EXPECT_EQ(confirm_answered(WM_CLOSE), 0);
    EXPECT_FALSE(XtIsManaged(dlmain_dialogs[2].widget));
}

TEST_F(MessageBoxes, ConfirmLabels)
{
    std::string labels;
    confirm_answered(OK, -1, -1, &labels);
    EXPECT_EQ(labels, "OK/Cancel");
    // Labels from the message's own set (set 1: 4 Close, 5 Reset).
    confirm_answered(OK, 4, 5, &labels);
    EXPECT_EQ(labels, "Close/Reset");
    // Numbers without a text fall back to the standard labels.
    confirm_answered(CANCEL, 900, 901, &labels);
    EXPECT_EQ(labels, "OK/Cancel");
    unsigned char def = 0;
    XtVaGetValues(dlmain_dialogs[2].widget, XmNdefaultButtonType, &def, nullptr);
    EXPECT_EQ(def, XmDIALOG_CANCEL_BUTTON);
}

TEST_F(MessageBoxes, RelaxedConfirmationAnswersYesUnlessForced)
{
    relaxed_confirm = 1;
    EXPECT_EQ(dlmess_dialog_confirm(app().top, app().adata.catd, MANDATORY, -1, -1, 0), 1);
    EXPECT_EQ(dlmain_dialogs[2].widget, nullptr);  // nothing was shown
    auto p = vxdl::when_shown("confirm", [](Widget b) { vxdl::press_box(b, XmDIALOG_CANCEL_BUTTON); });
    EXPECT_EQ(dlmess_dialog_confirm(app().top, app().adata.catd, MANDATORY, -1, -1, 1), 0);
    EXPECT_TRUE(p->ran);
}

TEST_F(MessageBoxes, NoShellMeansNoBox)
{
    dlmess_dialog_register_alternate_shell(nullptr);
    EXPECT_EQ(dlmess_dialog_confirm(nullptr, app().adata.catd, MANDATORY, -1, -1, 1), 0);
    EXPECT_EQ(dlmess_dialog_prompt(nullptr, app().adata.catd, 1, 7, "x"), nullptr);
    EXPECT_EQ(shown_error(nullptr, MANDATORY), "");
    for (int id : {0, 1, 2, 3})
        EXPECT_EQ(dlmain_dialogs[id].widget, nullptr);
}

TEST_F(MessageBoxes, RecreatedOnAnotherParent)
{
    // No parent: the alternate shell.
    EXPECT_NE(shown_error(nullptr, MANDATORY), "");
    Widget first = dlmain_dialogs[0].widget;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(XtParent(XtParent(first)), app().other);
    // The same parent keeps the box.
    EXPECT_NE(shown_error(app().other, MANDATORY), "");
    EXPECT_EQ(dlmain_dialogs[0].widget, first);
    // Another parent: a new box on it, still answering.
    EXPECT_EQ(shown_error(app().top, NOT_NUMERIC, "z"), "\"z\" is not a number.");
    ASSERT_NE(dlmain_dialogs[0].widget, nullptr);
    EXPECT_EQ(XtParent(XtParent(dlmain_dialogs[0].widget)), app().top);
    EXPECT_EQ(vxdl::find(app().other, "error"), nullptr);
}

// The reply of a prompt answered by `act` after typing `typed`.
const char *prompt_answered(Answer act, const char *typed, const char *initial, std::string *shown = nullptr,
                            bool literal = false)
{
    auto p = vxdl::when_shown("prompt", [=](Widget box) {
        Widget text = XmSelectionBoxGetChild(box, XmDIALOG_TEXT);
        if (shown) {
            XmString s = nullptr;
            XtVaGetValues(box, XmNselectionLabelString, &s, nullptr);
            *shown = vxdl::xmstring(s) + "|" + vxdl::text(text);
            XmStringFree(s);
        }
        if (typed)
            vxdl::set_text(text, typed);
        if (act == OK)
            vxdl::press_box(box, XmDIALOG_OK_BUTTON);
        else if (act == CANCEL)
            vxdl::press_box(box, XmDIALOG_CANCEL_BUTTON);
        else
            vxdl::wm_close(box);
    });
    const char *r = literal ? dlmess_dialog_prompt(app().top, app().adata.catd, -1, "Name of the view:", initial)
                            : dlmess_dialog_prompt(app().top, app().adata.catd, 1, 7, initial);
    EXPECT_TRUE(p->ran);
    return r;
}

TEST_F(MessageBoxes, PromptReplies)
{
    std::string shown;
    const char *r = prompt_answered(OK, "  hello world  ", "start", &shown);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r, "hello world");
    EXPECT_EQ(shown, "This field must not be left blank.|start");
    EXPECT_EQ(prompt_answered(OK, "   ", nullptr), nullptr);
    EXPECT_EQ(prompt_answered(CANCEL, "typed", nullptr), nullptr);
    // Closed by the window manager: no reply, not the initial one.
    EXPECT_EQ(prompt_answered(WM_CLOSE, nullptr, "initial"), nullptr);
    // The initial reply is returned when accepted as it stands.
    r = prompt_answered(OK, nullptr, "initial");
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r, "initial");
    r = prompt_answered(OK, "v1", nullptr, &shown, true);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r, "v1");
    EXPECT_EQ(shown, "Name of the view:|");
    Widget text = XmSelectionBoxGetChild(dlmain_dialogs[3].widget, XmDIALOG_TEXT);
    int max = 0;
    XtVaGetValues(text, XmNmaxLength, &max, nullptr);
    EXPECT_EQ(max, 255);
}

TEST_F(MessageBoxes, LongInitialReplyIsCutToTheBuffer)
{
    std::string initial(400, 'q');
    const char *r = prompt_answered(OK, nullptr, initial.c_str());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(strlen(r), 255u);
}

TEST_F(MessageBoxes, BoxShownFromInsideAnotherWaitsForItsOwnAnswer)
{
    // While the confirm box waits, an error comes up and is answered; the
    // confirm box must still be waiting for its own answer afterwards.
    bool confirm_still_up = false;
    auto e = vxdl::when_shown("confirm", [&](Widget) {
        auto inner = vxdl::when_shown("error", [&](Widget b) { vxdl::press_box(b, XmDIALOG_OK_BUTTON); });
        dlmess_dialog_show_error(app().top, app().adata.catd, MANDATORY);
        confirm_still_up = XtIsManaged(dlmain_dialogs[2].widget);
        vxdl::when_shown("confirm", [](Widget b) { vxdl::press_box(b, XmDIALOG_OK_BUTTON); });
    });
    EXPECT_EQ(dlmess_dialog_confirm(app().top, app().adata.catd, MANDATORY, -1, -1, 1), 1);
    EXPECT_TRUE(e->ran);
    EXPECT_TRUE(confirm_still_up);
}

TEST_F(MessageBoxes, RevisionBoxShowsItsTextsFormatted)
{
    DialogRecord *r = &dlmain_dialogs[5];
    ASSERT_EQ(r->create(r, app().top), 0);
    Widget box = r->widget;
    ASSERT_NE(box, nullptr);
    EXPECT_STREQ(XtName(box), "ltp");
    EXPECT_EQ(vxdl::shell_title(box), "About Vostrelane");
    EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON)));
    EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON)));
    // Set 1: 8 and 12 take a string each; 7 takes none.
    DlLtpValue v{app().adata.catd, 1, {8, 7, 12, 999}, {"5", "EMP", nullptr, nullptr}};
    r->setval(r, &v);
    EXPECT_EQ(vxdl::message(box),
              "The value is below the minimum of 5.This field must not be left blank.\"EMP\" is not a valid "
              "database name.");
    // An empty text leaves the box as it was.
    DlLtpValue none{app().adata.catd, 1, {900, 901, 902, 903}, {}};
    r->setval(r, &none);
    EXPECT_NE(vxdl::message(box).find("minimum of 5"), std::string::npos);
    r->popup(r, 0, 0, 0, 5);
    EXPECT_TRUE(XtIsManaged(box));
    r->popdown(r);
    EXPECT_FALSE(XtIsManaged(box));
}

TEST_F(MessageBoxes, HelpHooksReceiveTheBoxesHelpIds)
{
    static std::vector<int> ids;
    static int helps;
    ids.clear();
    helps = 0;
    dlmain_register_help_hook = [](Widget, int id) { ids.push_back(id); };
    dlmain_appl_help_hook = [](Widget) { helps++; };
    auto p = vxdl::when_shown("warning", [](Widget b) {
        vxdl::press_box(b, XmDIALOG_HELP_BUTTON);
        vxdl::press_box(b, XmDIALOG_OK_BUTTON);
    });
    dlmess_dialog_show_warning(app().top, app().adata.catd, MANDATORY);
    auto q = vxdl::when_shown("confirm", [](Widget b) { vxdl::press_box(b, XmDIALOG_OK_BUTTON); });
    dlmess_dialog_confirm(app().top, app().adata.catd, MANDATORY, -1, -1, 1);
    dlmain_register_help_hook = nullptr;
    dlmain_appl_help_hook = nullptr;
    EXPECT_EQ(ids, (std::vector<int>{804, 805}));
    EXPECT_EQ(helps, 1);
}

}  // namespace
