// The start-up of the own interpreter and the outcomes that end the
// program, each in a process of its own (tests/query/qyprobe.cpp).

#include "qytest.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

vxtest::Result probe(const char *mode, const std::string &server_dir = qytest::server_dir())
{
    qytest::use_installed_tree();
    vxtest::Options o;
    o.set_env["DOZ_CLIENT_DIR"] = vxtest::install_dir();
    o.set_env["DOZ_SERVER_DIR"] = server_dir;
    o.set_env["TZ"] = "UTC0";
    o.unset_env = {"QYINT"};
    return vxtest::run({QYPROBE, mode}, o);
}

// True when the interpreter runs the start-up statements.
bool interpreter_has_language()
{
    qytest::use_installed_tree();
    int cid = qytest::start();
    if (cid < 0)
        return false;
    doz_querym(cid, "SET %NLSRADIX FALSE", DOZ_M_WAIT);
    bool ok = doz_error(cid) == 0;
    qytest::close_all();
    return ok;
}

TEST(QueryManagerStart, StartupChecksTheRevisionAndSendsTheSystemVariables)
{
    ASSERT_TRUE(interpreter_has_language()) << "the installed interpreter refuses SET";
    vxtest::Result r = probe("startup");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "sent PRINT REVISION()\n"
              "sent SET %UNIQUE FALSE\n"
              "sent SET %LOCKWAIT -1\n"
              "sent SET %DPRIV 'READ'\n"
              "sent SET %DATEINPUT '%d/%m/%y'\n"
              "sent SET %OVERWRITE FALSE\n"
              "sent SET %WRITECHECK 0\n"
              "sent SET %NLSRADIX FALSE\n"
              "sent DEFINE FROMVAR FROM %USERS WHERE %UNAME=SYSUSER()\n"
              "user TESTER\n"
              "revision 3.10\n"
              "sysvars 0 -1 READ 1 %d/%m/%y UTC0 0 0 0\n"
              "ok 1\n"
              "authorised\n");
    EXPECT_EQ(r.err.find("Warning!"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Query:"), std::string::npos) << r.err;
}

TEST(QueryManagerStart, AnOldInterpreterEndsTheProgram)
{
    vxtest::Result r = probe("old-revision");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Panic! QyMgr. Incorrect DOZ Server revision\n");
    EXPECT_EQ(r.out, "sent PRINT REVISION()\n") << "nothing is sent after the check";
}

TEST(QueryManagerStart, AnInterpreterThatCannotStartEndsTheProgram)
{
    vxtest::Result r = probe("startup", vxtest::temp_dir("qyempty"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nCannot start or attach to the DOZ server.\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Check database"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << "nothing is sent";
}

TEST(QueryManagerStart, APanicQueryPrintsTheTextsAndEnds)
{
    vxtest::Result r = probe("panic");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find("still running"), std::string::npos);
    EXPECT_EQ(r.err.rfind("Query: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nCheck database is compatible with DOZ server\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Dbase:"), std::string::npos);
}

}  // namespace
