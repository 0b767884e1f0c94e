// The database and query dialogs under Xvfb, driven by real pointer and
// keyboard input: open database, configuration, password, name prompt,
// file selection, query target and DOZ text.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dldbdialogs.h"
#include "dlkit.h"
#include "dltestkit.h"
#include "vxtest.h"

#include <Xm/Command.h>
#include <Xm/FileSB.h>
#include <Xm/MessageB.h>
#include <Xm/List.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <cstring>
#include <fstream>

namespace {

using vxdl::app;

// What the client's notify procedures saw.
struct Client {
    int applies = 0, dismisses = 0;
    std::vector<std::string> doz;  // statements read back by the DOZ apply
} client;

// The menu side's apply: reads the dialog into its registered value.
void apply_notify(DialogRecord *rec, int *done)
{
    client.applies++;
    if (rec->client_value)
        rec->getval(rec, rec->client_value);
    if (rec->id == 30)
        client.doz.emplace_back(static_cast<const char *>(rec->client_value));
    *done = 1;
}

void dismiss_notify(DialogRecord *rec, int *done)
{
    client.dismisses++;
    rec->popdown(rec);
    *done = 1;
}

class Dialogs : public testing::Test {
protected:
    DialogRecord *rec = nullptr;

    void SetUp() override
    {
        app();
        dlmain_clear_dialogs();
        client = Client{};
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (dlmain_text_error_pending())
            vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        if (rec && rec->widget)
            rec->destroy(rec);
        vxdl::pump_idle();
    }
    // Makes dialog `id` with its initialiser on the query shell.
    void make(int id, void (*init)(DialogRecord *))
    {
        rec = &dlmain_dialogs[id];
        init(rec);
        ASSERT_EQ(rec->id, id);
        ASSERT_EQ(rec->create(rec, app().top), 0);
        ASSERT_NE(rec->widget, nullptr);
        rec->apply = apply_notify;
        rec->dismiss = dismiss_notify;
    }
    // Registers the value, fills the dialog and shows it.
    void open(void *value, int title_mode)
    {
        rec->client_value = value;
        rec->setval(rec, value);
        ASSERT_EQ(rec->popup(rec, 50, 50, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(rec->widget));
    }
    Widget w(const char *path)
    {
        Widget r = vxdl::at(rec->widget, path);
        EXPECT_NE(r, nullptr) << path;
        return r;
    }
    void ok() { vxdl::click(dl_box_button(rec->widget, XmDIALOG_OK_BUTTON)); }
    // The shared error box is up; its OK is pressed by pointer.
    void answer_text_error()
    {
        ASSERT_TRUE(vxdl::pump_until([] { return dlmain_text_error_pending() != 0; }));
        vxdl::click(XmMessageBoxGetChild(dlmain_text_error_box(), XmDIALOG_OK_BUTTON));
        EXPECT_FALSE(dlmain_text_error_pending());
    }
};

int item_count(Widget list)
{
    int n = -1;
    XtVaGetValues(list, XmNitemCount, &n, nullptr);
    return n;
}

std::string list_item(Widget list, int i)
{
    XmStringTable items = nullptr;
    XtVaGetValues(list, XmNitems, &items, nullptr);
    return vxdl::xmstring(items[i]);
}

// ---- open database ------------------------------------------------------------------------

TEST_F(Dialogs, OpenDatabaseListsPicksAndChecks)
{
    std::string dir = vxtest::temp_dir("dblist");
    std::string path = dir + "/list";
    {
        std::ofstream f(path);
        f << "DEMO /data\nPAYROLL /srv/pay\n";
        for (int i = 2; i < 150; i++)
            f << "DB" << i << " /d" << i << "\n";
    }
    make(24, dldblst_initialise_database_list_dialog);
    DbListValue v{};
    dl_copy(v.path, path);
    v.mode = 1;
    open(&v, 5);
    Widget list = XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST);
    EXPECT_EQ(item_count(list), 100);
    EXPECT_EQ(list_item(list, 1), "PAYROLL    /srv/pay");
    // An empty name takes the first entry.
    EXPECT_EQ(vxdl::text(w("form1/database")), "DEMO");
    EXPECT_EQ(vxdl::text(w("form1/location")), "/data");
    EXPECT_TRUE(XmToggleButtonGadgetGetState(w("form1/frame/rowCol/exclT")));
    EXPECT_TRUE(XtIsSensitive(w("form1/modesL")));
    EXPECT_TRUE(XtIsSensitive(w("form1/frame/rowCol")));

    // A click on a mode toggle chooses it.  A double click on an entry
    // fills both fields and, as in every selection box, acts as OK.
    vxdl::click(w("form1/frame/rowCol/forcedT"));
    EXPECT_FALSE(XmToggleButtonGadgetGetState(w("form1/frame/rowCol/exclT")));
    vxdl::click_item(list, 2, 2);
    EXPECT_EQ(vxdl::text(w("form1/database")), "PAYROLL");
    EXPECT_EQ(vxdl::text(w("form1/location")), "/srv/pay");
    EXPECT_EQ(client.applies, 1);
    EXPECT_EQ(client.dismisses, 1);
    EXPECT_STREQ(v.name, "PAYROLL");
    EXPECT_STREQ(v.location, "/srv/pay");
    EXPECT_EQ(v.mode, 2);

    // Opened by Build or Configure the modes are greyed.  A blank name is
    // refused; the error's OK puts the default name in.
    dl_copy(v.name, "X");
    open(&v, 4);
    EXPECT_FALSE(XtIsSensitive(w("form1/modesL")));
    EXPECT_FALSE(XtIsSensitive(w("form1/frame/rowCol")));
    EXPECT_EQ(vxdl::text(w("form1/database")), "X");
    vxdl::set_text(w("form1/database"), "  ");
    ok();
    answer_text_error();
    EXPECT_EQ(client.applies, 1);
    EXPECT_EQ(vxdl::text(w("form1/database")), "TALMO");
    ok();
    EXPECT_EQ(client.applies, 2);
    EXPECT_STREQ(v.name, "TALMO");

    // An unreadable list empties the list, the fields keep their text.
    dl_copy(v.path, dir + "/missing");
    open(&v, 5);
    EXPECT_EQ(item_count(list), 0);
    EXPECT_EQ(vxdl::text(w("form1/database")), "TALMO");
    // An empty list file with an empty name shows the record's name.
    std::ofstream(dir + "/empty").flush();
    dl_copy(v.path, dir + "/empty");
    v.name[0] = '\0';
    dl_copy(v.location, "");
    open(&v, 5);
    EXPECT_EQ(item_count(list), 0);
    EXPECT_EQ(vxdl::text(w("form1/database")), "");
}

// ---- configuration ----------------------------------------------------------------------------

TEST_F(Dialogs, ConfigurationShowsChecksAndReadsBack)
{
    make(25, dldblst_initialise_database_config_dialog);
    DbConfigValue v{};
    for (int i = 0; i < DBC_NFIELDS; i++)
        v.field[i] = 1000 + i;
    v.field[DBC_LOCKUNIT] = 5;
    v.field[DBC_XCOLS] = 1;
    v.field[DBC_XKEYS] = 0;
    open(&v, 4);
    Widget option = w("form1/frame1/form2/optionM");
    Widget shown = nullptr;
    XtVaGetValues(option, XmNmenuHistory, &shown, nullptr);
    EXPECT_STREQ(XtName(shown), "recordB");
    EXPECT_EQ(vxdl::text(w("form1/frame2/form3/usersT")), "1008");
    EXPECT_TRUE(XmToggleButtonGadgetGetState(w("form1/frame3/form4/xcolsT")));
    EXPECT_FALSE(XmToggleButtonGadgetGetState(w("form1/frame3/form4/xkeysT")));

    // Below the minimum: refused, the error's OK puts the default back.
    Widget mem = w("form1/frame1/form2/memT");
    vxdl::retype(mem, "100");
    ok();
    answer_text_error();
    EXPECT_EQ(client.applies, 0);
    EXPECT_EQ(vxdl::text(mem), "256");
    // A blank limit blocks OK with the mandatory error, then shows its minimum.
    Widget users = w("form1/frame2/form3/usersT");
    vxdl::set_text(users, "");
    ok();
    answer_text_error();
    EXPECT_EQ(client.applies, 0);
    EXPECT_EQ(vxdl::text(users), "32");
    // A real is cut to a whole number.
    vxdl::retype(mem, "300.7");
    vxdl::click(w("form1/frame3/form4/xkeysT"));
    ok();
    EXPECT_EQ(client.applies, 1);
    EXPECT_EQ(vxdl::text(mem), "300");
    EXPECT_EQ(v.field[DBC_MEM], 300);
    EXPECT_EQ(v.field[DBC_USERS], 32);
    EXPECT_EQ(v.field[DBC_LOCKUNIT], 1);
    EXPECT_EQ(v.field[DBC_XKEYS], 1);
    EXPECT_EQ(v.field[DBC_POST], 1000);

    // The file lock unit reads back as 0.
    v.field[DBC_LOCKUNIT] = 0;
    open(&v, 4);
    XtVaGetValues(option, XmNmenuHistory, &shown, nullptr);
    EXPECT_STREQ(XtName(shown), "fileB");
    DbConfigValue back = v;
    back.field[DBC_LOCKUNIT] = 7;
    rec->getval(rec, &back);
    EXPECT_EQ(back.field[DBC_LOCKUNIT], 0);
}

// ---- password ------------------------------------------------------------------------------------

TEST_F(Dialogs, PasswordShowsStarsAndHoldsTheText)
{
    make(26, dlpwd_initialise_password_dialog);
    PasswordValue pw = "";
    open(&pw, 5);
    Widget text = XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT);
    vxdl::type(text, "abc");
    EXPECT_EQ(vxdl::text(text), "***");
    rec->getval(rec, &pw);
    EXPECT_STREQ(pw, "abc");

    // A paste changes nothing.
    XmTextFieldInsert(text, 3, const_cast<char *>("xyz"));
    EXPECT_EQ(vxdl::text(text), "***");
    rec->getval(rec, &pw);
    EXPECT_STREQ(pw, "abc");

    // The middle star replaced, then a backspace at the end.
    XmTextFieldSetSelection(text, 1, 2, CurrentTime);
    vxdl::type(text, "X");
    EXPECT_EQ(vxdl::text(text), "***");
    rec->getval(rec, &pw);
    EXPECT_STREQ(pw, "aXc");
    XmTextFieldSetInsertionPosition(text, 3);
    vxdl::key(text, "BackSpace");
    rec->getval(rec, &pw);
    EXPECT_STREQ(pw, "aX");

    // Ten characters at most; the eleventh rings.
    rec->setval(rec, &pw);
    EXPECT_EQ(vxdl::text(text), "");
    int bells = vxdl::bells();
    vxdl::type(text, "0123456789");
    EXPECT_EQ(vxdl::bells(), bells);
    vxdl::type(text, "Z");
    EXPECT_EQ(vxdl::bells(), bells + 1);
    ok();
    EXPECT_EQ(client.applies, 1);
    EXPECT_STREQ(pw, "0123456789");

    // A cleared field starts afresh.
    open(&pw, 5);
    vxdl::type(text, "z");
    rec->getval(rec, &pw);
    EXPECT_STREQ(pw, "z");
}

// ---- name prompt and file selection -------------------------------------------------------------

TEST_F(Dialogs, NamePromptTypesTrimsAndTakesAPickedVariable)
{
    make(7, dlname_initialise_name_dialog);
    EXPECT_EQ(rec->reference_mask, 1u << DL_KIND_VARIABLE);
    char name[13] = "";
    open(name, 2);
    Widget text = XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT);
    int bells = vxdl::bells();
    vxdl::type(text, "ABCDEFGHIJKL");
    EXPECT_EQ(vxdl::bells(), bells);
    vxdl::type(text, "M");
    EXPECT_EQ(vxdl::bells(), bells + 1);
    EXPECT_EQ(vxdl::text(text), "ABCDEFGHIJKL");
    ok();
    EXPECT_STREQ(name, "ABCDEFGHIJKL");

    open(name, 2);
    vxdl::set_text(text, "   ");
    rec->getval(rec, name);
    EXPECT_STREQ(name, "");

    // A picked variable's name becomes the text and the default name.
    struct {
        int32_t kind;
        char name[16];
    } var{DL_KIND_VARIABLE, "COUNTER"}, other{0, "A+B"};
    EXPECT_EQ(rec->reference(rec, &var), 0);
    EXPECT_EQ(vxdl::text(text), "COUNTER");
    EXPECT_NE(rec->reference(rec, &other), 0);
    EXPECT_EQ(vxdl::text(text), "COUNTER");
    vxdl::set_text(text, "A-B");
    ok();
    answer_text_error();
    EXPECT_EQ(vxdl::text(text), "COUNTER");
}

// The first font of a widget's font list.
Font first_font(Widget w)
{
    XmFontList fl = nullptr;
    XtVaGetValues(w, XmNfontList, &fl, nullptr);
    XmFontContext ctx;
    if (!fl || !XmFontListInitFontContext(&ctx, fl))
        return 0;
    XmStringCharSet cs = nullptr;
    XFontStruct *fs = nullptr;
    Font f = XmFontListGetNextFont(ctx, &cs, &fs) && fs ? fs->fid : 0;
    XtFree(cs);
    XmFontListFreeFontContext(ctx);
    return f;
}

TEST_F(Dialogs, FileSelectionFilterFontAndPath)
{
    XFontStruct *fs = XLoadQueryFont(app().display, "9x15");
    ASSERT_NE(fs, nullptr);
    XmFontList saved = dlmain_data_font;
    dlmain_data_font = XmFontListCreate(fs, const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
    make(4, dlfile_initialise_file_dialog);
    XmFontList mine = dlmain_data_font;
    dlmain_data_font = saved;

    char path[256] = "untouched";
    open(path, 4);
    XmString pattern = nullptr;
    XtVaGetValues(rec->widget, XmNpattern, &pattern, nullptr);
    EXPECT_EQ(vxdl::xmstring(pattern), "*.h");
    XmStringFree(pattern);
    EXPECT_FALSE(XtIsManaged(XmFileSelectionBoxGetChild(rec->widget, XmDIALOG_HELP_BUTTON)));
    for (unsigned char which : {XmDIALOG_FILTER_TEXT, XmDIALOG_TEXT, XmDIALOG_DIR_LIST, XmDIALOG_LIST})
        EXPECT_EQ(first_font(XmFileSelectionBoxGetChild(rec->widget, which)), fs->fid) << int(which);

    Widget text = XmFileSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT);
    vxdl::set_text(text, "  /tmp/schema.h ");
    ok();
    EXPECT_EQ(client.applies, 1);
    EXPECT_STREQ(path, "/tmp/schema.h");
    std::string longer = "/" + std::string(300, 'p');
    vxdl::set_text(text, longer.c_str());
    rec->getval(rec, path);
    EXPECT_EQ(std::string(path), longer.substr(0, 255));
    rec->destroy(rec);
    XmFontListFree(mine);
}

// ---- query target ------------------------------------------------------------------------------------

TEST_F(Dialogs, QueryTargetGroupsChecksAndNames)
{
    make(29, dltarget_initialise_target_dialog);
    TargetValue v{};
    v.target = TARGET_PIPE;
    dl_copy(v.result, "RSLT");
    dl_copy(v.table, "TEMP");
    open(&v, 4);
    EXPECT_EQ(vxdl::text(w("form1/pipeT")), "");
    EXPECT_TRUE(XtIsSensitive(w("form1/pipeT")));
    EXPECT_TRUE(XtIsSensitive(w("form1/label3T")));
    EXPECT_FALSE(XtIsSensitive(w("form1/resultT")));
    EXPECT_FALSE(XtIsSensitive(w("form1/owriteT")));
    EXPECT_FALSE(XtIsSensitive(w("form1/label1T")));
    // The empty command is refused, and its default filled in.
    ok();
    answer_text_error();
    EXPECT_EQ(client.applies, 0);
    EXPECT_EQ(vxdl::text(w("form1/pipeT")), "cat - > /dev/null");

    // Choosing the result table by pointer; a typed name is upper-cased.
    vxdl::click(vxdl::nth(rec->widget, "targetT", 1));
    EXPECT_TRUE(XtIsSensitive(w("form1/resultT")));
    EXPECT_TRUE(XtIsSensitive(w("form1/zapdupT")));
    EXPECT_FALSE(XtIsSensitive(w("form1/pipeT")));
    vxdl::retype(w("form1/resultT"), "rslt2");
    vxdl::click(w("form1/zapdupT"));
    ok();
    EXPECT_EQ(client.applies, 1);
    EXPECT_EQ(v.target, TARGET_RESULT);
    EXPECT_STREQ(v.result, "RSLT2");
    EXPECT_EQ(v.remove_duplicates, 1);
    EXPECT_STREQ(v.command, "cat - > /dev/null");

    // The display greys every group; a named table keeps its case.
    v.target = TARGET_DISPLAY;
    open(&v, 4);
    for (const char *name : {"form1/resultT", "form1/tableT", "form1/pipeT", "form1/label2T"})
        EXPECT_FALSE(XtIsSensitive(w(name))) << name;
    vxdl::click(vxdl::nth(rec->widget, "targetT", 2));
    vxdl::set_text(w("form1/tableT"), "Temp2  ");
    ok();
    EXPECT_EQ(v.target, TARGET_TABLE);
    EXPECT_STREQ(v.table, "Temp2");
}

// ---- widths ----------------------------------------------------------------------------------------------

// The width a text takes in a text field's font.
int text_width(Widget field, const char *text)
{
    XmFontList fonts = nullptr;
    XtVaGetValues(field, XmNfontList, &fonts, nullptr);
    XmString s = XmStringCreateLocalized(const_cast<char *>(text));
    int w = fonts ? XmStringWidth(fonts, s) : 0;
    XmStringFree(s);
    return w;
}

// The DOZ dialog with an empty history and the file selection show a
// typical statement and a typical path whole.
TEST_F(Dialogs, DozAndFileDialogsShowATypicalStatementAndPath)
{
    struct Case {
        int id;
        void (*initialise)(DialogRecord *);
        const char *text;
    } cases[] = {
        {30, dltql_initialise_doz_dialog, "DISPLAY DEPTNO, DNAME, CITY, BUDGET FROM DEPT WHERE BUDGET > 100000"},
        {4, dlfile_initialise_file_dialog, "/home/analyst/reports/quarterly/schema_headers/sales.h"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        make(c.id, c.initialise);
        DozValue v = "";
        char path[256] = "";
        open(c.id == 30 ? static_cast<void *>(&v) : static_cast<void *>(path), 4);
        Widget field = c.id == 30 ? XmCommandGetChild(rec->widget, XmDIALOG_COMMAND_TEXT)
                                  : XmFileSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT);
        ASSERT_TRUE(vxdl::wait_viewable(field));
        Dimension width = 0;
        XtVaGetValues(field, XmNwidth, &width, nullptr);
        EXPECT_GE(width, text_width(field, c.text)) << c.text;
        rec->destroy(rec);
        vxdl::pump_idle();
    }
}

// ---- DOZ text -------------------------------------------------------------------------------------------

TEST_F(Dialogs, DozStatementsRunAndStayInTheHistory)
{
    make(30, dltql_initialise_doz_dialog);
    DozValue v = "";
    open(&v, 4);
    Widget text = XmCommandGetChild(rec->widget, XmDIALOG_COMMAND_TEXT);
    Widget history = XmCommandGetChild(rec->widget, XmDIALOG_HISTORY_LIST);
    vxdl::type(text, "display x");
    vxdl::key(text, "Return");
    ASSERT_EQ(client.doz.size(), 1u);
    EXPECT_EQ(client.doz[0], "display x");

    // Setval adds a statement to the history; an empty one adds nothing.
    int before = item_count(history);
    v[0] = '\0';
    rec->setval(rec, &v);
    EXPECT_EQ(item_count(history), before);
    rec->getval(rec, &v);
    EXPECT_STREQ(v, "");
    for (int i = 0; i < 20; i++) {
        std::string s = "SELECT " + std::to_string(i);
        dl_copy(v, s);
        rec->setval(rec, &v);
    }
    vxdl::type(text, "list");
    vxdl::key(text, "Return");
    ASSERT_EQ(item_count(history), before + 21);
    EXPECT_EQ(list_item(history, 0), "display x");
    EXPECT_EQ(list_item(history, 1), "SELECT 0");
    EXPECT_EQ(list_item(history, 20), "SELECT 19");
    EXPECT_EQ(list_item(history, 21), "list");
    Position x, y;
    Dimension wd, ht;
    EXPECT_TRUE(XmListPosToBounds(history, 0, &x, &y, &wd, &ht)) << "the last statement is not in view";

    // The fixed Close button dismisses; destroying takes the shell along.
    vxdl::click(vxdl::at(XtParent(rec->widget), "dozCloseButton"));
    EXPECT_EQ(client.dismisses, 1);
    EXPECT_NE(vxdl::find(app().top, "DOZ Query Dialog"), nullptr);
    rec->destroy(rec);
    vxdl::pump_idle();
    EXPECT_EQ(vxdl::find(app().top, "DOZ Query Dialog"), nullptr);
}

}  // namespace
