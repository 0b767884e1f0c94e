// The test kit's real input on a bare display: a gadget clicked, a list
// item double-clicked, text typed into a field with its focus set by hand,
// and the bell it rings counted; widgets found by path and by repeat.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlkit.h"
#include "dltestkit.h"

#include <Xm/Form.h>
#include <Xm/List.h>
#include <Xm/PushBG.h>
#include <Xm/SelectioB.h>

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

}  // namespace
