// The filters file: entries by keyword from small files.

#include "vxfilter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
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

}  // namespace
