#include "vxutil.h"

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using StrFn = char *(*)(char *, const char *);

struct StrCase {
    const char *name;
    StrFn fn;
    const char *in;
    const char *out;
};

class StringHelpers : public ::testing::TestWithParam<StrCase> {};

TEST_P(StringHelpers, CopyAndInPlaceAgree)
{
    const StrCase &c = GetParam();
    char dst[128];
    char buf[128];
    c.fn(dst, c.in);
    EXPECT_STREQ(dst, c.out) << c.name << "(\"" << c.in << "\")";
    strcpy(buf, c.in);
    c.fn(buf, buf);
    EXPECT_STREQ(buf, c.out) << c.name << " in place";
}

INSTANTIATE_TEST_SUITE_P(
    Table, StringHelpers,
    ::testing::Values(
        StrCase{"strltrim", strltrim, "  a b  ", "a b  "},
        StrCase{"strltrim", strltrim, "\tx", "\tx"},
        StrCase{"strrtrim", strrtrim, "  a b  ", "  a b"},
        StrCase{"strbtrim", strbtrim, "  a b  ", "a b"},
        StrCase{"strbtrim", strbtrim, "     ", ""},
        StrCase{"strbtrim", strbtrim, "", ""},
        StrCase{"strtbtrim", strtbtrim, " \t a\tb \t", "a\tb"},
        StrCase{"strim", strim, "\n\t a \r\n", "a"},
        StrCase{"strupper", strupper, "abc Def1", "ABC DEF1"},
        StrCase{"strlower", strlower, "ABC dEf1", "abc def1"},
        StrCase{"strnorm", strnorm, "hello world_again", "Hello World_Again"},
        StrCase{"strnorm", strnorm, "  _x", "  _X"},
        StrCase{"strnorm", strnorm, "HELLO 1world", "Hello 1World"},
        StrCase{"strnorm", strnorm, "a1b c", "A1b C"},
        StrCase{"strnorm", strnorm, "x__y", "X__Y"},
        StrCase{"caps", caps, "select 'abc' from t", "SELECT 'abc' FROM T"},
        StrCase{"caps", caps, "print \"it's\" x", "PRINT \"it's\" X"},
        StrCase{"caps", caps, "a 'unterminated b", "A 'unterminated b"},
        StrCase{"strassign", strassign, "same", "same"}));

TEST(StringHelpers, SafeCopyAlwaysTerminates)
{
    char buf[8];
    memset(buf, 'z', sizeof buf);
    safe_strcpy(buf, "abcdefghij", 5);
    EXPECT_STREQ(buf, "abcde");
    safe_strcpy(buf, "ab", 5);
    EXPECT_STREQ(buf, "ab");

    // Into an array the copy never passes its end, even when the count
    // given is the array's whole size (the sanitizer build sees a write past).
    struct Fields {
        char name[4];
        char next[4];
    } f;
    memset(&f, 'z', sizeof f);
    f.next[3] = '\0';
    safe_strcpy(f.name, "abcdef", sizeof f.name);
    EXPECT_STREQ(f.name, "abc");
    EXPECT_STREQ(f.next, "zzz") << "the next field is left alone";
    char whole[4];
    safe_strcpy(whole, "wxyz", sizeof whole);
    EXPECT_STREQ(whole, "wxy");
    char *through = buf;
    safe_strcpy(through, "abcdefghij", 7);
    EXPECT_STREQ(buf, "abcdefg") << "through a pointer the count holds";
}

TEST(StringHelpers, Strpos)
{
    EXPECT_EQ(strpos("hello world", "world"), 6);
    EXPECT_EQ(strpos("hello", "x"), -1);
    EXPECT_EQ(strpos(nullptr, "x"), -1);
    EXPECT_EQ(strpos("x", nullptr), -1);
    EXPECT_EQ(strpos("abc", ""), 0);
}

TEST(Memory, ZeroAndImpossibleSizes)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(vx_malloc(0, 0), nullptr);
    EXPECT_EQ(vx_malloc(-5, 1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    void *p = vx_malloc(16, 1);
    ASSERT_NE(p, nullptr);
    p = vx_realloc(p, 64, 1);
    ASSERT_NE(p, nullptr);
    vx_free(p);

    char *s = stralloc("text");
    EXPECT_STREQ(s, "text");
    vx_free(s);
    EXPECT_EQ(stralloc(nullptr), nullptr);
}

// An allocation the system cannot give (the test environment lets the
// sanitizer's allocator return null, as the system library does).
TEST(Memory, FailureWarnsAndPanicExits)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(vx_malloc(0x7fffffffffffffL, 0), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Warning! Malloc of 2147483647 bytes failed.\n"), std::string::npos) << err;
    EXPECT_EXIT(vx_malloc(0x7fffffffffffffL, 1), ::testing::ExitedWithCode(255),
                "Panic! Cannot recover - exiting.");
}

TEST(Base32, EncodeDecode)
{
    struct {
        uint32_t v;
        int padded;
        const char *text;
        int len;
    } cases[] = {
        {35, 1, "0000013", 7}, {35, 0, "13", 2}, {0, 0, "0", 1}, {0, 1, "0000000", 7},
        {31, 0, "v", 1}, {0xffffffffu, 0, "3vvvvvv", 7}, {0xffffffffu, 1, "3vvvvvv", 7},
    };
    for (auto &c : cases) {
        char buf[16];
        EXPECT_EQ(int_base32(c.v, buf, c.padded), c.len) << c.v;
        EXPECT_STREQ(buf, c.text);
        EXPECT_EQ(scan_int_base32(buf), c.v);
    }
    EXPECT_EQ(scan_int_base32("1V"), 63u);
    EXPECT_EQ(scan_int_base32("1w2"), 1u);
    EXPECT_EQ(scan_int_base32(""), 0u);
}

TEST(Names, CheckDbname)
{
    struct {
        const char *in;
        int valid;
        const char *out;
    } cases[] = {
        {"%", 1, "%"}, {"a-b", 0, nullptr}, {"emp  ", 1, "EMP"}, {"", 0, nullptr},
        {"   ", 0, nullptr}, {"1", 0, nullptr}, {"x", 1, "X"}, {"t_1#%", 1, "T_1#%"},
        {"a b", 0, nullptr}, {"_", 0, nullptr},
    };
    for (auto &c : cases) {
        char buf[64];
        strcpy(buf, c.in);
        EXPECT_EQ(check_dbname(buf), c.valid) << "'" << c.in << "'";
        if (c.out) {
            EXPECT_STREQ(buf, c.out);
        }
    }
}

TEST(Names, FileNameAndBasename)
{
    char out[64];
    EXPECT_STREQ(file_name("ab", ".x", out), "ab______.x");
    EXPECT_STREQ(file_name("  longername ", ".graph", out), "longername.graph");
    EXPECT_STREQ(vx::basename("/a/b/c"), "c");
    EXPECT_STREQ(vx::basename("plain"), "plain");
    EXPECT_STREQ(vx::basename("dir/"), "");
}

TEST(Lists, SearchFixedWidthTables)
{
    static const char table[][8] = {"ALPHA", "BETA", "BETAMAX", ""};
    const char *t = &table[0][0];
    EXPECT_EQ(search_list("BETA", t, 8), 1);
    EXPECT_EQ(search_list("BET", t, 8), -1);
    EXPECT_EQ(search_list_substr("BET", t, 8), 1);
    EXPECT_EQ(search_list_substr("BETAM", t, 8), 2);
    EXPECT_EQ(search_list("GAMMA", t, 8), -1);
}

TEST(Files, FindfileTriesEachDirectoryInOrder)
{
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / ("vxfind" + std::to_string(getpid()));
    fs::create_directories(root / "one");
    fs::create_directories(root / "two");
    std::ofstream(root / "two" / "f.txt") << "x";
    std::ofstream(root / "one" / "g.txt") << "x";
    std::string list = (root / "none").string() + ":" + (root / "one").string() + ":" + (root / "two").string();
    char path[512];
    ASSERT_EQ(findfile(list.c_str(), "f.txt", path, sizeof path), 1);
    EXPECT_EQ(std::string(path), (root / "two" / "f.txt").string());
    ASSERT_EQ(findfile(list.c_str(), "g.txt", path, sizeof path), 1);
    EXPECT_EQ(std::string(path), (root / "one" / "g.txt").string());
    EXPECT_EQ(findfile(list.c_str(), "h.txt", path, sizeof path), 0);
    fs::remove_all(root);
}

TEST(Multibyte, Utf8Characters)
{
    const char *old = setlocale(LC_CTYPE, nullptr);
    std::string saved = old ? old : "C";
    if (!setlocale(LC_CTYPE, "C.UTF-8"))
        GTEST_SKIP() << "no UTF-8 locale";
    const char *s = "a\xc3\xa9z";  // a, e-acute, z
    EXPECT_EQ(mb_strlen(s), 3);
    EXPECT_EQ(mb_len(s + 1), 2);
    EXPECT_EQ(mb_charat(s + 1), static_cast<wchar_t>(0xe9));
    const char *p = s;
    mb_advance(&p);
    EXPECT_EQ(mb_charadv(&p), static_cast<wchar_t>(0xe9));
    EXPECT_EQ(*p, 'z');
    int i = 1;
    EXPECT_EQ(mb_charadvi(s, &i), static_cast<wchar_t>(0xe9));
    EXPECT_EQ(i, 3);
    EXPECT_EQ(mb_charsize(0xe9), 2);
    EXPECT_GE(mb_maxlen(), 2);
    char buf[8] = {};
    EXPECT_EQ(mb_wchar(0xe9, buf), 2);
    EXPECT_STREQ(buf, "\xc3\xa9");
    // A lone continuation byte is taken as its own value.
    EXPECT_EQ(mb_charat("\xa9"), static_cast<wchar_t>(0xa9));
    // Multibyte characters pass through case changes unchanged.
    char up[16];
    EXPECT_STREQ(strupper(up, "\xc3\xa9t\xc3\xa9"), "\xc3\xa9T\xc3\xa9");
    EXPECT_STREQ(caps(up, "x '\xc3\xa9'"), "X '\xc3\xa9'");
    char name[16] = "\xc3\xa9mp";
    EXPECT_EQ(check_dbname(name), 1);
    setlocale(LC_CTYPE, saved.c_str());
}

TEST(CharClasses, WideCodes)
{
    EXPECT_TRUE(ch_isalpha('a'));
    EXPECT_FALSE(ch_isalpha(0x3b1));
    EXPECT_FALSE(ch_isspace(0x3000));
    EXPECT_TRUE(ch_isprint(0x3b1));
    EXPECT_FALSE(ch_isprint('\n'));
    EXPECT_EQ(ch_toupper('a'), 'A');
    EXPECT_EQ(ch_toupper(0x3b1), 0x3b1);
    EXPECT_EQ(ch_tolower('Q'), 'q');
    EXPECT_TRUE(ch_isxdigit('F'));
    EXPECT_FALSE(ch_isdigit(-1));
}

volatile int fpe_zero = 0;

TEST(FloatingPoint, UnguardedTrapReportsOnceAndEnds)
{
    EXPECT_EXIT(
        {
            init_fpe_handling();
            raise(SIGFPE);
        },
        ::testing::ExitedWithCode(1), "^Floating-Point Error\n$");
}

TEST(FloatingPoint, GuardedRegionsJumpAndReportOnce)
{
    init_fpe_handling();
    testing::internal::CaptureStderr();
    int jumps = 0;
    for (int i = 0; i < 3; i++) {
        sigjmp_buf target;
        if (sigsetjmp(target, 1) == 0) {
            sigjmp_buf *old = fpe_set_guard(&target);
            raise(SIGFPE);
            fpe_set_guard(old);
        } else {
            fpe_set_guard(nullptr);
            jumps++;
        }
    }
    EXPECT_EQ(jumps, 3);
    EXPECT_EQ(fpe_reported(), 1);
    clear_fpe();
    EXPECT_EQ(fpe_reported(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Floating-Point Error\n");
    signal(SIGFPE, SIG_DFL);
}

}  // namespace
