// The test kit's real input on a bare display: a gadget clicked, a list
// item double-clicked, text typed into a field with its focus set by hand,
// and the bell it rings counted; widgets found by path and by repeat.
// With them, the dialog kit's radio boxes, forced text and popup rules.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlkit.h"
#include "dltestkit.h"

#include <Xm/Form.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/PushBG.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

namespace {

using vxdl::app;

int pressed = 0;
int default_position = 0;
int selected_position = 0;

void press_cb(Widget, XtPointer, XtPointer)
{
    pressed++;
}

void list_cb(Widget, XtPointer, XtPointer call)
{
    auto *cbs = static_cast<XmListCallbackStruct *>(call);
    if (cbs->reason == XmCR_DEFAULT_ACTION)
        default_position = cbs->item_position;
    else
        selected_position = cbs->item_position;
}

class Kit : public testing::Test {
protected:
    DialogRecord *rec = nullptr;
    Widget form = nullptr, gadget = nullptr, list = nullptr, field = nullptr;

    void SetUp() override
    {
        app();
        dlmain_clear_dialogs();
        pressed = default_position = selected_position = 0;
        rec = vxdl::make_test_dialog(40, app().top, "kitDialog", 1);
        form = XtVaCreateManagedWidget("form1", xmFormWidgetClass, rec->widget, nullptr);
        gadget = XtVaCreateManagedWidget("pushB", xmPushButtonGadgetClass, form, XmNwidth, 80, XmNheight, 30,
                                         XmNrecomputeSize, False, nullptr);
        XtAddCallback(gadget, XmNactivateCallback, press_cb, nullptr);
        Widget again = XtVaCreateManagedWidget("pushB", xmPushButtonGadgetClass, form, nullptr);
        dl_attach_left(again, gadget, 5);
        list = XmCreateScrolledList(form, const_cast<char *>("itemsL"), nullptr, 0);
        XtVaSetValues(list, XmNvisibleItemCount, 4, XmNselectionPolicy, XmSINGLE_SELECT, nullptr);
        DlItemList items;
        for (const char *t : {"one", "two", "three"})
            items.add(t);
        items.show(list);
        XtAddCallback(list, XmNdefaultActionCallback, list_cb, nullptr);
        XtAddCallback(list, XmNsingleSelectionCallback, list_cb, nullptr);
        XtManageChild(list);
        dl_attach_top(XtParent(list), gadget, 5);
        field = dlmain_create_text_field(form, "fieldT", 8, 3);
        XtManageChild(field);
        dl_attach_top(field, XtParent(list), 5);
        XtUnmanageChild(XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT));
        ASSERT_EQ(rec->popup(rec, 100, 100, 1, 5), 0);
        ASSERT_TRUE(vxdl::wait_viewable(rec->widget));
    }
    void TearDown() override
    {
        if (rec->widget)
            dlmain_std_destroy_dialog(rec);
        vxdl::pump_idle();
    }
};

TEST_F(Kit, FindsByPathAndByRepeat)
{
    EXPECT_EQ(vxdl::at(rec->widget, "form1/pushB"), gadget);
    EXPECT_EQ(vxdl::at(app().top, "kitDialog_popup/kitDialog/form1/fieldT"), field);
    EXPECT_EQ(vxdl::at(rec->widget, "form1/nothing"), nullptr);
    EXPECT_EQ(vxdl::nth(rec->widget, "pushB", 0), gadget);
    Widget second = vxdl::nth(rec->widget, "pushB", 1);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, gadget);
    EXPECT_EQ(vxdl::nth(rec->widget, "pushB", 2), nullptr);
}

TEST_F(Kit, ClicksAGadgetAndDoubleClicksAListItem)
{
    vxdl::click(gadget);
    EXPECT_EQ(pressed, 1);
    vxdl::click_item(list, 3);
    EXPECT_EQ(selected_position, 3);
    EXPECT_EQ(default_position, 0);
    vxdl::click_item(list, 2, 2);
    EXPECT_EQ(default_position, 2);
}

TEST_F(Kit, TypesIntoAFieldAndCountsTheBell)
{
    int before = vxdl::bells();
    ASSERT_GE(before, 0);
    vxdl::type(field, "aB ");
    EXPECT_EQ(vxdl::text(field), "aB ");
    EXPECT_EQ(vxdl::bells(), before);
    vxdl::type(field, "z");  // past the field's maximum length
    EXPECT_EQ(vxdl::text(field), "aB ");
    EXPECT_EQ(vxdl::bells(), before + 1);
    vxdl::key(field, "BackSpace");
    EXPECT_EQ(vxdl::text(field), "aB");
}

TEST_F(Kit, RadioBoxForcedTextAndTitleModeRules)
{
    static const int labels[] = {2, 3, 4};
    Widget radio = dl_radio_box(form, "modeRadio", 29, labels, "modeT", true);
    dl_attach_top(radio, field, 5);
    vxdl::pump_idle();
    EXPECT_EQ(dl_get_radio(radio), -1);
    dl_set_radio(radio, 1, false);
    EXPECT_EQ(dl_get_radio(radio), 1);
    dl_set_radio(radio, 7, true);  // no such toggle: unchanged
    EXPECT_EQ(dl_get_radio(radio), 1);
    vxdl::click(vxdl::nth(radio, "modeT", 2));
    EXPECT_EQ(dl_get_radio(radio), 2);
    EXPECT_FALSE(XmToggleButtonGadgetGetState(dl_radio_toggle(radio, 1)));

    // A forced set cuts to the field's maximum length instead of keeping
    // the old text.
    vxdl::set_text(field, "ab");
    dl_set_text(field, "wxyz");
    EXPECT_EQ(vxdl::text(field), "wxy");
    EXPECT_EQ(XmTextFieldGetInsertionPosition(field), 3);

    // Delete only for an edited object; OK greyed for one only shown.
    Widget ok = dl_box_button(rec->widget, XmDIALOG_OK_BUTTON);
    for (int mode : {1, 2, 3, 4}) {
        dl_apply_title_mode(rec, mode, gadget);
        EXPECT_EQ(XtIsSensitive(gadget) != False, mode == 1) << mode;
        EXPECT_EQ(XtIsSensitive(ok) != False, mode != 3) << mode;
    }
    dl_apply_title_mode(rec, 1, gadget);

    // A validation table row whose path names no widget is reported.
    const DlValidationSpec rows[] = {
        {"form1/fieldT", DL_VAL_NUMERIC, nullptr, nullptr, nullptr, nullptr, 0},
        {"form1/noSuchT", DL_VAL_NUMERIC, nullptr, nullptr, nullptr, nullptr, 0},
    };
    EXPECT_FALSE(dl_setup_validations(rec, rows));
    vxdl::set_text(field, "x");
    EXPECT_EQ(dlmain_validate_dialog(rec->widget), 0);  // the first row took
    vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);

    // A gadget's root origin is its centre less half its size.
    int ox = 0, oy = 0, cx = 0, cy = 0;
    dl_root_origin(gadget, ox, oy);
    vxdl::root_centre(gadget, cx, cy);
    Dimension gw = 0, gh = 0;
    XtVaGetValues(gadget, XmNwidth, &gw, XmNheight, &gh, nullptr);
    EXPECT_EQ(ox + gw / 2, cx);
    EXPECT_EQ(oy + gh / 2, cy);
}

}  // namespace
