// The index, user and privilege editors' list lines, the index line taken
// apart again, and the sensitivity rules, without a display.

#include <gtest/gtest.h>

#include "dlidx.h"
#include "dluser.h"
#include "wsdict.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Key {
    const char *name;
    bool ascending, native;
};

// An index entry whose key list is given in key order, stored in reverse
// (the dictionary keeps its own order; the line follows the key numbers).
struct IndexFixture {
    std::vector<DictKey> keys;
    DictIndex index{};
    IndexFixture(const IndexFixture &) = delete;
    IndexFixture(int number, bool unique, bool noupdate, const char *location, std::initializer_list<Key> ks)
    {
        keys.resize(ks.size());
        int n = static_cast<int>(ks.size());
        for (const Key &k : ks) {
            DictKey &d = keys[static_cast<size_t>(n - 1)];
            strcpy(d.name, k.name);
            d.number = static_cast<int>(ks.size()) - n + 1;
            d.ascending = k.ascending;
            d.native = k.native;
            n--;
        }
        for (size_t i = 0; i + 1 < keys.size(); i++)
            keys[i].next = &keys[i + 1];
        index.number = number;
        index.unique = unique;
        index.noupdate = noupdate;
        strcpy(index.location, location);
        index.keys = keys.empty() ? nullptr : &keys[0];
    }
};

TEST(IndexLines, LineAndItsParseBack)
{
    struct Case {
        IndexFixture fixture;
        const char *line, *keys, *location;
    };
    const Case cases[] = {
        {{1, false, false, "", {{"UNITS", true, false}}}, "#1  BY UNITS ", "UNITS", ""},
        {{2, true, false, "/data/idx", {{"DEPTNO", true, false}}}, "#2  UNIQUE BY DEPTNO ON /data/idx", "DEPTNO",
         "/data/idx"},
        {{3, false, true, "", {{"UNITS", false, false}, {"DEPTNO", true, true}}},
         "#3  NOUPDATE BY UNITS DESC, DEPTNO NATIVE ", "UNITS DESC, DEPTNO NATIVE", ""},
        {{12, true, true, "IX", {{"A", false, true}, {"B", true, false}, {"C", true, false}}},
         "#12 UNIQUE NOUPDATE BY A DESC NATIVE, B, C ON IX", "A DESC NATIVE, B, C", "IX"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const std::string line = dlidx_index_line(c.fixture.index);
        EXPECT_EQ(line, c.line);
        std::string keys = "old", location = "old";
        ASSERT_TRUE(dlidx_parse_line(line, keys, location));
        EXPECT_EQ(keys, c.keys);
        EXPECT_EQ(location, c.location);
    }
    std::string keys, location;
    EXPECT_FALSE(dlidx_parse_line("#1 no key phrase", keys, location));
}

TEST(UserLines, UsersAndPrivileges)
{
    EXPECT_EQ(dluser_user_line("BRASK", 2), "BRASK           DBA");
    EXPECT_EQ(dluser_user_line("TESTER", 1), "TESTER          CREATE");
    EXPECT_EQ(dluser_user_line("A_VERY_LONG_USER_NAME", 0), "A_VERY_LONG_USER_NAME SELECT");
    EXPECT_EQ(dlpriv_privilege_line("TESTER", 1, "DEPTNO=20"), "TESTER          READ       WHERE DEPTNO=20");
    EXPECT_EQ(dlpriv_privilege_line("%DEFAULT", 6, ""), "%DEFAULT        OWNERSHIP  (NO RESTRICTION SET)");
    EXPECT_EQ(dlpriv_privilege_line("GUEST", 4, nullptr), "GUEST           LOCK       (NO RESTRICTION SET)");
    EXPECT_EQ(dlpriv_restriction_of("(NO RESTRICTION SET)"), "");
    EXPECT_EQ(dlpriv_restriction_of("DEPTNO=20"), "DEPTNO=20");
    // Names outside the tables.
    EXPECT_EQ(dluser_level_name(3), "");
    EXPECT_EQ(dlpriv_privilege_name(-1), "");
    EXPECT_EQ(dlpriv_privilege_name(7), "Default");
}

TEST(Sensitivity, UserEditorRules)
{
    struct Case {
        int title_mode;
        const char *name, *current;
        bool level, del;
    };
    const Case cases[] = {
        {1, "TESTER", "BRASK", true, true},
        {1, " brask ", "BRASK", false, false},  // own name, as typed
        {1, "", "BRASK", true, false},
        {1, "   ", "BRASK", true, false},
        {3, "TESTER", "BRASK", true, false},
        {2, "TESTER", "BRASK", true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(c.title_mode));
        EXPECT_EQ(dluser_level_sensitive(c.name, c.current), c.level);
        EXPECT_EQ(dluser_delete_sensitive(c.title_mode, c.name, c.current), c.del);
    }
}

TEST(Sensitivity, PrivilegeEditorRules)
{
    struct Case {
        int title_mode;
        const char *name, *current;
        bool dba, option, del;
    };
    const Case cases[] = {
        {1, "GUEST", "BRASK", false, true, true},   {1, "BRASK", "BRASK", false, false, false},
        {1, "BRASK", "BRASK", true, true, true},    {1, "", "BRASK", true, true, false},
        {3, "GUEST", "BRASK", true, true, false},   {3, "BRASK", "BRASK", true, true, false},
        {1, " guest ", "BRASK", false, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(c.title_mode) + (c.dba ? " dba" : ""));
        EXPECT_EQ(dlpriv_option_sensitive(c.name, c.current, c.dba), c.option);
        EXPECT_EQ(dlpriv_delete_sensitive(c.title_mode, c.name, c.current, c.dba), c.del);
    }
    for (int p = 0; p < 8; p++)
        EXPECT_EQ(dlpriv_takes_restriction(p), p == 1 || p == 3) << p;
}

}  // namespace
