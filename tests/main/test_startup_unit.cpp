// The start-up module's pure parts: the restart command written on
// WM_SAVE_YOURSELF and the password file of the command line.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "startup.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

using Words = std::vector<std::string>;

TEST(RestartCommand, Rewrite)
{
    struct Case {
        Words argv;
        const char *database;
        bool exclusive;
        Words expect;
    } cases[] = {
        {{"/opt/vx/bin/vostrelane.bin", "-tsl"}, nullptr, false, {"vostrelane", "-tsl", "-shared"}},
        {{"v", "-database", "sales", "-exclusive"}, nullptr, true, {"vostrelane", "-database", "%NODB%", "-shared"}},
        {{"v", "-database", "sales", "-forced"}, "STOCK", true, {"vostrelane", "-database", "STOCK", "-exclusive"}},
        {{"v", "-database", "sales", "-exclusive"}, "STOCK", false,
         {"vostrelane", "-database", "STOCK", "-shared"}},
        {{"v"}, "STOCK", false, {"vostrelane", "-database", "STOCK", "-shared"}},
        {{"v", "-shared", "-display", ":1"}, "B", true, {"vostrelane", "-exclusive", "-display", ":1", "-database", "B"}},
        {{"v", "-database"}, nullptr, false, {"vostrelane", "-database", "%NODB%", "-shared"}},
        {{}, nullptr, false, {"vostrelane", "-shared"}},
    };
    for (const Case &c : cases) {
        std::string where;
        for (auto &w : c.argv)
            where += w + " ";
        EXPECT_EQ(rewrite_restart_command(c.argv, c.database, c.exclusive), c.expect) << where;
    }
}

TEST(PasswordFile, FirstLineOfAtMost49Characters)
{
    char dir[] = "/tmp/vxpwXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/pw";
    struct Case {
        std::string content;
        int result;
        std::string password;
    } cases[] = {
        {"secret\nsecond\n", 1, "secret"},
        {"nonewline", 1, "nonewline"},
        {std::string(60, 'p') + "\n", 1, std::string(49, 'p')},
        {"\nlater\n", 0, ""},
        {"", 0, ""},
    };
    for (const Case &c : cases) {
        std::ofstream(path) << c.content;
        std::string pw = "unchanged";
        EXPECT_EQ(read_password_file(path.c_str(), pw), c.result) << c.content;
        EXPECT_EQ(pw, c.password) << c.content;
    }
    std::string pw;
    EXPECT_EQ(read_password_file((std::string(dir) + "/none").c_str(), pw), -1);
    unlink(path.c_str());
    rmdir(dir);
}

}  // namespace
