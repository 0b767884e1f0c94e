// The filters file: entries by keyword from small files.

#include "vxfilter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Case {
    const char *name;
    std::string text;
    const char *keyword;
    int maximum;
    std::vector<std::pair<std::string, std::string>> entries;
};

TEST(Filters, Entries)
{
    std::string line1023 = "CONV" + std::string(1023 - 13, 'x') + ": L : cmd";
    std::string line1024 = "CONV" + std::string(1024 - 13, 'x') + ": M : cmd";
    const Case cases[] = {
        {"formats in file order", "CONV : GIF : gif $INFILE\nCONV : TIFF : tiff $INFILE\n", "CONV", 20,
         {{"GIF", "gif $INFILE"}, {"TIFF", "tiff $INFILE"}}},
        {"comments and other keywords", "# CONV : X : no\nEMAIL :: mail\nCONVERT : PNM : pnm\n", "CONV", 20,
         {{"PNM", "pnm"}}},
        {"indented e-mail, empty label", "   EMAIL :  : mail -s x y\n", "EMAIL", 1, {{"", "mail -s x y"}}},
        {"\"::\" label", "EMAIL::mail me\n", "EMAIL", 1, {{"", "mail me"}}},
        {"empty command", "EMAIL : : \n", "EMAIL", 1, {{"", ""}}},
        {"no final newline", "PSPREVIEW : gv : gv \"$INFILE\"", "PSPREVIEW", 1, {{"gv", "gv \"$INFILE\""}}},
        {"1023 characters kept, 1024 skipped", line1023 + "\n" + line1024 + "\nCONV : N : n\n", "CONV", 20,
         {{"L", "cmd"}, {"N", "n"}}},
        {"the maximum reached", "CONV : A : a\nCONV : B : b\nCONV : C : c\n", "CONV", 2, {{"A", "a"}, {"B", "b"}}},
        {"long label cut", "CONV : " + std::string(40, 'x') + " : cmd\n", "CONV", 1, {{std::string(31, 'x'), "cmd"}}},
        {"command over 511 skipped", "CONV : A : " + std::string(512, 'a') + "\nCONV : B : b\n", "CONV", 5,
         {{"B", "b"}}},
        {"no keyword", "CONV : A : a\n", "", 5, {}},
    };
    char dir[] = "/tmp/vxfiltXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/filters";
    setenv("VX_FILTERS_FILE", path.c_str(), 1);
    for (const Case &c : cases) {
        std::ofstream(path) << c.text;
        FilterEntry e[20];
        int n = read_filters_file(c.keyword, e, c.maximum);
        ASSERT_EQ(n, static_cast<int>(c.entries.size())) << c.name;
        for (int i = 0; i < n; i++) {
            EXPECT_EQ(e[i].label, c.entries[i].first) << c.name;
            EXPECT_EQ(e[i].command, c.entries[i].second) << c.name;
        }
    }
    unlink(path.c_str());
    FilterEntry e[1];
    EXPECT_EQ(read_filters_file("EMAIL", e, 1), 0) << "missing file";
    // The default lies under the installation directory.
    unsetenv("VX_FILTERS_FILE");
    filters_set_install_dir(dir);
    EXPECT_EQ(std::string(filters_file_path()), std::string(dir) + "/etc/filters");
    filters_set_install_dir(nullptr);
    EXPECT_EQ(std::string(filters_file_path()), "");
    rmdir(dir);
}

// A settings file whose commands run is taken only when it is the user's
// (or root's) and no other user can write it; the filters reader says
// which file it refused.
TEST(SettingsFiles, OnlyFilesNoOtherUserCanChangeAreTaken)
{
    char dir[] = "/tmp/vxtrustXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/filters";
    const passwd *nobody = getpwnam("nobody");
    const bool can_give = geteuid() == 0 && nobody;
    struct Case {
        const char *name;
        mode_t mode;
        bool other_owner, other_group, want;
    } cases[] = {
        {"own, 0644", 0644, false, false, true},
        {"own, 0600", 0600, false, false, true},
        {"own, writable by all", 0666, false, false, false},
        {"own, writable by all but not read by them", 0602, false, false, false},
        {"own, group-writable, own group", 0664, false, false, true},
        {"own, group-writable, another group", 0664, false, true, false},
        {"another user's, 0644", 0644, true, false, false},
        {"another user's, 0600 but readable here", 0600, true, false, false},
    };
    setenv("VX_FILTERS_FILE", path.c_str(), 1);
    for (const Case &c : cases) {
        if ((c.other_owner || c.other_group) && !can_give)
            continue;
        std::ofstream(path) << "EMAIL :: planted\n";
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        if (c.other_owner || c.other_group) {
            ASSERT_EQ(chown(path.c_str(), c.other_owner ? nobody->pw_uid : static_cast<uid_t>(-1),
                            c.other_group ? nobody->pw_gid : static_cast<gid_t>(-1)),
                      0);
        }
        int fd = open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(settings_file_trusted(fd), c.want) << c.name;
        close(fd);
        bool refused = true;
        FILE *f = open_trusted_settings_file(path.c_str(), &refused);
        EXPECT_EQ(f != nullptr, c.want) << c.name;
        EXPECT_EQ(refused, !c.want) << c.name;
        if (f)
            fclose(f);
        FilterEntry e[1];
        EXPECT_EQ(read_filters_file("EMAIL", e, 1), c.want ? 1 : 0) << c.name;
        EXPECT_STREQ(filters_file_refused(), c.want ? nullptr : path.c_str()) << c.name;
        unlink(path.c_str());
    }
    // The installation's owner's files are taken, as the installation's.
    if (can_give) {
        const std::string tree = std::string(dir) + "/tree";
        mkdir(tree.c_str(), 0755);
        ASSERT_EQ(chown(tree.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        std::ofstream(path) << "EMAIL :: installed\n";
        chmod(path.c_str(), 0644);
        ASSERT_EQ(chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        FilterEntry e[1];
        EXPECT_EQ(read_filters_file("EMAIL", e, 1), 0);
        filters_set_install_dir(tree.c_str());
        EXPECT_EQ(read_filters_file("EMAIL", e, 1), 1);
        filters_set_install_dir(nullptr);
        unlink(path.c_str());
        rmdir(tree.c_str());
    }
    // Missing is not refused; a directory is not a settings file.
    bool refused = true;
    EXPECT_EQ(open_trusted_settings_file(path.c_str(), &refused), nullptr);
    EXPECT_FALSE(refused);
    EXPECT_EQ(open_trusted_settings_file(dir, &refused), nullptr);
    EXPECT_TRUE(refused);
    unsetenv("VX_FILTERS_FILE");
    rmdir(dir);
}

}  // namespace
