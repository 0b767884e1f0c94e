// gtest first: Xlib defines macros that clash with its names.
#include <gtest/gtest.h>

#include "startup.h"
#include "vxmain.h"

#include <cstdlib>

namespace {

TEST(Version, IdentForms)
{
    struct {
        const char *ident;
        const char *line;
    } cases[] = {
        {"vx_r5.3.6.0.1:cset.001111:22:33", "VX Version 5.3 Patch 6 (Checkpoint: 0.1, State: Released product)"},
        {"vx_main_d1.2.3.x:y", "VX (MAIN branch) Version 1.2 Patch 3 (Checkpoint: X, State: Development)"},
        {"vx_a2.0.1.7", "VX Version 2.0 Patch 1 (Checkpoint: 7, State: Development testing)"},
        {"garbage", "Cannot parse version string 'garbage'"},
    };
    for (auto &c : cases)
        EXPECT_EQ(get_version(c.ident), c.line) << c.ident;
    EXPECT_STREQ(get_state('b'), "Functional testing");
    EXPECT_STREQ(get_state('Q'), "Invalid state");
}

TEST(Identity, ServerUserAndDirectory)
{
    unsetenv("QYHOST");
    unsetenv("QYUSER");
    unsetenv("DOZ_CLIENT_DIR");
    unsetenv("QYDIR");

    Resolution r = resolve_identity(nullptr, nullptr, nullptr);
    EXPECT_EQ(r.server, "");
    EXPECT_EQ(r.user, "BRASK");
    EXPECT_EQ(r.password, "BRASK");
    EXPECT_EQ(r.install_dir, "/usr/lib/qelbase");

    setenv("QYHOST", "envhost", 1);
    setenv("QYUSER", "mixedCase", 1);
    setenv("QYDIR", "/opt/qy", 1);
    r = resolve_identity(nullptr, nullptr, nullptr);
    EXPECT_EQ(r.server, "envhost");
    EXPECT_EQ(r.user, "mixedCase");  // from the environment: unchanged
    EXPECT_FALSE(r.password_set);
    EXPECT_EQ(r.install_dir, "/opt/qy");

    setenv("DOZ_CLIENT_DIR", "/opt/client", 1);
    r = resolve_identity("reshost", "scott", "pw");
    EXPECT_EQ(r.server, "reshost");
    EXPECT_EQ(r.user, "SCOTT");  // from an option or resource: upper-cased
    EXPECT_EQ(r.password, "pw");
    EXPECT_EQ(r.install_dir, "/opt/client");
}

TEST(Tables, OptionsMapOntoResources)
{
    ASSERT_EQ(options_count, 24);
    ASSERT_EQ(resources_count, 83);
    // Every option's specifier names a resource of the table.
    for (int i = 0; i < options_count; i++) {
        std::string spec = options[i].specifier + 1;
        bool found = false;
        for (int j = 0; j < resources_count; j++)
            found = found || spec == resources[j].resource_name;
        EXPECT_TRUE(found) << options[i].option;
    }
}

TEST(DateFormats, MissingTooLongOrBadInputFormatsComeFromTheLocale)
{
    struct {
        const char *input, *output, *time;
        const char *want_input, *want_output, *want_time;
    } cases[] = {
        {nullptr, nullptr, nullptr, "%d/%m/%y", "%d/%m/%y", "%H:%M:%S"},
        {"%m/%d/%y", nullptr, "%H.%M", "%m/%d/%y", "%m/%d/%y", "%H.%M"},
        {"%d/%m/%y-%d/%m/%y-%d/%m/%y", "%y", nullptr, "%d/%m/%y", "%y", "%H:%M:%S"},  // 26 characters
        {"no format", "01234567890123456789012345", nullptr, "%d/%m/%y", "%d/%m/%y", "%H:%M:%S"},
    };
    setenv("LC_ALL", "C", 1);
    for (auto &c : cases) {
        adata.dateInputFormat = const_cast<char *>(c.input);
        adata.dateOutputFormat = const_cast<char *>(c.output);
        adata.timeOutputFormat = const_cast<char *>(c.time);
        configure_date_time_format();
        EXPECT_STREQ(adata.dateInputFormat, c.want_input) << (c.input ? c.input : "unset");
        EXPECT_STREQ(adata.dateOutputFormat, c.want_output) << (c.input ? c.input : "unset");
        EXPECT_STREQ(adata.timeOutputFormat, c.want_time);
    }
}

}  // namespace
