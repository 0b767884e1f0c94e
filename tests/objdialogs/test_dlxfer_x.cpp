// The transfer dialog under Xvfb with real widgets and real input: setval
// and getval, the sensitivity of the inputs as direction, medium and
// format change, Start greying every input while the apply runs and an
// empty path stopping it, the status line, and the condition editor
// borrowed for the WHERE text and given back.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlexpr.h"
#include "dlkit.h"
#include "dltestkit.h"
#include "dlxfer.h"
#include "wsobj.h"
#include "xfer.h"

#include <Xm/MessageB.h>
#include <Xm/RowColumn.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <cstring>
#include <map>
#include <string>

namespace {

// The names of the inputs Start greys.
const char *const INPUTS[] = {"directionO", "mediaO", "filepipeT", "searchB", "delimL", "delimT", "terminatorO",
                              "overwriteT", "colnamesT", "use_whereT", "where_condL", "where_condT", "editorbutB"};

struct Client {
    int applies = 0;
    ObTransferData request{};
    // Sensitivity of every input (and the three format toggles, Start
    // and Close) while the apply ran.
    std::map<std::string, bool> during;
} client;

DialogRecord *xfer() { return &dlmain_dialogs[22]; }
DialogRecord *cond() { return &dlmain_dialogs[9]; }

Widget w(const char *name) { return vxdl::find(xfer()->widget, name); }
bool sensitive(Widget x) { return x && XtIsSensitive(x); }
bool sensitive(const char *name) { return sensitive(w(name)); }
bool on(const char *name) { return XmToggleButtonGadgetGetState(w(name)); }
Widget format_toggle(int i) { return vxdl::nth(xfer()->widget, "formatT", i); }
Widget close_button() { return dl_box_button(xfer()->widget, XmDIALOG_CANCEL_BUTTON); }

// The workspace's apply: reads the request and, as the transfer does,
// reports counts on the status line.
void transfer_apply(DialogRecord *rec, int *done)
{
    client.applies++;
    for (const char *name : INPUTS)
        client.during[name] = sensitive(name);
    for (int i = 0; i < 3; i++)
        client.during["formatT" + std::to_string(i)] = sensitive(format_toggle(i));
    client.during["startBut"] = sensitive("startBut");
    client.during["close"] = sensitive(close_button());
    rec->getval(rec, &client.request);
    dlxfer_set_transfer_status(-1, 0, 0);
    dlxfer_set_transfer_status(120, 0, 0);
    *done = 1;
}
void dismiss(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    *done = 1;
}
DialogRecord *adopt(DialogRecord *, int id) { return &dlmain_dialogs[static_cast<size_t>(id)]; }
void own_notify(DialogRecord *, int *done) { *done = 1; }

ObTransferData request(int direction, int medium, int format, int use_where)
{
    ObTransferData t{};
    t.kind = OB_TRANSFER;
    strcpy(t.table, "STAFF");
    t.direction = direction;
    t.medium = medium;
    strcpy(t.path, "/tmp/staff.txt");
    t.format = format;
    strcpy(t.delimiter, ",");
    t.terminator = XFER_CRLF;
    t.name_row = 1;
    t.use_where = use_where;
    strcpy(t.where, "DEPTNO=10");
    return t;
}

// A choice from an option menu, by pointer: the menu posted, the entry
// clicked.
void choose(const char *menu, const char *entry)
{
    Widget option = w(menu);
    ASSERT_NE(option, nullptr);
    vxdl::click(XmOptionButtonGadget(option));
    Widget item = w(entry);
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(vxdl::wait_viewable(item)) << entry;
    vxdl::click(item);
    Widget now = nullptr;
    ASSERT_TRUE(vxdl::pump_until([&] {
        XtVaGetValues(option, XmNmenuHistory, &now, nullptr);
        return now == item;
    })) << entry;
    vxdl::pump_idle();
}

std::string status() { return vxdl::label(w("statusL")); }

class Transfer : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        vxdl::app();
        dlmain_clear_dialogs();
        dlexpr_initialise_condition_dialog(cond());
        initialise_transfer_dialog(xfer());
        for (DialogRecord *r : {cond(), xfer()})
            ASSERT_EQ(r->create(r, vxdl::app().top), 0) << r->id;
    }
    void SetUp() override
    {
        client = Client{};
        DialogRecord *r = xfer();
        r->apply = transfer_apply;
        r->reset = own_notify;
        r->dismiss = dismiss;
        r->adopt = adopt;
        cond()->apply = own_notify;
        cond()->reset = own_notify;
        cond()->dismiss = dismiss;
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (dlmain_text_error_pending())
            vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        if (XtIsManaged(xfer()->widget))
            xfer()->popdown(xfer());
        vxdl::pump_idle();
    }
    void open(const ObTransferData &t)
    {
        ObTransferData copy = t;
        xfer()->setval(xfer(), &copy);
        // The workspace asks for a new object's title; the dialog keeps 4.
        ASSERT_EQ(xfer()->popup(xfer(), 30, 30, 1, 2), 0);
        ASSERT_TRUE(vxdl::wait_viewable(xfer()->widget));
    }
};

TEST_F(Transfer, TheDialogIsBuiltAsItsRecordSays)
{
    EXPECT_EQ(xfer()->id, 22);
    EXPECT_EQ(xfer()->object_class, OB_TRANSFER);
    EXPECT_EQ(xfer()->reference_mask, 0u);
    open(request(XFER_UNLOAD, XFER_FILE, XFER_DELIMITED, 0));
    // Close and Help only; nothing is the default.
    for (unsigned char b : {XmDIALOG_OK_BUTTON, XmDIALOG_APPLY_BUTTON}) {
        Widget x = dl_box_button(xfer()->widget, b);
        EXPECT_TRUE(!x || !XtIsManaged(x));
    }
    EXPECT_EQ(vxdl::label(close_button()), dl_text(-1, 4));
    Widget def = nullptr;
    XtVaGetValues(xfer()->widget, XmNdefaultButton, &def, nullptr);
    EXPECT_EQ(def, nullptr);
    EXPECT_EQ(vxdl::shell_title(xfer()->widget), dl_text(22, 1));
    EXPECT_EQ(vxdl::label(w("tofromL")), "table STAFF from or to");
    EXPECT_EQ(status(), "");
}

TEST_F(Transfer, SetvalAndGetvalCarryEveryField)
{
    ObTransferData t = request(XFER_UNLOAD, XFER_PIPE, XFER_FIXED, 1);
    strcpy(t.delimiter, ";|");
    t.terminator = XFER_NONE;
    open(t);
    ObTransferData back{};
    xfer()->getval(xfer(), &back);
    EXPECT_EQ(back.direction, XFER_UNLOAD);
    EXPECT_EQ(back.medium, XFER_PIPE);
    EXPECT_STREQ(back.path, "/tmp/staff.txt");
    EXPECT_EQ(back.format, XFER_FIXED);
    EXPECT_STREQ(back.delimiter, ";|");
    EXPECT_EQ(back.terminator, XFER_NONE);
    EXPECT_EQ(back.overwrite, 0);
    EXPECT_EQ(back.name_row, 1);
    EXPECT_EQ(back.use_where, 1);
    EXPECT_STREQ(back.where, "DEPTNO=10");
    // Typed texts are trimmed.
    vxdl::retype(w("filepipeT"), "  gzip > f.gz  ");
    vxdl::pump_idle();
    xfer()->getval(xfer(), &back);
    EXPECT_STREQ(back.path, "gzip > f.gz");
}

TEST_F(Transfer, TheInputsFollowDirectionMediumAndFormat)
{
    // An unload without a condition.
    open(request(XFER_UNLOAD, XFER_FILE, XFER_DELIMITED, 0));
    EXPECT_FALSE(sensitive("overwriteT"));
    EXPECT_TRUE(sensitive("use_whereT"));
    for (const char *name : {"where_condL", "where_condT", "editorbutB"})
        EXPECT_FALSE(sensitive(name)) << name;

    // The condition switched on by pointer: its group wakes.
    vxdl::click(w("use_whereT"));
    ASSERT_TRUE(vxdl::pump_until([] { return on("use_whereT"); }));
    for (const char *name : {"where_condL", "where_condT", "editorbutB"})
        EXPECT_TRUE(sensitive(name)) << name;

    // To a load: the condition cleared and greyed with its group.
    choose("directionO", "loadB");
    EXPECT_FALSE(on("use_whereT"));
    EXPECT_FALSE(sensitive("use_whereT"));
    EXPECT_TRUE(sensitive("overwriteT"));
    for (const char *name : {"where_condL", "where_condT", "editorbutB"})
        EXPECT_FALSE(sensitive(name)) << name;

    // Overwrite set, then back to an unload: cleared and greyed.
    vxdl::click(w("overwriteT"));
    ASSERT_TRUE(vxdl::pump_until([] { return on("overwriteT"); }));
    choose("directionO", "unloadB");
    EXPECT_FALSE(on("overwriteT"));
    EXPECT_FALSE(sensitive("overwriteT"));
    EXPECT_TRUE(sensitive("use_whereT"));

    // A pipe has no file to search for.
    choose("mediaO", "pipeB");
    EXPECT_FALSE(sensitive("searchB"));
    choose("mediaO", "fileB");
    EXPECT_TRUE(sensitive("searchB"));

    // Binary: no delimiter, no row end, no name row (and its toggle off).
    ASSERT_TRUE(on("colnamesT"));
    vxdl::click(format_toggle(XFER_BINARY));
    ASSERT_TRUE(vxdl::pump_until([] { return !sensitive("terminatorO"); }));
    for (const char *name : {"delimL", "delimT", "colnamesT"})
        EXPECT_FALSE(sensitive(name)) << name;
    EXPECT_FALSE(on("colnamesT"));
    // Fixed width: a row end, but no delimiter and no name row.
    vxdl::click(format_toggle(XFER_FIXED));
    ASSERT_TRUE(vxdl::pump_until([] { return sensitive("terminatorO"); }));
    EXPECT_FALSE(sensitive("delimT"));
    EXPECT_FALSE(sensitive("colnamesT"));
    vxdl::click(format_toggle(XFER_DELIMITED));
    ASSERT_TRUE(vxdl::pump_until([] { return sensitive("delimT"); }));
    EXPECT_TRUE(sensitive("colnamesT"));

    // Setval of a binary request leaves the name row's toggle active.
    ObTransferData binary = request(XFER_LOAD, XFER_FILE, XFER_BINARY, 0);
    xfer()->setval(xfer(), &binary);
    EXPECT_TRUE(sensitive("colnamesT"));
    EXPECT_TRUE(on("colnamesT"));
    EXPECT_FALSE(sensitive("delimT"));
    EXPECT_FALSE(sensitive("terminatorO"));
}

TEST_F(Transfer, StartGreysEveryInputWhileTheTransferRuns)
{
    open(request(XFER_UNLOAD, XFER_PIPE, XFER_FIXED, 1));
    vxdl::click(w("startBut"));
    ASSERT_TRUE(vxdl::pump_until([] { return client.applies == 1; }));
    vxdl::pump_idle();
    for (const auto &[name, was] : client.during)
        EXPECT_FALSE(was) << name << " was sensitive during the transfer";
    EXPECT_EQ(client.during.size(), std::size(INPUTS) + 5);
    EXPECT_EQ(client.request.direction, XFER_UNLOAD);
    EXPECT_EQ(client.request.format, XFER_FIXED);
    // The counts the transfer reported stay on the line.
    EXPECT_EQ(status(), "120 rows transferred, 0 rejected.");

    // Back as direction, medium and format say: an unload through a pipe,
    // fixed width, with a condition.
    EXPECT_TRUE(sensitive("startBut"));
    EXPECT_TRUE(sensitive(close_button()));
    for (const char *name : {"directionO", "mediaO", "filepipeT", "terminatorO", "use_whereT", "where_condT"})
        EXPECT_TRUE(sensitive(name)) << name;
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(sensitive(format_toggle(i)));
    for (const char *name : {"searchB", "delimT", "colnamesT", "overwriteT"})
        EXPECT_FALSE(sensitive(name)) << name;

    // Popping down empties the status line.
    vxdl::click(close_button());
    ASSERT_TRUE(vxdl::pump_until([] { return !XtIsManaged(xfer()->widget); }));
    EXPECT_EQ(status(), "");
}

TEST_F(Transfer, AnEmptyPathStopsStartAndGetsFileBack)
{
    open(request(XFER_LOAD, XFER_FILE, XFER_DELIMITED, 0));
    vxdl::retype(w("filepipeT"), "   ");
    vxdl::click(w("startBut"));
    ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() != 0; }));
    EXPECT_EQ(vxdl::message(dlmain_text_error_box()), dl_text(-1, 7));
    // Nothing ran and nothing was greyed.
    EXPECT_EQ(client.applies, 0);
    EXPECT_TRUE(sensitive("filepipeT"));
    EXPECT_TRUE(sensitive("startBut"));
    vxdl::click(XmMessageBoxGetChild(dlmain_text_error_box(), XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() == 0; }));
    EXPECT_EQ(vxdl::text(w("filepipeT")), "FILE");
    EXPECT_EQ(client.applies, 0);
}

TEST_F(Transfer, TheStatusLine)
{
    open(request(XFER_UNLOAD, XFER_FILE, XFER_DELIMITED, 0));
    struct Case {
        int count, rejected, stopped;
        const char *line;
    } cases[] = {
        {120, 3, 0, "120 rows transferred, 3 rejected."},
        {-1, 0, 0, ""},
        {40, 0, 1, "Stopped after 40 rows, 0 rejected."},
        {0, 0, 0, "0 rows transferred, 0 rejected."},
    };
    for (const Case &c : cases) {
        dlxfer_set_transfer_status(c.count, c.rejected, c.stopped);
        EXPECT_EQ(status(), c.line);
    }
}

TEST_F(Transfer, TheConditionEditorIsBorrowedForTheWhereText)
{
    ObTransferData t = request(XFER_UNLOAD, XFER_FILE, XFER_DELIMITED, 1);
    t.where[0] = '\0';
    open(t);
    const uint32_t own_mask = xfer()->reference_mask;
    const DlReferenceProc own_reference = xfer()->reference;
    vxdl::click(w("editorbutB"));
    ASSERT_TRUE(vxdl::pump_until([] { return XtIsManaged(cond()->widget); }));
    ASSERT_TRUE(vxdl::wait_viewable(cond()->widget));
    // Canvas picks go through the transfer dialog's record to the editor.
    EXPECT_EQ(xfer()->reference_mask, cond()->reference_mask);
    ObColumnData column{};
    column.kind = OB_COLUMN;
    strcpy(column.name, "DEPTNO");
    strcpy(column.table, "STAFF");
    ASSERT_EQ(xfer()->reference(xfer(), &column), 0);
    Widget text = vxdl::find(cond()->widget, "exprCondT");
    EXPECT_EQ(vxdl::text(text), "DEPTNO");
    vxdl::type(text, "=10");
    ASSERT_TRUE(vxdl::pump_until([&] { return vxdl::text(text) == "DEPTNO=10"; }));
    // OK: the text in the WHERE field, the editor given back.
    vxdl::click(dl_box_button(cond()->widget, XmDIALOG_OK_BUTTON));
    ASSERT_TRUE(vxdl::pump_until([] { return !XtIsManaged(cond()->widget); }));
    EXPECT_EQ(vxdl::text(w("where_condT")), "DEPTNO=10");
    EXPECT_EQ(xfer()->reference_mask, own_mask);
    EXPECT_EQ(xfer()->reference, own_reference);
    EXPECT_EQ(cond()->apply, own_notify);
    EXPECT_EQ(cond()->dismiss, dismiss);

    // Borrowed again and the transfer dialog closed: given back as well.
    vxdl::click(w("editorbutB"));
    ASSERT_TRUE(vxdl::pump_until([] { return XtIsManaged(cond()->widget); }));
    EXPECT_EQ(vxdl::text(text), "DEPTNO=10");
    vxdl::click(close_button());
    ASSERT_TRUE(vxdl::pump_until([] { return !XtIsManaged(xfer()->widget) && !XtIsManaged(cond()->widget); }));
    EXPECT_EQ(xfer()->reference_mask, own_mask);
    EXPECT_EQ(cond()->apply, own_notify);
}

}  // namespace
