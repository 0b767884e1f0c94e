// The dialog framework without a display: validation, insertion and cursor
// modes, titles, column-name qualification, scale values, the dialog table
// and the standard callbacks' guard.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlmain.h"
#include "vxcat.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// ---- text validation ---------------------------------------------------------------------

struct CheckCase {
    const char *text;
    unsigned flags;
    const char *min, *max, *def;
    bool mandatory_checked;
    int error;
    const char *argument;  // nullptr: not checked
    const char *result;    // the field's text afterwards; nullptr: unchanged
};

int refuse_x(const char *t)
{
    return t[0] != 'X';
}

TEST(TextValidation, FlagsGiveResultOrErrorNumber)
{
    const unsigned N = DL_VAL_NUMERIC, R = DL_VAL_RANGE, I = DL_VAL_INTEGER, M = DL_VAL_MANDATORY,
                   D = DL_VAL_DEFAULT, U = DL_VAL_UPPER, B = DL_VAL_DBNAME, L = DL_VAL_LTRIM;
    const CheckCase cases[] = {
        // mandatory: only when mandatory checking is on (OK and Apply)
        {"", M, "", "", "", true, 7, "", nullptr},
        {"   ", M, "", "", "", false, 0, nullptr, nullptr},
        {"   ", M | D, "", "", "5", true, 7, "", nullptr},
        // blank with a default
        {"  ", D, "", "", "10", false, 0, nullptr, "10"},
        {"", D | U, "", "", "abc", false, 0, nullptr, "ABC"},
        // numeric
        {"NULL", N | R, "0", "10", "", false, 0, nullptr, nullptr},
        {"null", N, "", "", "", false, 10, "null", nullptr},
        {"12abc", N, "", "", "", false, 10, "12abc", nullptr},
        {"0x10", N, "", "", "", false, 10, "0x10", nullptr},
        {"inf", N, "", "", "", false, 10, "inf", nullptr},
        {"nan", N, "", "", "", false, 10, "nan", nullptr},
        {"1e3", N | I, "", "", "", false, 0, nullptr, "1000"},
        {"-7.9", N | I, "", "", "", false, 0, nullptr, "-7"},
        {"-0.5", N | I, "", "", "", false, 0, nullptr, "0"},
        {"2.5  ", N, "", "", "", false, 0, nullptr, nullptr},
        {"-1", N | R, "0", "100", "", false, 8, "0", nullptr},
        {"500", N | R, "0", "100", "", false, 9, "100", nullptr},
        {"100", N | R | I, "0", "100", "", false, 0, nullptr, "100"},
        {"50", N | R, "", "100", "", false, 0, nullptr, nullptr},  // no minimum
        // a whole number must fit an int, bounds or none
        {"3000000000", N | I, "", "", "", false, 9, "2147483647", nullptr},
        {"-3000000000", N | I, "", "", "", false, 8, "-2147483648", nullptr},
        {"3000000000", N | R | I, "0", "", "", false, 9, "2147483647", nullptr},
        {"2147483647.9", N | I, "", "", "", false, 0, nullptr, "2147483647"},
        // the range is only compared with the range flag
        {"500", N, "0", "100", "", false, 0, nullptr, nullptr},
        // upper case and leading blanks
        {"  abc", L | U, "", "", "", false, 0, nullptr, "ABC"},
        {"  abc", U, "", "", "", false, 0, nullptr, "  ABC"},
        {"  abc  ", L, "", "", "", false, 0, nullptr, "abc"},
        // database names, tested without their qualification
        {"emp", B, "", "", "", false, 0, nullptr, nullptr},
        {"t.emp_no", B, "", "", "", false, 0, nullptr, nullptr},
        {"a-b", B, "", "", "", false, 12, "a-b", nullptr},
        {"1", B, "", "", "", false, 12, "1", nullptr},
        {"", B, "", "", "", true, 0, nullptr, nullptr},
    };
    for (const CheckCase &c : cases) {
        DlValidation v{nullptr, c.flags, c.def, c.min, c.max, nullptr, "", nullptr};
        DlCheck r = dlmain_check_text(v, c.text, c.mandatory_checked);
        SCOPED_TRACE(std::string("text \"") + c.text + "\" flags " + std::to_string(c.flags));
        EXPECT_EQ(r.error, c.error);
        if (c.argument) {
            EXPECT_EQ(r.argument, c.argument);
        }
        if (c.result) {
            EXPECT_TRUE(r.rewrite);
            EXPECT_EQ(r.text, c.result);
        } else if (c.error == 0) {
            EXPECT_FALSE(r.rewrite) << "rewrote to \"" << r.text << "\"";
        }
    }
}

TEST(TextValidation, CheckProcedureRunsAfterTheFlags)
{
    DlValidation v{nullptr, DL_VAL_UPPER, "", "", "", refuse_x, "bad %s", nullptr};
    DlCheck r = dlmain_check_text(v, "xyz", false);
    EXPECT_EQ(r.error, -1);  // upper-cased first, so the check sees "XYZ"
    EXPECT_EQ(r.argument, "XYZ");
    EXPECT_EQ(dlmain_check_text(v, "abc", false).error, 0);
    // A numeric error stops before the check procedure.
    DlValidation n{nullptr, DL_VAL_NUMERIC, "", "", "", refuse_x, "bad %s", nullptr};
    EXPECT_EQ(dlmain_check_text(n, "X", false).error, 10);
}

// ---- insertion and cursor modes ---------------------------------------------------------------

struct InsertCase {
    const wchar_t *current;
    long cursor, sel_left, sel_right;
    const wchar_t *insert;
    int insert_mode, cursor_mode;
    long position;
    const wchar_t *result;
    long result_cursor;
};

TEST(TextInsertion, ModesAndCursors)
{
    const InsertCase cases[] = {
        // replace: newlines become blanks except in mode 7
        {L"old", 1, 0, 0, L"a\nb", 1, 2, 0, L"a b", 0},
        {L"old", 1, 0, 0, L"a\nb", 7, 3, 0, L"a\nb", 3},
        {L"old", 1, 0, 0, L"new", 1, 1, 0, L"new", -1},
        // at the cursor
        {L"ab", 1, 0, 0, L"X", 2, 2, 0, L"aXb", 1},
        {L"ab", 1, 0, 0, L"X", 2, 3, 0, L"aXb", 2},
        {L"ab", 1, 0, 0, L"X", 2, 9, 1, L"aXb", 1},
        {L"ab", 1, 0, 0, L"X", 2, 9, 99, L"aXb", 3},  // a position past the end stops at it
        // list separator
        {L"A", 1, 0, 0, L"B", 3, 3, 0, L"A,B", 3},
        {L"A,", 2, 0, 0, L"B", 3, 3, 0, L"A,B", 3},
        {L"", 0, 0, 0, L"B", 3, 3, 0, L"B", 1},
        // assignment
        {L"X", 1, 0, 0, L"5", 4, 3, 0, L"X=5", 3},
        {L"X_", 2, 0, 0, L"5", 4, 3, 0, L"X_=5", 4},
        {L"X ", 2, 0, 0, L"5", 4, 3, 0, L"X 5", 3},
        // wrapping the selection, or the whole text
        {L"a+x", 3, 2, 3, L"max", 5, 4, 0, L"a+max(x)", 7},
        {L"x", 1, 0, 0, L"sum", 5, 4, 0, L"sum(x)", 5},
        {L"x", 1, 0, 1, L"max()", 6, 4, 0, L"max(x)", 5},
        {L"x", 1, 0, 1, L"f(a)", 6, 4, 0, L"f(a)(x)", 6},  // a letter inside: kept
        {L"x", 1, 0, 1, L"g( , )", 6, 3, 0, L"g(x)", 4},
        // cursor inside a pair the insertion ends with
        {L"", 0, 0, 0, L"''", 2, 4, 0, L"''", 1},
        {L"a", 1, 0, 0, L"count()", 2, 4, 0, L"acount()", 7},
        {L"a", 1, 0, 0, L"{}", 2, 4, 0, L"a{}", 2},
        {L"a", 1, 0, 0, L"xy", 2, 4, 0, L"axy", 3},
    };
    for (const InsertCase &c : cases) {
        DlInsertion out;
        SCOPED_TRACE(testing::Message() << "insert mode " << c.insert_mode << " cursor mode " << c.cursor_mode
                                        << " into \"" << std::wstring(c.current).size() << " chars\"");
        ASSERT_TRUE(dlmain_compose_insertion(c.current, c.cursor, c.sel_left, c.sel_right, c.insert, c.insert_mode,
                                             c.cursor_mode, c.position, 0, out));
        EXPECT_TRUE(out.text == c.result);
        EXPECT_EQ(out.cursor, c.result_cursor);
    }
}

TEST(TextInsertion, RefusedBeyondTheMaximumLength)
{
    DlInsertion out;
    EXPECT_FALSE(dlmain_compose_insertion(L"abcd", 4, 0, 0, L"e", 2, 1, 0, 4, out));
    EXPECT_TRUE(dlmain_compose_insertion(L"abc", 3, 0, 0, L"d", 2, 1, 0, 4, out));
    // The separator counts too.
    EXPECT_FALSE(dlmain_compose_insertion(L"abc", 3, 0, 0, L"d", 3, 1, 0, 4, out));
    // Without a widget maximum an insertion composes at most 4095 characters.
    EXPECT_TRUE(dlmain_compose_insertion(L"", 0, 0, 0, std::wstring(4095, L'a'), 1, 1, 0, 0, out));
    EXPECT_FALSE(dlmain_compose_insertion(L"a", 1, 0, 0, std::wstring(4095, L'a'), 2, 1, 0, 0, out));
}

// ---- titles --------------------------------------------------------------------------------------

TEST(Titles, ModesCutTheOldSuffixAndAddTheirOwn)
{
    struct {
        const char *current;
        int mode;
        const char *custom;
        const char *expected;
    } cases[] = {
        {"Sort", 1, nullptr, "Sort - Edit"},
        {"Sort - New", 1, nullptr, "Sort - Edit"},
        {"Sort - Edit", 2, nullptr, "Sort - New"},
        {"Sort - Edit", 3, "EMP", "Sort - EMP"},
        {"Sort - Edit", 4, nullptr, "Sort"},
        {"Sort", 4, "EMP", "Sort - EMP"},
        {"Sort - Edit", 0, "EMP", "Sort"},
        {"Sort - Edit", 5, nullptr, "Sort"},
        // a hyphen inside a word is not a suffix
        {"Roll-up", 5, nullptr, "Roll-up"},
        {"Roll-up - Edit", 2, nullptr, "Roll-up - New"},
        {"", 2, nullptr, " - New"},
    };
    for (auto &c : cases)
        EXPECT_EQ(dlmain_compose_title(c.current, c.mode, c.custom, "Edit", "New"), c.expected)
            << c.current << " mode " << c.mode;
}

// ---- qualification ---------------------------------------------------------------------------------

TEST(Qualification, RemovedFromNamesOnly)
{
    struct {
        const char *in, *out;
    } cases[] = {
        {"T.COL+U.X", "COL+X"},
        {"EMP.NAME", "NAME"},
        {"DB.T.COL", "COL"},
        {"NAME", "NAME"},
        {"(A.X=B.Y)", "(X=Y)"},
        {"T.A, U.B", "A, B"},
        {"T.X > 1.5", "X > 1.5"},
        {"T.X<.5", "X<.5"},
        {"T.X = 'a.b'", "X = 'a.b'"},
        {"'it''s' + T.X", "'it''s' + X"},
        {".X", "X"},
        {"", ""},
    };
    for (auto &c : cases) {
        std::string buf = c.in;
        remove_qualification(buf.data());
        EXPECT_STREQ(buf.c_str(), c.out) << c.in;
    }
    struct Column {
        char column_name[22];
        char table_name[22];
    } col{"SALARY", "EMP"};
    EXPECT_STREQ(qualify_column_name(col), "EMP.SALARY");
}

// ---- scales hold reals times 100 ---------------------------------------------------------------------

TEST(Scales, RealsRoundTripToTheHundredth)
{
    for (double v : {0.29, 0.57, 1.0, 0.5, 0.01, -0.29, 2.55, 0.0})
        EXPECT_DOUBLE_EQ(dlmain_scale_to_real(dlmain_real_to_scale(v)), v) << v;
    // A value held as a float survives an Apply that changes nothing.
    float f = 0.29f;
    EXPECT_EQ(static_cast<float>(dlmain_scale_to_real(dlmain_real_to_scale(f))), f);
    EXPECT_EQ(dlmain_real_to_scale(0.294), 29);
    EXPECT_EQ(dlmain_real_to_scale(0.296), 30);
    EXPECT_EQ(dlmain_real_to_scale(1e300), INT_MAX);
    EXPECT_EQ(dlmain_real_to_scale(std::nan("")), 0);
}

// ---- the table and the standard callbacks -------------------------------------------------------------

class Table : public testing::Test {
protected:
    void SetUp() override { dlmain_clear_dialogs(); }
    void TearDown() override { dlmain_clear_dialogs(); }
};

TEST_F(Table, ClearedSlotsReportUnsupportedMethods)
{
    for (int i = 0; i < DL_NDIALOGS; i++) {
        EXPECT_EQ(dlmain_dialogs[i].id, i);
        EXPECT_EQ(dlmain_dialogs[i].object_class, -1);
        EXPECT_EQ(dlmain_dialogs[i].widget, nullptr);
    }
    DialogRecord *r = &dlmain_dialogs[40];
    testing::internal::CaptureStderr();
    EXPECT_EQ(r->create(r, nullptr), -1);
    EXPECT_EQ(r->popup(r, 0, 0, 0, 0), -1);
    EXPECT_EQ(r->setval(r, nullptr), -1);
    EXPECT_EQ(r->reference(r, nullptr), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error! DialogSupport. Unsupported method called on dialog.\n"), std::string::npos);
}

struct Counts {
    int apply = 0, reset = 0, del = 0, dismiss = 0, help = 0;
    int done = 1;
} counts;

TEST_F(Table, StandardCallbacksRunTheNotifyProcedures)
{
    DialogRecord *r = &dlmain_dialogs[30];
    r->apply = [](DialogRecord *, int *done) { counts.apply++; *done = counts.done; };
    r->reset = [](DialogRecord *, int *done) { counts.reset++; *done = counts.done; };
    r->del = [](DialogRecord *, int *done) { counts.del++; *done = counts.done; };
    r->dismiss = [](DialogRecord *, int *done) { counts.dismiss++; *done = 1; };
    r->help = [](DialogRecord *, int *) { counts.help++; };
    struct {
        XtCallbackProc cb;
        int done;
        int apply, reset, del, dismiss, help;
    } cases[] = {
        {dlmain_std_ok_cb, 1, 1, 0, 0, 1, 0},
        {dlmain_std_ok_cb, 0, 1, 0, 0, 0, 0},
        {dlmain_std_apply_cb, 1, 1, 0, 0, 0, 0},
        {std_cancel_cb, 1, 0, 1, 0, 1, 0},
        {std_cancel_cb, 0, 0, 1, 0, 0, 0},
        {dlmain_std_reset_cb, 1, 0, 1, 0, 0, 0},
        {std_close_cb, 1, 0, 0, 0, 1, 0},
        {dlmain_std_delete_cb, 1, 0, 0, 1, 1, 0},
        {dlmain_std_delete_noclose_cb, 1, 0, 0, 1, 0, 0},
        {dlmain_std_help_cb, 1, 0, 0, 0, 0, 1},
    };
    int i = 0;
    for (auto &c : cases) {
        counts = Counts{};
        counts.done = c.done;
        c.cb(nullptr, r, nullptr);
        EXPECT_EQ(counts.apply, c.apply) << "case " << i;
        EXPECT_EQ(counts.reset, c.reset) << "case " << i;
        EXPECT_EQ(counts.del, c.del) << "case " << i;
        EXPECT_EQ(counts.dismiss, c.dismiss) << "case " << i;
        EXPECT_EQ(counts.help, c.help) << "case " << i;
        i++;
    }
    // A record without notify procedures does nothing at all.
    DialogRecord *bare = &dlmain_dialogs[31];
    dlmain_std_ok_cb(nullptr, bare, nullptr);
    std_cancel_cb(nullptr, bare, nullptr);
    dlmain_std_delete_cb(nullptr, bare, nullptr);
}

TEST_F(Table, ButtonsDoNothingWhileTheirApplyRuns)
{
    static int applies, reentered;
    applies = reentered = 0;
    DialogRecord *r = &dlmain_dialogs[12];
    // Pressing every button of the dialog again from inside its apply, as a
    // nested event loop would let the user do.
    r->apply = [](DialogRecord *rec, int *done) {
        applies++;
        if (applies == 1)
            for (XtCallbackProc cb : {dlmain_std_ok_cb, dlmain_std_apply_cb, std_cancel_cb, dlmain_std_reset_cb,
                                      std_close_cb, dlmain_std_delete_cb})
                cb(nullptr, rec, nullptr);
        *done = 1;
    };
    r->reset = r->del = r->dismiss = [](DialogRecord *, int *) { reentered++; };
    dlmain_std_ok_cb(nullptr, r, nullptr);
    EXPECT_EQ(applies, 1);
    EXPECT_EQ(reentered, 1);  // only the dismiss after the apply
    // The guard is lifted afterwards.
    dlmain_std_apply_cb(nullptr, r, nullptr);
    EXPECT_EQ(applies, 2);
}

TEST_F(Table, ProhibitedApplyBlocksOkApplyAndDelete)
{
    static int calls;
    calls = 0;
    DialogRecord *r = &dlmain_dialogs[9];
    r->apply = r->del = [](DialogRecord *, int *) { calls++; };
    dlmain_disable_dialog_apply(r, 1);
    dlmain_std_ok_cb(nullptr, r, nullptr);
    dlmain_std_apply_cb(nullptr, r, nullptr);
    dlmain_std_delete_cb(nullptr, r, nullptr);
    EXPECT_EQ(calls, 0);
    dlmain_disable_dialog_apply(r, 0);
    dlmain_std_apply_cb(nullptr, r, nullptr);
    EXPECT_EQ(calls, 1);
}

TEST_F(Table, TwentiethNestedApplyWarnsAndStillRuns)
{
    static int depth, deepest;
    depth = deepest = 0;
    // Twenty dialogs, each applying the next from inside its own apply.
    for (int i = 0; i < 20; i++)
        dlmain_dialogs[i].apply = [](DialogRecord *rec, int *) {
            depth++;
            deepest = std::max(deepest, depth);
            if (rec->id < 19)
                dlmain_std_apply_cb(nullptr, &dlmain_dialogs[rec->id + 1], nullptr);
            depth--;
        };
    testing::internal::CaptureStderr();
    dlmain_std_apply_cb(nullptr, &dlmain_dialogs[0], nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(deepest, 20);
    EXPECT_NE(err.find("Warning! DialogSupport. Too many nested applys!\n"), std::string::npos);
}

// ---- catalogue texts and the date format ------------------------------------------------------------------

TEST(Init, CatalogueTextsAndDateFormat)
{
    std::string cat = std::string(getenv("VX_BUILD_DIR")) + "/messages/SUN4SOLARIS/C/vostrelane.cat";
    struct {
        const char *input, *output;
    } cases[] = {
        {"%Y-%m-%d", "%y/%m/%d"},
        {"%d.%m.%Y", "%d/%m/%y"},
        {"%m/%d/%y", "%m/%d/%y"},
        {"%b %-d %Y", "%m/%d/%y"},
        {"%H:%M", "%d/%m/%y"},
        {"%d/%d/%y", "%d/%m/%y"},
        {"%d/%m/%y %Y", "%d/%m/%y"},
        {nullptr, "%d/%m/%y"},
    };
    for (auto &c : cases) {
        AppData a{};
        a.catd = nl_catopen(cat.c_str(), 0);
        ASSERT_NE(a.catd, NL_NO_CATALOGUE);
        a.dateInputFormat = const_cast<char *>(c.input);
        a.relaxedConfirmation = True;
        dlmain_dialog_init(nullptr, &a);
        EXPECT_STREQ(dialog_date_format, c.output) << (c.input ? c.input : "(none)");
        EXPECT_EQ(relaxed_confirm, 1);
        EXPECT_STREQ(dlmain_message(-1, 1), "OK");
        EXPECT_STREQ(dlmain_message(0, 1), dlmain_raw_message(2, 1));
        EXPECT_STREQ(dlmain_message(-1, 999), "");
        dlmain_dialog_lterm();
        nl_catclose(a.catd);
    }
    AppData none{};
    none.catd = NL_NO_CATALOGUE;
    dlmain_dialog_init(nullptr, &none);
    EXPECT_STREQ(dlmain_message(-1, 1), "");
    dlmain_dialog_lterm();
    EXPECT_STREQ(dlmain_widget_name("type%dB", 7), "type7B");
    EXPECT_STREQ(dlmain_widget_name("bad%sB", 7), "bad%sB");  // never formatted with a wrong argument
}

}  // namespace
