// The output channel: paths with "~", spool commands and their status,
// failing writes, included files, the hex encoder and the snapshot's
// command line.

#include "ghout.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Sets or removes an environment variable for one test and puts it back.
class EnvGuard {
public:
    explicit EnvGuard(const char *name) : name_(name)
    {
        if (const char *v = getenv(name))
            old_ = v, had_ = true;
    }
    ~EnvGuard()
    {
        if (had_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool had_ = false;
};

// Works in a fresh directory and returns to the old one.
class InDir {
public:
    explicit InDir(const std::string &dir)
    {
        char buf[4096];
        old_ = getcwd(buf, sizeof buf) ? buf : "/";
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~InDir() { EXPECT_EQ(chdir(old_.c_str()), 0); }

private:
    std::string old_;
};

TEST(OutputChannel, TildeIsTheHomeDirectoryWhenHomeIsSet)
{
    std::string home = vxtest::temp_dir("ghout-home");
    EnvGuard g("HOME");
    setenv("HOME", home.c_str(), 1);
    // A long name after "~" is kept whole.
    std::string leaf(150, 'n');
    for (std::string name : {std::string("a.ps"), leaf + ".ps"}) {
        FILE *f = ghout_GHOpenOutput(("~/" + name).c_str(), GHOUT_FILE);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(ghout_GHWriteStringOutput(f, "x"), 0);
        EXPECT_EQ(ghout_GHCloseOutput(f, GHOUT_FILE), 0);
        EXPECT_EQ(slurp(home + "/" + name), "x") << name;
    }
}

TEST(OutputChannel, TildeStaysLiteralWithoutHome)
{
    std::string dir = vxtest::temp_dir("ghout-nohome");
    ASSERT_EQ(mkdir((dir + "/~").c_str(), 0700), 0);
    EnvGuard g("HOME");
    unsetenv("HOME");
    InDir in(dir);
    FILE *f = ghout_GHOpenOutput("~/a.ps", 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ghout_GHCloseOutput(f, 0), 0);
    EXPECT_TRUE(exists(dir + "/~/a.ps"));
}

TEST(OutputChannel, UnopenableFileGivesNone)
{
    EXPECT_EQ(ghout_GHOpenOutput("/nonexistent-dir/x/a.ps", GHOUT_FILE), nullptr);
    EXPECT_EQ(ghout_GHOpenOutput(nullptr, GHOUT_FILE), nullptr);
    EXPECT_EQ(ghout_GHCloseOutput(nullptr, GHOUT_FILE), 0);
}

// A spool command gets every byte; its exit status decides the close.
TEST(OutputChannel, SpoolCommandGetsEveryByteAndItsStatusCounts)
{
    std::string dir = vxtest::temp_dir("ghout-spool");
    std::string data(100000, '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<char>(i * 7 + i / 251);
    struct Case {
        const char *tail;
        int result;
    } cases[] = {{"", 0}, {"; exit 1", -1}, {"; kill -9 $$", -1}};
    int k = 0;
    for (const Case &c : cases) {
        std::string out = dir + "/f" + std::to_string(k++);
        std::string cmd = "cat > '" + out + "'" + c.tail;
        FILE *f = ghout_GHOpenOutput(cmd.c_str(), GHOUT_SPOOL);
        ASSERT_NE(f, nullptr) << cmd;
        EXPECT_EQ(ghout_GHWriteOutput(f, data.data(), data.size()), 0);
        EXPECT_EQ(ghout_GHCloseOutput(f, GHOUT_SPOOL), c.result) << cmd;
        EXPECT_EQ(slurp(out), data) << cmd;
    }
}

// A command that reads nothing: the writes fail, the close says so, and
// the program is not killed by the broken pipe.
TEST(OutputChannel, SpoolCommandThatReadsNothingFailsTheClose)
{
    FILE *f = ghout_GHOpenOutput("exec 0<&-; sleep 0", GHOUT_SPOOL);
    ASSERT_NE(f, nullptr);
    std::string data(1 << 20, 'x');
    for (int i = 0; i < 4; i++)
        ghout_GHWriteOutput(f, data.data(), data.size());
    EXPECT_EQ(ghout_GHCloseOutput(f, GHOUT_SPOOL), -1);
}

TEST(OutputChannel, FailedWriteMakesTheFileCloseFail)
{
    FILE *f = ghout_GHOpenOutput("/dev/full", GHOUT_FILE);
    ASSERT_NE(f, nullptr);
    ghout_GHWriteStringOutput(f, "%!PS-Adobe-3.0\n");
    EXPECT_EQ(ghout_GHCloseOutput(f, GHOUT_FILE), -1);
}

TEST(OutputChannel, WritesReportShortOrEmptyItems)
{
    std::string path = vxtest::temp_dir("ghout-write") + "/w";
    FILE *f = ghout_GHOpenOutput(path.c_str(), GHOUT_FILE);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ghout_GHWriteStringOutput(f, ""), -1);
    EXPECT_EQ(ghout_GHWriteOutput(f, "abc", 0), -1);
    EXPECT_EQ(ghout_GHWriteStringOutput(nullptr, "abc"), -1);
    EXPECT_EQ(ghout_GHWriteStringOutput(f, "ab"), 0);
    EXPECT_EQ(ghout_GHNl(f), 0);
    EXPECT_EQ(ghout_GHWriteOutput(f, "c\0d", 3), 0);
    EXPECT_EQ(ghout_GHCloseOutput(f, GHOUT_FILE), 0);
    EXPECT_EQ(slurp(path), std::string("ab\nc\0d", 6));
}

TEST(OutputChannel, IncludedFileIsCopiedWholeOrNotAtAll)
{
    std::string dir = vxtest::temp_dir("ghout-incl");
    std::string body(10000, '\0');
    for (size_t i = 0; i < body.size(); i++)
        body[i] = static_cast<char>(i % 253);
    std::ofstream(dir + "/prolog", std::ios::binary) << body;
    std::string path = dir + "/out";
    FILE *f = ghout_GHOpenOutput(path.c_str(), GHOUT_FILE);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ghout_GHWriteIncludedFile(f, (dir + "/missing").c_str()), -1);
    EXPECT_EQ(ghout_GHWriteIncludedFile(f, (dir + "/prolog").c_str()), 0);
    EXPECT_EQ(ghout_GHCloseOutput(f, GHOUT_FILE), 0);
    EXPECT_EQ(slurp(path), body);

    // A copy into a full device is short.
    FILE *full = ghout_GHOpenOutput("/dev/full", GHOUT_FILE);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(ghout_GHWriteIncludedFile(full, (dir + "/prolog").c_str()), -1);
    EXPECT_EQ(ghout_GHCloseOutput(full, GHOUT_FILE), -1);
}

TEST(OutputChannel, ByteToHex)
{
    struct Case {
        unsigned char byte;
        const char *hex;
    } cases[] = {{0xA5, "a5"}, {0x07, "07"}, {0x00, "00"}, {0xFF, "ff"}, {0x3C, "3c"}};
    for (const Case &c : cases)
        EXPECT_STREQ(gencode_GByteToHex(c.byte), c.hex);
}

// The snapshot runs whatever "xwcp" PATH finds, with its arguments
// untouched by any shell.
TEST(Snapshot, RunsTheCaptureCommandWithItsArguments)
{
    std::string dir = vxtest::temp_dir("ghsnap");
    std::string record = dir + "/argv";
    {
        std::ofstream s(dir + "/xwcp");
        s << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << record << "'\n"
          << "case \"$2\" in fail*) exit 3 ;; esac\nexit 0\n";
    }
    ASSERT_EQ(chmod((dir + "/xwcp").c_str(), 0755), 0);
    EnvGuard g("PATH");
    setenv("PATH", (dir + ":" + (getenv("PATH") ? getenv("PATH") : "")).c_str(), 1);

    EXPECT_EQ(ghsnap_GTakeHappySnap(":0", 0x1c00007, "my graph; $(rm -rf x) `a`"), 0);
    EXPECT_EQ(slurp(record), "-title\nmy graph; $(rm -rf x) `a`\n-display\n:0\n-id\n0x1c00007\n");
    EXPECT_EQ(ghsnap_GTakeHappySnap(":1", 0xfffffffful, "failing"), -1);
    EXPECT_EQ(slurp(record), "-title\nfailing\n-display\n:1\n-id\n0xffffffff\n");

    setenv("PATH", (dir + "/nothing-here").c_str(), 1);
    EXPECT_EQ(ghsnap_GTakeHappySnap(":0", 1, "graph"), -1);
}

}  // namespace
