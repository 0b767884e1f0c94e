// The dialog framework under Xvfb: a real dialog with validated fields,
// OK pressed during its own apply, placement, titles, text insertion into
// real widgets, the builders and sub-dialog borrowing.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlmain.h"
#include "dltestkit.h"

#include <Xm/Form.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>

namespace {

using vxdl::app;

struct Log {
    int apply = 0, reset = 0, dismiss = 0;
    int done = 1;
} log_;

void apply_notify(DialogRecord *, int *done)
{
    log_.apply++;
    *done = log_.done;
}

void reset_notify(DialogRecord *, int *done)
{
    log_.reset++;
    *done = 1;
}

void dismiss_notify(DialogRecord *rec, int *done)
{
    log_.dismiss++;
    rec->popdown(rec);
    *done = 1;
}

class Framework : public testing::Test {
protected:
    DialogRecord *rec = nullptr;
    Widget form = nullptr, amount = nullptr, name = nullptr;

    void SetUp() override
    {
        app();
        dlmain_clear_dialogs();
        log_ = Log{};
        rec = vxdl::make_test_dialog(40, app().other, "testDialog", 2);
        rec->apply = apply_notify;
        rec->reset = reset_notify;
        rec->dismiss = dismiss_notify;
        form = XtVaCreateManagedWidget("form1", xmFormWidgetClass, rec->widget, nullptr);
        amount = dlmain_create_text_field(form, "amountT", 10, 20);
        name = dlmain_create_text_field(form, "nameT", 10, 30);
        XtVaSetValues(name, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, amount, nullptr);
        XtManageChild(amount);
        XtManageChild(name);
        XtUnmanageChild(XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT));
        XtUnmanageChild(XmSelectionBoxGetChild(rec->widget, XmDIALOG_SELECTION_LABEL));
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (dlmain_text_error_pending())
            vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        if (rec->widget)
            dlmain_std_destroy_dialog(rec);
        vxdl::pump_until([] { return true; });
    }
    void popup() { ASSERT_EQ(rec->popup(rec, 0, 0, 0, 5), 0); }
    Widget button(unsigned char which) { return XmSelectionBoxGetChild(rec->widget, which); }
};

TEST_F(Framework, ButtonsOfEachType)
{
    struct {
        int type;
        bool ok, apply;
        const char *apply_label, *cancel_label;
    } cases[] = {
        {1, true, false, nullptr, "Cancel"},
        {2, true, true, "Apply", "Cancel"},
        {4, false, true, "Reset", "Close"},
        {5, false, false, nullptr, "Close"},
    };
    for (auto &c : cases) {
        DialogRecord *r = vxdl::make_test_dialog(41, app().other, "typed", c.type);
        SCOPED_TRACE(c.type);
        EXPECT_EQ(XtIsManaged(XmSelectionBoxGetChild(r->widget, XmDIALOG_OK_BUTTON)), c.ok);
        Widget apply = XmSelectionBoxGetChild(r->widget, XmDIALOG_APPLY_BUTTON);
        EXPECT_EQ(XtIsManaged(apply), c.apply);
        if (c.apply_label) {
            EXPECT_EQ(vxdl::label(apply), c.apply_label);
        }
        EXPECT_EQ(vxdl::label(XmSelectionBoxGetChild(r->widget, XmDIALOG_CANCEL_BUTTON)), c.cancel_label);
        EXPECT_EQ(vxdl::label(XmSelectionBoxGetChild(r->widget, XmDIALOG_HELP_BUTTON)), "Help");
        dlmain_std_destroy_dialog(r);
    }
}

TEST_F(Framework, OkPressedAgainDuringItsApplyAppliesOnce)
{
    popup();
    static bool released;
    released = false;
    static Widget ok;
    ok = button(XmDIALOG_OK_BUTTON);
    // The apply runs a nested loop (as a waiting query does) in which the
    // user presses OK again, then Cancel, before it ends.
    rec->apply = [](DialogRecord *, int *done) {
        log_.apply++;
        vxdl::when_shown("testDialog", [](Widget w) {
            vxdl::press(ok);
            vxdl::press_box(w, XmDIALOG_CANCEL_BUTTON);
            released = true;
        });
        vxdl::pump_until([] { return released; });
        *done = 1;
    };
    vxdl::press(ok);
    EXPECT_TRUE(released);
    EXPECT_EQ(log_.apply, 1);
    EXPECT_EQ(log_.reset, 0);
    EXPECT_EQ(log_.dismiss, 1);
    EXPECT_FALSE(XtIsManaged(rec->widget));
}

TEST_F(Framework, MandatoryFieldCheckedOnlyOnOkAndApply)
{
    dlmain_setup_text_validation(rec->widget, name, DL_VAL_MANDATORY, "", nullptr, nullptr, nullptr, nullptr);
    popup();
    vxdl::set_text(name, "   ");
    // Focus leaving the field does not complain about a blank.
    XtCallCallbacks(name, XmNlosingFocusCallback, nullptr);
    EXPECT_FALSE(dlmain_text_error_pending());
    vxdl::press(button(XmDIALOG_OK_BUTTON));
    EXPECT_TRUE(dlmain_text_error_pending());
    EXPECT_EQ(log_.apply, 0);
    EXPECT_EQ(vxdl::message(dlmain_text_error_box()), "This field must not be left blank.");
    EXPECT_EQ(vxdl::shell_title(dlmain_text_error_box()), "Input Error");
    EXPECT_FALSE(XtIsSensitive(button(XmDIALOG_OK_BUTTON)));
    EXPECT_FALSE(XtIsSensitive(button(XmDIALOG_APPLY_BUTTON)));
    // While the error shows, OK does nothing.
    vxdl::press(button(XmDIALOG_OK_BUTTON));
    EXPECT_EQ(log_.apply, 0);
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
    EXPECT_FALSE(dlmain_text_error_pending());
    EXPECT_TRUE(XtIsSensitive(button(XmDIALOG_OK_BUTTON)));
    EXPECT_TRUE(XtIsSensitive(button(XmDIALOG_APPLY_BUTTON)));
    vxdl::set_text(name, "SMITH");
    vxdl::press(button(XmDIALOG_APPLY_BUTTON));
    EXPECT_EQ(log_.apply, 1);
    EXPECT_EQ(log_.dismiss, 0);
}

TEST_F(Framework, NumericFieldErrorsAndRewrites)
{
    dlmain_setup_text_validation(rec->widget, amount, DL_VAL_NUMERIC | DL_VAL_RANGE | DL_VAL_INTEGER, "10", "0",
                                 "100", nullptr, nullptr);
    popup();
    vxdl::set_text(amount, "500");
    XtCallCallbacks(amount, XmNlosingFocusCallback, nullptr);
    ASSERT_TRUE(dlmain_text_error_pending());
    EXPECT_EQ(vxdl::message(dlmain_text_error_box()), "The value is above the maximum of 100.");
    // Its OK puts the default text back.
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
    EXPECT_EQ(vxdl::text(amount), "10");
    vxdl::set_text(amount, "4.2e1");
    vxdl::press(button(XmDIALOG_APPLY_BUTTON));
    EXPECT_EQ(vxdl::text(amount), "42");
    EXPECT_EQ(log_.apply, 1);
    // An insensitive field is not checked.
    vxdl::set_text(amount, "abc");
    XtSetSensitive(amount, False);
    vxdl::press(button(XmDIALOG_APPLY_BUTTON));
    EXPECT_FALSE(dlmain_text_error_pending());
    EXPECT_EQ(log_.apply, 2);
}

int no_spaces(const char *t)
{
    return strchr(t, ' ') == nullptr;
}

TEST_F(Framework, CheckProcedureMessageAndChainOrder)
{
    dlmain_setup_text_validation(rec->widget, name, DL_VAL_UPPER, nullptr, nullptr, nullptr, no_spaces,
                                 "No blanks in %s, please %d");
    dlmain_setup_text_validation(rec->widget, amount, DL_VAL_NUMERIC, "", nullptr, nullptr, nullptr, nullptr);
    popup();
    vxdl::set_text(name, "a b");
    vxdl::set_text(amount, "x");
    // The newest validation is checked first and the pass stops at the
    // first error.
    vxdl::press(button(XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(dlmain_text_error_pending());
    EXPECT_EQ(vxdl::message(dlmain_text_error_box()), "\"x\" is not a number.");
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
    EXPECT_EQ(vxdl::text(amount), "");
    vxdl::set_text(amount, "1");
    vxdl::press(button(XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(dlmain_text_error_pending());
    // A format with a conversion the field cannot supply is shown as it stands.
    EXPECT_EQ(vxdl::message(dlmain_text_error_box()), "No blanks in %s, please %d");
    EXPECT_EQ(vxdl::text(name), "A B");
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
    vxdl::set_text(name, "ab");
    vxdl::press(button(XmDIALOG_OK_BUTTON));
    EXPECT_EQ(log_.apply, 1);
    EXPECT_EQ(vxdl::text(name), "AB");
}

TEST_F(Framework, ProhibitedApplyStaysGreyAfterATextError)
{
    dlmain_setup_text_validation(rec->widget, amount, DL_VAL_NUMERIC, "", nullptr, nullptr, nullptr, nullptr);
    popup();
    dlmain_disable_dialog_apply(rec, 1);
    EXPECT_FALSE(XtIsSensitive(button(XmDIALOG_OK_BUTTON)));
    vxdl::set_text(amount, "zz");
    XtCallCallbacks(amount, XmNlosingFocusCallback, nullptr);
    ASSERT_TRUE(dlmain_text_error_pending());
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
    EXPECT_FALSE(XtIsSensitive(button(XmDIALOG_OK_BUTTON)));
    EXPECT_FALSE(XtIsSensitive(button(XmDIALOG_APPLY_BUTTON)));
    // Popping down lifts the prohibition.
    rec->popdown(rec);
    vxdl::set_text(amount, "1");
    popup();
    vxdl::press(button(XmDIALOG_APPLY_BUTTON));
    EXPECT_EQ(log_.apply, 1);
}

TEST_F(Framework, CancelAndWindowManagerClose)
{
    popup();
    vxdl::press(button(XmDIALOG_CANCEL_BUTTON));
    EXPECT_EQ(log_.reset, 1);
    EXPECT_EQ(log_.dismiss, 1);
    EXPECT_FALSE(XtIsManaged(rec->widget));
    popup();
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::find_shown("testDialog") != nullptr; }));
    vxdl::wm_close(rec->widget);
    ASSERT_TRUE(vxdl::pump_until([&] { return log_.dismiss == 2; }));
    EXPECT_EQ(log_.reset, 1);
    EXPECT_FALSE(XtIsManaged(rec->widget));
}

TEST_F(Framework, PlacementModes)
{
    struct {
        int mode, x, y;
        bool centred_x, centred_y, bottom;
    } cases[] = {
        {1, 100, 120, false, false, false},
        {2, 400, 300, true, true, false},
        {3, 400, 300, true, false, true},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(rec->popup(rec, c.x, c.y, c.mode, 5), 0);
        Widget shell = dlmain_dialog_shell(rec->widget);
        ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::find_shown("testDialog") != nullptr; }));
        Position sx = 0, sy = 0;
        Dimension w = 0, h = 0;
        XtVaGetValues(shell, XmNx, &sx, XmNy, &sy, nullptr);
        XtVaGetValues(rec->widget, XmNwidth, &w, XmNheight, &h, nullptr);
        EXPECT_EQ(sx, c.centred_x ? c.x - w / 2 : c.x);
        EXPECT_EQ(sy, c.centred_y ? c.y - h / 2 : c.bottom ? c.y - h : c.y);
        rec->popdown(rec);
    }
    // Mode 3 does not go above the top of the screen.
    rec->popup(rec, 400, 10, 3, 5);
    Position sy = -1;
    XtVaGetValues(dlmain_dialog_shell(rec->widget), XmNy, &sy, nullptr);
    EXPECT_EQ(sy, 0);
    rec->popdown(rec);
}

TEST_F(Framework, TitlesAndPopupRegistry)
{
    ASSERT_EQ(rec->popup(rec, 0, 0, 0, 2), 0);
    EXPECT_EQ(vxdl::shell_title(rec->widget), "Test - New");
    EXPECT_EQ(dlmain_enquire_nth_popup(0), rec->widget);
    EXPECT_EQ(dlmain_enquire_nth_popup(1), nullptr);
    rec->popdown(rec);
    EXPECT_EQ(dlmain_enquire_nth_popup(0), nullptr);
    dlmaim_setup_title_suffix("EMP");
    rec->popup(rec, 0, 0, 0, 1);
    EXPECT_EQ(vxdl::shell_title(rec->widget), "Test - EMP");
    rec->popdown(rec);  // clears the suffix
    rec->popup(rec, 0, 0, 0, 1);
    EXPECT_EQ(vxdl::shell_title(rec->widget), "Test - Edit");
    rec->popdown(rec);
    rec->popup(rec, 0, 0, 0, 5);
    EXPECT_EQ(vxdl::shell_title(rec->widget), "Test");
    rec->popdown(rec);
}

TEST_F(Framework, InsertionIntoRealFields)
{
    popup();
    vxdl::set_text(name, "x");
    XmTextFieldSetSelection(name, 0, 1, CurrentTime);
    dlmain_set_text_value(name, "max()", 6, 4, 0);
    EXPECT_EQ(vxdl::text(name), "max(x)");
    EXPECT_EQ(XmTextFieldGetInsertionPosition(name), 5);
    // A result longer than the field's maximum (30) changes nothing.
    std::string before = vxdl::text(name);
    dlmain_set_text_value(name, "0123456789012345678901234567890", 2, 3, 0);
    EXPECT_EQ(vxdl::text(name), before);
    dlmain_set_text_value(name, nullptr, 1, 1, 0);
    EXPECT_EQ(vxdl::text(name), before);
    dlmain_set_text_value(name, "a\nb", 1, 3, 0);
    EXPECT_EQ(vxdl::text(name), "a b");
    EXPECT_EQ(XmTextFieldGetInsertionPosition(name), 3);
    char *copy = dlmain_get_text_value(name);
    EXPECT_STREQ(copy, "a b");
    XtFree(copy);
}

void unit_cb(Widget, XtPointer client, XtPointer)
{
    log_.apply = static_cast<int>(reinterpret_cast<long>(client)) + 100;
}

TEST_F(Framework, OptionMenusTogglesAndScales)
{
    const int entries[] = {2, 3, 4};
    Widget om = dlmain_create_option_menu(form, "unitO", -1, 1, entries, "unitB", unit_cb);
    XtManageChild(om);
    Widget toggle = dlmain_create_toggle(form, "gridT", -1, 5);
    XtManageChild(toggle);
    Widget scale = dlmain_create_scale(form, "sourceSC", -1, 6, 0, 100, 0);
    XtManageChild(scale);
    popup();

    EXPECT_EQ(vxdl::label(XmOptionLabelGadget(om)), "OK");
    dlmain_set_option(om, 2);
    EXPECT_EQ(dlmain_get_option(om), 2);
    Widget shown = nullptr;
    XtVaGetValues(om, XmNmenuHistory, &shown, nullptr);
    EXPECT_EQ(vxdl::label(shown), "Close");
    vxdl::press(shown);
    EXPECT_EQ(log_.apply, 102);
    dlmain_set_option(om, 7);  // no such entry: unchanged
    EXPECT_EQ(dlmain_get_option(om), 2);

    EXPECT_EQ(vxdl::label(toggle), "Reset");
    dlmain_set_toggle(toggle, 5);
    EXPECT_EQ(dlmain_get_toggle(toggle), 1);
    dlmain_set_toggle(toggle, 0);
    EXPECT_EQ(dlmain_get_toggle(toggle), 0);

    // A real that goes through the scale unchanged comes back unchanged.
    for (double v : {0.29, 0.57, 1.0, 0.0}) {
        dlmain_set_scale_real(scale, v);
        EXPECT_DOUBLE_EQ(dlmain_get_scale_real(scale), v);
    }
    dlmain_set_scale_real(scale, 7.5);  // beyond the range: shown at its end
    EXPECT_EQ(dlmain_get_scale(scale), 100);
    dlmain_set_scale(scale, -3);
    EXPECT_EQ(dlmain_get_scale(scale), 0);
}

// ---- borrowing ----------------------------------------------------------------------------------

int sub_setval_calls;
void *sub_setval_value;
int sub_setval(DialogRecord *, void *value)
{
    sub_setval_calls++;
    sub_setval_value = value;
    return 0;
}

void borrower_apply(DialogRecord *, int *done)
{
    log_.apply += 10;
    *done = 1;
}

DlSubDialog sub;

void borrower_dismiss(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    dlmain_return_dialog(sub);
    *done = 1;
}

TEST_F(Framework, BorrowedDialogGetsItsRecordBack)
{
    rec->setval = sub_setval;
    rec->reference_mask = 0x8;
    DialogRecord *owner = &dlmain_dialogs[52];
    owner->adopt = [](DialogRecord *, int id) { return &dlmain_dialogs[id]; };
    int value = 7;
    DlSubNotify procs;
    procs.apply = borrower_apply;
    procs.dismiss = borrower_dismiss;
    procs.reset = borrower_dismiss;
    procs.reference_mask = 0x10;
    procs.set_mask = true;
    sub_setval_calls = 0;
    DialogRecord *b = dlmain_borrow_dialog(sub, owner, 40, procs, &value, nullptr, 1);
    ASSERT_EQ(b, rec);
    EXPECT_EQ(sub_setval_calls, 1);
    EXPECT_EQ(sub_setval_value, &value);
    EXPECT_TRUE(XtIsManaged(rec->widget));
    EXPECT_EQ(rec->reference_mask, 0x10u);
    vxdl::press(button(XmDIALOG_OK_BUTTON));
    EXPECT_EQ(log_.apply, 10);
    EXPECT_FALSE(XtIsManaged(rec->widget));
    // The dialog's own client is back.
    EXPECT_EQ(rec->apply, apply_notify);
    EXPECT_EQ(rec->dismiss, dismiss_notify);
    EXPECT_EQ(rec->reference_mask, 0x8u);
    EXPECT_EQ(sub.record, nullptr);
    popup();
    vxdl::press(button(XmDIALOG_OK_BUTTON));
    EXPECT_EQ(log_.apply, 11);
}

}  // namespace
