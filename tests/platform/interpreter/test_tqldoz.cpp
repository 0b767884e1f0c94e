// The start-up and check statements the program sends, answered by the real
// interpreter's DOZ engine and read back through the client library in the
// bare (Simple) layout.

#include "qytest.h"

#include <cstring>
#include <string>

namespace {

class Doz : public ::testing::Test {
protected:
    int cid = -1;
    unsigned char *buf = nullptr;
    void SetUp() override
    {
        qytest::use_installed_tree();
        cid = qytest::start();
        ASSERT_GE(cid, 0);
        buf = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    }
    void TearDown() override { qytest::close_all(); }

    // Runs a statement in the waiting Simple mode; the query code.
    int run(const char *text, uint32_t modes = DOZ_M_WAIT)
    {
        EXPECT_EQ(doz_querym(cid, text, modes), 0) << text;
        int code = 0, code2 = 0, code3 = 0, rows = 0, fifth = 0;
        doz_status(cid, &code, &code2, &code3, &rows, &fifth);
        return doz_error(cid) ? (code ? code : -1) : 0;
    }
};

TEST_F(Doz, RevisionIsATextOfThreeOrAbove)
{
    ASSERT_EQ(run("PRINT REVISION()"), 0);
    float revision = 0;
    ASSERT_EQ(sscanf(reinterpret_cast<char *>(buf), "%f", &revision), 1) << buf;
    EXPECT_GE(revision, 3.0f);
}

TEST_F(Doz, StartUpStatementsAreAccepted)
{
    const char *statements[] = {
        "SET %UNIQUE TRUE", "SET %UNIQUE FALSE", "SET %LOCKWAIT -1", "SET %DPRIV 'READ'",
        "SET %DATEINPUT '%d/%m/%y'", "SET %OVERWRITE FALSE", "SET %WRITECHECK 0", "SET %NLSRADIX FALSE",
        "DEFINE FROMVAR FROM %USERS WHERE %UNAME=SYSUSER()", "create var %exitstatus 3",
    };
    for (const char *s : statements)
        EXPECT_EQ(run(s), 0) << s;
}

TEST_F(Doz, UserAndDatabaseNamesSitAtTheirOffsets)
{
    // SYSUSER() is a string(30): the database name follows at offset 31.
    ASSERT_EQ(run("PRINT sysuser(), dbname()"), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(buf), "TESTER");
    EXPECT_STREQ(reinterpret_cast<char *>(buf + 31), "");
}

TEST_F(Doz, FailuresCarryTheirTexts)
{
    EXPECT_NE(run("PRINT 1 +"), 0);
    char query[81], database[81], filer[81];
    ASSERT_EQ(doz_mess(cid, query, database, filer), 0);
    EXPECT_STRNE(query, "");
    // The interpreter's own catalogue text, not the client's "Error %d".
    EXPECT_EQ(std::string(query).rfind("Error ", 0), std::string::npos) << query;
    // The connection stays usable.
    EXPECT_EQ(run("PRINT 2"), 0);
}

// The shipped program knows no test statements: the one that would start a
// program is a syntax error like any other unknown statement, and nothing
// is started.  (The test tree's own installation runs the test build.)
TEST(ShippedInterpreter, TestStatementsAreSyntaxErrors)
{
    qytest::use_installed_tree();
    std::string shipped = vxtest::install_dir() + "/shipped/tqlserver";
    setenv("QYINT", shipped.c_str(), 1);
    int cid = qytest::start();
    unsetenv("QYINT");
    ASSERT_GE(cid, 0);
    for (const char *text : {"TEST FORK 'true' 0 0 0 0", "TEST ROWS 3 long"}) {
        EXPECT_EQ(doz_querym(cid, text, DOZ_M_WAIT), 0) << text;
        int code = 0, code2 = 0, code3 = 0, rows = 0, fifth = 0;
        doz_status(cid, &code, &code2, &code3, &rows, &fifth);
        EXPECT_TRUE(doz_error(cid)) << text;
        char query[81], database[81], filer[81];
        ASSERT_EQ(doz_mess(cid, query, database, filer), 0);
        EXPECT_NE(std::string(query).find("Syntax error"), std::string::npos) << text << ": " << query;
        EXPECT_EQ(rows, 0) << text;
    }
    // The same connection still runs DOZ.
    EXPECT_EQ(doz_querym(cid, "PRINT 2", DOZ_M_WAIT), 0);
    EXPECT_FALSE(doz_error(cid));
    qytest::close_all();
}

}  // namespace
