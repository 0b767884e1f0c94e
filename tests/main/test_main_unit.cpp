// gtest first: Xlib defines macros that clash with its names.
#include <gtest/gtest.h>

#include "startup.h"
#include "vxcat.h"
#include "vxmain.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

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

TEST(EarlyRequest, VersionAndHelpAreFoundWithoutADisplay)
{
    struct Case {
        std::vector<std::string> args;
        int want;
    } cases[] = {
        {{"-version"}, 1},
        {{"-help"}, 2},
        {{"-tsl", "-help"}, 2},
        {{"-version", "-help"}, 1},
        {{"-display", ":99", "-version"}, 1},
        // Values of options are not options.
        {{"-title", "-help"}, 0},
        {{"-xrm", "-version"}, 0},
        {{"-user", "-help"}, 0},
        {{"-database", "DEMO"}, 0},
        {{}, 0},
        {{"stray", "-nosuchoption"}, 0},
    };
    for (const Case &c : cases) {
        std::vector<std::string> words{"vostrelane"};
        words.insert(words.end(), c.args.begin(), c.args.end());
        std::vector<char *> argv;
        for (std::string &w : words)
            argv.push_back(w.data());
        const std::vector<std::string> before = words;
        EXPECT_EQ(early_request(static_cast<int>(argv.size()), argv.data()), c.want) << words.back();
        // The command line is left as it was for the toolkit.
        for (size_t i = 0; i < argv.size(); i++)
            EXPECT_EQ(std::string(argv[i]), before[i]);
    }
}

// A record holding every numeric resource's default.
AppData defaults()
{
    AppData data{};
    for (int k = 0; k < resource_ranges_count; k++)
        data.*resource_ranges[k].field = resource_ranges[k].fallback;
    data.xferCheckStopInterval = 1.0f;
    return data;
}

TEST(ResourceRanges, OutsideTheRangeTheDefaultIsTaken)
{
    // Every integer resource of the table has a range.
    int integers = 0;
    for (int i = 0; i < resources_count; i++)
        integers += std::string(resources[i].resource_type) == XtRInt;
    EXPECT_EQ(resource_ranges_count, integers);
    for (int i = 0; i < resource_ranges_count; i++) {
        const ResourceRange &r = resource_ranges[i];
        // The resource's own default lies in its range.
        bool found = false;
        for (int j = 0; j < resources_count; j++)
            if (std::string(resources[j].resource_name) == r.name) {
                found = true;
                EXPECT_EQ(std::to_string(r.fallback), static_cast<const char *>(resources[j].default_addr)) << r.name;
            }
        EXPECT_TRUE(found) << r.name;
        EXPECT_TRUE(r.fallback >= r.min && r.fallback <= r.max) << r.name;
        const long long outside[] = {static_cast<long long>(r.min) - 1, static_cast<long long>(r.max) + 1};
        for (long long v : outside) {
            if (v < INT_MIN || v > INT_MAX)
                continue;
            AppData data = defaults();
            data.*r.field = static_cast<int>(v);
            std::vector<RangeFinding> found_ranges = check_resource_ranges(data);
            ASSERT_EQ(found_ranges.size(), 1u) << r.name << " " << v;
            EXPECT_EQ(data.*r.field, r.fallback) << r.name;
            EXPECT_EQ(found_ranges[0].name, r.name);
            EXPECT_EQ(found_ranges[0].value, std::to_string(v));
            EXPECT_EQ(range_warning(found_ranges[0], NL_NO_CATALOGUE),
                      "Vostrelane. The resource " + std::string(r.name) + " is " + std::to_string(v) + ", outside " +
                          std::to_string(r.min) + " to " + std::to_string(r.max) + ": its default " +
                          std::to_string(r.fallback) + " is taken.\n");
        }
        // The bounds themselves are kept.
        for (int v : {r.min, r.max}) {
            AppData data = defaults();
            data.*r.field = v;
            EXPECT_TRUE(check_resource_ranges(data).empty()) << r.name << " " << v;
            EXPECT_EQ(data.*r.field, v);
        }
    }
    // The one resource with a fraction: not a number, negative, too large.
    for (float v : {std::nanf(""), -1.0f, 0.0f, 1e9f}) {
        AppData data = defaults();
        data.xferCheckStopInterval = v;
        std::vector<RangeFinding> f = check_resource_ranges(data);
        ASSERT_EQ(f.size(), 1u) << v;
        EXPECT_EQ(f[0].name, "xferCheckStopInterval");
        EXPECT_EQ(data.xferCheckStopInterval, 1.0f);
    }
}

}  // namespace
