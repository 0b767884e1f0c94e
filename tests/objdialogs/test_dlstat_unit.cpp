// The statistic editor's toggles and codes, and the insert modes of the
// sort, group and join editors' picks, without a display.

#include <gtest/gtest.h>

#include "dlsgj.h"
#include "dlstat.h"

namespace {

TEST(StatisticToggles, EachCodeHasItsToggleBothWays)
{
    const int codes[7] = {4, 3, 6, 5, 1, 2, 7};
    for (int toggle = 1; toggle <= 7; toggle++) {
        EXPECT_EQ(dlstat_code_of_toggle(toggle), codes[toggle - 1]) << toggle;
        EXPECT_EQ(dlstat_toggle_of_code(codes[toggle - 1]), toggle) << toggle;
    }
    // A code outside 1-7 shows the average; no toggle stores 1.
    for (int code : {0, 8, -1, 100})
        EXPECT_EQ(dlstat_toggle_of_code(code), 5) << code;
    for (int toggle : {0, 8, -1})
        EXPECT_EQ(dlstat_code_of_toggle(toggle), 1) << toggle;
}

TEST(SortGroupJoinPicks, InsertModeByEditor)
{
    for (int id = 0; id < 20; id++)
        EXPECT_EQ(dlsgj_pick_insert_mode(id), id == 11 ? 3 : id == 12 ? 1 : id == 13 ? 4 : 0) << id;
}

}  // namespace
