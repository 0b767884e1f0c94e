// The editors' pads and pick targets without a display.

#include <gtest/gtest.h>

#include "dlexpr.h"

namespace {

TEST(ExpressionPads, TextPerCodeAndNativeFlag)
{
    struct Case {
        int code;
        const char *plain, *native;
    };
    const Case cases[] = {
        {1, "<", "<<"},       {2, "<=", "<<="},     {3, "=", "=="},       {4, " AND ", " AND "},
        {5, " NOT ", " NOT "}, {6, ">", ">>"},       {7, ">=", ">>="},     {8, "<>", "<<>>"},
        {9, " OR ", " OR "},   {10, "\"\"", "\"\""}, {11, "()", "()"},     {12, "[]", "[]"},
        {13, " NULL ", " NULL "}, {14, ",", ","},    {15, ":", ":"},       {16, "..", ".."},
        {17, "+", "+"},       {18, "*", "*"},       {19, " MOD ", " MOD "}, {20, "-", "-"},
        {21, "/", "/"},       {0, "", ""},          {22, "", ""},         {-3, "", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(dlexpr_pad_text(c.code, false), c.plain) << c.code;
        EXPECT_EQ(dlexpr_pad_text(c.code, true), c.native) << c.code;
    }
}

TEST(ExpressionPicks, TheConditionTextServesTheConditionEditorAndItsBorrowers)
{
    for (int id = 0; id < DL_NDIALOGS; id++)
        EXPECT_EQ(dlexpr_condition_target(id), id == 9 || id == 16 || id == 20 || id == 22) << id;
}

}  // namespace
