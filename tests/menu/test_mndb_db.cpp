// The database commands' open routine against the installed interpreter:
// what reaches the interpreter, the open flags, the password rules.
#include "wstest.h"  // first: gtest before the X headers

#include "mndb.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> texts()
{
    std::vector<std::string> v;
    for (const qykit::Sent &s : qykit::sent())
        v.push_back(s.text);
    return v;
}

class MndbOpen : public wstest::Dictionary {
protected:
    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        wstest::ensure_demo();
        wsdict_db_open = 0;
        wsdict_db_exclusive = 0;
    }
    void TearDown() override
    {
        if (wsdict_db_open)
            qymgr_qy_query("CLOSE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
        wsdict_db_open = 0;
        wsdict_db_exclusive = 0;
        wstest::Dictionary::TearDown();
    }
};

TEST_F(MndbOpen, DefaultUserOpensSharedThenReopensExclusively)
{
    start("BRASK");
    qykit::sent().clear();
    ASSERT_STREQ(mndb_mn_open_db("DEMO", "", "BRASK", 0), "DEMO");
    std::vector<std::string> first = texts();
    ASSERT_GE(first.size(), 3u);  // then the dictionary's reads
    EXPECT_EQ(first[0], "SET %PASS 'BRASK'");
    EXPECT_EQ(first[1], "OPEN DEMO ");
    EXPECT_EQ(wsdict_db_open, 1);
    EXPECT_EQ(wsdict_db_exclusive, 0);
    EXPECT_STREQ(wsdict_dictionary->database, "DEMO");

    qykit::sent().clear();
    ASSERT_STREQ(mndb_mn_open_db("DEMO", "", "BRASK", 1), "DEMO");
    std::vector<std::string> t = texts();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[0], "CLOSE");
    EXPECT_EQ(t[1], "SET %PASS 'BRASK'");
    EXPECT_EQ(t[2], "OPEN DEMO EXCLUSIVE");
    EXPECT_EQ(wsdict_db_open, 1);
    EXPECT_EQ(wsdict_db_exclusive, 1);
}

TEST_F(MndbOpen, WrongPasswordLeavesNoDatabaseOpenAndRightOneOpens)
{
    start("GUEST");
    ASSERT_STREQ(mndb_mn_open_db("DEMO", "", "GUEST", 0), "DEMO");
    ASSERT_EQ(wsdict_db_open, 1);

    // A wrong password while a database is open: the earlier one is closed
    // and the program knows it.
    qykit::boxes().clear();
    qykit::sent().clear();
    EXPECT_EQ(mndb_mn_open_db("DEMO", "", "WRONG", 0), nullptr);
    EXPECT_EQ(texts(), (std::vector<std::string>{"CLOSE", "SET %PASS 'WRONG'", "OPEN DEMO "}));
    EXPECT_FALSE(qykit::boxes().empty());
    EXPECT_EQ(wsdict_db_open, 0);
    EXPECT_EQ(wsdict_db_exclusive, 0);

    EXPECT_STREQ(mndb_mn_open_db("DEMO", "", "GUEST", 0), "DEMO");
    EXPECT_EQ(wsdict_db_open, 1);
}

TEST_F(MndbOpen, QuotesInLocationAndPasswordStayInsideTheirTexts)
{
    start("GUEST");
    qykit::sent().clear();
    // The quote cannot end the password text early: the interpreter sees
    // the whole text as a (wrong) password and refuses it.
    EXPECT_EQ(mndb_mn_open_db("DEMO", "", "GUEST' X", 0), nullptr);
    EXPECT_EQ(texts(), (std::vector<std::string>{"SET %PASS 'GUEST'' X'", "OPEN DEMO "}));
    EXPECT_EQ(wsdict_db_open, 0);

    // A location with a quote is one location (which does not exist).
    qykit::sent().clear();
    EXPECT_EQ(mndb_mn_open_db("DEMO", "/no/such'place", "GUEST", 0), nullptr);
    EXPECT_EQ(texts(), (std::vector<std::string>{"SET %PASS 'GUEST'", "OPEN DEMO  ON '/no/such''place'"}));
    EXPECT_EQ(wsdict_db_open, 0);
}

}  // namespace
