#include "vxcat.h"
#include "vxmsg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A client directory with catalogues built by gencat from small sources.
class Catalogues : public ::testing::Test {
protected:
    fs::path root;
    std::string saved_lang;
    bool had_lang = false;

    void SetUp() override
    {
        root = fs::temp_directory_path() / ("vxcat" + std::to_string(getpid()));
        fs::remove_all(root);
        if (const char *l = getenv("LANG")) {
            had_lang = true;
            saved_lang = l;
        }
    }
    void TearDown() override
    {
        terminate_qerror_handling(0);
        if (had_lang)
            setenv("LANG", saved_lang.c_str(), 1);
        else
            unsetenv("LANG");
        fs::remove_all(root);
    }

    fs::path make(const std::string &lang, const std::string &name, const std::string &source)
    {
        fs::path dir = root / "messages" / "SUN4SOLARIS" / lang;
        fs::create_directories(dir);
        fs::path msg = dir / (name + ".msg");
        std::ofstream(msg) << source;
        fs::path cat = dir / (name + ".cat");
        std::string cmd = "gencat " + cat.string() + " " + msg.string();
        EXPECT_EQ(system(cmd.c_str()), 0) << cmd;
        return cat;
    }
};

TEST_F(Catalogues, MissingCatalogueGivesEmptyTexts)
{
    EXPECT_EQ(nl_catopen((root / "nothing.cat").c_str(), 0), NL_NO_CATALOGUE);
    EXPECT_STREQ(nl_catgets(NL_NO_CATALOGUE, 1, 1), "");
    EXPECT_STREQ(nl_catgets(NL_NO_CATALOGUE, 65, 300), "");
    nl_catclose(NL_NO_CATALOGUE);
}

TEST_F(Catalogues, ProbeNeedsMessageOneOfSetOne)
{
    fs::path bad = make("C", "noprobe", "$set 1\n2 Apply\n$set 5\n1 Other\n");
    EXPECT_EQ(nl_catopen(bad.c_str(), 0), NL_NO_CATALOGUE);
    fs::path good = make("C", "good", "$set 1\n1 OK\n2 Apply\n");
    nl_catd cd = nl_catopen(good.c_str(), 0);
    ASSERT_NE(cd, NL_NO_CATALOGUE);
    EXPECT_STREQ(nl_catgets(cd, 1, 2), "Apply");
    EXPECT_STREQ(nl_catgets(cd, 1, 99), "");
    EXPECT_STREQ(nl_catgets(cd, 7, 1), "");
    nl_catclose(cd);
}

TEST_F(Catalogues, LanguageFallsBackToC)
{
    make("C", "prog", "$set 1\n1 OK\n");
    make("fr_FR", "prog", "$set 1\n1 D'accord\n");
    struct {
        const char *lang;
        int status;
        const char *text;
    } cases[] = {{"fr_FR", 0, "D'accord"}, {"xx_YY", 1, "OK"}, {nullptr, 0, "OK"}};
    for (auto &c : cases) {
        if (c.lang)
            setenv("LANG", c.lang, 1);
        else
            unsetenv("LANG");
        int status = -1;
        nl_catd cd = open_msg_catalogue(root.c_str(), "prog", &status);
        ASSERT_NE(cd, NL_NO_CATALOGUE) << (c.lang ? c.lang : "unset");
        EXPECT_EQ(status, c.status);
        EXPECT_STREQ(nl_catgets(cd, 1, 1), c.text);
        nl_catclose(cd);
    }
    int status = -1;
    EXPECT_EQ(open_msg_catalogue(root.c_str(), "absent", &status), NL_NO_CATALOGUE);
    EXPECT_EQ(status, 2);
}

TEST_F(Catalogues, InterpreterErrorTexts)
{
    char text[32] = "unchanged";
    unsetenv("LANG");
    init_qerror_handling(root.c_str());  // no kernel catalogue yet
    nl_qmsg(17, text, sizeof text - 1);
    EXPECT_STREQ(text, "unchanged");
    terminate_qerror_handling(0);

    make("C", "kernel",
         "$set 1\n1 probe\n$set 21\n17 Seventeen\n$set 22\n1 Zero\n110 Dead interpreter text that is long\n");
    init_qerror_handling(root.c_str());
    ASSERT_TRUE(qerror_catalogue_open());
    struct {
        int code;
        const char *text;
    } cases[] = {{17, "Seventeen"}, {0, "Zero"}, {-109, "Dead interpreter"}, {18, ""}};
    for (auto &c : cases) {
        char buf[17];
        nl_qmsg(c.code, buf, 16);
        EXPECT_STREQ(buf, c.text) << c.code;
    }
    EXPECT_EQ(terminate_qerror_handling(42), 42);
    EXPECT_FALSE(qerror_catalogue_open());
}

TEST(FormatSignature, Conversions)
{
    struct {
        const char *fmt;
        bool ok;
        const char *sig;
    } cases[] = {
        {"plain", true, ""},
        {"100%% sure", true, ""},
        {"Error %d: %s\n", true, "ds"},
        {"%5.2f %-10s %c %x", true, "fsdd"},
        {"%ld %lu %lld", true, "lll"},
        {"%*d %.*s", true, "ddds"},
        {"%2$s %1$d", true, "ds"},
        {"%1$d %d", false, ""},
        {"%1$d %3$d", false, ""},
        {"%n", false, ""},
        {"%ls", false, ""},
        {"trailing %", false, ""},
        {"%p", true, "p"},
        {"%hd", true, "d"},
    };
    for (auto &c : cases) {
        std::string sig;
        EXPECT_EQ(vx_format_signature(c.fmt, sig), c.ok) << c.fmt;
        if (c.ok) {
            EXPECT_EQ(sig, c.sig) << c.fmt;
        }
    }
}

TEST_F(Catalogues, TypedMessagesNeverPrintWithAMismatchedText)
{
    fs::path cat = make("C", "typed", "$set 1\n1 OK\n2 Row %d of %s\n3 Broken %s %s\n");
    nl_catd cd = nl_catopen(cat.c_str(), 0);
    ASSERT_NE(cd, NL_NO_CATALOGUE);
    constexpr VxMsg<int, const char *> row{1, 2, nullptr};
    constexpr VxMsg<int, const char *> broken{1, 3, "Fallback %d %s"};
    constexpr VxMsg<int, const char *> broken_nofb{1, 3, nullptr};
    constexpr VxMsg<int> missing{1, 9, "Missing %d"};
    EXPECT_EQ(vx_msgf(cd, row, 3, "t"), "Row 3 of t");
    EXPECT_EQ(vx_msgf(cd, broken, 3, "t"), "Fallback 3 t");
    EXPECT_EQ(vx_msgf(cd, broken_nofb, 3, "t"), "Broken %s %s");
    EXPECT_EQ(vx_msgf(cd, missing, 7), "Missing 7");
    EXPECT_EQ(vx_msgf(NL_NO_CATALOGUE, row, 3, "t"), "");
    nl_catclose(cd);
}

}  // namespace
